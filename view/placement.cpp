// Where constructs lie in a laid-out segment: the box of a construct, the
// construct under a point, the selection's rectangle. Positions come from
// the same list places the painter draws at (placeSegmentLists,
// placeLists) and long lists are searched through their samples.
#include <vector>

#include "view/segment_window.h"
#include "view/shapes.h"

namespace {

// One step from a construct up to the list holding it: the list's head,
// the node's offset in it, and the owner with the slot.
struct Step {
    ConstructNode* owner;
    Slot slot;
    std::int32_t offset;
};

// The place of `slot` among the lists of `owner` (the window root's own
// places for the root).
bool placeOf(const ViewContext& ctx, ConstructNode* root, const ConstructNode* owner, Slot slot,
             ListPlace* out) {
    ListPlace places[kMaxLists];
    const int count = owner == root ? placeSegmentLists(ctx, root, places) : placeLists(ctx, owner, places);
    for (int i = 0; i < count; ++i)
        if (places[i].slot == slot && places[i].head) {
            *out = places[i];
            return true;
        }
    return false;
}

bool laidOut(const ViewContext& ctx, const ConstructNode* root) {
    const LevelInfo* info = levelInfoOf(root);
    return info && (info->viewValid & (1u << ctx.view)) &&
           segmentSize(root, ctx.view).width < kWorksheetLimit;
}

}  // namespace

bool constructBox(const ViewContext& ctx, ConstructNode* root, const ConstructNode* node, Rect* box) {
    if (!node || !root || !laidOut(ctx, root)) return false;
    // Up to a list of the root, remembering each step.
    std::vector<Step> steps;
    const ConstructNode* n = node;
    for (;;) {
        std::int32_t offset = 0;
        ConstructNode* head = listPosition(*ctx.state, ctx.view, n, &offset);
        ConstructNode* owner = head->up;
        if (!owner) return false;  // another tree
        const Slot slot = slotOf(head);
        steps.push_back({owner, slot, offset});
        if (owner == root) break;
        // A body of a collapsed segment is not drawn here.
        if (owner->type == ConstructType::Level && slot != Slot::Head) return false;
        n = owner;
    }
    // Down again from the root's list.
    std::int64_t x = 0;
    std::int64_t y = 0;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        ListPlace place;
        if (!placeOf(ctx, root, step->owner, step->slot, &place)) return false;
        // The list lies at its place in the owner (the node the step
        // before reached); the node at its offset in the list.
        x += place.dx;
        y += place.dy + step->offset;
    }
    const ViewGeometry& g = node->views[ctx.view];
    *box = {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
            static_cast<std::int32_t>(x + g.width), static_cast<std::int32_t>(y + g.height)};
    return true;
}

ConstructNode* hitTest(const ViewContext& ctx, ConstructNode* root, std::int32_t x, std::int32_t y) {
    if (!root || !laidOut(ctx, root)) return nullptr;
    ListPlace places[kMaxLists];
    int count = placeSegmentLists(ctx, root, places);
    std::int32_t ox = 0;
    std::int32_t oy = 0;
    ConstructNode* found = nullptr;
    for (;;) {
        ConstructNode* inside = nullptr;
        std::int32_t left = 0;
        std::int32_t top = 0;
        for (int i = 0; i < count && !inside; ++i) {
            const ListPlace& p = places[i];
            if (!p.head || x < ox + p.dx) continue;
            const ListSpot spot = seekList(*ctx.state, ctx.view, p.head, oy + p.dy, y);
            if (!spot.node || spot.top > y || x >= ox + p.dx + spot.node->views[ctx.view].width) continue;
            inside = spot.node;
            left = ox + p.dx;
            top = spot.top;
        }
        if (!inside) break;
        found = inside;
        // A collapsed segment is chosen as a whole.
        if (shapeOf(inside->type).family == Family::Level) break;
        count = placeLists(ctx, inside, places);
        ox = left;
        oy = top;
    }
    return selectableFor(found, root);
}

bool selectionBox(const ViewContext& ctx, const SegmentWindow& window, Rect* box) {
    Rect first;
    Rect last;
    if (!window.selectionFirst || !constructBox(ctx, window.shownSegment, window.selectionFirst, &first) ||
        !constructBox(ctx, window.shownSegment, window.selectionLast, &last))
        return false;
    *box = {std::min(first.left, last.left), first.top, std::max(first.right, last.right), last.bottom};
    return true;
}

ConstructNode* selectableFor(ConstructNode* node, const ConstructNode* shownSegment) {
    // The outermost collapsed segment whose head holds the node.
    ConstructNode* chosen = node;
    for (ConstructNode* n = node; n && n != shownSegment;) {
        Slot slot = Slot::None;
        ConstructNode* owner = ownerOf(n, &slot);
        if (owner && owner != shownSegment && owner->type == ConstructType::Level && slot == Slot::Head)
            chosen = owner;
        n = owner;
    }
    while (chosen && inRestBranchHead(chosen)) chosen = ownerOf(chosen);
    return chosen;
}
