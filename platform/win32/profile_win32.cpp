// Private-profile files over the Win32 profile calls. An empty path goes to
// the system profile through the GetProfile*/WriteProfile* variants.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {
bool systemProfile(const char* path) {
    return !path || !*path;
}
}  // namespace

std::uint32_t profileGetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                               std::uint32_t size, const char* path) {
    if (!buffer || size == 0) return 0;
    DWORD n = systemProfile(path) ? GetProfileStringA(section, key, defaultValue, buffer, size)
                                  : GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
    return n;
}

int profileGetInt(const char* section, const char* key, int defaultValue, const char* path) {
    UINT n = systemProfile(path) ? GetProfileIntA(section, key, defaultValue)
                                 : GetPrivateProfileIntA(section, key, defaultValue, path);
    return static_cast<int>(n);
}

std::uint32_t profileGetSection(const char* section, char* buffer, std::uint32_t size, const char* path) {
    if (!buffer || size == 0 || !section) return 0;
    DWORD n = systemProfile(path) ? GetProfileSectionA(section, buffer, size)
                                  : GetPrivateProfileSectionA(section, buffer, size, path);
    return n;
}

bool profileWriteString(const char* section, const char* key, const char* value, const char* path) {
    BOOL ok = systemProfile(path) ? WriteProfileStringA(section, key, value)
                                  : WritePrivateProfileStringA(section, key, value, path);
    return ok != FALSE;
}

bool windowsDirectory(char out[kMaxPath]) {
    UINT n = GetWindowsDirectoryA(out, kMaxPath);
    if (n == 0 || n >= kMaxPath) {
        out[0] = 0;
        return false;
    }
    return true;
}

}  // namespace platform
