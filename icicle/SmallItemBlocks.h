// SmallItemBlocks: the neutral blocks that stand for a folder's children where they are too small
// to be drawn, so that a folder's bytes never look like empty space. In the children's row, every
// maximal run of consecutive children that the detail level in use leaves out (each narrower than
// that level's cells) becomes one block, and the children under the mesh minimum (which the
// layout packs away, leaving their bytes after the last drawn child) join the run at the end or
// form one of their own. SmallItemRuns finds one folder's blocks while the mesh is built; the
// built set answers which block lies under a chart point at a detail level. Main thread.
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
    bool marked = false;                    // one of them could not be read
    const FilesystemNode* folder = nullptr; // whose children it stands for
    uint64_t items = 0;                     // direct children without a cell of their own here
    uint64_t bytes = 0;                     // their bytes, which is exactly the block's span
};

// A cell's edges as the vertex stores them, from its exact byte offset and width: every cell is
// at least one byte wide.
inline void cellEdges(uint64_t x0, uint64_t width, float& left, float& right)
{
    left = float(x0);
    right = float(saturatingAdd(x0, std::max<uint64_t>(width, 1)));
}

// One folder's runs, followed as the layout places its children (one pass, nothing read twice).
// At each level the open run is the left-out children since the last one drawn there; a child
// drawn at a level closes that level's run, and the folder's end closes the rest, adding the
// bytes of the children under the minimum. Runs closed together with the same start are one
// block. A block goes into the block stream as it closes, so the blocks of a folder come in order
// of x0, after those of the folders left of it.
class SmallItemRuns {
public:
    SmallItemRuns(const FilesystemNode* folder, int32_t row, uint64_t x0, uint64_t end);
    // The next drawn child: its cell starts where the last one ended, `width` bytes wide, of
    // detail `level`. Appends the blocks it closes to `out`.
    void child(uint64_t width, int level, bool unreadable, float inverseTotal, std::vector<SmallItemBlock>& out);
    // After the last child: closes every run. `leftOutUnreadable`: a child under the minimum
    // could not be read.
    void finish(bool leftOutUnreadable, float inverseTotal, std::vector<SmallItemBlock>& out);

private:
    struct Run {
        uint64_t start;  // byte offset of its first child
        int64_t first;   // ordinal of its first drawn child
        bool marked;     // a child in it could not be read
    };
    // Closes the runs of levels [from, openLevels) at byte `stop`.
    void close(int from, uint64_t stop, bool toEnd, bool leftOutUnreadable, float inverseTotal,
               std::vector<SmallItemBlock>& out);

    const FilesystemNode* folder;
    int32_t row;
    uint64_t offset; // where the next drawn child starts
    uint64_t end;
    int64_t childCount; // as the layout counts them, a folded entry for the children it stands for
    int64_t drawn = 0;
    int openLevels = 0; // runs are open at levels [0, openLevels): a child left out at one level is at every coarser one
    Run runs[IcicleLevelIndex::levelCount];
};

class SmallItemBlocks {
public:
    using NodeSet = std::unordered_set<const FilesystemNode*>;

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
        int32_t row; // as the block has it
        int level;
        float x0;
        uint32_t index;
    };
    std::vector<SmallItemBlock> blockList;
    std::vector<Entry> entries; // one per block and level it is drawn at, by (row, level, x0)
};
