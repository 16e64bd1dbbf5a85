// ChunkMemory on Windows: a reservation cannot be trimmed, so an oversized one only finds an
// aligned address; it is freed and exactly the aligned range is reserved and committed there.
// Another thread may take that range in between, so the search repeats.
#include "scan/ChunkMemory.h"

#include <cstdint>
#include <new>
#include <windows.h>

namespace ChunkMemory {

void* map(size_t size, size_t alignment)
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        void* probe = VirtualAlloc(nullptr, size + alignment, MEM_RESERVE, PAGE_NOACCESS);
        if (!probe)
            throw std::bad_alloc();
        uintptr_t aligned = (reinterpret_cast<uintptr_t>(probe) + alignment - 1) & ~(alignment - 1);
        VirtualFree(probe, 0, MEM_RELEASE);
        void* memory = VirtualAlloc(reinterpret_cast<void*>(aligned), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (memory)
            return memory;
    }
    throw std::bad_alloc();
}

void unmap(void* memory, size_t) noexcept
{
    VirtualFree(memory, 0, MEM_RELEASE);
}

} // namespace ChunkMemory
