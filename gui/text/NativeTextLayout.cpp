// NativeTextLayout: paragraphs, wrapping at break opportunities, alignment and the caret queries.
#include "gui/text/NativeTextLayout.h"

#include <algorithm>

namespace orvex::gui {

namespace {

// What may start a continuation line without being shown, and what may hang past a wrap.
bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r'; }

} // namespace

// [SECTION] Building

void NativeTextLayout::clear()
{
    lineList.clear();
    length = 0;
    layoutWidth = 0;
    layoutHeight = 0;
}

void NativeTextLayout::build(std::u32string_view text, Font& font, FontEngine& engine, int maxWidth, int alignment)
{
    clear();
    const FontMetrics metrics = font.metrics();
    fontAscent = metrics.ascent;
    cellHeight = metrics.height;
    length = int64_t(text.size());
    if (length == 0)
        return;
    // A text that ends with a line feed gets a last, empty paragraph: the line the caret moves to.
    for (int64_t start = 0;;) {
        const size_t found = text.find(U'\n', size_t(start));
        const int64_t feed = found == std::u32string_view::npos ? length : int64_t(found);
        breakParagraph(text, start, feed, font, engine, maxWidth);
        lineList.back().endsWithFeed = feed < length;
        if (feed == length)
            break;
        start = feed + 1;
    }
    for (const Line& line : lineList)
        layoutWidth = std::max(layoutWidth, line.width);
    for (Line& line : lineList) {
        if (alignment == 1)
            line.left = (layoutWidth - line.width) / 2;
        else if (alignment == 2)
            line.left = layoutWidth - line.width;
    }
}

void NativeTextLayout::breakParagraph(std::u32string_view text, int64_t start, int64_t end, Font& font,
                                      FontEngine& engine, int maxWidth)
{
    const std::u32string_view paragraph = text.substr(size_t(start), size_t(end - start));
    ShapedText whole = font.shape(paragraph);
    if (maxWidth < 1 || whole.width <= maxWidth || paragraph.empty()) {
        addLine(text, start, end, false, font);
        return;
    }
    const std::vector<uint8_t> breaks = engine.breakOpportunities(paragraph);
    const int64_t n = int64_t(paragraph.size());
    int64_t s = 0;
    while (s < n) {
        int sum = 0;
        int64_t fit = s;
        while (fit < n && sum + whole.advance(size_t(fit)) <= maxWidth)
            sum += whole.advance(size_t(fit++));
        if (fit == n) {
            addLine(text, start + s, end, false, font);
            return;
        }
        // Blanks at the fitting point hang past the edge, so "word " fits where "word" does.
        int64_t hang = fit;
        while (hang < n && isBlank(paragraph[size_t(hang)]))
            ++hang;
        if (hang == n) {
            addLine(text, start + s, end, true, font);
            return;
        }
        int64_t cut = hang;
        while (cut > s && !breaks[size_t(cut)])
            --cut;
        if (cut > s) {
            addLine(text, start + s, start + cut, true, font);
            // Shaping the line alone can come out wider than the paragraph's measure (kerning
            // across the cut); step back to an earlier opportunity while one exists.
            while (lineList.back().width > maxWidth) {
                int64_t earlier = cut - 1;
                while (earlier > s && !breaks[size_t(earlier)])
                    --earlier;
                if (earlier <= s)
                    break;
                cut = earlier;
                lineList.pop_back();
                layoutHeight -= cellHeight;
                addLine(text, start + s, start + cut, true, font);
            }
        } else {
            // No opportunity: break at the fitting point (at least one code point per line),
            // keeping zero-width code points (marks, joiners) with the character before them.
            cut = std::max(fit, s + 1);
            while (cut < n && whole.advance(size_t(cut)) == 0)
                ++cut;
            addLine(text, start + s, start + cut, false, font);
        }
        s = cut;
        while (s < n && isBlank(paragraph[size_t(s)]))
            ++s;
    }
}

void NativeTextLayout::addLine(std::u32string_view text, int64_t start, int64_t end, bool hangingSpace, Font& font)
{
    Line line;
    line.start = start;
    line.end = end;
    line.shaped = font.shape(text.substr(size_t(start), size_t(end - start)));
    line.width = line.shaped.width;
    if (hangingSpace) {
        for (int64_t i = end; i > start && isBlank(text[size_t(i - 1)]); --i)
            line.width -= line.shaped.advance(size_t(i - 1 - start));
    }
    line.top = layoutHeight;
    line.bottom = layoutHeight + cellHeight;
    layoutHeight = line.bottom;
    lineList.push_back(std::move(line));
}

// [SECTION] Queries

TextRange NativeTextLayout::lineRange(int64_t line) const
{
    if (line < 0)
        return { 0, 0 };
    if (line >= lineCount())
        return { length, length };
    return { lineList[size_t(line)].start, lineList[size_t(line)].end };
}

int64_t NativeTextLayout::lineOf(int64_t index) const
{
    if (lineList.empty())
        return 0;
    index = std::clamp<int64_t>(index, 0, length);
    // The last line starting at or before the index: an index at a wrap belongs to the line it
    // starts, and a line feed to the line it ends.
    auto after = std::upper_bound(lineList.begin(), lineList.end(), index,
                                  [](int64_t i, const Line& line) { return i < line.start; });
    return std::max<int64_t>(0, int64_t(after - lineList.begin()) - 1);
}

double NativeTextLayout::xOf(int64_t index) const
{
    if (lineList.empty())
        return 0;
    const Line& line = lineList[size_t(lineOf(index))];
    const int64_t offset = std::clamp<int64_t>(index - line.start, 0, line.end - line.start);
    return line.left + line.shaped.caretBefore(size_t(offset));
}

Rect NativeTextLayout::caretRect(int64_t index) const
{
    if (lineList.empty())
        return { 0, 0, 1, double(cellHeight) };
    const Line& line = lineList[size_t(lineOf(index))];
    const double x = xOf(index);
    return { x, double(line.top), x + 1, double(line.bottom) };
}

int64_t NativeTextLayout::indexInLine(int64_t lineIndex, double x) const
{
    if (lineList.empty())
        return 0;
    const Line& line = lineList[size_t(std::clamp<int64_t>(lineIndex, 0, lineCount() - 1))];
    const ShapedText& cells = line.shaped;
    const double local = x - line.left;
    int leftmost = cells.width;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (local >= cells.cellLeft[i] && local < cells.cellRight[i])
            return line.start + int64_t(i);
        leftmost = std::min(leftmost, cells.cellLeft[i]);
    }
    // Left of the first glyph: the line start; right of the last: the line end, which for a line
    // ended by a feed is the feed itself, never past it.
    return local < leftmost || cells.size() == 0 ? line.start : line.end;
}

int64_t NativeTextLayout::indexAt(Vector2 position) const
{
    if (lineList.empty())
        return 0;
    auto below = std::upper_bound(lineList.begin(), lineList.end(), position.y,
                                  [](double y, const Line& line) { return y < line.bottom; });
    const int64_t line = below == lineList.end() ? lineCount() - 1 : int64_t(below - lineList.begin());
    return indexInLine(line, position.x);
}

} // namespace orvex::gui
