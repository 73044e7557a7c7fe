// Ids of the numbered texts, and the table native builds read them from.
#pragma once

#include <cstddef>

#include "resources/commands.h"

enum StringId : unsigned {
#define KSTR(id, name, text) name = id,
#include "resources/all_strings.def"
#undef KSTR
};

struct StringEntry {
    unsigned id;
    const char* text;
};

// The whole table, ascending by id.
extern const StringEntry* const kStringTable;
extern const std::size_t kStringTableSize;
// The text of `id`, or null.
const char* findString(unsigned id);
