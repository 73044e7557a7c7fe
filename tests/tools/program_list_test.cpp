// The program list in the settings file, the checks of its dialogs and
// the texts of the Execute menu. Runs natively and under Wine (the real
// profile API).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/profile.h"
#include "resources/strings.h"
#include "tests/config/temp_ini.h"
#include "tools/program_list.h"

namespace {

std::string value(const char* section, const char* key, const TempIni& ini) {
    char text[512] = {};
    platform::profileGetString(section, key, "<none>", text, sizeof text, ini.path());
    return text;
}

ProgramEntry named(const char* name) {
    ProgramEntry e;
    initProgramEntry(e);
    std::strcpy(e.name, name);
    return e;
}

TEST(ProgramList, DefaultsLimitsAndRepeatedNames) {
    std::string text = "[Programs]\n";
    for (int i = 1; i <= 34; ++i) text += "Program" + std::to_string(i) + "=P" + std::to_string(i) + "\n";
    text +=
        "[Program-P1]\nSaveFile=yes\nExportFile=true\nFileExists=yes\nProgFinishFile=done.txt\n"
        "ProgramTermination=no\nParsePattern1=a\nOutPattern1=b\nParsePattern2=c\nParsePattern4=d\n"
        "ExtensionExchange1=.pas,.vrd\n"
        "[Program-P2]\nProgramTermination=no\nEventSet=yes\nProgramType=windows\nCommandLine='\"a b\" c'\n";
    TempIni ini(text);
    ProgramList list;
    loadProgramList(list, ini.path());
    ASSERT_EQ(list.entries.size(), 32u);  // the 33rd and 34th are left out
    const ProgramEntry& p1 = list.entries[0];
    EXPECT_TRUE(p1.saveFile && p1.saveAllFiles);      // SaveAllFiles follows SaveFile
    EXPECT_TRUE(p1.exportFile && p1.exportAllFiles);  // and ExportAllFiles ExportFile
    EXPECT_EQ(p1.endConditions, kEndFileExists);
    ASSERT_EQ(p1.patterns.size(), 2u);  // read up to the first missing one
    EXPECT_EQ(p1.patterns[0].out, "b");
    EXPECT_EQ(p1.extensionExchanges, std::vector<std::string>{".pas,.vrd"});
    EXPECT_TRUE(p1.useLongFileNames);
    EXPECT_STREQ(p1.redirectionProgram, "KORRIN-RE");
    // An event without a name cannot end a run: the process end does.
    const ProgramEntry& p2 = list.entries[1];
    EXPECT_EQ(p2.endConditions, kEndProgramTermination);
    EXPECT_TRUE(p2.windowsProgram);
    EXPECT_STREQ(p2.commandLine, "\"a b\" c");
    EXPECT_FALSE(list.entries[2].windowsProgram);

    // Names cut to the field that become alike count as repeated.
    const std::string longName(40, 'n');
    TempIni repeated("[Programs]\nProgram1=Make\nProgram2=MAKE\nProgram3=" + longName +
                     "1\nProgram4=" + longName + "2\nProgram5=a[b]\nProgram6=\nProgram7=Lost\n");
    loadProgramList(list, repeated.path());
    ASSERT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(std::strlen(list.entries[1].name), static_cast<std::size_t>(kProgramNameSize - 1));

    // A name cut just after a run of carriage returns keeps none of them:
    // the settings file would lose them at the line's end, and the saved
    // list would read back with another name.
    TempIni returns("[Programs]\nProgram1=nn" + std::string(40, '\r') + "x\n");
    loadProgramList(list, returns.path());
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_STREQ(list.entries[0].name, "nn");
}

TEST(ProgramList, SavingWritesEveryKeyAndPrunesRemovedPrograms) {
    TempIni ini(
        "[Programs]\nProgram1=Old\nProgram2=Kept\nProgram3=Gone\n"
        "[Program-Old]\nCommandLine=old\n[Program-Gone]\nCommandLine=gone\n"
        "[Program-Kept]\nParsePattern1=x\nParsePattern2=y\n[Settings]\nOther=1\n");
    ProgramList list;
    ProgramEntry kept = named("kept");  // the section of another case is the same section
    std::strcpy(kept.commandLine, "\"C:\\Program Files\\cc.exe\" %GENFILE% ");
    kept.stdOutRedirection = true;
    std::strcpy(kept.stdOutTarget, "%TEMP%");
    std::strcpy(kept.resultFile, "%STDOUT%");
    kept.endConditions = kEndFileExists | kEndDdeAcknowledge;
    std::strcpy(kept.progFinishFile, "end.txt");
    kept.patterns.push_back({"File: \\File", ""});
    ProgramEntry fresh = named("Fresh");
    fresh.saveFile = true;
    fresh.windowsProgram = true;
    list.entries = {kept, fresh};
    ASSERT_EQ(saveProgramList(list, ini.path()), 1);

    EXPECT_EQ(value("Program-Old", "CommandLine", ini), "<none>");
    EXPECT_EQ(value("Program-Gone", "CommandLine", ini), "<none>");
    EXPECT_EQ(value("Programs", "Program3", ini), "<none>");
    EXPECT_EQ(value("Settings", "Other", ini), "1");
    EXPECT_EQ(value("Program-kept", "ParsePattern2", ini), "<none>");  // the section was written anew
    EXPECT_EQ(value("Program-Fresh", "ProgramType", ini), "Windows");
    EXPECT_EQ(value("Program-Fresh", "SaveAllFiles", ini), "no");

    ProgramList back;
    loadProgramList(back, ini.path());
    ASSERT_EQ(back.entries.size(), 2u);
    const ProgramEntry& k = back.entries[0];
    EXPECT_STREQ(k.name, "kept");
    EXPECT_STREQ(k.commandLine, kept.commandLine);  // quotes and the trailing blank survive
    EXPECT_TRUE(k.stdOutRedirection);
    EXPECT_STREQ(k.stdOutTarget, "%TEMP%");
    EXPECT_STREQ(k.resultFile, "%STDOUT%");
    EXPECT_EQ(k.endConditions, kEndFileExists | kEndDdeAcknowledge);
    EXPECT_STREQ(k.progFinishFile, "end.txt");
    ASSERT_EQ(k.patterns.size(), 1u);
    EXPECT_EQ(k.patterns[0].in, "File: \\File");
    EXPECT_TRUE(back.entries[1].saveFile && !back.entries[1].saveAllFiles && back.entries[1].windowsProgram);

    // Removing one prunes its section; an empty list leaves none.
    list.entries.pop_back();
    ASSERT_EQ(saveProgramList(list, ini.path()), 1);
    EXPECT_EQ(value("Program-Fresh", "CommandLine", ini), "<none>");
    list.entries.clear();
    ASSERT_EQ(saveProgramList(list, ini.path()), 1);
    loadProgramList(back, ini.path());
    EXPECT_TRUE(back.entries.empty());
    EXPECT_EQ(value("Program-kept", "CommandLine", ini), "<none>");
}

TEST(ProgramList, ChecksOfTheDialogs) {
    ProgramList list;
    list.entries = {named("Make"), named("Lint")};
    EXPECT_EQ(checkProgramName(list, -1, "make"), IDS_PROGRAM_NAME_NOT_UNIQUE);
    EXPECT_EQ(checkProgramName(list, 0, "MAKE"), 0u);  // its own name
    EXPECT_EQ(checkProgramName(list, 0, "Lint"), IDS_PROGRAM_NAME_NOT_UNIQUE);
    EXPECT_EQ(checkProgramName(list, -1, "  "), IDS_PROGRAM_NAME_MISSING);
    EXPECT_EQ(checkProgramName(list, -1, "Run"), 0u);
    EXPECT_EQ(checkProgramName(list, -1, "a]b"), IDS_PROGRAM_NAME_BRACKETS);

    ProgramEntry e = named("x");
    unsigned stream = 0;
    EXPECT_EQ(checkRedirection(e, &stream), 0u);
    e.stdErrRedirection = true;
    std::strcpy(e.stdOutTarget, "out.txt");  // stdout is off: its name does not count
    EXPECT_EQ(checkRedirection(e, &stream), IDS_REDIRECTION_FILE_MISSING);
    EXPECT_EQ(stream, static_cast<unsigned>(IDS_STREAM_STDERR));

    EXPECT_EQ(checkEndConditions(0, "", ""), IDS_NO_END_CONDITION);
    EXPECT_EQ(checkEndConditions(kEndFileExists, " ", ""), IDS_FINISH_FILE_MISSING);
    EXPECT_EQ(checkEndConditions(kEndEventSet | kEndProgramTermination, "", ""), IDS_FINISH_EVENT_MISSING);
    EXPECT_EQ(checkEndConditions(kEndDdeAcknowledge, "", ""), 0u);
}

TEST(ProgramList, ExecuteMenuTextsAndEditing) {
    const ProgramEntry e = named("Compile");
    EXPECT_EQ(executeMenuText(e, 0), "Compile\tCtrl+1");
    EXPECT_EQ(executeMenuText(e, 9), "Compile\tCtrl+0");
    EXPECT_EQ(executeMenuText(e, 10), "Compile\tCtrl+Shift+1");
    EXPECT_EQ(executeMenuText(e, 24), "Compile\tCtrl+Alt+5");
    EXPECT_EQ(executeMenuText(e, 31), "Compile\tCtrl+Shift+Alt+2");

    ProgramList list;
    list.entries = {named("a"), named("b"), named("c")};
    EXPECT_TRUE(moveProgram(list, 0, 2));
    EXPECT_STREQ(list.entries[2].name, "a");
    EXPECT_FALSE(moveProgram(list, 2, 3));
    EXPECT_TRUE(removeProgram(list, 1));
    EXPECT_FALSE(removeProgram(list, 5));
    EXPECT_STREQ(list.entries[1].name, "a");
}

}  // namespace
