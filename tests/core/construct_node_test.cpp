// Slot access, navigation, relinking, walks, release and segment loading of
// the node tree.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/allocator.h"
#include "core/outcome.h"
#include "resources/strings.h"
#include "tests/core/tree_helpers.h"

using namespace tree_test;

namespace {

class ConstructNodes : public TreeTest {};

// An If whose then-branch holds "a" "b" and whose else-branch is empty.
ConstructNode* ifWithThen() {
    ConstructNode* node = makeNode(ConstructType::If);
    setChildAt(newPlaceholder(node, Slot::Condition), node, Slot::Condition);
    setChildAt(chain({makeText("a"), makeText("b")}), node, Slot::Then);
    return node;
}

int countVisits(ConstructNode* head, void* context) {
    static_cast<std::vector<ConstructNode*>*>(context)->push_back(head);
    return 1;
}

int recordNode(ConstructNode* node, void* context) {
    auto* out = static_cast<std::string*>(context);
    if (!out->empty()) *out += ' ';
    const char* text = textOf(node);
    *out += text ? text : constructInfo(node->type)->name;
    return 1;
}

struct ErrorLog {
    static inline std::vector<std::pair<unsigned, int>> entries;
    static void hook(unsigned id, int detail) { entries.push_back({id, detail}); }
};

}  // namespace

TEST_F(ConstructNodes, SlotOfAndOwnerOfInsideABranch) {
    ConstructNode* node = ifWithThen();
    ConstructNode* a = childAt(node, Slot::Then);
    ConstructNode* b = a->next;
    EXPECT_EQ(slotOf(a), Slot::Then);
    EXPECT_EQ(slotOf(b), Slot::Next);
    EXPECT_EQ(slotOf(node), Slot::None);
    Slot slot = Slot::None;
    EXPECT_EQ(ownerOf(b, &slot), node);
    EXPECT_EQ(slot, Slot::Then);
    EXPECT_EQ(ownerOf(node, &slot), nullptr);
    EXPECT_EQ(slot, Slot::None);
    EXPECT_EQ(sequenceHead(b), a);
    EXPECT_EQ(rootOf(b), node);
    EXPECT_EQ(lastOf(a), b);
    freeSequence(node);
}

TEST_F(ConstructNodes, SetChildAtOnlyForSlotsTheTypeHas) {
    ConstructNode* node = ifWithThen();
    ConstructNode* loop = newConstruct(&doc, 3200);
    ConstructNode* x = makeText("x");
    setChildAt(x, node, Slot::Else);
    EXPECT_EQ(setChildAt(nullptr, node, Slot::Else), 1);
    EXPECT_EQ(childAt(node, Slot::Else), nullptr);

    ConstructNode* before = childAt(loop, Slot::Body);
    EXPECT_EQ(setChildAt(x, loop, Slot::Else), 0);
    EXPECT_EQ(x->up, node);  // untouched
    EXPECT_EQ(childAt(loop, Slot::Body), before);
    EXPECT_EQ(childAt(loop, Slot::Else), nullptr);
    EXPECT_EQ(setChildAt(x, nullptr, Slot::Body), 0);
    EXPECT_EQ(setChildAt(x, loop, Slot::None), 0);
    EXPECT_EQ(childAt(loop, Slot::None), nullptr);
    // Leaves and edge types have no slots; slot 1 is `next` everywhere.
    EXPECT_EQ(childAt(x, Slot::Head), nullptr);
    ConstructNode* choice = newConstruct(&doc, 4930);
    EXPECT_EQ(childAt(choice, Slot::Branches), nullptr);
    EXPECT_EQ(setChildAt(nullptr, choice, Slot::Branches), 0);
    EXPECT_EQ(slotOf(partNode(choice, 0)), Slot::None);
    x->up = nullptr;
    EXPECT_EQ(setChildAt(loop, x, Slot::Next), 1);
    EXPECT_EQ(childAt(x, Slot::Next), loop);
    EXPECT_EQ(loop->up, x);
    freeSequence(x);  // x, loop
    freeSequence(choice);
    freeSequence(node);
}

TEST_F(ConstructNodes, InsertSequenceAtPutsTheFormerOccupantBehind) {
    ConstructNode* node = ifWithThen();
    ConstructNode* seq = chain({makeText("c"), makeText("d")});
    EXPECT_EQ(insertSequenceAt(seq, node, Slot::Then), 1);
    EXPECT_EQ(shape(childAt(node, Slot::Then)), "Text\"c\" Text\"d\" Text\"a\" Text\"b\"");
    EXPECT_EQ(checkLinks(node), "");

    ConstructNode* tail = makeText("e");
    EXPECT_EQ(insertSequenceAt(tail, childAt(node, Slot::Then), Slot::Next), 1);  // after "c"
    EXPECT_EQ(shape(childAt(node, Slot::Then)), "Text\"c\" Text\"e\" Text\"d\" Text\"a\" Text\"b\"");

    ConstructNode* stray = makeText("f");
    EXPECT_EQ(insertSequenceAt(stray, node, Slot::Body), 0);  // If has no body
    EXPECT_EQ(stray->next, nullptr);
    EXPECT_EQ(insertSequenceAt(nullptr, node, Slot::Else), 0);
    EXPECT_EQ(insertSequenceAt(stray, nullptr, Slot::Else), 0);
    EXPECT_EQ(insertSequenceAt(stray, node, Slot::Else), 1);  // into an empty slot
    EXPECT_EQ(checkLinks(node), "");
    freeSequence(node);
}

TEST_F(ConstructNodes, DetachRangesKeepTheLinksSound) {
    ConstructNode* node = makeNode(ConstructType::Loop);
    setChildAt(chain({makeText("1"), makeText("2"), makeText("3"), makeText("4")}), node, Slot::Body);
    auto body = [&] { return childAt(node, Slot::Body); };

    // Middle range.
    ConstructNode* two = body()->next;
    ConstructNode* three = two->next;
    EXPECT_EQ(detach(body(), two, three), body());
    EXPECT_EQ(shape(body()), "Text\"1\" Text\"4\"");
    EXPECT_EQ(two->up, nullptr);
    EXPECT_EQ(three->next, nullptr);
    EXPECT_EQ(checkLinks(node), "");
    EXPECT_EQ(checkLinks(two), "");

    // `last` before `first`: `first` alone.
    ConstructNode* four = body()->next;
    EXPECT_EQ(detach(body(), four, body()), body());
    EXPECT_EQ(shape(body()), "Text\"1\"");
    EXPECT_EQ(checkLinks(node), "");

    // The head: the successor takes the slot; the whole slot: it empties.
    ConstructNode* one = body();
    insertSequenceAt(two, node, Slot::Body);  // 2 3 1
    EXPECT_EQ(detach(body(), two, nullptr), three);
    EXPECT_EQ(body(), three);
    EXPECT_EQ(three->up, node);
    EXPECT_EQ(detach(body(), three, one), nullptr);
    EXPECT_EQ(body(), nullptr);
    EXPECT_EQ(checkLinks(three), "");

    // Without holder the successor becomes a root.
    ConstructNode* root = chain({makeText("x"), makeText("y")});
    ConstructNode* y = root->next;
    EXPECT_EQ(detach(root, root, nullptr), y);
    EXPECT_EQ(y->up, nullptr);
    EXPECT_EQ(detach(nullptr, nullptr, nullptr), nullptr);

    freeSequence(two);
    freeSequence(three);
    freeSequence(four);
    freeSequence(root);
    freeSequence(y);
    freeSequence(node);
}

TEST_F(ConstructNodes, DetachInsideAnEdgeTypeKeepsItsWordCurrent) {
    ConstructNode* choice = newConstruct(&doc, 4930);
    ConstructNode* first = partNode(choice, 0);
    ConstructNode* second = first->next;
    EXPECT_EQ(detach(first, first, nullptr), second);
    EXPECT_EQ(partNode(choice, 0), second);
    EXPECT_EQ(partNode(choice, 0)->up, choice);
    EXPECT_EQ(countSequence(partNode(choice, 0)), 1);
    freeSequence(first);
    freeSequence(choice);
}

TEST_F(ConstructNodes, EnclosingConstructsAcrossSegments) {
    // Level#1 body: For { body: Level#2 { body: If { then: text } } }
    ConstructNode* top = makeLevel(1, kSegLoaded, &doc);
    ConstructNode* loop = newConstruct(&doc, 3710);
    ConstructNode* inner = makeLevel(2, kSegLoaded, &doc);
    ConstructNode* node = ifWithThen();
    ConstructNode* text = childAt(node, Slot::Then)->next;
    setChildAt(loop, top, Slot::Body);
    freeSequence(childAt(loop, Slot::Body));
    setChildAt(inner, loop, Slot::Body);
    ConstructNode* head = makeText("head");
    setChildAt(head, inner, Slot::Head);
    setChildAt(node, inner, Slot::Body);
    ASSERT_EQ(checkLinks(top), "");

    Slot slot = Slot::None;
    EXPECT_EQ(ownerOf(node, &slot), inner);
    EXPECT_EQ(slot, Slot::Body);
    EXPECT_EQ(ownerAcrossSegments(node, &slot), loop);
    EXPECT_EQ(slot, Slot::Body);
    EXPECT_EQ(ownerAcrossSegments(head, &slot), inner);  // a head is not a body
    EXPECT_EQ(slot, Slot::Head);

    EXPECT_EQ(enclosingOfType(text, ConstructType::For), loop);
    EXPECT_EQ(enclosingOfType(text, ConstructType::Level), inner);
    EXPECT_EQ(enclosingOfType(text, ConstructType::While), nullptr);
    EXPECT_EQ(enclosingMatching(text, ConstructType::None, Slot::Body), inner);
    EXPECT_EQ(enclosingMatching(text, ConstructType::Level, Slot::Head), nullptr);
    EXPECT_EQ(enclosingMatching(head, ConstructType::Level, Slot::Head), inner);

    EXPECT_EQ(enclosingLevel(text), inner);
    EXPECT_EQ(enclosingLevel(head), top);  // the head lies in the enclosing segment
    EXPECT_EQ(enclosingLevel(inner), top);
    EXPECT_EQ(levelDepth(top, text), 2);
    EXPECT_EQ(levelDepth(inner, text), 1);
    EXPECT_EQ(levelDepth(text, text), 0);
    EXPECT_EQ(levelDepth(node, text), -1);
    EXPECT_EQ(rootOf(text), top);
    freeSequence(top);
}

TEST_F(ConstructNodes, SearchesWithinARange) {
    ConstructNode* seq =
        chain({makeText("a"), makeNode(ConstructType::Break), newConstruct(&doc, 4350), makeText("b")});
    ConstructNode* brk = seq->next;
    ConstructNode* last = lastOf(seq);
    EXPECT_EQ(countSequence(seq), 4);
    EXPECT_EQ(countSequence(nullptr), 0);
    EXPECT_TRUE(inSequence(last, seq));
    EXPECT_FALSE(inSequence(seq, brk));
    EXPECT_EQ(findInSequence(seq, nullptr, ConstructType::Break), brk);
    EXPECT_EQ(findInSequence(seq, seq, ConstructType::Break), nullptr);  // `last` bounds it
    EXPECT_EQ(findInSequence(brk->next, nullptr, ConstructType::Text), last);
    auto textB = [](const ConstructNode* n, void*) { return textOf(n) && std::strcmp(textOf(n), "b") == 0; };
    EXPECT_EQ(findFirst(seq, nullptr, textB), last);
    EXPECT_EQ(findFirst(seq, brk->next, textB), nullptr);

    ConstructNode* holder = makeNode(ConstructType::WhenExit);
    setChildAt(seq, holder, Slot::Condition);
    EXPECT_EQ(firstContentIn(holder, Slot::Condition), seq);
    detach(seq, seq, nullptr);
    EXPECT_EQ(firstContentIn(holder, Slot::Condition), brk->next);  // Not; Break is no content
    g_outcome.jobCancelled = true;
    EXPECT_EQ(findInSequence(brk, nullptr, ConstructType::Break), nullptr);
    g_outcome.jobCancelled = false;
    freeSequence(seq);
    freeSequence(holder);
}

TEST_F(ConstructNodes, RestBranchHeadOfNewSelections) {
    ConstructNode* onCondition = newConstruct(&doc, 3300);
    ConstructNode* branch = childAt(onCondition, Slot::Branches);
    ConstructNode* rest = childAt(onCondition, Slot::Rest);
    EXPECT_EQ(countSequence(branch), 2);
    EXPECT_EQ(rest->type, ConstructType::OnConditionBranch);
    EXPECT_TRUE(inRestBranchHead(rest));
    EXPECT_TRUE(inRestBranchHead(childAt(rest, Slot::Condition)));
    EXPECT_FALSE(inRestBranchHead(childAt(rest, Slot::BranchBody)));
    EXPECT_FALSE(inRestBranchHead(branch));
    EXPECT_FALSE(inRestBranchHead(branch->next));
    EXPECT_FALSE(inRestBranchHead(childAt(branch, Slot::Condition)));
    // Only the head of the condition sequence, not a second condition.
    setChildAt(newPlaceholder(rest, Slot::Condition), childAt(rest, Slot::Condition), Slot::Next);
    EXPECT_FALSE(inRestBranchHead(childAt(rest, Slot::Condition)->next));

    ConstructNode* onSelector = newConstruct(&doc, 3750);
    ConstructNode* otherwise = childAt(onSelector, Slot::Rest);
    EXPECT_TRUE(inRestBranchHead(otherwise));
    EXPECT_TRUE(inRestBranchHead(childAt(otherwise, Slot::Head)));
    EXPECT_FALSE(inRestBranchHead(childAt(onSelector, Slot::Head)));
    EXPECT_FALSE(inRestBranchHead(childAt(childAt(onSelector, Slot::Branches), Slot::Head)));
    freeSequence(onCondition);
    freeSequence(onSelector);
}

TEST_F(ConstructNodes, TextAndLabelAccessors) {
    ConstructNode* text = makeText("old");
    ConstructNode* special = makeNode(ConstructType::SpecialText);
    ConstructNode* free = makeNode(ConstructType::FreeFormat);
    ConstructNode* loop = makeNode(ConstructType::Loop);
    EXPECT_EQ(setText(text, memStrDup("new")), 1);
    EXPECT_STREQ(textOf(text), "new");
    EXPECT_EQ(setText(text, const_cast<char*>(textOf(text))), 1);  // same block: kept
    EXPECT_STREQ(textOf(text), "new");
    EXPECT_EQ(setText(free, memStrDup("ff")), 1);
    EXPECT_STREQ(textOf(free), "ff");

    char* refused = memStrDup("no");
    EXPECT_EQ(setText(loop, refused), 0);
    EXPECT_EQ(textOf(loop), nullptr);
    EXPECT_EQ(loop->part[0], 0u);
    memFree(refused);

    int marker = 0;
    EXPECT_EQ(setTextExtra(special, 3, &marker), 1);
    EXPECT_EQ(textExtra(special, 3), &marker);
    EXPECT_EQ(setTextExtra(free, 1, &marker), 0);  // FreeFormat has no extra words
    EXPECT_EQ(setTextExtra(text, 0, &marker), 0);
    EXPECT_EQ(setTextExtra(text, 4, &marker), 0);
    EXPECT_EQ(textExtra(free, 1), nullptr);

    EXPECT_EQ(setLeftLabel(loop, memStrDup("L")), 1);
    EXPECT_EQ(setLeftLabel(loop, memStrDup("L2")), 1);  // replaces and frees
    EXPECT_EQ(setRightLabel(loop, memStrDup("R")), 1);
    EXPECT_STREQ(leftLabel(loop), "L2");
    EXPECT_STREQ(rightLabel(loop), "R");
    EXPECT_EQ(leftLabel(nullptr), nullptr);
    EXPECT_EQ(setLeftLabel(nullptr, nullptr), 0);
    freeSequence(chain({text, special, free, loop}));  // extra words are not owned
}

TEST_F(ConstructNodes, ChildIterationSkipsBodiesOnDisk) {
    ConstructNode* level = makeLevel(3, kSegOnDisk, &doc);
    setChildAt(makeText("head"), level, Slot::Head);
    MemorySegmentSource source;
    source.bodies[100] = [] { return makeText("body"); };
    doc.segmentSource = &source.source;
    levelInfoOf(level)->fileOffset = 100;

    EXPECT_EQ(childAt(level, Slot::Body), nullptr);
    std::vector<ConstructNode*> seen;
    EXPECT_EQ(forEachChildSequence(0, countVisits, level, &seen), 1);
    EXPECT_EQ(seen, std::vector<ConstructNode*>{childAt(level, Slot::Head)});
    EXPECT_EQ(source.calls, 0);

    // Empty slots are visited too, in word order.
    ConstructNode* kivProc = newConstruct(&doc, 3733);
    ConstructNode* body = childAt(kivProc, Slot::Body);
    setChildAt(nullptr, kivProc, Slot::Body);
    seen.clear();
    EXPECT_EQ(forEachChildSequence(0, countVisits, kivProc, &seen), 1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], childAt(kivProc, Slot::Declarations));
    EXPECT_EQ(seen[1], nullptr);
    EXPECT_EQ(seen[2], childAt(kivProc, Slot::Closing));
    freeSequence(body);

    // The stop value ends the iteration; a cancelled job stops it too.
    auto stopAtFirst = [](ConstructNode*, void* calls) { return ++*static_cast<int*>(calls) == 1 ? 7 : 0; };
    int calls = 0;
    EXPECT_EQ(forEachChildSequence(1, stopAtFirst, kivProc, &calls), 1);
    EXPECT_EQ(calls, 1);
    calls = 0;
    EXPECT_EQ(forEachChildSequence(0, stopAtFirst, kivProc, &calls), 0);  // 0 returned on the 2nd call
    EXPECT_EQ(calls, 2);
    g_outcome.jobCancelled = true;
    calls = 0;
    EXPECT_EQ(forEachChildSequence(1, stopAtFirst, kivProc, &calls), 1);
    EXPECT_EQ(calls, 0);
    g_outcome.jobCancelled = false;
    EXPECT_EQ(forEachChildSequence(0, countVisits, childAt(level, Slot::Head), nullptr), 1);  // a leaf
    freeSequence(kivProc);
    freeSequence(level);
}

TEST_F(ConstructNodes, ForEachNodeVisitsInStreamOrder) {
    // If { 8: Not { ph }, 2: a b, 3: [] } then c
    ConstructNode* node = newConstruct(&doc, 3100);
    ConstructNode* condition = childAt(node, Slot::Condition);
    detach(condition, condition, nullptr);
    freeSequence(condition);
    setChildAt(newConstruct(&doc, 4350), node, Slot::Condition);
    ConstructNode* then = childAt(node, Slot::Then);
    detach(then, then, nullptr);
    freeSequence(then);
    setChildAt(chain({makeText("a"), makeText("b")}), node, Slot::Then);
    ConstructNode* seq = chain({node, makeText("c")});
    std::string order;
    EXPECT_EQ(forEachNode(seq, recordNode, &order), 1);
    EXPECT_EQ(order, "If Not Dummy a b Dummy c");

    // A stop from the visitor and a cancelled job both end the walk.
    auto stopAtA = [](ConstructNode* n, void*) { return textOf(n) && *textOf(n) == 'a' ? 0 : 1; };
    EXPECT_EQ(forEachNode(seq, stopAtA, nullptr), 0);
    g_outcome.jobCancelled = true;
    order.clear();
    EXPECT_EQ(forEachNode(seq, recordNode, &order), 0);
    EXPECT_EQ(order, "");
    // ... unless the walk must finish (the commit or roll-back of a failed write).
    EXPECT_EQ(forEachNode(seq, recordNode, &order, OnCancel::goOn), 1);
    EXPECT_EQ(order, "If Not Dummy a b Dummy c");
    g_outcome.jobCancelled = false;

    // A walk started inside a sequence stays within it and what it holds.
    order.clear();
    EXPECT_EQ(forEachNode(childAt(node, Slot::Then)->next, recordNode, &order), 1);
    EXPECT_EQ(order, "b");
    freeSequence(seq);
}

// Deep nesting must neither overflow the stack when walked or freed.
TEST_F(ConstructNodes, DeepNestingIsWalkedAndFreedWithoutRecursion) {
    constexpr int kDepth = 200000;
    ConstructNode* top = makeNode(ConstructType::Loop);
    ConstructNode* inner = top;
    for (int i = 1; i < kDepth; ++i) {
        ConstructNode* loop = makeNode(ConstructType::Loop);
        setChildAt(loop, inner, Slot::Body);
        inner = loop;
    }
    setChildAt(makeText("deep"), inner, Slot::Body);
    inner->lineNumber = 5;
    clearLineNumbers(top);
    EXPECT_EQ(inner->lineNumber, 0);
    int count = 0;
    auto counter = [](ConstructNode*, void* c) { return ++*static_cast<int*>(c), 1; };
    EXPECT_EQ(forEachNode(top, counter, &count), 1);
    EXPECT_EQ(count, kDepth + 1);
    freeSequence(top);
}

TEST_F(ConstructNodes, FreeSequenceReleasesEveryPayload) {
    const long before = memOutstanding();
    std::vector<ConstructNode*> nodes;

    ConstructNode* host = newConstruct(&doc, 5350);
    HostCommand* hc = hostCommandOf(host);
    hc->commandText = memStrDup("CMD");
    hc->programText = memStrDup("PRG");
    // Operand with a value that nests another operand list two levels deep.
    auto operand = [](const char* name) {
        auto* op = static_cast<HostOperand*>(memAlloc(sizeof(HostOperand)));
        op->name = memStrDup(name);
        return op;
    };
    auto value = [](const char* text) {
        auto* v = static_cast<HostValue*>(memAlloc(sizeof(HostValue)));
        v->text = memStrDup(text);
        return v;
    };
    hc->operands = operand("A");
    hc->operands->next = operand("B");
    hc->operands->values = value("1");
    hc->operands->values->next = value("2");
    hc->operands->values->operands = operand("C");
    hc->operands->values->operands->values = value("3");
    hc->operands->values->operands->values->operands = operand("D");
    nodes.push_back(host);

    for (int kind = 1; kind <= 8; ++kind) {
        ConstructNode* cond = makeNode(ConstructType::KivCond);
        setPartInt(cond, 0, kind);
        switch (kind) {
            case 1: {
                auto* r = static_cast<ConditionRecord1*>(memAlloc(sizeof(ConditionRecord1)));
                r->text = memStrDup("t");
                setPartPtr(cond, 1, r);
                break;
            }
            case 2: {
                auto* r = static_cast<ConditionRecord2*>(memAlloc(sizeof(ConditionRecord2)));
                r->text = memStrDup("t");
                setPartPtr(cond, 1, r);
                break;
            }
            case 3: {
                auto* r = static_cast<ConditionRecord3*>(memAlloc(sizeof(ConditionRecord3)));
                for (auto& t : r->texts1) t = memStrDup("t");
                r->texts2[2] = memStrDup("t");
                setPartPtr(cond, 1, r);
                break;
            }
            case 4: {
                auto* r = static_cast<ConditionRecord4*>(memAlloc(sizeof(ConditionRecord4)));
                r->text1 = memStrDup("t");
                r->text3 = memStrDup("t");
                setPartPtr(cond, 1, r);
                break;
            }
            case 5:
                setPartPtr(cond, 1, memAlloc(sizeof(ConditionRecord5)));
                break;
            case 6: {
                auto* r = static_cast<ConditionRecord6*>(memAlloc(sizeof(ConditionRecord6)));
                r->text = memStrDup("t");
                setPartPtr(cond, 1, r);
                break;
            }
            case 7:
                setPartPtr(cond, 1, memStrDup("text"));
                break;
            default:
                break;
        }
        EXPECT_EQ(carriesOwnData(cond), kind != 8);
        nodes.push_back(cond);
    }

    ConstructNode* proc = newConstruct(&doc, 3733);
    auto* options = static_cast<ProcedureOptions*>(memAlloc(sizeof(ProcedureOptions)));
    options->texts[0] = memStrDup("a");
    options->texts[8] = memStrDup("i");
    setPartPtr(proc, 0, options);
    nodes.push_back(proc);

    ConstructNode* variable = newConstruct(&doc, 3735);
    auto* vr = static_cast<VariableRecord*>(memAlloc(sizeof(VariableRecord)));
    vr->text2 = memStrDup("v");
    setPartPtr(variable, 0, vr);
    setChildAt(newConstruct(&doc, 3737), variable, Slot::Body);
    auto* variant = static_cast<VariantRecord*>(memAlloc(sizeof(VariantRecord)));
    variant->text1 = memStrDup("x");
    setPartPtr(childAt(variable, Slot::Body), 0, variant);
    nodes.push_back(variable);

    // A segment with a loaded body, an `extra` block and labels, holding an
    // outline-copy segment and an edge type.
    ConstructNode* level = newConstruct(&doc, 3050);
    levelInfoOf(level)->extra = memAlloc(64);
    setLeftLabel(level, memStrDup("L"));
    setRightLabel(level, memStrDup("R"));
    ConstructNode* outline = makeLevel(0, kSegOnDisk | kSegOutline, &doc);
    setChildAt(newConstruct(&doc, 3740), outline, Slot::Body);
    setChildAt(chain({outline, newConstruct(&doc, 4950)}), level, Slot::Body);
    nodes.push_back(level);

    ConstructNode* head = nodes[0];
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        nodes[i - 1]->next = nodes[i];
        nodes[i]->up = nodes[i - 1];
    }
    EXPECT_EQ(checkLinks(head), "");
    EXPECT_GT(memOutstanding(), before + 40);  // payloads, texts and extras; nodes share pool blocks
    freeSequence(head);
    EXPECT_EQ(memOutstanding(), before);
    freeSequence(nullptr);
}

TEST_F(ConstructNodes, FreePayloadClearsTheWords) {
    ConstructNode* text = makeText("t");
    freePayload(text);
    EXPECT_EQ(textOf(text), nullptr);
    ConstructNode* cond = makeNode(ConstructType::KivCond);
    setPartInt(cond, 0, 7);
    setPartPtr(cond, 1, memStrDup("c"));
    EXPECT_STREQ(conditionText(cond), "c");
    EXPECT_EQ(conditionRecord(cond), nullptr);
    freePayload(cond);
    EXPECT_EQ(cond->part[1], 0u);
    freeSequence(text);
    freeSequence(cond);
}

TEST_F(ConstructNodes, LevelIds) {
    doc.lastLevelId = 12;
    LevelInfo* a = newLevelInfo(0);
    LevelInfo* b = newLevelInfo(0);
    EXPECT_EQ(a->levelId, 13u);
    EXPECT_EQ(b->levelId, 14u);
    LevelInfo* stored = newLevelInfo(40);
    EXPECT_EQ(stored->levelId, 40u);
    EXPECT_EQ(doc.lastLevelId, 40u);
    LevelInfo* lower = newLevelInfo(5);
    EXPECT_EQ(lower->levelId, 5u);
    EXPECT_EQ(doc.lastLevelId, 40u);

    // Another document keeps its own count; id 0 is never handed out.
    DiagramDocument other{};
    other.lastLevelId = 0xFFFFFFFFu;
    LevelInfo* wrapped = newLevelInfo(0, &other);
    EXPECT_EQ(wrapped->levelId, 1u);
    EXPECT_EQ(doc.lastLevelId, 40u);

    memFailAt(1);
    EXPECT_EQ(newLevelInfo(0), nullptr);
    EXPECT_EQ(doc.lastLevelId, 40u);
    for (LevelInfo* li : {a, b, stored, lower, wrapped}) memFree(li);
}

// ---------------------------------------------------------------------------
// Segments

namespace {

class Segments : public TreeTest {
protected:
    void SetUp() override {
        TreeTest::SetUp();
        doc.segmentSource = &source.source;
        source.bodies[200] = [] { return chain({makeText("x"), makeText("y")}); };
        source.bodies[300] = [] { return makeLevel(0, kSegOnDisk | kSegOutline, nullptr); };
        ErrorLog::entries.clear();
        setInternalErrorHook(ErrorLog::hook);
    }
    ConstructNode* levelAt(std::uint32_t offset, std::uint8_t flags) {
        ConstructNode* level = makeLevel(0, flags, &doc);
        levelInfoOf(level)->fileOffset = offset;
        return level;
    }
    MemorySegmentSource source;
};

}  // namespace

TEST_F(Segments, EnsureLoadedReadsABodyOnDisk) {
    ConstructNode* level = levelAt(200, kSegOnDisk | kSegLineNumbersInvalid);
    DiagramDocument* previous = g_currentDocument;
    g_currentDocument = nullptr;  // the loader makes the segment's document current
    EXPECT_EQ(ensureLoaded(level, &doc), 1);
    EXPECT_EQ(g_currentDocument, nullptr);
    g_currentDocument = previous;
    EXPECT_EQ(source.currentDuringRead, &doc);
    EXPECT_EQ(source.lastOffset, 200u);
    EXPECT_EQ(source.lastOptions, kReadKeepLineNumbers | kReadLineNumbersInvalid);
    EXPECT_EQ(segmentFlags(level), kSegLoaded | kSegFileCurrent | kSegLineNumbersInvalid);
    EXPECT_EQ(shape(level), "Level#1{9:[] 4:[Text\"x\" Text\"y\"]}");
    EXPECT_EQ(checkLinks(level), "");
    // Loaded: no second read.
    EXPECT_EQ(ensureLoaded(level), 1);
    EXPECT_EQ(source.calls, 1);
    freeSequence(level);
}

TEST_F(Segments, EnsureLoadedRefusals) {
    ConstructNode* text = makeText("t");
    ConstructNode* nowhere = levelAt(200, 0);
    EXPECT_EQ(ensureLoaded(text), 0);
    EXPECT_EQ(ensureLoaded(nullptr), 0);
    EXPECT_EQ(ensureLoaded(nowhere), 0);  // no body on disk
    EXPECT_EQ(source.calls, 0);

    ConstructNode* missing = levelAt(999, kSegOnDisk);
    EXPECT_EQ(ensureLoaded(missing), 0);
    EXPECT_EQ(segmentFlags(missing), kSegOnDisk);

    // A failed read keeps the outline copy and frees the partial body.
    ConstructNode* outlined = levelAt(200, kSegOnDisk | kSegOutline);
    ConstructNode* copy = newConstruct(&doc, 3740);
    setChildAt(copy, outlined, Slot::Body);
    source.fail = true;
    EXPECT_EQ(ensureLoaded(outlined), 0);
    EXPECT_EQ(childAt(outlined, Slot::Body), copy);
    EXPECT_EQ(segmentFlags(outlined), kSegOnDisk | kSegOutline);

    // Without a segment source, or with the job cancelled, nothing is read.
    source.fail = false;
    doc.segmentSource = nullptr;
    EXPECT_EQ(ensureLoaded(missing), 0);
    doc.segmentSource = &source.source;
    g_outcome.jobCancelled = true;
    const int calls = source.calls;
    EXPECT_EQ(ensureLoaded(outlined), 0);
    EXPECT_EQ(source.calls, calls);
    g_outcome.jobCancelled = false;

    // The full body replaces the outline copy, which is freed.
    EXPECT_EQ(ensureLoaded(outlined), 1);
    EXPECT_EQ(shape(childAt(outlined, Slot::Body)), "Text\"x\" Text\"y\"");
    EXPECT_EQ(segmentFlags(outlined), kSegLoaded | kSegFileCurrent);
    EXPECT_TRUE(ErrorLog::entries.empty());
    freeSequence(chain({text, nowhere, missing, outlined}));
}

TEST_F(Segments, EnsureReadableReadsAnOutline) {
    ConstructNode* level = levelAt(300, kSegOnDisk);
    EXPECT_EQ(ensureReadable(level), 1);
    EXPECT_EQ(source.lastOptions, kReadKeepLineNumbers | kReadOutline);
    EXPECT_EQ(segmentFlags(level), kSegOnDisk | kSegOutline);
    EXPECT_EQ(childAt(level, Slot::Body)->type, ConstructType::Level);
    EXPECT_EQ(ensureReadable(level), 1);
    EXPECT_EQ(source.calls, 1);

    ConstructNode* loaded = levelAt(0, kSegLoaded);
    EXPECT_EQ(ensureReadable(loaded), 1);
    source.fail = true;
    ConstructNode* failing = levelAt(300, kSegOnDisk);
    EXPECT_EQ(ensureReadable(failing), 0);
    EXPECT_EQ(segmentFlags(failing), kSegOnDisk);
    EXPECT_EQ(childAt(failing, Slot::Body), nullptr);
    EXPECT_TRUE(ErrorLog::entries.empty());
    EXPECT_TRUE(g_outcome.readOk);
    freeSequence(chain({level, loaded, failing}));
}

TEST_F(Segments, SegmentNeitherLoadedNorOnDiskIsAnInternalError) {
    ConstructNode* level = levelAt(300, kSegFileCurrent);
    EXPECT_EQ(ensureReadable(level), 0);
    ASSERT_EQ(ErrorLog::entries.size(), 1u);
    EXPECT_EQ(ErrorLog::entries[0].first, 647u);
    EXPECT_STREQ(findString(ErrorLog::entries[0].first), "Internal structure error.");
    EXPECT_EQ(ErrorLog::entries[0].second, 117);
    EXPECT_FALSE(g_outcome.readOk);
    EXPECT_FALSE(g_outcome.writeOk);
    EXPECT_EQ(source.calls, 0);

    // The default hook stays silent but still marks the job failed.
    setInternalErrorHook(nullptr);
    resetOutcome();
    internalStructureError(kErrHostCommandKind);
    EXPECT_FALSE(g_outcome.writeOk);
    EXPECT_EQ(ErrorLog::entries.size(), 1u);
    freeSequence(level);
}

TEST_F(Segments, ClearLineNumbersReachesEverythingInMemoryOnly) {
    ConstructNode* top = makeLevel(0, kSegLoaded, &doc);
    ConstructNode* onDisk = levelAt(200, kSegOnDisk);
    ConstructNode* outlined = levelAt(300, kSegOnDisk | kSegOutline);
    ConstructNode* procedure = newConstruct(&doc, 3740);
    setChildAt(procedure, outlined, Slot::Body);
    ConstructNode* text = makeText("t");
    setChildAt(chain({onDisk, outlined, text}), top, Slot::Body);
    for (ConstructNode* n : {top, onDisk, outlined, procedure, text, childAt(procedure, Slot::Head)})
        n->lineNumber = 9;
    clearLineNumbers(top);
    for (ConstructNode* n : {top, onDisk, outlined, procedure, text, childAt(procedure, Slot::Head)})
        EXPECT_EQ(n->lineNumber, 0);
    for (ConstructNode* n : {top, onDisk, outlined}) EXPECT_TRUE(segmentFlags(n) & kSegLineNumbersInvalid);
    EXPECT_EQ(source.calls, 0);
    // Loading later clears the line numbers of the body on disk.
    EXPECT_EQ(ensureLoaded(onDisk), 1);
    EXPECT_TRUE(source.lastOptions & kReadLineNumbersInvalid);
    freeSequence(top);
}
