// An add-in of our own drives the editor: it starts it with addin=<its
// window>, receives the notices, sends requests with a reply address in its
// own memory, and goes away. Its window runs in a thread of its own so that
// the editor's notices are taken at once while the test waits.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "app/addin_link.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/view_support.h"

using e2e::Editor;

namespace {

struct AddIn {
    HWND window = nullptr;
    DWORD threadId = 0;
    std::thread thread;
    std::mutex mutex;
    std::vector<AddInMessage> notices;
    std::vector<std::uint64_t> senders;

    AddIn() {
        std::atomic<bool> ready{false};
        thread = std::thread([this, &ready] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = procedure;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "KorrinTestAddIn";
            RegisterClassA(&wc);
            window = CreateWindowA("KorrinTestAddIn", "test add-in", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                   nullptr, wc.hInstance, nullptr);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            threadId = GetCurrentThreadId();
            ready = true;
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        });
        while (!ready) Sleep(10);
    }
    ~AddIn() { close(); }
    // The add-in's window goes away (its thread ends).
    void close() {
        if (!thread.joinable()) return;
        PostMessageA(window, WM_CLOSE, 0, 0);
        thread.join();
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<AddIn*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            const AddInLayoutInfo& l = addInLayoutInfo(kNativeAddInLayout);
            const auto* bytes = static_cast<const std::uint8_t*>(data->lpData);
            AddInMessage m;
            if (data->cbData >= l.minimum) {
                std::memcpy(&m.window, bytes + l.window, l.handleSize);
                std::memcpy(&m.processId, bytes + l.processId, 4);
                std::memcpy(&m.kind, bytes + l.kind, 4);
                for (int i = 0; i < 4; ++i)
                    std::memcpy(&m.params[i], bytes + l.params + i * l.paramSize, l.paramSize);
                std::uint32_t length = 0;
                std::memcpy(&length, bytes + l.payloadLength, 4);
                if (length && l.payload + length <= data->cbData)
                    m.payload.assign(reinterpret_cast<const char*>(bytes + l.payload), length - 1);
            }
            std::lock_guard<std::mutex> lock(self->mutex);
            self->notices.push_back(m);
            self->senders.push_back(static_cast<std::uint64_t>(wParam));
            return TRUE;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    // The first notice of `kind` (with command `command` for kind 5), waited for.
    // With a `source`, a kind 5 notice from that source.
    bool waitNotice(std::uint32_t kind, AddInMessage* out = nullptr, std::uint64_t command = 0,
                    DWORD timeoutMs = 10000, std::uint64_t source = 0) {
        const DWORD start = GetTickCount();
        do {
            {
                std::lock_guard<std::mutex> lock(mutex);
                for (const AddInMessage& m : notices)
                    if (m.kind == kind && (!command || m.params[2] == command) &&
                        (!source || m.params[0] == source)) {
                        if (out) *out = m;
                        return true;
                    }
            }
            Sleep(50);
        } while (GetTickCount() - start < timeoutMs);
        return false;
    }
    std::size_t count(std::uint32_t kind) {
        std::lock_guard<std::mutex> lock(mutex);
        std::size_t n = 0;
        for (const AddInMessage& m : notices) n += m.kind == kind;
        return n;
    }

    // A request to the editor's frame; the reply (or `kNoReply`).
    static constexpr std::int32_t kNoReply = 0x5A5A5A5A;
    std::int32_t request(HWND frame, AddInMessage m,
                         const std::function<void(std::vector<std::uint8_t>&)>& spoil = {},
                         HWND from = nullptr) {
        std::int32_t result = kNoReply;
        m.window = reinterpret_cast<std::uintptr_t>(window);
        m.processId = GetCurrentProcessId();
        m.threadId = threadId;
        m.reply = reinterpret_cast<std::uintptr_t>(&result);
        std::vector<std::uint8_t> bytes = encodeAddInRecord(kNativeAddInLayout, m);
        if (spoil) spoil(bytes);
        COPYDATASTRUCT data{0, static_cast<DWORD>(bytes.size()), bytes.data()};
        // A request that put up a box would hold the add-in: the test fails instead.
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(frame, WM_COPYDATA, reinterpret_cast<WPARAM>(from ? from : window),
                            reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 20000, &answer);
        return result;
    }
};

AddInMessage kind(std::uint32_t k, std::uint64_t p1 = 0, std::uint64_t p3 = 0) {
    AddInMessage m;
    m.kind = k;
    m.params[0] = p1;
    m.params[2] = p3;
    return m;
}

// The add-in's commands: two with images of the tool bar's own, one with
// an image of a module (the editor's own program), one whose module does
// not exist.
constexpr unsigned kCheck = CMD_ADDIN_FIRST, kSecond = CMD_ADDIN_FIRST + 1,
                   kModuleImage = CMD_ADDIN_FIRST + 2, kNoModule = CMD_ADDIN_FIRST + 3,
                   kNoImage = CMD_ADDIN_FIRST + 4;

std::string settingsWithAddIn(const std::string& sourceDir) {
    return "[Settings]\r\nConfigurationFile=" + e2e::examplePath("pascal.cfg") +
           "\r\nSourcePath=" + sourceDir +
           "\\*.pas\r\nSaveAfterGen=no\r\n"
           "[AddIn]\r\nAddInMenu=\"Test &Tools\"\r\n"
           "AddInCmd1=\"&Check\\tCtrl+F5\"," +
           std::to_string(kCheck) +
           ",\"Ctrl+F5\",1,\"Checks the diagram\",\"\",0,\"\",#\r\nAddInCmd2=\"&Second\"," +
           std::to_string(kSecond) + ",,2,\"Second command\",\"\",0,\"\",#\r\nAddInCmd3=\"Placeholder id\"," +
           std::to_string(CMD_ADDIN_EMPTY) + ",,1,\"\",\"\",0,\"\",#\r\nAddInCmd4=\"&Module image\"," +
           std::to_string(kModuleImage) + ",,\"" + e2e::korrinPath() + "|#" + std::to_string(IDB_TOOLBAR) +
           "\",\"\",\"\",0,\"\",#\r\nAddInCmd5=\"&No module\"," + std::to_string(kNoModule) +
           ",,\"no-such-module.dll|1\",\"\",\"\",0,\"\",#\r\nAddInCmd6=\"No &image\"," +
           std::to_string(kNoImage) + ",,\"" + e2e::korrinPath() +
           "|#59999\",\"\",\"\",0,\"\",#\r\nMouseCmd1=\"Left\"," + std::to_string(kCheck) +
           "\r\nMouseCmd2=\"Ctrl+Left\"," + std::to_string(kSecond) + "\r\nMouseCmd3=\"Shift+Right\"," +
           std::to_string(kCheck) + "\r\nMouseCmd4=\"Ctrl+Shift+Middle\"," + std::to_string(kNoModule) +
           "\r\nMouseCmd5=\"Ctrl+Double Left\"," + std::to_string(kModuleImage) +
           "\r\nSpecialLines=Checked lines\r\n";
}

// Request 0x80000005 for `path`: the lines after the name's zero.
AddInMessage specialLines(const std::string& path, const std::vector<std::uint32_t>& lines) {
    AddInMessage m = kind(kAddInSpecialLines, lines.size());
    m.payload = path + '\0';
    for (std::uint32_t line : lines)
        for (int i = 0; i < 4; ++i) m.payload += static_cast<char>(line >> (8 * i));
    m.hasPayload = true;
    return m;
}

// The open numbered diagram: line 10 ("g") marked is painted in the special
// lines' colour, where the layout puts it and nowhere else; cleared, it
// is painted as text again.
void checkSpecialLines(Editor& editor, AddIn& addIn, const std::string& numbered, RECT& box) {
    const std::string copy = e2e::tempPath("korrin-addin-layout", ".vrd");
    ASSERT_TRUE(CopyFileA(numbered.c_str(), copy.c_str(), FALSE));
    COLORREF special = 0, text = 0;
    {
        e2e::TestView view(copy);
        ASSERT_TRUE(view.ok() && view.level(1));
        for (const CanvasCall& c : view.paint(view.level(1)).only(CanvasCall::Text))
            if (c.text == "g")
                box = RECT{c.at.left, c.at.top, c.at.left + view.textWidth(c.text),
                           c.at.top + view.context().vm().font.height};
        special = view.display().palette[kColourSpecialLines];
        text = view.display().palette[kColourText];
    }
    ASSERT_GT(box.right, box.left);
    HWND child = FindWindowExA(FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr), nullptr,
                               "kivchild", nullptr);
    ASSERT_NE(child, nullptr);
    SendMessageA(GetParent(child), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(child), 0);
    SetForegroundWindow(editor.frame);
    // The pixels of the special colour inside the box and outside it.
    auto paintedSpecial = [&](int* inside, int* outside, bool* ink) {
        const std::size_t from = editor.log().size();
        InvalidateRect(child, nullptr, TRUE);
        ASSERT_TRUE(editor.waitFor("paint segment", 10000, from));
        Sleep(300);
        RECT client;
        GetClientRect(child, &client);
        MapWindowPoints(child, nullptr, reinterpret_cast<POINT*>(&client), 2);
        e2e::Screenshot shot;
        ASSERT_TRUE(e2e::captureScreen(client, shot));
        shot.savePng(e2e::screenshotPath("addin-special-lines.png"));
        *inside = *outside = 0;
        *ink = false;
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x) {
                const bool in = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                if (shot.at(x, y) == special) ++(in ? *inside : *outside);
                *ink = *ink || (in && shot.at(x, y) == text);
            }
    };
    int inside = 0, outside = 0;
    bool ink = false;
    EXPECT_EQ(addIn.request(editor.frame, specialLines(numbered, {10, 99})), 1) << editor.log();
    paintedSpecial(&inside, &outside, &ink);
    EXPECT_GT(inside, 0) << "line 10 marked";
    EXPECT_EQ(outside, 0);
    EXPECT_FALSE(ink);
    // A picture shows the diagram without the marks.
    const std::string svg = e2e::tempPath("korrin-addin-picture", ".svg");
    ASSERT_TRUE(e2e::exportPicture(editor, svg)) << editor.log();
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", GetRValue(special), GetGValue(special),
                  GetBValue(special));
    const std::string picture = e2e::readFile(svg);
    EXPECT_NE(picture.find(">g<"), std::string::npos) << picture;
    EXPECT_EQ(picture.find(hex), std::string::npos) << picture;
    DeleteFileA(svg.c_str());
    EXPECT_EQ(addIn.request(editor.frame, specialLines(numbered, {})), 1) << editor.log();
    paintedSpecial(&inside, &outside, &ink);
    EXPECT_EQ(inside + outside, 0) << "cleared";
    EXPECT_TRUE(ink);
    EXPECT_EQ(addIn.request(editor.frame, specialLines(copy, {10})), 0) << "not open";
    DeleteFileA(copy.c_str());
}

}  // namespace

TEST(AddIn, NoticesRequestsAndTheMenu) {
    AddIn addIn;
    const std::string diagram = e2e::copyOfExample("loops.vrd", "korrin-addin");
    ASSERT_FALSE(diagram.empty());
    const std::string folder = diagram.substr(0, diagram.find_last_of('\\'));
    Editor editor;
    ASSERT_TRUE(editor.start("-addin=" + std::to_string(reinterpret_cast<std::uintptr_t>(addIn.window)),
                             settingsWithAddIn(folder)));

    // Notice 1 from the frame.
    AddInMessage started;
    ASSERT_TRUE(addIn.waitNotice(kAddInStarted, &started)) << editor.log();
    EXPECT_EQ(started.window, reinterpret_cast<std::uintptr_t>(editor.frame));
    EXPECT_EQ(started.processId, editor.process.dwProcessId);

    // The menu: the add-in's title and commands; the entry with the
    // placeholder's id is skipped, and the placeholder is gone.
    std::string dump = editor.menuDump();
    EXPECT_NE(dump.find("popup /Test &Tools"), std::string::npos) << dump;
    EXPECT_NE(dump.find(e2e::logLine("item", {kCheck}, "e- &Check|Ctrl+F5")), std::string::npos) << dump;
    EXPECT_NE(dump.find(e2e::logLine("item", {kSecond}, "e- &Second")), std::string::npos) << dump;
    EXPECT_EQ(dump.find(e2e::logLine("item", {CMD_ADDIN_EMPTY})), std::string::npos) << dump;
    EXPECT_NE(editor.log().find("addin skipped MouseCmd1"), std::string::npos) << "a click without modifier";

    // The Layout dialog lists the marked lines' colour under the add-in's name.
    editor.command(CMD_FILE_LAYOUT);
    HWND layout = editor.findDialog();
    ASSERT_NE(layout, nullptr);
    HWND colours = GetDlgItem(layout, IDC_LAYOUT_COLOUR);
    std::string names;
    for (LRESULT i = 0, n = SendMessageW(colours, CB_GETCOUNT, 0, 0); i < n; ++i) {
        wchar_t wide[128] = {};
        char name[128] = {};
        if (SendMessageW(colours, CB_GETLBTEXTLEN, i, 0) < 128)
            SendMessageW(colours, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr);
        names += std::string(name) + "|";
    }
    EXPECT_NE(names.find("|Checked lines|"), std::string::npos) << names;
    PostMessageA(layout, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 50 && IsWindow(layout); ++i) Sleep(100);

    // The menu command and its function key: notice 5 from menu and key.
    editor.command(kSecond);
    AddInMessage chosen;
    ASSERT_TRUE(addIn.waitNotice(kAddInCommand, &chosen, kSecond)) << editor.log();
    EXPECT_EQ(chosen.params[0], kAddInFromMenu);
    HWND child = FindWindowExA(FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr), nullptr,
                               "kivchild", nullptr);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(e2e::sendKeys(child, {VK_CONTROL}, VK_F5));
    ASSERT_TRUE(addIn.waitNotice(kAddInCommand, &chosen, kCheck)) << editor.log();
    EXPECT_EQ(chosen.params[0], kAddInFromKey);

    // The tool bar: buttons after the bar's own, none for the missing
    // module nor for an image its module does not hold (both stay in the
    // menu); a click on one sends notice 5 from a control.
    RECT button{};
    EXPECT_TRUE(editor.buttonRect("toolbar", kCheck, &button)) << editor.menuDump();
    EXPECT_TRUE(editor.buttonRect("toolbar", kModuleImage, &button)) << editor.menuDump();
    for (const auto& [id, item] :
         {std::pair{kNoModule, "e- &No module"}, std::pair{kNoImage, "e- No &image"}}) {
        EXPECT_FALSE(editor.buttonRect("toolbar", id, &button)) << item;
        EXPECT_NE(editor.menuDump().find(e2e::logLine("item", {id}, item)), std::string::npos) << item;
    }
    ASSERT_TRUE(editor.buttonRect("toolbar", kSecond, &button)) << editor.menuDump();
    HWND toolbar = FindWindowExA(editor.frame, nullptr, "ToolbarWindow32", nullptr);
    POINT middle{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    ClientToScreen(toolbar, &middle);
    SetForegroundWindow(editor.frame);
    Sleep(200);
    ASSERT_TRUE(e2e::leftClick(middle));
    EXPECT_TRUE(addIn.waitNotice(kAddInCommand, nullptr, kSecond, 5000, kAddInFromControl)) << editor.log();

    // Greyed by request: the menu and the button show it, the command sends nothing.
    EXPECT_EQ(addIn.request(editor.frame, kind(kAddInEnableCommand, MF_GRAYED, kCheck)), MF_ENABLED);
    bool enabled = true;
    EXPECT_TRUE(editor.buttonRect("toolbar", kCheck, &button, &enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(addIn.request(editor.frame, kind(kAddInEnableCommand, MF_GRAYED, CMD_TOOL_FIRST)), -1);
    dump = editor.menuDump();
    EXPECT_NE(dump.find(e2e::logLine("item", {kCheck}, "g- &Check|Ctrl+F5")), std::string::npos) << dump;
    const std::size_t commandsBefore = addIn.count(kAddInCommand);
    editor.command(kCheck);
    EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {kCheck}, "failed"))) << editor.log();
    EXPECT_EQ(addIn.count(kAddInCommand), commandsBefore);

    // Malformed requests: no reply, nothing changes (the second command stays enabled).
    const AddInLayoutInfo& l = addInLayoutInfo(kNativeAddInLayout);
    const AddInMessage disable = kind(kAddInEnableCommand, MF_GRAYED, kSecond);
    const std::size_t refusedBefore = editor.log().size();
    EXPECT_EQ(addIn.request(editor.frame, disable, [](std::vector<std::uint8_t>& b) { b[3] = 'x'; }),
              AddIn::kNoReply);
    EXPECT_EQ(addIn.request(editor.frame, disable,
                            [&](std::vector<std::uint8_t>& b) { b[l.payloadLength] = 0xFF; }),
              AddIn::kNoReply);
    EXPECT_EQ(
        addIn.request(editor.frame, disable, [&](std::vector<std::uint8_t>& b) { b.resize(l.minimum - 1); }),
        AddIn::kNoReply);
    EXPECT_EQ(addIn.request(editor.frame, disable, {}, editor.frame), AddIn::kNoReply)
        << "not from the add-in";
    EXPECT_TRUE(editor.waitFor("addin refused request", 5000, refusedBefore)) << editor.log();
    dump = editor.menuDump();
    EXPECT_NE(dump.find(e2e::logLine("item", {kSecond}, "e- &Second")), std::string::npos) << dump;

    // Lines: go to one, the selected construct's, related ones.
    const std::string numbered = e2e::tempPath("korrin-addin-lines", ".vrd");
    ASSERT_TRUE(e2e::writeNumberedDiagram(numbered));
    AddInMessage openNumbered = kind(kAddInOpen);
    openNumbered.payload = numbered;
    openNumbered.hasPayload = true;
    ASSERT_EQ(addIn.request(editor.frame, openNumbered), 1) << editor.log();
    RECT g{};
    checkSpecialLines(editor, addIn, numbered, g);
    ASSERT_FALSE(HasFatalFailure());
    // A Ctrl+click on "g": it is selected as by a plain click, and the
    // add-in's mouse command goes to the add-in instead. (Under Wine the
    // Ctrl of SendInput does not reach the mouse messages: the click is
    // posted with MK_CONTROL at the point the layout gives.)
    child = FindWindowExA(FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr), nullptr, "kivchild",
                          nullptr);
    const LPARAM at = MAKELPARAM((g.left + g.right) / 2, (g.top + g.bottom) / 2);
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, at);
    PostMessageA(child, WM_LBUTTONUP, MK_CONTROL, at);
    EXPECT_TRUE(addIn.waitNotice(kAddInCommand, nullptr, kSecond, 5000, kAddInFromMouse)) << editor.log();
    // The other buttons and a double click, each to its own command: one
    // notice per click, none for a command the add-in greyed (kCheck), and
    // the Ctrl+click's command is not sent again.
    struct Click {
        UINT down, up;
        WPARAM keys;
        unsigned command;
        bool sent;
    };
    const Click clicks[] = {
        {WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON | MK_SHIFT, kCheck, false},
        {WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON | MK_SHIFT | MK_CONTROL, kNoModule, true},
        {WM_LBUTTONDBLCLK, WM_LBUTTONUP, MK_LBUTTON | MK_CONTROL, kModuleImage, true},
    };
    for (const Click& c : clicks) {
        const std::size_t before = addIn.count(kAddInCommand);
        PostMessageA(child, c.down, c.keys, at);
        PostMessageA(child, c.up, c.keys & (MK_SHIFT | MK_CONTROL), at);
        EXPECT_EQ(addIn.waitNotice(kAddInCommand, nullptr, c.command, c.sent ? 5000 : 800, kAddInFromMouse),
                  c.sent)
            << c.down << " " << editor.log();
        Sleep(300);
        EXPECT_EQ(addIn.count(kAddInCommand), before + (c.sent ? 1 : 0)) << c.down;
    }
    EXPECT_EQ(addIn.request(editor.frame, kind(kAddInSelectedLine)), 10);
    Sleep(800);  // the position notices of the opening are in
    const std::size_t moves = addIn.count(kAddInPositionChanged);
    EXPECT_EQ(addIn.request(editor.frame, kind(kAddInGoToLine, 0, 12)), 1) << editor.log();
    for (int i = 0; i < 30 && addIn.count(kAddInPositionChanged) == moves; ++i) Sleep(100);
    EXPECT_GT(addIn.count(kAddInPositionChanged), moves) << "the selection moved";
    EXPECT_EQ(addIn.request(editor.frame, kind(kAddInSelectedLine)), 12);
    // The selected construct's text; a small buffer gets no more than it holds.
    char text[16];
    std::int32_t positions[2] = {-1, -1};
    for (std::uint64_t size : {8u, 1u}) {
        std::memset(text, '#', sizeof text);
        AddInMessage copy = kind(kAddInCopySelection, size);
        copy.params[1] = sizeof positions;
        copy.params[2] = reinterpret_cast<std::uintptr_t>(text);
        copy.params[3] = reinterpret_cast<std::uintptr_t>(positions);
        EXPECT_EQ(addIn.request(editor.frame, copy), size == 8 ? 1 : 0);
        EXPECT_EQ(std::string(text), size == 8 ? "i" : "");
        EXPECT_EQ(text[size], '#') << "nothing past the buffer";
        EXPECT_EQ(positions[1], size == 8 ? 1 : 0);
    }
    struct Relation {
        unsigned relation;
        std::uint64_t line;
        std::int32_t related;
    };
    const Relation relations[] = {
        {kRelationSelf, 5, 5},     {kRelationEnclosing, 5, 4}, {kRelationPrevious, 6, 5},
        {kRelationNext, 5, 6},     {kRelationFirst, 6, 5},     {kRelationLast, 3, 8},
        {kRelationNextLine, 6, 8}, {kRelationNext, 12, 0},     {kRelationPrevious, 3, 0},
        {kRelationSelf, 7, 0},     {kRelationEnclosing, 3, 2},
    };
    for (const Relation& r : relations)
        EXPECT_EQ(addIn.request(editor.frame, kind(kAddInRelatedLine, r.relation, r.line)), r.related)
            << r.relation << " of " << r.line;
    AddInMessage closeNumbered = kind(kAddInCloseDiagram);
    closeNumbered.payload = numbered;
    closeNumbered.hasPayload = true;
    EXPECT_EQ(addIn.request(editor.frame, closeNumbered), 1) << editor.log();
    DeleteFileA(numbered.c_str());

    // Open a diagram, close it, open it again; the menu's place.
    AddInMessage open = kind(kAddInOpen);
    open.payload = diagram;
    open.hasPayload = true;
    EXPECT_EQ(addIn.request(editor.frame, open), 1) << editor.log();
    AddInMessage closeDiagram = kind(kAddInCloseDiagram);
    closeDiagram.payload = diagram;
    closeDiagram.hasPayload = true;
    EXPECT_EQ(addIn.request(editor.frame, closeDiagram), 1) << editor.log();
    EXPECT_EQ(addIn.request(editor.frame, closeDiagram), 0) << "no longer open";
    EXPECT_EQ(addIn.request(editor.frame, open), 1) << editor.log();
    EXPECT_GE(addIn.request(editor.frame, kind(kAddInMenuPosition)), 0);

    // Generate and exit: notice 6 with the generated file, notice 2.
    editor.post(RegisterWindowMessageA("Generieren&Beenden"));
    AddInMessage generated;
    ASSERT_TRUE(addIn.waitNotice(kAddInGenerated, &generated)) << editor.log();
    const std::string source = diagram.substr(0, diagram.size() - 4) + ".pas";
    EXPECT_EQ(lstrcmpiA(generated.payload.c_str(), source.c_str()), 0) << generated.payload;
    EXPECT_EQ(editor.waitExit(), 0);
    EXPECT_TRUE(addIn.waitNotice(kAddInEnded, nullptr, 0, 1000)) << editor.log();
    DeleteFileA(source.c_str());
    DeleteFileA(diagram.c_str());
}

TEST(AddIn, CloseByRequestAndALostLink) {
    {
        AddIn addIn;
        Editor editor;
        ASSERT_TRUE(
            editor.start("-addin=" + std::to_string(reinterpret_cast<std::uintptr_t>(addIn.window)), ""));
        ASSERT_TRUE(addIn.waitNotice(kAddInStarted)) << editor.log();
        // Changed settings: the question is answered Yes for the add-in, so
        // the Save settings dialog comes at once.
        editor.command(CMD_OPTIONS_REPEAT);
        EXPECT_EQ(addIn.request(editor.frame, kind(kAddInClose)), 1);
        HWND dialog = editor.findDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(e2e::dialogText(dialog).find("Save settings?"), std::string::npos)
            << e2e::dialogText(dialog);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(editor.waitExit(), 0);
        EXPECT_NE(e2e::readFile(editor.settings).find("Repeat=yes"), std::string::npos)
            << e2e::readFile(editor.settings);
        EXPECT_TRUE(addIn.waitNotice(kAddInEnded, nullptr, 0, 1000)) << editor.log();
    }
    AddIn addIn;
    Editor editor;
    ASSERT_TRUE(editor.start("-addin=" + std::to_string(reinterpret_cast<std::uintptr_t>(addIn.window)),
                             settingsWithAddIn("C:\\")));
    ASSERT_TRUE(addIn.waitNotice(kAddInStarted)) << editor.log();

    // Another window in front: a request's message waits, the frame
    // flashes, and the message comes when the editor is activated.
    HWND other = CreateWindowExA(0, "STATIC", "another application", WS_POPUP | WS_VISIBLE | WS_CAPTION, 50,
                                 50, 300, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(other);
    Sleep(300);
    ASSERT_EQ(GetForegroundWindow(), other);
    AddInMessage missing = kind(kAddInOpen);
    missing.payload = e2e::tempPath("korrin-addin-missing", ".vrd");
    missing.hasPayload = true;
    EXPECT_EQ(addIn.request(editor.frame, missing), 0) << editor.log();
    EXPECT_TRUE(editor.waitFor("addin flashing", 3000)) << editor.log();
    EXPECT_EQ(editor.findDialog(500), nullptr) << "no box while another application is active";
    SetForegroundWindow(editor.frame);
    HWND box = editor.findDialog(5000);
    ASSERT_NE(box, nullptr) << editor.log();
    const std::string name = missing.payload.substr(missing.payload.find_last_of('\\') + 1);
    EXPECT_NE(e2e::dialogText(box).find(name), std::string::npos) << e2e::dialogText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    DestroyWindow(other);
    addIn.close();
    EXPECT_TRUE(editor.waitFor("addin link lost", 3000)) << editor.log();
    std::string dump = editor.menuDump();
    EXPECT_NE(dump.find("popup /&Add-In"), std::string::npos) << dump;
    EXPECT_NE(dump.find(e2e::logLine("item", {CMD_ADDIN_EMPTY}, "g- <empty>")), std::string::npos) << dump;
    EXPECT_EQ(dump.find(e2e::logLine("item", {kCheck})), std::string::npos) << dump;
    RECT button{};
    EXPECT_FALSE(editor.buttonRect("toolbar", kCheck, &button)) << "the buttons go with the link";
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
}
