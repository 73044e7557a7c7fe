// Editing a selection of 10,008 constructs (1,112 groups of nine: Text,
// If{Text, Text, Text}, While{Text, Text}, Text; 4,448 of them in the
// selected sequence) in the top segment, each beside a floor measured in
// the same run over the same constructs.
//
// Delete / UndoDelete: Delete of the selection, and the Undo that puts it
// back (each timed alone; the other runs untimed between iterations).
// FloorWalk: one walk over the same constructs (forEachNode).
// CopyPaste: the selection written as a clipboard image, read back (new
// level ids), and pasted after the selection; the paste is undone untimed.
// FloorCopy: a deep copy of the same constructs in memory (copySequence).
#include <benchmark/benchmark.h>

#include "bench/bench_trees.h"
#include "core/allocator.h"
#include "core/diagram_document.h"
#include "edit/clipboard_image.h"
#include "edit/construct_commands.h"
#include "edit/insertion.h"
#include "edit/undo_journal.h"
#include "resources/commands.h"

namespace {

constexpr int kGroups = 1112;

struct Fixture {
    DiagramDocument doc{};
    UndoJournal journal;
    WindowView view;
    EditContext context{&doc, &journal, 1, &view};
    Selection selection;

    Fixture() {
        setCurrentStreamFormat(&doc);
        g_currentDocument = &doc;
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (int g = 0; g < kGroups; ++g) bench_trees::group(head, last, g * 9, false);
        selection = {head, last};
        ConstructNode* before = bench_trees::text("before %d", 0);
        ConstructNode* after = bench_trees::text("after %d", 0);
        before->next = head;
        head->up = before;
        last->next = after;
        after->up = last;
        doc.root = bench_trees::segment(&doc, bench_trees::text("main %d", 0), before);
        view.segment = doc.root;
    }
    ~Fixture() {
        clearUndoJournal(&journal);
        freeSequence(doc.root);
        g_currentDocument = nullptr;
    }
    void select() { view.state.selection = selection; }
};

void Delete(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.select();
        if (!deleteSelection(f.context)) state.SkipWithError("delete refused");
        state.PauseTiming();
        undo(&f.journal, f.context);
        state.ResumeTiming();
    }
}

void UndoDelete(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        state.PauseTiming();
        f.select();
        deleteSelection(f.context);
        state.ResumeTiming();
        if (!undo(&f.journal, f.context)) state.SkipWithError("undo refused");
    }
}

int countNode(ConstructNode*, void* context) {
    ++*static_cast<long*>(context);
    return 1;
}

void FloorWalk(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        long count = 0;
        forEachNode(f.selection.first, countNode, &count);
        benchmark::DoNotOptimize(count);
    }
}

void CopyPaste(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        platform::MemHandle image = writeClipboardImage(&f.doc, f.selection.first, f.selection.last);
        ConstructNode* sequence = nullptr;
        if (!image || !readClipboardImage(&f.doc, image, &sequence)) state.SkipWithError("no image");
        platform::memBlockFree(image);
        PendingInsertion pending;
        beginInsertionOf(pending, &f.doc, CMD_CLIPBOARD_PASTE, sequence);
        if (!completeInsertion(pending, f.context, {f.selection.last, InsertPosition::After, Slot::None}))
            state.SkipWithError("paste refused");
        state.PauseTiming();
        cancelInsertion(pending);
        undo(&f.journal, f.context);
        state.ResumeTiming();
    }
}

void FloorCopy(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        ConstructNode* copy = copySequence(&f.doc, f.selection.first, f.selection.last, &f.doc);
        benchmark::DoNotOptimize(copy);
        freeSequence(copy);
    }
}

}  // namespace

BENCHMARK(Delete)->Unit(benchmark::kMillisecond);
BENCHMARK(UndoDelete)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyPaste)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorCopy)->Unit(benchmark::kMillisecond);
