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
//
// The lexer (with the input and the options) is pascal_lexer.cpp, the writer
// (texts and callbacks) pascal_writer.cpp, the parser pascal_statements.cpp,
// pascal_declarations.cpp and this file (programs, units, libraries,
// packages, the file as a whole and the entry point).
#include "plugins/pascal/pascal_parser.h"

#include <cstdio>
#include <cstring>

#include "plugins/pascal/pascal_internal.h"

namespace {

bool g_busy = false;  // korrin_parse is running: a nested call is refused

}  // namespace

namespace pascal_internal {
namespace {

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
    // The name may be any word ("unit export;").
    if (cur(p).kind != Tok::Word || in(p, cur(p), kHeadEnds)) error(p, line, afterError);
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

// Opens the Frame of a program, unit, library or package: its heading is
// the head.
void openUnitFrame(Parser& p, int afterError, int headerError) {
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    TextBuffer text = textBuffer(p);
    Collect c{};
    unitHeading(p, text, c, afterError, headerError);
    openFrame(p, line, finishText(p, text, c), c.line);
}

// A part of a program or unit that is not there: an error, or a warning
// when an include directive came before (the part is taken to be in the
// file it names).
void missingPart(Parser& p, std::int32_t line, int missing) {
    if (p.includeLine)
        includeWarning(p, line, missing);
    else
        error(p, line, missing);
}

// Closes the Frame of a program, unit or library with its footer "end.".
void finalEnd(Parser& p, int missing) {
    const std::int32_t line = cur(p).line;
    if (!isWord(p, cur(p), wEnd)) {
        missingPart(p, line, missing);
        closeFrame(p);
        return;
    }
    const char* footer = closeFrameWithEnd(p, '.', missing);
    if (footer && footer[3] != '.') error(p, line, kPasFinalDot);
}

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
    char head[20];
    std::snprintf(head, sizeof head, "%.14s", t.text.data);
    for (char* h = head; *h; ++h) *h = static_cast<char>(*h >= 'A' && *h <= 'Z' ? *h + 32 : *h);
    advance(p);
    openFrame(p, line, head, line);
    if (afterHead && isEof(cur(p))) error(p, line, afterHead);
    {
        Expect e(p, stops);
        items(p, ctx, stops);
    }
    closeFrame(p);
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
    openUnitFrame(p, kPasBeginExpected, 0);
    {
        Expect e(p, bit(wBegin));
        items(p, Context::Program, bit(wBegin));
    }
    if (isWord(p, cur(p), wBegin))
        mainBlock(p, kPasSegProgramBody, 0, !p.generated);
    else
        missingPart(p, cur(p).line, kPasBeginExpected);
    finalEnd(p, kPasEndDotExpected);
}

// One part of a unit: a Frame headed by its keyword holding what follows,
// in a segment when `segment` is not null.
void unitPart(Parser& p, Context ctx, const char* segment, WordSet stops) {
    framedPart(p, ctx, segment, stops, 0);
}

void unit(Parser& p) {
    Nest nest(p);
    openUnitFrame(p, kPasAfterUnit, kPasUnitHeader);
    constexpr WordSet kParts = setOf(wImplementation, wInitialization, wFinalization, wBegin, wEnd);
    if (isWord(p, cur(p), wInterface)) {
        unitPart(p, Context::Interface, p.o.pushInterface ? segmentName(p, kPasSegInterface) : nullptr,
                 kParts);
    } else {
        missingPart(p, cur(p).line, kPasNoInterface);
    }
    if (isWord(p, cur(p), wImplementation)) {
        const std::int32_t at = cur(p).line;
        unitPart(p, Context::Implementation,
                 p.o.pushImplementation ? segmentName(p, kPasSegImplementation) : nullptr,
                 setOf(wInitialization, wFinalization, wBegin, wEnd));
        if (isEof(cur(p))) error(p, at, kPasAfterImplementation);
    } else if (!(p.macPascal && isWord(p, cur(p), wEnd))) {
        // A Mac Pascal unit may end after its interface part.
        missingPart(p, cur(p).line, kPasNoImplementation);
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
    finalEnd(p, kPasEndExpected);
}

void library(Parser& p) {
    Nest nest(p);
    openUnitFrame(p, kPasAfterLibrary, kPasLibraryHeader);
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
    finalEnd(p, kPasLibraryEnd);
}

void package(Parser& p) {
    Nest nest(p);
    const bool body = isWord(p, ahead(p, 1), wBody);
    openUnitFrame(p, kPasPackageHeader, kPasPackageHeader);
    const bool segment = !p.generated;
    const int first = body ? kPasSegImplementation : kPasSegPackageHead;
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
    closeFrameWithEnd(p, isWord(p, cur(p), wEnd) && isSymbol(ahead(p, 1), '.') ? '.' : ';', kPasPackageEnd);
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
    if (!prepare(p, block, env)) return kParseFatal;
    parseFile(p);
    finish(p);
    if (p.overflow) return kParseStackOverflow;
    if (p.outOfMemory) return kParseFatal;
    if (p.errors || p.writeFailed) return kParseErrors;
    return kParseOk;
}

}  // namespace
}  // namespace pascal_internal

std::uint32_t pascalParse(ParserBlock* block, const PascalEnvironment& env) {
    if (g_busy) return kParseInUse;
    if (!block || block->interfaceVersion < kParserInterfaceOldest ||
        block->interfaceVersion > kParserInterfaceVersion)
        return kParseBadVersion;
    if (!env.read || !env.message) return kParseFatal;
    g_busy = true;
    const std::uint32_t result = pascal_internal::run(block, env);
    g_busy = false;
    return result;
}
