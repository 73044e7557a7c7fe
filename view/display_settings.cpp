#include "view/display_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/profile.h"
#include "resources/strings.h"
#include "view/layout.h"

const Colour kDefaultPalette[kColourCount] = {
    0xFFFFFF, 0x000000, 0xC00000, 0xC0C0C0, 0x000000, 0x000000, 0x000000, 0xFF0000,
    0x800080, 0x000000, 0x0080FF, 0x008000, 0x000000, 0x000000, 0x000000, 0x000000,
    0x000000, 0x008000, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x0000FF, 0x0000FF,
};

namespace {

// The settings key of each palette index (0: the index has none).
constexpr unsigned kColourKeys[kColourCount] = {
    IDS_KEY_COLORBACKGROUND,
    IDS_KEY_COLORLINES,
    IDS_KEY_COLORCONDITIONLINES,
    IDS_KEY_COLORSEGMENTS,
    IDS_KEY_COLORLINENUMBERS,
    0,
    IDS_KEY_COLORSEGMENTNUMBERS,
    IDS_KEY_COLORKEYWORDS,
    0,
    IDS_KEY_COLORTEXT,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    IDS_KEY_COLORMETASTRINGS,
    IDS_KEY_COLOREDITFRAME,
    IDS_KEY_COLORCURRENTVIEW,
    IDS_KEY_COLORPAGEDELIMITERS,
    IDS_KEY_COLORCRITICALCONSTRUCTS,
    IDS_KEY_COLORSPECIALLINES,
};

constexpr std::uint8_t kOemCharSet = 255;
constexpr std::int32_t kBold = 700;
constexpr std::int32_t kNormal = 400;

// A palette that draws: not one colour throughout.
bool usablePalette(const Colour (&palette)[kColourCount]) {
    for (const Colour c : palette)
        if (c != palette[0]) return true;
    return false;
}

void loadFont(unsigned keyId, const char* iniFile, FontChoice& font) {
    char value[kProfileNameSize * 2] = {};
    if (readProfileText(IDS_SEC_SETTINGS, keyId, "", value, sizeof value, iniFile) > 0) {
        FontChoice read{};
        if (parseFontChoice(value, read)) font = read;
    }
}

}  // namespace

bool operator==(const FontChoice& a, const FontChoice& b) {
    return std::strncmp(a.face, b.face, sizeof a.face) == 0 && a.points == b.points && a.weight == b.weight &&
           a.italic == b.italic && a.charSet == b.charSet;
}

FontChoice defaultFont() {
    FontChoice font{};
    std::snprintf(font.face, sizeof font.face, "%s", "Courier New");
    font.points = 10;
    font.weight = kNormal;
    return font;
}

void initDisplaySettings(DisplaySettings& settings) {
    settings = DisplaySettings{};
    std::memcpy(settings.palette, kDefaultPalette, sizeof settings.palette);
    settings.levelNumbers = true;
    settings.showLeftLabels = true;
    settings.showRightLabels = true;
    settings.screenFont = defaultFont();
    settings.printerFont = defaultFont();
}

bool parseFontChoice(const char* value, FontChoice& out) {
    if (!value) return false;
    FontChoice font = defaultFont();
    const char* comma = std::strchr(value, ',');
    const std::size_t faceLength = comma ? static_cast<std::size_t>(comma - value) : std::strlen(value);
    if (faceLength == 0 || faceLength >= sizeof font.face || !comma) return false;
    std::memcpy(font.face, value, faceLength);
    font.face[faceLength] = 0;
    char* end = nullptr;
    const long points = std::strtol(comma + 1, &end, 10);
    if (end == comma + 1 || points < 1 || points > 200) return false;
    font.points = static_cast<std::int32_t>(points);
    // Further words: bold, italic, oem.
    for (const char* p = end; *p;) {
        if (*p == ',' || *p == ' ') {
            ++p;
            continue;
        }
        const std::size_t length = std::strcspn(p, ", ");
        char word[16] = {};
        if (length < sizeof word) std::memcpy(word, p, length);
        if (equalNoCase(word, "bold"))
            font.weight = kBold;
        else if (equalNoCase(word, "italic"))
            font.italic = true;
        else if (equalNoCase(word, "oem"))
            font.charSet = kOemCharSet;
        else
            return false;
        p += length;
    }
    out = font;
    return true;
}

bool formatFontChoice(const FontChoice& font, char* out, int size) {
    if (!out || size <= 0) return false;
    const int n = std::snprintf(out, static_cast<std::size_t>(size), "%.*s,%d%s%s%s",
                                static_cast<int>(sizeof font.face), font.face, static_cast<int>(font.points),
                                font.weight >= kBold ? ",bold" : "", font.italic ? ",italic" : "",
                                font.charSet == kOemCharSet ? ",oem" : "");
    if (n < 0 || n >= size) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool saveDefaultFont(unsigned keyId, const FontChoice& font, const char* iniFile) {
    char value[kFaceNameSize + 32];
    return formatFontChoice(font, value, sizeof value) &&
           writeProfileText(IDS_SEC_SETTINGS, keyId, value, iniFile) != 0;
}

unsigned displayChangeFlags(const DisplaySettings& before, const DisplaySettings& after) {
    unsigned flags = 0;
    if (before.verticalIf != after.verticalIf || before.lineNumbers != after.lineNumbers ||
        before.levelNumbers != after.levelNumbers || before.showLeftLabels != after.showLeftLabels ||
        before.showRightLabels != after.showRightLabels)
        flags |= kInvalidateAllViews;
    if (!(before.screenFont == after.screenFont)) flags |= kInvalidateScreenFont;
    if (!(before.printerFont == after.printerFont)) flags |= kInvalidatePrinterFont;
    return flags;
}

bool sameDisplay(const DisplaySettings& a, const DisplaySettings& b) {
    return displayChangeFlags(a, b) == 0 && std::memcmp(a.palette, b.palette, sizeof a.palette) == 0 &&
           a.showMarks == b.showMarks && a.printMono == b.printMono;
}

void loadDisplaySettings(DisplaySettings& settings, const char* iniFile) {
    for (int i = 0; i < kColourCount; ++i) {
        if (!kColourKeys[i]) continue;
        char value[kProfileNameSize] = {};
        if (readProfileText(IDS_SEC_SETTINGS, kColourKeys[i], "", value, sizeof value, iniFile) <= 0)
            continue;
        char* end = nullptr;
        const long colour = std::strtol(value, &end, 10);
        if (end != value && *end == 0 && colour >= 0 && colour <= 0xFFFFFF)
            settings.palette[i] = static_cast<Colour>(colour);
    }
    if (!usablePalette(settings.palette))
        std::memcpy(settings.palette, kDefaultPalette, sizeof settings.palette);
    loadFont(IDS_KEY_SCREENFONT, iniFile, settings.screenFont);
    loadFont(IDS_KEY_PRINTERFONT, iniFile, settings.printerFont);
    settings.lineNumbers =
        readProfileBool(IDS_KEY_LINENUMBERS, IDS_SEC_SETTINGS, iniFile, settings.lineNumbers) != 0;
    settings.levelNumbers =
        readProfileBool(IDS_KEY_LEVELNUMBERS, IDS_SEC_SETTINGS, iniFile, settings.levelNumbers) != 0;
    settings.showLeftLabels =
        readProfileBool(IDS_KEY_SHOWLEFTLABELS, IDS_SEC_SETTINGS, iniFile, settings.showLeftLabels) != 0;
    settings.showRightLabels =
        readProfileBool(IDS_KEY_SHOWRIGHTLABELS, IDS_SEC_SETTINGS, iniFile, settings.showRightLabels) != 0;
    settings.printMono =
        readProfileBool(IDS_KEY_PRINTMONO, IDS_SEC_SETTINGS, iniFile, settings.printMono) != 0;
    char layout[kProfileNameSize] = {};
    if (readProfileText(IDS_SEC_SETTINGS, IDS_KEY_IFLAYOUT, "", layout, sizeof layout, iniFile) > 0) {
        const char* vertical = findString(IDS_VAL_VERTICAL);
        const char* horizontal = findString(IDS_VAL_HORIZONTAL);
        if (vertical && equalNoCase(layout, vertical)) settings.verticalIf = true;
        if (horizontal && equalNoCase(layout, horizontal)) settings.verticalIf = false;
    }
}

bool fontFromRecord(const FontRecord& record, FontChoice& out) {
    const LogFontRecord& lf = record.logFont;
    std::size_t faceLength = 0;
    while (faceLength < sizeof lf.faceName && lf.faceName[faceLength]) ++faceLength;
    if (faceLength == 0 || faceLength >= sizeof out.face || lf.height == 0) return false;
    FontChoice font{};
    std::memcpy(font.face, lf.faceName, faceLength);
    // A negative height is the character height, a positive one the cell
    // height (about an eighth more); both in pixels at 96 per inch.
    const std::int32_t pixels = lf.height < 0 ? -lf.height : lf.height * 8 / 9;
    font.points = (pixels * 3 + 2) / 4;
    if (font.points < 1 || font.points > 200) return false;
    font.weight = lf.weight > 0 ? lf.weight : kNormal;
    font.italic = lf.italic != 0;
    font.charSet = lf.charSet;
    out = font;
    return true;
}

void fontToRecord(const FontChoice& font, FontRecord& out) {
    out = FontRecord{};
    LogFontRecord& lf = out.logFont;
    lf.height = -((font.points * 4 + 1) / 3);
    lf.weight = font.weight;
    lf.italic = font.italic ? 1 : 0;
    lf.charSet = font.charSet;
    std::snprintf(lf.faceName, sizeof lf.faceName, "%s", font.face);
}

DisplaySettings displayForDocument(const DisplaySettings& defaults, const DisplayOptions& fromFile) {
    DisplaySettings d = defaults;
    if (usablePalette(fromFile.colours)) {
        std::memcpy(d.palette, fromFile.colours, sizeof d.palette);
        d.verticalIf = fromFile.ifLayout != 0;
        d.levelNumbers = fromFile.showLevelNumbers;
        d.lineNumbers = fromFile.showLineNumbers;
        d.showLeftLabels = d.showRightLabels = fromFile.showLabels;
        d.showMarks = fromFile.showMarks;
    }
    FontChoice font{};
    if (fontFromRecord(fromFile.screenFont, font)) d.screenFont = font;
    if (fontFromRecord(fromFile.printerFont, font)) d.printerFont = font;
    return d;
}

void storeDisplayOptions(const DisplaySettings& settings, DisplayOptions& out) {
    out.ifLayout = settings.verticalIf ? 1 : 0;
    out.showLevelNumbers = settings.levelNumbers;
    out.showLineNumbers = settings.lineNumbers;
    out.showLabels = settings.showLeftLabels || settings.showRightLabels;
    out.showMarks = settings.showMarks;
    std::memcpy(out.colours, settings.palette, sizeof out.colours);
    fontToRecord(settings.screenFont, out.screenFont);
    fontToRecord(settings.printerFont, out.printerFont);
}
