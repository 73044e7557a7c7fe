// The pieces of the print job that the dialog, the preview and the status
// bar share: the printer's device context, the printer font at any
// height, the page header, the print setup of a diagram, and the job.
#pragma once

#include <windows.h>

#include <memory>

#include "print/page_header.h"
#include "print/print_win32.h"
#include "view/display_settings.h"
#include "view/text_metrics.h"

struct PrinterDc {
    HDC dc = nullptr;
    char name[MAX_PATH] = {};
    int dpiY = 1;
    PrinterDc() = default;
    ~PrinterDc();
    PrinterDc(const PrinterDc&) = delete;
    PrinterDc& operator=(const PrinterDc&) = delete;
};

// The printer `requested` (else the one chosen in setup, else the default
// printer), with the stored device mode when it is that printer's; an
// information context when `information`. 0, or the string id of the
// failure: 20055 no default printer, 20040 no device context.
unsigned openPrinter(const char* requested, bool information, PrinterDc& out);

// A font measured on a device context; owns the font. Selects it before
// each measurement, so that several can share one device context.
class FontOnDc final : public TextMetrics {
public:
    FontOnDc(HDC dc, HFONT font);
    ~FontOnDc() override;
    FontOnDc(const FontOnDc&) = delete;
    FontOnDc& operator=(const FontOnDc&) = delete;
    FontMetrics font() const override;
    DeviceResolution resolution() const override;
    std::int32_t textWidth(const char* text, int length) const override;
    HFONT handle() const { return font_; }
    void select() const;

private:
    HDC dc_;
    HFONT font_;
    TEXTMETRICA tm_{};
};

// The printer font on the printer and, for fit into page, at other heights.
class GdiPrinterFonts final : public PrinterFonts {
public:
    GdiPrinterFonts(HDC dc, const FontChoice& choice);
    std::int32_t height() const override { return height_; }
    std::int32_t unitsPerPoint() const override;
    std::int32_t fromTenths(std::int32_t tenths) const override;
    const TextMetrics* at(std::int32_t height) override;
    FontOnDc& base() { return *base_; }
    HFONT baseFont() const { return base_->handle(); }
    // The font a view is drawn with: the fitted one for the fit-to-page view.
    HFONT fontOf(const ViewContext& ctx) const;

private:
    HDC dc_;
    FontChoice choice_;
    int dpiY_;
    std::int32_t height_;
    std::unique_ptr<FontOnDc> base_;
    std::unique_ptr<FontOnDc> fitted_;
};

// The header's pattern (strings 71 and 72) and its variables for one job.
struct JobHeader {
    explicit JobHeader(const DiagramDocument* document);
    void draw(HDC dc, HFONT font, std::int32_t width, unsigned page) const;
    char pattern[512] = {};
    HeaderFields fields;
    char fileName[MAX_PATH] = {};
    char pathName[MAX_PATH] = {};
    char saveDate[64] = {}, saveTime[64] = {}, printDate[64] = {}, printTime[64] = {};
};
// The header band: the header line and one line below it.
std::int32_t headerHeight(HDC dc, HFONT font);

// The print setup of `target` on the printer `dc`.
PrintSetup printSetupFor(const PrintTarget& target, const PrintSettings& settings, GdiPrinterFonts& fonts,
                         HDC dc, OutputTarget output);

// Prints the area of `settings` of the target on `device` (null: the
// chosen or the default printer). True when the document was printed.
bool runPrintJob(const PrintTarget& target, const PrintSettings& settings, const char* device);
