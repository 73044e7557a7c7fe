// Windows only: korrin-pas.dll as a real library, loaded by name from the
// program's folder through the editor's import, with its own string table.
#if defined(_WIN32)
#include <windows.h>

#include <cstring>
#include <string>

#include "tests/pascal/pascal_helpers.h"

namespace pascal_test {
namespace {

class Dll : public PascalTest {
protected:
    void SetUp() override {
        PascalTest::SetUp();
        setParserResolver(nullptr);  // the real library
    }
};

TEST_F(Dll, ImportsAProgramThroughTheLibrary) {
    options("PushDownVar=yes\r\n", "SourceFileFormat=OEM\r\n");
    ConstructNode* root = import(
        "program P;\r\nvar s: string;\r\nbegin\r\n  if s = '\x81' then\r\n    writeln(s);\r\nend.\r\n");
    ASSERT_NE(root, nullptr) << errors;
    EXPECT_EQ(brief(levelInfoOf(root)->body),
              "Frame<program P;>[Seg<Variables>[\"var s: string;\"] Seg<Program body>[Frame<begin>"
              "[If<s = '\xfc'><writeln(s);>-]-]]<end.>");
}

TEST_F(Dll, MessagesComeFromItsOwnStringTable) {
    EXPECT_EQ(import("a;\r\nend;\r\nb := 'x\r\n"), nullptr);
    EXPECT_EQ(errors, "Line 2: Error: END misplaced\r\nLine 3: Error: String constant exceeds line\r\n");
}

TEST_F(Dll, LongTextsAndConditionalRegionsThroughTheLibrary) {
    // A comment longer than a construct takes arrives whole, in two texts.
    const std::string comment = "{" + std::string(20000, 'a') + "\r\n" + std::string(20000, 'b') + "}";
    ConstructNode* root = import(comment + "\r\nx;\r\n{$ifdef A} y; {$else} z; {$endif}\r\n");
    ASSERT_NE(root, nullptr) << errors;
    EXPECT_EQ(errors,
              "Line 1: Warning: Text longer than 29987 characters continued in the next construct\r\n");
    const ConstructNode* first = levelInfoOf(root)->body;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->next, nullptr);
    EXPECT_EQ(std::string(textOf(first)), "{" + std::string(20000, 'a'));
    EXPECT_EQ(std::string(textOf(first->next)), std::string(20000, 'b') + "}\r\nx;");
    // The alternative not taken stays as text; the region's end follows it.
    EXPECT_EQ(brief(first->next->next), "\"{$ifdef A} y; {$else} z;\" \"{$endif}\"");
}

TEST_F(Dll, RefusesOtherVersions) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    directory.resize(directory.find_last_of("\\/") + 1);
    HMODULE lib = LoadLibraryA((directory + "korrin-pas.dll").c_str());
    ASSERT_NE(lib, nullptr);
    auto entry =
        reinterpret_cast<ParserEntryFn>(reinterpret_cast<void*>(GetProcAddress(lib, "korrin_parse")));
    ASSERT_NE(entry, nullptr);
    ParserBlock block{};
    block.interfaceVersion = 10010;
    EXPECT_EQ(entry(&block), kParseBadVersion);
    block.interfaceVersion = 10006;
    EXPECT_EQ(entry(&block), kParseBadVersion);
    FreeLibrary(lib);
}

}  // namespace
}  // namespace pascal_test
#endif
