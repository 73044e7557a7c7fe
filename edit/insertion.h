// Insertion mode: the pending sequence of a construct command, Copy, Move,
// Paste or Insert file, and placing it at a target.
//
// The window side owns one PendingInsertion while insertion mode runs. It
// asks checkInsertion for the target under the pointer (to show the
// cursor and the status text of the position) and calls completeInsertion
// when the user confirms; an invalid target inserts nothing and leaves the
// insertion pending. When the shown segment is empty the sequence goes in
// at once (insertTargetForEmptySegment).
#pragma once

#include "edit/edit_context.h"
#include "edit/placement.h"

struct PendingInsertion {
    unsigned command = 0;
    ConstructNode* first = nullptr;  // the sequence; owned here unless `moving`
    ConstructNode* last = nullptr;
    DiagramDocument* source = nullptr;  // the document the sequence comes from
    bool moving = false;                // Move: the sequence is the selection itself, in the source's tree
    ConstructNode* pinned = nullptr;    // the segment a moving sequence lies in, pinned meanwhile

    bool active() const { return first != nullptr; }
};

// Starts an insertion for a construct command (3000..5400: a new construct
// from its template), Copy (CMD_EDIT_COPY: a deep copy of the selection) or Move
// (CMD_EDIT_MOVE: the selection itself). 0 when there is nothing to insert (no
// selection, not a construct command, memory ran out).
int beginInsertion(PendingInsertion& pending, EditContext& context, unsigned command);

// Starts an insertion of a detached sequence built elsewhere for
// `document` (Paste: the clipboard's sequence or text construct; Insert
// file: the file's sequence); the pending insertion owns it. 0 for none.
int beginInsertionOf(PendingInsertion& pending, DiagramDocument* document, unsigned command,
                     ConstructNode* sequence);

// Insert file (CMD_INSERT_FILE): the file read as a sequence (new level ids, every
// body read), pending. 0 after the reader's message.
int beginFileInsertion(PendingInsertion& pending, EditContext& context, const char* path);

// Leaves insertion mode without inserting (CMD_QUIT_INSERT_MODE): an owned sequence is freed.
void cancelInsertion(PendingInsertion& pending);

// The verdict of the placement rules for `target` (the pointer's feedback).
Placement checkInsertion(const PendingInsertion& pending, EditContext& context, const InsertTarget& target);

// Places the pending sequence at `target` as one undoable command: the
// placeholder it replaces goes, Move clears the old place (a slot left
// empty gets its placeholder back; across documents the sequence is copied
// into the target document, with new level ids, and removed from the
// source). The new constructs become the selection. 1 on success (the
// insertion is over); 0 when the target is refused or memory ran out (the
// insertion stays pending, the diagram unchanged).
int completeInsertion(PendingInsertion& pending, EditContext& context, const InsertTarget& target);

// When the shown segment is empty, the target that puts the sequence in at
// once (its body); otherwise a target without a construct.
InsertTarget insertTargetForEmptySegment(EditContext& context);
