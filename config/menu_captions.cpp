#include "config/menu_captions.h"

#include <iterator>

#include "config/language_config.h"
#include "config/profile.h"
#include "resources/commands.h"

namespace {

constexpr unsigned key(GenTemplate t) {
    return templateNameId(t);
}

constexpr MenuCaptionEntry kEntries[] = {
    // Insert menu
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Statement), CMD_INSERT_STATEMENT, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::SpecialStatement), CMD_INSERT_SPECIAL_STATEMENT, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::If), CMD_INSERT_IF, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Switch), CMD_INSERT_SWITCH, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::When), CMD_INSERT_WHEN, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Case), CMD_INSERT_CASE, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Of), CMD_INSERT_OF, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::For), CMD_INSERT_FOR, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::While), CMD_INSERT_WHILE, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Repeat), CMD_INSERT_REPEAT, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Loop), CMD_INSERT_LOOP, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Exit), CMD_INSERT_EXIT, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Procedure), CMD_INSERT_PROCEDURE, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Call), CMD_INSERT_CALL, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Function), CMD_INSERT_FUNCTION, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Block), CMD_INSERT_BLOCK, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Frame), CMD_INSERT_FRAME, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Condition), CMD_INSERT_CONDITION, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::And), CMD_INSERT_AND, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Or), CMD_INSERT_OR, false},
    {IDS_SEC_INSERTMENUSTRINGS, key(GenTemplate::Not), CMD_INSERT_NOT, false},
    // Enclose menu
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Then), CMD_ENCLOSE_IF_THEN, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Else), CMD_ENCLOSE_IF_ELSE, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::When), CMD_ENCLOSE_SWITCH_WHEN, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::WhenNone), CMD_ENCLOSE_SWITCH_WHEN_NONE, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Of), CMD_ENCLOSE_CASE_OF, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Otherwise), CMD_ENCLOSE_CASE_OTHERWISE, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::For), CMD_ENCLOSE_FOR, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::While), CMD_ENCLOSE_WHILE, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Repeat), CMD_ENCLOSE_REPEAT, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Loop), CMD_ENCLOSE_LOOP, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Procedure), CMD_ENCLOSE_PROCEDURE, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Function), CMD_ENCLOSE_FUNCTION, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Block), CMD_ENCLOSE_BLOCK, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Frame), CMD_ENCLOSE_FRAME, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::And), CMD_ENCLOSE_AND, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Or), CMD_ENCLOSE_OR, false},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Not), CMD_ENCLOSE_NOT, false},
    // Popups of the Enclose menu, found by a command they hold
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::If), CMD_ENCLOSE_IF_THEN, true},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Switch), CMD_ENCLOSE_SWITCH_WHEN, true},
    {IDS_SEC_ENCLOSEMENUSTRINGS, key(GenTemplate::Case), CMD_ENCLOSE_CASE_OF, true},
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
