// ChunkMemory: the platform seam under NodePool. Whole pages of read-write memory taken straight
// from the system (not the heap), starting at a given power-of-two boundary, so that the chunk
// holding any address is found by masking it. Backends: linux/ChunkMemoryLinux.cpp (mmap),
// win32/ChunkMemoryWin32.cpp (VirtualAlloc). Any thread.
#pragma once

#include <cstddef>

namespace ChunkMemory {

// `size` bytes (a multiple of the page size) at a multiple of `alignment` (a power of two, at
// least the page size). Throws std::bad_alloc when the system has no memory left.
void* map(size_t size, size_t alignment);
// Gives back what map() returned; `size` as given to it.
void unmap(void* memory, size_t size) noexcept;

} // namespace ChunkMemory
