// A tree folded while it is built (TreeFolding) makes exactly the chart of the whole tree: the same
// cell, label and block vertices, the same blocks in the lookup naming the same folders, the same
// counts and totals, and what could not be read is still there to be marked.
#include "icicle/IcicleOptimization.h"
#include "scan/TreeCounts.h"
#include "scan/TreeFolding.h"
#include "BufferUploader.h"
#include "TreeBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace testtree;
using orvex::UniquePtr;

namespace {

UniquePtr<FilesystemNode> copyOf(const FilesystemNode& source, FilesystemNode* parent)
{
    UniquePtr<FilesystemNode> node(new FilesystemNode);
    node->type = source.type;
    node->setName(source.name.view());
    node->parent = parent;
    node->size = source.type == FilesystemNode::Type::FILE ? source.size : 0;
    return node;
}

// Copies `source` depth first as the scanner's walk builds a tree, telling `folding` what a
// builder tells it; the nodes in `unreadable` are reported as entries that could not be read, and
// their copies go to `unreadableCopies`.
UniquePtr<FilesystemNode> rebuild(const FilesystemNode& source, TreeFolding& folding,
                                  const std::set<const FilesystemNode*>& unreadable,
                                  std::vector<const FilesystemNode*>& unreadableCopies)
{
    uint64_t seen = 0;
    UniquePtr<FilesystemNode> root = copyOf(source, nullptr);
    struct Frame {
        const FilesystemNode* from;
        FilesystemNode* to;
        int64_t next;
    };
    std::vector<Frame> stack { { &source, root.get(), 0 } };
    folding.nodeMade();
    folding.folderOpened(root.get());
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.from->children.count) {
            FilesystemNode* done = top.to;
            stack.pop_back();
            if (done->parent)
                done->parent->size = saturatingAdd(done->parent->size, done->size);
            folding.folderClosed(done, seen);
            continue;
        }
        const FilesystemNode* from = top.from->children[top.next++];
        FilesystemNode* parent = top.to;
        UniquePtr<FilesystemNode> to = copyOf(*from, parent);
        FilesystemNode* made = to.get();
        folding.nodeMade();
        if (from->type == FilesystemNode::Type::FILE) {
            parent->size = saturatingAdd(parent->size, made->size);
            seen = saturatingAdd(seen, made->size);
            if (unreadable.count(from)) {
                folding.keep(made);
                unreadableCopies.push_back(made);
            }
            parent->appendChild(std::move(to));
            continue;
        }
        parent->appendChild(std::move(to));
        folding.folderOpened(made);
        if (unreadable.count(from)) {
            folding.keep(made);
            unreadableCopies.push_back(made);
        }
        stack.push_back({ from, made, 0 }); // `top` may dangle from here on
    }
    return root;
}

struct Chart {
    IcicleNodeLookup lookup;
    BufferUploader streams;
    TreeCounts::Counts counts;
    uint64_t total = 0;
};

void build(Chart& chart, UniquePtr<FilesystemNode> tree, const std::vector<const FilesystemNode*>& unreadable)
{
    chart.counts = TreeCounts(tree.get()).below(tree.get());
    chart.total = tree->size;
    IcicleOptimization::Marks marks;
    marks.unreadableNodes = &unreadable;
    const uint64_t minimum = TreeFolding::threshold(tree->size); // the program's minimum cell
    IcicleOptimization::build(chart.lookup, std::move(tree), minimum, chart.streams, {}, marks);
}

bool sameBytes(const std::vector<GeometryVertex>& a, const std::vector<GeometryVertex>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(GeometryVertex)) == 0);
}

size_t nodeCount(const FilesystemNode* root)
{
    size_t count = 0;
    std::vector<const FilesystemNode*> stack { root };
    while (!stack.empty()) {
        const FilesystemNode* node = stack.back();
        stack.pop_back();
        count += 1;
        for (int64_t i = 0; i < node->children.count; ++i)
            stack.push_back(node->children[i]);
    }
    return count;
}

// Builds the chart of `tree` as it is and of its copy folded with `budget`; expects them equal.
// Returns how many nodes the folded copy kept.
size_t expectSameChart(UniquePtr<FilesystemNode> tree, uint64_t budget, const std::set<const FilesystemNode*>& unreadable = {},
                       uint64_t refoldFrom = 64)
{
    TreeFolding folding(budget, nullptr, refoldFrom);
    std::vector<const FilesystemNode*> unreadableCopies;
    UniquePtr<FilesystemNode> folded = rebuild(*tree, folding, unreadable, unreadableCopies);
    const size_t kept = nodeCount(folded.get());
    EXPECT_EQ(kept, folding.liveNodes());
    std::vector<const FilesystemNode*> unreadableOriginals(unreadable.begin(), unreadable.end());
    std::vector<std::string> unreadablePaths;
    for (const FilesystemNode* node : unreadableOriginals)
        unreadablePaths.push_back(nodePath(node));
    Chart whole, small;
    build(whole, std::move(tree), unreadableOriginals);
    build(small, std::move(folded), unreadableCopies);

    EXPECT_EQ(small.total, whole.total);
    EXPECT_EQ(small.counts, whole.counts);
    EXPECT_TRUE(sameBytes(small.streams.buffer, whole.streams.buffer)) << "cell and label vertices differ";
    EXPECT_TRUE(sameBytes(small.streams.blocks, whole.streams.blocks)) << "block vertices differ";
    // The blocks the pointer finds name the same folders, which open and reveal act on.
    const auto& wholeBlocks = whole.lookup.smallItemBlocks().blocks();
    const auto& smallBlocks = small.lookup.smallItemBlocks().blocks();
    EXPECT_EQ(smallBlocks.size(), wholeBlocks.size());
    for (size_t i = 0; i < std::min(smallBlocks.size(), wholeBlocks.size()); ++i) {
        EXPECT_EQ(smallBlocks[i].folder->type, FilesystemNode::Type::DIRECTORY);
        EXPECT_EQ(nodePath(smallBlocks[i].folder), nodePath(wholeBlocks[i].folder));
        EXPECT_EQ(smallBlocks[i].items, wholeBlocks[i].items);
        EXPECT_EQ(smallBlocks[i].bytes, wholeBlocks[i].bytes);
        EXPECT_EQ(smallBlocks[i].marked, wholeBlocks[i].marked);
    }
    // What could not be read is still in the tree, under the same path: found walking down from
    // the root, since a node folded away is freed and its parent links may not be followed.
    std::multiset<std::string> reachable;
    std::vector<const FilesystemNode*> stack { small.lookup.root() };
    while (!stack.empty()) {
        const FilesystemNode* node = stack.back();
        stack.pop_back();
        if (node->type != FilesystemNode::Type::FOLDED)
            reachable.insert(nodePath(node));
        for (int64_t i = 0; i < node->children.count; ++i)
            stack.push_back(node->children[i]);
    }
    for (const std::string& path : unreadablePaths) {
        auto found = reachable.find(path);
        EXPECT_TRUE(found != reachable.end()) << "an unreadable entry was folded away: " << path;
        if (found != reachable.end())
            reachable.erase(found);
    }
    return kept;
}

// A tree whose total is dominated by one file, so that most of the rest is folded: placed first,
// the threshold is high from the start; placed last, it rises past folders folded before.
UniquePtr<FilesystemNode> withGiant(uint64_t seed, int count, bool giantFirst)
{
    UniquePtr<FilesystemNode> tree = random(seed, count);
    UniquePtr<FilesystemNode> giant(new FilesystemNode);
    giant->setName("giant");
    giant->parent = tree.get();
    giant->size = tree->size * 300;
    tree->size += giant->size;
    tree->appendChild(std::move(giant));
    if (giantFirst)
        std::rotate(tree->children.elements, tree->children.elements + tree->children.count - 1,
                    tree->children.elements + tree->children.count);
    return tree;
}

} // namespace

TEST(FoldedChart, RandomTreesDrawTheSameWithAnyBudget)
{
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const uint64_t budget = seed % 3 == 0 ? 0 : seed % 3 == 1 ? 500 : TreeFolding::never;
        expectSameChart(random(seed, 3000), budget);
        const size_t keptFirst = expectSameChart(withGiant(seed, 3000, true), budget);
        expectSameChart(withGiant(seed, 3000, false), budget);
        if (budget == 0) {
            EXPECT_LT(keptFirst, 1500u) << "a tree dominated by one file folds to half or less";
        }
    }
}

TEST(FoldedChart, UnreadableEntriesAndTheFoldersAboveThemStay)
{
    for (uint64_t seed = 20; seed < 26; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        UniquePtr<FilesystemNode> tree = withGiant(seed, 2000, seed % 2 == 0);
        std::set<const FilesystemNode*> unreadable;
        std::vector<const FilesystemNode*> stack { tree.get() };
        for (size_t visited = 0; !stack.empty(); ++visited) {
            const FilesystemNode* node = stack.back();
            stack.pop_back();
            if (node->parent && visited % 97 == 0)
                unreadable.insert(node);
            for (int64_t i = 0; i < node->children.count; ++i)
                stack.push_back(node->children[i]);
        }
        ASSERT_GT(unreadable.size(), 5u);
        expectSameChart(std::move(tree), 0, unreadable);
    }
}

// Sizes at the threshold exactly: the minimum is a strict bound, so an entry of exactly
// total >> 20 bytes is drawn and must not be folded; one byte less is folded.
TEST(FoldedChart, EntriesAtTheThresholdAreKept)
{
    const uint64_t edge = 1000;
    for (uint64_t small : { edge - 1, edge }) {
        SCOPED_TRACE("small entries of " + std::to_string(small) + " bytes");
        std::vector<Spec> files;
        uint64_t bytes = 0;
        for (int i = 0; i < 6; ++i) {
            files.push_back(file("f" + std::to_string(i), i % 2 ? small : 1));
            bytes += i % 2 ? small : 1;
        }
        // The big file first makes the threshold `edge` exactly when the folder completes.
        UniquePtr<FilesystemNode> tree = build(dir("/edge", { file("big", edge * (uint64_t(1) << 20) - bytes), dir("d", files) }));
        ASSERT_EQ(TreeFolding::threshold(tree->size), edge);
        const size_t kept = expectSameChart(std::move(tree), 0);
        // Nine nodes whole; folded, the six files of d are one summary.
        EXPECT_EQ(kept, small == edge ? 9u : 4u);
    }
}
