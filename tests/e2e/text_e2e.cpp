// Editing construct texts and search and replace under Wine, with real
// keys and clicks: a text typed over a selected statement and committed
// with Enter, overwrite mode in the status bar, the text check, Esc
// leaving a text unchanged, Undo taking a commit back, Replace all of a
// text that occurs five times and Undo taking the last replacement back;
// the saved diagram's transfer file shows the result.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "resources/commands.h"
#include "resources/dialog_ids.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/view_support.h"

using e2e::Editor;

namespace {

HWND diagramWindow(const Editor& editor) {
    return FindWindowExA(FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr), nullptr, "kivchild",
                         nullptr);
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

void type(HWND window, const char* keys) {
    for (const char* k = keys; *k; ++k)
        e2e::sendKeys(window, {}, static_cast<WORD>(*k >= 'a' ? *k - 32 : *k));
}

// A dialog of the editor other than `except` (a message box after a dialog closed).
HWND nextDialog(const Editor& editor, HWND except) {
    for (int i = 0; i < 50; ++i) {
        HWND d = editor.findDialog(200);
        if (d && d != except) return d;
        Sleep(100);
    }
    return nullptr;
}

// The message box that shows next (a dialog other than `except`) holds
// `text`; Ok closes it.
void expectMessage(const Editor& editor, HWND except, const char* text) {
    HWND told = nextDialog(editor, except);
    const std::string log = editor.log();
    ASSERT_NE(told, nullptr) << text << "\n" << log.substr(log.size() > 1500 ? log.size() - 1500 : 0);
    EXPECT_NE(e2e::dialogText(told).find(text), std::string::npos) << e2e::dialogText(told);
    PostMessageA(told, WM_COMMAND, IDOK, 0);
    Sleep(300);
}

// A diagram of statements (statement i on line i + 1) opened in the
// editor, with their boxes on the screen as this process lays them out.
struct Session {
    std::string work = e2e::tempPath("korrin-text", ".vrd");
    std::vector<Rect> boxes;
    Editor editor;
    RECT client{};

    bool open(std::initializer_list<const char*> texts, const std::string& settings = std::string()) {
        DiagramDocument doc{};
        std::vector<ConstructNode*> nodes;
        for (const char* t : texts) nodes.push_back(e2e::statement(t, static_cast<int>(nodes.size()) + 1));
        ConstructNode* body = nodes.front();
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            nodes[i - 1]->next = nodes[i];
            nodes[i]->up = nodes[i - 1];
        }
        if (!e2e::writeDiagram(doc, e2e::segment(doc, "main", body), work)) return false;
        e2e::TestView view(work);
        ConstructNode* top = view.ok() ? view.level(1) : nullptr;
        if (!top) return false;
        for (ConstructNode* n = levelInfoOf(top)->body; n; n = n->next) {
            boxes.emplace_back();
            if (!constructBox(view.context(), top, n, &boxes.back())) return false;
        }
        if (!editor.start("\"" + work + "\"", settings)) return false;
        HWND child = diagramWindow(editor);
        if (!child) return false;
        SetForegroundWindow(editor.frame);
        Sleep(500);
        GetClientRect(child, &client);
        MapWindowPoints(child, nullptr, reinterpret_cast<POINT*>(&client), 2);
        return true;
    }
    // A click on statement i selects it (it may be selected already).
    bool click(int i) {
        const Rect& b = boxes[static_cast<std::size_t>(i)];
        e2e::leftClick(POINT{client.left + (b.left + b.right) / 2, client.top + (b.top + b.bottom) / 2});
        const std::string line = std::to_string(i + 1) + " ";
        for (int tries = 0; tries < 50; ++tries) {
            if (e2e::lastLogValue(editor.log(), "select segment 1 line ").rfind(line, 0) == 0) return true;
            Sleep(100);
        }
        return false;
    }
    // Saves, closes the editor and exports the saved diagram: the transfer file's text.
    std::string saveAndExport() {
        const std::size_t from = editor.log().size();
        editor.command(CMD_FILE_SAVE);
        EXPECT_TRUE(editor.waitFor("command " + std::to_string(CMD_FILE_SAVE) + " done", 10000, from))
            << editor.log().substr(from);
        editor.post(WM_CLOSE);
        for (int i = 0; i < 2; ++i)
            if (HWND question = editor.findDialog(1500)) PostMessageA(question, WM_COMMAND, IDNO, 0);
        EXPECT_EQ(editor.waitExit(), 0);
        const std::string etf = e2e::tempPath("korrin-text", ".etf");
        Editor exporter;
        EXPECT_TRUE(exporter.start("-e=\"" + etf + "\" \"" + work + "\"", "", false));
        EXPECT_EQ(exporter.waitExit(30000), 0);
        const std::string text = e2e::readFile(etf);
        DeleteFileA(etf.c_str());
        return text;
    }
    ~Session() { DeleteFileA(work.c_str()); }
};

TEST(TextEditing, TypeCommitCancelUndoAndReplaceAll) {
    Session session;
    ASSERT_TRUE(session.open({"alpha", "beta", "gamma", "old one", "two old old", "old three", "four old"}))
        << session.editor.log();
    Editor& editor = session.editor;

    // Typing over a selected statement replaces its text; Enter commits.
    ASSERT_TRUE(session.click(0)) << editor.log();
    std::size_t from = editor.log().size();
    type(editor.frame, "hello");
    ASSERT_TRUE(editor.waitFor("direct edit " + std::to_string(CMD_EDIT_TEXT) + " field 3", 5000, from))
        << editor.log().substr(from);
    // Insert and the Overwrite command switch the status bar's "OVR" with the mode.
    e2e::sendKeys(editor.frame, {}, VK_INSERT);
    EXPECT_TRUE(editor.waitFor("status pane OVR on", 5000, from)) << editor.log().substr(from);
    from = editor.log().size();
    editor.command(CMD_TEXT_OVERWRITE);
    EXPECT_TRUE(editor.waitFor("status pane OVR off", 5000, from)) << editor.log().substr(from);
    e2e::sendKeys(editor.frame, {}, VK_RETURN);
    ASSERT_TRUE(editor.waitFor("direct edit committed", 5000, from)) << editor.log().substr(from);

    // A second commit, then Undo (Alt+Backspace) takes it back.
    ASSERT_TRUE(session.click(1));
    from = editor.log().size();
    type(editor.frame, "zz");
    e2e::sendKeys(editor.frame, {}, VK_RETURN);
    ASSERT_TRUE(editor.waitFor("direct edit committed", 5000, from)) << editor.log().substr(from);
    e2e::sendKeys(editor.frame, {VK_MENU}, VK_BACK);
    ASSERT_TRUE(editor.waitFor("command " + std::to_string(CMD_EDIT_UNDO) + " done", 5000, from))
        << editor.log().substr(from);

    // The check request selects and names an unclosed parenthesis; Esc
    // leaves the text as it was.
    ASSERT_TRUE(session.click(2));
    from = editor.log().size();
    type(editor.frame, "q");
    e2e::sendKeys(editor.frame, {VK_SHIFT}, '9');
    Sleep(500);  // the keys reach the field before the command
    editor.command(CMD_TEXT_COBOL_CHARACTERS);
    ASSERT_TRUE(editor.waitFor("text check 4 at 1", 5000, from)) << editor.log().substr(from);
    expectMessage(editor, nullptr, "Line 1, column 2: '(' is not closed.");
    e2e::sendKeys(editor.frame, {}, VK_ESCAPE);
    ASSERT_TRUE(editor.waitFor("direct edit cancelled", 5000, from)) << editor.log().substr(from);

    // Ctrl+Enter breaks the line; the diagram is laid out around the
    // growing construct (the picture shows it) and Enter commits.
    ASSERT_TRUE(session.click(6));
    from = editor.log().size();
    type(editor.frame, "four old");
    e2e::sendKeys(editor.frame, {VK_CONTROL}, VK_RETURN);
    type(editor.frame, "world");
    Sleep(300);
    char shots[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_SCREENSHOTS", shots, sizeof shots);
    e2e::saveScreenPng(session.client, std::string(shots) + "/text-direct-edit.png");
    e2e::sendKeys(editor.frame, {}, VK_RETURN);
    ASSERT_TRUE(editor.waitFor("direct edit committed", 5000, from)) << editor.log().substr(from);

    // Search/Replace (Ctrl+H): "old" with "new", Replace all.
    from = editor.log().size();
    e2e::sendKeys(editor.frame, {VK_CONTROL}, 'H');
    HWND dialog = editor.findDialog(5000);
    ASSERT_NE(dialog, nullptr);
    type(dialog, "old");
    e2e::sendKeys(dialog, {VK_MENU}, 'R');  // "&Replace with"
    e2e::sendKeys(dialog, {}, VK_TAB);
    type(dialog, "new");
    e2e::sendKeys(dialog, {VK_MENU}, 'E');  // "&Entire structure diagram"
    e2e::sendKeys(dialog, {}, VK_RETURN);
    ASSERT_TRUE(editor.waitFor("replace question", 5000, from)) << editor.log().substr(from);
    HWND ask = editor.findDialog(5000);
    ASSERT_NE(ask, nullptr);
    EXPECT_NE(e2e::dialogText(ask).find("Replace &all"), std::string::npos) << e2e::dialogText(ask);
    // The question does not cover the match.
    const std::string place = e2e::lastLogValue(editor.log(), "replace question ", from);
    RECT q{}, m{};
    ASSERT_EQ(std::sscanf(place.c_str(), "%ld,%ld,%ld,%ld match %ld,%ld,%ld,%ld", &q.left, &q.top, &q.right,
                          &q.bottom, &m.left, &m.top, &m.right, &m.bottom),
              8)
        << place;
    RECT overlap;
    EXPECT_FALSE(IntersectRect(&overlap, &q, &m)) << place;
    e2e::sendKeys(ask, {VK_MENU}, 'A');
    ASSERT_TRUE(editor.waitFor("search replaced 5", 5000, from)) << editor.log().substr(from);
    expectMessage(editor, ask, "Search text was replaced 5 times.");

    // Searching for what is no longer there: the dialog starts without
    // "Replace with" again.
    e2e::sendKeys(editor.frame, {VK_CONTROL}, 'H');
    dialog = editor.findDialog(5000);
    ASSERT_NE(dialog, nullptr);
    SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, "old");
    ASSERT_EQ(IsDlgButtonChecked(dialog, IDC_SEARCH_REPLACE), BST_UNCHECKED);
    e2e::sendKeys(dialog, {}, VK_RETURN);
    expectMessage(editor, dialog, "Search text not found.");

    // The replacements went into the one undo journal: Undo takes the
    // last of them back.
    from = editor.log().size();
    e2e::sendKeys(editor.frame, {VK_MENU}, VK_BACK);
    ASSERT_TRUE(editor.waitFor("command " + std::to_string(CMD_EDIT_UNDO) + " done", 5000, from))
        << editor.log().substr(from);

    const std::string text = session.saveAndExport();
    EXPECT_EQ(count(text, "hello"), 1u) << text;
    EXPECT_EQ(count(text, "world"), 1u) << text;
    EXPECT_EQ(count(text, "alpha"), 0u) << text;
    EXPECT_EQ(count(text, "beta"), 1u) << "Undo took the second commit back: " << text;
    EXPECT_EQ(count(text, "zz"), 0u) << text;
    EXPECT_EQ(count(text, "gamma"), 1u) << text;
    EXPECT_EQ(count(text, "new"), 4u) << text;
    EXPECT_EQ(count(text, "four old"), 1u) << "Undo took the last replacement back: " << text;
}

}  // namespace

namespace {

bool putClipboardText(const std::string& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    bool ok = false;
    if (block) {
        std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        ok = SetClipboardData(CF_TEXT, block) != nullptr;
    }
    CloseClipboard();
    return ok;
}

TEST(TextEditing, TextWindowLimitAndExternalEditor) {
    char appendLine[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_APPEND_LINE", appendLine, sizeof appendLine);
    ASSERT_TRUE(appendLine[0]);
    Session session;
    ASSERT_TRUE(session.open({"first", "second"},
                             "[Settings]\r\nExternalEditor='" + e2e::windowsPath(appendLine) + "'\r\n"))
        << session.editor.log();
    Editor& editor = session.editor;

    // Ctrl+Enter: the "Text" window refuses a text over the limit.
    ASSERT_TRUE(session.click(1)) << editor.log();
    std::size_t from = editor.log().size();
    e2e::sendKeys(editor.frame, {VK_CONTROL}, VK_RETURN);
    ASSERT_TRUE(editor.waitFor("text window multi-line", 5000, from)) << editor.log().substr(from);
    HWND dialog = editor.findDialog(5000);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(putClipboardText(std::string(30000, 'x')));
    e2e::sendKeys(dialog, {VK_CONTROL}, 'V');
    e2e::sendKeys(dialog, {VK_MENU}, 'O');
    ASSERT_TRUE(editor.waitFor("text window too long", 5000, from)) << editor.log().substr(from);
    expectMessage(editor, dialog, "Text too long.");
    e2e::sendKeys(dialog, {}, VK_ESCAPE);
    ASSERT_TRUE(editor.waitFor("text window cancelled", 5000, from)) << editor.log().substr(from);

    // Alt+Enter (the first statement grows by a line, so it comes last): the external editor appends a line;
    // the frame is disabled while it runs and enabled afterwards.
    ASSERT_TRUE(session.click(0)) << editor.log();
    from = editor.log().size();
    e2e::sendKeys(editor.frame, {VK_MENU}, VK_RETURN);
    ASSERT_TRUE(editor.waitFor("external editor started", 5000, from)) << editor.log().substr(from);
    EXPECT_FALSE(IsWindowEnabled(editor.frame));
    ASSERT_TRUE(editor.waitFor("external editor committed", 10000, from)) << editor.log().substr(from);
    EXPECT_TRUE(IsWindowEnabled(editor.frame));

    const std::string text = session.saveAndExport();
    EXPECT_EQ(count(text, "appended line"), 1u) << text;
    EXPECT_EQ(count(text, "second"), 1u) << text;
    EXPECT_EQ(count(text, "xxxxxxxx"), 0u) << text;
}

}  // namespace
