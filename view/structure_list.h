// The structure list: a diagram's segments, procedures or functions in
// their hierarchy, each entry with its number and head text. Bodies that
// are not in memory are read in outline form for it (ensureReadable),
// which holds exactly the constructs it lists.
//
// Entries name what they list by level ids and places, never by node: an
// outline copy the list was built from is freed when its segment is
// loaded in full, and the entry still finds its construct afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/construct_node.h"
#include "core/diagram_document.h"

enum class StructureKind : int { Segments = 0, Procedures = 1, Functions = 2 };
constexpr int kStructureKinds = 3;
// The names of the kinds (the string table): "Segments", "Procedures",
// "Functions".
unsigned structureKindName(StructureKind kind);

struct StructureEntry {
    // The level ids from the top segment down to the segment that holds the
    // entry's construct (for a segment entry: down to the segment itself).
    std::vector<std::uint32_t> path;
    int ordinal;  // -1 for a segment; else the construct's place among the outline constructs of its segment
    int depth;    // in the tree: 0 at the top
    std::string text;  // "number head text"
    std::string head;  // the head text's first line
};

struct StructureList {
    StructureKind kind = StructureKind::Segments;
    std::vector<StructureEntry> entries;  // in tree order, each after its parent
    int reads = 0;                        // bodies read in outline form for it
};

// Lists the diagram's constructs of `kind` down to `maxDepth` levels of the
// tree (0: all). False when a body could not be read (the list holds what
// was found).
bool buildStructureList(DiagramDocument* document, StructureKind kind, int maxDepth, StructureList& out);

// The construct an entry lists, with the segments on its path loaded; the
// segment that shows it in `*segment` (for a segment entry the segment
// itself). Null when it is no longer there or cannot be loaded.
ConstructNode* resolveEntry(DiagramDocument* document, const StructureEntry& entry, ConstructNode** segment);

// The first entry whose text contains `text` in any letter case; -1 when
// none does.
int findEntry(const StructureList& list, const char* text);

// The procedure or function a Call names: the first one listed whose head
// starts with the called name (the name ends at a blank, a parenthesis or
// a semicolon; letter case does not count). Its segment in `*segment`;
// null when none is found.
ConstructNode* calledProcedure(DiagramDocument* document, const ConstructNode* call, ConstructNode** segment);
