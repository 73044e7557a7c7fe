#include "config/language_config.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "config/menu_captions.h"
#include "config/profile.h"
#include "core/host.h"
#include "core/path.h"

LanguageConfig g_languageConfig;

namespace {

constexpr unsigned key(GenTemplate t) {
    return templateNameId(t);
}

struct AvailabilityKey {
    unsigned keyId;
    ConstructType type;
};

constexpr AvailabilityKey kAvailability[] = {
    {key(GenTemplate::Statement), ConstructType::Text},
    {key(GenTemplate::SpecialStatement), ConstructType::SpecialText},
    {key(GenTemplate::If), ConstructType::If},
    {key(GenTemplate::Switch), ConstructType::OnCondition},
    {key(GenTemplate::Case), ConstructType::OnSelector},
    {key(GenTemplate::For), ConstructType::For},
    {key(GenTemplate::While), ConstructType::While},
    {key(GenTemplate::Repeat), ConstructType::Repeat},
    {key(GenTemplate::Loop), ConstructType::Loop},
    {key(GenTemplate::Exit), ConstructType::WhenExit},
    {key(GenTemplate::Procedure), ConstructType::Procedure},
    {key(GenTemplate::Call), ConstructType::Call},
    {key(GenTemplate::Function), ConstructType::Function},
    {key(GenTemplate::Block), ConstructType::Block},
    {key(GenTemplate::Frame), ConstructType::Frame},
    {key(GenTemplate::Condition), ConstructType::KivCond},
    {key(GenTemplate::And), ConstructType::And},
    {key(GenTemplate::Or), ConstructType::Or},
    {key(GenTemplate::Not), ConstructType::Not},
};
static_assert(std::size(kAvailability) == 19);

struct TextKey {
    int slot;
    unsigned keyId;
};

constexpr TextKey kPlaceholderKeys[] = {
    {0, key(GenTemplate::SegmentHeader)},
    {1, key(GenTemplate::ProcedureCall)},
    {2, key(GenTemplate::BlockComment)},
    {3, key(GenTemplate::ProcedureHeader)},
    {4, key(GenTemplate::ForStatement)},
    {5, key(GenTemplate::Expression)},
    {6, key(GenTemplate::Value)},
    {14, key(GenTemplate::Statement)},
    {15, key(GenTemplate::Condition)},
    {17, key(GenTemplate::FrameHeader)},
    {18, key(GenTemplate::FrameFooter)},
    {33, key(GenTemplate::FunctionHeader)},
    {35, key(GenTemplate::SpecialStatement)},
};
static_assert(std::size(kPlaceholderKeys) == 13);

constexpr int kFirstWhenSlot = 77;
constexpr int kFirstOfSlot = 78;
constexpr int kWhenSlot = 9;
constexpr int kOfSlot = 12;

constexpr TextKey kKeywordKeys[] = {
    {0, key(GenTemplate::If)},
    {1, key(GenTemplate::Then)},
    {2, key(GenTemplate::Else)},
    {4, key(GenTemplate::While)},
    {5, key(GenTemplate::Repeat)},
    {6, key(GenTemplate::Until)},
    {7, key(GenTemplate::For)},
    {8, key(GenTemplate::Switch)},
    {9, key(GenTemplate::When)},
    {10, key(GenTemplate::WhenNone)},
    {11, key(GenTemplate::Case)},
    {12, key(GenTemplate::Of)},
    {13, key(GenTemplate::Otherwise)},
    {14, key(GenTemplate::Loop)},
    {15, key(GenTemplate::ExitWhen)},
    {16, key(GenTemplate::Exit)},
    {20, key(GenTemplate::And)},
    {21, key(GenTemplate::Or)},
    {23, key(GenTemplate::Not)},
    {25, key(GenTemplate::Block)},
    {26, key(GenTemplate::Procedure)},
    {75, key(GenTemplate::Function)},
    {kFirstWhenSlot, key(GenTemplate::FirstWhen)},
    {kFirstOfSlot, key(GenTemplate::FirstOf)},
};
static_assert(std::size(kKeywordKeys) == 24);

void setDisplayForm(LanguageConfig& config, int slot) {
    char* display = config.placeholderDisplay[slot];
    const char* text = config.placeholders[slot];
    if (!text[0]) {
        display[0] = 0;
        return;
    }
    // Through a copy: the compiler cannot tell the two fields apart.
    char copy[sizeof config.placeholders[slot]];
    std::snprintf(copy, sizeof copy, "%s", text);
    std::snprintf(display, sizeof config.placeholderDisplay[slot], "<%s>", copy);
    lowerCase(display);
}

// Reads a keyword or placeholder key: false when absent (or empty). A value
// of exactly two apostrophes is the empty text. Reading strips one pair of
// enclosing quotes, so `''` written in the file reads as empty: the raw
// line tells it apart from an empty value.
bool readConfigText(unsigned sectionId, unsigned keyId, const char* path, char (&out)[kConfigTextSize]) {
    out[0] = 0;
    if (readProfileText(sectionId, keyId, "", out, kConfigTextSize, path) > 0) {
        if (std::strcmp(out, "''") == 0) out[0] = 0;
        return true;
    }
    char section[kProfileNameSize];
    char name[kProfileNameSize];
    char raw[kConfigTextSize];
    if (platform::loadString(sectionId, section, sizeof section) <= 0) return false;
    if (platform::loadString(keyId, name, sizeof name) <= 0) return false;
    return readProfileRawValue(section, name, raw, sizeof raw, path) && std::strcmp(raw, "''") == 0;
}

void readAvailability(LanguageConfig& config, const char* path) {
    for (bool& flag : config.available) flag = true;
    config.available[0] = false;
    if (path && *path) {
        for (const AvailabilityKey& entry : kAvailability)
            config.available[typeCode(entry.type)] =
                readProfileBool(entry.keyId, IDS_SEC_AVAILABLECONSTRUCTS, path, 1) != 0;
    }
    if (!config.available[typeCode(ConstructType::OnSelector)])
        config.available[typeCode(ConstructType::OnSelectorBranch)] = false;
    if (!config.available[typeCode(ConstructType::OnCondition)])
        config.available[typeCode(ConstructType::OnConditionBranch)] = false;
}

// Loads one table slot; true when its text changed.
bool loadSlot(char* current, std::size_t size, unsigned sectionId, unsigned keyId, unsigned fallbackKeyId,
              unsigned builtInId, const char* path, bool withDefaults) {
    char text[kConfigTextSize];
    bool present = path && *path && readConfigText(sectionId, keyId, path, text);
    if (!present && fallbackKeyId && path && *path)
        present = readConfigText(sectionId, fallbackKeyId, path, text);
    if (!present) {
        if (!withDefaults) return false;
        platform::loadString(builtInId, text, sizeof text);
    }
    if (std::strcmp(text, current) == 0) return false;
    copyText(current, size, text);
    return true;
}

}  // namespace

void initLanguageConfig(LanguageConfig& config) {
    std::memset(&config, 0, sizeof config);
    for (bool& flag : config.available) flag = true;
    config.available[0] = false;
    for (int slot = 0; slot < kKeywordSlots; ++slot)
        platform::loadString(kKeywordBase + static_cast<unsigned>(slot), config.keywords[slot],
                             kConfigTextSize);
    for (int slot = 0; slot < kPlaceholderSlots; ++slot) {
        platform::loadString(kPlaceholderBase + static_cast<unsigned>(slot), config.placeholders[slot],
                             kConfigTextSize);
        setDisplayForm(config, slot);
    }
}

int loadLanguageConfig(LanguageConfig& config, MenuCaptionTarget* menu, const char* path, bool withDefaults) {
    readAvailability(config, path);
    if (menu) applyMenuCaptions(*menu, path, withDefaults);
    int changed = 0;
    for (const TextKey& entry : kPlaceholderKeys) {
        if (loadSlot(config.placeholders[entry.slot], kConfigTextSize, IDS_SEC_METASTRINGS, entry.keyId, 0,
                     kPlaceholderBase + static_cast<unsigned>(entry.slot), path, withDefaults)) {
            setDisplayForm(config, entry.slot);
            changed |= kPlaceholdersChanged;
        }
    }
    for (const TextKey& entry : kKeywordKeys) {
        unsigned fallbackKey = 0;
        int builtInSlot = entry.slot;
        if (entry.slot == kFirstWhenSlot) {
            fallbackKey = key(GenTemplate::When);
            builtInSlot = kWhenSlot;
        } else if (entry.slot == kFirstOfSlot) {
            fallbackKey = key(GenTemplate::Of);
            builtInSlot = kOfSlot;
        }
        if (loadSlot(config.keywords[entry.slot], kConfigTextSize, IDS_SEC_KEYWORDSTRINGS, entry.keyId,
                     fallbackKey, kKeywordBase + static_cast<unsigned>(builtInSlot), path, withDefaults))
            changed |= kKeywordsChanged;
    }
    return changed;
}

int startLanguageConfig(LanguageConfig& config, MenuCaptionTarget* menu, const char* path) {
    initLanguageConfig(config);
    // Kept as a full path: the profile functions, the plug-ins (which get it
    // in their parameter block) and \%CFG% must not depend on a directory.
    char full[platform::kMaxPath];
    const bool made = path && *path && platform::fullPath(path, full);
    copyText(config.path, sizeof config.path, made ? full : path);
    int changed = loadLanguageConfig(config, menu, config.path, false);
    readGenFileExt(config.path, config.genFileExt);
    return changed;
}

void readGenFileExt(const char* path, char (&out)[kGenFileExtSize]) {
    char ext[kGenFileExtSize] = "";
    if (path && path[0]) readProfileText(IDS_SEC_GENOPTIONS, IDS_KEY_GENFILEEXT, ".src", ext, 256, path);
    if (!ext[0]) copyText(ext, sizeof ext, ".src");
    std::snprintf(out, sizeof out, "%s%.255s", ext[0] == '.' ? "" : ".", ext);
    upperCase(out);
}

bool constructAvailable(const LanguageConfig& config, ConstructType type) {
    int code = typeCode(type);
    return code >= kMinTypeCode && code <= kMaxTypeCode && config.available[code];
}

bool setGenFileExt(LanguageConfig& config, const char* ext) {
    if (!ext || !*ext) return false;
    char value[kGenFileExtSize];
    std::snprintf(value, sizeof value, "%s%.255s", ext[0] == '.' ? "" : ".", ext);
    upperCase(value);
    copyText(config.genFileExt, sizeof config.genFileExt, value);
    return true;
}

int setConfigurationFile(LanguageConfig& config, MenuCaptionTarget* menu) {
    Host* host = currentHost();
    if (!host) return 0;
    // The filter: name and pattern.
    char name[kProfileNameSize];
    char pattern[kProfileNameSize];
    char filter[2 * kProfileNameSize + 2];
    platform::loadString(IDS_CFG_FILTER_NAME, name, sizeof name);
    platform::loadString(IDS_CFG_FILTER_PATTERN, pattern, sizeof pattern);
    std::snprintf(filter, sizeof filter, "%s|%s", name, pattern);
    // Start in the directory of the current file, else the current one.
    char directory[platform::kMaxPath];
    directory[0] = 0;
    if (const std::size_t n = directoryLength(config.path)) {
        std::snprintf(directory, sizeof directory, "%.*s", static_cast<int>(n), config.path);
    } else if (!platform::fullPath(".", directory)) {
        directory[0] = 0;
    }
    char chosen[platform::kMaxPath];
    chosen[0] = 0;
    FileDialogRequest request{};
    request.save = false;
    request.filter = filter;
    request.initialDir = directory[0] ? directory : nullptr;
    request.defaultExt = "cfg";
    request.path = chosen;
    request.pathSize = sizeof chosen;
    if (!host->chooseFile(request) || !chosen[0]) return 0;

    copyText(config.path, sizeof config.path, chosen);
    char ext[kGenFileExtSize];
    readProfileText(IDS_SEC_GENOPTIONS, IDS_KEY_GENFILEEXT, "", ext, 256, config.path);
    int result = kConfigChosen;
    int changed = loadLanguageConfig(config, menu, config.path, true);
    if (changed) result |= kConfigTextsChanged;
    if (changed & kKeywordsChanged) result |= kConfigKeywordsChanged;
    if (setGenFileExt(config, ext)) result |= kConfigExtChanged;
    return result;
}

void readGenOptions(const char* path, GenOptions& options) {
    options.initialIndent = readProfileInt(IDS_SEC_GENOPTIONS, IDS_KEY_INITIALINDENT, 0, path);
    options.maxIndent = readProfileInt(IDS_SEC_GENOPTIONS, IDS_KEY_MAXINDENT, -1, path);
    options.maxLineLength = readProfileInt(IDS_SEC_GENOPTIONS, IDS_KEY_MAXLINELENGTH, -1, path);
    if (options.maxLineLength == 0 || options.maxLineLength <= options.maxIndent) options.maxLineLength = -1;
    options.compressBlanks = readProfileBool(IDS_KEY_COMPRESSBLANKS, IDS_SEC_GENOPTIONS, path, 0) != 0;
    options.oemSource = readSourceFileFormat(path) != 0;
    char section[kProfileNameSize];
    platform::loadString(IDS_SEC_GENOPTIONS, section, sizeof section);
    options.unixLineBreaks = readProfileLineBreak(IDS_KEY_LINEBREAKCODING, section, path, 0) == 1;
}

int readSourceFileFormat(const char* path) {
    int oem = readProfileBool(IDS_KEY_ANSITOOEMCONVERT, IDS_SEC_GENOPTIONS, path, 1);
    char section[kProfileNameSize];
    platform::loadString(IDS_SEC_SETTINGS, section, sizeof section);
    return readProfileCharSet(IDS_KEY_SOURCEFILEFORMAT, section, path, oem);
}
