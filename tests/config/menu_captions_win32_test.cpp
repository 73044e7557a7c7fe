// Menu captions on a real Win32 menu built here (Windows build only).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <string>

#include "config/language_config.h"
#include "config/menu_captions_win32.h"
#include "resources/commands.h"
#include "tests/config/temp_ini.h"

namespace {

// Insert popup and an Enclose popup with three nested popups: "If" holds two
// items, "Switch" three, "Case" two.
struct TestMenu {
    HMENU bar = CreateMenu();
    TestMenu() {
        HMENU insert = CreatePopupMenu();
        AppendMenuA(insert, MF_STRING, CMD_INSERT_STATEMENT, "&Statement");
        AppendMenuA(insert, MF_STRING | MF_GRAYED, CMD_INSERT_IF, "&If");
        AppendMenuA(insert, MF_STRING | MF_CHECKED, CMD_INSERT_WHILE, "&While");
        AppendMenuA(insert, MF_STRING, CMD_INSERT_LOOP, "&Loop");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(insert), "&Insert");
        HMENU enclose = CreatePopupMenu();
        HMENU ifMenu = CreatePopupMenu();
        AppendMenuA(ifMenu, MF_STRING, CMD_ENCLOSE_IF_THEN, "&Then");
        AppendMenuA(ifMenu, MF_STRING, CMD_ENCLOSE_IF_ELSE, "&Else");
        HMENU switchMenu = CreatePopupMenu();
        AppendMenuA(switchMenu, MF_STRING, CMD_ENCLOSE_SWITCH_WHEN, "&When");
        AppendMenuA(switchMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(switchMenu, MF_STRING, CMD_ENCLOSE_SWITCH_WHEN_NONE, "When &none");
        HMENU caseMenu = CreatePopupMenu();
        AppendMenuA(caseMenu, MF_STRING, CMD_ENCLOSE_CASE_OF, "&Of");
        AppendMenuA(caseMenu, MF_STRING, CMD_ENCLOSE_CASE_OTHERWISE, "O&therwise");
        AppendMenuA(enclose, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(ifMenu), "&If");
        AppendMenuA(enclose, MF_POPUP, reinterpret_cast<UINT_PTR>(switchMenu), "&Switch");
        AppendMenuA(enclose, MF_POPUP, reinterpret_cast<UINT_PTR>(caseMenu), "&Case");
        AppendMenuA(enclose, MF_STRING, CMD_ENCLOSE_WHILE, "&While");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(enclose), "&Enclose");
    }
    ~TestMenu() { DestroyMenu(bar); }
    std::string caption(UINT command) const {
        char text[128] = {};
        GetMenuStringA(bar, command, text, sizeof text, MF_BYCOMMAND);
        return text;
    }
    std::string popupCaption(UINT command) const {
        HMENU parent;
        int position;
        if (!findPopupHolding(bar, command, &parent, &position)) return "<none>";
        char text[128] = {};
        GetMenuStringA(parent, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
        return text;
    }
    UINT popupState(UINT command) const {
        HMENU parent;
        int position;
        if (!findPopupHolding(bar, command, &parent, &position)) return UINT(-1);
        return GetMenuState(parent, static_cast<UINT>(position), MF_BYPOSITION);
    }
};

}  // namespace

TEST(MenuCaptionsWin32, CaptionsStatesAndPopups) {
    TempIni ini(
        "[InsertMenuStrings]\r\nIf=&Wenn&&\r\nWhile=Sola&nge &so\r\nSpecialStatement=&Special\r\n"
        "[EncloseMenuStrings]\r\nIf=&Falls\r\nSwitch=&Auswahl\r\nCase=&Fall&unterscheidung\r\nWhile=&"
        "Solange\r\n");
    TestMenu menu;
    Win32MenuCaptions target(menu.bar, nullptr);
    int set = applyMenuCaptions(target, ini.path(), false);
    EXPECT_EQ(set, 5);  // CMD_INSERT_SPECIAL_STATEMENT is not in the menu; the three-item popup stays
    EXPECT_EQ(menu.caption(CMD_INSERT_IF), "&Wenn");
    EXPECT_EQ(menu.caption(CMD_INSERT_WHILE), "Sola&nge so");
    EXPECT_EQ(menu.caption(CMD_ENCLOSE_WHILE), "&Solange");
    EXPECT_EQ(menu.caption(CMD_INSERT_STATEMENT), "&Statement");
    EXPECT_NE(GetMenuState(menu.bar, CMD_INSERT_IF, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_NE(GetMenuState(menu.bar, CMD_INSERT_WHILE, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(menu.popupCaption(CMD_ENCLOSE_IF_THEN), "&Falls");
    EXPECT_NE(menu.popupState(CMD_ENCLOSE_IF_THEN) & MF_GRAYED, 0u);
    EXPECT_EQ(menu.popupCaption(CMD_ENCLOSE_SWITCH_WHEN), "&Switch");  // exactly three items
    EXPECT_EQ(menu.popupCaption(CMD_ENCLOSE_CASE_OF), "&Fallunterscheidung");
    EXPECT_EQ(menu.popupCaption(9999), "<none>");
}

TEST(MenuCaptionsWin32, LoadingWithDefaultsRestoresFromAFreshCopy) {
    TempIni custom(
        "[InsertMenuStrings]\r\nIf=&Wenn\r\nLoop=&Schleife\r\n[EncloseMenuStrings]\r\nCase=&Fall\r\n");
    TempIni partial("[InsertMenuStrings]\r\nLoop=Sch&leife\r\n");
    TestMenu menu;
    TestMenu fresh;
    LanguageConfig config;
    initLanguageConfig(config);
    Win32MenuCaptions start(menu.bar, nullptr);
    loadLanguageConfig(config, &start, custom.path(), false);
    EXPECT_EQ(menu.caption(CMD_INSERT_IF), "&Wenn");
    EXPECT_EQ(menu.popupCaption(CMD_ENCLOSE_CASE_OF), "&Fall");

    Win32MenuCaptions change(menu.bar, fresh.bar);
    loadLanguageConfig(config, &change, partial.path(), true);
    EXPECT_EQ(menu.caption(CMD_INSERT_IF), "&If");
    EXPECT_EQ(menu.caption(CMD_INSERT_LOOP), "Sch&leife");
    EXPECT_EQ(menu.popupCaption(CMD_ENCLOSE_CASE_OF), "&Case");
    EXPECT_NE(GetMenuState(menu.bar, CMD_INSERT_IF, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

#endif  // _WIN32
