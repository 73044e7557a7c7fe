// The undo journal: records, entries, replay and the journaled changes.
#include "edit/undo_journal.h"

#include <new>
#include <utility>

#include "core/allocator.h"
#include "core/diagram_document.h"
#include "core/outcome.h"
#include "resources/commands.h"
#include "view/layout.h"

namespace {

// ---------------------------------------------------------------------------
// Linking

ConstructNode* headAt(const TreePlace& place) {
    return place.previous ? place.previous->next : childAt(place.owner, place.slot);
}

// Links the detached sequence first..last in at `place`.
void linkAt(const TreePlace& place, ConstructNode* first, ConstructNode* last) {
    ConstructNode* successor = headAt(place);
    if (place.previous) {
        place.previous->next = first;
        first->up = place.previous;
    } else {
        setChildAt(first, place.owner, place.slot);
    }
    last->next = successor;
    if (successor) successor->up = last;
}

// Takes first..last out of its sequence; returns the place it had.
TreePlace unlinkRange(ConstructNode* first, ConstructNode* last) {
    const TreePlace place = placeOf(first);
    ConstructNode* successor = last->next;
    if (place.previous) {
        place.previous->next = successor;
        if (successor) successor->up = place.previous;
    } else {
        setChildAt(successor, place.owner, place.slot);
    }
    first->up = nullptr;
    last->next = nullptr;
    return place;
}

// ---------------------------------------------------------------------------
// Segments inside a range

// Calls fn(node, context) for every node of first..last and everything in
// memory inside them; stops when fn returns 0.
int visitRange(ConstructNode* first, const ConstructNode* last, NodeVisitor fn, void* context) {
    struct Inner {
        NodeVisitor fn;
        void* context;
        static int sequence(ConstructNode* head, void* self) {
            auto* inner = static_cast<Inner*>(self);
            return !head || forEachNode(head, inner->fn, inner->context);
        }
    } inner{fn, context};
    for (ConstructNode* n = first; n; n = n == last ? nullptr : n->next) {
        if (!fn(n, context)) return 0;
        if (!forEachChildSequence(0, Inner::sequence, n, &inner)) return 0;
    }
    return 1;
}

int findBodyOnDisk(ConstructNode* node, void* context) {
    if (node->type != ConstructType::Level || (segmentFlags(node) & kSegLoaded) ||
        !(segmentFlags(node) & kSegOnDisk))
        return 1;
    *static_cast<ConstructNode**>(context) = node;
    return 0;
}

// Reads every segment body inside first..last that is on disk (one at a
// time: reading a body replaces its outline copy, which may hold others).
bool loadBodiesIn(DiagramDocument* document, ConstructNode* first, const ConstructNode* last) {
    for (;;) {
        ConstructNode* level = nullptr;
        visitRange(first, last, findBodyOnDisk, &level);
        if (!level) return !g_outcome.jobCancelled;
        if (!ensureLoaded(level, document)) return false;
    }
}

int markStale(ConstructNode* node, void*) {
    if (node->type == ConstructType::Level)
        setSegmentFlags(node, static_cast<std::uint8_t>(segmentFlags(node) & ~kSegFileCurrent));
    return 1;
}

// A sequence leaving the tree for an undo record: its segments no longer
// get their file offsets rewritten, so none of them may count as current
// in a file any more.
void detachSegments(ConstructNode* first, ConstructNode* last) {
    visitRange(first, last, markStale, nullptr);
}

// The segment whose stored block holds a change at `place`, and, for a
// change in a segment's head, that segment too (its header is shown there).
void segmentsAt(const TreePlace& place, ConstructNode* out[2]) {
    out[0] = out[1] = nullptr;
    const ConstructNode* at = place.previous ? place.previous : place.owner;
    if (!at) return;
    if (!place.previous && place.owner->type == ConstructType::Level) {
        if (place.slot == Slot::Body) {
            out[0] = place.owner;
            return;
        }
        out[1] = place.owner;
    }
    ConstructNode* level = enclosingLevel(at);
    if (!level) {
        ConstructNode* root = rootOf(at);
        if (root->type == ConstructType::Level) level = root;
    }
    out[0] = level;
    if (out[1] == out[0]) out[1] = nullptr;
}

// ---------------------------------------------------------------------------
// Entries

void prepend(UndoRecord* record, UndoEntry* entry) {
    entry->newer = nullptr;
    entry->older = record->entries;
    if (record->entries) record->entries->newer = entry;
    record->entries = entry;
}

// Prepends a copy of `entry`; null when memory runs out.
UndoEntry* pushEntry(UndoRecord* record, const UndoEntry& entry) {
    void* block = memAlloc(sizeof(UndoEntry));
    if (!block) return nullptr;
    auto* copy = new (block) UndoEntry(entry);
    prepend(record, copy);
    if (copy->kind == UndoKind::SegmentChanged) pinSegment(copy->node);
    return copy;
}

// A kind 9 entry for `level` unless one of the newest entries is one.
bool touchSegment(UndoRecord* record, DiagramDocument* document, ConstructNode* level) {
    if (!level) return true;
    int looked = 0;
    for (const UndoEntry* e = record->entries; e && looked < 8; e = e->older, ++looked)
        if (e->kind == UndoKind::SegmentChanged && e->node == level) return true;
    UndoEntry entry;
    entry.kind = UndoKind::SegmentChanged;
    entry.document = document;
    entry.node = level;
    return pushEntry(record, entry) != nullptr;
}

bool touchPlace(UndoRecord* record, DiagramDocument* document, const TreePlace& place) {
    ConstructNode* levels[2];
    segmentsAt(place, levels);
    return touchSegment(record, document, levels[0]) && touchSegment(record, document, levels[1]);
}

// The stored payload record of a kind 6/7 entry, released by the node's type.
void freeStoredPayload(const UndoEntry& e) {
    ConstructNode holder{};
    holder.type = e.node->type;
    if (e.kind == UndoKind::Payload) {
        holder.part[0] = e.stored[0];
    } else {
        holder.part[0] = e.stored[0];
        holder.part[1] = e.stored[1];
    }
    freePayload(&holder);
}

void releaseOwned(const UndoEntry& e) {
    switch (e.kind) {
        case UndoKind::Removed:
            freeSequence(e.first);
            break;
        case UndoKind::Text:
        case UndoKind::LeftLabel:
        case UndoKind::RightLabel:
            memFree(reinterpret_cast<void*>(e.stored[0]));
            break;
        case UndoKind::Payload:
        case UndoKind::Condition:
            freeStoredPayload(e);
            break;
        default:
            break;
    }
}

void releaseEntries(UndoEntry* entries) {
    // Pins first: a pinned segment may lie in a sequence an entry owns.
    for (UndoEntry* e = entries; e; e = e->older)
        if (e->kind == UndoKind::SegmentChanged) unpinSegment(e->node);
    while (entries) {
        UndoEntry* older = entries->older;
        releaseOwned(*entries);
        entries->~UndoEntry();
        memFree(entries);
        entries = older;
    }
}

void releaseRecord(UndoRecord* record) {
    if (!record) return;
    releaseEntries(record->entries);
    memFree(record);
}

bool namesWindow(const UndoEntry& e, WindowId window) {
    switch (e.kind) {
        case UndoKind::ShownSegment:
        case UndoKind::WindowState:
        case UndoKind::Refresh:
            return e.window == window;
        case UndoKind::SwitchedWindow:
            return e.window == window || e.otherWindow == window;
        default:
            return false;
    }
}

void purgeFrom(UndoRecord* record, WindowId window) {
    if (!record) return;
    UndoEntry** link = &record->entries;
    UndoEntry* newer = nullptr;
    while (UndoEntry* e = *link) {
        if (namesWindow(*e, window)) {
            *link = e->older;
            if (e->older) e->older->newer = newer;
            e->~UndoEntry();
            memFree(e);
            continue;
        }
        newer = e;
        link = &e->older;
    }
}

bool refersTo(const UndoRecord* record, const DiagramDocument* document) {
    for (const UndoEntry* e = record ? record->entries : nullptr; e; e = e->older)
        if (e->document == document) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Replay

WindowView* viewFor(const UndoJournal* journal, EditContext* context, WindowId window) {
    if (context && context->view && context->window == window) return context->view;
    return journal->hooks.viewOf ? journal->hooks.viewOf(journal->hooks.context, window) : nullptr;
}

// Carries out the inverse of `e` and turns `e` into the entry that undoes that.
void replayEntry(const UndoJournal* journal, EditContext* context, UndoEntry* e) {
    const UndoWindowHooks& hooks = journal->hooks;
    switch (e->kind) {
        case UndoKind::Inserted:
            e->place = unlinkRange(e->first, e->last);
            if (!g_outcome.jobCancelled) detachSegments(e->first, e->last);
            e->kind = UndoKind::Removed;
            break;
        case UndoKind::Removed:
            linkAt(e->place, e->first, e->last);
            e->kind = UndoKind::Inserted;
            break;
        case UndoKind::Moved: {
            const TreePlace now = unlinkRange(e->first, e->last);
            linkAt(e->from, e->first, e->last);
            e->place = e->from;
            e->from = now;
            break;
        }
        case UndoKind::Text: {
            const std::uintptr_t current = e->node->part[0];
            e->node->part[0] = e->stored[0];
            e->stored[0] = current;
            break;
        }
        case UndoKind::LeftLabel:
        case UndoKind::RightLabel: {
            char*& label = e->kind == UndoKind::LeftLabel ? e->node->leftLabel : e->node->rightLabel;
            char* current = label;
            label = reinterpret_cast<char*>(e->stored[0]);
            e->stored[0] = reinterpret_cast<std::uintptr_t>(current);
            break;
        }
        case UndoKind::Payload:
            std::swap(e->node->part[0], e->stored[0]);
            break;
        case UndoKind::Condition:
            std::swap(e->node->part[0], e->stored[0]);
            std::swap(e->node->part[1], e->stored[1]);
            break;
        case UndoKind::ShownSegment:
            if (WindowView* view = viewFor(journal, context, e->window)) {
                std::swap(view->segment, e->node);
                if (hooks.showSegment) hooks.showSegment(hooks.context, e->window, view->segment);
            }
            break;
        case UndoKind::SwitchedWindow:
            if (hooks.activate) hooks.activate(hooks.context, e->window);
            std::swap(e->window, e->otherWindow);
            break;
        case UndoKind::WindowState:
            if (WindowView* view = viewFor(journal, context, e->window)) std::swap(view->state, e->state);
            break;
        case UndoKind::Refresh:
            if (hooks.refresh) hooks.refresh(hooks.context, e->window);
            break;
        case UndoKind::SegmentChanged:
            break;  // marked afterwards (not when rolling back)
    }
}

// Replays every entry newest first; the inverses form the new journal,
// again newest first.
void replayRecord(const UndoJournal* journal, EditContext* context, UndoRecord* record) {
    UndoEntry* inverse = nullptr;
    for (UndoEntry* e = record->entries; e;) {
        UndoEntry* older = e->older;
        replayEntry(journal, context, e);
        e->newer = nullptr;
        e->older = inverse;
        if (inverse) inverse->newer = e;
        inverse = e;
        e = older;
    }
    record->entries = inverse;
}

// The segments of the record changed: file copies stale, layouts invalid,
// documents modified and repainted.
void markChanged(const UndoJournal* journal, const UndoRecord* record) {
    DiagramDocument* repaint[8] = {};
    int count = 0;
    for (const UndoEntry* e = record->entries; e; e = e->older) {
        if (e->kind != UndoKind::SegmentChanged) continue;
        invalidateSegmentLayout(e->node);
        setSegmentFlags(e->node, static_cast<std::uint8_t>(segmentFlags(e->node) & ~kSegFileCurrent));
        if (!e->document) continue;
        e->document->modified = true;
        bool seen = false;
        for (int i = 0; i < count; ++i) seen = seen || repaint[i] == e->document;
        if (!seen && count < 8) repaint[count++] = e->document;
    }
    if (journal->hooks.repaint)
        for (int i = 0; i < count; ++i) journal->hooks.repaint(journal->hooks.context, repaint[i]);
}

// Reads, before an Undo changes anything, every body on disk inside the
// sequences it will take out of the tree.
bool prepareReplay(const UndoRecord* record) {
    for (const UndoEntry* e = record->entries; e; e = e->older)
        if (e->kind == UndoKind::Inserted && !loadBodiesIn(e->document, e->first, e->last)) return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Records

UndoRecord* beginUndoRecord(UndoJournal* journal, unsigned command, ConstructNode* segment) {
    void* block = memAlloc(sizeof(UndoRecord));
    if (!journal || !block) {
        memFree(block);
        return nullptr;
    }
    auto* record = new (block) UndoRecord;
    record->segment = segment;
    record->command = command;
    record->previous = journal->current;
    journal->current = record;
    return record;
}

int addUndoEntry(UndoRecord* record, const UndoEntry& entry) {
    if (record && pushEntry(record, entry)) return 1;
    releaseOwned(entry);
    if (record) record->incomplete = true;
    return 0;
}

void commitUndoRecord(UndoJournal* journal) {
    UndoRecord* record = journal ? journal->current : nullptr;
    if (!record) return;
    releaseRecord(record->previous);
    record->previous = nullptr;
    markChanged(journal, record);
}

namespace {
void discard(UndoJournal* journal, EditContext* context) {
    UndoRecord* record = journal ? journal->current : nullptr;
    if (!record) return;
    replayRecord(journal, context, record);
    journal->current = record->previous;
    releaseRecord(record);
}
}  // namespace

void discardUndoRecord(UndoJournal* journal) {
    discard(journal, nullptr);
}

void clearUndoJournal(UndoJournal* journal) {
    if (!journal) return;
    while (UndoRecord* record = journal->current) {
        journal->current = record->previous;
        releaseRecord(record);
    }
}

void purgeWindow(UndoJournal* journal, WindowId window) {
    if (!journal || !window) return;
    for (UndoRecord* r = journal->current; r; r = r->previous) purgeFrom(r, window);
}

void forgetDocument(UndoJournal* journal, DiagramDocument* document) {
    if (!journal) return;
    UndoRecord** link = &journal->current;
    while (UndoRecord* r = *link) {
        if (refersTo(r, document)) {
            *link = r->previous;
            releaseRecord(r);
            continue;
        }
        link = &r->previous;
    }
}

// ---------------------------------------------------------------------------
// Undo

bool canUndo(const UndoJournal* journal, const ConstructNode* shownSegment) {
    const UndoRecord* record = journal ? journal->current : nullptr;
    if (!record || record->incomplete || !record->entries) return false;
    return record->segment == shownSegment || record->command == CMD_EDIT_SEARCH ||
           record->command == CMD_EDIT_CONTINUE_SEARCH;
}

int undo(UndoJournal* journal, EditContext& context) {
    WindowView* view = context.view;
    if (!canUndo(journal, view ? view->segment : nullptr)) return 0;
    UndoRecord* record = journal->current;
    if (!prepareReplay(record)) return 0;
    if (view && view->segment != record->segment) {
        // A search record: its segment is shown first.
        view->segment = record->segment;
        if (journal->hooks.showSegment)
            journal->hooks.showSegment(journal->hooks.context, context.window, view->segment);
    }
    replayRecord(journal, &context, record);
    record->command = CMD_EDIT_UNDO;
    if (view) record->segment = view->segment;
    markChanged(journal, record);
    return 1;
}

// ---------------------------------------------------------------------------
// Journaled changes

TreePlace placeOf(const ConstructNode* node) {
    TreePlace place;
    if (!node || !node->up) return place;
    if (node->up->next == node) {
        place.previous = node->up;
    } else {
        place.owner = node->up;
        place.slot = slotOf(node);
    }
    return place;
}

int journalLink(UndoRecord* record, DiagramDocument* document, ConstructNode* first, ConstructNode* last,
                const TreePlace& place) {
    if (!record || !first || !last || (!place.previous && !place.owner)) return 0;
    UndoEntry entry;
    entry.kind = UndoKind::Inserted;
    entry.document = document;
    entry.first = first;
    entry.last = last;
    entry.place = place;
    if (!touchPlace(record, document, place) || !pushEntry(record, entry)) return 0;
    linkAt(place, first, last);
    return 1;
}

int journalUnlink(UndoRecord* record, DiagramDocument* document, ConstructNode* first, ConstructNode* last) {
    if (!record || !first || !last || !first->up) return 0;
    if (!loadBodiesIn(document, first, last)) return 0;
    UndoEntry entry;
    entry.kind = UndoKind::Removed;
    entry.document = document;
    entry.first = first;
    entry.last = last;
    entry.place = placeOf(first);
    if (!touchPlace(record, document, entry.place)) return 0;
    UndoEntry* recorded = pushEntry(record, entry);
    if (!recorded) return 0;
    unlinkRange(first, last);
    detachSegments(first, last);
    return 1;
}

int journalMove(UndoRecord* record, DiagramDocument* document, ConstructNode* first, ConstructNode* last,
                const TreePlace& place) {
    if (!record || !first || !last || !first->up || (!place.previous && !place.owner)) return 0;
    UndoEntry entry;
    entry.kind = UndoKind::Moved;
    entry.document = document;
    entry.first = first;
    entry.last = last;
    entry.from = placeOf(first);
    entry.place = place;
    if (!touchPlace(record, document, entry.from) || !touchPlace(record, document, place) ||
        !pushEntry(record, entry))
        return 0;
    unlinkRange(first, last);
    linkAt(place, first, last);
    return 1;
}

namespace {
// A node's own data changed in place: the segment that stores it (the top
// segment's own record lies in no block but is part of the diagram too).
bool touchNode(UndoRecord* record, DiagramDocument* document, ConstructNode* node) {
    if (!node->up) return touchSegment(record, document, node->type == ConstructType::Level ? node : nullptr);
    return touchPlace(record, document, placeOf(node));
}
}  // namespace

int journalSetText(UndoRecord* record, DiagramDocument* document, ConstructNode* node, char* text) {
    UndoEntry entry;
    entry.kind = UndoKind::Text;
    entry.document = document;
    entry.node = node;
    if (!record || !isStatementTextType(node->type) || !touchNode(record, document, node)) {
        memFree(text);
        return 0;
    }
    UndoEntry* recorded = pushEntry(record, entry);
    if (!recorded) {
        memFree(text);
        return 0;
    }
    recorded->stored[0] = node->part[0];
    setPartPtr(node, 0, text);
    return 1;
}

int journalSetLabel(UndoRecord* record, DiagramDocument* document, ConstructNode* node, bool right,
                    char* text) {
    UndoEntry entry;
    entry.kind = right ? UndoKind::RightLabel : UndoKind::LeftLabel;
    entry.document = document;
    entry.node = node;
    UndoEntry* recorded =
        record && node && touchNode(record, document, node) ? pushEntry(record, entry) : nullptr;
    if (!recorded) {
        memFree(text);
        return 0;
    }
    char*& label = right ? node->rightLabel : node->leftLabel;
    recorded->stored[0] = reinterpret_cast<std::uintptr_t>(label);
    label = text;
    return 1;
}

int journalSetPayload(UndoRecord* record, DiagramDocument* document, ConstructNode* node, void* payload) {
    UndoEntry entry;
    entry.kind = UndoKind::Payload;
    entry.document = document;
    entry.node = node;
    UndoEntry* recorded =
        record && node && touchNode(record, document, node) ? pushEntry(record, entry) : nullptr;
    if (!recorded) return 0;
    recorded->stored[0] = node->part[0];
    setPartPtr(node, 0, payload);
    return 1;
}

int journalSetCondition(UndoRecord* record, DiagramDocument* document, ConstructNode* node, std::int32_t kind,
                        void* payload) {
    if (!node || node->type != ConstructType::KivCond) return 0;
    UndoEntry entry;
    entry.kind = UndoKind::Condition;
    entry.document = document;
    entry.node = node;
    UndoEntry* recorded = record && touchNode(record, document, node) ? pushEntry(record, entry) : nullptr;
    if (!recorded) return 0;
    recorded->stored[0] = node->part[0];
    recorded->stored[1] = node->part[1];
    setPartInt(node, 0, kind);
    setPartPtr(node, 1, payload);
    return 1;
}

int journalShowSegment(UndoRecord* record, const UndoWindowHooks& hooks, WindowId window, WindowView* view,
                       ConstructNode* level) {
    if (!record || !view) return 0;
    UndoEntry entry;
    entry.kind = UndoKind::ShownSegment;
    entry.window = window;
    entry.node = view->segment;
    if (!pushEntry(record, entry)) return 0;
    view->segment = level;
    if (hooks.showSegment) hooks.showSegment(hooks.context, window, level);
    return 1;
}

int journalWindowState(UndoRecord* record, WindowId window, const WindowState& state) {
    UndoEntry entry;
    entry.kind = UndoKind::WindowState;
    entry.window = window;
    entry.state = state;
    return record && pushEntry(record, entry) ? 1 : 0;
}

int journalSwitchWindow(UndoRecord* record, WindowId from, WindowId to) {
    UndoEntry entry;
    entry.kind = UndoKind::SwitchedWindow;
    entry.window = from;
    entry.otherWindow = to;
    return record && pushEntry(record, entry) ? 1 : 0;
}

int journalRefresh(UndoRecord* record, WindowId window) {
    UndoEntry entry;
    entry.kind = UndoKind::Refresh;
    entry.window = window;
    return record && pushEntry(record, entry) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// The structural command pattern

int runEditCommand(EditContext& context, unsigned command, EditChange change, void* data) {
    if (!context.document || !context.journal || !change) return 0;
    const std::uint32_t levelIds = context.document->lastLevelId;
    UndoRecord* record =
        beginUndoRecord(context.journal, command, context.view ? context.view->segment : nullptr);
    if (!record) return 0;
    int result = !context.view || journalWindowState(record, context.window, context.view->state);
    if (result) result = change(context, record, data);
    if (!result) {
        discard(context.journal, &context);
        context.document->lastLevelId = levelIds;
        return 0;
    }
    commitUndoRecord(context.journal);
    // A command that showed another segment (Refine) is undone from there.
    if (context.view) record->segment = context.view->segment;
    return result;
}
