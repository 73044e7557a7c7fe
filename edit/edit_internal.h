// Helpers shared by the editing commands.
#pragma once

#include "core/construct_node.h"
#include "edit/undo_journal.h"

namespace edit_detail {

// A slot left empty gets a placeholder for it back, except a segment body,
// which may stay empty. 1 when nothing was needed or the placeholder went
// in; 0 when memory ran out.
inline int refillSlot(UndoRecord* record, DiagramDocument* document, ConstructNode* owner, Slot slot) {
    if (!owner || childAt(owner, slot) || (owner->type == ConstructType::Level && slot == Slot::Body))
        return 1;
    ConstructNode* placeholder = newPlaceholder(owner, slot);
    if (!placeholder) return 0;
    placeholder->up = nullptr;
    TreePlace place;
    place.owner = owner;
    place.slot = slot;
    if (journalLink(record, document, placeholder, placeholder, place)) return 1;
    freeSequence(placeholder);
    return 0;
}

// The place at the head of `slot` of `owner`, or after `previous`.
inline TreePlace placeAt(ConstructNode* owner, Slot slot, ConstructNode* previous) {
    TreePlace place;
    if (previous) {
        place.previous = previous;
    } else {
        place.owner = owner;
        place.slot = slot;
    }
    return place;
}

// The segment a node lies in: the Level whose body holds it, or the top
// segment for its head.
inline ConstructNode* segmentOf(const ConstructNode* node) {
    if (ConstructNode* level = enclosingLevel(node)) return level;
    ConstructNode* root = rootOf(node);
    return root && root->type == ConstructType::Level ? root : nullptr;
}

// A selection of consecutive nodes with an owner (not the top segment).
inline bool sound(const Selection& selection) {
    if (!selection.first || !selection.last || !selection.first->up) return false;
    for (const ConstructNode* n = selection.first; n; n = n->next)
        if (n == selection.last) return true;
    return false;
}

}  // namespace edit_detail
