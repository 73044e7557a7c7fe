// Finding and replacing text in the constructs of a diagram: the request,
// the matching rules (match case, whole word, white space ignored, regular
// expressions), the walk over an area in either direction, replacing as
// undoable changes, and the recent-search list of the settings file.
//
// The walk visits the constructs of the area in diagram order (a construct,
// then its child sequences in word order, depth first) or exactly the
// reverse; within one construct the left label, the right label and the
// text forwards, the reverse backwards. Segment bodies on disk are read
// when the walk enters them and paged out again when it leaves them, so
// that a search through a large diagram needs little memory.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "edit/edit_context.h"
#include "edit/text_edit.h"

constexpr int kSearchTextMax = 4095;
constexpr int kSearchListDefaultLength = 20;

enum SearchArea : int {
    kAreaSegment = 1,       // the shown segment (and the segments below it)
    kAreaToSegmentEnd = 2,  // from the selected area to the end of the shown segment
    kAreaSelection = 3,     // the selected area only
    kAreaDiagram = 4,       // the whole diagram
    kAreaToDiagramEnd = 5,  // from the selected area to the end of the diagram
};

struct SearchRequest {
    std::string searchText;
    std::string replaceText;
    bool matchCase = false;
    bool replace = false;
    int area = kAreaDiagram;
    bool includeLowerSegments = true;
    bool searchLeftLabels = false;
    bool searchRightLabels = false;
    bool wholeWord = false;
    bool enhancedExpression = false;
    bool ignoreWhiteSpace = false;

    bool operator==(const SearchRequest&) const = default;
};

// ---------------------------------------------------------------------------
// Matching

struct TextMatch {
    int start = -1;
    int length = 0;
};

// Plain text: the search text with match case or not (code page 1252
// letters), whole word (letters, digits and "_" are word characters; the
// test applies at an end of the search text that is a word character),
// and white space ignored (blanks, tabs and line breaks are skipped in the
// search text and in the construct text; a match starts and ends on other
// characters). Enhanced expressions are ECMAScript regular expressions
// (std::regex); the replacement may name groups ($1, $&); a match of no
// characters does not count.
class SearchMatcher {
public:
    SearchMatcher();
    ~SearchMatcher();
    SearchMatcher(const SearchMatcher&) = delete;
    SearchMatcher& operator=(const SearchMatcher&) = delete;

    // False when there is nothing to find or the expression is not valid;
    // `error` (may be null) then tells why (empty for nothing to find).
    bool prepare(const SearchRequest& request, std::string* error);
    // Forwards: the first match starting at `from` or later. Backwards: the
    // last match ending at `from` or before.
    bool find(std::string_view text, int from, bool backward, TextMatch* match) const;
    // The text that replaces `match` in `text`.
    std::string replacement(std::string_view text, const TextMatch& match) const;

private:
    bool matchAt(std::string_view text, int start, int* end) const;
    struct Expression;
    SearchRequest request_;
    std::string pattern_;  // plain: the search text (white space removed when ignored)
    std::unique_ptr<Expression> expression_;
};

// ---------------------------------------------------------------------------
// The walk

// Where a search runs: set up once per command, kept for Continue search.
struct SearchScope {
    DiagramDocument* document = nullptr;
    ConstructNode* root = nullptr;   // the Level whose tree is the area (all but area 3)
    ConstructNode* first = nullptr;  // area 3: the selected range; areas 2 and 5: the start
    ConstructNode* last = nullptr;
    bool lower = false;  // Level bodies inside the area are entered
    bool backward = false;
    bool leftLabels = false;  // labels searched (asked for and shown)
    bool rightLabels = false;
};

struct SearchCursor {
    ConstructNode* node = nullptr;  // the construct of the last match (or the start)
    int field = kFieldNone;         // its field; kFieldNone: the construct's fields not begun
    int position = 0;               // where the next search in the field starts
    bool started = false;
    bool finished = false;
    std::vector<ConstructNode*> loaded;  // bodies the walk read, paged out when it leaves them
};

struct SearchHit {
    ConstructNode* node = nullptr;
    int field = kFieldNone;
    TextMatch match;
};

// The scope of `request` in a window showing `shown` with `selection`
// (document and direction given). False when there is nothing to search
// (no shown segment, no top segment, or an area from the selection
// without one).
bool makeSearchScope(const SearchRequest& request, DiagramDocument* document, ConstructNode* shown,
                     const Selection& selection, bool backward, bool leftLabelsShown, bool rightLabelsShown,
                     SearchScope* scope);

// Starts the cursor at a construct's field and caret (a text being edited,
// or Continue search from the window's caret).
void startCursorAt(SearchCursor& cursor, ConstructNode* node, int field, int position);

// The next match of the walk; false when the area holds no more (the
// cursor is finished and the bodies it read are paged out).
bool findNext(const SearchScope& scope, const SearchMatcher& matcher, SearchCursor& cursor, SearchHit* hit);

// Pages out what the walk read and is not shown (the end of a search).
void finishSearch(const SearchScope& scope, SearchCursor& cursor);

enum class ReplaceResult { Replaced, TooLong, Failed };

// Replaces the hit as its own undoable command (`command`: Find or Continue search);
// the cursor moves behind the replacement (before it backwards). TooLong:
// the result would reach the text limit, nothing changes.
ReplaceResult replaceHit(EditContext& context, unsigned command, const SearchScope& scope,
                         const SearchMatcher& matcher, SearchCursor& cursor, const SearchHit& hit);

// replaceHit, and a result that would be too long reported with
// "Resulting text too long. Unable to replace text.". True when replaced.
bool replaceReported(EditContext& context, unsigned command, const SearchScope& scope,
                     const SearchMatcher& matcher, SearchCursor& cursor, const SearchHit& hit);

// Replace all: every further match of the area (from the cursor), each in
// its own undo record; a result that would be too long is reported with
// "Resulting text too long. Unable to replace text." and left unchanged.
// Returns the number of replacements; the last hit replaced in `*lastHit`
// (may be null).
long replaceAll(EditContext& context, unsigned command, const SearchScope& scope,
                const SearchMatcher& matcher, SearchCursor& cursor, SearchHit* lastHit);

// ---------------------------------------------------------------------------
// The recent-search list (section "RecentSearchList" of the settings file)

struct RecentSearchList {
    int length = kSearchListDefaultLength;  // entries kept
    std::vector<SearchRequest> entries;     // newest first
};

// Puts `request` at the head (an equal older entry goes) and drops entries
// beyond the length.
void rememberSearch(RecentSearchList& list, const SearchRequest& request);

// Texts as stored: enclosed in double quotes, CR as byte 3, LF as byte 4.
std::string encodeSearchText(std::string_view text);
// The reverse, for a value the profile reader has taken the quotes off.
std::string decodeSearchText(std::string_view value);
// "area,matchCase,replace,lower,left,right,word,expression,white".
std::string formatSearchOptions(const SearchRequest& request);
// Fills the options of `request` from a stored value. False (the request
// unchanged) for a value that does not hold an area 1..5 and the eight
// switches as "0" or "1".
bool parseSearchOptions(std::string_view value, SearchRequest* request);

void loadRecentSearches(RecentSearchList& list, const char* file);
// 0 when a write failed.
int saveRecentSearches(const RecentSearchList& list, const char* file);
