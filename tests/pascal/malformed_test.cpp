// Malformed sources: the messages with their lines, no crash, no hang; and
// the entry point's results.
#include <cstring>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/diagram_file.h"
#include "platform/platform.h"
#include "plugins/pascal/pascal_native.h"
#include "resources/strings.h"
#include "tests/pascal/pascal_helpers.h"

namespace pascal_test {
namespace {

class Malformed : public PascalTest {
protected:
    // The error file of importing `source`; the import must fail.
    std::string messages(const std::string& source) {
        EXPECT_EQ(import(source), nullptr) << source;
        return errors;
    }
};

TEST_F(Malformed, LexicalErrorsAtTheEnd) {
    EXPECT_EQ(messages("a;\r\n{ open\r\n\r\n"), "Line 2: Error: End of comment not found (EOF)\r\n");
    EXPECT_EQ(messages("a;\r\n(* open { nested } \r\n"), "Line 2: Error: End of comment not found (EOF)\r\n");
    EXPECT_EQ(messages("a;\r\nb := 'open"), "Line 2: Error: End of string constant not found (EOF)\r\n");
    EXPECT_EQ(
        messages("a := 'one\r\n  two';\r\n"),
        "Line 1: Error: String constant exceeds line\r\nLine 2: Error: String constant exceeds line\r\n");
    EXPECT_EQ(messages("x := (a));\r\ny := b);"),
              "Line 1: Error: Close bracket without open bracket\r\nLine 2: Error: Close bracket without "
              "open bracket\r\n");
}

TEST_F(Malformed, StrayClosingWords) {
    EXPECT_EQ(messages("a;\r\nend;"), "Line 2: Error: END misplaced\r\n");
    EXPECT_EQ(messages("a then b;"), "Line 1: Error: THEN without IF not allowed\r\n");
    EXPECT_EQ(messages("a;\r\n\r\nelse b;"), "Line 3: Error: ELSE without IF or CASE not allowed\r\n");
    EXPECT_EQ(messages("a; do b;"), "Line 1: Error: DO without WITH or FOR not allowed\r\n");
    EXPECT_EQ(messages("until b;"), "Line 1: Error: UNTIL without REPEAT not allowed\r\n");
    EXPECT_EQ(messages("x of y;"), "Line 1: Error: OF without CASE not allowed\r\n");
    EXPECT_EQ(messages("a; implementation"), "Line 1: Error: Reserved word misplaced\r\n");
    EXPECT_EQ(messages("if a then b; else c;"), "Line 1: Error: ELSE without IF or CASE not allowed\r\n");
}

TEST_F(Malformed, StructureErrors) {
    EXPECT_EQ(messages("if then a;"), "Line 1: Error: Syntax error after IF\r\n");
    EXPECT_EQ(messages("if a\r\nb;"), "Line 2: Error: Syntax error between IF and THEN\r\n");
    EXPECT_EQ(messages("while do a;"), "Line 1: Error: Syntax error after WHILE\r\n");
    EXPECT_EQ(messages("while a; b;"), "Line 1: Error: Syntax error between WHILE and DO\r\n");
    EXPECT_EQ(messages("for i := 1 to 2; a;"), "Line 1: Error: Syntax error after FOR\r\n");
    EXPECT_EQ(messages("repeat a;"), "Line 1: Error: Syntax error after REPEAT\r\n");
    EXPECT_EQ(messages("case of end;"), "Line 1: Error: Syntax error after CASE\r\n");
    EXPECT_EQ(messages("case k\r\nbegin end;"), "Line 2: Error: Syntax error between CASE and OF\r\n");
    EXPECT_EQ(messages("case k of\r\n1 x; end;"), "Line 2: Error: Syntax error in CASE branch\r\n");
    // A structure word where a label belongs ends the branches.
    EXPECT_EQ(messages("case k of then end;"),
              "Line 1: Error: Syntax error in CASE branch\r\n"
              "Line 1: Error: END expected\r\n"
              "Line 1: Error: THEN without IF not allowed\r\n"
              "Line 1: Error: END misplaced\r\n");
    EXPECT_EQ(messages("with do a;"), "Line 1: Error: Syntax error after WITH\r\n");
    EXPECT_EQ(messages("begin a;\r\n"), "Line 2: Error: END expected\r\n");
    EXPECT_EQ(messages("begin a end\r\nb;"), "Line 2: Error: ; expected\r\n");
    EXPECT_EQ(messages("try a; end;"), "Line 1: Error: Syntax error after TRY\r\n");
    EXPECT_EQ(messages("try a; except on E do"),
              "Line 1: Error: Syntax error after DO in ON...DO... in TRY\r\n"
              "Line 1: Error: Syntax error after EXCEPT/FINALLY in TRY\r\n");
    EXPECT_EQ(messages("try a; except on E b; end;"), "Line 1: Error: Syntax error after ON in TRY\r\n");
    EXPECT_EQ(messages("uses ;"), "Line 1: Error: Syntax error after USES\r\n");
    EXPECT_EQ(messages("procedure ;"),
              "Line 1: Error: Syntax error after PROCEDURE\r\n"
              "Line 1: Error: BEGIN expected\r\n");
    EXPECT_EQ(messages("function begin end;"),
              "Line 1: Error: Syntax error after FUNCTION\r\n"
              "Line 1: Error: Syntax error after FUNCTION\r\n");
    EXPECT_EQ(messages("inline x;"), "Line 1: Error: Syntax error after INLINE\r\n");
    EXPECT_EQ(messages("begin a; exception"),
              "Line 1: Error: Syntax error after EXCEPTION\r\nLine 1: Error: END expected\r\n");
}

TEST_F(Malformed, ProgramUnitLibraryAndPackageErrors) {
    EXPECT_EQ(messages("program P;\r\nvar i: integer;\r\n"),
              "Line 3: Error: BEGIN expected\r\nLine 3: Error: END. expected\r\n");
    EXPECT_EQ(messages("program P;\r\nbegin\r\nend"), "Line 3: Error: Final . not found\r\n");
    EXPECT_EQ(messages("unit ;"),
              "Line 1: Error: Syntax error after UNIT\r\n"
              "Line 1: Error: Interface part not found\r\n"
              "Line 1: Error: Implementation part not found\r\nLine 1: Error: END expected\r\n");
    EXPECT_EQ(messages("unit U interface"),
              "Line 1: Error: Syntax error in UNIT header\r\n"
              "Line 1: Error: Implementation part not found\r\n"
              "Line 1: Error: END expected\r\n");
    EXPECT_EQ(messages("unit U; interface\r\nimplementation\r\n"),
              "Line 2: Error: Syntax error after IMPLEMENTATION in UNIT\r\nLine 3: Error: END expected\r\n");
    EXPECT_EQ(messages("unit U; interface implementation\r\ninitialization a;"),
              "Line 2: Error: Syntax error after INITIALIZATION in UNIT\r\nLine 2: Error: END expected\r\n");
    EXPECT_EQ(messages("unit U; interface implementation finalization"),
              "Line 1: Error: Syntax error after FINALIZATION in UNIT\r\nLine 1: Error: END expected\r\n");
    EXPECT_EQ(messages("unit U; interface implementation begin"),
              "Line 1: Error: Syntax error after BEGIN in UNIT\r\nLine 1: Error: END expected\r\n");
    EXPECT_EQ(messages("library ;"),
              "Line 1: Error: Syntax error after LIBRARY\r\n"
              "Line 1: Error: Library begin (BEGIN) expected\r\n"
              "Line 1: Error: Library end (END.) expected\r\n");
    EXPECT_EQ(messages("library L begin end."), "Line 1: Error: Syntax error in LIBRARY header\r\n");
    EXPECT_EQ(messages("package body K; x;"),
              "Line 1: Error: PACKAGE -- BEGIN expected\r\n"
              "Line 1: Error: PACKAGE -- END expected\r\n");
    EXPECT_EQ(messages("package K begin"),
              "Line 1: Error: Syntax error in PACKAGE header\r\n"
              "Line 1: Error: END expected\r\nLine 1: Error: PACKAGE -- END expected\r\n");
}

TEST_F(Malformed, HugeTokenGarbageAndDeepNestingEndCleanly) {
    // A 1 MB single word: one message, no diagram.
    EXPECT_EQ(messages("x := " + std::string(1 << 20, 'a') + ";\r\n"),
              "Line 1: Error: Token has too many characters -- invalid source file\r\n");
    // A long string constant too.
    EXPECT_EQ(messages("x := '" + std::string(20000, 's') + "';"),
              "Line 1: Error: Token has too many characters -- invalid source file\r\n");
    // Binary garbage: whatever it says, it ends.
    std::string garbage;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const char c = static_cast<char>(seed >> 23);
        garbage += c == 26 ? ' ' : c;
    }
    import(garbage);
    // Nesting deeper than the parser follows: internal stack overflow.
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "begin ";
    EXPECT_EQ(import(deep), nullptr);
    EXPECT_TRUE(host->saw(IDS_PARSER_STACK_OVERFLOW));
    std::string fine;
    for (int i = 0; i < 200; ++i) fine += "if a then begin ";
    for (int i = 0; i < 200; ++i) fine += "end; ";
    EXPECT_NE(import(fine), nullptr) << errors;
}

// The entry point directly: versions, a nested call, allocation failure.
struct Calls {
    static std::int32_t KORRIN_STDCALL error(std::int32_t, const char*, std::int32_t) {
        ParserBlock inner{};
        inner.interfaceVersion = kParserInterfaceVersion;
        nested = pascal_parse_native(&inner);
        return 0;
    }
    static std::uint32_t nested;
};
std::uint32_t Calls::nested = 0;

TEST_F(Malformed, EntryPointResults) {
    ParserBlock block{};
    for (std::uint32_t version : {10006u, 10010u, 0u}) {
        block.interfaceVersion = version;
        EXPECT_EQ(pascal_parse_native(&block), kParseBadVersion) << version;
    }
    EXPECT_EQ(pascal_parse_native(nullptr), kParseBadVersion);

    const std::string path = dir.file("nested.pas");
    gen_test::writeFile(path, "end;");
    platform::OpenInfo info{};
    block.interfaceVersion = kParserInterfaceOldest;
    block.sourceFile = platform::openFile(path.c_str(), &info, platform::kOpenRead);
    block.parseError = Calls::error;
    std::uint32_t count = 0;
    block.errorCounter = &count;
    EXPECT_EQ(pascal_parse_native(&block), kParseErrors);
    EXPECT_EQ(Calls::nested, kParseInUse);
    EXPECT_EQ(count, 1u);

    // Its buffers cannot be allocated: 18, and the next call works again.
    setPascalNativeAllocator([](std::size_t) -> void* { return nullptr; }, [](void*) {});
    EXPECT_EQ(pascal_parse_native(&block), kParseFatal);
    setPascalNativeAllocator(nullptr, nullptr);
    platform::seekFile(static_cast<platform::FileHandle>(block.sourceFile), 0, platform::SeekOrigin::begin);
    EXPECT_EQ(pascal_parse_native(&block), kParseErrors);
    platform::closeFile(static_cast<platform::FileHandle>(block.sourceFile));
}

}  // namespace
}  // namespace pascal_test
