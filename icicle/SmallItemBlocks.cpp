// Planning a folder's small-item blocks (one pass over its children, then the runs of left-out
// children at each detail level, merged across the levels where they are the same run) and the
// sorted per-row look-up of the built set.
#include "icicle/SmallItemBlocks.h"

#include "icicle/IcicleLayout.h"

#include <cmath>
#include <tuple>

namespace {

struct DrawnChild {
    uint64_t x0;
    int level;
    bool unreadable;
};

// A run of drawn children [first, last) at one level; last == the drawn count means it reaches
// the folder's end and so takes the left-out children's bytes too.
struct Run {
    int64_t first;
    int64_t last;
    int level;
};

} // namespace

void SmallItemBlocks::plan(const FilesystemNode* folder, int32_t row, uint64_t x0, uint64_t end, uint64_t minimumSize,
                           float inverseTotal, const NodeSet* unreadable, std::vector<Planned>& out)
{
    // The same placement as the layout, so offsets and levels match the cells it emits.
    std::vector<DrawnChild> drawn;
    uint64_t offset = x0;
    uint64_t leftOut = 0;
    bool leftOutMarked = false;
    for (int64_t i = 0; i < folder->children.count; ++i) {
        const FilesystemNode* child = folder->children[i];
        const bool marked = unreadable && unreadable->count(child) > 0;
        uint64_t width = 0;
        if (!IcicleLayout::placeChild(child, offset, end, minimumSize, width)) {
            ++leftOut;
            leftOutMarked = leftOutMarked || marked;
            continue;
        }
        float left, right;
        cellEdges(offset, width, left, right);
        drawn.push_back({ offset, IcicleLevelIndex::detailLevel(left, right, inverseTotal), marked });
        offset += width;
    }
    const int64_t count = int64_t(drawn.size());
    const uint64_t remainder = end - offset;

    std::vector<Run> runs;
    for (int level = 0; level < IcicleLevelIndex::levelCount; ++level) {
        int64_t i = 0;
        while (i < count) {
            if (drawn[size_t(i)].level <= level) {
                ++i;
                continue;
            }
            int64_t j = i;
            while (j < count && drawn[size_t(j)].level > level)
                ++j;
            runs.push_back({ i, j, level });
            i = j;
        }
        if (remainder > 0 && (count == 0 || drawn[size_t(count - 1)].level <= level))
            runs.push_back({ count, count, level });
    }
    // A run that is the same set of children at several levels is one block; its levels are
    // consecutive, because a run at a finer level only loses the children that become visible.
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return std::tie(a.first, a.last, a.level) < std::tie(b.first, b.last, b.level); });
    for (size_t r = 0; r < runs.size();) {
        size_t s = r;
        while (s + 1 < runs.size() && runs[s + 1].first == runs[r].first && runs[s + 1].last == runs[r].last)
            ++s;
        const Run& run = runs[r];
        const bool toEnd = run.last == count;
        const uint64_t start = run.first < count ? drawn[size_t(run.first)].x0 : offset;
        const uint64_t stop = toEnd ? end : drawn[size_t(run.last)].x0;
        SmallItemBlock block;
        cellEdges(start, stop - start, block.x0, block.x1);
        block.row = row;
        block.folder = folder;
        block.items = uint64_t(run.last - run.first) + (toEnd ? leftOut : 0);
        block.bytes = stop - start;
        block.marked = toEnd && leftOutMarked;
        for (int64_t i = run.first; i < run.last; ++i)
            block.marked = block.marked || drawn[size_t(i)].unreadable;
        // Where the block itself is narrower than a level's cells, the gap would swallow it.
        block.firstLevel = std::max(run.level, IcicleLevelIndex::detailLevel(block.x0, block.x1, inverseTotal));
        block.lastLevel = runs[s].level;
        if (block.bytes > 0 && block.firstLevel <= block.lastLevel)
            out.push_back({ block, run.first < count ? run.first : -1, block.firstLevel });
        r = s + 1;
    }
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
    entries.clear();
    for (size_t i = 0; i < blockList.size(); ++i) {
        const SmallItemBlock& block = blockList[i];
        for (int level = block.firstLevel; level <= block.lastLevel; ++level)
            entries.push_back({ block.row, level, block.x0, uint32_t(i) });
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.row, a.level, a.x0) < std::tie(b.row, b.level, b.x0);
    });
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
