// The private-profile calls of the platform layer. The same cases run
// natively against the POSIX stand-in and under Wine against the real
// Win32 calls, which are the reference.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/config/temp_ini.h"

using namespace platform;

namespace {

std::string get(const char* section, const char* key, const char* def, const char* path,
                std::uint32_t size = 256, std::uint32_t* count = nullptr) {
    std::string buffer(size + 2, '#');
    std::uint32_t n = profileGetString(section, key, def, buffer.data(), size, path);
    if (count) *count = n;
    return std::string(buffer.c_str());
}

// A NUL-separated list as "a|b|c" (up to the double NUL).
std::string list(const char* buffer, std::uint32_t n) {
    std::string out;
    for (std::uint32_t i = 0; i < n; ++i) out += buffer[i] ? buffer[i] : '|';
    return out;
}

const char* kSample =
    "; leading comment\r\n"
    "[Colours]\r\n"
    "Red = 1\r\n"
    "  Green=  two words  \r\n"
    "Blue=\r\n"
    "NoValue\r\n"
    ";Hidden=yes\r\n"
    "Single='quoted'\r\n"
    "Double=\"dq\"\r\n"
    "Apos=''\r\n"
    "Lone='\r\n"
    "Mixed='x\"\r\n"
    "[ spaced ]\r\n"
    "k=v\r\n"
    "[colours]\r\n"
    "Red=second section\r\n"
    "Extra=only here\r\n";

}  // namespace

TEST(Profile, MissingFileAndSectionGiveTheDefault) {
    TempIni ini;
    char missing[kMaxPath + 8];
    std::snprintf(missing, sizeof missing, "%s.none", ini.path());
    std::uint32_t n = 0;
    EXPECT_EQ(get("S", "K", "fallback", missing, 256, &n), "fallback");
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(profileGetInt("S", "K", 42, missing), 42);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(profileGetString(nullptr, nullptr, "x", buffer, sizeof buffer, missing), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_FALSE(fileExists(missing));

    ini.write(kSample);
    EXPECT_EQ(get("Nowhere", "Red", "d", ini.path()), "d");
    EXPECT_EQ(get("Colours", "Nowhere", "d", ini.path()), "d");
    EXPECT_EQ(get("Colours", "Nowhere", nullptr, ini.path()), "");
    // The key list of a missing section is the default.
    EXPECT_EQ(get("Nowhere", nullptr, "d", ini.path()), "d");
}

TEST(Profile, NamesIgnoreCaseAndBlanksValuesAreTrimmed) {
    TempIni ini(kSample);
    EXPECT_EQ(get("colours", "RED", "d", ini.path()), "1");
    EXPECT_EQ(get("  COLOURS ", " red ", "d", ini.path()), "1");
    EXPECT_EQ(get("Colours", "green", "d", ini.path()), "two words");
    EXPECT_EQ(get("Spaced", "K", "d", ini.path()), "v");
    // Only the first section of a name counts.
    EXPECT_EQ(get("Colours", "Extra", "d", ini.path()), "d");
}

TEST(Profile, EmptyValuesKeysWithoutValueAndComments) {
    TempIni ini(kSample);
    std::uint32_t n = 99;
    EXPECT_EQ(get("Colours", "Blue", "d", ini.path(), 256, &n), "");
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(profileGetInt("Colours", "Blue", 7, ini.path()), 7);
    EXPECT_EQ(get("Colours", "NoValue", "d", ini.path()), "d");
    // A comment line can be read by its full name but is never listed.
    EXPECT_EQ(get("Colours", ";Hidden", "d", ini.path()), "yes");
    char buffer[512];
    n = profileGetString("Colours", nullptr, "", buffer, sizeof buffer, ini.path());
    EXPECT_EQ(list(buffer, n), "Red|Green|Blue|Single|Double|Apos|Lone|Mixed|");
    EXPECT_EQ(buffer[n], 0);
    n = profileGetString(nullptr, nullptr, "", buffer, sizeof buffer, ini.path());
    EXPECT_EQ(list(buffer, n), "Colours|spaced|colours|");
    EXPECT_EQ(buffer[n], 0);
}

TEST(Profile, QuotesAreStrippedOnReadAndKeptInTheSectionListing) {
    TempIni ini(kSample);
    EXPECT_EQ(get("Colours", "Single", "d", ini.path()), "quoted");
    EXPECT_EQ(get("Colours", "Double", "d", ini.path()), "dq");
    EXPECT_EQ(get("Colours", "Apos", "d", ini.path()), "");
    EXPECT_EQ(get("Colours", "Lone", "d", ini.path()), "'");
    EXPECT_EQ(get("Colours", "Mixed", "d", ini.path()), "'x\"");
    // The default loses its trailing blanks and its quotes too.
    EXPECT_EQ(get("Colours", "Nowhere", "'dflt'  ", ini.path()), "dflt");
    EXPECT_EQ(get("Colours", "Nowhere", "a b  ", ini.path()), "a b");

    char buffer[512];
    std::uint32_t n = profileGetSection("COLOURS", buffer, sizeof buffer, ini.path());
    EXPECT_EQ(list(buffer, n),
              "Red=1|Green=two words|Blue=|NoValue|Single='quoted'|Double=\"dq\"|Apos=''|Lone='|Mixed='x\"|");
    EXPECT_EQ(profileGetSection("Nowhere", buffer, sizeof buffer, ini.path()), 0u);
    EXPECT_EQ(buffer[0], 0);
}

TEST(Profile, LongValuesAndShortBuffers) {
    std::string value(5000, 'v');
    value[4999] = 'z';
    TempIni ini("[S]\r\nlong=" + value + "\r\n[Another]\r\nk=1\r\n");
    std::uint32_t n = 0;
    EXPECT_EQ(get("S", "long", "", ini.path(), 8000, &n), value);
    EXPECT_EQ(n, 5000u);
    EXPECT_EQ(get("S", "long", "", ini.path(), 10, &n), "vvvvvvvvv");
    EXPECT_EQ(n, 9u);
    EXPECT_EQ(get("S", "missing", "defaultvalue", ini.path(), 5, &n), "defa");
    EXPECT_EQ(n, 4u);
    // A cut list returns size-2.
    char buffer[8];
    n = profileGetString(nullptr, nullptr, "", buffer, 6, ini.path());
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(buffer), "S");
    EXPECT_EQ(std::string(buffer + 2), "An");
}

TEST(Profile, IntegersFollowThePlatformRules) {
    TempIni ini(
        "[N]\r\ndec=42\r\nneg= -12abc\r\nhex=0x1F\r\nupper=0X1F\r\noct=0o17\r\nbin=0b101\r\nword=abc\r\n"
        "quoted='7'\r\nplus=+5\r\n");
    EXPECT_EQ(profileGetInt("N", "dec", 0, ini.path()), 42);
    EXPECT_EQ(profileGetInt("N", "neg", 0, ini.path()), -12);
    EXPECT_EQ(profileGetInt("N", "hex", 0, ini.path()), 31);
    EXPECT_EQ(profileGetInt("N", "upper", 5, ini.path()), 0);
    EXPECT_EQ(profileGetInt("N", "oct", 0, ini.path()), 15);
    EXPECT_EQ(profileGetInt("N", "bin", 0, ini.path()), 5);
    EXPECT_EQ(profileGetInt("N", "word", 5, ini.path()), 0);
    EXPECT_EQ(profileGetInt("N", "quoted", 0, ini.path()), 7);
    EXPECT_EQ(profileGetInt("N", "plus", 0, ini.path()), 5);
    EXPECT_EQ(profileGetInt("N", "absent", -1, ini.path()), -1);
}

TEST(Profile, LineEndsAndOddBytes) {
    TempIni ini("[A]\rk=cr only\r[B]\rk=2\r");
    EXPECT_EQ(get("A", "k", "d", ini.path()), "cr only");
    EXPECT_EQ(get("B", "k", "d", ini.path()), "2");
    ini.write("[A]\nk=lf only\nt=\ttabbed\t\n[B]\nk=\x1Avalue\x1A\n");
    EXPECT_EQ(get("A", "k", "d", ini.path()), "lf only");
    EXPECT_EQ(get("A", "t", "d", ini.path()), "tabbed");
    EXPECT_EQ(get("B", "k", "d", ini.path()), "value");
    ini.write("[A]\r\nk=no line end");
    EXPECT_EQ(get("A", "k", "d", ini.path()), "no line end");
    ini.write("[unclosed\r\nk=1\r\n[A]b\r\nk=2\r\n");
    EXPECT_EQ(get("A", "k", "d", ini.path()), "2");
}

TEST(Profile, WritingCreatesReplacesAndDeletes) {
    TempIni ini;
    deleteFile(ini.path());
    EXPECT_TRUE(profileWriteString("First", "Key", "  spaced value  ", ini.path()));
    EXPECT_TRUE(fileExists(ini.path()));
    EXPECT_EQ(ini.read(), "[First]\r\nKey=spaced value  \r\n");
    EXPECT_EQ(get("First", "Key", "d", ini.path()), "spaced value");
    EXPECT_TRUE(profileWriteString("first", "KEY", "new", ini.path()));
    EXPECT_TRUE(profileWriteString("Second", "A", "1", ini.path()));
    EXPECT_TRUE(profileWriteString("FIRST", "Other", "\"quoted\"", ini.path()));
    EXPECT_EQ(ini.read(), "[First]\r\nKey=new\r\nOther=\"quoted\"\r\n[Second]\r\nA=1\r\n");
    EXPECT_EQ(get("First", "Other", "d", ini.path()), "quoted");

    EXPECT_TRUE(profileWriteString("First", "Key", nullptr, ini.path()));
    EXPECT_EQ(get("First", "Key", "gone", ini.path()), "gone");
    EXPECT_TRUE(profileWriteString("First", "NotThere", nullptr, ini.path()));
    EXPECT_TRUE(profileWriteString("second", nullptr, nullptr, ini.path()));
    EXPECT_EQ(ini.read(), "[First]\r\nOther=\"quoted\"\r\n");
    EXPECT_FALSE(profileWriteString(nullptr, nullptr, nullptr, ini.path()));
    EXPECT_FALSE(profileWriteString(nullptr, "K", "V", ini.path()));

    // Comments and keys before the first section survive a rewrite.
    ini.write("top=1\r\n; note\r\n[S]\r\n;c=1\r\nk=1\r\n");
    EXPECT_TRUE(profileWriteString("S", "k", "2", ini.path()));
    EXPECT_EQ(ini.read(), "top=1\r\n; note\r\n[S]\r\n;c=1\r\nk=2\r\n");
    EXPECT_EQ(get("", "top", "d", ini.path()), "1");
}

TEST(Profile, FileInAMissingDirectory) {
    TempIni ini;
    char path[kMaxPath + 32];
#ifdef _WIN32
    std::snprintf(path, sizeof path, "%s.dir\\x.ini", ini.path());
#else
    std::snprintf(path, sizeof path, "%s.dir/x.ini", ini.path());
#endif
    EXPECT_EQ(get("S", "K", "d", path), "d");
    EXPECT_EQ(profileGetInt("S", "K", 3, path), 3);
    EXPECT_FALSE(profileWriteString("S", "K", "V", path));
}

TEST(Profile, NameWithoutDirectoryLivesInTheWindowsDirectory) {
#ifndef _WIN32
    // The stand-in's Windows directory follows KORRIN_WINDIR: keep the test
    // inside the temporary directory.
    char windir[kMaxPath];
    ASSERT_TRUE(tempFileName("vrd", windir));
    deleteFile(windir);
    *std::strrchr(windir, '/') = 0;
    setEnv("KORRIN_WINDIR", windir);
#endif
    char dir[kMaxPath];
    ASSERT_TRUE(windowsDirectory(dir));
    char name[64];
    char tmp[kMaxPath];
    ASSERT_TRUE(tempFileName("vrd", tmp));
    deleteFile(tmp);
    const char* base = tmp + std::strlen(tmp);
    while (base > tmp && base[-1] != '/' && base[-1] != '\\') --base;
    std::snprintf(name, sizeof name, "%s.ini", base);
    ASSERT_TRUE(profileWriteString("S", "K", "V", name));
    char full[kMaxPath + 80];
#ifdef _WIN32
    std::snprintf(full, sizeof full, "%s\\%s", dir, name);
#else
    std::snprintf(full, sizeof full, "%s/%s", dir, name);
#endif
    EXPECT_TRUE(fileExists(full));
    EXPECT_EQ(get("S", "K", "d", name), "V");
    EXPECT_EQ(get("S", "K", "d", full), "V");
    deleteFile(full);
}
