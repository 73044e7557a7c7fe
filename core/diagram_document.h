// The per-diagram document record.
//
// It holds what the node tree needs (level ids, the versions the element
// stream reads with, the segment source), what the native diagram file
// stores beside the tree (document information and display options), the
// document's own file and its tree. Saving and the segment windows add
// their fields here.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/segment_source.h"

struct BufferedFile;
struct ConstructNode;

// What a file turned out to be when it was opened.
enum class FileKind : std::uint8_t {
    Diagram = 0,
    Source = 1,    // a source text for a parser plug-in
    Transfer = 3,  // a transfer file
};

// Where diagram data comes from; chooses the wording of the messages.
enum class SourceKind : std::uint8_t {
    File = 0,
    Clipboard = 1,
    Embedded = 2,  // an embedded object
};

constexpr int kPathSize = 260;

// One file a document refers to. The version fields describe the data in
// this file; segment bodies are read from it with them.
struct FileDescriptor {
    char path[kPathSize];  // fully qualified (ANSI); empty for memory data
    BufferedFile* file;    // open, or null while closed
    bool readOnly;         // opened with write protection
    FileKind kind;         // found at opening
    char editionCode[4];   // of the data in this file, NUL at the fourth byte
    char formatVersion[4];
    std::uint16_t treeVersion;
    std::uint8_t intWidth;
    std::uint64_t fileTime;  // last-write time when last opened, read or written
    SourceKind sourceKind;
};

// The system's LOGFONT.
struct LogFontRecord {
    std::int32_t height;
    std::int32_t width;
    std::int32_t escapement;
    std::int32_t orientation;
    std::int32_t weight;
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeOut;
    std::uint8_t charSet;
    std::uint8_t outPrecision;
    std::uint8_t clipPrecision;
    std::uint8_t quality;
    std::uint8_t pitchAndFamily;
    char faceName[32];

    bool operator==(const LogFontRecord&) const = default;
};
static_assert(sizeof(LogFontRecord) == 60);

// A screen or printer font as the diagram file stores it (FOPT SFON/PFON).
struct FontRecord {
    LogFontRecord logFont;
    std::uint32_t fontHandle;  // the font object while in use; stored as 0, 0 after reading
    char name1[32];
    char name2[32];
    std::int32_t value1;
    std::uint8_t shortValue[2];  // stored as two bytes as they are
    std::int32_t values2[3];
    std::uint8_t byteValue;
    std::int32_t values3[5];  // the last two exist from record version 3

    bool operator==(const FontRecord&) const = default;
};

constexpr int kColourCount = 23;

// The diagram's display options (layout and painting).
struct DisplayOptions {
    std::uint8_t ifLayout;  // the if-layout switch, 0 or 1
    bool showLevelNumbers;
    bool showLineNumbers;
    bool showLabels;
    bool showMarks;
    std::uint32_t colours[kColourCount];  // COLORREF values
    FontRecord screenFont;
    FontRecord printerFont;

    bool operator==(const DisplayOptions&) const = default;
};

struct DiagramDocument {
    char editionCode[4];                 // as read, NUL at the fourth byte ("VRD")
    char formatVersion[4];               // as read, NUL at the fourth byte ("6.3")
    std::uint16_t treeVersion;           // 1..16
    std::uint8_t intWidth;               // 2 or 4 bytes per integer in the element stream
    std::uint8_t streamMode;             // element stream write mode (bit 0x04: leave the tree unchanged)
    std::uint32_t lastLevelId;           // the highest level id in use
    const SegmentSource* segmentSource;  // where unloaded segment bodies are read from; null = none

    // Automatic labels (settings AutoLeftLabels with LeftLabelText,
    // AutoRightLabels with RightLabelText), applied by the element stream
    // reader under read option 0x2000.
    bool autoLeftLabels = false;
    bool autoRightLabels = false;
    const char* leftLabelText = nullptr;
    const char* rightLabelText = nullptr;

    // Document information stored beside the tree (counting-allocator
    // blocks owned by the document; null = none).
    char* shortInfo = nullptr;
    std::uint32_t saveTime = 0;  // seconds
    char* saveTimeText = nullptr;
    DisplayOptions display{};

    // The document's own file (the one named in the title) and, while the
    // document reads unloaded segment bodies from it, the segment source
    // over it.
    FileDescriptor ownFile{};
    SegmentSource ownFileSource{};

    // Two further files the document holds open (the segment windows and
    // the frame manage them); saving onto one of them while it is
    // write-protected is refused.
    FileDescriptor relatedFiles[2]{};

    // The dedicated temporary segment file and the segment source over it.
    // `tempFileOwned`: the file named there is the editor's own (a
    // temporary file), deleted when it is given up; otherwise it is a file
    // of the user's (a backup copy the segment source followed).
    FileDescriptor tempFile{};
    SegmentSource tempFileSource{};
    bool tempFileOwned = false;

    // The document has unsaved changes.
    bool modified = false;

    // The tree: one Level, the top segment (null while nothing is loaded).
    ConstructNode* root = nullptr;
};

// Makes the document's stream format the one this edition writes: edition
// "VRD", format "6.3", tree version 16, 4-byte integers.
inline void setCurrentStreamFormat(DiagramDocument* document) {
    const char edition[4] = {'V', 'R', 'D', 0};
    const char version[4] = {'6', '.', '3', 0};
    for (int i = 0; i < 4; ++i) {
        document->editionCode[i] = edition[i];
        document->formatVersion[i] = version[i];
    }
    document->treeVersion = 16;
    document->intWidth = 4;
}

// The current document. Exactly one document is current at a time; an
// operation on another document's data makes it current and restores the
// previous one afterwards (CurrentDocumentScope). Tree functions that need a
// document and are given none use the current one.
inline DiagramDocument* g_currentDocument = nullptr;

// Used while no document is current (nothing is open yet), so that level
// ids stay unique and nothing dereferences null.
inline DiagramDocument g_detachedDocument{{'V', 'R', 'D', 0}, {'6', '.', '3', 0}, 16, 4, 0, 0, nullptr};

inline DiagramDocument* currentDocument() {
    return g_currentDocument ? g_currentDocument : &g_detachedDocument;
}

// Makes `document` current for the lifetime of the scope (null: leaves the
// current document as it is).
class CurrentDocumentScope {
public:
    explicit CurrentDocumentScope(DiagramDocument* document) : previous_(g_currentDocument) {
        if (document) g_currentDocument = document;
    }
    ~CurrentDocumentScope() { g_currentDocument = previous_; }
    CurrentDocumentScope(const CurrentDocumentScope&) = delete;
    CurrentDocumentScope& operator=(const CurrentDocumentScope&) = delete;

private:
    DiagramDocument* previous_;
};

// The stream format fields of a document or a file descriptor: copied
// between them when a file's own format must be kept apart from another's.
struct StreamFormat {
    char editionCode[4];
    char formatVersion[4];
    std::uint16_t treeVersion;
    std::uint8_t intWidth;
};

template <class T>
StreamFormat formatOf(const T& from) {
    StreamFormat f{};
    std::memcpy(f.editionCode, from.editionCode, 4);
    std::memcpy(f.formatVersion, from.formatVersion, 4);
    f.treeVersion = from.treeVersion;
    f.intWidth = from.intWidth;
    return f;
}

template <class T>
void applyFormat(T& to, const StreamFormat& f) {
    std::memcpy(to.editionCode, f.editionCode, 4);
    std::memcpy(to.formatVersion, f.formatVersion, 4);
    to.treeVersion = f.treeVersion;
    to.intWidth = f.intWidth;
}
