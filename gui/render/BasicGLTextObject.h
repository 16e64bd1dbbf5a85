// BasicGLTextObject: a text object in the renderer's built-in 8 x 15 bitmap font. Lines are broken
// by columns (a space and every glyph take one, a tab four) at line feeds and, with a wrap width,
// before the word that would pass it. It draws a mesh of glyph quads with the raster-mask program
// and, under a selection, a mesh of selection rectangles; both meshes are built on first need.
// Layout queries work without GL. Window thread only.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/Mesh.h"
#include "gui/TextObject.h"
#include "gui/render/BasicGLRenderer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::gui {

struct BitmapTextLine {
    int64_t start = 0; // first code point
    int64_t end = 0;   // one past the last; a line feed or dropped white space is outside
    int columns = 0;
    bool operator==(const BitmapTextLine&) const = default;
};

// The lines of `text`; `wrapColumns` 0 means no wrapping. Never empty (an empty text is one empty
// line).
std::vector<BitmapTextLine> breakBitmapText(std::u32string_view text, int wrapColumns);

class BasicGLTextObject final : public BasicGLRenderer::TextObject, public TextObject::Layout {
public:
    // `renderer` (not owned) must outlive the object; it is used only by draw(), so layout
    // queries also work with null.
    explicit BasicGLTextObject(BasicGLRenderer* renderer);
    ~BasicGLTextObject() override;

    // TextObject
    void setText(std::u32string_view text) override;
    void setAlignment(int horizontal, int vertical) override;
    void setWrapWidth(double width) override;
    void setScale(double scale) override;
    int64_t setSelection(TextRange& range) override;
    Rect bounds() const override;
    const TextObject::Layout& layout() const override { return *this; }
    void draw(Renderer& renderer, const Matrix<float, 4, 4>& transformation, const ColorSet& colors) override;

    // Layout
    int64_t lineCount() const override { return int64_t(lines.size()); }
    TextRange lineRange(int64_t line) const override;
    int64_t lineOf(int64_t index) const override;
    double xOf(int64_t index) const override;
    Rect caretRect(int64_t index) const override;
    int64_t indexInLine(int64_t line, double x) const override;
    int64_t indexAt(Vector2 position) const override;

    const std::u32string& string() const { return text; }
    const std::vector<BitmapTextLine>& lineList() const { return lines; }
    int longestLine() const { return longest; }
    float glyphScale() const { return pixelsPerUnit; }
    int wrapColumns() const { return wrapLimit; }
    TextRange selection() const { return selected; }

    // The glyph quads in font units (six vertices each), as draw() uploads them.
    std::vector<TexturedVertex> glyphVertices() const;
    // The selection rectangles in font units (six vertices each).
    std::vector<BasicVertex> selectionVertices() const;

private:
    void rebreak();
    // The pen's x at the start of `line` and the baseline of line `line`, in font units.
    float lineStartX(const BitmapTextLine& line) const;
    float baseline(int64_t line) const;
    // Font units from the line's start to the caret before `index` (clamped to the line).
    float columnsBefore(const BitmapTextLine& line, int64_t index) const;

    BasicGLRenderer* renderer;
    std::u32string text;
    std::vector<BitmapTextLine> lines;
    int longest = 0;
    int horizontalAlignment = 0;
    int verticalAlignment = 0;
    float pixelsPerUnit = 8.0f; // 8 x the layout scale
    double wrapWidth = 0;
    int wrapLimit = 0;          // columns, 0 = none
    TextRange selected;
    UniquePtr<DynamicMesh<TexturedVertex>> glyphMesh;
    UniquePtr<DynamicMesh<BasicVertex>> selectionMesh;
    bool glyphsStale = true;
    bool selectionStale = true;
};

} // namespace orvex::gui
