// The print job: the printer's device context, the printer font at any
// height, the sheets drawn with the painter, the progress dialog and the
// abort procedure, PrintDelay and the spooler's errors; the structure
// list as text lines; the page count of the status bar.
#include <windows.h>
// windows.h first
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "core/host.h"
#include "core/path.h"
#include "platform/platform.h"
#include "print/page_header.h"
#include "print/print_job_win32.h"
#include "resources/dialog_ids.h"
#include "resources/strings.h"
#include "view/gdi_win32.h"
#include "view/painter.h"

PrintEnvironment g_printEnvironment;

// ---------------------------------------------------------------------------
// The printer

unsigned openPrinter(const char* requested, bool information, PrinterDc& out) {
    const PrinterChoice* chosen = g_printEnvironment.printer;
    char name[MAX_PATH] = {};
    if (requested && requested[0]) {
        lstrcpynA(name, requested, sizeof name);
    } else if (chosen && chosen->name[0]) {
        lstrcpynA(name, chosen->name, sizeof name);
    } else {
        // The default printer ("device" in the "windows" section), asked
        // of the spooler, which knows the printers there are now.
        DWORD size = sizeof name;
        if (!GetDefaultPrinterA(name, &size)) name[0] = 0;
    }
    if (!name[0]) return IDS_NO_DEFAULT_PRINTER;
    // The stored device mode belongs to its printer only.
    const DEVMODEA* mode = chosen && chosen->devMode && lstrcmpiA(chosen->name, name) == 0
                               ? reinterpret_cast<const DEVMODEA*>(chosen->devMode)
                               : nullptr;
    out.dc = information ? CreateICA(nullptr, name, nullptr, mode) : CreateDCA(nullptr, name, nullptr, mode);
    if (!out.dc) return IDS_NO_PRINTER_INFORMATION;
    lstrcpynA(out.name, name, sizeof out.name);
    out.dpiY = std::max(1, GetDeviceCaps(out.dc, LOGPIXELSY));
    return 0;
}

PrinterDc::~PrinterDc() {
    if (dc) DeleteDC(dc);
}

// ---------------------------------------------------------------------------
// Fonts

FontOnDc::FontOnDc(HDC dc, HFONT font) : dc_(dc), font_(font) {
    select();
    GetTextMetricsA(dc_, &tm_);
}

FontOnDc::~FontOnDc() {
    if (GetCurrentObject(dc_, OBJ_FONT) == font_) SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    if (font_) DeleteObject(font_);
}

void FontOnDc::select() const {
    if (GetCurrentObject(dc_, OBJ_FONT) != font_) SelectObject(dc_, font_);
}

FontMetrics FontOnDc::font() const {
    return {tm_.tmHeight, tm_.tmDescent, tm_.tmAveCharWidth, tm_.tmInternalLeading};
}

DeviceResolution FontOnDc::resolution() const {
    return {GetDeviceCaps(dc_, HORZRES), GetDeviceCaps(dc_, VERTRES), GetDeviceCaps(dc_, HORZSIZE),
            GetDeviceCaps(dc_, VERTSIZE)};
}

std::int32_t FontOnDc::textWidth(const char* text, int length) const {
    if (length <= 0) return 0;
    select();
    SIZE size{};
    GetTextExtentPoint32A(dc_, text, length, &size);
    return size.cx;
}

namespace {
HFONT fontOfHeight(const FontChoice& choice, std::int32_t height) {
    LOGFONTA lf{};
    lf.lfHeight = -height;
    lf.lfWeight = choice.weight;
    lf.lfItalic = choice.italic ? TRUE : FALSE;
    lf.lfCharSet = choice.charSet;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynA(lf.lfFaceName, choice.face, LF_FACESIZE);
    return CreateFontIndirectA(&lf);
}
}  // namespace

GdiPrinterFonts::GdiPrinterFonts(HDC dc, const FontChoice& choice)
    : dc_(dc), choice_(choice), dpiY_(std::max(1, GetDeviceCaps(dc, LOGPIXELSY))) {
    height_ = std::max(1, MulDiv(choice.points, dpiY_, 72));
    base_ = std::make_unique<FontOnDc>(dc, fontOfHeight(choice, height_));
}

std::int32_t GdiPrinterFonts::unitsPerPoint() const {
    return std::max(1, dpiY_ / 72);
}

std::int32_t GdiPrinterFonts::fromTenths(std::int32_t tenths) const {
    return MulDiv(tenths, dpiY_, 720);
}

const TextMetrics* GdiPrinterFonts::at(std::int32_t height) {
    fitted_ = std::make_unique<FontOnDc>(dc_, fontOfHeight(choice_, height));
    return fitted_.get();
}

HFONT GdiPrinterFonts::fontOf(const ViewContext& ctx) const {
    return ctx.view == kViewPrinterFitted && fitted_ ? fitted_->handle() : base_->handle();
}

// ---------------------------------------------------------------------------
// The header

namespace {

// The last word of the version text ("Version 1.0" gives "1.0").
const char* versionNumber(const char* text) {
    const char* blank = text ? std::strrchr(text, ' ') : nullptr;
    return blank ? blank + 1 : (text ? text : "");
}

void formatTime(std::uint64_t fileTime, bool date, char* out, int size) {
    out[0] = 0;
    if (!fileTime) return;
    FILETIME ft{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st)) return;
    if (date)
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, out, size);
    else
        GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, out, size);
}

}  // namespace

JobHeader::JobHeader(const DiagramDocument* document) {
    const PrintEnvironment& env = g_printEnvironment;
    const char* path = document ? document->ownFile.path : "";
    lstrcpynA(pathName, path, sizeof pathName);
    lstrcpynA(fileName, path[0] ? fileNameOf(path) : env.untitled, sizeof fileName);
    formatTime(document ? document->ownFile.fileTime : 0, true, saveDate, sizeof saveDate);
    formatTime(document ? document->ownFile.fileTime : 0, false, saveTime, sizeof saveTime);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, printDate, sizeof printDate);
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &now, nullptr, printTime, sizeof printTime);
    fields.application = env.application;
    fields.version = versionNumber(env.version);
    fields.fileName = fileName;
    fields.pathName = pathName;
    fields.saveDate = saveDate;
    fields.saveTime = saveTime;
    fields.printDate = printDate;
    fields.printTime = printTime;
    char first[256] = {};
    char second[256] = {};
    platform::loadString(IDS_PAGE_HEADER_1, first, sizeof first);
    platform::loadString(IDS_PAGE_HEADER_2, second, sizeof second);
    std::snprintf(pattern, sizeof pattern, "%s%s", first, second);
}

void JobHeader::draw(HDC dc, HFONT font, std::int32_t width, unsigned page) const {
    const HeaderLine line = pageHeaderLine(pattern, fields, page);
    const int saved = SaveDC(dc);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutA(dc, 0, 0, line.left, static_cast<int>(std::strlen(line.left)));
    SetTextAlign(dc, TA_RIGHT | TA_TOP | TA_NOUPDATECP);
    TextOutA(dc, width, 0, line.right, static_cast<int>(std::strlen(line.right)));
    RestoreDC(dc, saved);
}

std::int32_t headerHeight(HDC dc, HFONT font) {
    const int saved = SaveDC(dc);
    SelectObject(dc, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    RestoreDC(dc, saved);
    return 2 * (tm.tmHeight + tm.tmExternalLeading);
}

// ---------------------------------------------------------------------------
// The job

namespace {

bool g_cancelled = false;
HWND g_progress = nullptr;

BOOL CALLBACK AbortProc(HDC, int) {
    MSG msg;
    while (!g_cancelled && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop, after the job
            break;
        }
        if (!g_progress || !IsDialogMessageA(g_progress, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return !g_cancelled;
}

INT_PTR CALLBACK AbortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                g_cancelled = true;
                EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

void setStatus(unsigned id, unsigned page, const char* segment) {
    char text[kMaxFormatted];
    formatMessage(text, id, page, segment ? segment : "");
    if (Host* host = currentHost()) host->setStatusText(text);
    if (g_progress) SetDlgItemTextA(g_progress, IDC_PROGRESS_LINE4, text);
}

// Reports a failed StartPage, EndPage or EndDoc once.
struct SpoolerErrors {
    bool failed = false;
    bool check(int result) {
        if (result > 0) return true;
        if (!failed && !g_cancelled) {
            const unsigned long error = GetLastError();
            char reason[128] = {};
            platform::loadString(spoolerErrorText(result, error), reason, sizeof reason);
            showMessage(IDS_ERROR_WHILE_PRINTING, kBoxDefault, reason);
        }
        failed = true;
        return false;
    }
};

class GdiPageSink final : public PageSink {
public:
    GdiPageSink(HDC dc, GdiPrinterFonts& fonts, const PageFrame& frame, const JobHeader* header,
                SpoolerErrors& errors)
        : dc_(dc), fonts_(fonts), frame_(frame), header_(header), errors_(errors) {}

    bool startSheet(unsigned page, const ConstructNode* level) override {
        char name[kMaxFormatted];
        segmentName(level, name, sizeof name);
        setStatus(IDS_PRINTING_DIAGRAM, page, name);
        if (!errors_.check(StartPage(dc_))) return false;
        if (header_) header_->draw(dc_, fonts_.baseFont(), frame_.width, page);
        return AbortProc(dc_, 0) != FALSE;
    }
    bool drawPart(const ViewContext& ctx, ConstructNode* level, const Rect& part, std::int32_t x,
                  std::int32_t y) override {
        const int saved = SaveDC(dc_);
        SetViewportOrgEx(dc_, x - part.left, frame_.headerHeight + y - part.top, nullptr);
        IntersectClipRect(dc_, part.left, part.top, part.right, part.bottom);
        {
            GdiCanvas canvas(dc_, fonts_.fontOf(ctx));
            paintSegment(ctx, canvas, level);
        }
        RestoreDC(dc_, saved);
        return AbortProc(dc_, 0) != FALSE;
    }
    bool endSheet() override { return errors_.check(EndPage(dc_)) && AbortProc(dc_, 0) != FALSE; }

private:
    HDC dc_;
    GdiPrinterFonts& fonts_;
    PageFrame frame_;
    const JobHeader* header_;
    SpoolerErrors& errors_;
};

// The structure list as text lines in the printer font.
bool printStructureList(HDC dc, GdiPrinterFonts& fonts, const PageFrame& frame, const JobHeader* header,
                        const PrintSettings& settings, DiagramDocument* document, SpoolerErrors& errors) {
    StructureList list;
    if (!buildStructureList(document, settings.listKind, 0, list)) return false;
    const FontMetrics font = fonts.base().font();
    TEXTMETRICA tm{};
    fonts.base().select();
    GetTextMetricsA(dc, &tm);
    const std::int32_t lineHeight = font.height + tm.tmExternalLeading;
    if (lineHeight <= 0 || lineHeight > frame.bodyHeight()) {
        showMessage(IDS_STRUCTURE_LIST_FONT, kBoxDefault);
        return false;
    }
    const ListPages pages = listPages(static_cast<int>(list.entries.size()), lineHeight, frame);
    std::size_t next = 0;
    for (int page = 0; page < pages.pages; ++page) {
        const unsigned number = settings.startPageNumber + static_cast<unsigned>(page);
        setStatus(IDS_PRINTING_STRUCTURE_LIST, number, nullptr);
        if (!errors.check(StartPage(dc))) return false;
        if (header) header->draw(dc, fonts.baseFont(), frame.width, number);
        const int saved = SaveDC(dc);
        SelectObject(dc, fonts.baseFont());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        for (int line = 0; line < pages.linesPerPage && next < list.entries.size(); ++line, ++next) {
            char text[512];
            listLine(list.entries[next], text, sizeof text);
            TextOutA(dc, 0, frame.headerHeight + line * lineHeight, text,
                     static_cast<int>(std::strlen(text)));
        }
        RestoreDC(dc, saved);
        if (!AbortProc(dc, 0)) return false;
        if (!errors.check(EndPage(dc))) return false;
    }
    return true;
}

}  // namespace

PrintSetup printSetupFor(const PrintTarget& target, const PrintSettings& settings, GdiPrinterFonts& fonts,
                         HDC dc, OutputTarget output) {
    PrintSetup setup;
    setup.ctx.view = kViewPrinter;
    setup.ctx.target = output;
    setup.ctx.state = target.state;
    setup.ctx.display = target.display;
    setup.ctx.config = target.config;
    setup.ctx.metrics = &fonts.base();
    setup.fonts = &fonts;
    setup.settings = settings;
    setup.frame.width = GetDeviceCaps(dc, HORZRES);
    setup.frame.height = GetDeviceCaps(dc, VERTRES);
    setup.frame.headerHeight = settings.pageHeader ? headerHeight(dc, fonts.baseFont()) : 0;
    return setup;
}

bool runPrintJob(const PrintTarget& target, const PrintSettings& settings, const char* device) {
    const PrintEnvironment& env = g_printEnvironment;
    if (!target.document || !target.state || !target.display) return false;
    PrinterDc printer;
    if (unsigned failure = openPrinter(device, false, printer)) {
        showMessage(failure, kBoxDefault);
        return false;
    }
    GdiPrinterFonts fonts(printer.dc, target.display->printerFont);
    // The printer may be another than the one the layout was made for.
    invalidateLayout(*target.state, kInvalidatePrinterFont);
    const bool list = settings.area == kAreaStructureList;
    const JobHeader header(target.document);
    char documentName[kMaxFormatted];
    char pattern[256] = {};
    if (list) {
        platform::loadString(IDS_STRUCTURE_LIST_JOB, pattern, sizeof pattern);
        expandHeader(pattern, header.fields, 0, documentName, sizeof documentName);
    } else {
        platform::loadString(IDS_PAGE_HEADER_1, pattern, sizeof pattern);
        expandHeader(pattern, header.fields, 0, documentName, sizeof documentName);
    }

    // The frame is disabled while the job runs; the progress dialog's
    // Cancel stays usable through the abort procedure.
    g_cancelled = false;
    if (env.frame) EnableWindow(env.frame, FALSE);
    g_progress =
        CreateDialogParamA(env.instance, MAKEINTRESOURCEA(IDD_PRINT_PROGRESS), env.frame, AbortDialogProc, 0);
    if (g_progress) {
        SetDlgItemTextA(g_progress, IDC_PROGRESS_LINE1, documentName);
        SetDlgItemTextA(g_progress, IDC_PROGRESS_LINE2, printer.name);
        if (env.frame && IsWindowVisible(env.frame)) ShowWindow(g_progress, SW_SHOW);
    }
    SetAbortProc(printer.dc, AbortProc);
    const DWORD started = GetTickCount();

    bool ok = false;
    SpoolerErrors errors;
    DOCINFOA info{};
    info.cbSize = sizeof info;
    info.lpszDocName = documentName;
    if (StartDocA(printer.dc, &info) <= 0) {
        showMessage(IDS_UNABLE_TO_PRINT, kBoxDefault);
    } else {
        PrintSetup setup = printSetupFor(target, settings, fonts, printer.dc, OutputTarget::PrintJob);
        const JobHeader* shown = settings.pageHeader ? &header : nullptr;
        bool printed;
        if (list) {
            printed =
                printStructureList(printer.dc, fonts, setup.frame, shown, settings, target.document, errors);
        } else {
            GdiPageSink sink(printer.dc, fonts, setup.frame, shown, errors);
            SegmentWindow* w = target.window;
            ConstructNode* current = w && w->shownSegment ? w->shownSegment : target.document->root;
            const bool selected = settings.area == kAreaSelection && w && w->selectionFirst;
            const PrintOutcome outcome =
                printArea(setup, target.document, current, selected ? w->selectionFirst : nullptr,
                          selected ? w->selectionLast : nullptr, sink);
            printed = !outcome.stopped && !outcome.unreadable && outcome.sheets > 0;
        }
        // The job stays open for PrintDelay seconds from its start.
        while (printed && !g_cancelled && !errors.failed &&
               GetTickCount() - started < static_cast<DWORD>(settings.printDelay) * 1000u) {
            AbortProc(printer.dc, 0);
            Sleep(20);
        }
        if (printed && !g_cancelled && !errors.failed) {
            ok = errors.check(EndDoc(printer.dc));
        } else {
            AbortDoc(printer.dc);
        }
    }
    if (env.frame) EnableWindow(env.frame, TRUE);
    if (g_progress) DestroyWindow(g_progress);
    g_progress = nullptr;
    if (Host* host = currentHost()) host->setStatusText("");
    return ok;
}
