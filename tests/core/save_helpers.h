// Helpers for the tests of saving, the temporary segment file and paging:
// a private folder per test, sample diagrams written as native files, the
// fixed save time, and a fixture that resets every hook it touches.
#pragma once

#include <cstdint>
#include <string>

#include "core/diagram_document.h"
#include "tests/core/tree_helpers.h"
#include "tests/support/host_recorder.h"

namespace save_test {

constexpr std::uint32_t kNow = 1714979289u;  // 2024-05-06 07:08:09 UTC
constexpr const char* kNowText = "2024-05-06 07:08:09";

// The top segment (id 1, head Text "main") whose body holds `segments`
// segments (ids 2, 3, ...): segment k has head Text "segment k" and a body
// of `lines` Texts "line k.j". Every body is loaded (0x01).
ConstructNode* buildDiagram(DiagramDocument* doc, int segments, int lines);

// The native file of `root` with the document's information, every body
// serialised (the tree is not changed).
std::string diagramFile(DiagramDocument* doc, ConstructNode* root);

// Whole files.
bool writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);
bool exists(const std::string& path);

// The data of the TREE chunk of a native file ("" when there is none).
std::string treeChunk(const std::string& file);

// Loads every segment body of the document's tree (ensureLoaded) and
// returns the dump of the whole tree: its content, independent of what was
// on disk before.
std::string loadedDump(DiagramDocument* doc);

// Sets the last-write time of `path` (as another program writing it would).
bool touch(const std::string& path, std::uint64_t fileTime);

// Every test gets a private folder (removed afterwards), the fixed save
// time, default settings and hooks, the real temporary-file step and no
// fault plan.
class SaveTest : public tree_test::TreeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path in the test's folder.
    std::string path(const std::string& name) const;
    // Writes a sample diagram (buildDiagram) to `name` and returns its path;
    // `bytes` receives the file.
    std::string sampleFile(const std::string& name, int segments, int lines, std::string* bytes = nullptr);
    // Opens `file` as the document (expecting success).
    void open(const std::string& file, bool writeProtect = false);
    // Loads the body of segment `index` (0 = the first inside the top
    // segment; the top segment is loaded first) and changes its first text;
    // marks the segment and the document changed. Returns the segment.
    ConstructNode* changeSegment(int index, const char* text);
    // The Level of segment `index` inside the loaded top segment.
    ConstructNode* segment(int index);

    HostRecorder host;
    std::string folder;
};

}  // namespace save_test
