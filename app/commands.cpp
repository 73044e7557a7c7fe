#include "app/commands.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "core/host.h"
#include "core/outcome.h"
#include "resources/strings.h"

namespace {

using O = CommandOwner;

struct CommandRow {
    CommandInfo info;
    unsigned help;  // string id of the status-line help (0 = none)
};

constexpr CommandRow kCommands[] = {
#define KCMD(name, id, owner, help) {{name, name, O::owner}, help},
#define KCMD_RANGE(name, first, last, owner, help) {{name##_FIRST, name##_LAST, O::owner}, help},
#define KCMD_NAMED(name, id, help)
#include "resources/commands.def"
#undef KCMD
#undef KCMD_RANGE
#undef KCMD_NAMED
};

// The named commands inside a range, with their own help.
struct NamedRow {
    unsigned id;
    unsigned help;
};
constexpr NamedRow kNamed[] = {
#define KCMD(name, id, owner, help)
#define KCMD_RANGE(name, first, last, owner, help)
#define KCMD_NAMED(name, id, help) {name, help},
#include "resources/commands.def"
#undef KCMD
#undef KCMD_RANGE
#undef KCMD_NAMED
};

constexpr bool ascending() {
    for (std::size_t i = 0; i < std::size(kCommands); ++i) {
        if (kCommands[i].info.first > kCommands[i].info.last) return false;
        if (i > 0 && kCommands[i - 1].info.last >= kCommands[i].info.first) return false;
    }
    return true;
}
static_assert(ascending(), "command ranges ascend and do not overlap");

constexpr auto infoTable() {
    std::array<CommandInfo, std::size(kCommands)> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = kCommands[i].info;
    return table;
}
constexpr auto kInfo = infoTable();

// The recent-file commands are the frame's, but they open and insert
// through the document.
CommandOwner secondOwner(const CommandInfo& info) {
    return info.first == CMD_RECENT_OPEN_FIRST || info.first == CMD_RECENT_INSERT_FIRST ? O::document
                                                                                        : O::count;
}

// Commands that need 50 KB of free memory; all others 10 KB.
constexpr std::uint16_t kLargeMemoryCommands[] = {
    CMD_FILE_OPEN,
    CMD_FILE_PRINT,
    CMD_FILE_PRINTER_SETUP,
    CMD_FILE_GENERATE,
    CMD_FILE_GENERATE_AS,
    CMD_FILE_GENERATE_ALL,
    CMD_FILE_TRANSFER,
    CMD_FILE_LAYOUT,
    CMD_FILE_SCREEN_FONT,
    CMD_FILE_PRINTER_FONT,
    CMD_EDIT_TEXT,
    CMD_EDIT_WINDOW,
    CMD_EDIT_EXTERNAL,
    CMD_EDIT_SEARCH,
    CMD_EDIT_CONTINUE_SEARCH,
    CMD_EDIT_COPY,
    CMD_EDIT_DUPLICATE,
    CMD_CLIPBOARD_CUT,
    CMD_CLIPBOARD_COPY,
    CMD_CLIPBOARD_PASTE,
    CMD_CLIPBOARD_PASTE_FREE_FORMAT,
    CMD_EDIT_PUSH_DOWN,
    CMD_EDIT_PULL_UP,
    CMD_FILE_SHORT_INFO_COMPANION,
    CMD_VIEW_DOWN,
    CMD_VIEW_LINE,
    CMD_VIEW_PROCEDURE,
    CMD_OPTIONS_OVERVIEW,
    CMD_OPTIONS_PAGE_PREVIEW,
    CMD_OPTIONS_STRUCTURE_LIST,
};

constexpr std::uint16_t kMainMenu[] = {
#define MENU_POPUP(text, popup)
#define MENU_ITEM(text, command) command,
#define MENU_ITEM_GRAYED(text, command) command,
#define MENU_SEPARATOR
#define MENU_END
#include "resources/main_menu.def"
#undef MENU_POPUP
#undef MENU_ITEM
#undef MENU_ITEM_GRAYED
#undef MENU_SEPARATOR
#undef MENU_END
};

CommandHandler g_routes[kCommandOwnerCount] = {};
bool g_outOfMemory = false;

const CommandRow* findRow(unsigned command) {
    const CommandRow* end = std::end(kCommands);
    const CommandRow* hit =
        std::upper_bound(std::begin(kCommands), end, command,
                         [](unsigned c, const CommandRow& row) { return c < row.info.first; });
    if (hit == std::begin(kCommands)) return nullptr;
    --hit;
    return command <= hit->info.last ? hit : nullptr;
}

bool routed(CommandOwner owner) {
    return owner == CommandOwner::count || g_routes[static_cast<int>(owner)] != nullptr;
}

}  // namespace

const CommandInfo* commandTable(std::size_t* count) {
    if (count) *count = kInfo.size();
    return kInfo.data();
}

const CommandInfo* findCommand(unsigned command) {
    const CommandRow* row = findRow(command);
    return row ? &kInfo[static_cast<std::size_t>(row - std::begin(kCommands))] : nullptr;
}

void setCommandRoute(CommandOwner owner, CommandHandler handler) {
    if (owner < CommandOwner::count) g_routes[static_cast<int>(owner)] = handler;
}

CommandHandler commandRoute(CommandOwner owner) {
    return owner < CommandOwner::count ? g_routes[static_cast<int>(owner)] : nullptr;
}

void clearCommandRoutes() {
    for (auto& route : g_routes) route = nullptr;
}

bool commandAvailable(unsigned command) {
    const CommandRow* row = findRow(command);
    return row && routed(row->info.owner) && routed(secondOwner(row->info));
}

DispatchResult routeCommand(const CommandRequest& request) {
    const CommandRow* row = findRow(request.command);
    if (!row) return DispatchResult::unknown;
    if (!routed(row->info.owner) || !routed(secondOwner(row->info))) return DispatchResult::unavailable;
    CommandHandler handler = g_routes[static_cast<int>(row->info.owner)];
    return handler(request) ? DispatchResult::done : DispatchResult::failed;
}

unsigned commandMemoryNeeded(unsigned command) {
    for (std::uint16_t c : kLargeMemoryCommands)
        if (c == command) return kCommandMemoryLarge;
    return kCommandMemorySmall;
}

DispatchResult dispatchCommand(const CommandRequest& request, std::uint64_t freeKb) {
    DispatchResult result;
    if (freeKb < commandMemoryNeeded(request.command)) {
        g_outOfMemory = true;
        result = DispatchResult::outOfMemory;
    } else {
        result = routeCommand(request);
    }
    if (g_outOfMemory || g_outcome.jobCancelled) {
        g_outOfMemory = false;
        g_outcome.jobCancelled = false;
        showMessage(IDS_OUT_OF_MEMORY, kBoxDefault);
    }
    return result;
}

StatusHelp statusHelpFor(unsigned item, bool embedded) {
    if (item == 0) return {StatusHelpKind::none, 0};
    if (item == CMD_FILE_SAVE && embedded) return {StatusHelpKind::string, IDS_HELP_FILE_UPDATE};
    if (item == CMD_ADDIN_NAME) return {StatusHelpKind::addInName, item};
    if (item >= CMD_ADDIN_FIRST && item <= CMD_ADDIN_LAST) return {StatusHelpKind::addInCommand, item};
    for (const NamedRow& named : kNamed)
        if (named.id == item && named.help) return {StatusHelpKind::string, named.help};
    const CommandRow* row = findRow(item);
    if (row && row->help) return {StatusHelpKind::string, row->help};
    return {StatusHelpKind::none, 0};
}

const std::uint16_t* mainMenuCommands(std::size_t* count) {
    if (count) *count = std::size(kMainMenu);
    return kMainMenu;
}
