// korrin-re: runs a program with its standard streams redirected to files
// and ends with the program's exit code (-1 when it could not run). The
// request comes in environment variables (redirect/redirect_protocol.h);
// the command line is used for nothing but korrin-re's own name, which is
// the console title and the caption of its messages.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "redirect/redirect_protocol.h"
#include "redirect/redirect_request.h"
#include "resources/strings.h"

namespace {

std::string g_ownName = "korrin-re";

bool readEnvironment(const char* name, std::string& value) {
    SetLastError(0);
    DWORD n = GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0) {
        value.clear();
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    std::vector<char> buffer(n + 1);
    n = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    value.assign(buffer.data(), n);
    return true;
}

// Message `base` in the request's language, formatted with the texts.
void message(unsigned base, int language, ...) {
    char format[512] = {};
    platform::loadString(redirect::messageId(base, language), format, sizeof format);
    char text[4096];
    va_list args;
    va_start(args, language);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    MessageBoxA(nullptr, text, g_ownName.c_str(), MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
}

std::size_t readHeader(void* context, std::uint32_t offset, unsigned char* out, std::size_t count) {
    HANDLE file = static_cast<HANDLE>(context);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD n = 0;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
        !ReadFile(file, out, static_cast<DWORD>(count), &n, nullptr))
        return 0;
    return n;
}

redirect::ExecutableKind kindOf(const std::string& programFile) {
    char found[MAX_PATH] = {};
    if (!SearchPathA(nullptr, programFile.c_str(), ".exe", sizeof found, found, nullptr))
        return redirect::ExecutableKind::unknown;
    HANDLE file = CreateFileA(found, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return redirect::ExecutableKind::unknown;
    const redirect::ExecutableKind kind = redirect::executableKind(readHeader, file);
    CloseHandle(file);
    return kind;
}

// DOS and 16-bit programs on the Windows 95 family run through a batch
// file holding the command line in the OEM character set.
std::string batchFileFor(const std::string& commandLine) {
    char dir[MAX_PATH] = {};
    if (!GetTempPathA(sizeof dir, dir)) return std::string();
    std::string base = g_ownName.substr(g_ownName.find_last_of("\\/:") + 1);
    if (const std::size_t dot = base.rfind('.'); dot != std::string::npos) base.resize(dot);
    const std::string path = std::string(dir) + base + ".bat";
    std::string line = "@" + commandLine + "\r\n";
    CharToOemBuffA(line.data(), line.data(), static_cast<DWORD>(line.size()));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    DWORD n = 0;
    const bool ok =
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &n, nullptr) && n == line.size();
    CloseHandle(file);
    return ok ? path : std::string();
}

std::string fullPathOf(const std::string& name) {
    char full[MAX_PATH] = {};
    const DWORD n = GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
    return n && n < sizeof full ? std::string(full) : name;
}

HANDLE openStream(const std::string& name, bool input) {
    if (name.empty()) return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(name.c_str(), input ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, input ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int run(const redirect::Request& request) {
    const std::string programFile = redirect::programFileOf(request.commandLine);
    std::string commandLine = request.commandLine;
    std::string batch;
    const redirect::ExecutableKind kind = kindOf(programFile);
    if ((GetVersion() & 0x80000000u) &&
        (kind == redirect::ExecutableKind::dos || kind == redirect::ExecutableKind::ne)) {
        batch = batchFileFor(commandLine);
        if (!batch.empty()) commandLine = batch;
    }

    // The files; one that is not named or cannot be opened leaves korrin-re's own stream.
    HANDLE in = openStream(request.stdIn, true);
    HANDLE out = openStream(request.stdOut, false);
    // Standard output and standard error into one file share its handle,
    // so that neither overwrites what the other wrote.
    const bool shared = out != INVALID_HANDLE_VALUE && !request.stdErr.empty() &&
                        redirect::sameFile(fullPathOf(request.stdOut), fullPathOf(request.stdErr));
    HANDLE err = shared ? out : openStream(request.stdErr, false);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(request.showWindow);
    startup.hStdInput = in != INVALID_HANDLE_VALUE ? in : GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out != INVALID_HANDLE_VALUE ? out : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = err != INVALID_HANDLE_VALUE ? err : GetStdHandle(STD_ERROR_HANDLE);

    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    PROCESS_INFORMATION process{};
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    SetErrorMode(oldMode);

    int code = -1;
    if (started) {
        // A program without a process handle (a Unix program started under
        // Wine) cannot be waited for: it runs on with the files.
        if (process.hProcess) {
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD exitCode = 0;
            code = GetExitCodeProcess(process.hProcess, &exitCode) ? static_cast<int>(exitCode) : -1;
            CloseHandle(process.hProcess);
        } else {
            code = 0;
        }
        if (process.hThread) CloseHandle(process.hThread);
    } else {
        char reason[512] = {};
        platform::systemErrorText(error, reason, sizeof reason);
        if (!request.programName.empty())
            message(10400, request.language, request.programName.c_str(), request.commandLine.c_str(),
                    reason);
        else
            message(10300, request.language, request.commandLine.c_str(), reason);
    }
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE && !shared) CloseHandle(err);
    if (!batch.empty()) DeleteFileA(batch.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 0 && argv[0] && argv[0][0]) g_ownName = argv[0];
    SetConsoleTitleA(g_ownName.c_str());
    redirect::Request request;
    try {
        request = redirect::readRequest(readEnvironment);
    } catch (const std::bad_alloc&) {
        message(10100, request.language);
        return -1;
    }
    if (request.commandLine.empty()) {
        message(10200, request.language);
        return -1;
    }
    char oldTitle[1024] = {};
    const bool titled = GetConsoleTitleA(oldTitle, sizeof oldTitle) > 0;
    if (titled && !request.programName.empty())
        SetConsoleTitleA((std::string(oldTitle) + " - " + request.programName).c_str());
    const int code = run(request);
    if (titled) SetConsoleTitleA(oldTitle);
    return code;
}
