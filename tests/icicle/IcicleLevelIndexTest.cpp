// The chart's level index without GL: range merging, detail levels, key links on hand-built
// pre-order sequences, and selectRanges checked against a brute-force scan of random trees.
#include "icicle/IcicleLevelIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <vector>

namespace {

std::vector<VertexRange> toVector(const RangeList& list)
{
    std::vector<VertexRange> result;
    for (size_t i = 0; i < list.size(); ++i)
        result.push_back(list[i]);
    return result;
}

GeometryVertex cell(float x0, float x1, float row)
{
    GeometryVertex vertex {};
    vertex.x0 = x0;
    vertex.x1 = x1;
    vertex.row = row;
    return vertex;
}

std::vector<int32_t> linksOf(const LevelList& list)
{
    std::vector<int32_t> links;
    for (uint64_t key : list.keys())
        links.push_back(IcicleLevelIndex::keyLink(key));
    return links;
}

// Keys of the base list and then levels 0..7, in buffer order, with their boundaries.
IcicleLevelIndex assemble(const LevelList& base, const LevelList (&levels)[IcicleLevelIndex::levelCount])
{
    IcicleLevelIndex index;
    index.keys = base.keys();
    index.boundaries[0] = int64_t(index.keys.size());
    for (int k = 0; k < IcicleLevelIndex::levelCount; ++k) {
        index.keys.insert(index.keys.end(), levels[k].keys().begin(), levels[k].keys().end());
        index.boundaries[k + 1] = int64_t(index.keys.size());
    }
    return index;
}

TEST(RangeListTest, MergesRangesThatTouchTheLastOne)
{
    RangeList list;
    list.append(10, 20);
    list.append(20, 25); // starts where the last ends
    list.append(5, 10);  // ends where the last starts
    list.append(7, 7);   // empty
    list.append(9, 3);   // inverted, also empty
    list.append(30, 40);
    list.append(25, 30); // touches the last range only
    EXPECT_EQ(toVector(list), (std::vector<VertexRange> { { 5, 25 }, { 25, 40 } }));
    list.append(35, 45); // overlapping is not touching
    EXPECT_EQ(list.size(), 3u);
}

TEST(RangeListTest, SpillsPastTwentyFourRangesAndStillMerges)
{
    RangeList list;
    for (int64_t i = 0; i < 24; ++i)
        list.append(i * 10, i * 10 + 5);
    list.append(235, 237); // merges into the last inline range
    for (int64_t i = 24; i < 40; ++i)
        list.append(i * 10, i * 10 + 5);
    list.append(395, 398); // merges into the last spilled range
    list.append(398, 398);

    ASSERT_EQ(list.size(), 40u);
    for (int64_t i = 0; i < 40; ++i) {
        int64_t last = i == 23 ? 237 : i == 39 ? 398 : i * 10 + 5;
        EXPECT_EQ(list[size_t(i)], (VertexRange { i * 10, last })) << "range " << i;
    }
    RangeList copy = list;
    EXPECT_EQ(toVector(copy), toVector(list));
}

TEST(IcicleLevelIndexTest, KeysKeepXAndNegativeLink)
{
    uint64_t key = IcicleLevelIndex::makeKey(1536.25f, -7);
    EXPECT_EQ(IcicleLevelIndex::keyX(key), 1536.25f);
    EXPECT_EQ(IcicleLevelIndex::keyLink(key), -7);
    EXPECT_EQ(key >> 32, 0xFFFFFFF9u);
    EXPECT_EQ(IcicleLevelIndex::makeKey(0.0f, 0), 0u);
    // The low halves of non-negative floats order like the values.
    EXPECT_LT(uint32_t(IcicleLevelIndex::makeKey(3.0f, -1)), uint32_t(IcicleLevelIndex::makeKey(3.5f, 0)));
}

struct DetailCase {
    const char* name;
    float x0, x1, inverseTotal;
    int level;
};

TEST(IcicleLevelIndexTest, DetailLevelBoundaries)
{
    // A total of 2^30 bytes, so the level boundaries are exact powers of two.
    const float inverse = 0x1p-30f;
    const DetailCase cases[] = {
        { "a 1024th of the total", 0, 0x1p20f, inverse, 0 },
        { "just under a 1024th", 0, 0x1p20f - 1, inverse, 1 },
        { "a 1024th away from the origin", 0x1p29f, 0x1p29f + 0x1p20f, inverse, 0 },
        { "a 4096th", 0, 0x1p18f, inverse, 1 },
        { "just under a 4096th", 0, 0x1p18f - 1, inverse, 2 },
        { "finest boundary, 1/(1024*4^6)", 0, 0x1p8f, inverse, 6 },
        { "just under the finest boundary", 0, 0x1p8f - 1, inverse, 7 },
        { "one byte", 100, 101, inverse, 7 },
        { "zero width", 100, 100, inverse, 7 },
        { "one byte lost to float rounding", 0x1p30f, 0x1p30f + 1, inverse, 7 },
        { "the whole total", 0, 0x1p30f, inverse, 0 },
        { "far wider than the total", 0, 0x1p100f, inverse, 0 },
        { "total of at most one byte", 0, 1, 1.0f, 0 },
    };
    for (const DetailCase& c : cases)
        EXPECT_EQ(IcicleLevelIndex::detailLevel(c.x0, c.x1, c.inverseTotal), c.level) << c.name;
}

TEST(LevelListTest, LinksPointToTheNearestEnclosingCellOfTheList)
{
    // One level's share of a pre-order walk; parents of some cells live in other levels.
    LevelList list;
    list.append(cell(0, 100, 1));    // 0: A
    list.append(cell(0, 50, 2));     // 1: A's child
    list.append(cell(0, 20, 3));     // 2: grandchild
    list.append(cell(20, 50, 3));    // 3: grandchild, after a sibling that is not its parent
    list.append(cell(50, 100, 2));   // 4: A's second child, up two rows from the last cell
    list.append(cell(100, 200, 1));  // 5: B, a root child with nothing above it
    list.append(cell(100, 110, 3));  // 6: B's grandchild, its parent in another level
    list.append(cell(110, 120, 2 + 0.27201962f)); // 7: a file under B, one row up from the last cell
    list.append(cell(200, 300, 4));  // 8: whose ancestors are all elsewhere; B ends where it starts
    list.append(cell(300, 300, 5));  // 9: zero width gets no link
    EXPECT_EQ(linksOf(list), (std::vector<int32_t> { 0, -1, -1, -2, -4, 0, -1, -2, 0, 0 }));
    EXPECT_EQ(IcicleLevelIndex::keyX(list.keys()[7]), 110.0f);
}

TEST(LevelListTest, CellOneFloatStepWideIsNotClaimedByTheCellEndingAtItsStart)
{
    // A's child B ends at 1; C starts there, one float step wide, and belongs under A, not B.
    // Its midpoint rounds onto 1 in float arithmetic.
    const float next = std::nextafter(1.0f, 2.0f);
    LevelList list;
    list.append(cell(0, 2, 1));
    list.append(cell(0, 1, 2));
    list.append(cell(1, next, 3));
    EXPECT_EQ(linksOf(list), (std::vector<int32_t> { 0, -1, -2 }));
}

TEST(SelectRangesTest, LevelZeroDrawsEnclosingCellsAloneAndFinerLevelsFromTheOutermost)
{
    LevelList base;
    LevelList levels[IcicleLevelIndex::levelCount];
    base.append(cell(0, 1000, 0));
    levels[0].append(cell(0, 500, 1));   // 1
    levels[0].append(cell(0, 250, 2));   // 2
    levels[0].append(cell(250, 500, 2)); // 3
    levels[0].append(cell(500, 1000, 1)); // 4
    levels[0].append(cell(500, 900, 2)); // 5
    levels[0].append(cell(500, 600, 3)); // 6
    levels[0].append(cell(600, 900, 3)); // 7
    levels[1].append(cell(600, 700, 4)); // 8
    levels[1].append(cell(600, 650, 5)); // 9
    levels[1].append(cell(650, 700, 5)); // 10
    levels[1].append(cell(700, 750, 4)); // 11
    IcicleLevelIndex index = assemble(base, levels);

    // Level 0 only: the cell before the view and its enclosing cells, each on its own.
    EXPECT_EQ(toVector(selectRanges(index, 760, 800, 1.0, false)), (std::vector<VertexRange> { { 7, 8 }, { 4, 6 } }));
    EXPECT_EQ(toVector(selectRanges(index, 760, 800, 1.0, true)), (std::vector<VertexRange> { { 0, 1 }, { 7, 8 }, { 4, 6 } }));
    // A 4096th of the total admits level 1: from 10's outermost enclosing cell 8 to the end.
    EXPECT_EQ(toVector(selectRanges(index, 660, 690, 1.0 / 4096, false)), (std::vector<VertexRange> { { 7, 8 }, { 4, 6 }, { 8, 11 } }));
    // Three cells start at 500, just left of the view: drawing starts at the first, outermost.
    EXPECT_EQ(toVector(selectRanges(index, 501, 502, 1.0, false)), (std::vector<VertexRange> { { 4, 7 } }));
}

TEST(SelectRangesTest, ZeroWidthCellDoesNotHideTheCellItStartsIn)
{
    // The zero-width cell has no link, so only stepping back over equal x finds its parent.
    LevelList base;
    LevelList levels[IcicleLevelIndex::levelCount];
    levels[7].append(cell(1, 2, 1));
    levels[7].append(cell(1, 1, 2));
    IcicleLevelIndex index = assemble(base, levels);
    EXPECT_EQ(toVector(selectRanges(index, 1.5f, 1.75f, 0, false)), (std::vector<VertexRange> { { 0, 2 } }));
}

struct GuardCase {
    const char* name;
    float visibleX0, visibleX1;
    double cullWidth;
};

TEST(SelectRangesTest, EmptyLevelsDamagedBoundariesAndInvertedViewsStayInsideTheBuffer)
{
    LevelList base;
    LevelList levels[IcicleLevelIndex::levelCount];
    base.append(cell(0, 100, 0));
    levels[2].append(cell(0, 1, 1)); // levels 0, 1 and 3..7 stay empty
    levels[2].append(cell(0, 0.5f, 2));
    IcicleLevelIndex sparse = assemble(base, levels);
    IcicleLevelIndex damaged = sparse;
    damaged.boundaries[1] = 40; // past the end, then decreasing
    damaged.boundaries[2] = 1;
    IcicleLevelIndex empty;

    const GuardCase views[] = {
        { "whole", 0, 100, 0 },
        { "left of everything", -50, -10, 0 },
        { "negative start", -50, 0.25f, 0 },
        { "right of everything", 200, 300, 0 },
        { "inverted", 60, 10, 0 },
        { "inverted around a cell", 0.75f, 0.25f, 0 },
        { "negative cull width", 0, 100, -1 },
        { "coarse cull width", 0, 100, 1 },
    };
    for (const IcicleLevelIndex* index : { &sparse, &damaged, &empty }) {
        int64_t count = int64_t(index->keys.size());
        for (const GuardCase& view : views) {
            for (bool includeBase : { false, true }) {
                RangeList ranges = selectRanges(*index, view.visibleX0, view.visibleX1, view.cullWidth, includeBase);
                for (const VertexRange& range : toVector(ranges)) {
                    EXPECT_TRUE(0 <= range.first && range.first < range.last && range.last <= count)
                        << view.name << ": [" << range.first << ", " << range.last << ") of " << count;
                }
                if (view.visibleX1 < view.visibleX0 && index != &empty) {
                    EXPECT_EQ(ranges.size(), includeBase ? 1u : 0u) << view.name;
                }
            }
        }
    }
}

// [SECTION] selectRanges against a brute-force scan

constexpr uint64_t treeTotal = uint64_t(1) << 40;
// Twice the float step at the total, so every float cell keeps a positive width.
constexpr uint64_t smallestCell = uint64_t(1) << 17;

struct RandomTree {
    LevelList base;
    LevelList levels[IcicleLevelIndex::levelCount];
    std::vector<GeometryVertex> vertices; // buffer order, as assembled
    std::vector<int> levelOf;             // -1 for base
    IcicleLevelIndex index;
};

// Children packed from the parent's start, in pre-order, like the layout: some of the parent's
// bytes stay uncovered, and children below the smallest size are left out. Each child's subtree
// gets an equal share of what is left of the budget; returns the number of cells emitted.
int emitChildren(std::mt19937_64& random, RandomTree& tree, uint64_t start, uint64_t size, int depth, int budget)
{
    if (depth >= 14 || size < 2 * smallestCell || budget <= 0)
        return 0;
    std::uniform_int_distribution<int> childCount(depth == 0 ? 12 : 0, depth == 0 ? 20 : 11);
    std::uniform_real_distribution<double> logWeight(-6, 0);
    std::uniform_real_distribution<double> filled(0.5, 1.0);
    int n = childCount(random);
    std::vector<double> weights(static_cast<size_t>(n));
    double sum = 0;
    for (double& weight : weights)
        sum += weight = std::exp(logWeight(random));
    double scale = filled(random) * double(size) / sum;
    uint64_t offset = start;
    int used = 0;
    for (int j = 0; j < n && used < budget; ++j) {
        uint64_t childSize = uint64_t(weights[size_t(j)] * scale);
        if (childSize < smallestCell)
            continue;
        ++used;
        bool file = random() % 3 == 0;
        float row = float(depth + 1) + (file ? 0.27201962f : 0.0f);
        GeometryVertex vertex = cell(float(offset), float(offset + childSize), row);
        tree.levels[IcicleLevelIndex::detailLevel(vertex.x0, vertex.x1, 1.0f / float(treeTotal))].append(vertex);
        if (!file)
            used += emitChildren(random, tree, offset, childSize, depth + 1, (budget - used) / (n - j));
        offset += childSize;
    }
    return used;
}

void buildRandomTree(uint64_t seed, RandomTree& tree)
{
    std::mt19937_64 random(seed);
    tree.base.append(cell(0, float(treeTotal), 0));
    emitChildren(random, tree, 0, treeTotal, 0, 4000);
    tree.index = assemble(tree.base, tree.levels);
    tree.vertices = tree.base.vertices();
    tree.levelOf.assign(tree.vertices.size(), -1);
    for (int k = 0; k < IcicleLevelIndex::levelCount; ++k) {
        tree.vertices.insert(tree.vertices.end(), tree.levels[k].vertices().begin(), tree.levels[k].vertices().end());
        tree.levelOf.resize(tree.vertices.size(), k);
    }
}

int finestAdmittedLevel(double cullWidth)
{
    if (cullWidth == 0)
        return 7;
    for (int level = 0; level < 7; ++level) {
        if (cullWidth * std::ldexp(1.0, 10 + 2 * level) >= 1)
            return level;
    }
    return 7;
}

::testing::AssertionResult matchesBruteForce(const RandomTree& tree, float x0, float x1, double cullWidth, bool includeBase)
{
    RangeList ranges = selectRanges(tree.index, x0, x1, cullWidth, includeBase);
    std::ostringstream view;
    view << "view [" << x0 << ", " << x1 << "] cull " << cullWidth << (includeBase ? " with base" : "") << ": ";
    int64_t count = int64_t(tree.vertices.size());
    int finest = finestAdmittedLevel(cullWidth);
    std::vector<bool> drawn(tree.vertices.size(), false);
    for (const VertexRange& range : toVector(ranges)) {
        if (range.first < 0 || range.first >= range.last || range.last > count)
            return ::testing::AssertionFailure() << view.str() << "range [" << range.first << ", " << range.last << ") of " << count;
        for (int64_t i = range.first; i < range.last; ++i) {
            int level = tree.levelOf[size_t(i)];
            if (level > finest || (level < 0 && !includeBase))
                return ::testing::AssertionFailure() << view.str() << "vertex " << i << " of level " << level << " drawn";
            drawn[size_t(i)] = true;
        }
    }
    for (size_t i = 0; i < tree.vertices.size(); ++i) {
        const GeometryVertex& vertex = tree.vertices[i];
        int level = tree.levelOf[i];
        bool wanted = level < 0 ? includeBase : level <= finest && vertex.x1 >= x0 && vertex.x0 <= x1;
        if (wanted && !drawn[i])
            return ::testing::AssertionFailure() << view.str() << "vertex " << i << " of level " << level << " ["
                                                 << vertex.x0 << ", " << vertex.x1 << ") row " << vertex.row << " missing";
    }
    return ::testing::AssertionSuccess();
}

TEST(SelectRangesTest, DrawsEveryVisibleCellOfTheAdmittedLevelsAndNothingElse)
{
    const double total = double(treeTotal);
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        RandomTree tree;
        buildRandomTree(seed, tree);
        for (int k = 0; k < IcicleLevelIndex::levelCount; ++k)
            EXPECT_GT(tree.levels[k].size(), 0u) << "the random tree should reach level " << k;

        std::mt19937_64 random(seed * 7919);
        std::uniform_real_distribution<double> anywhere(-0.1 * total, 1.1 * total);
        std::uniform_real_distribution<double> logFraction(-9, -0.5);
        std::uniform_int_distribution<size_t> anyVertex(0, tree.vertices.size() - 1);
        const double fixedCulls[] = { 0, 1.0 / 1024, 1.0 / 4096 * 0.999, 1, -1 };
        for (int trial = 0; trial < 1500; ++trial) {
            float x0 = 0, x1 = 0;
            const GeometryVertex& near = tree.vertices[anyVertex(random)];
            const GeometryVertex& other = tree.vertices[anyVertex(random)];
            double width = total * std::pow(10.0, logFraction(random));
            switch (trial % 6) {
            case 0: // anywhere, possibly off both ends
                x0 = float(anywhere(random));
                x1 = float(anywhere(random));
                if (x1 < x0)
                    std::swap(x0, x1);
                break;
            case 1: // zoomed in around a cell's start
                x0 = float(near.x0 - width / 2);
                x1 = float(near.x0 + width / 2);
                break;
            case 2: // starting exactly where a cell ends
                x0 = near.x1;
                x1 = float(near.x1 + width);
                break;
            case 3: // between the edges of two cells
                x0 = std::min(near.x0, other.x1);
                x1 = std::max(near.x0, other.x1);
                break;
            case 4: // a single point inside a cell
                x0 = x1 = float((double(near.x0) + near.x1) / 2);
                break;
            default: // the whole chart
                x0 = 0;
                x1 = float(total);
                break;
            }
            double cullWidth = trial % 3 == 0 ? fixedCulls[(trial / 3) % 5] : std::pow(10.0, logFraction(random));
            ASSERT_TRUE(matchesBruteForce(tree, x0, x1, cullWidth, trial % 2 == 0));
        }
    }
}

} // namespace
