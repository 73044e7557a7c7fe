// Listing a directory on POSIX.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {

bool listFiles(const char* directory, void (*fn)(const char* name, void* context), void* context) {
    const char* dir = directory && *directory ? directory : ".";
    DIR* d = opendir(dir);
    if (!d) return false;
    while (dirent* entry = readdir(d)) {
        char path[kMaxPath * 2];
        std::snprintf(path, sizeof path, "%s/%s", dir, entry->d_name);
        struct stat info;
        if (stat(path, &info) == 0 && S_ISREG(info.st_mode) && fn) fn(entry->d_name, context);
    }
    closedir(d);
    return true;
}

}  // namespace platform
