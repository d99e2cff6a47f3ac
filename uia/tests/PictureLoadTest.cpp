#include <gtest/gtest.h>

#include <random>

#include "uia/tests/LoaderTestSupport.h"

namespace HA::UIA::TEST {
namespace {

Bytes tgaFile()
{
    // 2 x 2, 32 bits, run-length, bottom row first.
    return {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0, 0x81, 1, 2, 3, 255, 0x01, 4, 5, 6, 128, 7, 8, 9, 0};
}

Bytes pngFile()
{
    PngImage image;
    image.width = 8;
    image.height = 8;
    image.colourType = PNG_COLOR_TYPE_PALETTE;
    image.bitDepth = 4;
    image.interlaced = true;
    image.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {1, 2, 3}};
    image.transparency = {255, 0, 128};
    for (int y = 0; y < 8; ++y)
        image.rows.push_back({uint8_t(y & 3), 0x12, 0x30, uint8_t(0x21 + y % 2)});
    return encodePng(image);
}

Bytes pngFile16()
{
    PngImage image;
    image.width = 5;
    image.height = 3;
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    image.bitDepth = 16;
    for (int y = 0; y < 3; ++y) {
        Bytes row;
        for (int i = 0; i < 5 * 8; ++i)
            row.push_back(uint8_t(i * 31 + y));
        image.rows.push_back(row);
    }
    return encodePng(image);
}

Bytes jpegFile(bool withProfile)
{
    JpegImage image;
    image.width = 16;
    image.height = 9;
    image.input = JCS_RGB;
    image.file = withProfile ? JCS_RGB : JCS_YCbCr;
    for (uint32_t i = 0; i < 16 * 9 * 3; ++i)
        image.pixels.push_back(uint8_t(i * 13));
    if (withProfile)
        image.app2 = iccMarkers(sRGBProfile(), 2, {{1, 2}, {2, 2}});
    return encodeJpeg(image);
}

TEST(PictureLoad, EachFormatIsFoundFromTheStoragePosition)
{
    const struct {
        const char* name;
        Bytes file;
        int width;
        int height;
    } cases[] = {
        {"Png", pngFile(), 8, 8},
        {"Jpeg", jpegFile(false), 16, 9},
        {"Tga", tgaFile(), 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes{'j', 'u', 'n', 'k'};
        bytes.insert(bytes.end(), c.file.begin(), c.file.end());
        Picture picture;
        ASSERT_TRUE(loadBytes(picture, bytes, eLoader::Any, Picture::eAlphaDetection::On, 4));
        EXPECT_EQ(picture.getWidth(), c.width);
        EXPECT_EQ(picture.getHeight(), c.height);
    }
}

TEST(PictureLoad, TargaComesLastAndTakesWhatTheOthersRefuse)
{
    Picture picture;
    ASSERT_TRUE(loadBytes(picture, tgaFile()));
    EXPECT_EQ(std::vector<uint32_t>(picture.getPixels(), picture.getPixels() + 4),
              (std::vector<uint32_t>{argb(128, 6, 5, 4), argb(0, 9, 8, 7), argb(255, 3, 2, 1), argb(255, 3, 2, 1)}));
    EXPECT_TRUE(picture.hasAlpha());

    Picture none;
    EXPECT_FALSE(loadBytes(none, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}));
    EXPECT_FALSE(loadBytes(none, Bytes{}));

    GP::Stream withoutStorage;
    EXPECT_FALSE(none.load(withoutStorage, 0, Picture::eAlphaDetection::On));
}

// Flipped bytes and cut files must never crash, read or write outside their buffers, or give
// a picture whose size disagrees with its block.
TEST(PictureLoad, MutatedFilesLoadSafely)
{
    const std::vector<Bytes> files{pngFile(), pngFile16(), jpegFile(false), jpegFile(true), tgaFile()};
    std::mt19937 random(20261210);
    int loaded = 0;
    for (int round = 0; round < 600; ++round) {
        for (const Bytes& original : files) {
            Bytes file = original;
            const int flips = std::uniform_int_distribution<int>(0, 4)(random);
            for (int i = 0; i < flips; ++i)
                file[random() % file.size()] ^= uint8_t(1 + random() % 255);
            if (flips == 0 || random() % 3 == 0)
                file.resize(random() % file.size());
            Picture picture;
            if (!loadBytes(picture, file))
                continue;
            ++loaded;
            ASSERT_GE(picture.getWidth(), 0);
            ASSERT_GE(picture.getHeight(), 0);
            ASSERT_NE(picture.getPixels(), nullptr);
            ASSERT_LE(int64_t(picture.getWidth()) * picture.getHeight() * 4 + picture.getHeaderSize(),
                      int64_t(picture.getBlockSize()));
        }
    }
    // Some mutations leave a loadable file, so both outcomes were exercised.
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace HA::UIA::TEST
