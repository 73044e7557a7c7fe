#include "tests/core/diagram_fixture_helpers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace diagram_test {

// ---------------------------------------------------------------------------
// Builder

FileBytes& FileBytes::i(std::int64_t value) {
    for (int k = 0; k < width; ++k)
        b(static_cast<unsigned>((static_cast<std::uint64_t>(value) >> (8 * k)) & 0xFF));
    return *this;
}

FileBytes& FileBytes::s(const char* text) {
    if (oldStrings) {
        if (!text) return b(0xF0);
        b(0xFF);
        data += text;
        return b(0);
    }
    if (!text) return i(0);
    i(static_cast<std::int64_t>(std::strlen(text)) + 1);
    data += text;
    return *this;
}

FileBytes& FileBytes::code(const char* text) {
    return field(text, 4);
}

FileBytes& FileBytes::field(const char* text, std::size_t size) {
    std::string f(size, '\0');
    const std::size_t n = std::min(std::strlen(text), size);
    std::memcpy(f.data(), text, n);
    data += f;
    return *this;
}

std::size_t FileBytes::beginChunk(const char* tag, unsigned version) {
    const std::size_t at = data.size();
    data.append(tag, 4);
    u16(version).u32(0);
    return at;
}

FileBytes& FileBytes::endChunk(std::size_t at) {
    const auto length = static_cast<std::uint32_t>(data.size() - at - 10);
    for (int k = 0; k < 4; ++k) data[at + 6 + k] = static_cast<char>((length >> (8 * k)) & 0xFF);
    return *this;
}

std::size_t FileBytes::beginBlock(std::uint32_t word2, std::uint32_t word1) {
    const std::size_t at = data.size();
    u32(0).u32(word2).u32(word1);
    return at;
}

FileBytes& FileBytes::endBlock(std::size_t at) {
    const auto length = static_cast<std::uint32_t>(data.size() - at);
    for (int k = 0; k < 4; ++k) data[at + k] = static_cast<char>((length >> (8 * k)) & 0xFF);
    return *this;
}

FileBytes& FileBytes::font(const FontRecord& r, int version) {
    const LogFontRecord& lf = r.logFont;
    i(lf.height).i(lf.width).i(lf.escapement).i(lf.orientation).i(lf.weight);
    b(lf.italic).b(lf.underline).b(lf.strikeOut).b(lf.charSet);
    b(lf.outPrecision).b(lf.clipPrecision).b(lf.quality).b(lf.pitchAndFamily);
    field(lf.faceName, 32);
    u32(0);
    field(r.name1, 32).field(r.name2, 32);
    i(r.value1).b(r.shortValue[0]).b(r.shortValue[1]);
    for (std::int32_t v : r.values2) i(v);
    b(r.byteValue);
    for (int k = 0; k < (version == 3 ? 5 : 3); ++k) i(r.values3[k]);
    return *this;
}

FontRecord sampleFont(int which) {
    FontRecord f{};
    LogFontRecord& lf = f.logFont;
    lf.height = which ? -17 : -13;
    lf.width = which ? 7 : 0;
    lf.escapement = 0;
    lf.orientation = which ? 900 : 0;
    lf.weight = which ? 700 : 400;
    lf.italic = static_cast<std::uint8_t>(which);
    lf.underline = 1;
    lf.charSet = which ? 255 : 0;
    lf.outPrecision = 3;
    lf.clipPrecision = 2;
    lf.quality = 1;
    lf.pitchAndFamily = 0x31;
    std::snprintf(lf.faceName, sizeof lf.faceName, "%s", which ? "Terminal" : "Courier New");
    std::snprintf(f.name1, sizeof f.name1, "%s", which ? "Bold" : "Regular");
    std::snprintf(f.name2, sizeof f.name2, "%s", which ? "Terminal Bold" : "Courier New Regular");
    f.value1 = which ? 120 : 100;
    f.shortValue[0] = 0x12;
    f.shortValue[1] = static_cast<std::uint8_t>(which ? 0x80 : 0x34);
    f.values2[0] = -1;
    f.values2[1] = 2;
    f.values2[2] = which ? 300 : 3;
    f.byteValue = 5;
    const std::int32_t tail[5] = {6, 7, -8, 9, which ? -1000 : 10};
    std::memcpy(f.values3, tail, sizeof tail);
    return f;
}

DisplayOptions sampleDisplay() {
    DisplayOptions d{};
    d.ifLayout = 1;
    d.showLevelNumbers = true;
    d.showLineNumbers = false;
    d.showLabels = true;
    d.showMarks = false;
    for (int k = 0; k < kColourCount; ++k) d.colours[k] = 0x00010203u * static_cast<std::uint32_t>(k + 1);
    d.screenFont = sampleFont(0);
    d.printerFont = sampleFont(1);
    return d;
}

// ---------------------------------------------------------------------------
// The sample tree

namespace {

void element(FileBytes& out, const Layout& layout, int type, int line, const char* leftLabel) {
    out.b(0xFF).i(type).i(line);
    if (layout.treeVersion > 14) {
        out.s(leftLabel).s(nullptr);
    } else if (type == 3 || type == 4 || type == 5 || type == 7 || type == 8 || type == 13 || type == 16 ||
               type == 17) {
        out.s(leftLabel);
    }
}

void text(FileBytes& out, const Layout& layout, const char* value, int line) {
    element(out, layout, 15, line, nullptr);
    out.s(value);
}

}  // namespace

void sampleTree(FileBytes& out, const Layout& layout, bool topSegment) {
    std::size_t topBlock = 0;
    if (topSegment) {
        element(out, layout, 14, 0, nullptr);
        if (layout.modern && layout.treeVersion >= 3) out.b(0);
        if (layout.modern && layout.treeVersion >= 6) out.u32(1);
        text(out, layout, "main", 1);
        out.b(0xF0);
        topBlock = out.beginBlock();
    }
    text(out, layout, "first", 10);

    element(out, layout, 3, 20, "L1");
    text(out, layout, "cond", 21);
    out.b(0xF0);
    text(out, layout, "yes", 22);
    out.b(0xF0);
    out.b(0xF0);

    element(out, layout, 14, 30, nullptr);
    if (layout.modern && layout.treeVersion >= 3) out.b(0);
    if (layout.modern && layout.treeVersion >= 6) out.u32(7);
    text(out, layout, "segment", 31);
    out.b(0xF0);
    const std::size_t block = out.beginBlock(22, 11);
    text(out, layout, "inside", 32);
    out.b(0xF0);
    out.endBlock(block);

    out.b(0xF0);
    if (topSegment) {
        out.endBlock(topBlock);
        out.b(0xF0);
    }
}

std::string sampleShape(std::uint32_t levelId) {
    return "Text\"first\" If{8:[Text\"cond\"] 2:[Text\"yes\"] 3:[]} Level#" + std::to_string(levelId) +
           "{9:[Text\"segment\"] 4:[Text\"inside\"]}";
}

// ---------------------------------------------------------------------------
// Fixtures

std::string format15() {
    FileBytes f;
    f.width = 2;
    f.oldStrings = true;
    f.code("VQ").code("1.5");
    sampleTree(f, {1, false});
    return f.data;
}

std::string format23() {
    FileBytes f;
    f.width = 2;
    f.oldStrings = true;
    f.code("2.3");
    f.s("info 2.3");
    sampleTree(f, {1, false});
    return f.data;
}

std::string format24() {
    FileBytes f;
    f.width = 2;
    f.oldStrings = true;
    f.code("VQ").code("2.4");
    f.s("info 2.4").s("saved 2.4").u32(123456789u);
    sampleTree(f, {1, false});
    return f.data;
}

std::string format30Tree5() {
    FileBytes f;
    f.width = 2;
    f.code("VRD").code("3.0");
    std::size_t c = f.beginChunk("KINF", 1);
    f.s("info 3.0").endChunk(c);
    c = f.beginChunk("DATE", 1);  // the older epoch
    f.s("saved 3.0").u32(0x80000000u).endChunk(c);
    c = f.beginChunk("FOPT", 1);
    std::size_t sub = f.beginChunk("IFDA", 1);
    f.b(1).endChunk(sub);
    sub = f.beginChunk("LINN", 1);
    f.b(7).endChunk(sub);
    sub = f.beginChunk("COLR", 1);
    for (int k = 0; k < 23; ++k) f.u32(0x0A0B0C00u + static_cast<std::uint32_t>(k));
    f.endChunk(sub);
    sub = f.beginChunk("SFON", 2);
    f.font(sampleFont(0), 2).endChunk(sub);
    sub = f.beginChunk("PFON", 3);
    f.font(sampleFont(1), 3).endChunk(sub);
    f.endChunk(c);
    c = f.beginChunk("OLEL", 2);
    f.u32(3).endChunk(c);
    c = f.beginChunk("TREE", 5);
    sampleTree(f, {5, true});
    f.endChunk(c);
    return f.data;
}

std::string format63Tree16() {
    FileBytes f;
    f.code("VRD").code("6.3");
    std::size_t c = f.beginChunk("KINF", 1);
    f.s(kShortInfo63).endChunk(c);
    c = f.beginChunk("DATE", 2);
    f.s(kSaveText63).u32(kSaveTime63).endChunk(c);
    c = f.beginChunk("PVER", 1);
    f.s("Korrin(VRD) V6.32").endChunk(c);
    c = f.beginChunk("ENDI", 1);
    f.endChunk(c);
    const DisplayOptions d = sampleDisplay();
    c = f.beginChunk("FOPT", 1);
    const char* tags[5] = {"IFDA", "LEVN", "LINN", "LABL", "MARK"};
    const bool values[5] = {d.ifLayout != 0, d.showLevelNumbers, d.showLineNumbers, d.showLabels,
                            d.showMarks};
    for (int k = 0; k < 5; ++k) {
        std::size_t sub = f.beginChunk(tags[k], 1);
        f.b(values[k] ? 1 : 0).endChunk(sub);
    }
    std::size_t sub = f.beginChunk("COLR", 1);
    for (std::uint32_t colour : d.colours) f.u32(colour);
    f.endChunk(sub);
    sub = f.beginChunk("SFON", 3);
    f.font(d.screenFont, 3).endChunk(sub);
    sub = f.beginChunk("PFON", 3);
    f.font(d.printerFont, 3).endChunk(sub);
    f.endChunk(c);
    c = f.beginChunk("OLEL", 2);
    f.u32(kLastLevelId63).endChunk(c);
    c = f.beginChunk("TREE", 16);
    sampleTree(f, {16, true}, true);
    f.endChunk(c);
    return f.data;
}

std::string unknownChunk() {
    FileBytes f;
    f.code("VRD").code("6.3");
    std::size_t c = f.beginChunk("KINF", 1);
    f.s("before the unknown chunk").endChunk(c);
    // Its data looks like a TREE chunk of an unsupported version and a KINF:
    // read, either would show.
    c = f.beginChunk("XTRA", 4);
    const std::size_t fake = f.beginChunk("TREE", 99);
    f.b(0xF0).endChunk(fake);
    const std::size_t fakeInfo = f.beginChunk("KINF", 1);
    f.s("from inside XTRA").endChunk(fakeInfo);
    f.endChunk(c);
    c = f.beginChunk("TREE", 16);
    sampleTree(f, {16, true}, true);
    f.endChunk(c);
    return f.data;
}

std::string tree17Alone() {
    FileBytes f;
    f.code("VRD").code("6.3");
    const std::size_t c = f.beginChunk("TREE", 17);
    f.raw(std::string("\xFF\x63\x00\x00\x00 new things", 16)).endChunk(c);
    return f.data;
}

std::string endiOnly() {
    FileBytes f;
    f.code("VRD").code("6.3");
    const std::size_t c = f.beginChunk("ENDI", 1);
    f.endChunk(c);
    return f.data;
}

std::string siblingEdition() {
    FileBytes f;
    f.code("VRC").code("6.3");
    const std::size_t c = f.beginChunk("TREE", 16);
    sampleTree(f, {16, true}, true);
    f.endChunk(c);
    return f.data;
}

std::string transferBlank() {
    return "Korrin Diagram\r\nLevel\r\nEndLevel\r\n";
}

std::string transferFile() {
    return "Korrin:Diagram\r\nOptions\r\nEndOptions\r\n";
}

std::vector<std::pair<std::string, std::string>> allFixtures() {
    return {
        {"format15.vrd", format15()},
        {"format23.vrd", format23()},
        {"format24.vrd", format24()},
        {"format30_tree5.vrd", format30Tree5()},
        {"format63_tree16.vrd", format63Tree16()},
        {"unknown_chunk.vrd", unknownChunk()},
        {"tree17_alone.vrd", tree17Alone()},
        {"endi_only.vrd", endiOnly()},
        {"sibling_edition.vrd", siblingEdition()},
        {"transfer_blank.txt", transferBlank()},
        {"transfer.etf", transferFile()},
    };
}

// ---------------------------------------------------------------------------
// Files and blocks

TempFile::TempFile(const std::string& bytes) {
    if (!platform::tempFileName("vrd", path_)) return;
    std::FILE* f = std::fopen(path_, "wb");
    if (!f) return;
    ok_ = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0) ok_ = false;
}

TempFile::~TempFile() {
    if (path_[0]) platform::deleteFile(path_);
}

MemoryBlock::MemoryBlock(const std::string& bytes) {
    const auto total = static_cast<std::uint32_t>(bytes.size() + 8);
    block_ = platform::memBlockAlloc(total);
    if (!block_) return;
    auto* p = static_cast<unsigned char*>(platform::memBlockLock(block_));
    std::memcpy(p, &total, 4);
    std::memcpy(p + 4, &total, 4);
    if (!bytes.empty()) std::memcpy(p + 8, bytes.data(), bytes.size());
    platform::memBlockUnlock(block_);
}

MemoryBlock::~MemoryBlock() {
    if (block_) platform::memBlockFree(block_);
}

std::string readWholeFile(const char* path) {
    std::string out;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
    return out;
}

}  // namespace diagram_test
