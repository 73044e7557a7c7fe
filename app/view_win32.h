// The diagram view on Win32: segment windows (MDI children of the class
// "kivchild"), the View and Window commands, the overview and the
// structure list. The state behind them is portable (view/segment_window.h,
// view/structure_list.h); these files turn window messages into calls of
// it and draw through the GDI canvas.
#pragma once

#include <windows.h>

#include <optional>

#include "app/documents.h"
#include "app/frame_win32.h"
#include "view/gdi_win32.h"
#include "view/segment_window.h"

// Every segment window of every document; the current one is the active
// MDI child.
extern WindowRing g_segmentWindows;

// The window record of a segment window (window extra bytes hold it).
SegmentWindow* segmentWindowOf(HWND window);
OpenDiagram* diagramOf(const SegmentWindow& window);
// The context of a diagram for what needs no measuring (scrolling, hit
// tests, selection, a construct's box): geometry is read, never computed.
ViewContext plainContext(OpenDiagram* diagram);
// The active segment window's record (null when there is none).
SegmentWindow* currentSegmentWindow();

// Layout and painting of a diagram for the screen: the document's screen
// font on `dc` (the screen when null), measured there.
class ScreenView {
public:
    explicit ScreenView(OpenDiagram* diagram, HDC dc = nullptr, OutputTarget target = OutputTarget::Screen);
    ~ScreenView();
    ScreenView(const ScreenView&) = delete;
    ScreenView& operator=(const ScreenView&) = delete;
    const ViewContext& context() const { return ctx_; }
    HDC dc() const { return dc_; }
    HFONT font() const { return font_; }

private:
    HDC dc_;
    bool ownDc_;
    HFONT font_;
    std::optional<GdiTextMetrics> metrics_;
    ViewContext ctx_{};
};

// A new segment window on `diagram` showing its top segment (the diagram
// is discarded when the window cannot be made: the window owns it from
// then on), or, with `like`, on like's diagram and segment.
HWND createSegmentWindow(OpenDiagram* diagram, const SegmentWindow* like = nullptr);
// The window shows `diagram` from now on (its top segment); the diagram it
// showed goes when no other window shows it.
void showDiagramIn(HWND window, OpenDiagram* diagram);
// After the tree of `diagram` changed or was replaced: every window of it
// lays out again and repaints; `replaced` - the tree is new: the windows
// go back to its top segment.
void diagramChanged(OpenDiagram* diagram, bool replaced);
// The screen font or the configuration changed: every diagram is measured
// and laid out again.
void displayChanged(unsigned invalidateFlags);
// Repaints the window's part of the selection (after it changed) and moves
// its caret.
void selectionChanged(SegmentWindow& window, const Rect& before);
// Applies a scroll move: the window's contents move, the uncovered strip
// is painted, the scroll bars follow.
void applyScroll(SegmentWindow& window, ScrollMove move);
// The scroll bars from the window's position and content.
void updateScrollBars(SegmentWindow& window);
// The caret blink time as it was before a segment window doubled it.
void restoreCaretBlinkTime();

// The route of CommandOwner::view (view_commands_win32.cpp).
bool viewCommand(const CommandRequest& request);
// The route of CommandOwner::layout (layout_win32.cpp): Layout..., Screen
// font..., Printer font...
bool layoutCommand(const CommandRequest& request);
// Tool windows that follow the current window (overview_win32.cpp,
// structure_list_win32.cpp).
void toggleOverview();
void refreshOverview();
void toggleStructureList();
// The structure list shows the current window's diagram: built anew when that
// changed, or with `force` (its tree changed).
void refreshStructureList(bool force = false);
// Shows the construct in its segment (the current window moves there, or
// a new window per "SegInSepWnd") and selects it.
bool showConstruct(ConstructNode* node, ConstructNode* segment = nullptr);
