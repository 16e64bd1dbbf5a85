// GlyphPage: the shared half of the run-time glyph page: distinct characters, edge colouring, the
// atlas size and packing, the distance fields on up to two worker threads, and the glyph table.
#include "icicle/glyphs/GlyphPage.h"

#include "icicle/glyphs/AtlasPacker.h"
#include "icicle/glyphs/EdgeColoring.h"
#include "icicle/glyphs/GlyphCell.h"
#include "icicle/glyphs/GlyphSource.h"
#include "icicle/glyphs/MsdfRasterizer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <thread>
#include <unordered_set>

namespace orvex {

namespace {

using namespace glyphs;

constexpr size_t pageSize = 128;
constexpr int narrowWidth = 512, wideWidth = 1024;
constexpr int heightStep = 64;
// The label face's zero (DejaVu Sans: 1303 of 2048 units) when no label face is installed.
constexpr double fallbackZeroAdvance = 1303.0 / 2048.0;

// Nonspacing marks of the common scripts: drawn over the character before, so the pen stays put.
bool isCombiningMark(char32_t c)
{
    struct Range { char32_t first, last; };
    static const Range ranges[] = {
        {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
        {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
        {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0E31, 0x0E31},
        {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF},
        {0x302A, 0x302D}, {0x3099, 0x309A}, {0xFE20, 0xFE2F},
    };
    for (const Range& range : ranges)
        if (c >= range.first && c <= range.last)
            return true;
    return false;
}

std::vector<char32_t> distinct(const std::vector<char32_t>& ranked)
{
    std::vector<char32_t> out;
    std::unordered_set<char32_t> seen;
    for (char32_t c : ranked)
        if (seen.insert(c).second)
            out.push_back(c);
    return out;
}

// Shelves 512 wide while they stay within 512 rows, else 1024 wide; false when even that fails
// (boxes are at most a few hundred texels, so it does not for 128 glyphs at 64 texels per em).
bool packPage(std::vector<AtlasPacker::Box>& boxes, int& width, int& height)
{
    const int unbounded = std::numeric_limits<int>::max() / 2;
    for (int candidate : {narrowWidth, wideWidth}) {
        AtlasPacker packer(candidate, unbounded, gutter);
        if (!packer.pack(boxes))
            continue;
        if (packer.usedRows() > narrowWidth && candidate == narrowWidth)
            continue;
        width = candidate;
        height = (packer.usedRows() + heightStep - 1) / heightStep * heightStep;
        return true;
    }
    return false;
}

struct PageGlyph {
    SourceGlyph* source;
    GlyphCell cell;
    int box = -1; // index into the boxes, -1 when the glyph has no ink
};

// The fields of every inked glyph into the atlas, the costliest first, on up to two threads.
// Boxes are disjoint, so the workers never write the same byte.
void rasterize(const std::vector<PageGlyph>& glyphs, const std::vector<AtlasPacker::Box>& boxes, GlyphPage& page)
{
    std::vector<size_t> order;
    std::vector<double> cost(glyphs.size(), 0);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (glyphs[i].box < 0)
            continue;
        size_t edges = 0;
        for (const Contour& contour : glyphs[i].source->outline.contours)
            edges += contour.edges.size();
        cost[i] = double(glyphs[i].cell.width) * glyphs[i].cell.height * double(edges);
        order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return cost[a] > cost[b]; });
    std::atomic<size_t> next{0};
    auto work = [&] {
        MsdfRasterizer rasterizer(texelsPerEm, distanceRange);
        std::vector<uint8_t> texels;
        for (size_t k = next++; k < order.size(); k = next++) {
            const PageGlyph& glyph = glyphs[order[k]];
            const AtlasPacker::Box& box = boxes[size_t(glyph.box)];
            rasterizer.generate(glyph.source->outline, glyph.cell.origin, box.width, box.height, texels);
            for (int j = 0; j < box.height; ++j)
                std::memcpy(&page.atlas[(size_t(box.y + j) * size_t(page.atlasWidth) + size_t(box.x)) * 3],
                            &texels[size_t(j) * size_t(box.width) * 3], size_t(box.width) * 3);
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::thread helper;
    if (cores > 1 && order.size() > 1)
        helper = std::thread(work);
    work();
    if (helper.joinable())
        helper.join();
}

} // namespace

GlyphPage buildGlyphPage(const std::vector<char32_t>& ranked)
{
    GlyphPage page;
    SourceGlyphs source = loadSourceGlyphs(distinct(ranked), pageSize);
    if (source.glyphs.empty())
        return page;
    const double zeroAdvance = source.labelZeroAdvance > 0 ? source.labelZeroAdvance : fallbackZeroAdvance;
    const double scale = nameZeroAdvance / zeroAdvance; // text units per em

    std::vector<PageGlyph> glyphs;
    std::vector<AtlasPacker::Box> boxes;
    for (SourceGlyph& sourceGlyph : source.glyphs) {
        PageGlyph glyph{&sourceGlyph, {}, -1};
        if (!sourceGlyph.outline.empty()) {
            EdgeColoring::colorSimple(sourceGlyph.outline);
            glyph.cell = glyphCell(sourceGlyph.outline);
            glyph.box = int(boxes.size());
            boxes.push_back({glyph.cell.width, glyph.cell.height, -1, -1});
        }
        glyphs.push_back(glyph);
    }
    page.atlasWidth = narrowWidth;
    page.atlasHeight = heightStep;
    if (!boxes.empty() && !packPage(boxes, page.atlasWidth, page.atlasHeight))
        return GlyphPage();
    page.atlas.assign(size_t(page.atlasWidth) * size_t(page.atlasHeight) * 3, 0);
    rasterize(glyphs, boxes, page);

    page.table.assign(glyphs.size() * 9, 0.0f);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const PageGlyph& glyph = glyphs[i];
        page.characters.push_back(glyph.source->character);
        float* entry = &page.table[i * 9];
        if (glyph.box >= 0) {
            const AtlasPacker::Box& box = boxes[size_t(glyph.box)];
            entry[0] = float(glyph.cell.planeLeft * scale);
            entry[1] = float(glyph.cell.planeBottom * scale);
            entry[2] = float(glyph.cell.planeRight * scale);
            entry[3] = float(glyph.cell.planeTop * scale);
            entry[4] = float((box.x + 0.5) / page.atlasWidth);
            entry[5] = float((box.y + 0.5) / page.atlasHeight);
            entry[6] = float((box.x + box.width - 0.5) / page.atlasWidth);
            entry[7] = float((box.y + box.height - 0.5) / page.atlasHeight);
        }
        entry[8] = isCombiningMark(glyph.source->character) ? 0.0f : float(glyph.source->advance * scale);
    }
    return page;
}

GlyphFace glyphPageFace(char32_t character) { return sourceFace(character); }

} // namespace orvex
