// The native diagram file: detection, header, chunks and loading.
#include "core/diagram_file.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/element_stream.h"
#include "core/file_descriptor.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "resources/strings.h"

namespace {

// ---------------------------------------------------------------------------
// Hooks

bool neverSuppressed(FileKind) {
    return false;
}

ConversionNoticeHook g_conversionNotice = neverSuppressed;
ImportHooks g_import{};
TemporaryFileStep g_temporaryFileStep = temporaryFileStep;

// ---------------------------------------------------------------------------
// Codes and versions

// Three characters; a NUL among them and everything after it become blanks.
struct Code {
    char c[4];
};

Code filled(const char* code) {
    Code out{{' ', ' ', ' ', 0}};
    for (int i = 0; i < 3 && code[i]; ++i) out.c[i] = code[i];
    return out;
}

bool sameCode(const char* a, const char* b) {
    return std::memcmp(filled(a).c, filled(b).c, 3) == 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digit, dot, digit.
bool plainVersion(const char* v) {
    return isDigit(v[0]) && v[1] == '.' && isDigit(v[2]);
}

bool isSiblingEdition(const char* code) {
    for (int i = 0; i < kSiblingEditionCount; ++i) {
        char sibling[16];
        if (platform::loadString(kSiblingEditionFirstId + static_cast<unsigned>(i), sibling,
                                 sizeof sibling) <= 0)
            continue;
        if (sameCode(code, sibling)) return true;
    }
    return false;
}

bool acceptedEdition(const char* code) {
    return sameCode(code, kEditionCode) || sameCode(code, kOtherAcceptedCode) ||
           sameCode(code, kOlderEditionCode);
}

// The edition code as the messages show it: without trailing blanks.
void trimmedCode(const char* code, char out[4]) {
    Code f = filled(code);
    int n = 3;
    while (n > 0 && f.c[n - 1] == ' ') --n;
    std::memcpy(out, f.c, static_cast<std::size_t>(n));
    out[n] = 0;
}

// ---------------------------------------------------------------------------
// Messages

enum class Refusal { NotFormat = 0, NotSupported = 1, Structural = 2 };

constexpr unsigned kRefusalIds[3][3] = {
    {IDS_FILE_NOT_FORMAT, IDS_CLIP_NOT_FORMAT, IDS_EMBEDDED_NOT_FORMAT},
    {IDS_FILE_NOT_SUPPORTED, IDS_CLIP_NOT_SUPPORTED, IDS_EMBEDDED_NOT_SUPPORTED},
    {IDS_FILE_STRUCTURAL_ERROR, IDS_CLIP_STRUCTURAL_ERROR, IDS_EMBEDDED_STRUCTURAL_ERROR},
};

void showRefusal(Refusal refusal, SourceKind sourceKind, const char* name, const char* edition = "",
                 const char* version = "") {
    const auto kind = static_cast<unsigned>(sourceKind);
    const unsigned id = kRefusalIds[static_cast<int>(refusal)][kind <= 2 ? kind : 0];
    const bool file = sourceKind == SourceKind::File || kind > 2;
    if (!name) name = "";
    if (refusal == Refusal::NotSupported) {
        if (file)
            showMessage(id, kBoxDefault, name, edition, version);
        else
            showMessage(id, kBoxDefault, edition, version);
    } else if (file) {
        showMessage(id, kBoxDefault, name);
    } else {
        showMessage(id, kBoxDefault);
    }
}

// ---------------------------------------------------------------------------
// Header

enum class HeaderResult { Accepted, Refused, Unreadable };

HeaderResult readHeader(DiagramDocument* doc, BufferedFile* file, const char* name, SourceKind sourceKind,
                        bool showMessages) {
    if (!file || bfile::seek(file, 0) < 0) return HeaderResult::Unreadable;
    char code[4] = {0, 0, 0, 0};
    const std::int32_t n = bfile::read(file, code, 4);
    if (n < 0) return HeaderResult::Unreadable;
    if (n < 4) {
        // Too short to be a diagram at all.
        if (showMessages) showRefusal(Refusal::NotFormat, sourceKind, name);
        return HeaderResult::Refused;
    }
    code[3] = 0;
    char version[4] = {0, 0, 0, 0};
    if (code[1] == '.') {
        // No edition code: the bytes are the version of an older edition.
        std::memcpy(version, code, 4);
        std::memcpy(code, kOlderEditionCode, 4);
    } else {
        if (bfile::read(file, version, 4) != 4) return HeaderResult::Unreadable;
        version[3] = 0;
    }
    std::memcpy(doc->editionCode, code, 4);
    std::memcpy(doc->formatVersion, version, 4);
    doc->intWidth = formatBelow(version, kCurrentFormat) ? 2 : 4;

    if (!acceptedEdition(code)) {
        if (showMessages) showRefusal(Refusal::NotFormat, sourceKind, name);
        return HeaderResult::Refused;
    }
    if (plainVersion(version) && formatBelow(version, kMinimumFormat)) {
        if (showMessages) {
            char edition[4];
            trimmedCode(code, edition);
            showRefusal(Refusal::NotSupported, sourceKind, name, edition, version);
        }
        return HeaderResult::Refused;
    }
    return HeaderResult::Accepted;
}

// ---------------------------------------------------------------------------
// Reading

constexpr std::int32_t kOldStringLimit = 4096;  // old-style strings, NUL included

struct ReadState {
    DiagramDocument* doc;
    FileDescriptor* source;
    BufferedFile* file;
    std::uint32_t options;
    bool keepInfo;
    bool reported;  // a message was shown for this read
    ConstructNode* root;
};

bool readBytes(BufferedFile* f, void* out, std::int32_t count) {
    return bfile::read(f, out, count) == count;
}

bool readU32(BufferedFile* f, std::uint32_t* value) {
    unsigned char b[4];
    if (!readBytes(f, b, 4)) return false;
    *value = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
             std::uint32_t{b[3]} << 24;
    return true;
}

// A string in the element stream's format for the document's edition and
// version. `*out` gets a new block (null for a null string or when not kept).
bool readString(const DiagramDocument* doc, BufferedFile* f, char** out, bool keep) {
    *out = nullptr;
    const bool oldStyle =
        sameCode(doc->editionCode, kOlderEditionCode) && formatBelow(doc->formatVersion, "2.5");
    if (oldStyle) {
        std::uint8_t marker;
        if (!readBytes(f, &marker, 1)) return false;
        if (marker == kMarkEnd) return true;
        if (marker != kMarkElement) return false;
        char text[kOldStringLimit];
        for (std::int32_t n = 0; n < kOldStringLimit; ++n) {
            if (!readBytes(f, &text[n], 1)) return false;
            if (text[n] == 0) {
                if (keep) *out = memStrDup(text, n);
                return true;
            }
        }
        return false;
    }
    std::int32_t length = 0;
    if (bfile::readSigned(f, &length, 4, doc->intWidth == 2 ? 2 : 4) < 0) return false;
    if (length < 0 || length > kMaxStringLength) return false;
    if (length == 0) return true;
    char* block = keep ? static_cast<char*>(memAlloc(static_cast<std::size_t>(length))) : nullptr;
    if (!block) return length == 1 || bfile::skip(f, length - 1) == 0;
    if (!readBytes(f, block, length - 1)) {
        memFree(block);
        return false;
    }
    *out = block;
    return true;
}

void replaceString(char** field, char* text) {
    memFree(*field);
    *field = text;
}

// The short info and the save time of the older layout and of KINF/DATE.
bool readShortInfo(ReadState& st) {
    char* text = nullptr;
    if (!readString(st.doc, st.file, &text, !st.keepInfo)) return false;
    if (!st.keepInfo) replaceString(&st.doc->shortInfo, text);
    return true;
}

bool readSaveTime(ReadState& st, bool oldEpoch) {
    char* text = nullptr;
    std::uint32_t time = 0;
    if (!readString(st.doc, st.file, &text, !st.keepInfo)) return false;
    if (!readU32(st.file, &time)) {
        memFree(text);
        return false;
    }
    if (oldEpoch && static_cast<std::int32_t>(time) < 0) time += kOldDateOffset;
    if (!st.keepInfo) {
        replaceString(&st.doc->saveTimeText, text);
        st.doc->saveTime = time;
    }
    return true;
}

bool readSigned(BufferedFile* f, std::int32_t* value, int width) {
    return bfile::readSigned(f, value, 4, width) == 0;
}

// The size of a font record of `version` with integers of `width` bytes.
std::uint32_t fontRecordSize(int version, int width) {
    const int values = 5 + 1 + 3 + (version == 3 ? 5 : 3);
    return static_cast<std::uint32_t>(values * width + 8 + 32 + 4 + 64 + 2 + 1);
}

bool readFontRecord(BufferedFile* f, FontRecord* out, int version, int width) {
    FontRecord font{};
    LogFontRecord& lf = font.logFont;
    std::int32_t* logValues[5] = {&lf.height, &lf.width, &lf.escapement, &lf.orientation, &lf.weight};
    for (std::int32_t* v : logValues)
        if (!readSigned(f, v, width)) return false;
    std::uint8_t logBytes[8];
    if (!readBytes(f, logBytes, 8) || !readBytes(f, lf.faceName, 32)) return false;
    lf.italic = logBytes[0];
    lf.underline = logBytes[1];
    lf.strikeOut = logBytes[2];
    lf.charSet = logBytes[3];
    lf.outPrecision = logBytes[4];
    lf.clipPrecision = logBytes[5];
    lf.quality = logBytes[6];
    lf.pitchAndFamily = logBytes[7];
    if (!readU32(f, &font.fontHandle) || !readBytes(f, font.name1, 32) || !readBytes(f, font.name2, 32) ||
        !readSigned(f, &font.value1, width) || !readBytes(f, font.shortValue, 2))
        return false;
    for (std::int32_t& v : font.values2)
        if (!readSigned(f, &v, width)) return false;
    if (!readBytes(f, &font.byteValue, 1)) return false;
    const int tail = version == 3 ? 5 : 3;
    for (int i = 0; i < tail; ++i)
        if (!readSigned(f, &font.values3[i], width)) return false;
    // The names are fixed fields: keep them terminated.
    lf.faceName[31] = 0;
    font.name1[31] = 0;
    font.name2[31] = 0;
    font.fontHandle = 0;
    *out = font;
    return true;
}

struct ChunkHeader {
    char tag[4];
    std::uint16_t version;
    std::uint32_t length;
};

bool isTag(const ChunkHeader& h, const ChunkTag& tag) {
    return std::memcmp(h.tag, tag.c, 4) == 0;
}

enum class HeaderRead { Ok, End, Failed };

HeaderRead readChunkHeader(BufferedFile* f, ChunkHeader* h) {
    unsigned char b[kChunkHeaderSize];
    const std::int32_t n = bfile::read(f, b, static_cast<std::int32_t>(kChunkHeaderSize));
    if (n < 0) return HeaderRead::Failed;
    if (n < static_cast<std::int32_t>(kChunkHeaderSize))
        return bfile::hasError(f) ? HeaderRead::Failed : HeaderRead::End;
    std::memcpy(h->tag, b, 4);
    h->version = static_cast<std::uint16_t>(b[4] | b[5] << 8);
    h->length = std::uint32_t{b[6]} | std::uint32_t{b[7]} << 8 | std::uint32_t{b[8]} << 16 |
                std::uint32_t{b[9]} << 24;
    return HeaderRead::Ok;
}

// The end of a chunk starting at `start`; -1 when it lies beyond what a
// position can say.
std::int32_t chunkEnd(std::int32_t start, std::uint32_t length) {
    const std::int64_t end = std::int64_t{start} + kChunkHeaderSize + length;
    return end > std::numeric_limits<std::int32_t>::max() ? -1 : static_cast<std::int32_t>(end);
}

// The sub-chunks of FOPT, up to `end`. A sub-chunk too short for its data,
// or reaching beyond the FOPT chunk, is passed over.
bool readFileOptions(ReadState& st, std::int32_t end) {
    DisplayOptions& d = st.doc->display;
    const int width = st.doc->intWidth == 2 ? 2 : 4;
    for (;;) {
        const std::int32_t start = bfile::tell(st.file);
        if (start < 0) return false;
        if (std::int64_t{start} + kChunkHeaderSize > end) return true;
        ChunkHeader h;
        const HeaderRead r = readChunkHeader(st.file, &h);
        if (r == HeaderRead::Failed) return false;
        if (r == HeaderRead::End) return true;
        const std::int32_t subEnd = chunkEnd(start, h.length);
        if (subEnd < 0 || subEnd > end) return true;
        bool* switches[4] = {&d.showLevelNumbers, &d.showLineNumbers, &d.showLabels, &d.showMarks};
        const ChunkTag* switchTags[4] = {&kTagLevelNumbers, &kTagLineNumbers, &kTagLabels, &kTagMarks};
        std::uint8_t byte = 0;
        if (isTag(h, kTagIfLayout) && h.length >= 1) {
            if (!readBytes(st.file, &byte, 1)) return false;
            d.ifLayout = byte != 0 ? 1 : 0;
        }
        for (int i = 0; i < 4; ++i) {
            if (isTag(h, *switchTags[i]) && h.length >= 1) {
                if (!readBytes(st.file, &byte, 1)) return false;
                *switches[i] = byte != 0;
            }
        }
        if (isTag(h, kTagColours) && h.version == 1 && h.length >= 4u * kColourCount) {
            std::uint32_t colours[kColourCount];
            for (std::uint32_t& c : colours)
                if (!readU32(st.file, &c)) return false;
            std::memcpy(d.colours, colours, sizeof colours);
        }
        if ((isTag(h, kTagScreenFont) || isTag(h, kTagPrinterFont)) && (h.version == 2 || h.version == 3) &&
            h.length >= fontRecordSize(h.version, width)) {
            FontRecord* target = isTag(h, kTagScreenFont) ? &d.screenFont : &d.printerFont;
            if (!readFontRecord(st.file, target, h.version, width)) return false;
        }
        if (bfile::seek(st.file, subEnd) < 0) return false;
    }
}

bool readOldLayout(ReadState& st) {
    DiagramDocument* doc = st.doc;
    doc->treeVersion = 1;
    if (!formatBelow(doc->formatVersion, "2.1") && !readShortInfo(st)) return false;
    if (!formatBelow(doc->formatVersion, "2.4") && !readSaveTime(st, false)) return false;
    st.root = readSequence(doc, st.file, st.options);
    return g_outcome.readOk && !g_outcome.jobCancelled;
}

bool readChunks(ReadState& st) {
    DiagramDocument* doc = st.doc;
    bool haveTree = false;
    bool sawOtherTree = false;
    std::uint16_t otherTree = 0;
    for (;;) {
        if (g_outcome.jobCancelled) return false;
        const std::int32_t start = bfile::tell(st.file);
        if (start < 0) return false;
        ChunkHeader h;
        const HeaderRead r = readChunkHeader(st.file, &h);
        if (r == HeaderRead::Failed) return false;
        if (r == HeaderRead::End) break;
        const std::int32_t end = chunkEnd(start, h.length);
        if (end < 0) return false;

        bool ok = true;
        if (isTag(h, kTagTree)) {
            if (h.version >= 1 && h.version <= kMaxTreeVersion) {
                // Only the first tree counts; a later one is passed over.
                if (!haveTree) {
                    haveTree = true;
                    doc->treeVersion = h.version;
                    st.root = readSequence(doc, st.file, st.options);
                    ok = g_outcome.readOk && !g_outcome.jobCancelled;
                }
            } else if (!sawOtherTree || h.version > otherTree) {
                sawOtherTree = true;
                otherTree = h.version;
            }
        } else if (!st.keepInfo) {
            if (isTag(h, kTagShortInfo) && h.version == 1) {
                ok = readShortInfo(st);
            } else if (isTag(h, kTagDate) && h.version < 3) {
                ok = readSaveTime(st, h.version < 2);
            } else if (isTag(h, kTagFileOptions) && h.version == 1) {
                ok = readFileOptions(st, end);
            } else if (isTag(h, kTagLastLevelId) && h.version == 2) {
                std::uint32_t id = 0;
                ok = readU32(st.file, &id);
                // Never below an id already in use.
                if (ok && id > doc->lastLevelId) doc->lastLevelId = id;
            }
        }
        if (!ok) return false;
        if (bfile::seek(st.file, end) < 0) return false;
    }
    if (haveTree) return true;
    if (sawOtherTree) {
        char edition[4];
        char format[16];
        trimmedCode(doc->editionCode, edition);
        std::snprintf(format, sizeof format, "%.3s.%u", doc->formatVersion, static_cast<unsigned>(otherTree));
        showRefusal(Refusal::NotSupported, st.source->sourceKind, st.source->path, edition, format);
        st.reported = true;
    }
    return false;
}

bool readAll(ReadState& st) {
    switch (readHeader(st.doc, st.file, st.source->path, st.source->sourceKind, true)) {
        case HeaderResult::Refused:
            st.reported = true;
            return false;
        case HeaderResult::Unreadable:
            return false;
        case HeaderResult::Accepted:
            break;
    }
    if (formatBelow(st.doc->formatVersion, "3.0")) return readOldLayout(st);
    return readChunks(st);
}

// ---------------------------------------------------------------------------
// Loading

bool isSingleLevel(const ConstructNode* root) {
    return root && root->type == ConstructType::Level && !root->next && levelInfoOf(root);
}

struct IdRoom {
    std::uint32_t above;  // ids up to this one were in use before the read
    std::uint32_t first;  // the lowest id handed out by the read, 0 = none
};

int findFirstNewId(ConstructNode* node, void* context) {
    auto* room = static_cast<IdRoom*>(context);
    const LevelInfo* li = levelInfoOf(node);
    if (li && li->levelId > room->above && (room->first == 0 || li->levelId < room->first))
        room->first = li->levelId;
    return 1;
}

int shiftNewId(ConstructNode* node, void* context) {
    LevelInfo* li = levelInfoOf(node);
    if (li && li->levelId >= static_cast<IdRoom*>(context)->first) ++li->levelId;
    return 1;
}

// Moves the ids the read handed out to the segments of `root` (above
// `idsBefore`) up by one and returns the first of them (0: none), which the
// new top segment takes.
std::uint32_t makeRoomForTopSegmentId(ConstructNode* root, std::uint32_t idsBefore) {
    IdRoom room{idsBefore, 0};
    forEachNode(root, findFirstNewId, &room);
    if (room.first != 0) forEachNode(root, shiftNewId, &room);
    return room.first;
}

// A new top segment whose body is the sequence from `root`. Null after
// freeing the sequence when it cannot be made.
ConstructNode* wrapInTopSegment(DiagramDocument* doc, ConstructNode* root) {
    ConstructNode* level = newConstruct(doc, 3050);
    if (!level) {
        freeSequence(root);
        return nullptr;
    }
    if (root) setChildAt(root, level, Slot::Body);
    return level;
}

// Moves the tree, the document information and every file of `from` to
// `to` (whose own state must be empty), leaving `from` without them. The
// segment source follows to the descriptor it read from.
void moveDocumentState(DiagramDocument* to, DiagramDocument* from) {
    *to = *from;
    const auto follow = [&](SegmentSource* table, FileDescriptor* fd, const SegmentSource* fromTable,
                            const FileDescriptor* fromFd) {
        if (table->context == fromFd) table->context = fd;
        if (from->segmentSource == fromTable) to->segmentSource = table;
    };
    follow(&to->ownFileSource, &to->ownFile, &from->ownFileSource, &from->ownFile);
    follow(&to->tempFileSource, &to->tempFile, &from->tempFileSource, &from->tempFile);
    from->root = nullptr;
    from->shortInfo = nullptr;
    from->saveTimeText = nullptr;
    from->saveTime = 0;
    if (from->segmentSource == &from->ownFileSource || from->segmentSource == &from->tempFileSource)
        from->segmentSource = nullptr;
    from->ownFile = FileDescriptor{};
    from->ownFileSource = SegmentSource{};
    from->relatedFiles[0] = from->relatedFiles[1] = FileDescriptor{};
    from->tempFile = FileDescriptor{};
    from->tempFileSource = SegmentSource{};
    from->tempFileOwned = false;
    from->modified = false;
}

bool confirmConversion(FileKind kind, const char* path) {
    if (g_conversionNotice(kind)) return true;
    const unsigned id = kind == FileKind::Transfer ? IDS_CONVERT_ETF : IDS_CONVERT_SOURCE;
    return askQuestion(id, kBoxOkCancel | kIconExclamation | kBoxTaskModal, kAnswerOk, path) == kAnswerOk;
}

}  // namespace

// ---------------------------------------------------------------------------
// Interface

bool formatBelow(const char* version, const char* other) {
    return std::strncmp(version, other, 4) < 0;
}

FileKind detectKind(BufferedFile* file) {
    unsigned char first[64] = {};
    if (!file || bfile::seek(file, 0) < 0) return FileKind::Source;
    std::int32_t n = bfile::read(file, first, sizeof first);
    if (n < 0) n = 0;
    char code[4];
    std::memcpy(code, first, 4);
    code[3] = 0;
    if (sameCode(code, kEditionCode) || sameCode(code, kOlderEditionCode) ||
        sameCode(code, kOtherAcceptedCode))
        return FileKind::Diagram;
    if (n >= 7 && std::memcmp(first, "Korrin", 6) == 0 &&
        (first[6] == ':' || first[6] == ';' || first[6] == '='))
        return FileKind::Transfer;
    if (isSiblingEdition(code)) return FileKind::Diagram;
    // A diagram of format 2.x or older without an edition code starts with
    // its version: digit, dot, digit, NUL.
    if (n >= 4 && plainVersion(code) && first[3] == 0) return FileKind::Diagram;
    return FileKind::Source;
}

int checkHeader(DiagramDocument* document, BufferedFile* file, const char* name, SourceKind sourceKind,
                bool showMessages) {
    DiagramDocument* doc = document ? document : currentDocument();
    return readHeader(doc, file, name, sourceKind, showMessages) == HeaderResult::Accepted ? 1 : 0;
}

void forgetDocumentInfo(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    doc->shortInfo = static_cast<char*>(memFree(doc->shortInfo));
    doc->saveTimeText = static_cast<char*>(memFree(doc->saveTimeText));
    doc->saveTime = 0;
}

int readDiagramTree(DiagramDocument* document, FileDescriptor* source, std::uint32_t options,
                    ConstructNode** root) {
    if (root) *root = nullptr;
    if (!source || !root) return 0;
    DiagramDocument* doc = document ? document : currentDocument();
    CurrentDocumentScope scope(doc);
    ReadState st{doc, source, source->file, options, (options & kReadKeepDocumentInfo) != 0, false, nullptr};
    const StreamFormat documentFormat = formatOf(*doc);
    g_outcome.readOk = true;
    if (!st.keepInfo) forgetDocumentInfo(doc);

    const bool ok = st.file && readAll(st) && g_outcome.readOk && !g_outcome.jobCancelled;
    if (ok) applyFormat(*source, formatOf(*doc));
    // Inserted and pasted data leave the document's own format as it was.
    if (st.keepInfo) applyFormat(*doc, documentFormat);
    if (!ok) {
        g_outcome.readOk = false;
        freeSequence(st.root);
        if (!st.reported && !g_outcome.jobCancelled)
            showRefusal(Refusal::Structural, source->sourceKind, source->path);
        return 0;
    }
    *root = st.root;
    return 1;
}

ConstructNode* readDiagram(DiagramDocument* document, FileDescriptor* source, std::uint32_t options) {
    ConstructNode* root = nullptr;
    return readDiagramTree(document, source, options, &root) ? root : nullptr;
}

ConstructNode* loadDocument(DiagramDocument* document, FileDescriptor* source, std::uint32_t options,
                            SourceKind sourceKind) {
    if (!source) return nullptr;
    DiagramDocument* doc = document ? document : currentDocument();
    source->sourceKind = sourceKind;
    // Memory data is diagram data or nothing.
    const FileKind kind = sourceKind == SourceKind::File ? detectKind(source->file) : FileKind::Diagram;
    source->kind = kind;
    const bool parser = g_import.runImport && g_import.parserConfigured && g_import.parserConfigured();
    const bool convert =
        (kind == FileKind::Source && parser) || (kind == FileKind::Transfer && g_import.runImport);

    if (convert) {
        // The plug-in may read the file by its name: no lock in its way
        // (the file stays open, others denied writing).
        if (source->file && source->file->locked) bfile::lock(source->file, false);
        if (!confirmConversion(kind, source->path)) return nullptr;
        const bool inserting = (options & kReadKeepDocumentInfo) != 0;
        ImportRequest request{doc, source, options & (kReadKeepDocumentInfo | kReadNewLevelIds),
                              kind == FileKind::Transfer, inserting ? kLoadModeInsert : kLoadModeOpen};
        return g_import.runImport(request);
    }

    // A diagram; without a parser (or importer) other data is read as one
    // too and refused by the header check.
    ConstructNode* root = nullptr;
    const std::uint32_t idsBefore = doc->lastLevelId;
    const int ok = readDiagramTree(doc, source, options, &root);
    if (source->file && source->file->locked) bfile::lock(source->file, false);
    if (!ok) return nullptr;

    // Every document's root is one Level: trees of the older formats (and
    // any other tree) get a new top segment.
    const bool older = formatBelow(source->formatVersion, "3.0") || source->treeVersion < 6;
    if (older || !isSingleLevel(root)) {
        // Older trees store no level ids: the top segment takes the first
        // of those handed out while reading, the segments inside follow.
        const std::uint32_t topId = older ? makeRoomForTopSegmentId(root, idsBefore) : 0;
        root = wrapInTopSegment(doc, root);
        if (!root) return nullptr;
        if (topId != 0) levelInfoOf(root)->levelId = topId;  // lastLevelId already counts it
    }

    if (sourceKind == SourceKind::File && !(options & kReadKeepDocumentInfo)) {
        if (g_temporaryFileStep) {
            if (!g_temporaryFileStep(doc, source, root)) {
                freeSequence(root);
                return nullptr;
            }
        } else if (source == &doc->ownFile) {
            // Until the temporary segment file exists, bodies stay in the
            // file the diagram was opened from.
            useOwnFileAsSegmentSource(doc);
        }
    }
    return root;
}

ConstructNode* loadFromMemory(DiagramDocument* document, platform::MemHandle block, SourceKind sourceKind) {
    DiagramDocument* doc = document ? document : currentDocument();
    BufferedFile* stream = bfile::openMemory(block, 0, 0, 0);
    if (!stream) {
        if (!g_outcome.jobCancelled) showRefusal(Refusal::Structural, sourceKind, "");
        return nullptr;
    }
    FileDescriptor source{};
    source.file = stream;
    source.sourceKind = sourceKind;
    ConstructNode* root = loadDocument(doc, &source, kMemoryLoadOptions, sourceKind);
    bfile::close(stream);
    return root;
}

void reportUnloadableSegment(const DiagramDocument* document) {
    if (!document || g_outcome.jobCancelled) return;
    showRefusal(Refusal::Structural, SourceKind::File, document->ownFile.path);
}

ConstructNode* unwrapTopSegment(ConstructNode* root) {
    if (!root || root->type != ConstructType::Level) return root;
    LevelInfo* info = levelInfoOf(root);
    if (!info || !(segmentFlags(root) & kSegLoaded)) return root;
    ConstructNode* body = info->body;
    ConstructNode* rest = root->next;
    setChildAt(nullptr, root, Slot::Body);
    root->next = nullptr;
    if (rest) rest->up = nullptr;
    freeSequence(root);
    if (!body) return rest;
    body->up = nullptr;
    if (rest) {
        ConstructNode* last = lastOf(body);
        last->next = rest;
        rest->up = last;
    }
    return body;
}

int readClipboardDiagram(DiagramDocument* document, platform::MemHandle block, ConstructNode** sequence) {
    if (!sequence) return 0;
    *sequence = nullptr;
    ConstructNode* root = loadFromMemory(document, block, SourceKind::Clipboard);
    if (!root) return 0;
    *sequence = unwrapTopSegment(root);
    return 1;
}

int insertDiagramFile(DiagramDocument* document, const char* path, ConstructNode** sequence) {
    if (!sequence) return 0;
    *sequence = nullptr;
    if (!path) return 0;
    DiagramDocument* doc = document ? document : currentDocument();
    platform::OpenInfo info{};
    BufferedFile* file = bfile::openFile(path, &info, platform::kOpenRead | platform::kShareDenyWrite, 0);
    if (!file) {
        if (!g_outcome.jobCancelled) showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, path);
        return 0;
    }
    FileDescriptor source{};
    std::snprintf(source.path, sizeof source.path, "%s", info.pathName[0] ? info.pathName : path);
    source.file = file;
    source.readOnly = true;
    // Every body now (the file is closed afterwards), new level ids.
    ConstructNode* root = loadDocument(doc, &source, kMemoryLoadOptions, SourceKind::File);
    bfile::close(file);
    if (!root) return 0;
    // The top segment of a newer diagram, or the one reading put around the
    // tree of an older diagram (which has no top segment), is taken off.
    if (source.kind == FileKind::Diagram) root = unwrapTopSegment(root);
    *sequence = root;
    return 1;
}

void useOwnFileAsSegmentSource(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    useFileAsSegmentSource(doc, &doc->ownFile, &doc->ownFileSource);
}

int openDocument(DiagramDocument* document, const char* path, std::uint32_t options, bool writeProtect) {
    DiagramDocument* doc = document ? document : currentDocument();
    if (!path || !*path) return 0;
    // The document's own hold on the file must not stand in the way (a
    // segment source over it opens it again when it needs it).
    releaseFileHandles(doc, path);
    FileDescriptor opened{};
    if (!openForEditing(doc, &opened, path, writeProtect)) {
        settleOwnFile(doc);
        return 0;
    }
    // The new diagram is read beside the one the document holds, which is
    // replaced only once the read succeeded: a failed (re)load keeps it.
    DiagramDocument previous;
    moveDocumentState(&previous, doc);
    doc->lastLevelId = 0;  // a diagram without stored ids numbers from 1
    doc->ownFile = opened;
    ConstructNode* root = loadDocument(doc, &doc->ownFile, options, SourceKind::File);
    if (!root) {
        closeDocument(doc);
        moveDocumentState(doc, &previous);
        settleOwnFile(doc);
        return 0;
    }
    closeDocument(&previous);
    doc->root = root;
    // Closed, or held open by the drive rule (unless bodies are read from it).
    settleOwnFile(doc);
    return 1;
}

void closeDocument(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    freeSequence(doc->root);
    doc->root = nullptr;
    forgetDocumentInfo(doc);
    releaseTemporaryFile(doc);
    if (doc->segmentSource == &doc->ownFileSource) doc->segmentSource = nullptr;
    doc->ownFileSource = SegmentSource{};
    for (FileDescriptor* fd : {&doc->ownFile, &doc->relatedFiles[0], &doc->relatedFiles[1]}) {
        if (fd->file) bfile::close(fd->file);
        *fd = FileDescriptor{};
    }
    doc->modified = false;
}

ConversionNoticeHook setConversionNoticeHook(ConversionNoticeHook hook) {
    ConversionNoticeHook previous = g_conversionNotice;
    g_conversionNotice = hook ? hook : neverSuppressed;
    return previous;
}

ImportHooks setImportHooks(const ImportHooks& hooks) {
    ImportHooks previous = g_import;
    g_import = hooks;
    return previous;
}

TemporaryFileStep setTemporaryFileStep(TemporaryFileStep step) {
    TemporaryFileStep previous = g_temporaryFileStep;
    g_temporaryFileStep = step;
    return previous;
}
