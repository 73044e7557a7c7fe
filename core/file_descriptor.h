// The files a document refers to: opening a diagram file for editing with
// its sharing rules and lock, checking a name before opening, creating the
// target of a save, and which files the editor holds open while a
// document is open.
//
// Sharing
//   An editable diagram file is opened for reading and writing, denying
//   others write access, and locked while it is read. When that open fails
//   the file is opened write-protected (read access, others may read and
//   write) after asking, when the failure was a sharing violation. After
//   reading, the file is either closed or held open for reading, denying
//   others write access, by the drive rule (holdsFileOpen).
//
// All functions show their own messages and return 1 / 0.
#pragma once

#include <cstdint>

#include "core/diagram_document.h"

// ---------------------------------------------------------------------------
// Settings and hooks (set by the application; the defaults are those of a
// settings file without the keys)

constexpr int kDriveListSize = 41;  // LockDrives, UnLockDrives: 40 letters

struct FileSettings {
    // Settings MaxBackupCopyExtLen: 0..255 cuts the extension of a backup
    // copy to that many characters; anything else leaves it.
    int maxBackupCopyExtLen = -1;
    // Network LockDrives: local drives whose files are held open.
    char lockDrives[kDriveListSize] = {};
    // Network UnLockDrives: network drives whose files are not held open.
    char unlockDrives[kDriveListSize] = {};
};
void setFileSettings(const FileSettings& settings);
const FileSettings& fileSettings();

struct FileHooks {
    // Whether the main window is visible (the "write protected" notice is
    // shown only then). Null: visible.
    bool (*mainWindowVisible)() = nullptr;
    // The drive letter of a fully qualified path (upper case; 0 for none,
    // as for a UNC path) and whether the path lies on a network drive.
    // Null: from the path's form and platform::isRemoteDrive.
    void (*classifyDrive)(const char* path, char* letter, bool* remote) = nullptr;
};
// Installs `hooks` and returns the previous ones.
FileHooks setFileHooks(const FileHooks& hooks);

// ---------------------------------------------------------------------------
// Names

// Paths compare without regard to case (ASCII letters).
bool samePath(const char* a, const char* b);
// Whether `fd` names `path` (its fully qualified form).
bool descriptorNames(const FileDescriptor& fd, const char* path);
// The fully qualified form of `path` (the name itself when it cannot be
// qualified).
void qualifiedPath(const char* path, char out[kPathSize]);

// The drive rule: whether an editable file at `path` is held open while
// its document is open: on a network drive (UNC path or remote drive)
// whose letter is not in UnLockDrives, or on a local drive whose letter is
// in LockDrives.
bool holdsFileOpen(const char* path);

// ---------------------------------------------------------------------------
// Opening

// Opens the existing diagram file `path` into `descriptor` (path, file,
// readOnly, fileTime), locked. With `writeProtect`: read access, others may
// read and write. Otherwise read and write access, denying others write
// access; when that fails for another reason than a missing file it is
// retried write-protected: after a sharing violation with the question
// "File %s in use. Open file with write protection?" (inside a call from
// another application the answer is Yes), otherwise (a read-only file)
// with the notice "File %s is write protected." when the main window is
// visible. Failures: "Unable to open %s." (missing file or path, or any
// other failure), "File %s is already in use.\r\nUse a new filename or
// close the file in use by another application." (the write-protected
// open failed on sharing or access), "File %s in use - unable to open
// file." (the lock).
int openForEditing(DiagramDocument* document, FileDescriptor* descriptor, const char* path,
                   bool writeProtect);

// What a name given on the command line or in the open dialog is.
enum class NameCheck : int {
    Refused = 0,     // not to be opened (after the message, if any)
    Open = 1,        // an existing file with content
    StartEmpty = 2,  // the document starts empty under that name
};
// Opens `path` for reading with sharing allowed: a missing file asks
// "File %s\r\ndoes not exist.\r\n\r\nCreate file?" when questions are
// allowed (Yes: StartEmpty; otherwise Refused); a sharing violation shows
// "File %s is already in use.\r\n..." (when questions are allowed); any
// other failure "Unable to open %s.". An empty file starts empty.
NameCheck checkNameBeforeOpening(const char* path);

// Creates or truncates `path` for a save: created allowing others only to
// read, reopened for reading and writing denying others write access, and
// locked; `descriptor` gets the path and the open file. Failures: "File %s
// in use." (sharing violation), "Unable to create file %s." (anything
// else), "File %s in use - unable to write to file." (the lock).
int createForWriting(FileDescriptor* descriptor, const char* path);

// After a diagram was read and set up, or saved: the document's own file
// is closed, or, by the drive rule, reopened for reading denying others
// write access and held until the document is saved or closed. A
// write-protected file is closed. The own file stays open while it is the
// segment source. 1 when the file is held.
int settleOwnFile(DiagramDocument* document);

// Closes every handle of the document on `path`: its own file, the related
// files and the segment source's file (which is reopened when needed).
void releaseFileHandles(DiagramDocument* document, const char* path);

// For generation, export and save dialogs: a name that is the document's
// own file is refused with "Impossible to overwrite current VRD file.
// Please use another file name.", a write-protected name (one of the
// document's files opened write-protected, or an existing file that cannot
// be opened for writing for another reason than sharing) with
// "%s\r\nis write protected.\r\n\r\nPlease use another filename.". 1 when
// the name may be written.
int checkOutputName(const DiagramDocument* document, const char* path);
