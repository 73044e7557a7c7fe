// The structure list: a tool window with a combo box of the list types
// (segments, procedures, functions) and a tree view of the current
// window's diagram. Enter or a double click on an entry shows its segment
// in the current window (or a new one, per "New window on View") with the
// construct selected; the segment it showed last stays in memory while
// the list is open.

#include <algorithm>
#include <vector>

#include "app/view_win32.h"
#include "resources/strings.h"
#include "view/structure_list.h"

namespace {

constexpr char kLevellistClass[] = "KivLevellist";
constexpr int kLevellist = static_cast<int>(ToolWindow::Levellist);
constexpr int kComboId = 1;
constexpr int kTreeId = 2;

struct ListWindow {
    HWND combo = nullptr;
    HWND tree = nullptr;
    StructureList model;
    const DiagramDocument* document = nullptr;  // the diagram listed
    const ConstructNode* pinned = nullptr;      // the segment shown last
} g_list;

HWND listWindow() {
    return reinterpret_cast<HWND>(g_frameSettings.window.toolWindows[kLevellist]);
}

void unpin() {
    if (g_list.pinned) releaseSegment(g_segmentWindows, g_list.pinned);
    g_list.pinned = nullptr;
}

void rebuild() {
    unpin();
    SegmentWindow* window = currentSegmentWindow();
    g_list.document = window ? window->document : nullptr;
    const int kind = std::max(0, static_cast<int>(SendMessageA(g_list.combo, CB_GETCURSEL, 0, 0)));
    g_list.model = StructureList{};
    if (g_list.document)
        buildStructureList(window->document, static_cast<StructureKind>(kind),
                           g_frameSettings.structureListDepth, g_list.model);
    SendMessageA(g_list.tree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(g_list.tree);
    std::vector<HTREEITEM> parents;
    for (std::size_t i = 0; i < g_list.model.entries.size(); ++i) {
        const StructureEntry& entry = g_list.model.entries[i];
        parents.resize(static_cast<std::size_t>(entry.depth));
        TVINSERTSTRUCTA insert{};
        insert.hParent = parents.empty() ? TVI_ROOT : parents.back();
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(entry.text.c_str());
        insert.item.lParam = static_cast<LPARAM>(i);
        HTREEITEM item = TreeView_InsertItem(g_list.tree, &insert);
        if (insert.hParent != TVI_ROOT) TreeView_Expand(g_list.tree, insert.hParent, TVE_EXPAND);
        parents.push_back(item);
    }
    SendMessageA(g_list.tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_list.tree, nullptr, TRUE);
    diagnosticsLine("structure list %d entries of kind %d", static_cast<int>(g_list.model.entries.size()),
                    kind);
}

void choose() {
    HTREEITEM item = TreeView_GetSelection(g_list.tree);
    if (!item || !g_list.document) return;
    TVITEMA data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    if (!TreeView_GetItem(g_list.tree, &data)) return;
    const auto index = static_cast<std::size_t>(data.lParam);
    if (index >= g_list.model.entries.size()) return;
    SegmentWindow* window = currentSegmentWindow();
    if (!window || window->document != g_list.document) return;
    ConstructNode* segment = nullptr;
    ConstructNode* node =
        resolveEntry(const_cast<DiagramDocument*>(g_list.document), g_list.model.entries[index], &segment);
    if (!node) return;
    diagnosticsLine("structure list chose %s", g_list.model.entries[index].text.c_str());
    if (!showConstruct(node, segment)) return;
    unpin();
    keepSegment(g_segmentWindows, segment);
    g_list.pinned = segment;
}

void layout(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    RECT combo;
    GetWindowRect(g_list.combo, &combo);
    const int comboHeight = combo.bottom - combo.top;
    MoveWindow(g_list.combo, 0, 0, client.right, 200, TRUE);
    MoveWindow(g_list.tree, 0, comboHeight + 2, client.right, std::max(0L, client.bottom - comboHeight - 2),
               TRUE);
}

LRESULT CALLBACK LevellistWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            g_list.combo = CreateWindowExA(
                0, "COMBOBOX", nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                0, 100, 200, hwnd, reinterpret_cast<HMENU>(kComboId), g_frame.instance, nullptr);
            for (int kind = 0; kind < kStructureKinds; ++kind) {
                char name[64] = {};
                platform::loadString(structureKindName(static_cast<StructureKind>(kind)), name, sizeof name);
                SendMessageA(g_list.combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            }
            SendMessageA(g_list.combo, CB_SETCURSEL, 0, 0);
            SendMessageA(g_list.combo, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                         0);
            g_list.tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, nullptr,
                                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                                              TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                          0, 0, 100, 100, hwnd, reinterpret_cast<HMENU>(kTreeId),
                                          g_frame.instance, nullptr);
            SendMessageA(g_list.tree, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                         0);
            return g_list.combo && g_list.tree ? 0 : -1;
        }
        case WM_SIZE:
            layout(hwnd);
            return 0;
        case WM_SETFOCUS:
            SetFocus(g_list.tree);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kComboId && HIWORD(wParam) == CBN_SELCHANGE) rebuild();
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom != kTreeId) break;
            // Enter comes as a key of the tree (not as NM_RETURN, which
            // would make it twice).
            if (header->code == NM_DBLCLK ||
                (header->code == TVN_KEYDOWN &&
                 reinterpret_cast<const NMTVKEYDOWN*>(lParam)->wVKey == VK_RETURN)) {
                choose();
                return 1;
            }
            break;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY: {
            unpin();
            RECT rect;
            GetWindowRect(hwnd, &rect);
            g_frameSettings.places[kLevellist].rect =
                SettingsRect{rect.left, rect.top, rect.right, rect.bottom};
            g_frameSettings.window.toolWindows[kLevellist] = 0;
            g_list = ListWindow{};
            diagnosticsLine("structure list closed");
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

void toggleStructureList() {
    if (HWND open = listWindow()) {
        DestroyWindow(open);
        return;
    }
    WNDCLASSA wc{};
    if (!GetClassInfoA(g_frame.instance, kLevellistClass, &wc)) {
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = LevellistWndProc;
        wc.hInstance = g_frame.instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = kLevellistClass;
        if (!RegisterClassA(&wc)) return;
    }
    char title[64] = "Structure list";
    platform::loadString(IDS_STRUCTURE_LIST_TITLE, title, sizeof title);
    const SettingsRect& r = g_frameSettings.places[kLevellist].rect;
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kLevellistClass, title,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, r.left,
                                r.top, r.right - r.left, r.bottom - r.top, g_frame.frame, nullptr,
                                g_frame.instance, nullptr);
    if (!hwnd) return;
    g_frameSettings.window.toolWindows[kLevellist] = reinterpret_cast<std::uintptr_t>(hwnd);
    layout(hwnd);
    rebuild();
    if (IsWindowVisible(g_frame.frame)) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    diagnosticsLine("structure list open");
}

void refreshStructureList(bool force) {
    if (!listWindow()) return;
    SegmentWindow* window = currentSegmentWindow();
    const DiagramDocument* document = window ? window->document : nullptr;
    if (force || document != g_list.document) rebuild();
}
