// Go to line: the construct whose generated line is n. Generation writes a
// segment's body where the segment stands, so a segment holds the lines
// from its own line up to the next construct's: the search walks one
// segment, and enters only the segment with the largest line below n.
#include <cstdio>

#include "core/host.h"
#include "resources/strings.h"
#include "view/segment_walk.h"
#include "view/segment_window.h"
#include "view/shapes.h"

LineSearch findLine(DiagramDocument* document, long line) {
    LineSearch found;
    ConstructNode* level = document ? document->root : nullptr;
    while (level) {
        const bool wasLoaded = (segmentFlags(level) & kSegLoaded) != 0;
        if (!ensureLoaded(level, document)) {
            found.failed = true;
            break;
        }
        found.loads += !wasLoaded;
        ConstructNode* best = nullptr;  // the largest line below `line`
        auto visit = [&](ConstructNode* n) {
            const long at = n->lineNumber;
            if (at <= 0) return true;
            found.numbered = true;
            if (at == line) {
                found.exact = n;
                return false;
            }
            if (at < line && (!best || at > best->lineNumber)) best = n;
            if (at > line && (!found.succeeding || at < found.succeeding->lineNumber)) found.succeeding = n;
            return true;
        };
        walkSegmentLists(childAt(level, Slot::Head), visit);
        if (!found.exact) walkSegmentLists(levelInfoOf(level)->body, visit);
        if (found.exact) break;
        if (best) found.preceding = best;
        level = best && best->type == ConstructType::Level && hasSegmentBody(best) ? best : nullptr;
    }
    return found;
}

ConstructNode* lineConstruct(DiagramDocument* document, long line) {
    const LineSearch found = findLine(document, line);
    if (!found.numbered) {
        // Another application asking for a line learns it from the result.
        if (!g_hostState.insideForeignCall) showMessage(IDS_NO_LINE_NUMBERS, kBoxDefault);
        return nullptr;
    }
    if (found.exact) return found.exact;
    char number[24];
    std::snprintf(number, sizeof number, "%ld", line);
    const unsigned style = kBoxYesNo | kIconQuestion | kBoxTaskModal;
    if (found.preceding && askQuestion(IDS_LINE_VIEW_PRECEDING, style, kAnswerYes, number) == kAnswerYes)
        return found.preceding;
    if (found.succeeding && askQuestion(IDS_LINE_VIEW_SUCCEEDING, style, kAnswerYes, number) == kAnswerYes)
        return found.succeeding;
    return nullptr;
}
