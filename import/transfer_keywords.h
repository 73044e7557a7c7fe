// The keyword vocabulary of transfer files, shared by the export (editor)
// and the import plug-in. The texts live in the editor's string table
// (strings kTransferKeywordFirstId + index, resources/strings_import.def);
// the import plug-in loads them from the editor's module, so that writer and
// reader always agree. This header holds the indexes and the structure of
// each construct's entries; it depends on the standard library only.
//
// The table has 258 slots. The keywords of this edition come first; then
// keywords of constructs that other editions write (this edition neither
// writes nor imports them); the remaining slots are reserved and have no
// text (a keyword without text is never written or matched).
#pragma once

#include <cstdint>

constexpr int kTransferKeywordCount = 258;
constexpr int kTransferKeywordMaxLength = 33;  // letters and digits

// X(index, name, value): `value` 1 when the keyword takes a value after
// '=', 0 when a value must be empty.
// clang-format off
#define KORRIN_TRANSFER_KEYWORDS(X) \
    X(0, Korrin, 1) X(1, ShortInfo, 0) X(2, EndShortInfo, 0) X(3, Line, 1) \
    X(4, Options, 0) X(5, EndOptions, 0) X(6, IfLayout, 1) X(7, LevelNumbers, 1) \
    X(8, LineNumbers, 1) X(9, Colors, 1) X(10, ScreenFont, 1) X(11, PrinterFont, 1) \
    X(12, LastLevelId, 1) X(13, ConstructNumbers, 1) X(14, ShowLeftLabels, 1) X(15, ShowRightLabels, 1) \
    X(16, Privileges, 1) X(17, EntryName, 1) X(18, Offset, 1) X(19, Label, 1) \
    X(20, RightLabel, 1) X(21, Dummy, 0) X(22, If, 0) X(23, Then, 0) \
    X(24, Else, 0) X(25, EndIf, 0) X(26, While, 0) X(27, WhileBody, 0) \
    X(28, EndWhile, 0) X(29, Loop, 0) X(30, EndLoop, 0) X(31, WhenExit, 0) \
    X(32, EndWhenExit, 0) X(33, OnCondition, 0) X(34, OnConditionRest, 0) X(35, EndOnCondition, 0) \
    X(36, OnConditionBranch, 0) X(37, OnConditionBranchBody, 0) X(38, EndOnConditonBranch, 0) X(39, And, 0) \
    X(40, EndAnd, 0) X(41, Or, 0) X(42, EndOr, 0) X(43, Not, 0) \
    X(44, EndNot, 0) X(45, Block, 0) X(46, BlockBody, 0) X(47, EndBlock, 0) \
    X(48, Level, 1) X(49, LevelBody, 0) X(50, EndLevel, 0) X(51, Text, 0) \
    X(52, EndText, 0) X(53, OnSelector, 0) X(54, OnSelectorList, 0) X(55, OnSelectorRest, 0) \
    X(56, EndOnSelector, 0) X(57, OnSelectorBranch, 0) X(58, OnSelectorBranchBody, 0) X(59, EndOnSelectorBranch, 0) \
    X(60, For, 0) X(61, ForBody, 0) X(62, EndFor, 0) X(63, Repeat, 0) \
    X(64, Until, 0) X(65, EndRepeat, 0) X(66, Call, 0) X(67, EndCall, 0) \
    X(68, Procedure, 0) X(69, ProcedureBody, 0) X(70, EndProcedure, 0) X(71, Frame, 0) \
    X(72, FrameBody, 0) X(73, EndFrameBody, 0) X(74, EndFrame, 0) X(75, Function, 0) \
    X(76, FunctionBody, 0) X(77, EndFunction, 0) X(78, SpecialText, 0) X(79, EndSpecialText, 0)

// Keywords of other editions' constructs.
#define KORRIN_TRANSFER_OTHER_KEYWORDS(X) \
    X(80, KdlCommand, 1) X(81, KdlStatement, 1) X(82, EndKdlCommand, 0) X(83, EndKdlStatement, 0) \
    X(84, Operand, 1) X(85, OperandValue, 1) X(86, EndOperand, 0) X(87, KivCond, 1) \
    X(88, EndKivCond, 0) X(89, KivProc, 1) X(90, KivProcDeclarations, 0) X(91, KivProcBody, 0) \
    X(92, KivProcClosing, 0) X(93, EndKivProc, 0) X(94, Variable, 1) X(95, VariableBody, 0) \
    X(96, EndVariable, 0) X(97, Variant, 1) X(98, EndVariant, 0) X(99, ProgramCall, 1) \
    X(100, EndProgramCall, 0) X(101, Resource, 1) X(102, EndResource, 0) X(103, WhenLeave, 0) \
    X(104, WhenLeaveHead, 0) X(105, EndWhenLeave, 0) X(106, Break, 0) X(107, Continue, 0) \
    X(108, Leave, 0) X(109, EndLeave, 0) X(110, IfError, 0) X(111, IfErrorElse, 0) \
    X(112, EndIfError, 0) X(113, ActionBlock, 0) X(114, ActionBlockBody, 0) X(115, ActionBlockClosing, 0) \
    X(116, EndActionBlock, 0) X(117, FreeFormat, 0) X(118, EndFreeFormat, 0) X(119, Default, 0) \
    X(120, EndDefault, 0) X(121, Xor, 0) X(122, EndXor, 0) X(123, JumpRestart, 0) \
    X(124, ShowMarks, 1) X(125, MarkColor, 1)
// clang-format on

enum class TransferKeyword : std::int16_t {
    None = -1,
#define KORRIN_KW_ENUM(index, name, value) name = index,
    KORRIN_TRANSFER_KEYWORDS(KORRIN_KW_ENUM) KORRIN_TRANSFER_OTHER_KEYWORDS(KORRIN_KW_ENUM)
#undef KORRIN_KW_ENUM
};

constexpr int keywordIndex(TransferKeyword k) {
    return static_cast<int>(k);
}

// The keywords of this edition are the first kTransferOwnKeywords slots.
constexpr int kTransferOwnKeywords = 80;

// ---------------------------------------------------------------------------
// The entries of each construct: the opening keyword, the child sequences
// with their slot codes, the separator keyword before each sequence after
// the first, and the closing keyword. Texts carry `Line` entries and no
// sequences; a Dummy has no closing keyword.

struct TransferConstruct {
    std::int32_t type;  // construct type code
    TransferKeyword open;
    TransferKeyword close;
    std::uint8_t sequences;
    std::int32_t slots[3];
    TransferKeyword separators[2];  // before sequence 1 and 2
};

// clang-format off
#define KW_ TransferKeyword
inline constexpr TransferConstruct kTransferConstructs[] = {
    {1, KW_::Dummy, KW_::None, 0, {}, {KW_::None, KW_::None}},
    {3, KW_::If, KW_::EndIf, 3, {8, 2, 3}, {KW_::Then, KW_::Else}},
    {4, KW_::While, KW_::EndWhile, 2, {8, 4}, {KW_::WhileBody, KW_::None}},
    {5, KW_::Loop, KW_::EndLoop, 1, {4}, {KW_::None, KW_::None}},
    {6, KW_::WhenExit, KW_::EndWhenExit, 1, {8}, {KW_::None, KW_::None}},
    {7, KW_::OnCondition, KW_::EndOnCondition, 2, {5, 6}, {KW_::OnConditionRest, KW_::None}},
    {8, KW_::OnConditionBranch, KW_::EndOnConditonBranch, 2, {8, 7}, {KW_::OnConditionBranchBody, KW_::None}},
    {9, KW_::And, KW_::EndAnd, 1, {8}, {KW_::None, KW_::None}},
    {10, KW_::Or, KW_::EndOr, 1, {8}, {KW_::None, KW_::None}},
    {11, KW_::Not, KW_::EndNot, 1, {8}, {KW_::None, KW_::None}},
    {13, KW_::Block, KW_::EndBlock, 2, {9, 4}, {KW_::BlockBody, KW_::None}},
    {14, KW_::Level, KW_::EndLevel, 2, {9, 4}, {KW_::LevelBody, KW_::None}},
    {15, KW_::Text, KW_::EndText, 0, {}, {KW_::None, KW_::None}},
    {16, KW_::OnSelector, KW_::EndOnSelector, 3, {9, 5, 6}, {KW_::OnSelectorList, KW_::OnSelectorRest}},
    {17, KW_::OnSelectorBranch, KW_::EndOnSelectorBranch, 2, {9, 7}, {KW_::OnSelectorBranchBody, KW_::None}},
    {18, KW_::For, KW_::EndFor, 2, {9, 4}, {KW_::ForBody, KW_::None}},
    {19, KW_::Repeat, KW_::EndRepeat, 2, {4, 8}, {KW_::Until, KW_::None}},
    {20, KW_::Call, KW_::EndCall, 1, {9}, {KW_::None, KW_::None}},
    {48, KW_::Procedure, KW_::EndProcedure, 2, {9, 4}, {KW_::ProcedureBody, KW_::None}},
    {51, KW_::Frame, KW_::EndFrame, 3, {9, 4, 18}, {KW_::FrameBody, KW_::EndFrameBody}},
    {77, KW_::Function, KW_::EndFunction, 2, {9, 4}, {KW_::FunctionBody, KW_::None}},
    {78, KW_::SpecialText, KW_::EndSpecialText, 0, {}, {KW_::None, KW_::None}},
};
#undef KW_
// clang-format on

constexpr int kTransferConstructCount =
    static_cast<int>(sizeof kTransferConstructs / sizeof kTransferConstructs[0]);

constexpr std::int32_t kSlotCondition = 8;  // sequences where Dummies may stand beside constructs

// The row of a construct type, or null when transfer files do not carry it.
constexpr const TransferConstruct* transferConstructOfType(std::int32_t type) {
    for (const TransferConstruct& c : kTransferConstructs)
        if (c.type == type) return &c;
    return nullptr;
}

namespace transfer_detail {
// For each keyword, the first row it opens (its index + 1), or 0.
struct OpenedBy {
    std::uint8_t row[kTransferKeywordCount];
};
constexpr OpenedBy buildOpenedBy() {
    OpenedBy t{};
    for (int i = 0; i < kTransferConstructCount; ++i)
        if (std::uint8_t& row = t.row[keywordIndex(kTransferConstructs[i].open)]; row == 0)
            row = static_cast<std::uint8_t>(i + 1);
    return t;
}
inline constexpr OpenedBy kOpenedBy = buildOpenedBy();
}  // namespace transfer_detail

// The row whose opening keyword is `k`, or null.
constexpr const TransferConstruct* transferConstructOpenedBy(TransferKeyword k) {
    const int index = keywordIndex(k);
    if (index < 0 || index >= kTransferKeywordCount) return nullptr;
    const int row = transfer_detail::kOpenedBy.row[index];
    return row ? &kTransferConstructs[row - 1] : nullptr;
}

namespace transfer_detail {
constexpr bool keywordsDense() {
    int next = 0;
    bool ok = true;
#define KORRIN_KW_CHECK(index, name, value) ok = ok && (index) == next++;
    KORRIN_TRANSFER_KEYWORDS(KORRIN_KW_CHECK)
    ok = ok && next == kTransferOwnKeywords;
    KORRIN_TRANSFER_OTHER_KEYWORDS(KORRIN_KW_CHECK)
#undef KORRIN_KW_CHECK
    return ok && next <= kTransferKeywordCount;
}
static_assert(keywordsDense(), "keyword indexes must be dense and in order");
}  // namespace transfer_detail
