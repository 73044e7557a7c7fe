#include "view/gdi_win32.h"

#include "view/painter.h"

bool writeSegmentEmf(const ViewContext& ctx, ConstructNode* level, const char* path) {
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    bool written = false;
    HFONT font = createViewFont(screen, ctx.display->screenFont);
    {
        GdiTextMetrics metrics(screen, font);
        ViewContext c = ctx;
        c.view = kViewScreen;
        c.target = OutputTarget::Screen;
        c.metrics = &metrics;
        // Measured anew: the view's geometry may come from other metrics.
        invalidateLayout(*c.state, kInvalidateScreenFont);
        const LayoutResult laid = layoutSegment(c, level);
        const Extent size = segmentSize(level, c.view);
        if (laid != LayoutResult::TooLarge && laid != LayoutResult::NoSegment) {
            // The frame in hundredths of a millimetre, from the screen's size.
            const int mmX = GetDeviceCaps(screen, HORZSIZE) * 100;
            const int mmY = GetDeviceCaps(screen, VERTSIZE) * 100;
            const RECT frame{0, 0, MulDiv(size.width, mmX, GetDeviceCaps(screen, HORZRES)),
                             MulDiv(size.height, mmY, GetDeviceCaps(screen, VERTRES))};
            HDC emf = CreateEnhMetaFileA(screen, path, &frame, "Korrin(VRD)\0Structure diagram\0");
            if (emf) {
                {
                    GdiCanvas canvas(emf, font, true);
                    written = paintSegment(c, canvas, level) != 0;
                }
                HENHMETAFILE picture = CloseEnhMetaFile(emf);
                written = written && picture;
                if (picture) DeleteEnhMetaFile(picture);
                if (!written) DeleteFileA(path);
            }
        }
    }
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return written;
}
