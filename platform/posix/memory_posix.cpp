// Movable memory blocks on POSIX: a handle is a small record that owns the
// data, so the handle stays the same when the data moves.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace platform {

namespace {
struct Block {
    void* data;
    std::uint32_t size;
    int locks;
};
}  // namespace

MemHandle memBlockAlloc(std::uint32_t size) {
    auto* block = static_cast<Block*>(std::calloc(1, sizeof(Block)));
    if (!block) return nullptr;
    block->data = std::calloc(1, size ? size : 1);
    if (!block->data) {
        std::free(block);
        return nullptr;
    }
    block->size = size;
    return block;
}

MemHandle memBlockReAlloc(MemHandle handle, std::uint32_t size) {
    auto* block = static_cast<Block*>(handle);
    if (!block) return nullptr;
    void* data = std::realloc(block->data, size ? size : 1);
    if (!data) return nullptr;
    if (size > block->size) std::memset(static_cast<char*>(data) + block->size, 0, size - block->size);
    block->data = data;
    block->size = size;
    return block;
}

void* memBlockLock(MemHandle handle) {
    auto* block = static_cast<Block*>(handle);
    if (!block) return nullptr;
    ++block->locks;
    return block->data;
}

void memBlockUnlock(MemHandle handle) {
    auto* block = static_cast<Block*>(handle);
    if (block && block->locks > 0) --block->locks;
}

std::uint32_t memBlockSize(MemHandle handle) {
    auto* block = static_cast<Block*>(handle);
    return block ? block->size : 0;
}

MemHandle memBlockFree(MemHandle handle) {
    auto* block = static_cast<Block*>(handle);
    if (block) {
        std::free(block->data);
        std::free(block);
    }
    return nullptr;
}

void* pageAlloc(std::size_t size) {
    // Aligned to the large page, so that the whole range can take them.
    const std::size_t align = kPageBlockSize;
    void* raw = mmap(nullptr, size + align, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto at = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t start = (at + align - 1) & ~(std::uintptr_t{align} - 1);
    if (start > at) munmap(raw, start - at);
    if (start + size < at + size + align) munmap(reinterpret_cast<void*>(start + size), at + align - start);
    void* pages = reinterpret_cast<void*>(start);
#if defined(MADV_HUGEPAGE)
    madvise(pages, size, MADV_HUGEPAGE);
#endif
#if defined(MADV_POPULATE_WRITE)
    madvise(pages, size, MADV_POPULATE_WRITE);  // older systems fault the pages in as they are used
#endif
    return pages;
}

void pageFree(void* pages, std::size_t size) {
    if (pages) munmap(pages, size);
}

}  // namespace platform
