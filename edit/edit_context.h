// What every editing command is handed: the document, the undo journal and
// the window it acts in, with the window's selection. Editing keeps none of
// these itself; the segment windows own their WindowView records, the
// frame owns the journal.
#pragma once

#include <cstdint>

struct ConstructNode;
struct DiagramDocument;
struct UndoJournal;

// A segment window, as editing knows it: an opaque id (0 = none).
using WindowId = std::uintptr_t;

// The selected area: consecutive constructs of one sequence of the shown
// segment; both null when nothing is selected, the same node for a single
// selection.
struct Selection {
    ConstructNode* first = nullptr;
    ConstructNode* last = nullptr;

    bool empty() const { return first == nullptr; }
    bool single() const { return first && first == last; }
    bool operator==(const Selection&) const = default;
};

// What the undo journal saves of a window before a command and gives back
// on Undo: the selection, the caret, the edited field and the scroll
// position.
struct WindowState {
    Selection selection;
    std::int32_t caret = 0;
    std::int32_t caretEnd = 0;
    std::int32_t field = 0;
    std::int32_t scrollX = 0;
    std::int32_t scrollY = 0;

    bool operator==(const WindowState&) const = default;
};

// The editing side of a segment window: the segment it shows and its state.
struct WindowView {
    ConstructNode* segment = nullptr;  // the Level shown
    WindowState state;
};

struct EditContext {
    DiagramDocument* document = nullptr;
    UndoJournal* journal = nullptr;
    WindowId window = 0;
    WindowView* view = nullptr;  // the window's record; null: no window (nothing is shown)
};
