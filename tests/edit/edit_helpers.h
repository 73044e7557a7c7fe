// Helpers for the editing tests: a compact tree notation, a fixture with a
// document, a window and the undo journal, and one runner for every
// editing command.
//
// Notation (the body of the top segment):
//   "a"                  a Text holding a (\n stands for CR LF)
//   If{8:["c"] 2:[...]}  a construct; a slot left out holds its lone
//                        placeholder (a segment body: nothing), N:[] is empty
//   ph / ph(3,2)         a placeholder for the slot it is in / for owner 3, slot 2
//   *x                   selected (first to last marked)
//   @x                   the target of an insertion
// The printer writes the same notation (without marks).
#pragma once

#include <string>

#include "edit/edit_context.h"
#include "edit/insertion.h"
#include "edit/undo_journal.h"
#include "tests/core/tree_helpers.h"

namespace edit_test {

struct Parsed {
    ConstructNode* head = nullptr;
    Selection selection;
    ConstructNode* target = nullptr;
};

// Builds the sequence; new segments get level ids of `document`.
Parsed parse(DiagramDocument* document, const std::string& text);
std::string print(const ConstructNode* head);

// A command as the tests give it: the number, the caret of Split, the
// position of an insertion (at the target marked @) and its slot, the
// clipboard text of 2640.
struct Command {
    unsigned number = 0;
    InsertPosition position = InsertPosition::After;
    Slot slot = Slot::None;
    int caret = 0;
    const char* text = nullptr;
};

// Runs one editing command in `context` through the public functions (a
// construct command, Copy, Move and Paste begin an insertion and complete
// it at `target`). 1 when it changed the diagram.
int runCommand(EditContext& context, const Command& command, ConstructNode* target);

class EditTest : public tree_test::TreeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the diagram: a top segment whose body is `body`, shown in
    // the window with the marked selection.
    void load(const std::string& body);
    std::string body() const;  // the notation of the top segment's body
    // The full dump (tree_test::dump) of the whole diagram.
    std::string all() const;
    int run(const Command& command) { return runCommand(context, command, target); }

    UndoJournal journal;
    WindowView view;
    EditContext context{&doc, &journal, 1, &view};
    ConstructNode* target = nullptr;
};

}  // namespace edit_test
