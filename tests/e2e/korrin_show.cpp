// Used by `make run`: waits for the frame of a running editor, opens its
// toolbox, saves a screenshot of the frame with its tool windows as PNG and
// closes the editor cleanly.
//
//   korrin_show <screenshot.png> [seconds to wait]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/e2e_support.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: korrin_show <screenshot.png> [seconds]\n");
        return 2;
    }
    int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    e2e::drawOwnCaptions();
    HWND frame = nullptr;
    for (int i = 0; i < seconds * 10 && !frame; ++i) {
        HWND found = FindWindowA("korrinvrd", nullptr);
        if (found && IsWindowVisible(found) && IsWindowEnabled(found))
            frame = found;
        else
            Sleep(100);
    }
    if (!frame) {
        std::fprintf(stderr, "korrin_show: no editor frame appeared\n");
        return 1;
    }
    Sleep(1000);  // the end of start-up
    if (!FindWindowA("KivToolbox", nullptr)) PostMessageA(frame, WM_COMMAND, CMD_OPTIONS_TOOLBOX, 0);
    SendMessageA(frame, WM_MENUSELECT, MAKEWPARAM(CMD_FILE_GENERATE_AS, MF_STRING),
                 reinterpret_cast<LPARAM>(frame));
    Sleep(1500);
    RECT rect;
    GetWindowRect(frame, &rect);
    for (const char* tool : {"KivToolbox", "KivOverview", "KivLevellist"})
        if (HWND window = FindWindowA(tool, nullptr)) {
            RECT box;
            GetWindowRect(window, &box);
            UnionRect(&rect, &rect, &box);
        }
    bool saved = e2e::saveScreenPng(rect, argv[1]);
    if (!saved) std::fprintf(stderr, "korrin_show: the screenshot could not be saved\n");

    // Close; the settings question (the toolbox was opened) is answered No.
    DWORD pid = 0;
    GetWindowThreadProcessId(frame, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    SendMessageA(frame, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100; ++i) {
        if (process && WaitForSingleObject(process, 100) == WAIT_OBJECT_0) break;
        HWND box = FindWindowA("#32770", nullptr);
        if (box) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner == pid) PostMessageA(box, WM_COMMAND, IDNO, 0);
        }
    }
    bool ended = !process || WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
    if (process) CloseHandle(process);
    if (!ended) std::fprintf(stderr, "korrin_show: the editor did not end\n");
    return saved && ended ? 0 : 1;
}
