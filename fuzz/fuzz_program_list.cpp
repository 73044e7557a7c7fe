// The program list read from an arbitrary settings file: at most 32
// programs with names that are neither empty nor repeated, every program
// with an end condition, and what a save writes reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "tools/program_list.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

const char* tempPath(int which) {
    static char paths[2][platform::kMaxPath];
    if (!paths[which][0]) {
        platform::tempFileName("vrd", paths[which]);
        std::atexit([] {
            platform::deleteFile(paths[0]);
            platform::deleteFile(paths[1]);
        });
    }
    return paths[which];
}

void writeData(const char* path, const std::uint8_t* data, std::size_t size) {
    platform::OpenInfo info;
    platform::FileHandle f = platform::openFile(path, &info, platform::kOpenWrite | platform::kOpenCreate);
    check(f != platform::kInvalidFile);
    if (size) platform::writeFile(f, data, static_cast<std::uint32_t>(size));
    platform::closeFile(f);
}

bool sameEntry(const ProgramEntry& a, const ProgramEntry& b) {
    if (a.patterns.size() != b.patterns.size()) return false;
    for (std::size_t i = 0; i < a.patterns.size(); ++i)
        if (a.patterns[i].in != b.patterns[i].in || a.patterns[i].out != b.patterns[i].out) return false;
    return !std::strcmp(a.name, b.name) && !std::strcmp(a.commandLine, b.commandLine) &&
           !std::strcmp(a.resultFile, b.resultFile) && !std::strcmp(a.progFinishFile, b.progFinishFile) &&
           a.endConditions == b.endConditions && a.saveFile == b.saveFile &&
           a.saveAllFiles == b.saveAllFiles && a.stdOutRedirection == b.stdOutRedirection &&
           a.windowsProgram == b.windowsProgram && a.extensionExchanges == b.extensionExchanges;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    writeData(tempPath(0), data, size);
    ProgramList list;
    loadProgramList(list, tempPath(0));
    check(list.entries.size() <= static_cast<std::size_t>(kMaxPrograms));
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const ProgramEntry& e = list.entries[i];
        check(std::memchr(e.name, 0, sizeof e.name) && std::memchr(e.commandLine, 0, sizeof e.commandLine));
        check(e.name[0] && checkProgramName(list, static_cast<int>(i), e.name) == 0);
        check(e.endConditions != 0);
    }
    writeData(tempPath(1), nullptr, 0);
    check(saveProgramList(list, tempPath(1)) == 1);
    ProgramList back;
    loadProgramList(back, tempPath(1));
    check(back.entries.size() == list.entries.size());
    for (std::size_t i = 0; i < list.entries.size(); ++i) check(sameEntry(list.entries[i], back.entries[i]));
    return 0;
}
