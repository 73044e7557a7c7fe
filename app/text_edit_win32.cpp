#include "app/text_edit_win32.h"

#include <algorithm>
#include <string>

#include "app/edit_win32.h"
#include "app/frame_win32.h"
#include "app/settings.h"
#include "app/view_win32.h"
#include "core/allocator.h"
#include "core/host.h"
#include "edit/construct_commands.h"
#include "edit/text_edit.h"
#include "resources/strings.h"
#include "view/layout.h"

namespace {

bool labelsShown(const SegmentWindow& window) {
    OpenDiagram* diagram = diagramOf(window);
    return diagram && diagram->display.showLeftLabels;
}

// ---------------------------------------------------------------------------
// The program's edit control

struct EditOptions {
    EditControlOptions rules;
    bool direct = false;  // the direct edit field: Enter, F10, Alt+Enter and Esc end it
};

constexpr char kOptionsProperty[] = "KorrinEditOptions";
WNDPROC g_systemEditProc = nullptr;
bool g_classRegistered = false;
// Overwrite mode is the program's: the next edit control starts in it.
bool g_overwrite = false;

EditOptions* optionsOf(HWND edit) {
    return static_cast<EditOptions*>(GetPropA(edit, kOptionsProperty));
}

EditOptions& ensureOptions(HWND edit) {
    EditOptions* o = optionsOf(edit);
    if (!o) {
        o = new EditOptions;
        o->rules.tabScheme = 1;
        o->rules.overwrite = g_overwrite;
        SetPropA(edit, kOptionsProperty, o);
    }
    return *o;
}

// The caret's line and column.
std::string caretLine(HWND edit, int* column, bool* hasSelection) {
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    *hasSelection = start != end;
    const LRESULT line = SendMessageA(edit, EM_LINEFROMCHAR, start, 0);
    const LRESULT lineStart = SendMessageA(edit, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    const LRESULT length = SendMessageA(edit, EM_LINELENGTH, start, 0);
    std::string text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 2, '\0');
    *reinterpret_cast<WORD*>(text.data()) = static_cast<WORD>(text.size());
    const LRESULT got =
        SendMessageA(edit, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(got, 0)));
    *column = static_cast<int>(start - static_cast<DWORD>(lineStart));
    return text;
}

void resizeDirectField(HWND edit);

// The check request: the first problem is selected and told.
void checkField(HWND edit) {
    const TextCheck check = checkText(windowTextOf(edit));
    diagnosticsLine("text check %d at %d", static_cast<int>(check.problem), check.position);
    static constexpr unsigned kMessages[] = {IDS_CHECK_NO_ERRORS, IDS_CHECK_COBOL_CHARACTER,
                                             IDS_CHECK_UNCLOSED_QUOTE, IDS_CHECK_UNMATCHED_CLOSE,
                                             IDS_CHECK_UNCLOSED_BRACKET};
    const unsigned id = kMessages[static_cast<int>(check.problem)];
    if (check.problem == TextProblem::None) {
        showMessage(id, kBoxOk | kIconAsterisk);
    } else {
        SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(check.position),
                     static_cast<LPARAM>(check.position + 1));
        SendMessageA(edit, EM_SCROLLCARET, 0, 0);
        showMessage(id, kBoxDefault, check.line, check.column, check.character);
    }
    SetFocus(edit);
}

LRESULT CALLBACK editProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    const FrameMessages& m = g_frame.messages;
    if (message && message == m.editSubInit) {
        EditOptions& o = ensureOptions(edit);
        o.rules.tabScheme = o.rules.tabScheme ? o.rules.tabScheme : 1;
        o.rules.autoIndent = false;
        o.rules.singleLine = wParam == 0;
        return 0;
    }
    if (message && message == m.editIndent) {
        ensureOptions(edit).rules.autoIndent = wParam != 0;
        return 0;
    }
    if (message && message == m.editTabStops) {
        ensureOptions(edit).rules.tabScheme = static_cast<int>(wParam <= kTabSchemeCount ? wParam : 0);
        return 0;
    }
    EditOptions* o = optionsOf(edit);
    switch (message) {
        case WM_GETDLGCODE:
            if (o && o->direct) return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
            break;
        case WM_KEYDOWN:
            if (!o) break;
            if (wParam == VK_INSERT && !(GetKeyState(VK_CONTROL) & 0x8000) &&
                !(GetKeyState(VK_SHIFT) & 0x8000)) {
                setEditOverwrite(edit, !o->rules.overwrite);
                return 0;
            }
            if (o->direct) {
                if (wParam == VK_ESCAPE) {
                    endDirectEdit(false);
                    return 0;
                }
                const bool ctrl = GetKeyState(VK_CONTROL) & 0x8000;
                // Enter and Shift+Enter commit; Ctrl+Enter breaks the line.
                if (wParam == VK_RETURN && (o->rules.singleLine || !ctrl)) {
                    endDirectEdit(true);
                    return 0;
                }
                if (wParam == VK_RETURN && !o->rules.singleLine) {
                    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("\r\n"));
                    resizeDirectField(edit);
                    return 0;
                }
            } else if (wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000) && !o->rules.singleLine) {
                SendMessageA(edit, WM_CHAR, '\t', 0);
                return 0;
            }
            break;
        case WM_SYSKEYDOWN:
            if (o && o->direct && (wParam == VK_RETURN || wParam == VK_F10)) {
                endDirectEdit(true);
                return 0;
            }
            break;
        case WM_SYSCHAR:
            if (o && o->direct && wParam == '\r') return 0;
            break;
        case WM_CHAR: {
            if (!o) break;
            if (wParam == '\n' || (wParam == '\r' && o->direct)) return 0;  // the key-down did it
            int column = 0;
            bool hasSelection = false;
            const std::string line = caretLine(edit, &column, &hasSelection);
            const CharAction a =
                typedChar(o->rules, line, column, hasSelection, static_cast<unsigned char>(wParam));
            if (a.kind == CharAction::Drop) return 0;
            if (a.kind == CharAction::Insert) {
                SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(a.text.c_str()));
            } else {
                if (a.selectNext) {
                    DWORD start = 0;
                    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
                    SendMessageA(edit, EM_SETSEL, start, start + 1);
                }
                CallWindowProcA(g_systemEditProc, edit, message, wParam, lParam);
            }
            if (o->direct) resizeDirectField(edit);
            return 0;
        }
        case WM_PASTE: {
            if (!o || !IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(edit)) break;
            std::string text;
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                if (const char* p = static_cast<const char*>(GlobalLock(data))) {
                    text.assign(p, strnlen(p, GlobalSize(data)));
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            // The clipboard stays as it was; only the inserted text is cut or converted.
            const std::string pasted = pasteText(o->rules, text);
            SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
            if (o->direct) resizeDirectField(edit);
            return 0;
        }
        case WM_KEYUP:
        case WM_LBUTTONUP: {
            const LRESULT result = CallWindowProcA(g_systemEditProc, edit, message, wParam, lParam);
            SendMessageA(GetParent(edit), kEditCaretMoved, 0, reinterpret_cast<LPARAM>(edit));
            return result;
        }
        case kEditCheckRequest:
            checkField(edit);
            return 0;
        case WM_NCDESTROY:
            if (o) {
                RemovePropA(edit, kOptionsProperty);
                delete o;
            }
            break;
        default:
            break;
    }
    return CallWindowProcA(g_systemEditProc, edit, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Direct editing

struct DirectEdit {
    HWND field = nullptr;
    HFONT font = nullptr;
    SegmentWindow* window = nullptr;
    ConstructNode* node = nullptr;
    int fieldCode = kFieldNone;
    unsigned command = 0;
    RECT origin{};  // where the construct's box starts (client coordinates)
    bool ending = false;
    // While the field is open the construct shows the text being typed, so
    // that the diagram is laid out around it: the construct's own string
    // waits here and comes back before the commit records the change.
    char* original = nullptr;
    char* preview = nullptr;
    bool previewing = false;
};
DirectEdit g_direct;
constexpr int kDirectFieldId = 0x7FF0;

// The string the field's text lives in, read and replaced without freeing.
char* fieldString(ConstructNode* node, int field) {
    switch (field) {
        case kFieldLeftLabel:
            return node->leftLabel;
        case kFieldRightLabel:
            return node->rightLabel;
        default:
            return node->type == ConstructType::KivCond ? partPtr<char>(node, 1) : partPtr<char>(node, 0);
    }
}

void replaceFieldString(ConstructNode* node, int field, char* text) {
    switch (field) {
        case kFieldLeftLabel:
            node->leftLabel = text;
            break;
        case kFieldRightLabel:
            node->rightLabel = text;
            break;
        default:
            setPartPtr(node, node->type == ConstructType::KivCond ? 1 : 0, text);
            break;
    }
}

void relayout(SegmentWindow& window) {
    invalidateSegmentLayout(window.shownSegment);
    if (OpenDiagram* diagram = diagramOf(window)) diagramChanged(diagram, false);
}

// The construct shows `text` while it is edited.
void showPreview(const std::string& text) {
    char* copy = memStrDup(text.c_str());
    if (!copy) return;  // the diagram keeps what it showed
    if (!g_direct.previewing) {
        g_direct.original = fieldString(g_direct.node, g_direct.fieldCode);
        g_direct.previewing = true;
    }
    replaceFieldString(g_direct.node, g_direct.fieldCode, copy);
    memFree(g_direct.preview);
    g_direct.preview = copy;
    relayout(*g_direct.window);
}

// The construct's own string back.
void endPreview() {
    if (!g_direct.previewing) return;
    replaceFieldString(g_direct.node, g_direct.fieldCode, g_direct.original);
    memFree(g_direct.preview);
    g_direct.preview = nullptr;
    g_direct.original = nullptr;
    g_direct.previewing = false;
}

void resizeDirectField(HWND edit) {
    if (edit != g_direct.field) return;
    const std::string text = windowTextOf(edit);
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, g_direct.font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    int width = 0, lines = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str() + at, static_cast<int>(end - at), &size);
        width = std::max<int>(width, size.cx);
        ++lines;
        at = end + 2;
    }
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    if (!g_direct.ending && text != fieldText(g_direct.node, g_direct.fieldCode)) showPreview(text);
    const RECT& o = g_direct.origin;
    const int w = std::max<int>(o.right - o.left, width + 3 * tm.tmAveCharWidth + 8);
    const int h = std::max<int>(o.bottom - o.top, lines * tm.tmHeight + 8);
    SetWindowPos(edit, HWND_TOP, 0, 0, w, h, SWP_NOMOVE | SWP_NOACTIVATE);
}

bool startDirectEdit(SegmentWindow& window, int field, unsigned command, WPARAM typed) {
    if (g_direct.field) return false;
    OpenDiagram* diagram = diagramOf(window);
    ConstructNode* node = window.selectionFirst;
    if (!diagram || !node || !fieldEditable(node, field)) return false;
    HWND parent = static_cast<HWND>(window.hwnd);
    Rect box;
    if (!constructBox(plainContext(diagram), window.shownSegment, node, &box)) return false;
    g_direct.origin = RECT{box.left - window.scrollX, box.top - window.scrollY, box.right - window.scrollX,
                           box.bottom - window.scrollY};
    const bool multi = fieldIsMultiLine(field);
    DWORD style = WS_CHILD | WS_BORDER | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL;
    if (multi) style |= ES_MULTILINE | ES_WANTRETURN;
    if (g_frameSettings.editUppercase) style |= ES_UPPERCASE;
    registerEditClass(g_frame.instance);
    HWND edit = CreateWindowExA(
        0, g_classRegistered ? "KorrinEdit" : "edit", "", style, g_direct.origin.left, g_direct.origin.top,
        std::max<LONG>(g_direct.origin.right - g_direct.origin.left, 40),
        std::max<LONG>(g_direct.origin.bottom - g_direct.origin.top, 16), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDirectFieldId)), g_frame.instance, nullptr);
    if (!edit) return false;
    HDC dc = GetDC(nullptr);
    g_direct.font = createViewFont(dc, diagram->display.screenFont);
    ReleaseDC(nullptr, dc);
    LOGFONTA lf{};
    GetObjectA(g_direct.font, sizeof lf, &lf);
    EditOptions& o = ensureOptions(edit);
    o.direct = true;
    o.rules.singleLine = !multi;
    o.rules.tabScheme = multi ? 1 : 0;
    o.rules.autoIndent = multi;
    o.rules.oemFont = lf.lfCharSet == OEM_CHARSET;
    o.rules.uppercase = g_frameSettings.editUppercase;
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(g_direct.font), FALSE);
    SendMessageA(edit, EM_LIMITTEXT, kTextLimit - 1, 0);
    SetWindowTextA(edit, fieldText(node, field));
    g_direct.field = edit;
    g_direct.window = &window;
    g_direct.node = node;
    g_direct.fieldCode = field;
    g_direct.command = command;
    g_direct.ending = false;
    window.editField = field;
    g_frame.textEditMode = 1;
    HideCaret(parent);
    resizeDirectField(edit);
    ShowWindow(edit, SW_SHOW);
    SetFocus(edit);
    // Typing replaces the text; otherwise the caret goes to its end.
    if (typed) {
        SendMessageA(edit, EM_SETSEL, 0, -1);
        SendMessageA(edit, WM_CHAR, typed, 1);
    } else {
        SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        const int length = GetWindowTextLengthA(edit);
        SendMessageA(edit, EM_SETSEL, length, length);
    }
    diagnosticsLine("direct edit %u field %d", command, field);
    return true;
}

// The default action of the current window's selection (CMD_DEFAULT_ACTION
// without an insertion pending): the command it chooses is posted.
bool defaultAction() {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->selectionFirst || g_direct.field) return false;
    DefaultActionInput in;
    in.node = window->selectionFirst;
    in.editField = window->editField;
    in.joinable = window->selectionFirst != window->selectionLast &&
                  canJoin(Selection{window->selectionFirst, window->selectionLast});
    in.labelsShown = labelsShown(*window);
    in.shift = GetKeyState(VK_SHIFT) & 0x8000;
    in.ctrl = GetKeyState(VK_CONTROL) & 0x8000;
    in.alt = GetKeyState(VK_MENU) & 0x8000;
    in.defaultEditor = g_frameSettings.defaultEditor;
    const DefaultAction action = chooseDefaultAction(in);
    diagnosticsLine("default action %u field %d", action.command, action.field);
    if (!action.command) return false;
    if (action.field) window->editField = action.field;
    PostMessageA(g_frame.frame, WM_COMMAND, action.command, 0);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------

bool registerEditClass(HINSTANCE instance) {
    if (g_classRegistered) return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(nullptr, "edit", &wc)) return false;
    g_systemEditProc = wc.lpfnWndProc;
    char name[32];
    if (platform::loadString(IDS_EDIT_CLASS, name, sizeof name) <= 0) return false;
    wc.lpfnWndProc = editProc;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    wc.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
    g_classRegistered = RegisterClassExA(&wc) != 0;
    return g_classRegistered;
}

bool directEditActive() {
    return g_direct.field != nullptr;
}

void endDirectEdit(bool commit) {
    if (!g_direct.field || g_direct.ending) return;
    g_direct.ending = true;
    SegmentWindow* window = g_direct.window;
    if (commit) {
        const std::string text = windowTextOf(g_direct.field);
        endPreview();
        EditContext context = editContextOf(*window);
        const CommitResult result =
            commitFieldText(context, g_direct.command, g_direct.node, g_direct.fieldCode, text);
        if (result == CommitResult::TooLong) {
            showMessage(IDS_TEXT_TOO_LONG, kBoxDefault);
            g_direct.ending = false;
            SetFocus(g_direct.field);
            return;
        }
        diagnosticsLine("direct edit %s", result == CommitResult::Committed ? "committed" : "unchanged");
        if (result == CommitResult::Committed) afterEdit(*window);
    } else {
        endPreview();
        diagnosticsLine("direct edit cancelled");
    }
    HWND field = g_direct.field;
    HFONT font = g_direct.font;
    g_direct = DirectEdit{};
    g_frame.textEditMode = 0;
    DestroyWindow(field);
    DeleteObject(font);
    window->editField = 0;
    relayout(*window);
    HWND parent = static_cast<HWND>(window->hwnd);
    InvalidateRect(parent, nullptr, TRUE);
    SetFocus(parent);
}

bool directEditMessage(MSG& msg) {
    if (!g_direct.field || msg.hwnd != g_direct.field) return false;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

bool typedIntoSegmentWindow(SegmentWindow& window, WPARAM character) {
    if (character < 0x20 || character == 0x7F || !window.selectionFirst || g_direct.field ||
        g_pendingInsertion.active())
        return false;
    if (GetKeyState(VK_CONTROL) & 0x8000) return false;
    const int field = editFieldFor(window.selectionFirst, labelsShown(window));
    return startDirectEdit(window, field, CMD_EDIT_TEXT, character);
}

bool textCommand(const CommandRequest& request) {
    SegmentWindow* window = currentSegmentWindow();
    switch (request.command) {
        case CMD_TEXT_OK:
            if (!g_direct.field) return false;
            endDirectEdit(true);
            return true;
        case CMD_TEXT_CANCEL:
            if (!g_direct.field) return false;
            endDirectEdit(false);
            return true;
        case CMD_OPTIONS_EDITORS:
            return editorsDialog();
        case CMD_DEFAULT_ACTION:
            return defaultAction();
        case CMD_TEXT_DELETE:
        case CMD_TEXT_CUT:
        case CMD_TEXT_COPY:
        case CMD_TEXT_PASTE:
        case CMD_TEXT_UNDO:
        case CMD_TEXT_SELECT_ALL:
        case CMD_TEXT_OVERWRITE:
        case CMD_TEXT_CAPITALIZE:
        case CMD_TEXT_SYNTAX_CHECK:
        case CMD_TEXT_COBOL_CHARACTERS: {
            // Applied to the edit control that is open.
            HWND edit = g_direct.field;
            if (!edit) return false;
            static constexpr struct {
                unsigned command;
                UINT message;
            } kMessages[] = {{CMD_TEXT_DELETE, WM_CLEAR},
                             {CMD_TEXT_CUT, WM_CUT},
                             {CMD_TEXT_COPY, WM_COPY},
                             {CMD_TEXT_PASTE, WM_PASTE},
                             {CMD_TEXT_UNDO, EM_UNDO},
                             {CMD_TEXT_SYNTAX_CHECK, kEditCheckRequest},
                             {CMD_TEXT_COBOL_CHARACTERS, kEditCheckRequest}};
            for (const auto& row : kMessages)
                if (row.command == request.command) SendMessageA(edit, row.message, 0, 0);
            if (request.command == CMD_TEXT_SELECT_ALL) SendMessageA(edit, EM_SETSEL, 0, -1);
            if (request.command == CMD_TEXT_OVERWRITE) setEditOverwrite(edit, !editOverwrite(edit));
            if (request.command == CMD_TEXT_CAPITALIZE) {
                g_frameSettings.editUppercase = !g_frameSettings.editUppercase;
                ensureOptions(edit).rules.uppercase = g_frameSettings.editUppercase;
                LONG_PTR style = GetWindowLongPtrA(edit, GWL_STYLE);
                style = g_frameSettings.editUppercase ? (style | ES_UPPERCASE)
                                                      : (style & ~static_cast<LONG_PTR>(ES_UPPERCASE));
                SetWindowLongPtrA(edit, GWL_STYLE, style);
            }
            resizeDirectField(edit);
            SetFocus(edit);
            return true;
        }
        case CMD_EDIT_TEXT:
        case CMD_EDIT_WINDOW:
        case CMD_EDIT_EXTERNAL: {
            if (!window || !window->selectionFirst || g_direct.field) return false;
            int field = window->editField;
            if (!fieldEditable(window->selectionFirst, field))
                field = editFieldFor(window->selectionFirst, labelsShown(*window));
            if (!fieldEditable(window->selectionFirst, field)) return false;
            if (request.command == CMD_EDIT_EXTERNAL) return editExternally(*window, field);
            // Without a field in the diagram the edit window takes over.
            if (request.command == CMD_EDIT_TEXT && startDirectEdit(*window, field, request.command, 0))
                return true;
            return editInTextWindow(*window, field);
        }
        default:
            return false;
    }
}

void forgetEditWindow(SegmentWindow& window) {
    if (g_direct.window == &window) endDirectEdit(false);
    forgetSearchWindow(window);
}

bool directEditCaret(ConstructNode** node, int* field, int* caret, std::string* selected, bool backward) {
    if (!g_direct.field) return false;
    DWORD start = 0, end = 0;
    SendMessageA(g_direct.field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::string text = windowTextOf(g_direct.field);
    *node = g_direct.node;
    *field = g_direct.fieldCode;
    *caret = static_cast<int>(backward ? start : end);
    if (start < end && end <= text.size()) *selected = text.substr(start, end - start);
    return true;
}

bool editOverwrite(HWND edit) {
    const EditOptions* o = optionsOf(edit);
    return o && o->rules.overwrite;
}

void setEditOverwrite(HWND edit, bool on) {
    ensureOptions(edit).rules.overwrite = g_overwrite = on;
    refreshBars();
}

bool overwriteShown() {
    if (g_direct.field) return editOverwrite(g_direct.field);
    HWND focus = GetFocus();
    return focus && editOverwrite(focus);
}

void directEditFollow(SegmentWindow& window) {
    if (!g_direct.field || g_direct.window != &window) return;
    OpenDiagram* diagram = diagramOf(window);
    Rect box;
    if (!diagram || !constructBox(plainContext(diagram), window.shownSegment, g_direct.node, &box)) return;
    const RECT at{box.left - window.scrollX, box.top - window.scrollY, box.right - window.scrollX,
                  box.bottom - window.scrollY};
    if (EqualRect(&at, &g_direct.origin)) return;
    g_direct.origin = at;
    SetWindowPos(g_direct.field, HWND_TOP, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    resizeDirectField(g_direct.field);
}

void beforeCommand(unsigned command) {
    if (!g_direct.field) return;
    const CommandInfo* info = findCommand(command);
    if (info && (info->owner == CommandOwner::text || info->owner == CommandOwner::search)) return;
    if (command == CMD_TEXT_HELP || command == CMD_HELP_ON_TEXT) return;
    endDirectEdit(true);
}

std::string windowTextOf(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}
