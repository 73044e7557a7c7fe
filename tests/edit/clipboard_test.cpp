// The clipboard image, clipboard text, and Cut and Copy through a
// clipboard the test stands in for.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/diagram_file.h"
#include "core/outcome.h"
#include "edit/clipboard_image.h"
#include "resources/commands.h"
#include "resources/strings.h"
#include "tests/core/element_stream_helpers.h"
#include "tests/edit/edit_helpers.h"
#include "tests/support/host_recorder.h"

using namespace edit_test;

namespace {

class Clipboard : public EditTest {
protected:
    HostRecorder host;
};

// What a paste keeps of a tree: no line numbers, new level ids, no block words.
std::string contentOf(const ConstructNode* head) {
    static const std::regex lines("@-?[0-9]+");
    static const std::regex segment(" id [0-9]+ f[0-9]+ w[0-9]+,[0-9]+");
    return std::regex_replace(std::regex_replace(tree_test::dump(head), lines, ""), segment, " id");
}

std::string bytesOf(platform::MemHandle block) {
    const auto* p = static_cast<const unsigned char*>(platform::memBlockLock(block));
    std::uint32_t end = 0;
    std::memcpy(&end, p + 4, 4);
    std::string bytes(reinterpret_cast<const char*>(p), end);
    platform::memBlockUnlock(block);
    return bytes;
}

platform::MemHandle blockOf(const std::string& data) {
    const auto total = static_cast<std::uint32_t>(data.size() + kMemHeaderSize);
    platform::MemHandle block = platform::memBlockAlloc(total);
    auto* p = static_cast<unsigned char*>(platform::memBlockLock(block));
    std::memcpy(p, &total, 4);
    std::memcpy(p + 4, &total, 4);
    std::memcpy(p + kMemHeaderSize, data.data(), data.size());
    platform::memBlockUnlock(block);
    return block;
}

// The clipboard: takes the image unless told to refuse.
struct FakeClipboard {
    bool refuse = false;
    std::string image;
    std::string text;
    static bool put(void* context, platform::MemHandle image, const char* text) {
        auto* self = static_cast<FakeClipboard*>(context);
        if (self->refuse) return false;
        self->image = bytesOf(image);
        self->text = text ? text : "";
        platform::memBlockFree(image);
        return true;
    }
};

}  // namespace

TEST_F(Clipboard, ImagesOfRandomSequencesReadBackWhole) {
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        stream_test::TreeGenerator gen(seed, &doc);
        gen.levelPercent = 10;
        gen.longTexts = seed % 5 == 0;
        ConstructNode* tree = gen.sequence(0, false);
        if (!tree) continue;
        platform::MemHandle image = writeClipboardImage(&doc, tree, lastOf(tree));
        ASSERT_NE(image, nullptr) << seed;
        // A complete native diagram whose top segment holds the sequence.
        const std::string bytes = bytesOf(image);
        EXPECT_EQ(bytes.compare(kMemHeaderSize, 8,
                                std::string("VRD\0"
                                            "6.3\0",
                                            8)),
                  0);
        ConstructNode* root = loadFromMemory(&doc, image);
        ASSERT_NE(root, nullptr) << seed;
        EXPECT_EQ(root->type, ConstructType::Level);
        EXPECT_EQ(root->next, nullptr);
        freeSequence(root);

        ConstructNode* pasted = nullptr;
        const std::uint32_t ids = doc.lastLevelId;
        ASSERT_EQ(readClipboardImage(&doc, image, &pasted), 1) << seed;
        EXPECT_EQ(contentOf(pasted), contentOf(tree)) << seed;
        if (tree_test::dump(tree).find(" id ") != std::string::npos) {
            EXPECT_GT(doc.lastLevelId, ids);
        }
        freeSequence(pasted);
        freeSequence(tree);
        platform::memBlockFree(image);
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Clipboard, DataNotInOurFormatGivesItsMessageAndNothing) {
    load("*\"a\" If{2:[\"b\"]}");
    platform::MemHandle good =
        writeClipboardImage(&doc, view.state.selection.first, view.state.selection.last);
    const std::string image = bytesOf(good).substr(kMemHeaderSize);
    platform::memBlockFree(good);
    const std::size_t tree = image.find("TREE");
    std::string version17 = image;
    version17[tree + 4] = 17;
    const struct {
        std::string data;
        unsigned message;
    } cases[] = {
        {"plain text, not a diagram", IDS_CLIP_NOT_FORMAT},
        {image.substr(0, tree + 20), IDS_CLIP_STRUCTURAL_ERROR},
        {image.substr(0, tree), IDS_CLIP_STRUCTURAL_ERROR},
        {version17, IDS_CLIP_NOT_SUPPORTED},
        {std::string("VRD\0"
                     "1.0\0",
                     8),
         IDS_CLIP_NOT_SUPPORTED},
    };
    const std::string diagram = all();
    for (const auto& c : cases) {
        host.messages.clear();
        platform::MemHandle block = blockOf(c.data);
        ConstructNode* sequence = reinterpret_cast<ConstructNode*>(1);
        EXPECT_EQ(readClipboardImage(&doc, block, &sequence), 0);
        EXPECT_EQ(sequence, nullptr);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].id, c.message) << host.messages[0].text;
        platform::memBlockFree(block);
    }
    EXPECT_EQ(all(), diagram);
}

TEST_F(Clipboard, TextBecomesConstructTextWithTabsExpandedAndOemConverted) {
    const struct {
        const char* text;
        bool oem;
        const char* expected;  // null: nothing
    } cases[] = {
        {"a\tb", false, "a       b"},
        {"\tx", false, "        x"},
        {"abcdefgh\tx", false, "abcdefgh        x"},
        {"ab\r\n\tc", false, "ab\r\n        c"},
        {"", false, nullptr},
        {"\x81"
         "ber",
         true,
         "\xfc"
         "ber"},
        {"\x81"
         "ber",
         false,
         "\x81"
         "ber"},
    };
    for (const auto& c : cases) {
        char* text = constructTextFromClipboard(c.text, std::strlen(c.text), c.oem);
        if (!c.expected) {
            EXPECT_EQ(text, nullptr) << c.text;
        } else {
            ASSERT_NE(text, nullptr) << c.text;
            EXPECT_STREQ(text, c.expected);
        }
        memFree(text);
    }
    // Longer texts end at the length a construct takes.
    const std::string tabs(5000, '\t');
    char* text = constructTextFromClipboard(tabs.c_str(), tabs.size(), false);
    EXPECT_EQ(std::strlen(text), 29988u);
    memFree(text);

    ConstructNode* statement = constructFromClipboardText(CMD_CLIPBOARD_PASTE, "x\ty", 3, false);
    EXPECT_EQ(print(statement), "\"x       y\"");
    freeSequence(statement);
    EXPECT_EQ(constructFromClipboardText(CMD_EDIT_DELETE, "x", 1, false), nullptr);
}

TEST_F(Clipboard, PasteReadsTheDiagramFormatFirstAndNativeOnlyBeforeTheSettings) {
    const struct {
        ClipboardContent content;
        bool settingsLoaded;
        PasteSource source;
    } cases[] = {
        {{true, false, true, true, false}, true, PasteSource::Diagram},
        {{true, false, true, false, false}, false, PasteSource::Native},
        {{false, true, true, false, false}, false, PasteSource::Native},
        {{false, true, true, false, false}, true, PasteSource::None},
        {{false, false, false, true, true}, true, PasteSource::Text},
        {{false, false, false, false, true}, true, PasteSource::OemText},
        {{false, false, true, false, false}, false, PasteSource::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<int>(pasteSource(c.content, c.settingsLoaded)), static_cast<int>(c.source));
}

TEST_F(Clipboard, CutDeletesOnlyOnceTheClipboardTookTheCopy) {
    load("\"x\" *\"a\" *If{8:[\"c\"] 2:[\"b\"]} \"y\"");
    FakeClipboard clipboard;
    clipboard.refuse = true;
    EXPECT_EQ(cutSelectionToClipboard(context, FakeClipboard::put, &clipboard), 0);
    EXPECT_EQ(body(), "\"x\" \"a\" If{8:[\"c\"] 2:[\"b\"]} \"y\"");

    clipboard.refuse = false;
    ASSERT_EQ(cutSelectionToClipboard(context, FakeClipboard::put, &clipboard), 1);
    EXPECT_EQ(body(), "\"x\" \"y\"");
    EXPECT_EQ(clipboard.text, "a\r\nc\r\nb");
    ASSERT_EQ(undo(&journal, context), 1);
    EXPECT_EQ(body(), "\"x\" \"a\" If{8:[\"c\"] 2:[\"b\"]} \"y\"");

    // What was cut pastes back from the image.
    ConstructNode* pasted = nullptr;
    platform::MemHandle block = blockOf(clipboard.image.substr(kMemHeaderSize));
    ASSERT_EQ(readClipboardImage(&doc, block, &pasted), 1);
    EXPECT_EQ(print(pasted), "\"a\" If{8:[\"c\"] 2:[\"b\"]}");
    freeSequence(pasted);
    platform::memBlockFree(block);
}

// Seed corpus of the fuzz target: KORRIN_WRITE_CLIPBOARD_SEEDS=<folder>
// writes the images of a few sequences.
