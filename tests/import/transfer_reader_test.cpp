// korrin-imp's reader: entries, structure, every message of the failure
// table, results, limits and the character set, through the editor's
// import as the editor calls the plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/allocator.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "platform/platform.h"
#include "plugins/transfer/transfer_native.h"
#include "resources/strings.h"
#include "tests/import/import_helpers.h"

namespace import_test {
namespace {

const char* const kHead =
    "Korrin=VRD V6.32 2024-01-02 03:04:05\r\nShortInfo;\r\nEndShortInfo;\r\nOptions;\r\nEndOptions;\r\n";

// A file around the entries of a top segment's content.
std::string inTop(const std::string& entries) {
    return std::string(kHead) + "Level=1\r\nDummy;\r\nLevelBody;\r\n" + entries + "EndLevel;\r\n";
}

class Reader : public ImportTest {
protected:
    // Imports and returns the body of the top segment as a shape (or
    // "failed").
    std::string body(const std::string& file) {
        ConstructNode* root = importText(file);
        if (!root) return "failed";
        return tree_test::shape(levelInfoOf(root)->body);
    }
};

TEST_F(Reader, EntriesBuildTheTree) {
    EXPECT_EQ(
        body(inTop(
            "If:3\r\nText:3\r\nLine=a > b\r\nEndText;\r\nThen;\r\nText;\r\nLine=x\r\nLine=y\r\nEndText;\r\n"
            "Else;\r\nDummy;\r\nEndIf;\r\n")),
        "If{8:[Text\"a > b\"] 2:[Text\"x\r\ny\"] 3:[ph(3,3)]}");
    EXPECT_TRUE(host.messages.empty());
    ConstructNode* root = importText(inTop("Text:12\r\nLine=t\r\nEndText;\r\n"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(levelInfoOf(root)->body->lineNumber, 12);
}

TEST_F(Reader, LineEndsBlanksAndControlZ) {
    // CR alone, LF alone, leading blanks and tabs; Ctrl-Z ends the file.
    std::string file =
        inTop(" \tText;\rLine=a\n  Line= b \r\n\r\nEndText;\r\n") + "\x1aGarbage that is never read";
    EXPECT_EQ(body(file), "Text\"a\r\n b \"");
    EXPECT_EQ(lastErrors, "");
}

TEST_F(Reader, LevelHeadersEntryNamesAndOffsets) {
    ConstructNode* root =
        importText(inTop("Level=9:4\r\nEntryName=entry\r\nSpecialText:6\r\nLine=head\r\n"
                         "EndSpecialText;\r\nOffset=8\r\nLevelBody;\r\nText;\r\nLine=in\r\nEndText;\r\n"
                         "EndLevel;\r\nLevel:5\r\nLevelBody;\r\nEndLevel;\r\n"));
    ASSERT_NE(root, nullptr) << lastErrors;
    ConstructNode* inner = levelInfoOf(root)->body;
    EXPECT_EQ(levelInfoOf(inner)->levelId, 9u);
    EXPECT_EQ(inner->lineNumber, 4);
    ConstructNode* head = childAt(inner, Slot::Head);
    EXPECT_EQ(head->type, ConstructType::Text);
    EXPECT_STREQ(textOf(head), "head");
    EXPECT_EQ(head->lineNumber, 8);
    // "Level:5" without id: a new one; no header: warned and a Dummy.
    ConstructNode* second = inner->next;
    EXPECT_EQ(second->lineNumber, 5);
    EXPECT_EQ(levelInfoOf(second)->levelId, 10u);
    EXPECT_EQ(childAt(second, Slot::Head)->type, ConstructType::Dummy);
    EXPECT_EQ(lastErrors, "Line 21: Warning: Element is incomplete.\r\n");
}

TEST_F(Reader, OptionsAreSentAsAttributes) {
    const std::string file =
        "Korrin=VRD "
        "V6.32\r\nShortInfo;\r\nLine=one\r\nLine=\r\nEndShortInfo;\r\nOptions;\r\nIfLayout=vertical\r\n"
        "LevelNumbers=TRUE\r\nConstructNumbers=1\r\nShowLeftLabels=yes\r\nPrivileges=secret\r\n"
        "ScreenFont=F,G,11\r\nLastLevelId=40\r\nColors=" +
        std::string(250, ' ') + "123456\r\nEndOptions;\r\nLevel=1\r\nDummy;\r\nLevelBody;\r\nEndLevel;\r\n";
    ASSERT_NE(importText(file), nullptr) << lastErrors;
    EXPECT_STREQ(doc.shortInfo, "one\r\n");
    EXPECT_EQ(doc.display.ifLayout, 1);
    EXPECT_TRUE(doc.display.showLevelNumbers);
    EXPECT_TRUE(doc.display.showLineNumbers);
    EXPECT_TRUE(doc.display.showLabels);
    EXPECT_STREQ(doc.display.screenFont.name1, "F");
    EXPECT_EQ(doc.display.screenFont.value1, 11);
    EXPECT_EQ(doc.lastLevelId, 40u);
    // The colour list is read from its first 253 characters: "123".
    EXPECT_EQ(doc.display.colours[0], 123u);
    EXPECT_EQ(lastErrors, "");
}

// Each message of the failure table, with its prefix, line and counter.
struct Case {
    const char* name;
    std::string file;
    const char* errors;  // the error file
    bool diagram;        // a diagram results (warnings only)
};

TEST_F(Reader, EveryMessage) {
    const std::string longValue(kTransferValueLimit, 'v');
    const Case cases[] = {
        {"keyword expected", std::string("Korrin=VRD V6.32\r\nOptions;\r\nEndOptions;\r\n"),
         "Line 2: Error: Keyword ShortInfo expected.\r\n", false},
        {"options end expected",
         std::string("Korrin=VRD\r\nShortInfo;\r\nEndShortInfo;\r\nOptions;\r\nLevel=1\r\n"
                     "Dummy;\r\nLevelBody;\r\nEndLevel;\r\n"),
         "Line 5: Error: Keyword EndOptions expected.\r\n", false},
        {"invalid keyword",
         inTop("Nonsense;\r\nText;\r\nLine\r\nLine = x\r\n" + std::string(34, 'A') + ";\r\nEndText;\r\n"),
         "Line 9: Error: Invalid keyword.\r\nLine 11: Error: Invalid keyword.\r\nLine 12: Error: Invalid "
         "keyword.\r\n"
         "Line 13: Error: Invalid keyword.\r\n",
         false},
        {"too long", inTop("Text;\r\nLine=" + longValue + "\r\nLine=more\r\nEndText;\r\n"),
         "Line 11: Error: Entry exceeds maximum length.\r\n", false},
        {"line too long", inTop("Text;\r\nLine=" + std::string(40000, 'w') + "\r\nEndText;\r\n"),
         "Line 10: Error: Entry exceeds maximum length.\r\n", false},
        {"not empty", inTop("Text=oops\r\nLine=t\r\nEndText=x\r\n"),
         "Line 9: Warning: Entry for keyword Text is not empty.\r\n"
         "Line 11: Warning: Entry for keyword EndText is not empty.\r\n",
         true},
        {"other edition", inTop("KdlCommand:3\r\n"),
         "Line 9: Error: Keyword KdlCommand cannot be imported by Korrin(VRD).\r\n", false},
        {"unexpected", inTop("Then;\r\n"), "Line 9: Error: Unexpected keyword Then.\r\n", false},
        {"end of file", std::string(kHead) + "Level=1\r\nDummy;\r\nLevelBody;\r\nIf;\r\n",
         "Line 9: Error: Unexpected end of file.\r\n", false},
        {"incomplete", inTop("While;\r\nWhileBody;\r\nText;\r\nLine=b\r\nEndText;\r\nEndWhile;\r\n"),
         "Line 10: Warning: Element is incomplete.\r\n", true},
        {"dummy after construct", inTop("Text;\r\nLine=a\r\nEndText;\r\nDummy;\r\n"),
         "Line 12: Warning: Element is invalid.\r\n", true},
        {"construct after dummy", inTop("Loop;\r\nDummy;\r\nText;\r\nLine=a\r\nEndText;\r\nEndLoop;\r\n"),
         "Line 11: Error: Element is invalid.\r\n", false},
        {"edition", std::string("Korrin=VRX V6.32\r\nShortInfo;\r\nEndShortInfo;\r\n"),
         "Line 1: Error: Korrin(VRX) ETF files cannot be imported by Korrin(VRD).\r\n", false},
        {"missing closing",
         inTop("If;\r\nDummy;\r\nThen;\r\nDummy;\r\nElse;\r\nLoop;\r\nDummy;\r\nEndIf;\r\n"),
         "Line 16: Error: Keyword EndLoop expected.\r\n", false},
        {"missing separator", inTop("Block;\r\nDummy;\r\nEndBlock;\r\n"),
         "Line 11: Error: Keyword BlockBody expected.\r\nLine 11: Warning: Element is incomplete.\r\n",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.messages.clear();
        ConstructNode* root = importText(c.file);
        EXPECT_EQ(root != nullptr, c.diagram);
        EXPECT_EQ(lastErrors, c.errors);
    }
}

TEST_F(Reader, ConditionsMayMixDummiesWithConstructs) {
    EXPECT_EQ(body(inTop("And;\r\nDummy;\r\nText;\r\nLine=a\r\nEndText;\r\nDummy;\r\nEndAnd;\r\n")),
              "And{8:[ph(9,8) Text\"a\" ph(9,8)]}");
    EXPECT_EQ(lastErrors, "");
}

TEST_F(Reader, GermanMessagesAndCounters) {
    setTransferNativeLanguage(kLanguageGerman);
    EXPECT_EQ(body(inTop("Then;\r\nText=x\r\nEndText;\r\n")), "failed");
    EXPECT_EQ(lastErrors,
              "Zeile 9: Fehler: Unerwartetes Schluesselwort Then.\r\n"
              "Zeile 10: Warnung: Eintrag zu Schluesselwort Text ist nicht leer.\r\n");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find(": 1 errors and 1 warnings identified."), std::string::npos);
}

// The reader called directly, to see its result codes.
class Results : public ImportTest {
protected:
    std::uint32_t parse(const std::string& file, ParserBlock* block) {
        TransferMemoryInput input{file.data(), file.size(), 0, false};
        return transferParse(block, transferMemoryEnvironment(&input));
    }
    std::uint32_t parse(const std::string& file) {
        ParserBlock block{};
        WriteStream tree;
        EXPECT_TRUE(beginCallbackSession(&doc, 0, tree.file(), nullptr, &block));
        const std::uint32_t result = parse(file, &block);
        endCallbackSession(false);
        return result;
    }
    using WriteStream = tree_test::WriteStream;
};

std::string nested(int depth) {
    std::string entries;
    for (int i = 0; i < depth; ++i) entries += "Loop;\r\n";
    entries += "Dummy;\r\n";
    for (int i = 0; i < depth; ++i) entries += "EndLoop;\r\n";
    return inTop(entries);
}

TEST_F(Results, CodesForWarningsErrorsNestingVersionsAndMemory) {
    EXPECT_EQ(parse(inTop("")), kParseOk);
    EXPECT_EQ(parse(inTop("Dummy=x\r\n")), kParseWarnings);
    EXPECT_EQ(parse(inTop("Then;\r\n")), kParseErrors);
    EXPECT_EQ(parse(nested(kTransferMaxNesting - 2)), kParseOk);
    EXPECT_EQ(parse(nested(kTransferMaxNesting)), kParseStackOverflow);

    ParserBlock block{};
    for (std::uint32_t version : {10006u, 10010u, 0u}) {
        block.interfaceVersion = version;
        EXPECT_EQ(parse(inTop(""), &block), kParseBadVersion) << version;
    }
    // The oldest version served; an edition that is not known imports nothing.
    block.interfaceVersion = 10007;
    EXPECT_EQ(parse(std::string(kHead), &block), kParseErrors);
    std::memcpy(block.languageCode, "VRD", 4);
    EXPECT_EQ(parse(std::string(kHead), &block), kParseOk);

    setTransferNativeAllocator([](std::size_t) -> void* { return nullptr; }, nullptr);
    EXPECT_EQ(parse(inTop("")), kParseFatal);
}

// A nested call is refused while the reader runs.
std::uint32_t g_nestedResult = 0;
std::int32_t KORRIN_STDCALL nestedCall(std::int32_t, const char*, std::int32_t) {
    ParserBlock inner{};
    inner.interfaceVersion = kParserInterfaceVersion;
    g_nestedResult = transfer_parse_native(&inner);
    return 0;
}

TEST_F(Results, NestedCallIsRefused) {
    ParserBlock block{};
    block.interfaceVersion = kParserInterfaceVersion;
    block.parseError = nestedCall;
    g_nestedResult = 0;
    EXPECT_EQ(parse("Nonsense;\r\n", &block), kParseErrors);
    EXPECT_EQ(g_nestedResult, kParseInUse);
}

TEST_F(Results, EveryTreeIsWellFormedForTheEditor) {
    // Whatever the entries, the editor reads back what the reader sent
    // (a fault makes the result 2 and no diagram; this reads it anyway).
    const std::string files[] = {
        inTop("If;\r\nThen;\r\nEndLoop;\r\nElse;\r\nEndIf;\r\n"),
        inTop("OnSelector;\r\nDummy;\r\nOnSelectorRest;\r\nEndOnSelector;\r\nEndFor;\r\n"),
        inTop("Frame;\r\nText;\r\nLine=a\r\nEndText;\r\nEndFrame;\r\nLevel=3\r\nLevelBody;\r\nEndLevel;\r\n"),
    };
    for (const std::string& file : files) {
        ParserBlock block{};
        tree_test::WriteStream tree;
        ASSERT_TRUE(beginCallbackSession(&doc, 0, tree.file(), nullptr, &block));
        parse(file, &block);
        const CallbackSessionResult result = endCallbackSession(false);
        EXPECT_FALSE(result.writeError);
        bool ok = false;
        ConstructNode* read = nullptr;
        {
            tree_test::ReadStream in(tree.bytes());
            g_outcome.readOk = true;
            read = readSequence(&doc, in.file(), kReadAllBodies | kReadKeepLineNumbers);
            ok = g_outcome.readOk;
        }
        EXPECT_TRUE(ok) << file;
        EXPECT_EQ(tree_test::checkLinks(read), "");
        freeSequence(read);
    }
}

// A file read in pieces of any size gives the same tree as one read whole:
// lines, line ends and over-long lines across the reader's buffer.
std::int32_t g_readCap = 0;
std::int32_t cappedRead(void* context, char* buffer, std::int32_t size) {
    return transferReadMemory(context, buffer, size < g_readCap ? size : g_readCap);
}
std::string g_reported;
std::int32_t KORRIN_STDCALL recordError(std::int32_t, const char* text, std::int32_t) {
    g_reported += std::string(text) + "\n";
    return 0;
}

TEST_F(Results, ReadsGiveTheSameTreeWhereverTheyEnd) {
    std::string entries;
    const char* const ends[] = {"\r\n", "\r", "\n"};
    for (int i = 0; i < 600; ++i) {
        entries += std::string(i % 5, ' ') + "Text:" + std::to_string(i * 7919) + ends[i % 3];
        entries += "Line=" + std::string(static_cast<std::size_t>(i % 37), 'a' + i % 26) + ends[(i + 1) % 3];
        if (i % 3 == 0) entries += std::string(ends[i % 2]);  // an empty line
        entries += "EndText;" + std::string(ends[(i + 2) % 3]);
    }
    // Lines longer than the reader's buffer; the second is cut with an
    // error. The line counted last is named in a message.
    for (std::size_t length : {20000u, 40000u})
        entries += "Text;\r\nLine=" + std::string(length, 'x') + "\r\nEndText;\r\n";
    entries += "Nonsense\r\n";
    const std::string file = inTop(entries) + "\x1a";

    auto treeOf = [&](std::int32_t cap, std::uint32_t* result) {
        ParserBlock block{};
        WriteStream tree;
        EXPECT_TRUE(beginCallbackSession(&doc, 0, tree.file(), nullptr, &block));
        TransferMemoryInput input{file.data(), file.size(), 0, false};
        TransferEnvironment env = transferMemoryEnvironment(&input);
        g_readCap = cap;
        if (cap) env.read = cappedRead;
        block.parseError = recordError;
        g_reported.clear();
        *result = transferParse(&block, env);
        endCallbackSession(false);
        return tree.bytes() + g_reported;
    };
    std::uint32_t whole = 0;
    const std::string expected = treeOf(0, &whole);
    EXPECT_EQ(whole, kParseErrors);
    EXPECT_NE(
        expected.find("Line 2013: Error: Entry exceeds maximum length.\nLine 2015: Error: Invalid keyword."),
        std::string::npos);
    for (std::int32_t cap : {1, 2, 3, 7, 16, 17, 4099, 16383}) {
        std::uint32_t result = 0;
        EXPECT_TRUE(treeOf(cap, &result) == expected) << cap;
        EXPECT_EQ(result, whole) << cap;
    }
}

TEST_F(Reader, OemFilesAreConverted) {
    const int oem = 1;
    g_importEnvironment.etfFileFormat = &oem;
    EXPECT_EQ(body(inTop("Text;\r\nLine=\x84\x94\x81\r\nEndText;\r\n")), "Text\"\xe4\xf6\xfc\"");
}

}  // namespace
}  // namespace import_test
