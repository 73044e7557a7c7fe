// Text measurement for layout: the few figures of a font on a device that
// layout needs, behind a small interface. The Windows build measures with
// GDI (view/gdi_win32.h); FixedTextMetrics is a deterministic fixed-pitch
// font for the native tests and for pictures written without GDI.
#pragma once

#include <cstdint>

struct FontMetrics {
    std::int32_t height;           // one text line (tmHeight)
    std::int32_t descent;          // below the base line (tmDescent)
    std::int32_t aveCharWidth;     // tmAveCharWidth
    std::int32_t internalLeading;  // height - internalLeading is the em size
};

// The view's device: pixels (HORZRES, VERTRES) and millimetres (HORZSIZE,
// VERTSIZE) of its surface.
struct DeviceResolution {
    std::int32_t horzRes;
    std::int32_t vertRes;
    std::int32_t horzSize;
    std::int32_t vertSize;
};

class TextMetrics {
public:
    virtual ~TextMetrics() = default;
    virtual FontMetrics font() const = 0;
    virtual DeviceResolution resolution() const = 0;
    // Width of the first `length` characters of `text` in logical units.
    virtual std::int32_t textWidth(const char* text, int length) const = 0;
};

// Every character is `charWidth` wide; square pixels unless told otherwise.
class FixedTextMetrics final : public TextMetrics {
public:
    FixedTextMetrics(std::int32_t charWidth, std::int32_t height, std::int32_t descent,
                     std::int32_t internalLeading = 0, DeviceResolution resolution = {1000, 1000, 250, 250})
        : font_{height, descent, charWidth, internalLeading}, resolution_(resolution) {}

    // A monospaced font of `points` on a 96-dpi screen: the em is
    // points * 4 / 3 pixels, characters are 3/5 em wide, lines an eighth
    // higher than the em, a quarter em below the base line.
    static FixedTextMetrics forPoints(int points);

    FontMetrics font() const override { return font_; }
    DeviceResolution resolution() const override { return resolution_; }
    std::int32_t textWidth(const char*, int length) const override {
        return length > 0 ? length * font_.aveCharWidth : 0;
    }

private:
    FontMetrics font_;
    DeviceResolution resolution_;
};
