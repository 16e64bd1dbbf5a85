// Layout and node lookup: worked examples of cell placement, hue windows and palette restarts,
// hit tests at edges and in the hanging part of file cells, and properties over random trees.
#include "icicle/IcicleLayout.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/GeometryVertex.h"
#include "TreeBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

using namespace testtree;

namespace {

struct Cell {
    FilesystemNode* node;
    int32_t row;
    uint64_t x0;
    uint64_t width;
    double hue;
};

// Records every emitted cell and fills the lookup the way the mesh builder does.
class Recorder final : public IcicleLayout::CellSink {
public:
    void cell(FilesystemNode* node, int32_t row, uint64_t x0, uint64_t width, double hue) override
    {
        cells.push_back({ node, row, x0, width, hue });
        IcicleNodeLookup::recordCell(rows, row, float(x0), float(x0 + std::max<uint64_t>(width, 1)), node);
    }
    const Cell* find(const FilesystemNode* node) const
    {
        for (const Cell& c : cells)
            if (c.node == node)
                return &c;
        return nullptr;
    }
    std::vector<Cell> cells;
    std::vector<IcicleNodeLookup::Row> rows;
};

// Lays out `root` (recording the root cell first, as the builder does) into `lookup`.
Recorder layOut(orvex::UniquePtr<FilesystemNode> root, uint64_t minimumSize, IcicleNodeLookup& lookup)
{
    Recorder recorder;
    recorder.cell(root.get(), 0, 0, root->size, 0.0);
    IcicleLayout::layOutDescendants(root.get(), minimumSize, recorder);
    lookup.assign(std::move(root), recorder.rows);
    return recorder;
}

// Every cell lies inside its parent's cell one row up, and siblings do not overlap.
void expectNestedWithoutOverlap(const Recorder& cells)
{
    std::map<const FilesystemNode*, const Cell*> byNode;
    std::map<const FilesystemNode*, uint64_t> nextFree; // per parent: where the previous child ended
    for (const Cell& c : cells.cells)
        byNode[c.node] = &c;
    for (const Cell& c : cells.cells) {
        if (!c.node->parent)
            continue;
        const Cell* parent = byNode.at(c.node->parent);
        EXPECT_EQ(c.row, parent->row + 1);
        EXPECT_GE(c.x0, parent->x0);
        EXPECT_LE(c.width, parent->x0 + parent->width - c.x0) << c.node->name.view() << " reaches out of its parent";
        EXPECT_GE(c.x0, nextFree[parent->node]) << c.node->name.view() << " overlaps its previous sibling";
        nextFree[parent->node] = c.x0 + c.width;
    }
}

} // namespace

// Sizes that saturated at 2^64 - 1: children add up to more than their parent, yet each is cut
// to the room left and one with no room is left out.
TEST(IcicleLayout, SaturatedTotalsKeepEveryChildInsideItsParent)
{
    const uint64_t half = uint64_t(1) << 63;
    IcicleNodeLookup lookup;
    Recorder cells = layOut(build(dir("/r", { file("a", half - 1), dir("d", { file("x", half - 1), file("y", half) }),
                                              file("b", 5) })),
                            1, lookup);
    FilesystemNode* root = const_cast<FilesystemNode*>(lookup.root());
    ASSERT_EQ(root->size, saturatedSize);
    expectNestedWithoutOverlap(cells);
    const Cell* d = cells.find(child(root, "d"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->x0, half - 1);
    EXPECT_EQ(d->width, half); // to the end of the root
    EXPECT_EQ(d->node->size, saturatedSize);
    EXPECT_EQ(cells.find(child(root, "b")), nullptr) << "a child with no room left is drawn";
    EXPECT_EQ(cells.find(child(d->node, "y"))->width, 1u);
}

TEST(IcicleLayout, SmallChildrenAreLeftOutWithoutAdvancingTheOffset)
{
    IcicleNodeLookup lookup;
    Recorder cells = layOut(build(dir("/r", { file("a", 60), file("b", 10), file("c", 30) })), 20, lookup);
    FilesystemNode* root = const_cast<FilesystemNode*>(lookup.root());
    ASSERT_EQ(cells.cells.size(), 3u);
    EXPECT_EQ(cells.find(child(root, "a"))->x0, 0u);
    EXPECT_EQ(cells.find(child(root, "c"))->x0, 60u);
    EXPECT_EQ(cells.find(child(root, "b")), nullptr);
    EXPECT_EQ(lookup.nodeAt(30, 1.5), child(root, "a"));
    EXPECT_EQ(lookup.nodeAt(75, 1.5), child(root, "c"));
    EXPECT_EQ(lookup.nodeAt(95, 1.5), nullptr) << "[90, 100) stays empty";
}

TEST(IcicleLayout, ZeroSizeNodesNeverGetCells)
{
    IcicleNodeLookup lookup;
    Recorder cells = layOut(build(dir("/r", { dir("empty", { file("e1", 0), file("e2", 0) }), file("z", 0) })), 1, lookup);
    ASSERT_EQ(cells.cells.size(), 1u) << "only the root";
    EXPECT_EQ(lookup.rows().size(), 1u);
    EXPECT_EQ(lookup.nodeAt(0.5, 0.5), lookup.root()) << "a zero-size root is still one byte wide";
}

TEST(IcicleLayout, HuesSpreadOverTheWindowAndAnOnlyChildKeepsItsParentsHue)
{
    IcicleNodeLookup lookup;
    Recorder cells = layOut(build(dir("/r", { dir("a", { file("only", 5) }), file("b", 5), file("c", 5) })), 1, lookup);
    FilesystemNode* root = const_cast<FilesystemNode*>(lookup.root());
    EXPECT_DOUBLE_EQ(cells.find(child(root, "a"))->hue, 0.0);
    EXPECT_DOUBLE_EQ(cells.find(child(root, "b"))->hue, 0.5);
    EXPECT_DOUBLE_EQ(cells.find(child(root, "c"))->hue, 1.0);
    EXPECT_DOUBLE_EQ(cells.find(child(child(root, "a"), "only"))->hue, 0.0);
}

TEST(IcicleLayout, SkippedChildAfterAnEmittedOneStillAdvancesTheHue)
{
    IcicleNodeLookup lookup;
    Recorder cells = layOut(build(dir("/r", { file("small first", 1), file("a", 50), file("small", 1), file("b", 50) })), 10, lookup);
    FilesystemNode* root = const_cast<FilesystemNode*>(lookup.root());
    EXPECT_DOUBLE_EQ(cells.find(child(root, "a"))->hue, 0.0) << "a leading skipped child changes nothing";
    EXPECT_DOUBLE_EQ(cells.find(child(root, "b"))->hue, 2.0 / 3.0);
}

struct BalanceCase {
    const char* label;
    std::vector<uint64_t> sizes;
    bool balanced;
};

class IcicleLayoutBalance : public testing::TestWithParam<BalanceCase> {};

// Six siblings make sub-windows of 1 / 8.5 < 1/8, the narrow case; the first sibling holds the
// children under test.
TEST_P(IcicleLayoutBalance, NarrowBalancedNodeRestartsThePalette)
{
    std::vector<Spec> inner;
    for (size_t i = 0; i < GetParam().sizes.size(); ++i)
        inner.push_back(file("c" + std::to_string(i), GetParam().sizes[i]));
    std::vector<Spec> top { dir("subject", inner) };
    for (int i = 0; i < 5; ++i)
        top.push_back(file("sibling" + std::to_string(i), 100));
    IcicleNodeLookup lookup;
    Recorder cells = layOut(build(dir("/r", top)), 1, lookup);
    FilesystemNode* subject = child(const_cast<FilesystemNode*>(lookup.root()), "subject");
    EXPECT_EQ(IcicleLayout::isBalanced(subject, 1), GetParam().balanced);
    size_t n = GetParam().sizes.size();
    double window = GetParam().balanced ? 1.0 : 1.0 / 8.5;
    for (size_t i = 0; i < n; ++i) {
        double expected = window * double(i) / double(n - 1);
        EXPECT_NEAR(cells.find(child(subject, "c" + std::to_string(i)))->hue, expected, 1e-12) << "child " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, IcicleLayoutBalance,
                         testing::Values(BalanceCase { "Balanced", { 40, 30, 20, 10 }, true },
                                         BalanceCase { "ThirdLargestTooSmall", { 40, 35, 4, 3, 3 }, false },
                                         BalanceCase { "OneChildHoldsHalf", { 50, 20, 20, 10 }, false }),
                         [](const testing::TestParamInfo<BalanceCase>& info) { return info.param.label; });

TEST(IcicleNodeLookup, EdgesBelongToTheCellOnTheirRight)
{
    IcicleNodeLookup lookup;
    layOut(build(dir("/r", { dir("a", { file("x", 10) }), file("b", 10), file("small", 1), dir("c", { file("y", 10) }) })), 5, lookup);
    FilesystemNode* root = const_cast<FilesystemNode*>(lookup.root());
    EXPECT_EQ(lookup.nodeAt(0, 1.0), child(root, "a"));
    EXPECT_EQ(lookup.nodeAt(10, 1.0), child(root, "b")) << "a's right edge is b's left edge";
    EXPECT_EQ(lookup.nodeAt(20, 1.0), child(root, "c"));
    EXPECT_EQ(lookup.nodeAt(30, 1.0), nullptr) << "the right edge of the last cell starts a gap";
    EXPECT_EQ(lookup.nodeAt(-0.001, 1.0), nullptr);
}

TEST(IcicleNodeLookup, TopOfARowBelowAFileFindsTheFile)
{
    IcicleNodeLookup lookup;
    layOut(build(dir("/r", { file("f", 10), dir("d", { file("inner", 10) }), dir("g", { file("h", 10), file("tiny", 1) }) })), 2, lookup);
    FilesystemNode* root = const_cast<FilesystemNode*>(lookup.root());
    EXPECT_EQ(lookup.nodeAt(5, 2.2), child(root, "f")) << "the file hangs 0.272 rows into row 2";
    EXPECT_EQ(lookup.nodeAt(5, 2.28), nullptr) << "below the hanging part";
    EXPECT_EQ(lookup.nodeAt(15, 2.2), child(child(root, "d"), "inner")) << "row 2 itself has the directory's child";
    EXPECT_EQ(lookup.nodeAt(30.5, 2.1), nullptr) << "a directory does not hang (g's last byte has no child cell)";
    EXPECT_EQ(lookup.nodeAt(5, 3.1), nullptr) << "only one row down";
}

TEST(IcicleNodeLookup, OutOfRangeAndNonFinitePointsFindNothing)
{
    IcicleNodeLookup lookup;
    layOut(build(dir("/r", { file("f", 10) })), 1, lookup);
    for (double y : { -1.0, -1e300, 1e300, 99.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                      std::nan("") })
        EXPECT_EQ(lookup.nodeAt(5, y), nullptr) << "y " << y;
    EXPECT_EQ(lookup.nodeAt(std::nan(""), 0.5), nullptr);
    EXPECT_EQ(lookup.findInRow(std::numeric_limits<int64_t>::min(), 5), nullptr);
    EXPECT_EQ(lookup.findInRow(std::numeric_limits<int64_t>::max(), 5), nullptr);
}

TEST(IcicleNodeLookup, CellWhoseFloatEdgesCollapseGetsNoEntries)
{
    std::vector<IcicleNodeLookup::Row> rows;
    float x0 = float(uint64_t(1) << 40);
    IcicleNodeLookup::recordCell(rows, 3, x0, float((uint64_t(1) << 40) + 1), nullptr);
    ASSERT_EQ(rows.size(), 4u) << "the rows exist all the same";
    EXPECT_TRUE(rows[3].empty());
}

TEST(IcicleNodeLookup, NullRootGivesAnEmptyLookupAndReplacingFreesTheOldTree)
{
    IcicleNodeLookup lookup;
    layOut(build(dir("/old", { file("f", 10) })), 1, lookup);
    lookup.assign(nullptr, {});
    EXPECT_EQ(lookup.root(), nullptr);
    EXPECT_TRUE(lookup.rows().empty());
    EXPECT_EQ(lookup.nodeAt(5, 0.5), nullptr);
}

TEST(IcicleNodeLookup, NodePathJoinsNamesBelowTheScannedPath)
{
    auto tree = build(dir("/home/user/", { dir("docs", { file("a b.txt", 1) }) }));
    FilesystemNode* leaf = child(child(tree.get(), "docs"), "a b.txt");
    // A root starting with '/' is a POSIX path (on Windows, from a stored scan): joined with '/'.
    EXPECT_EQ(IcicleNodeLookup::nodePath(leaf), "/home/user/docs/a b.txt");
#ifdef _WIN32
    // A Windows root keeps its own separators; below it, names are joined with the system's.
    auto windowsTree = build(dir("C:/Users/u/", { dir("docs", { file("a b.txt", 1) }) }));
    EXPECT_EQ(IcicleNodeLookup::nodePath(child(child(windowsTree.get(), "docs"), "a b.txt")), "C:/Users/u/docs\\a b.txt");
#endif
}

// Properties over random trees: cells nest inside their parents, offsets only grow within a row,
// and the centre of every cell finds that cell's node.
TEST(IcicleLayout, RandomTreesNestAndEveryCellCentreFindsItsNode)
{
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        auto tree = random(seed, 3000);
        uint64_t minimumSize = std::max<uint64_t>(tree->size >> 20, 1);
        if (seed % 2)
            minimumSize = std::max<uint64_t>(tree->size >> 10, 1); // more left out
        IcicleNodeLookup lookup;
        Recorder cells = layOut(std::move(tree), minimumSize, lookup);
        expectNestedWithoutOverlap(cells);
        for (const Cell& c : cells.cells) {
            EXPECT_EQ(c.width, c.node->size);
            if (c.node->parent) {
                EXPECT_GE(c.node->size, minimumSize);
            }
            double centre = (double(c.x0) + double(c.x0 + std::max<uint64_t>(c.width, 1))) / 2.0;
            ASSERT_EQ(lookup.nodeAt(centre, c.row + 0.5), c.node) << "seed " << seed << " row " << c.row << " x0 " << c.x0;
        }
        for (const auto& row : lookup.rows())
            for (size_t i = 1; i < row.size(); ++i)
                ASSERT_LE(row[i - 1].x, row[i].x) << "seed " << seed;
    }
}
