// The lexer alone: the tokens of a source with their kinds and lines, the
// comments in the gaps before them, and its messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugins/pascal/pascal_internal.h"
#include "plugins/pascal/pascal_native.h"

namespace {

using namespace pascal_internal;

const char* g_options = "";  // "Key=value;" pairs

const char* option(const char* key) {
    static std::string value;
    const std::string all = g_options, k = std::string(key) + "=";
    const std::size_t at = all.find(k);
    if (at == std::string::npos) return nullptr;
    value = all.substr(at + k.size(), all.find(';', at) - at - k.size());
    return value.c_str();
}

std::string g_messages;
std::int32_t KORRIN_STDCALL collectError(std::int32_t, const char* text, std::int32_t) {
    g_messages += std::string(text) + "\n";
    return 0;
}

// The tokens of `source`: each as its text, reserved words marked with *,
// "/n" before a token on a new line n, the comments of a gap in <>.
std::string tokens(const char* source, const char* options = "") {
    g_options = options;
    g_messages.clear();
    setPascalNativeAllocator(nullptr, nullptr);
    setPascalNativeLanguage(kLanguageEnglish);
    ParserBlock block{};
    block.interfaceVersion = kParserInterfaceVersion;
    block.parseError = collectError;
    PascalMemoryInput input{source, std::strlen(source), 0, option};
    const PascalEnvironment env = pascalMemoryEnvironment(&input);
    Parser p{};
    if (!prepare(p, &block, env)) return "no work area";
    std::string out;
    std::int32_t line = 1;
    for (ahead(p, 0); !isEof(cur(p));) {
        const Token& t = cur(p);
        if (!out.empty()) out += ' ';
        if (t.gapComment) {
            std::string gap(t.gap.data, static_cast<std::size_t>(t.gap.length));
            const std::size_t from = gap.find_first_not_of(" \t\n"), to = gap.find_last_not_of(" \t\n");
            out += "<" + gap.substr(from, to - from + 1) + "> ";
        }
        if (t.line != line) out += "/" + std::to_string(t.line) + " ";
        line = t.line;
        out += std::string(t.text.data, static_cast<std::size_t>(t.text.length));
        if (t.word != wNone) out += "*";
        advance(p);
    }
    finish(p);
    return out;
}

TEST(Lexer, TokensCommentsAndMessages) {
    struct Case {
        const char* source;
        const char* options;
        const char* tokens;
        const char* messages;
    };
    const Case cases[] = {
        // Symbols of two characters, numbers, strings with character codes.
        {"x:=1.5e+3; a..b (. c .) <> <= >=", "", "x := 1.5e+3 ; a .. b (. c .) <> <= >=", ""},
        {"s:='it''s'#13#10'x'+$FF-&17*%101", "", "s := 'it''s'#13#10'x' + $FF - &17 * %101", ""},
        // Reserved words in any case; an ordinary word that begins like one.
        {"BEGIN begin Begin beginning Procedure", "", "BEGIN* begin* Begin* beginning Procedure*", ""},
        // Line ends CR, LF, CR LF; Ctrl-Z ends the file.
        {"a\rb\nc\r\nd\x1a e", "", "a /2 b /3 c /4 d", ""},
        // Comments: nested by default, not with NestedComments=no.
        {"{ a { b } c } d", "", "<{ a { b } c }> d", ""},
        {"{ a { b } c } d", "NestedComments=no;", "<{ a { b }> c } d", ""},
        // Mixed brackets close each other by default, not with MixedComments=no.
        {"{ a *) b } x", "", "<{ a *)> b } x", ""},
        {"{ a *) b } x", "MixedComments=no;", "<{ a *) b }> x", ""},
        {"(* a } b *) y", "MixedComments=no;", "<(* a } b *)> y", ""},
        // A compiler directive does not nest; a line comment ends at the line end.
        {"{$I { x} y // z\nw", "", "<{$I { x}> y <// z> /2 w", ""},
        // Structure comments go with the rest of their line.
        {"{Korrin:( seg} rest\nx {Korrin:) end}\ny", "", "/2 x /3 y", ""},
        // Conditional compilation: the alternatives not taken are gap text.
        {"{$ifdef A} x {$else} y {$endif} z", "", "<{$ifdef A} x {$else}> y <{$endif}> z", ""},
        {"{$ifdef A} x {$else} y {$endif} z", "Defines=A;", "<{$ifdef A}> x <{$else} y {$endif}> z", ""},
        {"{$define B}{$if defined(B) and not defined(C)} p {$endif}", "",
         "<{$define B}{$if defined(B) and not "
         "defined(C)}> p",
         ""},
        {"(*$IFC V > 1*) a (*$ELIFC V = 1*) b (*$ENDC*)", "Defines=V=1;",
         "<(*$IFC V > 1*) a (*$ELIFC V = 1*)> b", ""},
        {"{$ifdef A}\n x", "", "",
         "Line 1: Error: Conditional compilation region not closed ({$ENDIF} expected)\n"},
        // Messages with their lines.
        {"a := 'open\nb", "", "a := 'open /2 b", "Line 1: Error: String constant exceeds line\n"},
        {"x)\n{ open", "", "x )",
         "Line 1: Error: Close bracket without open bracket\n"
         "Line 2: Error: End of comment not found (EOF)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(tokens(c.source, c.options), c.tokens);
        EXPECT_EQ(g_messages, c.messages);
    }
}

TEST(Lexer, ReservedWordTable) {
    EXPECT_EQ(lookupWord("finalization", 12), wFinalization);
    EXPECT_EQ(lookupWord("Dispinterface", 13), wDispinterface);
    EXPECT_EQ(lookupWord("do", 2), wDo);
    EXPECT_EQ(lookupWord("d", 1), wNone);
    EXPECT_EQ(lookupWord("dummy", 5), wNone);
    EXPECT_EQ(lookupWord("=D=U=M=M=Y=", 11), wNone);
}

}  // namespace
