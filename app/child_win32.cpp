// Diagram windows until the segment windows take over: MDI children of the
// class "kivchild", one per open diagram, that show an empty worksheet
// titled with their diagram's name. The frame needs them for its window
// rules (the empty untitled window, closing all windows, the window list,
// context menus) and the file commands act on the active one.
#include <cstring>

#include "app/documents.h"
#include "app/frame_win32.h"

namespace {

bool isDiagramClass(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, g_strings.childClass) == 0;
}

// A window that asked to be closed: the save question, then the diagram
// goes with the window. The empty untitled window is the last to stay.
bool closeDiagramWindow(HWND window) {
    OpenDiagram* diagram = diagramOfWindow(window);
    if (isEmptyUntitled(diagram) && diagramWindowCount() <= 1) return false;
    if (diagram && !confirmClose(diagram, g_frame.batch)) return false;
    return true;
}

}  // namespace

LRESULT CALLBACK KivMDIChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            const auto* mdi = create ? static_cast<const MDICREATESTRUCTA*>(create->lpCreateParams) : nullptr;
            auto* diagram = mdi ? reinterpret_cast<OpenDiagram*>(mdi->lParam) : nullptr;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(diagram));
            if (diagram) diagram->window = window;
            break;
        }
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
        case WM_MDIACTIVATE:
            if (reinterpret_cast<HWND>(lParam) == window)
                if (OpenDiagram* diagram = diagramOfWindow(window)) g_currentDocument = &diagram->document;
            break;
        case WM_CLOSE:
            if (!closeDiagramWindow(window)) return 0;
            break;
        case WM_DESTROY:
            if (OpenDiagram* diagram = diagramOfWindow(window)) {
                SetWindowLongPtrA(window, GWLP_USERDATA, 0);
                discardDiagram(diagram);
            }
            // The frame always keeps one diagram window.
            if (diagramWindowCount() <= 1 && IsWindow(g_frame.frame) && !g_frame.closing)
                PostMessageA(g_frame.frame, kMsgEnsureDiagramWindow, 0, 0);
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

HWND createDiagramWindow(OpenDiagram* diagram) {
    if (!g_frame.client || !diagram) return nullptr;
    char title[kPathSize];
    diagramTitle(diagram, title, sizeof title);
    MDICREATESTRUCTA create{};
    create.szClass = g_strings.childClass;
    create.szTitle = title;
    create.hOwner = g_frame.instance;
    create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
    create.lParam = reinterpret_cast<LPARAM>(diagram);
    HWND window = reinterpret_cast<HWND>(
        SendMessageA(g_frame.client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    if (!window) {
        // Unless a window got it before it failed, the diagram is still ours.
        for (OpenDiagram* d = firstDiagram(); d; d = d->next)
            if (d == diagram) {
                discardDiagram(diagram);
                break;
            }
    }
    return window;
}

HWND createUntitledWindow() {
    OpenDiagram* diagram = newDiagram();
    return diagram ? createDiagramWindow(diagram) : nullptr;
}

OpenDiagram* diagramOfWindow(HWND window) {
    if (!window || !isDiagramClass(window)) return nullptr;
    return reinterpret_cast<OpenDiagram*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

OpenDiagram* activeDiagram() {
    return diagramOfWindow(activeDiagramWindow());
}

void refreshDiagramTitle(OpenDiagram* diagram) {
    if (!diagram || !diagram->window) return;
    char title[kPathSize];
    diagramTitle(diagram, title, sizeof title);
    SetWindowTextA(static_cast<HWND>(diagram->window), title);
}

HWND activeDiagramWindow() {
    if (!g_frame.client) return nullptr;
    return reinterpret_cast<HWND>(SendMessageA(g_frame.client, WM_MDIGETACTIVE, 0, 0));
}

bool isEmptyUntitledWindow(HWND window) {
    return window && isEmptyUntitled(diagramOfWindow(window));
}

int diagramWindowCount() {
    int count = 0;
    if (!g_frame.client) return 0;
    for (HWND child = GetWindow(g_frame.client, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (isDiagramClass(child)) ++count;
    return count;
}
