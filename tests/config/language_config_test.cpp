// Loading the language configuration: availability, keyword and placeholder
// texts, menu captions, the generation options and the command
// "Configuration file...".
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "config/language_config.h"
#include "config/menu_captions.h"
#include "config/profile.h"
#include "resources/commands.h"
#include "tests/config/temp_ini.h"
#include "tests/support/host_recorder.h"

namespace {

int slotOf(ConstructType t) {
    return typeCode(t);
}

LanguageConfig* freshConfig() {
    static LanguageConfig config;
    initLanguageConfig(config);
    return &config;
}

// A menu held as command -> caption, with an optional pristine copy.
struct FakeMenu : MenuCaptionTarget {
    std::map<std::pair<unsigned, bool>, std::string> items;
    std::map<std::pair<unsigned, bool>, std::string> fresh;
    bool freshCaption(unsigned command, bool popup, char* out, int size) override {
        auto it = fresh.find({command, popup});
        if (it == fresh.end()) return false;
        std::snprintf(out, static_cast<std::size_t>(size), "%s", it->second.c_str());
        return true;
    }
    bool setCaption(unsigned command, bool popup, const char* text) override {
        auto it = items.find({command, popup});
        if (it == items.end()) return false;
        it->second = text;
        return true;
    }
};

// Records the dialog request before answering from the script.
struct DialogRecorder : HostRecorder {
    std::string filter;
    std::string initialDir;
    bool chooseFile(FileDialogRequest& request) override {
        filter = request.filter ? request.filter : "";
        initialDir = request.initialDir ? request.initialDir : "";
        return HostRecorder::chooseFile(request);
    }
};

std::string examplePath(const char* name) {
    std::string here = __FILE__;
    for (int up = 0; up < 3; ++up) here = here.substr(0, here.find_last_of("/\\"));
    return here + "/examples/" + name;
}

}  // namespace

TEST(LanguageConfig, BuiltInTextsAndDisplayForms) {
    LanguageConfig& c = *freshConfig();
    EXPECT_STREQ(c.keywords[0], "if");
    EXPECT_STREQ(c.keywords[3], "iferror");
    EXPECT_STREQ(c.keywords[10], "when none");
    EXPECT_STREQ(c.keywords[22], "");
    EXPECT_STREQ(c.keywords[25], "");
    EXPECT_STREQ(c.keywords[62], ". .");
    EXPECT_STREQ(c.keywords[77], "when");
    EXPECT_STREQ(c.keywords[78], "of");
    EXPECT_STREQ(c.keywords[80], "");
    EXPECT_STREQ(c.placeholders[14], "statement");
    EXPECT_STREQ(c.placeholderDisplay[14], "<statement>");
    EXPECT_STREQ(c.placeholderDisplay[30], "<(reg)>");
    EXPECT_STREQ(c.placeholders[35], "");
    EXPECT_STREQ(c.placeholderDisplay[35], "");
    for (int t = kMinTypeCode; t <= kMaxTypeCode; ++t) EXPECT_TRUE(c.available[t]) << t;
    EXPECT_FALSE(constructAvailable(c, ConstructType::None));
}

TEST(LanguageConfig, TwoApostrophesAreTheEmptyTextAndAnEmptyValueIsAbsent) {
    TempIni ini(
        "[KeywordStrings]\r\nIf=''\r\nThen=\"''\"\r\nElse=\r\nWhile=  WHILE  \r\n"
        "[MetaStrings]\r\nStatement=''\r\nCondition=\r\n");
    LanguageConfig& c = *freshConfig();
    std::strcpy(c.keywords[2], "custom else");
    std::strcpy(c.placeholders[15], "custom condition");
    int changed = loadLanguageConfig(c, nullptr, ini.path(), false);
    EXPECT_EQ(changed, kKeywordsChanged | kPlaceholdersChanged);
    EXPECT_STREQ(c.keywords[0], "");
    EXPECT_STREQ(c.keywords[1], "");
    EXPECT_STREQ(c.keywords[2], "custom else");  // empty value: absent, kept
    EXPECT_STREQ(c.keywords[4], "WHILE");
    EXPECT_STREQ(c.placeholders[14], "");
    EXPECT_STREQ(c.placeholderDisplay[14], "");
    EXPECT_STREQ(c.placeholders[15], "custom condition");

    changed = loadLanguageConfig(c, nullptr, ini.path(), true);
    EXPECT_EQ(changed, kKeywordsChanged | kPlaceholdersChanged);
    EXPECT_STREQ(c.keywords[2], "else");  // restored
    EXPECT_STREQ(c.placeholders[15], "condition");
    EXPECT_STREQ(c.placeholderDisplay[15], "<condition>");
    EXPECT_STREQ(c.keywords[0], "");
    // Nothing differs the second time.
    EXPECT_EQ(loadLanguageConfig(c, nullptr, ini.path(), true), 0);
}

TEST(LanguageConfig, FirstWhenAndFirstOfFallBackToWhenAndOf) {
    TempIni ini("[KeywordStrings]\r\nWhen=WHEN\r\nFirstOf=erstens\r\n");
    LanguageConfig& c = *freshConfig();
    EXPECT_EQ(loadLanguageConfig(c, nullptr, ini.path(), false), kKeywordsChanged);
    EXPECT_STREQ(c.keywords[9], "WHEN");
    EXPECT_STREQ(c.keywords[77], "WHEN");
    EXPECT_STREQ(c.keywords[78], "erstens");
    EXPECT_STREQ(c.keywords[12], "of");

    ini.write("[KeywordStrings]\r\nOf=OF\r\n");
    loadLanguageConfig(c, nullptr, ini.path(), true);
    EXPECT_STREQ(c.keywords[77], "when");  // built-in of slot 9
    EXPECT_STREQ(c.keywords[78], "OF");
}

TEST(LanguageConfig, PlaceholderDisplayFormsAndLongTexts) {
    std::string longText(120, 'x');
    TempIni ini("[MetaStrings]\r\nStatement=Anweisung \xC4NDERN\r\nSegmentHeader=" + longText + "\r\n");
    LanguageConfig& c = *freshConfig();
    EXPECT_EQ(loadLanguageConfig(c, nullptr, ini.path(), false), kPlaceholdersChanged);
    EXPECT_STREQ(c.placeholders[14], "Anweisung \xC4NDERN");
    EXPECT_STREQ(c.placeholderDisplay[14], "<anweisung \xE4ndern>");
    EXPECT_EQ(std::strlen(c.placeholders[0]), 79u);
    EXPECT_EQ(std::strlen(c.placeholderDisplay[0]), 81u);
}

TEST(LanguageConfig, AvailabilityAndTheDependentBranches) {
    TempIni ini(
        "[AvailableConstructs]\r\nCase=no\r\nIf=TRUE\r\nLoop=1\r\nExit=perhaps\r\nFor=False\r\n"
        "SpecialStatement=0\r\nOf=no\r\n");
    LanguageConfig& c = *freshConfig();
    loadLanguageConfig(c, nullptr, ini.path(), false);
    EXPECT_FALSE(c.available[slotOf(ConstructType::OnSelector)]);
    EXPECT_FALSE(c.available[slotOf(ConstructType::OnSelectorBranch)]);
    EXPECT_TRUE(c.available[slotOf(ConstructType::OnCondition)]);
    EXPECT_TRUE(c.available[slotOf(ConstructType::OnConditionBranch)]);
    EXPECT_TRUE(c.available[slotOf(ConstructType::If)]);
    EXPECT_TRUE(c.available[slotOf(ConstructType::Loop)]);
    EXPECT_TRUE(c.available[slotOf(ConstructType::WhenExit)]);
    EXPECT_FALSE(c.available[slotOf(ConstructType::For)]);
    EXPECT_FALSE(c.available[slotOf(ConstructType::SpecialText)]);
    EXPECT_TRUE(c.available[slotOf(ConstructType::Level)]);

    ini.write("[AvailableConstructs]\r\nSwitch=No\r\n");
    loadLanguageConfig(c, nullptr, ini.path(), false);
    EXPECT_FALSE(constructAvailable(c, ConstructType::OnCondition));
    EXPECT_FALSE(constructAvailable(c, ConstructType::OnConditionBranch));
    EXPECT_TRUE(constructAvailable(c, ConstructType::OnSelector));
    EXPECT_TRUE(constructAvailable(c, ConstructType::For));

    // A file that does not exist reads as one without keys, silently.
    HostRecorder host;
    std::string missing = std::string(ini.path()) + ".missing";
    EXPECT_EQ(loadLanguageConfig(c, nullptr, missing.c_str(), true), 0);
    for (int t = kMinTypeCode; t <= kMaxTypeCode; ++t) EXPECT_TRUE(c.available[t]) << t;
    EXPECT_TRUE(host.messages.empty());
}

TEST(LanguageConfig, MenuCaptionsKeepTheFirstAmpersand) {
    char two[] = "&Wh&ile";
    keepFirstAmpersand(two);
    EXPECT_STREQ(two, "&While");
    char three[] = "&A&b&c";
    keepFirstAmpersand(three);
    EXPECT_STREQ(three, "&Abc");
    char late[] = "Loo&p&";
    keepFirstAmpersand(late);
    EXPECT_STREQ(late, "Loo&p");

    TempIni ini(
        "[InsertMenuStrings]\r\nWhile=&Wh&ile\r\nSpecialStatement=S&pecial\r\nIf=\r\n"
        "[EncloseMenuStrings]\r\nSwitch=&Sel&ect\r\nThen=&Then&&\r\n");
    FakeMenu menu;
    menu.items[{CMD_INSERT_WHILE, false}] = "&While";
    menu.items[{CMD_INSERT_IF, false}] = "&If";
    menu.items[{CMD_INSERT_LOOP, false}] = "&Loop";
    menu.items[{CMD_ENCLOSE_SWITCH_WHEN, true}] = "S&witch";
    menu.items[{CMD_ENCLOSE_IF_THEN, false}] = "T&hen";
    menu.fresh[{CMD_INSERT_IF, false}] = "&If (fresh)";
    menu.fresh[{CMD_INSERT_LOOP, false}] = "&Loop (fresh)";
    // CMD_INSERT_SPECIAL_STATEMENT is not in the menu: skipped without harm.
    EXPECT_EQ(applyMenuCaptions(menu, ini.path(), false), 3);
    EXPECT_EQ((menu.items[{CMD_INSERT_WHILE, false}]), "&While");
    EXPECT_EQ((menu.items[{CMD_ENCLOSE_SWITCH_WHEN, true}]), "&Select");
    EXPECT_EQ((menu.items[{CMD_ENCLOSE_IF_THEN, false}]), "&Then");
    EXPECT_EQ((menu.items[{CMD_INSERT_IF, false}]), "&If");  // absent without defaults: untouched
    EXPECT_EQ(menu.items.count({CMD_INSERT_SPECIAL_STATEMENT, false}), 0u);

    // With defaults, absent (and empty) keys take the fresh captions.
    LanguageConfig& c = *freshConfig();
    loadLanguageConfig(c, &menu, ini.path(), true);
    EXPECT_EQ((menu.items[{CMD_INSERT_IF, false}]), "&If (fresh)");
    EXPECT_EQ((menu.items[{CMD_INSERT_LOOP, false}]), "&Loop (fresh)");
    EXPECT_EQ((menu.items[{CMD_INSERT_WHILE, false}]), "&While");
}

TEST(LanguageConfig, GenerationOptionsAndTheirRules) {
    TempIni ini("[GenOptions]\r\nMaxIndent=8\r\nMaxLineLength=0\r\nInitialIndent=2\r\n");
    GenOptions o;
    readGenOptions(ini.path(), o);
    EXPECT_EQ(o.initialIndent, 2);
    EXPECT_EQ(o.maxIndent, 8);
    EXPECT_EQ(o.maxLineLength, -1);
    EXPECT_FALSE(o.compressBlanks);
    EXPECT_TRUE(o.oemSource);  // AnsiToOemConvert defaults to yes
    EXPECT_FALSE(o.unixLineBreaks);

    ini.write(
        "[GenOptions]\r\nMaxIndent=40\r\nMaxLineLength=40\r\nAnsiToOemConvert=no\r\nLineBreakCoding=unix\r\n"
        "CompressBlanks=yes\r\n");
    readGenOptions(ini.path(), o);
    EXPECT_EQ(o.maxLineLength, -1);
    EXPECT_FALSE(o.oemSource);
    EXPECT_TRUE(o.unixLineBreaks);
    EXPECT_TRUE(o.compressBlanks);
    ini.write(
        "[GenOptions]\r\nMaxLineLength=72\r\nAnsiToOemConvert=no\r\n[Settings]\r\nSourceFileFormat=OEM\r\n");
    readGenOptions(ini.path(), o);
    EXPECT_EQ(o.initialIndent, 0);
    EXPECT_EQ(o.maxIndent, -1);
    EXPECT_EQ(o.maxLineLength, 72);
    EXPECT_TRUE(o.oemSource);
}

TEST(LanguageConfig, GenerationFileExtension) {
    LanguageConfig& c = *freshConfig();
    EXPECT_TRUE(setGenFileExt(c, "pas"));
    EXPECT_STREQ(c.genFileExt, ".PAS");
    EXPECT_TRUE(setGenFileExt(c, ".pAs"));
    EXPECT_STREQ(c.genFileExt, ".PAS");
    EXPECT_FALSE(setGenFileExt(c, ""));
    EXPECT_STREQ(c.genFileExt, ".PAS");

    // Start-up: ".src" unless the file says otherwise.
    TempIni ini("[GenOptions]\r\nLineBreakCoding=UNIX\r\n");
    startLanguageConfig(c, nullptr, ini.path());
    EXPECT_STREQ(c.genFileExt, ".SRC");
    EXPECT_STREQ(c.path, ini.path());
    ini.write("[GenOptions]\r\nGenFileExt=pp\r\n");
    startLanguageConfig(c, nullptr, ini.path());
    EXPECT_STREQ(c.genFileExt, ".PP");
    // A name relative to the current directory is kept as a full path (for
    // the plug-ins and \%CFG%).
    const char* relative = "korrin-relative-test.cfg";
    std::ofstream(relative, std::ios::binary) << "[GenOptions]\r\nGenFileExt=rel\r\n";
    startLanguageConfig(c, nullptr, relative);
    char full[platform::kMaxPath];
    ASSERT_TRUE(platform::fullPath(relative, full));
    EXPECT_STREQ(c.path, full);
    EXPECT_STREQ(c.genFileExt, ".REL");
    platform::deleteFile(relative);
}

TEST(LanguageConfig, SetConfigurationFile) {
    TempIni ini("[GenOptions]\r\nGenFileExt=pas\r\n[KeywordStrings]\r\nIf=IF\r\n");
    LanguageConfig& c = *freshConfig();
    std::strcpy(c.path, "/some/where/old.cfg");
    std::strcpy(c.genFileExt, ".SRC");

    DialogRecorder host;
    EXPECT_EQ(setConfigurationFile(c, nullptr), 0);  // cancelled
    EXPECT_EQ(host.filter, "Conf. files (*.cfg)|*.CFG");
    EXPECT_EQ(host.initialDir, "/some/where");
    EXPECT_STREQ(c.path, "/some/where/old.cfg");

    host.choose(ini.path());
    int result = setConfigurationFile(c, nullptr);
    EXPECT_EQ(result, kConfigChosen | kConfigTextsChanged | kConfigKeywordsChanged | kConfigExtChanged);
    EXPECT_STREQ(c.path, ini.path());
    EXPECT_STREQ(c.genFileExt, ".PAS");
    EXPECT_STREQ(c.keywords[0], "IF");

    // A file without GenFileExt keeps the extension; defaults come back.
    TempIni plain("[MetaStrings]\r\nStatement=stmt\r\n");
    host.choose(plain.path());
    result = setConfigurationFile(c, nullptr);
    EXPECT_EQ(result, kConfigChosen | kConfigTextsChanged | kConfigKeywordsChanged);
    EXPECT_STREQ(c.genFileExt, ".PAS");
    EXPECT_STREQ(c.keywords[0], "if");
    EXPECT_STREQ(c.placeholderDisplay[14], "<stmt>");
    EXPECT_TRUE(host.messages.empty());

    // Without a directory in the current path the dialog starts in the
    // current directory.
    std::strcpy(c.path, "plain.cfg");
    setConfigurationFile(c, nullptr);
    char cwd[platform::kMaxPath];
    ASSERT_TRUE(platform::fullPath(".", cwd));
    EXPECT_EQ(host.initialDir, cwd);
}

TEST(LanguageConfig, ThePascalExampleIsComplete) {
    std::string path = examplePath("pascal.cfg");
    ASSERT_TRUE(platform::fileExists(path.c_str())) << path;
    for (int t = 0; t < kTemplateCount; ++t) {
        char name[kProfileNameSize];
        platform::loadString(templateNameId(t), name, sizeof name);
        char value[1024];
        readProfileText(IDS_SEC_GENSTRINGS, templateNameId(t), "\\@", value, sizeof value, path.c_str());
        EXPECT_STRNE(value, "\\@") << name;  // present (possibly empty)
    }
    LanguageConfig& c = *freshConfig();
    startLanguageConfig(c, nullptr, path.c_str());
    EXPECT_STREQ(c.genFileExt, ".PAS");
    GenOptions o;
    readGenOptions(path.c_str(), o);
    EXPECT_EQ(o.initialIndent, 0);
    EXPECT_GT(o.maxLineLength, o.maxIndent);
    char parser[64];
    readProfileText(IDS_SEC_PARSEOPTIONS, IDS_KEY_PARSER, "", parser, sizeof parser, path.c_str());
    EXPECT_STREQ(parser, "korrin-pas.dll");
    // Special statements generate nothing in this language.
    for (int t = kMinTypeCode; t <= kMaxTypeCode; ++t)
        EXPECT_EQ(c.available[t], t != typeCode(ConstructType::SpecialText)) << t;
    EXPECT_STREQ(c.keywords[26], "");
    EXPECT_STREQ(c.placeholderDisplay[14], "<statement;>");
}
