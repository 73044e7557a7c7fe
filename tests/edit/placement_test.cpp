// The placement rules as one table: a diagram with the target marked @,
// the sequence to place (or the marked selection, moved), the position and
// the verdict.
#include <gtest/gtest.h>

#include "edit/placement.h"
#include "resources/strings.h"
#include "tests/edit/edit_helpers.h"

using namespace edit_test;

namespace {

using P = Placement;
using At = InsertPosition;

struct PlacementCase {
    const char* tree;
    const char* sequence;  // null: the selection of the tree, moved
    At position;
    Slot slot;
    Placement verdict;
};

const PlacementCase kCases[] = {
    // Moving: not into itself, not onto its own place.
    {"*Loop{4:[@\"a\"]}", nullptr, At::After, Slot::None, P::IntoItself},
    {"*Loop{4:[If{2:[@ph]}]}", nullptr, At::Replace, Slot::None, P::IntoItself},
    {"*Level{4:[Level{4:[While{4:[@ph]}]}]}", nullptr, At::Replace, Slot::None, P::IntoItself},
    {"*\"a\" *@\"b\"", nullptr, At::After, Slot::None, P::IntoItself},
    {"@\"a\" *\"b\"", nullptr, At::After, Slot::None, P::OwnPlace},
    {"*\"a\" @\"b\"", nullptr, At::Before, Slot::None, P::OwnPlace},
    {"*\"a\" \"b\" @\"c\"", nullptr, At::After, Slot::None, P::Ok},
    {"*\"a\" If{2:[@ph]}", nullptr, At::Replace, Slot::None, P::Ok},
    // Heads and conditions take one entry, And, Or and Xor any number.
    {"While{8:[@\"c\"]}", "\"x\"", At::After, Slot::None, P::SecondEntry},
    {"While{8:[@ph]}", "\"x\"", At::Replace, Slot::None, P::Ok},
    {"While{8:[@ph]}", "\"x\" \"y\"", At::Replace, Slot::None, P::SecondEntry},
    {"While{8:[And{8:[@\"c\" \"d\"]}]}", "\"x\" \"y\"", At::After, Slot::None, P::Ok},
    {"@While", "\"x\"", At::IntoSlot, Slot::Condition, P::Ok},
    {"Block{9:[@\"h\"]}", "\"x\"", At::Before, Slot::None, P::SecondEntry},
    {"Block{9:[@ph]}", "\"x\"", At::Replace, Slot::None, P::Ok},
    // Placeholders only as operands, branches only in their own list.
    {"If{8:[And{8:[@\"a\" \"b\"]}]}", "ph(9,8)", At::After, Slot::None, P::Ok},
    {"While{8:[@ph]}", "ph(9,8)", At::Replace, Slot::None, P::PlaceholderNotOperand},
    {"If{8:[And{8:[@\"a\"]}]}", "ph(3,2)", At::After, Slot::None, P::PlaceholderNotOperand},
    {"OnCondition{5:[@OnConditionBranch]}", "OnConditionBranch", At::After, Slot::None, P::Ok},
    {"OnSelector{5:[@OnSelectorBranch]}", "OnConditionBranch", At::After, Slot::None, P::BranchElsewhere},
    {"@\"a\"", "OnSelectorBranch", At::After, Slot::None, P::BranchElsewhere},
    {"OnCondition{5:[@OnConditionBranch]}", "\"x\"", At::After, Slot::None, P::TextInBranchList},
    {"OnCondition{5:[@OnConditionBranch]}", "If", At::Before, Slot::None, P::StatementSlot},
    {"@\"a\"", "Variable", At::After, Slot::None, P::NeverPlaced},
    // Operators only inside conditions, statements never there.
    {"@\"a\"", "And", At::After, Slot::None, P::ConditionOutside},
    {"If{8:[@ph]}", "Or", At::Replace, Slot::None, P::Ok},
    {"If{8:[Not{8:[@ph]}]}", "Xor", At::Replace, Slot::None, P::Ok},
    {"If{8:[@ph]}", "While", At::Replace, Slot::None, P::StatementSlot},
    {"If{8:[And{8:[@\"a\"]}]}", "Call", At::After, Slot::None, P::StatementSlot},
    {"If{8:[Level{4:[@\"a\"]}]}", "Call", At::After, Slot::None, P::StatementInCondition},
    {"Block{9:[@ph]}", "If", At::Replace, Slot::None, P::StatementSlot},
    // FreeFormat: never a head, never without text in a condition.
    {"Block{9:[@ph]}", "FreeFormat\"x\"", At::Replace, Slot::None, P::FreeFormatInHead},
    {"If{8:[@ph]}", "FreeFormat", At::Replace, Slot::None, P::FreeFormatInHead},
    {"If{8:[@ph]}", "FreeFormat\"x\"", At::Replace, Slot::None, P::Ok},
    {"@\"a\"", "FreeFormat", At::After, Slot::None, P::Ok},
    // A segment together with its body, at the segment's place.
    {"If{8:[@ph]}", "Level{4:[\"c\"]}", At::Replace, Slot::None, P::Ok},
    {"If{8:[@ph]}", "Level{4:[If]}", At::Replace, Slot::None, P::StatementSlot},
    {"While{8:[@ph]}", "Level{4:[\"a\" \"b\"]}", At::Replace, Slot::None, P::SecondEntry},
    {"If{8:[@ph]}", "Level{4:[Level{4:[Loop]}]}", At::Replace, Slot::None, P::StatementSlot},
    {"Block{9:[@ph]}", "Level", At::Replace, Slot::None, P::SegmentSlot},
    // Targets: slots that exist and are empty, no rest-branch head.
    {"@If{2:[\"a\"]}", "\"x\"", At::IntoSlot, Slot::Then, P::SlotNotEmpty},
    {"@If{2:[\"a\"]}", "\"x\"", At::IntoSlot, Slot::Else, P::Ok},
    {"@While", "\"x\"", At::IntoSlot, Slot::Else, P::NoSuchSlot},
    {"@\"a\"", "\"x\"", At::Replace, Slot::None, P::NoTarget},
    {"OnCondition{6:[OnConditionBranch{8:[@ph]}]}", "\"x\"", At::Replace, Slot::None, P::RestBranchHead},
    {"OnCondition{6:[@OnConditionBranch]}", "OnConditionBranch", At::After, Slot::None, P::RestBranchHead},
    {"OnCondition{6:[OnConditionBranch{7:[@ph]}]}", "\"x\"", At::Replace, Slot::None, P::Ok},
    // Next to a lone placeholder is in its place.
    {"If{2:[@ph]}", "\"x\" \"y\"", At::After, Slot::None, P::Ok},
};

class Placements : public EditTest {};

}  // namespace

TEST_F(Placements, Table) {
    for (const PlacementCase& c : kCases) {
        load(c.tree);
        ASSERT_NE(target, nullptr) << c.tree;
        const InsertTarget where{target, c.position, c.slot};
        Placement verdict;
        if (c.sequence) {
            const Parsed sequence = parse(&doc, c.sequence);
            verdict = checkPlacement(&doc, sequence.head, lastOf(sequence.head), where, false);
            freeSequence(sequence.head);
        } else {
            const Selection s = view.state.selection;
            verdict = checkPlacement(&doc, s.first, s.last, where, true);
        }
        EXPECT_EQ(static_cast<int>(verdict), static_cast<int>(c.verdict))
            << c.tree << " <- " << (c.sequence ? c.sequence : "selection");
    }
}

TEST_F(Placements, StatusTextOfThePositionUnderThePointer) {
    EXPECT_EQ(insertPositionStatusId(InsertPosition::After), unsigned{IDS_STATUS_INSERT_AFTER});
    EXPECT_EQ(insertPositionStatusId(InsertPosition::Before), unsigned{IDS_STATUS_INSERT_BEFORE});
    EXPECT_EQ(insertPositionStatusId(InsertPosition::Replace), unsigned{IDS_STATUS_REPLACE});
}
