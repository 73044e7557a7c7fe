// What the Win32 files of the tools share.
#pragma once

#include <windows.h>

#include <string>

#include "tools/program_list.h"
#include "tools/program_run.h"
#include "tools/tools_win32.h"

// A run being watched for its end.
struct WatchedRun {
    int program = -1;  // index in the list; -1 = none
    std::string name;
    HANDLE process = nullptr;
    DWORD processId = 0, threadId = 0;
    unsigned conditions = 0;
    std::string finishFile;
    HANDLE finishEvent = nullptr;
    bool acknowledged = false;
    // What follows the end.
    bool terminationMessage = false;
    bool showFile = false;
    std::string fileToShow;
    std::string pendingResult;
    bool pendingTemporary = false;
    ProgramEntry entry;  // a copy: the list may change while it runs
};

struct ToolsState {
    ToolsFrame frame;
    ProgramList list;
    ResultState result;
    WatchedRun run;
    int lastStarted = -1;
    PromptAnswers prompts;
};
extern ToolsState g_tools;

// Shown through the host (core/host.h) with the frame's title.
void toolsLog(const char* format, ...);

// The dialogs (program_dialogs_win32.cpp). True on OK.
bool runProgramListDialog(HWND owner, ProgramList& list);
// The prompt dialog 580: `title` the program's name.
bool runPromptDialog(HWND owner, const char* title, const PromptRequest& request, std::string& answer);

// The result window (result_window_win32.cpp): loads the result file again
// from the top.
void reloadResultWindow();
void openResultWindow();
