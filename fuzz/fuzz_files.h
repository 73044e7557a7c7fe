// What the fuzz targets that read files of settings share: a failed property
// ends the run as a crash, two temporary files removed at exit, and the
// input written into one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

namespace fuzz_files {

inline void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Temporary file 0 or 1, the same name for the whole run.
inline const char* tempPath(int which) {
    static char paths[2][platform::kMaxPath];
    if (!paths[which][0]) {
        platform::tempFileName("vrd", paths[which]);
        std::atexit([] {
            platform::deleteFile(paths[0]);
            platform::deleteFile(paths[1]);
        });
    }
    return paths[which];
}

inline void writeData(const char* path, const std::uint8_t* data, std::size_t size) {
    platform::OpenInfo info;
    platform::FileHandle f = platform::openFile(path, &info, platform::kOpenWrite | platform::kOpenCreate);
    check(f != platform::kInvalidFile);
    if (size)
        check(platform::writeFile(f, data, static_cast<std::uint32_t>(size)) ==
              static_cast<std::int32_t>(size));
    platform::closeFile(f);
}

}  // namespace fuzz_files
