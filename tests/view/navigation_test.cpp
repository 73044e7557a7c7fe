// Segment windows as portable state: scrolling, where constructs lie and
// the hit test against the painter's drawing, the selection keys, the view
// commands, go to line over segments on disk, the structure list, the
// overview and what paging must keep.
#include <functional>
#include <map>

#include "core/diagram_file.h"
#include "core/segment_paging.h"
#include "resources/commands.h"
#include "resources/strings.h"
#include "tests/generator/example_diagrams.h"
#include "tests/view/view_helpers.h"
#include "view/segment_window.h"
#include "view/shapes.h"
#include "view/structure_list.h"

namespace {

using namespace gen_test;
using view_test::ViewTest;

// Numbered statements "s0", "s1", ... in one sequence.
ConstructNode* statements(int count, int from = 0) {
    ConstructNode* head = nullptr;
    for (int i = count - 1; i >= 0; --i) {
        ConstructNode* n = text(("s" + std::to_string(from + i)).c_str());
        n->next = head;
        if (head) head->up = n;
        head = n;
    }
    return head;
}

ConstructNode* nth(ConstructNode* head, int n) {
    while (head && n--) head = head->next;
    return head;
}

class NavigationTest : public ViewTest {
protected:
    // A window of `width` x `height` on the segment, laid out.
    SegmentWindow& window(ConstructNode* level, std::int32_t width = 400, std::int32_t height = 300) {
        windows.push_back(std::make_unique<SegmentWindow>());
        SegmentWindow& w = *windows.back();
        w.document = &doc;
        w.clientWidth = width;
        w.clientHeight = height;
        if (!doc.root) doc.root = rootOf(level);
        EXPECT_EQ(showSegment(w, level, kShowClearSelection), 1);
        addWindow(ring, &w);
        layoutWindow(ctx, w);
        return w;
    }
    void TearDown() override {
        holdSegmentsOf(nullptr);
        forEachWindow(ring, [&](SegmentWindow& w) { removeWindow(ring, &w); });
        if (doc.root && std::find(roots.begin(), roots.end(), doc.root) != roots.end()) doc.root = nullptr;
        closeDocument(&doc);
        ViewTest::TearDown();
    }
    // The text of a selected construct, or its type name.
    static std::string name(const ConstructNode* n) {
        if (!n) return "-";
        if (const char* t = displayText(n)) return t;
        return constructInfo(n->type)->name;
    }
    static std::string selected(const SegmentWindow& w) {
        return w.selectionFirst == w.selectionLast ? name(w.selectionFirst)
                                                   : name(w.selectionFirst) + ".." + name(w.selectionLast);
    }

    WindowRing ring;
    std::vector<std::unique_ptr<SegmentWindow>> windows;
    TempDir dir;
};

TEST_F(NavigationTest, ScrollArithmetic) {
    EXPECT_EQ(lineStep(17), 18);
    EXPECT_EQ(lineStep(26), 26);
    // A diagram smaller than its window: range 0..0, disabled.
    const ScrollBar fits = scrollBar(300, 400, 0);
    EXPECT_FALSE(fits.enabled);
    EXPECT_EQ(fits.max, 0);
    const ScrollBar bar = scrollBar(1000, 400, 700);
    EXPECT_TRUE(bar.enabled);
    EXPECT_EQ(bar.max, 999);
    EXPECT_EQ(bar.page, 400);
    EXPECT_EQ(bar.position, 600) << "clamped to the last page";
    struct Case {
        int code;
        std::int32_t position, content, thumb, expected;
    };
    const Case cases[] = {
        {kScrollLineDown, 0, 1000, 0, 18},         {kScrollLineUp, 10, 1000, 0, 0},
        {kScrollPageDown, 500, 1000, 0, 600},      {kScrollPageUp, 500, 1000, 0, 100},
        {kScrollThumbPosition, 0, 1000, 250, 250}, {kScrollTop, 300, 1000, 0, 0},
        {kScrollBottom, 0, 1000, 0, 600},          {kScrollLineDown, 0, 300, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scrollTarget(c.code, c.position, c.content, 400, 18, c.thumb), c.expected) << c.code;
}

TEST_F(NavigationTest, ScrollCommandsMoveByOneStepAndExposeOneStrip) {
    FixedTextMetrics font(8, 13, 1);  // lineUnit 17
    ctx.metrics = &font;
    invalidateLayout(*state, kInvalidateScreenFont);
    SegmentWindow& w = window(segment(statements(200)), 300, 200);
    ASSERT_EQ(ctx.vm().lineUnit, 17);
    const Extent content = contentSize(ctx, w);
    ASSERT_GT(content.height, 1000);
    struct Case {
        unsigned command;
        std::int32_t x, y;
    };
    const Case cases[] = {{209, 0, 18},  {209, 0, 36}, {208, 0, 18},
                          {207, 0, 218}, {206, 0, 18}, {205, 0, content.height - 200},
                          {204, 0, 0},   {211, 0, 0}};
    for (const Case& c : cases) {
        scrollCommand(ctx, w, c.command);
        EXPECT_EQ(w.scrollX, c.x) << c.command;
        EXPECT_EQ(w.scrollY, c.y) << c.command;
    }
    // One line down uncovers an 18-unit strip at the bottom; painting it
    // draws only the constructs that reach into it.
    const ScrollMove move = scrollCommand(ctx, w, 209);
    const Rect strip = exposedStrip(w, move);
    EXPECT_EQ(strip, (Rect{0, 200, 300, 218}));
    PaintStats stats;
    paint(w.shownSegment, strip, &stats);
    EXPECT_LE(stats.constructs, 3);
    EXPECT_GE(stats.constructs, 1);
    // A window larger than the diagram does not scroll.
    SegmentWindow& small = window(segment(statements(2)), 300, 2000);
    EXPECT_EQ(scrollCommand(ctx, small, 209).dy, 0);
    EXPECT_EQ(small.scrollY, 0);
}

// Every construct the painter draws: constructBox gives its rectangle, and
// a point of it that no construct inside covers hits it (or what selecting
// it selects).
TEST_F(NavigationTest, ConstructBoxesAndHitsAgreeWithThePainter) {
    std::vector<ConstructNode*> levels{segment(view_test::everyConstruct(doc), "every construct")};
    for (const ExampleDiagram& example : gen_test::pascalExamples()) {
        roots.push_back(example.build(doc));
        levels.push_back(roots.back());
    }
    for (const bool numbers : {false, true}) {
        display.lineNumbers = numbers;
        invalidateLayout(*state, kInvalidateAllViews);
        for (ConstructNode* level : levels) {
            const RecordingCanvas canvas = paint(level);
            // Each drawn construct with the constructs drawn inside it.
            struct Drawn {
                const ConstructNode* node;
                Rect box;
                std::vector<Rect> inner;
            };
            std::vector<Drawn> drawn;
            std::vector<std::size_t> open;
            for (const CanvasCall& call : canvas.calls) {
                if (call.kind == CanvasCall::Begin) {
                    for (std::size_t i : open) drawn[i].inner.push_back(call.at);
                    open.push_back(drawn.size());
                    drawn.push_back({call.node, call.at, {}});
                } else if (call.kind == CanvasCall::End) {
                    open.pop_back();
                }
            }
            int hits = 0;
            for (const Drawn& d : drawn) {
                if (d.node == level) continue;
                Rect box;
                ASSERT_TRUE(constructBox(ctx, level, d.node, &box)) << constructInfo(d.node->type)->name;
                EXPECT_EQ(box, d.box) << constructInfo(d.node->type)->name;
                for (std::int32_t y = d.box.top; y < d.box.bottom; y += 3)
                    for (std::int32_t x = d.box.left; x < d.box.right; x += 3) {
                        const Rect point{x, y, x + 1, y + 1};
                        if (std::any_of(d.inner.begin(), d.inner.end(),
                                        [&](const Rect& r) { return intersects(r, point); }))
                            continue;
                        EXPECT_EQ(hitTest(ctx, level, x, y),
                                  selectableFor(const_cast<ConstructNode*>(d.node), level))
                            << constructInfo(d.node->type)->name << " at " << x << ", " << y;
                        ++hits;
                        y = d.box.bottom;
                        break;
                    }
            }
            EXPECT_GT(hits, 0);
            EXPECT_EQ(hitTest(ctx, level, 0, 0), nullptr) << "the margin";
        }
    }
}

// Painting a part of a long segment draws exactly the constructs of the
// whole drawing that reach into it, however far down it lies.
TEST_F(NavigationTest, ClippedPaintingDrawsWhatReachesIntoTheClip) {
    ConstructNode* level = segment(seq({statements(300), whileDo(text("w"), statements(400, 300)),
                                        ifThen(text("c"), statements(200, 700), statements(3, 900))}));
    const RecordingCanvas whole = paint(level);
    for (const Rect clip :
         {Rect{0, 4000, 200, 4300}, Rect{40, 12000, 300, 12100}, Rect{0, 19000, 500, 19500}}) {
        std::vector<const ConstructNode*> expected;
        for (const CanvasCall& c : whole.calls)
            if (c.kind == CanvasCall::Begin && c.node != level && intersects(c.at, clip))
                expected.push_back(c.node);
        const RecordingCanvas part = paint(level, clip);
        std::vector<const ConstructNode*> got;
        for (const CanvasCall& c : part.calls)
            if (c.kind == CanvasCall::Begin && c.node != level) got.push_back(c.node);
        EXPECT_EQ(got, expected) << clip.top;
        EXPECT_FALSE(got.empty());
    }
}

TEST_F(NavigationTest, SelectionKeys) {
    // s0, while w { b0, b1 }, loop { l0, l1 }, if c { t } else { e }, s1
    ConstructNode* body =
        seq({text("s0"), whileDo(text("w"), seq({text("b0"), text("b1")})),
             loop(seq({text("l0"), text("l1")})), ifThen(text("c"), text("t"), text("e")), text("s1")});
    SegmentWindow& w = window(segment(body, "head"), 400, 120);
    struct Case {
        const char* from;  // selected first ("": nothing)
        unsigned command;
        const char* expected;
    };
    const Case cases[] = {
        {"", 256, "s0"},            // nothing selected: the segment's first
        {"", 253, "s1"},            // ... Ctrl+End: its last
        {"s0", 256, "While"},       // Down: the next construct
        {"While", 255, "s0"},       // Up: the previous one
        {"b0", 255, "While"},       // Up at a sequence's first: its owner
        {"b1", 256, "Loop"},        // Down at its last: after the owner
        {"s1", 256, "s1"},          // Down at the segment's last: stays
        {"Loop", 261, "l0"},        // Right: into the first list
        {"While", 261, "w"},        // ... a condition is the first list
        {"w", 258, "b0"},           // Ctrl+Right: the owner's next list
        {"t", 258, "e"},            //
        {"b0", 257, "w"},           // Ctrl+Left: the list before
        {"b1", 262, "While"},       // Left: out to the owner
        {"s0", 262, "s0"},          // Left in the segment's own list: stays
        {"s0", 251, "s1"},          // End
        {"If", 250, "s0"},          // Home
        {"b1", 252, "s0"},          // Ctrl+Home: the segment's first
        {"l0", 253, "s1"},          // Ctrl+End: the segment's last
        {"While", 263, "w"},        // Tab: reading order, into the lists
        {"b1", 263, "Loop"},        // ... and out again
        {"c", 263, "t"},            // an if: condition, then, else
        {"t", 263, "e"},            //
        {"If", 264, "l1"},          // Shift+Tab: the deepest last before
        {"b0", 264, "w"},           // ... the list before in the owner
        {"w", 264, "While"},        // ... the owner itself
        {"s0", 266, "s0..While"},   // Shift+Down extends
        {"If", 265, "Loop..If"},    // Shift+Up extends upwards
        {"Loop", 268, "Loop..s1"},  // Shift+End
        {"If", 267, "s0..If"},      // Shift+Home
        {"l0", 254, "l0..l1"},      // Ctrl+Space: the whole sequence
        {"Loop", 272, "l0..l1"},    // Ctrl+Shift+Right: the whole first list
        {"b0", 298, "b1"},          // Enter while a text is edited in place
        {"b1", 297, "b0"},          // Shift+Enter
    };
    std::map<std::string, ConstructNode*> byName;
    for (ConstructNode* n : nodesOf(w.shownSegment)) byName.emplace(name(n), n);
    for (const Case& c : cases) {
        if (*c.from)
            selectConstruct(w, byName.at(c.from));
        else
            clearSelection(w);
        selectionCommand(ctx, w, c.command);
        EXPECT_EQ(selected(w), c.expected) << c.from << " " << c.command;
    }
    // Extending and shrinking keep the anchor; the moving end is scrolled
    // into view.
    selectConstruct(w, byName.at("s0"));
    for (unsigned command : {266u, 266u, 266u, 265u}) selectionCommand(ctx, w, command);
    EXPECT_EQ(selected(w), "s0..Loop");
    selectionCommand(ctx, w, 271);
    EXPECT_EQ(selected(w), "s0");
    selectionCommand(ctx, w, 253);
    Rect box;
    ASSERT_TRUE(selectionBox(ctx, w, &box));
    EXPECT_GE(box.top, w.scrollY);
    EXPECT_LE(box.bottom, w.scrollY + w.clientHeight);
    EXPECT_GT(w.scrollY, 0);
    // A click selects what is under it, Shift+click extends in the anchor's
    // sequence (a click inside a construct extends to the construct).
    ASSERT_TRUE(constructBox(ctx, w.shownSegment, byName.at("b1"), &box));
    w.scrollX = w.scrollY = 0;
    clickAt(ctx, w, box.left + 2, box.top + 2, false);
    EXPECT_EQ(selected(w), "b1");
    selectConstruct(w, byName.at("s0"));
    clickAt(ctx, w, box.left + 2, box.top + 2, true);
    EXPECT_EQ(selected(w), "s0..While");
}

// Opening windows is the front end's: this one counts.
class Opener : public WindowOpener {
public:
    explicit Opener(std::function<SegmentWindow*(SegmentWindow&)> make) : make_(std::move(make)) {}
    SegmentWindow* open(SegmentWindow& like) override { return make_(like); }
    void activate(SegmentWindow& window) override { activated = &window; }
    SegmentWindow* activated = nullptr;

private:
    std::function<SegmentWindow*(SegmentWindow&)> make_;
};

TEST_F(NavigationTest, ViewCommandsMoveDownAndUpTheSegments) {
    ConstructNode* inner = gen_test::segment(doc, "inner", seq({text("i0"), text("i1")}));
    ConstructNode* middle = gen_test::segment(doc, "middle", seq({text("m0"), inner}));
    ConstructNode* top = segment(seq({text("t0"), middle}), "top");
    SegmentWindow& w = window(top);
    Opener opener([&](SegmentWindow& like) { return &window(like.shownSegment); });
    auto view = [&](unsigned command, bool newWindow = false) {
        ConstructNode* select = nullptr;
        ConstructNode* target = viewCommandTarget(*ring.current, command, &select);
        SegmentWindow* shown =
            target ? navigateTo(ring, *ring.current, target, select, newWindow, opener) : nullptr;
        if (shown) {
            ring.current = shown;
            layoutWindow(ctx, *shown);
        }
        return shown != nullptr;
    };
    ring.current = &w;
    EXPECT_FALSE(view(CMD_VIEW_DOWN)) << "nothing selected";
    selectConstruct(w, nth(levelInfoOf(top)->body, 0));
    EXPECT_FALSE(view(CMD_VIEW_DOWN)) << "not a segment";
    selectConstruct(w, middle);
    ASSERT_TRUE(view(CMD_VIEW_DOWN));
    EXPECT_EQ(w.shownSegment, middle);
    EXPECT_EQ(w.shownSegmentId, levelInfoOf(middle)->levelId);
    EXPECT_EQ(w.selectionFirst, nullptr);
    selectConstruct(w, inner);
    ASSERT_TRUE(view(CMD_VIEW_DOWN));
    ASSERT_TRUE(view(CMD_VIEW_TOP));
    EXPECT_EQ(w.shownSegment, top);
    EXPECT_EQ(selected(w), "Level") << "the segment the window came from";
    EXPECT_EQ(w.selectionFirst, middle);
    EXPECT_FALSE(view(CMD_VIEW_TOP)) << "at the top already";
    EXPECT_FALSE(view(CMD_VIEW_UP));
    // With a new window on every View command; a segment shown already is
    // activated where it is.
    ASSERT_TRUE(view(CMD_VIEW_DOWN, true));
    SegmentWindow* second = ring.current;
    EXPECT_NE(second, &w);
    EXPECT_EQ(second->shownSegment, middle);
    EXPECT_EQ(windowCount(ring, &doc), 2);
    ring.current = &w;
    selectConstruct(w, middle);
    ASSERT_TRUE(view(CMD_VIEW_DOWN));
    EXPECT_EQ(opener.activated, second);
    EXPECT_EQ(w.shownSegment, top) << "the current window keeps its segment";
    ring.current = second;
    ASSERT_TRUE(view(CMD_VIEW_UP));
    EXPECT_EQ(opener.activated, &w);
    EXPECT_EQ(w.selectionFirst, middle);
    EXPECT_EQ(ring.current, &w);
    // Up from the segment a second window shows too: that one reveals its
    // selection again; at the top there is nothing above.
    ASSERT_EQ(showSegment(w, middle, kShowClearSelection), 1);
    EXPECT_EQ(showEnclosingSegment(ring, w, kShowMarkOthers), 1);
    EXPECT_EQ(w.shownSegment, top);
    EXPECT_TRUE(second->revealSelection);
    EXPECT_EQ(showEnclosingSegment(ring, w, 0), 0);
    ring.current = second;
    removeWindow(ring, second);
    EXPECT_EQ(windowCount(ring, &doc), 1);
    EXPECT_EQ(ring.current, nullptr);
}

TEST_F(NavigationTest, OverviewFramesTheVisiblePartAndAClickScrolls) {
    SegmentWindow& w = window(segment(statements(200)), 200, 100);
    const Extent content = contentSize(ctx, w);
    const OverviewMap map = overviewMap(ctx, w, {101, 201});
    EXPECT_EQ(overviewX(map, content.width), 100);
    EXPECT_EQ(overviewY(map, content.height), 200);
    w.scrollY = content.height / 2;
    const Rect frame = overviewFrame(map, w);
    EXPECT_EQ(frame.top, 100);
    EXPECT_EQ(frame.bottom, overviewY(map, w.scrollY + 100));
    // A click centres the visible part on the point, within the content.
    overviewScroll(map, w, 50, 50);
    EXPECT_EQ(w.scrollY, content.height / 4 - 50);
    overviewScroll(map, w, 0, 0);
    EXPECT_EQ(w.scrollY, 0);
    overviewScroll(map, w, 100, 200);
    EXPECT_EQ(w.scrollY, content.height - 100);
}

// A diagram on disk: the top segment with numbered constructs, segments
// inside segments, a procedure and a function.
class OnDiskTest : public NavigationTest {
protected:
    ConstructNode* numbered(ConstructNode* n, int line) {
        n->lineNumber = line;
        return n;
    }
    void open() {
        ConstructNode* s3 =
            numbered(gen_test::segment(doc, "S3", seq({numbered(text("c"), 7), numbered(text("d"), 8)})), 6);
        ConstructNode* p =
            numbered(procedure("P", seq({numbered(text("b"), 5), s3, numbered(text("e"), 10)})), 4);
        ConstructNode* s2 = numbered(
            gen_test::segment(doc, "S2", seq({numbered(text("a"), 3), p, numbered(text("f"), 11)})), 2);
        ConstructNode* f = numbered(function("F", numbered(text("h"), 15)), 14);
        ConstructNode* s4 = numbered(gen_test::segment(doc, "S4", numbered(text("i"), 17)), 16);
        ConstructNode* root =
            gen_test::topSegment(doc, seq({numbered(text("t1"), 1), s2, numbered(text("g"), 13), f, s4}));
        const std::string path = dir.file("plan.vrd");
        ASSERT_TRUE(writeDiagramFile(doc, root, path));
        freeSequence(root);
        ASSERT_EQ(openDocument(&doc, path.c_str()), 1);
    }
    ConstructNode* segmentNamed(const char* name) {
        StructureList list;
        buildStructureList(&doc, StructureKind::Segments, 0, list);
        const int at = findEntry(list, name);
        return at < 0 ? nullptr : resolveEntry(&doc, list.entries[static_cast<std::size_t>(at)], nullptr);
    }
};

TEST_F(OnDiskTest, GoToLineEntersOnlyTheSegmentsOnTheWay) {
    open();
    struct Case {
        long line;
        const char* exact;
        const char* preceding;
        const char* succeeding;
        int loads;
    };
    const Case cases[] = {
        {7, "c", nullptr, nullptr, 3},   // top, S2, S3
        {13, "g", nullptr, nullptr, 0},  // in the top segment, loaded now
        {9, nullptr, "d", "e", 0},       // between two lines: the neighbours
        {12, nullptr, "f", "g", 0},      {16, "Level", nullptr, nullptr, 0},
        {100, nullptr, "i", nullptr, 1},  // S4 entered
    };
    for (const Case& c : cases) {
        const LineSearch found = findLine(&doc, c.line);
        EXPECT_TRUE(found.numbered);
        EXPECT_EQ(name(found.exact), c.exact ? c.exact : "-") << c.line;
        if (!c.exact) {
            EXPECT_EQ(name(found.preceding), c.preceding ? c.preceding : "-") << c.line;
            EXPECT_EQ(name(found.succeeding), c.succeeding ? c.succeeding : "-") << c.line;
        }
        EXPECT_EQ(found.loads, c.loads) << c.line;
    }
    // Between lines the questions choose a neighbour.
    host->answer(kAnswerNo);
    host->answer(kAnswerYes);
    EXPECT_EQ(name(lineConstruct(&doc, 9)), "e");
    ASSERT_EQ(host->messages.size(), 2u);
    EXPECT_EQ(host->messages[0].text, "Line 9 not found. View preceding line?");
    EXPECT_EQ(host->messages[1].id, static_cast<unsigned>(IDS_LINE_VIEW_SUCCEEDING));
    // The window shows the segment that holds the line, the construct
    // selected and in view.
    SegmentWindow& w = window(doc.root, 200, 60);
    ring.current = &w;
    Opener opener([](SegmentWindow&) { return nullptr; });
    ConstructNode* d = lineConstruct(&doc, 8);
    ASSERT_NE(navigateTo(ring, w, enclosingLevel(d), d, false, opener), nullptr);
    layoutWindow(ctx, w);
    EXPECT_EQ(name(w.selectionFirst), "d");
    EXPECT_EQ(name(childAt(w.shownSegment, Slot::Head)), "S3");
}

TEST_F(OnDiskTest, DiagramsWithoutLineNumbersSayNone) {
    ConstructNode* root = gen_test::topSegment(doc, seq({text("a"), text("b")}));
    ASSERT_TRUE(writeDiagramFile(doc, root, dir.file("plain.vrd")));
    freeSequence(root);
    ASSERT_EQ(openDocument(&doc, dir.file("plain.vrd").c_str()), 1);
    EXPECT_FALSE(findLine(&doc, 3).numbered);
    EXPECT_EQ(lineConstruct(&doc, 3), nullptr);
    EXPECT_TRUE(host->saw(IDS_NO_LINE_NUMBERS));
}

TEST_F(OnDiskTest, StructureListsEveryKindInItsHierarchy) {
    open();
    struct Case {
        StructureKind kind;
        std::vector<std::string> entries;  // indented by depth
    };
    const Case cases[] = {
        {StructureKind::Segments, {"4", " 2 S2", "  1 S3", " 3 S4"}},  // ids in the order of making
        {StructureKind::Procedures, {"4 P"}},
        {StructureKind::Functions, {"14 F"}},
    };
    for (const Case& c : cases) {
        StructureList list;
        ASSERT_TRUE(buildStructureList(&doc, c.kind, 0, list));
        std::vector<std::string> got;
        for (const StructureEntry& e : list.entries) got.push_back(std::string(e.depth, ' ') + e.text);
        EXPECT_EQ(got, c.entries);
    }
    StructureList segments;
    buildStructureList(&doc, StructureKind::Segments, 2, segments);
    EXPECT_EQ(segments.entries.size(), 3u) << "two levels deep";
    // Entries find their constructs after their segments were loaded in
    // full and paged out again.
    StructureList procedures;
    buildStructureList(&doc, StructureKind::Procedures, 0, procedures);
    ConstructNode* s2 = segmentNamed("S2");
    ASSERT_NE(s2, nullptr);
    ASSERT_EQ(ensureLoaded(s2, &doc), 1);
    ASSERT_EQ(pageOut(&doc, s2), 1);
    ConstructNode* shownIn = nullptr;
    ConstructNode* p = resolveEntry(&doc, procedures.entries[0], &shownIn);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->type, ConstructType::Procedure);
    EXPECT_EQ(name(childAt(shownIn, Slot::Head)), "S2");
    buildStructureList(&doc, StructureKind::Segments, 0, segments);
    EXPECT_EQ(findEntry(segments, "s3"), 2) << "any letter case";
    EXPECT_EQ(findEntry(segments, "nothing"), -1);
    // A call finds the procedure it names.
    for (const auto& [name, found] :
         std::map<std::string, bool>{{"p(1, 2);", true}, {" F", true}, {"Q", false}}) {
        ConstructNode* calling = call(name.c_str());
        roots.push_back(calling);
        ConstructNode* in = nullptr;
        ConstructNode* called = calledProcedure(&doc, calling, &in);
        EXPECT_EQ(called != nullptr, found) << name;
        if (called) {
            EXPECT_EQ(in, enclosingLevel(called)) << name;
        }
    }
}

TEST_F(OnDiskTest, WhatIsShownSelectedOrPinnedIsNeverPagedOut) {
    open();
    holdSegmentsOf(&ring);
    ConstructNode* s3 = segmentNamed("S3");
    ConstructNode* s2 = enclosingLevel(enclosingOfType(s3, ConstructType::Procedure));
    ASSERT_NE(s2, nullptr);
    SegmentWindow& w = window(s3);
    EXPECT_EQ(pageOut(&doc, s3), 0) << "shown";
    EXPECT_EQ(pageOut(&doc, s2), 0) << "a segment inside is shown";
    ASSERT_EQ(showSegment(w, doc.root, kShowClearSelection), 1);
    selectConstruct(w, s2);
    EXPECT_EQ(pageOut(&doc, s2), 0) << "selected";
    clearSelection(w);
    keepSegment(ring, s2);
    EXPECT_EQ(pageOut(&doc, s2), 0) << "pinned";
    releaseSegment(ring, s2);
    EXPECT_EQ(pageOut(&doc, s2), 1);
    // Shown again: loaded afresh and laid out anew.
    ConstructNode* again = segmentNamed("S2");
    ASSERT_EQ(showSegment(w, again, kShowClearSelection), 1);
    EXPECT_EQ(layoutWindow(ctx, w), LayoutResult::LaidOut);
    const RecordingCanvas canvas = paint(again);
    EXPECT_EQ(canvas.only(CanvasCall::Text).size() >= 3, true);
    // A segment whose body cannot be read stays unshown and names the file.
    ConstructNode* s4 = segmentNamed("S4");
    ASSERT_EQ(pageOut(&doc, s4), 1);
    levelInfoOf(s4)->fileOffset = 3;
    host->messages.clear();
    EXPECT_EQ(showSegment(w, s4, kShowClearSelection), 0);
    EXPECT_EQ(w.shownSegment, again);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].text,
              "Structure diagram in " + std::string(doc.ownFile.path) + " contains a structural error.");
}

}  // namespace
