// Chunked bump allocator for the size tree. A chunk is one mapping aligned to its 1 MiB size (from
// ChunkMemory, the platform's page allocator), so the header of the chunk that holds any allocation
// is found by masking the address. The chunk's live count starts at a large bias that its owning
// thread holds; allocations are counted privately by that thread (no atomic per allocation) and
// settled when it retires the chunk, while releases from any thread subtract one atomically. The
// count can therefore only reach zero after retirement, when the last allocation is gone.
#include "scan/NodePool.h"

#include "scan/ChunkMemory.h"

#include <atomic>
#include <cassert>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define POOL_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define POOL_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define POOL_POISON(address, size) ((void)(address), (void)(size))
#define POOL_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace NodePool {
namespace {

constexpr size_t chunkSize = size_t(1) << 20;
constexpr int64_t ownerBias = int64_t(1) << 60;
// Requests above this get a mapping of their own, so a huge child array wastes no chunk.
constexpr size_t largeRequest = chunkSize / 8;

struct alignas(16) Chunk {
    std::atomic<int64_t> live;
    size_t mappedSize;
    char* front; // next free byte for objects
    char* back;  // end of the free space; text is taken from here downwards
    int64_t allocations; // counted by the owning thread until retirement
};

std::atomic<size_t> mappedTotal { 0 };

Chunk* mapChunk(size_t size)
{
    void* aligned = ChunkMemory::map(size, chunkSize);
    auto* chunk = new (aligned) Chunk;
    chunk->mappedSize = size;
    chunk->front = reinterpret_cast<char*>(chunk + 1);
    chunk->back = static_cast<char*>(aligned) + size;
    chunk->allocations = 0;
    mappedTotal.fetch_add(size);
    POOL_POISON(chunk->front, size_t(chunk->back - chunk->front));
    return chunk;
}

void unmapChunk(Chunk* chunk) noexcept
{
    size_t size = chunk->mappedSize;
    POOL_UNPOISON(chunk, size);
    chunk->~Chunk();
    ChunkMemory::unmap(chunk, size);
    mappedTotal.fetch_sub(size);
}

// Drops `count` references; the one that reaches zero unmaps.
void dropReferences(Chunk* chunk, int64_t count) noexcept
{
    if (chunk->live.fetch_sub(count, std::memory_order_acq_rel) == count)
        unmapChunk(chunk);
}

// The calling thread's chunk. A plain pointer, retired only by retireThreadChunk(): a
// thread_local with a destructor is not safe on MinGW, whose thread-local storage may be freed
// before such destructors run at thread exit.
thread_local Chunk* current = nullptr;

void retireCurrent() noexcept
{
    if (!current)
        return;
    Chunk* old = current;
    current = nullptr;
    dropReferences(old, ownerBias - old->allocations);
}

Chunk* currentWithRoom(size_t size)
{
    if (!current || size_t(current->back - current->front) < size + 16) {
        retireCurrent();
        current = mapChunk(chunkSize);
        current->live.store(ownerBias, std::memory_order_relaxed);
    }
    return current;
}

// Released blocks kept by size for the thread's next allocations: small sizes (nodes, names,
// short child arrays) in a table, the rest in a map.
struct Recycler {
    static constexpr size_t tableSizes = 1024;
    std::vector<void*> small[tableSizes + 1];
    std::unordered_map<size_t, std::vector<void*>> large;

    std::vector<void*>& blocksOf(size_t size) { return size <= tableSizes ? small[size] : large[size]; }
    // A kept block of `size` bytes at `alignment`, or null.
    void* take(size_t size, size_t alignment)
    {
        std::vector<void*>& blocks = blocksOf(size);
        if (blocks.empty() || (reinterpret_cast<uintptr_t>(blocks.back()) & (alignment - 1)) != 0)
            return nullptr;
        void* memory = blocks.back();
        blocks.pop_back();
        POOL_UNPOISON(memory, size);
        return memory;
    }
};

thread_local Recycler* recycler = nullptr;

void* allocateLarge(size_t size)
{
    size_t mapped = (sizeof(Chunk) + size + 4095) & ~size_t(4095);
    Chunk* chunk = mapChunk(mapped);
    chunk->live.store(1, std::memory_order_relaxed);
    void* memory = chunk->front;
    POOL_UNPOISON(memory, size);
    return memory;
}

} // namespace

void* allocate(size_t size, size_t alignment)
{
    assert(alignment && alignment <= 16 && (alignment & (alignment - 1)) == 0 && "NodePool::allocate: alignment must be a power of two up to 16");
    if (size > largeRequest)
        return allocateLarge(size);
    if (recycler)
        if (void* memory = recycler->take(size, alignment))
            return memory;
    Chunk* chunk = currentWithRoom(size);
    uintptr_t at = (reinterpret_cast<uintptr_t>(chunk->front) + alignment - 1) & ~(alignment - 1);
    char* memory = reinterpret_cast<char*>(at);
    chunk->front = memory + size;
    chunk->allocations += 1;
    POOL_UNPOISON(memory, size);
    return memory;
}

char* allocateBytes(size_t size)
{
    if (size > largeRequest)
        return static_cast<char*>(allocateLarge(size));
    if (recycler)
        if (void* memory = recycler->take(size, 1))
            return static_cast<char*>(memory);
    Chunk* chunk = currentWithRoom(size);
    chunk->back -= size;
    chunk->allocations += 1;
    POOL_UNPOISON(chunk->back, size);
    return chunk->back;
}

void release(void* memory, size_t size) noexcept
{
    if (!memory)
        return;
    if (recycler && size <= largeRequest) {
        POOL_POISON(memory, size);
        try {
            recycler->blocksOf(size).push_back(memory);
            return;
        } catch (const std::bad_alloc&) {
            // No room to keep it: given back below.
        }
    }
    auto* chunk = reinterpret_cast<Chunk*>(reinterpret_cast<uintptr_t>(memory) & ~(chunkSize - 1));
    POOL_POISON(memory, size);
    dropReferences(chunk, 1);
}

void retireThreadChunk() noexcept { retireCurrent(); }

Recycling::Recycling()
{
    assert(!recycler && "NodePool::Recycling: one at a time on a thread");
    recycler = new Recycler;
}

Recycling::~Recycling()
{
    Recycler* kept = recycler;
    recycler = nullptr;
    auto giveBack = [](std::vector<void*>& blocks, size_t size) {
        for (void* memory : blocks)
            release(memory, size);
    };
    for (size_t size = 0; size <= Recycler::tableSizes; ++size)
        giveBack(kept->small[size], size);
    for (auto& [size, blocks] : kept->large)
        giveBack(blocks, size);
    delete kept;
}

size_t mappedBytes() noexcept { return mappedTotal.load(); }

} // namespace NodePool
