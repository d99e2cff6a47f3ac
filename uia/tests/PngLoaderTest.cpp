#include <gtest/gtest.h>

#include <zlib.h>

#include "uia/tests/LoaderTestSupport.h"

namespace HA::UIA::TEST {
namespace {

using Alpha = Picture::eAlphaDetection;

// Rows of 2 x 2 pictures; the expected pixels run left to right, top to bottom.
struct PngCase {
    const char* name;
    PngImage image;
    std::vector<uint32_t> expected;
    bool hasAlpha;  // with detection on
};

PngImage image2x2(int colourType, int bitDepth, std::vector<Bytes> rows)
{
    PngImage image;
    image.width = 2;
    image.height = 2;
    image.colourType = colourType;
    image.bitDepth = bitDepth;
    image.rows = std::move(rows);
    return image;
}

std::vector<PngCase> pngCases()
{
    std::vector<PngCase> cases;
    cases.push_back({"Rgb8", image2x2(PNG_COLOR_TYPE_RGB, 8, {{10, 20, 30, 40, 50, 60}, {70, 80, 90, 255, 0, 1}}),
                     {argb(255, 10, 20, 30), argb(255, 40, 50, 60), argb(255, 70, 80, 90), argb(255, 255, 0, 1)},
                     false});
    cases.push_back({"Rgb16StripsToHighBytes",
                     image2x2(PNG_COLOR_TYPE_RGB, 16,
                              {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF, 0, 0, 0x80, 0},
                               {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}),
                     {argb(255, 0x12, 0x56, 0x9A), argb(255, 0xFF, 0, 0x80), argb(255, 1, 3, 5), argb(255, 7, 9, 11)},
                     false});
    cases.push_back({"RgbaPartlyTransparent",
                     image2x2(PNG_COLOR_TYPE_RGB_ALPHA, 8, {{1, 2, 3, 255, 4, 5, 6, 128}, {7, 8, 9, 0, 10, 11, 12, 255}}),
                     {argb(255, 1, 2, 3), argb(128, 4, 5, 6), argb(0, 7, 8, 9), argb(255, 10, 11, 12)},
                     true});
    cases.push_back({"RgbaOpaque",
                     image2x2(PNG_COLOR_TYPE_RGB_ALPHA, 8, {{1, 2, 3, 255, 4, 5, 6, 255}, {7, 8, 9, 255, 10, 11, 12, 255}}),
                     {argb(255, 1, 2, 3), argb(255, 4, 5, 6), argb(255, 7, 8, 9), argb(255, 10, 11, 12)},
                     false});
    cases.push_back({"Gray8", image2x2(PNG_COLOR_TYPE_GRAY, 8, {{0, 100}, {200, 255}}),
                     {argb(255, 0, 0, 0), argb(255, 100, 100, 100), argb(255, 200, 200, 200), argb(255, 255, 255, 255)},
                     false});
    // Two bits per pixel, packed from the high bits: 0, 1, 2, 3.
    cases.push_back({"Gray2", image2x2(PNG_COLOR_TYPE_GRAY, 2, {{0x10}, {0xB0}}),
                     {argb(255, 0, 0, 0), argb(255, 85, 85, 85), argb(255, 170, 170, 170), argb(255, 255, 255, 255)},
                     false});
    cases.push_back({"GrayAlpha16",
                     image2x2(PNG_COLOR_TYPE_GRAY_ALPHA, 16,
                              {{0x40, 0, 0xFF, 0xFF, 0x80, 0, 0x7F, 0}, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}}),
                     {argb(255, 0x40, 0x40, 0x40), argb(0x7F, 0x80, 0x80, 0x80), argb(0, 0, 0, 0), argb(255, 255, 255, 255)},
                     true});
    {
        PngImage image = image2x2(PNG_COLOR_TYPE_GRAY, 8, {{5, 6}, {7, 5}});
        image.transparentColour.gray = 5;
        image.hasTransparentColour = true;
        // The keyed pixels are transparent, so the picture has alpha.
        cases.push_back({"GrayTransparentColour", image,
                         {argb(0, 5, 5, 5), argb(255, 6, 6, 6), argb(255, 7, 7, 7), argb(0, 5, 5, 5)}, true});
    }
    {
        PngImage image = image2x2(PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}});
        image.transparentColour.red = 4;
        image.transparentColour.green = 5;
        image.transparentColour.blue = 6;
        image.hasTransparentColour = true;
        cases.push_back({"RgbTransparentColour", image,
                         {argb(255, 1, 2, 3), argb(0, 4, 5, 6), argb(255, 1, 2, 3), argb(0, 4, 5, 6)}, true});
        image.transparentColour.blue = 7;
        cases.push_back({"RgbTransparentColourOnNoPixel", image,
                         {argb(255, 1, 2, 3), argb(255, 4, 5, 6), argb(255, 1, 2, 3), argb(255, 4, 5, 6)}, false});
    }
    const std::vector<png_color> palette{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
    {
        PngImage image = image2x2(PNG_COLOR_TYPE_PALETTE, 8, {{0, 1}, {2, 3}});
        image.palette = palette;
        cases.push_back({"Palette8",
                         image,
                         {argb(255, 255, 0, 0), argb(255, 0, 255, 0), argb(255, 0, 0, 255), argb(255, 9, 8, 7)},
                         false});
        image.transparency = {255, 64};
        cases.push_back({"Palette8PartlyTransparent",
                         image,
                         {argb(255, 255, 0, 0), argb(64, 0, 255, 0), argb(255, 0, 0, 255), argb(255, 9, 8, 7)},
                         true});
        image.transparency = {255, 255, 255, 255};
        cases.push_back({"Palette8OpaqueTransparency",
                         image,
                         {argb(255, 255, 0, 0), argb(255, 0, 255, 0), argb(255, 0, 0, 255), argb(255, 9, 8, 7)},
                         false});
    }
    {
        // Four bits per index.
        PngImage image = image2x2(PNG_COLOR_TYPE_PALETTE, 4, {{0x32}, {0x10}});
        image.palette = palette;
        image.transparency = {0};
        cases.push_back({"Palette4Transparent",
                         image,
                         {argb(255, 9, 8, 7), argb(255, 0, 0, 255), argb(255, 0, 255, 0), argb(0, 255, 0, 0)},
                         true});
    }
    return cases;
}

TEST(PngLoader, ColourTypesBecomeBgraWithTheirAlphaRule)
{
    for (const PngCase& c : pngCases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = encodePng(c.image);
        Picture picture;
        ASSERT_TRUE(loadBytes(picture, file, eLoader::Png));
        ASSERT_EQ(picture.getWidth(), 2);
        ASSERT_EQ(picture.getHeight(), 2);
        EXPECT_EQ(std::vector<uint32_t>(picture.getPixels(), picture.getPixels() + 4), c.expected);
        EXPECT_EQ(picture.hasAlpha(), c.hasAlpha);

        // Without detection the flag is always cleared.
        Picture undetected;
        undetected.setHasAlpha(true);
        ASSERT_TRUE(loadBytes(undetected, file, eLoader::Png, Alpha::Off));
        EXPECT_FALSE(undetected.hasAlpha());
    }
}

PngImage codedRgba(uint32_t width, uint32_t height, bool interlaced)
{
    PngImage image;
    image.width = width;
    image.height = height;
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    image.interlaced = interlaced;
    for (uint32_t y = 0; y < height; ++y) {
        Bytes row;
        for (uint32_t x = 0; x < width; ++x)
            row.insert(row.end(), {uint8_t(x), uint8_t(y), uint8_t(x ^ y), uint8_t(200 + x)});
        image.rows.push_back(row);
    }
    return image;
}

TEST(PngLoader, InterlacedFileGivesTheSamePixels)
{
    Picture plain;
    Picture interlaced;
    ASSERT_TRUE(loadBytes(plain, encodePng(codedRgba(13, 9, false)), eLoader::Png));
    ASSERT_TRUE(loadBytes(interlaced, encodePng(codedRgba(13, 9, true)), eLoader::Png));
    ASSERT_EQ(interlaced.getWidth(), 13);
    ASSERT_EQ(interlaced.getHeight(), 9);
    EXPECT_EQ(std::vector<uint32_t>(interlaced.getPixels(), interlaced.getPixels() + 13 * 9),
              std::vector<uint32_t>(plain.getPixels(), plain.getPixels() + 13 * 9));
    EXPECT_EQ(pixelAt(plain, 12, 8), argb(212, 12, 8, 12 ^ 8));
}

TEST(PngLoader, TruncatedFilesFail)
{
    const Bytes file = encodePng(codedRgba(16, 16, false));
    for (size_t size : {size_t(0), size_t(8), size_t(20), size_t(33), file.size() / 2, file.size() - 13,
                        file.size() - 1}) {
        SCOPED_TRACE(size);
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, Bytes(file.begin(), file.begin() + long(size)), eLoader::Png));
    }
}

uint32_t crc(const uint8_t* data, size_t size)
{
    return uint32_t(::crc32(::crc32(0, nullptr, 0), data, uInt(size)));
}

void putBig32(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v >> 24);
    at[1] = uint8_t(v >> 16);
    at[2] = uint8_t(v >> 8);
    at[3] = uint8_t(v);
}

TEST(PngLoader, HugeHeaderIsRefusedBeforeAllocating)
{
    // Sizes that libpng accepts but that no picture can hold.
    for (uint32_t side : {60000u, 999999u}) {
        SCOPED_TRACE(side);
        Bytes file = encodePng(codedRgba(4, 4, false));
        // Signature (8), IHDR length and type (8), width and height, then the chunk's CRC.
        putBig32(&file[16], side);
        putBig32(&file[20], side);
        putBig32(&file[29], crc(&file[12], 17));
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, file, eLoader::Png));
        EXPECT_EQ(picture.getBlockSize(), 0);
    }
}

TEST(PngLoader, DeclaredSizeBeyondTheBytesIsRefusedBeforeAllocating)
{
    // Sizes a picture can hold, but far more image data than a few hundred bytes inflate to.
    for (uint32_t side : {4000u, 23000u}) {
        SCOPED_TRACE(side);
        Bytes file = encodePng(codedRgba(4, 4, false));
        putBig32(&file[16], side);
        putBig32(&file[20], side);
        putBig32(&file[29], crc(&file[12], 17));
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, file, eLoader::Png));
        EXPECT_EQ(picture.getBlockSize(), 0);
    }
}

// Plain pictures compress close to deflate's limit: the size check must leave them alone.
TEST(PngLoader, HighlyCompressedPicturesStillLoad)
{
    struct Case {
        const char* name;
        uint32_t width;
        uint32_t height;
        int colourType;
        int bitDepth;
        bool interlaced;
    };
    const Case cases[] = {
        {"Rgba", 2048, 2048, PNG_COLOR_TYPE_RGB_ALPHA, 8, false},
        {"RgbaInterlaced", 1024, 1024, PNG_COLOR_TYPE_RGB_ALPHA, 8, true},
        {"GrayOneBit", 4096, 1024, PNG_COLOR_TYPE_GRAY, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngImage image;
        image.width = c.width;
        image.height = c.height;
        image.colourType = c.colourType;
        image.bitDepth = c.bitDepth;
        image.interlaced = c.interlaced;
        image.compressionLevel = 9;
        const int channels = c.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 1;
        image.rows.assign(c.height, Bytes((size_t(c.width) * channels * c.bitDepth + 7) / 8, 0));
        const Bytes file = encodePng(image);
        Picture picture;
        ASSERT_TRUE(loadBytes(picture, file, eLoader::Png)) << file.size() << " bytes";
        EXPECT_EQ(picture.getWidth(), int(c.width));
        EXPECT_EQ(picture.getHeight(), int(c.height));
    }
}

}  // namespace
}  // namespace HA::UIA::TEST
