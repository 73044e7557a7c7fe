// The transfer-file reader of korrin-imp, natively, through the editor's
// callbacks into a tree file (in memory) that is then loaded as the import
// loads it.
//
// Input: byte 0 chooses how the file is read, the rest is the file.
//   bit 0: OEM character set
//   bit 1: inserting (no document attributes applied)
//   bit 2: level ids not taken over
//   bit 3: German messages
// An ANSI file that imports is exported; importing that export and
// exporting again gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/outcome.h"
#include "import/parser_import.h"
#include "import/transfer_export.h"
#include "plugins/transfer/transfer_native.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// The bytes written to a header-less memory stream, which is closed.
std::string takeBytes(BufferedFile* stream) {
    bfile::seek(stream, bfile::tell(stream));
    std::string bytes(reinterpret_cast<const char*>(stream->memBase), stream->memEnd);
    platform::MemHandle block = stream->memBlock;
    bfile::close(stream);
    platform::memBlockFree(block);
    return bytes;
}

BufferedFile* newStream() {
    return bfile::openMemory(platform::memBlockAlloc(16), 0, kMemNoHeader, 0);
}

// Imports `file` into `doc` as the editor does; the root, or null when the
// import gives no diagram.
ConstructNode* importTransfer(DiagramDocument* doc, const char* data, std::size_t size, bool oem,
                              std::uint32_t flags) {
    BufferedFile* tree = newStream();
    if (!tree) return nullptr;
    std::int32_t chunk = -1;
    if (writeDiagramHeader(tree)) chunk = beginChunk(tree, kTagTree, kCurrentTreeVersion);
    ParserBlock block{};
    std::uint32_t result = kParseFatal;
    const bool session = chunk >= 0 && beginCallbackSession(doc, flags, tree, nullptr, &block);
    if (session) {
        TransferMemoryInput input{data, size, 0, oem};
        result = transferParse(&block, transferMemoryEnvironment(&input));
    }
    const bool ok = chunk >= 0 && endChunk(tree, chunk);
    const std::string bytes = takeBytes(tree);
    ConstructNode* root = nullptr;
    int loaded = 0;
    if (ok && result <= kParseWarnings) {
        platform::MemHandle copy = platform::memBlockAlloc(static_cast<std::uint32_t>(bytes.size()));
        std::memcpy(platform::memBlockLock(copy), bytes.data(), bytes.size());
        platform::memBlockUnlock(copy);
        FileDescriptor source{};
        source.file = bfile::openMemory(copy, static_cast<std::uint32_t>(bytes.size()), kMemNoHeader, 0);
        loaded = readDiagramTree(doc, &source, kReadKeepLineNumbers | kReadAllBodies | flags, &root);
        bfile::close(source.file);
        platform::memBlockFree(copy);
    }
    // The attributes are applied after loading, as the import does.
    const CallbackSessionResult outcome = session ? endCallbackSession(true) : CallbackSessionResult{};
    check(!outcome.writeError);
    if (!ok || result > kParseWarnings) return nullptr;
    // korrin-imp describes a sound tree, which the import opens on demand.
    check(outcome.soundTree);
    // What the reader sent, the editor must be able to read back.
    check(loaded == 1);
    if (!root || root->type != ConstructType::Level || root->next) {
        ConstructNode* level = newConstruct(doc, 3050);
        check(level != nullptr);
        if (root) setChildAt(root, level, Slot::Body);
        root = level;
    }
    return root;
}

std::string exportOf(DiagramDocument* doc) {
    BufferedFile* out = newStream();
    check(writeTransferFile(doc, out, "2024-01-02 03:04:05") == 1);
    return takeBytes(out);
}

void release(DiagramDocument* doc) {
    freeSequence(doc->root);
    doc->root = nullptr;
    forgetDocumentInfo(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const char* file = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    const bool oem = mode & 1;
    const std::uint32_t flags = ((mode & 2) ? kImportInserting : 0) | ((mode & 4) ? kImportNewLevelIds : 0);
    setTransferNativeLanguage((mode & 8) ? kLanguageGerman : kLanguageEnglish);
    resetOutcome();
    const long blocks = memOutstanding();

    DiagramDocument doc{};
    setCurrentStreamFormat(&doc);
    CurrentDocumentScope scope(&doc);
    doc.root = importTransfer(&doc, file, length, oem, flags);
    if (doc.root && !oem && flags == 0) {
        const std::string first = exportOf(&doc);
        DiagramDocument again{};
        setCurrentStreamFormat(&again);
        {
            CurrentDocumentScope inner(&again);
            again.root = importTransfer(&again, first.data(), first.size(), false, 0);
            check(again.root != nullptr);
            check(exportOf(&again) == first);
            release(&again);
        }
    }
    release(&doc);
    check(memOutstanding() == blocks);
    return 0;
}
