#include "tools/placeholders.h"

#include <cstring>

#include "config/profile.h"
#include "core/path.h"
#include "platform/platform.h"

namespace {

enum class Source {
    file,
    expFile,
    genFile,
    openPath,
    filePath,
    expPath,
    sourcePath,
    selText,
    project,
    projectFile,
    projectPath,
    prompt
};
enum class Part { whole, drive, dir, name, ext };

struct Placeholder {
    const char* name;  // upper case
    Source source;
    Part part;
    int slot;  // for %PROMPTVALn%
};

constexpr Placeholder kPlaceholders[] = {
    {"FILE", Source::file, Part::whole, 0},
    {"DRIVE", Source::file, Part::drive, 0},
    {"DIR", Source::file, Part::dir, 0},
    {"NAME", Source::file, Part::name, 0},
    {"EXT", Source::file, Part::ext, 0},
    {"EXPFILE", Source::expFile, Part::whole, 0},
    {"EXPDRIVE", Source::expFile, Part::drive, 0},
    {"EXPDIR", Source::expFile, Part::dir, 0},
    {"EXPNAME", Source::expFile, Part::name, 0},
    {"EXPEXT", Source::expFile, Part::ext, 0},
    {"GENFILE", Source::genFile, Part::whole, 0},
    {"GENDRIVE", Source::genFile, Part::drive, 0},
    {"GENDIR", Source::genFile, Part::dir, 0},
    {"GENNAME", Source::genFile, Part::name, 0},
    {"GENEXT", Source::genFile, Part::ext, 0},
    {"OPENPATH", Source::openPath, Part::whole, 0},
    {"SAVEPATH", Source::openPath, Part::whole, 0},
    {"FILEPATH", Source::filePath, Part::whole, 0},
    {"EXPPATH", Source::expPath, Part::whole, 0},
    {"SOURCEPATH", Source::sourcePath, Part::whole, 0},
    {"SELTEXT", Source::selText, Part::whole, 0},
    {"PROJECT", Source::project, Part::whole, 0},
    {"PROJECTFILE", Source::projectFile, Part::whole, 0},
    {"PROJECTPATH", Source::projectPath, Part::whole, 0},
    {"PROMPTVAL", Source::prompt, Part::whole, 0},
    {"PROMPTVAL1", Source::prompt, Part::whole, 1},
    {"PROMPTVAL2", Source::prompt, Part::whole, 2},
    {"PROMPTVAL3", Source::prompt, Part::whole, 3},
    {"PROMPTVAL4", Source::prompt, Part::whole, 4},
    {"PROMPTVAL5", Source::prompt, Part::whole, 5},
    {"PROMPTVAL6", Source::prompt, Part::whole, 6},
    {"PROMPTVAL7", Source::prompt, Part::whole, 7},
    {"PROMPTVAL8", Source::prompt, Part::whole, 8},
    {"PROMPTVAL9", Source::prompt, Part::whole, 9},
};
constexpr std::size_t kLongestName = 11;

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool startsWithNoCase(std::string_view text, std::size_t at, const char* word) {
    const std::size_t n = std::strlen(word);
    if (text.size() - at < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (upper(text[at + i]) != word[i]) return false;
    return true;
}

// A directory with a trailing separator: the one the path already uses.
std::string withSeparator(std::string dir) {
    if (dir.empty() || isPathSeparator(dir.back())) return dir;
    const std::size_t other = dir.find_first_of("\\/");
    dir += other != std::string::npos ? dir[other] : platform::kPathSeparator;
    return dir;
}

std::string valueOf(const Placeholder& p, const PlaceholderValues& v, bool shortNames) {
    const std::string* path = nullptr;
    switch (p.source) {
        case Source::selText:
            return v.selText;
        case Source::project:
            return v.project;
        case Source::prompt:
            return v.prompts ? v.prompts->slots[p.slot] : std::string();
        case Source::file:
            path = &v.file;
            break;
        case Source::expFile:
            path = &v.expFile;
            break;
        case Source::genFile:
            path = &v.genFile;
            break;
        case Source::openPath:
            path = &v.openPath;
            break;
        case Source::filePath:
            path = &v.filePath;
            break;
        case Source::expPath:
            path = &v.expPath;
            break;
        case Source::sourcePath:
            path = &v.sourcePath;
            break;
        case Source::projectFile:
            path = &v.projectFile;
            break;
        case Source::projectPath:
            path = &v.projectPath;
            break;
    }
    std::string full = *path;
    std::string shortForm;
    if (shortNames && v.shortName && !full.empty() && v.shortName(full, shortForm)) full = shortForm;
    const bool directory = p.source == Source::openPath || p.source == Source::filePath ||
                           p.source == Source::expPath || p.source == Source::sourcePath;
    if (directory) return withSeparator(full);
    if (p.part == Part::whole) return full;
    const PathParts parts = splitPathParts(full);
    switch (p.part) {
        case Part::drive:
            return parts.drive;
        case Part::dir:
            return parts.dir;
        case Part::name:
            return parts.name;
        default:
            return parts.ext;
    }
}

// The case rule: by the letters between the two % signs.
void applyCase(std::string_view written, std::string& value) {
    bool lower = false, upperSeen = false;
    for (char c : written) {
        if (c >= 'a' && c <= 'z') lower = true;
        if (c >= 'A' && c <= 'Z') upperSeen = true;
    }
    if (lower && !upperSeen) lowerCase(value.data());
    if (upperSeen && !lower) upperCase(value.data());
}

// A prompt token at `at` ('%'): its length, or 0 when `at` starts none
// (%PROMPTVAL... is a value). `valid` says whether it is well formed.
std::size_t promptToken(std::string_view text, std::size_t at, bool& valid, PromptRequest& request) {
    valid = false;
    if (!startsWithNoCase(text, at + 1, "PROMPT") || startsWithNoCase(text, at + 1, "PROMPTVAL")) return 0;
    std::size_t i = at + 7;
    request = PromptRequest{};
    if (startsWithNoCase(text, i, "FILE")) {
        request.file = true;
        i += 4;
    }
    if (i < text.size() && text[i] >= '1' && text[i] <= '9') request.slot = text[i++] - '0';
    const std::size_t close = text.find('%', i);
    if (i >= text.size() || text[i] != ':' || close == std::string_view::npos)
        return close == std::string_view::npos ? text.size() - at : close - at + 1;
    request.text = std::string(text.substr(i + 1, close - i - 1));
    valid = true;
    return close - at + 1;
}

}  // namespace

PathParts splitPathParts(const std::string& path) {
    PathParts parts;
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        start = 2;
    }
    const char* base = fileNameOf(path.c_str());
    const std::size_t nameAt = static_cast<std::size_t>(base - path.c_str());
    if (nameAt > start) parts.dir = path.substr(start, nameAt - start);
    const char* ext = extensionOf(base);
    parts.name.assign(base, ext);
    parts.ext = ext;
    return parts;
}

ExpandResult expandPlaceholders(std::string_view text, const PlaceholderValues& values,
                                const FieldPrompts* prompts, bool shortNames, std::size_t capacity,
                                std::string& out) {
    out.clear();
    std::size_t nextAnswer = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t percent = text.find('%', i);
        out.append(text.substr(i, percent == std::string_view::npos ? std::string_view::npos : percent - i));
        if (percent == std::string_view::npos) break;
        i = percent;
        bool valid = false;
        PromptRequest request;
        if (const std::size_t length = promptToken(text, i, valid, request)) {
            if (valid && prompts && nextAnswer < prompts->answers.size()) {
                out += prompts->answers[nextAnswer++];
                i += length;
                continue;
            }
        } else {
            std::size_t close = i + 1;
            while (close < text.size() && close - i - 1 <= kLongestName && isAlnum(text[close])) ++close;
            if (close < text.size() && text[close] == '%' && close > i + 1) {
                const std::string_view written = text.substr(i + 1, close - i - 1);
                const Placeholder* found = nullptr;
                for (const Placeholder& p : kPlaceholders)
                    if (written.size() == std::strlen(p.name) && startsWithNoCase(written, 0, p.name))
                        found = &p;
                if (found) {
                    std::string value = valueOf(*found, values, shortNames);
                    applyCase(written, value);
                    out += value;
                    i = close + 1;
                    continue;
                }
            }
        }
        out += '%';
        ++i;
    }
    return capacity && out.size() < capacity ? ExpandResult::ok : ExpandResult::tooLong;
}

PromptResult askPrompts(std::string_view field, PromptAsker ask, void* context, PromptAnswers& run,
                        FieldPrompts& out, std::string& badToken) {
    for (std::size_t i = field.find('%'); i != std::string_view::npos; i = field.find('%', i)) {
        bool valid = false;
        PromptRequest request;
        const std::size_t length = promptToken(field, i, valid, request);
        if (!length) {
            ++i;
            continue;
        }
        if (!valid) {
            badToken = std::string(field.substr(i, length));
            return PromptResult::invalid;
        }
        std::string answer;
        if (request.slot > 0 && run.asked[request.slot]) {
            answer = run.slots[request.slot];
        } else {
            if (!ask || !ask(context, request, answer)) return PromptResult::cancelled;
            run.slots[request.slot] = answer;
            run.asked[request.slot] = true;
        }
        out.answers.push_back(std::move(answer));
        i += length;
    }
    return PromptResult::ok;
}
