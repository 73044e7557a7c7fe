// Help through WinHelp with the program's help file (the module path with
// the extension ".hlp"), the help-file list, the About box and the system
// information program.
#include <cstdio>
#include <cstring>

#include "app/frame_win32.h"
#include "app/recent_files.h"
#include "config/profile.h"
#include "core/host.h"
#include "platform/platform.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"

namespace {

constexpr unsigned kDefaultHelpCommand = CMD_HELP_CONTENTS;
constexpr unsigned kDefaultHelpContext = 10102;

struct HelpTopic {
    unsigned command;
    unsigned context;
};
constexpr HelpTopic kHelpTopics[] = {
    {CMD_HELP_HOW_TO_USE, 12010}, {CMD_HELP_PROCEDURES, 12003}, {CMD_HELP_KEYBOARD, 12009},
    {CMD_HELP_COMMANDS, 12011},   {CMD_HELP_GLOSSARY, 12007},   {CMD_HELP_USING_HELP, 12012},
};

// WinHelp with the failure message; a help file that is not there counts
// as a failure of the help call.
bool callHelp(const char* file, UINT command, ULONG_PTR data) {
    diagnosticsLine("help %u %lu", command, static_cast<unsigned long>(data));
    if (!file || !file[0] || !platform::fileExists(file) || !WinHelpA(g_frame.frame, file, command, data)) {
        showMessage(IDS_NO_HELP_MANAGER, kBoxDefault);
        return false;
    }
    return true;
}

// The word at the caret of the text being edited (none without an editor).
void selectedWord(char* out, int size) {
    if (size > 0) out[0] = 0;
}

bool searchHelpFile(const char* file) {
    char word[128];
    selectedWord(word, sizeof word);
    return callHelp(file, HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(word));
}

bool helpFileEntry(int k, char* file, int size) {
    const char* entry = recentEntry(g_frame.recent.help, k);
    char text[kSettingsPathSize];
    return entry && splitHelpEntry(entry, text, sizeof text, file, size);
}

// CMD_HELP_ON_TEXT: one help file is searched at once; several are offered in a menu.
bool helpOnSelectedText() {
    int count = 0;
    char file[kSettingsPathSize];
    while (count < kRecentMax && recentEntry(g_frame.recent.help, count)) ++count;
    if (count == 0) return searchHelpFile(g_frame.helpFile);
    if (count == 1) return helpFileEntry(0, file, sizeof file) && searchHelpFile(file);
    HMENU popup = CreatePopupMenu();
    for (int k = 0; k < count; ++k) {
        char text[kSettingsPathSize];
        const char* entry = recentEntry(g_frame.recent.help, k);
        if (entry && splitHelpEntry(entry, text, sizeof text, file, sizeof file))
            AppendMenuA(popup, MF_STRING, CMD_HELP_FILE_FIRST + static_cast<unsigned>(k), text);
    }
    POINT at;
    GetCursorPos(&at);
    ++g_frame.modalDepth;
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, g_frame.frame, nullptr);
    --g_frame.modalDepth;
    DestroyMenu(popup);
    return true;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextA(dialog, IDC_ABOUT_TITLE, g_strings.title);
            SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, g_strings.version);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

bool systemInfoProgram(char* out, int size) {
    char section[kProfileNameSize] = {};
    char key[kProfileNameSize] = {};
    platform::loadString(IDS_SEC_SYSTEM_INFO, section, sizeof section);
    platform::loadString(IDS_KEY_MSINFO, key, sizeof key);
    platform::profileGetString(section, key, "", out, static_cast<std::uint32_t>(size), nullptr);
    return out[0] != 0;
}

bool runSystemInfo() {
    char program[MAX_PATH] = {};
    systemInfoProgram(program, sizeof program);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", program);
    if (!program[0] || !CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                       &startup, &process)) {
        showMessage(IDS_UNABLE_TO_EXECUTE, kBoxDefault, program);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

void resetHelpContext() {
    g_frame.helpCommand = kDefaultHelpCommand;
    g_frame.helpContext = kDefaultHelpContext;
}

bool systemInfoAvailable() {
    char program[MAX_PATH] = {};
    return systemInfoProgram(program, sizeof program) && platform::fileExists(program);
}

bool helpCommand(unsigned command) {
    switch (command) {
        case CMD_HELP_CONTENTS:
            return callHelp(g_frame.helpFile, HELP_FINDER, 0);
        case CMD_HELP_INDEX:
            return callHelp(g_frame.helpFile, HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(""));
        case CMD_HELP_ON_TEXT:
            return helpOnSelectedText();
        case CMD_HELP_ABOUT:
            ++g_frame.modalDepth;
            DialogBoxParamA(g_frame.instance, MAKEINTRESOURCEA(IDD_ABOUT), g_frame.frame, AboutDlgProc, 0);
            --g_frame.modalDepth;
            return true;
        case CMD_HELP_SYSTEM_INFO:
            return runSystemInfo();
        default:
            break;
    }
    for (const HelpTopic& topic : kHelpTopics)
        if (topic.command == command) return callHelp(g_frame.helpFile, HELP_CONTEXT, topic.context);
    if (command >= CMD_HELP_FILE_FIRST && command < CMD_HELP_FILE_FIRST + kRecentMax) {
        char file[kSettingsPathSize];
        return helpFileEntry(static_cast<int>(command - CMD_HELP_FILE_FIRST), file, sizeof file) &&
               searchHelpFile(file);
    }
    return false;
}

void helpForItem(unsigned command) {
    if (command) callHelp(g_frame.helpFile, HELP_CONTEXT, command);
}

void helpForContext() {
    if (g_frame.helpCommand == kDefaultHelpCommand && g_frame.helpContext == kDefaultHelpContext)
        callHelp(g_frame.helpFile, HELP_FINDER, 0);
    else
        callHelp(g_frame.helpFile, HELP_CONTEXT, g_frame.helpContext);
}
