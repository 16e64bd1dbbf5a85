// NodePool: the memory behind size-tree nodes, their names and their child arrays. Each thread
// bump-allocates from its own 1 MiB chunk (objects from the front, name bytes from the back, so
// names need no padding and no allocator header), and every allocation is given back one by one
// with release(). A chunk is unmapped the moment its last allocation is released after its
// thread has moved on, so a destroyed tree returns its memory at once. The scanner calls
// retireThreadChunk() around each scan, so two trees never share a chunk; a thread that
// allocates must call it before it ends, or its last chunk stays mapped.
#pragma once

#include <cstddef>

namespace NodePool {

// Any thread. Memory for `size` bytes aligned to `alignment` (at most 16). Throws
// std::bad_alloc when the system has no memory left.
void* allocate(size_t size, size_t alignment);
// Any thread. `size` unaligned bytes, for text.
char* allocateBytes(size_t size);
// Any thread. Gives back an allocation of `size` bytes made by either function above.
void release(void* memory, size_t size) noexcept;
// The calling thread's next allocation starts a fresh chunk; the current one is unmapped as soon
// as everything allocated from it has been released. Not done at thread exit (see above).
void retireThreadChunk() noexcept;
// Bytes mapped by all chunks now alive, for tests and benchmarks.
size_t mappedBytes() noexcept;

// While a Recycling lives on a thread, what that thread releases is kept and handed out again to
// its own next allocations of the same size, instead of being given back: a bump chunk never
// reuses a hole, and a scan that folds its tree frees and allocates piecemeal. What is still kept
// is given back when it ends. Releases from other threads are given back as usual. One at a time
// on a thread.
class Recycling {
public:
    Recycling();
    ~Recycling();
    Recycling(const Recycling&) = delete;
    Recycling& operator=(const Recycling&) = delete;
};

} // namespace NodePool
