// Saving a large diagram: 1,000 segments (the top segment and 999 inside
// its body) of about 100 KB each, some 100 MB on disk. The file is opened
// as the editor opens it (the whole diagram is copied into a temporary
// segment file), the top segment and one segment inside are loaded, and
// that one is changed.
//
// SaveOneChanged: the Save command on it: a new temporary file (998 blocks
// copied, the changed segment and the top segment serialised), the backup
// copy (a rename) and the target written by copying every block from the
// temporary file. Each iteration marks the segment changed again.
// SaveUnchanged: the same without a change: the target alone.
// Open: opening the file: reading the top segment's record and copying
// the whole file into a new temporary segment file.
//
// Counters: the file size, the heap growth during one save (glibc only:
// what the save allocates and keeps), and the process's peak resident set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include "bench/bench_trees.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/file_descriptor.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "platform/platform.h"

namespace {

constexpr int kSegments = 999;          // inside the top segment
constexpr int kLinesPerSegment = 1075;  // Texts of about 90 characters: 100 MB
constexpr int kChangedSegment = 500;

// The heap in use and the page blocks of the record pools.
std::size_t heapInUse() {
#if defined(__GLIBC__)
    return mallinfo2().uordblks + memPageBytes();
#else
    return memPageBytes();
#endif
}

double peakResidentMB() {
#if !defined(_WIN32)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
#else
    return 0;
#endif
}

std::uint32_t fixedNow() {
    return 1714979289u;
}

struct Fixture {
    char folder[platform::kMaxPath] = {};
    std::string source;
    std::string target;
    DiagramDocument doc{};
    ConstructNode* changed = nullptr;
    long long fileBytes = 0;
    bool ok = false;

    Fixture() {
        SavingHooks hooks;
        hooks.now = fixedNow;
        setSavingHooks(hooks);
        if (!platform::tempFileName("kbs", folder)) return;
        platform::deleteFile(folder);
        source = std::string(folder) + ".vrd";
        target = std::string(folder) + "-saved.vrd";
        if (!bench_trees::writeSegmentedFile(source.c_str(), kSegments, kLinesPerSegment, false)) return;
        std::FILE* f = std::fopen(source.c_str(), "rb");
        if (f) {
            std::fseek(f, 0, SEEK_END);
            fileBytes = std::ftell(f);
            std::fclose(f);
        }
        g_currentDocument = &doc;
        if (!openDocument(&doc, source.c_str())) return;
        if (!ensureLoaded(doc.root, &doc)) return;
        changed = levelInfoOf(doc.root)->body;
        for (int i = 0; changed && i < kChangedSegment; ++i) changed = changed->next;
        if (!changed || !ensureLoaded(changed, &doc)) return;
        setText(levelInfoOf(changed)->body, memStrDup("statement changed;"));
        ok = true;
    }
    ~Fixture() {
        closeDocument(&doc);
        g_currentDocument = nullptr;
        platform::deleteFile(source.c_str());
        platform::deleteFile(target.c_str());
        char backup[kPathSize];
        if (backupName(target.c_str(), -1, backup)) platform::deleteFile(backup);
        if (backupName(source.c_str(), -1, backup)) platform::deleteFile(backup);
    }
    void markChanged() {
        setSegmentFlags(changed, static_cast<std::uint8_t>(segmentFlags(changed) & ~kSegFileCurrent));
        doc.modified = true;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void save(benchmark::State& state, bool change) {
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("the diagram could not be set up");
        return;
    }
    std::size_t growth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (change) f.markChanged();
        resetOutcome();
        const std::size_t before = heapInUse();
        state.ResumeTiming();
        if (saveDocument(&f.doc, f.target.c_str(), false) != SaveResult::Saved) {
            state.SkipWithError("save failed");
            break;
        }
        state.PauseTiming();
        const std::size_t after = heapInUse();
        if (after > before && after - before > growth) growth = after - before;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * f.fileBytes);
    state.counters["file_MB"] = static_cast<double>(f.fileBytes) / 1e6;
    state.counters["heap_growth_KB"] = static_cast<double>(growth) / 1024.0;
    state.counters["peak_RSS_MB"] = peakResidentMB();
    state.counters["blocks"] = static_cast<double>(memOutstanding());
}

void BM_SaveOneChanged(benchmark::State& state) {
    save(state, true);
}

void BM_SaveUnchanged(benchmark::State& state) {
    save(state, false);
}

void BM_Open(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("the diagram could not be set up");
        return;
    }
    for (auto _ : state) {
        DiagramDocument doc{};
        g_currentDocument = &doc;
        resetOutcome();
        if (!openDocument(&doc, f.source.c_str())) state.SkipWithError("open failed");
        state.PauseTiming();
        closeDocument(&doc);
        g_currentDocument = &f.doc;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * f.fileBytes);
    state.counters["file_bytes"] = static_cast<double>(f.fileBytes);
    state.counters["peak_RSS_MB"] = peakResidentMB();
}

}  // namespace

BENCHMARK(BM_SaveOneChanged)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SaveUnchanged)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(5);
