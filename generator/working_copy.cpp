// The working copy a generation leaves behind, as the document's segment
// source: the generated copy is held open for reading, bodies are read from
// it at their offsets and copied from it block by block.
#include <cstdio>
#include <cstring>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/element_stream.h"
#include "generator/generation.h"
#include "generator/generator.h"

namespace {

struct WorkingCopy {
    DiagramDocument* document;
    BufferedFile* file;
    SegmentSource source;
    WorkingCopy* next;
    char path[kPathSize];
};

WorkingCopy* g_copies = nullptr;

int loadBody(void* context, DiagramDocument* document, ConstructNode*, std::uint32_t offset,
             std::uint32_t readOptions, ConstructNode** body) {
    *body = nullptr;
    auto* copy = static_cast<WorkingCopy*>(context);
    if (!copy || !copy->file) return 0;
    return readSegmentBody(document ? document : copy->document, copy->file, offset, readOptions, body);
}

BufferedFile* acquireFile(void* context, DiagramDocument*, bool* openedHere) {
    *openedHere = false;
    auto* copy = static_cast<WorkingCopy*>(context);
    return copy ? copy->file : nullptr;
}

int releaseFile(void*, DiagramDocument*, BufferedFile*, bool) {
    return 1;
}

void pageOut(void*, DiagramDocument*, ConstructNode* level) {
    dropSegmentBody(level);
}

WorkingCopy** findCopy(const DiagramDocument* document) {
    for (WorkingCopy** link = &g_copies; *link; link = &(*link)->next)
        if ((*link)->document == document) return link;
    return nullptr;
}

void closeCopy(WorkingCopy* copy) {
    if (copy->document && copy->document->segmentSource == &copy->source) copy->document->segmentSource = nullptr;
    if (copy->file) bfile::close(copy->file);
    platform::deleteFile(copy->path);
    memFree(copy);
}

}  // namespace

int useWorkingCopy(DiagramDocument* document, const char* path) {
    if (!document || !path || !*path) return 0;
    auto* copy = static_cast<WorkingCopy*>(memAlloc(sizeof(WorkingCopy)));
    if (!copy) return 0;
    platform::OpenInfo info{};
    copy->file = bfile::openFile(path, &info, platform::kOpenRead | platform::kShareDenyWrite, 0);
    if (!copy->file) {
        memFree(copy);
        return 0;
    }
    std::snprintf(copy->path, sizeof copy->path, "%s", info.pathName[0] ? info.pathName : path);
    copy->document = document;
    copy->source = SegmentSource{copy, loadBody, acquireFile, releaseFile, pageOut};
    // The previous copy goes once the new one is the source.
    WorkingCopy** previous = findCopy(document);
    document->segmentSource = &copy->source;
    setCurrentStreamFormat(document);
    if (previous) {
        WorkingCopy* old = *previous;
        *previous = old->next;
        closeCopy(old);
    }
    copy->next = g_copies;
    g_copies = copy;
    return 1;
}

void releaseWorkingCopy(DiagramDocument* document) {
    WorkingCopy** link = findCopy(document);
    if (!link) return;
    WorkingCopy* copy = *link;
    *link = copy->next;
    closeCopy(copy);
}

const char* workingCopyPath(const DiagramDocument* document) {
    WorkingCopy** link = findCopy(document);
    return link ? (*link)->path : nullptr;
}
