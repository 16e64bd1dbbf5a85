// FileSizeMapper's states: requests, cancels and hand-overs in every state, scans stopped
// mid-walk freeing their partial trees, and the progress the GUI polls.
#include "ScanTreeFixture.h"
#include "scan/NodePool.h"
#include "scan/ScanSink.h"
#include "scan/TreeCounts.h"

#include <memory>

using orvex::UniquePtr;
using namespace scantest;

namespace {

class FileSizeMapperTest : public ::testing::Test {
protected:
    // One tree of a few thousand files, big enough to stop a scan in the middle of.
    static void SetUpTestSuite()
    {
        tree = new TempTree;
        treeTotal = makeRandomTree(*tree, 1, 300, 3000);
    }
    static void TearDownTestSuite() { delete tree; }

    void SetUp() override
    {
        NodePool::retireThreadChunk();
        poolBefore = NodePool::mappedBytes();
    }
    // The worker retires its chunk just after it publishes the end of a scan, hence the poll.
    void expectPoolEmptyAgain()
    {
        EXPECT_TRUE(waitFor([&] { return NodePool::mappedBytes() == poolBefore; }, 5))
            << "tree memory still mapped: " << NodePool::mappedBytes() << " bytes, " << poolBefore << " before";
    }
    void holdWalk(FileSizeMapper& mapper, WalkChecker& checker)
    {
        checker.holdScanner = &mapper;
        checker.holdAtFile = 100;
        mapper.setListener(&checker);
        mapper.mapDirectory(tree->path());
        ASSERT_TRUE(waitFor([&] { return checker.holding.load(); })) << "the walk never reached its 100th file";
    }

    static TempTree* tree;
    static uint64_t treeTotal;
    size_t poolBefore = 0;
};

TempTree* FileSizeMapperTest::tree = nullptr;
uint64_t FileSizeMapperTest::treeTotal = 0;

TEST_F(FileSizeMapperTest, FinishedResultIsHandedOutOnce)
{
    FileSizeMapper mapper;
    EXPECT_EQ(mapper.takeResult(), nullptr);
    mapper.cancel();
    EXPECT_EQ(stateOf(mapper), IDLE);

    mapper.mapDirectory(tree->path());
    ASSERT_TRUE(finishes(mapper)) << "the scan did not finish within 20 s";
    mapper.cancel(); // nothing to stop; the result must survive
    std::string path = "stale";
    uint64_t bytes = 0, rootLength = 99;
    EXPECT_EQ(mapper.getProgress(path, bytes, rootLength), FINISHED);
    EXPECT_EQ(bytes, treeTotal);
    EXPECT_EQ(path, "");
    EXPECT_EQ(rootLength, 0u);

    UniquePtr<FilesystemNode> result = mapper.takeResult();
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->size, treeTotal);
    EXPECT_EQ(stateOf(mapper, &bytes), IDLE);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(mapper.takeResult(), nullptr);
}

TEST_F(FileSizeMapperTest, CancelRightAfterMapDirectoryLeavesIdle)
{
    FileSizeMapper mapper;
    // Most rounds stop the request before the worker has woken to it.
    for (int round = 0; round < 20; ++round) {
        mapper.mapDirectory(tree->path());
        mapper.cancel();
        uint64_t bytes = 1;
        ASSERT_EQ(stateOf(mapper, &bytes), IDLE) << "round " << round;
        EXPECT_EQ(bytes, 0u);
        EXPECT_EQ(mapper.takeResult(), nullptr);
    }
    mapper.mapDirectory(tree->path());
    UniquePtr<FilesystemNode> result = finish(mapper);
    ASSERT_NE(result, nullptr) << "a scan after the cancels gave no tree";
    EXPECT_EQ(result->size, treeTotal);
    result = nullptr;
    expectPoolEmptyAgain();
}

TEST_F(FileSizeMapperTest, CancelDuringWalkDiscardsPartialTree)
{
    FileSizeMapper mapper;
    WalkChecker checker;
    holdWalk(mapper, checker);
    uint64_t bytes = 0;
    EXPECT_EQ(mapper.takeResult(), nullptr);
    EXPECT_EQ(stateOf(mapper, &bytes), SCANNING) << "takeResult must not disturb a running scan";
    EXPECT_GT(bytes, 0u);

    mapper.cancel();
    EXPECT_EQ(stateOf(mapper, &bytes), IDLE);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(mapper.takeResult(), nullptr);
    EXPECT_EQ(checker.files, 100);
    EXPECT_FALSE(checker.openDirectories.empty());
    EXPECT_EQ(checker.left, checker.entered - int64_t(checker.openDirectories.size()))
        << "only the directories still open at the cancel go without directoryLeft";
    expectPoolEmptyAgain();
}

TEST_F(FileSizeMapperTest, MapDirectoryDuringWalkReplacesTheScan)
{
    TempTree small;
    small.file("one", 1234);
    small.dir("sub");
    small.file("sub/two", 66);
    FileSizeMapper mapper;
    WalkChecker checker;
    holdWalk(mapper, checker);

    mapper.mapDirectory(small.path());
    UniquePtr<FilesystemNode> result = finish(mapper);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->name.view(), small.path());
    EXPECT_EQ(result->size, 1300u);
    EXPECT_EQ(checker.rootNames, (std::vector<std::string> { tree->path(), small.path() }));
    result = nullptr;
    expectPoolEmptyAgain();
}

TEST_F(FileSizeMapperTest, MapDirectoryDiscardsUnclaimedResult)
{
    FileSizeMapper mapper;
    mapper.mapDirectory(tree->path());
    ASSERT_TRUE(finishes(mapper)) << "the first scan did not finish";
    TempTree empty;
    mapper.mapDirectory(empty.path());
    UniquePtr<FilesystemNode> result = finish(mapper);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->name.view(), empty.path());
    result = nullptr;
    expectPoolEmptyAgain();
}

TEST_F(FileSizeMapperTest, DestroyingScannerDuringWalkFreesEverything)
{
    WalkChecker checker;
    auto mapper = std::make_unique<FileSizeMapper>();
    holdWalk(*mapper, checker);
    mapper = nullptr;
    EXPECT_EQ(NodePool::mappedBytes(), poolBefore) << "the worker is joined, so its partial tree must be gone";
    EXPECT_LT(checker.left, checker.entered);
}

// Whatever the root is, the scan finishes with no bytes in flight and no path; only a directory
// root is reported to the listener, and only something that is no file or directory gives no tree.
TEST_F(FileSizeMapperTest, EveryKindOfRootFinishes)
{
    TempTree scratch;
    scratch.file("only.bin", 123457);
    scratch.dir("empty");
#ifdef _WIN32
    const std::string other = "NUL"; // a device
#else
    ASSERT_EQ(mkfifo(scratch.at("fifo").c_str(), 0644), 0);
    const std::string other = scratch.at("fifo");
#endif
    const struct {
        const char* name;
        std::string path;
        bool tree;
        FilesystemNode::Type type;
        uint64_t size;
        int64_t notifications; // entered + added + left
    } rows[] = {
        { "EmptyPath", "", false, {}, 0, 0 },
        { "Missing", scratch.at("missing"), false, {}, 0, 0 },
        { "NeitherFileNorDirectory", other, false, {}, 0, 0 },
        { "SingleFile", scratch.at("only.bin"), true, FilesystemNode::Type::FILE, 123457, 0 },
        { "EmptyDirectory", scratch.at("empty"), true, FilesystemNode::Type::DIRECTORY, 0, 2 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WalkChecker checker;
        FileSizeMapper mapper;
        mapper.setListener(&checker);
        mapper.mapDirectory(row.path);
        std::string path = "stale";
        uint64_t bytes = 1, rootLength = 1;
        ASSERT_TRUE(waitFor([&] { return mapper.getProgress(path, bytes, rootLength) == FINISHED; })) << "no finish in 20 s";
        EXPECT_EQ(bytes, row.size);
        EXPECT_EQ(path, "");
        EXPECT_EQ(rootLength, 0u);
        UniquePtr<FilesystemNode> root = mapper.takeResult();
        EXPECT_EQ(stateOf(mapper), IDLE);
        EXPECT_EQ(checker.rootNames, std::vector<std::string> { row.path });
        EXPECT_EQ(checker.entered + checker.files + checker.left, row.notifications);
        ASSERT_EQ(root != nullptr, row.tree);
        if (root) {
            EXPECT_EQ(root->type, row.type);
            EXPECT_EQ(root->name.view(), row.path);
            EXPECT_EQ(root->size, row.size);
            EXPECT_EQ(root->children.count, 0);
        }
    }
}

// Takes a streamed scan's entries and drops them.
class DroppingSink final : public ScanSink {
public:
    bool directoryEntered(std::string_view, bool) override { return true; }
    bool fileFound(std::string_view, uint64_t, bool) override { return true; }
    bool directoryLeft(uint64_t) override { return true; }
};

// A streamed scan frees each directory as it leaves it, while the progress may be naming it.
TEST_F(FileSizeMapperTest, ProgressDuringWalkStaysUnderTheRoot)
{
    TempTree large;
    uint64_t total = makeRandomTree(large, 2, 200, 20000);
    // A large (sparse) file makes most of the rest too small to draw, for the folding walk.
    const uint64_t giant = uint64_t(1) << 36;
    large.file("giant", giant);
    total += giant;
    std::string root = large.path() + "/"; // the walk must not double the slash
    enum Mode { TREE, STREAMED, FOLDED };
    for (const Mode mode : { TREE, STREAMED, FOLDED }) {
        SCOPED_TRACE(mode == STREAMED ? "streamed into a sink" : mode == FOLDED ? "folding from the start" : "building the tree");
        const bool streamed = mode == STREAMED;
        DroppingSink sink;
        FileSizeMapper mapper;
        if (streamed)
            mapper.setSink(&sink);
        if (mode == FOLDED)
            mapper.setNodeBudget(0); // folds free nodes while the progress is read
        mapper.mapDirectory(root);
        std::string path;
        uint64_t bytes = 0, rootLength = 0, lastBytes = 0, pathsSeen = 0;
        ScanState state;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (true) {
            // Both forms of the progress, in turn; the short one marks left-out levels with a separator.
            bool leftOut = false;
            state = pathsSeen % 2 ? mapper.getProgress(path, bytes, rootLength, 3, leftOut)
                                  : mapper.getProgress(path, bytes, rootLength);
            if (state != SCANNING)
                break;
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the scan did not finish within 20 s";
            ASSERT_GE(bytes, lastBytes) << "the byte count went down during one scan";
            lastBytes = bytes;
            if (path.empty()) {
                EXPECT_EQ(rootLength, 0u);
                continue;
            }
            pathsSeen += 1;
            ASSERT_EQ(rootLength, root.size());
            ASSERT_EQ(path.compare(0, root.size(), root), 0) << path;
            if (!leftOut) {
                ASSERT_EQ(path.find("//"), std::string::npos) << path;
            }
        }
        EXPECT_EQ(state, FINISHED);
        EXPECT_EQ(bytes, total);
        EXPECT_GT(pathsSeen, 0u) << "the walk ended before any progress was seen";
        UniquePtr<FilesystemNode> result = mapper.takeResult();
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->size, total);
        EXPECT_EQ(result->children.count > 0, !streamed);
        if (!streamed) {
            EXPECT_EQ(TreeCounts(result.get()).below(result.get()), (TreeCounts::Counts { 20001, 200 }));
            EXPECT_EQ(result->holdsFolded, mode == FOLDED);
        }
    }
}

} // namespace
