// Segments: level ids, loading bodies on demand, line-number clearing, and
// the internal-error notice.
#include "core/allocator.h"
#include "core/construct_internal.h"
#include "core/diagram_document.h"
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
    // The outline copy goes once the full body has replaced it. (A body on
    // disk has no other copy in memory, so nothing else can be held here.)
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
