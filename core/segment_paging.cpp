// The segment source over a file, paging out, whole writes and the
// temporary segment file.
#include "core/segment_paging.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_internal.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/path.h"
#include "resources/strings.h"

namespace {

// ---------------------------------------------------------------------------
// Walking everything in memory

// Calls fn(node) for `head`, everything after it and everything nested in
// memory, in stream order, also while the job-cancelled flag is set (that
// is when a write fails and commit or roll-back must still finish). fn
// must not relink.
template <class Fn>
void visitInMemory(ConstructNode* head, Fn&& fn) {
    auto visit = [](ConstructNode* node, void* context) {
        (*static_cast<std::remove_reference_t<Fn>*>(context))(node);
        return 1;
    };
    forEachNode(head, visit, &fn, OnCancel::goOn);
}

// ---------------------------------------------------------------------------
// The segment source over a file

constexpr std::uint16_t kSourceReadMode = platform::kOpenRead | platform::kShareDenyNone;

bool currentFormat(const FileDescriptor& fd) {
    return std::memcmp(fd.formatVersion, kCurrentFormat, 4) == 0 && fd.treeVersion == kCurrentTreeVersion &&
           fd.intWidth == 4;
}

// The file of `fd`, opened for reading when it is closed.
BufferedFile* openSourceFile(FileDescriptor* fd, bool* openedHere) {
    *openedHere = false;
    if (!fd) return nullptr;
    if (fd->file) return fd->file;
    if (!fd->path[0]) return nullptr;
    platform::OpenInfo info{};
    fd->file = bfile::openFile(fd->path, &info, kSourceReadMode, 0);
    if (!fd->file) return nullptr;
    *openedHere = true;
    return fd->file;
}

int closeSourceFile(FileDescriptor* fd, bool openedHere) {
    if (!openedHere || !fd || !fd->file) return 1;
    const int rc = bfile::close(fd->file);
    fd->file = nullptr;
    return rc == 0 ? 1 : 0;
}

int readBodyFrom(FileDescriptor* fd, DiagramDocument* document, std::uint32_t offset, std::uint32_t options,
                 ConstructNode** body) {
    *body = nullptr;
    bool openedHere = false;
    BufferedFile* file = openSourceFile(fd, &openedHere);
    if (!file || !document) return 0;
    CurrentDocumentScope scope(document);
    // The body is read with the versions of the file it lies in.
    const StreamFormat saved = formatOf(*document);
    applyFormat(*document, formatOf(*fd));
    int ok = readSegmentBody(document, file, offset, options, body);
    applyFormat(*document, saved);
    if (!closeSourceFile(fd, openedHere)) ok = 0;
    if (!ok) {
        freeSequence(*body);
        *body = nullptr;
    }
    return ok;
}

int loadFromFile(void* context, DiagramDocument* document, ConstructNode*, std::uint32_t offset,
                 std::uint32_t options, ConstructNode** body) {
    return readBodyFrom(static_cast<FileDescriptor*>(context), document, offset, options, body);
}

BufferedFile* acquireSourceFile(void* context, DiagramDocument*, bool* openedHere) {
    *openedHere = false;
    auto* fd = static_cast<FileDescriptor*>(context);
    // Blocks are copied as they are only into a stream of the same format.
    if (!fd || !currentFormat(*fd)) return nullptr;
    return openSourceFile(fd, openedHere);
}

int releaseSourceFile(void* context, DiagramDocument*, BufferedFile*, bool openedHere) {
    return closeSourceFile(static_cast<FileDescriptor*>(context), openedHere);
}

void pageOutFromSource(void*, DiagramDocument* document, ConstructNode* level) {
    pageOut(document, level);
}

// ---------------------------------------------------------------------------
// Paging out

bool isOutlineType(ConstructType type) {
    const ConstructInfo* info = constructInfo(type);
    return info && (info->groups & kGroupOutline);
}

// A list of the outline being built: the slot of `owner` it fills, and its
// last node.
struct OutlineList {
    ConstructNode* owner;
    Slot slot;
    ConstructNode* last;
};

// A sequence still to be gone through: its next node and the list that
// outline constructs found there join.
struct OutlinePending {
    ConstructNode* node;
    std::uint32_t list;
};

void appendTo(OutlineList& list, ConstructNode* node) {
    node->next = nullptr;
    if (list.last) {
        list.last->next = node;
        node->up = list.last;
    } else {
        setChildAtAny(node, list.owner, list.slot);
    }
    list.last = node;
}

constexpr std::uint8_t outlineFlags(std::uint8_t flags) {
    return static_cast<std::uint8_t>((flags & ~(kSegLoaded | kSegFileCurrent)) | kSegOnDisk | kSegOutline);
}

// Reduces the body of `level` in place. `pending` and `lists` have room for
// one entry per node of the body and one more.
void reduceToOutline(ConstructNode* level, OutlinePending* pending, OutlineList* lists) {
    ConstructNode* body = levelInfoOf(level)->body;
    setChildAtAny(nullptr, level, Slot::Body);
    std::uint32_t listCount = 0;
    std::uint32_t depth = 0;
    lists[listCount++] = {level, Slot::Body, nullptr};
    if (body) pending[depth++] = {body, 0};
    while (depth > 0) {
        OutlinePending& top = pending[depth - 1];
        ConstructNode* node = top.node;
        const std::uint32_t list = top.list;
        top.node = node->next;
        if (!top.node) --depth;  // the sequence is through
        const ConstructInfo* info = constructInfo(node->type);
        if (isOutlineType(node->type)) {
            // Kept: the head in full, every other sequence in outline form
            // in a list of its own.
            const std::uint8_t flags = segmentFlags(node);
            for (int i = 0; info && i < info->childCount; ++i) {
                const SlotWord& sw = info->children[i];
                if (sw.slot == Slot::Head) continue;
                if (sw.word == kWordLevelBody && !(flags & (kSegLoaded | kSegOutline))) continue;
                ConstructNode* sequence = childAtAny(node, sw.slot, nullptr);
                setChildAtAny(nullptr, node, sw.slot);
                if (!sequence) continue;
                lists[listCount] = {node, sw.slot, nullptr};
                pending[depth++] = {sequence, listCount++};
            }
            if (node->type == ConstructType::Level && (flags & kSegLoaded))
                setSegmentFlags(node, outlineFlags(flags));
            appendTo(lists[list], node);
            continue;
        }
        // Dropped: outline constructs inside join the list in stream order,
        // ahead of the node's successors.
        for (int i = info ? info->childCount - 1 : -1; i >= 0; --i) {
            const Slot slot = info->children[i].slot;
            ConstructNode* sequence = childAtAny(node, slot, nullptr);
            setChildAtAny(nullptr, node, slot);
            if (sequence) pending[depth++] = {sequence, list};
        }
        node->next = nullptr;
        node->up = nullptr;
        freeSequence(node);
    }
}

// ---------------------------------------------------------------------------
// Temporary files

void closeDescriptorFile(FileDescriptor* fd) {
    if (fd->file) bfile::close(fd->file);
    fd->file = nullptr;
}

// The descriptor of a temporary file of the current format at `path`.
void describeTemporaryFile(FileDescriptor* fd, const char* path, BufferedFile* file) {
    *fd = FileDescriptor{};
    std::snprintf(fd->path, sizeof fd->path, "%s", path);
    fd->file = file;
    fd->kind = FileKind::Diagram;
    std::memcpy(fd->editionCode, kEditionCode, 4);
    std::memcpy(fd->formatVersion, kCurrentFormat, 4);
    fd->treeVersion = kCurrentTreeVersion;
    fd->intWidth = 4;
    fd->sourceKind = SourceKind::File;
}

// Makes the temporary file at `path` (open as `file`) the segment source,
// giving up the previous one.
void installTemporaryFile(DiagramDocument* doc, const char* path, BufferedFile* file) {
    releaseTemporaryFile(doc);
    describeTemporaryFile(&doc->tempFile, path, file);
    doc->tempFileOwned = true;
    useFileAsSegmentSource(doc, &doc->tempFile, &doc->tempFileSource);
}

}  // namespace

// ---------------------------------------------------------------------------
// The segment source

FileDescriptor* segmentSource(DiagramDocument* document, bool* openedHere) {
    bool scratch = false;
    if (!openedHere) openedHere = &scratch;
    *openedHere = false;
    DiagramDocument* doc = document ? document : currentDocument();
    const SegmentSource* source = doc->segmentSource;
    if (source != &doc->tempFileSource && source != &doc->ownFileSource) return nullptr;
    auto* fd = static_cast<FileDescriptor*>(source->context);
    return openSourceFile(fd, openedHere) ? fd : nullptr;
}

int releaseSegmentSource(FileDescriptor* source, bool openedHere) {
    return closeSourceFile(source, openedHere);
}

int loadSegmentBody(DiagramDocument* document, std::uint32_t offset, std::uint32_t readOptions,
                    ConstructNode** body) {
    *body = nullptr;
    DiagramDocument* doc = document ? document : currentDocument();
    const SegmentSource* source = doc->segmentSource;
    if (source != &doc->tempFileSource && source != &doc->ownFileSource) return 0;
    return readBodyFrom(static_cast<FileDescriptor*>(source->context), doc, offset, readOptions, body);
}

void useFileAsSegmentSource(DiagramDocument* document, FileDescriptor* descriptor, SegmentSource* table) {
    DiagramDocument* doc = document ? document : currentDocument();
    *table = SegmentSource{descriptor, loadFromFile, acquireSourceFile, releaseSourceFile, pageOutFromSource};
    doc->segmentSource = table;
}

int pageOut(DiagramDocument*, ConstructNode* level) {
    LevelInfo* li = levelInfoOf(level);
    if (!li) return 0;
    const std::uint8_t flags = segmentFlags(level);
    if ((flags & (kSegLoaded | kSegFileCurrent)) != (kSegLoaded | kSegFileCurrent) || segmentMustStay(level))
        return 0;
    // Nothing inside may be shown or changed since its file copy: the file
    // copy of this body must be all there is to it.
    bool keep = false;
    std::size_t nodes = 0;
    visitInMemory(li->body, [&](ConstructNode* node) {
        ++nodes;
        if (segmentMustStay(node)) keep = true;
    });
    if (keep) return 0;
    auto* pending = static_cast<OutlinePending*>(memAlloc((nodes + 1) * sizeof(OutlinePending)));
    auto* lists = static_cast<OutlineList*>(memAlloc((nodes + 1) * sizeof(OutlineList)));
    if (!pending || !lists) {
        memFree(pending);
        memFree(lists);
        return 0;  // the body stays loaded
    }
    reduceToOutline(level, pending, lists);
    memFree(pending);
    memFree(lists);
    setSegmentFlags(level, outlineFlags(flags));
    return 1;
}

// ---------------------------------------------------------------------------
// Whole writes

void commitSegmentOffsets(DiagramDocument* document, ConstructNode* root) {
    visitInMemory(root, [](ConstructNode* node) {
        if (LevelInfo* li = levelInfoOf(node)) li->readOffset = li->fileOffset;
    });
    setCurrentStreamFormat(document ? document : currentDocument());
}

void rollBackSegmentOffsets(ConstructNode* root) {
    visitInMemory(root, [](ConstructNode* node) {
        LevelInfo* li = levelInfoOf(node);
        if (!li) return;
        li->fileOffset = li->readOffset;
        if (li->fileOffset == 0)
            setSegmentFlags(node, static_cast<std::uint8_t>(segmentFlags(node) & ~kSegFileCurrent));
    });
}

namespace {
bool changedInMemory(const ConstructNode* node) {
    return node->type == ConstructType::Level && levelInfoOf(node) &&
           (segmentFlags(node) & (kSegLoaded | kSegFileCurrent)) == kSegLoaded;
}
}  // namespace

int beginWholeWrite(ConstructNode* root, WholeWrite* write) {
    *write = WholeWrite{};
    std::size_t count = 0;
    visitInMemory(root, [&](ConstructNode* node) {
        if (changedInMemory(node)) ++count;
    });
    if (count == 0) return 1;
    write->changed = static_cast<ConstructNode**>(memAlloc(count * sizeof(ConstructNode*)));
    if (!write->changed) return 0;
    visitInMemory(root, [&](ConstructNode* node) {
        if (changedInMemory(node) && write->count < count) write->changed[write->count++] = node;
    });
    return 1;
}

void finishWholeWrite(DiagramDocument* document, ConstructNode* root, WholeWrite* write, bool success) {
    if (success) {
        commitSegmentOffsets(document, root);
    } else {
        rollBackSegmentOffsets(root);
        // The writer marked them current in the new file, which is gone.
        for (std::size_t i = 0; i < write->count; ++i) {
            ConstructNode* level = write->changed[i];
            setSegmentFlags(level, static_cast<std::uint8_t>(segmentFlags(level) & ~kSegFileCurrent));
        }
    }
    write->changed = static_cast<ConstructNode**>(memFree(write->changed));
    write->count = 0;
}

// ---------------------------------------------------------------------------
// The temporary segment file

void releaseTemporaryFile(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    closeDescriptorFile(&doc->tempFile);
    if (doc->tempFileOwned && doc->tempFile.path[0]) platform::deleteFile(doc->tempFile.path);
    if (doc->segmentSource == &doc->tempFileSource) doc->segmentSource = nullptr;
    doc->tempFileSource = SegmentSource{};
    doc->tempFile = FileDescriptor{};
    doc->tempFileOwned = false;
}

TempFileFailure writeTemporaryFileQuietly(DiagramDocument* document, ConstructNode* root,
                                          std::uint8_t streamMode, char path[kPathSize]) {
    DiagramDocument* doc = document ? document : currentDocument();
    path[0] = 0;
    if (g_outcome.jobCancelled) return TempFileFailure::Cancelled;
    char name[platform::kMaxPath];
    if (!platform::tempFileName("vrd", name)) return TempFileFailure::Create;
    std::snprintf(path, kPathSize, "%s", name);
    platform::OpenInfo info{};
    BufferedFile* file = bfile::openFile(
        name, &info, platform::kOpenCreate | platform::kOpenReadWrite | platform::kShareDenyWrite, 0);
    if (!file) {
        platform::deleteFile(name);
        return TempFileFailure::Create;
    }
    WholeWrite whole{};
    if (!beginWholeWrite(root, &whole)) {
        bfile::close(file);
        platform::deleteFile(name);
        return g_outcome.jobCancelled ? TempFileFailure::Cancelled : TempFileFailure::Write;
    }

    CurrentDocumentScope scope(doc);
    const std::uint8_t documentMode = doc->streamMode;
    doc->streamMode = streamMode;
    g_outcome.writeOk = true;
    bool ok = writeDiagram(doc, root, file, false) != 0;
    doc->streamMode = documentMode;
    // Everything must be on disk before the file counts as written.
    ok = ok && g_outcome.writeOk && !g_outcome.jobCancelled && bfile::seek(file, 0) == 0 &&
         !bfile::hasError(file);
    const bool diskFull = !ok && platform::lastError() == platform::kErrDiskFull;

    TempFileFailure failure = TempFileFailure::None;
    if (ok) {
        installTemporaryFile(doc, name, file);
    } else {
        g_outcome.writeOk = false;
        bfile::close(file);
        platform::deleteFile(name);
        failure = g_outcome.jobCancelled ? TempFileFailure::Cancelled
                  : diskFull             ? TempFileFailure::DiskFull
                                         : TempFileFailure::Write;
    }
    finishWholeWrite(doc, root, &whole, ok);
    return failure;
}

void driveText(const char* path, char* out, int size) {
    if (!out || size <= 0) return;
    out[0] = 0;
    if (!path) return;
    const bool letter =
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
    if (letter) {
        std::snprintf(out, static_cast<std::size_t>(size), "%c:", path[0]);
    } else if (isUncPath(path)) {
        // \\server\share
        int separators = 0;
        int n = 2;
        while (path[n] && n < size - 1) {
            if (isPathSeparator(path[n]) && ++separators == 2) break;
            ++n;
        }
        std::snprintf(out, static_cast<std::size_t>(size), "%.*s", n, path);
    } else {
        std::snprintf(out, static_cast<std::size_t>(size), "%s", path[0] == '/' ? "/" : path);
    }
}

int writeTemporaryFile(DiagramDocument* document, ConstructNode* root, std::uint8_t streamMode) {
    char path[kPathSize];
    const TempFileFailure failure = writeTemporaryFileQuietly(document, root, streamMode, path);
    switch (failure) {
        case TempFileFailure::None:
            return 1;
        case TempFileFailure::Create:
            showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, path[0] ? path : "vrd");
            break;
        case TempFileFailure::DiskFull: {
            char drive[kPathSize];
            driveText(path, drive, sizeof drive);
            showMessage(IDS_DISK_FULL, kBoxDefault, drive);
            break;
        }
        case TempFileFailure::Write:
            showMessage(IDS_UNABLE_TO_WRITE, kBoxDefault, path);
            break;
        case TempFileFailure::Cancelled:
            break;
    }
    return 0;
}

int temporaryFileStep(DiagramDocument* document, FileDescriptor* source, ConstructNode* root) {
    DiagramDocument* doc = document ? document : currentDocument();
    // Bodies left on disk are copied from the file just read.
    if (source == &doc->ownFile) useFileAsSegmentSource(doc, &doc->ownFile, &doc->ownFileSource);
    return writeTemporaryFile(doc, root, 0);
}

int adoptWorkingCopy(DiagramDocument* document, const char* path) {
    DiagramDocument* doc = document ? document : currentDocument();
    platform::OpenInfo info{};
    BufferedFile* file =
        path ? bfile::openFile(path, &info, platform::kOpenRead | platform::kShareDenyWrite, 0) : nullptr;
    if (!file) {
        rollBackSegmentOffsets(doc->root);
        if (path) platform::deleteFile(path);
        return 0;
    }
    adoptTemporaryFile(doc, doc->root, info.pathName[0] ? info.pathName : path, file);
    return 1;
}

void adoptTemporaryFile(DiagramDocument* document, ConstructNode* root, const char* path,
                        BufferedFile* file) {
    DiagramDocument* doc = document ? document : currentDocument();
    installTemporaryFile(doc, path, file);
    commitSegmentOffsets(doc, root);
}
