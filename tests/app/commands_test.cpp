// The dispatch table: routes and availability, the memory guard and its
// message, status-line help.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "app/commands.h"
#include "core/outcome.h"
#include "resources/strings.h"
#include "tests/support/host_recorder.h"

namespace {

std::vector<CommandRequest> g_seen;

bool record(const CommandRequest& request) {
    g_seen.push_back(request);
    return request.command != CMD_FILE_CLOSE;  // Close "fails"
}

struct Routes : ::testing::Test {
    void SetUp() override {
        clearCommandRoutes();
        g_seen.clear();
        g_outcome = OutcomeFlags{};
    }
    void TearDown() override { clearCommandRoutes(); }
};

}  // namespace

TEST_F(Routes, CommandsOfAnOwnerWithoutHandlerAreUnavailable) {
    EXPECT_FALSE(commandAvailable(CMD_FILE_OPEN));
    EXPECT_EQ(routeCommand({CMD_FILE_OPEN}), DispatchResult::unavailable);
    EXPECT_EQ(routeCommand({1234}), DispatchResult::unknown);

    setCommandRoute(CommandOwner::document, record);
    EXPECT_TRUE(commandAvailable(CMD_FILE_OPEN));
    EXPECT_TRUE(commandAvailable(CMD_INSERT_FILE));
    EXPECT_FALSE(commandAvailable(CMD_FILE_SAVE));  // saving is another owner

    CommandRequest open{CMD_FILE_OPEN, kIntoNewWindow, "a.vrd"};
    EXPECT_EQ(routeCommand(open), DispatchResult::done);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_STREQ(g_seen[0].path, "a.vrd");
    EXPECT_EQ(g_seen[0].flags, unsigned(kIntoNewWindow));
    EXPECT_EQ(routeCommand({CMD_FILE_CLOSE}), DispatchResult::failed);
}

TEST_F(Routes, RecentFilesNeedTheFrameAndTheDocument) {
    setCommandRoute(CommandOwner::frame, record);
    EXPECT_TRUE(commandAvailable(CMD_OPTIONS_REPEAT));
    EXPECT_FALSE(commandAvailable(CMD_RECENT_OPEN_FIRST));
    EXPECT_FALSE(commandAvailable(CMD_RECENT_INSERT_LAST));
    EXPECT_TRUE(commandAvailable(CMD_HELP_FILE_FIRST));  // help files are the frame's alone
    setCommandRoute(CommandOwner::document, record);
    EXPECT_TRUE(commandAvailable(CMD_RECENT_OPEN_FIRST));
    EXPECT_EQ(routeCommand({CMD_RECENT_OPEN_FIRST + 1}), DispatchResult::done);
    EXPECT_EQ(g_seen.back().command, CMD_RECENT_OPEN_FIRST + 1);  // to the frame's handler
}

TEST_F(Routes, EveryMenuCommandHasAnOwnerAndAStatusHelp) {
    std::size_t count = 0;
    const std::uint16_t* menu = mainMenuCommands(&count);
    std::set<unsigned> seen;
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(seen.insert(menu[i]).second) << "twice in the menu: " << menu[i];
        EXPECT_NE(findCommand(menu[i]), nullptr) << menu[i];
        StatusHelp help = statusHelpFor(menu[i], false);
        EXPECT_EQ(help.kind, StatusHelpKind::string) << menu[i];
        EXPECT_NE(findString(help.id), nullptr) << "no status help for " << menu[i];
    }
    EXPECT_EQ(count, 116u);
}

TEST_F(Routes, MemoryGuard) {
    HostRecorder host;
    setCommandRoute(CommandOwner::document, record);
    EXPECT_EQ(commandMemoryNeeded(CMD_FILE_OPEN), kCommandMemoryLarge);
    EXPECT_EQ(commandMemoryNeeded(CMD_FILE_NEW), kCommandMemorySmall);
    EXPECT_EQ(commandMemoryNeeded(CMD_FILE_SCREEN_FONT), kCommandMemoryLarge);
    EXPECT_EQ(commandMemoryNeeded(CMD_FILE_SHORT_INFO_COMPANION), kCommandMemoryLarge);

    // 49 KB: Open is dropped, New runs.
    EXPECT_EQ(dispatchCommand({CMD_FILE_OPEN}, 49), DispatchResult::outOfMemory);
    EXPECT_TRUE(g_seen.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned(IDS_OUT_OF_MEMORY));
    EXPECT_EQ(host.messages[0].text, "Out of memory. Job cancelled.");
    EXPECT_EQ(dispatchCommand({CMD_FILE_NEW}, 49), DispatchResult::done);
    EXPECT_EQ(dispatchCommand({CMD_FILE_NEW}, 9), DispatchResult::outOfMemory);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(dispatchCommand({CMD_FILE_OPEN}, 50), DispatchResult::done);
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(Routes, AJobThatRanOutOfMemoryIsReportedOnceAfterTheCommand) {
    HostRecorder host;
    setCommandRoute(CommandOwner::document, [](const CommandRequest&) {
        g_outcome.jobCancelled = true;
        return false;
    });
    EXPECT_EQ(dispatchCommand({CMD_FILE_NEW}, 1000), DispatchResult::failed);
    EXPECT_TRUE(host.saw(IDS_OUT_OF_MEMORY));
    EXPECT_FALSE(g_outcome.jobCancelled);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST(StatusHelp, Mappings) {
    const struct {
        unsigned item;
        bool embedded;
        StatusHelpKind kind;
        unsigned id;
    } cases[] = {
        {CMD_TOOL_FIRST + 23, false, StatusHelpKind::string, IDS_HELP_TOOL},
        {CMD_WINDOW_LIST_FIRST + 3, false, StatusHelpKind::string, IDS_HELP_WINDOW_LIST},
        {CMD_RECENT_OPEN_FIRST + 4, false, StatusHelpKind::string, IDS_HELP_RECENT_OPEN},
        {CMD_RECENT_INSERT_LAST, false, StatusHelpKind::string, IDS_HELP_RECENT_INSERT},
        {CMD_HELP_FILE_FIRST + 1, false, StatusHelpKind::string, IDS_HELP_HELP_FILE},
        {CMD_ENCLOSE_CASE_OF, false, StatusHelpKind::string, IDS_HELP_ENCLOSE_CASE_OF},
        {CMD_FILE_SAVE, false, StatusHelpKind::string, IDS_HELP_FILE_SAVE},
        {CMD_FILE_SAVE, true, StatusHelpKind::string, IDS_HELP_FILE_UPDATE},
        {CMD_ADDIN_NAME, false, StatusHelpKind::addInName, CMD_ADDIN_NAME},
        {CMD_ADDIN_FIRST, false, StatusHelpKind::addInCommand, CMD_ADDIN_FIRST},
        {CMD_ADDIN_LAST, false, StatusHelpKind::addInCommand, CMD_ADDIN_LAST},
        {CMD_ADDIN_EMPTY, false, StatusHelpKind::string, IDS_HELP_ADDIN_EMPTY},
        {CMD_DEFAULT_ACTION, false, StatusHelpKind::none, 0},  // a command without help
        {IDS_TITLE, false, StatusHelpKind::none, 0},           // no command: no unrelated text
        {0, false, StatusHelpKind::none, 0},
    };
    for (const auto& c : cases) {
        StatusHelp help = statusHelpFor(c.item, c.embedded);
        EXPECT_EQ(help.kind, c.kind) << c.item;
        EXPECT_EQ(help.id, c.id) << c.item;
    }
    EXPECT_STREQ(findString(IDS_HELP_ADDIN_EMPTY), "No add-in is connected");
}
