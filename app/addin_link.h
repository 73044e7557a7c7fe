// The add-in link: the record editor and add-in exchange by WM_COPYDATA
// (data type 0), the checks a request passes before anything of it is
// used, and the add-in's commands of section [AddIn] of the settings.
//
// Record layout. Integers are little-endian; handle, address and parameter
// fields are as wide as an address of the build: the i686 build has the
// add-in's 32-bit layout, the x64 build keeps the field order with those
// fields 8 bytes wide (and 4 bytes of padding after the kind).
//
//   field                      i686 offset/size   x64 offset/size
//   tag "KorrinAddInData"        0 / 32             0 / 32
//   sender's window handle      32 / 4             32 / 8
//   sender's process id         36 / 4             40 / 4
//   sender's thread id          40 / 4             44 / 4
//   reply address (0 = none)    44 / 4             48 / 8
//   kind                        48 / 4             56 / 4
//   parameters 1-4              52 / 4 each        64 / 8 each
//   payload length              68 / 4             96 / 4
//   payload (zero-terminated)   72 / ...          100 / ...
//
// A record is at least 76 (x64: 104) bytes; with a payload it is that size
// plus the payload length. The payload length must lie within the bytes
// received.
//
// Portable: bytes and texts only; the window side is addin_win32.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/commands.h"

enum class AddInLayout : std::uint8_t { bits32, bits64 };

struct AddInLayoutInfo {
    std::size_t window, processId, threadId, reply, kind, params, paramSize, payloadLength, payload, minimum;
    std::size_t handleSize;
};
const AddInLayoutInfo& addInLayoutInfo(AddInLayout layout);
// The layout of this build.
constexpr AddInLayout kNativeAddInLayout = sizeof(void*) == 4 ? AddInLayout::bits32 : AddInLayout::bits64;

// The record of this build, field for field as the table above.
struct AddInRecord {
    char tag[32];
    std::uintptr_t window;
    std::uint32_t processId;
    std::uint32_t threadId;
    std::uintptr_t reply;
    std::uint32_t kind;
    std::uintptr_t params[4];
    std::uint32_t payloadLength;
    char payload[4];
};

constexpr char kAddInTag[] = "KorrinAddInData";

// Notices of the editor.
enum AddInKind : std::uint32_t {
    kAddInStarted = 1,
    kAddInEnded = 2,
    kAddInPositionChanged = 4,
    kAddInCommand = 5,
    kAddInGenerated = 6,
    // Requests of the add-in.
    kAddInClose = 0x80000001u,
    kAddInOpen = 0x80000002u,
    kAddInGoToLine = 0x80000003u,
    kAddInEnableCommand = 0x80000004u,
    kAddInSpecialLines = 0x80000005u,
    kAddInMenuPosition = 0x80000006u,
    kAddInRelatedLine = 0x80000007u,
    kAddInSelectedLine = 0x80000008u,
    kAddInCopySelection = 0x80000009u,
    kAddInCloseDiagram = 0x80000010u,
};

// Sources of an add-in command (parameter 1 of kind 5).
constexpr std::uint32_t kAddInFromMenu = 1, kAddInFromKey = 2, kAddInFromControl = 4, kAddInFromMouse = 8;

// A record's contents, whatever the layout.
struct AddInMessage {
    std::uint64_t window = 0;
    std::uint32_t processId = 0, threadId = 0;
    std::uint64_t reply = 0;
    std::uint32_t kind = 0;
    std::uint64_t params[4] = {};
    std::string payload;  // without the terminating zero
    bool hasPayload = false;
};

// The record bytes of `message` (the payload gets its terminating zero and
// its length counts it).
std::vector<std::uint8_t> encodeAddInRecord(AddInLayout layout, const AddInMessage& message);

// Who the link is with.
struct AddInPeer {
    bool active = false;
    std::uint64_t window = 0;
    std::uint32_t processId = 0;
};

enum class AddInRefusal : std::uint8_t {
    none,
    notLinked,      // no active link
    otherSender,    // the message does not come from the linked window
    wrongDataType,  // the copy-data type is not 0
    tooShort,       // fewer bytes than a record
    noReply,        // reply address 0
    wrongTag,       // the tag is not "KorrinAddInData"
    wrongPeer,      // the record's window or process id is not the link's
    badPayload,     // the payload length runs past the bytes received, or
                    // a text the request needs is not zero-terminated
    unknownKind,    // not a request the editor knows
    badParameters,  // the request's own parameters do not fit
};

// Checks a request (`sender` = the window the message came from, `data`
// and `size` what was received) and reads it into `out`. Nothing is read
// from beyond `size`.
AddInRefusal checkAddInRequest(AddInLayout layout, const AddInPeer& link, std::uint64_t sender,
                               std::uint32_t dataType, const std::uint8_t* data, std::size_t size,
                               AddInMessage& out);

// Request 0x80000005: the diagram's file name and its special lines.
bool specialLinesOf(const AddInMessage& request, std::string& fileName, std::vector<std::uint32_t>& lines);

// ---------------------------------------------------------------------------
// The add-in's commands ([AddIn] of the settings)

constexpr unsigned kAddInFirstCommand = CMD_ADDIN_FIRST, kAddInLastCommand = CMD_ADDIN_LAST;
constexpr int kMaxAddInCommands = 392;
constexpr std::size_t kAddInMenuTextMax = 127;

struct AddInShortcut {
    bool valid = false;
    bool shift = false, ctrl = false, alt = false;
    unsigned functionKey = 0;  // 1-24
    // Shift = 1, Ctrl = 2, Alt = 4.
    unsigned modifiers() const { return (shift ? 1u : 0u) | (ctrl ? 2u : 0u) | (alt ? 4u : 0u); }
};

struct AddInCommand {
    unsigned id = 0;       // CMD_ADDIN_FIRST..CMD_ADDIN_LAST
    std::string menuText;  // "\t" written as the two characters becomes a tab
    AddInShortcut shortcut;
    std::string imageModule;  // tool-bar image: a module (loaded as data) ...
    std::string imageName;    // ... and the image's name in it
    int imageNumber = -1;     // ... or an image number (-1 = none)
    std::string helpText;
    std::string helpFile;
    unsigned helpContext = 0;
    std::string extra;  // the last quoted field
};

// "Ctrl+Shift+F5": modifier words (any case) joined by + before F1-F24; at
// least one modifier.
AddInShortcut parseAddInShortcut(std::string_view text);

// One AddInCmd<n> value; false for an entry that breaks the rules (it is
// skipped).
bool parseAddInCommand(std::string_view value, AddInCommand& out);

// The value of AddInMenu: its quotes removed.
std::string addInMenuTitle(std::string_view value);

// The command of the table that a function key with `modifiers` (Shift 1,
// Ctrl 2, Alt 4) calls, or 0.
unsigned addInCommandForKey(const std::vector<AddInCommand>& commands, unsigned functionKey,
                            unsigned modifiers);

// MouseCmd<n> entries: a quoted click, a comma and the id of an add-in
// command (CMD_ADDIN_FIRST..CMD_ADDIN_LAST), e.g.
//   MouseCmd1="Ctrl+Shift+Left",<id>
//   MouseCmd2="Alt+Double Right",<id>
// The click is modifier words (Ctrl, Shift, Alt, any case; at least one)
// joined by + before the button: Left, Right or Middle, with "Double "
// before it for a double click. Such a click in a diagram window selects
// what a plain click would and then sends kind 5 from the mouse for the
// command. An entry that breaks these rules is skipped.
enum AddInButton : std::uint8_t { kAddInLeft = 1, kAddInRight, kAddInMiddle };
struct AddInMouseCommand {
    unsigned modifiers = 0;  // Shift 1, Ctrl 2, Alt 4
    AddInButton button = kAddInLeft;
    bool doubleClick = false;
    unsigned command = 0;
};
bool parseAddInMouseCommand(std::string_view value, AddInMouseCommand& out);
// The command a click calls, or 0.
unsigned addInCommandForClick(const std::vector<AddInMouseCommand>& commands, AddInButton button,
                              bool doubleClick, unsigned modifiers);

// ---------------------------------------------------------------------------
// Request 0x80000007: the line of a construct related to the construct of
// line `line` of the diagram (0 when there is none):
//   1 the construct itself          5 the first of its sequence
//   2 the construct enclosing it    6 the last of its sequence
//   3 its predecessor               7 the construct of the next generated
//   4 its successor                   line (the next line that has one)

struct DiagramDocument;
enum AddInRelation : unsigned {
    kRelationSelf = 1,
    kRelationEnclosing,
    kRelationPrevious,
    kRelationNext,
    kRelationFirst,
    kRelationLast,
    kRelationNextLine,
};
std::int32_t relatedLine(DiagramDocument* document, long line, unsigned relation);
