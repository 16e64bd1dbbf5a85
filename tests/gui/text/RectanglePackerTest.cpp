// RectanglePacker and TextAtlas without a GL context: placement, reuse of freed space, the
// repack-or-double rule of the atlas and its window-driven size.
#include "gui/text/RectanglePacker.h"
#include "gui/text/TextAtlas.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace orvex::gui;

namespace {

bool overlap(const IntRect& a, const IntRect& b) { return !a.intersect(b).empty(); }

void expectDisjointInside(const std::vector<IntRect>& rects, int width, int height)
{
    for (size_t i = 0; i < rects.size(); ++i) {
        EXPECT_TRUE(rects[i].x0 >= 0 && rects[i].y0 >= 0 && rects[i].x1 <= width && rects[i].y1 <= height)
            << "rect " << i << " leaves the area";
        for (size_t j = i + 1; j < rects.size(); ++j)
            EXPECT_FALSE(overlap(rects[i], rects[j])) << "rects " << i << " and " << j << " overlap";
    }
}

} // namespace

TEST(RectanglePacker, PlacesMixedSizesWithoutOverlapUntilFull)
{
    RectanglePacker packer(256, 160);
    const std::pair<int, int> sizes[] = { { 100, 24 }, { 60, 24 }, { 90, 30 }, { 256, 24 }, { 30, 20 },
                                          { 120, 24 }, { 200, 31 }, { 80, 24 } };
    std::vector<IntRect> placed;
    for (auto [w, h] : sizes) {
        std::optional<IntRect> rect = packer.allocate(w, h);
        ASSERT_TRUE(rect) << w << "x" << h;
        EXPECT_EQ(rect->width(), w);
        EXPECT_EQ(rect->height(), h);
        placed.push_back(*rect);
    }
    expectDisjointInside(placed, 256, 160);
    EXPECT_FALSE(packer.allocate(257, 1)) << "wider than the area";
    EXPECT_FALSE(packer.allocate(10, 161)) << "taller than the area";
    EXPECT_FALSE(packer.allocate(0, 10));
}

TEST(RectanglePacker, FreedSpaceIsMergedAndReused)
{
    RectanglePacker packer(300, 24);
    IntRect a = *packer.allocate(100, 24);
    IntRect b = *packer.allocate(100, 24);
    IntRect c = *packer.allocate(100, 24);
    EXPECT_FALSE(packer.allocate(150, 24));
    packer.release(a);
    packer.release(b);
    // a and b merge into one 200-pixel span.
    std::optional<IntRect> wide = packer.allocate(200, 24);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->x0, 0);
    packer.release(*wide);
    packer.release(c);
    EXPECT_EQ(packer.shelfCount(), 0) << "empty shelves at the bottom are given back";
    EXPECT_TRUE(packer.allocate(300, 24));
}

TEST(RectanglePacker, PackPlacesASetThatFitsOnlyTallestFirst)
{
    // Two 128 x 100 and four 64 x 28: in arrival order (short ones first) they would open a
    // 28-high shelf the tall ones cannot use.
    const std::vector<std::pair<int, int>> sizes { { 64, 28 }, { 64, 28 }, { 64, 28 }, { 64, 28 }, { 128, 100 },
                                                   { 128, 100 } };
    RectanglePacker packer;
    auto placed = RectanglePacker::pack(256, 128, sizes, packer);
    ASSERT_TRUE(placed);
    for (size_t i = 0; i < sizes.size(); ++i)
        EXPECT_EQ((*placed)[i].width(), sizes[i].first);
    expectDisjointInside(*placed, 256, 128);
    EXPECT_FALSE(RectanglePacker::pack(256, 100, sizes, packer));
}

TEST(TextAtlas, ExtentIsSmallestMultipleOf256AtLeast256Above)
{
    const struct {
        int client, extent;
    } rows[] = { { 0, 256 }, { 1, 512 }, { 255, 512 }, { 256, 512 }, { 257, 768 }, { 1000, 1280 }, { 1024, 1280 } };
    for (auto row : rows)
        EXPECT_EQ(TextAtlas::extentFor(row.client), row.extent) << row.client;
    EXPECT_EQ(TextAtlas::initialSize(800, 600), (orvex::Vector<int, 2> { { 1280, 1024 } }));
    EXPECT_EQ(TextAtlas::initialSize(300, 200), (orvex::Vector<int, 2> { { 1024, 512 } }));
}

TEST(TextAtlas, RepacksAtSameSizeFirstThenDoublesAtOnce)
{
    TextAtlas atlas(nullptr, 256, 256);
    std::vector<std::unique_ptr<AtlasSlot>> slots;
    auto add = [&](int w, int h) {
        slots.push_back(std::make_unique<AtlasSlot>(atlas));
        return atlas.allocate(*slots.back(), w, h);
    };
    // Shelf 0 holds two 100-wide rects; four full-width shelves follow (top at 250).
    ASSERT_TRUE(add(100, 50));
    ASSERT_TRUE(add(100, 50));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(add(256, 50));
    atlas.release(*slots[0]); // leaves 100 + 56 free on shelf 0, in two spans

    // 150 x 50 fits no span and no new shelf, but a repack at the same size holds everything.
    ASSERT_TRUE(add(150, 50));
    EXPECT_EQ(atlas.width(), 256);
    EXPECT_TRUE(atlas.grewLastTime());
    std::vector<IntRect> rects;
    for (auto& slot : slots)
        if (!slot->rect.empty())
            rects.push_back(slot->rect);
    EXPECT_EQ(rects.size(), 6u);
    expectDisjointInside(rects, 256, 256);

    // The next overflow doubles without trying the same size again.
    ASSERT_TRUE(add(100, 50));
    EXPECT_EQ(atlas.width(), 512);
    EXPECT_EQ(atlas.height(), 512);
    EXPECT_FALSE(atlas.grewLastTime());
    EXPECT_EQ(slots[2]->rect.width(), 256) << "slots keep their sizes through a repack";

    AtlasSlot huge(atlas);
    EXPECT_FALSE(atlas.allocate(huge, TextAtlas::MAX_EXTENT + 1, 10));
    EXPECT_TRUE(huge.rect.empty());
    EXPECT_EQ(atlas.width(), 512) << "a failed repack leaves the atlas as it was";
}

TEST(TextAtlas, WindowGrowthEmptiesSlotsAndNeverShrinksTheTexture)
{
    TextAtlas atlas(nullptr, 1024, 1024);
    AtlasSlot slot(atlas);
    ASSERT_TRUE(atlas.allocate(slot, 40, 20));

    atlas.fitWindow(1000, 1000); // still inside
    EXPECT_FALSE(slot.rect.empty());

    atlas.fitWindow(1100, 10);
    EXPECT_EQ(atlas.width(), 1536);
    EXPECT_EQ(atlas.height(), 1024) << "S(10) would shrink the height the texts already use";
    EXPECT_EQ(atlas.surface().width(), 1536);
    EXPECT_TRUE(slot.rect.empty()) << "a resize takes every rectangle away";
    EXPECT_TRUE(atlas.allocate(slot, 40, 20));
}
