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

} // namespace
