// Dialog 559 "Save settings" and the directory browser, dialog 592.
#include "app/settings_dialog_win32.h"

#include <cstdio>
#include <cstring>

#include "core/path.h"
#include "resources/dialog_ids.h"

namespace {

HINSTANCE g_dialogModule = nullptr;

HINSTANCE dialogModule() {
    return g_dialogModule ? g_dialogModule : GetModuleHandleA(nullptr);
}

// A directory row of dialog 559: its group box, text field and browse
// button; rowField gives the request field it fills.
struct DirectoryRow {
    int box;
    int text;
    int browse;
};

constexpr int kDirectoryChars = kSettingsPathSize;

const DirectoryRow kDirectoryRows[] = {
    {IDC_SAVE_OPEN_DIR, IDC_SAVE_OPEN_DIR_TEXT, IDC_SAVE_OPEN_DIR_BROWSE},
    {IDC_SAVE_INSERT_DIR, IDC_SAVE_INSERT_DIR_TEXT, IDC_SAVE_INSERT_DIR_BROWSE},
    {IDC_SAVE_GENERATE_DIR, IDC_SAVE_GENERATE_DIR_TEXT, IDC_SAVE_GENERATE_DIR_BROWSE},
    {IDC_SAVE_EXPORT_DIR, IDC_SAVE_EXPORT_DIR_TEXT, IDC_SAVE_EXPORT_DIR_BROWSE},
};

char* rowField(SaveSettingsRequest& request, int row) {
    switch (row) {
        case 0:
            return request.openDir;
        case 1:
            return request.insertDir;
        case 2:
            return request.generateDir;
        default:
            return request.exportDir;
    }
}

static_assert(sizeof kSaveGroupBoxes / sizeof kSaveGroupBoxes[0] == 7, "seven group boxes");

bool anyGroupChecked(HWND dialog) {
    for (unsigned box : kSaveGroupBoxes)
        if (IsDlgButtonChecked(dialog, static_cast<int>(box)) == BST_CHECKED) return true;
    return false;
}

// OK only while a box is checked; a directory field only while its box is.
void updateSaveControls(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDOK), anyGroupChecked(dialog));
    for (const DirectoryRow& row : kDirectoryRows) {
        BOOL on = IsDlgButtonChecked(dialog, row.box) == BST_CHECKED;
        EnableWindow(GetDlgItem(dialog, row.text), on);
        EnableWindow(GetDlgItem(dialog, row.browse), on);
    }
}

bool isGroupBox(int id) {
    for (unsigned box : kSaveGroupBoxes)
        if (static_cast<int>(box) == id) return true;
    return false;
}

bool isDirectory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---------------------------------------------------------------------------
// Directory browser

// "C:\" and "\\server\share" have no parent.
bool isRoot(const char* dir) {
    std::size_t n = std::strlen(dir);
    if (n <= 3 && n >= 2 && dir[1] == ':') return true;
    if (n >= 2 && dir[0] == '\\' && dir[1] == '\\') {
        int separators = 0;
        for (const char* p = dir + 2; *p; ++p)
            if (*p == '\\' && p[1]) ++separators;
        return separators <= 1;
    }
    return n <= 1;
}

void parentDirectory(char* dir) {
    if (isRoot(dir)) return;
    if (const std::size_t n = directoryLength(dir)) dir[n] = 0;  // a root keeps its backslash
}

void fillBrowseList(HWND dialog, BrowseDirectoryState& state) {
    SetDlgItemTextA(dialog, IDC_BROWSE_PATH, state.current);
    HWND list = GetDlgItem(dialog, IDC_BROWSE_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    if (!isRoot(state.current)) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("[..]"));
    char pattern[MAX_PATH + 4];
    std::size_t n = std::strlen(state.current);
    bool separator = n && state.current[n - 1] != '\\';
    std::snprintf(pattern, sizeof pattern, "%s%s*", state.current, separator ? "\\" : "");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
            if (!std::strcmp(found.cFileName, ".") || !std::strcmp(found.cFileName, "..")) continue;
            char entry[MAX_PATH + 2];
            std::snprintf(entry, sizeof entry, "[%s]", found.cFileName);
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    DWORD drives = GetLogicalDrives();
    for (int d = 0; d < 26; ++d) {
        if (!(drives & (1u << d))) continue;
        char entry[8];
        std::snprintf(entry, sizeof entry, "[-%c-]", 'a' + d);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
}

// Moves to the list entry `entry`: "[..]", "[name]" or "[-x-]".
void enterBrowseEntry(BrowseDirectoryState& state, const char* entry) {
    std::size_t n = std::strlen(entry);
    if (n < 3 || entry[0] != '[' || entry[n - 1] != ']') return;
    char next[MAX_PATH];
    if (!std::strcmp(entry, "[..]")) {
        std::snprintf(next, sizeof next, "%s", state.current);
        parentDirectory(next);
    } else if (n == 5 && entry[1] == '-' && entry[3] == '-') {
        std::snprintf(next, sizeof next, "%c:\\", entry[2] - 'a' + 'A');
    } else {
        std::size_t length = std::strlen(state.current);
        bool separator = length && state.current[length - 1] != '\\';
        int written = std::snprintf(next, sizeof next, "%s%s%.*s", state.current, separator ? "\\" : "",
                                    static_cast<int>(n - 2), entry + 1);
        if (written < 0 || written >= static_cast<int>(sizeof next)) return;
    }
    if (isDirectory(next)) std::snprintf(state.current, sizeof state.current, "%s", next);
}

void startDirectory(BrowseDirectoryState& state) {
    char full[MAX_PATH];
    if (state.directory && state.directory[0] && isDirectory(state.directory)) {
        DWORD n = GetFullPathNameA(state.directory, sizeof full, full, nullptr);
        if (n && n < sizeof full) {
            normalizeDirectory(full, full, state.current);
            return;
        }
    }
    char current[kSettingsPathSize];
    currentDirectory(current);
    std::snprintf(state.current, sizeof state.current, "%s", current);
}

}  // namespace

void setSettingsDialogModule(HINSTANCE module) {
    g_dialogModule = module;
}

INT_PTR CALLBACK SaveSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* request = reinterpret_cast<SaveSettingsRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            request = reinterpret_cast<SaveSettingsRequest*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            for (int i = 0; i < 7; ++i)
                CheckDlgButton(dialog, static_cast<int>(kSaveGroupBoxes[i]),
                               request && (request->groups & (1u << i)) ? BST_CHECKED : BST_UNCHECKED);
            for (int row = 0; row < 4; ++row) {
                SendDlgItemMessageA(dialog, kDirectoryRows[row].text, EM_LIMITTEXT, kDirectoryChars - 1, 0);
                if (request) SetDlgItemTextA(dialog, kDirectoryRows[row].text, rowField(*request, row));
            }
            updateSaveControls(dialog);
            return TRUE;
        }
        case WM_COMMAND: {
            int id = LOWORD(wParam);
            if (isGroupBox(id)) {
                if (HIWORD(wParam) == BN_CLICKED) updateSaveControls(dialog);
                return TRUE;
            }
            for (const DirectoryRow& row : kDirectoryRows) {
                if (id != row.browse || HIWORD(wParam) != BN_CLICKED) continue;
                char directory[kDirectoryChars];
                GetDlgItemTextA(dialog, row.text, directory, sizeof directory);
                if (runBrowseDirectoryDialog(dialog, directory, sizeof directory))
                    SetDlgItemTextA(dialog, row.text, directory);
                return TRUE;
            }
            if (id == IDOK) {
                if (!anyGroupChecked(dialog)) return TRUE;
                if (request) {
                    request->groups = 0;
                    for (int i = 0; i < 7; ++i)
                        if (IsDlgButtonChecked(dialog, static_cast<int>(kSaveGroupBoxes[i])) == BST_CHECKED)
                            request->groups |= 1u << i;
                    for (int row = 0; row < 4; ++row)
                        GetDlgItemTextA(dialog, kDirectoryRows[row].text, rowField(*request, row),
                                        kDirectoryChars);
                }
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

INT_PTR CALLBACK BrowseDirectoryDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<BrowseDirectoryState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            state = reinterpret_cast<BrowseDirectoryState*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            if (!state) return TRUE;
            SendDlgItemMessageA(dialog, IDC_BROWSE_PATH, EM_LIMITTEXT, MAX_PATH - 1, 0);
            startDirectory(*state);
            fillBrowseList(dialog, *state);
            return TRUE;
        case WM_COMMAND: {
            int id = LOWORD(wParam);
            if (id == IDC_BROWSE_LIST && HIWORD(wParam) == LBN_DBLCLK && state) {
                HWND list = GetDlgItem(dialog, IDC_BROWSE_LIST);
                LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
                if (index == LB_ERR || SendMessageA(list, LB_GETTEXTLEN, index, 0) >= MAX_PATH + 2)
                    return TRUE;
                char entry[MAX_PATH + 2];
                SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(entry));
                enterBrowseEntry(*state, entry);
                fillBrowseList(dialog, *state);
                return TRUE;
            }
            if (id == IDOK) {
                if (state && state->directory && state->size > 0) {
                    char typed[MAX_PATH];
                    GetDlgItemTextA(dialog, IDC_BROWSE_PATH, typed, sizeof typed);
                    char chosen[kSettingsPathSize];
                    normalizeDirectory(typed, state->current, chosen);
                    std::snprintf(state->directory, static_cast<std::size_t>(state->size), "%s", chosen);
                }
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

bool runSaveSettingsDialog(HWND owner, SaveSettingsRequest& request) {
    SaveSettingsRequest edited = request;
    INT_PTR result = DialogBoxParamA(dialogModule(), MAKEINTRESOURCEA(IDD_SAVE_SETTINGS), owner,
                                     SaveSettingsDlgProc, reinterpret_cast<LPARAM>(&edited));
    if (result != IDOK) return false;
    request = edited;
    return true;
}

bool chooseSaveSettingsWin32(SaveSettingsRequest& request, void* owner) {
    return runSaveSettingsDialog(static_cast<HWND>(owner), request);
}

bool runBrowseDirectoryDialog(HWND owner, char* directory, int size) {
    if (!directory || size <= 0) return false;
    BrowseDirectoryState state{};
    char chosen[kSettingsPathSize];
    std::snprintf(chosen, sizeof chosen, "%s", directory);
    state.directory = chosen;
    state.size = sizeof chosen;
    INT_PTR result = DialogBoxParamA(dialogModule(), MAKEINTRESOURCEA(IDD_BROWSE_DIRECTORY), owner,
                                     BrowseDirectoryDlgProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return false;
    std::snprintf(directory, static_cast<std::size_t>(size), "%s", chosen);
    return true;
}
