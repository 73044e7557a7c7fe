// The element stream writer: element records, segment blocks with their
// back-patched lengths, block copies from the segment source.
#include "core/element_stream.h"

#include <cstring>
#include <limits>

#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/element_stream_internal.h"
#include "core/outcome.h"
#include "core/segment_source.h"

using namespace element_stream_detail;

namespace {

bool nothingShown(const ConstructNode*) {
    return false;
}
SegmentShownHook g_segmentShown = nothingShown;

// ---------------------------------------------------------------------------
// Primitive writes

bool putBytes(BufferedFile* f, const void* bytes, std::int32_t count) {
    return bfile::write(f, bytes, count) == 0;
}

bool putByte(BufferedFile* f, std::uint8_t value) {
    if (unsigned char* room = bfile::claim(f, 1)) {
        *room = value;
        return true;
    }
    return putBytes(f, &value, 1);
}

bool putInt(BufferedFile* f, int width, std::int32_t value) {
    unsigned char bytes[4] = {};
    putLe(bytes, static_cast<std::uint32_t>(value), width);
    return putBytes(f, bytes, width);
}

bool putU32(BufferedFile* f, std::uint32_t value) {
    unsigned char bytes[4] = {};
    putLe(bytes, value, 4);
    return putBytes(f, bytes, 4);
}

bool putString(BufferedFile* f, int width, const char* text) {
    if (!text) return putInt(f, width, 0);
    const std::size_t count = std::strlen(text);
    // A longer text would make a stream no reader accepts.
    if (count >= static_cast<std::size_t>(kMaxStringLength)) return false;
    return putInt(f, width, static_cast<std::int32_t>(count + 1)) &&
           putBytes(f, text, static_cast<std::int32_t>(count));
}

bool putStrings(BufferedFile* f, int width, char* const* texts, int count) {
    for (int i = 0; i < count; ++i)
        if (!putString(f, width, texts[i])) return false;
    return true;
}

bool putInts(BufferedFile* f, int width, const std::int32_t* values, int count) {
    for (int i = 0; i < count; ++i)
        if (!putInt(f, width, values[i])) return false;
    return true;
}

// ---------------------------------------------------------------------------
// Payloads

// One open list of the operand tree: either operands or values.
struct OperandCursor {
    const HostOperand* operand;
    const HostValue* value;
    bool values;
};

// Operand lists nest through their values; walked with a work stack.
bool putOperands(BufferedFile* f, int width, const HostOperand* list) {
    WorkStack<OperandCursor, 16> open;
    open.push({list, nullptr, false});
    while (!open.empty()) {
        if (g_outcome.jobCancelled) return false;
        OperandCursor& top = open.top();
        if (!top.values) {
            const HostOperand* op = top.operand;
            if (!op) {
                if (!putByte(f, kMarkEnd)) return false;
                open.pop();
                continue;
            }
            top.operand = op->next;
            if (!putByte(f, kMarkElement) || !putInt(f, width, op->number) || !putByte(f, op->flags) ||
                !putString(f, width, op->name))
                return false;
            if (!open.push({nullptr, op->values, true})) return false;
        } else {
            const HostValue* v = top.value;
            if (!v) {
                if (!putByte(f, kMarkEnd)) return false;
                open.pop();
                continue;
            }
            top.value = v->next;
            if (!putByte(f, kMarkElement) || !putString(f, width, v->text)) return false;
            if (!open.push({v->operands, nullptr, false})) return false;
        }
    }
    return true;
}

bool putHostCommand(BufferedFile* f, int width, const HostCommand* rec) {
    if (!rec) return putByte(f, kMarkEnd);
    if (rec->kind != 1 && rec->kind != 2) {
        internalStructureError(kErrHostCommandKind);
        return false;
    }
    if (!putByte(f, kMarkElement) || !putInt(f, width, rec->kind) || !putByte(f, rec->flags) ||
        !putString(f, width, rec->commandText))
        return false;
    if (rec->kind == 2 && !putString(f, width, rec->programText)) return false;
    return putOperands(f, width, rec->operands);
}

bool putCondition(BufferedFile* f, int width, const ConstructNode* node) {
    const std::int32_t kind = partInt(node, 0);
    if (!putInt(f, width, kind)) return false;
    if (kind == 7) return putString(f, width, partPtr<char>(node, 1));
    if (kind < 1 || kind > 6) return true;  // kind 8 (and any other) carries nothing
    const void* record = partPtr<void>(node, 1);
    if (!record) return putByte(f, kMarkEnd);
    if (!putByte(f, kMarkElement)) return false;
    switch (kind) {
        case 1: {
            auto* r = static_cast<const ConditionRecord1*>(record);
            return putInt(f, width, r->value) && putString(f, width, r->text);
        }
        case 2: {
            auto* r = static_cast<const ConditionRecord2*>(record);
            return putInt(f, width, r->value1) && putInt(f, width, r->value2) && putString(f, width, r->text);
        }
        case 3: {
            auto* r = static_cast<const ConditionRecord3*>(record);
            return putInt(f, width, r->value1) && putStrings(f, width, r->texts1, 3) &&
                   putInt(f, width, r->value2) && putInt(f, width, r->value3) &&
                   putStrings(f, width, r->texts2, 3);
        }
        case 4: {
            auto* r = static_cast<const ConditionRecord4*>(record);
            return putInt(f, width, r->value1) && putInt(f, width, r->value2) &&
                   putString(f, width, r->text1) && putString(f, width, r->text2) &&
                   putString(f, width, r->text3);
        }
        case 5:
            return putInts(f, width, static_cast<const ConditionRecord5*>(record)->values, 32);
        default: {
            auto* r = static_cast<const ConditionRecord6*>(record);
            return putInts(f, width, r->values, 32) && putString(f, width, r->text);
        }
    }
}

bool putProcedureOptions(BufferedFile* f, int width, const ProcedureOptions* r) {
    if (!r) return putByte(f, kMarkEnd);
    return putByte(f, kMarkElement) && putInt(f, width, r->value1) && putInt(f, width, r->value2) &&
           putInt(f, width, r->value3) && putByte(f, r->flag1) && putInt(f, width, r->value4) &&
           putByte(f, r->flag2) && putByte(f, r->flag3) && putStrings(f, width, r->texts, 9) &&
           putInt(f, width, r->value5);
}

bool putPayload(BufferedFile* f, int width, const ConstructNode* node, PayloadKind kind) {
    switch (kind) {
        case PayloadKind::None:
        case PayloadKind::Segment:
            return true;
        case PayloadKind::Placeholder:
            return putInt(f, width, partInt(node, 0)) && putInt(f, width, partInt(node, 1));
        case PayloadKind::Text:
            return putString(f, width, partPtr<char>(node, 0));
        case PayloadKind::HostCommand:
            return putHostCommand(f, width, partPtr<HostCommand>(node, 0));
        case PayloadKind::Condition:
            return putCondition(f, width, node);
        case PayloadKind::ProcOptions:
            return putProcedureOptions(f, width, partPtr<ProcedureOptions>(node, 0));
        case PayloadKind::Variable: {
            const auto* r = partPtr<VariableRecord>(node, 0);
            if (!r) return putByte(f, kMarkEnd);
            return putByte(f, kMarkElement) && putInt(f, width, r->value) && putString(f, width, r->text1) &&
                   putString(f, width, r->text2);
        }
        case PayloadKind::Variant: {
            const auto* r = partPtr<VariantRecord>(node, 0);
            if (!r) return putByte(f, kMarkEnd);
            return putByte(f, kMarkElement) && putString(f, width, r->text1) && putString(f, width, r->text2);
        }
    }
    return false;
}

int writeFailed() {
    g_outcome.writeOk = false;
    return 0;
}

// The records of most elements (no payload, a text or a placeholder) are
// put together straight in the file's buffer when it has the room.
bool directRecord(BufferedFile* f, const ElementFields& e, PayloadKind kind, int width) {
    const std::size_t left = e.leftLabel ? std::strlen(e.leftLabel) : 0;
    const std::size_t right = e.rightLabel ? std::strlen(e.rightLabel) : 0;
    std::size_t size = 1 + 4 * static_cast<std::size_t>(width) + left + right;
    switch (kind) {
        case PayloadKind::None:
        case PayloadKind::Segment:
            break;
        case PayloadKind::Placeholder:
            size += 2 * static_cast<std::size_t>(width);
            break;
        case PayloadKind::Text:
            size += static_cast<std::size_t>(width) + e.textLength;
            break;
        default:
            return false;
    }
    constexpr auto kLongest = static_cast<std::size_t>(kMaxStringLength) - 1;
    if (left > kLongest || right > kLongest || e.textLength > kLongest) return false;
    unsigned char* out = bfile::claim(f, static_cast<std::uint32_t>(size));
    if (!out) return false;
    const auto number = [&out, width](std::int32_t value) {
        putLe(out, static_cast<std::uint32_t>(value), width);
        out += width;
    };
    const auto string = [&out, &number](const char* text, std::size_t length) {
        if (!text) return number(0);
        number(static_cast<std::int32_t>(length + 1));
        std::memcpy(out, text, length);
        out += length;
    };
    *out++ = kMarkElement;
    number(typeCode(e.type));
    number(e.lineNumber);
    string(e.leftLabel, left);
    string(e.rightLabel, right);
    if (kind == PayloadKind::Placeholder) {
        number(e.placeholder[0]);
        number(e.placeholder[1]);
    } else if (kind == PayloadKind::Text) {
        string(e.text, e.textLength);
    }
    return true;
}

// The record field by field, for a payload record or a record the buffer
// has no room for.
bool fieldRecord(BufferedFile* f, const ConstructNode* node, PayloadKind kind, int width) {
    return putByte(f, kMarkElement) && putInt(f, width, typeCode(node->type)) &&
           putInt(f, width, node->lineNumber) && putString(f, width, node->leftLabel) &&
           putString(f, width, node->rightLabel) && putPayload(f, width, node, kind);
}

// The record of a construct (not null: writeElement writes the end of a
// sequence itself).
bool elementRecord(BufferedFile* f, const ConstructNode* node, int width) {
    if (!f) return false;
    if (!isWrittenType(node->type)) {
        internalStructureError(kErrUnwrittenType);
        return false;
    }
    const PayloadKind kind = constructInfo(node->type)->payload;
    ElementFields e{node->type, node->lineNumber, node->leftLabel, node->rightLabel, nullptr, 0, {}};
    if (kind == PayloadKind::Text) {
        e.text = partPtr<char>(node, 0);
        e.textLength = e.text ? std::strlen(e.text) : 0;
    } else if (kind == PayloadKind::Placeholder) {
        e.placeholder[0] = partInt(node, 0);
        e.placeholder[1] = partInt(node, 1);
    }
    return directRecord(f, e, kind, width) || fieldRecord(f, node, kind, width);
}

// ---------------------------------------------------------------------------
// Segments

// Whether the body of `level` is taken from the segment source as it is.
bool copiesBlock(const DiagramDocument* doc, ConstructNode* level) {
    if (versionBelow(doc->formatVersion, "3.0") || doc->treeVersion != 16) return false;
    const std::uint8_t flags = segmentFlags(level);
    // A segment inside that was changed since its file copy was made makes
    // the enclosing block stale too, on disk or not (an outline copy can
    // hold one); a shown one is always serialised.
    const bool onDisk = flags & kSegOnDisk;
    if (!onDisk && (flags & (kSegLoaded | kSegFileCurrent)) != (kSegLoaded | kSegFileCurrent)) return false;
    if (!onDisk && g_segmentShown(level)) return false;
    return !holdsSegmentThatMustStay(levelInfoOf(level)->body);
}

struct OffsetShift {
    std::uint32_t delta;
};

int shiftSegmentOffset(ConstructNode* node, void* context) {
    if (LevelInfo* li = levelInfoOf(node)) li->fileOffset += static_cast<OffsetShift*>(context)->delta;
    return 1;
}

// Result of trying to copy a block from the segment source.
enum class CopyResult { Copied, NoFile, Failed };

CopyResult copyFromSource(DiagramDocument* doc, BufferedFile* destination, std::uint32_t offset) {
    const SegmentSource* source = doc->segmentSource;
    if (!source || !source->acquireFile) return CopyResult::NoFile;
    bool openedHere = false;
    BufferedFile* file = source->acquireFile(source->context, doc, &openedHere);
    if (!file) return CopyResult::NoFile;
    bool ok = copySegmentBlock(file, destination, offset) != 0;
    if (source->releaseFile && !source->releaseFile(source->context, doc, file, openedHere)) ok = false;
    return ok ? CopyResult::Copied : CopyResult::Failed;
}

// ---------------------------------------------------------------------------
// Sequences

// One sequence being written: `node` is the element in hand (null once the
// sequence is through), `step` how far its record and children are.
struct WriteFrame {
    ConstructNode* node;
    const ConstructNode* last;
    std::uint32_t blockOffset;
    std::uint8_t step;
    bool loadedHere;
};

// Level steps (after the element record).
constexpr std::uint8_t kLevelHead = 1;   // write the level start, then the head
constexpr std::uint8_t kLevelBlock = 2;  // head written: copy or start the block
constexpr std::uint8_t kLevelBody = 3;   // body written: patch the block
constexpr std::uint8_t kLevelDone = 4;   // record the block offset

struct Writer {
    DiagramDocument* doc;
    BufferedFile* file;
    int width;
    bool keepTree;
    WorkStack<WriteFrame, 32> frames;

    bool open(ConstructNode* head, const ConstructNode* last) {
        // The same limit as the reader's: a deeper tree would make a stream
        // that cannot be read back.
        if (frames.size() >= static_cast<std::size_t>(kMaxSequenceNesting)) return false;
        return frames.push({head, last, 0, 0, false});
    }

    // Moves the frame on to the next element of its sequence.
    static void advance(WriteFrame& f) {
        f.node = f.node == f.last ? nullptr : f.node->next;
        f.step = 0;
        f.loadedHere = false;
    }

    bool levelStep(WriteFrame& f);
    bool run(ConstructNode* head, const ConstructNode* last);
};

bool Writer::levelStep(WriteFrame& f) {
    ConstructNode* level = f.node;
    LevelInfo* li = levelInfoOf(level);
    switch (f.step) {
        case kLevelHead:
            f.step = kLevelBlock;
            return writeLevelStart(file, level) && open(partNode(level, 0), nullptr);
        case kLevelBlock: {
            const std::int32_t here = bfile::tell(file);
            if (here < 0) return false;
            f.blockOffset = static_cast<std::uint32_t>(here);
            if (copiesBlock(doc, level)) {
                const std::uint32_t from = li->fileOffset;
                const CopyResult copied = copyFromSource(doc, file, from);
                if (copied == CopyResult::Failed) return false;
                if (copied == CopyResult::Copied) {
                    // Segments inside the copied block that are in memory move
                    // with it.
                    if (!keepTree && f.blockOffset != from) {
                        OffsetShift shift{f.blockOffset - from};
                        forEachNode(li->body, shiftSegmentOffset, &shift);
                    }
                    f.step = kLevelDone;
                    return true;
                }
                // No file to copy from: the body is serialised instead,
                // loaded first when it is on disk.
            }
            if (!(segmentFlags(level) & kSegLoaded)) {
                if (!ensureLoaded(level, doc)) return false;
                f.loadedHere = true;
            }
            f.step = kLevelBody;
            return writeBlockHeader(file, level) && open(li->body, nullptr);
        }
        case kLevelBody:
            if (!patchBlockLength(file, f.blockOffset)) return false;
            if (!keepTree) setSegmentFlags(level, kSegLoaded | kSegFileCurrent);
            if (f.loadedHere) {
                const SegmentSource* source = doc->segmentSource;
                if (source && source->pageOut) source->pageOut(source->context, doc, level);
            }
            f.step = kLevelDone;
            return true;
        default:
            if (!keepTree) li->fileOffset = f.blockOffset;
            advance(f);
            return true;
    }
}

bool Writer::run(ConstructNode* head, const ConstructNode* last) {
    if (!open(head, last)) return false;
    while (!frames.empty()) {
        if (g_outcome.jobCancelled || bfile::hasError(file)) return false;
        WriteFrame& f = frames.top();
        if (!f.node) {
            if (!putByte(file, kMarkEnd)) return false;
            frames.pop();
            continue;
        }
        if (f.step == 0) {
            // A Level without its LevelInfo cannot be written.
            if (f.node->type == ConstructType::Level && !levelInfoOf(f.node)) {
                internalStructureError(kErrUnwrittenType);
                return false;
            }
            if (!elementRecord(file, f.node, width)) return false;
            f.step = 1;
        }
        if (f.node->type == ConstructType::Level) {
            if (!levelStep(f)) return false;
            continue;
        }
        const ConstructInfo* info = constructInfo(f.node->type);
        const int child = f.step - 1;
        if (child < info->childCount) {
            ++f.step;
            if (!open(partNode(f.node, info->children[child].word), nullptr)) return false;
            continue;
        }
        advance(f);
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Interface

bool segmentMustStay(const ConstructNode* node) {
    if (node->type != ConstructType::Level || !levelInfoOf(node)) return false;
    const std::uint8_t flags = segmentFlags(node);
    return ((flags & kSegLoaded) && !(flags & kSegFileCurrent)) || segmentPinned(node) ||
           g_segmentShown(node);
}

namespace {
int stopAtSegmentThatMustStay(ConstructNode* node, void*) {
    return segmentMustStay(node) ? 0 : 1;
}
}  // namespace

bool holdsSegmentThatMustStay(ConstructNode* head) {
    return !forEachNode(head, stopAtSegmentThatMustStay, nullptr);
}

SegmentShownHook setSegmentShownHook(SegmentShownHook hook) {
    SegmentShownHook previous = g_segmentShown;
    g_segmentShown = hook ? hook : nothingShown;
    return previous;
}

int writeSequence(DiagramDocument* document, ConstructNode* head, const ConstructNode* last,
                  BufferedFile* stream, int intWidth) {
    if (!stream || (intWidth != 2 && intWidth != 4)) return writeFailed();
    Writer w{document ? document : currentDocument(), stream, intWidth, false, {}};
    w.keepTree = (w.doc->streamMode & kStreamModeKeepTree) != 0;
    if (!w.run(head, last)) return writeFailed();
    return 1;
}

int writeElement(BufferedFile* stream, const ConstructNode* node, int intWidth) {
    if (!node) return stream && putByte(stream, kMarkEnd) ? 1 : writeFailed();  // the end of a sequence
    if ((intWidth != 2 && intWidth != 4) || !elementRecord(stream, node, intWidth)) return writeFailed();
    return 1;
}

int writeElementFields(BufferedFile* stream, const ElementFields& fields, int intWidth) {
    if (!stream || (intWidth != 2 && intWidth != 4)) return writeFailed();
    if (!isWrittenType(fields.type)) {
        internalStructureError(kErrUnwrittenType);
        return writeFailed();
    }
    const PayloadKind kind = constructInfo(fields.type)->payload;
    if (directRecord(stream, fields, kind, intWidth)) return 1;
    ConstructNode node{};
    node.type = fields.type;
    node.lineNumber = fields.lineNumber;
    node.leftLabel = const_cast<char*>(fields.leftLabel);
    node.rightLabel = const_cast<char*>(fields.rightLabel);
    switch (kind) {
        case PayloadKind::None:
        case PayloadKind::Segment:
            break;
        case PayloadKind::Placeholder:
            setPartInt(&node, 0, fields.placeholder[0]);
            setPartInt(&node, 1, fields.placeholder[1]);
            break;
        case PayloadKind::Text:
            setPartPtr(&node, 0, const_cast<char*>(fields.text));
            break;
        default:
            return writeFailed();  // a payload record has no fields here
    }
    return fieldRecord(stream, &node, kind, intWidth) ? 1 : writeFailed();
}

int writeNumberedElement(BufferedFile* stream, ConstructNode* node, std::int32_t lineNumber, int intWidth) {
    if (node) node->lineNumber = lineNumber;
    return writeElement(stream, node, intWidth);
}

int writeLevelStart(BufferedFile* stream, const ConstructNode* level) {
    const LevelInfo* li = levelInfoOf(level);
    const auto flags = static_cast<std::uint8_t>(segmentFlags(level) & kSegLineNumbersInvalid);
    if (!stream || !putByte(stream, flags) || !putU32(stream, li ? li->levelId : 0)) return writeFailed();
    return 1;
}

int writeBlockHeader(BufferedFile* stream, const ConstructNode* level) {
    const LevelInfo* li = levelInfoOf(level);
    if (!stream || !putU32(stream, 0) || !putU32(stream, li ? li->blockWord2 : 0) ||
        !putU32(stream, li ? li->blockWord1 : 0))
        return writeFailed();
    return 1;
}

int patchBlockLength(BufferedFile* stream, std::uint32_t blockOffset) {
    const std::int32_t here = bfile::tell(stream);
    if (here < 0 || blockOffset > static_cast<std::uint32_t>(here) ||
        static_cast<std::uint32_t>(here) - blockOffset < kBlockHeaderSize)
        return writeFailed();
    unsigned char length[4];
    putLe(length, static_cast<std::uint32_t>(here) - blockOffset, 4);
    if (bfile::patch(stream, static_cast<std::int32_t>(blockOffset), length, 4) < 0) return writeFailed();
    return 1;
}

int copySegmentBlock(BufferedFile* source, BufferedFile* destination, std::uint32_t offset) {
    if (!source || !destination || source == destination ||
        offset > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return writeFailed();
    unsigned char piece[4];
    if (bfile::seek(source, static_cast<std::int32_t>(offset)) < 0 || bfile::read(source, piece, 4) != 4)
        return writeFailed();
    const std::uint32_t length = getLe(piece, 4);
    if (length < kBlockHeaderSize) return writeFailed();
    // The length bytes already in hand go first, then the rest in one copy.
    if (!putBytes(destination, piece, 4) || bfile::copy(source, destination, length - 4) < 0)
        return writeFailed();
    return 1;
}
