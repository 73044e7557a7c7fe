// The "Text" window, the external editor and the "Editors" settings dialog.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/edit_win32.h"
#include "app/frame_win32.h"
#include "app/settings.h"
#include "app/text_edit_win32.h"
#include "app/view_win32.h"
#include "core/host.h"
#include "edit/text_edit.h"
#include "platform/platform.h"
#include "resources/dialog_ids.h"
#include "resources/strings.h"

namespace {

struct TextWindowData {
    std::string text;
    bool multi = true;
    long sourceLine = 0;
};

void showCaretPlace(HWND dialog, const TextWindowData& data) {
    HWND field = GetDlgItem(dialog, IDC_TEXT_FIELD);
    DWORD start = 0, end = 0;
    SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const LRESULT line = SendMessageA(field, EM_LINEFROMCHAR, end, 0);
    const LRESULT lineStart = SendMessageA(field, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    char text[64];
    std::snprintf(text, sizeof text, "Line: %ld", static_cast<long>(line) + 1);
    SetDlgItemTextA(dialog, IDC_TEXT_LINE, text);
    std::snprintf(text, sizeof text, "Column: %ld", static_cast<long>(end - lineStart) + 1);
    SetDlgItemTextA(dialog, IDC_TEXT_COLUMN, text);
    if (data.sourceLine > 0) {
        std::snprintf(text, sizeof text, "Source line: %ld", data.sourceLine + static_cast<long>(line));
        SetDlgItemTextA(dialog, IDC_TEXT_SOURCE_LINE, text);
    }
    CheckDlgButton(dialog, IDC_TEXT_OVERWRITE, editOverwrite(field) ? BST_CHECKED : BST_UNCHECKED);
}

void setUppercase(HWND field, bool on) {
    LONG_PTR style = GetWindowLongPtrA(field, GWL_STYLE);
    style = on ? (style | ES_UPPERCASE) : (style & ~static_cast<LONG_PTR>(ES_UPPERCASE));
    SetWindowLongPtrA(field, GWL_STYLE, style);
}

SettingsRect& storedPlace(bool multi) {
    return multi ? g_frameSettings.multiLineEdit : g_frameSettings.singleLineEdit;
}

INT_PTR CALLBACK textDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* data = reinterpret_cast<TextWindowData*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            data = reinterpret_cast<TextWindowData*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            HWND field = GetDlgItem(dialog, IDC_TEXT_FIELD);
            const FrameMessages& m = g_frame.messages;
            SendMessageA(field, m.editSubInit, data->multi ? 1 : 0, 0);
            SendMessageA(field, m.editIndent, data->multi ? 1 : 0, 0);
            SendMessageA(field, m.editTabStops, data->multi ? 1 : 0, 0);
            // Longer texts can be typed or pasted; Ok refuses them with a message.
            SendMessageA(field, EM_LIMITTEXT, 0, 0);
            SetWindowTextA(field, data->text.c_str());
            setUppercase(field, g_frameSettings.editUppercase);
            CheckDlgButton(dialog, IDC_TEXT_CAPITALIZE,
                           g_frameSettings.editUppercase ? BST_CHECKED : BST_UNCHECKED);
            const SettingsRect& r = storedPlace(data->multi);
            if (r.right > r.left && r.bottom > r.top)
                SetWindowPos(dialog, nullptr, r.left, r.top, data->multi ? r.right - r.left : 0,
                             data->multi ? r.bottom - r.top : 0,
                             SWP_NOZORDER | (data->multi ? 0 : SWP_NOSIZE));
            showCaretPlace(dialog, *data);
            SetFocus(field);
            diagnosticsLine("text window %s", data->multi ? "multi-line" : "single-line");
            return FALSE;
        }
        case kEditCaretMoved:
            if (data) showCaretPlace(dialog, *data);
            return TRUE;
        case WM_SIZE:
            if (data && data->multi) {
                // The field takes the room the status line and buttons leave.
                RECT field;
                GetWindowRect(GetDlgItem(dialog, IDC_TEXT_FIELD), &field);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&field), 2);
                RECT ok;
                GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
                const int below = ok.bottom - ok.top;
                const int width = LOWORD(lParam) - 2 * field.left;
                const int height = HIWORD(lParam) - field.top - 3 * below;
                if (width > 20 && height > 20)
                    SetWindowPos(GetDlgItem(dialog, IDC_TEXT_FIELD), nullptr, 0, 0, width, height,
                                 SWP_NOMOVE | SWP_NOZORDER);
            }
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_TEXT_OVERWRITE:
                    setEditOverwrite(GetDlgItem(dialog, IDC_TEXT_FIELD),
                                     IsDlgButtonChecked(dialog, IDC_TEXT_OVERWRITE) == BST_CHECKED);
                    SetFocus(GetDlgItem(dialog, IDC_TEXT_FIELD));
                    return TRUE;
                case IDC_TEXT_CAPITALIZE:
                    g_frameSettings.editUppercase =
                        IsDlgButtonChecked(dialog, IDC_TEXT_CAPITALIZE) == BST_CHECKED;
                    setUppercase(GetDlgItem(dialog, IDC_TEXT_FIELD), g_frameSettings.editUppercase);
                    SetFocus(GetDlgItem(dialog, IDC_TEXT_FIELD));
                    return TRUE;
                case IDOK:
                case IDCANCEL: {
                    if (LOWORD(wParam) == IDOK) {
                        std::string text = windowTextOf(GetDlgItem(dialog, IDC_TEXT_FIELD));
                        if (text.size() >= static_cast<std::size_t>(kTextLimit)) {
                            diagnosticsLine("text window too long %zu", text.size());
                            showMessage(IDS_TEXT_TOO_LONG, kBoxDefault);
                            SetFocus(GetDlgItem(dialog, IDC_TEXT_FIELD));
                            return TRUE;
                        }
                        data->text = std::move(text);
                    }
                    RECT r;
                    GetWindowRect(dialog, &r);
                    storedPlace(data->multi) = SettingsRect{r.left, r.top, r.right, r.bottom};
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                }
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

void commitText(SegmentWindow& window, unsigned command, ConstructNode* node, int field,
                const std::string& text, const char* who) {
    EditContext context = editContextOf(window);
    const CommitResult result = commitFieldText(context, command, node, field, text);
    if (result == CommitResult::TooLong) showMessage(IDS_TEXT_TOO_LONG, kBoxDefault);
    diagnosticsLine("%s %s", who,
                    result == CommitResult::Committed   ? "committed"
                    : result == CommitResult::TooLong   ? "too long"
                    : result == CommitResult::Unchanged ? "unchanged"
                                                        : "refused");
    if (result == CommitResult::Committed) afterEdit(window);
}

}  // namespace

bool editInTextWindow(SegmentWindow& window, int field) {
    ConstructNode* node = window.selectionFirst;
    if (!node || !fieldEditable(node, field)) return false;
    registerEditClass(g_frame.instance);
    TextWindowData data;
    data.text = fieldText(node, field);
    data.multi = fieldIsMultiLine(field);
    data.sourceLine = node->lineNumber;
    g_frame.textEditMode = 2;
    ++g_frame.modalDepth;
    const INT_PTR answer =
        DialogBoxParamA(g_frame.instance, MAKEINTRESOURCEA(data.multi ? IDD_TEXT_MULTI : IDD_TEXT_SINGLE),
                        g_frame.frame, textDialogProc, reinterpret_cast<LPARAM>(&data));
    --g_frame.modalDepth;
    g_frame.textEditMode = 0;
    if (answer != IDOK) {
        diagnosticsLine("text window cancelled");
        return false;
    }
    commitText(window, CMD_EDIT_WINDOW, node, field, data.text, "text window");
    return true;
}

bool editExternally(SegmentWindow& window, int field) {
    ConstructNode* node = window.selectionFirst;
    if (!node || !fieldEditable(node, field)) return false;
    const char* editor = g_frameSettings.externalEditor;
    char temp[MAX_PATH];
    if (!platform::tempFileName("vrd", temp)) {
        showMessage(IDS_UNABLE_TO_EXECUTE_TEMP, kBoxDefault, editor);
        return false;
    }
    // The file goes on every path from here.
    struct Remove {
        const char* path;
        ~Remove() { platform::deleteFile(path); }
    } remove{temp};
    const std::string text = fieldText(node, field);
    std::FILE* f = std::fopen(temp, "wb");
    const bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && std::fclose(f) != 0) f = nullptr;
    if (!written || !f) {
        showMessage(IDS_UNABLE_TO_EXECUTE_TEMP, kBoxDefault, editor);
        return false;
    }
    std::string commandLine = std::string(editor) + " \"" + temp + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!editor[0] || !CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process)) {
        showMessage(IDS_UNABLE_TO_EXECUTE, kBoxDefault, editor);
        return false;
    }
    CloseHandle(process.hThread);
    char waiting[128];
    if (platform::loadString(IDS_WAITING_FOR_EDITOR, waiting, sizeof waiting) <= 0) waiting[0] = 0;
    setStatusText(waiting);
    EnableWindow(g_frame.frame, FALSE);
    diagnosticsLine("external editor started");
    // The windows keep painting while the editor runs.
    bool quit = false;
    int quitCode = 0;
    while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = static_cast<int>(msg.wParam);
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    CloseHandle(process.hProcess);
    EnableWindow(g_frame.frame, TRUE);
    SetForegroundWindow(g_frame.frame);
    setStatusText("");
    if (quit) PostQuitMessage(quitCode);
    diagnosticsLine("external editor ended");

    std::FILE* in = std::fopen(temp, "rb");
    if (!in) {
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, temp);
        return false;
    }
    std::string file(static_cast<std::size_t>(kExternalReadLimit) + 1, '\0');
    const std::size_t got = std::fread(file.data(), 1, file.size(), in);
    std::fclose(in);
    if (got > static_cast<std::size_t>(kExternalReadLimit)) {
        diagnosticsLine("external editor too long");
        showMessage(IDS_TEXT_TOO_LONG, kBoxDefault);
        return false;
    }
    file.resize(got);
    // The window may have closed meanwhile.
    bool stillThere = false;
    forEachWindow(g_segmentWindows, [&](SegmentWindow& w) { stillThere = stillThere || &w == &window; });
    if (!stillThere || window.selectionFirst != node) return false;
    commitText(window, CMD_EDIT_EXTERNAL, node, field, textFromEditorFile(file), "external editor");
    return true;
}

namespace {

INT_PTR CALLBACK editorsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const int choice = g_frameSettings.defaultEditor;
            CheckRadioButton(dialog, IDC_EDITORS_DIRECT, IDC_EDITORS_EXTERNAL,
                             choice == 1   ? IDC_EDITORS_WINDOW
                             : choice == 2 ? IDC_EDITORS_EXTERNAL
                                           : IDC_EDITORS_DIRECT);
            SendDlgItemMessageA(dialog, IDC_EDITORS_COMMAND, EM_LIMITTEXT, kSettingsPathSize - 1, 0);
            SetDlgItemTextA(dialog, IDC_EDITORS_COMMAND, g_frameSettings.externalEditor);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                char command[kSettingsPathSize];
                GetDlgItemTextA(dialog, IDC_EDITORS_COMMAND, command, sizeof command);
                int choice = IsDlgButtonChecked(dialog, IDC_EDITORS_WINDOW) == BST_CHECKED     ? 1
                             : IsDlgButtonChecked(dialog, IDC_EDITORS_EXTERNAL) == BST_CHECKED ? 2
                                                                                               : 0;
                if (choice == 2 && !command[0]) choice = 0;  // no external editor to start
                std::snprintf(g_frameSettings.externalEditor, sizeof g_frameSettings.externalEditor, "%s",
                              command);
                g_frameSettings.defaultEditor = choice;
                g_frameSettings.window.changed = true;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

bool editorsDialog() {
    ++g_frame.modalDepth;
    const INT_PTR answer =
        DialogBoxParamA(g_frame.instance, MAKEINTRESOURCEA(IDD_EDITORS), g_frame.frame, editorsDialogProc, 0);
    --g_frame.modalDepth;
    diagnosticsLine("editors %d %s", g_frameSettings.defaultEditor, g_frameSettings.externalEditor);
    return answer == IDOK;
}
