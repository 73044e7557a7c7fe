// The open diagrams and the file commands: new and untitled diagrams, names
// that do not exist, Save and Save as with the dialog, the save question,
// Insert file, and converted files that must never be saved over.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/documents.h"
#include "app/settings.h"
#include "config/language_config.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "import/parser_import.h"
#include "import/transfer_export.h"
#include "platform/platform.h"
#include "plugins/transfer/transfer_native.h"
#include "resources/commands.h"
#include "resources/strings.h"
#include "tests/support/host_recorder.h"

namespace {

std::string repositoryDir() {
    std::string here = __FILE__;
    for (int up = 0; up < 3; ++up) here = here.substr(0, here.find_last_of("/\\"));
    return here;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void copyFile(const std::string& from, const std::string& to) {
    std::ofstream(to, std::ios::binary) << readFile(from);
}

int countConstructs(const ConstructNode* head) {
    int n = 0;
    for (const ConstructNode* node = head; node; node = node->next) ++n;
    return n;
}

ParserEntryFn resolveTransfer(const char* libraryName) {
    const std::string name = libraryName ? libraryName : "";
    return name.size() >= 14 && name.compare(name.size() - 14, 14, kTransferImportLibrary) == 0
               ? transfer_parse_native
               : nullptr;
}

class DocumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        const auto base =
            std::filesystem::temp_directory_path() /
            ("korrin-docs-" + std::to_string(reinterpret_cast<std::uintptr_t>(&serial) % 100000) + "-" +
             std::to_string(std::time(nullptr)) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(base);
        dir = base.string();
        host.defaultAnswer = kAnswerOk;
        initFrameSettings(g_frameSettings);
    }
    void TearDown() override {
        while (OpenDiagram* d = firstDiagram()) discardDiagram(d);
        setParserResolver(nullptr);
        freeFrameSettings(g_frameSettings);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string file(const std::string& name) const { return (std::filesystem::path(dir) / name).string(); }
    std::string example(const std::string& name) {
        const std::string path = file(name);
        copyFile(repositoryDir() + "/examples/" + name, path);
        return path;
    }

    std::string dir;
    HostRecorder host;
};

TEST_F(DocumentsTest, ANewDiagramIsTheEmptyUntitledOne) {
    OpenDiagram* diagram = newDiagram();
    ASSERT_NE(diagram, nullptr);
    EXPECT_TRUE(isUntitled(diagram));
    EXPECT_TRUE(isEmptyUntitled(diagram));
    ASSERT_NE(diagram->document.root, nullptr);
    EXPECT_EQ(diagram->document.root->type, ConstructType::Level);
    char title[kPathSize];
    diagramTitle(diagram, title, sizeof title);
    EXPECT_STREQ(title, "(Untitled)");
    // A change takes it out of the empty state.
    diagram->document.modified = true;
    EXPECT_FALSE(isEmptyUntitled(diagram));
    EXPECT_EQ(diagramCount(), 1);
}

TEST_F(DocumentsTest, OpeningAndNamesThatDoNotExist) {
    OpenDiagram* diagram = newDiagram();
    const std::string path = example("loops.vrd");
    ASSERT_EQ(loadDiagramFile(diagram, path.c_str(), false), 1);
    EXPECT_FALSE(isUntitled(diagram));
    EXPECT_FALSE(diagram->document.modified);
    EXPECT_EQ(findDiagramByPath(path.c_str()), diagram);

    // A missing name: Yes starts an empty diagram under it, nothing on disk.
    OpenDiagram* fresh = newDiagram();
    const std::string missing = file("new.vrd");
    host.answer(kAnswerYes);
    ASSERT_EQ(loadDiagramFile(fresh, missing.c_str(), false), 1);
    EXPECT_TRUE(host.saw(IDS_CREATE_FILE_QUESTION));
    EXPECT_STREQ(fresh->document.ownFile.path, missing.c_str());
    EXPECT_FALSE(platform::fileExists(missing.c_str()));
    // ... Save then creates it.
    ASSERT_EQ(saveDiagram(fresh, false), 1) << host.lastText();
    EXPECT_GT(readFile(missing).size(), 8u);

    // Where nothing may be asked the refusal still says why, and the
    // diagram keeps what it had.
    g_hostState.insideForeignCall = true;
    host.messages.clear();
    EXPECT_EQ(loadDiagramFile(diagram, file("gone.vrd").c_str(), false), 0);
    g_hostState.insideForeignCall = false;
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_UNABLE_TO_OPEN);
    EXPECT_EQ(findDiagramByPath(path.c_str()), diagram);
}

TEST_F(DocumentsTest, SaveAsAndTheSaveQuestion) {
    OpenDiagram* diagram = newDiagram();
    diagram->document.modified = true;

    // Cancel keeps the diagram; No lets it go unsaved.
    host.answer(kAnswerCancel);
    EXPECT_FALSE(confirmClose(diagram));
    host.answer(kAnswerNo);
    EXPECT_TRUE(confirmClose(diagram));
    EXPECT_EQ(host.messages.back().text, "Save changes to (Untitled)?");
    // A batch run always ends: no question; inside a call from another
    // program nothing is asked and the diagram stays.
    host.messages.clear();
    EXPECT_TRUE(confirmClose(diagram, true));
    g_hostState.insideForeignCall = true;
    EXPECT_FALSE(confirmClose(diagram));
    g_hostState.insideForeignCall = false;
    EXPECT_TRUE(host.messages.empty());

    // Yes on an untitled diagram asks for the name; a cancelled dialog
    // keeps the window.
    host.answer(kAnswerYes);
    host.choose("");
    EXPECT_FALSE(confirmClose(diagram));
    const std::string target = file("saved.vrd");
    host.answer(kAnswerYes);
    host.choose(target);
    EXPECT_TRUE(confirmClose(diagram));
    EXPECT_FALSE(diagram->document.modified);
    EXPECT_STREQ(diagram->document.ownFile.path, target.c_str());
    EXPECT_EQ(readFile(target).compare(0, 8,
                                       std::string("VRD\0"
                                                   "6.3\0",
                                                   8)),
              0);
    // The dialog's directory is remembered for the next one.
    EXPECT_EQ(std::string(g_frameSettings.pairs[static_cast<int>(PathPair::Open)].directory), dir);

    // Save as onto another open diagram's file is refused, and the dialog
    // asks again.
    OpenDiagram* other = newDiagram();
    const std::string otherPath = example("primes.vrd");
    ASSERT_EQ(loadDiagramFile(other, otherPath.c_str(), false), 1);
    const std::string before = readFile(otherPath);
    host.messages.clear();
    host.choose(otherPath);
    host.choose("");
    EXPECT_EQ(saveDiagram(diagram, true), 0);
    EXPECT_TRUE(host.saw(IDS_FILE_ALREADY_IN_USE));
    EXPECT_EQ(readFile(otherPath), before);
}

TEST_F(DocumentsTest, InsertFileAppendsToTheTopSegment) {
    OpenDiagram* diagram = newDiagram();
    const std::string path = example("loops.vrd");
    char chosen[kPathSize] = "";
    ASSERT_EQ(insertFileInto(diagram, path.c_str(), chosen), 1);
    EXPECT_STREQ(chosen, path.c_str());
    EXPECT_TRUE(diagram->document.modified);
    const int once = countConstructs(childAt(diagram->document.root, Slot::Body));
    EXPECT_GT(once, 0);
    ASSERT_EQ(insertFileInto(diagram, path.c_str(), chosen), 1);
    EXPECT_EQ(countConstructs(childAt(diagram->document.root, Slot::Body)), 2 * once);
    // A file that is no diagram changes nothing.
    std::ofstream(file("junk.vrd"), std::ios::binary) << "VRD";
    host.messages.clear();
    EXPECT_EQ(insertFileInto(diagram, file("junk.vrd").c_str(), chosen), 0);
    EXPECT_FALSE(host.messages.empty());
    EXPECT_EQ(countConstructs(childAt(diagram->document.root, Slot::Body)), 2 * once);
}

TEST_F(DocumentsTest, AutomaticLabelsFromTheSettingsApplyToInsertedConstructs) {
    // A diagram whose statement has a left and a right label.
    DiagramDocument labelled{};
    setCurrentStreamFormat(&labelled);
    ConstructNode* root = newConstruct(&labelled, CMD_INSERT_SEGMENT);
    ConstructNode* statement = newConstruct(&labelled, CMD_INSERT_STATEMENT);
    setLeftLabel(statement, memStrDup("L"));
    setRightLabel(statement, memStrDup("R"));
    freeSequence(childAt(root, Slot::Body));
    setChildAt(statement, root, Slot::Body);
    platform::OpenInfo info{};
    BufferedFile* out = bfile::openFile(file("labelled.vrd").c_str(), &info,
                                        platform::kOpenCreate | platform::kOpenReadWrite, 0);
    ASSERT_EQ(writeDiagram(&labelled, root, out, false), 1);
    ASSERT_EQ(bfile::close(out), 0);
    freeSequence(root);

    struct Case {
        const char* ini;
        const char* left;
        const char* right;
    } cases[] = {
        {"", "L", "R"},
        {"AutoLeftLabels=yes\r\nLeftLabelText=auto\r\n", nullptr, "R"},
        {"AutoRightLabels=true\r\nRightLabelText=auto\r\n", "L", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        std::ofstream(file("k.ini"), std::ios::binary) << "[Settings]\r\n" << c.ini;
        loadSettings(g_frameSettings, file("k.ini").c_str(), SettingsLoadOptions{}, SettingsHooks{});
        OpenDiagram* diagram = newDiagram();
        char chosen[kPathSize] = "";
        ASSERT_EQ(insertFileInto(diagram, file("labelled.vrd").c_str(), chosen), 1);
        const ConstructNode* inserted = lastOf(childAt(diagram->document.root, Slot::Body));
        ASSERT_EQ(inserted->type, ConstructType::Text);
        EXPECT_STREQ(leftLabel(inserted), c.left);
        EXPECT_STREQ(rightLabel(inserted), c.right);
        discardDiagram(diagram);
    }
}

TEST_F(DocumentsTest, AConfigurationChangeMarksDiagramsChangedAndRenamesTheGenerationFile) {
    OpenDiagram* empty = newDiagram();
    OpenDiagram* diagram = newDiagram();
    ASSERT_EQ(loadDiagramFile(diagram, example("loops.vrd").c_str(), false), 1);
    std::snprintf(diagram->generateTarget.storedPath, kPathSize, "%s", file("loops.SRC").c_str());
    const LanguageConfig saved = g_languageConfig;
    std::snprintf(g_languageConfig.genFileExt, kGenFileExtSize, ".PAS");
    configurationChanged(0, diagram);  // cancelled
    EXPECT_FALSE(diagram->document.modified);
    configurationChanged(kConfigChosen | kConfigTextsChanged, diagram);
    EXPECT_TRUE(diagram->document.modified);
    EXPECT_FALSE(empty->document.modified);  // nothing in it to generate
    EXPECT_EQ(diagram->generateTarget.storedPath, file("loops.SRC"));
    configurationChanged(kConfigChosen | kConfigExtChanged, diagram);
    EXPECT_EQ(diagram->generateTarget.storedPath, file("loops.PAS"));
    g_languageConfig = saved;
}

// Layout and fonts chosen for a diagram: its file carries them, and only
// the views they affect are measured again.
TEST_F(DocumentsTest, DisplayChangesTravelWithTheDiagramAndInvalidateTheirViews) {
    struct Case {
        const char* what;
        void (*change)(DisplaySettings&);
        bool screen, printer;  // views measured again
    };
    const Case cases[] = {
        {"if layout", [](DisplaySettings& d) { d.verticalIf = !d.verticalIf; }, true, true},
        {"labels",
         [](DisplaySettings& d) {
             d.showLeftLabels = d.showRightLabels = !(d.showLeftLabels || d.showRightLabels);
         },
         true, true},
        {"screen font", [](DisplaySettings& d) { d.screenFont.points += 2; }, true, false},
        {"printer font", [](DisplaySettings& d) { std::snprintf(d.printerFont.face, 32, "Arial"); }, false,
         true},
        {"colour", [](DisplaySettings& d) { d.palette[kColourKeywords] = 0x123456; }, false, false},
    };
    for (const Case& c : cases) {
        OpenDiagram* diagram = newDiagram();
        ASSERT_EQ(loadDiagramFile(diagram, example("loops.vrd").c_str(), false), 1);
        EXPECT_FALSE(setDiagramDisplay(diagram, diagram->display)) << "nothing changed";
        EXPECT_FALSE(diagram->document.modified);
        DisplaySettings chosen = diagram->display;
        c.change(chosen);
        const std::uint32_t screen = diagram->view->views[kViewScreen].generation;
        const std::uint32_t printer = diagram->view->views[kViewPrinter].generation;
        EXPECT_TRUE(setDiagramDisplay(diagram, chosen)) << c.what;
        EXPECT_TRUE(diagram->document.modified) << c.what;
        EXPECT_EQ(diagram->view->views[kViewScreen].generation != screen, c.screen) << c.what;
        EXPECT_EQ(diagram->view->views[kViewPrinter].generation != printer, c.printer) << c.what;
        // Saved and read back, the file draws the diagram the same way.
        ASSERT_EQ(saveDiagram(diagram, false), 1) << c.what;
        const std::string path = diagram->document.ownFile.path;
        discardDiagram(diagram);
        OpenDiagram* again = newDiagram();
        ASSERT_EQ(loadDiagramFile(again, path.c_str(), false), 1);
        EXPECT_TRUE(sameDisplay(again->display, chosen)) << c.what;
        discardDiagram(again);
    }
    // The empty untitled window takes the options without becoming changed.
    OpenDiagram* empty = newDiagram();
    DisplaySettings vertical = empty->display;
    vertical.verticalIf = true;
    EXPECT_TRUE(setDiagramDisplay(empty, vertical));
    EXPECT_FALSE(empty->document.modified);
    EXPECT_EQ(empty->document.display.ifLayout, 1);
}

TEST_F(DocumentsTest, AConvertedFileIsNeverSavedOver) {
    installImportHooks();
    setParserResolver(resolveTransfer);
    setTransferNativeLanguage(kLanguageEnglish);
    // A transfer file of an example diagram.
    OpenDiagram* source = newDiagram();
    copyFile(repositoryDir() + "/examples/grades.vrd", file("source.vrd"));
    ASSERT_EQ(loadDiagramFile(source, file("source.vrd").c_str(), false), 1);
    const std::string transfer = file("grades.etf");
    ASSERT_EQ(exportTransferFile(&source->document, transfer.c_str(), false), 1);
    discardDiagram(source);
    const std::string exported = readFile(transfer);

    OpenDiagram* diagram = newDiagram();
    host.answer(kAnswerOk);  // the conversion notice
    ASSERT_EQ(loadDiagramFile(diagram, transfer.c_str(), false), 1) << host.lastText();
    EXPECT_EQ(std::string(diagram->document.ownFile.path), file("grades.vrd"));
    EXPECT_TRUE(diagram->document.modified);
    ASSERT_EQ(saveDiagram(diagram, false), 1);
    EXPECT_EQ(readFile(transfer), exported);
    EXPECT_EQ(readFile(file("grades.vrd")).compare(0, 4, std::string("VRD\0", 4)), 0);
}

}  // namespace
