// The stored-block PNG encoder: libpng must read its files back to the same pixels, at sizes that
// fit one deflate block, need several, and fill several IDAT chunks.
#include "tools/snapshot/PngEncoder.h"
#include "tools/snapshot/PngFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>

namespace {

TEST(PngEncoder, LibpngReadsBackTheSamePixels)
{
    char folder[] = "/tmp/velbrin-png-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::mt19937 random(7);
    const struct {
        int width, height;
    } sizes[] = { { 1, 1 }, { 3, 2 }, { 300, 250 }, { 700, 500 } }; // 1 block; 5 blocks; 2 chunks
    for (const auto& size : sizes) {
        orvex::Image image({ orvex::COMPONENT_UINT8, 4 }, size.width, size.height);
        for (size_t i = 0; i < image.byteSize(); ++i)
            image.data()[i] = uint8_t(random());
        const std::string bytes = encodePng(image);
        const std::string path = std::string(folder) + "/picture.png";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);

        orvex::Image back;
        std::string error;
        ASSERT_TRUE(readPng(path, back, error)) << size.width << "x" << size.height << ": " << error;
        ASSERT_EQ(back.width(), size.width);
        ASSERT_EQ(back.height(), size.height);
        EXPECT_EQ(0, std::memcmp(back.data(), image.data(), image.byteSize())) << size.width << "x" << size.height;
        std::remove(path.c_str());
    }
    rmdir(folder);
}

TEST(PngEncoder, RefusesWhatIsNotRgba8AndKnowsTheCrc)
{
    EXPECT_TRUE(encodePng(orvex::Image()).empty());
    EXPECT_TRUE(encodePng(orvex::Image({ orvex::COMPONENT_UINT8, 3 }, 2, 2)).empty());
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u); // the check value of CRC-32
}

} // namespace
