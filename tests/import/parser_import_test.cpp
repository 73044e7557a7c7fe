// The editor side of the parser interface: the callbacks and what they
// write, labels, replaced element types, attributes, the trace and error
// files, binding, result codes, load modes and the result report.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "config/language_config.h"
#include "core/diagram_save.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "tests/import/import_helpers.h"

namespace import_test {
namespace {

// The callbacks of a block, with the plug-in's argument lists shortened.
struct Plugin {
    ParserBlock* b;

    std::int32_t element(std::int32_t line, std::int32_t type, const char* text = nullptr,
                         const char* labels = nullptr, std::int32_t leftLine = 0, std::int32_t rightLine = 0,
                         std::int32_t par1 = 0, std::int32_t par2 = 0, const char* string2 = nullptr) {
        return b->writeElement(b->treeContext, line, type, text, 1, nullptr, string2, nullptr, nullptr,
                               labels, leftLine, rightLine, par1, par2);
    }
    std::int32_t levelStart(std::int32_t line, std::uint32_t id, const char* comment, std::int32_t* pos,
                            const char* labels = nullptr, const char* entry = nullptr) {
        return b->writeLevelStart(b->treeContext, line, comment, line, nullptr, pos, id, labels, 0, 0, entry,
                                  nullptr, nullptr);
    }
    std::int32_t levelEnd(std::int32_t pos, std::int32_t source = 0, std::int32_t length = 0) {
        return b->writeLevelEnd(b->treeContext, pos, source, length, 0);
    }
    std::int32_t start(std::int32_t type, std::int32_t edge) {
        return b->writeTreeStart(b->treeContext, type, edge);
    }
    std::int32_t end() { return b->writeTreeEnd(b->treeContext); }
    void text(std::int32_t line, const char* t) { element(line, 15, t); }

    // A top segment (id 0, head "top") around `content`.
    void inTop(const std::function<void()>& content) {
        std::int32_t pos = 0;
        levelStart(1, 0, "top", &pos);
        start(14, 4);
        content();
        end();
        levelEnd(pos);
        end();
    }
};

class Callbacks : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        useConfig("Parser=scripted\r\n");
    }
    // Imports a source file through the scripted plug-in.
    ConstructNode* run(const std::function<std::uint32_t(Plugin&)>& script, std::uint32_t flags = 0,
                       int loadMode = kLoadModeOpen) {
        g_script = [script](ParserBlock* block) {
            Plugin p{block};
            return script(p);
        };
        writeFile(source.path(), "source text");
        return importFile(source.path(), false, nullptr, flags, loadMode);
    }
    std::string body(ConstructNode* root) {
        return root ? tree_test::shape(levelInfoOf(root)->body) : "failed";
    }

    TempName source{".src"};
};

TEST_F(Callbacks, LevelsWithIdZeroGetConsecutiveIdsUnlessIdsAreNotTakenOver) {
    doc.lastLevelId = 20;
    auto script = [](Plugin& p) {
        p.inTop([&] {
            std::int32_t pos = 0;
            p.levelStart(2, 0, "inner", &pos);
            p.start(14, 4);
            p.end();
            p.levelEnd(pos, 30, 40);
            p.levelStart(3, 7, nullptr, &pos);
            p.start(14, 4);
            p.end();
            p.levelEnd(pos);
        });
        return kParseOk;
    };
    ConstructNode* root = run(script);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(body(root), "Level#22{9:[Text\"inner\"] 4:[]} Level#7{9:[ph(14,9)] 4:[]}");
    EXPECT_EQ(levelInfoOf(root)->levelId, 21u);
    EXPECT_EQ(doc.lastLevelId, 22u);

    // Ids are not taken over: every level gets a new one.
    ConstructNode* again = run(script, kImportNewLevelIds);
    ASSERT_NE(again, nullptr);
    ConstructNode* second = levelInfoOf(again)->body->next;
    EXPECT_NE(levelInfoOf(second)->levelId, 7u);
    EXPECT_GT(levelInfoOf(second)->levelId, 22u);
}

TEST_F(Callbacks, LabelsAreWarnedAboutAndKept) {
    ConstructNode* root = run([](Plugin& p) {
        p.inTop([&] {
            p.element(3, 15, "a", "left\0", 7, 0);
            p.element(4, 15, "b", "\0right", 0, 0);
            std::int32_t pos = 0;
            p.levelStart(5, 0, nullptr, &pos, "seg\0");
            p.start(14, 4);
            p.end();
            p.levelEnd(pos);
        });
        return kParseWarnings;
    });
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(lastErrors,
              "Line 7: Warning: Label not supported.\r\nLine 4: Warning: Label not supported.\r\n"
              "Line 5: Warning: Label not supported.\r\n");
    ConstructNode* a = levelInfoOf(root)->body;
    EXPECT_STREQ(leftLabel(a), "left");
    EXPECT_EQ(rightLabel(a), nullptr);
    EXPECT_EQ(leftLabel(a->next), nullptr);
    EXPECT_STREQ(rightLabel(a->next), "right");
    EXPECT_STREQ(leftLabel(a->next->next), "seg");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_ANALYSIS_ERROR_LIST);
}

TEST_F(Callbacks, OverLongTextsBecomeConsecutiveConstructs) {
    std::string lines;
    while (lines.size() < 70000) lines += std::string(97, 'a' + lines.size() % 26) + "\r\n";
    const std::string limit(29988, 'x');
    struct Case {
        std::string text;
        std::int32_t type;
        const char* joint;  // what stood between two pieces
        int pieces;
    } cases[] = {
        {lines, 15, "\r\n", 3},
        {std::string(40000, 'y'), 78, "", 2},  // one line: divided at the limit
        {limit + "\r\n", 28, "\r\n", 2},       // the last line is empty
        {limit, 15, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        ConstructNode* root = run([&](Plugin& p) {
            p.inTop([&] { p.element(5, c.type, c.text.c_str(), "L\0R"); });
            return kParseOk;
        });
        ASSERT_NE(root, nullptr);
        std::string joined;
        int pieces = 0;
        for (ConstructNode* n = levelInfoOf(root)->body; n; n = n->next, ++pieces) {
            EXPECT_EQ(static_cast<std::int32_t>(n->type), c.type);
            EXPECT_EQ(n->lineNumber, 5);
            EXPECT_EQ(leftLabel(n) != nullptr, pieces == 0);
            const char* text = textOf(n) ? textOf(n) : "";
            EXPECT_LE(std::strlen(text), 29988u);
            joined += (pieces ? c.joint : "") + std::string(text);
        }
        EXPECT_EQ(pieces, c.pieces);
        EXPECT_TRUE(joined == c.text);
        const std::string warning = "Line 5: Warning: Text longer than 29988 characters divided into " +
                                    std::to_string(c.pieces) + " constructs.\r\n";
        EXPECT_EQ(lastErrors.find(warning) != std::string::npos, c.pieces > 1) << lastErrors;
    }
    // A segment's head text the same way.
    ConstructNode* root = run([&](Plugin& p) {
        std::int32_t pos = 0;
        p.levelStart(9, 0, lines.c_str(), &pos);
        p.start(14, 4);
        p.end();
        p.levelEnd(pos);
        p.end();
        return kParseOk;
    });
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(countSequence(childAt(root, Slot::Head)), 3);
    EXPECT_NE(lastErrors.find("Line 9: Warning: Text longer"), std::string::npos);
}

TEST_F(Callbacks, TypesOfOtherEditionsBecomeEmptyConstructs) {
    ConstructNode* root = run([](Plugin& p) {
        p.inTop([&] {
            p.element(4, 2, "host command");
            // A host procedure with its three sequences: swallowed.
            p.element(5, 27);
            for (int edge : {12, 4, 16}) {
                p.start(27, edge);
                p.text(6, "inside");
                p.end();
            }
            p.element(7, 14);
            p.element(8, 99);
            p.element(9, 4);
            p.start(4, 8);
            p.element(10, 70);
            p.end();
            p.start(4, 4);
            p.text(11, "body");
            p.end();
        });
        return kParseOk;
    });
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(body(root), "ph(14,4) ph(14,4) ph(14,4) ph(14,4) While{8:[ph(4,8)] 4:[Text\"body\"]}");
    EXPECT_EQ(lastErrors,
              "Line 4: Warning: Element type 2 not supported.\r\nLine 5: Warning: Element type 27 not "
              "supported.\r\n"
              "Line 7: Warning: Element type 14 not supported.\r\nLine 8: Warning: Element type 99 not "
              "supported.\r\n"
              "Line 10: Warning: Element type 70 not supported.\r\n");
}

TEST_F(Callbacks, AttributesAreAppliedAfterTheImport) {
    auto script = [](Plugin& p) {
        p.element(0, 1000, "short");
        p.element(0, 1001, nullptr, nullptr, 0, 0, 1);
        p.element(0, 1002, nullptr, nullptr, 0, 0, 1);
        p.element(0, 1003, nullptr, nullptr, 0, 0, 1);
        p.element(0, 1004, "Screen,S,9");
        p.element(0, 1005, "Printer,P,8");
        p.element(0, 1006, "300");
        p.element(0, 1007, "privileges", nullptr, 0, 0, 1);
        p.element(0, 1009, nullptr, nullptr, 0, 0, 1);
        p.element(0, 1010, "unused");
        p.element(0, 1011, "1,2,3");
        p.inTop([&] { p.text(1, "t"); });
        return kParseOk;
    };
    ASSERT_NE(run(script), nullptr);
    EXPECT_STREQ(doc.shortInfo, "short");
    EXPECT_EQ(doc.display.ifLayout, 1);
    EXPECT_TRUE(doc.display.showLevelNumbers && doc.display.showLineNumbers && doc.display.showLabels);
    EXPECT_STREQ(doc.display.screenFont.name1, "Screen");
    EXPECT_EQ(doc.display.printerFont.value1, 8);
    EXPECT_EQ(doc.lastLevelId, 300u);
    EXPECT_EQ(doc.display.colours[2], 3u);
    EXPECT_EQ(lastErrors, "");

    // Inserting applies nothing; without taking ids over the last id stays.
    forgetDocumentInfo(&doc);
    doc.display = DisplayOptions{};
    doc.lastLevelId = 5;
    ASSERT_NE(run(script, kImportInserting | kImportNewLevelIds, kLoadModeInsert), nullptr);
    EXPECT_EQ(doc.shortInfo, nullptr);
    EXPECT_EQ(doc.display, DisplayOptions{});
    EXPECT_LT(doc.lastLevelId, 300u);
}

TEST_F(Callbacks, CallbacksOutsideAnImportAndTheEarlierInterface) {
    EXPECT_EQ(
        write_element_v2(nullptr, 1, 15, "x", 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0),
        -1);
    EXPECT_EQ(write_tree_end(&doc), -1);
    EXPECT_EQ(write_debug("nothing to trace"), 0);
    EXPECT_EQ(parse_error_v2(1, "x", 0), 0);
    EXPECT_EQ(write_element(nullptr, 1, 15, "x", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), 0);
    std::int32_t pos = 5;
    EXPECT_EQ(write_level_start(nullptr, 1, "c", 1, 0, &pos), 0);
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(parse_error(1, "x", 0), 0);
    // Inside an import: write_debug without a trace file does nothing.
    ASSERT_NE(run([](Plugin& p) {
                  EXPECT_EQ(p.b->writeDebug("no trace"), 0);
                  p.inTop([] {});
                  return kParseOk;
              }),
              nullptr);
}

TEST_F(Callbacks, TraceFileRecordsEveryCallback) {
    TempName trace(".txt");
    useConfig("Parser=scripted\r\nParserDebugFile=" + std::string(trace.path()) + "\r\n");
    std::int32_t position = 0;
    ConstructNode* root = run([&](Plugin& p) {
        p.b->writeDebug("debug text");
        p.levelStart(1, 0, "top", &position, nullptr, "main");
        p.start(14, 4);
        p.element(2, 15, "0123456789012345678901234567890123456789012345678901234567890\r\nsecond", "left\0",
                  0, 0, 0, 0, "s2");
        p.b->parseError(2, "Line 2: Error: bad", 1);
        ++*p.b->errorCounter;
        p.end();
        p.levelEnd(position, 10, 20);
        p.end();
        return kParseErrors;
    });
    EXPECT_EQ(root, nullptr);
    const std::string pos = std::to_string(position);
    EXPECT_EQ(
        readFile(trace.path()),
        "Using Parser scripted\r\n"
        "debug text\r\n"
        ">>> write_level_start line=    1, levelID=0, \r\n0                     posOfLevel receives " +
            pos +
            "\r\n"
            "                      levelComment.line=    1\r\n                      levelComment.text=top\r\n"
            "                      entryName=main\r\n"
            "+++ write_tree_start predTyp=14 edge=4\r\n0    \r\n"
            "... write_element type=   15, line=    2\r\n                  par1=    0, par2=    0\r\n"
            "                  string1=01234567890123456789012345678901234567890123456789012\r\n"
            "                  string2=s2\r\n                  string3=left\r\n"
            "!!! parse_error Cont=T, Line 2: Error: bad\r\n"
            "+++ write_tree_end\r\n0    \r\n"
            ">>> write_level_end posOfLevel=" +
            pos +
            ", posSource=10\r\n0                   lengthSource=20, lines=0\r\n"
            "+++ write_tree_end\r\n-1   \r\n"
            "Parser returned 2\r\n1 Errors and 1 Warnings\r\nLevelcounter=0 Treecounter=-1\r\n");
    EXPECT_EQ(lastErrors, "Line 2: Warning: Label not supported.\r\nLine 2: Error: bad\r\n");
}

TEST_F(Callbacks, TraceFileThatCannotBeCreated) {
    useConfig("Parser=scripted\r\nParserDebugFile=/no/such/dir/trace.txt\r\n");
    EXPECT_NE(run([](Plugin& p) {
                  p.inTop([] {});
                  return kParseOk;
              }),
              nullptr);
    // The name in its full form.
    char full[platform::kMaxPath];
    ASSERT_TRUE(platform::fullPath("/no/such/dir/trace.txt", full));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Unable to open " + std::string(full) + ".");
}

TEST_F(Callbacks, ResultCodes) {
    struct Expect {
        std::uint32_t result;
        bool diagram;
        const char* message;
    };
    const Expect cases[] = {
        {0, true, nullptr},
        {1, true, nullptr},
        {2, false, nullptr},
        {10, false, "Internal stack overflow. Action cancelled."},
        {11, false,
         "Dynamic Link Library scripted cannot be used by more than one application at the same time."},
        {12, false, "Dynamic Link Library scripted does not support actual parser interface version."},
        {18, false, nullptr},
        {99, false, nullptr},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.result);
        host.messages.clear();
        resetOutcome();
        ConstructNode* root = run([&](Plugin& p) {
            p.inTop([&] { p.text(2, "t"); });
            return c.result;
        });
        EXPECT_EQ(root != nullptr, c.diagram);
        if (c.message) {
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text, c.message);
        } else {
            EXPECT_TRUE(host.messages.empty());
        }
        // A fatal failure inside the plug-in ends the command in progress.
        EXPECT_EQ(g_outcome.jobCancelled, c.result == 18);
    }
    resetOutcome();
}

TEST_F(Callbacks, LoadModes) {
    auto single = [](Plugin& p) {
        p.inTop([&] { p.text(2, "t"); });
        return kParseOk;
    };
    // Inserting: a single segment gives its content.
    ConstructNode* inserted = run(single, kImportInserting, kLoadModeInsert);
    ASSERT_NE(inserted, nullptr);
    EXPECT_EQ(tree_test::shape(inserted), "Text\"t\"");
    // Opening: anything but one segment is put into a new top segment.
    ConstructNode* opened = run([](Plugin& p) {
        p.text(1, "a");
        p.text(2, "b");
        p.end();
        return kParseOk;
    });
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->type, ConstructType::Level);
    EXPECT_EQ(opened->next, nullptr);
    EXPECT_EQ(body(opened), "Text\"a\" Text\"b\"");
}

TEST_F(Callbacks, ProtocolFaultsFailTheLoadCleanly) {
    EXPECT_EQ(run([](Plugin& p) {
                  std::int32_t pos = 0;
                  p.levelStart(1, 0, "top", &pos);
                  p.start(14, 4);
                  p.text(2, "t");  // the sequence is never ended
                  p.levelEnd(pos);
                  p.end();
                  return kParseOk;
              }),
              nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "Structure diagram in " + std::string(source.path()) + " contains a structural error.");
}

// Plug-in scripts of random shape, most of them sound, the others with one
// fault somewhere. Whatever the plug-in did, a diagram the import gives can
// be read whole (importFile loads every segment); a sound one has its
// segments read on demand from the tree file.
TEST_F(Callbacks, RandomScriptsGiveDiagramsThatReadWhole) {
    struct Script {
        Plugin& p;
        std::mt19937& random;
        int faultAt;
        int steps = 0;
        int line = 1;

        bool fault() { return ++steps == faultAt; }
        void construct(int depth) {
            static const ConstructType kinds[] = {ConstructType::Text, ConstructType::If,
                                                  ConstructType::While, ConstructType::Block,
                                                  ConstructType::Level};
            const ConstructType type = kinds[random() % (depth > 0 ? 5 : 1)];
            if (type == ConstructType::Level) {
                std::int32_t pos = 0;
                p.levelStart(line++, 0, "segment", &pos);
                children(1, typeCode(type), depth);
                if (!fault()) p.levelEnd(pos + (fault() ? 1 : 0));
                return;
            }
            p.element(line++, typeCode(type), "t");
            children(constructInfo(type)->childCount, typeCode(type), depth);
        }
        void children(int count, std::int32_t type, int depth) {
            if (fault()) count += random() % 2 ? 1 : -1;  // a child sequence too many or too few
            for (int i = 0; i < count; ++i) {
                if (!fault()) p.start(type, 4);
                const int length = static_cast<int>(random() % 4);
                for (int n = 0; n < length; ++n) construct(depth - 1);
                if (!fault()) p.end();
            }
        }
    };
    std::mt19937 random(27);
    int onDemand = 0;
    int refused = 0;
    for (int round = 0; round < 120; ++round) {
        const int faultAt = round % 3 == 0 ? 0 : static_cast<int>(random() % 40) + 1;
        releaseTemporaryFile(&doc);
        ConstructNode* root = run([&](Plugin& p) {
            Script script{p, random, faultAt};
            std::int32_t pos = 0;
            p.levelStart(1, 0, "top", &pos);
            script.children(1, typeCode(ConstructType::Level), 4);
            p.levelEnd(pos);
            p.end();
            return kParseOk;
        });
        if (!root) ++refused;
        if (root && doc.tempFile.path[0]) {
            // Read on demand, it is the tree the file holds.
            ++onDemand;
            DiagramDocument* whole = newDocument(documents);
            FileDescriptor tree{};
            platform::OpenInfo info{};
            tree.file = bfile::openFile(doc.tempFile.path, &info, platform::kOpenRead, 0);
            ConstructNode* read = nullptr;
            EXPECT_EQ(readDiagramTree(whole, &tree, kReadKeepLineNumbers | kReadAllBodies, &read), 1)
                << round;
            bfile::close(tree.file);
            EXPECT_EQ(tree_test::dump(root), tree_test::dump(read)) << round;
            freeSequence(read);
        }
        EXPECT_TRUE(faultAt != 0 || (root && doc.tempFile.path[0])) << round;
        host.messages.clear();
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(onDemand, 40);
}

TEST_F(Callbacks, LevelEndPatchesTheBlockHeader) {
    tree_test::WriteStream tree;
    ParserBlock block{};
    ASSERT_TRUE(beginCallbackSession(&doc, 0, tree.file(), nullptr, &block));
    Plugin p{&block};
    std::int32_t pos = 0;
    p.levelStart(1, 0, "top", &pos);
    p.start(14, 4);
    p.text(2, "t");
    p.end();
    p.levelEnd(pos + 1);  // a position the editor did not hand out: ignored
    p.levelEnd(pos, 30, 40);
    p.levelEnd(pos, 50, 60);  // already closed: ignored
    p.end();
    EXPECT_FALSE(endCallbackSession(false).writeError);
    const std::string bytes = tree.bytes();
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes.at(at + i));
        return v;
    };
    // Length up to the end of the body (all but the outer end marker), then
    // lengthSource and posSource.
    EXPECT_EQ(u32(pos), bytes.size() - 1 - static_cast<std::size_t>(pos));
    EXPECT_EQ(u32(pos + 4), 40u);
    EXPECT_EQ(u32(pos + 8), 30u);
}

TEST_F(Callbacks, TransferFilesAlwaysUseKorrinImp) {
    bool called = false;
    g_script = [&](ParserBlock*) {
        called = true;
        return kParseOk;
    };
    ASSERT_NE(importText("Korrin=VRD V6.32\r\nShortInfo;\r\nEndShortInfo;\r\nOptions;\r\nEndOptions;\r\n"
                         "Level=1\r\nDummy;\r\nLevelBody;\r\nEndLevel;\r\n"),
              nullptr);
    EXPECT_FALSE(called);
}

TEST_F(Callbacks, LibrariesThatCannotBeBound) {
    setParserResolver(nullptr);
    writeFile(source.path(), "x");
    useConfig("Parser=no-such-parser-library.dll\r\n");
    EXPECT_EQ(importFile(source.path(), false), nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    const std::string prefix =
        "Dynamic Link Library no-such-parser-library.dll not found or incorrect!\r\n\r\n";
    EXPECT_EQ(host.messages[0].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(host.messages[0].text.size(), prefix.size());  // the platform's text for the error

    // A library without the entry point.
#if defined(_WIN32)
    const char* library = "kernel32.dll";
#else
    const char* library = "libm.so.6";
#endif
    host.messages.clear();
    useConfig(std::string("Parser=") + library + "\r\n");
    EXPECT_EQ(importFile(source.path(), false), nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "Dynamic Link Library " + std::string(library) + " not found or incorrect!\r\n\r\n");
}

TEST_F(Callbacks, OpeningATransferFileConvertsItAfterTheConfirmation) {
    installImportHooks();
    DiagramDocument* source = newDocument(documents);
    buildSample(2, source);  // segments inside segments
    TempName file(".etf");
    writeFile(file.path(), exportText(source));

    host.answer(kAnswerCancel);
    EXPECT_EQ(openDocument(&doc, file.path()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_CONVERT_ETF);

    host.messages.clear();
    host.answer(kAnswerOk);
    ASSERT_EQ(openDocument(&doc, file.path()), 1);
    EXPECT_EQ(host.messages.at(0).id, IDS_CONVERT_ETF);
    EXPECT_EQ(doc.ownFile.kind, FileKind::Transfer);
    // Opened like a diagram: the tree file is the temporary segment file,
    // the bodies are read from it when wanted and saving copies them.
    EXPECT_EQ(segmentFlags(doc.root) & (kSegOnDisk | kSegLoaded), kSegOnDisk);
    const std::string treeFile = doc.tempFile.path;
    EXPECT_TRUE(platform::fileExists(treeFile.c_str()));
    TempName saved(".vrd");
    ASSERT_EQ(saveDocument(&doc, saved.path(), false), SaveResult::Saved);
    ASSERT_TRUE(tree_test::loadEverySegment(doc.root, &doc));
    EXPECT_EQ(carried(&doc), carried(source));
    DiagramDocument* reopened = newDocument(documents);
    ASSERT_EQ(openDocument(reopened, saved.path()), 1);
    ASSERT_TRUE(tree_test::loadEverySegment(reopened->root, reopened));
    EXPECT_EQ(tree_test::dump(reopened->root), tree_test::dump(source->root));
    closeDocument(reopened);

    // Inserting a transfer file gives the top segment's content, its
    // segments with new ids.
    host.answer(kAnswerOk);
    ConstructNode* inserted = nullptr;
    ASSERT_EQ(insertDiagramFile(&doc, file.path(), &inserted), 1);
    roots.push_back(inserted);
    const auto withoutIds = [](const std::string& shape) {
        return std::regex_replace(shape, std::regex("Level#[0-9]+"), "Level");
    };
    EXPECT_EQ(withoutIds(tree_test::shape(inserted)),
              withoutIds(tree_test::shape(levelInfoOf(source->root)->body)));
    closeDocument(&doc);
    EXPECT_FALSE(platform::fileExists(treeFile.c_str()));
    setImportHooks(ImportHooks{});
}

TEST_F(Callbacks, WithoutAConfigurationNoParserIsConfigured) {
    g_languageConfig.path[0] = 0;
    EXPECT_FALSE(parserConfigured());
    useConfig("Parser=scripted\r\n");
    EXPECT_TRUE(parserConfigured());
}

// ---------------------------------------------------------------------------
// The result report

class Report : public Callbacks {
protected:
    // A run that reports one warning through the error file.
    ConstructNode* warned(bool toErrorFile = true) {
        return run([toErrorFile](Plugin& p) {
            p.inTop([&] { p.text(3, "t"); });
            if (toErrorFile) p.b->parseError(3, "Line 3: Warning: w", 0);
            ++*p.b->warningCounter;
            return kParseWarnings;
        });
    }
    std::string prefix() {
        return "Analysis of " + std::string(source.path()) + ": 0 errors and 1 warnings identified.";
    }
};

TEST_F(Report, WithoutAnErrorFile) {
    warned(false);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, prefix());
}

TEST_F(Report, ErrorFileThatCannotBeCreated) {
    std::filesystem::create_directory(source.errorPath());
    warned();
    std::filesystem::remove(source.errorPath());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, prefix() + " Unable to create error file " + source.errorPath() + ".");
}

TEST_F(Report, TheFourVariants) {
    g_importEnvironment.errFileEditor = "errors %ERRFILE%";
    g_importEnvironment.sourceFileEditor = "source %SOURCEFILE%";
    host.answer(kAnswerNo);
    warned();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_ANALYSIS_BOTH_EDITORS);
    EXPECT_EQ(host.messages[0].text, prefix() + " Display error file " + source.errorPath() +
                                         " and execute editor for error correction?");
    EXPECT_EQ(host.messages[0].style & kBoxButtonMask, kBoxYesNo);

    g_importEnvironment.sourceFileEditor = "";
    host.messages.clear();
    host.answer(kAnswerNo);
    warned();
    EXPECT_EQ(host.messages.at(0).text, prefix() + " Display error file " + source.errorPath() + "?");

    g_importEnvironment.errFileEditor = "";
    g_importEnvironment.sourceFileEditor = "source";
    host.messages.clear();
    host.answer(kAnswerNo);
    warned();
    EXPECT_EQ(host.messages.at(0).text, prefix() + " Execute editor for error correction?");

    g_importEnvironment.sourceFileEditor = "";
    host.messages.clear();
    warned();
    EXPECT_EQ(host.messages.at(0).text, prefix() + " Error list in " + source.errorPath() + ".");
    EXPECT_EQ(host.messages.at(0).style & kIconMask, kIconAsterisk);

    // Answering another program with the add-in active: no editors offered.
    g_importEnvironment.sourceFileEditor = "source";
    g_importEnvironment.editorsAllowed = [] { return false; };
    host.messages.clear();
    warned();
    EXPECT_EQ(host.messages.at(0).id, IDS_ANALYSIS_ERROR_LIST);

    // "Generate all" reports nothing.
    g_importEnvironment.currentCommand = []() -> unsigned { return CMD_FILE_GENERATE_ALL; };
    host.messages.clear();
    warned();
    EXPECT_TRUE(host.messages.empty());
}

#if !defined(_WIN32)
TEST_F(Report, YesStartsTheEditorsWithTheVariables) {
    TempName out1(".out"), out2(".out");
    // Mixed-case names keep the values as they are.
    const std::string errorEditor = "echo %ErrFile% %LINE% > " + std::string(out1.path());
    const std::string sourceEditor = "echo %SourceFile% %ln% > " + std::string(out2.path());
    g_importEnvironment.errFileEditor = errorEditor.c_str();
    g_importEnvironment.sourceFileEditor = sourceEditor.c_str();
    host.answer(kAnswerYes);
    warned();
    std::string first, second;
    for (int i = 0; i < 100 && (first.empty() || second.empty()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        first = readFile(out1.path());
        second = readFile(out2.path());
    }
    EXPECT_EQ(first, source.errorPath() + " 3\n");
    EXPECT_EQ(second, std::string(source.path()) + " 3\n");
}
#endif

TEST(EditorVariables, CaseRulesAndValues) {
    char out[256];
    substituteEditorVariables("ed %SOURCEFILE% %fn% %ErrFile% /l%LINE% /n%Ln% %FILE% %%", "C:\\Dir\\File",
                              "C:\\Dir\\File.err", 0, out, sizeof out);
    EXPECT_STREQ(out, "ed C:\\DIR\\FILE. c:\\dir\\file. C:\\Dir\\File.err /l1 /n1 %FILE% %%");
    substituteEditorVariables("%LINE%-%SourceFile%", "a.pas", "", 42, out, sizeof out);
    EXPECT_STREQ(out, "42-a.pas");
    substituteEditorVariables("%SOURCEFILE%", "abcdefgh.x", "", 1, out, 6);
    EXPECT_STREQ(out, "ABCDE");
}

}  // namespace
}  // namespace import_test
