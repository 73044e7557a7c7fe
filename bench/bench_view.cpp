// Layout and painting of one segment of 100,000 constructs.
//
// The segment: twelve columns side by side (a chain of ifs, each holding a
// column in its then-branch and the rest in its else-branch), each column
// 926 groups of nine constructs (bench_trees::group: statements, an if, a
// while). The fixed-pitch font is one unit wide and two high, so that the
// segment fits the worksheet (32767 units each way) as a screen font could
// only a much smaller segment.
//
// BM_Layout lays the segment out again each time (valid bit cleared);
// BM_WalkFloor is the floor for it, a plain walk over the same tree that
// reads each node. BM_Paint paints a 1000 x 800 view at the top, in the
// middle and at the bottom of the segment onto a counting canvas (the top
// is the floor of the others: nothing to seek there). BM_ScrollOneLine
// scrolls a 1000 x 800 window in the middle by one line and paints the
// strip that uncovers. Counters: constructs per second, allocations per
// layout (global operator new counted), canvas calls and constructs drawn
// per paint.
//
// On the large diagram (bench_save's 100 MB file: 999 segments of 1,075
// statements in the top segment, every construct numbered, opened with
// the bodies on disk): BM_LargeTopSegment lays out and paints the top
// segment, BM_LargeTopFloor only visits its constructs; BM_GoToLine
// finds a line in a segment on disk, with the segment paged out again
// before each search; BM_LoadSegmentFloor reads one body from disk, the
// part of it no search can avoid.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "bench/bench_trees.h"
#include "config/language_config.h"
#include "core/diagram_file.h"
#include "core/segment_paging.h"
#include "view/layout.h"
#include "view/painter.h"
#include "view/recording_canvas.h"
#include "view/segment_window.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The replaced operator new takes its blocks from malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

constexpr int kColumns = 12;
constexpr int kGroupsPerColumn = 926;

// The built-in configuration and display, and the fixed-pitch font one
// unit wide and two high.
struct ViewSetup {
    LanguageConfig config{};
    DisplaySettings display{};
    FixedTextMetrics metrics{1, 2, 0};
    ViewState state;
    ViewContext ctx{};

    ViewSetup() {
        initLanguageConfig(config);
        initDisplaySettings(display);
        ctx.state = &state;
        ctx.display = &display;
        ctx.config = &config;
        ctx.metrics = &metrics;
    }
};

struct Diagram : ViewSetup {
    DiagramDocument doc{};
    ConstructNode* level = nullptr;
    long constructs = 0;

    Diagram() {
        ConstructNode* rest = nullptr;
        for (int c = kColumns - 1; c >= 0; --c) {
            ConstructNode* head = nullptr;
            ConstructNode* last = nullptr;
            for (int g = 0; g < kGroupsPerColumn; ++g)
                bench_trees::group(head, last, (c * kGroupsPerColumn + g) * 9, false);
            ConstructNode* column = newNode(ConstructType::If);
            setChildAt(bench_trees::text("column %d", c), column, Slot::Condition);
            setChildAt(head, column, Slot::Then);
            setChildAt(rest ? rest : newPlaceholder(column, Slot::Else), column, Slot::Else);
            rest = column;
        }
        level = bench_trees::segment(&doc, bench_trees::text("segment %d", 1), rest);
        forEachNode(
            level, [](ConstructNode*, void* n) { return ++*static_cast<long*>(n), 1; }, &constructs);
    }
    ~Diagram() { freeSequence(level); }
};

Diagram& diagram() {
    static Diagram d;
    return d;
}

void BM_Layout(benchmark::State& state) {
    Diagram& d = diagram();
    invalidateSegmentLayout(d.level);
    if (layoutSegment(d.ctx, d.level) != LayoutResult::LaidOut)
        state.SkipWithError("the segment does not fit");
    long allocations = 0;
    for (auto _ : state) {
        invalidateSegmentLayout(d.level);
        const long before = g_allocations;
        benchmark::DoNotOptimize(layoutSegment(d.ctx, d.level));
        allocations += g_allocations - before;
    }
    const Extent size = segmentSize(d.level, 0);
    state.counters["constructs"] = static_cast<double>(d.constructs);
    state.counters["constructs/s"] =
        benchmark::Counter(static_cast<double>(d.constructs), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["allocations/layout"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
    state.counters["width"] = size.width;
    state.counters["height"] = size.height;
}

// The floor: every node visited once with an explicit stack, its geometry
// read, nothing measured.
void BM_WalkFloor(benchmark::State& state) {
    Diagram& d = diagram();
    for (auto _ : state) {
        long sum = 0;
        forEachNode(
            d.level,
            [](ConstructNode* n, void* s) {
                *static_cast<long*>(s) += n->views[0].height;
                return 1;
            },
            &sum);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["constructs/s"] =
        benchmark::Counter(static_cast<double>(d.constructs), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Paint(benchmark::State& state) {
    Diagram& d = diagram();
    if (layoutSegment(d.ctx, d.level) == LayoutResult::TooLarge)
        state.SkipWithError("the segment does not fit");
    const std::int32_t top = static_cast<std::int32_t>(state.range(0));
    RecordingCanvas canvas(Rect{0, top, 1000, top + 800}, false);
    PaintStats stats;
    for (auto _ : state) {
        canvas.drawCalls = 0;
        benchmark::DoNotOptimize(paintSegment(d.ctx, canvas, d.level, &stats));
    }
    state.counters["canvas calls"] = canvas.drawCalls;
    state.counters["constructs drawn"] = stats.constructs;
}

void BM_ScrollOneLine(benchmark::State& state) {
    Diagram& d = diagram();
    if (layoutSegment(d.ctx, d.level) == LayoutResult::TooLarge)
        state.SkipWithError("the segment does not fit");
    SegmentWindow window;
    window.shownSegment = d.level;
    window.clientWidth = 1000;
    window.clientHeight = 800;
    window.scrollY = 13000;
    RecordingCanvas canvas(Rect{}, false);
    PaintStats stats;
    int calls = 0;
    int direction = 1;
    for (auto _ : state) {
        const ScrollMove move =
            scrollWindow(d.ctx, window, true, direction > 0 ? kScrollLineDown : kScrollLineUp);
        direction = -direction;
        canvas = RecordingCanvas(exposedStrip(window, move), false);
        benchmark::DoNotOptimize(paintSegment(d.ctx, canvas, d.level, &stats));
        calls = canvas.drawCalls;
    }
    state.counters["line step"] = lineStep(d.ctx.vm().lineUnit);
    state.counters["canvas calls"] = calls;
    state.counters["constructs drawn"] = stats.constructs;
}

// The large diagram, opened as the editor opens it; in the small font its
// 999 segments fit the worksheet.
struct LargeDiagram : ViewSetup, bench_trees::OpenedLargeDiagram {
    LargeDiagram() : OpenedLargeDiagram("kbv") {}
};

LargeDiagram& large() {
    static LargeDiagram d;
    return d;
}

void BM_LargeTopSegment(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    RecordingCanvas canvas(Rect{0, 0, 1000, 800}, false);
    PaintStats stats;
    for (auto _ : state) {
        invalidateSegmentLayout(d.doc.root);
        if (layoutSegment(d.ctx, d.doc.root) != LayoutResult::LaidOut) state.SkipWithError("no layout");
        benchmark::DoNotOptimize(paintSegment(d.ctx, canvas, d.doc.root, &stats));
    }
    const Extent size = segmentSize(d.doc.root, 0);
    state.counters["constructs drawn"] = stats.constructs;
    state.counters["height"] = size.height;
}

// The floor of the top segment: its constructs visited once, their
// geometry read.
void BM_LargeTopFloor(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    for (auto _ : state) {
        long sum = 0;
        forEachNode(
            d.doc.root,
            [](ConstructNode* n, void* s) {
                *static_cast<long*>(s) += n->views[0].height;
                return 1;
            },
            &sum);
        benchmark::DoNotOptimize(sum);
    }
}

void BM_GoToLine(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    int s = 0;
    LineSearch found;
    for (auto _ : state) {
        s = (s + 337) % LargeDiagram::kSegments;
        found = findLine(&d.doc, LargeDiagram::lineOf(s, 700));
        if (!found.exact) state.SkipWithError("line not found");
        state.PauseTiming();
        pageOut(&d.doc, enclosingLevel(found.exact));
        state.ResumeTiming();
    }
    state.counters["segments loaded"] = found.loads;
    state.counters["constructs"] = 1.0 + LargeDiagram::kSegments * (1.0 + LargeDiagram::kStatements);
}

void BM_LoadSegmentFloor(benchmark::State& state) {
    LargeDiagram& d = large();
    if (!d.ok) return state.SkipWithError("the diagram could not be set up");
    ConstructNode* level = levelInfoOf(d.doc.root)->body;
    for (int i = 0; level && i < 500; ++i) level = level->next;
    for (auto _ : state) {
        if (!ensureLoaded(level, &d.doc)) state.SkipWithError("load failed");
        state.PauseTiming();
        pageOut(&d.doc, level);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_Layout)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint)->Arg(0)->Arg(13000)->Arg(25000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollOneLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LargeTopSegment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeTopFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GoToLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSegmentFloor)->Unit(benchmark::kMillisecond);

}  // namespace
