#include "tests/view/view_helpers.h"

using namespace gen_test;

namespace view_test {

void ViewTest::SetUp() {
    TreeTest::SetUp();
    host = std::make_unique<HostRecorder>();
    initLanguageConfig(config);
    initDisplaySettings(display);
    ctx.state = state.get();
    ctx.display = &display;
    ctx.config = &config;
    ctx.metrics = &metrics;
}

void ViewTest::TearDown() {
    for (ConstructNode* root : roots) freeSequence(root);
    roots.clear();
    host.reset();
    TreeTest::TearDown();
}

ConstructNode* ViewTest::segment(ConstructNode* body, const char* header) {
    ConstructNode* level = gen_test::segment(doc, header, body);
    roots.push_back(level);
    return level;
}

RecordingCanvas ViewTest::paint(ConstructNode* level, Rect clip, PaintStats* stats) {
    layoutSegment(ctx, level);
    if (clip == Rect{}) {
        const Extent size = segmentSize(level, ctx.view);
        clip = {0, 0, size.width, size.height};
    }
    RecordingCanvas canvas(clip);
    paintSegment(ctx, canvas, level, stats);
    return canvas;
}

ConstructNode* everyConstruct(DiagramDocument& doc) {
    const int commands[] = {3000, 3010, 3100, 3150, 3200, 3300, 3500, 3600, 3650, 3700, 3710,
                            3720, 3730, 3733, 3735, 3740, 3745, 3750, 3770, 3775, 3780, 3790,
                            3880, 4600, 5000, 5100, 5200, 5300, 5400, 3050, 3737};
    ConstructNode* head = nullptr;
    for (int command : commands) {
        ConstructNode* n = newConstruct(&doc, command);
        EXPECT_NE(n, nullptr) << command;
        head = seq({head, n});
    }
    // Compound conditions: an if over "and" of a text and "not", a while
    // over "or", a repeat over "xor".
    ConstructNode* andOp = andOf(seq({text("a > 0"), notOf(text("b"))}));
    ConstructNode* iff = ifThen(andOp, text("then"), text("else"));
    ConstructNode* loopOr = whileDo(orOf(seq({text("x"), text("y")})), text("body"));
    ConstructNode* xorOp = newConstruct(&doc, 4340);
    ConstructNode* rep = repeatUntil(text("r"), xorOp);
    ConstructNode* labelled = gen_test::labelled(text("with labels"), "L", "R");
    ConstructNode* lines = text("one\r\ntwo\r\nthree");
    lines->lineNumber = 12;
    iff->lineNumber = 7;
    return seq({head, iff, loopOr, rep, labelled, lines});
}

std::string examplesDir() {
    return gen_test::examplesDir();
}

}  // namespace view_test
