#include "tests/core/element_stream_helpers.h"

#include <cstring>
#include <vector>

#include "core/allocator.h"
#include "core/outcome.h"

namespace stream_test {

void setFormat(DiagramDocument* doc, const char* edition, const char* version, std::uint16_t treeVersion) {
    std::memset(doc->editionCode, 0, 4);
    std::memset(doc->formatVersion, 0, 4);
    std::memcpy(doc->editionCode, edition, std::strlen(edition) < 3 ? std::strlen(edition) : 3);
    std::memcpy(doc->formatVersion, version, 3);
    doc->treeVersion = treeVersion;
    doc->intWidth = std::strncmp(version, "6.3", 4) < 0 ? 2 : 4;
}

std::string linkFault(ConstructNode* head) {
    if (head && head->up) return "head has an up link";
    // The walk stops on a cancelled job; the links are checked regardless.
    const bool cancelled = g_outcome.jobCancelled;
    g_outcome.jobCancelled = false;
    struct Restore {
        bool value;
        ~Restore() { g_outcome.jobCancelled = value; }
    } restore{cancelled};
    struct Context {
        std::string fault;
    } context;
    const int complete = forEachNode(
        head,
        [](ConstructNode* n, void* c) {
            auto* ctx = static_cast<Context*>(c);
            if (n->next && n->next->up != n) ctx->fault = "successor's up is not its predecessor";
            const ConstructInfo* info = constructInfo(n->type);
            if (!info) return 1;
            for (const SlotWord& sw : childSlots(*info)) {
                if (sw.word == kWordLevelBody && !(segmentFlags(n) & (kSegLoaded | kSegOutline))) continue;
                const ConstructNode* child = sw.word == kWordLevelBody
                                                 ? (levelInfoOf(n) ? levelInfoOf(n)->body : nullptr)
                                                 : partNode(n, sw.word);
                if (child && child->up != n) ctx->fault = "child head's up is not its owner";
            }
            return ctx->fault.empty() ? 1 : 0;
        },
        &context);
    if (!context.fault.empty()) return context.fault;
    return complete ? "" : "walk stopped";
}

void StreamTest::SetUp() {
    TreeTest::SetUp();
    setCurrentStreamFormat(&doc);
    setSegmentShownHook(nullptr);
}

void StreamTest::TearDown() {
    setSegmentShownHook(nullptr);
    TreeTest::TearDown();
}

std::string StreamTest::write(ConstructNode* head, int intWidth) {
    tree_test::WriteStream out;
    g_outcome.writeOk = true;
    EXPECT_EQ(writeSequence(&doc, head, nullptr, out.file(), intWidth), 1);
    EXPECT_TRUE(g_outcome.writeOk);
    return out.bytes();
}

ConstructNode* StreamTest::read(const std::string& bytes, std::uint32_t options, bool* ok) {
    tree_test::ReadStream in(bytes);
    g_outcome.readOk = true;
    ConstructNode* head = readSequence(&doc, in.file(), options);
    if (ok)
        *ok = g_outcome.readOk;
    else
        EXPECT_TRUE(g_outcome.readOk);
    return head;
}

void StreamTest::expectReadFails(const std::string& bytes, std::uint32_t options) {
    bool ok = true;
    ConstructNode* head = read(bytes, options, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(linkFault(head), "");
    freeSequence(head);
    g_outcome.readOk = true;
    g_outcome.jobCancelled = false;
}

// ---------------------------------------------------------------------------
// Random trees

namespace {

// Every type the stream writes.
std::vector<ConstructType> writtenTypes() {
    std::vector<ConstructType> types;
    for (const ConstructInfo& info : kConstructCatalogue)
        if (isWrittenType(info.type)) types.push_back(info.type);
    return types;
}

}  // namespace

std::int32_t TreeGenerator::number() {
    if (narrow) return static_cast<std::int32_t>(rng() & 0xFFFF);
    switch (pick(4)) {
        case 0:
            return 0;
        case 1:
            return -static_cast<std::int32_t>(rng() % 1000);
        default:
            return static_cast<std::int32_t>(rng());
    }
}

char* TreeGenerator::text() {
    switch (pick(6)) {
        case 0:
            return nullptr;
        case 1:
            return memStrDup("");
        case 2:
            return memStrDup("line one\r\nline two");
        case 3: {
            // Every byte value but NUL.
            std::string t;
            const int n = 1 + pick(40);
            for (int k = 0; k < n; ++k) t += static_cast<char>(1 + pick(255));
            return memStrDup(t.c_str());
        }
        case 4:
            if (longTexts && chance(3)) return memStrDup(std::string(kMaxStringLength - 1, 'x').c_str());
            [[fallthrough]];
        default:
            return memStrDup(("t" + std::to_string(rng() % 1000)).c_str());
    }
}

HostOperand* TreeGenerator::operands(int depth) {
    HostOperand* head = nullptr;
    HostOperand** link = &head;
    const int count = depth > 2 ? 0 : pick(3);
    for (int k = 0; k < count; ++k) {
        auto* op = static_cast<HostOperand*>(memAlloc(sizeof(HostOperand)));
        op->name = text();
        op->number = number();
        op->flags = static_cast<std::uint8_t>(rng());
        HostValue** valueLink = &op->values;
        for (int v = pick(3); v > 0; --v) {
            auto* value = static_cast<HostValue*>(memAlloc(sizeof(HostValue)));
            value->text = text();
            value->operands = operands(depth + 1);
            *valueLink = value;
            valueLink = &value->next;
        }
        *link = op;
        link = &op->next;
    }
    return head;
}

void TreeGenerator::payload(ConstructNode* node) {
    switch (constructInfo(node->type)->payload) {
        case PayloadKind::Placeholder:
            setPartInt(node, 0, narrow ? pick(79) : number());
            setPartInt(node, 1, narrow ? pick(19) : number());
            break;
        case PayloadKind::Text:
            setPartPtr(node, 0, text());
            break;
        case PayloadKind::HostCommand:
            if (chance(85)) {
                auto* r = static_cast<HostCommand*>(memAlloc(sizeof(HostCommand)));
                r->kind = 1 + pick(2);
                r->flags = static_cast<std::uint8_t>(rng());
                r->commandText = text();
                if (r->kind == 2) r->programText = text();
                r->operands = operands(0);
                setPartPtr(node, 0, r);
            }
            break;
        case PayloadKind::Condition: {
            const int kind = 1 + pick(8);
            setPartInt(node, 0, kind);
            if (kind == 7) {
                setPartPtr(node, 1, text());
                break;
            }
            if (kind == 8 || chance(15)) break;
            void* rec = nullptr;
            switch (kind) {
                case 1: {
                    auto* r = static_cast<ConditionRecord1*>(memAlloc(sizeof(ConditionRecord1)));
                    r->value = number();
                    r->text = text();
                    rec = r;
                    break;
                }
                case 2: {
                    auto* r = static_cast<ConditionRecord2*>(memAlloc(sizeof(ConditionRecord2)));
                    r->value1 = number();
                    r->value2 = number();
                    r->text = text();
                    rec = r;
                    break;
                }
                case 3: {
                    auto* r = static_cast<ConditionRecord3*>(memAlloc(sizeof(ConditionRecord3)));
                    r->value1 = number();
                    r->value2 = number();
                    r->value3 = number();
                    for (int k = 0; k < 3; ++k) {
                        r->texts1[k] = text();
                        r->texts2[k] = text();
                    }
                    rec = r;
                    break;
                }
                case 4: {
                    auto* r = static_cast<ConditionRecord4*>(memAlloc(sizeof(ConditionRecord4)));
                    r->text1 = text();
                    r->text2 = text();
                    r->text3 = text();
                    r->value1 = number();
                    r->value2 = number();
                    rec = r;
                    break;
                }
                case 5: {
                    auto* r = static_cast<ConditionRecord5*>(memAlloc(sizeof(ConditionRecord5)));
                    for (auto& v : r->values) v = number();
                    rec = r;
                    break;
                }
                default: {
                    auto* r = static_cast<ConditionRecord6*>(memAlloc(sizeof(ConditionRecord6)));
                    for (auto& v : r->values) v = number();
                    r->text = text();
                    rec = r;
                    break;
                }
            }
            setPartPtr(node, 1, rec);
            break;
        }
        case PayloadKind::ProcOptions:
            if (chance(85)) {
                auto* r = static_cast<ProcedureOptions*>(memAlloc(sizeof(ProcedureOptions)));
                r->value1 = number();
                r->value2 = number();
                r->value3 = number();
                r->flag1 = static_cast<std::uint8_t>(rng());
                r->value4 = number();
                r->flag2 = static_cast<std::uint8_t>(rng());
                r->flag3 = static_cast<std::uint8_t>(rng());
                for (auto& t : r->texts) t = text();
                r->value5 = number();
                setPartPtr(node, 0, r);
            }
            break;
        case PayloadKind::Variable:
            if (chance(85)) {
                auto* r = static_cast<VariableRecord*>(memAlloc(sizeof(VariableRecord)));
                r->value = number();
                r->text1 = text();
                r->text2 = text();
                setPartPtr(node, 0, r);
            }
            break;
        case PayloadKind::Variant:
            if (chance(85)) {
                auto* r = static_cast<VariantRecord*>(memAlloc(sizeof(VariantRecord)));
                r->text1 = text();
                r->text2 = text();
                setPartPtr(node, 0, r);
            }
            break;
        case PayloadKind::None:
        case PayloadKind::Segment:
            break;
    }
}

ConstructNode* TreeGenerator::element(int depth, bool linesInvalid) {
    static const std::vector<ConstructType> types = writtenTypes();
    // Deep down, and when the budget is spent, only leaves.
    ConstructType type;
    do {
        type = types[static_cast<std::size_t>(pick(static_cast<int>(types.size())))];
    } while ((depth >= maxDepth || budget <= 0) && !isLeafType(type));
    if (levelPercent > 0 && depth < maxDepth && budget > 0 && chance(levelPercent))
        type = ConstructType::Level;
    --budget;
    ConstructNode* node = newNode(type);
    node->lineNumber = linesInvalid ? 0 : (narrow ? static_cast<std::int32_t>(rng() & 0xFFFF) : number());
    if (chance(30)) node->leftLabel = text();
    if (chance(30)) node->rightLabel = text();
    payload(node);
    if (type == ConstructType::Level) {
        LevelInfo* li = newLevelInfo(0, doc);
        setPartPtr(node, 3, li);
        std::uint8_t flags = kSegLoaded;
        if (linesInvalid || (invalidLines && chance(20))) flags |= kSegLineNumbersInvalid;
        setSegmentFlags(node, flags);
        if (blockWords) {
            li->blockWord1 = static_cast<std::uint32_t>(rng());
            li->blockWord2 = static_cast<std::uint32_t>(rng());
        }
        setChildAt(sequence(depth + 1, linesInvalid), node, Slot::Head);
        // A body read under flag 0x20 has its line numbers cleared.
        setChildAt(sequence(depth + 1, (flags & kSegLineNumbersInvalid) != 0), node, Slot::Body);
        return node;
    }
    for (const SlotWord& sw : childSlots(*constructInfo(type)))
        setChildAt(sequence(depth + 1, linesInvalid), node, sw.slot);
    return node;
}

ConstructNode* TreeGenerator::sequence(int depth, bool linesInvalid) {
    const int count = budget <= 0 ? pick(2) : pick(4);
    ConstructNode* head = nullptr;
    ConstructNode* last = nullptr;
    for (int k = 0; k < count; ++k) {
        ConstructNode* node = element(depth, linesInvalid);
        if (last) {
            last->next = node;
            node->up = last;
        } else {
            head = node;
        }
        last = node;
    }
    return head;
}

}  // namespace stream_test
