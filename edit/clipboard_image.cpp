// The clipboard image of a sequence, and clipboard text for constructs.
#include "edit/clipboard_image.h"

#include <cstring>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "edit/construct_commands.h"
#include "resources/commands.h"

namespace {

constexpr int kTabWidth = 8;

// The TREE chunk of an image: one segment, the sequence as its body. The
// segment is never part of a tree: it is written from records of its own.
bool writeImageTree(DiagramDocument* document, BufferedFile* file, ConstructNode* first,
                    ConstructNode* last) {
    LevelInfo info{};
    info.levelId = 1;
    ConstructNode segment{};
    segment.type = ConstructType::Level;
    setPartPtr(&segment, 3, &info);
    setSegmentFlags(&segment, kSegLoaded);
    const std::int32_t chunk = beginChunk(file, kTagTree, kCurrentTreeVersion);
    if (chunk < 0 || !writeElement(file, &segment) || !writeLevelStart(file, &segment) ||
        !writeSequence(document, nullptr, nullptr, file))
        return false;
    const std::int32_t block = bfile::tell(file);
    return block >= 0 && writeBlockHeader(file, &segment) && writeSequence(document, first, last, file) &&
           patchBlockLength(file, static_cast<std::uint32_t>(block)) &&
           writeSequence(document, nullptr, nullptr, file) && endChunk(file, chunk);
}

}  // namespace

platform::MemHandle writeClipboardImage(DiagramDocument* document, ConstructNode* first,
                                        ConstructNode* last) {
    DiagramDocument* doc = document ? document : currentDocument();
    if (!first || g_outcome.jobCancelled) return nullptr;
    platform::MemHandle block = platform::memBlockAlloc(kMemHeaderSize);
    BufferedFile* file = block ? bfile::openMemory(block, 0, 0, 0) : nullptr;
    if (!file) {
        if (block) platform::memBlockFree(block);
        return nullptr;
    }
    // The source tree stays as it is: no segment moves into the image.
    const std::uint8_t mode = doc->streamMode;
    doc->streamMode = kStreamModeKeepTree;
    const bool writeOk = g_outcome.writeOk;
    g_outcome.writeOk = true;
    bool ok = writeDiagramHeader(file) && writeInformationChunks(file, doc) &&
              writeImageTree(doc, file, first, last) && g_outcome.writeOk;
    ok = bfile::close(file) == 0 && ok;
    g_outcome.writeOk = writeOk;
    doc->streamMode = mode;
    if (!ok) return platform::memBlockFree(block);
    return block;
}

int readClipboardImage(DiagramDocument* document, platform::MemHandle image, ConstructNode** sequence) {
    return readClipboardDiagram(document, image, sequence);
}

PasteSource pasteSource(const ClipboardContent& content, bool settingsLoaded) {
    const bool own = content.diagram || content.oldDiagram;
    if (!settingsLoaded && own && content.native) return PasteSource::Native;
    if (content.diagram) return PasteSource::Diagram;
    if (content.text) return PasteSource::Text;
    if (content.oemText) return PasteSource::OemText;
    return PasteSource::None;
}

char* constructTextFromClipboard(const char* text, std::size_t size, bool oem) {
    if (!text) return nullptr;
    std::size_t length = 0;
    while (length < size && text[length]) ++length;
    // Room for the text with every tab at its widest, within the limit.
    std::size_t room = length;
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] == '\t') room += kTabWidth - 1;
    if (room > static_cast<std::size_t>(kMaxJoinedText)) room = kMaxJoinedText;
    if (room == 0) return nullptr;
    auto* out = static_cast<char*>(memAlloc(room + 1));
    if (!out) return nullptr;
    std::size_t n = 0;
    int column = 0;
    for (std::size_t i = 0; i < length && n < room; ++i) {
        const char c = text[i];
        if (c == '\t') {
            do {
                out[n++] = ' ';
                ++column;
            } while (column % kTabWidth != 0 && n < room);
            continue;
        }
        out[n++] = c;
        column = c == '\r' || c == '\n' ? 0 : column + 1;
    }
    out[n] = 0;
    if (oem) platform::oemToAnsi(out, n);
    return out;
}

ConstructNode* constructFromClipboardText(unsigned command, const char* text, std::size_t size, bool oem) {
    ConstructType type = ConstructType::None;
    if (command == CMD_CLIPBOARD_PASTE) type = ConstructType::Text;
    if (command == CMD_CLIPBOARD_PASTE_FREE_FORMAT) type = ConstructType::FreeFormat;
    if (type == ConstructType::None) return nullptr;
    char* converted = constructTextFromClipboard(text, size, oem);
    if (!converted) return nullptr;
    ConstructNode* node = newNode(type);
    if (!node) {
        memFree(converted);
        return nullptr;
    }
    setText(node, converted);
    return node;
}

namespace {
int appendText(ConstructNode* node, void* context) {
    auto* out = static_cast<std::string*>(context);
    if (const char* text = textOf(node); text && *text) {
        if (!out->empty()) *out += "\r\n";
        *out += text;
    }
    return 1;
}
}  // namespace

char* clipboardTextOf(ConstructNode* first, const ConstructNode* last, bool oem) {
    std::string text;
    for (ConstructNode* n = first; n; n = n == last ? nullptr : n->next) {
        appendText(n, &text);
        struct Inner {
            static int sequence(ConstructNode* head, void* context) {
                return !head || forEachNode(head, appendText, context);
            }
        };
        forEachChildSequence(0, Inner::sequence, n, &text);
    }
    if (text.empty()) return nullptr;
    char* out = memStrDup(text.c_str(), static_cast<long>(text.size()));
    if (out && oem) platform::ansiToOem(out, text.size());
    return out;
}

int copySelectionToClipboard(EditContext& context, ClipboardPut put, void* putContext) {
    if (!context.view || !put) return 0;
    const Selection selection = context.view->state.selection;
    if (selection.empty()) return 0;
    platform::MemHandle image = writeClipboardImage(context.document, selection.first, selection.last);
    if (!image) return 0;
    char* text = clipboardTextOf(selection.first, selection.last, false);
    const bool taken = put(putContext, image, text);
    memFree(text);
    if (!taken) {
        platform::memBlockFree(image);
        return 0;
    }
    return 1;
}

int cutSelectionToClipboard(EditContext& context, ClipboardPut put, void* putContext) {
    if (!context.view || !canDelete(context.view->state.selection)) return 0;
    // The area is deleted only once the clipboard holds its copy.
    return copySelectionToClipboard(context, put, putContext) && deleteSelection(context);
}
