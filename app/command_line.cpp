#include "app/command_line.h"

#include "view/structure_list.h"

#include <cstdint>
#include <cstring>

#include "resources/commands.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

bool isOption(const char* argument) {
    return argument && (argument[0] == '-' || argument[0] == '/');
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCaseView(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string_view unquote(std::string_view text) {
    if (text.size() >= 2 && isQuote(text.front()) && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

void copyView(char* out, std::size_t size, std::string_view text) {
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n) std::memcpy(out, text.data(), n);
    out[n] = 0;
}

// Decimal digits after optional blanks; anything else ends the number. A
// value that does not fit saturates.
std::uint64_t parseUnsigned(std::string_view text, std::uint64_t limit) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (limit - digit) / 10) return limit;
        value = value * 10 + digit;
    }
    return value;
}

bool hasValue(std::string_view value) {
    return value.data() != nullptr;
}

struct ActionOption {
    const char* longName;
    const char* shortName;
    OptionValue rule;
    StartAction action;
};

constexpr ActionOption kActionOptions[] = {
    {"print", "p", OptionValue::optional, StartAction::print},
    {"printstructure", "ps", OptionValue::optional, StartAction::printStructure},
    {"line", "l", OptionValue::required, StartAction::line},
    {"generate", "g", OptionValue::optional, StartAction::generate},
    {"generateall", "ga", OptionValue::none, StartAction::generateAll},
    {"convertall", "ca", OptionValue::optional, StartAction::convertAll},
    {"save", "s", OptionValue::optional, StartAction::save},
    {"export", "e", OptionValue::optional, StartAction::exportFile},
    {"openfiledlg", "o", OptionValue::optional, StartAction::openDialog},
    {"svg", "svg", OptionValue::optional, StartAction::picture},
};

bool matchEither(const char* argument, const char* longName, const char* shortName, OptionValue rule,
                 std::string_view* value) {
    return matchOption(argument, longName, rule, value) || matchOption(argument, shortName, rule, value);
}

// view / v (type 0) and view0..view9 / v0..v9; the value is required.
bool matchView(const char* argument, int* type, std::string_view* value) {
    if (matchEither(argument, "view", "v", OptionValue::required, value)) {
        *type = 0;
        return true;
    }
    char longName[] = "view0";
    char shortName[] = "v0";
    for (int digit = 0; digit <= 9; ++digit) {
        longName[4] = static_cast<char>('0' + digit);
        shortName[1] = static_cast<char>('0' + digit);
        if (matchEither(argument, longName, shortName, OptionValue::required, value)) {
            *type = digit;
            return true;
        }
    }
    return false;
}

void applyAction(StartAction action, std::string_view value, StartupOptions& options,
                 bool printFileStandard) {
    options.action = action;
    switch (action) {
        case StartAction::print:
            options.print = true;
            options.printScope = printFileStandard ? kPrintScopeStandard : kPrintScopeAlternative;
            if (hasValue(value)) copyView(options.printerDevice, sizeof options.printerDevice, value);
            break;
        case StartAction::printStructure:
            options.print = true;
            if (!hasValue(value)) {
                options.printScope = kPrintScopeStructureList;
            } else {
                // The number of a structure-list type; a number that names
                // no type (the list has kStructureKinds) gives 0.
                std::uint64_t type = parseUnsigned(value, 100);
                bool digitsOnly = !trimBlanks(value).empty();
                for (char c : trimBlanks(value)) digitsOnly = digitsOnly && c >= '0' && c <= '9';
                options.printScope = digitsOnly && type < static_cast<std::uint64_t>(kStructureKinds)
                                         ? static_cast<std::uint32_t>(type)
                                         : 0;
            }
            break;
        case StartAction::line:
            options.line = static_cast<std::int32_t>(parseUnsigned(value, 0x7FFFFFFF));
            break;
        case StartAction::generate:
            options.generate = true;
            if (hasValue(value)) copyView(options.actionPath, sizeof options.actionPath, value);
            break;
        case StartAction::generateAll:
            options.generateAll = true;
            break;
        case StartAction::convertAll:
            options.convertAll = true;
            if (hasValue(value)) copyView(options.convertPath, sizeof options.convertPath, value);
            break;
        case StartAction::save:
            options.save = true;
            if (hasValue(value)) copyView(options.actionPath, sizeof options.actionPath, value);
            break;
        case StartAction::exportFile:
            options.exportFile = true;
            if (hasValue(value)) copyView(options.actionPath, sizeof options.actionPath, value);
            break;
        case StartAction::openDialog:
            options.openDialog = true;
            if (hasValue(value)) copyView(options.actionPath, sizeof options.actionPath, value);
            break;
        case StartAction::picture:
            options.picture = true;
            if (hasValue(value)) copyView(options.actionPath, sizeof options.actionPath, value);
            break;
        case StartAction::view:
        case StartAction::none:
            break;
    }
}

bool isEmbeddingArgument(const char* argument) {
    if (!argument) return false;
    if (argument[0] == '-' || argument[0] == '/') ++argument;
    return std::strcmp(argument, "Embedding") == 0;
}

}  // namespace

void splitArguments(std::string_view line, ArgumentList& out) {
    out.count = 0;
    out.storage.clear();
    out.storage.reserve(line.size() + kMaxArguments + 1);
    std::size_t offsets[kMaxArguments];
    std::size_t i = 0;
    while (i < line.size() && out.count < kMaxArguments) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::size_t start = i;
        char quote = 0;
        for (; i < line.size(); ++i) {
            char c = line[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (isQuote(c)) {
                quote = c;
            } else if (isBlank(c)) {
                break;
            }
        }
        std::string_view argument = unquote(line.substr(start, i - start));
        offsets[out.count++] = out.storage.size();
        out.storage.append(argument);
        out.storage.push_back('\0');
    }
    // The storage no longer grows: the pointers stay valid.
    for (int k = 0; k < out.count; ++k) out.items[k] = out.storage.data() + offsets[k];
    for (int k = out.count; k < kMaxArguments; ++k) out.items[k] = nullptr;
}

ResponseResult expandResponseFile(std::string_view line, std::string& out, char* fileName) {
    std::string_view text = line;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.empty() || text.front() != '@') {
        out.assign(line);
        return ResponseResult::none;
    }
    std::string_view name = unquote(trimBlanks(text.substr(1)));
    char path[platform::kMaxPath];
    if (name.empty() || name.size() >= sizeof path) return ResponseResult::unreadable;
    copyView(path, sizeof path, name);
    if (fileName) copyView(fileName, platform::kMaxPath, name);

    platform::OpenInfo info;
    platform::FileHandle file =
        platform::openFile(path, &info, platform::kOpenRead | platform::kShareDenyWrite);
    if (file == platform::kInvalidFile) return ResponseResult::unreadable;
    char buffer[kResponseFileLimit + 1];
    std::size_t length = 0;
    bool failed = false;
    while (length < kResponseFileLimit) {
        std::int32_t n = platform::readFile(file, buffer + length,
                                            static_cast<std::uint32_t>(kResponseFileLimit - length));
        if (n < 0) failed = true;
        if (n <= 0) break;
        length += static_cast<std::size_t>(n);
    }
    platform::closeFile(file);
    if (failed) return ResponseResult::unreadable;
    buffer[length] = 0;
    out.assign(buffer, std::strlen(buffer));  // a NUL in the file ends the text
    return ResponseResult::expanded;
}

bool isInitializeMode(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (isBlank(line[i]) || line[i] == '-' || line[i] == '/')) ++i;
    return equalNoCaseView(trimBlanks(line.substr(i)), "initialize");
}

bool matchOption(const char* argument, const char* name, OptionValue rule, std::string_view* value) {
    if (value) *value = std::string_view();
    if (!isOption(argument) || !name) return false;
    std::string_view body(argument + 1);
    std::string_view key(name);
    if (body.size() < key.size() || !equalNoCaseView(body.substr(0, key.size()), key)) return false;
    if (body.size() == key.size()) return rule != OptionValue::required;
    if (rule == OptionValue::none || body[key.size()] != '=') return false;
    if (value) {
        std::string_view text = unquote(body.substr(key.size() + 1));
        // A value is never without data, even when empty.
        *value = text.data() ? text : std::string_view(argument + std::strlen(argument), 0);
    }
    return true;
}

void clearStartupOptions(StartupOptions& options) {
    options.commandLine.clear();
    options.showMode = 0;
    options.embedding = false;
    options.action = StartAction::none;
    options.print = false;
    options.printScope = 0;
    options.printerDevice[0] = 0;
    options.line = 0;
    options.viewType = 0;
    options.viewText[0] = 0;
    options.generate = options.generateAll = options.convertAll = false;
    options.save = options.exportFile = options.openDialog = options.readOnly = options.picture = false;
    options.actionPath[0] = 0;
    options.convertPath[0] = 0;
    options.addIn = false;
    options.addInWindow = 0;
    options.iniFileGiven = false;
    options.iniFile[0] = 0;
    options.projectGiven = options.projectPathGiven = false;
    options.project[0] = 0;
    options.projectPath[0] = 0;
    options.fileToOpen[0] = 0;
    options.workingDirectory[0] = 0;
}

bool findIniFileOption(const ArgumentList& args, StartupOptions& options) {
    for (int i = 0; i < args.count; ++i) {
        std::string_view value;
        if (!matchEither(args.items[i], "inifile", "i", OptionValue::required, &value)) continue;
        char given[platform::kMaxPath];
        copyView(given, sizeof given, value);
        if (!given[0]) continue;
        if (!platform::fullPath(given, options.iniFile))
            copyView(options.iniFile, sizeof options.iniFile, value);
        options.iniFileGiven = true;
        return true;
    }
    return false;
}

void parseOptions(const ArgumentList& args, StartupOptions& options, bool printFileStandard) {
    // The main scan ends at the first action option.
    for (int i = 0; i < args.count; ++i) {
        const char* argument = args.items[i];
        std::string_view value;
        if (matchEither(argument, "addin", "ai", OptionValue::required, &value)) {
            options.addIn = true;
            options.addInWindow = parseUnsigned(value, UINT64_MAX);
            continue;
        }
        int viewType = 0;
        if (matchView(argument, &viewType, &value)) {
            options.action = StartAction::view;
            options.viewType = viewType;
            copyView(options.viewText, sizeof options.viewText, value);
            break;
        }
        bool matched = false;
        for (const ActionOption& option : kActionOptions) {
            if (matchEither(argument, option.longName, option.shortName, option.rule, &value)) {
                applyAction(option.action, value, options, printFileStandard);
                matched = true;
                break;
            }
        }
        if (matched) break;
    }

    // Separate scans: every occurrence applies.
    for (int i = 0; i < args.count; ++i) {
        const char* argument = args.items[i];
        std::string_view value;
        if (matchEither(argument, "projectpath", "prjp", OptionValue::required, &value)) {
            options.projectPathGiven = true;
            copyView(options.projectPath, sizeof options.projectPath, value);
        } else if (matchEither(argument, "project", "prj", OptionValue::required, &value)) {
            options.projectGiven = true;
            copyView(options.project, sizeof options.project, value);
        } else if (matchEither(argument, "readonly", "ro", OptionValue::none, &value)) {
            options.readOnly = true;
        }
    }

    // "Embedding": the first argument, or the second behind an option.
    if (args.count > 0) {
        int at = isOption(args.items[0]) && args.count > 1 ? 1 : 0;
        options.embedding = isEmbeddingArgument(args.items[at]);
    }

    for (int i = 0; i < args.count; ++i) {
        const char* argument = args.items[i];
        if (isOption(argument) || !argument[0]) continue;
        if (options.embedding && isEmbeddingArgument(argument)) continue;
        copyView(options.fileToOpen, sizeof options.fileToOpen, argument);
        break;
    }

    if (isBatchStart(options)) options.showMode = 0;
}

bool isBatchStart(const StartupOptions& options) {
    return options.print || options.generate || options.generateAll || options.convertAll || options.save ||
           options.exportFile || options.picture;
}

unsigned batchCommand(const StartupOptions& options) {
    return options.print                               ? unsigned{CMD_FILE_PRINT}
           : options.generate                          ? unsigned{CMD_FILE_GENERATE}
           : options.generateAll || options.convertAll ? unsigned{CMD_FILE_GENERATE_ALL}
           : options.save                              ? unsigned{CMD_FILE_SAVE}
           : options.exportFile                        ? unsigned{CMD_FILE_EXPORT}
           : options.picture                           ? unsigned{CMD_FILE_EXPORT_PICTURE}
                                                       : 0u;
}
