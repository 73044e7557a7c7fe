#include <gtest/gtest.h>

#include "core/allocator.h"
#include "core/outcome.h"

TEST(Allocator, CountsZeroFillsAndFailsOnRequest) {
    resetOutcome();
    long start = memOutstanding();
    EXPECT_EQ(memAlloc(0), nullptr);
    auto* block = static_cast<unsigned char*>(memAlloc(64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
    EXPECT_EQ(memOutstanding(), start + 1);
    block = static_cast<unsigned char*>(memFree(block));
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(memFree(nullptr), nullptr);
    EXPECT_EQ(memOutstanding(), start);

    // The third allocation fails, raises job-cancelled, and everything
    // after it fails too until the flag is cleared.
    memFailAt(3);
    void* a = memAlloc(8);
    void* b = memAlloc(8);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(memAlloc(8), nullptr);
    EXPECT_TRUE(g_outcome.jobCancelled);
    EXPECT_EQ(memAlloc(8), nullptr);
    resetOutcome();
    void* c = memAlloc(8);
    EXPECT_NE(c, nullptr);
    memFree(a);
    memFree(b);
    memFree(c);
    EXPECT_EQ(memOutstanding(), start);
    memFailAt(0);

    char* copy = memStrDup("abcdef", 3);
    EXPECT_STREQ(copy, "abc");
    memFree(copy);
    EXPECT_EQ(memStrDup(nullptr), nullptr);
}
