// The Pascal/Delphi parser: everything korrin-pas does, over an environment
// that supplies the file's bytes, the options and the texts. The DLL
// (korrin_pas_win32.cpp) is a thin shell over it; native tests, the fuzz
// target and the benchmark drive it through the same parameter block and
// callbacks.
//
// What one call (the plug-in's korrin_parse) does:
//   refuses a nested call (11) and interface versions outside 10007..10009
//   (12); allocates its buffers (18 on failure); reads the options; reads
//   the source token by token and describes the structure it recognises as
//   the content of one top segment; everything between structure keywords
//   goes on as statement text, line by line as written (comments included).
//   Messages go to parse_error_v2 as "Line %d: Error: %s" in the editor's
//   language and are counted through the block's error counter. Returns 2
//   after errors, 10 when structures nest deeper than kPascalMaxNesting, 0
//   otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

#include "import/parser_interface.h"

// Message numbers; the text of number n in language L is string n + L.
enum PascalMessage : int {
    kPasBeginExpected = 10000,
    kPasEndDotExpected = 10100,
    kPasNoInterface = 10200,
    kPasNoImplementation = 10300,
    kPasSemicolonExpected = 10400,
    kPasAfterFor = 10500,
    kPasAfterProcedure = 10600,
    kPasIfThen = 10700,
    kPasAfterIf = 10800,
    kPasAfterRepeat = 10900,
    kPasEndMisplaced = 11100,
    kPasStrayOf = 11200,
    kPasStrayThen = 11300,
    kPasStrayDo = 11400,
    kPasStrayUntil = 11500,
    kPasStrayElse = 11600,
    kPasAfterWhile = 12100,
    kPasWhileDo = 12200,
    kPasAfterFunction = 12300,
    kPasAfterCase = 12400,
    kPasCaseOf = 12500,
    kPasCaseBranch = 12600,
    kPasAfterUnit = 12700,
    kPasUnitHeader = 12800,
    kPasFinalDot = 12900,
    kPasAfterWith = 13000,
    kPasAfterUses = 13100,
    kPasLibraryHeader = 13200,
    kPasAfterLibrary = 13300,
    kPasLibraryBegin = 13400,
    kPasLibraryEnd = 13500,
    kPasReservedMisplaced = 13600,
    kPasPackageHeader = 13700,
    kPasPackageBegin = 13800,
    kPasPackageEnd = 13900,
    kPasAfterInline = 14000,
    kPasAfterException = 14100,
    kPasEndExpected = 14200,
    kPasAfterTry = 14400,
    kPasAfterOn = 14410,
    kPasAfterOnDo = 14420,
    kPasAfterHandler = 14430,
    kPasAfterImplementation = 14500,
    kPasAfterInitialization = 14510,
    kPasAfterFinalization = 14520,
    kPasAfterUnitBegin = 14530,
    kPasCommentEof = 15100,
    kPasStringEof = 15200,
    kPasStringExceedsLine = 15300,
    kPasCloseBracket = 15400,
    kPasTokenTooLong = 15500,
    kPasTextSplit = 15600,      // warning: "%d" the construct text limit
    kPasPartInInclude = 15700,  // warning: "%s" the missing part's message, "%s" the include
    kPasOpenCondition = 15800,

    kPasErrorLine = 17000,    // "Line %d: Error: %s"
    kPasWarningLine = 17100,  // "Line %d: Warning: %s"

    kPasSegVariables = 18000,
    kPasSegConstants = 18100,
    kPasSegTypes = 18200,
    kPasSegProgramBody = 18300,
    kPasSegProcedureBody = 18400,
    kPasSegFunctionBody = 18500,
    kPasSegInterface = 18600,
    kPasSegImplementation = 18700,
    kPasSegInitialization = 18800,
    kPasSegInitFinal = 18900,
    kPasSegDefinition = 19000,
    kPasSegPackageHead = 19100,  // a package's declarations (no "body")
};

// Option keys of section ParseOptions.
enum class PascalOption : int {
    PushDownVar,
    PushDownConst,
    PushDownType,
    PushDownProcedurebody,
    PushDownFunctionbody,
    PushDownInterface,
    PushDownImplementation,
    PushDownInitialization,
    NestedComments,
    MixedComments,
    DelphiSupport,
    ExceptionToken,
    ECComment,
    Defines,  // symbols defined for conditional compilation: "A;B;C=2"
    Count
};
// The key text of an option ("PushDownVar", ...).
const char* pascalOptionKey(PascalOption option);

struct PascalEnvironment {
    // Reads up to `size` raw bytes of the open file: the count, 0 at the
    // end, -1 on an error.
    std::int32_t (*read)(void* context, char* buffer, std::int32_t size);
    // Converts `count` bytes from OEM to ANSI in place.
    void (*oemToAnsi)(void* context, char* buffer, std::int32_t count);
    // Reads option `key` of section ParseOptions from profile file `path`
    // into buffer (NUL-terminated); the length, 0 when absent or empty.
    int (*option)(void* context, const char* path, const char* key, char* buffer, int size);
    // Copies the text of message `number` in the editor's language.
    int (*message)(void* context, int number, char* buffer, int size);
    void* context;
    // Zero-filled blocks; null uses the C library.
    void* (*allocate)(std::size_t size) = nullptr;
    void (*release)(void* block) = nullptr;
};

std::uint32_t pascalParse(ParserBlock* block, const PascalEnvironment& env);

// Limits.
constexpr int kPascalBlockSize = 14993;   // bytes read at a time
constexpr int kPascalBufferSize = 29988;  // the two-half input buffer
constexpr int kPascalTokenLimit = 4096;   // characters of one token
constexpr int kPascalTextLimit = 29987;   // characters of one construct text (longer ones are split)
constexpr int kPascalMaxNesting = 1000;   // structures open inside each other

// The portable table of the texts (pascal_messages.def), for native builds:
// the text of message `number` in `language`, English when the language has
// none; null for an unknown number.
const char* pascalMessageText(int number, int language);
