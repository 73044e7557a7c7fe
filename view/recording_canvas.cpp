#include "view/recording_canvas.h"

void RecordingCanvas::keep(CanvasCall&& call) {
    if (call.kind != CanvasCall::Begin && call.kind != CanvasCall::End) ++drawCalls;
    if (keep_) calls.push_back(std::move(call));
}

void RecordingCanvas::line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                           Colour colour) {
    keep({CanvasCall::Line, {x0, y0, x1, y1}, colour, {}, nullptr});
}

void RecordingCanvas::fill(const Rect& rect, Colour colour) {
    keep({CanvasCall::Fill, rect, colour, {}, nullptr});
}

void RecordingCanvas::roundRect(const Rect& rect, std::int32_t, Colour pen, Colour) {
    keep({CanvasCall::RoundRect, rect, pen, {}, nullptr});
}

void RecordingCanvas::text(std::int32_t x, std::int32_t y, const char* text, int length, Colour colour,
                           const Rect& clip) {
    keep({CanvasCall::Text,
          {x, y, clip.right, clip.bottom},
          colour,
          keep_ ? std::string(text, static_cast<std::size_t>(length)) : std::string(),
          nullptr});
}

void RecordingCanvas::beginConstruct(const ConstructNode* node, const Rect& rect) {
    ++constructs;
    keep({CanvasCall::Begin, rect, 0, {}, node});
}

void RecordingCanvas::endConstruct(const ConstructNode* node) {
    keep({CanvasCall::End, {}, 0, {}, node});
}

std::vector<CanvasCall> RecordingCanvas::only(CanvasCall::Kind kind) const {
    std::vector<CanvasCall> out;
    for (const CanvasCall& call : calls)
        if (call.kind == kind) out.push_back(call);
    return out;
}
