// Profile access by string-table numbers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "config/profile.h"
#include "resources/strings.h"
#include "tests/config/temp_ini.h"

namespace {
constexpr unsigned kNoSuchString = 1;  // an id the table does not have
}

TEST(ProfileAccess, BooleansReadInAnyCaseAndFallBackOtherwise) {
    TempIni ini(
        "[GenOptions]\r\nCompressBlanks=TRUE\r\nMaxIndent=1\r\nInitialIndent=No\r\nMaxLineLength=maybe\r\n"
        "LineBreakCoding=\r\nGenFileExt=yes \r\nAnsiToOemConvert=yesyesyesyesyesyesyes\r\nParser=FALSE\r\n"
        "Exit=0\r\nIf='yes'\r\n");
    const char* f = ini.path();
    EXPECT_EQ(readProfileBool(IDS_KEY_COMPRESSBLANKS, IDS_SEC_GENOPTIONS, f, 0), 1);
    EXPECT_EQ(readProfileBool(IDS_KEY_MAXINDENT, IDS_SEC_GENOPTIONS, f, 0), 1);
    EXPECT_EQ(readProfileBool(IDS_KEY_INITIALINDENT, IDS_SEC_GENOPTIONS, f, 1), 0);
    EXPECT_EQ(readProfileBool(IDS_KEY_PARSER, IDS_SEC_GENOPTIONS, f, 1), 0);
    EXPECT_EQ(readProfileBool(IDS_GEN_EXIT, IDS_SEC_GENOPTIONS, f, 1), 0);
    EXPECT_EQ(readProfileBool(IDS_GEN_IF, IDS_SEC_GENOPTIONS, f, 0), 1);  // quotes go on reading
    // Any other word, an empty value, an absent key: the default.
    EXPECT_EQ(readProfileBool(IDS_KEY_MAXLINELENGTH, IDS_SEC_GENOPTIONS, f, 1), 1);
    EXPECT_EQ(readProfileBool(IDS_KEY_MAXLINELENGTH, IDS_SEC_GENOPTIONS, f, 0), 0);
    EXPECT_EQ(readProfileBool(IDS_KEY_LINEBREAKCODING, IDS_SEC_GENOPTIONS, f, 1), 1);
    EXPECT_EQ(readProfileBool(IDS_KEY_SOURCEFILEFORMAT, IDS_SEC_GENOPTIONS, f, 0), 0);
    EXPECT_EQ(readProfileBool(IDS_KEY_GENFILEEXT, IDS_SEC_GENOPTIONS, f, 0), 1);  // trailing blank trimmed
    // More than 19 characters is never a boolean.
    EXPECT_EQ(readProfileBool(IDS_KEY_ANSITOOEMCONVERT, IDS_SEC_GENOPTIONS, f, 0), 0);
    EXPECT_EQ(readProfileBoolIn(IDS_KEY_COMPRESSBLANKS, "genoptions", f, 0), 1);
    // A key or section id without a text fails (0) whatever the default.
    EXPECT_EQ(readProfileBool(kNoSuchString, IDS_SEC_GENOPTIONS, f, 1), 0);
    EXPECT_EQ(readProfileBool(IDS_KEY_COMPRESSBLANKS, kNoSuchString, f, 1), 0);
    EXPECT_EQ(readProfileThreeWay(kNoSuchString, "genoptions", f, IDS_VAL_ASK, 0, 0, 1), 0);
}

TEST(ProfileAccess, ThreeWayCharacterSetAndLineBreaks) {
    TempIni ini(
        "[S]\r\nCompressBlanks=Ask\r\nMaxIndent=yes\r\nInitialIndent=other\r\n"
        "SourceFileFormat=oem\r\nLineBreakCoding=Unix\r\nParser=ansi\r\nGenFileExt=dos\r\nECComment=mac\r\n");
    const char* f = ini.path();
    EXPECT_EQ(readProfileThreeWay(IDS_KEY_COMPRESSBLANKS, "S", f, IDS_VAL_ASK, 0, 0, 0), 2);
    EXPECT_EQ(readProfileThreeWay(IDS_KEY_COMPRESSBLANKS, "S", f, 0, 0, 0, 0), 0);
    EXPECT_EQ(readProfileThreeWay(IDS_KEY_MAXINDENT, "S", f, IDS_VAL_ASK, 0, 0, 0), 1);
    EXPECT_EQ(readProfileThreeWay(IDS_KEY_INITIALINDENT, "S", f, IDS_VAL_ASK, IDS_VAL_DOS, 0, 1), 1);
    EXPECT_EQ(readProfileThreeWay(IDS_KEY_GENFILEEXT, "S", f, IDS_VAL_ASK, 0, IDS_VAL_DOS, 1), 2);

    EXPECT_EQ(readProfileCharSet(IDS_KEY_SOURCEFILEFORMAT, "S", f, 0), 1);
    EXPECT_EQ(readProfileCharSet(IDS_KEY_PARSER, "S", f, 1), 0);
    EXPECT_EQ(readProfileCharSet(IDS_KEY_ECCOMMENT, "S", f, 1), 1);
    EXPECT_EQ(readProfileCharSet(IDS_KEY_ECCOMMENT, "S", f, 0), 0);
    EXPECT_EQ(readProfileLineBreak(IDS_KEY_LINEBREAKCODING, "S", f, 0), 1);
    EXPECT_EQ(readProfileLineBreak(IDS_KEY_GENFILEEXT, "S", f, 1), 0);
    EXPECT_EQ(readProfileLineBreak(IDS_KEY_ECCOMMENT, "S", f, 0), 0);
}

TEST(ProfileAccess, NumberListsFillSkipZerosAndStopAtCapacity) {
    TempIni ini("[Settings]\r\nMaxIndent=1,0,7\r\nMaxLineLength=3, 4 ,x,,5,6\r\nInitialIndent=\r\n");
    std::uint32_t values[3];
    EXPECT_EQ(readProfileNumberList(IDS_SEC_SETTINGS, IDS_KEY_MAXINDENT, values, 5, ini.path()), 2);
    EXPECT_EQ(values[0], 1u);
    EXPECT_EQ(values[1], 7u);
    EXPECT_EQ(values[2], 5u);
    EXPECT_EQ(readProfileNumberList(IDS_SEC_SETTINGS, IDS_KEY_MAXLINELENGTH, values, 0, ini.path()), 3);
    EXPECT_EQ(values[0], 3u);
    EXPECT_EQ(values[1], 4u);
    EXPECT_EQ(values[2], 5u);
    EXPECT_EQ(readProfileNumberList(IDS_SEC_SETTINGS, IDS_KEY_INITIALINDENT, values, 9, ini.path()), 0);
    EXPECT_EQ(values[0], 9u);

    const std::uint32_t written[] = {0, 4294967295u, 12};
    EXPECT_NE(writeProfileNumberList(IDS_SEC_SETTINGS, IDS_KEY_GENFILEEXT, written, ini.path()), 0);
    char text[64];
    readProfileText(IDS_SEC_SETTINGS, IDS_KEY_GENFILEEXT, "", text, sizeof text, ini.path());
    EXPECT_STREQ(text, "0,4294967295,12");
    EXPECT_EQ(readProfileNumberList(IDS_SEC_SETTINGS, IDS_KEY_GENFILEEXT, values, 1, ini.path()), 2);
    EXPECT_EQ(values[0], 4294967295u);
    EXPECT_EQ(values[1], 12u);
}

TEST(ProfileAccess, WritesAndTextReadsByNumber) {
    TempIni ini;
    const char* f = ini.path();
    EXPECT_NE(writeProfileFixed(IDS_SEC_SETTINGS, IDS_KEY_COMPRESSBLANKS, IDS_VAL_YES, f), 0);
    EXPECT_NE(writeProfileNumber(IDS_SEC_SETTINGS, IDS_KEY_MAXINDENT, 65535, f), 0);
    EXPECT_NE(writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_PARSER, "korrin-pas.dll", f), 0);
    EXPECT_NE(writeProfileTextByName(IDS_SEC_SETTINGS, "My Program", "a b", f), 0);
    // A value cannot break its line and smuggle in a section.
    EXPECT_NE(writeProfileText(IDS_SEC_SETTINGS, IDS_KEY_ECCOMMENT, "x\r\n[Evil]\r\nk=1", f), 0);
    EXPECT_EQ(writeProfileText(IDS_SEC_SETTINGS, kNoSuchString, "v", f), 0);
    EXPECT_EQ(writeProfileFixed(IDS_SEC_SETTINGS, IDS_KEY_PARSER, kNoSuchString, f), 0);
    EXPECT_EQ(ini.read(),
              "[Settings]\r\nCompressBlanks=yes\r\nMaxIndent=65535\r\nParser=korrin-pas.dll\r\n"
              "My Program=a b\r\nECComment=x  [Evil]  k=1\r\n");

    EXPECT_EQ(readProfileBool(IDS_KEY_COMPRESSBLANKS, IDS_SEC_SETTINGS, f, 0), 1);
    EXPECT_EQ(readProfileInt(IDS_SEC_SETTINGS, IDS_KEY_MAXINDENT, 0, f), 65535);
    EXPECT_EQ(readProfileInt(IDS_SEC_SETTINGS, IDS_KEY_MAXLINELENGTH, -1, f), -1);
    EXPECT_EQ(readProfileInt(kNoSuchString, IDS_KEY_MAXINDENT, -3, f), -3);
    char text[16];
    EXPECT_EQ(readProfileText(IDS_SEC_SETTINGS, IDS_KEY_PARSER, "", text, sizeof text, f), 14);
    EXPECT_STREQ(text, "korrin-pas.dll");
    EXPECT_EQ(readProfileText(IDS_SEC_SETTINGS, IDS_KEY_PARSER, "", text, 6, f), 5);
    EXPECT_STREQ(text, "korri");
    EXPECT_EQ(readProfileTextByName(IDS_SEC_SETTINGS, "my program", "", text, sizeof text, f), 3);
    EXPECT_STREQ(text, "a b");
    EXPECT_EQ(
        readProfileTextFixedDefault(IDS_SEC_SETTINGS, IDS_KEY_GENFILEEXT, IDS_VAL_DOS, text, sizeof text, f),
        3);
    EXPECT_STREQ(text, "DOS");
    EXPECT_EQ(readProfileTextFixedDefault(IDS_SEC_SETTINGS, IDS_KEY_GENFILEEXT, kNoSuchString, text,
                                          sizeof text, f),
              0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(readProfileText(IDS_SEC_SETTINGS, kNoSuchString, "d", text, sizeof text, f), 0);
    EXPECT_STREQ(text, "");
}

TEST(ProfileAccess, RawValuesKeepTheirQuotes) {
    TempIni ini("[KeywordStrings]\r\nIf=''\r\n  Then  =  \"x\"  \r\nElse=\r\nNoValue\r\n");
    char raw[16];
    EXPECT_EQ(readProfileRawValue("keywordstrings", "IF", raw, sizeof raw, ini.path()), 1);
    EXPECT_STREQ(raw, "''");
    EXPECT_EQ(readProfileRawValue("KeywordStrings", " then ", raw, sizeof raw, ini.path()), 1);
    EXPECT_STREQ(raw, "\"x\"");
    EXPECT_EQ(readProfileRawValue("KeywordStrings", "Else", raw, sizeof raw, ini.path()), 1);
    EXPECT_STREQ(raw, "");
    EXPECT_EQ(readProfileRawValue("KeywordStrings", "NoValue", raw, sizeof raw, ini.path()), 0);
    EXPECT_EQ(readProfileRawValue("KeywordStrings", "Th", raw, sizeof raw, ini.path()), 0);
    EXPECT_EQ(readProfileRawValue("Other", "If", raw, sizeof raw, ini.path()), 0);
}

TEST(ProfileAccess, CaseHelpersCoverCodePage1252) {
    char text[] = "Abc\xC4\xD6\xDC\xD7\x8A";
    upperCase(text);
    EXPECT_STREQ(text, "ABC\xC4\xD6\xDC\xD7\x8A");
    lowerCase(text);
    EXPECT_STREQ(text, "abc\xE4\xF6\xFC\xD7\x9A");
    EXPECT_TRUE(
        equalNoCase("Stra\xDF"
                    "E",
                    "STRA\xDF"
                    "e"));
    EXPECT_TRUE(equalNoCase("\xC4", "\xE4"));
    EXPECT_FALSE(equalNoCase("ab", "abc"));
    EXPECT_TRUE(equalNoCase(nullptr, ""));
}
