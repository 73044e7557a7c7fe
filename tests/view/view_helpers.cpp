#include "tests/view/view_helpers.h"

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

std::string examplesDir() {
    return gen_test::examplesDir();
}

}  // namespace view_test
