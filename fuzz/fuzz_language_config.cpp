// Loading a language configuration from an arbitrary file: availability,
// menu captions, keyword and placeholder texts, generation options and
// templates. Every text must stay inside its slot and the display forms and
// dependent availability rules must hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/language_config.h"
#include "config/menu_captions.h"
#include "config/profile.h"
#include "fuzz/fuzz_files.h"
#include "platform/platform.h"

namespace {

using fuzz_files::check;

struct CountingMenu : MenuCaptionTarget {
    bool freshCaption(unsigned command, bool, char* out, int size) override {
        std::snprintf(out, static_cast<std::size_t>(size), "&Fresh %u&", command);
        return command % 2 == 0;
    }
    bool setCaption(unsigned, bool, const char* text) override {
        // Only the first '&' survives.
        const char* amp = std::strchr(text, '&');
        check(!amp || !std::strchr(amp + 1, '&'));
        check(std::strlen(text) < kProfileNameSize);
        return true;
    }
};

void checkConfig(const LanguageConfig& c) {
    for (const auto& text : c.keywords) check(strnlen(text, sizeof text) < sizeof text);
    for (int slot = 0; slot < kPlaceholderSlots; ++slot) {
        const char* text = c.placeholders[slot];
        const char* display = c.placeholderDisplay[slot];
        check(strnlen(text, kConfigTextSize) < kConfigTextSize);
        check(strnlen(display, sizeof c.placeholderDisplay[slot]) < sizeof c.placeholderDisplay[slot]);
        std::size_t n = std::strlen(text);
        check(n ? std::strlen(display) == n + 2 && display[0] == '<' && display[n + 1] == '>' : !display[0]);
    }
    if (!c.available[typeCode(ConstructType::OnSelector)])
        check(!c.available[typeCode(ConstructType::OnSelectorBranch)]);
    if (!c.available[typeCode(ConstructType::OnCondition)])
        check(!c.available[typeCode(ConstructType::OnConditionBranch)]);
    check(strnlen(c.genFileExt, sizeof c.genFileExt) < sizeof c.genFileExt);
    check(c.genFileExt[0] == '.');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    const char* path = fuzz_files::tempPath(0);
    fuzz_files::writeData(path, data, size);

    static LanguageConfig config;
    CountingMenu menu;
    startLanguageConfig(config, &menu, path);
    checkConfig(config);
    // Loading the same file again changes nothing.
    check(loadLanguageConfig(config, &menu, path, false) == 0);
    loadLanguageConfig(config, &menu, path, true);
    checkConfig(config);
    check(loadLanguageConfig(config, nullptr, path, true) == 0);

    GenOptions options;
    readGenOptions(path, options);
    check(options.maxLineLength == -1 || options.maxLineLength > options.maxIndent);
    static char value[1024];
    for (int t = 0; t < kTemplateCount; ++t) {
        int n = readProfileText(IDS_SEC_GENSTRINGS, templateNameId(t), "\\@", value, sizeof value, path);
        check(n >= 0 && n < static_cast<int>(sizeof value) && value[n] == 0);
    }
    return 0;
}
