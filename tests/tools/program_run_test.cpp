// The decisions of a run: its streams and result file, the request of
// korrin-re, its end and the result file afterwards; the result text and
// the line number a click in it leads to.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/config/temp_ini.h"
#include "tools/program_run.h"
#include "tools/result_text.h"

namespace {

int g_temps = 0;
bool makeTemp(std::string& path) {
    path = "tmp" + std::to_string(++g_temps);
    return true;
}

ProgramEntry redirected(const char* out, const char* err, const char* result) {
    ProgramEntry e;
    initProgramEntry(e);
    std::strcpy(e.name, "cc");
    e.stdOutRedirection = out != nullptr;
    e.stdErrRedirection = err != nullptr;
    std::strcpy(e.stdOutTarget, out ? out : "");
    std::strcpy(e.stdErrTarget, err ? err : "");
    std::strcpy(e.resultFile, result);
    return e;
}

TEST(ProgramRun, StreamsAndTheResultFile) {
    ExpandedFields fields;
    fields.stdOut = "out.txt";
    fields.stdErr = "err.txt";
    fields.resultFile = "listing.txt";
    const struct {
        const char *out, *err, *result;
        const char *stdOut, *stdErr, *pending;
        bool temporary;
    } cases[] = {
        {"%TEMP%", nullptr, "%STDOUT%", "tmp1", "", "tmp1", true},
        {"%temp%", "%TEMP%", "%STDERR%", "", "tmp1", "tmp1", true},  // stdout to %TEMP% nobody reads: none
        {"out", nullptr, "%STDOUT%", "out.txt", "", "out.txt", false},
        {"out", "err", "listing", "out.txt", "err.txt", "listing.txt", false},
        {"%TEMP%", nullptr, "listing", "", "", "listing.txt", false},
        {nullptr, nullptr, "%STDOUT%", "", "", "", false},  // no stream, no file named %STDOUT%
    };
    for (const auto& c : cases) {
        g_temps = 0;
        RedirectionPlan plan;
        ASSERT_TRUE(planRedirection(redirected(c.out, c.err, c.result), fields, makeTemp, plan));
        EXPECT_EQ(plan.stdOut, c.stdOut) << c.out << " " << c.result;
        EXPECT_EQ(plan.stdErr, c.stdErr) << c.out << " " << c.result;
        EXPECT_EQ(plan.pendingResult, c.pending) << c.out << " " << c.result;
        EXPECT_EQ(plan.pendingTemporary, c.temporary) << c.out << " " << c.result;
    }
    RedirectionPlan plan;
    EXPECT_FALSE(planRedirection(redirected("%TEMP%", nullptr, "%STDOUT%"), fields, nullptr, plan));
}

TEST(ProgramRun, TheRequestOfKorrinRe) {
    ProgramEntry e = redirected("out", nullptr, "");
    e.runMinimized = true;
    RedirectionPlan plan;
    plan.stdOut = "out.txt";
    const auto request = redirectionRequest(e, plan, "cc x.pas", 49);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"KorrinRedirProgName", "cc"},    {"KorrinRedirCmdLine", "cc x.pas"}, {"KorrinRedirStdIn", ""},
        {"KorrinRedirStdOut", "out.txt"}, {"KorrinRedirStdErr", ""},          {"KorrinRedirLang", "49"},
        {"KorrinRedirShowWnd", "2"}};
    EXPECT_EQ(request, expected);
}

TEST(ProgramRun, TheFieldsAskedInOrder) {
    ProgramEntry e = redirected("%TEMP%", "err", "%STDOUT%");
    e.showFile = true;
    e.endConditions = kEndFileExists | kEndEventSet;
    std::vector<ToolField> order;
    for (const FieldText& f : runFields(e)) order.push_back(f.field);
    EXPECT_EQ(order, (std::vector<ToolField>{ToolField::commandLine, ToolField::workingDirectory,
                                             ToolField::showFile, ToolField::stdErr, ToolField::finishFile,
                                             ToolField::finishEvent}));
    EXPECT_EQ(runFields(e)[0].capacity, kExpandedCommandLineSize);
}

TEST(ProgramRun, TheEndOfARun) {
    const unsigned both = kEndProgramTermination | kEndFileExists;
    const struct {
        unsigned conditions;
        EndProbe probe;
        bool ended;
    } cases[] = {
        {kEndProgramTermination, {true, false, false, false}, true},
        {kEndProgramTermination, {false, true, true, true}, false},
        {kEndFileExists, {true, false, false, false}, false},  // korrin-re may end long before the tool
        {kEndFileExists, {false, true, false, false}, true},
        {both, {false, true, false, false}, true},  // as soon as either holds
        {both, {true, false, false, false}, true},
        {kEndEventSet, {false, false, true, false}, true},
        {kEndDdeAcknowledge, {false, false, false, true}, true},
        {kEndDdeAcknowledge | kEndEventSet, {true, true, false, false}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(runEnded(c.conditions, c.probe), c.ended) << c.conditions;
}

TEST(ProgramRun, TheResultFileAfterARun) {
    ResultState state;
    state.file = "old.tmp";
    state.temporary = true;
    state.firstLine = 5;
    state.caretLine = 6;
    // A closed window starts at the top; the old temporary file goes.
    EXPECT_EQ(adoptResultFile(state, "new.tmp", true, true, false), "old.tmp");
    EXPECT_EQ(state.file, "new.tmp");
    EXPECT_TRUE(state.temporary && state.ansi);
    EXPECT_EQ(state.firstLine + state.caretLine, 0);
    state.firstLine = 3;
    EXPECT_EQ(adoptResultFile(state, "list.txt", false, false, true), "new.tmp");
    EXPECT_EQ(state.firstLine, 3);  // an open window reloads from the top itself
    EXPECT_EQ(adoptResultFile(state, "other.txt", false, false, true), "");

    ProgramEntry e = redirected(nullptr, nullptr, "");
    EXPECT_EQ(resultWindowAction(e, true, -1), ResultWindowAction::reload);
    EXPECT_EQ(resultWindowAction(e, false, 'a'), ResultWindowAction::none);
    e.showResultFile = true;
    EXPECT_EQ(resultWindowAction(e, false, -1), ResultWindowAction::open);
    e.dontShowResultIfEmpty = true;
    EXPECT_EQ(resultWindowAction(e, false, -1), ResultWindowAction::none);
    EXPECT_EQ(resultWindowAction(e, false, 26), ResultWindowAction::none);
    EXPECT_EQ(resultWindowAction(e, false, 'x'), ResultWindowAction::open);
}

TEST(ResultText, LineEndsLimitAndCharacterSet) {
    EXPECT_EQ(normaliseLineEnds("a\nb\r\nc\rd\n"), "a\r\nb\r\ncd\r\n");
    EXPECT_EQ(normaliseLineEnds("ab\ncd", 4), "ab\r\n");
    EXPECT_EQ(normaliseLineEnds("ab\ncd", 3), "ab");  // the line end would not fit whole

    TempIni unix("one\ntwo\n\x84");  // 0x84 is a-umlaut in the OEM set
    ResultText oem = loadResultText(unix.path(), false);
    EXPECT_TRUE(oem.readable && !oem.truncated);
    EXPECT_EQ(oem.text, "one\r\ntwo\r\n\xE4");
    EXPECT_EQ(loadResultText(unix.path(), true).text, "one\r\ntwo\r\n\x84");

    TempIni exact(std::string(kResultKeep, 'x'));
    EXPECT_FALSE(loadResultText(exact.path(), true).truncated);
    TempIni longer(std::string(kResultKeep + 1, 'x'));
    const ResultText cut = loadResultText(longer.path(), true);
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.text.size(), static_cast<std::size_t>(kResultTextLimit));
    EXPECT_FALSE(loadResultText("no such file.txt", true).readable);
}

TEST(ResultText, TheNumberUnderTheCaretOrInTheSelection) {
    const std::string line = "loops.pas(12,5) Error: Identifier not found \"x\" 7";
    const struct {
        int caret, selStart, selEnd;
        long number;
    } cases[] = {
        {10, 0, 0, 12},  // before the 1
        {11, 0, 0, 12},  // between 1 and 2
        {12, 0, 0, 12},  // after the 2
        {13, 0, 0, 5},
        {3, 0, 0, 0},  // in "loops": no digits
        {static_cast<int>(line.size()), 0, 0, 7},
        {0, 9, 15, 0},    // "(12,5)": the selection starts with no digit
        {0, 10, 15, 12},  // "12,5)"
        {0, 22, 27, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lineNumberAt(line, c.caret, c.selStart, c.selEnd), c.number) << c.caret;
    EXPECT_EQ(lineNumberAt("   42 warnings", 0, 0, 5), 42);    // leading blanks of a selection
    EXPECT_EQ(lineNumberAt(std::string(1030, '1'), 1025), 0);  // past the line's limit
}

}  // namespace
