// How each construct type is drawn: its layout family, its keyword, the
// slots of its head and body, and the tree questions layout and painting
// both ask (which keyword heads a branch, which text a construct shows,
// which placeholder text stands for an empty slot). One table, read by
// both passes of layout and by the painter.
#pragma once

#include <cstdint>

#include "core/construct_node.h"

struct LanguageConfig;

enum class Family : std::uint8_t {
    None,         // a type this edition does not draw: an empty box
    Placeholder,  // Dummy
    Text,         // a text of its own: statements, host commands and conditions
    Jump,         // a keyword alone with an arrow: Break, Continue, JumpRestart
    Body,         // keyword and head, the body indented below
    Closed,       // as Body, closed by a row across the bottom: Block, Procedure, Function
    Frame,        // head, indented body, footer
    Sections,     // head and keyword rows over several lists: ActionBlock, KivProc
    If,           // If, IfError
    Repeat,       // body beside a bar, condition in the foot row
    Multiway,     // OnCondition, OnSelector: head, branch list, rest branch
    Operator,     // And, Or, Not, Xor: operator column beside the operands
    Call,         // keyword and name between two side bars
    Exit,         // WhenExit, WhenLeave, Leave: an arrow, keywords and a condition
    Level,        // a segment shown collapsed inside another
};

constexpr int kNoKeyword = 28;  // the keyword code of "no keyword"

struct ShapeRow {
    ConstructType type;
    Family family;
    std::int8_t keyword;  // keyword code (kNoKeyword: none)
    Slot head;            // the list (or condition) beside the keyword
    Slot body;            // the list below or beside the head
};

// The row of `type`; a row of family None for types without one.
const ShapeRow& shapeOf(ConstructType type);

// The keyword code heading `node`: the type's, with the branch rules (the
// first branch of a list, the rest branch) and the second keyword codes of
// a few types given by `part` (1: then / until / exit / leave, 2: else /
// abnormal end).
int keywordOf(const ConstructNode* node, int part = 0);

// The construct holding the list that `node` heads, and the slot; null
// (slot Next) for a node that does not head its list. Unlike ownerOf it
// never walks the list, so asking it of every node costs nothing more.
const ConstructNode* headOwner(const ConstructNode* node, Slot* slot);

// Head-like slots (9, 10, 11, 13, 17, 18): a text there belongs to its
// owner's head and has no edges of its own.
constexpr bool isHeadLikeSlot(Slot slot) {
    const int s = slotCode(slot);
    return s == 9 || s == 10 || s == 11 || s == 13 || s == 17 || s == 18;
}

// The node is a branch of a multi-way construct (in its branch list or its
// rest slot); `isRest` tells the rest branch. Branch constructs live in
// nothing else: one that follows another node is taken as a later branch.
bool isMultiwayBranch(const ConstructNode* node, bool* isRest = nullptr);

// A branch that is empty: no list, or a lone placeholder.
bool isEmptyBranch(const ConstructNode* head);

// The text a construct shows of its own (statement text, host command,
// condition, variant, procedure options, variable record); null = none.
const char* displayText(const ConstructNode* node);

// The placeholder-table slot of the text an empty position shows, -1 for
// none: by the slot the position fills and the type that owns it.
int placeholderIndex(ConstructType owner, Slot slot);
// The placeholder text (display form "<...>") a construct shows: a Dummy
// for its position, a text construct without text for its slot (when it
// heads a list) or its type.
const char* placeholderText(const LanguageConfig& config, const ConstructNode* node);

// The segment has a body (in memory or on disk).
bool hasSegmentBody(const ConstructNode* level);
