// The one seam between the portable code and the operating system.
//
// Every function here has a Win32 implementation (platform/win32) over the
// real API and a POSIX stand-in (platform/posix) that follows the observable
// Win32 behaviour; the same tests run against both. Return conventions follow
// the rest of the system: true/non-negative for success, false/-1 for failure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// ---------------------------------------------------------------------------
// Files

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

// Open mode flags, the values of the OpenFile call.
enum OpenMode : std::uint16_t {
    kOpenRead = 0x0000,
    kOpenWrite = 0x0001,
    kOpenReadWrite = 0x0002,
    kAccessMask = 0x0003,
    kShareCompat = 0x0000,
    kShareExclusive = 0x0010,
    kShareDenyWrite = 0x0020,
    kShareDenyRead = 0x0030,
    kShareDenyNone = 0x0040,
    kShareMask = 0x0070,
    kOpenCreate = 0x1000,  // create or truncate to empty
};

// System error codes used in open-error codes (Win32 values on every build).
enum SystemError : std::uint16_t {
    kErrNone = 0,
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrTooManyOpenFiles = 4,
    kErrAccessDenied = 5,
    kErrNotEnoughMemory = 8,
    kErrWriteProtect = 19,
    kErrSharingViolation = 32,
    kErrLockViolation = 33,
    kErrDiskFull = 112,
    kErrInvalidName = 123,
};

constexpr std::size_t kMaxPath = 260;

// The separator the system writes between path components (core/path.h
// reads "\" and "/" alike).
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The open-file record: error code of the last open and the fully qualified
// path the file was opened under.
struct OpenInfo {
    std::uint16_t errorCode;
    char pathName[kMaxPath];
};

// Opens `path` with OpenFile-style `mode`. On success fills info->pathName
// with the full path and info->errorCode with 0; on failure returns
// kInvalidFile with the system error code in info->errorCode.
FileHandle openFile(const char* path, OpenInfo* info, std::uint16_t mode);
bool closeFile(FileHandle file);
// Bytes read (0 at end of file), or -1.
std::int32_t readFile(FileHandle file, void* buffer, std::uint32_t count);
// Bytes written (short on a full disk), or -1.
std::int32_t writeFile(FileHandle file, const void* buffer, std::uint32_t count);
// Copies `count` bytes from the position of `from` to the position of `to`
// and moves both on: by the system's own copy where it has one, else in
// large pieces through writeFile (so that a fault plan sees every piece).
// Bytes copied: short at the end of `from` or after a failure (the error in
// lastError), -1 when nothing could be copied.
std::int64_t copyFileData(FileHandle from, FileHandle to, std::uint32_t count);
enum class SeekOrigin { begin, current, end };
// The new absolute position, or -1.
std::int64_t seekFile(FileHandle file, std::int64_t offset, SeekOrigin origin);
// Cuts the file at its current position.
bool truncateFile(FileHandle file);
// Byte-range locks as LockFile/UnlockFile. POSIX: fcntl record locks, which
// conflict between processes only (a second handle in the same process does
// not see the lock) and are all dropped when any handle of the file closes.
bool lockFile(FileHandle file, std::uint32_t offset, std::uint32_t length);
bool unlockFile(FileHandle file, std::uint32_t offset, std::uint32_t length);

// Last-write times in 100-ns units since 1601-01-01 UTC (FILETIME).
bool getFileTime(FileHandle file, std::uint64_t* lastWrite);
bool setFileTime(FileHandle file, std::uint64_t lastWrite);
bool getFileTimeByName(const char* path, std::uint64_t* lastWrite);

bool fileExists(const char* path);
bool deleteFile(const char* path);
// Renames; fails when `to` exists.
bool renameFile(const char* from, const char* to);
// Creates an empty, uniquely named file in the temporary directory, named
// with `prefix` (at most 3 characters used), and returns its full path.
bool tempFileName(const char* prefix, char out[kMaxPath]);
// The fully qualified form of `name` (no test that the file exists).
bool fullPath(const char* name, char out[kMaxPath]);
// System error code of the last failed call of this layer.
std::uint16_t lastError();

// ---------------------------------------------------------------------------
// Movable memory blocks (the global memory of clipboard and embedded data).

using MemHandle = void*;
MemHandle memBlockAlloc(std::uint32_t size);  // zero-filled, movable
// Resizes; the handle stays valid and keeps its contents on failure.
MemHandle memBlockReAlloc(MemHandle block, std::uint32_t size);
void* memBlockLock(MemHandle block);
void memBlockUnlock(MemHandle block);
std::uint32_t memBlockSize(MemHandle block);
MemHandle memBlockFree(MemHandle block);  // returns null

// Zero-filled memory in whole pages straight from the system, for the record
// pools: its pages are made present at once (large pages where the system
// has them), which costs far less than touching them one by one. `size` is
// a multiple of kPageBlockSize. Null when there is no memory.
constexpr std::size_t kPageBlockSize = std::size_t{2} << 20;
void* pageAlloc(std::size_t size);
void pageFree(void* pages, std::size_t size);

// ---------------------------------------------------------------------------
// Character sets: OEM (code page 850 on POSIX, the system's OEM code page on
// Win32) and ANSI (code page 1252 on POSIX). In place; same length.

void oemToAnsi(char* text, std::size_t count);
void ansiToOem(char* text, std::size_t count);

// ---------------------------------------------------------------------------
// Numbered strings (the string table of resources/).

// Copies string `id` into buffer (NUL-terminated, cut to size-1). Returns
// its length, or 0 when the table has no such string.
int loadString(unsigned id, char* buffer, int size);
// Win32: the module whose resources loadString reads (default: the
// executable). Ignored on POSIX.
void setResourceModule(void* module);

// ---------------------------------------------------------------------------
// Environment and libraries

// Copies the value of `name`; returns its length or -1 when unset.
int getEnv(const char* name, char* buffer, int size);
bool setEnv(const char* name, const char* value);

using LibHandle = void*;
LibHandle loadLibrary(const char* path);
void* libSymbol(LibHandle lib, const char* name);
void freeLibrary(LibHandle lib);

// ---------------------------------------------------------------------------
// The running program and other processes

// The directory of the running program's file, with a trailing separator.
bool programDirectory(char out[kMaxPath]);
// The platform's text for system error `code` (FormatMessage; strerror on
// POSIX), without trailing line breaks, cut to size-1. Returns its length;
// 0 (and an empty text) when there is none.
int systemErrorText(std::uint32_t code, char* buffer, int size);
// Starts `commandLine` as a new process with its window shown and does not
// wait for it. False when it cannot be started.
bool startProgram(const char* commandLine);

// ---------------------------------------------------------------------------
// Private-profile (INI) files, with the observable rules of the Win32
// profile calls. `path` null or empty: the system profile (win.ini); a name
// without a directory: a file in windowsDirectory(). Section and key names
// compare without regard to case and are trimmed of blanks, as are values;
// a value read through profileGetString or profileGetInt loses one pair of
// enclosing quotes (' or "). A missing file reads as an empty one.

// GetPrivateProfileStringA. `section` null: the names of all sections;
// `key` null: the names of the section's keys that have a value (comments,
// lines starting with ';', are left out); lists are NUL-separated and end
// with a second NUL. An absent key (or the key list of an absent section)
// gives `defaultValue` with its trailing blanks removed (null = empty).
// Returns the characters copied without the final NUL: size-1 when a value
// was cut, size-2 when a list was cut.
std::uint32_t profileGetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                               std::uint32_t size, const char* path);
// GetPrivateProfileIntA: `defaultValue` when the key is absent or empty;
// otherwise the value as a number (leading blanks, a sign, the prefixes
// 0x, 0o, 0b; reading stops at the first character that is not a digit; 0
// when there is none).
int profileGetInt(const char* section, const char* key, int defaultValue, const char* path);
// GetPrivateProfileSectionA: the section's lines as written ("key=value",
// trimmed, quotes kept; comments left out), NUL-separated, ending with a
// second NUL. Returns the characters copied without the final NUL.
std::uint32_t profileGetSection(const char* section, char* buffer, std::uint32_t size, const char* path);
// WritePrivateProfileStringA: sets the value (without its leading blanks),
// creating the file, the section and the key as needed; `value` null
// deletes the key, `key` null deletes the section. All three null only
// flushes (returns false).
bool profileWriteString(const char* section, const char* key, const char* value, const char* path);
// The Windows directory, where profile names without a directory live.
bool windowsDirectory(char out[kMaxPath]);

// ---------------------------------------------------------------------------
// Directories

// Calls fn(name, context) for every regular file directly in `directory`
// (null or empty: the current directory), in no particular order; `name` is
// the file name without the directory. False when the directory cannot be
// read.
bool listFiles(const char* directory, void (*fn)(const char* name, void* context), void* context);

// ---------------------------------------------------------------------------
// Drives

// Whether drive `letter` (A-Z, either case) is a network drive. POSIX has no
// drive letters: always false.
bool isRemoteDrive(char letter);

// ---------------------------------------------------------------------------
// Fault injection, for tests only: off by default and free while off. The
// planned call of one operation of this layer fails as the system would
// let it fail, so that callers can be tested at every failure point.

enum class FaultOp : std::uint8_t {
    none,    // no plan: nothing is counted
    open,    // openFile returns kInvalidFile
    write,   // writeFile returns -1 (or writes short, below)
    close,   // closeFile closes the handle and reports failure
    rename,  // renameFile leaves both names as they are
};

struct FaultPlan {
    FaultOp op = FaultOp::none;
    std::uint32_t failAt = 0;  // the failAt-th call of `op` from now on fails (1 = the next); 0 = only count
    bool sticky = false;       // every call from the failAt-th on fails (a full disk)
    bool shortWrite = false;   // a failing write writes half of its bytes and reports a full disk
    std::uint16_t error = 0;   // the system error reported; 0 = the op's usual one
};

// Installs `plan` (op none: off) and resets the call count.
void setFaultPlan(const FaultPlan& plan);
// Calls of the planned op since setFaultPlan.
std::uint32_t faultCalls();

}  // namespace platform
