// Pixel data on the CPU side of textures: PixelFormat (component type and channel code), Image
// (owned pixels), ImageView (borrowed pixels, may be null), TextureSettings (sampling chosen at
// creation), and the tables mapping a format to GL's transfer and internal formats.
#pragma once

#include "engine/core/Math.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex {

// Component types.
constexpr int COMPONENT_UINT8 = 0;
constexpr int COMPONENT_FLOAT32 = 1;

// Format flags of texture uploads.
constexpr int FORMAT_SRGB = 0x1;       // sRGB internal format for 8-bit colour data
constexpr int FORMAT_HALF_FLOAT = 0x2; // 16-bit instead of 32-bit float storage

struct PixelFormat {
    int componentType = COMPONENT_UINT8;
    int channelCode = 4; // RGBA; the low three bits are the channel count

    int channels() const { return channelCode & 7; }
    // Bytes per component: 1, 4, or 0 for a type the engine does not know.
    size_t componentSize() const;
    size_t pixelSize() const { return size_t(channels()) * componentSize(); }
    bool operator==(const PixelFormat&) const = default;
};

// GL pixel transfer format of a channel code (GL_RGB, GL_BGRA, ...), 0 for an unknown code.
unsigned transferFormat(int channelCode);
// GL_UNSIGNED_BYTE or GL_FLOAT, 0 for an unknown component type.
unsigned transferType(int componentType);
// GL internal format for storing `format` with the format flags, 0 when there is none.
unsigned internalFormat(PixelFormat format, int formatFlags);

// Pixels somebody else owns, tightly packed rows, the first row being the texture's row 0.
struct ImageView {
    PixelFormat format;
    const void* data = nullptr; // null: storage without content
    int width = 0;
    int height = 0;
};

class Image {
public:
    Image() = default;
    // Zero-filled pixels; negative sizes count as 0.
    Image(PixelFormat format, int width, int height);

    // Gives the pixels another channel code with the same channel count; false (and unchanged)
    // when the count would differ.
    bool relabel(int channelCode);

    PixelFormat format() const { return pixelFormat; }
    int width() const { return columns; }
    int height() const { return rows; }
    uint8_t* data() { return pixels.data(); }
    const uint8_t* data() const { return pixels.data(); }
    size_t byteSize() const { return pixels.size(); }
    ImageView view() const { return { pixelFormat, pixels.empty() ? nullptr : pixels.data(), columns, rows }; }

private:
    PixelFormat pixelFormat;
    std::vector<uint8_t> pixels;
    int columns = 0;
    int rows = 0;
};

struct TextureSettings {
    int minFilter = 1;       // 0 nearest, 1 linear
    int magFilter = 1;       // 0 nearest, otherwise linear
    int mipmaps = 0;         // 0 none, 1 nearest level, 2 linear between levels
    int anisotropy = 0;      // 0 keeps the driver default; clamped to [1, maxAnisotropy]
    float lodBias = 0.0f;    // 0 keeps the driver default
    int wrapS = 0;           // 0 repeat, 1 clamp to edge, 2 clamp to border, 3 mirrored repeat
    int wrapT = 0;           // as wrapS
    Color<float> borderColor; // used with wrap 2
};

} // namespace orvex
