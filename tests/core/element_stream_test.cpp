// The element stream: record layout, segment blocks, write modes, read
// options, stored versions, the outline reader and the record-by-record
// writer of the parser interface.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/allocator.h"
#include "core/outcome.h"
#include "tests/core/element_stream_helpers.h"

using namespace tree_test;
using namespace stream_test;

namespace {

class ElementStream : public StreamTest {};

std::vector<int> g_errors;
void recordError(unsigned, int detail) {
    g_errors.push_back(detail);
}

ConstructNode* textWithLine(const char* text, std::int32_t line) {
    ConstructNode* node = makeText(text);
    node->lineNumber = line;
    return node;
}

// A Level with `head` and `body` (loaded), id given.
ConstructNode* segment(DiagramDocument* doc, std::uint32_t id, ConstructNode* head, ConstructNode* body,
                       std::uint8_t flags = kSegLoaded) {
    ConstructNode* level = makeLevel(id, flags, doc);
    setChildAt(head, level, Slot::Head);
    setChildAt(body, level, Slot::Body);
    return level;
}

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    return v;
}

}  // namespace

// ---------------------------------------------------------------------------
// Layout

TEST_F(ElementStream, EmptyDiagramIsOneEndByte) {
    EXPECT_EQ(write(nullptr), "\xF0");
    EXPECT_EQ(read("\xF0", kReadAllBodies), nullptr);
}

TEST_F(ElementStream, RecordLayoutWithLabelsAndPlaceholder) {
    ConstructNode* ph = makeNode(ConstructType::Dummy);
    setPartInt(ph, 0, 3);
    setPartInt(ph, 1, 8);
    ph->lineNumber = -2;
    ph->leftLabel = memStrDup("L");
    ConstructNode* text = makeText("ab");
    ConstructNode* seq = chain({ph, text});
    Bytes expected;
    expected.b(0xFF).i(1).i(-2).s("L").s(nullptr).i(3).i(8);
    expected.b(0xFF).i(15).i(0).s(nullptr).s(nullptr).s("ab").end();
    EXPECT_EQ(write(seq), expected.data);
    freeSequence(seq);
}

TEST_F(ElementStream, EmptyTextStaysEmptyAndNullStaysNull) {
    ConstructNode* seq = chain({makeText(""), makeText(nullptr)});
    const std::string bytes = write(seq);
    EXPECT_EQ(bytes, Bytes().element(15).i(1).element(15).i(0).end().data);
    ConstructNode* back = read(bytes, 0);
    ASSERT_NE(textOf(back), nullptr);
    EXPECT_STREQ(textOf(back), "");
    EXPECT_EQ(textOf(back->next), nullptr);
    freeSequence(back);
    freeSequence(seq);
}

TEST_F(ElementStream, StringLengthLimit) {
    // 29988 characters is the longest text a stream holds.
    const std::string longest(kMaxStringLength - 1, 'q');
    ConstructNode* ok = makeText(longest.c_str());
    ConstructNode* back = read(write(ok), 0);
    EXPECT_EQ(std::string(textOf(back)), longest);
    freeSequence(back);
    freeSequence(ok);

    // One more cannot be stored: the write fails instead of making a stream
    // that cannot be read back.
    ConstructNode* tooLong = makeText((longest + "q").c_str());
    WriteStream out;
    g_outcome.writeOk = true;
    EXPECT_EQ(writeSequence(&doc, tooLong, nullptr, out.file()), 0);
    EXPECT_FALSE(g_outcome.writeOk);
    freeSequence(tooLong);

    expectReadFails(Bytes().element(15).i(kMaxStringLength + 1).data + std::string(kMaxStringLength, 'q') +
                    "\xF0");
}

TEST_F(ElementStream, SegmentPartAndBackPatchedBlockLength) {
    ConstructNode* level =
        segment(&doc, 7, makeText("h"), makeText("b"), kSegLoaded | kSegLineNumbersInvalid);
    levelInfoOf(level)->blockWord1 = 0x11;
    levelInfoOf(level)->blockWord2 = 0x22;
    doc.streamMode = kStreamModeKeepTree;
    const std::string bytes = write(level);

    const std::string body = Bytes().element(15).s("b").end().data;
    Bytes expected;
    expected.element(14).levelStart(0x20, 7).element(15).s("h").end();
    const std::size_t blockAt = expected.data.size();
    expected.block(static_cast<std::uint32_t>(12 + body.size()), 0x22, 0x11);
    expected.data += body;
    expected.end();
    EXPECT_EQ(bytes, expected.data);
    // Stream mode 0x04 leaves the tree alone.
    EXPECT_EQ(segmentFlags(level), kSegLoaded | kSegLineNumbersInvalid);
    EXPECT_EQ(levelInfoOf(level)->fileOffset, 0u);

    // Mode 0: the block's offset is recorded and the flags become 0x11.
    doc.streamMode = 0;
    EXPECT_EQ(write(level), bytes);
    EXPECT_EQ(levelInfoOf(level)->fileOffset, blockAt);
    EXPECT_EQ(segmentFlags(level), kSegLoaded | kSegFileCurrent);
    freeSequence(level);
}

TEST_F(ElementStream, WritesOnlyTheRangeUpToLast) {
    ConstructNode* seq = chain({makeText("a"), makeText("b"), makeText("c")});
    WriteStream out;
    EXPECT_EQ(writeSequence(&doc, seq, seq->next, out.file()), 1);
    ConstructNode* back = read(out.bytes(), 0);
    EXPECT_EQ(shape(back), "Text\"a\" Text\"b\"");
    freeSequence(back);
    freeSequence(seq);
}

TEST_F(ElementStream, RecordByRecordLikeTheParserInterface) {
    // What the parser callbacks do: element, level start, head, block
    // header, body records one by one, end markers, patched length.
    ConstructNode* level = segment(&doc, 3, nullptr, nullptr);
    ConstructNode* head = makeText("h");
    ConstructNode* stmt = makeText("s");
    WriteStream out;
    BufferedFile* f = out.file();
    EXPECT_EQ(writeNumberedElement(f, level, 10), 1);
    EXPECT_EQ(writeLevelStart(f, level), 1);
    EXPECT_EQ(writeSequence(&doc, head, nullptr, f), 1);
    const auto blockOffset = static_cast<std::uint32_t>(bfile::tell(f));
    levelInfoOf(level)->blockWord1 = 5;
    EXPECT_EQ(writeBlockHeader(f, level), 1);
    EXPECT_EQ(writeNumberedElement(f, stmt, 12), 1);
    EXPECT_EQ(writeElement(f, nullptr), 1);
    EXPECT_EQ(patchBlockLength(f, blockOffset), 1);
    EXPECT_EQ(writeElement(f, nullptr), 1);
    const std::string bytes = out.bytes();
    EXPECT_EQ(u32At(bytes, blockOffset), bytes.size() - 1 - blockOffset);

    ConstructNode* back = read(bytes, kReadKeepLineNumbers);
    EXPECT_EQ(back->lineNumber, 10);
    EXPECT_EQ(levelInfoOf(back)->blockWord1, 5u);  // carried while the body stays on disk
    EXPECT_EQ(levelInfoOf(back)->fileOffset, blockOffset);
    freeSequence(back);
    back = read(bytes, kReadKeepLineNumbers | kReadAllBodies);
    EXPECT_EQ(dump(back), "(Level@10 id 3 f0 w0,0 9:(Text \"h\") 4:(Text@12 \"s\"))");
    freeSequence(back);
    freeSequence(level);
    freeSequence(head);
    freeSequence(stmt);
}

TEST_F(ElementStream, RecordsFromFieldsAreTheConstructsRecords) {
    // The parser callbacks write records from their fields, straight into the
    // buffer or, where it ends or a text is longer than it, piece by piece.
    const std::string longText(6000, 't');
    struct Case {
        ConstructType type;
        const char* left;
        const char* right;
        const char* text;
        std::int32_t owner, slot;
    };
    const Case cases[] = {
        {ConstructType::Text, nullptr, nullptr, "a := 1", 0, 0},
        {ConstructType::Text, "L", "R", nullptr, 0, 0},
        {ConstructType::FreeFormat, nullptr, nullptr, "", 0, 0},
        {ConstructType::Dummy, "left", nullptr, nullptr, 3, 8},
        {ConstructType::While, nullptr, "right", nullptr, 0, 0},
        {ConstructType::SpecialText, nullptr, nullptr, longText.c_str(), 0, 0},
    };
    WriteStream fromFields, fromNodes;
    for (std::int32_t round = 0; round < 300; ++round) {  // past many ends of the buffer
        for (const Case& c : cases) {
            const ElementFields fields{
                c.type, round, c.left, c.right, c.text, c.text ? std::strlen(c.text) : 0, {c.owner, c.slot}};
            ASSERT_EQ(writeElementFields(fromFields.file(), fields), 1);
            ConstructNode* node = c.text ? makeText(c.text) : makeNode(c.type);
            node->type = c.type;
            node->lineNumber = round;
            node->leftLabel = c.left ? memStrDup(c.left) : nullptr;
            node->rightLabel = c.right ? memStrDup(c.right) : nullptr;
            if (c.type == ConstructType::Dummy) {
                setPartInt(node, 0, c.owner);
                setPartInt(node, 1, c.slot);
            }
            ASSERT_EQ(writeElement(fromNodes.file(), node), 1);
            freeSequence(node);
        }
    }
    EXPECT_EQ(fromFields.bytes(), fromNodes.bytes());

    // A type with a payload record of its own has no fields to be written from.
    g_outcome.writeOk = true;
    EXPECT_EQ(
        writeElementFields(fromFields.file(),
                           ElementFields{ConstructType::KdlCommand, 0, nullptr, nullptr, nullptr, 0, {0, 0}}),
        0);
    EXPECT_FALSE(g_outcome.writeOk);
}

TEST_F(ElementStream, PatchBlockLengthRefusesAnOffsetAhead) {
    WriteStream out;
    EXPECT_EQ(patchBlockLength(out.file(), 0), 0);  // not even a header behind
    Bytes twelve;
    twelve.block(0);
    bfile::write(out.file(), twelve.data.data(), 12);
    g_outcome.writeOk = true;
    EXPECT_EQ(patchBlockLength(out.file(), 13), 0);
    EXPECT_FALSE(g_outcome.writeOk);
    EXPECT_EQ(patchBlockLength(out.file(), 0), 1);
    EXPECT_EQ(u32At(out.bytes(), 0), 12u);
}

// ---------------------------------------------------------------------------
// Internal structure errors

TEST_F(ElementStream, TypesNotWrittenAndBadHostKindsFailTheWrite) {
    setInternalErrorHook(recordError);
    struct Case {
        ConstructNode* node;
        int detail;
    };
    ConstructNode* choice = makeNode(ConstructType::Choice);
    ConstructNode* foreign = makeNode(static_cast<ConstructType>(29));
    ConstructNode* bare = makeNode(ConstructType::Level);  // no LevelInfo
    ConstructNode* kdl = makeNode(ConstructType::KdlCommand);
    auto* rec = static_cast<HostCommand*>(memAlloc(sizeof(HostCommand)));
    rec->kind = 3;
    setPartPtr(kdl, 0, rec);
    for (const Case& c : {Case{choice, 101}, Case{foreign, 101}, Case{bare, 101}, Case{kdl, 102}}) {
        g_errors.clear();
        ConstructNode* outer = makeNode(ConstructType::Loop);
        setChildAt(c.node, outer, Slot::Body);
        WriteStream out;
        g_outcome.writeOk = true;
        EXPECT_EQ(writeSequence(&doc, outer, nullptr, out.file()), 0);
        EXPECT_FALSE(g_outcome.writeOk);
        EXPECT_EQ(g_errors, std::vector<int>{c.detail});
        setChildAt(nullptr, outer, Slot::Body);
        freeSequence(outer);
    }
    freeSequence(choice);
    freeSequence(foreign);
    freeSequence(bare);
    freeSequence(kdl);
}

// ---------------------------------------------------------------------------
// Read options

TEST_F(ElementStream, LineNumberOptions) {
    ConstructNode* inner =
        segment(&doc, 2, nullptr, textWithLine("b", 7), kSegLoaded | kSegLineNumbersInvalid);
    inner->lineNumber = 6;
    ConstructNode* top = segment(&doc, 1, textWithLine("h", 4), inner);
    const std::string bytes = write(top);

    ConstructNode* none = read(bytes, kReadAllBodies);
    EXPECT_EQ(dump(none), "(Level id 1 f0 w0,0 9:(Text \"h\") 4:(Level id 2 f32 w0,0 9:() 4:(Text \"b\")))");
    // Kept, except in a body whose segment says its numbers are invalid.
    ConstructNode* kept = read(bytes, kReadAllBodies | kReadKeepLineNumbers);
    EXPECT_EQ(dump(kept),
              "(Level id 1 f0 w0,0 9:(Text@4 \"h\") 4:(Level@6 id 2 f32 w0,0 9:() 4:(Text \"b\")))");
    // Invalid: no numbers, and every segment is marked.
    ConstructNode* invalid = read(bytes, kReadAllBodies | kReadKeepLineNumbers | kReadLineNumbersInvalid);
    EXPECT_EQ(dump(invalid),
              "(Level id 1 f32 w0,0 9:(Text \"h\") 4:(Level id 2 f32 w0,0 9:() 4:(Text \"b\")))");
    for (ConstructNode* n : {none, kept, invalid, top}) freeSequence(n);
}

TEST_F(ElementStream, LevelIds) {
    ConstructNode* seq = chain({segment(&doc, 40, nullptr, nullptr), segment(&doc, 0, nullptr, nullptr)});
    levelInfoOf(seq->next)->levelId = 0;  // a stored 0 asks for a new id
    const std::string bytes = write(seq);

    doc.lastLevelId = 12;
    ConstructNode* stored = read(bytes, kReadAllBodies);
    EXPECT_EQ(levelInfoOf(stored)->levelId, 40u);
    EXPECT_EQ(levelInfoOf(stored->next)->levelId, 41u);
    EXPECT_EQ(doc.lastLevelId, 41u);

    doc.lastLevelId = 12;
    ConstructNode* fresh = read(bytes, kReadAllBodies | kReadNewLevelIds);
    EXPECT_EQ(levelInfoOf(fresh)->levelId, 13u);
    EXPECT_EQ(levelInfoOf(fresh->next)->levelId, 14u);
    EXPECT_EQ(doc.lastLevelId, 14u);
    for (ConstructNode* n : {seq, stored, fresh}) freeSequence(n);
}

TEST_F(ElementStream, AutomaticLabelsEmptyTheLabelsSwitchedOn) {
    ConstructNode* node = makeText("t");
    node->leftLabel = memStrDup("left");
    node->rightLabel = memStrDup("right");
    const std::string bytes = write(node);
    doc.autoLeftLabels = true;
    doc.leftLabelText = "auto";
    ConstructNode* applied = read(bytes, kReadAutoLabels);
    EXPECT_EQ(leftLabel(applied), nullptr);
    EXPECT_STREQ(rightLabel(applied), "right");
    ConstructNode* plain = read(bytes, 0);
    EXPECT_STREQ(leftLabel(plain), "left");
    for (ConstructNode* n : {node, applied, plain}) freeSequence(n);
}

TEST_F(ElementStream, BodiesStayOnDiskWithoutOptionReadAll) {
    ConstructNode* inner = segment(&doc, 2, makeText("ih"), makeText("ib"));
    ConstructNode* top = segment(&doc, 1, makeText("h"), chain({makeText("x"), inner}));
    levelInfoOf(top)->blockWord1 = 9;
    levelInfoOf(top)->blockWord2 = 8;
    doc.streamMode = 0;
    const std::string bytes = write(top);
    const std::uint32_t blockAt = levelInfoOf(top)->fileOffset;

    StreamSegmentSource source(bytes);
    doc.segmentSource = &source.source;
    ConstructNode* back = read(bytes, kReadKeepLineNumbers);
    EXPECT_EQ(shape(back), "Level#1{9:[Text\"h\"] 4:disk}");
    const LevelInfo* li = levelInfoOf(back);
    EXPECT_EQ(segmentFlags(back), kSegOnDisk);
    EXPECT_EQ(li->fileOffset, blockAt);
    EXPECT_EQ(li->readOffset, blockAt);
    EXPECT_EQ(li->blockWord1, 9u);
    EXPECT_EQ(li->blockWord2, 8u);

    // Loading on demand goes through the stream's segment reader.
    ASSERT_EQ(ensureLoaded(back, &doc), 1);
    EXPECT_EQ(shape(back), "Level#1{9:[Text\"h\"] 4:[Text\"x\" Level#2{9:[Text\"ih\"] 4:disk}]}");
    EXPECT_EQ(checkLinks(back), "");
    ConstructNode* all = read(bytes, kReadAllBodies);
    EXPECT_EQ(levelInfoOf(all)->blockWord1, 0u);
    EXPECT_EQ(levelInfoOf(all)->blockWord2, 0u);
    EXPECT_EQ(segmentFlags(all), kSegLoaded);
    EXPECT_EQ(dump(all), dump(top).replace(dump(top).find("w9,8"), 4, "w0,0"));
    for (ConstructNode* n : {top, back, all}) freeSequence(n);
}

// ---------------------------------------------------------------------------
// Writing segments whose bodies are not (only) in memory

class ElementStreamSegments : public ElementStream {
protected:
    // Writes a top segment holding `x`, a segment A (head "a", body: "a1"
    // and segment B with body "b1") and reads it back with bodies on disk.
    void SetUp() override {
        ElementStream::SetUp();
        ConstructNode* b = segment(&doc, 3, makeText("bh"), makeText("b1"));
        ConstructNode* a = segment(&doc, 2, makeText("a"), chain({makeText("a1"), b}));
        original = segment(&doc, 1, nullptr, chain({makeText("x"), a}));
        doc.streamMode = 0;
        first = write(original);
        source = std::make_unique<StreamSegmentSource>(first);
        doc.segmentSource = &source->source;
        doc.streamMode = kStreamModeKeepTree;
        tree = read(first, kReadKeepLineNumbers);
        ASSERT_EQ(ensureLoaded(tree, &doc), 1);
        segA = levelInfoOf(tree)->body->next;
    }
    void TearDown() override {
        freeSequence(tree);
        freeSequence(original);
        source.reset();
        ElementStream::TearDown();
    }

    ConstructNode* original = nullptr;
    ConstructNode* tree = nullptr;
    ConstructNode* segA = nullptr;
    std::string first;
    std::unique_ptr<StreamSegmentSource> source;
};

TEST_F(ElementStreamSegments, BlocksOnDiskAreCopiedByteForByte) {
    // The top body is loaded with a current file copy, A lies on disk.
    ASSERT_EQ(segmentFlags(tree), kSegLoaded | kSegFileCurrent);
    ASSERT_EQ(segmentFlags(segA), kSegOnDisk);
    EXPECT_EQ(write(tree), first);
    EXPECT_EQ(source->acquired, source->released);
    EXPECT_GE(source->acquired, 1);
}

TEST_F(ElementStreamSegments, CopiedBlockGetsItsNewOffset) {
    // A longer head moves A's block; the block itself is unchanged.
    const std::uint32_t oldOffset = levelInfoOf(segA)->fileOffset;
    setText(partNode(segA, 0), memStrDup("a longer head"));
    setSegmentFlags(tree, kSegLoaded);  // the edit touched the top segment's body
    doc.streamMode = 0;
    const std::string second = write(tree);
    const std::uint32_t newOffset = levelInfoOf(segA)->fileOffset;
    EXPECT_EQ(newOffset, oldOffset + 12);
    const std::uint32_t length = u32At(first, oldOffset);
    EXPECT_EQ(u32At(second, newOffset), length);
    EXPECT_EQ(second.substr(newOffset, length), first.substr(oldOffset, length));
    EXPECT_EQ(segmentFlags(segA), kSegOnDisk);  // copied, not serialised
}

TEST_F(ElementStreamSegments, SegmentsInsideACopiedBlockMoveWithIt) {
    // A loaded and current, B (inside A) on disk: A's block is copied, and
    // B's offset must follow it into the new file.
    ASSERT_EQ(ensureLoaded(segA, &doc), 1);
    ConstructNode* segB = levelInfoOf(segA)->body->next;
    ASSERT_EQ(segmentFlags(segB), kSegOnDisk);
    const std::uint32_t oldOffset = levelInfoOf(segB)->fileOffset;
    setText(levelInfoOf(tree)->body, memStrDup("a longer first statement"));
    setSegmentFlags(tree, kSegLoaded);
    doc.streamMode = 0;
    const std::string second = write(tree);
    EXPECT_EQ(segmentFlags(segA), kSegLoaded | kSegFileCurrent);
    EXPECT_EQ(levelInfoOf(segB)->fileOffset, oldOffset + 23);

    // Switch the segment source to the new stream, as the temporary file
    // does, and load B from it.
    StreamSegmentSource next(second);
    doc.segmentSource = &next.source;
    ASSERT_EQ(ensureLoaded(segB, &doc), 1);
    EXPECT_EQ(shape(levelInfoOf(segB)->body), "Text\"b1\"");
}

TEST_F(ElementStreamSegments, ChangedSegmentInsideBlocksTheCopy) {
    ASSERT_EQ(ensureLoaded(segA, &doc), 1);
    ConstructNode* segB = levelInfoOf(segA)->body->next;
    ASSERT_EQ(ensureLoaded(segB, &doc), 1);
    // B was edited: its file copy is no longer current, so A's is not.
    setText(levelInfoOf(segB)->body, memStrDup("edited"));
    setSegmentFlags(segB, kSegLoaded);
    const std::string second = write(tree);
    ReadStream in(second);
    g_outcome.readOk = true;
    ConstructNode* back = readSequence(&doc, in.file(), kReadAllBodies);
    EXPECT_NE(dump(back).find("\"edited\""), std::string::npos);
    freeSequence(back);
}

TEST_F(ElementStreamSegments, ShownSegmentIsSerialised) {
    setSegmentShownHook([](const ConstructNode* level) { return levelInfoOf(level)->levelId == 1; });
    EXPECT_EQ(write(tree), first);
    // A (on disk) is still copied; the shown top segment is not.
    EXPECT_EQ(source->acquired, 1);
}

TEST_F(ElementStreamSegments, BodyLoadedForTheWriteIsPagedOutAgain) {
    // Blocks of an older tree version are never copied: A is loaded to be
    // written.
    setFormat(&doc, "VRD", "6.3", 15);
    doc.streamMode = 0;
    EXPECT_EQ(write(tree), first);
    EXPECT_EQ(source->acquired, 0);
    // B inside A is loaded too, and goes first.
    ConstructNode* segB = levelInfoOf(segA)->body->next;
    EXPECT_EQ(source->pagedOut, (std::vector<ConstructNode*>{segB, segA}));
    EXPECT_EQ(segmentFlags(segA), kSegLoaded | kSegFileCurrent);
}

TEST_F(ElementStreamSegments, WithoutAFileToCopyFromTheBodyIsLoaded) {
    source->noFile = true;
    EXPECT_EQ(write(tree), first);
    EXPECT_EQ(source->pagedOut.size(), 2u);
}

TEST_F(ElementStreamSegments, SegmentThatCannotBeLoadedFailsTheWrite) {
    setFormat(&doc, "VRD", "6.3", 15);
    doc.segmentSource = nullptr;
    WriteStream out;
    g_outcome.writeOk = true;
    EXPECT_EQ(writeSequence(&doc, tree, nullptr, out.file()), 0);
    EXPECT_FALSE(g_outcome.writeOk);
}

TEST_F(ElementStreamSegments, CopyFailsOnABrokenBlock) {
    // A block whose source ends early, and one whose length is shorter
    // than its header.
    const std::uint32_t at = levelInfoOf(segA)->fileOffset;
    const std::uint32_t length = u32At(first, at);
    for (const std::string& broken :
         {first.substr(0, at + length - 1),
          first.substr(0, at) + std::string("\x05\0\0\0", 4) + first.substr(at + 4)}) {
        ReadStream src(broken);
        WriteStream out;
        g_outcome.writeOk = true;
        EXPECT_EQ(copySegmentBlock(src.file(), out.file(), at), 0);
        EXPECT_FALSE(g_outcome.writeOk);
    }
    ReadStream src(first);
    WriteStream out;
    EXPECT_EQ(copySegmentBlock(src.file(), out.file(), at), 1);
    EXPECT_EQ(out.bytes(), first.substr(at, length));
}

// ---------------------------------------------------------------------------
// Stored versions

TEST_F(ElementStream, OlderEditionFormat24) {
    // 2-byte integers, marker-style strings, a left label only for some
    // types, no flags byte or level id, sub-kinds after the labels.
    setFormat(&doc, "VQ ", "2.4", 1);
    Bytes in;
    in.width = 2;
    in.b(0xFF).i(3).i(5).b(0xFF).data += std::string("if-label\0", 9);  // If: label
    in.b(0xF0).b(0xF0).b(0xF0);                                         // three empty slots
    in.b(0xFF).i(15).i(0).b(0xFF).data += std::string("text\0", 5);     // Text: no label
    in.b(0xFF).i(13).i(0).b(0xF0).u16(3).end().end();                   // Block sub-kind 3: Procedure
    in.b(0xFF).i(13).i(0).b(0xF0).u16(1).end().end();                   // stays a Block
    in.b(0xFF).i(2).i(0).u16(2);                                        // ProgramCall
    in.b(0xFF).i(2).i(0).u16(3);                                        // Resource
    in.b(0xFF).i(2).i(0).u16(4).b(0xF0);                                // Variant, no record
    in.b(0xFF).i(2).i(0).u16(7).b(0xF0);                                // stays a host command
    in.b(0xFF).i(14).i(0).end().block(0);                               // Level: no flags, no id
    in.end().end();
    ConstructNode* back = read(in.data, kReadAllBodies | kReadKeepLineNumbers);
    EXPECT_EQ(
        dump(back),
        "(If@5<\"if-label\"|~> 8:() 2:() 3:() Text \"text\" Procedure 9:() 4:() Block 9:() 4:() ProgramCall "
        "Resource Variant KdlCommand Level id 1 f0 w0,0 9:() 4:())");
    freeSequence(back);

    // A marker other than 0xF0/0xFF, and a string without NUL in 4096 bytes.
    Bytes bad;
    bad.width = 2;
    bad.b(0xFF).i(15).i(0).b(0x01);
    expectReadFails(bad.data);
    Bytes unterminated;
    unterminated.width = 2;
    unterminated.b(0xFF).i(15).i(0).b(0xFF).data += std::string(5000, 'x');
    expectReadFails(unterminated.data);
}

TEST_F(ElementStream, ThisEditionBelow25UsesLengthStrings) {
    setFormat(&doc, "VRD", "2.4", 1);
    Bytes in;
    in.width = 2;
    in.b(0xFF).i(15).i(0).s("abc").end();
    ConstructNode* back = read(in.data, 0);
    EXPECT_STREQ(textOf(back), "abc");
    freeSequence(back);
}

TEST_F(ElementStream, FlagsByteAndLevelIdByVersion) {
    struct Case {
        const char* version;
        std::uint16_t tree;
        bool flags;
        bool id;
    };
    for (const Case& c :
         {Case{"2.9", 16, false, false}, Case{"3.0", 2, false, false}, Case{"3.0", 3, true, false},
          Case{"5.0", 6, true, true}, Case{"6.3", 16, true, true}}) {
        SCOPED_TRACE(std::string(c.version) + "/" + std::to_string(c.tree));
        setFormat(&doc, "VRD", c.version, c.tree);
        doc.lastLevelId = 0;
        Bytes in;
        in.width = doc.intWidth;
        in.b(0xFF).i(14).i(0);
        if (c.tree > 14) in.s(nullptr).s(nullptr);
        if (c.flags) in.b(0x21);
        if (c.id) in.u32(77);
        in.end().block(0).end().end();
        ConstructNode* back = read(in.data, kReadAllBodies);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(segmentFlags(back), kSegLoaded | (c.flags ? kSegLineNumbersInvalid : 0));
        EXPECT_EQ(levelInfoOf(back)->levelId, c.id ? 77u : 1u);
        freeSequence(back);
    }
}

TEST_F(ElementStream, LabelsByTreeVersion) {
    ConstructNode* seq = chain({makeNode(ConstructType::While), makeText("t")});
    seq->leftLabel = memStrDup("wl");
    seq->rightLabel = memStrDup("wr");
    seq->next->leftLabel = memStrDup("tl");
    const std::string current = write(seq);
    ConstructNode* back = read(current, 0);
    EXPECT_EQ(dump(back), dump(seq));
    freeSequence(back);

    // Tree version 14: While carries its left label only, Text none.
    setFormat(&doc, "VRD", "6.3", 14);
    Bytes old;
    old.b(0xFF).i(4).i(0).s("wl").end().end();
    old.b(0xFF).i(15).i(0).s("t").end();
    back = read(old.data, 0);
    EXPECT_EQ(dump(back), "(While<\"wl\"|~> 8:() 4:() Text \"t\")");
    freeSequence(back);
    freeSequence(seq);
}

TEST_F(ElementStream, OldHostCommandSubKindsBelowTreeVersion9) {
    setFormat(&doc, "VRD", "6.3", 8);
    Bytes in;
    in.b(0xFF).i(2).i(0).u16(1).b(0xFF).i(1).b(0).s("cmd").end();  // host command with its record
    in.b(0xFF).i(2).i(0).u16(4).b(0xFF).s("v1").s("v2");           // variant with its record
    in.end();
    ConstructNode* back = read(in.data, 0);
    EXPECT_EQ(dump(back), "(KdlCommand cmd 1/0 \"cmd\" ~[] Variant variant \"v1\" \"v2\")");
    freeSequence(back);
}

TEST_F(ElementStream, EdgeTypesAreRead) {
    // Choice: one sequence in part0. Iteration: three, stored part0, part2,
    // part1.
    Bytes in;
    in.element(49).element(31).element(15).s("c").end().end();
    in.element(50).element(15).s("p0").end().element(15).s("p2").end().element(15).s("p1").end().end();
    ConstructNode* back = read(in.data, 0);
    ASSERT_EQ(countSequence(back), 2);
    EXPECT_EQ(shape(partNode(back, 0)), "Default{7:[Text\"c\"]}");
    ConstructNode* it = back->next;
    EXPECT_STREQ(textOf(partNode(it, 0)), "p0");
    EXPECT_STREQ(textOf(partNode(it, 2)), "p2");
    EXPECT_STREQ(textOf(partNode(it, 1)), "p1");
    EXPECT_EQ(partNode(it, 1)->up, it);
    freeSequence(back);
}

// ---------------------------------------------------------------------------
// Outline form

TEST_F(ElementStream, OutlineCollectsSegmentsProceduresFunctionsAndActionBlocks) {
    // Text, If{then: Procedure{head "p", body: Text, Function{head "f",
    // body: ActionBlock}}, else: Level}, Text
    ConstructNode* action = makeNode(ConstructType::ActionBlock);
    setChildAt(makeText("ah"), action, Slot::Head);
    setChildAt(makeText("dropped"), action, Slot::Body);
    ConstructNode* fn = makeNode(ConstructType::Function);
    setChildAt(makeText("f"), fn, Slot::Head);
    setChildAt(chain({makeNode(ConstructType::Loop), action}), fn, Slot::Body);
    ConstructNode* proc = makeNode(ConstructType::Procedure);
    setChildAt(makeText("p"), proc, Slot::Head);
    setChildAt(chain({makeText("s"), fn}), proc, Slot::Body);
    ConstructNode* ifNode = makeNode(ConstructType::If);
    setChildAt(newPlaceholder(ifNode, Slot::Condition), ifNode, Slot::Condition);
    setChildAt(proc, ifNode, Slot::Then);
    ConstructNode* inner =
        segment(&doc, 5, makeText("lh"), chain({makeText("x"), makeNode(ConstructType::Procedure)}));
    setChildAt(inner, ifNode, Slot::Else);
    ConstructNode* body = chain({makeText("a"), ifNode, makeText("b")});
    const std::string bytes = write(body);

    ReadStream in(bytes);
    g_outcome.readOk = true;
    ConstructNode* outline = readOutline(&doc, in.file(), 0);
    EXPECT_TRUE(g_outcome.readOk);
    EXPECT_EQ(
        shape(outline),
        "Procedure{9:[Text\"p\"] 4:[Function{9:[Text\"f\"] 4:[ActionBlock{9:[Text\"ah\"] 4:[] 16:[]}]}]} "
        "Level#5{9:[Text\"lh\"] 4:disk}");
    EXPECT_EQ(checkLinks(outline), "");
    EXPECT_EQ(segmentFlags(outline->next), kSegOnDisk);
    freeSequence(outline);

    // With every body read now, a segment holds an outline copy: 0x06.
    ReadStream again(bytes);
    outline = readOutline(&doc, again.file(), kReadAllBodies);
    EXPECT_TRUE(g_outcome.readOk);
    EXPECT_EQ(segmentFlags(outline->next), kSegOnDisk | kSegOutline);
    EXPECT_EQ(shape(outline->next), "Level#5{9:[Text\"lh\"] 4:[Procedure{9:[] 4:[]}]}");
    freeSequence(outline);
    freeSequence(body);
}

TEST_F(ElementStream, ReadSegmentBodyInOutlineForm) {
    ConstructNode* top = segment(&doc, 1, nullptr, chain({makeText("x"), makeNode(ConstructType::Function)}));
    doc.streamMode = 0;
    const std::string bytes = write(top);
    StreamSegmentSource source(bytes);
    doc.segmentSource = &source.source;
    ConstructNode* back = read(bytes, 0);
    ASSERT_EQ(ensureReadable(back, &doc), 1);
    EXPECT_EQ(shape(back), "Level#1{9:[] 4:[Function{9:[] 4:[]}]}");
    EXPECT_EQ(segmentFlags(back), kSegOnDisk | kSegOutline);
    ASSERT_EQ(ensureLoaded(back, &doc), 1);
    EXPECT_EQ(shape(back), "Level#1{9:[] 4:[Text\"x\" Function{9:[] 4:[]}]}");
    // A block offset outside the stream fails cleanly.
    ConstructNode* none = nullptr;
    EXPECT_EQ(readSegmentBody(&doc, source.stream.file(), 0x7FFFFFF0u, 0, &none), 0);
    EXPECT_EQ(none, nullptr);
    freeSequence(back);
    freeSequence(top);
}

// ---------------------------------------------------------------------------
// Outcome flags

TEST_F(ElementStream, CancelledJobReadsAndWritesNothing) {
    ConstructNode* node = makeText("a");
    const std::string bytes = write(node);
    ReadStream in(bytes);
    WriteStream out;
    g_outcome.jobCancelled = true;
    EXPECT_EQ(readSequence(&doc, in.file(), 0), nullptr);
    EXPECT_FALSE(g_outcome.readOk);
    EXPECT_EQ(writeSequence(&doc, node, nullptr, out.file()), 0);
    EXPECT_FALSE(g_outcome.writeOk);
    EXPECT_EQ(out.bytes(), "");
    g_outcome.jobCancelled = false;
    freeSequence(node);
}
