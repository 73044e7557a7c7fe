// Painting onto the recording canvas with the fixture's fixed-pitch font.
#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "core/diagram_file.h"
#include "tests/generator/example_diagrams.h"
#include "tests/view/view_helpers.h"
#include "view/shapes.h"

namespace {

using namespace gen_test;
using view_test::ViewTest;

using PainterTest = ViewTest;

std::vector<Rect> linesOf(const RecordingCanvas& canvas) {
    std::vector<Rect> out;
    for (const CanvasCall& c : canvas.only(CanvasCall::Line)) out.push_back(c.at);
    return out;
}

// Two axis-parallel lines that lie on one another for more than a point,
// or a line of no length; empty when there is none.
std::string overlappingLines(const std::vector<Rect>& lines) {
    // (vertical, coordinate) -> [start, end) pieces
    std::map<std::pair<bool, std::int32_t>, std::vector<std::pair<std::int32_t, std::int32_t>>> pieces;
    for (const Rect& l : lines) {
        if (l.left == l.right && l.top == l.bottom) return "a line of no length";
        if (l.top == l.bottom)
            pieces[{false, l.top}].push_back({std::min(l.left, l.right), std::max(l.left, l.right)});
        else if (l.left == l.right)
            pieces[{true, l.left}].push_back({std::min(l.top, l.bottom), std::max(l.top, l.bottom)});
    }
    for (auto& [key, list] : pieces) {
        std::sort(list.begin(), list.end());
        for (std::size_t i = 1; i < list.size(); ++i)
            if (list[i].first < list[i - 1].second)
                return std::string(key.first ? "x = " : "y = ") + std::to_string(key.second) + ": " +
                       std::to_string(list[i - 1].first) + ".." + std::to_string(list[i - 1].second) +
                       " and " + std::to_string(list[i].first) + ".." + std::to_string(list[i].second);
    }
    return "";
}

TEST_F(PainterTest, ASequenceDrawsItsEdgesInOrderAndTheFrameCloses) {
    display.levelNumbers = false;
    ConstructNode* level = segment(seq({text("a"), text("bc")}));
    const RecordingCanvas canvas = paint(level);
    // Margins 13 (half an indent, half a line unit); the head row is the
    // header placeholder (26) and half a line unit above and below; the
    // column is as wide as "<header>" (80).
    const std::vector<Rect> expected = {
        {13, 91, 13, 65},  {13, 65, 93, 65},    // "a": left edge upwards, top edge rightwards
        {13, 117, 13, 91}, {13, 91, 93, 91},    // "bc"
        {93, 65, 93, 117}, {93, 117, 13, 117},  // the frame: right edge down, bottom edge back
    };
    EXPECT_EQ(linesOf(canvas), expected);
    const std::vector<CanvasCall> texts = canvas.only(CanvasCall::Text);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text, "a");
    EXPECT_EQ(texts[0].at.left, 21);
    EXPECT_EQ(texts[0].at.top, 71) << "the inset below the top edge";
    EXPECT_EQ(texts[1].text, "bc");
    EXPECT_EQ(texts[2].text, "<header>");
    EXPECT_EQ(texts[2].colour, display.palette[kColourMetaStrings]);
    EXPECT_EQ(canvas.calls.front().kind, CanvasCall::Fill) << "the background first";
    EXPECT_EQ(canvas.calls.front().at, (Rect{0, 0, 106, 130}));
}

int collectLevels(ConstructNode* node, void* context) {
    if (node->type == ConstructType::Level)
        static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    return 1;
}

TEST_F(PainterTest, EveryEdgeIsDrawnOnce) {
    // The example programs and the generator's golden diagrams, every
    // segment of them, with construct numbers and labels.
    std::vector<ConstructNode*> levels;
    for (const auto& examples : {gen_test::pascalExamples(), gen_test::goldenDiagrams()})
        for (const ExampleDiagram& example : examples) {
            roots.push_back(example.build(doc));
            forEachNode(roots.back(), collectLevels, &levels);
        }
    display.lineNumbers = true;
    for (ConstructNode* level : levels) {
        const RecordingCanvas canvas = paint(level);
        EXPECT_EQ(overlappingLines(linesOf(canvas)), "") << displayText(childAt(level, Slot::Head));
    }
    ConstructNode* level = segment(view_test::everyConstruct(doc), "every construct");
    for (const bool numbers : {false, true})
        for (const bool vertical : {false, true}) {
            SCOPED_TRACE(std::to_string(numbers) + " numbers, vertical if " + std::to_string(vertical));
            display.lineNumbers = numbers;
            display.verticalIf = vertical;
            invalidateLayout(*state, kInvalidateAllViews);
            const RecordingCanvas canvas = paint(level);
            std::set<const ConstructNode*> drawn;
            for (const CanvasCall& c : canvas.only(CanvasCall::Begin)) drawn.insert(c.node);
            for (const ConstructNode* n = levelInfoOf(level)->body; n; n = n->next)
                EXPECT_TRUE(drawn.count(n)) << constructInfo(n->type)->name;
            EXPECT_EQ(overlappingLines(linesOf(canvas)), "");
        }
}

TEST_F(PainterTest, LinesOutsideTheClipBoxAreCountedNotDrawn) {
    ConstructNode* body = text("l1\r\nl2\r\nl3\r\nl4\r\nl5\r\nl6");
    ConstructNode* level = segment(body);
    layout(level);
    const std::int32_t top = 65 + 6;  // the text's first line
    PaintStats stats;
    const RecordingCanvas canvas = paint(level, Rect{0, top + 2 * 16, 200, top + 4 * 16}, &stats);
    const std::vector<CanvasCall> texts = canvas.only(CanvasCall::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "l3");
    EXPECT_EQ(texts[0].at.top, top + 2 * 16);
    EXPECT_EQ(texts[1].text, "l4");
    EXPECT_EQ(stats.skippedLines, 2);
}

TEST_F(PainterTest, ALongListCostsWhatIsVisible) {
    ConstructNode* body = nullptr;
    for (int i = 0; i < 1000; ++i) body = seq({text("statement"), body});
    ConstructNode* level = segment(body);
    display.lineNumbers = false;
    ASSERT_EQ(layout(level), LayoutResult::LaidOut);
    // The statements reaching into a view 800 high (and at the top the
    // header): each with two edges and a text.
    for (const std::int32_t top : {0, 13000, 25000}) {
        PaintStats stats;
        const RecordingCanvas canvas = paint(level, Rect{0, top, 1000, top + 800}, &stats);
        EXPECT_LE(stats.constructs, 800 / 26 + 2) << top;
        EXPECT_LE(canvas.drawCalls, 3 * stats.constructs + 6) << top << ": and the background and the frame";
    }
}

TEST_F(PainterTest, NumbersOnlyWithLineNumbersOnAndANumber) {
    struct Case {
        bool on;
        int number;
        bool shown;
    };
    for (const Case& c : {Case{false, 5, false}, Case{true, 0, false}, Case{true, 7, true}}) {
        ConstructNode* t = text("x");
        t->lineNumber = c.number;
        ConstructNode* level = segment(t);
        display.lineNumbers = c.on;
        display.levelNumbers = false;
        invalidateLayout(*state, kInvalidateAllViews);
        const RecordingCanvas canvas = paint(level);
        const std::vector<CanvasCall> boxes = canvas.only(CanvasCall::RoundRect);
        EXPECT_EQ(boxes.size(), c.shown ? 1u : 0u) << c.on << " " << c.number;
        if (c.shown) {
            EXPECT_EQ(boxes[0].colour, display.palette[kColourLineNumbers]);
            EXPECT_EQ(boxes[0].at.right, 13 + geometry(t).width - 2) << "against the right edge";
            EXPECT_EQ(canvas.only(CanvasCall::Text)[0].text, "7");
        }
    }
}

TEST_F(PainterTest, ColoursFollowThePaletteAndPrintMono) {
    display.palette[kColourLines] = 0x112233;
    ConstructNode* level = segment(seq({whileDo(nullptr, text("x")), specialText("s")}));
    const RecordingCanvas screen = paint(level);
    std::map<std::string, Colour> colours;
    for (const CanvasCall& c : screen.only(CanvasCall::Text)) colours[c.text] = c.colour;
    EXPECT_EQ(colours["while"], display.palette[kColourKeywords]);
    EXPECT_EQ(colours["<condition>"], display.palette[kColourMetaStrings]) << "an empty condition";
    EXPECT_EQ(colours["x"], display.palette[kColourText]);
    EXPECT_EQ(colours["s"], display.palette[kColourSpecialText]);
    EXPECT_EQ(screen.only(CanvasCall::Line)[0].colour, 0x112233u);
    // A print job with PrintMono: black on white, segments light grey.
    ctx.target = OutputTarget::PrintJob;
    display.printMono = true;
    for (int index : {kColourBackground, kColourSegments, kColourKeywords, kColourMetaStrings, kColourText})
        EXPECT_EQ(paletteColour(ctx, index), index == kColourBackground ? 0xFFFFFFu
                                             : index == kColourSegments ? 0xC0C0C0u
                                                                        : 0u);
}

// Text line k of a construct numbered n is generated line n + k: a marked
// line takes the special-lines colour, on the screen only.
TEST_F(PainterTest, MarkedLinesTakeTheirColourOnTheScreenOnly) {
    display.palette[kColourSpecialLines] = 0x00FF00;
    ConstructNode* two = text("a\r\nb");
    ConstructNode* one = text("c");
    ConstructNode* unnumbered = text("d");
    two->lineNumber = 5;
    one->lineNumber = 7;
    ConstructNode* level = segment(seq({two, one, unnumbered}));
    struct Case {
        OutputTarget target;
        std::vector<std::int32_t> lines;
        const char* marked;  // the texts drawn in the special colour
    };
    const Case cases[] = {
        {OutputTarget::Screen, {6}, "b"},        {OutputTarget::Screen, {5, 7}, "ac"},
        {OutputTarget::Screen, {0, 8}, ""},      {OutputTarget::Screen, {}, ""},
        {OutputTarget::PrintJob, {5, 6, 7}, ""},
    };
    for (const Case& k : cases) {
        ctx.target = k.target;
        ctx.specialLines = &k.lines;
        std::string marked;
        for (const CanvasCall& c : paint(level).only(CanvasCall::Text)) {
            if (c.colour == 0x00FF00) {
                marked += c.text;
            } else if (c.text.size() == 1 && c.text[0] >= 'a' && c.text[0] <= 'd') {
                EXPECT_EQ(c.colour, display.palette[kColourText]) << c.text;
            }
        }
        EXPECT_EQ(marked, k.marked) << k.lines.size() << " lines, target " << static_cast<int>(k.target);
    }
    ctx.specialLines = nullptr;
}

TEST_F(PainterTest, TheIfTriangleMeetsAtTheSplitPoint) {
    ConstructNode* iff = ifThen(text("c"), text("yes"), text("no"));
    ConstructNode* level = segment(iff);
    const RecordingCanvas canvas = paint(level);
    const ViewGeometry& g = geometry(iff);
    const std::int32_t x = 13;
    const std::int32_t y = 65;
    const std::vector<Rect> lines = linesOf(canvas);
    const Rect split{x + g.innerWidth, y + g.height - g.innerHeight, 0, 0};
    EXPECT_NE(std::find(lines.begin(), lines.end(), Rect{x, y, split.left, split.top}), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), Rect{split.left, split.top, x + g.width, y}),
              lines.end());
    std::map<std::string, Rect> at;
    for (const CanvasCall& c : canvas.only(CanvasCall::Text)) at[c.text] = c.at;
    EXPECT_EQ(at["then"].top, split.top - 26 + 6) << "one line above the branches";
    EXPECT_EQ(at["else"].left + 32, x + g.width - 8) << "right-aligned";
}

TEST_F(PainterTest, ALoneCarriageReturnIsDroppedFromTheText) {
    ConstructNode* level = segment(text("a\rb"));
    PaintStats stats;
    const RecordingCanvas canvas = paint(level, {}, &stats);
    EXPECT_EQ(canvas.only(CanvasCall::Text)[1].text, "ab") << "after the segment number";
    EXPECT_EQ(stats.loneCarriageReturns, 1);
}

}  // namespace
