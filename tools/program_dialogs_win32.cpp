// The dialogs of the Execute programs: the program list, the settings of
// one program, its end conditions and the prompt of a run. The checks are
// those of tools/program_list.h; these procedures move the fields.
#include <shlobj.h>

#include <cstdio>

#include "core/host.h"
#include "core/path.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "resources/tools_dialog_ids.h"
#include "tools/tools_internal_win32.h"

namespace {

std::string itemText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

template <std::size_t N>
void getText(HWND dialog, int id, char (&out)[N]) {
    GetDlgItemTextA(dialog, id, out, static_cast<int>(N));
}

template <std::size_t N>
void setText(HWND dialog, int id, const char (&text)[N]) {
    SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, N - 1, 0);
    SetDlgItemTextA(dialog, id, text);
}

bool checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void check(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// A file for an edit field, through the host's file dialog.
void browseFile(HWND dialog, int edit) {
    Host* host = currentHost();
    if (!host) return;
    char path[MAX_PATH];
    GetDlgItemTextA(dialog, edit, path, sizeof path);
    char filter[128] = "All files (*.*)|*.*";
    platform::loadString(IDS_PROMPT_FILE_FILTER, filter, sizeof filter);
    FileDialogRequest request{};
    request.filter = filter;
    request.path = path;
    request.pathSize = sizeof path;
    if (host->chooseFile(request) && path[0]) SetDlgItemTextA(dialog, edit, path);
}

void browseDirectory(HWND dialog, int edit) {
    char title[64] = "Working directory";
    platform::loadString(IDS_WORKING_DIRECTORY, title, sizeof title);
    BROWSEINFOA info{};
    info.hwndOwner = dialog;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    if (LPITEMIDLIST chosen = SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, path)) SetDlgItemTextA(dialog, edit, path);
        CoTaskMemFree(chosen);
    }
}

// ---------------------------------------------------------------------------
// Program end

INT_PTR CALLBACK ProgramEndDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* entry = reinterpret_cast<ProgramEntry*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            entry = reinterpret_cast<ProgramEntry*>(lParam);
            check(dialog, IDC_END_TERMINATION, entry->endConditions & kEndProgramTermination);
            check(dialog, IDC_END_FILE, entry->endConditions & kEndFileExists);
            check(dialog, IDC_END_EVENT, entry->endConditions & kEndEventSet);
            check(dialog, IDC_END_DDE, entry->endConditions & kEndDdeAcknowledge);
            setText(dialog, IDC_END_FILE_NAME, entry->progFinishFile);
            setText(dialog, IDC_END_EVENT_NAME, entry->progFinishEvent);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_END_FILE_BROWSE:
                    browseFile(dialog, IDC_END_FILE_NAME);
                    return TRUE;
                case IDOK: {
                    unsigned conditions = 0;
                    if (checked(dialog, IDC_END_TERMINATION)) conditions |= kEndProgramTermination;
                    if (checked(dialog, IDC_END_FILE)) conditions |= kEndFileExists;
                    if (checked(dialog, IDC_END_EVENT)) conditions |= kEndEventSet;
                    if (checked(dialog, IDC_END_DDE)) conditions |= kEndDdeAcknowledge;
                    const std::string file = itemText(dialog, IDC_END_FILE_NAME);
                    const std::string event = itemText(dialog, IDC_END_EVENT_NAME);
                    if (unsigned problem = checkEndConditions(conditions, file.c_str(), event.c_str())) {
                        showMessage(problem, kBoxDefault);
                        return TRUE;
                    }
                    entry->endConditions = conditions;
                    getText(dialog, IDC_END_FILE_NAME, entry->progFinishFile);
                    getText(dialog, IDC_END_EVENT_NAME, entry->progFinishEvent);
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

// ---------------------------------------------------------------------------
// Program settings

struct SettingsDialog {
    ProgramEntry entry;  // edited; copied out on OK
    const ProgramList* list;
    int self;  // position in the list, -1 for a new program
};

struct CheckField {
    int id;
    bool ProgramEntry::*field;
};
constexpr CheckField kChecks[] = {
    {IDC_PS_SAVE, &ProgramEntry::saveFile},
    {IDC_PS_EXPORT, &ProgramEntry::exportFile},
    {IDC_PS_SAVE_ALL, &ProgramEntry::saveAllFiles},
    {IDC_PS_EXPORT_ALL, &ProgramEntry::exportAllFiles},
    {IDC_PS_CLOSE, &ProgramEntry::closeFile},
    {IDC_PS_LONG_NAMES, &ProgramEntry::useLongFileNames},
    {IDC_PS_MINIMIZED, &ProgramEntry::runMinimized},
    {IDC_PS_STDIN, &ProgramEntry::stdInRedirection},
    {IDC_PS_STDOUT, &ProgramEntry::stdOutRedirection},
    {IDC_PS_STDERR, &ProgramEntry::stdErrRedirection},
    {IDC_PS_SHOW_RESULT, &ProgramEntry::showResultFile},
    {IDC_PS_RESULT_ANSI, &ProgramEntry::resultIsAnsi},
    {IDC_PS_NOT_EMPTY, &ProgramEntry::dontShowResultIfEmpty},
    {IDC_PS_PARSE, &ProgramEntry::parseResultFile},
    {IDC_PS_SHOW_FILE, &ProgramEntry::showFile},
    {IDC_PS_MESSAGE, &ProgramEntry::terminationMessage},
};

void fillSettings(HWND dialog, const ProgramEntry& e) {
    setText(dialog, IDC_PS_NAME, e.name);
    CheckRadioButton(dialog, IDC_PS_WINDOWS, IDC_PS_DOS, e.windowsProgram ? IDC_PS_WINDOWS : IDC_PS_DOS);
    setText(dialog, IDC_PS_COMMAND, e.commandLine);
    setText(dialog, IDC_PS_DIRECTORY, e.workingDirectory);
    setText(dialog, IDC_PS_STDIN_FILE, e.stdInTarget);
    setText(dialog, IDC_PS_STDOUT_FILE, e.stdOutTarget);
    setText(dialog, IDC_PS_STDERR_FILE, e.stdErrTarget);
    setText(dialog, IDC_PS_RESULT, e.resultFile);
    setText(dialog, IDC_PS_SHOW_FILE_NAME, e.showFileName);
    for (const CheckField& c : kChecks) check(dialog, c.id, e.*c.field);
}

void readSettings(HWND dialog, ProgramEntry& e) {
    getText(dialog, IDC_PS_NAME, e.name);
    e.windowsProgram = checked(dialog, IDC_PS_WINDOWS);
    getText(dialog, IDC_PS_COMMAND, e.commandLine);
    getText(dialog, IDC_PS_DIRECTORY, e.workingDirectory);
    getText(dialog, IDC_PS_STDIN_FILE, e.stdInTarget);
    getText(dialog, IDC_PS_STDOUT_FILE, e.stdOutTarget);
    getText(dialog, IDC_PS_STDERR_FILE, e.stdErrTarget);
    getText(dialog, IDC_PS_RESULT, e.resultFile);
    getText(dialog, IDC_PS_SHOW_FILE_NAME, e.showFileName);
    for (const CheckField& c : kChecks) e.*c.field = checked(dialog, c.id);
}

INT_PTR CALLBACK ProgramSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            fillSettings(dialog, reinterpret_cast<SettingsDialog*>(lParam)->entry);
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const struct {
                int button, edit;
            } browse[] = {{IDC_PS_STDIN_BROWSE, IDC_PS_STDIN_FILE},
                          {IDC_PS_STDOUT_BROWSE, IDC_PS_STDOUT_FILE},
                          {IDC_PS_STDERR_BROWSE, IDC_PS_STDERR_FILE},
                          {IDC_PS_RESULT_BROWSE, IDC_PS_RESULT},
                          {IDC_PS_SHOW_FILE_BROWSE, IDC_PS_SHOW_FILE_NAME}};
            for (const auto& b : browse)
                if (id == b.button) {
                    browseFile(dialog, b.edit);
                    return TRUE;
                }
            if (id == IDC_PS_DIRECTORY_BROWSE) {
                browseDirectory(dialog, IDC_PS_DIRECTORY);
                return TRUE;
            }
            if (id == IDC_PS_END) {
                ProgramEntry end = state->entry;
                if (DialogBoxParamA(g_tools.frame.instance, MAKEINTRESOURCEA(IDD_PROGRAM_END), dialog,
                                    ProgramEndDlgProc, reinterpret_cast<LPARAM>(&end)) == IDOK) {
                    state->entry.endConditions = end.endConditions;
                    copyText(state->entry.progFinishFile, end.progFinishFile);
                    copyText(state->entry.progFinishEvent, end.progFinishEvent);
                }
                return TRUE;
            }
            if (id == IDOK) {
                ProgramEntry edited = state->entry;
                readSettings(dialog, edited);
                unsigned detail = 0;
                if (unsigned problem = checkProgramName(*state->list, state->self, edited.name)) {
                    showMessage(problem, kBoxDefault);
                    SetFocus(GetDlgItem(dialog, IDC_PS_NAME));
                    return TRUE;
                }
                if (unsigned problem = checkRedirection(edited, &detail)) {
                    char stream[32] = {};
                    platform::loadString(detail, stream, sizeof stream);
                    showMessage(problem, kBoxDefault, stream);
                    return TRUE;
                }
                state->entry = edited;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

bool editProgram(HWND owner, const ProgramList& list, int self, ProgramEntry& entry) {
    SettingsDialog state{entry, &list, self};
    if (DialogBoxParamA(g_tools.frame.instance, MAKEINTRESOURCEA(IDD_PROGRAM_SETTINGS), owner,
                        ProgramSettingsDlgProc, reinterpret_cast<LPARAM>(&state)) != IDOK)
        return false;
    entry = state.entry;
    // Blanks around the name would not survive the settings file.
    std::string name = entry.name;
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    copyText(entry.name, name.c_str());
    return true;
}

// ---------------------------------------------------------------------------
// Program list

void fillList(HWND dialog, const ProgramList& list, int select) {
    HWND box = GetDlgItem(dialog, IDC_PROGRAMS);
    SendMessageA(box, LB_RESETCONTENT, 0, 0);
    for (const ProgramEntry& e : list.entries)
        SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name));
    if (select >= 0) SendMessageA(box, LB_SETSEL, TRUE, select);
}

std::vector<int> selection(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_PROGRAMS);
    const int count = static_cast<int>(SendMessageA(box, LB_GETSELCOUNT, 0, 0));
    std::vector<int> items(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0) SendMessageA(box, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(items.data()));
    return items;
}

INT_PTR CALLBACK ProgramListDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* list = reinterpret_cast<ProgramList*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            fillList(dialog, *reinterpret_cast<ProgramList*>(lParam), 0);
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const std::vector<int> selected = selection(dialog);
            const int first = selected.empty() ? -1 : selected.front();
            if (id == IDC_PROGRAM_ADD) {
                if (static_cast<int>(list->entries.size()) >= kMaxPrograms) {
                    showMessage(IDS_PROGRAM_LIST_FULL, kBoxDefault, kMaxPrograms);
                    return TRUE;
                }
                ProgramEntry entry;
                initProgramEntry(entry);
                if (editProgram(dialog, *list, -1, entry)) {
                    list->entries.push_back(entry);
                    fillList(dialog, *list, static_cast<int>(list->entries.size()) - 1);
                }
                return TRUE;
            }
            if (id == IDC_PROGRAM_EDIT || (id == IDC_PROGRAMS && HIWORD(wParam) == LBN_DBLCLK)) {
                if (first < 0) return TRUE;
                ProgramEntry entry = list->entries[static_cast<std::size_t>(first)];
                if (editProgram(dialog, *list, first, entry)) {
                    list->entries[static_cast<std::size_t>(first)] = entry;
                    fillList(dialog, *list, first);
                }
                return TRUE;
            }
            if (id == IDC_PROGRAM_REMOVE) {
                if (selected.empty() ||
                    askQuestion(IDS_REMOVE_PROGRAMS, kBoxYesNo | kIconQuestion, kAnswerNo) != kAnswerYes)
                    return TRUE;
                for (auto it = selected.rbegin(); it != selected.rend(); ++it) removeProgram(*list, *it);
                fillList(dialog, *list, first < static_cast<int>(list->entries.size()) ? first : first - 1);
                return TRUE;
            }
            if ((id == IDC_PROGRAM_UP || id == IDC_PROGRAM_DOWN) && selected.size() == 1) {
                const int to = id == IDC_PROGRAM_UP ? first - 1 : first + 1;
                if (moveProgram(*list, first, to)) fillList(dialog, *list, to);
                return TRUE;
            }
            if (id == IDOK || id == IDCANCEL) {
                EndDialog(dialog, id);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

// ---------------------------------------------------------------------------
// Prompt

struct PromptDialog {
    const char* title;
    const PromptRequest* request;
    std::string* answer;
};

INT_PTR CALLBACK ProgramPromptDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<PromptDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<PromptDialog*>(lParam);
            SetWindowTextA(dialog, state->title);
            SetDlgItemTextA(dialog, IDC_PROMPT_TEXT, state->request->text.c_str());
            SetDlgItemTextA(dialog, IDC_PROMPT_ANSWER, state->answer->c_str());
            ShowWindow(GetDlgItem(dialog, IDC_PROMPT_BROWSE), state->request->file ? SW_SHOW : SW_HIDE);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_PROMPT_BROWSE:
                    browseFile(dialog, IDC_PROMPT_ANSWER);
                    return TRUE;
                case IDOK:
                    *state->answer = itemText(dialog, IDC_PROMPT_ANSWER);
                    EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

bool runProgramListDialog(HWND owner, ProgramList& list) {
    return DialogBoxParamA(g_tools.frame.instance, MAKEINTRESOURCEA(IDD_PROGRAM_LIST), owner,
                           ProgramListDlgProc, reinterpret_cast<LPARAM>(&list)) == IDOK;
}

bool runPromptDialog(HWND owner, const char* title, const PromptRequest& request, std::string& answer) {
    PromptDialog state{title, &request, &answer};
    return DialogBoxParamA(g_tools.frame.instance, MAKEINTRESOURCEA(IDD_PROGRAM_PROMPT), owner,
                           ProgramPromptDlgProc, reinterpret_cast<LPARAM>(&state)) == IDOK;
}
