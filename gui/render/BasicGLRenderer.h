// BasicGLRenderer: the OpenGL implementation of Renderer. Every primitive is a unit quad scaled and
// translated by a matrix under an orthographic projection of the client area, drawn with the
// context's stock flat and textured programs or the renderer's own RasterMaskShader. It owns the
// built-in 8 x 15 bitmap font and the icon-mask atlas (as textures), and the configurator that
// gives labels a built-in-font text object. Window thread only, with the GL context current.
#pragma once

#include "engine/core/Math.h"
#include "engine/core/UniquePtr.h"
#include "engine/gl/FrameBuffer.h"
#include "engine/gl/Mesh.h"
#include "engine/gl/MeshShader.h"
#include "engine/gl/VertexFormats.h"
#include "gui/Component.h"
#include "gui/Geometry.h"
#include "gui/Renderer.h"
#include "gui/TextObject.h"
#include "gui/render/BitmapFont.h"

#include <cstdint>
#include <vector>

namespace orvex {
class BasicShader;
class GlContext;
class Texture2D;
class TextureShader;
} // namespace orvex

namespace orvex::gui {

class BasicGLRenderer : public Renderer {
public:
    // A base colour set and variants chosen by state bits.
    class StyleObject : public Renderer::StyleObject {
    public:
        struct Variant {
            uint32_t stateMask; // every bit must be set in the renderer's state
            ColorSet colors;
        };

        StyleObject() = default;
        explicit StyleObject(const ColorSet& base) : base(base) {}

        // Appends a variant; earlier variants win when several match.
        void addVariant(uint32_t stateMask, const ColorSet& colors);
        // The first variant whose mask bits are all set in `state`; otherwise the base set.
        const ColorSet& resolve(uint32_t state) const;

        ColorSet base;
        std::vector<Variant> variants; // insertion order
    };

    // The base of both text-object implementations (the built-in font's and the native one); it
    // lets the renderer's users tell its text objects apart from foreign ones.
    class TextObject : public gui::TextObject {};

    class RasterMaskShader;
    class BasicTextConfigurator;

    // The default colours of a null style.
    static const ColorSet& defaultColors();
    // The colours of `style` under `state` (a style of another renderer counts as null).
    static const ColorSet& resolve(const Renderer::StyleObject* style, uint32_t state);
    // The z of depth layer `depth`: 0 at layer 0, approaching -1 (nearer) for positive layers and
    // +1 for negative ones.
    static float depthValue(int depth);
    // The GL scissor box (lower-left origin) of a clip rectangle in a framebuffer of `size`.
    static FrameBuffer::Rect scissorBox(const Rect& clip, Vector<int, 2> size);
    // The orthographic projection of `viewport` (y downwards) to clip space.
    static Matrix<float, 4, 4> orthographic(const Rect& viewport);
    // projection x translate(x0, y0, z) x scale(width, height, 1).
    static Matrix<float, 4, 4> rectangleMatrix(const Matrix<float, 4, 4>& projection, const Rect& rect, float z);

    // Null when a shader, mesh or texture cannot be made (the reason, where GL gave one, in the
    // context's lastError()); nothing made on the way is kept, except the stock programs, which
    // the context owns once registered.
    static UniquePtr<BasicGLRenderer> create(GlContext* context);
    ~BasicGLRenderer() override;
    BasicGLRenderer(const BasicGLRenderer&) = delete;
    BasicGLRenderer& operator=(const BasicGLRenderer&) = delete;

    // The projection for a client area; called at the start of every paint. Offset, clip, depth
    // and state are left alone.
    void setViewport(const Rect& viewport);

    // Renderer
    void drawText(Vector2 position, gui::TextObject* text, const Renderer::StyleObject* style) override;
    void drawCaret(Vector2 position, gui::TextObject* text, int64_t index, double maxX,
                   const Renderer::StyleObject* style) override;
    void fillRectangle(const Rect& rect, int kind, const Renderer::StyleObject* style) override;
    void drawRasterMask(const Rect& rect, int maskType, const Renderer::StyleObject* style) override;
    void drawTexture(const Rect& rect, Texture2D* texture) override;
    void pushOffset(Vector2& offset) override;
    void restoreOffset(Vector2 offset) override;
    void pushClip(Rect& clip) override;
    void restoreClip(const Rect& clip) override;
    void adjustDepth(int delta) override;

    // The colours of `style` under the current state.
    const ColorSet& resolve(const Renderer::StyleObject* style) const { return resolve(style, state); }

    // What text objects draw with: the context, the stock programs (owned by the context), the
    // raster-mask program, the unit quads (corners (0, 0) and (1, 1), texture coordinates equal to
    // positions), the projection and the built-in font. `blendMode` is the field of Renderer.
    GlContext* context() const { return glContext; }
    BasicShader* basicShader() const { return basic; }
    TextureShader* textureShader() const { return textured; }
    RasterMaskShader* rasterMaskShader() const { return rasterMask.get(); }
    Mesh<BasicVertex>* quad() const { return plainQuad.get(); }
    Mesh<TexturedVertex>* texturedQuad() const { return textureQuad.get(); }
    const Matrix<float, 4, 4>& projection() const { return projectionMatrix; }
    Texture2D* fontTexture() const { return font.get(); }
    Texture2D* maskTexture() const { return masks.get(); }
    const BitmapFontMetrics& fontMetrics() const { return bitmapFontMetrics(); }
    Component::Configurator& configurator();

    // The current offset, clip (meaningful while clipEnabled()), depth layer and its z.
    Vector2 offset() const { return currentOffset; }
    Rect clip() const { return currentClip; }
    bool clipEnabled() const { return clipping; }
    int depth() const { return depthLayer; }
    float depthZ() const { return depthValue(depthLayer); }

private:
    explicit BasicGLRenderer(GlContext* context);
    // Sets (or, for `enabled` false, disables) the scissor test of the current framebuffer.
    void applyScissor(bool enabled);

    GlContext* glContext;
    BasicShader* basic = nullptr;       // the context's
    TextureShader* textured = nullptr;  // the context's
    UniquePtr<RasterMaskShader> rasterMask;
    UniquePtr<Mesh<BasicVertex>> plainQuad;
    UniquePtr<Mesh<TexturedVertex>> textureQuad;
    UniquePtr<Texture2D> font;  // 128 x 128, one 8-bit channel
    UniquePtr<Texture2D> masks; // 64 x 64, one 8-bit channel
    Matrix<float, 4, 4> projectionMatrix = Matrix<float, 4, 4>::identity();
    Vector2 currentOffset;
    Rect currentClip;
    bool clipping = false;
    int depthLayer = 0;
    UniquePtr<BasicTextConfigurator> textConfigurator;
};

// The flat-colour program that draws a single-channel texture as coverage: the fragment takes
// `color` with its alpha times the texture's red channel, and is discarded where that is 0. Used
// for icon masks and the built-in font.
class BasicGLRenderer::RasterMaskShader final : public MeshShader<TexturedVertex> {
public:
    // Null when the program does not build or one of its four uniforms is missing or of another
    // type. Initial values: identity matrices, texture unit 0, colour (1, 1, 1, 1).
    static RasterMaskShader* create(GlContext& context);

    void setTransformation(const Matrix<float, 4, 4>& matrix);
    void setTextureTransformation(const Matrix<float, 3, 3>& matrix);
    void setTextureUnit(int unit);
    void setColor(const Color<float>& rgba);

private:
    struct Uniforms {
        SingleUniform<Matrix<float, 4, 4>>* transformation;
        SingleUniform<Matrix<float, 3, 3>>* texTransform;
        SingleUniform<TextureUnit>* texUnit;
        SingleUniform<Vector<float, 4>>* color;
    };
    RasterMaskShader(MeshShader<TexturedVertex>&& shader, const Uniforms& uniforms);

    Uniforms uniforms;
};

// The renderer's configurator: styles stay as they are; a component without a text object gets a
// new built-in-font text object bound to the renderer.
class BasicGLRenderer::BasicTextConfigurator final : public Component::Configurator {
public:
    explicit BasicTextConfigurator(BasicGLRenderer* renderer) : renderer(renderer) {}

    const Renderer::StyleObject* configureStyle(Component* component, const Renderer::StyleObject* current) override;
    gui::TextObject* configureText(Component* component, gui::TextObject* current) override;

private:
    BasicGLRenderer* renderer;
};

} // namespace orvex::gui
