// The overview: a tool window that shows the current window's segment
// without text, stretched into its client area, with the selection and a
// frame around the part the window shows. A press or drag of the left
// button moves that part there.
#include <algorithm>

#include "app/view_win32.h"
#include "config/language_config.h"
#include "resources/strings.h"
#include "view/painter.h"

namespace {

constexpr char kOverviewClass[] = "KivOverview";
constexpr int kOverview = static_cast<int>(ToolWindow::Overview);

HWND overviewWindow() {
    return reinterpret_cast<HWND>(g_frameSettings.window.toolWindows[kOverview]);
}

// The map from the current window's segment into the overview's client.
bool currentMap(SegmentWindow** window, OverviewMap* map) {
    *window = currentSegmentWindow();
    OpenDiagram* diagram = *window ? diagramOf(**window) : nullptr;
    if (!diagram || !diagram->view || !(*window)->shownSegment) return false;
    ViewContext ctx;
    ctx.state = diagram->view.get();
    ctx.display = &diagram->display;
    const Extent content = contentSize(ctx, **window);
    if (content.width <= 0 || content.height <= 0) return false;
    RECT client;
    GetClientRect(overviewWindow(), &client);
    *map = overviewMap(ctx, **window, {client.right, client.bottom});
    return true;
}

void paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    SegmentWindow* window = nullptr;
    OverviewMap map{};
    const bool shown = currentMap(&window, &map);
    OpenDiagram* diagram = window ? diagramOf(*window) : nullptr;
    HBRUSH background = CreateSolidBrush(diagram ? diagram->display.palette[kColourBackground] : 0xFFFFFF);
    FillRect(dc, &ps.rcPaint, background);
    DeleteObject(background);
    if (shown) {
        const int saved = SaveDC(dc);
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowExtEx(dc, map.content.width, map.content.height, nullptr);
        SetViewportExtEx(dc, std::max(1, map.client.width - 1), std::max(1, map.client.height - 1), nullptr);
        ViewContext ctx;
        ctx.target = OutputTarget::Overview;
        ctx.state = diagram->view.get();
        ctx.display = &diagram->display;
        ctx.config = &g_languageConfig;
        {
            GdiCanvas canvas(dc, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
            paintSegment(ctx, canvas, window->shownSegment);
        }
        Rect box;
        if (selectionBox(ctx, *window, &box)) {
            const RECT r{box.left, box.top, box.right, box.bottom};
            InvertRect(dc, &r);
        }
        RestoreDC(dc, saved);
        // The part the window shows, in the overview's own pixels.
        const Rect frame = overviewFrame(map, *window);
        HPEN pen = CreatePen(PS_SOLID, 1, diagram->display.palette[kColourCurrentView]);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, frame.left, frame.top, frame.right + 1, frame.bottom + 1);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
        diagnosticsLine("overview frame %d,%d,%d,%d of %dx%d", frame.left, frame.top, frame.right,
                        frame.bottom, map.client.width, map.client.height);
    }
    EndPaint(hwnd, &ps);
}

void scrollTo(LPARAM at) {
    SegmentWindow* window = nullptr;
    OverviewMap map{};
    if (!currentMap(&window, &map)) return;
    applyScroll(*window,
                overviewScroll(map, *window, static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))));
    diagnosticsLine("overview scroll %d,%d", window->scrollX, window->scrollY);
}

LRESULT CALLBACK OverviewWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_frame.messages.cancelMouseMode) {
        if (GetCapture() == hwnd) ReleaseCapture();
        return 0;
    }
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paint(hwnd);
            return 0;
        case WM_SIZE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
            SetCapture(hwnd);
            scrollTo(lParam);
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == hwnd) scrollTo(lParam);
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == hwnd) ReleaseCapture();
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY: {
            RECT rect;
            GetWindowRect(hwnd, &rect);
            g_frameSettings.places[kOverview].rect =
                SettingsRect{rect.left, rect.top, rect.right, rect.bottom};
            g_frameSettings.window.toolWindows[kOverview] = 0;
            diagnosticsLine("overview closed");
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

void toggleOverview() {
    if (HWND open = overviewWindow()) {
        DestroyWindow(open);
        return;
    }
    WNDCLASSA wc{};
    if (!GetClassInfoA(g_frame.instance, kOverviewClass, &wc)) {
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = OverviewWndProc;
        wc.hInstance = g_frame.instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kOverviewClass;
        if (!RegisterClassA(&wc)) return;
    }
    char title[64] = "Overview";
    platform::loadString(IDS_OVERVIEW_TITLE, title, sizeof title);
    const SettingsRect& r = g_frameSettings.places[kOverview].rect;
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kOverviewClass, title,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, r.left,
                                r.top, r.right - r.left, r.bottom - r.top, g_frame.frame, nullptr,
                                g_frame.instance, nullptr);
    if (!hwnd) return;
    g_frameSettings.window.toolWindows[kOverview] = reinterpret_cast<std::uintptr_t>(hwnd);
    if (IsWindowVisible(g_frame.frame)) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    diagnosticsLine("overview open");
}

void refreshOverview() {
    if (HWND open = overviewWindow()) InvalidateRect(open, nullptr, FALSE);
}
