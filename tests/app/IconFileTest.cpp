// The .ico writer: directory entries that add up, the DIB of each size bottom-up in BGRA with its
// AND mask (padded rows, set only where the pixel is fully transparent), and what it refuses.
#include "app/win32/IconFile.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

uint32_t u16(const std::string& b, size_t at) { return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8; }
uint32_t u32(const std::string& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

orvex::Window::Icon square(int size)
{
    orvex::Window::Icon icon;
    icon.width = icon.height = size;
    for (int i = 0; i < size * size; ++i)
        icon.rgba.insert(icon.rgba.end(), { uint8_t(i), uint8_t(i * 3), uint8_t(i * 7), uint8_t(i == 1 ? 0 : 200 + i % 50) });
    return icon;
}

TEST(IconFile, EntriesAndImagesAreLaidOutAsTheLoaderReadsThem)
{
    const std::vector<orvex::Window::Icon> images { square(3), square(256) };
    const std::string file = encodeIcoFile(images);
    ASSERT_GE(file.size(), 6u + 32u);
    EXPECT_EQ(u16(file, 0), 0u);
    EXPECT_EQ(u16(file, 2), 1u); // an icon, not a cursor
    ASSERT_EQ(u16(file, 4), 2u);
    EXPECT_EQ(uint8_t(file[6]), 3);
    EXPECT_EQ(uint8_t(file[6 + 16]), 0); // 256 is written as 0

    size_t expectedOffset = 6 + 2 * 16;
    for (size_t i = 0; i < images.size(); ++i) {
        const size_t entry = 6 + 16 * i;
        const int size = images[i].width;
        const size_t maskRow = size_t((size + 31) / 32) * 4;
        EXPECT_EQ(u16(file, entry + 4), 1u);
        EXPECT_EQ(u16(file, entry + 6), 32u);
        EXPECT_EQ(u32(file, entry + 12), expectedOffset) << "entry " << i;
        EXPECT_EQ(u32(file, entry + 8), 40 + size_t(size) * size * 4 + maskRow * size) << "entry " << i;
        const size_t dib = expectedOffset;
        EXPECT_EQ(u32(file, dib), 40u);
        EXPECT_EQ(u32(file, dib + 4), uint32_t(size));
        EXPECT_EQ(u32(file, dib + 8), uint32_t(2 * size)); // colour and mask stacked
        EXPECT_EQ(u16(file, dib + 14), 32u);
        expectedOffset += u32(file, entry + 8);
    }
    EXPECT_EQ(file.size(), expectedOffset);

    // The 3 x 3 image: its top row is the DIB's last, pixels as B, G, R, A.
    const size_t pixels = 6 + 2 * 16 + 40;
    const orvex::Window::Icon& small = images[0];
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const size_t at = pixels + size_t((2 - y) * 3 + x) * 4;
            const uint8_t* rgba = &small.rgba[size_t(y * 3 + x) * 4];
            EXPECT_EQ(uint8_t(file[at]), rgba[2]);
            EXPECT_EQ(uint8_t(file[at + 1]), rgba[1]);
            EXPECT_EQ(uint8_t(file[at + 2]), rgba[0]);
            EXPECT_EQ(uint8_t(file[at + 3]), rgba[3]);
        }
    // The mask: one 4-byte row per line, bottom-up; only pixel (1, 0), transparent, is set.
    const size_t mask = pixels + 9 * 4;
    for (size_t k = 0; k < 12; ++k)
        EXPECT_EQ(uint8_t(file[mask + k]), k == 8 ? 0x40 : 0) << "mask byte " << k;
}

TEST(IconFile, RefusesWhatNoIconEntryCanHold)
{
    orvex::Window::Icon wide = square(4);
    wide.width = 8;
    wide.height = 2;
    orvex::Window::Icon truncated = square(4);
    truncated.rgba.pop_back();
    const std::vector<std::vector<orvex::Window::Icon>> refused {
        {}, { square(0) }, { square(257) }, { wide }, { square(16), truncated },
    };
    for (size_t i = 0; i < refused.size(); ++i)
        EXPECT_TRUE(encodeIcoFile(refused[i]).empty()) << "case " << i;
}

} // namespace
