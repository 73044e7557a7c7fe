// Writing the native diagram file format: the header, the information
// chunks, the file options, the level-id chunk and the TREE chunk with the
// element stream. Saving, the temporary segment file, the clipboard and
// embedded objects all write through here.
//
// All functions return 1 on success and 0 on failure, clearing
// g_outcome.writeOk; they stop at once while it is cleared or the job is
// cancelled. `intWidth` is the width of the integers inside chunk data: this
// edition writes 4; 2 produces the layout of formats below "6.3".
#pragma once

#include <cstdint>

#include "core/diagram_file.h"

// The 8 header bytes: edition code and format version, each three
// characters and a NUL.
int writeDiagramHeader(BufferedFile* file, const char* edition = kEditionCode,
                       const char* version = kCurrentFormat);

// Writes a chunk header with length 0 and returns the chunk's offset, or
// -1 on failure. endChunk back-patches the length (everything written since
// the header) and comes back to the end.
std::int32_t beginChunk(BufferedFile* file, const ChunkTag& tag, std::uint16_t version);
int endChunk(BufferedFile* file, std::int32_t chunkOffset);

// A string in the element stream's format: length (characters + 1; 0 for
// null) with `intWidth`, then the characters. Longer than 29988 characters
// cannot be stored and fails.
int writeChunkString(BufferedFile* file, const char* text, int intWidth = 4);

// A font record of record version `version` (2 or 3).
int writeFontRecord(BufferedFile* file, const FontRecord& font, int version = 3, int intWidth = 4);

// The FOPT chunk with all its sub-chunks.
int writeFileOptions(BufferedFile* file, const DisplayOptions& options, int intWidth = 4);

// KINF, DATE, PVER, ENDI, FOPT and OLEL of the document.
int writeInformationChunks(BufferedFile* file, const DiagramDocument* document, int intWidth = 4);

// The TREE chunk (version 16) with the element stream of the sequence from
// `root`, written in the document's stream mode.
int writeTreeChunk(DiagramDocument* document, ConstructNode* root, BufferedFile* file);

// A whole native diagram of this edition: header ("VRD", "6.3"), the
// information chunks (left out in tree-only mode) and the TREE chunk.
// `document` null: the current one.
int writeDiagram(DiagramDocument* document, ConstructNode* root, BufferedFile* file, bool treeOnly);

// The text of the PVER chunk: the product title, " V", the program version
// "6.32" and, when set, ", " and the file's version information; at most
// 127 characters. Returns the length.
int programVersionText(char* out, int size);
// The file's version information for PVER (copied; null or empty: none).
void setFileVersionInfo(const char* text);

constexpr const char* kProgramVersion = "6.32";
constexpr int kMaxProgramVersionText = 127;
