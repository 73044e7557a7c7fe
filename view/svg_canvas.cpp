#include "view/svg_canvas.h"

#include <cstdio>

#include "view/painter.h"

namespace {

// Code page 1252 from 0x80 to 0x9F; 0 where it has no character.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void appendf(std::string& out, const char* format, auto... args) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n > 0)
        out.append(buffer,
                   static_cast<std::size_t>(n < static_cast<int>(sizeof buffer) ? n : sizeof buffer - 1));
}

struct Hex {
    char text[8];
};
// COLORREF (0x00BBGGRR) as "#rrggbb".
Hex hex(Colour c) {
    Hex h{};
    std::snprintf(h.text, sizeof h.text, "#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    return h;
}

}  // namespace

void appendXmlText(std::string& out, const char* text, int length) {
    for (int i = 0; i < length; ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\t':
                out += ' ';
                break;
            default:
                if (ch < 0x20)
                    out += '?';
                else if (ch >= 0x80 && ch < 0xA0)
                    appendUtf8(out, kHighControls[ch - 0x80] ? kHighControls[ch - 0x80] : '?');
                else
                    appendUtf8(out, ch);
        }
    }
}

SvgCanvas::SvgCanvas(std::string& out, std::int32_t width, std::int32_t height, const char* fontFamily,
                     std::int32_t fontSize, const TextMetrics& metrics)
    : out_(out), width_(width), height_(height), metrics_(metrics) {
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    appendf(out_,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
            "font-size=\"%d\" font-family=\"",
            width, height, width, height, fontSize);
    appendXmlText(out_, fontFamily, static_cast<int>(std::char_traits<char>::length(fontFamily)));
    out_ += "\" stroke-width=\"1\" shape-rendering=\"crispEdges\">\n";
}

void SvgCanvas::finish() {
    out_ += "</svg>\n";
}

void SvgCanvas::line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Colour colour) {
    appendf(out_, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\"/>\n", x0, y0, x1, y1,
            hex(colour).text);
}

void SvgCanvas::fill(const Rect& r, Colour colour) {
    appendf(out_, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", r.left, r.top,
            r.right - r.left, r.bottom - r.top, hex(colour).text);
}

void SvgCanvas::roundRect(const Rect& r, std::int32_t corner, Colour pen, Colour fill) {
    appendf(out_,
            "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" rx=\"%d\" ry=\"%d\" fill=\"%s\" "
            "stroke=\"%s\"/>\n",
            r.left, r.top, r.right - r.left, r.bottom - r.top, corner / 2, corner / 2, hex(fill).text,
            hex(pen).text);
}

void SvgCanvas::text(std::int32_t x, std::int32_t y, const char* text, int length, Colour colour,
                     const Rect& clip) {
    const FontMetrics f = metrics_.font();
    const bool overruns = x + metrics_.textWidth(text, length) > clip.right || y + f.height > clip.bottom;
    if (overruns) {
        appendf(out_,
                "<clipPath id=\"c%d\"><rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"/></clipPath>\n",
                clips_, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
        appendf(out_, "<text x=\"%d\" y=\"%d\" fill=\"%s\" clip-path=\"url(#c%d)\" xml:space=\"preserve\">",
                x, y + f.height - f.descent, hex(colour).text, clips_++);
    } else {
        appendf(out_, "<text x=\"%d\" y=\"%d\" fill=\"%s\" xml:space=\"preserve\">", x,
                y + f.height - f.descent, hex(colour).text);
    }
    appendXmlText(out_, text, length);
    out_ += "</text>\n";
}

void SvgCanvas::beginConstruct(const ConstructNode* node, const Rect&) {
    const ConstructInfo* info = constructInfo(node->type);
    appendf(out_, "<g data-type=\"%s\" data-line=\"%d\">\n", info ? info->name : "Unknown", node->lineNumber);
}

void SvgCanvas::endConstruct(const ConstructNode*) {
    out_ += "</g>\n";
}

bool writeSegmentSvg(const ViewContext& ctx, ConstructNode* level, std::string& out) {
    const LayoutResult laid = layoutSegment(ctx, level);
    if (laid == LayoutResult::TooLarge || laid == LayoutResult::NoSegment) return false;
    const Extent size = segmentSize(level, ctx.view);
    const FontChoice& font = ctx.view == kViewPrinter || ctx.view == kViewPrinterFitted
                                 ? ctx.display->printerFont
                                 : ctx.display->screenFont;
    const FontMetrics f = ctx.metrics->font();
    std::string picture;
    SvgCanvas canvas(picture, size.width, size.height, font.face, f.height - f.internalLeading, *ctx.metrics);
    if (!paintSegment(ctx, canvas, level)) return false;
    canvas.finish();
    out += picture;
    return true;
}
