// ConstructNode records: payload views, release, slot access, navigation,
// texts and labels.
#include "core/construct_node.h"

#include <cstring>

#include "core/allocator.h"
#include "core/construct_internal.h"
#include "core/outcome.h"
#include "core/record_pool.h"

namespace {

bool isType(const ConstructNode* n, ConstructType t) {
    return n && n->type == t;
}

// The catalogue row of a node whose slots may be accessed; edge types only
// when `withEdge`.
const ConstructInfo* slotInfo(const ConstructNode* node, bool withEdge) {
    const ConstructInfo* info = constructInfo(node->type);
    if (!info) return nullptr;
    if ((info->groups & kGroupEdge) && !withEdge) return nullptr;
    return info;
}

// Reads / writes a mapped word (0..3 or the LevelInfo body).
ConstructNode* readWord(const ConstructNode* node, int word) {
    if (word == kWordLevelBody) {
        const LevelInfo* li = levelInfoOf(node);
        return li ? li->body : nullptr;
    }
    return partNode(node, word);
}

bool writeWord(ConstructNode* node, int word, ConstructNode* child) {
    if (word == kWordLevelBody) {
        LevelInfo* li = levelInfoOf(node);
        if (!li) return false;
        li->body = child;
        return true;
    }
    setPartNode(node, word, child);
    return true;
}

}  // namespace

ConstructNode* childAtAny(const ConstructNode* node, Slot slot, bool* has) {
    if (has) *has = false;
    if (!node || slot == Slot::None) return nullptr;
    if (slot == Slot::Next) {
        if (has) *has = true;
        return node->next;
    }
    const ConstructInfo* info = slotInfo(node, true);
    if (!info) return nullptr;
    const int word = wordOfSlot(*info, slot);
    if (word < 0) return nullptr;
    if (has) *has = true;
    return readWord(node, word);
}

int setChildAtAny(ConstructNode* child, ConstructNode* node, Slot slot) {
    if (!node || slot == Slot::None) return 0;
    if (slot == Slot::Next) {
        node->next = child;
    } else {
        const ConstructInfo* info = slotInfo(node, true);
        if (!info) return 0;
        const int word = wordOfSlot(*info, slot);
        if (word < 0 || !writeWord(node, word, child)) return 0;
    }
    if (child) child->up = node;
    return 1;
}

namespace {

// The slot under which `holder` holds `node` (edge types included).
Slot holderSlot(const ConstructNode* holder, const ConstructNode* node) {
    if (holder->next == node) return Slot::Next;
    const ConstructInfo* info = slotInfo(holder, true);
    if (!info) return Slot::None;
    for (const SlotWord& sw : childSlots(*info))
        if (readWord(holder, sw.word) == node) return sw.slot;
    return Slot::None;
}

// Sequence visibility for child iteration: a Level's body only when it is
// in memory (loaded or as an outline copy).
bool bodyInMemory(const ConstructNode* level) {
    return (segmentFlags(level) & (kSegLoaded | kSegOutline)) != 0;
}

bool visibleChild(const ConstructNode* node, const SlotWord& sw) {
    return sw.word != kWordLevelBody || bodyInMemory(node);
}

}  // namespace

// ---------------------------------------------------------------------------
// Payload views

LevelInfo* levelInfoOf(const ConstructNode* level) {
    return isType(level, ConstructType::Level) ? partPtr<LevelInfo>(level, 3) : nullptr;
}

std::uint8_t segmentFlags(const ConstructNode* level) {
    return isType(level, ConstructType::Level) ? static_cast<std::uint8_t>(level->part[2]) : 0;
}

void setSegmentFlags(ConstructNode* level, std::uint8_t flags) {
    if (isType(level, ConstructType::Level)) level->part[2] = flags;
}

HostCommand* hostCommandOf(const ConstructNode* node) {
    return isType(node, ConstructType::KdlCommand) ? partPtr<HostCommand>(node, 0) : nullptr;
}

ProcedureOptions* procedureOptionsOf(const ConstructNode* node) {
    return isType(node, ConstructType::KivProc) ? partPtr<ProcedureOptions>(node, 0) : nullptr;
}

VariableRecord* variableOf(const ConstructNode* node) {
    return isType(node, ConstructType::Variable) ? partPtr<VariableRecord>(node, 0) : nullptr;
}

VariantRecord* variantOf(const ConstructNode* node) {
    return isType(node, ConstructType::Variant) ? partPtr<VariantRecord>(node, 0) : nullptr;
}

std::int32_t conditionKind(const ConstructNode* node) {
    return isType(node, ConstructType::KivCond) ? partInt(node, 0) : 0;
}

void* conditionRecord(const ConstructNode* node) {
    const std::int32_t kind = conditionKind(node);
    return kind >= 1 && kind <= 6 ? partPtr<void>(node, 1) : nullptr;
}

const char* conditionText(const ConstructNode* node) {
    return conditionKind(node) == 7 ? partPtr<char>(node, 1) : nullptr;
}

ConstructType placeholderOwner(const ConstructNode* node) {
    return isType(node, ConstructType::Dummy) ? static_cast<ConstructType>(partInt(node, 0))
                                              : ConstructType::None;
}

Slot placeholderSlot(const ConstructNode* node) {
    return isType(node, ConstructType::Dummy) ? static_cast<Slot>(partInt(node, 1)) : Slot::None;
}

bool carriesOwnData(const ConstructNode* node) {
    if (!node || !inGroup(node->type, kGroupOwnData)) return false;
    return !(node->type == ConstructType::KivCond && conditionKind(node) == 8);
}

// ---------------------------------------------------------------------------
// Creation and release

namespace {
// The tree's nodes, many to an allocator block (core/record_pool.h).
RecordPool g_nodes(sizeof(ConstructNode));
}  // namespace

ConstructNode* newNode(ConstructType type) {
    auto* node = static_cast<ConstructNode*>(g_nodes.allocate());
    if (node) node->type = type;
    return node;
}

ConstructNode* newPlaceholder(ConstructNode* owner, Slot slot) {
    ConstructNode* ph = newNode(ConstructType::Dummy);
    if (!ph) return nullptr;
    setPartInt(ph, 0, owner ? typeCode(owner->type) : 0);
    setPartInt(ph, 1, slotCode(slot));
    ph->up = owner;
    return ph;
}

namespace {

void freeString(char*& s) {
    s = static_cast<char*>(memFree(s));
}

void freeStrings(char** list, int count) {
    for (int i = 0; i < count; ++i) freeString(list[i]);
}

void freeConditionPayload(ConstructNode* node) {
    void* record = partPtr<void>(node, 1);
    if (!record) return;
    switch (partInt(node, 0)) {
        case 1:
            freeString(static_cast<ConditionRecord1*>(record)->text);
            break;
        case 2:
            freeString(static_cast<ConditionRecord2*>(record)->text);
            break;
        case 3: {
            auto* r = static_cast<ConditionRecord3*>(record);
            freeStrings(r->texts1, 3);
            freeStrings(r->texts2, 3);
            break;
        }
        case 4: {
            auto* r = static_cast<ConditionRecord4*>(record);
            freeString(r->text1);
            freeString(r->text2);
            freeString(r->text3);
            break;
        }
        case 6:
            freeString(static_cast<ConditionRecord6*>(record)->text);
            break;
        default:
            break;  // 5: numbers only; 7: the block is the string itself
    }
    memFree(record);
    node->part[1] = 0;
}

}  // namespace

void freeHostOperands(HostOperand* list) {
    // Nested operand lists are spliced onto the list being freed, so deep
    // nesting needs no stack.
    while (list) {
        HostOperand* op = list;
        list = op->next;
        for (HostValue* v = op->values; v;) {
            HostValue* nextValue = v->next;
            if (v->operands) {
                HostOperand* tail = v->operands;
                while (tail->next) tail = tail->next;
                tail->next = list;
                list = v->operands;
            }
            memFree(v->text);
            memFree(v);
            v = nextValue;
        }
        memFree(op->name);
        memFree(op);
    }
}

void freeHostCommand(HostCommand* record) {
    if (!record) return;
    memFree(record->commandText);
    memFree(record->programText);
    freeHostOperands(record->operands);
    memFree(record);
}

void freePayload(ConstructNode* node) {
    const ConstructInfo* info = node ? constructInfo(node->type) : nullptr;
    if (!info) return;
    switch (info->payload) {
        case PayloadKind::HostCommand:
            freeHostCommand(partPtr<HostCommand>(node, 0));
            node->part[0] = 0;
            break;
        case PayloadKind::Condition:
            freeConditionPayload(node);
            break;
        case PayloadKind::Text:
            memFree(partPtr<char>(node, 0));
            node->part[0] = 0;
            break;
        case PayloadKind::ProcOptions:
            if (auto* r = partPtr<ProcedureOptions>(node, 0)) {
                freeStrings(r->texts, 9);
                memFree(r);
            }
            node->part[0] = 0;
            break;
        case PayloadKind::Variable:
            if (auto* r = partPtr<VariableRecord>(node, 0)) {
                freeString(r->text1);
                freeString(r->text2);
                memFree(r);
            }
            node->part[0] = 0;
            break;
        case PayloadKind::Variant:
            if (auto* r = partPtr<VariantRecord>(node, 0)) {
                freeString(r->text1);
                freeString(r->text2);
                memFree(r);
            }
            node->part[0] = 0;
            break;
        case PayloadKind::None:
        case PayloadKind::Placeholder:
        case PayloadKind::Segment:
            break;
    }
}

void freeSequence(ConstructNode* head) {
    // The sequences still to be freed form a stack linked through their
    // heads' `up` words, which freeing needs no more: the whole tree goes in
    // one loop, without recursion, allocation or walks to a sequence's end.
    // A node's child sequences are freed before its successor, in the order
    // the nodes were read and so lie in memory.
    if (head) head->up = nullptr;
    ConstructNode* stack = head;
    while (stack) {
        ConstructNode* node = stack;
        stack = node->up;
        while (node) {
            ConstructNode* following = node->next;
            if (const ConstructInfo* info = constructInfo(node->type)) {
                const std::span<const SlotWord> slots = childSlots(*info);
                for (auto sw = slots.rbegin(); sw != slots.rend(); ++sw) {
                    if (!visibleChild(node, *sw)) continue;  // a body on disk is not in memory
                    ConstructNode* child = readWord(node, sw->word);
                    if (!child) continue;
                    if (following) {
                        following->up = stack;
                        stack = following;
                    }
                    following = child;
                }
            }
            memFree(node->leftLabel);
            memFree(node->rightLabel);
            freePayload(node);
            if (LevelInfo* li = levelInfoOf(node)) {
                memFree(li->extra);
                memFree(li);
            }
            // A pooled record is cleared when it is handed out again.
            if (!g_nodes.release(node)) memFree(node);
            node = following;
        }
    }
}

// ---------------------------------------------------------------------------
// Slot access

ConstructNode* childAt(const ConstructNode* node, Slot slot) {
    if (!node || slot == Slot::None) return nullptr;
    if (slot == Slot::Next) return node->next;
    if (!slotInfo(node, false)) return nullptr;
    return childAtAny(node, slot, nullptr);
}

int setChildAt(ConstructNode* child, ConstructNode* node, Slot slot) {
    if (!node || slot == Slot::None) return 0;
    if (slot != Slot::Next && !slotInfo(node, false)) return 0;
    return setChildAtAny(child, node, slot);
}

int insertSequenceAt(ConstructNode* sequence, ConstructNode* node, Slot slot) {
    if (!sequence || !node || slot == Slot::None) return 0;
    if (slot != Slot::Next && !slotInfo(node, false)) return 0;
    bool has = false;
    ConstructNode* former = childAtAny(node, slot, &has);
    if (!has) return 0;
    if (node->type == ConstructType::Level && slot == Slot::Body && !levelInfoOf(node)) return 0;
    ConstructNode* last = lastOf(sequence);
    last->next = former;
    if (former) former->up = last;
    return setChildAtAny(sequence, node, slot);
}

Slot slotOf(const ConstructNode* node) {
    if (!node || !node->up) return Slot::None;
    if (node->up->next == node) return Slot::Next;
    if (!slotInfo(node->up, false)) return Slot::None;
    return holderSlot(node->up, node);
}

ConstructNode* ownerOf(const ConstructNode* node, Slot* slot) {
    if (slot) *slot = Slot::None;
    if (!node) return nullptr;
    const ConstructNode* n = node;
    while (n->up && n->up->next == n) n = n->up;
    if (!n->up) return nullptr;
    if (slot) *slot = slotOf(n);
    return n->up;
}

ConstructNode* ownerAcrossSegments(const ConstructNode* node, Slot* slot) {
    Slot s = Slot::None;
    ConstructNode* owner = ownerOf(node, &s);
    while (owner && owner->type == ConstructType::Level && s == Slot::Body) owner = ownerOf(owner, &s);
    if (slot) *slot = owner ? s : Slot::None;
    return owner;
}

ConstructNode* enclosingOfType(const ConstructNode* node, ConstructType type) {
    return enclosingMatching(node, type, Slot::None);
}

ConstructNode* enclosingMatching(const ConstructNode* node, ConstructType type, Slot slot) {
    Slot s = Slot::None;
    for (ConstructNode* owner = ownerOf(node, &s); owner; owner = ownerOf(owner, &s)) {
        if ((slot == Slot::None || s == slot) && (type == ConstructType::None || owner->type == type))
            return owner;
    }
    return nullptr;
}

ConstructNode* enclosingLevel(const ConstructNode* node) {
    return enclosingMatching(node, ConstructType::Level, Slot::Body);
}

int levelDepth(const ConstructNode* target, const ConstructNode* node) {
    int depth = 0;
    for (const ConstructNode* n = node; n; n = enclosingLevel(n), ++depth)
        if (n == target) return depth;
    return -1;
}

ConstructNode* rootOf(const ConstructNode* node) {
    if (!node) return nullptr;
    while (node->up) node = node->up;
    return const_cast<ConstructNode*>(node);
}

ConstructNode* sequenceHead(const ConstructNode* node) {
    if (!node) return nullptr;
    while (node->up && node->up->next == node) node = node->up;
    return const_cast<ConstructNode*>(node);
}

ConstructNode* lastOf(const ConstructNode* node) {
    if (!node) return nullptr;
    while (node->next) node = node->next;
    return const_cast<ConstructNode*>(node);
}

bool inSequence(const ConstructNode* node, const ConstructNode* head) {
    if (!node) return false;
    for (const ConstructNode* n = head; n; n = n->next)
        if (n == node) return true;
    return false;
}

int countSequence(const ConstructNode* head) {
    int count = 0;
    for (const ConstructNode* n = head; n; n = n->next) ++count;
    return count;
}

ConstructNode* findInSequence(ConstructNode* head, const ConstructNode* last, ConstructType type) {
    for (ConstructNode* n = head; n && !g_outcome.jobCancelled; n = n->next) {
        if (n->type == type) return n;
        if (n == last) break;
    }
    return nullptr;
}

ConstructNode* findFirst(ConstructNode* head, const ConstructNode* last, NodePredicate predicate,
                         void* context) {
    if (!predicate) return nullptr;
    for (ConstructNode* n = head; n && !g_outcome.jobCancelled; n = n->next) {
        if (predicate(n, context)) return n;
        if (n == last) break;
    }
    return nullptr;
}

ConstructNode* firstContentIn(const ConstructNode* node, Slot slot) {
    for (ConstructNode* n = childAt(node, slot); n; n = n->next)
        if (isContentType(n->type)) return n;
    return nullptr;
}

ConstructNode* detach(ConstructNode* head, ConstructNode* first, ConstructNode* last) {
    if (!first) return head;
    ConstructNode* end = (last && inSequence(last, first)) ? last : first;
    ConstructNode* successor = end->next;
    ConstructNode* holder = first->up;
    if (holder) {
        const Slot s = holderSlot(holder, first);
        if (s != Slot::None) {
            setChildAtAny(successor, holder, s);
        } else if (successor) {
            successor->up = nullptr;  // the holder does not know `first`: the rest stands alone
        }
    } else if (successor) {
        successor->up = nullptr;
    }
    first->up = nullptr;
    end->next = nullptr;
    return first == head ? successor : head;
}

int forEachChildSequence(int stopValue, SequenceVisitor fn, ConstructNode* node, void* context) {
    const int carryOn = stopValue ? 0 : 1;
    if (!node || !fn) return carryOn;
    const ConstructInfo* info = slotInfo(node, false);
    if (!info) return carryOn;
    for (const SlotWord& sw : childSlots(*info)) {
        if (!visibleChild(node, sw)) continue;
        if (g_outcome.jobCancelled) return stopValue;
        if ((fn(readWord(node, sw.word), context) != 0) == (stopValue != 0)) return stopValue;
    }
    return carryOn;
}

namespace {

// The first non-empty visible child sequence of `node` after the slot at
// position `from` (-1: from the start); `index` receives its position.
ConstructNode* nextChildHead(const ConstructNode* node, int from, int* index) {
    const ConstructInfo* info = slotInfo(node, false);
    if (!info) return nullptr;
    for (int i = from + 1; i < info->childCount; ++i) {
        const SlotWord& sw = info->children[i];
        if (!visibleChild(node, sw)) continue;
        if (ConstructNode* child = readWord(node, sw.word)) {
            *index = i;
            return child;
        }
    }
    return nullptr;
}

int slotPosition(const ConstructNode* node, Slot slot) {
    const ConstructInfo* info = slotInfo(node, false);
    if (!info) return -1;
    for (int i = 0; i < info->childCount; ++i)
        if (info->children[i].slot == slot) return i;
    return -1;
}

}  // namespace

int forEachNode(ConstructNode* head, NodeVisitor fn, void* context, OnCancel onCancel) {
    if (!fn) return 0;
    ConstructNode* n = head;
    int depth = 0;
    while (n) {
        if ((onCancel == OnCancel::stop && g_outcome.jobCancelled) || !fn(n, context)) return 0;
        int index = -1;
        if (ConstructNode* child = nextChildHead(n, -1, &index)) {
            n = child;
            ++depth;
            continue;
        }
        // No children: the successor, or climb to the owner's next child
        // sequence, or further up.
        for (;;) {
            if (n->next) {
                n = n->next;
                break;
            }
            if (depth == 0) return 1;
            ConstructNode* first = sequenceHead(n);
            ConstructNode* owner = first->up;
            const int position = owner ? slotPosition(owner, holderSlot(owner, first)) : -1;
            if (position < 0) return 0;  // links broken: stop rather than loop
            --depth;
            if (ConstructNode* child = nextChildHead(owner, position, &index)) {
                n = child;
                ++depth;
                break;
            }
            n = owner;
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Texts and labels

const char* textOf(const ConstructNode* node) {
    return node && isStatementTextType(node->type) ? partPtr<char>(node, 0) : nullptr;
}

int setText(ConstructNode* node, char* text) {
    if (!node || !isStatementTextType(node->type)) return 0;
    char* old = partPtr<char>(node, 0);
    if (old != text) memFree(old);
    setPartPtr(node, 0, text);
    return 1;
}

void* textExtra(const ConstructNode* node, int index) {
    if (!node || !hasTextExtras(node->type) || index < 1 || index > 3) return nullptr;
    return partPtr<void>(node, index);
}

int setTextExtra(ConstructNode* node, int index, void* value) {
    if (!node || !hasTextExtras(node->type) || index < 1 || index > 3) return 0;
    setPartPtr(node, index, value);
    return 1;
}

const char* leftLabel(const ConstructNode* node) {
    return node ? node->leftLabel : nullptr;
}
const char* rightLabel(const ConstructNode* node) {
    return node ? node->rightLabel : nullptr;
}

namespace {
int replaceLabel(char*& label, char* text) {
    if (label != text) memFree(label);
    label = text;
    return 1;
}
}  // namespace

int setLeftLabel(ConstructNode* node, char* text) {
    return node ? replaceLabel(node->leftLabel, text) : 0;
}

int setRightLabel(ConstructNode* node, char* text) {
    return node ? replaceLabel(node->rightLabel, text) : 0;
}

// ---------------------------------------------------------------------------
// Rest branch

bool inRestBranchHead(const ConstructNode* node) {
    if (!node) return false;
    const Slot s = slotOf(node);
    if (isBranchType(node->type) && s == Slot::Rest) return true;
    const ConstructNode* branch = node->up;
    if (!branch || slotOf(branch) != Slot::Rest) return false;
    return (branch->type == ConstructType::OnConditionBranch && s == Slot::Condition) ||
           (branch->type == ConstructType::OnSelectorBranch && s == Slot::Head);
}
