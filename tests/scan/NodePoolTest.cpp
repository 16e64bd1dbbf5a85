// NodePool: objects and text packed into shared chunks without overlap, and chunks unmapped
// exactly when their last allocation is gone and their thread has moved on.
#include "scan/NodePool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Block {
    char* memory;
    size_t size;
    bool text;
};

TEST(NodePool, ObjectsAndTextShareChunksWithoutOverlap)
{
    NodePool::retireThreadChunk();
    size_t before = NodePool::mappedBytes();
    std::vector<Block> blocks;
    // Enough to fill several chunks from both ends, with sizes that do not divide them evenly.
    for (size_t i = 0, total = 0; total < (size_t(5) << 20); ++i) {
        Block block {};
        block.text = i % 3 == 0;
        block.size = block.text ? 1 + i % 301 : 8 + (i % 7) * 24;
        size_t alignment = i % 2 ? 16 : 8;
        block.memory = block.text ? NodePool::allocateBytes(block.size)
                                  : static_cast<char*>(NodePool::allocate(block.size, alignment));
        if (!block.text) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block.memory) % alignment, 0u) << "allocation " << i;
        }
        std::memset(block.memory, int(i % 251), block.size);
        blocks.push_back(block);
        total += block.size;
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        for (size_t at = 0; at < blocks[i].size; ++at)
            ASSERT_EQ(uint8_t(blocks[i].memory[at]), i % 251) << "allocation " << i << " was overwritten";
    }
    for (const Block& block : blocks)
        NodePool::release(block.memory, block.size);
    NodePool::retireThreadChunk();
    EXPECT_EQ(NodePool::mappedBytes(), before);
}

TEST(NodePool, ChunkStaysMappedWhileItsThreadStillAllocatesFromIt)
{
    NodePool::retireThreadChunk();
    size_t before = NodePool::mappedBytes();
    void* first = NodePool::allocate(64, 16);
    NodePool::release(first, 64);
    EXPECT_GT(NodePool::mappedBytes(), before) << "the chunk was unmapped under the thread still filling it";
    void* second = NodePool::allocate(64, 16);
    std::memset(second, 1, 64);
    NodePool::release(second, 64);
    NodePool::retireThreadChunk();
    EXPECT_EQ(NodePool::mappedBytes(), before);
}

// While recycling, a released block comes back for the next request of its size (an aligned one
// only where the block is aligned), and what is still kept at the end is given back, so the
// chunks unmap as before.
TEST(NodePool, RecyclingReusesReleasedBlocksOfTheSameSize)
{
    NodePool::retireThreadChunk();
    const size_t before = NodePool::mappedBytes();
    {
        NodePool::Recycling recycling;
        void* node = NodePool::allocate(48, 8);
        char* name = NodePool::allocateBytes(13);
        void* kept = NodePool::allocate(80, 8);
        NodePool::release(node, 48);
        NodePool::release(name, 13);
        EXPECT_EQ(NodePool::allocate(48, 8), node);
        EXPECT_EQ(NodePool::allocateBytes(13), name);
        NodePool::release(name, 13);
        void* other = NodePool::allocateBytes(12);
        EXPECT_NE(other, static_cast<void*>(name)) << "only a block of the same size is reused";
        // An odd address is not handed out for a request that needs alignment. Of two text blocks
        // of 17 bytes side by side, one is odd.
        char* a = NodePool::allocateBytes(17);
        char* b = NodePool::allocateBytes(17);
        char* odd = reinterpret_cast<uintptr_t>(a) % 8 ? a : b;
        NodePool::release(odd == a ? b : a, 17);
        NodePool::release(odd, 17);
        void* fresh = NodePool::allocate(17, 8);
        EXPECT_NE(fresh, static_cast<void*>(odd));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(fresh) % 8, 0u);
        NodePool::release(fresh, 17);
        NodePool::release(node, 48);
        NodePool::release(other, 12);
        NodePool::release(kept, 80);
    }
    NodePool::retireThreadChunk();
    EXPECT_EQ(NodePool::mappedBytes(), before) << "blocks kept for reuse were not given back";
}

} // namespace
