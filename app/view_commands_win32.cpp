// The View and Window commands of the segment windows (the route of
// CommandOwner::view): down, up and top through the segments, go to line,
// view procedure, a new window on the same segment, the overview and the
// structure list, and pictures of the shown segment (Export picture and
// the batch option -svg).
#include <cstdio>
#include <cstring>
#include <string>

#include "app/view_win32.h"
#include "core/host.h"
#include "core/path.h"
#include "core/replacement_file.h"
#include "platform/platform.h"
#include "resources/commands.h"
#include "resources/dialog_ids.h"
#include "resources/strings.h"
#include "view/shapes.h"
#include "view/structure_list.h"
#include "view/svg_canvas.h"

namespace {

class Win32Opener final : public WindowOpener {
public:
    SegmentWindow* open(SegmentWindow& like) override {
        return segmentWindowOf(createSegmentWindow(diagramOf(like), &like));
    }
    void activate(SegmentWindow& window) override {
        SendMessageA(g_frame.client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(window.hwnd), 0);
        g_segmentWindows.current = &window;
    }
};

// A window moved to another segment (or selects anew): laid out with the
// selection in view, painted, the tool windows follow.
void shown(SegmentWindow& window) {
    OpenDiagram* diagram = diagramOf(window);
    if (!diagram) return;
    {
        ScreenView measure(diagram);
        layoutWindow(measure.context(), window);
    }
    updateScrollBars(window);
    InvalidateRect(static_cast<HWND>(window.hwnd), nullptr, FALSE);
    UpdateWindow(static_cast<HWND>(window.hwnd));
    SetFocus(static_cast<HWND>(window.hwnd));
    refreshOverview();
    refreshStructureList();
    const ConstructNode* first = window.selectionFirst;
    diagnosticsLine("show segment %u select line %d type %d", window.shownSegmentId,
                    first ? first->lineNumber : -1, first ? static_cast<int>(first->type) : -1);
}

bool moveThroughSegments(unsigned command) {
    SegmentWindow* window = currentSegmentWindow();
    if (!window) return false;
    ConstructNode* select = nullptr;
    ConstructNode* target = viewCommandTarget(*window, command, &select);
    if (!target) {
        InvalidateRect(static_cast<HWND>(window->hwnd), nullptr, FALSE);
        return false;
    }
    WaitCursor wait;
    Win32Opener opener;
    SegmentWindow* to =
        navigateTo(g_segmentWindows, *window, target, select, g_frameSettings.window.segInSepWnd, opener);
    if (!to) return false;
    shown(*to);
    return true;
}

// pos_num_proc: the line number asked for.
INT_PTR CALLBACK pos_num_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            SendDlgItemMessageA(dialog, IDC_LINE_NUMBER, EM_LIMITTEXT, 9, 0);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                BOOL ok = FALSE;
                const UINT line = GetDlgItemInt(dialog, IDC_LINE_NUMBER, &ok, FALSE);
                *reinterpret_cast<long*>(GetWindowLongPtrA(dialog, DWLP_USER)) =
                    ok ? static_cast<long>(line) : 0;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

bool goToLine(const CommandRequest& request) {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->document) return false;
    long line = request.number;
    if (line <= 0) {
        if (!findLine(window->document, 0).numbered) {
            showMessage(IDS_NO_LINE_NUMBERS, kBoxDefault);
            return false;
        }
        ++g_frame.modalDepth;
        const INT_PTR answer = DialogBoxParamA(g_frame.instance, MAKEINTRESOURCEA(IDD_GO_TO_LINE),
                                               g_frame.frame, pos_num_proc, reinterpret_cast<LPARAM>(&line));
        --g_frame.modalDepth;
        if (answer != IDOK || line <= 0) return false;
    }
    ConstructNode* node = nullptr;
    {
        WaitCursor wait;
        node = lineConstruct(window->document, line);
    }
    return node && showConstruct(node);
}

bool viewProcedure() {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->selectionFirst || window->selectionFirst != window->selectionLast ||
        window->selectionFirst->type != ConstructType::Call)
        return false;
    ConstructNode* segment = nullptr;
    ConstructNode* found = nullptr;
    {
        WaitCursor wait;
        found = calledProcedure(window->document, window->selectionFirst, &segment);
    }
    if (found) return showConstruct(found, segment);
    const char* called = displayText(childAt(window->selectionFirst, Slot::Head));
    showMessage(IDS_NAME_NOT_FOUND, kBoxDefault, called ? called : "");
    return false;
}

// -v[0-9]=text: the structure list's type and its first entry holding the
// text, without showing the list.
bool viewOption(const CommandRequest& request) {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || request.number < 0 || request.number >= kStructureKinds) return false;
    StructureList list;
    {
        WaitCursor wait;
        buildStructureList(window->document, static_cast<StructureKind>(request.number),
                           g_frameSettings.structureListDepth, list);
    }
    const int at = findEntry(list, request.text);
    if (at < 0) return false;
    ConstructNode* segment = nullptr;
    ConstructNode* found =
        resolveEntry(window->document, list.entries[static_cast<std::size_t>(at)], &segment);
    return found && showConstruct(found, segment);
}

// ---------------------------------------------------------------------------
// Pictures

// The diagram's file name with `ext` instead of its extension.
std::string besideDiagram(const OpenDiagram* diagram, const char* ext) {
    char path[kPathSize];
    if (!pathBeside(diagram->document.ownFile.path, nullptr, ext, path, sizeof path))
        return std::string("diagram") + ext;
    return path;
}

bool endsWith(const std::string& text, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return text.size() >= n && lstrcmpiA(text.c_str() + text.size() - n, tail) == 0;
}

// Writes the segment as SVG (or, for a name ending in .emf, as an enhanced
// metafile) with the screen's geometry, into a work file that replaces a
// picture there only once it is complete.
bool writePicture(OpenDiagram* diagram, ConstructNode* segment, const std::string& path) {
    char work[kPathSize];
    if (!replacementWorkName(path.c_str(), work)) {
        showMessage(IDS_UNABLE_TO_CREATE, kBoxDefault, path.c_str());
        return false;
    }
    ScreenView view(diagram);
    // A picture shows the diagram, not the lines an add-in marked on the screen.
    ViewContext ctx = view.context();
    ctx.specialLines = nullptr;
    bool written = false;
    if (endsWith(path, ".emf")) {
        written = writeSegmentEmf(ctx, segment, work);
    } else {
        std::string svg;
        if (!writeSegmentSvg(ctx, segment, svg)) return false;
        std::FILE* f = std::fopen(work, "wb");
        if (!f) {
            showMessage(IDS_UNABLE_TO_CREATE, kBoxDefault, path.c_str());
            return false;
        }
        written = std::fwrite(svg.data(), 1, svg.size(), f) == svg.size();
        written = std::fclose(f) == 0 && written;
    }
    if (!written) {
        platform::deleteFile(work);
        return false;
    }
    if (replaceWithWorkFile(work, path.c_str())) return true;
    showMessage(IDS_UNABLE_TO_CREATE, kBoxDefault, path.c_str());
    return false;
}

bool exportPicture(const CommandRequest& request) {
    SegmentWindow* window = currentSegmentWindow();
    OpenDiagram* diagram = window ? diagramOf(*window) : nullptr;
    if (!diagram || !window->shownSegment) return false;
    const bool fromBatch = (request.flags & kFromBatch) != 0;
    // A batch run pictures the top segment of the diagram it opened.
    if (fromBatch && isUntitled(diagram)) return false;
    ConstructNode* segment = fromBatch ? diagram->document.root : window->shownSegment;
    std::string path;
    if (request.path && request.path[0]) {
        char full[kPathSize];
        qualifiedPath(request.path, full);
        path = full;
    } else if (fromBatch) {
        path = besideDiagram(diagram, ".svg");
    } else {
        Host* host = currentHost();
        char chosen[kPathSize];
        std::snprintf(chosen, sizeof chosen, "%s", besideDiagram(diagram, ".svg").c_str());
        char filter[256];
        if (platform::loadString(IDS_PICTURE_FILTER, filter, sizeof filter) <= 0) filter[0] = 0;
        FileDialogRequest ask{};
        ask.save = true;
        ask.filter = filter;
        ask.defaultExt = "svg";
        ask.path = chosen;
        ask.pathSize = sizeof chosen;
        if (!host || !host->chooseFile(ask) || !chosen[0]) return false;
        path = chosen;
    }
    WaitCursor wait;
    const bool written = writePicture(diagram, segment, path);
    diagnosticsLine("picture %s %s", written ? "written" : "failed", path.c_str());
    InvalidateRect(static_cast<HWND>(window->hwnd), nullptr, FALSE);
    return written;
}

}  // namespace

bool showConstruct(ConstructNode* node, ConstructNode* segment) {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !node) return false;
    if (!segment) segment = enclosingLevel(node);
    // A segment is shown itself, its first construct selected once its
    // body is in memory.
    const bool itself = segment == node;
    Win32Opener opener;
    SegmentWindow* to = navigateTo(g_segmentWindows, *window, segment, itself ? nullptr : node,
                                   g_frameSettings.window.segInSepWnd, opener);
    if (!to) return false;
    if (itself) {
        selectConstruct(*to, childAt(segment, Slot::Body));
        to->revealSelection = true;
    }
    shown(*to);
    return true;
}

bool viewCommand(const CommandRequest& request) {
    const unsigned command = request.command;
    if ((command >= CMD_SCROLL_FIRST && command <= CMD_SCROLL_LAST) ||
        (command >= CMD_KEY_FIRST && command <= CMD_KEY_LAST)) {
        HWND active = activeDiagramWindow();
        if (active) SendMessageA(active, WM_COMMAND, command, 0);
        return active != nullptr;
    }
    switch (command) {
        case CMD_VIEW_DOWN:
        case CMD_VIEW_UP:
        case CMD_VIEW_TOP:
            return moveThroughSegments(command);
        case CMD_VIEW_LINE:
            return goToLine(request);
        case CMD_VIEW_PROCEDURE:
            return viewProcedure();
        case CMD_WINDOW_NEW: {
            SegmentWindow* window = currentSegmentWindow();
            HWND made = window ? createSegmentWindow(diagramOf(*window), window) : nullptr;
            diagnosticsLine("window new %s", made ? "made" : "failed");
            return made != nullptr;
        }
        case CMD_OPTIONS_OVERVIEW:
            toggleOverview();
            return true;
        case CMD_OPTIONS_STRUCTURE_LIST:
            if (request.text) return viewOption(request);
            toggleStructureList();
            return true;
        case CMD_FILE_EXPORT_PICTURE:
            return exportPicture(request);
        default:
            return false;
    }
}
