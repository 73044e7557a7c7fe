// The selected area of a segment window and the keys that move it. The
// area is a range of one sequence between an anchor and a moving end; the
// commands move within a sequence, into and out of the lists a construct
// holds, in reading order (a construct, then its lists from the top), and
// by a screen. The key table is in the README.
#include <vector>

#include "view/segment_window.h"
#include "view/shapes.h"

namespace {

// The commands (the keys that send them are the main loop's).
enum : unsigned {
    kFirst = 250,         // Home
    kLast = 251,          // End
    kSegmentFirst = 252,  // Ctrl+Home
    kSegmentLast = 253,   // Ctrl+End
    kWholeList = 254,     // Ctrl+Space
    kUp = 255,
    kDown = 256,
    kPreviousList = 257,  // Ctrl+Left
    kNextList = 258,      // Ctrl+Right
    kScreenDown = 259,    // Ctrl+Down
    kScreenUp = 260,      // Ctrl+Up
    kInto = 261,          // Right
    kOut = 262,           // Left
    kReadingNext = 263,   // Tab
    kReadingPrevious = 264,
    kExtendUp = 265,
    kExtendDown = 266,
    kExtendFirst = 267,
    kExtendLast = 268,
    kExtendFirstToo = 269,
    kExtendLastToo = 270,
    kShrink = 271,         // Ctrl+Shift+Left
    kIntoWholeList = 272,  // Ctrl+Shift+Right
    kExtendScreenUp = 273,
    kExtendScreenDown = 274,
    kEnterPrevious = 297,  // Shift+Enter while a text is edited in place
    kEnterNext = 298,      // Enter while a text is edited in place
};

struct Navigator {
    const ViewContext& ctx;
    SegmentWindow& w;
    ConstructNode* root;

    ConstructNode* headOf(const ConstructNode* n, std::int32_t* offset = nullptr) const {
        return listPosition(*ctx.state, ctx.view, n, offset);
    }
    static ConstructNode* previous(const ConstructNode* n) {
        return n->up && n->up->next == n ? n->up : nullptr;
    }
    static ConstructNode* lastIn(ConstructNode* n) {
        while (n && n->next) n = n->next;
        return n;
    }

    // The construct holding the list of `n` as selection sees it (a rest
    // branch's head is passed over); the root for the segment's own lists.
    ConstructNode* owner(const ConstructNode* n) const {
        ConstructNode* o = headOf(n)->up;
        while (o && o != root && inRestBranchHead(o)) o = headOf(o)->up;
        return o;
    }
    ConstructNode* outer(const ConstructNode* n) const {
        ConstructNode* o = owner(n);
        return o == root ? nullptr : o;
    }

    // The lists a construct shows, in reading order, by their heads; the
    // lists of a rest branch stand in for it. A collapsed segment shows
    // none (it is chosen as a whole).
    void lists(ConstructNode* n, std::vector<ConstructNode*>& out) const {
        ListPlace places[kMaxLists];
        int count = 0;
        if (n == root)
            count = placeSegmentLists(ctx, root, places);
        else if (shapeOf(n->type).family != Family::Level)
            count = placeLists(ctx, n, places);
        for (int i = 0; i < count; ++i) {
            ConstructNode* head = places[i].head;
            if (!head) continue;
            if (inRestBranchHead(head))
                lists(head, out);
            else
                out.push_back(head);
        }
    }
    std::vector<ConstructNode*> listsOf(ConstructNode* n) const {
        std::vector<ConstructNode*> out;
        lists(n, out);
        return out;
    }
    // The list of `owner` after (step 1) or before (step -1) the one that
    // holds `n`; null when there is none.
    ConstructNode* siblingList(const ConstructNode* n, ConstructNode* o, int step) const {
        const ConstructNode* head = headOf(n);
        const std::vector<ConstructNode*> all = listsOf(o);
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i] == head) {
                const std::size_t j = i + static_cast<std::size_t>(step);
                return j < all.size() ? all[j] : nullptr;
            }
        return nullptr;
    }

    ConstructNode* segmentBody() const {
        const std::vector<ConstructNode*> all = listsOf(root);
        return all.empty() ? nullptr : all.back();
    }

    ConstructNode* down(ConstructNode* n) const {
        for (ConstructNode* m = n; m; m = outer(m))
            if (m->next) return m->next;
        return nullptr;
    }
    ConstructNode* readingNext(ConstructNode* n) const {
        const std::vector<ConstructNode*> inside = listsOf(n);
        if (!inside.empty()) return inside.front();
        for (ConstructNode* m = n; m;) {
            if (m->next) return m->next;
            ConstructNode* o = owner(m);
            if (ConstructNode* list = siblingList(m, o, 1)) return list;
            m = o == root ? nullptr : o;
        }
        return nullptr;
    }
    ConstructNode* readingPrevious(ConstructNode* n) const {
        ConstructNode* p = previous(n);
        if (!p) {
            ConstructNode* o = owner(n);
            ConstructNode* list = siblingList(n, o, -1);
            if (!list) return o == root ? nullptr : o;
            p = lastIn(list);
        }
        for (std::vector<ConstructNode*> inside = listsOf(p); !inside.empty(); inside = listsOf(p))
            p = lastIn(inside.back());
        return p;
    }
    // The construct of the list of `n` a screen below (rows > 0) or above.
    ConstructNode* byScreen(ConstructNode* n, int rows) const {
        std::int32_t offset = 0;
        ConstructNode* head = headOf(n, &offset);
        const std::int64_t target = std::int64_t{offset} + std::int64_t{rows} * std::max(1, w.clientHeight);
        if (target <= 0) return head;
        const ListSpot spot = seekList(*ctx.state, ctx.view, head, 0,
                                       static_cast<std::int32_t>(std::min<std::int64_t>(target, INT32_MAX)));
        return spot.node ? spot.node : lastIn(n);
    }

    ConstructNode* focus() const {
        return w.selectionAnchor == w.selectionFirst ? w.selectionLast : w.selectionFirst;
    }
    // Anchor and moving end in one sequence make the range.
    void range(ConstructNode* anchor, ConstructNode* moving) {
        std::int32_t a = 0;
        std::int32_t m = 0;
        headOf(anchor, &a);
        headOf(moving, &m);
        const bool after = m > a || (m == a && anchor != moving && inSequence(moving, anchor));
        w.selectionAnchor = anchor;
        w.selectionFirst = after ? anchor : moving;
        w.selectionLast = after ? moving : anchor;
    }
};

}  // namespace

void clearSelection(SegmentWindow& window) {
    window.selectionFirst = window.selectionLast = window.selectionAnchor = nullptr;
}

void selectConstruct(SegmentWindow& window, ConstructNode* node) {
    window.selectionFirst = window.selectionLast = window.selectionAnchor = node;
}

void extendSelection(const ViewContext& ctx, SegmentWindow& window, ConstructNode* node) {
    Navigator nav{ctx, window, window.shownSegment};
    if (!node || !window.selectionAnchor) {
        selectConstruct(window, node);
        return;
    }
    // The construct in the anchor's sequence that holds the node.
    const ConstructNode* anchorHead = nav.headOf(window.selectionAnchor);
    for (ConstructNode* n = node; n && n != window.shownSegment; n = nav.headOf(n)->up)
        if (nav.headOf(n) == anchorHead) {
            nav.range(window.selectionAnchor, n);
            return;
        }
    selectConstruct(window, node);
}

bool clickAt(const ViewContext& ctx, SegmentWindow& window, std::int32_t clientX, std::int32_t clientY,
             bool extend) {
    const ConstructNode* first = window.selectionFirst;
    const ConstructNode* last = window.selectionLast;
    ConstructNode* hit =
        hitTest(ctx, window.shownSegment, window.scrollX + clientX, window.scrollY + clientY);
    if (extend && hit)
        extendSelection(ctx, window, hit);
    else
        selectConstruct(window, hit);
    return window.selectionFirst != first || window.selectionLast != last;
}

bool selectionCommand(const ViewContext& ctx, SegmentWindow& window, unsigned command) {
    ConstructNode* root = window.shownSegment;
    if (!root || !levelInfoOf(root) || segmentSize(root, ctx.view).width >= kWorksheetLimit) return false;
    Navigator nav{ctx, window, root};
    const ConstructNode* oldFirst = window.selectionFirst;
    const ConstructNode* oldLast = window.selectionLast;
    ConstructNode* body = nav.segmentBody();
    if (!window.selectionFirst) {
        // Nothing selected yet: every key starts at the segment's first
        // construct, Ctrl+End at its last.
        if (!body) return false;
        selectConstruct(window, command == kSegmentLast ? Navigator::lastIn(body) : body);
    } else {
        ConstructNode* focus = nav.focus();
        ConstructNode* anchor = window.selectionAnchor ? window.selectionAnchor : window.selectionFirst;
        ConstructNode* to = nullptr;  // a single construct to select
        ConstructNode* extendTo = nullptr;
        switch (command) {
            case kFirst:
                to = nav.headOf(focus);
                break;
            case kLast:
                to = Navigator::lastIn(focus);
                break;
            case kSegmentFirst:
                to = body;
                break;
            case kSegmentLast:
                to = Navigator::lastIn(body);
                break;
            case kWholeList:
                selectConstruct(window, nav.headOf(focus));
                nav.range(window.selectionFirst, Navigator::lastIn(focus));
                break;
            case kUp:
            case kEnterPrevious:
                to = Navigator::previous(focus);
                if (!to) to = nav.outer(focus);
                break;
            case kDown:
            case kEnterNext:
                to = nav.down(focus);
                break;
            case kPreviousList:
            case kNextList:
                to = nav.siblingList(focus, nav.owner(focus), command == kNextList ? 1 : -1);
                break;
            case kScreenDown:
            case kScreenUp:
                to = nav.byScreen(focus, command == kScreenDown ? 1 : -1);
                break;
            case kInto:
            case kIntoWholeList: {
                const std::vector<ConstructNode*> inside = nav.listsOf(focus);
                if (inside.empty()) break;
                selectConstruct(window, inside.front());
                if (command == kIntoWholeList) nav.range(inside.front(), Navigator::lastIn(inside.front()));
                break;
            }
            case kOut:
                to = nav.outer(focus);
                break;
            case kReadingNext:
                to = nav.readingNext(focus);
                break;
            case kReadingPrevious:
                to = nav.readingPrevious(focus);
                break;
            case kExtendUp:
                extendTo = Navigator::previous(focus);
                break;
            case kExtendDown:
                extendTo = focus->next;
                break;
            case kExtendFirst:
            case kExtendFirstToo:
                extendTo = nav.headOf(focus);
                break;
            case kExtendLast:
            case kExtendLastToo:
                extendTo = Navigator::lastIn(focus);
                break;
            case kExtendScreenUp:
            case kExtendScreenDown:
                extendTo = nav.byScreen(focus, command == kExtendScreenDown ? 1 : -1);
                break;
            case kShrink:
                selectConstruct(window, anchor);
                break;
            default:
                return false;
        }
        if (to) selectConstruct(window, to);
        if (extendTo) nav.range(anchor, extendTo);
    }
    if (window.selectionFirst == oldFirst && window.selectionLast == oldLast) return false;
    Rect box;
    if (selectionBox(ctx, window, &box)) scrollIntoView(window, box, contentSize(ctx, window));
    return true;
}
