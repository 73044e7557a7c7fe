// Constructs and text on the clipboard, without the clipboard itself.
//
// The diagram format "Korrin(VRD)" carries a memory block with the 8-byte
// size header holding a complete native diagram (header, information
// chunks, TREE chunk) whose root is a segment whose body is the copied
// sequence. Paste reads it back through the native loader, which unwraps
// the segment and gives every segment inside a new level id. Text comes as
// CF_TEXT or CF_OEMTEXT and becomes a Text or FreeFormat construct.
//
// The window side opens the clipboard and moves the blocks; everything it
// hands over or gets back goes through here.
#pragma once

#include <cstddef>

#include "edit/edit_context.h"
#include "platform/platform.h"

// The image of first..last of `document`: a new movable memory block, null
// when memory ran out or the writing failed. Segment bodies on disk are
// copied from the segment file (or read and serialised).
platform::MemHandle writeClipboardImage(DiagramDocument* document, ConstructNode* first, ConstructNode* last);

// The sequence of an image for `document` (new level ids): 1 with the
// detached sequence in `*sequence` (null for an empty one). 0 after the
// message of the data that is not an image: "Data in Clipboard does not
// have Korrin(VRD) format." (20009), "Structure diagram in Clipboard has
// Korrin(%s) format %s. This format is not supported." (20002) or
// "Structure diagram in Clipboard contains a structural error." (20006);
// nothing is created then.
int readClipboardImage(DiagramDocument* document, platform::MemHandle image, ConstructNode** sequence);

// What the clipboard holds, as the window side sees it.
struct ClipboardContent {
    bool diagram = false;     // "Korrin(VRD)" (format 120, and its older twin 122)
    bool oldDiagram = false;  // "Korrin(VQ)" (format 121)
    bool native = false;      // the OLE "Native" format
    bool text = false;        // CF_TEXT
    bool oemText = false;     // CF_OEMTEXT
};

enum class PasteSource { None, Diagram, Native, Text, OemText };

// Where Paste takes its data from: once the settings are loaded only the
// diagram format counts; before that a clipboard holding one of the own
// formats together with "Native" is read from "Native". Without a diagram,
// CF_TEXT is preferred to CF_OEMTEXT.
PasteSource pasteSource(const ClipboardContent& content, bool settingsLoaded);

// Clipboard text as the text of a construct, in a block of the counting
// allocator: OEM text converted to ANSI, each tab expanded to blanks up to
// the next multiple of eight columns, cut at the end of the data, at a NUL,
// and at 29988 characters. Null for an empty text or when memory ran out.
char* constructTextFromClipboard(const char* text, std::size_t size, bool oem);

// Paste of text: a Text construct (CMD_CLIPBOARD_PASTE) or a FreeFormat construct
// (CMD_CLIPBOARD_PASTE_FREE_FORMAT) holding the converted text; null for anything else, an empty text, or
// when memory ran out.
ConstructNode* constructFromClipboardText(unsigned command, const char* text, std::size_t size, bool oem);

// The statement texts in first..last (and everything inside), CR LF
// between them, for CF_TEXT beside the image; with `oem` converted for
// CF_OEMTEXT. A block of the counting allocator; null when there is no
// text or memory ran out.
char* clipboardTextOf(ConstructNode* first, const ConstructNode* last, bool oem);

// Puts an image (and the text beside it, may be null) on the clipboard;
// true when the clipboard took the image over. The window side implements it.
using ClipboardPut = bool (*)(void* context, platform::MemHandle image, const char* text);

// Copy (CMD_CLIPBOARD_COPY): the selection's image and text onto the clipboard. 1 on success.
int copySelectionToClipboard(EditContext& context, ClipboardPut put, void* putContext);

// Cut (CMD_CLIPBOARD_CUT): Copy, and only when the clipboard took the copy, Delete.
int cutSelectionToClipboard(EditContext& context, ClipboardPut put, void* putContext);
