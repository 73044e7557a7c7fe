#include <algorithm>
#include <iterator>

#include "resources/strings.h"

extern constexpr StringEntry kStringTable[] = {
#define KSTR(id, name, text) {id, text},
#include "resources/strings.def"
#undef KSTR
};
extern const std::size_t kStringTableSize = std::size(kStringTable);

namespace {
constexpr bool ascending() {
    for (std::size_t i = 1; i < std::size(kStringTable); ++i)
        if (kStringTable[i - 1].id >= kStringTable[i].id) return false;
    return true;
}
static_assert(ascending(), "string ids must be strictly ascending in strings.def");
}  // namespace

const char* findString(unsigned id) {
    const StringEntry* end = kStringTable + kStringTableSize;
    const StringEntry* hit = std::lower_bound(
        kStringTable, end, id, [](const StringEntry& e, unsigned key) { return e.id < key; });
    return hit != end && hit->id == id ? hit->text : nullptr;
}
