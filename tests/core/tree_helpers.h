// Helpers for tests over the node tree: building small trees, describing
// them as text, checking the link invariants, an in-memory segment source,
// and a fixture that catches leaks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/segment_source.h"

namespace tree_test {

// A Text construct holding a copy of `text` (null: no text).
ConstructNode* makeText(const char* text);
// A construct of `type` with nothing in it.
ConstructNode* makeNode(ConstructType type);
// Links the nodes into one sequence (up = predecessor) and returns the head.
ConstructNode* chain(std::initializer_list<ConstructNode*> nodes);
// A Level with a LevelInfo (id given), empty head and body, and `flags`.
ConstructNode* makeLevel(std::uint32_t levelId, std::uint8_t flags, DiagramDocument* doc);

// The sequence from `head` as text:
//   Text"a"  ph(3,8) (placeholder: owner type, slot)  Level#7
//   If{8:[...] 2:[...] 3:[]}  (children by slot code; 4:disk for a body
//   that is not in memory)
std::string shape(const ConstructNode* head);

// Checks the link invariants of the sequence from `head` and everything
// below it: head->up == expectedUp, later nodes' up = predecessor, every
// child head's up = its owner. Empty string when sound, else the first
// fault found.
std::string checkLinks(const ConstructNode* head, const ConstructNode* expectedUp = nullptr);

// Reads every segment body of the tree from `root` that is on disk from
// the document's segment source, one at a time (a body read may hold
// further segments on disk, and loading frees an outline copy). Those that
// cannot be read stay on disk and make the answer false.
bool loadEverySegment(ConstructNode* root, DiagramDocument* doc);

// A segment source over memory: one body builder per block offset.
struct MemorySegmentSource {
    std::map<std::uint32_t, std::function<ConstructNode*()>> bodies;
    bool fail = false;  // report failure (after building the body as a partial read)
    int calls = 0;
    std::uint32_t lastOffset = 0;
    std::uint32_t lastOptions = 0;
    DiagramDocument* currentDuringRead = nullptr;
    SegmentSource source{this, &load};

    static int load(void* context, DiagramDocument* document, ConstructNode* level, std::uint32_t offset,
                    std::uint32_t options, ConstructNode** body);
};

// Everything a node tree holds that the element stream stores, as text:
// types, line numbers, labels, payload records, level ids, the stored
// segment flag 0x20, the block words, and every sequence in memory
// ("disk" for a body that is not). Two trees with equal dumps are equal for
// the stream.
std::string dump(const ConstructNode* head);

// A memory stream to write to; bytes() flushes and returns what was written.
class WriteStream {
public:
    WriteStream();
    ~WriteStream();
    WriteStream(const WriteStream&) = delete;
    WriteStream& operator=(const WriteStream&) = delete;
    BufferedFile* file() const { return file_; }
    std::string bytes();

private:
    BufferedFile* file_ = nullptr;
};

// A memory stream over `bytes` (a copy), exactly as long as they are.
class ReadStream {
public:
    explicit ReadStream(const std::string& bytes);
    ~ReadStream();
    ReadStream(const ReadStream&) = delete;
    ReadStream& operator=(const ReadStream&) = delete;
    BufferedFile* file() const { return file_; }

private:
    void* block_ = nullptr;
    BufferedFile* file_ = nullptr;
};

// A segment source over an element stream held in memory: bodies are read
// with readSegmentBody, blocks copied from the same stream.
struct StreamSegmentSource {
    explicit StreamSegmentSource(const std::string& bytes) : stream(bytes) {}
    ReadStream stream;
    bool noFile = false;  // acquireFile answers null
    int loads = 0;
    int acquired = 0;
    int released = 0;
    std::vector<ConstructNode*> pagedOut;
    SegmentSource source{this, &load, &acquire, &release, &pageOut};

    static int load(void* context, DiagramDocument* document, ConstructNode* level, std::uint32_t offset,
                    std::uint32_t options, ConstructNode** body);
    static BufferedFile* acquire(void* context, DiagramDocument* document, bool* openedHere);
    static int release(void* context, DiagramDocument* document, BufferedFile* file, bool openedHere);
    static void pageOut(void* context, DiagramDocument* document, ConstructNode* level);
};

// Gives every test a fresh current document and outcome, resets the hooks,
// and checks that no allocator block is left over at the end.
class TreeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    DiagramDocument doc{};
    long startBlocks = 0;
    DiagramDocument* previousDocument = nullptr;
};

}  // namespace tree_test
