// Where a sequence of constructs may go: insertion targets and the
// placement rules.
//
// A target names a construct and a position relative to it; resolved, it
// is a slot of an owner construct, the node after which the sequence is
// linked (null: at the head of the slot), and the placeholder the sequence
// replaces. The placement rules then check every construct of the sequence
// against the slot, the owner's type, whether the slot lies inside a
// condition, and how many entries stay in the slot beside the sequence.
// Every rule lives in the one function placeType; the rest only gathers
// what it looks at.
#pragma once

#include <cstdint>

#include "core/construct_node.h"

// The position of an insertion relative to its target construct.
enum class InsertPosition : std::uint8_t {
    After = 1,
    Before = 2,
    Replace = 3,      // the target is a placeholder; the sequence takes its place
    IntoSegment = 4,  // the target is a Level with an empty body: the sequence becomes its body
    IntoSlot = 5,     // `slot` of the target is empty or holds a lone placeholder, which is replaced
};

// Where the pointer or the keyboard puts a pending sequence (the layout's
// hit test gives it to the window side).
struct InsertTarget {
    ConstructNode* target = nullptr;
    InsertPosition position = InsertPosition::After;
    Slot slot = Slot::None;  // IntoSlot only
};

// The verdict of the rules: Ok, or the first rule that refused.
enum class Placement : std::uint8_t {
    Ok,
    NoTarget,               // no target, or a target without an owner (the top segment)
    NoSuchSlot,             // the owner type does not have the slot
    SlotNotEmpty,           // IntoSlot / IntoSegment: the slot holds more than a placeholder
    RestBranchHead,         // the rest branch shows no condition or value of its own
    IntoItself,             // the target lies inside the sequence being moved
    OwnPlace,               // a move onto the place the sequence has now
    PlaceholderNotOperand,  // a placeholder goes only as an operand of And, Or, Xor
    BranchElsewhere,        // a branch goes only into the branch list of its own owner type
    NeverPlaced,            // Variable, Variant and unknown types
    ConditionOutside,       // a condition operator outside a condition
    SecondEntry,            // a second entry in a slot that takes one
    TextInBranchList,       // a text construct into a branch list or rest branch
    FreeFormatInHead,       // a FreeFormat as a head, or without text in a head or condition
    SegmentSlot,            // a Level into a branch list, rest branch, head or Variable body
    StatementSlot,          // a statement into a branch list, rest branch, head or condition
    StatementInCondition,   // a statement anywhere inside a condition
    BodyUnavailable,        // a Level's body could not be read for the check
};

// What the rules look at besides the construct itself.
struct PlaceContext {
    ConstructType owner = ConstructType::None;
    Slot slot = Slot::None;
    bool insideCondition = false;  // the slot is a condition or lies anywhere inside one
    int others = 0;                // entries that stay in the slot beside the sequence
};

// A resolved target: the sequence goes into `slot` of `owner`, after
// `previous` (null: at the head), replacing `replaced` (a placeholder, or
// null).
struct ResolvedTarget {
    ConstructNode* owner = nullptr;
    Slot slot = Slot::None;
    ConstructNode* previous = nullptr;
    ConstructNode* replaced = nullptr;
    PlaceContext context;
};

// The rule for one construct of `type` at position `index` of the
// sequence being placed (`freeFormatText`: a FreeFormat has text;
// `placeholderSlot`: the slot a Dummy stands for).
Placement placeType(const PlaceContext& context, ConstructType type, int index, bool freeFormatText = true,
                    Slot placeholderSlot = Slot::Condition);

// Every construct of `first`..`last` at `context`; a Level's body is read
// (from `document`'s segment source) and its constructs checked at the
// same place, entries counted per body.
Placement placeSequence(DiagramDocument* document, const PlaceContext& context, ConstructNode* first,
                        const ConstructNode* last);

// Resolves `target` for the sequence `first`..`last`. `moving`: the
// sequence lies in the tree now (Move), so it may not go into itself or
// onto its own place, and its nodes in the target's sequence do not count
// as staying. After or Before a lone placeholder means Replace.
Placement resolveTarget(const InsertTarget& target, ConstructNode* first, ConstructNode* last, bool moving,
                        ResolvedTarget* out);

// resolveTarget, then placeSequence at the resolved place.
Placement checkPlacement(DiagramDocument* document, ConstructNode* first, ConstructNode* last,
                         const InsertTarget& target, bool moving, ResolvedTarget* out = nullptr);

// The place of `first`..`last` in the tree seen as a slot for what is to
// take the range's place (enclose, refine, extract): owner, slot, inside a
// condition, and the entries outside the range as `others`.
Placement rangeContext(ConstructNode* first, ConstructNode* last, PlaceContext* out);

// The slot lies inside a condition: it is one, or an owner above it
// (across segments) holds it through slot 8.
bool insideCondition(const ConstructNode* owner, Slot slot);

// And, Or and Xor take any number of operands in their condition.
constexpr bool takesManyOperands(ConstructType type) {
    return type == ConstructType::And || type == ConstructType::Or || type == ConstructType::Xor;
}

// Whether `node` is one of `first`..`last`.
bool inRange(const ConstructNode* node, const ConstructNode* first, const ConstructNode* last);

// The string id of the status text for a position under the pointer:
// "Insert after highlighted construct", "... before ..." or "Replace
// highlighted construct".
unsigned insertPositionStatusId(InsertPosition position);
