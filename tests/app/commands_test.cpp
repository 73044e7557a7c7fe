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
    return request.command != 2207;  // Close "fails"
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
    EXPECT_FALSE(commandAvailable(2205));
    EXPECT_EQ(routeCommand({2205}), DispatchResult::unavailable);
    EXPECT_EQ(routeCommand({1234}), DispatchResult::unknown);

    setCommandRoute(CommandOwner::document, record);
    EXPECT_TRUE(commandAvailable(2205));
    EXPECT_TRUE(commandAvailable(5500));
    EXPECT_FALSE(commandAvailable(2210));  // saving is another owner

    CommandRequest open{2205, kIntoNewWindow, "a.vrd"};
    EXPECT_EQ(routeCommand(open), DispatchResult::done);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_STREQ(g_seen[0].path, "a.vrd");
    EXPECT_EQ(g_seen[0].flags, unsigned(kIntoNewWindow));
    EXPECT_EQ(routeCommand({2207}), DispatchResult::failed);
}

TEST_F(Routes, RecentFilesNeedTheFrameAndTheDocument) {
    setCommandRoute(CommandOwner::frame, record);
    EXPECT_TRUE(commandAvailable(7100));
    EXPECT_FALSE(commandAvailable(8300));
    EXPECT_FALSE(commandAvailable(8408));
    EXPECT_TRUE(commandAvailable(8450));  // help files are the frame's alone
    setCommandRoute(CommandOwner::document, record);
    EXPECT_TRUE(commandAvailable(8300));
    EXPECT_EQ(routeCommand({8301}), DispatchResult::done);
    EXPECT_EQ(g_seen.back().command, 8301u);  // to the frame's handler
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
    EXPECT_EQ(count, 115u);
}

TEST_F(Routes, MemoryGuard) {
    HostRecorder host;
    setCommandRoute(CommandOwner::document, record);
    EXPECT_EQ(commandMemoryNeeded(2205), kCommandMemoryLarge);
    EXPECT_EQ(commandMemoryNeeded(2200), kCommandMemorySmall);
    EXPECT_EQ(commandMemoryNeeded(2273), kCommandMemoryLarge);
    EXPECT_EQ(commandMemoryNeeded(5505), kCommandMemoryLarge);

    // 49 KB: Open is dropped, New runs.
    EXPECT_EQ(dispatchCommand({2205}, 49), DispatchResult::outOfMemory);
    EXPECT_TRUE(g_seen.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, unsigned(IDS_OUT_OF_MEMORY));
    EXPECT_EQ(host.messages[0].text, "Out of memory. Job cancelled.");
    EXPECT_EQ(dispatchCommand({2200}, 49), DispatchResult::done);
    EXPECT_EQ(dispatchCommand({2200}, 9), DispatchResult::outOfMemory);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(dispatchCommand({2205}, 50), DispatchResult::done);
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(Routes, AJobThatRanOutOfMemoryIsReportedOnceAfterTheCommand) {
    HostRecorder host;
    setCommandRoute(CommandOwner::document, [](const CommandRequest&) {
        g_outcome.jobCancelled = true;
        return false;
    });
    EXPECT_EQ(dispatchCommand({2200}, 1000), DispatchResult::failed);
    EXPECT_TRUE(host.saw(IDS_OUT_OF_MEMORY));
    EXPECT_FALSE(g_outcome.jobCancelled);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST(StatusHelp, Mappings) {
    EXPECT_EQ(statusHelpFor(9023, false).id, 9000u);
    EXPECT_EQ(statusHelpFor(8503, false).id, 8500u);
    EXPECT_EQ(statusHelpFor(8304, false).id, 8300u);
    EXPECT_EQ(statusHelpFor(8408, false).id, 8400u);
    EXPECT_EQ(statusHelpFor(8451, false).id, 8450u);
    EXPECT_EQ(statusHelpFor(2210, false).id, 2210u);
    EXPECT_EQ(statusHelpFor(2210, true).id, 2215u);
    EXPECT_EQ(statusHelpFor(9500, false).kind, StatusHelpKind::addInName);
    EXPECT_EQ(statusHelpFor(9501, false).kind, StatusHelpKind::addInCommand);
    EXPECT_EQ(statusHelpFor(9598, false).id, 9598u);
    EXPECT_EQ(statusHelpFor(9599, false).kind, StatusHelpKind::string);
    EXPECT_STREQ(findString(statusHelpFor(9599, false).id), "No add-in is connected");
    EXPECT_EQ(statusHelpFor(0, false).kind, StatusHelpKind::none);
}
