// The escape language of the templates, the indentation, the continuation
// literal, the writer's line accounting and the line-length check.
#include "core/allocator.h"
#include "resources/strings.h"
#include "tests/generator/generator_helpers.h"

namespace {

using gen_test::WriterHarness;

constexpr int kStatement = static_cast<int>(GenTemplate::Statement);
constexpr int kCondition = static_cast<int>(GenTemplate::Condition);
constexpr int kIf = static_cast<int>(GenTemplate::If);

class TemplateWriterTest : public tree_test::TreeTest {
protected:
    void SetUp() override {
        TreeTest::SetUp();
        host = std::make_unique<HostRecorder>();
        host->defaultAnswer = kAnswerOk;
    }
    void TearDown() override {
        host.reset();
        TreeTest::TearDown();
    }
    std::unique_ptr<HostRecorder> host;
};

GenOptions withIndents(int initial, int maxIndent, int maxLine = -1) {
    GenOptions o = WriterHarness::defaults();
    o.initialIndent = initial;
    o.maxIndent = maxIndent;
    o.maxLineLength = maxLine;
    return o;
}

TEST_F(TemplateWriterTest, LineBreaksAndLineAccounting) {
    WriterHarness h({{kStatement, "\\Na\\Nb\\N\\N\\nc"}});
    ASSERT_EQ(h.write(kStatement), 1);
    // \N at line start writes nothing, \n always breaks.
    EXPECT_EQ(h.output(), "a\r\nb\r\n\r\nc");
    EXPECT_EQ(h.state().line, 4u);
    EXPECT_EQ(h.state().column, 1);
    EXPECT_FALSE(h.state().atLineStart);
    // The template's first line is where its first visible text went.
    WriterHarness later({{kStatement, "\\n\\nx"}});
    ASSERT_EQ(later.write(kStatement), 1);
    EXPECT_EQ(later.state().templateFirstLine, 3u);
    // A template that writes nothing visible takes the current line.
    WriterHarness blank({{kStatement, "\\n\\n"}, {kCondition, ""}});
    ASSERT_EQ(blank.write(kStatement), 1);
    EXPECT_EQ(blank.state().templateFirstLine, 3u);
    ASSERT_EQ(blank.write(kCondition), 1);
    EXPECT_EQ(blank.state().templateFirstLine, 3u);
}

TEST_F(TemplateWriterTest, IndentationIsWrittenWhenTheFirstTextComes) {
    // An indent change at the start of a template written at line start
    // counts for that line already.
    WriterHarness h({{kStatement, "\\4+x\\n\\2-y\\N\\s\\10:z\\r\\Nw\\5:"}, {kCondition, "\\nv\\\\"}});
    ASSERT_EQ(h.write(kStatement), 1);
    EXPECT_EQ(h.output(), "    x\r\n  y\r\n          z\r\n  w");
    EXPECT_EQ(h.state().indent, 5);
    ASSERT_EQ(h.write(kCondition), 1);
    EXPECT_EQ(h.output(), "    x\r\n  y\r\n          z\r\n  w\r\n     v\\");
    // A template that ends during the line-start pass writes no blanks.
    WriterHarness pending({{kStatement, "\\n\\3+"}, {kCondition, "\\\\"}});
    ASSERT_EQ(pending.write(kStatement), 1);
    EXPECT_EQ(pending.output(), "\r\n");
    EXPECT_TRUE(pending.state().atLineStart);
    ASSERT_EQ(pending.write(kCondition), 1);
    EXPECT_EQ(pending.output(), "\r\n   \\");
}

TEST_F(TemplateWriterTest, ColumnIndentAndPadding) {
    WriterHarness h({{kStatement, "ab\\c\\ncd\\n\\ie\\0:f\\i|"}}, withIndents(6, -1));
    ASSERT_EQ(h.write(kStatement), 1);
    // \c takes the column (8 after the line's indentation).
    // After \0: the indent is 0: \i inside the line pads nothing.
    EXPECT_EQ(h.output(), "      ab\r\n        cd\r\n        ef|");
}

TEST_F(TemplateWriterTest, MaxIndentCapsTheBlanksNotTheIndent) {
    WriterHarness h({{kStatement, "\\nx\\i|"}}, withIndents(12, 8));
    ASSERT_EQ(h.write(kStatement), 1);
    EXPECT_EQ(h.output(), "\r\n        x|");
    EXPECT_EQ(h.state().indent, 12);
}

TEST_F(TemplateWriterTest, EscapeErrorsNameTheSymbolAndTheTemplate) {
    const struct {
        const char* value;
        const char* symbol;
    } cases[] = {
        {"ab\\q", "\\q"},
        {"\\12x", "\\12x"},
        {"\\123456+", "\\123456"},
        {"x\\", "\\"},
        {"\\\"abc", "\\\"abc"},
        {"\\\"a\\q\"", "\\q"},
        {"\\%SEGNIX%", "\\%SEGNI"},
        {"\\\"0123456789012345678901234567890123456789", "\\\"012345678901234567890123456789"},
    };
    for (const auto& c : cases) {
        host->messages.clear();
        WriterHarness h({{kIf, c.value}});
        EXPECT_EQ(h.write(kIf), 0) << c.value;
        ASSERT_EQ(host->messages.size(), 1u) << c.value;
        EXPECT_EQ(host->messages[0].id, IDS_GENMSG_INVALID_SYMBOL);
        EXPECT_EQ(host->messages[0].text,
                  std::string("Generation error:\r\nInvalid symbol ") + c.symbol + " in If.")
            << c.value;
    }
    host->messages.clear();
    WriterHarness pop({{kIf, "\\s\\r\\r"}});
    EXPECT_EQ(pop.write(kIf), 0);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].text, "Generation error:\r\nSymbol \\r in If without preceding \\s.");
}

TEST_F(TemplateWriterTest, NegativeIndent) {
    // At line start the generation stops.
    WriterHarness start({{kStatement, "\\3-x"}});
    EXPECT_EQ(start.write(kStatement), 0);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0].text, "Generation error:\r\nNegative indent cannot be generated.");
    // Inside a line \i reports it and the template goes on.
    host->messages.clear();
    WriterHarness inside({{kStatement, "a\\3-\\ib"}});
    EXPECT_EQ(inside.write(kStatement), 1);
    EXPECT_EQ(inside.output(), "ab");
    EXPECT_EQ(host->messages.size(), 1u);
    // So does a construct text at line start.
    host->messages.clear();
    WriterHarness text({{kStatement, "\\1-"}});
    ASSERT_EQ(text.write(kStatement), 1);
    EXPECT_EQ(writeConstructText(text.state(), "x", true), 0);
    EXPECT_EQ(host->messages.size(), 1u);
}

TEST_F(TemplateWriterTest, EmitFlagsAndAbsentTemplates) {
    WriterHarness h({{kStatement, "\\Xabc"}});
    ASSERT_EQ(h.write(kStatement), 1);
    EXPECT_FALSE(h.childEmit);
    ASSERT_EQ(h.write(kStatement, false), 1);
    EXPECT_EQ(h.state().templateFirstLine, 0u);
    EXPECT_FALSE(h.childEmit) << "a template not written leaves the flag";
    EXPECT_EQ(h.output(), "abc");
    // An absent template asks once per generation and writes "\N".
    ASSERT_EQ(h.write(kIf), 1);
    ASSERT_EQ(h.write(kIf), 1);
    ASSERT_EQ(h.write(kIf), 1);
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(
        host->messages[0].text,
        "No GenString If in the current configuration file. \\N will be used as default for this GenString.");
    EXPECT_EQ(host->messages[0].style & kBoxButtonMask, static_cast<unsigned>(kBoxOkCancel));
    EXPECT_EQ(h.output(), "abc\r\n");
    // Cancel stops the generation.
    host->answer(kAnswerCancel);
    WriterHarness cancelled({});
    EXPECT_EQ(cancelled.write(kIf), 0);
    EXPECT_TRUE(cancelled.state().cancelled);
}

TEST_F(TemplateWriterTest, ContinuationLiteralJoinsTheLinesOfAText) {
    WriterHarness h({{kStatement, "\\N\\\"\\n   \""}, {kCondition, "\\N"}});
    ASSERT_EQ(h.write(kStatement), 1);
    ASSERT_EQ(writeConstructText(h.state(), "one\r\ntwo\nthree", true), 1);
    EXPECT_EQ(h.output(), "one\r\n   two\r\n   three");
    EXPECT_FALSE(h.state().atLineStart);
    // A break at the very end of the text is written as a break.
    ASSERT_EQ(h.write(kStatement), 1);
    ASSERT_EQ(writeConstructText(h.state(), "four\r\n", true), 1);
    EXPECT_EQ(h.output(), "one\r\n   two\r\n   three\r\nfour\r\n");
    EXPECT_TRUE(h.state().atLineStart);
    // The next template clears the literal.
    ASSERT_EQ(h.write(kCondition), 1);
    EXPECT_FALSE(h.state().literalPresent);

    // Literal escapes: doubled quote, backslash, \i, column fill.
    WriterHarness escapes({{kStatement, "\\4+\\\"a\"\"b\\\\c\\i|\\10:|\\n\\i.\""}});
    ASSERT_EQ(escapes.write(kStatement), 1);
    EXPECT_EQ(std::string(escapes.state().literal), "a\"b\\c|    |\r\n    .");
    EXPECT_EQ(escapes.state().literalColumn, 5);
    EXPECT_EQ(escapes.output(), "");
}

TEST_F(TemplateWriterTest, TextLinesAreIndentedLikeTheFirst) {
    WriterHarness h({{kStatement, "\\2+\\N"}});
    ASSERT_EQ(h.write(kStatement), 1);
    ASSERT_EQ(writeConstructText(h.state(), "a\r\nb\n\nc\rd", true), 1);
    // Empty lines get no blanks; every line end becomes CR LF.
    EXPECT_EQ(h.output(), "  a\r\n  b\r\n\r\n  c\r\n  d");
    EXPECT_EQ(h.state().line, 5u);
    ASSERT_EQ(writeConstructText(h.state(), "hidden", false), 1);
    EXPECT_EQ(h.output(), "  a\r\n  b\r\n\r\n  c\r\n  d");
}

TEST_F(TemplateWriterTest, LongLinesAreReportedOnceEach) {
    WriterHarness h({{kStatement, "abcdefgh\\nabcdefgh\\nxx"}}, withIndents(0, 2, 5));
    ASSERT_EQ(h.write(kStatement), 1);
    ASSERT_EQ(host->messages.size(), 2u);
    EXPECT_EQ(host->messages[0].text,
              "Generation error:\r\nLine 1 in file out.src exceeds maximum line length.");
    EXPECT_EQ(host->messages[1].text,
              "Generation error:\r\nLine 2 in file out.src exceeds maximum line length.");
    EXPECT_EQ(host->messages[0].style & kBoxButtonMask, static_cast<unsigned>(kBoxOkCancel));

    // Cancel on the first switches the check off.
    host->messages.clear();
    host->answer(kAnswerCancel);
    WriterHarness cancel({{kStatement, "abcdefgh\\nabcdefgh"}}, withIndents(0, 2, 5));
    ASSERT_EQ(cancel.write(kStatement), 1);
    EXPECT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(cancel.output(), "abcdefgh\r\nabcdefgh");

    // A limit not above MaxIndent means no check.
    host->messages.clear();
    WriterHarness off({{kStatement, "abcdefgh"}}, withIndents(0, 8, 8));
    ASSERT_EQ(off.write(kStatement), 1);
    EXPECT_TRUE(host->messages.empty());
}

TEST_F(TemplateWriterTest, SegmentNumbers) {
    ConstructNode* inner = tree_test::makeLevel(7, kSegLoaded, &doc);
    ConstructNode* statement = gen_test::text("x");
    setChildAt(statement, inner, Slot::Body);
    ConstructNode* top = tree_test::makeLevel(1, kSegLoaded, &doc);
    setChildAt(inner, top, Slot::Body);
    WriterHarness h({{kStatement, "\\%SEGNUM%,\\%segnum%"}});
    ASSERT_EQ(h.write(kStatement, true, statement), 1);
    ASSERT_EQ(h.write(kStatement, true, inner), 1);
    ASSERT_EQ(h.write(kStatement, true, top), 1);
    EXPECT_EQ(h.output(), "7,77,7Top,Top");
    freeSequence(top);
}

}  // namespace
