// The editing commands in the segment windows: each runs on the current
// window's document and selection through the portable commands of edit/,
// with the one undo journal of the editor. The windows' selections,
// carets and scroll positions are handed to the journal as WindowView
// records and taken back after the command; then every window checks that
// the segment and the selection it shows are still in its diagram.
#include "app/edit_win32.h"

#include <map>

#include "app/view_win32.h"
#include "config/language_config.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/host.h"
#include "edit/command_state.h"
#include "edit/construct_commands.h"
#include "edit/undo_journal.h"
#include "resources/commands.h"

namespace {

UndoJournal g_journal;
unsigned long g_editCount = 0;
// The editing side of every segment window, while a command runs.
std::map<WindowId, WindowView> g_views;

WindowId idOf(const SegmentWindow& window) {
    return reinterpret_cast<WindowId>(&window);
}

SegmentWindow* windowOf(WindowId id) {
    SegmentWindow* found = nullptr;
    forEachWindow(g_segmentWindows, [&](SegmentWindow& w) {
        if (idOf(w) == id) found = &w;
    });
    return found;
}

void takeIn(SegmentWindow& w) {
    WindowView& view = g_views[idOf(w)];
    view.segment = w.shownSegment;
    view.state.selection = Selection{w.selectionFirst, w.selectionLast};
    view.state.caret = w.caretStart;
    view.state.caretEnd = w.caretEnd;
    view.state.field = w.editField;
    view.state.scrollX = w.scrollX;
    view.state.scrollY = w.scrollY;
}

void giveBack(SegmentWindow& w) {
    auto found = g_views.find(idOf(w));
    if (found == g_views.end()) return;
    const WindowView& view = found->second;
    if (view.segment && view.segment != w.shownSegment) showSegment(w, view.segment, 0);
    w.selectionFirst = view.state.selection.first;
    w.selectionLast = view.state.selection.last;
    w.selectionAnchor = w.selectionFirst;
    w.caretStart = view.state.caret;
    w.caretEnd = view.state.caretEnd;
    w.editField = view.state.field;
    w.scrollX = view.state.scrollX;
    w.scrollY = view.state.scrollY;
}

// `node` lies in the diagram's tree (not in a sequence an undo record holds).
bool inTree(const DiagramDocument* document, const ConstructNode* node) {
    return node && document && rootOf(node) == document->root;
}

// What a window shows must be in its diagram: a segment that left the tree
// gives way to the top segment, a selection that left it or the segment
// goes.
void checkShown(SegmentWindow& w) {
    DiagramDocument* document = w.document;
    if (!document || !document->root) return;
    if (!inTree(document, w.shownSegment)) showSegment(w, document->root, kShowClearSelection);
    ConstructNode* first = w.selectionFirst;
    if (!first) return;
    bool sound = inTree(document, first) && enclosingLevel(first) == w.shownSegment;
    if (sound) {
        const ConstructNode* n = first;
        while (n && n != w.selectionLast) n = n->next;
        sound = n != nullptr;
    }
    if (!sound) clearSelection(w);
}

// ---------------------------------------------------------------------------
// The journal's hooks

WindowView* viewOfHook(void*, WindowId window) {
    auto found = g_views.find(window);
    return found == g_views.end() ? nullptr : &found->second;
}

void showSegmentHook(void*, WindowId id, ConstructNode* level) {
    SegmentWindow* w = windowOf(id);
    if (!w || !level) return;
    showSegment(*w, level, 0);
    // Shown from its top; an Undo's saved state comes after this.
    WindowView& view = g_views[id];
    view.state.scrollX = 0;
    view.state.scrollY = 0;
}

void activateHook(void*, WindowId id) {
    if (SegmentWindow* w = windowOf(id))
        SendMessageA(g_frame.client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(w->hwnd), 0);
}

void refreshHook(void*, WindowId id) {
    if (SegmentWindow* w = windowOf(id)) InvalidateRect(static_cast<HWND>(w->hwnd), nullptr, FALSE);
}

void repaintHook(void*, DiagramDocument* document) {
    forEachWindow(g_segmentWindows, [&](SegmentWindow& w) {
        if (w.document == document) InvalidateRect(static_cast<HWND>(w.hwnd), nullptr, FALSE);
    });
    OpenDiagram* diagram = diagramOfDocument(document);
    if (diagram) diagram->changedSinceExport = true;
    refreshDiagramTitle(diagram);
}

// ---------------------------------------------------------------------------
// The routes

bool readOnly(const SegmentWindow& window) {
    return window.document && window.document->ownFile.readOnly;
}

// The structural commands on the selection.
int structural(EditContext& context, unsigned command) {
    switch (command) {
        case CMD_EDIT_DELETE:
            return deleteSelection(context);
        case CMD_EDIT_DUPLICATE:
            return duplicateSelection(context);
        case CMD_EDIT_EXTRACT:
            return extractSelection(context);
        case CMD_EDIT_REFINE:
            return refineSelection(context, false);
        case CMD_EDIT_PUSH_DOWN:
            return refineSelection(context, true);
        case CMD_EDIT_PULL_UP:
            return pullUpSelection(context);
        case CMD_EDIT_SPLIT:
            return context.view && context.view->state.field == 3
                       ? splitSelection(context, context.view->state.caret)
                       : 0;
        case CMD_EDIT_JOIN:
            return joinSelection(context);
        default:
            return encloseRow(command) ? encloseSelection(context, command) : -1;
    }
}

bool editCommand(const CommandRequest& request) {
    const unsigned command = request.command;
    if (command == CMD_QUIT_INSERT_MODE) {
        quitInsertionMode();
        return true;
    }
    if (command == CMD_DEFAULT_ACTION) {
        if (g_pendingInsertion.active()) return placeAtMark();
        // Without an insertion the default action belongs to text editing.
        CommandHandler text = commandRoute(CommandOwner::text);
        return text && text(request);
    }
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->shownSegment || readOnly(*window)) return false;
    bool enabled = false;
    if (!editCommandState(command, &enabled) || !enabled) return false;
    // Another command ends insertion mode.
    quitInsertionMode();
    EditContext context = editContextOf(*window);
    if (command == CMD_EDIT_COPY || command == CMD_EDIT_MOVE ||
        (command >= CMD_INSERT_FIRST && command <= CMD_INSERT_LAST)) {
        CurrentDocumentScope scope(context.document);
        if (!beginInsertion(g_pendingInsertion, context, command)) {
            g_views.clear();
            // The toolbox's button comes back up; from elsewhere a beep.
            if (request.flags & kFromToolbox)
                quitInsertionMode();
            else
                MessageBeep(MB_ICONEXCLAMATION);
            return false;
        }
        g_views.clear();
        return enterInsertionMode(*window);
    }
    // Refine shows the new segment in a window of its own with
    // "SegInSepWnd": a new window on the segment refines there.
    HWND extra = nullptr;
    if (command == CMD_EDIT_REFINE && g_frameSettings.window.segInSepWnd) {
        g_views.clear();
        extra = createSegmentWindow(diagramOf(*window), window);
        if (SegmentWindow* other = segmentWindowOf(extra)) {
            window = other;
            context = editContextOf(*window);
        }
    }
    int done;
    {
        CurrentDocumentScope scope(context.document);
        done = structural(context, command);
    }
    afterEdit(*window);
    if (extra && done <= 0) SendMessageA(g_frame.client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(extra), 0);
    diagnosticsLine("edit %u %s", command, done > 0 ? "done" : "refused");
    return done > 0;
}

bool undoCommand(const CommandRequest& request) {
    if (request.command != CMD_EDIT_UNDO) return false;
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->shownSegment || readOnly(*window)) return false;
    quitInsertionMode();
    EditContext context = editContextOf(*window);
    int done;
    {
        CurrentDocumentScope scope(context.document);
        done = undo(&g_journal, context);
    }
    afterEdit(*window);
    diagnosticsLine("edit %u %s", request.command, done ? "done" : "refused");
    return done != 0;
}

bool clipboardRoute(const CommandRequest& request) {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->shownSegment) return false;
    bool enabled = false;
    if (!editCommandState(request.command, &enabled) || !enabled) return false;
    if (request.command == CMD_CLIPBOARD_PASTE || request.command == CMD_CLIPBOARD_PASTE_FREE_FORMAT ||
        request.command == CMD_CLIPBOARD_CUT)
        quitInsertionMode();
    return clipboardCommand(*window, request);
}

bool editingCommand(unsigned command) {
    return command == CMD_EDIT_UNDO || command == CMD_EDIT_SPLIT || command == CMD_EDIT_JOIN ||
           (command >= CMD_EDIT_COPY && command <= CMD_EDIT_DELETE) ||
           (command >= CMD_ENCLOSE_FIRST && command <= CMD_ENCLOSE_LAST) ||
           (command >= CMD_EDIT_EXTRACT && command <= CMD_EDIT_PULL_UP) ||
           (command >= CMD_INSERT_FIRST && command <= CMD_INSERT_LAST) || command == CMD_INSERT_FILE;
}

}  // namespace

EditContext editContextOf(SegmentWindow& window) {
    g_views.clear();
    forEachWindow(g_segmentWindows, [](SegmentWindow& w) { takeIn(w); });
    EditContext context;
    context.document = window.document;
    context.journal = &g_journal;
    context.window = idOf(window);
    context.view = &g_views[idOf(window)];
    return context;
}

void afterEdit(SegmentWindow& window) {
    ++g_editCount;
    forEachWindow(g_segmentWindows, [](SegmentWindow& w) {
        giveBack(w);
        checkShown(w);
    });
    g_views.clear();
    // The changed segments are laid out anew when painted; the acting
    // window shows its selection.
    window.revealSelection = window.selectionFirst != nullptr;
    forEachWindow(g_segmentWindows, [](SegmentWindow& w) {
        InvalidateRect(static_cast<HWND>(w.hwnd), nullptr, FALSE);
        updateScrollBars(w);
    });
    selectionChanged(window, kNoRect);
    refreshOverview();
    refreshStructureList(true);
}

unsigned long editCount() {
    return g_editCount;
}

bool editCommandState(unsigned command, bool* enabled) {
    if (!editingCommand(command) &&
        !(command >= CMD_CLIPBOARD_CUT && command <= CMD_CLIPBOARD_PASTE_FREE_FORMAT))
        return false;
    SegmentWindow* window = currentSegmentWindow();
    WindowView view;
    EditState state;
    if (window && window->shownSegment) {
        view.segment = window->shownSegment;
        view.state.selection = Selection{window->selectionFirst, window->selectionLast};
        state.document = window->document;
        state.view = &view;
        state.readOnly = readOnly(*window);
        state.caret = window->editField == 3 ? window->caretStart : -1;
    }
    state.journal = &g_journal;
    if (command == CMD_CLIPBOARD_PASTE || command == CMD_CLIPBOARD_PASTE_FREE_FORMAT)
        state.clipboard = clipboardContent();
    state.settingsLoaded = g_frame.started;
    state.available = g_languageConfig.available;
    state.insertionPending = g_pendingInsertion.active();
    CurrentDocumentScope scope(state.document ? state.document : currentDocument());
    *enabled = editCommandEnabled(state, command);
    return true;
}

bool insertFileCommand(const CommandRequest& request) {
    SegmentWindow* window = currentSegmentWindow();
    if (!window || !window->shownSegment || readOnly(*window)) return false;
    char chosen[kPathSize];
    if (!chooseInsertFile(request.path, chosen)) return false;
    quitInsertionMode();
    EditContext context = editContextOf(*window);
    int begun;
    {
        WaitCursor wait;
        CurrentDocumentScope scope(context.document);
        begun = beginFileInsertion(g_pendingInsertion, context, chosen);
    }
    g_views.clear();
    if (!begun) return false;
    noteRecentFile(true, chosen);
    return enterInsertionMode(*window);
}

void editWindowClosing(SegmentWindow& window) {
    purgeWindow(&g_journal, idOf(window));
    // A Move from this window's diagram may go on in another window; the
    // mark of this window goes.
    if (g_pendingInsertion.active() && windowCount(g_segmentWindows, window.document) <= 1 &&
        g_pendingInsertion.source == window.document)
        quitInsertionMode();
    editCaptureLost(window);
}

void editDocumentClosing(DiagramDocument* document) {
    if (g_pendingInsertion.active() && g_pendingInsertion.source == document) quitInsertionMode();
    forgetDocument(&g_journal, document);
}

void editCleanup() {
    quitInsertionMode();
    clearUndoJournal(&g_journal);
}

void installEditRoutes() {
    setCommandRoute(CommandOwner::edit, editCommand);
    setCommandRoute(CommandOwner::undo, undoCommand);
    setCommandRoute(CommandOwner::clipboard, clipboardRoute);
    UndoWindowHooks hooks;
    hooks.viewOf = viewOfHook;
    hooks.showSegment = showSegmentHook;
    hooks.activate = activateHook;
    hooks.refresh = refreshHook;
    hooks.repaint = repaintHook;
    g_journal.hooks = hooks;
}
