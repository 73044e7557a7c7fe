// The segment source over a file, loading and paging out segment bodies,
// writing a whole diagram to a new temporary segment file, and committing
// or rolling back the segment offsets after a whole write.
//
// The segment source
//   Segment bodies that are not in memory are read from the document's
//   segment source: the dedicated temporary segment file (normally), or
//   the document's own file. The file must stay unchanged while any
//   LevelInfo `fileOffset` points into it; a new temporary file replaces
//   it as a whole, and the previous one is deleted only after the new one
//   is complete. A source file that is closed is opened for reading (others
//   may read and write) for the one call that needs it.
//
// Whole writes
//   Writing a whole diagram in stream mode 0 (the temporary file, the
//   generator's working copy) moves every segment's `fileOffset` into the
//   new file and marks serialised bodies as current there (0x11). On
//   success the offsets are committed (`readOffset` = `fileOffset`) and the
//   document's format becomes the one this edition writes; on failure they
//   are rolled back, and a segment that was changed in memory before the
//   write is marked changed again, so that the next save serialises it
//   instead of copying the stale block the rolled-back offset points to.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/diagram_document.h"

// ---------------------------------------------------------------------------
// The segment source

// The descriptor of the document's segment source when it is a file (the
// temporary file or the own file), else null. When its file is closed it
// is opened for reading and `*openedHere` is set: the caller gives it back
// with releaseSegmentSource.
FileDescriptor* segmentSource(DiagramDocument* document, bool* openedHere);
// Closes the file of `source` when it was opened for the call. 0 when that
// close failed.
int releaseSegmentSource(FileDescriptor* source, bool openedHere);

// Reads the body of the segment block at `offset` of the segment source
// (the body starts 12 bytes later) with the versions recorded in the
// source's descriptor; under kReadOutline in outline form. The document is
// current meanwhile. 1 with the body in `*body`; 0 with nothing left over.
// Installing the body and its flags is ensureLoaded's / ensureReadable's.
int loadSegmentBody(DiagramDocument* document, std::uint32_t offset, std::uint32_t readOptions,
                    ConstructNode** body);

// Makes `descriptor` (the document's own file or its temporary file) the
// segment source through `table` (the document's ownFileSource or
// tempFileSource).
void useFileAsSegmentSource(DiagramDocument* document, FileDescriptor* descriptor, SegmentSource* table);

// Pages the body of `level` out: only a Level whose body is loaded with a
// current file copy (0x11), that is not shown in a segment window (itself
// or through a segment inside it), and whose body holds no segment changed
// since its file copy. The body is reduced to its outline form in memory:
// segments, procedures, functions and action blocks stay (their heads in
// full, the rest of them in outline form), collected into one flat
// sequence in stream order; everything else is freed. Segments inside that
// were loaded are reduced too. The flags lose 0x01 and 0x10 and gain 0x02
// and 0x04. 1 when paged out; 0 when the rules keep the body (nothing is
// changed).
int pageOut(DiagramDocument* document, ConstructNode* level);

// ---------------------------------------------------------------------------
// Whole writes

// Every LevelInfo in the tree (bodies in memory included): readOffset =
// fileOffset; the document's format becomes "VRD" "6.3", tree version 16,
// 4-byte integers.
void commitSegmentOffsets(DiagramDocument* document, ConstructNode* root);
// Every LevelInfo: fileOffset = readOffset; a segment whose offset is then
// 0 loses 0x10.
void rollBackSegmentOffsets(ConstructNode* root);

// The segments changed in memory before a whole write.
struct WholeWrite {
    ConstructNode** changed;  // counting-allocator block, or null when none
    std::size_t count;
};
// Records the segments whose bodies are loaded and changed since their
// file copy. 0 when the record cannot be allocated (write nothing then).
int beginWholeWrite(ConstructNode* root, WholeWrite* write);
// Commits the offsets after a successful write, or rolls them back and
// marks the recorded segments changed again. Frees the record.
void finishWholeWrite(DiagramDocument* document, ConstructNode* root, WholeWrite* write, bool success);

// ---------------------------------------------------------------------------
// The temporary segment file

// Why a temporary file could not be written.
enum class TempFileFailure : std::uint8_t {
    None,
    Create,     // no unique file could be created or opened
    Write,      // a write, a copy or the flush failed
    DiskFull,   // ... on a full disk
    Cancelled,  // the job was cancelled (out of memory)
};

// Writes the whole diagram from `root` to a new temporary file (prefix
// "vrd") with stream mode `streamMode` (0: every segment gets its new
// offset): header, information chunks and the TREE chunk; blocks of bodies
// on disk are copied from the current segment source. On success the new
// file (kept open) is the segment source, and only then the previous
// temporary file is closed and deleted. On failure the new file is closed
// and deleted and everything stays as it was. Commits or rolls back the
// offsets. Returns the failure (None on success) and, in `path`, the
// temporary file's name when it got one. Shows nothing.
TempFileFailure writeTemporaryFileQuietly(DiagramDocument* document, ConstructNode* root,
                                          std::uint8_t streamMode, char path[kPathSize]);

// The same, with the messages: "Unable to open %s." when the file cannot
// be created, "Out of disk space (drive %s). Job cancelled." on a full
// disk, "Unable to write to %s." on any other write failure; nothing when
// the job was cancelled (the command loop reports that). 1 on success.
int writeTemporaryFile(DiagramDocument* document, ConstructNode* root, std::uint8_t streamMode = 0);

// The step at the end of opening a diagram file (setTemporaryFileStep):
// makes the file just read (the document's own file) the segment source
// and writes the temporary file from it in stream mode 0.
int temporaryFileStep(DiagramDocument* document, FileDescriptor* source, ConstructNode* root);

// Makes the complete native diagram file at `path` (the generator's working
// file, written in stream mode 0 with the segment offsets pointing into
// it) the document's temporary segment file: it is opened for reading,
// the previous temporary file is deleted and the offsets are committed. On
// failure the offsets are rolled back and `path` is deleted. 1 on success.
int adoptWorkingCopy(DiagramDocument* document, const char* path);

// Makes `file`, open for reading on the complete native diagram at `path`
// that the tree from `root` was just read from with its bodies left on
// disk (an imported tree file), the document's temporary segment file: the
// previous one is deleted and the offsets are committed. The document owns
// the file from then on and deletes it when it gives it up.
void adoptTemporaryFile(DiagramDocument* document, ConstructNode* root, const char* path, BufferedFile* file);

// Gives up the temporary file: closes it, deletes it when it is the
// editor's own, and drops the segment source over it.
void releaseTemporaryFile(DiagramDocument* document);

// The text of a drive for "Out of disk space (drive %s).": "C:" for a path
// on a drive, the server and share of a UNC path, else the path's root.
void driveText(const char* path, char* out, int size);
