// The placeholders of a program's fields and the prompts of a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/placeholders.h"

namespace {

PlaceholderValues mainValues() {
    PlaceholderValues v;
    v.file = "C:\\WORK\\Main.vrd";
    v.expFile = "D:\\Out\\Main.etf";
    v.genFile = "C:\\Gen\\Main.pas";
    v.openPath = "C:\\WORK";
    v.filePath = "C:\\Ins\\";
    v.expPath = "D:\\Out";
    v.sourcePath = "C:\\Gen";
    v.selText = "x := %FILE%";
    return v;
}

std::string expand(const char* text, const PlaceholderValues& v, std::size_t capacity = 260,
                   const FieldPrompts* prompts = nullptr, bool shortNames = false) {
    std::string out;
    EXPECT_EQ(expandPlaceholders(text, v, prompts, shortNames, capacity, out), ExpandResult::ok) << text;
    return out;
}

TEST(Placeholders, EveryVariableAndTheCaseRule) {
    PromptAnswers answers;
    answers.slots[0] = "zero";
    answers.slots[3] = "Three";
    PlaceholderValues v = mainValues();
    v.prompts = &answers;
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"%name%.obj", "main.obj"},
        {"%NAME%.obj", "MAIN.obj"},
        {"%Name%.obj", "Main.obj"},
        {"%File%", "C:\\WORK\\Main.vrd"},
        {"%FILE%", "C:\\WORK\\MAIN.VRD"},
        {"%Drive%|%Dir%|%Ext%", "C:|\\WORK\\|.vrd"},
        {"%ExpFile% %ExpDrive% %ExpDir% %ExpName% %ExpExt%", "D:\\Out\\Main.etf D: \\Out\\ Main .etf"},
        {"%GenFile% %GenDrive% %GenDir% %GenName% %GenExt%", "C:\\Gen\\Main.pas C: \\Gen\\ Main .pas"},
        {"%OpenPath%|%SavePath%|%FilePath%|%ExpPath%|%SourcePath%",
         "C:\\WORK\\|C:\\WORK\\|C:\\Ins\\|D:\\Out\\|C:\\Gen\\"},
        {"%PromptVal%-%PROMPTVAL3%-%PromptVal9%", "zero-THREE-"},
        {"%Project%%ProjectFile%%ProjectPath%", ""},
        // Inserted text is never looked at again.
        {"[%SelText%]", "[x := %FILE%]"},
        // Unknown placeholders, lone and doubled percent signs stay.
        {"%UNKNOWN% 100% %%Name%%", "%UNKNOWN% 100% %Main%"},
        {"%Nam", "%Nam"},
    };
    for (const auto& c : cases) EXPECT_EQ(expand(c.text, v), c.expected) << c.text;
}

TEST(Placeholders, ShortNamesAndPathsWithoutDrive) {
    PlaceholderValues v = mainValues();
    v.file = "/home/user/loops.vrd";
    v.shortName = [](const std::string& path, std::string& out) {
        out = path == "/home/user/loops.vrd" ? "/home/USER~1/LOOPS.VRD" : path;
        return true;
    };
    EXPECT_EQ(expand("%Drive%%Dir%%Name%%Ext%", v), "/home/user/loops.vrd");
    EXPECT_EQ(expand("%File% %Name%", v, 260, nullptr, true), "/home/USER~1/LOOPS.VRD LOOPS");
}

TEST(Placeholders, AResultThatDoesNotFitIsRefused) {
    PlaceholderValues v = mainValues();
    std::string out;
    // "C:\WORK\Main.vrd" is 16 characters: 17 with the zero.
    EXPECT_EQ(expandPlaceholders("%File%", v, nullptr, false, 17, out), ExpandResult::ok);
    EXPECT_EQ(expandPlaceholders("%File%", v, nullptr, false, 16, out), ExpandResult::tooLong);
    EXPECT_EQ(out, "C:\\WORK\\Main.vrd");  // the whole text, for the message
    v.selText.assign(2000, 'x');
    EXPECT_EQ(expandPlaceholders("run %SELTEXT%", v, nullptr, false, 1024, out), ExpandResult::tooLong);
}

// Answers the prompts from a script, recording what was asked.
struct Script {
    std::vector<std::string> replies;
    std::vector<PromptRequest> asked;
};

bool reply(void* context, const PromptRequest& request, std::string& answer) {
    auto* script = static_cast<Script*>(context);
    script->asked.push_back(request);
    if (script->asked.size() > script->replies.size()) return false;  // cancelled
    answer = script->replies[script->asked.size() - 1];
    return true;
}

TEST(Placeholders, PromptsAreAskedOnceInOrderAndStayUnexpanded) {
    Script script{{"-O2", "%NAME%", "in.txt"}, {}};
    PromptAnswers run;
    std::string bad;
    // The command line, then the result file: slot 3 is asked once.
    FieldPrompts line, result;
    ASSERT_EQ(askPrompts("cc %PROMPT3:Options% %prompt:Name% %PROMPTVAL3%", reply, &script, run, line, bad),
              PromptResult::ok);
    ASSERT_EQ(askPrompts("%PROMPTFILE:Input% %Prompt3:Options%", reply, &script, run, result, bad),
              PromptResult::ok);
    ASSERT_EQ(script.asked.size(), 3u);
    EXPECT_EQ(script.asked[0].slot, 3);
    EXPECT_EQ(script.asked[0].text, "Options");
    EXPECT_FALSE(script.asked[1].file);
    EXPECT_EQ(script.asked[1].slot, 0);
    EXPECT_TRUE(script.asked[2].file);
    EXPECT_EQ(result.answers, (std::vector<std::string>{"in.txt", "-O2"}));

    PlaceholderValues v = mainValues();
    v.prompts = &run;
    // An answer holding a placeholder stays as typed; slot 0 holds the
    // last answer without a digit.
    EXPECT_EQ(expand("cc %PROMPT3:Options% %prompt:Name% %PROMPTVAL3% %PromptVal%", v, 260, &line),
              "cc -O2 %NAME% -O2 in.txt");
}

TEST(Placeholders, InvalidPromptsAndCancel) {
    const char* invalid[] = {"%PROMPTX:Options%", "%PROMPT0:zero%", "%PROMPT1 Options%",
                             "a %PROMPTFILE2:open"};
    const char* tokens[] = {"%PROMPTX:Options%", "%PROMPT0:zero%", "%PROMPT1 Options%", "%PROMPTFILE2:open"};
    for (int i = 0; i < 4; ++i) {
        Script script{{"x"}, {}};
        PromptAnswers run;
        FieldPrompts out;
        std::string bad;
        EXPECT_EQ(askPrompts(invalid[i], reply, &script, run, out, bad), PromptResult::invalid) << invalid[i];
        EXPECT_EQ(bad, tokens[i]);
        EXPECT_TRUE(script.asked.empty());
    }
    Script none;
    PromptAnswers run;
    FieldPrompts out;
    std::string bad;
    EXPECT_EQ(askPrompts("%PROMPT:Name%", reply, &none, run, out, bad), PromptResult::cancelled);
}

}  // namespace
