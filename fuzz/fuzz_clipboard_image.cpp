// The clipboard image as Paste meets it: the data of the diagram format is
// read as a sequence, written as an image and read again (both must
// succeed together), pasted into a diagram, undone and redone. Nothing may
// be left over.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "core/outcome.h"
#include "edit/clipboard_image.h"
#include "edit/insertion.h"
#include "edit/undo_journal.h"
#include "resources/commands.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

platform::MemHandle blockWith(const std::uint8_t* data, std::uint32_t size) {
    const std::uint32_t total = size + kMemHeaderSize;
    platform::MemHandle block = platform::memBlockAlloc(total);
    if (!block) return nullptr;
    auto* p = static_cast<unsigned char*>(platform::memBlockLock(block));
    std::memcpy(p, &total, 4);
    std::memcpy(p + 4, &total, 4);
    if (size) std::memcpy(p + kMemHeaderSize, data, size);
    platform::memBlockUnlock(block);
    return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    resetOutcome();
    memFailAt(0);
    const long blocksBefore = memOutstanding();
    platform::MemHandle block = blockWith(data, static_cast<std::uint32_t>(size));
    if (!block) return 0;

    DiagramDocument doc{};
    setCurrentStreamFormat(&doc);
    CurrentDocumentScope current(&doc);
    ConstructNode* sequence = nullptr;
    if (readClipboardImage(&doc, block, &sequence) && sequence) {
        platform::MemHandle again = writeClipboardImage(&doc, sequence, lastOf(sequence));
        if (again) {
            ConstructNode* reread = nullptr;
            check(readClipboardImage(&doc, again, &reread) == 1 || g_outcome.jobCancelled);
            freeSequence(reread);
            platform::memBlockFree(again);
        }
        resetOutcome();

        doc.root = newConstruct(&doc, CMD_INSERT_SEGMENT);
        UndoJournal journal;
        WindowView view;
        view.segment = doc.root;
        EditContext context{&doc, &journal, 1, &view};
        PendingInsertion pending;
        beginInsertionOf(pending, &doc, CMD_CLIPBOARD_PASTE, sequence);
        if (completeInsertion(pending, context, {doc.root, InsertPosition::IntoSegment, Slot::None})) {
            check(undo(&journal, context) == 1);
            check(levelInfoOf(doc.root)->body == nullptr);
            check(undo(&journal, context) == 1);
        }
        cancelInsertion(pending);
        clearUndoJournal(&journal);
        freeSequence(doc.root);
    } else {
        freeSequence(sequence);
    }
    platform::memBlockFree(block);
    forgetDocumentInfo(&doc);
    resetOutcome();
    check(memOutstanding() == blocksBefore);
    return 0;
}
