// Edits and the segment file: whatever paging and saving do with the
// bodies, a saved and reopened diagram holds exactly what was edited.
#include <gtest/gtest.h>

#include <vector>

#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/segment_paging.h"
#include "edit/clipboard_image.h"
#include "edit/construct_commands.h"
#include "edit/insertion.h"
#include "edit/undo_journal.h"
#include "resources/commands.h"
#include "tests/core/save_helpers.h"

namespace {

int collectLevels(ConstructNode* node, void* context) {
    if (node->type == ConstructType::Level)
        static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    return 1;
}

class EditAndSave : public save_test::SaveTest {
protected:
    void TearDown() override {
        clearUndoJournal(&journal);
        SaveTest::TearDown();
    }

    // The smallest memory budget: every body that may go is paged out.
    void pageOutAll() {
        for (bool again = true; again;) {
            again = false;
            std::vector<ConstructNode*> levels;
            forEachNode(doc.root, collectLevels, &levels);
            for (auto it = levels.rbegin(); it != levels.rend() && !again; ++it)
                again = pageOut(&doc, *it) != 0;
        }
    }
    void select(ConstructNode* first, ConstructNode* last) { view.state.selection = {first, last}; }
    ConstructNode* bodyOf(ConstructNode* level) {
        EXPECT_EQ(ensureLoaded(level, &doc), 1);
        return levelInfoOf(level)->body;
    }

    UndoJournal journal;
    WindowView view;
    EditContext context{&doc, &journal, 1, &view};
};

}  // namespace

TEST_F(EditAndSave, EditsSurvivePagingSavingAndReopening) {
    const std::string file = sampleFile("plan.vrd", 6, 4);
    open(file);
    view.segment = doc.root;

    // Across segments: a line moves from segment 1 into segment 3.
    ConstructNode* line = bodyOf(segment(1));
    PendingInsertion pending;
    select(line, line);
    ASSERT_EQ(beginInsertion(pending, context, CMD_EDIT_MOVE), 1);
    ASSERT_EQ(completeInsertion(pending, context, {bodyOf(segment(3)), InsertPosition::Before, Slot::None}),
              1);
    // Two lines of segment 4 pushed down into a new segment.
    ConstructNode* first = bodyOf(segment(4))->next;
    select(first, first->next);
    view.segment = segment(4);
    ASSERT_EQ(refineSelection(context, true), 1);
    // Segment 5, its body on disk, copied to the clipboard and pasted first.
    view.segment = doc.root;
    platform::MemHandle image = writeClipboardImage(&doc, segment(5), segment(5));
    ConstructNode* pasted = nullptr;
    ASSERT_EQ(readClipboardImage(&doc, image, &pasted), 1);
    platform::memBlockFree(image);
    ASSERT_EQ(beginInsertionOf(pending, &doc, CMD_CLIPBOARD_PASTE, pasted), 1);
    ASSERT_EQ(completeInsertion(pending, context, {segment(0), InsertPosition::Before, Slot::None}), 1);
    // Segment 2 (shifted to 3 by the paste), its body on disk, deleted.
    select(segment(3), segment(3));
    ASSERT_EQ(deleteSelection(context), 1);

    pageOutAll();
    ASSERT_EQ(saveToOwnFile(&doc), SaveResult::Saved) << host.lastText();
    // The deleted segment comes back after the save replaced the segment file.
    ASSERT_EQ(undo(&journal, context), 1);
    const std::string expected = save_test::loadedDump(&doc);
    EXPECT_NE(expected.find("\"line 2.1\""), std::string::npos);
    EXPECT_NE(expected.find("\"line 1.1\""), std::string::npos);
    pageOutAll();
    ASSERT_EQ(saveToOwnFile(&doc), SaveResult::Saved) << host.lastText();
    clearUndoJournal(&journal);

    closeDocument(&doc);
    open(file);
    EXPECT_EQ(save_test::loadedDump(&doc), expected);
}

TEST_F(EditAndSave, InsertFileReadsEveryBodyWithNewLevelIds) {
    const std::string other = sampleFile("other.vrd", 2, 1);
    open(sampleFile("plan.vrd", 3, 1));
    view.segment = doc.root;
    PendingInsertion pending;
    ASSERT_EQ(beginFileInsertion(pending, context, other.c_str()), 1);
    ASSERT_EQ(completeInsertion(pending, context, {segment(2), InsertPosition::After, Slot::None}), 1);
    // The other file's top segment (read as id 5) is unwrapped: its two segments follow.
    EXPECT_EQ(levelInfoOf(segment(3))->levelId, 6u);
    EXPECT_EQ(levelInfoOf(segment(4))->levelId, 7u);
    EXPECT_EQ(segmentFlags(segment(4)) & kSegLoaded, kSegLoaded);
    EXPECT_NE(save_test::loadedDump(&doc).find("\"line 1.0\""), std::string::npos);
}
