// Nothing lost: a save that fails at any write, rename, close or open of
// the file layer leaves the target with either the complete previous file
// or the complete new one, keeps the backup rule, leaves the document as it
// was, tells the user, and the document saves correctly afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/allocator.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/outcome.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "tests/core/save_helpers.h"

using namespace save_test;

namespace {

// Compares file contents without printing them.
testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return testing::AssertionFailure()
           << actual.size() << " bytes instead of " << expected.size() << ", first difference at " << at;
}

class SaveFaults : public SaveTest {
protected:
    // A fresh target with the previous content, the document opened from
    // it and (when `change`) one segment changed.
    void prepare(bool change) {
        closeDocument(&doc);
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            std::filesystem::remove_all(entry.path(), error);
        target = sampleFile("plan.vrd", 3, 120, &previous);
        open(target);
        if (change) changeSegment(1, "the change to keep");
        expected = loadedDump(&doc);
        host.messages.clear();
    }

    // What is in the folder besides the target and its backup.
    std::vector<std::string> strays() const {
        std::vector<std::string> out;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name != "plan.vrd" && name != "plan.~vrd") out.push_back(name);
        }
        return out;
    }

    std::string target;
    std::string previous;
    std::string expected;
};

struct Scenario {
    const char* name;
    platform::FaultOp op;
    bool sticky;
    bool shortWrite;
    std::uint16_t error;
};

TEST_F(SaveFaults, EveryFailurePointOfASave) {
    const Scenario scenarios[] = {
        {"write", platform::FaultOp::write, false, false, 0},
        {"full disk", platform::FaultOp::write, true, true, 0},
        {"rename", platform::FaultOp::rename, false, false, 0},
        {"close", platform::FaultOp::close, false, false, 0},
        {"open", platform::FaultOp::open, false, false, 0},
        {"open in use", platform::FaultOp::open, false, false, platform::kErrSharingViolation},
    };
    int failurePoints = 0;
    for (const bool change : {true, false}) {
        // The complete new file, from a save without faults.
        prepare(change);
        ASSERT_EQ(saveDocument(&doc, target.c_str(), false), SaveResult::Saved);
        const std::string complete = readBytes(target);
        ASSERT_NE(complete, previous);
        for (const Scenario& s : scenarios) {
            prepare(change);
            platform::setFaultPlan({s.op, 0});
            ASSERT_EQ(saveDocument(&doc, target.c_str(), false), SaveResult::Saved);
            const std::uint32_t calls = platform::faultCalls();
            platform::setFaultPlan({});
            for (std::uint32_t n = 1; n <= calls; ++n) {
                SCOPED_TRACE(testing::Message() << s.name << " " << n << " of " << calls
                                                << (change ? " changed" : " unchanged"));
                ++failurePoints;
                prepare(change);
                host.defaultAnswer = kAnswerYes;  // save without a backup when asked
                platform::setFaultPlan({s.op, n, s.sticky, s.shortWrite, s.error});
                const SaveResult result = saveDocument(&doc, target.c_str(), false);
                platform::setFaultPlan({});
                host.defaultAnswer = kAnswerCancel;

                const std::string now = readBytes(target);
                const bool askedForBackup = host.saw(IDS_NO_BACKUP_QUESTION);
                if (result == SaveResult::Saved) {
                    EXPECT_TRUE(sameBytes(now, complete));
                    if (!askedForBackup) {
                        EXPECT_TRUE(sameBytes(readBytes(path("plan.~vrd")), previous));
                    }
                    EXPECT_FALSE(doc.modified);
                } else {
                    EXPECT_EQ(result, SaveResult::Failed);
                    EXPECT_TRUE(sameBytes(now, previous));
                    EXPECT_TRUE(doc.modified || !change);
                    ASSERT_FALSE(host.messages.empty());
                    const unsigned last = host.messages.back().id;
                    const std::set<unsigned> reasons = {IDS_UNABLE_TO_SAVE, IDS_UNABLE_TO_OPEN,
                                                        IDS_UNABLE_TO_CREATE, IDS_FILE_IN_USE,
                                                        IDS_IN_USE_UNABLE_TO_WRITE};
                    EXPECT_TRUE(reasons.count(last)) << host.messages.back().text;
                    if (s.op == platform::FaultOp::write) {
                        EXPECT_EQ(last, IDS_UNABLE_TO_SAVE);
                    }
                    if (s.shortWrite) {
                        EXPECT_TRUE(host.saw(IDS_DISK_FULL));
                    }
                }
                if (host.saw(IDS_LOST_TO_OTHER_USER)) {
                    EXPECT_TRUE(doc.ownFile.readOnly);
                }
                EXPECT_TRUE(strays().empty()) << strays().front();
                // The document is what it was, and saves correctly now.
                EXPECT_EQ(loadedDump(&doc), expected);
                if (doc.ownFile.readOnly) {
                    EXPECT_EQ(saveDocument(&doc, path("other.vrd").c_str(), false), SaveResult::Saved);
                    EXPECT_TRUE(sameBytes(readBytes(path("other.vrd")), complete));
                } else {
                    EXPECT_EQ(saveDocument(&doc, target.c_str(), false), SaveResult::Saved);
                    EXPECT_TRUE(sameBytes(readBytes(target), complete));
                }
            }
        }
    }
    EXPECT_GT(failurePoints, 30);
}

TEST_F(SaveFaults, SaveUnderANewNameLeavesNothingBehindOnFailure) {
    prepare(true);
    const std::string fresh = path("fresh.vrd");
    platform::setFaultPlan({platform::FaultOp::write, 0});
    ASSERT_EQ(saveDocument(&doc, path("probe.vrd").c_str(), false), SaveResult::Saved);
    const std::uint32_t writes = platform::faultCalls();
    platform::setFaultPlan({});
    for (std::uint32_t n = 1; n <= writes; ++n) {
        SCOPED_TRACE(n);
        prepare(true);
        platform::setFaultPlan({platform::FaultOp::write, n});
        EXPECT_EQ(saveDocument(&doc, fresh.c_str(), false), SaveResult::Failed);
        platform::setFaultPlan({});
        EXPECT_FALSE(exists(fresh));
        EXPECT_TRUE(sameBytes(readBytes(target), previous));
        EXPECT_STREQ(doc.ownFile.path, target.c_str());
    }
}

TEST_F(SaveFaults, BackupThatCannotGetItsNameBackIsCopied) {
    prepare(false);
    // Memory runs out after the backup was made (the target's file record
    // cannot be allocated), and the rename back fails too.
    platform::setFaultPlan({platform::FaultOp::rename, 2});
    memFailAt(1);
    EXPECT_EQ(saveDocument(&doc, target.c_str(), false), SaveResult::Failed);
    memFailAt(0);
    EXPECT_EQ(platform::faultCalls(), 2u);
    platform::setFaultPlan({});
    EXPECT_TRUE(g_outcome.jobCancelled);
    resetOutcome();
    EXPECT_TRUE(sameBytes(readBytes(target), previous));
    EXPECT_TRUE(sameBytes(readBytes(path("plan.~vrd")), previous));
    EXPECT_EQ(loadedDump(&doc), expected);
}

}  // namespace
