// ChunkMemory on Linux: an anonymous mapping one alignment larger than asked, trimmed on both
// sides so that what stays starts on the boundary.
#include "scan/ChunkMemory.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace ChunkMemory {

void* map(size_t size, size_t alignment)
{
    size_t length = size + alignment;
    void* raw = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    uintptr_t aligned = (start + alignment - 1) & ~(alignment - 1);
    if (aligned > start)
        munmap(raw, aligned - start);
    uintptr_t end = start + length;
    if (end > aligned + size)
        munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    return reinterpret_cast<void*>(aligned);
}

void unmap(void* memory, size_t size) noexcept
{
    munmap(memory, size);
}

} // namespace ChunkMemory
