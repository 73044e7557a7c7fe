// korrin-conn's texts: the split of an IDE's command line, the DDE execute
// command and the command line that starts the editor.
#include <gtest/gtest.h>

#include <string>

#include "connector/connector.h"

TEST(Connector, SplitsTheCommandLine) {
    struct Case {
        const char* line;
        bool ok;
        const char* type;
        const char* file;
        std::uint32_t number;
        const char* rest;
    };
    const Case cases[] = {
        {"korrinvrd \"C:\\My Files\\a b.vrd\" 12 -x y", true, "korrinvrd", "\"C:\\My Files\\a b.vrd\"", 12,
         " -x y"},
        {"  * C:\\x.vrd  0", true, "*", "C:\\x.vrd", 0, ""},
        {"korrinvrd C:\\x.vrd", true, "korrinvrd", "C:\\x.vrd", 0, ""},
        {"korrinvrd C:\\x.vrd abc more", true, "korrinvrd", "C:\\x.vrd", 0, " more"},
        {"korrinvrd C:\\x.vrd 99999999999", true, "korrinvrd", "C:\\x.vrd", 0, ""},
        {"korrinvrd \"C:\\open quote.vrd", true, "korrinvrd", "\"C:\\open quote.vrd", 0, ""},
        {"korrinvrd \"\" 3", false, "korrinvrd", "\"\"", 3, ""},
        {"korrinvrd", false, "korrinvrd", "", 0, ""},
        {"", false, "", "", 0, ""},
    };
    for (const Case& c : cases) {
        ConnArguments args;
        EXPECT_EQ(splitConnArguments(c.line, args), c.ok) << c.line;
        EXPECT_EQ(args.fileType, c.type) << c.line;
        EXPECT_EQ(args.fileName, c.file) << c.line;
        EXPECT_EQ(args.line, c.number) << c.line;
        EXPECT_EQ(args.rest, c.rest) << c.line;
    }
    EXPECT_TRUE(wantsSyntax(""));
    EXPECT_TRUE(wantsSyntax(" /? "));
    EXPECT_TRUE(wantsSyntax("-?"));
    EXPECT_FALSE(wantsSyntax("/? x"));
    EXPECT_EQ(syntaxText("korrin-conn.exe"),
              "Syntax:\r\n\r\nkorrin-conn.exe  <filetype>  \"<filename>\"  [<linenumber>  [<additional "
              "parameters>]]");
}

TEST(Connector, BuildsTheDdeCommandAndTheStartCommand) {
    // A quoted name with blanks and line 0: only the open, the name quoted once.
    EXPECT_EQ(ddeExecuteText("\"C:\\My Files\\a b.vrd\"", 0), "[open(\"C:\\My Files\\a b.vrd\")]");
    EXPECT_EQ(ddeExecuteText("C:\\x.vrd", 7), "[open(\"C:\\x.vrd\")][line(7)]");
    // A long path is carried whole.
    const std::string longName = "C:\\" + std::string(1000, 'd') + "\\x.vrd";
    EXPECT_EQ(ddeExecuteText(longName, 1), "[open(\"" + longName + "\")][line(1)]");

    EXPECT_EQ(applicationOfCommand("\"C:\\Program Files\\Korrin\\korrin.exe\" \"%1\""), "korrin");
    EXPECT_EQ(applicationOfCommand("C:\\bin\\other.exe %1"), "other");
    EXPECT_EQ(fileExtension("\"C:\\a.b\\x.vrd\""), ".vrd");
    EXPECT_EQ(fileExtension("C:\\a.b\\x"), "");

    struct Case {
        const char* command;
        const char* line;
        const char* expected;
    };
    const Case cases[] = {
        {"\"C:\\K\\korrin.exe\" \"%1\"", "korrinvrd \"C:\\My Files\\a.vrd\" 12",
         "\"C:\\K\\korrin.exe\" \"C:\\My Files\\a.vrd\" /L=12"},
        {"C:\\K\\korrin.exe %1 -ro", "korrinvrd C:\\a.vrd 3 -prj=x",
         "C:\\K\\korrin.exe \"C:\\a.vrd\" -ro /L=3 -prj=x"},
        {"C:\\K\\korrin.exe", "korrinvrd C:\\a.vrd 0", "C:\\K\\korrin.exe \"C:\\a.vrd\""},
    };
    for (const Case& c : cases) {
        ConnArguments args;
        ASSERT_TRUE(splitConnArguments(c.line, args)) << c.line;
        EXPECT_EQ(startCommandLine(c.command, args), c.expected) << c.line;
    }
}
