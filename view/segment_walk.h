// A walk over the constructs of one segment in stream order: a construct,
// then its child sequences in word order, then its successor. Segments
// inside are visited as constructs; their bodies are not entered (they are
// segments of their own). Explicit stack: depth costs heap, not the call
// stack.
#pragma once

#include <vector>

#include "core/construct_node.h"

// Calls enter(node) for each construct from `head` on (false stops the
// walk: the result is then false) and leave(node) once everything inside
// it was visited.
template <class Enter, class Leave>
bool walkSegmentLists(ConstructNode* head, Enter enter, Leave leave) {
    struct Item {
        ConstructNode* node;
        bool leaving;
    };
    std::vector<Item> stack;
    stack.push_back({head, false});
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        ConstructNode* n = item.node;
        if (!n) continue;
        if (item.leaving) {
            leave(n);
            continue;
        }
        if (!enter(n)) return false;
        stack.push_back({n->next, false});
        stack.push_back({n, true});
        if (n->type == ConstructType::Level) continue;
        const ConstructInfo* info = constructInfo(n->type);
        if (!info || (info->groups & kGroupEdge)) continue;
        const auto slots = childSlots(*info);
        for (auto slot = slots.rbegin(); slot != slots.rend(); ++slot)
            stack.push_back({childAt(n, slot->slot), false});
    }
    return true;
}

template <class Enter>
bool walkSegmentLists(ConstructNode* head, Enter enter) {
    return walkSegmentLists(head, enter, [](ConstructNode*) {});
}
