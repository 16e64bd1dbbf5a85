// The built-in font's metrics and the font texture image built from the generated glyph rows.
#include "gui/render/BitmapFont.h"

namespace orvex::gui {

const BitmapFontMetrics& bitmapFontMetrics()
{
    static const BitmapFontMetrics metrics;
    return metrics;
}

std::vector<uint8_t> bitmapFontImage()
{
    constexpr int size = BITMAP_FONT_TEXTURE_SIZE;
    std::vector<uint8_t> image(size_t(size) * size, 0);
    for (int glyph = 0; glyph < BITMAP_GLYPH_COUNT; ++glyph) {
        int left = BITMAP_GLYPH_WIDTH * (glyph % 16);
        int top = 16 * (glyph / 16); // row 15 of each band stays empty
        for (int y = 0; y < BITMAP_GLYPH_ROWS; ++y) {
            uint8_t bits = bitmapFontGlyphs[glyph * BITMAP_GLYPH_ROWS + y];
            for (int x = 0; x < BITMAP_GLYPH_WIDTH; ++x)
                if (bits & (1u << x))
                    image[size_t(top + y) * size + size_t(left + x)] = 255;
        }
    }
    return image;
}

} // namespace orvex::gui
