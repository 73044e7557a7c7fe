// Paths as text: the one place for taking them apart and putting them
// together. Both "\" and "/" separate components, "X:" names a drive and
// "\\server\share" a network share; new separators are the system's own
// (platform::kPathSeparator). Every writer takes the size of its buffer,
// always terminates it and says whether the whole text fitted.
//
// Portable: no system calls.
#pragma once

#include <cstddef>

bool isPathSeparator(char c);

// The file name part of `path`: what follows the last separator or drive
// colon ("" for a path that ends in a separator).
const char* fileNameOf(const char* path);
// The extension of the file name part, from its last dot ("" at the end of
// `path` when the name has none).
const char* extensionOf(const char* path);
// The length of the directory part of `path`: up to its last separator,
// which is left out unless it is the root's ("\", "C:\"); 0 when `path`
// has no separator.
std::size_t directoryLength(const char* path);
// "\\server\share..." (or with forward slashes).
bool isUncPath(const char* path);

// Copies `text` (null = empty) into `out`, cut to size-1 characters. False
// when it was cut (or there is no buffer).
bool copyText(char* out, std::size_t size, const char* text);
template <std::size_t N>
bool copyText(char (&out)[N], const char* text) {
    return copyText(out, N, text);
}

// `directory` and `name` with a separator between them when needed ("" for
// the directory gives `name` alone). False when the result was cut.
bool joinPath(const char* directory, const char* name, char* out, std::size_t size);
// Replaces the extension of `path` (in place) by `ext` ("" removes it; a
// name without one gets it). False, with `path` unchanged, when the result
// does not fit in `size`.
bool replaceExtension(char* path, std::size_t size, const char* ext);
// The file name of `path` with its extension replaced by `ext`, in
// `directory` ("" or null: beside `path`). False when `path` has no file
// name or the result was cut.
bool pathBeside(const char* path, const char* directory, const char* ext, char* out, std::size_t size);
