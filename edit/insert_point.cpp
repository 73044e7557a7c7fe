// The insertion point under the pointer and under the keyboard.
#include "edit/insert_point.h"

#include <algorithm>

#include "core/construct_node.h"
#include "resources/commands.h"

namespace {

constexpr std::int32_t kMarkThickness = 3;

// Selection keys that move without extending (CMD_KEY_HOME..CMD_KEY_SHIFT_TAB).
bool plainKey(unsigned command) {
    return command >= CMD_KEY_HOME && command <= CMD_KEY_SHIFT_TAB;
}

InsertTarget onConstruct(ConstructNode* node, InsertPosition side) {
    InsertTarget target;
    target.target = node;
    target.position = node && node->type == ConstructType::Dummy ? InsertPosition::Replace : side;
    return target;
}

// The segment's body is empty: the sequence becomes it.
bool emptySegment(ConstructNode* shownSegment) {
    const LevelInfo* info = shownSegment ? levelInfoOf(shownSegment) : nullptr;
    return info && (segmentFlags(shownSegment) & kSegLoaded) && !info->body;
}

InsertTarget intoSegment(ConstructNode* shownSegment) {
    InsertTarget target;
    target.target = shownSegment;
    target.position = InsertPosition::IntoSegment;
    return target;
}

}  // namespace

InsertTarget insertTargetAt(const ViewContext& ctx, ConstructNode* shownSegment, std::int32_t x,
                            std::int32_t y) {
    if (emptySegment(shownSegment)) return intoSegment(shownSegment);
    ConstructNode* hit = hitTest(ctx, shownSegment, x, y);
    Rect box;
    if (!hit || !constructBox(ctx, shownSegment, hit, &box)) return {};
    return onConstruct(
        hit, y < box.top + (box.bottom - box.top) / 2 ? InsertPosition::Before : InsertPosition::After);
}

InsertTarget initialInsertMark(const SegmentWindow& window) {
    if (emptySegment(window.shownSegment)) return intoSegment(window.shownSegment);
    if (window.selectionLast) return onConstruct(window.selectionLast, InsertPosition::After);
    const LevelInfo* info = window.shownSegment ? levelInfoOf(window.shownSegment) : nullptr;
    return onConstruct(info ? info->body : nullptr, InsertPosition::Before);
}

bool moveInsertMark(const ViewContext& ctx, SegmentWindow& window, InsertTarget& mark, unsigned command) {
    if (!plainKey(command)) return false;
    if (!mark.target || mark.position == InsertPosition::IntoSegment) {
        const InsertTarget start = initialInsertMark(window);
        const bool moved = start.target != mark.target || start.position != mark.position;
        mark = start;
        return moved;
    }
    const bool placeholder = mark.position == InsertPosition::Replace;
    // Within the construct first: before it, then after it.
    if (command == CMD_KEY_DOWN && mark.position == InsertPosition::Before) {
        mark.position = InsertPosition::After;
        return true;
    }
    if (command == CMD_KEY_UP && mark.position == InsertPosition::After) {
        mark.position = InsertPosition::Before;
        return true;
    }
    // Then the highlighted construct moves as the selection would.
    ConstructNode* const first = window.selectionFirst;
    ConstructNode* const last = window.selectionLast;
    ConstructNode* const anchor = window.selectionAnchor;
    selectConstruct(window, mark.target);
    const bool moved = selectionCommand(ctx, window, command) && window.selectionFirst != mark.target;
    ConstructNode* to = window.selectionFirst;
    window.selectionFirst = first;
    window.selectionLast = last;
    window.selectionAnchor = anchor;
    if (!moved || !to) return false;
    InsertPosition side = mark.position;
    if (command == CMD_KEY_DOWN) side = InsertPosition::After;
    if (command == CMD_KEY_UP) side = InsertPosition::Before;
    if (placeholder && side == InsertPosition::Replace) side = InsertPosition::After;
    mark = onConstruct(to, side);
    return true;
}

bool insertMarkRect(const ViewContext& ctx, ConstructNode* shownSegment, const InsertTarget& mark,
                    Rect* out) {
    if (!mark.target) return false;
    if (mark.position == InsertPosition::IntoSegment) {
        // The empty segment: a bar where its body will begin.
        const Extent size = segmentSize(shownSegment, ctx.view);
        *out = {0, 0, std::max(size.width, ctx.vm().lineUnit), kMarkThickness};
        return mark.target == shownSegment;
    }
    Rect box;
    if (!constructBox(ctx, shownSegment, mark.target, &box)) return false;
    switch (mark.position) {
        case InsertPosition::Before:
            *out = {box.left, box.top, box.right, box.top + kMarkThickness};
            break;
        case InsertPosition::After:
            *out = {box.left, box.bottom - kMarkThickness, box.right, box.bottom};
            break;
        default:
            *out = box;
            break;
    }
    return true;
}

const char* insertionCursorName(unsigned command) {
    switch (command) {
        case CMD_EDIT_MOVE:
            return "move_cur";
        case CMD_EDIT_COPY:
            return "copy_cur";
        case CMD_CLIPBOARD_PASTE:
        case CMD_CLIPBOARD_PASTE_FREE_FORMAT:
            return "clip_cur";
        default:
            break;
    }
    const ConstructInfo* info = constructForCommand(static_cast<int>(command));
    switch (info ? info->type : ConstructType::None) {
        case ConstructType::If:
        case ConstructType::IfError:
            return "altif_cur";
        case ConstructType::While:
            return "while_cur";
        case ConstructType::Repeat:
            return "repeat_cur";
        case ConstructType::Loop:
            return "cycle_cur";
        case ConstructType::WhenExit:
            return "cycle_ex_cur";
        case ConstructType::OnSelector:
            return "case_cur";
        case ConstructType::OnSelectorBranch:
            return "case_br_cur";
        case ConstructType::Block:
            return "block_cur";
        case ConstructType::Call:
            return "call_cur";
        case ConstructType::Leave:
            return "leave_cur";
        case ConstructType::JumpRestart:
            return "jmprest_cur";
        case ConstructType::KivProc:
            return "jproc_cur";
        default:
            return "rect_cur";
    }
}

DragThreshold dragThreshold(std::int32_t doubleClickWidth, std::int32_t doubleClickHeight,
                            std::int32_t lineUnit, std::int32_t averageCharWidth) {
    return {std::max(doubleClickWidth / 2, lineUnit), std::max(doubleClickHeight / 2, averageCharWidth)};
}

bool beyondThreshold(const DragThreshold& threshold, std::int32_t dx, std::int32_t dy) {
    return dx > threshold.dx || -dx > threshold.dx || dy > threshold.dy || -dy > threshold.dy;
}

ScrollMove autoScrollDirection(const SegmentWindow& window, std::int32_t x, std::int32_t y) {
    ScrollMove move{0, 0};
    if (x < 0) move.dx = -1;
    if (x >= window.clientWidth) move.dx = 1;
    if (y < 0) move.dy = -1;
    if (y >= window.clientHeight) move.dy = 1;
    return move;
}
