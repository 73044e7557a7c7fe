// The Win32 side of the settings: dialog 559 "Save settings" and the
// directory browser, dialog 592. The writing itself is portable
// (app/settings.h); the frame installs chooseSaveSettingsWin32 as
// SettingsHooks::chooseSaveSettings with the frame window as context.
#pragma once

#include <windows.h>

#include "app/settings.h"

// The module holding the dialog templates (default: the executable).
void setSettingsDialogModule(HINSTANCE module);

// Dialog 559 over `owner`: the seven group boxes start as `request.groups`
// says, the four directory fields with the request's directories. OK is
// enabled only while a box is checked. True, with the request filled, on OK.
bool runSaveSettingsDialog(HWND owner, SaveSettingsRequest& request);
// SettingsHooks::chooseSaveSettings; `owner` is the owner window (HWND).
bool chooseSaveSettingsWin32(SaveSettingsRequest& request, void* owner);

// Dialog 592: starts in `directory` (the current directory when it does not
// exist); true, with `directory` replaced by the chosen one, on OK.
bool runBrowseDirectoryDialog(HWND owner, char* directory, int size);

// The dialog procedures. SaveSettingsDlgProc takes a SaveSettingsRequest*
// as its creation parameter, BrowseDirectoryDlgProc a BrowseDirectoryState*.
INT_PTR CALLBACK SaveSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct BrowseDirectoryState {
    char* directory;  // in: where to start; out: the choice
    int size;
    char current[MAX_PATH];  // the directory listed
};
INT_PTR CALLBACK BrowseDirectoryDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
