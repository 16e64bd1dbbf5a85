// TreeCounts: every folder's counts against a naive recursive count of random trees, the lookups
// that must answer zero, and a folder chain deeper than any recursion could follow.
#include "scan/TreeCounts.h"
#include "tests/icicle/TreeBuilder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Counts below `node` the naive recursive way, checking every folder on the way against `counts`
// (and that files count nothing); adds the folders seen to `folders`.
TreeCounts::Counts checkBelow(const FilesystemNode* node, const TreeCounts& counts, uint64_t& folders)
{
    TreeCounts::Counts naive;
    for (int64_t i = 0; i < node->children.count; ++i) {
        const FilesystemNode* child = node->children[i];
        if (child->type == FilesystemNode::Type::FILE) {
            naive.files += 1;
            EXPECT_EQ(counts.below(child), TreeCounts::Counts {}) << nodePath(child);
            continue;
        }
        const TreeCounts::Counts below = checkBelow(child, counts, folders);
        naive.files += below.files;
        naive.folders += below.folders + 1;
    }
    folders += 1;
    EXPECT_EQ(counts.below(node), naive) << nodePath(node);
    return naive;
}

// A null node and a node of another tree count nothing either.
TEST(TreeCountsTest, EveryFolderMatchesARecursiveCountAndNothingElseCounts)
{
    const auto other = testtree::build(testtree::dir("/o", { testtree::dir("x", {}) }));
    for (uint64_t seed : { 1u, 7u, 42u }) {
        const auto tree = testtree::random(seed, 5000);
        const TreeCounts counts(tree.get());
        uint64_t folders = 0;
        checkBelow(tree.get(), counts, folders);
        EXPECT_GT(folders, 100u) << "seed " << seed;
        EXPECT_EQ(counts.folderCount(), folders) << "seed " << seed;
        EXPECT_EQ(counts.below(nullptr), TreeCounts::Counts {});
        EXPECT_EQ(counts.below(other.get()), TreeCounts::Counts {});
    }
}

// A chain of 20,000 folders with a file at the bottom: a recursive count would exhaust the stack.
TEST(TreeCountsTest, DeepChainIsCountedWithoutRecursion)
{
    constexpr int DEPTH = 20000;
    orvex::UniquePtr<FilesystemNode> root(new FilesystemNode);
    root->type = FilesystemNode::Type::DIRECTORY;
    root->setName("/deep");
    FilesystemNode* bottom = root.get();
    std::vector<const FilesystemNode*> chain { bottom };
    for (int i = 0; i < DEPTH; ++i) {
        orvex::UniquePtr<FilesystemNode> next(new FilesystemNode);
        next->type = FilesystemNode::Type::DIRECTORY;
        next->parent = bottom;
        FilesystemNode* raw = next.get();
        bottom->appendChild(std::move(next));
        bottom = raw;
        chain.push_back(bottom);
    }
    orvex::UniquePtr<FilesystemNode> leaf(new FilesystemNode);
    leaf->parent = bottom;
    bottom->appendChild(std::move(leaf));

    const TreeCounts counts(root.get());
    EXPECT_EQ(counts.folderCount(), uint64_t(DEPTH + 1));
    for (size_t level : { size_t(0), size_t(1), size_t(DEPTH / 2), size_t(DEPTH) })
        EXPECT_EQ(counts.below(chain[level]), (TreeCounts::Counts { 1, uint64_t(DEPTH) - level })) << "level " << level;
}

} // namespace
