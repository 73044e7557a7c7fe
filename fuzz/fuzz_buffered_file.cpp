// The buffered reader over a memory block, with every read option.
//
// Input: byte 0 chooses the read options, byte 1 the block layout, bytes
// 2..9 a cycle of operations (reads of many sizes, integer reads, seeks and
// skips); the rest is the block. With a size header the header comes from
// the input too, so lying headers are covered. In raw mode over a headerless
// block every byte delivered is checked against the input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/buffered_file.h"

namespace {

constexpr std::size_t kControl = 10;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kControl || size > (1u << 20)) return 0;
    const std::uint8_t optionBits = data[0];
    const std::uint8_t layout = data[1];
    const std::uint8_t* ops = data + 2;
    const std::uint8_t* body = data + kControl;
    const auto bodySize = static_cast<std::uint32_t>(size - kControl);

    std::uint16_t options = 0;
    if (optionBits & 1) options |= kOptOem;
    if (optionBits & 2) options |= kOptExpandTabs;
    if (optionBits & 4) options |= kOptNormaliseLineEnds;
    // Write options have no effect on reading; they must not disturb it.
    if (optionBits & 8) options |= kOptCompressTabs | kOptRemoveCr;

    const bool header = (layout & 1) == 0;
    const std::uint16_t mode = header ? 0 : kMemNoHeader;
    // Headerless: the whole block, or size 0 (capacity 16, empty), or a size
    // that claims more than the block holds.
    std::uint32_t openSize = 0;
    if (!header) openSize = (layout & 2) ? 0 : (layout & 4) ? bodySize + 100 : bodySize;

    platform::MemHandle block = platform::memBlockAlloc(bodySize);
    if (!block) return 0;
    if (bodySize) {
        std::memcpy(platform::memBlockLock(block), body, bodySize);
        platform::memBlockUnlock(block);
    }
    BufferedFile* f = bfile::openMemory(block, openSize, mode, options);
    if (!f) {
        platform::memBlockFree(block);
        return 0;
    }

    // Exact mirror of the position in raw mode over the whole block.
    const bool mirror = !header && openSize == bodySize &&
                        (options & (kOptOem | kOptExpandTabs | kOptNormaliseLineEnds)) == 0;
    std::int64_t pos = 0;

    std::vector<unsigned char> buf(9000);
    int idle = 0;
    for (int step = 0; step < 256 && idle < 3; ++step) {
        const std::uint8_t op = ops[step % 8];
        const int arg = op & 0x3F;
        switch (op >> 6) {
            case 0: {
                std::int32_t want = arg == 0x3F ? 9000 : arg * 70 + (step % 7);
                std::int32_t got = bfile::read(f, buf.data(), want);
                check(got <= want);
                if (mirror && got > 0) {
                    check(pos + got <= bodySize);
                    check(std::memcmp(buf.data(), body + pos, static_cast<std::size_t>(got)) == 0);
                    pos += got;
                }
                idle = got > 0 ? 0 : idle + 1;
                break;
            }
            case 1: {
                unsigned char value[8];
                int valueWidth = 1 + (arg & 7);
                int fileWidth = 1 + ((arg >> 3) & 7);
                int rc = (step & 1) ? bfile::readSigned(f, value, valueWidth, fileWidth)
                                    : bfile::readUnsigned(f, value, valueWidth, fileWidth);
                check(rc == 0 || rc == -1);
                if (mirror) pos = bfile::tell(f);
                break;
            }
            case 2: {
                std::int32_t target =
                    static_cast<std::int32_t>((static_cast<std::uint32_t>(arg) * 977u) % (bodySize + 50));
                if (bfile::seek(f, target) == 0 && mirror) pos = target;
                break;
            }
            default: {
                std::int32_t delta = (arg - 32) * 131;
                std::int32_t before = bfile::tell(f);
                if (bfile::skip(f, delta) == 0 && mirror) pos = std::int64_t{before} + delta;
                break;
            }
        }
        if (mirror && !bfile::hasError(f)) check(bfile::tell(f) == pos);
        if (bfile::hasError(f)) break;
    }
    bfile::close(f);
    platform::memBlockFree(block);
    return 0;
}
