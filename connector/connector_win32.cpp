// korrin-conn.exe: an IDE calls it as an external tool with a file type, a
// file name and a line number. It finds the DDE service of the type through
// the registry and asks the running application to open the file at that
// line; with no application answering it starts the type's open command.
//
// Exit code: 0 when the request was carried out (or the syntax was shown),
// 1 when it failed; the reason goes to the debugger output.
#include <windows.h>
// windows.h first
#include <dde.h>

#include <cstring>
#include <string>
#include <vector>

#include "connector/connector.h"

namespace {

constexpr char kClassName[] = "KorrinVcConn";
constexpr DWORD kInitiateTimeoutMs = 2000;  // per window of the broadcast
constexpr DWORD kAnswerTimeoutMs = 5000;    // for the answer to the execute
constexpr int kBusyRetries = 5;             // a busy server is asked again ...
constexpr DWORD kBusyPauseMs = 500;         // ... after this pause
constexpr DWORD kTerminateTimeoutMs = 2000;

struct Conversation {
    HWND window = nullptr;
    HWND server = nullptr;
    bool initiating = false;
    bool answered = false;
    WORD status = 0;
    bool terminated = false;
};
Conversation g_conv;

// Writes the reason of a failure to the debugger output.
void reportError(DWORD code, const char* what) {
    char text[512] = {};
    if (!code || !FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                 text, sizeof text, nullptr))
        std::strcpy(text, "*** Could not get error text for last error! ***");
    std::string line = std::string("korrin-conn: ") + what + ": " + text + "\n";
    OutputDebugStringA(line.c_str());
}

// The default value of a key under HKEY_CLASSES_ROOT, of any length.
bool classesValue(const std::string& key, std::string& out) {
    HKEY handle = nullptr;
    LONG result = RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &handle);
    if (result != ERROR_SUCCESS) {
        reportError(static_cast<DWORD>(result), key.c_str());
        return false;
    }
    DWORD type = 0, size = 0;
    result = RegQueryValueExA(handle, nullptr, nullptr, &type, nullptr, &size);
    std::vector<char> buffer(size + 1, 0);
    if (result == ERROR_SUCCESS)
        result =
            RegQueryValueExA(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        reportError(static_cast<DWORD>(result), key.c_str());
        return false;
    }
    out.assign(buffer.data());
    return true;
}

// Runs the message loop until `flag` is set or the time is up.
bool pumpUntil(const bool& flag, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (!flag) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (flag) break;
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
    }
    return true;
}

// Posts the execute block; the block is the client's again when the answer
// comes (or when it could not be posted).
bool postExecute(HGLOBAL block) {
    g_conv.answered = false;
    return PostMessageA(g_conv.server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(g_conv.window),
                        reinterpret_cast<LPARAM>(block)) != FALSE;
}

// The conversation with the server: the execute, asked again while the
// server is busy, then the end of the conversation. True when the server
// acknowledged the commands positively.
bool executeOnServer(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
    if (!block) {
        reportError(GetLastError(), "GlobalAlloc");
        return false;
    }
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    bool done = false, blockWithServer = false;
    for (int attempt = 0; attempt <= kBusyRetries; ++attempt) {
        if (attempt) Sleep(kBusyPauseMs);
        if (!postExecute(block)) {
            reportError(GetLastError(), "WM_DDE_EXECUTE");
            break;
        }
        if (!pumpUntil(g_conv.answered, kAnswerTimeoutMs)) {
            // No answer: the server may still hold the block; it is not
            // freed under it.
            blockWithServer = true;
            reportError(ERROR_TIMEOUT, "WM_DDE_EXECUTE");
            break;
        }
        if (g_conv.status & 0x8000) {
            done = true;
            break;
        }
        if (!(g_conv.status & 0x4000)) {
            reportError(0, "the application refused the command");
            break;
        }
    }
    if (!blockWithServer) GlobalFree(block);
    g_conv.terminated = false;
    PostMessageA(g_conv.server, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(g_conv.window), 0);
    pumpUntil(g_conv.terminated, kTerminateTimeoutMs);
    return done;
}

bool startApplication(const std::string& type, const ConnArguments& args) {
    std::string command;
    if (!classesValue(type + "\\shell\\open\\command", command)) return false;
    std::string line = startCommandLine(command, args);
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        reportError(GetLastError(), line.c_str());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int run(const char* commandLine) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    if (wantsSyntax(commandLine)) {
        const char* base = std::strrchr(program, '\\');
        MessageBoxA(nullptr, syntaxText(base ? base + 1 : program).c_str(), "korrin-conn",
                    MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    ConnArguments args;
    if (!splitConnArguments(commandLine, args)) {
        reportError(ERROR_INVALID_PARAMETER, "command line");
        return 1;
    }
    std::string type = args.fileType;
    if (type == "*" && !classesValue(fileExtension(args.fileName), type)) return 1;
    if (type.empty()) return 1;

    std::string application, topic;
    if (!classesValue(type + "\\shell\\open\\ddeexec\\application", application)) {
        std::string command;
        if (classesValue(type + "\\shell\\open\\command", command))
            application = applicationOfCommand(command);
    }
    if (!classesValue(type + "\\shell\\open\\ddeexec\\topic", topic)) topic = "System";

    bool done = false;
    if (!application.empty()) {
        ATOM applicationAtom = GlobalAddAtomA(application.c_str());
        ATOM topicAtom = GlobalAddAtomA(topic.c_str());
        g_conv.initiating = true;
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(g_conv.window),
                            MAKELPARAM(applicationAtom, topicAtom), SMTO_ABORTIFHUNG, kInitiateTimeoutMs,
                            &ignored);
        g_conv.initiating = false;
        GlobalDeleteAtom(applicationAtom);
        GlobalDeleteAtom(topicAtom);
        if (g_conv.server) return executeOnServer(ddeExecuteText(args.fileName, args.line)) ? 0 : 1;
    }
    done = startApplication(type, args);
    return done ? 0 : 1;
}

}  // namespace

// The window procedure of the connector's hidden window: the answers of the
// DDE conversation.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    KorrinVCConn_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND sender = reinterpret_cast<HWND>(wParam);
    switch (message) {
        case WM_DDE_ACK:
            if (g_conv.initiating) {
                // The atoms of the answer are the client's to delete.
                GlobalDeleteAtom(LOWORD(lParam));
                GlobalDeleteAtom(HIWORD(lParam));
                if (!g_conv.server)
                    g_conv.server = sender;
                else if (sender != g_conv.server)
                    PostMessageA(sender, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window), 0);
                return 0;
            }
            if (sender == g_conv.server) {
                UINT_PTR status = 0, commands = 0;
                UnpackDDElParam(WM_DDE_ACK, lParam, &status, &commands);
                FreeDDElParam(WM_DDE_ACK, lParam);
                g_conv.status = static_cast<WORD>(status);
                g_conv.answered = true;
            }
            return 0;
        case WM_DDE_TERMINATE:
            if (sender == g_conv.server) g_conv.terminated = true;
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = KorrinVCConn_proc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) {
        reportError(GetLastError(), "RegisterClass");
        return 1;
    }
    g_conv.window =
        CreateWindowA(kClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (!g_conv.window) {
        reportError(GetLastError(), "CreateWindow");
        return 1;
    }
    int code = run(commandLine ? commandLine : "");
    DestroyWindow(g_conv.window);
    return code;
}
