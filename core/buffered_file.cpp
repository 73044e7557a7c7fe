// The buffered file layer: one 4096-byte buffer in front of a disk file or a
// movable memory block, with the text conversions of the generator and the
// transfer files on the way. The element stream uses it in raw mode, so the
// raw paths of read and write are plain copies into and out of the buffer.
#include "core/buffered_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "core/allocator.h"

static_assert(std::endian::native == std::endian::little, "integers are read and written little-endian");

namespace bfile {

int g_openError = 0;
char g_closeDrive = ' ';

namespace {

constexpr std::uint16_t kDirWrite = kStateWriting;
constexpr std::uint16_t kWriteOptions = kOptOem | kOptCompressTabs | kOptRemoveCr;
constexpr std::uint16_t kByteReadOptions = kOptExpandTabs | kOptNormaliseLineEnds;
constexpr std::int32_t kDefaultTabWidth = 8;
constexpr std::uint32_t kMinGrowStep = 4096;
constexpr std::uint32_t kMaxGrowStep = 65536;
constexpr std::uint16_t kErrBadState = 22;  // lock request in the wrong state
constexpr std::uint16_t kErrNoBlock = 7;    // memory block cannot be locked
constexpr unsigned char kTab = 9, kLf = 10, kCr = 13, kBlank = 32;

bool writing(const BufferedFile* f) {
    return (f->state & kStateDirectionMask) == kDirWrite;
}
bool isMemory(const BufferedFile* f) {
    return (f->state & kStateMemory) != 0;
}
std::int32_t tabWidthOf(const BufferedFile* f) {
    return f->tabWidth > 0 ? f->tabWidth : kDefaultTabWidth;
}

void setError(BufferedFile* f) {
    f->state |= kStateError;
}

std::uint32_t buffered(const BufferedFile* f) {
    return static_cast<std::uint32_t>(f->cursor - f->bufferStart);
}
std::uint32_t unread(const BufferedFile* f) {
    return static_cast<std::uint32_t>(f->bufferStart + f->filled - f->cursor);
}

// Position of the handle or of the memory stream (after the header).
std::int64_t rawPos(const BufferedFile* f) {
    return isMemory(f) ? std::int64_t{f->memPos} : f->filePos;
}

bool setRawPos(BufferedFile* f, std::int64_t pos) {
    if (pos < 0 || pos > std::numeric_limits<std::int32_t>::max()) return false;
    if (isMemory(f)) {
        f->memPos = static_cast<std::uint32_t>(pos);
        return true;
    }
    std::int64_t got = platform::seekFile(f->handle, pos, platform::SeekOrigin::begin);
    if (got < 0) return false;
    f->filePos = got;
    return true;
}

// Asks the handle where it stands after a failed transfer.
void resyncFilePos(BufferedFile* f) {
    if (isMemory(f)) return;
    std::int64_t got = platform::seekFile(f->handle, 0, platform::SeekOrigin::current);
    if (got >= 0) f->filePos = got;
}

void resetBuffer(BufferedFile* f) {
    f->cursor = f->bufferStart;
    f->filled = 0;
    f->column = 0;
    f->pendingSpaces = 0;
}

// Gives back the bytes read ahead: the buffer is emptied and the handle goes
// back to the logical position. False, with the file marked failed, when
// the handle cannot be put there.
bool dropReadAhead(BufferedFile* f) {
    const std::int64_t at = rawPos(f) - unread(f);
    resetBuffer(f);
    if (setRawPos(f, at)) return true;
    resyncFilePos(f);
    setError(f);
    return false;
}

// ---------------------------------------------------------------------------
// Memory blocks

bool growBlock(BufferedFile* f, std::uint64_t needed) {
    std::uint32_t step = std::clamp(f->memCapacity, kMinGrowStep, kMaxGrowStep);
    std::uint64_t wanted = std::max<std::uint64_t>(std::uint64_t{f->memCapacity} + step, needed);
    if (wanted > std::numeric_limits<std::uint32_t>::max())
        wanted = std::numeric_limits<std::uint32_t>::max();
    if (wanted < needed) return false;
    auto newCapacity = static_cast<std::uint32_t>(wanted);
    platform::memBlockUnlock(f->memBlock);
    f->memBase = nullptr;
    platform::MemHandle grown = platform::memBlockReAlloc(f->memBlock, newCapacity);
    if (grown) {
        f->memBlock = grown;
        f->memCapacity = newCapacity;
    }
    // On a failed growth the old block stays the caller's, with its contents.
    f->memBase = static_cast<unsigned char*>(platform::memBlockLock(f->memBlock));
    if (!f->memBase) f->memCapacity = 0;
    return grown && f->memBase;
}

bool memWrite(BufferedFile* f, const unsigned char* data, std::uint32_t count) {
    std::uint64_t start = std::uint64_t{f->memPos} + f->memHeader;
    std::uint64_t needed = start + count;
    if (needed > std::numeric_limits<std::uint32_t>::max()) return false;
    if (!f->memBlock) {  // counting stream
        f->memPos += count;
        f->memEnd = std::max(f->memEnd, static_cast<std::uint32_t>(needed));
        return true;
    }
    bool complete = true;
    if (needed > f->memCapacity) complete = growBlock(f, needed);
    if (!f->memBase) return false;
    std::uint64_t fits =
        needed <= f->memCapacity ? count : (start < f->memCapacity ? f->memCapacity - start : 0);
    if (fits == 0) return complete && count == 0;
    // A write after a seek beyond the end: the gap reads as zeros.
    if (start > f->memEnd)
        std::memset(f->memBase + f->memEnd, 0, static_cast<std::size_t>(start - f->memEnd));
    std::memcpy(f->memBase + start, data, static_cast<std::size_t>(fits));
    f->memPos += static_cast<std::uint32_t>(fits);
    f->memEnd = std::max(f->memEnd, static_cast<std::uint32_t>(start + fits));
    return complete && fits == count;
}

std::int32_t memRead(BufferedFile* f, unsigned char* out, std::uint32_t count) {
    if (!f->memBase) return -1;
    // At the end there is nothing to deliver; a position beyond it (a seek
    // there is accepted) fails.
    std::uint64_t start = std::uint64_t{f->memPos} + f->memHeader;
    if (start > f->memEnd) return -1;
    if (start == f->memEnd) return 0;
    auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(f->memEnd - start, count));
    std::memcpy(out, f->memBase + start, n);
    f->memPos += n;
    return static_cast<std::int32_t>(n);
}

// ---------------------------------------------------------------------------
// Writing

// Space compression in place over buf[0..count); returns the new length.
// `column` is the position within the current tab cell, `pendingSpaces` the
// blanks at the end of the output that belong to that cell.
std::uint32_t compressSpaces(BufferedFile* f, unsigned char* buf, std::uint32_t count) {
    const std::int32_t width = tabWidthOf(f);
    std::int32_t column = f->column;
    std::int32_t run = 0;
    std::uint32_t out = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        unsigned char b = buf[i];
        if (b == kTab) {
            out -= static_cast<std::uint32_t>(run);  // blanks before a TAB vanish into it
            buf[out++] = b;
            column = 0;
            run = 0;
        } else if (b == kCr || b == kLf) {
            buf[out++] = b;
            column = 0;
            run = 0;
        } else {
            run = b == kBlank ? run + 1 : 0;
            if (++column < width) {
                buf[out++] = b;
                continue;
            }
            if (run >= 2) {
                out -= static_cast<std::uint32_t>(run - 1);
                buf[out++] = kTab;
            } else {
                buf[out++] = b;
            }
            column = 0;
            run = 0;
        }
    }
    f->column = column;
    f->pendingSpaces = run;
    return out;
}

bool putOut(BufferedFile* f, const unsigned char* data, std::uint32_t count) {
    if (count == 0) return true;
    if (isMemory(f)) return memWrite(f, data, count);
    std::int32_t n = platform::writeFile(f->handle, data, count);
    if (n > 0) f->filePos += n;
    if (n != static_cast<std::int32_t>(count)) {
        resyncFilePos(f);
        return false;
    }
    return true;
}

// Writes the buffer out. A partial flush (the buffer ran full) holds back a
// trailing run of blanks under space compression so that it can still become
// a TAB together with the bytes that follow. Out of the write direction the
// buffer is dropped.
int flush(BufferedFile* f, bool final) {
    if (!writing(f)) {
        resetBuffer(f);
        return 0;
    }
    std::uint32_t count = buffered(f);
    f->cursor = f->bufferStart;
    if (f->state & kStateError) return -1;
    unsigned char* buf = f->bufferStart;
    std::uint32_t held = 0;
    if (f->options & kWriteOptions) {
        if (f->options & kOptOem) platform::ansiToOem(reinterpret_cast<char*>(buf), count);
        if (f->options & kOptRemoveCr)
            count = static_cast<std::uint32_t>(std::remove(buf, buf + count, kCr) - buf);
        if (f->options & kOptCompressTabs) {
            count = compressSpaces(f, buf, count);
            if (!final) held = static_cast<std::uint32_t>(f->pendingSpaces);
            f->column -= static_cast<std::int32_t>(held);
            f->pendingSpaces = 0;
        }
    }
    count -= held;
    bool ok = putOut(f, buf, count);
    if (held) {
        std::memset(buf, kBlank, held);
        f->cursor = buf + held;
    }
    if (!ok) {
        setError(f);
        return -1;
    }
    return 0;
}

// Leaves the read direction for writing: the handle goes back to the logical
// position, so the bytes read ahead into the buffer are not skipped.
int startWriting(BufferedFile* f) {
    if (!writing(f)) {
        std::int64_t logical = rawPos(f) - unread(f);
        bool reposition = unread(f) != 0;
        resetBuffer(f);
        f->lineEndState = 0;
        if (reposition && !setRawPos(f, logical)) {
            setError(f);
            return -1;
        }
        f->state = static_cast<std::uint16_t>((f->state & ~kStateDirectionMask) | kDirWrite);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Reading

bool mayRead(const BufferedFile* f) {
    if (isMemory(f)) return f->memBase != nullptr;
    return (f->openMode & platform::kAccessMask) != platform::kOpenWrite;
}

// Reads up to `count` bytes from the file or the block; sets the error bit
// on a failure and the end bit when nothing came. Bytes read, or -1.
std::int32_t takeIn(BufferedFile* f, unsigned char* dst, std::uint32_t count) {
    if (f->state & kStateError) return -1;
    std::int32_t n;
    if (isMemory(f)) {
        n = memRead(f, dst, count);
    } else {
        n = platform::readFile(f->handle, dst, count);
        if (n > 0) f->filePos += n;
        if (n < 0) resyncFilePos(f);
    }
    if (n < 0) {
        setError(f);
        return -1;
    }
    if (n == 0) {
        f->state |= kStateEnd;
        return 0;
    }
    f->state &= static_cast<std::uint16_t>(~kStateEnd);
    if (f->options & kOptOem) platform::oemToAnsi(reinterpret_cast<char*>(dst), static_cast<std::size_t>(n));
    return n;
}

// Refills the buffer; false at the end or on an error.
bool fill(BufferedFile* f) {
    f->cursor = f->bufferStart;
    f->filled = 0;
    std::int32_t n = takeIn(f, f->bufferStart, f->capacity);
    if (n <= 0) return false;
    f->filled = n;
    return true;
}

int startReading(BufferedFile* f) {
    if (writing(f)) {
        int rc = flush(f, true);
        resetBuffer(f);
        f->state &= static_cast<std::uint16_t>(~kStateDirectionMask);
        if (rc < 0) return -1;
    }
    return 0;
}

// Reading with tab expansion or line-end normalisation, byte by byte.
std::int32_t readConverted(BufferedFile* f, unsigned char* out, std::int32_t count) {
    const bool expand = (f->options & kOptExpandTabs) != 0;
    const bool normalise = (f->options & kOptNormaliseLineEnds) != 0;
    const std::int32_t width = tabWidthOf(f);
    std::int32_t done = 0;
    while (done < count) {
        if (f->pendingSpaces <= 0 && f->cursor >= f->bufferStart + f->filled && !fill(f)) {
            // A line end cut off by the end of the data still arrives whole.
            if (!(f->state & kStateError) && normalise && f->lineEndState != 0) {
                out[done++] = kLf;
                f->lineEndState = 0;
                continue;
            }
            break;
        }
        if (f->pendingSpaces > 0) {
            --f->pendingSpaces;
            out[done++] = kBlank;
            continue;
        }
        unsigned char b = *f->cursor;
        if (b != kCr && b != kLf) {
            if (normalise && f->lineEndState != 0) {
                out[done++] = kLf;
                f->lineEndState = 0;
                continue;
            }
            ++f->cursor;
            if (b == kTab && expand) {
                f->pendingSpaces = width - f->column - 1;
                f->column = 0;
                out[done++] = kBlank;
                continue;
            }
            // Only the column within the tab cell matters.
            if (++f->column >= width) f->column = 0;
            out[done++] = b;
            continue;
        }
        f->column = 0;
        if (!normalise) {
            ++f->cursor;
            out[done++] = b;
            continue;
        }
        switch (f->lineEndState) {
            case 0:
                ++f->cursor;
                out[done++] = kCr;
                f->lineEndState = b == kCr ? 1 : 2;
                break;
            case 1:
                if (b == kLf) ++f->cursor;  // CR LF; a second CR starts a new line end
                out[done++] = kLf;
                f->lineEndState = 0;
                break;
            default:
                if (b == kCr) ++f->cursor;  // LF CR; a second LF starts a new line end
                out[done++] = kLf;
                f->lineEndState = 0;
                break;
        }
    }
    return done;
}

int readBytes(BufferedFile* f, unsigned char* out, int count) {
    return read(f, out, count) == count ? 0 : -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Opening and closing

namespace {
BufferedFile* newFile(std::uint16_t mode, std::uint16_t options) {
    auto* f = static_cast<BufferedFile*>(memAlloc(sizeof(BufferedFile)));
    if (!f) return nullptr;
    f->handle = platform::kInvalidFile;
    f->driveLetter = ' ';
    f->bufferStart = f->buffer;
    f->cursor = f->buffer;
    f->capacity = kBufferSize;
    f->openMode = mode;
    f->options = options;
    f->tabWidth = kDefaultTabWidth;
    return f;
}
}  // namespace

BufferedFile* openFile(const char* path, platform::OpenInfo* openInfo, std::uint16_t mode,
                       std::uint16_t options) {
    platform::OpenInfo scratch{};
    if (!openInfo) openInfo = &scratch;
    // The object first: a create must not empty the file and then fail.
    BufferedFile* f = newFile(mode, options);
    if (!f) {
        g_openError = platform::kErrNotEnoughMemory;
        return nullptr;
    }
    platform::FileHandle h = platform::openFile(path, openInfo, mode);
    if (h == platform::kInvalidFile) {
        g_openError = openInfo->errorCode ? int{openInfo->errorCode} : int{platform::kErrFileNotFound};
        memFree(f);
        return nullptr;
    }
    f->handle = h;
    f->openInfo = *openInfo;
    f->driveLetter = openInfo->pathName[0] ? openInfo->pathName[0] : ' ';
    g_openError = 0;
    return f;
}

BufferedFile* openMemory(platform::MemHandle block, std::uint32_t size, std::uint16_t mode,
                         std::uint16_t options) {
    BufferedFile* f = newFile(mode, options);
    if (!f) {
        g_openError = platform::kErrNotEnoughMemory;
        return nullptr;
    }
    f->state = kStateMemory;
    const bool header = !(mode & kMemNoHeader);
    if (!header) f->state |= kStateNoHeader;
    f->memHeader = header ? kMemHeaderSize : 0;
    if (mode & kMemCounting) {
        f->memEnd = f->memHeader;
        g_openError = 0;
        return f;
    }
    f->memBase = block ? static_cast<unsigned char*>(platform::memBlockLock(block)) : nullptr;
    if (!f->memBase) {
        g_openError = kErrNoBlock;
        memFree(f);
        return nullptr;
    }
    f->memBlock = block;
    // The block's real size bounds everything a header or a caller claims.
    const std::uint32_t real = platform::memBlockSize(block);
    if (header) {
        if (size != 0) {
            f->memCapacity = std::min(size, real);
            f->memEnd = kMemHeaderSize;
        } else if (real < kMemHeaderSize) {
            f->memCapacity = real;
            f->memEnd = kMemHeaderSize;  // no header, so no data to read
        } else {
            std::uint32_t capacity, end;
            std::memcpy(&capacity, f->memBase, 4);
            std::memcpy(&end, f->memBase + 4, 4);
            f->memCapacity = std::clamp(capacity, kMemHeaderSize, real);
            f->memEnd = std::clamp(end, kMemHeaderSize, f->memCapacity);
        }
        // Room for the header that close writes.
        if (f->memCapacity < kMemHeaderSize && !growBlock(f, kMemHeaderSize)) {
            if (f->memBase) platform::memBlockUnlock(f->memBlock);
            g_openError = kErrNoBlock;
            memFree(f);
            return nullptr;
        }
    } else {
        f->memCapacity = std::min(size ? size : 16u, real);
        f->memEnd = std::min(size, real);
    }
    g_openError = 0;
    return f;
}

int close(BufferedFile* file) {
    if (!file) return -1;
    BufferedFile* f = file;
    int rc = (f->state & kStateError) ? -1 : 0;
    if (writing(f) && flush(f, true) < 0) rc = -1;
    if (isMemory(f)) {
        if (f->memBase) {
            if (f->memHeader && f->memCapacity >= kMemHeaderSize) {
                std::memcpy(f->memBase, &f->memCapacity, 4);
                std::memcpy(f->memBase + 4, &f->memEnd, 4);
            }
            platform::memBlockUnlock(f->memBlock);
        }
    } else {
        if (f->locked && !platform::unlockFile(f->handle, static_cast<std::uint32_t>(f->lockOffset),
                                               static_cast<std::uint32_t>(std::max(f->lockLength, 1))))
            rc = -1;
        if (!(f->state & kStateNotOwned) && !platform::closeFile(f->handle)) rc = -1;
    }
    g_closeDrive = f->driveLetter;
    if (f->bufferStart != f->buffer) memFree(f->bufferStart);
    memFree(f);
    return rc;
}

int truncate(BufferedFile* file, std::int32_t length) {
    if (!file) return -1;
    BufferedFile* f = file;
    std::int32_t logical = tell(f);
    if (length < 0 || logical < 0) {
        setError(f);
        return -1;
    }
    if (flush(f, true) < 0) return -1;
    resetBuffer(f);
    std::int32_t pos = std::min(logical, length);
    if (isMemory(f)) {
        std::uint64_t end = std::uint64_t{f->memHeader} + static_cast<std::uint32_t>(length);
        if (end < f->memEnd) f->memEnd = static_cast<std::uint32_t>(end);
        f->memPos = static_cast<std::uint32_t>(pos);
        return 0;
    }
    if (!setRawPos(f, length) || !platform::truncateFile(f->handle) || !setRawPos(f, pos)) {
        resyncFilePos(f);
        setError(f);
        return -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Writing

int write(BufferedFile* file, const void* bytes, std::int32_t count) {
    if (!file) return -1;
    BufferedFile* f = file;
    if (!writing(f) && startWriting(f) < 0) return -1;
    if (f->state & kStateError) return -1;
    if (!bytes) return 0;
    std::size_t left =
        count < 0 ? std::strlen(static_cast<const char*>(bytes)) : static_cast<std::size_t>(count);
    auto* src = static_cast<const unsigned char*>(bytes);
    if (left >= f->capacity && f->cursor == f->bufferStart && !(f->options & kWriteOptions)) {
        // Whole buffers' worth go straight out.
        std::size_t direct = left - left % f->capacity;
        if (direct > std::numeric_limits<std::int32_t>::max())
            direct = std::numeric_limits<std::int32_t>::max() - kBufferSize + 1;
        if (!putOut(f, src, static_cast<std::uint32_t>(direct))) {
            setError(f);
            return -1;
        }
        src += direct;
        left -= direct;
    }
    for (;;) {
        auto space = static_cast<std::size_t>(f->bufferStart + f->capacity - f->cursor);
        if (left < space) {
            std::memcpy(f->cursor, src, left);
            f->cursor += left;
            return 0;
        }
        std::memcpy(f->cursor, src, space);
        f->cursor += space;
        src += space;
        left -= space;
        if (flush(f, false) < 0) return -1;
        if (left == 0) return 0;
    }
}

int writeUnsigned(BufferedFile* file, std::uint32_t value, int width) {
    if (width < 1 || width > 4) return -1;
    unsigned char bytes[4] = {0, 0, 0, 0};
    for (int i = 0; i < width; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return write(file, bytes, 4);
}

int writeSigned(BufferedFile* file, std::int32_t value, int width) {
    if (width < 1 || width > 4) return -1;
    auto bits = static_cast<std::uint32_t>(value);
    unsigned char bytes[4];
    for (int i = 0; i < width; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
    unsigned char fill = (bytes[width - 1] & 0x80) ? 0xFF : 0x00;
    for (int i = width; i < 4; ++i) bytes[i] = fill;
    return write(file, bytes, 4);
}

// ---------------------------------------------------------------------------
// Reading

std::int32_t read(BufferedFile* file, void* buffer, std::int32_t count) {
    if (!file) return -1;
    BufferedFile* f = file;
    if (startReading(f) < 0) return -1;
    if (count <= 0 || !buffer) return (f->state & kStateError) ? -1 : 0;
    auto* out = static_cast<unsigned char*>(buffer);
    std::int32_t done;
    if (f->options & kByteReadOptions) {
        done = readConverted(f, out, count);
    } else {
        done = 0;
        while (done < count) {
            std::uint32_t avail = unread(f);
            if (avail == 0) {
                // Whole buffers' worth go straight to the caller.
                auto left = static_cast<std::uint32_t>(count - done);
                if (left >= f->capacity) {
                    f->cursor = f->bufferStart;
                    f->filled = 0;
                    std::int32_t n = takeIn(f, out + done, left - left % f->capacity);
                    if (n <= 0) break;
                    done += n;
                    continue;
                }
                if (!fill(f)) break;
                avail = unread(f);
            }
            std::uint32_t n = std::min(avail, static_cast<std::uint32_t>(count - done));
            std::memcpy(out + done, f->cursor, n);
            f->cursor += n;
            done += static_cast<std::int32_t>(n);
        }
    }
    return (f->state & kStateError) ? -1 : done;
}

namespace {
// Reads `fileWidth` bytes into a value of `valueWidth` bytes; `fill` gives
// the byte that widens the value and that every surplus file byte must equal.
int readInteger(BufferedFile* file, void* value, int valueWidth, int fileWidth, bool sign) {
    if (!file || !value || valueWidth < 1 || valueWidth > 8 || fileWidth < 1 || fileWidth > 8) return -1;
    unsigned char bytes[8] = {};
    if (readBytes(file, bytes, fileWidth) < 0) return -1;
    int kept = std::min(valueWidth, fileWidth);
    unsigned char fill = sign && (bytes[kept - 1] & 0x80) ? 0xFF : 0x00;
    unsigned char result[8];
    std::memcpy(result, bytes, static_cast<std::size_t>(kept));
    std::memset(result + kept, fill, static_cast<std::size_t>(8 - kept));
    std::memcpy(value, result, static_cast<std::size_t>(valueWidth));
    for (int i = kept; i < fileWidth; ++i)
        if (bytes[i] != fill) return -1;
    return 0;
}
}  // namespace

int readUnsigned(BufferedFile* file, void* value, int valueWidth, int fileWidth) {
    return readInteger(file, value, valueWidth, fileWidth, false);
}

int readSigned(BufferedFile* file, void* value, int valueWidth, int fileWidth) {
    return readInteger(file, value, valueWidth, fileWidth, true);
}

// ---------------------------------------------------------------------------
// Positioning

std::int32_t tell(BufferedFile* file) {
    if (!file) return -1;
    // CR removal and space compression shorten the pending bytes: write them
    // out so that the position is the one a later seek finds again.
    if (writing(file) && (file->options & (kOptRemoveCr | kOptCompressTabs)) && buffered(file) != 0) {
        if (flush(file, true) < 0) return -1;
    }
    std::int64_t pos = writing(file) ? rawPos(file) + buffered(file) : rawPos(file) - unread(file);
    if (pos < 0 || pos > std::numeric_limits<std::int32_t>::max()) return -1;
    return static_cast<std::int32_t>(pos);
}

int seek(BufferedFile* file, std::int32_t position) {
    if (!file) return -1;
    BufferedFile* f = file;
    if (writing(f)) {
        // The pending bytes are compressed from the column they were written at.
        if (flush(f, true) < 0) return -1;
        resetBuffer(f);
        f->lineEndState = 0;
        if (position < 0 || !setRawPos(f, position)) {
            if (isMemory(f))
                f->memPos = 0;
            else
                resyncFilePos(f);
            setError(f);
            return -1;
        }
        return 0;
    }
    f->lineEndState = 0;
    f->column = 0;
    f->pendingSpaces = 0;
    std::int64_t end = rawPos(f);
    std::int64_t start = end - f->filled;
    if (f->filled > 0 && position >= start && position <= end) {
        f->cursor = f->bufferStart + (position - start);
        return 0;
    }
    resetBuffer(f);
    if (position < 0 || !setRawPos(f, position)) {
        if (isMemory(f))
            f->memPos = 0;
        else
            resyncFilePos(f);
        setError(f);
        return -1;
    }
    // A memory position beyond the end is accepted; reading there fails.
    const bool beyondEnd = isMemory(f) && std::int64_t{position} + f->memHeader > f->memEnd;
    if (mayRead(f) && !beyondEnd && !fill(f) && (f->state & kStateError)) return -1;
    return 0;
}

int skip(BufferedFile* file, std::int32_t delta) {
    std::int32_t here = tell(file);
    if (here < 0) {
        if (file) file->state |= kStateError;
        return -1;
    }
    std::int64_t target = std::int64_t{here} + delta;
    // In a memory stream a relative position must stay within the data.
    std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    if (isMemory(file)) limit = std::max<std::int64_t>(std::int64_t{file->memEnd} - file->memHeader, here);
    if (target < 0 || target > limit) {
        seek(file, -1);
        return -1;
    }
    return seek(file, static_cast<std::int32_t>(target));
}

int patch(BufferedFile* file, std::int32_t position, const void* bytes, std::int32_t count) {
    if (!file || !bytes || count < 0 || position < 0) return -1;
    BufferedFile* f = file;
    // Bytes still in the buffer are changed there.
    if (writing(f) && !(f->options & kWriteOptions) && !(f->state & kStateError)) {
        const std::int64_t start = rawPos(f);
        if (position >= start && position + std::int64_t{count} <= start + buffered(f)) {
            std::memcpy(f->bufferStart + (position - start), bytes, static_cast<std::size_t>(count));
            return 0;
        }
    }
    const std::int32_t here = tell(f);
    if (here < 0 || seek(f, position) < 0 || write(f, bytes, count) < 0 || seek(f, here) < 0) return -1;
    return 0;
}

int enlargeBuffer(BufferedFile* file, std::uint32_t size) {
    if (!file) return -1;
    BufferedFile* f = file;
    if (size <= f->capacity) return 0;
    // Pending bytes go out first; bytes read ahead are read again.
    if (writing(f)) {
        if (flush(f, true) < 0) return -1;
    } else if (f->filled != 0 && !dropReadAhead(f)) {
        return -1;
    }
    auto* block = static_cast<unsigned char*>(memAlloc(size));
    if (!block) return -1;
    if (f->bufferStart != f->buffer) memFree(f->bufferStart);
    f->bufferStart = f->cursor = block;
    f->capacity = size;
    return 0;
}

int copy(BufferedFile* from, BufferedFile* to, std::uint32_t count) {
    if (!from || !to || from == to) return -1;
    const bool rawFiles = !isMemory(from) && !isMemory(to) &&
                          !(from->options & (kByteReadOptions | kOptOem)) && !(to->options & kWriteOptions);
    if (!rawFiles) {
        // Through both buffers, with their conversions.
        unsigned char piece[kBufferSize];
        while (count > 0) {
            const std::uint32_t n = std::min<std::uint32_t>(count, kBufferSize);
            if (read(from, piece, static_cast<std::int32_t>(n)) != static_cast<std::int32_t>(n) ||
                write(to, piece, static_cast<std::int32_t>(n)) < 0)
                return -1;
            count -= n;
        }
        return 0;
    }
    // Handle to handle: the source's handle goes back to its logical
    // position, the destination's pending bytes go out first.
    if (startReading(from) < 0 || (from->state & kStateError) || !dropReadAhead(from)) return -1;
    if (startWriting(to) < 0 || flush(to, true) < 0) return -1;
    const std::int64_t copied = platform::copyFileData(from->handle, to->handle, count);
    if (copied != static_cast<std::int64_t>(count)) {
        resyncFilePos(from);
        resyncFilePos(to);
        if (copied >= 0) from->state |= kStateEnd;
        setError(to);
        return -1;
    }
    from->filePos += count;
    to->filePos += count;
    return 0;
}

bool atEnd(const BufferedFile* file) {
    return !file || (file->state & kStateEnd);
}

// ---------------------------------------------------------------------------
// Locking

int lock(BufferedFile* file, bool on) {
    if (!file) return -1;
    BufferedFile* f = file;
    if (isMemory(f)) return 0;
    // The position to come back to: after the pending bytes, which a
    // conversion may have shortened, or before the bytes read ahead.
    std::int64_t here;
    if (writing(f)) {
        if (flush(f, true) < 0) return -1;
        here = rawPos(f);
    } else {
        here = rawPos(f) - unread(f);
        resetBuffer(f);
    }
    int rc = 0;
    if (on) {
        if (f->locked) {
            g_openError = kErrBadState;
            rc = -1;
        } else {
            std::int64_t length = platform::seekFile(f->handle, 0, platform::SeekOrigin::end);
            if (length < 0) {
                g_openError = platform::lastError();
                rc = -1;
            } else {
                length = std::min<std::int64_t>(length, std::numeric_limits<std::int32_t>::max());
                auto span = static_cast<std::uint32_t>(std::max<std::int64_t>(length, 1));
                if (platform::lockFile(f->handle, 0, span)) {
                    f->locked = 1;
                    f->lockOffset = 0;
                    f->lockLength = static_cast<std::int32_t>(length);
                } else {
                    g_openError = platform::lastError();
                    rc = -1;
                }
            }
        }
    } else if (!f->locked) {
        g_openError = kErrBadState;
        rc = -1;
    } else if (platform::unlockFile(f->handle, static_cast<std::uint32_t>(f->lockOffset),
                                    static_cast<std::uint32_t>(std::max(f->lockLength, 1)))) {
        f->locked = 0;
    } else {
        g_openError = platform::lastError();
        rc = -1;
    }
    if (!setRawPos(f, here)) {
        resyncFilePos(f);
        setError(f);
        return -1;
    }
    return rc;
}

}  // namespace bfile
