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
    // A second owner the command relies on (count = none): the recent-file
    // commands are the frame's, but open and insert through the document.
    CommandOwner needs;
};

constexpr CommandRow kCommands[] = {
    {{200, 211, O::view}, O::count},  // navigation with Scroll Lock on
    {{250, 298, O::view}, O::count},  // navigation
    {{2200, 2200, O::document}, O::count},
    {{2205, 2205, O::document}, O::count},
    {{2207, 2207, O::document}, O::count},
    {{2210, 2210, O::save}, O::count},
    {{2220, 2220, O::save}, O::count},
    {{2222, 2222, O::save}, O::count},
    {{2225, 2225, O::print}, O::count},
    {{2230, 2230, O::print}, O::count},
    {{2235, 2235, O::generator}, O::count},
    {{2240, 2240, O::generator}, O::count},
    {{2245, 2245, O::generator}, O::count},
    {{2250, 2250, O::exporter}, O::count},
    {{2255, 2255, O::exporter}, O::count},
    {{2260, 2260, O::fileTransfer}, O::count},
    {{2270, 2270, O::result}, O::count},
    {{2272, 2274, O::layout}, O::count},
    {{2275, 2275, O::document}, O::count},
    {{2280, 2280, O::frame}, O::count},
    {{2310, 2310, O::undo}, O::count},
    {{2320, 2320, O::text}, O::count},
    {{2323, 2323, O::text}, O::count},
    {{2325, 2325, O::text}, O::count},
    {{2328, 2329, O::edit}, O::count},
    {{2330, 2330, O::search}, O::count},
    {{2334, 2335, O::search}, O::count},
    {{2340, 2340, O::edit}, O::count},
    {{2350, 2350, O::edit}, O::count},
    {{2360, 2360, O::edit}, O::count},
    {{2365, 2365, O::edit}, O::count},
    {{2370, 2381, O::text}, O::count},
    {{2382, 2382, O::frame}, O::count},  // help on editing: F1 to the frame
    {{2383, 2383, O::text}, O::count},
    {{2461, 2506, O::edit}, O::count},  // enclose
    {{2600, 2600, O::edit}, O::count},
    {{2610, 2610, O::clipboard}, O::count},
    {{2620, 2620, O::clipboard}, O::count},
    {{2630, 2630, O::clipboard}, O::count},
    {{2640, 2640, O::clipboard}, O::count},
    {{2670, 2670, O::edit}, O::count},
    {{2680, 2680, O::edit}, O::count},
    {{2690, 2690, O::edit}, O::count},
    {{3000, 5400, O::edit}, O::count},  // construct insertion
    {{5500, 5500, O::document}, O::count},
    {{5505, 5505, O::document}, O::count},
    {{6000, 6000, O::view}, O::count},
    {{6100, 6100, O::view}, O::count},
    {{6200, 6200, O::view}, O::count},
    {{6300, 6300, O::view}, O::count},
    {{6320, 6320, O::browser}, O::count},
    {{6330, 6330, O::browser}, O::count},
    {{6350, 6350, O::view}, O::count},
    {{6400, 6400, O::view}, O::count},
    {{6401, 6406, O::frame}, O::count},  // arranging and closing windows
    {{7100, 7100, O::frame}, O::count},
    {{7300, 7300, O::frame}, O::count},
    {{7400, 7400, O::frame}, O::count},
    {{7500, 7500, O::view}, O::count},
    {{7505, 7505, O::print}, O::count},
    {{7510, 7510, O::view}, O::count},
    {{7520, 7520, O::frame}, O::count},
    {{7525, 7525, O::frame}, O::count},
    {{7530, 7530, O::fileTransfer}, O::count},
    {{7540, 7540, O::browser}, O::count},
    {{7570, 7570, O::configuration}, O::count},
    {{7600, 7600, O::settings}, O::count},
    {{7650, 7650, O::tools}, O::count},
    {{7675, 7675, O::text}, O::count},
    {{7701, 7702, O::frame}, O::count},
    {{8101, 8108, O::frame}, O::count},  // help
    {{8150, 8150, O::frame}, O::count},
    {{8160, 8160, O::frame}, O::count},
    {{8170, 8170, O::frame}, O::count},
    {{8300, 8308, O::frame}, O::document},  // recently opened files
    {{8400, 8408, O::frame}, O::document},  // recently inserted files
    {{8450, 8458, O::frame}, O::count},     // help files
    {{8500, 8509, O::frame}, O::count},     // the window list
    {{8600, 8601, O::frame}, O::count},
    {{8605, 8606, O::frame}, O::count},
    {{8620, 8620, O::frame}, O::count},
    {{9000, 9039, O::tools}, O::count},
    {{9501, 9599, O::addIn}, O::count},
    {{9901, 9904, O::frame}, O::count},  // context menus
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

// Commands that need 50 KB of free memory; all others 10 KB.
constexpr std::uint16_t kLargeMemoryCommands[] = {
    2205, 2225, 2230, 2235, 2240, 2245, 2260, 2272, 2273, 2274, 2320, 2323, 2325, 2330, 2334,
    2340, 2350, 2610, 2620, 2630, 2640, 2680, 2690, 5505, 6000, 6300, 6350, 7500, 7505, 7510,
};

constexpr std::uint16_t kMainMenu[] = {
    // File
    2200,
    2205,
    2207,
    2210,
    2220,
    2222,
    2225,
    2230,
    2240,
    2245,
    2255,
    2260,
    2272,
    2273,
    2274,
    2275,
    2280,
    // Edit, with Enclose and Clipboard
    2310,
    2320,
    2323,
    2325,
    2328,
    2329,
    2330,
    2334,
    2340,
    2350,
    2360,
    2365,
    2461,
    2462,
    2485,
    2486,
    2487,
    2488,
    2483,
    2481,
    2482,
    2484,
    2496,
    2506,
    2494,
    2503,
    2490,
    2491,
    2493,
    2600,
    2610,
    2620,
    2630,
    2670,
    2680,
    2690,
    // Insert
    3000,
    3100,
    3300,
    3400,
    3750,
    3760,
    3710,
    3200,
    3720,
    3500,
    3600,
    3740,
    3730,
    3745,
    3650,
    3700,
    4320,
    4330,
    4350,
    4310,
    5500,
    // View
    6000,
    6100,
    6200,
    6300,
    6350,
    6320,
    6330,
    // Add-In
    9599,
    // Options
    7100,
    7500,
    7505,
    7510,
    2270,
    7702,
    7701,
    7520,
    7525,
    7300,
    7400,
    7570,
    7650,
    7675,
    7530,
    7540,
    7600,
    // Window
    6400,
    6403,
    6401,
    6402,
    6406,
    6404,
    6405,
    // ?
    8150,
    8101,
    8103,
    8104,
    8105,
    8107,
    8108,
    8160,
    8170,
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
    return row && routed(row->info.owner) && routed(row->needs);
}

DispatchResult routeCommand(const CommandRequest& request) {
    const CommandRow* row = findRow(request.command);
    if (!row) return DispatchResult::unknown;
    if (!routed(row->info.owner) || !routed(row->needs)) return DispatchResult::unavailable;
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
    if (item >= 9000 && item <= 9099) return {StatusHelpKind::string, 9000};
    if (item >= 8500 && item <= 8510) return {StatusHelpKind::string, 8500};
    if (item >= 8300 && item <= 8308) return {StatusHelpKind::string, 8300};
    if (item >= 8400 && item <= 8408) return {StatusHelpKind::string, 8400};
    if (item >= 8450 && item <= 8458) return {StatusHelpKind::string, 8450};
    if (item == 2210 && embedded) return {StatusHelpKind::string, 2215};
    if (item == 9500) return {StatusHelpKind::addInName, 9500};
    if (item >= kAddInFirst && item <= kAddInLast) return {StatusHelpKind::addInCommand, item};
    if (item == 0) return {StatusHelpKind::none, 0};
    return {StatusHelpKind::string, item};
}

const std::uint16_t* mainMenuCommands(std::size_t* count) {
    if (count) *count = std::size(kMainMenu);
    return kMainMenu;
}
