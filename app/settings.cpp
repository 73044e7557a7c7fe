// The settings records, the file's location and the value rules: directory
// and mask pairs, rectangles, tool-window values.
#include "app/settings.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "app/settings_internal.h"
#include "config/profile.h"
#include "resources/strings.h"

FrameSettings g_frameSettings;
WindowSettings g_settingsSnapshot;
char g_settingsFile[kSettingsPathSize];
SettingsHooks g_settingsHooks;

using namespace settings_detail;

// ---------------------------------------------------------------------------
// Shared helpers

namespace settings_detail {

bool startsWithFixed(const char* value, unsigned id) {
    char fixed[kProfileNameSize];
    int n = platform::loadString(id, fixed, sizeof fixed);
    if (n <= 0 || !value || std::strlen(value) < static_cast<std::size_t>(n)) return false;
    char head[kProfileNameSize];
    std::memcpy(head, value, static_cast<std::size_t>(n));
    head[n] = 0;
    return equalNoCase(head, fixed);
}

bool parseInteger(const char* text, int& out) {
    if (!text) return false;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool minus = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return false;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p) return false;
    if (minus) value = -value;
    if (value > INT_MAX || value < INT_MIN) return false;
    out = static_cast<int>(value);
    return true;
}

int readInteger(unsigned sectionId, unsigned keyId, int defaultValue, const char* file) {
    char text[32];
    if (readProfileText(sectionId, keyId, "", text, sizeof text, file) <= 0) return defaultValue;
    int value;
    return parseInteger(text, value) ? value : defaultValue;
}

bool readBool(unsigned keyId, const char* file, bool defaultValue) {
    return readProfileBool(keyId, IDS_SEC_SETTINGS, file, defaultValue ? 1 : 0) != 0;
}

void readText(unsigned keyId, char* out, int size, const char* file) {
    readProfileText(IDS_SEC_SETTINGS, keyId, "", out, size, file);
}

bool numberedKey(unsigned keyId, int position, char* out, int size) {
    char base[kProfileNameSize];
    if (platform::loadString(keyId, base, sizeof base) <= 0) return false;
    int n = std::snprintf(out, static_cast<std::size_t>(size), "%s%d", base, position);
    return n > 0 && n < size;
}

int writeBool(unsigned keyId, bool value, const char* file) {
    return writeProfileFixed(IDS_SEC_SETTINGS, keyId, value ? IDS_VAL_YES : IDS_VAL_NO, file);
}

int writeInteger(unsigned sectionId, unsigned keyId, int value, const char* file) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return writeProfileText(sectionId, keyId, text, file);
}

int writeRect(unsigned keyId, const SettingsRect& rect, const char* file) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", static_cast<int>(rect.left), static_cast<int>(rect.top),
                  static_cast<int>(rect.right), static_cast<int>(rect.bottom));
    return writeProfileText(IDS_SEC_SETTINGS, keyId, text, file);
}

int removeKey(unsigned sectionId, unsigned keyId, const char* file) {
    char key[kProfileNameSize];
    if (platform::loadString(keyId, key, sizeof key) <= 0) return 0;
    return writeProfileTextByName(sectionId, key, nullptr, file);
}

}  // namespace settings_detail

// ---------------------------------------------------------------------------
// Location

bool defaultSettingsFileName(const char* modulePath, char out[kSettingsPathSize]) {
    out[0] = 0;
    if (!modulePath) return false;
    const char* name = fileNameOf(modulePath);
    const std::size_t length = static_cast<std::size_t>(extensionOf(modulePath) - name);
    if (!length || length + 4 >= static_cast<std::size_t>(kSettingsPathSize)) return false;
    std::memcpy(out, name, length);
    std::memcpy(out + length, ".INI", 5);
    return true;
}

bool settingsFileName(const char* modulePath, const char* inifileOption, char out[kSettingsPathSize]) {
    if (inifileOption && *inifileOption) {
        if (platform::fullPath(inifileOption, out)) return true;
        copyText(out, kSettingsPathSize, inifileOption);
        return std::strlen(inifileOption) < static_cast<std::size_t>(kSettingsPathSize);
    }
    return defaultSettingsFileName(modulePath, out);
}

// ---------------------------------------------------------------------------
// Records

void initFrameSettings(FrameSettings& settings) {
    std::memset(&settings, 0, sizeof settings);
    WindowSettings& w = settings.window;
    w.toolBar = true;
    w.statusBar = true;
    w.statusPages = true;
    w.fileInSepWnd = true;
    w.keepBrowserListOpen = true;
    if (platform::loadString(kNativeExtensionId, w.defaultExt, sizeof w.defaultExt) <= 0)
        copyText(w.defaultExt, ".vrd");
    settings.etfFileFormat = 1;
    settings.ctl3d = true;
    for (int i = 0; i < kToolWindowCount; ++i)
        settings.places[i] = ToolWindowPlace{false, defaultToolWindowRect(static_cast<ToolWindow>(i))};
}

void freeFrameSettings(FrameSettings& settings) {
    freePrinterChoice(settings.printer);
}

// ---------------------------------------------------------------------------
// Directories and masks

namespace {

// Removes trailing separators unless one directly follows the colon of a
// drive (C:\) or is the whole path (a root).
void stripTrailingSeparators(char* dir) {
    std::size_t n = std::strlen(dir);
    while (n > 1 && isPathSeparator(dir[n - 1]) && !(n == 3 && dir[1] == ':')) dir[--n] = 0;
}

}  // namespace

bool currentDirectory(char out[kSettingsPathSize]) {
    if (!platform::fullPath(".", out)) {
        out[0] = 0;
        return false;
    }
    std::size_t n = std::strlen(out);
    if (n >= 2 && out[n - 1] == '.' && isPathSeparator(out[n - 2])) out[n - 1] = 0;
    stripTrailingSeparators(out);
    return true;
}

void normalizeDirectory(const char* text, const char* fallbackDir, char out[kSettingsPathSize]) {
    if (!text || !*text) {
        copyText(out, kSettingsPathSize, fallbackDir);
        stripTrailingSeparators(out);
        return;
    }
    char absolute[kSettingsPathSize];
    if (platform::fullPath(text, absolute))
        copyText(out, kSettingsPathSize, absolute);
    else
        copyText(out, kSettingsPathSize, text);
    stripTrailingSeparators(out);
}

void parseDirectoryMask(const char* value, const char* fallbackDir, const char* defaultExt,
                        DirectoryMask& out) {
    if (!value) value = "";
    if (!defaultExt) defaultExt = "";
    // The file part follows the last separator, or a drive "X:".
    const char* file = fileNameOf(value);
    const std::size_t filePos = static_cast<std::size_t>(file - value);
    const char* ext = extensionOf(value);
    std::size_t nameLength = static_cast<std::size_t>(ext - file);
    char name[kSettingsPathSize];
    if (nameLength >= sizeof name) nameLength = sizeof name - 1;
    std::memcpy(name, file, nameLength);
    name[nameLength] = 0;
    std::snprintf(out.mask, sizeof out.mask, "%s%s", nameLength ? name : "*", *ext ? ext : defaultExt);

    if (!filePos) {
        normalizeDirectory(nullptr, fallbackDir, out.directory);
        return;
    }
    char dir[kSettingsPathSize];
    std::size_t dirLength = filePos < sizeof dir ? filePos : sizeof dir - 1;
    std::memcpy(dir, value, dirLength);
    dir[dirLength] = 0;
    normalizeDirectory(dir, fallbackDir, out.directory);
}

void joinDirectoryMask(const DirectoryMask& pair, char* out, int size) {
    if (!out || size <= 0) return;
    joinPath(pair.directory, pair.mask, out, static_cast<std::size_t>(size));
}

// ---------------------------------------------------------------------------
// Rectangles and tool windows

SettingsRect defaultToolWindowRect(ToolWindow window) {
    switch (window) {
        case ToolWindow::Overview:
            return {255, 150, 355, 305};
        case ToolWindow::Levellist:
            return {8, 100, 250, 305};
        case ToolWindow::Printgrid:
            return {375, 150, 475, 305};
        case ToolWindow::Result:
            return {8, 310, 400, 440};
        case ToolWindow::ToolBox:
            return {500, 100, 560, 440};
    }
    return {0, 0, 0, 0};
}

bool parseRect(const char* value, bool blanksSeparate, SettingsRect& out) {
    if (!value) return false;
    long long numbers[4];
    const char* p = value;
    for (int k = 0; k < 4; ++k) {
        while (*p == ' ' || *p == '\t') ++p;
        bool minus = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        if (*p < '0' || *p > '9') return false;
        long long n = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            n = n * 10 + (*p - '0');
            if (n > INT_MAX) return false;
        }
        numbers[k] = minus ? -n : n;
        const char* afterNumber = p;
        while (*p == ' ' || *p == '\t') ++p;
        if (k == 3) break;
        if (*p == ',')
            ++p;
        else if (!blanksSeparate || p == afterNumber)
            return false;
    }
    if (*p) return false;
    out = SettingsRect{static_cast<std::int32_t>(numbers[0]), static_cast<std::int32_t>(numbers[1]),
                       static_cast<std::int32_t>(numbers[2]), static_cast<std::int32_t>(numbers[3])};
    return true;
}

ToolWindowPlace parseToolWindowPlace(const char* value, const SettingsRect& fallback) {
    ToolWindowPlace place{false, fallback};
    if (!value) return place;
    place.open = startsWithFixed(value, IDS_VAL_YES) || startsWithFixed(value, IDS_VAL_TRUE) ||
                 startsWithFixed(value, IDS_VAL_ONE);
    if (!place.open) return place;
    const char* comma = std::strchr(value, ',');
    SettingsRect rect;
    // A window needs a size to be seen.
    if (comma && parseRect(comma + 1, false, rect) && rect.right > rect.left && rect.bottom > rect.top)
        place.rect = rect;
    return place;
}

void keepRectOnScreen(SettingsRect& rect, const SettingsRect& screen) {
    long long width = static_cast<long long>(rect.right) - rect.left;
    long long height = static_cast<long long>(rect.bottom) - rect.top;
    long long screenWidth = static_cast<long long>(screen.right) - screen.left;
    long long screenHeight = static_cast<long long>(screen.bottom) - screen.top;
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (width > screenWidth) width = screenWidth;
    if (height > screenHeight) height = screenHeight;
    long long left = rect.left;
    long long top = rect.top;
    if (left + width > screen.right) left = screen.right - width;
    if (left < screen.left) left = screen.left;
    if (top + height > screen.bottom) top = screen.bottom - height;
    if (top < screen.top) top = screen.top;
    rect = SettingsRect{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                        static_cast<std::int32_t>(left + width), static_cast<std::int32_t>(top + height)};
}
