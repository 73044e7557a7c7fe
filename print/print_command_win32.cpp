// The print commands: Print (the Print dialog, or the print scope of a
// batch run), printer setup, the page preview; and the status bar's count
// of the pages the shown segment needs.
#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/host.h"
#include "platform/platform.h"
#include "print/print_job_win32.h"
#include "resources/dialog_ids.h"
#include "resources/strings.h"
#include "view/gdi_win32.h"
#include "view/painter.h"

namespace {

// Moves on whenever the printer or the print options change.
unsigned g_printerGeneration = 1;

PrintSettings loadedSettings() {
    PrintSettings s;
    loadPrintSettings(s, g_printEnvironment.settingsFile);
    return s;
}

// ---------------------------------------------------------------------------
// The Print dialog

struct DialogState {
    PrintSettings settings;
    PrintTarget target;
    bool hasSelection;
    bool extended;
    std::vector<ConstructNode*> listed;  // the segments of the preview list
};

int numberField(HWND dialog, int id, int fallback) {
    char text[16] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    if (!text[0]) return fallback;
    return std::atoi(text);
}

void readDialog(HWND dialog, DialogState& d) {
    PrintSettings& s = d.settings;
    if (IsDlgButtonChecked(dialog, IDC_PRINT_CURRENT)) s.area = kAreaCurrentSegment;
    if (IsDlgButtonChecked(dialog, IDC_PRINT_SELECTED)) s.area = kAreaSelection;
    if (IsDlgButtonChecked(dialog, IDC_PRINT_DIAGRAM)) s.area = kAreaDiagram;
    if (IsDlgButtonChecked(dialog, IDC_PRINT_LIST)) s.area = kAreaStructureList;
    s.lowerSegments = IsDlgButtonChecked(dialog, IDC_PRINT_LOWER) == BST_CHECKED;
    const int depth = numberField(dialog, IDC_PRINT_DEPTH, kNoDepthLimit);
    s.maxDepth = static_cast<std::uint16_t>(depth < 0 || depth > 65535 ? kNoDepthLimit : depth);
    s.pageHeader = IsDlgButtonChecked(dialog, IDC_PRINT_HEADER) == BST_CHECKED;
    const int first = numberField(dialog, IDC_PRINT_FIRST, 1);
    s.startPageNumber = static_cast<std::uint16_t>(first < 0 || first > 65535 ? 1 : first);
    s.fitIntoPage = IsDlgButtonChecked(dialog, IDC_PRINT_FIT) == BST_CHECKED;
    const int points = numberField(dialog, IDC_PRINT_MINFONT, s.minFontSize / 10);
    s.minFontSize = (points < 1 ? 1 : points > 999 ? 999 : points) * 10;
    s.saveSpace = IsDlgButtonChecked(dialog, IDC_PRINT_SAVE) == BST_CHECKED;
    s.previewList = d.extended;
}

void enableControls(HWND dialog, const DialogState& d) {
    const bool list = d.settings.area == kAreaStructureList;
    const bool diagram = d.settings.area == kAreaDiagram;
    EnableWindow(GetDlgItem(dialog, IDC_PRINT_SELECTED), d.hasSelection);
    EnableWindow(GetDlgItem(dialog, IDC_PRINT_LOWER), !list && !diagram);
    const bool depth = !list && (diagram || d.settings.lowerSegments);
    EnableWindow(GetDlgItem(dialog, IDC_PRINT_DEPTH), depth);
    EnableWindow(GetDlgItem(dialog, IDC_PRINT_DEPTH_SPIN), depth);
    for (int id : {IDC_PRINT_FIT, IDC_PRINT_SAVE}) EnableWindow(GetDlgItem(dialog, id), !list);
    EnableWindow(GetDlgItem(dialog, IDC_PRINT_MINFONT), !list && d.settings.fitIntoPage);
    EnableWindow(GetDlgItem(dialog, IDC_PRINT_MINFONT_SPIN), !list && d.settings.fitIntoPage);
}

// The segments the options print, with their pages "W x H".
class ListingSink final : public PageSink {
public:
    bool startSheet(unsigned, const ConstructNode*) override { return true; }
    bool drawPart(const ViewContext&, ConstructNode*, const Rect&, std::int32_t, std::int32_t) override {
        return true;
    }
    bool endSheet() override { return true; }
};

void fillPreviewList(HWND dialog, DialogState& d) {
    HWND list = GetDlgItem(dialog, IDC_PRINT_SEGMENTS);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    d.listed.clear();
    if (!d.extended || d.settings.area == kAreaStructureList || !d.target.window) return;
    PrinterDc printer;
    if (openPrinter(nullptr, true, printer)) return;
    GdiPrinterFonts fonts(printer.dc, d.target.display->printerFont);
    PrintSetup setup = printSetupFor(d.target, d.settings, fonts, printer.dc, OutputTarget::SegmentPageCount);
    // The segments in print order, each counted.
    struct Collect final : PageSink {
        std::vector<ConstructNode*>* into;
        const ConstructNode* last = nullptr;
        bool startSheet(unsigned, const ConstructNode* level) override {
            if (level != last) into->push_back(const_cast<ConstructNode*>(level));
            last = level;
            return true;
        }
        bool drawPart(const ViewContext&, ConstructNode* level, const Rect&, std::int32_t,
                      std::int32_t) override {
            if (level != last) into->push_back(level);
            last = level;
            return true;
        }
        bool endSheet() override { return true; }
    } collect;
    collect.into = &d.listed;
    SegmentWindow* w = d.target.window;
    const bool selected = d.settings.area == kAreaSelection && w->selectionFirst;
    printArea(setup, d.target.document, w->shownSegment, selected ? w->selectionFirst : nullptr,
              selected ? w->selectionLast : nullptr, collect);
    for (ConstructNode* level : d.listed) {
        const PageGrid grid = countPages(setup, level);
        char name[kMaxFormatted];
        segmentName(level, name, sizeof name);
        char row[kMaxFormatted + 32];
        if (grid.across)
            std::snprintf(row, sizeof row, "%s\t%d x %d", name, grid.across, grid.down);
        else
            std::snprintf(row, sizeof row, "%s\t? x ?", name);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
}

// The dialog shows the list below the buttons only when extended.
void showExtension(HWND dialog, DialogState& d) {
    RECT button;
    GetWindowRect(GetDlgItem(dialog, d.extended ? IDC_PRINT_SEGMENTS : IDC_PRINT_PREVIEW), &button);
    RECT window;
    GetWindowRect(dialog, &window);
    RECT client;
    GetClientRect(dialog, &client);
    POINT bottom{0, button.bottom};
    ScreenToClient(dialog, &bottom);
    const int frame = (window.bottom - window.top) - client.bottom;
    const int margin = 8;
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, bottom.y + margin + frame,
                 SWP_NOMOVE | SWP_NOZORDER);
    SetDlgItemTextA(dialog, IDC_PRINT_PREVIEW, d.extended ? "P&review <<" : "P&review >>");
    fillPreviewList(dialog, d);
}

INT_PTR CALLBACK print_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            d = reinterpret_cast<DialogState*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            const PrintSettings& s = d->settings;
            const int area = s.area == kAreaSelection && !d->hasSelection ? kAreaCurrentSegment : s.area;
            const int radio = area == kAreaSelection       ? IDC_PRINT_SELECTED
                              : area == kAreaDiagram       ? IDC_PRINT_DIAGRAM
                              : area == kAreaStructureList ? IDC_PRINT_LIST
                                                           : IDC_PRINT_CURRENT;
            CheckRadioButton(dialog, IDC_PRINT_CURRENT, IDC_PRINT_LIST, radio);
            CheckDlgButton(dialog, IDC_PRINT_LOWER, s.lowerSegments || area == kAreaDiagram);
            CheckDlgButton(dialog, IDC_PRINT_HEADER, s.pageHeader);
            CheckDlgButton(dialog, IDC_PRINT_FIT, s.fitIntoPage);
            CheckDlgButton(dialog, IDC_PRINT_SAVE, s.saveSpace);
            SendDlgItemMessageA(dialog, IDC_PRINT_DEPTH, EM_LIMITTEXT, 5, 0);
            SendDlgItemMessageA(dialog, IDC_PRINT_FIRST, EM_LIMITTEXT, 5, 0);
            SendDlgItemMessageA(dialog, IDC_PRINT_MINFONT, EM_LIMITTEXT, 3, 0);
            SendDlgItemMessageA(dialog, IDC_PRINT_DEPTH_SPIN, UDM_SETRANGE32, 0, 65534);
            SendDlgItemMessageA(dialog, IDC_PRINT_FIRST_SPIN, UDM_SETRANGE32, 0, 65535);
            // Never more than the printer font's own size.
            const int fontPoints = d->target.display ? d->target.display->printerFont.points : 99;
            SendDlgItemMessageA(dialog, IDC_PRINT_MINFONT_SPIN, UDM_SETRANGE32, 1, fontPoints);
            char text[16];
            if (s.maxDepth != kNoDepthLimit) {
                std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(s.maxDepth));
                SetDlgItemTextA(dialog, IDC_PRINT_DEPTH, text);
            }
            std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(s.startPageNumber));
            SetDlgItemTextA(dialog, IDC_PRINT_FIRST, text);
            std::snprintf(text, sizeof text, "%d", std::min(s.minFontSize / 10, fontPoints));
            SetDlgItemTextA(dialog, IDC_PRINT_MINFONT, text);
            SendDlgItemMessageA(dialog, IDC_PRINT_SEGMENTS, LB_SETTABSTOPS, 1,
                                reinterpret_cast<LPARAM>(std::data({INT{190}})));
            readDialog(dialog, *d);
            enableControls(dialog, *d);
            d->extended = s.previewList;
            showExtension(dialog, *d);
            return TRUE;
        }
        case WM_COMMAND: {
            if (!d) break;
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id == IDOK || id == IDCANCEL) {
                readDialog(dialog, *d);
                EndDialog(dialog, id);
                return TRUE;
            }
            if (id == IDC_PRINT_PREVIEW) {
                readDialog(dialog, *d);
                d->extended = !d->extended;
                showExtension(dialog, *d);
                return TRUE;
            }
            if (id == IDC_PRINT_VIEW || (id == IDC_PRINT_SEGMENTS && code == LBN_DBLCLK)) {
                const LRESULT at = SendDlgItemMessageA(dialog, IDC_PRINT_SEGMENTS, LB_GETCURSEL, 0, 0);
                if (at >= 0 && static_cast<std::size_t>(at) < d->listed.size() &&
                    g_printEnvironment.showSegment)
                    g_printEnvironment.showSegment(d->listed[static_cast<std::size_t>(at)]);
                return TRUE;
            }
            if (id == IDC_PRINT_DIAGRAM && code == BN_CLICKED)
                CheckDlgButton(dialog, IDC_PRINT_LOWER, BST_CHECKED);
            if (code == BN_CLICKED || (code == EN_KILLFOCUS && id != IDC_PRINT_SEGMENTS)) {
                readDialog(dialog, *d);
                enableControls(dialog, *d);
                if (id == IDC_PRINT_HEADER) refreshPagePreview();
                if (d->extended && code == BN_CLICKED) fillPreviewList(dialog, *d);
            }
            break;
        }
        default:
            break;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// Commands

bool printDiagram(const CommandRequest& request) {
    PrintTarget target;
    if (!g_printEnvironment.currentTarget || !g_printEnvironment.currentTarget(target)) return false;
    const PrintSettings saved = loadedSettings();
    if (request.flags & kFromBatch) {
        const int type = g_printEnvironment.levellistType ? *g_printEnvironment.levellistType : 0;
        const PrintSettings s = settingsForScope(static_cast<std::uint32_t>(request.number), saved, type);
        return runPrintJob(target, s, request.text);
    }
    DialogState d{saved, target, target.window && target.window->selectionFirst, false, {}};
    d.settings.listKind = static_cast<StructureKind>(
        g_printEnvironment.levellistType && *g_printEnvironment.levellistType >= 0 &&
                *g_printEnvironment.levellistType < kStructureKinds
            ? *g_printEnvironment.levellistType
            : 0);
    const INT_PTR answer =
        DialogBoxParamA(g_printEnvironment.instance, MAKEINTRESOURCEA(IDD_PRINT), g_printEnvironment.frame,
                        print_proc, reinterpret_cast<LPARAM>(&d));
    if (answer != IDOK) return answer == IDCANCEL;
    savePrintSettings(d.settings, g_printEnvironment.settingsFile);
    ++g_printerGeneration;
    return runPrintJob(target, d.settings, nullptr);
}

// Printer setup: the common dialog's setup form; the device and its mode
// are kept with the settings and announced to the other instances.
bool printerSetup() {
    PrinterChoice* chosen = g_printEnvironment.printer;
    PRINTDLGA dlg{};
    dlg.lStructSize = sizeof dlg;
    dlg.hwndOwner = g_printEnvironment.frame;
    dlg.Flags = PD_PRINTSETUP;
    if (chosen && chosen->devMode && chosen->devModeSize) {
        dlg.hDevMode = GlobalAlloc(GMEM_MOVEABLE, chosen->devModeSize);
        if (void* p = dlg.hDevMode ? GlobalLock(dlg.hDevMode) : nullptr) {
            std::memcpy(p, chosen->devMode, chosen->devModeSize);
            GlobalUnlock(dlg.hDevMode);
        }
    }
    const bool ok = PrintDlgA(&dlg) != FALSE;
    if (ok && chosen) {
        if (auto* names = dlg.hDevNames ? static_cast<DEVNAMES*>(GlobalLock(dlg.hDevNames)) : nullptr) {
            const char* base = reinterpret_cast<const char*>(names);
            lstrcpynA(chosen->name, base + names->wDeviceOffset, sizeof chosen->name);
            lstrcpynA(chosen->driver, base + names->wDriverOffset, sizeof chosen->driver);
            lstrcpynA(chosen->port, base + names->wOutputOffset, sizeof chosen->port);
            GlobalUnlock(dlg.hDevNames);
        }
        if (auto* mode = dlg.hDevMode ? static_cast<DEVMODEA*>(GlobalLock(dlg.hDevMode)) : nullptr) {
            setPrinterDevMode(*chosen, reinterpret_cast<const unsigned char*>(mode),
                              static_cast<std::uint32_t>(mode->dmSize + mode->dmDriverExtra));
            GlobalUnlock(dlg.hDevMode);
        }
        savePrinterChoice(*chosen, g_printEnvironment.settingsFile);
        // Other instances of the editor hear of it.
        const DWORD self = GetCurrentProcessId();
        char frameClass[64] = {};
        GetClassNameA(g_printEnvironment.frame, frameClass, sizeof frameClass);
        for (HWND other = FindWindowExA(nullptr, nullptr, frameClass, nullptr); other;
             other = FindWindowExA(nullptr, other, frameClass, nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(other, &process);
            if (process != self) PostMessageA(other, WM_DEVMODECHANGE, 0, 0);
        }
        printerChanged();
    }
    if (dlg.hDevMode) GlobalFree(dlg.hDevMode);
    if (dlg.hDevNames) GlobalFree(dlg.hDevNames);
    return ok || CommDlgExtendedError() == 0;
}

// ---------------------------------------------------------------------------
// The page preview: the shown segment's pages on the printer, side by side
// and scaled into the window, each with its header band and the page
// delimiters; the constructs without text, those whose text does not fit
// filled (the painter's page-preview target).

HWND previewWindow() {
    std::uintptr_t* slot = g_printEnvironment.previewWindow;
    return slot ? reinterpret_cast<HWND>(*slot) : nullptr;
}

void paintPreview(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_APPWORKSPACE));
    PrintTarget target;
    if (!g_printEnvironment.currentTarget || !g_printEnvironment.currentTarget(target) || !target.window ||
        !target.window->shownSegment)
        return;
    PrinterDc printer;
    if (openPrinter(nullptr, true, printer)) return;
    GdiPrinterFonts fonts(printer.dc, target.display->printerFont);
    const PrintSettings settings = loadedSettings();
    PrintSetup setup = printSetupFor(target, settings, fonts, printer.dc, OutputTarget::PagePreview);
    ViewContext ctx;
    ConstructNode* level = target.window->shownSegment;
    const SegmentPages pages = layoutForPrinting(setup, level, nullptr, nullptr, &ctx);
    if (pages.tooLarge || !pages.grid.across) return;
    ctx.target = OutputTarget::PagePreview;
    // The sheets in logical printer units, a gap between them.
    const PageFrame& f = setup.frame;
    const std::int32_t gap = f.width / 20 + 1;
    const std::int32_t totalWidth = pages.grid.across * (f.width + gap) + gap;
    const std::int32_t totalHeight = pages.grid.down * (f.height + gap) + gap;
    const int saved = SaveDC(dc);
    SetMapMode(dc, MM_ISOTROPIC);
    SetWindowExtEx(dc, totalWidth, totalHeight, nullptr);
    SetViewportExtEx(dc, client.right, client.bottom, nullptr);
    const COLORREF delimiter = target.display->palette[kColourPageDelimiters];
    for (int col = 0; col < pages.grid.across; ++col)
        for (int row = 0; row < pages.grid.down; ++row) {
            const std::int32_t left = gap + col * (f.width + gap);
            const std::int32_t top = gap + row * (f.height + gap);
            RECT sheet{left, top, left + f.width, top + f.height};
            FillRect(dc, &sheet, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            const Rect part{pages.part.left + col * f.width, pages.part.top + row * f.bodyHeight(),
                            std::min(pages.part.right, pages.part.left + (col + 1) * f.width),
                            std::min(pages.part.bottom, pages.part.top + (row + 1) * f.bodyHeight())};
            const int inner = SaveDC(dc);
            SetWindowOrgEx(dc, part.left - left, part.top - top - f.headerHeight, nullptr);
            IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
            {
                GdiCanvas canvas(dc, fonts.fontOf(ctx));
                paintSegment(ctx, canvas, level);
            }
            RestoreDC(dc, inner);
            HPEN pen = CreatePen(PS_SOLID, 0, delimiter);
            HGDIOBJ old = SelectObject(dc, pen);
            SelectObject(dc, GetStockObject(NULL_BRUSH));
            Rectangle(dc, sheet.left, sheet.top, sheet.right, sheet.bottom);
            if (f.headerHeight) {
                MoveToEx(dc, sheet.left, sheet.top + f.headerHeight, nullptr);
                LineTo(dc, sheet.right, sheet.top + f.headerHeight);
            }
            SelectObject(dc, old);
            DeleteObject(pen);
        }
    RestoreDC(dc, saved);
}

INT_PTR CALLBACK PrintgridDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(dialog, &paint);
            paintPreview(dialog, dc);
            EndPaint(dialog, &paint);
            return TRUE;
        }
        case WM_ERASEBKGND:
            return TRUE;
        case WM_SIZE:
            InvalidateRect(dialog, nullptr, FALSE);
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(dialog);
            return TRUE;
        case WM_DESTROY: {
            RECT rect;
            GetWindowRect(dialog, &rect);
            if (g_printEnvironment.previewPlace)
                *g_printEnvironment.previewPlace = SettingsRect{rect.left, rect.top, rect.right, rect.bottom};
            if (g_printEnvironment.previewWindow) *g_printEnvironment.previewWindow = 0;
            return TRUE;
        }
        default:
            break;
    }
    return FALSE;
}

bool togglePagePreview() {
    if (HWND open = previewWindow()) {
        DestroyWindow(open);
        return true;
    }
    HWND window = CreateDialogParamA(g_printEnvironment.instance, MAKEINTRESOURCEA(IDD_PAGE_PREVIEW),
                                     g_printEnvironment.frame, PrintgridDlgProc, 0);
    if (!window) return false;
    if (const SettingsRect* r = g_printEnvironment.previewPlace;
        r && r->right > r->left && r->bottom > r->top)
        SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    if (g_printEnvironment.previewWindow)
        *g_printEnvironment.previewWindow = reinterpret_cast<std::uintptr_t>(window);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    return true;
}

}  // namespace

bool printCommand(const CommandRequest& request) {
    switch (request.command) {
        case CMD_FILE_PRINT:
            return printDiagram(request);
        case CMD_FILE_PRINTER_SETUP:
            return printerSetup();
        case CMD_OPTIONS_PAGE_PREVIEW:
            return togglePagePreview();
        default:
            return false;
    }
}

void printerChanged() {
    ++g_printerGeneration;
    refreshPagePreview();
}

void refreshPagePreview() {
    if (HWND open = previewWindow()) InvalidateRect(open, nullptr, FALSE);
}

bool statusPageCount(PageGrid* grid) {
    static std::uint64_t epoch = 0;
    static unsigned generation = 0;
    static const ConstructNode* counted = nullptr;
    static bool known = false;
    static PageGrid last;
    PrintTarget target;
    if (!g_printEnvironment.currentTarget || !g_printEnvironment.currentTarget(target) || !target.window ||
        !target.window->shownSegment) {
        counted = nullptr;
        return false;
    }
    if (target.window->shownSegment == counted && epoch == layoutEpoch() &&
        generation == g_printerGeneration) {
        *grid = last;
        return known;
    }
    counted = target.window->shownSegment;
    generation = g_printerGeneration;
    PrinterDc printer;
    known = openPrinter(nullptr, true, printer) == 0;
    if (known) {
        GdiPrinterFonts fonts(printer.dc, target.display->printerFont);
        const PrintSetup setup =
            printSetupFor(target, loadedSettings(), fonts, printer.dc, OutputTarget::PageCount);
        last = countPages(setup, target.window->shownSegment);
    }
    epoch = layoutEpoch();
    *grid = last;
    return known;
}
