// BasicGLNativeTextObject: a text object shaped and rasterised by the platform's font engine.
// Layout (lines, size, caret queries) is redone at once by every setter that changes it; the
// pixels are redone at the next draw when the object is stale (new text, alignment, wrap width,
// scale, selection or colours, or its atlas rectangle was taken away): the text is drawn onto
// the atlas surface over the colour set's opaque background and copied into the object's atlas
// slot, then drawn as one textured quad. Destroy it before its atlas and font cache.
// Window thread, with the GL context current for draw.
#pragma once

#include <vector>

#include "gui/render/BasicGLRenderer.h"
#include "gui/text/FontCache.h"
#include "gui/text/NativeTextLayout.h"
#include "gui/text/TextAtlas.h"

#include <array>
#include <string>

namespace orvex::gui {

class BasicGLNativeTextObject final : public BasicGLRenderer::TextObject {
public:
    // The font is acquired from `fonts` for `spec` (at scale 1) right away.
    BasicGLNativeTextObject(FontCache& fonts, TextAtlas& atlas, const FontDescription& spec);
    ~BasicGLNativeTextObject() override;
    BasicGLNativeTextObject(const BasicGLNativeTextObject&) = delete;
    BasicGLNativeTextObject& operator=(const BasicGLNativeTextObject&) = delete;

    // TextObject
    void setText(std::u32string_view text) override;
    void setAlignment(int horizontal, int vertical) override;
    void setWrapWidth(double width) override;
    void setScale(double scale) override;
    int64_t setSelection(TextRange& range) override;
    Rect bounds() const override { return { 0, 0, double(size[0]), double(size[1]) }; }
    const Layout& layout() const override { return lines; }
    void draw(Renderer& renderer, const Matrix<float, 4, 4>& transformation, const ColorSet& colors) override;

    // The colours as rasterised: text, background, selected text, selection background. Each
    // channel v in [0, 1] becomes 255 - floor(255.5 - 255 v); alpha is always opaque.
    static std::array<Bgr, 4> colorBytes(const ColorSet& colors);
    // The matrix a quad of `size` pixels is drawn with: `transformation` with its translation
    // snapped to whole pixels when it neither rotates nor shears, times scale(size).
    static Matrix<float, 4, 4> quadMatrix(const Matrix<float, 4, 4>& transformation, int width, int height);

    bool isStale() const { return stale; }
    const AtlasSlot& atlasSlot() const { return slot; }
    const FontCache::Entry* fontEntry() const { return font; }
    const NativeTextLayout& lineLayout() const { return lines; }

    // Texts rasterised by all native text objects so far (for benchmarks).
    static uint64_t rasterisations() { return rasterisationCount; }

private:
    // Lays the text out again; the object turns stale unless `keepPixelsIfUnchanged` and the
    // lines come out where they were.
    void relayout(bool keepPixelsIfUnchanged = false);
    std::vector<int> geometry() const;
    void rasterize();

    static uint64_t rasterisationCount;

    FontCache& fonts;
    AtlasSlot slot;
    FontDescription spec;
    double scale = 1.0;
    FontCache::Entry* font; // spec with height x scale
    std::u32string text;
    NativeTextLayout lines;
    TextRange selection;
    int alignment[2] = { 0, 0 };
    int wrapWidth = 0; // whole pixels, 0: none
    bool stale = true;
    std::array<Bgr, 4> colors { Bgr { 255, 255, 255 }, Bgr { 0, 0, 0 }, Bgr { 255, 255, 255 }, Bgr { 255, 0, 0 } };
    int size[2] = { 0, 0 };
};

} // namespace orvex::gui
