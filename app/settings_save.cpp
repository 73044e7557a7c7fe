// Saving the settings: the groups of "Save settings", the question at exit,
// and the frame's own writing when it is destroyed.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "app/settings.h"
#include "app/settings_internal.h"
#include "config/profile.h"
#include "core/host.h"
#include "resources/strings.h"

using namespace settings_detail;

namespace {

DirectoryMask& pair(FrameSettings& s, PathPair p) {
    return s.pairs[static_cast<int>(p)];
}

bool samePair(const DirectoryMask& a, const DirectoryMask& b) {
    return equalNoCase(a.directory, b.directory) && equalNoCase(a.mask, b.mask);
}

int writePair(unsigned keyId, const DirectoryMask& value, const char* file) {
    char text[2 * kSettingsPathSize];
    joinDirectoryMask(value, text, sizeof text);
    return writeProfileText(IDS_SEC_SETTINGS, keyId, text, file);
}

// A command line is written in apostrophes, so that quotes of its own
// survive the reading, which removes one enclosing pair.
int writeCommandLine(unsigned keyId, const char* commandLine, const char* file) {
    if (!commandLine[0]) return writeProfileText(IDS_SEC_SETTINGS, keyId, "", file);
    char text[kSettingsPathSize + 2];
    std::snprintf(text, sizeof text, "'%s'", commandLine);
    return writeProfileText(IDS_SEC_SETTINGS, keyId, text, file);
}

int writePlace(unsigned keyId, FrameSettings& s, ToolWindow window, const SettingsHooks& hooks,
               const char* file) {
    int index = static_cast<int>(window);
    std::uintptr_t handle = s.window.toolWindows[index];
    ToolWindowPlace& place = s.places[index];
    place.open = handle != 0;
    if (!place.open) return writeProfileFixed(IDS_SEC_SETTINGS, keyId, IDS_VAL_NO, file);
    SettingsRect rect;
    if (hooks.toolWindowRect && hooks.toolWindowRect(handle, &rect)) place.rect = rect;
    char yes[kProfileNameSize];
    if (platform::loadString(IDS_VAL_YES, yes, sizeof yes) <= 0) return 0;
    char text[128];
    std::snprintf(text, sizeof text, "%s,%d,%d,%d,%d", yes, static_cast<int>(place.rect.left),
                  static_cast<int>(place.rect.top), static_cast<int>(place.rect.right),
                  static_cast<int>(place.rect.bottom));
    return writeProfileText(IDS_SEC_SETTINGS, keyId, text, file);
}

// The directory a request gives for a pair; the current Open pair follows
// the pair it equals.
void takeDirectory(FrameSettings& s, PathPair p, const char* text, bool currentFollows) {
    DirectoryMask& target = pair(s, p);
    char directory[kSettingsPathSize];
    normalizeDirectory(text, target.directory, directory);
    copyText(target.directory, directory);
    if (currentFollows) copyText(pair(s, PathPair::Current).directory, directory);
}

int writeGeneral(FrameSettings& s, const SettingsHooks& hooks, const char* file) {
    const WindowSettings& w = s.window;
    int ok = 1;
    auto note = [&ok](int written) { ok &= written != 0; };
    note(writeBool(IDS_KEY_REPEAT, w.repeat, file));
    note(writeBool(IDS_KEY_FILEINSEPWND, w.fileInSepWnd, file));
    note(writeBool(IDS_KEY_SEGINSEPWND, w.segInSepWnd, file));
    note(writePlace(IDS_KEY_OVERVIEW, s, ToolWindow::Overview, hooks, file));
    note(writePlace(IDS_KEY_LEVELLIST, s, ToolWindow::Levellist, hooks, file));
    note(writeInteger(IDS_SEC_SETTINGS, IDS_KEY_LEVELLISTTYPE, w.levellistType, file));
    note(writePlace(IDS_KEY_PRINTGRID, s, ToolWindow::Printgrid, hooks, file));
    note(writePlace(IDS_KEY_RESULT, s, ToolWindow::Result, hooks, file));
    note(writePlace(IDS_KEY_TOOLBOX, s, ToolWindow::ToolBox, hooks, file));
    note(writeBool(IDS_KEY_STATUSBAR, w.statusBar, file));
    note(writeBool(IDS_KEY_STATUSPAGES, w.statusPages, file));
    note(writeBool(IDS_KEY_TOOLBAR, w.toolBar, file));
    note(writeCommandLine(IDS_KEY_EXTERNALEDITOR, s.externalEditor, file));
    note(writeCommandLine(IDS_KEY_SOURCEFILEEDITOR, s.sourceFileEditor, file));
    note(writeCommandLine(IDS_KEY_ERRFILEEDITOR, s.errFileEditor, file));
    note(writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_PROJECT, w.projectName, file));
    note(writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_PROJECTPATH, w.projectPath, file));
    note(writeBool(IDS_KEY_KEEPBROWSERLISTOPEN, w.keepBrowserListOpen, file));
    if (hooks.saveTransferOptions) note(hooks.saveTransferOptions(file));
    note(writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_CONFIGURATIONFILE, s.configurationFile, file));
    if (hooks.saveProgramList) note(hooks.saveProgramList(file));
    note(writeInteger(IDS_SEC_SETTINGS, IDS_KEY_DEFAULTEDITOR, s.defaultEditor, file));
    return ok;
}

int writeRecentList(const RecentList& list, unsigned sectionId, unsigned lengthKeyId, unsigned entryKeyId,
                    const char* file) {
    int ok = 1;
    if (lengthKeyId) ok &= writeInteger(sectionId, lengthKeyId, list.length, file) != 0;
    int count = list.count < 0 ? 0 : list.count > kRecentMax ? kRecentMax : list.count;
    for (int position = 1; position <= kRecentMax; ++position) {
        char key[kProfileNameSize];
        if (!numberedKey(entryKeyId, position, key, sizeof key)) return 0;
        const char* value = position <= count ? list.entries[position - 1] : nullptr;
        char entry[kSettingsPathSize];
        if (value) {
            copyText(entry, value);
            value = entry;
        }
        ok &= writeProfileTextByName(sectionId, key, value, file) != 0;
    }
    return ok;
}

}  // namespace

void initSaveSettingsRequest(const FrameSettings& s, SaveSettingsRequest& request) {
    std::memset(&request, 0, sizeof request);
    request.groups = kSaveAllGroups;
    copyText(request.openDir, s.pairs[static_cast<int>(PathPair::Open)].directory);
    copyText(request.insertDir, s.pairs[static_cast<int>(PathPair::Insert)].directory);
    copyText(request.generateDir, s.pairs[static_cast<int>(PathPair::Generate)].directory);
    copyText(request.exportDir, s.pairs[static_cast<int>(PathPair::Export)].directory);
}

int writeSettings(FrameSettings& s, const SaveSettingsRequest& request, const char* file,
                  const SettingsHooks& hooks) {
    unsigned groups = request.groups;
    const DirectoryMask& current = pair(s, PathPair::Current);
    // Which pair the Open dialog started with, before the directories change.
    bool currentIsOpen = samePair(current, pair(s, PathPair::Open));
    bool currentIsGenerate = !currentIsOpen && samePair(current, pair(s, PathPair::Generate));
    bool currentIsExport =
        !currentIsOpen && !currentIsGenerate && samePair(current, pair(s, PathPair::Export));
    bool currentIsInsert = !currentIsOpen && !currentIsGenerate && !currentIsExport &&
                           samePair(current, pair(s, PathPair::Insert));

    if (groups & kSaveOpenDir) takeDirectory(s, PathPair::Open, request.openDir, currentIsOpen);
    if (groups & kSaveInsertDir) takeDirectory(s, PathPair::Insert, request.insertDir, currentIsInsert);
    if (groups & kSaveGenerateDir)
        takeDirectory(s, PathPair::Generate, request.generateDir, currentIsGenerate);
    if (groups & kSaveExportDir) takeDirectory(s, PathPair::Export, request.exportDir, currentIsExport);

    int ok = 1;
    if (groups & kSaveGeneral) ok &= writeGeneral(s, hooks, file);
    if (groups & kSaveOpenDir) {
        ok &= writePair(IDS_KEY_SAVEPATH, pair(s, PathPair::Open), file) != 0;
        ok &= removeKey(IDS_SEC_SETTINGS, IDS_KEY_OPENPATH, file) != 0;
    }
    if (groups & kSaveInsertDir) {
        ok &= writePair(IDS_KEY_FILEPATH, pair(s, PathPair::Insert), file) != 0;
        ok &= writeInteger(IDS_SEC_SETTINGS, IDS_KEY_FILETYPE, s.fileType, file) != 0;
    }
    if (groups & kSaveGenerateDir)
        ok &= writePair(IDS_KEY_SOURCEPATH, pair(s, PathPair::Generate), file) != 0;
    if (groups & kSaveExportDir) ok &= writePair(IDS_KEY_EXPORTPATH, pair(s, PathPair::Export), file) != 0;
    if (groups & kSaveOpenType) {
        int openType = currentIsOpen ? 0 : currentIsGenerate ? 1 : currentIsExport ? 3 : -1;
        if (openType >= 0) {
            s.openType = openType;
            ok &= writeInteger(IDS_SEC_SETTINGS, IDS_KEY_OPENTYPE, openType, file) != 0;
        }
    }
    if (groups & kSaveEditWindows) {
        ok &= writeRect(IDS_KEY_MULTILINEEDIT, s.multiLineEdit, file) != 0;
        ok &= writeRect(IDS_KEY_SINGLELINEEDIT, s.singleLineEdit, file) != 0;
        ok &= writeBool(IDS_KEY_EDITUPPERCASE, s.editUppercase, file) != 0;
        ok &= writeBool(IDS_KEY_RETAINREPLACECHECKBOXSTATE, s.retainReplaceCheckbox, file) != 0;
    }
    return ok;
}

int saveSettingsCommand(FrameSettings& s, WindowSettings& snapshot, const char* file,
                        const SettingsHooks& hooks) {
    if (!hooks.chooseSaveSettings) return 0;
    SaveSettingsRequest request;
    initSaveSettingsRequest(s, request);
    if (!hooks.chooseSaveSettings(request, hooks.chooseContext) || !(request.groups & kSaveAllGroups))
        return 0;
    int ok = writeSettings(s, request, file, hooks);
    s.window.changed = false;
    snapshot = s.window;
    if (!ok) showMessage(IDS_UNABLE_TO_WRITE, kBoxDefault, file ? file : "");
    return 1;
}

namespace {

// Equal texts up to their terminators (what follows does not count).
template <std::size_t N>
bool sameText(const char (&a)[N], const char (&b)[N]) {
    return std::strncmp(a, b, N) == 0;
}

}  // namespace

bool settingsChangedSinceStart(const WindowSettings& snapshot, const WindowSettings& current) {
    const WindowSettings& a = snapshot;
    const WindowSettings& b = current;
    for (int i = 0; i < kToolWindowCount; ++i) {
        // Only opening or closing counts, not a new window.
        bool sameWindow = a.toolWindows[i] == b.toolWindows[i] || (a.toolWindows[i] && b.toolWindows[i]);
        if (!sameWindow) return true;
    }
    return a.changed != b.changed || a.repeat != b.repeat || a.toolBar != b.toolBar ||
           a.statusPages != b.statusPages || a.statusBar != b.statusBar ||
           !sameText(a.defaultExt, b.defaultExt) || a.levellistType != b.levellistType ||
           !sameText(a.levellistText[0], b.levellistText[0]) ||
           !sameText(a.levellistText[1], b.levellistText[1]) || a.fileInSepWnd != b.fileInSepWnd ||
           a.segInSepWnd != b.segInSepWnd || !sameText(a.projectName, b.projectName) ||
           !sameText(a.projectPath, b.projectPath) || a.keepBrowserListOpen != b.keepBrowserListOpen;
}

bool askSaveSettingsAtExit(FrameSettings& s, WindowSettings& snapshot, const char* file,
                           const SettingsHooks& hooks, bool addInRemoteClose) {
    if (!settingsChangedSinceStart(snapshot, s.window)) return true;
    int answer = addInRemoteClose
                     ? kAnswerYes
                     : askQuestion(IDS_SAVE_SETTINGS, kBoxYesNoCancel | kIconQuestion, kAnswerNo);
    if (answer == kAnswerCancel) return false;
    if (answer == kAnswerYes) saveSettingsCommand(s, snapshot, file, hooks);
    return true;
}

int saveWindowPlacement(const char* file, bool maximized, const SettingsRect& rect) {
    int ok = writeProfileFixed(IDS_SEC_SETTINGS, IDS_KEY_WINDOWSTYLE,
                               maximized ? IDS_VAL_MAXIMIZED : IDS_VAL_NORMAL, file) != 0;
    if (!maximized) ok &= writeRect(IDS_KEY_WINDOWCOORDINATES, rect, file) != 0;
    return ok;
}

int saveRecentFiles(const RecentFiles& recent, const char* file) {
    int ok = writeRecentList(recent.open, IDS_SEC_RECENTFILELIST, IDS_KEY_OPENFILELISTLENGTH,
                             IDS_KEY_OPENFILE, file);
    ok &= writeRecentList(recent.insert, IDS_SEC_RECENTFILELIST, IDS_KEY_INSERTFILELISTLENGTH,
                          IDS_KEY_INSERTFILE, file);
    ok &= writeRecentList(recent.help, IDS_SEC_HELPFILELIST, 0, IDS_KEY_HELPFILE, file);
    return ok;
}

int savePrinterChoice(const PrinterChoice& printer, const char* file) {
    if (!printer.name[0]) {
        int ok = removeKey(IDS_SEC_SETTINGS, IDS_KEY_DEVICE, file) != 0;
        return ok & (removeKey(IDS_SEC_SETTINGS, IDS_KEY_DEVMODE, file) != 0);
    }
    char device[3 * kSettingsPathSize + 2];
    std::snprintf(device, sizeof device, "%s,%s,%s", printer.name, printer.driver, printer.port);
    int ok = writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_DEVICE, device, file) != 0;
    if (!printer.devMode || !printer.devModeSize || printer.devModeSize > kMaxDevModeSize)
        return ok & (removeKey(IDS_SEC_SETTINGS, IDS_KEY_DEVMODE, file) != 0);
    std::size_t size = std::strlen(printer.name) + 16 + 2 * static_cast<std::size_t>(printer.devModeSize) + 1;
    std::unique_ptr<char[]> text(new (std::nothrow) char[size]);
    if (!text) return 0;
    int n = std::snprintf(text.get(), size, "%s,%u,", printer.name, 2 * printer.devModeSize);
    static constexpr char kHex[] = "0123456789ABCDEF";
    char* p = text.get() + n;
    for (std::uint32_t i = 0; i < printer.devModeSize; ++i) {
        *p++ = kHex[printer.devMode[i] >> 4];
        *p++ = kHex[printer.devMode[i] & 15];
    }
    *p = 0;
    return ok & (writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_DEVMODE, text.get(), file) != 0);
}
