// Registration of the diagram file types with the shell: the entries of
// app/shell_registration.h written into HKEY_CLASSES_ROOT, and the
// [Extensions] entry of the system profile.
#include <cstdio>
#include <string>

#include "app/frame_win32.h"
#include "app/shell_registration.h"
#include "core/host.h"
#include "platform/platform.h"
#include "resources/strings.h"

namespace {

// HKEY_CLASSES_ROOT through the registry calls.
struct Win32Registry : ShellRegistry {
    bool keyExists(const std::string& key) override {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return false;
        RegCloseKey(handle);
        return true;
    }
    bool readValue(const std::string& key, const std::string& name, std::string* value) override {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return false;
        char buffer[2048] = {};
        DWORD size = sizeof buffer - 1, type = 0;
        LONG result = RegQueryValueExA(handle, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(handle);
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
        if (value) value->assign(buffer, strnlen(buffer, size));
        return true;
    }
    std::uint32_t writeValue(const std::string& key, const std::string& name,
                             const std::string& value) override {
        HKEY handle = nullptr;
        LONG result = RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_SET_VALUE, nullptr, &handle, nullptr);
        if (result != ERROR_SUCCESS) return static_cast<std::uint32_t>(result);
        result = RegSetValueExA(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1));
        RegCloseKey(handle);
        return static_cast<std::uint32_t>(result);
    }
    std::uint32_t deleteValue(const std::string& key, const std::string& name) override {
        HKEY handle = nullptr;
        LONG result = RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_SET_VALUE, &handle);
        if (result != ERROR_SUCCESS) return static_cast<std::uint32_t>(result);
        result = RegDeleteValueA(handle, name.empty() ? nullptr : name.c_str());
        RegCloseKey(handle);
        return static_cast<std::uint32_t>(result);
    }
    std::uint32_t deleteKey(const std::string& key) override {
        LONG result = RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        if (keyExists(key)) result = RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
        return static_cast<std::uint32_t>(result);
    }
};

ShellRegistrationInput registrationInput() {
    ShellRegistrationInput input;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    input.programPath = path;
    std::string base = path;
    base = base.substr(base.find_last_of("\\/") + 1);
    input.ddeName = base.substr(0, base.rfind('.'));
    return input;
}

}  // namespace

bool registerFileTypes(bool force, std::string* failureText) {
    Win32Registry registry;
    const ShellRegistrationInput input = registrationInput();
    ShellRegistrationFailure failure;
    bool ok = writeShellEntries(registry, shellRegistrationEntries(input), force, &failure);
    if (!writeExtensionsEntry(nullptr, input.programPath, force) && ok) {
        ok = false;
        failure = ShellRegistrationFailure{"[Extensions]", static_cast<std::uint32_t>(GetLastError())};
    }
    diagnosticsLine("register %s %s", force ? "forced" : "normal", ok ? "done" : "failed");
    if (!ok && failureText) {
        char reason[256] = {};
        if (!platform::systemErrorText(failure.error, reason, sizeof reason))
            std::snprintf(reason, sizeof reason, "%lu", static_cast<unsigned long>(failure.error));
        char text[kMaxFormatted];
        formatMessage(text, IDS_REGISTRATION_FAILED, failure.key.c_str(), reason);
        *failureText = text;
    }
    return ok;
}

int initializeMode() {
    std::string failure;
    if (registerFileTypes(true, &failure)) return 0;
    writeStandardError(failure.c_str());
    return kExitCodeFailed;
}
