// The editor in the Windows shell: "initialize" writes the file types into
// the registry of the Wine prefix, a normal start keeps what the user
// changed, the registered verbs work, and the "Embedding" start ends by
// itself.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
// windows.h first
#include <dde.h>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/view_support.h"
#include "tests/support/shell_entries_expected.h"

using e2e::Editor;

namespace {

// The default value of a key under HKEY_CLASSES_ROOT ("<absent>" when the
// key or the value is not there); `name` for a named value.
std::string classesValue(const std::string& key, const char* name = nullptr) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<absent>";
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    LONG result = RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS ? std::string(buffer) : "<absent>";
}

bool setClassesValue(const std::string& key, const std::string& value) {
    return RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

int runInitialize() {
    Editor editor;
    if (!editor.launch("initialize")) return -1;
    int code = editor.waitExit();
    EXPECT_EQ(e2e::readFile(editor.errors), "");
    EXPECT_EQ(editor.log().find("start "), std::string::npos) << "no frame: " << editor.log();
    return code;
}

// The registered command of a verb with %1 replaced by `file`.
std::string verbCommand(const std::string& verb, const std::string& file) {
    std::string command = classesValue("korrinvrd\\shell\\" + verb + "\\command");
    const std::size_t at = command.find("%1");
    if (at != std::string::npos) command.replace(at, 2, file);
    return command;
}

// The default settings file of the program (in the Windows directory),
// written for one test and put back as it was.
struct DefaultSettings {
    std::string path;
    std::string saved;
    bool existed = false;
    explicit DefaultSettings(const std::string& text) {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, sizeof windows);
        path = std::string(windows) + "\\korrin.INI";
        existed = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (existed) saved = e2e::readFile(path);
        e2e::writeFile(path, text);
    }
    ~DefaultSettings() {
        if (existed)
            e2e::writeFile(path, saved);
        else
            DeleteFileA(path.c_str());
    }
};

// korrin-conn started with `arguments`; its exit code (-1 when it does
// not end). The diagnostics of an editor it starts go to `log`'s file.
int runConnector(Editor& log, const std::string& arguments) {
    std::string conn;
    char value[MAX_PATH] = {};
    if (GetEnvironmentVariableA("KORRIN_CONN", value, sizeof value)) conn = e2e::windowsPath(value);
    if (!log.launchLine("\"" + conn + "\" " + arguments)) return -1;
    return log.waitExit(30000);
}

// Waits until the log holds `text`, whoever writes it.
bool logHolds(const Editor& editor, const std::string& text, DWORD timeoutMs = 15000) {
    const DWORD start = GetTickCount();
    while (editor.log().find(text) == std::string::npos) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    return true;
}

// DDE servers of a made-up application in a thread of the test: each
// answers the initiate; the first answers an execute `busy` times busy and
// then positively (or never, when `silent`).
struct FakeServers {
    static constexpr const char* kApplication = "KorrinFakeServer";
    struct Server {
        HWND window = nullptr;
        std::vector<std::string> executes;
        int terminates = 0;
    };
    Server servers[2];
    int busy = 0;
    bool silent = false;
    std::thread thread;
    DWORD threadId = 0;

    FakeServers(int busyAnswers, bool silentServer) : busy(busyAnswers), silent(silentServer) {
        std::atomic<bool> ready{false};
        thread = std::thread([this, &ready] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = procedure;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "KorrinFakeDdeServer";
            RegisterClassA(&wc);
            for (Server& server : servers) {
                server.window = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                              nullptr, wc.hInstance, nullptr);
                SetWindowLongPtrA(server.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            }
            threadId = GetCurrentThreadId();
            ready = true;
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
            for (Server& server : servers) DestroyWindow(server.window);
        });
        while (!ready) Sleep(10);
    }
    ~FakeServers() {
        PostThreadMessageA(threadId, WM_QUIT, 0, 0);
        thread.join();
    }
    Server& of(HWND window) { return window == servers[0].window ? servers[0] : servers[1]; }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<FakeServers*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        HWND client = reinterpret_cast<HWND>(wParam);
        char name[64] = {};
        switch (message) {
            case WM_DDE_INITIATE:
                if (self && GlobalGetAtomNameA(LOWORD(lParam), name, sizeof name) &&
                    lstrcmpiA(name, kApplication) == 0)
                    SendMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(window),
                                 MAKELPARAM(GlobalAddAtomA(kApplication), GlobalAddAtomA("System")));
                return 0;
            case WM_DDE_EXECUTE: {
                HGLOBAL block = reinterpret_cast<HGLOBAL>(lParam);
                Server& server = self->of(window);
                server.executes.emplace_back(static_cast<const char*>(GlobalLock(block)));
                GlobalUnlock(block);
                if (self->silent) return 0;
                WORD status = self->busy-- > 0 ? 0x4000 : 0x8000;
                PostMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(window),
                             PackDDElParam(WM_DDE_ACK, status, reinterpret_cast<UINT_PTR>(block)));
                return 0;
            }
            case WM_DDE_TERMINATE:
                ++self->of(window).terminates;
                PostMessageA(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window), 0);
                return 0;
            default:
                return DefWindowProcA(window, message, wParam, lParam);
        }
    }
};

}  // namespace

TEST(Shell, InitializeRegistersBothTypesWithTheirVerbs) {
    ASSERT_EQ(runInitialize(), 0);
    const std::string exe = "\"" + e2e::korrinPath() + "\"";
    for (const ExpectedShellEntry& e : expectedShellEntries(exe))
        EXPECT_EQ(classesValue(e.key), e.value) << e.key;
    EXPECT_EQ(classesValue(".vrd\\ShellNew", "NullFile"), "");
    EXPECT_EQ(classesValue(".vq\\ShellNew", "NullFile"), "<absent>");
    char extensions[MAX_PATH] = {};
    GetProfileStringA("Extensions", "vrd", "", extensions, sizeof extensions);
    EXPECT_EQ(std::string(extensions), e2e::korrinPath() + " ^.vrd");
}

TEST(Shell, ANormalStartKeepsTheUsersKeyAndInitializeRestoresIt) {
    ASSERT_EQ(runInitialize(), 0);
    const std::string registered = classesValue("korrinvrd\\shell\\open\\command");
    ASSERT_TRUE(setClassesValue("korrinvrd\\shell\\open\\command", "notepad.exe \"%1\""));
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "korrinvrd\\shell\\export");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "korrinvrd\\shell\\export");
    {
        Editor editor;
        ASSERT_TRUE(editor.start(""));
        EXPECT_NE(editor.log().find("register normal done"), std::string::npos) << editor.log();
        editor.post(WM_CLOSE);
        EXPECT_EQ(editor.waitExit(), 0);
    }
    EXPECT_EQ(classesValue("korrinvrd\\shell\\open\\command"), "notepad.exe \"%1\"");
    EXPECT_EQ(classesValue("korrinvrd\\shell\\export"), "E&xport") << "what is missing comes back";
    ASSERT_EQ(runInitialize(), 0);
    EXPECT_EQ(classesValue("korrinvrd\\shell\\open\\command"), registered);
}

TEST(Shell, TheRegisteredGenerateVerbGeneratesTheSource) {
    ASSERT_EQ(runInitialize(), 0);
    const std::string diagram = e2e::copyOfExample("loops.vrd", "korrin-verb");
    ASSERT_FALSE(diagram.empty());
    const std::string folder = diagram.substr(0, diagram.find_last_of('\\'));
    const std::string source = diagram.substr(0, diagram.size() - 4) + ".pas";
    DefaultSettings settings("[Settings]\r\nConfigurationFile=" + e2e::examplePath("pascal.cfg") +
                             "\r\nSourcePath=" + folder + "\\*.pas\r\nSaveAfterGen=no\r\n");
    Editor editor;
    ASSERT_TRUE(editor.launchLine(verbCommand("generate", diagram)));
    EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors) << editor.log();
    const std::string generated = e2e::readFile(source);
    EXPECT_NE(generated.find("program"), std::string::npos) << generated;
    DeleteFileA(source.c_str());
    DeleteFileA(diagram.c_str());
}

TEST(Shell, TheEmbeddingStartEndsByItselfWithoutAWindow) {
    Editor editor;
    ASSERT_TRUE(editor.start("-Embedding", "", false));
    EXPECT_EQ(editor.waitExit(20000), 0) << editor.log();
    EXPECT_NE(editor.log().find("start interactive embedding"), std::string::npos) << editor.log();
    EXPECT_EQ(editor.log().find("paint segment"), std::string::npos) << "nothing is shown: " << editor.log();

    // The entry points are there, with their fixed results.
    HMODULE module = LoadLibraryExA(e2e::korrinPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(module, nullptr);
    for (const char* name : {"ServerCreate",
                             "ServerCreateFromTemplate",
                             "ServerEdit",
                             "ServerExecute",
                             "ServerExit",
                             "ServerOpen",
                             "ServerRelease",
                             "DocClose",
                             "DocExecute",
                             "DocGetObject",
                             "DocRelease",
                             "DocSave",
                             "DocSetColorScheme",
                             "DocSetDocDimensions",
                             "DocSetHostNames",
                             "ObjDoVerb",
                             "ObjEnumFormats",
                             "ObjGetData",
                             "ObjQueryProtocol",
                             "ObjRelease",
                             "ObjSetBounds",
                             "ObjSetColorScheme",
                             "ObjSetData",
                             "ObjSetTargetDevice",
                             "ObjShow"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    using Entry = long(__cdecl*)();
    auto create = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "ServerCreate")));
    auto release = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "ServerRelease")));
    ASSERT_TRUE(create && release);
    EXPECT_EQ(create(), 1) << "an embedded object is refused";
    EXPECT_EQ(release(), 0);
    FreeLibrary(module);
}

TEST(Shell, TheConnectorOpensADiagramAtALineInTheRunningEditor) {
    ASSERT_EQ(runInitialize(), 0);
    const std::string diagram = e2e::tempPath("korrin conn lines", ".vrd");
    ASSERT_TRUE(e2e::writeNumberedDiagram(diagram));
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    Editor conn;
    // The type found through the extension; a name with blanks, quoted.
    EXPECT_EQ(runConnector(conn, "* \"" + diagram + "\" 12"), 0);
    EXPECT_TRUE(editor.waitFor("dde execute ok [open(\"" + diagram + "\")][line(12)]")) << editor.log();
    EXPECT_TRUE(editor.waitFor("show segment 4 select line 12")) << editor.log();
    EXPECT_TRUE(editor.waitFor("dde terminate")) << editor.log();
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);

    // A type the registry does not know: the request fails.
    EXPECT_EQ(runConnector(conn, "korrin-no-such-type \"" + diagram + "\" 12"), 1);
    DeleteFileA(diagram.c_str());
}

TEST(Shell, WithoutARunningEditorTheConnectorStartsOneAtTheLine) {
    ASSERT_EQ(runInitialize(), 0);
    ASSERT_EQ(FindWindowA("korrinvrd", nullptr), nullptr) << "no editor runs";
    const std::string diagram = e2e::tempPath("korrin-conn-start", ".vrd");
    ASSERT_TRUE(e2e::writeNumberedDiagram(diagram));
    Editor conn;
    EXPECT_EQ(runConnector(conn, "korrinvrd \"" + diagram + "\" 12"), 0);
    EXPECT_TRUE(logHolds(conn, "command line \"" + diagram + "\" /L=12\r\n")) << conn.log();
    EXPECT_TRUE(logHolds(conn, "show segment 4 select line 12")) << conn.log();
    // The editor it started is closed again.
    HWND frame = nullptr;
    for (int i = 0; i < 100 && !(frame = FindWindowA("korrinvrd", nullptr)); ++i) Sleep(100);
    ASSERT_NE(frame, nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(frame, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process, 15000), WAIT_OBJECT_0);
    CloseHandle(process);
    DeleteFileA(diagram.c_str());
}

// A busy server is asked again a bounded number of times, a silent one
// does not hang the connector, a second server's conversation is ended,
// and a long name reaches the server whole.
TEST(Shell, TheConnectorCopesWithBusySilentAndExtraServers) {
    ASSERT_TRUE(setClassesValue("korrintest\\shell\\open\\ddeexec\\application", FakeServers::kApplication));
    const std::string file = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'e') + ".vrd";
    const std::string expected = "[open(\"" + file + "\")][line(4)]";
    struct Case {
        int busy;
        bool silent;
        int exitCode;
        std::size_t executes;
    };
    for (const Case& c : {Case{2, false, 0, 3}, Case{100, false, 1, 6}, Case{0, true, 1, 1}}) {
        FakeServers servers(c.busy, c.silent);
        Editor conn;
        const DWORD start = GetTickCount();
        EXPECT_EQ(runConnector(conn, "korrintest \"" + file + "\" 4"), c.exitCode) << c.busy;
        EXPECT_LT(GetTickCount() - start, 15000u);
        Sleep(200);
        // The server that answered first is asked; the other is let go.
        const bool firstAsked = !servers.servers[0].executes.empty();
        const FakeServers::Server& asked = servers.servers[firstAsked ? 0 : 1];
        const FakeServers::Server& other = servers.servers[firstAsked ? 1 : 0];
        ASSERT_EQ(asked.executes.size(), c.executes) << c.busy;
        EXPECT_EQ(asked.executes[0], expected);
        EXPECT_EQ(asked.terminates, 1);
        EXPECT_TRUE(other.executes.empty());
        EXPECT_EQ(other.terminates, 1);
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "korrintest");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "korrintest");
}
