// Fresh constructs: the shape of every template, the clipboard and
// action-block hooks, and out-of-memory at every allocation.
#include <gtest/gtest.h>

#include <string>

#include "core/allocator.h"
#include "core/outcome.h"
#include "tests/core/tree_helpers.h"

using namespace tree_test;

namespace {

const std::string kCondBranch = "OnConditionBranch{8:[ph(8,8)] 7:[ph(8,7)]}";
const std::string kSelBranch = "OnSelectorBranch{9:[ph(17,9)] 7:[ph(17,7)]}";
const std::string kDefault = "Default{7:[ph(31,7)]}";

const std::pair<int, std::string> kTemplateShapes[] = {
    {4310, "ph(9,8)"},
    {5300, "KdlCommand(k1)"},
    {5350, "KdlCommand(k2)"},
    {3100, "If{8:[ph(3,8)] 2:[ph(3,2)] 3:[ph(3,3)]}"},
    {3200, "While{8:[ph(4,8)] 4:[ph(4,4)]}"},
    {3500, "Loop{4:[ph(5,4)]}"},
    {3600, "WhenExit{8:[ph(6,8)]}"},
    {3300, "OnCondition{5:[" + kCondBranch + " " + kCondBranch + "] 6:[" + kCondBranch + "]}"},
    {3400, kCondBranch},
    {4320, "And{8:[ph(9,8) ph(9,8)]}"},
    {4330, "Or{8:[ph(10,8) ph(10,8)]}"},
    {4350, "Not{8:[ph(11,8)]}"},
    {3650, "Block{9:[ph(13,9)] 4:[ph(13,4)]}"},
    {3050, "Level#1{9:[ph(14,9)] 4:[]}"},
    {3000, "Text"},
    {3750, "OnSelector{9:[ph(16,9)] 5:[" + kSelBranch + " " + kSelBranch + "] 6:[" + kSelBranch + "]}"},
    {3760, kSelBranch},
    {3710, "For{9:[ph(18,9)] 4:[ph(18,4)]}"},
    {3720, "Repeat{4:[ph(19,4)] 8:[ph(19,8)]}"},
    {3730, "Call{9:[ph(20,9)]}"},
    {3775, "WhenLeave{8:[ph(21,8)] 9:[ph(21,9)]}"},
    {3780, "Break"},
    {3790, "Continue"},
    {3770, "Leave{9:[ph(24,9)]}"},
    {3150, "IfError{2:[ph(25,2)] 3:[ph(25,3)]}"},
    {5000, "ActionBlock{9:[ph(26,9)] 4:[ph(26,4)] 16:[ph(26,16)]}"},
    {3733, "KivProc{12:[ph(27,12)] 4:[ph(27,4)] 16:[ph(27,16)]}"},
    {5400, "FreeFormat"},
    {4600, kDefault},
    {3735, "Variable{4:[]}"},
    {3740, "Procedure{9:[ph(48,9)] 4:[ph(48,4)]}"},
    {4930, "Choice{5:[" + kDefault + " " + kDefault + "]}"},
    {4940, "Iteration{9:[ph(50,9)] 4:[ph(50,4)] 17:[ph(50,17)]}"},
    {4950, "Iteration{9:[Text] 4:[ph(50,4)] 17:[Text]}"},
    {3700, "Frame{9:[ph(51,9)] 4:[ph(51,4)] 18:[ph(51,18)]}"},
    {3880, "JumpRestart"},
    {4340, "Xor{8:[ph(62,8) ph(62,8)]}"},
    {5200, "ProgramCall"},
    {5100, "Resource"},
    {3737, "Variant"},
    {3745, "Function{9:[ph(77,9)] 4:[ph(77,4)]}"},
    {3010, "SpecialText"},
};

char* clipboardText() {
    return memStrDup("from clipboard");
}
char* emptyClipboard() {
    return nullptr;
}

ConstructNode* preparedActionBlock(DiagramDocument*) {
    ConstructNode* block = newNode(ConstructType::ActionBlock);
    if (!block) return nullptr;
    ConstructNode* head = makeText("prepared");
    if (!head) {
        freeSequence(block);
        return nullptr;
    }
    setChildAt(head, block, Slot::Head);
    return block;
}

class ConstructTemplates : public TreeTest {};

}  // namespace

TEST_F(ConstructTemplates, EveryTemplateBuildsItsShape) {
    for (const auto& [command, expected] : kTemplateShapes) {
        doc.lastLevelId = 0;
        ConstructNode* node = newConstruct(&doc, command);
        ASSERT_NE(node, nullptr) << command;
        EXPECT_EQ(shape(node), expected) << command;
        EXPECT_EQ(checkLinks(node), "") << command;
        EXPECT_EQ(node->next, nullptr);
        EXPECT_EQ(node->leftLabel, nullptr);
        EXPECT_EQ(node->rightLabel, nullptr);
        freeSequence(node);
    }
}

TEST_F(ConstructTemplates, SegmentsAndSmallPayloads) {
    doc.lastLevelId = 0;
    ConstructNode* first = newConstruct(&doc, 3050);
    ConstructNode* second = newConstruct(nullptr, 3050);  // the current document
    EXPECT_EQ(levelInfoOf(first)->levelId, 1u);
    EXPECT_EQ(levelInfoOf(second)->levelId, 2u);
    EXPECT_EQ(doc.lastLevelId, 2u);
    EXPECT_EQ(segmentFlags(first), kSegLoaded);
    EXPECT_EQ(first->part[1], 0u);
    freeSequence(first);
    freeSequence(second);

    for (int command : {3780, 3790, 3880}) {
        ConstructNode* jump = newConstruct(&doc, command);
        EXPECT_EQ(partInt(jump, 0) & 0xFFFF, 0);
        freeSequence(jump);
    }
    ConstructNode* freeCondition = newConstruct(&doc, 4310);
    EXPECT_EQ(placeholderOwner(freeCondition), ConstructType::And);
    EXPECT_EQ(placeholderSlot(freeCondition), Slot::Condition);
    EXPECT_EQ(freeCondition->up, nullptr);
    freeSequence(freeCondition);
}

TEST_F(ConstructTemplates, ClipboardCommandsNeedText) {
    const long before = memOutstanding();
    EXPECT_EQ(newConstruct(&doc, 2630), nullptr);  // no hook
    setClipboardTextHook(emptyClipboard);
    EXPECT_EQ(newConstruct(&doc, 2640), nullptr);
    EXPECT_EQ(memOutstanding(), before);

    setClipboardTextHook(clipboardText);
    ConstructNode* text = newConstruct(&doc, 2630);
    ConstructNode* freeFormat = newConstruct(&doc, 2640);
    EXPECT_EQ(shape(text), "Text\"from clipboard\"");
    EXPECT_EQ(shape(freeFormat), "FreeFormat\"from clipboard\"");
    freeSequence(text);
    freeSequence(freeFormat);
}

TEST_F(ConstructTemplates, ActionBlockPrefersThePreparedTemplate) {
    setActionBlockTemplateHook(preparedActionBlock);
    ConstructNode* prepared = newConstruct(&doc, 5000);
    EXPECT_EQ(shape(prepared), "ActionBlock{9:[Text\"prepared\"] 4:[] 16:[]}");
    freeSequence(prepared);
    // Only the enclose path uses 5000; other commands ignore the hook.
    ConstructNode* block = newConstruct(&doc, 3650);
    EXPECT_EQ(block->type, ConstructType::Block);
    freeSequence(block);
}

TEST_F(ConstructTemplates, NonConstructCommandsAllocateNothing) {
    const long before = memOutstanding();
    for (int command : {0, -1, 2620, 2999, 3001, 4311, 9000}) EXPECT_EQ(newConstruct(&doc, command), nullptr);
    EXPECT_EQ(memOutstanding(), before);
}

// Every allocation of every template fails once in turn: no crash, no leak,
// no level id used up, and the first run that gets through builds the full
// shape.
TEST_F(ConstructTemplates, OutOfMemoryAtEveryAllocation) {
    setClipboardTextHook(clipboardText);
    std::vector<std::pair<int, std::string>> cases(std::begin(kTemplateShapes), std::end(kTemplateShapes));
    cases.push_back({2630, "Text\"from clipboard\""});
    cases.push_back({2640, "FreeFormat\"from clipboard\""});
    int failures = 0;
    for (const auto& [command, expected] : cases) {
        const long before = memOutstanding();
        for (long n = 1;; ++n) {
            ASSERT_LT(n, 100) << command;
            doc.lastLevelId = 0;
            resetOutcome();
            memFailAt(n);
            ConstructNode* node = newConstruct(&doc, command);
            memFailAt(0);
            if (node && !g_outcome.jobCancelled) {
                EXPECT_EQ(shape(node), expected) << command;
                freeSequence(node);
                EXPECT_EQ(memOutstanding(), before) << command;
                break;
            }
            ++failures;
            EXPECT_EQ(node, nullptr) << command << " failing allocation " << n;
            freeSequence(node);
            EXPECT_EQ(memOutstanding(), before) << command << " failing allocation " << n;
            EXPECT_EQ(doc.lastLevelId, 0u) << command;
        }
    }
    // Nodes share pool blocks: the first node of a template takes one, its
    // payloads and texts one allocation each.
    EXPECT_GT(failures, 80);
    resetOutcome();
}

// Each allocation of the prepared action block fails once in turn: nothing
// is built, nothing leaks and the job is marked cancelled (the frame then
// reports the lack of memory); the first run that gets through builds the
// prepared block, not the plain template.
TEST_F(ConstructTemplates, PreparedActionBlockUnderOutOfMemory) {
    setActionBlockTemplateHook(preparedActionBlock);
    const long before = memOutstanding();
    int failures = 0;
    for (long n = 1;; ++n) {
        ASSERT_LT(n, 20);
        resetOutcome();
        memFailAt(n);
        ConstructNode* node = newConstruct(&doc, 5000);
        memFailAt(0);
        if (node && !g_outcome.jobCancelled) {
            EXPECT_EQ(shape(node), "ActionBlock{9:[Text\"prepared\"] 4:[] 16:[]}");
            freeSequence(node);
            break;
        }
        ++failures;
        EXPECT_EQ(node, nullptr) << "failing allocation " << n;
        EXPECT_TRUE(g_outcome.jobCancelled) << "failing allocation " << n;
        freeSequence(node);
        EXPECT_EQ(memOutstanding(), before) << "failing allocation " << n;
    }
    EXPECT_GT(failures, 0);
    resetOutcome();
}
