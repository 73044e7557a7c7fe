// Records of one size (the tree's nodes) handed out from page blocks of the
// counting allocator (memAllocPages), many thousand records to a block: no
// allocator overhead per record, no page faults one record at a time,
// records made together (a segment's body as it is read) lie together, and
// a block goes back to the allocator as soon as its last record is
// released, so a freed segment gives its blocks back.
//
// Records come zero-filled. An allocation that needs a new block is one
// allocation of the counting allocator: out-of-memory tests fail it as any
// other, and memOutstanding() counts blocks, not records. While the
// job-cancelled flag is set nothing is handed out.
#pragma once

#include <cstddef>
#include <cstdint>

class RecordPool {
public:
    explicit constexpr RecordPool(std::size_t recordSize)
        : recordSize_((recordSize + alignof(void*) - 1) / alignof(void*) * alignof(void*)) {}
    RecordPool(const RecordPool&) = delete;
    RecordPool& operator=(const RecordPool&) = delete;

    void* allocate();
    // Gives `record` back; true for null too, false (nothing done) for an
    // address that is no record of this pool.
    bool release(void* record);
    // Gives `record` back to whichever pool it came from; false (nothing
    // done) for an address that is no pooled record.
    static bool releaseAny(void* record);

    struct Block;  // a page block with its records (record_pool.cpp)

private:
    void give(Block* block, void* record);
    void open(Block* block);
    void close(Block* block);

    std::size_t recordSize_;
    Block* open_ = nullptr;  // blocks with a free record, most recent first
};
