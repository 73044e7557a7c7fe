// Context menus and the thread's hooks: the mouse hook turns right-button
// presses into the context-menu commands (CMD_CONTEXT_*), the keyboard hook
// takes Alt+Backspace in text fields, the message-filter hook F1 in menus.
#include <cstdio>
#include <cstring>

#include "app/frame_win32.h"
#include "app/view_win32.h"
#include "platform/platform.h"

namespace {

HHOOK g_mouseHook;
HHOOK g_keyboardHook;
HHOOK g_filterHook;
bool g_contextPending;

struct Press {
    POINT at;
    DWORD time;
    HWND window;
    bool valid;
};
Press g_press;

bool isWithin(HWND window, HWND tool) {
    return tool && (window == tool || IsChild(tool, window));
}

HWND toolWindow(ToolWindow which) {
    return reinterpret_cast<HWND>(g_frameSettings.window.toolWindows[static_cast<int>(which)]);
}

// The context menu of the window under a right-button press (0 = none).
unsigned contextMenuFor(HWND window) {
    if (!window || !g_frame.client) return 0;
    if (g_frame.textEditMode == 2 && g_frame.editWindow && IsWindowVisible(g_frame.editWindow) &&
        isWithin(window, g_frame.editWindow))
        return CMD_CONTEXT_TEXT_INPUT;
    if (window == g_frame.client) return CMD_CONTEXT_CLIENT;
    // A diagram window: a child of the MDI client, or a window inside one.
    for (HWND w = window; w; w = GetParent(w)) {
        if (GetParent(w) == g_frame.client) {
            if (IsIconic(w) || g_frame.textEditMode != 0) return 0;
            return CMD_CONTEXT_DIAGRAM;
        }
    }
    for (ToolWindow which : {ToolWindow::Overview, ToolWindow::Levellist, ToolWindow::Printgrid,
                             ToolWindow::Result, ToolWindow::ToolBox})
        if (isWithin(window, toolWindow(which))) return CMD_CONTEXT_TOOL_WINDOWS;
    if (isWithin(window, g_frame.toolbar) || isWithin(window, g_frame.statusBar))
        return CMD_CONTEXT_TOOL_WINDOWS;
    return 0;
}

// A right click in a diagram window that an add-in's mouse command takes.
bool addInRightClick(HWND window) {
    const unsigned modifiers = ((GetKeyState(VK_SHIFT) & 0x8000) ? 1u : 0u) |
                               ((GetKeyState(VK_CONTROL) & 0x8000) ? 2u : 0u) |
                               ((GetKeyState(VK_MENU) & 0x8000) ? 4u : 0u);
    return modifiers && segmentWindowOf(window) && addInMouseCommand(2, false, modifiers);
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == WM_RBUTTONDOWN && !(GetKeyState(VK_LBUTTON) & 0x8000) &&
        !g_contextPending && g_frame.frame && IsWindowEnabled(g_frame.frame)) {
        const auto* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
        if (mouse->wHitTestCode == HTCLIENT && !addInRightClick(mouse->hwnd)) {
            if (unsigned menu = contextMenuFor(mouse->hwnd)) {
                SetFocus(mouse->hwnd);
                g_press = Press{mouse->pt, static_cast<DWORD>(GetMessageTime()), mouse->hwnd, true};
                g_contextPending = true;
                PostMessageA(g_frame.frame, WM_COMMAND, menu, 0);
                return 1;  // the press belongs to the context menu
            }
        }
    }
    return CallNextHookEx(g_mouseHook, code, wParam, lParam);
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
    // Alt+Backspace in a text field undoes the text input.
    bool down = (lParam & 0x80000000) == 0;
    if (code == HC_ACTION && wParam == VK_BACK && (lParam & 0x20000000) && g_frame.textEditMode != 0) {
        if (down) PostMessageA(g_frame.frame, WM_COMMAND, CMD_TEXT_UNDO, 0);
        return 1;
    }
    return CallNextHookEx(g_keyboardHook, code, wParam, lParam);
}

LRESULT CALLBACK MessageFilterProc(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_MENU && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_F1) {
        // F1 on a menu item: help for that item once the menu is closed.
        if (!(GetKeyState(VK_SHIFT) & 0x8000))
            PostMessageA(g_frame.frame, helpOnMenuItemMessage(), g_frame.menuSelection, 0);
        EndMenu();
        return 1;
    }
    return CallNextHookEx(g_filterHook, code, wParam, lParam);
}

void appendItem(HMENU popup, const ContextEntry& entry, bool& lastWasSeparator, int& items) {
    char text[256] = {};
    if (g_frame.menu && GetMenuStringA(g_frame.menu, entry.command, text, sizeof text, MF_BYCOMMAND) > 0) {
        // The item as the main menu has it.
    } else if (unsigned tip = barTipOf(entry.command); tip && (entry.flags & kContextTextItem)) {
        platform::loadString(tip, text, sizeof text);
    } else {
        return;  // not in this menu (removed at start)
    }
    UINT flags = MF_STRING | (commandEnabled(entry.command) ? MF_ENABLED : MF_GRAYED) |
                 (commandChecked(entry.command) ? MF_CHECKED : MF_UNCHECKED);
    AppendMenuA(popup, flags, entry.command, text);
    lastWasSeparator = false;
    ++items;
}

}  // namespace

void loadContextMenus() {
    for (int i = 0; i < kContextMenuCount; ++i) {
        g_frame.contextCounts[i] = 0;
        unsigned id = CMD_CONTEXT_DIAGRAM + static_cast<unsigned>(i);
        HRSRC found = FindResourceA(g_frame.instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
        HGLOBAL loaded = found ? LoadResource(g_frame.instance, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data) continue;
        std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data),
                                            SizeofResource(g_frame.instance, found));
        g_frame.contextCounts[i] = readContextEntries(bytes, g_frame.contextMenus[i], kMaxContextEntries);
    }
}

bool installHooks() {
    DWORD thread = GetCurrentThreadId();
    g_mouseHook = SetWindowsHookExA(WH_MOUSE, MouseHookProc, nullptr, thread);
    g_keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, nullptr, thread);
    g_filterHook = SetWindowsHookExA(WH_MSGFILTER, MessageFilterProc, nullptr, thread);
    return g_mouseHook && g_keyboardHook;
}

void removeHooks() {
    for (HHOOK* hook : {&g_mouseHook, &g_keyboardHook, &g_filterHook}) {
        if (*hook) UnhookWindowsHookEx(*hook);
        *hook = nullptr;
    }
}

UINT helpOnMenuItemMessage() {
    static UINT message = RegisterWindowMessageA("KorrinHelpOnMenuItem");
    return message;
}

void showContextMenu(unsigned command) {
    int index = static_cast<int>(command) - static_cast<int>(CMD_CONTEXT_DIAGRAM);
    if (index < 0 || index >= kContextMenuCount) return;
    POINT at;
    if (g_press.valid) {
        at = g_press.at;
    } else {
        GetCursorPos(&at);
    }
    g_press.valid = false;

    HMENU popup = CreatePopupMenu();
    bool lastWasSeparator = true;
    int items = 0;
    HMENU borrowed[kMaxContextEntries];
    int borrowedCount = 0;
    char line[1024];
    int used = std::snprintf(line, sizeof line, "context %u", command);
    for (int i = 0; i < g_frame.contextCounts[index]; ++i) {
        const ContextEntry& entry = g_frame.contextMenus[index][i];
        if (entry.command == kContextSeparatorId) {
            if (!lastWasSeparator) AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
            lastWasSeparator = true;
            continue;
        }
        if (entry.command == kContextSubmenu) {
            HMENU parent;
            int position;
            HMENU sub = popupById(contextSubmenuPopup(entry.extra), &parent, &position);
            if (!sub) continue;
            char text[128] = {};
            GetMenuStringA(parent, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
            AppendMenuA(popup, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text);
            borrowed[borrowedCount++] = sub;
            lastWasSeparator = false;
            ++items;
            if (used > 0 && used < static_cast<int>(sizeof line))
                used +=
                    std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used), " [%s]", text);
            continue;
        }
        int before = items;
        appendItem(popup, entry, lastWasSeparator, items);
        if (items > before && used > 0 && used < static_cast<int>(sizeof line))
            used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used), " %u%s",
                                  entry.command, commandEnabled(entry.command) ? "" : "g");
    }
    // No separator at the end.
    int count = GetMenuItemCount(popup);
    if (count > 0 && lastWasSeparator) DeleteMenu(popup, static_cast<UINT>(count - 1), MF_BYPOSITION);
    diagnosticsLine("%s", line);

    if (items > 0) {
        SetForegroundWindow(g_frame.frame);
        ++g_frame.modalDepth;
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, g_frame.frame,
                       nullptr);
        --g_frame.modalDepth;
        PostMessageA(g_frame.frame, WM_NULL, 0, 0);
    }
    // The submenus stay the main menu's.
    for (int i = GetMenuItemCount(popup) - 1; i >= 0; --i) {
        HMENU sub = GetSubMenu(popup, i);
        for (int k = 0; k < borrowedCount; ++k)
            if (sub == borrowed[k]) RemoveMenu(popup, static_cast<UINT>(i), MF_BYPOSITION);
    }
    DestroyMenu(popup);
    g_contextPending = false;
    diagnosticsLine("context closed %u", command);
}
