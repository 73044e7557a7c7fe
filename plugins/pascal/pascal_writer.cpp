// korrin-pas, the writer: texts collected from tokens as they are sent,
// and the callbacks, with a stack of open child sequences so that an empty
// one gets its Dummy, and a log that can hold back a part of the tree until
// its segment header is known.
#include <cstdio>
#include <cstring>

#include "plugins/pascal/pascal_internal.h"

namespace pascal_internal {

// ---------------------------------------------------------------------------
// Texts

namespace {

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

}  // namespace

bool hasComment(const Token& t) {
    if (!t.gapComment) return false;
    int from, to;
    gapComments(t, from, to);
    return from < to;
}

bool TextBuffer::grow(int more) {
    if (!owner || store < 0 || owner->stop) return false;
    Parser& p = *owner;
    const std::int64_t need = static_cast<std::int64_t>(length) + more;
    if (need > kPascalMaxText) {
        if (!p.textTooLong) {
            p.textTooLong = true;
            error(p, p.line, kPasTokenTooLong);
        }
        return false;
    }
    std::int64_t size = static_cast<std::int64_t>(capacity) * 2;
    if (size < need) size = need;
    if (size > kPascalMaxText) size = kPascalMaxText;
    char* grown = static_cast<char*>(allocate(p, static_cast<std::size_t>(size) + 1));
    if (!grown) {
        p.stop = true;
        return false;
    }
    if (length > 0) std::memcpy(grown, data, static_cast<std::size_t>(length));
    Parser::Store& home = p.store[store];
    if (home.heap) release(p, home.data);
    home = {grown, static_cast<int>(size), true};
    data = grown;
    capacity = static_cast<int>(size);
    return true;
}

// The collector's buffer: one of the parser's stores.
TextBuffer textBuffer(Parser& p) {
    const Parser::Store& s = p.store[Parser::kStoreText];
    return TextBuffer{s.data, 0, s.capacity, &p, Parser::kStoreText};
}

// Adds a token (with the gap before it) to the collected text: the first
// token brings only the comments of its gap.
void addToken(Parser& p, TextBuffer& text, Collect& c, Token& t, bool withToken) {
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

namespace {

// After a part of the gap of the current token was taken: whether a
// comment is left in it, and where that begins.
void restOfGap(Parser& p, Token& t) {
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

}  // namespace

void addSameLineComments(Parser& p, TextBuffer& text, Collect& c) {
    Token& t = ahead(p, 0);
    if (!c.started || t.gapStart != 0 || t.gapSameLine == 0) return;
    // A directive there that closes a conditional region the text stands
    // in belongs to the enclosing structure.
    if (t.condLow < p.lastCond && t.condLowAt <= t.gapSameLine) return;
    text.add(t.gap.data, t.gapSameLine);
    t.gapStart = t.gapSameLine;
    restOfGap(p, t);
}

// The collected text as it is sent: CR LF between lines, trailing blanks
// removed, and the lines after the first lose the indentation of the first.
const char* finishText(Parser& p, const TextBuffer& text, const Collect& c) {
    const Parser::Store& store = p.store[Parser::kStoreOut];
    TextBuffer out{store.data, 0, store.capacity, &p, Parser::kStoreOut};
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
        if (!first) out.add("\r\n", 2);
        out.add(text.data + b, t - b);
        first = false;
        i = e + 1;
    }
    // Trailing empty lines.
    while (out.length >= 2 && out.data[out.length - 1] == '\n' && out.data[out.length - 2] == '\r')
        out.length -= 2;
    if (out.length >= out.capacity) out.length = out.capacity;  // cut: the text outgrew kPascalMaxText
    out.data[out.length] = 0;
    p.outLength = out.length;
    return out.data;
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

namespace {

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

}  // namespace

bool pushFrame(Parser& p, const SeqFrame& f) {
    if (p.depth >= static_cast<int>(sizeof p.w->frames / sizeof p.w->frames[0])) {
        p.overflow = true;
        p.stop = true;
        return false;
    }
    p.w->frames[p.depth++] = f;
    return true;
}

namespace {

// A text longer than a construct takes: consecutive texts, split at line
// ends (at a blank, or anywhere, in a line that is itself too long).
void splitText(Parser& p, std::int32_t line, const char* text, std::size_t length) {
    splitWarning(p, line);
    while (length > 0 && !p.stop) {
        std::size_t n = length;
        std::size_t next = length;
        if (n > static_cast<std::size_t>(kPascalTextLimit)) {
            n = kPascalTextLimit;
            while (n > 0 && !(text[n - 1] == '\r' && text[n] == '\n')) --n;
            if (n > 0) {
                next = n + 1;
                --n;
            } else {
                n = kPascalTextLimit;
                while (n > 1 && text[n - 1] != ' ' && text[n - 1] != '\t') --n;
                if (n <= 1) n = kPascalTextLimit;
                next = n;
            }
        }
        std::memcpy(p.w->chunk, text, n);
        p.w->chunk[n] = 0;
        element(p, kElementText, line, p.w->chunk);
        for (std::size_t k = 0; k < next; ++k)
            if (text[k] == '\n') ++line;
        text += next;
        length -= next;
    }
}

}  // namespace

void element(Parser& p, std::int32_t type, std::int32_t line, const char* text, std::int32_t par1,
             std::int32_t par2) {
    if (p.stop) return;
    // Only a text finishText made can be longer than a construct takes.
    if (type == kElementText && text == p.store[Parser::kStoreOut].data && p.outLength > kPascalTextLimit) {
        const std::size_t length = std::strlen(text);
        if (length > static_cast<std::size_t>(kPascalTextLimit)) {
            splitText(p, line, text, length);
            return;
        }
    }
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

void flushGapPart(Parser& p, Token& t, int at) {
    if (at <= t.gapStart) return;
    const int length = t.gap.length;
    t.gap.length = at;
    flushComments(p, t);
    t.gap.length = length;
    t.gapStart = at;
    restOfGap(p, t);
}

// Consumes the current token, sending its comments first.
void consume(Parser& p) {
    flushComments(p, cur(p));
    advance(p);
}

// ---------------------------------------------------------------------------
// Frames

namespace {

// "end" and a following `follow` character as one footer text.
const char* endText(Parser& p, char follow) {
    std::snprintf(p.footer, sizeof p.footer, "%.3s", cur(p).text.data);
    advance(p);
    if (isSymbol(cur(p), follow)) {
        std::strncat(p.footer, follow == ';' ? ";" : ".", 2);
        advance(p);
    }
    return p.footer;
}

}  // namespace

void openFrame(Parser& p, std::int32_t line, const char* head, std::int32_t headLine, std::int32_t type) {
    element(p, type, line);
    textSeq(p, type, kSlotHead, head, headLine);
    openSeq(p, type, kSlotBody);
}

void closeFrame(Parser& p, const char* footer, std::int32_t footerLine) {
    closeSeq(p);
    textSeq(p, kFrame, kSlotFooter, footer, footerLine);
}

const char* closeFrameWithEnd(Parser& p, char follow, int missing) {
    closeSeq(p);
    if (!isWord(p, cur(p), wEnd)) {
        error(p, cur(p).line, missing);
        textSeq(p, kFrame, kSlotFooter, nullptr, 0);
        return nullptr;
    }
    const std::int32_t line = cur(p).line;
    const char* footer = endText(p, follow);
    textSeq(p, kFrame, kSlotFooter, footer, line);
    return footer;
}

}  // namespace pascal_internal
