// The language configuration: which constructs may be inserted, the keyword
// and placeholder texts drawn in diagrams, the menu captions, and the
// generation file extension, loaded from the configuration file (".cfg").
// The generation templates and numeric options are not kept here: the
// generator reads them at the start of every generation.
#pragma once

#include <cstddef>

#include "core/construct_catalogue.h"
#include "platform/platform.h"
#include "resources/strings.h"

struct MenuCaptionTarget;

// The generation templates, numbered as the generator uses them. Their
// names (strings IDS_GEN_STATEMENT + number) are also the keys of the other
// sections of the configuration file.
// clang-format off
enum class GenTemplate : int {
    Statement = 0, EndStatement = 1, Condition = 2, EndCondition = 3,
    BeginAnd = 4, And = 5, EndAnd = 6, BeginOr = 7,
    Or = 8, EndOr = 9, BeginNot = 10, EndNot = 11,
    If = 12, ThenBody = 13, ElseBody = 14, EmptyElseBody = 15,
    EndIf = 16, Case = 17, FirstOf = 18, FurtherOf = 19,
    OfBody = 20, OtherwiseBody = 21, EmptyOtherwiseBody = 22, EndCase = 23,
    For = 24, ForBody = 25, EndFor = 26, While = 27,
    WhileBody = 28, EndWhile = 29, Repeat = 30, Until = 31,
    EndRepeat = 32, Loop = 33, EndLoop = 34, Exit = 35,
    EndExit = 36, Block = 37, BlockBody = 38, EndBlock = 39,
    Frame = 40, FrameBody = 41, EndFrameBody = 42, EndFrame = 43,
    Procedure = 44, ProcedureBody = 45, EndProcedure = 46, Call = 47,
    EndCall = 48, Segment = 49, SegmentBody = 50, EndSegment = 51,
    TopSegment = 52, TopSegmentBody = 53, EndTopSegment = 54, Switch = 55,
    FirstWhen = 56, FurtherWhen = 57, WhenBody = 58, WhenNoneBody = 59,
    EmptyWhenNoneBody = 60, EndSwitch = 61, Function = 62, FunctionBody = 63,
    EndFunction = 64, Then = 65, Else = 66, When = 67,
    WhenNone = 68, Of = 69, Otherwise = 70, ExitWhen = 71,
    Not = 72, SegmentHeader = 73, Expression = 74, Value = 75,
    ForStatement = 76, ProcedureHeader = 77, ProcedureCall = 78, FunctionHeader = 79,
    BlockComment = 80, FrameHeader = 81, FrameFooter = 82, SpecialStatement = 83,
    EndSpecialStatement = 84,
};
// clang-format on

constexpr int kTemplateCount = 85;
static_assert(IDS_GEN_ENDSPECIALSTATEMENT - IDS_GEN_STATEMENT == kTemplateCount - 1,
              "template names are numbered without gaps");

// String id of a template's name (the key in every section).
constexpr unsigned templateNameId(GenTemplate t) {
    return IDS_GEN_STATEMENT + static_cast<unsigned>(t);
}
constexpr unsigned templateNameId(int index) {
    return IDS_GEN_STATEMENT + static_cast<unsigned>(index);
}

constexpr int kKeywordSlots = 81;
constexpr int kPlaceholderSlots = 36;
constexpr int kConfigTextSize = 80;   // keyword and placeholder texts: 79 characters
constexpr int kGenFileExtSize = 258;  // "." and 255 characters

// Built-in texts: strings kKeywordBase + slot and kPlaceholderBase + slot;
// slots without an entry are empty.
constexpr unsigned kKeywordBase = 1500;
constexpr unsigned kPlaceholderBase = 1700;

struct LanguageConfig {
    char path[platform::kMaxPath];     // empty: no configuration file assigned
    bool available[kMaxTypeCode + 1];  // by construct type code 1..78
    char keywords[kKeywordSlots][kConfigTextSize];
    char placeholders[kPlaceholderSlots][kConfigTextSize];
    // "<text>" lower-cased; empty for an empty placeholder.
    char placeholderDisplay[kPlaceholderSlots][kConfigTextSize + 2];
    char genFileExt[kGenFileExtSize];  // ".EXT", upper case
};

// The configuration in force.
extern LanguageConfig g_languageConfig;

// An empty configuration: no file, every construct available, the built-in
// keyword and placeholder texts, no generation file extension.
void initLanguageConfig(LanguageConfig& config);

// What `loadLanguageConfig` changed (0 = nothing).
enum ConfigTextChange : int {
    kPlaceholdersChanged = 0x1,
    kKeywordsChanged = 0x2,
};

// Reads AvailableConstructs, the menu captions (when `menu` is given),
// MetaStrings and KeywordStrings from `path`, in that order. Without
// defaults, absent keys leave the current texts (start-up); with defaults
// they restore the built-in texts and captions. An empty path reads as a
// file without keys. Returns the ConfigTextChange bits.
int loadLanguageConfig(LanguageConfig& config, MenuCaptionTarget* menu, const char* path, bool withDefaults);

// Start-up: built-in texts, then `path` (kept made absolute) loaded
// without defaults, and the generation file extension read with the
// default ".src".
int startLanguageConfig(LanguageConfig& config, MenuCaptionTarget* menu, const char* path);

bool constructAvailable(const LanguageConfig& config, ConstructType type);

// Makes `ext` the generation file extension: upper case, with a leading
// period. An empty `ext` changes nothing and returns false.
bool setGenFileExt(LanguageConfig& config, const char* ext);
// The generation file extension `path` names (GenOptions GenFileExt,
// default ".src"), as setGenFileExt keeps it: upper case with a leading
// period. The one reading of it; everything else takes config.genFileExt.
void readGenFileExt(const char* path, char (&out)[kGenFileExtSize]);

// What the command "Configuration file..." did (0 = cancelled).
enum SetConfigResult : int {
    kConfigChosen = 0x1,           // a new file is in force: mark open diagrams changed, refresh windows
    kConfigTextsChanged = 0x2,     // keyword or placeholder texts changed: repaint the frame
    kConfigKeywordsChanged = 0x4,  // keyword texts changed: drop cached text measurements
    kConfigExtChanged = 0x8,       // genFileExt is new: rename the proposed generation file
};

// The command "Configuration file...": lets the user choose a ".cfg" file
// through the host's file dialog and loads it with defaults. Returns the
// SetConfigResult bits.
int setConfigurationFile(LanguageConfig& config, MenuCaptionTarget* menu);

// The generation options of GenOptions and Settings, with their defaults
// and rules applied.
struct GenOptions {
    int initialIndent;    // default 0
    int maxIndent;        // -1 = no limit
    int maxLineLength;    // -1 = no check (also for 0 and values not above maxIndent)
    bool compressBlanks;  // default no
    bool oemSource;       // SourceFileFormat; default from AnsiToOemConvert (yes = OEM)
    bool unixLineBreaks;  // LineBreakCoding UNIX (default DOS)
};
void readGenOptions(const char* path, GenOptions& options);
// SourceFileFormat of `path`: 1 = OEM, 0 = ANSI.
int readSourceFileFormat(const char* path);
