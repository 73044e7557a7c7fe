// The editor as a process: start and exit, the menu, the settings question,
// status-line help, accelerators, bar buttons and context menus, and a
// screenshot of the frame for review.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "app/commands.h"
#include "tests/e2e/e2e_support.h"

using e2e::Editor;

namespace {

// Items a start without the outside libraries removes from the menu: the
// file-transfer items (no library), System info (no MSINFO program), and,
// once the file types are registered, the cross-reference items (their
// settings are off).
const std::set<unsigned> kRemovedAtStart = {CMD_FILE_TRANSFER,    CMD_OPTIONS_FILE_TRANSFER,
                                            CMD_HELP_SYSTEM_INFO, CMD_VIEW_DEFINITION,
                                            CMD_VIEW_REFERENCES,  CMD_OPTIONS_PROJECT};

bool hasItem(const std::string& dump, unsigned id, const char* state = nullptr) {
    char key[32];
    std::snprintf(key, sizeof key, "item %u ", id);
    std::size_t at = dump.find(key);
    if (at == std::string::npos) return false;
    if (!state) return true;
    return dump.compare(at + std::strlen(key), std::strlen(state), state) == 0;
}

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND statusBarOf(HWND frame) {
    return FindWindowExA(frame, nullptr, "HpmStatus", nullptr);
}

void closeNormally(Editor& editor) {
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
}

}  // namespace

TEST(Frame, StartsWithTheWholeMenuAndEndsOnClose) {
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    EXPECT_EQ(windowText(editor.frame), "Korrin(VRD) - (Untitled)");
    EXPECT_TRUE(IsWindowVisible(editor.frame));
    EXPECT_TRUE(IsWindowEnabled(editor.frame));
    EXPECT_NE(FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr), nullptr);
    EXPECT_NE(FindWindowExA(editor.frame, nullptr, "ToolbarWindow32", nullptr), nullptr);
    EXPECT_NE(statusBarOf(editor.frame), nullptr);

    std::string dump = editor.menuDump();
    ASSERT_FALSE(dump.empty());
    std::size_t count = 0;
    const std::uint16_t* menu = mainMenuCommands(&count);
    for (std::size_t i = 0; i < count; ++i) {
        if (kRemovedAtStart.count(menu[i]))
            EXPECT_FALSE(hasItem(dump, menu[i])) << menu[i];
        else
            EXPECT_TRUE(hasItem(dump, menu[i])) << "missing from the menu: " << menu[i];
    }
    // The frame's own states.
    EXPECT_TRUE(hasItem(dump, CMD_ADDIN_EMPTY, "g"));          // <empty>
    EXPECT_TRUE(hasItem(dump, CMD_OPTIONS_REPEAT, "e-"));      // Repeat, off
    EXPECT_TRUE(hasItem(dump, CMD_OPTIONS_TOOL_BAR, "ec"));    // Tool bar, on
    EXPECT_TRUE(hasItem(dump, CMD_OPTIONS_STATUS_BAR, "ec"));  // Status bar, on
    EXPECT_TRUE(hasItem(dump, CMD_FILE_EXIT, "e"));
    EXPECT_TRUE(hasItem(dump, CMD_FILE_GENERATE_AS));
    EXPECT_NE(dump.find("Generate as...|Ctrl+G"), std::string::npos);

    closeNormally(editor);
    EXPECT_EQ(editor.log().find("message "), std::string::npos) << editor.log();
    EXPECT_EQ(FindWindowA("korrinvrd", nullptr), nullptr);
    // The exit writing names the result file (none yet).
    EXPECT_NE(e2e::readFile(editor.settings).find("ResultFile="), std::string::npos);
}

TEST(Frame, AsksAboutTheSettingsOnlyWhenTheyChanged) {
    {
        // Toggling twice changes nothing. While the status bar is off, Page
        // numbers is greyed and unchecked.
        Editor editor;
        ASSERT_TRUE(editor.start(""));
        EXPECT_TRUE(hasItem(editor.menuDump(), CMD_OPTIONS_PAGE_NUMBERS, "ec"));
        editor.command(CMD_OPTIONS_STATUS_BAR);
        EXPECT_TRUE(hasItem(editor.menuDump(), CMD_OPTIONS_PAGE_NUMBERS, "g-"));
        editor.command(CMD_OPTIONS_STATUS_BAR);
        closeNormally(editor);
        EXPECT_EQ(editor.log().find("message 20233"), std::string::npos);
    }
    {
        Editor editor;
        ASSERT_TRUE(editor.start(""));
        editor.command(CMD_OPTIONS_REPEAT);
        editor.post(WM_CLOSE);
        ASSERT_TRUE(editor.waitFor("message 20233 Save settings?"));
        HWND box = editor.findDialog();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(windowText(box), "Korrin(VRD)");
        EXPECT_NE(e2e::dialogText(box).find("Save settings?"), std::string::npos);
        // Cancel keeps the editor running.
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        Sleep(500);
        EXPECT_TRUE(editor.running());
        std::size_t from = editor.log().size();
        editor.post(WM_CLOSE);
        ASSERT_TRUE(editor.waitFor("message 20233", 15000, from));
        box = editor.findDialog();
        ASSERT_NE(box, nullptr);
        PostMessageA(box, WM_COMMAND, IDNO, 0);
        EXPECT_EQ(editor.waitExit(), 0);
    }
}

TEST(Frame, StatusLineHelpForMenuItemsAndPopups) {
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    HWND status = statusBarOf(editor.frame);
    ASSERT_NE(status, nullptr);
    // A text in the status bar before the menu opens: the outside transfer
    // library is not part of this edition.
    std::size_t from = editor.log().size();
    editor.command(CMD_FILE_TRANSFER);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_TRANSFER}, "unavailable"), 10000, from));
    const std::string before = windowText(status);
    EXPECT_EQ(before, "Transfer files to or from the host is not available in this version.");
    SendMessageA(editor.frame, WM_MENUSELECT, MAKEWPARAM(CMD_FILE_NEW, MF_STRING),
                 reinterpret_cast<LPARAM>(editor.frame));
    EXPECT_EQ(windowText(status), "Create a new structure diagram");
    SendMessageA(editor.frame, WM_MENUSELECT, MAKEWPARAM(CMD_TOOL_FIRST + 5, MF_STRING),
                 reinterpret_cast<LPARAM>(editor.frame));
    EXPECT_EQ(windowText(status), "Run this program");
    SendMessageA(editor.frame, WM_MENUSELECT, MAKEWPARAM(0, MF_SEPARATOR),
                 reinterpret_cast<LPARAM>(editor.frame));
    EXPECT_EQ(windowText(status), "");
    // Closing the menu brings back the text from before.
    SendMessageA(editor.frame, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(windowText(status), before);
    closeNormally(editor);
}

TEST(Frame, AcceleratorsSendTheirCommands) {
    Editor editor;
    ASSERT_TRUE(
        editor.start("", "[Settings]\r\nConfigurationFile=" + e2e::examplePath("pascal.cfg") + "\r\n"));
    std::size_t from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL}, 'B'));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_OPTIONS_TOOLBOX}, "done"), 10000, from))
        << editor.log();
    EXPECT_NE(editor.findWindowOfClass("KivToolbox"), nullptr);

    // Cursor keys in the diagram window become navigation commands.
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {}, VK_HOME));
    EXPECT_TRUE(editor.waitFor("navigate 1 250", 10000, from)) << editor.log().substr(from);
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL, VK_SHIFT}, VK_DOWN));
    EXPECT_TRUE(editor.waitFor("navigate 1 274", 10000, from));

    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL}, 'R'));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_OPTIONS_REPEAT}, "done"), 10000, from));
    EXPECT_TRUE(hasItem(editor.menuDump(), CMD_OPTIONS_REPEAT, "ec"));

    // Ctrl+G: "Generate as" asks for the file; cancelling generates nothing.
    EXPECT_TRUE(hasItem(editor.menuDump(), CMD_FILE_GENERATE_AS, "e"));
    from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL}, 'G'));
    HWND dialog = editor.findDialog(10000);
    ASSERT_NE(dialog, nullptr) << editor.log().substr(from);
    EXPECT_EQ(windowText(dialog), "Generate as");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_GENERATE_AS}, "failed"), 10000, from))
        << editor.log().substr(from);

    editor.command(CMD_OPTIONS_REPEAT);  // back to the settings of the start: no question
    editor.post(WM_CLOSE);
    if (HWND box = editor.findDialog(1500)) PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
}

TEST(Frame, FileCommandsOpenSaveAndClose) {
    const std::string work = e2e::copyOfExample("primes.vrd", "korrin-files");
    ASSERT_FALSE(work.empty());
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + work + "\""));
    // The file went into the untitled window: one diagram window titled
    // with its name.
    HWND client = FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr);
    ASSERT_NE(client, nullptr);
    HWND child = FindWindowExA(client, nullptr, "kivchild", nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(FindWindowExA(client, child, "kivchild", nullptr), nullptr);
    std::string title = windowText(child);
    for (char& c : title) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string expected = work;
    for (char& c : expected) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(title.find(expected.substr(expected.find_last_of('\\') + 1)), std::string::npos) << title;
    // The frame's caption names the active diagram.
    std::string caption = windowText(editor.frame);
    for (char& c : caption) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(caption, "korrin(vrd) - " + title) << caption;

    // New opens a second window; Close takes it away again.
    std::size_t from = editor.log().size();
    editor.command(CMD_FILE_NEW);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_NEW}, "done"), 10000, from));
    editor.command(CMD_FILE_CLOSE);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_CLOSE}, "done"), 10000, from));

    // Save writes the diagram back; the previous content is the backup copy.
    const std::string before = e2e::readFile(work);
    from = editor.log().size();
    editor.command(CMD_FILE_SAVE);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_SAVE}, "done"), 10000, from))
        << editor.log().substr(from);
    std::string backup = work;
    backup.insert(backup.find_last_of('.') + 1, "~");
    EXPECT_EQ(e2e::readFile(backup), before);
    closeNormally(editor);
    DeleteFileA(work.c_str());
    DeleteFileA(backup.c_str());
}

TEST(Frame, OpeningAPascalSourceAsksBeforeConverting) {
    const std::string source = e2e::copyOfExample("loops.pas", "korrin-source");
    ASSERT_FALSE(source.empty());
    Editor editor;
    ASSERT_TRUE(
        editor.start("", "[Settings]\r\nConfigurationFile=" + e2e::examplePath("pascal.cfg") + "\r\n"));
    HWND client = FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr);
    ASSERT_NE(client, nullptr);
    for (int answer : {IDCANCEL, IDOK}) {
        std::size_t from = editor.log().size();
        editor.post(WM_COMMAND, CMD_FILE_OPEN, 0);
        HWND dialog = editor.findDialog(10000);
        ASSERT_NE(dialog, nullptr);
        // The Open dialog: type the name and confirm.
        SetDlgItemTextA(dialog, 0x480, source.c_str());
        SetDlgItemTextA(dialog, 0x47c, source.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(editor.waitFor("message 20", 10000, from)) << editor.log().substr(from);
        EXPECT_NE(editor.log().find("will be converted from source", from), std::string::npos)
            << editor.log().substr(from);
        HWND question = nullptr;
        for (int i = 0; i < 100 && !question; ++i) {
            question = FindWindowA("#32770", "Korrin(VRD)");
            if (!question) Sleep(50);
        }
        ASSERT_NE(question, nullptr);
        PostMessageA(question, WM_COMMAND, answer, 0);
        ASSERT_TRUE(editor.waitFor(
            e2e::logLine("command", {CMD_FILE_OPEN}, answer == IDOK ? "done" : "failed"), 15000, from))
            << editor.log().substr(from);
    }
    // The converted diagram is named after the source with the diagram
    // extension and nothing was written yet.
    HWND child = FindWindowExA(client, nullptr, "kivchild", nullptr);
    ASSERT_NE(child, nullptr);
    std::string expected = source.substr(source.find_last_of('\\') + 1);
    expected = expected.substr(0, expected.size() - 4) + ".vrd";
    std::string title = windowText(child);
    for (char& c : title) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : expected) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(title.find(expected), std::string::npos) << title;
    // Closing asks to save the new diagram: No.
    editor.post(WM_CLOSE);
    if (HWND question = editor.findDialog(5000)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
    DeleteFileA(source.c_str());
}

TEST(Frame, StartUpAsksItsQuestionsAboutTheFileToOpen) {
    char examples[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_EXAMPLES", examples, sizeof examples);
    const std::string dir = e2e::windowsPath(examples);
    const std::string settings = "[Settings]\r\nConfigurationFile=" + dir + "\\pascal.cfg\r\n";
    const std::string missing = e2e::tempPath("korrin-missing", ".vrd");
    const std::string source = e2e::tempPath("korrin-start", ".pas");
    const std::string held = e2e::tempPath("korrin-held", ".vrd");
    ASSERT_TRUE(CopyFileA((dir + "\\loops.pas").c_str(), source.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((dir + "\\loops.vrd").c_str(), held.c_str(), FALSE));
    // Another program writes the file: the editor may only read it.
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    struct Case {
        const std::string& file;
        const char* question;
        WORD key;  // the answer, typed into the box
        bool opened;
    } cases[] = {
        {missing, "does not exist.", 'N', false},
        {missing, "does not exist.", 'Y', true},
        {source, "will be converted from source to Korrin(VRD) format.", VK_ESCAPE, false},
        {source, "will be converted from source to Korrin(VRD) format.", VK_RETURN, true},
        {held, "in use. Open file with write protection?", 'N', false},
        {held, "in use. Open file with write protection?", 'Y', true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.question) + (c.opened ? " yes" : " no"));
        Editor editor;
        ASSERT_TRUE(editor.start("\"" + c.file + "\"", settings, false));
        ASSERT_TRUE(editor.waitFor(c.question, 20000)) << editor.log();
        HWND box = editor.findDialog();
        ASSERT_NE(box, nullptr);
        EXPECT_NE(e2e::dialogText(box).find(c.question), std::string::npos) << e2e::dialogText(box);
        ASSERT_TRUE(e2e::sendKeys(box, {}, c.key));
        ASSERT_TRUE(editor.ready()) << editor.log();
        const std::string log = editor.log();
        EXPECT_NE(log.find(e2e::logLine("command", {CMD_FILE_OPEN}, c.opened ? "done" : "failed")),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("Unable to open"), std::string::npos) << log;
        if (c.opened && &c.file == &held) {
            // Opened with write protection: it cannot be saved under its name.
            std::size_t from = log.size();
            editor.command(CMD_FILE_SAVE);
            EXPECT_TRUE(editor.waitFor("opened with write protection", 10000, from))
                << editor.log().substr(from);
            for (int i = 0; i < 2; ++i)
                if (HWND dialog = editor.findDialog(3000)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        editor.post(WM_CLOSE);
        if (HWND question = editor.findDialog(3000)) PostMessageA(question, WM_COMMAND, IDNO, 0);
        EXPECT_EQ(editor.waitExit(), 0);
    }
    CloseHandle(holder);
    for (const std::string* file : {&missing, &source, &held}) DeleteFileA(file->c_str());
}

TEST(Frame, BarButtonsSendTheirCommands) {
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    HWND toolbar = FindWindowExA(editor.frame, nullptr, "ToolbarWindow32", nullptr);
    ASSERT_NE(toolbar, nullptr);

    // Help contents (enabled): its command runs and reports the missing help file.
    RECT rect;
    bool enabled = false;
    ASSERT_TRUE(editor.buttonRect("toolbar", CMD_HELP_CONTENTS, &rect, &enabled));
    EXPECT_TRUE(enabled);
    LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    std::size_t from = editor.log().size();
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(editor.waitFor("message 20041 Unable to load Help Manager.", 10000, from)) << editor.log();
    HWND box = editor.findDialog();
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_HELP_CONTENTS}, ""), 10000, from));

    // A greyed button sends nothing; the text-input buttons hide while no
    // text is edited.
    std::string dump = editor.menuDump();
    EXPECT_NE(dump.find(e2e::logLine("button toolbar", {CMD_TEXT_OK, 0, 0, 0, 0}, "gh")), std::string::npos)
        << dump;
    EXPECT_NE(dump.find(e2e::logLine("button toolbar", {CMD_TEXT_HELP_ON_WORD, 0, 0, 0, 0}, "gh")),
              std::string::npos);
    EXPECT_NE(dump.find(e2e::logLine("button toolbar", {CMD_HELP_ON_TEXT}, "")), std::string::npos);

    // The toolbox: Quit insert mode.
    editor.command(CMD_OPTIONS_TOOLBOX);
    HWND toolbox = editor.findWindowOfClass("KivToolbox");
    ASSERT_NE(toolbox, nullptr);
    HWND bar = FindWindowExA(toolbox, nullptr, "ToolbarWindow32", nullptr);
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(editor.buttonRect("toolbox", CMD_QUIT_INSERT_MODE, &rect, &enabled));
    EXPECT_TRUE(enabled);
    at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    from = editor.log().size();
    PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(bar, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_QUIT_INSERT_MODE}, "done"), 10000, from))
        << editor.log();

    // Closing the toolbox is a change of the settings: answer No.
    editor.post(WM_CLOSE);
    if (HWND question = editor.findDialog(e2e::kMaybeQuestionMs)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
}

TEST(Frame, ContextMenus) {
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    // The empty client area's menu, as the mouse hook would post it.
    std::size_t from = editor.log().size();
    editor.command(CMD_CONTEXT_CLIENT);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("context", {CMD_CONTEXT_CLIENT}), 10000, from));
    std::string log = editor.log().substr(from);
    EXPECT_NE(
        log.find(e2e::logLine("context", {CMD_CONTEXT_CLIENT, CMD_FILE_NEW, CMD_FILE_OPEN, CMD_WINDOW_CASCADE,
                                          CMD_WINDOW_TILE_HORIZONTALLY, CMD_WINDOW_TILE_VERTICALLY,
                                          CMD_WINDOW_ARRANGE_ICONS, CMD_WINDOW_CLOSE_ALL})),
        std::string::npos)
        << log;
    HWND popup = editor.findWindowOfClass("#32768");
    ASSERT_NE(popup, nullptr);
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("context closed", {CMD_CONTEXT_CLIENT}), 10000, from));

    // The tool windows' menu; its mnemonic B chooses Toolbox.
    from = editor.log().size();
    editor.command(CMD_CONTEXT_TOOL_WINDOWS);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("context", {CMD_CONTEXT_TOOL_WINDOWS}), 10000, from));
    popup = editor.findWindowOfClass("#32768");
    ASSERT_NE(popup, nullptr);
    PostMessageA(popup, WM_CHAR, 'b', 0);
    EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_OPTIONS_TOOLBOX}, "done"), 10000, from))
        << editor.log().substr(from);
    EXPECT_NE(editor.findWindowOfClass("KivToolbox"), nullptr);

    // A real right-button press on the diagram window goes through the hook.
    from = editor.log().size();
    HWND client = FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr);
    HWND diagram = FindWindowExA(client, nullptr, "kivchild", nullptr);
    ASSERT_NE(diagram, nullptr);
    RECT r;
    GetWindowRect(diagram, &r);
    SetForegroundWindow(editor.frame);
    ASSERT_TRUE(e2e::rightClick(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("context", {CMD_CONTEXT_DIAGRAM}), 10000, from))
        << editor.log().substr(from);
    EXPECT_NE(editor.log().find("[Enc&lose]", from), std::string::npos);
    EXPECT_NE(editor.log().find("[Clip&board]", from), std::string::npos);
    if (HWND menu = editor.findWindowOfClass("#32768")) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("context closed", {CMD_CONTEXT_DIAGRAM}), 10000, from));

    editor.post(WM_CLOSE);
    if (HWND question = editor.findDialog(e2e::kMaybeQuestionMs)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
}

TEST(Frame, AFileTransferLibraryOfTheWrongVersionGreysItsItems) {
    char library[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_FTL_WRONG", library, sizeof library);
    ASSERT_TRUE(library[0]) << "KORRIN_FTL_WRONG is not set";
    // The editor looks for the library in its own directory.
    std::string dir = e2e::tempPath("korrin-ftl", "");
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    std::string exe = dir + "\\korrin.exe", dll = dir + "\\KORRIN-FTL.DLL";
    ASSERT_TRUE(CopyFileA(e2e::korrinPath().c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(e2e::windowsPath(library).c_str(), dll.c_str(), FALSE));
    {
        Editor editor;
        editor.program = exe;
        ASSERT_TRUE(editor.start("", "", false));
        ASSERT_TRUE(
            editor.waitFor("message 20037 Dynamic Link Library KORRIN-FTL.DLL has a wrong version. "
                           "File transfer not available."));
        HWND box = editor.findDialog();
        ASSERT_NE(box, nullptr);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(editor.ready());
        std::string dump = editor.menuDump();
        EXPECT_TRUE(hasItem(dump, CMD_FILE_TRANSFER, "g")) << dump;
        EXPECT_TRUE(hasItem(dump, CMD_OPTIONS_FILE_TRANSFER, "g"));
        closeNormally(editor);
    }
    DeleteFileA(exe.c_str());
    DeleteFileA(dll.c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST(Frame, ScreenshotForReview) {
    char dir[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_SCREENSHOTS", dir, sizeof dir);
    if (!dir[0]) GTEST_SKIP() << "KORRIN_SCREENSHOTS is not set";
    e2e::drawOwnCaptions();
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    editor.command(CMD_OPTIONS_TOOLBOX);
    HWND toolbox = editor.findWindowOfClass("KivToolbox");
    ASSERT_NE(toolbox, nullptr);
    SendMessageA(editor.frame, WM_MENUSELECT, MAKEWPARAM(CMD_FILE_GENERATE_AS, MF_STRING),
                 reinterpret_cast<LPARAM>(editor.frame));
    Sleep(1000);
    RECT frame, box;
    GetWindowRect(editor.frame, &frame);
    GetWindowRect(toolbox, &box);
    UnionRect(&frame, &frame, &box);
    EXPECT_TRUE(e2e::saveScreenPng(frame, std::string(dir) + "/frame.png"));
    editor.post(WM_CLOSE);
    if (HWND question = editor.findDialog(e2e::kMaybeQuestionMs)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
}
