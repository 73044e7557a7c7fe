// The INI reader and writer of the platform layer.
//
// The input is the whole profile file. Every section and key it lists is
// read back with buffers of several sizes (results must stay inside them),
// then one key is written and one deleted; a value written must read back
// as written, and a key of another section must not change.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <strings.h>

#include "fuzz/fuzz_files.h"
#include "platform/platform.h"

namespace {

using fuzz_files::check;
using fuzz_files::writeData;

// Reads with `size`, checking the result stays inside the buffer.
std::uint32_t readChecked(const char* section, const char* key, char* buffer, std::uint32_t size,
                          const char* path) {
    std::memset(buffer, 0x5A, size + 2);
    std::uint32_t n = platform::profileGetString(section, key, "def", buffer, size, path);
    check(size == 0 || n < size);
    check(size == 0 || buffer[n] == 0);
    check(buffer[size] == 0x5A && buffer[size + 1] == 0x5A);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    const char* path = fuzz_files::tempPath(0);
    writeData(path, data, size);

    static char sections[4096 + 2];
    static char keys[4096 + 2];
    static char value[1024 + 2];
    std::uint32_t n = readChecked(nullptr, nullptr, sections, 4096, path);
    for (std::uint32_t small : {1u, 2u, 3u, 7u}) readChecked(nullptr, nullptr, value, small, path);

    std::string firstSection;
    std::string firstKey;
    std::string firstValue;
    int sectionCount = 0;
    for (std::uint32_t pos = 0; pos < n && sections[pos] && sectionCount < 8; ++sectionCount) {
        const char* section = sections + pos;
        pos += static_cast<std::uint32_t>(std::strlen(section)) + 1;
        std::uint32_t k = readChecked(section, nullptr, keys, 4096, path);
        for (std::uint32_t small : {1u, 2u, 5u}) readChecked(section, nullptr, value, small, path);
        platform::profileGetSection(section, value, 1024, path);
        int keyCount = 0;
        for (std::uint32_t kpos = 0; kpos < k && keys[kpos] && keyCount < 16; ++keyCount) {
            const char* key = keys + kpos;
            kpos += static_cast<std::uint32_t>(std::strlen(key)) + 1;
            readChecked(section, key, value, 1024, path);
            if (firstSection.empty() && strcasecmp(section, "Fuzz") != 0) {
                firstSection = section;
                firstKey = key;
                firstValue = value;
            }
            readChecked(section, key, value, 4, path);
            platform::profileGetInt(section, key, -1, path);
        }
    }

    // A value written reads back as written; another section stays as it was.
    if (platform::profileWriteString("Fuzz", "Key", "written value", path)) {
        readChecked("Fuzz", "Key", value, 1024, path);
        check(std::strcmp(value, "written value") == 0);
        if (!firstSection.empty()) {
            readChecked(firstSection.c_str(), firstKey.c_str(), value, 1024, path);
            check(firstValue == value);
        }
        platform::profileWriteString("Fuzz", "Key", nullptr, path);
        readChecked("Fuzz", "Key", value, 1024, path);
        check(std::strcmp(value, "def") == 0);
        platform::profileWriteString("Fuzz", nullptr, nullptr, path);
    }
    return 0;
}
