// The transfer-file export: a diagram as a line-oriented keyword text
// (".etf") that korrin-imp.dll reads back.
//
// Layout (every line one entry, CR LF at the end)
//   Korrin=VRD V6.32 <date time>
//   ShortInfo;  Line=<text line>...  EndShortInfo;
//   Options;  IfLayout= LevelNumbers= LineNumbers= Colors= ScreenFont=
//             PrinterFont= LastLevelId=  EndOptions;
//   the entries of the top segment
// A construct opens with its keyword and ":<line>" (";" for line 0), then
// Label= / RightLabel= entries, then its child sequences separated by the
// slot keywords and its closing keyword (import/transfer_keywords.h). A
// Level opens with "Level=<id>" and ":<line>" when its line is not 0; texts
// are written as Line= entries, one per text line. Constructs that transfer
// files do not carry write nothing. A Ctrl-Z inside a text (which would end
// the file for a reader) is written as a blank.
#pragma once

#include <cstddef>

#include "resources/commands.h"

struct BufferedFile;
struct DiagramDocument;

// Writes the transfer file of `document` (null: the current one) to the
// open `file`, with `timeText` in the header. 1 on success; 0 after a write
// error, a segment body that cannot be loaded, or a cancelled job.
int writeTransferFile(DiagramDocument* document, BufferedFile* file, const char* timeText);

// Writes the transfer file to `path` in the OEM character set when `oem`:
// into a work file beside it, which replaces a file there once it is
// complete; on failure the work file is deleted and a file there stays as
// it was. Shows "Unable to open %s." when the file cannot be created or
// replaced, the status text and the wait cursor meanwhile. 1 on success.
int exportTransferFile(DiagramDocument* document, const char* path, bool oem);

// The export commands. "Export as" (CMD_FILE_EXPORT_AS) always asks for
// the file name; "Export" (CMD_FILE_EXPORT) uses the diagram's stored
// export file name and asks only without one; a `path` (batch) is the target without a dialog. The
// character set follows EtfFileFormat. After a successful export the
// environment's exportDone is told. 1 on success, 0 when cancelled or
// failed.
int exportCommand(DiagramDocument* document, unsigned command, const char* path);

// The date and time text of the header: the current local time as the
// generator writes \%TIME% (the system's short date and time separator).
// Tests install a fixed clock; null restores.
using ExportClock = void (*)(char* out, std::size_t size);
ExportClock setExportClock(ExportClock clock);

constexpr const char* kTransferVersion = "6.32";
