// Export and import again: every sample diagram and random diagrams come
// back with the same constructs, texts, labels, line numbers, level ids and
// options; a second export is byte for byte the first.
#include <gtest/gtest.h>

#include <sstream>

#include "import/transfer_export.h"
#include "resources/strings.h"
#include "tests/import/import_helpers.h"

namespace import_test {
namespace {

class RoundTrip : public ImportTest {
protected:
    // Exports `source`, imports the file into a new document and checks what
    // the file carries; returns the new document.
    DiagramDocument* roundTrip(DiagramDocument* source, bool oem, std::string* first = nullptr) {
        const std::string text = exportText(source, oem);
        TempName file(".etf");
        writeFile(file.path(), text);
        g_importEnvironment.etfFileFormat = oem ? &kOem : &kAnsi;
        DiagramDocument* target = newDocument(documents);
        ConstructNode* root = importFile(file.path(), true, target);
        EXPECT_NE(root, nullptr) << lastErrors;
        target->root = root;
        EXPECT_EQ(carried(target), carried(source));
        // This edition warns about labels (and keeps them); nothing else.
        std::istringstream lines(lastErrors);
        for (std::string line; std::getline(lines, line);)
            EXPECT_NE(line.find(": Warning: Label not supported.\r"), std::string::npos) << line;
        for (const RecordedMessage& m : host.messages) EXPECT_EQ(m.id, IDS_ANALYSIS_ERROR_LIST) << m.text;
        host.messages.clear();
        if (first) *first = text;
        return target;
    }
    static constexpr int kOem = 1;
    static constexpr int kAnsi = 0;
};

TEST_F(RoundTrip, EverySampleComesBackTheSameAndExportsIdentically) {
    for (int i = 0; i < sampleCount(); ++i) {
        SCOPED_TRACE(sampleName(i));
        DiagramDocument* source = newDocument(documents);
        buildSample(i, source);
        for (bool oem : {false, true}) {
            std::string first;
            DiagramDocument* again = roundTrip(source, oem, &first);
            EXPECT_EQ(exportText(again, oem), first);
        }
    }
}

TEST_F(RoundTrip, RandomDiagrams) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        DiagramDocument* source = newDocument(documents);
        buildRandom(seed, source);
        std::string first;
        DiagramDocument* again = roundTrip(source, false, &first);
        EXPECT_EQ(exportText(again, false), first);
    }
}

TEST_F(RoundTrip, InsertingTakesTheTopSegmentsContentAndNewIds) {
    DiagramDocument* source = newDocument(documents);
    buildSample(1, source);
    const std::string text = exportText(source);
    doc.lastLevelId = 50;
    doc.shortInfo = nullptr;
    ConstructNode* inserted = importText(text, &doc, kImportInserting | kImportNewLevelIds, kLoadModeInsert);
    ASSERT_NE(inserted, nullptr);
    // The top segment's content, not the segment.
    EXPECT_EQ(tree_test::shape(inserted), tree_test::shape(levelInfoOf(source->root)->body));
    // Nothing of the document information is taken over.
    EXPECT_EQ(doc.shortInfo, nullptr);
    EXPECT_EQ(doc.display, DisplayOptions{});
    EXPECT_GT(doc.lastLevelId, 50u);
}

}  // namespace
}  // namespace import_test
