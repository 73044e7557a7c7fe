// The frame's bars: the tool bar and the toolbox (common-control tool bars
// built from RCDATA 27000 and 27001 with 16 x 16 images) and the status bar
// (window class "HpmStatus") with its panes.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "app/frame_win32.h"
#include "app/text_edit_win32.h"
#include "config/profile.h"
#include "platform/platform.h"
#include "print/print_win32.h"
#include "resources/strings.h"

namespace {

constexpr int kToolbarId = 27000;
constexpr int kToolboxBarId = 27001;
constexpr int kMaxButtons = 64;
constexpr int kToolboxColumns = 2;
constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr char kToolboxClass[] = "KivToolbox";
constexpr char kStatusClass[] = "HpmStatus";
constexpr UINT kStatusSetText = WM_USER + 1;
constexpr UINT kStatusGetText = WM_USER + 2;
constexpr int kStatusTextSize = 129;  // 128 characters

struct Bar {
    BarButton buttons[kMaxButtons];
    int count;
    HIMAGELIST images;
};

Bar g_toolbar;
Bar g_toolbox;
HWND g_toolboxBar;
// The add-in's buttons at the end of the tool bar, and the number of the
// bar's own images (the add-in's come after them).
std::vector<unsigned> g_addInButtons;
int g_ownImages = -1;
constexpr unsigned kAddInSeparator = CMD_ADDIN_EMPTY;  // the id that finds the separator again

// ---------------------------------------------------------------------------
// Tool bars

std::span<const std::uint8_t> rcdata(unsigned id) {
    HRSRC found = FindResourceA(g_frame.instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return {};
    HGLOBAL loaded = LoadResource(g_frame.instance, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return {static_cast<const std::uint8_t*>(data), SizeofResource(g_frame.instance, found)};
}

bool fillBar(HWND bar, Bar& table, unsigned tableId, unsigned imagesId) {
    SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    table.images = ImageList_LoadImageA(g_frame.instance, MAKEINTRESOURCEA(imagesId), 16, 0, kTransparent,
                                        IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (!table.images) return false;
    SendMessageA(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(table.images));
    table.count = readBarButtons(rcdata(tableId), table.buttons, kMaxButtons);
    if (table.count == 0) return false;
    TBBUTTON buttons[kMaxButtons] = {};
    for (int i = 0; i < table.count; ++i) {
        const BarButton& b = table.buttons[i];
        buttons[i].iBitmap = b.image < 0 ? 0 : b.image;
        buttons[i].idCommand = b.image < 0 ? 0 : b.command;
        buttons[i].fsState = static_cast<BYTE>(b.state);
        buttons[i].fsStyle = static_cast<BYTE>(b.style);
        buttons[i].dwData = b.tip;
        buttons[i].iString = -1;
    }
    return SendMessageA(bar, TB_ADDBUTTONSA, static_cast<WPARAM>(table.count),
                        reinterpret_cast<LPARAM>(buttons)) != FALSE;
}

unsigned tipOf(unsigned command) {
    for (const Bar* bar : {&g_toolbar, &g_toolbox})
        for (int i = 0; i < bar->count; ++i)
            if (bar->buttons[i].image >= 0 && bar->buttons[i].command == command) return bar->buttons[i].tip;
    return 0;
}

void refreshBar(HWND bar, const Bar& table) {
    if (!bar) return;
    for (int i = 0; i < table.count; ++i) {
        const BarButton& b = table.buttons[i];
        if (b.image < 0) continue;
        bool enabled = commandEnabled(b.command);
        bool was = SendMessageA(bar, TB_ISBUTTONENABLED, b.command, 0) != 0;
        if (enabled != was)
            SendMessageA(bar, TB_ENABLEBUTTON, b.command, MAKELPARAM(enabled ? TRUE : FALSE, 0));
        // A check button shows its switch, however it was changed (overwrite by the Insert key).
        if (b.style != TBSTYLE_CHECK) continue;
        const bool checked = commandChecked(b.command);
        if (checked != (SendMessageA(bar, TB_ISBUTTONCHECKED, b.command, 0) != 0))
            SendMessageA(bar, TB_CHECKBUTTON, b.command, MAKELPARAM(checked ? TRUE : FALSE, 0));
    }
}

LRESULT CALLBACK ToolboxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // The buttons' commands go to the frame, marked by the toolbox's bar.
            return SendMessageA(g_frame.frame, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(g_toolboxBar));
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (barNotify(reinterpret_cast<NMHDR*>(lParam), &result)) return result;
            break;
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY: {
            RECT rect;
            GetWindowRect(window, &rect);
            ToolWindowPlace& place = g_frameSettings.places[static_cast<int>(ToolWindow::ToolBox)];
            place.rect = SettingsRect{rect.left, rect.top, rect.right, rect.bottom};
            g_frame.toolbox = nullptr;
            g_toolboxBar = nullptr;
            g_frameSettings.window.toolWindows[static_cast<int>(ToolWindow::ToolBox)] = 0;
            diagnosticsLine("toolbox closed");
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerToolboxClass() {
    WNDCLASSA wc{};
    if (GetClassInfoA(g_frame.instance, kToolboxClass, &wc)) return true;
    wc.lpfnWndProc = ToolboxWndProc;
    wc.hInstance = g_frame.instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kToolboxClass;
    return RegisterClassA(&wc) != 0;
}

// ---------------------------------------------------------------------------
// Status bar

enum Pane { kPaneNum, kPaneCaps, kPaneScrl, kPanePages, kPaneOvr, kPanePage, kPaneCount };

struct StatusPane {
    unsigned textId;
    bool active;
    bool visible;
    RECT rect;
};

struct StatusBar {
    HFONT font;
    StatusPane panes[kPaneCount] = {
        {IDS_PANE_NUM, false, true, {}},  {IDS_PANE_CAPS, false, true, {}},
        {IDS_PANE_SCRL, false, true, {}}, {IDS_PANE_PAGES_UNKNOWN, false, true, {}},
        {IDS_PANE_OVR, false, true, {}},  {IDS_PANE_PAGE, false, true, {}},
    };
    unsigned pagesAcross, pagesDown;  // printer pages of the diagram (0 = not known)
    unsigned pageNumber;
};

StatusBar g_status;

int CALLBACK fontExists(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

HFONT statusFont() {
    int height = GetSystemMetrics(SM_CYCAPTION) - 4;
    HDC dc = GetDC(nullptr);
    LOGFONTA font{};
    font.lfHeight = height > 6 ? height : 6;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    for (unsigned id = IDS_STATUS_FONT_1; id <= IDS_STATUS_FONT_4; ++id) {
        LOGFONTA probe{};
        probe.lfCharSet = DEFAULT_CHARSET;
        if (platform::loadString(id, probe.lfFaceName, LF_FACESIZE) <= 0) continue;
        bool found = false;
        EnumFontFamiliesExA(dc, &probe, fontExists, reinterpret_cast<LPARAM>(&found), 0);
        if (found) {
            std::memcpy(font.lfFaceName, probe.lfFaceName, LF_FACESIZE);
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    return CreateFontIndirectA(&font);
}

void paneText(int pane, char* out, int size) {
    out[0] = 0;
    if (pane == kPanePages) {
        if (g_status.pagesAcross && g_status.pagesDown) {
            char format[64];
            platform::loadString(IDS_PANE_PAGES, format, sizeof format);
            std::snprintf(out, static_cast<std::size_t>(size), format, g_status.pagesAcross,
                          g_status.pagesDown);
        } else {
            platform::loadString(IDS_PANE_PAGES_UNKNOWN, out, size);
        }
        return;
    }
    platform::loadString(g_status.panes[pane].textId, out, size);
    if (pane == kPanePage && g_status.pageNumber) {
        std::size_t n = std::strlen(out);
        std::snprintf(out + n, static_cast<std::size_t>(size) - n, "%u", g_status.pageNumber);
    }
}

// The panes from the right edge: each as wide as its widest text.
void layoutPanes(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    int right = client.right - 2;
    for (int pane = kPaneCount - 1; pane >= 0; --pane) {
        char text[64];
        paneText(pane, text, sizeof text);
        if (pane == kPanePages) platform::loadString(IDS_PANE_PAGES_UNKNOWN, text, sizeof text);
        if (pane == kPanePage)
            std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), "9999");
        SIZE extent{};
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &extent);
        int width = extent.cx + 8;
        g_status.panes[pane].rect = RECT{right - width, client.top + 2, right, client.bottom - 1};
        g_status.panes[pane].visible = right - width > client.left + 40;
        right -= width + 3;
    }
}

void paintStatus(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, g_status.font ? g_status.font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    layoutPanes(window, dc);
    // A monochrome button face shows active panes inverted.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    bool mono = face == RGB(0, 0, 0) || face == RGB(255, 255, 255);

    int leftEnd = client.right - 2;
    for (const StatusPane& pane : g_status.panes)
        if (pane.visible && pane.rect.left < leftEnd) leftEnd = pane.rect.left;
    RECT text{client.left + 2, client.top + 2, leftEnd - 3, client.bottom - 1};
    DrawEdge(dc, &text, BDR_SUNKENOUTER, BF_RECT);
    RECT inner{text.left + 4, text.top, text.right - 2, text.bottom};
    char shown[kStatusTextSize] = {};
    GetWindowTextA(window, shown, sizeof shown);
    DrawTextA(dc, shown, -1, &inner, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

    for (int i = 0; i < kPaneCount; ++i) {
        StatusPane& pane = g_status.panes[i];
        if (!pane.visible) continue;
        RECT r = pane.rect;
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        if (!pane.active) continue;
        char label[64];
        paneText(i, label, sizeof label);
        DrawTextA(dc, label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (mono) InvertRect(dc, &r);
    }
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}

LRESULT CALLBACK StatusWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kStatusSetText: {
            // The left pane shows the window text (at most 128 characters).
            char text[kStatusTextSize] = {};
            const char* given = reinterpret_cast<const char*>(lParam);
            std::snprintf(text, sizeof text, "%s", given ? given : "");
            SetWindowTextA(window, text);
            InvalidateRect(window, nullptr, FALSE);
            return TRUE;
        }
        case kStatusGetText:
            return GetWindowTextA(window, reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
        case WM_PAINT:
            paintStatus(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SIZE:
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_DESTROY:
            if (g_status.font) DeleteObject(g_status.font);
            g_status.font = nullptr;
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool createToolbar() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | TBSTYLE_TOOLTIPS | CCS_TOP;
    if (g_frameSettings.flatToolbar) style |= TBSTYLE_FLAT;
    HWND bar =
        CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, style, 0, 0, 0, 0, g_frame.frame,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolbarId)), g_frame.instance, nullptr);
    if (!bar) return false;
    if (!fillBar(bar, g_toolbar, IDR_TOOLBAR, IDB_TOOLBAR)) {
        DestroyWindow(bar);
        return false;
    }
    g_frame.toolbar = bar;
    showTextInputButtons(false);
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
    return true;
}

void destroyToolbarImages() {
    for (Bar* bar : {&g_toolbar, &g_toolbox}) {
        if (bar->images) ImageList_Destroy(bar->images);
        bar->images = nullptr;
    }
}

void showTextInputButtons(bool show) {
    if (!g_frame.toolbar) return;
    for (int i = 0; i < g_toolbar.count; ++i) {
        const BarButton& b = g_toolbar.buttons[i];
        if (b.image >= 0 && isTextInputCommand(b.command))
            SendMessageA(g_frame.toolbar, TB_HIDEBUTTON, b.command, MAKELPARAM(show ? FALSE : TRUE, 0));
    }
}

void createToolbox(const SettingsRect* rect) {
    if (g_frame.toolbox || !registerToolboxClass()) return;
    char title[64] = {};
    platform::loadString(IDS_TOOLBOX_TITLE, title, sizeof title);
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_TOOLWINDOW;
    HWND window = CreateWindowExA(exStyle, kToolboxClass, title, style, 0, 0, 100, 100, g_frame.frame,
                                  nullptr, g_frame.instance, nullptr);
    if (!window) return;
    DWORD barStyle = WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE | CCS_NORESIZE |
                     CCS_NODIVIDER | CCS_NOPARENTALIGN;
    if (g_frameSettings.flatToolbox) barStyle |= TBSTYLE_FLAT;
    HWND bar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, barStyle, 0, 0, kToolboxColumns * 23 + 2, 400,
                               window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolboxBarId)),
                               g_frame.instance, nullptr);
    if (!bar || !fillBar(bar, g_toolbox, IDR_TOOLBOX, IDB_TOOLBOX)) {
        DestroyWindow(window);
        return;
    }
    g_frame.toolbox = window;
    g_toolboxBar = bar;
    // Two columns: every second button ends its row.
    for (int i = kToolboxColumns - 1; i + 1 < g_toolbox.count; i += kToolboxColumns) {
        unsigned command = g_toolbox.buttons[i].command;
        LRESULT state = SendMessageA(bar, TB_GETSTATE, command, 0);
        if (state != -1) SendMessageA(bar, TB_SETSTATE, command, MAKELPARAM(state | TBSTATE_WRAP, 0));
    }
    // The bar as large as its buttons; the window around it.
    int width = 0, height = 0;
    for (int i = 0; i < g_toolbox.count; ++i) {
        RECT item{};
        SendMessageA(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        if (item.right > width) width = item.right;
        if (item.bottom > height) height = item.bottom;
    }
    width += 2;
    height += 2;
    MoveWindow(bar, 0, 0, width, height, FALSE);
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    int w = outer.right - outer.left, h = outer.bottom - outer.top;
    int x, y;
    RECT frame;
    GetWindowRect(g_frame.frame, &frame);
    if (rect && rect->right > rect->left) {
        x = rect->left;
        y = rect->top;
    } else {
        x = frame.right - w - 24;
        y = frame.top + GetSystemMetrics(SM_CYCAPTION) * 3 + toolbarHeight() + 16;
    }
    // Keep it on the screen.
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (x + w > screen.right) x = screen.right - w;
    if (y + h > screen.bottom) y = screen.bottom - h;
    if (x < screen.left) x = screen.left;
    if (y < screen.top) y = screen.top;
    SetWindowPos(window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    // Insertion mode is off: "Quit insert mode" is the pressed button.
    SendMessageA(bar, TB_CHECKBUTTON, CMD_QUIT_INSERT_MODE, MAKELPARAM(TRUE, 0));
    refreshBar(bar, g_toolbox);
    if (IsWindowVisible(g_frame.frame)) ShowWindow(window, SW_SHOWNOACTIVATE);
    g_frameSettings.window.toolWindows[static_cast<int>(ToolWindow::ToolBox)] =
        reinterpret_cast<std::uintptr_t>(window);
    diagnosticsLine("toolbox open");
}

void toggleToolbox() {
    if (g_frame.toolbox) {
        DestroyWindow(g_frame.toolbox);
        return;
    }
    const ToolWindowPlace& place = g_frameSettings.places[static_cast<int>(ToolWindow::ToolBox)];
    createToolbox(place.rect.right > place.rect.left ? &place.rect : nullptr);
}

bool createStatusBar() {
    WNDCLASSA wc{};
    if (!GetClassInfoA(g_frame.instance, kStatusClass, &wc)) {
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = StatusWndProc;
        wc.hInstance = g_frame.instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kStatusClass;
        if (!RegisterClassA(&wc)) return false;
    }
    g_status.font = statusFont();
    g_frame.statusBar = CreateWindowExA(0, kStatusClass, nullptr, WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                        g_frame.frame, nullptr, g_frame.instance, nullptr);
    return g_frame.statusBar != nullptr;
}

void setStatusText(const char* text) {
    if (g_frame.statusBar) SendMessageA(g_frame.statusBar, kStatusSetText, 0, reinterpret_cast<LPARAM>(text));
}

int statusText(char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!g_frame.statusBar) return 0;
    return static_cast<int>(SendMessageA(g_frame.statusBar, kStatusGetText, static_cast<WPARAM>(size),
                                         reinterpret_cast<LPARAM>(out)));
}

void refreshBars() {
    refreshBar(g_frame.toolbar, g_toolbar);
    refreshBar(g_toolboxBar, g_toolbox);
    if (!g_frame.statusBar) return;
    bool active[kPaneCount] = {
        (GetKeyState(VK_NUMLOCK) & 1) != 0,
        (GetKeyState(VK_CAPITAL) & 1) != 0,
        (GetKeyState(VK_SCROLL) & 1) != 0,
        g_frameSettings.window.statusPages && g_frameSettings.window.statusBar,
        overwriteShown(),
        g_status.pageNumber != 0,
    };
    bool changed = false;
    // The pages the shown segment needs: counted again only when the
    // layout, the printer or the window changed.
    PageGrid grid;
    if (!active[kPanePages] || !statusPageCount(&grid)) grid = PageGrid{};
    if (static_cast<unsigned>(grid.across) != g_status.pagesAcross ||
        static_cast<unsigned>(grid.down) != g_status.pagesDown) {
        g_status.pagesAcross = static_cast<unsigned>(grid.across);
        g_status.pagesDown = static_cast<unsigned>(grid.down);
        changed = true;
    }
    for (int i = 0; i < kPaneCount; ++i) {
        if (g_status.panes[i].active == active[i]) continue;
        changed = true;
        g_status.panes[i].active = active[i];
        if (i == kPanePages) continue;  // its text changes with the diagram
        char text[64];
        paneText(i, text, sizeof text);
        diagnosticsLine("status pane %s %s", text, active[i] ? "on" : "off");
    }
    if (changed) InvalidateRect(g_frame.statusBar, nullptr, FALSE);
}

namespace {

// The tip of an add-in button: the command's help text.
bool addInTip(NMHDR* header, int code, LRESULT* result) {
    const unsigned command = static_cast<unsigned>(header->idFrom);
    const char* text = addInHelpText(command);
    bool found = false;
    for (unsigned c : g_addInButtons) found = found || c == command;
    if (!found || !text || !text[0]) return false;
    if (code == static_cast<int>(TTN_GETDISPINFOA)) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        info->hinst = nullptr;
        info->lpszText = const_cast<char*>(text);
    } else {
        static wchar_t wide[256];
        if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256)) wide[0] = 0;
        wide[255] = 0;
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        info->hinst = nullptr;
        info->lpszText = wide;
    }
    *result = 0;
    return true;
}

}  // namespace

bool addAddInButton(unsigned command, HBITMAP bitmap, int imageNumber, bool enabled) {
    if (!g_frame.toolbar || !g_toolbar.images) return false;
    if (g_ownImages < 0) g_ownImages = ImageList_GetImageCount(g_toolbar.images);
    int image = imageNumber;
    if (bitmap)
        image = ImageList_AddMasked(g_toolbar.images, bitmap, kTransparent);
    else if (image >= g_ownImages)
        image = -1;
    if (image < 0) return false;
    TBBUTTON buttons[2] = {};
    int count = 0;
    if (g_addInButtons.empty()) {
        buttons[count].idCommand = static_cast<int>(kAddInSeparator);
        buttons[count].fsStyle = TBSTYLE_SEP;
        ++count;
    }
    buttons[count].iBitmap = image;
    buttons[count].idCommand = static_cast<int>(command);
    buttons[count].fsState = enabled ? TBSTATE_ENABLED : 0;
    buttons[count].fsStyle = TBSTYLE_BUTTON;
    buttons[count].iString = -1;
    ++count;
    if (!SendMessageA(g_frame.toolbar, TB_ADDBUTTONSA, static_cast<WPARAM>(count),
                      reinterpret_cast<LPARAM>(buttons)))
        return false;
    g_addInButtons.push_back(command);
    SendMessageA(g_frame.toolbar, TB_AUTOSIZE, 0, 0);
    return true;
}

void removeAddInButtons() {
    if (g_addInButtons.empty()) return;
    g_addInButtons.push_back(kAddInSeparator);
    for (unsigned command : g_addInButtons) {
        const LRESULT index =
            g_frame.toolbar ? SendMessageA(g_frame.toolbar, TB_COMMANDTOINDEX, command, 0) : -1;
        if (index >= 0) SendMessageA(g_frame.toolbar, TB_DELETEBUTTON, static_cast<WPARAM>(index), 0);
    }
    g_addInButtons.clear();
    if (g_toolbar.images && g_ownImages >= 0)
        ImageList_SetImageCount(g_toolbar.images, static_cast<UINT>(g_ownImages));
    if (g_frame.toolbar) SendMessageA(g_frame.toolbar, TB_AUTOSIZE, 0, 0);
}

bool barNotify(NMHDR* header, LRESULT* result) {
    if (!header) return false;
    int code = static_cast<int>(header->code);
    if (code == static_cast<int>(TTN_GETDISPINFOA) || code == static_cast<int>(TTN_GETDISPINFOW)) {
        unsigned tip = tipOf(static_cast<unsigned>(header->idFrom));
        if (!tip) return addInTip(header, code, result);
        if (code == static_cast<int>(TTN_GETDISPINFOA)) {
            auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
            info->hinst = g_frame.instance;
            info->lpszText = MAKEINTRESOURCEA(tip);
        } else {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
            info->hinst = g_frame.instance;
            info->lpszText = MAKEINTRESOURCEW(tip);
        }
        *result = 0;
        return true;
    }
    // Customisation of the bars: buttons may be moved and removed.
    if (code == static_cast<int>(TBN_QUERYINSERT) || code == static_cast<int>(TBN_QUERYDELETE)) {
        *result = TRUE;
        return true;
    }
    if (code == static_cast<int>(TBN_TOOLBARCHANGE)) {
        layoutFrame();
        *result = 0;
        return true;
    }
    return false;
}

void diagnosticsBars() {
    const struct {
        HWND bar;
        const Bar& table;
        const char* name;
    } bars[] = {{g_frame.toolbar, g_toolbar, "toolbar"}, {g_toolboxBar, g_toolbox, "toolbox"}};
    for (const auto& b : bars) {
        if (!b.bar) continue;
        for (int i = 0; i < b.table.count; ++i) {
            const BarButton& button = b.table.buttons[i];
            if (button.image < 0) continue;
            RECT rect{};
            SendMessageA(b.bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
            bool enabled = SendMessageA(b.bar, TB_ISBUTTONENABLED, button.command, 0) != 0;
            bool hidden = SendMessageA(b.bar, TB_ISBUTTONHIDDEN, button.command, 0) != 0;
            diagnosticsLine("button %s %u %ld %ld %ld %ld %s%s", b.name, button.command, rect.left, rect.top,
                            rect.right, rect.bottom, enabled ? "e" : "g", hidden ? "h" : "-");
        }
    }
    for (unsigned command : g_addInButtons) {
        RECT rect{};
        SendMessageA(g_frame.toolbar, TB_GETRECT, command, reinterpret_cast<LPARAM>(&rect));
        const bool enabled = SendMessageA(g_frame.toolbar, TB_ISBUTTONENABLED, command, 0) != 0;
        diagnosticsLine("button toolbar %u %ld %ld %ld %ld %s-", command, rect.left, rect.top, rect.right,
                        rect.bottom, enabled ? "e" : "g");
    }
}

unsigned barTipOf(unsigned command) {
    return tipOf(command);
}

int toolbarHeight() {
    if (!g_frame.toolbar || !IsWindowVisible(g_frame.toolbar)) return 0;
    RECT rect;
    GetWindowRect(g_frame.toolbar, &rect);
    return rect.bottom - rect.top;
}

int statusBarHeight() {
    return GetSystemMetrics(SM_CYCAPTION);
}
