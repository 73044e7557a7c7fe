// The Save procedure, backup copies and the change checks.
#include "core/diagram_save.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/file_descriptor.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/path.h"
#include "core/segment_paging.h"
#include "platform/platform.h"
#include "resources/strings.h"

namespace {

SavingHooks g_hooks{};

constexpr std::uint64_t kEpochDelta = 116444736000000000ULL;  // 1601 -> 1970 in 100 ns
constexpr std::uint16_t kProbeMode = platform::kOpenReadWrite | platform::kShareDenyWrite;
constexpr std::uint16_t kHoldMode = platform::kOpenRead | platform::kShareDenyWrite;
constexpr int kMaxSideNames = 10000;

std::uint32_t clockNow() {
    const std::time_t t = std::time(nullptr);
    return t < 0 ? 0u : static_cast<std::uint32_t>(t);
}

void localTimeText(std::uint32_t seconds, char* out, int size) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm* tm = std::localtime(&t);
    if (!tm || std::strftime(out, static_cast<std::size_t>(size), "%Y-%m-%d %H:%M:%S", tm) == 0)
        std::snprintf(out, static_cast<std::size_t>(size), "%u", seconds);
}

// ---------------------------------------------------------------------------
// The segment source and renames

// The descriptor of the segment source when it is a file.
FileDescriptor* sourceDescriptor(DiagramDocument* doc) {
    if (doc->segmentSource == &doc->ownFileSource) return &doc->ownFile;
    if (doc->segmentSource == &doc->tempFileSource) return &doc->tempFile;
    return nullptr;
}

bool sourceNames(DiagramDocument* doc, const char* path) {
    const FileDescriptor* fd = sourceDescriptor(doc);
    return fd && descriptorNames(*fd, path);
}

// The segment source now reads from `path` (its file was renamed there):
// the dedicated descriptor takes it over, so that the own descriptor is
// free to name the saved file. `owned`: the name is the editor's own.
void sourceFollows(DiagramDocument* doc, const char* path, bool owned) {
    FileDescriptor* fd = sourceDescriptor(doc);
    if (!fd) return;
    if (fd == &doc->ownFile) {
        const FileDescriptor own = doc->ownFile;
        releaseTemporaryFile(doc);
        doc->tempFile = own;
        doc->tempFile.file = nullptr;
        useFileAsSegmentSource(doc, &doc->tempFile, &doc->tempFileSource);
        fd = &doc->tempFile;
    } else if (fd->file) {
        bfile::close(fd->file);
        fd->file = nullptr;
    }
    copyText(fd->path, kPathSize, path);
    doc->tempFileOwned = owned;
}

// Moves the segment source off the own descriptor (before that names
// another file).
void detachSourceFromOwnFile(DiagramDocument* doc) {
    if (doc->segmentSource == &doc->ownFileSource) sourceFollows(doc, doc->ownFile.path, false);
}

// A name "vrdNNNN.TMP" that does not exist yet in the folder of `beside`.
bool sideName(const char* beside, char out[kPathSize]) {
    const int folder = static_cast<int>(fileNameOf(beside) - beside);
    for (int n = 0; n < kMaxSideNames; ++n) {
        const int length = std::snprintf(out, kPathSize, "%.*svrd%04d.TMP", folder, beside, n);
        if (length < 0 || length >= kPathSize) return false;
        if (!platform::fileExists(out)) return true;
    }
    return false;
}

// Copies the bytes of `from` to `to` (created or truncated).
bool copyFile(const char* from, const char* to) {
    platform::OpenInfo info{};
    const platform::FileHandle in =
        platform::openFile(from, &info, platform::kOpenRead | platform::kShareDenyWrite);
    if (in == platform::kInvalidFile) return false;
    const platform::FileHandle out = platform::openFile(
        to, &info, platform::kOpenCreate | platform::kOpenWrite | platform::kShareExclusive);
    if (out == platform::kInvalidFile) {
        platform::closeFile(in);
        return false;
    }
    static char buffer[65536];
    bool ok = true;
    for (;;) {
        const std::int32_t n = platform::readFile(in, buffer, sizeof buffer);
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (platform::writeFile(out, buffer, static_cast<std::uint32_t>(n)) != n) {
            ok = false;
            break;
        }
    }
    if (!platform::closeFile(out)) ok = false;
    platform::closeFile(in);
    return ok;
}

// ---------------------------------------------------------------------------
// Backup copy

struct Backup {
    bool targetExisted;
    bool made;             // the target was renamed to `path`
    char path[kPathSize];  // the backup name
    bool sideRenamed;      // no backup: the target was renamed to `side`
    bool sideCopied;       // no backup: the target was copied to `side`
    char side[kPathSize];
    bool sourceFollowed;  // the segment source went with the target
    bool sourceOwned;     // ... and was the editor's own file before
};

// Renames `from` to `to`; the segment source goes along when it reads from
// `from`.
bool renameFollowing(DiagramDocument* doc, const char* from, const char* to, bool owned, bool* followed) {
    const bool source = sourceNames(doc, from);
    if (source) {
        FileDescriptor* fd = sourceDescriptor(doc);
        if (fd->file) {
            bfile::close(fd->file);
            fd->file = nullptr;
        }
    }
    if (!platform::renameFile(from, to)) return false;
    if (source) {
        sourceFollows(doc, to, owned);
        if (followed) *followed = true;
    }
    return true;
}

// Puts the previous content aside when no backup copy could be made.
bool putAside(DiagramDocument* doc, const char* target, Backup* bk) {
    if (sideName(target, bk->side)) {
        const bool owned = doc->tempFileOwned;
        bool followed = false;
        if (renameFollowing(doc, target, bk->side, true, &followed)) {
            bk->sideRenamed = true;
            bk->sourceFollowed = followed;
            bk->sourceOwned = owned;
            return true;
        }
    }
    char name[platform::kMaxPath];
    if (!platform::tempFileName("vrd", name)) return false;
    copyText(bk->side, kPathSize, name);
    if (copyFile(target, bk->side)) {
        bk->sideCopied = true;
        return true;
    }
    platform::deleteFile(bk->side);
    return false;
}

// 1 to go on (with or without a backup copy), 0 when the save stops.
int makeBackup(DiagramDocument* doc, const char* target, Backup* bk) {
    *bk = Backup{};
    if (!platform::fileExists(target)) return 1;
    bk->targetExisted = true;

    // Nobody else may be using it.
    releaseFileHandles(doc, target);
    platform::OpenInfo info{};
    const platform::FileHandle probe = platform::openFile(target, &info, kProbeMode);
    if (probe == platform::kInvalidFile) {
        showMessage(info.errorCode == platform::kErrSharingViolation ? IDS_FILE_IN_USE : IDS_UNABLE_TO_CREATE,
                    kBoxDefault, target);
        return 0;
    }
    platform::closeFile(probe);

    if (backupName(target, fileSettings().maxBackupCopyExtLen, bk->path) && !samePath(bk->path, target)) {
        releaseFileHandles(doc, bk->path);
        bool cleared = !platform::fileExists(bk->path);
        if (!cleared && sourceNames(doc, bk->path)) {
            // Bodies are still read from the old backup: it moves aside.
            char aside[kPathSize];
            cleared = sideName(bk->path, aside) && renameFollowing(doc, bk->path, aside, true, nullptr);
        } else if (!cleared) {
            cleared = platform::deleteFile(bk->path);
        }
        const bool owned = doc->tempFileOwned;
        bool followed = false;
        if (cleared && !platform::fileExists(bk->path) &&
            renameFollowing(doc, target, bk->path, false, &followed)) {
            bk->made = true;
            bk->sourceFollowed = followed;
            bk->sourceOwned = owned;
            return 1;
        }
    }
    if (askQuestion(IDS_NO_BACKUP_QUESTION, kBoxYesNo | kIconQuestion | kBoxTaskModal, kAnswerNo, bk->path) !=
        kAnswerYes)
        return 0;
    if (!putAside(doc, target, bk)) {
        showMessage(IDS_UNABLE_TO_SAVE, kBoxDefault);
        return 0;
    }
    return 1;
}

// After a failed save: the target gets its previous content back.
void restoreTarget(DiagramDocument* doc, const char* target, Backup* bk) {
    const char* from = bk->made ? bk->path : bk->sideRenamed ? bk->side : nullptr;
    if (from) {
        platform::deleteFile(target);
        bool followed = false;
        if (renameFollowing(doc, from, target, bk->sourceOwned, &followed)) return;
        // The name could not be given back: the content is copied.
        copyFile(from, target);
        return;
    }
    if (bk->sideCopied) {
        if (copyFile(bk->side, target)) platform::deleteFile(bk->side);
        return;
    }
    // There was nothing before.
    if (!bk->targetExisted) platform::deleteFile(target);
}

void reportWriteFailure(const char* path, bool diskFull) {
    if (g_outcome.jobCancelled) return;  // the command loop reports that
    if (diskFull) {
        char drive[kPathSize];
        driveText(path, drive, sizeof drive);
        showMessage(IDS_DISK_FULL, kBoxDefault, drive);
    }
    showMessage(IDS_UNABLE_TO_SAVE, kBoxDefault);
}

void reportTemporaryFailure(TempFileFailure failure, const char* path) {
    if (failure == TempFileFailure::Create)
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, path[0] ? path : "vrd");
    else if (failure != TempFileFailure::Cancelled)
        reportWriteFailure(path, failure == TempFileFailure::DiskFull);
}

// The save time and its text, to put back after a failed save.
struct SaveTime {
    std::uint32_t time;
    char* text;
};

void setSaveTimeNow(DiagramDocument* doc) {
    const std::uint32_t now = g_hooks.now ? g_hooks.now() : clockNow();
    char text[64];
    (g_hooks.formatSaveTime ? g_hooks.formatSaveTime : localTimeText)(now, text, sizeof text);
    text[sizeof text - 1] = 0;
    doc->saveTime = now;
    doc->saveTimeText = memStrDup(text);
}

// Writes the whole diagram to the open target. 1 when it is all on disk.
bool writeTarget(DiagramDocument* doc, BufferedFile* file, std::uint8_t streamMode, bool* diskFull) {
    const std::uint8_t documentMode = doc->streamMode;
    doc->streamMode = static_cast<std::uint8_t>(streamMode | kStreamModeKeepTree);
    g_outcome.writeOk = true;
    bool ok = bfile::truncate(file, 0) == 0 && writeDiagram(doc, doc->root, file, false) != 0;
    doc->streamMode = documentMode;
    const std::int32_t end = ok ? bfile::tell(file) : -1;
    ok = ok && g_outcome.writeOk && !g_outcome.jobCancelled && end >= 0 && bfile::seek(file, end) == 0 &&
         !bfile::hasError(file);
    *diskFull = !ok && platform::lastError() == platform::kErrDiskFull;
    if (!ok) g_outcome.writeOk = false;
    return ok;
}

}  // namespace

// ---------------------------------------------------------------------------

SavingHooks setSavingHooks(const SavingHooks& hooks) {
    SavingHooks previous = g_hooks;
    g_hooks = hooks;
    return previous;
}

std::uint64_t fileTimeOfSaveTime(std::uint32_t seconds) {
    return kEpochDelta + std::uint64_t{seconds} * 10000000ULL;
}

int backupName(const char* target, int maxExtLen, char out[kPathSize]) {
    out[0] = 0;
    if (!target || !*target) return 0;
    const char* dot = extensionOf(target);
    const std::size_t base = static_cast<std::size_t>(dot - target) + 1;  // ".~" appended without one
    char extension[kPathSize];
    std::snprintf(extension, sizeof extension, "~%s", *dot ? dot + 1 : "");
    if (maxExtLen >= 0 && maxExtLen <= 255 && std::strlen(extension) > static_cast<std::size_t>(maxExtLen))
        extension[maxExtLen] = 0;
    const int n = std::snprintf(out, kPathSize, "%.*s.%s", static_cast<int>(base - 1), target, extension);
    if (n < 0 || n >= kPathSize) {
        out[0] = 0;
        return 0;
    }
    return 1;
}

ChangeAnswer checkChangedBeforeSave(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    FileDescriptor& own = doc->ownFile;
    std::uint64_t stamp = 0;
    if (!own.fileTime || !own.path[0] || !platform::getFileTimeByName(own.path, &stamp) ||
        stamp == own.fileTime)
        return ChangeAnswer::Continue;
    own.fileTime = stamp;
    switch (askQuestion(IDS_CHANGED_OVERWRITE_QUESTION, kBoxYesNoCancel | kIconQuestion | kBoxTaskModal,
                        kAnswerYes, own.path)) {
        case kAnswerYes:
            return ChangeAnswer::Continue;
        case kAnswerNo:
            return ChangeAnswer::OtherName;
        default:
            return ChangeAnswer::Cancel;
    }
}

int reloadDocument(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    char path[kPathSize];
    copyText(path, kPathSize, doc->ownFile.path);
    const bool writeProtect = doc->ownFile.readOnly;
    if (!path[0]) return 0;
    const int ok = openDocument(doc, path, kReadKeepLineNumbers, writeProtect);
    if (ok && g_hooks.reloaded) g_hooks.reloaded(doc);
    return ok;
}

int checkChangedOnActivate(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    FileDescriptor& own = doc->ownFile;
    std::uint64_t stamp = 0;
    if (!own.fileTime || !own.path[0] || !platform::getFileTimeByName(own.path, &stamp) ||
        stamp == own.fileTime)
        return 0;
    own.fileTime = stamp;
    const unsigned id = doc->modified ? IDS_CHANGED_DISCARD_QUESTION : IDS_CHANGED_RELOAD_QUESTION;
    if (askQuestion(id, kBoxYesNo | kIconQuestion | kBoxTaskModal, kAnswerYes, own.path) != kAnswerYes)
        return 0;
    return reloadDocument(doc);
}

SaveResult saveDocument(DiagramDocument* document, const char* path, bool keepSaveTime,
                        std::uint8_t streamMode) {
    DiagramDocument* doc = document ? document : currentDocument();
    if (!path || !*path || g_outcome.jobCancelled) return SaveResult::Failed;
    char target[kPathSize];
    qualifiedPath(path, target);
    CurrentDocumentScope scope(doc);

    // Not onto a file the document holds write-protected.
    for (const FileDescriptor* fd : {&doc->ownFile, &doc->relatedFiles[0], &doc->relatedFiles[1]}) {
        if (fd->readOnly && descriptorNames(*fd, target)) {
            showMessage(IDS_SAVE_UNDER_OTHER_NAME, kBoxDefault, target);
            return SaveResult::OtherName;
        }
    }
    // Changed by another program meanwhile?
    if (descriptorNames(doc->ownFile, target)) {
        const ChangeAnswer answer = checkChangedBeforeSave(doc);
        if (answer == ChangeAnswer::OtherName) return SaveResult::OtherName;
        if (answer == ChangeAnswer::Cancel) return SaveResult::Cancelled;
    }
    // Changed bodies go to a new temporary file first, so that the target is
    // written by copying blocks, and nothing of the user's is touched should
    // that fail.
    char temporary[kPathSize];
    if (doc->modified) {
        const TempFileFailure failure = writeTemporaryFileQuietly(doc, doc->root, 0, temporary);
        if (failure != TempFileFailure::None) {
            reportTemporaryFailure(failure, temporary);
            return SaveResult::Failed;
        }
    }

    // Backup copy.
    Backup bk{};
    if (!makeBackup(doc, target, &bk)) {
        settleOwnFile(doc);
        return SaveResult::Failed;
    }
    // Bodies must not be read from the file being overwritten.
    if (sourceNames(doc, target)) {
        const TempFileFailure failure = writeTemporaryFileQuietly(doc, doc->root, 0, temporary);
        if (failure != TempFileFailure::None) {
            reportTemporaryFailure(failure, temporary);
            restoreTarget(doc, target, &bk);
            settleOwnFile(doc);
            return SaveResult::Failed;
        }
    }

    // The target.
    FileDescriptor out{};
    if (!createForWriting(&out, target)) {
        restoreTarget(doc, target, &bk);
        settleOwnFile(doc);
        return SaveResult::Failed;
    }

    // Save time.
    const SaveTime before{doc->saveTime, doc->saveTimeText};
    if (!keepSaveTime) setSaveTimeNow(doc);

    // Write, flush, stamp, close.
    bool diskFull = false;
    bool ok = writeTarget(doc, out.file, streamMode, &diskFull);
    if (ok && doc->saveTime) platform::setFileTime(out.file->handle, fileTimeOfSaveTime(doc->saveTime));
    if (bfile::close(out.file) != 0 && ok) {
        ok = false;
        diskFull = platform::lastError() == platform::kErrDiskFull;
    }
    out.file = nullptr;
    if (!ok) {
        // The previous content goes back under the target's name.
        reportWriteFailure(target, diskFull);
        restoreTarget(doc, target, &bk);
        if (doc->saveTimeText != before.text) memFree(doc->saveTimeText);
        doc->saveTime = before.time;
        doc->saveTimeText = before.text;
        settleOwnFile(doc);
        return SaveResult::Failed;
    }
    if (doc->saveTimeText != before.text) memFree(before.text);
    // The content put aside goes, unless bodies are now read from it (it is
    // then the temporary file's, deleted with it).
    if ((bk.sideRenamed && !bk.sourceFollowed) || bk.sideCopied) platform::deleteFile(bk.side);

    // Reopen; the target becomes the own file.
    platform::OpenInfo info{};
    BufferedFile* reopened = bfile::openFile(target, &info, kHoldMode, 0);
    if (!reopened) showMessage(IDS_LOST_TO_OTHER_USER, kBoxDefault, target);
    detachSourceFromOwnFile(doc);
    if (doc->ownFile.file) bfile::close(doc->ownFile.file);
    FileDescriptor& own = doc->ownFile;
    own = out;
    own.file = reopened;
    own.readOnly = reopened == nullptr;
    std::memcpy(own.editionCode, kEditionCode, 4);
    std::memcpy(own.formatVersion, kCurrentFormat, 4);
    own.treeVersion = kCurrentTreeVersion;
    own.intWidth = 4;
    own.fileTime = 0;
    if (!reopened || !platform::getFileTime(reopened->handle, &own.fileTime))
        platform::getFileTimeByName(target, &own.fileTime);
    commitSegmentOffsets(doc, doc->root);
    settleOwnFile(doc);
    doc->modified = false;
    return SaveResult::Saved;
}

SaveResult saveToOwnFile(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    char path[kPathSize];
    copyText(path, kPathSize, doc->ownFile.path);
    return saveDocument(doc, path, false, kStreamModeKeepTree);
}
