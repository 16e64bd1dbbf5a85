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
        { "a block's left edge is inside it", 0, 670000, 2.5, mixedNode, 10, 3000, false },
        { "a block's right edge is the next cell's", 0, 673000, 2.5, nullptr, 0, 0, false },
        { "the right edge of the row's last block", 5, 713105, 2.5, nullptr, 0, 0, false },
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

// The marks that lead to an entry that could not be read: its own cell, every folder above it
// and every block standing for any of those are hatched, at each level that draws them, and
// nothing else is. An entry left out at the coarser levels marks their blocks too.
TEST(SmallItemBlocks, MarksLeadDownToAnUnreadableEntryAtEveryLevel)
{
    // Total 683,710 bytes, minimum 50: the s files are drawn from level 1 and the t files from
    // level 2, so at level 0 both hide in one block of mixed's row, and at level 1 the t files
    // in a block of their own; sd is drawn from level 1, its files from level 2.
    std::vector<Spec> mixed { file("m1", 40000) };
    for (int i = 0; i < 10; ++i)
        mixed.push_back(file("s" + std::to_string(i), 300));
    for (int i = 0; i < 5; ++i)
        mixed.push_back(file("t" + std::to_string(i), 100));
    mixed.push_back(dir("sd", { file("deep", 150), file("fine", 50) }));
    mixed.push_back(file("m2", 40000));
    mixed.push_back(dir("tinyd", { file("z", 10) })); // under the minimum: no cell of its own
    struct Row {
        const char* name;
        std::vector<std::string> unreadable; // its path below the root
        std::vector<std::string> marked;     // the marked blocks: folder and level
    } rows[] = {
        { "a file drawn from level 1", { "mixed", "s3" }, { "mixed 0" } },
        { "a file drawn from level 2", { "mixed", "t2" }, { "mixed 0", "mixed 1" } },
        { "a file in a folder drawn from level 1", { "mixed", "sd", "deep" }, { "mixed 0", "sd 1" } },
        { "a file in a folder under the minimum", { "mixed", "tinyd", "z" }, { "mixed 4", "mixed 5", "mixed 6", "mixed 7" } },
        { "nothing", {}, {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto tree = build(dir("/r", { file("big", 600000), dir("mixed", mixed) }));
        const FilesystemNode* bad = row.unreadable.empty() ? nullptr : tree.get();
        for (const std::string& name : row.unreadable)
            bad = child(const_cast<FilesystemNode*>(bad), name);
        const std::vector<const FilesystemNode*> unreadable { bad };
        auto onTheWay = [&](const FilesystemNode* node) { // the entry or a folder above it
            for (const FilesystemNode* up = bad; up; up = up->parent)
                if (up == node)
                    return true;
            return false;
        };
        IcicleNodeLookup lookup;
        BufferUploader uploader;
        IcicleOptimization::Marks marks;
        marks.unreadableNodes = &unreadable;
        IcicleOptimization::build(lookup, std::move(tree), 50, uploader, {}, marks);

        std::map<const FilesystemNode*, std::pair<float, float>> cells;
        for (const GeometryVertex& cell : uploader.buffer) {
            const FilesystemNode* node = lookup.findInRow(int(cell.row), cell.x0);
            ASSERT_TRUE(node);
            cells[node] = { cell.x0, cell.x1 };
            EXPECT_EQ(cell.hue <= -2.0f, onTheWay(node)) << node->name.view();
        }
        std::vector<std::string> markedBlocks;
        for (const SmallItemBlock& block : lookup.smallItemBlocks().blocks()) {
            // Marked exactly when one of the children it stands for (whose cells start inside it,
            // and at the folder's end those without a cell) is on the way down.
            bool leads = false;
            for (int64_t i = 0; i < block.folder->children.count; ++i) {
                const FilesystemNode* item = block.folder->children[i];
                const auto found = cells.find(item);
                leads |= onTheWay(item)
                    && (found == cells.end() ? block.x1 == cells[block.folder].second
                                             : found->second.first >= block.x0 && found->second.first < block.x1);
            }
            EXPECT_EQ(block.marked, leads) << block.folder->name.view() << " at " << block.x0;
            for (int level = block.firstLevel; block.marked && level <= block.lastLevel; ++level)
                markedBlocks.push_back(std::string(block.folder->name.view()) + " " + std::to_string(level));
        }
        std::sort(markedBlocks.begin(), markedBlocks.end());
        EXPECT_EQ(markedBlocks, row.marked);
    }
}
