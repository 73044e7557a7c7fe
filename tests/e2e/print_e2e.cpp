// Printing end to end: korrin.exe prints through Wine onto the PDF printer
// of a private CUPS daemon (scripts/private-printer.sh, started by the
// CTest fixture), and the test reads the PDFs back with poppler-utils
// (scripts/pdf-tool.sh): the texts and page numbers on the pages, the
// number of pages, the first page as a PNG kept in the screenshots
// folder. Also Cancel in the progress dialog and the page preview on the
// screen. (The batch run without a printer is batch_e2e's: Wine gives a
// program it starts the printers of the test's own CUPS_SERVER.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "resources/dialog_ids.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/view_support.h"

using e2e::Editor;

namespace {

std::string env(const char* name) {
    char value[MAX_PATH] = {};
    GetEnvironmentVariableA(name, value, sizeof value);
    return value;
}

// The PDF printer's output folder as Windows sees it.
std::string pdfFolder() {
    return e2e::windowsPath(env("KORRIN_PDF_DIR"));
}

std::vector<std::string> pdfs() {
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((pdfFolder() + "\\*.pdf").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do found.push_back(pdfFolder() + "\\" + data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return found;
}

void clearPdfs() {
    for (const std::string& pdf : pdfs()) DeleteFileA(pdf.c_str());
}

// The PDFs once the printer has written `count` of them (the job runs on
// after the editor ended).
std::vector<std::string> waitForPdfs(std::size_t count, DWORD timeoutMs = 60000) {
    const DWORD start = GetTickCount();
    while (pdfs().size() < count && GetTickCount() - start < timeoutMs) Sleep(200);
    return pdfs();
}

// "Z:\x\y" as the Unix path /x/y.
std::string unixPath(const std::string& path) {
    std::string p =
        path.size() > 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':' ? path.substr(2) : path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

// Runs scripts/pdf-tool.sh (a Unix program: Wine starts it but cannot wait
// for it) and waits for what it writes; "" when nothing came.
std::string pdfTool(const char* what, const std::string& pdf, const std::string& out,
                    DWORD timeoutMs = 30000) {
    DeleteFileA(out.c_str());
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        std::string line = env("KORRIN_PDF_TOOL") + " " + what + " " + unixPath(pdf) + " " + unixPath(out);
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back(0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            if (process.hProcess) CloseHandle(process.hProcess);
            if (process.hThread) CloseHandle(process.hThread);
        }
        for (int i = 0; i < 25; ++i) {
            if (GetFileAttributesA(out.c_str()) != INVALID_FILE_ATTRIBUTES) return e2e::readFile(out);
            Sleep(200);
        }
    }
    return "";
}

int pageCount(const std::string& pdf) {
    const std::string info = pdfTool("info", pdf, pdfFolder() + "\\info.txt");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// The settings of a run: the example configuration and `more` keys.
std::string settings(const std::string& more = "") {
    return "[Settings]\r\nConfigurationFile=" + e2e::examplePath("pascal.cfg") + "\r\n" + more;
}

// One batch print: the exit code, and the PDF it left ("" for none).
struct Printed {
    int exitCode = -1;
    std::string errors;
    std::string pdf;
    std::string text;
};
Printed batchPrint(const std::string& arguments, const std::string& settingsText, bool expectPdf = true) {
    clearPdfs();
    Printed p;
    Editor editor;
    if (!editor.start(arguments, settingsText, false)) return p;
    p.exitCode = editor.waitExit(90000);
    p.errors = e2e::readFile(editor.errors);
    if (!expectPdf) return p;
    const std::vector<std::string> files = waitForPdfs(1);
    if (files.size() != 1) return p;
    p.pdf = files[0];
    p.text = pdfTool("text", p.pdf, pdfFolder() + "\\text.txt");
    return p;
}

bool holds(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

// A visible dialog of the process that has the control `id`.
HWND dialogWith(const Editor& editor, int id, DWORD timeoutMs = 15000) {
    struct Search {
        DWORD process;
        int id;
        HWND found;
    } search{editor.process.dwProcessId, id, nullptr};
    const DWORD start = GetTickCount();
    while (!search.found && GetTickCount() - start < timeoutMs) {
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                char name[16] = {};
                GetClassNameA(window, name, sizeof name);
                if (process == s->process && IsWindowVisible(window) && std::string(name) == "#32770" &&
                    GetDlgItem(window, s->id))
                    s->found = window;
                return s->found ? FALSE : TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(100);
    }
    return search.found;
}

POINT centreOf(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

TEST(Print, BatchPrintsTheDiagramWithItsHeaderAndPageNumbers) {
    const std::string loops = e2e::examplePath("loops.vrd");
    Printed p = batchPrint("-p \"" + loops + "\"", settings());
    EXPECT_EQ(p.exitCode, 0) << p.errors;
    ASSERT_FALSE(p.pdf.empty()) << "no PDF";
    for (const char* construct :
         {"program Loops;", "Sum of 1 to 10", "n := 3 * n + 1;", "Multiplication table"})
        EXPECT_TRUE(holds(p.text, construct)) << construct << "\n" << p.text;
    EXPECT_TRUE(holds(p.text, "loops.vrd")) << p.text;
    EXPECT_TRUE(holds(p.text, "Page 1")) << p.text;
    // The first page as a picture, for review.
    const std::string png = e2e::screenshotPath("print-loops-page1.png");
    EXPECT_FALSE(pdfTool("png", p.pdf, png).empty());

    // The first page number from the settings; the printer by name.
    p = batchPrint("-p=KorrinPDF \"" + loops + "\"", settings("PrtStartPageNum=5\r\n"));
    EXPECT_EQ(p.exitCode, 0) << p.errors;
    EXPECT_TRUE(holds(p.text, "Page 5")) << p.text;
    EXPECT_FALSE(holds(p.text, "Page 1")) << p.text;
}

TEST(Print, AWideSegmentAcrossPagesAndFittedIntoOne) {
    const std::string wide = e2e::tempPath("kwide", ".vrd");
    {
        DiagramDocument doc{};
        const std::string line(240, 'W');
        ConstructNode* top =
            e2e::segment(doc, "wide", e2e::sequence({e2e::statement("first"), e2e::statement(line.c_str())}));
        ASSERT_TRUE(e2e::writeDiagram(doc, top, wide));
    }
    Printed cut = batchPrint("-p \"" + wide + "\"", settings("PrtFitIntoPage=no\r\n"));
    EXPECT_EQ(cut.exitCode, 0) << cut.errors;
    ASSERT_FALSE(cut.pdf.empty());
    const int across = pageCount(cut.pdf);
    EXPECT_GT(across, 1);
    EXPECT_TRUE(holds(cut.text, "Page 2")) << cut.text;

    Printed fitted =
        batchPrint("-p \"" + wide + "\"", settings("PrtFitIntoPage=yes\r\nPrtMinFontSize=10\r\n"));
    EXPECT_EQ(fitted.exitCode, 0) << fitted.errors;
    ASSERT_FALSE(fitted.pdf.empty());
    EXPECT_EQ(pageCount(fitted.pdf), 1);
    EXPECT_TRUE(holds(fitted.text, "first")) << fitted.text;
    DeleteFileA(wide.c_str());
}

TEST(Print, SaveSpaceSharesSheetsAndTheStructureListPrints) {
    const std::string primes = e2e::examplePath("primes.vrd");
    Printed apart = batchPrint("-p \"" + primes + "\"", settings("PrtSaveSpace=no\r\n"));
    EXPECT_EQ(apart.exitCode, 0) << apart.errors;
    ASSERT_FALSE(apart.pdf.empty());
    const int pagesApart = pageCount(apart.pdf);
    Printed shared = batchPrint("-p \"" + primes + "\"", settings("PrtSaveSpace=yes\r\n"));
    EXPECT_EQ(shared.exitCode, 0) << shared.errors;
    ASSERT_FALSE(shared.pdf.empty());
    const int pagesShared = pageCount(shared.pdf);
    EXPECT_GT(pagesApart, 1);
    EXPECT_LT(pagesShared, pagesApart);
    // One page number for a shared sheet: page 1 holds two segments.
    const std::size_t second = shared.text.find("Page 2");
    const std::string first = shared.text.substr(0, second);
    EXPECT_TRUE(holds(first, "program Primes;")) << shared.text;
    EXPECT_TRUE(holds(first, "Fibonacci numbers")) << shared.text;

    Printed list = batchPrint("-ps \"" + primes + "\"", settings());
    EXPECT_EQ(list.exitCode, 0) << list.errors;
    EXPECT_TRUE(holds(list.text, "Page 1")) << list.text;
    EXPECT_TRUE(holds(list.text, "Fibonacci numbers")) << list.text;
    EXPECT_FALSE(holds(list.text, "program Primes;")) << "segments only, not their bodies\n" << list.text;
}

TEST(Print, CancelInTheProgressDialogLeavesNoPdfAndTheFrameEnabled) {
    clearPdfs();
    Editor editor;
    // The job stays open for a minute: time to press Cancel.
    ASSERT_TRUE(editor.start("\"" + e2e::examplePath("loops.vrd") + "\"", settings("PrintDelay=60\r\n")));
    editor.command(CMD_FILE_PRINT);
    HWND dialog = dialogWith(editor, IDC_PRINT_SEGMENTS);
    ASSERT_NE(dialog, nullptr) << editor.log();
    EXPECT_NE(e2e::dialogText(dialog).find("Entire structure diagram"), std::string::npos);
    ASSERT_TRUE(e2e::leftClick(centreOf(GetDlgItem(dialog, IDOK))));
    HWND progress = dialogWith(editor, IDC_PROGRESS_LINE1);
    ASSERT_NE(progress, nullptr) << editor.log();
    EXPECT_FALSE(IsWindowEnabled(editor.frame)) << "the frame is disabled while the job runs";
    ASSERT_TRUE(e2e::leftClick(centreOf(GetDlgItem(progress, IDCANCEL))));
    const DWORD start = GetTickCount();
    while (IsWindow(progress) && GetTickCount() - start < 15000) Sleep(100);
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_TRUE(IsWindowEnabled(editor.frame));
    Sleep(3000);
    EXPECT_TRUE(pdfs().empty()) << "a cancelled job prints nothing";
    editor.command(CMD_FILE_EXIT);
    EXPECT_EQ(editor.waitExit(), 0);
}

TEST(Print, ThePagePreviewShowsTheFirstPage) {
    Editor editor;
    ASSERT_TRUE(editor.start("\"" + e2e::examplePath("loops.vrd") + "\"", settings()));
    editor.command(CMD_OPTIONS_PAGE_PREVIEW);
    HWND preview = nullptr;
    const DWORD start = GetTickCount();
    while (!preview && GetTickCount() - start < 15000) {
        preview = FindWindowA("#32770", "Page preview");
        if (!preview) Sleep(100);
    }
    ASSERT_NE(preview, nullptr);
    SetWindowPos(preview, HWND_TOP, 40, 40, 300, 420, SWP_SHOWWINDOW);
    UpdateWindow(preview);
    Sleep(1500);
    RECT client;
    GetClientRect(preview, &client);
    POINT origin{0, 0};
    ClientToScreen(preview, &origin);
    const RECT screen{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    e2e::Screenshot shot;
    ASSERT_TRUE(e2e::captureScreen(screen, shot));
    EXPECT_TRUE(shot.savePng(e2e::screenshotPath("page-preview.png")));
    // The sheet is white with the page delimiters around it, and the
    // diagram's lines are drawn on it.
    int white = 0, delimiter = 0, black = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const COLORREF c = shot.at(x, y);
            white += c == RGB(255, 255, 255);
            delimiter += c == RGB(0, 255, 0);
            black += c == RGB(0, 0, 0);
        }
    const int area = shot.width * shot.height;
    EXPECT_GT(white, area / 4);
    EXPECT_GT(delimiter, 0);
    EXPECT_GT(black, 100);
    editor.command(CMD_OPTIONS_PAGE_PREVIEW);  // closed again: no settings changed
    editor.command(CMD_FILE_EXIT);
    EXPECT_EQ(editor.waitExit(), 0);
}
