// The Execute programs under Wine: korrin-re alone running our test tool
// (KORRIN_TEST_TOOL), and the editor running it with Ctrl+1, showing its
// messages in the result window and going from a double-clicked line
// number to the construct of that generated line; a program whose end is a
// file appearing; no request variables left for a later start.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "resources/commands.h"
#include "tests/e2e/e2e_support.h"

using e2e::Editor;

namespace {

std::string fromEnvironment(const char* name) {
    char value[MAX_PATH] = {};
    GetEnvironmentVariableA(name, value, sizeof value);
    return e2e::windowsPath(value);
}

// Runs korrin-re with the request; a message box it shows is read into
// `box` and confirmed. Returns its exit code.
int runKorrinRe(const std::vector<std::pair<const char*, std::string>>& request, std::string* box = nullptr) {
    for (const auto& [name, value] : request) SetEnvironmentVariableA(name, value.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = "\"" + fromEnvironment("KORRIN_RE") + "\"";
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process);
    for (const auto& [name, value] : request) SetEnvironmentVariableA(name, nullptr);
    if (!started) return -2;
    DWORD waited = WAIT_TIMEOUT;
    for (int i = 0; i < 300 && waited == WAIT_TIMEOUT; ++i) {
        waited = WaitForSingleObject(process.hProcess, 50);
        if (HWND found = e2e::findDialogOf(process.dwProcessId)) {
            if (box) *box = e2e::dialogText(found);
            PostMessageA(found, WM_COMMAND, IDOK, 0);
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (waited == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 98);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(KorrinRe, RunsAProgramWithItsStreamsRedirected) {
    const std::string tool = "\"" + fromEnvironment("KORRIN_TEST_TOOL") + "\"";
    const std::string out = e2e::tempPath("re-out", ".txt");
    const std::string in = e2e::tempPath("re-in", ".txt");

    // Echo and exit code; standard input from a file.
    EXPECT_EQ(runKorrinRe({{"KorrinRedirCmdLine", tool + " echo hello  world"}, {"KorrinRedirStdOut", out}}),
              0);
    EXPECT_EQ(e2e::readFile(out), "hello world\r\n");
    ASSERT_TRUE(e2e::writeFile(in, "from a file\r\n"));
    EXPECT_EQ(
        runKorrinRe(
            {{"KorrinRedirCmdLine", tool + " stdin"}, {"KorrinRedirStdIn", in}, {"KorrinRedirStdOut", out}}),
        0);
    EXPECT_EQ(e2e::readFile(out), "from a file\r\n");

    // Both streams into one file (named alike in two spellings): nothing
    // is overwritten, and the exit code comes through.
    std::string lower = out;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(runKorrinRe({{"KorrinRedirCmdLine", tool + " streams 200 7"},
                           {"KorrinRedirStdOut", out},
                           {"KorrinRedirStdErr", lower}}),
              7);
    const std::string both = e2e::readFile(out);
    EXPECT_EQ(countOf(both, "out "), 200);
    EXPECT_EQ(countOf(both, "err "), 200);
    EXPECT_NE(both.find("out 199\r\nerr 199\r\n"), std::string::npos);

    // A program that is not there: the message in the request's language,
    // exit code -1.
    std::string box;
    EXPECT_EQ(runKorrinRe({{"KorrinRedirCmdLine", "Z:\\no\\such\\program.exe -x"},
                           {"KorrinRedirProgName", "Missing"},
                           {"KorrinRedirLang", "44"}},
                          &box),
              -1);
    EXPECT_NE(box.find("Error executing program Missing:"), std::string::npos) << box;
    EXPECT_NE(box.find("Z:\\no\\such\\program.exe -x"), std::string::npos) << box;
    box.clear();
    EXPECT_EQ(runKorrinRe({{"KorrinRedirCmdLine", "Z:\\no\\such\\program.exe"}}, &box), -1);
    EXPECT_NE(box.find("Fehler beim Ausf\xFChren von:"), std::string::npos) << box;
    box.clear();
    EXPECT_EQ(runKorrinRe({{"KorrinRedirLang", "44"}}, &box), -1);
    EXPECT_NE(box.find("No command line specified!"), std::string::npos) << box;
    DeleteFileA(out.c_str());
    DeleteFileA(in.c_str());
}

// A double click of the left button at a screen point.
bool doubleClick(POINT at) {
    SetCursorPos(at.x, at.y);
    Sleep(150);
    INPUT inputs[4] = {};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    }
    return SendInput(4, inputs, sizeof(INPUT)) == 4;
}

std::string windowText(HWND window) {
    const int n = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

TEST(Tools, ResultWindowLeadsBackToTheDiagram) {
    const std::string tool = "\"" + fromEnvironment("KORRIN_TEST_TOOL") + "\"";
    const std::string diagram = e2e::copyOfExample("loops.vrd", "tools");
    ASSERT_FALSE(diagram.empty());
    const std::string dir = diagram.substr(0, diagram.find_last_of('\\'));
    const std::string finish = e2e::tempPath("finish", ".txt");
    const std::string env = e2e::tempPath("env", ".txt");
    const std::string settings =
        "[Settings]\nConfigurationFile=" + e2e::examplePath("pascal.cfg") + "\nSourcePath=" + dir +
        "\\*.pas\nSaveAfterGen=yes\nWindowCoordinates=0,0,700,500\n"
        "Result=no,20,520,620,700\n"
        "[Programs]\nProgram1=Check\nProgram2=Watch\nProgram3=Missing\nProgram4=Env\n"
        "[Program-Check]\nCommandLine=" +
        tool +
        " compile %GenFile%\nSaveFile=yes\n"
        "StdOutRedirection=yes\nStdOutRedirTarget=%TEMP%\nResultFile=%STDOUT%\n"
        "ShowResultFile=yes\n"
        "[Program-Watch]\nCommandLine=" +
        tool +
        " sleep 4500\nProgramTermination=no\n"
        "FileExists=yes\nProgFinishFile=" +
        finish +
        "\nShowResultFile=yes\n"
        "[Program-Missing]\nCommandLine=Z:\\no\\such\\program.exe\n"
        "[Program-Env]\nCommandLine=" +
        tool + " env " + env + "\n";
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + diagram + "\"", settings));
    std::size_t from = editor.log().size();

    // Ctrl+1: generated, run through korrin-re, its messages shown.
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL}, '1'));
    ASSERT_TRUE(editor.waitFor("tool start 0 Check redirected", 20000, from)) << editor.log().substr(from);
    ASSERT_TRUE(editor.waitFor("tool end Check", 20000, from)) << editor.log().substr(from);
    ASSERT_TRUE(editor.waitFor("result window ", 10000, from)) << editor.log().substr(from);
    HWND result = editor.findDialog();
    ASSERT_NE(result, nullptr);
    HWND text = GetDlgItem(result, 71);
    const std::string shown = windowText(text);
    // The generated name takes the configuration's extension in upper case.
    const std::size_t at = shown.find(".PAS(");
    ASSERT_NE(at, std::string::npos) << shown;
    const int line = std::atoi(shown.c_str() + at + 5);
    EXPECT_GT(line, 1);
    EXPECT_NE(shown.find("Error: writeln is not allowed here\r\n"), std::string::npos);
    RECT box;
    GetWindowRect(result, &box);
    e2e::saveScreenPng(box, e2e::screenshotPath("result-window.png"));

    // A double click on the line number selects the construct of that line.
    const LRESULT pos = SendMessageA(text, EM_POSFROMCHAR, at + 6, 0);
    POINT point{static_cast<short>(LOWORD(pos)) + 2, static_cast<short>(HIWORD(pos)) + 4};
    ClientToScreen(text, &point);
    from = editor.log().size();
    ASSERT_TRUE(doubleClick(point));
    EXPECT_TRUE(editor.waitFor("result jump " + std::to_string(line), 5000, from))
        << editor.log().substr(from);
    EXPECT_TRUE(editor.waitFor("select line " + std::to_string(line) + " ", 5000, from))
        << editor.log().substr(from);

    // Ctrl+E closes the window and opens it again.
    from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL}, 'E'));
    EXPECT_TRUE(editor.waitFor("result window closed", 5000, from)) << editor.log().substr(from);
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL}, 'E'));
    EXPECT_TRUE(editor.waitFor("result window ", 5000, editor.log().find("result window closed", from) + 10));

    // The end of a run that is a file appearing: seen within a second.
    from = editor.log().size();
    editor.command(CMD_TOOL_FIRST + 1);
    ASSERT_TRUE(editor.waitFor("tool start 1 Watch", 10000, from)) << editor.log().substr(from);
    Sleep(700);
    ASSERT_TRUE(e2e::writeFile(finish, "done"));
    const DWORD written = GetTickCount();
    ASSERT_TRUE(editor.waitFor("tool end Watch", 3000, from)) << editor.log().substr(from);
    EXPECT_LT(GetTickCount() - written, 1000u);

    // A program that cannot start says so; a later direct start sees no
    // request variables.
    from = editor.log().size();
    editor.command(CMD_TOOL_FIRST + 2);
    ASSERT_TRUE(editor.waitFor("tool failed Missing", 10000, from)) << editor.log().substr(from);
    HWND message = nullptr;
    for (int i = 0; i < 50 && !message; ++i) {
        HWND dialog = editor.findDialog(200);
        if (dialog && dialog != result &&
            e2e::dialogText(dialog).find("Unable to execute") != std::string::npos)
            message = dialog;
    }
    ASSERT_NE(message, nullptr);
    EXPECT_NE(e2e::dialogText(message).find("Unable to execute program Z:\\no\\such\\program.exe."),
              std::string::npos)
        << e2e::dialogText(message);
    PostMessageA(message, WM_COMMAND, IDOK, 0);
    editor.command(CMD_TOOL_FIRST + 3);
    ASSERT_TRUE(editor.waitFor("tool start 3 Env direct", 10000, from)) << editor.log().substr(from);
    std::string seen;
    for (int i = 0; i < 100 && seen.empty(); ++i, Sleep(50)) seen = e2e::readFile(env);
    EXPECT_EQ(seen, "none");

    editor.command(CMD_OPTIONS_RESULT_FILE);
    ASSERT_TRUE(editor.waitFor("result window closed", 5000, from));
    editor.post(WM_CLOSE);
    for (int i = 0; i < 3 && editor.running(); ++i)
        if (HWND question = editor.findDialog(1500)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
    for (const std::string& f : {diagram, finish, env}) DeleteFileA(f.c_str());
}

// The program of the embedded defaults: Debian's Free Pascal compiler,
// started through korrin-re and examples/fpc-wine.sh, compiles the
// generated source of loops.vrd; its end is the finish file the script
// makes.
TEST(Tools, FreePascalOfTheEmbeddedDefaults) {
    if (GetFileAttributesA("Z:\\usr\\bin\\fpc") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no fpc";
    // A folder on drive Z:, where the script finds the files as Unix paths.
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string dir = module;
    dir = dir.substr(0, dir.find_last_of('\\')) + "\\fpc-run";
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(e2e::examplePath("loops.vrd").c_str(), (dir + "\\loops.vrd").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(e2e::examplePath("fpc-wine.sh").c_str(), (dir + "\\fpc-wine.sh").c_str(), FALSE));
    // The program section as examples/korrin.ini has it.
    const std::string ini = e2e::readFile(e2e::examplePath("korrin.ini"));
    const std::size_t programs = ini.find("[Programs]");
    ASSERT_NE(programs, std::string::npos);
    const std::string settings = "[Settings]\nConfigurationFile=" + e2e::examplePath("pascal.cfg") +
                                 "\nSourcePath=" + dir + "\\*.pas\n" + ini.substr(programs);
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + dir + "\\loops.vrd\"", settings));
    const std::size_t from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_CONTROL}, '1'));
    ASSERT_TRUE(editor.waitFor("tool end Free Pascal", 30000, from)) << editor.log().substr(from);
    ASSERT_TRUE(editor.waitFor("result window ", 10000, from)) << editor.log().substr(from);
    HWND result = editor.findDialog();
    ASSERT_NE(result, nullptr);
    const std::string shown = windowText(GetDlgItem(result, 71));
    EXPECT_NE(shown.find("Free Pascal Compiler"), std::string::npos) << shown;
    EXPECT_NE(shown.find("lines compiled"), std::string::npos) << shown;
    EXPECT_NE(shown.find("fpc ended with exit code 0"), std::string::npos) << shown;
    RECT box;
    GetWindowRect(result, &box);
    e2e::saveScreenPng(box, e2e::screenshotPath("result-window-fpc.png"));
    editor.command(CMD_OPTIONS_RESULT_FILE);
    ASSERT_TRUE(editor.waitFor("result window closed", 5000, from));
    editor.post(WM_CLOSE);
    for (int i = 0; i < 3 && editor.running(); ++i)
        if (HWND question = editor.findDialog(1500)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
    for (const char* name : {"loops.vrd", "loops.pas", "loops.done", "fpc-wine.sh", "loops.~vrd"})
        DeleteFileA((dir + "\\" + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace
