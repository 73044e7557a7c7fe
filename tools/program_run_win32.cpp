// Running a program of the Execute menu: the actions before it, the
// prompts, the placeholders, the redirection through korrin-re, the start
// (suspended while the active diagram is closed, when the program asks for
// that) and the poll of timer 1 until one of its end conditions holds.
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "config/profile.h"
#include "core/host.h"
#include "platform/platform.h"
#include "redirect/redirect_protocol.h"
#include "resources/commands.h"
#include "resources/strings.h"
#include "tools/tools_internal_win32.h"

ToolsState g_tools;

namespace {

constexpr UINT_PTR kTimerProgramRun = 1;
constexpr UINT kPollInterval = 500;

bool makeTempFile(std::string& path) {
    char name[MAX_PATH];
    if (!platform::tempFileName("vrd", name)) return false;
    path = name;
    return true;
}

bool shortNameOf(const std::string& path, std::string& out) {
    char buffer[MAX_PATH];
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    if (!n || n >= sizeof buffer) return false;
    out = buffer;
    return true;
}

std::string absolute(const std::string& path) {
    char full[platform::kMaxPath];
    return !path.empty() && platform::fullPath(path.c_str(), full) ? std::string(full) : path;
}

bool askPrompt(void* context, const PromptRequest& request, std::string& answer) {
    const auto* entry = static_cast<const ProgramEntry*>(context);
    return runPromptDialog(g_tools.frame.frame, entry->name, request, answer);
}

const char* fieldName(ToolField field) {
    static const char* const kNames[kToolFieldCount] = {
        "CommandLine",       "WorkingDirectory", "ShowFileName",   "StdInRedirTarget", "StdOutRedirTarget",
        "StdErrRedirTarget", "ResultFile",       "ProgFinishFile", "ProgFinishEvent"};
    return kNames[static_cast<int>(field)];
}

// The prompts of every field first, then their expansion. False (after
// the message) when the run cannot go on.
bool expandFields(const ProgramEntry& entry, ExpandedFields& out) {
    g_tools.prompts = PromptAnswers{};
    const std::vector<FieldText> fields = runFields(entry);
    std::vector<FieldPrompts> prompts(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string bad;
        const PromptResult result = askPrompts(fields[i].text, askPrompt, const_cast<ProgramEntry*>(&entry),
                                               g_tools.prompts, prompts[i], bad);
        if (result == PromptResult::invalid) showMessage(IDS_INVALID_PROMPT, kBoxDefault, bad.c_str());
        if (result != PromptResult::ok) return false;
    }
    PlaceholderValues values;
    if (g_tools.frame.placeholderValues) g_tools.frame.placeholderValues(values);
    values.prompts = &g_tools.prompts;
    values.shortName = shortNameOf;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool shortNames = fields[i].field == ToolField::commandLine && !entry.useLongFileNames;
        std::string* target = fieldOf(out, fields[i].field);
        if (expandPlaceholders(fields[i].text, values, &prompts[i], shortNames, fields[i].capacity,
                               *target) != ExpandResult::ok) {
            showMessage(IDS_TOOL_FIELD_TOO_LONG, kBoxDefault, entry.name, fieldName(fields[i].field),
                        static_cast<unsigned>(fields[i].capacity - 1), target->c_str());
            return false;
        }
    }
    if (out.workingDirectory.empty()) out.workingDirectory = values.sourcePath;
    return true;
}

// Each redirection file must open (stdin) or be creatable (stdout, stderr).
bool checkFiles(const RedirectionPlan& plan) {
    const struct {
        const std::string& name;
        bool input;
    } files[] = {{plan.stdIn, true}, {plan.stdOut, false}, {plan.stdErr, false}};
    for (const auto& f : files) {
        if (f.name.empty()) continue;
        HANDLE h = CreateFileA(f.name.c_str(), f.input ? GENERIC_READ : GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               f.input ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            showMessage(f.input ? IDS_UNABLE_TO_OPEN : IDS_UNABLE_TO_CREATE_FILE, kBoxDefault,
                        f.name.c_str());
            return false;
        }
        CloseHandle(h);
    }
    return true;
}

void clearRequest() {
    for (const char* name : redirect::kVariables) SetEnvironmentVariableA(name, nullptr);
}

void closeRunHandles(WatchedRun& run) {
    if (run.process) CloseHandle(run.process);
    if (run.finishEvent) CloseHandle(run.finishEvent);
    run.process = run.finishEvent = nullptr;
}

// The end of a watched run: its messages, the file to show, the result.
void finishRun() {
    WatchedRun run = std::move(g_tools.run);
    g_tools.run = WatchedRun{};
    closeRunHandles(run);
    KillTimer(g_tools.frame.frame, kTimerProgramRun);
    toolsLog("tool end %s", run.name.c_str());
    if (run.terminationMessage)
        showMessage(IDS_PROGRAM_TERMINATED, kIconAsterisk | kBoxTaskModal, run.name.c_str());
    if (run.showFile && g_tools.frame.openFile) g_tools.frame.openFile(run.fileToShow.c_str());
    if (run.pendingResult.empty()) return;
    const bool open = resultWindow() != nullptr;
    const std::string obsolete = adoptResultFile(g_tools.result, run.pendingResult, run.pendingTemporary,
                                                 run.entry.resultIsAnsi, open);
    if (!obsolete.empty()) DeleteFileA(obsolete.c_str());
    int firstByte = -1;
    if (HANDLE f = CreateFileA(g_tools.result.file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        f != INVALID_HANDLE_VALUE) {
        unsigned char byte = 0;
        DWORD n = 0;
        if (ReadFile(f, &byte, 1, &n, nullptr) && n == 1) firstByte = byte;
        CloseHandle(f);
    }
    switch (resultWindowAction(run.entry, open, firstByte)) {
        case ResultWindowAction::reload:
            reloadResultWindow();
            break;
        case ResultWindowAction::open:
            openResultWindow();
            break;
        case ResultWindowAction::none:
            break;
    }
}

// The current directory for the length of a start.
class DirectoryScope {
public:
    DirectoryScope() { GetCurrentDirectoryA(sizeof saved_, saved_); }
    ~DirectoryScope() { SetCurrentDirectoryA(saved_); }
    DirectoryScope(const DirectoryScope&) = delete;
    DirectoryScope& operator=(const DirectoryScope&) = delete;

private:
    char saved_[MAX_PATH] = {};
};

bool startProgram(int index) {
    const ProgramEntry entry = g_tools.list.entries[static_cast<std::size_t>(index)];
    const ToolsFrame& frame = g_tools.frame;
    // The actions before the run; each stops it when it fails.
    if (entry.saveAllFiles ? !(frame.generateFirst && frame.generateFirst(true))
                           : entry.saveFile && !(frame.generateFirst && frame.generateFirst(false)))
        return false;
    if (entry.exportAllFiles ? !(frame.exportFirst && frame.exportFirst(true))
                             : entry.exportFile && !(frame.exportFirst && frame.exportFirst(false)))
        return false;

    ExpandedFields fields;
    if (!expandFields(entry, fields)) return false;
    const bool redirecting = entry.stdInRedirection || entry.stdOutRedirection || entry.stdErrRedirection;
    RedirectionPlan plan;
    if (redirecting) {
        // The previous temporary result file goes.
        if (g_tools.result.temporary && !g_tools.result.file.empty()) {
            DeleteFileA(g_tools.result.file.c_str());
            g_tools.result.temporary = false;
        }
        if (!planRedirection(entry, fields, makeTempFile, plan)) {
            showMessage(IDS_UNABLE_TO_CREATE_FILE, kBoxDefault, "%TEMP%");
            return false;
        }
    } else {
        plan.pendingResult = fields.resultFile;
    }

    DirectoryScope directory;
    if (!fields.workingDirectory.empty() && !SetCurrentDirectoryA(fields.workingDirectory.c_str())) {
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, fields.workingDirectory.c_str());
        if (plan.pendingTemporary) DeleteFileA(plan.pendingResult.c_str());
        return false;
    }
    const std::string fileToShow = absolute(fields.showFile);
    plan.pendingResult = absolute(plan.pendingResult);

    WatchedRun run;
    run.conditions = entry.endConditions;
    if (entry.endConditions & kEndFileExists) {
        run.finishFile = absolute(fields.finishFile);
        DeleteFileA(run.finishFile.c_str());
    }
    if (entry.endConditions & kEndEventSet) {
        run.finishEvent = CreateEventA(nullptr, TRUE, FALSE, fields.finishEvent.c_str());
        if (run.finishEvent) ResetEvent(run.finishEvent);
    }
    // A start that does not happen leaves no temporary file behind.
    auto abandon = [&] {
        closeRunHandles(run);
        if (plan.pendingTemporary) DeleteFileA(plan.pendingResult.c_str());
        return false;
    };
    if (!checkFiles(plan)) return abandon();

    const bool throughRedirector = plan.anyFile();
    if (throughRedirector) {
        bool set = true;
        for (const auto& [name, value] : redirectionRequest(entry, plan, fields.commandLine, frame.language))
            set = SetEnvironmentVariableA(name.c_str(), value.c_str()) && set;
        if (!set) {
            clearRequest();
            showMessage(IDS_REDIRECTION_ENVIRONMENT, kBoxDefault);
            return abandon();
        }
    }
    const std::string started = throughRedirector ? std::string(redirect::kProgram) : fields.commandLine;
    std::vector<char> line(started.begin(), started.end());
    line.push_back(0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(entry.runMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
    PROCESS_INFORMATION process{};
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                   CREATE_DEFAULT_ERROR_MODE | (entry.closeFile ? CREATE_SUSPENDED : 0),
                                   nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    SetErrorMode(oldMode);
    // The request is for this start only.
    clearRequest();
    if (!ok) {
        char reason[512] = {};
        platform::systemErrorText(error, reason, sizeof reason);
        const std::string shown = throughRedirector ? started + " " + fields.commandLine : started;
        toolsLog("tool failed %s", entry.name);
        showMessage(IDS_UNABLE_TO_EXECUTE_PROGRAM, kBoxDefault, shown.c_str(), reason);
        return abandon();
    }
    run.process = process.hProcess;
    run.processId = process.dwProcessId;
    run.threadId = process.dwThreadId;
    if (entry.closeFile) {
        // The program waits until the diagram is closed; it never runs on
        // a diagram that stays open.
        if (!frame.closeActiveDiagram || !frame.closeActiveDiagram()) {
            if (process.hProcess) TerminateProcess(process.hProcess, 1);
            if (process.hThread) CloseHandle(process.hThread);
            toolsLog("tool cancelled %s", entry.name);
            return abandon();
        }
        if (process.hThread) ResumeThread(process.hThread);
    }
    if (process.hThread) CloseHandle(process.hThread);
    g_tools.lastStarted = index;
    toolsLog("tool start %d %s %s", index, entry.name, throughRedirector ? "redirected" : "direct");
    if (!watchesEnd(entry)) {
        closeRunHandles(run);
        return true;
    }
    run.program = index;
    run.name = entry.name;
    run.terminationMessage = entry.terminationMessage;
    run.showFile = entry.showFile;
    run.fileToShow = fileToShow;
    run.pendingResult = plan.pendingResult;
    run.pendingTemporary = plan.pendingTemporary;
    run.entry = entry;
    g_tools.run = std::move(run);
    SetTimer(frame.frame, kTimerProgramRun, kPollInterval, nullptr);
    return true;
}

}  // namespace

void toolsLog(const char* format, ...) {
    if (!g_tools.frame.log) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    g_tools.frame.log("%s", text);
}

void installTools(const ToolsFrame& frame) {
    g_tools.frame = frame;
}

void loadToolsSettings(const char* iniFile) {
    loadProgramList(g_tools.list, iniFile);
    char file[MAX_PATH] = {};
    readProfileText(IDS_SEC_SETTINGS, IDS_KEY_RESULTFILE, "", file, sizeof file, iniFile);
    g_tools.result.file = absolute(file);
    rebuildExecuteMenu();
}

int saveToolsSettings(const char* iniFile) {
    return saveProgramList(g_tools.list, iniFile);
}

void toolsAtExit(const char* iniFile) {
    // The frame writes the current result file as it is destroyed.
    writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_RESULTFILE, g_tools.result.file.c_str(), iniFile);
    if (g_tools.run.program >= 0) {
        KillTimer(g_tools.frame.frame, kTimerProgramRun);
        closeRunHandles(g_tools.run);
        g_tools.run = WatchedRun{};
    }
}

void rebuildExecuteMenu() {
    HMENU menu = g_tools.frame.executeMenu ? g_tools.frame.executeMenu() : nullptr;
    if (!menu) return;
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
    const int count = static_cast<int>(g_tools.list.entries.size());
    for (int i = 0; i < count; ++i)
        AppendMenuA(menu, MF_STRING, CMD_TOOL_FIRST + static_cast<unsigned>(i),
                    executeMenuText(g_tools.list.entries[static_cast<std::size_t>(i)], i).c_str());
    if (count == 0) {
        char text[64] = "Compiler";
        platform::loadString(IDS_TOOL_COMPILER, text, sizeof text);
        AppendMenuA(menu, MF_STRING | MF_GRAYED, CMD_TOOL_FIRST, text);
    }
    if (g_tools.frame.frame) DrawMenuBar(g_tools.frame.frame);
}

bool toolAvailable(unsigned command) {
    return command >= CMD_TOOL_FIRST && command - CMD_TOOL_FIRST < g_tools.list.entries.size();
}

bool executeMenuEnabled() {
    return !g_tools.list.entries.empty();
}

bool toolsCommand(unsigned command) {
    if (command == CMD_OPTIONS_PROGRAM_LINKING) {
        ProgramList copy = g_tools.list;
        if (!runProgramListDialog(g_tools.frame.frame, copy)) return false;
        g_tools.list = std::move(copy);
        rebuildExecuteMenu();
        return true;
    }
    if (!toolAvailable(command)) return false;
    if (g_tools.run.program >= 0) {
        // Only one run is watched; one whose end never comes can be let go.
        if (askQuestion(IDS_TOOL_STILL_WATCHED, kBoxYesNo | kIconQuestion, kAnswerNo,
                        g_tools.run.name.c_str()) == kAnswerYes) {
            KillTimer(g_tools.frame.frame, kTimerProgramRun);
            closeRunHandles(g_tools.run);
            g_tools.run = WatchedRun{};
        }
        return false;
    }
    return startProgram(static_cast<int>(command - CMD_TOOL_FIRST));
}

void toolsTimerTick() {
    WatchedRun& run = g_tools.run;
    if (run.program < 0) {
        KillTimer(g_tools.frame.frame, kTimerProgramRun);
        return;
    }
    EndProbe probe;
    probe.processGone = !run.process || WaitForSingleObject(run.process, 0) == WAIT_OBJECT_0;
    probe.finishFileThere =
        !run.finishFile.empty() && GetFileAttributesA(run.finishFile.c_str()) != INVALID_FILE_ATTRIBUTES;
    probe.eventSignalled = run.finishEvent && WaitForSingleObject(run.finishEvent, 0) == WAIT_OBJECT_0;
    probe.acknowledged = run.acknowledged;
    if (runEnded(run.conditions, probe)) finishRun();
}

void toolsAcknowledged(WPARAM processId) {
    if (g_tools.run.program >= 0 && (processId == 0 || processId == g_tools.run.processId))
        g_tools.run.acknowledged = true;
}
