// Dialog 559 "Save settings" and the directory browser (dialog 592), created
// from the real templates (Windows build only).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/settings.h"
#include "app/settings_dialog_win32.h"
#include "resources/dialog_ids.h"
#include "tests/config/temp_ini.h"
#include "tests/support/host_recorder.h"

namespace {

std::string itemText(HWND dialog, int id) {
    char text[MAX_PATH] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Sets a group box as a click would and tells the dialog.
void setBox(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

SaveSettingsRequest sampleRequest() {
    SaveSettingsRequest request{};
    request.groups = kSaveAllGroups;
    std::strcpy(request.openDir, "C:\\open");
    std::strcpy(request.insertDir, "C:\\insert");
    std::strcpy(request.generateDir, "C:\\generate");
    std::strcpy(request.exportDir, "C:\\export");
    return request;
}

// A scratch directory with two subdirectories.
struct TempTree {
    std::string root;
    TempTree() {
        char base[MAX_PATH];
        GetTempPathA(sizeof base, base);
        root = std::string(base) + "korrin-browse-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA((root + "\\alpha").c_str(), nullptr);
        CreateDirectoryA((root + "\\beta").c_str(), nullptr);
    }
    ~TempTree() {
        RemoveDirectoryA((root + "\\alpha").c_str());
        RemoveDirectoryA((root + "\\beta").c_str());
        RemoveDirectoryA(root.c_str());
    }
};

int listIndex(HWND dialog, const char* entry) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_BROWSE_LIST, LB_FINDSTRINGEXACT, WPARAM(-1),
                                                reinterpret_cast<LPARAM>(entry)));
}

// Presses a button of the thread's dialog once it is up (for the modal runs).
int g_pressButton = IDOK;
BOOL CALLBACK findVisibleDialog(HWND window, LPARAM found) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}
void CALLBACK pressOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    KillTimer(nullptr, timer);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(g_pressButton, BN_CLICKED), 0);
}

}  // namespace

TEST(SaveSettingsDialog, BoxesEnableOkAndOkFillsTheRequest) {
    SaveSettingsRequest request = sampleRequest();
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVE_SETTINGS), nullptr,
                                     SaveSettingsDlgProc, reinterpret_cast<LPARAM>(&request));
    ASSERT_NE(dialog, nullptr);
    const int boxes[] = {IDC_SAVE_GENERAL,      IDC_SAVE_OPEN_DIR,     IDC_SAVE_INSERT_DIR,
                         IDC_SAVE_GENERATE_DIR, IDC_SAVE_EDIT_WINDOWS, IDC_SAVE_EXPORT_DIR,
                         IDC_SAVE_OPEN_TYPE};
    for (int box : boxes) EXPECT_EQ(IsDlgButtonChecked(dialog, box), UINT(BST_CHECKED)) << box;
    EXPECT_EQ(itemText(dialog, IDC_SAVE_OPEN_DIR_TEXT), "C:\\open");
    EXPECT_EQ(itemText(dialog, IDC_SAVE_EXPORT_DIR_TEXT), "C:\\export");
    HWND ok = GetDlgItem(dialog, IDOK);
    EXPECT_TRUE(IsWindowEnabled(ok));

    for (int box : boxes) setBox(dialog, box, false);
    EXPECT_FALSE(IsWindowEnabled(ok));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE_OPEN_DIR_TEXT)));
    // OK while disabled does nothing.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(request.groups, unsigned(kSaveAllGroups));

    setBox(dialog, IDC_SAVE_EXPORT_DIR, true);
    EXPECT_TRUE(IsWindowEnabled(ok));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE_EXPORT_DIR_BROWSE)));
    setBox(dialog, IDC_SAVE_EDIT_WINDOWS, true);
    SetDlgItemTextA(dialog, IDC_SAVE_EXPORT_DIR_TEXT, "D:\\etf");
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    EXPECT_EQ(request.groups, unsigned(kSaveExportDir | kSaveEditWindows));
    EXPECT_STREQ(request.exportDir, "D:\\etf");
    EXPECT_STREQ(request.openDir, "C:\\open");
    DestroyWindow(dialog);
}

TEST(SaveSettingsDialog, BrowserWalksDirectories) {
    TempTree tree;
    char start[MAX_PATH];
    std::snprintf(start, sizeof start, "%s", tree.root.c_str());
    BrowseDirectoryState state{};
    state.directory = start;
    state.size = sizeof start;
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_BROWSE_DIRECTORY),
                                     nullptr, BrowseDirectoryDlgProc, reinterpret_cast<LPARAM>(&state));
    ASSERT_NE(dialog, nullptr);
    char full[MAX_PATH];
    GetFullPathNameA(tree.root.c_str(), sizeof full, full, nullptr);
    EXPECT_EQ(itemText(dialog, IDC_BROWSE_PATH), full);
    EXPECT_GE(listIndex(dialog, "[alpha]"), 0);
    EXPECT_GE(listIndex(dialog, "[beta]"), 0);
    EXPECT_GE(listIndex(dialog, "[..]"), 0);
    EXPECT_GE(listIndex(dialog, "[-c-]"), 0);

    // Double click on a subdirectory enters it; OK returns it.
    SendDlgItemMessageA(dialog, IDC_BROWSE_LIST, LB_SETCURSEL, listIndex(dialog, "[alpha]"), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_LIST, LBN_DBLCLK), 0);
    std::string alpha = std::string(full) + "\\alpha";
    EXPECT_EQ(itemText(dialog, IDC_BROWSE_PATH), alpha);
    EXPECT_LT(listIndex(dialog, "[beta]"), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(std::string(start), alpha);

    // A drive entry goes to its root, which has no parent entry.
    DestroyWindow(dialog);
    dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_BROWSE_DIRECTORY), nullptr,
                                BrowseDirectoryDlgProc, reinterpret_cast<LPARAM>(&state));
    ASSERT_NE(dialog, nullptr);
    SendDlgItemMessageA(dialog, IDC_BROWSE_LIST, LB_SETCURSEL, listIndex(dialog, "[-c-]"), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_LIST, LBN_DBLCLK), 0);
    EXPECT_EQ(itemText(dialog, IDC_BROWSE_PATH), "C:\\");
    EXPECT_LT(listIndex(dialog, "[..]"), 0);
    DestroyWindow(dialog);
}

TEST(SaveSettingsDialog, CommandRunsTheModalDialog) {
    HostRecorder host;
    TempIni ini;
    FrameSettings s{};
    initFrameSettings(s);
    loadSettings(s, ini.path(), SettingsLoadOptions{}, SettingsHooks{});
    s.window.repeat = true;
    WindowSettings snapshot{};
    SettingsHooks hooks{};
    hooks.chooseSaveSettings = chooseSaveSettingsWin32;

    g_pressButton = IDCANCEL;
    SetTimer(nullptr, 0, 50, pressOnTimer);
    EXPECT_EQ(saveSettingsCommand(s, snapshot, ini.path(), hooks), 0);
    EXPECT_EQ(ini.read().find("Repeat"), std::string::npos);

    g_pressButton = IDOK;
    SetTimer(nullptr, 0, 50, pressOnTimer);
    EXPECT_EQ(saveSettingsCommand(s, snapshot, ini.path(), hooks), 1);
    EXPECT_NE(ini.read().find("Repeat=yes"), std::string::npos);
    EXPECT_NE(ini.read().find("MultiLineEdit=0,0,0,0"), std::string::npos);
    EXPECT_TRUE(snapshot.repeat);
    EXPECT_TRUE(host.messages.empty());
    freeFrameSettings(s);
}

#endif  // _WIN32
