// Helpers for the element stream tests: a byte builder for hand-made
// streams, a fixture with a current-format document, and a generator of
// random trees over every construct type the stream writes.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "core/element_stream.h"
#include "tests/core/tree_helpers.h"

namespace stream_test {

// Little-endian stream bytes. `width` is the integer width of i() and s().
struct Bytes {
    std::string data;
    int width = 4;

    Bytes& b(unsigned value) {
        data += static_cast<char>(value & 0xFF);
        return *this;
    }
    Bytes& i(std::int64_t value) {
        for (int k = 0; k < width; ++k)
            b(static_cast<unsigned>((static_cast<std::uint64_t>(value) >> (8 * k)) & 0xFF));
        return *this;
    }
    Bytes& u32(std::uint32_t value) {
        for (int k = 0; k < 4; ++k) b((value >> (8 * k)) & 0xFF);
        return *this;
    }
    Bytes& u16(unsigned value) { return b(value & 0xFF).b((value >> 8) & 0xFF); }
    // A string in the length style; null writes length 0.
    Bytes& s(const char* text) {
        if (!text) return i(0);
        const std::string t(text);
        i(static_cast<std::int64_t>(t.size()) + 1);
        data += t;
        return *this;
    }
    // An element header: marker, type, line number, both labels null.
    Bytes& element(int type, int line = 0) { return b(0xFF).i(type).i(line).s(nullptr).s(nullptr); }
    Bytes& end() { return b(0xF0); }
    // Level start and a block header with the given length (0 = unpatched).
    Bytes& levelStart(unsigned flags, std::uint32_t id) { return b(flags).u32(id); }
    Bytes& block(std::uint32_t length, std::uint32_t word2 = 0, std::uint32_t word1 = 0) {
        return u32(length).u32(word2).u32(word1);
    }
};

// As checkLinks, without recursion (for trees nested 8192 deep): "" when
// every head's up is its owner and every later node's up its predecessor.
std::string linkFault(ConstructNode* head);

// Sets the document's stream format.
void setFormat(DiagramDocument* doc, const char* edition, const char* version, std::uint16_t treeVersion);

class StreamTest : public tree_test::TreeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the sequence (expecting success) and returns the bytes.
    std::string write(ConstructNode* head, int intWidth = 4);
    // Reads a whole stream with `options`; `ok` receives read-ok.
    ConstructNode* read(const std::string& bytes, std::uint32_t options, bool* ok = nullptr);
    // Reads and expects the read to fail; frees what was built.
    void expectReadFails(const std::string& bytes, std::uint32_t options = kReadAllBodies);
};

// Random trees over every construct type the stream writes, with random
// labels, texts of every length class and payload records.
struct TreeGenerator {
    explicit TreeGenerator(std::uint32_t seed, DiagramDocument* doc) : rng(seed), doc(doc) {}

    std::mt19937 rng;
    DiagramDocument* doc;
    bool narrow = false;       // values for 2-byte integers: 0..65535 only
    bool blockWords = false;   // random block words in segments
    bool longTexts = true;     // now and then a text of 29988 characters
    bool invalidLines = true;  // now and then a segment with flag 0x20
    int levelPercent = 0;      // share of segments beyond their share of the types
    int budget = 120;          // elements still to create
    int maxDepth = 6;

    int pick(int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }
    std::int32_t number();
    char* text();
    ConstructNode* sequence(int depth, bool linesInvalid);
    ConstructNode* element(int depth, bool linesInvalid);

private:
    void payload(ConstructNode* node);
    HostOperand* operands(int depth);
};

}  // namespace stream_test
