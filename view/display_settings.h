// What a diagram is drawn with: the 23-colour palette, the display switches
// and the screen and printer fonts. The settings file gives the defaults
// (section Settings: the Color* keys, ScreenFont, PrinterFont, LineNumbers,
// LevelNumbers, ShowLeftLabels, ShowRightLabels, If, PrintMono); a diagram
// file that carries display options (FOPT) overrides them for its document.
// Whatever the sources hold, the result always has a usable palette and
// a font.
#pragma once

#include <cstdint>

#include "core/diagram_document.h"

// COLORREF values: 0x00BBGGRR.
using Colour = std::uint32_t;

enum PaletteIndex : int {
    kColourBackground = 0,
    kColourLines = 1,
    kColourConditionLines = 2,
    kColourSegments = 3,
    kColourLineNumbers = 4,
    kColourSegmentNumbers = 6,
    kColourKeywords = 7,
    kColourLabels = 8,
    kColourText = 9,
    kColourSpecialText = 10,
    kColourMetaStrings = 17,
    kColourEditFrame = 18,
    kColourCurrentView = 19,
    kColourPageDelimiters = 20,
    kColourCriticalConstructs = 21,
    kColourSpecialLines = 22,
};
static_assert(kColourCount == 23);

// The built-in palette.
extern const Colour kDefaultPalette[kColourCount];

constexpr int kFaceNameSize = 32;

// A font as the user chose it, independent of the device.
struct FontChoice {
    char face[kFaceNameSize];
    std::int32_t points;  // character size in points
    std::int32_t weight;  // 400 normal, 700 bold
    bool italic;
    std::uint8_t charSet;  // 0 ANSI, 255 OEM
};
// The same font: faces compared as texts.
bool operator==(const FontChoice& a, const FontChoice& b);

// "Courier New", 10 points.
FontChoice defaultFont();

struct DisplaySettings {
    Colour palette[kColourCount];
    bool lineNumbers;   // construct numbers beside the constructs
    bool levelNumbers;  // segment numbers
    bool showLeftLabels;
    bool showRightLabels;
    bool showMarks;
    bool verticalIf;  // if laid out as rows instead of side by side
    bool printMono;   // printed in black and white
    FontChoice screenFont;
    FontChoice printerFont;
};

// The built-in defaults: the default palette, segment numbers and labels
// shown, construct numbers off, horizontal if, the default font.
void initDisplaySettings(DisplaySettings& settings);

// The settings file's display keys over the built-in defaults. A colour
// that is not a number in 0..0xFFFFFF, or a font that cannot be read, keeps
// the default.
void loadDisplaySettings(DisplaySettings& settings, const char* iniFile);

// The value of ScreenFont / PrinterFont: "face,points[,bold][,italic][,oem]".
bool parseFontChoice(const char* value, FontChoice& out);
// The same value written from a font; false when it does not fit `size`.
bool formatFontChoice(const FontChoice& font, char* out, int size);
// Writes the font as the default of `keyId` (ScreenFont or PrinterFont)
// into the settings file.
bool saveDefaultFont(unsigned keyId, const FontChoice& font, const char* iniFile);

// What going from `before` to `after` asks of the views, as invalidateLayout
// flags (view/layout.h): the switches and the if layout change every
// view's geometry, each font its own views. A change of colours alone
// asks for none: it is repainted, not measured.
unsigned displayChangeFlags(const DisplaySettings& before, const DisplaySettings& after);
// Whether the two draw alike (palette, switches and fonts).
bool sameDisplay(const DisplaySettings& a, const DisplaySettings& b);

// The settings for one document: `defaults` (from the settings file) with
// what its file carried. A file carried display options when its palette
// is not one colour throughout (a file without FOPT leaves it all 0); its
// fonts count when they name a face.
DisplaySettings displayForDocument(const DisplaySettings& defaults, const DisplayOptions& fromFile);

// The document's stored display options made from `settings` (what Save
// writes into FOPT for a document that did not carry its own).
void storeDisplayOptions(const DisplaySettings& settings, DisplayOptions& out);

// A stored font record as a FontChoice (its LOGFONT height taken at 96
// pixels per inch) and back.
bool fontFromRecord(const FontRecord& record, FontChoice& out);
void fontToRecord(const FontChoice& font, FontRecord& out);
