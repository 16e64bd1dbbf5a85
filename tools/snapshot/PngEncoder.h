// PngEncoder: a PNG file's bytes for an 8-bit RGBA picture, without a compression library: the
// image data is a zlib stream of stored (uncompressed) deflate blocks. Larger files than libpng
// writes, but every decoder reads them; the snapshot tool uses it where libpng is not available.
#pragma once

#include "engine/gl/PixelFormat.h"

#include <cstdint>
#include <string>
#include <string_view>

// The whole file for `image` (8-bit RGBA, top row first); empty when the image is not that.
std::string encodePng(const orvex::Image& image);

// The CRC-32 of PNG chunks and gzip (polynomial 0xEDB88320), continued from `crc`.
uint32_t crc32(std::string_view bytes, uint32_t crc = 0);
