// The %VARIABLE%s of a program's command line and paths, and the prompts
// (%PROMPT1:text%, %PROMPTFILE:text%) asked before a run.
//
// Expansion is one pass over the template: each placeholder found (in any
// letter case) is replaced by its value, and what was inserted is never
// looked at again, so a selected text holding "%FILE%" stays as it is.
// Letters of the placeholder all lower case insert the value in lower
// case, all upper case in upper case, mixed case unchanged. Unknown
// placeholders stay. A result that does not fit its field is refused, not
// cut.
//
// Portable and pure: the values come in, the text goes out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr int kPromptSlots = 10;  // slot 0 (no digit) and 1-9

// The answers of one run: slot 0 for prompts without a digit, 1-9 for
// %PROMPTn%; kept for %PROMPTVALn%.
struct PromptAnswers {
    std::string slots[kPromptSlots];
    bool asked[kPromptSlots] = {};
};

// The answers of one field's prompt tokens, in the order they stand.
struct FieldPrompts {
    std::vector<std::string> answers;
};

struct PlaceholderValues {
    std::string selText;  // the selected text of the active diagram window
    // The cross-reference project: empty while the browser is not active.
    std::string project, projectFile, projectPath;
    std::string file;     // the active diagram's file (full path)
    std::string expFile;  // its export target
    std::string genFile;  // its generate target, or its default generated file
    // Directories: open (also %SAVEPATH%), insert file, export, generate.
    std::string openPath, filePath, expPath, sourcePath;
    const PromptAnswers* prompts = nullptr;  // %PROMPTVAL%, %PROMPTVAL1%...
    // The short (8.3) form of a path, used for the file placeholders when
    // short names are asked for; null or false keeps the long form.
    bool (*shortName)(const std::string& path, std::string& out) = nullptr;
};

enum class ExpandResult { ok, tooLong };

// Expands `text` into `out` (at most capacity-1 characters). `prompts`
// gives the answers of the field's prompt tokens in order (null: prompt
// tokens stay). `shortNames`: file and directory placeholders in their
// short form.
ExpandResult expandPlaceholders(std::string_view text, const PlaceholderValues& values,
                                const FieldPrompts* prompts, bool shortNames, std::size_t capacity,
                                std::string& out);

// A prompt token: "%PROMPT" or "%PROMPTFILE", an optional slot digit 1-9,
// ":", the text shown and the closing "%".
struct PromptRequest {
    bool file;  // asks for a file name (with a browse button)
    int slot;   // 0-9
    std::string text;
};

// Asks the user; false when cancelled.
using PromptAsker = bool (*)(void* context, const PromptRequest& request, std::string& answer);

enum class PromptResult { ok, cancelled, invalid };

// The prompt pass over one field: asks for every prompt token in order
// (a token with a slot digit whose slot was answered in this run takes
// that answer without asking again), stores each answer in its slot and
// in `out`. A token with anything but a digit 1-9 or ":" after its
// keyword, or without its closing "%", is invalid: `badToken` gets it.
PromptResult askPrompts(std::string_view field, PromptAsker ask, void* context, PromptAnswers& run,
                        FieldPrompts& out, std::string& badToken);

// The parts of a path as the file placeholders give them: drive with its
// colon ("" without one), directory without the drive and with its
// trailing separator, base name, extension with its dot.
struct PathParts {
    std::string drive, dir, name, ext;
};
PathParts splitPathParts(const std::string& path);
