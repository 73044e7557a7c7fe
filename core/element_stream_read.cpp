// The element stream reader, in full and in outline form, with the rules of
// every stored version.
#include <cstring>
#include <limits>

#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/element_stream.h"
#include "core/element_stream_internal.h"
#include "core/outcome.h"
#include "core/segment_source.h"

using namespace element_stream_detail;

namespace {

constexpr std::int32_t kOldStringMax = 4096;  // old-style strings, NUL included

// Tree version 14 and lower store a left label only for these types, and
// no right label at all.
constexpr bool hasOldLabel(std::int32_t code) {
    switch (code) {
        case 3:
        case 4:
        case 5:
        case 7:
        case 8:
        case 13:
        case 16:
        case 17:
            return true;
        default:
            return false;
    }
}

// Construct types that take the automatic label texts. This edition has
// none: with the settings on, labels read under option 0x2000 become empty.
constexpr bool acceptsAutoLabels(ConstructType) {
    return false;
}

enum class Mode : std::uint8_t { Full, Outline };

// One sequence being read. Elements go to the list kept in frame
// `listFrame`: the frame's own list, or, for the children of an element the
// outline reader drops, the list of the frame that reads the outline.
struct Frame {
    ConstructNode* owner;  // the list's holder; null: the caller's result
    ConstructNode* head;   // the list (when this frame keeps one)
    ConstructNode* last;
    ConstructNode* current;  // element in hand; null when it is being dropped
    std::uint32_t options;
    std::uint32_t listFrame;
    std::uint32_t levelId;  // Level in hand: its id
    std::int32_t type;      // element in hand: its type
    std::int8_t word;       // the owner's word holding the list
    Mode mode;
    bool inElement;  // an element is in hand
    std::uint8_t step;
    std::uint8_t levelFlags;  // Level in hand: the stored flags that count
};

// Level steps.
constexpr std::uint8_t kLevelHead = 0;   // read the head
constexpr std::uint8_t kLevelBlock = 1;  // head read: the block header
constexpr std::uint8_t kLevelBody = 2;   // body read

struct Reader {
    DiagramDocument* doc;
    BufferedFile* file;
    int width;
    bool oldStrings;    // edition "VQ" below "2.5": marker-style strings
    bool bothLabels;    // tree version above 14
    bool flagsByte;     // "3.0" and tree version 3 and higher
    bool levelIdField;  // "3.0" and tree version 6 and higher
    bool oldType2;      // tree version below 9: type 2 carries a sub-kind
    bool oldType13;     // tree version below 2: type 13 carries a sub-kind
    ConstructNode* result;
    WorkStack<Frame, 32> frames;

    // Primitive reads; false on an error or the end of the data.
    bool bytes(void* out, std::int32_t count) { return bfile::readBuffered(file, out, count) == count; }
    bool byte(std::uint8_t* value) { return bytes(value, 1); }
    bool integer(std::int32_t* value) {
        unsigned char b[4] = {};
        if (!bytes(b, width)) return false;
        *value = static_cast<std::int32_t>(getLe(b, width));
        return true;
    }
    bool integers(std::int32_t* values, int count) {
        for (int i = 0; i < count; ++i)
            if (!integer(&values[i])) return false;
        return true;
    }
    bool u32(std::uint32_t* value) {
        unsigned char b[4] = {};
        if (!bytes(b, 4)) return false;
        *value = getLe(b, 4);
        return true;
    }
    bool u16(std::uint32_t* value) {
        unsigned char b[2] = {};
        if (!bytes(b, 2)) return false;
        *value = getLe(b, 2);
        return true;
    }
    bool skip(std::uint32_t count) {
        if (count > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) return false;
        return count == 0 || bfile::skip(file, static_cast<std::int32_t>(count)) == 0;
    }
    // A present (true in *present) or absent payload record.
    bool presence(bool* present) {
        std::uint8_t marker;
        if (!byte(&marker)) return false;
        *present = marker == kMarkElement;
        return marker == kMarkElement || marker == kMarkEnd;
    }

    bool string(char** out, bool keep);
    bool strings(char** out, int count, bool keep) {
        for (int i = 0; i < count; ++i)
            if (!string(&out[i], keep)) return false;
        return true;
    }

    bool payload(ConstructNode* node, PayloadKind kind);
    bool hostCommand(ConstructNode* node);
    bool operands(HostOperand** list);
    bool skipOperands();
    bool condition(ConstructNode* node);

    void append(std::uint32_t listFrame, ConstructNode* node);
    void dropLast(std::uint32_t listFrame);
    bool open(const Frame& frame);
    bool startElement();
    bool continueElement();
    bool levelStep();
    void finishElement(Frame& f);
    bool run(std::uint32_t options, Mode mode);
};

// `*out` receives the string, or null for a null string and whenever it is
// not kept (`keep` false, or no memory: the characters are skipped then).
bool Reader::string(char** out, bool keep) {
    *out = nullptr;
    if (oldStrings) {
        std::uint8_t marker;
        if (!byte(&marker)) return false;
        if (marker == kMarkEnd) return true;
        if (marker != kMarkElement) return false;
        char text[kOldStringMax];
        for (std::int32_t n = 0; n < kOldStringMax; ++n) {
            if (!bytes(&text[n], 1)) return false;
            if (text[n] == 0) {
                if (keep) *out = memStrDup(text, n);
                return true;
            }
        }
        return false;  // no NUL within the limit
    }
    std::int32_t length;
    if (!integer(&length) || length < 0 || length > kMaxStringLength) return false;
    if (length == 0) return true;
    const std::int32_t count = length - 1;
    char* block = keep ? memAllocText(static_cast<std::size_t>(length)) : nullptr;
    if (!block) return skip(static_cast<std::uint32_t>(count));
    if (!bytes(block, count)) {
        memFree(block);
        return false;
    }
    *out = block;
    return true;
}

// ---------------------------------------------------------------------------
// Payloads. `node` null: the element is being dropped; the payload is read
// into scratch records and its strings are skipped.

// One open list of an operand tree: where its next entry is linked.
struct OperandLink {
    HostOperand** operand;
    HostValue** value;
};

bool Reader::operands(HostOperand** list) {
    WorkStack<OperandLink, 16> open;
    open.push({list, nullptr});
    while (!open.empty()) {
        if (g_outcome.jobCancelled) return false;
        std::uint8_t marker;
        if (!byte(&marker)) return false;
        if (marker == kMarkEnd) {
            open.pop();
            continue;
        }
        if (marker != kMarkElement) return false;
        OperandLink& top = open.top();
        if (top.operand) {
            auto* op = static_cast<HostOperand*>(memAlloc(sizeof(HostOperand)));
            if (!op) return false;
            *top.operand = op;
            top.operand = &op->next;
            std::int32_t number;
            if (!integer(&number) || !byte(&op->flags) || !string(&op->name, true)) return false;
            op->number = number;
            if (!open.push({nullptr, &op->values})) return false;
        } else {
            auto* v = static_cast<HostValue*>(memAlloc(sizeof(HostValue)));
            if (!v) return false;
            *top.value = v;
            top.value = &v->next;
            if (!string(&v->text, true)) return false;
            if (!open.push({&v->operands, nullptr})) return false;
        }
    }
    return true;
}

// The same grammar without keeping anything: odd depths are operand lists,
// even depths value lists.
bool Reader::skipOperands() {
    std::uint64_t depth = 1;
    while (depth > 0) {
        if (g_outcome.jobCancelled) return false;
        std::uint8_t marker;
        if (!byte(&marker)) return false;
        if (marker == kMarkEnd) {
            --depth;
            continue;
        }
        if (marker != kMarkElement) return false;
        char* none;
        if (depth & 1) {
            std::int32_t number;
            std::uint8_t flags;
            if (!integer(&number) || !byte(&flags) || !string(&none, false)) return false;
        } else if (!string(&none, false)) {
            return false;
        }
        ++depth;
    }
    return true;
}

bool Reader::hostCommand(ConstructNode* node) {
    bool present;
    if (!presence(&present)) return false;
    if (!present) return true;
    const bool keep = node != nullptr;
    HostCommand scratch{};
    HostCommand* rec = &scratch;
    if (keep) {
        rec = static_cast<HostCommand*>(memAlloc(sizeof(HostCommand)));
        if (!rec) return false;
        setPartPtr(node, 0, rec);
    }
    // Only kinds 1 and 2 exist; anything else could not be written again.
    if (!integer(&rec->kind) || (rec->kind != 1 && rec->kind != 2) || !byte(&rec->flags) ||
        !string(&rec->commandText, keep))
        return false;
    if (rec->kind == 2 && !string(&rec->programText, keep)) return false;
    return keep ? operands(&rec->operands) : skipOperands();
}

// Record sizes of the condition kinds 1..6.
constexpr std::size_t kConditionRecordSize[7] = {
    0,
    sizeof(ConditionRecord1),
    sizeof(ConditionRecord2),
    sizeof(ConditionRecord3),
    sizeof(ConditionRecord4),
    sizeof(ConditionRecord5),
    sizeof(ConditionRecord6),
};

union ConditionScratch {
    ConditionRecord1 r1;
    ConditionRecord2 r2;
    ConditionRecord3 r3;
    ConditionRecord4 r4;
    ConditionRecord5 r5;
    ConditionRecord6 r6;
};

bool Reader::condition(ConstructNode* node) {
    const bool keep = node != nullptr;
    std::int32_t kind;
    if (!integer(&kind)) return false;
    if (keep) setPartInt(node, 0, kind);
    if (kind == 7) {
        char* text;
        if (!string(&text, keep)) return false;
        if (keep) setPartPtr(node, 1, text);
        return true;
    }
    if (kind < 1 || kind > 6) return true;  // kind 8 (and any other) carries nothing
    bool present;
    if (!presence(&present)) return false;
    if (!present) return true;
    ConditionScratch scratch{};
    void* record = &scratch;
    if (keep) {
        record = memAlloc(kConditionRecordSize[kind]);
        if (!record) return false;
        setPartPtr(node, 1, record);
    }
    switch (kind) {
        case 1: {
            auto* r = static_cast<ConditionRecord1*>(record);
            return integer(&r->value) && string(&r->text, keep);
        }
        case 2: {
            auto* r = static_cast<ConditionRecord2*>(record);
            return integer(&r->value1) && integer(&r->value2) && string(&r->text, keep);
        }
        case 3: {
            auto* r = static_cast<ConditionRecord3*>(record);
            return integer(&r->value1) && strings(r->texts1, 3, keep) && integer(&r->value2) &&
                   integer(&r->value3) && strings(r->texts2, 3, keep);
        }
        case 4: {
            auto* r = static_cast<ConditionRecord4*>(record);
            return integer(&r->value1) && integer(&r->value2) && string(&r->text1, keep) &&
                   string(&r->text2, keep) && string(&r->text3, keep);
        }
        case 5:
            return integers(static_cast<ConditionRecord5*>(record)->values, 32);
        default: {
            auto* r = static_cast<ConditionRecord6*>(record);
            return integers(r->values, 32) && string(&r->text, keep);
        }
    }
}

bool Reader::payload(ConstructNode* node, PayloadKind kind) {
    const bool keep = node != nullptr;
    switch (kind) {
        case PayloadKind::None:
        case PayloadKind::Segment:
            return true;
        case PayloadKind::Placeholder: {
            std::int32_t owner, slot;
            if (!integer(&owner) || !integer(&slot)) return false;
            if (keep) {
                setPartInt(node, 0, owner);
                setPartInt(node, 1, slot);
            }
            return true;
        }
        case PayloadKind::Text: {
            char* text;
            if (!string(&text, keep)) return false;
            if (keep) setPartPtr(node, 0, text);
            return true;
        }
        case PayloadKind::HostCommand:
            return hostCommand(node);
        case PayloadKind::Condition:
            return condition(node);
        case PayloadKind::ProcOptions: {
            bool present;
            if (!presence(&present)) return false;
            if (!present) return true;
            ProcedureOptions scratch{};
            ProcedureOptions* r = &scratch;
            if (keep) {
                r = static_cast<ProcedureOptions*>(memAlloc(sizeof(ProcedureOptions)));
                if (!r) return false;
                setPartPtr(node, 0, r);
            }
            return integer(&r->value1) && integer(&r->value2) && integer(&r->value3) && byte(&r->flag1) &&
                   integer(&r->value4) && byte(&r->flag2) && byte(&r->flag3) && strings(r->texts, 9, keep) &&
                   integer(&r->value5);
        }
        case PayloadKind::Variable: {
            bool present;
            if (!presence(&present)) return false;
            if (!present) return true;
            VariableRecord scratch{};
            VariableRecord* r = &scratch;
            if (keep) {
                r = static_cast<VariableRecord*>(memAlloc(sizeof(VariableRecord)));
                if (!r) return false;
                setPartPtr(node, 0, r);
            }
            return integer(&r->value) && string(&r->text1, keep) && string(&r->text2, keep);
        }
        case PayloadKind::Variant: {
            bool present;
            if (!presence(&present)) return false;
            if (!present) return true;
            VariantRecord scratch{};
            VariantRecord* r = &scratch;
            if (keep) {
                r = static_cast<VariantRecord*>(memAlloc(sizeof(VariantRecord)));
                if (!r) return false;
                setPartPtr(node, 0, r);
            }
            return string(&r->text1, keep) && string(&r->text2, keep);
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Lists and frames

void storeHead(ConstructNode* owner, int word, ConstructNode* head) {
    if (word == kWordLevelBody)
        levelInfoOf(owner)->body = head;
    else
        setPartNode(owner, word, head);
}

// Links `node` at the end of the list of frame `listFrame`, so that
// everything read is always reachable from the result.
void Reader::append(std::uint32_t listFrame, ConstructNode* node) {
    Frame& list = frames[listFrame];
    if (list.last) {
        list.last->next = node;
        node->up = list.last;
    } else {
        list.head = node;
        node->up = list.owner;
        if (list.owner)
            storeHead(list.owner, list.word, node);
        else
            result = node;
    }
    list.last = node;
}

// Unlinks and frees the last node of the list of frame `listFrame`.
void Reader::dropLast(std::uint32_t listFrame) {
    Frame& list = frames[listFrame];
    ConstructNode* node = list.last;
    if (node == list.head) {
        list.head = list.last = nullptr;
        if (list.owner)
            storeHead(list.owner, list.word, nullptr);
        else
            result = nullptr;
    } else {
        list.last = node->up;
        list.last->next = nullptr;
    }
    node->up = nullptr;
    freeSequence(node);
}

bool Reader::open(const Frame& frame) {
    // The sequence is not touched when the nesting is too deep.
    if (frames.size() >= static_cast<std::size_t>(kMaxSequenceNesting)) return false;
    Frame f = frame;
    if (f.owner || frames.empty()) f.listFrame = static_cast<std::uint32_t>(frames.size());
    return frames.push(f);
}

void Reader::finishElement(Frame& f) {
    ConstructNode* node = f.current;
    if (node && (f.options & kReadAutoLabels)) {
        if (doc->autoLeftLabels) {
            memFree(node->leftLabel);
            node->leftLabel = acceptsAutoLabels(node->type) ? memStrDup(doc->leftLabelText) : nullptr;
        }
        if (doc->autoRightLabels) {
            memFree(node->rightLabel);
            node->rightLabel = acceptsAutoLabels(node->type) ? memStrDup(doc->rightLabelText) : nullptr;
        }
    }
    f.inElement = false;
    f.current = nullptr;
}

// Reads one element record after its 0xFF marker: header, labels, old type
// codes, payload and, for a Level, its level start.
bool Reader::startElement() {
    const std::uint32_t index = static_cast<std::uint32_t>(frames.size() - 1);
    Frame& f = frames[index];
    std::int32_t code, lineNumber;
    if (!integer(&code) || code < kMinTypeCode || code > kMaxTypeCode || !integer(&lineNumber)) return false;

    // Labels are read only when the element may be kept.
    const bool mayKeep = f.mode == Mode::Full || isOutlineCode(code) || (code == 13 && oldType13);
    char* labels[2] = {nullptr, nullptr};
    bool ok = true;
    if (bothLabels)
        ok = string(&labels[0], mayKeep) && string(&labels[1], mayKeep);
    else if (hasOldLabel(code))
        ok = string(&labels[0], mayKeep);

    // Old type codes: a sub-kind after the labels.
    std::uint32_t subKind = 0;
    if (ok && code == 2 && oldType2) {
        ok = u16(&subKind);
        if (subKind == 2) code = 69;
        if (subKind == 3) code = 70;
        if (subKind == 4) code = 71;
    } else if (ok && code == 13 && oldType13) {
        ok = u16(&subKind);
        if (subKind == 3) code = 48;
    }
    const auto type = static_cast<ConstructType>(code);
    const ConstructInfo* info = constructInfo(type);
    const bool keep = f.mode == Mode::Full || isOutlineCode(code);
    ConstructNode* node = ok && info && keep ? newNode(type) : nullptr;
    if (!node) {
        memFree(labels[0]);
        memFree(labels[1]);
        // Codes of other editions (the outline containers among them) have
        // a layout this edition does not know.
        if (!ok || !info || keep) return false;
    } else {
        node->leftLabel = labels[0];
        node->rightLabel = labels[1];
        append(f.listFrame, node);
        const bool keepLines = (f.options & kReadKeepLineNumbers) && !(f.options & kReadLineNumbersInvalid);
        node->lineNumber = keepLines ? lineNumber : 0;
    }
    if (!payload(node, info->payload)) return false;

    if (type == ConstructType::Level) {
        std::uint8_t stored = 0;
        std::uint32_t id = 0;
        if (flagsByte && !byte(&stored)) return false;
        if (levelIdField && !u32(&id)) return false;
        std::uint8_t flags = stored & kSegLineNumbersInvalid;
        if (f.options & kReadLineNumbersInvalid) flags |= kSegLineNumbersInvalid;
        setSegmentFlags(node, flags);
        f.levelFlags = flags;
        if (!(f.options & kReadNewLevelIds) && id != 0) {
            if (id > doc->lastLevelId) doc->lastLevelId = id;
        } else {
            if (++doc->lastLevelId == 0) doc->lastLevelId = 1;  // 0 is no id
            id = doc->lastLevelId;
        }
        f.levelId = id;
    }
    f.current = node;
    f.type = code;
    f.step = 0;
    f.inElement = true;
    return true;
}

bool Reader::levelStep() {
    const std::uint32_t index = static_cast<std::uint32_t>(frames.size() - 1);
    Frame& f = frames[index];
    ConstructNode* level = f.current;
    switch (f.step) {
        case kLevelHead: {
            f.step = kLevelBlock;
            Frame head{};
            head.owner = level;
            head.word = 0;
            head.mode = Mode::Full;
            head.options = f.options;
            return open(head);
        }
        case kLevelBlock: {
            LevelInfo* li = newLevelInfo(f.levelId, doc);
            if (!li) {
                // The element goes, with its head.
                dropLast(f.listFrame);
                f.current = nullptr;
                return false;
            }
            setPartPtr(level, 3, li);
            std::uint32_t blockLength, word2, word1;
            if (!u32(&blockLength) || !u32(&word2) || !u32(&word1)) return false;
            const std::int32_t here = bfile::tell(file);
            if (here < static_cast<std::int32_t>(kBlockHeaderSize)) return false;
            li->fileOffset = li->readOffset = static_cast<std::uint32_t>(here) - kBlockHeaderSize;
            if (!(f.options & kReadAllBodies) && blockLength != 0) {
                // The body stays on disk. A length shorter than its own
                // header cannot be skipped over.
                if (blockLength < kBlockHeaderSize) return false;
                li->blockWord1 = word1;
                li->blockWord2 = word2;
                setSegmentFlags(level, f.levelFlags | kSegOnDisk);
                if (!skip(blockLength - kBlockHeaderSize)) return false;
                finishElement(f);
                return true;
            }
            const std::uint8_t loaded = f.mode == Mode::Full ? kSegLoaded : (kSegOnDisk | kSegOutline);
            setSegmentFlags(level, f.levelFlags | loaded);
            f.step = kLevelBody;
            Frame body{};
            body.owner = level;
            body.word = kWordLevelBody;
            body.mode = f.mode;
            body.options = f.options;
            if (f.levelFlags & kSegLineNumbersInvalid) body.options |= kReadLineNumbersInvalid;
            return open(body);
        }
        default:
            finishElement(f);
            return true;
    }
}

bool Reader::continueElement() {
    const std::uint32_t index = static_cast<std::uint32_t>(frames.size() - 1);
    Frame& f = frames[index];
    if (f.type == typeCode(ConstructType::Level)) return levelStep();
    const ConstructInfo* info = constructInfo(static_cast<ConstructType>(f.type));
    if (f.step >= info->childCount) {
        finishElement(f);
        return true;
    }
    const SlotWord sw = info->children[f.step++];
    Frame child{};
    child.options = f.options;
    if (f.mode == Mode::Full) {
        child.mode = Mode::Full;
        child.owner = f.current;
        child.word = sw.word;
    } else if (!f.current) {
        // Inside a dropped element: outline constructs join the outline list.
        child.mode = Mode::Outline;
        child.listFrame = f.listFrame;
    } else {
        // An outline construct: its head in full, the rest in outline form.
        child.mode = sw.slot == Slot::Head ? Mode::Full : Mode::Outline;
        child.owner = f.current;
        child.word = sw.word;
    }
    return open(child);
}

bool Reader::run(std::uint32_t options, Mode mode) {
    Frame top{};
    top.mode = mode;
    top.options = options;
    if (!open(top)) return false;
    while (!frames.empty()) {
        if (g_outcome.jobCancelled) return false;
        if (frames.top().inElement) {
            if (!continueElement()) return false;
            continue;
        }
        std::uint8_t marker;
        if (!byte(&marker)) return false;
        if (marker == kMarkEnd) {
            frames.pop();
            continue;
        }
        if (marker != kMarkElement || !startElement()) return false;
    }
    return true;
}

ConstructNode* readTree(DiagramDocument* document, BufferedFile* stream, std::uint32_t options, Mode mode) {
    DiagramDocument* doc = document ? document : currentDocument();
    if (!stream || g_outcome.jobCancelled) {
        g_outcome.readOk = false;
        return nullptr;
    }
    Reader r{};
    r.doc = doc;
    r.file = stream;
    r.width = doc->intWidth == 2 ? 2 : 4;
    const bool modern = !versionBelow(doc->formatVersion, "3.0");
    r.oldStrings = isOlderEdition(doc->editionCode) && versionBelow(doc->formatVersion, "2.5");
    r.bothLabels = doc->treeVersion > 14;
    r.flagsByte = modern && doc->treeVersion >= 3;
    r.levelIdField = modern && doc->treeVersion >= 6;
    r.oldType2 = doc->treeVersion < 9;
    r.oldType13 = doc->treeVersion < 2;
    if (!r.run(options, mode)) g_outcome.readOk = false;
    return r.result;
}

}  // namespace

ConstructNode* readSequence(DiagramDocument* document, BufferedFile* stream, std::uint32_t options) {
    return readTree(document, stream, options, Mode::Full);
}

ConstructNode* readOutline(DiagramDocument* document, BufferedFile* stream, std::uint32_t options) {
    return readTree(document, stream, options, Mode::Outline);
}

int readSegmentBody(DiagramDocument* document, BufferedFile* stream, std::uint32_t offset,
                    std::uint32_t options, ConstructNode** body) {
    *body = nullptr;
    if (!stream ||
        offset > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) - kBlockHeaderSize)
        return 0;
    const bool outer = g_outcome.readOk;
    g_outcome.readOk = true;
    if (bfile::seek(stream, static_cast<std::int32_t>(offset + kBlockHeaderSize)) < 0) {
        g_outcome.readOk = false;
    } else {
        *body = (options & kReadOutline) ? readOutline(document, stream, options)
                                         : readSequence(document, stream, options);
    }
    const bool ok = g_outcome.readOk && !g_outcome.jobCancelled;
    g_outcome.readOk = outer;
    return ok ? 1 : 0;
}
