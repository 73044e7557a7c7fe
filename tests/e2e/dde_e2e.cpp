// The editor's DDE open service, driven by a DDE client of our own.
#include <gtest/gtest.h>

#include <dde.h>

#include <cstring>
#include <string>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/view_support.h"

using e2e::Editor;

namespace {

struct Client {
    HWND window = nullptr;
    HWND server = nullptr;
    bool initiating = false;
    bool acknowledged = false;
    WORD status = 0;
    bool terminated = false;
};
Client g_client;

LRESULT CALLBACK ClientWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DDE_ACK:
            if (g_client.initiating) {
                g_client.server = reinterpret_cast<HWND>(wParam);
                GlobalDeleteAtom(LOWORD(lParam));
                GlobalDeleteAtom(HIWORD(lParam));
            } else {
                UINT_PTR status = 0, commands = 0;
                UnpackDDElParam(WM_DDE_ACK, lParam, &status, &commands);
                FreeDDElParam(WM_DDE_ACK, lParam);
                if (commands) GlobalFree(reinterpret_cast<HGLOBAL>(commands));
                g_client.status = static_cast<WORD>(status);
                g_client.acknowledged = true;
            }
            return 0;
        case WM_DDE_TERMINATE:
            g_client.terminated = true;
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void pumpUntil(const bool& flag, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    MSG msg;
    while (!flag && GetTickCount() - start < timeoutMs) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!flag) Sleep(20);
    }
}

HWND initiate(HWND frame, const char* application, const char* topic) {
    ATOM a = GlobalAddAtomA(application);
    ATOM t = GlobalAddAtomA(topic);
    g_client.server = nullptr;
    g_client.initiating = true;
    SendMessageA(frame, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(g_client.window), MAKELPARAM(a, t));
    g_client.initiating = false;
    GlobalDeleteAtom(a);
    GlobalDeleteAtom(t);
    return g_client.server;
}

// The status of the acknowledgement, or -1 without one.
int execute(HWND server, const std::string& command) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, command.size() + 1);
    char* text = static_cast<char*>(GlobalLock(block));
    std::memcpy(text, command.c_str(), command.size() + 1);
    GlobalUnlock(block);
    g_client.acknowledged = false;
    if (!PostMessageA(server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(g_client.window),
                      reinterpret_cast<LPARAM>(block))) {
        GlobalFree(block);
        return -1;
    }
    pumpUntil(g_client.acknowledged);
    return g_client.acknowledged ? g_client.status : -1;
}

struct DdeTest : ::testing::Test {
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ClientWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KorrinDdeTestClient";
        RegisterClassA(&wc);
        g_client = Client{};
        g_client.window = CreateWindowA("KorrinDdeTestClient", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        wc.hInstance, nullptr);
        ASSERT_NE(g_client.window, nullptr);
    }
    void TearDown() override { DestroyWindow(g_client.window); }
};

}  // namespace

TEST_F(DdeTest, OpenWithLineIsAcknowledgedPositively) {
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    EXPECT_EQ(initiate(editor.frame, "korrin", "Other"), nullptr);
    EXPECT_EQ(initiate(editor.frame, "other", "System"), nullptr);
    HWND server = initiate(editor.frame, "KORRIN", "System");
    ASSERT_EQ(server, editor.frame);

    // A diagram that exists: opened into the empty untitled window.
    const std::string diagram = e2e::copyOfExample("loops.vrd", "korrin-dde");
    ASSERT_FALSE(diagram.empty());
    std::size_t from = editor.log().size();
    const std::string open = "[open(\"" + diagram + "\")][line(3)]";
    int status = execute(server, open);
    EXPECT_EQ(status, 0x8000);
    EXPECT_TRUE(editor.waitFor("dde execute ok " + open, 5000, from)) << editor.log();
    EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_OPEN}, "done"), 5000, from))
        << editor.log().substr(from);
    HWND client = FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr);
    HWND child = FindWindowExA(client, nullptr, "kivchild", nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(FindWindowExA(client, child, "kivchild", nullptr), nullptr) << "into the untitled window";

    // An unparsable command is acknowledged negatively.
    status = execute(server, "[open(\"C:\\a.vrd\"]");
    EXPECT_EQ(status, 0);
    status = execute(server, "[frobnicate(1)]");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(execute(server, "[NOP]"), 0x8000);

    // While the frame is disabled (a modal dialog) the answer is busy.
    editor.command(CMD_HELP_ABOUT);
    HWND about = editor.findDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(execute(server, "[open(\"C:\\b.vrd\")]"), 0x4000);
    PostMessageA(about, WM_COMMAND, IDOK, 0);

    g_client.terminated = false;
    PostMessageA(server, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(g_client.window), 0);
    pumpUntil(g_client.terminated);
    EXPECT_TRUE(g_client.terminated);

    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
    DeleteFileA(diagram.c_str());
}

// [line(n)] selects the construct of line n in a running editor, in the
// segment that holds it.
TEST_F(DdeTest, LineSelectsTheConstructOfTheLine) {
    const std::string diagram = e2e::tempPath("korrin-dde-lines", ".vrd");
    ASSERT_TRUE(e2e::writeNumberedDiagram(diagram));
    Editor editor;
    ASSERT_TRUE(editor.start(""));
    HWND server = initiate(editor.frame, "korrin", "System");
    ASSERT_EQ(server, editor.frame);
    const std::size_t from = editor.log().size();
    EXPECT_EQ(execute(server, "[open(\"" + diagram + "\")][line(12)]"), 0x8000);
    EXPECT_TRUE(editor.waitFor("show segment 4 select line 12", 5000, from)) << editor.log().substr(from);
    PostMessageA(server, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(g_client.window), 0);
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
    DeleteFileA(diagram.c_str());
}
