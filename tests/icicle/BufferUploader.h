// BufferUploader: a chart's vertex streams kept in memory as the mesh build uploads them, for
// tests that compare or inspect them.
#pragma once

#include "icicle/IcicleOptimization.h"

#include <algorithm>
#include <vector>

class BufferUploader final : public IcicleOptimization::VertexUploader {
public:
    void allocate(int64_t totalCount, int64_t) override { buffer.assign(size_t(totalCount), GeometryVertex {}); }
    void upload(int64_t first, const GeometryVertex* vertices, int64_t count, bool, int64_t) override
    {
        std::copy(vertices, vertices + count, buffer.begin() + first);
    }
    void allocateBlocks(int64_t count) override { blocks.assign(size_t(count), GeometryVertex {}); }
    void uploadBlocks(int64_t first, const GeometryVertex* vertices, int64_t count) override
    {
        std::copy(vertices, vertices + count, blocks.begin() + first);
    }
    std::vector<GeometryVertex> buffer; // the cells and labels
    std::vector<GeometryVertex> blocks;
};
