// The construct catalogue: the one table of construct types that every part
// of the program switches on (tree accessors, element stream, layout,
// painting, editing, generation, transfer files).
//
// One row per construct type of this edition: its code, its keyword name in
// transfer files, the child slots it has and the `part` word each lives in,
// the type groups it belongs to, what payload it keeps, and the template(s)
// that build a fresh construct of it. The type groups used around the
// program are derived from the rows (see the predicates at the end); never
// repeat a list of type codes elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

// Type codes 1..78. Only the named codes occur in trees of this edition; the
// other codes in the range belong to other language editions.
enum class ConstructType : std::int32_t {
    None = 0,
    Dummy = 1,       // placeholder for an empty position
    KdlCommand = 2,  // host command / host statement
    If = 3,
    While = 4,
    Loop = 5,
    WhenExit = 6,
    OnCondition = 7,
    OnConditionBranch = 8,
    And = 9,
    Or = 10,
    Not = 11,
    KivCond = 12,  // host condition
    Block = 13,
    Level = 14,  // segment reference; owns the segment body
    Text = 15,
    OnSelector = 16,
    OnSelectorBranch = 17,
    For = 18,
    Repeat = 19,
    Call = 20,
    WhenLeave = 21,
    Break = 22,
    Continue = 23,
    Leave = 24,
    IfError = 25,
    ActionBlock = 26,
    KivProc = 27,  // host procedure with options
    FreeFormat = 28,
    Default = 31,
    Variable = 33,
    Procedure = 48,
    Choice = 49,     // edge type: read by the stream only
    Iteration = 50,  // edge type: read by the stream only
    Frame = 51,
    JumpRestart = 54,
    Xor = 62,
    ProgramCall = 69,
    Resource = 70,
    Variant = 71,
    Function = 77,
    SpecialText = 78,
};

constexpr std::int32_t kMinTypeCode = 1;
constexpr std::int32_t kMaxTypeCode = 78;

constexpr std::int32_t typeCode(ConstructType t) {
    return static_cast<std::int32_t>(t);
}

// Child slot codes: the same numbers in every construct type.
enum class Slot : std::int32_t {
    None = 0,
    Next = 1,  // the successor in a sequence (every type)
    Then = 2,
    Else = 3,
    Body = 4,
    Branches = 5,  // list of branches of a multi-way selection
    Rest = 6,      // the rest (otherwise) branch
    BranchBody = 7,
    Condition = 8,
    Head = 9,  // header, name, selector or value list
    Declarations = 12,
    Closing = 16,        // closing part after the body
    IterationPart = 17,  // template of type 50 only
    Footer = 18,
};

constexpr std::int32_t kMaxSlotCode = 18;

constexpr std::int32_t slotCode(Slot s) {
    return static_cast<std::int32_t>(s);
}

// A slot lives in `part[0..3]` of the node, or, for a Level's body, in the
// LevelInfo record.
constexpr std::int8_t kWordLevelBody = 4;

struct SlotWord {
    Slot slot;
    std::int8_t word;  // 0..3 = part word, kWordLevelBody = LevelInfo body
};

// Type groups (bits of ConstructInfo::groups). The sequence-count groups
// (leaves, one/two/three sequences, special) are derived from the slot map.
enum ConstructGroup : std::uint16_t {
    kGroupOwnData = 0x0001,            // carries text or data of its own (12: unless its kind is 8)
    kGroupStatementText = 0x0002,      // part0 is the statement text
    kGroupTextExtras = 0x0004,         // part1..part3 are three extra words
    kGroupConditionOperator = 0x0008,  // And, Or, Not, Xor
    kGroupBranch = 0x0010,             // a branch in slot 6 is the rest branch
    kGroupContent = 0x0020,            // what firstContentIn looks for
    kGroupOutline = 0x0040,            // stays in the outline form of a segment body
    kGroupEdge = 0x0080,               // read by the stream only: no slot access, not written, not iterated
};

// What a type keeps in its part words besides child sequences.
enum class PayloadKind : std::uint8_t {
    None,
    Placeholder,  // Dummy: part0 = owner type code, part1 = slot code
    HostCommand,  // part0 = HostCommand*
    Condition,    // part0 = kind 1..8, part1 = record / string / nothing
    Text,         // part0 = the text (owned string)
    ProcOptions,  // part0 = ProcedureOptions*
    Variable,     // part0 = VariableRecord*
    Variant,      // part0 = VariantRecord*
    Segment,      // part2 = segment flags, part3 = LevelInfo*
};

// How a template builds something beyond plain children.
enum class TemplateSpecial : std::uint8_t {
    None,
    FreeCondition,  // the Dummy stands for slot 8 of an And
    HostCommand,    // a host-command record of kind `param`
    ClipboardText,  // part0 = the clipboard text; nothing is built without one
    ActionBlock,    // the editor's prepared action-block template is offered first
    NewSegment,     // segment flags = loaded, a new LevelInfo with a new level id
};

// `count` children in slot `slot`, one after another: placeholders for the
// slot when `command` is 0, otherwise constructs built by that command.
struct TemplateChild {
    Slot slot;
    std::uint8_t count;
    std::uint16_t command;
};

struct ConstructTemplate {
    std::uint16_t command;  // 0 = no template in this row position
    TemplateSpecial special;
    std::uint8_t param;
    TemplateChild children[3];
};

struct ConstructInfo {
    ConstructType type;
    const char* name;  // keyword in transfer files
    std::uint16_t groups;
    PayloadKind payload;
    std::uint8_t childCount;
    SlotWord children[3];  // child sequences in word order (= element stream order)
    ConstructTemplate templates[2];
};

// Host-command records of kind 2 are written to transfer files under this
// name instead of the row's.
inline constexpr const char* kHostStatementName = "KdlStatement";

namespace catalogue_detail {
constexpr TemplateChild ph(Slot s, std::uint8_t count = 1) {
    return {s, count, 0};
}
constexpr TemplateChild make(Slot s, std::uint8_t count, std::uint16_t command) {
    return {s, count, command};
}
constexpr std::uint16_t kTextGroups = kGroupOwnData | kGroupStatementText;
constexpr std::uint16_t kOperatorGroups = kGroupConditionOperator | kGroupContent;
}  // namespace catalogue_detail

// Rows ascending by type code. Columns: type, name, groups, payload, number
// of child sequences, slot -> word map (in word order), templates
// {command, special, param, {children}}.
// clang-format off
#define KT_ ConstructType
#define KS_ Slot
#define KX_ TemplateSpecial
#define KP_ PayloadKind
#define KPH_ catalogue_detail::ph
#define KMK_ catalogue_detail::make
inline constexpr ConstructInfo kConstructCatalogue[] = {
    {KT_::Dummy, "Dummy", kGroupOwnData, KP_::Placeholder, 0, {},
        {{4310, KX_::FreeCondition, 0, {}}}},
    {KT_::KdlCommand, "KdlCommand", kGroupOwnData, KP_::HostCommand, 0, {},
        {{5300, KX_::HostCommand, 1, {}}, {5350, KX_::HostCommand, 2, {}}}},
    {KT_::If, "If", 0, KP_::None, 3, {{KS_::Condition, 0}, {KS_::Then, 1}, {KS_::Else, 2}},
        {{3100, KX_::None, 0, {KPH_(KS_::Condition), KPH_(KS_::Then), KPH_(KS_::Else)}}}},
    {KT_::While, "While", 0, KP_::None, 2, {{KS_::Condition, 0}, {KS_::Body, 1}},
        {{3200, KX_::None, 0, {KPH_(KS_::Condition), KPH_(KS_::Body)}}}},
    {KT_::Loop, "Loop", 0, KP_::None, 1, {{KS_::Body, 0}},
        {{3500, KX_::None, 0, {KPH_(KS_::Body)}}}},
    {KT_::WhenExit, "WhenExit", 0, KP_::None, 1, {{KS_::Condition, 0}},
        {{3600, KX_::None, 0, {KPH_(KS_::Condition)}}}},
    {KT_::OnCondition, "OnCondition", 0, KP_::None, 2, {{KS_::Branches, 0}, {KS_::Rest, 1}},
        {{3300, KX_::None, 0, {KMK_(KS_::Branches, 2, 3400), KMK_(KS_::Rest, 1, 3400)}}}},
    {KT_::OnConditionBranch, "OnConditionBranch", kGroupBranch, KP_::None, 2,
        {{KS_::Condition, 0}, {KS_::BranchBody, 1}},
        {{3400, KX_::None, 0, {KPH_(KS_::Condition), KPH_(KS_::BranchBody)}}}},
    {KT_::And, "And", catalogue_detail::kOperatorGroups, KP_::None, 1, {{KS_::Condition, 0}},
        {{4320, KX_::None, 0, {KPH_(KS_::Condition, 2)}}}},
    {KT_::Or, "Or", catalogue_detail::kOperatorGroups, KP_::None, 1, {{KS_::Condition, 0}},
        {{4330, KX_::None, 0, {KPH_(KS_::Condition, 2)}}}},
    {KT_::Not, "Not", catalogue_detail::kOperatorGroups, KP_::None, 1, {{KS_::Condition, 0}},
        {{4350, KX_::None, 0, {KPH_(KS_::Condition)}}}},
    // Host conditions are not created by this edition.
    {KT_::KivCond, "KivCond", kGroupOwnData | kGroupContent, KP_::Condition, 0, {}, {}},
    {KT_::Block, "Block", 0, KP_::None, 2, {{KS_::Head, 0}, {KS_::Body, 1}},
        {{3650, KX_::None, 0, {KPH_(KS_::Head), KPH_(KS_::Body)}}}},
    {KT_::Level, "Level", kGroupContent | kGroupOutline, KP_::Segment, 2,
        {{KS_::Head, 0}, {KS_::Body, kWordLevelBody}},
        {{3050, KX_::NewSegment, 0, {KPH_(KS_::Head)}}}},
    {KT_::Text, "Text", catalogue_detail::kTextGroups | kGroupTextExtras | kGroupContent,
        KP_::Text, 0, {},
        {{3000, KX_::None, 0, {}}, {2630, KX_::ClipboardText, 0, {}}}},
    {KT_::OnSelector, "OnSelector", 0, KP_::None, 3,
        {{KS_::Head, 0}, {KS_::Branches, 1}, {KS_::Rest, 2}},
        {{3750, KX_::None, 0,
          {KPH_(KS_::Head), KMK_(KS_::Branches, 2, 3760), KMK_(KS_::Rest, 1, 3760)}}}},
    {KT_::OnSelectorBranch, "OnSelectorBranch", kGroupBranch, KP_::None, 2,
        {{KS_::Head, 0}, {KS_::BranchBody, 1}},
        {{3760, KX_::None, 0, {KPH_(KS_::Head), KPH_(KS_::BranchBody)}}}},
    {KT_::For, "For", 0, KP_::None, 2, {{KS_::Head, 0}, {KS_::Body, 1}},
        {{3710, KX_::None, 0, {KPH_(KS_::Head), KPH_(KS_::Body)}}}},
    {KT_::Repeat, "Repeat", 0, KP_::None, 2, {{KS_::Body, 0}, {KS_::Condition, 1}},
        {{3720, KX_::None, 0, {KPH_(KS_::Body), KPH_(KS_::Condition)}}}},
    {KT_::Call, "Call", 0, KP_::None, 1, {{KS_::Head, 0}},
        {{3730, KX_::None, 0, {KPH_(KS_::Head)}}}},
    {KT_::WhenLeave, "WhenLeave", 0, KP_::None, 2, {{KS_::Condition, 0}, {KS_::Head, 1}},
        {{3775, KX_::None, 0, {KPH_(KS_::Condition), KPH_(KS_::Head)}}}},
    // Break, Continue, JumpRestart: the low 16 bits of part0 stay 0.
    {KT_::Break, "Break", 0, KP_::None, 0, {}, {{3780, KX_::None, 0, {}}}},
    {KT_::Continue, "Continue", 0, KP_::None, 0, {}, {{3790, KX_::None, 0, {}}}},
    {KT_::Leave, "Leave", 0, KP_::None, 1, {{KS_::Head, 0}},
        {{3770, KX_::None, 0, {KPH_(KS_::Head)}}}},
    {KT_::IfError, "IfError", 0, KP_::None, 2, {{KS_::Then, 0}, {KS_::Else, 1}},
        {{3150, KX_::None, 0, {KPH_(KS_::Then), KPH_(KS_::Else)}}}},
    {KT_::ActionBlock, "ActionBlock", kGroupOutline, KP_::None, 3,
        {{KS_::Head, 0}, {KS_::Body, 1}, {KS_::Closing, 2}},
        {{5000, KX_::ActionBlock, 0, {KPH_(KS_::Head), KPH_(KS_::Body), KPH_(KS_::Closing)}}}},
    {KT_::KivProc, "KivProc", kGroupOwnData, KP_::ProcOptions, 3,
        {{KS_::Declarations, 1}, {KS_::Body, 2}, {KS_::Closing, 3}},
        {{3733, KX_::None, 0, {KPH_(KS_::Declarations), KPH_(KS_::Body), KPH_(KS_::Closing)}}}},
    {KT_::FreeFormat, "FreeFormat", catalogue_detail::kTextGroups, KP_::Text, 0, {},
        {{5400, KX_::None, 0, {}}, {2640, KX_::ClipboardText, 0, {}}}},
    {KT_::Default, "Default", 0, KP_::None, 1, {{KS_::BranchBody, 0}},
        {{4600, KX_::None, 0, {KPH_(KS_::BranchBody)}}}},
    {KT_::Variable, "Variable", kGroupOwnData, KP_::Variable, 1, {{KS_::Body, 1}},
        {{3735, KX_::None, 0, {}}}},
    {KT_::Procedure, "Procedure", kGroupOutline, KP_::None, 2, {{KS_::Head, 1}, {KS_::Body, 2}},
        {{3740, KX_::None, 0, {KPH_(KS_::Head), KPH_(KS_::Body)}}}},
    // Edge types. Nothing stored fixes the slot of Choice's Default list;
    // slot 5 (a list of branches) is what it is. Iteration keeps its
    // sequences in the stream order part0, part2, part1.
    {KT_::Choice, "Choice", kGroupEdge, KP_::None, 1, {{KS_::Branches, 0}},
        {{4930, KX_::None, 0, {KMK_(KS_::Branches, 2, 4600)}}}},
    {KT_::Iteration, "Iteration", kGroupEdge, KP_::None, 3,
        {{KS_::Head, 0}, {KS_::Body, 2}, {KS_::IterationPart, 1}},
        {{4940, KX_::None, 0, {KPH_(KS_::Head), KPH_(KS_::IterationPart), KPH_(KS_::Body)}},
         {4950, KX_::None, 0,
          {KMK_(KS_::Head, 1, 3000), KMK_(KS_::IterationPart, 1, 3000), KPH_(KS_::Body)}}}},
    {KT_::Frame, "Frame", 0, KP_::None, 3, {{KS_::Head, 0}, {KS_::Body, 1}, {KS_::Footer, 2}},
        {{3700, KX_::None, 0, {KPH_(KS_::Head), KPH_(KS_::Body), KPH_(KS_::Footer)}}}},
    {KT_::JumpRestart, "JumpRestart", 0, KP_::None, 0, {}, {{3880, KX_::None, 0, {}}}},
    {KT_::Xor, "Xor", catalogue_detail::kOperatorGroups, KP_::None, 1, {{KS_::Condition, 0}},
        {{4340, KX_::None, 0, {KPH_(KS_::Condition, 2)}}}},
    {KT_::ProgramCall, "ProgramCall", kGroupOwnData, KP_::None, 0, {}, {{5200, KX_::None, 0, {}}}},
    {KT_::Resource, "Resource", kGroupOwnData, KP_::None, 0, {}, {{5100, KX_::None, 0, {}}}},
    {KT_::Variant, "Variant", kGroupOwnData, KP_::Variant, 0, {}, {{3737, KX_::None, 0, {}}}},
    {KT_::Function, "Function", kGroupOutline, KP_::None, 2, {{KS_::Head, 0}, {KS_::Body, 1}},
        {{3745, KX_::None, 0, {KPH_(KS_::Head), KPH_(KS_::Body)}}}},
    {KT_::SpecialText, "SpecialText", catalogue_detail::kTextGroups | kGroupTextExtras | kGroupContent,
        KP_::Text, 0, {}, {{3010, KX_::None, 0, {}}}},
};
#undef KT_
#undef KS_
#undef KX_
#undef KP_
#undef KPH_
#undef KMK_
// clang-format on

inline constexpr std::size_t kConstructCount = std::size(kConstructCatalogue);

// ---------------------------------------------------------------------------
// Lookup

namespace catalogue_detail {
struct TypeIndex {
    std::int8_t row[kMaxTypeCode + 1];
};
constexpr TypeIndex buildTypeIndex() {
    TypeIndex index{};
    for (auto& r : index.row) r = -1;
    for (std::size_t i = 0; i < kConstructCount; ++i)
        index.row[typeCode(kConstructCatalogue[i].type)] = static_cast<std::int8_t>(i);
    return index;
}
inline constexpr TypeIndex kTypeIndex = buildTypeIndex();
}  // namespace catalogue_detail

// The row of a type code, or null for a code this edition does not know.
constexpr const ConstructInfo* constructInfo(ConstructType type) {
    const std::int32_t code = typeCode(type);
    if (code < kMinTypeCode || code > kMaxTypeCode) return nullptr;
    const std::int8_t row = catalogue_detail::kTypeIndex.row[code];
    return row < 0 ? nullptr : &kConstructCatalogue[row];
}

namespace catalogue_detail {
// Row and template position of a construct command: row * 2 + template, -1
// for none. (Indexes rather than pointers keep the compile-time checks
// constant under the sanitizers.)
constexpr int commandPosition(int command) {
    if (command <= 0) return -1;
    for (std::size_t i = 0; i < kConstructCount; ++i)
        for (int t = 0; t < 2; ++t)
            if (kConstructCatalogue[i].templates[t].command == command) return static_cast<int>(i) * 2 + t;
    return -1;
}
}  // namespace catalogue_detail

// The row and template of a construct command (3000..5400, 2630, 2640), or
// null when `command` does not build a construct.
constexpr const ConstructInfo* constructForCommand(int command, const ConstructTemplate** tpl = nullptr) {
    const int position = catalogue_detail::commandPosition(command);
    if (position < 0) return nullptr;
    const ConstructInfo& info = kConstructCatalogue[position / 2];
    if (tpl) *tpl = &info.templates[position % 2];
    return &info;
}

constexpr bool isConstructCommand(int command) {
    return constructForCommand(command) != nullptr;
}

// The word a slot of `info` lives in (0..3 or kWordLevelBody), -1 if none.
constexpr int wordOfSlot(const ConstructInfo& info, Slot slot) {
    for (std::uint8_t i = 0; i < info.childCount; ++i)
        if (info.children[i].slot == slot) return info.children[i].word;
    return -1;
}

// The child sequences of a type, in word order.
constexpr std::span<const SlotWord> childSlots(const ConstructInfo& info) {
    return {info.children, info.childCount};
}

// ---------------------------------------------------------------------------
// Type groups, derived from the rows.

constexpr bool inGroup(ConstructType type, std::uint16_t group) {
    const ConstructInfo* info = constructInfo(type);
    return info && (info->groups & group) != 0;
}

// No child sequence (stream writer, child iteration): 1, 2, 12, 15, 22, 23,
// 28, 54, 69, 70, 71, 78.
constexpr bool isLeafType(ConstructType type) {
    const ConstructInfo* info = constructInfo(type);
    return info && info->childCount == 0;
}

// Number of child sequences the accessors and child iteration know (0 for
// unknown and edge types).
constexpr int childSequenceCount(ConstructType type) {
    const ConstructInfo* info = constructInfo(type);
    return info && !(info->groups & kGroupEdge) ? info->childCount : 0;
}

// The type keeps its child sequences in part0, part1, ... in order: the
// one-, two- and three-sequence groups. False for leaves and the special
// layouts (Level, KivProc, Variable, Procedure).
constexpr bool hasPlainSequenceWords(ConstructType type) {
    const ConstructInfo* info = constructInfo(type);
    if (!info || info->childCount == 0 || (info->groups & kGroupEdge)) return false;
    for (std::uint8_t i = 0; i < info->childCount; ++i)
        if (info->children[i].word != i) return false;
    return true;
}

// The element stream writes the type: every type of this edition except the
// edge types.
constexpr bool isWrittenType(ConstructType type) {
    const ConstructInfo* info = constructInfo(type);
    return info && !(info->groups & kGroupEdge);
}

constexpr bool isEdgeType(ConstructType t) {
    return inGroup(t, kGroupEdge);
}
constexpr bool isStatementTextType(ConstructType t) {
    return inGroup(t, kGroupStatementText);
}
constexpr bool hasTextExtras(ConstructType t) {
    return inGroup(t, kGroupTextExtras);
}
constexpr bool isConditionOperator(ConstructType t) {
    return inGroup(t, kGroupConditionOperator);
}
constexpr bool isBranchType(ConstructType t) {
    return inGroup(t, kGroupBranch);
}
constexpr bool isContentType(ConstructType t) {
    return inGroup(t, kGroupContent);
}

// Outline constructs: Level, Procedure, Function, ActionBlock, and the
// container codes 35, 36, 53, 65, 76 of other editions, which the outline
// reader treats alike.
constexpr bool isOutlineCode(std::int32_t code) {
    if (code == 35 || code == 36 || code == 53 || code == 65 || code == 76) return true;
    return inGroup(static_cast<ConstructType>(code), kGroupOutline);
}

// Head-like slot codes: a text construct heading one of these belongs to a
// construct's head, not to a statement sequence. (10, 11 and 13 are used by
// no type of this edition.)
constexpr bool isHeadSlot(Slot slot) {
    switch (slotCode(slot)) {
        case 9:
        case 10:
        case 11:
        case 13:
        case 17:
        case 18:
            return true;
        default:
            return false;
    }
}

// ---------------------------------------------------------------------------
// Consistency of the table, checked while compiling.

namespace catalogue_detail {
constexpr bool rowsAscending() {
    for (std::size_t i = 1; i < kConstructCount; ++i)
        if (typeCode(kConstructCatalogue[i - 1].type) >= typeCode(kConstructCatalogue[i].type)) return false;
    return true;
}
constexpr bool slotMapsSound() {
    for (const ConstructInfo& info : kConstructCatalogue) {
        if (info.childCount > 3) return false;
        for (std::uint8_t i = 0; i < info.childCount; ++i) {
            const SlotWord& sw = info.children[i];
            if (sw.word < 0 || sw.word > kWordLevelBody) return false;
            if (sw.slot == Slot::None || sw.slot == Slot::Next) return false;
            // Only a Level's body lives outside the part words.
            if ((sw.word == kWordLevelBody) != (info.type == ConstructType::Level && sw.slot == Slot::Body))
                return false;
            for (std::uint8_t j = 0; j < i; ++j)
                if (info.children[j].word == sw.word || info.children[j].slot == sw.slot) return false;
        }
    }
    return true;
}
constexpr bool templatesSound() {
    for (std::size_t i = 0; i < kConstructCount; ++i) {
        const ConstructInfo& info = kConstructCatalogue[i];
        for (int t = 0; t < 2; ++t) {
            const ConstructTemplate& tpl = info.templates[t];
            if (tpl.command == 0) continue;
            // Each command builds exactly one template.
            if (commandPosition(tpl.command) != static_cast<int>(i) * 2 + t) return false;
            for (const TemplateChild& c : tpl.children) {
                if (c.count == 0) continue;
                if (wordOfSlot(info, c.slot) < 0) return false;
                if (c.command != 0 && commandPosition(c.command) < 0) return false;
            }
        }
    }
    return true;
}
static_assert(rowsAscending(), "catalogue rows must ascend by type code");
static_assert(slotMapsSound(), "catalogue slot maps are inconsistent");
static_assert(templatesSound(), "catalogue templates are inconsistent");
}  // namespace catalogue_detail
