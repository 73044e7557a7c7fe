// A diagram file held by another process: opened with others denied
// writing it opens only write-protected, after the question, and cannot be
// saved under its own name; locked as well, it cannot be opened at all.
//
// The other process is tests/e2e/file_holder.exe in the Windows build (the
// reference semantics), a forked child holding the file through the
// platform layer natively (share modes from flock, the lock from fcntl).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/file_descriptor.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "tests/core/save_helpers.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace save_test;

namespace {

// Another process holding a file open, denying others write access, and
// with `lock` locking all of it.
class Holder {
public:
    Holder(const std::string& file, bool lock, const std::string& folder);
    ~Holder();
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool holding() const { return holding_; }
    const std::string& why() const { return why_; }

private:
    bool holding_ = false;
    std::string why_;
#ifdef _WIN32
    std::string ready_;
    std::string stop_;
#else
    pid_t child_ = -1;
    int toChild_ = -1;
#endif
};

#ifdef _WIN32

bool waitFor(const std::string& path, bool present) {
    for (int i = 0; i < 1000; ++i) {
        if (platform::fileExists(path.c_str()) == present) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

Holder::Holder(const std::string& file, bool lock, const std::string& folder)
    : ready_(folder + "\\holder.ready"), stop_(folder + "\\holder.stop") {
    char directory[platform::kMaxPath];
    if (!platform::programDirectory(directory)) {
        why_ = "no program directory";
        return;
    }
    std::string program;
    for (const char* candidate : {"e2e\\file_holder.exe", "file_holder.exe"}) {
        const std::string p = std::string(directory) + candidate;
        if (platform::fileExists(p.c_str())) program = p;
    }
    if (program.empty()) {
        why_ = "file_holder.exe not built";
        return;
    }
    const std::string line = "\"" + program + "\" \"" + file + "\" " + (lock ? "lock" : "share") + " \"" +
                             ready_ + "\" \"" + stop_ + "\"";
    if (!platform::startProgram(line.c_str())) {
        why_ = "cannot start " + program;
        return;
    }
    holding_ = waitFor(ready_, true);
    if (!holding_) why_ = "the holder did not get ready";
}

Holder::~Holder() {
    if (!holding_) return;
    FILE* f = std::fopen(stop_.c_str(), "wb");
    if (f) std::fclose(f);
    waitFor(ready_, false);
    platform::deleteFile(stop_.c_str());
}

#else

Holder::Holder(const std::string& file, bool lock, const std::string&) {
    int ready[2];
    int stop[2];
    if (pipe(ready) != 0 || pipe(stop) != 0) {
        why_ = "no pipes";
        return;
    }
    child_ = fork();
    if (child_ == 0) {
        close(ready[0]);
        close(stop[1]);
        platform::OpenInfo info{};
        const std::uint16_t mode =
            (lock ? platform::kOpenReadWrite : platform::kOpenRead) | platform::kShareDenyWrite;
        const platform::FileHandle h = platform::openFile(file.c_str(), &info, mode);
        char ok = h != platform::kInvalidFile && (!lock || platform::lockFile(h, 0, 1u << 20)) ? 1 : 0;
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        char done;
        while (read(stop[0], &done, 1) < 0) {
        }
        _exit(0);
    }
    close(ready[1]);
    close(stop[0]);
    toChild_ = stop[1];
    char ok = 0;
    holding_ = child_ > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
    if (!holding_) why_ = "the child could not hold the file";
}

Holder::~Holder() {
    if (toChild_ >= 0) {
        const char done = 1;
        if (write(toChild_, &done, 1) != 1) {
        }
        close(toChild_);
    }
    if (child_ > 0) {
        int status = 0;
        waitpid(child_, &status, 0);
    }
}

#endif

class SharedFiles : public SaveTest {};

TEST_F(SharedFiles, HeldByAnotherProcessOpensWriteProtectedOnly) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 2, 3, &original);
    char full[kPathSize];
    qualifiedPath(file.c_str(), full);
    Holder holder(full, false, folder);
    if (!holder.holding()) GTEST_SKIP() << holder.why();

    // No: not opened.
    host.answer(kAnswerNo);
    EXPECT_EQ(openDocument(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_OPEN_WRITE_PROTECTED_QUESTION);
    // Yes: write-protected, readable, not saved under its own name.
    host.answer(kAnswerYes);
    ASSERT_EQ(openDocument(&doc, file.c_str()), 1);
    EXPECT_TRUE(doc.ownFile.readOnly);
    EXPECT_EQ(host.messages.size(), 2u);
    const std::string content = loadedDump(&doc);
    EXPECT_NE(content.find("line 1.2"), std::string::npos);
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::OtherName);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[2].id, IDS_SAVE_UNDER_OTHER_NAME);
    // A save onto it by name fails too, and leaves it as it is.
    EXPECT_EQ(saveDocument(&doc, path("copy.vrd").c_str(), false), SaveResult::Saved);
    host.messages.clear();
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_FILE_IN_USE);
    EXPECT_EQ(readBytes(file), original);
}

TEST_F(SharedFiles, LockedByAnotherProcessDoesNotOpen) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    char full[kPathSize];
    qualifiedPath(file.c_str(), full);
    Holder holder(full, true, folder);
    if (!holder.holding()) GTEST_SKIP() << holder.why();
    host.answer(kAnswerYes);
    EXPECT_EQ(openDocument(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].id, IDS_OPEN_WRITE_PROTECTED_QUESTION);
    EXPECT_EQ(host.messages[1].id, IDS_IN_USE_UNABLE_TO_OPEN);
    EXPECT_EQ(host.messages[1].text, std::string("File ") + full + " in use - unable to open file.");
    EXPECT_EQ(doc.root, nullptr);
}

}  // namespace
