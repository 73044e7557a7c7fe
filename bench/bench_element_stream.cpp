// Element stream throughput: a diagram of 1,000,000 constructs in 1,000
// segments (the top segment and 999 inside its body, 1,001 constructs
// each), written to and read back from a memory block and a file.
//
// Counters: bytes/s of the stream, the stream size, and for the reads the
// heap bytes per construct held by the tree read (glibc only), beside
// sizeof(ConstructNode).
//
// ReadFileTopSegment reads the file without option 0x0002 (every body left
// on disk) and then loads the top segment's body from the file, as opening
// a diagram and showing its top segment does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/bench_trees.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "core/segment_source.h"

namespace {

constexpr int kSegments = 999;          // inside the top segment
constexpr int kGroupsPerSegment = 111;  // 9 constructs each: 999 per body

// The heap in use and the page blocks of the record pools.
std::size_t heapInUse() {
#if defined(__GLIBC__)
    return mallinfo2().uordblks + memPageBytes();
#else
    return memPageBytes();
#endif
}

// The benchmark's texts: "statement n := m".
ConstructNode* text(int n) {
    return bench_trees::text("statement %d := %d", n);
}

struct Diagram {
    DiagramDocument doc{};
    ConstructNode* root = nullptr;
    long constructs = 0;
    std::string bytes;  // the stream written once
    char path[platform::kMaxPath] = {};

    Diagram() {
        setCurrentStreamFormat(&doc);
        doc.streamMode = kStreamModeKeepTree;
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (int s = 0; s < kSegments; ++s) {
            ConstructNode* body = nullptr;
            ConstructNode* bodyLast = nullptr;
            for (int g = 0; g < kGroupsPerSegment; ++g)
                bench_trees::group(body, bodyLast, s * 1000 + g * 9, false);
            bench_trees::append(head, last, bench_trees::segment(&doc, text(s), body));
        }
        root = bench_trees::segment(&doc, text(-1), head);
        constructs = 1 + kSegments * (2 + kGroupsPerSegment * 9);
        platform::tempFileName("vrd", path);
    }
    ~Diagram() {
        freeSequence(root);
        platform::deleteFile(path);
    }
};

Diagram& diagram() {
    static Diagram d;
    return d;
}

BufferedFile* memoryStream(platform::MemHandle block, std::uint32_t size) {
    return bfile::openMemory(block, size, kMemNoHeader, 0);
}

void BM_WriteMemory(benchmark::State& state) {
    Diagram& d = diagram();
    std::size_t size = 0;
    for (auto _ : state) {
        platform::MemHandle block = platform::memBlockAlloc(64u << 20);
        BufferedFile* f = memoryStream(block, 0);
        resetOutcome();
        if (!writeSequence(&d.doc, d.root, nullptr, f)) state.SkipWithError("write failed");
        size = static_cast<std::size_t>(bfile::tell(f));
        block = f->memBlock;
        bfile::close(f);
        platform::memBlockFree(block);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["stream_MB"] = static_cast<double>(size) / 1e6;
}

// Writes the stream once, for the readers.
const std::string& streamBytes() {
    Diagram& d = diagram();
    if (d.bytes.empty()) {
        platform::MemHandle block = platform::memBlockAlloc(64u << 20);
        BufferedFile* f = memoryStream(block, 0);
        resetOutcome();
        writeSequence(&d.doc, d.root, nullptr, f);
        bfile::seek(f, bfile::tell(f));
        d.bytes.assign(reinterpret_cast<const char*>(f->memBase), f->memEnd);
        block = f->memBlock;
        bfile::close(f);
        platform::memBlockFree(block);
    }
    return d.bytes;
}

void reportTree(benchmark::State& state, std::size_t heapBytes, std::size_t size) {
    Diagram& d = diagram();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["heap_per_construct"] = static_cast<double>(heapBytes) / static_cast<double>(d.constructs);
    state.counters["node_record"] = static_cast<double>(sizeof(ConstructNode));
    state.counters["stream_per_construct"] = static_cast<double>(size) / static_cast<double>(d.constructs);
}

// The diagram's element stream in a memory block of its own.
platform::MemHandle streamBlock() {
    const std::string& bytes = streamBytes();
    platform::MemHandle block = platform::memBlockAlloc(static_cast<std::uint32_t>(bytes.size()));
    std::memcpy(platform::memBlockLock(block), bytes.data(), bytes.size());
    platform::memBlockUnlock(block);
    return block;
}

void BM_ReadMemory(benchmark::State& state) {
    Diagram& d = diagram();
    const auto size = static_cast<std::uint32_t>(streamBytes().size());
    platform::MemHandle block = streamBlock();
    std::size_t heap = 0;
    for (auto _ : state) {
        BufferedFile* f = memoryStream(block, size);
        resetOutcome();
        const std::size_t before = heapInUse();
        ConstructNode* tree = readSequence(&d.doc, f, kReadAllBodies | kReadKeepLineNumbers);
        heap = heapInUse() - before;
        if (!g_outcome.readOk) state.SkipWithError("read failed");
        state.PauseTiming();
        bfile::close(f);
        freeSequence(tree);
        state.ResumeTiming();
    }
    platform::memBlockFree(block);
    reportTree(state, heap, size);
}

// Freeing the tree BM_ReadMemory reads (closing the diagram); its floor is
// that read.
void BM_FreeTree(benchmark::State& state) {
    Diagram& d = diagram();
    const auto size = static_cast<std::uint32_t>(streamBytes().size());
    platform::MemHandle block = streamBlock();
    for (auto _ : state) {
        state.PauseTiming();
        BufferedFile* f = memoryStream(block, size);
        resetOutcome();
        ConstructNode* tree = readSequence(&d.doc, f, kReadAllBodies | kReadKeepLineNumbers);
        bfile::close(f);
        if (!g_outcome.readOk) state.SkipWithError("read failed");
        state.ResumeTiming();
        freeSequence(tree);
    }
    platform::memBlockFree(block);
}

void writeFile() {
    Diagram& d = diagram();
    BufferedFile* f = bfile::openFile(d.path, nullptr, platform::kOpenWrite | platform::kOpenCreate, 0);
    resetOutcome();
    writeSequence(&d.doc, d.root, nullptr, f);
    bfile::close(f);
}

void BM_WriteFile(benchmark::State& state) {
    Diagram& d = diagram();
    for (auto _ : state) {
        BufferedFile* f = bfile::openFile(d.path, nullptr, platform::kOpenWrite | platform::kOpenCreate, 0);
        if (!f) state.SkipWithError("open failed");
        resetOutcome();
        if (!writeSequence(&d.doc, d.root, nullptr, f) || bfile::close(f) != 0)
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * streamBytes().size()));
}

void BM_ReadFile(benchmark::State& state) {
    Diagram& d = diagram();
    writeFile();
    std::size_t heap = 0;
    for (auto _ : state) {
        BufferedFile* f = bfile::openFile(d.path, nullptr, platform::kOpenRead, 0);
        resetOutcome();
        const std::size_t before = heapInUse();
        ConstructNode* tree = readSequence(&d.doc, f, kReadAllBodies | kReadKeepLineNumbers);
        heap = heapInUse() - before;
        if (!g_outcome.readOk) state.SkipWithError("read failed");
        state.PauseTiming();
        bfile::close(f);
        freeSequence(tree);
        state.ResumeTiming();
    }
    reportTree(state, heap, streamBytes().size());
}

// The segment source over the open file.
int loadFromFile(void* context, DiagramDocument* document, ConstructNode*, std::uint32_t offset,
                 std::uint32_t options, ConstructNode** body) {
    return readSegmentBody(document, static_cast<BufferedFile*>(context), offset, options, body);
}

void BM_ReadFileTopSegment(benchmark::State& state) {
    Diagram& d = diagram();
    writeFile();
    long nodes = 0;
    for (auto _ : state) {
        BufferedFile* f = bfile::openFile(d.path, nullptr, platform::kOpenRead, 0);
        SegmentSource source{f, loadFromFile};
        d.doc.segmentSource = &source;
        resetOutcome();
        ConstructNode* tree = readSequence(&d.doc, f, kReadKeepLineNumbers);
        if (!g_outcome.readOk || !ensureLoaded(tree, &d.doc)) state.SkipWithError("read failed");
        state.PauseTiming();
        nodes = 0;
        forEachNode(
            tree,
            [](ConstructNode*, void* c) {
                ++*static_cast<long*>(c);
                return 1;
            },
            &nodes);
        d.doc.segmentSource = nullptr;
        bfile::close(f);
        freeSequence(tree);
        state.ResumeTiming();
    }
    state.counters["constructs_in_memory"] = static_cast<double>(nodes);
}

}  // namespace

BENCHMARK(BM_WriteMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreeTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFileTopSegment)->Unit(benchmark::kMillisecond);
