// The placement rules and the resolution of insertion targets.
#include "edit/placement.h"

#include <vector>

#include "core/diagram_document.h"
#include "resources/strings.h"

namespace {

using T = ConstructType;

bool isTextType(ConstructType type) {
    return isStatementTextType(type);
}

bool isCondition(ConstructType type) {
    return isConditionOperator(type) || type == T::KivCond;
}

bool hasSlot(const ConstructNode* node, Slot slot) {
    if (!node) return false;
    const ConstructInfo* info = constructInfo(node->type);
    return info && !(info->groups & kGroupEdge) && wordOfSlot(*info, slot) >= 0;
}

bool hasText(const ConstructNode* node) {
    const char* text = textOf(node);
    return text && *text;
}

// Nodes of the sequence headed by `head` outside `first`..`last`.
int countOutside(const ConstructNode* head, const ConstructNode* first, const ConstructNode* last) {
    int count = 0;
    bool inside = false;
    for (const ConstructNode* n = head; n; n = n->next) {
        if (n == first) inside = true;
        if (!inside) ++count;
        if (n == last) inside = false;
    }
    return count;
}

// A Level body read for the check; bodies inside it too.
bool loadBodies(DiagramDocument* document, ConstructNode* first, const ConstructNode* last) {
    std::vector<ConstructNode*> pending;
    for (ConstructNode* n = first; n; n = n == last ? nullptr : n->next)
        if (n->type == T::Level) pending.push_back(n);
    while (!pending.empty()) {
        ConstructNode* level = pending.back();
        pending.pop_back();
        if (!(segmentFlags(level) & kSegLoaded) && !ensureLoaded(level, document)) return false;
        for (ConstructNode* n = levelInfoOf(level)->body; n; n = n->next)
            if (n->type == T::Level) pending.push_back(n);
    }
    return true;
}

}  // namespace

bool inRange(const ConstructNode* node, const ConstructNode* first, const ConstructNode* last) {
    for (const ConstructNode* n = first; n; n = n == last ? nullptr : n->next)
        if (n == node) return true;
    return false;
}

bool insideCondition(const ConstructNode* owner, Slot slot) {
    if (slot == Slot::Condition) return true;
    for (const ConstructNode* n = owner; n;) {
        Slot s = Slot::None;
        n = ownerAcrossSegments(n, &s);
        if (s == Slot::Condition) return true;
    }
    return false;
}

Placement placeType(const PlaceContext& c, ConstructType type, int index, bool freeFormatText,
                    Slot placeholderSlot) {
    const bool headLike = isHeadSlot(c.slot);
    const bool listOrRest = c.slot == Slot::Branches || c.slot == Slot::Rest;
    // Heads and conditions take one entry, unless the owner takes many operands.
    const bool secondEntry =
        (headLike || c.insideCondition) && !takesManyOperands(c.owner) && index + c.others > 0;
    switch (type) {
        case T::Dummy:
            return placeholderSlot == Slot::Condition && c.slot == Slot::Condition &&
                           takesManyOperands(c.owner)
                       ? Placement::Ok
                       : Placement::PlaceholderNotOperand;
        case T::OnConditionBranch:
            return c.owner == T::OnCondition && c.slot == Slot::Branches ? Placement::Ok
                                                                         : Placement::BranchElsewhere;
        case T::OnSelectorBranch:
            return c.owner == T::OnSelector && c.slot == Slot::Branches ? Placement::Ok
                                                                        : Placement::BranchElsewhere;
        case T::Default:
            return c.owner == T::Choice && c.slot == Slot::Branches ? Placement::Ok
                                                                    : Placement::BranchElsewhere;
        case T::Variable:
        case T::Variant:
            return Placement::NeverPlaced;
        case T::Level:
            if (listOrRest || headLike || (c.owner == T::Variable && c.slot == Slot::Body))
                return Placement::SegmentSlot;
            return secondEntry ? Placement::SecondEntry : Placement::Ok;
        default:
            break;
    }
    if (!constructInfo(type)) return Placement::NeverPlaced;
    if (isCondition(type)) {
        if (!c.insideCondition) return Placement::ConditionOutside;
        return secondEntry ? Placement::SecondEntry : Placement::Ok;
    }
    if (isTextType(type)) {
        if (listOrRest) return Placement::TextInBranchList;
        if (type == T::FreeFormat &&
            (c.slot == Slot::Head || ((headLike || c.insideCondition) && !freeFormatText)))
            return Placement::FreeFormatInHead;
        return secondEntry ? Placement::SecondEntry : Placement::Ok;
    }
    // Statements, loops, blocks, procedures, calls, exits.
    if (c.slot == Slot::Rest || (c.slot == Slot::Branches && type != T::Frame) || headLike ||
        c.slot == Slot::Condition)
        return Placement::StatementSlot;
    return c.insideCondition ? Placement::StatementInCondition : Placement::Ok;
}

Placement placeSequence(DiagramDocument* document, const PlaceContext& context, ConstructNode* first,
                        const ConstructNode* last) {
    if (!first) return Placement::Ok;
    if (!loadBodies(document, first, last)) return Placement::BodyUnavailable;
    // The sequence, then every Level body in it, each counted on its own:
    // a body lies at the place of its Level.
    struct Pending {
        ConstructNode* first;
        const ConstructNode* last;
        int others;
    };
    std::vector<Pending> pending{{first, last, context.others}};
    while (!pending.empty()) {
        const Pending p = pending.back();
        pending.pop_back();
        PlaceContext c = context;
        c.others = p.others;
        int index = 0;
        for (ConstructNode* n = p.first; n; n = n == p.last ? nullptr : n->next, ++index) {
            const Placement verdict = placeType(c, n->type, index, hasText(n), placeholderSlot(n));
            if (verdict != Placement::Ok) return verdict;
            if (n->type == T::Level) pending.push_back({levelInfoOf(n)->body, nullptr, 0});
        }
    }
    return Placement::Ok;
}

Placement resolveTarget(const InsertTarget& target, ConstructNode* first, ConstructNode* last, bool moving,
                        ResolvedTarget* out) {
    *out = ResolvedTarget{};
    ConstructNode* t = target.target;
    if (!t || !first) return Placement::NoTarget;
    InsertPosition position = target.position;
    Slot slot = target.slot;
    if (position == InsertPosition::IntoSegment) {
        if (t->type != T::Level) return Placement::NoTarget;
        position = InsertPosition::IntoSlot;
        slot = Slot::Body;
    }
    // Next to a lone placeholder is in its place.
    if ((position == InsertPosition::After || position == InsertPosition::Before) && t->type == T::Dummy &&
        !t->next && slotOf(t) != Slot::Next)
        position = InsertPosition::Replace;

    // The sequence the sequence joins, and what of it stays.
    ConstructNode* head = nullptr;
    if (position == InsertPosition::IntoSlot) {
        if (!hasSlot(t, slot)) return Placement::NoSuchSlot;
        head = childAt(t, slot);
        if (head && (head->type != T::Dummy || head->next)) return Placement::SlotNotEmpty;
        out->owner = t;
        out->slot = slot;
        out->replaced = head;
        if (inRestBranchHead(head) || (isBranchType(t->type) && slotOf(t) == Slot::Rest &&
                                       (slot == Slot::Condition || slot == Slot::Head)))
            return Placement::RestBranchHead;
    } else {
        if (position == InsertPosition::Replace && t->type != T::Dummy) return Placement::NoTarget;
        out->owner = ownerOf(t, &out->slot);
        if (!out->owner) return Placement::NoTarget;
        head = sequenceHead(t);
        if (inRestBranchHead(head) || inRestBranchHead(t)) return Placement::RestBranchHead;
        ConstructNode* predecessor = slotOf(t) == Slot::Next ? t->up : nullptr;
        out->previous = position == InsertPosition::After ? t : predecessor;
        if (position == InsertPosition::Replace) out->replaced = t;
    }

    if (moving) {
        // Neither the target nor anything holding it may lie in the sequence.
        for (const ConstructNode* n = t; n; n = ownerOf(n))
            if (inRange(n, first, last)) return Placement::IntoItself;
        if ((position == InsertPosition::After && t->next == first) ||
            (position == InsertPosition::Before && last->next == t))
            return Placement::OwnPlace;
        // Replacing the placeholder right after the sequence: the sequence
        // leaves from before it.
        if (out->previous && inRange(out->previous, first, last))
            out->previous = slotOf(first) == Slot::Next ? first->up : nullptr;
    }
    out->context.owner = out->owner->type;
    out->context.slot = out->slot;
    out->context.insideCondition = insideCondition(out->owner, out->slot);
    int others = moving ? countOutside(head, first, last) : countSequence(head);
    if (out->replaced) --others;
    out->context.others = others;
    return Placement::Ok;
}

Placement checkPlacement(DiagramDocument* document, ConstructNode* first, ConstructNode* last,
                         const InsertTarget& target, bool moving, ResolvedTarget* out) {
    ResolvedTarget resolved;
    Placement verdict = resolveTarget(target, first, last, moving, &resolved);
    if (verdict == Placement::Ok) verdict = placeSequence(document, resolved.context, first, last);
    if (out) *out = resolved;
    return verdict;
}

Placement rangeContext(ConstructNode* first, ConstructNode* last, PlaceContext* out) {
    *out = PlaceContext{};
    Slot slot = Slot::None;
    ConstructNode* owner = first ? ownerOf(first, &slot) : nullptr;
    if (!owner) return Placement::NoTarget;
    ConstructNode* head = sequenceHead(first);
    if (inRestBranchHead(head) || inRestBranchHead(first)) return Placement::RestBranchHead;
    out->owner = owner->type;
    out->slot = slot;
    out->insideCondition = insideCondition(owner, slot);
    out->others = countOutside(head, first, last);
    return Placement::Ok;
}

unsigned insertPositionStatusId(InsertPosition position) {
    switch (position) {
        case InsertPosition::After:
            return IDS_STATUS_INSERT_AFTER;
        case InsertPosition::Before:
            return IDS_STATUS_INSERT_BEFORE;
        default:
            return IDS_STATUS_REPLACE;
    }
}
