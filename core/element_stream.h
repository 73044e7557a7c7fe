// The element record stream: the byte serialisation of a node tree.
//
// It is the body of the TREE chunk of a native diagram file, the content of
// the temporary segment file, the diagram data of the clipboard and of
// embedded objects, and what the parser interface writes record by record.
// Streams go through a BufferedFile in raw mode (options 0).
//
// Layout
//   sequence  := (0xFF element)* 0xF0
//   element   := type, lineNumber, leftLabel, rightLabel, payload by type,
//                child sequences by type (catalogue order)
//   Level     := element, flags byte (only 0x20 counts), levelId (u32),
//                head sequence, segment block
//   block     := blockLength (u32, back-patched; includes the 12 header
//                bytes), blockWord2 (u32), blockWord1 (u32), body sequence
//   string    := length (characters + 1; 0 = null) and the characters
// Integers are written as 4 bytes little-endian. Readers take the integer
// width, string style and optional fields from the document's format
// version, edition code and tree version.
//
// Outcome
//   The writers clear g_outcome.writeOk on any failure, the readers clear
//   g_outcome.readOk; the caller sets them before a job. Both stop as soon as
//   g_outcome.jobCancelled is raised. Neither recurses on the native stack:
//   nesting depth costs heap, not stack.
//
// Documents
//   Every function that takes a DiagramDocument uses the current document
//   when given null.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/construct_catalogue.h"

struct BufferedFile;
struct ConstructNode;
struct DiagramDocument;

constexpr std::uint8_t kMarkElement = 0xFF;  // an element record (or a present payload record) follows
constexpr std::uint8_t kMarkEnd = 0xF0;      // end of a sequence (or an absent payload record)

constexpr std::int32_t kMaxStringLength = 29989;  // largest length field: 29988 characters
constexpr int kMaxSequenceNesting = 8192;         // sequences being read (or written) inside each other
constexpr std::uint32_t kBlockHeaderSize = 12;

// Bit of DiagramDocument::streamMode: write without touching the tree (the
// diagram's own file, the clipboard, embedded objects). Clear: writing the
// temporary segment file, where every segment written gets its new block
// offset and every body serialised from memory the flags 0x11.
constexpr std::uint8_t kStreamModeKeepTree = 0x04;

// ---------------------------------------------------------------------------
// Writing. All return 1 on success, 0 on failure (write-ok cleared).
//
// `intWidth` 2 writes the integers with the width of formats below "6.3"
// (only for producing such streams; this edition writes 4).

// Writes the sequence from `head` to `last` inclusive (to the end when
// `last` is null), every element with its children, then 0xF0. A null head
// writes a lone 0xF0. Segments follow the document's stream mode.
//   A segment block is copied byte for byte from the segment source when
//   the document's format is "3.0" or newer with tree version 16 and the
//   body is on disk, or is loaded with a current file copy (0x10) while
//   neither it nor a segment inside it is shown in a window or changed
//   since its copy. In mode 0 the segments in memory inside a copied block
//   move with it (their fileOffset follows). Other bodies are serialised,
//   loaded first when on disk and paged out again afterwards.
int writeSequence(DiagramDocument* document, ConstructNode* head, const ConstructNode* last,
                  BufferedFile* stream, int intWidth = 4);

// 0xFF and the element record without children; 0xF0 for a null node. A
// type the stream does not write is an internal structure error (101), a
// host-command kind other than 1 or 2 another (102); a string longer than
// 29988 characters cannot be stored and fails the write.
int writeElement(BufferedFile* stream, const ConstructNode* node, int intWidth = 4);
// The fields of an element record whose payload is nothing, a text or the
// two numbers of a placeholder: what writeElementFields writes without a
// construct (the import's callbacks have only these).
struct ElementFields {
    ConstructType type;
    std::int32_t lineNumber;
    const char* leftLabel;  // null: none
    const char* rightLabel;
    const char* text;  // the statement text of the text types, null: none
    std::size_t textLength;
    std::int32_t placeholder[2];  // a Dummy's owner type and slot
};
// writeElement of the construct these fields describe; a type with any
// other payload fails the write.
int writeElementFields(BufferedFile* stream, const ElementFields& fields, int intWidth = 4);
// Stores `lineNumber` in the node, then writeElement.
int writeNumberedElement(BufferedFile* stream, ConstructNode* node, std::int32_t lineNumber,
                         int intWidth = 4);
// The flags byte (segment flags & 0x20) and the level id.
int writeLevelStart(BufferedFile* stream, const ConstructNode* level);
// The twelve block-header bytes with blockLength 0.
int writeBlockHeader(BufferedFile* stream, const ConstructNode* level);
// Writes `current position - blockOffset` at `blockOffset` and comes back.
int patchBlockLength(BufferedFile* stream, std::uint32_t blockOffset);
// Copies the segment block at `offset` of `source` (its length taken from
// its header) to the current position of `destination`.
int copySegmentBlock(BufferedFile* source, BufferedFile* destination, std::uint32_t offset);

// ---------------------------------------------------------------------------
// Reading. Both return the head of the sequence read (null when empty). On
// failure read-ok is cleared and what was built so far is returned, fully
// linked, for the caller to free.

// Options: the read-option bits of core/segment_source.h.
ConstructNode* readSequence(DiagramDocument* document, BufferedFile* stream, std::uint32_t options);

// The outline form: only segments, procedures, functions and action blocks,
// collected from anywhere inside the elements dropped around them into one
// flat sequence in stream order. Their heads are read in full, their bodies
// in outline form; segments whose bodies are read now get flags 0x06.
ConstructNode* readOutline(DiagramDocument* document, BufferedFile* stream, std::uint32_t options);

// Reads the body of the segment block at `offset` (the body starts 12 bytes
// later), in outline form under kReadOutline. 1 with the body in `*body`;
// 0 with whatever part was built in `*body` (the caller frees it). Leaves
// read-ok as it found it: the result tells.
int readSegmentBody(DiagramDocument* document, BufferedFile* stream, std::uint32_t offset,
                    std::uint32_t options, ConstructNode** body);

// ---------------------------------------------------------------------------
// Segment windows

// Tells whether the segment of `level` is shown in an open segment window.
// A loaded body shown in a window (itself or through a segment inside it)
// is always serialised, never copied. The default shows nothing.
using SegmentShownHook = bool (*)(const ConstructNode* level);
SegmentShownHook setSegmentShownHook(SegmentShownHook hook);  // null restores the default

// Whether `node` is a segment whose body in memory is all there is of it (changed since its file
// copy), that is shown in a segment window or that editing holds pinned: such a segment must never
// be freed for a copy on disk.
bool segmentMustStay(const ConstructNode* node);
// Whether such a segment lies anywhere in memory from `head` on (outline copies included). True
// as well when the job is cancelled before the walk is through.
bool holdsSegmentThatMustStay(ConstructNode* head);
