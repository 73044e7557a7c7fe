// The placeholders of a program's fields: the first line of the input is
// the template, the next ones the answers to its prompts and the values.
// A text without "%" comes back as it is, a result that is accepted fits
// its capacity, and a value is inserted as it is, never expanded again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/placeholders.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

struct Replies {
    std::vector<std::string> lines;
    std::size_t next = 0;
};

bool reply(void* context, const PromptRequest&, std::string& answer) {
    auto* replies = static_cast<Replies*>(context);
    if (replies->next >= replies->lines.size()) return false;
    answer = replies->lines[replies->next++];
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at <= input.size();) {
        const std::size_t end = input.find('\n', at);
        lines.push_back(input.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    const std::string text = lines[0];
    Replies replies{std::vector<std::string>(lines.begin() + 1, lines.end())};
    PromptAnswers run;
    FieldPrompts prompts;
    std::string bad;
    const PromptResult asked = askPrompts(text, reply, &replies, run, prompts, bad);
    check(asked != PromptResult::invalid || (!bad.empty() && bad[0] == '%'));

    PlaceholderValues values;
    const std::string value = lines.size() > 1 ? lines[1] : std::string();
    values.file = values.genFile = values.expFile = values.openPath = value;
    values.selText = value;
    values.prompts = &run;
    const std::size_t capacity = 1 + size % 512;
    std::string out;
    const ExpandResult result = expandPlaceholders(text, values, &prompts, size & 1, capacity, out);
    check(result != ExpandResult::ok || out.size() < capacity);
    if (text.find('%') == std::string::npos) check(out == text);

    std::string inserted;
    expandPlaceholders("<%SelText%>", values, nullptr, false, 1 << 20, inserted);
    check(inserted == "<" + value + ">");
    return 0;
}
