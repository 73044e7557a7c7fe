// Segment windows as portable state: the record behind every window that
// shows a segment of a diagram, the ring of all of them, scrolling, the
// hit test, the selected area and the keys that move it, moving a window
// up and down the segment hierarchy, and the overview's mapping. The
// front end (app/segment_window_win32.cpp) turns window messages into
// calls of these functions; nothing here knows a window system.
//
// Coordinates are logical units of the view: "content" coordinates have
// (0, 0) at the top-left corner of the laid-out segment (margins
// included); the window shows the part from (scrollX, scrollY) that is
// clientWidth x clientHeight large.
#pragma once

#include <cstdint>
#include <vector>

#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "view/canvas.h"
#include "view/layout.h"

// No rectangle shown (the inversion of the selection).
constexpr Rect kNoRect{65535, 65535, 65535, 65535};

struct SegmentWindow {
    void* hwnd = nullptr;                 // the front end's window
    DiagramDocument* document = nullptr;  // the diagram shown
    bool maximized = false;
    ConstructNode* shownSegment = nullptr;  // the Level whose body the window shows
    std::uint32_t shownSegmentId = 0;
    std::int32_t scrollX = 0, scrollY = 0;
    std::int32_t clientWidth = 0, clientHeight = 0;
    // The selected area: a range of one sequence (both null: none).
    ConstructNode* selectionFirst = nullptr;
    ConstructNode* selectionLast = nullptr;
    ConstructNode* selectionAnchor = nullptr;  // the end that Shift keeps still
    int editField = 0;                         // 1 left label, 2 right label, 3 the text (text editing)
    int caretStart = 0, caretEnd = 0;
    bool revealSelection = false;         // scroll the selection into view after the next layout
    Rect inverted = kNoRect;              // the selection's rectangle as shown by the front end
    SegmentWindow* nextWindow = nullptr;  // the ring of all segment windows
};

// ---------------------------------------------------------------------------
// The ring of all segment windows of all documents

struct WindowRing {
    SegmentWindow* first = nullptr;          // any window of the ring; null when there is none
    SegmentWindow* current = nullptr;        // the active window; commands act on it
    std::vector<const ConstructNode*> kept;  // segments other holders keep (the structure list)
};

void addWindow(WindowRing& ring, SegmentWindow* window);
// Unlinks the window; the ring's current window is cleared when it was it.
void removeWindow(WindowRing& ring, SegmentWindow* window);
// Calls fn(window) for every window of the ring.
template <class Fn>
void forEachWindow(const WindowRing& ring, Fn fn) {
    SegmentWindow* w = ring.first;
    if (!w) return;
    do {
        SegmentWindow* next = w->nextWindow;
        fn(*w);
        w = next;
    } while (w && w != ring.first);
}
// The number of windows showing `document`.
int windowCount(const WindowRing& ring, const DiagramDocument* document);
// A window of `document` showing `level`, other than `except`; null when
// there is none.
SegmentWindow* windowShowing(const WindowRing& ring, const DiagramDocument* document,
                             const ConstructNode* level, const SegmentWindow* except = nullptr);

// A segment that must stay in memory: shown in a window, selected in one,
// or kept by another holder (keepSegment).
bool segmentHeld(const WindowRing& ring, const ConstructNode* level);
void keepSegment(WindowRing& ring, const ConstructNode* level);
void releaseSegment(WindowRing& ring, const ConstructNode* level);
// Makes `ring` (null: none) the one the paging layer asks before it drops a
// body from memory (the element stream's shown-segment hook).
void holdSegmentsOf(WindowRing* ring);

// ---------------------------------------------------------------------------
// Showing segments

enum ShowFlag : unsigned {
    kShowMarkOthers = 1,      // showEnclosingSegment: other windows on the left segment reveal it again
    kShowClearSelection = 2,  // the selection goes
};

// Shows `level` in the window: its body is loaded first (a body read now
// is laid out afresh). 0 when it cannot be loaded (the window keeps what
// it showed). Scroll position (0, 0), caret forgotten.
int showSegment(SegmentWindow& window, ConstructNode* level, unsigned flags);
// Moves the window to the segment that encloses the one it shows. 0 at the
// top segment.
int showEnclosingSegment(WindowRing& ring, SegmentWindow& window, unsigned flags);

// Opening and activating windows is the front end's.
class WindowOpener {
public:
    virtual ~WindowOpener() = default;
    // A new window on `like`'s document showing its segment, in the ring;
    // null when none could be made.
    virtual SegmentWindow* open(SegmentWindow& like) = 0;
    virtual void activate(SegmentWindow& window) = 0;
};

// After a view command: `target` is shown in the window that shows it
// already (activated), else in `current`, or in a new window when
// `newWindow` ("SegInSepWnd"). `select` (may be null) becomes the
// selection there and is scrolled into view. The window that shows the
// target, or null when the target could not be loaded.
SegmentWindow* navigateTo(WindowRing& ring, SegmentWindow& current, ConstructNode* target,
                          ConstructNode* select, bool newWindow, WindowOpener& opener);

// What the View commands Down, Up and Top show in `window`, and what
// becomes selected there: null when the command does nothing (Down without
// exactly one selected segment, Up and Top at the top).
ConstructNode* viewCommandTarget(const SegmentWindow& window, unsigned command, ConstructNode** select);

// The construct a selection of `node` selects: a construct in the head of
// a collapsed segment or of the rest branch selects its owner.
ConstructNode* selectableFor(ConstructNode* node, const ConstructNode* shownSegment);

// ---------------------------------------------------------------------------
// Scrolling

// The line step: the view's lineUnit rounded up to an even number.
constexpr std::int32_t lineStep(std::int32_t lineUnit) {
    return lineUnit + (lineUnit & 1);
}

// Scroll-bar codes (the Win32 values).
enum ScrollCode : int {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
};

// A scroll bar: range 0..max with a page of `page` (the last position is
// max - page + 1); disabled (range 0..0) when the content fits.
struct ScrollBar {
    std::int32_t max;
    std::int32_t page;
    std::int32_t position;
    bool enabled;
};
ScrollBar scrollBar(std::int32_t content, std::int32_t client, std::int32_t position);

// The new position for a scroll code in one direction: only when the
// content is larger than the client; `thumb` for the thumb codes.
std::int32_t scrollTarget(int code, std::int32_t position, std::int32_t content, std::int32_t client,
                          std::int32_t step, std::int32_t thumb = 0);

// The shown segment's size for the context's view; (0, 0) when it is not
// laid out or over the worksheet limit.
Extent contentSize(const ViewContext& ctx, const SegmentWindow& window);

struct ScrollMove {
    std::int32_t dx, dy;  // how far the position moved
};
// Scrolls one direction by a scroll code.
ScrollMove scrollWindow(const ViewContext& ctx, SegmentWindow& window, bool vertical, int code,
                        std::int32_t thumb = 0);
// The keyboard scroll commands 200..211.
ScrollMove scrollCommand(const ViewContext& ctx, SegmentWindow& window, unsigned command);
// The strip of content (content coordinates) that a move uncovers, the
// whole client when the move is a client's size or more.
Rect exposedStrip(const SegmentWindow& window, ScrollMove move);

// Lays the shown segment out for the context's view, keeps the scroll
// position within the new content size, and scrolls a selection that
// asked for it into view. Returns what layout found.
LayoutResult layoutWindow(const ViewContext& ctx, SegmentWindow& window);

// Scrolls the least that makes `box` visible (its top-left corner when it
// is larger than the client).
void scrollIntoView(SegmentWindow& window, const Rect& box, Extent content);

// ---------------------------------------------------------------------------
// Where constructs lie

// The top-left corner of `node` in the shown segment of `root` (content
// coordinates); false when it is not drawn there (inside a collapsed
// segment, or not in this segment at all).
bool constructBox(const ViewContext& ctx, ConstructNode* root, const ConstructNode* node, Rect* box);

// The selectable construct under the point (content coordinates), or null.
ConstructNode* hitTest(const ViewContext& ctx, ConstructNode* root, std::int32_t x, std::int32_t y);

// The rectangle around the selected area; false when there is none.
bool selectionBox(const ViewContext& ctx, const SegmentWindow& window, Rect* box);

// ---------------------------------------------------------------------------
// The selected area

void clearSelection(SegmentWindow& window);
// `node` alone (null: nothing).
void selectConstruct(SegmentWindow& window, ConstructNode* node);
// From the anchor to `node`, or to the construct holding it in the
// anchor's sequence; `node` alone when they share none.
void extendSelection(const ViewContext& ctx, SegmentWindow& window, ConstructNode* node);
// A mouse click at a client point: the construct under it selected, with
// `extend` (Shift) the selection extended to it. True when the selection
// changed.
bool clickAt(const ViewContext& ctx, SegmentWindow& window, std::int32_t clientX, std::int32_t clientY,
             bool extend);

// The selection commands 250..274, 297 and 298 (keys, see the README).
// True when the selection changed; it is then scrolled into view.
bool selectionCommand(const ViewContext& ctx, SegmentWindow& window, unsigned command);

// ---------------------------------------------------------------------------
// Go to line

struct LineSearch {
    ConstructNode* exact = nullptr;       // the construct carrying the line
    ConstructNode* preceding = nullptr;   // the nearest line below it
    ConstructNode* succeeding = nullptr;  // the nearest line above it
    int loads = 0;                        // segment bodies read from the segment source
    bool numbered = false;                // the diagram has line numbers
    bool failed = false;                  // a body that was needed could not be read
};
// The construct whose generated line is `line`: the segments are entered
// along the line numbers (a segment's body holds the lines from its own
// line to the next construct's), so that only the bodies on the way are
// loaded.
LineSearch findLine(DiagramDocument* document, long line);

// The construct to show for `line`, asking as View Line does: "No line
// numbers assigned." when there are none, else the construct carrying the
// line, or after "Line %s not found. View preceding line?" (then "...
// succeeding line?") a neighbour. Null when nothing is to be shown.
ConstructNode* lineConstruct(DiagramDocument* document, long line);

// ---------------------------------------------------------------------------
// The overview: the shown segment scaled into the overview's client.

struct OverviewMap {
    Extent content;  // the segment's size, each at least 1
    Extent client;   // the overview's client
};
OverviewMap overviewMap(const ViewContext& ctx, const SegmentWindow& window, Extent overviewClient);
// A content point in overview client coordinates and back.
std::int32_t overviewX(const OverviewMap& map, std::int32_t x);
std::int32_t overviewY(const OverviewMap& map, std::int32_t y);
// The visible part of the window, in overview client coordinates.
Rect overviewFrame(const OverviewMap& map, const SegmentWindow& window);
// A press or drag at overview point (ox, oy): the visible part follows the
// pointer, centred on it (kept within the content). Returns the move.
ScrollMove overviewScroll(const OverviewMap& map, SegmentWindow& window, std::int32_t ox, std::int32_t oy);
