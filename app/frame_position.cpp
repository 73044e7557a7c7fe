#include "app/frame_position.h"

namespace {

constexpr int kMaxSteps = 10000;  // the walk always ends; this only bounds it

bool same(const SettingsRect& a, const SettingsRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void shift(SettingsRect& rect, int dx, int dy) {
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
}

long long overlap(long long a0, long long a1, long long b0, long long b1) {
    long long lo = a0 > b0 ? a0 : b0;
    long long hi = a1 < b1 ? a1 : b1;
    return hi - lo;
}

}  // namespace

bool frameRectAcceptable(const SettingsRect& rect, const SettingsRect& screen, int captionHeight) {
    if (captionHeight <= 0) return false;
    long long width = static_cast<long long>(rect.right) - rect.left;
    long long height = static_cast<long long>(rect.bottom) - rect.top;
    if (width < captionHeight || height < captionHeight) return false;
    return overlap(rect.left, rect.right, screen.left, screen.right) >= captionHeight &&
           overlap(rect.top, rect.bottom, screen.top, screen.bottom) >= captionHeight;
}

SettingsRect placeFrameRect(SettingsRect rect, const SettingsRect& screen, int captionHeight,
                            FrameTaken taken, void* context) {
    if (!taken || captionHeight <= 0) return rect;
    const SettingsRect start = rect;
    for (int step = 0; step < kMaxSteps && taken(rect, context); ++step) {
        shift(rect, captionHeight, captionHeight);
        long long cx = (static_cast<long long>(rect.left) + rect.right) / 2;
        long long cy = (static_cast<long long>(rect.top) + rect.bottom) / 2;
        if (cx < screen.left || cx >= screen.right || cy < screen.top || cy >= screen.bottom) {
            int byTop = rect.top / captionHeight;
            int byLeft = rect.left / captionHeight;
            int k = byTop < byLeft ? byTop : byLeft;
            if (k <= 0) return start;  // it cannot move back: keep the saved place
            shift(rect, -captionHeight * k, -captionHeight * k);
        }
        if (same(rect, start)) break;
    }
    return rect;
}
