// The edit control's rules, the default action and committing an edited
// text.
#include "edit/text_edit.h"

#include <gtest/gtest.h>

#include "core/allocator.h"
#include "edit/construct_commands.h"
#include "resources/commands.h"
#include "tests/edit/edit_helpers.h"

namespace {

using edit_test::EditTest;

TEST(TextEdit, TabStopsOfTheFourSchemes) {
    struct Row {
        int scheme, column, stop;
    };
    const Row rows[] = {
        {0, 3, -1},  {1, 0, 8},   {1, 7, 8},   {1, 8, 16},  {2, 0, 1},   {2, 1, 5},   {2, 5, 13},
        {2, 12, 13}, {2, 13, 21}, {3, 0, 6},   {3, 6, 7},   {3, 7, 11},  {3, 11, 19}, {3, 20, 27},
        {4, 0, 9},   {4, 9, 15},  {4, 20, 35}, {4, 40, 71}, {4, 70, 71}, {4, 71, -1}, {4, 90, -1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(nextTabStop(r.scheme, r.column), r.stop) << r.scheme << "@" << r.column;
}

TEST(TextEdit, TypedCharacters) {
    EditControlOptions multi;
    multi.tabScheme = 4;
    EditControlOptions indent = multi;
    indent.autoIndent = true;
    EditControlOptions single;
    single.singleLine = true;
    EditControlOptions over;
    over.overwrite = true;
    EditControlOptions oem;
    oem.oemFont = true;
    const std::string line40(40, 'a');
    struct Row {
        const EditControlOptions* options;
        std::string line;
        int column;
        unsigned char c;
        CharAction::Kind kind;
        std::string text;
        bool selectNext;
    };
    const Row rows[] = {
        {&multi, line40, 40, '\t', CharAction::Insert, std::string(31, ' '), false},  // to column 71
        {&multi, std::string(75, 'a'), 71, '\t', CharAction::Drop, "", false},        // no stop after 71
        {&indent, "      x = 1", 11, '\r', CharAction::Insert, "\r\n      ", false},
        {&indent, "   x", 2, '\r', CharAction::Insert, "\r\n  ", false},  // blanks before the caret only
        {&multi, "   x", 4, '\r', CharAction::Pass, "", false},           // indentation off
        {&single, "abc", 3, '\r', CharAction::Drop, "", false},
        {&single, "abc", 1, '\t', CharAction::Pass, "", false},  // Tab moves to the next control
        {&over, "abc", 1, 'x', CharAction::Pass, "", true},
        {&over, "abc", 3, 'x', CharAction::Pass, "",
         false},  // nothing under the caret at the end of the line
        {&over, "abc", 1, '\b', CharAction::Pass, "", false},
        {&oem, "", 0, 'a', CharAction::Pass, "", false},
        {&oem, "", 0, 0xC4, CharAction::Pass, "", false},  // A umlaut exists in OEM
        {&oem, "", 0, 0x80, CharAction::Drop, "", false},  // the euro sign does not
    };
    for (const Row& r : rows) {
        const CharAction a = typedChar(*r.options, r.line, r.column, false, r.c);
        EXPECT_EQ(a.kind, r.kind) << r.line << " " << int(r.c);
        EXPECT_EQ(a.text, r.text) << r.line << " " << int(r.c);
        EXPECT_EQ(a.selectNext, r.selectNext) << r.line << " " << int(r.c);
    }
    EXPECT_EQ(autoIndentWidth(std::string(300, ' ')), kMaxAutoIndent);
}

TEST(TextEdit, PasteTakesTheFirstLineOfASingleLineField) {
    EditControlOptions single;
    single.singleLine = true;
    single.uppercase = true;
    EXPECT_EQ(pasteText(single, "first\r\nsecond\r\nthird"), "FIRST");
    EXPECT_EQ(pasteText(EditControlOptions{}, "a\r\nb"), "a\r\nb");
    EditControlOptions oem;
    oem.oemFont = true;
    EXPECT_EQ(pasteText(oem, "\xC4 \x80").substr(0, 2), "\xC4 ");
    EXPECT_NE(pasteText(oem, "\x80"), "\x80");
    // The external editor's file: any line ends, the final ones dropped.
    EXPECT_EQ(textFromEditorFile("a\nb\r\nc\r\n\r\n"), "a\r\nb\r\nc");
    EXPECT_EQ(textFromEditorFile(std::string("x\0y", 3)), "x");
}

TEST(TextEdit, CheckFindsTheFirstProblem) {
    struct Row {
        const char* text;
        TextProblem problem;
        int position, line, column;
    };
    const Row rows[] = {
        {"MOVE A(1) TO B.\r\nDISPLAY 'x{}' \"y\"\"z\"", TextProblem::None, 0, 0, 0},
        {"ADD 1 TO X\r\nSET Y # 2", TextProblem::CobolCharacter, 18, 2, 7},
        {"A \"open\r\nB", TextProblem::UnclosedQuote, 2, 1, 3},
        {"(A))", TextProblem::UnmatchedClose, 3, 1, 4},
        {"((A) [", TextProblem::CobolCharacter, 5, 1, 6},
        {"X = (A\r\n + (B)", TextProblem::UnclosedBracket, 4, 1, 5},
        {"'it''s' \xE9", TextProblem::CobolCharacter, 8, 1, 9},
    };
    for (const Row& r : rows) {
        const TextCheck c = checkText(r.text);
        EXPECT_EQ(c.problem, r.problem) << r.text;
        if (r.problem == TextProblem::None) continue;
        EXPECT_EQ(c.position, r.position) << r.text;
        EXPECT_EQ(c.line, r.line) << r.text;
        EXPECT_EQ(c.column, r.column) << r.text;
        EXPECT_EQ(c.character, r.text[r.position]) << r.text;
    }
}

TEST(TextEdit, DefaultActionChooser) {
    struct Row {
        const char* node;  // Level, Call, "text", If (labels: see below)
        bool rightLabel, joinable, shift, ctrl, alt;
        int editField, defaultEditor;
        unsigned command;
        int field;
    };
    const Row rows[] = {
        {"Level", false, false, false, false, false, 0, 0, CMD_VIEW_DOWN, 0},
        {"Level", true, false, true, false, true, 0, 0, CMD_EDIT_TEXT, kFieldRightLabel},  // Shift+Alt
        {"Call", false, false, false, false, false, 0, 0, CMD_VIEW_PROCEDURE, 0},
        {"Call", false, false, true, true, false, 0, 0, 0, 0},  // Shift+Ctrl: no own text to edit
        {"text", true, false, false, false, false, kFieldRightLabel, 1, CMD_EDIT_WINDOW, kFieldRightLabel},
        {"text", false, true, false, false, false, 0, 0, CMD_EDIT_JOIN, 0},
        {"text", false, true, true, false, false, 0, 0, CMD_EDIT_TEXT, kFieldText},
        {"text", false, false, false, false, true, 0, 0, CMD_EDIT_EXTERNAL, kFieldText},
        {"text", false, false, false, true, false, 0, 0, CMD_EDIT_WINDOW, kFieldText},
        {"text", false, false, false, false, false, 0, 2, CMD_EDIT_EXTERNAL, kFieldText},
        {"text", false, false, false, false, false, 0, 9, CMD_EDIT_TEXT, kFieldText},
        {"If", false, false, false, false, false, 0, 0, 0, 0},
        {"If", true, false, false, false, false, 0, 1, CMD_EDIT_WINDOW, kFieldRightLabel},
    };
    for (const Row& r : rows) {
        ConstructNode* node = std::string(r.node) == "text"   ? newConstruct(nullptr, CMD_INSERT_STATEMENT)
                              : std::string(r.node) == "If"   ? newNode(ConstructType::If)
                              : std::string(r.node) == "Call" ? newNode(ConstructType::Call)
                                                              : newNode(ConstructType::Level);
        if (r.rightLabel) setRightLabel(node, memStrDup("r"));
        DefaultActionInput in;
        in.node = node;
        in.joinable = r.joinable;
        in.shift = r.shift;
        in.ctrl = r.ctrl;
        in.alt = r.alt;
        in.editField = r.editField;
        in.defaultEditor = r.defaultEditor;
        const DefaultAction a = chooseDefaultAction(in);
        EXPECT_EQ(a.command, r.command) << r.node << " s" << r.shift << " c" << r.ctrl << " a" << r.alt;
        EXPECT_EQ(a.field, r.field) << r.node;
        freeSequence(node);
    }
}

class CommitTest : public EditTest {};

TEST_F(CommitTest, CommitIsOneUndoRecordAndTheLimitHolds) {
    load("*\"old\" \"b\"");
    ConstructNode* node = view.state.selection.first;
    EXPECT_EQ(commitFieldText(context, CMD_EDIT_TEXT, node, kFieldText, "old"), CommitResult::Unchanged);
    EXPECT_EQ(commitFieldText(context, CMD_EDIT_TEXT, node, kFieldText, std::string(kTextLimit, 'x')),
              CommitResult::TooLong);
    EXPECT_EQ(body(), "\"old\" \"b\"");
    EXPECT_EQ(commitFieldText(context, CMD_EDIT_TEXT, node, kFieldText, "new\r\ntext"),
              CommitResult::Committed);
    EXPECT_EQ(commitFieldText(context, CMD_EDIT_WINDOW, node, kFieldLeftLabel, "L1"),
              CommitResult::Committed);
    EXPECT_STREQ(leftLabel(node), "L1");
    ASSERT_TRUE(undo(&journal, context));  // the label only
    EXPECT_EQ(leftLabel(node), nullptr);
    EXPECT_STREQ(textOf(node), "new\r\ntext");
    EXPECT_EQ(commitFieldText(context, CMD_EDIT_TEXT, node, kFieldText, ""), CommitResult::Committed);
    EXPECT_EQ(textOf(node), nullptr);
    ASSERT_TRUE(undo(&journal, context));
    EXPECT_STREQ(textOf(node), "new\r\ntext");
    ConstructNode* ifNode = newNode(ConstructType::If);
    EXPECT_EQ(commitFieldText(context, CMD_EDIT_TEXT, ifNode, kFieldText, "x"), CommitResult::Refused);
    freeSequence(ifNode);
}

}  // namespace
