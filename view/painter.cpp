#include "view/painter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/language_config.h"
#include "view/shapes.h"
#include "view/text_lines.h"

namespace {

enum FrameFlag : std::uint8_t {
    kFrameEnd = 0x01,        // the construct's drawing ends here
    kFrameCondition = 0x02,  // inside a compound condition: lines in its colour
    kFrameCoverLeft = 0x04,  // the nodes' left edges are drawn by the owner
    kFrameHeadList = 0x08,   // the list lies in a head-like slot
};

struct Painter {
    const ViewContext& c;
    const ViewMetrics& m;
    Canvas& canvas;
    Rect clip;
    PaintStats stats;
    bool drawsText;

    Colour colour(int index) const { return paletteColour(c, index); }

    void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Colour colour) {
        canvas.line(x0, y0, x1, y1, colour);
    }

    // A generated line the add-in marked (screen only).
    bool specialLine(std::int32_t line) const {
        return line > 0 && c.target == OutputTarget::Screen && c.specialLines &&
               std::binary_search(c.specialLines->begin(), c.specialLines->end(), line);
    }

    // Lines of `text` in `box`: the insets, one font height apart, cut off
    // at the box. Lines above the clip box are counted, not drawn. With a
    // `firstLine` (the construct's number) a marked line takes the special
    // lines' colour.
    void textLines(const char* text, int length, const Rect& box, Colour ink, std::int32_t firstLine = 0) {
        if (!drawsText) return;
        const std::int32_t left = box.left + m.textInset.width;
        std::int32_t y = box.top + m.textInset.height;
        std::int32_t line = firstLine;
        forEachLine(text, length, [&](const char* chars, int n) {
            if (y >= box.bottom || y >= clip.bottom) return false;
            if (y + m.font.height <= clip.top) {
                ++stats.skippedLines;
            } else {
                canvas.text(left, y, chars, n, specialLine(line) ? colour(kColourSpecialLines) : ink, box);
                ++stats.textLines;
            }
            y += m.font.height;
            if (line > 0) ++line;
            return true;
        });
    }

    // A text that may hold line breaks, rewritten first.
    void drawText(const char* text, const Rect& box, std::int32_t textHeight, Colour colour,
                  std::int32_t firstLine = 0) {
        const void* end = std::memchr(text, 0, kTextWorkSize - 1);
        int length = end ? static_cast<int>(static_cast<const char*>(end) - text) : kTextWorkSize - 1;
        if (hasLineBreaks(text, length)) {
            length = rewriteLineEnds(text, c.state->textWork, kTextWorkSize, &stats.loneCarriageReturns);
            text = c.state->textWork;
        }
        const std::int32_t height = std::min(textHeight, box.bottom - box.top);
        const std::int32_t top = box.top + (box.bottom - box.top - height) / 2;
        textLines(text, length, Rect{box.left, top, box.right, box.bottom}, colour, firstLine);
    }

    // The construct's own text in `box`, vertically centred; without one
    // its placeholder text.
    void ownText(const ConstructNode* n, const Rect& box, std::int32_t textHeight) {
        if (!drawsText) {
            const ViewGeometry& g = n->views[c.view];
            if (c.target == OutputTarget::PagePreview &&
                (g.textWidth > box.right - box.left || g.textHeight > box.bottom - box.top))
                canvas.fill(box, colour(kColourCriticalConstructs));
            return;
        }
        if (const char* text = displayText(n)) {
            drawText(text, box, textHeight,
                     colour(n->type == ConstructType::SpecialText ? kColourSpecialText : kColourText),
                     n->lineNumber);
        } else if (const char* placeholder = placeholderText(*c.config, n)) {
            drawText(placeholder, box, m.textInset.height + m.font.height + m.font.descent,
                     colour(kColourMetaStrings));
        }
    }

    Extent keyword(int code, std::int32_t x, std::int32_t y) {
        const Extent e = m.keywordExtents[code];
        if (e.width > 0 && drawsText) {
            const char* text = c.config->keywords[code];
            textLines(text, static_cast<int>(std::strlen(text)), Rect{x, y, x + e.width, y + e.height},
                      colour(kColourKeywords));
        }
        return e;
    }

    // The construct number, right-aligned against `right` in a rounded box.
    void number(const ConstructNode* n, std::int32_t right, std::int32_t y) {
        const std::uint32_t value = shownNumber(c, n);
        if (!value) return;
        char digits[16];
        const int length = std::snprintf(digits, sizeof digits, "%u", value);
        const std::int32_t width = numberWidth(c, value);
        const Rect box{right - width + 3, y + 2, right - 2, y + m.lineUnit - 2};
        if (!intersects(box, clip)) return;
        const Colour pen =
            colour(n->type == ConstructType::Level ? kColourSegmentNumbers : kColourLineNumbers);
        canvas.roundRect(box, m.lineUnit, pen, colour(kColourBackground));
        if (!drawsText) return;
        std::int32_t digitsWidth = 0;
        for (int i = 0; i < length; ++i) digitsWidth += m.digitWidth[digits[i] - '0'];
        const std::int32_t tx = box.left + (box.right - box.left - digitsWidth) / 2;
        const std::int32_t ty = box.top + (box.bottom - box.top - m.font.height) / 2;
        canvas.text(tx, ty, digits, length, pen, box);
        ++stats.textLines;
    }

    void labels(const ConstructNode* n, std::int32_t x, std::int32_t y, const ViewGeometry& g) {
        if (!g.leftLabelWidth && !g.rightLabelWidth) return;
        const std::int32_t offset = labelOffset(m, n->type);
        const std::int32_t top = y + (n->type == ConstructType::Call ? m.lineUnit / 2 : 0);
        const std::int32_t h = m.textInset.height + m.font.height + m.font.descent;
        if (g.leftLabelWidth)
            drawText(leftLabel(n), Rect{x + offset, top, x + offset + g.leftLabelWidth, top + m.lineUnit}, h,
                     colour(kColourLabels));
        if (g.rightLabelWidth) {
            const std::int32_t right = x + g.width - offset;
            drawText(rightLabel(n), Rect{right - g.rightLabelWidth, top, right, top + m.lineUnit}, h,
                     colour(kColourLabels));
        }
    }

    // Left edge bottom to top, then the top edge left to right without the
    // part [coverLeft, coverRight) that is drawn already.
    void edges(const ConstructNode* n, const PaintFrame& f, const ViewGeometry& g, Colour lines) {
        const bool headList = (f.flags & kFrameHeadList) != 0;
        if (!(f.flags & kFrameCoverLeft) && drawsLeftEdge(n, headList))
            line(f.x, f.y + g.height, f.x, f.y, lines);
        const EdgeSpan span = ownTopEdge(c, n, headList);
        const std::int32_t a = f.x + span.left;
        const std::int32_t b = f.x + span.right;
        if (a >= b) return;
        if (f.coverLeft >= f.coverRight || f.coverRight <= a || f.coverLeft >= b) {
            line(a, f.y, b, f.y, lines);
            return;
        }
        if (a < f.coverLeft) line(a, f.y, f.coverLeft, f.y, lines);
        if (f.coverRight < b) line(f.coverRight, f.y, b, f.y, lines);
    }

    void leftArrow(std::int32_t x, std::int32_t y, const ViewGeometry& g, Colour lines) {
        line(x + m.indent, y, x, y + g.height / 2, lines);
        line(x, y + g.height / 2, x + m.indent, y + g.height, lines);
    }

    // Draws one construct and queues its child lists.
    void drawNode(ConstructNode* n, const PaintFrame& f) {
        const ViewGeometry& g = n->views[c.view];
        const std::int32_t x = f.x;
        const std::int32_t y = f.y;
        const std::int32_t w = g.width;
        const std::int32_t h = g.height;
        const std::int32_t U = m.lineUnit;
        const std::int32_t I = m.indent;
        const std::int32_t ac = m.font.aveCharWidth;
        const std::int32_t lh = labelRowHeight(g, m);
        const std::int32_t bodyTop = h - g.innerHeight;
        const Colour lines = colour(f.flags & kFrameCondition ? kColourConditionLines : kColourLines);
        const Extent* K = m.keywordExtents;
        const ShapeRow& row = shapeOf(n->type);

        if (row.family == Family::Level) canvas.fill(Rect{x, y, x + w, y + h}, colour(kColourSegments));
        edges(n, f, g, lines);
        labels(n, x, y, g);

        ListPlace places[kMaxLists];
        const int count = placeLists(c, n, places);
        switch (row.family) {
            case Family::Placeholder: {
                number(n, x + w, y);
                const Slot slot = placeholderSlot(n);
                if (slot == Slot::Condition || isHeadLikeSlot(slot))
                    ownText(n, Rect{x, y + lh, x + w, y + h}, 0);
                break;
            }
            case Family::Text:
                number(n, x + w, y + lh);
                ownText(n, Rect{x, y + h - g.innerHeight, x + w - numberWidth(c, shownNumber(c, n)), y + h},
                        g.textHeight);
                break;
            case Family::Jump: {
                const std::int32_t ky = y + lh + (h - lh - U) / 2;
                if (n->type == ConstructType::JumpRestart) {
                    keyword(keywordOf(n), x, ky);
                    number(n, x + w - I, y + lh);
                    line(x + w - I, y, x + w, y + h / 2, lines);
                    line(x + w, y + h / 2, x + w - I, y + h, lines);
                } else {
                    keyword(keywordOf(n), x + I, ky);
                    number(n, x + w, y + lh);
                    leftArrow(x, y, g, lines);
                }
                break;
            }
            case Family::Body: {
                const Extent k = keyword(keywordOf(n), x, y + lh);
                if (n->type == ConstructType::Variable)
                    ownText(n, Rect{x + k.width, y + lh, x + k.width + g.textWidth, y + bodyTop},
                            g.textHeight);
                number(n, x + w, y + lh);
                break;
            }
            case Family::Closed:
                keyword(keywordOf(n), x, y + lh);
                number(n, x + w, y + lh);
                line(x + I, y + h - U, x + w, y + h - U, lines);
                break;
            case Family::Frame: {
                number(n, x + w, y + lh);
                const std::int32_t footer = y + h - std::max(U, g.auxHeight);
                line(x + I, footer, x + w, footer, lines);
                break;
            }
            case Family::Sections:
                if (n->type == ConstructType::ActionBlock) {
                    keyword(keywordOf(n), x, y + lh);
                    number(n, x + w, y + lh);
                    const std::int32_t rowY = y + h - g.auxHeight - U;
                    line(x, rowY, x + w, rowY, lines);
                    keyword(keywordOf(n, 2), x, rowY);
                } else {
                    ownText(n, Rect{x, y + lh, x + w, y + places[0].dy - U}, g.textHeight);
                    number(n, x + w, y + lh);
                    for (int i = 0; i < 3; ++i) {
                        const std::int32_t rowY = y + places[i].dy - U;
                        if (i > 0) line(x, rowY, x + w, rowY, lines);
                        keyword(keywordOf(n, i), x, rowY);
                    }
                }
                break;
            case Family::If:
                if (c.display->verticalIf) {
                    keyword(keywordOf(n), x, y + lh);
                    number(n, x + w, y + lh);
                    keyword(keywordOf(n, 1), x, y + bodyTop);
                    const std::int32_t elseY = y + bodyTop + U + g.auxHeight;
                    line(x, elseY, x + w, elseY, lines);
                    keyword(keywordOf(n, 2), x, elseY);
                } else {
                    const std::int32_t splitX = x + g.innerWidth;
                    const std::int32_t splitY = y + bodyTop;
                    line(x, y, splitX, splitY, lines);
                    line(splitX, splitY, x + w, y, lines);
                    keyword(keywordOf(n), x, y + lh);
                    number(n, x + w, y + lh);
                    keyword(keywordOf(n, 1), x, splitY - U);
                    keyword(keywordOf(n, 2), x + w - K[keywordOf(n, 2)].width, splitY - U);
                }
                break;
            case Family::Repeat: {
                keyword(keywordOf(n), x, y + lh);
                const std::int32_t foot = y + lh + g.innerHeight;
                line(x + repeatBarWidth(m), foot, x + w, foot, lines);
                keyword(keywordOf(n, 1), x, foot);
                number(n, x + w, foot);
                break;
            }
            case Family::Multiway:
                keyword(keywordOf(n), x, y + lh);
                number(n, x + w, y + lh);
                break;
            case Family::Operator: {
                const std::int32_t column = w - g.innerWidth;
                const bool numbered = shownNumber(c, n) != 0;
                number(n, x + column, y);
                keyword(keywordOf(n), x, y + (numbered ? U : 0));
                break;
            }
            case Family::Call:
                keyword(keywordOf(n), x + 2 * ac, y + lh + U / 2);
                number(n, x + w - 2 * ac, y + lh);
                line(x + ac, y + lh + U / 2, x + ac, y + h - U / 2, lines);
                line(x + w - ac, y + lh + U / 2, x + w - ac, y + h - U / 2, lines);
                break;
            case Family::Exit:
                if (n->type == ConstructType::WhenLeave) {
                    const std::int32_t row1 = std::max(U, g.textHeight);
                    keyword(keywordOf(n), x + I, y + lh + (row1 - U) / 2);
                    keyword(keywordOf(n, 1), x + I, y + lh + row1 + (h - lh - row1 - U) / 2);
                } else {
                    const std::int32_t ky = y + lh + (h - lh - U) / 2;
                    const Extent k = keyword(keywordOf(n), x + I, ky);
                    if (n->type == ConstructType::WhenExit)
                        keyword(keywordOf(n, 1), x + I + k.width + g.textWidth, ky);
                }
                number(n, x + w, y + lh);
                leftArrow(x, y, g, lines);
                break;
            case Family::Level:
                if (drawsText && count > 0) {
                    const ListPlace& p = places[0];
                    canvas.fill(Rect{x + p.dx, y + p.dy, x + p.dx + p.width, y + p.dy + p.height},
                                colour(kColourBackground));
                }
                number(n, x + w, y + lh);
                break;
            case Family::None:
                break;
        }
        queueLists(places, count, f);
    }

    // Child lists go on the stack last first, so that they are drawn in
    // order; a single condition is drawn as text in the head at once, a
    // compound one gets its frame.
    void queueLists(const ListPlace* places, int count, const PaintFrame& f) {
        const std::int32_t x = f.x;
        const std::int32_t y = f.y;
        for (int i = 0; i < count; ++i) {
            const ListPlace& p = places[i];
            if (!p.head) continue;
            const Rect box{x + p.dx, y + p.dy, x + p.dx + p.width, y + p.dy + p.height};
            if (p.flags & kListHeadText) {
                ownText(p.head, box, p.head->views[c.view].textHeight);
            } else if (p.flags & kListCondition) {
                const Colour frame = colour(kColourConditionLines);
                if (p.flags & kListFrameBottom) line(box.left, box.bottom, box.right, box.bottom, frame);
                if (p.flags & kListFrameRight) line(box.right, box.top, box.right, box.bottom, frame);
            }
        }
        for (int i = count - 1; i >= 0; --i) {
            const ListPlace& p = places[i];
            if (!p.head || (p.flags & kListHeadText)) continue;
            std::uint8_t listFlags = f.flags & kFrameCondition;
            if (p.flags & kListCondition) listFlags |= kFrameCondition;
            if (p.flags & kListCoverLeft) listFlags |= kFrameCoverLeft;
            if (isHeadLikeSlot(p.slot)) listFlags |= kFrameHeadList;
            // What is drawn already along the list's top: the owner's top
            // edge, and for a list at the owner's top what covered the owner.
            std::int32_t left = x + p.coverLeft;
            std::int32_t right = x + p.coverRight;
            if (left >= right) left = right = 0;
            if (p.dy == 0 && f.coverLeft < f.coverRight) {
                if (left >= right || f.coverRight < left || right < f.coverLeft) {
                    left = f.coverLeft;
                    right = f.coverRight;
                } else {
                    left = std::min(left, f.coverLeft);
                    right = std::max(right, f.coverRight);
                }
            }
            pushList(p.head, x + p.dx, y + p.dy, p.width, left, right, listFlags);
        }
    }

    // Queues the list from `head` (its top-left corner at (x, y), `width`
    // wide) from its first construct that reaches into the clip box on:
    // whatever lies above is skipped without a walk, a list beside the
    // clip box altogether.
    void pushList(ConstructNode* head, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t coverLeft, std::int32_t coverRight, std::uint8_t flags) {
        if (x >= clip.right || x + width <= clip.left || y >= clip.bottom) return;
        const ListSpot spot = seekList(*c.state, c.view, head, y, clip.top);
        if (!spot.node) return;
        if (spot.node != head) coverLeft = coverRight = 0;  // the owner's line covers only the head
        c.state->paintStack.push_back(PaintFrame{spot.node, x, spot.top, coverLeft, coverRight, flags});
    }

    // Draws what is on the stack above `base`, depth first: a construct,
    // then its lists, then its successor.
    void run(std::size_t base) {
        std::vector<PaintFrame>& stack = c.state->paintStack;
        while (stack.size() > base) {
            PaintFrame& top = stack.back();
            ConstructNode* n = top.node;
            if (top.flags & kFrameEnd) {
                stack.pop_back();
                canvas.endConstruct(n);
                continue;
            }
            if (!n || top.y >= clip.bottom) {
                stack.pop_back();
                continue;
            }
            const PaintFrame current = top;
            const ViewGeometry& g = n->views[c.view];
            top.node = n->next;
            top.y += g.height;
            top.coverLeft = top.coverRight = 0;
            const Rect r{current.x, current.y, current.x + g.width, current.y + g.height};
            if (g.width <= 0 || g.height <= 0 || !intersects(r, clip) || !canvas.visible(r)) continue;
            ++stats.constructs;
            canvas.beginConstruct(n, r);
            stack.push_back(PaintFrame{n, 0, 0, 0, 0, kFrameEnd});
            drawNode(n, current);
        }
    }
};

}  // namespace

Colour paletteColour(const ViewContext& ctx, int index) {
    if (index < 0 || index >= kColourCount) index = kColourLines;
    if (ctx.target == OutputTarget::PrintJob && ctx.display->printMono) {
        if (index == kColourBackground) return 0xFFFFFF;
        if (index == kColourSegments) return 0xC0C0C0;
        return 0x000000;
    }
    return ctx.display->palette[index];
}

int paintSegment(const ViewContext& ctx, Canvas& canvas, ConstructNode* level, PaintStats* stats) {
    LevelInfo* info = levelInfoOf(level);
    if (!info || !(info->viewValid & (1u << ctx.view))) return 0;
    const ViewGeometry& group = info->views[ctx.view];
    const std::int32_t width = group.innerWidth;
    const std::int32_t height = group.innerHeight;
    if (width <= 0 || height <= 0 || width >= kWorksheetLimit || height >= kWorksheetLimit) return 0;
    const ViewMetrics& m = ctx.vm();
    const bool drawsText = ctx.target == OutputTarget::Screen || ctx.target == OutputTarget::PrintJob;
    Painter p{ctx, m, canvas, canvas.clipBox(), PaintStats{}, drawsText};

    const std::int32_t mx = group.textWidth;
    const std::int32_t my = group.textHeight;
    const std::int32_t headRow = group.auxHeight + m.lineUnit;
    canvas.fill(Rect{0, 0, width, height}, p.colour(kColourBackground));
    canvas.beginConstruct(level, Rect{0, 0, width, height});
    p.number(level, width - mx, my);
    // The body first, then the head centred in its row.
    const std::size_t base = ctx.state->paintStack.size();
    ListPlace lists[2];
    placeSegmentLists(ctx, level, lists);
    if (lists[0].head)
        p.pushList(lists[0].head, lists[0].dx, lists[0].dy, lists[0].width, 0, 0, kFrameHeadList);
    if (lists[1].head) p.pushList(lists[1].head, lists[1].dx, lists[1].dy, lists[1].width, 0, 0, 0);
    p.run(base);
    if (info->body) {
        const Colour lines = p.colour(kColourLines);
        p.line(width - mx, my + headRow, width - mx, height - my, lines);
        p.line(width - mx, height - my, mx, height - my, lines);
    }
    canvas.endConstruct(level);
    if (stats) *stats = p.stats;
    return 1;
}
