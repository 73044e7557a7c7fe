// Buffered reading and writing of disk files and memory blocks, with
// optional text conversions on the way (OEM/ANSI, tabs, line ends).
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

// Conversion options, given at open.
enum BufferedFileOption : std::uint16_t {
    kOptOem = 0x0100,                // OEM character set in the file
    kOptCompressTabs = 0x0200,       // compress spaces to tabs when writing
    kOptExpandTabs = 0x0400,         // expand tabs to spaces when reading
    kOptNormaliseLineEnds = 0x0800,  // deliver every line end as CR LF
    kOptRemoveCr = 0x8000,           // drop every CR when writing
};

// State bits.
enum BufferedFileState : std::uint16_t {
    kStateDirectionMask = 0x07,
    kStateWriting = 0x01,   // the direction whose buffer holds bytes to be written
    kStateNotOwned = 0x08,  // closing does not close the handle
    kStateError = 0x10,     // set by any failure, never cleared
    kStateEnd = 0x20,       // the last buffer fill delivered nothing
    kStateMemory = 0x40,
    kStateNoHeader = 0x80,  // memory block without size header
};

// Memory-mode flags in the `mode` argument of openMemory.
enum MemoryMode : std::uint16_t {
    kMemCounting = 0x01,  // no block: writes only advance the position
    kMemNoHeader = 0x80,  // block without the 8-byte size header
};

constexpr std::uint32_t kBufferSize = 4096;
// The buffer of files written or read in many small pieces (enlargeBuffer).
constexpr std::uint32_t kLargeBufferSize = 256u * 1024;
constexpr std::uint32_t kMemHeaderSize = 8;

struct BufferedFile {
    platform::FileHandle handle;
    char driveLetter;
    unsigned char* bufferStart;
    unsigned char* cursor;
    std::int32_t filled;
    std::uint32_t capacity;
    std::int32_t column;
    std::int32_t pendingSpaces;
    std::uint16_t openMode;
    std::uint16_t options;
    std::uint16_t state;
    platform::OpenInfo openInfo;
    std::uint32_t locked;
    std::int32_t lockOffset;
    std::int32_t lockLength;
    platform::MemHandle memBlock;
    std::uint32_t memCapacity;
    std::uint32_t memEnd;
    std::uint32_t memHeader;
    unsigned char* memBase;
    std::uint32_t memPos;
    std::uint16_t lineEndState;
    std::int32_t tabWidth;
    std::int64_t filePos;  // file mode: position of the handle, kept to spare system calls
    unsigned char buffer[kBufferSize];
};

namespace bfile {

// Program-wide results read by the callers that word the messages.
// Open-error code: 0 after a successful open, the system's code after a
// failed one, 7 when a memory block cannot be locked, 22 for a lock request
// in the wrong state.
extern int g_openError;
// Drive letter of the last file closed (blank for memory mode).
extern char g_closeDrive;

BufferedFile* openFile(const char* path, platform::OpenInfo* openInfo, std::uint16_t mode,
                       std::uint16_t options);
BufferedFile* openMemory(platform::MemHandle block, std::uint32_t size, std::uint16_t mode,
                         std::uint16_t options);
// Flushes, unlocks, closes and frees. -1 if anything failed, earlier errors
// included, else 0.
int close(BufferedFile* file);
// Flushes and cuts the data at `length` (a memory stream is never
// lengthened); a position beyond the cut moves to it.
int truncate(BufferedFile* file, std::int32_t length);
// count < 0: a NUL-terminated string; null bytes: nothing. 0 or -1.
int write(BufferedFile* file, const void* bytes, std::int32_t count);
// write() of a small piece that fits the buffer, inline: `count` bytes at
// the end of a file being written, for the caller to fill at once; null when
// the file is not writing, has failed, or the buffer lacks the room (then
// write() takes the bytes). The bytes take every path write()'s would.
inline unsigned char* claim(BufferedFile* file, std::uint32_t count) {
    if (!file || (file->state & (kStateDirectionMask | kStateError)) != kStateWriting ||
        static_cast<std::uint32_t>(file->bufferStart + file->capacity - file->cursor) <= count)
        return nullptr;
    unsigned char* room = file->cursor;
    file->cursor += count;
    return room;
}
int writeUnsigned(BufferedFile* file, std::uint32_t value, int width);
int writeSigned(BufferedFile* file, std::int32_t value, int width);
// Bytes delivered, or -1 when the error bit is set at the end.
std::int32_t read(BufferedFile* file, void* buffer, std::int32_t count);
// read() with its common case inline: bytes already in the buffer of a file
// read without conversions.
inline std::int32_t readBuffered(BufferedFile* file, void* buffer, std::int32_t count) {
    if (file && count > 0 && (file->state & (kStateDirectionMask | kStateError)) == 0 &&
        !(file->options & (kOptExpandTabs | kOptNormaliseLineEnds)) &&
        file->bufferStart + file->filled - file->cursor >= count) {
        std::memcpy(buffer, file->cursor, static_cast<std::size_t>(count));
        file->cursor += count;
        return count;
    }
    return read(file, buffer, count);
}
int readUnsigned(BufferedFile* file, void* value, int valueWidth, int fileWidth);
int readSigned(BufferedFile* file, void* value, int valueWidth, int fileWidth);
// The logical position, or -1.
std::int32_t tell(BufferedFile* file);
int seek(BufferedFile* file, std::int32_t position);
int skip(BufferedFile* file, std::int32_t delta);
// Overwrites `count` bytes at `position` (a length patched after the data
// it measures) and comes back to the position it had: in the buffer when
// they are still there, else by a seek and a write. 0 or -1.
int patch(BufferedFile* file, std::int32_t position, const void* bytes, std::int32_t count);
// Gives the file a buffer of `size` bytes of its own (freed by close), for
// files written or read in many small pieces; pending bytes are written out
// first. 0, or -1 (the buffer stays as it was).
int enlargeBuffer(BufferedFile* file, std::uint32_t size);
// Copies `count` bytes from the position of `from` to that of `to`. Between
// two disk files without conversions the handles copy directly, in large
// pieces or by the system's own copy. 0, or -1 (the error bit of `to` set
// when writing failed).
int copy(BufferedFile* from, BufferedFile* to, std::uint32_t count);
inline bool hasError(const BufferedFile* file) {
    return !file || (file->state & kStateError);
}
bool atEnd(const BufferedFile* file);
int lock(BufferedFile* file, bool on);

}  // namespace bfile
