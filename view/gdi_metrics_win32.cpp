#include "view/gdi_win32.h"

LOGFONTA viewLogFont(HDC dc, const FontChoice& font) {
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(font.points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    lf.lfWeight = font.weight;
    lf.lfItalic = font.italic ? TRUE : FALSE;
    lf.lfCharSet = font.charSet;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynA(lf.lfFaceName, font.face, LF_FACESIZE);
    return lf;
}

HFONT createViewFont(HDC dc, const FontChoice& font) {
    const LOGFONTA lf = viewLogFont(dc, font);
    return CreateFontIndirectA(&lf);
}

FontChoice fontChoiceOf(const LOGFONTA& font, int tenthsOfPoint) {
    FontChoice choice{};
    lstrcpynA(choice.face, font.lfFaceName, sizeof choice.face);
    choice.points = (tenthsOfPoint + 5) / 10;
    if (choice.points < 1) choice.points = 1;
    if (choice.points > 200) choice.points = 200;
    choice.weight = font.lfWeight > 0 ? font.lfWeight : FW_NORMAL;
    choice.italic = font.lfItalic != 0;
    choice.charSet = font.lfCharSet;
    return choice;
}

GdiTextMetrics::GdiTextMetrics(HDC dc, HFONT font) : dc_(dc), previous_(SelectObject(dc, font)) {
    GetTextMetricsA(dc_, &metrics_);
}

GdiTextMetrics::~GdiTextMetrics() {
    if (previous_) SelectObject(dc_, previous_);
}

FontMetrics GdiTextMetrics::font() const {
    return {metrics_.tmHeight, metrics_.tmDescent, metrics_.tmAveCharWidth, metrics_.tmInternalLeading};
}

DeviceResolution GdiTextMetrics::resolution() const {
    return {GetDeviceCaps(dc_, HORZRES), GetDeviceCaps(dc_, VERTRES), GetDeviceCaps(dc_, HORZSIZE),
            GetDeviceCaps(dc_, VERTSIZE)};
}

std::int32_t GdiTextMetrics::textWidth(const char* text, int length) const {
    SIZE size{};
    if (length <= 0 || !GetTextExtentPoint32A(dc_, text, length, &size)) return 0;
    return size.cx;
}
