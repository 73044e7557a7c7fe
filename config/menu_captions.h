// Captions of the Insert and Enclose menu items from the sections
// InsertMenuStrings and EncloseMenuStrings of the language configuration.
// The rules live here; the menu itself is reached through MenuCaptionTarget,
// which the Win32 front end implements over a real menu.
#pragma once

#include <cstddef>

// A menu whose captions the configuration sets. `popup` names the popup
// that directly holds `command` instead of the command's own item.
struct MenuCaptionTarget {
    virtual ~MenuCaptionTarget() = default;
    // The caption in a fresh copy of the menu resource; false when there is
    // no fresh copy or it lacks the item.
    virtual bool freshCaption(unsigned command, bool popup, char* out, int size) = 0;
    // Replaces the caption, keeping the item's state. False when the menu
    // lacks the item, or for a popup that is left alone.
    virtual bool setCaption(unsigned command, bool popup, const char* text) = 0;
};

struct MenuCaptionEntry {
    unsigned sectionId;  // IDS_SEC_INSERTMENUSTRINGS or IDS_SEC_ENCLOSEMENUSTRINGS
    unsigned keyId;      // a template name
    unsigned command;    // the item's command, or a command inside the popup
    bool popup;
};

// The entries in the order they are applied.
const MenuCaptionEntry* menuCaptionEntries(std::size_t* count);

// Keeps the first '&' of a caption and removes every later one.
void keepFirstAmpersand(char* text);

// Applies both sections of the file at `path` to `menu`. A key that is
// absent (or empty) takes the fresh caption when `withDefaults`, otherwise
// the item is left alone. Returns the number of captions set.
int applyMenuCaptions(MenuCaptionTarget& menu, const char* path, bool withDefaults);
