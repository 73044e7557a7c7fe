// The options of printing as the Print dialog shows them and the settings
// file keeps them (section Settings: PrtArea, PrtLowerSegments,
// PrtMaxDepth, PrtPageHeader, PrtStartPageNum, PrtFitIntoPage,
// PrtMinFontSize, PrtSaveSpace, PrtPreviewList; PrintDelay is only read),
// and what a print scope of the command line prints.
#pragma once

#include <cstdint>

#include "view/structure_list.h"

enum PrintArea : int {
    kAreaCurrentSegment = 1,
    kAreaSelection = 3,
    kAreaDiagram = 4,
    kAreaStructureList = 6,
};

constexpr std::uint16_t kNoDepthLimit = 65535;  // "M&aximum segment depth:" left empty

struct PrintSettings {
    int area = kAreaCurrentSegment;
    bool lowerSegments = false;  // forced on for the entire diagram
    std::uint16_t maxDepth = kNoDepthLimit;
    bool pageHeader = true;
    std::uint16_t startPageNumber = 1;
    bool fitIntoPage = false;
    std::int32_t minFontSize = 60;  // tenths of a point
    bool saveSpace = false;
    bool previewList = false;
    int printDelay = 0;                                // least seconds a job stays open
    StructureKind listKind = StructureKind::Segments;  // which structure list area 6 prints
};

// The settings file's keys over the defaults above; values out of range
// keep the default.
void loadPrintSettings(PrintSettings& settings, const char* iniFile);
// Writes the Prt* keys (PrintDelay is the user's to set). 1 when every
// write succeeded.
int savePrintSettings(const PrintSettings& settings, const char* iniFile);

// What a print scope of the command line prints (-p gives 7 or 8 by
// PrintFileStandard, -ps 6, -ps=n the structure-list type n, 0 when the
// list has no such type):
//   0..2  the structure list of that type (segments, procedures, functions)
//   6     the structure list of the type last chosen (`levellistType`)
//   7     the entire diagram with every lower segment; header, first page,
//         fit into page and save space as saved
//   8     everything as the Print dialog last saved it
//   other the entire diagram, as 7
// Area 3 (the selected area) and area 1 print the current segment of a
// window, which a batch run shows at the top.
PrintSettings settingsForScope(std::uint32_t scope, const PrintSettings& saved, int levellistType);
