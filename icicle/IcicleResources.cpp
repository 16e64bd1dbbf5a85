// createIcicleResources: the get-or-create of the chart's six per-context resources, in a fixed
// order, each under its own registry key. Entries made before a failure stay registered (the
// context owns them), so a later attempt only retries what is missing.
#include "icicle/IcicleResources.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/PixelFormat.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureBuffer.h"
#include "icicle/LabelFont.h"
#include "icicle/LabelShader.h"
#include "icicle/RectangleShader.h"

#include <algorithm>
#include <string_view>
#include <vector>

using namespace orvex;

namespace {

// Registry tags: the two palettes share one; every other entry has its own.
char paletteTag;
char glyphTableTag;
char atlasTag;
char rectangleShaderTag;
char labelShaderTag;

constexpr int STATIC_DRAW = 0;
constexpr int RGB = 3;            // 8-bit RGB
constexpr int RGB_NOT_SRGB = 67; // 8-bit RGB data that is never colour-converted

// Orange, amber, olive, green, teal, blue, violet, magenta.
constexpr unsigned char cellPalette[8 * 3] = {
    112, 45, 0, 112, 84, 0, 112, 112, 0, 0, 101, 0, 0, 108, 82, 0, 90, 116, 66, 32, 117, 112, 0, 66,
};
constexpr unsigned char greyPalette[4 * 3] = { 40, 36, 40, 40, 36, 40, 40, 36, 40, 40, 36, 40 };

// Linear filtering, no mipmaps, repeat wrapping: hue is periodic with period 1.
TextureSettings repeatingLinear()
{
    TextureSettings settings;
    settings.minFilter = 1;
    settings.magFilter = 1;
    settings.mipmaps = 0;
    settings.wrapS = 0;
    settings.wrapT = 0;
    return settings;
}

template <typename T, typename Create>
T* getOrCreate(GlContext& context, GlContext::TypeTag tag, std::string_view key, Create create)
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

Texture1D* palette(GlContext& context, std::string_view key, const unsigned char* texels, int count)
{
    return getOrCreate<Texture1D>(context, &paletteTag, key, [&] {
        ImageView image { PixelFormat { COMPONENT_UINT8, RGB }, texels, count, 1 };
        return context.createTexture1D(image, 0, repeatingLinear());
    });
}

TextureBuffer* glyphTable(GlContext& context)
{
    return getOrCreate<TextureBuffer>(context, &glyphTableTag, "FALB", [&] {
        // 256 entries: codes 128-255 (a chart's glyph page) draw nothing without a page.
        std::vector<Vector<float, 3>> texels(256 * 3);
        for (size_t i = 0; i < 128 * 3; ++i)
            texels[i] = Vector<float, 3> { { labelGlyphTable[3 * i], labelGlyphTable[3 * i + 1], labelGlyphTable[3 * i + 2] } };
        return context.createTextureBuffer(texels, STATIC_DRAW);
    });
}

Texture2D* atlas(GlContext& context)
{
    return getOrCreate<Texture2D>(context, &atlasTag, "FAT", [&] {
        ImageView image { PixelFormat { COMPONENT_UINT8, RGB_NOT_SRGB }, labelAtlas, labelAtlasSize, labelAtlasSize };
        return context.createTexture2D(image, 0, repeatingLinear());
    });
}

} // namespace

TextureBuffer* createChartGlyphTable(GlContext& context, const std::vector<float>& pageTable)
{
    std::vector<Vector<float, 3>> texels(256 * 3);
    for (size_t i = 0; i < 128 * 3; ++i)
        texels[i] = Vector<float, 3> { { labelGlyphTable[3 * i], labelGlyphTable[3 * i + 1], labelGlyphTable[3 * i + 2] } };
    for (size_t i = 0; i < std::min<size_t>(pageTable.size() / 3, 128 * 3); ++i)
        texels[128 * 3 + i] = Vector<float, 3> { { pageTable[3 * i], pageTable[3 * i + 1], pageTable[3 * i + 2] } };
    return context.createTextureBuffer(texels, STATIC_DRAW);
}

Texture2D* createPageAtlas(GlContext& context, const unsigned char* texels, int width, int height)
{
    ImageView image { PixelFormat { COMPONENT_UINT8, RGB_NOT_SRGB }, texels, width, height };
    return context.createTexture2D(image, 0, repeatingLinear());
}

bool createIcicleResources(GlContext& context, IcicleResources& out)
{
    IcicleResources made;
    made.context = &context;
    if (!(made.palette = palette(context, "RPT", cellPalette, 8)))
        return false;
    if (!(made.greyPalette = palette(context, "RPGT", greyPalette, 4)))
        return false;
    if (!(made.glyphTable = glyphTable(context)))
        return false;
    if (!(made.atlas = atlas(context)))
        return false;
    made.rectangleShader = getOrCreate<RectangleShader>(context, &rectangleShaderTag, "",
                                                        [&] { return RectangleShader::create(context); });
    if (!made.rectangleShader)
        return false;
    made.labelShader = getOrCreate<LabelShader>(context, &labelShaderTag, "", [&] { return LabelShader::create(context); });
    if (!made.labelShader)
        return false;
    out = made;
    return true;
}
