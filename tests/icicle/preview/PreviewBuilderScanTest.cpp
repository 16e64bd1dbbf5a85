// PreviewBuilder fed by a real FileSizeMapper walking a generated tree on its worker, while this
// thread refreshes the preview as the GUI does once per frame. Run under ThreadSanitizer too: the
// record buffer, the chain and the counters cross threads.
#include "tests/icicle/preview/FakeWalk.h"
#include "tests/scan/ScanTreeFixture.h"

#include "icicle/LabelText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

using namespace previewtest;
using namespace scantest;

namespace {

// Passes every notification on to the builder. It slows the worker down now and then, so that the
// refreshes meet the walk half-way, and can hold the worker at one file until the scan is stopped.
class PacedListener final : public ScanListener {
public:
    explicit PacedListener(PreviewBuilder& builder) : builder(builder) {}

    void scanStarted(const char* name, size_t length) override { builder.scanStarted(name, length); }
    void directoryEntered(FilesystemNode* directory) override { builder.directoryEntered(directory); }
    void directoryLeft(FilesystemNode* directory) override { builder.directoryLeft(directory); }
    void fileAdded(FilesystemNode* file) override
    {
        builder.fileAdded(file);
        if (++files % 16 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        if (files == holdAtFile) {
            holding = true;
            EXPECT_TRUE(waitFor([&] { return stateOf(*holdScanner) != SCANNING; })) << "the held scan was never stopped";
        }
    }

    FileSizeMapper* holdScanner = nullptr;
    int64_t holdAtFile = -1;
    std::atomic<bool> holding { false };

private:
    PreviewBuilder& builder;
    int64_t files = 0;
};

class PreviewBuilderScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        tree = new TempTree;
        // Deep chains and a few hundred files: enough depth for the chain, enough records to
        // be copied over many frames.
        makeRandomTree(*tree, 7, 120, 1500);
    }
    static void TearDownTestSuite() { delete tree; }

    static TempTree* tree;
};

TempTree* PreviewBuilderScanTest::tree = nullptr;

// Calls `frame` every 100 microseconds until it returns true or 20 seconds have passed.
bool pollUntil(const std::function<bool()>& frame)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!frame()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

int recordsIn(const MeshRecording& mesh, int labelCount)
{
    return mesh.vertexCount - labelCount - PreviewBuilder::maxDepth;
}

// Every refresh during the walk sees only complete records that never change afterwards, and the
// preview at the end is exactly what a one-thread replay of the finished tree gives.
TEST_F(PreviewBuilderScanTest, LivePreviewMatchesAReplayOfTheFinishedTree)
{
    MeshRecording live;
    orvex::UniquePtr<PreviewBuilder> builder = recordingBuilder(live);
    PacedListener listener(*builder);
    FileSizeMapper mapper;
    mapper.setListener(&listener);
    mapper.mapDirectory(tree->path());
    const int labelCount = builder->meshHandle().rootLabelCount;
    const size_t first = size_t(labelCount + PreviewBuilder::maxDepth);

    std::vector<GeometryVertex> seen;
    double lastTotal = 0.0;
    int frames = 0;
    // Frames far more often than a display's, to meet the walk as often as possible.
    const bool finished = pollUntil([&] {
        const bool done = stateOf(mapper) == FINISHED; // before the refresh: this one copies the end
        builder->refresh();
        frames += 1;
        const int count = recordsIn(live, labelCount);
        EXPECT_GE(count, int(seen.size())) << "records never disappear";
        EXPECT_TRUE(seen.empty()
                    || std::memcmp(seen.data(), live.vertices.data() + first, seen.size() * sizeof(GeometryVertex)) == 0)
            << "copied records never change";
        for (int i = int(seen.size()); i < count; ++i) {
            const GeometryVertex& cell = live.vertices[first + size_t(i)];
            EXPECT_TRUE(cell.sizeCode != 0.0f && cell.x1 > cell.x0 && cell.row >= 1.0f && cell.row < 9.0f)
                << "record " << i << " is incomplete";
        }
        seen.assign(live.vertices.begin() + std::ptrdiff_t(first), live.vertices.begin() + std::ptrdiff_t(first) + count);
        const double total = builder->meshHandle().totalSize;
        EXPECT_GE(total, lastTotal) << "the running total only grows";
        lastTotal = total;
        return done;
    });
    ASSERT_TRUE(finished) << "the scan did not finish within 20 s";
    EXPECT_FALSE(builder->growing());
    orvex::UniquePtr<FilesystemNode> root = mapper.takeResult();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(builder->meshHandle().totalSize, double(root->size));
    EXPECT_GT(recordsIn(live, labelCount), 20) << "the tree should give a preview worth the name";

    MeshRecording replayed;
    orvex::UniquePtr<PreviewBuilder> reference = recordingBuilder(replayed);
    const std::string rootName(root->name.view());
    reference->scanStarted(rootName.data(), rootName.size());
    replayTree(*reference, root.get());
    reference->refresh();
    ASSERT_EQ(replayed.vertexCount, live.vertexCount);
    EXPECT_EQ(std::memcmp(replayed.vertices.data(), live.vertices.data(), size_t(live.vertexCount) * sizeof(GeometryVertex)), 0)
        << "the threaded preview differs from the replay after " << frames << " frames";
}

// A cancelled scan frees its partial tree without leaving the open directories; a refresh after
// that must not read those nodes, and still shows the chain it had.
TEST_F(PreviewBuilderScanTest, RefreshAfterCancelReadsNoFreedNode)
{
    MeshRecording mesh;
    orvex::UniquePtr<PreviewBuilder> builder = recordingBuilder(mesh);
    PacedListener listener(*builder);
    FileSizeMapper mapper;
    listener.holdScanner = &mapper;
    listener.holdAtFile = 200;
    mapper.setListener(&listener);
    mapper.mapDirectory(tree->path());
    ASSERT_TRUE(waitFor([&] { return listener.holding.load(); })) << "the walk never reached its 200th file";
    builder->refresh();
    std::vector<GeometryVertex> before(mesh.vertices.begin(), mesh.vertices.begin() + mesh.vertexCount);

    mapper.cancel(); // the partial tree is gone when this returns
    EXPECT_EQ(mapper.takeResult(), nullptr);
    builder->refresh();
    ASSERT_EQ(int(before.size()), mesh.vertexCount);
    EXPECT_EQ(std::memcmp(before.data(), mesh.vertices.data(), before.size() * sizeof(GeometryVertex)), 0)
        << "nothing was added after the hold, so the preview is unchanged";
    EXPECT_TRUE(builder->growing()) << "a cancelled scan is never complete";

    mapper.mapDirectory(tree->path()); // the next scan starts over
    EXPECT_EQ(mesh.vertexCount, builder->meshHandle().rootLabelCount + PreviewBuilder::maxDepth);
    ASSERT_TRUE(finishes(mapper));
}

} // namespace
