// Where segment bodies that are not in memory come from.
//
// A segment body that stays on disk is read on demand from the document's
// segment source (normally the temporary segment file) at its LevelInfo
// `fileOffset`. The node tree only asks for a body; the saving and paging
// code implements the reading over the element stream.
#pragma once

#include <cstdint>

struct BufferedFile;
struct ConstructNode;
struct DiagramDocument;

// Read options of the element stream reader (a bit set). The segment loader
// passes them through to the reader.
enum ReadOption : std::uint32_t {
    kReadKeepLineNumbers = 0x0001,     // keep lineNumber; without it every lineNumber read is 0
    kReadAllBodies = 0x0002,           // read every segment body now instead of leaving it on disk
    kReadOutline = 0x0020,             // (segment loading only) read the body in outline form
    kReadLineNumbersInvalid = 0x0080,  // lineNumber = 0, every Level read gets flag 0x20
    kReadKeepDocumentInfo = 0x0400,    // do not take over the stored document information
    kReadNewLevelIds = 0x1000,         // every segment gets a new level id
    kReadAutoLabels = 0x2000,          // apply the automatic-label settings
};

struct SegmentSource {
    void* context;

    // Reads the body of `level` from the segment block at `offset` (the block
    // header is 12 bytes; the body sequence starts at `offset + 12`) with the
    // read options `readOptions` (kReadOutline: outline form), for the
    // document `document`.
    //
    // Returns 1 and the body's head in `*body` (null for an empty body) on
    // success; 0 on failure, with `*body` holding whatever part of the
    // sequence was built (the caller frees it) or null. The function must
    // not store the body into the LevelInfo or change the segment flags: the
    // caller does both.
    int (*loadBody)(void* context, DiagramDocument* document, ConstructNode* level, std::uint32_t offset,
                    std::uint32_t readOptions, ConstructNode** body);

    // The open file that holds the segment blocks, so that the element
    // stream writer can copy a block byte for byte. `*openedHere` is set when
    // the file was opened for this call. Every file handed out goes back
    // through releaseFile. Null (function or result): no file available.
    BufferedFile* (*acquireFile)(void* context, DiagramDocument* document, bool* openedHere) = nullptr;
    // Gives back a file of acquireFile, closing it when it was opened for
    // that call. 0 when closing failed.
    int (*releaseFile)(void* context, DiagramDocument* document, BufferedFile* file,
                       bool openedHere) = nullptr;

    // Pages the segment out again after the writer loaded its body only to
    // write it. Null: nothing is freed, the body stays loaded.
    void (*pageOut)(void* context, DiagramDocument* document, ConstructNode* level) = nullptr;
};
