// The Execute programs and the result window on Win32: the program list
// dialogs, running a program (directly or through korrin-re) and watching
// its end with the frame's timer 1, and the result window (dialog 602)
// whose numbers lead back to the diagram.
//
// The tools get the frame and what they need of the diagrams through
// ToolsFrame; they never reach into the frame's records.
#pragma once

#include <windows.h>

#include <cstdint>

struct PlaceholderValues;

struct ToolsFrame {
    HINSTANCE instance = nullptr;
    HWND frame = nullptr;
    const char* settingsFile = nullptr;
    int language = 44;                       // 44 English, 49 German
    HWND* modelessDialog = nullptr;          // the frame's current modeless dialog
    std::uintptr_t* resultWindow = nullptr;  // the frame's slot of the result window (0 = closed)
    // The result window's rectangle: read (store false) when it opens,
    // stored when it closes.
    void (*resultRect)(RECT* rect, bool store) = nullptr;
    // The popup of the Execute submenu.
    HMENU (*executeMenu)() = nullptr;
    // The actions before a run: generate or export the active diagram, or
    // (`all`) every open diagram. True when done.
    bool (*generateFirst)(bool all) = nullptr;
    bool (*exportFirst)(bool all) = nullptr;
    // The values of the placeholders from the active diagram and settings.
    void (*placeholderValues)(PlaceholderValues& values) = nullptr;
    // Closes the active diagram; false when the user keeps it open.
    bool (*closeActiveDiagram)() = nullptr;
    // Opens a diagram after a run: the Open dialog for "".
    void (*openFile)(const char* path) = nullptr;
    // Goes to a line of the generated source in the active diagram.
    bool (*goToLine)(long line) = nullptr;
    // The status line and the help context while the result window is active.
    void (*setStatus)(const char* text) = nullptr;
    // The diagnostics log of the process-level tests.
    void (*log)(const char* format, ...) = nullptr;
};

void installTools(const ToolsFrame& frame);

// The settings: the program list, ResultFile and the Execute submenu.
void loadToolsSettings(const char* iniFile);
int saveToolsSettings(const char* iniFile);
// At exit: ResultFile is written; a temporary result file is deleted.
void toolsAtExit(const char* iniFile);

// Commands CMD_OPTIONS_PROGRAM_LINKING and CMD_TOOL_FIRST...: the program
// list dialog and the runs.
bool toolsCommand(unsigned command);
// Whether CMD_TOOL_FIRST + i names a program, and whether the Execute
// submenu has any.
bool toolAvailable(unsigned command);
bool executeMenuEnabled();
// The Execute submenu, made anew from the list.
void rebuildExecuteMenu();

// Timer 1 of the frame: the poll of a watched run.
void toolsTimerTick();
// "AppTermMsg" reached the frame: the acknowledgement of DDEAcknowledge
// (wParam 0, or the process id of the run).
void toolsAcknowledged(WPARAM processId);

// Command CMD_OPTIONS_RESULT_FILE: opens or closes the result window.
bool resultCommand(unsigned command);
// Whether the result window is open.
HWND resultWindow();
