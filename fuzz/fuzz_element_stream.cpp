// The element stream reader over any bytes, with every read option and
// every stored version.
//
// Input: byte 0 the read options (bit 0: 0x0001, 1: 0x0002, 2: 0x0080,
// 3: 0x1000, 4: 0x2000, 5: the outline reader, 6: automatic labels switched
// on, 7: 0x0400), byte 1 the format version (low 3 bits) and the older
// edition code (bit 3), byte 2 the tree version (1..16), byte 3 an
// allocation to fail (0: none); the rest is the stream.
//
// Checks: no crash, no leak, the tree read is linked soundly; and a tree
// read in full with every body is written again and read back to the same
// bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "core/segment_source.h"

namespace {

constexpr std::size_t kControl = 4;
constexpr const char* kVersions[] = {"1.5", "2.4", "2.5", "3.0", "6.2", "6.3", "6.3", "9.9"};

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Every sequence head's up is its owner, every later node's up its
// predecessor. Returns the number of nodes (bounded by the input anyway).
bool linked(ConstructNode* head) {
    struct Context {
        bool ok;
    } context{true};
    forEachNode(
        head,
        [](ConstructNode* n, void* c) {
            if (n->next && n->next->up != n) static_cast<Context*>(c)->ok = false;
            return 1;
        },
        &context);
    return context.ok && (!head || !head->up);
}

struct Stream {
    platform::MemHandle block = nullptr;
    BufferedFile* file = nullptr;

    Stream(const std::uint8_t* data, std::uint32_t size) {
        block = platform::memBlockAlloc(size ? size : 1);
        if (!block) return;
        if (size) {
            std::memcpy(platform::memBlockLock(block), data, size);
            platform::memBlockUnlock(block);
        }
        file = bfile::openMemory(block, size, kMemNoHeader, 0);
    }
    // A stream to write to.
    Stream() {
        block = platform::memBlockAlloc(16);
        if (block) file = bfile::openMemory(block, 0, kMemNoHeader, 0);
    }
    ~Stream() {
        if (file) {
            block = file->memBlock;
            bfile::close(file);
        }
        if (block) platform::memBlockFree(block);
    }
    std::string bytes() {
        bfile::seek(file, bfile::tell(file));
        return std::string(reinterpret_cast<const char*>(file->memBase), file->memEnd);
    }
};

// Writes `tree` in the current format and returns the bytes ("" when the
// tree cannot be written, e.g. it holds a type only read).
std::string writeBack(DiagramDocument* doc, ConstructNode* tree) {
    Stream out;
    if (!out.file) return {};
    g_outcome.writeOk = true;
    if (!writeSequence(doc, tree, nullptr, out.file)) return {};
    return out.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kControl || size > (1u << 20)) return 0;
    const std::uint8_t optionBits = data[0];
    const std::uint8_t format = data[1];
    const std::uint8_t tree = data[2];
    const std::uint8_t failAt = data[3];

    std::uint32_t options = 0;
    if (optionBits & 0x01) options |= kReadKeepLineNumbers;
    if (optionBits & 0x02) options |= kReadAllBodies;
    if (optionBits & 0x04) options |= kReadLineNumbersInvalid;
    if (optionBits & 0x08) options |= kReadNewLevelIds;
    if (optionBits & 0x10) options |= kReadAutoLabels;
    if (optionBits & 0x80) options |= kReadKeepDocumentInfo;
    const bool outline = (optionBits & 0x20) != 0;

    DiagramDocument doc{};
    const char* version = kVersions[format & 7];
    std::memcpy(doc.formatVersion, version, 3);
    std::memcpy(doc.editionCode, (format & 8) ? "VQ " : "VRD", 3);
    doc.treeVersion = static_cast<std::uint16_t>(tree % 16 + 1);
    doc.intWidth = std::strncmp(version, "6.3", 4) < 0 ? 2 : 4;
    doc.streamMode = kStreamModeKeepTree;
    doc.autoLeftLabels = doc.autoRightLabels = (optionBits & 0x40) != 0;
    doc.leftLabelText = "left";
    doc.rightLabelText = "right";
    CurrentDocumentScope scope(&doc);

    resetOutcome();
    const long before = memOutstanding();
    {
        Stream in(data + kControl, static_cast<std::uint32_t>(size - kControl));
        if (!in.file) return 0;
        memFailAt(failAt);
        ConstructNode* head =
            outline ? readOutline(&doc, in.file, options) : readSequence(&doc, in.file, options);
        memFailAt(0);
        check(linked(head));
        const bool complete = g_outcome.readOk && !g_outcome.jobCancelled;
        resetOutcome();

        // A tree read in full with every body in memory writes bytes that
        // read back to the same bytes.
        if (complete && !outline && (options & kReadAllBodies)) {
            const std::string first = writeBack(&doc, head);
            if (!first.empty()) {
                setCurrentStreamFormat(&doc);
                Stream again(reinterpret_cast<const std::uint8_t*>(first.data()),
                             static_cast<std::uint32_t>(first.size()));
                g_outcome.readOk = true;
                ConstructNode* copy = readSequence(&doc, again.file, kReadAllBodies | kReadKeepLineNumbers);
                check(g_outcome.readOk);
                // Line numbers of the first tree may have been dropped by
                // the options; the copy keeps what the first one holds.
                check(writeBack(&doc, copy) == first);
                freeSequence(copy);
            }
        }
        freeSequence(head);
    }
    resetOutcome();
    check(memOutstanding() == before);
    return 0;
}
