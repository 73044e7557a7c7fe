// Finding and replacing text: the matching rules, the walk over every area
// in both directions, replacing with undo, and the recent-search list in
// the settings file.
#include "edit/search.h"

#include <gtest/gtest.h>

#include "core/allocator.h"
#include "resources/commands.h"
#include "resources/strings.h"
#include "tests/config/temp_ini.h"
#include "tests/edit/edit_helpers.h"
#include "tests/support/host_recorder.h"

namespace {

using edit_test::EditTest;

// The matches of `request` in `text`, forwards or backwards, as "start+length".
std::string matches(const SearchRequest& request, std::string_view text, bool backward) {
    SearchMatcher matcher;
    std::string error;
    if (!matcher.prepare(request, &error)) return "error:" + error;
    std::string out;
    int from = backward ? static_cast<int>(text.size()) : 0;
    TextMatch m;
    while (matcher.find(text, from, backward, &m)) {
        out += std::to_string(m.start) + "+" + std::to_string(m.length) + " ";
        from = backward ? m.start : m.start + m.length;
    }
    return out;
}

TEST(SearchMatching, Rules) {
    struct Row {
        const char* pattern;
        bool matchCase, word, white, expression;
        const char* text;
        const char* forward;
        const char* backward;
    };
    const Row rows[] = {
        {"ab", false, false, false, false, "xAbyab", "1+2 4+2 ", "4+2 1+2 "},
        {"ab", true, false, false, false, "xAbyab", "4+2 ", "4+2 "},
        {"\xE4", false, false, false, false, "\xC4\xE4", "0+1 1+1 ", "1+1 0+1 "},  // 1252 letters fold
        {"i", false, true, false, false, "i := ix + i;", "0+1 10+1 ", "10+1 0+1 "},
        {":=", false, true, false, false, "a:=b", "1+2 ", "1+2 "},  // no word ends: no test
        {"a:=b", false, false, true, false, "x a := b\r\n a\t:=b", "2+6 11+5 ", "11+5 2+6 "},
        {"a := b", false, false, true, false, "a:=b", "0+4 ", "0+4 "},
        {"aa", false, false, false, false, "aaaa", "0+2 2+2 ", "2+2 0+2 "},
        {"a[0-9]+", false, false, false, true, "a12 A3 b4", "0+3 4+2 ", "4+2 0+3 "},
        {"a[0-9]+", true, true, false, true, "a12 xa3 a4", "0+3 8+2 ", "8+2 0+3 "},
        {"x*", false, false, false, true, "abxxc", "2+2 ", "2+2 "},  // empty matches do not count
        {"(", false, false, false, true, "(", "error:", ""},
        {"", false, false, false, false, "abc", "error:", ""},
    };
    for (const Row& r : rows) {
        SearchRequest q;
        q.searchText = r.pattern;
        q.matchCase = r.matchCase;
        q.wholeWord = r.word;
        q.ignoreWhiteSpace = r.white;
        q.enhancedExpression = r.expression;
        const std::string forward = matches(q, r.text, false);
        if (forward.starts_with("error:")) {
            EXPECT_STREQ("error:", r.forward) << r.pattern;
            EXPECT_EQ(forward.size() > 6, r.expression) << r.pattern << ": the error is told";
            continue;
        }
        EXPECT_EQ(forward, r.forward) << r.pattern << " in " << r.text;
        EXPECT_EQ(matches(q, r.text, true), r.backward) << r.pattern << " in " << r.text;
    }
}

TEST(SearchMatching, ExpressionOverALongTextAndGroupsInTheReplacement) {
    SearchRequest q;
    q.searchText = "(a|b)*c";
    q.enhancedExpression = true;
    q.replaceText = "[$&]";
    SearchMatcher matcher;
    ASSERT_TRUE(matcher.prepare(q, nullptr));
    const std::string text = std::string(29000, 'a') + "c";
    TextMatch m;
    ASSERT_TRUE(matcher.find(text, 0, false, &m));  // no stack exhaustion on a long text
    EXPECT_EQ(m.length, 29001);
    q.searchText = "(\\w+)=(\\w+)";
    q.replaceText = "$2=$1";
    ASSERT_TRUE(matcher.prepare(q, nullptr));
    ASSERT_TRUE(matcher.find("x ab=cd", 0, false, &m));
    EXPECT_EQ(matcher.replacement("x ab=cd", m), "cd=ab");
}

class SearchTest : public EditTest {
protected:
    // Top body: a1 (labels L, R) If{c2, t3, e4} Level{s5 s6} a7; every text
    // holds an x. `marks` selects.
    void build(bool selectIfAndLevel) {
        load(selectIfAndLevel
                 ? "\"xa1\" *If{8:[\"xc2\"] 2:[\"xt3\"] 3:[\"xe4\"]} *Level{4:[\"xs5\" \"xs6\"]} \"xa7\""
                 : "\"xa1\" If{8:[\"xc2\"] 2:[\"xt3\"] 3:[\"xe4\"]} Level{4:[\"xs5\" \"xs6\"]} \"xa7\"");
        ConstructNode* a1 = levelInfoOf(doc.root)->body;
        setLeftLabel(a1, memStrDup("xL"));
        setRightLabel(a1, memStrDup("xR"));
    }
    ConstructNode* inner() const { return lastOf(levelInfoOf(doc.root)->body)->up; }
    std::string walk(const SearchRequest& request, ConstructNode* shown, Selection selection, bool backward,
                     bool labelsShown) {
        SearchScope scope;
        if (!makeSearchScope(request, &doc, shown, selection, backward, labelsShown, labelsShown, &scope))
            return "no scope";
        SearchMatcher matcher;
        if (!matcher.prepare(request, nullptr)) return "no matcher";
        SearchCursor cursor;
        SearchHit hit;
        std::string out;
        while (findNext(scope, matcher, cursor, &hit))
            out += std::string(fieldText(hit.node, hit.field)).substr(1) + " ";
        return out;
    }
};

TEST_F(SearchTest, EveryAreaInBothDirections) {
    struct Row {
        int area;
        bool lower, labels, backward, innerShown;
        const char* expected;
    };
    const Row rows[] = {
        {kAreaDiagram, true, true, false, false, "L R a1 c2 t3 e4 s5 s6 a7 "},
        {kAreaDiagram, true, true, true, false, "a7 s6 s5 e4 t3 c2 a1 R L "},
        {kAreaDiagram, true, false, false, false, "a1 c2 t3 e4 s5 s6 a7 "},
        {kAreaDiagram, false, false, true, false, "a7 e4 t3 c2 a1 "},
        {kAreaSegment, true, false, false, true, "s5 s6 "},
        {kAreaSegment, false, false, true, false, "a7 e4 t3 c2 a1 "},
        {kAreaSelection, true, true, false, false, "c2 t3 e4 "},  // the segment body is not entered
        {kAreaSelection, true, true, true, false, "e4 t3 c2 "},
        {kAreaToSegmentEnd, true, false, false, false, "c2 t3 e4 s5 s6 a7 "},
        {kAreaToSegmentEnd, false, false, false, false, "c2 t3 e4 a7 "},
        {kAreaToSegmentEnd, true, false, true, false, "a7 s6 s5 e4 t3 c2 "},
        {kAreaToDiagramEnd, true, false, false, true, "s6 a7 "},  // leaves the shown segment upwards
        {kAreaToDiagramEnd, true, false, true, true, "a7 s6 "},
    };
    for (const Row& r : rows) {
        build(!r.innerShown);
        SearchRequest q;
        q.searchText = "X";
        q.area = r.area;
        q.includeLowerSegments = r.lower;
        q.searchLeftLabels = q.searchRightLabels = true;
        ConstructNode* shown = r.innerShown ? inner() : doc.root;
        Selection selection = view.state.selection;
        if (r.innerShown) {
            ConstructNode* s6 = levelInfoOf(inner())->body->next;
            selection = {s6, s6};
        }
        EXPECT_EQ(walk(q, shown, selection, r.backward, r.labels), r.expected)
            << "area " << r.area << " lower " << r.lower << " labels " << r.labels << " back " << r.backward;
    }
}

TEST_F(SearchTest, ContinueFromTheCaretOfAnEditedText) {
    load("\"ab ab\" *\"ab\"");
    SearchRequest q;
    q.searchText = "ab";
    q.area = kAreaToDiagramEnd;
    SearchScope scope;
    ASSERT_TRUE(makeSearchScope(q, &doc, doc.root, {levelInfoOf(doc.root)->body, levelInfoOf(doc.root)->body},
                                false, false, false, &scope));
    SearchMatcher matcher;
    ASSERT_TRUE(matcher.prepare(q, nullptr));
    SearchCursor cursor;
    startCursorAt(cursor, levelInfoOf(doc.root)->body, kFieldText, 1);
    SearchHit hit;
    ASSERT_TRUE(findNext(scope, matcher, cursor, &hit));
    EXPECT_EQ(hit.match.start, 3);
    ASSERT_TRUE(findNext(scope, matcher, cursor, &hit));
    EXPECT_EQ(hit.node, view.state.selection.first);
    EXPECT_FALSE(findNext(scope, matcher, cursor, &hit));
}

TEST_F(SearchTest, ReplaceAllThenUndoTakesBackTheLastReplacement) {
    HostRecorder host;
    load("*\"x = x\" If{8:[\"x\"] 2:[\"a\"]} Level{4:[\"x x\"]} \"none\"");
    ConstructNode* first = levelInfoOf(doc.root)->body;
    // A text that the replacement would make too long is left as it is.
    ConstructNode* big = lastOf(first);
    setText(big, memStrDup((std::string(kTextLimit - 3, 'b') + "x").c_str()));
    SearchRequest q;
    q.searchText = "x";
    q.replaceText = "yyyy";
    q.replace = true;
    SearchScope scope;
    ASSERT_TRUE(makeSearchScope(q, &doc, doc.root, view.state.selection, false, false, false, &scope));
    SearchMatcher matcher;
    ASSERT_TRUE(matcher.prepare(q, nullptr));
    SearchCursor cursor;
    SearchHit last;
    EXPECT_EQ(replaceAll(context, CMD_EDIT_SEARCH, scope, matcher, cursor, &last), 5);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.saw(IDS_REPLACED_TEXT_TOO_LONG));
    setText(big, memStrDup("none"));
    EXPECT_EQ(body(), "\"yyyy = yyyy\" If{8:[\"yyyy\"] 2:[\"a\"]} Level{4:[\"yyyy yyyy\"]} \"none\"");
    EXPECT_EQ(journal.current->command, CMD_EDIT_SEARCH);
    // The last replacement was made in the segment below: Undo acts there.
    ConstructNode* level = lastOf(first)->up;
    EXPECT_EQ(journal.current->segment, level);
    EXPECT_EQ(view.segment, level);
    EXPECT_TRUE(canUndo(&journal, doc.root));
    ASSERT_TRUE(undo(&journal, context));
    EXPECT_EQ(body(), "\"yyyy = yyyy\" If{8:[\"yyyy\"] 2:[\"a\"]} Level{4:[\"yyyy x\"]} \"none\"");
    EXPECT_EQ(view.state.caret, 5);  // the match comes back selected
    EXPECT_EQ(view.state.caretEnd, 6);
}

TEST(RecentSearchList, SettingsRoundTripKeepsLineBreaksAndOptions) {
    TempIni ini("");
    RecentSearchList list;
    list.length = 2;
    SearchRequest a;
    a.searchText = "line one\r\nline \"two\"";
    a.replaceText = " lead and trail ";
    a.area = kAreaSelection;
    a.wholeWord = a.ignoreWhiteSpace = true;
    SearchRequest b;
    b.searchText = "b";
    b.enhancedExpression = b.matchCase = b.replace = true;
    b.includeLowerSegments = false;
    SearchRequest c;
    c.searchText = "c\n";
    rememberSearch(list, a);
    rememberSearch(list, b);
    rememberSearch(list, c);  // a drops out
    rememberSearch(list, b);  // b moves to the head
    ASSERT_EQ(list.entries.size(), 2u);
    ASSERT_TRUE(saveRecentSearches(list, ini.path()));
    RecentSearchList read;
    loadRecentSearches(read, ini.path());
    EXPECT_EQ(read.length, 2);
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[0], b);
    EXPECT_EQ(read.entries[1], c);
    list.entries = {a};
    ASSERT_TRUE(saveRecentSearches(list, ini.path()));  // the older second entry goes
    loadRecentSearches(read, ini.path());
    ASSERT_EQ(read.entries.size(), 1u);
    EXPECT_EQ(read.entries[0], a);

    SearchRequest options;
    for (const char* bad :
         {"", "6,0,0,0,0,0,0,0,0", "1,0,0,0,0,0,0,0", "1,0,0,0,0,0,0,0,2", "1,0,0,0,0,0,0,0,0,0"})
        EXPECT_FALSE(parseSearchOptions(bad, &options)) << bad;
    EXPECT_EQ(options, SearchRequest{});
    EXPECT_EQ(encodeSearchText("a\r\nb"),
              "\"a\x03\x04"
              "b\"");
}

}  // namespace
