// Painting: one procedure over the construct tree that draws a laid-out
// segment onto any Canvas (a window, a printer page, a picture). Every
// construct draws its left and top edges, its keywords, its text, its
// labels and its number, then its child lists at the offsets layout gives
// (placeLists); right and bottom edges come from the neighbours and the
// segment's frame. Constructs outside the clip box are skipped with
// everything in them, and a list stops at the bottom of the clip box, so
// that a repaint costs what can be seen. Painting never measures text.
#pragma once

#include <cstdint>

#include "view/canvas.h"
#include "view/layout.h"

struct PaintStats {
    int constructs = 0;           // constructs drawn
    int textLines = 0;            // text lines drawn
    int skippedLines = 0;         // text lines outside the clip box, counted to keep their place
    int loneCarriageReturns = 0;  // CRs without LF dropped from texts
};

// The colour of a palette index for the context's target: the document's
// palette, or black and white for a print job with PrintMono.
Colour paletteColour(const ViewContext& ctx, int index);

// Paints the segment of `level`, laid out for the context's view, with its
// top-left corner at (0, 0). Returns 0, painting nothing, when the segment
// is not laid out for the view or exceeds the worksheet limit.
int paintSegment(const ViewContext& ctx, Canvas& canvas, ConstructNode* level, PaintStats* stats = nullptr);
