// Files written in place of others only once they are complete.
#include "core/replacement_file.h"

#include <cstdio>

#include "platform/platform.h"

bool replacementWorkName(const char* target, char out[kPathSize]) {
    char full[platform::kMaxPath];
    if (!target || !platform::fullPath(target, full)) return false;
    const int n = std::snprintf(out, kPathSize, "%s~new", full);
    return n > 0 && n < kPathSize;
}

bool replaceWithWorkFile(const char* work, const char* target) {
    if (platform::fileExists(target) && !platform::deleteFile(target)) {
        platform::deleteFile(work);
        return false;
    }
    if (platform::renameFile(work, target)) return true;
    platform::deleteFile(work);
    return false;
}
