// Start-up, the main loop and the final clean-up of the editor.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/addin_link.h"
#include "app/edit_win32.h"
#include "app/frame_position.h"
#include "app/frame_win32.h"
#include "app/text_edit_win32.h"
#include "app/view_win32.h"
#include "config/language_config.h"
#include "config/menu_captions_win32.h"
#include "config/profile.h"
#include "core/host.h"
#include "core/path.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "tools/tools_win32.h"

namespace {

constexpr char kMagicPath[] = "magic_path";
constexpr char kFileTransferLibrary[] = "KORRIN-FTL.DLL";
constexpr int kFileTransferVersion = 10017;
constexpr char kCtl3dLibrary[] = "CTL3D32.DLL";
constexpr int kEnglish = 44, kGerman = 49;

using GetFtDllVersionProc = int(WINAPI*)();
using InitFileTransferProc = HGLOBAL(WINAPI*)(HWND frame, const AppStrings* strings, const char* iniFile);
using Ctl3dProc = BOOL(WINAPI*)(HINSTANCE);

template <typename T>
T procedure(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void loadText(unsigned id, char* out, int size, const char* fallback) {
    if (platform::loadString(id, out, size) <= 0)
        std::snprintf(out, static_cast<std::size_t>(size), "%s", fallback);
}

void loadAppStrings() {
    loadText(IDS_FRAME_CLASS, g_strings.frameClass, sizeof g_strings.frameClass, "korrinvrd");
    loadText(IDS_TITLE, g_strings.title, sizeof g_strings.title, "Korrin(VRD)");
    loadText(IDS_DOCUMENT_KIND, g_strings.documentKind, sizeof g_strings.documentKind, "");
    loadText(IDS_NATIVE_EXT, g_strings.nativeExt, sizeof g_strings.nativeExt, ".vrd");
    loadText(IDS_UNTITLED, g_strings.untitled, sizeof g_strings.untitled, "(Untitled)");
    loadText(IDS_FRAME_MENU, g_strings.menuName, sizeof g_strings.menuName, "kivframe");
    loadText(IDS_CHILD_CLASS, g_strings.childClass, sizeof g_strings.childClass, "kivchild");
    loadText(IDS_VERSION_TEXT, g_strings.version, sizeof g_strings.version, "");
}

bool registerClasses(bool platform4) {
    HINSTANCE instance = g_frame.instance;
    WNDCLASSA frame{};
    frame.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_BYTEALIGNCLIENT;
    frame.lpfnWndProc = FrameWndProc;
    frame.hInstance = instance;
    frame.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_FRAME));
    frame.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frame.lpszMenuName = g_strings.menuName;
    frame.lpszClassName = g_strings.frameClass;
    if (!RegisterClassA(&frame)) return false;

    WNDCLASSA rb{};
    rb.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    rb.lpfnWndProc = RBWindowProc;
    rb.hInstance = instance;
    rb.hCursor = LoadCursor(nullptr, IDC_ARROW);
    rb.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>((platform4 ? COLOR_BTNFACE : COLOR_WINDOW) + 1));
    rb.lpszClassName = "RBdbl";
    if (!RegisterClassA(&rb)) return false;

    WNDCLASSA child = frame;
    child.lpfnWndProc = KivMDIChildWndProc;
    child.cbWndExtra = sizeof(LONG_PTR);  // the SegmentWindow record
    child.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_DIAGRAM));
    child.lpszMenuName = nullptr;
    child.lpszClassName = g_strings.childClass;
    return RegisterClassA(&child) != 0;
}

// The program directory: string 36 unless it still reads "magic_path".
void findProgramDirectory() {
    char patched[512] = {};
    platform::loadString(IDS_PROGRAM_DIRECTORY, patched, sizeof patched);
    if (char* star = std::strchr(patched, '*')) *star = 0;
    if (patched[0] && std::strncmp(patched, kMagicPath, sizeof kMagicPath - 1) != 0) {
        std::snprintf(g_frame.programDir, sizeof g_frame.programDir, "%s", patched);
    } else {
        std::snprintf(g_frame.programDir, sizeof g_frame.programDir, "%.*s",
                      static_cast<int>(fileNameOf(g_frame.modulePath) - g_frame.modulePath),
                      g_frame.modulePath);
    }
    std::size_t n = std::strlen(g_frame.programDir);
    if (n && g_frame.programDir[n - 1] != '\\' && n + 1 < sizeof g_frame.programDir) {
        g_frame.programDir[n] = '\\';
        g_frame.programDir[n + 1] = 0;
    }
}

void findModuleNames() {
    GetModuleFileNameA(nullptr, g_frame.modulePath, sizeof g_frame.modulePath);
    const char* base = fileNameOf(g_frame.modulePath);
    std::snprintf(g_frame.ddeName, sizeof g_frame.ddeName, "%.*s",
                  static_cast<int>(extensionOf(g_frame.modulePath) - base), base);
    copyText(g_frame.helpFile, g_frame.modulePath);
    replaceExtension(g_frame.helpFile, sizeof g_frame.helpFile, ".hlp");
}

void applyLanguageResource() {
    int language = kGerman;
    HRSRC found = FindResourceA(g_frame.instance, MAKEINTRESOURCEA(IDR_LANGUAGE), MAKEINTRESOURCEA(10));
    HGLOBAL loaded = found ? LoadResource(g_frame.instance, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data && SizeofResource(g_frame.instance, found) >= 4) std::memcpy(&language, data, 4);
    if (language == kEnglish)
        SetThreadLocale(MAKELCID(1033, SORT_DEFAULT));
    else if (language == kGerman)
        SetThreadLocale(MAKELCID(1031, SORT_DEFAULT));
}

void startCtl3d(bool platform4) {
    g_frame.ctl3d = readProfileBool(IDS_KEY_CTL3D, IDS_SEC_SETTINGS, g_settingsFile, 1) != 0;
    if (platform4) g_frame.ctl3d = false;
    if (!g_frame.ctl3d) return;
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    g_frame.ctl3dLibrary = LoadLibraryA(kCtl3dLibrary);
    SetErrorMode(oldMode);
    auto reg = g_frame.ctl3dLibrary ? procedure<Ctl3dProc>(g_frame.ctl3dLibrary, "Ctl3dRegister") : nullptr;
    if (!reg || !reg(g_frame.instance)) {
        g_frame.ctl3d = false;
        return;
    }
    if (auto subclass = procedure<Ctl3dProc>(g_frame.ctl3dLibrary, "Ctl3dAutoSubClass"))
        subclass(g_frame.instance);
}

void registerMessages() {
    FrameMessages& m = g_frame.messages;
    m.printExit = RegisterWindowMessageA("Drucken&Beenden");
    m.generateExit = RegisterWindowMessageA("Generieren&Beenden");
    m.generateAllExit = RegisterWindowMessageA("AllesGenerieren&Beenden");
    m.saveExit = RegisterWindowMessageA("Speichern&Beenden");
    m.exportExit = RegisterWindowMessageA("Exportieren&Beenden");
    m.pictureExit = RegisterWindowMessageA("Bild&Beenden");
    m.cancelMouseMode = RegisterWindowMessageA("Mausmodus abbrechen");
    m.correctSection = RegisterWindowMessageA("Korrigiere Ausschnitt");
    m.endInit = RegisterWindowMessageA("Beende INITDIALOG");
    m.editSubInit = RegisterWindowMessageA("KIV_EM_SUBINIT");
    m.editIndent = RegisterWindowMessageA("KIV_EM_INDENT");
    m.editTabStops = RegisterWindowMessageA("KIV_EM_SETMYTABSTOPS");
    m.appTerm = RegisterWindowMessageA("AppTermMsg");
}

void registerClipboardFormats() {
    const unsigned ids[3] = {IDS_CLIPBOARD_VRD, IDS_CLIPBOARD_VQ, IDS_CLIPBOARD_VRD_OLD};
    for (int i = 0; i < 3; ++i) {
        char name[64] = {};
        if (platform::loadString(ids[i], name, sizeof name) > 0)
            g_frame.clipboardFormats[i] = RegisterClipboardFormatA(name);
    }
}

// Start-up: the outside file-transfer library and its menu items.
void startFileTransfer() {
    bool wanted = readProfileBool(IDS_KEY_FTAVAILABLE, IDS_SEC_SETTINGS, g_settingsFile, 1) != 0;
    HMODULE library = nullptr;
    if (wanted) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s%s", g_frame.programDir, kFileTransferLibrary);
        UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        library = LoadLibraryA(path);
        SetErrorMode(oldMode);
    }
    if (!library) {
        DeleteMenu(g_frame.menu, CMD_FILE_TRANSFER, MF_BYCOMMAND);
        DeleteMenu(g_frame.menu, CMD_OPTIONS_FILE_TRANSFER, MF_BYCOMMAND);
        return;
    }
    auto version = procedure<GetFtDllVersionProc>(library, "GetFtDllVersion");
    if (!version || version() != kFileTransferVersion) {
        FreeLibrary(library);
        g_frame.fileTransferAvailable = false;  // the items stay, greyed
        if (!g_frame.batch) showMessage(IDS_FTL_WRONG_VERSION, kBoxDefault, kFileTransferLibrary);
        return;
    }
    g_frame.fileTransferLibrary = library;
    g_frame.fileTransferAvailable = true;
    if (auto init = procedure<InitFileTransferProc>(library, "init_filetransfer"))
        g_frame.fileTransferHandle = init(g_frame.frame, &g_strings, g_settingsFile);
}

struct OtherFrame {
    HWND self;
};

bool otherFrameAt(const SettingsRect& rect, void* context) {
    HWND self = static_cast<OtherFrame*>(context)->self;
    for (HWND w = FindWindowExA(nullptr, nullptr, g_strings.frameClass, nullptr); w;
         w = FindWindowExA(nullptr, w, g_strings.frameClass, nullptr)) {
        if (w == self || !IsWindowVisible(w) || IsIconic(w) || IsZoomed(w)) continue;
        RECT r;
        GetWindowRect(w, &r);
        if (r.left == rect.left && r.top == rect.top && r.right == rect.right && r.bottom == rect.bottom)
            return true;
    }
    return false;
}

void restoreFramePosition() {
    loadWindowPlacement(g_frameSettings, g_settingsFile);
    if (!g_frameSettings.hasWindowCoordinates) return;
    SettingsRect rect = g_frameSettings.windowCoordinates;
    SettingsRect screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                        GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                        GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    int caption = GetSystemMetrics(SM_CYCAPTION);
    if (!frameRectAcceptable(rect, screen, caption)) return;  // off screen: the default position
    if (!g_frameSettings.maximized) {
        OtherFrame other{g_frame.frame};
        rect = placeFrameRect(rect, screen, caption, otherFrameAt, &other);
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(g_frame.frame, &placement);
    placement.rcNormalPosition = RECT{rect.left, rect.top, rect.right, rect.bottom};
    placement.showCmd = SW_HIDE;
    SetWindowPlacement(g_frame.frame, &placement);
}

// Start-up: the cross-reference items, once the file types are registered.
void startBrowser() {
    if (!registerFileTypes(false)) return;
    g_frame.browserDefinition =
        readProfileBool(IDS_KEY_BROWSERSUPPORTDEF, IDS_SEC_SETTINGS, g_settingsFile, 0) != 0;
    g_frame.browserReferences =
        readProfileBool(IDS_KEY_BROWSERSUPPORTREF, IDS_SEC_SETTINGS, g_settingsFile, 0) != 0;
    if (!g_frame.browserDefinition) DeleteMenu(g_frame.menu, CMD_VIEW_DEFINITION, MF_BYCOMMAND);
    if (!g_frame.browserReferences) DeleteMenu(g_frame.menu, CMD_VIEW_REFERENCES, MF_BYCOMMAND);
    if (g_frame.browserDefinition || g_frame.browserReferences) {
        // The outside browser starts with its own part; until then its items stay grey.
        g_frame.browserActive = commandRoute(CommandOwner::browser) != nullptr;
    } else {
        DeleteMenu(g_frame.menu, CMD_OPTIONS_PROJECT, MF_BYCOMMAND);
    }
}

// SettingsHooks::toolWindowRect: where an open tool window is now.
bool toolWindowRect(std::uintptr_t window, SettingsRect* rect) {
    HWND handle = reinterpret_cast<HWND>(window);
    RECT r;
    if (!rect || !IsWindow(handle) || IsIconic(handle) || !GetWindowRect(handle, &r)) return false;
    *rect = SettingsRect{r.left, r.top, r.right, r.bottom};
    return true;
}

// The Execute submenu that the program list fills: a popup even while empty.
void ensureExecutePopup() {
    HMENU file = popupById(IDM_POPUP_FILE);
    if (!file) return;
    int count = GetMenuItemCount(file);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoA(file, static_cast<UINT>(i), TRUE, &info) || info.wID != IDM_POPUP_EXECUTE)
            continue;
        if (!info.hSubMenu) {
            info.fMask = MIIM_SUBMENU;
            info.hSubMenu = CreatePopupMenu();
            SetMenuItemInfoA(file, static_cast<UINT>(i), TRUE, &info);
        }
        return;
    }
}

void deriveHotKeys() {
    char shift[16] = {}, ctrl[16] = {}, alt[16] = {};
    platform::loadString(IDS_WORD_SHIFT, shift, sizeof shift);
    platform::loadString(IDS_WORD_CTRL, ctrl, sizeof ctrl);
    platform::loadString(IDS_WORD_ALT, alt, sizeof alt);
    char text[128] = {};
    GetMenuStringA(g_frame.menu, CMD_OPTIONS_STRUCTURE_LIST, text, sizeof text, MF_BYCOMMAND);
    g_frame.structureHotKey = hotKeyFromMenuText(text, shift, ctrl, alt);
    text[0] = 0;
    GetMenuStringA(g_frame.menu, CMD_OPTIONS_RESULT_FILE, text, sizeof text, MF_BYCOMMAND);
    g_frame.resultHotKey = hotKeyFromMenuText(text, shift, ctrl, alt);
}

bool initApplication(const std::string& line, int showMode) {
    // The platform version.
    DWORD version = GetVersion();
    int major = LOBYTE(LOWORD(version)), minor = HIBYTE(LOWORD(version));
    bool platform4 = major >= 4;
    if (!platform4) {
        char text[kMaxFormatted], title[64];
        formatMessage(text, IDS_INVALID_OS_VERSION, 4, 0);
        loadText(IDS_TITLE, title, sizeof title, "Korrin(VRD)");
        MessageBoxA(nullptr, text, title, MB_OK | MB_ICONHAND);
        return false;
    }
    (void)minor;

    // The global records and the registration strings.
    initFrameSettings(g_frameSettings);
    g_settingsHooks = SettingsHooks{};
    g_settingsHooks.toolWindowRect = toolWindowRect;
    for (int i = 0; i < kRegistrationStrings; ++i)
        platform::loadString(1800u + static_cast<unsigned>(i), g_frame.registration[i],
                             sizeof g_frame.registration[i]);

    // The command line, the application strings, the window classes.
    clearStartupOptions(g_startup);
    g_startup.commandLine = line;
    g_startup.showMode = showMode;
    loadAppStrings();
    if (!registerClasses(platform4)) {
        diagnosticsLine("start-up failed: window classes, error %lu", GetLastError());
        return false;
    }

    // Wait cursor; program directory, settings and help file, DDE name.
    g_hostState.deferring = true;
    if (Host* host = currentHost()) host->setWaitCursor(true);
    findModuleNames();
    findProgramDirectory();
    settingsFileName(g_frame.modulePath, nullptr, g_settingsFile);

    // The arguments; inifile= at once.
    ArgumentList args;
    splitArguments(g_startup.commandLine, args);
    if (findIniFileOption(args, g_startup))
        settingsFileName(g_frame.modulePath, g_startup.iniFile, g_settingsFile);
    // Whether a batch action runs is known from the arguments at once: a
    // batch run that cannot start must end with a failure and its reason
    // like any other (step 12 parses the options for good).
    {
        StartupOptions probe;
        clearStartupOptions(probe);
        parseOptions(args, probe, true);
        g_frame.batch = isBatchStart(probe);
        g_frame.batchCommand = batchCommand(probe);
        g_hostState.unattended = g_frame.batch;
    }

    // Language, 3-D controls, tables, messages, temp file, formats.
    applyLanguageResource();
    startCtl3d(platform4);
    initLanguageConfig(g_languageConfig);
    registerMessages();
    platform::tempFileName("vrd", g_frame.tempFile);
    registerClipboardFormats();
    g_frame.accelerators = LoadAcceleratorsA(g_frame.instance, g_strings.menuName);
    installCommandRoutes();

    // The frame (it stays disabled to the end of start-up).
    HWND frame = CreateWindowExA(0, g_strings.frameClass, g_strings.title,
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, g_frame.instance, nullptr);
    if (!frame || !g_frame.client || !g_frame.accelerators || !g_frame.menu) {
        diagnosticsLine("start-up failed: frame %p client %p accelerators %p menu %p, error %lu",
                        static_cast<void*>(frame), static_cast<void*>(g_frame.client),
                        static_cast<void*>(g_frame.accelerators), static_cast<void*>(g_frame.menu),
                        GetLastError());
        if (frame) DestroyWindow(frame);
        return false;
    }
    EnableWindow(frame, FALSE);

    // Ids, System info, the options.
    g_frame.threadId = GetWindowThreadProcessId(frame, &g_frame.processId);
    if (!systemInfoAvailable()) DeleteMenu(g_frame.menu, CMD_HELP_SYSTEM_INFO, MF_BYCOMMAND);
    bool printFileStandard =
        readProfileBool(IDS_KEY_PRINTFILESTANDARD, IDS_SEC_SETTINGS, g_settingsFile, 1) != 0;
    GetCurrentDirectoryA(sizeof g_startup.workingDirectory, g_startup.workingDirectory);
    parseOptions(args, g_startup, printFileStandard);
    g_frame.batch = isBatchStart(g_startup);
    // A batch run answers every question by default; an interactive start
    // asks them (its messages wait in the deferred list).
    g_hostState.unattended = g_frame.batch;
    if (g_startup.addIn) connectAddIn(g_startup.addInWindow);
    bool hidden = g_frame.batch || g_startup.embedding;
    diagnosticsLine("command line %s", g_startup.commandLine.c_str());
    diagnosticsLine("start %s%s", g_frame.batch ? "batch" : "interactive",
                    g_startup.embedding ? " embedding" : "");

    // First flush; switches; the file-transfer library.
    flushStartupMessages();
    g_frame.saveAfterGen = readProfileBool(IDS_KEY_SAVEAFTERGEN, IDS_SEC_SETTINGS, g_settingsFile, 1) != 0;
    g_frame.printMono = readProfileBool(IDS_KEY_PRINTMONO, IDS_SEC_SETTINGS, g_settingsFile, 0) != 0;
    g_frame.specialStatementLabels =
        readProfileBool(IDS_KEY_SPECIALSTATEMENTLABELS, IDS_SEC_SETTINGS, g_settingsFile, 0) != 0;
    loadNetworkDrives(g_frameSettings.network, g_settingsFile);
    startFileTransfer();

    // The settings, with the language configuration and its menu captions.
    connectTools();
    Win32MenuCaptions captions(g_frame.menu, nullptr);
    SettingsLoadOptions load{g_startup.projectGiven, g_startup.projectPathGiven, &g_languageConfig,
                             &captions};
    loadSettings(g_frameSettings, g_settingsFile, load, g_settingsHooks);
    loadDisplaySettings(g_displayDefaults, g_settingsFile);
    loadAddInSettings();
    connectPartsToFrame();
    if (g_startup.projectGiven)
        std::snprintf(g_frameSettings.window.projectName, sizeof g_frameSettings.window.projectName, "%s",
                      g_startup.project);
    if (g_startup.projectPathGiven)
        std::snprintf(g_frameSettings.window.projectPath, sizeof g_frameSettings.window.projectPath, "%s",
                      g_startup.projectPath);
    ensureExecutePopup();
    rebuildExecuteMenu();
    DrawMenuBar(frame);

    // Bars, help context, hooks, context menus.
    if (g_frame.toolbarFailed) g_frameSettings.window.toolBar = false;
    if (g_frame.toolbar && g_frameSettings.flatToolbar)
        SetWindowLongA(g_frame.toolbar, GWL_STYLE, GetWindowLongA(g_frame.toolbar, GWL_STYLE) | TBSTYLE_FLAT);
    resetHelpContext();
    installHooks();
    loadContextMenus();

    // Caption, position, the first window, the recent files.
    char loading[128] = {};
    platform::loadString(IDS_LOADING_PROGRAM, loading, sizeof loading);
    setFrameCaption(loading);
    restoreFramePosition();
    layoutFrame();
    createUntitledWindow();
    loadRecentFiles(g_frame.recent, g_settingsFile);
    rebuildRecentMenus();

    // File types and the cross-reference items.
    startBrowser();

    // Show the frame.
    if (!hidden) {
        bool normal = showMode == SW_SHOWNORMAL || showMode == SW_SHOWDEFAULT;
        int show = normal && g_frameSettings.maximized ? SW_SHOWMAXIMIZED : showMode;
        ShowWindow(frame, show);
        layoutFrame();
        UpdateWindow(frame);
        const ToolWindowPlace& toolbox = g_frameSettings.places[static_cast<int>(ToolWindow::ToolBox)];
        if (toolbox.open) createToolbox(&toolbox.rect);
        if (g_frameSettings.places[static_cast<int>(ToolWindow::Overview)].open) toggleOverview();
        if (g_frameSettings.places[static_cast<int>(ToolWindow::Levellist)].open) toggleStructureList();
        if (g_frameSettings.places[static_cast<int>(ToolWindow::Result)].open)
            resultCommand(CMD_OPTIONS_RESULT_FILE);
    } else {
        layoutFrame();
    }

    // The program's edit control class; hot keys.
    registerEditClass(g_frame.instance);
    deriveHotKeys();

    // The batch conversion, or the file of the command line.
    bool opened = false;
    if (g_startup.generateAll || g_startup.convertAll) {
        CommandRequest convert;
        convert.command = CMD_FILE_GENERATE_ALL;
        convert.flags = kFromBatch | kBatchConversion;
        convert.path = g_startup.convertAll && g_startup.convertPath[0] ? g_startup.convertPath : nullptr;
        runCommand(convert);
    } else if (g_startup.fileToOpen[0]) {
        CommandRequest open;
        open.command = CMD_FILE_OPEN;
        open.flags =
            kIntoCurrentWindow | (g_startup.readOnly ? kReadOnly : 0u) | (g_frame.batch ? kFromBatch : 0u);
        open.path = g_startup.fileToOpen;
        DispatchResult result = runCommand(open);
        opened = result == DispatchResult::done;
        g_frame.batchFileOpened = opened;
        // A batch action on a file that could not be opened fails.
        if (!opened && g_frame.batch && g_frame.exitCode == 0) g_frame.exitCode = kExitCodeFailed;
        if (result == DispatchResult::unavailable && !g_frame.batch) {
            char name[128];
            commandName(CMD_FILE_OPEN, name, sizeof name);
            showMessage(IDS_NOT_AVAILABLE, kBoxDefault, name);
        }
    }
    flushStartupMessages();
    if (!g_frame.batch) g_hostState.deferring = false;
    if (Host* host = currentHost()) host->setWaitCursor(false);
    EnableWindow(frame, TRUE);
    if (HWND active = activeDiagramWindow()) SetFocus(active);

    // Line, view, Open dialog; the batch messages; the end of start-up.
    if (opened && g_startup.line > 0) {
        CommandRequest line;
        line.command = CMD_VIEW_LINE;
        line.number = g_startup.line;
        routeCommand(line);
    }
    if (g_startup.action == StartAction::view) {
        CommandRequest view;
        view.command = CMD_OPTIONS_STRUCTURE_LIST;
        view.number = g_startup.viewType;
        view.text = g_startup.viewText;
        routeCommand(view);
    }
    if (g_startup.openDialog) PostMessageA(frame, WM_COMMAND, CMD_FILE_OPEN, 0);
    const FrameMessages& m = g_frame.messages;
    if (g_startup.print) PostMessageA(frame, m.printExit, 0, 0);
    if (g_startup.generateAll || g_startup.convertAll) PostMessageA(frame, m.generateAllExit, 0, 0);
    if (g_startup.generate) PostMessageA(frame, m.generateExit, 0, 0);
    if (g_startup.save) PostMessageA(frame, m.saveExit, 0, 0);
    if (g_startup.exportFile) PostMessageA(frame, m.exportExit, 0, 0);
    if (g_startup.picture) PostMessageA(frame, m.pictureExit, 0, 0);
    PostMessageA(frame, m.endInit, 0, 0);
    // The editor serves no embedded documents: an "Embedding" start ends
    // once it is up instead of staying hidden with nobody to close it.
    if (g_startup.embedding && !g_frame.batch) PostMessageA(frame, WM_COMMAND, CMD_FILE_EXIT, 0);
    return true;
}

bool isWithin(HWND window, HWND outer) {
    return outer && window && (window == outer || IsChild(outer, window));
}

HWND toolWindow(ToolWindow which) {
    return reinterpret_cast<HWND>(g_frameSettings.window.toolWindows[static_cast<int>(which)]);
}

KeyModifiers currentModifiers() {
    return KeyModifiers{(GetKeyState(VK_CONTROL) & 0x8000) != 0, (GetKeyState(VK_SHIFT) & 0x8000) != 0,
                        (GetKeyState(VK_MENU) & 0x8000) != 0};
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP || message == WM_SYSCHAR;
}

// Key filter: keys 9..40 in the active diagram window or a tool window
// (not the result window, whose text keeps its own keys).
bool navigationFilter(const MSG& msg) {
    if ((msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) || msg.wParam < 9 || msg.wParam > 40)
        return false;
    if (!g_frame.frame || IsIconic(g_frame.frame)) return false;
    HWND active = activeDiagramWindow();
    bool inTool = false;
    for (ToolWindow which :
         {ToolWindow::Overview, ToolWindow::Levellist, ToolWindow::Printgrid, ToolWindow::ToolBox})
        inTool = inTool || isWithin(msg.hwnd, toolWindow(which));
    if (!active || !(isWithin(msg.hwnd, active) || inTool)) return false;
    NavigationState state{(GetKeyState(VK_SCROLL) & 1) != 0, g_frame.textEditMode == 1,
                          (GetWindowLongA(g_frame.client, GWL_STYLE) & WS_VSCROLL) != 0,
                          (GetWindowLongA(g_frame.client, GWL_STYLE) & WS_HSCROLL) != 0};
    Navigation nav = navigationFor(static_cast<unsigned>(msg.wParam), currentModifiers(), state);
    if (nav.kind != NavigationKind::none)
        diagnosticsLine("navigate %d %u", static_cast<int>(nav.kind), nav.code);
    switch (nav.kind) {
        case NavigationKind::command:
            SendMessageA(active, WM_COMMAND, MAKEWPARAM(nav.code, 1), 0);
            return true;
        case NavigationKind::scrollVertical:
            SendMessageA(g_frame.client, WM_VSCROLL, nav.code, 0);
            return true;
        case NavigationKind::scrollHorizontal:
            SendMessageA(g_frame.client, WM_HSCROLL, nav.code, 0);
            return true;
        case NavigationKind::none:
            break;
    }
    return false;
}

// Key filter: F1-F24 of an add-in command in the active diagram window or
// a tool window.
bool addInKeyFilter(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (msg.wParam < VK_F1 || msg.wParam > VK_F24 || !g_frame.frame || IsIconic(g_frame.frame)) return false;
    bool ours = isWithin(msg.hwnd, activeDiagramWindow());
    for (ToolWindow which : {ToolWindow::Overview, ToolWindow::Levellist, ToolWindow::Printgrid,
                             ToolWindow::Result, ToolWindow::ToolBox})
        ours = ours || isWithin(msg.hwnd, toolWindow(which));
    if (!ours) return false;
    KeyModifiers mods = currentModifiers();
    return addInFunctionKey(static_cast<unsigned>(msg.wParam - VK_F1 + 1),
                            (mods.shift ? 1u : 0u) | (mods.ctrl ? 2u : 0u) | (mods.alt ? 4u : 0u));
}

// Key filter: the hot keys of the structure list and the result window.
bool hotKeyFilter(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN && msg.message != WM_KEYUP &&
        msg.message != WM_SYSKEYUP)
        return false;
    struct Target {
        const HotKey& key;
        ToolWindow window;
        unsigned command;
    };
    const Target targets[] = {{g_frame.structureHotKey, ToolWindow::Levellist, CMD_OPTIONS_STRUCTURE_LIST},
                              {g_frame.resultHotKey, ToolWindow::Result, CMD_OPTIONS_RESULT_FILE}};
    HWND focus = GetFocus();
    KeyModifiers mods = currentModifiers();
    for (const Target& t : targets) {
        HWND window = toolWindow(t.window);
        if (!t.key.valid || !window || !isWithin(focus, window)) continue;
        if (static_cast<unsigned>(msg.wParam) != static_cast<unsigned char>(t.key.key)) continue;
        if (mods.ctrl != t.key.mods.ctrl || mods.shift != t.key.mods.shift || mods.alt != t.key.mods.alt)
            continue;
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)
            SendMessageA(g_frame.frame, WM_COMMAND, MAKEWPARAM(t.command, 1), 0);
        return true;  // the key-up is swallowed
    }
    return false;
}

// Key filter: keys that go to the window directly, past the accelerators.
bool directKeyFilter(MSG& msg) {
    if (!isKeyMessage(msg.message)) return false;
    HWND active = activeDiagramWindow();
    bool ours = msg.hwnd == g_frame.frame || isWithin(msg.hwnd, active) ||
                isWithin(msg.hwnd, toolWindow(ToolWindow::Overview)) ||
                isWithin(msg.hwnd, toolWindow(ToolWindow::Printgrid)) || isWithin(msg.hwnd, g_frame.toolbox);
    if (!ours) return false;
    if ((msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP || msg.message == WM_SYSCHAR) &&
        IsIconic(g_frame.frame)) {
        DispatchMessageA(&msg);
        return true;
    }
    KeyModifiers mods = currentModifiers();
    unsigned key = static_cast<unsigned>(msg.wParam);
    bool direct = false;
    if (msg.message == WM_CHAR) {
        direct = (!mods.ctrl && (key == '\b' || key == '\t' || key == '\r')) || (mods.ctrl && key == 0x1B);
    } else if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) {
        if (mods.ctrl && !mods.shift && !mods.alt && (key == VK_CANCEL || key == VK_SCROLL)) direct = true;
        if (!mods.ctrl && (key == VK_BACK || key == VK_TAB || key == VK_CLEAR || key == VK_RETURN ||
                           key == VK_PAUSE || key == VK_CAPITAL))
            direct = true;
        if (mods.ctrl && key == VK_ESCAPE) direct = true;
    }
    if (!direct) return false;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

}  // namespace

int runEditor(HINSTANCE instance, const char* commandLine, int showMode) {
    g_frame = FrameState{};
    g_frame.instance = instance;
    installWin32Host();

    std::string line;
    char responseFile[MAX_PATH] = {};
    if (expandResponseFile(commandLine ? commandLine : "", line, responseFile) ==
        ResponseResult::unreadable) {
        char text[kMaxFormatted];
        formatMessage(text, IDS_RESPONSE_FILE_UNREADABLE, responseFile);
        writeStandardError(text);
        return kExitCodeFailed;
    }
    if (isInitializeMode(line)) return initializeMode();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (!initApplication(line, showMode)) {
        // A batch run that could not start has failed, and says why.
        if (g_frame.batch) {
            g_frame.exitCode = kExitCodeFailed;
            char name[256];
            commandName(g_frame.batchCommand, name, sizeof name);
            char text[kMaxFormatted];
            formatMessage(text, IDS_BATCH_NO_WINDOW, name);
            writeStandardError(text);
        }
        finalCleanup();
        return g_frame.exitCode;
    }
    sendAddInNotice(kAddInStarted);
    int code = messageLoop();
    sendAddInNotice(kAddInEnded);
    finalCleanup();
    diagnosticsLine("exit %d", code);
    return code;
}

int messageLoop() {
    MSG msg{};
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        // F1: help for the current context; Shift+F1 is swallowed; Alt+F1
        // is help on the selected text.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1) {
            if (!(GetKeyState(VK_SHIFT) & 0x8000)) helpForContext();
            continue;
        }
        if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F1) {
            PostMessageA(g_frame.frame, WM_COMMAND, CMD_HELP_ON_TEXT, 0);
            continue;
        }
        if (addInKeyFilter(msg)) continue;
        if (directEditMessage(msg)) continue;
        if (navigationFilter(msg)) continue;
        if (hotKeyFilter(msg)) continue;
        if (g_frame.modelessDialog && IsWindow(g_frame.modelessDialog) &&
            IsDialogMessageA(g_frame.modelessDialog, &msg))
            continue;
        if (g_frame.client && TranslateMDISysAccel(g_frame.client, &msg)) continue;
        if (directKeyFilter(msg)) continue;
        if (g_frame.textEditMode == 2 && g_frame.editWindow && isWithin(msg.hwnd, g_frame.editWindow)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (g_frame.frame && g_frame.accelerators &&
            TranslateAcceleratorA(g_frame.frame, g_frame.accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void finalCleanup() {
    if (g_frame.cleanedUp) return;
    g_frame.cleanedUp = true;
    editCleanup();
    restoreCaretBlinkTime();
    if (g_frame.batch) flushStartupMessages();
    // A batch run that failed always says so, even where nothing more
    // precise was reported.
    if (g_frame.batch && g_frame.exitCode != 0 && g_frame.reasonsReported == 0) {
        char name[256];
        commandName(g_frame.batchCommand, name, sizeof name);
        char text[kMaxFormatted];
        formatMessage(text, IDS_BATCH_FAILED, name);
        writeStandardError(text);
    }
    destroyToolbarImages();
    if (g_frame.fileTransferHandle) g_frame.fileTransferHandle = GlobalFree(g_frame.fileTransferHandle);
    if (g_frame.fileTransferLibrary) {
        FreeLibrary(g_frame.fileTransferLibrary);
        g_frame.fileTransferLibrary = nullptr;
    }
    if (g_frame.tempFile[0]) platform::deleteFile(g_frame.tempFile);
    g_frame.tempFile[0] = 0;
    clearDeferred();
    freeFrameSettings(g_frameSettings);
    removeHooks();
    if (g_frame.ctl3dLibrary) {
        if (g_frame.ctl3d)
            if (auto unregister = procedure<Ctl3dProc>(g_frame.ctl3dLibrary, "Ctl3dUnregister"))
                unregister(g_frame.instance);
        FreeLibrary(g_frame.ctl3dLibrary);
        g_frame.ctl3dLibrary = nullptr;
    }
    releaseAddIn();
    clearCommandRoutes();
}
