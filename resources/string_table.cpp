#include <algorithm>
#include <array>
#include <iterator>

#include "resources/strings.h"

namespace {

constexpr StringEntry kUnsorted[] = {
#define KSTR(id, name, text) {id, text},
#include "resources/all_strings.def"
#undef KSTR
};

constexpr auto sortedTable() {
    std::array<StringEntry, std::size(kUnsorted)> table{};
    std::copy(std::begin(kUnsorted), std::end(kUnsorted), table.begin());
    std::sort(table.begin(), table.end(),
              [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
    return table;
}

constexpr auto kSorted = sortedTable();

constexpr bool unique() {
    for (std::size_t i = 1; i < kSorted.size(); ++i)
        if (kSorted[i - 1].id == kSorted[i].id) return false;
    return true;
}
static_assert(unique(), "a string id is defined twice");

}  // namespace

const StringEntry* const kStringTable = kSorted.data();
const std::size_t kStringTableSize = kSorted.size();

const char* findString(unsigned id) {
    const StringEntry* end = kStringTable + kStringTableSize;
    const StringEntry* hit = std::lower_bound(kStringTable, end, id,
                                              [](const StringEntry& e, unsigned key) { return e.id < key; });
    return hit != end && hit->id == id ? hit->text : nullptr;
}
