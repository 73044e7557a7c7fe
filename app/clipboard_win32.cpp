// The Windows clipboard: Copy puts the selection's diagram image in the
// format "Korrin(VRD)" with its statement texts as CF_TEXT and CF_OEMTEXT;
// Paste reads our format (or, before the settings are loaded, "Native"
// beside it) or the text. The clipboard is open only while blocks are
// moved: the image is copied out before it is parsed, so that a message
// about bad data never waits with the clipboard held.
#include <cstring>

#include "app/edit_win32.h"
#include "app/view_win32.h"
#include "edit/clipboard_image.h"
#include "edit/construct_commands.h"
#include "platform/platform.h"
#include "resources/commands.h"

namespace {

UINT diagramFormat() {
    return g_frame.clipboardFormats[0];
}

UINT nativeFormat() {
    static const UINT format = RegisterClipboardFormatA("Native");
    return format;
}

// A movable global copy of `text`, converted for CF_OEMTEXT with `oem`.
HGLOBAL globalText(const char* text, bool oem) {
    const std::size_t length = std::strlen(text);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    char* to = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (!to) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    std::memcpy(to, text, length + 1);
    if (oem) platform::ansiToOem(to, length);
    GlobalUnlock(block);
    return block;
}

bool putOnClipboard(void*, platform::MemHandle image, const char* text) {
    if (!diagramFormat() || !OpenClipboard(g_frame.frame)) return false;
    EmptyClipboard();
    const bool taken = SetClipboardData(diagramFormat(), static_cast<HGLOBAL>(image)) != nullptr;
    if (taken && text) {
        for (const bool oem : {false, true}) {
            HGLOBAL block = globalText(text, oem);
            if (block && !SetClipboardData(oem ? CF_OEMTEXT : CF_TEXT, block)) GlobalFree(block);
        }
    }
    CloseClipboard();
    return taken;
}

// A copy of the clipboard's block of `format` in our own memory (null
// when there is none).
platform::MemHandle copyOfClipboardBlock(UINT format) {
    if (!OpenClipboard(g_frame.frame)) return nullptr;
    platform::MemHandle copy = nullptr;
    if (HGLOBAL block = static_cast<HGLOBAL>(GetClipboardData(format))) {
        const SIZE_T size = GlobalSize(block);
        const void* from = GlobalLock(block);
        if (from && size > 0 && size < 0x7FFFFFFF) {
            copy = platform::memBlockAlloc(static_cast<std::uint32_t>(size));
            if (void* to = copy ? platform::memBlockLock(copy) : nullptr) {
                std::memcpy(to, from, size);
                platform::memBlockUnlock(copy);
            }
        }
        if (from) GlobalUnlock(block);
    }
    CloseClipboard();
    return copy;
}

// The sequence for Paste: the diagram image or a construct holding the
// text. Null when there is nothing usable (after the message for bad data).
ConstructNode* sequenceFromClipboard(DiagramDocument* document, unsigned command) {
    const ClipboardContent content = clipboardContent();
    PasteSource source = pasteSource(content, g_frame.started);
    if (command == CMD_CLIPBOARD_PASTE_FREE_FORMAT)
        source = content.text      ? PasteSource::Text
                 : content.oemText ? PasteSource::OemText
                                   : PasteSource::None;
    ConstructNode* sequence = nullptr;
    if (source == PasteSource::Diagram || source == PasteSource::Native) {
        platform::MemHandle image =
            copyOfClipboardBlock(source == PasteSource::Native ? nativeFormat() : diagramFormat());
        if (!image) return nullptr;
        const int read = readClipboardImage(document, image, &sequence);
        platform::memBlockFree(image);
        diagnosticsLine("paste image %s", read ? "read" : "refused");
        return read ? sequence : nullptr;
    }
    if (source != PasteSource::Text && source != PasteSource::OemText) return nullptr;
    const bool oem = source == PasteSource::OemText;
    if (!OpenClipboard(g_frame.frame)) return nullptr;
    if (HGLOBAL block = static_cast<HGLOBAL>(GetClipboardData(oem ? CF_OEMTEXT : CF_TEXT))) {
        if (const char* text = static_cast<const char*>(GlobalLock(block))) {
            sequence = constructFromClipboardText(command, text, GlobalSize(block), oem);
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return sequence;
}

}  // namespace

ClipboardContent clipboardContent() {
    ClipboardContent content;
    content.diagram = diagramFormat() && IsClipboardFormatAvailable(diagramFormat());
    content.oldDiagram =
        g_frame.clipboardFormats[1] && IsClipboardFormatAvailable(g_frame.clipboardFormats[1]);
    content.native = IsClipboardFormatAvailable(nativeFormat());
    content.text = IsClipboardFormatAvailable(CF_TEXT);
    content.oemText = IsClipboardFormatAvailable(CF_OEMTEXT);
    return content;
}

bool clipboardCommand(SegmentWindow& window, const CommandRequest& request) {
    const unsigned command = request.command;
    CurrentDocumentScope scope(window.document);
    if (command == CMD_CLIPBOARD_COPY || command == CMD_CLIPBOARD_CUT) {
        EditContext context = editContextOf(window);
        const int done = command == CMD_CLIPBOARD_COPY
                             ? copySelectionToClipboard(context, putOnClipboard, nullptr)
                             : cutSelectionToClipboard(context, putOnClipboard, nullptr);
        afterEdit(window);
        diagnosticsLine("clipboard %u %s", command, done ? "done" : "failed");
        return done != 0;
    }
    ConstructNode* sequence = sequenceFromClipboard(window.document, command);
    if (!sequence || !beginInsertionOf(g_pendingInsertion, window.document, command, sequence)) return false;
    return enterInsertionMode(window);
}
