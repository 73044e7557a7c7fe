// The binary tables of the frame's resources and their readers: the bar
// buttons (RCDATA IDR_TOOLBAR, IDR_TOOLBOX), the context menus (RCDATA
// CMD_CONTEXT_*) and the popup help (RCDATA IDR_POPUP_HELP). The tables are
// written in resources/*.def, which the resource script and this code
// share; the ids are those of resources/resource_ids.h.
//
// Portable: the readers take the resource bytes (little-endian) and never
// read past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "resources/commands.h"
#include "resources/resource_ids.h"

// The position of the Window popup in the menu bar (the MDI window list).
constexpr int kWindowMenuPosition = 6;

// Bar button styles and states (the common-control values).
constexpr std::uint16_t kBarPlain = 0, kBarSeparator = 1, kBarCheck = 2, kBarCheckGroup = 6;
constexpr std::uint16_t kBarStateEnabled = 4;
constexpr std::uint16_t kBarListEnd = 0xFFF6;  // -10

struct BarButton {
    std::int16_t image;  // -1: separator
    std::uint16_t command;
    std::uint16_t state;
    std::uint16_t style;
    std::uint16_t tip;  // string id of the tool tip
};

// Reads entries of five 16-bit values up to the end mark (or the end of the
// data); returns how many were stored (at most `max`).
int readBarButtons(std::span<const std::uint8_t> data, BarButton* out, int max);

constexpr std::uint16_t kContextSubmenu = 1;  // opens a submenu of the Edit menu
constexpr std::uint16_t kContextSeparatorId = 0xFFFF;
constexpr std::uint32_t kContextSeparator = 0x800;
constexpr std::uint32_t kContextTextItem = 0x80;
// The submenu codes of an entry with command 1.
constexpr std::uint16_t kContextEnclose = 13, kContextClipboard = 15;

struct ContextEntry {
    std::uint16_t command;
    std::uint16_t extra;  // the submenu code for command 1
    std::uint32_t flags;
};

// Reads entries of 8 bytes; a trailing part shorter than an entry is left.
int readContextEntries(std::span<const std::uint8_t> data, ContextEntry* out, int max);
// The popup id a submenu code names (0 for an unknown code).
unsigned contextSubmenuPopup(std::uint16_t code);

// The string id of the help text for popup `popupId`, from the 16-bit
// string ids of RCDATA IDR_POPUP_HELP (0 = none).
unsigned popupHelpString(std::span<const std::uint8_t> data, unsigned popupId);

// The tables as the .def files define them (for checks).
std::span<const BarButton> toolbarButtons();
std::span<const BarButton> toolboxButtons();
std::span<const ContextEntry> contextEntries(unsigned menu);
