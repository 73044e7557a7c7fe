// Segment windows: the ring, showing segments, view commands, scrolling
// and the overview's mapping.
#include "view/segment_window.h"

#include <algorithm>

#include "core/diagram_file.h"
#include "core/element_stream.h"
#include "resources/commands.h"

namespace {

std::int32_t clampTo(std::int64_t value, std::int32_t low, std::int32_t high) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, low, std::max(low, high)));
}

WindowRing* g_heldBy = nullptr;

bool heldByRing(const ConstructNode* level) {
    return g_heldBy && segmentHeld(*g_heldBy, level);
}

// The body of `level` in memory for showing; a body read now has no
// geometry yet.
bool loadForShow(ConstructNode* level, DiagramDocument* document) {
    if (!level || level->type != ConstructType::Level || !levelInfoOf(level)) return false;
    const bool wasLoaded = (segmentFlags(level) & kSegLoaded) != 0;
    if (!ensureLoaded(level, document)) {
        // A body on disk that cannot be read: the user learns which file
        // holds the damage.
        if (segmentFlags(level) & kSegOnDisk) reportUnloadableSegment(document);
        return false;
    }
    if (!wasLoaded) invalidateSegmentLayout(level);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// The ring

void addWindow(WindowRing& ring, SegmentWindow* window) {
    if (!window) return;
    if (!ring.first) {
        window->nextWindow = window;
        ring.first = window;
        return;
    }
    window->nextWindow = ring.first->nextWindow;
    ring.first->nextWindow = window;
}

void removeWindow(WindowRing& ring, SegmentWindow* window) {
    if (!window || !ring.first) return;
    SegmentWindow* before = ring.first;
    while (before->nextWindow != window) {
        before = before->nextWindow;
        if (before == ring.first) return;  // not in the ring
    }
    if (before == window) {
        ring.first = nullptr;
    } else {
        before->nextWindow = window->nextWindow;
        if (ring.first == window) ring.first = window->nextWindow;
    }
    window->nextWindow = nullptr;
    if (ring.current == window) ring.current = nullptr;
}

int windowCount(const WindowRing& ring, const DiagramDocument* document) {
    int count = 0;
    forEachWindow(ring, [&](SegmentWindow& w) { count += w.document == document; });
    return count;
}

SegmentWindow* windowShowing(const WindowRing& ring, const DiagramDocument* document,
                             const ConstructNode* level, const SegmentWindow* except) {
    SegmentWindow* found = nullptr;
    forEachWindow(ring, [&](SegmentWindow& w) {
        if (!found && &w != except && w.document == document && w.shownSegment == level) found = &w;
    });
    return found;
}

bool segmentHeld(const WindowRing& ring, const ConstructNode* level) {
    if (!level) return false;
    bool held = std::find(ring.kept.begin(), ring.kept.end(), level) != ring.kept.end();
    forEachWindow(ring, [&](SegmentWindow& w) {
        if (held) return;
        if (w.shownSegment == level) held = true;
        if (!w.selectionFirst) return;
        for (const ConstructNode* n = w.selectionFirst; n && !held; n = n->next) {
            held = n == level;
            if (n == w.selectionLast) break;
        }
    });
    return held;
}

void keepSegment(WindowRing& ring, const ConstructNode* level) {
    if (level) ring.kept.push_back(level);
}

void releaseSegment(WindowRing& ring, const ConstructNode* level) {
    auto at = std::find(ring.kept.begin(), ring.kept.end(), level);
    if (at != ring.kept.end()) ring.kept.erase(at);
}

void holdSegmentsOf(WindowRing* ring) {
    g_heldBy = ring;
    setSegmentShownHook(ring ? heldByRing : nullptr);
}

// ---------------------------------------------------------------------------
// Showing segments

int showSegment(SegmentWindow& window, ConstructNode* level, unsigned flags) {
    if (!loadForShow(level, window.document)) return 0;
    window.shownSegment = level;
    window.shownSegmentId = levelInfoOf(level)->levelId;
    window.scrollX = window.scrollY = 0;
    window.caretStart = window.caretEnd = 0;
    window.editField = 0;
    if (flags & kShowClearSelection) clearSelection(window);
    return 1;
}

int showEnclosingSegment(WindowRing& ring, SegmentWindow& window, unsigned flags) {
    ConstructNode* left = window.shownSegment;
    ConstructNode* target = enclosingLevel(left);
    if (!target || !showSegment(window, target, flags)) return 0;
    if (flags & kShowMarkOthers)
        forEachWindow(ring, [&](SegmentWindow& w) {
            if (&w != &window && w.shownSegment == left) w.revealSelection = true;
        });
    return 1;
}

SegmentWindow* navigateTo(WindowRing& ring, SegmentWindow& current, ConstructNode* target,
                          ConstructNode* select, bool newWindow, WindowOpener& opener) {
    if (!target || !loadForShow(target, current.document)) return nullptr;
    SegmentWindow* window = nullptr;
    if (current.shownSegment == target) {
        window = &current;
    } else if ((window = windowShowing(ring, current.document, target, &current))) {
        opener.activate(*window);
    } else if (newWindow) {
        window = opener.open(current);
        if (!window) return nullptr;
        showSegment(*window, target, kShowClearSelection);
        opener.activate(*window);
    } else {
        showSegment(current, target, kShowClearSelection);
        window = &current;
    }
    if (select) {
        selectConstruct(*window, selectableFor(select, target));
        window->revealSelection = true;
    }
    return window;
}

ConstructNode* viewCommandTarget(const SegmentWindow& window, unsigned command, ConstructNode** select) {
    *select = nullptr;
    ConstructNode* shown = window.shownSegment;
    ConstructNode* root = window.document ? window.document->root : nullptr;
    if (!shown) return nullptr;
    switch (command) {
        case CMD_VIEW_DOWN:
            if (window.selectionFirst && window.selectionFirst == window.selectionLast &&
                window.selectionFirst->type == ConstructType::Level)
                return window.selectionFirst;
            return nullptr;
        case CMD_VIEW_UP:
            *select = shown;
            return enclosingLevel(shown);
        case CMD_VIEW_TOP: {
            if (shown == root) return nullptr;
            ConstructNode* below = shown;
            for (ConstructNode* up = enclosingLevel(below); up && up != root; up = enclosingLevel(below))
                below = up;
            *select = below;
            return root;
        }
        default:
            return nullptr;
    }
}

// ---------------------------------------------------------------------------
// Scrolling

ScrollBar scrollBar(std::int32_t content, std::int32_t client, std::int32_t position) {
    if (content <= client || client <= 0) return {0, 0, 0, false};
    return {content - 1, client, clampTo(position, 0, content - client), true};
}

std::int32_t scrollTarget(int code, std::int32_t position, std::int32_t content, std::int32_t client,
                          std::int32_t step, std::int32_t thumb) {
    if (content <= client) return position;
    std::int64_t target = position;
    switch (code) {
        case kScrollLineUp:
            target -= step;
            break;
        case kScrollLineDown:
            target += step;
            break;
        case kScrollPageUp:
            target -= client;
            break;
        case kScrollPageDown:
            target += client;
            break;
        case kScrollThumbPosition:
        case kScrollThumbTrack:
            target = thumb;
            break;
        case kScrollTop:
            target = 0;
            break;
        case kScrollBottom:
            target = content - client;
            break;
        default:
            break;
    }
    return clampTo(target, 0, content - client);
}

Extent contentSize(const ViewContext& ctx, const SegmentWindow& window) {
    const Extent size = segmentSize(window.shownSegment, ctx.view);
    if (size.width >= kWorksheetLimit || size.height >= kWorksheetLimit) return {0, 0};
    return size;
}

ScrollMove scrollWindow(const ViewContext& ctx, SegmentWindow& window, bool vertical, int code,
                        std::int32_t thumb) {
    const Extent content = contentSize(ctx, window);
    const std::int32_t step = lineStep(ctx.vm().lineUnit);
    if (vertical) {
        const std::int32_t to =
            scrollTarget(code, window.scrollY, content.height, window.clientHeight, step, thumb);
        const ScrollMove move{0, to - window.scrollY};
        window.scrollY = to;
        return move;
    }
    const std::int32_t to =
        scrollTarget(code, window.scrollX, content.width, window.clientWidth, step, thumb);
    const ScrollMove move{to - window.scrollX, 0};
    window.scrollX = to;
    return move;
}

ScrollMove scrollCommand(const ViewContext& ctx, SegmentWindow& window, unsigned command) {
    struct Row {
        bool vertical;
        int code;
    };
    static constexpr Row kCommands[] = {
        {false, kScrollTop},   {false, kScrollBottom},  {false, kScrollPageUp}, {false, kScrollPageDown},
        {true, kScrollTop},    {true, kScrollBottom},   {true, kScrollPageUp},  {true, kScrollPageDown},
        {true, kScrollLineUp}, {true, kScrollLineDown}, {false, kScrollLineUp}, {false, kScrollLineDown},
    };
    if (command < 200 || command > 211) return {0, 0};
    const Row& row = kCommands[command - 200];
    return scrollWindow(ctx, window, row.vertical, row.code);
}

Rect exposedStrip(const SegmentWindow& window, ScrollMove move) {
    const Rect client{window.scrollX, window.scrollY, window.scrollX + window.clientWidth,
                      window.scrollY + window.clientHeight};
    if ((move.dx && move.dy) || std::abs(move.dx) >= window.clientWidth ||
        std::abs(move.dy) >= window.clientHeight)
        return client;
    Rect strip = client;
    if (move.dy > 0) strip.top = client.bottom - move.dy;
    if (move.dy < 0) strip.bottom = client.top - move.dy;
    if (move.dx > 0) strip.left = client.right - move.dx;
    if (move.dx < 0) strip.right = client.left - move.dx;
    if (!move.dx && !move.dy) strip.bottom = strip.top;
    return strip;
}

void scrollIntoView(SegmentWindow& window, const Rect& box, Extent content) {
    auto axis = [](std::int32_t& position, std::int32_t low, std::int32_t high, std::int32_t client,
                   std::int32_t size) {
        if (high - low > client || low < position)
            position = low;
        else if (high > position + client)
            position = high - client;
        position = clampTo(position, 0, size - client);
    };
    axis(window.scrollX, box.left, box.right, window.clientWidth, content.width);
    axis(window.scrollY, box.top, box.bottom, window.clientHeight, content.height);
}

LayoutResult layoutWindow(const ViewContext& ctx, SegmentWindow& window) {
    if (!window.shownSegment) return LayoutResult::NoSegment;
    const LayoutResult result = layoutSegment(ctx, window.shownSegment);
    const Extent content = contentSize(ctx, window);
    window.scrollX = clampTo(window.scrollX, 0, content.width - window.clientWidth);
    window.scrollY = clampTo(window.scrollY, 0, content.height - window.clientHeight);
    if (window.revealSelection && (result == LayoutResult::Cached || result == LayoutResult::LaidOut)) {
        Rect box;
        if (selectionBox(ctx, window, &box)) scrollIntoView(window, box, content);
        window.revealSelection = false;
    }
    return result;
}

// ---------------------------------------------------------------------------
// The overview

OverviewMap overviewMap(const ViewContext& ctx, const SegmentWindow& window, Extent overviewClient) {
    const Extent content = contentSize(ctx, window);
    return {{std::max(1, content.width), std::max(1, content.height)}, overviewClient};
}

std::int32_t overviewX(const OverviewMap& map, std::int32_t x) {
    return static_cast<std::int32_t>(std::int64_t{x} * std::max(0, map.client.width - 1) / map.content.width);
}

std::int32_t overviewY(const OverviewMap& map, std::int32_t y) {
    return static_cast<std::int32_t>(std::int64_t{y} * std::max(0, map.client.height - 1) /
                                     map.content.height);
}

Rect overviewFrame(const OverviewMap& map, const SegmentWindow& window) {
    const std::int32_t right = std::min(map.content.width, window.scrollX + window.clientWidth);
    const std::int32_t bottom = std::min(map.content.height, window.scrollY + window.clientHeight);
    return {overviewX(map, window.scrollX), overviewY(map, window.scrollY), overviewX(map, right),
            overviewY(map, bottom)};
}

ScrollMove overviewScroll(const OverviewMap& map, SegmentWindow& window, std::int32_t ox, std::int32_t oy) {
    auto toContent = [](std::int32_t o, std::int32_t client, std::int32_t content) {
        return std::int64_t{o} * content / std::max(1, client - 1);
    };
    const std::int32_t x =
        clampTo(toContent(ox, map.client.width, map.content.width) - window.clientWidth / 2, 0,
                map.content.width - window.clientWidth);
    const std::int32_t y =
        clampTo(toContent(oy, map.client.height, map.content.height) - window.clientHeight / 2, 0,
                map.content.height - window.clientHeight);
    const ScrollMove move{x - window.scrollX, y - window.scrollY};
    window.scrollX = x;
    window.scrollY = y;
    return move;
}
