// Loading the settings at start: the frame's key table in its order, the
// recent-file lists, the frame placement and the printer.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "app/settings.h"
#include "app/settings_internal.h"
#include "config/language_config.h"
#include "config/profile.h"
#include "resources/strings.h"

using namespace settings_detail;

namespace {

// A command line, written in apostrophes: read whole before it is cut, so
// that the enclosing pair is recognised.
void readCommandLine(unsigned keyId, char (&out)[kSettingsPathSize], const char* file) {
    char value[2 * kSettingsPathSize];
    readText(keyId, value, sizeof value, file);
    copyText(out, value);
}

// Project and ProjectPath: made absolute.
void readAbsolutePath(unsigned keyId, char (&out)[kSettingsPathSize], const char* file) {
    char value[kSettingsPathSize];
    readText(keyId, value, sizeof value, file);
    if (value[0] && platform::fullPath(value, out)) return;
    copyText(out, value);
}

void readPair(unsigned keyId, const char* fallbackValue, const char* fallbackDir, const char* defaultExt,
              DirectoryMask& out, const char* file) {
    // Directory and mask may each be a whole path long.
    char value[2 * kSettingsPathSize];
    readProfileText(IDS_SEC_SETTINGS, keyId, fallbackValue, value, sizeof value, file);
    parseDirectoryMask(value, fallbackDir, defaultExt, out);
}

ToolWindowPlace readPlace(unsigned keyId, ToolWindow window, const char* file) {
    char value[kProfileNameSize];
    readText(keyId, value, sizeof value, file);
    return parseToolWindowPlace(value, defaultToolWindowRect(window));
}

SettingsRect readEditRect(unsigned keyId, const char* file) {
    char value[kProfileNameSize];
    readText(keyId, value, sizeof value, file);
    SettingsRect rect{0, 0, 0, 0};
    parseRect(value, false, rect);
    return rect;
}

// EtfFileFormat: "OEM" / "ANSI", or a boolean (true = OEM).
int readEtfFileFormat(const char* file) {
    char section[kProfileNameSize];
    if (platform::loadString(IDS_SEC_SETTINGS, section, sizeof section) <= 0) return 1;
    int value = readProfileCharSet(IDS_KEY_ETFFILEFORMAT, section, file, -1);
    if (value >= 0) return value;
    return readBool(IDS_KEY_ETFFILEFORMAT, file, true) ? 1 : 0;
}

void readRecentList(RecentList& list, unsigned sectionId, unsigned lengthKeyId, unsigned entryKeyId,
                    const char* file) {
    std::memset(&list, 0, sizeof list);
    if (lengthKeyId) {
        list.length = readInteger(sectionId, lengthKeyId, kRecentDefaultLength, file);
        if (list.length < 0) list.length = kRecentDefaultLength;
        if (list.length > kRecentMax) list.length = kRecentMax;
    } else {
        list.length = kRecentMax;
    }
    for (int position = 1; position <= list.length; ++position) {
        char key[kProfileNameSize];
        if (!numberedKey(entryKeyId, position, key, sizeof key)) break;
        char* entry = list.entries[list.count];
        readProfileTextByName(sectionId, key, "", entry, kSettingsPathSize, file);
        if (entry[0]) ++list.count;
    }
}

unsigned readLittle16(const unsigned char* p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The device-mode record as stored: its own size at 36, the driver's extra
// bytes at 38, the field mask at 40, copies at 54, print quality at 58.
constexpr std::uint32_t kDevModeSizeOffset = 36;
constexpr std::uint32_t kDevModeExtraOffset = 38;
constexpr std::uint32_t kDevModeFieldsOffset = 40;
constexpr std::uint32_t kDevModeCopiesOffset = 54;
constexpr std::uint32_t kDevModeQualityOffset = 58;
constexpr std::uint32_t kDevModeMinSize = 60;
constexpr std::uint32_t kFieldCopies = 0x100;
constexpr std::uint32_t kFieldPrintQuality = 0x400;

// Parses "name,digits,HEX" for `printerName` into a new block; null when
// the value is for another printer or malformed.
unsigned char* parseDevMode(const char* value, const char* printerName, std::uint32_t* size) {
    const char* comma = std::strchr(value, ',');
    if (!comma || !printerName[0]) return nullptr;
    std::size_t nameLength = static_cast<std::size_t>(comma - value);
    if (nameLength >= kSettingsPathSize) return nullptr;
    char name[kSettingsPathSize];
    std::memcpy(name, value, nameLength);
    name[nameLength] = 0;
    if (!equalNoCase(name, printerName)) return nullptr;
    const char* digitsText = comma + 1;
    const char* hex = std::strchr(digitsText, ',');
    if (!hex) return nullptr;
    char number[16];
    std::size_t numberLength = static_cast<std::size_t>(hex - digitsText);
    if (numberLength >= sizeof number) return nullptr;
    std::memcpy(number, digitsText, numberLength);
    number[numberLength] = 0;
    int digits;
    ++hex;
    if (!parseInteger(number, digits) || digits <= 0 || digits % 2) return nullptr;
    std::uint32_t bytes = static_cast<std::uint32_t>(digits) / 2;
    if (bytes < kDevModeMinSize || bytes > kMaxDevModeSize ||
        std::strlen(hex) != static_cast<std::size_t>(digits))
        return nullptr;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[bytes]);
    if (!block) return nullptr;
    for (std::uint32_t i = 0; i < bytes; ++i) {
        int high = hexValue(hex[2 * i]);
        int low = hexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return nullptr;
        block[i] = static_cast<unsigned char>(high << 4 | low);
    }
    // The record's own sizes must describe exactly these bytes: the printer
    // driver trusts them.
    unsigned recordSize = readLittle16(block.get() + kDevModeSizeOffset);
    unsigned extra = readLittle16(block.get() + kDevModeExtraOffset);
    if (recordSize < kDevModeMinSize || recordSize + extra != bytes) return nullptr;
    // Copies and print quality are chosen per job.
    unsigned char* b = block.get();
    std::memset(b + kDevModeCopiesOffset, 0, 2);
    std::memset(b + kDevModeQualityOffset, 0, 2);
    std::uint32_t fields = static_cast<std::uint32_t>(b[kDevModeFieldsOffset]) |
                           static_cast<std::uint32_t>(b[kDevModeFieldsOffset + 1]) << 8 |
                           static_cast<std::uint32_t>(b[kDevModeFieldsOffset + 2]) << 16 |
                           static_cast<std::uint32_t>(b[kDevModeFieldsOffset + 3]) << 24;
    fields &= ~(kFieldCopies | kFieldPrintQuality);
    for (int k = 0; k < 4; ++k) b[kDevModeFieldsOffset + k] = static_cast<unsigned char>(fields >> (8 * k));
    *size = bytes;
    return block.release();
}

// Copies field `index` of the comma-separated `value`, trimmed of blanks.
void deviceField(const char* value, int index, char (&out)[kSettingsPathSize]) {
    const char* p = value;
    for (int k = 0; k < index && p; ++k) {
        p = std::strchr(p, ',');
        if (p) ++p;
    }
    out[0] = 0;
    if (!p) return;
    while (*p == ' ' || *p == '\t') ++p;
    const char* end = std::strchr(p, ',');
    std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    while (n && (p[n - 1] == ' ' || p[n - 1] == '\t')) --n;
    if (n >= kSettingsPathSize) n = kSettingsPathSize - 1;
    std::memcpy(out, p, n);
    out[n] = 0;
}

}  // namespace

void loadSettings(FrameSettings& s, const char* file, const SettingsLoadOptions& options,
                  const SettingsHooks& hooks) {
    WindowSettings& w = s.window;

    readText(IDS_KEY_CONFIGURATIONFILE, s.configurationFile, sizeof s.configurationFile, file);
    if (options.config) startLanguageConfig(*options.config, options.menu, s.configurationFile);

    // The directory and mask pairs: the open pair falls back on the current
    // directory, the others on the open directory.
    char current[kSettingsPathSize];
    currentDirectory(current);
    char openPath[2 * kSettingsPathSize];
    readText(IDS_KEY_OPENPATH, openPath, sizeof openPath, file);
    DirectoryMask& open = s.pairs[static_cast<int>(PathPair::Open)];
    readPair(IDS_KEY_SAVEPATH, openPath, current, w.defaultExt, open, file);
    readPair(IDS_KEY_FILEPATH, "", open.directory, w.defaultExt, s.pairs[static_cast<int>(PathPair::Insert)],
             file);
    s.fileType = readInteger(IDS_SEC_SETTINGS, IDS_KEY_FILETYPE, 0, file);
    // The generation extension as the language configuration keeps it.
    char genExt[kGenFileExtSize];
    if (options.config)
        std::snprintf(genExt, sizeof genExt, "%s", options.config->genFileExt);
    else
        readGenFileExt(s.configurationFile, genExt);
    readPair(IDS_KEY_SOURCEPATH, "", open.directory, genExt, s.pairs[static_cast<int>(PathPair::Generate)],
             file);
    readPair(IDS_KEY_EXPORTPATH, "", open.directory, ".etf", s.pairs[static_cast<int>(PathPair::Export)],
             file);
    s.openType = readInteger(IDS_SEC_SETTINGS, IDS_KEY_OPENTYPE, 0, file);
    PathPair start = s.openType == 1   ? PathPair::Generate
                     : s.openType == 3 ? PathPair::Export
                                       : PathPair::Open;
    s.pairs[static_cast<int>(PathPair::Current)] = s.pairs[static_cast<int>(start)];

    w.repeat = readBool(IDS_KEY_REPEAT, file, false);
    w.levellistType = readInteger(IDS_SEC_SETTINGS, IDS_KEY_LEVELLISTTYPE, 0, file);
    s.structureListDepth = std::max(0, readInteger(IDS_SEC_SETTINGS, IDS_KEY_STRUCTURELISTDEPTH, 0, file));
    w.toolBar = readBool(IDS_KEY_TOOLBAR, file, true);
    w.statusBar = readBool(IDS_KEY_STATUSBAR, file, true);
    w.statusPages = readBool(IDS_KEY_STATUSPAGES, file, true);
    w.fileInSepWnd = readBool(IDS_KEY_FILEINSEPWND, file, true);
    w.segInSepWnd = readBool(IDS_KEY_SEGINSEPWND, file, false);
    if (!options.projectGiven) readAbsolutePath(IDS_KEY_PROJECT, w.projectName, file);
    if (!options.projectPathGiven) readAbsolutePath(IDS_KEY_PROJECTPATH, w.projectPath, file);
    w.keepBrowserListOpen = readBool(IDS_KEY_KEEPBROWSERLISTOPEN, file, true);

    readCommandLine(IDS_KEY_EXTERNALEDITOR, s.externalEditor, file);
    readCommandLine(IDS_KEY_SOURCEFILEEDITOR, s.sourceFileEditor, file);
    readCommandLine(IDS_KEY_ERRFILEEDITOR, s.errFileEditor, file);
    s.defaultEditor = readInteger(IDS_SEC_SETTINGS, IDS_KEY_DEFAULTEDITOR, 0, file);
    if (s.defaultEditor == 2 && !s.externalEditor[0]) s.defaultEditor = 0;
    s.etfFileFormat = readEtfFileFormat(file);
    s.multiLineEdit = readEditRect(IDS_KEY_MULTILINEEDIT, file);
    s.singleLineEdit = readEditRect(IDS_KEY_SINGLELINEEDIT, file);
    s.editUppercase = readBool(IDS_KEY_EDITUPPERCASE, file, false);
    s.retainReplaceCheckbox = readBool(IDS_KEY_RETAINREPLACECHECKBOXSTATE, file, false);

    static constexpr unsigned kPlaceKeys[kToolWindowCount] = {
        IDS_KEY_OVERVIEW, IDS_KEY_LEVELLIST, IDS_KEY_PRINTGRID, IDS_KEY_RESULT, IDS_KEY_TOOLBOX};
    for (int i = 0; i < kToolWindowCount; ++i)
        s.places[i] = readPlace(kPlaceKeys[i], static_cast<ToolWindow>(i), file);

    loadWindowPlacement(s, file);
    s.ctl3d = readBool(IDS_KEY_CTL3D, file, true);
    s.flatToolbar = readBool(IDS_KEY_FLATTOOLBAR, file, false);
    s.flatToolbox = readBool(IDS_KEY_FLATTOOLBOX, file, false);
    loadPrinterChoice(s.printer, file);
    loadNetworkDrives(s.network, file);
    s.autoLeftLabels = readBool(IDS_KEY_AUTOLEFTLABELS, file, false);
    readText(IDS_KEY_LEFTLABELTEXT, s.leftLabelText, sizeof s.leftLabelText, file);
    s.autoRightLabels = readBool(IDS_KEY_AUTORIGHTLABELS, file, false);
    readText(IDS_KEY_RIGHTLABELTEXT, s.rightLabelText, sizeof s.rightLabelText, file);

    if (hooks.loadProgramList) hooks.loadProgramList(file);
    if (hooks.loadAddInConfig) hooks.loadAddInConfig(file);
}

void loadWindowPlacement(FrameSettings& s, const char* file) {
    char style[kProfileNameSize];
    readText(IDS_KEY_WINDOWSTYLE, style, sizeof style, file);
    char maximized[kProfileNameSize];
    s.maximized = platform::loadString(IDS_VAL_MAXIMIZED, maximized, sizeof maximized) > 0 &&
                  equalNoCase(style, maximized);
    char coordinates[kProfileNameSize];
    readText(IDS_KEY_WINDOWCOORDINATES, coordinates, sizeof coordinates, file);
    s.hasWindowCoordinates = parseRect(coordinates, true, s.windowCoordinates);
    if (!s.hasWindowCoordinates) s.windowCoordinates = SettingsRect{0, 0, 0, 0};
}

void loadNetworkDrives(NetworkDrives& drives, const char* file) {
    readProfileText(IDS_SEC_NETWORK, IDS_KEY_LOCKDRIVES, "", drives.lockDrives, sizeof drives.lockDrives,
                    file);
    readProfileText(IDS_SEC_NETWORK, IDS_KEY_UNLOCKDRIVES, "", drives.unlockDrives,
                    sizeof drives.unlockDrives, file);
}

void loadRecentFiles(RecentFiles& recent, const char* file) {
    readRecentList(recent.open, IDS_SEC_RECENTFILELIST, IDS_KEY_OPENFILELISTLENGTH, IDS_KEY_OPENFILE, file);
    readRecentList(recent.insert, IDS_SEC_RECENTFILELIST, IDS_KEY_INSERTFILELISTLENGTH, IDS_KEY_INSERTFILE,
                   file);
    readRecentList(recent.help, IDS_SEC_HELPFILELIST, 0, IDS_KEY_HELPFILE, file);
}

// ---------------------------------------------------------------------------
// Printer

void freePrinterChoice(PrinterChoice& printer) {
    delete[] printer.devMode;
    printer.devMode = nullptr;
    printer.devModeSize = 0;
}

bool setPrinterDevMode(PrinterChoice& printer, const unsigned char* bytes, std::uint32_t size) {
    freePrinterChoice(printer);
    if (!bytes || !size) return true;
    if (size > kMaxDevModeSize) return false;
    printer.devMode = new (std::nothrow) unsigned char[size];
    if (!printer.devMode) return false;
    std::memcpy(printer.devMode, bytes, size);
    printer.devModeSize = size;
    return true;
}

void loadPrinterChoice(PrinterChoice& printer, const char* file) {
    freePrinterChoice(printer);
    char device[3 * kSettingsPathSize];
    readText(IDS_KEY_DEVICE, device, sizeof device, file);
    if (!device[0]) readProfileText(IDS_SEC_WINDOWS, IDS_KEY_DEVICE, "", device, sizeof device, nullptr);
    deviceField(device, 0, printer.name);
    deviceField(device, 1, printer.driver);
    deviceField(device, 2, printer.port);

    // "name," + digits + "," + two digits a byte.
    constexpr int kValueSize = kSettingsPathSize + 16 + 2 * static_cast<int>(kMaxDevModeSize) + 2;
    std::unique_ptr<char[]> value(new (std::nothrow) char[kValueSize]);
    if (!value) return;
    if (readProfileText(IDS_SEC_SETTINGS, IDS_KEY_DEVMODE, "", value.get(), kValueSize, file) <= 0) return;
    printer.devMode = parseDevMode(value.get(), printer.name, &printer.devModeSize);
    if (!printer.devMode) printer.devModeSize = 0;
}
