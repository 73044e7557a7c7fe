// The parser plug-in interface: what the editor and a parser plug-in share.
//
// A plug-in is a dynamic library exporting `korrin_parse`. The editor hands
// it a zero-filled ParserBlock; the plug-in reads the open file and
// describes the construct tree through the callbacks named in the block,
// which write an element stream into the editor's tree file.
//
// This header is the whole contract: plug-ins include it and link nothing of
// the editor. It depends on the standard library only.
//
// Calling convention
//   `korrin_parse` and every callback use the platform's standard calling
//   convention (KORRIN_STDCALL: __stdcall on Windows, where the callee
//   removes the arguments; the x64 build has one convention anyway). Each
//   argument is 32 bits wide in the i686 build. The editor exports the
//   callbacks by name as well; in the i686 build the exported names carry
//   the argument bytes (write_element_v2@56, write_level_start_v2@52,
//   write_level_end@20, write_tree_start@12, write_tree_end@4,
//   parse_error_v2@12, write_debug@4, and the earlier write_element@56,
//   write_level_start@24, parse_error@12). A plug-in exports `korrin_parse`
//   without decoration (the i686 build links plug-ins with --kill-at).
//
// Parameter block layout (little-endian; texts NUL-terminated in fixed
// fields). The i686 build has the plug-ins' 32-bit layout of 872 bytes.
// The x64 build keeps the field order with address and handle fields 8 bytes
// wide, each on its natural alignment:
//
//   field                      i686 offset/size   x64 offset/size
//   interfaceVersion                0 / 4               0 / 4
//   frameWindow (handle)            4 / 4               8 / 8
//   languageCode "VRD"              8 / 4              16 / 4
//   sourceFile (handle)            12 / 4              24 / 8
//   treeContext                    16 / 4              32 / 8
//   programDirectory               20 / 260            40 / 260
//   settingsFile                  280 / 260           300 / 260
//   write_element_v2              540 / 4             560 / 8
//   write_level_start_v2          544 / 4             568 / 8
//   write_level_end               548 / 4             576 / 8
//   write_tree_start              552 / 4             584 / 8
//   write_tree_end                556 / 4             592 / 8
//   parse_error_v2                560 / 4             600 / 8
//   write_debug                   564 / 4             608 / 8
//   reserved1, reserved2          568 / 8             616 / 16
//   errorCounter (address)        576 / 4             632 / 8
//   warningCounter (address)      580 / 4             640 / 8
//   configFile                    584 / 260           648 / 260
//   charSet                       844 / 4             908 / 4
//   zero                          848 / 24            912 / 24
//   size                          872                 936
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define KORRIN_STDCALL __stdcall
#define KORRIN_EXPORT __declspec(dllexport)
#else
#define KORRIN_STDCALL
#define KORRIN_EXPORT __attribute__((visibility("default")))
#endif

// ---------------------------------------------------------------------------
// Versions and results

// The interface version the editor fills in; plug-ins of this system serve
// 10007 to 10009.
constexpr std::uint32_t kParserInterfaceVersion = 10009;
constexpr std::uint32_t kParserInterfaceOldest = 10007;

// Result of `korrin_parse`.
enum ParserResult : std::uint32_t {
    kParseOk = 0,              // no errors or warnings
    kParseWarnings = 1,        // warnings only
    kParseErrors = 2,          // errors were found: no diagram
    kParseStackOverflow = 10,  // internal stack overflow
    kParseInUse = 11,          // a nested call was refused
    kParseBadVersion = 12,     // interface version not supported
    kParseFatal = 18,          // fatal failure (out of memory): the editor ends the command
};

// Character set of the open file (block field charSet).
constexpr std::uint32_t kParseCharSetAnsi = 0;
constexpr std::uint32_t kParseCharSetOem = 1;

// The editor's language (the number resource plug-ins add to their message
// numbers) and where plug-ins find it: RCDATA 1000 of the editor's module,
// one 32-bit number.
constexpr int kLanguageEnglish = 44;
constexpr int kLanguageGerman = 49;
constexpr unsigned kLanguageResourceId = 1000;

// The editor's numbered texts plug-ins load from the editor's module: the
// transfer-file keywords are strings kTransferKeywordFirstId + index
// (import/transfer_keywords.h).
constexpr unsigned kTransferKeywordFirstId = 21000;

// ---------------------------------------------------------------------------
// Element type codes of write_element_v2 besides the construct codes

enum ParserElement : std::int32_t {
    kElementDummy = 1,   // par1 = owner type, par2 = slot code
    kElementLevel = 14,  // only through write_level_start_v2
    kElementText = 15,   // string1 = the text
    kElementFreeFormat = 28,
    kElementSpecialText = 78,

    kAttrShortInfo = 1000,     // string1
    kAttrIfLayout = 1001,      // par1: 1 = vertical
    kAttrLevelNumbers = 1002,  // par1: boolean
    kAttrLineNumbers = 1003,   // par1: boolean
    kAttrScreenFont = 1004,    // string1: font description
    kAttrPrinterFont = 1005,   // string1: font description
    kAttrLastLevelId = 1006,   // string1: decimal
    kAttrPrivileges = 1007,    // not used by this edition
    kAttrLeftLabels = 1008,    // par1: boolean
    kAttrRightLabels = 1009,   // par1: boolean
    kAttrUnused1010 = 1010,    // not used by this edition
    kAttrColours = 1011,       // string1: colour list
};
constexpr std::int32_t kFirstAttribute = 1000;

// Slot codes used in the protocol (the `edge` of write_tree_start).
constexpr std::int32_t kEdgeBody = 4;  // a segment's content: write_tree_start(14, 4)
constexpr std::int32_t kEdgeHead = 9;  // a segment's head (a Dummy for 14, 9)

// ---------------------------------------------------------------------------
// Callbacks. Each returns 0, or -1 after a write error of the tree file (the
// plug-in should then stop). Texts are NUL-terminated in the editor's
// character set, or null. `labels` is null or a double text: the left label,
// NUL, the right label, NUL.

extern "C" {
using WriteElementV2Fn = std::int32_t(KORRIN_STDCALL*)(void* tree, std::int32_t line, std::int32_t type,
                                                       const char* string1, std::int32_t textLines,
                                                       const void* reserved1, const char* string2,
                                                       const void* reserved2, const void* reserved3,
                                                       const char* labels, std::int32_t leftLabelLine,
                                                       std::int32_t rightLabelLine, std::int32_t par1,
                                                       std::int32_t par2);
using WriteLevelStartV2Fn = std::int32_t(KORRIN_STDCALL*)(
    void* tree, std::int32_t line, const char* commentText, std::int32_t commentLine, const void* reserved1,
    std::int32_t* posOfLevel, std::uint32_t levelID, const char* labels, std::int32_t leftLabelLine,
    std::int32_t rightLabelLine, const char* entryName, const void* reserved2, const void* reserved3);
using WriteLevelEndFn = std::int32_t(KORRIN_STDCALL*)(void* tree, std::int32_t posOfLevel,
                                                      std::int32_t posSource, std::int32_t lengthSource,
                                                      std::int32_t lines);
using WriteTreeStartFn = std::int32_t(KORRIN_STDCALL*)(void* tree, std::int32_t predTyp, std::int32_t edge);
using WriteTreeEndFn = std::int32_t(KORRIN_STDCALL*)(void* tree);
using ParseErrorV2Fn = std::int32_t(KORRIN_STDCALL*)(std::int32_t line, const char* text, std::int32_t cont);
using WriteDebugFn = std::int32_t(KORRIN_STDCALL*)(const char* text);
}

constexpr std::size_t kParserPathSize = 260;

struct ParserBlock {
    std::uint32_t interfaceVersion;          // kParserInterfaceVersion
    void* frameWindow;                       // the editor's frame window (finds the editor's module)
    char languageCode[4];                    // "VRD"
    std::intptr_t sourceFile;                // platform file handle of the open file, at offset 0
    void* treeContext;                       // first argument of every tree callback
    char programDirectory[kParserPathSize];  // with trailing separator
    char settingsFile[kParserPathSize];      // the editor's settings file
    WriteElementV2Fn writeElement;
    WriteLevelStartV2Fn writeLevelStart;
    WriteLevelEndFn writeLevelEnd;
    WriteTreeStartFn writeTreeStart;
    WriteTreeEndFn writeTreeEnd;
    ParseErrorV2Fn parseError;
    WriteDebugFn writeDebug;
    void* reserved1;  // editor data, not used by the plug-ins of this system
    void* reserved2;
    std::uint32_t* errorCounter;  // owned by the editor; the plug-in counts
    std::uint32_t* warningCounter;
    char configFile[kParserPathSize];  // the language configuration file
    std::uint32_t charSet;             // kParseCharSetOem or kParseCharSetAnsi
    std::uint8_t zero[24];
};

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(ParserBlock) == 872);
static_assert(offsetof(ParserBlock, interfaceVersion) == 0);
static_assert(offsetof(ParserBlock, frameWindow) == 4);
static_assert(offsetof(ParserBlock, languageCode) == 8);
static_assert(offsetof(ParserBlock, sourceFile) == 12);
static_assert(offsetof(ParserBlock, treeContext) == 16);
static_assert(offsetof(ParserBlock, programDirectory) == 20);
static_assert(offsetof(ParserBlock, settingsFile) == 280);
static_assert(offsetof(ParserBlock, writeElement) == 540);
static_assert(offsetof(ParserBlock, writeLevelStart) == 544);
static_assert(offsetof(ParserBlock, writeLevelEnd) == 548);
static_assert(offsetof(ParserBlock, writeTreeStart) == 552);
static_assert(offsetof(ParserBlock, writeTreeEnd) == 556);
static_assert(offsetof(ParserBlock, parseError) == 560);
static_assert(offsetof(ParserBlock, writeDebug) == 564);
static_assert(offsetof(ParserBlock, reserved1) == 568);
static_assert(offsetof(ParserBlock, reserved2) == 572);
static_assert(offsetof(ParserBlock, errorCounter) == 576);
static_assert(offsetof(ParserBlock, warningCounter) == 580);
static_assert(offsetof(ParserBlock, configFile) == 584);
static_assert(offsetof(ParserBlock, charSet) == 844);
static_assert(offsetof(ParserBlock, zero) == 848);
#else
static_assert(sizeof(void*) == 8);
static_assert(sizeof(ParserBlock) == 936);
static_assert(offsetof(ParserBlock, frameWindow) == 8);
static_assert(offsetof(ParserBlock, languageCode) == 16);
static_assert(offsetof(ParserBlock, sourceFile) == 24);
static_assert(offsetof(ParserBlock, treeContext) == 32);
static_assert(offsetof(ParserBlock, programDirectory) == 40);
static_assert(offsetof(ParserBlock, settingsFile) == 300);
static_assert(offsetof(ParserBlock, writeElement) == 560);
static_assert(offsetof(ParserBlock, writeDebug) == 608);
static_assert(offsetof(ParserBlock, reserved1) == 616);
static_assert(offsetof(ParserBlock, errorCounter) == 632);
static_assert(offsetof(ParserBlock, warningCounter) == 640);
static_assert(offsetof(ParserBlock, configFile) == 648);
static_assert(offsetof(ParserBlock, charSet) == 908);
static_assert(offsetof(ParserBlock, zero) == 912);
#endif

// The entry point of a plug-in.
extern "C" {
using ParserEntryFn = std::uint32_t(KORRIN_STDCALL*)(ParserBlock* block);
}
constexpr const char* kParserEntryName = "korrin_parse";
