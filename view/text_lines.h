// Construct texts as they are measured and drawn: CR LF separated lines,
// copied with the line-end rewrites first (a lone LF becomes a blank, CR CR
// LF becomes CR LF, CR CR LF CR becomes CR LF and a blank, a lone CR is
// dropped).
#pragma once

#include <cstring>

// Whether `text` needs the rewrites at all (it holds a CR or an LF).
inline bool hasLineBreaks(const char* text, int length) {
    return std::memchr(text, '\r', static_cast<std::size_t>(length)) ||
           std::memchr(text, '\n', static_cast<std::size_t>(length));
}

// Copies at most `outSize` - 1 characters of `text` into `out` with the
// rewrites and a terminating NUL. Returns the length written; the number
// of lone CRs dropped is added to `*loneCarriageReturns` (may be null).
int rewriteLineEnds(const char* text, char* out, int outSize, int* loneCarriageReturns);

// Calls fn(line, length) for each CR LF separated line of `text`; a
// function returning false stops the walk.
template <class Fn>
void forEachLine(const char* text, int length, Fn fn) {
    int start = 0;
    for (int i = 0; i + 1 < length; ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            if (!fn(text + start, i - start)) return;
            start = i + 2;
            ++i;
        }
    }
    fn(text + start, length - start);
}
