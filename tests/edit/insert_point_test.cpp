// The insertion point of a window: what the pointer at a place of the laid
// out segment targets, and how the keys move the mark.
#include "edit/insert_point.h"
#include "resources/commands.h"
#include "tests/view/view_helpers.h"

namespace {

using namespace gen_test;

class InsertPointTest : public view_test::ViewTest {
protected:
    // s0, If c {then: placeholder, else: s1}, s2 in a window.
    void SetUp() override {
        ViewTest::SetUp();
        ifNode = ifThen(text("c"), nullptr, text("s1"));
        root = segment(seq({text("s0"), ifNode, text("s2")}));
        doc.root = root;
        layout(root);
        window.document = &doc;
        window.clientWidth = 600;
        window.clientHeight = 400;
        showSegment(window, root, kShowClearSelection);
    }
    void TearDown() override {
        doc.root = nullptr;
        ViewTest::TearDown();
    }
    ConstructNode* s(int i) const {
        ConstructNode* n = levelInfoOf(root)->body;
        for (; n && i; n = n->next) i -= n != ifNode ? 1 : 0;
        return n == ifNode ? n->next : n;
    }
    // The content point `down` of the height into a construct's box.
    std::pair<std::int32_t, std::int32_t> at(const ConstructNode* node, double down) {
        Rect box{};
        EXPECT_TRUE(constructBox(ctx, root, node, &box));
        return {(box.left + box.right) / 2,
                box.top + static_cast<std::int32_t>((box.bottom - box.top) * down)};
    }

    ConstructNode* ifNode = nullptr;
    ConstructNode* root = nullptr;
    SegmentWindow window;
};

TEST_F(InsertPointTest, PointerPicksBeforeAfterOrReplace) {
    ConstructNode* placeholder = childAt(ifNode, Slot::Then);
    const struct {
        const ConstructNode* over;
        double down;
        const ConstructNode* target;
        InsertPosition position;
    } rows[] = {
        {s(0), 0.2, s(0), InsertPosition::Before},
        {s(0), 0.8, s(0), InsertPosition::After},
        {placeholder, 0.5, placeholder, InsertPosition::Replace},
        {childAt(ifNode, Slot::Else), 0.8, childAt(ifNode, Slot::Else), InsertPosition::After},
        {s(1), 0.9, s(1), InsertPosition::After},
    };
    for (const auto& row : rows) {
        const auto [x, y] = at(row.over, row.down);
        const InsertTarget t = insertTargetAt(ctx, root, x, y);
        EXPECT_EQ(t.target, row.target) << y;
        EXPECT_EQ(t.position, row.position) << y;
        // The mark lies on the construct's edge (or over it, replaced).
        Rect mark{}, box{};
        ASSERT_TRUE(insertMarkRect(ctx, root, t, &mark));
        ASSERT_TRUE(constructBox(ctx, root, row.target, &box));
        EXPECT_EQ(row.position == InsertPosition::Before ? mark.top : mark.bottom,
                  row.position == InsertPosition::Before ? box.top : box.bottom);
    }
    EXPECT_EQ(insertTargetAt(ctx, root, 30000, 5).target, nullptr);

    // An empty segment takes the sequence wherever the pointer is.
    ConstructNode* empty = segment(nullptr);
    layout(empty);
    const InsertTarget into = insertTargetAt(ctx, empty, 500, 500);
    EXPECT_EQ(into.target, empty);
    EXPECT_EQ(into.position, InsertPosition::IntoSegment);
}

TEST_F(InsertPointTest, KeysMoveTheMarkAndKeepTheSelection) {
    selectConstruct(window, s(1));
    InsertTarget mark = initialInsertMark(window);
    EXPECT_EQ(mark.target, s(1));
    EXPECT_EQ(mark.position, InsertPosition::After);
    const struct {
        unsigned key;
        const ConstructNode* target;
        InsertPosition position;
        bool moved;
    } steps[] = {
        {CMD_KEY_UP, s(1), InsertPosition::Before, true},
        {CMD_KEY_UP, ifNode, InsertPosition::Before, true},
        {CMD_KEY_DOWN, ifNode, InsertPosition::After, true},
        {CMD_KEY_HOME, s(0), InsertPosition::After, true},
        {CMD_KEY_UP, s(0), InsertPosition::Before, true},
        {CMD_KEY_SHIFT_DOWN, s(0), InsertPosition::Before, false},  // extending keys do nothing
        {CMD_KEY_END, s(1), InsertPosition::Before, true},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(moveInsertMark(ctx, window, mark, step.key), step.moved) << step.key;
        EXPECT_EQ(mark.target, step.target) << step.key;
        EXPECT_EQ(mark.position, step.position) << step.key;
    }
    EXPECT_EQ(window.selectionFirst, s(1));
    EXPECT_EQ(window.selectionLast, s(1));
}

}  // namespace
