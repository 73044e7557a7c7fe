// Delete, duplicate, enclose, extract, refine, push down, pull up, split
// and join.
#include "edit/construct_commands.h"

#include <cstring>

#include "core/allocator.h"
#include "core/diagram_document.h"
#include "edit/edit_internal.h"
#include "resources/commands.h"

using namespace edit_detail;

namespace {

using T = ConstructType;

constexpr EncloseRow kEncloseTable[] = {
    {CMD_ENCLOSE_IF_THEN, 3100, Slot::Then},
    {CMD_ENCLOSE_IF_ELSE, 3100, Slot::Else},
    {CMD_ENCLOSE_WHILE, 3200, Slot::Body},
    {CMD_ENCLOSE_REPEAT, 3720, Slot::Body},
    {CMD_ENCLOSE_FOR, 3710, Slot::Body},
    {CMD_ENCLOSE_LOOP, 3500, Slot::Body},
    {CMD_ENCLOSE_SWITCH_WHEN, 3300, Slot::Branches},
    {CMD_ENCLOSE_SWITCH_WHEN_NONE, 3300, Slot::Rest},
    {CMD_ENCLOSE_CASE_OF, 3750, Slot::Branches},
    {CMD_ENCLOSE_CASE_OTHERWISE, 3750, Slot::Rest},
    {CMD_ENCLOSE_FIRST + 28, 3775, Slot::Head},
    {CMD_ENCLOSE_AND, 4320, Slot::Condition},
    {CMD_ENCLOSE_OR, 4330, Slot::Condition},
    {CMD_ENCLOSE_FIRST + 31, 4340, Slot::Condition},
    {CMD_ENCLOSE_NOT, 4350, Slot::Condition},
    {CMD_ENCLOSE_BLOCK, 3650, Slot::Body},
    {CMD_ENCLOSE_FIRST + 34, 5000, Slot::Body},
    {CMD_ENCLOSE_PROCEDURE, 3740, Slot::Body},
    {CMD_ENCLOSE_FIRST + 36, 3733, Slot::Body},
    {CMD_ENCLOSE_FIRST + 37, 3150, Slot::Then},
    {CMD_ENCLOSE_FIRST + 38, 3150, Slot::Else},
    {CMD_ENCLOSE_FRAME, 3700, Slot::Body},
    {CMD_ENCLOSE_FUNCTION, 3745, Slot::Body},
};

int lengthOf(const ConstructNode* node) {
    const char* text = textOf(node);
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

void select(EditContext& context, ConstructNode* first, ConstructNode* last) {
    if (context.view) context.view->state.selection = Selection{first, last};
}

// The type of the construct a template command builds.
ConstructType templateType(unsigned command) {
    const ConstructInfo* info = constructForCommand(static_cast<int>(command));
    return info ? info->type : T::None;
}

// The place inside a construct of `type` where an enclosed area goes (for
// the check, before anything is built).
PlaceContext innerContext(ConstructType type, Slot slot, bool inside) {
    PlaceContext inner;
    inner.owner = type;
    inner.slot = slot;
    if (slot == Slot::Branches || slot == Slot::Rest) {
        inner.owner = type == T::OnSelector ? T::OnSelectorBranch : T::OnConditionBranch;
        inner.slot = Slot::BranchBody;
    }
    inner.insideCondition = inside || inner.slot == Slot::Condition;
    return inner;
}

// ---------------------------------------------------------------------------
// Delete

struct DeleteData {
    ConstructNode* first;
    ConstructNode* last;
};

int deleteChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<DeleteData*>(data);
    Slot slot = Slot::None;
    ConstructNode* owner = ownerOf(d->first, &slot);
    ConstructNode* before = slotOf(d->first) == Slot::Next ? d->first->up : nullptr;
    ConstructNode* after = d->last->next;
    if (!journalUnlink(record, context.document, d->first, d->last) ||
        !refillSlot(record, context.document, owner, slot))
        return 0;
    ConstructNode* next = after ? after : before ? before : childAt(owner, slot);
    select(context, next, next);
    return 1;
}

// ---------------------------------------------------------------------------
// Enclose, refine, push down

struct EncloseData {
    ConstructNode* first;
    ConstructNode* last;
    ConstructNode* construct;  // built; freed here unless linked
    Slot slot;
    bool linked;
};

// Links the new construct where the area is, then moves the area into it
// (replacing the first placeholder of the slot, or after its last node).
int encloseChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<EncloseData*>(data);
    if (!journalLink(record, context.document, d->construct, d->construct, placeOf(d->first))) return 0;
    d->linked = true;
    Slot inner = Slot::None;
    ConstructNode* owner = encloseSlotOwner(d->construct, d->slot, &inner);
    ConstructNode* previous = nullptr;
    ConstructNode* placeholder = nullptr;
    for (ConstructNode* n = childAt(owner, inner); n; previous = n, n = n->next)
        if (n->type == T::Dummy) {
            placeholder = n;
            break;
        }
    if (placeholder) {
        previous = slotOf(placeholder) == Slot::Next ? placeholder->up : nullptr;
        if (!journalUnlink(record, context.document, placeholder, placeholder)) return 0;
    }
    return journalMove(record, context.document, d->first, d->last, placeAt(owner, inner, previous));
}

}  // namespace

ConstructNode* encloseSlotOwner(ConstructNode* construct, Slot slot, Slot* inner) {
    *inner = slot;
    if (slot != Slot::Branches && slot != Slot::Rest) return construct;
    *inner = Slot::BranchBody;
    return childAt(construct, slot);
}

int deleteSelection(EditContext& context) {
    if (!context.view || !canDelete(context.view->state.selection)) return 0;
    DeleteData data{context.view->state.selection.first, context.view->state.selection.last};
    return runEditCommand(context, CMD_EDIT_DELETE, deleteChange, &data);
}

bool canDelete(const Selection& selection) {
    if (!sound(selection) || inRestBranchHead(selection.first)) return false;
    // A lone placeholder would only be put back.
    const ConstructNode* n = selection.first;
    return !(selection.single() && n->type == T::Dummy && !n->next && slotOf(n) != Slot::Next);
}

// ---------------------------------------------------------------------------
// Duplicate

Placement checkDuplicate(DiagramDocument* document, const Selection& selection) {
    if (!sound(selection)) return Placement::NoTarget;
    InsertTarget target{selection.last, InsertPosition::After, Slot::None};
    return checkPlacement(document, selection.first, selection.last, target, false);
}

namespace {
struct DuplicateData {
    ConstructNode* after;
    ConstructNode* copy;
    bool linked;
};

int duplicateChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<DuplicateData*>(data);
    TreePlace place;
    place.previous = d->after;
    if (!journalLink(record, context.document, d->copy, lastOf(d->copy), place)) return 0;
    d->linked = true;
    select(context, d->copy, lastOf(d->copy));
    return 1;
}
}  // namespace

int duplicateSelection(EditContext& context) {
    if (!context.view) return 0;
    const Selection selection = context.view->state.selection;
    if (checkDuplicate(context.document, selection) != Placement::Ok) return 0;
    const std::uint32_t levelIds = context.document->lastLevelId;
    DuplicateData data{selection.last,
                       copySequence(context.document, selection.first, selection.last, context.document),
                       false};
    if (!data.copy) {
        context.document->lastLevelId = levelIds;
        return 0;
    }
    const int done = runEditCommand(context, CMD_EDIT_DUPLICATE, duplicateChange, &data);
    if (!data.linked) freeSequence(data.copy);
    return done;
}

// ---------------------------------------------------------------------------
// Enclose

const EncloseRow* encloseRow(unsigned command) {
    for (const EncloseRow& row : kEncloseTable)
        if (row.command == command) return &row;
    return nullptr;
}

Placement checkEnclose(DiagramDocument* document, const Selection& selection, unsigned command) {
    const EncloseRow* row = encloseRow(command);
    if (!row || !sound(selection)) return Placement::NoTarget;
    PlaceContext place;
    Placement verdict = rangeContext(selection.first, selection.last, &place);
    const ConstructType type = templateType(row->templateCommand);
    if (verdict == Placement::Ok) verdict = placeType(place, type, 0);
    if (verdict != Placement::Ok) return verdict;
    return placeSequence(document, innerContext(type, row->slot, place.insideCondition), selection.first,
                         selection.last);
}

int encloseSelection(EditContext& context, unsigned command) {
    if (!context.view) return 0;
    const Selection selection = context.view->state.selection;
    const EncloseRow* row = encloseRow(command);
    if (!row || checkEnclose(context.document, selection, command) != Placement::Ok) return 0;
    const std::uint32_t levelIds = context.document->lastLevelId;
    EncloseData data{selection.first, selection.last, newConstruct(context.document, row->templateCommand),
                     row->slot, false};
    Slot inner = Slot::None;
    if (!data.construct || !encloseSlotOwner(data.construct, row->slot, &inner)) {
        freeSequence(data.construct);
        context.document->lastLevelId = levelIds;
        return 0;
    }
    const int done = runEditCommand(context, command, encloseChange, &data);
    if (!data.linked) freeSequence(data.construct);
    if (done) select(context, data.construct, data.construct);
    return done;
}

// ---------------------------------------------------------------------------
// Extract

namespace {

// The construct an area is extracted from, with its place as a context.
ConstructNode* dissolvedBy(const Selection& selection) {
    Slot slot = Slot::None;
    ConstructNode* owner = ownerOf(selection.first, &slot);
    if (owner && (isBranchType(owner->type) || owner->type == T::Default)) owner = ownerOf(owner, &slot);
    if (!owner || owner->type == T::Level || !ownerOf(owner)) return nullptr;
    return owner;
}

struct ExtractData {
    ConstructNode* first;
    ConstructNode* last;
    ConstructNode* dissolved;
};

int extractChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<ExtractData*>(data);
    return journalMove(record, context.document, d->first, d->last, placeOf(d->dissolved)) &&
           journalUnlink(record, context.document, d->dissolved, d->dissolved);
}

}  // namespace

Placement checkExtract(DiagramDocument* document, const Selection& selection) {
    if (!sound(selection)) return Placement::NoTarget;
    ConstructNode* dissolved = dissolvedBy(selection);
    if (!dissolved) return Placement::NoTarget;
    PlaceContext place;
    const Placement verdict = rangeContext(dissolved, dissolved, &place);
    if (verdict != Placement::Ok) return verdict;
    return placeSequence(document, place, selection.first, selection.last);
}

int extractSelection(EditContext& context) {
    if (!context.view) return 0;
    const Selection selection = context.view->state.selection;
    if (checkExtract(context.document, selection) != Placement::Ok) return 0;
    ExtractData data{selection.first, selection.last, dissolvedBy(selection)};
    return runEditCommand(context, CMD_EDIT_EXTRACT, extractChange, &data);
}

// ---------------------------------------------------------------------------
// Refine and push down

Placement checkRefine(DiagramDocument* document, const Selection& selection) {
    if (!sound(selection)) return Placement::NoTarget;
    PlaceContext place;
    Placement verdict = rangeContext(selection.first, selection.last, &place);
    if (verdict == Placement::Ok) verdict = placeType(place, T::Level, 0);
    if (verdict != Placement::Ok) return verdict;
    // The body lies at the segment's place, counted on its own.
    place.others = 0;
    return placeSequence(document, place, selection.first, selection.last);
}

namespace {
struct RefineData {
    EncloseData enclose;
    bool pushDown;
};

int refineChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<RefineData*>(data);
    EncloseData& e = d->enclose;
    if (!journalLink(record, context.document, e.construct, e.construct, placeOf(e.first))) return 0;
    e.linked = true;
    TreePlace body;
    body.owner = e.construct;
    body.slot = Slot::Body;
    if (!journalMove(record, context.document, e.first, e.last, body)) return 0;
    if (d->pushDown || !context.view) return 1;
    return journalShowSegment(record, context.journal->hooks, context.window, context.view, e.construct);
}
}  // namespace

int refineSelection(EditContext& context, bool pushDown) {
    if (!context.view) return 0;
    const Selection selection = context.view->state.selection;
    if (checkRefine(context.document, selection) != Placement::Ok) return 0;
    const std::uint32_t levelIds = context.document->lastLevelId;
    RefineData data{{selection.first, selection.last, newConstruct(context.document, CMD_INSERT_SEGMENT),
                     Slot::Body, false},
                    pushDown};
    if (!data.enclose.construct) {
        context.document->lastLevelId = levelIds;
        return 0;
    }
    const int done =
        runEditCommand(context, pushDown ? CMD_EDIT_PUSH_DOWN : CMD_EDIT_REFINE, refineChange, &data);
    if (!data.enclose.linked) freeSequence(data.enclose.construct);
    if (done && pushDown) select(context, data.enclose.construct, data.enclose.construct);
    if (done && !pushDown) select(context, selection.first, selection.last);
    return done;
}

// ---------------------------------------------------------------------------
// Pull up

Placement checkPullUp(DiagramDocument* document, const Selection& selection) {
    if (!sound(selection)) return Placement::NoTarget;
    PlaceContext place;
    Placement verdict = rangeContext(selection.first, selection.last, &place);
    for (ConstructNode* n = selection.first; verdict == Placement::Ok && n;
         n = n == selection.last ? nullptr : n->next) {
        if (n->type != T::Level) return Placement::NoTarget;
        if (!ensureLoaded(n, document)) return Placement::BodyUnavailable;
        ConstructNode* body = levelInfoOf(n)->body;
        verdict = placeSequence(document, place, body, nullptr);
        place.others += countSequence(body);
    }
    return verdict;
}

namespace {
struct PullUpData {
    ConstructNode* first;
    ConstructNode* last;
    ConstructNode* pulledFirst;
    ConstructNode* pulledLast;
};

int pullUpChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<PullUpData*>(data);
    Slot slot = Slot::None;
    ConstructNode* owner = ownerOf(d->first, &slot);
    ConstructNode* n = d->first;
    for (;;) {
        ConstructNode* level = n;
        const bool end = level == d->last;
        n = level->next;
        ConstructNode* body = levelInfoOf(level)->body;
        if (body) {
            ConstructNode* bodyLast = lastOf(body);
            if (!journalMove(record, context.document, body, bodyLast, placeOf(level))) return 0;
            if (!d->pulledFirst) d->pulledFirst = body;
            d->pulledLast = bodyLast;
        }
        if (!journalUnlink(record, context.document, level, level)) return 0;
        if (end) break;
    }
    return refillSlot(record, context.document, owner, slot);
}
}  // namespace

int pullUpSelection(EditContext& context) {
    if (!context.view) return 0;
    const Selection selection = context.view->state.selection;
    if (checkPullUp(context.document, selection) != Placement::Ok) return 0;
    PullUpData data{selection.first, selection.last, nullptr, nullptr};
    const int done = runEditCommand(context, CMD_EDIT_PULL_UP, pullUpChange, &data);
    if (done) select(context, data.pulledFirst, data.pulledLast);
    return done;
}

// ---------------------------------------------------------------------------
// Split and join

bool canSplit(const Selection& selection, int caret) {
    if (!sound(selection) || !selection.single() || !isStatementTextType(selection.first->type)) return false;
    if (caret <= 0 || caret >= lengthOf(selection.first)) return false;
    PlaceContext place;
    return rangeContext(selection.first, selection.first, &place) == Placement::Ok &&
           !place.insideCondition && !isHeadSlot(place.slot);
}

namespace {
struct SplitData {
    ConstructNode* node;
    char* firstPart;
    ConstructNode* second;
    bool textSet;
    bool linked;
};

int splitChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<SplitData*>(data);
    d->textSet = true;  // taken over (or freed) by journalSetText
    if (!journalSetText(record, context.document, d->node, d->firstPart)) return 0;
    TreePlace place;
    place.previous = d->node;
    if (!journalLink(record, context.document, d->second, d->second, place)) return 0;
    d->linked = true;
    return 1;
}
}  // namespace

int splitSelection(EditContext& context, int caret) {
    if (!context.view || !canSplit(context.view->state.selection, caret)) return 0;
    ConstructNode* node = context.view->state.selection.first;
    const char* text = textOf(node);
    // One line break at the cut goes.
    long firstEnd = caret;
    if (firstEnd > 0 && text[firstEnd - 1] == '\n') --firstEnd;
    if (firstEnd > 0 && text[firstEnd - 1] == '\r') --firstEnd;
    long secondStart = caret;
    if (text[secondStart] == '\r') ++secondStart;
    if (text[secondStart] == '\n') ++secondStart;
    SplitData data{node, memStrDup(text, firstEnd), newNode(node->type), false, false};
    char* secondPart = memStrDup(text + secondStart);
    if (!data.firstPart || !data.second || !secondPart) {
        memFree(data.firstPart);
        memFree(secondPart);
        freeSequence(data.second);
        return 0;
    }
    setText(data.second, secondPart);
    const int done = runEditCommand(context, CMD_EDIT_SPLIT, splitChange, &data);
    if (!data.textSet) memFree(data.firstPart);
    if (!data.linked) freeSequence(data.second);
    if (done) select(context, data.second, data.second);
    return done;
}

bool canJoin(const Selection& selection) {
    if (!sound(selection) || selection.single()) return false;
    long total = -2;
    for (const ConstructNode* n = selection.first; n; n = n == selection.last ? nullptr : n->next) {
        if (!isStatementTextType(n->type)) return false;
        total += lengthOf(n) + 2;
    }
    return total <= kMaxJoinedText;
}

namespace {
struct JoinData {
    ConstructNode* first;
    ConstructNode* last;
    char* joined;
    bool taken;
};

int joinChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<JoinData*>(data);
    d->taken = true;
    return journalSetText(record, context.document, d->first, d->joined) &&
           journalUnlink(record, context.document, d->first->next, d->last);
}
}  // namespace

int joinSelection(EditContext& context) {
    if (!context.view || !canJoin(context.view->state.selection)) return 0;
    const Selection selection = context.view->state.selection;
    long total = -2;
    for (const ConstructNode* n = selection.first; n; n = n == selection.last ? nullptr : n->next)
        total += lengthOf(n) + 2;
    auto* joined = static_cast<char*>(memAlloc(static_cast<std::size_t>(total) + 1));
    if (!joined) return 0;
    char* out = joined;
    for (const ConstructNode* n = selection.first; n; n = n == selection.last ? nullptr : n->next) {
        if (n != selection.first) {
            *out++ = '\r';
            *out++ = '\n';
        }
        const int length = lengthOf(n);
        if (length) std::memcpy(out, textOf(n), static_cast<std::size_t>(length));
        out += length;
    }
    JoinData data{selection.first, selection.last, joined, false};
    const int done = runEditCommand(context, CMD_EDIT_JOIN, joinChange, &data);
    if (!data.taken) memFree(joined);
    if (done) select(context, selection.first, selection.first);
    return done;
}
