// Segment windows: MDI children of the class "kivchild", each showing one
// segment of one diagram. Several windows may show one diagram; the
// diagram closes with its last window (which asks to save its changes),
// closing any other window asks nothing. The window extra bytes hold the
// SegmentWindow record (pointer-sized), the user data the window's number
// among the windows of its diagram.
//
// Painting lays the shown segment out for the screen (measured on the
// screen with the diagram's screen font), then paints what the update
// region holds and inverts the selection. Scrolling moves the window's
// contents and paints only the strip it uncovers.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/addin_link.h"
#include "app/edit_win32.h"
#include "app/text_edit_win32.h"
#include "app/view_win32.h"
#include "config/language_config.h"
#include "core/host.h"
#include "resources/commands.h"
#include "view/painter.h"

WindowRing g_segmentWindows;

namespace {

bool g_blinkDoubled = false;
UINT g_savedBlinkTime = 0;
// The record a window being made takes over at WM_CREATE (null once taken).
SegmentWindow* g_creating = nullptr;
// The window of a double click until its button comes up.
SegmentWindow* g_doubleClicked = nullptr;

bool isDiagramClass(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, g_strings.childClass) == 0;
}

}  // namespace

ViewContext plainContext(OpenDiagram* diagram) {
    ViewContext ctx;
    ctx.state = diagram->view.get();
    ctx.display = &diagram->display;
    ctx.config = &g_languageConfig;
    ctx.specialLines = &diagram->specialLines;
    return ctx;
}

namespace {

HWND hwndOf(const SegmentWindow& window) {
    return static_cast<HWND>(window.hwnd);
}

// Content coordinates to the window's client.
RECT clientRect(const SegmentWindow& window, const Rect& r) {
    return RECT{r.left - window.scrollX, r.top - window.scrollY, r.right - window.scrollX,
                r.bottom - window.scrollY};
}

// The windows of a diagram, numbered in their order of making: "path:2".
void retitle(OpenDiagram* diagram) {
    if (!diagram) return;
    char title[kPathSize];
    diagramTitle(diagram, title, sizeof title);
    const int count = windowCount(g_segmentWindows, &diagram->document);
    forEachWindow(g_segmentWindows, [&](SegmentWindow& w) {
        if (w.document != &diagram->document) return;
        char text[kPathSize + 16];
        const auto number = GetWindowLongPtrA(hwndOf(w), GWLP_USERDATA);
        if (count > 1)
            std::snprintf(text, sizeof text, "%s:%d", title, static_cast<int>(number));
        else
            std::snprintf(text, sizeof text, "%s", title);
        SetWindowTextA(hwndOf(w), text);
    });
    refreshFrameCaption();
}

int nextWindowNumber(const DiagramDocument* document) {
    LONG_PTR highest = 0;
    forEachWindow(g_segmentWindows, [&](SegmentWindow& w) {
        if (w.document == document) highest = std::max(highest, GetWindowLongPtrA(hwndOf(w), GWLP_USERDATA));
    });
    return static_cast<int>(highest) + 1;
}

void placeCaret(SegmentWindow& window) {
    if (GetFocus() != hwndOf(window)) return;
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram) return;
    const ViewContext ctx = plainContext(diagram);
    Rect box;
    if (!selectionBox(ctx, window, &box)) {
        HideCaret(hwndOf(window));
        return;
    }
    const RECT at = clientRect(window, box);
    SetCaretPos(at.left + 1, at.top + 1);
    ShowCaret(hwndOf(window));
}

void onSetFocus(SegmentWindow& window) {
    if (!g_blinkDoubled) {
        g_savedBlinkTime = GetCaretBlinkTime();
        SetCaretBlinkTime(g_savedBlinkTime * 2);
        g_blinkDoubled = true;
    }
    OpenDiagram* diagram = diagramOf(window);
    const std::int32_t height = diagram && diagram->view ? diagram->view->views[kViewScreen].lineUnit : 0;
    CreateCaret(hwndOf(window), nullptr, 2, std::max(8, height - 2));
    placeCaret(window);
}

void onKillFocus(SegmentWindow& window) {
    DestroyCaret();
    (void)window;
    restoreCaretBlinkTime();
}

void paintWindow(SegmentWindow& window) {
    OpenDiagram* diagram = diagramOf(window);
    HWND hwnd = hwndOf(window);
    const std::int32_t x = window.scrollX;
    const std::int32_t y = window.scrollY;
    LayoutResult laid = LayoutResult::NoSegment;
    if (diagram && diagram->view && window.shownSegment) {
        // Laid out before painting starts: a segment over the worksheet
        // limit says so once, outside the paint.
        ScreenView measure(diagram);
        laid = layoutWindow(measure.context(), window);
    }
    updateScrollBars(window);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    const Colour background = diagram ? diagram->display.palette[kColourBackground] : 0xFFFFFF;
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &paint.rcPaint, brush);
    DeleteObject(brush);
    if (laid == LayoutResult::Cached || laid == LayoutResult::LaidOut) {
        ScreenView view(diagram, dc);
        SetWindowOrgEx(dc, window.scrollX, window.scrollY, nullptr);
        {
            GdiCanvas canvas(dc, view.font());
            paintSegment(view.context(), canvas, window.shownSegment);
        }
        Rect box;
        if (selectionBox(view.context(), window, &box)) {
            const RECT r{box.left, box.top, box.right, box.bottom};
            InvertRect(dc, &r);
        }
        paintInsertionMark(window, view.context(), dc);
        SetWindowOrgEx(dc, 0, 0, nullptr);
        const Extent content = contentSize(view.context(), window);
        diagnosticsLine("paint segment %u scroll %d,%d content %d,%d", window.shownSegmentId, window.scrollX,
                        window.scrollY, content.width, content.height);
    }
    EndPaint(hwnd, &paint);
    if (laid == LayoutResult::LaidOut) refreshOverview();
    // A layout that moved the position: the whole window anew.
    if (window.scrollX != x || window.scrollY != y) {
        InvalidateRect(hwnd, nullptr, FALSE);
        refreshOverview();
    }
}

void onSize(SegmentWindow& window, WPARAM kind, LPARAM size) {
    const bool maximized = kind == SIZE_MAXIMIZED;
    if (maximized != window.maximized) {
        window.maximized = maximized;
        SetWindowTextA(g_frame.frame, nullptr);  // the frame's caption follows
    }
    if (kind == SIZE_MINIMIZED) return;
    window.clientWidth = LOWORD(size);
    window.clientHeight = HIWORD(size);
    if (OpenDiagram* diagram = diagramOf(window); diagram && diagram->view && window.shownSegment) {
        ScreenView measure(diagram);
        layoutWindow(measure.context(), window);
    }
    updateScrollBars(window);
    refreshOverview();
}

void onScroll(SegmentWindow& window, bool vertical, WPARAM wParam) {
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram) return;
    const int code = LOWORD(wParam);
    std::int32_t thumb = HIWORD(wParam);
    if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
        SCROLLINFO info{sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        if (GetScrollInfo(hwndOf(window), vertical ? SB_VERT : SB_HORZ, &info)) thumb = info.nTrackPos;
    }
    applyScroll(window, scrollWindow(plainContext(diagram), window, vertical, code, thumb));
}

void onCommand(SegmentWindow& window, unsigned command) {
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram || !window.shownSegment) return;
    const ViewContext ctx = plainContext(diagram);
    if (command >= CMD_SCROLL_FIRST && command <= CMD_SCROLL_LAST) {
        applyScroll(window, scrollCommand(ctx, window, command));
        diagnosticsLine("scroll %u to %d,%d", command, window.scrollX, window.scrollY);
        return;
    }
    if (command >= CMD_KEY_FIRST && command <= CMD_KEY_LAST) {
        Rect before = kNoRect;
        selectionBox(ctx, window, &before);
        const std::int32_t x = window.scrollX;
        const std::int32_t y = window.scrollY;
        if (!selectionCommand(ctx, window, command)) return;
        applyScroll(window, ScrollMove{window.scrollX - x, window.scrollY - y});
        selectionChanged(window, before);
    }
}

void onClick(SegmentWindow& window, LPARAM at, bool extend) {
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram || !window.shownSegment) return;
    const ViewContext ctx = plainContext(diagram);
    Rect before = kNoRect;
    selectionBox(ctx, window, &before);
    if (clickAt(ctx, window, static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)), extend))
        selectionChanged(window, before);
}

// A click with the modifiers of an add-in's mouse command: it selects what
// a plain click would, then the add-in is told instead of the click's
// usual meaning. False for any other click.
bool addInClick(SegmentWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    const unsigned button = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK   ? 1
                            : message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK ? 2
                                                                                       : 3;
    const bool doubleClick =
        message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
    const unsigned modifiers = ((wParam & MK_SHIFT) ? 1u : 0u) | ((wParam & MK_CONTROL) ? 2u : 0u) |
                               ((GetKeyState(VK_MENU) & 0x8000) ? 4u : 0u);
    if (!modifiers) return false;
    const unsigned command = addInMouseCommand(button, doubleClick, modifiers);
    if (!command) return false;
    if (directEditActive()) endDirectEdit(true);
    SetFocus(hwndOf(window));
    onClick(window, lParam, false);
    sendAddInNotice(kAddInCommand, kAddInFromMouse, command);
    return true;
}

// A window asked to be closed: the last window of a diagram asks to save
// it; the empty untitled window is the last to stay.
bool mayClose(SegmentWindow* window) {
    OpenDiagram* diagram = window ? diagramOf(*window) : nullptr;
    if (!diagram) return true;
    if (isEmptyUntitled(diagram) && diagramWindowCount() <= 1) return false;
    if (windowCount(g_segmentWindows, &diagram->document) > 1) return true;
    return confirmClose(diagram, g_frame.batch);
}

void onDestroy(HWND hwnd, SegmentWindow* window) {
    if (!window) return;
    OpenDiagram* diagram = diagramOf(*window);
    if (GetFocus() == hwnd) onKillFocus(*window);
    editWindowClosing(*window);
    removeWindow(g_segmentWindows, window);
    SetWindowLongPtrA(hwnd, 0, 0);
    delete window;
    if (diagram) {
        if (windowCount(g_segmentWindows, &diagram->document) == 0) {
            diagram->window = nullptr;
            editDocumentClosing(&diagram->document);
            discardDiagram(diagram);
        } else {
            if (diagram->window == hwnd) {
                forEachWindow(g_segmentWindows, [&](SegmentWindow& w) {
                    if (w.document == &diagram->document) diagram->window = w.hwnd;
                });
            }
            retitle(diagram);
        }
    }
    // The frame always keeps one diagram window.
    if (diagramWindowCount() <= 1 && IsWindow(g_frame.frame) && !g_frame.closing)
        PostMessageA(g_frame.frame, kMsgEnsureDiagramWindow, 0, 0);
    refreshOverview();
    refreshStructureList();
}

}  // namespace

// ---------------------------------------------------------------------------

ScreenView::ScreenView(OpenDiagram* diagram, HDC dc, OutputTarget target)
    : dc_(dc ? dc : GetDC(nullptr)), ownDc_(!dc) {
    font_ = createViewFont(dc_, diagram->display.screenFont);
    metrics_.emplace(dc_, font_);
    ctx_ = plainContext(diagram);
    ctx_.target = target;
    ctx_.metrics = &*metrics_;
}

ScreenView::~ScreenView() {
    metrics_.reset();
    DeleteObject(font_);
    if (ownDc_) ReleaseDC(nullptr, dc_);
}

SegmentWindow* segmentWindowOf(HWND window) {
    if (!window || !isDiagramClass(window)) return nullptr;
    return reinterpret_cast<SegmentWindow*>(GetWindowLongPtrA(window, 0));
}

OpenDiagram* diagramOf(const SegmentWindow& window) {
    return diagramOfDocument(window.document);
}

SegmentWindow* currentSegmentWindow() {
    return segmentWindowOf(activeDiagramWindow());
}

void updateScrollBars(SegmentWindow& window) {
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram) return;
    const Extent content = contentSize(plainContext(diagram), window);
    for (const bool vertical : {false, true}) {
        const ScrollBar bar = vertical ? scrollBar(content.height, window.clientHeight, window.scrollY)
                                       : scrollBar(content.width, window.clientWidth, window.scrollX);
        SCROLLINFO info{sizeof info,
                        SIF_ALL | SIF_DISABLENOSCROLL,
                        0,
                        bar.max,
                        static_cast<UINT>(bar.page),
                        bar.position,
                        0};
        SetScrollInfo(hwndOf(window), vertical ? SB_VERT : SB_HORZ, &info, TRUE);
    }
}

void applyScroll(SegmentWindow& window, ScrollMove move) {
    if (!move.dx && !move.dy) return;
    HWND hwnd = hwndOf(window);
    ScrollWindowEx(hwnd, -move.dx, -move.dy, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
    updateScrollBars(window);
    UpdateWindow(hwnd);
    placeCaret(window);
    refreshOverview();
}

void selectionChanged(SegmentWindow& window, const Rect& before) {
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram) return;
    HWND hwnd = hwndOf(window);
    if (!(before == kNoRect)) {
        const RECT old = clientRect(window, before);
        InvalidateRect(hwnd, &old, FALSE);
    }
    Rect box;
    if (selectionBox(plainContext(diagram), window, &box)) {
        const RECT now = clientRect(window, box);
        InvalidateRect(hwnd, &now, FALSE);
    }
    UpdateWindow(hwnd);
    placeCaret(window);
    refreshOverview();
    const ConstructNode* first = window.selectionFirst;
    int count = first ? 1 : 0;
    for (const ConstructNode* c = first; c && c != window.selectionLast; c = c->next) ++count;
    diagnosticsLine("select segment %u line %d type %d count %d", window.shownSegmentId,
                    first ? first->lineNumber : -1, first ? static_cast<int>(first->type) : -1, count);
}

void restoreCaretBlinkTime() {
    if (!g_blinkDoubled) return;
    SetCaretBlinkTime(g_savedBlinkTime);
    g_blinkDoubled = false;
}

LRESULT CALLBACK KivMDIChildWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SegmentWindow* window = segmentWindowOf(hwnd);
    switch (message) {
        case WM_CREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            const auto* mdi = create ? static_cast<const MDICREATESTRUCTA*>(create->lpCreateParams) : nullptr;
            auto* record = mdi ? reinterpret_cast<SegmentWindow*>(mdi->lParam) : nullptr;
            if (!record || record != g_creating) return -1;
            g_creating = nullptr;
            record->hwnd = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, nextWindowNumber(record->document));
            SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(record));
            addWindow(g_segmentWindows, record);
            if (OpenDiagram* diagram = diagramOf(*record); diagram && !diagram->window)
                diagram->window = hwnd;
            break;
        }
        case WM_ERASEBKGND:
            return 1;  // painting fills the background
        case WM_PAINT:
            if (!window) break;
            paintWindow(*window);
            directEditFollow(*window);
            return 0;
        case WM_SIZE: {
            if (window) onSize(*window, wParam, lParam);
            // Maximising and restoring change what the frame's caption shows.
            const LRESULT result = DefMDIChildProcA(hwnd, message, wParam, lParam);
            refreshFrameCaption();
            return result;
        }
        case WM_MOVE:
            break;
        case WM_SYSCOMMAND:
            // A maximised window is restored before it becomes an icon, so
            // that the other windows keep their own size.
            if ((wParam & 0xFFF0) == SC_MINIMIZE && IsZoomed(hwnd))
                SendMessageA(g_frame.client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(hwnd), 0);
            break;
        case WM_MDIACTIVATE:
            if (window && reinterpret_cast<HWND>(lParam) == hwnd) {
                g_segmentWindows.current = window;
                g_currentDocument = window->document;
                refreshFrameCaption();
                refreshOverview();
                refreshStructureList();
            }
            break;
        case WM_SETFOCUS:
            if (window) onSetFocus(*window);
            return 0;
        case WM_KILLFOCUS:
            if (window) onKillFocus(*window);
            return 0;
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (window) onScroll(*window, message == WM_VSCROLL, wParam);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (window && addInClick(*window, message, wParam, lParam)) return 0;
            if (directEditActive()) endDirectEdit(true);
            SetFocus(hwnd);
            if (!window) return 0;
            // A double click runs the default action of what it selected
            // once the button comes up without a drag; in insertion mode it
            // places like a click.
            g_doubleClicked = message == WM_LBUTTONDBLCLK && !g_pendingInsertion.active() ? window : nullptr;
            if (!editMouseDown(*window, lParam, wParam)) onClick(*window, lParam, (wParam & MK_SHIFT) != 0);
            return 0;
        // Insertion mode and dragging the selection (insertion_win32.cpp).
        case WM_MOUSEMOVE:
            if (window) editMouseMove(*window, lParam, wParam);
            if (g_pendingInsertion.active()) g_doubleClicked = nullptr;
            return 0;
        case WM_LBUTTONUP:
            if (window) editMouseUp(*window, lParam);
            if (window && g_doubleClicked == window && window->selectionFirst)
                PostMessageA(g_frame.frame, WM_COMMAND, CMD_DEFAULT_ACTION, 0);
            g_doubleClicked = nullptr;
            return 0;
        case WM_SETCURSOR:
            if (window && LOWORD(lParam) == HTCLIENT && editSetCursor(*window)) return TRUE;
            break;
        case WM_TIMER:
            if (window && editTimer(*window, wParam)) return 0;
            break;
        case WM_CAPTURECHANGED:
            if (window && reinterpret_cast<HWND>(lParam) != hwnd) editCaptureLost(*window);
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            if (window && addInClick(*window, message, wParam, lParam)) return 0;
            break;
        case WM_RBUTTONDOWN:
            if (window && addInClick(*window, message, wParam, lParam)) return 0;
            if (GetFocus() != hwnd) {
                SendMessageA(g_frame.client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hwnd), 0);
                SetFocus(hwnd);
            }
            return 0;
        case WM_RBUTTONDBLCLK:
            if (window) addInClick(*window, message, wParam, lParam);
            return 0;
        case WM_CHAR:
            if (window && typedIntoSegmentWindow(*window, wParam)) return 0;
            // The frame's keys first (Enter: the default action).
            SendMessageA(g_frame.frame, WM_CHAR, wParam, lParam);
            return 0;
        case WM_KEYDOWN:
            // PgDn and PgUp move the selection by a window's height, with
            // Shift extend it (the main loop's keys send the others).
            if (window && (wParam == VK_NEXT || wParam == VK_PRIOR) && !(GetKeyState(VK_CONTROL) & 0x8000)) {
                const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                constexpr unsigned kScreenDown = 259, kScreenUp = 260, kExtendUp = 273, kExtendDown = 274;
                const unsigned command =
                    wParam == VK_NEXT ? (shift ? kExtendDown : kScreenDown) : (shift ? kExtendUp : kScreenUp);
                if (!editKeyCommand(*window, command)) onCommand(*window, command);
                return 0;
            }
            break;
        case WM_COMMAND:
            if (window && !editKeyCommand(*window, LOWORD(wParam))) onCommand(*window, LOWORD(wParam));
            return 0;
        case WM_CLOSE:
            if (!mayClose(window)) return 0;
            break;
        case WM_DESTROY:
            if (window) forgetEditWindow(*window);
            if (g_doubleClicked == window) g_doubleClicked = nullptr;
            onDestroy(hwnd, window);
            break;
        default:
            break;
    }
    return DefMDIChildProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK RBWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createSegmentWindow(OpenDiagram* diagram, const SegmentWindow* like) {
    if (!g_frame.client || !diagram) return nullptr;
    auto* record = new (std::nothrow) SegmentWindow{};
    if (!record) return nullptr;
    record->document = &diagram->document;
    ConstructNode* segment = like && like->shownSegment ? like->shownSegment : diagram->document.root;
    if (segment) showSegment(*record, segment, kShowClearSelection);
    if (like) {
        record->scrollX = like->scrollX;
        record->scrollY = like->scrollY;
        record->selectionFirst = like->selectionFirst;
        record->selectionLast = like->selectionLast;
        record->selectionAnchor = like->selectionAnchor;
    }
    char title[kPathSize];
    diagramTitle(diagram, title, sizeof title);
    MDICREATESTRUCTA create{};
    create.szClass = g_strings.childClass;
    create.szTitle = title;
    create.hOwner = g_frame.instance;
    create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
    create.style = WS_VSCROLL | WS_HSCROLL;
    create.lParam = reinterpret_cast<LPARAM>(record);
    g_creating = record;
    HWND window = reinterpret_cast<HWND>(
        SendMessageA(g_frame.client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    if (g_creating == record) delete record;  // never taken over by a window
    g_creating = nullptr;
    if (!window) {
        // Unless a window has it, the diagram is still ours.
        if (!like && windowCount(g_segmentWindows, &diagram->document) == 0) discardDiagram(diagram);
        return nullptr;
    }
    retitle(diagram);
    return window;
}

HWND createDiagramWindow(OpenDiagram* diagram) {
    return createSegmentWindow(diagram);
}

HWND createUntitledWindow() {
    OpenDiagram* diagram = newDiagram();
    return diagram ? createSegmentWindow(diagram) : nullptr;
}

void showDiagramIn(HWND hwnd, OpenDiagram* diagram) {
    SegmentWindow* window = segmentWindowOf(hwnd);
    if (!window || !diagram) return;
    OpenDiagram* previous = diagramOf(*window);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, nextWindowNumber(&diagram->document));
    window->document = &diagram->document;
    clearSelection(*window);
    window->shownSegment = nullptr;
    showSegment(*window, diagram->document.root, kShowClearSelection);
    if (!diagram->window) diagram->window = hwnd;
    if (previous && previous != diagram && windowCount(g_segmentWindows, &previous->document) == 0) {
        previous->window = nullptr;
        editDocumentClosing(&previous->document);
        discardDiagram(previous);
    }
    g_currentDocument = &diagram->document;
    retitle(diagram);
    InvalidateRect(hwnd, nullptr, FALSE);
    refreshOverview();
    refreshStructureList();
}

void diagramChanged(OpenDiagram* diagram, bool replaced) {
    if (!diagram) return;
    if (replaced) editDocumentClosing(&diagram->document);
    if (diagram->view) invalidateLayout(*diagram->view, kInvalidateAllViews);
    forEachWindow(g_segmentWindows, [&](SegmentWindow& w) {
        if (w.document != &diagram->document) return;
        clearSelection(w);
        if (replaced) {
            w.shownSegment = nullptr;
            showSegment(w, diagram->document.root, kShowClearSelection);
        }
        InvalidateRect(hwndOf(w), nullptr, FALSE);
    });
    retitle(diagram);
    refreshOverview();
    refreshStructureList(true);
}

void displayChanged(unsigned invalidateFlags) {
    for (OpenDiagram* d = firstDiagram(); d; d = d->next)
        if (d->view) invalidateLayout(*d->view, invalidateFlags);
    forEachWindow(g_segmentWindows, [](SegmentWindow& w) { InvalidateRect(hwndOf(w), nullptr, FALSE); });
    refreshOverview();
}

OpenDiagram* diagramOfWindow(HWND window) {
    SegmentWindow* record = segmentWindowOf(window);
    return record ? diagramOf(*record) : nullptr;
}

OpenDiagram* activeDiagram() {
    return diagramOfWindow(activeDiagramWindow());
}

void refreshDiagramTitle(OpenDiagram* diagram) {
    retitle(diagram);
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
