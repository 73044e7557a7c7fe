// Pictures: golden SVGs of every diagram in examples/, one per segment
// (name.svg for the top segment, name-<level id>.svg for the others), drawn
// with fixed-pitch metrics of the diagram's screen font and checked in
// under tests/view/golden/; set KORRIN_UPDATE_GOLDEN to write them anew.
#include <cstdlib>
#include <filesystem>

#include "core/diagram_file.h"
#include "tests/view/view_helpers.h"
#include "view/svg_canvas.h"

namespace {

using view_test::ViewTest;

std::string goldenDir() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of("/\\")) + "/golden";
}

// Tags open and close in order, attributes are quoted, and text holds no
// bare '<' or '&'.
std::string wellFormed(const std::string& xml) {
    std::vector<std::string> open;
    std::size_t at = 0;
    while ((at = xml.find('<', at)) != std::string::npos) {
        const std::size_t end = xml.find('>', at);
        if (end == std::string::npos) return "unclosed tag";
        const std::string tag = xml.substr(at + 1, end - at - 1);
        const std::size_t next = xml.find('<', end);
        const std::string text =
            xml.substr(end + 1, (next == std::string::npos ? xml.size() : next) - end - 1);
        for (std::size_t amp = text.find('&'); amp != std::string::npos; amp = text.find('&', amp + 1))
            if (text.find(';', amp) == std::string::npos) return "bare & in " + text;
        at = end + 1;
        if (tag.empty() || tag[0] == '?') continue;
        if (std::count(tag.begin(), tag.end(), '"') % 2) return "unquoted attribute in " + tag;
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1))
                return "</" + tag.substr(1) + "> closes nothing";
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(tag.substr(0, tag.find(' ')));
        }
    }
    return open.empty() ? "" : "<" + open.back() + "> left open";
}

// The first line where two texts differ, with its number; empty when equal.
std::string firstDifference(const std::string& actual, const std::string& expected) {
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            out.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return out;
    };
    const std::vector<std::string> a = lines(actual);
    const std::vector<std::string> e = lines(expected);
    for (std::size_t i = 0; i < std::max(a.size(), e.size()); ++i) {
        const std::string got = i < a.size() ? a[i] : "(end)";
        const std::string want = i < e.size() ? e[i] : "(end)";
        if (got != want) return "line " + std::to_string(i + 1) + ": " + got + "\n expected: " + want;
    }
    return "";
}

class PictureTest : public ViewTest {
protected:
    // Every segment of the diagram file, bodies loaded.
    std::vector<ConstructNode*> openExample(const std::string& path) {
        EXPECT_EQ(openDocument(&doc, path.c_str(), kReadKeepLineNumbers, true), 1) << path;
        std::vector<ConstructNode*> levels;
        if (!doc.root) return levels;
        levels.push_back(doc.root);
        for (std::size_t i = 0; i < levels.size(); ++i) {
            EXPECT_EQ(ensureLoaded(levels[i], &doc), 1);
            forEachNode(levelInfoOf(levels[i])->body, collectLevels, &levels);
        }
        return levels;
    }
    static int collectLevels(ConstructNode* node, void* context) {
        if (node->type == ConstructType::Level)
            static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
        return 1;
    }
    void TearDown() override {
        closeDocument(&doc);
        ViewTest::TearDown();
    }
};

TEST_F(PictureTest, EveryExampleDiagramMatchesItsGoldenPictures) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(view_test::examplesDir()))
        if (entry.path().extension() == ".vrd") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    ASSERT_FALSE(names.empty());
    ASSERT_EQ(gen_test::readFile(view_test::examplesDir() + "/pascal.cfg").empty(), false);
    loadLanguageConfig(config, nullptr, (view_test::examplesDir() + "/pascal.cfg").c_str(), true);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::vector<ConstructNode*> levels =
            openExample(view_test::examplesDir() + "/" + name + ".vrd");
        ASSERT_FALSE(levels.empty());
        display = displayForDocument(display, doc.display);
        FixedTextMetrics font = FixedTextMetrics::forPoints(display.screenFont.points);
        ctx.metrics = &font;
        invalidateLayout(*state, kInvalidateScreenFont);
        for (ConstructNode* level : levels) {
            std::string svg;
            ASSERT_TRUE(writeSegmentSvg(ctx, level, svg));
            EXPECT_EQ(wellFormed(svg), "");
            const std::string suffix =
                level == doc.root ? "" : "-" + std::to_string(levelInfoOf(level)->levelId);
            const std::string path = goldenDir() + "/" + name + suffix + ".svg";
            if (std::getenv("KORRIN_UPDATE_GOLDEN")) gen_test::writeFile(path, svg);
            EXPECT_EQ(firstDifference(svg, gen_test::readFile(path)), "") << path;
        }
        closeDocument(&doc);
    }
    EXPECT_TRUE(host->messages.empty()) << host->lastText();
}

}  // namespace
