// The platform layer's contract; the same cases run natively and under Wine,
// where the real Win32 calls are the reference.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"

using namespace platform;

namespace {

struct TempFile {
    char path[kMaxPath] = {};
    TempFile() { EXPECT_TRUE(tempFileName("vrd", path)); }
    ~TempFile() { deleteFile(path); }
};

std::string contents(const char* path) {
    OpenInfo info;
    FileHandle f = openFile(path, &info, kOpenRead);
    if (f == kInvalidFile) return "<unopenable>";
    std::string out;
    char buffer[512];
    std::int32_t n;
    while ((n = readFile(f, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
    closeFile(f);
    return out;
}

}  // namespace

TEST(PlatformFile, CreateWriteSeekTruncateRead) {
    TempFile tmp;
    OpenInfo info;
    FileHandle f = openFile(tmp.path, &info, kOpenReadWrite | kOpenCreate);
    ASSERT_NE(f, kInvalidFile);
    EXPECT_EQ(info.errorCode, 0);
    EXPECT_EQ(writeFile(f, "hello world", 11), 11);
    EXPECT_EQ(seekFile(f, 0, SeekOrigin::end), 11);
    EXPECT_EQ(seekFile(f, 5, SeekOrigin::begin), 5);
    EXPECT_TRUE(truncateFile(f));
    EXPECT_EQ(seekFile(f, 0, SeekOrigin::begin), 0);
    char buffer[16] = {};
    EXPECT_EQ(readFile(f, buffer, sizeof buffer), 5);
    EXPECT_EQ(readFile(f, buffer, sizeof buffer), 0);  // end of file is not an error
    EXPECT_TRUE(closeFile(f));
    EXPECT_EQ(contents(tmp.path), "hello");
}

TEST(PlatformFile, CreateTruncatesAnExistingFile) {
    TempFile tmp;
    OpenInfo info;
    FileHandle f = openFile(tmp.path, &info, kOpenWrite | kOpenCreate);
    ASSERT_NE(f, kInvalidFile);
    writeFile(f, "0123456789", 10);
    closeFile(f);
    f = openFile(tmp.path, &info, kOpenWrite | kOpenCreate);
    ASSERT_NE(f, kInvalidFile);
    writeFile(f, "ab", 2);
    closeFile(f);
    EXPECT_EQ(contents(tmp.path), "ab");
}

TEST(PlatformFile, OpenErrorsCarryTheSystemCodeAndFullPath) {
    OpenInfo info;
    char missing[kMaxPath];
    ASSERT_TRUE(tempFileName("vrd", missing));
    deleteFile(missing);
    EXPECT_EQ(openFile(missing, &info, kOpenRead), kInvalidFile);
    EXPECT_EQ(info.errorCode, kErrFileNotFound);
    EXPECT_STREQ(info.pathName, missing);

    std::string inMissingDir = std::string(missing) + "/sub/file.vrd";
    EXPECT_EQ(openFile(inMissingDir.c_str(), &info, kOpenRead), kInvalidFile);
    EXPECT_EQ(info.errorCode, kErrPathNotFound);
    EXPECT_EQ(lastError(), kErrPathNotFound);

    char full[kMaxPath];
    ASSERT_TRUE(fullPath("relative.vrd", full));
    EXPECT_NE(std::strstr(full, "relative.vrd"), nullptr);
    EXPECT_NE(std::strcmp(full, "relative.vrd"), 0);
}

TEST(PlatformFile, ShareModesRefuseConflictingOpens) {
    TempFile tmp;
    OpenInfo info;
    FileHandle holder = openFile(tmp.path, &info, kOpenReadWrite | kShareDenyWrite);
    ASSERT_NE(holder, kInvalidFile);
    // Another writer is refused with a sharing violation; a reader is not.
    EXPECT_EQ(openFile(tmp.path, &info, kOpenWrite | kShareDenyNone), kInvalidFile);
    EXPECT_EQ(info.errorCode, kErrSharingViolation);
    FileHandle reader = openFile(tmp.path, &info, kOpenRead | kShareDenyNone);
    EXPECT_NE(reader, kInvalidFile);
    if (reader != kInvalidFile) closeFile(reader);
    closeFile(holder);

    FileHandle exclusive = openFile(tmp.path, &info, kOpenReadWrite | kShareExclusive);
    ASSERT_NE(exclusive, kInvalidFile);
    EXPECT_EQ(openFile(tmp.path, &info, kOpenRead | kShareDenyNone), kInvalidFile);
    EXPECT_EQ(info.errorCode, kErrSharingViolation);
    closeFile(exclusive);
    FileHandle again = openFile(tmp.path, &info, kOpenRead | kShareDenyNone);
    EXPECT_NE(again, kInvalidFile);
    if (again != kInvalidFile) closeFile(again);
}

TEST(PlatformFile, LockAndUnlockRanges) {
    TempFile tmp;
    OpenInfo info;
    FileHandle f = openFile(tmp.path, &info, kOpenReadWrite);
    ASSERT_NE(f, kInvalidFile);
    EXPECT_TRUE(lockFile(f, 0, 1));
    EXPECT_TRUE(unlockFile(f, 0, 1));
    EXPECT_TRUE(lockFile(f, 0, 100));
    EXPECT_TRUE(unlockFile(f, 0, 100));
    closeFile(f);
}

TEST(PlatformFile, TimesExistenceRenameDelete) {
    TempFile tmp;
    OpenInfo info;
    FileHandle f = openFile(tmp.path, &info, kOpenReadWrite);
    ASSERT_NE(f, kInvalidFile);
    // 2001-09-09 01:46:40 UTC, to the second.
    const std::uint64_t stamp = 116444736000000000ULL + 1000000000ULL * 10000000ULL;
    EXPECT_TRUE(setFileTime(f, stamp));
    std::uint64_t read = 0;
    EXPECT_TRUE(getFileTime(f, &read));
    EXPECT_EQ(read, stamp);
    closeFile(f);
    EXPECT_TRUE(getFileTimeByName(tmp.path, &read));
    EXPECT_EQ(read, stamp);

    std::string renamed = std::string(tmp.path) + ".ren";
    EXPECT_TRUE(fileExists(tmp.path));
    EXPECT_TRUE(renameFile(tmp.path, renamed.c_str()));
    EXPECT_FALSE(fileExists(tmp.path));
    EXPECT_TRUE(fileExists(renamed.c_str()));
    // Renaming onto an existing file fails and keeps both.
    TempFile other;
    EXPECT_FALSE(renameFile(renamed.c_str(), other.path));
    EXPECT_TRUE(fileExists(renamed.c_str()));
    EXPECT_TRUE(deleteFile(renamed.c_str()));
    EXPECT_FALSE(deleteFile(renamed.c_str()));
}

TEST(PlatformFile, TempNamesAreUniqueAndCarryThePrefix) {
    TempFile a, b;
    EXPECT_STRNE(a.path, b.path);
    EXPECT_TRUE(fileExists(a.path));
    const char* base = std::strrchr(a.path, '/');
    const char* base2 = std::strrchr(a.path, '\\');
    if (!base || (base2 && base2 > base)) base = base2;
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(std::strncmp(base + 1, "vrd", 3), 0);
}

TEST(PlatformMemory, BlocksGrowKeepContentsAndZeroFill) {
    // Small and large blocks (large ones are mappings of their own): every
    // step keeps the bytes below both sizes and zero-fills what it adds,
    // also after a shrink left old bytes in the last page.
    const std::uint32_t sizes[] = {16,       70000, 5u << 20, 9u << 20, (4u << 20) + 100,
                                   6u << 20, 1000,  12u << 20};
    MemHandle block = memBlockAlloc(sizes[0]);
    ASSERT_NE(block, nullptr);
    std::uint32_t previous = 0;
    for (std::uint32_t size : sizes) {
        if (previous) block = memBlockReAlloc(block, size);
        ASSERT_NE(block, nullptr) << size;
        EXPECT_GE(memBlockSize(block), size);
        auto* p = static_cast<unsigned char*>(memBlockLock(block));
        ASSERT_NE(p, nullptr);
        const std::uint32_t kept = previous < size ? previous : size;
        for (std::uint32_t i = 0; i < kept; i += 997)
            ASSERT_EQ(p[i], static_cast<unsigned char>(i * 7 + 1)) << size;
        for (std::uint32_t i = (kept + 996) / 997 * 997; i < size; i += 997)
            ASSERT_EQ(p[i], 0) << size << " at " << i;
        EXPECT_EQ(p[size - 1], 0) << size;
        for (std::uint32_t i = 0; i < size; i += 997) p[i] = static_cast<unsigned char>(i * 7 + 1);
        p[size - 1] = 0;
        memBlockUnlock(block);
        previous = size;
    }
    EXPECT_EQ(memBlockFree(block), nullptr);
}

TEST(PlatformCodePage, OemAndAnsiConvertTheWorkstationCharacters) {
    // u umlaut, a umlaut, sharp s, e acute in code page 850 and 1252.
    char oem[] = "\x81\x84\xe1\x82 plain";
    platform::oemToAnsi(oem, std::strlen(oem));
    EXPECT_STREQ(oem, "\xfc\xe4\xdf\xe9 plain");
    platform::ansiToOem(oem, std::strlen(oem));
    EXPECT_STREQ(oem, "\x81\x84\xe1\x82 plain");
    // Code page 850 has o slash at 0x9B where 437 has the cent sign.
    char slash[] = "\x9b";
    platform::oemToAnsi(slash, 1);
    EXPECT_EQ(static_cast<unsigned char>(slash[0]), 0xf8);
    // ASCII is untouched both ways.
    char ascii[128];
    for (int i = 0; i < 128; ++i) ascii[i] = static_cast<char>(i);
    platform::oemToAnsi(ascii, 128);
    platform::ansiToOem(ascii, 128);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(ascii[i], static_cast<char>(i));
}

TEST(PlatformEnvironment, SetGetAndTooSmallBuffers) {
    ASSERT_TRUE(setEnv("KORRIN_TEST_VAR", "value"));
    char buffer[16];
    EXPECT_EQ(getEnv("KORRIN_TEST_VAR", buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "value");
    char tiny[3] = "xx";
    EXPECT_EQ(getEnv("KORRIN_TEST_VAR", tiny, sizeof tiny), 5);
    EXPECT_STREQ(tiny, "");
    EXPECT_TRUE(setEnv("KORRIN_TEST_VAR", nullptr));
    EXPECT_EQ(getEnv("KORRIN_TEST_VAR", buffer, sizeof buffer), -1);
    EXPECT_EQ(loadLibrary("korrin-no-such-library.dll"), nullptr);
}
