// The segment windows under Wine, driven as a user drives them: the
// screen compared with the layout this process computes for the same file
// and font, scrolling, the overview, pictures, going to a line, keys and
// clicks, the structure list, several windows on one diagram, and a
// segment over the worksheet limit. Screenshots go to KORRIN_SCREENSHOTS.
#include <gtest/gtest.h>

#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "import/transfer_export.h"
#include "resources/commands.h"
#include "resources/dialog_ids.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/view_support.h"
#include "view/svg_canvas.h"

using e2e::Editor;
using e2e::Screenshot;

namespace {

HWND mdiClient(const Editor& editor) {
    return FindWindowExA(editor.frame, nullptr, "MDIClient", nullptr);
}

HWND diagramWindow(const Editor& editor, HWND after = nullptr) {
    return FindWindowExA(mdiClient(editor), after, "kivchild", nullptr);
}

int diagramWindows(const Editor& editor) {
    int count = 0;
    for (HWND w = diagramWindow(editor); w; w = diagramWindow(editor, w)) ++count;
    return count;
}

// The client area of a window on the screen.
RECT screenClient(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The window's scroll position as its last paint reported it.
POINT scrollOf(const Editor& editor) {
    POINT at{0, 0};
    std::sscanf(e2e::lastLogValue(editor.log(), " scroll ").c_str(), "%ld,%ld", &at.x, &at.y);
    return at;
}

bool dark(COLORREF c) {
    return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96;
}

// The share of dark pixels in a rectangle of the shot.
double darkShare(const Screenshot& shot, const RECT& r) {
    int all = 0;
    int found = 0;
    for (int y = std::max(0L, r.top); y < std::min<long>(shot.height, r.bottom); ++y)
        for (int x = std::max(0L, r.left); x < std::min<long>(shot.width, r.right); ++x) {
            ++all;
            found += dark(shot.at(x, y));
        }
    return all ? static_cast<double>(found) / all : 0.0;
}

void closeEditor(Editor& editor) {
    editor.post(WM_CLOSE);
    // The settings question (tool windows were opened) or a save question.
    for (int i = 0; i < 3; ++i)
        if (HWND question = editor.findDialog(1500)) PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.waitExit(), 0);
}

// Tags open and close in order and attributes are quoted.
bool wellFormed(const std::string& xml) {
    std::vector<std::string> open;
    for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
        const std::size_t end = xml.find('>', at);
        if (end == std::string::npos) return false;
        const std::string tag = xml.substr(at + 1, end - at - 1);
        if (tag.empty() || tag[0] == '?' || tag[0] == '!') continue;
        if (std::count(tag.begin(), tag.end(), '"') % 2) return false;
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1)) return false;
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(tag.substr(0, tag.find_first_of(" \r\n")));
        }
    }
    return open.empty();
}

// Every text the painter draws in the segment, as XML character data.
std::vector<std::string> textsOf(const RecordingCanvas& canvas) {
    std::vector<std::string> out;
    for (const CanvasCall& c : canvas.only(CanvasCall::Text)) {
        std::string xml;
        appendXmlText(xml, c.text.c_str(), static_cast<int>(c.text.size()));
        out.push_back(xml);
    }
    return out;
}

// What the screen shows of a picture file that is an enhanced metafile:
// the share of pixels that are not white when it is played into a bitmap.
double emfInk(const std::string& path) {
    HENHMETAFILE emf = GetEnhMetaFileA(path.c_str());
    if (!emf) return -1;
    ENHMETAHEADER header{};
    GetEnhMetaFileHeader(emf, sizeof header, &header);
    const int width = header.rclBounds.right - header.rclBounds.left + 1;
    const int height = header.rclBounds.bottom - header.rclBounds.top + 1;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT all{0, 0, width, height};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    PlayEnhMetaFile(memory, emf, &all);
    int ink = 0;
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2) ink += GetPixel(memory, x, y) != RGB(255, 255, 255);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DeleteEnhMetaFile(emf);
    return static_cast<double>(ink) / ((width / 2 + 1) * (height / 2 + 1));
}

// Saves the picture through "Export picture..." and its file dialog.

}  // namespace

// loops.vrd on the screen: every horizontal line and every text the
// layout gives lies where the editor drew it; one line down moves the
// drawing by one step; the overview frames the visible part and a click
// there scrolls; Export picture writes SVG and EMF.
TEST(View, TheScreenShowsTheLayout) {
    const std::string work = e2e::copyOfExample("loops.vrd", "korrin-view");
    ASSERT_FALSE(work.empty());
    e2e::TestView view(work);
    ASSERT_TRUE(view.ok());
    const RecordingCanvas drawing = view.paint(view.document().root);
    const Colour background = view.display().palette[kColourBackground];

    Editor editor;
    ASSERT_TRUE(editor.start("\"" + work + "\""));
    HWND child = diagramWindow(editor);
    ASSERT_NE(child, nullptr);
    std::size_t from = editor.log().size();
    SendMessageA(mdiClient(editor), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(child), 0);
    SetForegroundWindow(editor.frame);
    ASSERT_TRUE(editor.waitFor("paint segment", 10000, from));
    Sleep(700);
    const RECT client = screenClient(child);
    Screenshot shot;
    ASSERT_TRUE(e2e::captureScreen(client, shot));
    shot.savePng(e2e::screenshotPath("view-loops.png"));

    // Horizontal lines: on the line, and not two pixels below it.
    int lines = 0, onLine = 0, below = 0;
    for (const CanvasCall& c : drawing.only(CanvasCall::Line)) {
        const Rect& l = c.at;
        if (l.top != l.bottom || std::abs(l.right - l.left) < 8 || l.top + 2 >= shot.height) continue;
        const int x = (l.left + l.right) / 2;
        if (x >= shot.width) continue;
        ++lines;
        onLine += shot.at(x, l.top) == c.colour;
        below += shot.at(x, l.top + 2) == c.colour;
    }
    ASSERT_GT(lines, 10);
    EXPECT_GE(onLine, lines * 95 / 100) << onLine << " of " << lines;
    EXPECT_LT(below, lines / 2);
    // Texts: ink inside the box the layout gives each one.
    int texts = 0, inked = 0;
    for (const CanvasCall& c : drawing.only(CanvasCall::Text)) {
        const RECT box{c.at.left, c.at.top, c.at.left + view.textWidth(c.text),
                       c.at.top + view.context().vm().font.height};
        if (box.right > shot.width || box.bottom > shot.height || box.right - box.left < 4) continue;
        ++texts;
        bool ink = false;
        for (int y = box.top; y < box.bottom && !ink; ++y)
            for (int x = box.left; x < box.right && !ink; ++x) ink = shot.at(x, y) != background;
        inked += ink;
    }
    ASSERT_GT(texts, 5);
    EXPECT_EQ(inked, texts);

    // One line down: the drawing moves up by one step.
    from = editor.log().size();
    PostMessageA(child, WM_COMMAND, CMD_SCROLL_LINE_DOWN, 0);
    ASSERT_TRUE(editor.waitFor("scroll 209 to", 5000, from));
    const int step = lineStep(view.context().vm().lineUnit);
    EXPECT_EQ(e2e::lastLogValue(editor.log(), "scroll 209 to ", from), "0," + std::to_string(step));
    Sleep(500);
    Screenshot moved;
    ASSERT_TRUE(e2e::captureScreen(client, moved));
    int differ = 0;
    for (int y = 0; y + step < shot.height; ++y)
        for (int x = 0; x < shot.width; x += 3) differ += moved.at(x, y) != shot.at(x, y + step);
    EXPECT_LT(differ, shot.width / 3) << "pixels that did not move by " << step;

    // The overview: the visible part framed in ColorCurrentView; a click
    // centres the visible part on the point.
    from = editor.log().size();
    editor.command(CMD_OPTIONS_OVERVIEW);
    ASSERT_TRUE(editor.waitFor("overview frame", 10000, from));
    HWND overview = editor.findWindowOfClass("KivOverview");
    ASSERT_NE(overview, nullptr);
    Sleep(500);
    RECT frame{};
    SIZE size{};
    std::sscanf(e2e::lastLogValue(editor.log(), "overview frame ").c_str(), "%ld,%ld,%ld,%ld of %ldx%ld",
                &frame.left, &frame.top, &frame.right, &frame.bottom, &size.cx, &size.cy);
    const RECT overviewClient = screenClient(overview);
    Screenshot small;
    ASSERT_TRUE(e2e::captureScreen(overviewClient, small));
    small.savePng(e2e::screenshotPath("view-overview.png"));
    EXPECT_EQ(small.at((frame.left + frame.right) / 2, frame.top),
              view.display().palette[kColourCurrentView]);
    SegmentWindow expected;
    expected.clientWidth = client.right - client.left;
    expected.clientHeight = client.bottom - client.top;
    const Extent content = segmentSize(view.document().root, kViewScreen);
    const OverviewMap map{content, {size.cx, size.cy}};
    overviewScroll(map, expected, size.cx / 2, size.cy * 3 / 4);
    from = editor.log().size();
    e2e::leftClick(POINT{overviewClient.left + size.cx / 2, overviewClient.top + size.cy * 3 / 4});
    ASSERT_TRUE(editor.waitFor("overview scroll", 5000, from));
    EXPECT_EQ(e2e::lastLogValue(editor.log(), "overview scroll ", from),
              std::to_string(expected.scrollX) + "," + std::to_string(expected.scrollY));

    // Pictures: SVG with every text of the segment, EMF with ink.
    const std::string svg = e2e::tempPath("korrin-picture", ".svg");
    const std::string emf = e2e::tempPath("korrin-picture", ".emf");
    ASSERT_TRUE(e2e::exportPicture(editor, svg)) << editor.log().substr(from);
    const std::string picture = e2e::readFile(svg);
    EXPECT_TRUE(wellFormed(picture));
    for (const std::string& text : textsOf(drawing)) EXPECT_NE(picture.find(text), std::string::npos) << text;
    ASSERT_TRUE(e2e::exportPicture(editor, emf));
    EXPECT_GT(emfInk(emf), 0.01);
    closeEditor(editor);
    DeleteFileA(svg.c_str());
    DeleteFileA(emf.c_str());
    DeleteFileA(work.c_str());
}

// The batch option -svg writes the top segment as a picture and exits.
TEST(View, BatchPictureHoldsEveryText) {
    const std::string work = e2e::copyOfExample("loops.vrd", "korrin-batch");
    ASSERT_FALSE(work.empty());
    std::vector<std::string> texts;
    {
        e2e::TestView view(work);
        ASSERT_TRUE(view.ok());
        texts = textsOf(view.paint(view.document().root));
    }
    const std::string out = e2e::tempPath("korrin-batch", ".svg");
    Editor editor;
    ASSERT_TRUE(editor.launch("-svg=\"" + out + "\" \"" + work + "\""));
    EXPECT_EQ(editor.waitExit(30000), 0) << editor.errors;
    const std::string picture = e2e::readFile(out);
    EXPECT_TRUE(wellFormed(picture));
    ASSERT_GT(texts.size(), 20u);
    for (const std::string& text : texts) EXPECT_NE(picture.find(text), std::string::npos) << text;
    DeleteFileA(out.c_str());
    DeleteFileA(work.c_str());
}

// -l=6 shows segment S3 with line 6 selected (inverted where the layout
// puts it); keys and clicks move the selection; the structure list holds
// one entry per segment and Enter shows the chosen one; a second window
// on the diagram closes without a question, the last one of a changed
// diagram asks to save.
TEST(View, NavigationWindowsAndTheStructureList) {
    const std::string work = e2e::tempPath("korrin-lines", ".vrd");
    ASSERT_TRUE(e2e::writeNumberedDiagram(work));
    const std::string inserted = e2e::copyOfExample("loops.vrd", "korrin-insert");
    ASSERT_FALSE(inserted.empty());
    e2e::TestView view(work);
    ASSERT_TRUE(view.ok());
    ConstructNode* s3 = view.level(3);
    ASSERT_NE(s3, nullptr);
    ConstructNode* c = levelInfoOf(s3)->body;
    Rect boxC, boxD;
    ASSERT_TRUE(constructBox(view.context(), s3, c, &boxC));
    ASSERT_TRUE(constructBox(view.context(), s3, c->next, &boxD));

    Editor editor;
    ASSERT_TRUE(
        editor.start("-l=6 \"" + work + "\"", "[RecentFileList]\r\nInsertFile1=" + inserted + "\r\n"));
    ASSERT_TRUE(editor.waitFor("show segment 3 select line 6", 10000)) << editor.log();
    HWND child = diagramWindow(editor);
    ASSERT_NE(child, nullptr);
    SetForegroundWindow(editor.frame);
    Sleep(700);
    const POINT scroll = scrollOf(editor);
    const RECT client = screenClient(child);
    Screenshot shot;
    ASSERT_TRUE(e2e::captureScreen(client, shot));
    shot.savePng(e2e::screenshotPath("view-line.png"));
    auto onScreen = [&](const Rect& r) {
        return RECT{r.left - scroll.x, r.top - scroll.y, r.right - scroll.x, r.bottom - scroll.y};
    };
    EXPECT_GT(darkShare(shot, onScreen(boxD)), 0.6) << "the selected construct is inverted";
    EXPECT_LT(darkShare(shot, onScreen(boxC)), 0.4) << "its neighbour is not";

    // Up selects the construct above; a click selects what it hits.
    std::size_t from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(child, {}, VK_UP));
    EXPECT_TRUE(editor.waitFor("select segment 3 line 5", 5000, from)) << editor.log().substr(from);
    from = editor.log().size();
    const RECT d = onScreen(boxD);
    e2e::leftClick(POINT{client.left + (d.left + d.right) / 2, client.top + (d.top + d.bottom) / 2});
    EXPECT_TRUE(editor.waitFor("select segment 3 line 6", 5000, from)) << editor.log().substr(from);

    // The structure list: four segments; Enter on S4 shows it.
    from = editor.log().size();
    editor.command(CMD_OPTIONS_STRUCTURE_LIST);
    ASSERT_TRUE(editor.waitFor("structure list 4 entries of kind 0", 10000, from))
        << editor.log().substr(from);
    HWND list = editor.findWindowOfClass("KivLevellist");
    ASSERT_NE(list, nullptr);
    HWND tree = FindWindowExA(list, nullptr, "SysTreeView32", nullptr);
    ASSERT_NE(tree, nullptr);
    auto next = [&](WPARAM how, LPARAM item) {
        return static_cast<LPARAM>(SendMessageA(tree, TVM_GETNEXTITEM, how, item));
    };
    const LPARAM s4 = next(TVGN_NEXT, next(TVGN_CHILD, next(TVGN_ROOT, 0)));
    ASSERT_NE(s4, 0);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, s4);
    from = editor.log().size();
    ASSERT_TRUE(e2e::sendKeys(list, {}, VK_RETURN));
    EXPECT_TRUE(editor.waitFor("show segment 4", 5000, from)) << editor.log().substr(from);

    // Two windows on the diagram: closing one asks nothing.
    from = editor.log().size();
    editor.command(CMD_WINDOW_NEW);
    ASSERT_TRUE(editor.waitFor("window new made", 5000, from));
    EXPECT_EQ(diagramWindows(editor), 2);
    editor.command(CMD_WINDOW_CLOSE);
    EXPECT_EQ(editor.findDialog(1500), nullptr);
    EXPECT_EQ(diagramWindows(editor), 1);
    // Changed (a file inserted: Enter places it at the mark), the last
    // window asks to save.
    from = editor.log().size();
    editor.command(CMD_RECENT_INSERT_FIRST);
    ASSERT_TRUE(editor.waitFor("command " + std::to_string(CMD_RECENT_INSERT_FIRST) + " done", 10000, from))
        << editor.log().substr(from);
    ASSERT_TRUE(e2e::sendKeys(editor.frame, {}, VK_RETURN));
    ASSERT_TRUE(editor.waitFor(e2e::logLine("insert", {CMD_INSERT_FILE}, "placed"), 5000, from))
        << editor.log().substr(from);
    editor.command(CMD_WINDOW_CLOSE);
    HWND question = editor.findDialog(5000);
    ASSERT_NE(question, nullptr);
    EXPECT_NE(e2e::dialogText(question).find("Save changes"), std::string::npos) << e2e::dialogText(question);
    PostMessageA(question, WM_COMMAND, IDNO, 0);
    Sleep(500);
    EXPECT_EQ(diagramWindows(editor), 1) << "an untitled window takes its place";
    closeEditor(editor);
    DeleteFileA(work.c_str());
    DeleteFileA(inserted.c_str());
}

// A top segment over the worksheet limit: 20057 once, and the editor
// still answers.
TEST(View, ASegmentOverTheWorksheetLimitIsReportedOnce) {
    const std::string work = e2e::tempPath("korrin-huge", ".vrd");
    {
        DiagramDocument doc{};
        ConstructNode* body = nullptr;
        for (int i = 2999; i >= 0; --i) {
            ConstructNode* n = e2e::statement(("statement " + std::to_string(i)).c_str());
            body = body ? e2e::sequence({n, body}) : n;
        }
        ASSERT_TRUE(e2e::writeDiagram(doc, e2e::segment(doc, "huge", body), work));
    }
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + work + "\""));
    HWND box = editor.findDialog(10000);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(e2e::dialogText(box).find("exceeds worksheet area"), std::string::npos) << e2e::dialogText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(500);
    HWND child = diagramWindow(editor);
    ASSERT_NE(child, nullptr);
    RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PostMessageA(child, WM_COMMAND, CMD_SCROLL_LINE_DOWN, 0);
    SendMessageA(mdiClient(editor), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(child), 0);
    EXPECT_EQ(editor.findDialog(2000), nullptr);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(editor.frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &answer), 0);
    const std::string log = editor.log();
    std::size_t count = 0;
    for (std::size_t at = log.find("message 20057"); at != std::string::npos;
         at = log.find("message 20057", at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << log;
    closeEditor(editor);
    DeleteFileA(work.c_str());
}

// File > Properties on loops.vrd: Layout... shows the diagram's if layout
// and switches it, the window is laid out again and the saved file carries
// the choice; Screen font... (the font dialog) changes the drawing and
// becomes the default in the settings file; a change of the system's fonts
// repaints with the font made anew.
TEST(View, LayoutAndScreenFontChangeTheDiagramAndItsFile) {
    const std::string work = e2e::copyOfExample("loops.vrd", "korrin-layout");
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + work + "\""));
    HWND child = diagramWindow(editor);
    ASSERT_NE(child, nullptr);
    auto content = [&](std::size_t from) {
        RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        editor.waitFor(" content ", 10000, from);
        return e2e::lastLogValue(editor.log(), " content ", from);
    };
    const std::string horizontal = content(0);
    // The If of the file's transfer file once saved.
    auto savedIfLayout = [&]() -> std::string {
        const std::size_t from = editor.log().size();
        editor.command(CMD_FILE_SAVE);
        if (!editor.waitFor(e2e::logLine("command", {CMD_FILE_SAVE}, "done"), 10000, from))
            return "not saved";
        e2e::TestView saved(work);
        const std::string etf = e2e::tempPath("korrin-layout", ".etf");
        if (!saved.ok() || exportTransferFile(&saved.document(), etf.c_str(), false) != 1) return "no export";
        const std::string text = e2e::readFile(etf);
        DeleteFileA(etf.c_str());
        const std::size_t at = text.find("IfLayout=");
        return at == std::string::npos ? "none" : text.substr(at + 9, text.find('\r', at) - at - 9);
    };
    // Chooses the if layout in the dialog; the button that was checked.
    auto chooseIfLayout = [&](int button) -> int {
        const std::size_t from = editor.log().size();
        editor.command(CMD_FILE_LAYOUT);
        HWND dialog = editor.findDialog(10000);
        if (!dialog) return 0;
        const int was = SendDlgItemMessageA(dialog, IDC_LAYOUT_VERTICAL, BM_GETCHECK, 0, 0) == BST_CHECKED
                            ? IDC_LAYOUT_VERTICAL
                            : IDC_LAYOUT_HORIZONTAL;
        SendDlgItemMessageA(dialog, button, BM_CLICK, 0, 0);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(300);
        RECT shown;
        GetWindowRect(dialog, &shown);
        e2e::saveScreenPng(shown, e2e::screenshotPath("view-layout-dialog.png"));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_LAYOUT}, "done"), 10000, from))
            << editor.log().substr(from);
        return was;
    };

    EXPECT_EQ(chooseIfLayout(IDC_LAYOUT_VERTICAL), IDC_LAYOUT_HORIZONTAL);
    std::size_t from = editor.log().size();
    const std::string vertical = content(from);
    EXPECT_NE(vertical, horizontal) << "laid out again";
    EXPECT_EQ(savedIfLayout(), "vertical");
    EXPECT_EQ(chooseIfLayout(IDC_LAYOUT_HORIZONTAL), IDC_LAYOUT_VERTICAL);
    from = editor.log().size();
    EXPECT_EQ(content(from), horizontal);
    EXPECT_EQ(savedIfLayout(), "horizontal");

    // The font dialog: 16 points of the face it shows.
    from = editor.log().size();
    editor.command(CMD_FILE_SCREEN_FONT);
    HWND fonts = editor.findDialog(10000);
    ASSERT_NE(fonts, nullptr);
    constexpr int kFaceCombo = 0x470, kSizeCombo = 0x472;
    HWND sizes = GetDlgItem(fonts, kSizeCombo);
    ASSERT_GE(SendMessageA(sizes, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("16")),
              0);
    SendMessageA(fonts, WM_COMMAND, MAKEWPARAM(kSizeCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
    HWND faces = GetDlgItem(fonts, kFaceCombo);
    const LRESULT faceAt = SendMessageA(faces, CB_GETCURSEL, 0, 0);
    ASSERT_GE(faceAt, 0);
    wchar_t wide[64] = {};
    ASSERT_LT(SendMessageW(faces, CB_GETLBTEXTLEN, faceAt, 0), 64);
    SendMessageW(faces, CB_GETLBTEXT, faceAt, reinterpret_cast<LPARAM>(wide));
    char face[64] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, face, sizeof face, nullptr, nullptr);
    const std::string chosen = std::string(face) + ",16";
    PostMessageA(fonts, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_SCREEN_FONT}, "done"), 10000, from))
        << editor.log().substr(from);
    EXPECT_NE(editor.log().find("screen font " + chosen, from), std::string::npos)
        << editor.log().substr(from);
    from = editor.log().size();
    const std::string larger = content(from);
    int w0 = 0, h0 = 0, w1 = 0, h1 = 0;
    std::sscanf(horizontal.c_str(), "%d,%d", &w0, &h0);
    std::sscanf(larger.c_str(), "%d,%d", &w1, &h1);
    EXPECT_GT(h1, h0) << larger << " after " << horizontal;
    char value[64] = {};
    GetPrivateProfileStringA("Settings", "ScreenFont", "", value, sizeof value, editor.settings.c_str());
    EXPECT_EQ(value, chosen);
    // Fonts installed or removed: the same choice is made and measured anew.
    from = editor.log().size();
    editor.post(WM_FONTCHANGE);
    ASSERT_TRUE(editor.waitFor(" content ", 10000, from)) << "repainted";
    EXPECT_EQ(e2e::lastLogValue(editor.log(), " content ", from), larger);
    closeEditor(editor);
    DeleteFileA(work.c_str());
}
