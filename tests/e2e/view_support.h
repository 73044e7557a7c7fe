// Diagrams for the view's process-level tests, and the layout of a diagram
// computed in the test's own process: the same file, display settings and
// screen font the editor uses, measured with GDI on the same screen, so
// that the test knows where the editor draws each construct.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "config/language_config.h"
#include "core/diagram_document.h"
#include "view/gdi_win32.h"
#include "view/recording_canvas.h"
#include "view/segment_window.h"

namespace e2e {

// A Text construct with `line` as its line number.
ConstructNode* statement(const char* text, int line = 0);
// The nodes as one sequence.
ConstructNode* sequence(std::initializer_list<ConstructNode*> nodes);
// A segment (the next level id of `doc`) headed by `title`.
ConstructNode* segment(DiagramDocument& doc, const char* title, ConstructNode* body, int line = 0);
// Writes the tree (freed afterwards) as a native diagram file.
bool writeDiagram(DiagramDocument& doc, ConstructNode* root, const std::string& path);
// Numbered segments inside segments, ids in the order of the lines:
//   1 t1, 2 S2 { 3 a, 4 S3 { 5 c, 6 d }, 8 f }, 10 g, 11 S4 { 12 i }
// (segment ids: top 1, S2 2, S3 3, S4 4).
bool writeNumberedDiagram(const std::string& path);

// A diagram file laid out for the screen in this process.
class TestView {
public:
    explicit TestView(const std::string& path);
    ~TestView();
    TestView(const TestView&) = delete;
    TestView& operator=(const TestView&) = delete;

    bool ok() const { return ok_; }
    DiagramDocument& document() { return doc_; }
    const ViewContext& context() const { return ctx_; }
    const DisplaySettings& display() const { return display_; }
    // The segment with `id` (loaded), laid out.
    ConstructNode* level(std::uint32_t id);
    // Its drawing, as the painter makes it (laid out first).
    RecordingCanvas paint(ConstructNode* level);
    std::int32_t textWidth(const std::string& text) const;

private:
    DiagramDocument doc_{};
    LanguageConfig config_{};
    DisplaySettings display_{};
    std::unique_ptr<ViewState> state_ = std::make_unique<ViewState>();
    HDC screen_ = nullptr;
    HFONT font_ = nullptr;
    std::optional<GdiTextMetrics> metrics_;
    ViewContext ctx_{};
    bool ok_ = false;
};

struct Editor;
// Export picture of the active window into `path` (its type from the
// extension), through the editor's save dialog; true once it is written.
bool exportPicture(Editor& editor, const std::string& path);

// The last value of `prefix` in the log after `from` (the text up to the
// line's end), or "" when none.
std::string lastLogValue(const std::string& log, const std::string& prefix, std::size_t from = 0);

}  // namespace e2e
