// The transfer-file export: the layout of the entries, the character set,
// the keyword table, segments on disk, failures, and the export commands.
#include <gtest/gtest.h>

#include <cstring>

#include "core/allocator.h"
#include "core/outcome.h"
#include "generator/generation.h"
#include "import/document_attributes.h"
#include "import/transfer_export.h"
#include "import/transfer_keywords.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "tests/import/import_helpers.h"

namespace import_test {
namespace {

using CT = ConstructType;

class Export : public ImportTest {};

const char* const kDefaultOptions =
    "Options;\r\nIfLayout=horizontal\r\nLevelNumbers=no\r\nLineNumbers=no\r\n"
    "Colors=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"
    "ScreenFont=,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\nPrinterFont=,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n";

TEST_F(Export, WritesHeaderShortInfoOptionsAndConstructEntries) {
    Builder b{&doc};
    doc.shortInfo = memStrDup("first\r\nsecond");
    doc.root = b.level(
        4, 7, b.text("head", 7),
        seq({b.labelled(b.text("one\r\ntwo\r\nthree", 0), "L", nullptr),
             b.make(CT::If, 12, {b.text("c", 12), nullptr, seq({b.text("e", 13)})}),
             b.make(CT::OnConditionBranch, 0, {b.text("x"), b.text("y")}), b.level(5, 0, nullptr, nullptr)}));
    const std::string expected =
        std::string("Korrin=VRD V6.32 2024-01-02 03:04:05\r\n") +
        "ShortInfo;\r\nLine=first\r\nLine=second\r\nEndShortInfo;\r\n" + kDefaultOptions +
        "LastLevelId=5\r\nEndOptions;\r\n"
        "Level=4:7\r\nText:7\r\nLine=head\r\nEndText;\r\nLevelBody;\r\n"
        "Text;\r\nLabel=L\r\nLine=one\r\nLine=two\r\nLine=three\r\nEndText;\r\n"
        "If:12\r\nText:12\r\nLine=c\r\nEndText;\r\nThen;\r\nDummy;\r\nElse;\r\n"
        "Text:13\r\nLine=e\r\nEndText;\r\nEndIf;\r\n"
        "OnConditionBranch;\r\nText;\r\nLine=x\r\nEndText;\r\nOnConditionBranchBody;\r\n"
        "Text;\r\nLine=y\r\nEndText;\r\nEndOnConditonBranch;\r\n"
        "Level=5\r\nDummy;\r\nLevelBody;\r\nEndLevel;\r\n"
        "EndLevel;\r\n";
    EXPECT_EQ(exportText(), expected);
}

TEST_F(Export, TheHeaderTimeIsWrittenAsTheGeneratorWritesIt) {
    setExportClock(nullptr);
    const auto timeText = [] {
        GenTime now{};
        localNow(&now);
        char text[64];
        systemTimeText(now, text, sizeof text);
        return std::string(text);
    };
    const std::string before = timeText();
    const std::string text = exportText();
    const std::string header = text.substr(0, text.find("\r\n"));
    const std::string after = timeText();
    EXPECT_TRUE(header == "Korrin=VRD V6.32 " + before || header == "Korrin=VRD V6.32 " + after) << header;
}

TEST_F(Export, OptionValuesFontsAndColours) {
    doc.display = sampleOptions();
    doc.lastLevelId = 77;
    const std::string text = exportText();
    EXPECT_NE(text.find("IfLayout=vertical\r\nLevelNumbers=yes\r\nLineNumbers=yes\r\n"), std::string::npos);
    EXPECT_NE(text.find("ScreenFont=Courier New,Regular,-13,4660,400,-1,7,200,900,-900,1,0,238,3,2,1,49,12,"
                        "-2147483648\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("PrinterFont=Arial,,10,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2147483647\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("Colors=255,65790,131325,"), std::string::npos);
    EXPECT_NE(text.find("LastLevelId=77\r\nEndOptions;\r\n"), std::string::npos);
}

TEST_F(Export, OemCharacterSetControlZAndConstructsWithoutEntries) {
    Builder b{&doc};
    ConstructNode* freeFormat = b.text("free", 3, CT::FreeFormat);
    doc.root =
        b.level(1, 0, nullptr, seq({b.text("\xe4\x1a!", 2), freeFormat, b.make(CT::Xor, 4, {nullptr})}));
    const std::string ansi = exportText(&doc, false);
    EXPECT_NE(ansi.find("Line=\xe4 !\r\n"), std::string::npos);
    EXPECT_EQ(ansi.find("free"), std::string::npos);
    EXPECT_EQ(ansi.find("Xor"), std::string::npos);
    const std::string oem = exportText(&doc, true);
    EXPECT_NE(oem.find("Line=\x84 !\r\n"), std::string::npos);  // code page 850
}

TEST_F(Export, KeywordTableMatchesTheStringTable) {
    int withText = 0;
    for (int i = 0; i < kTransferKeywordCount; ++i) {
        char text[64];
        if (platform::loadString(kTransferKeywordFirstId + static_cast<unsigned>(i), text, sizeof text) > 0) {
            ++withText;
            EXPECT_LE(std::strlen(text), static_cast<std::size_t>(kTransferKeywordMaxLength));
        }
    }
#define KORRIN_KW_NAME(index, name, value) EXPECT_STREQ(findString(kTransferKeywordFirstId + (index)), #name);
    KORRIN_TRANSFER_KEYWORDS(KORRIN_KW_NAME)
    KORRIN_TRANSFER_OTHER_KEYWORDS(KORRIN_KW_NAME)
#undef KORRIN_KW_NAME
    EXPECT_EQ(withText, 126);
    EXPECT_STREQ(findString(kTransferKeywordFirstId + keywordIndex(TransferKeyword::EndOnConditonBranch)),
                 "EndOnConditonBranch");
}

// A segment source whose bodies are built on demand and paged out again.
struct PagingSource {
    DiagramDocument* doc;
    int loads = 0;
    int pagedOut = 0;
    bool fail = false;
    SegmentSource source{this, &load, nullptr, nullptr, &pageOut};

    static int load(void* context, DiagramDocument* document, ConstructNode*, std::uint32_t, std::uint32_t,
                    ConstructNode** body) {
        auto* self = static_cast<PagingSource*>(context);
        ++self->loads;
        *body = nullptr;
        if (self->fail) return 0;
        Builder b{document};
        *body = b.text("from disk", 9);
        return 1;
    }
    static void pageOut(void* context, DiagramDocument*, ConstructNode* level) {
        auto* self = static_cast<PagingSource*>(context);
        ++self->pagedOut;
        freeSequence(levelInfoOf(level)->body);
        levelInfoOf(level)->body = nullptr;
        setSegmentFlags(level, kSegOnDisk);
    }
};

TEST_F(Export, SegmentsOnDiskAreLoadedAndPagedOutAgain) {
    PagingSource paging{&doc};
    doc.segmentSource = &paging.source;
    Builder b{&doc};
    ConstructNode* onDisk = b.level(2, 0, b.text("paged"), nullptr);
    setSegmentFlags(onDisk, kSegOnDisk);
    doc.root = b.level(1, 0, nullptr, seq({onDisk}));
    const std::string text = exportText();
    EXPECT_NE(
        text.find("Level=2\r\nText;\r\nLine=paged\r\nEndText;\r\nLevelBody;\r\nText:9\r\nLine=from disk\r\n"
                  "EndText;\r\nEndLevel;\r\n"),
        std::string::npos);
    EXPECT_EQ(paging.loads, 1);
    EXPECT_EQ(paging.pagedOut, 1);
    EXPECT_EQ(segmentFlags(onDisk), kSegOnDisk);
    doc.segmentSource = nullptr;
}

TEST_F(Export, FailuresLeaveAFileThereAsItWas) {
    PagingSource paging{&doc};
    paging.fail = true;
    doc.segmentSource = &paging.source;
    std::snprintf(doc.ownFile.path, sizeof doc.ownFile.path, "/tmp/plan.vrd");
    Builder b{&doc};
    ConstructNode* onDisk = b.level(2, 0, nullptr, nullptr);
    setSegmentFlags(onDisk, kSegOnDisk);
    doc.root = b.level(1, 0, nullptr, seq({onDisk}));
    {
        // A segment that cannot be read names the diagram it lies in.
        TempName file(".etf");
        writeFile(file.path(), "before");
        EXPECT_EQ(exportTransferFile(&doc, file.path(), false), 0);
        EXPECT_EQ(readFile(file.path()), "before");
        EXPECT_FALSE(platform::fileExists((std::string(file.path()) + "~new").c_str()));
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, "Structure diagram in /tmp/plan.vrd contains a structural error.");
        host.messages.clear();
    }
    doc.ownFile.path[0] = 0;
    doc.segmentSource = nullptr;
    setSegmentFlags(onDisk, kSegLoaded);
    {
        // A job that runs out of memory.
        TempName file(".etf");
        memFailAt(1);
        EXPECT_EQ(exportTransferFile(&doc, file.path(), false), 0);
        memFailAt(0);
        resetOutcome();
        EXPECT_FALSE(platform::fileExists(file.path()));
    }
    // A file that cannot be created.
    EXPECT_EQ(exportTransferFile(&doc, "/no/such/dir/x.etf", false), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Unable to open /no/such/dir/x.etf.");
}

// The export commands.
std::string g_stored;
std::string g_done;
const char* storedName(DiagramDocument*) {
    return g_stored.c_str();
}
void exportDone(DiagramDocument*, const char* path) {
    g_done = path;
}

TEST_F(Export, CommandsAskStoreAndShowTheirStatus) {
    Builder b{&doc};
    doc.root = b.level(1, 0, nullptr, nullptr);
    std::snprintf(doc.ownFile.path, sizeof doc.ownFile.path, "/tmp/diagram.vrd");
    g_importEnvironment.exportFileOf = storedName;
    g_importEnvironment.exportDone = exportDone;
    g_importEnvironment.exportDirectory = "/tmp";
    const int ansi = 0;
    g_importEnvironment.etfFileFormat = &ansi;
    TempName chosen(".etf");
    TempName stored(".etf");

    // Export as: always the dialog. The status bar shows the export, then
    // what it showed before.
    g_stored = stored.path();
    g_done.clear();
    host.choose(chosen.path());
    host.setStatusText("before");
    EXPECT_EQ(exportCommand(&doc, CMD_FILE_EXPORT_AS, nullptr), 1);
    EXPECT_EQ(g_done, chosen.path());
    EXPECT_TRUE(platform::fileExists(chosen.path()));
    ASSERT_GE(host.statusTexts.size(), 3u);
    EXPECT_EQ(host.statusTexts[1], "Exporting structure diagram...");
    EXPECT_EQ(host.statusTexts.back(), "before");
    EXPECT_EQ(host.waitCursorDepth, 0);

    // Export: the stored name without asking.
    g_done.clear();
    EXPECT_EQ(exportCommand(&doc, CMD_FILE_EXPORT, nullptr), 1);
    EXPECT_EQ(g_done, stored.path());

    // Without a stored name it asks; a cancelled dialog exports nothing.
    g_stored.clear();
    g_done.clear();
    EXPECT_EQ(exportCommand(&doc, CMD_FILE_EXPORT, nullptr), 0);
    EXPECT_EQ(g_done, "");

    // A batch target needs no dialog.
    TempName batch(".etf");
    EXPECT_EQ(exportCommand(&doc, CMD_FILE_EXPORT, batch.path()), 1);
    EXPECT_EQ(g_done, batch.path());
    EXPECT_TRUE(host.messages.empty());
    doc.ownFile.path[0] = 0;
}

TEST(FontDescription, MissingExtraAndLongFields) {
    FontRecord font{};
    font.value1 = 5;
    font.values3[4] = 9;
    // Names only: the numbers stay.
    EXPECT_EQ(parseFontDescription("Face,Style", &font), 2);
    EXPECT_STREQ(font.name1, "Face");
    EXPECT_EQ(font.value1, 5);
    // Extra numbers are ignored; a number stops at its first non-digit.
    EXPECT_EQ(parseFontDescription("A,B,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17x,18,19", &font), 19);
    EXPECT_EQ(font.value1, 1);
    EXPECT_EQ(font.values3[4], 17);
    EXPECT_EQ(font.logFont.pitchAndFamily, 15);
    // A name longer than its field is cut to 32 characters (no terminator).
    const std::string longName(40, 'n');
    parseFontDescription((longName + ",s").c_str(), &font);
    EXPECT_EQ(std::string(font.name1, 32), std::string(32, 'n'));
    char text[kFontDescriptionSize];
    EXPECT_GT(formatFontDescription(font, text, sizeof text), 0);
    EXPECT_EQ(std::string(text).substr(0, 33), std::string(32, 'n') + ",");
    // Too small a buffer gives an empty description; an empty one changes nothing.
    EXPECT_EQ(formatFontDescription(font, text, 20), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(parseFontDescription("", &font), 0);
}

TEST(ColourList, AtMost23ValuesFromTheFirst253Characters) {
    std::uint32_t colours[kColourCount];
    for (auto& c : colours) c = 7;
    EXPECT_EQ(parseColourList("1,2,,x4", colours), 4);
    EXPECT_EQ(colours[0], 1u);
    EXPECT_EQ(colours[2], 0u);
    EXPECT_EQ(colours[3], 0u);
    EXPECT_EQ(colours[4], 7u);
    std::string many;
    for (int i = 0; i < 30; ++i) many += std::to_string(100 + i) + ",";
    EXPECT_EQ(parseColourList(many.c_str(), colours), kColourCount);
    EXPECT_EQ(colours[22], 122u);
    // Only the first 253 characters count.
    const std::string padded = std::string(251, ' ') + "12345";
    EXPECT_EQ(parseColourList(padded.c_str(), colours), 1);
    EXPECT_EQ(colours[0], 12u);
}

}  // namespace
}  // namespace import_test
