#include "view/layout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/language_config.h"
#include "core/host.h"
#include "resources/strings.h"
#include "view/shapes.h"
#include "view/text_lines.h"

namespace {

// Generations come from one counter, so that two view states never share
// one and geometry laid out for one is never taken as valid for another.
std::uint32_t g_nextGeneration = 1;
std::uint64_t g_layoutEpoch = 1;

std::uint32_t newGeneration() {
    const std::uint32_t generation = g_nextGeneration++;
    if (g_nextGeneration == 0) g_nextGeneration = 1;
    return generation;
}

std::int32_t clampToLimit(std::int64_t value) {
    return value < 0 || value >= kWorksheetLimit ? kWorksheetLimit : static_cast<std::int32_t>(value);
}

std::int32_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    return c == 0 ? 0 : static_cast<std::int32_t>(a * b / c);
}

// Width and height of a laid-out list: the widest node, the heights added
// with saturation.
Extent listExtent(int view, const ConstructNode* head) {
    Extent e{0, 0};
    for (const ConstructNode* n = head; n; n = n->next) {
        const ViewGeometry& g = n->views[view];
        e.width = std::max(e.width, g.width);
        e.height = satAdd(e.height, g.height);
    }
    return e;
}

std::int32_t listHeight(int view, const ConstructNode* head) {
    return listExtent(view, head).height;
}

// The child lists the natural pass sizes: every child sequence of the type
// except a segment's body, which is a layout of its own.
int layoutLists(const ConstructNode* node, ConstructNode* out[kMaxLists]) {
    if (node->type == ConstructType::Level) {
        out[0] = childAt(node, Slot::Head);
        return 1;
    }
    const ConstructInfo* info = constructInfo(node->type);
    if (!info || (info->groups & kGroupEdge)) return 0;
    int count = 0;
    for (const SlotWord& sw : childSlots(*info)) out[count++] = childAt(node, sw.slot);
    return count;
}

// The dummy is shown a line high instead of an empty box: an empty branch
// beside a filled one, a variable's empty body, the body of a rest branch,
// an empty rest.
bool shortPlaceholder(const ConstructNode* node) {
    Slot slot = Slot::None;
    const ConstructNode* owner = headOwner(node, &slot);
    if (!owner) slot = placeholderSlot(node);
    if (owner && (owner->type == ConstructType::If || owner->type == ConstructType::IfError) &&
        (slot == Slot::Then || slot == Slot::Else)) {
        const ConstructNode* other = childAt(owner, slot == Slot::Then ? Slot::Else : Slot::Then);
        return other && other->type != ConstructType::Dummy;
    }
    if (slot == Slot::Body && owner && owner->type == ConstructType::Variable) return true;
    if (slot == Slot::BranchBody && owner && slotOf(owner) == Slot::Rest) return true;
    return slot == Slot::Rest || slotCode(slot) == 14 || slotCode(slot) == 15 || slot == Slot::Closing;
}

struct Pass {
    const ViewContext& c;
    const ViewMetrics& m;
    int loneCarriageReturns;
};

Extent measure(Pass& p, const char* text, int lineLimit = -1) {
    return textExtent(p.c, text, lineLimit, &p.loneCarriageReturns);
}

// Sizes one node whose child lists are sized: its natural box. False when
// it leaves the worksheet.
bool sizeNode(Pass& p, ConstructNode* n) {
    const ViewContext& c = p.c;
    const ViewMetrics& m = p.m;
    ViewGeometry& g = n->views[c.view];
    g = ViewGeometry{};
    const ShapeRow& row = shapeOf(n->type);
    const std::int32_t U = m.lineUnit;
    const std::int32_t I = m.indent;
    const std::int32_t ac = m.font.aveCharWidth;

    std::int64_t labelsWidth = 0;
    if (row.family != Family::Operator) {
        if (c.display->showLeftLabels) g.leftLabelWidth = clampToLimit(measure(p, leftLabel(n), 1).width);
        if (c.display->showRightLabels) g.rightLabelWidth = clampToLimit(measure(p, rightLabel(n), 1).width);
        if (g.leftLabelWidth || g.rightLabelWidth)
            labelsWidth = 2 * std::int64_t{labelOffset(m, n->type)} + g.leftLabelWidth + g.rightLabelWidth;
    }
    const std::int32_t lh = labelRowHeight(g, m);
    const std::int32_t N = numberWidth(c, shownNumber(c, n));
    const Extent* K = m.keywordExtents;
    const Extent kw = K[keywordOf(n)];
    auto list = [&](Slot s) { return listExtent(c.view, childAt(n, s)); };
    // The head's size as the text box, the body's as the inner region.
    auto keep = [&](Extent head, Extent body) {
        g.textWidth = head.width;
        g.textHeight = head.height;
        g.innerWidth = body.width;
        g.innerHeight = body.height;
    };

    std::int64_t w = 0;  // the box without the label row
    std::int64_t h = 0;
    switch (row.family) {
        case Family::Placeholder: {
            const Slot slot = placeholderSlot(n);
            if (slot == Slot::Condition || isHeadLikeSlot(slot)) {
                const Extent text = measure(p, placeholderText(*c.config, n));
                g.textWidth = g.innerWidth = text.width;
                g.textHeight = g.innerHeight = text.height;
                w = (text.width ? text.width : m.emptyBox.width) + std::int64_t{N};
                h = text.width ? std::max(U, text.height) : U;
            } else {
                w = std::max(m.emptyBox.width, N);
                h = shortPlaceholder(n) ? U : m.emptyBox.height;
            }
            break;
        }
        case Family::Text: {
            const Extent text = measure(p, displayText(n));
            g.textWidth = text.width;
            g.textHeight = text.height;
            if (text.width == 0) {
                w = std::int64_t{m.emptyBox.width} + N;
                h = m.emptyBox.height;
            } else {
                w = std::int64_t{text.width} + N;
                h = std::max(U, text.height);
            }
            g.innerWidth = clampToLimit(w);
            g.innerHeight = clampToLimit(h);
            break;
        }
        case Family::Jump:
            w = std::int64_t{I} + kw.width + N;
            h = U;
            break;
        case Family::Body: {
            bool rest = false;
            isMultiwayBranch(n, &rest);
            Extent head{0, 0};
            if (n->type == ConstructType::Variable)
                head = measure(p, displayText(n));
            else if (row.head != Slot::None && !rest)
                head = list(row.head);
            const Extent body = list(row.body);
            keep(head, body);
            w = std::max(std::int64_t{kw.width} + head.width + N, std::int64_t{I} + body.width);
            h = std::int64_t{std::max({U, kw.height, head.height})} + body.height;
            break;
        }
        case Family::Closed: {
            const Extent head = list(row.head);
            const Extent body = list(row.body);
            keep(head, body);
            w = std::max(std::int64_t{std::max(I, kw.width)} + head.width + N, std::int64_t{I} + body.width);
            h = std::int64_t{std::max({U, kw.height, head.height})} + body.height + U;
            break;
        }
        case Family::Frame: {
            const Extent head = list(Slot::Head);
            const Extent body = list(Slot::Body);
            const Extent footer = list(Slot::Footer);
            keep(head, body);
            g.auxWidth = footer.width;
            g.auxHeight = footer.height;
            w = std::max(
                {std::int64_t{head.width} + N, std::int64_t{I} + body.width, std::int64_t{footer.width}});
            h = std::int64_t{std::max(U, head.height)} + body.height + std::max(U, footer.height);
            break;
        }
        case Family::Sections: {
            const bool action = n->type == ConstructType::ActionBlock;
            const Extent head = action ? list(Slot::Head) : measure(p, displayText(n));
            const Extent first = action ? Extent{0, 0} : list(Slot::Declarations);
            const Extent body = list(Slot::Body);
            const Extent closing = list(Slot::Closing);
            keep(head, body);
            g.auxWidth = action ? closing.width : first.width;
            g.auxHeight = action ? closing.height : first.height;
            const std::int64_t lists = std::int64_t{I} + std::max({first.width, body.width, closing.width});
            w = std::max({std::int64_t{action ? kw.width : 0} + head.width + N, lists,
                          std::int64_t{K[keywordOf(n, 1)].width}, std::int64_t{K[keywordOf(n, 2)].width}});
            h = std::int64_t{std::max(U, head.height)} + body.height + U + closing.height;
            if (!action) h += std::int64_t{first.height} + 2 * U;
            break;
        }
        case Family::If: {
            const Extent cond = row.head != Slot::None ? list(row.head) : Extent{0, 0};
            const ConstructNode* thenHead = childAt(n, Slot::Then);
            const ConstructNode* elseHead = childAt(n, Slot::Else);
            const Extent thenList = listExtent(c.view, thenHead);
            const Extent elseList = listExtent(c.view, elseHead);
            const Extent k1 = K[keywordOf(n, 1)];
            const Extent k2 = K[keywordOf(n, 2)];
            g.textWidth = cond.width;
            g.textHeight = cond.height;
            if (c.display->verticalIf) {
                g.innerWidth = std::max(thenList.width, elseList.width);
                g.innerHeight = clampToLimit(std::int64_t{thenList.height} + elseList.height + 2 * U);
                g.auxHeight = thenList.height;
                w = std::max({std::int64_t{kw.width} + cond.width + N, std::int64_t{k1.width},
                              std::int64_t{k2.width}, std::int64_t{I} + g.innerWidth});
                h = std::int64_t{std::max({U, kw.height, cond.height})} + g.innerHeight;
            } else {
                const std::int32_t thenWidth =
                    isEmptyBranch(thenHead) ? I : std::max(thenList.width, k1.width);
                const std::int32_t elseWidth =
                    isEmptyBranch(elseHead) ? I : std::max(elseList.width, k2.width);
                g.innerWidth = thenWidth;
                g.innerHeight = std::max(thenList.height, elseList.height);
                g.auxWidth = elseWidth;
                const std::int64_t head = std::max(std::int64_t{kw.width} + std::max(ac, cond.width) + N,
                                                   std::int64_t{k1.width} + k2.width);
                w = std::max(std::int64_t{thenWidth} + elseWidth, head);
                h = std::int64_t{std::max(U, cond.height)} + U + g.innerHeight;
            }
            break;
        }
        case Family::Repeat: {
            const Extent cond = list(Slot::Condition);
            const Extent body = list(Slot::Body);
            const std::int32_t bar = repeatBarWidth(m);
            g.textWidth = cond.width;
            g.textHeight = cond.height;
            g.innerWidth = body.width;
            g.innerHeight = std::max(body.height, U);
            w = std::max(std::int64_t{bar} + body.width,
                         std::int64_t{K[keywordOf(n, 1)].width} + cond.width + N);
            h = std::int64_t{g.innerHeight} + std::max(U, cond.height);
            break;
        }
        case Family::Multiway: {
            const Extent head = row.head != Slot::None ? list(row.head) : Extent{0, 0};
            const Extent branches = list(Slot::Branches);
            const Extent rest = list(Slot::Rest);
            g.textWidth = head.width;
            g.textHeight = head.height;
            g.innerWidth = std::max(branches.width, rest.width);
            g.innerHeight = satAdd(branches.height, rest.height);
            g.auxHeight = branches.height;
            w = std::max(std::int64_t{kw.width} + head.width + N, std::int64_t{I} + g.innerWidth);
            h = std::int64_t{std::max(U, head.height)} + g.innerHeight;
            break;
        }
        case Family::Operator: {
            const Extent operands = list(Slot::Condition);
            const std::int32_t column = std::max(kw.width, N);
            g.textWidth = g.innerWidth = operands.width;
            g.textHeight = operands.height;
            w = std::int64_t{column} + operands.width;
            h = std::max(operands.height, N ? 2 * U : U);
            g.innerHeight = clampToLimit(h);
            break;
        }
        case Family::Call: {
            const Extent head = list(Slot::Head);
            g.textWidth = head.width;
            g.textHeight = head.height;
            w = 4 * std::int64_t{ac} + kw.width + head.width + N;
            h = 2 * std::int64_t{U / 2} + std::max(U, head.height);
            g.innerWidth = clampToLimit(w);
            g.innerHeight = clampToLimit(h);
            break;
        }
        case Family::Exit: {
            if (n->type == ConstructType::Leave) {
                const Extent name = list(Slot::Head);
                g.textWidth = name.width;
                g.textHeight = name.height;
                w = std::int64_t{I} + kw.width + name.width + N;
                h = std::max(U, name.height);
                break;
            }
            const Extent cond = list(Slot::Condition);
            const Extent k1 = K[keywordOf(n, 1)];
            g.textWidth = cond.width;
            g.textHeight = cond.height;
            if (n->type == ConstructType::WhenExit) {
                w = std::int64_t{I} + kw.width + cond.width + k1.width + N;
                h = std::max(U, cond.height);
            } else {
                const Extent name = list(Slot::Head);
                g.auxWidth = name.width;
                g.auxHeight = name.height;
                w = std::int64_t{I} +
                    std::max(std::int64_t{kw.width} + cond.width, std::int64_t{k1.width} + name.width) + N;
                h = std::int64_t{std::max(U, cond.height)} + std::max(U, name.height);
            }
            break;
        }
        case Family::Level: {
            const Extent head = list(Slot::Head);
            g.textWidth = head.width;
            g.textHeight = head.height;
            w = std::int64_t{std::max(head.width, N)} + I;
            h = std::int64_t{N ? U : U / 2} + std::max(U, head.height) + U / 2;
            break;
        }
        case Family::None:
            w = m.emptyBox.width;
            h = m.emptyBox.height;
            break;
    }
    g.width = clampToLimit(std::max(w, labelsWidth));
    g.height = clampToLimit(std::int64_t{lh} + h);
    return g.width < kWorksheetLimit && g.height < kWorksheetLimit;
}

// The natural pass over `head` and everything below it, children before
// their owner, with an explicit stack (depth costs heap, not call stack).
Extent natural(Pass& p, ConstructNode* head) {
    if (!head) return {0, 0};
    std::vector<NaturalFrame>& stack = p.c.state->naturalStack;
    const std::size_t base = stack.size();
    auto push = [&](ConstructNode* node) {
        NaturalFrame f{node, {}, 0, 0};
        f.count = static_cast<std::uint8_t>(layoutLists(node, f.lists));
        stack.push_back(f);
    };
    push(head);
    while (stack.size() > base) {
        NaturalFrame& f = stack.back();
        if (f.next < f.count) {
            ConstructNode* child = f.lists[f.next++];
            if (child) push(child);
            continue;
        }
        ConstructNode* node = f.node;
        if (!sizeNode(p, node)) {
            stack.resize(base);
            return {kWorksheetLimit, kWorksheetLimit};
        }
        if (node->next) {
            f = NaturalFrame{node->next, {}, 0, 0};
            f.count = static_cast<std::uint8_t>(layoutLists(node->next, f.lists));
        } else {
            stack.pop_back();
        }
    }
    const Extent e = listExtent(p.c.view, head);
    if (e.width >= kWorksheetLimit || e.height >= kWorksheetLimit) return {kWorksheetLimit, kWorksheetLimit};
    return e;
}

// Fitting one node into its column: the new width and height, and how its
// inner regions take the share.
void fitNode(const ViewContext& c, ConstructNode* n, std::int32_t width, std::int32_t height,
             std::int32_t share) {
    const ViewMetrics& m = c.vm();
    ViewGeometry& g = n->views[c.view];
    const ViewGeometry old = g;
    const std::int32_t U = m.lineUnit;
    const std::int32_t I = m.indent;
    g.width = width;
    g.height = height;
    const Family family = shapeOf(n->type).family;
    if (family == Family::Text) {
        g.innerWidth = width;
        g.innerHeight = old.innerHeight + share;
        return;
    }
    if (family == Family::Sections) {
        g.innerHeight = old.innerHeight + share;  // the whole share goes to the body
    } else if (old.height > 0) {
        g.innerHeight = old.innerHeight + mulDiv(share, old.innerHeight, old.height);
    }
    const std::int32_t grown = g.innerHeight - old.innerHeight;
    switch (family) {
        case Family::If:
            if (c.display->verticalIf) {
                const std::int32_t thenHeight = old.auxHeight;
                const std::int32_t elseHeight = old.innerHeight - 2 * U - thenHeight;
                const std::int32_t lists = thenHeight + elseHeight;
                g.auxHeight = thenHeight + (lists > 0 ? mulDiv(grown, thenHeight, lists) : grown / 2);
                g.innerWidth = width - I;
            } else {
                const std::int32_t thenWidth = old.innerWidth;
                const std::int32_t elseWidth = old.auxWidth;
                const std::int32_t spare = std::max(0, width - thenWidth - elseWidth);
                const bool emptyThen = isEmptyBranch(childAt(n, Slot::Then));
                const bool emptyElse = isEmptyBranch(childAt(n, Slot::Else));
                std::int32_t thenShare = mulDiv(spare, thenWidth, thenWidth + elseWidth);
                if (emptyElse && !emptyThen) thenShare = spare;
                if (emptyThen && !emptyElse) thenShare = 0;
                g.innerWidth = thenWidth + thenShare;
                g.auxWidth = width - g.innerWidth;
            }
            break;
        case Family::Multiway: {
            const std::int32_t branches = old.auxHeight;
            const std::int32_t lists = old.innerHeight;
            g.auxHeight = branches + (lists > 0 ? mulDiv(grown, branches, lists) : 0);
            g.innerWidth = width - I;
            break;
        }
        case Family::Operator:
            g.innerWidth = width - (old.width - old.innerWidth);
            g.innerHeight = height;
            break;
        case Family::Repeat:
            g.innerWidth = width - repeatBarWidth(m);
            break;
        case Family::Body:
        case Family::Closed:
        case Family::Frame:
        case Family::Sections:
            g.innerWidth = width - I;
            break;
        default:
            break;
    }
}

// The fit pass over a list, top-down, with an explicit stack.
void fit(const ViewContext& c, ConstructNode* head, std::int32_t width, std::int32_t height) {
    if (!head) return;
    std::vector<FitFrame>& stack = c.state->fitStack;
    const std::size_t base = stack.size();
    stack.push_back({head, width, height, listHeight(c.view, head)});
    ListPlace places[kMaxLists];
    while (stack.size() > base) {
        FitFrame& f = stack.back();
        ConstructNode* n = f.node;
        if (!n || f.total <= 0) {
            stack.pop_back();
            continue;
        }
        const std::int32_t h = n->views[c.view].height;
        const std::int32_t extra = std::max(0, f.height - f.total);
        std::int32_t share = extra;
        if (n->next) share = std::min<std::int64_t>(extra, (std::int64_t{extra} * h + f.total - 1) / f.total);
        const std::int32_t newHeight = h + share;
        const std::int32_t columnWidth = f.width;
        f.height -= newHeight;
        f.total -= h;
        f.node = n->next;
        fitNode(c, n, columnWidth, newHeight, share);
        const int count = placeLists(c, n, places);
        for (int i = count - 1; i >= 0; --i)
            if (places[i].head)
                stack.push_back(
                    {places[i].head, places[i].width, places[i].height, listHeight(c.view, places[i].head)});
    }
}

// A compound condition's flags: drawn as text in the head when it is one
// text alone (and numbers are off), else as a framed list; the frame's
// bottom and right lines only where no other line lies.
std::uint8_t conditionFlags(const ViewContext& c, const ConstructNode* head, const ListPlace& place,
                            const ViewGeometry& owner, std::int32_t lineBelow) {
    if (!head) return 0;
    const ConstructType t = head->type;
    const bool single =
        !head->next && (t == ConstructType::Text || t == ConstructType::KivCond || t == ConstructType::Dummy);
    if (single && !shownNumber(c, head)) return kListHeadText;
    std::uint8_t flags = kListCondition;
    if (place.dy + place.height < lineBelow) flags |= kListFrameBottom;
    if (place.dx + place.width < owner.width) flags |= kListFrameRight;
    return flags;
}

}  // namespace

// ---------------------------------------------------------------------------

ViewState::ViewState() : views{}, textWork{} {
    for (ViewMetrics& v : views) v.generation = newGeneration();
}

std::uint64_t layoutEpoch() {
    return g_layoutEpoch;
}

void invalidateLayout(ViewState& state, unsigned flags) {
    ++g_layoutEpoch;
    if (flags & kInvalidateAllViews)
        for (ViewMetrics& v : state.views) v.generation = newGeneration();
    auto remeasure = [&](int view) {
        state.views[view].indent = 0;
        state.views[view].generation = newGeneration();
    };
    if (flags & kInvalidateScreenFont)
        for (int view : {kViewScreen, kViewScreenEditing}) remeasure(view);
    if (flags & kInvalidatePrinterFont)
        for (int view : {kViewPrinter, kViewPrinterFitted}) remeasure(view);
    if (flags & kInvalidateFittedFont) remeasure(kViewPrinterFitted);
}

void invalidateSegmentLayout(ConstructNode* level) {
    ++g_layoutEpoch;
    if (LevelInfo* info = levelInfoOf(level)) info->viewValid = 0;
}

void computeViewMetrics(const ViewContext& ctx) {
    ViewMetrics& m = ctx.vm();
    const TextMetrics& t = *ctx.metrics;
    m.font = t.font();
    m.font.height = std::max(1, m.font.height);
    m.font.descent = std::max(0, m.font.descent);
    m.font.aveCharWidth = std::max(1, m.font.aveCharWidth);
    m.lineUnit = m.font.descent + 2 + m.font.height + m.font.descent;
    const DeviceResolution r = t.resolution();
    std::int32_t indent = m.lineUnit;
    if (r.vertRes > 0 && r.horzSize > 0)
        indent = mulDiv(mulDiv(m.lineUnit, r.horzRes, r.vertRes), r.vertSize, r.horzSize);
    m.indent = indent > 0 ? indent : m.lineUnit;
    m.emptyBox = {8 * m.font.aveCharWidth, 2 * m.font.height + m.lineUnit};
    m.textInset = {m.font.aveCharWidth, m.font.descent + 2};
    for (int code = 0; code < kKeywordCodes; ++code) {
        const char* text = ctx.config ? ctx.config->keywords[code] : "";
        const int length = static_cast<int>(std::strlen(text));
        m.keywordExtents[code] =
            length ? Extent{t.textWidth(text, length) + 2 * m.textInset.width, m.lineUnit} : Extent{0, 0};
    }
    // The logical operators get one width.
    std::int32_t operatorWidth = 0;
    for (int code = 20; code <= 23; ++code)
        operatorWidth = std::max(operatorWidth, m.keywordExtents[code].width);
    for (int code = 20; code <= 23; ++code) m.keywordExtents[code] = {operatorWidth, m.lineUnit};
    for (int digit = 0; digit < 10; ++digit) {
        const char d = static_cast<char>('0' + digit);
        m.digitWidth[digit] = t.textWidth(&d, 1);
    }
    if (m.generation == 0) m.generation = newGeneration();
}

Extent textExtent(const ViewContext& ctx, const char* text, int lineLimit, int* loneCarriageReturns) {
    if (!text || !*text || lineLimit == 0) return {0, 0};
    const ViewMetrics& m = ctx.vm();
    const TextMetrics& t = *ctx.metrics;
    const void* end = std::memchr(text, 0, kTextWorkSize - 1);
    int length = end ? static_cast<int>(static_cast<const char*>(end) - text) : kTextWorkSize - 1;
    std::int32_t widest = 0;
    int lines = 0;
    if (!hasLineBreaks(text, length)) {
        widest = t.textWidth(text, length);
        lines = 1;
    } else {
        char* work = ctx.state->textWork;
        length = rewriteLineEnds(text, work, kTextWorkSize, loneCarriageReturns);
        forEachLine(work, length, [&](const char* line, int n) {
            widest = std::max(widest, t.textWidth(line, n));
            return ++lines != lineLimit;
        });
    }
    if (widest == 0 && lines == 1 && length == 0) return {0, 0};
    return {clampToLimit(std::int64_t{widest} + 2 * m.textInset.width),
            clampToLimit(std::int64_t{m.textInset.height} + std::int64_t{lines} * m.font.height +
                         m.font.descent)};
}

std::int32_t numberWidth(const ViewContext& ctx, std::uint32_t number) {
    if (number == 0) return 0;
    const ViewMetrics& m = ctx.vm();
    std::int32_t width = 0;
    for (std::uint32_t n = number; n; n /= 10) width += m.digitWidth[n % 10];
    return width + 2 * m.textInset.width + 5;
}

std::uint32_t shownNumber(const ViewContext& ctx, const ConstructNode* node) {
    if (!node) return 0;
    if (node->type == ConstructType::Level) {
        const LevelInfo* info = levelInfoOf(node);
        return ctx.display->levelNumbers && info && hasSegmentBody(node) ? info->levelId : 0;
    }
    return ctx.display->lineNumbers ? static_cast<std::uint32_t>(node->lineNumber) : 0;
}

std::int32_t labelOffset(const ViewMetrics& m, ConstructType type) {
    switch (type) {
        case ConstructType::Call:
            return 2 * m.font.aveCharWidth;
        case ConstructType::WhenLeave:
        case ConstructType::Break:
        case ConstructType::Continue:
        case ConstructType::Leave:
            return m.indent;
        default:
            return 0;
    }
}

std::int32_t repeatBarWidth(const ViewMetrics& m) {
    return std::max(m.indent, m.keywordExtents[5].width);
}

std::int32_t ifConditionX(const ViewMetrics& m, const ViewGeometry& g, std::int32_t keywordWidth) {
    const std::int32_t t = std::max(m.font.aveCharWidth, g.textWidth);
    std::int32_t x = t >= g.width ? 0 : g.innerWidth - mulDiv(t, g.innerWidth, g.width);
    x = std::min(x, g.width - g.textWidth);
    return std::max(x, keywordWidth);
}

EdgeSpan ownTopEdge(const ViewContext& ctx, const ConstructNode* n, bool inHeadList) {
    const ViewGeometry& g = n->views[ctx.view];
    const Family family = shapeOf(n->type).family;
    if (family == Family::Placeholder && isHeadLikeSlot(placeholderSlot(n))) return {0, 0};
    if (family == Family::Text && inHeadList) return {0, 0};
    if (family == Family::Operator) return {0, g.width - g.innerWidth};
    bool rest = false;
    if (isMultiwayBranch(n, &rest)) {
        const ConstructNode* before = nullptr;
        if (rest) {
            before = lastOf(childAt(n->up, Slot::Branches));
        } else {
            if (slotOf(n) != Slot::Next) return {0, 0};  // the first branch
            before = n->up;
        }
        if (before && before->type == ConstructType::Frame) return {0, 0};
        const bool afterBranch = before && inGroup(before->type, kGroupBranch);
        return {afterBranch ? ctx.vm().indent : 0, g.width};
    }
    return {0, g.width};
}

bool drawsLeftEdge(const ConstructNode* n, bool inHeadList) {
    const Family family = shapeOf(n->type).family;
    if (family == Family::Placeholder && isHeadLikeSlot(placeholderSlot(n))) return false;
    if (family == Family::Text && inHeadList) return false;
    return !isMultiwayBranch(n);
}

int placeLists(const ViewContext& c, const ConstructNode* n, ListPlace out[kMaxLists]) {
    const ViewMetrics& m = c.vm();
    const ViewGeometry& g = n->views[c.view];
    const std::int32_t U = m.lineUnit;
    const std::int32_t I = m.indent;
    const std::int32_t lh = labelRowHeight(g, m);
    const Extent* K = m.keywordExtents;
    const ShapeRow& row = shapeOf(n->type);
    int count = 0;
    auto add = [&](Slot slot, std::int32_t dx, std::int32_t dy, std::int32_t w,
                   std::int32_t h) -> ListPlace& {
        ListPlace& p = out[count++];
        p = {childAt(n, slot), slot, dx, dy, w, h, 0, 0, 0};
        if (dy == 0) {
            const EdgeSpan top = ownTopEdge(c, n, false);
            p.coverLeft = top.left;
            p.coverRight = top.right;
        }
        return p;
    };
    // The head list beside a keyword: at its natural size; a condition is
    // framed unless drawn as text.
    auto head = [&](Slot slot, std::int32_t dx, std::int32_t dy, std::int32_t lineBelow) -> ListPlace& {
        ListPlace& p = add(slot, dx, dy, g.textWidth, g.textHeight);
        if (slot == Slot::Condition) p.flags |= conditionFlags(c, p.head, p, g, lineBelow);
        return p;
    };
    const std::int32_t bodyTop = g.height - g.innerHeight;
    switch (row.family) {
        case Family::Body: {
            bool rest = false;
            isMultiwayBranch(n, &rest);
            if (row.head != Slot::None && !rest) head(row.head, K[keywordOf(n)].width, lh, bodyTop);
            add(row.body, I, bodyTop, g.width - I, g.innerHeight);
            break;
        }
        case Family::Closed:
            head(row.head, std::max(I, K[keywordOf(n)].width), lh, bodyTop - U);
            add(row.body, I, bodyTop - U, g.width - I, g.innerHeight);
            break;
        case Family::Frame: {
            const std::int32_t footerRow = std::max(U, g.auxHeight);
            head(Slot::Head, 0, lh, 0);
            add(Slot::Body, I, g.height - g.innerHeight - footerRow, g.width - I, g.innerHeight);
            add(Slot::Footer, 0, g.height - footerRow, g.auxWidth, g.auxHeight);
            break;
        }
        case Family::Sections:
            if (n->type == ConstructType::ActionBlock) {
                head(Slot::Head, K[keywordOf(n)].width, lh, 0);
                add(Slot::Body, I, g.height - g.auxHeight - U - g.innerHeight, g.width - I, g.innerHeight);
                add(Slot::Closing, I, g.height - g.auxHeight, g.width - I, g.auxHeight);
            } else {
                const std::int32_t closing = listHeight(c.view, childAt(n, Slot::Closing));
                const std::int32_t body = g.height - closing - U - g.innerHeight;
                add(Slot::Declarations, I, body - U - g.auxHeight, g.width - I, g.auxHeight);
                add(Slot::Body, I, body, g.width - I, g.innerHeight);
                add(Slot::Closing, I, g.height - closing, g.width - I, closing);
            }
            break;
        case Family::If:
            if (c.display->verticalIf) {
                if (row.head != Slot::None) head(row.head, K[keywordOf(n)].width, lh, bodyTop + U);
                add(Slot::Then, I, bodyTop + U, g.width - I, g.auxHeight);
                add(Slot::Else, I, bodyTop + 2 * U + g.auxHeight, g.width - I,
                    g.innerHeight - 2 * U - g.auxHeight);
            } else {
                if (row.head != Slot::None)
                    head(row.head, ifConditionX(m, g, K[keywordOf(n)].width), lh, bodyTop);
                add(Slot::Then, 0, bodyTop, g.innerWidth, g.innerHeight).flags |= kListCoverLeft;
                add(Slot::Else, g.innerWidth, bodyTop, g.width - g.innerWidth, g.innerHeight);
            }
            break;
        case Family::Repeat: {
            const std::int32_t bar = repeatBarWidth(m);
            add(Slot::Body, bar, lh, g.width - bar, g.innerHeight);
            ListPlace& cond = head(Slot::Condition, K[keywordOf(n, 1)].width, lh + g.innerHeight, g.height);
            cond.coverLeft = bar;  // the foot row's line
            cond.coverRight = g.width;
            break;
        }
        case Family::Multiway:
            if (row.head != Slot::None) head(row.head, K[keywordOf(n)].width, lh, bodyTop);
            add(Slot::Branches, I, bodyTop, g.width - I, g.auxHeight);
            add(Slot::Rest, I, bodyTop + g.auxHeight, g.width - I, g.innerHeight - g.auxHeight);
            break;
        case Family::Operator:
            add(Slot::Condition, g.width - g.innerWidth, 0, g.innerWidth, g.height);
            break;
        case Family::Call:
            head(Slot::Head, 2 * m.font.aveCharWidth + K[keywordOf(n)].width, lh + U / 2, 0);
            break;
        case Family::Exit: {
            const std::int32_t x = I + K[keywordOf(n)].width;
            if (n->type == ConstructType::Leave) {
                head(Slot::Head, x, lh + (g.height - lh - g.textHeight) / 2, 0);
            } else if (n->type == ConstructType::WhenExit) {
                head(Slot::Condition, x, lh + (g.height - lh - g.textHeight) / 2, g.height);
            } else {
                const std::int32_t row1 = std::max(U, g.textHeight);
                head(Slot::Condition, x, lh + (row1 - g.textHeight) / 2, g.height);
                add(Slot::Head, I + K[keywordOf(n, 1)].width,
                    lh + row1 + (g.height - lh - row1 - g.auxHeight) / 2, g.auxWidth, g.auxHeight);
            }
            break;
        }
        case Family::Level: {
            const std::int32_t numberRow = shownNumber(c, n) ? U : U / 2;
            const std::int32_t room = g.height - lh - numberRow - U / 2;
            head(Slot::Head, (g.width - g.textWidth) / 2, lh + numberRow + (room - g.textHeight) / 2, 0);
            break;
        }
        default:
            break;
    }
    return count;
}

int placeSegmentLists(const ViewContext& ctx, const ConstructNode* level, ListPlace out[2]) {
    const LevelInfo* info = levelInfoOf(level);
    const ViewGeometry& group = info->views[ctx.view];
    const ViewMetrics& m = ctx.vm();
    const std::int32_t mx = group.textWidth;
    const std::int32_t my = group.textHeight;
    const std::int32_t content = group.innerWidth - 2 * mx;
    out[0] = {childAt(level, Slot::Head),
              Slot::Head,
              mx + (content - group.auxWidth) / 2,
              my + m.lineUnit / 2,
              group.auxWidth,
              group.auxHeight,
              0,
              0,
              0};
    out[1] = {info->body, Slot::Body,
              mx,         my + group.auxHeight + m.lineUnit,
              content,    group.innerHeight - 2 * my - group.auxHeight - m.lineUnit,
              0,          0,
              0};
    return 2;
}

LayoutResult layoutSegment(const ViewContext& ctx, ConstructNode* level) {
    LevelInfo* info = levelInfoOf(level);
    if (!info) return LayoutResult::NoSegment;
    ViewMetrics& m = ctx.vm();
    ViewGeometry& group = info->views[ctx.view];
    const std::uint32_t bit = 1u << ctx.view;
    if ((info->viewValid & bit) && info->viewGeneration[ctx.view] == m.generation && m.indent != 0)
        return group.innerWidth < kWorksheetLimit && group.innerHeight < kWorksheetLimit
                   ? LayoutResult::Cached
                   : LayoutResult::TooLarge;
    if (m.indent == 0) computeViewMetrics(ctx);
    Host* host = currentHost();
    if (host) host->setWaitCursor(true);
    ++g_layoutEpoch;
    info->viewValid |= bit;
    info->viewGeneration[ctx.view] = m.generation;

    group = ViewGeometry{};
    group.textWidth = m.indent / 2;
    group.textHeight = m.lineUnit / 2;
    Pass pass{ctx, m, 0};
    ConstructNode* head = childAt(level, Slot::Head);
    const Extent headSize = natural(pass, head);
    const Extent bodySize = natural(pass, info->body);
    const std::int32_t number = numberWidth(ctx, shownNumber(ctx, level));
    const std::int32_t headRow = satAdd(headSize.height, m.lineUnit);
    Extent content{std::max(satAdd(headSize.width, number), bodySize.width),
                   satAdd(headRow, bodySize.height)};
    group.auxWidth = headSize.width;
    group.auxHeight = headSize.height;
    group.innerWidth = satAdd(content.width, 2 * group.textWidth);
    group.innerHeight = satAdd(content.height, 2 * group.textHeight);
    ViewGeometry& own = level->views[ctx.view];
    own = ViewGeometry{};
    own.width = content.width;
    own.height = content.height;
    own.textWidth = headSize.width;
    own.textHeight = headSize.height;
    own.innerWidth = bodySize.width;
    own.innerHeight = bodySize.height;

    LayoutResult result = LayoutResult::LaidOut;
    if (group.innerWidth < kWorksheetLimit && group.innerHeight < kWorksheetLimit) {
        // The margins are the segment's, not its content's: the content is
        // fitted to its own size.
        fit(ctx, head, headSize.width, headSize.height);
        fit(ctx, info->body, content.width, bodySize.height);
    } else {
        result = LayoutResult::TooLarge;
        // Page counts only count; printing words its own message.
        if (ctx.target != OutputTarget::PageCount && ctx.target != OutputTarget::SegmentPageCount) {
            char name[kMaxFormatted];
            segmentName(level, name, sizeof name);
            const bool printing = ctx.view == kViewPrinter || ctx.view == kViewPrinterFitted;
            showMessage(printing ? IDS_EXCEEDS_WORKSHEET_PRINTED : IDS_EXCEEDS_WORKSHEET, kBoxDefault, name);
        }
    }
    if (pass.loneCarriageReturns) showMessage(IDS_NO_NEWLINE_AFTER_CR, kBoxDefault);
    if (host) host->setWaitCursor(false);
    return result;
}

Extent segmentSize(const ConstructNode* level, int view) {
    const LevelInfo* info = levelInfoOf(level);
    if (!info || !(info->viewValid & (1u << view))) return {kWorksheetLimit, kWorksheetLimit};
    const ViewGeometry& group = info->views[view];
    if (group.innerWidth >= kWorksheetLimit || group.innerHeight >= kWorksheetLimit)
        return {kWorksheetLimit, kWorksheetLimit};
    return {group.innerWidth, group.innerHeight};
}

Extent naturalSize(const ViewContext& ctx, ConstructNode* head) {
    ++g_layoutEpoch;
    if (ctx.vm().indent == 0) computeViewMetrics(ctx);
    Pass pass{ctx, ctx.vm(), 0};
    return natural(pass, head);
}

void fitList(const ViewContext& ctx, ConstructNode* head, std::int32_t width, std::int32_t height) {
    ++g_layoutEpoch;
    fit(ctx, head, width, height);
}

void segmentName(const ConstructNode* level, char* out, int size) {
    if (!out || size <= 0) return;
    const LevelInfo* info = levelInfoOf(level);
    const char* header = displayText(childAt(level, Slot::Head));
    int headerLength = header ? static_cast<int>(std::strcspn(header, "\r\n")) : 0;
    std::snprintf(out, static_cast<std::size_t>(size), "%u %.*s", info ? info->levelId : 0u, headerLength,
                  header ? header : "");
    // No trailing blank for a segment without header.
    const int length = static_cast<int>(std::strlen(out));
    if (length > 0 && out[length - 1] == ' ') out[length - 1] = 0;
}
