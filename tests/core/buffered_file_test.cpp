// The buffered file layer: conversions, flush boundaries, positioning,
// memory blocks, integer widths, locking and the error rules.
#include "core/buffered_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "core/allocator.h"
#include "core/outcome.h"

namespace {

using platform::kOpenCreate;
using platform::kOpenRead;
using platform::kOpenReadWrite;
using platform::kOpenWrite;

// A temporary file that is deleted again.
struct TempFile {
    char path[platform::kMaxPath] = {};
    TempFile() { EXPECT_TRUE(platform::tempFileName("vrd", path)); }
    ~TempFile() { platform::deleteFile(path); }
};

void putFile(const char* path, std::string_view bytes) {
    BufferedFile* f = bfile::openFile(path, nullptr, kOpenWrite | kOpenCreate, 0);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(bfile::write(f, bytes.data(), static_cast<std::int32_t>(bytes.size())), 0);
    ASSERT_EQ(bfile::close(f), 0);
}

std::string getFile(const char* path) {
    platform::OpenInfo info{};
    platform::FileHandle h = platform::openFile(path, &info, kOpenRead);
    EXPECT_NE(h, platform::kInvalidFile);
    std::string out;
    char chunk[1000];
    for (std::int32_t n; (n = platform::readFile(h, chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<std::size_t>(n));
    platform::closeFile(h);
    return out;
}

// A memory block with size header holding `data`.
platform::MemHandle blockWith(std::string_view data) {
    auto end = static_cast<std::uint32_t>(data.size() + 8);
    platform::MemHandle block = platform::memBlockAlloc(end);
    auto* p = static_cast<unsigned char*>(platform::memBlockLock(block));
    std::memcpy(p, &end, 4);
    std::memcpy(p + 4, &end, 4);
    if (!data.empty()) std::memcpy(p + 8, data.data(), data.size());
    platform::memBlockUnlock(block);
    return block;
}

// The data of a block with size header, as its header describes it.
std::string blockData(platform::MemHandle block) {
    auto* p = static_cast<const unsigned char*>(platform::memBlockLock(block));
    std::uint32_t end;
    std::memcpy(&end, p + 4, 4);
    std::string out(reinterpret_cast<const char*>(p) + 8, end - 8);
    platform::memBlockUnlock(block);
    return out;
}

// Reads all of `data` through a memory stream, `chunk` bytes per call.
std::string readWith(std::string_view data, std::uint16_t options, std::int32_t chunk = 4096) {
    platform::MemHandle block = blockWith(data);
    BufferedFile* f = bfile::openMemory(block, 0, 0, options);
    std::string out;
    std::string piece(static_cast<std::size_t>(chunk), '\0');
    for (std::int32_t n; (n = bfile::read(f, piece.data(), chunk)) > 0;)
        out.append(piece.data(), static_cast<std::size_t>(n));
    EXPECT_FALSE(bfile::hasError(f));
    EXPECT_TRUE(bfile::atEnd(f));
    EXPECT_EQ(bfile::close(f), 0);
    platform::memBlockFree(block);
    return out;
}

// Writes `text` into a fresh memory block, `chunk` bytes per call.
std::string writeWith(std::string_view text, std::uint16_t options, std::size_t chunk = 1 << 30) {
    platform::MemHandle block = platform::memBlockAlloc(64);
    BufferedFile* f = bfile::openMemory(block, 64, 0, options);
    for (std::size_t at = 0; at < text.size(); at += chunk) {
        std::size_t n = std::min(chunk, text.size() - at);
        EXPECT_EQ(bfile::write(f, text.data() + at, static_cast<std::int32_t>(n)), 0);
    }
    EXPECT_EQ(bfile::close(f), 0);
    std::string out = blockData(block);
    platform::memBlockFree(block);
    return out;
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

// Text with runs of blanks of every length, tabs and line ends in between.
std::string blankyText(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        switch (rng() % 6) {
            case 0:
                s.append(rng() % 12, ' ');
                break;
            case 1:
                s += '\t';
                break;
            case 2:
                s += (rng() % 2) ? "\r\n" : "\n";
                break;
            default:
                s.append(rng() % 9, static_cast<char>('a' + rng() % 26));
                break;
        }
    }
    return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Text conversions on reading

TEST(BufferedFileRead, TabExpansionFillsToTheNextStop) {
    EXPECT_EQ(readWith("a\tb", kOptExpandTabs), "a       b");
    EXPECT_EQ(readWith("abcdefgh\tx", kOptExpandTabs), "abcdefgh        x");
    EXPECT_EQ(readWith("\t\tx", kOptExpandTabs), std::string(16, ' ') + "x");
    // The column restarts at every line end.
    EXPECT_EQ(readWith("abc\r\nd\te", kOptExpandTabs), "abc\r\nd       e");
    // Delivered one byte per call, the owed blanks survive between calls.
    EXPECT_EQ(readWith("ab\tc\n\tz", kOptExpandTabs, 1), "ab      c\n        z");
}

TEST(BufferedFileRead, LineEndsArriveAsCrLf) {
    const std::string_view in = "x\ny\r\rz\n\r";
    const std::string_view want = "x\r\ny\r\n\r\nz\r\n";
    EXPECT_EQ(readWith(in, kOptNormaliseLineEnds), want);
    EXPECT_EQ(readWith(in, kOptNormaliseLineEnds, 1), want);
    EXPECT_EQ(readWith("a\r\nb\n\nc", kOptNormaliseLineEnds), "a\r\nb\r\n\r\nc");
    // A line end cut off by the end of the data is completed.
    EXPECT_EQ(readWith("a\n", kOptNormaliseLineEnds), "a\r\n");
    EXPECT_EQ(readWith("a\r", kOptNormaliseLineEnds, 1), "a\r\n");
    // A CR LF split across two buffer fills is still one line end.
    std::string split(4095, 'q');
    split += "\r\nw";
    EXPECT_EQ(readWith(split, kOptNormaliseLineEnds), split);
    // Together with tab expansion.
    EXPECT_EQ(readWith("a\tb\nc\td", kOptNormaliseLineEnds | kOptExpandTabs), "a       b\r\nc       d");
}

TEST(BufferedFileRead, ConvertedReadMatchesWholeReadAcrossBufferFills) {
    std::string text = blankyText(20000, 7);
    const std::uint16_t opts = kOptExpandTabs | kOptNormaliseLineEnds | kOptOem;
    std::string whole = readWith(text, opts, 100000);
    for (std::int32_t chunk : {1, 3, 4095, 4097}) EXPECT_EQ(readWith(text, opts, chunk), whole) << chunk;
}

// ---------------------------------------------------------------------------
// Text conversions on writing

TEST(BufferedFileWrite, SpaceCompression) {
    EXPECT_EQ(writeWith("ab      ", kOptCompressTabs), "ab\t");
    EXPECT_EQ(writeWith("abcdefg ", kOptCompressTabs), "abcdefg ");
    EXPECT_EQ(writeWith("abcdef  x", kOptCompressTabs), "abcdef\tx");
    EXPECT_EQ(writeWith("                z", kOptCompressTabs), "\t\tz");
    // Blanks before a TAB vanish into it; only those of the current cell.
    EXPECT_EQ(writeWith("ab   \tc", kOptCompressTabs), "ab\tc");
    EXPECT_EQ(writeWith("abcdefg \tc", kOptCompressTabs), "abcdefg \tc");
    // Trailing blanks and blanks before a line end stay.
    EXPECT_EQ(writeWith("ab   \r\ncd   ", kOptCompressTabs), "ab   \r\ncd   ");
    // The cell restarts after a line end.
    EXPECT_EQ(writeWith("xyz\n      ab", kOptCompressTabs), "xyz\n      ab");
    EXPECT_EQ(writeWith("xyz\n        ab", kOptCompressTabs), "xyz\n\tab");
}

TEST(BufferedFileWrite, CompressionIsIndependentOfFlushBoundaries) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::string text = blankyText(30000, seed);
        std::string whole = writeWith(text, kOptCompressTabs);
        for (std::size_t chunk : {1u, 5u, 4095u, 4096u, 4097u, 10000u})
            EXPECT_EQ(writeWith(text, kOptCompressTabs, chunk), whole) << seed << "/" << chunk;
        // Compressed and original text look the same once tabs are expanded.
        EXPECT_EQ(readWith(whole, kOptExpandTabs), readWith(text, kOptExpandTabs));
        EXPECT_LT(whole.size(), text.size());
    }
    // A run of blanks cut by the end of the first buffer away from a tab
    // stop: the blanks before the cut are held back for the next flush.
    std::string text = "abc\n";
    text.append(4089, 'x');
    text.append(11, ' ');
    text += "y";
    EXPECT_EQ(writeWith(text, kOptCompressTabs, 1), writeWith(text, kOptCompressTabs));
    EXPECT_EQ(readWith(writeWith(text, kOptCompressTabs), kOptExpandTabs), text);
}

TEST(BufferedFileWrite, CrRemovalAndOemConversion) {
    EXPECT_EQ(writeWith("a\r\nb\r\r\nc\r", kOptRemoveCr), "a\nb\nc");
    EXPECT_EQ(writeWith("a  \r\n        b", kOptRemoveCr | kOptCompressTabs), "a  \n\tb");

    // Written with the OEM option, the file holds OEM bytes; read back with
    // it, the text is ANSI again.
    TempFile tmp;
    BufferedFile* f = bfile::openFile(tmp.path, nullptr, kOpenWrite | kOpenCreate, kOptOem);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(bfile::write(f,
                           "Gr\xFC\xDF"
                           "e \xC4",
                           -1),
              0);
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(getFile(tmp.path),
              "Gr\x81\xE1"
              "e \x8E");
    f = bfile::openFile(tmp.path, nullptr, kOpenRead, kOptOem);
    char back[16] = {};
    EXPECT_EQ(bfile::read(f, back, sizeof back), 7);
    EXPECT_STREQ(back,
                 "Gr\xFC\xDF"
                 "e \xC4");
    EXPECT_EQ(bfile::close(f), 0);
    // Without the option the bytes pass unchanged.
    EXPECT_EQ(readWith("\x81\xE1", 0), "\x81\xE1");
}

// ---------------------------------------------------------------------------
// Files: raw round trips, positioning, switching direction

TEST(BufferedFileDisk, RawRoundTripInOddPieces) {
    TempFile tmp;
    const std::string data = pattern(70001);
    BufferedFile* f = bfile::openFile(tmp.path, nullptr, kOpenWrite | kOpenCreate, 0);
    ASSERT_NE(f, nullptr);
    // Small pieces go through the buffer, large ones partly past it.
    const std::size_t writes[] = {333, 10000, 1, 8192, 4096};
    for (std::size_t at = 0, i = 0; at < data.size(); ++i) {
        std::size_t n = std::min(writes[i % 5], data.size() - at);
        ASSERT_EQ(bfile::write(f, data.data() + at, static_cast<std::int32_t>(n)), 0);
        at += n;
        EXPECT_EQ(bfile::tell(f), static_cast<std::int32_t>(at));
    }
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(getFile(tmp.path), data);

    platform::OpenInfo info{};
    f = bfile::openFile(tmp.path, &info, kOpenRead, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(bfile::g_openError, 0);
    EXPECT_EQ(f->driveLetter, info.pathName[0]);
    std::string back;
    std::string piece(12288, '\0');
    const std::int32_t reads[] = {4999, 3, 12288, 4096};
    for (std::int32_t n, i = 0; (n = bfile::read(f, piece.data(), reads[i % 4])) > 0; ++i) {
        back.append(piece.data(), static_cast<std::size_t>(n));
        EXPECT_EQ(bfile::tell(f), static_cast<std::int32_t>(back.size()));
    }
    EXPECT_EQ(back, data);
    // Back to a part that was delivered past the buffer.
    EXPECT_EQ(bfile::seek(f, 9000), 0);
    EXPECT_EQ(bfile::read(f, piece.data(), 5), 5);
    EXPECT_EQ(piece.substr(0, 5), data.substr(9000, 5));
    EXPECT_EQ(bfile::seek(f, 70001), 0);
    EXPECT_TRUE(bfile::atEnd(f));
    EXPECT_FALSE(bfile::hasError(f));
    EXPECT_EQ(bfile::read(f, piece.data(), 10), 0);
    char drive = f->driveLetter;
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(bfile::g_closeDrive, drive);
}

// Patches land in the buffer or on disk, copies go handle to handle or
// through the buffers: the bytes are the same either way, a large buffer
// keeps what is pending, and a copy that runs out of source fails.
TEST(BufferedFileDisk, PatchCopyAndLargeBuffer) {
    const std::string data = pattern(300001);
    for (const bool large : {false, true}) {
        TempFile from, to;
        putFile(from.path, data);
        BufferedFile* src = bfile::openFile(from.path, nullptr, kOpenRead, 0);
        BufferedFile* dst = bfile::openFile(to.path, nullptr, kOpenReadWrite | kOpenCreate, 0);
        ASSERT_NE(src, nullptr);
        ASSERT_NE(dst, nullptr);
        ASSERT_EQ(bfile::write(dst, "head", 4), 0);
        if (large) {
            ASSERT_EQ(bfile::enlargeBuffer(dst, kLargeBufferSize), 0);
        }
        // From the middle of a read-ahead buffer, to behind pending bytes.
        char piece[7];
        ASSERT_EQ(bfile::read(src, piece, 7), 7);
        ASSERT_EQ(bfile::copy(src, dst, 200000), 0);
        EXPECT_EQ(bfile::tell(src), 200007);
        ASSERT_EQ(bfile::write(dst, "tail", 4), 0);
        // One patch within the pending bytes (when the buffer is large), one long written.
        EXPECT_EQ(bfile::patch(dst, 200006, "PQ", 2), 0);
        EXPECT_EQ(bfile::patch(dst, 1, "xy", 2), 0);
        EXPECT_EQ(bfile::tell(dst), 200008);
        EXPECT_EQ(bfile::copy(src, dst, 200000), -1);  // 100 KB left
        EXPECT_TRUE(bfile::hasError(dst));
        bfile::close(src);
        bfile::close(dst);
        std::string expected = "head" + data.substr(7, 200000) + "tail";
        expected.replace(200006, 2, "PQ");
        expected.replace(1, 2, "xy");
        EXPECT_EQ(getFile(to.path).substr(0, expected.size()), expected) << large;
    }
    // Memory streams copy through their buffers.
    BufferedFile* a = bfile::openMemory(platform::memBlockAlloc(16), 0, kMemNoHeader, 0);
    BufferedFile* b = bfile::openMemory(platform::memBlockAlloc(16), 0, kMemNoHeader, 0);
    ASSERT_EQ(bfile::write(a, data.data(), 9000), 0);
    ASSERT_EQ(bfile::seek(a, 100), 0);
    ASSERT_EQ(bfile::copy(a, b, 8000), 0);
    ASSERT_EQ(bfile::seek(b, 0), 0);
    std::string back(8000, '\0');
    EXPECT_EQ(bfile::read(b, back.data(), 8000), 8000);
    EXPECT_EQ(back, data.substr(100, 8000));
    for (BufferedFile* f : {a, b}) {
        platform::MemHandle block = f->memBlock;
        bfile::close(f);
        platform::memBlockFree(block);
    }
}

TEST(BufferedFileDisk, SeekWhileReading) {
    TempFile tmp;
    const std::string data = pattern(20000);
    putFile(tmp.path, data);
    BufferedFile* f = bfile::openFile(tmp.path, nullptr, kOpenRead, 0);
    ASSERT_NE(f, nullptr);
    char got[16];
    auto readAt = [&](std::int32_t pos) {
        EXPECT_EQ(bfile::seek(f, pos), 0);
        EXPECT_EQ(bfile::tell(f), pos);
        EXPECT_EQ(bfile::read(f, got, 10), 10);
        EXPECT_EQ(std::string(got, 10), data.substr(static_cast<std::size_t>(pos), 10)) << pos;
        EXPECT_EQ(bfile::tell(f), pos + 10);
    };
    readAt(100);    // first fill
    readAt(20);     // back inside the buffer
    readAt(4090);   // straddles the end of the buffer
    readAt(15000);  // far ahead
    readAt(4100);   // back outside the buffer
    readAt(0);
    EXPECT_EQ(bfile::skip(f, 1000), 0);
    EXPECT_EQ(bfile::tell(f), 1010);
    EXPECT_EQ(bfile::skip(f, -1010), 0);
    EXPECT_EQ(bfile::tell(f), 0);
    // Seeking to the end fills nothing and reports the end at once.
    EXPECT_EQ(bfile::seek(f, 20000), 0);
    EXPECT_TRUE(bfile::atEnd(f));
    EXPECT_EQ(bfile::read(f, got, 10), 0);
    EXPECT_FALSE(bfile::hasError(f));
    // A position before the start fails and sticks.
    EXPECT_EQ(bfile::skip(f, -30000), -1);
    EXPECT_TRUE(bfile::hasError(f));
    EXPECT_EQ(bfile::close(f), -1);
}

TEST(BufferedFileDisk, SeekWhileWritingAndSwitchingDirection) {
    TempFile tmp;
    std::string data = pattern(10000);
    BufferedFile* f = bfile::openFile(tmp.path, nullptr, kOpenReadWrite | kOpenCreate, 0);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(bfile::write(f, data.data(), 5000), 0);
    EXPECT_EQ(bfile::seek(f, 100), 0);  // pending bytes written first
    EXPECT_EQ(bfile::write(f, "XYZ", 3), 0);
    EXPECT_EQ(bfile::tell(f), 103);
    EXPECT_EQ(bfile::seek(f, 5000), 0);
    EXPECT_EQ(bfile::write(f, data.data() + 5000, 5000), 0);
    data.replace(100, 3, "XYZ");

    // Reading after writing sees everything written.
    EXPECT_EQ(bfile::seek(f, 98), 0);
    char got[8] = {};
    EXPECT_EQ(bfile::read(f, got, 6), 6);
    EXPECT_EQ(std::string(got, 6), data.substr(98, 6));
    // Writing after reading continues at the logical position, not after
    // the bytes read ahead into the buffer.
    EXPECT_EQ(bfile::write(f, "!!", 2), 0);
    data.replace(104, 2, "!!");
    EXPECT_EQ(bfile::tell(f), 106);
    EXPECT_EQ(bfile::read(f, got, 2), 2);
    EXPECT_EQ(std::string(got, 2), data.substr(106, 2));
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(getFile(tmp.path), data);
}

TEST(BufferedFileDisk, TruncateEmptiesTheFile) {
    TempFile tmp;
    putFile(tmp.path, pattern(9000));
    BufferedFile* f = bfile::openFile(tmp.path, nullptr, kOpenReadWrite, 0);
    ASSERT_NE(f, nullptr);
    char got[10];
    EXPECT_EQ(bfile::read(f, got, 10), 10);
    EXPECT_EQ(bfile::truncate(f, 0), 0);
    EXPECT_EQ(bfile::tell(f), 0);
    EXPECT_EQ(bfile::write(f, "new", 3), 0);
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(getFile(tmp.path), "new");
}

TEST(BufferedFileDisk, OpenFailures) {
    EXPECT_EQ(bfile::openFile("/no/such/dir/x.vrd", nullptr, kOpenRead, 0), nullptr);
    EXPECT_NE(bfile::g_openError, 0);

    // Short of memory: no object, and a create does not empty the file first.
    TempFile tmp;
    putFile(tmp.path, "keep");
    resetOutcome();
    long before = memOutstanding();
    memFailAt(1);
    EXPECT_EQ(bfile::openFile(tmp.path, nullptr, kOpenWrite | kOpenCreate, 0), nullptr);
    EXPECT_EQ(bfile::g_openError, platform::kErrNotEnoughMemory);
    memFailAt(0);
    resetOutcome();
    EXPECT_EQ(memOutstanding(), before);
    EXPECT_EQ(getFile(tmp.path), "keep");
}

TEST(BufferedFileDisk, LockRules) {
    TempFile tmp;
    putFile(tmp.path, "0123456789");
    BufferedFile* f = bfile::openFile(tmp.path, nullptr, kOpenReadWrite, 0);
    ASSERT_NE(f, nullptr);
    char got[4] = {};
    EXPECT_EQ(bfile::read(f, got, 3), 3);
    EXPECT_EQ(bfile::lock(f, true), 0);
    EXPECT_EQ(f->locked, 1u);
    EXPECT_EQ(f->lockLength, 10);
    EXPECT_EQ(bfile::tell(f), 3);  // position restored
    // A second lock fails with code 22 and keeps the first.
    bfile::g_openError = 0;
    EXPECT_EQ(bfile::lock(f, true), -1);
    EXPECT_EQ(bfile::g_openError, 22);
    EXPECT_EQ(f->locked, 1u);
    EXPECT_FALSE(bfile::hasError(f));
    // Pending writes go out before the lock changes; writing goes on after it.
    EXPECT_EQ(bfile::write(f, "ab", 2), 0);
    EXPECT_EQ(bfile::lock(f, false), 0);
    EXPECT_EQ(f->locked, 0u);
    EXPECT_EQ(bfile::write(f, "cd", 2), 0);
    bfile::g_openError = 0;
    EXPECT_EQ(bfile::lock(f, false), -1);
    EXPECT_EQ(bfile::g_openError, 22);
    // close releases a lock still held.
    EXPECT_EQ(bfile::lock(f, true), 0);
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(getFile(tmp.path), "012abcd789");

    // An empty file is locked one byte long; memory streams need no lock.
    TempFile empty;
    f = bfile::openFile(empty.path, nullptr, kOpenReadWrite, 0);
    EXPECT_EQ(bfile::lock(f, true), 0);
    EXPECT_EQ(bfile::close(f), 0);
    BufferedFile* m = bfile::openMemory(nullptr, 0, kMemCounting, 0);
    EXPECT_EQ(bfile::lock(m, true), 0);
    EXPECT_EQ(bfile::lock(m, true), 0);
    EXPECT_EQ(bfile::close(m), 0);
    EXPECT_EQ(bfile::g_closeDrive, ' ');
}

// ---------------------------------------------------------------------------
// Memory blocks

TEST(BufferedFileMemory, HeaderModes) {
    // Header end = 8: no data, end reported by the first read.
    platform::MemHandle empty = blockWith("");
    BufferedFile* f = bfile::openMemory(empty, 0, 0, 0);
    ASSERT_NE(f, nullptr);
    char got[8];
    EXPECT_EQ(bfile::read(f, got, 8), 0);
    EXPECT_TRUE(bfile::atEnd(f));
    EXPECT_FALSE(bfile::hasError(f));
    EXPECT_EQ(bfile::close(f), 0);
    platform::memBlockFree(empty);

    // A header that claims more than the block holds is held to the block.
    platform::MemHandle lying = blockWith("abcdef");
    auto* p = static_cast<unsigned char*>(platform::memBlockLock(lying));
    std::uint32_t huge = 0x7FFFFFF0;
    std::memcpy(p, &huge, 4);
    std::memcpy(p + 4, &huge, 4);
    platform::memBlockUnlock(lying);
    f = bfile::openMemory(lying, 0, 0, 0);
    char all[100];
    EXPECT_EQ(bfile::read(f, all, 100), 6);
    EXPECT_EQ(bfile::close(f), 0);
    platform::memBlockFree(lying);

    // Without header: size 0 is an empty stream of capacity 16, otherwise
    // the whole block is data.
    platform::MemHandle raw = platform::memBlockAlloc(5);
    std::memcpy(platform::memBlockLock(raw), "hello", 5);
    platform::memBlockUnlock(raw);
    f = bfile::openMemory(raw, 5, kMemNoHeader, 0);
    EXPECT_EQ(bfile::read(f, all, 100), 5);
    EXPECT_EQ(std::string(all, 5), "hello");
    EXPECT_EQ(bfile::close(f), 0);
    f = bfile::openMemory(raw, 0, kMemNoHeader, 0);
    EXPECT_EQ(f->memEnd, 0u);
    EXPECT_EQ(bfile::read(f, all, 100), 0);
    EXPECT_EQ(bfile::write(f, "xy", 2), 0);
    EXPECT_EQ(bfile::close(f), 0);  // no header written
    EXPECT_EQ(std::memcmp(platform::memBlockLock(raw), "xyllo", 5), 0);
    platform::memBlockUnlock(raw);
    platform::memBlockFree(raw);

    // No block to lock.
    EXPECT_EQ(bfile::openMemory(nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(bfile::g_openError, 7);
}

TEST(BufferedFileMemory, BlockGrowsInSteps) {
    platform::MemHandle block = platform::memBlockAlloc(16);
    BufferedFile* f = bfile::openMemory(block, 16, 0, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->memEnd, 8u);
    const std::string data = pattern(300000);
    // Each full buffer is flushed: capacity + max(4096, min(capacity, 65536)).
    ASSERT_EQ(bfile::write(f, data.data(), 4096), 0);
    EXPECT_EQ(f->memCapacity, 16u + 4096u);
    ASSERT_EQ(bfile::write(f, data.data() + 4096, 4096), 0);
    EXPECT_EQ(f->memCapacity, 4112u + 4112u);
    ASSERT_EQ(bfile::write(f, data.data() + 8192, static_cast<std::int32_t>(data.size() - 8192)), 0);
    EXPECT_EQ(bfile::close(f), 0);
    auto* p = static_cast<const unsigned char*>(platform::memBlockLock(block));
    std::uint32_t capacity;
    std::memcpy(&capacity, p, 4);
    platform::memBlockUnlock(block);
    EXPECT_GE(capacity, 300008u);
    EXPECT_LT(capacity, 300008u + 65536u);  // the step stops growing at 64 KiB
    EXPECT_EQ(blockData(block), data);
    platform::memBlockFree(block);
}

TEST(BufferedFileMemory, CountingStreamMeasures) {
    BufferedFile* f = bfile::openMemory(nullptr, 0, kMemCounting, 0);
    ASSERT_NE(f, nullptr);
    const std::string data = pattern(10000);
    EXPECT_EQ(bfile::write(f, data.data(), 10000), 0);
    EXPECT_EQ(bfile::tell(f), 10000);
    EXPECT_EQ(bfile::seek(f, 10), 0);
    EXPECT_EQ(bfile::write(f, "abc", 3), 0);
    EXPECT_EQ(bfile::seek(f, 10000), 0);
    EXPECT_EQ(f->memEnd, 10008u);
    char got[4];
    EXPECT_EQ(bfile::read(f, got, 4), -1);  // nothing to read from
    EXPECT_EQ(bfile::close(f), -1);
}

TEST(BufferedFileMemory, SeekInsideTheBufferDoesNoIo) {
    const std::string data = pattern(10000);
    platform::MemHandle block = blockWith(data);
    BufferedFile* f = bfile::openMemory(block, 0, 0, 0);
    char got[4];
    EXPECT_EQ(bfile::read(f, got, 4), 4);
    // Change the block under the stream: a seek inside the buffer still
    // delivers the buffered bytes, one outside it the new ones.
    f->memBase[8 + 50] = 'Q';
    f->memBase[8 + 5000] = 'R';
    EXPECT_EQ(bfile::seek(f, 50), 0);
    EXPECT_EQ(bfile::read(f, got, 1), 1);
    EXPECT_EQ(got[0], data[50]);
    EXPECT_EQ(bfile::seek(f, 5000), 0);
    EXPECT_EQ(bfile::read(f, got, 1), 1);
    EXPECT_EQ(got[0], 'R');
    // Skipping stays within the data: past the end it positions at 0 and
    // fails; to the end it is fine and reads nothing.
    EXPECT_EQ(bfile::skip(f, 10000 - 5001), 0);
    EXPECT_EQ(bfile::read(f, got, 1), 0);
    EXPECT_EQ(bfile::seek(f, 9990), 0);
    EXPECT_EQ(bfile::skip(f, 11), -1);
    EXPECT_EQ(bfile::tell(f), 0);
    EXPECT_TRUE(bfile::hasError(f));
    EXPECT_EQ(bfile::close(f), -1);
    // An absolute position beyond the end is taken; reading there fails.
    f = bfile::openMemory(block, 0, 0, 0);
    EXPECT_EQ(bfile::seek(f, 20000), 0);
    EXPECT_EQ(bfile::read(f, got, 1), -1);
    EXPECT_TRUE(bfile::hasError(f));
    EXPECT_EQ(bfile::close(f), -1);
    platform::memBlockFree(block);
}

TEST(BufferedFileMemory, WritePositioningAndTruncate) {
    platform::MemHandle block = platform::memBlockAlloc(100);
    BufferedFile* f = bfile::openMemory(block, 100, 0, 0);
    EXPECT_EQ(bfile::write(f, "0123456789", 10), 0);
    EXPECT_EQ(bfile::seek(f, 2), 0);
    EXPECT_EQ(bfile::write(f, "ab", 2), 0);
    // A write past the end leaves zeros in the gap.
    EXPECT_EQ(bfile::seek(f, 14), 0);
    EXPECT_EQ(bfile::write(f, "z", 1), 0);
    EXPECT_EQ(bfile::tell(f), 15);
    // Truncating cuts the end and keeps the position inside the data.
    EXPECT_EQ(bfile::truncate(f, 12), 0);
    EXPECT_EQ(bfile::tell(f), 12);
    EXPECT_EQ(bfile::write(f, "!", 1), 0);
    EXPECT_EQ(bfile::seek(f, 0), 0);
    EXPECT_EQ(bfile::truncate(f, 6), 0);
    EXPECT_EQ(bfile::tell(f), 0);
    // It never lengthens.
    EXPECT_EQ(bfile::truncate(f, 50), 0);
    EXPECT_EQ(f->memEnd, 14u);
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(blockData(block), "01ab45");
    platform::memBlockFree(block);

    block = platform::memBlockAlloc(100);
    std::memset(platform::memBlockLock(block), 'S', 100);  // stale bytes
    platform::memBlockUnlock(block);
    f = bfile::openMemory(block, 100, 0, 0);
    EXPECT_EQ(bfile::seek(f, 3), 0);
    EXPECT_EQ(bfile::write(f, "z", 1), 0);
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(blockData(block), std::string("\0\0\0z", 4));
    platform::memBlockFree(block);
}

// ---------------------------------------------------------------------------
// Integers

TEST(BufferedFileIntegers, WidthsAndSurplusBytes) {
    platform::MemHandle block = platform::memBlockAlloc(64);
    BufferedFile* f = bfile::openMemory(block, 64, 0, 0);
    EXPECT_EQ(bfile::writeUnsigned(f, 0xABCD1234, 2), 0);  // low bytes, zero padded
    EXPECT_EQ(bfile::writeSigned(f, -2, 2), 0);            // sign padded
    EXPECT_EQ(bfile::writeSigned(f, 0x8000, 2), 0);        // negative as 2 bytes
    EXPECT_EQ(bfile::writeSigned(f, 0x7FFF, 2), 0);
    EXPECT_EQ(bfile::writeUnsigned(f, 0xFFFFFFFF, 4), 0);
    EXPECT_EQ(bfile::writeUnsigned(f, 1, 5), -1);
    EXPECT_EQ(bfile::writeSigned(f, 1, 0), -1);
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(blockData(block), std::string("\x34\x12\0\0"
                                            "\xFE\xFF\xFF\xFF"
                                            "\0\x80\xFF\xFF"
                                            "\xFF\x7F\0\0"
                                            "\xFF\xFF\xFF\xFF",
                                            20));
    platform::memBlockFree(block);

    block =
        blockWith(std::string("\x34\x12\0\0"
                              "\x34\x12\x01\0"
                              "\xFE\xFF\xFF\xFF"
                              "\xFE\xFF\0\0"
                              "\0\x80\xFF\xFF"
                              "\xFE\xFF"
                              "\xFE\xFF"
                              "\x80"
                              "\x01\x02\x03",
                              28));
    f = bfile::openMemory(block, 0, 0, 0);
    std::uint16_t u16 = 0;
    std::int16_t s16 = 0;
    std::uint32_t u32 = 0;
    std::int32_t s32 = 0;
    std::int64_t s64 = 0;
    EXPECT_EQ(bfile::readUnsigned(f, &u16, 2, 4), 0);
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(bfile::readUnsigned(f, &u16, 2, 4), -1);  // surplus byte not zero
    EXPECT_EQ(bfile::readSigned(f, &s16, 2, 4), 0);
    EXPECT_EQ(s16, -2);
    EXPECT_EQ(bfile::readSigned(f, &s16, 2, 4), -1);  // surplus bytes differ from the sign
    EXPECT_EQ(bfile::readSigned(f, &s16, 2, 4), 0);
    EXPECT_EQ(s16, -32768);
    EXPECT_EQ(bfile::readUnsigned(f, &u32, 4, 2), 0);  // narrow field, zero widened
    EXPECT_EQ(u32, 0xFFFEu);
    EXPECT_EQ(bfile::readSigned(f, &s32, 4, 2), 0);  // sign widened
    EXPECT_EQ(s32, -2);
    EXPECT_EQ(bfile::readSigned(f, &s64, 8, 1), 0);
    EXPECT_EQ(s64, -128);
    EXPECT_EQ(bfile::readUnsigned(f, &u32, 4, 4), -1);  // only 3 bytes left
    EXPECT_TRUE(bfile::atEnd(f));
    EXPECT_EQ(bfile::readUnsigned(f, &u32, 0, 4), -1);
    EXPECT_EQ(bfile::readUnsigned(f, nullptr, 4, 4), -1);
    EXPECT_EQ(bfile::close(f), 0);
    platform::memBlockFree(block);
}

// ---------------------------------------------------------------------------
// Errors

TEST(BufferedFileErrors, ErrorBitSticks) {
    TempFile tmp;
    putFile(tmp.path, "data");
    // Reading a handle opened for writing only fails.
    BufferedFile* f = bfile::openFile(tmp.path, nullptr, kOpenWrite, 0);
    ASSERT_NE(f, nullptr);
    char got[4];
    EXPECT_EQ(bfile::read(f, got, 4), -1);
    EXPECT_TRUE(bfile::hasError(f));
    EXPECT_EQ(bfile::write(f, "x", 1), -1);
    EXPECT_EQ(bfile::seek(f, 0), -1);
    EXPECT_EQ(bfile::read(f, got, 0), -1);
    EXPECT_TRUE(bfile::hasError(f));
    EXPECT_EQ(bfile::close(f), -1);
    EXPECT_EQ(getFile(tmp.path), "data");

    // An error in the middle of writing: the rest is refused, close reports.
    platform::MemHandle block = platform::memBlockAlloc(64);
    f = bfile::openMemory(block, 64, 0, 0);
    EXPECT_EQ(bfile::write(f, "abc", 3), 0);
    EXPECT_EQ(bfile::truncate(f, -1), -1);
    EXPECT_EQ(bfile::write(f, "def", 3), -1);
    EXPECT_EQ(bfile::close(f), -1);
    platform::memBlockFree(block);
}

TEST(BufferedFileErrors, NullFile) {
    char got[4];
    std::uint32_t v;
    EXPECT_EQ(bfile::close(nullptr), -1);
    EXPECT_EQ(bfile::truncate(nullptr, 0), -1);
    EXPECT_EQ(bfile::write(nullptr, "x", 1), -1);
    EXPECT_EQ(bfile::writeUnsigned(nullptr, 1, 4), -1);
    EXPECT_EQ(bfile::writeSigned(nullptr, 1, 4), -1);
    EXPECT_EQ(bfile::read(nullptr, got, 4), -1);
    EXPECT_EQ(bfile::readUnsigned(nullptr, &v, 4, 4), -1);
    EXPECT_EQ(bfile::readSigned(nullptr, &v, 4, 4), -1);
    EXPECT_EQ(bfile::tell(nullptr), -1);
    EXPECT_EQ(bfile::seek(nullptr, 0), -1);
    EXPECT_EQ(bfile::skip(nullptr, 0), -1);
    EXPECT_TRUE(bfile::hasError(nullptr));
    EXPECT_TRUE(bfile::atEnd(nullptr));
    EXPECT_EQ(bfile::lock(nullptr, true), -1);
}

TEST(BufferedFileErrors, WriteArguments) {
    platform::MemHandle block = platform::memBlockAlloc(64);
    BufferedFile* f = bfile::openMemory(block, 64, 0, 0);
    EXPECT_EQ(bfile::write(f, "string", -1), 0);
    EXPECT_EQ(bfile::write(f, nullptr, -1), 0);
    EXPECT_EQ(bfile::write(f, nullptr, 5), 0);
    EXPECT_EQ(bfile::write(f, "xyz", 0), 0);
    EXPECT_EQ(bfile::close(f), 0);
    EXPECT_EQ(blockData(block), "string");
    platform::memBlockFree(block);
}
