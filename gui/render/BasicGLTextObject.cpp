// BasicGLTextObject: line breaking by columns, the layout queries, the glyph and selection meshes
// in font units, and drawing them scaled by the glyph scale.
#include "gui/render/BasicGLTextObject.h"

#include "engine/gl/BasicShader.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/Texture.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace orvex::gui {

namespace {

constexpr int TRIANGLES = 3;
constexpr int DYNAMIC_DRAW = 1;

bool isBlank(char32_t c) { return c == U' ' || c == U'\t'; }
int columnsOf(char32_t c) { return c == U'\t' ? 4 : 1; }

void appendLine(std::vector<BitmapTextLine>& lines, int64_t start, int64_t end, int columns)
{
    // Grow as ⌊3n/2⌋ + 15, like the other growable arrays of the toolkit.
    if (lines.size() == lines.capacity())
        lines.reserve(lines.size() * 3 / 2 + 15);
    lines.push_back({ start, end, columns });
}

} // namespace

// [SECTION] Line breaking

std::vector<BitmapTextLine> breakBitmapText(std::u32string_view text, int wrapColumns)
{
    std::vector<BitmapTextLine> lines;
    const int64_t length = int64_t(text.size());
    int64_t lineStart = 0;
    int column = 0;
    int64_t wordStart = 0;   // first code point of the current word
    int64_t blankStart = -1; // the white space before the current word on this line, -1 if none
    int blankColumn = 0;     // the columns in front of that white space
    bool inBlank = false;
    int64_t i = 0;
    while (i < length) {
        const char32_t c = text[size_t(i)];
        if (c == U'\n') {
            appendLine(lines, lineStart, i, column);
            lineStart = wordStart = i + 1;
            column = 0;
            blankStart = -1;
            inBlank = false;
            ++i;
            continue;
        }
        if (isBlank(c)) {
            if (!inBlank) {
                inBlank = true;
                blankStart = i;
                blankColumn = column;
            }
            column += columnsOf(c);
            ++i;
            continue;
        }
        if (inBlank) {
            inBlank = false;
            wordStart = i;
        }
        if (wrapColumns > 0 && column >= wrapColumns && i > lineStart) {
            if (blankStart >= 0) {
                // The word moves to the next line; the white space before it goes.
                appendLine(lines, lineStart, blankStart, blankColumn);
                lineStart = wordStart;
                column = int(i - wordStart);
                blankStart = -1;
                continue; // the word may itself be too long: look at this code point again
            }
            // A word longer than the line is cut before the code point that does not fit.
            appendLine(lines, lineStart, i, column);
            lineStart = wordStart = i;
            column = 0;
        }
        column += columnsOf(c);
        ++i;
    }
    appendLine(lines, lineStart, length, column);
    return lines;
}

// [SECTION] Setters

BasicGLTextObject::BasicGLTextObject(BasicGLRenderer* renderer)
    : renderer(renderer)
{
    rebreak();
}

BasicGLTextObject::~BasicGLTextObject() = default;

void BasicGLTextObject::rebreak()
{
    lines = breakBitmapText(text, wrapLimit);
    longest = 0;
    for (const BitmapTextLine& line : lines)
        longest = std::max(longest, line.columns);
    glyphsStale = true;
    selectionStale = true;
}

void BasicGLTextObject::setText(std::u32string_view newText)
{
    if (text == newText)
        return;
    text.assign(newText);
    rebreak();
}

void BasicGLTextObject::setAlignment(int horizontal, int vertical)
{
    if (horizontal == horizontalAlignment && vertical == verticalAlignment)
        return;
    horizontalAlignment = horizontal;
    verticalAlignment = vertical;
    glyphsStale = true;
    selectionStale = true;
}

void BasicGLTextObject::setWrapWidth(double width)
{
    wrapWidth = width;
    int columns = 0;
    if (width > 0)
        columns = std::max(1, int(std::floor(width / (double(pixelsPerUnit) * bitmapFontMetrics().advance))));
    if (columns == wrapLimit)
        return;
    wrapLimit = columns;
    rebreak();
}

void BasicGLTextObject::setScale(double scale)
{
    const float newScale = float(8.0 * scale);
    if (newScale == pixelsPerUnit)
        return;
    pixelsPerUnit = newScale;
    if (wrapWidth > 0)
        setWrapWidth(wrapWidth);
}

int64_t BasicGLTextObject::setSelection(TextRange& range)
{
    // Clamped to the text at both ends, so that callers never get back indices past it.
    const int64_t length = int64_t(text.size());
    range.start = std::clamp<int64_t>(range.start, 0, length);
    range.end = std::clamp<int64_t>(range.end, 0, length);
    if (range.end <= range.start)
        range = TextRange {};
    if (range != selected) {
        selected = range;
        selectionStale = true;
    }
    return range.start;
}

// [SECTION] Geometry

Rect BasicGLTextObject::bounds() const
{
    const BitmapFontMetrics& metrics = bitmapFontMetrics();
    const double width = double(pixelsPerUnit) * metrics.advance * longest;
    const double height = double(pixelsPerUnit) * metrics.lineHeight * double(lines.size());
    auto span = [](int alignment, double size, double& low, double& high) {
        low = alignment == 1 ? -size / 2 : alignment == 2 ? -size : 0;
        high = low + size;
    };
    Rect rect;
    span(horizontalAlignment, width, rect.left, rect.right);
    span(verticalAlignment, height, rect.top, rect.bottom);
    return rect;
}

float BasicGLTextObject::lineStartX(const BitmapTextLine& line) const
{
    const float columns = float(line.columns) * bitmapFontMetrics().advance;
    return horizontalAlignment == 1 ? -columns / 2 : horizontalAlignment == 2 ? -columns : 0.0f;
}

float BasicGLTextObject::baseline(int64_t line) const
{
    const BitmapFontMetrics& metrics = bitmapFontMetrics();
    const float total = metrics.lineHeight * float(lines.size());
    const float shift = verticalAlignment == 1 ? -total / 2 : verticalAlignment == 2 ? -total : 0.0f;
    return metrics.ascent + shift + metrics.lineHeight * float(line);
}

float BasicGLTextObject::columnsBefore(const BitmapTextLine& line, int64_t index) const
{
    const int64_t stop = std::clamp(index, line.start, line.end);
    int columns = 0;
    for (int64_t i = line.start; i < stop; ++i)
        columns += columnsOf(text[size_t(i)]);
    return float(columns) * bitmapFontMetrics().advance;
}

// [SECTION] Layout queries

TextRange BasicGLTextObject::lineRange(int64_t line) const
{
    if (line < 0)
        return {};
    if (line >= lineCount())
        return { int64_t(text.size()), int64_t(text.size()) };
    return { lines[size_t(line)].start, lines[size_t(line)].end };
}

int64_t BasicGLTextObject::lineOf(int64_t index) const
{
    index = std::clamp<int64_t>(index, 0, int64_t(text.size()));
    // The last line starting at or before the index; dropped white space belongs to the line
    // before it.
    auto after = std::upper_bound(lines.begin(), lines.end(), index,
                                  [](int64_t value, const BitmapTextLine& line) { return value < line.start; });
    return std::max<int64_t>(0, int64_t(after - lines.begin()) - 1);
}

double BasicGLTextObject::xOf(int64_t index) const
{
    const BitmapTextLine& line = lines[size_t(lineOf(index))];
    return double(pixelsPerUnit) * (lineStartX(line) + columnsBefore(line, index));
}

Rect BasicGLTextObject::caretRect(int64_t index) const
{
    const int64_t line = lineOf(index);
    const BitmapFontMetrics& metrics = bitmapFontMetrics();
    const double top = double(pixelsPerUnit) * (baseline(line) - metrics.ascent);
    const double x = xOf(index);
    return { x, top, x + 1, top + double(pixelsPerUnit) * metrics.lineHeight };
}

int64_t BasicGLTextObject::indexInLine(int64_t line, double x) const
{
    line = std::clamp<int64_t>(line, 0, lineCount() - 1);
    const BitmapTextLine& range = lines[size_t(line)];
    const double advance = double(pixelsPerUnit) * bitmapFontMetrics().advance;
    double cellLeft = double(pixelsPerUnit) * lineStartX(range);
    if (x < cellLeft)
        return range.start;
    for (int64_t i = range.start; i < range.end; ++i) {
        const double cellRight = cellLeft + advance * columnsOf(text[size_t(i)]);
        if (x < cellRight)
            return i;
        cellLeft = cellRight;
    }
    return range.end;
}

int64_t BasicGLTextObject::indexAt(Vector2 position) const
{
    // The first line whose bottom lies below y.
    int64_t low = 0;
    int64_t high = lineCount();
    const double lineHeight = double(pixelsPerUnit) * bitmapFontMetrics().lineHeight;
    const double firstTop = double(pixelsPerUnit) * (baseline(0) - bitmapFontMetrics().ascent);
    while (low < high) {
        const int64_t middle = (low + high) / 2;
        if (position.y >= firstTop + lineHeight * double(middle + 1))
            low = middle + 1;
        else
            high = middle;
    }
    return indexInLine(std::min(low, lineCount() - 1), position.x);
}

// [SECTION] Meshes and drawing

std::vector<TexturedVertex> BasicGLTextObject::glyphVertices() const
{
    const BitmapFontMetrics& m = bitmapFontMetrics();
    std::vector<TexturedVertex> vertices;
    for (size_t k = 0; k < lines.size(); ++k) {
        const BitmapTextLine& line = lines[k];
        float pen = lineStartX(line);
        const float y = baseline(int64_t(k));
        for (int64_t i = line.start; i < line.end; ++i) {
            const char32_t c = text[size_t(i)];
            if (isBlank(c)) {
                pen += float(columnsOf(c)) * m.advance;
                continue;
            }
            const int glyph = m.glyphOf(int64_t(c));
            const float u = float(glyph % m.glyphsPerRow) * m.cellWidth;
            const float v = float(glyph / m.glyphsPerRow) * m.cellHeight;
            const TexturedVertex topLeft { pen + m.quadLeft, y + m.quadTop, 0, u + m.textureLeft, v + m.textureTop };
            const TexturedVertex topRight { pen + m.quadRight, y + m.quadTop, 0, u + m.textureRight, v + m.textureTop };
            const TexturedVertex bottomLeft { pen + m.quadLeft, y + m.quadBottom, 0, u + m.textureLeft,
                                              v + m.textureBottom };
            const TexturedVertex bottomRight { pen + m.quadRight, y + m.quadBottom, 0, u + m.textureRight,
                                               v + m.textureBottom };
            // Counter-clockwise on screen (y runs down), so back-face culling keeps them.
            vertices.insert(vertices.end(), { bottomLeft, bottomRight, topLeft, topLeft, bottomRight, topRight });
            pen += m.advance;
        }
    }
    return vertices;
}

std::vector<BasicVertex> BasicGLTextObject::selectionVertices() const
{
    std::vector<BasicVertex> vertices;
    if (selected.start >= selected.end)
        return vertices;
    const BitmapFontMetrics& m = bitmapFontMetrics();
    for (size_t k = 0; k < lines.size(); ++k) {
        const BitmapTextLine& line = lines[k];
        const int64_t first = std::max(selected.start, line.start);
        const int64_t last = std::min(selected.end, line.end);
        if (first >= last)
            continue;
        const float x0 = lineStartX(line) + columnsBefore(line, first);
        const float x1 = lineStartX(line) + columnsBefore(line, last);
        const float y0 = baseline(int64_t(k)) - m.ascent;
        const float y1 = y0 + m.lineHeight;
        vertices.insert(vertices.end(),
                        { { x0, y1, 0 }, { x1, y1, 0 }, { x0, y0, 0 }, { x0, y0, 0 }, { x1, y1, 0 }, { x1, y0, 0 } });
    }
    return vertices;
}

void BasicGLTextObject::draw(Renderer& target, const Matrix<float, 4, 4>& transformation, const ColorSet& colors)
{
    (void)target; // the object draws with the renderer it is bound to
    assert(renderer && "BasicGLTextObject::draw: create the object with the renderer that draws it");
    GlContext& context = *renderer->context();
    Matrix<float, 4, 4> model = transformation;
    for (int row = 0; row < 4; ++row) {
        model.at(0, row) *= pixelsPerUnit;
        model.at(1, row) *= pixelsPerUnit;
        model.at(2, row) *= pixelsPerUnit;
    }

    if (selected.start < selected.end) {
        if (!selectionMesh)
            selectionMesh = createDynamicMesh<BasicVertex>(context, TRIANGLES, 0, DYNAMIC_DRAW);
        if (selectionMesh && selectionStale) {
            selectionMesh->replace(selectionVertices());
            selectionStale = false;
        }
        if (selectionMesh && selectionMesh->vertexCount > 0) {
            BasicShader& shader = *renderer->basicShader();
            shader.setBlendMode(renderer->blendMode);
            shader.setTransformation(model);
            shader.setColor(colors.selectionColor);
            shader.draw(selectionMesh->primitive, *selectionMesh->vertexArray, selectionMesh->vertexCount);
        }
    }

    if (!glyphMesh)
        glyphMesh = createDynamicMesh<TexturedVertex>(context, TRIANGLES, 0, DYNAMIC_DRAW);
    if (!glyphMesh)
        return;
    if (glyphsStale) {
        glyphMesh->replace(glyphVertices());
        glyphsStale = false;
    }
    if (glyphMesh->vertexCount == 0)
        return;
    BasicGLRenderer::RasterMaskShader& shader = *renderer->rasterMaskShader();
    context.bindTexture(0, renderer->fontTexture());
    shader.setBlendMode(renderer->blendMode);
    shader.setTransformation(model);
    shader.setTextureTransformation(Matrix<float, 3, 3>::identity());
    shader.setTextureUnit(0);
    shader.setColor(colors.color);
    shader.draw(glyphMesh->primitive, *glyphMesh->vertexArray, glyphMesh->vertexCount);
}

} // namespace orvex::gui
