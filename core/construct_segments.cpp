// Segments: level ids, loading bodies on demand, line-number clearing, and
// the internal-error notice.
#include "core/allocator.h"
#include "core/construct_internal.h"
#include "core/diagram_document.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "core/segment_source.h"
#include "resources/strings.h"

// ---------------------------------------------------------------------------
// Internal structure errors

namespace {
void silentInternalError(unsigned, int) {}
InternalErrorHook g_internalErrorHook = silentInternalError;
}  // namespace

InternalErrorHook setInternalErrorHook(InternalErrorHook hook) {
    InternalErrorHook previous = g_internalErrorHook;
    g_internalErrorHook = hook ? hook : silentInternalError;
    return previous;
}

void internalStructureError(int detail) {
    g_internalErrorHook(IDS_INTERNAL_ERROR, detail);
    g_outcome.readOk = false;
    g_outcome.writeOk = false;
}

// ---------------------------------------------------------------------------
// Level ids

LevelInfo* newLevelInfo(std::uint32_t levelId, DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    auto* info = static_cast<LevelInfo*>(memAlloc(sizeof(LevelInfo)));
    if (!info) return nullptr;
    if (levelId == 0) {
        // 0 means "no id": skip it should the counter ever wrap.
        if (++doc->lastLevelId == 0) doc->lastLevelId = 1;
        levelId = doc->lastLevelId;
    } else if (levelId > doc->lastLevelId) {
        doc->lastLevelId = levelId;
    }
    info->levelId = levelId;
    return info;
}

// ---------------------------------------------------------------------------
// Loading on demand

namespace {

// Reads the body of `level` from the document's segment source. 1 with the
// body in `*body`; 0 after freeing whatever part was read.
int readBody(ConstructNode* level, DiagramDocument* document, std::uint32_t options, ConstructNode** body) {
    *body = nullptr;
    DiagramDocument* doc = document ? document : currentDocument();
    const SegmentSource* source = doc->segmentSource;
    const LevelInfo* info = levelInfoOf(level);
    if (!source || !source->loadBody || !info || g_outcome.jobCancelled) return 0;
    if (segmentFlags(level) & kSegLineNumbersInvalid) options |= kReadLineNumbersInvalid;
    // The document of the segment is current while its body is read.
    CurrentDocumentScope scope(doc);
    ConstructNode* read = nullptr;
    if (!source->loadBody(source->context, doc, level, info->fileOffset, options | kReadKeepLineNumbers,
                          &read)) {
        freeSequence(read);
        return 0;
    }
    *body = read;
    return 1;
}

// A segment of an outline copy that must stay in memory, and the copy of
// it in the body just read whose place it takes.
struct KeptSegment {
    ConstructNode* kept;
    ConstructNode* copy;
};

struct KeptSegments {
    KeptSegment* list;  // null while counting
    std::uint32_t count;
};

// Segments of the outline that must stay (changed since their file copy,
// shown, or holding such a segment), outermost only.
int collectKept(ConstructNode* node, void* context) {
    if (node->type != ConstructType::Level || enclosingLevel(node)) return 1;
    if (!segmentMustStay(node) && !holdsSegmentThatMustStay(levelInfoOf(node)->body)) return 1;
    auto* kept = static_cast<KeptSegments*>(context);
    if (kept->list) kept->list[kept->count].kept = node;
    ++kept->count;
    return 1;
}

struct CopyOf {
    std::uint32_t levelId;
    ConstructNode* found;
};

int findCopy(ConstructNode* node, void* context) {
    auto* search = static_cast<CopyOf*>(context);
    const LevelInfo* li = levelInfoOf(node);
    if (!li || li->levelId != search->levelId) return 1;
    search->found = node;
    return 0;
}

// Puts `a` where `b` hangs and `b` where `a` hangs (their child sequences
// go with them).
void exchangeNodes(ConstructNode* a, ConstructNode* b) {
    ConstructNode* aHolder = a->up;
    ConstructNode* bHolder = b->up;
    const Slot aSlot = slotOf(a);
    const Slot bSlot = slotOf(b);
    ConstructNode* aNext = a->next;
    ConstructNode* bNext = b->next;
    a->up = b->up = nullptr;
    if (aHolder) setChildAtAny(b, aHolder, aSlot);
    if (bHolder) setChildAtAny(a, bHolder, bSlot);
    b->next = aNext;
    if (aNext) aNext->up = b;
    a->next = bNext;
    if (bNext) bNext->up = a;
}

// Swaps the segments of the detached outline copy `*outline` that must stay
// into `body` (attached to its Level) in place of their copies read from
// disk, matched by level id. False, with nothing changed, when one has no
// copy there.
bool keepSegmentsOfOutline(ConstructNode** outline, ConstructNode* body) {
    KeptSegments kept{nullptr, 0};
    forEachNode(*outline, collectKept, &kept);
    if (g_outcome.jobCancelled) return false;
    if (kept.count == 0) return true;
    kept.list = static_cast<KeptSegment*>(memAlloc(kept.count * sizeof(KeptSegment)));
    if (!kept.list) return false;
    kept.count = 0;
    forEachNode(*outline, collectKept, &kept);
    bool all = !g_outcome.jobCancelled;
    for (std::uint32_t i = 0; all && i < kept.count; ++i) {
        CopyOf search{levelInfoOf(kept.list[i].kept)->levelId, nullptr};
        forEachNode(body, findCopy, &search);
        kept.list[i].copy = search.found;
        all = search.found != nullptr;
    }
    for (std::uint32_t i = 0; all && i < kept.count; ++i) {
        if (*outline == kept.list[i].kept) *outline = kept.list[i].copy;
        exchangeNodes(kept.list[i].kept, kept.list[i].copy);
    }
    memFree(kept.list);
    return all;
}

}  // namespace

int ensureLoaded(ConstructNode* level, DiagramDocument* document) {
    if (!level || level->type != ConstructType::Level || !levelInfoOf(level)) return 0;
    const std::uint8_t flags = segmentFlags(level);
    if (flags & kSegLoaded) return 1;
    if (!(flags & kSegOnDisk)) return 0;
    ConstructNode* body = nullptr;
    if (!readBody(level, document, 0, &body)) return 0;  // the previous body stays
    LevelInfo* info = levelInfoOf(level);
    ConstructNode* outline = info->body;
    setChildAtAny(body, level, Slot::Body);
    // The outline copy goes once the full body has replaced it; segments in
    // it that hold more than their file copy (changed, or shown in a
    // window) replace their copies in the body instead of going with it.
    if (outline) {
        outline->up = nullptr;
        if (!keepSegmentsOfOutline(&outline, body)) {
            if (body) body->up = nullptr;
            setChildAtAny(outline, level, Slot::Body);
            freeSequence(body);
            return 0;
        }
    }
    freeSequence(outline);
    setSegmentFlags(level, static_cast<std::uint8_t>((flags & ~(kSegOnDisk | kSegOutline)) | kSegLoaded |
                                                     kSegFileCurrent));
    return 1;
}

int ensureReadable(ConstructNode* level, DiagramDocument* document) {
    if (!level || level->type != ConstructType::Level || !levelInfoOf(level)) return 0;
    const std::uint8_t flags = segmentFlags(level);
    if (flags & (kSegLoaded | kSegOutline)) return 1;
    if (!(flags & kSegOnDisk)) {
        internalStructureError(kErrSegmentNotAvailable);
        return 0;
    }
    ConstructNode* outline = nullptr;
    if (!readBody(level, document, kReadOutline, &outline)) return 0;
    setChildAtAny(outline, level, Slot::Body);
    setSegmentFlags(level, static_cast<std::uint8_t>(flags | kSegOutline));
    return 1;
}

// ---------------------------------------------------------------------------
// Line numbers

namespace {
int clearLineNumber(ConstructNode* node, void*) {
    node->lineNumber = 0;
    if (node->type == ConstructType::Level)
        setSegmentFlags(node, static_cast<std::uint8_t>(segmentFlags(node) | kSegLineNumbersInvalid));
    return 1;
}
}  // namespace

void clearLineNumbers(ConstructNode* head) {
    forEachNode(head, clearLineNumber, nullptr);
}
