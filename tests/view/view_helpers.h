// A fixture for the view's tests: a fixed-pitch font of 8 x 16 units with a
// descent of 4 (so lineUnit = indent = 26, the empty box 64 x 58, the text
// inset 8 x 6), the built-in keywords and placeholders, the default display
// settings, and a scripted host.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/language_config.h"
#include "tests/core/tree_helpers.h"
#include "tests/generator/generator_helpers.h"
#include "tests/support/host_recorder.h"
#include "view/layout.h"
#include "view/painter.h"
#include "view/recording_canvas.h"

namespace view_test {

class ViewTest : public tree_test::TreeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A top segment with `body` (and the header text, or a placeholder),
    // freed with the fixture.
    ConstructNode* segment(ConstructNode* body, const char* header = nullptr);
    // Lays the segment out for the screen view.
    LayoutResult layout(ConstructNode* level) { return layoutSegment(ctx, level); }
    // Lays out and paints the segment onto a recording canvas clipped to
    // `clip` (the whole segment when empty).
    RecordingCanvas paint(ConstructNode* level, Rect clip = {}, PaintStats* stats = nullptr);

    const ViewGeometry& geometry(const ConstructNode* node) const { return node->views[ctx.view]; }

    LanguageConfig config{};
    DisplaySettings display{};
    FixedTextMetrics metrics{8, 16, 4};
    std::unique_ptr<ViewState> state = std::make_unique<ViewState>();
    ViewContext ctx{};
    std::unique_ptr<HostRecorder> host;
    std::vector<ConstructNode*> roots;
};

// A diagram with every construct type the editor creates, from the
// construct templates, with compound conditions, labels, texts and line
// numbers.
ConstructNode* everyConstruct(DiagramDocument& doc);

// The repository's examples/ folder.
std::string examplesDir();

}  // namespace view_test
