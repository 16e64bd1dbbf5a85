// PreviewBuilder without GL or threads: which files and directories become cells (relative to the
// running total, by depth, up to the record cap), where their cells lie, the chain of open
// directories, the root label and its running total, and what a refresh writes.
#include "tests/icicle/preview/FakeWalk.h"

#include "icicle/LabelText.h"
#include "icicle/preview/IcicleVisualizationPreview.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

using namespace previewtest;

namespace {

constexpr uint64_t KB = 1024, MB = 1024 * 1024;

class PreviewBuilderTest : public ::testing::Test {
protected:
    MeshRecording mesh;
    orvex::UniquePtr<PreviewBuilder> builder = recordingBuilder(mesh);

    int labelCount() const { return builder->meshHandle().rootLabelCount; }
    int recordCount() const { return mesh.vertexCount - labelCount() - PreviewBuilder::maxDepth; }
    const GeometryVertex& recordAt(int i) const { return mesh.vertices[size_t(labelCount() + PreviewBuilder::maxDepth + i)]; }
    const GeometryVertex& chainAt(int depth) const { return mesh.vertices[size_t(labelCount() + depth - 1)]; }
    const GeometryVertex& rootVertex() const { return mesh.vertices[size_t(labelCount() - 1)]; }
};

bool sameName(const GeometryVertex& vertex, const char* name)
{
    float packed[8];
    LabelText::packName(name, packed);
    return std::memcmp(packed, vertex.name, sizeof packed) == 0;
}

bool isZero(const GeometryVertex& vertex)
{
    static const GeometryVertex zero {};
    return std::memcmp(&vertex, &zero, sizeof zero) == 0;
}

struct ThresholdRow {
    const char* name;
    uint64_t before; // bytes found before the file, in one earlier file
    uint64_t size;
    bool shown;
};

// A file is a cell when it is more than 1/2048 of the running total including itself.
TEST_F(PreviewBuilderTest, FileNeedsMoreThanOne2048thOfTheRunningTotal)
{
    const ThresholdRow rows[] = {
        { "first file of any size", 0, 1, true },
        { "empty first file", 0, 0, false },
        { "1 KB after 10 MB", 10 * MB, 1 * KB, false },
        { "10 KB after 10 MB", 10 * MB, 10 * KB, true },
        { "exactly 1/2048 of the total", 2047 * KB, 1 * KB, false },
        { "one byte more", 2047 * KB, 1 * KB + 1, true },
    };
    for (const ThresholdRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeWalk walk(*builder);
        if (row.before)
            walk.file("earlier", row.before);
        walk.file("probe", row.size);
        builder->refresh();
        const int earlier = row.before ? 1 : 0;
        ASSERT_EQ(recordCount(), earlier + (row.shown ? 1 : 0));
        if (!row.shown)
            continue;
        const GeometryVertex& cell = recordAt(earlier);
        EXPECT_TRUE(sameName(cell, "probe"));
        EXPECT_EQ(cell.x0, float(row.before));
        EXPECT_EQ(cell.x1, float(row.before + row.size));
        EXPECT_EQ(cell.row, 1.0f + fileRowOffset);
        EXPECT_EQ(cell.hue, 0.0f);
        EXPECT_EQ(cell.sizeCode, LabelText::packSize(row.size).code);
    }
}

// A finished directory is tested against a total that already holds it, so it needs a little more
// than a file of the same size; its cell starts where the walk was when it was entered.
TEST_F(PreviewBuilderTest, DirectoryIsACellWhenLeftAtItsStartOffset)
{
    {
        FakeWalk walk(*builder);
        walk.file("earlier", 2 * MB);
        walk.enter("d");
        walk.file("f", 1025); // 1025 > (2 MB + 1025) >> 11 = 1024
        walk.leave();         // 1025 > (2 MB + 2050) >> 11 = 1025 fails
        builder->refresh();
        ASSERT_EQ(recordCount(), 2) << "the file is a cell, its directory of the same size is not";
        EXPECT_TRUE(sameName(recordAt(1), "f"));
        EXPECT_EQ(recordAt(1).row, 2.0f + fileRowOffset);
    }
    FakeWalk walk(*builder);
    walk.file("earlier", 2 * MB);
    walk.enter("d");
    walk.file("f", 4 * KB);
    walk.file("g", 4 * KB);
    walk.leave();
    builder->refresh();
    ASSERT_EQ(recordCount(), 4);
    const GeometryVertex& directory = recordAt(3);
    EXPECT_TRUE(sameName(directory, "d"));
    EXPECT_EQ(directory.row, 1.0f);
    EXPECT_EQ(directory.x0, float(2 * MB));
    EXPECT_EQ(directory.x1, float(2 * MB + 8 * KB));
    EXPECT_EQ(directory.sizeCode, LabelText::packSize(8 * KB).code);
}

// Depth 8 is the last row with cells: a file in a depth-8 directory, and a depth-9 directory, get
// none, but their bytes count for every open ancestor and the running total.
TEST_F(PreviewBuilderTest, NothingBelowDepthEightButItsBytesCount)
{
    FakeWalk walk(*builder, "/deep");
    for (int depth = 1; depth <= 9; ++depth) {
        walk.enter("d" + std::to_string(depth));
        walk.file("f" + std::to_string(depth), 1 * MB);
    }
    builder->refresh();
    EXPECT_EQ(builder->meshHandle().totalSize, double(9 * MB));
    for (int depth = 1; depth <= 8; ++depth) {
        SCOPED_TRACE("chain depth " + std::to_string(depth));
        const GeometryVertex& open = chainAt(depth);
        EXPECT_TRUE(sameName(open, ("d" + std::to_string(depth)).c_str()));
        EXPECT_EQ(open.row, float(depth));
        EXPECT_EQ(open.x0, float((depth - 1) * MB));
        EXPECT_EQ(open.x1, float(9 * MB)) << "an open directory holds everything found below it so far";
    }
    ASSERT_EQ(recordCount(), 7) << "files f1..f7 sit in rows 2..8; f8 and f9 would need rows 9 and 10";
    EXPECT_EQ(recordAt(6).row, 8.0f + fileRowOffset);

    walk.finish();
    builder->refresh();
    ASSERT_EQ(recordCount(), 7 + 8) << "d9 gets no cell, d8..d1 do";
    for (int depth = 8, i = 7; depth >= 1; --depth, ++i) {
        EXPECT_TRUE(sameName(recordAt(i), ("d" + std::to_string(depth)).c_str()));
        EXPECT_EQ(recordAt(i).row, float(depth));
    }
    for (int depth = 1; depth <= 8; ++depth)
        EXPECT_TRUE(isZero(chainAt(depth))) << "depth " << depth << " is closed";
}

// After 16,384 records the preview stops growing; the totals do not.
TEST_F(PreviewBuilderTest, RecordsStopAtTheCapWhileTheTotalGoesOn)
{
    FakeWalk walk(*builder);
    uint64_t total = 0;
    const int files = PreviewBuilder::recordCapacity + 50;
    for (int i = 0; i < files; ++i) {
        const uint64_t size = total / 2047 + 1; // always just above the threshold
        walk.file("f", size);
        total += size;
    }
    walk.enter("late");
    walk.file("g", total);
    walk.leave();
    total *= 2;
    builder->refresh();
    EXPECT_EQ(recordCount(), PreviewBuilder::recordCapacity);
    EXPECT_EQ(mesh.vertexCount, labelCount() + PreviewBuilder::maxDepth + PreviewBuilder::recordCapacity);
    EXPECT_LE(mesh.vertexCount, PreviewBuilder::meshCapacity);
    EXPECT_EQ(builder->meshHandle().totalSize, double(total));
    EXPECT_EQ(rootVertex().sizeCode, LabelText::packSize(total).code) << "the root label keeps counting";
}

// A file whose size could not be read counts as 2^64 - 1 bytes; the sums saturate as the scanner's
// do instead of wrapping round to a small total that would let every later file through.
TEST_F(PreviewBuilderTest, UnknownSizeSaturatesTheTotal)
{
    FakeWalk walk(*builder);
    walk.file("unknown", saturatedSize);
    walk.file("small", 10 * KB);
    walk.enter("d");
    walk.file("also small", 10 * KB);
    builder->refresh();
    EXPECT_EQ(recordCount(), 1);
    EXPECT_EQ(builder->meshHandle().totalSize, double(saturatedSize));
    EXPECT_EQ(chainAt(1).x0, float(saturatedSize));
}

struct RootLabelRow {
    const char* name;
    std::string rootName;
    int labelVertices;
};

// The root label: the chart's split label, reaching right without end, at most 16 vertices; the
// last one carries the running total once a refresh has run.
TEST_F(PreviewBuilderTest, RootLabelCarriesTheRunningTotal)
{
    const RootLabelRow rows[] = {
        { "short name", "/home", 1 },
        { "30 bytes: split in two", std::string(30, 'x'), 2 },
        { "needs 17 vertices: the first 15 and the last", std::string(24 + 16 * 21, 'y'), 16 },
        { "empty name", "", 1 },
    };
    for (const RootLabelRow& row : rows) {
        SCOPED_TRACE(row.name);
        builder->scanStarted(row.rootName.data(), row.rootName.size());
        ASSERT_EQ(labelCount(), row.labelVertices);
        EXPECT_EQ(mesh.vertexCount, row.labelVertices + PreviewBuilder::maxDepth);
        for (int i = 0; i < labelCount() && !row.rootName.empty(); ++i) {
            EXPECT_EQ(mesh.vertices[size_t(i)].x1, std::numeric_limits<float>::max());
            EXPECT_EQ(mesh.vertices[size_t(i)].sizeCode, 0.0f);
        }

        builder->refresh();
        const LabelText::PackedSize zero = LabelText::packSize(0);
        EXPECT_EQ(rootVertex().sizeCode, zero.code) << "an empty scan shows 0B";
        EXPECT_EQ(builder->meshHandle().totalSize, 0.0) << "nothing to draw yet";
        EXPECT_EQ(recordCount(), 0);
        if (row.labelVertices == 16) {
            std::vector<GeometryVertex> all;
            LabelText::labelVertices({}, row.rootName, 0, true, all);
            ASSERT_EQ(all.size(), 17u);
            EXPECT_EQ(rootVertex().name[7], all.back().name[7]) << "the last part's pen offset";
        }
        if (!row.rootName.empty()) {
            EXPECT_LE(rootVertex().inverseLabelWidth, float(1.0 / (zero.width + 0.5)));
        }
    }
}

// Each refresh writes the root and chain run of 9 plus only the records not yet copied; a new
// scan starts over with an empty preview.
TEST_F(PreviewBuilderTest, RefreshCopiesOnlyNewRecordsAndANewScanStartsOver)
{
    FakeWalk walk(*builder);
    walk.file("a", 100);
    walk.file("b", 200);
    builder->refresh();
    ASSERT_EQ(recordCount(), 2);
    int before = mesh.verticesWritten;
    builder->refresh();
    EXPECT_EQ(mesh.verticesWritten - before, 9);
    walk.file("c", 400);
    before = mesh.verticesWritten;
    builder->refresh();
    EXPECT_EQ(mesh.verticesWritten - before, 9 + 1);
    EXPECT_TRUE(builder->growing());
    walk.finish();
    builder->refresh();
    EXPECT_FALSE(builder->growing()) << "the root was left and copied";

    FakeWalk next(*builder, "/other");
    EXPECT_TRUE(builder->growing());
    EXPECT_EQ(recordCount(), 0);
    EXPECT_EQ(builder->meshHandle().totalSize, 1.0);
    next.file("z", 5);
    builder->refresh();
    ASSERT_EQ(recordCount(), 1);
    EXPECT_TRUE(sameName(recordAt(0), "z"));
    EXPECT_EQ(recordAt(0).x0, 0.0f);
}

} // namespace

// Only records wide enough for a label reach the label pass.
TEST(PreviewLabelRanges, NarrowRecordsAreLeftOutOfTheLabelPass)
{
    // 1000 bytes over 500 pixels: a byte is half a pixel; at least 2 pixels means 4 bytes.
    std::vector<GeometryVertex> records(6);
    const float widths[] = { 10, 10, 1, 4, 3, 20 };
    float x = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].x0 = x;
        records[i].x1 = x + widths[i];
        x += widths[i];
    }
    EXPECT_EQ(IcicleVisualizationPreview::labelledRecords(records.data(), 6, 1000.0, 500.0, 2.0),
              (std::vector<int> { 0, 1, 3, 5 }));
    EXPECT_TRUE(IcicleVisualizationPreview::labelledRecords(records.data(), 6, 0.0, 500.0, 2.0).empty())
        << "before any byte is found, none";
}
