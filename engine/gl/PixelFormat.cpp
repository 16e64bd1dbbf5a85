// The pixel format tables. Codes 64 and up mark data that is never sRGB (the flag is ignored);
// codes 130-132 and 140 are depth and depth-stencil formats.
#include "engine/gl/PixelFormat.h"

#include "engine/gl/GlFunctions.h"

namespace orvex {

namespace {

// One row of the internal format table: 8-bit without and with the sRGB flag, float 16 and 32.
struct InternalFormats {
    unsigned linear, srgb, half, full;
};

bool internalFormats(int channelCode, InternalFormats& out)
{
    switch (channelCode) {
    case 1: case 65:
        out = { GL_RED, GL_RED, GL_R16F, GL_R32F };
        return true;
    case 2: case 66:
        out = { GL_RG, GL_RG, GL_RG16F, GL_RG32F };
        return true;
    case 3: case 11:
        out = { GL_RGB, GL_SRGB, GL_RGB16F, GL_RGB32F };
        return true;
    case 67: case 75:
        out = { GL_RGB, GL_RGB, GL_RGB16F, GL_RGB32F };
        return true;
    case 4: case 12: case 36: case 44: case 52: case 60:
        out = { GL_RGBA, GL_SRGB_ALPHA, GL_RGBA16F, GL_RGBA32F };
        return true;
    case 68: case 76: case 100: case 108:
        out = { GL_RGBA, GL_RGBA, GL_RGBA16F, GL_RGBA32F };
        return true;
    case 9:
        out = { GL_LUMINANCE, GL_SLUMINANCE, GL_LUMINANCE16F_ARB, GL_LUMINANCE32F_ARB };
        return true;
    case 73:
        out = { GL_LUMINANCE, GL_LUMINANCE, GL_LUMINANCE16F_ARB, GL_LUMINANCE32F_ARB };
        return true;
    case 10: case 42: case 58:
        out = { GL_LUMINANCE_ALPHA, GL_SLUMINANCE_ALPHA, GL_LUMINANCE_ALPHA16F_ARB, GL_LUMINANCE_ALPHA32F_ARB };
        return true;
    case 74: case 106:
        out = { GL_LUMINANCE_ALPHA, GL_LUMINANCE_ALPHA, GL_LUMINANCE_ALPHA16F_ARB, GL_LUMINANCE_ALPHA32F_ARB };
        return true;
    case 17:
        out = { GL_ALPHA, GL_ALPHA, GL_ALPHA16F_ARB, GL_ALPHA32F_ARB };
        return true;
    case 130:
        out = { GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT32F };
        return true;
    case 131:
        out = { GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT32F };
        return true;
    case 132:
        out = { GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT32F };
        return true;
    case 140:
        out = { GL_DEPTH24_STENCIL8, GL_DEPTH24_STENCIL8, GL_DEPTH32F_STENCIL8, GL_DEPTH32F_STENCIL8 };
        return true;
    default:
        return false;
    }
}

} // namespace

size_t PixelFormat::componentSize() const
{
    switch (componentType) {
    case COMPONENT_UINT8: return 1;
    case COMPONENT_FLOAT32: return 4;
    default: return 0;
    }
}

unsigned transferFormat(int channelCode)
{
    switch (channelCode) {
    case 1: case 65: return GL_RED;
    case 2: case 66: return GL_RG;
    case 3: case 67: return GL_RGB;
    case 4: case 36: case 52: case 68: case 100: return GL_RGBA;
    case 9: case 73: return GL_LUMINANCE;
    case 10: case 42: case 58: case 74: case 106: return GL_LUMINANCE_ALPHA;
    case 11: case 75: return GL_BGR;
    case 12: case 44: case 60: case 76: case 108: return GL_BGRA;
    case 17: return GL_ALPHA;
    case 130: case 131: case 132: return GL_DEPTH_COMPONENT;
    case 140: return GL_DEPTH_STENCIL;
    default: return 0;
    }
}

unsigned transferType(int componentType)
{
    switch (componentType) {
    case COMPONENT_UINT8: return GL_UNSIGNED_BYTE;
    case COMPONENT_FLOAT32: return GL_FLOAT;
    default: return 0;
    }
}

unsigned internalFormat(PixelFormat format, int formatFlags)
{
    InternalFormats row;
    if (!internalFormats(format.channelCode, row))
        return 0;
    switch (format.componentType) {
    case COMPONENT_UINT8: return formatFlags & FORMAT_SRGB ? row.srgb : row.linear;
    case COMPONENT_FLOAT32: return formatFlags & FORMAT_HALF_FLOAT ? row.half : row.full;
    default: return 0;
    }
}

Image::Image(PixelFormat format, int width, int height)
    : pixelFormat(format), columns(width < 0 ? 0 : width), rows(height < 0 ? 0 : height)
{
    pixels.resize(size_t(columns) * size_t(rows) * format.pixelSize());
}

bool Image::relabel(int channelCode)
{
    if ((channelCode & 7) != pixelFormat.channels())
        return false;
    pixelFormat.channelCode = channelCode;
    return true;
}

} // namespace orvex
