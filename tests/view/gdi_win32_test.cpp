// GDI under Wine: a segment laid out with a font measured by GDI and painted
// into a bitmap, where the edges and texts lie where the layout puts them;
// and the same segment as an enhanced metafile that plays back.
#include <windows.h>

#include "tests/view/view_helpers.h"
#include "view/gdi_win32.h"

namespace {

using namespace gen_test;

// A white 32-bit bitmap selected into a memory device context.
class Bitmap {
public:
    Bitmap(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
        const RECT all{0, 0, width, height};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Bitmap() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    bool dark(int x, int y) const {
        GdiFlush();
        const std::uint32_t p = bits_[y * width_ + x];
        return ((p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF)) < 3 * 128;
    }
    int darkIn(int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y)
            for (int x = std::max(left, 0); x < std::min(right, width_); ++x) n += dark(x, y);
        return n;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

class GdiTest : public view_test::ViewTest {
protected:
    ConstructNode* diagram() {
        return segment(
            seq({text("first statement"), text("second"), ifThen(text("c"), text("yes"), text("no"))}),
            "pictures");
    }
};

TEST_F(GdiTest, EdgesAndTextsLieWhereTheLayoutPutsThem) {
    ConstructNode* level = diagram();
    Bitmap bitmap(800, 600);
    HFONT font = createViewFont(bitmap.dc(), display.screenFont);
    {
        GdiTextMetrics measured(bitmap.dc(), font);
        ctx.metrics = &measured;
        ASSERT_EQ(layout(level), LayoutResult::LaidOut);
        GdiCanvas canvas(bitmap.dc(), font);
        ASSERT_EQ(paintSegment(ctx, canvas, level), 1);
    }
    DeleteObject(font);
    const ViewGeometry& group = levelInfoOf(level)->views[0];
    const int x = group.textWidth;
    int y = group.textHeight + group.auxHeight + ctx.vm().lineUnit;
    for (const ConstructNode* n = levelInfoOf(level)->body; n; n = n->next) {
        const ViewGeometry& g = geometry(n);
        SCOPED_TRACE(y);
        // The top edge across the column, the left edge down the box.
        EXPECT_EQ(bitmap.darkIn(x, y, x + g.width, y + 1), g.width);
        EXPECT_EQ(bitmap.darkIn(x, y, x + 1, y + g.height), g.height);
        // Nothing drawn just below the top edge at the right end of a
        // statement; its text inside the text box.
        if (n->type == ConstructType::Text) {
            EXPECT_EQ(bitmap.darkIn(x + g.width - 4, y + 2, x + g.width - 1, y + g.height - 1), 0);
            EXPECT_GT(bitmap.darkIn(x + 1, y + 1, x + g.textWidth, y + g.height), 10);
            EXPECT_EQ(bitmap.darkIn(x + g.textWidth + 2, y + 2, x + g.width - 1, y + g.height - 1), 0);
        }
        y += g.height;
    }
    // The frame's bottom edge closes the column.
    EXPECT_EQ(bitmap.darkIn(x, y, x + geometry(levelInfoOf(level)->body).width + 1, y + 1),
              geometry(levelInfoOf(level)->body).width + 1);
}

TEST_F(GdiTest, AnEnhancedMetafilePlaysBack) {
    ConstructNode* level = diagram();
    char directory[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "vrd", 0, path);
    ASSERT_TRUE(writeSegmentEmf(ctx, level, path));
    HENHMETAFILE picture = GetEnhMetaFileA(path);
    ASSERT_NE(picture, nullptr);
    ENHMETAHEADER header{};
    GetEnhMetaFileHeader(picture, sizeof header, &header);
    const Extent size = segmentSize(level, 0);
    EXPECT_GT(header.nRecords, 20u);
    Bitmap bitmap(size.width, size.height);
    const RECT all{0, 0, size.width, size.height};
    EXPECT_TRUE(PlayEnhMetaFile(bitmap.dc(), picture, &all));
    DeleteEnhMetaFile(picture);
    DeleteFileA(path);
    EXPECT_GT(bitmap.darkIn(0, 0, size.width, size.height), 200) << "not blank";
    // The frame's right edge runs down the picture.
    const ViewGeometry& group = levelInfoOf(level)->views[0];
    EXPECT_GT(bitmap.darkIn(size.width - group.textWidth - 1, size.height / 2,
                            size.width - group.textWidth + 2, size.height / 2 + 20),
              15);
}

}  // namespace
