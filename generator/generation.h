// The inside of one generation: the template table, the generation state,
// the escape language of the templates, the writer every output byte goes
// through, and the walk over the construct tree that writes the source and
// the new working copy side by side.
//
// The Generate command (generator/generator.h) sets a GenState up, runs the
// walk and cleans up; the pieces are public here so that they can be tested
// one by one.
//
// Escape language (a backslash followed by):
//   N   line break unless at line start      n   line break always
//   \   a backslash                          i   pad to the indent
//   c   indent = current column              s   push the indent
//   r   pop the indent                       X   the next child sequence writes nothing
//   "   a continuation literal up to the closing quote ("" inside = one quote)
//   digits and + - :   add to / subtract from / set the indent
//   %SEGNUM%   the number of the segment that holds the construct
// While nothing but line breaks has been written on a line, escapes that
// only change state keep it that way; the first text writes the line's
// indentation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/language_config.h"

struct BufferedFile;
struct ConstructNode;
struct DiagramDocument;

// ---------------------------------------------------------------------------
// Template table

constexpr int kTemplateValueSize = 1024;  // 1023 characters after substitution
constexpr const char* kTemplateSentinel = "\\@";
constexpr const char* kTemplateDefault = "\\N";

enum TemplateFlag : std::uint8_t {
    kTemplateUsed = 0x01,    // written at least once in this generation
    kTemplateAbsent = 0x02,  // the key was absent: the value is "\N"
};

struct TemplateEntry {
    char* name;   // owned
    char* value;  // owned
    std::uint8_t flags;
};

struct TemplateTable {
    TemplateEntry entries[kTemplateCount];
};

// What the template variables stand for.
struct TemplateVariables {
    const char* time;         // \%TIME%
    const char* configPath;   // \%CFG%
    const char* title;        // \%PNAME%
    const char* version;      // \%PVER%
    const char* diagramPath;  // \%FILE%
    const char* outputPath;   // \%GENFILE%
};

// Reads the 85 templates of section GenStrings of `configPath` and
// substitutes the variables. Null when memory runs out (nothing is left
// allocated).
TemplateTable* buildTemplateTable(const char* configPath, const TemplateVariables& variables);
void freeTemplateTable(TemplateTable* table);

// Replaces every occurrence of `token` (compared without regard to case)
// in `text` by `value`: lower-cased when the letters between the token's
// two percent signs are all lower case in the occurrence, upper-cased when
// they are all upper case, as it is otherwise; with every backslash doubled
// when `doubleBackslashes`. The result is cut to size - 1 characters.
void substituteVariable(char* text, std::size_t size, const char* token, const char* value,
                        bool doubleBackslashes);

// The time text: the date in the order of `shortDatePattern` (the system's
// short-date setting, e.g. "dd.MM.yyyy"; its separators are kept) with
// two-digit day and month and a four-digit year, a blank, and hours,
// minutes and seconds joined by `timeSeparator`.
struct GenTime {
    int year, month, day, hour, minute, second;
    std::uint64_t fileTime;  // the same moment as a file time stamp
};
void formatTimeText(char* out, std::size_t size, const char* shortDatePattern, const char* timeSeparator,
                    const GenTime& time);
// The same with the system's settings (intl sShortDate and sTime of the
// system profile).
void systemTimeText(const GenTime& time, char* out, std::size_t size);
// The local date and time of now.
void localNow(GenTime* out);

// ---------------------------------------------------------------------------
// Generation state

constexpr int kLiteralSize = 1024;  // the continuation literal with its terminator
constexpr int kIndentStackStep = 20;
constexpr int kSymbolSize = 33;  // the failing escape in messages: 32 characters
constexpr int kOutputBufferSize = 16384;

enum class ConditionContext : std::uint8_t { None, Plain, InsideAnd, InsideOr, InsideNot };

struct GenState {
    BufferedFile* output;   // the generated source
    BufferedFile* working;  // the new working copy (null: records are not written)
    const char* outputPath;
    DiagramDocument* document;
    TemplateTable* templates;

    std::uint32_t line;
    std::int32_t column;
    std::int32_t indent;
    std::int32_t initialIndent;
    std::int32_t maxIndent;      // -1 = none
    std::int32_t maxLineLength;  // -1 = no check
    bool atLineStart;

    std::int32_t* indentStack;  // counting-allocator block
    int stackSize;
    int stackCapacity;

    char literal[kLiteralSize];
    int literalLength;
    bool literalPresent;
    std::int32_t literalColumn;

    std::uint32_t templateFirstLine;
    std::uint32_t lastLineTooLong;
    bool lineCheckOn;

    unsigned pendingError;  // message of an escape error, 0 = none
    char pendingSymbol[kSymbolSize];

    bool failed;     // a segment could not be loaded, the user cancelled, a write failed
    bool cancelled;  // the user answered Cancel

    // Segments whose loaded bodies the walk wrote: their flags before, so
    // that a failed generation can restore them.
    struct SavedFlags {
        ConstructNode* level;
        std::uint8_t flags;
    };
    SavedFlags* savedFlags;  // counting-allocator block
    int savedCount;
    int savedCapacity;

    char buffer[kOutputBufferSize];
    int buffered;
};

// Sets the state up for a generation: line 1, column 0, the indent options,
// an empty indent stack of kIndentStackStep entries. 0 when the stack
// cannot be allocated.
int initGenState(GenState& state, const GenOptions& options);
// Frees the indent stack and the saved flags (not the template table).
void releaseGenState(GenState& state);
// Hands what is buffered to the output file. 0 on a write error.
int flushOutput(GenState& state);

// ---------------------------------------------------------------------------
// Writing

// Writes template `index` (emit flag clear: nothing, and the template's
// first line stays 0). `childEmit` receives the emit flag for the child
// sequence that follows. `construct` is the construct the template belongs
// to (for \%SEGNUM%). 0 when the generation must stop; the message has been
// shown.
int writeTemplate(GenState& state, int index, bool emit, bool* childEmit, const ConstructNode* construct);

// Writes the text of a construct (null: empty) with the indentation and
// the continuation literal. 0 when the generation must stop.
int writeConstructText(GenState& state, const char* text, bool emit);

// Every output byte goes through here: the template's first line, the
// current line and column, and the line-length check.
void emitText(GenState& state, const char* text, std::size_t count);

// ---------------------------------------------------------------------------
// The walk

// Generates the sequence from `head` with its records in the working file.
// 0 as soon as anything fails (state.failed tells a failure that lets the
// walk go on, such as a segment that cannot be loaded).
int generateTree(GenState& state, ConstructNode* head, ConditionContext context, bool statement, bool emit);

// What the segment-number escape writes for `construct`: "Top" for the top
// segment, else the level id of the segment that holds it (its own for a
// segment).
void segmentNumberText(const ConstructNode* construct, char* out, std::size_t size);

// Drops the body of a segment that was loaded only to be gone through: the
// body is freed and the segment is marked as lying on disk at its
// fileOffset. Only a segment whose file copy is current (0x10) is dropped.
// The page-out used when the segment source brings none.
void dropSegmentBody(ConstructNode* level);
