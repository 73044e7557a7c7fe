// Diagram windows until the segment windows take over: MDI children of the
// class "kivchild" that show an empty worksheet titled with their document's
// name. The frame needs them for its window rules (the empty untitled
// window, closing all windows, the window list, context menus).
#include <cstring>

#include "app/frame_win32.h"

namespace {

constexpr int kUntitledSlot = 0;  // window bytes 0..3: 1 = the empty untitled document

bool isDiagramClass(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, g_strings.childClass) == 0;
}

}  // namespace

LRESULT CALLBACK KivMDIChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT rect;
            GetClientRect(window, &rect);
            FillRect(reinterpret_cast<HDC>(wParam), &rect, GetSysColorBrush(COLOR_WINDOW));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_CLOSE:
            // The empty untitled window is the last one to stay.
            if (isEmptyUntitledWindow(window) && diagramWindowCount() <= 1) return 0;
            break;
        case WM_COMMAND:
            // Navigation and the view's commands belong to the segment windows.
            return 0;
        default:
            break;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK RBWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createUntitledWindow() {
    if (!g_frame.client) return nullptr;
    MDICREATESTRUCTA create{};
    create.szClass = g_strings.childClass;
    create.szTitle = g_strings.untitled;
    create.hOwner = g_frame.instance;
    create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
    HWND window = reinterpret_cast<HWND>(
        SendMessageA(g_frame.client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    if (window) SetWindowLongA(window, kUntitledSlot, 1);
    return window;
}

HWND activeDiagramWindow() {
    if (!g_frame.client) return nullptr;
    return reinterpret_cast<HWND>(SendMessageA(g_frame.client, WM_MDIGETACTIVE, 0, 0));
}

bool isEmptyUntitledWindow(HWND window) {
    return window && isDiagramClass(window) && GetWindowLongA(window, kUntitledSlot) == 1;
}

int diagramWindowCount() {
    int count = 0;
    if (!g_frame.client) return 0;
    for (HWND child = GetWindow(g_frame.client, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (isDiagramClass(child)) ++count;
    return count;
}
