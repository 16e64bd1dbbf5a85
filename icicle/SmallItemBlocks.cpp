// Following a folder's runs of left-out children level by level as the layout places them, and
// the sorted per-row look-up of the built blocks.
#include "icicle/SmallItemBlocks.h"

#include <cmath>
#include <tuple>

SmallItemRuns::SmallItemRuns(const FilesystemNode* folder, int32_t row, uint64_t x0, uint64_t end)
    : folder(folder)
    , row(row)
    , offset(x0)
    , end(end)
    , childCount(layoutChildCount(folder))
{
}

void SmallItemRuns::child(uint64_t width, int level, bool unreadable, float inverseTotal, std::vector<SmallItemBlock>& out)
{
    // Drawn from `level` on: that level's run and every finer one end here.
    if (level < openLevels)
        close(level, offset, false, false, inverseTotal, out);
    // Left out at every coarser level: it starts those levels' runs or extends them.
    for (int k = 0; k < level; ++k) {
        if (k >= openLevels)
            runs[k] = { offset, drawn, false };
        runs[k].marked = runs[k].marked || unreadable;
    }
    openLevels = std::max(openLevels, level);
    offset += width;
    ++drawn;
}

void SmallItemRuns::finish(bool leftOutUnreadable, float inverseTotal, std::vector<SmallItemBlock>& out)
{
    // The children under the minimum fill the folder after its last drawn child: they end every
    // open run, and at the levels where none is open they are a run of their own.
    if (end > offset) {
        for (int k = openLevels; k < IcicleLevelIndex::levelCount; ++k)
            runs[k] = { offset, drawn, false };
        openLevels = IcicleLevelIndex::levelCount;
    }
    close(0, end, true, leftOutUnreadable, inverseTotal, out);
}

void SmallItemRuns::close(int from, uint64_t stop, bool toEnd, bool leftOutUnreadable, float inverseTotal,
                          std::vector<SmallItemBlock>& out)
{
    const uint64_t leftOut = uint64_t(childCount - drawn);
    for (int k = from; k < openLevels;) {
        // Finer levels' runs start no earlier; those starting with this one are the same run.
        int last = k;
        while (last + 1 < openLevels && runs[last + 1].start == runs[k].start && runs[last + 1].first == runs[k].first)
            ++last;
        const Run& run = runs[k];
        SmallItemBlock block;
        cellEdges(run.start, stop - run.start, block.x0, block.x1);
        block.row = row;
        block.folder = folder;
        block.items = uint64_t(drawn - run.first) + (toEnd ? leftOut : 0);
        block.bytes = stop - run.start;
        block.marked = run.marked || (toEnd && leftOutUnreadable);
        // Where the block itself is narrower than a level's cells, the gap would swallow it.
        block.firstLevel = std::max(k, IcicleLevelIndex::detailLevel(block.x0, block.x1, inverseTotal));
        block.lastLevel = last;
        // Edges collapsed to one float (a few bytes far out in a huge chart) show nothing.
        if (block.x0 < block.x1 && block.firstLevel <= block.lastLevel)
            out.push_back(block);
        k = last + 1;
    }
    openLevels = from;
}

float SmallItemBlocks::blockHue(const SmallItemBlock& block)
{
    const int code = 1 + block.firstLevel + 8 * block.lastLevel + (block.marked ? 64 : 0);
    return -float(code) / 128.0f;
}

void SmallItemBlocks::add(const SmallItemBlock& block)
{
    blockList.push_back(block);
}

void SmallItemBlocks::finish()
{
    // A counting sort by (row, level): blocks arrive in pre-order, which within one row and level
    // is already the order of x0, and the sort keeps it.
    int64_t rows = 0;
    size_t count = 0;
    for (const SmallItemBlock& block : blockList) {
        rows = std::max<int64_t>(rows, int64_t(block.row) + 1);
        count += size_t(block.lastLevel - block.firstLevel + 1);
    }
    constexpr int levels = IcicleLevelIndex::levelCount;
    std::vector<size_t> bucketStart(size_t(rows) * levels + 1, 0);
    for (const SmallItemBlock& block : blockList)
        for (int level = block.firstLevel; level <= block.lastLevel; ++level)
            ++bucketStart[size_t(block.row) * levels + size_t(level) + 1];
    for (size_t i = 1; i < bucketStart.size(); ++i)
        bucketStart[i] += bucketStart[i - 1];
    entries.assign(count, Entry {});
    for (size_t i = 0; i < blockList.size(); ++i) {
        const SmallItemBlock& block = blockList[i];
        for (int level = block.firstLevel; level <= block.lastLevel; ++level)
            entries[bucketStart[size_t(block.row) * levels + size_t(level)]++] = { block.row, level, block.x0, uint32_t(i) };
    }
}

const SmallItemBlock* SmallItemBlocks::blockAt(double x, double y, int detailLevel) const
{
    if (!(y >= 0.0) || !(y < 9.0e18) || std::isnan(x))
        return nullptr;
    const int64_t row = int64_t(std::floor(y));
    // The last entry of this row and level that starts at or left of x; at one level a row's
    // blocks do not overlap.
    auto after = std::upper_bound(entries.begin(), entries.end(), std::make_tuple(row, detailLevel, x),
                                  [](const std::tuple<int64_t, int, double>& key, const Entry& entry) {
                                      const auto& [r, l, px] = key;
                                      if (r != entry.row)
                                          return r < entry.row;
                                      if (l != entry.level)
                                          return l < entry.level;
                                      return px < double(entry.x0);
                                  });
    if (after == entries.begin())
        return nullptr;
    const Entry& entry = *std::prev(after);
    if (entry.row != row || entry.level != detailLevel)
        return nullptr;
    const SmallItemBlock& block = blockList[entry.index];
    return x < double(block.x1) ? &block : nullptr;
}
