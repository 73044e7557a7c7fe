// The key filters of the main loop that turn keys into commands: diagram
// navigation and the two hot keys of the structure list and the result
// window.
//
// Portable: keys are the Win32 virtual-key numbers.
#pragma once

namespace vk {
constexpr unsigned tab = 0x09, enter = 0x0D, space = 0x20, pageUp = 0x21, pageDown = 0x22, end = 0x23,
                   home = 0x24, left = 0x25, up = 0x26, right = 0x27, down = 0x28;
}

struct KeyModifiers {
    bool ctrl;
    bool shift;
    bool alt;
};

enum class NavigationKind {
    none,            // not a navigation key
    command,         // send `code` as a command to the active diagram window
    scrollVertical,  // scroll the MDI client: `code` is the scroll-bar code
    scrollHorizontal,
};

struct Navigation {
    NavigationKind kind;
    unsigned code;
};

// Scroll-bar codes (the Win32 values).
namespace scroll {
constexpr unsigned lineUp = 0, lineDown = 1, pageUp = 2, pageDown = 3, top = 6, bottom = 7;
}

struct NavigationState {
    bool scrollLock;
    bool directTextMode;  // a construct's text is being edited in the diagram
    bool verticalBar;     // the MDI client shows a vertical scroll bar
    bool horizontalBar;
};

// The command for a key-down of `key` (only keys 9..40 navigate). With
// Scroll Lock on, the keys that move the view scroll it instead; the other
// navigation keys keep their meaning.
Navigation navigationFor(unsigned key, KeyModifiers mods, const NavigationState& state);

// A hot key read from a menu text such as "Structure list\tCtrl+C": the
// character after the last '+', upper-cased, and the modifiers named by the
// words `shiftWord`, `ctrlWord`, `altWord` ("SHIFT", "CTRL", "ALT") anywhere
// in the upper-cased text.
struct HotKey {
    bool valid;
    char key;
    KeyModifiers mods;
};
HotKey hotKeyFromMenuText(const char* text, const char* shiftWord, const char* ctrlWord, const char* altWord);
