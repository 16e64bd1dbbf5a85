// The renderer's built-in data: the 8 x 15 bitmap font (128 glyphs, generated at build time by
// tools/bitmap-font into BitmapFontData.cpp), its metrics, and the 16 icon masks (drawn by hand in
// RasterMasks.cpp), with the texture images both become and the mask-type table. No GL here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex::gui {

constexpr int BITMAP_GLYPH_COUNT = 128;
constexpr int BITMAP_GLYPH_WIDTH = 8;
constexpr int BITMAP_GLYPH_ROWS = 15;
constexpr int BITMAP_FONT_TEXTURE_SIZE = 128; // 8 bands of 16 glyph cells of 8 x 16
constexpr int RASTER_MASK_COUNT = 16;
constexpr int RASTER_MASK_ROWS = 15;
constexpr int RASTER_MASK_TEXTURE_SIZE = 64; // 4 x 4 cells of 16 x 16

// One byte per row from the top, bit 0 = leftmost pixel; glyph g at g * 15.
extern const uint8_t bitmapFontGlyphs[BITMAP_GLYPH_COUNT * BITMAP_GLYPH_ROWS];
// One 16-bit row per line from the top, bit 0 = leftmost pixel; icon i at i * 15.
extern const uint16_t rasterMaskRows[RASTER_MASK_COUNT * RASTER_MASK_ROWS];

// Glyph geometry in font units (one unit = one glyph column); texture values in texture
// coordinates of the 128 x 128 font texture.
struct BitmapFontMetrics {
    float quadLeft = -0.060546875f; // glyph quad relative to the pen on the baseline
    float quadTop = -1.560546875f;
    float quadRight = 0.935546875f;
    float quadBottom = 0.435546875f;
    float textureLeft = -0.0037841796875f; // glyph rectangle within its cell, from the cell origin
    float textureTop = -0.0037841796875f;
    float textureRight = 0.0584716796875f;
    float textureBottom = 0.1209716796875f;
    float cellWidth = 0.0625f;
    float cellHeight = 0.125f;
    float advance = 1.0f;      // per glyph and per space
    float tabAdvance = 4.0f;
    float lineHeight = 2.0f;   // baseline to baseline
    float ascent = 1.625f;
    float descent = 0.375f;
    int glyphsPerRow = 16;
    int glyphCount = BITMAP_GLYPH_COUNT;

    // The glyph drawn for a code point: above 127 the crossed box, below 0 glyph 0.
    int glyphOf(int64_t codePoint) const
    {
        return codePoint < 0 ? 0 : codePoint >= glyphCount ? glyphCount - 1 : int(codePoint);
    }
};

const BitmapFontMetrics& bitmapFontMetrics();

// The 128 x 128 single-channel font image (row 0 first): glyph g in columns 8 (g mod 16) ... + 7
// and rows 16 floor(g / 16) ... + 14; a set bit becomes 255.
std::vector<uint8_t> bitmapFontImage();
// The 64 x 64 single-channel mask image: icon i in the 16 x 16 cell at column i mod 4, row
// floor(i / 4), rows 0-14.
std::vector<uint8_t> rasterMaskImage();

// The icon a mask type shows under the renderer's state bits (ACTIVE picks the alternative of
// two-state masks), or -1 when the type draws nothing.
int rasterMaskIcon(int maskType, uint32_t state);

// The icon's rectangle in mask-texture coordinates; types 6 and 7 take only rows 4-11 of the cell.
struct MaskTextureRect {
    float left, top, right, bottom;
};
MaskTextureRect rasterMaskTextureRect(int icon, int maskType);

} // namespace orvex::gui
