// The add-in link on Win32: the link to the add-in's window (addin=), its
// commands in the Add-In menu and on function keys, the notices the editor
// sends by WM_COPYDATA and the requests it answers, with the replies
// written into the add-in's memory. The record and its checks are
// portable (app/addin_link.h).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/addin_link.h"
#include "app/frame_win32.h"
#include "app/view_win32.h"
#include "core/host.h"
#include "platform/platform.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"
#include "view/shapes.h"

namespace {

constexpr DWORD kNoticeTimeoutMs = 5000;  // an add-in that hangs does not hang the editor

struct LinkedCommand {
    AddInCommand command;
    bool enabled = true;
    HMODULE module = nullptr;  // the module of its tool-bar image (loaded as data)
};

struct AddInLink {
    bool active = false;
    bool valid = false;      // the window still belongs to the linked process
    bool attention = false;  // a request came while another application was active
    bool flashing = false;   // the frame flashes for messages that wait
    bool closeRequested = false;
    HWND window = nullptr;
    DWORD processId = 0, threadId = 0;
    char menuTitle[128] = {};
    char specialLinesLabel[81] = {};
    std::vector<LinkedCommand> commands;
    std::vector<AddInMouseCommand> mouseCommands;
    std::vector<HMODULE> modules;
    // The last position reported with notice 4.
    HWND lastWindow = nullptr;
    const void* lastFirst = nullptr;
    const void* lastLast = nullptr;
    unsigned lastSegment = 0;
};
AddInLink g_link;

bool windowOfProcess(HWND window, DWORD processId) {
    DWORD owner = 0;
    return IsWindow(window) && GetWindowThreadProcessId(window, &owner) && owner == processId;
}

bool processRunning(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process) return false;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

LinkedCommand* linkedCommand(unsigned id) {
    for (LinkedCommand& c : g_link.commands)
        if (c.command.id == id) return &c;
    return nullptr;
}

HMENU addInPopup(int* position = nullptr) {
    HMENU parent = nullptr;
    HMENU popup = popupById(IDM_POPUP_ADDIN, &parent, position);
    return parent == g_frame.menu ? popup : nullptr;
}

void setMenuTitle(const char* title) {
    int position = -1;
    if (!addInPopup(&position) || position < 0) return;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<char*>(title);
    SetMenuItemInfoA(g_frame.menu, static_cast<UINT>(position), TRUE, &info);
}

// The Add-In menu with the add-in's commands, or with its placeholder.
void rebuildMenu() {
    HMENU popup = addInPopup();
    if (!popup) return;
    while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
    if (g_link.active && !g_link.commands.empty()) {
        for (const LinkedCommand& c : g_link.commands)
            AppendMenuA(popup, MF_STRING | (c.enabled ? 0u : MF_GRAYED), c.command.id,
                        c.command.menuText.c_str());
        setMenuTitle(g_link.menuTitle);
    } else {
        char empty[64] = "<empty>";
        AppendMenuA(popup, MF_STRING | MF_GRAYED, CMD_ADDIN_EMPTY, empty);
        char title[128] = {};
        platform::loadString(IDS_ADDIN_MENU, title, sizeof title);
        setMenuTitle(title);
    }
    if (g_frame.frame) DrawMenuBar(g_frame.frame);
}

void freeModules() {
    for (HMODULE module : g_link.modules) FreeLibrary(module);
    g_link.modules.clear();
}

// The link is gone: the commands leave the menu.
void dropLink() {
    diagnosticsLine("addin link lost");
    g_link.active = false;
    g_link.valid = false;
    g_link.window = nullptr;
    g_link.commands.clear();
    g_link.mouseCommands.clear();
    removeAddInButtons();
    freeModules();
    rebuildMenu();
}

// Writes `bytes` into the add-in's memory at `address`.
bool writeToAddIn(std::uint64_t address, const void* bytes, std::size_t size) {
    if (!address || !size) return false;
    HANDLE process = OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, g_link.processId);
    if (!process) return false;
    SIZE_T written = 0;
    BOOL ok = WriteProcessMemory(process, reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)),
                                 bytes, size, &written);
    CloseHandle(process);
    return ok && written == size;
}

void reply(const AddInMessage& request, std::int32_t result) {
    writeToAddIn(request.reply, &result, sizeof result);
    diagnosticsLine("addin reply %08x %d", request.kind, result);
}

// Requests that change a diagram wait for a quiet editor.
bool editorBusy() {
    return g_frame.textEditMode != 0 || g_frame.modalDepth > 0 || !IsWindowEnabled(g_frame.frame) ||
           GetCapture() != nullptr;
}

bool changesDiagram(std::uint32_t kind) {
    return kind == kAddInOpen || kind == kAddInGoToLine || kind == kAddInSpecialLines ||
           kind == kAddInCloseDiagram || kind == kAddInClose;
}

std::int32_t openFile(const AddInMessage& request) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s", request.payload.c_str());
    CommandRequest open;
    open.command = CMD_FILE_OPEN;
    open.path = path;
    open.flags = isEmptyUntitledWindow(activeDiagramWindow()) ? kIntoCurrentWindow : kIntoNewWindow;
    // Bit 0 of the option flag: open read-only.
    if (request.params[0] & 1) open.flags |= kReadOnly;
    return runCommand(open) == DispatchResult::done ? 1 : 0;
}

std::int32_t goToLine(const AddInMessage& request) {
    CommandRequest line;
    line.command = CMD_VIEW_LINE;
    line.number = static_cast<long>(request.params[2] & 0x7FFFFFFF);
    std::int32_t result = routeCommand(line) == DispatchResult::done ? 1 : 0;
    if (request.params[0] && result && commandEnabled(CMD_EDIT_TEXT)) {
        // The add-in has its answer before the text editing starts.
        reply(request, result);
        PostMessageA(g_frame.frame, WM_COMMAND, CMD_EDIT_TEXT, 0);
        return -2;
    }
    return result;
}

std::int32_t enableCommand(const AddInMessage& request) {
    const unsigned id = static_cast<unsigned>(request.params[2]);
    LinkedCommand* command = linkedCommand(id);
    if (!command) return -1;
    const UINT flags = static_cast<UINT>(request.params[0]) & (MF_GRAYED | MF_DISABLED);
    command->enabled = flags == 0;
    if (g_frame.toolbar) SendMessageA(g_frame.toolbar, TB_ENABLEBUTTON, id, command->enabled);
    return static_cast<std::int32_t>(EnableMenuItem(g_frame.menu, id, MF_BYCOMMAND | flags));
}

std::int32_t selectedLine() {
    SegmentWindow* window = currentSegmentWindow();
    return window && window->selectionFirst ? window->selectionFirst->lineNumber : 0;
}

// The selected text: while no text is edited, the text of the selected
// construct, whole. The text goes into the add-in's buffer of parameter 1
// bytes (cut to fit, always zero-terminated), the start and end positions
// into the 8-byte record; the result is the length written.
std::int32_t copySelection(const AddInMessage& request) {
    SegmentWindow* window = currentSegmentWindow();
    if (g_frame.textEditMode != 0 || !window || !window->selectionFirst) return 0;
    const char* text = displayText(window->selectionFirst);
    std::string copy = text ? text : "";
    const std::uint64_t room = request.params[0] - 1;
    if (copy.size() > room) copy.resize(static_cast<std::size_t>(room));
    const std::int32_t positions[2] = {0, static_cast<std::int32_t>(copy.size())};
    if (!writeToAddIn(request.params[2], copy.c_str(), copy.size() + 1) ||
        !writeToAddIn(request.params[3], positions, sizeof positions))
        return 0;
    return positions[1];
}

std::int32_t closeDiagram(const AddInMessage& request) {
    OpenDiagram* diagram = findDiagramByPath(request.payload.c_str());
    if (!diagram) return 0;
    for (HWND child = GetWindow(g_frame.client, GW_CHILD); child;) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        if (diagramOfWindow(child) == diagram) SendMessageA(child, WM_CLOSE, 0, 0);
        child = next;
    }
    return findDiagramByPath(request.payload.c_str()) ? 0 : 1;
}

// The diagram's special lines (none clears them); its windows repaint.
std::int32_t setSpecialLines(const AddInMessage& request) {
    std::string fileName;
    std::vector<std::uint32_t> lines;
    OpenDiagram* diagram =
        specialLinesOf(request, fileName, lines) ? findDiagramByPath(fileName.c_str()) : nullptr;
    if (!diagram) return 0;
    diagram->specialLines.clear();
    for (std::uint32_t line : lines)
        if (line > 0 && line <= 0x7FFFFFFF) diagram->specialLines.push_back(static_cast<std::int32_t>(line));
    std::sort(diagram->specialLines.begin(), diagram->specialLines.end());
    diagram->specialLines.erase(std::unique(diagram->specialLines.begin(), diagram->specialLines.end()),
                                diagram->specialLines.end());
    for (HWND child = GetWindow(g_frame.client, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (diagramOfWindow(child) == diagram) InvalidateRect(child, nullptr, FALSE);
    diagnosticsLine("addin special lines %u", static_cast<unsigned>(diagram->specialLines.size()));
    return 1;
}

std::int32_t carryOut(const AddInMessage& request) {
    switch (request.kind) {
        case kAddInClose:
            g_link.closeRequested = true;
            PostMessageA(g_frame.frame, WM_CLOSE, 0, 0);
            return 1;
        case kAddInOpen:
            return openFile(request);
        case kAddInGoToLine:
            return goToLine(request);
        case kAddInEnableCommand:
            return enableCommand(request);
        case kAddInMenuPosition: {
            int position = -1;
            return addInPopup(&position) ? position : -1;
        }
        case kAddInSelectedLine:
            return selectedLine();
        case kAddInRelatedLine: {
            OpenDiagram* diagram = activeDiagram();
            return diagram
                       ? relatedLine(&diagram->document, static_cast<long>(request.params[2] & 0x7FFFFFFF),
                                     static_cast<unsigned>(request.params[0]))
                       : 0;
        }
        case kAddInCloseDiagram:
            return closeDiagram(request);
        case kAddInCopySelection:
            return copySelection(request);
        case kAddInSpecialLines:
            return setSpecialLines(request);
        default:
            return 0;
    }
}

void readAddInCommands(const char* ini) {
    char value[1024] = {};
    for (int position = 1; position <= kMaxAddInCommands; ++position) {
        char key[32];
        std::snprintf(key, sizeof key, "AddInCmd%d", position);
        if (!platform::profileGetString("AddIn", key, "", value, sizeof value, ini)) break;
        AddInCommand command;
        if (!parseAddInCommand(value, command) || linkedCommand(command.id)) {
            diagnosticsLine("addin skipped %s", key);
            continue;
        }
        HMODULE module = nullptr;
        if (!command.imageModule.empty() &&
            (module = LoadLibraryExA(command.imageModule.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)))
            g_link.modules.push_back(module);
        g_link.commands.push_back(LinkedCommand{command, true, module});
    }
}

// MouseCmd1, 2, ...: clicks for commands of the table.
void readMouseCommands(const char* ini) {
    char value[256] = {};
    for (int position = 1; position <= kMaxAddInCommands; ++position) {
        char key[32];
        std::snprintf(key, sizeof key, "MouseCmd%d", position);
        if (!platform::profileGetString("AddIn", key, "", value, sizeof value, ini)) break;
        AddInMouseCommand mouse;
        if (!parseAddInMouseCommand(value, mouse) || !linkedCommand(mouse.command)) {
            diagnosticsLine("addin skipped %s", key);
            continue;
        }
        g_link.mouseCommands.push_back(mouse);
    }
}

BOOL CALLBACK firstBitmap(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    auto* out = reinterpret_cast<std::string*>(found);
    *out = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name)) : name;
    return FALSE;
}

// The bitmap `name` of `module` at 16 x 16: "#12" or 12 by number, a
// name, or without one the module's first bitmap.
HBITMAP moduleBitmap(HMODULE module, std::string name) {
    if (name.empty())
        EnumResourceNamesA(module, MAKEINTRESOURCEA(2), firstBitmap, reinterpret_cast<LONG_PTR>(&name));
    if (name.empty()) return nullptr;
    if (name.find_first_not_of("0123456789") == std::string::npos) name = "#" + name;
    return static_cast<HBITMAP>(LoadImageA(module, name.c_str(), IMAGE_BITMAP, 16, 16, LR_CREATEDIBSECTION));
}

// The commands with an image get their tool-bar buttons; a module or image
// that cannot be had leaves the command in the menu only.
void addButtons() {
    for (const LinkedCommand& c : g_link.commands) {
        const AddInCommand& command = c.command;
        if (command.imageModule.empty() && command.imageNumber < 0) continue;
        HBITMAP bitmap = c.module ? moduleBitmap(c.module, command.imageName) : nullptr;
        const bool added = (bitmap || command.imageModule.empty()) &&
                           addAddInButton(command.id, bitmap, command.imageNumber, c.enabled);
        if (bitmap) DeleteObject(bitmap);
        if (!added) diagnosticsLine("addin no button %u", command.id);
    }
}

}  // namespace

void connectAddIn(std::uint64_t handle) {
    HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
    DWORD processId = 0;
    DWORD threadId = IsWindow(window) ? GetWindowThreadProcessId(window, &processId) : 0;
    if (!threadId || !processRunning(processId)) {
        diagnosticsLine("addin refused %llu", static_cast<unsigned long long>(handle));
        return;
    }
    g_link = AddInLink{};
    g_link.active = g_link.valid = true;
    g_link.window = window;
    g_link.processId = processId;
    g_link.threadId = threadId;
    diagnosticsLine("addin linked");
}

void loadAddInSettings() {
    if (!g_link.active) return;
    const char* ini = g_settingsFile;
    char value[1024] = {};
    platform::loadString(IDS_ADDIN_MENU, g_link.menuTitle, sizeof g_link.menuTitle);
    if (platform::profileGetString("AddIn", "AddInMenu", "", value, sizeof value, ini) > 0)
        std::snprintf(g_link.menuTitle, sizeof g_link.menuTitle, "%s", addInMenuTitle(value).c_str());
    platform::loadString(IDS_SPECIAL_LINES, g_link.specialLinesLabel, sizeof g_link.specialLinesLabel);
    platform::profileGetString("AddIn", "SpecialLines", g_link.specialLinesLabel, g_link.specialLinesLabel,
                               sizeof g_link.specialLinesLabel, ini);
    try {
        readAddInCommands(ini);
        readMouseCommands(ini);
    } catch (const std::bad_alloc&) {
        // The commands read so far stay; the rest of the section is not read.
        showMessage(IDS_OUT_OF_MEMORY_SHORT, kBoxDefault);
    }
    rebuildMenu();
    addButtons();
}

void sendAddInNotice(std::uint32_t kind, std::uint32_t param1, std::uint32_t param3, const char* payload) {
    if (!g_link.active || !windowOfProcess(g_link.window, g_link.processId)) return;
    AddInMessage notice;
    notice.window = reinterpret_cast<std::uintptr_t>(g_frame.frame);
    notice.processId = g_frame.processId;
    notice.threadId = g_frame.threadId;
    notice.kind = kind;
    notice.params[0] = param1;
    notice.params[2] = param3;
    if (payload) {
        notice.payload = payload;
        notice.hasPayload = true;
    }
    std::vector<std::uint8_t> bytes = encodeAddInRecord(kNativeAddInLayout, notice);
    COPYDATASTRUCT data{0, static_cast<DWORD>(bytes.size()), bytes.data()};
    DWORD_PTR result = 0;
    diagnosticsLine("addin notice %u %u %u", kind, param1, param3);
    SendMessageTimeoutA(g_link.window, WM_COPYDATA, reinterpret_cast<WPARAM>(g_frame.frame),
                        reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kNoticeTimeoutMs, &result);
}

LRESULT addInCopyData(HWND sender, const COPYDATASTRUCT* data) {
    AddInPeer peer{g_link.active, reinterpret_cast<std::uintptr_t>(g_link.window), g_link.processId};
    AddInMessage request;
    AddInRefusal refusal =
        data ? checkAddInRequest(kNativeAddInLayout, peer, reinterpret_cast<std::uintptr_t>(sender),
                                 static_cast<std::uint32_t>(data->dwData),
                                 static_cast<const std::uint8_t*>(data->lpData),
                                 data->lpData ? data->cbData : 0, request)
             : AddInRefusal::tooShort;
    if (refusal != AddInRefusal::none) {
        diagnosticsLine("addin refused request %d", static_cast<int>(refusal));
        return FALSE;
    }
    if (GetForegroundWindow() != g_frame.frame && !IsChild(g_frame.frame, GetForegroundWindow()))
        g_link.attention = true;
    diagnosticsLine("addin request %08x", request.kind);
    std::int32_t result = 0;
    if (!(changesDiagram(request.kind) && editorBusy())) {
        // While another application is in front, no box comes up while the
        // add-in waits: the messages wait for the editor's activation.
        const HostState was = g_hostState;
        g_hostState.insideForeignCall = true;
        g_hostState.deferring = was.deferring || g_link.attention;
        result = carryOut(request);
        g_hostState.insideForeignCall = was.insideForeignCall;
        g_hostState.deferring = was.deferring;
    }
    if (result != -2) reply(request, result);
    return TRUE;
}

bool addInCommandRoute(const CommandRequest& request) {
    LinkedCommand* command = linkedCommand(request.command);
    if (!g_link.active || !command || !command->enabled) return false;
    std::uint32_t source = (request.flags & kFromAccelerator) ? kAddInFromKey
                           : (request.flags & kFromControl)   ? kAddInFromControl
                                                              : kAddInFromMenu;
    sendAddInNotice(kAddInCommand, source, request.command, nullptr);
    return true;
}

bool addInCommandEnabled(unsigned command) {
    const LinkedCommand* c = linkedCommand(command);
    return g_link.active && c && c->enabled;
}

const char* addInHelpText(unsigned command) {
    if (command == CMD_ADDIN_NAME) return g_link.active ? g_link.menuTitle : nullptr;
    const LinkedCommand* c = linkedCommand(command);
    return c ? c->command.helpText.c_str() : nullptr;
}

bool addInFunctionKey(unsigned functionKey, unsigned modifiers) {
    if (!g_link.active) return false;
    std::vector<AddInCommand> table;
    for (const LinkedCommand& c : g_link.commands) table.push_back(c.command);
    unsigned command = addInCommandForKey(table, functionKey, modifiers);
    if (!command || !addInCommandEnabled(command)) return false;
    sendAddInNotice(kAddInCommand, kAddInFromKey, command, nullptr);
    return true;
}

unsigned addInMouseCommand(unsigned button, bool doubleClick, unsigned modifiers) {
    if (!g_link.active) return 0;
    const unsigned command =
        addInCommandForClick(g_link.mouseCommands, static_cast<AddInButton>(button), doubleClick, modifiers);
    return command && addInCommandEnabled(command) ? command : 0;
}

void addInGenerated() {
    OpenDiagram* diagram = activeDiagram();
    if (g_link.active && diagram && diagram->generateTarget.storedPath[0])
        sendAddInNotice(kAddInGenerated, 0, 0, diagram->generateTarget.storedPath);
}

namespace {

// While the attention flag is set and messages wait, the frame flashes.
void attentionTimer() {
    if (!g_link.attention) return;
    if (GetForegroundWindow() == g_frame.frame) {
        addInActivated();
    } else if (deferredCount() > 0 && !g_hostState.deferring) {
        if (!g_link.flashing) diagnosticsLine("addin flashing");
        g_link.flashing = true;
        FlashWindow(g_frame.frame, TRUE);
    }
}

}  // namespace

void addInActivated() {
    if (!g_link.attention) return;
    g_link.attention = false;
    if (g_link.flashing) FlashWindow(g_frame.frame, FALSE);
    g_link.flashing = false;
    // Shown once the activation is through: a box inside it would hold it.
    if (deferredCount() > 0 && !g_hostState.deferring) PostMessageA(g_frame.frame, kMsgShowDeferred, 0, 0);
}

void addInTimer() {
    if (!g_link.active) {
        attentionTimer();
        return;
    }
    if (!windowOfProcess(g_link.window, g_link.processId)) {
        dropLink();
        return;
    }
    // The active window's position or selection changed: notice 4.
    HWND window = activeDiagramWindow();
    SegmentWindow* segment = currentSegmentWindow();
    const void* first = segment ? segment->selectionFirst : nullptr;
    const void* last = segment ? segment->selectionLast : nullptr;
    unsigned shown = segment ? segment->shownSegmentId : 0;
    if (window != g_link.lastWindow || first != g_link.lastFirst || last != g_link.lastLast ||
        shown != g_link.lastSegment) {
        g_link.lastWindow = window;
        g_link.lastFirst = first;
        g_link.lastLast = last;
        g_link.lastSegment = shown;
        sendAddInNotice(kAddInPositionChanged, 0, 0, nullptr);
    }
    attentionTimer();
}

const char* addInSpecialLinesLabel() {
    return g_link.active && g_link.specialLinesLabel[0] ? g_link.specialLinesLabel : nullptr;
}

bool addInClosesEditor() {
    const bool requested = g_link.active && g_link.closeRequested;
    g_link.closeRequested = false;  // asked once: a refused close does not carry over
    return requested;
}

void releaseAddIn() {
    g_link.commands.clear();
    freeModules();
    g_link.active = false;
}
