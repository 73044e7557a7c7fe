// Whether an editing command can succeed now: the one answer the menus,
// the tool bar, the toolbox and the context menus enable their items by.
#pragma once

#include "edit/clipboard_image.h"
#include "edit/edit_context.h"

struct UndoJournal;

struct EditState {
    DiagramDocument* document = nullptr;  // null: no diagram window is current
    const WindowView* view = nullptr;     // the current window's segment and selection
    const UndoJournal* journal = nullptr;
    ClipboardContent clipboard;
    bool settingsLoaded = true;
    const bool* available = nullptr;  // by construct type code (the language configuration); null: all
    bool readOnly = false;            // the document may not be changed
    bool insertionPending = false;
    int caret = -1;  // the caret in the selected construct's text (Split); -1: none
};

// For the commands of construct editing, undo and the clipboard (CMD_EDIT_UNDO,
// CMD_EDIT_SPLIT, CMD_EDIT_JOIN, 2340..2365, 2461..2506, 2600..2690, 3000..5400, CMD_INSERT_FILE,
// CMD_QUIT_INSERT_MODE); false for any other number. Checks read segment bodies they need.
bool editCommandEnabled(const EditState& state, unsigned command);
