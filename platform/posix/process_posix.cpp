// The running program and other processes on POSIX.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

extern char** environ;

namespace platform {

bool programDirectory(char out[kMaxPath]) {
    char path[kMaxPath];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = 0;
    char* slash = std::strrchr(path, '/');
    if (!slash) return false;
    slash[1] = 0;
    std::snprintf(out, kMaxPath, "%s", path);
    return true;
}

// The texts of the Win32 system messages for the codes this layer reports.
int systemErrorText(std::uint32_t code, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    const char* text = nullptr;
    switch (code) {
        case kErrFileNotFound:
            text = "The system cannot find the file specified.";
            break;
        case kErrPathNotFound:
            text = "The system cannot find the path specified.";
            break;
        case kErrTooManyOpenFiles:
            text = "The system cannot open the file.";
            break;
        case kErrAccessDenied:
            text = "Access is denied.";
            break;
        case kErrNotEnoughMemory:
            text = "Not enough memory resources are available to process this command.";
            break;
        case kErrWriteProtect:
            text = "The media is write protected.";
            break;
        case kErrSharingViolation:
            text = "The process cannot access the file because it is being used by another process.";
            break;
        case kErrLockViolation:
            text =
                "The process cannot access the file because another process has locked a portion of the "
                "file.";
            break;
        case kErrDiskFull:
            text = "There is not enough space on the disk.";
            break;
        case kErrInvalidName:
            text = "The filename, directory name, or volume label syntax is incorrect.";
            break;
        case 193:
            text = "%1 is not a valid Win32 application.";
            break;
        default:
            break;
    }
    if (!text) {
        buffer[0] = 0;
        return 0;
    }
    int n = std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text);
    return n < size ? n : size - 1;
}

// Through the shell, detached: the child is reaped by an intermediate
// process so that no zombie stays behind.
bool startProgram(const char* commandLine) {
    if (!commandLine || !*commandLine) return false;
    char inner[kMaxPath * 4 + 32];
    if (std::snprintf(inner, sizeof inner, "(%s) >/dev/null 2>&1 &", commandLine) >=
        static_cast<int>(sizeof inner))
        return false;
    char shell[] = "/bin/sh";
    char flag[] = "-c";
    char* argv[] = {shell, flag, inner, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
