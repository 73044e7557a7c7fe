// Saving a document: the Save procedure with its backup copy, and the
// checks for changes made to the document's file by other programs.
//
// Nothing lost
//   A save never leaves the target without its previous content: the
//   previous file is renamed to the backup name before the new one is
//   written, and a failed save deletes the partly written file and gives
//   the backup its name back. When no backup copy can be made and the user
//   saves without one, the previous content is still put aside (renamed to
//   a unique name beside it, or copied to the temporary directory) for
//   the time of the save, and put back when the save fails. The document
//   in memory is unchanged by a failed save.
//
// Order of the steps
//   write-protected target refused; change check (when the target is the
//   own file); a new temporary segment file when the document is modified
//   (before anything touches the user's files); backup copy; target
//   created and locked; save time; header, information chunks and TREE in
//   stream mode 0x04 (segment blocks copied from the temporary file); last-
//   write time set to the save time; reopened for reading; the target
//   becomes the document's own file and is held or closed by the drive
//   rule.
#pragma once

#include <cstdint>

#include "core/diagram_document.h"

enum class SaveResult : int {
    Failed = 0,  // after the message
    Saved = 1,
    OtherName = 2,  // the save dialog is to ask for another name
    Cancelled = 3,  // the user ended the save
};

// The Save procedure for `path` (null document: the current one).
// `keepSaveTime`: the recorded save time stays (else it becomes now).
// `streamMode` is the element stream mode of the write; bit 0x04 (leave
// the tree unchanged) is always added.
//   "File %s opened with write protection. Please save under a different
//   name." -> OtherName; the change check may give OtherName or
//   Cancelled; the backup copy "File %s in use." / "Unable to create file
//   %s." / "Unable to create backup copy %s. Save without backup copy?";
//   createForWriting's messages; "Unable to save file." (after "Out of
//   disk space (drive %s). Job cancelled." on a full disk) on any write
//   failure; "File %s lost to other user after opening/saving. File
//   remains open with write protection." when the saved file cannot be
//   reopened (still Saved, the document becomes write-protected).
SaveResult saveDocument(DiagramDocument* document, const char* path, bool keepSaveTime,
                        std::uint8_t streamMode = 0x04);
// Saves under the document's own name (after a generation, the Save
// command on a named document).
SaveResult saveToOwnFile(DiagramDocument* document);

// The change check before saving onto the own file: when its recorded
// stamp differs from the file's, asks "File %s has been changed by another
// application. Overwrite anyway?" (Yes/No/Cancel; inside a call from
// another application: Yes). The new stamp is recorded either way.
enum class ChangeAnswer : int { Continue = 1, OtherName = 2, Cancel = 0 };
ChangeAnswer checkChangedBeforeSave(DiagramDocument* document);

// The change check when a diagram window becomes active: when the own
// file's stamp differs from the recorded one, records it and asks "File %s
// has been changed. Reload file?" (or "... Discard current changes and
// reload file?" when the document is modified); inside a call from another
// application it reloads at once. 1 when the document was reloaded.
int checkChangedOnActivate(DiagramDocument* document);

// Reads the own file again into the document, keeping its write
// protection. 1 on success (the document is empty after a failure).
int reloadDocument(DiagramDocument* document);

// The backup name of `target`: "~" inserted after the dot of the extension
// (".~" appended without one), the new extension cut to `maxExtLen`
// characters when that is 0..255. 0 when it does not fit.
int backupName(const char* target, int maxExtLen, char out[kPathSize]);

// Hooks (set by the application; null restores the default).
struct SavingHooks {
    // The time now, in seconds since 1970-01-01 UTC. Default: the clock.
    std::uint32_t (*now)() = nullptr;
    // The text of a save time. Default: local time "YYYY-MM-DD HH:MM:SS".
    void (*formatSaveTime)(std::uint32_t seconds, char* out, int size) = nullptr;
    // Called after a document was reloaded, to set its windows up again.
    void (*reloaded)(DiagramDocument* document) = nullptr;
};
SavingHooks setSavingHooks(const SavingHooks& hooks);

// FILETIME of a save time in seconds since 1970.
std::uint64_t fileTimeOfSaveTime(std::uint32_t seconds);
