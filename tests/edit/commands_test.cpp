// Every editing command as one table: the diagram before (selection *,
// target @), the command, and the diagram after ("refused": unchanged).
// Each row is also undone and redone twice, and run with memory running
// out at every allocation, which must leave the diagram as it was.
#include <gtest/gtest.h>

#include "core/allocator.h"
#include "core/outcome.h"
#include "edit/construct_commands.h"
#include "resources/commands.h"
#include "tests/edit/edit_helpers.h"

using namespace edit_test;

namespace {

using At = InsertPosition;

struct CommandCase {
    const char* before;
    Command command;
    const char* after;  // "refused": nothing changes
};

constexpr const char* kRefused = "refused";

Command cmd(unsigned number) {
    return Command{number};
}
Command at(unsigned number, At position, Slot slot = Slot::None) {
    return Command{number, position, slot};
}
Command caret(int position) {
    Command c{CMD_EDIT_SPLIT};
    c.caret = position;
    return c;
}
Command pasteText(const char* text) {
    Command c{CMD_CLIPBOARD_PASTE_FREE_FORMAT, At::After};
    c.text = text;
    return c;
}

const CommandCase kCases[] = {
    // Delete: placeholders put back, a lone placeholder stays.
    {"If{8:[\"c\"] 2:[*\"a\"]}", cmd(CMD_EDIT_DELETE), "If{8:[\"c\"]}"},
    {"\"a\" *\"b\" *\"c\" \"d\"", cmd(CMD_EDIT_DELETE), "\"a\" \"d\""},
    {"*\"a\" *Level{4:[\"b\"]}", cmd(CMD_EDIT_DELETE), ""},
    {"If{2:[*ph]}", cmd(CMD_EDIT_DELETE), kRefused},
    {"OnCondition{5:[*OnConditionBranch OnConditionBranch]}", cmd(CMD_EDIT_DELETE),
     "OnCondition{5:[OnConditionBranch]}"},
    {"OnCondition{5:[*OnConditionBranch]}", cmd(CMD_EDIT_DELETE), "OnCondition"},
    // Duplicate.
    {"*\"a\" \"b\"", cmd(CMD_EDIT_DUPLICATE), "\"a\" \"a\" \"b\""},
    {"*Level{4:[\"x\"]}", cmd(CMD_EDIT_DUPLICATE), "Level{4:[\"x\"]} Level{4:[\"x\"]}"},
    {"While{8:[*\"c\"]}", cmd(CMD_EDIT_DUPLICATE), kRefused},
    // Enclose: every kind of slot of the table.
    {"\"a\" *\"b\" *\"c\"", cmd(CMD_ENCLOSE_WHILE), "\"a\" While{4:[\"b\" \"c\"]}"},
    {"*\"b\"", cmd(CMD_ENCLOSE_IF_ELSE), "If{3:[\"b\"]}"},
    {"*\"b\"", cmd(CMD_ENCLOSE_SWITCH_WHEN),
     "OnCondition{5:[OnConditionBranch{7:[\"b\"]} OnConditionBranch] 6:[OnConditionBranch]}"},
    {"*\"b\"", cmd(CMD_ENCLOSE_SWITCH_WHEN_NONE),
     "OnCondition{5:[OnConditionBranch OnConditionBranch] 6:[OnConditionBranch{7:[\"b\"]}]}"},
    {"*\"b\"", cmd(CMD_ENCLOSE_CASE_OTHERWISE),
     "OnSelector{5:[OnSelectorBranch OnSelectorBranch] 6:[OnSelectorBranch{7:[\"b\"]}]}"},
    {"*\"a\"", cmd(CMD_ENCLOSE_FIRST + 28), "WhenLeave{9:[\"a\"]}"},
    {"*\"a\" *\"b\"", cmd(CMD_ENCLOSE_FIRST + 28), kRefused},
    {"If{8:[*\"c\"]}", cmd(CMD_ENCLOSE_AND), "If{8:[And{8:[\"c\" ph]}]}"},
    {"If{8:[And{8:[*\"a\" *\"b\"]}]}", cmd(CMD_ENCLOSE_NOT), kRefused},
    {"If{8:[*\"c\"]}", cmd(CMD_ENCLOSE_WHILE), kRefused},
    {"*\"a\"", cmd(CMD_ENCLOSE_AND), kRefused},
    // Extract: the holding construct goes, the area takes its place.
    {"\"x\" If{8:[\"c\"] 2:[*\"a\" \"b\"] 3:[\"e\"]} \"y\"", cmd(CMD_EDIT_EXTRACT), "\"x\" \"a\" \"y\""},
    {"OnCondition{5:[OnConditionBranch{7:[*\"a\"]} OnConditionBranch]}", cmd(CMD_EDIT_EXTRACT), "\"a\""},
    {"While{8:[And{8:[*\"a\" \"b\"]}]}", cmd(CMD_EDIT_EXTRACT), "While{8:[\"a\"]}"},
    {"Level{4:[*\"a\"]}", cmd(CMD_EDIT_EXTRACT), kRefused},
    {"While{8:[\"c\"] 4:[If{8:[*\"d\"]}]}", cmd(CMD_EDIT_EXTRACT), "While{8:[\"c\"] 4:[\"d\"]}"},
    // Refine, push down, pull up.
    {"\"x\" *\"a\" *\"b\"", cmd(CMD_EDIT_REFINE), "\"x\" Level{4:[\"a\" \"b\"]}"},
    {"If{8:[*\"c\"]}", cmd(CMD_EDIT_PUSH_DOWN), "If{8:[Level{4:[\"c\"]}]}"},
    {"OnCondition{5:[*OnConditionBranch]}", cmd(CMD_EDIT_PUSH_DOWN), kRefused},
    {"\"x\" *Level{4:[\"a\" \"b\"]} *Level \"y\"", cmd(CMD_EDIT_PULL_UP), "\"x\" \"a\" \"b\" \"y\""},
    {"If{2:[*Level]}", cmd(CMD_EDIT_PULL_UP), "If"},
    {"*Level *\"a\"", cmd(CMD_EDIT_PULL_UP), kRefused},
    // Split and join.
    {"*\"ab\\ncd\"", caret(4), "\"ab\" \"cd\""},
    {"*SpecialText\"abc\"", caret(1), "SpecialText\"a\" SpecialText\"bc\""},
    {"*\"abc\"", caret(3), kRefused},
    {"If{8:[*\"ab\"]}", caret(1), kRefused},
    {"*\"a\" *\"b\" *FreeFormat\"c\"", cmd(CMD_EDIT_JOIN), "\"a\\nb\\nc\""},
    {"*\"a\" *If", cmd(CMD_EDIT_JOIN), kRefused},
    // Insertion of new constructs.
    {"@\"a\"", at(CMD_INSERT_IF, At::After), "\"a\" If"},
    {"@\"a\"", at(CMD_INSERT_WHILE, At::Before), "While \"a\""},
    {"If{2:[@ph]}", at(CMD_INSERT_WHILE, At::Replace), "If{2:[While]}"},
    {"@If", at(CMD_INSERT_STATEMENT, At::IntoSlot, Slot::Else), "If{3:[Text]}"},
    {"", at(CMD_INSERT_STATEMENT, At::IntoSegment), "Text"},
    {"@Level", at(CMD_INSERT_IF, At::IntoSegment), "Level{4:[If]}"},
    {"While{8:[@\"c\"]}", at(CMD_INSERT_STATEMENT, At::After), kRefused},
    {"While{8:[And{8:[@\"c\" \"d\"]}]}", at(CMD_INSERT_STATEMENT, At::After),
     "While{8:[And{8:[\"c\" Text \"d\"]}]}"},
    {"If{8:[And{8:[@\"a\" \"b\"]}]}", at(4310, At::After), "If{8:[And{8:[\"a\" ph \"b\"]}]}"},
    // Copy, move, paste.
    {"*\"a\" @\"b\"", at(CMD_EDIT_COPY, At::After), "\"a\" \"b\" \"a\""},
    {"*\"a\" \"b\" If{2:[@ph]}", at(CMD_EDIT_MOVE, At::Replace), "\"b\" If{2:[\"a\"]}"},
    {"If{2:[*\"a\"]} @\"b\"", at(CMD_EDIT_MOVE, At::After), "If \"b\" \"a\""},
    {"*Loop{4:[@\"a\"]}", at(CMD_EDIT_MOVE, At::After), kRefused},
    {"If{8:[And{8:[*\"a\" @ph]}]}", at(CMD_EDIT_MOVE, At::Replace), "If{8:[And{8:[\"a\"]}]}"},
    {"*\"a\" *If{2:[\"b\"]} @\"c\"", at(CMD_CLIPBOARD_PASTE, At::After),
     "\"a\" If{2:[\"b\"]} \"c\" \"a\" If{2:[\"b\"]}"},
    {"*Level{4:[\"b\"]} @\"c\"", at(CMD_CLIPBOARD_PASTE, At::Before),
     "Level{4:[\"b\"]} Level{4:[\"b\"]} \"c\""},
    {"@\"a\"", pasteText("x\ty"), "\"a\" FreeFormat\"x       y\""},
};

class Commands : public EditTest {
protected:
    // A record of an earlier command, which a failing command must keep.
    UndoRecord* earlierRecord() {
        static const EditChange label = [](EditContext& c, UndoRecord* record, void*) {
            return journalSetLabel(record, c.document, c.document->root, false, memStrDup("earlier"));
        };
        runEditCommand(context, 0, label, nullptr);
        return journal.current;
    }
};

}  // namespace

TEST_F(Commands, ResultsUndoAndRedo) {
    for (const CommandCase& c : kCases) {
        SCOPED_TRACE(c.before);
        load(c.before);
        const std::string before = body();
        const std::string full = all();
        const int done = run(c.command);
        if (std::string(c.after) == kRefused) {
            EXPECT_EQ(done, 0);
            EXPECT_EQ(all(), full);
            continue;
        }
        ASSERT_EQ(done, 1);
        EXPECT_EQ(body(), c.after);
        EXPECT_EQ(tree_test::checkLinks(doc.root), "");
        const std::string after = all();
        for (int round = 0; round < 2; ++round) {
            ASSERT_EQ(undo(&journal, context), 1);
            EXPECT_EQ(body(), before);
            EXPECT_EQ(all(), full);
            ASSERT_EQ(undo(&journal, context), 1);
            EXPECT_EQ(all(), after);
        }
    }
}

TEST_F(Commands, MemoryRunningOutAtEveryAllocationLeavesTheDiagramAsItWas) {
    for (const CommandCase& c : kCases) {
        if (std::string(c.after) == kRefused) continue;
        SCOPED_TRACE(c.before);
        for (long nth = 1;; ++nth) {
            load(c.before);
            UndoRecord* earlier = earlierRecord();
            const std::string full = all();
            const long blocks = memOutstanding();
            memFailAt(nth);
            const int done = run(c.command);
            memFailAt(0);
            const bool ranOut = g_outcome.jobCancelled;
            resetOutcome();
            if (!ranOut) {
                EXPECT_EQ(done, 1);
                break;
            }
            ASSERT_EQ(done, 0) << "allocation " << nth;
            ASSERT_EQ(all(), full) << "allocation " << nth;
            ASSERT_EQ(journal.current, earlier);
            ASSERT_EQ(memOutstanding(), blocks) << "allocation " << nth;
        }
    }
}

TEST_F(Commands, JoinKeepsTheTextBelowItsLimit) {
    for (const int length : {14993, 14994}) {
        const std::string text(static_cast<std::size_t>(length), 'x');
        load("*\"" + text + "\" *\"" + text + "\"");
        EXPECT_EQ(joinSelection(context), length == 14993 ? 1 : 0) << length;  // 2 x 14993 + 2 = 29988
    }
}
