// The programs of the Execute menu: their records, their sections in the
// settings file, the checks of the settings dialogs and the menu texts.
//
// The settings file lists the programs in section "Programs" as Program1,
// Program2, ... (read until the first empty one, at most 32); each program
// keeps its keys in a section of its own, "Program-<name>". Saving removes
// the sections of programs no longer in the list.
//
// Portable: profile access by string ids (config/profile.h), no windows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

constexpr int kMaxPrograms = 32;
constexpr int kProgramNameSize = 32;   // 31 characters
constexpr int kCommandLineSize = 129;  // the template; 128 characters
constexpr int kToolPathSize = static_cast<int>(platform::kMaxPath);

// What marks the end of a run (several may be chosen: the first that holds
// ends it).
enum EndCondition : unsigned {
    kEndProgramTermination = 0x1,  // the started process has ended
    kEndFileExists = 0x2,          // the finish file has appeared
    kEndEventSet = 0x4,            // the named finish event is signalled
    kEndDdeAcknowledge = 0x8,      // "AppTermMsg" reached the frame
    kEndAll = 0xF,
};

// An input pattern of the result file and its optional output pattern.
struct ParsePatternPair {
    std::string in;
    std::string out;
};

struct ProgramEntry {
    char name[kProgramNameSize];
    bool windowsProgram;  // ProgramType "Windows" (else "DOS")
    char commandLine[kCommandLineSize];
    bool saveFile;        // generate the diagram's source first
    bool exportFile;      // export the diagram first
    bool saveAllFiles;    // generate every open diagram first
    bool exportAllFiles;  // export every open diagram first
    bool stdOutRedirection, stdErrRedirection, stdInRedirection;
    char stdInTarget[kToolPathSize];
    char stdOutTarget[kToolPathSize];  // "%TEMP%": a temporary file
    char stdErrTarget[kToolPathSize];
    bool useLongFileNames;
    char resultFile[kToolPathSize];  // "%STDOUT%" / "%STDERR%": the stream's file
    bool parseResultFile;
    char workingDirectory[kToolPathSize];  // empty: the generate directory
    char redirectionProgram[kToolPathSize];
    bool showResultFile;
    bool resultIsAnsi;
    bool runMinimized;
    bool showFile;
    char showFileName[kToolPathSize];
    bool closeFile;  // close the active diagram before the program runs
    bool dontShowResultIfEmpty;
    bool terminationMessage;
    unsigned endConditions;  // EndCondition bits, never 0
    char progFinishFile[kToolPathSize];
    char progFinishEvent[kToolPathSize];
    std::vector<ParsePatternPair> patterns;
    std::vector<std::string> extensionExchanges;  // "ext,ext"
};

struct ProgramList {
    std::vector<ProgramEntry> entries;  // at most kMaxPrograms
    bool patternMatching = false;
};

// Every field at its default.
void initProgramEntry(ProgramEntry& entry);

// Reads PatternMatching of section "Settings", the list and every
// program's section. A 33rd name and names that repeat one before them
// (sections compare without regard to case) are left out. A program whose
// end conditions are all off, or whose only conditions lack their file or
// event, ends with its process.
void loadProgramList(ProgramList& list, const char* iniFile);

// Removes every numbered Program key (up to the first empty one), deletes
// the section of every removed name no longer in the list, then writes the
// list and every program's section anew. 1 when every write succeeded.
int saveProgramList(const ProgramList& list, const char* iniFile);

// The name of a program's section: "Program-" and the name.
std::string programSection(const char* name);

// The checks of the settings dialogs: 0 when fine, else the message id
// (with `detail` the id of the text its %s takes, or 0).
//   IDS_PROGRAM_NAME_MISSING, IDS_PROGRAM_NAME_BRACKETS (the name is part
//   of a section name), IDS_PROGRAM_NAME_NOT_UNIQUE (compared as
//   sections compare: without regard to case; `self` is the entry's own
//   position, -1 for a new one)
unsigned checkProgramName(const ProgramList& list, int self, const char* name);
//   IDS_REDIRECTION_FILE_MISSING (detail: the stream's name)
unsigned checkRedirection(const ProgramEntry& entry, unsigned* detail);
//   IDS_NO_END_CONDITION, IDS_FINISH_FILE_MISSING, IDS_FINISH_EVENT_MISSING
unsigned checkEndConditions(unsigned conditions, const char* finishFile, const char* finishEvent);

// The text of the Execute item of program `index` (from 0): the name, a
// tab and the shortcut - "Ctrl+", "Ctrl+Shift+", "Ctrl+Alt+" or
// "Ctrl+Shift+Alt+" by tens, then the digit (index + 1) modulo 10. The
// modifier words come from strings 905-907 with only their first letter
// in capitals.
std::string executeMenuText(const ProgramEntry& entry, int index);

// List editing of the program list dialog. False when not possible.
bool moveProgram(ProgramList& list, int from, int to);
bool removeProgram(ProgramList& list, int index);
