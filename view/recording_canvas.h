// A canvas that keeps what is drawn on it, for tests, or only counts the
// calls, for benchmarks. Its clip box is given; everything inside it is
// visible.
#pragma once

#include <string>
#include <vector>

#include "view/canvas.h"

struct CanvasCall {
    enum Kind : std::uint8_t { Line, Fill, RoundRect, Text, Begin, End } kind;
    Rect at;  // Line: x0, y0, x1, y1; Text: x, y and the clip's right, bottom; else the rectangle
    Colour colour;
    std::string text;           // Text
    const ConstructNode* node;  // Begin, End
};

class RecordingCanvas final : public Canvas {
public:
    explicit RecordingCanvas(Rect clip, bool keepCalls = true) : clip_(clip), keep_(keepCalls) {}

    void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Colour colour) override;
    void fill(const Rect& rect, Colour colour) override;
    void roundRect(const Rect& rect, std::int32_t corner, Colour pen, Colour fill) override;
    void text(std::int32_t x, std::int32_t y, const char* text, int length, Colour colour,
              const Rect& clip) override;
    Rect clipBox() const override { return clip_; }
    bool visible(const Rect& rect) const override { return intersects(rect, clip_); }
    void beginConstruct(const ConstructNode* node, const Rect& rect) override;
    void endConstruct(const ConstructNode* node) override;

    std::vector<CanvasCall> calls;  // with keepCalls
    int drawCalls = 0;              // lines, fills, rounded rectangles and texts
    int constructs = 0;             // constructs begun

    // The calls of one kind.
    std::vector<CanvasCall> only(CanvasCall::Kind kind) const;

private:
    void keep(CanvasCall&& call);
    Rect clip_;
    bool keep_;
};
