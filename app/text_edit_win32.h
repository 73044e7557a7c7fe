// Text editing in constructs on Win32: the program's edit control class
// "KorrinEdit" with its registered messages, direct editing over the
// construct in a segment window, the "Text" window, the external editor,
// the default action, and search and replace with their dialogs.
// The rules live in edit/text_edit.h and edit/search.h; these files turn
// messages into calls of them. Their changes are recorded in the one undo
// journal of app/edit_win32.h, so that Undo takes them back like any edit.
#pragma once

#include <windows.h>

#include <string>

#include "app/commands.h"
#include "view/segment_window.h"

// The text of a window (an edit control).
std::string windowTextOf(HWND window);

// Registers "KorrinEdit" (once).
bool registerEditClass(HINSTANCE instance);

// The routes of CommandOwner::text (with the default action when no
// insertion is pending) and CommandOwner::search.
bool textCommand(const CommandRequest& request);
bool searchCommand(const CommandRequest& request);

// A printable character typed into a segment window with a selection
// starts direct editing with it. True when it did.
bool typedIntoSegmentWindow(SegmentWindow& window, WPARAM character);

// The main loop hands every message for the direct edit field to it
// (keys included: the diagram's navigation keys and accelerators do not
// apply there). True when the message was dispatched.
bool directEditMessage(MSG& msg);

// The direct edit field of `window` ends: committed (true) or cancelled.
void endDirectEdit(bool commit);
bool directEditActive();

// A segment window closes: an edit in it ends, the journal forgets it.
void forgetEditWindow(SegmentWindow& window);

// While direct editing: the edited construct, its field, the caret (the
// selection's start for a backward search, else its end) and the selected
// text. False when no text is being edited.
bool directEditCaret(ConstructNode** node, int* field, int* caret, std::string* selected, bool backward);

// The "Text" window (CMD_EDIT_WINDOW) and the external editor
// (CMD_EDIT_EXTERNAL) on the selected construct's `field`; the "Editors"
// settings dialog (CMD_OPTIONS_EDITORS). text_window_win32.cpp.
bool editInTextWindow(SegmentWindow& window, int field);
bool editExternally(SegmentWindow& window, int field);
bool editorsDialog();

// The overwrite mode of a program edit control; a change holds for the
// controls opened later too and shows at once in the status bar's "OVR"
// pane and on the tool bar.
bool editOverwrite(HWND edit);
void setEditOverwrite(HWND edit, bool on);
// The overwrite mode of the text being edited: the direct edit field, else
// the program edit control that has the focus (the "Text" window's).
bool overwriteShown();
// The check request of a program edit control: its text is checked
// (checkText), the first problem selected and told, or that there is none.
constexpr UINT kEditCheckRequest = WM_APP + 0x22;
// Sent by the program's edit controls to their parent when the caret or
// the selection may have moved.
constexpr UINT kEditCaretMoved = WM_APP + 0x21;

// The direct edit field of `window` follows its construct (after the
// window scrolled, was resized or laid out again).
void directEditFollow(SegmentWindow& window);

// Before the frame carries out `command`: a text edited in the diagram is
// committed first, unless the command works on the edit itself (text
// editing, search, help).
void beforeCommand(unsigned command);

// A window closes: a search that ran in it or in its diagram is forgotten
// (search_win32.cpp).
void forgetSearchWindow(SegmentWindow& window);
