// The document attributes a parser plug-in sends (element types 1000 to
// 1011) and their text forms in transfer files: the font description and
// the colour list.
//
// Font description: the font record's first and second 32-byte name, then
// in decimal the signed value after the names, the 2-byte value, the three
// signed values, the one-byte value, the LOGFONT's escapement and
// orientation, its seven one-byte fields from underline to pitch-and-family,
// and the last two of the five final signed values - 19 fields joined by
// ",". Reading takes the fields in that order: names are cut to 32
// characters, missing numbers leave their fields as they were, extra ones
// are ignored, a number stops at the first character that is not part of
// it (no digits: 0). An empty description changes nothing.
//
// Colour list: the 23 colours in decimal joined by ",". Reading stores the
// values in order into the colour slots, at most 23; slots without a value
// keep theirs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/diagram_document.h"

constexpr int kFontDescriptionSize = 320;  // always holds a description
constexpr int kColourListSize = 254;       // 253 characters are read

// Writes the description of `font` into `out`; an empty text (and 0) when
// it does not fit in `size`. Returns the length.
int formatFontDescription(const FontRecord& font, char* out, std::size_t size);
// Reads a description into `font`. Returns the number of fields taken.
int parseFontDescription(const char* text, FontRecord* font);

int formatColourList(const std::uint32_t (&colours)[kColourCount], char* out, std::size_t size);
// Reads at most the first 253 characters. Returns the number of values stored.
int parseColourList(const char* text, std::uint32_t (&colours)[kColourCount]);

// What an import collected, applied to the document after a successful
// import (not when inserting).
struct DocumentAttributes {
    bool haveShortInfo;
    char* shortInfo;  // counting-allocator block; null = empty
    bool haveIfLayout;
    std::uint8_t ifLayout;
    bool haveLevelNumbers, levelNumbers;
    bool haveLineNumbers, lineNumbers;
    bool haveLeftLabels, leftLabels;
    bool haveRightLabels, rightLabels;
    bool haveLastLevelId;
    std::uint32_t lastLevelId;
    char* screenFont;  // descriptions and the colour list as sent (blocks)
    char* printerFont;
    char* colours;
};

// Takes attribute `type` with its text and number. Types this edition does
// not use (1007, 1010 and any other) are ignored. `flags` are the import
// flags: 0x1000 ignores the last level identifier. 0 when a copy cannot be
// allocated (the job is then cancelled).
int collectAttribute(DocumentAttributes* attributes, std::int32_t type, const char* text, std::int32_t number,
                     std::uint32_t flags);
// Applies what was collected to the document: short information, display
// options and the last level identifier (never lowered below the ids the
// document already uses).
void applyAttributes(const DocumentAttributes* attributes, DiagramDocument* document);
void freeAttributes(DocumentAttributes* attributes);
