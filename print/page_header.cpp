#include "print/page_header.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

struct Variable {
    const char* shortName;
    const char* longName;
    const char* HeaderFields::*field;
};

constexpr Variable kVariables[] = {
    {"AP", "APPLICATION", &HeaderFields::application}, {"VN", "VERSION", &HeaderFields::version},
    {"FN", "FILENAME", &HeaderFields::fileName},       {"PN", "PATHNAME", &HeaderFields::pathName},
    {"SD", "SAVEDATE", &HeaderFields::saveDate},       {"ST", "SAVETIME", &HeaderFields::saveTime},
    {"PD", "PRINTDATE", &HeaderFields::printDate},     {"PT", "PRINTTIME", &HeaderFields::printTime},
};

constexpr std::string_view kSplit = "%->%";

void append(char* out, int size, int& at, std::string_view text) {
    for (char c : text) {
        if (at + 1 >= size) break;
        out[at++] = c;
    }
    out[at] = 0;
}

void expandPart(std::string_view pattern, const HeaderFields& fields, unsigned page, char* out, int size) {
    if (!out || size <= 0) return;
    int at = 0;
    out[0] = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t close = pattern[i] == '%' ? pattern.find('%', i + 1) : std::string_view::npos;
        if (close == std::string_view::npos) {
            append(out, size, at, pattern.substr(i, 1));
            ++i;
            continue;
        }
        const std::string_view name = pattern.substr(i + 1, close - i - 1);
        const char* value = nullptr;
        char number[16];
        if (name == "##") {
            std::snprintf(number, sizeof number, "%u", page);
            value = number;
        }
        for (const Variable& v : kVariables)
            if (name == v.shortName || name == v.longName) value = fields.*v.field ? fields.*v.field : "";
        if (!value) {
            // Not a variable: the percent sign stays, the text after it is read on.
            append(out, size, at, "%");
            ++i;
            continue;
        }
        append(out, size, at, value);
        i = close + 1;
    }
}

std::string_view trimmed(std::string_view text, bool front, bool back) {
    while (front && !text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (back && !text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

void expandHeader(const char* pattern, const HeaderFields& fields, unsigned page, char* out, int size) {
    expandPart(pattern ? pattern : "", fields, page, out, size);
}

HeaderLine pageHeaderLine(const char* pattern, const HeaderFields& fields, unsigned page) {
    HeaderLine line{};
    const std::string_view all = pattern ? pattern : "";
    const std::size_t split = all.find(kSplit);
    if (split == std::string_view::npos) {
        expandPart(all, fields, page, line.left, sizeof line.left);
        return line;
    }
    expandPart(trimmed(all.substr(0, split), false, true), fields, page, line.left, sizeof line.left);
    expandPart(trimmed(all.substr(split + kSplit.size()), true, false), fields, page, line.right,
               sizeof line.right);
    return line;
}
