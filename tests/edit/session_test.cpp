// A long random editing session: 10,000 commands on random diagrams, each
// undone (the diagram must be exactly as before) and undone again (exactly
// as after), with moves between two documents now and then.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/allocator.h"
#include "core/diagram_document.h"
#include "edit/construct_commands.h"
#include "edit/edit_internal.h"
#include "resources/commands.h"
#include "tests/core/element_stream_helpers.h"
#include "tests/edit/edit_helpers.h"

using namespace edit_test;

namespace {

const unsigned kTemplates[] = {3000, 3010, 3050, 3100, 3150, 3200, 3300, 3500, 3600, 3650,
                               3700, 3710, 3720, 3730, 3740, 3745, 3750, 3780, 5300, 5400};
const unsigned kInsertions[] = {3000, 3050, 3100, 3200, 3300, 3400, 3500, 3650, 3750,
                                3760, 4310, 4320, 4330, 4350, 5400, 3010, 3720, 3780};
const unsigned kCommands[] = {CMD_EDIT_DELETE,
                              CMD_EDIT_DUPLICATE,
                              CMD_EDIT_EXTRACT,
                              CMD_EDIT_REFINE,
                              CMD_EDIT_PUSH_DOWN,
                              CMD_EDIT_PULL_UP,
                              CMD_EDIT_SPLIT,
                              CMD_EDIT_JOIN,
                              CMD_EDIT_COPY,
                              CMD_EDIT_MOVE,
                              CMD_CLIPBOARD_PASTE,
                              CMD_CLIPBOARD_PASTE_FREE_FORMAT,
                              0 /* enclose */,
                              1 /* insert */,
                              1,
                              0};
const unsigned kEnclose[] = {
    CMD_ENCLOSE_IF_THEN,    CMD_ENCLOSE_IF_ELSE,        CMD_ENCLOSE_WHILE,       CMD_ENCLOSE_REPEAT,
    CMD_ENCLOSE_FOR,        CMD_ENCLOSE_LOOP,           CMD_ENCLOSE_SWITCH_WHEN, CMD_ENCLOSE_SWITCH_WHEN_NONE,
    CMD_ENCLOSE_CASE_OF,    CMD_ENCLOSE_CASE_OTHERWISE, CMD_ENCLOSE_FIRST + 28,  CMD_ENCLOSE_AND,
    CMD_ENCLOSE_OR,         CMD_ENCLOSE_FIRST + 31,     CMD_ENCLOSE_NOT,         CMD_ENCLOSE_BLOCK,
    CMD_ENCLOSE_FIRST + 34, CMD_ENCLOSE_PROCEDURE,      CMD_ENCLOSE_FIRST + 36,  CMD_ENCLOSE_FIRST + 37,
    CMD_ENCLOSE_FIRST + 38, CMD_ENCLOSE_FRAME,          CMD_ENCLOSE_FUNCTION};

template <class T, std::size_t N>
T any(std::mt19937& rng, const T (&list)[N]) {
    return list[rng() % N];
}

int collect(ConstructNode* node, void* context) {
    static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    return 1;
}

class Session : public EditTest {
protected:
    void TearDown() override {
        clearUndoJournal(&journal);
        freeSequence(other.root);
        other.root = nullptr;
        EditTest::TearDown();
    }

    int pick(int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); }

    char* text(const char* prefix) {
        return memStrDup((prefix + std::to_string(pick(1000)) + (pick(4) ? "" : "\r\nmore")).c_str());
    }

    // A construct from a template with its placeholders filled at random.
    ConstructNode* construct(DiagramDocument* d, int depth) {
        unsigned command = any(rng, kTemplates);
        if (depth >= 3) command = pick(2) ? 3000 : 5400;
        ConstructNode* node = newConstruct(d, static_cast<int>(command));
        fill(d, node, depth);
        return node;
    }
    void fill(DiagramDocument* d, ConstructNode* node, int depth) {
        if (isStatementTextType(node->type)) setText(node, text("t"));
        for (const SlotWord& sw : childSlots(*constructInfo(node->type))) {
            ConstructNode* child = childAt(node, sw.slot);
            if (sw.slot == Slot::Branches || sw.slot == Slot::Rest) {
                for (; child; child = child->next) fill(d, child, depth + 1);
                continue;
            }
            const bool lone = !child || (child->type == ConstructType::Dummy && !child->next);
            if (!lone || pick(10) < 4) continue;
            ConstructNode* replacement = nullptr;
            if (sw.slot == Slot::Condition) {
                replacement = pick(4) ? tree_test::makeText("c") : newConstruct(d, 4320);
            } else if (isHeadSlot(sw.slot)) {
                replacement = tree_test::makeText("h");
            } else {
                replacement = sequence(d, depth + 1);
            }
            freeSequence(child);
            setChildAt(nullptr, node, sw.slot);
            setChildAt(replacement, node, sw.slot);
        }
    }
    ConstructNode* sequence(DiagramDocument* d, int depth) {
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (int i = 1 + pick(3); i > 0; --i) {
            ConstructNode* n = construct(d, depth);
            if (last) {
                last->next = n;
                n->up = last;
            } else {
                head = n;
            }
            last = n;
        }
        return head;
    }
    void newDiagram(DiagramDocument* d, WindowView* v) {
        freeSequence(d->root);
        d->root = newConstruct(d, CMD_INSERT_SEGMENT);
        ConstructNode* body = sequence(d, 0);
        if (pick(3) == 0) {
            // Payload records of every kind, in constructs of any type.
            stream_test::TreeGenerator gen(rng(), d);
            gen.budget = 20;
            gen.longTexts = false;
            if (ConstructNode* extra = gen.sequence(1, false)) {
                ConstructNode* last = lastOf(body);
                last->next = extra;
                extra->up = last;
            }
        }
        setChildAt(body, d->root, Slot::Body);
        *v = WindowView{};
        v->segment = d->root;
    }

    std::vector<ConstructNode*> nodesOf(DiagramDocument* d) {
        std::vector<ConstructNode*> nodes;
        forEachNode(d->root, collect, &nodes);
        return nodes;
    }
    // A random selection in the shown segment of `v`.
    Selection randomSelection(DiagramDocument* d, WindowView* v) {
        std::vector<ConstructNode*> mine;
        for (ConstructNode* n : nodesOf(d))
            if (n != d->root && edit_detail::segmentOf(n) == v->segment && !inRestBranchHead(n))
                mine.push_back(n);
        if (mine.empty()) return {};
        Selection s{mine[static_cast<std::size_t>(pick(static_cast<int>(mine.size())))], nullptr};
        s.last = s.first;
        for (int k = pick(3); k > 0 && s.last->next; --k) s.last = s.last->next;
        return s;
    }

    std::string both() { return all() + "|" + tree_test::dump(other.root); }

    std::mt19937 rng{20240506};
    DiagramDocument other{};
    WindowView otherView;
    EditContext otherContext{&other, &journal, 2, &otherView};
};

}  // namespace

TEST_F(Session, TenThousandCommandsUndoneAndRedone) {
    setCurrentStreamFormat(&other);
    int done = 0;
    for (int step = 0; step < 10000; ++step) {
        if (step % 400 == 0 || nodesOf(&doc).size() > 600) {
            clearUndoJournal(&journal);
            newDiagram(&doc, &view);
            newDiagram(&other, &otherView);
        }
        // Now and then another segment is shown.
        if (pick(5) == 0) {
            std::vector<ConstructNode*> levels;
            for (ConstructNode* n : nodesOf(&doc))
                if (n->type == ConstructType::Level) levels.push_back(n);
            view.segment = levels[static_cast<std::size_t>(pick(static_cast<int>(levels.size())))];
        }
        view.state.selection = randomSelection(&doc, &view);
        // A target in the shown segment (or the segment itself), mostly next to
        // a construct or in place of a placeholder.
        const Selection near = randomSelection(&doc, &view);
        ConstructNode* target = near.first && pick(8) ? near.first : view.segment;
        Command command{any(rng, kCommands)};
        if (command.number == 0) command.number = any(rng, kEnclose);
        if (command.number == 1) command.number = any(rng, kInsertions);
        command.position = pick(2) ? InsertPosition::After : InsertPosition::Before;
        if (target->type == ConstructType::Dummy && pick(4)) command.position = InsertPosition::Replace;
        const ConstructInfo* info = constructInfo(target->type);
        if (info && info->childCount && pick(4) == 0) {
            command.position = InsertPosition::IntoSlot;
            command.slot = info->children[pick(info->childCount)].slot;
        }
        command.caret = 1 + pick(6);
        if (command.number == CMD_CLIPBOARD_PASTE_FREE_FORMAT) command.text = "pasted\ttext";

        const std::string before = both();
        int result = 0;
        if (command.number == CMD_EDIT_MOVE && pick(4) == 0) {
            // From the other document's window into this one.
            otherView.state.selection = randomSelection(&other, &otherView);
            PendingInsertion pending;
            if (beginInsertion(pending, otherContext, CMD_EDIT_MOVE))
                result = completeInsertion(pending, context, {target, command.position, command.slot});
            cancelInsertion(pending);
        } else {
            result = runCommand(context, command, target);
        }
        SCOPED_TRACE("step " + std::to_string(step) + " command " + std::to_string(command.number));
        if (!result) {
            ASSERT_EQ(both(), before);
            continue;
        }
        ++done;
        const std::string after = both();
        ASSERT_EQ(tree_test::checkLinks(doc.root), "");
        ASSERT_EQ(undo(&journal, context), 1);
        ASSERT_EQ(both(), before);
        ASSERT_EQ(undo(&journal, context), 1);
        ASSERT_EQ(both(), after);
        ASSERT_EQ(tree_test::checkLinks(other.root), "");
    }
    EXPECT_GT(done, 3000);
}
