// The counting allocator: every tree record, payload record and their
// strings come from here, so that out-of-memory paths can be tested by
// failing the Nth allocation.
#pragma once

#include <cstddef>

// A zero-filled block of `size` bytes. Null for a request of 0 bytes, while
// the job-cancelled flag is set, or when memory is short (which raises
// job-cancelled).
void* memAlloc(std::size_t size);
// Frees a block of memAlloc or memAllocText; accepts null; always returns
// null so callers write `p = memFree(p)`.
void* memFree(void* block);
// A zero-filled block for a text of `size` bytes (its NUL included): short
// texts come from record pools (core/record_pool.h), many to a page block,
// and like every block they go back through memFree.
char* memAllocText(std::size_t size);
// Copies `text` (count < 0: NUL-terminated) into a new NUL-terminated block.
char* memStrDup(const char* text, long count = -1);
// A zero-filled block of whole pages (platform::pageAlloc) for the record
// pools; counted, failed and refused like memAlloc. memFreePages takes back
// a block of the same size of which the first `used` bytes were written:
// a few freed blocks are kept for the next requests, which saves the system
// calls and the fresh pages when pools empty and fill again.
void* memAllocPages(std::size_t size);
void* memFreePages(void* block, std::size_t size, std::size_t used);
// Bytes held in page blocks, the kept ones included.
std::size_t memPageBytes();
// Number of blocks handed out and not yet freed.
long memOutstanding();

// Test hook: the nth allocation from now on (1 = the next one) fails, and
// every later one too while the job-cancelled flag stays set. 0 disarms.
void memFailAt(long nth);
