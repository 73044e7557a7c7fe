// Whole generations: the command's steps, the working copy with its line
// numbers, success and failure, the output options, and Generate all.
#include <cstring>

#include "config/profile.h"
#include "core/allocator.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/element_stream.h"
#include "core/file_descriptor.h"
#include "core/outcome.h"
#include "resources/strings.h"
#include "tests/generator/generator_helpers.h"

namespace {

using namespace gen_test;

class GenerateTest : public GeneratorTest {
protected:
    // A diagram with a bit of everything: statements, an if, a segment
    // with a segment inside, a loop.
    ConstructNode* sample() {
        ConstructNode* inner = segment(doc, "inner", seq({text("deep := 1;"), text("deeper := 2;")}));
        ConstructNode* outer =
            segment(doc, "outer", seq({text("a := 1;"), inner, whileDo(text("a < 3"), text("a := a + 1;"))}));
        return topSegment(
            doc, seq({text("first;"), ifThen(text("x"), text("yes;"), text("no;")), outer, text("last;")}));
    }

    // Every construct's line number points at its text in `source`.
    void expectLineNumbers(const std::string& source) {
        const std::vector<std::string> lines = linesOf(source);
        for (ConstructNode* node : nodesOf(loadedRoot())) {
            if (node->type == ConstructType::Dummy) {
                EXPECT_EQ(node->lineNumber, 0);
                continue;
            }
            ASSERT_GE(node->lineNumber, 1) << constructInfo(node->type)->name;
            ASSERT_LE(static_cast<std::size_t>(node->lineNumber), lines.size());
            const std::string& line = lines[static_cast<std::size_t>(node->lineNumber - 1)];
            if (const char* t = textOf(node)) {
                const std::string first = std::string(t).substr(0, std::strcspn(t, "\r\n"));
                EXPECT_NE(line.find(first), std::string::npos)
                    << "line " << node->lineNumber << ": " << first;
            } else {
                EXPECT_NE(line.find_first_not_of(' '), std::string::npos) << constructInfo(node->type)->name;
            }
        }
    }
};

int segmentLevelCount(ConstructNode* root) {
    int n = 0;
    for (ConstructNode* node : nodesOf(root)) n += node->type == ConstructType::Level;
    return n;
}

TEST_F(GenerateTest, NeedsAConfigurationFile) {
    ASSERT_TRUE(openDiagram(sample()));
    EXPECT_EQ(generateTo(), 0);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].text, "No configuration file assigned.");
    EXPECT_FALSE(fileExists(dir.file("plan.out")));
}

TEST_F(GenerateTest, EmptyDiagramWritesTheTopSegmentTemplatesOnly) {
    useConfig(configText(allTemplates(
        {{"TopSegment", "top"}, {"TopSegmentBody", "["}, {"EndTopSegment", "]"}, {"Statement", "never"}})));
    ASSERT_TRUE(openDiagram(topSegment(doc, nullptr)));
    ASSERT_EQ(generateTo(), 1);
    EXPECT_EQ(output(), "top[]");
    EXPECT_TRUE(host->messages.empty());
}

TEST_F(GenerateTest, SourceLineNumbersAndTheNewWorkingCopy) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    const char* ownPath = doc.ownFile.path;
    const std::string openedCopy = doc.tempFile.path;
    ASSERT_FALSE(openedCopy.empty()) << "opening writes the temporary segment file";
    ASSERT_EQ(generateTo(), 1);
    EXPECT_TRUE(host->messages.empty());
    ASSERT_EQ(host->statusTexts.size(), 1u);
    EXPECT_NE(host->statusTexts[0].find("plan.out is being generated..."), std::string::npos);
    EXPECT_EQ(host->waitCursorDepth, 0);
    EXPECT_EQ(std::string(target.storedPath), dir.file("plan.out"));

    // The document reads its segments from the new working copy now; the
    // bodies it did not hold before are on disk again.
    ASSERT_NE(std::string(doc.tempFile.path), openedCopy);
    EXPECT_TRUE(fileExists(doc.tempFile.path));
    EXPECT_FALSE(fileExists(openedCopy)) << "the previous temporary file is deleted";
    EXPECT_EQ(doc.segmentSource, &doc.tempFileSource);
    EXPECT_TRUE(segmentFlags(doc.root) & kSegOnDisk);
    EXPECT_STREQ(doc.ownFile.path, ownPath);

    const std::string source = output();
    EXPECT_NE(source.find("{Korrin:( segment "), std::string::npos);
    expectLineNumbers(source);
    EXPECT_EQ(segmentLevelCount(doc.root), 3);
    for (ConstructNode* node : nodesOf(doc.root))
        if (LevelInfo* info = levelInfoOf(node)) {
            EXPECT_EQ(info->readOffset, info->fileOffset);
            EXPECT_FALSE(segmentFlags(node) & kSegLineNumbersInvalid);
        }
}

TEST_F(GenerateTest, GeneratingTwiceGivesTheSameTextButTheTime) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    ASSERT_EQ(generateTo("one.pas"), 1);
    GeneratorHooks later{};
    later.now = [](GenTime* t) {
        *t = fixedTime();
        t->hour = 23;
    };
    setGeneratorHooks(later);
    ASSERT_EQ(generateTo("two.pas"), 1);
    std::string one = output("one.pas");
    std::string two = output("two.pas");
    ASSERT_NE(one, two);
    char firstTime[64], secondTime[64];
    systemTimeText(fixedTime(), firstTime, sizeof firstTime);
    GenTime t = fixedTime();
    t.hour = 23;
    systemTimeText(t, secondTime, sizeof secondTime);
    one.replace(one.find(firstTime), std::strlen(firstTime), "TIME");
    two.replace(two.find(secondTime), std::strlen(secondTime), "TIME");
    EXPECT_EQ(one, two);
}

TEST_F(GenerateTest, SuppressedBranchesStillGetRecords) {
    // \X in ThenBody: the then-branch writes nothing, its constructs are in
    // the working copy with the line they would have begun on.
    usePascalConfig();
    std::string cfg = readFile(configPath);
    cfg.replace(cfg.find("ThenBody=' then begin\\s\\2+'"), std::strlen("ThenBody=' then begin\\s\\2+'"),
                "ThenBody=' then begin\\s\\2+\\X'");
    useConfig(cfg);
    ASSERT_TRUE(openDiagram(topSegment(
        doc,
        seq({text("a;"), ifThen(text("c"), seq({text("hidden1;"), text("hidden2;")}), text("shown;"))}))));
    ASSERT_EQ(generateTo(), 1);
    const std::string source = output();
    EXPECT_EQ(source.find("hidden"), std::string::npos);
    EXPECT_NE(source.find("shown;"), std::string::npos);
    const std::vector<std::string> lines = linesOf(source);
    int found = 0;
    for (ConstructNode* node : nodesOf(loadedRoot()))
        if (const char* t = textOf(node); t && std::strncmp(t, "hidden", 6) == 0) {
            ++found;
            // The line of the if's head, where the then-branch would have begun.
            ASSERT_GE(node->lineNumber, 1);
            EXPECT_NE(lines[static_cast<std::size_t>(node->lineNumber - 1)].find("if (c) then begin"),
                      std::string::npos);
        }
    EXPECT_EQ(found, 2);
}

TEST_F(GenerateTest, TheRestBranchConditionIsCopiedNotGenerated) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(topSegment(doc, switchOf(whenBranch(text("k = 1"), text("one;")), text("other;"),
                                                     labelled(text("kept condition"), "L", "R")))));
    ASSERT_EQ(generateTo(), 1);
    const std::string source = output();
    EXPECT_EQ(source.find("kept condition"), std::string::npos);
    EXPECT_NE(source.find("end else begin"), std::string::npos);
    bool kept = false;
    for (ConstructNode* node : nodesOf(loadedRoot()))
        if (const char* t = textOf(node); t && std::strcmp(t, "kept condition") == 0) {
            kept = true;
            EXPECT_TRUE(inRestBranchHead(node));
            EXPECT_STREQ(leftLabel(node), "L");
            EXPECT_STREQ(rightLabel(node), "R");
        }
    EXPECT_TRUE(kept);
}

TEST_F(GenerateTest, ConstructsWithoutTextStayInTheWorkingCopy) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(topSegment(doc, seq({text("a;"), hostCommand("HOSTCMD"), specialText("special"),
                                                 labelled(text("b;"), "left", "right")}))));
    ASSERT_EQ(generateTo(), 1);
    const std::string source = output();
    EXPECT_EQ(source.find("HOSTCMD"), std::string::npos);
    EXPECT_EQ(source.find("special"), std::string::npos);
    EXPECT_EQ(tree_test::shape(levelInfoOf(loadedRoot())->body),
              "Text\"a;\" KdlCommand(k1) SpecialText\"special\" Text\"b;\"");
    ConstructNode* b = lastOf(levelInfoOf(doc.root)->body);
    EXPECT_STREQ(leftLabel(b), "left");
    EXPECT_STREQ(rightLabel(b), "right");
}

TEST_F(GenerateTest, CancelOnAnAbsentTemplateUndoesEverything) {
    std::map<std::string, std::string> templates = allTemplates({{"Statement", "\\N"}});
    templates.erase("While");
    useConfig(configText(templates));
    ASSERT_TRUE(openDiagram(sample()));
    // A segment loaded and changed before the generation.
    ASSERT_EQ(ensureLoaded(doc.root, &doc), 1);
    setSegmentFlags(doc.root, kSegLoaded);
    const std::uint32_t rootOffset = levelInfoOf(doc.root)->fileOffset;
    const SegmentSource* source = doc.segmentSource;
    const std::string openedCopy = doc.tempFile.path;
    host->answer(kAnswerCancel);
    EXPECT_EQ(generateTo(), 0);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].id, IDS_GENMSG_NO_GENSTRING);
    EXPECT_FALSE(fileExists(dir.file("plan.out")));
    EXPECT_EQ(doc.segmentSource, source);
    EXPECT_EQ(doc.tempFile.path, openedCopy);
    EXPECT_TRUE(fileExists(openedCopy));
    EXPECT_EQ(segmentFlags(doc.root) & ~kSegLineNumbersInvalid, kSegLoaded)
        << "the changed body is not marked as saved";
    EXPECT_EQ(levelInfoOf(doc.root)->fileOffset, rootOffset);
    for (ConstructNode* node : nodesOf(loadedRoot())) {
        EXPECT_EQ(node->lineNumber, 0);
        if (LevelInfo* info = levelInfoOf(node)) {
            EXPECT_EQ(info->fileOffset, info->readOffset);
        }
    }
}

TEST_F(GenerateTest, ASegmentThatCannotBeLoadedFailsTheGeneration) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    LevelInfo* info = levelInfoOf(doc.root);
    const std::uint32_t good = info->readOffset;
    info->fileOffset = 3;  // no segment block there
    writeFile(dir.file("plan.out"), "before");
    EXPECT_EQ(generateTo(), 0);
    // The reason names the diagram; an output there stays as it was.
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].text,
              "Structure diagram in " + std::string(doc.ownFile.path) + " contains a structural error.");
    EXPECT_EQ(readFile(dir.file("plan.out")), "before");
    EXPECT_EQ(info->fileOffset, good) << "rolled back to the committed offset";
    EXPECT_TRUE(segmentFlags(doc.root) & kSegLineNumbersInvalid);
    EXPECT_EQ(doc.root->lineNumber, 0);
    // The document still reads from its own file.
    ASSERT_EQ(ensureLoaded(doc.root, &doc), 1);
    EXPECT_EQ(countSequence(info->body), 4);
}

TEST_F(GenerateTest, RefusalsNameTheirReason) {
    usePascalConfig();
    // The diagram's own file, as a stored (or batch) target.
    ASSERT_TRUE(openDiagram(sample()));
    const std::string own = doc.ownFile.path;
    const std::string before = readFile(own);
    std::snprintf(target.storedPath, sizeof target.storedPath, "%s", own.c_str());
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, false, false, &target), 0);
    EXPECT_EQ(readFile(own), before);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].id, unsigned{IDS_OWN_FILE_NOT_OVERWRITABLE});
    closeDocument(&doc);

    // Constructs nested deeper than a diagram file can hold (built in memory).
    host->messages.clear();
    ConstructNode* body = text("x;");
    for (int k = 0; k < kMaxSequenceNesting; ++k) body = whileDo(text("c"), body);
    setCurrentStreamFormat(&doc);
    doc.root = topSegment(doc, body);
    EXPECT_EQ(generateTo(), 0);
    EXPECT_FALSE(fileExists(dir.file("plan.out")));
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].id, unsigned{IDS_GENMSG_TOO_DEEP});
}

TEST_F(GenerateTest, UnbalancedTemplatesAreWarnedAbout) {
    useConfig(configText(allTemplates({{"Statement", "\\N\\s\\2+"}})));
    ASSERT_TRUE(openDiagram(topSegment(doc, text("x"))));
    EXPECT_EQ(generateTo(), 1);
    ASSERT_EQ(host->messages.size(), 2u);
    EXPECT_EQ(host->messages[0].text,
              "Configuration file incorrect. More \\s symbols than \\r symbols executed.");
    EXPECT_EQ(host->messages[1].text,
              "Configuration file incorrect. Indent after generation is not identical with initial indent.");
}

TEST_F(GenerateTest, OutputOptions) {
    const std::string statement = "x\t:=\xE4;";
    int runs = 0;
    const auto run = [&](const std::string& options) {
        useConfig(configText(allTemplates({{"Statement", "\\N\\8:"}, {"EndStatement", "\\0:"}}), options));
        // (The document holds its file open: each run writes another.)
        EXPECT_TRUE(openDiagram(topSegment(doc, seq({text(statement.c_str()), text("y;")})),
                                "plan" + std::to_string(++runs) + ".vrd"));
        EXPECT_EQ(generateTo(), 1);
        return output();
    };
    EXPECT_EQ(run("AnsiToOemConvert=no\r\n"), "        x\t:=\xE4;\r\n        y;");
    EXPECT_EQ(run("AnsiToOemConvert=no\r\nCompressBlanks=yes\r\n"), "\tx\t:=\xE4;\r\n\ty;");
    EXPECT_EQ(run("AnsiToOemConvert=no\r\nLineBreakCoding=UNIX\r\n"), "        x\t:=\xE4;\n        y;");
    // OEM by default (AnsiToOemConvert); code page 850 has the a-umlaut at 0x84.
    EXPECT_EQ(run(""), "        x\t:=\x84;\r\n        y;");
    // The output file carries the time of the generation.
    std::uint64_t stamp = 0;
    ASSERT_TRUE(platform::getFileTimeByName(dir.file("plan.out").c_str(), &stamp));
    EXPECT_EQ(stamp / 10000000ull, fixedTime().fileTime / 10000000ull);
}

TEST_F(GenerateTest, TemplateVariables) {
    useConfig(configText(
        allTemplates({{"TopSegment", "\\%PNAME% \\%pver% \\%File%|\\%GENFILE%|\\%cfg%|\\%TIME%"}})));
    ASSERT_TRUE(openDiagram(topSegment(doc, nullptr), "Mixed.vrd"));
    ASSERT_EQ(generateTo("Out.pas"), 1);
    char time[64];
    systemTimeText(fixedTime(), time, sizeof time);
    // All capitals: the value in capitals; all small: in small letters;
    // mixed: as it is.
    std::string cfg = configPath;
    for (char& c : cfg) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string upperGen = dir.file("Out.pas");
    for (char& c : upperGen) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string expected =
        std::string("KORRIN(VRD) 6.32 ") + doc.ownFile.path + "|" + upperGen + "|" + cfg + "|" + time;
    EXPECT_EQ(output("Out.pas"), expected);
}

TEST_F(GenerateTest, OutputThatCannotBeCreated) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    const std::string path = dir.file("no/such/folder/x.pas");
    std::snprintf(target.storedPath, sizeof target.storedPath, "%s", path.c_str());
    const std::string openedCopy = doc.tempFile.path;
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, false, false, &target), 0);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].text, "Unable to open " + path + ".");
    EXPECT_EQ(doc.tempFile.path, openedCopy);
}

TEST_F(GenerateTest, ChoosingTheOutputFile) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    // Generate as refuses the diagram itself and asks again.
    host->choose(doc.ownFile.path);
    host->choose(dir.file("chosen.pas"));
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE_AS, false, false, &target), 1);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].text,
              "Impossible to overwrite current VRD file. Please use another file name.");
    EXPECT_EQ(std::string(target.storedPath), dir.file("chosen.pas"));
    // Generate uses the stored name without asking; Generate as always asks.
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, false, false, &target), 1);
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE_AS, false, false, &target), 0) << "cancelled";
    // Without a stored name Generate asks as well.
    GenerateTarget fresh{};
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, false, false, &fresh), 0);
}

TEST_F(GenerateTest, BatchGeneratesIntoTheGenerateDirectory) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample(), "batch.vrd"));
    static std::string directory;
    directory.clear();
    GeneratorHooks hooks{};
    hooks.now = [](GenTime* t) { *t = fixedTime(); };
    hooks.generateDirectory = [](char* out) { std::snprintf(out, kPathSize, "%s", directory.c_str()); };
    setGeneratorHooks(hooks);
    // No generate directory: nothing, and no message.
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, true, false, nullptr), 0);
    EXPECT_TRUE(host->messages.empty());
    directory = dir.path();
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, true, false, nullptr), 1);
    EXPECT_TRUE(fileExists(dir.file("batch.PAS")));
    // The diagram's own file is never the target.
    setGenFileExt(g_languageConfig, ".vrd");
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, true, false, nullptr), 0);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].id, IDS_OWN_FILE_NOT_OVERWRITABLE);
}

TEST_F(GenerateTest, SavingAndTheRecentFilesFollowSuccess) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    static int saves, recents;
    saves = recents = 0;
    GeneratorHooks hooks{};
    hooks.now = [](GenTime* t) { *t = fixedTime(); };
    hooks.saveDocument = [](DiagramDocument*) { return ++saves; };
    hooks.addRecentFile = [](const char*) { ++recents; };
    setGeneratorHooks(hooks);
    std::snprintf(target.storedPath, sizeof target.storedPath, "%s", dir.file("x.pas").c_str());
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, false, true, &target), 1);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(recents, 1) << "pascal.cfg names a parser";
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, false, false, &target), 1);
    EXPECT_EQ(saves, 1);
    std::snprintf(target.storedPath, sizeof target.storedPath, "%s", dir.file("no/dir/x.pas").c_str());
    EXPECT_EQ(generate(&doc, CMD_FILE_GENERATE, false, true, &target), 0);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(recents, 2);
}

TEST_F(GenerateTest, SaveAfterGenerationKeepsTheLineNumbersInTheDiagramFile) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    const std::string own = doc.ownFile.path;
    const std::string before = readFile(own);
    std::snprintf(target.storedPath, sizeof target.storedPath, "%s", dir.file("plan.out").c_str());
    ASSERT_EQ(generate(&doc, CMD_FILE_GENERATE, false, true, &target), 1);
    EXPECT_TRUE(host->messages.empty());
    EXPECT_NE(readFile(own), before) << "the Save procedure wrote the diagram";
    char backup[kPathSize];
    ASSERT_EQ(backupName(own.c_str(), fileSettings().maxBackupCopyExtLen, backup), 1);
    EXPECT_EQ(readFile(backup), before) << "with its backup copy";
    // Opened again, the diagram carries the line numbers of the generation.
    closeDocument(&doc);
    ASSERT_EQ(openDocument(&doc, own.c_str()), 1);
    expectLineNumbers(output());
}

TEST_F(GenerateTest, OutOfMemoryAnywhereFailsCleanly) {
    usePascalConfig();
    ASSERT_TRUE(openDiagram(sample()));
    const std::string openedCopy = doc.tempFile.path;
    int result = 0;
    int failures = 0;
    for (long nth = 1; nth < 2000 && result == 0; ++nth) {
        host->messages.clear();
        memFailAt(nth);
        result = generateTo();
        memFailAt(0);
        if (result == 0) {
            ++failures;
            EXPECT_FALSE(g_outcome.jobCancelled);
            EXPECT_TRUE(host->saw(IDS_OUT_OF_MEMORY)) << nth;
            EXPECT_EQ(doc.tempFile.path, openedCopy) << nth;
            EXPECT_TRUE(fileExists(openedCopy)) << nth;
            EXPECT_FALSE(fileExists(dir.file("plan.out")));
        }
    }
    EXPECT_EQ(result, 1);
    EXPECT_GT(failures, 10);
    expectLineNumbers(output());
}

// ---------------------------------------------------------------------------
// Generate all

struct AllProgress {
    std::vector<std::string> seen;
    static bool before(void* context, const char* path, int index, int count) {
        auto* self = static_cast<AllProgress*>(context);
        self->seen.push_back(std::string(path) + "@" + std::to_string(index) + "/" + std::to_string(count));
        return true;
    }
};

TEST_F(GenerateTest, GenerateAllTakesEveryDiagramInNameOrder) {
    usePascalConfig();
    for (const char* name : {"b.vrd", "A.vrd", "c.VRD"}) {
        ConstructNode* root = topSegment(doc, text(name));
        ASSERT_TRUE(writeDiagramFile(doc, root, dir.file(name)));
        freeSequence(root);
    }
    writeFile(dir.file("broken.vrd"), std::string("VRD\0"
                                                  "6.3\0"
                                                  "junk",
                                                  12));
    writeFile(dir.file("notes.txt"), "not a diagram");
    AllProgress progress;
    GenerateAllResult result = generateAll(dir.path().c_str(), false, {&AllProgress::before, &progress});
    EXPECT_EQ(result.generated, 3);
    EXPECT_EQ(result.failed, 1);
    const std::vector<std::string> expected = {dir.file("A.vrd") + "@0/4", dir.file("b.vrd") + "@1/4",
                                               dir.file("broken.vrd") + "@2/4", dir.file("c.VRD") + "@3/4"};
    EXPECT_EQ(progress.seen, expected);
    for (const char* name : {"A.pas", "b.pas", "c.pas"}) {
        const std::string source = readFile(dir.file(std::string(name).substr(0, 1) + ".PAS"));
        EXPECT_NE(source.find(std::string(name).substr(0, 1) + "."), std::string::npos) << name;
    }
    ASSERT_FALSE(host->messages.empty());
    EXPECT_TRUE(host->saw(IDS_FILE_STRUCTURAL_ERROR));
    EXPECT_EQ(host->messages.back().text,
              "Generate all: 3 file(s) generated, 1 file(s) failed.\r\n\r\nNot generated:\r\nbroken.vrd");
    EXPECT_FALSE(fileExists(dir.file("broken.PAS")));
}

}  // namespace
