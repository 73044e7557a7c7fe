#include "print/print_settings.h"

#include <cstdio>

#include "config/profile.h"
#include "resources/strings.h"

namespace {

bool readBool(unsigned key, const char* file, bool fallback) {
    return readProfileBool(key, IDS_SEC_SETTINGS, file, fallback ? 1 : 0) != 0;
}

// An integer key within [low, high]; anything else keeps `fallback`.
int readBounded(unsigned key, const char* file, int fallback, int low, int high) {
    const int value = readProfileInt(IDS_SEC_SETTINGS, key, fallback, file);
    return value >= low && value <= high ? value : fallback;
}

int writeBool(unsigned key, bool value, const char* file) {
    return writeProfileFixed(IDS_SEC_SETTINGS, key, value ? IDS_VAL_YES : IDS_VAL_NO, file);
}

int writeInteger(unsigned key, int value, const char* file) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return writeProfileText(IDS_SEC_SETTINGS, key, text, file);
}

bool isArea(int area) {
    return area == kAreaCurrentSegment || area == kAreaSelection || area == kAreaDiagram ||
           area == kAreaStructureList;
}

StructureKind kindOf(int type) {
    return type >= 0 && type < kStructureKinds ? static_cast<StructureKind>(type) : StructureKind::Segments;
}

}  // namespace

void loadPrintSettings(PrintSettings& s, const char* file) {
    s = PrintSettings{};
    const int area = readProfileInt(IDS_SEC_SETTINGS, IDS_KEY_PRTAREA, s.area, file);
    if (isArea(area)) s.area = area;
    s.lowerSegments = readBool(IDS_KEY_PRTLOWERSEGMENTS, file, s.lowerSegments);
    s.maxDepth = static_cast<std::uint16_t>(readBounded(IDS_KEY_PRTMAXDEPTH, file, s.maxDepth, 0, 65535));
    s.pageHeader = readBool(IDS_KEY_PRTPAGEHEADER, file, s.pageHeader);
    s.startPageNumber =
        static_cast<std::uint16_t>(readBounded(IDS_KEY_PRTSTARTPAGENUM, file, s.startPageNumber, 0, 65535));
    s.fitIntoPage = readBool(IDS_KEY_PRTFITINTOPAGE, file, s.fitIntoPage);
    s.minFontSize = readBounded(IDS_KEY_PRTMINFONTSIZE, file, s.minFontSize, 10, 9990);
    s.saveSpace = readBool(IDS_KEY_PRTSAVESPACE, file, s.saveSpace);
    s.previewList = readBool(IDS_KEY_PRTPREVIEWLIST, file, s.previewList);
    s.printDelay = readBounded(IDS_KEY_PRINTDELAY, file, s.printDelay, 0, 3600);
}

int savePrintSettings(const PrintSettings& s, const char* file) {
    int ok = 1;
    ok &= writeInteger(IDS_KEY_PRTAREA, s.area, file) != 0;
    ok &= writeBool(IDS_KEY_PRTLOWERSEGMENTS, s.lowerSegments, file) != 0;
    ok &= writeInteger(IDS_KEY_PRTMAXDEPTH, s.maxDepth, file) != 0;
    ok &= writeBool(IDS_KEY_PRTPAGEHEADER, s.pageHeader, file) != 0;
    ok &= writeInteger(IDS_KEY_PRTSTARTPAGENUM, s.startPageNumber, file) != 0;
    ok &= writeBool(IDS_KEY_PRTFITINTOPAGE, s.fitIntoPage, file) != 0;
    ok &= writeInteger(IDS_KEY_PRTMINFONTSIZE, s.minFontSize, file) != 0;
    ok &= writeBool(IDS_KEY_PRTSAVESPACE, s.saveSpace, file) != 0;
    ok &= writeBool(IDS_KEY_PRTPREVIEWLIST, s.previewList, file) != 0;
    return ok;
}

PrintSettings settingsForScope(std::uint32_t scope, const PrintSettings& saved, int levellistType) {
    PrintSettings s = saved;
    s.listKind = kindOf(levellistType);
    switch (scope) {
        case 8:
            break;
        case 6:
            s.area = kAreaStructureList;
            break;
        case 0:
        case 1:
        case 2:
            s.area = kAreaStructureList;
            s.listKind = kindOf(static_cast<int>(scope));
            break;
        default:  // 7 and anything else: the whole diagram
            s.area = kAreaDiagram;
            s.lowerSegments = true;
            s.maxDepth = kNoDepthLimit;
            break;
    }
    return s;
}
