// The editor's settings file: where it is, the frame's keys with their
// defaults and rules, the "Save settings" command and the question at exit.
//
// Every value is read and written through the profile access of
// config/profile.h by string-table ids; all keys lie in section "Settings"
// unless another section is named. Keys that belong to one feature (fonts,
// printing options, search lists, programs, add-ins) are read and written by
// that feature; the program list and the add-in configuration are reached
// through SettingsHooks.
//
// What the frame calls, in order:
//   start-up         initFrameSettings (once, before the command line is
//                    parsed), settingsFileName, loadSettings, loadRecentFiles,
//                    loadWindowPlacement
//   end of start-up  g_settingsSnapshot = g_frameSettings.window
//   command CMD_OPTIONS_SAVE_SETTINGS     saveSettingsCommand
//   WM_CLOSE         askSaveSettingsAtExit (false = the close is cancelled)
//   WM_DESTROY       saveWindowPlacement, saveRecentFiles
//
// Portable: no window-system calls. The Win32 dialogs are in
// app/settings_dialog_win32.h; they reach this code through
// SettingsHooks::chooseSaveSettings.
#pragma once

#include <cstdint>

#include "config/profile.h"
#include "core/file_descriptor.h"
#include "platform/platform.h"

struct LanguageConfig;
struct MenuCaptionTarget;

constexpr int kSettingsPathSize = static_cast<int>(platform::kMaxPath);
constexpr int kDefaultExtSize = 16;
constexpr int kLevellistTextSize = 80;
constexpr int kRecentMax = 9;  // entries of a recent-file list
constexpr int kRecentDefaultLength = 4;
constexpr std::uint32_t kMaxDevModeSize = 16384;  // bytes of a stored printer device mode

// String 22: the native extension, ".vrd".
constexpr unsigned kNativeExtensionId = 22;

// ---------------------------------------------------------------------------
// Records

struct SettingsRect {
    std::int32_t left, top, right, bottom;
};

// The tool windows, in the order of their keys.
enum class ToolWindow : int { Overview = 0, Levellist = 1, Printgrid = 2, Result = 3, ToolBox = 4 };
constexpr int kToolWindowCount = 5;

// The frame-level switches compared at exit. Window handles are opaque here.
struct WindowSettings {
    bool changed;  // set by the dialogs that change settings; cleared by a save
    bool repeat;   // Options > Repeat
    std::uintptr_t toolWindows[kToolWindowCount];  // by ToolWindow; 0 = closed
    bool toolBar;
    bool statusPages;  // page numbers in the status bar
    bool statusBar;
    char defaultExt[kDefaultExtSize];  // ".vrd"
    int levellistType;                 // last selected structure-list type
    char levellistText[2][kLevellistTextSize];
    bool fileInSepWnd;  // New window on Open
    bool segInSepWnd;   // New window on View
    char projectName[kSettingsPathSize];
    char projectPath[kSettingsPathSize];
    bool keepBrowserListOpen;
};

// A directory and a file mask, stored in one key as directory\mask.
struct DirectoryMask {
    char directory[kSettingsPathSize];  // absolute; no trailing separator except at a root
    char mask[kSettingsPathSize];       // "*.vrd"
};

enum class PathPair : int { Open = 0, Insert = 1, Generate = 2, Export = 3, Current = 4 };
constexpr int kPathPairCount = 5;

// A tool window as the settings file keeps it: open at exit, and where.
struct ToolWindowPlace {
    bool open;
    SettingsRect rect;
};

// The printer chosen in printer setup: the "device" value split up and the
// stored device mode (only for the printer of that name).
struct PrinterChoice {
    char name[kSettingsPathSize];
    char driver[kSettingsPathSize];
    char port[kSettingsPathSize];
    unsigned char* devMode;  // owned (new[]); null = none
    std::uint32_t devModeSize;
};

struct NetworkDrives {
    char lockDrives[kDriveListSize];
    char unlockDrives[kDriveListSize];
};

// Everything the frame's key table holds.
struct FrameSettings {
    WindowSettings window;
    char configurationFile[kSettingsPathSize];
    DirectoryMask pairs[kPathPairCount];  // by PathPair
    int fileType;                         // filter index of the insert dialog (0 = none)
    int openType;                         // 1 generate pair, 3 export pair, else open pair
    ToolWindowPlace places[kToolWindowCount];
    char externalEditor[kSettingsPathSize];
    char sourceFileEditor[kSettingsPathSize];
    char errFileEditor[kSettingsPathSize];
    int defaultEditor;  // 0 direct editing, 1 edit window, 2 external editor
    int etfFileFormat;  // transfer files: 1 = OEM, 0 = ANSI
    SettingsRect multiLineEdit;
    SettingsRect singleLineEdit;
    bool editUppercase;
    bool retainReplaceCheckbox;  // the search dialog's "&Replace with" starts as it was left
    bool maximized;              // WindowStyle
    bool hasWindowCoordinates;
    SettingsRect windowCoordinates;
    bool ctl3d;
    bool flatToolbar;
    bool flatToolbox;
    PrinterChoice printer;
    NetworkDrives network;
    // Automatic labels: every document's reader applies them to the
    // constructs it pastes and inserts.
    bool autoLeftLabels;
    bool autoRightLabels;
    char leftLabelText[kProfileNameSize];
    char rightLabelText[kProfileNameSize];
    // StructureListDepth: how many levels deep the structure list's tree
    // goes (0 = all).
    int structureListDepth;
};

// A recent-file list: entries[0] is position 1 of the file.
struct RecentList {
    int length;  // how many entries the list keeps (0 = no list)
    int count;   // entries present
    char entries[kRecentMax][kSettingsPathSize];
};

struct RecentFiles {
    RecentList open;    // OpenFile, OpenFileListLength
    RecentList insert;  // InsertFile, InsertFileListLength
    RecentList help;    // section HelpFileList: "menu text,help file"
};

// ---------------------------------------------------------------------------
// "Save settings": the groups of dialog 559 (check box ids 51-58).

enum SaveGroup : unsigned {
    kSaveGeneral = 0x01,      // 51
    kSaveOpenDir = 0x02,      // 52
    kSaveInsertDir = 0x04,    // 53
    kSaveGenerateDir = 0x08,  // 54
    kSaveEditWindows = 0x10,  // 56
    kSaveExportDir = 0x20,    // 57
    kSaveOpenType = 0x40,     // 58
    kSaveAllGroups = 0x7F,
};

// The check box of each group, in the order of SaveGroup bits.
constexpr unsigned kSaveGroupBoxes[7] = {51, 52, 53, 54, 56, 57, 58};

struct SaveSettingsRequest {
    unsigned groups;  // SaveGroup bits
    char openDir[kSettingsPathSize];
    char insertDir[kSettingsPathSize];
    char generateDir[kSettingsPathSize];
    char exportDir[kSettingsPathSize];
};

// What other parts of the editor plug in. Every member may be null.
struct SettingsHooks {
    // The program list: read after the key table; written with the general
    // group (non-zero = written).
    void (*loadProgramList)(const char* iniFile);
    int (*saveProgramList)(const char* iniFile);
    // The add-in configuration: read last.
    void (*loadAddInConfig)(const char* iniFile);
    // The transfer options of the outside file-transfer library, written
    // with the general group (non-zero = written).
    int (*saveTransferOptions)(const char* iniFile);
    // The rectangle of an open tool window; false keeps the stored one.
    bool (*toolWindowRect)(std::uintptr_t window, SettingsRect* rect);
    // Dialog 559: shows `request` (groups and directories) and lets the
    // user change it; false when cancelled. `context` is chooseContext.
    bool (*chooseSaveSettings)(SaveSettingsRequest& request, void* context);
    void* chooseContext;
};

// ---------------------------------------------------------------------------
// Process-wide records

extern FrameSettings g_frameSettings;
extern WindowSettings g_settingsSnapshot;  // taken at the end of start-up
extern char g_settingsFile[kSettingsPathSize];
extern SettingsHooks g_settingsHooks;

// ---------------------------------------------------------------------------
// Location

// The default settings file: the base name of `modulePath` with extension
// "INI" and no directory (the profile layer then places it in the Windows
// directory). False when there is no base name.
bool defaultSettingsFileName(const char* modulePath, char out[kSettingsPathSize]);
// The settings file in force: the value of inifile= made absolute when
// given (non-empty), else the default.
bool settingsFileName(const char* modulePath, const char* inifileOption, char out[kSettingsPathSize]);

// ---------------------------------------------------------------------------
// Loading

// Every field at its default; texts and handles empty, the default
// extension from string 22. For a fresh record: free a used one first.
void initFrameSettings(FrameSettings& settings);
void freeFrameSettings(FrameSettings& settings);

struct SettingsLoadOptions {
    bool projectGiven;       // project= on the command line: Project is not read
    bool projectPathGiven;   // projectpath=: ProjectPath is not read
    LanguageConfig* config;  // loaded from ConfigurationFile at once (null: not loaded)
    MenuCaptionTarget* menu;
};

// Reads the key table in its order, then the program list and the add-in
// configuration through `hooks`. Every key absent or malformed takes its
// default. Runtime fields (tool-window handles, changed, structure-list
// texts) are left alone.
void loadSettings(FrameSettings& settings, const char* iniFile, const SettingsLoadOptions& options,
                  const SettingsHooks& hooks);

// One directory-and-mask value: directory = drive + directory of `value`
// made absolute, without a trailing separator unless it is a root; mask =
// the name (default "*") and extension (default `defaultExt`). An empty
// value, or one without a directory, takes `fallbackDir`.
void parseDirectoryMask(const char* value, const char* fallbackDir, const char* defaultExt,
                        DirectoryMask& out);
// The stored form: directory, a separator when needed, mask.
void joinDirectoryMask(const DirectoryMask& pair, char* out, int size);
// A directory as parseDirectoryMask leaves it; an empty text gives
// `fallbackDir`.
void normalizeDirectory(const char* text, const char* fallbackDir, char out[kSettingsPathSize]);
// The current directory, absolute.
bool currentDirectory(char out[kSettingsPathSize]);

// The tool window's default rectangle.
SettingsRect defaultToolWindowRect(ToolWindow window);
// "yes,l,t,r,b" / "no": open when the value starts with yes, true or 1 (any
// case); the rectangle follows the first comma; anything short of four
// numbers, or a closed window, gives `fallback`.
ToolWindowPlace parseToolWindowPlace(const char* value, const SettingsRect& fallback);
// Four integers separated by commas (WindowCoordinates also allows blanks).
// False, and `out` untouched, unless four numbers are there.
bool parseRect(const char* value, bool blanksSeparate, SettingsRect& out);
// Moves `rect` (keeping its size where it fits) so that it lies on `screen`.
void keepRectOnScreen(SettingsRect& rect, const SettingsRect& screen);

void loadNetworkDrives(NetworkDrives& drives, const char* iniFile);
void loadRecentFiles(RecentFiles& recent, const char* iniFile);
// WindowStyle and WindowCoordinates.
void loadWindowPlacement(FrameSettings& settings, const char* iniFile);

// "device" (default: the system profile's [windows] device) and "DevMode"
// ("name,digits,HEX"; kept only for the printer of that name and when its
// size fields agree with its length; the copies and print-quality fields
// are cleared).
void loadPrinterChoice(PrinterChoice& printer, const char* iniFile);
void freePrinterChoice(PrinterChoice& printer);
// Replaces the stored device mode by a copy of `bytes` (null/0: none).
bool setPrinterDevMode(PrinterChoice& printer, const unsigned char* bytes, std::uint32_t size);

// ---------------------------------------------------------------------------
// Saving

// All seven groups and the current directories of the four pairs.
void initSaveSettingsRequest(const FrameSettings& settings, SaveSettingsRequest& request);

// Takes the request's directories into the pairs of its groups and writes
// the keys of every group in `request.groups`. Returns 1 when every write
// succeeded, 0 when any failed (the writes go on).
int writeSettings(FrameSettings& settings, const SaveSettingsRequest& request, const char* iniFile,
                  const SettingsHooks& hooks);

// Command CMD_OPTIONS_SAVE_SETTINGS: dialog 559 through hooks.chooseSaveSettings, the writes,
// the changed flag cleared and `snapshot` replaced; a failed write shows
// 20048 with the file name once. Returns 1 when saved, 0 when cancelled.
int saveSettingsCommand(FrameSettings& settings, WindowSettings& snapshot, const char* iniFile,
                        const SettingsHooks& hooks);

// Whether the switches differ from the snapshot: a tool window open in both
// counts as unchanged whatever its handle; bytes behind the end of a text
// do not count.
bool settingsChangedSinceStart(const WindowSettings& snapshot, const WindowSettings& current);

// WM_CLOSE: when the switches changed, asks 20233 "Save settings?" (Yes /
// No / Cancel); Yes runs the Save settings command. `addInRemoteClose`
// (an add-in is connected and the close comes from another thread) takes
// Yes without asking. Returns false when the close is cancelled.
bool askSaveSettingsAtExit(FrameSettings& settings, WindowSettings& snapshot, const char* iniFile,
                           const SettingsHooks& hooks, bool addInRemoteClose);

// The frame's exit writing: WindowStyle always, WindowCoordinates
// ("%d,%d,%d,%d") only when not maximised. Returns 1 when written.
int saveWindowPlacement(const char* iniFile, bool maximized, const SettingsRect& rect);
// Length keys and entries 1..count of the open and insert lists, entries of
// the help list; positions beyond the count are removed. 1 when written.
int saveRecentFiles(const RecentFiles& recent, const char* iniFile);
// "device" and "DevMode" (removed when there is no device mode).
int savePrinterChoice(const PrinterChoice& printer, const char* iniFile);
