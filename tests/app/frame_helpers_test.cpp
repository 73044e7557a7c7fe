// The frame's small rule sets: key navigation and hot keys, the recent-file
// rings, the DDE commands and the frame position.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/dde_command.h"
#include "app/frame_position.h"
#include "app/keys.h"
#include "app/recent_files.h"

namespace {

constexpr KeyModifiers kNone{false, false, false};
constexpr KeyModifiers kCtrl{true, false, false};
constexpr KeyModifiers kShift{false, true, false};
constexpr KeyModifiers kCtrlShift{true, true, false};
constexpr KeyModifiers kAlt{false, false, true};

unsigned nav(unsigned key, KeyModifiers mods, NavigationState state = {}) {
    Navigation n = navigationFor(key, mods, state);
    return n.kind == NavigationKind::command ? n.code : 0;
}

RecentList list(int length, std::vector<std::string> entries) {
    RecentList l{};
    l.length = length;
    for (const std::string& e : entries)
        std::snprintf(l.entries[l.count++], kSettingsPathSize, "%s", e.c_str());
    return l;
}

std::vector<std::string> entries(const RecentList& l) {
    std::vector<std::string> out;
    for (int i = 0; recentEntry(l, i); ++i) out.emplace_back(recentEntry(l, i));
    return out;
}

}  // namespace

TEST(Navigation, KeysWithoutScrollLock) {
    EXPECT_EQ(nav(vk::home, kNone), 250u);
    EXPECT_EQ(nav(vk::end, kCtrl), 253u);
    EXPECT_EQ(nav(vk::space, kCtrl), 254u);
    EXPECT_EQ(nav(vk::space, kNone), 0u);
    EXPECT_EQ(nav(vk::down, kCtrl), 259u);
    EXPECT_EQ(nav(vk::left, kNone), 262u);
    EXPECT_EQ(nav(vk::tab, kShift), 264u);
    EXPECT_EQ(nav(vk::end, kCtrlShift), 270u);
    EXPECT_EQ(nav(vk::down, kCtrlShift), 274u);
    EXPECT_EQ(nav(vk::pageDown, kNone), 0u);
    EXPECT_EQ(nav(vk::pageDown, kAlt), 0u);  // Alt+PgDn is an accelerator
    EXPECT_EQ(nav(vk::home, kAlt), 0u);
    EXPECT_EQ(nav(0x41, kNone), 0u);
    // Enter only in direct text mode.
    EXPECT_EQ(nav(vk::enter, kNone), 0u);
    NavigationState direct{};
    direct.directTextMode = true;
    EXPECT_EQ(nav(vk::enter, kNone, direct), 298u);
    EXPECT_EQ(nav(vk::enter, kShift, direct), 297u);
    EXPECT_EQ(nav(vk::enter, kCtrl, direct), 0u);
}

TEST(Navigation, KeysWithScrollLock) {
    NavigationState lock{};
    lock.scrollLock = true;
    EXPECT_EQ(nav(vk::home, kCtrl, lock), 200u);
    EXPECT_EQ(nav(vk::pageDown, kCtrl, lock), 203u);
    EXPECT_EQ(nav(vk::up, kNone, lock), 208u);
    EXPECT_EQ(nav(vk::right, kNone, lock), 211u);
    EXPECT_EQ(nav(vk::tab, kNone, lock), 263u);  // keys that do not move the view keep their meaning
    EXPECT_EQ(nav(vk::left, kCtrl, lock), 0u);
    // Shift scrolls the MDI client only while it has the bar.
    EXPECT_EQ(navigationFor(vk::up, kShift, lock).kind, NavigationKind::none);
    lock.verticalBar = true;
    Navigation n = navigationFor(vk::pageDown, kShift, lock);
    EXPECT_EQ(n.kind, NavigationKind::scrollVertical);
    EXPECT_EQ(n.code, scroll::pageDown);
    EXPECT_EQ(navigationFor(vk::right, kShift, lock).kind, NavigationKind::none);
    lock.horizontalBar = true;
    n = navigationFor(vk::right, kShift, lock);
    EXPECT_EQ(n.kind, NavigationKind::scrollHorizontal);
    EXPECT_EQ(n.code, scroll::lineDown);
    n = navigationFor(vk::end, kCtrlShift, lock);
    EXPECT_EQ(n.kind, NavigationKind::scrollHorizontal);
    EXPECT_EQ(n.code, scroll::bottom);
}

TEST(HotKeys, FromMenuTexts) {
    HotKey hot = hotKeyFromMenuText("&Structure list\tCtrl+C", "SHIFT", "CTRL", "ALT");
    ASSERT_TRUE(hot.valid);
    EXPECT_EQ(hot.key, 'C');
    EXPECT_TRUE(hot.mods.ctrl);
    EXPECT_FALSE(hot.mods.shift);
    EXPECT_FALSE(hot.mods.alt);
    hot = hotKeyFromMenuText("R&esult\tShift+Alt+e", "SHIFT", "CTRL", "ALT");
    EXPECT_EQ(hot.key, 'E');
    EXPECT_TRUE(hot.mods.shift && hot.mods.alt && !hot.mods.ctrl);
    EXPECT_FALSE(hotKeyFromMenuText("Result file", "SHIFT", "CTRL", "ALT").valid);
    EXPECT_FALSE(hotKeyFromMenuText("Result+", "SHIFT", "CTRL", "ALT").valid);
    EXPECT_FALSE(hotKeyFromMenuText(nullptr, "SHIFT", "CTRL", "ALT").valid);
}

TEST(RecentFiles, RingOrder) {
    RecentList l = list(4, {"a.vrd", "b.vrd", "c.vrd"});
    recentAdd(l, "d.vrd");
    EXPECT_EQ(entries(l), (std::vector<std::string>{"d.vrd", "a.vrd", "b.vrd", "c.vrd"}));
    recentAdd(l, "e.vrd");  // full: the oldest drops out
    EXPECT_EQ(entries(l), (std::vector<std::string>{"e.vrd", "d.vrd", "a.vrd", "b.vrd"}));
    recentAdd(l, "A.VRD");  // the same file moves up
    EXPECT_EQ(entries(l), (std::vector<std::string>{"A.VRD", "e.vrd", "d.vrd", "b.vrd"}));
    recentAdd(l, "A.VRD");
    EXPECT_EQ(l.count, 4);
    EXPECT_TRUE(recentRemove(l, 1));
    EXPECT_EQ(entries(l), (std::vector<std::string>{"A.VRD", "d.vrd", "b.vrd"}));
    EXPECT_FALSE(recentRemove(l, 3));

    RecentList none = list(0, {});
    recentAdd(none, "x.vrd");
    EXPECT_EQ(none.count, 0);
    RecentList one = list(1, {"x"});
    recentAdd(one, "y");
    EXPECT_EQ(entries(one), (std::vector<std::string>{"y"}));
    // A broken count never reaches past the entries.
    RecentList broken = list(9, {});
    broken.count = 50;
    broken.length = 50;
    recentAdd(broken, "z");
    EXPECT_LE(broken.count, kRecentMax);
}

TEST(RecentFiles, MenuTexts) {
    RecentList l = list(
        4, {"C:\\R&D\\a.vrd", "C:\\a very long directory name\\and another one\\and a third\\diagram.vrd"});
    char text[128];
    recentMenuText(l, 0, text, sizeof text);
    EXPECT_STREQ(text, "&1 C:\\R&&D\\a.vrd");
    recentMenuText(l, 1, text, sizeof text);
    EXPECT_STREQ(text, "&2 C:\\...\\and another one\\and a third\\diagram.vrd");
    EXPECT_EQ(recentMenuText(l, 2, text, sizeof text), 0);
    char tiny[6];
    recentMenuText(l, 0, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "&1 C");

    char name[32], file[64];
    EXPECT_TRUE(splitHelpEntry("Pascal,pascal.hlp", name, sizeof name, file, sizeof file));
    EXPECT_STREQ(name, "Pascal");
    EXPECT_STREQ(file, "pascal.hlp");
    EXPECT_FALSE(splitHelpEntry("no comma", name, sizeof name, file, sizeof file));
    EXPECT_FALSE(splitHelpEntry(",x.hlp", name, sizeof name, file, sizeof file));
    EXPECT_FALSE(splitHelpEntry("x,", name, sizeof name, file, sizeof file));
}

TEST(DdeCommands, OpenAndLine) {
    DdeRequest r;
    ASSERT_TRUE(parseDdeCommand("[open(\"C:\\Diagrams\\a b.vrd\")]", r));
    EXPECT_TRUE(r.open);
    EXPECT_STREQ(r.path, "C:\\Diagrams\\a b.vrd");
    EXPECT_EQ(r.line, 0);
    ASSERT_TRUE(parseDdeCommand(" [OPEN(\"x.vrd\")] [line(3)] ", r));
    EXPECT_EQ(r.line, 3);
    ASSERT_TRUE(parseDdeCommand("[open(x.vrd)][Line( 12 )]", r));
    EXPECT_STREQ(r.path, "x.vrd");
    EXPECT_EQ(r.line, 12);
    EXPECT_TRUE(parseDdeCommand("[NOP]", r));
    EXPECT_FALSE(r.open);

    EXPECT_FALSE(parseDdeCommand("", r));
    EXPECT_FALSE(parseDdeCommand("open(\"x\")", r));
    EXPECT_FALSE(parseDdeCommand("[open(\"x\")", r));
    EXPECT_FALSE(parseDdeCommand("[open(\"x)]", r));
    EXPECT_FALSE(parseDdeCommand("[open(\"\")]", r));
    EXPECT_FALSE(parseDdeCommand("[open(\"a\")][open(\"b\")]", r));
    EXPECT_FALSE(parseDdeCommand("[line(x)]", r));
    EXPECT_FALSE(parseDdeCommand("[line(0)]", r));
    EXPECT_FALSE(parseDdeCommand("[line(99999999999)]", r));
    EXPECT_FALSE(parseDdeCommand("[close(\"x\")]", r));
    EXPECT_FALSE(parseDdeCommand("[open(\"x\")] junk", r));
    EXPECT_FALSE(parseDdeCommand("[open(\"" + std::string(300, 'a') + "\")]", r));
}

TEST(FramePosition, Acceptance) {
    SettingsRect screen{0, 0, 1024, 768};
    EXPECT_TRUE(frameRectAcceptable({10, 10, 600, 400}, screen, 20));
    EXPECT_FALSE(frameRectAcceptable({10, 10, 25, 400}, screen, 20));      // too narrow
    EXPECT_FALSE(frameRectAcceptable({2000, 10, 2800, 400}, screen, 20));  // off screen
    EXPECT_FALSE(frameRectAcceptable({1010, 10, 1600, 400}, screen, 20));  // 14 pixels on screen
    EXPECT_TRUE(frameRectAcceptable({1004, 10, 1600, 400}, screen, 20));
    EXPECT_FALSE(frameRectAcceptable({600, 400, 10, 10}, screen, 20));
}

namespace {

struct Taken {
    std::vector<SettingsRect> frames;
};

bool isTaken(const SettingsRect& r, void* context) {
    for (const SettingsRect& f : static_cast<Taken*>(context)->frames)
        if (f.left == r.left && f.top == r.top && f.right == r.right && f.bottom == r.bottom) return true;
    return false;
}

bool isAlwaysTaken(const SettingsRect&, void*) {
    return true;
}

}  // namespace

TEST(FramePosition, StepsAsideOfOtherFrames) {
    SettingsRect screen{0, 0, 1024, 768};
    Taken taken{{{100, 100, 500, 400}, {120, 120, 520, 420}}};
    SettingsRect r = placeFrameRect({100, 100, 500, 400}, screen, 20, isTaken, &taken);
    EXPECT_EQ(r.left, 140);
    EXPECT_EQ(r.top, 140);
    EXPECT_EQ(r.right - r.left, 400);
    r = placeFrameRect({300, 300, 700, 600}, screen, 20, isTaken, &taken);
    EXPECT_EQ(r.left, 300);

    // When every place is taken the walk comes back and ends.
    r = placeFrameRect({100, 100, 500, 400}, screen, 20, isAlwaysTaken, nullptr);
    EXPECT_GE(r.left, 0);
    EXPECT_LT((r.left + r.right) / 2, 1024);
    // A rectangle that cannot move back keeps its place.
    r = placeFrameRect({-300, 100, 200, 400}, {0, 0, 300, 768}, 20, isAlwaysTaken, nullptr);
    EXPECT_EQ(r.left, -300);
}
