// Movable memory blocks on POSIX: a handle is a small record that owns the
// data, so the handle stays the same when the data moves.
#include <sys/mman.h>

#include <algorithm>
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
    std::size_t mapped;  // length of the block's own mapping; 0 = from malloc
};

// A large block (a tree file in memory, a clipboard diagram) is a mapping
// of its own that takes large pages where the system has them: written once
// from end to end, it would otherwise fault in 4 KiB at a time. It grows in
// place or moves without copying (mremap), and new pages come zero-filled.
constexpr std::size_t kLargeBlock = std::size_t{4} << 20;

std::size_t mappingLength(std::size_t size) {
    const std::size_t page = 4096;
    return (size + page - 1) / page * page;
}

void* mapLarge(std::size_t length) {
    void* data = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return nullptr;
#if defined(MADV_HUGEPAGE)
    madvise(data, length, MADV_HUGEPAGE);
#endif
    return data;
}

// Grows or shrinks the mapping of `block` to `length`; false when there is
// no room (the block is unchanged).
bool remapLarge(Block* block, std::size_t length) {
#if defined(MREMAP_MAYMOVE)
    void* data = mremap(block->data, block->mapped, length, MREMAP_MAYMOVE);
    if (data == MAP_FAILED) return false;
    block->data = data;
#else
    void* data = mapLarge(length);
    if (!data) return false;
    std::memcpy(data, block->data, block->size);
    munmap(block->data, block->mapped);
    block->data = data;
#endif
    block->mapped = length;
    return true;
}
}  // namespace

MemHandle memBlockAlloc(std::uint32_t size) {
    auto* block = static_cast<Block*>(std::calloc(1, sizeof(Block)));
    if (!block) return nullptr;
    if (size >= kLargeBlock) {
        block->mapped = mappingLength(size);
        block->data = mapLarge(block->mapped);
    } else {
        block->data = std::calloc(1, size ? size : 1);
    }
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
    if (block->mapped || size >= kLargeBlock) {
        const std::size_t length = mappingLength(size ? size : 1);
        if (block->mapped) {
            if (length != block->mapped && !remapLarge(block, length)) return nullptr;
        } else {
            void* data = mapLarge(length);
            if (!data) return nullptr;
            std::memcpy(data, block->data, block->size);
            std::free(block->data);
            block->data = data;
            block->mapped = length;
        }
        // Bytes beyond the old size in the last page may hold what a
        // shrink left behind.
        if (size > block->size)
            std::memset(static_cast<char*>(block->data) + block->size, 0,
                        std::min<std::size_t>(size, mappingLength(block->size)) - block->size);
        block->size = size;
        return block;
    }
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
        if (block->mapped)
            munmap(block->data, block->mapped);
        else
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
