// The generator over arbitrary templates and diagrams. The input is split
// at NUL bytes: the first pieces are the values of the templates 0, 1, 2,
// ... (an empty piece leaves the template absent, pieces beyond the last
// template are left out), a piece starting with "TREE" ends them and the
// rest of the input is an element stream read as the diagram. The walk writes the source and the working copy
// into counting memory streams.
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
#include "generator/generation.h"

namespace {

BufferedFile* countingStream() {
    return bfile::openMemory(nullptr, 0, kMemCounting | kMemNoHeader, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetOutcome();
    const char* text = reinterpret_cast<const char*>(data);
    std::string values[kTemplateCount];
    bool present[kTemplateCount] = {};
    std::size_t pos = 0;
    int index = 0;
    while (pos < size) {
        const void* nul = std::memchr(text + pos, 0, size - pos);
        const std::size_t end = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size;
        std::string piece(text + pos, end - pos);
        pos = end + 1;
        if (piece.compare(0, 4, "TREE") == 0) break;
        if (index == kTemplateCount) continue;  // pieces beyond the templates are left out
        if (piece.size() >= kTemplateValueSize) piece.resize(kTemplateValueSize - 1);
        values[index] = piece;
        present[index] = !piece.empty();
        ++index;
    }

    DiagramDocument doc{};
    setCurrentStreamFormat(&doc);
    CurrentDocumentScope scope(&doc);
    ConstructNode* root = nullptr;
    if (pos < size) {
        const auto length = static_cast<std::uint32_t>(size - pos);
        platform::MemHandle block = platform::memBlockAlloc(length);
        std::memcpy(platform::memBlockLock(block), data + pos, length);
        platform::memBlockUnlock(block);
        BufferedFile* in = bfile::openMemory(block, length, kMemNoHeader, 0);
        root = readSequence(&doc, in, kReadAllBodies | kReadKeepLineNumbers);
        bfile::close(in);
        platform::memBlockFree(block);
        resetOutcome();
    }

    auto* table = static_cast<TemplateTable*>(memAlloc(sizeof(TemplateTable)));
    auto* state = static_cast<GenState*>(memAlloc(sizeof(GenState)));
    GenOptions options{};
    options.initialIndent = 2;
    options.maxIndent = 64;  // keeps the output of huge indents small
    options.maxLineLength = 80;
    bool ready = table && state && initGenState(*state, options);
    for (int i = 0; ready && i < kTemplateCount; ++i) {
        TemplateEntry& e = table->entries[i];
        e.name = memStrDup("T");
        e.value = memStrDup(present[i] ? values[i].c_str() : kTemplateDefault);
        e.flags = present[i] ? 0 : kTemplateAbsent;
        ready = e.name && e.value;
    }
    if (ready) {
        state->output = countingStream();
        state->working = countingStream();
        state->outputPath = "fuzz.src";
        state->document = &doc;
        state->templates = table;
        generateTree(*state, root, ConditionContext::None, true, true);
        flushOutput(*state);
        bfile::close(state->output);
        bfile::close(state->working);
    }
    if (state) releaseGenState(*state);
    freeTemplateTable(table);
    memFree(state);
    freeSequence(root);
    return 0;
}
