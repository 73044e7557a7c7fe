// The frame's resource tables: readers of the binary formats, and the
// tables themselves against the command vocabulary and the string table.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "app/commands.h"
#include "app/resource_tables.h"
#include "resources/strings.h"

namespace {

void put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8 & 0xFF));
}

std::vector<std::uint8_t> barBytes(std::span<const BarButton> buttons) {
    std::vector<std::uint8_t> out;
    for (const BarButton& b : buttons) {
        put16(out, static_cast<std::uint16_t>(b.image));
        put16(out, b.command);
        put16(out, b.state);
        put16(out, b.style);
        put16(out, b.tip);
    }
    put16(out, kBarListEnd);
    return out;
}

std::set<unsigned> menuSet() {
    std::size_t count = 0;
    const std::uint16_t* menu = mainMenuCommands(&count);
    return std::set<unsigned>(menu, menu + count);
}

}  // namespace

TEST(BarTables, ReadBackAndEndMark) {
    std::vector<std::uint8_t> bytes = barBytes(toolbarButtons());
    BarButton read[64];
    ASSERT_EQ(readBarButtons(bytes, read, 64), static_cast<int>(toolbarButtons().size()));
    EXPECT_EQ(read[8].image, -1);
    EXPECT_EQ(read[8].style, kBarSeparator);
    EXPECT_EQ(read[0].command, CMD_FILE_NEW);
    EXPECT_EQ(read[0].tip, 27100u);
    // Cut data: a partial entry is not read; the limit holds.
    EXPECT_EQ(readBarButtons(std::span(bytes).first(25), read, 64), 2);
    EXPECT_EQ(readBarButtons(bytes, read, 3), 3);
    EXPECT_EQ(readBarButtons({}, read, 3), 0);
}

TEST(BarTables, ButtonsMatchTheirCommandsAndTips) {
    std::set<unsigned> menu = menuSet();
    int toolbarButtonsWithCommand = 0;
    std::set<int> images;
    for (const BarButton& b : toolbarButtons()) {
        if (b.image < 0) {
            EXPECT_EQ(b.style, kBarSeparator);
            continue;
        }
        ++toolbarButtonsWithCommand;
        EXPECT_TRUE(images.insert(b.image).second);
        EXPECT_GE(b.tip, 27100u);
        EXPECT_LE(b.tip, 27138u);
        EXPECT_NE(findString(b.tip), nullptr) << b.tip;
        EXPECT_NE(findString(statusHelpFor(b.command, false).id), nullptr) << "status help " << b.command;
        EXPECT_NE(findCommand(b.command), nullptr) << b.command;
        EXPECT_TRUE(isTextInputCommand(b.command) || menu.count(b.command)) << b.command;
    }
    EXPECT_EQ(toolbarButtonsWithCommand, 39);
    EXPECT_EQ(images.size(), 39u);
    EXPECT_EQ(*images.rbegin(), 38);

    ASSERT_EQ(toolboxButtons().size(), 22u);
    EXPECT_EQ(toolboxButtons()[0].command, CMD_QUIT_INSERT_MODE);
    EXPECT_EQ(toolboxButtons()[21].command, CMD_INSERT_FILE);
    for (const BarButton& b : toolboxButtons()) {
        EXPECT_EQ(b.style, kBarCheckGroup);
        EXPECT_GE(b.tip, 27150u);
        EXPECT_LE(b.tip, 27235u);
        EXPECT_NE(findString(b.tip), nullptr) << b.tip;
        EXPECT_TRUE(b.command == CMD_QUIT_INSERT_MODE || menu.count(b.command)) << b.command;
    }
}

TEST(ContextTables, EntriesAndSubmenus) {
    std::set<unsigned> menu = menuSet();
    for (unsigned id :
         {CMD_CONTEXT_DIAGRAM, CMD_CONTEXT_TOOL_WINDOWS, CMD_CONTEXT_CLIENT, CMD_CONTEXT_TEXT_INPUT}) {
        std::span<const ContextEntry> entries = contextEntries(id);
        ASSERT_FALSE(entries.empty()) << id;
        for (const ContextEntry& e : entries) {
            if (e.command == kContextSeparatorId) {
                EXPECT_EQ(e.flags, kContextSeparator);
            } else if (e.command == kContextSubmenu) {
                EXPECT_NE(contextSubmenuPopup(e.extra), 0u);
            } else if (e.flags & kContextTextItem) {
                EXPECT_TRUE(isTextInputCommand(e.command)) << e.command;
            } else {
                EXPECT_TRUE(menu.count(e.command)) << id << ": " << e.command;
            }
        }
    }
    EXPECT_EQ(contextSubmenuPopup(kContextEnclose), IDM_POPUP_ENCLOSE);
    EXPECT_EQ(contextSubmenuPopup(kContextClipboard), IDM_POPUP_CLIPBOARD);
    EXPECT_EQ(contextSubmenuPopup(14), 0u);

    std::vector<std::uint8_t> bytes;
    for (const ContextEntry& e : contextEntries(CMD_CONTEXT_DIAGRAM)) {
        put16(bytes, e.command);
        put16(bytes, e.extra);
        put16(bytes, e.flags & 0xFFFF);
        put16(bytes, e.flags >> 16);
    }
    bytes.push_back(0);  // a stray byte is no entry
    ContextEntry read[64];
    int n = readContextEntries(bytes, read, 64);
    ASSERT_EQ(n, static_cast<int>(contextEntries(CMD_CONTEXT_DIAGRAM).size()));
    EXPECT_EQ(read[3].flags, kContextSeparator);
    EXPECT_EQ(read[9].command, kContextSubmenu);
    EXPECT_EQ(read[9].extra, kContextEnclose);
}

TEST(PopupHelp, ByPopupId) {
    std::vector<std::uint8_t> bytes;
    for (unsigned id = 10051; id <= 10065; ++id) put16(bytes, id);
    put16(bytes, 0);
    EXPECT_EQ(popupHelpString(bytes, IDM_POPUP_FILE), 10051u);
    EXPECT_EQ(popupHelpString(bytes, IDM_POPUP_ENCLOSE), 10055u);
    EXPECT_EQ(popupHelpString(bytes, 10065), 10065u);
    EXPECT_EQ(popupHelpString(bytes, 10066), 0u);
    EXPECT_EQ(popupHelpString(bytes, 10067), 0u);  // past the data
    EXPECT_EQ(popupHelpString(bytes, 5), 0u);
    for (unsigned id = 10051; id <= 10065; ++id) EXPECT_NE(findString(id), nullptr) << id;
}

TEST(FrameStrings, ApplicationAndRegistrationTexts) {
    EXPECT_STREQ(findString(0), "korrinvrd");
    EXPECT_STREQ(findString(52), "kivframe");
    EXPECT_STREQ(findString(53), "kivchild");
    EXPECT_STREQ(findString(139), "Loading program...");
    EXPECT_STREQ(findString(120), findString(122));
    const char* magic = findString(36);
    ASSERT_NE(magic, nullptr);
    EXPECT_EQ(std::string(magic).rfind("magic_path", 0), 0u);
    for (unsigned id = 1800; id <= 1834; ++id) EXPECT_NE(findString(id), nullptr) << id;
    EXPECT_STREQ(findString(1812), "korrinvrd");
    EXPECT_STREQ(findString(1834), "export");
    EXPECT_STREQ(findString(20656), "Invalid OS version!\r\n\r\nAt least version %d.%d is needed.");
}
