// Searching and replacing.
//
// On the large diagram (999 segments of 1,001 statements of about 70
// characters, bodies on disk, as the editor opens it):
// SearchAbsent: a search of the whole diagram, lower segments included,
// for a text that is not there; bytes = the construct text searched. Every
// body is read when the walk enters it and paged out when it leaves it:
// "bodies in memory" after the search counts what stayed.
// FloorLoad: the same bodies read and paged out without searching.
// FloorRead: a plain read of the file's bytes.
//
// ReplaceAll: 10,000 matches, one in each of 10,000 statements of one
// segment, replaced, each in its own undo record; the diagram is built
// again untimed. FloorSetText: the same 10,000 texts replaced directly.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_trees.h"
#include "core/diagram_file.h"
#include "core/segment_paging.h"
#include "edit/search.h"
#include "edit/undo_journal.h"
#include "resources/commands.h"

namespace {

struct LargeDiagram {
    char stem[platform::kMaxPath] = {};
    std::string path;
    DiagramDocument doc{};
    long long fileBytes = 0;
    long long textBytes = 0;
    bool ok = false;
    static constexpr int kSegments = 999;
    static constexpr int kStatements = 1001;

    LargeDiagram() {
        if (!platform::tempFileName("kbs", stem)) return;
        platform::deleteFile(stem);
        path = std::string(stem) + ".vrd";
        if (!bench_trees::writeSegmentedFile(path.c_str(), kSegments, kStatements, false)) return;
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            std::fseek(f, 0, SEEK_END);
            fileBytes = std::ftell(f);
            std::fclose(f);
        }
        g_currentDocument = &doc;
        ok = openDocument(&doc, path.c_str()) == 1 && ensureLoaded(doc.root, &doc) == 1;
        // The text the search reads, counted once.
        for (ConstructNode* level = levelInfoOf(doc.root)->body; ok && level; level = level->next) {
            if (level->type != ConstructType::Level || !ensureLoaded(level, &doc)) continue;
            forEachNode(
                levelInfoOf(level)->body,
                [](ConstructNode* n, void* sum) {
                    if (const char* t = textOf(n)) *static_cast<long long*>(sum) += std::strlen(t);
                    return 1;
                },
                &textBytes);
            pageOut(&doc, level);
        }
    }
    ~LargeDiagram() {
        closeDocument(&doc);
        g_currentDocument = nullptr;
        platform::deleteFile(path.c_str());
    }
    int bodiesInMemory() const {
        int n = 0;
        for (ConstructNode* level = levelInfoOf(doc.root)->body; level; level = level->next)
            n += level->type == ConstructType::Level && (segmentFlags(level) & kSegLoaded);
        return n;
    }
};

LargeDiagram& large() {
    static LargeDiagram d;
    return d;
}

void SearchAbsent(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    SearchRequest request;
    request.searchText = "statement 99999 :=";
    SearchMatcher matcher;
    matcher.prepare(request, nullptr);
    SearchScope scope;
    makeSearchScope(request, &d.doc, d.doc.root, {}, false, false, false, &scope);
    for (auto _ : state) {
        SearchCursor cursor;
        if (findNext(scope, matcher, cursor, nullptr)) state.SkipWithError("found");
    }
    state.SetBytesProcessed(state.iterations() * d.textBytes);
    state.counters["bodies in memory"] = d.bodiesInMemory();
}

void FloorLoad(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    for (auto _ : state) {
        for (ConstructNode* level = levelInfoOf(d.doc.root)->body; level; level = level->next) {
            if (level->type != ConstructType::Level || !ensureLoaded(level, &d.doc)) continue;
            pageOut(&d.doc, level);
        }
    }
    state.SetBytesProcessed(state.iterations() * d.textBytes);
}

void FloorRead(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        std::FILE* f = std::fopen(d.path.c_str(), "rb");
        long long total = 0;
        std::size_t n;
        while (f && (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
            total += static_cast<long long>(n);
        if (f) std::fclose(f);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * d.fileBytes);
}

constexpr int kMatches = 10000;

struct ReplaceFixture {
    DiagramDocument doc{};
    UndoJournal journal;
    WindowView view;
    EditContext context{&doc, &journal, 1, &view};

    ReplaceFixture() {
        setCurrentStreamFormat(&doc);
        g_currentDocument = &doc;
    }
    void build() {
        clearUndoJournal(&journal);
        freeSequence(doc.root);
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (int i = 0; i < kMatches; ++i)
            bench_trees::append(head, last, bench_trees::text("value_%d := old_name + %d;", i));
        doc.root = bench_trees::segment(&doc, bench_trees::text("main %d", 0), head);
        view = WindowView{};
        view.segment = doc.root;
    }
    ~ReplaceFixture() {
        clearUndoJournal(&journal);
        freeSequence(doc.root);
        g_currentDocument = nullptr;
    }
};

void ReplaceAll(benchmark::State& state) {
    ReplaceFixture f;
    SearchRequest request;
    request.searchText = "old_name";
    request.replaceText = "the_new_name";
    request.replace = true;
    SearchMatcher matcher;
    matcher.prepare(request, nullptr);
    long count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.build();
        SearchScope scope;
        makeSearchScope(request, &f.doc, f.doc.root, {}, false, false, false, &scope);
        SearchCursor cursor;
        state.ResumeTiming();
        count = replaceAll(f.context, CMD_EDIT_SEARCH, scope, matcher, cursor, nullptr);
    }
    if (count != kMatches) state.SkipWithError("not every match was replaced");
    state.counters["replacements"] = static_cast<double>(count);
}

void FloorSetText(benchmark::State& state) {
    ReplaceFixture f;
    for (auto _ : state) {
        state.PauseTiming();
        f.build();
        state.ResumeTiming();
        for (ConstructNode* n = levelInfoOf(f.doc.root)->body; n; n = n->next) {
            std::string text = textOf(n);
            text.replace(text.find("old_name"), 8, "the_new_name");
            setText(n, memStrDup(text.c_str()));
        }
    }
}

}  // namespace

BENCHMARK(SearchAbsent)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FloorLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FloorRead)->Unit(benchmark::kMillisecond);
BENCHMARK(ReplaceAll)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorSetText)->Unit(benchmark::kMillisecond);
