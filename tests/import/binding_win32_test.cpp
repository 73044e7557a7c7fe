// Windows only: the plug-ins as real libraries. korrin-imp.dll and the test
// plug-in are loaded by name from the program's folder, the callbacks are
// exported by name from the program, and the DLL refuses a nested call.
#if defined(_WIN32)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/outcome.h"
#include "import/transfer_export.h"
#include "resources/strings.h"
#include "tests/import/import_helpers.h"

namespace import_test {
namespace {

class Binding : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        setParserResolver(nullptr);  // the real libraries
    }
};

TEST_F(Binding, KorrinImpIsLoadedFromTheProgramDirectoryAndRoundTrips) {
    useConfig("Parser=korrin-test-parser.dll\r\n");  // not used for transfer files
    for (int oem : {0, 1}) {
        DiagramDocument* source = newDocument(documents);
        buildSample(2, source);
        const std::string text = exportText(source, oem != 0);
        g_importEnvironment.etfFileFormat = &oem;
        DiagramDocument* target = newDocument(documents);
        ConstructNode* root = importText(text, target);
        ASSERT_NE(root, nullptr) << lastErrors;
        target->root = root;
        EXPECT_EQ(carried(target), carried(source));
        EXPECT_EQ(exportText(target, oem != 0), text);
    }
}

TEST_F(Binding, KorrinImpMessagesComeFromItsOwnStringTable) {
    ASSERT_EQ(
        importText("Korrin=VRD V6.32\r\nShortInfo;\r\nEndShortInfo;\r\nOptions;\r\nEndOptions;\r\nThen;\r\n"),
        nullptr);
    EXPECT_EQ(lastErrors, "Line 6: Error: Unexpected keyword Then.\r\n");
}

TEST_F(Binding, EveryResultCodeOfATestPlugin) {
    useConfig("Parser=korrin-test-parser.dll\r\n");
    TempName source(".src");
    for (std::uint32_t code : {0u, 1u, 2u, 10u, 11u, 12u, 18u, 7u}) {
        SCOPED_TRACE(code);
        host.messages.clear();
        resetOutcome();
        writeFile(source.path(), std::to_string(code));
        ConstructNode* root = importFile(source.path(), false);
        EXPECT_EQ(root != nullptr, code <= 1);
        if (root) {
            // Two levels with id 0: consecutive new ids.
            ConstructNode* inner = levelInfoOf(root)->body->next;
            EXPECT_EQ(levelInfoOf(inner)->levelId, levelInfoOf(root)->levelId + 1);
        }
        EXPECT_EQ(g_outcome.jobCancelled, code == 18);
        switch (code) {
            case 1:
            case 2:
                ASSERT_EQ(host.messages.size(), 1u);
                EXPECT_EQ(host.messages[0].id, IDS_ANALYSIS_ERROR_LIST);
                break;
            case 10:
                EXPECT_TRUE(host.saw(IDS_PARSER_STACK_OVERFLOW));
                break;
            case 11:
                EXPECT_TRUE(host.saw(IDS_PARSER_IN_USE));
                break;
            case 12:
                EXPECT_TRUE(host.saw(IDS_PARSER_BAD_VERSION));
                break;
            default:
                EXPECT_TRUE(host.messages.empty()) << host.lastText();
                break;
        }
    }
    resetOutcome();
}

TEST_F(Binding, CallbacksAreExportedByNameFromTheProgram) {
    HMODULE self = GetModuleHandleA(nullptr);
#if defined(_WIN64)
    const char* names[] = {"write_element_v2",  "write_level_start_v2", "write_level_end", "write_tree_start",
                           "write_tree_end",    "parse_error_v2",       "write_debug",     "write_element",
                           "write_level_start", "parse_error"};
#else
    const char* names[] = {"write_element_v2@56", "write_level_start_v2@52", "write_level_end@20",
                           "write_tree_start@12", "write_tree_end@4",        "parse_error_v2@12",
                           "write_debug@4",       "write_element@56",        "write_level_start@24",
                           "parse_error@12"};
#endif
    for (const char* name : names) EXPECT_NE(GetProcAddress(self, name), nullptr) << name;
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(self, names[0])),
              reinterpret_cast<void*>(&write_element_v2));
}

// A nested call of korrin-imp's entry point from inside a callback.
ParserEntryFn g_entry = nullptr;
std::uint32_t g_nested = 0;
std::int32_t KORRIN_STDCALL nestedParseError(std::int32_t, const char*, std::int32_t) {
    ParserBlock inner{};
    inner.interfaceVersion = kParserInterfaceVersion;
    g_nested = g_entry(&inner);
    return 0;
}

TEST_F(Binding, KorrinImpRefusesANestedCallAndOtherVersions) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    directory.resize(directory.find_last_of("\\/") + 1);
    HMODULE lib = LoadLibraryA((directory + "korrin-imp.dll").c_str());
    ASSERT_NE(lib, nullptr);
    g_entry = reinterpret_cast<ParserEntryFn>(reinterpret_cast<void*>(GetProcAddress(lib, "korrin_parse")));
    ASSERT_NE(g_entry, nullptr);

    TempName file(".etf");
    writeFile(file.path(), "Nonsense;\r\n");
    HANDLE handle =
        CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ParserBlock block{};
    block.interfaceVersion = kParserInterfaceVersion;
    std::memcpy(block.languageCode, "VRD", 4);
    block.sourceFile = reinterpret_cast<std::intptr_t>(handle);
    block.parseError = nestedParseError;
    EXPECT_EQ(g_entry(&block), kParseErrors);
    EXPECT_EQ(g_nested, kParseInUse);
    CloseHandle(handle);

    block.interfaceVersion = 10010;
    EXPECT_EQ(g_entry(&block), kParseBadVersion);
    FreeLibrary(lib);
}

}  // namespace
}  // namespace import_test
#endif
