// The editor side of the parser plug-in interface: importing a source file
// through the configured parser plug-in, or a transfer file through
// korrin-imp.dll from the program directory.
//
// The import writes what the plug-in's callbacks describe as an element
// stream into a temporary tree file (prefix "vrd", header and a TREE chunk),
// loads that file with every segment body in memory, applies the document
// attributes the plug-in sent, deletes the tree file and reports the result
// (the error file ".err" beside the source, the optional trace file named by
// ParseOptions ParserDebugFile, the result messages and the editors).
//
// The application installs the import into the open path with
// installImportHooks and describes its settings in g_importEnvironment.
#pragma once

#include <cstdint>

#include "core/diagram_file.h"
#include "import/parser_interface.h"
#include "resources/commands.h"

struct DiagramDocument;

// What the import and the export take from the application. Every member
// may be null; pointers refer to the application's records, so that later
// changes of the settings are seen.
struct ImportEnvironment {
    void* frameWindow = nullptr;             // handed to plug-ins
    const char* settingsFile = nullptr;      // the editor's settings file
    const int* etfFileFormat = nullptr;      // EtfFileFormat: 1 = OEM (default), 0 = ANSI
    const char* errFileEditor = nullptr;     // ErrFileEditor command line ("" = none)
    const char* sourceFileEditor = nullptr;  // SourceFileEditor command line
    const char* exportDirectory = nullptr;   // where the export dialog starts
    // The command in progress (no result report during "Generate all").
    unsigned (*currentCommand)() = nullptr;
    // False while the editor answers another program's sent message with the
    // IDE add-in active: the editors are not offered then.
    bool (*editorsAllowed)() = nullptr;
    // The diagram's stored export file name (null or "" = none).
    const char* (*exportFileOf)(DiagramDocument* document) = nullptr;
    // After a successful export: store `path` as the diagram's export file
    // name, refresh the window titles, enter the file at the top of the
    // recent files and clear the changed-since-export mark.
    void (*exportDone)(DiagramDocument* document, const char* path) = nullptr;
};
extern ImportEnvironment g_importEnvironment;

// Installs parserConfigured and runImport as the import hooks of the open
// path (core/diagram_file.h).
void installImportHooks();

// Whether the language configuration names a parser (ParseOptions Parser).
bool parserConfigured();

// The whole import for the open path: returns the loaded tree, or null
// after the messages. Load mode kLoadModeInsert returns a single top
// segment's content; kLoadModeOpen returns one Level.
ConstructNode* runImport(const ImportRequest& request);

// Import flags (ImportRequest::options).
constexpr std::uint32_t kImportInserting = 0x0400;    // short info ignored, attributes not applied
constexpr std::uint32_t kImportNewLevelIds = 0x1000;  // level ids not taken over

// The plug-in library for transfer files, in the program directory.
constexpr const char* kTransferImportLibrary = "korrin-imp.dll";

// Replaces %SOURCEFILE%, %FN%, %ERRFILE%, %LINE% and %LN% in an editor
// command line (found without regard to case; the value in lower case for
// a lower-case name, in upper case for an upper-case one, unchanged
// otherwise). `source` without extension gets a trailing period; `line` 0
// counts as 1. The result is cut at `size` - 1 characters.
void substituteEditorVariables(const char* commandLine, const char* source, const char* errorFile,
                               std::int32_t line, char* out, std::size_t size);

// ---------------------------------------------------------------------------
// Binding (a seam for tests): resolves a library name to its entry point
// instead of loading the library. Null restores loading.
using ParserResolver = ParserEntryFn (*)(const char* libraryName);
ParserResolver setParserResolver(ParserResolver resolver);

// ---------------------------------------------------------------------------
// A callback session without a plug-in (tests, the fuzz target, the
// benchmark): the callbacks write into `tree`, an open stream positioned
// inside a TREE chunk of the caller's, and `block` is filled as for a
// plug-in (no source file). Error lines go to `errorPath` (null or empty:
// they are counted and dropped). One session or import at a time.
bool beginCallbackSession(DiagramDocument* document, std::uint32_t flags, BufferedFile* tree,
                          const char* errorPath, ParserBlock* block);
struct CallbackSessionResult {
    std::uint32_t errors;
    std::uint32_t warnings;
    bool writeError;
    bool outOfMemory;
    std::int32_t firstErrorLine;
    bool soundTree;  // the calls described a complete, sound tree: it may be read on demand
};
// Ends the session; with `apply` the collected document attributes are
// applied to the document (not when inserting).
CallbackSessionResult endCallbackSession(bool apply);

// ---------------------------------------------------------------------------
// The callbacks, exported by name from the editor (see parser_interface.h).
extern "C" {
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_element_v2(void* tree, std::int32_t line, std::int32_t type,
                                                           const char* string1, std::int32_t textLines,
                                                           const void* reserved1, const char* string2,
                                                           const void* reserved2, const void* reserved3,
                                                           const char* labels, std::int32_t leftLabelLine,
                                                           std::int32_t rightLabelLine, std::int32_t par1,
                                                           std::int32_t par2);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_level_start_v2(
    void* tree, std::int32_t line, const char* commentText, std::int32_t commentLine, const void* reserved1,
    std::int32_t* posOfLevel, std::uint32_t levelID, const char* labels, std::int32_t leftLabelLine,
    std::int32_t rightLabelLine, const char* entryName, const void* reserved2, const void* reserved3);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_level_end(void* tree, std::int32_t posOfLevel,
                                                          std::int32_t posSource, std::int32_t lengthSource,
                                                          std::int32_t lines);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_tree_start(void* tree, std::int32_t predTyp,
                                                           std::int32_t edge);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_tree_end(void* tree);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL parse_error_v2(std::int32_t line, const char* text,
                                                         std::int32_t cont);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_debug(const char* text);

// The earlier interface: accepted and ignored.
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_element(void* tree, std::int32_t line, std::int32_t type,
                                                        const char* string1, std::int32_t a5, std::int32_t a6,
                                                        std::int32_t a7, std::int32_t a8, std::int32_t a9,
                                                        std::int32_t a10, std::int32_t a11, std::int32_t a12,
                                                        std::int32_t a13, std::int32_t a14);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL write_level_start(void* tree, std::int32_t line,
                                                            const char* commentText, std::int32_t commentLine,
                                                            std::int32_t a5, std::int32_t* posOfLevel);
KORRIN_EXPORT std::int32_t KORRIN_STDCALL parse_error(std::int32_t line, const char* text, std::int32_t cont);
}
