#include "tools/program_run.h"

#include "config/profile.h"
#include "redirect/redirect_protocol.h"

namespace {

constexpr char kTempToken[] = "%TEMP%";

// One stream's file: `resultToken` names the stream in the result file.
bool planStream(bool redirected, const char* target, const std::string& expanded, const char* resultFile,
                const char* resultToken, TempFileMaker makeTemp, std::string& file, RedirectionPlan& plan) {
    if (!redirected || !target[0]) return true;
    const bool isResult = isToken(resultFile, resultToken);
    if (!isToken(target, kTempToken)) {
        file = expanded;
        if (isResult && plan.pendingResult.empty()) plan.pendingResult = file;
        return true;
    }
    if (!isResult) return true;  // a temporary file nobody reads: not redirected
    if (!makeTemp || !makeTemp(file)) return false;
    plan.pendingResult = file;
    plan.pendingTemporary = true;
    return true;
}

}  // namespace

bool isToken(const char* target, const char* token) {
    return target && equalNoCase(target, token);
}

std::vector<FieldText> runFields(const ProgramEntry& e) {
    std::vector<FieldText> fields;
    fields.push_back({ToolField::commandLine, e.commandLine, kExpandedCommandLineSize});
    fields.push_back({ToolField::workingDirectory, e.workingDirectory, kExpandedPathSize});
    if (e.showFile) fields.push_back({ToolField::showFile, e.showFileName, kExpandedPathSize});
    if (e.stdInRedirection) fields.push_back({ToolField::stdIn, e.stdInTarget, kExpandedPathSize});
    if (e.stdOutRedirection && !isToken(e.stdOutTarget, kTempToken))
        fields.push_back({ToolField::stdOut, e.stdOutTarget, kExpandedPathSize});
    if (e.stdErrRedirection && !isToken(e.stdErrTarget, kTempToken))
        fields.push_back({ToolField::stdErr, e.stdErrTarget, kExpandedPathSize});
    if (!isToken(e.resultFile, "%STDOUT%") && !isToken(e.resultFile, "%STDERR%"))
        fields.push_back({ToolField::resultFile, e.resultFile, kExpandedPathSize});
    if (e.endConditions & kEndFileExists)
        fields.push_back({ToolField::finishFile, e.progFinishFile, kExpandedPathSize});
    if (e.endConditions & kEndEventSet)
        fields.push_back({ToolField::finishEvent, e.progFinishEvent, kExpandedPathSize});
    return fields;
}

std::string* fieldOf(ExpandedFields& f, ToolField field) {
    switch (field) {
        case ToolField::commandLine:
            return &f.commandLine;
        case ToolField::workingDirectory:
            return &f.workingDirectory;
        case ToolField::showFile:
            return &f.showFile;
        case ToolField::stdIn:
            return &f.stdIn;
        case ToolField::stdOut:
            return &f.stdOut;
        case ToolField::stdErr:
            return &f.stdErr;
        case ToolField::resultFile:
            return &f.resultFile;
        case ToolField::finishFile:
            return &f.finishFile;
        case ToolField::finishEvent:
            return &f.finishEvent;
    }
    return &f.commandLine;
}

bool planRedirection(const ProgramEntry& e, const ExpandedFields& fields, TempFileMaker makeTemp,
                     RedirectionPlan& plan) {
    plan = RedirectionPlan{};
    if (!planStream(e.stdOutRedirection, e.stdOutTarget, fields.stdOut, e.resultFile, "%STDOUT%", makeTemp,
                    plan.stdOut, plan))
        return false;
    if (!planStream(e.stdErrRedirection, e.stdErrTarget, fields.stdErr, e.resultFile, "%STDERR%", makeTemp,
                    plan.stdErr, plan))
        return false;
    if (e.stdInRedirection) plan.stdIn = fields.stdIn;
    if (plan.pendingResult.empty() && !isToken(e.resultFile, "%STDOUT%") &&
        !isToken(e.resultFile, "%STDERR%"))
        plan.pendingResult = fields.resultFile;
    return true;
}

std::vector<std::pair<std::string, std::string>> redirectionRequest(const ProgramEntry& e,
                                                                    const RedirectionPlan& plan,
                                                                    const std::string& commandLine,
                                                                    int language) {
    return {{redirect::kProgName, e.name},
            {redirect::kCmdLine, commandLine},
            {redirect::kStdIn, plan.stdIn},
            {redirect::kStdOut, plan.stdOut},
            {redirect::kStdErr, plan.stdErr},
            {redirect::kLang, std::to_string(language)},
            {redirect::kShowWnd, e.runMinimized ? "2" : "1"}};
}

bool runEnded(unsigned conditions, const EndProbe& probe) {
    return ((conditions & kEndProgramTermination) && probe.processGone) ||
           ((conditions & kEndFileExists) && probe.finishFileThere) ||
           ((conditions & kEndEventSet) && probe.eventSignalled) ||
           ((conditions & kEndDdeAcknowledge) && probe.acknowledged);
}

std::string adoptResultFile(ResultState& state, const std::string& pending, bool temporary, bool ansi,
                            bool windowOpen) {
    std::string obsolete;
    if (state.temporary && !state.file.empty() && state.file != pending) obsolete = state.file;
    state.file = pending;
    state.temporary = temporary;
    state.ansi = ansi;
    if (!windowOpen) state.firstLine = state.caretLine = state.caretOffset = 0;
    return obsolete;
}

ResultWindowAction resultWindowAction(const ProgramEntry& e, bool windowOpen, int firstByte) {
    if (windowOpen) return ResultWindowAction::reload;
    if (!e.showResultFile) return ResultWindowAction::none;
    if (e.dontShowResultIfEmpty && (firstByte < 0 || firstByte == 26)) return ResultWindowAction::none;
    return ResultWindowAction::open;
}
