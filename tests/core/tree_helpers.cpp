#include "tests/core/tree_helpers.h"

#include <cstring>
#include <vector>

#include "core/allocator.h"
#include "core/element_stream.h"
#include "core/outcome.h"

namespace tree_test {

ConstructNode* makeText(const char* text) {
    ConstructNode* node = newNode(ConstructType::Text);
    if (node && text) setText(node, memStrDup(text));
    return node;
}

ConstructNode* makeNode(ConstructType type) {
    return newNode(type);
}

ConstructNode* chain(std::initializer_list<ConstructNode*> nodes) {
    ConstructNode* head = nullptr;
    ConstructNode* previous = nullptr;
    for (ConstructNode* n : nodes) {
        if (previous) {
            previous->next = n;
            n->up = previous;
        } else {
            head = n;
        }
        previous = n;
    }
    return head;
}

ConstructNode* makeLevel(std::uint32_t levelId, std::uint8_t flags, DiagramDocument* doc) {
    ConstructNode* level = newNode(ConstructType::Level);
    setPartPtr(level, 3, newLevelInfo(levelId, doc));
    setSegmentFlags(level, flags);
    return level;
}

namespace {

// The raw word of a slot (edge types included), as stored.
const ConstructNode* rawChild(const ConstructNode* node, const SlotWord& sw) {
    if (sw.word == kWordLevelBody) {
        const LevelInfo* li = levelInfoOf(node);
        return li ? li->body : nullptr;
    }
    return partNode(node, sw.word);
}

bool bodyInMemory(const ConstructNode* node, const SlotWord& sw) {
    return sw.word != kWordLevelBody || (segmentFlags(node) & (kSegLoaded | kSegOutline));
}

}  // namespace

std::string shape(const ConstructNode* head) {
    std::string out;
    for (const ConstructNode* n = head; n; n = n->next) {
        if (n != head) out += ' ';
        const ConstructInfo* info = constructInfo(n->type);
        if (!info) {
            out += "?" + std::to_string(typeCode(n->type));
            continue;
        }
        if (n->type == ConstructType::Dummy) {
            out += "ph(" + std::to_string(typeCode(placeholderOwner(n))) + "," +
                   std::to_string(slotCode(placeholderSlot(n))) + ")";
            continue;
        }
        out += info->name;
        if (const char* text = textOf(n)) out += "\"" + std::string(text) + "\"";
        if (const HostCommand* hc = hostCommandOf(n)) out += "(k" + std::to_string(hc->kind) + ")";
        if (const LevelInfo* li = levelInfoOf(n)) out += "#" + std::to_string(li->levelId);
        if (info->childCount == 0) continue;
        out += '{';
        for (std::uint8_t i = 0; i < info->childCount; ++i) {
            const SlotWord& sw = info->children[i];
            if (i) out += ' ';
            out += std::to_string(slotCode(sw.slot)) + ":";
            if (!bodyInMemory(n, sw))
                out += "disk";
            else
                out += "[" + shape(rawChild(n, sw)) + "]";
        }
        out += '}';
    }
    return out;
}

std::string checkLinks(const ConstructNode* head, const ConstructNode* expectedUp) {
    const ConstructNode* previous = nullptr;
    for (const ConstructNode* n = head; n; previous = n, n = n->next) {
        const ConstructNode* up = previous ? previous : expectedUp;
        const ConstructInfo* info = constructInfo(n->type);
        const std::string name = info ? info->name : "?";
        if (n->up != up) return name + ": up is not " + (previous ? "its predecessor" : "its owner");
        if (!info) continue;
        for (const SlotWord& sw : childSlots(*info)) {
            if (!bodyInMemory(n, sw)) continue;
            std::string fault = checkLinks(rawChild(n, sw), n);
            if (!fault.empty()) return name + "/" + std::to_string(slotCode(sw.slot)) + ": " + fault;
        }
    }
    return {};
}

int MemorySegmentSource::load(void* context, DiagramDocument*, ConstructNode*, std::uint32_t offset,
                              std::uint32_t options, ConstructNode** body) {
    auto* self = static_cast<MemorySegmentSource*>(context);
    ++self->calls;
    self->lastOffset = offset;
    self->lastOptions = options;
    self->currentDuringRead = g_currentDocument;
    auto found = self->bodies.find(offset);
    *body = found != self->bodies.end() ? found->second() : nullptr;
    return self->fail || found == self->bodies.end() ? 0 : 1;
}

namespace {

void putText(std::string& out, const char* text) {
    if (!text) {
        out += '~';
        return;
    }
    out += '"';
    out += text;
    out += '"';
}

void putTexts(std::string& out, char* const* texts, int count) {
    for (int i = 0; i < count; ++i) {
        out += ' ';
        putText(out, texts[i]);
    }
}

void putNumbers(std::string& out, const std::int32_t* values, int count) {
    for (int i = 0; i < count; ++i) out += ' ' + std::to_string(values[i]);
}

void dumpOperands(std::string& out, const HostOperand* list) {
    out += '[';
    for (const HostOperand* op = list; op; op = op->next) {
        out += "op " + std::to_string(op->number) + "/" + std::to_string(op->flags) + " ";
        putText(out, op->name);
        out += " {";
        for (const HostValue* v = op->values; v; v = v->next) {
            putText(out, v->text);
            dumpOperands(out, v->operands);
        }
        out += "}";
    }
    out += ']';
}

void dumpPayload(std::string& out, const ConstructNode* n) {
    switch (constructInfo(n->type)->payload) {
        case PayloadKind::None:
            break;
        case PayloadKind::Placeholder:
            out += " ph " + std::to_string(partInt(n, 0)) + "," + std::to_string(partInt(n, 1));
            break;
        case PayloadKind::Text:
            out += ' ';
            putText(out, partPtr<char>(n, 0));
            break;
        case PayloadKind::HostCommand:
            if (const HostCommand* r = hostCommandOf(n)) {
                out += " cmd " + std::to_string(r->kind) + "/" + std::to_string(r->flags) + " ";
                putText(out, r->commandText);
                out += ' ';
                putText(out, r->programText);
                dumpOperands(out, r->operands);
            }
            break;
        case PayloadKind::Condition: {
            const std::int32_t kind = partInt(n, 0);
            out += " cond " + std::to_string(kind);
            const void* rec = partPtr<void>(n, 1);
            if (kind == 7) {
                out += ' ';
                putText(out, static_cast<const char*>(rec));
                break;
            }
            if (!rec || kind < 1 || kind > 6) break;
            switch (kind) {
                case 1: {
                    auto* r = static_cast<const ConditionRecord1*>(rec);
                    putNumbers(out, &r->value, 1);
                    putTexts(out, &r->text, 1);
                    break;
                }
                case 2: {
                    auto* r = static_cast<const ConditionRecord2*>(rec);
                    putNumbers(out, &r->value1, 1);
                    putNumbers(out, &r->value2, 1);
                    putTexts(out, &r->text, 1);
                    break;
                }
                case 3: {
                    auto* r = static_cast<const ConditionRecord3*>(rec);
                    putNumbers(out, &r->value1, 1);
                    putTexts(out, r->texts1, 3);
                    putNumbers(out, &r->value2, 1);
                    putNumbers(out, &r->value3, 1);
                    putTexts(out, r->texts2, 3);
                    break;
                }
                case 4: {
                    auto* r = static_cast<const ConditionRecord4*>(rec);
                    putNumbers(out, &r->value1, 1);
                    putNumbers(out, &r->value2, 1);
                    putTexts(out, &r->text1, 1);
                    putTexts(out, &r->text2, 1);
                    putTexts(out, &r->text3, 1);
                    break;
                }
                case 5:
                    putNumbers(out, static_cast<const ConditionRecord5*>(rec)->values, 32);
                    break;
                default: {
                    auto* r = static_cast<const ConditionRecord6*>(rec);
                    putNumbers(out, r->values, 32);
                    putTexts(out, &r->text, 1);
                    break;
                }
            }
            break;
        }
        case PayloadKind::ProcOptions:
            if (const ProcedureOptions* r = procedureOptionsOf(n)) {
                out += " opts";
                putNumbers(out, &r->value1, 1);
                putNumbers(out, &r->value2, 1);
                putNumbers(out, &r->value3, 1);
                out += " " + std::to_string(r->flag1);
                putNumbers(out, &r->value4, 1);
                out += " " + std::to_string(r->flag2) + " " + std::to_string(r->flag3);
                putTexts(out, r->texts, 9);
                putNumbers(out, &r->value5, 1);
            }
            break;
        case PayloadKind::Variable:
            if (const VariableRecord* r = variableOf(n)) {
                out += " var";
                putNumbers(out, &r->value, 1);
                putTexts(out, &r->text1, 1);
                putTexts(out, &r->text2, 1);
            }
            break;
        case PayloadKind::Variant:
            if (const VariantRecord* r = variantOf(n)) {
                out += " variant";
                putTexts(out, &r->text1, 1);
                putTexts(out, &r->text2, 1);
            }
            break;
        case PayloadKind::Segment:
            if (const LevelInfo* li = levelInfoOf(n)) {
                out += " id " + std::to_string(li->levelId) + " f" +
                       std::to_string(segmentFlags(n) & kSegLineNumbersInvalid) + " w" +
                       std::to_string(li->blockWord1) + "," + std::to_string(li->blockWord2);
            }
            break;
    }
}

}  // namespace

std::string dump(const ConstructNode* head) {
    std::string out = "(";
    for (const ConstructNode* n = head; n; n = n->next) {
        if (n != head) out += ' ';
        const ConstructInfo* info = constructInfo(n->type);
        if (!info) {
            out += "?" + std::to_string(typeCode(n->type));
            continue;
        }
        out += info->name;
        if (n->lineNumber) out += "@" + std::to_string(n->lineNumber);
        if (n->leftLabel || n->rightLabel) {
            out += '<';
            putText(out, n->leftLabel);
            out += '|';
            putText(out, n->rightLabel);
            out += '>';
        }
        dumpPayload(out, n);
        for (const SlotWord& sw : childSlots(*info)) {
            out += ' ' + std::to_string(slotCode(sw.slot)) + ":";
            out += bodyInMemory(n, sw) ? dump(rawChild(n, sw)) : "disk";
        }
    }
    return out + ")";
}

WriteStream::WriteStream() {
    platform::MemHandle block = platform::memBlockAlloc(16);
    file_ = bfile::openMemory(block, 0, kMemNoHeader, 0);
}

WriteStream::~WriteStream() {
    if (!file_) return;
    platform::MemHandle block = file_->memBlock;
    bfile::close(file_);
    platform::memBlockFree(block);
}

std::string WriteStream::bytes() {
    // Seeking to where it stands writes the buffer out.
    bfile::seek(file_, bfile::tell(file_));
    return std::string(reinterpret_cast<const char*>(file_->memBase), file_->memEnd);
}

ReadStream::ReadStream(const std::string& bytes) {
    const auto size = static_cast<std::uint32_t>(bytes.size());
    block_ = platform::memBlockAlloc(size ? size : 1);
    std::memcpy(platform::memBlockLock(block_), bytes.data(), size);
    platform::memBlockUnlock(block_);
    file_ = bfile::openMemory(block_, size, kMemNoHeader, 0);
}

ReadStream::~ReadStream() {
    if (file_) bfile::close(file_);
    platform::memBlockFree(block_);
}

int StreamSegmentSource::load(void* context, DiagramDocument* document, ConstructNode*, std::uint32_t offset,
                              std::uint32_t options, ConstructNode** body) {
    auto* self = static_cast<StreamSegmentSource*>(context);
    ++self->loads;
    return readSegmentBody(document, self->stream.file(), offset, options, body);
}

BufferedFile* StreamSegmentSource::acquire(void* context, DiagramDocument*, bool* openedHere) {
    auto* self = static_cast<StreamSegmentSource*>(context);
    *openedHere = false;
    if (self->noFile) return nullptr;
    ++self->acquired;
    return self->stream.file();
}

int StreamSegmentSource::release(void* context, DiagramDocument*, BufferedFile*, bool) {
    ++static_cast<StreamSegmentSource*>(context)->released;
    return 1;
}

void StreamSegmentSource::pageOut(void* context, DiagramDocument*, ConstructNode* level) {
    static_cast<StreamSegmentSource*>(context)->pagedOut.push_back(level);
}

void TreeTest::SetUp() {
    resetOutcome();
    memFailAt(0);
    startBlocks = memOutstanding();
    previousDocument = g_currentDocument;
    g_currentDocument = &doc;
    setClipboardTextHook(nullptr);
    setActionBlockTemplateHook(nullptr);
    setInternalErrorHook(nullptr);
}

void TreeTest::TearDown() {
    memFailAt(0);
    resetOutcome();
    g_currentDocument = previousDocument;
    EXPECT_EQ(memOutstanding(), startBlocks) << "allocator blocks left over";
}

namespace {
int collectOnDisk(ConstructNode* node, void* context) {
    if (node->type == ConstructType::Level && (segmentFlags(node) & (kSegLoaded | kSegOnDisk)) == kSegOnDisk)
        static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    return 1;
}
}  // namespace

bool loadEverySegment(ConstructNode* root, DiagramDocument* doc) {
    for (;;) {
        std::vector<ConstructNode*> onDisk;
        forEachNode(root, collectOnDisk, &onDisk);
        bool progress = false;
        // Loading a body frees its outline copy and the segments in it:
        // after an outline, the others are collected again.
        for (ConstructNode* level : onDisk) {
            const bool outline = segmentFlags(level) & kSegOutline;
            if (!ensureLoaded(level, doc)) continue;
            progress = true;
            if (outline) break;
        }
        if (!progress) return onDisk.empty();
    }
}

}  // namespace tree_test
