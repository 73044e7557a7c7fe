// Document attributes of an import and their text forms.
#include "import/document_attributes.h"

#include <cstdio>
#include <cstring>

#include "core/allocator.h"
#include "import/parser_interface.h"

namespace {

constexpr std::size_t kNameSize = 32;
constexpr int kFontNumbers = 17;

// The numbers of a font description in order, as pointers into the record.
struct FontFields {
    std::int64_t values[kFontNumbers];
};

FontFields fontNumbers(const FontRecord& f) {
    const LogFontRecord& lf = f.logFont;
    const unsigned shortValue = f.shortValue[0] | (static_cast<unsigned>(f.shortValue[1]) << 8);
    return FontFields{{f.value1, shortValue, f.values2[0], f.values2[1], f.values2[2], f.byteValue,
                       lf.escapement, lf.orientation, lf.underline, lf.strikeOut, lf.charSet, lf.outPrecision,
                       lf.clipPrecision, lf.quality, lf.pitchAndFamily, f.values3[3], f.values3[4]}};
}

void storeFontNumber(FontRecord* f, int index, std::int64_t v) {
    const auto i32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    const auto u8 = static_cast<std::uint8_t>(v);
    LogFontRecord& lf = f->logFont;
    switch (index) {
        case 0:
            f->value1 = i32;
            break;
        case 1:
            f->shortValue[0] = static_cast<std::uint8_t>(v);
            f->shortValue[1] = static_cast<std::uint8_t>(v >> 8);
            break;
        case 2:
        case 3:
        case 4:
            f->values2[index - 2] = i32;
            break;
        case 5:
            f->byteValue = u8;
            break;
        case 6:
            lf.escapement = i32;
            break;
        case 7:
            lf.orientation = i32;
            break;
        case 8:
            lf.underline = u8;
            break;
        case 9:
            lf.strikeOut = u8;
            break;
        case 10:
            lf.charSet = u8;
            break;
        case 11:
            lf.outPrecision = u8;
            break;
        case 12:
            lf.clipPrecision = u8;
            break;
        case 13:
            lf.quality = u8;
            break;
        case 14:
            lf.pitchAndFamily = u8;
            break;
        case 15:
            f->values3[3] = i32;
            break;
        case 16:
            f->values3[4] = i32;
            break;
        default:
            break;
    }
}

// A decimal number at `p` (blanks, a sign, digits); 0 without digits. The
// value saturates instead of overflowing.
std::int64_t readNumber(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::int64_t value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (value < 10000000000LL) value = value * 10 + (*p - '0');
        ++p;
    }
    return negative ? -value : value;
}

bool appendText(char* out, std::size_t size, std::size_t* used, const char* text, std::size_t n) {
    if (*used + n + 1 > size) return false;
    std::memcpy(out + *used, text, n);
    *used += n;
    out[*used] = 0;
    return true;
}

bool appendNumber(char* out, std::size_t size, std::size_t* used, std::int64_t value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
    return appendText(out, size, used, digits, static_cast<std::size_t>(n));
}

char* copyOf(const char* text) {
    return memStrDup(text ? text : "");
}

void replace(char** slot, char* value) {
    memFree(*slot);
    *slot = value;
}

}  // namespace

int formatFontDescription(const FontRecord& font, char* out, std::size_t size) {
    if (!out || size == 0) return 0;
    out[0] = 0;
    std::size_t used = 0;
    bool ok = appendText(out, size, &used, font.name1, strnlen(font.name1, kNameSize)) &&
              appendText(out, size, &used, ",", 1) &&
              appendText(out, size, &used, font.name2, strnlen(font.name2, kNameSize));
    const FontFields numbers = fontNumbers(font);
    for (int i = 0; ok && i < kFontNumbers; ++i)
        ok = appendText(out, size, &used, ",", 1) && appendNumber(out, size, &used, numbers.values[i]);
    if (!ok) {
        out[0] = 0;
        return 0;
    }
    return static_cast<int>(used);
}

int parseFontDescription(const char* text, FontRecord* font) {
    if (!text || !font || !*text) return 0;
    int field = 0;
    const char* p = text;
    for (;;) {
        const char* end = std::strchr(p, ',');
        if (!end) end = p + std::strlen(p);
        if (field < 2) {
            char* name = field == 0 ? font->name1 : font->name2;
            const std::size_t n =
                static_cast<std::size_t>(end - p) < kNameSize ? static_cast<std::size_t>(end - p) : kNameSize;
            std::memset(name, 0, kNameSize);
            std::memcpy(name, p, n);
        } else if (field - 2 < kFontNumbers) {
            storeFontNumber(font, field - 2, readNumber(p, end));
        }
        ++field;
        if (!*end) break;
        p = end + 1;
    }
    return field < 2 + kFontNumbers ? field : 2 + kFontNumbers;
}

int formatColourList(const std::uint32_t (&colours)[kColourCount], char* out, std::size_t size) {
    if (!out || size == 0) return 0;
    out[0] = 0;
    std::size_t used = 0;
    for (int i = 0; i < kColourCount; ++i) {
        if ((i > 0 && !appendText(out, size, &used, ",", 1)) || !appendNumber(out, size, &used, colours[i])) {
            out[0] = 0;
            return 0;
        }
    }
    return static_cast<int>(used);
}

int parseColourList(const char* text, std::uint32_t (&colours)[kColourCount]) {
    if (!text || !*text) return 0;
    const std::size_t length = strnlen(text, kColourListSize - 1);
    const char* p = text;
    const char* limit = text + length;
    int stored = 0;
    while (stored < kColourCount && p <= limit) {
        const char* end = static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(limit - p)));
        if (!end) end = limit;
        colours[stored++] = static_cast<std::uint32_t>(readNumber(p, end));
        if (end == limit) break;
        p = end + 1;
    }
    return stored;
}

int collectAttribute(DocumentAttributes* a, std::int32_t type, const char* text, std::int32_t number,
                     std::uint32_t flags) {
    if (!a) return 0;
    const bool on = number != 0;
    switch (type) {
        case kAttrShortInfo: {
            char* copy = text && *text ? memStrDup(text) : nullptr;
            if (text && *text && !copy) return 0;
            replace(&a->shortInfo, copy);
            a->haveShortInfo = true;
            return 1;
        }
        case kAttrIfLayout:
            a->haveIfLayout = true;
            a->ifLayout = number == 1 ? 1 : 0;
            return 1;
        case kAttrLevelNumbers:
            a->haveLevelNumbers = true;
            a->levelNumbers = on;
            return 1;
        case kAttrLineNumbers:
            a->haveLineNumbers = true;
            a->lineNumbers = on;
            return 1;
        case kAttrLeftLabels:
            a->haveLeftLabels = true;
            a->leftLabels = on;
            return 1;
        case kAttrRightLabels:
            a->haveRightLabels = true;
            a->rightLabels = on;
            return 1;
        case kAttrLastLevelId:
            if (flags & 0x1000) return 1;
            a->haveLastLevelId = true;
            a->lastLevelId = static_cast<std::uint32_t>(
                readNumber(text ? text : "", text ? text + std::strlen(text) : ""));
            return 1;
        case kAttrScreenFont:
        case kAttrPrinterFont:
        case kAttrColours: {
            char* copy = copyOf(text);
            if (!copy) return 0;
            replace(type == kAttrScreenFont    ? &a->screenFont
                    : type == kAttrPrinterFont ? &a->printerFont
                                               : &a->colours,
                    copy);
            return 1;
        }
        default:
            return 1;  // 1007, 1010 and unknown attributes: not used by this edition
    }
}

void applyAttributes(const DocumentAttributes* a, DiagramDocument* doc) {
    if (!a || !doc) return;
    if (a->haveShortInfo) {
        memFree(doc->shortInfo);
        doc->shortInfo = a->shortInfo ? memStrDup(a->shortInfo) : nullptr;
    }
    DisplayOptions& d = doc->display;
    if (a->haveIfLayout) d.ifLayout = a->ifLayout;
    if (a->haveLevelNumbers) d.showLevelNumbers = a->levelNumbers;
    if (a->haveLineNumbers) d.showLineNumbers = a->lineNumbers;
    // This edition shows labels on both sides or not at all.
    if (a->haveLeftLabels || a->haveRightLabels)
        d.showLabels = (a->haveLeftLabels && a->leftLabels) || (a->haveRightLabels && a->rightLabels);
    if (a->screenFont) parseFontDescription(a->screenFont, &d.screenFont);
    if (a->printerFont) parseFontDescription(a->printerFont, &d.printerFont);
    if (a->colours) parseColourList(a->colours, d.colours);
    if (a->haveLastLevelId && a->lastLevelId > doc->lastLevelId) doc->lastLevelId = a->lastLevelId;
}

void freeAttributes(DocumentAttributes* a) {
    if (!a) return;
    a->shortInfo = static_cast<char*>(memFree(a->shortInfo));
    a->screenFont = static_cast<char*>(memFree(a->screenFont));
    a->printerFont = static_cast<char*>(memFree(a->printerFont));
    a->colours = static_cast<char*>(memFree(a->colours));
    *a = DocumentAttributes{};
}
