// The catalogue rows against the type groups and templates written out by
// hand: a wrong word or group bit here would silently misroute every
// subsystem.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/construct_catalogue.h"

namespace {

std::set<int> typesWhere(bool (*pred)(ConstructType)) {
    std::set<int> out;
    for (int code = 0; code <= kMaxTypeCode + 1; ++code)
        if (pred(static_cast<ConstructType>(code))) out.insert(code);
    return out;
}

int wordsOf(ConstructType t, std::vector<int> slots, std::vector<int> words) {
    const ConstructInfo* info = constructInfo(t);
    if (!info || info->childCount != slots.size()) return 0;
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (slotCode(info->children[i].slot) != slots[i] || info->children[i].word != words[i]) return 0;
    return 1;
}

}  // namespace

TEST(ConstructCatalogue, DerivedGroupsMatchTheListsWrittenOut) {
    EXPECT_EQ(typesWhere(isLeafType), (std::set<int>{1, 2, 12, 15, 22, 23, 28, 54, 69, 70, 71, 78}));
    auto plainWith = [](int n) {
        std::set<int> out;
        for (int code = 1; code <= kMaxTypeCode; ++code) {
            auto t = static_cast<ConstructType>(code);
            if (hasPlainSequenceWords(t) && childSequenceCount(t) == n) out.insert(code);
        }
        return out;
    };
    EXPECT_EQ(plainWith(3), (std::set<int>{3, 16, 26, 51}));
    EXPECT_EQ(plainWith(2), (std::set<int>{4, 7, 8, 13, 17, 18, 19, 21, 25, 77}));
    EXPECT_EQ(plainWith(1), (std::set<int>{5, 6, 9, 10, 11, 20, 24, 31, 62}));
    // The special layouts.
    EXPECT_TRUE(wordsOf(ConstructType::Level, {9, 4}, {0, kWordLevelBody}));
    EXPECT_TRUE(wordsOf(ConstructType::KivProc, {12, 4, 16}, {1, 2, 3}));
    EXPECT_TRUE(wordsOf(ConstructType::Variable, {4}, {1}));
    EXPECT_TRUE(wordsOf(ConstructType::Procedure, {9, 4}, {1, 2}));
    // Iteration is stored part0, part2, part1.
    EXPECT_TRUE(wordsOf(ConstructType::Iteration, {9, 4, 17}, {0, 2, 1}));

    EXPECT_EQ(typesWhere([](ConstructType t) { return inGroup(t, kGroupOwnData); }),
              (std::set<int>{1, 2, 12, 15, 27, 28, 33, 69, 70, 71, 78}));
    EXPECT_EQ(typesWhere(isStatementTextType), (std::set<int>{15, 28, 78}));
    EXPECT_EQ(typesWhere(hasTextExtras), (std::set<int>{15, 78}));
    EXPECT_EQ(typesWhere(isConditionOperator), (std::set<int>{9, 10, 11, 62}));
    EXPECT_EQ(typesWhere(isBranchType), (std::set<int>{8, 17}));
    EXPECT_EQ(typesWhere(isContentType), (std::set<int>{9, 10, 11, 12, 14, 15, 62, 78}));
    EXPECT_EQ(typesWhere(isEdgeType), (std::set<int>{49, 50}));
    // Everything known is written except the edge types.
    std::set<int> written = typesWhere(isWrittenType);
    EXPECT_EQ(written.size(), kConstructCount - 2);
    EXPECT_FALSE(written.count(49) || written.count(50));

    std::set<int> outline;
    for (int code = 0; code <= kMaxTypeCode; ++code)
        if (isOutlineCode(code)) outline.insert(code);
    EXPECT_EQ(outline, (std::set<int>{14, 26, 35, 36, 48, 53, 65, 76, 77}));

    std::set<int> headSlots;
    for (int s = 0; s <= kMaxSlotCode; ++s)
        if (isHeadSlot(static_cast<Slot>(s))) headSlots.insert(s);
    EXPECT_EQ(headSlots, (std::set<int>{9, 10, 11, 13, 17, 18}));
}

TEST(ConstructCatalogue, LookupByCodeAndName) {
    // Codes of other editions and codes out of range are unknown.
    for (int code : {-1, 0, 29, 30, 32, 34, 47, 52, 53, 55, 61, 63, 68, 72, 76, 79, 1000})
        EXPECT_EQ(constructInfo(static_cast<ConstructType>(code)), nullptr) << code;
    EXPECT_STREQ(constructInfo(ConstructType::OnSelectorBranch)->name, "OnSelectorBranch");
    EXPECT_STREQ(constructInfo(ConstructType::SpecialText)->name, "SpecialText");
    EXPECT_STREQ(kHostStatementName, "KdlStatement");
}

TEST(ConstructCatalogue, EveryConstructCommandBuildsItsType) {
    const std::pair<int, int> commands[] = {
        {4310, 1},  {5300, 2},  {5350, 2},  {3100, 3},  {3200, 4},  {3500, 5},  {3600, 6},  {3300, 7},
        {3400, 8},  {4320, 9},  {4330, 10}, {4350, 11}, {3650, 13}, {3050, 14}, {3000, 15}, {2630, 15},
        {3750, 16}, {3760, 17}, {3710, 18}, {3720, 19}, {3730, 20}, {3775, 21}, {3780, 22}, {3790, 23},
        {3770, 24}, {3150, 25}, {5000, 26}, {3733, 27}, {5400, 28}, {2640, 28}, {4600, 31}, {3735, 33},
        {3740, 48}, {4930, 49}, {4940, 50}, {4950, 50}, {3700, 51}, {3880, 54}, {4340, 62}, {5200, 69},
        {5100, 70}, {3737, 71}, {3745, 77}, {3010, 78},
    };
    int templates = 0;
    for (const ConstructInfo& info : kConstructCatalogue)
        for (const ConstructTemplate& t : info.templates) templates += t.command != 0;
    EXPECT_EQ(templates, static_cast<int>(std::size(commands)));
    for (auto [command, type] : commands) {
        const ConstructInfo* info = constructForCommand(command);
        ASSERT_NE(info, nullptr) << command;
        EXPECT_EQ(typeCode(info->type), type) << command;
    }
    for (int command : {0, -3000, 2999, 3001, 2620, 5500, 12})
        EXPECT_FALSE(isConstructCommand(command)) << command;
    // KivCond has no template in this edition.
    for (const ConstructTemplate& t : constructInfo(ConstructType::KivCond)->templates)
        EXPECT_EQ(t.command, 0);
}
