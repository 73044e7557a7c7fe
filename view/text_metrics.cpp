#include "view/text_metrics.h"

FixedTextMetrics FixedTextMetrics::forPoints(int points) {
    if (points <= 0) points = 10;
    const int em = (points * 4 + 1) / 3;
    const int charWidth = (em * 3 + 2) / 5;
    const int height = em + em / 8;
    return FixedTextMetrics(charWidth, height, em / 4, height - em);
}
