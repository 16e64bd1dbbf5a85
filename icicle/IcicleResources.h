// IcicleResources: the per-context objects both chart programs need, created once per GL context
// and kept in its registry (so every component that draws a chart shares them): the cell and grey
// palettes ("RPT", "RPGT"), the glyph table ("FALB"), the font atlas ("FAT"), RectangleShader and
// LabelShader. Main thread.
#pragma once

#include <vector>

namespace orvex {
class GlContext;
class Texture1D;
class Texture2D;
class TextureBuffer;
}
class RectangleShader;
class LabelShader;

struct IcicleResources {
    orvex::GlContext* context = nullptr;
    RectangleShader* rectangleShader = nullptr;
    LabelShader* labelShader = nullptr;
    orvex::Texture1D* palette = nullptr;
    orvex::Texture1D* greyPalette = nullptr;
    orvex::TextureBuffer* glyphTable = nullptr;
    orvex::Texture2D* atlas = nullptr;
};

// Looks up or creates all six entries in the context's registry; false (and `out` untouched)
// when any of them cannot be created.
bool createIcicleResources(orvex::GlContext& context, IcicleResources& out);

// A chart's own glyph table: the built-in 128 entries, then `pageTable` (9 floats per glyph page
// entry, codes 128 up). Owned by the caller; null when GL cannot make it.
orvex::TextureBuffer* createChartGlyphTable(orvex::GlContext& context, const std::vector<float>& pageTable);
// A glyph page's atlas (RGB8, rows from the bottom, filtered and wrapped as the built-in one).
orvex::Texture2D* createPageAtlas(orvex::GlContext& context, const unsigned char* texels, int width, int height);
