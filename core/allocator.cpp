#include "core/allocator.h"

#include <cstdlib>
#include <cstring>

#include "core/outcome.h"

namespace {
long outstanding = 0;
long failCountdown = 0;
}  // namespace

void* memAlloc(std::size_t size) {
    if (size == 0 || g_outcome.jobCancelled) return nullptr;
    if (failCountdown > 0 && --failCountdown == 0) {
        g_outcome.jobCancelled = true;
        return nullptr;
    }
    void* block = std::calloc(1, size);
    if (!block) {
        g_outcome.jobCancelled = true;
        return nullptr;
    }
    ++outstanding;
    return block;
}

void* memFree(void* block) {
    if (block) {
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

long memOutstanding() {
    return outstanding;
}

void memFailAt(long nth) {
    failCountdown = nth;
}
