// The undo journal: what Undo gives back, which records it refuses, the
// entries that name windows and documents, and what a record owns.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/allocator.h"
#include "core/diagram_document.h"
#include "core/outcome.h"
#include "edit/construct_commands.h"
#include "resources/commands.h"
#include "tests/edit/edit_helpers.h"

using namespace edit_test;

namespace {

// Segment windows as the journal's hooks reach them.
struct Windows {
    std::map<WindowId, WindowView*> views;
    std::vector<std::string> calls;

    UndoWindowHooks hooks() {
        UndoWindowHooks h;
        h.context = this;
        h.viewOf = [](void* c, WindowId w) {
            auto& views = static_cast<Windows*>(c)->views;
            return views.count(w) ? views[w] : nullptr;
        };
        h.showSegment = [](void* c, WindowId w, ConstructNode*) { log(c, "show", w); };
        h.activate = [](void* c, WindowId w) { log(c, "activate", w); };
        h.refresh = [](void* c, WindowId w) { log(c, "refresh", w); };
        h.repaint = [](void* c, DiagramDocument*) { log(c, "repaint", 0); };
        return h;
    }
    static void log(void* c, const char* what, WindowId w) {
        static_cast<Windows*>(c)->calls.push_back(std::string(what) + " " + std::to_string(w));
    }
    std::string take() {
        std::string all;
        for (const std::string& call : calls) all += (all.empty() ? "" : ", ") + call;
        calls.clear();
        return all;
    }
};

class Journal : public EditTest {
protected:
    void SetUp() override {
        EditTest::SetUp();
        journal.hooks = windows.hooks();
        windows.views[1] = &view;
    }
    Windows windows;
};

ConstructNode* nth(ConstructNode* head, int index) {
    while (head && index-- > 0) head = head->next;
    return head;
}

}  // namespace

TEST_F(Journal, DeleteThenUndoGivesBackOrderPlaceSelectionAndScroll) {
    load("\"a\" *\"b\" *\"c\" *\"d\" \"e\"");
    view.state.scrollY = 40;
    view.state.caret = 3;
    const WindowState before = view.state;
    LevelInfo* top = levelInfoOf(doc.root);
    top->viewValid = 0xF;
    setSegmentFlags(doc.root, kSegLoaded | kSegFileCurrent);

    ASSERT_EQ(deleteSelection(context), 1);
    EXPECT_EQ(body(), "\"a\" \"e\"");
    EXPECT_EQ(print(view.state.selection.first), "\"e\"");
    EXPECT_EQ(top->viewValid, 0u);
    EXPECT_EQ(segmentFlags(doc.root), kSegLoaded);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(windows.take(), "repaint 0");
    view.state.scrollY = 0;

    ASSERT_EQ(undo(&journal, context), 1);
    EXPECT_EQ(body(), "\"a\" \"b\" \"c\" \"d\" \"e\"");
    EXPECT_EQ(view.state, before);
    EXPECT_EQ(journal.current->command, unsigned{CMD_EDIT_UNDO});
    EXPECT_EQ(windows.take(), "repaint 0");
}

TEST_F(Journal, ARefusedCommandKeepsTheRecordAndUndoRemovesExactlyTheDuplicate) {
    load("*\"a\" \"b\"");
    ASSERT_EQ(duplicateSelection(context), 1);
    UndoRecord* record = journal.current;
    EXPECT_EQ(encloseSelection(context, CMD_ENCLOSE_AND), 0);  // And outside a condition
    EXPECT_EQ(journal.current, record);
    ASSERT_EQ(undo(&journal, context), 1);
    EXPECT_EQ(body(), "\"a\" \"b\"");
    EXPECT_EQ(print(view.state.selection.first), "\"a\" \"b\"");
}

TEST_F(Journal, UndoActsInTheRecordsSegmentOnlyExceptAfterSearch) {
    load("Level{4:[\"x\"]} *\"a\"");
    ConstructNode* inner = levelInfoOf(doc.root)->body;
    ASSERT_EQ(deleteSelection(context), 1);
    view.segment = inner;
    EXPECT_FALSE(canUndo(&journal, inner));
    EXPECT_EQ(undo(&journal, context), 0);

    // A replacement by Find or replace in the top segment.
    view.segment = doc.root;
    static const EditChange replace = [](EditContext& c, UndoRecord* record, void*) {
        ConstructNode* text = levelInfoOf(levelInfoOf(c.document->root)->body)->body;
        return journalSetText(record, c.document, text, memStrDup("y"));
    };
    ASSERT_EQ(runEditCommand(context, CMD_EDIT_SEARCH, replace, nullptr), 1);
    EXPECT_EQ(body(), "Level{4:[\"y\"]}");
    view.segment = inner;
    windows.take();
    EXPECT_TRUE(canUndo(&journal, inner));
    ASSERT_EQ(undo(&journal, context), 1);
    EXPECT_EQ(view.segment, doc.root);
    EXPECT_EQ(body(), "Level{4:[\"x\"]}");
    EXPECT_EQ(windows.take(), "show 1, repaint 0");
}

TEST_F(Journal, EveryKindOfEntryReplaysToItsInverse) {
    load("\"a\" KdlCommand KivCond Level");
    ConstructNode* text = levelInfoOf(doc.root)->body;
    ConstructNode* command = text->next;
    ConstructNode* condition = command->next;
    ConstructNode* segment = condition->next;
    setPartInt(condition, 0, 7);
    setPartPtr(condition, 1, memStrDup("k"));
    windows.views[2] = nullptr;

    struct Data {
        ConstructNode *text, *command, *condition, *segment;
    } data{text, command, condition, segment};
    static const EditChange change = [](EditContext& c, UndoRecord* r, void* p) -> int {
        auto* d = static_cast<Data*>(p);
        auto* host = static_cast<HostCommand*>(memAlloc(sizeof(HostCommand)));
        host->kind = 2;
        host->commandText = memStrDup("run");
        auto* cond = static_cast<ConditionRecord1*>(memAlloc(sizeof(ConditionRecord1)));
        cond->value = 5;
        cond->text = memStrDup("t");
        return journalSetText(r, c.document, d->text, memStrDup("b")) &&
               journalSetLabel(r, c.document, d->text, false, memStrDup("left")) &&
               journalSetLabel(r, c.document, d->text, true, memStrDup("right")) &&
               journalSetPayload(r, c.document, d->command, host) &&
               journalSetCondition(r, c.document, d->condition, 1, cond) &&
               journalShowSegment(r, c.journal->hooks, c.window, c.view, d->segment) &&
               journalSwitchWindow(r, 1, 2) && journalRefresh(r, 2);
    };
    const std::string before = all();
    ASSERT_EQ(runEditCommand(context, 0, change, &data), 1);
    const std::string after = all();
    EXPECT_NE(after.find("Text<\"left\"|\"right\"> \"b\""), std::string::npos) << after;
    EXPECT_NE(after.find("cmd 2/0 \"run\""), std::string::npos) << after;
    EXPECT_NE(after.find("cond 1 5 \"t\""), std::string::npos) << after;
    EXPECT_EQ(view.segment, segment);
    EXPECT_EQ(windows.take(), "show 1, repaint 0");

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(undo(&journal, context), 1);
        EXPECT_EQ(all(), before);
        EXPECT_EQ(view.segment, doc.root);
        EXPECT_EQ(windows.take(), "refresh 2, activate 1, show 1, repaint 0");
        ASSERT_EQ(undo(&journal, context), 1);
        EXPECT_EQ(all(), after);
        EXPECT_EQ(view.segment, segment);
        EXPECT_EQ(windows.take(), "show 1, activate 2, refresh 2, repaint 0");
    }
}

TEST_F(Journal, AClosedWindowsEntriesGoTheTreeStillUndoes) {
    load("*\"a\" \"b\"");
    static const EditChange change = [](EditContext& c, UndoRecord* r, void*) -> int {
        const Selection s = c.view->state.selection;
        return journalRefresh(r, 2) && journalUnlink(r, c.document, s.first, s.last);
    };
    ASSERT_EQ(runEditCommand(context, CMD_EDIT_DELETE, change, nullptr), 1);
    view.state.selection = {};
    purgeWindow(&journal, 1);
    purgeWindow(&journal, 2);
    windows.take();
    ASSERT_EQ(undo(&journal, context), 1);
    EXPECT_EQ(body(), "\"a\" \"b\"");
    EXPECT_TRUE(view.state.selection.empty());  // the window's state entry went
    EXPECT_EQ(windows.take(), "repaint 0");
}

TEST_F(Journal, ARecordThatLostAnEntryCannotBeUndone) {
    load("\"a\"");
    UndoRecord* record = beginUndoRecord(&journal, CMD_EDIT_DELETE, doc.root);
    ASSERT_NE(record, nullptr);
    UndoEntry entry;
    entry.kind = UndoKind::Text;
    entry.node = levelInfoOf(doc.root)->body;
    entry.stored[0] = reinterpret_cast<std::uintptr_t>(memStrDup("old text"));
    memFailAt(1);
    EXPECT_EQ(addUndoEntry(record, entry), 0);  // the stored text is released at once
    memFailAt(0);
    resetOutcome();
    commitUndoRecord(&journal);
    EXPECT_TRUE(record->incomplete);
    EXPECT_FALSE(canUndo(&journal, doc.root));
    EXPECT_EQ(undo(&journal, context), 0);
}

TEST_F(Journal, RecordsPinTheirSegmentsAndGoWithTheirDocuments) {
    load("Level{4:[*\"a\"]}");
    ConstructNode* inner = levelInfoOf(doc.root)->body;
    view.segment = inner;
    view.state.selection = {levelInfoOf(inner)->body, levelInfoOf(inner)->body};
    ASSERT_EQ(deleteSelection(context), 1);
    EXPECT_TRUE(segmentPinned(inner));

    DiagramDocument other{};
    forgetDocument(&journal, &other);
    EXPECT_NE(journal.current, nullptr);
    forgetDocument(&journal, &doc);  // the deleted Text goes with the record
    EXPECT_EQ(journal.current, nullptr);
    EXPECT_FALSE(segmentPinned(inner));
}

TEST_F(Journal, MoveAcrossDocumentsCopiesWithTheTargetsLevelIdsAndUndoesInBoth) {
    load("*\"a\" *Level{4:[\"b\"]} \"c\"");
    DiagramDocument target{};
    setCurrentStreamFormat(&target);
    target.lastLevelId = 40;
    target.root = newConstruct(&target, CMD_INSERT_SEGMENT);
    const Parsed parsed = parse(&target, "@\"z\"");
    setChildAt(parsed.head, target.root, Slot::Body);
    WindowView targetView;
    targetView.segment = target.root;
    EditContext there{&target, &journal, 2, &targetView};

    PendingInsertion pending;
    ASSERT_EQ(beginInsertion(pending, context, CMD_EDIT_MOVE), 1);
    ASSERT_EQ(completeInsertion(pending, there, {parsed.target, InsertPosition::After, Slot::None}), 1);
    EXPECT_FALSE(pending.active());
    EXPECT_EQ(body(), "\"c\"");
    EXPECT_EQ(print(levelInfoOf(target.root)->body), "\"z\" \"a\" Level{4:[\"b\"]}");
    EXPECT_EQ(levelInfoOf(nth(levelInfoOf(target.root)->body, 2))->levelId, 42u);
    EXPECT_TRUE(doc.modified && target.modified);

    ASSERT_EQ(undo(&journal, there), 1);
    EXPECT_EQ(body(), "\"a\" Level{4:[\"b\"]} \"c\"");
    EXPECT_EQ(print(levelInfoOf(target.root)->body), "\"z\"");
    ASSERT_EQ(undo(&journal, there), 1);
    EXPECT_EQ(body(), "\"c\"");
    clearUndoJournal(&journal);
    freeSequence(target.root);
}
