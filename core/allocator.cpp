#include "core/allocator.h"

#include <cstdlib>
#include <cstring>

#include "core/outcome.h"
#include "core/record_pool.h"
#include "platform/platform.h"

namespace {
long outstanding = 0;
long failCountdown = 0;

// Page blocks kept after their release, with the bytes written in each:
// enough for the pools of a segment that is paged in and out again.
struct KeptPages {
    void* block;
    std::size_t size;
    std::size_t used;
};
constexpr int kKeptPages = 8;
KeptPages kept[kKeptPages];
int keptCount = 0;
std::size_t pageBytes = 0;

// The counting and the injected failure every allocation goes through.
bool mayAllocate(std::size_t size) {
    if (size == 0 || g_outcome.jobCancelled) return false;
    if (failCountdown > 0 && --failCountdown == 0) {
        g_outcome.jobCancelled = true;
        return false;
    }
    return true;
}
}  // namespace

void* memAlloc(std::size_t size) {
    if (!mayAllocate(size)) return nullptr;
    void* block = std::calloc(1, size);
    if (!block) {
        g_outcome.jobCancelled = true;
        return nullptr;
    }
    ++outstanding;
    return block;
}

void* memFree(void* block) {
    if (block && !RecordPool::releaseAny(block)) {
        std::free(block);
        --outstanding;
    }
    return nullptr;
}

char* memStrDup(const char* text, long count) {
    if (!text) return nullptr;
    std::size_t n = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
    char* copy = static_cast<char*>(memAlloc(n + 1));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

void* memAllocPages(std::size_t size) {
    if (!mayAllocate(size)) return nullptr;
    void* block = nullptr;
    for (int i = keptCount - 1; i >= 0 && !block; --i) {
        if (kept[i].size != size) continue;
        block = kept[i].block;
        std::memset(block, 0, kept[i].used);
        kept[i] = kept[--keptCount];
    }
    if (!block) {
        block = platform::pageAlloc(size);
        if (!block) {
            g_outcome.jobCancelled = true;
            return nullptr;
        }
        pageBytes += size;
    }
    ++outstanding;
    return block;
}

void* memFreePages(void* block, std::size_t size, std::size_t used) {
    if (!block) return nullptr;
    --outstanding;
    if (keptCount < kKeptPages) {
        kept[keptCount++] = KeptPages{block, size, used < size ? used : size};
        return nullptr;
    }
    platform::pageFree(block, size);
    pageBytes -= size;
    return nullptr;
}

std::size_t memPageBytes() {
    return pageBytes;
}

long memOutstanding() {
    return outstanding;
}

void memFailAt(long nth) {
    failCountdown = nth;
}
