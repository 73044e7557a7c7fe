// The page model with the fixed-pitch font of the view tests (8 x 16,
// descent 4: lineUnit 26): page grids, the order and parts of the sheets,
// save space, fit into page, the header line and the print scopes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "print/page_header.h"
#include "print/pages.h"
#include "print/print_settings.h"
#include "resources/strings.h"
#include "tests/view/view_helpers.h"

using namespace gen_test;

namespace {

// The fixed-pitch font at any height: characters half as wide, the
// descent a quarter; one unit a point.
class ScaledFonts final : public PrinterFonts {
public:
    std::int32_t height() const override { return 16; }
    std::int32_t unitsPerPoint() const override { return 1; }
    std::int32_t fromTenths(std::int32_t tenths) const override { return tenths / 10; }
    const TextMetrics* at(std::int32_t h) override {
        heights.push_back(h);
        current = FixedTextMetrics(std::max(1, h / 2), h, h / 4);
        return &current;
    }
    std::vector<std::int32_t> heights;
    FixedTextMetrics current{8, 16, 4};
};

struct Sheet {
    unsigned page;
    std::vector<Rect> parts;       // content rectangles drawn
    std::vector<std::int32_t> ys;  // where on the sheet
    std::vector<int> views;
};

class RecordingSink final : public PageSink {
public:
    bool startSheet(unsigned page, const ConstructNode*) override {
        sheets.push_back({page, {}, {}, {}});
        return stopAfter < 0 || static_cast<int>(sheets.size()) <= stopAfter;
    }
    bool drawPart(const ViewContext& ctx, ConstructNode*, const Rect& part, std::int32_t,
                  std::int32_t y) override {
        sheets.back().parts.push_back(part);
        sheets.back().ys.push_back(y);
        sheets.back().views.push_back(ctx.view);
        return true;
    }
    bool endSheet() override {
        ++ended;
        return true;
    }
    std::vector<Sheet> sheets;
    int ended = 0;
    int stopAfter = -1;
};

class PagesTest : public view_test::ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        setup.ctx = ctx;
        setup.ctx.view = kViewPrinter;
        setup.ctx.target = OutputTarget::PrintJob;
        setup.fonts = &fonts;
    }
    // A statement `columns` characters wide and `lines` lines high.
    static ConstructNode* block(int columns, int lines) {
        std::string t;
        for (int i = 0; i < lines; ++i)
            t += std::string(static_cast<std::size_t>(columns), 'x') + (i + 1 < lines ? "\r\n" : "");
        return text(t.c_str());
    }
    Extent sizeOf(ConstructNode* level, int view = kViewPrinter) {
        ViewContext c = setup.ctx;
        c.view = view;
        layoutSegment(c, level);
        return segmentSize(level, view);
    }
    PrintOutcome print(ConstructNode* current, RecordingSink& sink) {
        return printArea(setup, &doc, current, nullptr, nullptr, sink);
    }
    ScaledFonts fonts;
    PrintSetup setup;
};

TEST(PageGridTest, PagesAcrossAndDown) {
    struct Case {
        Extent content;
        PageFrame frame;
        PageGrid grid;
    } cases[] = {
        {{100, 100}, {100, 100, 0}, {1, 1}},  {{101, 100}, {100, 100, 0}, {2, 1}},
        {{150, 100}, {100, 120, 20}, {2, 1}}, {{150, 101}, {100, 120, 20}, {2, 2}},
        {{100, 401}, {100, 100, 0}, {1, 5}},  {{kWorksheetLimit, 10}, {100, 100, 0}, {0, 0}},
        {{10, 10}, {100, 20, 20}, {0, 0}},  // no room below the header
    };
    for (const Case& c : cases)
        EXPECT_EQ(pageGrid(c.content, c.frame), c.grid)
            << c.content.width << "x" << c.content.height << " on " << c.frame.width << "x" << c.frame.height;
}

TEST_F(PagesTest, WideAndTallSegmentsAreCutInColumnsThenRows) {
    ConstructNode* wide = segment(block(60, 2), "wide");  // about one and a half pages across
    ConstructNode* tall = segment(block(10, 30), "tall");
    const Extent w = sizeOf(wide);
    const Extent t = sizeOf(tall);
    setup.frame = {w.width * 2 / 3, w.height + 20, 20};
    setup.settings.startPageNumber = 5;

    RecordingSink sink;
    PrintOutcome out = print(wide, sink);
    ASSERT_EQ(sink.sheets.size(), 2u);
    EXPECT_EQ(sink.sheets[0].page, 5u);
    EXPECT_EQ(sink.sheets[1].page, 6u);
    EXPECT_EQ(sink.sheets[0].parts[0], (Rect{0, 0, setup.frame.width, w.height}));
    EXPECT_EQ(sink.sheets[1].parts[0], (Rect{setup.frame.width, 0, w.width, w.height}));
    EXPECT_EQ(out.sheets, 2u);
    EXPECT_EQ(sink.ended, 2);

    // Tall and wide at once: every row of the first column, then the second.
    setup.frame = {t.width - 10, t.height / 3 + 20, 20};
    RecordingSink tallSink;
    print(tall, tallSink);
    const PageGrid grid = pageGrid(t, setup.frame);
    ASSERT_EQ(grid, (PageGrid{2, 4}));
    ASSERT_EQ(tallSink.sheets.size(), 8u);
    const std::int32_t body = setup.frame.bodyHeight();
    for (int i = 0; i < 8; ++i) {
        const Rect& part = tallSink.sheets[static_cast<std::size_t>(i)].parts[0];
        EXPECT_EQ(part.left, i / 4 * setup.frame.width) << i;
        EXPECT_EQ(part.top, i % 4 * body) << i;
        EXPECT_EQ(part.bottom, std::min(t.height, (i % 4 + 1) * body)) << i;
    }
}

TEST_F(PagesTest, SaveSpaceSharesASheetAndItsPageNumber) {
    ConstructNode* inner = segment(text("small two"), "inner");
    ConstructNode* top = segment(seq({text("small one"), inner}), "top");
    roots.pop_back();  // freed with the top segment
    roots.pop_back();
    roots.push_back(top);
    const Extent a = sizeOf(top);
    const Extent b = sizeOf(inner);
    setup.frame = {std::max(a.width, b.width) + 10, a.height + b.height + 40, 30};
    setup.settings.area = kAreaDiagram;
    setup.settings.saveSpace = true;

    RecordingSink shared;
    PrintOutcome out = print(top, shared);
    ASSERT_EQ(shared.sheets.size(), 1u);
    EXPECT_EQ(out.segments, 2u);
    ASSERT_EQ(shared.sheets[0].parts.size(), 2u);
    EXPECT_EQ(shared.sheets[0].ys, (std::vector<std::int32_t>{0, a.height}));
    EXPECT_EQ(shared.ended, 1);

    // Without room for the second, or without save space: a sheet each.
    setup.frame.height = a.height + b.height + 29;
    RecordingSink full;
    print(top, full);
    ASSERT_EQ(full.sheets.size(), 2u);
    EXPECT_EQ(full.sheets[1].page, 2u);
    setup.frame.height += 100;
    setup.settings.saveSpace = false;
    RecordingSink off;
    print(top, off);
    EXPECT_EQ(off.sheets.size(), 2u);
}

TEST_F(PagesTest, FitIntoPageEndsAtTheMinimalFontWithFewerPages) {
    ConstructNode* big = segment(block(200, 40), "big");
    const Extent natural = sizeOf(big);
    setup.frame = {natural.width / 4, natural.height / 4 + 10, 10};
    const PageGrid unfitted = pageGrid(natural, setup.frame);
    setup.settings.fitIntoPage = true;

    struct Case {
        std::int32_t minFontSize;  // tenths: one unit a point
        bool onePage;
    } cases[] = {{10, true}, {80, false}};
    for (const Case& c : cases) {
        setup.settings.minFontSize = c.minFontSize;
        fonts.heights.clear();
        ViewContext chosen;
        const SegmentPages pages = layoutForPrinting(setup, big, nullptr, nullptr, &chosen);
        EXPECT_EQ(pages.view, kViewPrinterFitted);
        EXPECT_EQ(chosen.view, kViewPrinterFitted);
        EXPECT_GE(pages.fontHeight, c.minFontSize / 10);
        EXPECT_LT(pages.fontHeight, 16);
        EXPECT_LE(pages.fitLayouts, 16) << "the loop ends";
        for (std::size_t i = 1; i < fonts.heights.size(); ++i)
            EXPECT_LT(fonts.heights[i], fonts.heights[i - 1]);
        EXPECT_LT(pages.grid.across * pages.grid.down, unfitted.across * unfitted.down) << c.minFontSize;
        EXPECT_EQ(pages.grid.across == 1 && pages.grid.down == 1, c.onePage) << c.minFontSize;
        if (!c.onePage) {
            EXPECT_EQ(pages.fontHeight, 8) << "no smaller than the minimum";
        }
    }

    // Already at the minimum: no smaller font is possible, view 1 stays.
    setup.settings.minFontSize = 160;
    const SegmentPages kept = layoutForPrinting(setup, big, nullptr, nullptr, nullptr);
    EXPECT_EQ(kept.view, kViewPrinter);
    EXPECT_EQ(kept.grid, unfitted);
}

TEST_F(PagesTest, LowerSegmentsToTheDepthAndTooLargeOnesSkipped) {
    std::string huge(4200, 'w');  // over the worksheet in width
    ConstructNode* deep = segment(text("deep"), "deep");
    ConstructNode* wide = segment(text(huge.c_str()), "wide");
    ConstructNode* mid = segment(seq({text("mid"), deep}), "mid");
    ConstructNode* top = segment(seq({text("top"), mid, wide}), "top");
    roots.clear();
    roots.push_back(top);
    setup.frame = {3000, 3000, 0};
    setup.settings.lowerSegments = true;

    struct Case {
        std::uint16_t depth;
        unsigned segments;
        unsigned skipped;
    } cases[] = {{0, 1, 0}, {1, 2, 1}, {kNoDepthLimit, 3, 1}};
    for (const Case& c : cases) {
        setup.settings.maxDepth = c.depth;
        host->messages.clear();
        RecordingSink sink;
        const PrintOutcome out = print(top, sink);
        EXPECT_EQ(out.segments, c.segments) << c.depth;
        EXPECT_EQ(out.skipped, c.skipped) << c.depth;
        EXPECT_EQ(host->saw(IDS_EXCEEDS_WORKSHEET_PRINTED), c.skipped > 0) << c.depth;
        EXPECT_EQ(host->messages.size(), c.skipped) << "one message for the skipped segment";
    }
    // Counting shows nothing.
    host->messages.clear();
    PrintSetup counting = setup;
    counting.ctx.target = OutputTarget::PageCount;
    EXPECT_EQ(countPages(counting, wide), (PageGrid{}));
    EXPECT_TRUE(host->messages.empty());
}

TEST_F(PagesTest, SelectedAreaPrintsTheRangeAndStopsWhenTheSinkDoes) {
    ConstructNode* a = block(5, 1);
    ConstructNode* b = block(5, 6);
    ConstructNode* c = block(40, 1);
    ConstructNode* level = segment(seq({a, b, c}), "sel");
    const Extent whole = sizeOf(level);
    setup.frame = {whole.width, whole.height, 0};
    setup.settings.area = kAreaSelection;
    RecordingSink sink;
    printArea(setup, &doc, level, b, b, sink);
    ASSERT_EQ(sink.sheets.size(), 1u);
    const Rect part = sink.sheets[0].parts[0];
    EXPECT_EQ(part.bottom - part.top, b->views[kViewPrinter].height + 26) << "the construct and the margins";
    EXPECT_GT(part.top, 0);

    // A sink that stops after the first sheet ends the job there.
    setup.settings.area = kAreaCurrentSegment;
    setup.frame = {whole.width / 3, whole.height, 0};
    RecordingSink stopping;
    stopping.stopAfter = 0;
    const PrintOutcome out = print(level, stopping);
    EXPECT_TRUE(out.stopped);
    EXPECT_EQ(stopping.sheets.size(), 1u);
}

TEST(PageHeaderTest, VariablesAndTheSplit) {
    HeaderFields f;
    f.application = "Korrin(VRD)";
    f.version = "1.0";
    f.fileName = "loops.vrd";
    f.pathName = "C:\\d\\loops.vrd";
    f.printDate = "09.12.2026";
    f.printTime = "07:30";
    struct Case {
        const char* pattern;
        unsigned page;
        const char* left;
        const char* right;
    } cases[] = {
        {"%AP%-V%VN% - %FN% %->% %PD% %PT% Page %##%", 5, "Korrin(VRD)-V1.0 - loops.vrd",
         "09.12.2026 07:30 Page 5"},
        {"%APPLICATION% %PATHNAME% Page %##%", 12, "Korrin(VRD) C:\\d\\loops.vrd Page 12", ""},
        {"%->%%FILENAME%", 1, "", "loops.vrd"},
        {"100% done %XY% %FN%", 1, "100% done %XY% loops.vrd", ""},
        {"%SD%%ST%|%", 1, "|%", ""},
    };
    for (const Case& c : cases) {
        const HeaderLine line = pageHeaderLine(c.pattern, f, c.page);
        EXPECT_STREQ(line.left, c.left) << c.pattern;
        EXPECT_STREQ(line.right, c.right) << c.pattern;
    }
    char job[64];
    expandHeader("%AP%: Structure list for %FN%", f, 0, job, 20);
    EXPECT_STREQ(job, "Korrin(VRD): Struct");
}

TEST(PrintScopeTest, CommandLineScopesMapToAreas) {
    PrintSettings saved;
    saved.area = kAreaCurrentSegment;
    saved.maxDepth = 2;
    saved.startPageNumber = 5;
    saved.fitIntoPage = true;
    struct Case {
        std::uint32_t scope;
        int area;
        bool lower;
        std::uint16_t depth;
        StructureKind kind;
    } cases[] = {
        {7, kAreaDiagram, true, kNoDepthLimit, StructureKind::Functions},
        {8, kAreaCurrentSegment, false, 2, StructureKind::Functions},
        {6, kAreaStructureList, false, 2, StructureKind::Functions},
        {0, kAreaStructureList, false, 2, StructureKind::Segments},
        {1, kAreaStructureList, false, 2, StructureKind::Procedures},
        {40, kAreaDiagram, true, kNoDepthLimit, StructureKind::Functions},
    };
    for (const Case& c : cases) {
        const PrintSettings s = settingsForScope(c.scope, saved, 2);
        EXPECT_EQ(s.area, c.area) << c.scope;
        EXPECT_EQ(s.lowerSegments, c.lower) << c.scope;
        EXPECT_EQ(s.maxDepth, c.depth) << c.scope;
        EXPECT_EQ(s.listKind, c.kind) << c.scope;
        EXPECT_EQ(s.startPageNumber, 5) << "the layout options stay: " << c.scope;
        EXPECT_TRUE(s.fitIntoPage) << c.scope;
    }
    EXPECT_EQ(settingsForScope(6, saved, 9).listKind, StructureKind::Segments) << "an unknown type";
}

TEST(StructureListPagesTest, LinesPerPageAndIndentation) {
    EXPECT_EQ(listPages(0, 10, {100, 105, 20}).pages, 1);
    const ListPages pages = listPages(17, 10, {100, 105, 20});
    EXPECT_EQ(pages.linesPerPage, 8);
    EXPECT_EQ(pages.pages, 3);
    StructureEntry entry{{}, -1, 2, "7 sort", "sort"};
    char line[32];
    listLine(entry, line, sizeof line);
    EXPECT_STREQ(line, "    7 sort");
}

}  // namespace

namespace {
TEST(SpoolerErrorTest, CodesAndSystemErrorsNameTheirText) {
    struct Case {
        int code;
        unsigned long error;
        unsigned text;
    } cases[] = {{-2, 0, IDS_SPOOL_JOB_CANCELLED},    {-3, 0, IDS_SPOOL_JOB_CANCELLED},
                 {-4, 0, IDS_SPOOL_OUT_OF_DISK},      {-5, 0, IDS_SPOOL_OUT_OF_MEMORY},
                 {-1, 112, IDS_SPOOL_OUT_OF_DISK},    {-1, 8, IDS_SPOOL_OUT_OF_MEMORY},
                 {-1, 1223, IDS_SPOOL_JOB_CANCELLED}, {-1, 5, IDS_SPOOL_UNIDENTIFIABLE}};
    for (const Case& c : cases)
        EXPECT_EQ(spoolerErrorText(c.code, c.error), c.text) << c.code << " " << c.error;
}
}  // namespace
