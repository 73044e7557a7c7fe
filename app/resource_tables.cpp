#include "app/resource_tables.h"

#include <iterator>

namespace {

constexpr std::uint16_t BAR_PLAIN = kBarPlain;
constexpr std::uint16_t BAR_CHECK = kBarCheck;
constexpr std::uint16_t BAR_CHECKGROUP = kBarCheckGroup;
constexpr std::uint16_t BAR_SEPARATOR = kBarSeparator;

constexpr BarButton kToolbar[] = {
#define TOOLBAR_BUTTON(image, command, style, tip) {image, command, kBarStateEnabled, style, tip},
#define TOOLBOX_BUTTON(image, command, style, tip)
#include "resources/bar_buttons.def"
#undef TOOLBAR_BUTTON
#undef TOOLBOX_BUTTON
};

constexpr BarButton kToolbox[] = {
#define TOOLBAR_BUTTON(image, command, style, tip)
#define TOOLBOX_BUTTON(image, command, style, tip) {image, command, kBarStateEnabled, style, tip},
#include "resources/bar_buttons.def"
#undef TOOLBAR_BUTTON
#undef TOOLBOX_BUTTON
};

struct MenuEntry {
    unsigned menu;
    ContextEntry entry;
};

constexpr MenuEntry kContext[] = {
#define CONTEXT_ITEM(menu, command, extra, flags) {menu, {command, extra, flags}},
#include "resources/context_menus.def"
#undef CONTEXT_ITEM
};

template <unsigned Menu>
constexpr auto contextOf() {
    constexpr std::size_t n = [] {
        std::size_t count = 0;
        for (const MenuEntry& e : kContext) count += e.menu == Menu;
        return count;
    }();
    struct Table {
        ContextEntry items[n];
    } table{};
    std::size_t k = 0;
    for (const MenuEntry& e : kContext)
        if (e.menu == Menu) table.items[k++] = e.entry;
    return table;
}

constexpr auto kContextDiagram = contextOf<CMD_CONTEXT_DIAGRAM>();
constexpr auto kContextToolWindows = contextOf<CMD_CONTEXT_TOOL_WINDOWS>();
constexpr auto kContextClient = contextOf<CMD_CONTEXT_CLIENT>();
constexpr auto kContextTextInput = contextOf<CMD_CONTEXT_TEXT_INPUT>();

std::uint16_t read16(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

std::uint32_t read32(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint32_t>(read16(data, at)) | static_cast<std::uint32_t>(read16(data, at + 2))
                                                              << 16;
}

}  // namespace

int readBarButtons(std::span<const std::uint8_t> data, BarButton* out, int max) {
    int count = 0;
    std::size_t at = 0;
    while (count < max && at + 2 <= data.size()) {
        std::uint16_t first = read16(data, at);
        if (first == kBarListEnd || at + 10 > data.size()) break;
        out[count++] = BarButton{static_cast<std::int16_t>(first), read16(data, at + 2), read16(data, at + 4),
                                 read16(data, at + 6), read16(data, at + 8)};
        at += 10;
    }
    return count;
}

int readContextEntries(std::span<const std::uint8_t> data, ContextEntry* out, int max) {
    int count = 0;
    for (std::size_t at = 0; count < max && at + 8 <= data.size(); at += 8)
        out[count++] = ContextEntry{read16(data, at), read16(data, at + 2), read32(data, at + 4)};
    return count;
}

unsigned contextSubmenuPopup(std::uint16_t code) {
    switch (code) {
        case kContextEnclose:
            return IDM_POPUP_ENCLOSE;
        case kContextClipboard:
            return IDM_POPUP_CLIPBOARD;
        default:
            return 0;
    }
}

unsigned popupHelpString(std::span<const std::uint8_t> data, unsigned popupId) {
    if (popupId < IDM_POPUP_FILE) return 0;
    std::size_t at = static_cast<std::size_t>(popupId - IDM_POPUP_FILE) * 2;
    if (at + 2 > data.size()) return 0;
    return read16(data, at);
}

std::span<const BarButton> toolbarButtons() {
    return kToolbar;
}

std::span<const BarButton> toolboxButtons() {
    return kToolbox;
}

std::span<const ContextEntry> contextEntries(unsigned menu) {
    static constexpr std::span<const ContextEntry> kMenus[] = {
        kContextDiagram.items, kContextToolWindows.items, kContextClient.items, kContextTextInput.items};
    static_assert(std::size(kMenus) == CMD_CONTEXT_TEXT_INPUT - CMD_CONTEXT_DIAGRAM + 1);
    if (menu < CMD_CONTEXT_DIAGRAM || menu > CMD_CONTEXT_TEXT_INPUT) return {};
    return kMenus[menu - CMD_CONTEXT_DIAGRAM];
}
