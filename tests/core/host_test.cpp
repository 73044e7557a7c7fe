#include <gtest/gtest.h>

#include "core/host.h"
#include "resources/strings.h"
#include "tests/support/host_recorder.h"

TEST(Host, MessagesAreFormattedFromTheStringTable) {
    HostRecorder host;
    EXPECT_EQ(showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, "C:\\A.VRD"), kAnswerOk);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_UNABLE_TO_OPEN);
    EXPECT_EQ(host.messages[0].text, "Unable to open C:\\A.VRD.");
    EXPECT_EQ(host.messages[0].style, unsigned(kBoxDefault));

    char out[kMaxFormatted];
    EXPECT_EQ(formatMessage(out, 1), 0);  // unknown id: empty text
    EXPECT_STREQ(out, "");
    // An overlong argument is cut at the formatting limit, never overrun.
    std::string huge(5000, 'x');
    int n = formatMessage(out, IDS_UNABLE_TO_OPEN, huge.c_str());
    EXPECT_EQ(n, kMaxFormatted - 1);
}

TEST(Host, QuestionsFollowTheScriptAndTheCallState) {
    HostRecorder host;
    host.answer(kAnswerNo);
    EXPECT_EQ(askQuestion(IDS_FILE_IN_USE, kBoxYesNo | kIconQuestion, kAnswerYes, "X"), kAnswerNo);
    g_hostState.insideForeignCall = true;
    EXPECT_EQ(askQuestion(IDS_FILE_IN_USE, kBoxYesNo, kAnswerYes, "X"), kAnswerYes);
    EXPECT_EQ(host.messages.size(), 1u);
    g_hostState = HostState{};
    g_hostState.noDialogs = true;
    EXPECT_EQ(showMessage(IDS_FILE_IN_USE, kBoxDefault, "X"), kAnswerOk);
    EXPECT_EQ(askQuestion(IDS_FILE_IN_USE, kBoxYesNoCancel, kAnswerCancel, "X"), kAnswerCancel);
    EXPECT_EQ(host.messages.size(), 1u);
    // A batch run answers by default; start-up defers messages, not questions.
    g_hostState = HostState{};
    g_hostState.unattended = true;
    EXPECT_EQ(askQuestion(IDS_FILE_IN_USE, kBoxYesNo, kAnswerYes, "X"), kAnswerYes);
    g_hostState = HostState{};
    g_hostState.deferring = true;
    host.answer(kAnswerNo);
    EXPECT_EQ(askQuestion(IDS_FILE_IN_USE, kBoxYesNo, kAnswerYes, "X"), kAnswerNo);
    EXPECT_EQ(host.messages.size(), 2u);
    g_hostState = HostState{};
}

TEST(Host, DeferredMessagesKeepTenAndFlushInOrder) {
    HostRecorder host;
    g_hostState.deferring = true;
    for (int i = 0; i < 12; ++i)
        showMessage(IDS_UNABLE_TO_OPEN, kBoxOkCancel | kIconHand, std::to_string(i).c_str());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(deferredCount(), kMaxDeferred);
    g_hostState.deferring = false;
    flushDeferred();
    EXPECT_EQ(deferredCount(), 0);
    ASSERT_EQ(host.messages.size(), size_t(kMaxDeferred));
    EXPECT_EQ(host.messages[0].text, "Unable to open 0.");
    EXPECT_EQ(host.messages[9].text, "Unable to open 9.");
    // The OK/Cancel type is dropped when shown later: just the icon remains.
    EXPECT_EQ(host.messages[0].style, unsigned(kIconHand));
}
