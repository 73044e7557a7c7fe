#include "tools/result_text.h"

#include "core/buffered_file.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

long numberFrom(std::string_view line, std::size_t at) {
    long value = 0;
    bool any = false;
    for (; at < line.size() && at < static_cast<std::size_t>(kResultLineLimit) && isDigit(line[at]); ++at) {
        if (value > 99999999) return 0;  // no line number is that long
        value = value * 10 + (line[at] - '0');
        any = true;
    }
    return any ? value : 0;
}

}  // namespace

ResultText loadResultText(const char* path, bool ansi) {
    ResultText result;
    if (!path || !path[0]) return result;
    platform::OpenInfo info{};
    BufferedFile* file = bfile::openFile(path, &info, platform::kOpenRead | platform::kShareDenyNone,
                                         ansi ? 0 : static_cast<std::uint16_t>(kOptOem));
    if (!file) return result;
    std::string bytes(kResultReadLimit, '\0');
    const std::int32_t n = bfile::read(file, bytes.data(), kResultReadLimit);
    bfile::close(file);
    if (n < 0) return result;
    result.readable = true;
    bytes.resize(static_cast<std::size_t>(n));
    if (n > kResultKeep) {
        result.truncated = true;
        bytes.resize(kResultKeep);
    }
    result.text = normaliseLineEnds(bytes);
    return result;
}

std::string normaliseLineEnds(std::string_view text, std::size_t limit) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\r') continue;
        const std::size_t adds = c == '\n' ? 2 : 1;
        if (out.size() + adds > limit) break;
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

long lineNumberAt(std::string_view line, int caret, int selStart, int selEnd) {
    if (line.size() > static_cast<std::size_t>(kResultLineLimit)) line = line.substr(0, kResultLineLimit);
    const auto size = static_cast<int>(line.size());
    if (selEnd > selStart && selStart >= 0 && selEnd <= size) {
        std::size_t at = static_cast<std::size_t>(selStart);
        while (at < static_cast<std::size_t>(selEnd) && line[at] == ' ') ++at;
        return numberFrom(line.substr(0, static_cast<std::size_t>(selEnd)), at);
    }
    if (caret < 0 || caret > size) return 0;
    auto at = static_cast<std::size_t>(caret);
    while (at > 0 && isDigit(line[at - 1])) --at;
    return numberFrom(line, at);
}
