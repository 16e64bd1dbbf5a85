// Keys, links and the visible-range query of the chart's level index. Vertices arrive in
// pre-order, so each level's keys are sorted by x0 and the chain of links from any vertex is the
// stack of its enclosing cells in that level; selectRanges relies on both.
#include "icicle/IcicleLevelIndex.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace {

// Amortised growth of the builder's lists: 1.5 times what is needed plus a few elements.
template<typename T>
void appendGrowing(std::vector<T>& list, const T& value)
{
    if (list.size() == list.capacity())
        list.reserve((list.size() + 1) * 3 / 2 + 15);
    list.push_back(value);
}

struct LevelCursor {
    int64_t start; // first vertex to draw: the one before the view, stepped back over equal x
    int64_t end;   // first vertex that starts right of the view
};

LevelCursor bisectLevel(const std::vector<uint64_t>& keys, int64_t first, int64_t last, float visibleX0, float visibleX1)
{
    auto begin = keys.begin() + first;
    auto finish = keys.begin() + last;
    auto end = std::partition_point(begin, finish, [&](uint64_t key) { return IcicleLevelIndex::keyX(key) <= visibleX1; });
    auto start = std::partition_point(begin, finish, [&](uint64_t key) { return IcicleLevelIndex::keyX(key) < visibleX0; });
    int64_t q = start - keys.begin();
    // The last cell starting left of the view may reach into it. Of several cells starting at the
    // same x, the first is the outermost, and the ones after it are inside it.
    if (q > first)
        --q;
    while (q > first && IcicleLevelIndex::keyX(keys[q]) == IcicleLevelIndex::keyX(keys[q - 1]))
        --q;
    return { q, end - keys.begin() };
}

// The enclosing cell that vertex q links to, or -1. A link that would leave the level (only a
// damaged index has one) ends the chain rather than reading another level's keys.
int64_t enclosingCell(const std::vector<uint64_t>& keys, int64_t levelFirst, int64_t q)
{
    int32_t link = IcicleLevelIndex::keyLink(keys[q]);
    if (link >= 0)
        return -1;
    int64_t target = q + link;
    return target >= levelFirst ? target : -1;
}

} // namespace

// The finest level whose cells are still worth drawing when the cell gap covers cullWidth of
// the total; the same factor-4 steps as detailLevel.
int IcicleLevelIndex::finestLevel(double cullWidth)
{
    if (cullWidth == 0)
        return IcicleLevelIndex::levelCount - 1;
    int level = 0;
    double width = cullWidth * 1024;
    while (level < IcicleLevelIndex::levelCount - 1 && width < 1) {
        ++level;
        width *= 4;
    }
    return level;
}

void RangeList::append(int64_t first, int64_t last)
{
    if (first >= last)
        return;
    if (count > 0) {
        VertexRange& previous = at(count - 1);
        if (first == previous.last) {
            previous.last = last;
            return;
        }
        if (last == previous.first) {
            previous.first = first;
            return;
        }
    }
    if (count < inlineCapacity)
        inlineRanges[count] = { first, last };
    else
        spilled.push_back({ first, last });
    ++count;
}

uint64_t IcicleLevelIndex::makeKey(float x0, int32_t link)
{
    return uint64_t(std::bit_cast<uint32_t>(link)) << 32 | std::bit_cast<uint32_t>(x0);
}

float IcicleLevelIndex::keyX(uint64_t key)
{
    return std::bit_cast<float>(uint32_t(key));
}

int32_t IcicleLevelIndex::keyLink(uint64_t key)
{
    return std::bit_cast<int32_t>(uint32_t(key >> 32));
}

int IcicleLevelIndex::detailLevel(float x0, float x1, float inverseTotal)
{
    float width = (x1 - x0) * inverseTotal;
    if (width == 0)
        return levelCount - 1;
    int level = 0;
    width *= 1024;
    while (level < levelCount - 1 && width < 1) {
        ++level;
        width *= 4;
    }
    return level;
}

void LevelList::append(const GeometryVertex& vertex)
{
    int32_t link = 0;
    if (vertex.x0 < vertex.x1) {
        // The midpoint is taken in double: in float it can round onto x0 for a cell a few ulps
        // wide, and a cell of a finished subtree that ends exactly there would pass for a parent.
        double middle = (double(vertex.x0) + double(vertex.x1)) / 2;
        int64_t newIndex = int64_t(vertexList.size());
        int64_t candidate = newIndex - 1;
        // Walking from the last vertex through the links visits the open ancestors, innermost first.
        while (candidate >= 0) {
            const GeometryVertex& enclosing = vertexList[size_t(candidate)];
            if (enclosing.row < vertex.row && enclosing.x0 <= middle && middle <= enclosing.x1) {
                int64_t distance = candidate - newIndex;
                if (distance >= std::numeric_limits<int32_t>::min())
                    link = int32_t(distance);
                break;
            }
            int32_t step = IcicleLevelIndex::keyLink(keyList[size_t(candidate)]);
            if (step == 0)
                break;
            candidate += step;
        }
    }
    appendGrowing(vertexList, vertex);
    appendGrowing(keyList, IcicleLevelIndex::makeKey(vertex.x0, link));
}

RangeList selectRanges(const IcicleLevelIndex& index, float visibleX0, float visibleX1, double cullWidth, bool includeBase)
{
    RangeList ranges;
    // Boundaries are clamped into the key array and made non-decreasing, so no range can leave
    // the buffer even if the index was assembled wrongly.
    int64_t vertexCount = int64_t(index.keys.size());
    int64_t bounds[IcicleLevelIndex::levelCount + 1];
    int64_t previous = 0;
    for (int k = 0; k <= IcicleLevelIndex::levelCount; ++k) {
        previous = std::clamp(index.boundaries[k], previous, vertexCount);
        bounds[k] = previous;
    }

    if (includeBase)
        ranges.append(0, bounds[0]);
    // An inverted (or NaN) view shows nothing; walking links from it would draw unrelated cells.
    if (!(visibleX0 <= visibleX1))
        return ranges;

    int finest = IcicleLevelIndex::finestLevel(cullWidth);
    for (int level = 0; level <= finest; ++level) {
        int64_t first = bounds[level];
        int64_t last = bounds[level + 1];
        if (first == last)
            continue;
        LevelCursor cursor = bisectLevel(index.keys, first, last, visibleX0, visibleX1);
        int64_t q = cursor.start;
        if (level == 0) {
            // Each enclosing cell alone: the cells between it and the view lie off-screen.
            ranges.append(q, cursor.end);
            for (int64_t outer = enclosingCell(index.keys, first, q); outer >= 0; outer = enclosingCell(index.keys, first, q)) {
                q = outer;
                ranges.append(q, q + 1);
            }
        } else {
            // One range from the outermost enclosing cell, so each finer level costs one draw.
            for (int64_t outer = enclosingCell(index.keys, first, q); outer >= 0; outer = enclosingCell(index.keys, first, q))
                q = outer;
            ranges.append(q, cursor.end);
        }
    }
    return ranges;
}
