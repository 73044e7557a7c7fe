// The view on GDI: text metrics measured on a device context, a canvas
// that draws on one, and enhanced metafiles of a segment. Windows only.
#pragma once

#include <windows.h>

#include "view/canvas.h"
#include "view/layout.h"
#include "view/text_metrics.h"

// The font of `font` for `dc`: its size in points at the device's vertical
// resolution. The caller deletes it.
HFONT createViewFont(HDC dc, const FontChoice& font);
// The LOGFONT createViewFont makes the font from.
LOGFONTA viewLogFont(HDC dc, const FontChoice& font);
// What the font dialog chose: its LOGFONT and its size in tenths of a point.
FontChoice fontChoiceOf(const LOGFONTA& font, int tenthsOfPoint);

// Measures with `font` selected into `dc` (for the object's lifetime).
class GdiTextMetrics final : public TextMetrics {
public:
    GdiTextMetrics(HDC dc, HFONT font);
    ~GdiTextMetrics() override;
    GdiTextMetrics(const GdiTextMetrics&) = delete;
    GdiTextMetrics& operator=(const GdiTextMetrics&) = delete;

    FontMetrics font() const override;
    DeviceResolution resolution() const override;
    std::int32_t textWidth(const char* text, int length) const override;

private:
    HDC dc_;
    HGDIOBJ previous_;
    TEXTMETRICA metrics_{};
};

// Draws on `dc` with `font` for the texts (converted to the OEM code page
// when the font has the OEM character set). Pens and brushes are made per
// colour and kept until the canvas goes; the device context gets its
// objects back then. A `wholePicture` canvas (a metafile) takes everything:
// nothing is clipped away.
class GdiCanvas final : public Canvas {
public:
    GdiCanvas(HDC dc, HFONT font, bool wholePicture = false);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Colour colour) override;
    void fill(const Rect& rect, Colour colour) override;
    void roundRect(const Rect& rect, std::int32_t corner, Colour pen, Colour fill) override;
    void text(std::int32_t x, std::int32_t y, const char* text, int length, Colour colour,
              const Rect& clip) override;
    Rect clipBox() const override;
    bool visible(const Rect& rect) const override;

private:
    HPEN pen(Colour colour);
    HBRUSH brush(Colour colour);

    static constexpr int kCached = 8;
    struct Pen {
        Colour colour;
        HPEN pen;
    };
    struct Brush {
        Colour colour;
        HBRUSH brush;
    };
    HDC dc_;
    bool oem_ = false;
    bool whole_ = false;
    int saved_ = 0;
    Pen pens_[kCached]{};
    Brush brushes_[kCached]{};
    int penCount_ = 0;
    int brushCount_ = 0;
};

// Writes the segment of `level` as an enhanced metafile `path`: laid out for
// the screen view with the context's screen font measured on the screen,
// so that the picture has the screen's geometry. False when the segment
// exceeds the worksheet limit or the file cannot be written.
bool writeSegmentEmf(const ViewContext& ctx, ConstructNode* level, const char* path);
