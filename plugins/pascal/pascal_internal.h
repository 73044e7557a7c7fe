// The parts of korrin-pas shared by its lexer, writer and parser: the
// reserved words, the options, the work area, the parser state and the
// functions each layer offers the others. Not for use outside the plug-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "plugins/pascal/pascal_parser.h"

namespace pascal_internal {

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

using WordSet = std::uint64_t;
constexpr WordSet bit(Word w) {
    return WordSet{1} << w;
}
template <typename... W>
constexpr WordSet setOf(W... words) {
    return (bit(words) | ...);
}

// Words that end the text of a statement (they begin or close a structure).
// The words that begin a file (program, unit, ...) are names anywhere else.
constexpr WordSet kStatementEnds =
    setOf(wEnd, wElse, wUntil, wExcept, wFinally, wThen, wDo, wOf, wIf, wWhile, wFor, wRepeat, wCase, wWith,
          wBegin, wTry, wAsm, wProcedure, wFunction, wConstructor, wDestructor, wConst, wType, wVar, wLabel,
          wUses, wInterface, wImplementation, wInitialization, wFinalization, wOtherwise);
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

inline bool equalNoCase(const char* a, const char* b, int n) {
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
    char defines[1024] = "";  // the symbols defined before the source's own
};

// ---------------------------------------------------------------------------
// Buffers of the work area

struct Parser;

// A text being collected: line ends as '\n'. A text over one of the
// parser's stores grows as needed (up to kPascalMaxText characters); any
// other is cut at its capacity.
struct TextBuffer {
    char* data;
    int length;
    int capacity;
    Parser* owner = nullptr;
    int store = -1;  // the parser's store it lives in
    void clear() { length = 0; }
    // Makes room for `more` characters; false when it cannot.
    bool grow(int more);
    void add(char c) {
        if (length < capacity || grow(1)) data[length++] = c;
    }
    void add(const char* s, int n) {
        if (n > capacity - length && !grow(n)) n = capacity - length;
        if (n > 0) {
            std::memcpy(data + length, s, static_cast<std::size_t>(n));
            length += n;
        }
    }
};

// The longest text collected before the parse gives up (a comment or an
// inactive conditional region of that size is no source).
constexpr int kPascalMaxText = 8 * 1024 * 1024;

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
    // Conditional compilation: the depth of open regions (counted in the
    // alternatives the parse follows) at the token, the lowest depth in its
    // gap and the gap offset right after the directive that first reached
    // it (0: never below the depth at the gap's start), and whether the gap
    // passed from one alternative of a region to another.
    int cond, condLow, condLowAt;
    bool condAlt;
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
    char chunk[kPascalTextLimit + 1];   // one part of a text split for its length
    char message[1024];
    char include[kParserPathSize];  // the file named by the last include directive
    struct Symbol {
        char name[64];
        std::int64_t value;
    } symbols[512];  // symbols defined for conditional compilation
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
    int cond = 0;    // open conditional regions, in the alternatives followed
    int symbolCount = 0;
    bool macPascal = false;        // {$mode macpas}
    bool afterDot = false;         // the token read last was "."
    std::int32_t includeLine = 0;  // of the last include directive (0: none)
    bool textTooLong = false;      // a text outgrew kPascalMaxText
    int outLength = 0;             // of the text finishText made last

    // Growable text stores: the collected text, the text as sent, the gaps.
    enum { kStoreText, kStoreOut, kStoreGap, kStoreCount = kStoreGap + 3 };
    struct Store {
        char* data;
        int capacity;
        bool heap;
    } store[kStoreCount] = {};

    // Tokens
    Token tok[kLookahead];
    int head = 0, count = 0;
    bool inHeading = false;  // a procedure or function heading is read
    std::int64_t lastEnd = 0;
    std::int32_t lastLine = 1;
    bool lastSemicolon = false;  // the token taken last was ";"
    int lastCond = 0;            // the conditional depth at the token taken last

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
    std::uint32_t warnings = 0;
    char footer[8] = "";  // the footer text "end" with what follows it
};

// Where a sequence of declarations and statements stands.
enum class Context { Top, Program, Routine, Interface, Implementation, Statements };

// ---------------------------------------------------------------------------
// Lexer (pascal_lexer.cpp)

// Allocates the work area, reads the options and readies the tokens; false
// when the work area cannot be allocated.
bool prepare(Parser& p, ParserBlock* block, const PascalEnvironment& env);
// Frees what the parse allocated.
void finish(Parser& p);
void readOptions(const ParserBlock& block, const PascalEnvironment& env, Options& o);
void clearPushDown(Options& o);
// Zero-filled blocks from the environment's allocator; null (and
// outOfMemory) when there is none left.
void* allocate(Parser& p, std::size_t size);
void release(Parser& p, void* block);
// Reports message `number` at `line` as an error.
void error(Parser& p, std::int32_t line, int number);
// Warns that a text was split for its length.
void splitWarning(Parser& p, std::int32_t line);
// Reports the missing part `missing` (a message number) as a warning: it is
// taken to be in the file of the last include directive.
void includeWarning(Parser& p, std::int32_t line, int missing);
// The text of message `number` (a segment name), in the work area.
const char* segmentName(Parser& p, int number);
// The reserved word `text` (n characters) spells, or wNone.
Word lookupWord(const char* text, int n);
// Reads the next token (with the gap before it) into t.
void readToken(Parser& p, Token& t);
// The token `k` places ahead of the current one.
Token& ahead(Parser& p, int k);
// Takes the current token.
void advance(Parser& p);

// A version structure comment at the head of the file: skips it, the rest
// of its line and the following line. Returns its line, or 0.
std::int32_t versionComment(Parser& p);

inline std::int64_t offset(const Parser& p) {
    return p.base + p.pos;
}

inline bool isSymbol(const Token& t, char c) {
    return t.kind == Tok::Symbol && t.text.length == 1 && t.text.data[0] == c;
}

inline Token& cur(Parser& p) {
    return p.tok[p.head];
}

// The reserved word a token stands for here.
inline Word word(const Parser& p, const Token& t) {
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
inline bool isName(const Parser& p, const Token& t) {
    return t.kind == Tok::Word && word(p, t) == wNone;
}

// An ordinary word that reads `upperText` (upper case).
template <std::size_t N>
inline bool ordinaryWordIs(const Token& t, const char (&upperText)[N]) {
    constexpr int n = static_cast<int>(N) - 1;
    return t.kind == Tok::Word && t.text.length == n && equalNoCase(t.text.data, upperText, n);
}
// "operator" heading an operator declaration (not in a statement part).
inline bool isOperatorHead(Parser& p, Context ctx, const Token& t) {
    return ctx != Context::Statements && ordinaryWordIs(t, "OPERATOR") && !isSymbol(ahead(p, 1), ';');
}

// ---------------------------------------------------------------------------
// Texts and the writer (pascal_writer.cpp)

// A text being collected from tokens.
struct Collect {
    std::int32_t line;    // of its first character
    std::int32_t column;  // visual column of its first character
    bool started;
};

// The gap before `t` holds a comment not yet taken.
bool hasComment(const Token& t);
// The collector's buffer (in the work area).
TextBuffer textBuffer(Parser& p);
// Adds a token (with the gap before it) to the collected text: the first
// token brings only the comments of its gap.
void addToken(Parser& p, TextBuffer& text, Collect& c, Token& t, bool withToken = true);
// Adds only the comments of the gap before `t` (the token itself stays).
void addGapComments(Parser& p, TextBuffer& text, Collect& c, Token& t);
// After a text that ended with a token on some line: comments that begin on
// that line still belong to it.
void addSameLineComments(Parser& p, TextBuffer& text, Collect& c);
// The collected text as it is sent (in the work area).
const char* finishText(Parser& p, const TextBuffer& text, const Collect& c);
// Removes one pair of parentheses that encloses the whole condition.
const char* stripParens(char* text);

bool pushFrame(Parser& p, const SeqFrame& f);
inline SeqFrame& top(Parser& p) {
    return p.w->frames[p.depth - 1];
}
// The callbacks (held back in the log while p.logging).
void sent(Parser& p, std::int32_t result);
void element(Parser& p, std::int32_t type, std::int32_t line, const char* text = nullptr,
             std::int32_t par1 = 0, std::int32_t par2 = 0);
void openSeq(Parser& p, std::int32_t owner, std::int32_t edge);
// Closes the open sequence (a Dummy when nothing went into it).
void closeSeq(Parser& p);
// A child sequence holding one text (a Dummy when it is empty).
void textSeq(Parser& p, std::int32_t owner, std::int32_t edge, const char* text, std::int32_t line);
void levelStart(Parser& p, std::int32_t line, const char* header, std::int64_t sourceStart);
void levelEnd(Parser& p);
// Starts holding the callbacks back (the sequence counts still go on).
void startLog(Parser& p);
// Sends what was held back.
void replayLog(Parser& p);

// Opens a structure of `type` (a Frame unless said otherwise) on `line`:
// the construct, its head text (null: a Dummy) and its body sequence.
void openFrame(Parser& p, std::int32_t line, const char* head, std::int32_t headLine,
               std::int32_t type = kFrame);
// Closes the body of a Frame and adds its footer text (null: a Dummy).
void closeFrame(Parser& p, const char* footer = nullptr, std::int32_t footerLine = 0);
// Closes the body of a Frame whose footer is "end" and the `follow`
// character when that comes next. Without "end": the error `missing` and
// an empty footer. Returns the footer text, or null.
const char* closeFrameWithEnd(Parser& p, char follow, int missing);

// Sends the comments before `t` as a text of their own into the open
// sequence.
void flushComments(Parser& p, Token& t);
// Consumes the current token, sending its comments first.
void consume(Parser& p);
// The gap of `t` up to offset `at` as a text of its own into the open
// sequence; the rest of the gap stays with the token.
void flushGapPart(Parser& p, Token& t, int at);

// ---------------------------------------------------------------------------
// Parser (pascal_statements.cpp, pascal_declarations.cpp, pascal_parser.cpp)

// Counts the structures open inside each other; too many stop the parse.
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

// The closing words an enclosing structure waits for, while it is open.
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

// A statement in a statement sequence or as the body of a structure.
void statement(Parser& p);
// A statement as a text up to and including its ";".
void simpleStatement(Parser& p);
// BEGIN (or ASM) ... END as a Frame; `footerFollow` is the character that
// may join "end" in the footer. `segment`: the body goes into a segment of
// that name.
void compoundFrame(Parser& p, char footerFollow, const char* segment, int missingEnd);
// A sequence of declarations and statements up to a word of `stops` (not
// consumed) or a closing word an enclosing structure waits for.
void items(Parser& p, Context ctx, WordSet stops);

}  // namespace pascal_internal
