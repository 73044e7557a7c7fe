// The counting allocator: every tree record, payload record and their
// strings come from here, so that out-of-memory paths can be tested by
// failing the Nth allocation.
#pragma once

#include <cstddef>

// A zero-filled block of `size` bytes. Null for a request of 0 bytes, while
// the job-cancelled flag is set, or when memory is short (which raises
// job-cancelled).
void* memAlloc(std::size_t size);
// Frees a block of memAlloc; accepts null; always returns null so callers
// write `p = memFree(p)`.
void* memFree(void* block);
// Copies `text` (count < 0: NUL-terminated) into a new NUL-terminated block.
char* memStrDup(const char* text, long count = -1);
// Number of blocks handed out and not yet freed.
long memOutstanding();

// Test hook: the nth allocation from now on (1 = the next one) fails, and
// every later one too while the job-cancelled flag stays set. 0 disarms.
void memFailAt(long nth);
