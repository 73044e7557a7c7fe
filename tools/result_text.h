// The text of the result window and the line number a click or Enter in
// it leads to.
//
// Portable: the file is read through the buffered file layer.
#pragma once

#include <string>
#include <string_view>

constexpr int kResultReadLimit = 30000;  // bytes read from the file
constexpr int kResultKeep = 29999;       // bytes kept of a longer file
constexpr int kResultTextLimit = 29998;  // characters after the line ends are normalised
constexpr int kResultLineLimit = 1023;   // characters of a line looked at for a number

struct ResultText {
    std::string text;
    bool readable = false;
    bool truncated = false;  // the file holds more than the window shows
};

// Reads the file (OEM converted to ANSI unless `ansi`), at most
// kResultKeep bytes, and normalises its line ends.
ResultText loadResultText(const char* path, bool ansi);

// Every CR removed, then a CR put before every LF, stopping before the
// text would exceed `limit` characters.
std::string normaliseLineEnds(std::string_view text, std::size_t limit = kResultTextLimit);

// The line number at `caret` (a position between characters) of `line`:
// back over the digits before it, then the digits from there on. With a
// selection [selStart, selEnd) inside the line: its characters after
// leading blanks up to the first non-digit. 0 when there are no digits.
long lineNumberAt(std::string_view line, int caret, int selStart = 0, int selEnd = 0);
