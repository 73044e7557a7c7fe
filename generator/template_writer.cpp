// Writing templates and construct texts: the output writer with its line
// and column accounting and the line-length check, the indentation, and the
// interpreter of the escape language (generator/generation.h).
#include <algorithm>
#include <cstring>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/host.h"
#include "generator/generation.h"
#include "resources/strings.h"

namespace {

constexpr char kBlanks[] = "                                                                ";
constexpr std::int32_t kBlankRun = sizeof kBlanks - 1;
// Indent numbers in templates: at most this many digits and this value.
constexpr int kMaxIndentDigits = 5;
constexpr std::int32_t kMaxIndentValue = 32767;

void appendOutput(GenState& s, const char* text, std::size_t count) {
    while (count > 0) {
        std::size_t room = static_cast<std::size_t>(kOutputBufferSize - s.buffered);
        if (room == 0) {
            flushOutput(s);
            continue;
        }
        const std::size_t n = std::min(room, count);
        std::memcpy(s.buffer + s.buffered, text, n);
        s.buffered += static_cast<int>(n);
        text += n;
        count -= n;
    }
}

std::int32_t addSaturated(std::int32_t a, std::int64_t b) {
    const std::int64_t sum = static_cast<std::int64_t>(a) + b;
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(sum);
}

void checkLineLength(GenState& s, std::int64_t added) {
    if (s.maxLineLength < 0 || !s.lineCheckOn || added <= 0) return;
    if (static_cast<std::int64_t>(s.column) + added <= s.maxLineLength || s.lastLineTooLong == s.line) return;
    s.lastLineTooLong = s.line;
    if (askQuestion(IDS_GENMSG_LINE_TOO_LONG, kBoxOkCancel | kBoxDefault, kAnswerOk, s.line, s.outputPath) ==
        kAnswerCancel)
        s.lineCheckOn = false;
}

std::int32_t effectiveIndent(const GenState& s) {
    return s.maxIndent >= 0 && s.indent > s.maxIndent ? s.maxIndent : s.indent;
}

void pad(GenState& s, std::int32_t count) {
    while (count > 0) {
        const std::int32_t n = std::min(count, kBlankRun);
        emitText(s, kBlanks, static_cast<std::size_t>(n));
        count -= n;
    }
}

void lineBreak(GenState& s) {
    emitText(s, "\r\n", 2);
    s.atLineStart = true;
}

// The indentation of a line: blanks from the current column (0 at line
// start) up to the effective indent. 0 for a negative indent.
int writeIndentation(GenState& s) {
    if (s.indent < 0) {
        s.pendingError = IDS_GENMSG_NEGATIVE_INDENT;
        return 0;
    }
    pad(s, effectiveIndent(s) - s.column);
    s.atLineStart = false;
    return 1;
}

// Text is about to be written: the line's indentation first when nothing
// has been written on it yet.
int beforeText(GenState& s) {
    return !s.atLineStart || writeIndentation(s);
}

// The escape from its backslash at `from` up to and including `failing`,
// at most 32 characters, as the symbol of the invalid-symbol message.
int invalidSymbol(GenState& s, const char* value, std::size_t from, std::size_t failing) {
    const std::size_t length = std::strlen(value);
    std::size_t end = std::min(failing + 1, length);
    if (end <= from) end = std::min(from + 1, length);
    std::size_t n = std::min<std::size_t>(end - from, kSymbolSize - 1);
    std::memcpy(s.pendingSymbol, value + from, n);
    s.pendingSymbol[n] = 0;
    s.pendingError = IDS_GENMSG_INVALID_SYMBOL;
    return 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the digits at `pos`: at most kMaxIndentDigits of them. False for
// none or too many.
bool readNumber(const char* value, std::size_t& pos, std::int32_t& number) {
    const std::size_t start = pos;
    number = 0;
    while (isDigit(value[pos])) {
        if (pos - start >= static_cast<std::size_t>(kMaxIndentDigits)) return false;
        number = number * 10 + (value[pos] - '0');
        ++pos;
    }
    return pos > start && number <= kMaxIndentValue;
}

int pushIndent(GenState& s) {
    if (s.stackSize == s.stackCapacity) {
        const int capacity = s.stackCapacity + kIndentStackStep;
        auto* grown =
            static_cast<std::int32_t*>(memAlloc(static_cast<std::size_t>(capacity) * sizeof(std::int32_t)));
        if (!grown) {
            s.failed = true;
            return 0;
        }
        if (s.stackSize > 0)
            std::memcpy(grown, s.indentStack, static_cast<std::size_t>(s.stackSize) * sizeof(std::int32_t));
        memFree(s.indentStack);
        s.indentStack = grown;
        s.stackCapacity = capacity;
    }
    s.indentStack[s.stackSize++] = s.indent;
    return 1;
}

bool literalAppend(GenState& s, const char* text, int count) {
    if (s.literalLength + count > kLiteralSize - 1) return false;
    std::memcpy(s.literal + s.literalLength, text, static_cast<std::size_t>(count));
    s.literalLength += count;
    s.literal[s.literalLength] = 0;
    return true;
}

bool literalPad(GenState& s, std::int32_t toColumn) {
    while (s.literalColumn < toColumn) {
        if (!literalAppend(s, " ", 1)) return false;
        ++s.literalColumn;
    }
    return true;
}

// The continuation literal starting at the quote at value[pos]; `from` is
// its backslash. Leaves `pos` after the closing quote.
int collectLiteral(GenState& s, const char* value, std::size_t from, std::size_t& pos) {
    s.literalLength = 0;
    s.literal[0] = 0;
    s.literalColumn = 0;
    ++pos;  // the opening quote
    for (;;) {
        const char c = value[pos];
        if (!c) return invalidSymbol(s, value, from, pos);
        if (c == '"') {
            if (value[pos + 1] != '"') {
                ++pos;
                break;
            }
            if (!literalAppend(s, "\"", 1)) return invalidSymbol(s, value, from, pos);
            ++s.literalColumn;
            pos += 2;
            continue;
        }
        if (c != '\\') {
            if (!literalAppend(s, &c, 1)) return invalidSymbol(s, value, from, pos);
            ++s.literalColumn;
            ++pos;
            continue;
        }
        const std::size_t escape = pos;
        const char e = value[pos + 1];
        if (e == 'n') {
            if (!literalAppend(s, "\r\n", 2)) return invalidSymbol(s, value, from, pos);
            s.literalColumn = 0;
            pos += 2;
        } else if (e == '\\') {
            if (!literalAppend(s, "\\", 1)) return invalidSymbol(s, value, from, pos);
            ++s.literalColumn;
            pos += 2;
        } else if (e == 'i') {
            if (!literalPad(s, s.indent)) return invalidSymbol(s, value, from, pos);
            pos += 2;
        } else if (isDigit(e)) {
            pos += 1;
            std::int32_t column = 0;
            if (!readNumber(value, pos, column) || value[pos] != ':')
                return invalidSymbol(s, value, escape, pos);
            if (!literalPad(s, column)) return invalidSymbol(s, value, from, pos);
            pos += 1;
        } else {
            return invalidSymbol(s, value, escape, pos + 1);
        }
    }
    s.literalPresent = true;
    return 1;
}

// Interprets the value of a template. 0 with state.pendingError set (or
// state.failed) when it must stop.
int runTemplate(GenState& s, const char* value, bool* childEmit, const ConstructNode* construct) {
    std::size_t pos = 0;
    while (value[pos]) {
        if (value[pos] != '\\') {
            const char* next = std::strchr(value + pos, '\\');
            const std::size_t end = next ? static_cast<std::size_t>(next - value) : std::strlen(value);
            if (!beforeText(s)) return 0;
            emitText(s, value + pos, end - pos);
            s.atLineStart = false;
            pos = end;
            continue;
        }
        const std::size_t from = pos;
        const char c = value[pos + 1];
        switch (c) {
            case 'N':
                if (!s.atLineStart) lineBreak(s);
                pos += 2;
                break;
            case 'n':
                lineBreak(s);
                pos += 2;
                break;
            case '\\':
                if (!beforeText(s)) return 0;
                emitText(s, "\\", 1);
                s.atLineStart = false;
                pos += 2;
                break;
            case 'i':
                if (s.atLineStart) {
                    if (!writeIndentation(s)) return 0;
                } else if (s.indent < 0) {
                    // Inside a line the template goes on.
                    showMessage(IDS_GENMSG_NEGATIVE_INDENT, kBoxDefault);
                } else {
                    pad(s, effectiveIndent(s) - s.column);
                }
                pos += 2;
                break;
            case 'c':
                if (!s.atLineStart) s.indent = s.column;
                pos += 2;
                break;
            case 's':
                if (!pushIndent(s)) return 0;
                pos += 2;
                break;
            case 'r':
                if (s.stackSize == 0) {
                    s.pendingError = IDS_GENMSG_POP_WITHOUT_PUSH;
                    return 0;
                }
                s.indent = s.indentStack[--s.stackSize];
                pos += 2;
                break;
            case 'X':
                if (childEmit) *childEmit = false;
                pos += 2;
                break;
            case '"':
                pos += 1;
                if (!collectLiteral(s, value, from, pos)) return 0;
                break;
            case '%': {
                static constexpr char kSegNum[] = "%SEGNUM%";
                for (std::size_t i = 0; i < sizeof kSegNum - 1; ++i) {
                    char t = value[pos + 1 + i];
                    if (t >= 'a' && t <= 'z') t = static_cast<char>(t - 'a' + 'A');
                    if (t != kSegNum[i]) return invalidSymbol(s, value, from, pos + 1 + i);
                }
                char number[16];
                segmentNumberText(construct, number, sizeof number);
                if (!beforeText(s)) return 0;
                emitText(s, number, std::strlen(number));
                s.atLineStart = false;
                pos += sizeof kSegNum;
                break;
            }
            default: {
                if (!isDigit(c)) return invalidSymbol(s, value, from, pos + 1);
                pos += 1;
                std::int32_t number = 0;
                if (!readNumber(value, pos, number)) return invalidSymbol(s, value, from, pos);
                const char op = value[pos];
                if (op == '+')
                    s.indent = addSaturated(s.indent, number);
                else if (op == '-')
                    s.indent = addSaturated(s.indent, -static_cast<std::int64_t>(number));
                else if (op == ':')
                    s.indent = number;
                else
                    return invalidSymbol(s, value, from, pos);
                pos += 1;
                break;
            }
        }
    }
    return 1;
}

void reportPendingError(GenState& s, const char* templateName) {
    switch (s.pendingError) {
        case IDS_GENMSG_INVALID_SYMBOL:
            showMessage(IDS_GENMSG_INVALID_SYMBOL, kBoxDefault, s.pendingSymbol, templateName);
            break;
        case IDS_GENMSG_POP_WITHOUT_PUSH:
            showMessage(IDS_GENMSG_POP_WITHOUT_PUSH, kBoxDefault, templateName);
            break;
        case 0:
            break;
        default:
            showMessage(s.pendingError, kBoxDefault);
            break;
    }
    s.pendingError = 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// State

int initGenState(GenState& s, const GenOptions& options) {
    s.line = 1;
    s.column = 0;
    s.indent = options.initialIndent;
    s.initialIndent = options.initialIndent;
    s.maxIndent = options.maxIndent;
    s.maxLineLength = options.maxLineLength;
    if (s.maxLineLength == 0 || s.maxLineLength <= s.maxIndent) s.maxLineLength = -1;
    s.atLineStart = true;
    s.literalLength = 0;
    s.literal[0] = 0;
    s.literalPresent = false;
    s.literalColumn = 0;
    s.templateFirstLine = 0;
    s.lastLineTooLong = 0;
    s.lineCheckOn = true;
    s.pendingError = 0;
    s.pendingSymbol[0] = 0;
    s.failed = false;
    s.cancelled = false;
    s.buffered = 0;
    s.stackSize = 0;
    s.stackCapacity = kIndentStackStep;
    s.indentStack = static_cast<std::int32_t*>(memAlloc(kIndentStackStep * sizeof(std::int32_t)));
    s.savedFlags = nullptr;
    s.savedCount = 0;
    s.savedCapacity = 0;
    return s.indentStack != nullptr;
}

void releaseGenState(GenState& s) {
    s.indentStack = static_cast<std::int32_t*>(memFree(s.indentStack));
    s.stackSize = s.stackCapacity = 0;
    s.savedFlags = static_cast<GenState::SavedFlags*>(memFree(s.savedFlags));
    s.savedCount = s.savedCapacity = 0;
}

int flushOutput(GenState& s) {
    bool ok = true;
    if (s.buffered > 0 && s.output && bfile::write(s.output, s.buffer, s.buffered) < 0) {
        ok = false;
        s.failed = true;
    }
    s.buffered = 0;
    return ok ? 1 : 0;
}

// ---------------------------------------------------------------------------
// The writer

void emitText(GenState& s, const char* text, std::size_t count) {
    if (!text || count == 0) return;
    if (s.templateFirstLine == 0 && !(count == 2 && text[0] == '\r' && text[1] == '\n'))
        s.templateFirstLine = s.line;
    const char* p = text;
    const char* end = text + count;
    while (p < end) {
        const auto* newline =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* stop = newline ? newline : end;
        // Carriage returns belong to line ends: they take no column.
        const std::int64_t columns = (stop - p) - std::count(p, stop, '\r');
        checkLineLength(s, columns);
        s.column = addSaturated(s.column, columns);
        if (!newline) break;
        ++s.line;
        s.column = 0;
        p = newline + 1;
    }
    appendOutput(s, text, count);
}

int writeTemplate(GenState& s, int index, bool emit, bool* childEmit, const ConstructNode* construct) {
    s.templateFirstLine = 0;
    if (!emit) return 1;
    s.literalPresent = false;
    s.literalLength = 0;
    s.literal[0] = 0;
    s.literalColumn = 0;
    if (childEmit) *childEmit = true;
    if (!s.templates || index < 0 || index >= kTemplateCount) return 0;
    TemplateEntry& entry = s.templates->entries[index];
    if (!(entry.flags & kTemplateUsed)) {
        entry.flags |= kTemplateUsed;
        if ((entry.flags & kTemplateAbsent) &&
            askQuestion(IDS_GENMSG_NO_GENSTRING, kBoxOkCancel | kBoxDefault, kAnswerOk, entry.name,
                        kTemplateDefault) == kAnswerCancel) {
            s.cancelled = true;
            return 0;
        }
    }
    if (!runTemplate(s, entry.value ? entry.value : "", childEmit, construct)) {
        reportPendingError(s, entry.name);
        return 0;
    }
    if (s.templateFirstLine == 0) s.templateFirstLine = s.line;
    return 1;
}

int writeConstructText(GenState& s, const char* text, bool emit) {
    if (!emit) return 1;
    if (s.atLineStart && !writeIndentation(s)) {
        reportPendingError(s, "");
        return 0;
    }
    if (!text) text = "";
    const char* p = text;
    bool first = true;
    for (;;) {
        const char* stop = p + std::strcspn(p, "\r\n");
        const bool hasBreak = *stop != 0;
        const char* next = stop;
        if (hasBreak) next += (stop[0] == '\r' && stop[1] == '\n') ? 2 : 1;
        if (!first && s.atLineStart && stop > p) pad(s, effectiveIndent(s) - s.literalColumn);
        if (stop > p) emitText(s, p, static_cast<std::size_t>(stop - p));
        if (!hasBreak) {
            s.atLineStart = false;
            break;
        }
        if (!s.literalPresent || *next == 0) {
            // Line ends are written as CR LF whatever the text holds.
            lineBreak(s);
        } else {
            emitText(s, s.literal, static_cast<std::size_t>(s.literalLength));
            s.atLineStart = false;
        }
        if (*next == 0) break;
        p = next;
        first = false;
    }
    return 1;
}
