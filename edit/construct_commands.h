// The structural commands on the selected area of a window: delete,
// duplicate, enclose, extract, refine, push down, pull up, split and join.
//
// Each runs as one undoable command (runEditCommand): on failure the
// diagram and the undo record are as they were. Each has a check beside
// it that answers, changing nothing, whether the command can succeed for a
// selection (the menus and bars enable the command by it).
#pragma once

#include <cstdint>

#include "edit/edit_context.h"
#include "edit/placement.h"

// The longest statement text: the joined texts stay below 29989 characters.
constexpr int kMaxJoinedText = 29988;

// Delete (CMD_EDIT_DELETE): the area leaves its sequence (the undo record keeps it);
// a slot left empty gets its placeholder back (a segment body stays
// empty). A lone placeholder cannot be deleted. The selection becomes the
// placeholder put back, else the construct after the area, else the one
// before it.
int deleteSelection(EditContext& context);
bool canDelete(const Selection& selection);

// Duplicate (CMD_EDIT_DUPLICATE): a deep copy of the area goes in directly after it and
// becomes the selection.
int duplicateSelection(EditContext& context);
Placement checkDuplicate(DiagramDocument* document, const Selection& selection);

// Enclose (2461..2506): a construct built from the command's template takes
// the area's place, and the area replaces the placeholder of the named
// slot (slot 5: the first branch's body, slot 6: the rest branch's body).
// The new construct becomes the selection.
struct EncloseRow {
    std::uint16_t command;
    std::uint16_t templateCommand;
    Slot slot;
};
const EncloseRow* encloseRow(unsigned command);  // null for another command
int encloseSelection(EditContext& context, unsigned command);
Placement checkEnclose(DiagramDocument* document, const Selection& selection, unsigned command);

// Extract (CMD_EDIT_EXTRACT): the construct holding the area (for a branch's body, the
// multi-way construct holding the branch) is replaced by the area; the rest
// of that construct goes with it into the undo record. A segment is never
// dissolved this way (Pull up does that). The area stays selected.
int extractSelection(EditContext& context);
Placement checkExtract(DiagramDocument* document, const Selection& selection);

// Refine (CMD_EDIT_REFINE) and Push down (CMD_EDIT_PUSH_DOWN): a new segment (template 3050, a new
// level id) takes the area's place with the area as its body. Refine then
// shows the new segment in the window with the area selected; Push down
// stays and selects the new segment.
int refineSelection(EditContext& context, bool pushDown);
Placement checkRefine(DiagramDocument* document, const Selection& selection);

// Pull up (CMD_EDIT_PULL_UP): every segment of an area of segments is replaced by its
// body; the selection spans what was pulled up.
int pullUpSelection(EditContext& context);
Placement checkPullUp(DiagramDocument* document, const Selection& selection);

// Split (CMD_EDIT_SPLIT): the one selected text construct, outside conditions and
// heads, is cut at `caret` (0 < caret < length) into two constructs of its
// type; a line break at the cut goes. The second becomes the selection.
int splitSelection(EditContext& context, int caret);
bool canSplit(const Selection& selection, int caret);

// Join (CMD_EDIT_JOIN): two or more text constructs of one sequence become the
// first, their texts joined with CR LF, when the result has at most 29988
// characters.
int joinSelection(EditContext& context);
bool canJoin(const Selection& selection);

// Where the slot an area goes into lies in a construct built for enclosing:
// slot 5 means the first branch's body, slot 6 the rest branch's body.
ConstructNode* encloseSlotOwner(ConstructNode* construct, Slot slot, Slot* inner);
