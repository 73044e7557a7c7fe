// Pictures of diagrams as SVG: the same drawing as on the screen, with the
// texts as text in the diagram's font, the palette's colours, and one <g>
// per construct carrying its type and line number (data-type, data-line),
// so that tools can find the constructs.
#pragma once

#include <string>

#include "view/canvas.h"
#include "view/layout.h"

class SvgCanvas final : public Canvas {
public:
    // Starts a picture of `width` x `height` units whose texts are in
    // `fontFamily` of `fontSize` units; `metrics` tells where texts end, so
    // that only those that overrun their box are clipped.
    SvgCanvas(std::string& out, std::int32_t width, std::int32_t height, const char* fontFamily,
              std::int32_t fontSize, const TextMetrics& metrics);
    // Closes the picture.
    void finish();

    void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Colour colour) override;
    void fill(const Rect& rect, Colour colour) override;
    void roundRect(const Rect& rect, std::int32_t corner, Colour pen, Colour fill) override;
    void text(std::int32_t x, std::int32_t y, const char* text, int length, Colour colour,
              const Rect& clip) override;
    Rect clipBox() const override { return {0, 0, width_, height_}; }
    bool visible(const Rect&) const override { return true; }
    void beginConstruct(const ConstructNode* node, const Rect& rect) override;
    void endConstruct(const ConstructNode* node) override;

private:
    std::string& out_;
    std::int32_t width_, height_;
    const TextMetrics& metrics_;
    int clips_ = 0;
};

// Appends `text` (code page 1252) to `out` as XML character data in UTF-8;
// characters XML cannot carry become '?'.
void appendXmlText(std::string& out, const char* text, int length);

// The segment of `level` as an SVG picture: laid out for the context's view
// when it is not, and drawn in the view's font. False, writing nothing,
// when the segment exceeds the worksheet limit.
bool writeSegmentSvg(const ViewContext& ctx, ConstructNode* level, std::string& out);
