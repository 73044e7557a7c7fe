// What painting draws on: lines, filled and rounded rectangles and text,
// with the clip tests that let painting skip what cannot be seen. GDI
// implements it in the Windows build (view/gdi_win32.h), SvgCanvas writes a
// picture, RecordingCanvas keeps the calls for tests and counts them for
// benchmarks.
#pragma once

#include <cstdint>

#include "view/display_settings.h"

struct ConstructNode;

struct Rect {
    std::int32_t left, top, right, bottom;
    bool operator==(const Rect&) const = default;
};

inline bool intersects(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

class Canvas {
public:
    virtual ~Canvas() = default;
    // A one-unit line from (x0, y0) to (x1, y1), the end point excluded.
    virtual void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Colour colour) = 0;
    virtual void fill(const Rect& rect, Colour colour) = 0;
    // A rectangle with rounded corners (ellipses `corner` wide and high),
    // outlined in `pen` and filled with `fill`.
    virtual void roundRect(const Rect& rect, std::int32_t corner, Colour pen, Colour fill) = 0;
    // One line of text, its top-left corner at (x, y), cut off at `clip`;
    // drawn over the background (transparent).
    virtual void text(std::int32_t x, std::int32_t y, const char* text, int length, Colour colour,
                      const Rect& clip) = 0;
    // The smallest rectangle around what may be seen.
    virtual Rect clipBox() const = 0;
    // Whether any part of `rect` may be seen.
    virtual bool visible(const Rect& rect) const = 0;
    // A construct's drawing begins and ends: pictures group it.
    virtual void beginConstruct(const ConstructNode*, const Rect&) {}
    virtual void endConstruct(const ConstructNode*) {}
};
