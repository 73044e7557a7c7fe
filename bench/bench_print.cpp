// Paginating the large diagram: bench_save's 100 MB file (999 segments of
// 1,075 statements below the top segment, about 1.07 million constructs),
// opened as the editor opens it with the bodies on disk, printed as a
// whole (every segment, fit into page off) onto a sink that only counts.
// Every body is read, laid out for the printer and cut into pages, then
// paged out again.
//
// The printer font is the fixed-pitch font one unit wide and two high, so
// that every segment fits the worksheet; the page is 200 x 300 units
// (Arg 1) or half as wide and high (Arg 2, four times the pages).
// Counters: pages, constructs per second, and the counting allocator's
// peak of outstanding blocks above the open diagram: the same for both
// page sizes (memory does not grow with the pages).
//
// BM_PaginateFloor is the floor: every body read and paged out again and
// each of its constructs visited once, nothing laid out.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench/bench_trees.h"
#include "config/language_config.h"
#include "core/allocator.h"
#include "core/diagram_file.h"
#include "core/segment_paging.h"
#include "print/pages.h"

namespace {

struct LargeDiagram : bench_trees::OpenedLargeDiagram {
    LanguageConfig config{};
    DisplaySettings display{};
    FixedTextMetrics metrics{1, 2, 0};
    ViewState state;

    LargeDiagram() : OpenedLargeDiagram("kbp") {
        initLanguageConfig(config);
        initDisplaySettings(display);
    }
};

LargeDiagram& large() {
    static LargeDiagram d;
    return d;
}

// Counts sheets and keeps the peak of outstanding blocks.
class CountingSink final : public PageSink {
public:
    bool startSheet(unsigned, const ConstructNode*) override {
        ++sheets;
        peak = std::max(peak, memOutstanding());
        return true;
    }
    bool drawPart(const ViewContext&, ConstructNode*, const Rect&, std::int32_t, std::int32_t) override {
        return true;
    }
    bool endSheet() override { return true; }
    long sheets = 0;
    long peak = 0;
};

void BM_PaginateAll(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    PrintSetup setup;
    setup.ctx.view = kViewPrinter;
    setup.ctx.target = OutputTarget::PageCount;
    setup.ctx.state = &d.state;
    setup.ctx.display = &d.display;
    setup.ctx.config = &d.config;
    setup.ctx.metrics = &d.metrics;
    const std::int32_t scale = static_cast<std::int32_t>(state.range(0));
    setup.frame = {200 / scale, 300 / scale, 0};
    setup.settings.area = kAreaDiagram;
    const long base = memOutstanding();
    CountingSink sink;
    PrintOutcome outcome;
    for (auto _ : state) {
        sink = CountingSink{};
        outcome = printArea(setup, &d.doc, d.doc.root, nullptr, nullptr, sink);
    }
    if (outcome.segments != LargeDiagram::kSegments + 1) state.SkipWithError("not every segment was printed");
    const double constructs = 1.0 + LargeDiagram::kSegments * (2.0 + LargeDiagram::kStatements);
    state.counters["pages"] = static_cast<double>(sink.sheets);
    state.counters["constructs/s"] =
        benchmark::Counter(constructs, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak blocks above open"] = static_cast<double>(sink.peak - base);
}

void BM_PaginateFloor(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    for (auto _ : state) {
        long sum = 0;
        for (ConstructNode* level = levelInfoOf(d.doc.root)->body; level; level = level->next) {
            if (level->type != ConstructType::Level || !ensureLoaded(level, &d.doc)) continue;
            forEachNode(
                level,
                [](ConstructNode* n, void* s) {
                    *static_cast<long*>(s) += n->views[kViewPrinter].height + 1;
                    return 1;
                },
                &sum);
            pageOut(&d.doc, level);
        }
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(BM_PaginateAll)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaginateFloor)->Unit(benchmark::kMillisecond);

}  // namespace
