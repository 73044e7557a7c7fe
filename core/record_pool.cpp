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
    Block* previousOpen;
    Block* nextOpen;
    void* released;       // released records, linked through their first word
    std::uint32_t used;   // records handed out and not released
    std::uint32_t fresh;  // records never handed out start here
    std::uint32_t capacity;
    bool isOpen;

    unsigned char* record(std::uint32_t index, std::size_t size) {
        return reinterpret_cast<unsigned char*>(this) + sizeof(Block) + index * size;
    }
    bool holds(const void* p, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(p);
        return bytes >= record(0, size) && bytes < record(capacity, size);
    }
};

void* RecordPool::allocate() {
    if (g_outcome.jobCancelled) return nullptr;
    Block* block = open_;
    if (!block) {
        block = static_cast<Block*>(memAllocPages(kBlockBytes));
        if (!block) return nullptr;
        block->capacity = static_cast<std::uint32_t>((kBlockBytes - sizeof(Block)) / recordSize_);
        if (!remember(block)) {
            memFreePages(block, kBlockBytes, sizeof(Block));
            return nullptr;
        }
        KORRIN_POISON(block->record(0, recordSize_), block->capacity * recordSize_);
        open(block);
    }
    unsigned char* record;
    if (block->released) {
        record = static_cast<unsigned char*>(block->released);
        KORRIN_UNPOISON(record, recordSize_);
        std::memcpy(&block->released, record, sizeof(void*));
        std::memset(record, 0, recordSize_);
    } else {
        record = block->record(block->fresh++, recordSize_);  // zero since the block was made
        KORRIN_UNPOISON(record, recordSize_);
    }
    if (++block->used == block->capacity) close(block);
    return record;
}

bool RecordPool::release(void* record) {
    if (!record) return true;
    Block* block = blockOf(record);
    if (!block) return false;
    std::memcpy(record, &block->released, sizeof(void*));
    block->released = record;
    KORRIN_POISON(static_cast<unsigned char*>(record) + sizeof(void*), recordSize_ - sizeof(void*));
    if (--block->used == 0) {
        if (block->isOpen) close(block);
        forget(block);
        KORRIN_UNPOISON(block->record(0, recordSize_), block->capacity * recordSize_);
        memFreePages(block, kBlockBytes, sizeof(Block) + block->fresh * recordSize_);
        return true;
    }
    if (!block->isOpen) open(block);
    return true;
}

std::size_t RecordPool::after(const void* address) const {
    std::size_t low = 0, high = count_;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (std::less_equal<const void*>()(blocks_[middle], address))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

RecordPool::Block* RecordPool::blockOf(const void* record) {
    if (last_ && last_->holds(record, recordSize_)) return last_;
    const std::size_t at = after(record);
    if (at == 0 || !blocks_[at - 1]->holds(record, recordSize_)) return nullptr;
    last_ = blocks_[at - 1];
    return last_;
}

bool RecordPool::remember(Block* block) {
    if (count_ == capacity_) {
        const std::size_t grown = capacity_ ? capacity_ * 2 : 64;
        auto** list = static_cast<Block**>(memAlloc(grown * sizeof(Block*)));
        if (!list) return false;
        if (count_) std::memcpy(list, blocks_, count_ * sizeof(Block*));
        memFree(blocks_);
        blocks_ = list;
        capacity_ = grown;
    }
    const std::size_t at = after(block);
    std::memmove(blocks_ + at + 1, blocks_ + at, (count_ - at) * sizeof(Block*));
    blocks_[at] = block;
    ++count_;
    return true;
}

void RecordPool::forget(Block* block) {
    if (last_ == block) last_ = nullptr;
    const std::size_t at = after(block) - 1;  // the block itself
    std::memmove(blocks_ + at, blocks_ + at + 1, (count_ - at - 1) * sizeof(Block*));
    // The list goes with the last block, so that nothing is left over once
    // every record is back.
    if (--count_ == 0) {
        blocks_ = static_cast<Block**>(memFree(blocks_));
        capacity_ = 0;
    }
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
