// Opening diagram files for editing, creating save targets, and the drive
// rule for holding files open.
#include "core/file_descriptor.h"

#include <cstdio>
#include <cstring>

#include "core/buffered_file.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/path.h"
#include "platform/platform.h"
#include "resources/strings.h"

namespace {

FileSettings g_settings{};
FileHooks g_hooks{};

constexpr std::uint16_t kEditMode = platform::kOpenReadWrite | platform::kShareDenyWrite;
constexpr std::uint16_t kProtectedMode = platform::kOpenRead | platform::kShareDenyNone;
constexpr std::uint16_t kHoldMode = platform::kOpenRead | platform::kShareDenyWrite;
constexpr std::uint16_t kCreateMode =
    platform::kOpenCreate | platform::kOpenWrite | platform::kShareDenyWrite;
constexpr std::uint16_t kBadLockState = 22;  // the buffered file layer's code for a lock already held

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool missing(int error) {
    return error == platform::kErrFileNotFound || error == platform::kErrPathNotFound;
}

bool mainWindowVisible() {
    return !g_hooks.mainWindowVisible || g_hooks.mainWindowVisible();
}

void classify(const char* path, char* letter, bool* remote) {
    if (g_hooks.classifyDrive) {
        g_hooks.classifyDrive(path, letter, remote);
        return;
    }
    *letter = 0;
    *remote = false;
    if (!path) return;
    if (isUncPath(path)) {
        *remote = true;
        return;
    }
    const char c = upper(path[0]);
    if (c >= 'A' && c <= 'Z' && path[1] == ':') {
        *letter = c;
        *remote = platform::isRemoteDrive(c);
    }
}

bool listed(const char* list, char letter) {
    if (!letter) return false;
    for (const char* p = list; *p; ++p)
        if (upper(*p) == letter) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings, hooks, names

void setFileSettings(const FileSettings& settings) {
    g_settings = settings;
    g_settings.lockDrives[kDriveListSize - 1] = 0;
    g_settings.unlockDrives[kDriveListSize - 1] = 0;
}

const FileSettings& fileSettings() {
    return g_settings;
}

FileHooks setFileHooks(const FileHooks& hooks) {
    FileHooks previous = g_hooks;
    g_hooks = hooks;
    return previous;
}

bool samePath(const char* a, const char* b) {
    if (!a || !b || !*a || !*b) return false;
    for (; *a && *b; ++a, ++b)
        if (upper(*a) != upper(*b)) return false;
    return *a == *b;
}

void qualifiedPath(const char* path, char out[kPathSize]) {
    char full[platform::kMaxPath];
    if (path && platform::fullPath(path, full))
        copyText(out, kPathSize, full);
    else
        copyText(out, kPathSize, path);
}

bool descriptorNames(const FileDescriptor& fd, const char* path) {
    if (!path || !fd.path[0]) return false;
    char full[kPathSize];
    qualifiedPath(path, full);
    return samePath(fd.path, full);
}

bool holdsFileOpen(const char* path) {
    char letter = 0;
    bool remote = false;
    classify(path, &letter, &remote);
    return remote ? !listed(g_settings.unlockDrives, letter) : listed(g_settings.lockDrives, letter);
}

// ---------------------------------------------------------------------------
// Opening

int openForEditing(DiagramDocument*, FileDescriptor* descriptor, const char* path, bool writeProtect) {
    if (!descriptor || !path || !*path) return 0;
    platform::OpenInfo info{};
    const char* name = path;
    BufferedFile* file = bfile::openFile(path, &info, writeProtect ? kProtectedMode : kEditMode, 0);
    bool readOnly = writeProtect;
    if (!file) {
        const int first = bfile::g_openError;
        if (g_outcome.jobCancelled) return 0;  // reported as the cancelled job
        if (missing(first)) {
            showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, name);
            return 0;
        }
        if (writeProtect) {
            // Already the mode of the retry.
            const bool inUse = first == platform::kErrSharingViolation || first == platform::kErrAccessDenied;
            showMessage(inUse ? IDS_FILE_ALREADY_IN_USE : IDS_UNABLE_TO_OPEN, kBoxDefault, name);
            return 0;
        }
        file = bfile::openFile(path, &info, kProtectedMode, 0);
        if (!file) {
            const int second = bfile::g_openError;
            const bool inUse =
                second == platform::kErrSharingViolation || second == platform::kErrAccessDenied;
            showMessage(inUse ? IDS_FILE_ALREADY_IN_USE : IDS_UNABLE_TO_OPEN, kBoxDefault, name);
            return 0;
        }
        if (first == platform::kErrSharingViolation) {
            if (askQuestion(IDS_OPEN_WRITE_PROTECTED_QUESTION, kBoxYesNo | kIconQuestion | kBoxTaskModal,
                            kAnswerYes, name) != kAnswerYes) {
                bfile::close(file);
                return 0;
            }
        } else if (mainWindowVisible()) {
            showMessage(IDS_FILE_WRITE_PROTECTED, kBoxDefault, name);
        }
        readOnly = true;
    }
    if (info.pathName[0]) name = info.pathName;
    // A lock the file already holds is no obstacle.
    if (bfile::lock(file, true) != 0 && bfile::g_openError != kBadLockState) {
        bfile::close(file);
        showMessage(IDS_IN_USE_UNABLE_TO_OPEN, kBoxDefault, name);
        return 0;
    }
    copyText(descriptor->path, kPathSize, name);
    descriptor->file = file;
    descriptor->readOnly = readOnly;
    descriptor->kind = FileKind::Diagram;
    descriptor->sourceKind = SourceKind::File;
    descriptor->fileTime = 0;
    platform::getFileTime(file->handle, &descriptor->fileTime);
    return 1;
}

NameCheck checkNameBeforeOpening(const char* path) {
    if (!path || !*path) return NameCheck::Refused;
    platform::OpenInfo info{};
    const platform::FileHandle h = platform::openFile(path, &info, kProtectedMode);
    const char* name = info.pathName[0] ? info.pathName : path;
    if (h == platform::kInvalidFile) {
        if (missing(info.errorCode)) {
            if (!questionsAllowed()) return NameCheck::Refused;
            return askQuestion(IDS_CREATE_FILE_QUESTION, kBoxYesNo | kIconQuestion | kBoxTaskModal, kAnswerNo,
                               name) == kAnswerYes
                       ? NameCheck::StartEmpty
                       : NameCheck::Refused;
        }
        if (info.errorCode == platform::kErrSharingViolation) {
            if (questionsAllowed()) showMessage(IDS_FILE_ALREADY_IN_USE, kBoxDefault, name);
            return NameCheck::Refused;
        }
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, name);
        return NameCheck::Refused;
    }
    const std::int64_t length = platform::seekFile(h, 0, platform::SeekOrigin::end);
    platform::closeFile(h);
    return length == 0 ? NameCheck::StartEmpty : NameCheck::Open;
}

int createForWriting(FileDescriptor* descriptor, const char* path) {
    if (!descriptor || !path || !*path) return 0;
    platform::OpenInfo info{};
    BufferedFile* file = bfile::openFile(path, &info, kCreateMode, 0);
    const char* name = info.pathName[0] ? info.pathName : path;
    if (file && bfile::close(file) != 0) file = nullptr;
    if (file) file = bfile::openFile(path, &info, kEditMode, 0);
    if (!file) {
        const bool inUse = bfile::g_openError == platform::kErrSharingViolation;
        showMessage(inUse ? IDS_FILE_IN_USE : IDS_UNABLE_TO_CREATE, kBoxDefault, name);
        return 0;
    }
    if (bfile::lock(file, true) != 0) {
        bfile::close(file);
        showMessage(IDS_IN_USE_UNABLE_TO_WRITE, kBoxDefault, name);
        return 0;
    }
    copyText(descriptor->path, kPathSize, name);
    descriptor->file = file;
    descriptor->readOnly = false;
    descriptor->kind = FileKind::Diagram;
    descriptor->sourceKind = SourceKind::File;
    return 1;
}

int settleOwnFile(DiagramDocument* document) {
    DiagramDocument* doc = document ? document : currentDocument();
    FileDescriptor& own = doc->ownFile;
    // Bodies are read from it: it stays as it is.
    if (doc->segmentSource == &doc->ownFileSource) return own.file != nullptr;
    if (own.file) bfile::close(own.file);
    own.file = nullptr;
    if (own.readOnly || !own.path[0] || own.sourceKind != SourceKind::File || own.kind != FileKind::Diagram ||
        !holdsFileOpen(own.path))
        return 0;
    platform::OpenInfo info{};
    own.file = bfile::openFile(own.path, &info, kHoldMode, 0);
    return own.file != nullptr;
}

void releaseFileHandles(DiagramDocument* document, const char* path) {
    DiagramDocument* doc = document ? document : currentDocument();
    FileDescriptor* descriptors[] = {&doc->ownFile, &doc->relatedFiles[0], &doc->relatedFiles[1],
                                     &doc->tempFile};
    for (FileDescriptor* fd : descriptors) {
        if (!fd->file || !descriptorNames(*fd, path)) continue;
        bfile::close(fd->file);
        fd->file = nullptr;
    }
}

int checkOutputName(const DiagramDocument* document, const char* path) {
    const DiagramDocument* doc = document ? document : currentDocument();
    if (!path || !*path) return 0;
    char full[kPathSize];
    qualifiedPath(path, full);
    if (descriptorNames(doc->ownFile, full)) {
        showMessage(IDS_OWN_FILE_NOT_OVERWRITABLE, kBoxDefault);
        return 0;
    }
    bool writeProtected = (descriptorNames(doc->relatedFiles[0], full) && doc->relatedFiles[0].readOnly) ||
                          (descriptorNames(doc->relatedFiles[1], full) && doc->relatedFiles[1].readOnly);
    if (!writeProtected && platform::fileExists(full)) {
        platform::OpenInfo info{};
        const platform::FileHandle h =
            platform::openFile(full, &info, platform::kOpenWrite | platform::kShareDenyNone);
        if (h != platform::kInvalidFile)
            platform::closeFile(h);
        else
            writeProtected =
                info.errorCode == platform::kErrAccessDenied || info.errorCode == platform::kErrWriteProtect;
    }
    if (writeProtected) {
        showMessage(IDS_NAME_WRITE_PROTECTED, kBoxDefault, full);
        return 0;
    }
    return 1;
}
