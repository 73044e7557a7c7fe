// The display settings: the settings file's keys over the built-in
// defaults, and what a diagram file carries over both.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/config/temp_ini.h"
#include "view/display_settings.h"

namespace {

DisplaySettings loaded(const std::string& ini) {
    TempIni file(ini);
    DisplaySettings d;
    initDisplaySettings(d);
    loadDisplaySettings(d, file.path());
    return d;
}

TEST(DisplaySettings, KeysOfTheSettingsFileOverTheDefaults) {
    const DisplaySettings none = loaded("");
    EXPECT_EQ(std::memcmp(none.palette, kDefaultPalette, sizeof none.palette), 0);
    EXPECT_TRUE(none.levelNumbers && none.showLeftLabels && none.showRightLabels);
    EXPECT_FALSE(none.lineNumbers || none.verticalIf || none.printMono);
    EXPECT_EQ(none.screenFont, defaultFont());
    EXPECT_STREQ(none.screenFont.face, "Courier New");

    const DisplaySettings d = loaded(
        "[Settings]\r\nColorLines=255\r\nColorBackground=white\r\nColorKeywords=16777216\r\n"
        "ColorSpecialLines=65280\r\nLineNumbers=yes\r\nLevelNumbers=no\r\nShowRightLabels=0\r\nIf="
        "Vertical\r\n"
        "PrintMono=true\r\nScreenFont=Arial,12,bold,italic\r\nPrinterFont=Arial\r\n");
    EXPECT_EQ(d.palette[kColourLines], 255u);
    EXPECT_EQ(d.palette[kColourBackground], 0xFFFFFFu) << "not a number: the default";
    EXPECT_EQ(d.palette[kColourKeywords], 0xFF0000u) << "beyond 0xFFFFFF: the default";
    EXPECT_EQ(d.palette[kColourSpecialLines], 65280u);
    EXPECT_TRUE(d.lineNumbers && d.verticalIf && d.printMono && d.showLeftLabels);
    EXPECT_FALSE(d.levelNumbers || d.showRightLabels);
    EXPECT_STREQ(d.screenFont.face, "Arial");
    EXPECT_EQ(d.screenFont.points, 12);
    EXPECT_EQ(d.screenFont.weight, 700);
    EXPECT_TRUE(d.screenFont.italic);
    EXPECT_EQ(d.printerFont, defaultFont()) << "a font without a size is not taken";
}

TEST(DisplaySettings, APaletteOfOneColourIsNeverTaken) {
    std::string ini = "[Settings]\r\n";
    for (const char* key :
         {"ColorBackground", "ColorLines", "ColorConditionLines", "ColorSegments", "ColorLineNumbers",
          "ColorSegmentNumbers", "ColorKeywords", "ColorText", "ColorMetaStrings", "ColorEditFrame",
          "ColorCurrentView", "ColorPageDelimiters", "ColorCriticalConstructs", "ColorSpecialLines"})
        ini += std::string(key) + "=0\r\n";
    DisplaySettings d;
    initDisplaySettings(d);
    std::fill(std::begin(d.palette), std::end(d.palette), 0u);  // as the unkeyed indexes could be
    TempIni file(ini);
    loadDisplaySettings(d, file.path());
    EXPECT_EQ(std::memcmp(d.palette, kDefaultPalette, sizeof d.palette), 0);

    // A diagram file without display options (all zero) leaves the
    // settings' palette and fonts.
    const DisplaySettings settings = loaded("[Settings]\r\nColorLines=255\r\nLineNumbers=yes\r\n");
    const DisplaySettings plain = displayForDocument(settings, DisplayOptions{});
    EXPECT_EQ(plain.palette[kColourLines], 255u);
    EXPECT_TRUE(plain.lineNumbers);
    EXPECT_EQ(plain.screenFont, defaultFont());
}

TEST(DisplaySettings, WhatAFileCarriesWinsAndTravelsBack) {
    DisplaySettings fromFile;
    initDisplaySettings(fromFile);
    fromFile.palette[kColourText] = 0x123456;
    fromFile.lineNumbers = true;
    fromFile.levelNumbers = false;
    fromFile.verticalIf = true;
    std::strcpy(fromFile.screenFont.face, "Arial");
    fromFile.screenFont.points = 9;
    fromFile.printerFont.points = 14;
    DisplayOptions stored{};
    storeDisplayOptions(fromFile, stored);
    EXPECT_EQ(stored.screenFont.logFont.height, -12) << "9 points at 96 pixels per inch";

    DisplaySettings settings;
    initDisplaySettings(settings);
    const DisplaySettings d = displayForDocument(settings, stored);
    EXPECT_EQ(d.palette[kColourText], 0x123456u);
    EXPECT_TRUE(d.lineNumbers && d.verticalIf);
    EXPECT_FALSE(d.levelNumbers);
    EXPECT_EQ(d.screenFont, fromFile.screenFont);
    EXPECT_EQ(d.printerFont, fromFile.printerFont);

    // A font record without a face keeps the settings' font.
    stored.screenFont = FontRecord{};
    EXPECT_EQ(displayForDocument(settings, stored).screenFont, settings.screenFont);
}

TEST(DisplaySettings, FontValues) {
    struct Case {
        const char* value;
        bool ok;
        int points;
    };
    for (const Case& c :
         {Case{"Arial,10", true, 10}, Case{"Courier New,8,oem", true, 8}, Case{"Arial", false, 0},
          Case{",10", false, 0}, Case{"Arial,0", false, 0}, Case{"Arial,10,huge", false, 0},
          Case{"A very long face name of more than thirty-one characters,10", false, 0}}) {
        FontChoice f{};
        EXPECT_EQ(parseFontChoice(c.value, f), c.ok) << c.value;
        if (c.ok) {
            EXPECT_EQ(f.points, c.points) << c.value;
        }
    }
}

}  // namespace
