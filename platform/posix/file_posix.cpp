// Files on POSIX, following the observable behaviour of the Win32 calls.
//
// Share modes are approximated with flock(): an exclusive open holds
// LOCK_EX and a deny-write open holds LOCK_SH for the life of the handle; an
// open without a share-deny flag probes (LOCK_EX when it wants to write,
// LOCK_SH when it only reads) and releases at once. So a writer is refused
// while anyone denies writing, and anyone is refused while a file is held
// exclusively; a deny-write open is not refused by an earlier plain writer.
// flock() locks belong to the open file, so two handles of one process
// conflict as they do on Windows.
//
// A writer that denies writing to others first probes LOCK_EX, so that it
// is refused while anyone else denies writing, as on Windows.
//
// Byte-range locks use fcntl() record locks: they conflict between processes
// only, and closing any handle of a file drops all of the process's locks on
// it. Callers lock whole files through one handle, which keeps this honest.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/fault_plan.h"
#include "platform/platform.h"

namespace platform {

namespace {

thread_local std::uint16_t g_lastError = 0;

std::uint16_t fromErrno(int e) {
    switch (e) {
        case 0:
            return kErrNone;
        case ENOENT:
            return kErrFileNotFound;
        case ENOTDIR:
            return kErrPathNotFound;
        case EMFILE:
        case ENFILE:
            return kErrTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EEXIST:
            return kErrAccessDenied;
        case ENOMEM:
            return kErrNotEnoughMemory;
        case EROFS:
            return kErrWriteProtect;
        case EWOULDBLOCK:
            return kErrSharingViolation;
        case ENOSPC:
        case EDQUOT:
            return kErrDiskFull;
        case ENAMETOOLONG:
            return kErrInvalidName;
        default:
            return kErrAccessDenied;
    }
}

bool fail(int e) {
    g_lastError = fromErrno(e);
    return false;
}

// ENOENT for a file whose directory is missing is "path not found".
std::uint16_t openErrorFor(const char* path, int e) {
    if (e != ENOENT) return fromErrno(e);
    char dir[kMaxPath];
    std::snprintf(dir, sizeof dir, "%s", path);
    char* slash = strrchr(dir, '/');
    if (!slash || slash == dir) return kErrFileNotFound;
    *slash = 0;
    struct stat st;
    return stat(dir, &st) == 0 && S_ISDIR(st.st_mode) ? kErrFileNotFound : kErrPathNotFound;
}

constexpr std::uint64_t kEpochDelta = 116444736000000000ULL;  // 1601 -> 1970 in 100 ns

std::uint64_t toFileTime(const struct timespec& ts) {
    return kEpochDelta + static_cast<std::uint64_t>(ts.tv_sec) * 10000000ULL +
           static_cast<std::uint64_t>(ts.tv_nsec) / 100;
}

}  // namespace

std::uint16_t lastError() {
    return g_lastError;
}

bool fullPath(const char* name, char out[kMaxPath]) {
    if (!name || !*name) return fail(ENOENT);
    if (name[0] == '/') {
        if (strlen(name) >= kMaxPath) return fail(ENAMETOOLONG);
        strcpy(out, name);
        return true;
    }
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return fail(errno);
    int n = std::snprintf(out, kMaxPath, "%s/%s", cwd, name);
    if (n < 0 || static_cast<std::size_t>(n) >= kMaxPath) return fail(ENAMETOOLONG);
    return true;
}

FileHandle openFile(const char* path, OpenInfo* info, std::uint16_t mode) {
    OpenInfo scratch;
    if (!info) info = &scratch;
    info->errorCode = 0;
    info->pathName[0] = 0;
    if (fault_detail::g_faultArmed) {
        std::uint16_t error = 0;
        if (fault_detail::faultHits(FaultOp::open, &error)) {
            if (path) fullPath(path, info->pathName);
            info->errorCode = g_lastError = error;
            return kInvalidFile;
        }
    }
    if (!path || !fullPath(path, info->pathName)) {
        info->errorCode = path ? g_lastError : static_cast<std::uint16_t>(kErrFileNotFound);
        g_lastError = info->errorCode;
        return kInvalidFile;
    }
    int flags = O_CLOEXEC;
    switch (mode & kAccessMask) {
        case kOpenWrite:
            flags |= O_WRONLY;
            break;
        case kOpenReadWrite:
            flags |= O_RDWR;
            break;
        default:
            flags |= O_RDONLY;
            break;
    }
    bool writes = (flags & (O_WRONLY | O_RDWR)) != 0;
    if (mode & kOpenCreate) {
        flags |= O_CREAT;
        if (!writes) flags = (flags & ~O_RDONLY) | O_RDWR;  // create implies write access
        writes = true;
    }
    int fd = ::open(info->pathName, flags, 0666);
    if (fd < 0) {
        info->errorCode = openErrorFor(info->pathName, errno);
        g_lastError = info->errorCode;
        return kInvalidFile;
    }
    struct stat st {};
    const bool stated = fstat(fd, &st) == 0;
    if (stated && S_ISDIR(st.st_mode)) {
        ::close(fd);
        info->errorCode = g_lastError = kErrAccessDenied;
        return kInvalidFile;
    }
    int share = mode & kShareMask;
    int held = share == kShareExclusive ? LOCK_EX : share == kShareDenyWrite ? LOCK_SH : 0;
    int probe = held ? held : (writes ? LOCK_EX : LOCK_SH);
    if (held == LOCK_SH && writes) probe = LOCK_EX;  // converted to LOCK_SH below
    if (flock(fd, probe | LOCK_NB) != 0) {
        ::close(fd);
        info->errorCode = g_lastError = kErrSharingViolation;
        return kInvalidFile;
    }
    if (!held)
        flock(fd, LOCK_UN);
    else if (probe != held)
        flock(fd, held | LOCK_NB);
    // Creating truncates only once the share check has passed, and only a
    // file that has data: truncating an empty one (a temporary file just
    // made) has some file systems write the whole file out when it is closed.
    if ((mode & kOpenCreate) && (!stated || st.st_size != 0) && ftruncate(fd, 0) != 0) {
        info->errorCode = fromErrno(errno);
        g_lastError = info->errorCode;
        ::close(fd);
        return kInvalidFile;
    }
    return fd;
}

bool closeFile(FileHandle file) {
    if (file == kInvalidFile) return fail(EBADF);
    if (fault_detail::g_faultArmed) {
        std::uint16_t error = 0;
        if (fault_detail::faultHits(FaultOp::close, &error)) {
            ::close(static_cast<int>(file));
            g_lastError = error;
            return false;
        }
    }
    return ::close(static_cast<int>(file)) == 0 || fail(errno);
}

std::int32_t readFile(FileHandle file, void* buffer, std::uint32_t count) {
    auto* p = static_cast<char*>(buffer);
    std::uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::read(static_cast<int>(file), p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::uint32_t>(n);
    }
    return static_cast<std::int32_t>(done);
}

std::int32_t writeFile(FileHandle file, const void* buffer, std::uint32_t count) {
    auto* p = static_cast<const char*>(buffer);
    std::uint32_t done = 0;
    if (fault_detail::g_faultArmed) {
        std::uint16_t error = 0;
        if (fault_detail::faultHits(FaultOp::write, &error)) {
            if (!fault_detail::g_faultPlan.shortWrite) {
                g_lastError = error;
                return -1;
            }
            // As on a full disk: part of the bytes go out.
            count /= 2;
            while (done < count) {
                ssize_t n = ::write(static_cast<int>(file), p + done, count - done);
                if (n <= 0) break;
                done += static_cast<std::uint32_t>(n);
            }
            g_lastError = error;
            return static_cast<std::int32_t>(done);
        }
    }
    while (done < count) {
        ssize_t n = ::write(static_cast<int>(file), p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
            return done ? static_cast<std::int32_t>(done) : -1;
        }
        done += static_cast<std::uint32_t>(n);
    }
    return static_cast<std::int32_t>(done);
}

std::int64_t copyFileData(FileHandle from, FileHandle to, std::uint32_t count) {
    constexpr std::uint32_t kPiece = 64u * 1024;
    std::uint32_t done = 0;
#if defined(__linux__)
    // The kernel copies between the files' pages; a fault plan needs the
    // pieces to go through writeFile.
    bool systemCopy = !fault_detail::g_faultArmed;
    while (systemCopy && done < count) {
        ssize_t n =
            copy_file_range(static_cast<int>(from), nullptr, static_cast<int>(to), nullptr, count - done, 0);
        if (n > 0) {
            done += static_cast<std::uint32_t>(n);
        } else if (n == 0) {
            return done;  // the end of `from`
        } else if (errno != EINTR) {
            // Files the kernel cannot copy between take the pieces below.
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
                fail(errno);
                return done ? static_cast<std::int64_t>(done) : -1;
            }
            systemCopy = false;
        }
    }
#endif
    char piece[kPiece];
    while (done < count) {
        const std::int32_t got = readFile(from, piece, std::min(kPiece, count - done));
        if (got <= 0) return got < 0 && done == 0 ? -1 : static_cast<std::int64_t>(done);
        const std::int32_t put = writeFile(to, piece, static_cast<std::uint32_t>(got));
        if (put > 0) done += static_cast<std::uint32_t>(put);
        if (put != got) return done ? static_cast<std::int64_t>(done) : -1;
    }
    return done;
}

std::int64_t seekFile(FileHandle file, std::int64_t offset, SeekOrigin origin) {
    int whence = origin == SeekOrigin::begin ? SEEK_SET : origin == SeekOrigin::current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(static_cast<int>(file), static_cast<off_t>(offset), whence);
    if (pos < 0) {
        fail(errno);
        return -1;
    }
    return pos;
}

bool truncateFile(FileHandle file) {
    off_t pos = ::lseek(static_cast<int>(file), 0, SEEK_CUR);
    if (pos < 0) return fail(errno);
    return ::ftruncate(static_cast<int>(file), pos) == 0 || fail(errno);
}

namespace {
bool recordLock(FileHandle file, std::uint32_t offset, std::uint32_t length, short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    if (fcntl(static_cast<int>(file), F_SETLK, &fl) == 0) return true;
    if (errno == EBADF && type == F_WRLCK) {
        // A handle open for reading only: Windows locks it all the same.
        fl.l_type = F_RDLCK;
        if (fcntl(static_cast<int>(file), F_SETLK, &fl) == 0) return true;
    }
    g_lastError = (errno == EACCES || errno == EAGAIN) ? static_cast<std::uint16_t>(kErrLockViolation)
                                                       : fromErrno(errno);
    return false;
}
}  // namespace

bool lockFile(FileHandle file, std::uint32_t offset, std::uint32_t length) {
    return recordLock(file, offset, length, F_WRLCK);
}

bool unlockFile(FileHandle file, std::uint32_t offset, std::uint32_t length) {
    return recordLock(file, offset, length, F_UNLCK);
}

bool getFileTime(FileHandle file, std::uint64_t* lastWrite) {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return fail(errno);
    *lastWrite = toFileTime(st.st_mtim);
    return true;
}

bool setFileTime(FileHandle file, std::uint64_t lastWrite) {
    if (lastWrite < kEpochDelta) return fail(EINVAL);
    std::uint64_t t = lastWrite - kEpochDelta;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(t / 10000000ULL);
    times[1].tv_nsec = static_cast<long>((t % 10000000ULL) * 100);
    return futimens(static_cast<int>(file), times) == 0 || fail(errno);
}

bool getFileTimeByName(const char* path, std::uint64_t* lastWrite) {
    struct stat st;
    if (!path || stat(path, &st) != 0) return fail(path ? errno : ENOENT);
    *lastWrite = toFileTime(st.st_mtim);
    return true;
}

bool fileExists(const char* path) {
    struct stat st;
    return path && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool deleteFile(const char* path) {
    if (!path) return fail(ENOENT);
    return ::unlink(path) == 0 || fail(errno);
}

bool renameFile(const char* from, const char* to) {
    if (!from || !to) return fail(ENOENT);
    if (fault_detail::g_faultArmed) {
        std::uint16_t error = 0;
        if (fault_detail::faultHits(FaultOp::rename, &error)) {
            g_lastError = error;
            return false;
        }
    }
    struct stat st;
    if (stat(to, &st) == 0) return fail(EEXIST);
    return ::rename(from, to) == 0 || fail(errno);
}

bool tempFileName(const char* prefix, char out[kMaxPath]) {
    const char* dir = getenv("TMPDIR");
    if (!dir || !*dir) dir = "/tmp";
    char pre[4] = {0};
    if (prefix) strncpy(pre, prefix, 3);
    int n = std::snprintf(out, kMaxPath, "%s/%sXXXXXX", dir, pre);
    if (n < 0 || static_cast<std::size_t>(n) >= kMaxPath) return fail(ENAMETOOLONG);
    int fd = mkstemp(out);
    if (fd < 0) return fail(errno);
    ::close(fd);
    return true;
}

bool isRemoteDrive(char) {
    return false;
}

void setFaultPlan(const FaultPlan& plan) {
    fault_detail::g_faultPlan = plan;
    fault_detail::g_faultCallCount = 0;
    fault_detail::g_faultArmed = plan.op != FaultOp::none;
}

std::uint32_t faultCalls() {
    return fault_detail::g_faultCallCount;
}

// ---------------------------------------------------------------------------

int getEnv(const char* name, char* buffer, int size) {
    const char* value = name ? getenv(name) : nullptr;
    if (!value) return -1;
    int len = static_cast<int>(strlen(value));
    // As GetEnvironmentVariable: a buffer too small receives nothing.
    if (buffer && size > 0) {
        if (len < size)
            memcpy(buffer, value, static_cast<std::size_t>(len) + 1);
        else
            buffer[0] = 0;
    }
    return len;
}

bool setEnv(const char* name, const char* value) {
    if (!name) return false;
    return (value ? setenv(name, value, 1) : unsetenv(name)) == 0;
}

LibHandle loadLibrary(const char* path) {
    LibHandle lib = path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
    // The Win32 codes: a missing file, or one that is no library (193).
    if (!lib) g_lastError = path && fileExists(path) ? 193 : static_cast<std::uint16_t>(kErrFileNotFound);
    return lib;
}

void* libSymbol(LibHandle lib, const char* name) {
    return lib && name ? dlsym(lib, name) : nullptr;
}

void freeLibrary(LibHandle lib) {
    if (lib) dlclose(lib);
}

}  // namespace platform
