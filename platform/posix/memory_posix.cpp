// Movable memory blocks on POSIX: a handle is a small record that owns the
// data, so the handle stays the same when the data moves.
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

}  // namespace platform
