// Listing a directory over the Win32 API.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform {

bool listFiles(const char* directory, void (*fn)(const char* name, void* context), void* context) {
    char pattern[kMaxPath + 4];
    const char* dir = directory && *directory ? directory : ".";
    const std::size_t n = std::strlen(dir);
    const bool separated = n > 0 && (dir[n - 1] == '\\' || dir[n - 1] == '/' || dir[n - 1] == ':');
    if (std::snprintf(pattern, sizeof pattern, separated ? "%s*" : "%s\\*", dir) >=
        static_cast<int>(sizeof pattern))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fn) fn(found.cFileName, context);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

}  // namespace platform
