// The native diagram file: detection, header check, every supported format
// version, the chunks, the messages of each source, wrapping and
// unwrapping, conversion through the import hook, and the writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "resources/strings.h"
#include "tests/core/diagram_fixture_helpers.h"
#include "tests/core/tree_helpers.h"
#include "tests/support/host_recorder.h"

using namespace diagram_test;
using tree_test::ReadStream;
using tree_test::shape;
using tree_test::WriteStream;

namespace {

std::string fullPathOf(const char* path) {
    char full[platform::kMaxPath];
    return platform::fullPath(path, full) ? std::string(full) : std::string(path);
}

FileKind kindOf(const std::string& bytes) {
    ReadStream in(bytes);
    return detectKind(in.file());
}

class DiagramFileTest : public tree_test::TreeTest {
protected:
    void SetUp() override {
        TreeTest::SetUp();
        setImportHooks({});
        setConversionNoticeHook(nullptr);
        setTemporaryFileStep(nullptr);
        setFileVersionInfo(nullptr);
        setSegmentShownHook(nullptr);
    }
    void TearDown() override {
        closeDocument(&doc);
        files.clear();
        setImportHooks({});
        setConversionNoticeHook(nullptr);
        setTemporaryFileStep(nullptr);
        TreeTest::TearDown();
    }

    // Reads `bytes` from memory as data of `kind`, with messages recorded.
    ConstructNode* readFrom(const std::string& bytes, SourceKind kind, std::uint32_t options,
                            FileDescriptor* descriptor = nullptr) {
        ReadStream in(bytes);
        FileDescriptor local{};
        FileDescriptor* fd = descriptor ? descriptor : &local;
        std::snprintf(fd->path, sizeof fd->path, "%s", "C:\\plans\\x.vrd");
        fd->file = in.file();
        fd->sourceKind = kind;
        ConstructNode* root = readDiagram(&doc, fd, options);
        fd->file = nullptr;
        return root;
    }

    // A temporary file holding `bytes`, deleted after the document is closed.
    const char* file(const std::string& bytes) {
        files.push_back(std::make_unique<TempFile>(bytes));
        EXPECT_TRUE(files.back()->ok());
        return files.back()->path();
    }

    // Opens a fixture as the document; `path` receives the full path.
    bool open(const std::string& bytes, std::string* path = nullptr) {
        const char* name = file(bytes);
        if (path) *path = fullPathOf(name);
        return openDocument(&doc, name) == 1;
    }

    HostRecorder host;
    std::vector<std::unique_ptr<TempFile>> files;
};

// ---------------------------------------------------------------------------
// Detection

TEST(DiagramFileDetect, EditionCodesKeywordAndSource) {
    const std::string n1("\0", 1);
    struct Case {
        std::string bytes;
        FileKind kind;
    };
    const std::vector<Case> cases = {
        {"VRD" + n1 + "6.3" + n1, FileKind::Diagram},
        {"VRDX6.3", FileKind::Diagram},  // the fourth byte does not count
        {"VQ" + n1 + n1 + "2.4" + n1, FileKind::Diagram},
        {"VQ " + n1, FileKind::Diagram},
        {"QDM" + n1 + "3.0" + n1, FileKind::Diagram},
        {"2.3" + n1 + "\xF0", FileKind::Diagram},  // older format without edition code
        {"2.3 is a number", FileKind::Source},
        {"Korrin:Diagram", FileKind::Transfer},
        {"Korrin;", FileKind::Transfer},
        {"Korrin=1", FileKind::Transfer},
        {"Korrin Diagram", FileKind::Source},
        {"Korrin", FileKind::Source},
        {"korrin:Diagram", FileKind::Source},
        {"KORRIN:Diagram", FileKind::Source},
        {"program Hello;\r\nbegin\r\nend.\r\n", FileKind::Source},
        {"VRE" + n1 + "6.3" + n1, FileKind::Source},
        {"", FileKind::Source},
        {"V", FileKind::Source},
    };
    for (const Case& c : cases) EXPECT_EQ(kindOf(c.bytes), c.kind) << c.bytes;
    EXPECT_EQ(kindOf(transferBlank()), FileKind::Source);
    EXPECT_EQ(kindOf(transferFile()), FileKind::Transfer);
}

TEST(DiagramFileDetect, EverySiblingEditionIsADiagram) {
    for (unsigned id = kSiblingEditionFirstId; id < kSiblingEditionFirstId + kSiblingEditionCount; ++id) {
        char code[16] = {};
        ASSERT_GT(platform::loadString(id, code, sizeof code), 0) << id;
        ASSERT_EQ(std::strlen(code), 3u) << id;
        EXPECT_FALSE(std::strcmp(code, "VRD") == 0 || std::strcmp(code, "QDM") == 0) << code;
        EXPECT_EQ(kindOf(std::string(code) + std::string("\0"
                                                         "6.3\0",
                                                         5)),
                  FileKind::Diagram)
            << code;
    }
}

// ---------------------------------------------------------------------------
// Header

class DiagramFileHeader : public DiagramFileTest {
protected:
    int check(const std::string& bytes, SourceKind kind, bool messages = true) {
        ReadStream in(bytes);
        return checkHeader(&doc, in.file(), "C:\\plans\\x.vrd", kind, messages);
    }
};

TEST_F(DiagramFileHeader, VersionsEditionAndIntegerWidth) {
    EXPECT_EQ(check(std::string("VRD\0"
                                "6.2\0",
                                8),
                    SourceKind::File),
              1);
    EXPECT_STREQ(doc.formatVersion, "6.2");
    EXPECT_EQ(doc.intWidth, 2);
    EXPECT_EQ(check(std::string("VRD\0"
                                "6.3\0",
                                8),
                    SourceKind::File),
              1);
    EXPECT_EQ(doc.intWidth, 4);
    EXPECT_EQ(check(std::string("QDM\0"
                                "7.1\0",
                                8),
                    SourceKind::File),
              1);
    EXPECT_EQ(doc.intWidth, 4);
    EXPECT_EQ(check(std::string("VQ\0\0"
                                "1.5\0",
                                8),
                    SourceKind::File),
              1);
    EXPECT_EQ(check(std::string("VQ \0"
                                "2.0\0",
                                8),
                    SourceKind::File),
              1);

    // Without an edition code the first bytes are the version.
    EXPECT_EQ(check(std::string("2.3\0\xF0", 5), SourceKind::File), 1);
    EXPECT_EQ(std::memcmp(doc.editionCode, "VQ \0", 4), 0);
    EXPECT_STREQ(doc.formatVersion, "2.3");
    EXPECT_EQ(doc.intWidth, 2);
    // A version that is not digit-dot-digit is not refused as too old.
    EXPECT_EQ(check(std::string("VRD\0"
                                "x.y\0",
                                8),
                    SourceKind::File),
              1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(DiagramFileHeader, RefusalsInEveryForm) {
    const std::string foreign(
        "XYZ\0"
        "6.3\0",
        8);
    const std::string old(
        "VQ\0\0"
        "1.4\0",
        8);
    const std::string oldNoCode("1.2\0\xF0", 5);
    const std::string qdm(
        "QDM\0"
        "0.9\0",
        8);
    struct Case {
        const std::string* bytes;
        SourceKind kind;
        unsigned id;
        const char* text;
    };
    const Case cases[] = {
        {&foreign, SourceKind::File, IDS_FILE_NOT_FORMAT,
         "Data in C:\\plans\\x.vrd does not have Korrin(VRD) format."},
        {&foreign, SourceKind::Clipboard, IDS_CLIP_NOT_FORMAT,
         "Data in Clipboard does not have Korrin(VRD) format."},
        {&foreign, SourceKind::Embedded, IDS_EMBEDDED_NOT_FORMAT,
         "Data in embedded object does not have Korrin(VRD) format."},
        {&old, SourceKind::File, IDS_FILE_NOT_SUPPORTED,
         "Structure diagram in C:\\plans\\x.vrd has Korrin(VQ) format 1.4. This format is not supported."},
        {&old, SourceKind::Clipboard, IDS_CLIP_NOT_SUPPORTED,
         "Structure diagram in Clipboard has Korrin(VQ) format 1.4. This format is not supported."},
        {&old, SourceKind::Embedded, IDS_EMBEDDED_NOT_SUPPORTED,
         "Structure diagram in embedded object has Korrin(VQ) format 1.4. This format is not supported."},
        {&oldNoCode, SourceKind::File, IDS_FILE_NOT_SUPPORTED,
         "Structure diagram in C:\\plans\\x.vrd has Korrin(VQ) format 1.2. This format is not supported."},
        {&qdm, SourceKind::Clipboard, IDS_CLIP_NOT_SUPPORTED,
         "Structure diagram in Clipboard has Korrin(QDM) format 0.9. This format is not supported."},
    };
    for (const Case& c : cases) {
        host.messages.clear();
        EXPECT_EQ(check(*c.bytes, c.kind), 0);
        ASSERT_EQ(host.messages.size(), 1u) << c.text;
        EXPECT_EQ(host.messages[0].id, c.id);
        EXPECT_EQ(host.messages[0].text, c.text);
        EXPECT_EQ(host.messages[0].style, unsigned{kBoxDefault});
        host.messages.clear();
        EXPECT_EQ(check(*c.bytes, c.kind, false), 0);
        EXPECT_TRUE(host.messages.empty());
    }
    EXPECT_EQ(IDS_CLIP_NOT_SUPPORTED, 20002u);
    EXPECT_EQ(IDS_CLIP_STRUCTURAL_ERROR, 20006u);
    EXPECT_EQ(IDS_CLIP_NOT_FORMAT, 20009u);
}

TEST_F(DiagramFileHeader, ShortData) {
    // Too short for an edition code: not a diagram.
    EXPECT_EQ(check("VR", SourceKind::Clipboard), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned{IDS_CLIP_NOT_FORMAT});
    // An edition code without version: refused silently (the reader calls it
    // a structural error).
    host.messages.clear();
    EXPECT_EQ(check(std::string("VRD\0"
                                "6.",
                                6),
                    SourceKind::File),
              0);
    EXPECT_TRUE(host.messages.empty());
}

// ---------------------------------------------------------------------------
// The fixtures, opened as documents

TEST_F(DiagramFileTest, Format15IsWrappedAndReadsBodiesFromTheOpenFile) {
    ASSERT_TRUE(open(format15()));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(std::memcmp(doc.editionCode, "VQ\0\0", 4), 0);
    EXPECT_STREQ(doc.formatVersion, "1.5");
    EXPECT_EQ(doc.treeVersion, 1);
    EXPECT_EQ(doc.intWidth, 2);
    EXPECT_EQ(doc.shortInfo, nullptr);
    EXPECT_EQ(doc.ownFile.kind, FileKind::Diagram);
    ASSERT_NE(doc.ownFile.file, nullptr);

    // No stored ids: the new top segment is 1, the segment inside follows.
    ConstructNode* root = doc.root;
    ASSERT_TRUE(root && root->type == ConstructType::Level && !root->next);
    EXPECT_EQ(levelInfoOf(root)->levelId, 1u);
    EXPECT_EQ(doc.lastLevelId, 2u);
    EXPECT_EQ(tree_test::checkLinks(root), "");
    ConstructNode* body = levelInfoOf(root)->body;
    ConstructNode* inner = lastOf(body);
    ASSERT_EQ(inner->type, ConstructType::Level);
    EXPECT_EQ(segmentFlags(inner) & kSegOnDisk, kSegOnDisk);
    EXPECT_EQ(leftLabel(body->next), std::string("L1"));
    EXPECT_EQ(body->lineNumber, 10);

    // The body on disk comes from the open file, read with its versions,
    // while the document says otherwise.
    setCurrentStreamFormat(&doc);
    ASSERT_EQ(ensureLoaded(inner, &doc), 1);
    EXPECT_EQ(shape(body), sampleShape(2));
    EXPECT_EQ(levelInfoOf(inner)->blockWord1, 11u);
    EXPECT_EQ(levelInfoOf(inner)->blockWord2, 22u);
    EXPECT_STREQ(doc.formatVersion, "6.3");
}

TEST_F(DiagramFileTest, Formats23And24TakeShortInfoAndSaveTime) {
    ASSERT_TRUE(open(format23()));
    EXPECT_EQ(std::memcmp(doc.editionCode, "VQ \0", 4), 0);
    EXPECT_STREQ(doc.formatVersion, "2.3");
    EXPECT_EQ(doc.intWidth, 2);
    ASSERT_NE(doc.shortInfo, nullptr);
    EXPECT_STREQ(doc.shortInfo, "info 2.3");
    EXPECT_EQ(doc.saveTimeText, nullptr);
    ASSERT_EQ(ensureLoaded(lastOf(levelInfoOf(doc.root)->body), &doc), 1);
    EXPECT_EQ(levelInfoOf(doc.root)->levelId, 1u);
    EXPECT_EQ(shape(levelInfoOf(doc.root)->body), sampleShape(2));

    ASSERT_TRUE(open(format24()));
    EXPECT_STREQ(doc.shortInfo, "info 2.4");
    ASSERT_NE(doc.saveTimeText, nullptr);
    EXPECT_STREQ(doc.saveTimeText, "saved 2.4");
    EXPECT_EQ(doc.saveTime, 123456789u);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(DiagramFileTest, Format30TakesChunksWithTwoByteIntegers) {
    ASSERT_TRUE(open(format30Tree5()));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(doc.treeVersion, 5);
    EXPECT_EQ(doc.intWidth, 2);
    EXPECT_STREQ(doc.shortInfo, "info 3.0");
    EXPECT_STREQ(doc.saveTimeText, "saved 3.0");
    EXPECT_EQ(doc.saveTime, 0x80000000u + kOldDateOffset);  // DATE version 1: the older epoch

    const DisplayOptions& d = doc.display;
    EXPECT_EQ(d.ifLayout, 1);
    EXPECT_TRUE(d.showLineNumbers);  // any byte but 0 is on
    EXPECT_FALSE(d.showLevelNumbers);
    for (int k = 0; k < kColourCount; ++k) EXPECT_EQ(d.colours[k], 0x0A0B0C00u + static_cast<unsigned>(k));
    // Record version 2 has three values at the end; the rest stays 0.
    FontRecord screen = sampleFont(0);
    screen.values3[3] = screen.values3[4] = 0;
    EXPECT_TRUE(d.screenFont == screen);
    EXPECT_TRUE(d.printerFont == sampleFont(1));
    EXPECT_EQ(d.printerFont.logFont.height, -17);  // sign-extended from 2 bytes

    // OLEL (3) comes before the tree: the new top segment gets 4, the
    // segment without a stored id 5.
    EXPECT_EQ(levelInfoOf(doc.root)->levelId, 4u);
    ConstructNode* inner = lastOf(levelInfoOf(doc.root)->body);
    EXPECT_EQ(levelInfoOf(inner)->levelId, 5u);
    ASSERT_EQ(ensureLoaded(inner, &doc), 1);
    EXPECT_EQ(shape(levelInfoOf(doc.root)->body), sampleShape(5));
}

TEST_F(DiagramFileTest, Format63KeepsItsTopSegmentAndEveryOption) {
    ASSERT_TRUE(open(format63Tree16()));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(std::memcmp(doc.editionCode, "VRD\0", 4), 0);
    EXPECT_EQ(doc.treeVersion, 16);
    EXPECT_EQ(doc.intWidth, 4);
    EXPECT_STREQ(doc.shortInfo, kShortInfo63);
    EXPECT_STREQ(doc.saveTimeText, kSaveText63);
    EXPECT_EQ(doc.saveTime, kSaveTime63);
    EXPECT_TRUE(doc.display == sampleDisplay());
    EXPECT_EQ(doc.lastLevelId, kLastLevelId63);

    // Not wrapped: the stored top segment is the root, its body on disk.
    ConstructNode* root = doc.root;
    EXPECT_EQ(shape(root), "Level#1{9:[Text\"main\"] 4:disk}");
    ASSERT_EQ(ensureLoaded(root, &doc), 1);
    ConstructNode* inner = lastOf(levelInfoOf(root)->body);
    ASSERT_EQ(ensureLoaded(inner, &doc), 1);
    EXPECT_EQ(shape(levelInfoOf(root)->body), sampleShape(7));
    EXPECT_EQ(tree_test::checkLinks(root), "");
}

TEST_F(DiagramFileTest, UnknownChunkIsSkippedByItsLength) {
    ASSERT_TRUE(open(unknownChunk()));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_STREQ(doc.shortInfo, "before the unknown chunk");
    EXPECT_EQ(shape(doc.root), "Level#1{9:[Text\"main\"] 4:disk}");
}

TEST_F(DiagramFileTest, FailuresOfTheFixturesShowOneMessage) {
    struct Case {
        std::string bytes;
        unsigned id;
        std::string text;  // %s = the file's full path
    };
    const Case cases[] = {
        {tree17Alone(), IDS_FILE_NOT_SUPPORTED,
         "Structure diagram in %s has Korrin(VRD) format 6.3.17. This format is not supported."},
        {endiOnly(), IDS_FILE_STRUCTURAL_ERROR, "Structure diagram in %s contains a structural error."},
        {siblingEdition(), IDS_FILE_NOT_FORMAT, "Data in %s does not have Korrin(VRD) format."},
        // Without a parser, a text is read as a diagram and refused.
        {transferBlank(), IDS_FILE_NOT_FORMAT, "Data in %s does not have Korrin(VRD) format."},
    };
    for (const Case& c : cases) {
        host.messages.clear();
        std::string path;
        EXPECT_FALSE(open(c.bytes, &path));
        ASSERT_EQ(host.messages.size(), 1u) << c.text;
        EXPECT_EQ(host.messages[0].id, c.id);
        std::string expected = c.text;
        expected.replace(expected.find("%s"), 2, path);
        EXPECT_EQ(host.messages[0].text, expected);
        EXPECT_EQ(doc.root, nullptr);
        EXPECT_EQ(doc.ownFile.file, nullptr);
        EXPECT_EQ(doc.segmentSource, nullptr);
    }
    host.messages.clear();
    EXPECT_EQ(openDocument(&doc, "no/such/dir/plan.vrd"), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Unable to open no/such/dir/plan.vrd.");
}

TEST_F(DiagramFileTest, MemoryFormsOfTheFailures) {
    struct Case {
        std::string bytes;
        SourceKind kind;
        const char* text;
    };
    const Case cases[] = {
        {tree17Alone(), SourceKind::Clipboard,
         "Structure diagram in Clipboard has Korrin(VRD) format 6.3.17. This format is not supported."},
        {tree17Alone(), SourceKind::Embedded,
         "Structure diagram in embedded object has Korrin(VRD) format 6.3.17. This format is not supported."},
        {endiOnly(), SourceKind::Clipboard, "Structure diagram in Clipboard contains a structural error."},
        {endiOnly(), SourceKind::Embedded,
         "Structure diagram in embedded object contains a structural error."},
        {siblingEdition(), SourceKind::Embedded, "Data in embedded object does not have Korrin(VRD) format."},
        // Memory data is never converted.
        {transferFile(), SourceKind::Clipboard, "Data in Clipboard does not have Korrin(VRD) format."},
        {"", SourceKind::Clipboard, "Data in Clipboard does not have Korrin(VRD) format."},
    };
    for (const Case& c : cases) {
        host.messages.clear();
        MemoryBlock block(c.bytes);
        EXPECT_EQ(loadFromMemory(&doc, block.handle(), c.kind), nullptr);
        ASSERT_EQ(host.messages.size(), 1u) << c.text;
        EXPECT_EQ(host.messages[0].text, c.text);
    }
}

TEST_F(DiagramFileTest, ChunkLimits) {
    // A second TREE is passed over; chunk lengths past the end of the data
    // end the loop; a length past what a position can hold fails.
    FileBytes twice;
    twice.code("VRD").code("6.3");
    std::size_t c = twice.beginChunk("TREE", 16);
    sampleTree(twice, {16, true}, true);
    twice.endChunk(c);
    c = twice.beginChunk("TREE", 16);
    twice.b(0xFF).i(15).i(0).s(nullptr).s(nullptr).s("second").b(0xF0).endChunk(c);
    ConstructNode* root = readFrom(twice.data, SourceKind::Clipboard, kReadAllBodies);
    EXPECT_EQ(shape(root), "Level#1{9:[Text\"main\"] 4:[" + sampleShape(7) + "]}");
    freeSequence(root);
    EXPECT_TRUE(host.messages.empty());
    // A chunk reaching beyond the end: the end of a file; in memory a read
    // there fails.
    twice.raw("XTRA").u16(1).u32(1000);
    EXPECT_TRUE(open(twice.data));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(readFrom(twice.data, SourceKind::Clipboard, kReadAllBodies), nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned{IDS_CLIP_STRUCTURAL_ERROR});
    host.messages.clear();

    FileBytes huge;
    huge.code("VRD").code("6.3");
    huge.raw("XTRA").u16(1).u32(0xFFFFFFF0u);
    c = huge.beginChunk("TREE", 16);
    sampleTree(huge, {16, true}, true);
    huge.endChunk(c);
    EXPECT_EQ(readFrom(huge.data, SourceKind::Clipboard, kReadAllBodies), nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned{IDS_CLIP_STRUCTURAL_ERROR});

    // The highest unsupported tree version is named; a partial chunk header
    // at the end is the end of the data.
    FileBytes versions;
    versions.code("VRD").code("6.3");
    for (unsigned v : {20u, 0u, 33u, 17u}) versions.endChunk(versions.beginChunk("TREE", v));
    versions.raw("TRE");
    host.messages.clear();
    EXPECT_EQ(readFrom(versions.data, SourceKind::Clipboard, 0), nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("format 6.3.33."), std::string::npos);
}

TEST_F(DiagramFileTest, KeepingTheDocumentInformation) {
    doc.shortInfo = memStrDup("mine");
    doc.lastLevelId = 100;
    doc.display.ifLayout = 0;
    setCurrentStreamFormat(&doc);
    FileDescriptor fd{};
    ConstructNode* root =
        readFrom(format30Tree5(), SourceKind::Clipboard, kReadKeepDocumentInfo | kReadAllBodies, &fd);
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(doc.shortInfo, "mine");
    EXPECT_EQ(doc.display.ifLayout, 0);
    EXPECT_EQ(doc.lastLevelId, 101u);  // the segment got the next id
    // The document's own format stays; the data's is recorded.
    EXPECT_STREQ(doc.formatVersion, "6.3");
    EXPECT_EQ(doc.treeVersion, 16);
    EXPECT_STREQ(fd.formatVersion, "3.0");
    EXPECT_EQ(fd.treeVersion, 5);
    EXPECT_EQ(fd.intWidth, 2);
    freeSequence(root);
    // Without the option the information is forgotten first.
    root = readFrom(endiOnly(), SourceKind::Clipboard, 0);
    EXPECT_EQ(doc.shortInfo, nullptr);
}

// ---------------------------------------------------------------------------
// Truncation and running out of memory

TEST_F(DiagramFileTest, EveryTruncationFailsWithOneMessage) {
    for (const std::string& full : {format63Tree16(), format30Tree5(), format24(), format15()}) {
        for (std::size_t n = 0; n < full.size(); ++n) {
            host.messages.clear();
            MemoryBlock block(full.substr(0, n));
            ConstructNode* root = loadFromMemory(&doc, block.handle());
            if (root) {
                // Cut right behind the tree: nothing is missing.
                EXPECT_TRUE(host.messages.empty());
                freeSequence(root);
                continue;
            }
            ASSERT_EQ(host.messages.size(), 1u) << "length " << n;
            const unsigned id = host.messages[0].id;
            EXPECT_TRUE(id == IDS_CLIP_STRUCTURAL_ERROR || id == IDS_CLIP_NOT_FORMAT) << id;
        }
    }
}

TEST_F(DiagramFileTest, JobCancelledReplacesTheStructuralError) {
    const std::string bytes = format63Tree16();
    bool completed = false;
    for (long nth = 1; nth < 200 && !completed; ++nth) {
        host.messages.clear();
        resetOutcome();
        memFailAt(nth);
        MemoryBlock block(bytes);
        ConstructNode* root = loadFromMemory(&doc, block.handle());
        memFailAt(0);
        if (root) {
            completed = true;
            EXPECT_FALSE(g_outcome.jobCancelled);
            freeSequence(root);
        } else {
            EXPECT_TRUE(g_outcome.jobCancelled) << nth;
            EXPECT_TRUE(host.messages.empty()) << nth;
        }
    }
    EXPECT_TRUE(completed);
    resetOutcome();
}

// ---------------------------------------------------------------------------
// Inserting and pasting

TEST_F(DiagramFileTest, InsertingUnwrapsTheTopSegmentOfNewFormats) {
    doc.lastLevelId = 50;
    doc.shortInfo = memStrDup("mine");
    setCurrentStreamFormat(&doc);
    ConstructNode* sequence = nullptr;
    ASSERT_EQ(insertDiagramFile(&doc, file(format63Tree16()), &sequence), 1);
    // Every body read now, with new level ids.
    EXPECT_EQ(shape(sequence), sampleShape(52));
    EXPECT_EQ(sequence->up, nullptr);
    EXPECT_EQ(tree_test::checkLinks(sequence), "");
    EXPECT_EQ(doc.lastLevelId, 52u);
    EXPECT_STREQ(doc.shortInfo, "mine");
    EXPECT_STREQ(doc.formatVersion, "6.3");
    freeSequence(sequence);

    // Older diagrams have no top segment: their sequence as stored.
    for (const std::string& older : {format30Tree5(), format23()}) {
        ASSERT_EQ(insertDiagramFile(&doc, file(older), &sequence), 1);
        EXPECT_EQ(shape(sequence), sampleShape(doc.lastLevelId));
        EXPECT_EQ(tree_test::checkLinks(sequence), "");
        freeSequence(sequence);
    }
    EXPECT_TRUE(host.messages.empty());

    EXPECT_EQ(insertDiagramFile(&doc, "no/such/file.vrd", &sequence), 0);
    EXPECT_EQ(sequence, nullptr);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(DiagramFileTest, PastingTakesTheSegmentBodyWithNewLevelIds) {
    // Clipboard data as the copy command makes it: a Level whose body is the
    // copied sequence, written whole.
    ConstructNode* copied = nullptr;
    {
        MemoryBlock source(format63Tree16());
        copied = loadFromMemory(&doc, source.handle());
        ASSERT_NE(copied, nullptr);
    }
    WriteStream out;
    doc.streamMode = kStreamModeKeepTree;
    ASSERT_EQ(writeDiagram(&doc, copied, out.file(), true), 1);
    freeSequence(copied);
    MemoryBlock clipboard(out.bytes());

    doc.lastLevelId = 12;
    ConstructNode* sequence = nullptr;
    ASSERT_EQ(readClipboardDiagram(&doc, clipboard.handle(), &sequence), 1);
    EXPECT_EQ(shape(sequence), sampleShape(14));
    EXPECT_EQ(sequence->lineNumber, 0);  // line numbers are not taken over
    EXPECT_EQ(tree_test::checkLinks(sequence), "");
    freeSequence(sequence);

    // Older clipboard data gets a top segment (15), which goes again.
    MemoryBlock old(format24());
    ASSERT_EQ(readClipboardDiagram(&doc, old.handle(), &sequence), 1);
    EXPECT_EQ(shape(sequence), sampleShape(16));
    freeSequence(sequence);
    EXPECT_TRUE(host.messages.empty());

    MemoryBlock bad("QQQ");
    EXPECT_EQ(readClipboardDiagram(&doc, bad.handle(), &sequence), 0);
    EXPECT_EQ(sequence, nullptr);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned{IDS_CLIP_NOT_FORMAT});
}

TEST_F(DiagramFileTest, UnwrapKeepsSuccessorsAndBodiesOnDisk) {
    ConstructNode* level = newConstruct(&doc, 3050);
    ConstructNode* body = tree_test::chain({tree_test::makeText("a"), tree_test::makeText("b")});
    setChildAt(body, level, Slot::Body);
    ConstructNode* root = tree_test::chain({level, tree_test::makeText("after")});
    ConstructNode* head = unwrapTopSegment(root);
    EXPECT_EQ(shape(head), "Text\"a\" Text\"b\" Text\"after\"");
    EXPECT_EQ(tree_test::checkLinks(head), "");
    freeSequence(head);

    // An empty top segment unwraps to nothing; a body on disk is not touched.
    EXPECT_EQ(unwrapTopSegment(newConstruct(&doc, 3050)), nullptr);
    ConstructNode* onDisk = newConstruct(&doc, 3050);
    setSegmentFlags(onDisk, kSegOnDisk);
    EXPECT_EQ(unwrapTopSegment(onDisk), onDisk);
    freeSequence(onDisk);
    ConstructNode* text = tree_test::makeText("plain");
    EXPECT_EQ(unwrapTopSegment(text), text);
    freeSequence(text);
}

// ---------------------------------------------------------------------------
// Conversion

struct ImportLog {
    int calls = 0;
    ImportRequest last{};
    bool fail = false;
};
ImportLog g_importLog;
bool g_parserConfigured = true;
bool g_suppressed = false;
FileKind g_suppressedAsked = FileKind::Diagram;

ConstructNode* fakeImport(const ImportRequest& request) {
    ++g_importLog.calls;
    g_importLog.last = request;
    if (g_importLog.fail) return nullptr;
    return newConstruct(request.document, 3050);
}
bool parserConfigured() {
    return g_parserConfigured;
}
bool suppressed(FileKind kind) {
    g_suppressedAsked = kind;
    return g_suppressed;
}

class DiagramFileConversion : public DiagramFileTest {
protected:
    void SetUp() override {
        DiagramFileTest::SetUp();
        g_importLog = ImportLog{};
        g_parserConfigured = true;
        g_suppressed = false;
        setImportHooks({parserConfigured, fakeImport});
        setConversionNoticeHook(suppressed);
    }
};

TEST_F(DiagramFileConversion, SourceIsConvertedAfterConfirmation) {
    const char* source = file("program Hello;\r\nbegin\r\nend.\r\n");
    const std::string path = fullPathOf(source);
    host.answer(kAnswerOk);
    ASSERT_EQ(openDocument(&doc, source), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned{IDS_CONVERT_SOURCE});
    EXPECT_EQ(host.messages[0].text,
              "File " + path + " will be converted from source to Korrin(VRD) format.");
    EXPECT_EQ(host.messages[0].style, unsigned{kBoxOkCancel | kIconExclamation | kBoxTaskModal});
    EXPECT_EQ(g_importLog.calls, 1);
    EXPECT_FALSE(g_importLog.last.transfer);
    EXPECT_EQ(g_importLog.last.loadMode, kLoadModeOpen);
    EXPECT_EQ(g_importLog.last.source, &doc.ownFile);
    EXPECT_EQ(doc.ownFile.kind, FileKind::Source);
    EXPECT_EQ(g_suppressedAsked, FileKind::Source);
    ASSERT_NE(doc.root, nullptr);
    // A converted tree is the import's: no segment source over the text.
    EXPECT_EQ(doc.segmentSource, nullptr);

    // Cancel ends the open without anything further.
    closeDocument(&doc);
    host.messages.clear();
    host.answer(kAnswerCancel);
    EXPECT_EQ(openDocument(&doc, source), 0);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(g_importLog.calls, 1);
}

TEST_F(DiagramFileConversion, TransferFileAndWhenNotToAsk) {
    const char* transfer = file(transferFile());
    const std::string path = fullPathOf(transfer);
    host.answer(kAnswerOk);
    ASSERT_EQ(openDocument(&doc, transfer), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "File " + path + " will be converted from ETF to Korrin(VRD) format.");
    EXPECT_TRUE(g_importLog.last.transfer);
    EXPECT_EQ(doc.ownFile.kind, FileKind::Transfer);
    EXPECT_EQ(g_suppressedAsked, FileKind::Transfer);

    // Switched off in the settings, or serving another application, or a
    // start without dialogs: no question.
    host.messages.clear();
    g_suppressed = true;
    ASSERT_EQ(openDocument(&doc, transfer), 1);
    g_suppressed = false;
    g_hostState.insideForeignCall = true;
    ASSERT_EQ(openDocument(&doc, transfer), 1);
    g_hostState = HostState{};
    g_hostState.noDialogs = true;
    ASSERT_EQ(openDocument(&doc, transfer), 1);
    g_hostState = HostState{};
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(g_importLog.calls, 4);

    // A failed import adds no message of its own.
    g_importLog.fail = true;
    host.answer(kAnswerOk);
    EXPECT_EQ(openDocument(&doc, transfer), 0);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(DiagramFileConversion, WithoutParserSourceIsReadAsDiagram) {
    g_parserConfigured = false;
    EXPECT_EQ(openDocument(&doc, file("program Hello;\r\n")), 0);
    EXPECT_EQ(g_importLog.calls, 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned{IDS_FILE_NOT_FORMAT});

    // Diagrams, old ones included, never go to the parser.
    host.messages.clear();
    g_parserConfigured = true;
    ASSERT_EQ(openDocument(&doc, file(format23())), 1);
    EXPECT_EQ(g_importLog.calls, 0);
    EXPECT_TRUE(host.messages.empty());

    // Inserting converts too, in insert mode.
    host.answer(kAnswerOk);
    ConstructNode* sequence = nullptr;
    ASSERT_EQ(insertDiagramFile(&doc, file(transferFile()), &sequence), 1);
    EXPECT_EQ(g_importLog.last.loadMode, kLoadModeInsert);
    EXPECT_EQ(g_importLog.last.options & kReadKeepDocumentInfo, kReadKeepDocumentInfo);
    freeSequence(sequence);
}

TEST_F(DiagramFileTest, ReadingReleasesTheLockOfTheFile) {
    const char* name = file(format63Tree16());
    platform::OpenInfo info{};
    doc.ownFile.file = bfile::openFile(name, &info, platform::kOpenReadWrite | platform::kShareDenyWrite, 0);
    ASSERT_NE(doc.ownFile.file, nullptr);
    ASSERT_EQ(bfile::lock(doc.ownFile.file, true), 0);
    ConstructNode* root = loadDocument(&doc, &doc.ownFile, 0, SourceKind::File);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(doc.ownFile.file->locked, 0u);
    // Bodies come from the still open file.
    EXPECT_EQ(doc.segmentSource, &doc.ownFileSource);
    EXPECT_EQ(ensureLoaded(root, &doc), 1);
    doc.root = root;
}

// ---------------------------------------------------------------------------
// The temporary-file step

int g_stepCalls = 0;
int g_stepResult = 1;
int temporaryStep(DiagramDocument* document, FileDescriptor* source, ConstructNode* root) {
    ++g_stepCalls;
    EXPECT_EQ(source, &document->ownFile);
    EXPECT_EQ(root->type, ConstructType::Level);
    return g_stepResult;
}

TEST_F(DiagramFileTest, TemporaryFileStepTakesOverAfterReading) {
    g_stepCalls = 0;
    g_stepResult = 1;
    setTemporaryFileStep(temporaryStep);
    const char* name = file(format63Tree16());
    ASSERT_EQ(openDocument(&doc, name), 1);
    EXPECT_EQ(g_stepCalls, 1);
    EXPECT_EQ(doc.segmentSource, nullptr);  // the step's to set

    // A failing step fails the open; the document stays as it was.
    ConstructNode* before = doc.root;
    g_stepResult = 0;
    EXPECT_EQ(openDocument(&doc, name), 0);
    EXPECT_EQ(g_stepCalls, 2);
    EXPECT_EQ(doc.root, before);
    // Memory data does not go through it.
    MemoryBlock block(format63Tree16());
    ConstructNode* root = loadFromMemory(&doc, block.handle());
    EXPECT_NE(root, nullptr);
    freeSequence(root);
    EXPECT_EQ(g_stepCalls, 2);
}

TEST_F(DiagramFileTest, AFailedReloadKeepsTheDocument) {
    // Opened with the real temporary-file step, one body still on disk.
    setTemporaryFileStep(temporaryFileStep);
    std::string path;
    ASSERT_TRUE(open(format63Tree16(), &path));
    ConstructNode* root = doc.root;
    const std::string temp = doc.tempFile.path;
    doc.shortInfo = static_cast<char*>(memFree(doc.shortInfo));
    doc.shortInfo = memStrDup("kept");
    doc.modified = true;

    std::string damaged = format63Tree16();
    damaged.resize(damaged.size() - 3);
    for (const std::string& bytes : {damaged, std::string("VRD\0"
                                                          "6.3\0",
                                                          8)}) {
        host.messages.clear();
        EXPECT_EQ(openDocument(&doc, file(bytes)), 0);
        EXPECT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(doc.root, root);
        EXPECT_EQ(fullPathOf(doc.ownFile.path), path);
        EXPECT_STREQ(doc.shortInfo, "kept");
        EXPECT_TRUE(doc.modified);
        EXPECT_EQ(doc.segmentSource, &doc.tempFileSource);
        EXPECT_EQ(doc.tempFile.path, temp);
    }
    // Bodies on disk still load from the kept temporary file.
    ASSERT_EQ(ensureLoaded(root, &doc), 1);
    ASSERT_EQ(ensureLoaded(lastOf(levelInfoOf(root)->body), &doc), 1);
    EXPECT_EQ(shape(levelInfoOf(root)->body), sampleShape(7));
    // Reloading the file itself replaces the document.
    ASSERT_EQ(openDocument(&doc, path.c_str()), 1);
    EXPECT_NE(doc.tempFile.path, temp);
    EXPECT_FALSE(doc.modified);
}

// ---------------------------------------------------------------------------
// The writer

TEST_F(DiagramFileTest, WriterProducesTheHandBuiltFile) {
    // The document and its tree as the file holds them.
    ConstructNode* root = readFrom(format63Tree16(), SourceKind::File, kReadAllBodies | kReadKeepLineNumbers);
    ASSERT_NE(root, nullptr);
    doc.display.screenFont.fontHandle = 0x1234;  // never stored
    doc.streamMode = kStreamModeKeepTree;
    // Bodies read into memory drop their block words; the fixture has some.
    LevelInfo* inner = levelInfoOf(lastOf(levelInfoOf(root)->body));
    inner->blockWord1 = 11;
    inner->blockWord2 = 22;

    WriteStream out;
    g_outcome.writeOk = true;
    ASSERT_EQ(writeDiagram(&doc, root, out.file(), false), 1);
    EXPECT_EQ(out.bytes(), format63Tree16());

    // Tree-only mode: the header and the TREE chunk.
    WriteStream treeOnly;
    ASSERT_EQ(writeDiagram(&doc, root, treeOnly.file(), true), 1);
    const std::string full = format63Tree16();
    const std::string bytes = treeOnly.bytes();
    EXPECT_EQ(bytes.substr(0, 8), full.substr(0, 8));
    EXPECT_EQ(bytes.substr(8), full.substr(full.find("TREE")));
    freeSequence(root);
}

TEST_F(DiagramFileTest, WriterDetails) {
    char text[200];
    EXPECT_EQ(programVersionText(text, sizeof text), 17);
    EXPECT_STREQ(text, "Korrin(VRD) V6.32");
    setFileVersionInfo("build 7");
    programVersionText(text, sizeof text);
    EXPECT_STREQ(text, "Korrin(VRD) V6.32, build 7");
    setFileVersionInfo(std::string(300, 'x').c_str());
    EXPECT_EQ(programVersionText(text, sizeof text), kMaxProgramVersionText);
    setFileVersionInfo(nullptr);

    // Font records of version 2 with 2-byte integers read back the same.
    WriteStream out;
    FileBytes expected;
    expected.width = 2;
    expected.font(sampleFont(1), 2);
    ASSERT_EQ(writeFontRecord(out.file(), sampleFont(1), 2, 2), 1);
    EXPECT_EQ(out.bytes(), expected.data);

    // A string no reader takes fails the write.
    WriteStream strings;
    g_outcome.writeOk = true;
    const std::string longest(kMaxStringLength - 1, 'a');
    EXPECT_EQ(writeChunkString(strings.file(), longest.c_str()), 1);
    EXPECT_EQ(writeChunkString(strings.file(), (longest + "a").c_str()), 0);
    EXPECT_FALSE(g_outcome.writeOk);
    resetOutcome();
}

TEST_F(DiagramFileTest, CurrentFilesRoundTripWithLevelIdsAndOptions) {
    // A document written by this edition and opened again.
    ConstructNode* root = newConstruct(&doc, 3050);
    ConstructNode* inner = newConstruct(&doc, 3050);
    setChildAt(tree_test::chain({tree_test::makeText("x"), inner}), root, Slot::Body);
    setChildAt(tree_test::makeText("deep"), inner, Slot::Body);
    doc.lastLevelId = 77;
    doc.shortInfo = memStrDup("round trip");
    doc.display = sampleDisplay();
    doc.streamMode = kStreamModeKeepTree;
    const char* name = file("");
    {
        platform::OpenInfo info{};
        BufferedFile* f = bfile::openFile(name, &info, platform::kOpenReadWrite | platform::kOpenCreate, 0);
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(writeDiagram(&doc, root, f, false), 1);
        ASSERT_EQ(bfile::close(f), 0);
    }
    const std::string before = tree_test::dump(root);
    freeSequence(root);
    forgetDocumentInfo(&doc);
    doc.display = DisplayOptions{};
    doc.lastLevelId = 0;

    ASSERT_EQ(openDocument(&doc, name, kReadKeepLineNumbers | kReadAllBodies), 1);
    EXPECT_EQ(tree_test::dump(doc.root), before);
    EXPECT_STREQ(doc.shortInfo, "round trip");
    EXPECT_TRUE(doc.display == sampleDisplay());
    EXPECT_EQ(doc.lastLevelId, 77u);
    // The open file is the segment source, and blocks can be copied from it.
    ASSERT_EQ(doc.segmentSource, &doc.ownFileSource);
    bool openedHere = true;
    EXPECT_EQ(doc.segmentSource->acquireFile(doc.segmentSource->context, &doc, &openedHere),
              doc.ownFile.file);
    EXPECT_FALSE(openedHere);
}

}  // namespace
