// Reading the recent-search list from an arbitrary settings file: every
// entry has a search text, a text of at most 4095 characters and options
// within their ranges; what a save writes loads back the same; and the
// options reader alone takes or leaves any value whole.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "edit/search.h"
#include "fuzz/fuzz_files.h"

using fuzz_files::check;
using fuzz_files::tempPath;
using fuzz_files::writeData;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SearchRequest options;
    const SearchRequest before = options;
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    if (parseSearchOptions(value, &options))
        check(formatSearchOptions(options) == value || value.find(' ') != std::string_view::npos);
    else
        check(options == before);

    writeData(tempPath(0), data, size);
    RecentSearchList list;
    loadRecentSearches(list, tempPath(0));
    check(list.length >= 0 && static_cast<int>(list.entries.size()) <= list.length);
    for (const SearchRequest& r : list.entries) {
        check(!r.searchText.empty());
        check(r.searchText.size() <= kSearchTextMax && r.replaceText.size() <= kSearchTextMax);
        check(r.area >= kAreaSegment && r.area <= kAreaToDiagramEnd);
        check(decodeSearchText(encodeSearchText(r.searchText).substr(1, r.searchText.size())) ==
              r.searchText);
    }
    writeData(tempPath(1), nullptr, 0);
    check(saveRecentSearches(list, tempPath(1)));
    RecentSearchList again;
    loadRecentSearches(again, tempPath(1));
    check(again.length == list.length);
    check(again.entries == list.entries);
    return 0;
}
