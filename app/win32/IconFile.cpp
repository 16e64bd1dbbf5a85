// .ico layout: ICONDIR (reserved 0, type 1, count), one 16-byte ICONDIRENTRY per image (width and
// height as a byte, 0 meaning 256; no palette; 1 plane; 32 bits; byte size; file offset), then the
// images in entry order. All fields little-endian.
#include "app/win32/IconFile.h"

#include <cstdint>

namespace {

void put16(std::string& out, uint32_t value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

size_t maskRowBytes(int width) { return size_t((width + 31) / 32) * 4; }

size_t imageBytes(const orvex::Window::Icon& image)
{
    return 40 + size_t(image.width) * size_t(image.height) * 4 + maskRowBytes(image.width) * size_t(image.height);
}

// BITMAPINFOHEADER, the colour rows and the mask rows, both bottom-up.
void putImage(std::string& out, const orvex::Window::Icon& image)
{
    const int w = image.width;
    const int h = image.height;
    put32(out, 40);
    put32(out, uint32_t(w));
    put32(out, uint32_t(2 * h)); // colour bitmap and mask stacked
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // BI_RGB
    put32(out, uint32_t(imageBytes(image) - 40));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const uint8_t* row = image.rgba.data() + size_t(y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = row + size_t(x) * 4;
            out += char(p[2]);
            out += char(p[1]);
            out += char(p[0]);
            out += char(p[3]);
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        std::string mask(maskRowBytes(w), '\0');
        const uint8_t* row = image.rgba.data() + size_t(y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x)
            if (row[size_t(x) * 4 + 3] == 0)
                mask[size_t(x) / 8] = char(uint8_t(mask[size_t(x) / 8]) | (0x80u >> (x % 8)));
        out += mask;
    }
}

} // namespace

std::string encodeIcoFile(const std::vector<orvex::Window::Icon>& images)
{
    if (images.empty() || images.size() > 0xFFFF)
        return {};
    for (const orvex::Window::Icon& image : images)
        if (image.width != image.height || image.width < 1 || image.width > 256
            || image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)
            return {};
    std::string out;
    put16(out, 0);
    put16(out, 1);
    put16(out, uint32_t(images.size()));
    size_t offset = 6 + 16 * images.size();
    for (const orvex::Window::Icon& image : images) {
        out += char(image.width == 256 ? 0 : image.width);
        out += char(image.height == 256 ? 0 : image.height);
        out += char(0);
        out += char(0);
        put16(out, 1);
        put16(out, 32);
        put32(out, uint32_t(imageBytes(image)));
        put32(out, uint32_t(offset));
        offset += imageBytes(image);
    }
    for (const orvex::Window::Icon& image : images)
        putImage(out, image);
    return out;
}
