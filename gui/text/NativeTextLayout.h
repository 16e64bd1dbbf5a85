// NativeTextLayout: the lines of a native text object and the Layout queries over them. The text
// is split into paragraphs at line feeds; a paragraph wider than the maximum width is broken at
// the last break opportunity before the fitting point (white space at the end of a line may hang
// past it), or at the fitting point when there is none, and spaces, tabs and carriage returns at
// the start of a continuation line are skipped. Each line is shaped on its own, so the cells the
// caret queries read are those of the glyphs drawn. GL-free, window thread.
#pragma once

#include "gui/TextObject.h"
#include "gui/text/FontEngine.h"

#include <string_view>
#include <vector>

namespace orvex::gui {

class NativeTextLayout final : public TextObject::Layout {
public:
    struct Line {
        int64_t start = 0;  // code points [start, end); a line feed belongs to no line
        int64_t end = 0;
        bool endsWithFeed = false;
        int left = 0;       // x of the line's left end after alignment
        int width = 0;      // without white space hanging past a wrap
        int top = 0;
        int bottom = 0;
        ShapedText shaped;  // cells and glyphs relative to `left`
    };

    // Lays `text` out; `maxWidth` of at least 1 wraps there. Horizontal alignment 0, 1, 2 is
    // left, centre, right; any other value leaves lines at 0.
    void build(std::u32string_view text, Font& font, FontEngine& engine, int maxWidth, int alignment);
    void clear();

    const std::vector<Line>& lines() const { return lineList; }
    int width() const { return layoutWidth; }   // the widest line
    int height() const { return layoutHeight; } // the bottom of the last line
    int ascent() const { return fontAscent; }

    // TextObject::Layout
    int64_t lineCount() const override { return int64_t(lineList.size()); }
    TextRange lineRange(int64_t line) const override;
    int64_t lineOf(int64_t index) const override;
    double xOf(int64_t index) const override;
    Rect caretRect(int64_t index) const override;
    int64_t indexInLine(int64_t line, double x) const override;
    int64_t indexAt(Vector2 position) const override;

private:
    void breakParagraph(std::u32string_view text, int64_t start, int64_t end, Font& font, FontEngine& engine,
                        int maxWidth);
    void addLine(std::u32string_view text, int64_t start, int64_t end, bool hangingSpace, Font& font);

    std::vector<Line> lineList;
    int64_t length = 0;
    int layoutWidth = 0;
    int layoutHeight = 0;
    int fontAscent = 0;
    int cellHeight = 0;
};

} // namespace orvex::gui
