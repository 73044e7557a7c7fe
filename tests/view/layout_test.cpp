// Layout with the fixed-pitch font of the fixture: U = I = 26, characters 8
// wide, a text line 26 high (6 + 16 + 4), keywords as wide as their text
// plus 16.
#include <functional>

#include "tests/view/view_helpers.h"
#include "view/shapes.h"
#include "view/text_lines.h"

namespace {

using namespace gen_test;
using view_test::ViewTest;

struct Box {
    std::int32_t width, height, innerWidth, innerHeight, textWidth, textHeight;
    bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "{" << b.width << ", " << b.height << ", " << b.innerWidth << ", " << b.innerHeight << ", "
              << b.textWidth << ", " << b.textHeight << "}";
}

}  // namespace

// Printed by the expectations below.
inline std::ostream& operator<<(std::ostream& os, const Extent& e) {
    return os << "(" << e.width << " x " << e.height << ")";
}

namespace {

Box boxOf(const ViewGeometry& g) {
    return {g.width, g.height, g.innerWidth, g.innerHeight, g.textWidth, g.textHeight};
}

using LayoutTest = ViewTest;

TEST_F(LayoutTest, NaturalSizeOfEachFamily) {
    struct Case {
        const char* name;
        std::function<ConstructNode*()> build;
        Box natural;
    };
    const Case cases[] = {
        {"statement", [] { return text("abc"); }, {40, 26, 40, 26, 40, 26}},
        {"statement without text", [] { return text(nullptr); }, {64, 58, 64, 58, 0, 0}},
        {"three lines", [] { return text("a\r\nbb\r\nccc"); }, {40, 58, 40, 58, 40, 58}},
        {"while", [] { return whileDo(text("x"), text("abc")); }, {80, 52, 40, 26, 24, 26}},
        {"loop", [] { return loop(text("abc")); }, {66, 52, 40, 26, 0, 0}},
        {"for", [] { return forDo("i:=1", text("abc")); }, {88, 52, 40, 26, 48, 26}},
        {"if, empty else", [] { return ifThen(text("x"), text("abc")); }, {96, 78, 48, 26, 24, 26}},
        {"if, both branches",
         [] { return ifThen(text("x"), text("abcdefgh"), text("ab")); },
         {128, 78, 80, 26, 24, 26}},
        {"repeat", [] { return repeatUntil(text("abc"), text("x")); }, {104, 52, 40, 26, 24, 26}},
        {"and",
         [] {
             return andOf(seq({text("a"), text("b")}));
         },
         {64, 52, 24, 52, 24, 52}},
        {"block", [] { return block("c", text("abc")); }, {66, 78, 40, 26, 24, 26}},
        {"frame", [] { return frame("h", text("abc"), nullptr); }, {80, 78, 40, 26, 24, 26}},
        {"call", [] { return call("p"); }, {56, 52, 56, 52, 24, 26}},
        {"exit when", [] { return exitWhen(text("x")); }, {146, 26, 0, 0, 24, 26}},
        {"switch",
         [] {
             return switchOf(seq({whenBranch(text("a"), text("s1")), whenBranch(text("b"), text("s2"))}),
                             text("s3"));
         },
         {114, 182, 88, 156, 0, 0}},
        {"case",
         [] { return caseOf("n", seq({ofBranch("1", text("s1"))}), text("s3")); },
         {114, 130, 88, 104, 24, 26}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConstructNode* node = c.build();
        roots.push_back(node);
        const Extent e = naturalSize(ctx, node);
        EXPECT_EQ(boxOf(geometry(node)), c.natural);
        EXPECT_EQ(e, (Extent{c.natural.width, c.natural.height}));
    }
}

TEST_F(LayoutTest, SpareHeightIsSharedInProportionAndTheLastTakesTheRest) {
    ConstructNode* list = seq({text("a"), text("b"), text("c")});
    roots.push_back(list);
    naturalSize(ctx, list);
    int natural = 10;
    for (ConstructNode* n = list; n; n = n->next, natural += 10)
        n->views[0].height = n->views[0].innerHeight = natural;
    fitList(ctx, list, 200, 90);
    const int expected[] = {15, 30, 45};
    int i = 0;
    for (ConstructNode* n = list; n; n = n->next, ++i) {
        EXPECT_EQ(geometry(n).height, expected[i]);
        EXPECT_EQ(geometry(n).innerHeight, expected[i]) << "a text takes the whole share";
        EXPECT_EQ(geometry(n).width, 200);
    }
}

TEST_F(LayoutTest, FitGivesColumnsTheirWidthAndBranchesTheirShare) {
    // An empty else stays one indent wide; the then-branch takes the rest.
    ConstructNode* emptyElse = ifThen(text("x"), text("abc"));
    // Both branches grow in proportion to their natural widths (80 : 48).
    ConstructNode* both = ifThen(text("x"), text("abcdefgh"), text("ab"));
    ConstructNode* body = seq({emptyElse, both, whileDo(text("x"), text("abc"))});
    ConstructNode* level = segment(body);
    ASSERT_EQ(layout(level), LayoutResult::LaidOut);
    const std::int32_t column = geometry(level).width;
    EXPECT_EQ(column, 128);
    for (const ConstructNode* n = body; n; n = n->next) EXPECT_EQ(geometry(n).width, column);
    EXPECT_EQ(geometry(emptyElse).innerWidth, column - 26);
    EXPECT_EQ(geometry(childAt(emptyElse, Slot::Else)).width, 26);
    EXPECT_EQ(geometry(childAt(emptyElse, Slot::Then)).width, column - 26);
    EXPECT_EQ(geometry(both).innerWidth, 80);
    // The while's body fills the column beside the indent.
    EXPECT_EQ(geometry(childAt(body->next->next, Slot::Body)).width, column - 26);
    // The shorter branch of an if is as high as the longer one.
    ConstructNode* uneven = ifThen(text("x"), text("a"), seq({text("b"), text("c")}));
    ConstructNode* second = segment(uneven);
    layout(second);
    EXPECT_EQ(geometry(childAt(uneven, Slot::Then)).height, 52);
}

TEST_F(LayoutTest, OperatorsShareOneWidthWhateverTheirTexts) {
    std::snprintf(config.keywords[20], sizeof config.keywords[20], "%s", "and also");
    std::snprintf(config.keywords[21], sizeof config.keywords[21], "%s", "or");
    ConstructNode* a = andOf(seq({text("a"), text("b")}));
    ConstructNode* o = orOf(seq({text("a"), text("b")}));
    ConstructNode* n = notOf(text("a"));
    roots.insert(roots.end(), {a, o, n});
    for (ConstructNode* op : {a, o, n}) {
        naturalSize(ctx, op);
        EXPECT_EQ(geometry(op).width - geometry(op).innerWidth, 80) << "the operator column of \"and also\"";
    }
}

TEST_F(LayoutTest, KeywordAndIndentMeasures) {
    computeViewMetrics(ctx);
    const ViewMetrics& m = ctx.vm();
    EXPECT_EQ(m.lineUnit, 26);
    EXPECT_EQ(m.indent, 26);
    EXPECT_EQ(m.emptyBox, (Extent{64, 58})) << "8 characters by 2 lines and a line unit";
    EXPECT_EQ(m.keywordExtents[4], (Extent{56, 26})) << "while";
    EXPECT_EQ(m.keywordExtents[25], (Extent{0, 0})) << "an empty keyword";
    // Pixels twice as high as wide: the indent is the same length across.
    FixedTextMetrics tall(8, 16, 4, 0, {1000, 500, 250, 250});
    ctx.metrics = &tall;
    ctx.view = kViewPrinter;
    computeViewMetrics(ctx);
    EXPECT_EQ(ctx.vm().indent, 52);
}

TEST_F(LayoutTest, SumsSaturateAtTheWorksheetLimit) {
    struct Case {
        std::int32_t a, b, sum;
    };
    for (const Case& c : {Case{32766, 0, 32766}, Case{32765, 1, 32766}, Case{32766, 1, 32767},
                          Case{-1, 5, 32767}, Case{100, 32767, 32767}, Case{20000, 20000, 32767}})
        EXPECT_EQ(satAdd(c.a, c.b), c.sum) << c.a << " + " << c.b;
}

TEST_F(LayoutTest, ASegmentOverTheLimitIsReportedOncePerLayoutAndNotPainted) {
    ConstructNode* body = nullptr;
    for (int i = 0; i < 1300; ++i) body = seq({text("statement"), body});
    ConstructNode* level = segment(body, "big");
    EXPECT_EQ(layout(level), LayoutResult::TooLarge);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].id, 20057u);
    EXPECT_EQ(host->messages[0].text, "Structure diagram 1 big exceeds worksheet area.");
    // Painting again neither lays out nor reports; nothing is drawn.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(layout(level), LayoutResult::TooLarge);
    RecordingCanvas canvas({0, 0, 1000, 1000});
    EXPECT_EQ(paintSegment(ctx, canvas, level), 0);
    EXPECT_TRUE(canvas.calls.empty());
    EXPECT_EQ(host->messages.size(), 1u);
    // An edit of the segment lays it out again: the state is new.
    invalidateSegmentLayout(level);
    EXPECT_EQ(layout(level), LayoutResult::TooLarge);
    EXPECT_EQ(host->messages.size(), 2u);
    // The printer view words it for printing.
    ctx.view = kViewPrinter;
    EXPECT_EQ(layout(level), LayoutResult::TooLarge);
    EXPECT_EQ(host->messages.back().id, 20058u);
}

TEST_F(LayoutTest, DeepNestingCostsNoCallStack) {
    // Too deep for the worksheet: refused, not crashed.
    ConstructNode* deep = text("x");
    for (int i = 0; i < 100000; ++i) deep = whileDo(text("c"), deep);
    EXPECT_EQ(layout(segment(deep)), LayoutResult::TooLarge);
    // Deep but inside the worksheet: laid out and painted.
    ConstructNode* nested = text("x");
    for (int i = 0; i < 500; ++i) nested = loop(nested);
    ConstructNode* level = segment(nested);
    EXPECT_EQ(layout(level), LayoutResult::LaidOut);
    EXPECT_EQ(geometry(nested).width, 500 * 26 + 24);
    PaintStats stats;
    paint(level, {}, &stats);
    EXPECT_EQ(stats.constructs, 500 + 1 + 1) << "the loops, the statement, the header";
}

TEST_F(LayoutTest, GenerationsDecideWhatIsLaidOutAgain) {
    ConstructNode* level = segment(text("abc"));
    FixedTextMetrics printer(10, 20, 5);
    ViewContext printing = ctx;
    printing.view = kViewPrinter;
    printing.metrics = &printer;
    EXPECT_EQ(layout(level), LayoutResult::LaidOut);
    EXPECT_EQ(layoutSegment(printing, level), LayoutResult::LaidOut);
    EXPECT_EQ(layout(level), LayoutResult::Cached);
    // A new screen font: the screen is measured again, the printer keeps
    // its geometry.
    FixedTextMetrics larger(10, 20, 5);
    ctx.metrics = &larger;
    invalidateLayout(*state, kInvalidateScreenFont);
    EXPECT_EQ(layoutSegment(printing, level), LayoutResult::Cached);
    EXPECT_EQ(layout(level), LayoutResult::LaidOut);
    EXPECT_EQ(ctx.vm().lineUnit, 32);
    // New layout settings: every view.
    invalidateLayout(*state, kInvalidateAllViews);
    EXPECT_EQ(layoutSegment(printing, level), LayoutResult::LaidOut);
    // Another view state never takes this geometry for its own.
    ViewState other;
    ViewContext elsewhere = ctx;
    elsewhere.state = &other;
    EXPECT_EQ(layoutSegment(elsewhere, level), LayoutResult::LaidOut);
}

TEST_F(LayoutTest, LineEndsAreRewrittenBeforeMeasuring) {
    struct Case {
        const char* in;
        const char* out;
        int lone;
    };
    const Case cases[] = {
        {"a\r\nb", "a\r\nb", 0},      {"a\nb", "a b", 0}, {"a\r\r\nb", "a\r\nb", 0},
        {"a\r\r\n\rb", "a\r\n b", 0}, {"a\rb", "ab", 1},  {"a\r\r\r\nb\r", "a\r\nb", 2},
    };
    for (const Case& c : cases) {
        char out[32];
        int lone = 0;
        const int n = rewriteLineEnds(c.in, out, sizeof out, &lone);
        EXPECT_EQ(std::string(out, n), c.out);
        EXPECT_EQ(lone, c.lone) << c.out;
    }
    // A CR without LF is reported once when the segment is laid out.
    ConstructNode* level = segment(seq({text("a\rb"), text("c\rd")}));
    layout(level);
    layout(level);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].id, 605u);
    EXPECT_EQ(geometry(levelInfoOf(level)->body).textWidth, 32) << "measured as \"ab\"";
}

}  // namespace
