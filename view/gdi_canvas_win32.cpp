#include "view/gdi_win32.h"

#include <algorithm>

GdiCanvas::GdiCanvas(HDC dc, HFONT font, bool wholePicture)
    : dc_(dc), whole_(wholePicture), saved_(SaveDC(dc)) {
    SelectObject(dc_, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc_, &tm);
    oem_ = tm.tmCharSet == OEM_CHARSET;
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
}

GdiCanvas::~GdiCanvas() {
    RestoreDC(dc_, saved_);
    for (int i = 0; i < penCount_; ++i) DeleteObject(pens_[i].pen);
    for (int i = 0; i < brushCount_; ++i) DeleteObject(brushes_[i].brush);
}

HPEN GdiCanvas::pen(Colour colour) {
    for (int i = 0; i < penCount_; ++i)
        if (pens_[i].colour == colour) return pens_[i].pen;
    // A full cache gives up its oldest pen (not selected: the stock pen
    // takes its place first).
    if (penCount_ == kCached) {
        SelectObject(dc_, GetStockObject(BLACK_PEN));
        DeleteObject(pens_[0].pen);
        std::move(pens_ + 1, pens_ + kCached, pens_);
        --penCount_;
    }
    pens_[penCount_] = {colour, CreatePen(PS_SOLID, 1, colour)};
    return pens_[penCount_++].pen;
}

HBRUSH GdiCanvas::brush(Colour colour) {
    for (int i = 0; i < brushCount_; ++i)
        if (brushes_[i].colour == colour) return brushes_[i].brush;
    if (brushCount_ == kCached) {
        SelectObject(dc_, GetStockObject(WHITE_BRUSH));
        DeleteObject(brushes_[0].brush);
        std::move(brushes_ + 1, brushes_ + kCached, brushes_);
        --brushCount_;
    }
    brushes_[brushCount_] = {colour, CreateSolidBrush(colour)};
    return brushes_[brushCount_++].brush;
}

void GdiCanvas::line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Colour colour) {
    SelectObject(dc_, pen(colour));
    MoveToEx(dc_, x0, y0, nullptr);
    LineTo(dc_, x1, y1);
}

void GdiCanvas::fill(const Rect& r, Colour colour) {
    const RECT rect{r.left, r.top, r.right, r.bottom};
    FillRect(dc_, &rect, brush(colour));
}

void GdiCanvas::roundRect(const Rect& r, std::int32_t corner, Colour penColour, Colour fillColour) {
    SelectObject(dc_, pen(penColour));
    SelectObject(dc_, brush(fillColour));
    RoundRect(dc_, r.left, r.top, r.right, r.bottom, corner, corner);
}

void GdiCanvas::text(std::int32_t x, std::int32_t y, const char* text, int length, Colour colour,
                     const Rect& clip) {
    if (length <= 0) return;
    const RECT rect{clip.left, clip.top, clip.right, clip.bottom};
    SetTextColor(dc_, colour);
    if (!oem_) {
        ExtTextOutA(dc_, x, y, ETO_CLIPPED, &rect, text, static_cast<UINT>(length), nullptr);
        return;
    }
    char converted[512];
    const int n = std::min(length, static_cast<int>(sizeof converted));
    CharToOemBuffA(text, converted, static_cast<DWORD>(n));
    ExtTextOutA(dc_, x, y, ETO_CLIPPED, &rect, converted, static_cast<UINT>(n), nullptr);
}

Rect GdiCanvas::clipBox() const {
    RECT r{};
    if (whole_ || GetClipBox(dc_, &r) == ERROR) return {0, 0, kWorksheetLimit, kWorksheetLimit};
    return {r.left, r.top, r.right, r.bottom};
}

bool GdiCanvas::visible(const Rect& r) const {
    const RECT rect{r.left, r.top, r.right, r.bottom};
    return whole_ || RectVisible(dc_, &rect) != FALSE;
}
