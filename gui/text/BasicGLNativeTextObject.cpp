// BasicGLNativeTextObject: layout through NativeTextLayout, rasterisation into the shared atlas,
// and the pixel-snapped textured quad.
#include "gui/text/BasicGLNativeTextObject.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureShader.h"

#include <algorithm>
#include <cmath>

namespace orvex::gui {

BasicGLNativeTextObject::BasicGLNativeTextObject(FontCache& fonts, TextAtlas& atlas, const FontDescription& spec)
    : fonts(fonts), slot(atlas), spec(spec), font(fonts.acquire(spec))
{
}

BasicGLNativeTextObject::~BasicGLNativeTextObject() { fonts.release(font); }

// [SECTION] Setters

void BasicGLNativeTextObject::setText(std::u32string_view newText)
{
    if (newText == text)
        return;
    text.assign(newText);
    relayout();
}

void BasicGLNativeTextObject::setAlignment(int horizontal, int vertical)
{
    if (horizontal == alignment[0] && vertical == alignment[1])
        return;
    alignment[0] = horizontal;
    alignment[1] = vertical;
    relayout();
}

void BasicGLNativeTextObject::setWrapWidth(double width)
{
    const int pixels = width > 0 ? int(std::min(width, 1e9)) : 0;
    if (pixels == wrapWidth)
        return;
    wrapWidth = pixels;
    // A new width often leaves the lines as they were (a label wider than its text, a paragraph
    // whose breaks fall the same); then the pixels in the atlas are still right.
    relayout(true);
}

void BasicGLNativeTextObject::setScale(double newScale)
{
    if (newScale == scale)
        return;
    scale = newScale;
    FontDescription scaled = spec;
    scaled.height = spec.height * scale;
    FontCache::Entry* previous = font;
    font = fonts.acquire(scaled); // before the release, so a shared font is not remade
    fonts.release(previous);
    relayout();
}

int64_t BasicGLNativeTextObject::setSelection(TextRange& range)
{
    range.start = std::max<int64_t>(range.start, 0);
    range.end = std::min<int64_t>(range.end, int64_t(text.size()));
    if (range.start >= range.end)
        range = { 0, 0 };
    if (range != selection) {
        selection = range;
        stale = true;
    }
    return range.start;
}

uint64_t BasicGLNativeTextObject::rasterisationCount = 0;

void BasicGLNativeTextObject::relayout(bool keepPixelsIfUnchanged)
{
    BgrSurface& surface = slot.atlas.surface();
    if (!surface.valid())
        return; // without a drawing surface the previous layout stays
    if (!font->font) {
        lines.clear();
        size[0] = size[1] = 0;
        stale = true;
        return;
    }
    const int maxWidth = wrapWidth > 0 && wrapWidth < surface.width() ? wrapWidth : surface.width();
    const int maxHeight = surface.height();
    std::vector<int> before;
    if (keepPixelsIfUnchanged)
        before = geometry();
    lines.build(text, *font->font, fonts.engine(), maxWidth, alignment[0]);
    size[0] = std::min(maxWidth, lines.width());
    size[1] = std::min(maxHeight, lines.height());
    if (!keepPixelsIfUnchanged || geometry() != before)
        stale = true;
}

// What the rasterised pixels depend on besides the text, font and colours: the size and where
// every line starts, ends and stands.
std::vector<int> BasicGLNativeTextObject::geometry() const
{
    std::vector<int> values { size[0], size[1] };
    for (const NativeTextLayout::Line& line : lines.lines())
        values.insert(values.end(), { int(line.start), int(line.end), line.left, line.width, line.top, line.bottom });
    return values;
}

// [SECTION] Drawing

std::array<Bgr, 4> BasicGLNativeTextObject::colorBytes(const ColorSet& set)
{
    auto byte = [](float v) {
        const double clamped = std::clamp(double(v), 0.0, 1.0);
        return uint8_t(255 - int(std::floor(255.5 - 255.0 * clamped)));
    };
    auto bgr = [&](const Color4& c) { return Bgr { byte(c.blue), byte(c.green), byte(c.red) }; };
    return { bgr(set.color), bgr(set.backgroundColor), bgr(set.hasSelectedTextColor ? set.selectedTextColor : set.color),
             bgr(set.selectionColor) };
}

Matrix<float, 4, 4> BasicGLNativeTextObject::quadMatrix(const Matrix<float, 4, 4>& transformation, int width,
                                                        int height)
{
    Matrix<float, 4, 4> m = transformation;
    const bool axisAligned = m.at(1, 0) == 0 && m.at(0, 1) == 0 && m.at(0, 0) != 0 && m.at(1, 1) != 0;
    if (axisAligned) {
        // Clip space runs from -1, so (t + 1) / s is the origin in pixels; rounding it puts the
        // quad's top-left texel exactly on a pixel and the text is sampled one to one.
        for (int axis = 0; axis < 2; ++axis) {
            const double s = m.at(axis, axis);
            const double t = m.at(3, axis);
            m.at(3, axis) = float(std::floor((t + 1) / s + 0.5) * s - 1);
        }
    }
    for (int row = 0; row < 4; ++row) {
        m.at(0, row) *= float(width);
        m.at(1, row) *= float(height);
    }
    return m;
}

void BasicGLNativeTextObject::rasterize()
{
    TextAtlas& atlas = slot.atlas;
    if (size[0] <= 0 || size[1] <= 0) {
        atlas.release(slot);
        return;
    }
    BgrSurface& surface = atlas.surface();
    if (!surface.valid() || !font->font)
        return;
    const IntRect region { 0, 0, size[0], size[1] };
    surface.fill(region, colors[1]);
    for (const NativeTextLayout::Line& line : lines.lines()) {
        const int64_t from = std::max(selection.start, line.start);
        const int64_t to = std::min(selection.end, line.end);
        for (int64_t i = from; i < to; ++i) {
            const size_t cell = size_t(i - line.start);
            surface.fill(IntRect { line.left + line.shaped.cellLeft[cell], line.top,
                                   line.left + line.shaped.cellRight[cell], line.bottom }
                             .intersect(region),
                         colors[3]);
        }
        const GlyphPaint paint { colors[0], colors[2], selection.start - line.start, selection.end - line.start };
        font->font->draw(line.shaped, surface, line.left, line.top + lines.ascent(), region, paint);
    }
    // A text that changes its width (the details bar under a moving pointer) keeps a slot that
    // still holds it and is not twice as wide, and gets a quarter more room when it moves, so it
    // does not take a new slot (and now and then make the atlas repack every slot) at each change.
    // The room stops at the atlas's width: past it, a line nearly as wide as the window would
    // double the atlas for nothing. A first slot is exact. Only the text's own size of the slot
    // is ever uploaded and sampled.
    if (slot.rect.empty() || slot.rect.height() != size[1])
        atlas.allocate(slot, size[0], size[1]);
    else if (slot.rect.width() < size[0] || slot.rect.width() > 2 * size[0])
        atlas.allocate(slot, std::min(size[0] + size[0] / 4, atlas.width()), size[1]);
    atlas.upload(slot, size[0], size[1]);
    rasterisationCount += 1;
}

void BasicGLNativeTextObject::draw(Renderer& renderer, const Matrix<float, 4, 4>& transformation,
                                   const ColorSet& colorSet)
{
    const std::array<Bgr, 4> bytes = colorBytes(colorSet);
    if (bytes != colors) {
        colors = bytes;
        stale = true;
    }
    if (slot.rect.empty() && size[0] > 0 && size[1] > 0)
        stale = true;
    if (stale) {
        rasterize();
        stale = false;
    }
    auto* gl = dynamic_cast<BasicGLRenderer*>(&renderer);
    Texture2D* texture = slot.atlas.texture();
    if (!gl || slot.rect.empty() || !texture)
        return;

    const float atlasWidth = float(texture->size()[0]);
    const float atlasHeight = float(texture->size()[1]);
    Matrix<float, 3, 3> texTransform = Matrix<float, 3, 3>::identity();
    texTransform.at(0, 0) = float(size[0]) / atlasWidth;
    texTransform.at(1, 1) = float(size[1]) / atlasHeight;
    texTransform.at(2, 0) = float(slot.rect.x0) / atlasWidth;
    texTransform.at(2, 1) = float(slot.rect.y0) / atlasHeight;

    TextureShader* shader = gl->textureShader();
    Mesh<TexturedVertex>* quad = gl->texturedQuad();
    // The background is part of the image, so the quad is opaque: under source-alpha blending
    // (the renderer's usual mode) replacing gives the same pixels without reading the target.
    shader->setBlendMode(gl->blendMode == 1 ? 0 : gl->blendMode);
    shader->setTransformation(quadMatrix(transformation, size[0], size[1]));
    shader->setTextureTransformation(texTransform);
    shader->setTextureUnit(TextureUnit { 0 });
    shader->setColor(Color<float> { 1, 1, 1, 1 });
    gl->context()->bindTexture(0, texture);
    shader->draw(quad->primitive, *quad->vertexArray, quad->vertexCount);
}

} // namespace orvex::gui
