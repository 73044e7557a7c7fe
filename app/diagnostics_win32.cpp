// The diagnostics log of the frame (KORRIN_DIAGNOSTICS): one line per event,
// appended and flushed at once so that a watching process sees it.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/frame_win32.h"

namespace {

char g_logPath[MAX_PATH];
int g_checked = 0;  // 0 unknown, 1 on, -1 off

void writeLine(const char* text) {
    HANDLE file =
        CreateFileA(g_logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

void dumpPopup(HMENU popup, const char* path, int depth) {
    if (depth > 4) return;
    updateMenuStates(popup);
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        for (char* p = text; *p; ++p)
            if (*p == '\t') *p = '|';
        HMENU sub = GetSubMenu(popup, i);
        if (sub) {
            char inner[256];
            std::snprintf(inner, sizeof inner, "%s/%s", path, text);
            diagnosticsLine("popup %s", inner);
            dumpPopup(sub, inner, depth + 1);
            continue;
        }
        UINT id = GetMenuItemID(popup, i);
        if (id == 0) continue;  // separator
        UINT state = GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION);
        diagnosticsLine("item %u %s%s %s", id, (state & MF_GRAYED) ? "g" : "e",
                        (state & MF_CHECKED) ? "c" : "-", text);
    }
}

}  // namespace

bool diagnosticsOn() {
    if (g_checked == 0) {
        DWORD n = GetEnvironmentVariableA("KORRIN_DIAGNOSTICS", g_logPath, sizeof g_logPath);
        g_checked = n > 0 && n < sizeof g_logPath ? 1 : -1;
    }
    return g_checked > 0;
}

void diagnosticsLine(const char* format, ...) {
    if (!diagnosticsOn()) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    writeLine(line);
}

void diagnosticsMenu(const char* reason) {
    if (!diagnosticsOn() || !g_frame.menu) return;
    diagnosticsLine("menu %s", reason);
    dumpPopup(g_frame.menu, "", 0);
    refreshBars();
    diagnosticsBars();
    diagnosticsLine("end menu");
}

UINT diagnosticsMessage() {
    static UINT message = RegisterWindowMessageA("KorrinDiagnostics");
    return message;
}
