// Insertion mode in the segment windows. While a sequence is pending the
// pointer shows the command's insertion cursor; moving it over a window
// highlights the construct under it with a mark before, after or over it
// (replace) and names the position in the status line; a click (press and
// release) places the sequence there. A press on the selected area that
// moves further than the drag threshold starts Move (with Ctrl: Copy)
// with the button still held; the release places it, and a pointer held
// outside the window scrolls it (timer 4). From the keyboard the selection
// keys move the mark, Enter places and Esc quits.
#include <algorithm>

#include "app/edit_win32.h"
#include "app/view_win32.h"
#include "config/language_config.h"
#include "core/host.h"
#include "edit/insert_point.h"
#include "resources/commands.h"
#include "resources/strings.h"

PendingInsertion g_pendingInsertion;

namespace {

constexpr UINT_PTR kTimerAutoScroll = 4;
constexpr UINT kAutoScrollInterval = 60;

// The mark of the insertion point and the window that shows it.
InsertTarget g_mark;
bool g_markValid = false;  // the placement rules accept the mark
SegmentWindow* g_markWindow = nullptr;
bool g_buttonHeld = false;  // the button was pressed in insertion mode (or a drag holds it)
// Where the pointer last moved in a window: a message without a move (the
// system repeats the last one) leaves the keyboard's mark alone.
POINT g_lastMove{-32768, -32768};

// A press on the selection that may become a drag.
struct Press {
    SegmentWindow* window = nullptr;
    POINT at{};
};
Press g_press;

HWND hwndOf(const SegmentWindow& window) {
    return static_cast<HWND>(window.hwnd);
}

ViewContext contextOf(SegmentWindow& window) {
    ViewContext ctx;
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram) return ctx;
    ctx.state = diagram->view.get();
    ctx.display = &diagram->display;
    ctx.config = &g_languageConfig;
    return ctx;
}

POINT pointOf(LPARAM at) {
    return POINT{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
}

void setStatus(unsigned id) {
    char text[256] = {};
    platform::loadString(id, text, sizeof text);
    setStatusText(text);
}

// Repaints the part of the window the mark covers.
void invalidateMark(SegmentWindow* window, const InsertTarget& mark) {
    if (!window || !mark.target) return;
    const ViewContext ctx = contextOf(*window);
    Rect r;
    if (!ctx.state || !insertMarkRect(ctx, window->shownSegment, mark, &r)) return;
    const RECT client{r.left - window->scrollX - 1, r.top - window->scrollY - 1,
                      r.right - window->scrollX + 1, r.bottom - window->scrollY + 1};
    InvalidateRect(hwndOf(*window), &client, FALSE);
}

void setMark(SegmentWindow* window, const InsertTarget& mark) {
    if (window == g_markWindow && mark.target == g_mark.target && mark.position == g_mark.position) return;
    invalidateMark(g_markWindow, g_mark);
    g_markWindow = window;
    g_mark = mark;
    g_markValid = false;
    if (window && mark.target) {
        WindowView view;
        view.segment = window->shownSegment;
        EditContext context;
        context.document = window->document;
        context.view = &view;
        CurrentDocumentScope scope(window->document);
        g_markValid = checkInsertion(g_pendingInsertion, context, mark) == Placement::Ok;
    }
    invalidateMark(g_markWindow, g_mark);
    if (g_markWindow) UpdateWindow(hwndOf(*g_markWindow));
}

// The status line for the mark: its position, or, where the rules refuse
// it, the request for a valid one.
void showMarkStatus() {
    if (!g_mark.target || !g_markValid) {
        setStatus(g_buttonHeld ? IDS_STATUS_KEEP_BUTTON_PRESSED : IDS_STATUS_SET_INSERTION_POINT);
        return;
    }
    const InsertPosition shown =
        g_mark.position == InsertPosition::IntoSegment ? InsertPosition::Replace : g_mark.position;
    setStatus(insertPositionStatusId(shown));
}

void trackPointer(SegmentWindow& window, POINT at) {
    const ViewContext ctx = contextOf(window);
    if (!ctx.state || !window.shownSegment) return;
    setMark(&window, insertTargetAt(ctx, window.shownSegment, window.scrollX + at.x, window.scrollY + at.y));
    showMarkStatus();
}

// The toolbox shows the command's button pressed while insertion mode
// runs, "Quit insert mode" otherwise.
void pressToolboxButton(unsigned command) {
    if (!g_frame.toolbox) return;
    HWND bar = FindWindowExA(g_frame.toolbox, nullptr, TOOLBARCLASSNAMEA, nullptr);
    if (!bar) return;
    if (SendMessageA(bar, TB_COMMANDTOINDEX, command, 0) < 0) command = CMD_QUIT_INSERT_MODE;
    SendMessageA(bar, TB_CHECKBUTTON, command, MAKELPARAM(TRUE, 0));
}

// The cursor as insertion mode wants it, at once when the pointer is over
// a segment window.
void refreshCursor() {
    POINT at;
    GetCursorPos(&at);
    if (SegmentWindow* under = segmentWindowOf(WindowFromPoint(at)); under && !editSetCursor(*under))
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

void endMode() {
    if (g_buttonHeld || g_press.window) {
        if (GetCapture()) ReleaseCapture();
    }
    g_buttonHeld = false;
    g_press = Press{};
    if (g_markWindow) KillTimer(hwndOf(*g_markWindow), kTimerAutoScroll);
    setMark(nullptr, InsertTarget{});
    pressToolboxButton(CMD_QUIT_INSERT_MODE);
    setStatusText("");
    refreshCursor();
}

// Places the pending sequence at `target` of `window`. On success
// insertion mode ends and the new constructs are selected; a refused
// target leaves it running.
bool place(SegmentWindow& window, const InsertTarget& target) {
    if (!g_pendingInsertion.active() || !target.target) return false;
    const unsigned command = g_pendingInsertion.command;
    // A read-only diagram takes nothing.
    if (window.document && window.document->ownFile.readOnly) {
        MessageBeep(MB_ICONEXCLAMATION);
        diagnosticsLine("insert %u refused", command);
        return false;
    }
    EditContext context = editContextOf(window);
    int done;
    {
        CurrentDocumentScope scope(context.document);
        done = completeInsertion(g_pendingInsertion, context, target);
    }
    if (done) {
        endMode();
    }
    afterEdit(window);
    diagnosticsLine("insert %u %s", command, done ? "placed" : "refused");
    if (!done) {
        MessageBeep(MB_ICONEXCLAMATION);
        if (g_pendingInsertion.active()) showMarkStatus();
    }
    return done != 0;
}

void autoScroll(SegmentWindow& window) {
    POINT at;
    GetCursorPos(&at);
    ScreenToClient(hwndOf(window), &at);
    const ScrollMove direction = autoScrollDirection(window, at.x, at.y);
    const ViewContext ctx = contextOf(window);
    if (!ctx.state) return;
    if (direction.dx)
        applyScroll(window,
                    scrollWindow(ctx, window, false, direction.dx < 0 ? kScrollLineUp : kScrollLineDown));
    if (direction.dy)
        applyScroll(window,
                    scrollWindow(ctx, window, true, direction.dy < 0 ? kScrollLineUp : kScrollLineDown));
    trackPointer(window, at);
}

bool insideSelection(SegmentWindow& window, POINT at) {
    const ViewContext ctx = contextOf(window);
    Rect box;
    if (!ctx.state || !selectionBox(ctx, window, &box)) return false;
    const std::int32_t x = window.scrollX + at.x;
    const std::int32_t y = window.scrollY + at.y;
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

}  // namespace

bool enterInsertionMode(SegmentWindow& window, bool buttonHeld) {
    if (!g_pendingInsertion.active()) return false;
    // An empty segment takes the sequence at once.
    WindowView view;
    view.segment = window.shownSegment;
    EditContext context;
    context.document = window.document;
    context.view = &view;
    const InsertTarget empty = insertTargetForEmptySegment(context);
    if (empty.target) return place(window, empty);
    g_buttonHeld = buttonHeld;
    pressToolboxButton(g_pendingInsertion.command);
    diagnosticsLine("insertion mode %u", g_pendingInsertion.command);
    // The keyboard's mark starts after the selection; the pointer's
    // position takes over when it moves.
    setMark(&window, initialInsertMark(window));
    showMarkStatus();
    if (!g_buttonHeld) setStatus(IDS_STATUS_SET_INSERTION_POINT);
    GetCursorPos(&g_lastMove);
    refreshCursor();
    return true;
}

void quitInsertionMode() {
    const bool active = g_pendingInsertion.active();
    cancelInsertion(g_pendingInsertion);
    if (active) {
        endMode();
        diagnosticsLine("insertion mode quit");
    } else {
        pressToolboxButton(CMD_QUIT_INSERT_MODE);
    }
}

bool placeAtMark() {
    SegmentWindow* window = g_markWindow ? g_markWindow : currentSegmentWindow();
    if (!window) return false;
    if (!g_mark.target) {
        MessageBeep(MB_ICONEXCLAMATION);
        return false;
    }
    return place(*window, g_mark);
}

bool editMouseDown(SegmentWindow& window, LPARAM lParam, WPARAM keys) {
    const POINT at = pointOf(lParam);
    if (g_pendingInsertion.active()) {
        g_buttonHeld = true;
        SetCapture(hwndOf(window));
        trackPointer(window, at);
        return true;
    }
    if ((keys & MK_SHIFT) || !insideSelection(window, at)) return false;
    // A press on the selection: a drag, or a click once released.
    g_press.window = &window;
    g_press.at = at;
    SetCapture(hwndOf(window));
    return true;
}

bool editMouseMove(SegmentWindow& window, LPARAM lParam, WPARAM keys) {
    const POINT at = pointOf(lParam);
    if (g_pendingInsertion.active()) {
        POINT screen = at;
        ClientToScreen(hwndOf(window), &screen);
        if (screen.x == g_lastMove.x && screen.y == g_lastMove.y) return true;
        g_lastMove = screen;
        trackPointer(window, at);
        if (g_buttonHeld) {
            const bool outside =
                at.x < 0 || at.y < 0 || at.x >= window.clientWidth || at.y >= window.clientHeight;
            if (outside)
                SetTimer(hwndOf(window), kTimerAutoScroll, kAutoScrollInterval, nullptr);
            else
                KillTimer(hwndOf(window), kTimerAutoScroll);
        }
        return true;
    }
    if (g_press.window != &window || !(keys & MK_LBUTTON)) return false;
    OpenDiagram* diagram = diagramOf(window);
    const ViewContext ctx = contextOf(window);
    if (!diagram || !ctx.state) return false;
    TEXTMETRICA metrics{};
    {
        ScreenView measure(diagram);
        const HGDIOBJ old = SelectObject(measure.dc(), measure.font());
        GetTextMetricsA(measure.dc(), &metrics);
        SelectObject(measure.dc(), old);
    }
    const DragThreshold threshold =
        dragThreshold(GetSystemMetrics(SM_CXDOUBLECLK), GetSystemMetrics(SM_CYDOUBLECLK), ctx.vm().lineUnit,
                      metrics.tmAveCharWidth);
    if (!beyondThreshold(threshold, at.x - g_press.at.x, at.y - g_press.at.y)) return true;
    g_press = Press{};
    const unsigned command = (keys & MK_CONTROL) ? CMD_EDIT_COPY : CMD_EDIT_MOVE;
    if (!commandEnabled(command)) {
        ReleaseCapture();
        return true;
    }
    EditContext context = editContextOf(window);
    int begun;
    {
        CurrentDocumentScope scope(context.document);
        begun = beginInsertion(g_pendingInsertion, context, command);
    }
    afterEdit(window);
    if (!begun) {
        ReleaseCapture();
        return true;
    }
    diagnosticsLine("drag %u", command);
    enterInsertionMode(window, true);
    trackPointer(window, at);
    return true;
}

bool editMouseUp(SegmentWindow& window, LPARAM lParam) {
    const POINT at = pointOf(lParam);
    if (g_press.window == &window) {
        // No drag: the press was a click.
        g_press = Press{};
        ReleaseCapture();
        const ViewContext ctx = contextOf(window);
        if (!ctx.state) return true;
        Rect before = kNoRect;
        selectionBox(ctx, window, &before);
        if (clickAt(ctx, window, at.x, at.y, false)) selectionChanged(window, before);
        return true;
    }
    if (!g_pendingInsertion.active() || !g_buttonHeld) return false;
    g_buttonHeld = false;
    KillTimer(hwndOf(window), kTimerAutoScroll);
    ReleaseCapture();
    // The release over another window of the editor places there.
    POINT screen = at;
    ClientToScreen(hwndOf(window), &screen);
    SegmentWindow* target = segmentWindowOf(WindowFromPoint(screen));
    if (!target) target = &window;
    POINT local = screen;
    ScreenToClient(hwndOf(*target), &local);
    trackPointer(*target, local);
    place(*target, g_mark);
    return true;
}

bool editSetCursor(SegmentWindow& window) {
    (void)window;
    if (!g_pendingInsertion.active()) return false;
    HCURSOR cursor = LoadCursorA(g_frame.instance, insertionCursorName(g_pendingInsertion.command));
    SetCursor(cursor ? cursor : LoadCursor(nullptr, IDC_CROSS));
    return true;
}

bool editTimer(SegmentWindow& window, WPARAM id) {
    if (id != kTimerAutoScroll) return false;
    if (!g_buttonHeld || !g_pendingInsertion.active()) {
        KillTimer(hwndOf(window), kTimerAutoScroll);
        return true;
    }
    autoScroll(window);
    return true;
}

void editCaptureLost(SegmentWindow& window) {
    if (g_press.window == &window) g_press = Press{};
    if (g_markWindow == &window) {
        KillTimer(hwndOf(window), kTimerAutoScroll);
        g_markWindow = nullptr;
        g_mark = InsertTarget{};
    }
}

bool editKeyCommand(SegmentWindow& window, unsigned command) {
    if (!g_pendingInsertion.active() || command < CMD_KEY_FIRST || command > CMD_KEY_LAST) return false;
    const ViewContext ctx = contextOf(window);
    if (!ctx.state) return true;
    InsertTarget mark = g_markWindow == &window ? g_mark : InsertTarget{};
    const std::int32_t x = window.scrollX;
    const std::int32_t y = window.scrollY;
    if (moveInsertMark(ctx, window, mark, command)) {
        Rect r;
        if (insertMarkRect(ctx, window.shownSegment, mark, &r))
            scrollIntoView(window, r, contentSize(ctx, window));
        applyScroll(window, ScrollMove{window.scrollX - x, window.scrollY - y});
        setMark(&window, mark);
        showMarkStatus();
    }
    return true;
}

void paintInsertionMark(SegmentWindow& window, const ViewContext& ctx, HDC dc) {
    if (&window != g_markWindow || !g_pendingInsertion.active()) return;
    Rect r;
    if (!insertMarkRect(ctx, window.shownSegment, g_mark, &r)) return;
    const RECT box{r.left, r.top, r.right, r.bottom};
    if (g_mark.position == InsertPosition::Replace || g_mark.position == InsertPosition::IntoSegment) {
        // A frame around what is replaced, three pixels wide.
        for (int i = 0; i < 3; ++i) {
            const RECT edge{box.left + i, box.top + i, box.right - i, box.bottom - i};
            DrawFocusRect(dc, &edge);
        }
        return;
    }
    InvertRect(dc, &box);
}
