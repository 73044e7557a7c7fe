// Files, memory blocks, code pages, strings, environment and libraries over
// the Win32 API.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/fault_plan.h"
#include "platform/platform.h"

namespace platform {

namespace {

thread_local std::uint16_t g_lastError = 0;

bool fail() {
    g_lastError = static_cast<std::uint16_t>(GetLastError());
    return false;
}

HANDLE toHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

HMODULE g_resourceModule = nullptr;

}  // namespace

std::uint16_t lastError() {
    return g_lastError;
}

bool fullPath(const char* name, char out[kMaxPath]) {
    if (!name || !*name) {
        g_lastError = kErrFileNotFound;
        return false;
    }
    DWORD n = GetFullPathNameA(name, kMaxPath, out, nullptr);
    if (n == 0) return fail();
    if (n >= kMaxPath) {
        g_lastError = kErrInvalidName;
        return false;
    }
    return true;
}

// The access and share flags of an OpenFile-style mode, opened with
// CreateFileA (OpenFile itself limits paths to 128 characters).
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
    DWORD access = GENERIC_READ;
    switch (mode & kAccessMask) {
        case kOpenWrite:
            access = GENERIC_WRITE;
            break;
        case kOpenReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            break;
        default:
            break;
    }
    if (mode & kOpenCreate) access |= GENERIC_WRITE;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (mode & kShareMask) {
        case kShareExclusive:
            share = 0;
            break;
        case kShareDenyWrite:
            share = FILE_SHARE_READ;
            break;
        case kShareDenyRead:
            share = FILE_SHARE_WRITE;
            break;
        default:
            break;
    }
    // Creating empties only a file that has data: truncating an empty one (a
    // temporary file just made) has some file systems write the whole file
    // out when it is closed.
    DWORD disposition = (mode & kOpenCreate) ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE h =
        CreateFileA(info->pathName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fail();
        info->errorCode = g_lastError;
        return kInvalidFile;
    }
    LARGE_INTEGER size{};
    if ((mode & kOpenCreate) && (!GetFileSizeEx(h, &size) || size.QuadPart != 0) && !SetEndOfFile(h)) {
        fail();
        info->errorCode = g_lastError;
        CloseHandle(h);
        return kInvalidFile;
    }
    return reinterpret_cast<FileHandle>(h);
}

bool closeFile(FileHandle file) {
    if (fault_detail::g_faultArmed) {
        std::uint16_t error = 0;
        if (fault_detail::faultHits(FaultOp::close, &error)) {
            CloseHandle(toHandle(file));
            g_lastError = error;
            return false;
        }
    }
    return CloseHandle(toHandle(file)) || fail();
}

std::int32_t readFile(FileHandle file, void* buffer, std::uint32_t count) {
    DWORD done = 0;
    if (!ReadFile(toHandle(file), buffer, count, &done, nullptr)) {
        fail();
        return -1;
    }
    return static_cast<std::int32_t>(done);
}

std::int32_t writeFile(FileHandle file, const void* buffer, std::uint32_t count) {
    DWORD done = 0;
    if (fault_detail::g_faultArmed) {
        std::uint16_t error = 0;
        if (fault_detail::faultHits(FaultOp::write, &error)) {
            if (!fault_detail::g_faultPlan.shortWrite) {
                g_lastError = error;
                return -1;
            }
            // As on a full disk: part of the bytes go out.
            if (count / 2 && !WriteFile(toHandle(file), buffer, count / 2, &done, nullptr)) done = 0;
            g_lastError = error;
            return static_cast<std::int32_t>(done);
        }
    }
    if (!WriteFile(toHandle(file), buffer, count, &done, nullptr)) {
        fail();
        return done ? static_cast<std::int32_t>(done) : -1;
    }
    return static_cast<std::int32_t>(done);
}

std::int64_t copyFileData(FileHandle from, FileHandle to, std::uint32_t count) {
    constexpr std::uint32_t kPiece = 64u * 1024;
    char piece[kPiece];
    std::uint32_t done = 0;
    while (done < count) {
        const std::int32_t got = readFile(from, piece, count - done < kPiece ? count - done : kPiece);
        if (got <= 0) return got < 0 && done == 0 ? -1 : static_cast<std::int64_t>(done);
        const std::int32_t put = writeFile(to, piece, static_cast<std::uint32_t>(got));
        if (put > 0) done += static_cast<std::uint32_t>(put);
        if (put != got) return done ? static_cast<std::int64_t>(done) : -1;
    }
    return done;
}

std::int64_t seekFile(FileHandle file, std::int64_t offset, SeekOrigin origin) {
    DWORD method = origin == SeekOrigin::begin     ? FILE_BEGIN
                   : origin == SeekOrigin::current ? FILE_CURRENT
                                                   : FILE_END;
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(toHandle(file), distance, &result, method)) {
        fail();
        return -1;
    }
    return result.QuadPart;
}

bool truncateFile(FileHandle file) {
    return SetEndOfFile(toHandle(file)) || fail();
}

bool lockFile(FileHandle file, std::uint32_t offset, std::uint32_t length) {
    return LockFile(toHandle(file), offset, 0, length, 0) || fail();
}

bool unlockFile(FileHandle file, std::uint32_t offset, std::uint32_t length) {
    return UnlockFile(toHandle(file), offset, 0, length, 0) || fail();
}

bool getFileTime(FileHandle file, std::uint64_t* lastWrite) {
    FILETIME ft;
    if (!GetFileTime(toHandle(file), nullptr, nullptr, &ft)) return fail();
    *lastWrite = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return true;
}

bool setFileTime(FileHandle file, std::uint64_t lastWrite) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(lastWrite);
    ft.dwHighDateTime = static_cast<DWORD>(lastWrite >> 32);
    return SetFileTime(toHandle(file), nullptr, nullptr, &ft) || fail();
}

bool getFileTimeByName(const char* path, std::uint64_t* lastWrite) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return fail();
    *lastWrite = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                 data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool fileExists(const char* path) {
    if (!path) return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool deleteFile(const char* path) {
    return (path && DeleteFileA(path)) || fail();
}

bool renameFile(const char* from, const char* to) {
    if (fault_detail::g_faultArmed) {
        std::uint16_t error = 0;
        if (fault_detail::faultHits(FaultOp::rename, &error)) {
            g_lastError = error;
            return false;
        }
    }
    return (from && to && MoveFileA(from, to)) || fail();
}

bool tempFileName(const char* prefix, char out[kMaxPath]) {
    char dir[kMaxPath];
    DWORD n = GetTempPathA(kMaxPath, dir);
    if (n == 0 || n >= kMaxPath) return fail();
    return GetTempFileNameA(dir, prefix ? prefix : "", 0, out) != 0 || fail();
}

bool isRemoteDrive(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return false;
    const char root[4] = {letter, ':', '\\', 0};
    return GetDriveTypeA(root) == DRIVE_REMOTE;
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

MemHandle memBlockAlloc(std::uint32_t size) {
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
}

MemHandle memBlockReAlloc(MemHandle block, std::uint32_t size) {
    return block ? GlobalReAlloc(static_cast<HGLOBAL>(block), size, GMEM_MOVEABLE | GMEM_ZEROINIT) : nullptr;
}

void* memBlockLock(MemHandle block) {
    return block ? GlobalLock(static_cast<HGLOBAL>(block)) : nullptr;
}

void memBlockUnlock(MemHandle block) {
    if (block) GlobalUnlock(static_cast<HGLOBAL>(block));
}

std::uint32_t memBlockSize(MemHandle block) {
    return block ? static_cast<std::uint32_t>(GlobalSize(static_cast<HGLOBAL>(block))) : 0;
}

MemHandle memBlockFree(MemHandle block) {
    if (block) GlobalFree(static_cast<HGLOBAL>(block));
    return nullptr;
}

void* pageAlloc(std::size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void pageFree(void* pages, std::size_t) {
    if (pages) VirtualFree(pages, 0, MEM_RELEASE);
}

// ---------------------------------------------------------------------------

void oemToAnsi(char* text, std::size_t count) {
    if (count) OemToCharBuffA(text, text, static_cast<DWORD>(count));
}

void ansiToOem(char* text, std::size_t count) {
    if (count) CharToOemBuffA(text, text, static_cast<DWORD>(count));
}

int loadString(unsigned id, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    HMODULE module = g_resourceModule ? g_resourceModule : GetModuleHandleA(nullptr);
    int n = LoadStringA(module, id, buffer, size);
    if (n <= 0) buffer[0] = 0;
    return n > 0 ? n : 0;
}

void setResourceModule(void* module) {
    g_resourceModule = static_cast<HMODULE>(module);
}

// ---------------------------------------------------------------------------

int getEnv(const char* name, char* buffer, int size) {
    if (!name) return -1;
    char dummy[1];
    if (!buffer || size <= 0) {
        buffer = dummy;
        size = 0;
    }
    DWORD n = GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
    if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return -1;
        return 0;
    }
    if (n >= static_cast<DWORD>(size)) {
        // Too small: n is the size needed including the terminator.
        if (size > 0) buffer[0] = 0;
        return static_cast<int>(n - 1);
    }
    return static_cast<int>(n);
}

bool setEnv(const char* name, const char* value) {
    return name && SetEnvironmentVariableA(name, value);
}

LibHandle loadLibrary(const char* path) {
    if (!path) return nullptr;
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE lib = LoadLibraryA(path);
    SetErrorMode(previous);
    if (!lib) fail();
    return lib;
}

void* libSymbol(LibHandle lib, const char* name) {
    return lib && name ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name)) : nullptr;
}

void freeLibrary(LibHandle lib) {
    if (lib) FreeLibrary(static_cast<HMODULE>(lib));
}

}  // namespace platform
