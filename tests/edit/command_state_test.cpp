// Enabled states of the editing commands as one table.
#include <gtest/gtest.h>

#include "edit/command_state.h"
#include "resources/commands.h"
#include "tests/edit/edit_helpers.h"

using namespace edit_test;

namespace {

struct StateCase {
    const char* tree;
    unsigned command;
    bool enabled;
    bool readOnly = false;
    bool clipboardText = false;
    int caret = -1;
    ConstructType unavailable = ConstructType::None;
};

const StateCase kCases[] = {
    {"*\"a\"", CMD_EDIT_DELETE, true},
    {"If{2:[*ph]}", CMD_EDIT_DELETE, false},
    {"\"a\"", CMD_EDIT_DELETE, false},
    {"*\"a\"", CMD_EDIT_DELETE, false, true},
    {"*\"a\"", CMD_CLIPBOARD_COPY, true, true},
    {"*\"a\"", CMD_CLIPBOARD_CUT, true},
    {"*\"a\"", CMD_EDIT_UNDO, false},
    {"*\"a\"", CMD_ENCLOSE_WHILE, true},
    {"*\"a\"", CMD_ENCLOSE_WHILE, false, false, false, -1, ConstructType::While},
    {"If{8:[*\"c\"]}", CMD_ENCLOSE_WHILE, false},
    {"If{8:[*\"c\"]}", CMD_ENCLOSE_AND, true},
    {"If{8:[And{8:[*\"a\" *\"b\"]}]}", CMD_ENCLOSE_NOT, false},
    {"If{8:[And{8:[*\"a\" *\"b\"]}]}", CMD_ENCLOSE_OR, true},
    {"*\"abc\"", CMD_EDIT_SPLIT, true, false, false, 1},
    {"*\"abc\"", CMD_EDIT_SPLIT, false},
    {"*\"a\" *\"b\"", CMD_EDIT_JOIN, true},
    {"*\"a\" *Level", CMD_EDIT_JOIN, false},
    {"\"a\"", CMD_CLIPBOARD_PASTE, false},
    {"\"a\"", CMD_CLIPBOARD_PASTE, true, false, true},
    {"\"a\"", CMD_CLIPBOARD_PASTE_FREE_FORMAT, true, false, true},
    {"\"a\"", CMD_INSERT_IF, true},
    {"\"a\"", CMD_INSERT_IF, false, false, false, -1, ConstructType::If},
    {"\"a\"", CMD_INSERT_IF, false, true},
    {"\"a\"", 3735, false},  // a Variable goes nowhere
    {"\"a\"", 4940, false},  // edge types are not offered
    {"*Level *Level", CMD_EDIT_PULL_UP, true},
    {"*\"a\"", CMD_EDIT_PULL_UP, false},
    {"*\"a\" *\"b\"", CMD_EDIT_REFINE, true},
    {"If{2:[*\"a\"]}", CMD_EDIT_EXTRACT, true},
    {"*\"a\"", CMD_EDIT_EXTRACT, false},
    {"While{8:[*\"c\"]}", CMD_EDIT_DUPLICATE, false},
    {"*\"a\"", CMD_INSERT_FILE, true},
    {"*\"a\"", CMD_QUIT_INSERT_MODE, false},
    {"*\"a\"", CMD_FILE_OPEN, false},  // not an editing command
};

class CommandStates : public EditTest {};

}  // namespace

TEST_F(CommandStates, Table) {
    for (const StateCase& c : kCases) {
        load(c.tree);
        bool available[kMaxTypeCode + 1];
        for (bool& a : available) a = true;
        if (c.unavailable != ConstructType::None) available[typeCode(c.unavailable)] = false;
        EditState state;
        state.document = &doc;
        state.view = &view;
        state.journal = &journal;
        state.available = available;
        state.readOnly = c.readOnly;
        state.clipboard.text = c.clipboardText;
        state.caret = c.caret;
        EXPECT_EQ(editCommandEnabled(state, c.command), c.enabled) << c.tree << " command " << c.command;
    }
    EditState none;
    none.insertionPending = true;
    EXPECT_TRUE(editCommandEnabled(none, CMD_QUIT_INSERT_MODE));
    EXPECT_FALSE(editCommandEnabled(none, CMD_INSERT_IF));
}
