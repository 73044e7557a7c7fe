#include "app/recent_files.h"

#include <cstdio>
#include <cstring>

#include "config/profile.h"
#include "core/path.h"

namespace {

constexpr int kMenuPathLength = 48;  // longer paths are shortened in menus

int clampedCount(const RecentList& list) {
    int count = list.count < 0 ? 0 : list.count;
    return count > kRecentMax ? kRecentMax : count;
}

int clampedLength(const RecentList& list) {
    int length = list.length < 0 ? 0 : list.length;
    return length > kRecentMax ? kRecentMax : length;
}

}  // namespace

void recentAdd(RecentList& list, const char* path) {
    int length = clampedLength(list);
    if (!path || !path[0] || length == 0) return;
    int count = clampedCount(list);
    if (count > length) count = length;
    int found = -1;
    for (int i = 0; i < count; ++i)
        if (equalNoCase(list.entries[i], path)) found = i;
    char copy[kSettingsPathSize];
    copyText(copy, sizeof copy, path);
    int last;  // the entry that the shift overwrites
    if (found >= 0) {
        last = found;
    } else {
        last = count < length ? count : length - 1;
        if (count < length) ++count;
    }
    for (int i = last; i > 0; --i) std::memcpy(list.entries[i], list.entries[i - 1], kSettingsPathSize);
    std::memcpy(list.entries[0], copy, kSettingsPathSize);
    list.count = count;
}

const char* recentEntry(const RecentList& list, int k) {
    return k >= 0 && k < clampedCount(list) && list.entries[k][0] ? list.entries[k] : nullptr;
}

bool recentRemove(RecentList& list, int k) {
    int count = clampedCount(list);
    if (k < 0 || k >= count) return false;
    for (int i = k; i + 1 < count; ++i) std::memcpy(list.entries[i], list.entries[i + 1], kSettingsPathSize);
    list.entries[count - 1][0] = 0;
    list.count = count - 1;
    return true;
}

int recentMenuText(const RecentList& list, int k, char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = 0;
    const char* path = recentEntry(list, k);
    if (!path || k > 8) return 0;

    // Shorten: the beginning up to the first separator after the drive, "...",
    // and as many trailing path components as fit.
    char shown[kSettingsPathSize];
    std::size_t length = std::strlen(path);
    if (length <= kMenuPathLength) {
        copyText(shown, sizeof shown, path);
    } else {
        std::size_t head = 0;
        while (head < length && head < 3 && !isPathSeparator(path[head])) ++head;
        if (head < length && isPathSeparator(path[head])) ++head;
        const char* tail = path + length;
        const char* best = nullptr;
        for (const char* p = path + length - 1; p > path + head; --p) {
            if (!isPathSeparator(*p)) continue;
            if (static_cast<std::size_t>(tail - p) + head + 3 > kMenuPathLength) break;
            best = p;
        }
        if (!best) {
            for (best = path + length - 1; best > path && !isPathSeparator(*best); --best) {
            }
        }
        std::snprintf(shown, sizeof shown, "%.*s...%s", static_cast<int>(head), path, best);
    }

    int n = std::snprintf(out, static_cast<std::size_t>(size), "&%d ", k + 1);
    if (n < 0 || n >= size) return 0;
    for (const char* p = shown; *p && n + 2 < size; ++p) {
        if (*p == '&') out[n++] = '&';
        out[n++] = *p;
    }
    out[n] = 0;
    return n;
}

bool splitHelpEntry(const char* entry, char* text, int textSize, char* file, int fileSize) {
    if (!entry || !text || !file || textSize <= 0 || fileSize <= 0) return false;
    text[0] = file[0] = 0;
    const char* comma = std::strchr(entry, ',');
    if (!comma || comma == entry || !comma[1]) return false;
    std::snprintf(text, static_cast<std::size_t>(textSize), "%.*s", static_cast<int>(comma - entry), entry);
    const char* name = comma + 1;
    while (*name == ' ' || *name == '\t') ++name;
    std::snprintf(file, static_cast<std::size_t>(fileSize), "%s", name);
    return file[0] != 0;
}
