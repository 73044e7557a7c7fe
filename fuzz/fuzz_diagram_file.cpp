// The whole diagram loader: detection, header, chunks and the element
// stream, then loading every segment body left on disk, and writing the
// loaded diagram again.
//
// Input: byte 0 chooses how the data is loaded, the rest is the data.
//   bits 0-1: 0 = the document's own file (with detection and bodies left
//             in the data), 1 = clipboard, 2 = embedded object (both with
//             the options of memory data), 3 = inserting (keep the
//             document information)
//   bit 2:    read every body at once (own file only)
//   bit 3:    keep line numbers
//   bit 4:    read bodies on disk in outline form first
// A diagram that loads and writes must load again from what was written.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/outcome.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

int collectOnDisk(ConstructNode* node, void* context) {
    if (node->type == ConstructType::Level && (segmentFlags(node) & kSegOnDisk))
        static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    return 1;
}

// Loads bodies on disk, a bounded number of rounds (each round may bring
// segments inside the loaded bodies). True when none is left on disk.
bool loadBodies(DiagramDocument* doc, ConstructNode* root, bool outlineFirst) {
    int budget = 256;
    for (int round = 0; round < 8 && budget > 0; ++round) {
        std::vector<ConstructNode*> levels;
        forEachNode(root, collectOnDisk, &levels);
        if (levels.empty()) return true;
        bool any = false;
        for (ConstructNode* level : levels) {
            if (budget-- <= 0) break;
            if (outlineFirst && !(segmentFlags(level) & kSegOutline)) ensureReadable(level, doc);
            // Loading may free outline copies that other collected pointers
            // lie inside: collect afresh after every load.
            bool loaded = ensureLoaded(level, doc) != 0;
            resetOutcome();
            if (loaded) {
                any = true;
                break;
            }
        }
        if (!any) break;
    }
    return false;
}

platform::MemHandle blockWith(const std::uint8_t* data, std::uint32_t size) {
    const std::uint32_t total = size + kMemHeaderSize;
    platform::MemHandle block = platform::memBlockAlloc(total);
    if (!block) return nullptr;
    auto* p = static_cast<unsigned char*>(platform::memBlockLock(block));
    std::memcpy(p, &total, 4);
    std::memcpy(p + 4, &total, 4);
    if (size) std::memcpy(p + kMemHeaderSize, data, size);
    platform::memBlockUnlock(block);
    return block;
}

// Writes the diagram (every body in memory, serialised: no block is
// copied) and loads it again; both must succeed together.
void writeAndReload(DiagramDocument* doc, ConstructNode* root) {
    const SegmentSource* source = doc->segmentSource;
    doc->segmentSource = nullptr;
    platform::MemHandle out = platform::memBlockAlloc(kMemHeaderSize);
    BufferedFile* stream = out ? bfile::openMemory(out, 0, 0, 0) : nullptr;
    if (!stream) {
        if (out) platform::memBlockFree(out);
        doc->segmentSource = source;
        return;
    }
    resetOutcome();
    doc->streamMode = kStreamModeKeepTree;
    const bool written = writeDiagram(doc, root, stream, false) && g_outcome.writeOk;
    const bool closed = bfile::close(stream) == 0;
    if (written && closed && !g_outcome.jobCancelled) {
        DiagramDocument again{};
        setCurrentStreamFormat(&again);
        ConstructNode* reloaded = loadFromMemory(&again, out, SourceKind::Clipboard);
        check(reloaded != nullptr || g_outcome.jobCancelled);
        freeSequence(reloaded);
        forgetDocumentInfo(&again);
    }
    platform::memBlockFree(out);
    resetOutcome();
    doc->segmentSource = source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const std::uint8_t control = data[0];
    const auto dataSize = static_cast<std::uint32_t>(size - 1);
    resetOutcome();
    memFailAt(0);
    const long blocksBefore = memOutstanding();

    platform::MemHandle block = blockWith(data + 1, dataSize);
    if (!block) return 0;
    DiagramDocument doc{};
    setCurrentStreamFormat(&doc);
    const int mode = control & 3;
    ConstructNode* root = nullptr;
    if (mode == 0) {
        BufferedFile* stream = bfile::openMemory(block, 0, 0, 0);
        if (stream) {
            doc.ownFile.file = stream;
            std::uint32_t options = 0;
            if (control & 4) options |= kReadAllBodies;
            if (control & 8) options |= kReadKeepLineNumbers;
            root = loadDocument(&doc, &doc.ownFile, options, SourceKind::File);
            if (root) {
                check(root->type == ConstructType::Level && !root->next);
                doc.root = root;
                if (loadBodies(&doc, root, (control & 16) != 0)) writeAndReload(&doc, root);
            }
        }
        closeDocument(&doc);
    } else if (mode == 3) {
        BufferedFile* stream = bfile::openMemory(block, 0, 0, 0);
        if (stream) {
            FileDescriptor source{};
            source.file = stream;
            ConstructNode* sequence = nullptr;
            if (readDiagramTree(&doc, &source, kMemoryLoadOptions, &sequence)) {
                check(std::memcmp(doc.formatVersion, kCurrentFormat, 4) == 0);
                freeSequence(unwrapTopSegment(sequence));
            }
            bfile::close(stream);
        }
        forgetDocumentInfo(&doc);
    } else {
        root = loadFromMemory(&doc, block, mode == 1 ? SourceKind::Clipboard : SourceKind::Embedded);
        if (root) writeAndReload(&doc, root);
        freeSequence(root);
        forgetDocumentInfo(&doc);
    }
    platform::memBlockFree(block);
    memFailAt(0);
    resetOutcome();
    check(memOutstanding() == blocksBefore);
    return 0;
}
