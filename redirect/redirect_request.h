// korrin-re's reading of its request and of the program it starts.
//
// Portable and pure: the environment comes through a reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "redirect/redirect_protocol.h"

namespace redirect {

constexpr std::size_t kFileNameSize = 260;  // the three file names, with the zero

struct Request {
    int language = kGerman;
    int showWindow = 1;
    std::string stdIn, stdOut, stdErr;  // empty: korrin-re's own stream
    std::string programName;
    std::string commandLine;
};

// Reads an environment variable; false when it is not set.
using EnvReader = bool (*)(const char* name, std::string& value);

// The request: the language and show code as numbers (defaults 49 and 1;
// a language other than 44 and 49 is 49, so that every message has its
// text), the file names cut to 259 characters, name and command line as
// they stand. Blanks around a value do not count.
Request readRequest(EnvReader read);

// The program file of a command line: a quoted first token up to its
// closing quote, else the text up to the first blank or tab.
std::string programFileOf(std::string_view commandLine);

// The message id of `base` (10100, 10200, 10300, 10400) in `language`.
inline unsigned messageId(unsigned base, int language) {
    return base + static_cast<unsigned>(language);
}

// Executable kinds, read from the file's header.
enum class ExecutableKind : int { unknown = 0, dos = 1, ne = 2, le = 3, lx = 4, pe = 5 };

// Reads `count` bytes at `offset`; the number read.
using HeaderReader = std::size_t (*)(void* context, std::uint32_t offset, unsigned char* out,
                                     std::size_t count);

// "MZ" with a relocation table below 64 is an old DOS program; otherwise
// the signature at the offset stored at byte 60 tells NE, LE, LX or PE
// (with its two zero bytes). Shorter or unreadable files are unknown.
ExecutableKind executableKind(HeaderReader read, void* context);

// Whether standard output and standard error name the same file (they
// then share one handle).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace redirect
