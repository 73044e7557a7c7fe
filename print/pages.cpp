#include "print/pages.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/host.h"
#include "core/segment_source.h"
#include "resources/strings.h"
#include "view/segment_walk.h"
#include "view/segment_window.h"

namespace {

bool tooLarge(const Rect& part) {
    return part.right - part.left >= kWorksheetLimit || part.bottom - part.top >= kWorksheetLimit ||
           part.right <= part.left || part.bottom <= part.top;
}

Extent extentOf(const Rect& part) {
    return {part.right - part.left, part.bottom - part.top};
}

// The part of the segment that is printed: all of it, or the selected
// range with the segment's margins around it.
Rect printedPart(const ViewContext& ctx, ConstructNode* level, ConstructNode* first, ConstructNode* last) {
    const Extent size = segmentSize(level, ctx.view);
    if (size.width >= kWorksheetLimit || size.height >= kWorksheetLimit)
        return {0, 0, kWorksheetLimit, kWorksheetLimit};
    const Rect whole{0, 0, size.width, size.height};
    Rect a;
    Rect b;
    if (!first || !constructBox(ctx, level, first, &a) || !constructBox(ctx, level, last ? last : first, &b))
        return whole;
    const ViewGeometry& margins = levelInfoOf(level)->views[ctx.view];
    return {std::max(0, std::min(a.left, b.left) - margins.textWidth),
            std::max(0, a.top - margins.textHeight),
            std::min(size.width, std::max(a.right, b.right) + margins.textWidth),
            std::min(size.height, b.bottom + margins.textHeight)};
}

bool fits(const Rect& part, const PageFrame& frame) {
    const Extent e = extentOf(part);
    return !tooLarge(part) && e.width <= frame.width && e.height <= frame.bodyHeight();
}

// Layout without its own messages: the page model words the printed one.
LayoutResult quietLayout(ViewContext ctx, ConstructNode* level) {
    ctx.target = OutputTarget::SegmentPageCount;
    return layoutSegment(ctx, level);
}

}  // namespace

PageGrid pageGrid(Extent content, const PageFrame& frame) {
    if (content.width <= 0 || content.height <= 0 || content.width >= kWorksheetLimit ||
        content.height >= kWorksheetLimit || frame.width <= 0 || frame.bodyHeight() <= 0)
        return {};
    PageGrid grid;
    for (std::int32_t x = 0; x < content.width; x = satAdd(x, frame.width)) ++grid.across;
    for (std::int32_t y = 0; y < content.height; y = satAdd(y, frame.bodyHeight())) ++grid.down;
    return grid;
}

SegmentPages layoutForPrinting(const PrintSetup& setup, ConstructNode* level, ConstructNode* first,
                               ConstructNode* last, ViewContext* viewCtx) {
    SegmentPages pages;
    ViewContext ctx = setup.ctx;
    ctx.view = kViewPrinter;
    quietLayout(ctx, level);
    Rect part = printedPart(ctx, level, first, last);
    pages.fontHeight = setup.fonts ? setup.fonts->height() : ctx.vm().font.height;

    PrinterFonts* fonts = setup.fonts;
    if (setup.settings.fitIntoPage && fonts && !fits(part, setup.frame) && setup.frame.width > 0 &&
        setup.frame.bodyHeight() > 0) {
        const std::int32_t step = std::max(1, fonts->unitsPerPoint());
        const std::int32_t smallest = std::max(1, fonts->fromTenths(setup.settings.minFontSize));
        ViewContext fitted = ctx;
        fitted.view = kViewPrinterFitted;
        std::int32_t height = fonts->height();
        Rect fittedPart = part;
        bool reduced = false;
        for (;;) {
            const Extent e = extentOf(fittedPart);
            const double ratio =
                std::min(static_cast<double>(setup.frame.width) / std::max(1, e.width),
                         static_cast<double>(setup.frame.bodyHeight()) / std::max(1, e.height));
            std::int64_t next = static_cast<std::int64_t>(ratio * height + 1);
            next = std::min<std::int64_t>(next, height - step);
            next = std::max<std::int64_t>(next, smallest);
            next = std::min<std::int64_t>(next, height);
            if (next == height) break;
            height = static_cast<std::int32_t>(next);
            fitted.metrics = fonts->at(height);
            invalidateLayout(*fitted.state, kInvalidateFittedFont);
            quietLayout(fitted, level);
            ++pages.fitLayouts;
            fittedPart = printedPart(fitted, level, first, last);
            reduced = true;
            if (fits(fittedPart, setup.frame)) break;
        }
        if (reduced) {
            ctx = fitted;
            part = fittedPart;
            pages.view = kViewPrinterFitted;
            pages.fontHeight = height;
        }
    }
    pages.part = part;
    pages.tooLarge = tooLarge(part);
    pages.grid = pages.tooLarge ? PageGrid{} : pageGrid(extentOf(part), setup.frame);
    if (viewCtx) *viewCtx = ctx;
    return pages;
}

PageGrid countPages(const PrintSetup& setup, ConstructNode* level) {
    return layoutForPrinting(setup, level, nullptr, nullptr, nullptr).grid;
}

namespace {

// The sheets of one print run: page numbers, the open sheet and the room
// left on it.
class SheetWriter {
public:
    SheetWriter(const PrintSetup& setup, PageSink& sink, PrintOutcome& outcome)
        : setup_(setup), sink_(sink), outcome_(outcome), page_(setup.settings.startPageNumber) {}

    // One segment (or the selected part of it). False when the sink stopped.
    bool print(ConstructNode* level, ConstructNode* first, ConstructNode* last) {
        ViewContext ctx;
        const SegmentPages pages = layoutForPrinting(setup_, level, first, last, &ctx);
        ctx.target = setup_.ctx.target;
        if (pages.tooLarge) {
            ++outcome_.skipped;
            if (setup_.ctx.target == OutputTarget::PrintJob) {
                char name[kMaxFormatted];
                segmentName(level, name, sizeof name);
                showMessage(IDS_EXCEEDS_WORKSHEET_PRINTED, kBoxDefault, name);
            }
            return true;
        }
        ++outcome_.segments;
        const PageFrame& frame = setup_.frame;
        const Extent size = extentOf(pages.part);
        const bool single = pages.grid.across == 1 && pages.grid.down == 1;
        if (setup_.settings.saveSpace && open_ && single &&
            static_cast<std::int64_t>(used_) + size.height + frame.headerHeight <= frame.height) {
            if (!sink_.drawPart(ctx, level, pages.part, 0, used_)) return stop();
            used_ += size.height;
            return true;
        }
        if (!close()) return false;
        for (std::int32_t x = pages.part.left; x < pages.part.right; x = satAdd(x, frame.width)) {
            for (std::int32_t y = pages.part.top; y < pages.part.bottom; y = satAdd(y, frame.bodyHeight())) {
                const Rect piece{x, y, std::min(pages.part.right, satAdd(x, frame.width)),
                                 std::min(pages.part.bottom, satAdd(y, frame.bodyHeight()))};
                ++outcome_.sheets;
                open_ = true;
                if (!sink_.startSheet(page_++, level)) return stop();
                if (!sink_.drawPart(ctx, level, piece, 0, 0)) return stop();
                used_ = piece.bottom - piece.top;
                if (!(setup_.settings.saveSpace && single) && !close()) return false;
            }
        }
        return true;
    }

    bool close() {
        if (!open_) return true;
        open_ = false;
        return sink_.endSheet() || stop();
    }

private:
    bool stop() {
        outcome_.stopped = true;
        return false;
    }

    const PrintSetup& setup_;
    PageSink& sink_;
    PrintOutcome& outcome_;
    unsigned page_;
    bool open_ = false;
    std::int32_t used_ = 0;
};

struct Pending {
    ConstructNode* level;
    int depth;
};

// The segments directly inside `head` and the sequence after it, up to
// `stop` (not included), pushed so that the first comes off the stack first.
void pushSegments(ConstructNode* head, const ConstructNode* stop, int depth, std::vector<Pending>& stack) {
    const std::size_t from = stack.size();
    walkSegmentLists(head, [&](ConstructNode* n) {
        if (n == stop && stop) return false;
        if (n->type == ConstructType::Level) stack.push_back({n, depth});
        return true;
    });
    std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(from), stack.end());
}

void pageOutAgain(DiagramDocument* document, ConstructNode* level) {
    const SegmentSource* source = document ? document->segmentSource : nullptr;
    if (source && source->pageOut) source->pageOut(source->context, document, level);
}

}  // namespace

PrintOutcome printArea(const PrintSetup& setup, DiagramDocument* document, ConstructNode* current,
                       ConstructNode* selectionFirst, ConstructNode* selectionLast, PageSink& sink) {
    PrintOutcome outcome;
    SheetWriter sheets(setup, sink, outcome);
    const PrintSettings& s = setup.settings;
    const bool lower = s.lowerSegments || s.area == kAreaDiagram;
    ConstructNode* start = s.area == kAreaDiagram && document && document->root ? document->root : current;
    if (!start) return outcome;

    std::vector<Pending> stack;
    if (s.area == kAreaSelection && selectionFirst && (segmentFlags(start) & kSegLoaded)) {
        // The selected part of the window's segment, then the segments in it.
        if (!sheets.print(start, selectionFirst, selectionLast ? selectionLast : selectionFirst))
            return outcome;
        const ConstructNode* stop = (selectionLast ? selectionLast : selectionFirst)->next;
        if (lower && s.maxDepth >= 1) pushSegments(selectionFirst, stop, 1, stack);
    } else {
        stack.push_back({start, 0});
    }
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        const bool loadedHere = !(segmentFlags(item.level) & kSegLoaded);
        if (!ensureLoaded(item.level, document)) {
            outcome.unreadable = true;
            continue;
        }
        if (!sheets.print(item.level, nullptr, nullptr)) return outcome;
        if (lower && item.depth < s.maxDepth)
            pushSegments(levelInfoOf(item.level)->body, nullptr, item.depth + 1, stack);
        if (loadedHere) pageOutAgain(document, item.level);
    }
    sheets.close();
    return outcome;
}

// ---------------------------------------------------------------------------

ListPages listPages(int entries, std::int32_t lineHeight, const PageFrame& frame) {
    ListPages pages;
    pages.linesPerPage = lineHeight > 0 ? std::max(1, frame.bodyHeight() / lineHeight) : 1;
    pages.pages = std::max(1, (entries + pages.linesPerPage - 1) / pages.linesPerPage);
    return pages;
}

void listLine(const StructureEntry& entry, char* out, int size) {
    if (!out || size <= 0) return;
    std::snprintf(out, static_cast<std::size_t>(size), "%*s%s", 2 * std::max(0, entry.depth), "",
                  entry.text.c_str());
}

unsigned spoolerErrorText(int code, unsigned long lastError) {
    // SP_APPABORT -2, SP_USERABORT -3, SP_OUTOFDISK -4, SP_OUTOFMEMORY -5;
    // otherwise the system's ERROR_NOT_ENOUGH_MEMORY (8), ERROR_OUTOFMEMORY
    // (14), ERROR_HANDLE_DISK_FULL (39), ERROR_DISK_FULL (112),
    // ERROR_CANCELLED (1223), ERROR_PRINT_CANCELLED (63).
    switch (code) {
        case -2:
        case -3:
            return IDS_SPOOL_JOB_CANCELLED;
        case -4:
            return IDS_SPOOL_OUT_OF_DISK;
        case -5:
            return IDS_SPOOL_OUT_OF_MEMORY;
        default:
            break;
    }
    switch (lastError) {
        case 8:
        case 14:
            return IDS_SPOOL_OUT_OF_MEMORY;
        case 39:
        case 112:
            return IDS_SPOOL_OUT_OF_DISK;
        case 63:
        case 1223:
            return IDS_SPOOL_JOB_CANCELLED;
        default:
            return IDS_SPOOL_UNIDENTIFIABLE;
    }
}
