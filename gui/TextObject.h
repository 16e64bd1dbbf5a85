// TextObject: one string of code points laid out into lines, with its bounds and caret geometry;
// it draws itself when the renderer asks (Renderer::drawText). Two implementations: the native one
// shapes and rasterises text with the platform's font engine into the shared text atlas; the
// built-in one draws the renderer's 8 x 15 bitmap font as a mesh of glyph quads. Window thread only.
#pragma once

#include "engine/core/Math.h"
#include "gui/Geometry.h"
#include "gui/Renderer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex::gui {

struct TextRange {
    int64_t start = 0;
    int64_t end = 0;
    bool operator==(const TextRange&) const = default;
};

class TextObject {
public:
    // The laid-out lines: caret and hit-test queries that agree with what is drawn.
    class Layout {
    public:
        virtual ~Layout() = default;
        virtual int64_t lineCount() const = 0;
        // [start, end) of the line; past the last line (length, length), before the first (0, 0).
        virtual TextRange lineRange(int64_t line) const = 0;
        // The line holding a code-point index (clamped to [0, length]).
        virtual int64_t lineOf(int64_t index) const = 0;
        // The x of the caret before `index`.
        virtual double xOf(int64_t index) const = 0;
        // (x, line top, x + 1, line bottom): a one-pixel caret.
        virtual Rect caretRect(int64_t index) const = 0;
        // The index whose glyph cell holds x in the line (the line start left of the first glyph;
        // never past a line feed that ends the line).
        virtual int64_t indexInLine(int64_t line, double x) const = 0;
        // The line by its bottom (a y on or below a line's bottom belongs to the next), then
        // indexInLine.
        virtual int64_t indexAt(Vector2 position) const = 0;
    };

    virtual ~TextObject() = default;
    // Copies the text when it differs and marks the layout stale.
    virtual void setText(std::u32string_view text) = 0;
    // 0 left / top, 1 centre, 2 right / bottom.
    virtual void setAlignment(int horizontal, int vertical) = 0;
    // Pixels; 0 or less: no wrapping.
    virtual void setWrapWidth(double width) = 0;
    // The layout scale (DPI / 96 x the interface scale).
    virtual void setScale(double scale) = 0;
    // Clamps the range (an empty or inverted one becomes (0, 0)) and returns its start.
    virtual int64_t setSelection(TextRange& range) = 0;
    // The laid-out text relative to the object's origin.
    virtual Rect bounds() const = 0;
    virtual const Layout& layout() const = 0;
    virtual void draw(Renderer& renderer, const orvex::Matrix<float, 4, 4>& transformation, const ColorSet& colors) = 0;
};

// UTF-8 to code points (an invalid byte becomes U+FFFD) and back.
std::u32string fromUtf8(std::string_view text);
std::string toUtf8(std::u32string_view text);

} // namespace orvex::gui
