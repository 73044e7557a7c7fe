#include "view/shapes.h"

#include "config/language_config.h"

namespace {

using T = ConstructType;
using F = Family;
using S = Slot;

// clang-format off
constexpr ShapeRow kShapes[] = {
    {T::Dummy,             F::Placeholder, kNoKeyword, S::None,      S::None},
    {T::KdlCommand,        F::Text,        kNoKeyword, S::None,      S::None},
    {T::If,                F::If,          0,          S::Condition, S::None},
    {T::While,             F::Body,        4,          S::Condition, S::Body},
    {T::Loop,              F::Body,        14,         S::None,      S::Body},
    {T::WhenExit,          F::Exit,        15,         S::Condition, S::None},
    {T::OnCondition,       F::Multiway,    8,          S::None,      S::Branches},
    {T::OnConditionBranch, F::Body,        9,          S::Condition, S::BranchBody},
    {T::And,               F::Operator,    20,         S::Condition, S::None},
    {T::Or,                F::Operator,    21,         S::Condition, S::None},
    {T::Not,               F::Operator,    23,         S::Condition, S::None},
    {T::KivCond,           F::Text,        kNoKeyword, S::None,      S::None},
    {T::Block,             F::Closed,      25,         S::Head,      S::Body},
    {T::Level,             F::Level,       kNoKeyword, S::Head,      S::None},
    {T::Text,              F::Text,        kNoKeyword, S::None,      S::None},
    {T::OnSelector,        F::Multiway,    11,         S::Head,      S::Branches},
    {T::OnSelectorBranch,  F::Body,        12,         S::Head,      S::BranchBody},
    {T::For,               F::Body,        7,          S::Head,      S::Body},
    {T::Repeat,            F::Repeat,      5,          S::Condition, S::Body},
    {T::Call,              F::Call,        27,         S::Head,      S::None},
    {T::WhenLeave,         F::Exit,        15,         S::Condition, S::Head},
    {T::Break,             F::Jump,        18,         S::None,      S::None},
    {T::Continue,          F::Jump,        19,         S::None,      S::None},
    {T::Leave,             F::Exit,        17,         S::Head,      S::None},
    {T::IfError,           F::If,          3,          S::None,      S::None},
    {T::ActionBlock,       F::Sections,    53,         S::Head,      S::Body},
    {T::KivProc,           F::Sections,    50,         S::None,      S::Body},
    {T::FreeFormat,        F::Text,        kNoKeyword, S::None,      S::None},
    {T::Default,           F::Body,        10,         S::None,      S::BranchBody},
    {T::Variable,          F::Body,        kNoKeyword, S::None,      S::Body},
    {T::Procedure,         F::Closed,      26,         S::Head,      S::Body},
    {T::Frame,             F::Frame,       kNoKeyword, S::Head,      S::Body},
    {T::JumpRestart,       F::Jump,        57,         S::None,      S::None},
    {T::Xor,               F::Operator,    22,         S::Condition, S::None},
    {T::ProgramCall,       F::Text,        kNoKeyword, S::None,      S::None},
    {T::Resource,          F::Text,        kNoKeyword, S::None,      S::None},
    {T::Variant,           F::Text,        kNoKeyword, S::None,      S::None},
    {T::Function,          F::Closed,      75,         S::Head,      S::Body},
    {T::SpecialText,       F::Text,        kNoKeyword, S::None,      S::None},
};
// clang-format on

struct ShapeIndex {
    std::int8_t row[kMaxTypeCode + 1];
};
constexpr ShapeIndex buildIndex() {
    ShapeIndex index{};
    for (auto& r : index.row) r = -1;
    for (std::size_t i = 0; i < std::size(kShapes); ++i)
        index.row[typeCode(kShapes[i].type)] = static_cast<std::int8_t>(i);
    return index;
}
constexpr ShapeIndex kIndex = buildIndex();
constexpr ShapeRow kNoShape{T::None, F::None, kNoKeyword, S::None, S::None};

// Every type of the catalogue that occurs in trees has a row (the edge
// types are read but never drawn).
constexpr bool everyTypeHasARow() {
    for (const ConstructInfo& info : kConstructCatalogue)
        if (!(info.groups & kGroupEdge) && kIndex.row[typeCode(info.type)] < 0) return false;
    return true;
}
static_assert(everyTypeHasARow(), "a construct type without a shape");

bool isMultiway(const ConstructNode* node) {
    return node && (node->type == T::OnCondition || node->type == T::OnSelector);
}

}  // namespace

const ShapeRow& shapeOf(ConstructType type) {
    const std::int32_t code = typeCode(type);
    if (code < kMinTypeCode || code > kMaxTypeCode || kIndex.row[code] < 0) return kNoShape;
    return kShapes[kIndex.row[code]];
}

const ConstructNode* headOwner(const ConstructNode* node, Slot* slot) {
    Slot s = Slot::None;
    const ConstructNode* owner = nullptr;
    if (node && node->up) {
        s = slotOf(node);
        if (s != Slot::Next) owner = node->up;
    }
    if (slot) *slot = s;
    return owner;
}

bool isMultiwayBranch(const ConstructNode* node, bool* isRest) {
    if (isRest) *isRest = false;
    if (!node || !inGroup(node->type, kGroupBranch)) return false;
    Slot slot = Slot::None;
    const ConstructNode* owner = headOwner(node, &slot);
    if (slot == Slot::Next) return true;
    if (!isMultiway(owner) || (slot != Slot::Branches && slot != Slot::Rest)) return false;
    if (isRest) *isRest = slot == Slot::Rest;
    return true;
}

int keywordOf(const ConstructNode* node, int part) {
    if (!node) return kNoKeyword;
    switch (node->type) {
        case T::If:
        case T::IfError:
            return part == 1 ? 1 : part == 2 ? 2 : shapeOf(node->type).keyword;
        case T::WhenExit:
            return part == 1 ? 16 : 15;
        case T::WhenLeave:
            return part == 1 ? 17 : 15;
        case T::Repeat:
            return part == 1 ? 6 : 5;
        case T::ActionBlock:
            return part == 2 ? 52 : 53;
        case T::KivProc:
            return part == 1 ? 51 : part == 2 ? 52 : 50;
        case T::OnConditionBranch:
        case T::OnSelectorBranch: {
            const bool condition = node->type == T::OnConditionBranch;
            bool rest = false;
            if (isMultiwayBranch(node, &rest)) {
                if (rest) return condition ? 10 : 13;
                if (slotOf(node) == Slot::Branches) return condition ? 77 : 78;
            }
            return condition ? 9 : 12;
        }
        default:
            return shapeOf(node->type).keyword;
    }
}

bool isEmptyBranch(const ConstructNode* head) {
    return !head || (head->type == T::Dummy && !head->next);
}

const char* displayText(const ConstructNode* node) {
    if (!node) return nullptr;
    const char* text = nullptr;
    switch (node->type) {
        case T::Text:
        case T::FreeFormat:
        case T::SpecialText:
            text = textOf(node);
            break;
        case T::KdlCommand:
            if (const HostCommand* c = hostCommandOf(node))
                text = c->commandText && *c->commandText ? c->commandText : c->programText;
            break;
        case T::KivCond:
            switch (conditionKind(node)) {
                case 1:
                    if (auto* r = static_cast<ConditionRecord1*>(conditionRecord(node))) text = r->text;
                    break;
                case 2:
                    if (auto* r = static_cast<ConditionRecord2*>(conditionRecord(node))) text = r->text;
                    break;
                case 3:
                    if (auto* r = static_cast<ConditionRecord3*>(conditionRecord(node))) text = r->texts1[0];
                    break;
                case 4:
                    if (auto* r = static_cast<ConditionRecord4*>(conditionRecord(node))) text = r->text1;
                    break;
                case 6:
                    if (auto* r = static_cast<ConditionRecord6*>(conditionRecord(node))) text = r->text;
                    break;
                case 7:
                    text = conditionText(node);
                    break;
                default:
                    break;
            }
            break;
        case T::Variant:
            if (const VariantRecord* v = variantOf(node)) text = v->text1;
            break;
        case T::Variable:
            if (const VariableRecord* v = variableOf(node)) text = v->text1;
            break;
        case T::KivProc:
            if (const ProcedureOptions* p = procedureOptionsOf(node)) text = p->texts[0];
            break;
        default:
            break;
    }
    return text && *text ? text : nullptr;
}

int placeholderIndex(ConstructType owner, Slot slot) {
    switch (slot) {
        case Slot::Condition:
            return 15;  // "condition"
        case Slot::Footer:
            return 18;  // "footer"
        case Slot::Head:
            switch (owner) {
                case T::Level:
                    return 0;  // "header"
                case T::Call:
                    return 1;  // "procedure call"
                case T::Block:
                    return 2;  // "block comment"
                case T::Procedure:
                    return 3;  // "procedure header"
                case T::For:
                    return 4;  // "for statement"
                case T::OnSelector:
                    return 5;  // "expression"
                case T::OnSelectorBranch:
                    return 6;  // "value"
                case T::Frame:
                    return 17;  // "header"
                case T::Function:
                    return 33;  // "function header"
                default:
                    return 9;  // "name": Leave, WhenLeave, ActionBlock
            }
        default:
            return -1;  // an empty body or branch shows no text
    }
}

const char* placeholderText(const LanguageConfig& config, const ConstructNode* node) {
    if (!node) return nullptr;
    int index = -1;
    if (node->type == T::Dummy) {
        index = placeholderIndex(placeholderOwner(node), placeholderSlot(node));
    } else {
        Slot slot = Slot::None;
        const ConstructNode* owner = headOwner(node, &slot);
        if (owner && isHeadLikeSlot(slot))
            index = placeholderIndex(owner->type, slot);
        else if (owner && slot == Slot::Condition)
            index = 15;
        else if (node->type == T::Text || node->type == T::FreeFormat)
            index = 14;  // "statement"
        else if (node->type == T::SpecialText)
            index = 35;
    }
    if (index < 0 || index >= kPlaceholderSlots) return nullptr;
    const char* text = config.placeholderDisplay[index];
    return *text ? text : nullptr;
}

bool hasSegmentBody(const ConstructNode* level) {
    const LevelInfo* info = levelInfoOf(level);
    return info && (info->body || (segmentFlags(level) & kSegOnDisk));
}
