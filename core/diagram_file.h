// The native diagram file: telling diagrams, source texts and transfer
// files apart, the header and chunk format, reading every supported format
// version into a document, and the messages of that path.
//
// File layout
//   header  := edition code (3 characters + NUL) and format version
//              (3 characters + NUL, e.g. "6.3"); files of format 2.x and
//              older may start directly with the version
//   from "3.0": chunks up to the end of the data
//   chunk   := tag (4 ASCII characters), version (u16), length (u32,
//              without these 10 bytes), data
//   before "3.0": short info (from "2.1"), save time (from "2.4"), then the
//              element stream of the whole diagram
// The same layout is used for diagram data on the clipboard and in embedded
// objects, in a memory block with the 8-byte size header.
//
// Messages
//   A read that fails shows exactly one message (unless messages are off):
//   a refusal of the header, an unsupported tree version, or a structural
//   error. While the job-cancelled flag is set no structural error is shown:
//   the flag stays set for the command loop to report.
#pragma once

#include <cstdint>

#include "core/diagram_document.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Format constants

inline constexpr char kEditionCode[4] = {'V', 'R', 'D', 0};       // this edition
inline constexpr char kOlderEditionCode[4] = {'V', 'Q', ' ', 0};  // filled with a blank
inline constexpr char kOtherAcceptedCode[4] = {'Q', 'D', 'M', 0};
inline constexpr char kCurrentFormat[4] = {'6', '.', '3', 0};
inline constexpr char kMinimumFormat[4] = {'1', '.', '5', 0};
constexpr std::uint16_t kCurrentTreeVersion = 16;
constexpr std::uint16_t kMaxTreeVersion = 16;
constexpr int kSiblingEditionCount = 11;  // string ids 10000..10010
constexpr unsigned kSiblingEditionFirstId = 10000;
constexpr std::uint32_t kDiagramHeaderSize = 8;
constexpr std::uint32_t kChunkHeaderSize = 10;

// Options of loadFromMemory: eager segment bodies, keep the document
// information, new level ids, automatic labels.
constexpr std::uint32_t kMemoryLoadOptions = 0x3402;

// Chunk tags, four characters in file order.
struct ChunkTag {
    char c[4];
};
inline constexpr ChunkTag kTagShortInfo{{'K', 'I', 'N', 'F'}};
inline constexpr ChunkTag kTagDate{{'D', 'A', 'T', 'E'}};
inline constexpr ChunkTag kTagProgramVersion{{'P', 'V', 'E', 'R'}};
inline constexpr ChunkTag kTagEndOfInfo{{'E', 'N', 'D', 'I'}};
inline constexpr ChunkTag kTagFileOptions{{'F', 'O', 'P', 'T'}};
inline constexpr ChunkTag kTagLastLevelId{{'O', 'L', 'E', 'L'}};
inline constexpr ChunkTag kTagTree{{'T', 'R', 'E', 'E'}};
// Sub-chunks of FOPT.
inline constexpr ChunkTag kTagIfLayout{{'I', 'F', 'D', 'A'}};
inline constexpr ChunkTag kTagLevelNumbers{{'L', 'E', 'V', 'N'}};
inline constexpr ChunkTag kTagLineNumbers{{'L', 'I', 'N', 'N'}};
inline constexpr ChunkTag kTagLabels{{'L', 'A', 'B', 'L'}};
inline constexpr ChunkTag kTagMarks{{'M', 'A', 'R', 'K'}};
inline constexpr ChunkTag kTagColours{{'C', 'O', 'L', 'R'}};
inline constexpr ChunkTag kTagScreenFont{{'S', 'F', 'O', 'N'}};
inline constexpr ChunkTag kTagPrinterFont{{'P', 'F', 'O', 'N'}};

// The stored save time of DATE chunks below version 2 counts from another
// epoch: a negative value (as int32) has this added.
constexpr std::uint32_t kOldDateOffset = 2085892096u;

// Version strings (three characters and a NUL) compare as strings.
bool formatBelow(const char* version, const char* other);

// ---------------------------------------------------------------------------
// Detection and header

// What the data of `file` is: the first 4 bytes name this edition, the older
// edition, "QDM" or a sibling edition (a diagram, refused later when it is a
// sibling's), or start with a version without edition code (a diagram of
// format 2.x or older); the keyword "Korrin" directly followed by ':', ';'
// or '=' makes a transfer file; anything else is source text. Reads only the
// first 64 bytes and leaves the position undefined.
FileKind detectKind(BufferedFile* file);

// Reads the header at offset 0 into the document's editionCode,
// formatVersion and intWidth and checks it. 1 when accepted. 0 when
// refused, after showing the refusal for `sourceKind` (`name` is the file
// name in the file form) if `showMessages`; a header that cannot be read
// completely is refused without a message (the caller reports it as a
// structural error).
int checkHeader(DiagramDocument* document, BufferedFile* file, const char* name, SourceKind sourceKind,
                bool showMessages);

// ---------------------------------------------------------------------------
// Reading

// Reads header, information and tree from the open file of `source` into
// `document` (null: the current one), which is current meanwhile. `options`
// are the read options of the element stream (core/segment_source.h);
// under kReadKeepDocumentInfo the document's information, display options
// and stream format stay as they were. The data's edition code, format
// version, tree version and integer width are recorded in `source`.
// Returns 1 with the tree in `*root` (null for an empty tree); 0 after the
// message and with nothing left over.
int readDiagramTree(DiagramDocument* document, FileDescriptor* source, std::uint32_t options,
                    ConstructNode** root);
// The same, returning the root (null on failure and for an empty tree).
ConstructNode* readDiagram(DiagramDocument* document, FileDescriptor* source, std::uint32_t options);

// The whole open path over the open file of `source`: detects the kind
// (memory data is always read as a diagram), converts source texts (when a
// parser is configured) and transfer files through the import hook after
// the confirmation (unlocking the file first: a plug-in may read it by its
// name), or reads the diagram and releases the lock reading took. A tree of a format older than "3.0" or a
// tree version below 6 (and an empty tree) is wrapped into a new top segment. A diagram file read for a
// document of its own (sourceKind File, without kReadKeepDocumentInfo) then goes through the temporary-file
// step. Returns the root (one Level) or null; `source->kind` tells what the data was. The caller installs the
// root in the document and sets the document up for display.
ConstructNode* loadDocument(DiagramDocument* document, FileDescriptor* source, std::uint32_t options,
                            SourceKind sourceKind);

// Loads a diagram from a memory block with the 8-byte size header (the
// clipboard's, or an embedded object's with SourceKind::Embedded) with
// kMemoryLoadOptions. The block stays the caller's.
ConstructNode* loadFromMemory(DiagramDocument* document, platform::MemHandle block,
                              SourceKind sourceKind = SourceKind::Clipboard);

// A segment body of `document` could not be read from its segment source
// (the operation that needed it fails): "Structure diagram in %s contains
// a structural error." naming the document's own file, unless the job was
// cancelled (that is reported instead).
void reportUnloadableSegment(const DiagramDocument* document);

// ---------------------------------------------------------------------------
// Inserting and pasting

// When `root` is a Level, its body sequence takes its place (before the
// Level's successors, if any) and the Level is freed with its head. A Level
// whose body is not in memory is left as it is. Returns the new head.
ConstructNode* unwrapTopSegment(ConstructNode* root);

// Diagram data from the clipboard as the sequence to paste: loadFromMemory,
// then the top segment unwrapped. 1 with the sequence in `*sequence` (null
// when the top segment is empty); 0 after the message.
int readClipboardDiagram(DiagramDocument* document, platform::MemHandle block, ConstructNode** sequence);

// A file read as a sequence to insert into `document`: every body read now,
// new level ids, the document's information kept. A diagram's top segment
// is unwrapped; a diagram older than "3.0" or of tree version below 6 (which
// has none) gives its sequence as stored. Source texts and transfer files are converted as on
// opening. The file is closed again. 1 with the sequence in `*sequence`
// (null when empty); 0 after the message.
int insertDiagramFile(DiagramDocument* document, const char* path, ConstructNode** sequence);

// ---------------------------------------------------------------------------
// Documents over an open file

// Opens `path` for editing (openForEditing: read and write, others denied
// writing, locked while it is read; write-protected with `writeProtect` or
// after the questions of a file in use), loads it as the document's diagram
// with `options` and installs the root, replacing what the document held
// only once the new diagram has been read (level ids start afresh).
// A diagram file then goes through the temporary-file step (by default the
// whole diagram is written to a new temporary segment file, from which
// unloaded bodies are read). Afterwards the own file is closed or held open
// by the drive rule (settleOwnFile); without a temporary-file step it stays
// open as the segment source. 1 on success; 0 after the message, with the
// document as it was (its tree, information, files and segment source).
int openDocument(DiagramDocument* document, const char* path, std::uint32_t options = kReadKeepLineNumbers,
                 bool writeProtect = false);

// Frees the tree and the document information, closes and deletes the
// temporary segment file, closes the document's own file and the related
// files, and drops the segment source.
void closeDocument(DiagramDocument* document);

// Makes the open file of the document's own descriptor the segment source:
// bodies are read from it with the versions recorded in the descriptor.
void useOwnFileAsSegmentSource(DiagramDocument* document);

// Frees the short info and the save-time text.
void forgetDocumentInfo(DiagramDocument* document);

// ---------------------------------------------------------------------------
// Hooks (set by the application; null restores the default)

// Whether the confirmation before converting a file of `kind` (Source or
// Transfer) is switched off in the settings (SuppressSourceConvMsg,
// SuppressETFConvMsg in section Settings). Default: never.
using ConversionNoticeHook = bool (*)(FileKind kind);
ConversionNoticeHook setConversionNoticeHook(ConversionNoticeHook hook);

// An import by a parser plug-in (source text) or the transfer-file importer.
struct ImportRequest {
    DiagramDocument* document;
    FileDescriptor* source;  // the open file, its path and source kind
    std::uint32_t options;   // import flags: kReadKeepDocumentInfo (inserting), kReadNewLevelIds
    bool transfer;           // a transfer file (else a source text)
    int loadMode;            // kLoadModeInsert or kLoadModeOpen
};
constexpr int kLoadModeInsert = 0;  // the result becomes a sequence to insert
constexpr int kLoadModeOpen = 3;    // the result becomes a document
// Runs the import and returns the loaded tree, or null after its own
// messages. The tree it returns has every segment body in memory, unless
// the hook has made the document's segment source the file they lie in.
// `parserConfigured` tells whether the language configuration names a
// parser (ParseOptions Parser); without one source texts are read as
// diagrams. Default: no import at all.
struct ImportHooks {
    bool (*parserConfigured)() = nullptr;
    ConstructNode* (*runImport)(const ImportRequest& request) = nullptr;
};
ImportHooks setImportHooks(const ImportHooks& hooks);

// The step at the end of opening a diagram file that writes the whole
// diagram to a new temporary segment file and makes that the segment
// source (by default temporaryFileStep, core/segment_paging.h). 1 on
// success; 0 fails the open (after its own message). Null: no step; the
// document reads unloaded segment bodies from the file it was opened from
// (useOwnFileAsSegmentSource) when `source` is its own descriptor.
using TemporaryFileStep = int (*)(DiagramDocument* document, FileDescriptor* source, ConstructNode* root);
TemporaryFileStep setTemporaryFileStep(TemporaryFileStep step);
