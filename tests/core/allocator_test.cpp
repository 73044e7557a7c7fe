#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/allocator.h"
#include "core/outcome.h"
#include "core/record_pool.h"

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

// Pooled records: zero-filled, reused after release, their blocks counted,
// failed like any allocation and given back with their last record.
TEST(Allocator, RecordPoolBlocks) {
    resetOutcome();
    RecordPool pool(40);
    const long start = memOutstanding();
    std::vector<unsigned char*> records;
    for (int i = 0; i < 100000; ++i) {
        auto* r = static_cast<unsigned char*>(pool.allocate());
        ASSERT_NE(r, nullptr);
        for (int k = 0; k < 40; ++k) ASSERT_EQ(r[k], 0) << i;
        std::memset(r, 0xAB, 40);
        records.push_back(r);
    }
    const long blocks = memOutstanding() - start;
    EXPECT_GE(blocks, 2);  // more records than one block holds
    EXPECT_LE(blocks, 4);
    long notARecord = 0;
    EXPECT_FALSE(pool.release(&notARecord));
    // Released records come back zero-filled.
    pool.release(records[5]);
    EXPECT_EQ(pool.allocate(), records[5]);
    EXPECT_EQ(records[5][39], 0);
    // A new block is an allocation that can fail.
    memFailAt(1);
    void* more = nullptr;
    while ((more = pool.allocate()) != nullptr) records.push_back(static_cast<unsigned char*>(more));
    EXPECT_TRUE(g_outcome.jobCancelled);
    EXPECT_EQ(memOutstanding() - start, blocks);
    memFailAt(0);
    resetOutcome();
    for (unsigned char* r : records) EXPECT_TRUE(pool.release(r));
    EXPECT_EQ(memOutstanding(), start);
    void* again = pool.allocate();  // from the kept block
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(memOutstanding(), start + 2);  // the block and the pool's list of blocks
    pool.release(again);
    EXPECT_EQ(memOutstanding(), start);
}
