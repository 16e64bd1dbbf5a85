// RectanglePacker: shelf packing with first-fit spans inside the best-fitting shelf.
#include "gui/text/RectanglePacker.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace orvex::gui {

void RectanglePacker::reset(int width, int height)
{
    shelves.clear();
    areaWidth = std::max(0, width);
    areaHeight = std::max(0, height);
}

std::optional<IntRect> RectanglePacker::placeOn(Shelf& shelf, int w, int h)
{
    for (auto span = shelf.free.begin(); span != shelf.free.end(); ++span) {
        if (span->second - span->first < w)
            continue;
        const IntRect rect { span->first, shelf.y, span->first + w, shelf.y + h };
        span->first += w;
        if (span->first == span->second)
            shelf.free.erase(span);
        ++shelf.used;
        return rect;
    }
    return std::nullopt;
}

std::optional<IntRect> RectanglePacker::allocate(int w, int h)
{
    if (w <= 0 || h <= 0 || w > areaWidth || h > areaHeight)
        return std::nullopt;
    // Best fit: the lowest shelf that is tall enough and not much taller, so one font's texts
    // stay together; an empty shelf takes anything it can hold.
    Shelf* best = nullptr;
    for (Shelf& shelf : shelves) {
        const bool suits = shelf.height >= h && (shelf.used == 0 || shelf.height <= h + h / 2);
        if (!suits || (best && best->height <= shelf.height))
            continue;
        const bool room = std::any_of(shelf.free.begin(), shelf.free.end(),
                                      [w](const auto& span) { return span.second - span.first >= w; });
        if (room)
            best = &shelf;
    }
    if (best)
        return placeOn(*best, w, h);
    const int top = shelves.empty() ? 0 : shelves.back().y + shelves.back().height;
    if (top + h > areaHeight)
        return std::nullopt;
    shelves.push_back({ top, h, { { 0, areaWidth } } });
    return placeOn(shelves.back(), w, h);
}

void RectanglePacker::release(const IntRect& rect)
{
    if (rect.empty())
        return;
    auto shelf = std::find_if(shelves.begin(), shelves.end(), [&](const Shelf& s) { return s.y == rect.y0; });
    assert(shelf != shelves.end() && "RectanglePacker::release: the rectangle was not allocated here");
    if (shelf == shelves.end())
        return;
    auto& free = shelf->free;
    auto at = std::lower_bound(free.begin(), free.end(), std::pair { rect.x0, rect.x1 });
    at = free.insert(at, { rect.x0, rect.x1 });
    // Merge with the following span, then with the preceding one.
    if (auto next = at + 1; next != free.end() && next->first == at->second) {
        at->second = next->second;
        free.erase(next);
    }
    if (at != free.begin()) {
        if (auto prev = at - 1; prev->second == at->first) {
            prev->second = at->second;
            free.erase(at);
        }
    }
    --shelf->used;
    while (!shelves.empty() && shelves.back().used == 0)
        shelves.pop_back();
}

std::optional<std::vector<IntRect>> RectanglePacker::pack(int width, int height,
                                                          const std::vector<std::pair<int, int>>& sizes,
                                                          RectanglePacker& into)
{
    into.reset(width, height);
    std::vector<size_t> order(sizes.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return sizes[a].second != sizes[b].second ? sizes[a].second > sizes[b].second
                                                  : sizes[a].first > sizes[b].first;
    });
    std::vector<IntRect> placed(sizes.size());
    for (size_t i : order) {
        std::optional<IntRect> rect = into.allocate(sizes[i].first, sizes[i].second);
        if (!rect)
            return std::nullopt;
        placed[i] = *rect;
    }
    return placed;
}

} // namespace orvex::gui
