// Mesh building end to end through a recording uploader: the upload protocol, the root's split
// name in the base range, degenerate cells, and selectRanges on built meshes compared with a
// brute-force scan of every vertex.
#include "icicle/IcicleOptimization.h"
#include "icicle/LabelText.h"
#include "TreeBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

using namespace testtree;

namespace {

class RecordingUploader final : public IcicleOptimization::VertexUploader {
public:
    struct Upload {
        int64_t first;
        int64_t count;
        bool isBase;
    };
    void allocate(int64_t totalCount, int64_t baseCount) override
    {
        EXPECT_TRUE(uploads.empty()) << "allocate comes before any upload";
        allocations += 1;
        total = totalCount;
        base = baseCount;
        buffer.assign(size_t(totalCount), GeometryVertex {});
    }
    void upload(int64_t firstVertex, const GeometryVertex* vertices, int64_t count, bool isBase, int64_t totalCount) override
    {
        EXPECT_EQ(totalCount, total);
        ASSERT_LE(firstVertex + count, total);
        uploads.push_back({ firstVertex, count, isBase });
        std::memcpy(buffer.data() + firstVertex, vertices, size_t(count) * sizeof(GeometryVertex));
    }
    int allocations = 0;
    int64_t total = -1;
    int64_t base = -1;
    std::vector<Upload> uploads;
    std::vector<GeometryVertex> buffer;
};

struct Built {
    IcicleNodeLookup lookup;
    RecordingUploader uploader;
    IcicleOptimization::Result result;
};

void buildMesh(Built& built, orvex::UniquePtr<FilesystemNode> root, uint64_t minimumSize)
{
    built.result = IcicleOptimization::build(built.lookup, std::move(root), minimumSize, built.uploader);
}

uint64_t appMinimum(const FilesystemNode& root) { return std::max<uint64_t>(root.size >> 20, 1); }

} // namespace

TEST(IcicleMesh, UploadsTheBaseThenEachNonEmptyLevelInOrder)
{
    Built built;
    auto tree = random(11, 2000);
    uint64_t minimumSize = appMinimum(*tree);
    buildMesh(built, std::move(tree), minimumSize);
    const IcicleLevelIndex& index = *built.result.levelIndex;
    EXPECT_EQ(built.uploader.allocations, 1);
    EXPECT_EQ(built.uploader.total, index.boundaries[8]);
    EXPECT_EQ(built.uploader.base, index.boundaries[0]);
    ASSERT_FALSE(built.uploader.uploads.empty());
    EXPECT_TRUE(built.uploader.uploads[0].isBase);
    EXPECT_EQ(built.uploader.uploads[0].first, 0);
    int64_t covered = built.uploader.uploads[0].count;
    for (size_t i = 1; i < built.uploader.uploads.size(); ++i) {
        const auto& upload = built.uploader.uploads[i];
        EXPECT_FALSE(upload.isBase);
        EXPECT_GT(upload.count, 0) << "empty levels are not uploaded";
        EXPECT_EQ(upload.first, covered) << "levels follow each other in order";
        covered += upload.count;
    }
    EXPECT_EQ(covered, built.uploader.total);
    ASSERT_EQ(index.keys.size(), size_t(built.uploader.total));
    for (size_t v = 0; v < index.keys.size(); ++v)
        ASSERT_EQ(IcicleLevelIndex::keyX(index.keys[v]), built.uploader.buffer[v].x0) << "key of vertex " << v;
    for (int k = 0; k < IcicleLevelIndex::levelCount; ++k)
        for (int64_t v = index.boundaries[k]; v < index.boundaries[k + 1]; ++v) {
            const GeometryVertex& vertex = built.uploader.buffer[size_t(v)];
            ASSERT_EQ(IcicleLevelIndex::detailLevel(vertex.x0, vertex.x1, float(1.0 / built.result.totalSize)), k);
        }
}

TEST(IcicleMesh, NullRootUploadsNothingAndEmptiesTheLookup)
{
    Built built;
    buildMesh(built, build(dir("/old", { file("f", 10) })), 1);
    Built again;
    again.lookup.assign(build(dir("/previous", { file("g", 3) })), {});
    again.result = IcicleOptimization::build(again.lookup, nullptr, 1, again.uploader);
    EXPECT_EQ(again.uploader.allocations, 0);
    EXPECT_EQ(again.result.levelIndex.get(), nullptr);
    EXPECT_EQ(again.lookup.root(), nullptr);
}

TEST(IcicleMesh, RootOfSizeZeroCountsAsOneByte)
{
    Built built;
    buildMesh(built, build(dir("/empty", { file("z", 0) })), 1);
    EXPECT_EQ(built.result.totalSize, 1.0);
    ASSERT_EQ(built.uploader.total, 1) << "the root alone";
    EXPECT_EQ(built.uploader.buffer[0].x1, 1.0f);
}

TEST(IcicleMesh, LongRootNameIsSplitButLongChildNamesAreTruncated)
{
    std::string longName(30, 'n');
    Built built;
    buildMesh(built, build(dir("/" + std::string(29, 'r'), { file(longName, 100) })), 1);
    ASSERT_EQ(built.uploader.base, 2) << "a 30-byte root name takes two vertices";
    const GeometryVertex& second = built.uploader.buffer[1];
    EXPECT_EQ(second.sizeCode, 0.0f);
    EXPECT_EQ(second.x0, built.uploader.buffer[0].x0);
    EXPECT_LT(second.name[7], 16384.0f) << "the pen offset";
    EXPECT_EQ(built.uploader.total, 3) << "the child's 30-byte name stays on one vertex";
    EXPECT_EQ(built.uploader.buffer[2].row, 1.0f + fileRowOffset);
}

TEST(IcicleMesh, CellWhoseEdgesCollapseGoesToTheFinestLevelWithoutLink)
{
    Built built;
    buildMesh(built, build(dir("/r", { file("huge", uint64_t(1) << 40), file("one byte", 1) })), 1);
    const IcicleLevelIndex& index = *built.result.levelIndex;
    ASSERT_EQ(index.boundaries[8] - index.boundaries[7], 1);
    uint64_t key = index.keys[size_t(index.boundaries[7])];
    EXPECT_EQ(IcicleLevelIndex::keyLink(key), 0);
    EXPECT_EQ(IcicleLevelIndex::keyX(key), float(uint64_t(1) << 40));
    EXPECT_EQ(built.lookup.nodeAt(double(uint64_t(1) << 40), 1.5), nullptr) << "no lookup entry for a collapsed cell";
}

// Which levels a cull width admits: level i while cullWidth * 1024 * 4^i < 1, up to 7.
static int admittedLevels(double cullWidth)
{
    if (cullWidth == 0)
        return 7;
    int level = 0;
    double w = cullWidth * 1024;
    while (level < 7 && w < 1) {
        level += 1;
        w *= 4;
    }
    return level;
}

TEST(IcicleMesh, SelectedRangesCoverEveryVisibleCellOfTheAdmittedLevels)
{
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        Built built;
        auto tree = random(seed * 101, 4000);
        uint64_t minimumSize = seed == 4 ? 1 : appMinimum(*tree);
        buildMesh(built, std::move(tree), minimumSize);
        const IcicleLevelIndex& index = *built.result.levelIndex;
        const auto& vertices = built.uploader.buffer;
        double total = built.result.totalSize;
        for (int view = 0; view < 400; ++view) {
            double width = total * std::pow(10.0, -7.0 * unit(rng));
            double start = (total - width) * unit(rng) - (view % 10 == 0 ? width / 2 : 0);
            float visibleX0 = float(start), visibleX1 = float(start + width);
            double cullWidth = view % 7 == 0 ? 0.0 : 2.0 * (width / 1000.0) / total;
            bool includeBase = view % 2;
            RangeList ranges = selectRanges(index, visibleX0, visibleX1, cullWidth, includeBase);
            std::vector<char> covered(vertices.size(), 0);
            for (size_t r = 0; r < ranges.size(); ++r) {
                ASSERT_LE(0, ranges[r].first);
                ASSERT_LE(ranges[r].first, ranges[r].last);
                ASSERT_LE(ranges[r].last, int64_t(vertices.size()));
                for (int64_t v = ranges[r].first; v < ranges[r].last; ++v)
                    covered[size_t(v)] = 1;
            }
            int admitted = admittedLevels(cullWidth);
            for (int64_t v = 0; v < int64_t(vertices.size()); ++v) {
                int level = -1; // base
                while (level < 7 && v >= index.boundaries[level + 1])
                    level += 1;
                bool allowed = level == -1 ? includeBase : level <= admitted;
                if (!allowed) {
                    ASSERT_FALSE(covered[size_t(v)]) << "vertex " << v << " of level " << level << " was not admitted";
                    continue;
                }
                const GeometryVertex& cell = vertices[size_t(v)];
                bool visible = cell.x0 <= visibleX1 && cell.x1 > visibleX0 && cell.x0 < cell.x1;
                if (visible && level >= 0) {
                    ASSERT_TRUE(covered[size_t(v)]) << "seed " << seed << " view " << view << ": visible vertex " << v << " of level "
                                                    << level << " [" << cell.x0 << ", " << cell.x1 << ") missing from ["
                                                    << visibleX0 << ", " << visibleX1 << "]";
                }
            }
        }
    }
}

// Roots of several scans are named by their paths; two with a long common start are labelled
// by the ends of their paths, so they can be told apart.
TEST(IcicleMesh, ScanRootsAmongSeveralShowTheEndOfTheirPaths)
{
    const std::string common = "/home/someone/trees/projects-";
    auto tree = build(dir("2 scans", { dir(common + "alpha", { file("a", 600) }), dir(common + "beta", { file("b", 400) }) }));
    tree->scanSummary = true;
    Built built;
    buildMesh(built, std::move(tree), 1);
    std::vector<std::string> labels;
    for (const GeometryVertex& vertex : built.uploader.buffer) {
        if (vertex.row != 1.0f)
            continue;
        std::string codes;
        for (int j = 0; j < 8; ++j) {
            const uint32_t packed = uint32_t(vertex.name[j]);
            for (uint32_t c : { packed >> 16 & 255, packed >> 8 & 255, packed & 255 })
                if (c != 0)
                    codes += c == LabelText::ellipsisCode ? '~' : char(c);
        }
        labels.push_back(codes);
    }
    ASSERT_EQ(labels.size(), 2u);
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels[0], "~/trees/projects-alpha");
    EXPECT_EQ(labels[1], "~/trees/projects-beta");
}
