#include <gtest/gtest.h>

#include "gp/src/common/storage/RangeLimitingStorage.h"
#include "uia/tests/LoaderTestSupport.h"

namespace HA::UIA::TEST {
namespace {

using Alpha = Picture::eAlphaDetection;

Bytes tgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
                uint8_t idLength = 0, uint16_t mapLength = 0, uint8_t mapEntryBits = 0)
{
    return {idLength, uint8_t(mapLength != 0 ? 1 : 0), type, 0, 0, uint8_t(mapLength), uint8_t(mapLength >> 8),
            mapEntryBits, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8),
            depth, descriptor};
}

Bytes join(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct TgaCase {
    const char* name;
    Bytes file;
    int width;
    int height;
    std::vector<uint32_t> expected;
    bool hasAlpha;  // with detection on
};

std::vector<TgaCase> tgaCases()
{
    return {
        {"Depth16", join(tgaHeader(2, 3, 1, 16, 0x20), {0xFF, 0x7F, 0, 0, 0x1F, 0x80}), 3, 1,
         {0xFFF8F8F8u, 0u, argb(255, 0, 0, 0xF8)}, true},
        {"Depth16Opaque", join(tgaHeader(2, 2, 1, 16, 0x20), {0x00, 0x7C, 0xE0, 0x03}), 2, 1,
         {argb(255, 0xF8, 0, 0), argb(255, 0, 0xF8, 0)}, false},
        {"Depth24TopFirst", join(tgaHeader(2, 2, 2, 24, 0x20), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), 2, 2,
         {argb(255, 3, 2, 1), argb(255, 6, 5, 4), argb(255, 9, 8, 7), argb(255, 12, 11, 10)}, false},
        {"Depth24BottomFirstIsFlipped", join(tgaHeader(2, 2, 2, 24, 0), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), 2, 2,
         {argb(255, 9, 8, 7), argb(255, 12, 11, 10), argb(255, 3, 2, 1), argb(255, 6, 5, 4)}, false},
        // 16 and 24 bits are read uncompressed even in type 10.
        {"Type10Depth24IsRaw", join(tgaHeader(10, 1, 1, 24, 0x20), {1, 2, 3}), 1, 1, {argb(255, 3, 2, 1)}, false},
        {"Depth32", join(tgaHeader(2, 2, 1, 32, 0x20), {1, 2, 3, 255, 4, 5, 6, 0x80}), 2, 1,
         {argb(255, 3, 2, 1), argb(0x80, 6, 5, 4)}, true},
        {"Depth32Opaque", join(tgaHeader(2, 1, 1, 32, 0x20), {1, 2, 3, 255}), 1, 1, {argb(255, 3, 2, 1)}, false},
        {"RunPacketRepeatsFour", join(tgaHeader(10, 5, 1, 32, 0x20), {0x83, 1, 2, 3, 255, 0x00, 4, 5, 6, 7}), 5, 1,
         {argb(255, 3, 2, 1), argb(255, 3, 2, 1), argb(255, 3, 2, 1), argb(255, 3, 2, 1), argb(7, 6, 5, 4)}, true},
        {"RawPacketThenRunAcrossRows",
         join(tgaHeader(10, 2, 2, 32, 0), {0x01, 1, 1, 1, 255, 2, 2, 2, 255, 0x81, 3, 3, 3, 255}), 2, 2,
         {argb(255, 3, 3, 3), argb(255, 3, 3, 3), argb(255, 1, 1, 1), argb(255, 2, 2, 2)}, false},
        // A run beyond the last pixel is cut there.
        {"OverlongRunIsCut", join(tgaHeader(10, 2, 1, 32, 0x20), {0xFF, 9, 8, 7, 255}), 2, 1,
         {argb(255, 7, 8, 9), argb(255, 7, 8, 9)}, false},
        {"OverlongRawPacketIsCut", join(tgaHeader(10, 1, 1, 32, 0x20), {0x01, 9, 8, 7, 255, 1, 1, 1, 1}), 1, 1,
         {argb(255, 7, 8, 9)}, false},
        {"IdAndColourMapAreSkipped",
         join(tgaHeader(2, 1, 1, 24, 0x20, 3, 2, 15), {'a', 'b', 'c', 0xEE, 0xEE, 0xEE, 0xEE, 1, 2, 3}), 1, 1,
         {argb(255, 3, 2, 1)}, false},
        {"Empty", tgaHeader(2, 0, 0, 24, 0x20), 0, 0, {}, false},
    };
}

TEST(TgaLoader, TypesAndDepthsBecomeBgra)
{
    for (const TgaCase& c : tgaCases()) {
        SCOPED_TRACE(c.name);
        Picture picture;
        ASSERT_TRUE(loadBytes(picture, c.file, eLoader::Tga));
        ASSERT_EQ(picture.getWidth(), c.width);
        ASSERT_EQ(picture.getHeight(), c.height);
        EXPECT_EQ(std::vector<uint32_t>(picture.getPixels(), picture.getPixels() + c.width * c.height), c.expected);
        EXPECT_EQ(picture.hasAlpha(), c.hasAlpha);

        Picture undetected;
        undetected.setHasAlpha(true);
        ASSERT_TRUE(loadBytes(undetected, c.file, eLoader::Tga, Alpha::Off));
        EXPECT_TRUE(undetected.hasAlpha());
    }
}

TEST(TgaLoader, RefusedHeaders)
{
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"ColourMappedType", join(tgaHeader(1, 1, 1, 24, 0x20), {1, 2, 3})},
        {"GrayType", join(tgaHeader(3, 1, 1, 24, 0x20), {1, 2, 3})},
        {"Depth8", join(tgaHeader(2, 1, 1, 8, 0x20), {1})},
        {"ShortHeader", Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
        {"IdBeyondTheEnd", tgaHeader(2, 0, 0, 24, 0x20, 200)},
        // Far more pixels than bytes: refused before the picture is allocated.
        {"HugeUncompressed", join(tgaHeader(2, 65535, 65535, 32, 0x20), {1, 2, 3, 4})},
        {"HugeRunLength", join(tgaHeader(10, 40000, 40000, 32, 0x20), {0xFF, 1, 2, 3, 4})},
        {"PixelDataShort", join(tgaHeader(2, 2, 2, 24, 0x20), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        EXPECT_FALSE(loadBytes(picture, c.file, eLoader::Tga));
        EXPECT_EQ(picture.getBlockSize(), 0);
    }
}

// A window onto the file's bytes; a window that claims more bytes than lie under it cannot
// reach its end, so the loader cannot tell what is left and reads what is there.
TEST(TgaLoader, WindowsOntoTheFileLoad)
{
    const Bytes file = join(tgaHeader(2, 2, 1, 24, 0x20), {1, 2, 3, 4, 5, 6});
    const struct {
        const char* name;
        uint32_t length;
    } cases[] = {
        {"ToTheEnd", 0},
        {"ExactLength", uint32_t(file.size())},
        {"LongerThanTheBytes", uint32_t(file.size()) + 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GP::MemoryStorage bytes;
        bytes.attachReadOnly(file.data(), uint32_t(file.size()));
        GP::RangeLimitingStorage window;
        ASSERT_TRUE(window.open(&bytes, 0, c.length, GP::RangeLimitingStorage::eOwnership::Borrowed));
        GP::Stream stream(&window);
        Picture picture;
        ASSERT_TRUE(picture.loadTGA(stream, 0, Alpha::On));
        ASSERT_EQ(picture.getWidth(), 2);
        EXPECT_EQ(std::vector<uint32_t>(picture.getPixels(), picture.getPixels() + 2),
                  (std::vector<uint32_t>{argb(255, 3, 2, 1), argb(255, 6, 5, 4)}));
    }
}

TEST(TgaLoader, RunLengthDataEndingEarlyFailsWithZeroedPixels)
{
    // The packet promises four raw pixels; the file holds two.
    const Bytes file = join(tgaHeader(10, 2, 2, 32, 0x20), {0x03, 1, 2, 3, 4, 5, 6, 7, 8});
    Picture picture;
    EXPECT_FALSE(loadBytes(picture, file, eLoader::Tga));
    ASSERT_EQ(picture.getWidth(), 2);
    ASSERT_EQ(picture.getHeight(), 2);
    EXPECT_EQ(std::vector<uint32_t>(picture.getPixels(), picture.getPixels() + 4), std::vector<uint32_t>(4, 0u));
}

}  // namespace
}  // namespace HA::UIA::TEST
