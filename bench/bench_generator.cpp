// Generation throughput: a diagram of 1,000,000 constructs generated with
// the embedded Pascal configuration (examples/pascal.cfg).
//
// The diagram: the top segment holding 999 segments of 1,001 constructs
// each (texts, if/then/else with a condition, while loops, for loops, case
// selections with two labels and the rest branch). It is written once to a
// native file; every run opens that file (segment bodies on disk), and the
// timed part is the Generate command: the source file, the new working copy
// with the line numbers, loading every segment and paging it out again.
//
// Counters: generated source lines per second, the source and working-copy
// sizes, and the peak heap the generation held above what the opened
// document held (sampled whenever a segment is loaded or paged out; glibc
// only). BM_GenerateInMemory generates the same diagram with every body in
// memory (nothing is loaded or paged).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/bench_trees.h"
#include "config/language_config.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "generator/generation.h"
#include "generator/generator.h"

namespace {

constexpr int kSegments = 999;
constexpr int kGroupsPerSegment = 77;  // 13 constructs each: 1,001 per body

std::size_t heapInUse() {
#if defined(__GLIBC__)
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

using bench_trees::append;
using bench_trees::segment;
using bench_trees::text;

ConstructNode* placeholder(ConstructNode* owner, Slot slot) {
    ConstructNode* p = newPlaceholder(owner, slot);
    setChildAt(p, owner, slot);
    return p;
}

// 13 constructs: Text, If{Text; Text; Text}, While{Text; Text}, For{Text;
// Text}, OnSelector{Text; branch{Text; Text}; rest{placeholder; Text}}.
void group(ConstructNode*& head, ConstructNode*& last, int n) {
    append(head, last, text("v%d := v%d + 1;", n));
    ConstructNode* ifNode = newNode(ConstructType::If);
    setChildAt(text("v%d > %d", n), ifNode, Slot::Condition);
    setChildAt(text("writeln(v%d, %d);", n), ifNode, Slot::Then);
    setChildAt(text("v%d := %d;", n), ifNode, Slot::Else);
    append(head, last, ifNode);
    ConstructNode* whileNode = newNode(ConstructType::While);
    setChildAt(text("v%d < %d", n), whileNode, Slot::Condition);
    setChildAt(text("v%d := v%d * 2;", n), whileNode, Slot::Body);
    append(head, last, whileNode);
    ConstructNode* forNode = newNode(ConstructType::For);
    setChildAt(text("i := %d to %d", n), forNode, Slot::Head);
    setChildAt(text("sum := sum + i * %d + %d;", n), forNode, Slot::Body);
    append(head, last, forNode);
    ConstructNode* caseNode = newNode(ConstructType::OnSelector);
    setChildAt(text("v%d mod %d", n), caseNode, Slot::Head);
    ConstructNode* branch = newNode(ConstructType::OnSelectorBranch);
    setChildAt(text("%d, %d", n), branch, Slot::Head);
    setChildAt(text("writeln(%d, %d);", n), branch, Slot::BranchBody);
    setChildAt(branch, caseNode, Slot::Branches);
    ConstructNode* rest = newNode(ConstructType::OnSelectorBranch);
    placeholder(rest, Slot::Head);
    setChildAt(text("v%d := %d;", n), rest, Slot::BranchBody);
    setChildAt(rest, caseNode, Slot::Rest);
    append(head, last, caseNode);
}

std::string tempPath(const char* name) {
    char dir[platform::kMaxPath];
    platform::tempFileName("vrd", dir);
    platform::deleteFile(dir);
    return std::string(dir) + "-" + name;
}

std::string configPath() {
    return std::string(KORRIN_SOURCE_DIR) + "/examples/pascal.cfg";
}

void fixedNow(GenTime* t) {
    *t = GenTime{2024, 5, 6, 7, 8, 9, (1714979289ull + 11644473600ull) * 10000000ull};
}

// The diagram, written once.
struct Diagram {
    std::string path = tempPath("bench.vrd");
    std::string output = tempPath("bench.pas");
    long constructs = 0;
    bool ok = false;

    Diagram() {
        DiagramDocument doc{};
        setCurrentStreamFormat(&doc);
        doc.streamMode = kStreamModeKeepTree;
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (int s = 0; s < kSegments; ++s) {
            ConstructNode* body = nullptr;
            ConstructNode* bodyLast = nullptr;
            for (int g = 0; g < kGroupsPerSegment; ++g) group(body, bodyLast, s * 1000 + g);
            append(head, last, segment(&doc, text("part %d of %d", s), body));
        }
        ConstructNode* root = segment(&doc, nullptr, head);
        constructs = 1 + kSegments * (2 + kGroupsPerSegment * 13);
        BufferedFile* f =
            bfile::openFile(path.c_str(), nullptr, platform::kOpenReadWrite | platform::kOpenCreate, 0);
        resetOutcome();
        ok = f && writeDiagram(&doc, root, f, false) && bfile::close(f) == 0;
        freeSequence(root);
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
        initLanguageConfig(g_languageConfig);
        std::snprintf(g_languageConfig.path, sizeof g_languageConfig.path, "%s", configPath().c_str());
        setGenFileExt(g_languageConfig, ".pas");
        GeneratorHooks hooks{};
        hooks.now = fixedNow;
        setGeneratorHooks(hooks);
        setTemporaryFileStep(nullptr);
    }
    ~Diagram() {
        platform::deleteFile(path.c_str());
        platform::deleteFile(output.c_str());
    }
};

Diagram& diagram() {
    static Diagram d;
    return d;
}

// A segment source that passes everything on and samples the heap.
struct SamplingSource {
    const SegmentSource* inner = nullptr;
    std::size_t peak = 0;
    SegmentSource table{this, load, acquire, release, pageOut};

    void sample() {
        const std::size_t now = heapInUse();
        if (now > peak) peak = now;
    }
    static int load(void* c, DiagramDocument* d, ConstructNode* l, std::uint32_t o, std::uint32_t r,
                    ConstructNode** b) {
        auto* s = static_cast<SamplingSource*>(c);
        const int ok = s->inner->loadBody(s->inner->context, d, l, o, r, b);
        s->sample();
        return ok;
    }
    static BufferedFile* acquire(void* c, DiagramDocument* d, bool* opened) {
        auto* s = static_cast<SamplingSource*>(c);
        return s->inner->acquireFile ? s->inner->acquireFile(s->inner->context, d, opened) : nullptr;
    }
    static int release(void* c, DiagramDocument* d, BufferedFile* f, bool opened) {
        auto* s = static_cast<SamplingSource*>(c);
        return s->inner->releaseFile ? s->inner->releaseFile(s->inner->context, d, f, opened) : 1;
    }
    static void pageOut(void* c, DiagramDocument* d, ConstructNode* level) {
        auto* s = static_cast<SamplingSource*>(c);
        s->sample();
        if (s->inner->pageOut)
            s->inner->pageOut(s->inner->context, d, level);
        else
            dropSegmentBody(level);
    }
};

long countLines(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    long lines = 1;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        for (std::size_t i = 0; i < n; ++i) lines += buffer[i] == '\n';
    std::fclose(f);
    return lines;
}

long fileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

int loadAll(ConstructNode* node, void* context) {
    if (node->type == ConstructType::Level && !(segmentFlags(node) & kSegLoaded))
        static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    return 1;
}

void run(benchmark::State& state, bool inMemory) {
    Diagram& d = diagram();
    if (!d.ok) {
        state.SkipWithError("the diagram could not be written");
        return;
    }
    std::size_t peakAbove = 0;
    long workingSize = 0;
    for (auto _ : state) {
        state.PauseTiming();
        DiagramDocument doc{};
        if (!openDocument(&doc, d.path.c_str())) {
            state.SkipWithError("open failed");
            break;
        }
        if (inMemory) {
            for (;;) {
                std::vector<ConstructNode*> onDisk;
                forEachNode(doc.root, loadAll, &onDisk);
                if (onDisk.empty()) break;
                for (ConstructNode* level : onDisk) ensureLoaded(level, &doc);
            }
        }
        SamplingSource sampling;
        sampling.inner = doc.segmentSource;
        doc.segmentSource = &sampling.table;
        const std::size_t baseline = heapInUse();
        sampling.peak = baseline;
        GenerateTarget target{};
        std::snprintf(target.storedPath, sizeof target.storedPath, "%s", d.output.c_str());
        state.ResumeTiming();

        const int ok = generate(&doc, CMD_FILE_GENERATE, false, false, &target);

        state.PauseTiming();
        sampling.sample();
        if (!ok) state.SkipWithError("generation failed");
        peakAbove = sampling.peak - baseline;
        if (doc.tempFile.path[0]) workingSize = fileSize(doc.tempFile.path);
        closeDocument(&doc);
        state.ResumeTiming();
    }
    const long lines = countLines(d.output);
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["constructs"] = static_cast<double>(d.constructs);
    state.counters["source_MB"] = static_cast<double>(fileSize(d.output)) / 1e6;
    state.counters["working_copy_MB"] = static_cast<double>(workingSize) / 1e6;
    state.counters["peak_heap_MB"] = static_cast<double>(peakAbove) / 1e6;
}

void BM_GenerateFromDisk(benchmark::State& state) {
    run(state, false);
}

void BM_GenerateInMemory(benchmark::State& state) {
    run(state, true);
}

BENCHMARK(BM_GenerateFromDisk)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GenerateInMemory)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
