// Loading the editor's settings from an arbitrary file: every value stays
// inside its field, open tool windows have usable rectangles, a stored
// device mode describes itself, and what a save writes loads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/settings.h"
#include "fuzz/fuzz_files.h"
#include "platform/platform.h"

namespace {

using fuzz_files::check;
using fuzz_files::tempPath;
using fuzz_files::writeData;

template <std::size_t N>
bool terminated(const char (&text)[N]) {
    return strnlen(text, N) < N;
}

void checkLoaded(const FrameSettings& s) {
    check(terminated(s.configurationFile) && terminated(s.externalEditor) && terminated(s.sourceFileEditor) &&
          terminated(s.errFileEditor) && terminated(s.window.projectName) &&
          terminated(s.window.projectPath));
    for (const DirectoryMask& p : s.pairs) {
        check(terminated(p.directory) && terminated(p.mask));
        check(p.mask[0] != 0);
        check(!std::strchr(p.mask, '/') && !std::strchr(p.mask, '\\'));
    }
    for (const ToolWindowPlace& place : s.places)
        if (place.open) check(place.rect.right > place.rect.left && place.rect.bottom > place.rect.top);
    check(s.defaultEditor != 2 || s.externalEditor[0]);
    check(s.etfFileFormat == 0 || s.etfFileFormat == 1);
    check((s.printer.devMode == nullptr) == (s.printer.devModeSize == 0));
    check(s.printer.devModeSize <= kMaxDevModeSize);
    check(terminated(s.network.lockDrives) && terminated(s.network.unlockDrives));
}

// Equal, except that a line break inside a value is written as a blank.
bool sameText(const char* written, const char* read) {
    for (;; ++written, ++read) {
        char w = *written == '\r' || *written == '\n' ? ' ' : *written;
        if (w != *read) return false;
        if (!w) return true;
    }
}

bool sameRect(const SettingsRect& a, const SettingsRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    const char* input = tempPath(0);
    const char* output = tempPath(1);
    writeData(input, data, size);

    static FrameSettings first;
    static FrameSettings second;
    freeFrameSettings(first);
    initFrameSettings(first);
    loadSettings(first, input, SettingsLoadOptions{}, SettingsHooks{});
    checkLoaded(first);
    RecentFiles recent;
    loadRecentFiles(recent, input);
    check(recent.open.length >= 0 && recent.open.length <= kRecentMax &&
          recent.open.count <= recent.open.length);
    check(recent.insert.length >= 0 && recent.insert.length <= kRecentMax);
    check(recent.help.count <= kRecentMax);

    // Save everything into an empty file and load it again.
    writeData(output, nullptr, 0);
    for (int i = 0; i < kToolWindowCount; ++i)
        first.window.toolWindows[i] = first.places[i].open ? static_cast<std::uintptr_t>(i + 1) : 0;
    SaveSettingsRequest request;
    initSaveSettingsRequest(first, request);
    check(writeSettings(first, request, output, SettingsHooks{}) == 1);
    freeFrameSettings(second);
    initFrameSettings(second);
    loadSettings(second, output, SettingsLoadOptions{}, SettingsHooks{});
    checkLoaded(second);
    for (int i = 0; i < kPathPairCount; ++i) {
        check(sameText(first.pairs[i].directory, second.pairs[i].directory));
        check(sameText(first.pairs[i].mask, second.pairs[i].mask));
    }
    for (int i = 0; i < kToolWindowCount; ++i) {
        check(first.places[i].open == second.places[i].open);
        check(sameRect(first.places[i].rect, second.places[i].rect));
    }
    check(sameText(first.externalEditor, second.externalEditor));
    check(sameText(first.sourceFileEditor, second.sourceFileEditor));
    check(sameText(first.configurationFile, second.configurationFile));
    check(first.defaultEditor == second.defaultEditor && first.openType == second.openType);
    check(first.window.repeat == second.window.repeat && first.window.toolBar == second.window.toolBar);
    check(sameRect(first.multiLineEdit, second.multiLineEdit) &&
          sameRect(first.singleLineEdit, second.singleLineEdit));
    return 0;
}
