// The command vocabulary of the editor and the one dispatch table.
//
// Every menu item, accelerator, bar button and context-menu entry is a
// numbered command, named in resources/commands.def (CMD_FILE_SAVE ...).
// Each command belongs to an owner, the part of the editor that carries it
// out; the dispatch table holds one handler per owner. A
// command whose owner has no handler is not available: the frame greys its
// menu item and bar button, and a request for it does nothing. The frame
// installs its own handler at start; the other owners are installed by
// their parts with setCommandRoute.
//
// Portable: no window-system calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/commands.h"

enum class CommandOwner : std::uint8_t {
    frame,          // the frame itself: options, windows, help, exit, recent files
    document,       // new, open, close, insert file, short information; open by name
    save,           // save, save as, save all
    generator,      // generate, generate as, generate all, batch conversion
    exporter,       // export, export as
    configuration,  // language configuration file
    settings,       // save settings
    layout,         // layout and fonts
    view,           // segment windows, navigation, overview, structure list, go to line
    edit,           // construct editing, insertion, default action
    undo,           // undo
    clipboard,      // cut, copy and paste of constructs
    text,           // text editing in constructs
    search,         // search and replace
    tools,          // the Execute programs and their settings
    result,         // the result window
    print,          // printing, printer setup, page preview
    addIn,          // commands of a connected add-in
    fileTransfer,   // the outside file-transfer library
    browser,        // the outside cross-reference browser
    count
};
constexpr int kCommandOwnerCount = static_cast<int>(CommandOwner::count);

struct CommandInfo {
    std::uint16_t first;  // a range of commands (first == last for one)
    std::uint16_t last;
    CommandOwner owner;
};

// The table, ascending by first command.
const CommandInfo* commandTable(std::size_t* count);
// The entry of `command`, or null for a number that is no command.
const CommandInfo* findCommand(unsigned command);

// Flags of a request.
enum CommandFlags : unsigned {
    kFromAccelerator = 0x01,    // a key (accelerator or navigation) sent it
    kFromBatch = 0x02,          // a batch option of the command line
    kFromToolbox = 0x04,        // a toolbox button
    kIntoNewWindow = 0x08,      // open: into a new window
    kIntoCurrentWindow = 0x10,  // open: into the current window (a document in it is closed first)
    kClearReadOnly = 0x20,      // save: clear the document's read-only mark first
    kReadOnly = 0x40,           // open: read-only
    kRecreateFont = 0x80,       // screen and printer font: re-create the font (settings changed)
    kBatchConversion = 0x100,   // generate all: the batch conversion of the command line
    kCheckOnDisk = 0x200,       // open: check the open documents for changes on disk
    kFromControl = 0x400,       // a control (a tool-bar or toolbox button) sent it
};

// A command with what it acts on. `path` names a file to act on without a
// dialog (open, insert, a batch target); `number` and `text` carry a line
// number or a structure-list type and its text.
struct CommandRequest {
    unsigned command = 0;
    unsigned flags = 0;
    const char* path = nullptr;
    long number = 0;
    const char* text = nullptr;
};

// A handler returns true when the command was carried out.
using CommandHandler = bool (*)(const CommandRequest& request);

// The dispatch table: one handler per owner (null = not available).
void setCommandRoute(CommandOwner owner, CommandHandler handler);
CommandHandler commandRoute(CommandOwner owner);
void clearCommandRoutes();

// Whether `command` is known and its owner has a handler.
bool commandAvailable(unsigned command);

enum class DispatchResult { done, failed, unavailable, unknown, outOfMemory };

// Hands the request to its owner's handler.
DispatchResult routeCommand(const CommandRequest& request);

// The memory guard: the free memory (KB) a command needs before it runs.
constexpr unsigned kCommandMemoryLarge = 50;
constexpr unsigned kCommandMemorySmall = 10;
unsigned commandMemoryNeeded(unsigned command);

// The frame's dispatch: the memory guard with `freeKb`, then the route.
// After the command, a lack of memory (the guard, or a job that ran out and
// raised the job-cancelled flag) is reported once with IDS_OUT_OF_MEMORY
// and the flags are cleared.
DispatchResult dispatchCommand(const CommandRequest& request, std::uint64_t freeKb);

// ---------------------------------------------------------------------------
// Status-line help for a menu item.

enum class StatusHelpKind { none, string, addInName, addInCommand };
struct StatusHelp {
    StatusHelpKind kind;
    unsigned id;  // string id, or the add-in command
};
// The help the command table names for `item`; Save of a document embedded
// in a container (`embedded`) has a text of its own, the add-in's items
// take theirs from the add-in.
StatusHelp statusHelpFor(unsigned item, bool embedded);

// Whether `command` is one of the text-input commands (the bars and the
// context menu of an edit in progress).
constexpr bool isTextInputCommand(unsigned command) {
    return command >= CMD_TEXT_DELETE && command <= CMD_TEXT_HELP_ON_WORD;
}

// ---------------------------------------------------------------------------
// The commands of the main menu resource (resources/main_menu.def), in menu
// order (popups left out; the dynamic parts - Execute programs, MDI list,
// recent files, add-in commands - too).
const std::uint16_t* mainMenuCommands(std::size_t* count);
