// Seeking in long sequences. Painting, hit testing and the selection need
// the construct of a list at a given height, or a construct's offset from
// its list's head, in time that does not grow with the list. Short lists
// are walked; a list longer than kIndexedLength gets, the first time it is
// asked about, a sample every kSampleStep nodes with its offset from the
// head. Samples are kept per view until layout changes anything anywhere
// (layoutEpoch moves), so they never outlive the geometry they were read
// from.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

struct ConstructNode;
struct ViewState;

constexpr int kIndexedLength = 64;
constexpr int kSampleStep = 32;

struct ListSample {
    ConstructNode* node;
    std::int32_t offset;  // of the node's top from the head's top
};

// The samples of one view's lists.
struct ListIndex {
    std::uint64_t epoch = 0;
    std::unordered_map<const ConstructNode*, std::vector<ListSample>> byHead;
    struct Place {
        const ConstructNode* head;
        std::int32_t offset;
    };
    std::unordered_map<const ConstructNode*, Place> bySample;
};

// A node of a list and the y of its top.
struct ListSpot {
    ConstructNode* node;
    std::int32_t top;
};

// The first node of the list from `head` (its top at `headTop`) whose
// bottom lies below `y`; node null when the whole list ends at or above y.
ListSpot seekList(ViewState& state, int view, ConstructNode* head, std::int32_t headTop, std::int32_t y);

// The head of the list holding `node`, with the node's offset from the
// head's top in `*offset`.
ConstructNode* listPosition(ViewState& state, int view, const ConstructNode* node, std::int32_t* offset);

// The number of samples kept (for benchmarks).
std::size_t listSampleCount(const ViewState& state, int view);
