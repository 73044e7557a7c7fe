#include "config/menu_captions.h"

#include <iterator>

#include "config/language_config.h"
#include "config/profile.h"

namespace {

constexpr unsigned key(GenTemplate t) {
    return templateNameId(t);
}

constexpr MenuCaptionEntry kEntries[] = {
    // Insert menu
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Statement), 3000, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::SpecialStatement), 3010, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::If), 3100, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Switch), 3300, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::When), 3400, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Case), 3750, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Of), 3760, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::For), 3710, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::While), 3200, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Repeat), 3720, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Loop), 3500, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Exit), 3600, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Procedure), 3740, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Call), 3730, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Function), 3745, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Block), 3650, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Frame), 3700, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Condition), 4310, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::And), 4320, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Or), 4330, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Not), 4350, false},
    // Enclose menu
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Then), 2461, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Else), 2462, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::When), 2485, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::WhenNone), 2486, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Of), 2487, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Otherwise), 2488, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::For), 2483, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::While), 2481, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Repeat), 2482, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Loop), 2484, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Procedure), 2496, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Function), 2506, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Block), 2494, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Frame), 2503, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::And), 2490, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Or), 2491, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Not), 2493, false},
    // Popups of the Enclose menu, found by a command they hold
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::If), 2461, true},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Switch), 2485, true},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Case), 2487, true},
};

}  // namespace

const MenuCaptionEntry* menuCaptionEntries(std::size_t* count) {
    if (count) *count = std::size(kEntries);
    return kEntries;
}

void keepFirstAmpersand(char* text) {
    if (!text) return;
    bool seen = false;
    char* out = text;
    for (const char* in = text; *in; ++in) {
        if (*in == '&') {
            if (seen) continue;
            seen = true;
        }
        *out++ = *in;
    }
    *out = 0;
}

int applyMenuCaptions(MenuCaptionTarget& menu, const char* path, bool withDefaults) {
    int set = 0;
    for (const MenuCaptionEntry& entry : kEntries) {
        char caption[kProfileNameSize];
        caption[0] = 0;
        if (path && *path) readProfileText(entry.sectionId, entry.keyId, "", caption, sizeof caption, path);
        if (!caption[0]) {
            if (!withDefaults || !menu.freshCaption(entry.command, entry.popup, caption, sizeof caption))
                continue;
        }
        keepFirstAmpersand(caption);
        if (menu.setCaption(entry.command, entry.popup, caption)) ++set;
    }
    return set;
}
