// The per-diagram document record.
//
// This record grows: so far it holds what the node tree needs (level ids,
// the versions the element stream reads with, the segment source). The
// native file, saving and the segment windows add their fields here (file
// descriptors, document information, display options, ...).
#pragma once

#include <cstdint>

struct SegmentSource;

struct DiagramDocument {
    char editionCode[4];                 // as read, NUL at the fourth byte ("VRD")
    char formatVersion[4];               // as read, NUL at the fourth byte ("6.3")
    std::uint16_t treeVersion;           // 1..16
    std::uint8_t intWidth;               // 2 or 4 bytes per integer in the element stream
    std::uint8_t streamMode;             // element stream write mode (bit 0x04: leave the tree unchanged)
    std::uint32_t lastLevelId;           // the highest level id in use
    const SegmentSource* segmentSource;  // where unloaded segment bodies are read from; null = none
};

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
