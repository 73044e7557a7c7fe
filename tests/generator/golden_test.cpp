// Golden sources: diagrams covering every construct the generator writes,
// generated with the embedded Pascal configuration and compared with the
// sources checked in under tests/generator/golden/. Set KORRIN_UPDATE_GOLDEN
// to write them anew.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/element_stream.h"
#include "tests/generator/example_diagrams.h"
#include "tests/generator/generator_helpers.h"

namespace {

using namespace gen_test;

class GoldenTest : public GeneratorTest {
protected:
    // The generated text with the variable parts replaced: the time, the
    // diagram's path; line ends as LF.
    std::string normalised(std::string text) {
        EXPECT_EQ(text.find('\n') == std::string::npos || text.find("\r\n") != std::string::npos, true);
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
            EXPECT_TRUE(at > 0 && text[at - 1] == '\r') << "line ends are CR LF";
        char time[64];
        systemTimeText(fixedTime(), time, sizeof time);
        replaceAll(text, time, "<TIME>");
        std::string file = doc.ownFile.path;
        for (char& c : file) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        replaceAll(text, file, "<FILE>");
        return unixLines(text);
    }

    static void replaceAll(std::string& text, const std::string& what, const std::string& by) {
        if (what.empty()) return;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + by.size()))
            text.replace(at, what.size(), by);
    }

    void check(const ExampleDiagram& diagram, const std::string& generated) {
        const std::string path = goldenDir() + "/" + diagram.name + ".pas";
        if (std::getenv("KORRIN_UPDATE_GOLDEN")) writeFile(path, generated);
        EXPECT_EQ(generated, readFile(path)) << diagram.name;
    }
};

int loadByTitle(ConstructNode* node, void* context) {
    // Segments whose titles start with "one" are in memory before the
    // generation; the others stay on disk.
    if (node->type == ConstructType::Level) {
        const ConstructNode* head = partNode(node, 0);
        if (const char* t = textOf(head); t && std::strncmp(t, "one", 3) == 0 && std::strlen(t) <= 5)
            static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    }
    return 1;
}

TEST_F(GoldenTest, EveryDiagramMatchesItsSource) {
    usePascalConfig();
    for (const ExampleDiagram& diagram : goldenDiagrams()) {
        SCOPED_TRACE(diagram.name);
        ASSERT_TRUE(openDiagram(diagram.build(doc), std::string(diagram.name) + ".vrd"))
            << (host->messages.empty() ? "" : host->messages[0].text);
        std::vector<ConstructNode*> loadedBefore;
        if (std::strcmp(diagram.name, "segments") == 0) {
            ASSERT_EQ(ensureLoaded(doc.root, &doc), 1);
            forEachNode(doc.root, loadByTitle, &loadedBefore);
            for (ConstructNode* level : loadedBefore) ASSERT_EQ(ensureLoaded(level, &doc), 1);
            std::vector<ConstructNode*> nested;
            for (ConstructNode* level : loadedBefore)
                forEachNode(levelInfoOf(level)->body, loadByTitle, &nested);
            for (ConstructNode* level : nested) ASSERT_EQ(ensureLoaded(level, &doc), 1);
            loadedBefore.insert(loadedBefore.end(), nested.begin(), nested.end());
            ASSERT_EQ(loadedBefore.size(), 3u) << "one, one.a, one.b";
        }
        ASSERT_EQ(generateTo(std::string(diagram.name) + ".pas"), 1);
        EXPECT_TRUE(host->messages.empty());
        check(diagram, normalised(output(std::string(diagram.name) + ".pas")));
        // What was in memory stays; what was on disk is on disk again.
        for (ConstructNode* level : loadedBefore) EXPECT_TRUE(segmentFlags(level) & kSegLoaded);
        if (!loadedBefore.empty()) {
            EXPECT_TRUE(segmentFlags(doc.root) & kSegLoaded);
            for (ConstructNode* node : nodesOf(doc.root)) {
                if (node->type == ConstructType::Level && node != doc.root &&
                    std::find(loadedBefore.begin(), loadedBefore.end(), node) == loadedBefore.end()) {
                    EXPECT_FALSE(segmentFlags(node) & kSegLoaded) << textOf(partNode(node, 0));
                }
            }
        }
    }
}

}  // namespace
