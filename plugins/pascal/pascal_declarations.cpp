// korrin-pas, the declarations: sections, routine headings and bodies, and
// the sequence of declarations and statements they stand in.
#include <cstdio>
#include <cstring>

#include "plugins/pascal/pascal_internal.h"

namespace pascal_internal {

namespace {

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
    int classParens = -1;      // "class(...)": a forward declaration when ";" follows the list
    bool objcHeading = false;  // between "= objcclass" and its body or ";"
    bool prevEquals = false, prevColon = false, prevOf = false, prevTo = false, prevPacked = false;
    while (!p.stop) {
        Token& t = cur(p);
        if (isEof(t)) break;
        const Word w = word(p, t);
        const bool typeContext = prevEquals || prevColon || prevOf || prevTo;
        if (objcHeading && parens == 0 && !isSymbol(t, '(') && !ordinaryWordIs(t, "EXTERNAL") &&
            !ordinaryWordIs(t, "NAME") && t.kind != Tok::String && !ordinaryWordIs(t, "OBJCCLASS") &&
            !ordinaryWordIs(t, "OBJCPROTOCOL") && !ordinaryWordIs(t, "OBJCCATEGORY") &&
            !ordinaryWordIs(t, "CPPCLASS")) {
            objcHeading = false;
            if (!isSymbol(t, ';')) ++depth;
        }
        // A word before ":" or "," is a name being declared ("Package: T;").
        const bool declared = isSymbol(ahead(p, 1), ':') || isSymbol(ahead(p, 1), ',');
        if (depth == 0 && parens == 0 && w != wNone && (kSectionEnds & bit(w)) && !declared) {
            const bool procedureType = (kRoutineWords & bit(w)) && typeContext;
            const bool interfaceType = w == wInterface && prevEquals;
            if (!procedureType && !interfaceType) break;
        }
        if (depth == 0 && parens == 0 && w == wAsm && p.o.delphi) break;
        if (depth == 0 && parens == 0 && w == wClass && !prevEquals &&
            (in(p, ahead(p, 1), kRoutineWords) || ordinaryWordIs(ahead(p, 1), "OPERATOR")))
            break;
        if (depth == 0 && parens == 0 && !typeContext && ordinaryWordIs(t, "OPERATOR")) {
            const Token& n = ahead(p, 1);
            if (!isSymbol(n, ':') && !isSymbol(n, ',') && !isSymbol(n, '=') && !isSymbol(n, ';') &&
                !isSymbol(n, ')'))
                break;
        }
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
        } else if (w == wNone && prevEquals &&
                   (ordinaryWordIs(t, "OBJCCLASS") || ordinaryWordIs(t, "OBJCPROTOCOL") ||
                    ordinaryWordIs(t, "OBJCCATEGORY") || ordinaryWordIs(t, "CPPCLASS"))) {
            // Objective-Pascal and C++ classes: a body follows the heading
            // unless ";" ends it ("= objcclass external name 'X';").
            objcHeading = true;
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
        // "generic T<A>=class": the lexer reads ">=" as one symbol.
        prevEquals = isSymbol(t, '=') || (t.kind == Tok::Symbol && !std::strcmp(t.text.data, ">="));
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
        "FORWARD",      "EXTERNAL",     "OVERLOAD",   "OVERRIDE",      "VIRTUAL",        "DYNAMIC",
        "ABSTRACT",     "REINTRODUCE",  "STATIC",     "DEPRECATED",    "PLATFORM",       "VARARGS",
        "NOSTACKFRAME", "NORETURN",     "FINAL",      "EXPERIMENTAL",  "WINAPI",         "MESSAGE",
        "DISPID",       "PUBLIC",       "ALIAS",      "SYSCALL",       "INTERNPROC",     "COMPILERPROC",
        "LOCAL",        "MWPASCAL",     "SOFTFLOAT",  "VECTORCALL",    "HARDFLOAT",      "SAVEREGISTERS",
        "OLDFPCCALL",   "IOCHECK",      "ENUMERATOR", "UNIMPLEMENTED", "MS_ABI_DEFAULT", "SYSV_ABI_DEFAULT",
        "MS_ABI_CDECL", "WEAKEXTERNAL", "CBLOCK",     "INTERNCONST",   "NODEFAULT",      "DEFAULT",
    };
    for (const char* d : kDirectives)
        if (t.text.length == static_cast<int>(std::strlen(d)) && equalNoCase(t.text.data, d, t.text.length))
            return true;
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
    bool isOperator = ordinaryWordIs(first, "OPERATOR");
    if (isWord(p, first, wClass)) {  // class procedure ...
        isOperator = ordinaryWordIs(cur(p), "OPERATOR");
        addToken(p, text, c, cur(p));
        advance(p);
    }
    // The name: the calling-convention words are names here.
    const Word named = cur(p).kind == Tok::Word ? cur(p).word : wNone;
    // An operator's name is its symbol or word.
    if (!isOperator && !isName(p, cur(p)) && !(named >= wRegister && named <= wSafecall))
        error(p, line, afterError);
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
    // Directives: word, arguments, ";"; or a list in brackets
    // ("[external name 'x'];").
    auto bodiless = [](const Token& t) {
        return ordinaryWordIs(t, "FORWARD") || ordinaryWordIs(t, "EXTERNAL") ||
               ordinaryWordIs(t, "SYSCALL") || ordinaryWordIs(t, "INTERNPROC") ||
               ordinaryWordIs(t, "WEAKEXTERNAL");
    };
    while (!p.stop && (isDirective(p, cur(p)) || isSymbol(cur(p), '['))) {
        const bool list = isSymbol(cur(p), '[');
        collect(p, text, c, [&](const Token& t) {
            if (bodiless(t)) body = false;
            if (list) return isSymbol(t, ';') || isEof(t);
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
    char head[8];
    std::snprintf(head, sizeof head, "%.6s", cur(p).text.data);
    advance(p);
    openFrame(p, line, head, line);
    routine(p, ctx);
    closeFrame(p);
}

void routine(Parser& p, Context ctx) {
    Nest nest(p);
    Token& first = cur(p);
    flushComments(p, first);
    // An operator is a function.
    const Token& named = isWord(p, first, wClass) ? ahead(p, 1) : first;
    const Word kind = ordinaryWordIs(named, "OPERATOR") ? wFunction : word(p, named);
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
    std::snprintf(p.w->header, sizeof p.w->header, "%s", head);
    const std::int32_t type = kind == wProcedure                 ? kProcedure
                              : kind == wFunction && p.functions ? kFunction
                                                                 : kFrame;
    const bool segment = !p.generated;
    if (segment) levelStart(p, line, p.w->header, start);
    openFrame(p, line, head, c.line, type);
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
    if (type == kFrame)
        closeFrame(p);
    else
        closeSeq(p);
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

}  // namespace

// A sequence of declarations and statements up to a word of `stops` (not
// consumed) or a closing word an enclosing structure waits for.
void items(Parser& p, Context ctx, WordSet stops) {
    Nest nest(p);
    while (!p.stop) {
        Token& t = cur(p);
        if (isEof(t)) {
            flushComments(p, t);  // where they stand, not after the structure
            break;
        }
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
                if (in(p, ahead(p, 1), kRoutineWords) || ordinaryWordIs(ahead(p, 1), "OPERATOR"))
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
                misplaced(p);
                break;
            case wProgram:
            case wUnit:
            case wLibrary:
            case wPackage:
                // Only the file's first word: elsewhere a name ("package := p;").
                if (ahead(p, 1).kind == Tok::Symbol && !isSymbol(ahead(p, 1), ';')) {
                    statement(p);
                    break;
                }
                misplaced(p);
                break;
            case wInterface:
            case wImplementation:
            case wInitialization:
            case wFinalization:
                misplaced(p);
                break;
            default:
                if (isOperatorHead(p, ctx, t))
                    routine(p, ctx);
                else
                    statement(p);
                break;
        }
    }
}

}  // namespace pascal_internal
