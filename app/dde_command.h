// The execute commands of the frame's DDE open service (application = the
// module's base name, topic "System"): [open("file")], optionally followed
// by [line(n)], and the shell's [NOP].
//
// Portable: parsing only.
#pragma once

#include <string_view>

#include "platform/platform.h"

struct DdeRequest {
    bool open;
    char path[platform::kMaxPath];
    long line;  // 0 = none
};

// Parses a sequence of bracketed commands (blanks between them allowed,
// names in any case): open with one argument (quoted with " or ', or bare),
// line with a decimal number, NOP. False for anything else: an unknown
// command, a missing bracket or parenthesis, a second open, an empty or
// too long file name, a line number that is not a positive number.
bool parseDdeCommand(std::string_view text, DdeRequest& out);
