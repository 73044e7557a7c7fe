// The command line: splitting, the response file, the options and their
// exact-match and first-honoured rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/command_line.h"
#include "tests/config/temp_ini.h"

namespace {

StartupOptions parse(const char* line, bool printFileStandard = true) {
    ArgumentList args;
    splitArguments(line, args);
    StartupOptions options;
    clearStartupOptions(options);
    options.showMode = 1;
    findIniFileOption(args, options);
    parseOptions(args, options, printFileStandard);
    return options;
}

std::vector<std::string> split(const char* line) {
    ArgumentList args;
    splitArguments(line, args);
    std::vector<std::string> out;
    for (int i = 0; i < args.count; ++i) out.emplace_back(args.items[i]);
    return out;
}

}  // namespace

TEST(CommandLineSplit, SeparatorsAndQuotes) {
    EXPECT_EQ(split("  a\tb\r\nc  "), (std::vector<std::string>{"a", "b", "c"}));
    // A whole quoted argument loses its quotes; quotes inside stay.
    EXPECT_EQ(split("\"C:\\My Files\\x.vrd\" 'a b' -g=\"out dir\\y.pas\""),
              (std::vector<std::string>{"C:\\My Files\\x.vrd", "a b", "-g=\"out dir\\y.pas\""}));
    // A quote of the other kind does not end a quoted stretch.
    EXPECT_EQ(split("\"it's here\" x"), (std::vector<std::string>{"it's here", "x"}));
    // An unterminated quote runs to the end; a lone quote stays as it is.
    EXPECT_EQ(split("a \"b c"), (std::vector<std::string>{"a", "\"b c"}));
    EXPECT_EQ(split("\""), (std::vector<std::string>{"\""}));
    EXPECT_EQ(split("\"\" x"), (std::vector<std::string>{"", "x"}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split(" \t ").empty());
}

TEST(CommandLineSplit, KeepsAtMost64Arguments) {
    std::string line;
    for (int i = 0; i < 70; ++i) line += "a" + std::to_string(i) + " ";
    ArgumentList args;
    splitArguments(line, args);
    ASSERT_EQ(args.count, kMaxArguments);
    EXPECT_STREQ(args.items[63], "a63");
}

TEST(CommandLineOptions, MatchRules) {
    std::string_view value;
    EXPECT_TRUE(matchOption("-print", "print", OptionValue::optional, &value));
    EXPECT_EQ(value.data(), nullptr);
    EXPECT_TRUE(matchOption("/PRINT=HP Laser", "print", OptionValue::optional, &value));
    EXPECT_EQ(value, "HP Laser");
    EXPECT_TRUE(matchOption("-g='a b.pas'", "g", OptionValue::optional, &value));
    EXPECT_EQ(value, "a b.pas");
    EXPECT_TRUE(matchOption("-g=", "g", OptionValue::optional, &value));
    EXPECT_NE(value.data(), nullptr);
    EXPECT_TRUE(value.empty());
    // A prefix is no match, a value needs '=' right after the name.
    EXPECT_FALSE(matchOption("-printer", "print", OptionValue::optional, &value));
    EXPECT_FALSE(matchOption("-inix", "i", OptionValue::required, &value));
    EXPECT_FALSE(matchOption("-i", "i", OptionValue::required, &value));
    EXPECT_FALSE(matchOption("-ga=x", "ga", OptionValue::none, &value));
    EXPECT_TRUE(matchOption("-GA", "ga", OptionValue::none, &value));
    EXPECT_FALSE(matchOption("print", "print", OptionValue::optional, &value));
}

TEST(CommandLineOptions, OnlyTheFirstActionIsHonoured) {
    StartupOptions o = parse("-print -g x.vrd");
    EXPECT_TRUE(o.print);
    EXPECT_FALSE(o.generate);
    EXPECT_EQ(o.action, StartAction::print);
    EXPECT_EQ(o.printScope, kPrintScopeStandard);
    EXPECT_STREQ(o.fileToOpen, "x.vrd");
    EXPECT_EQ(o.showMode, 0);

    // -l=12 -print goes to line 12 and does not print; the other way round
    // prints and ignores the line.
    o = parse("-l=12 -print x.vrd");
    EXPECT_EQ(o.line, 12);
    EXPECT_FALSE(o.print);
    EXPECT_EQ(o.showMode, 1);
    o = parse("-print -l=12 x.vrd");
    EXPECT_TRUE(o.print);
    EXPECT_EQ(o.line, 0);

    // -ga runs Generate all; -ga=x is no option at all.
    o = parse("-ga");
    EXPECT_TRUE(o.generateAll);
    o = parse("-ga=x -s=out.vrd");
    EXPECT_FALSE(o.generateAll);
    EXPECT_TRUE(o.save);
    EXPECT_STREQ(o.actionPath, "out.vrd");
}

TEST(CommandLineOptions, ValuesOfTheActions) {
    StartupOptions o = parse("-print", false);
    EXPECT_EQ(o.printScope, kPrintScopeAlternative);
    o = parse("/p=\"HP LaserJet\" x.vrd");
    EXPECT_STREQ(o.printerDevice, "HP LaserJet");
    o = parse("-ps");
    EXPECT_EQ(o.printScope, kPrintScopeStructureList);
    o = parse("-ps=2");
    EXPECT_EQ(o.printScope, 2u);
    o = parse("-ps=7");  // no structure-list type 7: not the scope of -p either
    EXPECT_EQ(o.printScope, 0u);
    o = parse("-ps=12");
    EXPECT_EQ(o.printScope, 0u);
    o = parse("-printstructure=x");
    EXPECT_EQ(o.printScope, 0u);
    o = parse("-v2=main x.vrd");
    EXPECT_EQ(o.action, StartAction::view);
    EXPECT_EQ(o.viewType, 2);
    EXPECT_STREQ(o.viewText, "main");
    o = parse("-view='open file'");
    EXPECT_EQ(o.viewType, 0);
    EXPECT_STREQ(o.viewText, "open file");
    o = parse("-v x.vrd");  // view needs a value: no option, and no file either
    EXPECT_EQ(o.action, StartAction::none);
    o = parse("-line=abc");
    EXPECT_EQ(o.action, StartAction::line);
    EXPECT_EQ(o.line, 0);
    o = parse("-ca=src -e");
    EXPECT_TRUE(o.convertAll);
    EXPECT_STREQ(o.convertPath, "src");
    EXPECT_FALSE(o.exportFile);
    o = parse("-svg=out.svg x.vrd -e");
    EXPECT_TRUE(o.picture);
    EXPECT_FALSE(o.exportFile);
    EXPECT_STREQ(o.actionPath, "out.svg");
    EXPECT_TRUE(isBatchStart(o));
    o = parse("-svgx");
    EXPECT_FALSE(o.picture);
    o = parse("-o");
    EXPECT_TRUE(o.openDialog);
    EXPECT_FALSE(isBatchStart(o));
    EXPECT_EQ(o.showMode, 1);
}

TEST(CommandLineOptions, AddInOnlyBeforeTheAction) {
    StartupOptions o = parse("-ai=1234 -g x.vrd");
    EXPECT_TRUE(o.addIn);
    EXPECT_EQ(o.addInWindow, 1234u);
    o = parse("-g -addin=1234 x.vrd");
    EXPECT_FALSE(o.addIn);
    // Numbers too large for their field saturate.
    o = parse("-ai=99999999999999999999999 -l=99999999999");
    EXPECT_EQ(o.addInWindow, UINT64_MAX);
    EXPECT_EQ(o.line, 0x7FFFFFFF);
}

TEST(CommandLineOptions, SeparateScans) {
    StartupOptions o = parse("-print -prj=One -ro -projectpath=C:\\p -project=Two x.vrd");
    EXPECT_TRUE(o.projectGiven);
    EXPECT_STREQ(o.project, "Two");
    EXPECT_TRUE(o.projectPathGiven);
    EXPECT_STREQ(o.projectPath, "C:\\p");
    EXPECT_TRUE(o.readOnly);
    o = parse("-readonly=yes");
    EXPECT_FALSE(o.readOnly);

    // inifile: the first one wins and is made absolute; -inix is no option.
    o = parse("-inix -i=first.ini -inifile=second.ini");
    ASSERT_TRUE(o.iniFileGiven);
    char expected[platform::kMaxPath];
    ASSERT_TRUE(platform::fullPath("first.ini", expected));
    EXPECT_STREQ(o.iniFile, expected);
    o = parse("-inix");
    EXPECT_FALSE(o.iniFileGiven);
}

TEST(CommandLineOptions, EmbeddingAndTheFileToOpen) {
    EXPECT_TRUE(parse("-Embedding").embedding);
    EXPECT_TRUE(parse("Embedding").embedding);
    EXPECT_TRUE(parse("-print /Embedding").embedding);
    EXPECT_FALSE(parse("-embedding").embedding);  // case-sensitive
    EXPECT_FALSE(parse("a.vrd Embedding").embedding);
    EXPECT_FALSE(parse("-print -x Embedding").embedding);
    StartupOptions o = parse("Embedding b.vrd");
    EXPECT_TRUE(o.embedding);
    EXPECT_STREQ(o.fileToOpen, "b.vrd");
    o = parse("-g \"My Diagram.vrd\" other.vrd");
    EXPECT_STREQ(o.fileToOpen, "My Diagram.vrd");
}

TEST(CommandLineResponseFile, ExpandsUpTo4096Bytes) {
    std::string out;
    EXPECT_EQ(expandResponseFile("-g x.vrd", out), ResponseResult::none);
    EXPECT_EQ(out, "-g x.vrd");

    TempIni file("-g\r\n\"a b.vrd\"\r\n");
    std::string line = std::string("@\"") + file.path() + "\"";
    EXPECT_EQ(expandResponseFile(line, out), ResponseResult::expanded);
    EXPECT_EQ(out, "-g\r\n\"a b.vrd\"\r\n");
    StartupOptions o = parse(out.c_str());
    EXPECT_TRUE(o.generate);
    EXPECT_STREQ(o.fileToOpen, "a b.vrd");

    // Beyond 4096 bytes the text is cut.
    std::string big(4091, ' ');
    big += "-print x.vrd";
    file.write(big);
    EXPECT_EQ(expandResponseFile(std::string("@") + file.path(), out), ResponseResult::expanded);
    EXPECT_EQ(out.size(), kResponseFileLimit);
    o = parse(out.c_str());
    EXPECT_FALSE(o.print);  // "-prin" is no option
    EXPECT_STREQ(o.fileToOpen, "");

    // A NUL in the file ends the text.
    file.write(std::string("-s\0-print", 9));
    EXPECT_EQ(expandResponseFile(std::string("@") + file.path(), out), ResponseResult::expanded);
    EXPECT_EQ(out, "-s");
}

TEST(CommandLineResponseFile, MissingFile) {
    std::string out;
    char name[platform::kMaxPath];
    EXPECT_EQ(expandResponseFile("@/no/such/dir/args.txt", out, name), ResponseResult::unreadable);
    EXPECT_STREQ(name, "/no/such/dir/args.txt");
    EXPECT_EQ(expandResponseFile("@", out), ResponseResult::unreadable);
    EXPECT_EQ(expandResponseFile("@\"\"", out), ResponseResult::unreadable);
}

TEST(CommandLineInitialize, Mode) {
    EXPECT_TRUE(isInitializeMode("initialize"));
    EXPECT_TRUE(isInitializeMode("  -/INITIALIZE "));
    EXPECT_TRUE(isInitializeMode("/Initialize"));
    EXPECT_FALSE(isInitializeMode("-initialize x.vrd"));
    EXPECT_FALSE(isInitializeMode("-init"));
    EXPECT_FALSE(isInitializeMode(""));
}
