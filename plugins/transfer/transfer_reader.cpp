// The reader of transfer files (see transfer_reader.h). Portable: it reaches
// the file and the texts only through its environment and the editor only
// through the parameter block.
//
// Entries are read line by line into a buffer; a keyword is looked up in
// the keyword texts loaded from the editor. The tree is read without
// recursion: one frame per open construct holds which of its child
// sequences is being read and what the sequence has seen so far.
#include "plugins/transfer/transfer_reader.h"

#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "import/transfer_keywords.h"

namespace {

bool g_busy = false;  // korrin_parse is running: a nested call is refused

constexpr int kInputSize = 16384;
constexpr int kLineSize = kTransferLineLimit + 1;
constexpr int kValueSize = kTransferValueLimit + 1;
constexpr int kKeywordSize = kTransferKeywordMaxLength + 1;
constexpr int kMessageSize = 1024;
constexpr int kSearchDepth = 64;         // enclosing constructs looked at for a closing keyword
constexpr int kKeywordTableSize = 1024;  // a power of two, well above the keyword count
// Bytes after the input and line buffers that scans may read in whole
// blocks; what they read there is masked off.
constexpr int kSlack = 16;

// ---------------------------------------------------------------------------
// Editions. Each keyword carries the editions that may import it; this
// edition imports only its own transfer files.

constexpr const char* kEditions[] = {"VRD", "VRA", "VRB", "VRC", "VRF", "VRJ",
                                     "VRM", "VRN", "VRP", "VRS", "VRT", "VRX"};
constexpr int kEditionCount = static_cast<int>(sizeof kEditions / sizeof kEditions[0]);
constexpr std::uint32_t kAllEditions = (1u << kEditionCount) - 1;
constexpr std::uint32_t kThisEdition = 1u;  // "VRD"

// Which exporting editions an importing edition accepts.
bool compatibleEdition(const char* exporting, const char* importing) {
    return std::strcmp(exporting, importing) == 0 && std::strcmp(importing, "VRD") == 0;
}

struct KeywordAttributes {
    std::uint32_t editions;
    bool takesValue;
};

struct AttributeTable {
    KeywordAttributes k[kTransferKeywordCount];
};

constexpr AttributeTable buildAttributes() {
    AttributeTable t{};
#define KORRIN_KW_OWN(index, name, value) t.k[index] = {kAllEditions, (value) != 0};
#define KORRIN_KW_OTHER(index, name, value) t.k[index] = {kAllEditions & ~kThisEdition, (value) != 0};
    KORRIN_TRANSFER_KEYWORDS(KORRIN_KW_OWN)
    KORRIN_TRANSFER_OTHER_KEYWORDS(KORRIN_KW_OTHER)
#undef KORRIN_KW_OWN
#undef KORRIN_KW_OTHER
    return t;
}
constexpr AttributeTable kAttributes = buildAttributes();

// ---------------------------------------------------------------------------
// Records

using KW = TransferKeyword;

struct Entry {
    int keyword;          // index; -1 at the end of the file
    char form;            // ':', ';' or '='
    std::int32_t number;  // after ':'
    const char* value;    // after '=' (in the line buffer, valid until the next line)
    int valueLength;
    std::uint32_t line;  // line in the file
    bool cut;            // the line was longer than the buffer (reported)
};

// A value joined from consecutive entries with CR LF.
struct Joined {
    char* text;
    int length;
    int lines;
    bool cut;
};

struct Frame {
    const TransferConstruct* construct;  // null: the top sequence
    std::int32_t ownerType;
    std::int32_t slot;
    int sequence;
    bool sawDummy;
    bool sawConstruct;
    bool muted;  // the construct is dropped: nothing of it is sent
    std::int32_t levelPosition;
};

struct WorkArea {
    char input[kInputSize + kSlack];
    char line[kLineSize + kSlack];
    char text[kValueSize];
    char left[kValueSize];
    char right[kValueSize];
    char entryName[kValueSize];
    char labels[2 * kValueSize + 2];
    char keywords[kTransferKeywordCount][kKeywordSize];
    // The keywords with text by their words (index + 1; 0: free), open
    // addressing; each keyword's length (0: none) and its first eight
    // characters as one word, zero-padded, so that a probe mostly takes one
    // comparison.
    std::int16_t table[kKeywordTableSize];
    std::uint8_t lengths[kTransferKeywordCount];
    std::uint64_t heads[kTransferKeywordCount];
};

struct Reader {
    ParserBlock* block;
    const TransferEnvironment* env;
    WorkArea* w;

    // input
    int inPos;
    int inEnd;
    bool inputEnded;
    bool skipLf;  // a CR ended the last line: a LF right after it belongs to it
    std::uint32_t lineNumber;
    bool lineCut;

    Entry pending;
    bool havePending;

    char edition[4];  // importing edition
    std::uint32_t editionBit;

    std::uint32_t errors;
    std::uint32_t warnings;
    bool stop;
    bool writeFailed;
    bool outOfMemory;
    bool overflow;

    Frame* frames;
    int depth;
    int capacity;

    Joined text, left, right, entryName;
};

void* allocate(const Reader& r, std::size_t size) {
    if (r.env->allocate) return r.env->allocate(size);
    return std::calloc(1, size);
}

void release(const Reader& r, void* block) {
    if (!block) return;
    if (r.env->release)
        r.env->release(block);
    else
        std::free(block);
}

const char* keywordText(const Reader& r, int index) {
    return index >= 0 && index < kTransferKeywordCount ? r.w->keywords[index] : "";
}

const char* keywordText(const Reader& r, KW k) {
    return keywordText(r, keywordIndex(k));
}

// ---------------------------------------------------------------------------
// Messages

void report(Reader& r, bool error, std::uint32_t line, int number, const char* a1 = "", const char* a2 = "") {
    char format[kMessageSize];
    char prefix[kMessageSize];
    char body[kMessageSize];
    char full[2 * kMessageSize];
    format[0] = 0;
    r.env->message(r.env->context, error ? kMsgErrorPrefix : kMsgWarningPrefix, format, sizeof format);
    std::snprintf(prefix, sizeof prefix, format, static_cast<unsigned>(line));
    format[0] = 0;
    r.env->message(r.env->context, number, format, sizeof format);
    std::snprintf(body, sizeof body, format, a1, a2);
    std::snprintf(full, sizeof full, "%s%s", prefix, body);
    if (r.block->parseError) r.block->parseError(static_cast<std::int32_t>(line), full, 0);
    if (error) {
        ++r.errors;
        if (r.block->errorCounter) ++*r.block->errorCounter;
    } else {
        ++r.warnings;
        if (r.block->warningCounter) ++*r.block->warningCounter;
    }
}

void error(Reader& r, std::uint32_t line, int number, const char* a1 = "", const char* a2 = "") {
    report(r, true, line, number, a1, a2);
}

void warning(Reader& r, std::uint32_t line, int number, const char* a1 = "", const char* a2 = "") {
    report(r, false, line, number, a1, a2);
}

void endOfFile(Reader& r, std::uint32_t line) {
    error(r, line, kMsgEndOfFile);
    r.stop = true;
}

// ---------------------------------------------------------------------------
// Callbacks

bool sent(Reader& r, std::int32_t result) {
    if (result < 0) {
        r.writeFailed = true;
        r.stop = true;
    }
    return !r.stop;
}

// The labels as a double text, or null when both are empty.
const char* labelsOf(Reader& r) {
    if (r.left.length == 0 && r.right.length == 0) return nullptr;
    char* p = r.w->labels;
    std::memcpy(p, r.left.text, static_cast<std::size_t>(r.left.length));
    p[r.left.length] = 0;
    std::memcpy(p + r.left.length + 1, r.right.text, static_cast<std::size_t>(r.right.length));
    p[r.left.length + 1 + r.right.length] = 0;
    return r.w->labels;
}

void sendElement(Reader& r, std::int32_t line, std::int32_t type, const char* text, const char* labels,
                 std::int32_t par1 = 0, std::int32_t par2 = 0) {
    if (!r.block->writeElement || r.stop) return;
    sent(r, r.block->writeElement(r.block->treeContext, line, type, text, 0, nullptr, nullptr, nullptr,
                                  nullptr, labels, 0, 0, par1, par2));
}

void treeStart(Reader& r, std::int32_t type, std::int32_t edge) {
    if (r.block->writeTreeStart && !r.stop)
        sent(r, r.block->writeTreeStart(r.block->treeContext, type, edge));
}

void treeEnd(Reader& r) {
    if (r.block->writeTreeEnd && !r.stop) sent(r, r.block->writeTreeEnd(r.block->treeContext));
}

// ---------------------------------------------------------------------------
// Lines and entries

void fill(Reader& r) {
    r.inPos = 0;
    r.inEnd = 0;
    const std::int32_t n = r.env->read(r.env->context, r.w->input, kInputSize);
    if (n <= 0)
        r.inputEnded = true;  // the end, or a read error: nothing more
    else
        r.inEnd = n > kInputSize ? kInputSize : n;
}

// The first CR, LF or Ctrl-Z in [p, end), or end. Whole blocks of 16
// bytes are tested; `end` is followed by kSlack readable bytes.
const char* lineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), eof = _mm_set1_epi8(0x1A);
    for (; p < end; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, eof));
        if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit))) {
            const char* found = p + std::countr_zero(mask);
            return found < end ? found : end;
        }
    }
    return end;
#else
    while (p < end && *p != '\r' && *p != '\n' && *p != 0x1A) ++p;
    return p;
#endif
}

// The line's end has been found at `p` (CR, LF or Ctrl-Z): steps over it.
// False when it was a Ctrl-Z at the start of a line: the file has ended.
bool passLineEnd(Reader& r, const char* p, bool any) {
    r.inPos = static_cast<int>(p - r.w->input) + 1;
    if (*p == 0x1A) {
        r.inputEnded = true;
        r.inPos = r.inEnd;
        return any;
    }
    if (*p == '\r') {
        // A LF right after it belongs to it; at the buffer's end the next
        // line read looks.
        if (r.inPos < r.inEnd)
            r.inPos += r.w->input[r.inPos] == '\n';
        else
            r.skipLf = true;
    }
    return true;
}

// The next line of the file (without its line end): *text is the line in
// the input buffer when it lies there whole, else in the line buffer; it
// stays valid until the next call. False at the end of the file. Lines end
// at CR LF, CR or LF; Ctrl-Z ends the file.
bool readLine(Reader& r, const char** text, int* length) {
    r.lineCut = false;
    // A CR that ended the last buffer leaves the LF after it to the loop
    // below, which looks after the next fill.
    if (!r.skipLf && r.inPos < r.inEnd) {
        const char* start = r.w->input + r.inPos;
        const char* p = lineEnd(start, r.w->input + r.inEnd);
        if (p < r.w->input + r.inEnd) {
            *text = start;
            *length = static_cast<int>(p - start);
            return passLineEnd(r, p, p > start);
        }
    }
    // The line runs on past the buffer: it is put together in the line
    // buffer, cut at its size.
    int n = 0;
    bool any = false;
    for (;;) {
        if (r.inPos == r.inEnd) {
            if (r.inputEnded) break;
            fill(r);
            if (r.inPos == r.inEnd) break;
        }
        if (r.skipLf) {
            r.skipLf = false;
            if (r.w->input[r.inPos] == '\n') {
                ++r.inPos;
                continue;
            }
        }
        const char* start = r.w->input + r.inPos;
        const char* end = r.w->input + r.inEnd;
        const char* p = lineEnd(start, end);
        const int run = static_cast<int>(p - start);
        const int room = kLineSize - 1 - n;
        const int take = run < room ? run : room;
        if (take < run) r.lineCut = true;
        std::memcpy(r.w->line + n, start, static_cast<std::size_t>(take));
        n += take;
        any = true;
        r.inPos += run;
        if (p == end) continue;
        any = passLineEnd(r, p, n > 0);
        break;
    }
    *text = r.w->line;
    *length = n;
    return any;
}

// The number of letters and digits at the start of [p, end). Whole blocks
// of 16 bytes are tested; `end` is followed by kSlack readable bytes.
int wordLength(const char* p, const char* end) {
    const char* q = p;
#if defined(__SSE2__)
    // Bytes of 0x80 and above compare as negative and so fall outside
    // every range; setting 0x20 folds capitals onto small letters.
    const __m128i belowDigits = _mm_set1_epi8('0' - 1), aboveDigits = _mm_set1_epi8('9' + 1);
    const __m128i belowLetters = _mm_set1_epi8('a' - 1), aboveLetters = _mm_set1_epi8('z' + 1);
    const __m128i fold = _mm_set1_epi8(0x20);
    for (; q < end; q += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i small = _mm_or_si128(v, fold);
        const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(v, belowDigits), _mm_cmplt_epi8(v, aboveDigits));
        const __m128i letter =
            _mm_and_si128(_mm_cmpgt_epi8(small, belowLetters), _mm_cmplt_epi8(small, aboveLetters));
        const unsigned word = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(digit, letter)));
        if (word != 0xFFFFu) {
            q += std::countr_one(word);
            break;
        }
    }
    if (q > end) q = end;
#else
    const auto isWord = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    };
    while (q < end && isWord(*q)) ++q;
#endif
    return static_cast<int>(q - p);
}

// The first eight characters of a word, zero-padded, as one number; the
// eight bytes at `word` must be readable.
static_assert(std::endian::native == std::endian::little, "characters are counted from the low end");
std::uint64_t wordHead(const char* word, int length) {
    std::uint64_t head;
    std::memcpy(&head, word, sizeof head);
    return length >= 8 ? head : head & ((std::uint64_t{1} << (8 * length)) - 1);
}

bool keywordIs(const Reader& r, int index, const char* word, int length, std::uint64_t head) {
    return r.w->lengths[index] == length && r.w->heads[index] == head &&
           (length <= 8 ||
            std::memcmp(r.w->keywords[index] + 8, word + 8, static_cast<std::size_t>(length - 8)) == 0);
}

unsigned keywordSlot(std::uint64_t head, int length) {
    const std::uint64_t mixed = (head ^ static_cast<std::uint64_t>(length)) * 0x9E3779B97F4A7C15u;
    return static_cast<unsigned>(mixed >> 40) & (kKeywordTableSize - 1);
}

// The index of the keyword `word` is (its head: wordHead), or -1.
int lookUp(const Reader& r, const char* word, int length, std::uint64_t head) {
    for (unsigned slot = keywordSlot(head, length);; slot = (slot + 1) & (kKeywordTableSize - 1)) {
        const int index = r.w->table[slot] - 1;
        if (index < 0) return -1;
        if (keywordIs(r, index, word, length, head)) return index;
    }
}

std::int32_t readDecimal(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    std::uint64_t value = 0;
    for (; p < end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
        if (digit > 9) break;
        value = value * 10 + digit;
        if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;  // larger numbers count as the largest
    }
    return static_cast<std::int32_t>(value);
}

void pushBack(Reader& r, const Entry& e) {
    r.pending = e;
    r.havePending = true;
}

// The next entry. Lines that hold no entry are reported and skipped.
void next(Reader& r, Entry& e) {
    if (r.havePending) {
        e = r.pending;
        r.havePending = false;
        return;
    }
    for (;;) {
        const char* line = nullptr;
        int length = 0;
        if (!readLine(r, &line, &length)) {
            e = Entry{-1, ';', 0, "", 0, r.lineNumber, false};
            return;
        }
        ++r.lineNumber;
        const char* end = line + length;
        const char* p = line;
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        if (p == end) continue;  // an empty line
        const char* word = p;
        const int size = wordLength(word, end);
        p += size;
        const char form = p < end ? *p : 0;
        const int index =
            size > 0 && size <= kTransferKeywordMaxLength && (form == ':' || form == ';' || form == '=')
                ? lookUp(r, word, size, wordHead(word, size))
                : -1;
        if (index < 0) {
            error(r, r.lineNumber, kMsgInvalidKeyword);
            continue;
        }
        if (!(kAttributes.k[index].editions & r.editionBit)) {
            error(r, r.lineNumber, kMsgOtherEdition, keywordText(r, index), r.edition);
            continue;
        }
        ++p;
        e = Entry{index, form, 0, "", 0, r.lineNumber, r.lineCut};
        if (form == ':') {
            e.number = readDecimal(p, end);
        } else if (form == '=') {
            e.value = p;
            e.valueLength = static_cast<int>(end - p);
            if (!kAttributes.k[index].takesValue && e.valueLength > 0) {
                warning(r, r.lineNumber, kMsgNotEmpty, keywordText(r, index));
                e.value = "";
                e.valueLength = 0;
            }
        }
        if (r.lineCut) error(r, r.lineNumber, kMsgTooLong);
        return;
    }
}

bool is(const Entry& e, KW k) {
    return e.keyword == keywordIndex(k);
}

void clear(Joined& j) {
    j.length = 0;
    j.lines = 0;
    j.cut = false;
    j.text[0] = 0;
}

// Appends the entry's value as a further line of `j`.
void join(Reader& r, Joined& j, const Entry& e) {
    if (j.cut) return;
    const int separator = j.lines > 0 ? 2 : 0;
    int n = e.valueLength;
    if (j.length + separator + n > kTransferValueLimit) {
        j.cut = true;
        if (!e.cut) error(r, e.line, kMsgTooLong);
        const int room = kTransferValueLimit - j.length - separator;
        if (room < 0) return;
        n = room;
    }
    if (separator) {
        j.text[j.length++] = '\r';
        j.text[j.length++] = '\n';
    }
    std::memcpy(j.text + j.length, e.value, static_cast<std::size_t>(n));
    j.length += n;
    j.text[j.length] = 0;
    ++j.lines;
}

// The value of an entry as a text (in the text buffer), cut to `limit`.
const char* valueText(Reader& r, const Entry& e, int limit = kTransferValueLimit) {
    const int n = e.valueLength < limit ? e.valueLength : limit;
    std::memcpy(r.w->text, e.value, static_cast<std::size_t>(n));
    r.w->text[n] = 0;
    return r.w->text;
}

bool yes(const Entry& e) {
    auto equal = [&](const char* word) {
        const int n = static_cast<int>(std::strlen(word));
        if (e.valueLength != n) return false;
        for (int i = 0; i < n; ++i) {
            char c = e.value[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != word[i]) return false;
        }
        return true;
    };
    return equal("yes") || equal("true") || equal("1");
}

// ---------------------------------------------------------------------------
// Header, short information and options

bool readHeader(Reader& r) {
    Entry e;
    next(r, e);
    if (!is(e, KW::Korrin)) {
        error(r, e.line ? e.line : 1, kMsgExpected, keywordText(r, KW::Korrin));
        return false;
    }
    // The exporting edition: the first three characters without blanks.
    char code[4] = {0, 0, 0, 0};
    int n = 0;
    for (int i = 0; i < 3 && i < e.valueLength; ++i)
        if (e.value[i] != ' ' && e.value[i] != '\t') code[n++] = e.value[i];
    if (!compatibleEdition(code, r.edition)) {
        error(r, e.line, kMsgEdition, code, r.edition);
        return false;
    }
    return true;
}

void readShortInfo(Reader& r) {
    Entry e;
    next(r, e);
    if (!is(e, KW::ShortInfo)) {
        error(r, e.line, kMsgExpected, keywordText(r, KW::ShortInfo));
        pushBack(r, e);
        return;
    }
    clear(r.text);
    for (;;) {
        next(r, e);
        if (e.keyword < 0) return endOfFile(r, e.line);
        if (is(e, KW::Line)) {
            join(r, r.text, e);
            continue;
        }
        if (!is(e, KW::EndShortInfo)) {
            error(r, e.line, kMsgExpected, keywordText(r, KW::EndShortInfo));
            pushBack(r, e);
        }
        break;
    }
    sendElement(r, 0, kAttrShortInfo, r.text.text, nullptr);
}

void readOptions(Reader& r) {
    Entry e;
    next(r, e);
    if (!is(e, KW::Options)) {
        error(r, e.line, kMsgExpected, keywordText(r, KW::Options));
        pushBack(r, e);
        return;
    }
    while (!r.stop) {
        next(r, e);
        if (e.keyword < 0) return endOfFile(r, e.line);
        switch (static_cast<KW>(e.keyword)) {
            case KW::EndOptions:
                return;
            case KW::IfLayout: {
                const bool vertical = e.valueLength == 8 && std::memcmp(e.value, "vertical", 8) == 0;
                sendElement(r, 0, kAttrIfLayout, nullptr, nullptr, vertical ? 1 : 0);
                break;
            }
            case KW::LevelNumbers:
                sendElement(r, 0, kAttrLevelNumbers, nullptr, nullptr, yes(e));
                break;
            case KW::LineNumbers:
            case KW::ConstructNumbers:
                sendElement(r, 0, kAttrLineNumbers, nullptr, nullptr, yes(e));
                break;
            case KW::ShowLeftLabels:
                sendElement(r, 0, kAttrLeftLabels, nullptr, nullptr, yes(e));
                break;
            case KW::ShowRightLabels:
                sendElement(r, 0, kAttrRightLabels, nullptr, nullptr, yes(e));
                break;
            case KW::ScreenFont:
                sendElement(r, 0, kAttrScreenFont, valueText(r, e), nullptr);
                break;
            case KW::PrinterFont:
                sendElement(r, 0, kAttrPrinterFont, valueText(r, e), nullptr);
                break;
            case KW::LastLevelId:
                sendElement(r, 0, kAttrLastLevelId, valueText(r, e), nullptr);
                break;
            case KW::Privileges:
                sendElement(r, 0, kAttrPrivileges, valueText(r, e), nullptr, yes(e));
                break;
            case KW::Colors:
                sendElement(r, 0, kAttrColours, valueText(r, e, kTransferColourLimit), nullptr);
                break;
            default:
                error(r, e.line, kMsgExpected, keywordText(r, KW::EndOptions));
                pushBack(r, e);
                return;
        }
    }
}

// ---------------------------------------------------------------------------
// The tree

Frame& top(Reader& r) {
    return r.frames[r.depth - 1];
}

bool pushFrame(Reader& r, const Frame& frame) {
    if (r.depth >= kTransferMaxNesting) {
        r.overflow = true;
        r.stop = true;
        return false;
    }
    if (r.depth == r.capacity) {
        const int capacity = r.capacity ? r.capacity * 2 : 64;
        auto* frames = static_cast<Frame*>(allocate(r, sizeof(Frame) * static_cast<std::size_t>(capacity)));
        if (!frames) {
            r.outOfMemory = true;
            r.stop = true;
            return false;
        }
        if (r.depth) std::memcpy(frames, r.frames, sizeof(Frame) * static_cast<std::size_t>(r.depth));
        release(r, r.frames);
        r.frames = frames;
        r.capacity = capacity;
    }
    r.frames[r.depth++] = frame;
    return true;
}

bool segmentContent(const Frame& f) {
    return !f.construct || (f.construct->type == kElementLevel && f.slot == kEdgeBody);
}

// Whether a construct may stand in the open sequence. A Dummy after a
// construct is dropped with a warning, a construct after a Dummy with an
// error; in conditions both may stand side by side. True when it is dropped.
bool dropped(Reader& r, bool dummy, std::uint32_t line) {
    Frame& f = top(r);
    if (f.muted) return true;
    if (f.slot != kSlotCondition) {
        if (dummy && f.sawConstruct) {
            warning(r, line, kMsgInvalidElement);
            return true;
        }
        if (!dummy && f.sawDummy) {
            error(r, line, kMsgInvalidElement);
            return true;
        }
    }
    (dummy ? f.sawDummy : f.sawConstruct) = true;
    return false;
}

// Ends the open sequence of the top frame; an empty one (other than a
// segment's content) gets a Dummy with a warning.
void endSequence(Reader& r, std::uint32_t line) {
    Frame& f = top(r);
    if (f.muted) return;
    if (!f.sawDummy && !f.sawConstruct && !segmentContent(f)) {
        warning(r, line, kMsgIncomplete);
        sendElement(r, 0, kElementDummy, nullptr, nullptr, f.ownerType, f.slot);
    }
    treeEnd(r);
}

void nextSequence(Reader& r, std::uint32_t line) {
    endSequence(r, line);
    Frame& f = top(r);
    ++f.sequence;
    f.slot = f.construct->slots[f.sequence];
    f.sawDummy = f.sawConstruct = false;
    if (!f.muted) treeStart(r, f.ownerType, f.slot);
}

void closeFrame(Reader& r, std::uint32_t line) {
    endSequence(r, line);
    const Frame& f = top(r);
    if (!f.muted && f.construct->type == kElementLevel && r.block->writeLevelEnd && !r.stop)
        sent(r, r.block->writeLevelEnd(r.block->treeContext, f.levelPosition, 0, 0, 0));
    --r.depth;
}

// The keyword the top frame expects next.
KW expectedKeyword(const Frame& f) {
    return f.sequence + 1 < f.construct->sequences ? f.construct->separators[f.sequence] : f.construct->close;
}

bool accepts(const Frame& f, int keyword) {
    return f.construct &&
           (keyword == keywordIndex(expectedKeyword(f)) || keyword == keywordIndex(f.construct->close));
}

// Labels (and with `keep` false, nothing) from the entries right after an
// opening keyword.
void readLabels(Reader& r, bool keep) {
    Entry e;
    for (;;) {
        next(r, e);
        if (is(e, KW::Label) || is(e, KW::RightLabel)) {
            if (keep) join(r, is(e, KW::Label) ? r.left : r.right, e);
            continue;
        }
        pushBack(r, e);
        return;
    }
}

// The Line entries of a text up to its closing keyword (labels too, when
// `keepLabels`).
void readTextBody(Reader& r, KW close, bool keepLabels) {
    clear(r.text);
    Entry e;
    for (;;) {
        next(r, e);
        if (e.keyword < 0) return endOfFile(r, e.line);
        if (is(e, KW::Line)) {
            join(r, r.text, e);
        } else if (is(e, KW::Label) || is(e, KW::RightLabel)) {
            if (keepLabels) join(r, is(e, KW::Label) ? r.left : r.right, e);
        } else if (e.keyword == keywordIndex(close)) {
            return;
        } else {
            error(r, e.line, kMsgExpected, keywordText(r, close));
            pushBack(r, e);
            return;
        }
    }
}

// Level=<id>:<line>, entry name, header and LevelBody.
void openLevel(Reader& r, const Entry& opening, const TransferConstruct* c) {
    std::uint32_t id = 0;
    std::int32_t line = 0;
    if (opening.form == '=') {
        const char* p = opening.value;
        const char* end = p + opening.valueLength;
        std::uint64_t value = 0;
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        while (p < end && *p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(*p - '0');
            if (value > 0xFFFFFFFFu) value = 0xFFFFFFFFu;
            ++p;
        }
        id = static_cast<std::uint32_t>(value);
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        if (p < end && *p == ':') line = readDecimal(p + 1, end);
    } else if (opening.form == ':') {
        line = opening.number;
    }
    clear(r.left);
    clear(r.right);
    clear(r.entryName);
    clear(r.text);
    std::int32_t headLine = 0;
    bool offset = false;
    Entry e;
    // Entry name, header line and labels, before and after the header.
    auto levelDetails = [&](bool labels) {
        for (;;) {
            next(r, e);
            if (is(e, KW::EntryName)) {
                join(r, r.entryName, e);
            } else if (is(e, KW::Offset)) {
                offset = true;
                headLine = e.form == '=' ? readDecimal(e.value, e.value + e.valueLength) : e.number;
            } else if (labels && (is(e, KW::Label) || is(e, KW::RightLabel))) {
                join(r, is(e, KW::Label) ? r.left : r.right, e);
            } else {
                return;
            }
        }
    };
    levelDetails(true);
    bool headText = false;
    if (is(e, KW::Dummy)) {
        readLabels(r, false);
    } else if (is(e, KW::Text) || is(e, KW::SpecialText)) {
        if (!offset) headLine = e.form == ':' ? e.number : 0;
        readTextBody(r, is(e, KW::Text) ? KW::EndText : KW::EndSpecialText, false);
        headText = true;
    } else if (e.keyword < 0) {
        return endOfFile(r, e.line);
    } else {
        warning(r, e.line, kMsgIncomplete);
        pushBack(r, e);
    }
    if (r.stop) return;
    levelDetails(false);
    if (e.keyword < 0) return endOfFile(r, e.line);
    if (!is(e, KW::LevelBody)) {
        error(r, e.line, kMsgExpected, keywordText(r, KW::LevelBody));
        pushBack(r, e);
    }

    const bool muted = dropped(r, false, opening.line);
    std::int32_t position = 0;
    if (!muted && r.block->writeLevelStart && !r.stop) {
        sent(r, r.block->writeLevelStart(r.block->treeContext, line, headText ? r.text.text : nullptr,
                                         headLine, nullptr, &position, id, labelsOf(r), 0, 0,
                                         r.entryName.lines ? r.entryName.text : nullptr, nullptr, nullptr));
        treeStart(r, kElementLevel, kEdgeBody);
    }
    pushFrame(r, Frame{c, kElementLevel, kEdgeBody, 1, false, false, muted, position});
}

void openConstruct(Reader& r, const Entry& e, const TransferConstruct* c) {
    if (c->type == kElementLevel) return openLevel(r, e, c);
    const std::int32_t line = e.form == ':' ? e.number : 0;
    clear(r.left);
    clear(r.right);
    const bool text = c->sequences == 0 && c->close != KW::None;
    if (text)
        readTextBody(r, c->close, true);
    else
        readLabels(r, true);
    if (r.stop) return;
    const bool dummy = c->type == kElementDummy;
    const Frame& owner = top(r);
    const std::int32_t ownerType = owner.ownerType;
    const std::int32_t slot = owner.slot;
    const bool muted = dropped(r, dummy, e.line);
    if (!muted) {
        if (dummy)
            sendElement(r, line, kElementDummy, nullptr, labelsOf(r), ownerType, slot);
        else
            sendElement(r, line, c->type, text ? r.text.text : nullptr, labelsOf(r));
    }
    if (c->sequences == 0) return;
    if (!pushFrame(r, Frame{c, c->type, c->slots[0], 0, false, false, muted, 0})) return;
    if (!muted) treeStart(r, c->type, c->slots[0]);
}

// Closes the top frame early: its missing sequences stay empty.
void forceClose(Reader& r, std::uint32_t line) {
    while (top(r).sequence + 1 < top(r).construct->sequences && !r.stop) nextSequence(r, line);
    closeFrame(r, line);
}

void handleEntry(Reader& r, const Entry& e) {
    const KW k = static_cast<KW>(e.keyword);
    if (const TransferConstruct* c = transferConstructOpenedBy(k)) return openConstruct(r, e, c);
    Frame& f = top(r);
    if (f.construct) {
        if (f.sequence + 1 < f.construct->sequences && k == f.construct->separators[f.sequence])
            return nextSequence(r, e.line);
        if (k == f.construct->close) {
            while (f.sequence + 1 < f.construct->sequences && !r.stop) {
                error(r, e.line, kMsgExpected, keywordText(r, f.construct->separators[f.sequence]));
                nextSequence(r, e.line);
            }
            return closeFrame(r, e.line);
        }
    }
    // A keyword that an enclosing construct expects: the one in front was
    // not closed.
    for (int i = r.depth - 2; i >= 0 && i >= r.depth - 1 - kSearchDepth; --i) {
        if (accepts(r.frames[i], e.keyword)) {
            error(r, e.line, kMsgExpected, keywordText(r, expectedKeyword(f)));
            forceClose(r, e.line);
            pushBack(r, e);
            return;
        }
    }
    error(r, e.line, kMsgUnexpected, keywordText(r, e.keyword));
}

void readTree(Reader& r) {
    if (!pushFrame(r, Frame{nullptr, kElementLevel, kEdgeBody, 0, false, false, false, 0})) return;
    Entry e;
    while (!r.stop) {
        next(r, e);
        if (e.keyword < 0) {
            if (r.depth > 1) endOfFile(r, e.line);
            break;
        }
        handleEntry(r, e);
    }
    // The end of the outer sequence.
    if (!r.stop) treeEnd(r);
}

// ---------------------------------------------------------------------------
// Set-up

void loadKeywords(Reader& r) {
    WorkArea& w = *r.w;
    std::memset(w.table, 0, sizeof w.table);
    for (int i = 0; i < kTransferKeywordCount; ++i) {
        w.keywords[i][0] = 0;
        w.lengths[i] = 0;
        w.heads[i] = 0;
        const int n = r.env->keyword(r.env->context, i, w.keywords[i], kKeywordSize);
        if (n <= 0 || n > kTransferKeywordMaxLength) {
            w.keywords[i][0] = 0;
            continue;
        }
        w.keywords[i][n] = 0;
        const int length = static_cast<int>(std::strlen(w.keywords[i]));
        if (length == 0) continue;
        const std::uint64_t head = wordHead(w.keywords[i], length);
        // A text met twice keeps its first keyword.
        if (lookUp(r, w.keywords[i], length, head) >= 0) continue;
        w.lengths[i] = static_cast<std::uint8_t>(length);
        w.heads[i] = head;
        unsigned slot = keywordSlot(head, length);
        while (w.table[slot]) slot = (slot + 1) & (kKeywordTableSize - 1);
        w.table[slot] = static_cast<std::int16_t>(i + 1);
    }
}

void setEdition(Reader& r) {
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = r.block->languageCode[i];
        if (!c) break;
        if (c != ' ') r.edition[n++] = c;
    }
    r.edition[n] = 0;
    r.editionBit = 0;
    for (int i = 0; i < kEditionCount; ++i)
        if (std::strcmp(kEditions[i], r.edition) == 0) r.editionBit = 1u << i;
}

std::uint32_t run(ParserBlock* block, const TransferEnvironment& env) {
    Reader r{};
    r.block = block;
    r.env = &env;
    r.w = static_cast<WorkArea*>(allocate(r, sizeof(WorkArea)));
    if (!r.w) return kParseFatal;
    std::memset(r.w, 0, sizeof(WorkArea));  // scans read whole blocks, into the buffers' slack too
    r.text = Joined{r.w->text, 0, 0, false};
    r.left = Joined{r.w->left, 0, 0, false};
    r.right = Joined{r.w->right, 0, 0, false};
    r.entryName = Joined{r.w->entryName, 0, 0, false};
    setEdition(r);
    loadKeywords(r);

    if (readHeader(r)) {
        readShortInfo(r);
        if (!r.stop) readOptions(r);
        if (!r.stop) readTree(r);
    }
    release(r, r.frames);
    release(r, r.w);
    if (r.overflow) return kParseStackOverflow;
    if (r.outOfMemory) return kParseFatal;
    if (r.errors || r.writeFailed) return kParseErrors;
    return r.warnings ? kParseWarnings : kParseOk;
}

}  // namespace

std::uint32_t transferParse(ParserBlock* block, const TransferEnvironment& env) {
    if (g_busy) return kParseInUse;
    if (!block || block->interfaceVersion < kParserInterfaceOldest ||
        block->interfaceVersion > kParserInterfaceVersion)
        return kParseBadVersion;
    if (!env.read || !env.keyword || !env.message) return kParseFatal;
    g_busy = true;
    const std::uint32_t result = run(block, env);
    g_busy = false;
    return result;
}
