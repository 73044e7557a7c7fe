// Transfer-file throughput: a diagram of 1,000,000 constructs in 1,000
// segments (the top segment and 999 inside its body, 1,001 constructs each,
// every construct with a line number), exported and imported again.
//
//   ExportMemory / ExportFile   the export into a memory block / a file
//                               (the file also in the OEM character set)
//   ImportMemory                korrin-imp's reader over the bytes, through
//                               the editor's callbacks into a tree stream in
//                               memory, which is then opened as the import
//                               opens its tree file (segment bodies left in it)
//   TransferIntoSink            korrin-imp's reader alone, into callbacks
//                               that keep nothing
//   ImportFile                  the editor's whole import of the file:
//                               korrin-imp (in process) reading the file's
//                               handle, the tree file, opening it
// Bytes/s count the transfer file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_sink.h"
#include "bench/bench_trees.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "import/parser_import.h"
#include "import/transfer_export.h"
#include "plugins/transfer/transfer_native.h"

namespace {

constexpr int kSegments = 999;
constexpr int kGroupsPerSegment = 111;  // 9 constructs each

// The benchmark's texts: "statement n := m", numbered.
ConstructNode* text(int n) {
    return bench_trees::text("statement %d := %d", n, n + 1);
}

void fixedTime(char* out, std::size_t size) {
    std::snprintf(out, size, "2024-01-02 03:04:05");
}

ParserEntryFn resolve(const char*) {
    return transfer_parse_native;
}

struct Diagram {
    DiagramDocument doc{};
    std::string bytes;  // the transfer file, written once
    char path[platform::kMaxPath] = {};

    Diagram() {
        setCurrentStreamFormat(&doc);
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (int s = 0; s < kSegments; ++s) {
            ConstructNode* body = nullptr;
            ConstructNode* bodyLast = nullptr;
            for (int g = 0; g < kGroupsPerSegment; ++g)
                bench_trees::group(body, bodyLast, s * 1000 + g * 9, true);
            bench_trees::append(head, last, bench_trees::segment(&doc, text(s), body));
        }
        doc.root = bench_trees::segment(&doc, text(-1), head);
        setExportClock(fixedTime);
        platform::tempFileName("vrd", path);
    }
    ~Diagram() {
        freeSequence(doc.root);
        platform::deleteFile(path);
    }
};

Diagram& diagram() {
    static Diagram d;
    return d;
}

BufferedFile* memoryStream() {
    return bfile::openMemory(platform::memBlockAlloc(64u << 20), 0, kMemNoHeader, 0);
}

std::string closeStream(BufferedFile* f) {
    bfile::seek(f, bfile::tell(f));
    std::string bytes(reinterpret_cast<const char*>(f->memBase), f->memEnd);
    platform::MemHandle block = f->memBlock;
    bfile::close(f);
    platform::memBlockFree(block);
    return bytes;
}

const std::string& transferBytes() {
    Diagram& d = diagram();
    if (d.bytes.empty()) {
        BufferedFile* f = memoryStream();
        resetOutcome();
        writeTransferFile(&d.doc, f, "2024-01-02 03:04:05");
        d.bytes = closeStream(f);
    }
    return d.bytes;
}

void BM_ExportMemory(benchmark::State& state) {
    Diagram& d = diagram();
    std::size_t size = 0;
    for (auto _ : state) {
        BufferedFile* f = memoryStream();
        resetOutcome();
        if (!writeTransferFile(&d.doc, f, "2024-01-02 03:04:05")) state.SkipWithError("export failed");
        size = static_cast<std::size_t>(bfile::tell(f));
        state.PauseTiming();
        closeStream(f);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
}

void BM_ExportFile(benchmark::State& state) {
    Diagram& d = diagram();
    const bool oem = state.range(0) != 0;
    for (auto _ : state) {
        resetOutcome();
        if (!exportTransferFile(&d.doc, d.path, oem)) state.SkipWithError("export failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * transferBytes().size()));
}

void BM_ImportMemory(benchmark::State& state) {
    Diagram& d = diagram();
    const std::string& bytes = transferBytes();
    for (auto _ : state) {
        DiagramDocument target{};
        setCurrentStreamFormat(&target);
        CurrentDocumentScope scope(&target);
        resetOutcome();
        // A stream with its room given up front, as a tree file has: the
        // growth of a memory block in small steps is not the import's work.
        constexpr std::uint32_t kRoom = 64u << 20;
        BufferedFile* tree = bfile::openMemory(platform::memBlockAlloc(kRoom), kRoom, 0, 0);
        writeDiagramHeader(tree);
        const std::int32_t chunk = beginChunk(tree, kTagTree, kCurrentTreeVersion);
        ParserBlock block{};
        beginCallbackSession(&target, 0, tree, nullptr, &block);
        TransferMemoryInput input{bytes.data(), bytes.size(), 0, false};
        const std::uint32_t result = transferParse(&block, transferMemoryEnvironment(&input));
        endChunk(tree, chunk);
        const CallbackSessionResult session = endCallbackSession(true);
        // The tree is read back from the stream it was written to, as the
        // editor opens its tree file: the top level, the segment bodies
        // left in the file.
        FileDescriptor source{};
        source.file = tree;
        ConstructNode* root = nullptr;
        const int ok =
            bfile::seek(tree, 0) == 0 && readDiagramTree(&target, &source, kReadKeepLineNumbers, &root);
        platform::MemHandle treeBlock = tree->memBlock;
        bfile::close(tree);
        platform::memBlockFree(treeBlock);
        if (result != kParseOk || !ok || !session.soundTree) state.SkipWithError("import failed");
        state.PauseTiming();
        freeSequence(root);
        forgetDocumentInfo(&target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    (void)d;
}

void BM_ImportFile(benchmark::State& state) {
    Diagram& d = diagram();
    const std::string& bytes = transferBytes();
    {
        std::FILE* out = std::fopen(d.path, "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    setParserResolver(resolve);
    int ansi = 0;
    g_importEnvironment.etfFileFormat = &ansi;
    for (auto _ : state) {
        DiagramDocument target{};
        setCurrentStreamFormat(&target);
        resetOutcome();
        FileDescriptor source{};
        platform::OpenInfo info{};
        source.file = bfile::openFile(d.path, &info, platform::kOpenRead | platform::kShareDenyWrite, 0);
        std::snprintf(source.path, sizeof source.path, "%.*s", static_cast<int>(sizeof source.path - 1),
                      d.path);
        ImportRequest request{&target, &source, 0, true, kLoadModeOpen};
        ConstructNode* root = runImport(request);
        bfile::close(source.file);
        if (!root) state.SkipWithError("import failed");
        state.PauseTiming();
        freeSequence(root);
        forgetDocumentInfo(&target);
        releaseTemporaryFile(&target);  // the tree file, which the document kept
        state.ResumeTiming();
    }
    setParserResolver(nullptr);
    g_importEnvironment.etfFileFormat = nullptr;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// korrin-imp's reader alone: the same bytes into callbacks that keep
// nothing, the share of the import that is the reader's own.
void BM_TransferIntoSink(benchmark::State& state) {
    const std::string& bytes = transferBytes();
    for (auto _ : state) {
        DiagramDocument target{};
        setCurrentStreamFormat(&target);
        CurrentDocumentScope scope(&target);
        resetOutcome();
        // The session gives the block its keyword texts and messages; the
        // callbacks are then replaced by the sink.
        constexpr std::uint32_t kRoom = 1u << 20;
        BufferedFile* tree = bfile::openMemory(platform::memBlockAlloc(kRoom), kRoom, 0, 0);
        ParserBlock block{};
        if (!beginCallbackSession(&target, 0, tree, nullptr, &block)) state.SkipWithError("no session");
        bench_sink::install(block);
        TransferMemoryInput input{bytes.data(), bytes.size(), 0, false};
        const std::uint32_t result = transferParse(&block, transferMemoryEnvironment(&input));
        endCallbackSession(false);
        platform::MemHandle treeBlock = tree->memBlock;
        bfile::close(tree);
        platform::memBlockFree(treeBlock);
        forgetDocumentInfo(&target);
        if (result != kParseOk) state.SkipWithError("the transfer file did not parse");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK(BM_ExportMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportFile)->Arg(0)->Arg(1)->ArgName("oem")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransferIntoSink)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportFile)->Unit(benchmark::kMillisecond);
