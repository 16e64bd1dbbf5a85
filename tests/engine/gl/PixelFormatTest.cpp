// Pixel formats without GL: the transfer and internal format tables (rows that differ by a flag
// or by the never-sRGB codes are where a slip would go unnoticed until colours look wrong), image
// sizes and relabelling, and the buffer usage codes.
#include "engine/gl/BufferObject.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/PixelFormat.h"

#include <gtest/gtest.h>

using namespace orvex;

TEST(PixelFormatTest, TransferFormatsByChannelCode)
{
    struct Row { const char* name; int code; unsigned format; };
    const Row rows[] = {
        { "red", 1, GL_RED },          { "red never sRGB", 65, GL_RED },
        { "rgb", 3, GL_RGB },          { "rgb never sRGB", 67, GL_RGB },
        { "rgba variant 36", 36, GL_RGBA }, { "rgba variant 100", 100, GL_RGBA },
        { "luminance", 73, GL_LUMINANCE }, { "luminance alpha", 106, GL_LUMINANCE_ALPHA },
        { "bgr", 11, GL_BGR },         { "bgra never sRGB", 108, GL_BGRA },
        { "alpha", 17, GL_ALPHA },     { "depth 24", 131, GL_DEPTH_COMPONENT },
        { "depth stencil", 140, GL_DEPTH_STENCIL },
        { "unknown 5", 5, 0u },        { "unknown 133", 133, 0u },
    };
    for (const Row& row : rows)
        EXPECT_EQ(transferFormat(row.code), row.format) << row.name;
}

TEST(PixelFormatTest, InternalFormatsFollowTypeAndFlags)
{
    constexpr int U8 = COMPONENT_UINT8, F32 = COMPONENT_FLOAT32;
    struct Row { const char* name; int type; int code; int flags; unsigned format; };
    const Row rows[] = {
        { "rgb linear", U8, 3, 0, GL_RGB },
        { "rgb sRGB", U8, 3, FORMAT_SRGB, GL_SRGB },
        { "bgr sRGB", U8, 11, FORMAT_SRGB, GL_SRGB },
        { "never-sRGB rgb ignores the flag", U8, 67, FORMAT_SRGB, GL_RGB },
        { "rgba sRGB", U8, 44, FORMAT_SRGB, GL_SRGB_ALPHA },
        { "never-sRGB rgba ignores the flag", U8, 100, FORMAT_SRGB, GL_RGBA },
        { "red ignores sRGB", U8, 1, FORMAT_SRGB, GL_RED },
        { "luminance sRGB", U8, 9, FORMAT_SRGB, GL_SLUMINANCE },
        { "never-sRGB luminance", U8, 73, FORMAT_SRGB, GL_LUMINANCE },
        { "luminance alpha sRGB", U8, 58, FORMAT_SRGB, GL_SLUMINANCE_ALPHA },
        { "8-bit ignores the half flag", U8, 4, FORMAT_HALF_FLOAT, GL_RGBA },
        { "float ignores sRGB", F32, 3, FORMAT_SRGB, GL_RGB32F },
        { "float half", F32, 3, FORMAT_HALF_FLOAT, GL_RGB16F },
        { "float rgba", F32, 76, 0, GL_RGBA32F },
        { "float luminance half", F32, 73, FORMAT_HALF_FLOAT, GL_LUMINANCE16F_ARB },
        { "float luminance alpha", F32, 74, 0, GL_LUMINANCE_ALPHA32F_ARB },
        { "float alpha half", F32, 17, FORMAT_HALF_FLOAT, GL_ALPHA16F_ARB },
        { "depth 16", U8, 130, 0, GL_DEPTH_COMPONENT16 },
        { "depth 32", U8, 132, FORMAT_SRGB, GL_DEPTH_COMPONENT32 },
        { "float depth, half or not", F32, 131, FORMAT_HALF_FLOAT, GL_DEPTH_COMPONENT32F },
        { "depth stencil", U8, 140, 0, GL_DEPTH24_STENCIL8 },
        { "float depth stencil", F32, 140, 0, GL_DEPTH32F_STENCIL8 },
        { "unknown channel code", U8, 13, 0, 0u },
        { "unknown component type", 2, 4, 0, 0u },
    };
    for (const Row& row : rows)
        EXPECT_EQ(internalFormat(PixelFormat { row.type, row.code }, row.flags), row.format) << row.name;
}

TEST(PixelFormatTest, ImageHoldsWidthHeightChannelsAndComponentBytes)
{
    struct Row { const char* name; PixelFormat format; int width, height; size_t bytes; };
    const Row rows[] = {
        { "8-bit rgb", { COMPONENT_UINT8, 3 }, 5, 3, 45 },
        { "float rgba", { COMPONENT_FLOAT32, 4 }, 2, 2, 64 },
        { "luminance alpha counts two channels", { COMPONENT_UINT8, 42 }, 4, 1, 8 },
        { "unknown component type allocates nothing", { 7, 4 }, 8, 8, 0 },
        { "negative size is empty", { COMPONENT_UINT8, 4 }, -4, 4, 0 },
    };
    for (const Row& row : rows) {
        Image image(row.format, row.width, row.height);
        EXPECT_EQ(image.byteSize(), row.bytes) << row.name;
        EXPECT_EQ(image.view().data == nullptr, row.bytes == 0) << row.name;
    }
}

TEST(PixelFormatTest, RelabelKeepsTheChannelCount)
{
    Image image({ COMPONENT_UINT8, 3 }, 2, 2);
    EXPECT_TRUE(image.relabel(11)) << "RGB to BGR: three channels both";
    EXPECT_EQ(image.format().channelCode, 11);
    EXPECT_FALSE(image.relabel(4)) << "three channels cannot become four";
    EXPECT_EQ(image.format().channelCode, 11);
    EXPECT_EQ(image.byteSize(), 12u);
}

TEST(BufferObjectTest, UsageCodes)
{
    const unsigned expected[] = { GL_STATIC_DRAW, GL_DYNAMIC_DRAW, GL_STREAM_DRAW, GL_STATIC_READ, GL_DYNAMIC_READ,
                                  GL_STREAM_READ, GL_STATIC_COPY, GL_DYNAMIC_COPY, GL_STREAM_COPY };
    for (int code = 0; code < 9; ++code)
        EXPECT_EQ(bufferUsage(code), expected[code]) << "code " << code;
    EXPECT_EQ(bufferUsage(9), unsigned(GL_STATIC_DRAW)) << "codes past the table are static draw";
    EXPECT_EQ(bufferUsage(-1), unsigned(GL_STATIC_DRAW));
}
