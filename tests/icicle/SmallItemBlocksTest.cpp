// Small-item blocks on built meshes: at every detail level, each folder's children's row is tiled
// by the cells drawn there and the blocks, and each block's span is the bytes of the children it
// stands for (seeded random trees); and the look-up of a worked example, point by point and level
// by level.
#include "icicle/IcicleOptimization.h"
#include "BufferUploader.h"
#include "TreeBuilder.h"

#include <gtest/gtest.h>

#include <map>

using namespace testtree;

TEST(SmallItemBlocks, EachLevelTilesEveryChildrenRowAndEachBlockSpansExactlyTheBytesItStandsFor)
{
    for (uint64_t seed : { 5u, 6u, 7u }) {
        auto tree = random(seed, 3000);
        const uint64_t minimumSize = std::max<uint64_t>(tree->size >> 20, 1);
        IcicleNodeLookup lookup;
        BufferUploader uploader;
        const auto result = IcicleOptimization::build(lookup, std::move(tree), minimumSize, uploader);
        const float inverseTotal = float(1.0 / result.totalSize);
        std::map<const FilesystemNode*, std::pair<float, float>> cells; // every node with a cell
        for (const IcicleNodeLookup::Row& row : lookup.rows())
            for (size_t i = 0; i + 1 < row.size(); ++i)
                if (row[i].node)
                    cells[row[i].node] = { row[i].x, row[i + 1].x };

        for (int level = 0; level < IcicleLevelIndex::levelCount; ++level) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " level " + std::to_string(level));
            std::map<int, std::vector<std::pair<float, float>>> rows; // what this level draws
            std::vector<std::pair<int, std::pair<float, float>>> folders { { 0, { 0.0f, float(result.totalSize) } } };
            for (int64_t v = result.levelIndex->boundaries[0]; v < result.levelIndex->boundaries[level + 1]; ++v) {
                const GeometryVertex& cell = uploader.buffer[size_t(v)];
                if (cell.hue < 0.0f || !(cell.x0 < cell.x1))
                    continue; // blocks come from the lookup; collapsed cells show nothing
                rows[int(cell.row)].push_back({ cell.x0, cell.x1 });
                if (lookup.findInRow(int(cell.row), cell.x0)->children.count > 0)
                    folders.push_back({ int(cell.row), { cell.x0, cell.x1 } });
            }
            for (const SmallItemBlock& block : lookup.smallItemBlocks().blocks()) {
                if (block.firstLevel > level || block.lastLevel < level)
                    continue;
                rows[block.row].push_back({ block.x0, block.x1 });
                EXPECT_EQ(lookup.smallItemsAt((double(block.x0) + block.x1) / 2, block.row + 0.5, level), &block);
                // It stands for the children whose cells start inside it and, when it ends the
                // folder, those without a cell.
                const float folderEnd = block.folder->parent ? cells[block.folder].second : float(result.totalSize);
                uint64_t items = 0, bytes = 0;
                for (int64_t i = 0; i < block.folder->children.count; ++i) {
                    const FilesystemNode* child = block.folder->children[i];
                    auto found = cells.find(child);
                    if (found == cells.end() ? block.x1 == folderEnd
                                             : found->second.first >= block.x0 && found->second.first < block.x1) {
                        ++items;
                        bytes += child->size;
                    }
                }
                EXPECT_EQ(block.items, items);
                EXPECT_EQ(block.bytes, bytes);
                // Edges are floats of exact byte offsets: each within half a step of its own.
                EXPECT_NEAR(double(block.x1) - double(block.x0), double(bytes), double(block.x1) * 1.2e-7);
            }
            // Below every drawn folder, cells and blocks abut without overlapping; a hole is left
            // only where a block would be narrower than this level's cells.
            for (auto& [row, spans] : rows)
                std::sort(spans.begin(), spans.end());
            for (const auto& [row, folder] : folders) {
                float reached = folder.first;
                std::vector<std::pair<float, float>> inside;
                for (const auto& span : rows[row + 1])
                    if (span.first >= folder.first && span.first < folder.second)
                        inside.push_back(span);
                inside.push_back({ folder.second, folder.second });
                for (const auto& [x0, x1] : inside) {
                    ASSERT_GE(x0, reached) << "row " << row + 1 << ": overlap at " << x0;
                    if (x0 > reached) {
                        EXPECT_GT(IcicleLevelIndex::detailLevel(reached, x0, inverseTotal), level)
                            << "row " << row + 1 << ": a visible hole [" << reached << ", " << x0 << ")";
                    }
                    reached = x1;
                }
            }
        }
        EXPECT_GT(lookup.smallItemBlocks().blocks().size(), 50u);
        // The block stream: each level's blocks are sorted and disjoint, so its index has no links.
        const IcicleLevelIndex& blockIndex = *result.blockIndex;
        ASSERT_EQ(uploader.blocks.size(), lookup.smallItemBlocks().blocks().size());
        ASSERT_EQ(blockIndex.keys.size(), uploader.blocks.size());
        for (int level = 0; level < IcicleLevelIndex::levelCount; ++level)
            for (int64_t v = blockIndex.boundaries[level]; v < blockIndex.boundaries[level + 1]; ++v) {
                EXPECT_EQ(IcicleLevelIndex::keyLink(blockIndex.keys[size_t(v)]), 0);
                if (v > blockIndex.boundaries[level]) {
                    EXPECT_GE(uploader.blocks[size_t(v)].x0, uploader.blocks[size_t(v - 1)].x1) << "level " << level;
                }
            }
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
        { "the left-out unreadable file, from level 4", 5, 713102, 2.5, mixedNode, 1, 5, true },
        { "too narrow to show at level 3", 3, 713102, 2.5, nullptr, 0, 0, false },
        { "the folders' own row", 0, 615000, 1.5, nullptr, 0, 0, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SmallItemBlock* block = lookup.smallItemsAt(row.x, row.y, row.level);
        ASSERT_EQ(block != nullptr, row.folder != nullptr);
        if (block) {
            EXPECT_EQ(block->folder, row.folder);
            EXPECT_EQ(block->items, row.items);
            EXPECT_EQ(block->bytes, row.bytes);
            EXPECT_EQ(block->marked, row.marked);
        }
    }
}
