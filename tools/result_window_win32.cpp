// The result window (dialog 602): the text of the result file in a
// read-only edit control that fills it. Enter or a double click on a
// number goes to that line of the generated source in the diagram; the
// view position is kept while the window is closed, until a new run.
#include <cstdio>

#include "core/host.h"
#include "platform/platform.h"
#include "resources/commands.h"
#include "resources/strings.h"
#include "resources/tools_dialog_ids.h"
#include "tools/result_text.h"
#include "tools/tools_internal_win32.h"

namespace {

// Sent to the window by the end of a run: load the file again from the top.
constexpr int kReloadCommand = 1000;

WNDPROC g_editProc = nullptr;

HWND textOf(HWND window) {
    return GetDlgItem(window, IDC_RESULT_TEXT);
}

void load(HWND window) {
    const ResultState& state = g_tools.result;
    if (state.file.empty()) return;
    const ResultText text = loadResultText(state.file.c_str(), state.ansi);
    if (text.truncated) showMessage(IDS_RESULT_TOO_LONG, kBoxDefault, state.file.c_str());
    HWND edit = textOf(window);
    SetWindowTextA(edit, text.text.c_str());
    char title[64] = "Korrin(VRD)";
    platform::loadString(IDS_TITLE, title, sizeof title);
    char caption[MAX_PATH + 80];
    std::snprintf(caption, sizeof caption, "%s - %s", title, state.file.c_str());
    SetWindowTextA(window, caption);
    // The remembered view: the first line on top, the caret where it was.
    SendMessageA(edit, EM_LINESCROLL, 0, state.firstLine);
    const LRESULT lineStart = SendMessageA(edit, EM_LINEINDEX, static_cast<WPARAM>(state.caretLine), 0);
    const LRESULT caret = lineStart < 0 ? 0 : lineStart + state.caretOffset;
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(caret), caret);
    toolsLog("result window %d lines %s", static_cast<int>(SendMessageA(edit, EM_GETLINECOUNT, 0, 0)),
             state.file.c_str());
}

void rememberView(HWND window) {
    HWND edit = textOf(window);
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int line = static_cast<int>(SendMessageA(edit, EM_LINEFROMCHAR, end, 0));
    g_tools.result.firstLine = static_cast<int>(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    g_tools.result.caretLine = line;
    g_tools.result.caretOffset = static_cast<int>(end - SendMessageA(edit, EM_LINEINDEX, line, 0));
}

// The number at character `at` of the text, or in the selection.
void jump(HWND edit, int at, bool useSelection) {
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (at < 0) at = static_cast<int>(end);
    const LRESULT line = SendMessageA(edit, EM_LINEFROMCHAR, static_cast<WPARAM>(at), 0);
    const LRESULT lineStart = SendMessageA(edit, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    char text[kResultLineLimit + 1] = {};
    *reinterpret_cast<WORD*>(text) = kResultLineLimit;
    const LRESULT length =
        SendMessageA(edit, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text));
    text[length >= 0 && length <= kResultLineLimit ? length : 0] = 0;
    int selStart = 0, selEnd = 0;
    if (useSelection && end > start && static_cast<LRESULT>(start) >= lineStart &&
        static_cast<LRESULT>(end) <= lineStart + length) {
        selStart = static_cast<int>(start - lineStart);
        selEnd = static_cast<int>(end - lineStart);
    }
    const long number = lineNumberAt(text, static_cast<int>(at - lineStart), selStart, selEnd);
    toolsLog("result jump %ld", number);
    if (number <= 0) return;
    if (!g_tools.frame.goToLine || !g_tools.frame.goToLine(number)) MessageBeep(MB_OK);
}

LRESULT CALLBACK ResultTextProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDBLCLK) {
        const LRESULT result = CallWindowProcA(g_editProc, edit, message, wParam, lParam);
        const LRESULT at = SendMessageA(edit, EM_CHARFROMPOS, 0, lParam);
        jump(edit, static_cast<int>(LOWORD(at)), false);
        return result;
    }
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        jump(edit, -1, true);
        return 0;
    }
    if (message == WM_GETDLGCODE && lParam && reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
        return DLGC_WANTALLKEYS;
    return CallWindowProcA(g_editProc, edit, message, wParam, lParam);
}

void fill(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(textOf(window), 0, 0, client.right, client.bottom, TRUE);
}

INT_PTR CALLBACK result_dlg_proc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            HWND edit = textOf(window);
            SendMessageA(edit, EM_SETLIMITTEXT, kResultTextLimit + 2, 0);
            SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), FALSE);
            g_editProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ResultTextProc)));
            fill(window);
            return TRUE;
        }
        case WM_SIZE:
            fill(window);
            return TRUE;
        case WM_ACTIVATE:
            if (HWND* slot = g_tools.frame.modelessDialog) {
                if (LOWORD(wParam) != WA_INACTIVE)
                    *slot = window;
                else if (*slot == window)
                    *slot = nullptr;
            }
            if (LOWORD(wParam) != WA_INACTIVE && g_tools.frame.setStatus) {
                char help[128] = {};
                platform::loadString(IDS_RESULT_WINDOW_HELP, help, sizeof help);
                g_tools.frame.setStatus(help);
            }
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                DestroyWindow(window);
                return TRUE;
            }
            if (LOWORD(wParam) == kReloadCommand) {
                g_tools.result.firstLine = g_tools.result.caretLine = g_tools.result.caretOffset = 0;
                load(window);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            DestroyWindow(window);
            return TRUE;
        case WM_DESTROY: {
            rememberView(window);
            RECT rect;
            GetWindowRect(window, &rect);
            if (g_tools.frame.resultRect) g_tools.frame.resultRect(&rect, true);
            if (g_tools.frame.resultWindow) *g_tools.frame.resultWindow = 0;
            if (g_tools.frame.modelessDialog && *g_tools.frame.modelessDialog == window)
                *g_tools.frame.modelessDialog = nullptr;
            toolsLog("result window closed");
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

HWND resultWindow() {
    return g_tools.frame.resultWindow ? reinterpret_cast<HWND>(*g_tools.frame.resultWindow) : nullptr;
}

void openResultWindow() {
    if (resultWindow()) return;
    HWND window = CreateDialogParamA(g_tools.frame.instance, MAKEINTRESOURCEA(IDD_RESULT),
                                     g_tools.frame.frame, result_dlg_proc, 0);
    if (!window) return;
    if (g_tools.frame.resultWindow) *g_tools.frame.resultWindow = reinterpret_cast<std::uintptr_t>(window);
    RECT rect{};
    if (g_tools.frame.resultRect) {
        g_tools.frame.resultRect(&rect, false);
        if (rect.right > rect.left && rect.bottom > rect.top)
            MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
    }
    load(window);
    ShowWindow(window, SW_SHOWNOACTIVATE);
}

void reloadResultWindow() {
    if (HWND window = resultWindow()) SendMessageA(window, WM_COMMAND, kReloadCommand, 0);
}

bool resultCommand(unsigned command) {
    if (command != CMD_OPTIONS_RESULT_FILE) return false;
    if (HWND open = resultWindow()) {
        DestroyWindow(open);
        return true;
    }
    openResultWindow();
    return resultWindow() != nullptr;
}
