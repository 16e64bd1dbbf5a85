// Several paths whose directories overlap: each directory is counted once, whatever path or link
// names it, the outermost given directory counts what lies inside it, and the scan names what it
// left out. Also the walk leaving out files by identity (an export written into the scanned tree).
#include "../ScanTreeFixture.h"
#include "scan/ScanDirectory.h"

#include <algorithm>
#include <sys/stat.h>

using namespace scantest;

namespace {

// A/a 1000, A/sub/b 200, A/sub/deep/c 30, B/d 7; LA links to A, LS to A/sub.
class OverlappingPathsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.dir("A");
        tree.dir("A/sub");
        tree.dir("A/sub/deep");
        tree.dir("B");
        tree.file("A/a", 1000);
        tree.file("A/sub/b", 200);
        tree.file("A/sub/deep/c", 30);
        tree.file("B/d", 7);
        tree.symlink(tree.at("A"), "LA");
        tree.symlink("A/sub", "LS");
    }
    TempTree tree;
};

} // namespace

TEST_F(OverlappingPathsTest, EachDirectoryIsCountedOnceAndTheLeftOutAreNamed)
{
    struct Row {
        const char* name;
        std::vector<std::string> paths;      // relative to the tree
        std::vector<std::string> leftOut;    // "index>covering index, in|same"
        uint64_t total;
        const char* rootName;                // relative path of a single remaining root, else "N scans"
    };
    const Row rows[] = {
        { "the same path twice", { "A", "A" }, { "1>0 same" }, 1230, "A" },
        { "a subdirectory after its parent", { "A", "A/sub" }, { "1>0 in" }, 1230, "A" },
        { "a subdirectory before its parent", { "A/sub", "A" }, { "0>1 in" }, 1230, "A" },
        { "nested three deep: the outermost counts", { "A/sub/deep", "A/sub", "A" }, { "0>2 in", "1>2 in" }, 1230, "A" },
        { "a link to the same directory", { "A", "LA" }, { "1>0 same" }, 1230, "A" },
        { "a link into a given directory", { "LS", "A" }, { "0>1 in" }, 1230, "A" },
        { "a path through .. to the same directory", { "A", "A/sub/.." }, { "1>0 same" }, 1230, "A" },
        { "apart", { "A", "B" }, {}, 1237, "2 scans" },
        { "apart, with overlaps", { "A", "A/sub", "B", "LA" }, { "1>0 in", "3>0 same" }, 1237, "2 scans" },
        { "a missing path is not compared", { "A", "missing" }, {}, 1230, "2 scans" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> paths;
        for (const std::string& path : row.paths)
            paths.push_back(tree.at(path));
        ScanProblems problems;
        orvex::UniquePtr<FilesystemNode> root = scanPaths(paths, &problems);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->size, row.total);
        const std::string rootName(row.rootName);
        EXPECT_EQ(root->name.view(), rootName.find(" scans") != std::string::npos ? rootName : tree.at(rootName));
        std::vector<std::string> leftOut;
        for (const LeftOutPath& path : problems.leftOut) {
            EXPECT_EQ(path.path, paths[path.index]);
            const size_t covering = size_t(std::find(paths.begin(), paths.end(), path.coveringPath) - paths.begin());
            leftOut.push_back(std::to_string(path.index) + ">" + std::to_string(covering) + (path.inside ? " in" : " same"));
        }
        EXPECT_EQ(leftOut, row.leftOut);
    }
}

TEST_F(OverlappingPathsTest, TheMessageSaysWhyEachWasLeftOut)
{
    ScanProblems problems;
    scanPaths({ tree.at("A"), tree.at("A"), tree.at("LA"), tree.at("A/sub") }, &problems);
    EXPECT_EQ(describeLeftOut(problems.leftOut), tree.at("A") + " (given twice), " + tree.at("LA") +
                                                     " (the same directory as " + tree.at("A") + "), " + tree.at("A/sub") +
                                                     " (inside " + tree.at("A") + ")");
}

TEST_F(OverlappingPathsTest, FilesLeftOutByIdentityAreNotListed)
{
    struct stat status {};
    ASSERT_EQ(stat(tree.at("A/sub/b").c_str(), &status), 0);
    FileSizeMapper mapper;
    mapper.setLeftOutFiles({ { uint64_t(status.st_dev), uint64_t(status.st_ino) } });
    mapper.mapDirectory(tree.at("A"));
    ASSERT_TRUE(waitFor([&] { return stateOf(mapper) == FINISHED; }));
    orvex::UniquePtr<FilesystemNode> root = mapper.takeResult();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->size, 1030u) << "A/sub/b is left out, its neighbours are not";
}
