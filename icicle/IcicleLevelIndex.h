// IcicleLevelIndex: the chart's vertex buffer is ordered as a base range (the root) followed by
// eight detail levels, each four times finer than the one before. One 64-bit key per vertex holds
// the cell's x0 (low 32 bits, the float's bit pattern) and a link to the nearest enclosing cell of
// the same level (high 32 bits, a negative vertex distance, or 0). selectRanges turns a visible
// x-range and a cull width into the few contiguous vertex ranges worth drawing.
#pragma once

#include "icicle/GeometryVertex.h"

#include <cstdint>
#include <memory>
#include <vector>

struct VertexRange {
    int64_t first; // [first, last)
    int64_t last;
    bool operator==(const VertexRange&) const = default;
};

// Up to 24 ranges without allocating; more spill to the heap. Adjacent ranges merge.
class RangeList {
public:
    void append(int64_t first, int64_t last);
    size_t size() const { return count; }
    const VertexRange& operator[](size_t index) const { return index < inlineCapacity ? inlineRanges[index] : spilled[index - inlineCapacity]; }

private:
    VertexRange& at(size_t index) { return index < inlineCapacity ? inlineRanges[index] : spilled[index - inlineCapacity]; }
    static constexpr size_t inlineCapacity = 24;
    VertexRange inlineRanges[inlineCapacity];
    std::vector<VertexRange> spilled;
    size_t count = 0;
};

struct IcicleLevelIndex {
    static constexpr int levelCount = 8;

    std::vector<uint64_t> keys;  // one per vertex, in buffer order
    int64_t boundaries[9] = {};  // base [0, b0), level k [b_k, b_(k+1)), b8 = vertex count

    static uint64_t makeKey(float x0, int32_t link);
    static float keyX(uint64_t key);
    static int32_t keyLink(uint64_t key);
    // 0 for cells of at least 1/1024 of the total, each further level four times finer; level 7
    // also takes zero-width cells.
    static int detailLevel(float x0, float x1, float inverseTotal);
    // The finest level selectRanges draws when the cell gap covers `cullWidth` of the total: the
    // levels after it hold only cells narrower than the gap.
    static int finestLevel(double cullWidth);
};

// A growing list of vertices with their keys, as the mesh builder fills the base range and each
// level. Appending computes the new vertex's link.
class LevelList {
public:
    void append(const GeometryVertex& vertex);
    // Gives the vertex at `index` another label (its cell, and so its key, unchanged).
    void relabel(size_t index, const GeometryVertex& vertex) { vertexList[index] = vertex; }
    const std::vector<GeometryVertex>& vertices() const { return vertexList; }
    const std::vector<uint64_t>& keys() const { return keyList; }
    size_t size() const { return vertexList.size(); }
    // Gives the memory back once the keys are in an index and the vertices uploaded.
    void release()
    {
        std::vector<GeometryVertex>().swap(vertexList);
        std::vector<uint64_t>().swap(keyList);
    }

private:
    std::vector<GeometryVertex> vertexList;
    std::vector<uint64_t> keyList;
};

// The ranges to draw for the float range [visibleX0, visibleX1] (the caller widens it outward to
// floats that contain its double range); cullWidth is the fraction of the total that the cell gap
// covers at the current zoom.
RangeList selectRanges(const IcicleLevelIndex& index, float visibleX0, float visibleX1, double cullWidth, bool includeBase);
