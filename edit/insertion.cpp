// The pending insertion and placing it.
#include "edit/insertion.h"

#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "edit/edit_internal.h"
#include "resources/commands.h"

using namespace edit_detail;

int beginInsertionOf(PendingInsertion& pending, DiagramDocument* document, unsigned command,
                     ConstructNode* sequence) {
    cancelInsertion(pending);
    if (!sequence) return 0;
    pending.command = command;
    pending.first = sequence;
    pending.last = lastOf(sequence);
    pending.source = document;
    return 1;
}

int beginInsertion(PendingInsertion& pending, EditContext& context, unsigned command) {
    cancelInsertion(pending);
    DiagramDocument* document = context.document;
    const Selection selection = context.view ? context.view->state.selection : Selection{};
    if (command == CMD_EDIT_MOVE) {
        if (!sound(selection) || inRestBranchHead(selection.first)) return 0;
        pending.command = command;
        pending.first = selection.first;
        pending.last = selection.last;
        pending.source = document;
        pending.moving = true;
        pending.pinned = segmentOf(selection.first);
        pinSegment(pending.pinned);
        return 1;
    }
    if (command == CMD_EDIT_COPY) {
        if (!sound(selection)) return 0;
        return beginInsertionOf(pending, document, command,
                                copySequence(document, selection.first, selection.last, document));
    }
    if (!isConstructCommand(static_cast<int>(command))) return 0;
    return beginInsertionOf(pending, document, command, newConstruct(document, static_cast<int>(command)));
}

int beginFileInsertion(PendingInsertion& pending, EditContext& context, const char* path) {
    ConstructNode* sequence = nullptr;
    if (!insertDiagramFile(context.document, path, &sequence)) return 0;
    return beginInsertionOf(pending, context.document, CMD_INSERT_FILE, sequence);
}

void cancelInsertion(PendingInsertion& pending) {
    if (!pending.moving) freeSequence(pending.first);
    unpinSegment(pending.pinned);
    pending = PendingInsertion{};
}

namespace {

// A Level target's body is read before the target is resolved.
bool loadTarget(DiagramDocument* document, const InsertTarget& target) {
    const bool intoBody = target.position == InsertPosition::IntoSegment ||
                          (target.position == InsertPosition::IntoSlot && target.slot == Slot::Body);
    if (!intoBody || !target.target || target.target->type != ConstructType::Level) return true;
    return (segmentFlags(target.target) & kSegLoaded) || ensureLoaded(target.target, document);
}

// A sequence of another document goes in as a copy made for this one (its
// segments need level ids of this document).
bool acrossDocuments(const PendingInsertion& pending, const EditContext& context) {
    return pending.source && pending.source != context.document;
}

struct Placing {
    PendingInsertion* pending;
    ResolvedTarget target;
    ConstructNode* copy;  // across documents: the copy for the target document
    bool linked;
    ConstructNode* first;  // what went in
    ConstructNode* last;
};

int placeChange(EditContext& context, UndoRecord* record, void* data) {
    auto* p = static_cast<Placing*>(data);
    PendingInsertion& pending = *p->pending;
    DiagramDocument* document = context.document;
    const ResolvedTarget& t = p->target;
    if (t.replaced && !journalUnlink(record, document, t.replaced, t.replaced)) return 0;
    const TreePlace place = placeAt(t.owner, t.slot, t.previous);
    if (!pending.moving || p->copy) {
        // New constructs: linking them is the last step that can fail, so
        // a failed command leaves them pending.
        ConstructNode* first = p->copy ? p->copy : pending.first;
        ConstructNode* last = p->copy ? lastOf(p->copy) : pending.last;
        if (!journalLink(record, document, first, last, place)) return 0;
        p->linked = true;
        p->first = first;
        p->last = last;
        if (!p->copy || !pending.moving) return 1;
        // Moved across documents, the original leaves the source.
        Slot slot = Slot::None;
        ConstructNode* owner = ownerOf(pending.first, &slot);
        return journalUnlink(record, pending.source, pending.first, pending.last) &&
               refillSlot(record, pending.source, owner, slot);
    }
    Slot slot = Slot::None;
    ConstructNode* owner = ownerOf(pending.first, &slot);
    p->first = pending.first;
    p->last = pending.last;
    return journalMove(record, document, pending.first, pending.last, place) &&
           refillSlot(record, document, owner, slot);
}

}  // namespace

Placement checkInsertion(const PendingInsertion& pending, EditContext& context, const InsertTarget& target) {
    if (!pending.active()) return Placement::NoTarget;
    if (!loadTarget(context.document, target)) return Placement::BodyUnavailable;
    // Across documents the sequence travels as a copy: it cannot land in itself.
    const bool moving = pending.moving && !acrossDocuments(pending, context);
    return checkPlacement(context.document, pending.first, pending.last, target, moving);
}

int completeInsertion(PendingInsertion& pending, EditContext& context, const InsertTarget& target) {
    if (checkInsertion(pending, context, target) != Placement::Ok) return 0;
    Placing placing{&pending, {}, nullptr, false, nullptr, nullptr};
    resolveTarget(target, pending.first, pending.last, pending.moving && !acrossDocuments(pending, context),
                  &placing.target);
    const std::uint32_t levelIds = context.document->lastLevelId;
    if (acrossDocuments(pending, context)) {
        placing.copy = copySequence(context.document, pending.first, pending.last, pending.source);
        if (!placing.copy) {
            context.document->lastLevelId = levelIds;
            return 0;
        }
    }
    const int done = runEditCommand(context, pending.command, placeChange, &placing);
    if (placing.copy && !placing.linked) freeSequence(placing.copy);
    if (!done) return 0;
    if (context.view) context.view->state.selection = Selection{placing.first, placing.last};
    // A sequence that went in itself is the tree's now; a copied one is freed.
    if (!placing.copy) pending.moving = true;
    cancelInsertion(pending);
    return 1;
}

InsertTarget insertTargetForEmptySegment(EditContext& context) {
    InsertTarget target;
    ConstructNode* segment = context.view ? context.view->segment : nullptr;
    if (!segment || !loadTarget(context.document, {segment, InsertPosition::IntoSegment, Slot::None}))
        return target;
    if (!levelInfoOf(segment)->body) {
        target.target = segment;
        target.position = InsertPosition::IntoSegment;
    }
    return target;
}
