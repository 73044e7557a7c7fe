// Printing on Win32: the printer device context of the chosen printer,
// the print job with its progress dialog and abort procedure, the Print
// dialog, printer setup and the page preview. The frame hands in what they
// act on through PrintEnvironment; nothing here reads the frame's globals.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/commands.h"
#include "app/settings.h"
#include "print/pages.h"
#include "print/print_settings.h"
#include "view/segment_window.h"

struct LanguageConfig;
struct DisplaySettings;

// The diagram a print acts on: the current segment window and its
// document, layout state and display.
struct PrintTarget {
    SegmentWindow* window = nullptr;
    DiagramDocument* document = nullptr;
    ViewState* state = nullptr;
    const DisplaySettings* display = nullptr;
    const LanguageConfig* config = nullptr;
};

struct PrintEnvironment {
    HINSTANCE instance = nullptr;
    HWND frame = nullptr;
    const char* settingsFile = nullptr;
    const char* application = "";             // %AP%
    const char* version = "";                 // %VN% (the version text; its last word)
    const char* untitled = "";                // %FN% of a diagram without a file
    PrinterChoice* printer = nullptr;         // the printer chosen in setup (kept in the settings)
    const int* levellistType = nullptr;       // the structure-list type last chosen
    std::uintptr_t* previewWindow = nullptr;  // the page preview's handle in the settings (0 = closed)
    SettingsRect* previewPlace = nullptr;     // where it opens
    HWND* modelessDialog = nullptr;           // the frame's current modeless dialog
    // The active diagram (false when there is none).
    bool (*currentTarget)(PrintTarget& out) = nullptr;
    // Shows `segment` of the target's diagram in a window (the Print
    // dialog's View).
    void (*showSegment)(ConstructNode* segment) = nullptr;
};
extern PrintEnvironment g_printEnvironment;

// The route of CommandOwner::print: Print (the dialog, or with kFromBatch
// the print scope in `number` and the printer in `text`), printer setup
// and the page preview.
bool printCommand(const CommandRequest& request);

// The pages the active diagram's shown segment needs on the current
// printer, for the status bar: counted again only when the layout, the
// printer or the window changed. False when there is no printer or no
// diagram; grid (0, 0) over the worksheet.
bool statusPageCount(PageGrid* grid);

// The printer, its font or the print options changed: the printer layout
// and the counts are made again.
void printerChanged();
// The page preview repaints (the shown segment or its layout changed).
void refreshPagePreview();
