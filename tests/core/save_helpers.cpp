#include "tests/core/save_helpers.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/file_descriptor.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "platform/platform.h"

namespace save_test {

namespace fs = std::filesystem;

namespace {

ConstructNode* text(const std::string& t) {
    return tree_test::makeText(t.c_str());
}

std::uint32_t fixedNow() {
    return kNow;
}

void fixedText(std::uint32_t, char* out, int size) {
    std::snprintf(out, static_cast<std::size_t>(size), "%s", kNowText);
}

int loadEverything(ConstructNode* node, void* context) {
    if (node->type == ConstructType::Level && !(segmentFlags(node) & kSegLoaded))
        ensureLoaded(node, static_cast<DiagramDocument*>(context));
    return 1;
}

}  // namespace

ConstructNode* buildDiagram(DiagramDocument* doc, int segments, int lines) {
    ConstructNode* top = tree_test::makeLevel(1, kSegLoaded, doc);
    setChildAt(text("main"), top, Slot::Head);
    ConstructNode* last = nullptr;
    for (int k = 0; k < segments; ++k) {
        ConstructNode* level = tree_test::makeLevel(static_cast<std::uint32_t>(k + 2), kSegLoaded, doc);
        setChildAt(text("segment " + std::to_string(k)), level, Slot::Head);
        ConstructNode* bodyLast = nullptr;
        for (int j = 0; j < lines; ++j) {
            ConstructNode* line = text("line " + std::to_string(k) + "." + std::to_string(j));
            if (bodyLast) {
                bodyLast->next = line;
                line->up = bodyLast;
            } else {
                setChildAt(line, level, Slot::Body);
            }
            bodyLast = line;
        }
        if (last) {
            last->next = level;
            level->up = last;
        } else {
            setChildAt(level, top, Slot::Body);
        }
        last = level;
    }
    return top;
}

std::string diagramFile(DiagramDocument* doc, ConstructNode* root) {
    tree_test::WriteStream out;
    const std::uint8_t mode = doc->streamMode;
    doc->streamMode = kStreamModeKeepTree;
    g_outcome.writeOk = true;
    const bool ok = writeDiagram(doc, root, out.file(), false) == 1;
    doc->streamMode = mode;
    return ok ? out.bytes() : std::string();
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

std::string readBytes(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
    return out;
}

bool exists(const std::string& path) {
    return platform::fileExists(path.c_str());
}

std::string treeChunk(const std::string& file) {
    std::size_t at = 8;
    while (at + 10 <= file.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(file.data() + at);
        const std::uint32_t length = p[6] | p[7] << 8 | p[8] << 16 | static_cast<std::uint32_t>(p[9]) << 24;
        if (std::memcmp(p, "TREE", 4) == 0) return file.substr(at + 10, length);
        at += 10 + length;
    }
    return std::string();
}

std::string loadedDump(DiagramDocument* doc) {
    forEachNode(doc->root, loadEverything, doc);
    return tree_test::dump(doc->root);
}

bool touch(const std::string& path, std::uint64_t fileTime) {
    platform::OpenInfo info{};
    const platform::FileHandle h = platform::openFile(path.c_str(), &info, platform::kOpenReadWrite);
    if (h == platform::kInvalidFile) return false;
    const bool ok = platform::setFileTime(h, fileTime);
    platform::closeFile(h);
    return ok;
}

// ---------------------------------------------------------------------------

void SaveTest::SetUp() {
    TreeTest::SetUp();
    platform::setFaultPlan({});
    setTemporaryFileStep(temporaryFileStep);
    setSegmentShownHook(nullptr);
    setFileSettings({});
    setFileHooks({});
    SavingHooks hooks;
    hooks.now = fixedNow;
    hooks.formatSaveTime = fixedText;
    setSavingHooks(hooks);
    char name[platform::kMaxPath];
    ASSERT_TRUE(platform::tempFileName("kst", name));
    platform::deleteFile(name);
    folder = std::string(name) + ".d";
    std::error_code error;
    ASSERT_TRUE(fs::create_directory(folder, error)) << folder;
}

void SaveTest::TearDown() {
    platform::setFaultPlan({});
    closeDocument(&doc);
    setSavingHooks({});
    setFileHooks({});
    setFileSettings({});
    setSegmentShownHook(nullptr);
    g_hostState = HostState{};
    std::error_code error;
    fs::remove_all(folder, error);
    TreeTest::TearDown();
}

std::string SaveTest::path(const std::string& name) const {
    return (fs::path(folder) / name).string();
}

std::string SaveTest::sampleFile(const std::string& name, int segments, int lines, std::string* bytes) {
    DiagramDocument scratch{};
    setCurrentStreamFormat(&scratch);
    ConstructNode* root = buildDiagram(&scratch, segments, lines);
    scratch.lastLevelId = static_cast<std::uint32_t>(segments + 1);
    const std::string file = diagramFile(&scratch, root);
    freeSequence(root);
    const std::string where = path(name);
    EXPECT_TRUE(writeBytes(where, file));
    if (bytes) *bytes = file;
    return where;
}

void SaveTest::open(const std::string& file, bool writeProtect) {
    ASSERT_EQ(openDocument(&doc, file.c_str(), kReadKeepLineNumbers, writeProtect), 1) << host.lastText();
}

ConstructNode* SaveTest::segment(int index) {
    if (!ensureLoaded(doc.root, &doc)) return nullptr;
    ConstructNode* level = levelInfoOf(doc.root)->body;
    for (int i = 0; level && i < index; ++i) level = level->next;
    return level;
}

ConstructNode* SaveTest::changeSegment(int index, const char* newText) {
    ConstructNode* level = segment(index);
    if (!level || !ensureLoaded(level, &doc)) return nullptr;
    ConstructNode* first = levelInfoOf(level)->body;
    setText(first, memStrDup(newText));
    setSegmentFlags(level, static_cast<std::uint8_t>(segmentFlags(level) & ~kSegFileCurrent));
    doc.modified = true;
    return level;
}

}  // namespace save_test
