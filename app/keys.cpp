#include "app/keys.h"

#include <cstring>

namespace {

struct KeyRow {
    unsigned key;
    bool ctrl;
    bool shift;
    unsigned command;
};

// Scroll Lock off.
constexpr KeyRow kNavigation[] = {
    {vk::home, false, false, 250}, {vk::end, false, false, 251},  {vk::home, true, false, 252},
    {vk::end, true, false, 253},   {vk::space, true, false, 254}, {vk::up, false, false, 255},
    {vk::down, false, false, 256}, {vk::left, true, false, 257},  {vk::right, true, false, 258},
    {vk::down, true, false, 259},  {vk::up, true, false, 260},    {vk::right, false, false, 261},
    {vk::left, false, false, 262}, {vk::tab, false, false, 263},  {vk::tab, false, true, 264},
    {vk::up, false, true, 265},    {vk::down, false, true, 266},  {vk::home, false, true, 267},
    {vk::end, false, true, 268},   {vk::home, true, true, 269},   {vk::end, true, true, 270},
    {vk::left, true, true, 271},   {vk::right, true, true, 272},  {vk::up, true, true, 273},
    {vk::down, true, true, 274},
};

// Scroll Lock on: commands without other modifiers.
constexpr KeyRow kScrollLockCommands[] = {
    {vk::home, true, false, 200},     {vk::end, true, false, 201},       {vk::pageUp, true, false, 202},
    {vk::pageDown, true, false, 203}, {vk::home, false, false, 204},     {vk::end, false, false, 205},
    {vk::pageUp, false, false, 206},  {vk::pageDown, false, false, 207}, {vk::up, false, false, 208},
    {vk::down, false, false, 209},    {vk::left, false, false, 210},     {vk::right, false, false, 211},
};

// Scroll Lock on, with a scroll bar: the scroll-bar code.
constexpr KeyRow kVerticalScroll[] = {
    {vk::up, false, true, scroll::lineUp},     {vk::down, false, true, scroll::lineDown},
    {vk::pageUp, false, true, scroll::pageUp}, {vk::pageDown, false, true, scroll::pageDown},
    {vk::home, false, true, scroll::top},      {vk::end, false, true, scroll::bottom},
};
constexpr KeyRow kHorizontalScroll[] = {
    {vk::left, false, true, scroll::lineUp},  {vk::right, false, true, scroll::lineDown},
    {vk::pageUp, true, true, scroll::pageUp}, {vk::pageDown, true, true, scroll::pageDown},
    {vk::home, true, true, scroll::top},      {vk::end, true, true, scroll::bottom},
};

template <std::size_t N>
const KeyRow* find(const KeyRow (&rows)[N], unsigned key, KeyModifiers mods) {
    for (const KeyRow& row : rows)
        if (row.key == key && row.ctrl == mods.ctrl && row.shift == mods.shift) return &row;
    return nullptr;
}

bool movesView(unsigned key) {
    return key >= vk::pageUp && key <= vk::down;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

Navigation navigationFor(unsigned key, KeyModifiers mods, const NavigationState& state) {
    if (key < 9 || key > 40 || mods.alt) return {NavigationKind::none, 0};
    if (key == vk::enter) {
        if (!state.directTextMode || mods.ctrl) return {NavigationKind::none, 0};
        return {NavigationKind::command, mods.shift ? 297u : 298u};
    }
    if (state.scrollLock && movesView(key)) {
        if (const KeyRow* row = find(kScrollLockCommands, key, mods))
            return {NavigationKind::command, row->command};
        if (state.verticalBar)
            if (const KeyRow* row = find(kVerticalScroll, key, mods))
                return {NavigationKind::scrollVertical, row->command};
        if (state.horizontalBar)
            if (const KeyRow* row = find(kHorizontalScroll, key, mods))
                return {NavigationKind::scrollHorizontal, row->command};
        return {NavigationKind::none, 0};
    }
    if (const KeyRow* row = find(kNavigation, key, mods)) return {NavigationKind::command, row->command};
    return {NavigationKind::none, 0};
}

HotKey hotKeyFromMenuText(const char* text, const char* shiftWord, const char* ctrlWord,
                          const char* altWord) {
    HotKey hot{false, 0, {false, false, false}};
    if (!text) return hot;
    char upperText[256];
    std::size_t n = 0;
    for (; text[n] && n + 1 < sizeof upperText; ++n) upperText[n] = upper(text[n]);
    upperText[n] = 0;
    const char* plus = std::strrchr(upperText, '+');
    if (!plus || !plus[1]) return hot;
    hot.key = plus[1];
    auto names = [&](const char* word) { return word && word[0] && std::strstr(upperText, word) != nullptr; };
    hot.mods.shift = names(shiftWord);
    hot.mods.ctrl = names(ctrlWord);
    hot.mods.alt = names(altWord);
    hot.valid = true;
    return hot;
}
