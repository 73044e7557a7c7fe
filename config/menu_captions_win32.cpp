#include "config/menu_captions_win32.h"

namespace {

constexpr int kMaxMenuDepth = 8;

bool holdsCommand(HMENU menu, unsigned command) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (!GetSubMenu(menu, i) && GetMenuItemID(menu, i) == command) return true;
    return false;
}

bool findIn(HMENU menu, unsigned command, HMENU* parent, int* position, int depth) {
    if (depth > kMaxMenuDepth) return false;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (!sub) continue;
        if (holdsCommand(sub, command)) {
            *parent = menu;
            *position = i;
            return true;
        }
        if (findIn(sub, command, parent, position, depth + 1)) return true;
    }
    return false;
}

bool hasCommand(HMENU menu, unsigned command) {
    return GetMenuState(menu, command, MF_BYCOMMAND) != UINT(-1);
}

bool setText(HMENU menu, UINT item, BOOL byPosition, const char* text) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;  // the text only: state, id and submenu stay
    info.dwTypeData = const_cast<char*>(text);
    return SetMenuItemInfoA(menu, item, byPosition, &info) != FALSE;
}

}  // namespace

bool findPopupHolding(HMENU menu, unsigned command, HMENU* parent, int* position) {
    return menu && parent && position && findIn(menu, command, parent, position, 0);
}

bool Win32MenuCaptions::freshCaption(unsigned command, bool popup, char* out, int size) {
    if (!fresh_ || !out || size <= 0) return false;
    out[0] = 0;
    if (popup) {
        HMENU parent;
        int position;
        if (!findPopupHolding(fresh_, command, &parent, &position)) return false;
        GetMenuStringA(parent, static_cast<UINT>(position), out, size, MF_BYPOSITION);
        return true;
    }
    if (!hasCommand(fresh_, command)) return false;
    GetMenuStringA(fresh_, command, out, size, MF_BYCOMMAND);
    return true;
}

bool Win32MenuCaptions::setCaption(unsigned command, bool popup, const char* text) {
    if (!menu_ || !text) return false;
    if (popup) {
        HMENU parent;
        int position;
        if (!findPopupHolding(menu_, command, &parent, &position)) return false;
        if (GetMenuItemCount(GetSubMenu(parent, position)) == 3) return false;
        return setText(parent, static_cast<UINT>(position), TRUE, text);
    }
    if (!hasCommand(menu_, command)) return false;
    return setText(menu_, command, FALSE, text);
}
