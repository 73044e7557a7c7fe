// The decisions of a tool run that do not need the system: which files
// the standard streams go to and which file the result window shows, the
// request korrin-re receives, when a watched run has ended, and what
// happens to the result file afterwards. tools/program_run_win32.cpp
// carries them out.
//
// Portable and pure.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/placeholders.h"
#include "tools/program_list.h"

// The fields of a program with their placeholders replaced.
struct ExpandedFields {
    std::string commandLine;
    std::string workingDirectory;
    std::string showFile;
    std::string stdIn, stdOut, stdErr;  // the targets
    std::string resultFile;
    std::string finishFile, finishEvent;
};

// Capacities of the expanded fields (with the terminating zero): a command
// line may grow to what a process start takes comfortably, paths to the
// path size.
constexpr std::size_t kExpandedCommandLineSize = 1024;
constexpr std::size_t kExpandedPathSize = kToolPathSize;

// The fields of a run in the order the prompt pass asks them: command
// line, working directory, file to show (with ShowFile), the stdin, stdout
// and stderr targets (when redirected), result file; then the finish file
// and event (with their conditions), which have no prompts of their own.
enum class ToolField {
    commandLine,
    workingDirectory,
    showFile,
    stdIn,
    stdOut,
    stdErr,
    resultFile,
    finishFile,
    finishEvent
};
constexpr int kToolFieldCount = 9;
struct FieldText {
    ToolField field;
    const char* text;
    std::size_t capacity;
};
// The fields of `entry` that a run uses, in that order.
std::vector<FieldText> runFields(const ProgramEntry& entry);
std::string* fieldOf(ExpandedFields& fields, ToolField field);

// Where the standard streams go. Empty names: the stream is not
// redirected (korrin-re passes its own).
struct RedirectionPlan {
    std::string stdIn, stdOut, stdErr;
    std::string pendingResult;      // the file the result window shows after the run
    bool pendingTemporary = false;  // a temporary file made for this run
    bool anyFile() const { return !stdIn.empty() || !stdOut.empty() || !stdErr.empty(); }
};

// Makes a new temporary file and names it; false when it cannot.
using TempFileMaker = bool (*)(std::string& path);

// The streams of a run: a stdout target other than "%TEMP%" is the stdout
// file (and the pending result when the result file reads "%STDOUT%");
// "%TEMP%" with the result file "%STDOUT%" is a new temporary file that is
// both, marked temporary; "%TEMP%" with any other result file is no file.
// Stderr alike with "%STDERR%"; stdin is its expanded target. Without a
// pending result yet, the expanded result file is it - unless it names a
// stream that has no file. False when a temporary file cannot be made.
bool planRedirection(const ProgramEntry& entry, const ExpandedFields& fields, TempFileMaker makeTemp,
                     RedirectionPlan& plan);

// The environment korrin-re reads, as name and value.
std::vector<std::pair<std::string, std::string>> redirectionRequest(const ProgramEntry& entry,
                                                                    const RedirectionPlan& plan,
                                                                    const std::string& commandLine,
                                                                    int language);

// What the poll sees of a watched run.
struct EndProbe {
    bool processGone = false;
    bool finishFileThere = false;
    bool eventSignalled = false;
    bool acknowledged = false;
};
// The run has ended as soon as one of its chosen conditions holds.
bool runEnded(unsigned conditions, const EndProbe& probe);

// The result window's file and how it is shown.
struct ResultState {
    std::string file;
    bool temporary = false;
    bool ansi = false;  // the file is in the ANSI character set (else OEM)
    // The view position kept while the window is closed: the first line
    // shown, the caret's line and its offset in that line.
    int firstLine = 0;
    int caretLine = 0;
    int caretOffset = 0;
};

// After a run: the pending file becomes the result file (its temporary
// mark and the program's character set with it); a closed window starts at
// the top next time. Returns the previous file when it was temporary and
// is to be deleted (else "").
std::string adoptResultFile(ResultState& state, const std::string& pending, bool temporary, bool ansi,
                            bool windowOpen);

enum class ResultWindowAction { none, reload, open };
// An open window reloads; a closed one opens when the program says so -
// with DontShowResultIfEmpty only when the file's first byte (-1: none)
// exists and is not Ctrl+Z.
ResultWindowAction resultWindowAction(const ProgramEntry& entry, bool windowOpen, int firstByte);

// Whether the poll of timer 1 is needed for this program.
inline bool watchesEnd(const ProgramEntry& entry) {
    return entry.terminationMessage || entry.showResultFile || entry.showFile;
}

// Whether `target` is the text `token` ("%TEMP%", "%STDOUT%") in any case.
bool isToken(const char* target, const char* token);
