// Pages: a segment laid out in the printer view, cut into pages of the
// printable area (columns first, then the rows of each column), with fit
// into page (the printer font made smaller in the fit-to-page view until
// the segment fits one page, never below the minimal font size) and save
// space (small segments below one another on one sheet, one page number
// per sheet). The walk prints the segments of an area in diagram order,
// loading each body as it comes and paging out again what it loaded, so
// that neither the pages nor the segments pile up in memory.
//
// Everything here is geometry; what a sheet becomes (a printer page, a
// picture in the preview, a count) is the PageSink's.
#pragma once

#include <cstdint>

#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "print/print_settings.h"
#include "view/canvas.h"
#include "view/layout.h"
#include "view/structure_list.h"

// The printable area of a sheet in device units and the header band at
// its top (0 without a header).
struct PageFrame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t headerHeight = 0;
    std::int32_t bodyHeight() const { return height - headerHeight; }
};

// Pages across and down; (0, 0) for a segment over the worksheet limit.
struct PageGrid {
    int across = 0;
    int down = 0;
    bool operator==(const PageGrid&) const = default;
};

// The pages `content` needs at `frame`, stepping by the page's width and
// body height with the saturating sums of layout.
PageGrid pageGrid(Extent content, const PageFrame& frame);

// The printer font at other heights, for fit into page.
class PrinterFonts {
public:
    virtual ~PrinterFonts() = default;
    // The printer font's own height (device units).
    virtual std::int32_t height() const = 0;
    // Device units of one point (LOGPIXELSY / 72, at least 1): the least
    // step of the font, whose size is chosen in points.
    virtual std::int32_t unitsPerPoint() const = 0;
    // Device units of `tenths` tenths of a point.
    virtual std::int32_t fromTenths(std::int32_t tenths) const = 0;
    // The metrics of the printer font `height` units high; valid until the
    // next call.
    virtual const TextMetrics* at(std::int32_t height) = 0;
};

// What one segment looks like on paper: the view it is laid out in, the
// part of it printed (content coordinates) and its pages.
struct SegmentPages {
    int view = kViewPrinter;
    Rect part{};
    PageGrid grid{};
    std::int32_t fontHeight = 0;  // the font height of the view (fit into page: the one chosen)
    bool tooLarge = false;
    int fitLayouts = 0;  // layouts in the fit-to-page view
};

// The print context: the printer view's context (its metrics are the
// printer font's), the fonts for fitting (null: no fitting), the frame.
struct PrintSetup {
    ViewContext ctx;  // view 1, the target of the output
    PrinterFonts* fonts = nullptr;
    PageFrame frame;
    PrintSettings settings;
};

// Lays `level` out for the printer and, with fit into page, makes the font
// smaller over the fit-to-page view until the part fits one page: the new
// height is the smaller of the ratios page / content times the current
// height, plus 1, at least a point less, never below the minimal size;
// it stops when the height stays or the part fits, and keeps view 1 when
// no smaller font was possible. `selectionFirst`/`selectionLast` (may be
// null) print only that range of the segment's constructs. The context
// of the chosen view is left in `viewCtx` (its metrics live as long as
// the fonts' next call).
SegmentPages layoutForPrinting(const PrintSetup& setup, ConstructNode* level, ConstructNode* selectionFirst,
                               ConstructNode* selectionLast, ViewContext* viewCtx);

// Where the sheets go.
class PageSink {
public:
    virtual ~PageSink() = default;
    // A sheet begins with its page number. False stops the job.
    virtual bool startSheet(unsigned pageNumber, const ConstructNode* level) = 0;
    // The part `part` of the segment laid out in `ctx`'s view is drawn with
    // its top-left corner at (x, y) of the sheet's body (below the header).
    virtual bool drawPart(const ViewContext& ctx, ConstructNode* level, const Rect& part, std::int32_t x,
                          std::int32_t y) = 0;
    virtual bool endSheet() = 0;
};

struct PrintOutcome {
    unsigned sheets = 0;      // sheets started
    unsigned segments = 0;    // segments printed
    unsigned skipped = 0;     // over the worksheet limit (20058 shown)
    bool unreadable = false;  // a body could not be read
    bool stopped = false;     // the sink stopped the job
};

// Prints the segments of the setup's area in diagram order onto `sink`:
// area 1 `current` (a window's segment), area 3 the selected range of it
// (`selectionFirst`..`selectionLast`; the segments inside it are the
// lower ones), area 4 the diagram's top segment with everything below.
// Lower segments come after their segment, down to maxDepth levels.
// Page numbers start at startPageNumber. A segment over the worksheet
// limit is reported with 20058 (only when the target is the print job)
// and skipped.
PrintOutcome printArea(const PrintSetup& setup, DiagramDocument* document, ConstructNode* current,
                       ConstructNode* selectionFirst, ConstructNode* selectionLast, PageSink& sink);

// The pages of one segment as the status bar and the Print dialog count
// them (fit into page as set up): (0, 0) over the worksheet limit.
PageGrid countPages(const PrintSetup& setup, ConstructNode* level);

// ---------------------------------------------------------------------------
// The structure list on paper: text lines, each indented by its depth.

struct ListPages {
    int linesPerPage = 0;
    int pages = 0;
};
// At least one line a page; a list without entries still prints one page.
ListPages listPages(int entries, std::int32_t lineHeight, const PageFrame& frame);
// The line of an entry as printed: two blanks per depth, then its text.
void listLine(const StructureEntry& entry, char* out, int size);

// The text (string id) that names a spooler error in "Error while printing
// - %s": out of memory, out of disk space, job cancelled, or
// "(unidentifiable)". `code` is what StartPage, EndPage or EndDoc
// returned (SP_* values, -2..-5), `lastError` the system's error code.
unsigned spoolerErrorText(int code, unsigned long lastError);
