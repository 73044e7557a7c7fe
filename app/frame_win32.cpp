// The frame window: its window procedure, the frame's own commands, menu
// states, status-line help, the recent-file menus, the batch messages and
// the exit writing.
#include "app/frame_win32.h"
// windows.h first
#include <dde.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "app/documents.h"
#include "app/edit_win32.h"
#include "app/recent_files.h"
#include "app/text_edit_win32.h"
#include "app/view_win32.h"
#include "core/host.h"
#include "platform/platform.h"
#include "print/print_win32.h"
#include "resources/commands.h"
#include "resources/strings.h"
#include "tools/tools_win32.h"

FrameState g_frame;
StartupOptions g_startup;
AppStrings g_strings;

namespace {

constexpr UINT_PTR kTimerProgramRun = 1;
constexpr UINT_PTR kTimerRefresh = 11;
constexpr UINT kRefreshInterval = 350;
constexpr int kClientId = 0xCAC;
constexpr int kMaxMenuDepth = 8;

bool toolWindowOpen(ToolWindow window) {
    return g_frameSettings.window.toolWindows[static_cast<int>(window)] != 0;
}

bool searchPopup(HMENU menu, unsigned popupId, HMENU* parent, int* position, int depth) {
    if (!menu || depth > kMaxMenuDepth) return false;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (!sub) continue;
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        if (GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info) && info.wID == popupId) {
            if (parent) *parent = menu;
            if (position) *position = i;
            return true;
        }
        if (searchPopup(sub, popupId, parent, position, depth + 1)) return true;
    }
    return false;
}

int positionOf(HMENU menu, unsigned command) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (!GetSubMenu(menu, i) && GetMenuItemID(menu, i) == command) return i;
    return -1;
}

bool isSeparatorAt(HMENU menu, int position) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    return position >= 0 && GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info) &&
           (info.fType & MFT_SEPARATOR);
}

// The recently opened files sit in the File menu before Exit, set off by a
// separator; the recently inserted files close the Insert menu.
void rebuildOpenList() {
    HMENU file = popupById(IDM_POPUP_FILE);
    if (!file) return;
    for (unsigned id = CMD_RECENT_OPEN_FIRST; id < CMD_RECENT_OPEN_FIRST + kRecentMax; ++id)
        DeleteMenu(file, id, MF_BYCOMMAND);
    int exitAt = positionOf(file, CMD_FILE_EXIT);
    if (exitAt < 0) return;
    if (exitAt >= 2 && isSeparatorAt(file, exitAt - 1) && isSeparatorAt(file, exitAt - 2)) {
        DeleteMenu(file, static_cast<UINT>(exitAt - 1), MF_BYPOSITION);
        --exitAt;
    }
    int added = 0;
    for (int k = 0; k < kRecentMax; ++k) {
        char text[kSettingsPathSize + 16];
        if (recentMenuText(g_frame.recent.open, k, text, sizeof text) <= 0) break;
        InsertMenuA(file, static_cast<UINT>(exitAt + added), MF_BYPOSITION | MF_STRING,
                    CMD_RECENT_OPEN_FIRST + static_cast<unsigned>(k), text);
        ++added;
    }
    if (added) InsertMenuA(file, static_cast<UINT>(exitAt + added), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

void rebuildInsertList() {
    HMENU insert = popupById(IDM_POPUP_INSERT);
    if (!insert) return;
    for (unsigned id = CMD_RECENT_INSERT_FIRST; id < CMD_RECENT_INSERT_FIRST + kRecentMax; ++id)
        DeleteMenu(insert, id, MF_BYCOMMAND);
    int last = GetMenuItemCount(insert) - 1;
    if (last >= 0 && isSeparatorAt(insert, last)) DeleteMenu(insert, static_cast<UINT>(last), MF_BYPOSITION);
    for (int k = 0; k < kRecentMax; ++k) {
        char text[kSettingsPathSize + 16];
        if (recentMenuText(g_frame.recent.insert, k, text, sizeof text) <= 0) break;
        if (k == 0) AppendMenuA(insert, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(insert, MF_STRING, CMD_RECENT_INSERT_FIRST + static_cast<unsigned>(k), text);
    }
}

// CMD_WINDOW_CLOSE_ALL: closes the active diagram window until a close is refused or only
// the empty untitled window is left.
bool closeAllWindows() {
    for (int guard = 0; guard < 10000; ++guard) {
        HWND active = activeDiagramWindow();
        if (!active) return true;
        if (diagramWindowCount() == 1 && isEmptyUntitledWindow(active)) return true;
        SendMessageA(active, WM_CLOSE, 0, 0);
        if (IsWindow(active) && activeDiagramWindow() == active) return false;  // refused
    }
    return false;
}

// WM_CLOSE and WM_QUERYENDSESSION.
bool closeFrame(bool destroy) {
    if (!closeAllWindows()) return false;
    // Before the end of start-up there is no snapshot to compare with.
    // A batch run keeps no settings changes and asks nothing.
    if (g_frame.started && !g_frame.batch &&
        !askSaveSettingsAtExit(g_frameSettings, g_settingsSnapshot, g_settingsFile, g_settingsHooks,
                               addInClosesEditor()))
        return false;
    if (destroy) {
        g_frame.closing = true;
        DestroyWindow(g_frame.frame);
    }
    return true;
}

void writeAtExit() {
    // The file-transfer library is released here; the result file is the
    // program runner's.
    toolsAtExit(g_settingsFile);
    if (g_frame.fileTransferLibrary) {
        FreeLibrary(g_frame.fileTransferLibrary);
        g_frame.fileTransferLibrary = nullptr;
    }
    if (g_frame.everPainted && !IsIconic(g_frame.frame)) {
        bool maximized = IsZoomed(g_frame.frame) != FALSE;
        RECT rect;
        GetWindowRect(g_frame.frame, &rect);
        saveWindowPlacement(g_settingsFile, maximized,
                            SettingsRect{rect.left, rect.top, rect.right, rect.bottom});
    }
    saveRecentFiles(g_frame.recent, g_settingsFile);
}

LRESULT onCreate(HWND window) {
    g_frame.frame = window;
    g_frame.menu = GetMenu(window);
    CLIENTCREATESTRUCT create{};
    create.hWindowMenu = g_frame.menu ? GetSubMenu(g_frame.menu, kWindowMenuPosition) : nullptr;
    create.idFirstChild = CMD_WINDOW_LIST_FIRST;
    g_frame.client =
        CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                        WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 0, 0, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClientId)), g_frame.instance, &create);
    if (!g_frame.client) return -1;
    g_frame.toolbarFailed = !createToolbar();
    createStatusBar();
    DragAcceptFiles(window, TRUE);
    SetTimer(window, kTimerRefresh, kRefreshInterval, nullptr);
    return 0;
}

void onCommand(WPARAM wParam, LPARAM lParam) {
    unsigned id = LOWORD(wParam);
    CommandRequest request;
    request.command = id;
    if (HIWORD(wParam) == 1) request.flags |= kFromAccelerator;
    if (lParam) request.flags |= kFromControl;
    if (lParam && reinterpret_cast<HWND>(lParam) != g_frame.toolbar &&
        GetParent(reinterpret_cast<HWND>(lParam)) == g_frame.toolbox)
        request.flags |= kFromToolbox;
    runCommand(request);
}

void onMenuSelect(WPARAM wParam, LPARAM lParam) {
    UINT item = LOWORD(wParam);
    UINT flags = HIWORD(wParam);
    HMENU menu = reinterpret_cast<HMENU>(lParam);
    if (flags == 0xFFFF && !menu) {
        // The menu closed: the previous text comes back.
        if (g_frame.menuActive) setStatusText(g_frame.savedStatus);
        g_frame.menuActive = false;
        g_frame.menuSelection = 0;
        return;
    }
    if (!g_frame.menuActive) {
        statusText(g_frame.savedStatus, sizeof g_frame.savedStatus);
        g_frame.menuActive = true;
    }
    char text[512] = {};
    g_frame.menuSelection = 0;
    if (flags & MF_POPUP) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        if (menu && GetMenuItemInfoA(menu, item, TRUE, &info)) {
            HRSRC found =
                FindResourceA(g_frame.instance, MAKEINTRESOURCEA(IDR_POPUP_HELP), MAKEINTRESOURCEA(10));
            HGLOBAL loaded = found ? LoadResource(g_frame.instance, found) : nullptr;
            const void* data = loaded ? LockResource(loaded) : nullptr;
            if (data) {
                std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data),
                                                    SizeofResource(g_frame.instance, found));
                if (unsigned id = popupHelpString(bytes, info.wID))
                    platform::loadString(id, text, sizeof text);
            }
        }
    } else if (!(flags & (MF_SEPARATOR | MF_SYSMENU))) {
        g_frame.menuSelection = item;
        StatusHelp help = statusHelpFor(item, false);
        if (help.kind == StatusHelpKind::string) platform::loadString(help.id, text, sizeof text);
        if (help.kind == StatusHelpKind::addInName || help.kind == StatusHelpKind::addInCommand)
            if (const char* addIn = addInHelpText(item)) std::snprintf(text, sizeof text, "%s", addIn);
    }
    setStatusText(text);
}

void onDropFiles(HDROP drop) {
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        char path[MAX_PATH];
        if (!DragQueryFileA(drop, i, path, sizeof path)) continue;
        CommandRequest open;
        open.command = CMD_FILE_OPEN;
        open.path = path;
        open.flags = isEmptyUntitledWindow(activeDiagramWindow()) ? kIntoCurrentWindow : kIntoNewWindow;
        runCommand(open);
    }
    DragFinish(drop);
    SetForegroundWindow(g_frame.frame);
}

// After a batch action on the opened diagram reported success: the file
// it wrote (the saved diagram, the transfer file, the generated source)
// must be there. False, after the message, when it is not.
bool batchOutputWritten(unsigned command) {
    const OpenDiagram* diagram = activeDiagram();
    const char* written = !diagram                       ? ""
                          : command == CMD_FILE_SAVE     ? diagram->document.ownFile.path
                          : command == CMD_FILE_EXPORT   ? diagram->exportPath
                          : command == CMD_FILE_GENERATE ? diagram->generateTarget.storedPath
                                                         : nullptr;
    if (!written) return true;  // printing writes no file
    if (written[0] && platform::fileExists(written)) return true;
    showMessage(IDS_UNABLE_TO_WRITE, kBoxDefault, written[0] ? written : g_startup.actionPath);
    return false;
}

// The batch messages: run the action, then exit. Print, generate, save and
// export act on the file of the command line: when it could not be opened
// (which was reported) nothing is done, and nothing is written.
void onBatchMessage(unsigned command, unsigned flags, const char* path) {
    CommandRequest request;
    request.command = command;
    request.flags = kFromBatch | flags;
    request.path = path && path[0] ? path : nullptr;
    if (command == CMD_FILE_PRINT) {
        request.number = static_cast<long>(g_startup.printScope);
        request.text = g_startup.printerDevice[0] ? g_startup.printerDevice : nullptr;
    }
    // A batch start acts only on the file of its command line; a running
    // editor asked by another program acts on its current diagram.
    const bool onOpenedFile = command != CMD_FILE_GENERATE_ALL;
    bool ok = false;
    if (!onOpenedFile || !g_frame.batch || g_frame.batchFileOpened)
        ok = runCommand(request) == DispatchResult::done && (!onOpenedFile || batchOutputWritten(command));
    if (!ok && g_frame.exitCode == 0) g_frame.exitCode = kExitCodeFailed;
    g_frame.batchRan = true;
    PostMessageA(g_frame.frame, WM_COMMAND, CMD_FILE_EXIT, 0);
}

bool onRegisteredMessage(UINT message, WPARAM wParam) {
    const FrameMessages& m = g_frame.messages;
    if (message == m.printExit) {
        onBatchMessage(CMD_FILE_PRINT, 0, nullptr);
    } else if (message == m.generateExit) {
        onBatchMessage(CMD_FILE_GENERATE, 0, g_startup.actionPath);
    } else if (message == m.generateAllExit) {
        onBatchMessage(CMD_FILE_GENERATE_ALL, 0, nullptr);
    } else if (message == m.saveExit) {
        onBatchMessage(CMD_FILE_SAVE, kClearReadOnly, g_startup.actionPath);
    } else if (message == m.exportExit) {
        onBatchMessage(CMD_FILE_EXPORT, 0, g_startup.actionPath);
    } else if (message == m.pictureExit) {
        onBatchMessage(CMD_FILE_EXPORT_PICTURE, 0, g_startup.actionPath);
    } else if (message == m.endInit) {
        g_settingsSnapshot = g_frameSettings.window;
        g_frame.started = true;
        SetWindowTextA(g_frame.frame, "");  // the caption without "Loading program..."
        diagnosticsMenu("start-up");
        diagnosticsLine("ready");
    } else if (message == m.appTerm) {
        toolsAcknowledged(wParam);
    } else if (message == helpOnMenuItemMessage()) {
        // F1 in a menu: help for the item under the highlight.
        if (wParam)
            helpForItem(static_cast<unsigned>(wParam));
        else
            helpForContext();
    } else if (message == diagnosticsMessage()) {
        diagnosticsMenu("dump");
    } else {
        return false;
    }
    return true;
}

void toggleStatusBar() {
    WindowSettings& w = g_frameSettings.window;
    w.statusBar = !w.statusBar;
    if (g_frame.statusBar) ShowWindow(g_frame.statusBar, w.statusBar ? SW_SHOWNA : SW_HIDE);
    // The printer layout is computed again when page numbers show.
    if (w.statusPages) diagnosticsLine("printer layout outdated");
    layoutFrame();
}

void setRecentOpenRequest(CommandRequest& open, const char* path) {
    open.command = CMD_FILE_OPEN;
    open.path = path;
    HWND active = activeDiagramWindow();
    if (isEmptyUntitledWindow(active))
        open.flags = kIntoCurrentWindow;
    else if (!g_frameSettings.window.fileInSepWnd)
        open.flags = kIntoCurrentWindow;  // the current document is closed first
    else
        open.flags = kIntoNewWindow;
}

}  // namespace

HMENU popupById(unsigned popupId, HMENU* parent, int* position) {
    HMENU p = nullptr;
    int at = -1;
    if (!searchPopup(g_frame.menu, popupId, &p, &at, 0)) return nullptr;
    if (parent) *parent = p;
    if (position) *position = at;
    return GetSubMenu(p, at);
}

void layoutFrame() {
    if (!g_frame.frame || !g_frame.client) return;
    RECT client;
    GetClientRect(g_frame.frame, &client);
    int top = 0;
    if (g_frame.toolbar) {
        bool show = g_frameSettings.window.toolBar && !g_frame.toolbarFailed;
        ShowWindow(g_frame.toolbar, show ? SW_SHOWNA : SW_HIDE);
        if (show) {
            SendMessageA(g_frame.toolbar, TB_AUTOSIZE, 0, 0);
            top = toolbarHeight();
        }
    }
    int bottom = client.bottom;
    if (g_frame.statusBar) {
        bool show = g_frameSettings.window.statusBar;
        ShowWindow(g_frame.statusBar, show ? SW_SHOWNA : SW_HIDE);
        if (show) {
            int height = statusBarHeight();
            MoveWindow(g_frame.statusBar, 0, bottom - height, client.right, height, TRUE);
            bottom -= height;
        }
    }
    if (bottom < top) bottom = top;
    MoveWindow(g_frame.client, 0, top, client.right, bottom - top, TRUE);
}

void setFrameCaption(const char* suffix) {
    char caption[512];
    if (suffix && suffix[0])
        std::snprintf(caption, sizeof caption, "%s - %s", g_strings.title, suffix);
    else
        std::snprintf(caption, sizeof caption, "%s", g_strings.title);
    SetWindowTextA(g_frame.frame, caption);
}

void refreshFrameCaption() {
    // Start-up shows "Loading program..." until it ends.
    if (g_frame.started && g_frame.frame) SetWindowTextA(g_frame.frame, "");
}

void rebuildRecentMenus() {
    rebuildOpenList();
    rebuildInsertList();
    if (g_frame.frame) DrawMenuBar(g_frame.frame);
}

void noteRecentFile(bool inserted, const char* path) {
    recentAdd(inserted ? g_frame.recent.insert : g_frame.recent.open, path);
    rebuildRecentMenus();
}

void commandName(unsigned command, char* out, int size) {
    if (!out || size <= 0) return;
    out[0] = 0;
    char text[256] = {};
    if (g_frame.menu && GetMenuStringA(g_frame.menu, command, text, sizeof text, MF_BYCOMMAND) > 0) {
        int n = 0;
        for (const char* p = text; *p && *p != '\t' && n + 1 < size; ++p)
            if (*p != '&') out[n++] = *p;
        out[n] = 0;
        while (n >= 3 && std::strcmp(out + n - 3, "...") == 0) out[n -= 3] = 0;
        if (out[0]) return;
    }
    platform::loadString(command, out, size);
    if (!out[0]) std::snprintf(out, static_cast<std::size_t>(size), "%u", command);
}

void reportBatchFailure(unsigned command, unsigned messageId) {
    // Each command is reported once (the batch conversion and the batch
    // message both ask for Generate all).
    static unsigned reported[8];
    static int reportedCount = 0;
    for (int i = 0; i < reportedCount; ++i)
        if (reported[i] == command) return;
    if (reportedCount < 8) reported[reportedCount++] = command;
    char name[256];
    commandName(command, name, sizeof name);
    char text[kMaxFormatted];
    formatMessage(text, messageId, name);
    diagnosticsLine("batch failed %u %s", command, text);
    writeStandardError(text);
    if (g_frame.exitCode == 0) g_frame.exitCode = kExitCodeNotAvailable;
}

DispatchResult runCommand(const CommandRequest& request) {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    std::uint64_t freeKb = GlobalMemoryStatusEx(&memory) ? memory.ullAvailVirtual / 1024 : 0;
    const unsigned outer = g_frame.currentCommand;
    beforeCommand(request.command);
    g_frame.currentCommand = request.command;
    DispatchResult result = dispatchCommand(request, freeKb);
    g_frame.currentCommand = outer;
    if (result == DispatchResult::done &&
        (request.command == CMD_FILE_GENERATE || request.command == CMD_FILE_GENERATE_AS))
        addInGenerated();
    if (result == DispatchResult::unavailable) {
        if (request.flags & kFromBatch) {
            reportBatchFailure(request.command, IDS_NOT_AVAILABLE);
        } else {
            char name[256];
            commandName(request.command, name, sizeof name);
            char text[kMaxFormatted];
            formatMessage(text, IDS_NOT_AVAILABLE, name);
            setStatusText(text);
        }
    }
    // Written last: whoever waits for this line finds the command's effects done.
    static const char* const kNames[] = {"done", "failed", "unavailable", "unknown", "out-of-memory"};
    diagnosticsLine("command %u %s", request.command, kNames[static_cast<int>(result)]);
    return result;
}

bool commandEnabled(unsigned command) {
    if (command == CMD_ADDIN_EMPTY || !commandAvailable(command)) return false;
    if (command >= CMD_ADDIN_FIRST && command <= CMD_ADDIN_LAST) return addInCommandEnabled(command);
    if (bool enabled; editCommandState(command, &enabled)) return enabled;
    const WindowSettings& w = g_frameSettings.window;
    switch (command) {
        case CMD_FILE_SHORT_INFO:
        case CMD_FILE_SHORT_INFO_COMPANION:
            return false;  // short information and its companion come with their dialogs
        case CMD_OPTIONS_STATUS_BAR:
            return !g_frame.toolbarFailed;
        case CMD_OPTIONS_PAGE_NUMBERS:
            return w.statusBar && !g_frame.toolbarFailed;
        case CMD_FILE_TRANSFER:
        case CMD_OPTIONS_FILE_TRANSFER:
            return g_frame.fileTransferAvailable;
        case CMD_VIEW_DEFINITION:
        case CMD_VIEW_REFERENCES:
        case CMD_OPTIONS_PROJECT:
            return g_frame.browserActive;
        default:
            break;
    }
    if (command >= CMD_TOOL_FIRST && command <= CMD_TOOL_LAST) return toolAvailable(command);
    // The text-input commands act on the text being edited in the diagram.
    if (command >= CMD_TEXT_DELETE && command <= CMD_TEXT_HELP_ON_WORD && command != CMD_TEXT_HELP)
        return directEditActive();
    if (command >= CMD_RECENT_OPEN_FIRST && command < CMD_RECENT_OPEN_FIRST + kRecentMax)
        return recentEntry(g_frame.recent.open, static_cast<int>(command - CMD_RECENT_OPEN_FIRST)) != nullptr;
    if (command >= CMD_RECENT_INSERT_FIRST && command < CMD_RECENT_INSERT_FIRST + kRecentMax)
        return recentEntry(g_frame.recent.insert, static_cast<int>(command - CMD_RECENT_INSERT_FIRST)) !=
               nullptr;
    return true;
}

bool commandChecked(unsigned command) {
    const WindowSettings& w = g_frameSettings.window;
    switch (command) {
        case CMD_OPTIONS_REPEAT:
            return w.repeat;
        case CMD_OPTIONS_NEW_WINDOW_ON_OPEN:
            return w.fileInSepWnd;
        case CMD_OPTIONS_NEW_WINDOW_ON_VIEW:
            return w.segInSepWnd;
        case CMD_OPTIONS_TOOL_BAR:
            return w.toolBar && !g_frame.toolbarFailed;
        case CMD_OPTIONS_TOOLBOX:
            return g_frame.toolbox != nullptr;
        case CMD_OPTIONS_STATUS_BAR:
            return w.statusBar;
        case CMD_OPTIONS_PAGE_NUMBERS:
            return w.statusPages && w.statusBar;  // greyed and unchecked while the bar is off
        case CMD_OPTIONS_OVERVIEW:
            return toolWindowOpen(ToolWindow::Overview);
        case CMD_OPTIONS_PAGE_PREVIEW:
            return toolWindowOpen(ToolWindow::Printgrid);
        case CMD_OPTIONS_STRUCTURE_LIST:
            return toolWindowOpen(ToolWindow::Levellist);
        case CMD_OPTIONS_RESULT_FILE:
            return toolWindowOpen(ToolWindow::Result);
        case CMD_TEXT_OVERWRITE:
            return overwriteShown();
        case CMD_TEXT_CAPITALIZE:
            return g_frameSettings.editUppercase;
        default:
            return false;
    }
}

void updateMenuStates(HMENU popup) {
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(popup, i)) {
            // An empty submenu (no add-in commands) is greyed, and so is
            // Execute without programs.
            const bool enabled =
                GetMenuItemCount(sub) > 0 && (sub != popupById(IDM_POPUP_EXECUTE) || executeMenuEnabled());
            EnableMenuItem(popup, static_cast<UINT>(i), MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
            continue;
        }
        UINT id = GetMenuItemID(popup, i);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;
        if (id >= CMD_WINDOW_LIST_FIRST && id <= CMD_WINDOW_LIST_LAST) continue;  // the MDI window list
        if (!findCommand(id)) continue;
        EnableMenuItem(popup, static_cast<UINT>(i),
                       MF_BYPOSITION | (commandEnabled(id) ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(popup, static_cast<UINT>(i),
                      MF_BYPOSITION | (commandChecked(id) ? MF_CHECKED : MF_UNCHECKED));
    }
}

bool frameCommand(const CommandRequest& request) {
    WindowSettings& w = g_frameSettings.window;
    unsigned command = request.command;
    switch (command) {
        case CMD_FILE_EXIT:
            PostMessageA(g_frame.frame, WM_CLOSE, 0, 0);
            return true;
        case CMD_TEXT_HELP:
            // Help on editing: F1 to the frame.
            PostMessageA(g_frame.frame, WM_KEYDOWN, VK_F1, 1);
            return true;
        case CMD_WINDOW_TILE_HORIZONTALLY:
            SendMessageA(g_frame.client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
            return true;
        case CMD_WINDOW_TILE_VERTICALLY:
            SendMessageA(g_frame.client, WM_MDITILE, MDITILE_VERTICAL, 0);
            return true;
        case CMD_WINDOW_CASCADE:
            SendMessageA(g_frame.client, WM_MDICASCADE, 0, 0);
            return true;
        case CMD_WINDOW_CLOSE:
            if (HWND active = activeDiagramWindow()) SendMessageA(active, WM_CLOSE, 0, 0);
            return true;
        case CMD_WINDOW_CLOSE_ALL:
            return closeAllWindows();
        case CMD_WINDOW_ARRANGE_ICONS:
            SendMessageA(g_frame.client, WM_MDIICONARRANGE, 0, 0);
            return true;
        case CMD_OPTIONS_REPEAT:
            w.repeat = !w.repeat;
            return true;
        case CMD_OPTIONS_NEW_WINDOW_ON_OPEN:
            w.fileInSepWnd = !w.fileInSepWnd;
            return true;
        case CMD_OPTIONS_NEW_WINDOW_ON_VIEW:
            w.segInSepWnd = !w.segInSepWnd;
            return true;
        case CMD_OPTIONS_TOOL_BAR:
            if (g_frame.toolbarFailed) return false;
            w.toolBar = !w.toolBar;
            layoutFrame();
            return true;
        case CMD_OPTIONS_TOOLBOX:
            toggleToolbox();
            return true;
        case CMD_OPTIONS_STATUS_BAR:
            toggleStatusBar();
            return true;
        case CMD_OPTIONS_PAGE_NUMBERS:
            w.statusPages = !w.statusPages;
            diagnosticsLine("printer layout outdated");
            refreshBars();
            return true;
        case CMD_QUIT_INSERT_MODE:
            resetHelpContext();
            if (HWND overview = reinterpret_cast<HWND>(w.toolWindows[static_cast<int>(ToolWindow::Overview)]);
                overview && GetCapture() == overview) {
                SendMessageA(overview, g_frame.messages.cancelMouseMode, 0, 0);
            } else if (CommandHandler edit = commandRoute(CommandOwner::edit)) {
                edit(request);  // the pending mouse mode or text-edit mode ends
            }
            return true;
        case CMD_DEFAULT_ACTION:
            if (GetActiveWindow() != g_frame.frame || g_frame.modalDepth > 0) return false;
            if (CommandHandler edit = commandRoute(CommandOwner::edit)) return edit(request);
            return false;
        case CMD_LAYOUT_TOOLBAR:
            layoutFrame();
            return true;
        case CMD_LAYOUT_TOOLBOX:
            if (g_frame.toolbox) {
                toggleToolbox();
                toggleToolbox();
            }
            return true;
        case CMD_ACTIVATION_CHECK:
            if (!IsWindowEnabled(g_frame.frame) || IsIconic(g_frame.frame)) {
                g_frame.activationPending = true;
                return true;
            }
            g_frame.activationPending = false;
            if (CommandHandler document = commandRoute(CommandOwner::document)) document(request);
            if (HWND active = activeDiagramWindow())
                SendMessageA(g_frame.client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(active), 0);
            return true;
        default:
            break;
    }
    if ((command >= CMD_HELP_CONTENTS && command <= CMD_HELP_USING_HELP) || command == CMD_HELP_ON_TEXT ||
        command == CMD_HELP_ABOUT || command == CMD_HELP_SYSTEM_INFO ||
        (command >= CMD_HELP_FILE_FIRST && command < CMD_HELP_FILE_FIRST + kRecentMax))
        return helpCommand(command);
    if (command >= CMD_CONTEXT_DIAGRAM && command <= CMD_CONTEXT_TEXT_INPUT) {
        showContextMenu(command);
        return true;
    }
    if (command >= CMD_RECENT_OPEN_FIRST && command < CMD_RECENT_OPEN_FIRST + kRecentMax) {
        const char* path =
            recentEntry(g_frame.recent.open, static_cast<int>(command - CMD_RECENT_OPEN_FIRST));
        if (!path) return false;
        char copy[kSettingsPathSize];
        std::snprintf(copy, sizeof copy, "%s", path);
        CommandRequest open;
        setRecentOpenRequest(open, copy);
        return routeCommand(open) == DispatchResult::done;
    }
    if (command >= CMD_RECENT_INSERT_FIRST && command < CMD_RECENT_INSERT_FIRST + kRecentMax) {
        const char* path =
            recentEntry(g_frame.recent.insert, static_cast<int>(command - CMD_RECENT_INSERT_FIRST));
        if (!path) return false;
        char copy[kSettingsPathSize];
        std::snprintf(copy, sizeof copy, "%s", path);
        CommandRequest insert;
        insert.command = CMD_INSERT_FILE;
        insert.path = copy;
        return routeCommand(insert) == DispatchResult::done;
    }
    return false;
}

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= 0xC000 && onRegisteredMessage(message, wParam)) return 0;
    switch (message) {
        case WM_CREATE:
            return onCreate(window);
        case WM_DESTROY:
            // A batch run whose frame goes before its action ran (the display
            // went away, the session ends) has not done what it was asked.
            if (g_frame.batch && !g_frame.batchRan && g_frame.exitCode == 0)
                g_frame.exitCode = kExitCodeFailed;
            DragAcceptFiles(window, FALSE);
            KillTimer(window, kTimerRefresh);
            KillTimer(window, kTimerProgramRun);
            writeAtExit();
            PostQuitMessage(g_frame.exitCode);
            return 0;
        case WM_SIZE:
            if (g_frame.activationPending && wParam != SIZE_MINIMIZED)
                PostMessageA(window, WM_COMMAND, CMD_ACTIVATION_CHECK, 0);
            layoutFrame();
            return 0;
        case WM_PAINT:
        case WM_NCPAINT:
            if (IsWindowVisible(window)) g_frame.everPainted = true;
            break;
        case WM_CLOSE:
            closeFrame(true);
            return 0;
        case WM_QUERYENDSESSION:
            return closeFrame(false) ? TRUE : FALSE;
        case WM_ENDSESSION:
            if (wParam) {
                DestroyWindow(window);
                finalCleanup();
            }
            return 0;
        case WM_SYSCOLORCHANGE:
            if (g_frame.ctl3d && g_frame.ctl3dLibrary) {
                using ColorChange = BOOL(WINAPI*)();
                if (auto change = reinterpret_cast<ColorChange>(
                        reinterpret_cast<void*>(GetProcAddress(g_frame.ctl3dLibrary, "Ctl3dColorChange"))))
                    change();
            }
            if (g_frame.toolbar) SendMessageA(g_frame.toolbar, message, wParam, lParam);
            break;
        case WM_WININICHANGE: {
            const char* section = reinterpret_cast<const char*>(lParam);
            if (section && (lstrcmpiA(section, "PrinterPorts") == 0 || lstrcmpiA(section, "windows") == 0)) {
                routeCommand(CommandRequest{CMD_FILE_PRINTER_FONT, kRecreateFont});
            }
            break;
        }
        case WM_DEVMODECHANGE:
            // Another instance chose a printer: its choice is in the settings file.
            loadPrinterChoice(g_frameSettings.printer, g_settingsFile);
            routeCommand(CommandRequest{CMD_FILE_PRINTER_FONT, kRecreateFont});
            break;
        case WM_FONTCHANGE:
            routeCommand(CommandRequest{CMD_FILE_PRINTER_FONT, kRecreateFont});
            routeCommand(CommandRequest{CMD_FILE_SCREEN_FONT, kRecreateFont});
            break;
        case WM_ACTIVATEAPP:
            if (wParam) {
                addInActivated();
                if (!IsWindowEnabled(window) || IsIconic(window))
                    g_frame.activationPending = true;
                else if (g_frame.started)
                    PostMessageA(window, WM_COMMAND, CMD_ACTIVATION_CHECK, 0);
            }
            break;
        case kMsgShowDeferred:
            if (!g_hostState.deferring) flushDeferred();
            return 0;
        case kMsgEnsureDiagramWindow:
            if (!g_frame.closing && diagramWindowCount() == 0) createUntitledWindow();
            return 0;
        case WM_SETTEXT:
            if (!lParam || !reinterpret_cast<const char*>(lParam)[0]) {
                // The product title and the active document; a maximised
                // window's title the frame's default handling adds itself.
                char caption[512];
                std::snprintf(caption, sizeof caption, "%s", g_strings.title);
                BOOL maximized = FALSE;
                HWND active = reinterpret_cast<HWND>(
                    SendMessageA(g_frame.client, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized)));
                char title[kPathSize] = "";
                if (active && !maximized && diagramOfWindow(active) &&
                    GetWindowTextA(active, title, sizeof title))
                    std::snprintf(caption, sizeof caption, "%s - %s", g_strings.title, title);
                return DefFrameProcA(window, g_frame.client, message, wParam,
                                     reinterpret_cast<LPARAM>(caption));
            }
            break;
        case WM_COPYDATA:
            return addInCopyData(reinterpret_cast<HWND>(wParam),
                                 reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (barNotify(reinterpret_cast<NMHDR*>(lParam), &result)) return result;
            break;
        }
        case WM_CHAR:
            if (((wParam == '\r' && !(GetKeyState(VK_CONTROL) & 0x8000)) || wParam == '\n') &&
                LOWORD(lParam) <= 1) {
                SendMessageA(window, WM_COMMAND, CMD_DEFAULT_ACTION, 0);
                return 0;
            }
            break;
        case WM_COMMAND: {
            unsigned id = LOWORD(wParam);
            if (id >= CMD_WINDOW_LIST_FIRST && id <= CMD_WINDOW_LIST_LAST) break;  // the MDI window list
            if (!findCommand(id)) break;  // system and child commands
            onCommand(wParam, lParam);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kTimerRefresh) {
                refreshBars();
                addInTimer();
                return 0;
            }
            if (wParam == kTimerProgramRun) {
                toolsTimerTick();
                return 0;
            }
            break;
        case WM_INITMENU:
            // A pending text input is committed by the text editor before a menu opens.
            break;
        case WM_INITMENUPOPUP:
            if (!HIWORD(lParam)) updateMenuStates(reinterpret_cast<HMENU>(wParam));
            break;
        case WM_MENUSELECT:
            onMenuSelect(wParam, lParam);
            break;
        case WM_DROPFILES:
            onDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_RENDERFORMAT:
        case WM_RENDERALLFORMATS:
        case WM_DESTROYCLIPBOARD:
            return 0;
        case WM_DDE_INITIATE:
            return ddeInitiate(window, wParam, lParam);
        case WM_DDE_EXECUTE:
            return ddeExecute(window, wParam, lParam);
        case WM_DDE_TERMINATE:
            return ddeTerminate(window, wParam, lParam);
        default:
            break;
    }
    return DefFrameProcA(window, g_frame.client, message, wParam, lParam);
}
