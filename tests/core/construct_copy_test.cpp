// Deep copies of sequences and the pins that keep segment bodies in memory.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "core/allocator.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "tests/core/element_stream_helpers.h"

using namespace tree_test;
using stream_test::TreeGenerator;

namespace {

class ConstructCopy : public TreeTest {};

// The dump without what a copy gives anew: line numbers, level ids, the
// stored segment flag and the block words.
std::string contentOf(const ConstructNode* head) {
    static const std::regex lines("@-?[0-9]+");
    static const std::regex segment(" id [0-9]+ f[0-9]+ w[0-9]+,[0-9]+");
    return std::regex_replace(std::regex_replace(dump(head), lines, ""), segment, " id");
}

int collectIds(ConstructNode* node, void* context) {
    if (const LevelInfo* li = levelInfoOf(node))
        static_cast<std::vector<std::uint32_t>*>(context)->push_back(li->levelId);
    return 1;
}

}  // namespace

TEST_F(ConstructCopy, RandomTreesCopyWholeWithNewLevelIdsAndNothingLeftWhenMemoryRunsOut) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        TreeGenerator gen(seed, &doc);
        gen.levelPercent = 10;
        gen.blockWords = true;
        gen.longTexts = false;
        ConstructNode* tree = gen.sequence(0, false);
        if (!tree) continue;
        const std::uint32_t idsBefore = doc.lastLevelId;
        ConstructNode* copy = copySequence(&doc, tree, nullptr, &doc);
        ASSERT_NE(copy, nullptr) << seed;
        EXPECT_EQ(contentOf(copy), contentOf(tree)) << seed;
        EXPECT_EQ(checkLinks(copy), "") << seed;
        std::vector<std::uint32_t> ids;
        forEachNode(copy, collectIds, &ids);
        for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], idsBefore + 1 + i) << seed;

        // A range inside the sequence stops at its last node.
        if (tree->next) {
            ConstructNode* one = copySequence(&doc, tree->next, tree->next, &doc);
            EXPECT_EQ(countSequence(one), 1);
            freeSequence(one);
        }

        const long blocks = memOutstanding();
        for (long nth = 1; seed <= 8; ++nth) {
            memFailAt(nth);
            ConstructNode* partial = copySequence(&doc, tree, nullptr, &doc);
            memFailAt(0);
            const bool failed = g_outcome.jobCancelled;
            resetOutcome();
            if (!failed) {
                freeSequence(partial);
                break;
            }
            EXPECT_EQ(partial, nullptr);
            ASSERT_EQ(memOutstanding(), blocks) << "seed " << seed << " allocation " << nth;
        }
        freeSequence(copy);
        freeSequence(tree);
    }
}

TEST_F(ConstructCopy, TextExtrasTravelAndBodiesOnDiskAreReadFirst) {
    MemorySegmentSource source;
    source.bodies[64] = [] { return makeText("on disk"); };
    doc.segmentSource = &source.source;
    ConstructNode* level = makeLevel(3, kSegOnDisk, &doc);
    levelInfoOf(level)->fileOffset = 64;
    ConstructNode* text = makeText("t");
    setTextExtra(text, 2, &source);
    ConstructNode* tree = chain({text, level});

    ConstructNode* copy = copySequence(&doc, tree, nullptr, &doc);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(textExtra(copy, 2), &source);
    EXPECT_EQ(shape(copy), "Text\"t\" Level#4{9:[] 4:[Text\"on disk\"]}");
    EXPECT_EQ(segmentFlags(copy->next), kSegLoaded);
    EXPECT_EQ(segmentFlags(level) & kSegLoaded, kSegLoaded);  // the source was read in full

    // A body that cannot be read fails the copy.
    ConstructNode* unreadable = makeLevel(9, kSegOnDisk, &doc);
    levelInfoOf(unreadable)->fileOffset = 128;
    EXPECT_EQ(copySequence(&doc, unreadable, nullptr, &doc), nullptr);
    freeSequence(unreadable);
    freeSequence(copy);
    freeSequence(tree);
    doc.segmentSource = nullptr;
}

TEST_F(ConstructCopy, PinnedSegmentsAndTheirHoldersStayInMemory) {
    ConstructNode* inner = makeLevel(2, kSegLoaded | kSegFileCurrent, &doc);
    setChildAt(makeText("inner"), inner, Slot::Body);
    ConstructNode* outer = makeLevel(1, kSegLoaded | kSegFileCurrent, &doc);
    setChildAt(chain({makeText("outer"), inner}), outer, Slot::Body);

    pinSegment(inner);
    EXPECT_EQ(pageOut(&doc, inner), 0);
    EXPECT_EQ(pageOut(&doc, outer), 0);
    unpinSegment(inner);
    unpinSegment(inner);  // more releases than pins change nothing
    EXPECT_FALSE(segmentPinned(inner));
    EXPECT_EQ(pageOut(&doc, outer), 1);
    EXPECT_EQ(segmentFlags(outer) & (kSegLoaded | kSegOnDisk), kSegOnDisk);
    freeSequence(outer);
}
