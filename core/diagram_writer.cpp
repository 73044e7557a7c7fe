// Writing the native diagram file format.
#include "core/diagram_writer.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "core/buffered_file.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "platform/platform.h"
#include "resources/strings.h"

namespace {

char g_fileVersionInfo[kMaxProgramVersionText + 1] = {};

int writeFailed() {
    g_outcome.writeOk = false;
    return 0;
}

bool writable(BufferedFile* file) {
    return file && g_outcome.writeOk && !g_outcome.jobCancelled;
}

bool putBytes(BufferedFile* f, const void* bytes, std::int32_t count) {
    return bfile::write(f, bytes, count) == 0;
}

bool putU8(BufferedFile* f, std::uint8_t value) {
    return putBytes(f, &value, 1);
}

bool putLe(BufferedFile* f, std::uint32_t value, int width) {
    unsigned char bytes[4];
    for (int i = 0; i < width; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return putBytes(f, bytes, width);
}

bool putU32(BufferedFile* f, std::uint32_t value) {
    return putLe(f, value, 4);
}

// A signed value with the integer width of the data.
bool putInt(BufferedFile* f, std::int32_t value, int width) {
    return putLe(f, static_cast<std::uint32_t>(value), width);
}

bool validWidth(int width) {
    return width == 2 || width == 4;
}

// Three characters and a NUL.
bool putCode(BufferedFile* f, const char* code) {
    char bytes[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3 && code[i]; ++i) bytes[i] = code[i];
    return putBytes(f, bytes, 4);
}

bool switchChunk(BufferedFile* f, const ChunkTag& tag, bool on) {
    const std::int32_t at = beginChunk(f, tag, 1);
    return at >= 0 && putU8(f, on ? 1 : 0) && endChunk(f, at);
}

}  // namespace

int writeDiagramHeader(BufferedFile* file, const char* edition, const char* version) {
    if (!writable(file) || !edition || !version) return writeFailed();
    if (!putCode(file, edition) || !putCode(file, version)) return writeFailed();
    return 1;
}

std::int32_t beginChunk(BufferedFile* file, const ChunkTag& tag, std::uint16_t version) {
    if (!writable(file)) {
        writeFailed();
        return -1;
    }
    const std::int32_t at = bfile::tell(file);
    if (at < 0 || !putBytes(file, tag.c, 4) || !putLe(file, version, 2) || !putU32(file, 0)) {
        writeFailed();
        return -1;
    }
    return at;
}

int endChunk(BufferedFile* file, std::int32_t chunkOffset) {
    if (!writable(file) || chunkOffset < 0) return writeFailed();
    const std::int32_t here = bfile::tell(file);
    if (here < 0 || here - chunkOffset < static_cast<std::int32_t>(kChunkHeaderSize)) return writeFailed();
    const auto length = static_cast<std::uint32_t>(here - chunkOffset) - kChunkHeaderSize;
    if (bfile::seek(file, chunkOffset + 6) < 0 || !putU32(file, length) || bfile::seek(file, here) < 0)
        return writeFailed();
    return 1;
}

int writeChunkString(BufferedFile* file, const char* text, int intWidth) {
    if (!writable(file) || !validWidth(intWidth)) return writeFailed();
    if (!text) return putInt(file, 0, intWidth) ? 1 : writeFailed();
    const std::size_t count = std::strlen(text);
    // A longer text would make data no reader accepts.
    if (count >= static_cast<std::size_t>(kMaxStringLength)) return writeFailed();
    if (!putInt(file, static_cast<std::int32_t>(count + 1), intWidth) ||
        !putBytes(file, text, static_cast<std::int32_t>(count)))
        return writeFailed();
    return 1;
}

int writeFontRecord(BufferedFile* file, const FontRecord& font, int version, int intWidth) {
    if (!writable(file) || !validWidth(intWidth) || (version != 2 && version != 3)) return writeFailed();
    const LogFontRecord& lf = font.logFont;
    const std::int32_t logValues[5] = {lf.height, lf.width, lf.escapement, lf.orientation, lf.weight};
    const std::uint8_t logBytes[8] = {lf.italic,       lf.underline,     lf.strikeOut, lf.charSet,
                                      lf.outPrecision, lf.clipPrecision, lf.quality,   lf.pitchAndFamily};
    bool ok = true;
    for (std::int32_t v : logValues) ok = ok && putInt(file, v, intWidth);
    ok = ok && putBytes(file, logBytes, 8) && putBytes(file, lf.faceName, 32);
    ok = ok && putU32(file, 0);  // the font object is not stored
    ok = ok && putBytes(file, font.name1, 32) && putBytes(file, font.name2, 32);
    ok = ok && putInt(file, font.value1, intWidth) && putBytes(file, font.shortValue, 2);
    for (std::int32_t v : font.values2) ok = ok && putInt(file, v, intWidth);
    ok = ok && putU8(file, font.byteValue);
    const int tail = version == 3 ? 5 : 3;
    for (int i = 0; i < tail; ++i) ok = ok && putInt(file, font.values3[i], intWidth);
    return ok ? 1 : writeFailed();
}

int writeFileOptions(BufferedFile* file, const DisplayOptions& options, int intWidth) {
    if (!writable(file) || !validWidth(intWidth)) return writeFailed();
    const std::int32_t at = beginChunk(file, kTagFileOptions, 1);
    if (at < 0) return 0;
    bool ok = switchChunk(file, kTagIfLayout, options.ifLayout != 0) &&
              switchChunk(file, kTagLevelNumbers, options.showLevelNumbers) &&
              switchChunk(file, kTagLineNumbers, options.showLineNumbers) &&
              switchChunk(file, kTagLabels, options.showLabels) &&
              switchChunk(file, kTagMarks, options.showMarks);
    if (ok) {
        const std::int32_t colours = beginChunk(file, kTagColours, 1);
        ok = colours >= 0;
        for (int i = 0; ok && i < kColourCount; ++i) ok = putU32(file, options.colours[i]);
        ok = ok && endChunk(file, colours);
    }
    const ChunkTag* fontTags[2] = {&kTagScreenFont, &kTagPrinterFont};
    const FontRecord* fonts[2] = {&options.screenFont, &options.printerFont};
    for (int i = 0; ok && i < 2; ++i) {
        const std::int32_t font = beginChunk(file, *fontTags[i], 3);
        ok = font >= 0 && writeFontRecord(file, *fonts[i], 3, intWidth) && endChunk(file, font);
    }
    ok = ok && endChunk(file, at);
    return ok ? 1 : writeFailed();
}

int writeInformationChunks(BufferedFile* file, const DiagramDocument* document, int intWidth) {
    if (!writable(file) || !document || !validWidth(intWidth)) return writeFailed();
    std::int32_t at = beginChunk(file, kTagShortInfo, 1);
    bool ok = at >= 0 && writeChunkString(file, document->shortInfo, intWidth) && endChunk(file, at);

    if (ok) {
        at = beginChunk(file, kTagDate, 2);
        ok = at >= 0 && writeChunkString(file, document->saveTimeText, intWidth) &&
             putU32(file, document->saveTime) && endChunk(file, at);
    }
    if (ok) {
        char text[kMaxProgramVersionText + 1];
        programVersionText(text, sizeof text);
        at = beginChunk(file, kTagProgramVersion, 1);
        ok = at >= 0 && writeChunkString(file, text, intWidth) && endChunk(file, at);
    }
    if (ok) {
        at = beginChunk(file, kTagEndOfInfo, 1);
        ok = at >= 0 && endChunk(file, at);
    }
    ok = ok && writeFileOptions(file, document->display, intWidth);
    if (ok) {
        at = beginChunk(file, kTagLastLevelId, 2);
        ok = at >= 0 && putU32(file, document->lastLevelId) && endChunk(file, at);
    }
    return ok ? 1 : writeFailed();
}

int writeTreeChunk(DiagramDocument* document, ConstructNode* root, BufferedFile* file) {
    const std::int32_t at = beginChunk(file, kTagTree, kCurrentTreeVersion);
    if (at < 0) return 0;
    if (!writeSequence(document, root, nullptr, file, 4) || !g_outcome.writeOk) return writeFailed();
    return endChunk(file, at);
}

int writeDiagram(DiagramDocument* document, ConstructNode* root, BufferedFile* file, bool treeOnly) {
    DiagramDocument* doc = document ? document : currentDocument();
    if (!writeDiagramHeader(file)) return 0;
    if (!treeOnly && !writeInformationChunks(file, doc)) return 0;
    return writeTreeChunk(doc, root, file);
}

int programVersionText(char* out, int size) {
    if (!out || size <= 0) return 0;
    char title[64];
    if (platform::loadString(IDS_TITLE, title, sizeof title) <= 0) std::strcpy(title, "Korrin(VRD)");
    char text[kMaxProgramVersionText + 64];
    int n = g_fileVersionInfo[0]
                ? std::snprintf(text, sizeof text, "%s V%s, %s", title, kProgramVersion, g_fileVersionInfo)
                : std::snprintf(text, sizeof text, "%s V%s", title, kProgramVersion);
    if (n < 0) n = 0;
    if (n > kMaxProgramVersionText) n = kMaxProgramVersionText;
    if (n > size - 1) n = size - 1;
    std::memcpy(out, text, static_cast<std::size_t>(n));
    out[n] = 0;
    return n;
}

void setFileVersionInfo(const char* text) {
    std::size_t n = text ? std::strlen(text) : 0;
    if (n > kMaxProgramVersionText) n = kMaxProgramVersionText;
    if (n) std::memcpy(g_fileVersionInfo, text, n);
    g_fileVersionInfo[n] = 0;
}
