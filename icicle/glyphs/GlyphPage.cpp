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
#include <memory>
#include <mutex>
#include <unordered_map>
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

// A glyph as a page needs it: its box of distance-field texels (none without ink), its cell and
// its advance in em. Kept for the process once drawn, so the next chart (a refresh rebuilds the
// chart) copies it instead of drawing it again.
struct DrawnGlyph {
    char32_t character = 0;
    double advance = 0; // em
    bool inked = false;
    GlyphCell cell;
    std::vector<uint8_t> texels; // cell.width x cell.height RGB, rows from the bottom
};

constexpr size_t cacheLimit = 1024; // glyphs; about 16 MB at most

struct GlyphCache {
    std::mutex mutex;
    std::unordered_map<char32_t, std::shared_ptr<const DrawnGlyph>> glyphs;
    double zeroAdvance = 0; // the label face's, once a load has told it
};

GlyphCache& cache()
{
    static GlyphCache instance;
    return instance;
}

// The fields of the glyphs not drawn yet, the costliest first, on the calling thread and up to one
// helper.
void drawFields(std::vector<std::shared_ptr<DrawnGlyph>>& glyphs, const std::vector<SourceGlyph*>& sources)
{
    std::vector<size_t> order;
    std::vector<double> cost(glyphs.size(), 0);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (!glyphs[i]->inked)
            continue;
        size_t edges = 0;
        for (const Contour& contour : sources[i]->outline.contours)
            edges += contour.edges.size();
        cost[i] = double(glyphs[i]->cell.width) * glyphs[i]->cell.height * double(edges);
        order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return cost[a] > cost[b]; });
    std::atomic<size_t> next{0};
    auto work = [&] {
        MsdfRasterizer rasterizer(texelsPerEm, distanceRange);
        for (size_t k = next++; k < order.size(); k = next++) {
            DrawnGlyph& glyph = *glyphs[order[k]];
            rasterizer.generate(sources[order[k]]->outline, glyph.cell.origin, glyph.cell.width, glyph.cell.height,
                                glyph.texels);
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

struct GlyphPagePlan::Work {
    std::vector<std::shared_ptr<const DrawnGlyph>> chosen; // in code order; drawn ones ready
    std::vector<size_t> toDraw;                            // indices into chosen still to draw
    SourceGlyphs source;                                   // their outlines
    std::vector<std::shared_ptr<DrawnGlyph>> fresh;        // what toDraw will hold
    double scale = 0;                                      // text units per em
};

GlyphPagePlan::GlyphPagePlan() = default;
GlyphPagePlan::~GlyphPagePlan() = default;
GlyphPagePlan::GlyphPagePlan(GlyphPagePlan&&) noexcept = default;
GlyphPagePlan& GlyphPagePlan::operator=(GlyphPagePlan&&) noexcept = default;

GlyphPagePlan planGlyphPage(const std::vector<char32_t>& ranked)
{
    GlyphPagePlan plan;
    plan.work = std::make_unique<GlyphPagePlan::Work>();
    GlyphPagePlan::Work& work = *plan.work;
    const std::vector<char32_t> candidates = distinct(ranked);
    // What the cache holds is drawable; the rest is loaded (in rank order, at most a page of it).
    std::unordered_map<char32_t, std::shared_ptr<const DrawnGlyph>> known;
    std::vector<char32_t> unknown;
    double zeroAdvance = 0;
    {
        std::lock_guard<std::mutex> lock(cache().mutex);
        for (char32_t c : candidates) {
            auto found = cache().glyphs.find(c);
            if (found != cache().glyphs.end())
                known.emplace(c, found->second);
            else
                unknown.push_back(c);
        }
        zeroAdvance = cache().zeroAdvance;
    }
    if (!unknown.empty()) {
        work.source = loadSourceGlyphs(unknown, pageSize);
        if (work.source.labelZeroAdvance > 0)
            zeroAdvance = work.source.labelZeroAdvance;
    }
    if (zeroAdvance <= 0)
        zeroAdvance = fallbackZeroAdvance;
    work.scale = nameZeroAdvance / zeroAdvance;
    std::unordered_map<char32_t, SourceGlyph*> loaded;
    for (SourceGlyph& glyph : work.source.glyphs)
        loaded.emplace(glyph.character, &glyph);
    for (char32_t c : candidates) {
        if (work.chosen.size() >= pageSize)
            break;
        if (auto found = known.find(c); found != known.end()) {
            work.chosen.push_back(found->second);
            continue;
        }
        auto source = loaded.find(c);
        if (source == loaded.end())
            continue; // no face draws it
        auto glyph = std::make_shared<DrawnGlyph>();
        glyph->character = c;
        glyph->advance = source->second->advance;
        if (!source->second->outline.empty()) {
            EdgeColoring::colorSimple(source->second->outline);
            glyph->cell = glyphCell(source->second->outline);
            glyph->inked = true;
        }
        work.toDraw.push_back(work.chosen.size());
        work.fresh.push_back(glyph);
        work.chosen.push_back(glyph);
    }
    for (const auto& glyph : work.chosen) {
        plan.characters.push_back(glyph->character);
        plan.advances.push_back(isCombiningMark(glyph->character) ? 0.0f : float(glyph->advance * work.scale));
    }
    return plan;
}

GlyphPage drawGlyphPage(GlyphPagePlan plan)
{
    GlyphPage page;
    if (!plan.work || plan.work->chosen.empty())
        return page;
    GlyphPagePlan::Work& work = *plan.work;
    std::vector<SourceGlyph*> sources(work.fresh.size(), nullptr);
    {
        std::unordered_map<char32_t, SourceGlyph*> loaded;
        for (SourceGlyph& glyph : work.source.glyphs)
            loaded.emplace(glyph.character, &glyph);
        for (size_t i = 0; i < work.fresh.size(); ++i)
            sources[i] = loaded[work.fresh[i]->character];
    }
    drawFields(work.fresh, sources);
    {
        std::lock_guard<std::mutex> lock(cache().mutex);
        if (work.source.labelZeroAdvance > 0)
            cache().zeroAdvance = work.source.labelZeroAdvance;
        for (const auto& glyph : work.fresh)
            if (cache().glyphs.size() < cacheLimit)
                cache().glyphs.emplace(glyph->character, glyph);
    }

    std::vector<AtlasPacker::Box> boxes;
    std::vector<int> boxOf(work.chosen.size(), -1);
    for (size_t i = 0; i < work.chosen.size(); ++i) {
        if (!work.chosen[i]->inked)
            continue;
        boxOf[i] = int(boxes.size());
        boxes.push_back({work.chosen[i]->cell.width, work.chosen[i]->cell.height, -1, -1});
    }
    page.atlasWidth = narrowWidth;
    page.atlasHeight = heightStep;
    if (!boxes.empty() && !packPage(boxes, page.atlasWidth, page.atlasHeight))
        return GlyphPage();
    page.atlas.assign(size_t(page.atlasWidth) * size_t(page.atlasHeight) * 3, 0);
    page.table.assign(work.chosen.size() * 9, 0.0f);
    for (size_t i = 0; i < work.chosen.size(); ++i) {
        const DrawnGlyph& glyph = *work.chosen[i];
        page.characters.push_back(glyph.character);
        float* entry = &page.table[i * 9];
        if (boxOf[i] >= 0) {
            const AtlasPacker::Box& box = boxes[size_t(boxOf[i])];
            for (int j = 0; j < box.height; ++j)
                std::memcpy(&page.atlas[(size_t(box.y + j) * size_t(page.atlasWidth) + size_t(box.x)) * 3],
                            &glyph.texels[size_t(j) * size_t(box.width) * 3], size_t(box.width) * 3);
            entry[0] = float(glyph.cell.planeLeft * work.scale);
            entry[1] = float(glyph.cell.planeBottom * work.scale);
            entry[2] = float(glyph.cell.planeRight * work.scale);
            entry[3] = float(glyph.cell.planeTop * work.scale);
            entry[4] = float((box.x + 0.5) / page.atlasWidth);
            entry[5] = float((box.y + 0.5) / page.atlasHeight);
            entry[6] = float((box.x + box.width - 0.5) / page.atlasWidth);
            entry[7] = float((box.y + box.height - 0.5) / page.atlasHeight);
        }
        entry[8] = plan.advances[i];
    }
    return page;
}

GlyphPage buildGlyphPage(const std::vector<char32_t>& ranked) { return drawGlyphPage(planGlyphPage(ranked)); }

bool glyphDrawn(char32_t character)
{
    std::lock_guard<std::mutex> lock(cache().mutex);
    return cache().glyphs.count(character) != 0;
}

GlyphFace glyphPageFace(char32_t character) { return sourceFace(character); }

} // namespace orvex
