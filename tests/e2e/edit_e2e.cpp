// Editing diagrams under Wine as a user does it: clicks at the points the
// layout gives (computed in this process from the saved file), a drag,
// keys, the Enclose command and Undo; the transfer file of the saved
// diagram compared with the one of the expected tree. The clipboard between two running
// editors, read by another program (clipboard_probe), and refused when it
// holds garbage in our format. Screenshots go to KORRIN_SCREENSHOTS.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "import/transfer_export.h"
#include "resources/commands.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/view_support.h"

using e2e::Editor;

namespace {

HWND diagramWindow(const Editor& editor) {
    return FindWindowExA(FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr), nullptr, "kivchild",
                         nullptr);
}

RECT screenClient(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The editor's diagram window maximized and in front.
HWND showEditor(Editor& editor) {
    HWND child = diagramWindow(editor);
    SendMessageA(GetParent(child), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(child), 0);
    SetForegroundWindow(editor.frame);
    Sleep(500);
    return child;
}

std::string screenshot(const char* name) {
    char dir[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_SCREENSHOTS", dir, sizeof dir);
    return std::string(dir) + "/" + name;
}

// A copy of the diagram file laid out here (the editor keeps its file open).
std::unique_ptr<e2e::TestView> layoutOf(const std::string& path) {
    const std::string copy = e2e::tempPath("korrin-edit-layout", ".vrd");
    if (!CopyFileA(path.c_str(), copy.c_str(), FALSE)) return nullptr;
    auto view = std::make_unique<e2e::TestView>(copy);
    // Laid out as the top segment's window shows it.
    return view->ok() && view->level(1) ? std::move(view) : nullptr;
}

// The first construct (depth first) of the tree that `match` accepts.
ConstructNode* findNode(ConstructNode* head, const std::function<bool(ConstructNode*)>& match) {
    for (ConstructNode* n = head; n; n = n->next) {
        if (match(n)) return n;
        for (Slot slot : {Slot::Then, Slot::Else, Slot::Body, Slot::Branches, Slot::Rest, Slot::Condition})
            if (ConstructNode* child = childAt(n, slot); child && n->type != ConstructType::Level)
                if (ConstructNode* found = findNode(child, match)) return found;
    }
    return nullptr;
}

ConstructNode* withText(e2e::TestView& view, const char* text) {
    return findNode(levelInfoOf(view.document().root)->body, [&](ConstructNode* n) {
        const char* t = textOf(n);
        return t && std::strcmp(t, text) == 0;
    });
}

// The screen point of a construct: its middle across, `down` of its height
// (the window scrolled down by `scrollY`).
POINT pointOf(e2e::TestView& view, HWND child, const ConstructNode* node, double down, int scrollY = 0) {
    Rect box{};
    EXPECT_TRUE(constructBox(view.context(), view.document().root, node, &box));
    const RECT client = screenClient(child);
    return POINT{client.left + (box.left + box.right) / 2,
                 client.top - scrollY + box.top + static_cast<LONG>((box.bottom - box.top) * down)};
}

// The vertical scroll position of the editor's diagram window. Wine lets
// no other process read a window's scroll bar: there it is the position
// the editor reports for its last painting.
int scrollTop(const Editor& editor, HWND child) {
    SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, 0, 0};
    if (GetScrollInfo(child, SB_VERT, &info)) return info.nPos;
    const std::string log = editor.log();
    const std::size_t line = log.rfind("paint segment ");
    const std::size_t comma = line == std::string::npos ? line : log.find(',', line);
    return comma == std::string::npos ? -1 : std::atoi(log.c_str() + comma + 1);
}

void mouse(DWORD flags, POINT at = {}) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_MOVE) {
        in.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
        in.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    SendInput(1, &in, sizeof in);
    Sleep(40);
}

void key(WORD vk, DWORD flags) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = flags;
    SendInput(1, &in, sizeof in);
    Sleep(40);
}

// Press at `from` and move in steps to `to`, the button held.
void dragTo(POINT from, POINT to) {
    mouse(MOUSEEVENTF_MOVE, from);
    mouse(MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= 8; ++i)
        mouse(MOUSEEVENTF_MOVE, POINT{from.x + (to.x - from.x) * i / 8, from.y + (to.y - from.y) * i / 8});
}

// Press at `from`, move in steps to `to`, release.
void drag(POINT from, POINT to) {
    dragTo(from, to);
    mouse(MOUSEEVENTF_LEFTUP);
}

// The same drag as mouse messages posted to `window` with `keys` held.
void postDrag(HWND window, POINT from, POINT to, WPARAM keys) {
    SetCursorPos(to.x, to.y);
    ScreenToClient(window, &from);
    ScreenToClient(window, &to);
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(from.x, from.y));
    for (int i = 1; i <= 8; ++i, Sleep(40))
        PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON | keys,
                     MAKELPARAM(from.x + (to.x - from.x) * i / 8, from.y + (to.y - from.y) * i / 8));
    PostMessageA(window, WM_LBUTTONUP, keys, MAKELPARAM(to.x, to.y));
}

bool save(Editor& editor) {
    const std::size_t from = editor.log().size();
    editor.command(CMD_FILE_SAVE);
    return editor.waitFor(e2e::logLine("command", {CMD_FILE_SAVE}, "done"), 10000, from);
}

// A transfer file without its first line (the time of writing).
std::string withoutTime(const std::string& text) {
    const std::size_t line = text.find('\n');
    return line == std::string::npos ? text : text.substr(line + 1);
}

// The transfer file of the diagram the editor saved (time line left out).
std::string savedTransfer(Editor& editor, const std::string& path) {
    if (!save(editor)) return "saving failed";
    auto saved = layoutOf(path);
    const std::string etf = e2e::tempPath("korrin-edit-saved", ".etf");
    if (!saved || exportTransferFile(&saved->document(), etf.c_str(), false) != 1) return "export failed";
    return withoutTime(e2e::readFile(etf));
}

using Body = std::function<ConstructNode*(DiagramDocument&)>;

// A diagram file whose top segment "edit" holds `body`.
bool writeEdit(const std::string& path, const Body& body) {
    DiagramDocument doc{};
    g_currentDocument = &doc;
    return e2e::writeDiagram(doc, e2e::segment(doc, "edit", body(doc)), path);
}

// The transfer file of a tree (the top segment "edit" with `body`) as this
// process writes it.
std::string expectedTransfer(const Body& body) {
    const std::string vrd = e2e::tempPath("korrin-edit-expected", ".vrd");
    const std::string etf = e2e::tempPath("korrin-edit-expected", ".etf");
    if (!writeEdit(vrd, body)) return "";
    e2e::TestView view(vrd);
    if (!view.ok() || exportTransferFile(&view.document(), etf.c_str(), false) != 1) return "";
    return withoutTime(e2e::readFile(etf));
}

// Statements with the texts as one sequence.
ConstructNode* statements(const std::vector<std::string>& texts) {
    ConstructNode* head = nullptr;
    for (auto text = texts.rbegin(); text != texts.rend(); ++text) {
        ConstructNode* node = e2e::statement(text->c_str());
        if (head) {
            node->next = head;
            head->up = node;
        }
        head = node;
    }
    return head;
}

ConstructNode* ifWithThen(DiagramDocument& doc, ConstructNode* then) {
    ConstructNode* node = newConstruct(&doc, CMD_INSERT_IF);
    ConstructNode* placeholder = childAt(node, Slot::Then);
    setChildAt(then, node, Slot::Then);
    placeholder->up = nullptr;
    freeSequence(placeholder);
    return node;
}

ConstructNode* whileAround(DiagramDocument& doc, ConstructNode* body) {
    ConstructNode* node = newConstruct(&doc, CMD_INSERT_WHILE);
    ConstructNode* placeholder = childAt(node, Slot::Body);
    setChildAt(body, node, Slot::Body);
    if (placeholder) {
        placeholder->up = nullptr;
        freeSequence(placeholder);
    }
    return node;
}

// Runs the clipboard probe; its exit code.
int probe(const std::string& arguments) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir = self;
    dir.erase(dir.find_last_of("\\/") + 1);
    std::string line = "\"" + dir + "clipboard_probe.exe\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, 20000);
    DWORD code = 255;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

void closeEditor(Editor& editor) {
    editor.post(WM_CLOSE);
    for (int i = 0; i < 3; ++i)
        if (HWND question = editor.findDialog(1500)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
}

}  // namespace

// Insert a statement with a click, drag a statement into an If's then
// branch, insert before a statement with the keys, enclose two statements
// in a While and undo it: after saving, the transfer file of the diagram
// is the expected tree's.
TEST(Edit, MouseKeysEncloseAndUndo) {
    const std::string work = e2e::tempPath("korrin-edit", ".vrd");
    ASSERT_TRUE(writeEdit(work, [](DiagramDocument& doc) {
        return e2e::sequence({e2e::statement("a"), e2e::statement("b"), newConstruct(&doc, CMD_INSERT_IF),
                              e2e::statement("d")});
    }));
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + work + "\""));
    HWND child = showEditor(editor);
    ASSERT_NE(child, nullptr);

    // A new statement after "a": the command, then a click on a's lower half.
    auto layout = layoutOf(work);
    ASSERT_TRUE(layout);
    std::size_t from = editor.log().size();
    editor.command(CMD_INSERT_STATEMENT);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insertion mode", {CMD_INSERT_STATEMENT}), 5000, from));
    e2e::leftClick(pointOf(*layout, child, withText(*layout, "a"), 0.8));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insert", {CMD_INSERT_STATEMENT}, "placed"), 5000, from))
        << editor.log().substr(from);

    // "b" dragged onto the placeholder of the If's then branch.
    ASSERT_TRUE(save(editor));
    layout = layoutOf(work);
    ASSERT_TRUE(layout);
    ConstructNode* b = withText(*layout, "b");
    ConstructNode* ifNode = findNode(levelInfoOf(layout->document().root)->body,
                                     [](ConstructNode* n) { return n->type == ConstructType::If; });
    ASSERT_TRUE(b && ifNode);
    from = editor.log().size();
    e2e::leftClick(pointOf(*layout, child, b, 0.5));
    ASSERT_TRUE(editor.waitFor("select segment", 5000, from));
    drag(pointOf(*layout, child, b, 0.5), pointOf(*layout, child, childAt(ifNode, Slot::Then), 0.5));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insert", {CMD_EDIT_MOVE}, "placed"), 5000, from))
        << editor.log().substr(from);

    // From the keys: Esc quits an insertion; after "d" selected the mark
    // starts after it, Up moves it before it, Enter places.
    ASSERT_TRUE(save(editor));
    layout = layoutOf(work);
    ASSERT_TRUE(layout);
    from = editor.log().size();
    editor.command(CMD_INSERT_IF);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insertion mode", {CMD_INSERT_IF}), 5000, from));
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {}, VK_ESCAPE));
    ASSERT_TRUE(editor.waitFor("insertion mode quit", 5000, from));
    std::size_t clicked = editor.log().size();
    e2e::leftClick(pointOf(*layout, child, withText(*layout, "d"), 0.5));
    ASSERT_TRUE(editor.waitFor("select segment", 5000, clicked));
    // The mark is drawn inverted along d's lower edge, after Up along its upper edge.
    Rect d{};
    ASSERT_TRUE(constructBox(layout->context(), layout->document().root, withText(*layout, "d"), &d));
    const RECT client = screenClient(child);
    const int x = (d.left + d.right) / 2;
    // The screen once the pixel at (x, y) differs from `base`; a loaded
    // machine may take a while to repaint.
    auto captureChanged = [&](const e2e::Screenshot& base, int y, e2e::Screenshot& out) {
        for (int i = 0; i < 50; ++i, Sleep(100))
            if (e2e::captureScreen(client, out) && out.at(x, y) != base.at(x, y)) return;
    };
    e2e::Screenshot selected, after, before;
    Sleep(200);
    ASSERT_TRUE(e2e::captureScreen(client, selected));
    editor.command(CMD_INSERT_STATEMENT);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insertion mode", {CMD_INSERT_STATEMENT}), 5000, from));
    captureChanged(selected, d.bottom - 2, after);
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {}, VK_UP));
    captureChanged(after, d.top + 1, before);
    before.savePng(screenshot("edit-insertion-mark.png"));
    EXPECT_NE(after.at(x, d.top + 1), before.at(x, d.top + 1));
    EXPECT_NE(after.at(x, d.bottom - 2), before.at(x, d.bottom - 2));
    EXPECT_EQ(after.at(x, (d.top + d.bottom) / 2 + 1), before.at(x, (d.top + d.bottom) / 2 + 1));
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {}, VK_RETURN));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insert", {CMD_INSERT_STATEMENT}, "placed"), 5000, from))
        << editor.log().substr(from);

    // "a" and the new statement after it enclosed in a While.
    from = editor.log().size();
    e2e::leftClick(pointOf(*layout, child, withText(*layout, "a"), 0.5));
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_SHIFT}, VK_DOWN));
    ASSERT_TRUE(editor.waitFor("count 2", 5000, from)) << editor.log().substr(from);
    editor.command(CMD_ENCLOSE_WHILE);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("edit", {CMD_ENCLOSE_WHILE}, "done"), 5000, from))
        << editor.log().substr(from);
    EXPECT_EQ(
        savedTransfer(editor, work), expectedTransfer([](DiagramDocument& doc) {
            return e2e::sequence({whileAround(doc, e2e::sequence({e2e::statement("a"),
                                                                  newConstruct(&doc, CMD_INSERT_STATEMENT)})),
                                  ifWithThen(doc, e2e::statement("b")),
                                  newConstruct(&doc, CMD_INSERT_STATEMENT), e2e::statement("d")});
        }));

    // Alt+Backspace undoes the enclosing.
    from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_MENU}, VK_BACK));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("edit", {CMD_EDIT_UNDO}, "done"), 5000, from))
        << editor.log().substr(from);
    EXPECT_EQ(savedTransfer(editor, work), expectedTransfer([](DiagramDocument& doc) {
                  return e2e::sequence({e2e::statement("a"), newConstruct(&doc, CMD_INSERT_STATEMENT),
                                        ifWithThen(doc, e2e::statement("b")),
                                        newConstruct(&doc, CMD_INSERT_STATEMENT), e2e::statement("d")});
              }));
    closeEditor(editor);
}

// Copy in one editor, paste into a second one; another program finds the
// copied statement in our clipboard format; garbage in that format is
// refused with the message and changes nothing; Copy places a copy.
TEST(Edit, ClipboardBetweenTwoEditors) {
    const std::string one = e2e::tempPath("korrin-clip-one", ".vrd");
    const std::string two = e2e::tempPath("korrin-clip-two", ".vrd");
    {
        DiagramDocument doc{};
        g_currentDocument = &doc;
        ASSERT_TRUE(e2e::writeDiagram(
            doc, e2e::segment(doc, "one", e2e::sequence({e2e::statement("p"), e2e::statement("q")})), one));
    }
    {
        DiagramDocument doc{};
        g_currentDocument = &doc;
        ASSERT_TRUE(e2e::writeDiagram(doc, e2e::segment(doc, "two", e2e::statement("z")), two));
    }
    Editor first;
    ASSERT_TRUE(first.start("\"" + one + "\""));

    // Copy "p" in the first editor (Ctrl+Insert).
    HWND child = showEditor(first);
    auto layout = layoutOf(one);
    ASSERT_TRUE(layout);
    std::size_t from = first.log().size();
    e2e::leftClick(pointOf(*layout, child, withText(*layout, "p"), 0.5));
    ASSERT_TRUE(first.waitFor("select segment", 5000, from));
    ASSERT_TRUE(e2e::sendKeys(first.frame, {VK_CONTROL}, VK_INSERT));
    ASSERT_TRUE(first.waitFor(e2e::logLine("clipboard", {CMD_CLIPBOARD_COPY}, "done"), 5000, from))
        << first.log().substr(from);

    // Another program reads the diagram image and the text.
    const std::string found = e2e::tempPath("korrin-clip-probe", ".txt");
    ASSERT_EQ(probe("read \"" + found + "\""), 0);
    EXPECT_EQ(e2e::readFile(found), std::to_string(static_cast<int>(ConstructType::Text)) + " p\ntext p\n");

    // Paste in a second editor (Shift+Insert) after "z"; the first runs on.
    Editor second;
    ASSERT_TRUE(second.start("\"" + two + "\""));
    child = showEditor(second);
    layout = layoutOf(two);
    ASSERT_TRUE(layout);
    from = second.log().size();
    ASSERT_TRUE(e2e::sendKeys(second.frame, {VK_SHIFT}, VK_INSERT));
    ASSERT_TRUE(second.waitFor(e2e::logLine("insertion mode", {CMD_CLIPBOARD_PASTE}), 5000, from))
        << second.log().substr(from);
    e2e::leftClick(pointOf(*layout, child, withText(*layout, "z"), 0.8));
    ASSERT_TRUE(second.waitFor(e2e::logLine("insert", {CMD_CLIPBOARD_PASTE}, "placed"), 5000, from))
        << second.log().substr(from);
    ASSERT_TRUE(save(second));
    layout = layoutOf(two);
    ASSERT_TRUE(layout);
    ConstructNode* z = withText(*layout, "z");
    ASSERT_TRUE(z && z->next);
    EXPECT_STREQ(textOf(z->next), "p");

    // Garbage in our format: the message, nothing pasted, the editor runs on.
    ASSERT_EQ(probe("garbage"), 0);
    from = second.log().size();
    ASSERT_TRUE(e2e::sendKeys(second.frame, {VK_SHIFT}, VK_INSERT));
    HWND message = second.findDialog(10000);
    ASSERT_NE(message, nullptr);
    const std::string text = e2e::dialogText(message);
    EXPECT_TRUE(text.find("Data in Clipboard does not have Korrin(VRD) format.") != std::string::npos ||
                text.find("Structure diagram in Clipboard contains a structural error.") != std::string::npos)
        << text;
    PostMessageA(message, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(second.waitFor("paste image refused", 5000, from)) << second.log().substr(from);
    EXPECT_TRUE(second.running());
    EXPECT_EQ(second.log().find("insertion mode", from), std::string::npos);

    // Copy (Ctrl+Y) of "z", placed below "p" with a click.
    from = second.log().size();
    e2e::leftClick(pointOf(*layout, child, withText(*layout, "z"), 0.5));
    ASSERT_TRUE(second.waitFor("select segment", 5000, from));
    ASSERT_TRUE(e2e::sendKeys(second.frame, {VK_CONTROL}, 'Y'));
    ASSERT_TRUE(second.waitFor(e2e::logLine("insertion mode", {CMD_EDIT_COPY}), 5000, from));
    e2e::leftClick(pointOf(*layout, child, withText(*layout, "p"), 0.8));
    ASSERT_TRUE(second.waitFor(e2e::logLine("insert", {CMD_EDIT_COPY}, "placed"), 5000, from))
        << second.log().substr(from);
    ASSERT_TRUE(save(second));
    layout = layoutOf(two);
    ASSERT_TRUE(layout);
    z = withText(*layout, "z");
    ASSERT_TRUE(z && z->next && z->next->next);
    EXPECT_STREQ(textOf(z->next->next), "z");
    closeEditor(second);
    closeEditor(first);
}

// In a diagram taller than the window: Ctrl+drag places a copy and keeps
// the source, one Undo takes the copy back; a drag held below the window's
// lower edge scrolls it, the drop lands below the first screen, and the
// scrolling stops with the release.
TEST(Edit, DragCopyAndAutoScroll) {
    std::vector<std::string> names;
    for (int i = 1; i <= 80; ++i) names.push_back("s" + std::to_string(i));
    const auto tree = [](const std::vector<std::string>& texts) {
        return expectedTransfer([&](DiagramDocument&) { return statements(texts); });
    };
    const std::string work = e2e::tempPath("korrin-drag", ".vrd");
    ASSERT_TRUE(writeEdit(work, [&](DiagramDocument&) { return statements(names); }));
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + work + "\""));
    HWND child = showEditor(editor);
    ASSERT_NE(child, nullptr);
    auto layout = layoutOf(work);
    ASSERT_TRUE(layout);
    auto select = [&](const char* text) {
        const std::size_t from = editor.log().size();
        e2e::leftClick(pointOf(*layout, child, withText(*layout, text), 0.5));
        return editor.waitFor("select segment", 5000, from);
    };

    // "s1" dragged with Ctrl held onto the lower half of "s2".
    ASSERT_TRUE(select("s1"));
    const POINT source = pointOf(*layout, child, withText(*layout, "s1"), 0.5);
    const POINT target = pointOf(*layout, child, withText(*layout, "s2"), 0.8);
    std::size_t from = editor.log().size();
    key(VK_CONTROL, 0);
    drag(source, target);
    editor.waitFor(" placed", 5000, from);
    key(VK_CONTROL, KEYEVENTF_KEYUP);
    if (editor.log().find(e2e::logLine("drag", {CMD_EDIT_COPY}), from) == std::string::npos) {
        // Under Wine a Ctrl key sent as input is not down for the mouse
        // messages (neither in their key flags nor for GetKeyState): the
        // drag moved. Undone, the same drag is posted as messages with
        // MK_CONTROL (Undo selects "s1" again).
        if (editor.log().find(e2e::logLine("insert", {CMD_EDIT_MOVE}, "placed"), from) != std::string::npos) {
            ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_MENU}, VK_BACK));
            ASSERT_TRUE(editor.waitFor(e2e::logLine("edit", {CMD_EDIT_UNDO}, "done"), 5000, from));
        }
        from = editor.log().size();
        postDrag(child, source, target, MK_CONTROL);
    }
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insert", {CMD_EDIT_COPY}, "placed"), 5000, from))
        << editor.log().substr(from);
    std::vector<std::string> copied = names;
    copied.insert(copied.begin() + 2, "s1");
    EXPECT_EQ(savedTransfer(editor, work), tree(copied));
    from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {VK_MENU}, VK_BACK));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("edit", {CMD_EDIT_UNDO}, "done"), 5000, from));
    EXPECT_EQ(savedTransfer(editor, work), tree(names));

    // "s3" dragged below the window: it scrolls until the first statement
    // below the first screen shows whole; the drop after it.
    const RECT client = screenClient(child);
    const int height = client.bottom - client.top;
    ConstructNode* below = withText(*layout, "s1");
    Rect box{};
    while (below && constructBox(layout->context(), layout->document().root, below, &box) && box.top < height)
        below = below->next;
    ASSERT_TRUE(below && below->next) << "the diagram fits into the window";
    const std::string belowText = textOf(below);
    ASSERT_EQ(scrollTop(editor, child), 0);
    ASSERT_TRUE(select("s3"));
    from = editor.log().size();
    dragTo(pointOf(*layout, child, withText(*layout, "s3"), 0.5), POINT{source.x, client.bottom + 2});
    for (int i = 0; i < 100 && scrollTop(editor, child) < box.bottom - height + 4; ++i) Sleep(50);
    int scrolled = scrollTop(editor, child);
    EXPECT_GE(scrolled, box.bottom - height + 4) << editor.log().substr(from);
    // Back inside the scrolling stops; a step taken meanwhile shifts the
    // statement, so the pointer is set once more where it shows.
    mouse(MOUSEEVENTF_MOVE, pointOf(*layout, child, below, 0.8, scrolled));
    for (int last = -1; last != scrolled;) {
        last = scrolled;
        Sleep(200);
        scrolled = scrollTop(editor, child);
    }
    mouse(MOUSEEVENTF_MOVE, pointOf(*layout, child, below, 0.7, scrolled));
    mouse(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insert", {CMD_EDIT_MOVE}, "placed"), 5000, from))
        << editor.log().substr(from);
    Sleep(500);
    EXPECT_EQ(scrollTop(editor, child), scrolled);
    std::vector<std::string> moved = names;
    moved.erase(moved.begin() + 2);
    moved.insert(std::find(moved.begin(), moved.end(), belowText) + 1, "s3");
    EXPECT_EQ(savedTransfer(editor, work), tree(moved));
    closeEditor(editor);
}
