// ProblemsBelow on a small tree with unreadable entries at several depths, seen from each folder,
// and on a deep chain with one on every level, where each folder must count all those below it.
#include "scan/ProblemsBelow.h"

#include "tests/icicle/TreeBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

using testtree::dir;
using testtree::file;

namespace {

FilesystemNode* at(FilesystemNode* node, const std::string& path)
{
    for (size_t start = 0; node && start < path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        node = testtree::child(node, path.substr(start, end - start));
        start = end + 1;
    }
    return node;
}

TEST(ProblemsBelow, CountsWhatLiesBelowEachFolderAndNamesTheFirst)
{
    auto tree = testtree::build(dir("/r", { dir("A", { dir("a1", {}), dir("a2", { file("f1", 10), file("ok", 5) }) }),
                                            dir("B", { dir("b1", {}), file("b2", 7) }), dir("C", { file("c", 3) }) }));
    FilesystemNode* root = tree.get();
    ScanProblems whole;
    whole.unlistedNodes = { at(root, "B/b1"), at(root, "A/a2/f1"), at(root, "A/a1") }; // walk order
    whole.unlistedDirectories = 2;
    whole.unreadableFiles = 1;
    whole.firstUnlistedPath = "/r/B/b1";
    whole.firstError = EACCES;
    whole.saturated = true;
    const ProblemsBelow below(whole);

    struct Row {
        const char* folder;
        uint64_t folders, files;
        const char* first;
        int error;
        bool holds;
    } rows[] = {
        { "", 2, 1, "/r/B/b1", EACCES, true }, // the root: the whole scan's
        { "A", 1, 1, "/r/A/a2/f1", 0, true },  // first in walk order; its reason is not kept
        { "A/a2", 0, 1, "/r/A/a2/f1", 0, true },
        { "A/a1", 1, 0, "/r/A/a1", 0, true },  // a folder that could not be read counts itself
        { "A/a2/f1", 0, 1, "/r/A/a2/f1", 0, true },
        { "B", 1, 0, "/r/B/b1", EACCES, true }, // the scan's first keeps its reason
        { "C", 0, 0, "", 0, false },
        { "A/a2/ok", 0, 0, "", 0, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(*row.folder ? row.folder : "the root");
        const FilesystemNode* folder = at(root, row.folder);
        const ScanProblems seen = below.under(folder, whole);
        EXPECT_EQ(seen.unlistedDirectories, row.folders);
        EXPECT_EQ(seen.unreadableFiles, row.files);
        EXPECT_EQ(seen.firstUnlistedPath, row.first);
        EXPECT_EQ(seen.firstError, row.error);
        EXPECT_TRUE(seen.saturated) << "a saturated total is the whole tree's";
        EXPECT_EQ(below.holds(folder), row.holds);
    }
    // A scan that kept counts but no nodes can only speak of the whole.
    ScanProblems countsOnly = whole;
    countsOnly.unlistedNodes.clear();
    EXPECT_EQ(ProblemsBelow(countsOnly).under(at(root, "C"), countsOnly).unlistedDirectories, 2u);
}

TEST(ProblemsBelow, EveryLevelOfADeepChainCountsAllBelowIt)
{
    constexpr int DEPTH = 2000;
    testtree::Spec chain = dir("d" + std::to_string(DEPTH), { file("x", 1) });
    for (int depth = DEPTH - 1; depth >= 1; --depth) {
        std::vector<testtree::Spec> children;
        children.push_back(file("x", 1));
        children.push_back(std::move(chain));
        chain = dir("d" + std::to_string(depth), std::move(children));
    }
    auto tree = testtree::build(dir("/r", { chain }));
    ScanProblems whole;
    std::vector<FilesystemNode*> folders;
    for (FilesystemNode* node = testtree::child(tree.get(), "d1"); node;
         node = node->children.count > 1 ? node->children[1] : nullptr)
        folders.push_back(node);
    ASSERT_EQ(folders.size(), size_t(DEPTH));
    for (FilesystemNode* folder : folders) // in walk order: the top first
        whole.unlistedNodes.push_back(testtree::child(folder, "x"));
    whole.unreadableFiles = DEPTH;
    const ProblemsBelow below(whole);
    for (int level : { 0, 1, DEPTH / 2, DEPTH - 2, DEPTH - 1 }) {
        const ScanProblems seen = below.under(folders[size_t(level)], whole);
        EXPECT_EQ(seen.unreadableFiles, uint64_t(DEPTH - level)) << "level " << level;
        EXPECT_EQ(seen.firstUnlistedPath, nodePath(whole.unlistedNodes[size_t(level)])) << "level " << level;
    }
}

} // namespace
