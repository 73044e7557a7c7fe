// Segment paging: the segment source over a file, paging bodies out to
// their outline form, committing and rolling back offsets, and writing the
// temporary segment file at every failure point.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "tests/core/save_helpers.h"

using namespace save_test;
using tree_test::dump;
using tree_test::makeText;

namespace {

class Paging : public SaveTest {};

// Puts `sequence` into the slot, freeing what was there.
void replaceChild(ConstructNode* node, Slot slot, ConstructNode* sequence) {
    ConstructNode* old = childAt(node, slot);
    setChildAt(nullptr, node, slot);
    freeSequence(old);
    setChildAt(sequence, node, slot);
}

const ConstructNode* shownLevel = nullptr;
bool shownOne(const ConstructNode* level) {
    return level == shownLevel;
}

TEST_F(Paging, PageOutKeepsOnlyWhatIsCurrentAndNotShown) {
    open(sampleFile("plan.vrd", 3, 2));
    ConstructNode* root = doc.root;
    const std::string expected = [&] {
        DiagramDocument scratch{};
        ConstructNode* built = buildDiagram(&scratch, 3, 2);
        std::string d = dump(built);
        freeSequence(built);
        return d;
    }();
    // Only a loaded body with a current file copy.
    EXPECT_EQ(pageOut(&doc, root), 0);  // on disk
    ASSERT_EQ(ensureLoaded(root, &doc), 1);
    EXPECT_EQ(segmentFlags(root) & 0x1F, kSegLoaded | kSegFileCurrent);

    // Shown in a window, itself or through a segment inside it.
    setSegmentShownHook(shownOne);
    shownLevel = root;
    EXPECT_EQ(pageOut(&doc, root), 0);
    ConstructNode* second = segment(1);
    ASSERT_EQ(ensureLoaded(second, &doc), 1);
    shownLevel = second;
    EXPECT_EQ(pageOut(&doc, root), 0);
    shownLevel = nullptr;
    // A segment inside changed since its file copy.
    setSegmentFlags(second, kSegLoaded);
    EXPECT_EQ(pageOut(&doc, root), 0);
    EXPECT_EQ(segmentFlags(root) & 0x1F, kSegLoaded | kSegFileCurrent);
    setSegmentFlags(second, kSegLoaded | kSegFileCurrent);

    // Paged out: the three segments stay, the loaded one reduced too.
    ASSERT_EQ(pageOut(&doc, root), 1);
    EXPECT_EQ(segmentFlags(root) & 0x1F, kSegOnDisk | kSegOutline);
    EXPECT_EQ(segmentFlags(second) & 0x1F, kSegOnDisk | kSegOutline);
    EXPECT_EQ(tree_test::shape(levelInfoOf(root)->body),
              "Level#2{9:[Text\"segment 0\"] 4:disk} Level#3{9:[Text\"segment 1\"] 4:[]} "
              "Level#4{9:[Text\"segment 2\"] 4:disk}");
    EXPECT_EQ(tree_test::checkLinks(root), "");
    // A body that is not loaded is not paged out.
    EXPECT_EQ(pageOut(&doc, root), 0);
    // Loading again gives the full body, from the file.
    EXPECT_EQ(loadedDump(&doc), expected);
}

TEST_F(Paging, OutlineCopiesKeepTheSegmentsThatMustStay) {
    setSegmentShownHook(shownOne);
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown" : "changed");
        open(sampleFile("plan.vrd", 3, 2));
        ConstructNode* root = doc.root;
        // Through the outline copy of the top segment, a segment inside is
        // loaded, then changed or shown.
        ASSERT_EQ(ensureReadable(root, &doc), 1);
        ConstructNode* second = levelInfoOf(root)->body->next;
        ASSERT_EQ(ensureLoaded(second, &doc), 1);
        ConstructNode* text = levelInfoOf(second)->body;
        if (shown) {
            shownLevel = second;
        } else {
            ASSERT_EQ(setText(text, memStrDup("changed")), 1);
            setSegmentFlags(second, kSegLoaded);
            // Saving does not copy the stale block around it.
            ASSERT_EQ(saveDocument(&doc, path("copy.vrd").c_str(), false), SaveResult::Saved);
            EXPECT_NE(readBytes(path("copy.vrd")).find("changed"), std::string::npos);
        }
        // The full body takes the segment from memory, not its copy.
        ASSERT_EQ(ensureLoaded(root, &doc), 1);
        EXPECT_EQ(levelInfoOf(root)->body->next, second);
        EXPECT_EQ(levelInfoOf(second)->body, text);
        EXPECT_EQ(tree_test::checkLinks(root), "");
        shownLevel = nullptr;
        closeDocument(&doc);
    }
    // A segment that must stay without a copy in the body: nothing changes.
    open(sampleFile("plan.vrd", 3, 2));
    ASSERT_EQ(ensureReadable(doc.root, &doc), 1);
    ConstructNode* first = levelInfoOf(doc.root)->body;
    ASSERT_EQ(ensureLoaded(first, &doc), 1);
    setSegmentFlags(first, kSegLoaded);
    levelInfoOf(first)->levelId = 99;
    EXPECT_EQ(ensureLoaded(doc.root, &doc), 0);
    EXPECT_EQ(levelInfoOf(doc.root)->body, first);
    EXPECT_EQ(segmentFlags(doc.root) & 0x1F, kSegOnDisk | kSegOutline);
}

TEST_F(Paging, PageOutGivesWhatTheOutlineReaderReads) {
    // A body with outline constructs at every depth: inside dropped
    // constructs, inside each other, in heads.
    DiagramDocument scratch{};
    setCurrentStreamFormat(&scratch);
    ConstructNode* top = tree_test::makeLevel(1, kSegLoaded, &scratch);
    ConstructNode* procedure = newConstruct(&scratch, 3740);
    ConstructNode* function = newConstruct(&scratch, 3745);
    ConstructNode* inner = tree_test::makeLevel(3, kSegLoaded, &scratch);
    setChildAt(makeText("inner head"), inner, Slot::Head);
    setChildAt(tree_test::chain({makeText("inner body"), function}), inner, Slot::Body);
    replaceChild(procedure, Slot::Body, tree_test::chain({makeText("p1"), inner, makeText("p2")}));
    ConstructNode* ifNode = newConstruct(&scratch, 3100);
    ConstructNode* action = newConstruct(&scratch, 5000);
    ConstructNode* block = newConstruct(&scratch, 3650);
    // A segment in a block's head: the block is dropped, the segment stays.
    ConstructNode* headLevel = tree_test::makeLevel(4, kSegLoaded, &scratch);
    setChildAt(makeText("in a head"), headLevel, Slot::Body);
    replaceChild(block, Slot::Head, headLevel);
    replaceChild(ifNode, Slot::Then, tree_test::chain({makeText("then"), procedure}));
    replaceChild(ifNode, Slot::Else, action);
    ConstructNode* last = tree_test::makeLevel(5, kSegLoaded, &scratch);
    setChildAt(tree_test::chain({makeText("first"), ifNode, block, last}), top, Slot::Body);
    const std::string file = path("outline.vrd");
    ASSERT_TRUE(writeBytes(file, diagramFile(&scratch, top)));
    freeSequence(top);

    open(file);
    ASSERT_EQ(ensureLoaded(doc.root, &doc), 1);
    LevelInfo* li = levelInfoOf(doc.root);
    ConstructNode* outline = nullptr;
    ASSERT_EQ(loadSegmentBody(&doc, li->fileOffset, kReadOutline, &outline), 1);
    ASSERT_EQ(pageOut(&doc, doc.root), 1);
    EXPECT_EQ(dump(li->body), dump(outline));
    EXPECT_EQ(tree_test::shape(li->body).substr(0, 12), "Procedure{9:");
    EXPECT_EQ(tree_test::checkLinks(doc.root), "");
    freeSequence(outline);
}

TEST_F(Paging, SourceFileClosedIsOpenedForTheCall) {
    open(sampleFile("plan.vrd", 2, 2));
    bool openedHere = true;
    FileDescriptor* source = segmentSource(&doc, &openedHere);
    ASSERT_EQ(source, &doc.tempFile);
    EXPECT_FALSE(openedHere);
    // Closed: opened for one call, closed again.
    bfile::close(doc.tempFile.file);
    doc.tempFile.file = nullptr;
    source = segmentSource(&doc, &openedHere);
    ASSERT_EQ(source, &doc.tempFile);
    EXPECT_TRUE(openedHere);
    EXPECT_NE(source->file, nullptr);
    EXPECT_EQ(releaseSegmentSource(source, openedHere), 1);
    EXPECT_EQ(doc.tempFile.file, nullptr);
    // A load through it leaves it closed; a failing close fails the load.
    platform::setFaultPlan({platform::FaultOp::close, 1});
    EXPECT_EQ(ensureLoaded(doc.root, &doc), 0);
    EXPECT_EQ(segmentFlags(doc.root) & kSegLoaded, 0);
    platform::setFaultPlan({});
    EXPECT_EQ(ensureLoaded(doc.root, &doc), 1);
    EXPECT_EQ(doc.tempFile.file, nullptr);
    // Outline form for read-only users.
    ConstructNode* first = segment(0);
    EXPECT_EQ(ensureReadable(first, &doc), 1);
    EXPECT_EQ(segmentFlags(first) & 0x1F, kSegOnDisk | kSegOutline);
    // Blocks are copied from it all the same.
    EXPECT_EQ(saveDocument(&doc, path("copy.vrd").c_str(), false), SaveResult::Saved);
    EXPECT_EQ(treeChunk(readBytes(path("copy.vrd"))), treeChunk(readBytes(doc.tempFile.path)));
    // Without a file-based source there is nothing to read.
    DiagramDocument other{};
    EXPECT_EQ(segmentSource(&other, &openedHere), nullptr);
}

TEST_F(Paging, CommitAndRollBack) {
    DiagramDocument scratch{};
    ConstructNode* root = buildDiagram(&scratch, 2, 1);
    ConstructNode* first = levelInfoOf(root)->body;
    ConstructNode* second = first->next;
    levelInfoOf(root)->fileOffset = 30;
    levelInfoOf(first)->readOffset = 40;
    levelInfoOf(first)->fileOffset = 400;
    levelInfoOf(second)->fileOffset = 500;  // new since the last whole write
    setSegmentFlags(first, kSegLoaded | kSegFileCurrent);
    setSegmentFlags(second, kSegLoaded | kSegFileCurrent);
    rollBackSegmentOffsets(root);
    EXPECT_EQ(levelInfoOf(first)->fileOffset, 40u);
    EXPECT_EQ(segmentFlags(first), kSegLoaded | kSegFileCurrent);
    EXPECT_EQ(levelInfoOf(second)->fileOffset, 0u);
    EXPECT_EQ(segmentFlags(second), kSegLoaded);
    EXPECT_EQ(levelInfoOf(root)->fileOffset, 0u);

    levelInfoOf(second)->fileOffset = 600;
    std::memcpy(scratch.formatVersion, "3.0", 4);
    scratch.treeVersion = 5;
    // Commit runs to the end even while the job is cancelled.
    g_outcome.jobCancelled = true;
    commitSegmentOffsets(&scratch, root);
    g_outcome.jobCancelled = false;
    EXPECT_EQ(levelInfoOf(second)->readOffset, 600u);
    EXPECT_STREQ(scratch.formatVersion, "6.3");
    EXPECT_EQ(scratch.treeVersion, 16);

    // A failed whole write marks the segments changed before it changed
    // again, whatever the writer set.
    setSegmentFlags(root, kSegLoaded | kSegFileCurrent);
    setSegmentFlags(first, kSegLoaded);
    setSegmentFlags(second, kSegLoaded | kSegFileCurrent);
    WholeWrite whole{};
    ASSERT_EQ(beginWholeWrite(root, &whole), 1);
    EXPECT_EQ(whole.count, 1u);
    setSegmentFlags(first, kSegLoaded | kSegFileCurrent);
    finishWholeWrite(&scratch, root, &whole, false);
    EXPECT_EQ(segmentFlags(first), kSegLoaded);
    EXPECT_EQ(whole.changed, nullptr);
    freeSequence(root);
}

// Every failure point of writing the temporary file keeps the previous
// segment source and every segment readable, and the next save keeps the
// change that was in memory.
TEST_F(Paging, TemporaryFileAtEveryFailurePoint) {
    const std::string file = sampleFile("plan.vrd", 4, 150);
    open(file);
    changeSegment(2, "kept through every failure");
    const std::string expected = loadedDump(&doc);
    EXPECT_EQ(pageOut(&doc, doc.root), 0);  // a segment inside is changed
    platform::setFaultPlan({platform::FaultOp::write, 0});
    ASSERT_EQ(writeTemporaryFile(&doc, doc.root), 1);
    const std::uint32_t writes = platform::faultCalls();
    ASSERT_GT(writes, 3u);
    closeDocument(&doc);

    struct Fault {
        platform::FaultPlan plan;
        unsigned message;
    };
    std::vector<Fault> faults;
    for (std::uint32_t n = 1; n <= writes; ++n) {
        faults.push_back({{platform::FaultOp::write, n}, IDS_UNABLE_TO_WRITE});
        faults.push_back({{platform::FaultOp::write, n, true, true}, IDS_DISK_FULL});
    }
    faults.push_back({{platform::FaultOp::open, 1}, IDS_UNABLE_TO_OPEN});
    for (const Fault& fault : faults) {
        SCOPED_TRACE(testing::Message() << "op " << static_cast<int>(fault.plan.op) << " at "
                                        << fault.plan.failAt << (fault.plan.sticky ? " sticky" : ""));
        open(file);
        changeSegment(2, "kept through every failure");
        const std::string source = doc.tempFile.path;
        host.messages.clear();
        platform::setFaultPlan(fault.plan);
        char name[kPathSize];
        const TempFileFailure failure = writeTemporaryFileQuietly(&doc, doc.root, 0, name);
        platform::setFaultPlan({});
        EXPECT_NE(failure, TempFileFailure::None);
        if (name[0]) {
            EXPECT_FALSE(exists(name));
        }
        EXPECT_EQ(doc.segmentSource, &doc.tempFileSource);
        EXPECT_EQ(doc.tempFile.path, source);
        EXPECT_TRUE(exists(source));
        EXPECT_EQ(segmentFlags(segment(2)) & kSegFileCurrent, 0);
        // The message of the failure.
        platform::setFaultPlan(fault.plan);
        EXPECT_EQ(writeTemporaryFile(&doc, doc.root), 0);
        platform::setFaultPlan({});
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].id, fault.message);
        EXPECT_EQ(loadedDump(&doc), expected);
        // The change survives into the saved file.
        ASSERT_EQ(saveDocument(&doc, path("saved.vrd").c_str(), false), SaveResult::Saved);
        closeDocument(&doc);
        open(path("saved.vrd"));
        EXPECT_EQ(loadedDump(&doc), expected);
        closeDocument(&doc);
        platform::deleteFile(path("saved.vrd").c_str());
    }
}

}  // namespace
