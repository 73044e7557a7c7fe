#include "tools/program_list.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "config/profile.h"
#include "core/path.h"
#include "resources/strings.h"

namespace {

std::string textOf(unsigned id) {
    char text[kProfileNameSize] = {};
    platform::loadString(id, text, sizeof text);
    return text;
}

// The keys of a program's section that hold booleans, with their field.
struct BoolKey {
    unsigned key;
    bool ProgramEntry::*field;
};
constexpr BoolKey kBoolKeys[] = {
    {IDS_KEY_SAVEFILE, &ProgramEntry::saveFile},
    {IDS_KEY_EXPORTFILE, &ProgramEntry::exportFile},
    {IDS_KEY_STDOUTREDIRECTION, &ProgramEntry::stdOutRedirection},
    {IDS_KEY_STDERRREDIRECTION, &ProgramEntry::stdErrRedirection},
    {IDS_KEY_STDINREDIRECTION, &ProgramEntry::stdInRedirection},
    {IDS_KEY_USELONGFILENAMES, &ProgramEntry::useLongFileNames},
    {IDS_KEY_PARSERESULTFILE, &ProgramEntry::parseResultFile},
    {IDS_KEY_SHOWRESULTFILE, &ProgramEntry::showResultFile},
    {IDS_KEY_RESULTISANSI, &ProgramEntry::resultIsAnsi},
    {IDS_KEY_RUNMINIMIZED, &ProgramEntry::runMinimized},
    {IDS_KEY_SHOWFILE, &ProgramEntry::showFile},
    {IDS_KEY_CLOSEFILE, &ProgramEntry::closeFile},
    {IDS_KEY_DONTSHOWRESULTIFEMPTY, &ProgramEntry::dontShowResultIfEmpty},
    {IDS_KEY_TERMINATIONMESSAGE, &ProgramEntry::terminationMessage},
    // Their defaults are the values of SaveFile and ExportFile: read after them.
    {IDS_KEY_SAVEALLFILES, &ProgramEntry::saveAllFiles},
    {IDS_KEY_EXPORTALLFILES, &ProgramEntry::exportAllFiles},
};

struct TextKey {
    unsigned key;
    std::size_t size;
    char* (*field)(ProgramEntry&);
};
#define TEXT_KEY(id, f)                                                           \
    {                                                                             \
        id, sizeof(ProgramEntry::f), [](ProgramEntry& e) -> char* { return e.f; } \
    }
constexpr TextKey kTextKeys[] = {
    TEXT_KEY(IDS_KEY_COMMANDLINE, commandLine),
    TEXT_KEY(IDS_KEY_STDINREDIRTARGET, stdInTarget),
    TEXT_KEY(IDS_KEY_STDOUTREDIRTARGET, stdOutTarget),
    TEXT_KEY(IDS_KEY_STDERRREDIRTARGET, stdErrTarget),
    TEXT_KEY(IDS_KEY_RESULTFILE, resultFile),
    TEXT_KEY(IDS_KEY_WORKINGDIRECTORY, workingDirectory),
    TEXT_KEY(IDS_KEY_REDIRECTIONPROGRAM, redirectionProgram),
    TEXT_KEY(IDS_KEY_SHOWFILENAME, showFileName),
    TEXT_KEY(IDS_KEY_PROGFINISHFILE, progFinishFile),
    TEXT_KEY(IDS_KEY_PROGFINISHEVENT, progFinishEvent),
};
#undef TEXT_KEY

struct EndKey {
    unsigned key;
    unsigned bit;
};
constexpr EndKey kEndKeys[] = {{IDS_KEY_PROGRAMTERMINATION, kEndProgramTermination},
                               {IDS_KEY_FILEEXISTS, kEndFileExists},
                               {IDS_KEY_EVENTSET, kEndEventSet},
                               {IDS_KEY_DDEACKNOWLEDGE, kEndDdeAcknowledge}};

char* textField(ProgramEntry& entry, const TextKey& key) {
    return key.field(entry);
}
const char* textField(const ProgramEntry& entry, const TextKey& key) {
    return key.field(const_cast<ProgramEntry&>(entry));
}

std::string readValue(const std::string& section, const std::string& key, const char* file) {
    std::string value(4096, '\0');
    const std::uint32_t n =
        platform::profileGetString(section.c_str(), key.c_str(), "", value.data(), 4096, file);
    value.resize(n);
    return value;
}

// A value that starts or ends with a quote or a blank would lose them when
// read back: it is written enclosed in apostrophes, which reading removes.
int writeValue(const std::string& section, const std::string& key, const char* value, const char* file) {
    const std::size_t n = std::strlen(value);
    auto kept = [](char c) { return c == '"' || c == '\'' || c == ' ' || c == '\t'; };
    if (n && (kept(value[0]) || kept(value[n - 1])))
        return platform::profileWriteString(section.c_str(), key.c_str(),
                                            ("'" + std::string(value) + "'").c_str(), file);
    return platform::profileWriteString(section.c_str(), key.c_str(), value, file);
}

std::string numberedKey(unsigned keyId, int position) {
    return textOf(keyId) + std::to_string(position);
}

void readEntry(ProgramEntry& e, const char* file) {
    const std::string section = programSection(e.name);
    for (const BoolKey& k : kBoolKeys) {
        bool fallback = e.*k.field;
        if (k.key == IDS_KEY_SAVEALLFILES) fallback = e.saveFile;
        if (k.key == IDS_KEY_EXPORTALLFILES) fallback = e.exportFile;
        e.*k.field = readProfileBoolIn(k.key, section.c_str(), file, fallback ? 1 : 0) != 0;
    }
    for (const TextKey& k : kTextKeys) {
        const std::string value = readValue(section, textOf(k.key), file);
        if (!value.empty() || k.key != IDS_KEY_REDIRECTIONPROGRAM)
            copyText(textField(e, k), k.size, value.c_str());
    }
    e.windowsProgram = equalNoCase(readValue(section, textOf(IDS_KEY_PROGRAMTYPE), file).c_str(),
                                   textOf(IDS_VAL_WINDOWS).c_str());
    unsigned conditions = 0;
    for (const EndKey& k : kEndKeys)
        if (readProfileBoolIn(k.key, section.c_str(), file, k.bit == kEndProgramTermination) != 0)
            conditions |= k.bit;
    // A condition that cannot come true (no file, no event) does not count.
    if (!e.progFinishFile[0]) conditions &= ~kEndFileExists;
    if (!e.progFinishEvent[0]) conditions &= ~kEndEventSet;
    e.endConditions = conditions ? conditions : kEndProgramTermination;
    for (int i = 1;; ++i) {
        std::string in = readValue(section, numberedKey(IDS_KEY_PARSEPATTERN, i), file);
        if (in.empty()) break;
        e.patterns.push_back({std::move(in), readValue(section, numberedKey(IDS_KEY_OUTPATTERN, i), file)});
    }
    for (int i = 1;; ++i) {
        std::string pair = readValue(section, numberedKey(IDS_KEY_EXTENSIONEXCHANGE, i), file);
        if (pair.empty()) break;
        e.extensionExchanges.push_back(std::move(pair));
    }
}

int writeEntry(const ProgramEntry& e, const char* file) {
    const std::string section = programSection(e.name);
    // The section is written anew, so that no pattern of a longer list
    // stays behind.
    platform::profileWriteString(section.c_str(), nullptr, nullptr, file);
    const std::string yes = textOf(IDS_VAL_YES), no = textOf(IDS_VAL_NO);
    int ok = 1;
    auto put = [&](const std::string& key, const char* value) {
        if (!writeValue(section, key, value, file)) ok = 0;
    };
    put(textOf(IDS_KEY_PROGRAMTYPE), textOf(e.windowsProgram ? IDS_VAL_WINDOWS : IDS_VAL_DOS).c_str());
    for (const TextKey& k : kTextKeys) put(textOf(k.key), textField(e, k));
    for (const BoolKey& k : kBoolKeys) put(textOf(k.key), (e.*k.field ? yes : no).c_str());
    for (const EndKey& k : kEndKeys) put(textOf(k.key), (e.endConditions & k.bit ? yes : no).c_str());
    for (std::size_t i = 0; i < e.patterns.size(); ++i) {
        const int n = static_cast<int>(i) + 1;
        put(numberedKey(IDS_KEY_PARSEPATTERN, n), e.patterns[i].in.c_str());
        if (!e.patterns[i].out.empty()) put(numberedKey(IDS_KEY_OUTPATTERN, n), e.patterns[i].out.c_str());
    }
    for (std::size_t i = 0; i < e.extensionExchanges.size(); ++i)
        put(numberedKey(IDS_KEY_EXTENSIONEXCHANGE, static_cast<int>(i) + 1), e.extensionExchanges[i].c_str());
    return ok;
}

bool listed(const ProgramList& list, const char* name) {
    for (const ProgramEntry& e : list.entries)
        if (equalNoCase(e.name, name)) return true;
    return false;
}

// What a name keeps: blanks, tabs and line-end characters at its ends
// would be lost in the settings file.
std::string trimmed(const char* name) {
    constexpr const char* kEnds = " \t\n\v\f\r\x1a";
    std::string text = name ? name : "";
    const std::size_t first = text.find_first_not_of(kEnds);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(kEnds) - first + 1);
}

}  // namespace

void initProgramEntry(ProgramEntry& e) {
    e = ProgramEntry{};
    e.useLongFileNames = true;
    e.endConditions = kEndProgramTermination;
    copyText(e.redirectionProgram, textOf(IDS_VAL_KORRIN_RE).c_str());
}

std::string programSection(const char* name) {
    return textOf(IDS_SEC_PROGRAM_PREFIX) + (name ? name : "");
}

void loadProgramList(ProgramList& list, const char* iniFile) {
    list = ProgramList{};
    list.patternMatching = readProfileBool(IDS_KEY_PATTERNMATCHING, IDS_SEC_SETTINGS, iniFile, 0) != 0;
    const std::string section = textOf(IDS_SEC_PROGRAMS);
    for (int i = 1; static_cast<int>(list.entries.size()) < kMaxPrograms; ++i) {
        const std::string name =
            trimmed(readValue(section, numberedKey(IDS_KEY_PROGRAM, i), iniFile).c_str());
        if (name.empty()) break;
        ProgramEntry entry;
        initProgramEntry(entry);
        copyText(entry.name, trimmed(name.substr(0, kProgramNameSize - 1).c_str()).c_str());
        // A repeated name has the first one's section; a name with brackets
        // cannot have a section of its own.
        if (listed(list, entry.name) || std::strpbrk(entry.name, "[]")) continue;
        readEntry(entry, iniFile);
        list.entries.push_back(std::move(entry));
    }
}

int saveProgramList(const ProgramList& list, const char* iniFile) {
    const std::string section = textOf(IDS_SEC_PROGRAMS);
    int ok = 1;
    for (int i = 1;; ++i) {
        const std::string key = numberedKey(IDS_KEY_PROGRAM, i);
        const std::string name = trimmed(readValue(section, key, iniFile).c_str());
        if (name.empty()) break;
        if (!platform::profileWriteString(section.c_str(), key.c_str(), nullptr, iniFile)) ok = 0;
        if (!listed(list, name.c_str()))
            platform::profileWriteString(programSection(name.c_str()).c_str(), nullptr, nullptr, iniFile);
    }
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const ProgramEntry& e = list.entries[i];
        if (!writeValue(section, numberedKey(IDS_KEY_PROGRAM, static_cast<int>(i) + 1), e.name, iniFile))
            ok = 0;
        if (!writeEntry(e, iniFile)) ok = 0;
    }
    return ok;
}

unsigned checkProgramName(const ProgramList& list, int self, const char* name) {
    const std::string text = trimmed(name);
    if (text.empty()) return IDS_PROGRAM_NAME_MISSING;
    if (text.find_first_of("[]") != std::string::npos) return IDS_PROGRAM_NAME_BRACKETS;
    for (std::size_t i = 0; i < list.entries.size(); ++i)
        if (static_cast<int>(i) != self && equalNoCase(list.entries[i].name, text.c_str()))
            return IDS_PROGRAM_NAME_NOT_UNIQUE;
    return 0;
}

unsigned checkRedirection(const ProgramEntry& e, unsigned* detail) {
    const struct {
        bool on;
        const char* target;
        unsigned stream;
    } streams[] = {{e.stdInRedirection, e.stdInTarget, IDS_STREAM_STDIN},
                   {e.stdOutRedirection, e.stdOutTarget, IDS_STREAM_STDOUT},
                   {e.stdErrRedirection, e.stdErrTarget, IDS_STREAM_STDERR}};
    for (const auto& s : streams)
        if (s.on && trimmed(s.target).empty()) {
            if (detail) *detail = s.stream;
            return IDS_REDIRECTION_FILE_MISSING;
        }
    return 0;
}

unsigned checkEndConditions(unsigned conditions, const char* finishFile, const char* finishEvent) {
    if (!(conditions & kEndAll)) return IDS_NO_END_CONDITION;
    if ((conditions & kEndFileExists) && trimmed(finishFile).empty()) return IDS_FINISH_FILE_MISSING;
    if ((conditions & kEndEventSet) && trimmed(finishEvent).empty()) return IDS_FINISH_EVENT_MISSING;
    return 0;
}

std::string executeMenuText(const ProgramEntry& entry, int index) {
    auto word = [](unsigned id) {
        std::string text = textOf(id);
        for (std::size_t i = 1; i < text.size(); ++i)
            if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] - 'A' + 'a');
        return text + "+";
    };
    std::string text = std::string(entry.name) + "\t" + word(IDS_WORD_CTRL);
    const int group = index / 10;
    if (group == 1 || group == 3) text += word(IDS_WORD_SHIFT);
    if (group >= 2) text += word(IDS_WORD_ALT);
    return text + static_cast<char>('0' + (index + 1) % 10);
}

bool moveProgram(ProgramList& list, int from, int to) {
    const int n = static_cast<int>(list.entries.size());
    if (from < 0 || from >= n || to < 0 || to >= n) return false;
    ProgramEntry moved = std::move(list.entries[static_cast<std::size_t>(from)]);
    list.entries.erase(list.entries.begin() + from);
    list.entries.insert(list.entries.begin() + to, std::move(moved));
    return true;
}

bool removeProgram(ProgramList& list, int index) {
    if (index < 0 || index >= static_cast<int>(list.entries.size())) return false;
    list.entries.erase(list.entries.begin() + index);
    return true;
}
