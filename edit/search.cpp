#include "edit/search.h"

#include <cstdio>
#include <cstring>
#include <regex>

#include "config/profile.h"
#include "core/construct_node.h"
#include "core/host.h"
#include "core/segment_paging.h"
#include "edit/undo_journal.h"
#include "platform/platform.h"
#include "resources/strings.h"

// ---------------------------------------------------------------------------
// Matching

namespace {

// Upper case of code page 1252.
struct FoldTable {
    unsigned char upper[256];
    constexpr FoldTable() : upper() {
        for (int c = 0; c < 256; ++c) upper[c] = static_cast<unsigned char>(c);
        for (int c = 'a'; c <= 'z'; ++c) upper[c] = static_cast<unsigned char>(c - 32);
        for (int c = 0xE0; c <= 0xFE; ++c)
            if (c != 0xF7) upper[c] = static_cast<unsigned char>(c - 32);
        upper[0x9A] = 0x8A;
        upper[0x9C] = 0x8C;
        upper[0x9E] = 0x8E;
        upper[0xFF] = 0x9F;
    }
};
constexpr FoldTable kFold;

bool isWhite(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool isWordChar(unsigned char c) {
    return (c >= '0' && c <= '9') || c == '_' || kFold.upper[c] != c || (c >= 'A' && c <= 'Z') ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7) || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9F;
}

}  // namespace

struct SearchMatcher::Expression {
    std::regex regex;
};

SearchMatcher::SearchMatcher() = default;
SearchMatcher::~SearchMatcher() = default;

bool SearchMatcher::prepare(const SearchRequest& request, std::string* error) {
    request_ = request;
    expression_.reset();
    pattern_.clear();
    if (error) error->clear();
    if (request.searchText.empty()) return false;
    if (request.enhancedExpression) {
        auto flags = std::regex::ECMAScript;
#ifdef __GLIBCXX__
        // The automaton executor: its depth does not grow with the length of
        // the text (the backtracking one recurses once per character and can
        // run out of stack on a long construct text).
        flags |= std::regex_constants::__polynomial;
#endif
        if (!request.matchCase) flags |= std::regex::icase;
        std::string pattern = request.searchText;
        if (request.wholeWord) pattern = "\\b(?:" + pattern + ")\\b";
        try {
            expression_ = std::make_unique<Expression>(Expression{std::regex(pattern, flags)});
        } catch (const std::regex_error& e) {
            if (error) *error = e.what();
            return false;
        } catch (const std::exception& e) {
            if (error) *error = e.what();
            return false;
        }
        return true;
    }
    for (char c : request.searchText)
        if (!(request.ignoreWhiteSpace && isWhite(static_cast<unsigned char>(c)))) pattern_ += c;
    return !pattern_.empty();
}

bool SearchMatcher::matchAt(std::string_view text, int start, int* end) const {
    const int n = static_cast<int>(text.size());
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = reinterpret_cast<const unsigned char*>(pattern_.data());
    const int m = static_cast<int>(pattern_.size());
    const bool skipWhite = request_.ignoreWhiteSpace;
    if (skipWhite && isWhite(t[start])) return false;
    int k = start;
    for (int j = 0; j < m; ++k) {
        if (k >= n) return false;
        if (skipWhite && j > 0 && isWhite(t[k])) continue;
        if (request_.matchCase ? t[k] != p[j] : kFold.upper[t[k]] != kFold.upper[p[j]]) return false;
        ++j;
    }
    if (request_.wholeWord) {
        if (isWordChar(p[0]) && start > 0 && isWordChar(t[start - 1])) return false;
        if (isWordChar(p[m - 1]) && k < n && isWordChar(t[k])) return false;
    }
    *end = k;
    return true;
}

bool SearchMatcher::find(std::string_view text, int from, bool backward, TextMatch* match) const {
    const int n = static_cast<int>(text.size());
    if (from < 0) from = 0;
    if (from > n) from = n;
    if (expression_) {
        // The regular expression: forwards the first match from `from`,
        // backwards the last one that ends by `from`.
        try {
            std::cmatch m;
            const char* begin = text.data();
            const char* endText = begin + n;
            int position = backward ? 0 : from;
            bool found = false;
            while (position <= n) {
                auto flags = position > 0 ? std::regex_constants::match_prev_avail
                                          : std::regex_constants::match_default;
                if (!std::regex_search(begin + position, endText, m, expression_->regex, flags)) break;
                const int start = static_cast<int>(m[0].first - begin);
                const int length = static_cast<int>(m.length(0));
                if (length == 0) {
                    position = start + 1;
                    continue;
                }
                if (!backward) {
                    *match = {start, length};
                    return true;
                }
                if (start + length > from) break;
                *match = {start, length};
                found = true;
                position = start + length;
            }
            return found;
        } catch (const std::exception&) {
            return false;  // too complex for this text: no match
        }
    }
    if (pattern_.empty()) return false;
    int end = 0;
    if (!backward) {
        const auto* t = reinterpret_cast<const unsigned char*>(text.data());
        const unsigned char first = static_cast<unsigned char>(pattern_[0]);
        const unsigned char upper = kFold.upper[first];
        for (int i = from; i < n; ++i) {
            if (request_.matchCase ? t[i] != first : kFold.upper[t[i]] != upper) continue;
            if (matchAt(text, i, &end)) {
                *match = {i, end - i};
                return true;
            }
        }
        return false;
    }
    for (int i = from - 1; i >= 0; --i) {
        if (matchAt(text, i, &end) && end <= from) {
            *match = {i, end - i};
            return true;
        }
    }
    return false;
}

std::string SearchMatcher::replacement(std::string_view text, const TextMatch& match) const {
    if (!expression_) return request_.replaceText;
    try {
        std::cmatch m;
        const char* begin = text.data();
        const char* start = begin + match.start;
        auto flags =
            match.start > 0 ? std::regex_constants::match_prev_avail : std::regex_constants::match_default;
        if (std::regex_search(start, begin + text.size(), m, expression_->regex,
                              flags | std::regex_constants::match_continuous))
            return m.format(request_.replaceText);
    } catch (const std::exception&) {
    }
    return request_.replaceText;
}

// ---------------------------------------------------------------------------
// The walk

namespace {

// Whether the walk enters the body of `level`.
bool entersBody(const SearchScope& scope, const ConstructNode* level) {
    return level == scope.root || scope.lower;
}

// The head of `slot` of `node` for the walk; a Level body is read first
// when it is on disk (remembered in the cursor) and skipped when it
// cannot be read.
ConstructNode* headOf(const SearchScope& scope, SearchCursor& cursor, ConstructNode* node, Slot slot) {
    if (node->type == ConstructType::Level && slot == Slot::Body) {
        if (!entersBody(scope, node)) return nullptr;
        if (!(segmentFlags(node) & kSegLoaded)) {
            if (!ensureLoaded(node, scope.document)) return nullptr;
            cursor.loaded.push_back(node);
        }
        ConstructNode* head = childAt(node, slot);
        if (!head && !cursor.loaded.empty() && cursor.loaded.back() == node) {
            pageOut(scope.document, node);
            cursor.loaded.pop_back();
        }
        return head;
    }
    return childAt(node, slot);
}

// The walk leaves the body of `level`: a body it read goes again.
void leaveBody(const SearchScope& scope, SearchCursor& cursor, ConstructNode* level) {
    if (cursor.loaded.empty() || cursor.loaded.back() != level) return;
    cursor.loaded.pop_back();
    pageOut(scope.document, level);
}

std::span<const SlotWord> slotsOf(const ConstructNode* node) {
    const ConstructInfo* info = constructInfo(node->type);
    if (!info || isEdgeType(node->type)) return {};
    return childSlots(*info);
}

ConstructNode* firstChild(const SearchScope& scope, SearchCursor& cursor, ConstructNode* node, Slot after) {
    bool passed = after == Slot::None;
    for (const SlotWord& sw : slotsOf(node)) {
        if (!passed) {
            passed = sw.slot == after;
            continue;
        }
        if (ConstructNode* head = headOf(scope, cursor, node, sw.slot)) return head;
    }
    return nullptr;
}

ConstructNode* lastChild(const SearchScope& scope, SearchCursor& cursor, ConstructNode* node, Slot before) {
    const auto slots = slotsOf(node);
    bool passed = before == Slot::None;
    for (auto it = slots.rbegin(); it != slots.rend(); ++it) {
        if (!passed) {
            passed = it->slot == before;
            continue;
        }
        if (ConstructNode* head = headOf(scope, cursor, node, it->slot)) return lastOf(head);
    }
    return nullptr;
}

ConstructNode* lastDescendant(const SearchScope& scope, SearchCursor& cursor, ConstructNode* node) {
    while (ConstructNode* child = lastChild(scope, cursor, node, Slot::None)) node = child;
    return node;
}

// The top of the area: the walk never climbs above it.
bool atTop(const SearchScope& scope, const ConstructNode* node) {
    return node == scope.root || (!scope.root && node == (scope.first ? scope.first : node));
}

ConstructNode* stepForward(const SearchScope& scope, SearchCursor& cursor, ConstructNode* node) {
    if (ConstructNode* child = firstChild(scope, cursor, node, Slot::None)) return child;
    for (;;) {
        if (node == scope.root || (!scope.root && node == scope.last)) return nullptr;
        if (node->next) return node->next;
        Slot slot = Slot::None;
        ConstructNode* owner = ownerOf(node, &slot);
        if (!owner) return nullptr;
        if (owner->type == ConstructType::Level && slot == Slot::Body) leaveBody(scope, cursor, owner);
        if (ConstructNode* next = firstChild(scope, cursor, owner, slot)) return next;
        node = owner;
    }
}

ConstructNode* stepBackward(const SearchScope& scope, SearchCursor& cursor, ConstructNode* node) {
    if (atTop(scope, node)) return nullptr;
    // Areas from the selection end at their start construct.
    if (scope.root && scope.first && node == scope.first) return nullptr;
    const Slot slot = slotOf(node);
    if (slot == Slot::Next) return lastDescendant(scope, cursor, node->up);
    ConstructNode* owner = node->up;
    if (!owner) return nullptr;
    if (owner->type == ConstructType::Level && slot == Slot::Body) leaveBody(scope, cursor, owner);
    if (ConstructNode* previous = lastChild(scope, cursor, owner, slot))
        return lastDescendant(scope, cursor, previous);
    return owner;
}

constexpr int kForwardFields[3] = {kFieldLeftLabel, kFieldRightLabel, kFieldText};
constexpr int kBackwardFields[3] = {kFieldText, kFieldRightLabel, kFieldLeftLabel};

bool fieldSearched(const SearchScope& scope, const ConstructNode* node, int field) {
    switch (field) {
        case kFieldLeftLabel:
            return scope.leftLabels && leftLabel(node);
        case kFieldRightLabel:
            return scope.rightLabels && rightLabel(node);
        default:
            return hasEditableText(node);
    }
}

int fieldIndex(const SearchScope& scope, int field) {
    const int* order = scope.backward ? kBackwardFields : kForwardFields;
    for (int i = 0; i < 3; ++i)
        if (order[i] == field) return i;
    return 0;
}

}  // namespace

bool makeSearchScope(const SearchRequest& request, DiagramDocument* document, ConstructNode* shown,
                     const Selection& selection, bool backward, bool leftLabelsShown, bool rightLabelsShown,
                     SearchScope* scope) {
    *scope = {};
    if (!document || !document->root || !shown) return false;
    scope->document = document;
    scope->backward = backward;
    scope->leftLabels = request.searchLeftLabels && leftLabelsShown;
    scope->rightLabels = request.searchRightLabels && rightLabelsShown;
    scope->lower = request.includeLowerSegments;
    switch (request.area) {
        case kAreaSelection:
            if (selection.empty()) return false;
            scope->first = selection.first;
            scope->last = selection.last ? selection.last : selection.first;
            scope->lower = false;  // the search stays inside the selected constructs
            return true;
        case kAreaToSegmentEnd:
        case kAreaToDiagramEnd:
            if (selection.empty()) return false;
            scope->root = request.area == kAreaToSegmentEnd ? shown : document->root;
            scope->first = selection.first;
            return true;
        case kAreaSegment:
            scope->root = shown;
            return true;
        default:
            scope->root = document->root;
            return true;
    }
}

void startCursorAt(SearchCursor& cursor, ConstructNode* node, int field, int position) {
    cursor.node = node;
    cursor.field = field;
    cursor.position = position;
    cursor.started = node != nullptr;
    cursor.finished = false;
}

void finishSearch(const SearchScope& scope, SearchCursor& cursor) {
    while (!cursor.loaded.empty()) {
        pageOut(scope.document, cursor.loaded.back());
        cursor.loaded.pop_back();
    }
    cursor.finished = true;
}

bool findNext(const SearchScope& scope, const SearchMatcher& matcher, SearchCursor& cursor, SearchHit* hit) {
    if (cursor.finished) return false;
    const int* order = scope.backward ? kBackwardFields : kForwardFields;
    const int restart = scope.backward ? kTextLimit : 0;
    int index = 0;
    int position = restart;
    if (!cursor.started) {
        cursor.started = true;
        if (scope.backward) {
            ConstructNode* top = scope.root ? scope.root : scope.last;
            cursor.node = lastDescendant(scope, cursor, top);
        } else {
            cursor.node = scope.root && !scope.first ? scope.root : scope.first;
        }
    } else if (cursor.field != kFieldNone) {
        index = fieldIndex(scope, cursor.field);
        position = cursor.position;
    }
    while (cursor.node) {
        for (; index < 3; ++index, position = restart) {
            const int field = order[index];
            if (!fieldSearched(scope, cursor.node, field)) continue;
            TextMatch match;
            if (!matcher.find(fieldText(cursor.node, field), position, scope.backward, &match)) continue;
            cursor.field = field;
            cursor.position = scope.backward ? match.start : match.start + match.length;
            if (hit) *hit = {cursor.node, field, match};
            return true;
        }
        index = 0;
        cursor.field = kFieldNone;
        cursor.node = scope.backward ? stepBackward(scope, cursor, cursor.node)
                                     : stepForward(scope, cursor, cursor.node);
    }
    finishSearch(scope, cursor);
    return false;
}

ReplaceResult replaceHit(EditContext& context, unsigned command, const SearchScope& scope,
                         const SearchMatcher& matcher, SearchCursor& cursor, const SearchHit& hit) {
    (void)scope;
    const std::string_view old = fieldText(hit.node, hit.field);
    if (hit.match.start < 0 || hit.match.start + hit.match.length > static_cast<int>(old.size()))
        return ReplaceResult::Failed;
    const std::string with = matcher.replacement(old, hit.match);
    std::string text;
    text.reserve(old.size() + with.size());
    text.append(old.substr(0, static_cast<std::size_t>(hit.match.start)));
    text.append(with);
    text.append(old.substr(static_cast<std::size_t>(hit.match.start + hit.match.length)));
    if (text.size() >= static_cast<std::size_t>(kTextLimit)) return ReplaceResult::TooLong;
    // The window shows the match when it is replaced: the record keeps that
    // segment (Undo goes back there) and the match as the selection.
    if (context.view) {
        if (ConstructNode* level = enclosingLevel(hit.node)) context.view->segment = level;
        context.view->state.selection = {hit.node, hit.node};
        context.view->state.field = hit.field;
        context.view->state.caret = hit.match.start;
        context.view->state.caretEnd = hit.match.start + hit.match.length;
    }
    if (!runFieldChange(context, command, hit.node, hit.field, text)) return ReplaceResult::Failed;
    if (context.view) {
        context.view->state.caret = hit.match.start;
        context.view->state.caretEnd = hit.match.start + static_cast<int>(with.size());
    }
    if (cursor.node == hit.node && cursor.field == hit.field)
        cursor.position = scope.backward ? hit.match.start : hit.match.start + static_cast<int>(with.size());
    return ReplaceResult::Replaced;
}

bool replaceReported(EditContext& context, unsigned command, const SearchScope& scope,
                     const SearchMatcher& matcher, SearchCursor& cursor, const SearchHit& hit) {
    const ReplaceResult result = replaceHit(context, command, scope, matcher, cursor, hit);
    if (result == ReplaceResult::TooLong) showMessage(IDS_REPLACED_TEXT_TOO_LONG, kBoxDefault);
    return result == ReplaceResult::Replaced;
}

long replaceAll(EditContext& context, unsigned command, const SearchScope& scope,
                const SearchMatcher& matcher, SearchCursor& cursor, SearchHit* lastHit) {
    long count = 0;
    SearchHit hit;
    while (findNext(scope, matcher, cursor, &hit)) {
        if (!replaceReported(context, command, scope, matcher, cursor, hit)) continue;
        ++count;
        if (lastHit) *lastHit = hit;
    }
    return count;
}

// ---------------------------------------------------------------------------
// The recent-search list

void rememberSearch(RecentSearchList& list, const SearchRequest& request) {
    auto& e = list.entries;
    for (auto it = e.begin(); it != e.end(); ++it) {
        if (it->searchText == request.searchText) {
            e.erase(it);
            break;
        }
    }
    e.insert(e.begin(), request);
    const std::size_t keep = list.length > 0 ? static_cast<std::size_t>(list.length) : 0;
    if (e.size() > keep) e.resize(keep);
}

std::string encodeSearchText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) out += c == '\r' ? '\x03' : c == '\n' ? '\x04' : c;
    out += '"';
    return out;
}

std::string decodeSearchText(std::string_view value) {
    std::string out(value.substr(0, kSearchTextMax));
    for (char& c : out) c = c == '\x03' ? '\r' : c == '\x04' ? '\n' : c;
    return out;
}

std::string formatSearchOptions(const SearchRequest& r) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d,%d,%d,%d,%d,%d", r.area, r.matchCase, r.replace,
                  r.includeLowerSegments, r.searchLeftLabels, r.searchRightLabels, r.wholeWord,
                  r.enhancedExpression, r.ignoreWhiteSpace);
    return buffer;
}

bool parseSearchOptions(std::string_view value, SearchRequest* request) {
    int numbers[9];
    int count = 0;
    std::size_t i = 0;
    while (count < 9) {
        while (i < value.size() && value[i] == ' ') ++i;
        if (i >= value.size() || value[i] < '0' || value[i] > '9') return false;
        numbers[count++] = value[i++] - '0';
        while (i < value.size() && value[i] == ' ') ++i;
        if (count < 9) {
            if (i >= value.size() || value[i] != ',') return false;
            ++i;
        }
    }
    if (i != value.size()) return false;
    if (numbers[0] < kAreaSegment || numbers[0] > kAreaToDiagramEnd) return false;
    for (int k = 1; k < 9; ++k)
        if (numbers[k] > 1) return false;
    request->area = numbers[0];
    request->matchCase = numbers[1];
    request->replace = numbers[2];
    request->includeLowerSegments = numbers[3];
    request->searchLeftLabels = numbers[4];
    request->searchRightLabels = numbers[5];
    request->wholeWord = numbers[6];
    request->enhancedExpression = numbers[7];
    request->ignoreWhiteSpace = numbers[8];
    return true;
}

namespace {

bool keyName(unsigned keyId, unsigned index, char* out, std::size_t size) {
    char base[kProfileNameSize];
    if (platform::loadString(keyId, base, sizeof base) <= 0) return false;
    std::snprintf(out, size, "%s%u", base, index);
    return true;
}

}  // namespace

void loadRecentSearches(RecentSearchList& list, const char* file) {
    list.entries.clear();
    list.length =
        readProfileInt(IDS_SEC_RECENTSEARCHLIST, IDS_KEY_SEARCHLISTLENGTH, kSearchListDefaultLength, file);
    if (list.length < 0) list.length = 0;
    if (list.length > 99) list.length = 99;
    char value[kSearchTextMax + 3];
    for (unsigned i = 1; i <= static_cast<unsigned>(list.length); ++i) {
        char key[kProfileNameSize + 12];
        if (!keyName(IDS_KEY_SEARCHSTRING, i, key, sizeof key)) break;
        const int n = readProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, "", value, sizeof value, file);
        if (n <= 0) break;
        SearchRequest request;
        request.searchText = decodeSearchText(std::string_view(value, static_cast<std::size_t>(n)));
        if (keyName(IDS_KEY_REPLACESTRING, i, key, sizeof key)) {
            const int r = readProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, "", value, sizeof value, file);
            request.replaceText =
                decodeSearchText(std::string_view(value, static_cast<std::size_t>(r > 0 ? r : 0)));
        }
        if (keyName(IDS_KEY_SEARCHOPTIONS, i, key, sizeof key)) {
            const int o = readProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, "", value, sizeof value, file);
            parseSearchOptions(std::string_view(value, static_cast<std::size_t>(o > 0 ? o : 0)), &request);
        }
        list.entries.push_back(std::move(request));
    }
}

int saveRecentSearches(const RecentSearchList& list, const char* file) {
    int ok = 1;
    char number[16];
    std::snprintf(number, sizeof number, "%d", list.length);
    ok &= writeProfileText(IDS_SEC_RECENTSEARCHLIST, IDS_KEY_SEARCHLISTLENGTH, number, file) != 0;
    unsigned i = 1;
    for (const SearchRequest& r : list.entries) {
        if (i > static_cast<unsigned>(list.length)) break;
        char key[kProfileNameSize + 12];
        if (keyName(IDS_KEY_SEARCHSTRING, i, key, sizeof key))
            ok &= writeProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key,
                                         encodeSearchText(r.searchText).c_str(), file) != 0;
        if (keyName(IDS_KEY_REPLACESTRING, i, key, sizeof key))
            ok &= writeProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key,
                                         encodeSearchText(r.replaceText).c_str(), file) != 0;
        if (keyName(IDS_KEY_SEARCHOPTIONS, i, key, sizeof key))
            ok &= writeProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, formatSearchOptions(r).c_str(),
                                         file) != 0;
        ++i;
    }
    // Older entries beyond the list go.
    for (; i <= static_cast<unsigned>(list.length) + 1 && i <= 99; ++i) {
        char key[kProfileNameSize + 12];
        if (!keyName(IDS_KEY_SEARCHSTRING, i, key, sizeof key)) break;
        char probe[4];
        if (readProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, "", probe, sizeof probe, file) <= 0) break;
        writeProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, nullptr, file);
        if (keyName(IDS_KEY_REPLACESTRING, i, key, sizeof key))
            writeProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, nullptr, file);
        if (keyName(IDS_KEY_SEARCHOPTIONS, i, key, sizeof key))
            writeProfileTextByName(IDS_SEC_RECENTSEARCHLIST, key, nullptr, file);
    }
    return ok;
}
