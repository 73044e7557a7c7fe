// The import state shared by the import procedure and the callbacks.
#pragma once

#include <cstdint>

#include "core/diagram_document.h"
#include "import/document_attributes.h"

struct BufferedFile;

// The sequence a callback writes into: its owner's type and slot code (the
// Dummy that replaces an element this edition does not take stands for it).
struct SequenceContext {
    std::int32_t ownerType;
    std::int32_t slot;
    int pending;  // child sequences the sequence's last element still needs
};

struct OpenLevel {
    std::int32_t position;       // of its segment block, handed to the plug-in
    std::int32_t sequenceDepth;  // of the sequence the level is in
};

constexpr int kMaxOpenSequences = 8192;
constexpr int kMaxOpenLevels = 8192;

// One import at a time.
struct ImportState {
    DiagramDocument* document;
    std::uint32_t flags;  // kImportInserting, kImportNewLevelIds

    BufferedFile* tree;  // the tree file
    bool writeError;     // a write of the tree file failed
    bool outOfMemory;    // an allocation failed during a callback

    BufferedFile* trace;   // the trace file, or null
    BufferedFile* errors;  // the error file once opened
    bool errorFileTried;
    bool errorFileFailed;
    char errorPath[kPathSize];

    bool haveFirstError;
    std::int32_t firstErrorLine;
    std::uint32_t errorCount;
    std::uint32_t warningCount;
    int levelCounter;  // nesting depths, for the trace only
    int treeCounter;

    DocumentAttributes attributes;

    // Protocol bookkeeping: the open sequences, the open levels' block
    // positions, and the child sequences of a replaced element, which are
    // swallowed.
    SequenceContext* sequences;  // kMaxOpenSequences
    int sequenceDepth;           // may exceed the capacity; only the first entries are kept
    OpenLevel* levels;           // kMaxOpenLevels
    int levelDepth;
    std::int32_t replacedType;  // type of the last element replaced by a Dummy (0 = none)
    int muted;                  // depth inside swallowed sequences

    char* scratch[3];  // kMaxStringLength bytes each: texts cut to the stream's limit

    // Whether the calls so far wrote a sound tree: every element followed by
    // as many child sequences as its type has, every level by its body,
    // sequences and levels closed in the order they were opened. Only such
    // a tree file is left on disk for its segments to be read on demand;
    // any other is read whole at once, so that a fault shows then.
    bool unsound;
    int rootPending;  // child sequences the root sequence's last element still needs
    bool rootClosed;
};

// True when the calls of the import described a complete, sound tree.
bool wroteSoundTree(const ImportState* st);

// The import in progress (null outside an import): the callbacks without a
// tree argument use it.
extern ImportState* g_activeImport;

// Appends `text` and CR LF to the error file, opening it on the first line.
void appendErrorLine(ImportState* st, std::int32_t line, const char* text);
// Appends a formatted line to the trace file, if one is open.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void traceLine(ImportState* st, const char* format, ...);
