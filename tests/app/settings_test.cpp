// The settings file: defaults, value rules, saving by groups, round trips and
// the question at exit. Runs natively and under Wine (the real profile API).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/settings.h"
#include "config/language_config.h"
#include "config/profile.h"
#include "resources/strings.h"
#include "tests/config/temp_ini.h"
#include "tests/support/host_recorder.h"

namespace {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// The absolute form of a relative name, and the current directory.
std::string absolute(const char* name) {
    char out[platform::kMaxPath];
    EXPECT_TRUE(platform::fullPath(name, out));
    return out;
}

std::string cwd() {
    std::string probe = absolute("probe");
    return probe.substr(0, probe.size() - 6);
}

// A directory of the temporary folder (where TempIni files live).
std::string tempDir() {
    TempIni probe;
    std::string path = probe.path();
    return path.substr(0, path.find_last_of("\\/"));
}

std::string sep(const std::string& a, const std::string& b) {
    return a + kSep + b;
}

struct Loaded {
    FrameSettings s{};
    Loaded() { initFrameSettings(s); }
    ~Loaded() { freeFrameSettings(s); }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    void load(const char* file, SettingsLoadOptions options = {}, SettingsHooks hooks = {}) {
        loadSettings(s, file, options, hooks);
    }
    const DirectoryMask& pair(PathPair p) const { return s.pairs[static_cast<int>(p)]; }
};

void expectRect(const SettingsRect& r, int l, int t, int rt, int b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rt);
    EXPECT_EQ(r.bottom, b);
}

bool sameRect(const SettingsRect& a, const SettingsRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Every value the key table loads.
void expectSameKeys(const FrameSettings& a, const FrameSettings& b) {
    EXPECT_STREQ(a.configurationFile, b.configurationFile);
    for (int i = 0; i < kPathPairCount; ++i) {
        EXPECT_STREQ(a.pairs[i].directory, b.pairs[i].directory) << "pair " << i;
        EXPECT_STREQ(a.pairs[i].mask, b.pairs[i].mask) << "pair " << i;
    }
    EXPECT_EQ(a.fileType, b.fileType);
    EXPECT_EQ(a.openType, b.openType);
    EXPECT_EQ(a.window.repeat, b.window.repeat);
    EXPECT_EQ(a.window.levellistType, b.window.levellistType);
    EXPECT_EQ(a.window.toolBar, b.window.toolBar);
    EXPECT_EQ(a.window.statusBar, b.window.statusBar);
    EXPECT_EQ(a.window.statusPages, b.window.statusPages);
    EXPECT_EQ(a.window.fileInSepWnd, b.window.fileInSepWnd);
    EXPECT_EQ(a.window.segInSepWnd, b.window.segInSepWnd);
    EXPECT_STREQ(a.window.projectName, b.window.projectName);
    EXPECT_STREQ(a.window.projectPath, b.window.projectPath);
    EXPECT_EQ(a.window.keepBrowserListOpen, b.window.keepBrowserListOpen);
    EXPECT_STREQ(a.externalEditor, b.externalEditor);
    EXPECT_STREQ(a.sourceFileEditor, b.sourceFileEditor);
    EXPECT_STREQ(a.errFileEditor, b.errFileEditor);
    EXPECT_EQ(a.defaultEditor, b.defaultEditor);
    EXPECT_EQ(a.etfFileFormat, b.etfFileFormat);
    EXPECT_TRUE(sameRect(a.multiLineEdit, b.multiLineEdit));
    EXPECT_TRUE(sameRect(a.singleLineEdit, b.singleLineEdit));
    EXPECT_EQ(a.editUppercase, b.editUppercase);
    for (int i = 0; i < kToolWindowCount; ++i) {
        EXPECT_EQ(a.places[i].open, b.places[i].open) << "tool window " << i;
        EXPECT_TRUE(sameRect(a.places[i].rect, b.places[i].rect)) << "tool window " << i;
    }
    EXPECT_EQ(a.maximized, b.maximized);
    EXPECT_EQ(a.hasWindowCoordinates, b.hasWindowCoordinates);
    EXPECT_TRUE(sameRect(a.windowCoordinates, b.windowCoordinates));
    EXPECT_EQ(a.ctl3d, b.ctl3d);
    EXPECT_EQ(a.flatToolbar, b.flatToolbar);
    EXPECT_EQ(a.flatToolbox, b.flatToolbox);
    EXPECT_STREQ(a.printer.name, b.printer.name);
    EXPECT_STREQ(a.printer.driver, b.printer.driver);
    EXPECT_STREQ(a.printer.port, b.printer.port);
    ASSERT_EQ(a.printer.devModeSize, b.printer.devModeSize);
    if (a.printer.devModeSize) {
        EXPECT_EQ(std::memcmp(a.printer.devMode, b.printer.devMode, a.printer.devModeSize), 0);
    }
    EXPECT_STREQ(a.network.lockDrives, b.network.lockDrives);
    EXPECT_STREQ(a.network.unlockDrives, b.network.unlockDrives);
}

// Opens every tool window that the loaded settings say was open, with a
// made-up handle, as the frame does at start.
void openToolWindows(FrameSettings& s) {
    for (int i = 0; i < kToolWindowCount; ++i) s.window.toolWindows[i] = s.places[i].open ? 100u + i : 0u;
}

std::string readKey(const char* section, const char* key, const char* file) {
    char value[1024];
    platform::profileGetString(section, key, "<absent>", value, sizeof value, file);
    return value;
}

// A device mode of `size` bytes naming its own size, with copies 3 and
// print quality 600 set.
std::string devModeHex(unsigned size, unsigned extra, unsigned char fill) {
    std::string bytes(size, static_cast<char>(fill));
    unsigned own = size - extra;
    bytes[36] = static_cast<char>(own & 0xFF);
    bytes[37] = static_cast<char>(own >> 8);
    bytes[38] = static_cast<char>(extra & 0xFF);
    bytes[39] = static_cast<char>(extra >> 8);
    bytes[40] = 0x00;
    bytes[41] = 0x05;  // copies (0x100) and print quality (0x400)
    bytes[42] = 0x00;
    bytes[43] = 0x00;
    bytes[54] = 3;
    bytes[55] = 0;
    bytes[58] = static_cast<char>(600 & 0xFF);
    bytes[59] = static_cast<char>(600 >> 8);
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    return hex;
}

}  // namespace

TEST(SettingsFile, LocationFromProgramOrOption) {
    char out[kSettingsPathSize];
    EXPECT_TRUE(settingsFileName("C:\\Programs\\Korrin\\korrin.exe", nullptr, out));
    EXPECT_STREQ(out, "korrin.INI");
    EXPECT_TRUE(settingsFileName("/opt/k/korrin.exe", "", out));
    EXPECT_STREQ(out, "korrin.INI");
    EXPECT_TRUE(defaultSettingsFileName("korrin", out));
    EXPECT_STREQ(out, "korrin.INI");
    EXPECT_FALSE(defaultSettingsFileName("C:\\dir\\", out));
    // inifile= is made absolute.
    EXPECT_TRUE(settingsFileName("korrin.exe", "x.ini", out));
    EXPECT_EQ(std::string(out), absolute("x.ini"));
}

TEST(SettingsFile, MissingFileGivesEveryDefault) {
    std::string missing = sep(tempDir(), "korrin-no-such-settings.ini");
    Loaded l;
    l.load(missing.c_str());
    const FrameSettings& s = l.s;
    EXPECT_FALSE(s.window.repeat);
    EXPECT_TRUE(s.window.toolBar);
    EXPECT_TRUE(s.window.statusBar);
    EXPECT_TRUE(s.window.statusPages);
    EXPECT_TRUE(s.window.fileInSepWnd);
    EXPECT_FALSE(s.window.segInSepWnd);
    EXPECT_TRUE(s.window.keepBrowserListOpen);
    EXPECT_STREQ(s.window.defaultExt, ".vrd");
    EXPECT_EQ(s.window.levellistType, 0);
    EXPECT_STREQ(s.configurationFile, "");
    EXPECT_EQ(l.pair(PathPair::Open).directory, cwd());
    EXPECT_STREQ(l.pair(PathPair::Open).mask, "*.vrd");
    EXPECT_EQ(l.pair(PathPair::Insert).directory, cwd());
    EXPECT_STREQ(l.pair(PathPair::Insert).mask, "*.vrd");
    EXPECT_STREQ(l.pair(PathPair::Generate).mask, "*.SRC");
    EXPECT_STREQ(l.pair(PathPair::Export).mask, "*.etf");
    EXPECT_STREQ(l.pair(PathPair::Current).mask, "*.vrd");
    EXPECT_EQ(s.openType, 0);
    EXPECT_EQ(s.fileType, 0);
    EXPECT_EQ(s.defaultEditor, 0);
    EXPECT_EQ(s.etfFileFormat, 1);
    expectRect(s.multiLineEdit, 0, 0, 0, 0);
    expectRect(s.singleLineEdit, 0, 0, 0, 0);
    EXPECT_FALSE(s.editUppercase);
    EXPECT_FALSE(s.maximized);
    EXPECT_FALSE(s.hasWindowCoordinates);
    EXPECT_TRUE(s.ctl3d);
    EXPECT_FALSE(s.flatToolbar);
    EXPECT_FALSE(s.flatToolbox);
    EXPECT_EQ(s.printer.devMode, nullptr);
    for (int i = 0; i < kToolWindowCount; ++i) EXPECT_FALSE(s.places[i].open);
    expectRect(s.places[0].rect, 255, 150, 355, 305);  // overview
    expectRect(s.places[1].rect, 8, 100, 250, 305);    // structure list
    expectRect(s.places[2].rect, 375, 150, 475, 305);  // page preview
    expectRect(s.places[3].rect, 8, 310, 400, 440);    // result window

    RecentFiles recent;
    loadRecentFiles(recent, missing.c_str());
    EXPECT_EQ(recent.open.length, 4);
    EXPECT_EQ(recent.insert.length, 4);
    EXPECT_EQ(recent.open.count + recent.insert.count + recent.help.count, 0);
    EXPECT_FALSE(platform::fileExists(missing.c_str()));  // loading never writes
}

TEST(SettingsFile, MalformedValuesTakeDefaultsAndASaveWritesAValidFile) {
    TempIni ini(
        "[Settings]\r\nRepeat=maybe\r\nToolBar=2\r\nStatusBar=\r\nStatusPages=nope\r\nFileInSepWnd=yess\r\n"
        "SegInSepWnd=-\r\nKeepBrowserListOpen=0x1\r\nLevellistType=1.5\r\nFileType=abc\r\nOpenType=x3\r\n"
        "DefaultEditor=two\r\nEtfFileFormat=utf8\r\nMultiLineEdit=1,2,3\r\nSingleLineEdit=a,b,c,d\r\n"
        "EditUppercase=on\r\nOverview=yes,1,2\r\nLevellist=yes,10,10,5,5\r\nPrintgrid=maybe,1,2,3,4\r\n"
        "Result=true,1,2,3,4,5\r\nToolBox=yes;1;2;3;4\r\nWindowStyle=HUGE\r\nWindowCoordinates=1,2,3\r\n"
        "Ctl3D=perhaps\r\nFlatToolbar=always\r\nFlatToolbox=99999999999999999999\r\n"
        "DevMode=,,,\r\nSourcePath=\r\nExportPath=\r\nStructureListDepth=-2\r\n"
        "[RecentFileList]\r\nOpenFileListLength=-3\r\nInsertFileListLength=many\r\n");
    Loaded l;
    l.load(ini.path());
    const FrameSettings& s = l.s;
    EXPECT_FALSE(s.window.repeat);
    EXPECT_TRUE(s.window.toolBar);
    EXPECT_TRUE(s.window.statusBar);
    EXPECT_TRUE(s.window.statusPages);
    EXPECT_TRUE(s.window.fileInSepWnd);
    EXPECT_FALSE(s.window.segInSepWnd);
    EXPECT_TRUE(s.window.keepBrowserListOpen);
    EXPECT_EQ(s.window.levellistType, 0);
    EXPECT_EQ(s.structureListDepth, 0) << "all levels";
    EXPECT_EQ(s.fileType, 0);
    EXPECT_EQ(s.openType, 0);
    EXPECT_EQ(s.defaultEditor, 0);
    EXPECT_EQ(s.etfFileFormat, 1);
    expectRect(s.multiLineEdit, 0, 0, 0, 0);
    expectRect(s.singleLineEdit, 0, 0, 0, 0);
    EXPECT_FALSE(s.editUppercase);
    // Open tool windows with unusable rectangles take the defaults.
    EXPECT_TRUE(s.places[0].open);
    expectRect(s.places[0].rect, 255, 150, 355, 305);
    EXPECT_TRUE(s.places[1].open);
    expectRect(s.places[1].rect, 8, 100, 250, 305);
    EXPECT_FALSE(s.places[2].open);
    EXPECT_TRUE(s.places[3].open);
    expectRect(s.places[3].rect, 8, 310, 400, 440);
    EXPECT_TRUE(s.places[4].open);
    EXPECT_FALSE(s.maximized);
    EXPECT_FALSE(s.hasWindowCoordinates);
    EXPECT_TRUE(s.ctl3d);
    EXPECT_FALSE(s.flatToolbar);
    EXPECT_FALSE(s.flatToolbox);
    EXPECT_EQ(s.printer.devMode, nullptr);
    EXPECT_STREQ(l.pair(PathPair::Generate).mask, "*.SRC");
    RecentFiles recent;
    loadRecentFiles(recent, ini.path());
    EXPECT_EQ(recent.open.length, 4);
    EXPECT_EQ(recent.insert.length, 4);

    // A save of everything writes a file that loads to the same values.
    TempIni saved;
    SaveSettingsRequest request;
    initSaveSettingsRequest(l.s, request);
    openToolWindows(l.s);
    EXPECT_EQ(writeSettings(l.s, request, saved.path(), SettingsHooks{}), 1);
    Loaded again;
    again.load(saved.path());
    for (int i = 0; i < kToolWindowCount; ++i) {
        EXPECT_EQ(again.s.places[i].open, l.s.places[i].open);
        EXPECT_TRUE(sameRect(again.s.places[i].rect, l.s.places[i].rect));
    }
    EXPECT_STREQ(again.pair(PathPair::Open).directory, l.pair(PathPair::Open).directory);
    EXPECT_STREQ(again.pair(PathPair::Export).mask, "*.etf");
    for (const char* key : {"Repeat",
                            "FileInSepWnd",
                            "SegInSepWnd",
                            "Overview",
                            "Levellist",
                            "LevellistType",
                            "Printgrid",
                            "Result",
                            "ToolBox",
                            "StatusBar",
                            "StatusPages",
                            "ToolBar",
                            "ExternalEditor",
                            "SourceFileEditor",
                            "ErrFileEditor",
                            "Project",
                            "ProjectPath",
                            "KeepBrowserListOpen",
                            "ConfigurationFile",
                            "DefaultEditor",
                            "SavePath",
                            "FilePath",
                            "FileType",
                            "SourcePath",
                            "ExportPath",
                            "OpenType",
                            "MultiLineEdit",
                            "SingleLineEdit",
                            "EditUppercase",
                            "RetainReplaceCheckboxState"})
        EXPECT_NE(readKey("Settings", key, saved.path()), "<absent>") << key;
    EXPECT_EQ(readKey("Settings", "MultiLineEdit", saved.path()), "0,0,0,0");
    EXPECT_EQ(readKey("Settings", "Printgrid", saved.path()), "no");
    EXPECT_EQ(readKey("Settings", "Overview", saved.path()), "yes,255,150,355,305");
}

TEST(SettingsFile, DirectoryAndMaskRules) {
    DirectoryMask p;
#ifdef _WIN32
    // A drive root keeps the backslash after the colon.
    parseDirectoryMask("C:\\", "X:\\fallback", ".vrd", p);
    EXPECT_STREQ(p.directory, "C:\\");
    EXPECT_STREQ(p.mask, "*.vrd");
    parseDirectoryMask("c:\\*.abc", "X:\\fallback", ".vrd", p);
    EXPECT_STREQ(p.directory, "c:\\");
    EXPECT_STREQ(p.mask, "*.abc");
    parseDirectoryMask("C:\\work\\", "X:\\fallback", ".vrd", p);
    EXPECT_STREQ(p.directory, "C:\\work");
    parseDirectoryMask("C:\\work\\sub\\..\\main.", "X:\\fallback", ".vrd", p);
    EXPECT_STREQ(p.directory, "C:\\work");
    EXPECT_STREQ(p.mask, "main.");
    const char* root = "C:\\";
#else
    parseDirectoryMask("/", "/fallback", ".vrd", p);
    EXPECT_STREQ(p.directory, "/");
    EXPECT_STREQ(p.mask, "*.vrd");
    parseDirectoryMask("/work/", "/fallback", ".vrd", p);
    EXPECT_STREQ(p.directory, "/work");
    const char* root = "/";
#endif
    // Name and extension default separately.
    std::string work = sep(tempDir(), "");
    parseDirectoryMask((work + "proc.etf").c_str(), "", ".vrd", p);
    EXPECT_EQ(std::string(p.directory), tempDir());
    EXPECT_STREQ(p.mask, "proc.etf");
    parseDirectoryMask((work + "proc").c_str(), "", ".vrd", p);
    EXPECT_STREQ(p.mask, "proc.vrd");
    parseDirectoryMask((work + ".abc").c_str(), "", ".vrd", p);
    EXPECT_STREQ(p.mask, "*.abc");
    // Relative directories are made absolute; no directory and an empty
    // value take the fallback.
    parseDirectoryMask(sep("sub", "*.x").c_str(), root, ".vrd", p);
    EXPECT_EQ(std::string(p.directory), absolute("sub"));
    parseDirectoryMask("*.x", root, ".vrd", p);
    EXPECT_STREQ(p.directory, root);
    EXPECT_STREQ(p.mask, "*.x");
    parseDirectoryMask("", root, ".etf", p);
    EXPECT_STREQ(p.directory, root);
    EXPECT_STREQ(p.mask, "*.etf");

    // The stored form adds a separator only where needed.
    char joined[2 * kSettingsPathSize];
    DirectoryMask rootPair{};
    std::strcpy(rootPair.directory, root);
    std::strcpy(rootPair.mask, "*.vrd");
    joinDirectoryMask(rootPair, joined, sizeof joined);
    EXPECT_EQ(std::string(joined), std::string(root) + "*.vrd");
    DirectoryMask dirPair{};
    std::strcpy(dirPair.directory, tempDir().c_str());
    std::strcpy(dirPair.mask, "*.vrd");
    joinDirectoryMask(dirPair, joined, sizeof joined);
    EXPECT_EQ(std::string(joined), sep(tempDir(), "*.vrd"));
}

TEST(SettingsFile, PairsFallBackAndFollowTheirKeys) {
    std::string dir = tempDir();
    TempIni config("[GenOptions]\r\nGenFileExt=pas\r\n");
    // OpenPath is the default of SavePath; the others fall back on the open
    // directory; OpenType picks the Open dialog's pair.
    std::string text = "[Settings]\r\nOpenPath=" + sep(dir, "*.old") +
                       "\r\nConfigurationFile=" + config.path() + "\r\nOpenType=1\r\n";
    TempIni ini(text);
    Loaded l;
    l.load(ini.path());
    EXPECT_EQ(std::string(l.pair(PathPair::Open).directory), dir);
    EXPECT_STREQ(l.pair(PathPair::Open).mask, "*.old");
    EXPECT_EQ(std::string(l.pair(PathPair::Generate).directory), dir);
    // The generation extension as the configuration keeps it: a period
    // added, upper case.
    EXPECT_STREQ(l.pair(PathPair::Generate).mask, "*.PAS");
    EXPECT_EQ(std::string(l.pair(PathPair::Export).directory), dir);
    EXPECT_STREQ(l.pair(PathPair::Insert).mask, "*.vrd");
    EXPECT_STREQ(l.pair(PathPair::Current).mask, "*.PAS");

    // SavePath wins over OpenPath; OpenType 3 is the export pair, others the
    // open pair.
    ini.write(text + "SavePath=" + sep(dir, "new.vrd") + "\r\nExportPath=" + sep(dir, "x.etf") + "\r\n");
    Loaded m;
    m.load(ini.path());
    EXPECT_STREQ(m.pair(PathPair::Open).mask, "new.vrd");
    ini.write("[Settings]\r\nOpenType=3\r\nExportPath=" + sep(dir, "x.etf") + "\r\n");
    m.load(ini.path());
    EXPECT_STREQ(m.pair(PathPair::Current).mask, "x.etf");
    ini.write("[Settings]\r\nOpenType=2\r\n");
    m.load(ini.path());
    EXPECT_STREQ(m.pair(PathPair::Current).mask, "*.vrd");
}

TEST(SettingsFile, ToolWindowValues) {
    SettingsRect fallback{1, 2, 3, 4};
    ToolWindowPlace p = parseToolWindowPlace("TRUE,10,20,300,400", fallback);
    EXPECT_TRUE(p.open);
    expectRect(p.rect, 10, 20, 300, 400);
    p = parseToolWindowPlace("1, -5 ,6, 70,80", fallback);
    EXPECT_TRUE(p.open);
    expectRect(p.rect, -5, 6, 70, 80);
    p = parseToolWindowPlace("no", fallback);
    EXPECT_FALSE(p.open);
    expectRect(p.rect, 1, 2, 3, 4);
    p = parseToolWindowPlace("no,10,20,300,400", fallback);
    EXPECT_FALSE(p.open);
    expectRect(p.rect, 1, 2, 3, 4);
    p = parseToolWindowPlace("Yes", fallback);
    EXPECT_TRUE(p.open);
    expectRect(p.rect, 1, 2, 3, 4);
    p = parseToolWindowPlace("yes,1,2,3,99999999999", fallback);
    expectRect(p.rect, 1, 2, 3, 4);
    EXPECT_FALSE(parseToolWindowPlace("", fallback).open);

    TempIni ini("[Settings]\r\nOverview=TRUE,10,20,300,400\r\nPrintgrid=no\r\n");
    Loaded l;
    l.load(ini.path());
    EXPECT_TRUE(l.s.places[0].open);
    expectRect(l.s.places[0].rect, 10, 20, 300, 400);
    EXPECT_FALSE(l.s.places[2].open);
    expectRect(l.s.places[2].rect, 375, 150, 475, 305);

    // Moved back onto the screen.
    SettingsRect screen{0, 0, 1024, 768};
    SettingsRect r{1000, -20, 1100, 80};
    keepRectOnScreen(r, screen);
    expectRect(r, 924, 0, 1024, 100);
    r = SettingsRect{-1500, 700, -500, 2000};
    keepRectOnScreen(r, screen);
    expectRect(r, 0, 0, 1000, 768);
}

TEST(SettingsFile, RectanglesAndWindowPlacement) {
    SettingsRect r{9, 9, 9, 9};
    EXPECT_TRUE(parseRect("1,2,3,4", false, r));
    expectRect(r, 1, 2, 3, 4);
    EXPECT_FALSE(parseRect("1 2 3 4", false, r));
    EXPECT_TRUE(parseRect("1 2  3,4 ", true, r));
    EXPECT_FALSE(parseRect("1,2,3,4,5", true, r));
    EXPECT_FALSE(parseRect("1,2,,3", true, r));
    EXPECT_FALSE(parseRect("1,2,3,x", true, r));
    expectRect(r, 1, 2, 3, 4);

    TempIni ini;
    EXPECT_EQ(saveWindowPlacement(ini.path(), false, SettingsRect{10, 20, 630, 470}), 1);
    EXPECT_EQ(readKey("Settings", "WindowStyle", ini.path()), "NORMAL");
    EXPECT_EQ(readKey("Settings", "WindowCoordinates", ini.path()), "10,20,630,470");
    EXPECT_EQ(saveWindowPlacement(ini.path(), true, SettingsRect{0, 0, 1, 1}), 1);
    Loaded l;
    l.load(ini.path());
    EXPECT_TRUE(l.s.maximized);
    EXPECT_TRUE(l.s.hasWindowCoordinates);  // kept from the normal state
    expectRect(l.s.windowCoordinates, 10, 20, 630, 470);
    ini.write("[Settings]\r\nWindowStyle=maximized\r\nWindowCoordinates=5 6 700 800\r\n");
    l.load(ini.path());
    EXPECT_TRUE(l.s.maximized);
    expectRect(l.s.windowCoordinates, 5, 6, 700, 800);
}

TEST(SettingsFile, EditorsProjectAndDefaultEditor) {
    TempIni ini("[Settings]\r\nDefaultEditor=2\r\nExternalEditor=\r\nProject=proj\r\nProjectPath=" +
                std::string("pp") + "\r\n");
    Loaded l;
    l.load(ini.path());
    EXPECT_EQ(l.s.defaultEditor, 0);  // the external editor without a command line
    EXPECT_EQ(std::string(l.s.window.projectName), absolute("proj"));
    EXPECT_EQ(std::string(l.s.window.projectPath), absolute("pp"));

    // Given on the command line: not read.
    Loaded c;
    std::strcpy(c.s.window.projectName, "cmd");
    SettingsLoadOptions given{};
    given.projectGiven = true;
    c.load(ini.path(), given);
    EXPECT_STREQ(c.s.window.projectName, "cmd");
    EXPECT_EQ(std::string(c.s.window.projectPath), absolute("pp"));

    // Command lines keep their own quotes through a save.
    std::strcpy(l.s.externalEditor, "\"C:\\Program Files\\ed.exe\" \"%FILE%\"");
    std::strcpy(l.s.sourceFileEditor, "'quoted'");
    std::strcpy(l.s.errFileEditor, "notepad %FILE%");
    l.s.defaultEditor = 2;
    TempIni saved;
    SaveSettingsRequest request;
    initSaveSettingsRequest(l.s, request);
    request.groups = kSaveGeneral;
    EXPECT_EQ(writeSettings(l.s, request, saved.path(), SettingsHooks{}), 1);
    char raw[512];
    ASSERT_EQ(readProfileRawValue("Settings", "ErrFileEditor", raw, sizeof raw, saved.path()), 1);
    EXPECT_STREQ(raw, "'notepad %FILE%'");
    Loaded again;
    again.load(saved.path());
    EXPECT_STREQ(again.s.externalEditor, l.s.externalEditor);
    EXPECT_STREQ(again.s.sourceFileEditor, "'quoted'");
    EXPECT_STREQ(again.s.errFileEditor, "notepad %FILE%");
    EXPECT_EQ(again.s.defaultEditor, 2);
}

TEST(SettingsFile, EveryKeySurvivesALoadSaveLoadRoundTrip) {
    std::string dir = tempDir();
    TempIni config("[GenOptions]\r\nGenFileExt=.cob\r\n");
    std::string devMode = devModeHex(160, 4, 0x41);
    std::string text =
        "[Settings]\r\nConfigurationFile=" + std::string(config.path()) +
        "\r\nSavePath=" + sep(dir, "a*.vrd") + "\r\nFilePath=" + sep(dir, "ins.vrd") +
        "\r\nFileType=2\r\nSourcePath=" + sep(dir, "*.cob") + "\r\nExportPath=" + sep(dir, "e.etf") +
        "\r\nOpenType=3\r\nRepeat=yes\r\nLevellistType=4\r\nToolBar=no\r\nStatusBar=no\r\n"
        "StatusPages=no\r\nFileInSepWnd=no\r\nSegInSepWnd=yes\r\nProject=" +
        sep(dir, "p.prj") + "\r\nProjectPath=" + dir +
        "\r\nKeepBrowserListOpen=no\r\nExternalEditor='ed \"%FILE%\"'\r\n"
        "SourceFileEditor='src'\r\nErrFileEditor='err'\r\nDefaultEditor=1\r\nEtfFileFormat=ANSI\r\n"
        "MultiLineEdit=1,2,300,400\r\nSingleLineEdit=5,6,700,80\r\nEditUppercase=yes\r\n"
        "Overview=yes,11,12,113,114\r\nLevellist=yes,21,22,223,224\r\nPrintgrid=no\r\n"
        "Result=yes,41,42,443,444\r\nToolBox=yes,51,52,153,454\r\nWindowStyle=MAXIMIZED\r\n"
        "WindowCoordinates=1,2,3,4\r\nCtl3D=no\r\nFlatToolbar=yes\r\nFlatToolbox=yes\r\n"
        "device=Office Printer,winspool,LPT1:\r\nDevMode=office printer,320," +
        devMode + "\r\n[Network]\r\nLockDrives=CD\r\nUnLockDrives=XYZ\r\n";
    TempIni ini(text);
    Loaded first;
    first.load(ini.path());
    EXPECT_STREQ(first.pair(PathPair::Current).mask, "e.etf");
    EXPECT_EQ(first.s.etfFileFormat, 0);
    EXPECT_EQ(first.s.printer.devModeSize, 160u);
    EXPECT_STREQ(first.s.printer.port, "LPT1:");

    // The frame reopens the tool windows; then everything is saved into an
    // empty file: all groups, the frame's exit writing, the printer, and the
    // keys that only the user edits.
    auto saveAll = [](FrameSettings& s, const char* file) {
        openToolWindows(s);
        SaveSettingsRequest request;
        initSaveSettingsRequest(s, request);
        ASSERT_EQ(writeSettings(s, request, file, SettingsHooks{}), 1);
        ASSERT_EQ(saveWindowPlacement(file, false, s.windowCoordinates), 1);
        ASSERT_EQ(saveWindowPlacement(file, s.maximized, s.windowCoordinates), 1);
        ASSERT_EQ(savePrinterChoice(s.printer, file), 1);
        auto yesNo = [](bool on) { return on ? "yes" : "no"; };
        platform::profileWriteString("Settings", "EtfFileFormat", s.etfFileFormat ? "OEM" : "ANSI", file);
        platform::profileWriteString("Settings", "Ctl3D", yesNo(s.ctl3d), file);
        platform::profileWriteString("Settings", "FlatToolbar", yesNo(s.flatToolbar), file);
        platform::profileWriteString("Settings", "FlatToolbox", yesNo(s.flatToolbox), file);
        platform::profileWriteString("Network", "LockDrives", s.network.lockDrives, file);
        platform::profileWriteString("Network", "UnLockDrives", s.network.unlockDrives, file);
    };
    TempIni saved;
    saveAll(first.s, saved.path());
    Loaded second;
    second.load(saved.path());
    expectSameKeys(first.s, second.s);

    // Saving the reloaded values again writes the same file.
    TempIni again;
    saveAll(second.s, again.path());
    EXPECT_EQ(again.read(), saved.read());
}

TEST(SettingsFile, DeviceModeIsKeptOnlyWhenItFitsItsPrinter) {
    std::string good = devModeHex(156, 0, 0x10);
    auto load = [](const std::string& text, PrinterChoice& printer) {
        TempIni ini(text);
        loadPrinterChoice(printer, ini.path());
    };
    PrinterChoice p{};
    load("[Settings]\r\ndevice= Laser , drv ,FILE:\r\nDevMode=LASER,312," + good + "\r\n", p);
    EXPECT_STREQ(p.name, "Laser");
    EXPECT_STREQ(p.driver, "drv");
    EXPECT_STREQ(p.port, "FILE:");
    ASSERT_EQ(p.devModeSize, 156u);
    // Copies and print quality are cleared, with their field bits.
    EXPECT_EQ(p.devMode[54], 0);
    EXPECT_EQ(p.devMode[58], 0);
    EXPECT_EQ(p.devMode[59], 0);
    EXPECT_EQ(p.devMode[41], 0);
    EXPECT_EQ(p.devMode[0], 0x10);
    // Another printer, a wrong digit count, bad digits, sizes that do not
    // describe the bytes, too few bytes: no device mode.
    std::string bad = good;
    bad[100] = 'G';
    for (const std::string& value :
         {"Other,312," + good, "Laser,310," + good, "Laser,312," + bad, "Laser,320," + good + "00000000",
          "Laser,120," + good.substr(0, 120), "Laser,x," + good, "Laser," + good, std::string("Laser")}) {
        load("[Settings]\r\ndevice=Laser,drv,FILE:\r\nDevMode=" + value + "\r\n", p);
        EXPECT_EQ(p.devMode, nullptr) << value.substr(0, 20);
        EXPECT_EQ(p.devModeSize, 0u);
    }
    // Saved as upper-case hex pairs with the digit count.
    unsigned char bytes[156] = {};
    bytes[36] = 156;
    bytes[100] = 0xAB;
    ASSERT_TRUE(setPrinterDevMode(p, bytes, sizeof bytes));
    TempIni out;
    ASSERT_EQ(savePrinterChoice(p, out.path()), 1);
    std::string stored = readKey("Settings", "DevMode", out.path());
    EXPECT_EQ(stored.substr(0, 10), "Laser,312,");
    EXPECT_EQ(stored.substr(10 + 200, 2), "AB");
    PrinterChoice back{};
    loadPrinterChoice(back, out.path());
    ASSERT_EQ(back.devModeSize, 156u);
    EXPECT_EQ(std::memcmp(back.devMode, bytes, 156), 0);
    // Without a device mode the key goes.
    ASSERT_TRUE(setPrinterDevMode(p, nullptr, 0));
    ASSERT_EQ(savePrinterChoice(p, out.path()), 1);
    EXPECT_EQ(readKey("Settings", "DevMode", out.path()), "<absent>");
    freePrinterChoice(p);
    freePrinterChoice(back);
}

TEST(SettingsFile, RecentFileLists) {
    TempIni ini(
        "[RecentFileList]\r\nOpenFileListLength=12\r\nInsertFileListLength=0\r\nOpenFile1=a.vrd\r\n"
        "OpenFile2=\r\nOpenFile3=c.vrd\r\nOpenFile10=j.vrd\r\nInsertFile1=i.vrd\r\n"
        "[HelpFileList]\r\nHelpFile1=Pascal,pascal.hlp\r\nHelpFile9=Last,last.hlp\r\nHelpFile10=x,x.hlp\r\n");
    RecentFiles recent;
    loadRecentFiles(recent, ini.path());
    EXPECT_EQ(recent.open.length, 9);  // at most 9
    ASSERT_EQ(recent.open.count, 2);
    EXPECT_STREQ(recent.open.entries[0], "a.vrd");
    EXPECT_STREQ(recent.open.entries[1], "c.vrd");
    EXPECT_EQ(recent.insert.length, 0);  // no list
    EXPECT_EQ(recent.insert.count, 0);
    ASSERT_EQ(recent.help.count, 2);
    EXPECT_STREQ(recent.help.entries[1], "Last,last.hlp");

    // Written back: lengths, entries from 1 on, nothing beyond.
    recent.open.count = 1;
    std::strcpy(recent.open.entries[0], "new.vrd");
    ASSERT_EQ(saveRecentFiles(recent, ini.path()), 1);
    EXPECT_EQ(readKey("RecentFileList", "OpenFileListLength", ini.path()), "9");
    EXPECT_EQ(readKey("RecentFileList", "OpenFile1", ini.path()), "new.vrd");
    EXPECT_EQ(readKey("RecentFileList", "OpenFile3", ini.path()), "<absent>");
    EXPECT_EQ(readKey("RecentFileList", "InsertFile1", ini.path()), "<absent>");
    EXPECT_EQ(readKey("HelpFileList", "HelpFile2", ini.path()), "Last,last.hlp");
    EXPECT_EQ(readKey("HelpFileList", "HelpFile9", ini.path()), "<absent>");
}

// ---------------------------------------------------------------------------
// Save settings and the exit question

namespace {

// The Save settings dialog as a script: the groups and directories the
// user leaves, or a cancel.
struct DialogScript {
    int calls = 0;
    bool accept = true;
    unsigned groups = kSaveAllGroups;
    std::string openDir;
    unsigned seenGroups = 0;
};

bool scriptedDialog(SaveSettingsRequest& request, void* context) {
    auto* script = static_cast<DialogScript*>(context);
    ++script->calls;
    script->seenGroups = request.groups;
    request.groups = script->groups;
    if (!script->openDir.empty()) std::strcpy(request.openDir, script->openDir.c_str());
    return script->accept;
}

int g_programListSaves = 0;
int saveProgramList(const char*) {
    ++g_programListSaves;
    return 1;
}

bool toolRect(std::uintptr_t window, SettingsRect* rect) {
    *rect = SettingsRect{static_cast<std::int32_t>(window), 1, static_cast<std::int32_t>(window) + 50, 60};
    return true;
}

}  // namespace

TEST(SaveSettings, GroupsWriteTheirKeys) {
    std::string dir = tempDir();
    TempIni ini("[Settings]\r\nOpenPath=" + sep(dir, "*.old") + "\r\nSourcePath=" + sep(dir, "*.src") +
                "\r\n");
    Loaded l;
    l.load(ini.path());
    TempIni out("[Settings]\r\nOpenPath=stale\r\n");
    SaveSettingsRequest request;
    initSaveSettingsRequest(l.s, request);
    EXPECT_EQ(request.groups, unsigned(kSaveAllGroups));
    EXPECT_EQ(std::string(request.openDir), dir);

    // Only the open directory, edited in the dialog: SavePath with the mask,
    // OpenPath removed, the current pair follows.
    request.groups = kSaveOpenDir;
    std::string edited = sep(dir, "sub") + kSep;
    std::strcpy(request.openDir, edited.c_str());
    ASSERT_EQ(writeSettings(l.s, request, out.path(), SettingsHooks{}), 1);
    EXPECT_EQ(readKey("Settings", "SavePath", out.path()), sep(sep(dir, "sub"), "*.old"));
    EXPECT_EQ(readKey("Settings", "OpenPath", out.path()), "<absent>");
    EXPECT_EQ(readKey("Settings", "Repeat", out.path()), "<absent>");
    EXPECT_EQ(std::string(l.pair(PathPair::Current).directory), sep(dir, "sub"));

    // OpenType: 0, 1 or 3 for the pair the Open dialog uses, nothing for
    // another one.
    request.groups = kSaveOpenType;
    l.s.pairs[static_cast<int>(PathPair::Current)] = l.s.pairs[static_cast<int>(PathPair::Generate)];
    std::strcpy(l.s.pairs[static_cast<int>(PathPair::Current)].mask, "*.SRC");  // case does not matter
    ASSERT_EQ(writeSettings(l.s, request, out.path(), SettingsHooks{}), 1);
    EXPECT_EQ(readKey("Settings", "OpenType", out.path()), "1");
    std::strcpy(l.s.pairs[static_cast<int>(PathPair::Current)].mask, "*.other");
    TempIni none;
    ASSERT_EQ(writeSettings(l.s, request, none.path(), SettingsHooks{}), 1);
    EXPECT_EQ(readKey("Settings", "OpenType", none.path()), "<absent>");

    // Edit windows; general with the tool-window rectangles of the frame and
    // the program list.
    request.groups = kSaveEditWindows | kSaveGeneral;
    l.s.multiLineEdit = SettingsRect{1, 2, 3, 4};
    l.s.editUppercase = true;
    l.s.window.toolWindows[static_cast<int>(ToolWindow::Result)] = 7;
    SettingsHooks hooks{};
    hooks.toolWindowRect = toolRect;
    hooks.saveProgramList = saveProgramList;
    g_programListSaves = 0;
    ASSERT_EQ(writeSettings(l.s, request, out.path(), hooks), 1);
    EXPECT_EQ(g_programListSaves, 1);
    EXPECT_EQ(readKey("Settings", "MultiLineEdit", out.path()), "1,2,3,4");
    EXPECT_EQ(readKey("Settings", "EditUppercase", out.path()), "yes");
    EXPECT_EQ(readKey("Settings", "Result", out.path()), "yes,7,1,57,60");
    EXPECT_EQ(readKey("Settings", "Overview", out.path()), "no");
    EXPECT_EQ(readKey("Settings", "FilePath", out.path()), "<absent>");
}

TEST(SaveSettings, CommandReportsFailuresOnceAndReplacesTheSnapshot) {
    HostRecorder host;
    Loaded l;
    std::string missing = sep(sep(tempDir(), "korrin-no-such-dir"), "k.ini");
    l.load(missing.c_str());
    WindowSettings snapshot = l.s.window;
    l.s.window.changed = true;
    l.s.window.repeat = true;
    DialogScript script;
    SettingsHooks hooks{};
    hooks.chooseSaveSettings = scriptedDialog;
    hooks.chooseContext = &script;
    EXPECT_EQ(saveSettingsCommand(l.s, snapshot, missing.c_str(), hooks), 1);
    EXPECT_EQ(script.calls, 1);
    EXPECT_EQ(script.seenGroups, unsigned(kSaveAllGroups));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned(IDS_UNABLE_TO_WRITE));
    EXPECT_EQ(host.messages[0].text, "Unable to write to " + missing + ".");
    EXPECT_FALSE(l.s.window.changed);
    EXPECT_TRUE(snapshot.repeat);
    EXPECT_FALSE(settingsChangedSinceStart(snapshot, l.s.window));

    // Cancelled: nothing written, snapshot kept.
    TempIni out;
    script.accept = false;
    l.s.window.repeat = false;
    EXPECT_EQ(saveSettingsCommand(l.s, snapshot, out.path(), hooks), 0);
    EXPECT_EQ(readKey("Settings", "Repeat", out.path()), "<absent>");
    EXPECT_TRUE(snapshot.repeat);
}

TEST(ExitQuestion, OnlyRealChangesAsk) {
    WindowSettings start{};
    start.statusBar = true;
    start.toolWindows[0] = 11;  // overview open
    std::strcpy(start.projectName, "p");
    WindowSettings now = start;

    // Toggling the status bar twice; the overview closed and opened again
    // (another handle); garbage behind the end of a text.
    now.statusBar = !now.statusBar;
    now.statusBar = !now.statusBar;
    now.toolWindows[0] = 99;
    now.projectName[5] = 'x';
    start.levellistText[1][40] = 'y';
    EXPECT_FALSE(settingsChangedSinceStart(start, now));

    WindowSettings changed = now;
    changed.toolWindows[0] = 0;  // closed
    EXPECT_TRUE(settingsChangedSinceStart(start, changed));
    changed = now;
    changed.toolWindows[3] = 5;  // opened
    EXPECT_TRUE(settingsChangedSinceStart(start, changed));
    changed = now;
    changed.changed = true;
    EXPECT_TRUE(settingsChangedSinceStart(start, changed));
    changed = now;
    std::strcpy(changed.levellistText[0], "main");
    EXPECT_TRUE(settingsChangedSinceStart(start, changed));
}

TEST(ExitQuestion, AnswersDecideTheClose) {
    HostRecorder host;
    TempIni out;
    Loaded l;
    l.load(out.path());
    WindowSettings snapshot = l.s.window;
    DialogScript script;
    SettingsHooks hooks{};
    hooks.chooseSaveSettings = scriptedDialog;
    hooks.chooseContext = &script;

    // Nothing changed: no question.
    EXPECT_TRUE(askSaveSettingsAtExit(l.s, snapshot, out.path(), hooks, false));
    EXPECT_TRUE(host.messages.empty());

    l.s.window.repeat = true;
    host.answer(kAnswerCancel);
    EXPECT_FALSE(askSaveSettingsAtExit(l.s, snapshot, out.path(), hooks, false));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned(IDS_SAVE_SETTINGS));
    EXPECT_EQ(host.messages[0].text, "Save settings?");
    EXPECT_EQ(host.messages[0].style, unsigned(kBoxYesNoCancel | kIconQuestion));

    host.answer(kAnswerNo);
    EXPECT_TRUE(askSaveSettingsAtExit(l.s, snapshot, out.path(), hooks, false));
    EXPECT_EQ(script.calls, 0);
    EXPECT_EQ(readKey("Settings", "Repeat", out.path()), "<absent>");

    host.answer(kAnswerYes);
    EXPECT_TRUE(askSaveSettingsAtExit(l.s, snapshot, out.path(), hooks, false));
    EXPECT_EQ(script.calls, 1);
    EXPECT_EQ(readKey("Settings", "Repeat", out.path()), "yes");
    EXPECT_FALSE(settingsChangedSinceStart(snapshot, l.s.window));

    // An add-in's close from another thread: Yes without asking.
    l.s.window.repeat = false;
    std::size_t asked = host.messages.size();
    EXPECT_TRUE(askSaveSettingsAtExit(l.s, snapshot, out.path(), hooks, true));
    EXPECT_EQ(host.messages.size(), asked);
    EXPECT_EQ(script.calls, 2);
    EXPECT_EQ(readKey("Settings", "Repeat", out.path()), "no");
}
