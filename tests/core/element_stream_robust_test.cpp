// The element stream under random trees, failing allocations, damaged and
// hostile input, and the deepest nesting it allows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/allocator.h"
#include "core/outcome.h"
#include "tests/core/element_stream_helpers.h"

using namespace tree_test;
using namespace stream_test;

namespace {

class ElementStreamRobust : public StreamTest {
protected:
    // A tree over every written type, with nested segments.
    ConstructNode* randomTree(std::uint32_t seed, int budget = 120, bool invalidLines = true,
                              bool longTexts = true, int levelPercent = 0) {
        TreeGenerator gen(seed, &doc);
        gen.levelPercent = levelPercent;
        gen.budget = budget;
        gen.invalidLines = invalidLines;
        gen.longTexts = longTexts;
        ConstructNode* top = makeLevel(0, kSegLoaded, &doc);
        setChildAt(gen.sequence(1, false), top, Slot::Head);
        setChildAt(gen.sequence(1, false), top, Slot::Body);
        return top;
    }

    // Loads every segment body still on disk, then the ones inside.
    void loadAll(ConstructNode* head) {
        for (ConstructNode* n = head; n; n = n->next) {
            if (n->type == ConstructType::Level) {
                ASSERT_EQ(ensureLoaded(n, &doc), 1);
            }
            for (const SlotWord& sw : childSlots(*constructInfo(n->type)))
                loadAll(sw.word == kWordLevelBody ? levelInfoOf(n)->body : partNode(n, sw.word));
        }
    }

    // Loads a random choice of segments and marks some loaded ones edited.
    void loadSome(ConstructNode* head, TreeGenerator& dice) {
        for (ConstructNode* n = head; n; n = n->next) {
            if (n->type == ConstructType::Level && (segmentFlags(n) & kSegOnDisk)) {
                if (!dice.chance(60)) continue;
                ASSERT_EQ(ensureLoaded(n, &doc), 1);
                if (dice.chance(30)) setSegmentFlags(n, kSegLoaded);
            }
            const ConstructInfo* info = constructInfo(n->type);
            for (const SlotWord& sw : childSlots(*info)) {
                if (sw.word == kWordLevelBody && !(segmentFlags(n) & kSegLoaded)) continue;
                loadSome(sw.word == kWordLevelBody ? levelInfoOf(n)->body : partNode(n, sw.word), dice);
            }
        }
    }
};

// ---------------------------------------------------------------------------
// Round trips

TEST_F(ElementStreamRobust, RandomTreesReadBackEqual) {
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TreeGenerator gen(seed, &doc);
        gen.blockWords = true;
        ConstructNode* top = makeLevel(0, kSegLoaded, &doc);
        setChildAt(gen.sequence(1, false), top, Slot::Head);
        setChildAt(gen.sequence(1, false), top, Slot::Body);
        doc.streamMode = kStreamModeKeepTree;
        const std::string bytes = write(top);
        ConstructNode* back = read(bytes, kReadAllBodies | kReadKeepLineNumbers);
        EXPECT_EQ(checkLinks(back), "");
        // Block words are 0 in every segment read into memory.
        forEachNode(
            top,
            [](ConstructNode* n, void*) {
                if (LevelInfo* li = levelInfoOf(n)) li->blockWord1 = li->blockWord2 = 0;
                return 1;
            },
            nullptr);
        EXPECT_EQ(dump(back), dump(top));
        freeSequence(back);
        freeSequence(top);
    }
}

TEST_F(ElementStreamRobust, TwoByteIntegerStreamsReadBackEqual) {
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TreeGenerator gen(seed, &doc);
        gen.narrow = true;
        ConstructNode* top = makeLevel(0, kSegLoaded, &doc);
        setChildAt(gen.sequence(1, false), top, Slot::Body);
        doc.streamMode = kStreamModeKeepTree;
        const std::string bytes = write(top, 2);
        setFormat(&doc, "VRD", "6.2", 16);
        ConstructNode* back = read(bytes, kReadAllBodies | kReadKeepLineNumbers);
        EXPECT_EQ(dump(back), dump(top));
        setCurrentStreamFormat(&doc);
        freeSequence(back);
        freeSequence(top);
    }
}

TEST_F(ElementStreamRobust, SegmentsOnDiskPartlyLoadedAndEditedWriteTheSameBytes) {
    for (std::uint32_t seed = 1; seed <= 80; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // (Segments written from memory as the temporary file get the flags
        // 0x11, so none carries 0x20 here.)
        ConstructNode* top = randomTree(seed, 120, false, true, 20);
        const std::string expected = dump(top);
        doc.streamMode = 0;
        const std::string first = write(top);
        StreamSegmentSource source(first);
        doc.segmentSource = &source.source;

        // Bodies on disk, some loaded, some of those marked edited: copies
        // and serialised bodies together give the same bytes.
        ConstructNode* tree = read(first, kReadKeepLineNumbers);
        TreeGenerator dice(seed, &doc);
        loadSome(tree, dice);
        doc.streamMode = kStreamModeKeepTree;
        EXPECT_EQ(write(tree), first);

        // A longer first text in the top body shifts everything behind it.
        // Written as the temporary file (mode 0), every segment in memory,
        // loaded or not, must find its body in the new stream.
        ASSERT_EQ(ensureLoaded(tree, &doc), 1);
        ConstructNode* marker = makeText("moved");
        insertSequenceAt(marker, tree, Slot::Body);
        setSegmentFlags(tree, kSegLoaded);
        doc.streamMode = 0;
        const std::string second = write(tree);
        StreamSegmentSource next(second);
        doc.segmentSource = &next.source;
        loadAll(tree);
        ConstructNode* moved = detach(levelInfoOf(tree)->body, marker, marker);
        setChildAt(moved, tree, Slot::Body);
        freeSequence(marker);
        EXPECT_EQ(dump(tree), expected);
        doc.segmentSource = nullptr;
        freeSequence(tree);
        freeSequence(top);
    }
}

TEST_F(ElementStreamRobust, DeepestNestingRoundTripsAndOneMoreIsRefused) {
    // 8192 sequences inside each other: the top one and 8191 Loop bodies.
    auto nested = [](int loops) {
        ConstructNode* head = nullptr;
        for (int k = 0; k < loops; ++k) {
            ConstructNode* loop = makeNode(ConstructType::Loop);
            setChildAt(head, loop, Slot::Body);
            head = loop;
        }
        return head;
    };
    ConstructNode* deepest = nested(kMaxSequenceNesting - 1);
    const std::string bytes = write(deepest);
    ConstructNode* back = read(bytes, kReadAllBodies);
    int depth = 0;
    for (ConstructNode* n = back; n; n = partNode(n, 0)) ++depth;
    EXPECT_EQ(depth, kMaxSequenceNesting - 1);
    freeSequence(back);
    freeSequence(deepest);

    // One level more: the writer refuses it, and the reader refuses it
    // without reading the innermost sequence.
    ConstructNode* tooDeep = nested(kMaxSequenceNesting);
    WriteStream out;
    g_outcome.writeOk = true;
    EXPECT_EQ(writeSequence(&doc, tooDeep, nullptr, out.file()), 0);
    EXPECT_FALSE(g_outcome.writeOk);
    freeSequence(tooDeep);
    Bytes hostile;
    for (int k = 0; k < kMaxSequenceNesting; ++k) hostile.element(5);
    for (int k = 0; k <= kMaxSequenceNesting; ++k) hostile.end();
    expectReadFails(hostile.data);
}

// ---------------------------------------------------------------------------
// Failing allocations

TEST_F(ElementStreamRobust, EveryFailingAllocationWhileReadingEndsCleanly) {
    ConstructNode* top = randomTree(7, 60, true, false);
    doc.streamMode = kStreamModeKeepTree;
    const std::string bytes = write(top);
    freeSequence(top);
    for (bool outline : {false, true}) {
        bool completed = false;
        long n = 1;
        for (; !completed && n < 100000; ++n) {
            resetOutcome();
            ReadStream in(bytes);
            const long before = memOutstanding();
            memFailAt(n);
            ConstructNode* back = outline ? readOutline(&doc, in.file(), kReadAllBodies)
                                          : readSequence(&doc, in.file(), kReadAllBodies);
            memFailAt(0);
            completed = !g_outcome.jobCancelled;
            if (!completed) {
                EXPECT_FALSE(g_outcome.readOk) << "allocation " << n;
            }
            EXPECT_EQ(checkLinks(back), "");
            freeSequence(back);
            EXPECT_EQ(memOutstanding(), before) << "allocation " << n;
        }
        EXPECT_TRUE(completed);
        EXPECT_GT(n, outline ? 10 : 40);  // nodes and short texts share pool blocks
        EXPECT_TRUE(g_outcome.readOk);
    }
    resetOutcome();
}

TEST_F(ElementStreamRobust, EveryFailingAllocationWhileWritingEndsCleanly) {
    // A write that has to load bodies (tree version 15 is never copied).
    doc.streamMode = 0;
    std::string first;
    for (std::uint32_t seed = 11; first.size() < 2000; ++seed) {
        ConstructNode* top = randomTree(seed, 60, true, false, 15);
        first = write(top);
        freeSequence(top);
    }
    StreamSegmentSource source(first);
    doc.segmentSource = &source.source;
    setFormat(&doc, "VRD", "6.3", 15);
    bool completed = false;
    long n = 1;
    for (; !completed && n < 100000; ++n) {
        resetOutcome();
        WriteStream out;
        const long before = memOutstanding();
        ConstructNode* tree = read(first, kReadKeepLineNumbers);
        memFailAt(n);
        const int ok = writeSequence(&doc, tree, nullptr, out.file());
        memFailAt(0);
        completed = !g_outcome.jobCancelled;
        if (!completed) {
            EXPECT_EQ(ok, 0);
            EXPECT_FALSE(g_outcome.writeOk);
        } else {
            EXPECT_EQ(out.bytes(), first);
        }
        EXPECT_EQ(checkLinks(tree), "");
        resetOutcome();
        freeSequence(tree);
        EXPECT_EQ(memOutstanding(), before) << "allocation " << n;
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(n, 20);  // the write had to load bodies
    doc.segmentSource = nullptr;
}

// ---------------------------------------------------------------------------
// Damaged and hostile input

TEST_F(ElementStreamRobust, EveryTruncationFails) {
    ConstructNode* top = randomTree(3, 40, true, false);
    doc.streamMode = kStreamModeKeepTree;
    const std::string bytes = write(top);
    freeSequence(top);
    for (std::uint32_t options : {0u, std::uint32_t{kReadAllBodies | kReadKeepLineNumbers}}) {
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            ReadStream in(bytes.substr(0, cut));
            g_outcome.readOk = true;
            ConstructNode* back = readSequence(&doc, in.file(), options);
            EXPECT_FALSE(g_outcome.readOk) << "cut at " << cut;
            freeSequence(back);
        }
    }
    g_outcome.readOk = true;
}

TEST_F(ElementStreamRobust, DamagedBytesNeverCrashOrLeak) {
    ConstructNode* top = randomTree(5, 30, true, false);
    doc.streamMode = kStreamModeKeepTree;
    const std::string bytes = write(top);
    freeSequence(top);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (unsigned char value : {0x00, 0x01, 0x0E, 0x4F, 0x7F, 0xF0, 0xFF}) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(value);
            for (std::uint32_t options : {0u, std::uint32_t{kReadAllBodies}}) {
                resetOutcome();
                ReadStream in(damaged);
                ConstructNode* back =
                    (at & 1) ? readOutline(&doc, in.file(), options) : readSequence(&doc, in.file(), options);
                EXPECT_EQ(checkLinks(back), "");
                freeSequence(back);
            }
        }
    }
    resetOutcome();
}

TEST_F(ElementStreamRobust, MalformedStreamsFail) {
    expectReadFails("");
    expectReadFails("\xF1");                                   // not a marker
    expectReadFails(Bytes().element(15).s("a").b(0x00).data);  // bad marker after an element
    expectReadFails(Bytes().element(15).s("a").data);          // no end marker
    expectReadFails(Bytes().b(0xFF).i(0).i(0).s(nullptr).s(nullptr).end().data);   // type 0
    expectReadFails(Bytes().b(0xFF).i(79).i(0).s(nullptr).s(nullptr).end().data);  // type 79
    expectReadFails(Bytes().b(0xFF).i(-1).i(0).data);                              // type far out
    expectReadFails(Bytes().element(29).end().data);                               // another edition's type
    expectReadFails(Bytes().element(35).end().end().data);                    // another edition's container
    expectReadFails(Bytes().element(15).i(-5).end().data);                    // negative length
    expectReadFails(Bytes().element(15).i(kMaxStringLength + 1).end().data);  // length above the limit
    expectReadFails(Bytes().element(15).i(10).data + "abc");                  // characters cut off
    expectReadFails(Bytes().element(2).b(0x12).end().data);                   // bad presence marker
    expectReadFails(Bytes().element(2).b(0xFF).i(3).b(0).s("c").end().end().data);  // host kind 3
    expectReadFails(Bytes().element(2).b(0xFF).i(1).b(0).s("c").b(0xFF).i(1).b(0).s("n").b(0xFF).data);
    // Level blocks: shorter than the header, or pointing past the data.
    for (std::uint32_t length : {1u, 11u, 0xFFFFFFFFu, 0x80000000u}) {
        SCOPED_TRACE(length);
        expectReadFails(Bytes().element(14).levelStart(0, 1).end().block(length).end().data, 0);
    }
    expectReadFails(Bytes().element(14).levelStart(0, 1).end().block(40).end().data, 0);
    // A well-formed segment block, for contrast.
    ConstructNode* ok = read(Bytes().element(14).levelStart(0, 1).end().block(13).end().end().data, 0);
    EXPECT_EQ(segmentFlags(ok), kSegOnDisk);
    freeSequence(ok);
}

}  // namespace
