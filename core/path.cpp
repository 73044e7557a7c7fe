#include "core/path.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

std::size_t nameStart(const char* path) {
    std::size_t start = 0;
    for (std::size_t i = 0; path[i]; ++i)
        if (isPathSeparator(path[i]) || path[i] == ':') start = i + 1;
    return start;
}

bool written(int length, std::size_t size) {
    return length >= 0 && static_cast<std::size_t>(length) < size;
}

}  // namespace

bool isPathSeparator(char c) {
    return c == '\\' || c == '/';
}

const char* fileNameOf(const char* path) {
    return path + nameStart(path);
}

const char* extensionOf(const char* path) {
    const char* name = fileNameOf(path);
    const char* dot = std::strrchr(name, '.');
    return dot ? dot : name + std::strlen(name);
}

std::size_t directoryLength(const char* path) {
    std::size_t last = 0;
    bool found = false;
    for (std::size_t i = 0; path[i]; ++i) {
        if (isPathSeparator(path[i])) {
            last = i;
            found = true;
        }
    }
    if (!found) return 0;
    if (last == 0 || path[last - 1] == ':') return last + 1;  // the root keeps its separator
    return last;
}

bool isUncPath(const char* path) {
    return path && isPathSeparator(path[0]) && path[1] == path[0];
}

bool copyText(char* out, std::size_t size, const char* text) {
    if (!out || !size) return false;
    return written(std::snprintf(out, size, "%s", text ? text : ""), size);
}

bool joinPath(const char* directory, const char* name, char* out, std::size_t size) {
    if (!out || !size) return false;
    const std::size_t n = directory ? std::strlen(directory) : 0;
    if (n == 0) return copyText(out, size, name);
    const char separator[2] = {isPathSeparator(directory[n - 1]) ? '\0' : platform::kPathSeparator, '\0'};
    return written(std::snprintf(out, size, "%s%s%s", directory, separator, name ? name : ""), size);
}

bool replaceExtension(char* path, std::size_t size, const char* ext) {
    if (!path || !size || !ext) return false;
    const std::size_t cut = static_cast<std::size_t>(extensionOf(path) - path);
    const std::size_t extLength = std::strlen(ext);
    if (cut + extLength + 1 > size) return false;
    std::memcpy(path + cut, ext, extLength + 1);
    return true;
}

bool pathBeside(const char* path, const char* directory, const char* ext, char* out, std::size_t size) {
    if (!out || !size) return false;
    out[0] = 0;
    if (!path || !*fileNameOf(path)) return false;
    const char* name = fileNameOf(path);
    const int stem = static_cast<int>(extensionOf(path) - name);
    char file[platform::kMaxPath];
    if (!written(std::snprintf(file, sizeof file, "%.*s%s", stem, name, ext ? ext : ""), sizeof file))
        return false;
    if (directory && *directory) return joinPath(directory, file, out, size);
    return written(std::snprintf(out, size, "%.*s%s", static_cast<int>(name - path), path, file), size);
}
