// Small-item blocks on built meshes: at every detail level, each folder's children's row is tiled
// by the cells drawn there and the blocks, and each block's span is exactly the bytes of the
// children it stands for (a generated tree whose offsets are exact in floats); and the look-up of
// a worked example, point by point and level by level.
#include "icicle/IcicleOptimization.h"
#include "TreeBuilder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace testtree;

namespace {

class BufferUploader final : public IcicleOptimization::VertexUploader {
public:
    void allocate(int64_t totalCount, int64_t) override { buffer.assign(size_t(totalCount), GeometryVertex {}); }
    void upload(int64_t first, const GeometryVertex* vertices, int64_t count, bool, int64_t) override
    {
        std::copy(vertices, vertices + count, buffer.begin() + first);
    }
    std::vector<GeometryVertex> buffer;
};

bool isBlock(const GeometryVertex& v) { return v.hue < 0.0f && v.hue >= -1.0f; }

// Folders mixing large files, runs of small ones and files under the minimum, four levels deep;
// the total stays below 2^24 so that every edge is exact in a float.
Spec generated(std::mt19937_64& rng, int depth, int& serial)
{
    Spec folder = dir("d" + std::to_string(serial++), {});
    const int children = 3 + int(rng() % 12);
    for (int i = 0; i < children; ++i) {
        const uint64_t kind = rng() % 10;
        if (depth < 4 && kind < 2) {
            folder.children.push_back(generated(rng, depth + 1, serial));
        } else if (kind < 4) {
            const int run = 1 + int(rng() % 40); // a run of small files
            for (int j = 0; j < run; ++j)
                folder.children.push_back(file("s" + std::to_string(serial++), 1 + rng() % 60));
        } else {
            folder.children.push_back(file("f" + std::to_string(serial++), 100 + rng() % 20000));
        }
    }
    return folder;
}

} // namespace

TEST(SmallItemBlocks, EachLevelTilesEveryChildrenRowAndEachBlockSpansExactlyTheBytesItStandsFor)
{
    for (uint64_t seed : { 1u, 2u, 3u }) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 rng(seed);
        int serial = 0;
        Spec rootSpec = dir("/gen", {});
        for (int i = 0; i < 6; ++i)
            rootSpec.children.push_back(generated(rng, 1, serial));
        rootSpec.children.push_back(dir("many", std::vector<Spec>(3000, file("tiny", 3))));
        auto tree = build(rootSpec);
        ASSERT_LT(tree->size, uint64_t(1) << 24);
        IcicleNodeLookup lookup;
        BufferUploader uploader;
        const uint64_t minimumSize = 8;
        const auto result = IcicleOptimization::build(lookup, std::move(tree), minimumSize, uploader);
        const IcicleLevelIndex& index = *result.levelIndex;

        // Every node with a cell, by its left edge, from the lookup's rows.
        std::map<const FilesystemNode*, float> cellStart;
        for (const IcicleNodeLookup::Row& row : lookup.rows())
            for (const IcicleNodeLookup::RowEntry& entry : row)
                if (entry.node)
                    cellStart[entry.node] = entry.x;

        int blocksSeen = 0;
        for (int level = 0; level < IcicleLevelIndex::levelCount; ++level) {
            SCOPED_TRACE("level " + std::to_string(level));
            // What this level draws, row by row: [x0, x1) and the block, if it is one.
            struct Span {
                float x0, x1;
                const SmallItemBlock* block;
            };
            std::map<int, std::vector<Span>> rows;
            std::vector<std::pair<int, Span>> folders; // drawn folders with children: row, cell
            for (int64_t v = index.boundaries[0]; v < index.boundaries[level + 1]; ++v) {
                const GeometryVertex& cell = uploader.buffer[size_t(v)];
                if (isBlock(cell))
                    continue;
                const int row = int(cell.row);
                rows[row].push_back({ cell.x0, cell.x1, nullptr });
                const FilesystemNode* node = lookup.findInRow(row, cell.x0);
                ASSERT_NE(node, nullptr);
                if (node->children.count > 0)
                    folders.push_back({ row, { cell.x0, cell.x1, nullptr } });
            }
            folders.push_back({ 0, { 0.0f, float(result.totalSize), nullptr } }); // the root
            for (const SmallItemBlock& block : lookup.smallItemBlocks().blocks()) {
                if (block.firstLevel > level || block.lastLevel < level)
                    continue;
                ++blocksSeen;
                rows[block.row].push_back({ block.x0, block.x1, &block });
                EXPECT_EQ(lookup.smallItemsAt((double(block.x0) + block.x1) / 2, block.row + 0.5, level), &block);

                // The children it stands for: those whose cell starts inside it (each too narrow
                // to be drawn at this level), and those without a cell when it ends the folder.
                const float folderEnd = cellStart.count(block.folder)
                    ? cellStart[block.folder] + float(block.folder->size) : float(result.totalSize);
                uint64_t items = 0, bytes = 0;
                for (int64_t i = 0; i < block.folder->children.count; ++i) {
                    const FilesystemNode* child = block.folder->children[i];
                    auto found = cellStart.find(child);
                    const bool inside = found == cellStart.end() ? block.x1 == folderEnd
                                                                 : found->second >= block.x0 && found->second < block.x1;
                    if (!inside)
                        continue;
                    if (found != cellStart.end()) {
                        EXPECT_GT(IcicleLevelIndex::detailLevel(found->second, found->second + float(child->size),
                                                                float(1.0 / result.totalSize)),
                                  level)
                            << "a block never covers a child drawn at its level";
                    }
                    ++items;
                    bytes += child->size;
                }
                EXPECT_EQ(block.items, items);
                EXPECT_EQ(block.bytes, bytes);
                EXPECT_EQ(double(block.x1) - double(block.x0), double(bytes)) << "the span is the bytes";
            }
            // Below every drawn folder, cells and blocks abut without overlapping; a hole is left
            // only where the block would be narrower than this level's cells.
            for (auto& [row, spans] : rows)
                std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.x0 < b.x0; });
            for (const auto& [row, folder] : folders) {
                float reached = folder.x0;
                for (const Span& span : rows[row + 1]) {
                    if (span.x0 < folder.x0 || span.x0 >= folder.x1)
                        continue;
                    ASSERT_GE(span.x0, reached) << "row " << row + 1 << ": overlap at " << span.x0;
                    if (span.x0 > reached) {
                        EXPECT_GT(IcicleLevelIndex::detailLevel(reached, span.x0, float(1.0 / result.totalSize)), level)
                            << "row " << row + 1 << ": a visible hole [" << reached << ", " << span.x0 << ")";
                    }
                    reached = span.x1;
                }
                if (reached < folder.x1) {
                    EXPECT_GT(IcicleLevelIndex::detailLevel(reached, folder.x1, float(1.0 / result.totalSize)), level)
                        << "row " << row + 1 << ": a visible hole at the end [" << reached << ", " << folder.x1 << ")";
                }
            }
        }
        EXPECT_GT(blocksSeen, 20);
    }
}

TEST(SmallItemBlocks, LookupNamesTheFolderItemsAndBytesOfTheBlockUnderAPointAtEachLevel)
{
    // Total 713,105 bytes: level 0 takes cells from 697 bytes, level 1 from 175, level 2 from 44,
    // level 4 from 3. The minimum, 50 bytes, leaves out "many"'s files and "tiny".
    std::vector<Spec> mixed { file("m1", 40000) };
    for (int i = 0; i < 10; ++i)
        mixed.push_back(file("s" + std::to_string(i), 300)); // [670000, 673000), level 1 each
    mixed.push_back(file("m2", 40000));
    mixed.push_back(file("t3", 100));  // [713000, 713100), level 2
    mixed.push_back(file("tiny", 5)); // left out: [713100, 713105)
    auto tree = build(dir("/r", { file("big", 600000), dir("many", std::vector<Spec>(3000, file("x", 10))),
                                  dir("mixed", mixed) }));
    FilesystemNode* many = child(tree.get(), "many");
    FilesystemNode* mixedNode = child(tree.get(), "mixed");
    const std::vector<const FilesystemNode*> unreadable { child(mixedNode, "tiny") };
    IcicleNodeLookup lookup;
    BufferUploader uploader;
    IcicleOptimization::Marks marks;
    marks.unreadableNodes = &unreadable;
    IcicleOptimization::build(lookup, std::move(tree), 50, uploader, {}, marks);

    struct Row {
        const char* name;
        int level;
        double x, y;
        const FilesystemNode* folder; // null: no block there
        uint64_t items, bytes;
        bool marked;
    };
    const Row rows[] = {
        { "3000 files under the minimum, widest zoom", 0, 615000, 2.5, many, 3000, 30000, false },
        { "the same block at the finest level", 7, 615000, 2.5, many, 3000, 30000, false },
        { "ten small files too narrow at level 0", 0, 671500, 2.5, mixedNode, 10, 3000, false },
        { "the same files drawn at level 1", 1, 671500, 2.5, nullptr, 0, 0, false },
        { "a large file is never a block", 0, 650000, 2.5, nullptr, 0, 0, false },
        { "the left-out unreadable file, from level 4", 5, 713102, 2.5, mixedNode, 1, 5, true },
        { "too narrow to show at level 3", 3, 713102, 2.5, nullptr, 0, 0, false },
        { "the folders' own row", 0, 615000, 1.5, nullptr, 0, 0, false },
        { "past the chart", 0, 713200, 2.5, nullptr, 0, 0, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SmallItemBlock* block = lookup.smallItemsAt(row.x, row.y, row.level);
        if (!row.folder) {
            EXPECT_EQ(block, nullptr);
            continue;
        }
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->folder, row.folder);
        EXPECT_EQ(block->items, row.items);
        EXPECT_EQ(block->bytes, row.bytes);
        EXPECT_EQ(block->marked, row.marked);
    }
}
