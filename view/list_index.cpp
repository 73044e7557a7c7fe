#include "view/list_index.h"

#include <algorithm>

#include "core/construct_node.h"
#include "view/layout.h"

namespace {

// The index of `view`, emptied when layout has changed since it was built.
ListIndex& indexOf(ViewState& state, int view) {
    ListIndex& index = state.lists[view];
    const std::uint64_t epoch = layoutEpoch();
    if (index.epoch != epoch) {
        index.byHead.clear();
        index.bySample.clear();
        index.epoch = epoch;
    }
    return index;
}

std::int32_t heightOf(const ConstructNode* n, int view) {
    return n->views[view].height;
}

// Samples the whole list from `head`.
const std::vector<ListSample>& build(ListIndex& index, int view, ConstructNode* head) {
    std::vector<ListSample>& samples = index.byHead[head];
    samples.clear();
    std::int64_t offset = 0;
    int count = 0;
    for (ConstructNode* n = head; n; n = n->next, ++count) {
        if (count % kSampleStep == 0) {
            const auto at = static_cast<std::int32_t>(std::min<std::int64_t>(offset, INT32_MAX));
            samples.push_back({n, at});
            index.bySample[n] = {head, at};
        }
        offset += heightOf(n, view);
    }
    return samples;
}

// The predecessor of `node` in its list; null at the head.
const ConstructNode* previousOf(const ConstructNode* node) {
    const ConstructNode* up = node->up;
    return up && up->next == node ? up : nullptr;
}

}  // namespace

ListSpot seekList(ViewState& state, int view, ConstructNode* head, std::int32_t headTop, std::int32_t y) {
    ConstructNode* n = head;
    std::int64_t top = headTop;
    ListIndex& index = indexOf(state, view);
    auto found = index.byHead.find(head);
    if (found == index.byHead.end()) {
        // A short list, or the wanted node near its head: walk.
        for (int steps = 0; n && steps < kIndexedLength; ++steps, n = n->next) {
            if (top + heightOf(n, view) > y) return {n, static_cast<std::int32_t>(top)};
            top += heightOf(n, view);
        }
        if (!n) return {nullptr, static_cast<std::int32_t>(top)};
        build(index, view, head);
        found = index.byHead.find(head);
    }
    const std::vector<ListSample>& samples = found->second;
    // The last sample whose top lies at or above y.
    auto after = std::upper_bound(samples.begin(), samples.end(), std::int64_t{y} - headTop,
                                  [](std::int64_t value, const ListSample& s) { return value < s.offset; });
    if (after != samples.begin()) --after;
    n = after->node;
    top = std::int64_t{headTop} + after->offset;
    for (; n; n = n->next) {
        if (top + heightOf(n, view) > y) return {n, static_cast<std::int32_t>(top)};
        top += heightOf(n, view);
    }
    return {nullptr, static_cast<std::int32_t>(top)};
}

ConstructNode* listPosition(ViewState& state, int view, const ConstructNode* node, std::int32_t* offset) {
    ListIndex& index = indexOf(state, view);
    std::int64_t above = 0;
    int steps = 0;
    const ConstructNode* n = node;
    for (;;) {
        if (auto sample = index.bySample.find(n); sample != index.bySample.end()) {
            if (offset) *offset = static_cast<std::int32_t>(above + sample->second.offset);
            return const_cast<ConstructNode*>(sample->second.head);
        }
        const ConstructNode* previous = previousOf(n);
        if (!previous) break;
        above += heightOf(previous, view);
        n = previous;
        ++steps;
    }
    // `n` is the head; a long list walked back once is sampled, so that the
    // next question about it is answered near the node.
    auto* head = const_cast<ConstructNode*>(n);
    if (steps >= kIndexedLength && !index.byHead.count(head)) build(index, view, head);
    if (offset) *offset = static_cast<std::int32_t>(std::min<std::int64_t>(above, INT32_MAX));
    return head;
}

std::size_t listSampleCount(const ViewState& state, int view) {
    return state.lists[view].bySample.size();
}
