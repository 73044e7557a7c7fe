// Deep copies of construct sequences: every node with its labels, payload
// record, texts and child sequences; segments get new LevelInfo records.
#include <cstring>

#include "core/allocator.h"
#include "core/construct_internal.h"
#include "core/diagram_document.h"
#include "core/element_stream_internal.h"
#include "core/outcome.h"

namespace {

using element_stream_detail::WorkStack;

// Copies a string block; true when there was nothing to copy or the copy
// was made.
bool dupString(char*& to, const char* from) {
    to = from ? memStrDup(from) : nullptr;
    return !from || to;
}

bool dupStrings(char** to, char* const* from, int count) {
    bool ok = true;
    for (int i = 0; i < count; ++i) ok = dupString(to[i], from[i]) && ok;
    return ok;
}

template <class T>
T* newRecord(const T& from) {
    auto* record = static_cast<T*>(memAlloc(sizeof(T)));
    if (record) std::memcpy(static_cast<void*>(record), &from, sizeof(T));
    return record;
}

// An operand list still to be copied into *to.
struct OperandTask {
    const HostOperand* from;
    HostOperand** to;
};

// Copies an operand list with its nested lists, without recursion. The
// partial copy stays linked under *to when memory runs out.
bool copyOperands(const HostOperand* from, HostOperand** to) {
    WorkStack<OperandTask, 8> tasks;
    if (!tasks.push({from, to})) return false;
    while (!tasks.empty()) {
        OperandTask task = tasks.top();
        tasks.pop();
        HostOperand** link = task.to;
        for (const HostOperand* op = task.from; op; op = op->next) {
            auto* copy = static_cast<HostOperand*>(memAlloc(sizeof(HostOperand)));
            if (!copy) return false;
            *link = copy;
            link = &copy->next;
            copy->number = op->number;
            copy->flags = op->flags;
            if (!dupString(copy->name, op->name)) return false;
            HostValue** valueLink = &copy->values;
            for (const HostValue* v = op->values; v; v = v->next) {
                auto* value = static_cast<HostValue*>(memAlloc(sizeof(HostValue)));
                if (!value) return false;
                *valueLink = value;
                valueLink = &value->next;
                if (!dupString(value->text, v->text)) return false;
                if (v->operands && !tasks.push({v->operands, &value->operands})) return false;
            }
        }
    }
    return true;
}

HostCommand* copyHostCommand(const HostCommand* from) {
    auto* to = static_cast<HostCommand*>(memAlloc(sizeof(HostCommand)));
    if (!to) return nullptr;
    to->kind = from->kind;
    to->flags = from->flags;
    if (!dupString(to->commandText, from->commandText) || !dupString(to->programText, from->programText) ||
        !copyOperands(from->operands, &to->operands)) {
        freeHostCommand(to);
        return nullptr;
    }
    return to;
}

// The condition payload of a KivCond: the record of kinds 1..6 or the
// string of kind 7 into part1 of `to`. False when memory ran out; part1
// then holds a partial copy whose strings are copies or null, for
// freePayload. (Every string is copied even after one failed, so that no
// field keeps pointing at the source's string.)
bool copyCondition(const ConstructNode* from, ConstructNode* to) {
    to->part[1] = 0;
    const void* record = partPtr<void>(from, 1);
    if (!record) return true;
    switch (partInt(from, 0)) {
        case 1: {
            auto* r = newRecord(*static_cast<const ConditionRecord1*>(record));
            setPartPtr(to, 1, r);
            return r && dupString(r->text, r->text);
        }
        case 2: {
            auto* r = newRecord(*static_cast<const ConditionRecord2*>(record));
            setPartPtr(to, 1, r);
            return r && dupString(r->text, r->text);
        }
        case 3: {
            auto* r = newRecord(*static_cast<const ConditionRecord3*>(record));
            setPartPtr(to, 1, r);
            if (!r) return false;
            const bool first = dupStrings(r->texts1, r->texts1, 3);
            return dupStrings(r->texts2, r->texts2, 3) && first;
        }
        case 4: {
            auto* r = newRecord(*static_cast<const ConditionRecord4*>(record));
            setPartPtr(to, 1, r);
            if (!r) return false;
            char* texts[3] = {r->text1, r->text2, r->text3};
            const bool ok = dupStrings(texts, texts, 3);
            r->text1 = texts[0];
            r->text2 = texts[1];
            r->text3 = texts[2];
            return ok;
        }
        case 5: {
            auto* r = newRecord(*static_cast<const ConditionRecord5*>(record));
            setPartPtr(to, 1, r);
            return r != nullptr;
        }
        case 6: {
            auto* r = newRecord(*static_cast<const ConditionRecord6*>(record));
            setPartPtr(to, 1, r);
            return r && dupString(r->text, r->text);
        }
        case 7: {
            char* text = memStrDup(static_cast<const char*>(record));
            setPartPtr(to, 1, text);
            return text != nullptr;
        }
        default:
            return true;
    }
}

// The payload of `from` into `to`, whose part words hold a verbatim copy
// of from's. Pointers that could not be copied are null (or partial copies
// freePayload can release).
bool copyPayload(const ConstructNode* from, ConstructNode* to, PayloadKind kind) {
    switch (kind) {
        case PayloadKind::None:
        case PayloadKind::Placeholder:
            return true;
        case PayloadKind::Text: {
            // Text and SpecialText carry three extra words, copied as they are.
            char* text = nullptr;
            const bool ok = dupString(text, partPtr<char>(from, 0));
            setPartPtr(to, 0, text);
            return ok;
        }
        case PayloadKind::HostCommand: {
            const HostCommand* r = hostCommandOf(from);
            HostCommand* copy = r ? copyHostCommand(r) : nullptr;
            setPartPtr(to, 0, copy);
            return !r || copy;
        }
        case PayloadKind::Condition:
            return copyCondition(from, to);
        case PayloadKind::ProcOptions: {
            const auto* r = partPtr<ProcedureOptions>(from, 0);
            if (!r) return true;
            auto* copy = newRecord(*r);
            setPartPtr(to, 0, copy);
            if (copy) std::memset(copy->texts, 0, sizeof copy->texts);
            return copy && dupStrings(copy->texts, r->texts, 9);
        }
        case PayloadKind::Variable: {
            const auto* r = partPtr<VariableRecord>(from, 0);
            if (!r) return true;
            auto* copy = static_cast<VariableRecord*>(memAlloc(sizeof(VariableRecord)));
            setPartPtr(to, 0, copy);
            if (!copy) return false;
            copy->value = r->value;
            return dupString(copy->text1, r->text1) && dupString(copy->text2, r->text2);
        }
        case PayloadKind::Variant: {
            const auto* r = partPtr<VariantRecord>(from, 0);
            if (!r) return true;
            auto* copy = static_cast<VariantRecord*>(memAlloc(sizeof(VariantRecord)));
            setPartPtr(to, 0, copy);
            if (!copy) return false;
            return dupString(copy->text1, r->text1) && dupString(copy->text2, r->text2);
        }
        case PayloadKind::Segment:
            return true;  // the LevelInfo is made by copyNode
    }
    return false;
}

// One node without its child sequences and links. Null (nothing left
// over) when memory runs out.
ConstructNode* copyNode(const ConstructNode* from, DiagramDocument* target) {
    const ConstructInfo* info = constructInfo(from->type);
    ConstructNode* to = newNode(from->type);
    if (!to || !info) {
        freeSequence(to);
        return nullptr;
    }
    std::memcpy(to->part, from->part, sizeof to->part);
    // Child heads are filled in as the children are copied.
    for (const SlotWord& sw : childSlots(*info))
        if (sw.word != kWordLevelBody) to->part[sw.word] = 0;
    bool ok = copyPayload(from, to, info->payload);
    if (info->payload == PayloadKind::Segment) {
        setPartPtr<LevelInfo>(to, 3, nullptr);
        setSegmentFlags(to, kSegLoaded);
    }
    ok = ok && dupString(to->leftLabel, from->leftLabel) && dupString(to->rightLabel, from->rightLabel);
    if (ok && info->payload == PayloadKind::Segment) {
        // Last: a copy that fails never uses up a level id.
        LevelInfo* li = newLevelInfo(0, target);
        setPartPtr(to, 3, li);
        ok = li != nullptr;
    }
    if (!ok) {
        freeSequence(to);
        return nullptr;
    }
    return to;
}

// A sequence of the source being copied: the next node to copy, and where
// its copy goes.
struct CopyTask {
    ConstructNode* from;        // null once the sequence is through
    const ConstructNode* last;  // the end of the top range; null: to the end
    ConstructNode* owner;       // holder of the sequence's copy; null for the top range
    Slot slot;
    ConstructNode* previous;  // the copy of the node before `from`
};

}  // namespace

ConstructNode* copySequence(DiagramDocument* target, ConstructNode* first, const ConstructNode* last,
                            DiagramDocument* source) {
    if (!first) return nullptr;
    DiagramDocument* to = target ? target : currentDocument();
    DiagramDocument* from = source ? source : currentDocument();
    ConstructNode* result = nullptr;
    // Node by node in stream order (a node, its children, its successor),
    // so that new level ids follow the order of reading.
    WorkStack<CopyTask, 32> tasks;
    bool ok = tasks.push({first, last, nullptr, Slot::None, nullptr});
    while (ok && !tasks.empty()) {
        CopyTask& task = tasks.top();
        ConstructNode* n = task.from;
        if (!n) {
            tasks.pop();
            continue;
        }
        // A body on disk (or as an outline copy) is read in full first.
        if (g_outcome.jobCancelled || (n->type == ConstructType::Level && !(segmentFlags(n) & kSegLoaded) &&
                                       (segmentFlags(n) & kSegOnDisk) && !ensureLoaded(n, from))) {
            ok = false;
            break;
        }
        ConstructNode* copy = copyNode(n, to);
        if (!copy) {
            ok = false;
            break;
        }
        if (task.previous) {
            task.previous->next = copy;
            copy->up = task.previous;
        } else if (task.owner) {
            setChildAtAny(copy, task.owner, task.slot);
        } else {
            result = copy;
        }
        task.previous = copy;
        task.from = n == task.last ? nullptr : n->next;
        // Children last to first, so that the first is copied next.
        const ConstructInfo* info = constructInfo(n->type);
        for (int i = info->childCount - 1; ok && i >= 0; --i) {
            const SlotWord& sw = info->children[i];
            if (sw.word == kWordLevelBody && !(segmentFlags(n) & kSegLoaded)) continue;
            if (ConstructNode* child = childAtAny(n, sw.slot, nullptr))
                ok = tasks.push({child, nullptr, copy, sw.slot, nullptr});
        }
    }
    if (!ok) {
        freeSequence(result);
        return nullptr;
    }
    return result;
}
