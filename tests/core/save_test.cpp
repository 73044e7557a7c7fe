// Saving: the temporary segment file after opening, block copies, backup
// copies, write protection, the held-file rule, the change checks and the
// names checked before opening and writing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/file_descriptor.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "platform/platform.h"
#include "resources/strings.h"
#include "tests/core/diagram_fixture_helpers.h"
#include "tests/core/save_helpers.h"

using namespace save_test;

namespace {

std::string formatted(unsigned id, const std::string& argument) {
    char text[kMaxFormatted];
    formatMessage(text, id, argument.c_str());
    return text;
}

std::string fullName(const std::string& path) {
    char full[kPathSize];
    qualifiedPath(path.c_str(), full);
    return full;
}

class Saving : public SaveTest {};

// ---------------------------------------------------------------------------
// Opening and the temporary segment file

TEST_F(Saving, OpeningWritesTheTemporaryFileAndClosingDeletesIt) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 3, 4, &original);
    open(file);
    EXPECT_TRUE(host.messages.empty()) << host.lastText();
    ASSERT_EQ(doc.segmentSource, &doc.tempFileSource);
    EXPECT_TRUE(doc.tempFileOwned);
    const std::string temporary = doc.tempFile.path;
    EXPECT_TRUE(exists(temporary));
    EXPECT_NE(temporary.find("vrd"), std::string::npos);
    EXPECT_NE(doc.tempFile.file, nullptr);  // kept open
    // The temporary file holds the same tree, every offset pointing into it.
    EXPECT_EQ(treeChunk(readBytes(temporary)), treeChunk(original));
    EXPECT_EQ(levelInfoOf(doc.root)->readOffset, levelInfoOf(doc.root)->fileOffset);
    EXPECT_STREQ(doc.ownFile.path, fullName(file).c_str());
    EXPECT_FALSE(doc.ownFile.readOnly);
    EXPECT_NE(doc.ownFile.fileTime, 0u);
    // Without the drive rule the own file is not held.
    EXPECT_EQ(doc.ownFile.file, nullptr);

    DiagramDocument reference{};
    setCurrentStreamFormat(&reference);
    ConstructNode* built = buildDiagram(&reference, 3, 4);
    const std::string expected = tree_test::dump(built);
    freeSequence(built);
    EXPECT_EQ(loadedDump(&doc), expected);

    closeDocument(&doc);
    EXPECT_FALSE(exists(temporary));
    EXPECT_EQ(doc.segmentSource, nullptr);
    EXPECT_EQ(readBytes(file), original);  // opening never writes the user's file
}

TEST_F(Saving, OlderFormatIsCopiedIntoTheCurrentFormat) {
    // Format "3.0" with 2-byte integers and TREE version 5: no block can be
    // copied, so the segment on disk is loaded from it, serialised into the
    // temporary file and paged out again.
    const std::string file = path("old.vrd");
    ASSERT_TRUE(writeBytes(file, diagram_test::format30Tree5()));
    setTemporaryFileStep(nullptr);
    ASSERT_EQ(openDocument(&doc, file.c_str()), 1);
    const std::string expected = loadedDump(&doc);
    closeDocument(&doc);
    doc.lastLevelId = 0;
    setTemporaryFileStep(temporaryFileStep);
    open(file);
    EXPECT_EQ(doc.treeVersion, 16);
    EXPECT_STREQ(doc.formatVersion, "6.3");
    EXPECT_EQ(doc.intWidth, 4);
    EXPECT_EQ(doc.segmentSource, &doc.tempFileSource);
    // The new top segment was serialised; the segment inside was loaded to
    // be written and paged out again.
    EXPECT_EQ(segmentFlags(doc.root) & 0x1F, kSegLoaded | kSegFileCurrent);
    ConstructNode* inner = nullptr;
    for (ConstructNode* n = levelInfoOf(doc.root)->body; n; n = n->next)
        if (n->type == ConstructType::Level) inner = n;
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(segmentFlags(inner) & 0x1F, kSegOnDisk | kSegOutline);
    EXPECT_EQ(loadedDump(&doc), expected);
}

TEST_F(Saving, FailingTemporaryFileFailsTheOpen) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    // The temporary file cannot be opened: its name is reported.
    platform::setFaultPlan({platform::FaultOp::open, 2});
    EXPECT_EQ(openDocument(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_UNABLE_TO_OPEN);
    EXPECT_EQ(doc.root, nullptr);
    EXPECT_EQ(doc.ownFile.file, nullptr);
    // A write of it fails.
    host.messages.clear();
    platform::setFaultPlan({platform::FaultOp::write, 1});
    EXPECT_EQ(openDocument(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_UNABLE_TO_WRITE);
    // On a full disk.
    host.messages.clear();
    platform::setFaultPlan({platform::FaultOp::write, 1, true, true});
    EXPECT_EQ(openDocument(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_DISK_FULL);
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(Saving, BlocksOnDiskAreCopiedByteForByte) {
    const std::string file = sampleFile("plan.vrd", 4, 3);
    open(file);
    // One segment loaded to be looked at, unchanged: still copied.
    ASSERT_NE(segment(1), nullptr);
    ASSERT_EQ(ensureLoaded(segment(1), &doc), 1);
    const std::string temporaryTree = treeChunk(readBytes(doc.tempFile.path));
    const std::string target = path("copy.vrd");
    EXPECT_EQ(saveDocument(&doc, target.c_str(), false), SaveResult::Saved);
    EXPECT_TRUE(host.messages.empty());
    const std::string saved = readBytes(target);
    EXPECT_EQ(treeChunk(saved), temporaryTree);
    // The save time went in, and is the file's last-write time.
    EXPECT_NE(saved.find(kNowText), std::string::npos);
    std::uint64_t stamp = 0;
    ASSERT_TRUE(platform::getFileTimeByName(target.c_str(), &stamp));
    EXPECT_EQ(stamp, fileTimeOfSaveTime(kNow));
    EXPECT_EQ(doc.ownFile.fileTime, stamp);
    // The target is the document's own file now; the first one is untouched.
    EXPECT_STREQ(doc.ownFile.path, fullName(target).c_str());
    EXPECT_FALSE(doc.ownFile.readOnly);
    EXPECT_FALSE(exists(path("copy.~vrd")));
}

TEST_F(Saving, ChangedSegmentIsSerialisedTheRestCopied) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 3, 3, &original);
    open(file);
    const std::string oldTemporary = doc.tempFile.path;
    changeSegment(1, "changed line");
    const std::string expected = loadedDump(&doc);
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(doc.modified);
    // A new temporary file took over; the previous one is gone.
    EXPECT_STRNE(doc.tempFile.path, oldTemporary.c_str());
    EXPECT_FALSE(exists(oldTemporary));
    // The saved tree is the new temporary file's tree, block by block.
    EXPECT_EQ(treeChunk(readBytes(file)), treeChunk(readBytes(doc.tempFile.path)));
    // The backup holds the previous file.
    EXPECT_EQ(readBytes(path("plan.~vrd")), original);

    // Read back from disk, the content is what was in memory.
    closeDocument(&doc);
    open(file);
    EXPECT_EQ(loadedDump(&doc), expected);
}

TEST_F(Saving, TwoSavesInARow) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 2, 2, &original);
    open(file);
    changeSegment(0, "first change");
    ASSERT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    const std::string first = readBytes(file);
    EXPECT_EQ(readBytes(path("plan.~vrd")), original);
    const std::string temporary = doc.tempFile.path;
    // Without changes the file is rewritten from the same temporary file,
    // and the backup of the first save is replaced by its result.
    ASSERT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    EXPECT_STREQ(doc.tempFile.path, temporary.c_str());
    EXPECT_EQ(readBytes(file), first);
    EXPECT_EQ(readBytes(path("plan.~vrd")), first);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Saving, KeepingTheSaveTime) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    open(file);
    doc.saveTime = 1000000000u;
    ASSERT_EQ(saveDocument(&doc, path("kept.vrd").c_str(), true), SaveResult::Saved);
    EXPECT_EQ(doc.saveTime, 1000000000u);
    std::uint64_t stamp = 0;
    ASSERT_TRUE(platform::getFileTimeByName(path("kept.vrd").c_str(), &stamp));
    EXPECT_EQ(stamp, fileTimeOfSaveTime(1000000000u));
    ASSERT_EQ(saveDocument(&doc, path("now.vrd").c_str(), false), SaveResult::Saved);
    EXPECT_EQ(doc.saveTime, kNow);
    EXPECT_STREQ(doc.saveTimeText, kNowText);
}

TEST_F(Saving, BackupNames) {
    struct Case {
        const char* target;
        int limit;
        const char* backup;
    };
    const Case cases[] = {
        {"C:\\plans\\plan.vrd", -1, "C:\\plans\\plan.~vrd"},
        {"C:\\plans\\plan.vrd", 3, "C:\\plans\\plan.~vr"},
        {"C:\\plans\\plan.vrd", 4, "C:\\plans\\plan.~vrd"},
        {"C:\\plans\\plan.vrd", 255, "C:\\plans\\plan.~vrd"},
        {"C:\\plans\\plan.vrd", 256, "C:\\plans\\plan.~vrd"},
        {"C:\\plans\\plan.vrd", 0, "C:\\plans\\plan."},
        {"C:\\plans\\plan", -1, "C:\\plans\\plan.~"},
        {"C:\\plans.d\\plan", -1, "C:\\plans.d\\plan.~"},
        {"/home/u/plans.d/plan.tar.vrd", 2, "/home/u/plans.d/plan.tar.~v"},
        {"plan.", -1, "plan.~"},
    };
    for (const Case& c : cases) {
        char out[kPathSize];
        ASSERT_EQ(backupName(c.target, c.limit, out), 1) << c.target;
        EXPECT_STREQ(out, c.backup) << c.target << " " << c.limit;
    }
    char out[kPathSize];
    EXPECT_EQ(backupName("", -1, out), 0);
    const std::string tooLong(kPathSize - 2, 'a');
    EXPECT_EQ(backupName(tooLong.c_str(), -1, out), 0);
}

TEST_F(Saving, BackupExtensionCutByTheSetting) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 1, 2, &original);
    FileSettings settings;
    settings.maxBackupCopyExtLen = 3;
    setFileSettings(settings);
    open(file);
    ASSERT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    EXPECT_EQ(readBytes(path("plan.~vr")), original);
    EXPECT_FALSE(exists(path("plan.~vrd")));
}

TEST_F(Saving, FailedWriteAfterTheBackupRestoresThePreviousFile) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 2, 2, &original);
    ASSERT_TRUE(writeBytes(path("plan.~vrd"), "an old backup"));
    open(file);
    const std::string expected = loadedDump(&doc);
    // Unchanged: the first write is the target's, after the backup was made.
    platform::setFaultPlan({platform::FaultOp::write, 1});
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Failed);
    platform::setFaultPlan({});
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_UNABLE_TO_SAVE);
    EXPECT_EQ(host.messages[0].text, "Unable to save file.");
    EXPECT_EQ(readBytes(file), original);
    EXPECT_FALSE(exists(path("plan.~vrd")));  // the old backup made room before
    EXPECT_EQ(doc.saveTime, 0u);
    EXPECT_EQ(doc.saveTimeText, nullptr);
    // The document saves afterwards.
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    EXPECT_EQ(readBytes(path("plan.~vrd")), original);
    closeDocument(&doc);
    open(file);
    EXPECT_EQ(loadedDump(&doc), expected);
}

TEST_F(Saving, WriteProtectedFileCannotBeSavedUnderItsName) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 1, 1, &original);
    open(file, true);
    EXPECT_TRUE(doc.ownFile.readOnly);
    EXPECT_TRUE(host.messages.empty());  // asked for: no notice
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::OtherName);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_SAVE_UNDER_OTHER_NAME);
    EXPECT_EQ(host.messages[0].text, formatted(IDS_SAVE_UNDER_OTHER_NAME, fullName(file)));
    EXPECT_EQ(readBytes(file), original);
    // Under another name it is saved, and that one is editable.
    EXPECT_EQ(saveDocument(&doc, path("other.vrd").c_str(), false), SaveResult::Saved);
    EXPECT_FALSE(doc.ownFile.readOnly);
    // The same goes for a related file held write-protected.
    std::snprintf(doc.relatedFiles[1].path, kPathSize, "%s", fullName(path("held.vrd")).c_str());
    doc.relatedFiles[1].readOnly = true;
    host.messages.clear();
    EXPECT_EQ(saveDocument(&doc, path("held.vrd").c_str(), false), SaveResult::OtherName);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(Saving, ReadOnlyFileOpensWriteProtectedWithANotice) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    // The read-write open is denied (a read-only file); the retry succeeds.
    platform::setFaultPlan({platform::FaultOp::open, 1, false, false, platform::kErrAccessDenied});
    open(file);
    EXPECT_TRUE(doc.ownFile.readOnly);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_FILE_WRITE_PROTECTED);
    EXPECT_EQ(host.messages[0].text, "File " + file + " is write protected.");
    // Not while the main window is hidden.
    closeDocument(&doc);
    host.messages.clear();
    FileHooks hooks;
    hooks.mainWindowVisible = [] { return false; };
    setFileHooks(hooks);
    platform::setFaultPlan({platform::FaultOp::open, 1, false, false, platform::kErrAccessDenied});
    open(file);
    EXPECT_TRUE(doc.ownFile.readOnly);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Saving, FileInUseAsksForWriteProtection) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    const platform::FaultPlan inUse{platform::FaultOp::open, 1, false, false, platform::kErrSharingViolation};
    // No: the open fails.
    platform::setFaultPlan(inUse);
    host.answer(kAnswerNo);
    EXPECT_EQ(openDocument(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_OPEN_WRITE_PROTECTED_QUESTION);
    EXPECT_EQ(host.messages[0].text, "File " + file + " in use. Open file with write protection?");
    EXPECT_EQ(host.messages[0].style & kBoxButtonMask, static_cast<unsigned>(kBoxYesNo));
    EXPECT_EQ(doc.root, nullptr);
    // Yes: write-protected.
    host.messages.clear();
    platform::setFaultPlan(inUse);
    host.answer(kAnswerYes);
    open(file);
    EXPECT_TRUE(doc.ownFile.readOnly);
    EXPECT_EQ(host.messages.size(), 1u);
    // Inside a call from another application the answer is Yes.
    closeDocument(&doc);
    host.messages.clear();
    g_hostState.insideForeignCall = true;
    platform::setFaultPlan(inUse);
    open(file);
    EXPECT_TRUE(doc.ownFile.readOnly);
    EXPECT_TRUE(host.messages.empty());
    // When the retry fails too.
    closeDocument(&doc);
    g_hostState.insideForeignCall = false;
    platform::setFaultPlan({platform::FaultOp::open, 1, true, false, platform::kErrSharingViolation});
    EXPECT_EQ(openDocument(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_FILE_ALREADY_IN_USE);
    EXPECT_EQ(host.messages[0].text,
              "File " + file +
                  " is already in use.\r\nUse a new filename or close the file in use by "
                  "another application.");
    // A missing file.
    host.messages.clear();
    platform::setFaultPlan({});
    EXPECT_EQ(openDocument(&doc, path("missing.vrd").c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_UNABLE_TO_OPEN);
}

TEST_F(Saving, TargetInUseOrNotCreatable) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    open(file);
    // Another handle denies writing to the target.
    const std::string busy = path("busy.vrd");
    ASSERT_TRUE(writeBytes(busy, "previous"));
    platform::OpenInfo info{};
    const platform::FileHandle holder =
        platform::openFile(busy.c_str(), &info, platform::kOpenRead | platform::kShareDenyWrite);
    ASSERT_NE(holder, platform::kInvalidFile);
    EXPECT_EQ(saveDocument(&doc, busy.c_str(), false), SaveResult::Failed);
    platform::closeFile(holder);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_FILE_IN_USE);
    EXPECT_EQ(host.messages[0].text, "File " + fullName(busy) + " in use.");
    EXPECT_EQ(readBytes(busy), "previous");
    // A target that cannot be created (its folder does not exist).
    host.messages.clear();
    const std::string nowhere = path("no-such-folder/plan.vrd");
    EXPECT_EQ(saveDocument(&doc, nowhere.c_str(), false), SaveResult::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_UNABLE_TO_CREATE);
    EXPECT_EQ(host.messages[0].text, "Unable to create file " + fullName(nowhere) + ".");
    // The document is still the first file's.
    EXPECT_STREQ(doc.ownFile.path, fullName(file).c_str());
}

TEST_F(Saving, LostToOtherUserAfterSaving) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    open(file);
    const std::string target = path("saved.vrd");
    // The reopen after the write is the last open of a save.
    platform::setFaultPlan({platform::FaultOp::open, 0});
    ASSERT_EQ(saveDocument(&doc, path("probe.vrd").c_str(), false), SaveResult::Saved);
    const std::uint32_t opens = platform::faultCalls();
    platform::setFaultPlan({platform::FaultOp::open, opens, false, false, platform::kErrSharingViolation});
    EXPECT_EQ(saveDocument(&doc, target.c_str(), false), SaveResult::Saved);
    platform::setFaultPlan({});
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_LOST_TO_OTHER_USER);
    EXPECT_EQ(host.messages[0].text,
              "File " + fullName(target) +
                  " lost to other user after opening/saving. File remains open with write "
                  "protection.");
    EXPECT_TRUE(doc.ownFile.readOnly);
    EXPECT_STREQ(doc.ownFile.path, fullName(target).c_str());
    // The file itself is complete; it can no longer be saved under its name.
    EXPECT_EQ(treeChunk(readBytes(target)), treeChunk(readBytes(doc.tempFile.path)));
    host.messages.clear();
    EXPECT_EQ(saveDocument(&doc, target.c_str(), false), SaveResult::OtherName);
}

TEST_F(Saving, NoBackupPossible) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 1, 2, &original);
    open(file);
    // The backup name is a folder: it can be neither deleted nor replaced.
    std::error_code error;
    std::filesystem::create_directory(path("plan.~vrd"), error);
    host.answer(kAnswerNo);
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_NO_BACKUP_QUESTION);
    EXPECT_EQ(host.messages[0].text,
              "Unable to create backup copy " + fullName(path("plan.~vrd")) + ". Save without backup copy?");
    EXPECT_EQ(readBytes(file), original);
    // Yes: saved without a backup; nothing else is left behind.
    host.messages.clear();
    host.answer(kAnswerYes);
    changeSegment(0, "saved without backup");
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_NE(readBytes(file).find("saved without backup"), std::string::npos);
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2);  // the file and the folder in the backup's way
}

TEST_F(Saving, FailedSaveWithoutBackupPutsThePreviousContentBack) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 1, 2, &original);
    open(file);
    std::error_code error;
    std::filesystem::create_directory(path("plan.~vrd"), error);
    for (const bool sticky : {false, true}) {
        host.messages.clear();
        host.answer(kAnswerYes);
        platform::setFaultPlan({platform::FaultOp::write, 1, sticky, sticky});
        EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Failed);
        platform::setFaultPlan({});
        EXPECT_EQ(readBytes(file), original) << sticky;
        EXPECT_EQ(host.messages.back().id, IDS_UNABLE_TO_SAVE);
    }
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

// ---------------------------------------------------------------------------
// The held-file rule

void localDriveC(const char*, char* letter, bool* remote) {
    *letter = 'C';
    *remote = false;
}

void networkDriveN(const char*, char* letter, bool* remote) {
    *letter = 'N';
    *remote = true;
}

void uncPath(const char*, char* letter, bool* remote) {
    *letter = 0;
    *remote = true;
}

TEST_F(Saving, DriveRule) {
    FileHooks hooks;
    FileSettings settings;
    hooks.classifyDrive = localDriveC;
    setFileHooks(hooks);
    EXPECT_FALSE(holdsFileOpen("C:\\plan.vrd"));
    std::snprintf(settings.lockDrives, kDriveListSize, "%s", "xc");
    setFileSettings(settings);
    EXPECT_TRUE(holdsFileOpen("C:\\plan.vrd"));
    hooks.classifyDrive = networkDriveN;
    setFileHooks(hooks);
    EXPECT_TRUE(holdsFileOpen("N:\\plan.vrd"));
    std::snprintf(settings.unlockDrives, kDriveListSize, "%s", "MN");
    setFileSettings(settings);
    EXPECT_FALSE(holdsFileOpen("N:\\plan.vrd"));
    hooks.classifyDrive = uncPath;
    setFileHooks(hooks);
    EXPECT_TRUE(holdsFileOpen("\\\\server\\share\\plan.vrd"));
    // By the path's form alone.
    setFileHooks({});
    EXPECT_TRUE(holdsFileOpen("\\\\server\\share\\plan.vrd"));
    EXPECT_TRUE(holdsFileOpen("//server/share/plan.vrd"));
    EXPECT_FALSE(holdsFileOpen("/home/plan.vrd"));
}

TEST_F(Saving, HeldFileDeniesOthersWritingUntilClosed) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    FileHooks hooks;
    hooks.classifyDrive = localDriveC;
    setFileHooks(hooks);
    FileSettings settings;
    std::snprintf(settings.lockDrives, kDriveListSize, "%s", "C");
    setFileSettings(settings);
    open(file);
    ASSERT_NE(doc.ownFile.file, nullptr);
    platform::OpenInfo info{};
    EXPECT_EQ(platform::openFile(file.c_str(), &info, platform::kOpenWrite | platform::kShareDenyNone),
              platform::kInvalidFile);
    EXPECT_EQ(info.errorCode, platform::kErrSharingViolation);
    // Others may read.
    const platform::FileHandle reader = platform::openFile(file.c_str(), &info, platform::kOpenRead);
    EXPECT_NE(reader, platform::kInvalidFile);
    if (reader != platform::kInvalidFile) platform::closeFile(reader);
    // Saving onto it works (the hold is released and taken again).
    changeSegment(0, "held");
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_NE(doc.ownFile.file, nullptr);
    EXPECT_EQ(platform::openFile(file.c_str(), &info, platform::kOpenWrite | platform::kShareDenyNone),
              platform::kInvalidFile);
    // Opening it again is not stopped by the document's own hold.
    open(file);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(doc.ownFile.readOnly);
    closeDocument(&doc);
    const platform::FileHandle writer =
        platform::openFile(file.c_str(), &info, platform::kOpenWrite | platform::kShareDenyNone);
    EXPECT_NE(writer, platform::kInvalidFile);
    if (writer != platform::kInvalidFile) platform::closeFile(writer);
}

// ---------------------------------------------------------------------------
// Changes by other programs

TEST_F(Saving, ChangeCheckOnActivation) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    open(file);
    EXPECT_EQ(checkChangedOnActivate(&doc), 0);
    EXPECT_TRUE(host.messages.empty());
    const std::uint64_t opened = doc.ownFile.fileTime;

    // Another program writes it: asked, No keeps the document.
    ASSERT_TRUE(touch(file, opened + 10000000ULL));
    host.answer(kAnswerNo);
    EXPECT_EQ(checkChangedOnActivate(&doc), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_CHANGED_RELOAD_QUESTION);
    EXPECT_EQ(host.messages[0].text, "File " + fullName(file) + " has been changed. Reload file?");
    // The stamp was recorded: no second question.
    EXPECT_EQ(checkChangedOnActivate(&doc), 0);
    EXPECT_EQ(host.messages.size(), 1u);

    // Modified: the other question; Yes reloads the file's content.
    changeSegment(0, "mine");
    DiagramDocument other{};
    setCurrentStreamFormat(&other);
    ConstructNode* root = buildDiagram(&other, 3, 1);
    const std::string theirs = tree_test::dump(root);
    ASSERT_TRUE(writeBytes(file, diagramFile(&other, root)));
    freeSequence(root);
    ASSERT_TRUE(touch(file, opened + 20000000ULL));
    host.messages.clear();
    host.answer(kAnswerYes);
    EXPECT_EQ(checkChangedOnActivate(&doc), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_CHANGED_DISCARD_QUESTION);
    EXPECT_EQ(host.messages[0].text,
              "File " + fullName(file) + " has been changed. Discard current changes and reload file?");
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(loadedDump(&doc), theirs);

    // Inside a call from another application: reloaded at once.
    ASSERT_TRUE(touch(file, opened + 30000000ULL));
    host.messages.clear();
    g_hostState.insideForeignCall = true;
    EXPECT_EQ(checkChangedOnActivate(&doc), 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Saving, ReloadKeepsWriteProtection) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    open(file, true);
    ASSERT_TRUE(touch(file, doc.ownFile.fileTime + 10000000ULL));
    host.answer(kAnswerYes);
    EXPECT_EQ(checkChangedOnActivate(&doc), 1);
    EXPECT_TRUE(doc.ownFile.readOnly);
}

TEST_F(Saving, ChangeCheckBeforeSave) {
    std::string original;
    const std::string file = sampleFile("plan.vrd", 1, 1, &original);
    open(file);
    const std::uint64_t opened = doc.ownFile.fileTime;
    ASSERT_TRUE(touch(file, opened + 10000000ULL));
    // No: another name is to be asked for; the stamp is recorded.
    host.answer(kAnswerNo);
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::OtherName);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_CHANGED_OVERWRITE_QUESTION);
    EXPECT_EQ(host.messages[0].text,
              "File " + fullName(file) + " has been changed by another application. Overwrite anyway?");
    EXPECT_EQ(host.messages[0].style & kBoxButtonMask, static_cast<unsigned>(kBoxYesNoCancel));
    EXPECT_EQ(doc.ownFile.fileTime, opened + 10000000ULL);
    EXPECT_EQ(readBytes(file), original);
    // Cancel ends the save.
    ASSERT_TRUE(touch(file, opened + 20000000ULL));
    host.answer(kAnswerCancel);
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Cancelled);
    // Yes overwrites.
    ASSERT_TRUE(touch(file, opened + 30000000ULL));
    host.answer(kAnswerYes);
    EXPECT_EQ(saveDocument(&doc, file.c_str(), false), SaveResult::Saved);
    EXPECT_EQ(host.messages.size(), 3u);
    // Saving under another name does not ask about the own file.
    ASSERT_TRUE(touch(file, opened + 40000000ULL));
    EXPECT_EQ(saveDocument(&doc, path("other.vrd").c_str(), false), SaveResult::Saved);
    EXPECT_EQ(host.messages.size(), 3u);
}

// ---------------------------------------------------------------------------
// Names

TEST_F(Saving, NamesCheckedBeforeOpening) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    EXPECT_EQ(checkNameBeforeOpening(file.c_str()), NameCheck::Open);
    const std::string empty = path("empty.vrd");
    ASSERT_TRUE(writeBytes(empty, ""));
    EXPECT_EQ(checkNameBeforeOpening(empty.c_str()), NameCheck::StartEmpty);
    EXPECT_TRUE(host.messages.empty());

    const std::string missing = path("missing.vrd");
    host.answer(kAnswerYes);
    EXPECT_EQ(checkNameBeforeOpening(missing.c_str()), NameCheck::StartEmpty);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_CREATE_FILE_QUESTION);
    EXPECT_EQ(host.messages[0].text, "File " + fullName(missing) + "\r\ndoes not exist.\r\n\r\nCreate file?");
    host.answer(kAnswerNo);
    EXPECT_EQ(checkNameBeforeOpening(missing.c_str()), NameCheck::Refused);
    EXPECT_FALSE(exists(missing));
    g_hostState.insideForeignCall = true;
    EXPECT_EQ(checkNameBeforeOpening(missing.c_str()), NameCheck::Refused);
    EXPECT_EQ(host.messages.size(), 2u);
    g_hostState.insideForeignCall = false;

    platform::setFaultPlan({platform::FaultOp::open, 1, false, false, platform::kErrSharingViolation});
    EXPECT_EQ(checkNameBeforeOpening(file.c_str()), NameCheck::Refused);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[2].id, IDS_FILE_ALREADY_IN_USE);
}

TEST_F(Saving, OutputNamesThatMayNotBeWritten) {
    const std::string file = sampleFile("plan.vrd", 1, 1);
    open(file);
    EXPECT_EQ(checkOutputName(&doc, file.c_str()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, IDS_OWN_FILE_NOT_OVERWRITABLE);
    EXPECT_EQ(host.messages[0].text,
              "Impossible to overwrite current VRD file. Please use another file name.");
    EXPECT_EQ(checkOutputName(&doc, path("plan.pas").c_str()), 1);
    std::snprintf(doc.relatedFiles[0].path, kPathSize, "%s", fullName(path("plan.pas")).c_str());
    doc.relatedFiles[0].readOnly = true;
    EXPECT_EQ(checkOutputName(&doc, path("plan.pas").c_str()), 0);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].id, IDS_NAME_WRITE_PROTECTED);
    EXPECT_EQ(host.messages[1].text,
              fullName(path("plan.pas")) + "\r\nis write protected.\r\n\r\nPlease use another filename.");
}

// ---------------------------------------------------------------------------
// The generator's working copy

TEST_F(Saving, WorkingCopyBecomesTheTemporaryFile) {
    const std::string file = sampleFile("plan.vrd", 2, 2);
    open(file);
    const std::string before = doc.tempFile.path;
    const std::string expected = loadedDump(&doc);
    // A working copy written in mode 0, as the generator does.
    const std::string working = path("working.tmp");
    {
        platform::OpenInfo info{};
        BufferedFile* out =
            bfile::openFile(working.c_str(), &info, platform::kOpenCreate | platform::kOpenReadWrite, 0);
        ASSERT_NE(out, nullptr);
        WholeWrite whole{};
        ASSERT_EQ(beginWholeWrite(doc.root, &whole), 1);
        const std::uint8_t mode = doc.streamMode;
        doc.streamMode = 0;
        resetOutcome();
        ASSERT_EQ(writeDiagram(&doc, doc.root, out, false), 1);
        doc.streamMode = mode;
        ASSERT_EQ(bfile::close(out), 0);
        memFree(whole.changed);
    }
    ASSERT_EQ(adoptWorkingCopy(&doc, working.c_str()), 1);
    EXPECT_FALSE(exists(before));
    EXPECT_STREQ(doc.tempFile.path, fullName(working).c_str());
    EXPECT_EQ(doc.segmentSource, &doc.tempFileSource);
    // Everything is read from it now.
    closeDocument(&doc);
    EXPECT_FALSE(exists(working));  // the editor's own temporary file
    open(file);
    EXPECT_EQ(loadedDump(&doc), expected);

    // A working copy that cannot be opened: offsets back, the file deleted.
    const std::string broken = path("broken.tmp");
    ASSERT_TRUE(writeBytes(broken, "x"));
    platform::setFaultPlan({platform::FaultOp::open, 1});
    EXPECT_EQ(adoptWorkingCopy(&doc, broken.c_str()), 0);
    platform::setFaultPlan({});
    EXPECT_FALSE(exists(broken));
    EXPECT_EQ(loadedDump(&doc), expected);
}

}  // namespace
