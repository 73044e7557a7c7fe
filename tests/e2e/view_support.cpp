#include "tests/e2e/view_support.h"

#include "tests/e2e/e2e_support.h"

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "platform/platform.h"
#include "view/painter.h"

namespace e2e {

ConstructNode* statement(const char* text, int line) {
    ConstructNode* n = newNode(ConstructType::Text);
    setText(n, memStrDup(text));
    n->lineNumber = line;
    return n;
}

ConstructNode* sequence(std::initializer_list<ConstructNode*> nodes) {
    ConstructNode* head = nullptr;
    ConstructNode* last = nullptr;
    for (ConstructNode* n : nodes) {
        if (last) {
            last->next = n;
            n->up = last;
        } else {
            head = n;
        }
        last = n;
    }
    return head;
}

ConstructNode* segment(DiagramDocument& doc, const char* title, ConstructNode* body, int line) {
    ConstructNode* level = newNode(ConstructType::Level);
    setPartPtr(level, 3, newLevelInfo(0, &doc));
    setSegmentFlags(level, kSegLoaded);
    setChildAt(statement(title), level, Slot::Head);
    if (body) setChildAt(body, level, Slot::Body);
    level->lineNumber = line;
    return level;
}

bool writeDiagram(DiagramDocument& doc, ConstructNode* root, const std::string& path) {
    setCurrentStreamFormat(&doc);
    doc.streamMode = kStreamModeKeepTree;
    platform::OpenInfo info{};
    BufferedFile* f =
        bfile::openFile(path.c_str(), &info, platform::kOpenReadWrite | platform::kOpenCreate, 0);
    bool ok = f && ::writeDiagram(&doc, root, f, false) == 1;
    if (f && bfile::close(f) != 0) ok = false;
    freeSequence(root);
    return ok;
}

bool writeNumberedDiagram(const std::string& path) {
    DiagramDocument doc{};
    ConstructNode* top = segment(doc, "numbered", nullptr);
    ConstructNode* s2 = segment(doc, "S2", nullptr, 2);
    ConstructNode* s3 = segment(doc, "S3", sequence({statement("c", 5), statement("d", 6)}), 4);
    ConstructNode* s4 = segment(doc, "S4", statement("i", 12), 11);
    setChildAt(sequence({statement("a", 3), s3, statement("f", 8)}), s2, Slot::Body);
    setChildAt(sequence({statement("t1", 1), s2, statement("g", 10), s4}), top, Slot::Body);
    return writeDiagram(doc, top, path);
}

TestView::TestView(const std::string& path) {
    g_currentDocument = &doc_;
    initLanguageConfig(config_);
    initDisplaySettings(display_);
    if (openDocument(&doc_, path.c_str()) != 1) return;
    display_ = displayForDocument(display_, doc_.display);
    screen_ = GetDC(nullptr);
    font_ = createViewFont(screen_, display_.screenFont);
    metrics_.emplace(screen_, font_);
    ctx_.state = state_.get();
    ctx_.display = &display_;
    ctx_.config = &config_;
    ctx_.metrics = &*metrics_;
    ok_ = true;
}

TestView::~TestView() {
    metrics_.reset();
    if (font_) DeleteObject(font_);
    if (screen_) ReleaseDC(nullptr, screen_);
    closeDocument(&doc_);
    g_currentDocument = nullptr;
}

ConstructNode* TestView::level(std::uint32_t id) {
    // Breadth first through the bodies, each loaded.
    std::vector<ConstructNode*> levels{doc_.root};
    for (std::size_t i = 0; i < levels.size(); ++i) {
        ConstructNode* l = levels[i];
        if (!ensureLoaded(l, &doc_)) continue;
        if (levelInfoOf(l)->levelId == id) {
            layoutSegment(ctx_, l);
            return l;
        }
        for (ConstructNode* n = levelInfoOf(l)->body; n; n = n->next)
            if (n->type == ConstructType::Level) levels.push_back(n);
    }
    return nullptr;
}

RecordingCanvas TestView::paint(ConstructNode* level) {
    ensureLoaded(level, &doc_);
    layoutSegment(ctx_, level);
    const Extent size = segmentSize(level, ctx_.view);
    RecordingCanvas canvas(Rect{0, 0, size.width, size.height});
    paintSegment(ctx_, canvas, level);
    return canvas;
}

std::int32_t TestView::textWidth(const std::string& text) const {
    return metrics_ ? metrics_->textWidth(text.c_str(), static_cast<int>(text.size())) : 0;
}

std::string lastLogValue(const std::string& log, const std::string& prefix, std::size_t from) {
    std::string value;
    for (std::size_t at = log.find(prefix, from); at != std::string::npos; at = log.find(prefix, at + 1)) {
        const std::size_t start = at + prefix.size();
        const std::size_t end = log.find_first_of("\r\n", start);
        value = log.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return value;
}

bool exportPicture(Editor& editor, const std::string& path) {
    const std::size_t from = editor.log().size();
    editor.command(CMD_FILE_EXPORT_PICTURE);
    HWND dialog = editor.findDialog(10000);
    if (!dialog) return false;
    SetDlgItemTextA(dialog, 0x480, path.c_str());
    SetDlgItemTextA(dialog, 0x47c, path.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return editor.waitFor("picture written", 10000, from);
}

}  // namespace e2e
