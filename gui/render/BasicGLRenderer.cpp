// BasicGLRenderer: creation (stock programs from the context's registry, the raster-mask program,
// the unit quads, the font and mask textures), the matrices, offset and clip with the scissor box,
// and the drawing primitives. RasterMaskShader and BasicTextConfigurator are in their own files.
#include "gui/render/BasicGLRenderer.h"

#include "engine/gl/BasicShader.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/PixelFormat.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureShader.h"
#include "gui/render/BasicGLTextObject.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

namespace orvex::gui {

namespace {

// Registry tags of the stock programs; the key names the program.
char basicShaderTag;
char textureShaderTag;

constexpr int TRIANGLE_STRIP = 7;
constexpr int SINGLE_CHANNEL = 1; // one 8-bit channel, sampled as red

template <typename T, typename Create>
T* registered(GlContext& context, GlContext::TypeTag tag, std::string_view key, Create create)
{
    if (void* stored = context.find(tag, key))
        return static_cast<T*>(stored);
    T* made = create();
    if (made) {
        context.adopt(made);
        context.store(tag, key, made);
    }
    return made;
}

// Masks and glyphs are drawn texel for texel: nearest sampling, no mipmaps, and clamped edges so
// that the half-texel shifts of the outer cells never wrap to the opposite side.
TextureSettings pixelExact()
{
    TextureSettings settings;
    settings.minFilter = 0;
    settings.magFilter = 0;
    settings.mipmaps = 0;
    settings.wrapS = 1;
    settings.wrapT = 1;
    return settings;
}

Texture2D* singleChannelTexture(GlContext& context, const std::vector<uint8_t>& pixels, int size)
{
    ImageView image { PixelFormat { COMPONENT_UINT8, SINGLE_CHANNEL }, pixels.data(), size, size };
    return context.createTexture2D(image, 0, pixelExact());
}

Matrix<float, 4, 4> multiply(const Matrix<float, 4, 4>& a, const Matrix<float, 4, 4>& b)
{
    Matrix<float, 4, 4> product;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.at(k, row) * b.at(column, k);
            product.at(column, row) = sum;
        }
    return product;
}

Matrix<float, 3, 3> textureRectangle(float left, float top, float right, float bottom)
{
    Matrix<float, 3, 3> matrix = Matrix<float, 3, 3>::identity();
    matrix.at(0, 0) = right - left;
    matrix.at(1, 1) = bottom - top;
    matrix.at(2, 0) = left;
    matrix.at(2, 1) = top;
    return matrix;
}

bool isUnbounded(const Rect& rect)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    return rect.left == -inf && rect.top == -inf && rect.right == inf && rect.bottom == inf;
}

} // namespace

// [SECTION] Styles and pure helpers

void BasicGLRenderer::StyleObject::addVariant(uint32_t stateMask, const ColorSet& colors)
{
    // Grow as ⌊3n/2⌋ + 15 so that styles built one variant at a time reallocate rarely.
    if (variants.size() == variants.capacity())
        variants.reserve(variants.size() * 3 / 2 + 15);
    variants.push_back({ stateMask, colors });
}

const ColorSet& BasicGLRenderer::StyleObject::resolve(uint32_t state) const
{
    for (const Variant& variant : variants)
        if ((variant.stateMask & state) == variant.stateMask)
            return variant.colors;
    return base;
}

const ColorSet& BasicGLRenderer::defaultColors()
{
    static const ColorSet colors;
    return colors;
}

const ColorSet& BasicGLRenderer::resolve(const Renderer::StyleObject* style, uint32_t state)
{
    if (auto* own = dynamic_cast<const StyleObject*>(style))
        return own->resolve(state);
    return defaultColors();
}

float BasicGLRenderer::depthValue(int depth)
{
    if (depth == 0)
        return 0.0f;
    double layers = std::abs(double(depth));
    double distance = 1.0 - 1.0 / (layers / 256.0 + 1.0);
    return float(depth > 0 ? -distance : distance);
}

FrameBuffer::Rect BasicGLRenderer::scissorBox(const Rect& clip, Vector<int, 2> size)
{
    double left = std::max(clip.left, 0.0);
    double top = std::max(clip.top, 0.0);
    double right = std::min(clip.right, double(size[0]));
    double bottom = std::min(clip.bottom, double(size[1]));
    right = std::max(right, left);
    bottom = std::max(bottom, top);
    // std::round takes halves away from zero.
    int x0 = int(std::round(left));
    int y0 = int(std::round(top));
    int x1 = int(std::round(right));
    int y1 = int(std::round(bottom));
    // GL counts rows from the bottom.
    return { x0, size[1] - y1, x1, size[1] - y0 };
}

Matrix<float, 4, 4> BasicGLRenderer::orthographic(const Rect& viewport)
{
    Matrix<float, 4, 4> matrix = Matrix<float, 4, 4>::identity();
    double width = viewport.width();
    double height = viewport.height();
    if (width == 0 || height == 0)
        return matrix;
    matrix.at(0, 0) = float(2.0 / width);
    matrix.at(3, 0) = float(-(viewport.right + viewport.left) / width);
    matrix.at(1, 1) = float(-2.0 / height);
    matrix.at(3, 1) = float((viewport.bottom + viewport.top) / height);
    return matrix;
}

Matrix<float, 4, 4> BasicGLRenderer::rectangleMatrix(const Matrix<float, 4, 4>& projection, const Rect& rect, float z)
{
    Matrix<float, 4, 4> model = Matrix<float, 4, 4>::identity();
    model.at(0, 0) = float(rect.width());
    model.at(1, 1) = float(rect.height());
    model.at(3, 0) = float(rect.left);
    model.at(3, 1) = float(rect.top);
    model.at(3, 2) = z;
    return multiply(projection, model);
}

// [SECTION] Creation

BasicGLRenderer::BasicGLRenderer(GlContext* context)
    : glContext(context)
    , textConfigurator(new BasicTextConfigurator(this))
{
}

BasicGLRenderer::~BasicGLRenderer() = default;

UniquePtr<BasicGLRenderer> BasicGLRenderer::create(GlContext* context)
{
    if (!context)
        return nullptr;
    // Everything below is owned by `renderer`, so an early return releases what was made.
    UniquePtr<BasicGLRenderer> renderer(new BasicGLRenderer(context));
    renderer->basic = registered<BasicShader>(*context, &basicShaderTag, "BasicShader",
                                              [&] { return context->createBasicShader(); });
    renderer->textured = registered<TextureShader>(*context, &textureShaderTag, "TextureShader",
                                                   [&] { return context->createTextureShader(); });
    if (!renderer->basic || !renderer->textured)
        return nullptr;
    renderer->rasterMask.reset(RasterMaskShader::create(*context));
    if (!renderer->rasterMask)
        return nullptr;

    // Bottom edge first: under the y-down projection the strip then winds counter-clockwise on
    // screen, so the window's back-face culling keeps it.
    const std::vector<BasicVertex> corners = { { 0, 1, 0 }, { 1, 1, 0 }, { 0, 0, 0 }, { 1, 0, 0 } };
    const std::vector<TexturedVertex> texturedCorners = {
        { 0, 1, 0, 0, 1 }, { 1, 1, 0, 1, 1 }, { 0, 0, 0, 0, 0 }, { 1, 0, 0, 1, 0 } };
    renderer->plainQuad = createMesh<BasicVertex>(*context, TRIANGLE_STRIP, corners);
    renderer->textureQuad = createMesh<TexturedVertex>(*context, TRIANGLE_STRIP, texturedCorners);
    if (!renderer->plainQuad || !renderer->textureQuad)
        return nullptr;

    renderer->font.reset(singleChannelTexture(*context, bitmapFontImage(), BITMAP_FONT_TEXTURE_SIZE));
    renderer->masks.reset(singleChannelTexture(*context, rasterMaskImage(), RASTER_MASK_TEXTURE_SIZE));
    if (!renderer->font || !renderer->masks)
        return nullptr;
    return renderer;
}

Component::Configurator& BasicGLRenderer::configurator() { return *textConfigurator; }

void BasicGLRenderer::setViewport(const Rect& viewport) { projectionMatrix = orthographic(viewport); }

// [SECTION] Offset, clip and depth

void BasicGLRenderer::pushOffset(Vector2& offset)
{
    Vector2 previous = currentOffset;
    currentOffset = currentOffset + offset;
    offset = previous;
}

void BasicGLRenderer::restoreOffset(Vector2 offset) { currentOffset = offset; }

void BasicGLRenderer::pushClip(Rect& clip)
{
    Rect narrowed = clip.offset(currentOffset);
    if (clipping)
        narrowed = narrowed.intersect(currentClip);
    clip = clipping ? currentClip : Rect::unbounded();
    currentClip = narrowed;
    clipping = true;
    applyScissor(true);
}

void BasicGLRenderer::restoreClip(const Rect& clip)
{
    if (isUnbounded(clip)) {
        clipping = false;
        applyScissor(false);
        return;
    }
    currentClip = clip;
    clipping = true;
    applyScissor(true);
}

void BasicGLRenderer::applyScissor(bool enabled)
{
    FrameBuffer* target = glContext->currentFrameBuffer();
    if (!target)
        target = glContext->screenFrameBuffer();
    if (!enabled)
        target->disableScissor();
    else
        target->setScissor(scissorBox(currentClip, target->size()));
}

void BasicGLRenderer::adjustDepth(int delta) { depthLayer += delta; }

// [SECTION] Primitives

void BasicGLRenderer::fillRectangle(const Rect& rect, int kind, const Renderer::StyleObject* style)
{
    (void)kind; // every kind is a plain fill here
    Rect area = rect.offset(currentOffset);
    if (clipping)
        area = area.intersect(currentClip);
    if (area.empty())
        return;
    basic->setBlendMode(blendMode);
    basic->setTransformation(rectangleMatrix(projectionMatrix, area, depthZ()));
    basic->setColor(resolve(style).color);
    basic->draw(plainQuad->primitive, *plainQuad->vertexArray, plainQuad->vertexCount);
}

void BasicGLRenderer::drawRasterMask(const Rect& rect, int maskType, const Renderer::StyleObject* style)
{
    // No geometric clip: cutting the quad would squeeze the icon; the scissor box cuts it instead.
    Rect area = rect.offset(currentOffset);
    int icon = rasterMaskIcon(maskType, state);
    if (area.empty() || icon < 0)
        return;
    MaskTextureRect cell = rasterMaskTextureRect(icon, maskType);
    glContext->bindTexture(0, masks.get());
    rasterMask->setBlendMode(blendMode);
    rasterMask->setColor(resolve(style).color);
    rasterMask->setTransformation(rectangleMatrix(projectionMatrix, area, depthZ()));
    rasterMask->setTextureTransformation(textureRectangle(cell.left, cell.top, cell.right, cell.bottom));
    rasterMask->setTextureUnit(0);
    rasterMask->draw(textureQuad->primitive, *textureQuad->vertexArray, textureQuad->vertexCount);
}

void BasicGLRenderer::drawTexture(const Rect& rect, Texture2D* texture)
{
    Rect area = rect.offset(currentOffset);
    if (area.empty() || !texture)
        return;
    glContext->bindTexture(0, texture);
    textured->setBlendMode(blendMode);
    textured->setTextureTransformation(Matrix<float, 3, 3>::identity());
    textured->setTextureUnit(TextureUnit { 0 });
    textured->setColor(Color<float> { 1, 1, 1, 1 });
    textured->setTransformation(rectangleMatrix(projectionMatrix, area, depthZ()));
    textured->draw(textureQuad->primitive, *textureQuad->vertexArray, textureQuad->vertexCount);
}

void BasicGLRenderer::drawText(Vector2 position, gui::TextObject* text, const Renderer::StyleObject* style)
{
    if (!text)
        return;
    Vector2 origin = currentOffset + position;
    Matrix<float, 4, 4> translation = Matrix<float, 4, 4>::identity();
    translation.at(3, 0) = float(origin.x);
    translation.at(3, 1) = float(origin.y);
    translation.at(3, 2) = depthZ();
    text->draw(*this, multiply(projectionMatrix, translation), resolve(style));
}

void BasicGLRenderer::drawCaret(Vector2 position, gui::TextObject* text, int64_t index, double maxX,
                                const Renderer::StyleObject* style)
{
    if (!text)
        return;
    Rect caret = text->layout().caretRect(index).offset(position);
    // Keep the caret inside the field: first not past maxX, then not left of 0 (which wins).
    if (caret.right > maxX)
        caret = caret.offset({ maxX - caret.right, 0 });
    if (caret.left < 0)
        caret = caret.offset({ -caret.left, 0 });
    fillRectangle(caret, 0, style);
}

// [SECTION] Configurator

const Renderer::StyleObject* BasicGLRenderer::BasicTextConfigurator::configureStyle(Component* component,
                                                                                  const Renderer::StyleObject* current)
{
    (void)component;
    return current;
}

gui::TextObject* BasicGLRenderer::BasicTextConfigurator::configureText(Component* component, gui::TextObject* current)
{
    (void)component;
    if (current)
        return current;
    return new BasicGLTextObject(renderer);
}

} // namespace orvex::gui
