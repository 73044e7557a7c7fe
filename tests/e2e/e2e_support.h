// Process-level test support: starts korrin.exe with a private settings
// file and diagnostics log (KORRIN_DIAGNOSTICS), waits for what it reports,
// finds its windows, sends it input and takes screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "resources/commands.h"

namespace e2e {

// The editor under test: the environment variable KORRIN_EXE (a Unix path
// is taken as drive Z:).
std::string korrinPath();
// A path of the test's environment as Windows sees it (Unix paths on Z:).
std::string windowsPath(std::string path);
// Where the test run keeps a screenshot named `name` (KORRIN_SCREENSHOTS).
std::string screenshotPath(const char* name);
// A visible dialog (class "#32770") of process `process`, waited for up
// to `timeoutMs`; null when there is none.
HWND findDialogOf(DWORD process, DWORD timeoutMs = 0);
// A fresh name in the temporary directory.
std::string tempPath(const char* stem, const char* extension);
// A file of the embedded defaults (KORRIN_EXAMPLES) as Windows sees it.
std::string examplePath(const std::string& name);
// A copy of that file under a fresh temporary name ("" when it fails).
std::string copyOfExample(const std::string& name, const char* stem);
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& text);

struct Editor {
    std::string program;  // the executable (default: korrinPath())
    PROCESS_INFORMATION process{};
    std::string diagnostics;  // the log the editor writes
    std::string settings;     // its settings file (-i=)
    std::string errors;       // its standard error
    HWND frame = nullptr;

    Editor();
    ~Editor();  // ends a process still running and removes the files
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Starts "korrin -i=<settings> <arguments>" with `settingsText` as the
    // settings file. With `waitReady` it waits for the end of start-up
    // and finds the frame.
    bool start(const std::string& arguments, const std::string& settingsText = std::string(),
               bool waitReady = true);
    // Waits for the end of start-up and finds the frame.
    bool ready(DWORD timeoutMs = 15000);
    // Starts "korrin <arguments>" as it is (no settings file), standard
    // error going to `errors`.
    bool launch(const std::string& arguments);
    // Starts the whole command line as it is (the program named in it).
    bool launchLine(const std::string& line);
    // The diagnostics log so far.
    std::string log() const { return readFile(diagnostics); }
    // Waits until the log holds `text` (after `from` characters).
    bool waitFor(const std::string& text, DWORD timeoutMs = 15000, std::size_t from = 0) const;
    // The menu as the editor last dumped it: asks for a fresh dump first.
    std::string menuDump();
    // The exit code, or -1 when the process does not end in time.
    int waitExit(DWORD timeoutMs = 15000);
    bool running() const;
    // A visible dialog (message box, common dialog) of the process.
    HWND findDialog(DWORD timeoutMs = 5000) const;
    HWND findWindowOfClass(const char* className, DWORD timeoutMs = 5000) const;
    void post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void command(unsigned id) const { post(WM_COMMAND, id, 0); }
    // The rectangle (client coordinates of its bar) of a button as the
    // diagnostics report it; false when not found.
    bool buttonRect(const char* bar, unsigned command, RECT* rect, bool* enabled = nullptr);
};

// A line of the diagnostics log: `head`, the numbers, then `tail` when
// given, separated by blanks (logLine("command", {CMD_FILE_OPEN}, "done")
// is the line of an Open that was carried out).
std::string logLine(const char* head, std::initializer_list<unsigned> numbers, const char* tail = nullptr);
// How long a test waits for a question that need not come.
constexpr DWORD kMaybeQuestionMs = 3 * 1000;

// The texts of a dialog's controls, joined by '|'.
std::string dialogText(HWND dialog);
// Makes `window` the foreground window and types the keys (virtual-key
// codes; modifiers pressed first, released last).
bool sendKeys(HWND window, const std::vector<WORD>& modifiers, WORD key);
// A right-button / left-button click at a screen point.
bool rightClick(POINT at);
bool leftClick(POINT at);
// Under Wine without a window manager: let Wine draw the editor's captions
// itself (a per-program setting of the Wine prefix; nothing on Windows).
void drawOwnCaptions();
// The screen contents of a rectangle: its pixels (32-bit BGRA, rows top
// down) and the colour at a point of it (CLR_INVALID outside).
struct Screenshot {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra;
    COLORREF at(int x, int y) const;
    bool savePng(const std::string& path) const;
};
bool captureScreen(const RECT& rect, Screenshot& out);
// The screen contents of `rect` as a PNG file.
bool saveScreenPng(const RECT& rect, const std::string& path);

}  // namespace e2e
