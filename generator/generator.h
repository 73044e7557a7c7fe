// The source generator: the Generate commands and Generate all.
//
// A generation walks the diagram and writes two files side by side: the
// source text, from the templates of the language configuration, and a new
// working copy of the diagram in which every construct carries the number
// of the line its text begins on. On success the diagram switches to the
// new working copy; on failure both files are deleted, the segment offsets
// point into the previous working copy again and every line number is
// cleared.
//
// What the generator needs from the rest of the editor comes through
// GeneratorHooks: the segment-offset bookkeeping and the working copy of
// the saving code, saving, the window titles, the recent-file list and the
// standard generate directory. Each hook has a default that keeps a
// generation complete without the front end (see below).
#pragma once

#include <cstdint>

#include "core/diagram_document.h"
#include "resources/commands.h"

struct ConstructNode;
struct GenTime;

// The generation file extension of the language configuration in force
// (".SRC" when none): the one every proposed and generated name takes.
const char* generationExtension();

// What the caller keeps per diagram: its stored generation file name.
struct GenerateTarget {
    char storedPath[kPathSize];  // "" = none yet; set to the output path after a generation
};

struct GeneratorHooks {
    // The document takes the file at `path` (a complete native diagram of
    // the current format, closed, written with every segment offset
    // pointing into it) as its temporary segment file. 1 on success; on
    // failure the file is deleted. Default: adoptWorkingCopy of the saving
    // code.
    int (*takeWorkingCopy)(DiagramDocument* document, const char* path) = nullptr;
    // Saves the diagram after a successful generation when asked to. 1 on
    // success. Default: the Save procedure onto the diagram's own file.
    int (*saveDocument)(DiagramDocument* document) = nullptr;
    // The window titles of the document are to be refreshed. Default: none.
    void (*refreshTitles)(DiagramDocument* document) = nullptr;
    // Enters `path` at the top of the recently opened files. Default: none.
    void (*addRecentFile)(const char* path) = nullptr;
    // The standard generate directory (out: kPathSize characters, "" for
    // none). Default: none.
    void (*generateDirectory)(char* out) = nullptr;
    // Whether the language configuration names a parser plug-in. Default:
    // reads ParseOptions Parser of the configuration file.
    bool (*parserConfigured)() = nullptr;
    // The clock: the local date and time of "now" (and its file time).
    // Default: the system clock. Tests fix it.
    void (*now)(GenTime* out) = nullptr;
};
// Installs `hooks` (null members take the defaults) and returns the ones in
// force before.
GeneratorHooks setGeneratorHooks(const GeneratorHooks& hooks);

// The Generate commands for `document`: CMD_FILE_GENERATE into the stored
// generation file (asking when there is none), CMD_FILE_GENERATE_AS always
// asking; with the language configuration in force (g_languageConfig). `batch`:
// started from the command line: no dialog, the file goes to the standard
// generate directory under the diagram's name. `saveAfter`: save the
// diagram after a successful generation (setting SaveAfterGen). `target`
// (may be null) holds the diagram's stored generation file name. Returns 1
// when the source was generated.
int generate(DiagramDocument* document, int command, bool batch, bool saveAfter, GenerateTarget* target);

// Generate all: every native diagram file (".vrd", any case) of
// `directory`, in the order of their names compared without regard to
// case, generated in batch mode into the standard generate directory (the
// diagrams' own directory when there is none). A file that cannot be
// opened or generated is counted and the run goes on; at the end one
// report names the counts and the files that failed.
struct GenerateAllProgress {
    // Called before each file (index from 0); false stops the run.
    bool (*beforeFile)(void* context, const char* path, int index, int count) = nullptr;
    void* context = nullptr;
};
struct GenerateAllResult {
    int generated;
    int failed;
};
GenerateAllResult generateAll(const char* directory, bool saveAfter,
                              const GenerateAllProgress& progress = {});
