// The template table: reading GenStrings, the absent-template default, the
// template variables with their case rules, and the time text.
#include <cstring>
#include <string>

#include "tests/generator/generator_helpers.h"

namespace {

using namespace gen_test;

std::string substituted(const char* text, const char* token, const char* value, bool doubleBackslashes,
                        std::size_t size = kTemplateValueSize) {
    char buffer[kTemplateValueSize];
    std::snprintf(buffer, sizeof buffer, "%s", text);
    substituteVariable(buffer, size, token, value, doubleBackslashes);
    return buffer;
}

TEST(TemplateVariables, CaseOfTheNameDecidesTheCaseOfTheValue) {
    const char* path = "C:\\Work\\Main.vrd";
    EXPECT_EQ(substituted("<\\%FILE%>", "\\%FILE%", path, true), "<C:\\\\WORK\\\\MAIN.VRD>");
    EXPECT_EQ(substituted("<\\%file%>", "\\%FILE%", path, true), "<c:\\\\work\\\\main.vrd>");
    EXPECT_EQ(substituted("<\\%File%>", "\\%FILE%", path, true), "<C:\\\\Work\\\\Main.vrd>");
    EXPECT_EQ(substituted("\\%pname%-\\%PNAME%", "\\%PNAME%", "Korrin(VRD)", false),
              "korrin(vrd)-KORRIN(VRD)");
    // Without the backslash it is no variable; other names stay.
    EXPECT_EQ(substituted("%FILE% \\%FILES%", "\\%FILE%", path, true), "%FILE% \\%FILES%");
    // The result is cut at the buffer's size.
    EXPECT_EQ(substituted("ab\\%PVER%cd", "\\%PVER%", "6.32", false, 6), "ab6.3");
    // An inserted value is not searched again.
    EXPECT_EQ(substituted("\\%FILE%", "\\%FILE%", "a\\%FILE%", false), "A\\%FILE%");
}

TEST(TimeText, FollowsTheShortDatePattern) {
    const GenTime t{2024, 5, 6, 7, 8, 9, 0};
    char text[64];
    formatTimeText(text, sizeof text, "dd.MM.yyyy", ":", t);
    EXPECT_STREQ(text, "06.05.2024 07:08:09");
    formatTimeText(text, sizeof text, "M/d/yy", "", t);
    EXPECT_STREQ(text, "05/06/2024 07:08:09");
    formatTimeText(text, sizeof text, "yyyy-MM-dd", ".", t);
    EXPECT_STREQ(text, "2024-05-06 07.08.09");
    formatTimeText(text, sizeof text, "", nullptr, t);
    EXPECT_STREQ(text, "05/06/2024 07:08:09");
}

class TemplateTableTest : public GeneratorTest {};

TEST_F(TemplateTableTest, ReadsEveryTemplateAndMarksTheAbsentOnes) {
    std::map<std::string, std::string> templates = allTemplates({
        {"If", "'\\Nif '"},
        {"Then", "\\%PNAME% \\%TIME% \\%GENFILE%"},
        {"Loop", std::string(1100, 'x')},
    });
    templates.erase("While");
    useConfig(configText(templates));
    TemplateVariables variables{"TIME", "cfg", "Korrin(VRD)", "6.32", "d:\\plan.vrd", "d:\\plan.pas"};
    TemplateTable* table = buildTemplateTable(configPath.c_str(), variables);
    ASSERT_NE(table, nullptr);
    const auto at = [&](GenTemplate t) -> const TemplateEntry& {
        return table->entries[static_cast<int>(t)];
    };
    EXPECT_STREQ(at(GenTemplate::If).name, "If");
    EXPECT_STREQ(at(GenTemplate::If).value, "\\Nif ") << "enclosing quotes go, inner blanks stay";
    EXPECT_EQ(at(GenTemplate::If).flags, 0);
    EXPECT_STREQ(at(GenTemplate::While).value, "\\N");
    EXPECT_EQ(at(GenTemplate::While).flags, kTemplateAbsent);
    EXPECT_STREQ(at(GenTemplate::Then).value, "KORRIN(VRD) TIME D:\\\\PLAN.PAS");
    EXPECT_EQ(std::strlen(at(GenTemplate::Loop).value), 1023u);
    EXPECT_STREQ(at(GenTemplate::EndSpecialStatement).name, "EndSpecialStatement");
    EXPECT_STREQ(at(GenTemplate::EndSpecialStatement).value, "");
    freeTemplateTable(table);
}

}  // namespace
