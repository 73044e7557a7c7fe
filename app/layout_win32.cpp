// Properties of the active diagram (the route of CommandOwner::layout):
// Layout... (the if layout, the numbers and labels shown, the colours),
// Screen font... and Printer font... (the font dialog on the screen or on
// the printer). The diagram's file carries all of them, so a change marks
// it changed; a font chosen becomes the default of new diagrams too.
// Without a dialog (kRecreateFont: fonts were installed or removed, the
// printer changed) the fonts are made and measured anew.
#include <windows.h>
// windows.h first
#include <commdlg.h>

#include <cstdio>
#include <iterator>

#include "app/view_win32.h"
#include "config/profile.h"
#include "core/host.h"
#include "print/print_job_win32.h"
#include "resources/commands.h"
#include "resources/dialog_ids.h"
#include "resources/strings.h"

namespace {

// The colours the Layout dialog offers, by their palette index.
struct ColourItem {
    int index;
    const char* name;
};
constexpr ColourItem kColourItems[] = {
    {kColourBackground, "Background"},
    {kColourLines, "Lines"},
    {kColourConditionLines, "Condition lines"},
    {kColourSegments, "Collapsed segments"},
    {kColourLineNumbers, "Construct numbers"},
    {kColourSegmentNumbers, "Segment numbers"},
    {kColourKeywords, "Keywords"},
    {kColourLabels, "Labels"},
    {kColourText, "Text"},
    {kColourSpecialText, "Special text"},
    {kColourMetaStrings, "Placeholders"},
    {kColourEditFrame, "Edit frame"},
    {kColourCurrentView, "Visible part in the overview"},
    {kColourPageDelimiters, "Page boundaries"},
    {kColourCriticalConstructs, "Cut texts in the page preview"},
    {kColourSpecialLines, "Marked lines"},
};

// The colour dialog's custom colours, kept for the session.
COLORREF g_customColours[16] = {
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
};

struct LayoutDialog {
    DisplaySettings display;
    HBRUSH swatch = nullptr;
};

int chosenColour(HWND dialog) {
    const LRESULT at = SendDlgItemMessageA(dialog, IDC_LAYOUT_COLOUR, CB_GETCURSEL, 0, 0);
    return at >= 0 && at < static_cast<LRESULT>(std::size(kColourItems)) ? kColourItems[at].index : -1;
}

void showSwatch(HWND dialog, LayoutDialog& d) {
    if (d.swatch) DeleteObject(d.swatch);
    const int index = chosenColour(dialog);
    d.swatch = CreateSolidBrush(index >= 0 ? d.display.palette[index] : GetSysColor(COLOR_BTNFACE));
    InvalidateRect(GetDlgItem(dialog, IDC_LAYOUT_SWATCH), nullptr, TRUE);
}

void changeColour(HWND dialog, LayoutDialog& d) {
    const int index = chosenColour(dialog);
    if (index < 0) return;
    CHOOSECOLORA choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = dialog;
    choose.rgbResult = d.display.palette[index];
    choose.lpCustColors = g_customColours;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorA(&choose)) return;
    d.display.palette[index] = choose.rgbResult & 0xFFFFFF;
    showSwatch(dialog, d);
}

INT_PTR CALLBACK layoutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<LayoutDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            d = reinterpret_cast<LayoutDialog*>(lParam);
            const DisplaySettings& s = d->display;
            CheckRadioButton(dialog, IDC_LAYOUT_HORIZONTAL, IDC_LAYOUT_VERTICAL,
                             s.verticalIf ? IDC_LAYOUT_VERTICAL : IDC_LAYOUT_HORIZONTAL);
            CheckDlgButton(dialog, IDC_LAYOUT_LINE_NUMBERS, s.lineNumbers ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_LAYOUT_LEVEL_NUMBERS, s.levelNumbers ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_LAYOUT_LABELS,
                           s.showLeftLabels || s.showRightLabels ? BST_CHECKED : BST_UNCHECKED);
            for (const ColourItem& item : kColourItems) {
                // A linked add-in names the colour of its marked lines.
                const char* label = item.index == kColourSpecialLines ? addInSpecialLinesLabel() : nullptr;
                SendDlgItemMessageA(dialog, IDC_LAYOUT_COLOUR, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(label ? label : item.name));
            }
            SendDlgItemMessageA(dialog, IDC_LAYOUT_COLOUR, CB_SETCURSEL, 0, 0);
            showSwatch(dialog, *d);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
            if (d && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_LAYOUT_SWATCH))
                return reinterpret_cast<INT_PTR>(d->swatch);
            return FALSE;
        case WM_COMMAND:
            if (!d) return FALSE;
            switch (LOWORD(wParam)) {
                case IDC_LAYOUT_COLOUR:
                    if (HIWORD(wParam) == CBN_SELCHANGE) showSwatch(dialog, *d);
                    return TRUE;
                case IDC_LAYOUT_CHANGE:
                    changeColour(dialog, *d);
                    return TRUE;
                case IDOK: {
                    DisplaySettings& s = d->display;
                    s.verticalIf = IsDlgButtonChecked(dialog, IDC_LAYOUT_VERTICAL) == BST_CHECKED;
                    s.lineNumbers = IsDlgButtonChecked(dialog, IDC_LAYOUT_LINE_NUMBERS) == BST_CHECKED;
                    s.levelNumbers = IsDlgButtonChecked(dialog, IDC_LAYOUT_LEVEL_NUMBERS) == BST_CHECKED;
                    // The file keeps one switch for the labels of both sides.
                    const bool labels = IsDlgButtonChecked(dialog, IDC_LAYOUT_LABELS) == BST_CHECKED;
                    if (labels != (s.showLeftLabels || s.showRightLabels))
                        s.showLeftLabels = s.showRightLabels = labels;
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DESTROY:
            if (d && d->swatch) {
                DeleteObject(d->swatch);
                d->swatch = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

// Every window of the diagram shows the new display; the tool windows and
// the title (the changed mark) follow.
void redraw(OpenDiagram* diagram) {
    forEachWindow(g_segmentWindows, [&](SegmentWindow& w) {
        if (w.document == &diagram->document) InvalidateRect(static_cast<HWND>(w.hwnd), nullptr, FALSE);
    });
    refreshDiagramTitle(diagram);
    refreshOverview();
    refreshPagePreview();
}

bool applyDisplay(OpenDiagram* diagram, const DisplaySettings& display) {
    const unsigned flags = displayChangeFlags(diagram->display, display);
    if (!setDiagramDisplay(diagram, display)) return false;
    if (flags & kInvalidatePrinterFont) printerChanged();
    redraw(diagram);
    return true;
}

bool layoutDialog(OpenDiagram* diagram) {
    LayoutDialog d;
    d.display = diagram->display;
    ++g_frame.modalDepth;
    const INT_PTR answer = DialogBoxParamA(g_frame.instance, MAKEINTRESOURCEA(IDD_LAYOUT), g_frame.frame,
                                           layoutProc, reinterpret_cast<LPARAM>(&d));
    --g_frame.modalDepth;
    if (answer != IDOK) return false;
    const bool changed = applyDisplay(diagram, d.display);
    diagnosticsLine("layout %s if %s", changed ? "changed" : "unchanged",
                    diagram->display.verticalIf ? "vertical" : "horizontal");
    return true;
}

// The font dialog on `dc` (the screen, or the printer's information
// context) starting from `font`; false when cancelled.
bool chooseFont(HDC dc, bool printer, FontChoice& font) {
    LOGFONTA lf = viewLogFont(dc, font);
    CHOOSEFONTA choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = g_frame.frame;
    choose.hDC = dc;
    choose.lpLogFont = &lf;
    choose.Flags = CF_INITTOLOGFONTSTRUCT | (printer ? CF_PRINTERFONTS : CF_SCREENFONTS);
    ++g_frame.modalDepth;
    const BOOL chosen = ChooseFontA(&choose);
    --g_frame.modalDepth;
    if (!chosen) return false;
    font = fontChoiceOf(lf, choose.iPointSize);
    return true;
}

bool fontCommand(OpenDiagram* diagram, bool printer) {
    FontChoice font = diagram ? (printer ? diagram->display.printerFont : diagram->display.screenFont)
                              : (printer ? g_displayDefaults.printerFont : g_displayDefaults.screenFont);
    bool chosen = false;
    if (printer) {
        PrinterDc ic;
        if (const unsigned failure = openPrinter(nullptr, true, ic)) {
            showMessage(failure, kBoxDefault);
            return false;
        }
        chosen = chooseFont(ic.dc, true, font);
    } else {
        HDC screen = GetDC(nullptr);
        chosen = chooseFont(screen, false, font);
        ReleaseDC(nullptr, screen);
    }
    if (!chosen) return false;
    (printer ? g_displayDefaults.printerFont : g_displayDefaults.screenFont) = font;
    saveDefaultFont(printer ? IDS_KEY_PRINTERFONT : IDS_KEY_SCREENFONT, font, g_settingsFile);
    if (diagram) {
        DisplaySettings display = diagram->display;
        (printer ? display.printerFont : display.screenFont) = font;
        applyDisplay(diagram, display);
    }
    char value[kFaceNameSize + 32];
    formatFontChoice(font, value, sizeof value);
    diagnosticsLine("%s font %s", printer ? "printer" : "screen", value);
    return true;
}

}  // namespace

bool layoutCommand(const CommandRequest& request) {
    const bool printer = request.command == CMD_FILE_PRINTER_FONT;
    if (request.flags & kRecreateFont) {
        // The same choice made into fonts again and measured anew.
        displayChanged(printer ? kInvalidatePrinterFont : kInvalidateScreenFont);
        if (printer) printerChanged();
        return true;
    }
    OpenDiagram* diagram = activeDiagram();
    switch (request.command) {
        case CMD_FILE_LAYOUT:
            return diagram && layoutDialog(diagram);
        case CMD_FILE_SCREEN_FONT:
        case CMD_FILE_PRINTER_FONT:
            return fontCommand(diagram, printer);
        default:
            return false;
    }
}
