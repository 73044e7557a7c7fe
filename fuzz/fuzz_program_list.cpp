// The program list read from an arbitrary settings file: at most 32
// programs with names that are neither empty nor repeated, every program
// with an end condition, and what a save writes reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_files.h"
#include "platform/platform.h"
#include "tools/program_list.h"

namespace {

using fuzz_files::check;
using fuzz_files::tempPath;
using fuzz_files::writeData;

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
