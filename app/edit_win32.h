// Construct editing in the segment windows: the routes of the editing,
// undo and clipboard commands, insertion mode with the mouse and the
// keyboard, and the Windows clipboard. The editing itself is portable
// (edit/); these files hand it the current window's document, selection
// and the one undo journal, and show what it changed.
#pragma once

#include <windows.h>

#include "app/commands.h"
#include "edit/clipboard_image.h"
#include "edit/edit_context.h"
#include "edit/insertion.h"
#include "view/segment_window.h"

struct UndoRecord;

// ---------------------------------------------------------------------------
// Commands (edit_win32.cpp)

// Installs the handlers of CommandOwner::edit, ::undo and ::clipboard and
// connects the undo journal to the segment windows.
void installEditRoutes();
// Whether `command` is one of editing's; its enabled state in `*enabled`
// (it can succeed now: selection, clipboard, available constructs, a
// read-only diagram).
bool editCommandState(unsigned command, bool* enabled);
// Insert file (CMD_INSERT_FILE): the chosen file's sequence becomes the
// pending insertion in the current window.
bool insertFileCommand(const CommandRequest& request);
// A segment window closes: the journal forgets its entries, insertion mode
// ends when it was the window's.
void editWindowClosing(SegmentWindow& window);
// A diagram closes or its tree is replaced: undo records that refer to it
// go, and a pending insertion from it ends.
void editDocumentClosing(DiagramDocument* document);
// Releases the journal and a pending insertion (frame clean-up).
void editCleanup();

// The edit context of a window (the windows' states are taken in first);
// afterEdit gives the states back to the windows, checks that what every
// window shows still exists, and repaints.
EditContext editContextOf(SegmentWindow& window);
void afterEdit(SegmentWindow& window);
// Counts the edits made and taken back, Undo included: a search notes it
// to tell later whether a command changed a diagram in between.
unsigned long editCount();

// ---------------------------------------------------------------------------
// Insertion mode (insertion_win32.cpp)

extern PendingInsertion g_pendingInsertion;

// Starts insertion mode for a sequence already pending: a window showing
// an empty segment takes it at once; otherwise the cursor, the status line
// and the toolbox follow. `buttonHeld`: a drag continues with the button
// pressed.
bool enterInsertionMode(SegmentWindow& window, bool buttonHeld = false);
// Leaves insertion mode without inserting (the pending sequence is freed);
// the toolbox shows "Quit insert mode" pressed.
void quitInsertionMode();
// Enter: places the pending sequence at the keyboard's mark.
bool placeAtMark();

// The segment window procedure's calls; each returns true when it took
// the message.
bool editMouseDown(SegmentWindow& window, LPARAM at, WPARAM keys);
bool editMouseMove(SegmentWindow& window, LPARAM at, WPARAM keys);
bool editMouseUp(SegmentWindow& window, LPARAM at);
bool editSetCursor(SegmentWindow& window);
bool editTimer(SegmentWindow& window, WPARAM id);
void editCaptureLost(SegmentWindow& window);
// A selection key while insertion mode runs moves the mark.
bool editKeyCommand(SegmentWindow& window, unsigned command);
// Draws the mark of the insertion point (dc in content coordinates).
void paintInsertionMark(SegmentWindow& window, const ViewContext& ctx, HDC dc);

// ---------------------------------------------------------------------------
// The clipboard (clipboard_win32.cpp)

// What the clipboard holds now.
ClipboardContent clipboardContent();
// Cut and Copy: the selection's image with its text; Paste (both
// commands): the sequence built from the clipboard, pending. False when
// nothing was done (bad data: after the message).
bool clipboardCommand(SegmentWindow& window, const CommandRequest& request);
