// The menu captions of the language configuration on a real Win32 menu.
// Win32 front end only.
#pragma once

#include <windows.h>

#include "config/menu_captions.h"

// `menu` is the menu whose captions change (the frame's main menu); `fresh`
// a pristine copy of the same menu resource (LoadMenu) when loading with
// defaults, else null. The caller owns both and destroys `fresh`, and
// redraws the menu bar afterwards.
class Win32MenuCaptions final : public MenuCaptionTarget {
public:
    Win32MenuCaptions(HMENU menu, HMENU fresh) : menu_(menu), fresh_(fresh) {}
    bool freshCaption(unsigned command, bool popup, char* out, int size) override;
    // A popup that holds exactly three items keeps its caption.
    bool setCaption(unsigned command, bool popup, const char* text) override;

private:
    HMENU menu_;
    HMENU fresh_;
};

// Finds, at any depth of `menu`, the popup that directly holds the item
// `command`: its parent menu and its position there.
bool findPopupHolding(HMENU menu, unsigned command, HMENU* parent, int* position);
