// The running program and other processes over the Win32 API.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform {

bool programDirectory(char out[kMaxPath]) {
    char path[kMaxPath];
    DWORD n = GetModuleFileNameA(nullptr, path, kMaxPath);
    if (n == 0 || n >= kMaxPath) return false;
    char* cut = std::strrchr(path, '\\');
    char* slash = std::strrchr(path, '/');
    if (!cut || (slash && slash > cut)) cut = slash;
    if (!cut) return false;
    cut[1] = 0;
    std::snprintf(out, kMaxPath, "%s", path);
    return true;
}

int systemErrorText(std::uint32_t code, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                             buffer, static_cast<DWORD>(size), nullptr);
    if (n == 0) {
        buffer[0] = 0;
        return 0;
    }
    if (n >= static_cast<DWORD>(size)) n = static_cast<DWORD>(size - 1);
    while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ')) --n;
    buffer[n] = 0;
    return static_cast<int>(n);
}

bool startProgram(const char* commandLine) {
    if (!commandLine || !*commandLine) return false;
    char line[32768];
    if (std::snprintf(line, sizeof line, "%s", commandLine) >= static_cast<int>(sizeof line)) return false;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace platform
