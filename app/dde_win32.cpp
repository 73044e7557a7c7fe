// The frame's DDE open service: application = the module's base name,
// topic "System"; execute commands [open("file")] with an optional
// [line(n)], and [NOP].
#include "app/frame_win32.h"
// windows.h first
#include <dde.h>

#include <cstring>
#include <string>

#include "app/dde_command.h"
#include "core/host.h"

namespace {

constexpr char kTopic[] = "System";
constexpr WORD kAckPositive = 0x8000;
constexpr WORD kAckBusy = 0x4000;
constexpr SIZE_T kMaxCommandBytes = 4096;

bool atomIs(ATOM atom, const char* text) {
    char name[260] = {};
    return atom && GlobalGetAtomNameA(atom, name, sizeof name) > 0 && lstrcmpiA(name, text) == 0;
}

// The command text of the execute block; a Unicode text is converted.
std::string commandText(HGLOBAL block) {
    std::string text;
    if (!block) return text;
    SIZE_T size = GlobalSize(block);
    const char* data = static_cast<const char*>(GlobalLock(block));
    if (!data) return text;
    if (size > kMaxCommandBytes) size = kMaxCommandBytes;
    if (size >= 4 && data[0] && !data[1] && data[2] && !data[3]) {
        // UTF-16 from a Unicode client.
        int chars = static_cast<int>(size / 2);
        const wchar_t* wide = reinterpret_cast<const wchar_t*>(data);
        int length = 0;
        while (length < chars && wide[length]) ++length;
        int n = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            text.resize(static_cast<std::size_t>(n));
            WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), n, nullptr, nullptr);
        }
    } else {
        SIZE_T length = 0;
        while (length < size && data[length]) ++length;
        text.assign(data, length);
    }
    GlobalUnlock(block);
    return text;
}

void carryOut(const DdeRequest& request) {
    // A call from another application: nothing is asked.
    const bool wasInside = g_hostState.insideForeignCall;
    g_hostState.insideForeignCall = true;
    if (request.open) {
        CommandRequest open;
        open.command = CMD_FILE_OPEN;
        open.path = request.path;
        open.flags = isEmptyUntitledWindow(activeDiagramWindow()) ? kIntoCurrentWindow : kIntoNewWindow;
        runCommand(open);
    }
    if (request.line > 0) {
        CommandRequest line;
        line.command = CMD_VIEW_LINE;
        line.number = request.line;
        routeCommand(line);
    }
    g_hostState.insideForeignCall = wasInside;
    if (IsIconic(g_frame.frame)) ShowWindow(g_frame.frame, SW_RESTORE);
    SetForegroundWindow(g_frame.frame);
}

void acknowledge(HWND frame, HWND client, WORD status, HGLOBAL commands) {
    LPARAM ack = PackDDElParam(WM_DDE_ACK, status, reinterpret_cast<UINT_PTR>(commands));
    if (!IsWindow(client) || !PostMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(frame), ack)) {
        FreeDDElParam(WM_DDE_ACK, ack);
        diagnosticsLine("dde ack not posted");
    }
}

}  // namespace

LRESULT ddeInitiate(HWND frame, WPARAM wParam, LPARAM lParam) {
    HWND client = reinterpret_cast<HWND>(wParam);
    if (!client || client == frame) return 0;
    if (!atomIs(LOWORD(lParam), g_frame.ddeName) || !atomIs(HIWORD(lParam), kTopic)) return 0;
    ATOM application = GlobalAddAtomA(g_frame.ddeName);
    ATOM topic = GlobalAddAtomA(kTopic);
    diagnosticsLine("dde initiate");
    SendMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(frame), MAKELPARAM(application, topic));
    return 0;
}

LRESULT ddeExecute(HWND frame, WPARAM wParam, LPARAM lParam) {
    HWND client = reinterpret_cast<HWND>(wParam);
    HGLOBAL commands = reinterpret_cast<HGLOBAL>(lParam);
    WORD status = 0;
    if (!IsWindowEnabled(frame)) {
        status = kAckBusy;
        diagnosticsLine("dde busy");
    } else {
        std::string text = commandText(commands);
        DdeRequest request;
        bool parsed = parseDdeCommand(text, request);
        diagnosticsLine("dde execute %s %s", parsed ? "ok" : "rejected", text.c_str());
        if (parsed) {
            status = kAckPositive;
            // The client has its answer before the open may ask questions.
            acknowledge(frame, client, status, commands);
            carryOut(request);
            return 0;
        }
    }
    acknowledge(frame, client, status, commands);
    return 0;
}

LRESULT ddeTerminate(HWND frame, WPARAM wParam, LPARAM) {
    HWND client = reinterpret_cast<HWND>(wParam);
    if (IsWindow(client)) PostMessageA(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(frame), 0);
    diagnosticsLine("dde terminate");
    return 0;
}
