// The frame of the editor: the process-wide state of the Win32 front end and
// the functions its files share. Window procedures stay thin: they turn
// messages into calls of the portable command layer (app/commands.h).
#pragma once

#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <string>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/keys.h"
#include "app/resource_tables.h"
#include "app/settings.h"

// ---------------------------------------------------------------------------
// Records

// Texts loaded once at start.
struct AppStrings {
    char frameClass[64];    // string 0, "korrinvrd"
    char title[64];         // string 3, "Korrin(VRD)"
    char documentKind[64];  // string 23
    char nativeExt[16];     // string 22, ".vrd"
    char untitled[64];      // string 10, "(Untitled)"
    char menuName[32];      // string 52, "kivframe"
    char childClass[32];    // string 53, "kivchild"
    char version[64];       // the module's version text
};

// The registered window messages.
struct FrameMessages {
    UINT printExit;        // "Drucken&Beenden"
    UINT generateExit;     // "Generieren&Beenden"
    UINT generateAllExit;  // "AllesGenerieren&Beenden"
    UINT saveExit;         // "Speichern&Beenden"
    UINT exportExit;       // "Exportieren&Beenden"
    UINT pictureExit;      // "Bild&Beenden": the picture of -svg
    UINT cancelMouseMode;  // "Mausmodus abbrechen"
    UINT correctSection;   // "Korrigiere Ausschnitt"
    UINT endInit;          // "Beende INITDIALOG"
    UINT editSubInit;      // "KIV_EM_SUBINIT"
    UINT editIndent;       // "KIV_EM_INDENT"
    UINT editTabStops;     // "KIV_EM_SETMYTABSTOPS"
    UINT appTerm;          // "AppTermMsg"
};

constexpr int kContextMenuCount = CMD_CONTEXT_TEXT_INPUT - CMD_CONTEXT_DIAGRAM + 1;
constexpr int kMaxContextEntries = 64;
constexpr int kRegistrationStrings = 38;  // 1800-1837

struct FrameState {
    HINSTANCE instance;
    HWND frame;
    HWND client;  // the MDI client
    HWND toolbar;
    HWND toolbox;  // the toolbox window (also in the settings' tool windows)
    HWND statusBar;
    HACCEL accelerators;
    HMENU menu;
    DWORD processId, threadId;

    int textEditMode;     // 0 none, 1 direct editing, 2 edit window
    HWND editWindow;      // the edit window of text mode 2
    HWND modelessDialog;  // the current modeless dialog
    int modalDepth;       // a modal operation runs (dialogs, menus of our own)
    bool activationPending;
    bool everPainted;
    bool toolbarFailed;
    bool batch;    // a batch option runs: the frame stays hidden
    bool started;  // "Beende INITDIALOG" has been handled
    bool cleanedUp;
    bool closing;             // the frame is being closed: no new diagram windows
    unsigned currentCommand;  // the command being carried out (0 = none)
    int exitCode;
    unsigned batchCommand;  // the batch action of the command line (0: none)
    bool batchRan;          // its batch message has been handled
    bool batchFileOpened;   // the file of the command line was opened (a batch action needs it)
    int reasonsReported;    // lines written to standard error

    bool ctl3d;
    HMODULE ctl3dLibrary;

    bool fileTransferAvailable;  // the outside library is there with its version
    HMODULE fileTransferLibrary;
    HGLOBAL fileTransferHandle;
    bool saveAfterGen, printMono, specialStatementLabels;
    bool browserDefinition, browserReferences, browserActive;

    char modulePath[MAX_PATH];
    char programDir[MAX_PATH];
    char helpFile[MAX_PATH];
    char ddeName[257];
    char tempFile[MAX_PATH];
    char registration[kRegistrationStrings][80];

    unsigned helpCommand;  // the help context: menu command and help topic
    unsigned helpContext;
    unsigned menuSelection;  // the menu item under the highlight (0 = none)
    bool menuActive;
    char savedStatus[129];  // the status text while a menu is open

    FrameMessages messages;
    UINT clipboardFormats[3];
    HotKey structureHotKey, resultHotKey;

    ContextEntry contextMenus[kContextMenuCount][kMaxContextEntries];
    int contextCounts[kContextMenuCount];

    RecentFiles recent;
};

// Exit codes of a batch run besides 0.
constexpr int kExitCodeFailed = 1;        // the action failed (its messages went to standard error)
constexpr int kExitCodeNotAvailable = 3;  // the action is one this edition cannot carry out

extern FrameState g_frame;
extern StartupOptions g_startup;
extern AppStrings g_strings;

// ---------------------------------------------------------------------------
// Start-up and the main loop (startup_win32.cpp)

// The whole life of the editor: the command line, the initialisation, the
// message loop and the final clean-up. Returns the process exit code.
int runEditor(HINSTANCE instance, const char* commandLine, int showMode);
int messageLoop();
void finalCleanup();

// ---------------------------------------------------------------------------
// The frame (frame_win32.cpp)

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The frame's own commands: the handler of CommandOwner::frame.
bool frameCommand(const CommandRequest& request);
// Runs a command through the memory guard and the dispatch table.
DispatchResult runCommand(const CommandRequest& request);
// Menu item and button states.
bool commandEnabled(unsigned command);
bool commandChecked(unsigned command);
void updateMenuStates(HMENU popup);
// The command's menu text without '&' and the accelerator part.
void commandName(unsigned command, char* out, int size);
void layoutFrame();
// The popup of the main menu with the menu-resource id `popupId`, and where
// it sits in its parent menu.
HMENU popupById(unsigned popupId, HMENU* parent = nullptr, int* position = nullptr);
void setFrameCaption(const char* suffix);
// The caption rebuilt from the product title and the active document
// (after start-up).
void refreshFrameCaption();
// The recent-file items of the File and Insert menus.
void rebuildRecentMenus();
// A file was opened or inserted: it goes to the front of its ring.
void noteRecentFile(bool inserted, const char* path);
// A batch command could not run: report it (standard error) and remember a
// non-zero exit code.
void reportBatchFailure(unsigned command, unsigned messageId);

// ---------------------------------------------------------------------------
// Bars (bars_win32.cpp)

bool createToolbar();
void destroyToolbarImages();
void toggleToolbox();
void createToolbox(const SettingsRect* rect);
bool createStatusBar();
void setStatusText(const char* text);
int statusText(char* out, int size);
// Timer 11: button states, the status-bar panes.
void refreshBars();
void showTextInputButtons(bool show);
// WM_NOTIFY of the bars: tool tips and customisation; true when handled.
bool barNotify(NMHDR* header, LRESULT* result);
int toolbarHeight();
// Diagnostics: every button with its rectangle and state.
void diagnosticsBars();
// The tool-tip string of a bar button's command (0 = no button).
unsigned barTipOf(unsigned command);
// A button of an add-in command at the end of the tool bar (after a
// separator): `bitmap` (16 x 16, magenta transparent; the bar keeps a copy)
// or, without one, image `imageNumber` of the tool bar's own bitmap. False
// when there is no such image.
bool addAddInButton(unsigned command, HBITMAP bitmap, int imageNumber, bool enabled);
// The add-in's buttons and their images leave the tool bar.
void removeAddInButtons();
int statusBarHeight();

// ---------------------------------------------------------------------------
// Context menus and hooks (context_menu_win32.cpp)

void loadContextMenus();
bool installHooks();
void removeHooks();
// The context-menu commands (CMD_CONTEXT_*): the popup at the position of
// the last right-button press (or at the cursor).
void showContextMenu(unsigned command);
// Posted to the frame by F1 in a menu: wParam = the highlighted item.
UINT helpOnMenuItemMessage();

// ---------------------------------------------------------------------------
// The DDE open service (dde_win32.cpp)

LRESULT ddeInitiate(HWND frame, WPARAM wParam, LPARAM lParam);
LRESULT ddeExecute(HWND frame, WPARAM wParam, LPARAM lParam);
LRESULT ddeTerminate(HWND frame, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// Help, About, System info (help_win32.cpp)

void resetHelpContext();
bool helpCommand(unsigned command);
// F1: help for a menu item (command) or for the current help context.
void helpForItem(unsigned command);
void helpForContext();
bool systemInfoAvailable();

// ---------------------------------------------------------------------------
// The host (host_win32.cpp)

void installWin32Host();
// The batch run writes what it would have shown to standard error.
void writeStandardError(const char* text);
// Shows (or, in a batch run, writes) the deferred messages and empties the
// list.
void flushStartupMessages();

// ---------------------------------------------------------------------------
// Diagram windows until the segment windows take over (child_win32.cpp)

LRESULT CALLBACK KivMDIChildWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK RBWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
struct OpenDiagram;
// Posted to the frame when its last diagram window went: a new untitled
// one is made.
constexpr UINT kMsgEnsureDiagramWindow = WM_APP + 1;
// Posted to the frame when messages an add-in request left are to be shown.
constexpr UINT kMsgShowDeferred = WM_APP + 2;
// A window for `diagram` (which is discarded when the window cannot be
// made); the window owns the diagram from then on.
HWND createDiagramWindow(OpenDiagram* diagram);
HWND createUntitledWindow();
OpenDiagram* diagramOfWindow(HWND window);
OpenDiagram* activeDiagram();
void refreshDiagramTitle(OpenDiagram* diagram);
HWND activeDiagramWindow();
// The window shows the empty untitled document.
bool isEmptyUntitledWindow(HWND window);
int diagramWindowCount();

// ---------------------------------------------------------------------------
// The add-in link (addin_win32.cpp)

// Option addin=<handle>: the link, when the window exists and its process
// runs.
void connectAddIn(std::uint64_t handle);
// Section [AddIn] of the settings: the menu title, the commands, the
// special-lines label; the Add-In menu is filled.
void loadAddInSettings();
// A notice to the linked add-in (nothing without a link).
void sendAddInNotice(std::uint32_t kind, std::uint32_t param1 = 0, std::uint32_t param3 = 0,
                     const char* payload = nullptr);
// WM_COPYDATA: a request of the add-in; FALSE for one that is refused.
LRESULT addInCopyData(HWND sender, const COPYDATASTRUCT* data);
// The route of CommandOwner::addIn: notice 5 for the command.
bool addInCommandRoute(const CommandRequest& request);
bool addInCommandEnabled(unsigned command);
// The status-line help of the Add-In menu and its commands (null: none).
const char* addInHelpText(unsigned command);
// Function key F<functionKey> with `modifiers` (Shift 1, Ctrl 2, Alt 4):
// notice 5 when it calls an add-in command; true then.
bool addInFunctionKey(unsigned functionKey, unsigned modifiers);
// The enabled add-in command of a click in a diagram window (button 1 left,
// 2 right, 3 middle; modifiers Shift 1, Ctrl 2, Alt 4), or 0.
unsigned addInMouseCommand(unsigned button, bool doubleClick, unsigned modifiers);
// After Generate and Generate as: notice 6 with the generated file.
void addInGenerated();
// Timer 11: link loss, notice 4.
void addInTimer();
// The editor was activated: the flashing stops, the messages an add-in
// request left are shown (posted), the attention flag is cleared.
void addInActivated();
// The name of the special lines' colour while an add-in is linked
// ([AddIn] SpecialLines), else null.
const char* addInSpecialLinesLabel();
void releaseAddIn();
// The close comes from the linked add-in's close request: the settings
// question is answered Yes without asking.
bool addInClosesEditor();

// ---------------------------------------------------------------------------
// Shell registration (shell_registration_win32.cpp)

// Writes the registry entries and the [Extensions] entry: without `force`
// only what is missing (a normal start), with it everything ("initialize").
// True when every entry was written; otherwise `failureText` (when given)
// says which entry failed and why.
bool registerFileTypes(bool force, std::string* failureText = nullptr);
// The "initialize" start: forced registration. Returns the exit code: 0,
// or non-zero with the reason on standard error.
int initializeMode();

// ---------------------------------------------------------------------------
// Diagnostics (diagnostics_win32.cpp): with the environment variable
// KORRIN_DIAGNOSTICS naming a file, the frame appends what it does to it -
// the commands it dispatches, the menu with its states, the context menus
// it builds. Used by the process-level tests; silent otherwise.

bool diagnosticsOn();
void diagnosticsLine(const char* format, ...);
void diagnosticsMenu(const char* reason);
// The registered message "KorrinDiagnostics" asks for a menu dump.
UINT diagnosticsMessage();

// ---------------------------------------------------------------------------
// The routes of the parts that carry the commands out (routes_win32.cpp)

void installCommandRoutes();
// The Execute programs and the result window (tools_frame_win32.cpp):
// their routes and settings hooks, once the frame exists and before the
// settings are read.
void connectTools();
// After the frame exists and the settings are read: the parts get the
// frame window and the file settings (backup names, network drives).
void connectPartsToFrame();
// Command CMD_OPTIONS_CONFIGURATION "Configuration file...": the file chosen through the host's
// file dialog, the menu captions applied with defaults. Ready for the
// configuration route; not installed yet.
bool configurationFileCommand(const CommandRequest& request);
