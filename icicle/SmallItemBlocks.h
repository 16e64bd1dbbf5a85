// SmallItemBlocks: the neutral blocks that stand for a folder's children where they are too small
// to be drawn, so that a folder's bytes never look like empty space. In the children's row, every
// maximal run of consecutive children that the detail level in use leaves out (each narrower than
// that level's cells) becomes one block, and the children under the mesh minimum (which the
// layout packs away, leaving their bytes after the last drawn child) join the run at the end or
// form one of their own. `plan` computes one folder's blocks while the mesh is built; the built
// set answers which block lies under a chart point at a detail level. Main thread.
#pragma once

#include "icicle/IcicleLevelIndex.h"
#include "scan/FilesystemNode.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

struct SmallItemBlock {
    float x0 = 0;                           // left edge in chart space, as the vertex has it
    float x1 = 0;                           // right edge
    int32_t row = 0;                        // the folder's children's row
    int firstLevel = 0;                     // drawn at detail levels firstLevel..lastLevel
    int lastLevel = 0;
    const FilesystemNode* folder = nullptr; // whose children it stands for
    uint64_t items = 0;                     // direct children without a cell of their own here
    uint64_t bytes = 0;                     // their bytes, which is exactly the block's span
    bool marked = false;                    // one of them could not be read
};

// A cell's edges as the vertex stores them, from its exact byte offset and width: every cell is
// at least one byte wide.
inline void cellEdges(uint64_t x0, uint64_t width, float& left, float& right)
{
    left = float(x0);
    right = float(saturatingAdd(x0, std::max<uint64_t>(width, 1)));
}

class SmallItemBlocks {
public:
    using NodeSet = std::unordered_set<const FilesystemNode*>;

    // A block of one folder and where it goes in the vertex stream: before the cell of the drawn
    // child with ordinal `beforeChild`, or after the folder's last descendant (-1). Placed there,
    // the block keeps each level's keys sorted by x0, and it is the only cell of its level and
    // row inside its span, so the level index's enclosing links stay true.
    struct Planned {
        SmallItemBlock block;
        int64_t beforeChild;
        int level; // the detail level whose list takes the vertex
    };

    // The blocks of `folder`, whose children go into `row` inside its cell [x0, end), appended to
    // `out` ordered by where they go. A block too narrow to show at a level (narrower than that
    // level's cells, so the cell gap would swallow it) is not drawn there. `unreadable` may be
    // null.
    static void plan(const FilesystemNode* folder, int32_t row, uint64_t x0, uint64_t end, uint64_t minimumSize,
                     float inverseTotal, const NodeSet* unreadable, std::vector<Planned>& out);

    // The packed palette position that tells the rectangle shader to draw a block in the neutral
    // colour at its levels only (always negative, above -1).
    static float blockHue(const SmallItemBlock& block);

    // Collects blocks while the mesh is built, then sorts them for look-ups.
    void add(const SmallItemBlock& block);
    void finish();

    // The block drawn at `detailLevel` under chart point (x bytes, y rows); null for none.
    const SmallItemBlock* blockAt(double x, double y, int detailLevel) const;
    const std::vector<SmallItemBlock>& blocks() const { return blockList; }

private:
    struct Entry {
        int64_t row;
        int level;
        float x0;
        uint32_t index;
    };
    std::vector<SmallItemBlock> blockList;
    std::vector<Entry> entries; // one per block and level it is drawn at, by (row, level, x0)
};
