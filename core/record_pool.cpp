#include "core/record_pool.h"

#include <cstring>
#include <functional>

#include "core/allocator.h"
#include "core/outcome.h"
#include "platform/platform.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// Records not handed out stay poisoned, so that a use after release is
// still caught (the word that links a released record stays readable).
#define KORRIN_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define KORRIN_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define KORRIN_POISON(address, size) ((void)(address), (void)(size))
#define KORRIN_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {
constexpr std::size_t kBlockBytes = platform::kPageBlockSize;
}  // namespace

struct RecordPool::Block {
    RecordPool* owner;
    Block* previousOpen;
    Block* nextOpen;
    void* released;       // released records, linked through their first word
    std::uint32_t used;   // records handed out and not released
    std::uint32_t fresh;  // records never handed out start here
    std::uint32_t capacity;
    bool isOpen;

    unsigned char* record(std::uint32_t index) {
        return reinterpret_cast<unsigned char*>(this) + sizeof(Block) + index * owner->recordSize_;
    }
    bool holds(const void* p) {
        const auto* bytes = static_cast<const unsigned char*>(p);
        return bytes >= record(0) && bytes < record(capacity);
    }
};

namespace {

// Every block of every pool, by address, so that a record can be given back
// by its address alone.
struct Directory {
    RecordPool::Block** blocks = nullptr;
    std::size_t count = 0;
    std::size_t capacity = 0;
    RecordPool::Block* last = nullptr;  // the block of the last look-up, tried first

    // The index of the first block beyond `address`.
    std::size_t after(const void* address) const {
        std::size_t low = 0, high = count;
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            if (std::less_equal<const void*>()(blocks[middle], address))
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    }
    RecordPool::Block* find(const void* record) {
        if (count == 0 || !record) return nullptr;
        if (last && last->holds(record)) return last;
        const std::size_t at = after(record);
        if (at == 0 || !blocks[at - 1]->holds(record)) return nullptr;
        last = blocks[at - 1];
        return last;
    }
    bool add(RecordPool::Block* block) {
        if (count == capacity) {
            const std::size_t grown = capacity ? capacity * 2 : 64;
            auto** list = static_cast<RecordPool::Block**>(memAlloc(grown * sizeof(RecordPool::Block*)));
            if (!list) return false;
            if (count) std::memcpy(list, blocks, count * sizeof(RecordPool::Block*));
            memFree(blocks);
            blocks = list;
            capacity = grown;
        }
        const std::size_t at = after(block);
        std::memmove(blocks + at + 1, blocks + at, (count - at) * sizeof(RecordPool::Block*));
        blocks[at] = block;
        ++count;
        return true;
    }
    void remove(RecordPool::Block* block) {
        if (last == block) last = nullptr;
        const std::size_t at = after(block) - 1;  // the block itself
        std::memmove(blocks + at, blocks + at + 1, (count - at - 1) * sizeof(RecordPool::Block*));
        // The list goes with the last block, so that nothing is left over
        // once every record is back.
        if (--count == 0) {
            blocks = static_cast<RecordPool::Block**>(memFree(blocks));
            capacity = 0;
        }
    }
};

Directory g_directory;

}  // namespace

void* RecordPool::allocate() {
    if (g_outcome.jobCancelled) return nullptr;
    Block* block = open_;
    if (!block) {
        block = static_cast<Block*>(memAllocPages(kBlockBytes));
        if (!block) return nullptr;
        block->owner = this;
        block->capacity = static_cast<std::uint32_t>((kBlockBytes - sizeof(Block)) / recordSize_);
        if (!g_directory.add(block)) {
            memFreePages(block, kBlockBytes, sizeof(Block));
            return nullptr;
        }
        KORRIN_POISON(block->record(0), block->capacity * recordSize_);
        open(block);
    }
    unsigned char* record;
    if (block->released) {
        record = static_cast<unsigned char*>(block->released);
        KORRIN_UNPOISON(record, recordSize_);
        std::memcpy(&block->released, record, sizeof(void*));
        std::memset(record, 0, recordSize_);
    } else {
        record = block->record(block->fresh++);  // zero since the block was made
        KORRIN_UNPOISON(record, recordSize_);
    }
    if (++block->used == block->capacity) close(block);
    return record;
}

bool RecordPool::release(void* record) {
    if (!record) return true;
    Block* block = g_directory.find(record);
    if (!block || block->owner != this) return false;
    give(block, record);
    return true;
}

bool RecordPool::releaseAny(void* record) {
    Block* block = g_directory.find(record);
    if (!block) return false;
    block->owner->give(block, record);
    return true;
}

void RecordPool::give(Block* block, void* record) {
    std::memcpy(record, &block->released, sizeof(void*));
    block->released = record;
    KORRIN_POISON(static_cast<unsigned char*>(record) + sizeof(void*), recordSize_ - sizeof(void*));
    if (--block->used == 0) {
        if (block->isOpen) close(block);
        g_directory.remove(block);
        KORRIN_UNPOISON(block->record(0), block->capacity * recordSize_);
        memFreePages(block, kBlockBytes, sizeof(Block) + block->fresh * recordSize_);
        return;
    }
    if (!block->isOpen) open(block);
}

void RecordPool::open(Block* block) {
    block->isOpen = true;
    block->previousOpen = nullptr;
    block->nextOpen = open_;
    if (open_) open_->previousOpen = block;
    open_ = block;
}

void RecordPool::close(Block* block) {
    block->isOpen = false;
    if (block->previousOpen)
        block->previousOpen->nextOpen = block->nextOpen;
    else
        open_ = block->nextOpen;
    if (block->nextOpen) block->nextOpen->previousOpen = block->previousOpen;
    block->previousOpen = block->nextOpen = nullptr;
}

// ---------------------------------------------------------------------------
// Texts

namespace {
constexpr std::size_t kTextStep = 8;
RecordPool g_texts[] = {RecordPool(8),  RecordPool(16), RecordPool(24), RecordPool(32),
                        RecordPool(40), RecordPool(48), RecordPool(56), RecordPool(64)};
constexpr std::size_t kPooledText = kTextStep * (sizeof g_texts / sizeof g_texts[0]);
}  // namespace

char* memAllocText(std::size_t size) {
    if (size == 0 || size > kPooledText) return static_cast<char*>(memAlloc(size));
    return static_cast<char*>(g_texts[(size - 1) / kTextStep].allocate());
}
