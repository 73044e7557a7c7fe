// Search and replace on Win32: the "Search/Replace" dialog, the "Replace"
// question placed beside the match, and Find / Continue search in the
// segment windows. The walk and the matching are edit/search.h's.
#include <windows.h>

#include <string>

#include "app/edit_win32.h"
#include "app/frame_win32.h"
#include "app/settings.h"
#include "app/text_edit_win32.h"
#include "app/view_win32.h"
#include "config/language_config.h"
#include "core/host.h"
#include "edit/search.h"
#include "resources/dialog_ids.h"
#include "resources/strings.h"

namespace {

RecentSearchList g_recent;
bool g_recentLoaded = false;
SearchRequest g_request;
bool g_haveRequest = false;

// The search that runs or ran last, for Continue search.
struct RunningSearch {
    SearchScope scope;
    SearchCursor cursor;
    SegmentWindow* window = nullptr;
    unsigned long edits = 0;  // the edit count when the search stopped
    bool valid = false;
};
RunningSearch g_run;

void loadRecent() {
    if (g_recentLoaded) return;
    g_recentLoaded = true;
    loadRecentSearches(g_recent, g_settingsFile);
    if (!g_recent.entries.empty()) g_request = g_recent.entries.front();
}

constexpr int kAreaButtons[] = {0,
                                IDC_AREA_SEGMENT,
                                IDC_AREA_TO_SEGMENT_END,
                                IDC_AREA_SELECTION,
                                IDC_AREA_DIAGRAM,
                                IDC_AREA_TO_DIAGRAM_END};

struct DialogData {
    SearchRequest request;
    bool editing;  // a text is being edited: the areas from the selection start at the caret
};

void fillDialog(HWND dialog, const SearchRequest& r) {
    SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, r.searchText.c_str());
    SetDlgItemTextA(dialog, IDC_SEARCH_REPLACE_TEXT, r.replaceText.c_str());
    CheckDlgButton(dialog, IDC_SEARCH_CASE, r.matchCase ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEARCH_WORD, r.wholeWord ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEARCH_WHITE, r.ignoreWhiteSpace ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEARCH_EXPRESSION, r.enhancedExpression ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEARCH_REPLACE, r.replace ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEARCH_LOWER, r.includeLowerSegments ? BST_CHECKED : BST_UNCHECKED);
    const int area = r.area >= kAreaSegment && r.area <= kAreaToDiagramEnd ? r.area : kAreaDiagram;
    CheckRadioButton(dialog, IDC_AREA_SEGMENT, IDC_AREA_TO_DIAGRAM_END, kAreaButtons[area]);
}

SearchRequest readDialog(HWND dialog) {
    SearchRequest r;
    r.searchText = windowTextOf(GetDlgItem(dialog, IDC_SEARCH_TEXT)).substr(0, kSearchTextMax);
    r.replaceText = windowTextOf(GetDlgItem(dialog, IDC_SEARCH_REPLACE_TEXT)).substr(0, kSearchTextMax);
    r.matchCase = IsDlgButtonChecked(dialog, IDC_SEARCH_CASE) == BST_CHECKED;
    r.wholeWord = IsDlgButtonChecked(dialog, IDC_SEARCH_WORD) == BST_CHECKED;
    r.ignoreWhiteSpace = IsDlgButtonChecked(dialog, IDC_SEARCH_WHITE) == BST_CHECKED;
    r.enhancedExpression = IsDlgButtonChecked(dialog, IDC_SEARCH_EXPRESSION) == BST_CHECKED;
    r.replace = IsDlgButtonChecked(dialog, IDC_SEARCH_REPLACE) == BST_CHECKED;
    r.includeLowerSegments = IsDlgButtonChecked(dialog, IDC_SEARCH_LOWER) == BST_CHECKED;
    r.searchLeftLabels = r.searchRightLabels = true;
    for (int area = kAreaSegment; area <= kAreaToDiagramEnd; ++area)
        if (IsDlgButtonChecked(dialog, kAreaButtons[area]) == BST_CHECKED) r.area = area;
    return r;
}

void setReplaceUppercase(HWND dialog, bool on) {
    HWND field = GetDlgItem(dialog, IDC_SEARCH_REPLACE_TEXT);
    LONG_PTR style = GetWindowLongPtrA(field, GWL_STYLE);
    style = on ? (style | ES_UPPERCASE) : (style & ~static_cast<LONG_PTR>(ES_UPPERCASE));
    SetWindowLongPtrA(field, GWL_STYLE, style);
}

INT_PTR CALLBACK searchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* data = reinterpret_cast<DialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            data = reinterpret_cast<DialogData*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            HWND combo = GetDlgItem(dialog, IDC_SEARCH_TEXT);
            SendMessageA(combo, CB_LIMITTEXT, kSearchTextMax, 0);
            SendDlgItemMessageA(dialog, IDC_SEARCH_REPLACE_TEXT, EM_LIMITTEXT, kSearchTextMax, 0);
            SendDlgItemMessageA(dialog, IDC_SEARCH_REPLACE_TEXT, g_frame.messages.editSubInit, 0, 0);
            for (const SearchRequest& r : g_recent.entries)
                SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r.searchText.c_str()));
            fillDialog(dialog, data->request);
            CheckDlgButton(dialog, IDC_SEARCH_CAPITALIZE,
                           g_frameSettings.editUppercase ? BST_CHECKED : BST_UNCHECKED);
            setReplaceUppercase(dialog, g_frameSettings.editUppercase);
            if (data->editing) {
                char text[80];
                if (platform::loadString(IDS_FROM_CARET_TO, text, sizeof text) > 0)
                    SetDlgItemTextA(dialog, IDC_AREA_TO_SEGMENT_END, text);
                if (platform::loadString(IDS_FROM_CARET_TO_2, text, sizeof text) > 0)
                    SetDlgItemTextA(dialog, IDC_AREA_TO_DIAGRAM_END, text);
            }
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_SEARCH_TEXT:
                    if (HIWORD(wParam) == CBN_SELCHANGE) {
                        const LRESULT i = SendDlgItemMessageA(dialog, IDC_SEARCH_TEXT, CB_GETCURSEL, 0, 0);
                        if (i >= 0 && i < static_cast<LRESULT>(g_recent.entries.size()))
                            fillDialog(dialog, g_recent.entries[static_cast<std::size_t>(i)]);
                    }
                    return TRUE;
                case IDC_SEARCH_REPLACE_TEXT:
                    if (HIWORD(wParam) == EN_CHANGE) CheckDlgButton(dialog, IDC_SEARCH_REPLACE, BST_CHECKED);
                    return TRUE;
                case IDC_SEARCH_CAPITALIZE:
                    g_frameSettings.editUppercase =
                        IsDlgButtonChecked(dialog, IDC_SEARCH_CAPITALIZE) == BST_CHECKED;
                    setReplaceUppercase(dialog, g_frameSettings.editUppercase);
                    return TRUE;
                case IDC_AREA_DIAGRAM:
                case IDC_AREA_TO_DIAGRAM_END:
                    CheckDlgButton(dialog, IDC_SEARCH_LOWER, BST_CHECKED);
                    return TRUE;
                case IDOK: {
                    SearchRequest r = readDialog(dialog);
                    SearchMatcher check;
                    std::string error;
                    if (!check.prepare(r, &error)) {
                        // An empty text or an expression that does not compile: told here.
                        std::string shown;
                        if (!error.empty()) {
                            char text[kMaxFormatted];
                            formatMessage(text, IDS_SEARCH_EXPRESSION_ERROR, error.c_str());
                            shown = text;
                        }
                        SetDlgItemTextA(dialog, IDC_SEARCH_ERROR, shown.c_str());
                        SetFocus(GetDlgItem(dialog, IDC_SEARCH_TEXT));
                        return TRUE;
                    }
                    data->request = r;
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

// The question for one match, placed where it does not cover the match.
struct AskData {
    RECT avoid;  // the match on the screen
};

INT_PTR CALLBACK askDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const RECT avoid = reinterpret_cast<AskData*>(lParam)->avoid;
            RECT r;
            GetWindowRect(dialog, &r);
            const int w = r.right - r.left, h = r.bottom - r.top;
            RECT work{};
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
            int x = avoid.left, y = avoid.bottom + 8;
            if (y + h > work.bottom) y = avoid.top - h - 8;
            if (y < work.top) {  // neither below nor above: beside it
                y = work.top;
                x = avoid.right + 8 + w <= work.right ? avoid.right + 8 : avoid.left - w - 8;
            }
            x = std::max<int>(work.left, std::min<int>(x, work.right - w));
            SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            GetWindowRect(dialog, &r);
            diagnosticsLine("replace question %ld,%ld,%ld,%ld match %ld,%ld,%ld,%ld", r.left, r.top, r.right,
                            r.bottom, avoid.left, avoid.top, avoid.right, avoid.bottom);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_REPLACE_YES:
                case IDC_REPLACE_NO:
                case IDC_REPLACE_ALL:
                case IDCANCEL:
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

// Shows the hit: its segment in the window, the construct selected, the
// field and the matched characters as the window's caret range.
SegmentWindow* showHit(const SearchHit& hit) {
    if (!showConstruct(hit.node)) return nullptr;
    SegmentWindow* window = currentSegmentWindow();
    if (!window) return nullptr;
    window->editField = hit.field;
    window->caretStart = hit.match.start;
    window->caretEnd = hit.match.start + hit.match.length;
    diagnosticsLine("search hit field %d at %d+%d", hit.field, hit.match.start, hit.match.length);
    return window;
}

RECT matchOnScreen(SegmentWindow& window) {
    RECT r{0, 0, 0, 0};
    OpenDiagram* diagram = diagramOf(window);
    Rect box;
    if (diagram && selectionBox(plainContext(diagram), window, &box)) {
        r = RECT{box.left - window.scrollX, box.top - window.scrollY, box.right - window.scrollX,
                 box.bottom - window.scrollY};
        MapWindowPoints(static_cast<HWND>(window.hwnd), nullptr, reinterpret_cast<POINT*>(&r), 2);
    }
    return r;
}

bool runSearch(SegmentWindow& start, unsigned command) {
    SearchMatcher matcher;
    if (!matcher.prepare(g_request, nullptr)) return false;
    SegmentWindow* window = &start;
    long replaced = 0;
    bool found = false;
    bool all = false;
    SearchHit hit;
    while (findNext(g_run.scope, matcher, g_run.cursor, &hit)) {
        found = true;
        SegmentWindow* shown = showHit(hit);
        if (!shown) break;
        window = shown;
        if (!g_request.replace) break;
        int answer = IDC_REPLACE_YES;
        if (!all) {
            UpdateWindow(static_cast<HWND>(window->hwnd));
            AskData ask{matchOnScreen(*window)};
            ++g_frame.modalDepth;
            answer = static_cast<int>(DialogBoxParamA(g_frame.instance, MAKEINTRESOURCEA(IDD_REPLACE_ASK),
                                                      g_frame.frame, askDialogProc,
                                                      reinterpret_cast<LPARAM>(&ask)));
            --g_frame.modalDepth;
        }
        if (answer == IDCANCEL || answer <= 0) break;
        if (answer == IDC_REPLACE_NO) continue;
        EditContext context = editContextOf(*window);
        if (replaceReported(context, command, g_run.scope, matcher, g_run.cursor, hit)) ++replaced;
        if (answer == IDC_REPLACE_ALL) {
            SearchHit last;
            replaced += replaceAll(context, command, g_run.scope, matcher, g_run.cursor, &last);
            afterEdit(*window);
            if (last.node) showHit(last);
            break;
        }
        afterEdit(*window);
    }
    g_run.window = window;
    g_run.edits = editCount();
    g_run.valid = !g_run.cursor.finished;
    if (!found) {
        showMessage(IDS_SEARCH_NOT_FOUND, kBoxDefault);
        return false;
    }
    if (g_request.replace) {
        diagnosticsLine("search replaced %ld", replaced);
        showMessage(IDS_SEARCH_REPLACED, kBoxOk | kIconAsterisk, replaced);
    }
    return true;
}

bool labelsShownIn(const SegmentWindow& window, bool right) {
    OpenDiagram* diagram = diagramOf(window);
    return diagram && (right ? diagram->display.showRightLabels : diagram->display.showLeftLabels);
}

bool newScope(SegmentWindow& window, bool backward) {
    finishSearch(g_run.scope, g_run.cursor);
    g_run = RunningSearch{};
    if (!makeSearchScope(g_request, window.document, window.shownSegment,
                         Selection{window.selectionFirst, window.selectionLast}, backward,
                         labelsShownIn(window, false), labelsShownIn(window, true), &g_run.scope))
        return false;
    return true;
}

}  // namespace

bool searchCommand(const CommandRequest& request) {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->shownSegment || !window->document || !window->document->root) return false;
    loadRecent();
    const bool backward = (GetKeyState(VK_SHIFT) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000);
    // A text being edited: the search starts at its caret (its selection
    // is the first search text).
    ConstructNode* caretNode = nullptr;
    int caretField = 0, caret = 0;
    std::string selected;
    if (directEditActive()) {
        directEditCaret(&caretNode, &caretField, &caret, &selected, backward);
        endDirectEdit(true);
    }
    if (request.command == CMD_EDIT_SEARCH) {
        registerEditClass(g_frame.instance);
        DialogData data{g_request, caretNode != nullptr};
        // Unless the settings keep it, each dialog starts as a plain search.
        if (!g_frameSettings.retainReplaceCheckbox) data.request.replace = false;
        if (!selected.empty()) data.request.searchText = selected.substr(0, kSearchTextMax);
        ++g_frame.modalDepth;
        const INT_PTR answer = DialogBoxParamA(g_frame.instance, MAKEINTRESOURCEA(IDD_SEARCH), g_frame.frame,
                                               searchDialogProc, reinterpret_cast<LPARAM>(&data));
        --g_frame.modalDepth;
        if (answer != IDOK) return false;
        g_request = data.request;
        g_haveRequest = true;
        rememberSearch(g_recent, g_request);
        saveRecentSearches(g_recent, g_settingsFile);
        if (!newScope(*window, backward)) return false;
        if (caretNode && (g_request.area == kAreaToSegmentEnd || g_request.area == kAreaToDiagramEnd))
            startCursorAt(g_run.cursor, caretNode, caretField, caret);
        return runSearch(*window, CMD_EDIT_SEARCH);
    }
    // Continue search: the running walk when the window still shows its
    // last match and nothing changed the diagram since, else a new walk
    // from the caret.
    if (!g_haveRequest && g_recent.entries.empty()) return false;
    const bool same = g_run.valid && g_run.window == window && g_run.cursor.node == window->selectionFirst &&
                      g_run.edits == editCount() && g_run.scope.backward == backward;
    if (!same) {
        if (!newScope(*window, backward)) return false;
        if (window->selectionFirst && g_request.area != kAreaSelection) {
            if (caretNode) {
                startCursorAt(g_run.cursor, caretNode, caretField, caret);
            } else if (window->editField) {
                startCursorAt(g_run.cursor, window->selectionFirst, window->editField,
                              backward ? window->caretStart : window->caretEnd);
            }
        }
    }
    return runSearch(*window, CMD_EDIT_CONTINUE_SEARCH);
}

void forgetSearchWindow(SegmentWindow& window) {
    if (g_run.window != &window && g_run.scope.document != window.document) return;
    // The bodies the walk read stay loaded; the records they are in may go with the diagram.
    g_run = RunningSearch{};
}
