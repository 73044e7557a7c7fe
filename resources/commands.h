// The command numbers by name, from the one table resources/commands.def.
// The resource compiler reads the same names from the command_ids.h the
// build writes beside it.
#pragma once

enum CommandId : unsigned {
#define KCMD(name, id, owner, help) name = id,
#define KCMD_RANGE(name, first, last, owner, help) name##_FIRST = first, name##_LAST = last,
#define KCMD_NAMED(name, id, help) name = id,
#include "resources/commands.def"
#undef KCMD
#undef KCMD_RANGE
#undef KCMD_NAMED
};
