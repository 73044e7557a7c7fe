// The callbacks a parser plug-in describes the tree with. Each writes
// element records into the tree file of the import in progress (records are
// serialised from views on the plug-in's texts, nothing of the tree is
// built here), keeps the trace and the error file, and returns 0, or -1
// after a write error of the tree file.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/element_stream.h"
#include "core/host.h"
#include "core/outcome.h"
#include "import/import_internal.h"
#include "import/parser_import.h"
#include "resources/strings.h"

ImportState* g_activeImport = nullptr;

namespace {

constexpr int kShownLength = 53;  // strings shown in the trace
constexpr int kTraceLineSize = 512;

ImportState* stateOf(void* tree) {
    return tree && tree == g_activeImport ? g_activeImport : nullptr;
}

// A string as the trace shows it: at most 53 characters, cut at its first CR.
void shown(const char* text, char (&out)[kShownLength + 1]) {
    int n = 0;
    while (text && n < kShownLength && text[n] && text[n] != '\r') {
        out[n] = text[n];
        ++n;
    }
    out[n] = 0;
}

int writeFailure(ImportState* st) {
    st->writeError = true;
    return -1;
}

// Marks the tree file failed when it has an error; the callback's result.
int treeResult(ImportState* st, int ok) {
    if (!ok || bfile::hasError(st->tree) || st->writeError) return writeFailure(st);
    return 0;
}

constexpr std::size_t kTextLimit = static_cast<std::size_t>(kMaxStringLength) - 1;  // 29988 characters

// A label the element stream can store: cut to 29988 characters (in scratch
// buffer `which`, 0 or 1).
const char* storable(ImportState* st, const char* text, int which) {
    if (!text) return nullptr;
    if (strnlen(text, kTextLimit + 1) <= kTextLimit) return text;
    std::memcpy(st->scratch[which], text, kTextLimit);
    st->scratch[which][kTextLimit] = 0;
    return st->scratch[which];
}

// The length of the first piece of a text of `length` characters longer
// than the limit, and in `*skip` how far the next piece starts: the piece
// ends at the last line end within the limit (which is dropped: the pieces
// are consecutive constructs), or at the limit for a line that long.
std::size_t firstPiece(const char* text, std::size_t length, std::size_t* skip) {
    for (std::size_t end = kTextLimit; end > 0; --end) {
        const char c = text[end];
        if ((c != '\r' && c != '\n') || text[end - 1] == '\r') continue;
        *skip = end + (c == '\r' && end + 1 < length && text[end + 1] == '\n' ? 2 : 1);
        return end;
    }
    *skip = kTextLimit;
    return kTextLimit;
}

// The two label texts of a double text (empty ones become null).
struct Labels {
    const char* left;
    const char* right;
};

Labels splitLabels(const char* labels) {
    if (!labels) return {nullptr, nullptr};
    const char* right = labels + std::strlen(labels) + 1;
    return {*labels ? labels : nullptr, *right ? right : nullptr};
}

void warn(ImportState* st, std::int32_t line, unsigned id, ...) {
    char text[kMaxFormatted];
    va_list args;
    va_start(args, id);
    formatMessageV(text, id, args);
    va_end(args);
    appendErrorLine(st, line, text);
    ++st->warningCount;
}

void labelWarnings(ImportState* st, const Labels& labels, std::int32_t line, std::int32_t leftLine,
                   std::int32_t rightLine) {
    if (labels.left)
        warn(st, leftLine ? leftLine : line, IDS_LABEL_NOT_SUPPORTED, leftLine ? leftLine : line);
    if (labels.right)
        warn(st, rightLine ? rightLine : line, IDS_LABEL_NOT_SUPPORTED, rightLine ? rightLine : line);
}

// Element types a plug-in may send with write_element_v2. Levels come
// through write_level_start_v2; host-specific records of other editions and
// codes this edition does not know are replaced.
bool takenType(std::int32_t type) {
    const auto t = static_cast<ConstructType>(type);
    if (!isWrittenType(t) || t == ConstructType::Level) return false;
    switch (t) {
        case ConstructType::KdlCommand:
        case ConstructType::KivCond:
        case ConstructType::KivProc:
        case ConstructType::Variable:
        case ConstructType::ProgramCall:
        case ConstructType::Resource:
        case ConstructType::Variant:
            return false;
        default:
            return true;
    }
}

SequenceContext currentSequence(const ImportState* st) {
    if (st->sequenceDepth > 0 && st->sequenceDepth <= kMaxOpenSequences)
        return st->sequences[st->sequenceDepth - 1];
    return {typeCode(ConstructType::Level), kEdgeBody, 0};
}

// Where the child sequences still needed by the last element of the open
// sequence are counted; null past the kept depth.
int* pendingOf(ImportState* st) {
    if (st->sequenceDepth == 0) return &st->rootPending;
    if (st->sequenceDepth > kMaxOpenSequences) return nullptr;
    return &st->sequences[st->sequenceDepth - 1].pending;
}

// The open sequence may take a further element, its end or its level's
// end: it is still open and its last element has all its child sequences.
bool sequenceComplete(ImportState* st) {
    const int* pending = pendingOf(st);
    return pending && *pending == 0 && !(st->sequenceDepth == 0 && st->rootClosed);
}

// An element (or level) with `children` child sequences to come is written
// into the open sequence.
void noteElement(ImportState* st, int children) {
    if (sequenceComplete(st))
        *pendingOf(st) = children;
    else
        st->unsound = true;
}

// An element record's fields: nothing of a construct is built here.
ElementFields elementFields(ConstructType type, std::int32_t line) {
    return ElementFields{type, line, nullptr, nullptr, nullptr, 0, {0, 0}};
}

int writeRecord(ImportState* st, const ElementFields& element) {
    return treeResult(st, writeElementFields(st->tree, element));
}

// Writes `element` with `text` as its statement text (empty: none).
// A text longer than the element stream stores becomes consecutive
// constructs of the same kind, the labels only on the first, and a warning
// naming `line`: nothing of it is lost.
int writeTextRecords(ImportState* st, ElementFields& element, const char* text, std::int32_t line) {
    std::size_t rest = text ? std::strlen(text) : 0;
    if (rest <= kTextLimit) {
        if (rest > 0 || element.type == ConstructType::FreeFormat) {
            element.text = text;
            element.textLength = rest;
        }
        return writeRecord(st, element);
    }
    int pieces = 0;
    bool emptyLine = false;  // the last line end found ends the text: an empty line follows
    while (rest > 0 || emptyLine) {
        std::size_t skip = rest;
        const std::size_t length = rest > kTextLimit ? firstPiece(text, rest, &skip) : rest;
        emptyLine = skip == rest && length < rest;
        std::memcpy(st->scratch[2], text, length);
        st->scratch[2][length] = 0;
        element.text = length ? st->scratch[2] : nullptr;
        element.textLength = length;
        if (writeRecord(st, element) != 0) return -1;
        element.leftLabel = element.rightLabel = nullptr;
        text += skip;
        rest -= skip;
        ++pieces;
    }
    warn(st, line, IDS_TEXT_SPLIT, line, static_cast<int>(kTextLimit), pieces);
    return 0;
}

int writeDummy(ImportState* st, std::int32_t ownerType, std::int32_t slot) {
    ElementFields dummy = elementFields(ConstructType::Dummy, 0);
    dummy.placeholder[0] = ownerType;
    dummy.placeholder[1] = slot;
    return writeRecord(st, dummy);
}

}  // namespace

void traceLine(ImportState* st, const char* format, ...) {
    if (!st || !st->trace) return;
    char line[kTraceLineSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    if (n >= static_cast<int>(sizeof line)) n = static_cast<int>(sizeof line) - 1;
    bfile::write(st->trace, line, n);
}

void appendErrorLine(ImportState* st, std::int32_t line, const char* text) {
    if (!st) return;
    if (!st->haveFirstError) {
        st->haveFirstError = true;
        st->firstErrorLine = line;
    }
    if (!st->errors && !st->errorFileTried) {
        st->errorFileTried = true;
        platform::OpenInfo info{};
        st->errors = bfile::openFile(st->errorPath, &info, platform::kOpenCreate | platform::kOpenWrite, 0);
        if (!st->errors) st->errorFileFailed = true;
    }
    if (!st->errors) return;
    if (bfile::write(st->errors, text ? text : "", -1) < 0 || bfile::write(st->errors, "\r\n", 2) < 0)
        st->errorFileFailed = true;
}

// ---------------------------------------------------------------------------
// The callbacks

bool wroteSoundTree(const ImportState* st) {
    return !st->unsound && st->rootClosed && st->sequenceDepth == 0 && st->levelDepth == 0 && st->muted == 0;
}

extern "C" {

std::int32_t KORRIN_STDCALL write_element_v2(void* tree, std::int32_t line, std::int32_t type,
                                             const char* string1, std::int32_t, const void*,
                                             const char* string2, const void*, const void*,
                                             const char* labels, std::int32_t leftLabelLine,
                                             std::int32_t rightLabelLine, std::int32_t par1,
                                             std::int32_t par2) {
    ImportState* st = stateOf(tree);
    if (!st) return -1;
    if (st->trace) {
        traceLine(st, "... write_element type=%5d, line=%5d\r\n", type, line);
        traceLine(st, "                  par1=%5d, par2=%5d\r\n", par1, par2);
        char cut[kShownLength + 1];
        const char* strings[3] = {string1, string2, labels};
        for (int i = 0; i < 3; ++i) {
            if (!strings[i]) continue;
            shown(strings[i], cut);
            traceLine(st, "                  string%d=%s\r\n", i + 1, cut);
        }
    }
    if (st->writeError) return -1;
    if (st->muted > 0) return 0;

    if (type >= kFirstAttribute) {
        if (!collectAttribute(&st->attributes, type, string1, par1, st->flags)) st->outOfMemory = true;
        return 0;
    }

    const Labels split = splitLabels(labels);
    labelWarnings(st, split, line, leftLabelLine, rightLabelLine);

    if (!takenType(type)) {
        // Replaced by an empty construct for the slot; its child sequences
        // (if the plug-in sends any) are swallowed.
        warn(st, line, IDS_ELEMENT_NOT_SUPPORTED, line, type);
        st->replacedType = type;
        const SequenceContext where = currentSequence(st);
        noteElement(st, 0);
        return writeDummy(st, where.ownerType, where.slot);
    }
    st->replacedType = 0;

    ElementFields element = elementFields(static_cast<ConstructType>(type), line);
    noteElement(st, constructInfo(element.type)->childCount);
    element.leftLabel = storable(st, split.left, 0);
    element.rightLabel = storable(st, split.right, 1);
    switch (element.type) {
        case ConstructType::Dummy:
            element.lineNumber = 0;
            element.placeholder[0] = par1;
            element.placeholder[1] = par2;
            break;
        case ConstructType::Text:
        case ConstructType::SpecialText:
        case ConstructType::FreeFormat:
            return writeTextRecords(st, element, string1, line);
        default:
            break;
    }
    return writeRecord(st, element);
}

std::int32_t KORRIN_STDCALL write_level_start_v2(void* tree, std::int32_t line, const char* commentText,
                                                 std::int32_t commentLine, const void*,
                                                 std::int32_t* posOfLevel, std::uint32_t levelID,
                                                 const char* labels, std::int32_t leftLabelLine,
                                                 std::int32_t rightLabelLine, const char* entryName,
                                                 const void*, const void*) {
    ImportState* st = stateOf(tree);
    if (!st) return -1;
    if (posOfLevel) *posOfLevel = 0;
    std::int32_t position = 0;
    int result = 0;
    if (st->writeError) {
        result = -1;
    } else if (st->muted == 0) {
        const Labels split = splitLabels(labels);
        labelWarnings(st, split, line, leftLabelLine, rightLabelLine);

        DiagramDocument* doc = st->document;
        std::uint32_t id = (st->flags & kImportNewLevelIds) ? 0 : levelID;
        if (id == 0)
            id = ++doc->lastLevelId;
        else if (id > doc->lastLevelId)
            doc->lastLevelId = id;

        LevelInfo info{};
        info.levelId = id;
        ConstructNode level{};
        level.type = ConstructType::Level;
        level.lineNumber = line;
        level.leftLabel = const_cast<char*>(storable(st, split.left, 0));
        level.rightLabel = const_cast<char*>(storable(st, split.right, 1));
        setPartPtr(&level, 3, &info);

        bool ok = writeElement(st->tree, &level) && writeLevelStart(st->tree, &level);
        // The head: the level comment as a text, or an empty construct.
        if (ok && commentText && *commentText) {
            ElementFields head = elementFields(ConstructType::Text, commentLine);
            ok = writeTextRecords(st, head, commentText, commentLine) == 0;
        } else if (ok) {
            ok = writeDummy(st, typeCode(ConstructType::Level), kEdgeHead) == 0;
        }
        ok = ok && writeElement(st->tree, nullptr);
        position = ok ? bfile::tell(st->tree) : -1;
        ok = ok && position >= 0 && writeBlockHeader(st->tree, &level);
        result = treeResult(st, ok);
        if (result == 0) {
            noteElement(st, 1);  // its body
            if (st->levelDepth < kMaxOpenLevels)
                st->levels[st->levelDepth] = {position, st->sequenceDepth};
            else
                st->unsound = true;
            ++st->levelDepth;
            if (posOfLevel) *posOfLevel = position;
        } else {
            position = 0;
        }
        st->replacedType = 0;
    }
    if (st->trace)
        traceLine(st,
                  ">>> write_level_start line=%5d, levelID=%lu, \r\n%-5d                 posOfLevel receives "
                  "%ld\r\n",
                  line, static_cast<unsigned long>(levelID), st->levelCounter, static_cast<long>(position));
    ++st->levelCounter;
    if (st->trace) {
        char cut[kShownLength + 1];
        if (commentText) {
            shown(commentText, cut);
            traceLine(st,
                      "                      levelComment.line=%5d\r\n                      "
                      "levelComment.text=%s\r\n",
                      commentLine, cut);
        }
        if (entryName) {
            shown(entryName, cut);
            traceLine(st, "                      entryName=%s\r\n", cut);
        }
    }
    return result;
}

std::int32_t KORRIN_STDCALL write_level_end(void* tree, std::int32_t posOfLevel, std::int32_t posSource,
                                            std::int32_t lengthSource, std::int32_t lines) {
    ImportState* st = stateOf(tree);
    if (!st) return -1;
    --st->levelCounter;
    traceLine(st,
              ">>> write_level_end posOfLevel=%ld, posSource=%ld\r\n%-5d               lengthSource=%ld, "
              "lines=%d\r\n",
              static_cast<long>(posOfLevel), static_cast<long>(posSource), st->levelCounter,
              static_cast<long>(lengthSource), lines);
    if (st->writeError) return -1;
    if (st->muted > 0) return 0;
    // Only a level still open is closed; a position the editor did not hand
    // out leaves the block unpatched, and loading the tree file fails.
    int found = -1;
    const int kept = st->levelDepth < kMaxOpenLevels ? st->levelDepth : kMaxOpenLevels;
    for (int i = kept - 1; i >= 0; --i) {
        if (st->levels[i].position == posOfLevel) {
            found = i;
            break;
        }
    }
    if (found < 0) {
        st->unsound = true;
        return 0;
    }
    // Sound: the innermost level, its body written and closed.
    if (found != st->levelDepth - 1 || st->sequenceDepth != st->levels[found].sequenceDepth ||
        !sequenceComplete(st))
        st->unsound = true;
    st->levelDepth = found;
    const std::int32_t here = bfile::tell(st->tree);
    if (here < 0 || posOfLevel < 0 || here - posOfLevel < static_cast<std::int32_t>(kBlockHeaderSize))
        return writeFailure(st);
    unsigned char header[12];
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<unsigned char>(static_cast<std::uint32_t>(here - posOfLevel) >> (8 * i));
        header[4 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(lengthSource) >> (8 * i));
        header[8 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(posSource) >> (8 * i));
    }
    const bool ok = bfile::patch(st->tree, posOfLevel, header, sizeof header) == 0;
    st->replacedType = 0;
    return treeResult(st, ok);
}

std::int32_t KORRIN_STDCALL write_tree_start(void* tree, std::int32_t predTyp, std::int32_t edge) {
    ImportState* st = stateOf(tree);
    if (!st) return -1;
    if (st->trace)
        traceLine(st, "+++ write_tree_start predTyp=%d edge=%d\r\n%-5d\r\n", predTyp, edge, st->treeCounter);
    ++st->treeCounter;
    if (st->writeError) return -1;
    if (st->muted > 0) {
        ++st->muted;
        return 0;
    }
    if (st->replacedType != 0 && predTyp == st->replacedType) {
        st->muted = 1;
        return 0;
    }
    // A child sequence of the last element, which must still need one; the
    // reader follows at most 8192 nested sequences.
    int* pending = pendingOf(st);
    if (!pending || *pending == 0 || st->sequenceDepth + 2 >= kMaxOpenSequences)
        st->unsound = true;
    else
        --*pending;
    if (st->sequenceDepth < kMaxOpenSequences) st->sequences[st->sequenceDepth] = {predTyp, edge, 0};
    ++st->sequenceDepth;
    return 0;
}

std::int32_t KORRIN_STDCALL write_tree_end(void* tree) {
    ImportState* st = stateOf(tree);
    if (!st) return -1;
    --st->treeCounter;
    if (st->trace) traceLine(st, "+++ write_tree_end\r\n%-5d\r\n", st->treeCounter);
    if (st->writeError) return -1;
    if (st->muted > 0) {
        --st->muted;
        return 0;
    }
    if (!sequenceComplete(st)) st->unsound = true;
    if (st->sequenceDepth > 0)
        --st->sequenceDepth;
    else
        st->rootClosed = true;
    st->replacedType = 0;
    return treeResult(st, writeElement(st->tree, nullptr));
}

std::int32_t KORRIN_STDCALL parse_error_v2(std::int32_t line, const char* text, std::int32_t cont) {
    ImportState* st = g_activeImport;
    if (!st) return 0;
    if (st->trace) {
        char cut[kShownLength + 1];
        shown(text, cut);
        traceLine(st, "!!! parse_error Cont=%c, %s\r\n", cont ? 'T' : 'F', cut);
    }
    appendErrorLine(st, line, text);
    return 0;
}

std::int32_t KORRIN_STDCALL write_debug(const char* text) {
    ImportState* st = g_activeImport;
    if (!st || !st->trace) return 0;
    bfile::write(st->trace, text ? text : "", -1);
    bfile::write(st->trace, "\r\n", 2);
    return 0;
}

std::int32_t KORRIN_STDCALL write_element(void*, std::int32_t, std::int32_t, const char*, std::int32_t,
                                          std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                          std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                          std::int32_t) {
    return 0;
}

std::int32_t KORRIN_STDCALL write_level_start(void*, std::int32_t, const char*, std::int32_t, std::int32_t,
                                              std::int32_t*) {
    return 0;
}

std::int32_t KORRIN_STDCALL parse_error(std::int32_t, const char*, std::int32_t) {
    return 0;
}

}  // extern "C"
