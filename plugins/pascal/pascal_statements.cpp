// korrin-pas, the statements: recursive descent over the structure words
// of a statement part; everything else is collected as text, line by line
// as written.
#include <cstdio>
#include <cstring>

#include "plugins/pascal/pascal_internal.h"

namespace pascal_internal {

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

namespace {

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

// One statement where its first token begins a conditional region (the
// token before the branch stands outside it): the region counts as the
// statement. The alternatives followed give constructs, the others and
// the directives texts, up to and including the directive that closes the
// region, so that the branch compiles with and without each symbol.
void regionContent(Parser& p, int outside) {
    for (bool first = true; !p.stop; first = false) {
        Token& t = cur(p);
        if (!first && t.condLow <= outside) {
            flushGapPart(p, t, t.condLowAt);
            return;
        }
        if (isEof(t) || in(p, t, kClosers | p.expected)) return;
        if (isSymbol(t, ';'))
            consume(p);
        else
            statement(p);
    }
}

// The statements of a compound statement (at its BEGIN) without a Frame of
// their own; `missingEnd`: report a missing END.
void compoundContent(Parser& p, bool missingEnd) {
    consume(p);
    {
        Expect e(p, bit(wEnd));
        items(p, Context::Statements, bit(wEnd));
    }
    if (isWord(p, cur(p), wEnd)) {
        flushComments(p, cur(p));
        advance(p);
    } else if (missingEnd) {
        error(p, cur(p).line, kPasEndExpected);
    }
}

// The content of an open branch sequence: the statements of a compound
// statement, or one statement (a conditional region counts as one).
void branchContent(Parser& p) {
    Token& t = cur(p);
    if (t.cond > p.lastCond) {
        regionContent(p, p.lastCond);
    } else if (isWord(p, t, wBegin)) {
        compoundContent(p, true);
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
        // A compound statement as the whole rest branch gives its statements.
        if (isWord(p, cur(p), wBegin)) compoundContent(p, false);
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
    openFrame(p, line, finishText(p, text, c), c.line);
    if (compound) {
        {
            Expect e(p, bit(wEnd));
            items(p, Context::Statements, bit(wEnd));
        }
        closeFrameWithEnd(p, ';', kPasEndExpected);
        return;
    }
    if (found && (isEof(cur(p)) || in(p, cur(p), setOf(wEnd, wUntil, wExcept, wFinally))) && partnerError)
        error(p, cur(p).line, partnerError);
    branchContent(p);
    closeFrame(p);
}

}  // namespace

void compoundFrame(Parser& p, char footerFollow, const char* segment, int missingEnd) {
    Nest nest(p);
    Token& t = cur(p);
    const std::int32_t line = t.line;
    const bool assembler = isWord(p, t, wAsm);
    flushComments(p, t);
    char head[8];
    std::snprintf(head, sizeof head, "%.5s", t.text.data);
    const std::int64_t start = t.offset;
    advance(p);
    openFrame(p, line, head, line);
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
    if (assembler && isWord(p, cur(p), wEnd) && isSymbol(ahead(p, 1), '[')) {
        // "end ['eax', 'ebx'];": the registers the assembler block uses.
        closeSeq(p);
        const std::int32_t endLine = cur(p).line;
        TextBuffer text = textBuffer(p);
        Collect c{};
        bool closed = false;
        collect(p, text, c, [&](const Token& x) {
            const bool stop = closed;
            closed = closed || isSymbol(x, ']');
            return stop;
        });
        if (isSymbol(cur(p), footerFollow)) {
            addToken(p, text, c, cur(p));
            advance(p);
        }
        textSeq(p, kFrame, kSlotFooter, finishText(p, text, c), endLine);
        return;
    }
    const char* footer = closeFrameWithEnd(p, footerFollow, missingEnd);
    if (footer && footerFollow == ';' && footer[3] != ';' && !p.stop && !isEof(cur(p)) &&
        !isSymbol(cur(p), '.') && !in(p, cur(p), kClosers | setOf(wInitialization, wFinalization)))
        error(p, cur(p).line, kPasSemicolonExpected);
}

namespace {

// A Frame headed by `head` (the current keyword, taken) whose body is the
// statements up to END, with no footer of its own.
void handlerFrame(Parser& p, const char* head) {
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    advance(p);
    openFrame(p, line, head, line);
    items(p, Context::Statements, bit(wEnd));
    closeFrame(p);
}

void tryStatement(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    flushComments(p, cur(p));
    advance(p);
    openFrame(p, line, "try", line);
    {
        Expect e(p, setOf(wExcept, wFinally));
        items(p, Context::Statements, setOf(wExcept, wFinally, wEnd));
    }
    closeFrame(p);
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
    advance(p);
    openFrame(p, handlerLine, except ? "except" : "finally", handlerLine);
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
                    handlerFrame(p, "else");  // the handler for every other exception
                } else {
                    items(p, Context::Statements, setOf(wEnd, wOn, wElse));
                    if (isWord(p, cur(p), wElse) && !(p.expected & bit(wElse))) continue;
                }
            }
        } else {
            items(p, Context::Statements, bit(wEnd));
        }
    }
    closeFrameWithEnd(p, ';', kPasAfterHandler);
}

// EXCEPTION: a handler part up to the END of the enclosing block.
void exceptionBlock(Parser& p) {
    Nest nest(p);
    const std::int32_t line = cur(p).line;
    char head[16];
    std::snprintf(head, sizeof head, "%.9s", cur(p).text.data);
    const bool last = isEof(ahead(p, 1));
    handlerFrame(p, head);
    if (last) error(p, line, kPasAfterException);
}

}  // namespace

// A statement in a statement sequence or as the body of a structure.
void statement(Parser& p) {
    // Labels ("done:", "10:"), each a text of its own before the statement.
    while (!p.stop && (isName(p, cur(p)) || cur(p).kind == Tok::Number) && isSymbol(ahead(p, 1), ':')) {
        TextBuffer text = textBuffer(p);
        Collect c{};
        for (int i = 0; i < 2; ++i) {
            addToken(p, text, c, cur(p));
            advance(p);
        }
        addSameLineComments(p, text, c);
        element(p, kElementText, c.line, finishText(p, text, c));
        if (isEof(cur(p)) || isSymbol(cur(p), ';') || in(p, cur(p), kClosers)) return;
    }
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

}  // namespace pascal_internal
