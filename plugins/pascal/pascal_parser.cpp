// korrin-pas: reads Pascal/Delphi source token by token and describes the
// structures it recognises through the callbacks of the parameter block.
//
// Layers, bottom up:
//   Input    the two-half buffer the file is read into, block by block
//            (OEM blocks converted), Ctrl-Z ending the file.
//   Lexer    tokens with the whitespace and comments before each (its gap);
//            structure comments are dropped, comments are kept as text.
//   Writer   the callbacks, with a stack of open child sequences so that an
//            empty one gets its Dummy, and a log that can hold back a part of
//            the tree until its segment header is known.
//   Parser   recursive descent over the structure keywords; everything else
//            is collected as text, line by line as written.
#include "plugins/pascal/pascal_parser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool g_busy = false;  // korrin_parse is running: a nested call is refused

// ---------------------------------------------------------------------------
// Reserved words, in table order.

enum Word : int {
    wNone = -1,
    wProgram,
    wUses,
    wProcedure,
    wConst,
    wType,
    wVar,
    wBegin,
    wEnd,
    wIf,
    wThen,
    wElse,
    wWhile,
    wDo,
    wFunction,
    wFor,
    wRepeat,
    wUntil,
    wWith,
    wUnit,
    wInterface,
    wImplementation,
    wCase,
    wOf,
    wInline,
    wException,
    wPackage,
    wObject,
    wLibrary,
    wExports,
    wBody,
    wConstructor,
    wDestructor,
    wRecord,
    wExport,
    wInterrupt,
    wAssembler,
    wFar,
    wLabel,
    wOtherwise,
    wAnd,
    wOr,
    wNear,
    wAsm,
    wClass,
    wTry,
    wExcept,
    wFinally,
    wRegister,
    wPascal,
    wCdecl,
    wStdcall,
    wSafecall,
    wDispinterface,
    wOn,
    wInitialization,
    wFinalization,
    wCount
};

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

using WordSet = std::uint64_t;
constexpr WordSet bit(Word w) {
    return WordSet{1} << w;
}
template <typename... W>
constexpr WordSet setOf(W... words) {
    return (bit(words) | ...);
}

// Words that end the text of a statement (they begin or close a structure).
constexpr WordSet kStatementEnds =
    setOf(wEnd, wElse, wUntil, wExcept, wFinally, wThen, wDo, wOf, wIf, wWhile, wFor, wRepeat, wCase, wWith,
          wBegin, wTry, wAsm, wProcedure, wFunction, wConstructor, wDestructor, wConst, wType, wVar, wLabel,
          wUses, wProgram, wUnit, wLibrary, wPackage, wInterface, wImplementation, wInitialization,
          wFinalization, wOtherwise);
// Words that end a heading or the text between a structure keyword and its
// partner (FOR ... DO): the same without the declaration words, which may
// stand in parameter lists and loop heads.
constexpr WordSet kHeadEnds = kStatementEnds & ~setOf(wConst, wType, wVar, wLabel);
// Words that close or continue a structure: met where nothing expects them,
// they are misplaced.
constexpr WordSet kClosers = setOf(wEnd, wElse, wUntil, wExcept, wFinally, wThen, wDo, wOf, wOtherwise);
// Words that end a declaration section at nesting depth 0.
constexpr WordSet kSectionEnds =
    setOf(wBegin, wConst, wType, wVar, wLabel, wUses, wProcedure, wFunction, wConstructor, wDestructor,
          wImplementation, wInterface, wInitialization, wFinalization, wExports, wEnd, wProgram, wUnit,
          wLibrary, wPackage, wIf, wWhile, wFor, wRepeat, wCase, wWith, wTry, wInline);
// Words an enclosing structure may wait for (see Parser::expected).
constexpr WordSet kExpectable = kClosers | setOf(wImplementation, wInitialization, wFinalization);
constexpr WordSet kRoutineWords = setOf(wProcedure, wFunction, wConstructor, wDestructor);

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
};
static_assert(sizeof kOptionKeys / sizeof kOptionKeys[0] == static_cast<int>(PascalOption::Count));

constexpr std::uint32_t kFirstFunctionVersion = 10005;  // editors before it have no Function construct
constexpr std::uint32_t kFirstConfigVersion = 10002;    // options from the language configuration

// Construct codes sent.
constexpr std::int32_t kIf = 3, kWhile = 4, kLevel = 14, kSelector = 16, kSelectorBranch = 17, kFor = 18,
                       kRepeat = 19, kProcedure = 48, kFrame = 51, kFunction = 77;
// Slot codes.
constexpr std::int32_t kSlotThen = 2, kSlotElse = 3, kSlotBody = 4, kSlotBranches = 5, kSlotRest = 6,
                       kSlotBranchBody = 7, kSlotCondition = 8, kSlotHead = 9, kSlotFooter = 18;

inline char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool equalNoCase(const char* a, const char* b, int n) {
    for (int i = 0; i < n; ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// ---------------------------------------------------------------------------
// Options

struct Options {
    bool pushVar = false, pushConst = false, pushType = false, pushProcedureBody = false,
         pushFunctionBody = false, pushInterface = false, pushImplementation = false,
         pushInitialization = false;
    bool nested = true, mixed = true, delphi = false, exceptionToken = true;
    char ecComment[128] = "Korrin";
    int ecLength = 6;
};

// A boolean as the profile rules read it: yes/true/1, no/false/0.
bool readBoolean(const PascalEnvironment& env, const char* path, PascalOption option, bool fallback) {
    char value[20] = "";
    if (env.option(env.context, path, pascalOptionKey(option), value, sizeof value) <= 0) return fallback;
    for (char& c : value) c = upper(c);
    if (!std::strcmp(value, "YES") || !std::strcmp(value, "TRUE") || !std::strcmp(value, "1")) return true;
    if (!std::strcmp(value, "NO") || !std::strcmp(value, "FALSE") || !std::strcmp(value, "0")) return false;
    return fallback;
}

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
}

void clearPushDown(Options& o) {
    o.pushVar = o.pushConst = o.pushType = o.pushProcedureBody = o.pushFunctionBody = o.pushInterface =
        o.pushImplementation = o.pushInitialization = false;
}

// ---------------------------------------------------------------------------
// Buffers of the work area

// A text being collected: line ends as '\n', cut at kPascalTextLimit.
struct TextBuffer {
    char* data;
    int length;
    int capacity;
    void clear() { length = 0; }
    void add(char c) {
        if (length < capacity) data[length++] = c;
    }
    void add(const char* s, int n) {
        if (n > capacity - length) n = capacity - length;
        if (n > 0) {
            std::memcpy(data + length, s, static_cast<std::size_t>(n));
            length += n;
        }
    }
};

enum class Tok : std::uint8_t { Eof, Word, Number, String, Symbol };

struct Token {
    Tok kind;
    Word word;  // the reserved word it spells (before the conditional rules), or wNone
    TextBuffer text;
    std::int32_t line, column;
    std::int64_t offset, end;  // byte offsets in the file: first character, after the last
    std::int32_t endLine;
    // The gap before the token: whitespace and comments, line ends as '\n'.
    TextBuffer gap;
    int gapStart;                     // characters of the gap already taken
    int gapSameLine;                  // end of the comments that begin on the line the gap begins on
    bool gapComment;                  // the gap holds a comment
    std::int32_t gapLine, gapColumn;  // where its first comment begins
};

constexpr int kLookahead = 3;

// The log of held-back callbacks (see Writer).
enum class LogOp : std::uint8_t { Element, Open, Close, LevelStart, LevelEnd };

struct SeqFrame {
    std::int32_t owner, edge;
    std::int32_t count;  // elements sent into it
    bool level;          // the content sequence of a level opened here
    std::int32_t levelPosition;
    std::int64_t sourceStart;
    std::int32_t line;
};

struct WorkArea {
    char input[kPascalBufferSize];
    char tokenText[kLookahead][kPascalTokenLimit + 1];
    char tokenGap[kLookahead][kPascalTextLimit + 1];
    char text[kPascalTextLimit + 1];    // the text being collected
    char out[kPascalTextLimit + 1];     // a text as it is sent
    char header[kPascalTextLimit + 1];  // a segment header
    char message[512];
    SeqFrame frames[kPascalMaxNesting * 4 + 16];
};

// ---------------------------------------------------------------------------
// The parser state

struct Parser {
    ParserBlock* block;
    const PascalEnvironment* env;
    WorkArea* w;
    Options o;
    int language;            // for the segment names (messages come translated from env.message)
    bool generated = false;  // the file begins with a version structure comment
    bool functions = true;   // the editor knows the Function construct

    // Input
    int pos = 0, len = 0;
    std::int64_t base = 0;  // file offset of input[0]
    bool eof = false;
    std::int32_t line = 1, column = 0;
    int parens = 0;  // open parentheses seen by the lexer

    // Tokens
    Token tok[kLookahead];
    int head = 0, count = 0;
    bool inHeading = false;  // a procedure or function heading is read
    std::int64_t lastEnd = 0;
    std::int32_t lastLine = 1;
    bool lastSemicolon = false;  // the token taken last was ";"

    // Writer
    int depth = 0;  // frames in use
    char* log = nullptr;
    std::size_t logLength = 0, logCapacity = 0;
    bool logging = false;

    // Recursion of the parser
    int nesting = 0;
    WordSet expected = 0;  // closing words some enclosing structure waits for

    // Outcome
    bool stop = false;
    bool overflow = false;
    bool outOfMemory = false;
    bool writeFailed = false;
    std::uint32_t errors = 0;
};

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

void error(Parser& p, std::int32_t line, int number) {
    if (p.stop) return;
    char text[400] = "";
    char format[64] = "";
    p.env->message(p.env->context, number, text, sizeof text);
    if (p.env->message(p.env->context, kPasErrorLine, format, sizeof format) <= 0)
        std::snprintf(format, sizeof format, "Line %%d: Error: %%s");
    // The format is ours: "%d" then "%s".
    std::snprintf(p.w->message, sizeof p.w->message, format, static_cast<int>(line), text);
    ++p.errors;
    if (p.block->errorCounter) ++*p.block->errorCounter;
    if (p.block->parseError) p.block->parseError(line, p.w->message, 1);
}

const char* segmentName(Parser& p, int number) {
    const int n = p.env->message(p.env->context, number, p.w->header, 256);
    if (n <= 0) p.w->header[0] = 0;
    return p.w->header;
}

// ---------------------------------------------------------------------------
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

inline int peek(Parser& p, int k = 0) {
    if (p.pos + k >= p.len && !fill(p, k)) return -1;
    return static_cast<unsigned char>(p.w->input[p.pos + k]);
}

inline std::int64_t offset(const Parser& p) {
    return p.base + p.pos;
}

// Consumes one character that is not a line end.
inline void step(Parser& p) {
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

// ---------------------------------------------------------------------------
// Lexer

Word lookupWord(const char* text, int n) {
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

// Reads the gap before the next token into t.
void readGap(Parser& p, Token& t) {
    t.gap.clear();
    t.gapStart = 0;
    t.gapSameLine = 0;
    t.gapComment = false;
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
            skipComment(p, &t.gap);
        }
        if (sameLine) t.gapSameLine = t.gap.length;
    }
}

// Adds the character at the current position to the token text; reports a
// token that outgrows its buffer once.
inline void take(Parser& p, Token& t, bool& tooLong) {
    if (t.text.length < t.text.capacity) {
        t.text.data[t.text.length++] = p.w->input[p.pos];
    } else if (!tooLong) {
        tooLong = true;
        error(p, t.line, kPasTokenTooLong);
    }
    step(p);
}

void readToken(Parser& p, Token& t) {
    readGap(p, t);
    t.text.clear();
    t.word = wNone;
    t.line = p.line;
    t.column = p.column;
    t.offset = offset(p);
    const int c = peek(p);
    bool tooLong = false;
    if (c < 0) {
        t.kind = Tok::Eof;
    } else if (isLetter(c)) {
        t.kind = Tok::Word;
        while (isLetter(peek(p)) || isDigit(peek(p))) take(p, t, tooLong);
        t.word = lookupWord(t.text.data, t.text.length);
    } else if (isDigit(c) || (c == '$' && isHex(peek(p, 1))) ||
               ((c == '&' || c == '%') && isDigit(peek(p, 1)))) {
        t.kind = Tok::Number;
        take(p, t, tooLong);
        for (;;) {
            const int d = peek(p);
            if (isLetter(d) || isDigit(d)) {
                const bool exponent = (d == 'e' || d == 'E') && (peek(p, 1) == '+' || peek(p, 1) == '-');
                take(p, t, tooLong);
                if (exponent) take(p, t, tooLong);
            } else if (d == '.' && isDigit(peek(p, 1))) {
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
    t.end = offset(p);
    t.endLine = p.line;
}

inline bool isSymbol(const Token& t, char c) {
    return t.kind == Tok::Symbol && t.text.length == 1 && t.text.data[0] == c;
}

Token& cur(Parser& p) {
    return p.tok[p.head];
}

// The token `k` places ahead of the current one.
Token& ahead(Parser& p, int k) {
    while (p.count <= k) {
        Token& t = p.tok[(p.head + p.count) % kLookahead];
        if (p.stop)
            t.kind = Tok::Eof, t.word = wNone, t.text.clear(), t.gap.clear(), t.gapComment = false,
            t.gapStart = 0;
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

// The reserved word a token stands for here.
Word word(const Parser& p, const Token& t) {
    if (t.kind != Tok::Word) return wNone;
    switch (t.word) {
        case wException:
            return p.o.exceptionToken ? wException : wNone;
        case wRegister:
        case wPascal:
        case wCdecl:
        case wStdcall:
        case wSafecall:
            return p.o.delphi && p.inHeading ? t.word : wNone;
        default:
            return t.word;
    }
}

inline bool in(const Parser& p, const Token& t, WordSet set) {
    const Word w = word(p, t);
    return w != wNone && (set & bit(w));
}

inline bool isWord(const Parser& p, const Token& t, Word w) {
    return word(p, t) == w;
}

inline bool isEof(const Token& t) {
    return t.kind == Tok::Eof;
}

// An identifier that is no reserved word here.
bool isName(const Parser& p, const Token& t) {
    return t.kind == Tok::Word && word(p, t) == wNone;
}

bool ordinaryWordIs(const Token& t, const char* upperText) {
    const int n = static_cast<int>(std::strlen(upperText));
    return t.kind == Tok::Word && t.text.length == n && equalNoCase(t.text.data, upperText, n);
}

// ---------------------------------------------------------------------------
// Texts

// The gap's comments, from the first one on (whitespace before dropped).
void gapComments(const Token& t, int& from, int& to) {
    from = t.gapStart;
    to = t.gap.length;
    while (from < to && (t.gap.data[from] == ' ' || t.gap.data[from] == '\t' || t.gap.data[from] == '\n' ||
                         static_cast<unsigned char>(t.gap.data[from]) < 32))
        ++from;
    while (to > from &&
           (t.gap.data[to - 1] == ' ' || t.gap.data[to - 1] == '\t' || t.gap.data[to - 1] == '\n'))
        --to;
}

bool hasComment(const Token& t) {
    if (!t.gapComment) return false;
    int from, to;
    gapComments(t, from, to);
    return from < to;
}

struct Collect {
    std::int32_t line;    // of its first character
    std::int32_t column;  // visual column of its first character
    bool started;
};

// The collector's buffer lives in the work area.
TextBuffer textBuffer(Parser& p) {
    return TextBuffer{p.w->text, 0, kPascalTextLimit};
}

// Adds a token (with the gap before it) to the collected text: the first
// token brings only the comments of its gap.
void addToken(Parser& p, TextBuffer& text, Collect& c, Token& t, bool withToken = true) {
    if (!c.started) {
        int from, to;
        gapComments(t, from, to);
        if (t.gapComment && from < to) {
            c.line = t.gapLine;
            c.column = t.gapColumn;
            // The comments and what lies between them and the token.
            text.add(t.gap.data + from, t.gap.length - from);
        } else {
            c.line = t.line;
            c.column = t.column;
        }
        c.started = true;
    } else {
        text.add(t.gap.data + t.gapStart, t.gap.length - t.gapStart);
    }
    t.gapStart = t.gap.length;
    t.gapComment = false;
    if (withToken) text.add(t.text.data, t.text.length);
    static_cast<void>(p);
}

// Adds only the comments of the gap before `t` (the token itself stays).
void addGapComments(Parser& p, TextBuffer& text, Collect& c, Token& t) {
    if (!hasComment(t)) return;
    if (!c.started) {
        addToken(p, text, c, t, false);
        return;
    }
    int from, to;
    gapComments(t, from, to);
    text.add(t.gap.data + t.gapStart, to - t.gapStart);
    t.gapStart = t.gap.length;
    t.gapComment = false;
}

// After a text that ended with a token on some line: comments that begin on
// that line still belong to it.
void addSameLineComments(Parser& p, TextBuffer& text, Collect& c) {
    Token& t = ahead(p, 0);
    if (!c.started || t.gapStart != 0 || t.gapSameLine == 0) return;
    text.add(t.gap.data, t.gapSameLine);
    t.gapStart = t.gapSameLine;
    // Is any comment left in the gap?
    int from, to;
    gapComments(t, from, to);
    bool comment = false;
    for (int i = from; i < to; ++i)
        if (t.gap.data[i] != ' ' && t.gap.data[i] != '\t' && t.gap.data[i] != '\n') comment = true;
    t.gapComment = comment;
    if (comment) {
        // Where the remaining comment begins: the gap begins on the line of
        // the token just taken.
        std::int32_t line = p.lastLine;
        for (int i = 0; i < from; ++i)
            if (t.gap.data[i] == '\n') ++line;
        t.gapLine = line;
        int column = 0;
        for (int i = from - 1; i >= 0 && t.gap.data[i] != '\n'; --i) ++column;
        t.gapColumn = column;
    }
}

// The collected text as it is sent: CR LF between lines, trailing blanks
// removed, and the lines after the first lose the indentation of the first.
const char* finishText(Parser& p, const TextBuffer& text, const Collect& c) {
    char* out = p.w->out;
    int n = 0;
    const int limit = kPascalTextLimit;
    int i = 0;
    bool first = true;
    while (i <= text.length) {
        int e = i;
        while (e < text.length && text.data[e] != '\n') ++e;
        int b = i;
        if (!first) {
            int col = 0;
            while (b < e && (text.data[b] == ' ' || text.data[b] == '\t')) {
                const int next = text.data[b] == '\t' ? (col / 8 + 1) * 8 : col + 1;
                if (next > c.column) break;
                col = next;
                ++b;
            }
        }
        int t = e;
        while (t > b && (text.data[t - 1] == ' ' || text.data[t - 1] == '\t')) --t;
        if (!first) {
            if (n + 2 > limit) break;
            out[n++] = '\r';
            out[n++] = '\n';
        }
        int m = t - b;
        if (m > limit - n) m = limit - n;
        std::memcpy(out + n, text.data + b, static_cast<std::size_t>(m > 0 ? m : 0));
        n += m > 0 ? m : 0;
        first = false;
        i = e + 1;
    }
    // Trailing empty lines.
    while (n >= 2 && out[n - 1] == '\n' && out[n - 2] == '\r') n -= 2;
    out[n] = 0;
    return out;
}

// Removes one pair of parentheses that encloses the whole condition.
const char* stripParens(char* text) {
    const int n = static_cast<int>(std::strlen(text));
    if (n < 2 || text[0] != '(' || text[n - 1] != ')' || (n >= 2 && text[1] == '*')) return text;
    int depth = 0;
    for (int i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\'') {
            ++i;
            while (i < n && text[i] != '\'') ++i;
            continue;
        }
        if (c == '{') {
            while (i < n && text[i] != '}') ++i;
            continue;
        }
        if (c == '(' && i + 1 < n && text[i + 1] == '*') {
            i += 2;
            while (i + 1 < n && !(text[i] == '*' && text[i + 1] == ')')) ++i;
            ++i;
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0 && i != n - 1) return text;
    }
    if (depth != 0) return text;
    int b = 1, e = n - 1;
    while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\r' || text[b] == '\n')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r' || text[e - 1] == '\n'))
        --e;
    if (b >= e) return text;
    std::memmove(text, text + b, static_cast<std::size_t>(e - b));
    text[e - b] = 0;
    return text;
}

// ---------------------------------------------------------------------------
// Writer

void sent(Parser& p, std::int32_t result) {
    if (result != 0) {
        p.writeFailed = true;
        p.stop = true;
    }
}

bool logBytes(Parser& p, const void* data, std::size_t n) {
    if (p.logLength + n > p.logCapacity) {
        std::size_t capacity = p.logCapacity ? p.logCapacity * 2 : 65536;
        while (capacity < p.logLength + n) capacity *= 2;
        char* grown = static_cast<char*>(allocate(p, capacity));
        if (!grown) {
            p.stop = true;
            return false;
        }
        if (p.logLength) std::memcpy(grown, p.log, p.logLength);
        release(p, p.log);
        p.log = grown;
        p.logCapacity = capacity;
    }
    std::memcpy(p.log + p.logLength, data, n);
    p.logLength += n;
    return true;
}

void logOp(Parser& p, LogOp op, std::int32_t a, std::int32_t b, std::int32_t c, std::int64_t d,
           const char* text) {
    const std::uint8_t code = static_cast<std::uint8_t>(op);
    const std::int32_t length = text ? static_cast<std::int32_t>(std::strlen(text)) : -1;
    logBytes(p, &code, 1);
    logBytes(p, &a, 4);
    logBytes(p, &b, 4);
    logBytes(p, &c, 4);
    logBytes(p, &d, 8);
    logBytes(p, &length, 4);
    if (length > 0) logBytes(p, text, static_cast<std::size_t>(length));
}

SeqFrame& top(Parser& p) {
    return p.w->frames[p.depth - 1];
}

bool pushFrame(Parser& p, const SeqFrame& f) {
    if (p.depth >= static_cast<int>(sizeof p.w->frames / sizeof p.w->frames[0])) {
        p.overflow = true;
        p.stop = true;
        return false;
    }
    p.w->frames[p.depth++] = f;
    return true;
}

void element(Parser& p, std::int32_t type, std::int32_t line, const char* text = nullptr,
             std::int32_t par1 = 0, std::int32_t par2 = 0) {
    if (p.stop) return;
    if (p.logging) {
        logOp(p, LogOp::Element, type, line, par1, par2, text);
    } else if (p.block->writeElement) {
        sent(p, p.block->writeElement(p.block->treeContext, line, type, text, 0, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, 0, 0, par1, par2));
    }
    if (p.depth > 0) ++top(p).count;
}

void openSeq(Parser& p, std::int32_t owner, std::int32_t edge) {
    if (p.stop) return;
    if (p.logging)
        logOp(p, LogOp::Open, owner, edge, 0, 0, nullptr);
    else if (p.block->writeTreeStart)
        sent(p, p.block->writeTreeStart(p.block->treeContext, owner, edge));
    pushFrame(p, SeqFrame{owner, edge, 0, false, 0, 0, 0});
}

void closeSeq(Parser& p) {
    if (p.stop || p.depth == 0) return;
    SeqFrame f = top(p);
    if (f.count == 0) element(p, kElementDummy, 0, nullptr, f.owner, f.edge);
    --p.depth;
    if (p.logging)
        logOp(p, LogOp::Close, 0, 0, 0, 0, nullptr);
    else if (p.block->writeTreeEnd)
        sent(p, p.block->writeTreeEnd(p.block->treeContext));
}

// A child sequence holding one text (a Dummy when it is empty).
void textSeq(Parser& p, std::int32_t owner, std::int32_t edge, const char* text, std::int32_t line) {
    openSeq(p, owner, edge);
    if (text && *text) element(p, kElementText, line, text);
    closeSeq(p);
}

void levelStart(Parser& p, std::int32_t line, const char* header, std::int64_t sourceStart) {
    if (p.stop) return;
    if (p.depth > 0) ++top(p).count;
    std::int32_t position = 0;
    if (p.logging) {
        logOp(p, LogOp::LevelStart, line, 0, 0, sourceStart, header);
    } else if (p.block->writeLevelStart) {
        sent(p, p.block->writeLevelStart(p.block->treeContext, line, header && *header ? header : nullptr,
                                         header && *header ? line : 0, nullptr, &position, 0, nullptr, 0, 0,
                                         nullptr, nullptr, nullptr));
    }
    if (!pushFrame(p, SeqFrame{kLevel, kSlotBody, 0, true, position, sourceStart, line})) return;
    if (p.logging)
        logOp(p, LogOp::Open, kLevel, kSlotBody, 0, 0, nullptr);
    else if (p.block->writeTreeStart)
        sent(p, p.block->writeTreeStart(p.block->treeContext, kLevel, kSlotBody));
}

void levelEnd(Parser& p) {
    if (p.stop || p.depth == 0) return;
    const SeqFrame f = top(p);
    closeSeq(p);
    if (p.stop) return;
    std::int64_t length = p.lastEnd - f.sourceStart;
    if (length < 0) length = 0;
    const std::int32_t lines = p.lastLine - f.line + 1;
    if (p.logging) {
        logOp(p, LogOp::LevelEnd, static_cast<std::int32_t>(length), lines, 0, f.sourceStart, nullptr);
    } else if (p.block->writeLevelEnd) {
        sent(p, p.block->writeLevelEnd(p.block->treeContext, f.levelPosition,
                                       static_cast<std::int32_t>(f.sourceStart),
                                       static_cast<std::int32_t>(length), lines));
    }
}

// Starts holding the callbacks back (the sequence counts still go on).
void startLog(Parser& p) {
    p.logLength = 0;
    p.logging = true;
}

// Sends what was held back.
void replayLog(Parser& p) {
    p.logging = false;
    std::size_t at = 0;
    // The frames the replay opens are pushed above the current ones and
    // popped again; counts of the current frames are already right.
    const int baseDepth = p.depth;
    while (at < p.logLength && !p.stop) {
        std::uint8_t code;
        std::int32_t a, b, c, length;
        std::int64_t d;
        std::memcpy(&code, p.log + at, 1);
        std::memcpy(&a, p.log + at + 1, 4);
        std::memcpy(&b, p.log + at + 5, 4);
        std::memcpy(&c, p.log + at + 9, 4);
        std::memcpy(&d, p.log + at + 13, 8);
        std::memcpy(&length, p.log + at + 21, 4);
        at += 25;
        const char* text = nullptr;
        if (length >= 0) {
            // Texts are NUL-terminated for the callback: copy out.
            const std::size_t n = static_cast<std::size_t>(length) < sizeof p.w->out
                                      ? static_cast<std::size_t>(length)
                                      : sizeof p.w->out - 1;
            std::memcpy(p.w->out, p.log + at, n);
            p.w->out[n] = 0;
            text = p.w->out;
            at += static_cast<std::size_t>(length);
        }
        switch (static_cast<LogOp>(code)) {
            case LogOp::Element:
                if (p.block->writeElement)
                    sent(p,
                         p.block->writeElement(p.block->treeContext, b, a, text, 0, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, 0, 0, c, static_cast<std::int32_t>(d)));
                break;
            case LogOp::Open:
                if (p.block->writeTreeStart) sent(p, p.block->writeTreeStart(p.block->treeContext, a, b));
                break;
            case LogOp::Close:
                if (p.block->writeTreeEnd) sent(p, p.block->writeTreeEnd(p.block->treeContext));
                break;
            case LogOp::LevelStart: {
                std::int32_t position = 0;
                if (p.block->writeLevelStart)
                    sent(p, p.block->writeLevelStart(p.block->treeContext, a, text && *text ? text : nullptr,
                                                     text && *text ? a : 0, nullptr, &position, 0, nullptr, 0,
                                                     0, nullptr, nullptr, nullptr));
                if (!pushFrame(p, SeqFrame{kLevel, kSlotBody, 0, true, position, d, a})) return;
                break;
            }
            case LogOp::LevelEnd: {
                if (p.depth <= baseDepth) break;
                const SeqFrame f = top(p);
                --p.depth;
                if (p.block->writeLevelEnd)
                    sent(p, p.block->writeLevelEnd(p.block->treeContext, f.levelPosition,
                                                   static_cast<std::int32_t>(d), a, b));
                break;
            }
        }
    }
    p.depth = baseDepth;
    p.logLength = 0;
}

// ---------------------------------------------------------------------------
// Parser helpers

// Sends the comments before `t` as a text of their own into the open
// sequence.
void flushComments(Parser& p, Token& t) {
    if (!hasComment(t) || p.depth == 0) return;
    TextBuffer text = textBuffer(p);
    Collect c{};
    addToken(p, text, c, t, false);
    element(p, kElementText, c.line, finishText(p, text, c));
}

// Consumes the current token, sending its comments first.
void consume(Parser& p) {
    flushComments(p, cur(p));
    advance(p);
}

struct Nest {
    Parser& p;
    explicit Nest(Parser& parser) : p(parser) {
        if (++p.nesting > kPascalMaxNesting) {
            p.overflow = true;
            p.stop = true;
        }
    }
    ~Nest() { --p.nesting; }
    Nest(const Nest&) = delete;
    Nest& operator=(const Nest&) = delete;
};

struct Expect {
    Parser& p;
    WordSet saved;
    Expect(Parser& parser, WordSet words) : p(parser), saved(parser.expected) {
        p.expected |= words & kExpectable;
    }
    ~Expect() { p.expected = saved; }
    Expect(const Expect&) = delete;
    Expect& operator=(const Expect&) = delete;
};

// Collects tokens into a text until `stop` says so; the first token's
// comments open the text. Returns the number of tokens taken.
template <typename Stop>
int collect(Parser& p, TextBuffer& text, Collect& c, Stop stop) {
    int n = 0;
    while (!p.stop) {
        Token& t = cur(p);
        if (isEof(t) || stop(t)) break;
        addToken(p, text, c, t);
        advance(p);
        ++n;
    }
    return n;
}

// "end" and a following ";" or "." as one footer text.
const char* endText(Parser& p, char (&out)[8], char follow) {
    std::snprintf(out, sizeof out, "%.3s", cur(p).text.data);
    advance(p);
    if (isSymbol(cur(p), follow)) {
        std::strncat(out, follow == ';' ? ";" : ".", 2);
        advance(p);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Parser

enum class Context { Top, Program, Routine, Interface, Implementation, Statements };

void items(Parser& p, Context ctx, WordSet stops);
void statement(Parser& p);

// A statement as a text up to and including its ";".
void simpleStatement(Parser& p) {
    Nest nest(p);
    TextBuffer text = textBuffer(p);
    Collect c{};
    Token& first = cur(p);
    addToken(p, text, c, first);
    advance(p);
    collect(p, text, c, [&](const Token& t) { return isSymbol(t, ';') || in(p, t, kStatementEnds); });
    bool semicolon = false;
    if (isSymbol(cur(p), ';')) {
        addToken(p, text, c, cur(p));
        advance(p);
        semicolon = true;
        addSameLineComments(p, text, c);
    }
    element(p, kElementText, c.line, finishText(p, text, c));
    if (!semicolon && !p.stop && !isEof(cur(p)) &&
        in(p, cur(p), setOf(wIf, wWhile, wFor, wRepeat, wCase, wWith, wBegin, wTry, wAsm)))
        error(p, cur(p).line, kPasSemicolonExpected);
}

// The text between a structure keyword (already consumed) and its partner
// `until` (not consumed); the partner's comments close it. Returns whether
// the partner was found.
bool headText(Parser& p, Word until, WordSet stops, Collect& c, TextBuffer& text) {
    collect(p, text, c,
            [&](const Token& t) { return isWord(p, t, until) || isSymbol(t, ';') || in(p, t, stops); });
    if (!isWord(p, cur(p), until)) return false;
    addGapComments(p, text, c, cur(p));
    return true;
}

// The body of a structure: one statement; a compound statement gives its
// statements. `closing` are the words that may follow the body.
// The content of an open branch sequence: the statements of a compound
// statement, or one statement.
void branchContent(Parser& p) {
    Token& t = cur(p);
    if (isWord(p, t, wBegin)) {
        consume(p);
        {
            Expect e(p, bit(wEnd));
            items(p, Context::Statements, bit(wEnd));
        }
        if (isWord(p, cur(p), wEnd)) {
            flushComments(p, cur(p));
            advance(p);
        } else {
            error(p, cur(p).line, kPasEndExpected);
        }
    } else if (!isEof(t) && !isSymbol(t, ';') && !in(p, t, kClosers)) {
        statement(p);
    }
}

void branchBody(Parser& p, std::int32_t owner, std::int32_t edge, WordSet closing) {
    Expect expect(p, closing);
    openSeq(p, owner, edge);
    branchContent(p);
    closeSeq(p);
}

// The head of a structure, after its keyword (on `line`): the text up to
// the word `until`, or null when there is none. `missing`: the error when
// the head is empty; `noUntil`: when `until` does not follow it.
char* structureHead(Parser& p, std::int32_t line, Word until, int missing, int noUntil, TextBuffer& text,
                    Collect& c) {
    if (isWord(p, cur(p), until) || isEof(cur(p)) || isSymbol(cur(p), ';') || in(p, cur(p), kHeadEnds)) {
        error(p, line, missing);
    } else if (!headText(p, until, kHeadEnds, c, text)) {
        error(p, cur(p).line, noUntil);
    }
    return c.started ? const_cast<char*>(finishText(p, text, c)) : nullptr;
}

void ifStatement(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    consume(p);
    element(p, kIf, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    char* condition = structureHead(p, line, wThen, kPasAfterIf, kPasIfThen, text, c);
    textSeq(p, kIf, kSlotCondition, condition ? stripParens(condition) : nullptr, c.line);
    if (isWord(p, cur(p), wThen)) advance(p);
    branchBody(p, kIf, kSlotThen, bit(wElse));
    // "; else" belongs to an enclosing case, or is misplaced.
    if (isWord(p, cur(p), wElse) && !p.lastSemicolon) {
        Token& e = cur(p);
        openSeq(p, kIf, kSlotElse);
        flushComments(p, e);
        advance(p);
        // The else part's statement (its own sequence already open).
        branchContent(p);
        closeSeq(p);
    } else {
        textSeq(p, kIf, kSlotElse, nullptr, 0);
    }
}

// WHILE ... DO, FOR ... DO: the head and the body.
void loopStatement(Parser& p, std::int32_t type, int afterError, int betweenError) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    consume(p);
    element(p, type, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    char* collected = structureHead(p, line, wDo, afterError, betweenError, text, c);
    const char* head = collected && type == kWhile ? stripParens(collected) : collected;
    textSeq(p, type, type == kWhile ? kSlotCondition : kSlotHead, head, c.line);
    if (isWord(p, cur(p), wDo)) advance(p);
    branchBody(p, type, kSlotBody, 0);
}

void repeatStatement(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    consume(p);
    element(p, kRepeat, line);
    openSeq(p, kRepeat, kSlotBody);
    {
        Expect e(p, bit(wUntil));
        items(p, Context::Statements, bit(wUntil));
    }
    closeSeq(p);
    TextBuffer text = textBuffer(p);
    Collect c{};
    if (isWord(p, cur(p), wUntil)) {
        advance(p);
        collect(p, text, c, [&](const Token& t) { return isSymbol(t, ';') || in(p, t, kStatementEnds); });
    } else {
        error(p, cur(p).line, kPasAfterRepeat);
    }
    textSeq(p, kRepeat, kSlotCondition,
            c.started ? stripParens(const_cast<char*>(finishText(p, text, c))) : nullptr, c.line);
}

void caseStatement(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    consume(p);
    element(p, kSelector, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    textSeq(p, kSelector, kSlotHead, structureHead(p, line, wOf, kPasAfterCase, kPasCaseOf, text, c), c.line);
    if (!isWord(p, cur(p), wOf)) {
        // Without OF there are no branches to read.
        textSeq(p, kSelector, kSlotBranches, nullptr, 0);
        openSeq(p, kSelector, kSlotRest);
        element(p, kSelectorBranch, line);
        textSeq(p, kSelectorBranch, kSlotHead, nullptr, 0);
        textSeq(p, kSelectorBranch, kSlotBranchBody, nullptr, 0);
        closeSeq(p);
        return;
    }
    advance(p);
    Expect e(p, setOf(wEnd, wElse, wOtherwise));
    openSeq(p, kSelector, kSlotBranches);
    while (!p.stop) {
        Token& t = cur(p);
        if (isEof(t) || in(p, t, setOf(wEnd, wElse, wOtherwise))) break;
        if (isSymbol(t, ';')) {
            consume(p);
            continue;
        }
        if (in(p, t, p.expected & ~setOf(wEnd, wElse, wOtherwise))) break;
        // A branch: its labels up to ":".
        const std::int32_t branchLine = t.line;
        flushComments(p, t);
        element(p, kSelectorBranch, branchLine);
        TextBuffer label = textBuffer(p);
        Collect lc{};
        collect(p, label, lc, [&](const Token& x) {
            return isSymbol(x, ':') || isSymbol(x, ';') || in(p, x, kStatementEnds);
        });
        const bool colon = isSymbol(cur(p), ':');
        if (colon) addGapComments(p, label, lc, cur(p));
        textSeq(p, kSelectorBranch, kSlotHead, lc.started ? finishText(p, label, lc) : nullptr, lc.line);
        if (!colon) {
            error(p, cur(p).line, kPasCaseBranch);
            textSeq(p, kSelectorBranch, kSlotBranchBody, nullptr, 0);
            // Resynchronise: skip one token that is no structure word; at a
            // structure word the branch list ends.
            if (isEof(cur(p)) || in(p, cur(p), kStatementEnds)) break;
            advance(p);
            continue;
        }
        advance(p);
        branchBody(p, kSelectorBranch, kSlotBranchBody, setOf(wEnd, wElse, wOtherwise));
    }
    closeSeq(p);
    // The rest branch: a branch without labels whose body is the else part.
    openSeq(p, kSelector, kSlotRest);
    element(p, kSelectorBranch, cur(p).line);
    textSeq(p, kSelectorBranch, kSlotHead, nullptr, 0);
    openSeq(p, kSelectorBranch, kSlotBranchBody);
    if (in(p, cur(p), setOf(wElse, wOtherwise))) {
        flushComments(p, cur(p));
        advance(p);
        if (isWord(p, cur(p), wBegin)) {
            // A compound statement as the whole rest branch gives its statements.
            consume(p);
            {
                Expect x(p, bit(wEnd));
                items(p, Context::Statements, bit(wEnd));
            }
            if (isWord(p, cur(p), wEnd)) {
                flushComments(p, cur(p));
                advance(p);
            }
        }
        items(p, Context::Statements, bit(wEnd));
    }
    closeSeq(p);
    closeSeq(p);
    if (isWord(p, cur(p), wEnd)) {
        advance(p);
    } else {
        error(p, cur(p).line, kPasEndExpected);
    }
}

// A Frame whose head is the text from the current keyword up to and
// including `partner` (WITH ... DO, ON ... DO); with a compound statement
// after it, "begin" joins the head and "end" becomes the footer.
void headedFrame(Parser& p, Word partner, int afterError, int partnerError) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    element(p, kFrame, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    addToken(p, text, c, cur(p));
    advance(p);
    const bool empty =
        isWord(p, cur(p), partner) || isEof(cur(p)) || isSymbol(cur(p), ';') || in(p, cur(p), kHeadEnds);
    const bool found = headText(p, partner, kHeadEnds, c, text);
    if (empty || !found) error(p, empty ? line : cur(p).line, afterError);
    if (found) {
        addToken(p, text, c, cur(p));
        advance(p);
    }
    const bool compound = found && isWord(p, cur(p), wBegin);
    if (compound) {
        addToken(p, text, c, cur(p));
        advance(p);
    }
    textSeq(p, kFrame, kSlotHead, finishText(p, text, c), c.line);
    if (compound) {
        openSeq(p, kFrame, kSlotBody);
        {
            Expect e(p, bit(wEnd));
            items(p, Context::Statements, bit(wEnd));
        }
        closeSeq(p);
        char footer[8];
        if (isWord(p, cur(p), wEnd)) {
            const std::int32_t endLine = cur(p).line;
            textSeq(p, kFrame, kSlotFooter, endText(p, footer, ';'), endLine);
        } else {
            error(p, cur(p).line, kPasEndExpected);
            textSeq(p, kFrame, kSlotFooter, nullptr, 0);
        }
        return;
    }
    if (found && (isEof(cur(p)) || in(p, cur(p), setOf(wEnd, wUntil, wExcept, wFinally))) && partnerError)
        error(p, cur(p).line, partnerError);
    branchBody(p, kFrame, kSlotBody, 0);
    textSeq(p, kFrame, kSlotFooter, nullptr, 0);
}

// BEGIN (or ASM) ... END as a Frame; `footerFollow` is the character that
// may join "end" in the footer. `segment`: the body goes into a segment of
// that name.
void compoundFrame(Parser& p, char footerFollow, const char* segment, int missingEnd) {
    Nest nest(p);
    Token& t = cur(p);
    const std::int32_t line = t.line;
    const bool assembler = isWord(p, t, wAsm);
    flushComments(p, t);
    element(p, kFrame, line);
    char head[8];
    std::snprintf(head, sizeof head, "%.5s", t.text.data);
    const std::int64_t start = t.offset;
    advance(p);
    textSeq(p, kFrame, kSlotHead, head, line);
    openSeq(p, kFrame, kSlotBody);
    if (segment) levelStart(p, cur(p).line, segment, start);
    if (assembler) {
        // Assembler lines are no Pascal: one text up to END.
        TextBuffer text = textBuffer(p);
        Collect c{};
        collect(p, text, c, [&](const Token& x) { return isWord(p, x, wEnd); });
        if (c.started) element(p, kElementText, c.line, finishText(p, text, c));
    } else {
        Expect e(p, bit(wEnd));
        items(p, Context::Statements, bit(wEnd));
    }
    if (segment) levelEnd(p);
    closeSeq(p);
    char footer[8];
    if (isWord(p, cur(p), wEnd)) {
        const std::int32_t endLine = cur(p).line;
        const char* text = endText(p, footer, footerFollow);
        textSeq(p, kFrame, kSlotFooter, text, endLine);
        if (footerFollow == ';' && text[3] != ';' && !p.stop && !isEof(cur(p)) && !isSymbol(cur(p), '.') &&
            !in(p, cur(p), kClosers | setOf(wInitialization, wFinalization)))
            error(p, cur(p).line, kPasSemicolonExpected);
    } else {
        error(p, cur(p).line, missingEnd);
        textSeq(p, kFrame, kSlotFooter, nullptr, 0);
    }
}

void tryStatement(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    element(p, kFrame, line);
    advance(p);
    textSeq(p, kFrame, kSlotHead, "try", line);
    openSeq(p, kFrame, kSlotBody);
    {
        Expect e(p, setOf(wExcept, wFinally));
        items(p, Context::Statements, setOf(wExcept, wFinally, wEnd));
    }
    closeSeq(p);
    textSeq(p, kFrame, kSlotFooter, nullptr, 0);
    if (!in(p, cur(p), setOf(wExcept, wFinally))) {
        error(p, cur(p).line, kPasAfterTry);
        if (isWord(p, cur(p), wEnd) && !(p.expected & bit(wEnd))) {
            advance(p);
            if (isSymbol(cur(p), ';')) advance(p);
        }
        return;
    }
    Token& h = cur(p);
    const std::int32_t handlerLine = h.line;
    const bool except = isWord(p, h, wExcept);
    flushComments(p, h);
    element(p, kFrame, handlerLine);
    textSeq(p, kFrame, kSlotHead, except ? "except" : "finally", handlerLine);
    advance(p);
    openSeq(p, kFrame, kSlotBody);
    {
        Expect e(p, bit(wEnd));
        if (except) {
            while (!p.stop) {
                Token& t = cur(p);
                if (isEof(t) || isWord(p, t, wEnd)) break;
                if (in(p, t, p.expected & ~bit(wEnd))) break;
                if (isSymbol(t, ';')) {
                    consume(p);
                    continue;
                }
                if (isWord(p, t, wOn)) {
                    headedFrame(p, wDo, kPasAfterOn, kPasAfterOnDo);
                } else if (isWord(p, t, wElse)) {
                    // The handler for every other exception.
                    const std::int32_t elseLine = t.line;
                    flushComments(p, t);
                    element(p, kFrame, elseLine);
                    advance(p);
                    textSeq(p, kFrame, kSlotHead, "else", elseLine);
                    openSeq(p, kFrame, kSlotBody);
                    items(p, Context::Statements, bit(wEnd));
                    closeSeq(p);
                    textSeq(p, kFrame, kSlotFooter, nullptr, 0);
                } else {
                    items(p, Context::Statements, setOf(wEnd, wOn, wElse));
                    if (isWord(p, cur(p), wElse) && !(p.expected & bit(wElse))) continue;
                }
            }
        } else {
            items(p, Context::Statements, bit(wEnd));
        }
    }
    closeSeq(p);
    char footer[8];
    if (isWord(p, cur(p), wEnd)) {
        const std::int32_t endLine = cur(p).line;
        textSeq(p, kFrame, kSlotFooter, endText(p, footer, ';'), endLine);
    } else {
        error(p, cur(p).line, kPasAfterHandler);
        textSeq(p, kFrame, kSlotFooter, nullptr, 0);
    }
}

// EXCEPTION: a handler part up to the END of the enclosing block.
void exceptionBlock(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    element(p, kFrame, line);
    char head[16];
    std::snprintf(head, sizeof head, "%.9s", cur(p).text.data);
    advance(p);
    textSeq(p, kFrame, kSlotHead, head, line);
    if (isEof(cur(p))) error(p, line, kPasAfterException);
    openSeq(p, kFrame, kSlotBody);
    items(p, Context::Statements, bit(wEnd));
    closeSeq(p);
    textSeq(p, kFrame, kSlotFooter, nullptr, 0);
}

// A statement in a statement sequence or as the body of a structure.
void statement(Parser& p) {
    Token& t = cur(p);
    switch (word(p, t)) {
        case wBegin:
        case wAsm:
            compoundFrame(p, ';', nullptr, kPasEndExpected);
            return;
        case wIf:
            ifStatement(p);
            return;
        case wWhile:
            loopStatement(p, kWhile, kPasAfterWhile, kPasWhileDo);
            return;
        case wFor:
            loopStatement(p, kFor, kPasAfterFor, kPasAfterFor);
            return;
        case wRepeat:
            repeatStatement(p);
            return;
        case wCase:
            caseStatement(p);
            return;
        case wWith:
            headedFrame(p, wDo, kPasAfterWith, 0);
            return;
        case wTry:
            tryStatement(p);
            return;
        case wException:
            exceptionBlock(p);
            return;
        default:
            simpleStatement(p);
            return;
    }
}

// ---------------------------------------------------------------------------
// Declarations

// A section segment's name, by option.
const char* sectionSegment(Parser& p, Word w) {
    if (w == wVar && p.o.pushVar) return segmentName(p, kPasSegVariables);
    if (w == wConst && p.o.pushConst) return segmentName(p, kPasSegConstants);
    if (w == wType && p.o.pushType) return segmentName(p, kPasSegTypes);
    return nullptr;
}

// CONST, TYPE, VAR, LABEL: the section as one text, up to the next word
// that begins something else at nesting depth 0.
void section(Parser& p) {
    Nest nest(p);
    Token& first = cur(p);
    const Word kind = word(p, first);
    const std::int32_t line = first.line;
    flushComments(p, first);
    const std::int64_t start = first.offset;
    TextBuffer text = textBuffer(p);
    Collect c{};
    addToken(p, text, c, first);
    advance(p);
    int depth = 0;
    int parens = 0;
    int classParens = -1;  // "class(...)": a forward declaration when ";" follows the list
    bool prevEquals = false, prevColon = false, prevOf = false, prevTo = false, prevPacked = false;
    while (!p.stop) {
        Token& t = cur(p);
        if (isEof(t)) break;
        const Word w = word(p, t);
        const bool typeContext = prevEquals || prevColon || prevOf || prevTo;
        if (depth == 0 && parens == 0 && w != wNone && (kSectionEnds & bit(w))) {
            const bool procedureType = (kRoutineWords & bit(w)) && typeContext;
            const bool interfaceType = w == wInterface && prevEquals;
            if (!procedureType && !interfaceType) break;
        }
        if (depth == 0 && parens == 0 && w == wAsm && p.o.delphi) break;
        if (depth == 0 && parens == 0 && w == wClass && in(p, ahead(p, 1), kRoutineWords)) break;
        if (depth == 0 && parens == 0 && w == wException) break;
        // Nesting of record, object, class and interface bodies.
        if (w == wRecord) {
            ++depth;
        } else if ((w == wClass || w == wInterface || w == wDispinterface) && (prevEquals || prevPacked)) {
            const Token& n = ahead(p, 1);
            if (!isSymbol(n, ';') && !isWord(p, n, wOf)) {
                ++depth;
                if (isSymbol(n, '(')) classParens = parens;
            }
        } else if (w == wObject && !prevOf && (prevEquals || prevPacked || prevColon)) {
            ++depth;
        } else if (w == wEnd && depth > 0) {
            --depth;
        }
        if (isSymbol(t, '(')) ++parens;
        if (isSymbol(t, ')') && parens > 0) {
            --parens;
            if (parens == classParens) {
                classParens = -1;
                if (isSymbol(ahead(p, 1), ';') && depth > 0) --depth;
            }
        }
        prevEquals = isSymbol(t, '=');
        prevColon = isSymbol(t, ':');
        prevOf = w == wOf;
        prevTo = ordinaryWordIs(t, "TO");
        prevPacked =
            ordinaryWordIs(t, "PACKED") || ordinaryWordIs(t, "SEALED") || ordinaryWordIs(t, "ABSTRACT");
        addToken(p, text, c, t);
        advance(p);
    }
    addSameLineComments(p, text, c);
    const char* segment = sectionSegment(p, kind);
    if (segment) {
        std::memmove(p.w->header, segment, std::strlen(segment) + 1);
        levelStart(p, line, p.w->header, start);
    }
    element(p, kElementText, c.line, finishText(p, text, c));
    if (segment) levelEnd(p);
}

// USES: the clause up to its ";".
void usesClause(Parser& p) {
    const std::int32_t line = cur(p).line;
    if (!isName(p, ahead(p, 1))) error(p, line, kPasAfterUses);
    simpleStatement(p);
}

bool isDirective(Parser& p, const Token& t) {
    if (t.kind != Tok::Word) return false;
    switch (t.word) {
        case wFar:
        case wNear:
        case wExport:
        case wInterrupt:
        case wAssembler:
        case wInline:
            return true;
        case wRegister:
        case wPascal:
        case wCdecl:
        case wStdcall:
        case wSafecall:
            return p.o.delphi;
        case wNone:
            break;
        default:
            return false;
    }
    static constexpr const char* kDirectives[] = {
        "FORWARD",     "EXTERNAL",     "OVERLOAD",   "OVERRIDE", "VIRTUAL", "DYNAMIC",      "ABSTRACT",
        "REINTRODUCE", "STATIC",       "DEPRECATED", "PLATFORM", "VARARGS", "NOSTACKFRAME", "NORETURN",
        "FINAL",       "EXPERIMENTAL", "WINAPI",     "MESSAGE",  "DISPID",  "PUBLIC",       "ALIAS",
    };
    for (const char* d : kDirectives)
        if (ordinaryWordIs(t, d)) return true;
    return false;
}

// Reads a routine heading with its directives into `text`; returns whether
// it has a body (no FORWARD or EXTERNAL).
bool heading(Parser& p, TextBuffer& text, Collect& c, int afterError) {
    p.inHeading = true;
    Token& first = cur(p);
    const std::int32_t line = first.line;
    addToken(p, text, c, first);
    advance(p);
    if (isWord(p, first, wClass)) {  // class procedure ...
        addToken(p, text, c, cur(p));
        advance(p);
    }
    // The name: the calling-convention words are names here.
    const Word named = cur(p).kind == Tok::Word ? cur(p).word : wNone;
    if (!isName(p, cur(p)) && !(named >= wRegister && named <= wSafecall)) error(p, line, afterError);
    int parens = 0;
    collect(p, text, c, [&](const Token& t) {
        if (isSymbol(t, '(')) ++parens;
        if (isSymbol(t, ')') && parens > 0) --parens;
        return parens == 0 && (isSymbol(t, ';') || in(p, t, kHeadEnds));
    });
    bool body = true;
    if (!isSymbol(cur(p), ';')) {
        error(p, cur(p).line, afterError);
        p.inHeading = false;
        return body;
    }
    addToken(p, text, c, cur(p));
    advance(p);
    // Directives: word, arguments, ";".
    while (!p.stop && isDirective(p, cur(p))) {
        if (ordinaryWordIs(cur(p), "FORWARD") || ordinaryWordIs(cur(p), "EXTERNAL")) body = false;
        collect(p, text, c, [&](const Token& t) {
            return isSymbol(t, ';') || (in(p, t, kHeadEnds) && !isDirective(p, t));
        });
        if (!isSymbol(cur(p), ';')) break;
        addToken(p, text, c, cur(p));
        advance(p);
    }
    p.inHeading = false;
    addSameLineComments(p, text, c);
    return body;
}

void routine(Parser& p, Context ctx);

// INLINE: a Frame around the procedure or function that follows; INLINE (
// is inline code, a statement.
void inlineRoutine(Parser& p, Context ctx) {
    Token& next = ahead(p, 1);
    if (isSymbol(next, '(')) {
        simpleStatement(p);
        return;
    }
    const std::int32_t line = cur(p).line;
    if (!in(p, next, kRoutineWords) && !isWord(p, next, wClass)) {
        error(p, line, kPasAfterInline);
        consume(p);
        return;
    }
    Nest nest(p);
    flushComments(p, cur(p));
    element(p, kFrame, line);
    char head[8];
    std::snprintf(head, sizeof head, "%.6s", cur(p).text.data);
    advance(p);
    textSeq(p, kFrame, kSlotHead, head, line);
    openSeq(p, kFrame, kSlotBody);
    routine(p, ctx);
    closeSeq(p);
    textSeq(p, kFrame, kSlotFooter, nullptr, 0);
}

void routine(Parser& p, Context ctx) {
    Nest nest(p);
    Token& first = cur(p);
    flushComments(p, first);
    const Word kind = isWord(p, first, wClass) ? word(p, ahead(p, 1)) : word(p, first);
    const std::int32_t line = first.line;
    const std::int64_t start = first.offset;
    const int afterError = kind == wProcedure ? kPasAfterProcedure : kPasAfterFunction;
    TextBuffer text = textBuffer(p);
    Collect c{};
    const bool hasBody = heading(p, text, c, afterError) && ctx != Context::Interface;
    const char* head = finishText(p, text, c);
    if (!hasBody) {
        element(p, kElementText, c.line, head);
        return;
    }
    // The heading is needed twice (segment header and head).
    std::memmove(p.w->header, head, std::strlen(head) + 1);
    const std::int32_t type = kind == wProcedure                 ? kProcedure
                              : kind == wFunction && p.functions ? kFunction
                                                                 : kFrame;
    const bool segment = !p.generated;
    if (segment) levelStart(p, line, p.w->header, start);
    element(p, type, line);
    textSeq(p, type, kSlotHead, p.w->header, c.line);
    openSeq(p, type, kSlotBody);
    {
        Expect e(p, setOf(wBegin, wAsm));
        items(p, Context::Routine, setOf(wBegin, wAsm));
    }
    if (in(p, cur(p), setOf(wBegin, wAsm))) {
        const bool push = kind == wProcedure ? p.o.pushProcedureBody : p.o.pushFunctionBody;
        const char* name =
            push ? segmentName(p, kind == wProcedure ? kPasSegProcedureBody : kPasSegFunctionBody) : nullptr;
        compoundFrame(p, ';', name, kPasEndExpected);
    } else {
        error(p, cur(p).line, kPasBeginExpected);
    }
    closeSeq(p);
    if (type == kFrame) textSeq(p, kFrame, kSlotFooter, nullptr, 0);
    if (segment) levelEnd(p);
}

// A reserved word where nothing expects it.
void misplaced(Parser& p) {
    Token& t = cur(p);
    int number = kPasReservedMisplaced;
    switch (word(p, t)) {
        case wEnd:
            number = kPasEndMisplaced;
            break;
        case wThen:
            number = kPasStrayThen;
            break;
        case wElse:
            number = kPasStrayElse;
            break;
        case wDo:
            number = kPasStrayDo;
            break;
        case wUntil:
            number = kPasStrayUntil;
            break;
        case wOf:
            number = kPasStrayOf;
            break;
        default:
            break;
    }
    error(p, t.line, number);
    consume(p);
}

// A sequence of declarations and statements up to a word of `stops` (not
// consumed) or a closing word an enclosing structure waits for.
void items(Parser& p, Context ctx, WordSet stops) {
    Nest nest(p);
    while (!p.stop) {
        Token& t = cur(p);
        if (isEof(t)) break;
        const Word w = word(p, t);
        if (w != wNone && (stops & bit(w))) {
            flushComments(p, t);
            break;
        }
        if (w != wNone && (p.expected & bit(w))) {
            flushComments(p, t);
            break;
        }
        if (isSymbol(t, ';')) {
            consume(p);
            continue;
        }
        switch (w) {
            case wUses:
                usesClause(p);
                break;
            case wConst:
            case wType:
            case wVar:
            case wLabel:
                if (ctx == Context::Statements)
                    simpleStatement(p);  // an inline declaration
                else
                    section(p);
                break;
            case wProcedure:
            case wFunction:
            case wConstructor:
            case wDestructor:
                if (ctx == Context::Statements) error(p, t.line, kPasReservedMisplaced);
                routine(p, ctx);
                break;
            case wClass:
                if (in(p, ahead(p, 1), kRoutineWords))
                    routine(p, ctx);
                else
                    simpleStatement(p);
                break;
            case wInline:
                inlineRoutine(p, ctx);
                break;
            case wExports:
                simpleStatement(p);
                break;
            case wBegin:
            case wAsm:
            case wIf:
            case wWhile:
            case wFor:
            case wRepeat:
            case wCase:
            case wWith:
            case wTry:
            case wException:
                statement(p);
                break;
            case wEnd:
            case wThen:
            case wElse:
            case wDo:
            case wUntil:
            case wOf:
            case wOtherwise:
            case wExcept:
            case wFinally:
            case wProgram:
            case wUnit:
            case wLibrary:
            case wPackage:
            case wInterface:
            case wImplementation:
            case wInitialization:
            case wFinalization:
                misplaced(p);
                break;
            default:
                simpleStatement(p);
                break;
        }
    }
}

// ---------------------------------------------------------------------------
// Programs, units, libraries, packages

// A heading such as "program Name(input, output);": its text up to the ";".
// Returns whether it ended with ";".
bool unitHeading(Parser& p, TextBuffer& text, Collect& c, int afterError, int headerError) {
    const std::int32_t line = cur(p).line;
    addToken(p, text, c, cur(p));
    advance(p);
    if (isWord(p, cur(p), wBody)) {
        addToken(p, text, c, cur(p));
        advance(p);
    }
    if (!isName(p, cur(p))) error(p, line, afterError);
    collect(p, text, c, [&](const Token& t) { return isSymbol(t, ';') || (in(p, t, kHeadEnds)); });
    if (!isSymbol(cur(p), ';')) {
        if (headerError) error(p, cur(p).line, headerError);
        return false;
    }
    addToken(p, text, c, cur(p));
    advance(p);
    addSameLineComments(p, text, c);
    return true;
}

// The footer "end." of a program, unit or library.
void finalEnd(Parser& p, int missing) {
    char footer[8];
    if (isWord(p, cur(p), wEnd)) {
        const std::int32_t line = cur(p).line;
        const char* text = endText(p, footer, '.');
        if (text[3] != '.') error(p, line, kPasFinalDot);
        textSeq(p, kFrame, kSlotFooter, text, line);
    } else {
        error(p, cur(p).line, missing);
        textSeq(p, kFrame, kSlotFooter, nullptr, 0);
    }
}

// The main block: BEGIN ... END as a Frame without footer (the "end." is
// the footer of the enclosing frame), in a segment unless generated.
// A Frame headed by the current keyword (in lower case) holding what
// follows up to `stops`, in a segment named `segment` when that is not
// null. `afterHead`: the error when the file ends right after the keyword
// (0: none).
void framedPart(Parser& p, Context ctx, const char* segment, WordSet stops, int afterHead) {
    Nest nest(p);
    Token& t = cur(p);
    const std::int32_t line = t.line;
    flushComments(p, t);
    if (segment) levelStart(p, line, segment, t.offset);
    element(p, kFrame, line);
    char head[20];
    std::snprintf(head, sizeof head, "%.14s", t.text.data);
    for (char* h = head; *h; ++h) *h = static_cast<char>(*h >= 'A' && *h <= 'Z' ? *h + 32 : *h);
    advance(p);
    textSeq(p, kFrame, kSlotHead, head, line);
    if (afterHead && isEof(cur(p))) error(p, line, afterHead);
    openSeq(p, kFrame, kSlotBody);
    {
        Expect e(p, stops);
        items(p, ctx, stops);
    }
    closeSeq(p);
    textSeq(p, kFrame, kSlotFooter, nullptr, 0);
    if (segment) levelEnd(p);
}

// The statement part "begin ... end", in the segment `segmentNumber` names
// when `segment`.
void mainBlock(Parser& p, int segmentNumber, int afterBegin, bool segment) {
    framedPart(p, Context::Statements, segment ? segmentName(p, segmentNumber) : nullptr, bit(wEnd),
               afterBegin);
}

void program(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    element(p, kFrame, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    unitHeading(p, text, c, kPasBeginExpected, 0);
    textSeq(p, kFrame, kSlotHead, finishText(p, text, c), c.line);
    openSeq(p, kFrame, kSlotBody);
    {
        Expect e(p, bit(wBegin));
        items(p, Context::Program, bit(wBegin));
    }
    if (isWord(p, cur(p), wBegin))
        mainBlock(p, kPasSegProgramBody, 0, !p.generated);
    else
        error(p, cur(p).line, kPasBeginExpected);
    closeSeq(p);
    finalEnd(p, kPasEndDotExpected);
}

// One part of a unit: a Frame headed by its keyword holding what follows,
// in a segment when `segment` is not null.
void unitPart(Parser& p, Context ctx, const char* segment, WordSet stops) {
    framedPart(p, ctx, segment, stops, 0);
}

void unit(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    element(p, kFrame, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    unitHeading(p, text, c, kPasAfterUnit, kPasUnitHeader);
    textSeq(p, kFrame, kSlotHead, finishText(p, text, c), c.line);
    openSeq(p, kFrame, kSlotBody);
    constexpr WordSet kParts = setOf(wImplementation, wInitialization, wFinalization, wBegin, wEnd);
    if (isWord(p, cur(p), wInterface)) {
        unitPart(p, Context::Interface, p.o.pushInterface ? segmentName(p, kPasSegInterface) : nullptr,
                 kParts);
    } else {
        error(p, cur(p).line, kPasNoInterface);
    }
    if (isWord(p, cur(p), wImplementation)) {
        const std::int32_t at = cur(p).line;
        unitPart(p, Context::Implementation,
                 p.o.pushImplementation ? segmentName(p, kPasSegImplementation) : nullptr,
                 setOf(wInitialization, wFinalization, wBegin, wEnd));
        if (isEof(cur(p))) error(p, at, kPasAfterImplementation);
    } else {
        error(p, cur(p).line, kPasNoImplementation);
    }
    if (isWord(p, cur(p), wInitialization)) {
        const std::int32_t at = cur(p).line;
        // The segment's name depends on a FINALIZATION part that is only
        // known at its end: the initialization part is held back until then.
        const bool push = p.o.pushInitialization;
        const std::int64_t start = cur(p).offset;
        if (push) startLog(p);
        unitPart(p, Context::Statements, nullptr, setOf(wFinalization, wEnd));
        if (isEof(cur(p))) error(p, at, kPasAfterInitialization);
        const bool final = isWord(p, cur(p), wFinalization);
        if (push) {
            // The segment first, then the initialization part held back
            // (its Frame, counted in the unit's body, moves into the
            // segment), then the finalization part.
            p.logging = false;
            --top(p).count;
            levelStart(p, at, segmentName(p, final ? kPasSegInitFinal : kPasSegInitialization), start);
            replayLog(p);
            ++top(p).count;
        }
        if (final) {
            const std::int32_t finalLine = cur(p).line;
            unitPart(p, Context::Statements, nullptr, bit(wEnd));
            if (isEof(cur(p))) error(p, finalLine, kPasAfterFinalization);
        }
        if (push) levelEnd(p);
    } else if (isWord(p, cur(p), wFinalization)) {
        const std::int32_t finalLine = cur(p).line;
        unitPart(p, Context::Statements, nullptr, bit(wEnd));
        if (isEof(cur(p))) error(p, finalLine, kPasAfterFinalization);
    } else if (isWord(p, cur(p), wBegin)) {
        mainBlock(p, kPasSegInitialization, kPasAfterUnitBegin, p.o.pushInitialization);
    }
    closeSeq(p);
    finalEnd(p, kPasEndExpected);
}

void library(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    element(p, kFrame, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    unitHeading(p, text, c, kPasAfterLibrary, kPasLibraryHeader);
    textSeq(p, kFrame, kSlotHead, finishText(p, text, c), c.line);
    openSeq(p, kFrame, kSlotBody);
    const bool segment = !p.generated;
    if (segment) levelStart(p, cur(p).line, segmentName(p, kPasSegDefinition), cur(p).offset);
    {
        Expect e(p, setOf(wBegin, wEnd));
        items(p, Context::Program, setOf(wBegin, wEnd));
    }
    if (segment) levelEnd(p);
    if (isWord(p, cur(p), wBegin))
        mainBlock(p, kPasSegInitialization, 0, !p.generated);
    else
        error(p, cur(p).line, kPasLibraryBegin);
    closeSeq(p);
    finalEnd(p, kPasLibraryEnd);
}

void package(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    const bool body = isWord(p, ahead(p, 1), wBody);
    flushComments(p, cur(p));
    element(p, kFrame, line);
    TextBuffer text = textBuffer(p);
    Collect c{};
    unitHeading(p, text, c, kPasPackageHeader, kPasPackageHeader);
    textSeq(p, kFrame, kSlotHead, finishText(p, text, c), c.line);
    openSeq(p, kFrame, kSlotBody);
    const bool segment = !p.generated;
    const int first = body ? kPasSegImplementation : kPasSegPackageInterface;
    if (segment) levelStart(p, cur(p).line, segmentName(p, first), cur(p).offset);
    {
        const WordSet stops = body ? setOf(wBegin, wEnd) : bit(wEnd);
        Expect e(p, stops);
        items(p, Context::Program, stops);
    }
    if (segment) levelEnd(p);
    if (body && isWord(p, cur(p), wBegin))
        mainBlock(p, kPasSegInitialization, 0, !p.generated);
    else if (body && !isWord(p, cur(p), wEnd))
        error(p, cur(p).line, kPasPackageBegin);
    closeSeq(p);
    char footer[8];
    if (isWord(p, cur(p), wEnd)) {
        const std::int32_t endLine = cur(p).line;
        const char follow = isSymbol(ahead(p, 1), '.') ? '.' : ';';
        textSeq(p, kFrame, kSlotFooter, endText(p, footer, follow), endLine);
    } else {
        error(p, cur(p).line, kPasPackageEnd);
        textSeq(p, kFrame, kSlotFooter, nullptr, 0);
    }
}

// ---------------------------------------------------------------------------
// The file

// A version structure comment at the head of the file: skips it, the rest
// of its line and the following line. Returns its line, or 0.
std::int32_t versionComment(Parser& p) {
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

void parseFile(Parser& p) {
    pushFrame(p, SeqFrame{0, 0, 0, false, 0, 0, 0});  // the outer sequence
    const std::int32_t version = versionComment(p);
    if (version) {
        p.generated = true;
        clearPushDown(p.o);
    }
    const std::int64_t start = offset(p);
    ahead(p, 0);
    levelStart(p, version ? version + 2 : 1, nullptr, start);
    Token& t = cur(p);
    switch (word(p, t)) {
        case wProgram:
            program(p);
            break;
        case wUnit:
            unit(p);
            break;
        case wLibrary:
            library(p);
            break;
        case wPackage:
            package(p);
            break;
        default:
            items(p, Context::Top, 0);
            break;
    }
    // Comments after the last structure.
    if (!p.stop && isEof(cur(p))) flushComments(p, cur(p));
    levelEnd(p);
    if (!p.stop && p.block->writeTreeEnd) sent(p, p.block->writeTreeEnd(p.block->treeContext));
}

std::uint32_t run(ParserBlock* block, const PascalEnvironment& env) {
    Parser p{};
    p.block = block;
    p.env = &env;
    p.w = static_cast<WorkArea*>(allocate(p, sizeof(WorkArea)));
    if (!p.w) return kParseFatal;
    readOptions(*block, env, p.o);
    p.functions = block->interfaceVersion >= kFirstFunctionVersion;
    for (int i = 0; i < kLookahead; ++i) {
        p.tok[i].text = TextBuffer{p.w->tokenText[i], 0, kPascalTokenLimit};
        p.tok[i].gap = TextBuffer{p.w->tokenGap[i], 0, kPascalTextLimit};
        p.tok[i].kind = Tok::Eof;
    }
    parseFile(p);
    release(p, p.log);
    release(p, p.w);
    if (p.overflow) return kParseStackOverflow;
    if (p.outOfMemory) return kParseFatal;
    if (p.errors || p.writeFailed) return kParseErrors;
    return kParseOk;
}

}  // namespace

const char* pascalOptionKey(PascalOption option) {
    const int i = static_cast<int>(option);
    return i >= 0 && i < static_cast<int>(PascalOption::Count) ? kOptionKeys[i] : "";
}

std::uint32_t pascalParse(ParserBlock* block, const PascalEnvironment& env) {
    if (g_busy) return kParseInUse;
    if (!block || block->interfaceVersion < kParserInterfaceOldest ||
        block->interfaceVersion > kParserInterfaceVersion)
        return kParseBadVersion;
    if (!env.read || !env.message) return kParseFatal;
    g_busy = true;
    const std::uint32_t result = run(block, env);
    g_busy = false;
    return result;
}
