// The insertion point of a pending insertion as a segment window shows it:
// which construct the pointer or the keyboard highlights and the position
// relative to it (after, before, replace), the mark drawn for it, the
// insertion cursor of each command, and the drag threshold of a selection
// dragged with the mouse. The window side (app/insertion_win32.cpp) turns
// mouse messages and keys into calls of these.
#pragma once

#include <cstdint>

#include "edit/placement.h"
#include "view/segment_window.h"

// The target under a content point of the shown segment: a placeholder is
// replaced; on another construct the upper half of its box means before
// it, the lower half after it. An empty segment takes the sequence as its
// body wherever the pointer is. No target (null) outside every construct.
InsertTarget insertTargetAt(const ViewContext& ctx, ConstructNode* shownSegment, std::int32_t x,
                            std::int32_t y);

// Where the keyboard starts the mark: after the selected area, else before
// the segment's first construct (an empty segment: its body).
InsertTarget initialInsertMark(const SegmentWindow& window);

// Moves the mark by a selection key (CMD_KEY_*): Down goes from before a
// construct to after it, then to after the next one; Up the other way;
// the other plain keys move the highlighted construct as they move the
// selection and keep the side. Keys that extend a selection do nothing.
// The window may scroll to keep the mark in view; its selection is kept.
// True when the mark moved.
bool moveInsertMark(const ViewContext& ctx, SegmentWindow& window, InsertTarget& mark, unsigned command);

// The rectangle of the mark in content coordinates: a bar along the top
// (before) or bottom (after) edge of the construct, the whole box for a
// construct replaced. False when the target is not drawn in the segment.
bool insertMarkRect(const ViewContext& ctx, ConstructNode* shownSegment, const InsertTarget& mark, Rect* out);

// The name of the cursor resource of insertion mode for a command: "move"
// (Move), "copy" (Copy), "clip" (Paste), one per construct family for the
// construct commands ("altif", "while", ...), "rect" for the others; with
// the suffix "_cur".
const char* insertionCursorName(unsigned command);

// The distance the pointer must move with the button held before a press
// on the selection becomes a drag: horizontally the larger of half the
// double-click width and the line unit, vertically of half the
// double-click height and the average character width.
struct DragThreshold {
    std::int32_t dx, dy;
};
DragThreshold dragThreshold(std::int32_t doubleClickWidth, std::int32_t doubleClickHeight,
                            std::int32_t lineUnit, std::int32_t averageCharWidth);
bool beyondThreshold(const DragThreshold& threshold, std::int32_t dx, std::int32_t dy);

// The direction of the automatic scrolling while a drag holds the pointer
// outside the client (x, y in client coordinates): -1 or 1 towards each
// side the pointer left, 0 inside.
ScrollMove autoScrollDirection(const SegmentWindow& window, std::int32_t x, std::int32_t y);
