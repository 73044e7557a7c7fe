#include "tests/core/tree_helpers.h"

#include "core/allocator.h"
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

}  // namespace tree_test
