// The editor's command line: splitting into arguments, the response file,
// the "initialize" mode and the options with their exact-match rules.
//
// Portable: no window-system calls; files are read through platform/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

constexpr int kMaxArguments = 64;
constexpr std::size_t kResponseFileLimit = 4096;
constexpr std::size_t kOptionTextSize = platform::kMaxPath;

// The arguments, pointing into `storage` (quotes around a whole argument
// already removed).
struct ArgumentList {
    int count = 0;
    const char* items[kMaxArguments] = {};
    std::string storage;
};

// Splits `line` at blanks, tabs, CR and LF outside quotes (' or "); a quoted
// stretch runs to the next identical quote. An argument that starts and ends
// with the same quote loses both. Arguments beyond kMaxArguments are dropped.
void splitArguments(std::string_view line, ArgumentList& out);

enum class ResponseResult {
    none,        // the line does not name a response file: `out` = the line
    expanded,    // `out` = the file's first kResponseFileLimit bytes (up to a NUL)
    unreadable,  // the file cannot be opened or read
};
// "@file" (the name may be quoted): the file's text becomes the command line.
// `fileName` (kMaxPath) receives the name when there is one.
ResponseResult expandResponseFile(std::string_view line, std::string& out, char* fileName = nullptr);

// The command line asks only for the registration mode: after leading
// blanks, - and /, it reads "initialize" in any case.
bool isInitializeMode(std::string_view line);

// The one batch or start action the command line may name.
enum class StartAction : std::uint8_t {
    none,
    print,           // print / p
    printStructure,  // printstructure / ps
    line,            // line / l
    view,            // view / v, view0..view9 / v0..v9
    generate,        // generate / g
    generateAll,     // generateall / ga
    convertAll,      // convertall / ca
    save,            // save / s
    exportFile,      // export / e
    openDialog,      // openfiledlg / o
    picture,         // svg: a picture of the top segment
};

// Print scopes handed to the print command.
constexpr std::uint32_t kPrintScopeStructureList = 6;
constexpr std::uint32_t kPrintScopeStandard = 7;
constexpr std::uint32_t kPrintScopeAlternative = 8;

struct StartupOptions {
    std::string commandLine;  // after response-file expansion
    int showMode;             // forced to 0 (hidden) by a batch option
    bool embedding;
    StartAction action;  // the honoured action option

    bool print;  // print or printstructure
    std::uint32_t printScope;
    char printerDevice[kOptionTextSize];
    std::int32_t line;  // 0 = none
    int viewType;       // 0..9
    char viewText[kOptionTextSize];
    bool generate, generateAll, convertAll, save, exportFile, openDialog, readOnly;
    bool picture;                       // svg[=target]
    char actionPath[kOptionTextSize];   // generate=, save=, export=, openfiledlg=, svg=
    char convertPath[kOptionTextSize];  // convertall=

    bool addIn;
    std::uint64_t addInWindow;
    bool iniFileGiven;
    char iniFile[kOptionTextSize];  // absolute
    bool projectGiven, projectPathGiven;
    char project[kOptionTextSize];
    char projectPath[kOptionTextSize];
    char fileToOpen[kOptionTextSize];  // the first argument that is no option
    char workingDirectory[kOptionTextSize];
};

// Clears every field (the command line too).
void clearStartupOptions(StartupOptions& options);

// The option inifile= / i=: the first one wins; its value is made absolute.
// Returns true when found.
bool findIniFileOption(const ArgumentList& args, StartupOptions& options);

// The options: the scan from the first argument up to the first action
// option (addin counts only before it), the separate scans for project,
// projectpath and readonly, "Embedding" and the file to open. The inifile
// option is not touched (findIniFileOption). `printFileStandard` is the
// setting that picks the scope of print (7 when on, 8 when off).
void parseOptions(const ArgumentList& args, StartupOptions& options, bool printFileStandard);

// A batch option is given: the frame stays hidden and the action ends the
// process.
bool isBatchStart(const StartupOptions& options);
// The command of that action (0 without one): print, generate, generate
// all (also for convert all), save, export, export picture.
unsigned batchCommand(const StartupOptions& options);

// How an option's value is matched.
enum class OptionValue {
    none,      // the whole argument is the name (generateall, readonly)
    optional,  // the name alone, or the name, '=' and a value
    required,  // only the name, '=' and a value
};
// Whether `argument` (starting with - or /) is the option `name` under the
// rule; `value` receives the value with its quotes removed (a view without
// data when the option has none).
bool matchOption(const char* argument, const char* name, OptionValue rule, std::string_view* value);
