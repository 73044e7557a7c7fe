// korrin-pas, the lexer: the source read block by block into a two-half
// buffer (OEM blocks converted, Ctrl-Z ending the file), the options, the
// messages, and the tokens with the whitespace and comments before each
// (its gap). Structure comments are dropped; other comments are kept as
// text.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "plugins/pascal/pascal_internal.h"

namespace pascal_internal {
namespace {

// ---------------------------------------------------------------------------
// Reserved words, in table order.

constexpr const char* kReservedWords[] = {
    "PROGRAM",
    "USES",
    "PROCEDURE",
    "CONST",
    "TYPE",
    "VAR",
    "BEGIN",
    "END",
    "IF",
    "THEN",
    "ELSE",
    "WHILE",
    "DO",
    "FUNCTION",
    "FOR",
    "REPEAT",
    "UNTIL",
    "WITH",
    "UNIT",
    "INTERFACE",
    "IMPLEMENTATION",
    "CASE",
    "OF",
    "INLINE",
    "EXCEPTION",
    "PACKAGE",
    "OBJECT",
    "LIBRARY",
    "EXPORTS",
    "BODY",
    "CONSTRUCTOR",
    "DESTRUCTOR",
    "RECORD",
    "EXPORT",
    "INTERRUPT",
    "ASSEMBLER",
    "FAR",
    "LABEL",
    "OTHERWISE",
    "AND",
    "OR",
    "NEAR",
    "ASM",
    "CLASS",
    "TRY",
    "EXCEPT",
    "FINALLY",
    "REGISTER",
    "PASCAL",
    "CDECL",
    "STDCALL",
    "SAFECALL",
    "DISPINTERFACE",
    "ON",
    "INITIALIZATION",
    "FINALIZATION",
    "=D=U=M=M=Y=",
};
static_assert(sizeof kReservedWords / sizeof kReservedWords[0] == wCount + 1);
static_assert(wCount == 56);

// A reserved word's length and its first two letters in one key, so that
// the lookup compares whole words only where these agree.
constexpr std::uint32_t wordKey(const char* upperText, int length) {
    return static_cast<std::uint32_t>(length) << 16 | static_cast<unsigned char>(upperText[0]) << 8 |
           static_cast<unsigned char>(upperText[1]);
}
constexpr int textLength(const char* text) {
    int n = 0;
    while (text[n]) ++n;
    return n;
}
struct WordKeys {
    std::uint32_t key[wCount];
};
constexpr WordKeys makeWordKeys() {
    WordKeys keys{};
    for (int i = 0; i < wCount; ++i) keys.key[i] = wordKey(kReservedWords[i], textLength(kReservedWords[i]));
    return keys;
}
constexpr WordKeys kWordKeys = makeWordKeys();
constexpr const char* kOptionKeys[] = {
    "PushDownVar",
    "PushDownConst",
    "PushDownType",
    "PushDownProcedurebody",
    "PushDownFunctionbody",
    "PushDownInterface",
    "PushDownImplementation",
    "PushDownInitialization",
    "NestedComments",
    "MixedComments",
    "DelphiSupport",
    "ExceptionToken",
    "ECComment",
    "Defines",
};
static_assert(sizeof kOptionKeys / sizeof kOptionKeys[0] == static_cast<int>(PascalOption::Count));

// A boolean as the profile rules read it: yes/true/1, no/false/0.
bool readBoolean(const PascalEnvironment& env, const char* path, PascalOption option, bool fallback) {
    char value[20] = "";
    if (env.option(env.context, path, pascalOptionKey(option), value, sizeof value) <= 0) return fallback;
    for (char& c : value) c = upper(c);
    if (!std::strcmp(value, "YES") || !std::strcmp(value, "TRUE") || !std::strcmp(value, "1")) return true;
    if (!std::strcmp(value, "NO") || !std::strcmp(value, "FALSE") || !std::strcmp(value, "0")) return false;
    return fallback;
}

}  // namespace

void readOptions(const ParserBlock& block, const PascalEnvironment& env, Options& o) {
    char path[kParserPathSize + 1];
    const char* from = block.interfaceVersion >= kFirstConfigVersion ? block.configFile : block.settingsFile;
    std::memcpy(path, from, kParserPathSize);
    path[kParserPathSize] = 0;
    if (!env.option) return;
    o.pushVar = readBoolean(env, path, PascalOption::PushDownVar, false);
    o.pushConst = readBoolean(env, path, PascalOption::PushDownConst, false);
    o.pushType = readBoolean(env, path, PascalOption::PushDownType, false);
    o.pushProcedureBody = readBoolean(env, path, PascalOption::PushDownProcedurebody, false);
    o.pushFunctionBody = readBoolean(env, path, PascalOption::PushDownFunctionbody, false);
    o.pushInterface = readBoolean(env, path, PascalOption::PushDownInterface, false);
    o.pushImplementation = readBoolean(env, path, PascalOption::PushDownImplementation, false);
    o.pushInitialization = readBoolean(env, path, PascalOption::PushDownInitialization, false);
    o.nested = readBoolean(env, path, PascalOption::NestedComments, true);
    o.mixed = readBoolean(env, path, PascalOption::MixedComments, true);
    o.delphi = readBoolean(env, path, PascalOption::DelphiSupport, false);
    o.exceptionToken = readBoolean(env, path, PascalOption::ExceptionToken, true);
    char word[128] = "";
    const int n = env.option(env.context, path, pascalOptionKey(PascalOption::ECComment), word, sizeof word);
    if (n > 0 && n < static_cast<int>(sizeof word)) {
        std::memcpy(o.ecComment, word, static_cast<std::size_t>(n) + 1);
        o.ecLength = n;
    }
    env.option(env.context, path, pascalOptionKey(PascalOption::Defines), o.defines, sizeof o.defines);
}

void clearPushDown(Options& o) {
    o.pushVar = o.pushConst = o.pushType = o.pushProcedureBody = o.pushFunctionBody = o.pushInterface =
        o.pushImplementation = o.pushInitialization = false;
}

void* allocate(Parser& p, std::size_t size) {
    void* block = p.env->allocate ? p.env->allocate(size) : std::calloc(1, size);
    if (!block) p.outOfMemory = true;
    return block;
}

void release(Parser& p, void* block) {
    if (!block) return;
    if (p.env->release)
        p.env->release(block);
    else
        std::free(block);
}

// ---------------------------------------------------------------------------
// Messages

namespace {

// Sends message `number` (its "%s" and "%d" filled from `args`) as an
// error or warning line.
void report(Parser& p, std::int32_t line, int number, int isError, ...) {
    if (p.stop) return;
    std::va_list args;
    va_start(args, isError);
    char text[400] = "";
    char filled[700] = "";
    char format[64] = "";
    p.env->message(p.env->context, number, text, sizeof text);
    std::vsnprintf(filled, sizeof filled, text, args);
    va_end(args);
    const int lineFormat = isError ? kPasErrorLine : kPasWarningLine;
    if (p.env->message(p.env->context, lineFormat, format, sizeof format) <= 0)
        std::snprintf(format, sizeof format, isError ? "Line %%d: Error: %%s" : "Line %%d: Warning: %%s");
    // The format is ours: "%d" then "%s".
    std::snprintf(p.w->message, sizeof p.w->message, format, static_cast<int>(line), filled);
    std::uint32_t* counter = isError ? p.block->errorCounter : p.block->warningCounter;
    ++(isError ? p.errors : p.warnings);
    if (counter) ++*counter;
    if (p.block->parseError) p.block->parseError(line, p.w->message, 1);
}

}  // namespace

void error(Parser& p, std::int32_t line, int number) {
    report(p, line, number, true);
}

void splitWarning(Parser& p, std::int32_t line) {
    report(p, line, kPasTextSplit, false, kPascalTextLimit);
}

void includeWarning(Parser& p, std::int32_t line, int missing) {
    char part[400] = "";
    p.env->message(p.env->context, missing, part, sizeof part);
    report(p, line, kPasPartInInclude, false, part, p.w->include);
}

const char* segmentName(Parser& p, int number) {
    const int n = p.env->message(p.env->context, number, p.w->header, 256);
    if (n <= 0) p.w->header[0] = 0;
    return p.w->header;
}

// ---------------------------------------------------------------------------

namespace {

// Input

// Makes characters up to pos + k available; false at the end of the file.
bool fill(Parser& p, int k) {
    while (p.pos + k >= p.len && !p.eof) {
        if (p.pos > 0) {
            std::memmove(p.w->input, p.w->input + p.pos, static_cast<std::size_t>(p.len - p.pos));
            p.base += p.pos;
            p.len -= p.pos;
            p.pos = 0;
        }
        int room = kPascalBufferSize - p.len;
        if (room > kPascalBlockSize) room = kPascalBlockSize;
        char* at = p.w->input + p.len;
        const std::int32_t n = p.env->read(p.env->context, at, room);
        if (n <= 0) {
            p.eof = true;
            break;
        }
        std::int32_t got = n > room ? room : n;
        if (const void* z = std::memchr(at, 26, static_cast<std::size_t>(got))) {
            got = static_cast<std::int32_t>(static_cast<const char*>(z) - at);
            p.eof = true;  // Ctrl-Z ends the file
        }
        if (got > 0 && p.block->charSet == kParseCharSetOem && p.env->oemToAnsi)
            p.env->oemToAnsi(p.env->context, at, got);
        p.len += got;
    }
    return p.pos + k < p.len;
}

[[gnu::always_inline]] inline int peek(Parser& p, int k = 0) {
    if (p.pos + k >= p.len && !fill(p, k)) return -1;
    return static_cast<unsigned char>(p.w->input[p.pos + k]);
}

// Consumes one character that is not a line end.
[[gnu::always_inline]] inline void step(Parser& p) {
    const char c = p.w->input[p.pos++];
    p.column = c == '\t' ? (p.column / 8 + 1) * 8 : p.column + 1;
}

// Consumes a line end (CR, LF or CR LF) at the current position.
void stepLine(Parser& p) {
    const int c = peek(p);
    ++p.pos;
    if (c == '\r' && peek(p) == '\n') ++p.pos;
    ++p.line;
    p.column = 0;
}

inline bool isLineEnd(int c) {
    return c == '\r' || c == '\n';
}

inline bool isLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

inline bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

inline bool isHex(int c) {
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

// ---------------------------------------------------------------------------
// Lexer

namespace {

inline Word findWord(const char* text, int n) {
    if (n < 2 || n > 14) return wNone;
    char u[16];
    for (int i = 0; i < n; ++i) u[i] = upper(text[i]);
    u[n] = 0;
    const std::uint32_t key = wordKey(u, n);
    for (int i = 0; i < wCount; ++i)
        if (kWordKeys.key[i] == key && std::memcmp(kReservedWords[i], u, static_cast<std::size_t>(n)) == 0)
            return static_cast<Word>(i);
    return wNone;
}

}  // namespace

Word lookupWord(const char* text, int n) {
    return findWord(text, n);
}

namespace {

// A brace comment at the current position that is a structure comment:
// the character after "{ECComment:", or 0.
int structureComment(Parser& p) {
    const int n = p.o.ecLength;
    if (n <= 0 || peek(p, n + 2) < 0) return 0;
    for (int i = 0; i < n; ++i)
        if (upper(static_cast<char>(peek(p, 1 + i))) != upper(p.o.ecComment[i])) return 0;
    if (peek(p, n + 1) != ':') return 0;
    return peek(p, n + 2);
}

// Skips a comment at the current position ({ or (* ), adding its text to
// `gap` (null: dropped). Reports a comment not closed before the end.
void skipComment(Parser& p, TextBuffer* gap) {
    const std::int32_t startLine = p.line;
    bool paren = peek(p) == '(';
    auto keep = [&](int c) {
        if (gap) gap->add(static_cast<char>(c));
    };
    keep(peek(p));
    step(p);
    if (paren) {
        keep('*');
        step(p);
    }
    const bool directive = peek(p) == '$';
    const bool nests = p.o.nested && !directive;
    int depth = 1;
    for (;;) {
        const int c = peek(p);
        if (c < 0) {
            error(p, startLine, kPasCommentEof);
            return;
        }
        if (isLineEnd(c)) {
            keep('\n');
            stepLine(p);
            continue;
        }
        if (c == '}' && (!paren || p.o.mixed)) {
            keep(c);
            step(p);
            if (--depth == 0) return;
            continue;
        }
        if (c == '*' && peek(p, 1) == ')' && (paren || p.o.mixed)) {
            keep('*');
            keep(')');
            step(p);
            step(p);
            if (--depth == 0) return;
            continue;
        }
        if (nests && c == '{' && (!paren || p.o.mixed)) {
            ++depth;
        } else if (nests && c == '(' && peek(p, 1) == '*' && (paren || p.o.mixed)) {
            ++depth;
            keep('(');
            step(p);
            keep('*');
            step(p);
            continue;
        }
        keep(c);
        step(p);
    }
}

// ---------------------------------------------------------------------------
// Conditional compilation

enum class Dir { Other, If, Else, ElseIf, End, Define, Undef, Setc, Mode, Include };

// A compiler directive: its kind and its argument (blanks around dropped).
struct Directive {
    Dir kind = Dir::Other;
    char name[16] = "";
    const char* arg = "";
    int argLength = 0;
};

// The directive that `comment` (a whole comment, n characters) holds.
Directive parseDirective(const char* comment, int n) {
    Directive d;
    int i = comment[0] == '{' ? 1 : 2;
    int end = comment[0] == '{' ? n - 1 : n - 2;
    if (i >= n || comment[i] != '$') return d;
    ++i;
    int k = 0;
    while (i < end && (isLetter(static_cast<unsigned char>(comment[i])) || isDigit(comment[i]))) {
        if (k < 15) d.name[k++] = upper(comment[i]);
        ++i;
    }
    d.name[k] = 0;
    while (i < end && (comment[i] == ' ' || comment[i] == '\t' || comment[i] == '\n')) ++i;
    while (end > i && (comment[end - 1] == ' ' || comment[end - 1] == '\t' || comment[end - 1] == '\n'))
        --end;
    d.arg = comment + i;
    d.argLength = end > i ? end - i : 0;
    static constexpr struct {
        const char* name;
        Dir kind;
    } kKinds[] = {
        {"IFDEF", Dir::If},      {"IFNDEF", Dir::If},      {"IF", Dir::If},           {"IFC", Dir::If},
        {"IFOPT", Dir::If},      {"ELSE", Dir::Else},      {"ELSEC", Dir::Else},      {"ELSEIF", Dir::ElseIf},
        {"ELIFC", Dir::ElseIf},  {"ENDIF", Dir::End},      {"ENDC", Dir::End},        {"IFEND", Dir::End},
        {"DEFINE", Dir::Define}, {"DEFINEC", Dir::Define}, {"UNDEF", Dir::Undef},     {"SETC", Dir::Setc},
        {"MODE", Dir::Mode},     {"I", Dir::Include},      {"INCLUDE", Dir::Include},
    };
    for (const auto& kind : kKinds)
        if (!std::strcmp(d.name, kind.name)) d.kind = kind.kind;
    return d;
}

// The symbol table: a defined symbol has a value (1 for {$define}).
WorkArea::Symbol* findSymbol(Parser& p, const char* name, int n) {
    for (int i = 0; i < p.symbolCount; ++i) {
        WorkArea::Symbol& s = p.w->symbols[i];
        if (static_cast<int>(std::strlen(s.name)) == n && equalNoCase(s.name, name, n)) return &s;
    }
    return nullptr;
}

void defineSymbol(Parser& p, const char* name, int n, std::int64_t value) {
    if (n <= 0 || n >= static_cast<int>(sizeof p.w->symbols[0].name)) return;
    WorkArea::Symbol* s = findSymbol(p, name, n);
    if (!s) {
        if (p.symbolCount >= static_cast<int>(sizeof p.w->symbols / sizeof p.w->symbols[0])) return;
        s = &p.w->symbols[p.symbolCount++];
        for (int i = 0; i < n; ++i) s->name[i] = upper(name[i]);
        s->name[n] = 0;
    }
    s->value = value;
}

void undefineSymbol(Parser& p, const char* name, int n) {
    WorkArea::Symbol* s = findSymbol(p, name, n);
    if (s) *s = p.w->symbols[--p.symbolCount];
}

// The expressions of {$if}, {$ifc}, {$elseif}, {$setc}: defined(X),
// defined X, undefined X, not, and, or, comparisons, numbers, TRUE, FALSE
// and symbols (their value, 0 when undefined). Anything else counts as 0:
// every alternative of a region is kept either way, only which one gives
// the structure depends on it.
struct Expression {
    Parser& p;
    const char* s;
    int n;
    int i = 0;
    int depth = 0;

    void blanks() {
        while (i < n && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n')) ++i;
    }
    // The next word (letters, digits, "_"); its length, 0 if none.
    int word(const char*& at) {
        blanks();
        at = s + i;
        int k = 0;
        while (i + k < n && (isLetter(static_cast<unsigned char>(s[i + k])) || isDigit(s[i + k]))) ++k;
        return k;
    }
    bool keyword(const char* upperText) {
        const char* at;
        const int save = i;
        const int k = word(at);
        if (k == static_cast<int>(std::strlen(upperText)) && equalNoCase(at, upperText, k)) {
            i += k;
            return true;
        }
        i = save;
        return false;
    }
    bool symbol(const char* text) {
        blanks();
        const int k = static_cast<int>(std::strlen(text));
        if (i + k <= n && !std::strncmp(s + i, text, static_cast<std::size_t>(k))) {
            i += k;
            return true;
        }
        return false;
    }
    // A symbol's name, in parentheses or not.
    bool defined() {
        const bool paren = symbol("(");
        const char* at;
        const int k = word(at);
        i += k;
        if (paren) symbol(")");
        return findSymbol(p, at, k) != nullptr;
    }
    std::int64_t primary() {
        // Nesting deeper than any real condition: the rest is not read.
        if (++depth > 64) {
            i = n;
            return 0;
        }
        const std::int64_t v = operand();
        --depth;
        return v;
    }
    std::int64_t operand() {
        if (symbol("(")) {
            const std::int64_t v = orTerm();
            symbol(")");
            return v;
        }
        if (keyword("NOT")) return !primary();
        if (keyword("DEFINED")) return defined();
        if (keyword("UNDEFINED")) return !defined();
        if (keyword("TRUE")) return 1;
        if (keyword("FALSE")) return 0;
        blanks();
        if (i < n && (isDigit(s[i]) || s[i] == '$')) {
            const bool hex = s[i] == '$';
            const int base = hex ? 16 : 10;
            constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
            std::int64_t v = 0;
            // A number too large for 64 bits counts as the largest.
            for (i += hex ? 1 : 0; i < n && (hex ? isHex(s[i]) : isDigit(s[i])); ++i) {
                const int digit = isDigit(s[i]) ? s[i] - '0' : upper(s[i]) - 'A' + 10;
                v = v > (kLargest - digit) / base ? kLargest : v * base + digit;
            }
            return v;
        }
        const char* at;
        const int k = word(at);
        if (k == 0) {
            if (i < n) ++i;  // something we do not read
            return 0;
        }
        i += k;
        if (symbol("(")) {  // declared(x), sizeof(x), ...: not known here
            for (int depth = 1; i < n && depth > 0; ++i) depth += s[i] == '(' ? 1 : s[i] == ')' ? -1 : 0;
            return 0;
        }
        const WorkArea::Symbol* found = findSymbol(p, at, k);
        return found ? found->value : 0;
    }
    std::int64_t compare() {
        const std::int64_t a = primary();
        if (symbol("<=")) return a <= primary();
        if (symbol(">=")) return a >= primary();
        if (symbol("<>")) return a != primary();
        if (symbol("=")) return a == primary();
        if (symbol("<")) return a < primary();
        if (symbol(">")) return a > primary();
        return a;
    }
    std::int64_t andTerm() {
        std::int64_t v = compare();
        while (keyword("AND")) v = compare() && v;
        return v;
    }
    std::int64_t orTerm() {
        std::int64_t v = andTerm();
        while (keyword("OR")) v = andTerm() || v;
        return v;
    }
};

// Whether the alternative a directive of kind If or ElseIf opens is taken.
bool selects(Parser& p, const Directive& d) {
    if (!std::strcmp(d.name, "IFOPT")) return false;
    Expression e{p, d.arg, d.argLength};
    if (!std::strcmp(d.name, "IFDEF")) return e.defined();
    if (!std::strcmp(d.name, "IFNDEF")) return !e.defined();
    return e.orTerm() != 0;
}

// Reads the source of alternatives not taken, as written, into `gap` up to
// the directive that ends them: with `toEnd` the region's end, otherwise
// also an alternative that is taken. Returns the kind of that directive
// (Else for an alternative taken; Other at the end of the file).
Dir skipInactive(Parser& p, TextBuffer& gap, std::int32_t openLine, bool toEnd) {
    int nest = 0;
    for (;;) {
        const int c = peek(p);
        if (c < 0) {
            error(p, openLine, kPasOpenCondition);
            return Dir::Other;
        }
        if (isLineEnd(c)) {
            gap.add('\n');
            stepLine(p);
            continue;
        }
        if (c == '{' || (c == '(' && peek(p, 1) == '*')) {
            const int start = gap.length;
            const bool isDirective = peek(p, c == '{' ? 1 : 2) == '$';
            skipComment(p, &gap);
            if (!isDirective || p.stop) continue;
            const Directive d = parseDirective(gap.data + start, gap.length - start);
            if (d.kind == Dir::If) {
                ++nest;
            } else if (d.kind == Dir::End) {
                if (nest-- == 0) return Dir::End;
            } else if (nest == 0 && !toEnd &&
                       (d.kind == Dir::Else || (d.kind == Dir::ElseIf && selects(p, d)))) {
                return Dir::Else;
            }
            continue;
        }
        if (c == '/' && peek(p, 1) == '/') {
            while (peek(p) >= 0 && !isLineEnd(peek(p))) {
                gap.add(static_cast<char>(peek(p)));
                step(p);
            }
            continue;
        }
        if (c == '\'') {
            gap.add('\'');
            step(p);
            while (peek(p) >= 0 && !isLineEnd(peek(p))) {
                const int e = peek(p);
                gap.add(static_cast<char>(e));
                step(p);
                if (e == '\'') break;
            }
            continue;
        }
        gap.add(static_cast<char>(c));
        step(p);
    }
}

// A region's depth went down in the gap of t: remember the lowest point.
void lowered(Parser& p, Token& t) {
    if (p.cond < t.condLow) {
        t.condLow = p.cond;
        t.condLowAt = t.gap.length;
    }
}

// Acts on the directive in the comment the gap of t holds from `start` on
// (begun on `line`).
void directive(Parser& p, Token& t, int start, std::int32_t line) {
    const Directive d = parseDirective(t.gap.data + start, t.gap.length - start);
    switch (d.kind) {
        case Dir::If:
            if (selects(p, d)) {
                ++p.cond;
            } else if (skipInactive(p, t.gap, line, false) == Dir::Else) {
                ++p.cond;
                t.condAlt = true;
            }
            break;
        case Dir::Else:
        case Dir::ElseIf:
            // The alternative followed ends: the others are text.
            if (p.cond == 0) break;
            skipInactive(p, t.gap, line, true);
            --p.cond;
            t.condAlt = true;
            lowered(p, t);
            break;
        case Dir::End:
            if (p.cond == 0) break;
            --p.cond;
            lowered(p, t);
            break;
        case Dir::Define:
        case Dir::Undef:
        case Dir::Setc: {
            Expression e{p, d.arg, d.argLength};
            const char* name;
            const int k = e.word(name);
            e.i += k;
            if (d.kind == Dir::Undef)
                undefineSymbol(p, name, k);
            else if (e.symbol(":=") || (d.kind == Dir::Setc && e.symbol("=")))
                defineSymbol(p, name, k, e.orTerm());
            else
                defineSymbol(p, name, k, 1);
            break;
        }
        case Dir::Mode:
            // The dialect decides whether comments nest.
            if (d.argLength >= 6 && equalNoCase(d.arg, "MACPAS", 6)) p.macPascal = true;
            if ((d.argLength >= 6 && equalNoCase(d.arg, "OBJFPC", 6)) ||
                (d.argLength == 3 && equalNoCase(d.arg, "FPC", 3)))
                p.o.nested = true;
            if ((d.argLength >= 6 && equalNoCase(d.arg, "DELPHI", 6)) ||
                (d.argLength == 2 && equalNoCase(d.arg, "TP", 2)))
                p.o.nested = false;
            break;
        case Dir::Include:
            // {$I+} and {$I-} are switches, {$I %DATE%} a text.
            if (d.argLength > 0 && d.arg[0] != '+' && d.arg[0] != '-' && d.arg[0] != '%') {
                std::snprintf(p.w->include, sizeof p.w->include, "%.*s", d.argLength, d.arg);
                p.includeLine = line;
            }
            break;
        case Dir::Other:
            break;
    }
}

// The symbols of the Defines option: names separated by ";", "," or
// blanks, each with "=value" where it has one.
void defineOptionSymbols(Parser& p) {
    const char* s = p.o.defines;
    while (*s) {
        while (*s == ';' || *s == ',' || *s == ' ' || *s == '\t') ++s;
        const char* name = s;
        while (*s && *s != ';' && *s != ',' && *s != ' ' && *s != '\t' && *s != '=') ++s;
        const int k = static_cast<int>(s - name);
        std::int64_t value = 1;
        if (*s == '=') {
            const char* v = ++s;
            while (*s && *s != ';' && *s != ',' && *s != ' ' && *s != '\t') ++s;
            Expression e{p, v, static_cast<int>(s - v)};
            value = e.orTerm();
        }
        defineSymbol(p, name, k, value);
    }
}

// Reads the gap before the next token into t.
void readGap(Parser& p, Token& t) {
    t.gap.clear();
    t.gapStart = 0;
    t.gapSameLine = 0;
    t.gapComment = false;
    t.condLow = p.cond;
    t.condLowAt = 0;
    t.condAlt = false;
    bool sameLine = true;
    for (;;) {
        const int c = peek(p);
        if (c < 0) return;
        if (isLineEnd(c)) {
            t.gap.add('\n');
            stepLine(p);
            sameLine = false;
            continue;
        }
        if (c == ' ' || c == '\t' || (c < 32 && c != 26)) {
            t.gap.add(static_cast<char>(c));
            step(p);
            continue;
        }
        const bool brace = c == '{';
        const bool paren = c == '(' && peek(p, 1) == '*';
        const bool slashes = c == '/' && peek(p, 1) == '/';
        if (!brace && !paren && !slashes) return;
        if (brace) {
            const int kind = structureComment(p);
            if (kind == '(' || kind == ')') {
                // Dropped with the rest of its line.
                skipComment(p, nullptr);
                while (peek(p) >= 0 && !isLineEnd(peek(p))) step(p);
                continue;
            }
        }
        if (!t.gapComment) {
            t.gapComment = true;
            t.gapLine = p.line;
            t.gapColumn = p.column;
        }
        if (slashes) {
            while (peek(p) >= 0 && !isLineEnd(peek(p))) {
                t.gap.add(static_cast<char>(peek(p)));
                step(p);
            }
        } else {
            const int start = t.gap.length;
            const std::int32_t line = p.line;
            const bool isDirective = peek(p, brace ? 1 : 2) == '$';
            skipComment(p, &t.gap);
            if (isDirective && !p.stop) directive(p, t, start, line);
        }
        if (sameLine) t.gapSameLine = t.gap.length;
    }
}

// Adds the character at the current position to the token text; reports a
// token that outgrows its buffer once.
[[gnu::always_inline]] inline void take(Parser& p, Token& t, bool& tooLong) {
    if (t.text.length < t.text.capacity) {
        t.text.data[t.text.length++] = p.w->input[p.pos];
    } else if (!tooLong) {
        tooLong = true;
        error(p, t.line, kPasTokenTooLong);
    }
    step(p);
}

}  // namespace

void readToken(Parser& p, Token& t) {
    readGap(p, t);
    t.cond = p.cond;
    t.text.clear();
    t.word = wNone;
    t.line = p.line;
    t.column = p.column;
    t.offset = offset(p);
    const int c = peek(p);
    bool tooLong = false;
    if (c < 0) {
        t.kind = Tok::Eof;
    } else if (isLetter(c) || (c == '&' && isLetter(peek(p, 1)))) {
        // "&begin" and a word after "." (a field, "x.end") or "@" (an
        // address, an assembler label "@End") are no reserved words.
        t.kind = Tok::Word;
        take(p, t, tooLong);
        while (isLetter(peek(p)) || isDigit(peek(p))) take(p, t, tooLong);
        if (c != '&' && !p.afterDot) t.word = findWord(t.text.data, t.text.length);
    } else if (isDigit(c) || (c == '$' && isHex(peek(p, 1))) ||
               ((c == '&' || c == '%') && isDigit(peek(p, 1)))) {
        // Digits (hexadecimal after "$"), a fraction, an exponent; a letter
        // after a number begins the next token ("0then").
        t.kind = Tok::Number;
        const bool hex = c == '$';
        take(p, t, tooLong);
        for (;;) {
            const int d = peek(p);
            const int e = peek(p, 1);
            if (isDigit(d) || (hex && isHex(d))) {
                take(p, t, tooLong);
            } else if (!hex && (d == 'e' || d == 'E') &&
                       (isDigit(e) || ((e == '+' || e == '-') && isDigit(peek(p, 2))))) {
                take(p, t, tooLong);
                if (!isDigit(e)) take(p, t, tooLong);
            } else if (d == '.' && isDigit(e)) {
                take(p, t, tooLong);
            } else {
                break;
            }
        }
    } else if (c == '\'' || c == '#') {
        t.kind = Tok::String;
        // A run of quoted parts and character codes: 'a'#13'b'.
        for (;;) {
            const int d = peek(p);
            if (d == '#') {
                take(p, t, tooLong);
                while (peek(p) == '$' || isHex(peek(p))) take(p, t, tooLong);
                continue;
            }
            if (d != '\'') break;
            const std::int32_t startLine = p.line;
            take(p, t, tooLong);
            for (;;) {
                const int e = peek(p);
                if (e < 0) {
                    error(p, startLine, kPasStringEof);
                    break;
                }
                if (isLineEnd(e)) {
                    error(p, startLine, kPasStringExceedsLine);
                    break;
                }
                take(p, t, tooLong);
                if (e == '\'') {
                    if (peek(p) != '\'') break;
                    take(p, t, tooLong);
                }
            }
            if (isLineEnd(peek(p)) || peek(p) < 0) break;
        }
    } else {
        t.kind = Tok::Symbol;
        take(p, t, tooLong);
        const int d = peek(p);
        if ((c == ':' && d == '=') || (c == '.' && d == '.') || (c == '<' && (d == '=' || d == '>')) ||
            (c == '>' && d == '=') || (c == '(' && d == '.') || (c == '.' && d == ')'))
            take(p, t, tooLong);
        if (t.text.length == 1 && c == '(') {
            ++p.parens;
        } else if (t.text.length == 1 && c == ')') {
            if (p.parens == 0)
                error(p, t.line, kPasCloseBracket);
            else
                --p.parens;
        }
    }
    t.text.data[t.text.length] = 0;
    p.afterDot = isSymbol(t, '.') || isSymbol(t, '@');
    t.end = offset(p);
    t.endLine = p.line;
}

// The token `k` places ahead of the current one.
Token& ahead(Parser& p, int k) {
    while (p.count <= k) {
        Token& t = p.tok[(p.head + p.count) % kLookahead];
        if (p.stop)
            t.kind = Tok::Eof, t.word = wNone, t.text.clear(), t.gap.clear(), t.gapComment = false,
            t.gapStart = 0, t.cond = t.condLow = p.cond, t.condLowAt = 0;
        else
            readToken(p, t);
        ++p.count;
    }
    return p.tok[(p.head + k) % kLookahead];
}

void advance(Parser& p) {
    Token& t = cur(p);
    if (t.kind != Tok::Eof) {
        p.lastEnd = t.end;
        p.lastLine = t.endLine;
        p.lastSemicolon = isSymbol(t, ';');
        p.lastCond = t.cond;
    }
    p.head = (p.head + 1) % kLookahead;
    --p.count;
    ahead(p, 0);
    if (p.stop) {
        // Whatever was read ahead is dropped.
        Token& n = cur(p);
        n.kind = Tok::Eof;
        n.word = wNone;
    }
}

// ---------------------------------------------------------------------------
// The file

// A version structure comment at the head of the file: skips it, the rest
// of its line and the following line. Returns its line, or 0.
std::int32_t versionComment(Parser& p) {
    // A UTF-8 byte order mark is no text.
    if (peek(p) == 0xEF && peek(p, 1) == 0xBB && peek(p, 2) == 0xBF)
        for (int i = 0; i < 3; ++i) ++p.pos;
    // Blanks and empty lines before it.
    while (peek(p) == ' ' || peek(p) == '\t' || isLineEnd(peek(p))) {
        if (isLineEnd(peek(p)))
            stepLine(p);
        else
            step(p);
    }
    if (peek(p) != '{') return 0;
    const int kind = structureComment(p);
    if (kind != 'V' && kind != 'v') return 0;
    const std::int32_t line = p.line;
    skipComment(p, nullptr);
    for (int skipped = 0; skipped < 2 && peek(p) >= 0; ++skipped) {
        while (peek(p) >= 0 && !isLineEnd(peek(p))) step(p);
        if (isLineEnd(peek(p))) stepLine(p);
    }
    return line;
}

bool prepare(Parser& p, ParserBlock* block, const PascalEnvironment& env) {
    p.block = block;
    p.env = &env;
    p.w = static_cast<WorkArea*>(allocate(p, sizeof(WorkArea)));
    if (!p.w) return false;
    readOptions(*block, env, p.o);
    p.functions = block->interfaceVersion >= kFirstFunctionVersion;
    p.store[Parser::kStoreText] = {p.w->text, kPascalTextLimit, false};
    p.store[Parser::kStoreOut] = {p.w->out, kPascalTextLimit, false};
    for (int i = 0; i < kLookahead; ++i) {
        p.store[Parser::kStoreGap + i] = {p.w->tokenGap[i], kPascalTextLimit, false};
        p.tok[i].text = TextBuffer{p.w->tokenText[i], 0, kPascalTokenLimit};
        p.tok[i].gap = TextBuffer{p.w->tokenGap[i], 0, kPascalTextLimit, &p, Parser::kStoreGap + i};
        p.tok[i].kind = Tok::Eof;
    }
    defineOptionSymbols(p);
    return true;
}

void finish(Parser& p) {
    for (Parser::Store& s : p.store)
        if (s.heap) release(p, s.data);
    release(p, p.log);
    release(p, p.w);
    p.log = nullptr;
    p.w = nullptr;
}

}  // namespace pascal_internal

const char* pascalOptionKey(PascalOption option) {
    const int i = static_cast<int>(option);
    return i >= 0 && i < static_cast<int>(PascalOption::Count) ? pascal_internal::kOptionKeys[i] : "";
}
