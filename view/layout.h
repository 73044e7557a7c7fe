// Layout: for one segment and one view, the size of every construct, its
// inner region, its text box and its label widths, stored in the node's
// ViewGeometry for that view. Painting, hit testing and printing read these
// numbers and never measure text.
//
// Two passes over the segment: a bottom-up natural pass that measures text
// and adds up children, and a top-down fit pass that gives every construct
// of a sequence the full width of its column and spreads spare height over
// the sequence. Both walk the tree with an explicit stack, so deeply nested
// diagrams cost heap, never the call stack.
//
// Sizes add with saturation: a sum outside 0..32766 is 32767, the worksheet
// limit, and stops the layout. A segment over the limit is reported once
// per layout (20057, or 20058 for the printer views) and never painted.
//
// Geometry is a cache: a segment is laid out again only when its valid bit
// for the view is clear or the view's generation moved (invalidateLayout).
#pragma once

#include <cstdint>
#include <vector>

#include "core/construct_node.h"
#include "view/display_settings.h"
#include "view/list_index.h"
#include "view/text_metrics.h"

struct LanguageConfig;

constexpr std::int32_t kWorksheetLimit = 32767;
constexpr int kKeywordCodes = 81;
constexpr int kTextWorkSize = 30000;  // construct texts: at most 29999 characters

enum ViewIndex : int { kViewScreen = 0, kViewPrinter = 1, kViewPrinterFitted = 2, kViewScreenEditing = 3 };

struct Extent {
    std::int32_t width;
    std::int32_t height;
    bool operator==(const Extent&) const = default;
};

// Saturating sum: 32767 when an operand or the result lies outside 0..32766.
constexpr std::int32_t satAdd(std::int32_t a, std::int32_t b) {
    if (a < 0 || a >= kWorksheetLimit || b < 0 || b >= kWorksheetLimit || a + b >= kWorksheetLimit)
        return kWorksheetLimit;
    return a + b;
}

// The measures every construct is built from, one record per view.
struct ViewMetrics {
    FontMetrics font;
    std::int32_t lineUnit;  // descent + 2 + height + descent
    std::int32_t indent;    // lineUnit as the same physical length across; 0 = not computed
    Extent emptyBox;        // a statement without text
    Extent textInset;       // offset of a text inside its box
    Extent keywordExtents[kKeywordCodes];
    std::int32_t digitWidth[10];  // construct numbers are measured from these
    std::uint32_t generation;     // never 0
};

// Frames of the passes' explicit stacks.
struct NaturalFrame {
    ConstructNode* node;
    ConstructNode* lists[4];  // the child lists layout visits
    std::uint8_t count;
    std::uint8_t next;  // the next list to size
};
struct FitFrame {
    ConstructNode* node;  // the next node of the list
    std::int32_t width;
    std::int32_t height;  // what is left of the list's height
    std::int32_t total;   // natural height of the rest of the list
};
struct PaintFrame {
    ConstructNode* node;  // the next node of the list; for an end frame the finished construct
    std::int32_t x, y;
    std::int32_t coverLeft, coverRight;  // part of the first node's top edge drawn already
    std::uint8_t flags;
};

// Layout state of one set of views (the views of a document's windows):
// the metrics and generations, and work memory reused by every layout and
// paint so that neither allocates per construct.
struct ViewState {
    ViewState();
    ViewState(const ViewState&) = delete;
    ViewState& operator=(const ViewState&) = delete;

    ViewMetrics views[kViewCount];
    char textWork[kTextWorkSize];
    std::vector<NaturalFrame> naturalStack;
    std::vector<FitFrame> fitStack;
    std::vector<PaintFrame> paintStack;
    ListIndex lists[kViewCount];  // samples of long lists, per view
};

// Moves whenever geometry may have changed anywhere: a layout, an
// invalidated segment, a new generation. What is derived from geometry
// (the list samples) is kept only while it stays.
std::uint64_t layoutEpoch();

// Flags of invalidateLayout.
enum InvalidateFlag : unsigned {
    kInvalidateAllViews = 2,       // layout settings or configuration changed
    kInvalidateScreenFont = 64,    // the screen font changed: views 0 and 3 are measured again
    kInvalidatePrinterFont = 128,  // the printer or its font changed: views 1 and 2 are measured again
    kInvalidateFittedFont = 256,   // fit into page chose another font: view 2 is measured again
};
void invalidateLayout(ViewState& state, unsigned flags);

// Clears the valid bits of the segment whose body holds a changed
// construct (every view).
void invalidateSegmentLayout(ConstructNode* level);

// Output targets of painting (what is skipped and how colours map).
enum class OutputTarget : std::uint8_t {
    Screen,
    PrintJob,
    PagePreview,
    SegmentPageCount,
    PageCount,
    Overview
};

// Everything layout and painting work with, handed in by the caller.
struct ViewContext {
    int view = kViewScreen;
    OutputTarget target = OutputTarget::Screen;
    ViewState* state = nullptr;
    const DisplaySettings* display = nullptr;
    const LanguageConfig* config = nullptr;
    const TextMetrics* metrics = nullptr;  // the view's font on the view's device
    // Generated lines marked by an add-in (ascending; null = none). On the
    // screen, text line k of a construct numbered n is line n + k, as the
    // generator writes it, and is drawn in the special-lines colour.
    const std::vector<std::int32_t>* specialLines = nullptr;

    ViewMetrics& vm() const { return state->views[view]; }
};

// Fills the metrics of the context's view from its TextMetrics and the
// configuration's keyword texts.
void computeViewMetrics(const ViewContext& ctx);

// What layoutSegment found.
enum class LayoutResult : std::uint8_t {
    Cached,     // valid geometry was there
    LaidOut,    // laid out now
    TooLarge,   // over the worksheet limit (reported when it was laid out now)
    NoSegment,  // not a Level with a LevelInfo
};

// Lays out the segment of `level` (its head and body) for the context's
// view, unless its geometry is valid. The LevelInfo's group of the view
// holds the margins (textWidth/textHeight), the head's natural size
// (auxWidth/auxHeight) and the content size with the margins
// (innerWidth/innerHeight).
LayoutResult layoutSegment(const ViewContext& ctx, ConstructNode* level);

// The laid-out size of the segment with its margins; (32767, 32767) when
// it is over the worksheet limit or not laid out for the view.
Extent segmentSize(const ConstructNode* level, int view);

// The natural pass over one sibling list: sizes every node of the list and
// below; returns the list's size ((32767, 32767) when over the limit).
Extent naturalSize(const ViewContext& ctx, ConstructNode* head);
// The fit pass: every node of the list gets `width`; spare height is
// spread over the list in proportion to the nodes' heights.
void fitList(const ViewContext& ctx, ConstructNode* head, std::int32_t width, std::int32_t height);

// The extent of a multi-line text (lines separated by CR LF, after the
// line-end rewrites) up to `lineLimit` lines (-1: all), with the insets.
// Absent or empty text: (0, 0). `loneCarriageReturns` (may be null) counts
// the dropped CRs.
Extent textExtent(const ViewContext& ctx, const char* text, int lineLimit,
                  int* loneCarriageReturns = nullptr);

// The construct number's width beside a construct: its digits plus the
// insets plus 5; 0 when numbers are off or the number is 0.
std::int32_t numberWidth(const ViewContext& ctx, std::uint32_t number);

// "number header": the segment's name in messages.
void segmentName(const ConstructNode* level, char* out, int size);

// ---------------------------------------------------------------------------
// Geometry shared by layout and painting

// Where a construct's child lists lie, relative to its top-left corner, and
// the size each is fitted to. Layout fits the lists with these sizes;
// painting draws them at these offsets: the one place for both.
enum ListFlag : std::uint8_t {
    kListCondition = 0x01,    // a compound condition: its lines in the condition colour, framed
    kListCoverLeft = 0x02,    // the nodes' left edges lie on the owner's left edge
    kListFrameBottom = 0x04,  // the condition's frame needs its bottom line
    kListFrameRight = 0x08,   // ... and its right line
    kListHeadText = 0x10,     // a single condition drawn as text in the head
};
struct ListPlace {
    ConstructNode* head;
    Slot slot;
    std::int32_t dx, dy;
    std::int32_t width, height;
    std::int32_t coverLeft, coverRight;  // the part of the first node's top edge the owner draws
    std::uint8_t flags;
};
constexpr int kMaxLists = 4;
int placeLists(const ViewContext& ctx, const ConstructNode* node, ListPlace out[kMaxLists]);

// The lists of the segment shown by a window (`level` is its root), in
// content coordinates: the head centred in its row below the top margin,
// then the body below the head row, both as wide as their column. Returns
// 2; a missing head or body has a null head.
int placeSegmentLists(const ViewContext& ctx, const ConstructNode* level, ListPlace out[2]);

// The label row above a construct's head: one lineUnit when it has a label
// shown, else 0.
inline std::int32_t labelRowHeight(const ViewGeometry& g, const ViewMetrics& m) {
    return g.leftLabelWidth > 0 || g.rightLabelWidth > 0 ? m.lineUnit : 0;
}
// The label offsets of a type from the left and right edges.
std::int32_t labelOffset(const ViewMetrics& m, ConstructType type);

// The number shown beside a construct (0: none): its line number with
// LineNumbers on; for a segment its level id with LevelNumbers on when it
// has a body.
std::uint32_t shownNumber(const ViewContext& ctx, const ConstructNode* node);

// The part [left, right) of its top edge a construct draws itself (relative
// x; empty when left >= right), and whether it draws its left edge; a text
// in a head-like slot (`inHeadList`) draws neither.
struct EdgeSpan {
    std::int32_t left, right;
};
EdgeSpan ownTopEdge(const ViewContext& ctx, const ConstructNode* node, bool inHeadList);
bool drawsLeftEdge(const ConstructNode* node, bool inHeadList);

// The width of the Repeat's bar, and the x of an If's condition in its
// triangle.
std::int32_t repeatBarWidth(const ViewMetrics& m);
std::int32_t ifConditionX(const ViewMetrics& m, const ViewGeometry& g, std::int32_t keywordWidth);
