// The numbered texts: the table native builds read and, in the Windows
// build, the compiled STRINGTABLE must hold the same ids and texts.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "resources/strings.h"

TEST(StringTable, EveryEntryLoadsThroughThePlatformUnchanged) {
    ASSERT_GT(kStringTableSize, 0u);
    for (std::size_t i = 0; i < kStringTableSize; ++i) {
        const StringEntry& entry = kStringTable[i];
        char buffer[1024];
        int n = platform::loadString(entry.id, buffer, sizeof buffer);
        EXPECT_EQ(n, static_cast<int>(std::strlen(entry.text))) << "id " << entry.id;
        EXPECT_STREQ(buffer, entry.text) << "id " << entry.id;
    }
}

TEST(StringTable, KnownTextsAndMissingIds) {
    char buffer[64];
    EXPECT_GT(platform::loadString(IDS_TITLE, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Korrin(VRD)");
    EXPECT_STREQ(findString(IDS_INTERNAL_ERROR), "Internal structure error.");
    EXPECT_EQ(IDS_INTERNAL_ERROR, 647u);
    EXPECT_EQ(findString(4), nullptr);
    // The 38 registration strings loaded at start, the last three empty.
    for (unsigned id = 1800; id <= 1837; ++id) EXPECT_NE(findString(id), nullptr) << id;
    EXPECT_STREQ(findString(1837), "");
    EXPECT_EQ(platform::loadString(4, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    // A short buffer gets a cut, terminated text.
    char tiny[6];
    EXPECT_EQ(platform::loadString(IDS_TITLE, tiny, sizeof tiny), 5);
    EXPECT_STREQ(tiny, "Korri");
}
