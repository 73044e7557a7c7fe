// The one-level undo journal.
//
// Every command that changes a diagram records its elementary changes in a
// new UndoRecord, newest first. Undo replays the record from the newest
// entry to the oldest and turns each entry into its inverse on the way, so
// that the record then holds the journal of the Undo itself: a second Undo
// redoes the command, and so on alternately. Replaying never allocates, so
// an Undo cannot run out of memory half-way.
//
// Changes to the tree go through the journaled functions below, which
// record first and change second: when the entry cannot be allocated,
// nothing is changed and the function fails; the command then discards its
// record, which rolls back what it had changed (the previous record becomes
// current again). Callers that change something themselves and record it
// afterwards use addUndoEntry; when that runs out of memory the entry's
// owned data is released and the record is marked incomplete, and an
// incomplete record cannot be undone.
//
// Ownership: a removed sequence (kind 1) owns its constructs; a replaced
// text or label (5, 12, 13) and a replaced payload record (6, 7) own the
// stored block. Dropping a record releases them. Every segment an entry
// changes is named by a kind 9 entry, which pins the segment while the
// record exists and marks it changed and its layout invalid on commit and
// on every Undo.
//
// Windows are opaque ids here; the hooks reach the segment windows.
#pragma once

#include <cstdint>

#include "core/construct_node.h"
#include "edit/edit_context.h"

enum class UndoKind : std::uint8_t {
    Inserted = 0,        // first..last was linked in at `place`
    Removed = 1,         // first..last was taken out of `place`; owns the sequence
    Moved = 2,           // first..last went from `from` to `place`
    ShownSegment = 4,    // `window` showed `node` before (now another segment)
    Text = 5,            // the statement text of `node`; `stored` holds the other one
    Payload = 6,         // part0 payload record of `node`
    Condition = 7,       // condition kind and record (part0, part1) of a KivCond
    SwitchedWindow = 8,  // the command moved from `window` to `otherWindow`
    SegmentChanged = 9,  // `node` (a Level) of `document` was changed: layout invalid, pinned
    WindowState = 10,    // `window`'s state before the command (selection, caret, scroll)
    Refresh = 11,        // `window` needs a full refresh
    LeftLabel = 12,
    RightLabel = 13,
};

// A place in a sequence: after `previous`, or, with `previous` null, at
// the head of `slot` of `owner`.
struct TreePlace {
    ConstructNode* previous = nullptr;
    ConstructNode* owner = nullptr;
    Slot slot = Slot::None;
};

struct UndoEntry {
    UndoKind kind = UndoKind::Inserted;
    UndoEntry* older = nullptr;  // the list runs newest first
    UndoEntry* newer = nullptr;
    DiagramDocument* document = nullptr;
    ConstructNode* first = nullptr;  // kinds 0, 1, 2
    ConstructNode* last = nullptr;
    TreePlace place;                    // 0, 1: where the sequence is / was; 2: where it went
    TreePlace from;                     // 2: where it came from
    ConstructNode* node = nullptr;      // 5, 6, 7, 12, 13: the construct; 9: the Level; 4: the old segment
    std::uintptr_t stored[2] = {0, 0};  // 5, 12, 13: string; 6: record; 7: kind and record
    WindowId window = 0;                // 4, 8, 10, 11
    WindowId otherWindow = 0;           // 8
    WindowState state;                  // 10
};

struct UndoRecord {
    UndoEntry* entries = nullptr;      // newest first
    ConstructNode* segment = nullptr;  // the segment shown in the window the command ran in
    unsigned command = 0;              // the command that made it; CMD_EDIT_UNDO after an Undo
    WindowId window = 0;
    bool incomplete = false;         // an entry was lost when memory ran out: not undoable
    UndoRecord* previous = nullptr;  // the record current before, kept until the command ends
};

// How the journal reaches the segment windows (all optional).
struct UndoWindowHooks {
    void* context = nullptr;
    // The record of a window; null when it is gone.
    WindowView* (*viewOf)(void* context, WindowId window) = nullptr;
    // The window's view->segment was changed: show that segment.
    void (*showSegment)(void* context, WindowId window, ConstructNode* level) = nullptr;
    // Activate the window (another document's).
    void (*activate)(void* context, WindowId window) = nullptr;
    void (*refresh)(void* context, WindowId window) = nullptr;
    // Layouts of the document became invalid: repaint its windows.
    void (*repaint)(void* context, DiagramDocument* document) = nullptr;
};

struct UndoJournal {
    UndoRecord* current = nullptr;
    UndoWindowHooks hooks;
};

// ---------------------------------------------------------------------------
// Records

// A new empty record becomes current; the current one becomes its
// `previous`. Null (nothing changed) when memory runs out.
UndoRecord* beginUndoRecord(UndoJournal* journal, unsigned command, ConstructNode* segment);

// Prepends a copy of `entry`. 0 when memory runs out: the entry's owned
// data is released at once and the record is marked incomplete.
int addUndoEntry(UndoRecord* record, const UndoEntry& entry);

// After success: the previous record is released; every segment the
// record names is marked changed (file copy stale), its layout invalid,
// its document modified, and the documents are repainted.
void commitUndoRecord(UndoJournal* journal);

// After failure: the record's changes are rolled back, it is released and
// the previous record is current again.
void discardUndoRecord(UndoJournal* journal);

// Releases every record (frame clean-up).
void clearUndoJournal(UndoJournal* journal);

// Closing a window: its entries go (the rest of the record stays).
void purgeWindow(UndoJournal* journal, WindowId window);

// Closing a document: records that refer to it are released.
void forgetDocument(UndoJournal* journal, DiagramDocument* document);

// ---------------------------------------------------------------------------
// Undo (CMD_EDIT_UNDO)

// Whether Undo can act in a window showing `shownSegment`: there is a
// complete record, made in that segment or by Find or replace (CMD_EDIT_SEARCH) or
// Continue search (CMD_EDIT_CONTINUE_SEARCH).
bool canUndo(const UndoJournal* journal, const ConstructNode* shownSegment);

// Replays the current record backwards, writing the inverse journal into
// it; the record's command becomes 2310. For the search records the window
// is first switched to the record's segment. 0 when refused (nothing
// changes), also when a segment body an entry takes out cannot be read.
int undo(UndoJournal* journal, EditContext& context);

// ---------------------------------------------------------------------------
// Journaled changes. Each records its entry (and the kind 9 entry of every
// segment it changes) first and changes second: 1 on success, 0 when
// memory ran out (nothing changed).

// The place of `node` in its sequence.
TreePlace placeOf(const ConstructNode* node);

// Links the detached sequence first..last in at `place`.
int journalLink(UndoRecord* record, DiagramDocument* document, ConstructNode* first, ConstructNode* last,
                const TreePlace& place);
// Takes first..last out of its sequence; the record owns it from now on.
// Segment bodies on disk inside it are read first (the record's copy must
// not depend on the segment file), and every segment in it counts as
// changed. 0 when a body cannot be read.
int journalUnlink(UndoRecord* record, DiagramDocument* document, ConstructNode* first, ConstructNode* last);
// Moves first..last to `place` (same document).
int journalMove(UndoRecord* record, DiagramDocument* document, ConstructNode* first, ConstructNode* last,
                const TreePlace& place);
// Replaces the statement text (takes `text`; freed on failure).
int journalSetText(UndoRecord* record, DiagramDocument* document, ConstructNode* node, char* text);
// Replaces a label (`right`: the right one; takes `text`, freed on failure).
int journalSetLabel(UndoRecord* record, DiagramDocument* document, ConstructNode* node, bool right,
                    char* text);
// Replaces the part0 payload record (takes `payload`; the caller frees it on failure).
int journalSetPayload(UndoRecord* record, DiagramDocument* document, ConstructNode* node, void* payload);
// Replaces a KivCond's kind and record (takes `payload`; the caller frees it on failure).
int journalSetCondition(UndoRecord* record, DiagramDocument* document, ConstructNode* node, std::int32_t kind,
                        void* payload);
// The window shows `level` from now on (view->segment and the hook).
int journalShowSegment(UndoRecord* record, const UndoWindowHooks& hooks, WindowId window, WindowView* view,
                       ConstructNode* level);
// The window's state as it is before the command.
int journalWindowState(UndoRecord* record, WindowId window, const WindowState& state);
// The command went on in another document's window.
int journalSwitchWindow(UndoRecord* record, WindowId from, WindowId to);
int journalRefresh(UndoRecord* record, WindowId window);

// ---------------------------------------------------------------------------
// The pattern every structural command follows: open a record (the
// window's state before goes into it), `change` the tree through the
// journaled functions, and on failure discard the record (the tree and the
// previous record are as before, the level ids of the document too); on
// success commit it. Returns what `change` returned (0: failed).
using EditChange = int (*)(EditContext& context, UndoRecord* record, void* data);
int runEditCommand(EditContext& context, unsigned command, EditChange change, void* data);
