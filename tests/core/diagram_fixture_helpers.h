// Hand-built native diagram files for the loader tests and the fuzz seeds:
// a byte builder for headers, chunks, element records and segment blocks in
// every supported layout, the sample diagrams, and temporary files and
// memory blocks holding them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/diagram_document.h"
#include "platform/platform.h"

namespace diagram_test {

// Little-endian bytes with back-patched chunk and block lengths.
struct FileBytes {
    std::string data;
    int width = 4;            // integer width of the element stream and chunk data
    bool oldStrings = false;  // marker-style strings (older edition below "2.5")

    FileBytes& b(unsigned value) {
        data += static_cast<char>(value & 0xFF);
        return *this;
    }
    FileBytes& raw(const std::string& bytes) {
        data += bytes;
        return *this;
    }
    FileBytes& u16(unsigned value) { return b(value).b(value >> 8); }
    FileBytes& u32(std::uint32_t value) { return u16(value & 0xFFFF).u16(value >> 16); }
    // An integer with `width` bytes.
    FileBytes& i(std::int64_t value);
    // A string in the layout's style; null writes the null string.
    FileBytes& s(const char* text);
    // Three characters and a NUL (a shorter code is filled with NULs).
    FileBytes& code(const char* text);
    // A fixed field of `size` bytes holding `text`.
    FileBytes& field(const char* text, std::size_t size);

    // Chunks and segment blocks: begin returns the offset, end patches the
    // length.
    std::size_t beginChunk(const char* tag, unsigned version);
    FileBytes& endChunk(std::size_t at);
    std::size_t beginBlock(std::uint32_t word2 = 0, std::uint32_t word1 = 0);
    FileBytes& endBlock(std::size_t at);

    // A font record of record version 2 or 3, built field by field.
    FileBytes& font(const FontRecord& record, int version);
};

// Two distinct font records and display options using them.
FontRecord sampleFont(int which);
DisplayOptions sampleDisplay();

// How the sample tree is laid out.
struct Layout {
    int treeVersion;
    bool modern;  // format "3.0" or higher
};

// The sample tree: a Text "first", an If with left label "L1" (condition
// Text "cond", then-branch Text "yes", empty else-branch) and a Level with
// id 7 (head Text "segment", body Text "inside", block words 11 and 22).
// With `topSegment` all of it is the body of a top segment with id 1 and
// head Text "main", as this edition writes diagrams.
void sampleTree(FileBytes& out, const Layout& layout, bool topSegment = false);
// What the sample sequence reads as (tree_test::shape) with the body
// loaded; `levelId` is the id the inner Level gets.
std::string sampleShape(std::uint32_t levelId);

// The fixture files. Each returns the complete file contents.
std::string format15();        // "VQ" "1.5": no short info, tree version 1
std::string format23();        // "2.3" without edition code: short info, old-style strings
std::string format24();        // "VQ" "2.4": short info and save time
std::string format30Tree5();   // "VRD" "3.0": 2-byte chunks, FOPT, OLEL, TREE version 5
std::string format63Tree16();  // "VRD" "6.3": every chunk, TREE version 16
std::string unknownChunk();    // "6.3" with a chunk XTRA between KINF and TREE
std::string tree17Alone();     // "6.3" with a TREE chunk of version 17 only
std::string endiOnly();        // "6.3" with an ENDI chunk and no TREE
std::string siblingEdition();  // a sibling edition's code ("VRC") with a valid tree
std::string transferBlank();   // a text starting "Korrin " (keyword and a blank)
std::string transferFile();    // a text starting "Korrin:"

// Every fixture with a file name (for the fuzz seeds).
std::vector<std::pair<std::string, std::string>> allFixtures();

// The contents of fixture 6.3 as the writer must produce them: the document
// information of format63Tree16.
constexpr const char* kShortInfo63 = "short info 6.3";
constexpr const char* kSaveText63 = "2024-05-06 07:08:09";
constexpr std::uint32_t kSaveTime63 = 1714979289u;
constexpr std::uint32_t kLastLevelId63 = 40;

// A file in the temporary directory holding `bytes`; deleted with the
// object.
class TempFile {
public:
    explicit TempFile(const std::string& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* path() const { return path_; }
    bool ok() const { return ok_; }

private:
    char path_[platform::kMaxPath] = {};
    bool ok_ = false;
};

// A memory block with the 8-byte size header holding `bytes`; freed with
// the object.
class MemoryBlock {
public:
    explicit MemoryBlock(const std::string& bytes);
    ~MemoryBlock();
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;
    platform::MemHandle handle() const { return block_; }

private:
    platform::MemHandle block_ = nullptr;
};

// Reads a whole file (empty when it cannot be read).
std::string readWholeFile(const char* path);

}  // namespace diagram_test
