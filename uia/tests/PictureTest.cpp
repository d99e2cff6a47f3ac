#include <gtest/gtest.h>

#include <cstdint>

#include "uia/graphics/picture/Picture.h"
#include "uia/tests/PictureTestSupport.h"

namespace HA::UIA {
namespace {

using TEST::kSentinel;
using TEST::makePicture;
using TEST::pixel;

void expectRect(const GP::Rect& r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

class CountingProperties : public PictureProperties {
public:
    void propertiesChanged() override { ++changes; }
    int changes = 0;
};

TEST(PicturePropertiesTest, DefaultsAndSetters)
{
    CountingProperties p;
    EXPECT_FALSE(p.hasAlpha());
    EXPECT_EQ(p.getFrameLayout(), 1);
    EXPECT_EQ(p.getFrameCount(), 0u);
    EXPECT_EQ(p.getMarginFlags(), 0);

    p.setFramesSideBySide(true);
    EXPECT_EQ(p.getFrameLayout(), 2);
    p.setFramesSideBySide(false);
    EXPECT_EQ(p.getFrameLayout(), 1);

    // One margin pair's bit leaves the other's alone.
    p.setHorizontalMarginsEnabled(true);
    p.setVerticalMarginsEnabled(true);
    EXPECT_EQ(p.getMarginFlags(), 3);
    p.setVerticalMarginsEnabled(false);
    EXPECT_EQ(p.getMarginFlags(), 2);
    p.setHorizontalMarginsEnabled(false);
    p.setVerticalMarginsEnabled(true);
    EXPECT_EQ(p.getMarginFlags(), 1);
    EXPECT_EQ(p.changes, 7);

    p.setHasAlpha(true);
    p.setFrameLayout(7);
    p.setFrameCount(4);
    p.setTopMargin(1);
    p.setBottomMargin(2);
    p.setLeftMargin(3);
    p.setRightMargin(-4);
    EXPECT_EQ(p.changes, 14);
    EXPECT_TRUE(p.hasAlpha());
    EXPECT_EQ(p.getFrameLayout(), 7);
    EXPECT_EQ(p.getFrameCount(), 4u);
    EXPECT_EQ(p.getRightMargin(), -4);
    // Disabled pairs and negative margins count as 0 where margins are used.
    EXPECT_EQ(p.usedTopMargin(), 1);
    EXPECT_EQ(p.usedBottomMargin(), 2);
    EXPECT_EQ(p.usedLeftMargin(), 0);
    p.setHorizontalMarginsEnabled(true);
    EXPECT_EQ(p.usedLeftMargin(), 3);
    EXPECT_EQ(p.usedRightMargin(), 0);
}

TEST(PictureTest, StartsEmpty)
{
    Picture p;
    EXPECT_EQ(p.getPixels(), nullptr);
    EXPECT_EQ(p.getHeaderArea(), nullptr);
    EXPECT_EQ(p.getWidth(), 0);
    EXPECT_EQ(p.getBlockSize(), 0);
    EXPECT_EQ(p.getHeaderSize(), 40);
    EXPECT_FALSE(p.isClipActive());
    EXPECT_FALSE(p.isOpaque());
    expectRect(p.getClipRect(), 0, 0, 0, 0);
    // Drawing into an empty picture does nothing.
    p.fill(1);
    p.fillRect(0, 0, 10, 10, 0xFFFFFFFF);
    p.drawLine(0, 0, 10, 10, 0xFFFFFFFF);
    p.blendPixel(0, 0, 0xFFFFFFFF);
}

TEST(PictureTest, SetSizeAllocatesHeaderAndPixels)
{
    Picture p;
    ASSERT_TRUE(p.setSize(10, 5, Picture::eBlock::KeepLarger));
    EXPECT_EQ(p.getWidth(), 10);
    EXPECT_EQ(p.getHeight(), 5);
    EXPECT_EQ(p.getBlockSize(), 40 + 4 * 50);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(p.getPixels()), p.getHeaderArea() + 40);
    expectRect(p.getClipRect(), 0, 0, 10, 5);

    // Smaller without discard keeps the block; with discard it takes a fitting one.
    ASSERT_TRUE(p.setSize(4, 4, Picture::eBlock::KeepLarger));
    EXPECT_EQ(p.getBlockSize(), 240);
    EXPECT_EQ(p.getWidth(), 4);
    ASSERT_TRUE(p.setSize(4, 4, Picture::eBlock::Discard));
    EXPECT_EQ(p.getBlockSize(), 40 + 64);
    ASSERT_TRUE(p.setSize(0, 7, Picture::eBlock::Discard));
    EXPECT_EQ(p.getBlockSize(), 40);
    EXPECT_NE(p.getPixels(), nullptr);
}

TEST(PictureTest, SetSizeResetsOriginAndClip)
{
    Picture p;
    makePicture(p, 20, 20, 0);
    p.setOrigin(3, 4);
    p.setClipRect(GP::Rect{0, 0, 5, 5});
    ASSERT_TRUE(p.setSize(8, 6, Picture::eBlock::KeepLarger));
    EXPECT_EQ(p.getOriginX(), 0);
    EXPECT_EQ(p.getOriginY(), 0);
    EXPECT_FALSE(p.isClipActive());
    expectRect(p.getClipRect(), 0, 0, 8, 6);
}

TEST(PictureTest, HostileSizesAreRefusedAndChangeNothing)
{
    struct Case {
        int32_t width;
        int32_t height;
    };
    const Case cases[] = {{-1, 10}, {10, -1}, {INT32_MIN, INT32_MIN}, {65536, 65536},
                          {INT32_MAX, 2}, {536870902, 1}};
    for (const Case& c : cases) {
        Picture p;
        makePicture(p, 3, 2, 0x11223344);
        uint32_t* pixels = p.getPixels();
        EXPECT_FALSE(p.setSize(c.width, c.height, Picture::eBlock::Discard)) << c.width << "x" << c.height;
        EXPECT_EQ(p.getPixels(), pixels);
        EXPECT_EQ(p.getWidth(), 3);
        EXPECT_EQ(p.getHeight(), 2);
        EXPECT_EQ(p.getBlockSize(), 40 + 24);
        EXPECT_EQ(pixel(p, 2, 1), 0x11223344u);
    }
}

TEST(PictureTest, FrameSizes)
{
    struct Case {
        int layout;
        uint32_t count;
        int frameWidth;
        int frameHeight;
    };
    // A 30 x 100 strip.
    const Case cases[] = {
        {1, 0, 30, 100}, {1, 1, 30, 100}, {1, 3, 30, 33}, {2, 3, 10, 100},
        {5, 4, 7, 100},  {1, 200, 30, 0}, {2, 0, 30, 100},
    };
    for (const Case& c : cases) {
        Picture p;
        ASSERT_TRUE(p.setSize(30, 100, Picture::eBlock::Discard));
        p.setFrameLayout(c.layout);
        p.setFrameCount(c.count);
        EXPECT_EQ(p.getFrameWidth(), c.frameWidth) << c.layout << "/" << c.count;
        EXPECT_EQ(p.getFrameHeight(), c.frameHeight) << c.layout << "/" << c.count;
    }
}

TEST(PictureTest, ClipRectStaysInsidePictureAndRightOfOrigin)
{
    struct Case {
        int originX, originY;
        GP::Rect rect;
        GP::Rect expected;
    };
    const Case cases[] = {
        {10, 10, {-5, -5, 200, 200}, {0, 0, 90, 90}},
        {0, 0, {-5, -5, 200, 200}, {0, 0, 100, 100}},
        {0, 0, {10, 20, 30, 40}, {10, 20, 30, 40}},
        {-10, 0, {-50, 0, 50, 10}, {10, 0, 50, 10}},
        {0, 0, {200, 200, 300, 300}, {0, 0, 0, 0}},
        {0, 0, {30, 30, 10, 10}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Picture p;
        makePicture(p, 100, 100, 0);
        p.setOrigin(c.originX, c.originY);
        p.setClipRect(c.rect);
        EXPECT_TRUE(p.isClipActive());
        expectRect(p.getClipRect(), c.expected.left, c.expected.top, c.expected.right, c.expected.bottom);
    }
}

TEST(PictureTest, SetOriginMovesActiveClipWithIt)
{
    Picture p;
    makePicture(p, 100, 100, 0);
    p.setOrigin(5, 5);
    EXPECT_FALSE(p.isClipActive());
    p.setClipRect(GP::Rect{10, 10, 20, 20});  // pixels 15..25
    p.setOrigin(12, 0);
    expectRect(p.getClipRect(), 3, 15, 13, 25);
    // Moving further cuts what would lie left of the new origin.
    p.setOrigin(20, 0);
    expectRect(p.getClipRect(), 0, 15, 5, 25);
}

TEST(PictureTest, ClipScopeRestoresOriginAndClip)
{
    Picture p;
    makePicture(p, 50, 40, 0);
    {
        Picture::ClipScope scope(p, GP::Rect{5, 5, 20, 20});
        EXPECT_TRUE(p.isClipActive());
        expectRect(p.getClipRect(), 5, 5, 20, 20);
        p.setOrigin(3, 3);
    }
    EXPECT_FALSE(p.isClipActive());
    expectRect(p.getClipRect(), 0, 0, 50, 40);
    EXPECT_EQ(p.getOriginX(), 0);

    p.setClipRect(GP::Rect{10, 10, 30, 30});
    {
        Picture::ClipScope outer(p, GP::Rect{0, 0, 15, 15});
        expectRect(p.getClipRect(), 10, 10, 15, 15);
        {
            Picture::ClipScope inner(p, GP::Rect{20, 20, 25, 25});  // outside the outer one
            expectRect(p.getClipRect(), 0, 0, 0, 0);
        }
        expectRect(p.getClipRect(), 10, 10, 15, 15);
    }
    EXPECT_TRUE(p.isClipActive());
    expectRect(p.getClipRect(), 10, 10, 30, 30);
}

TEST(PictureTest, ClipToClipRectKeepsOrientation)
{
    Picture p;
    makePicture(p, 20, 20, 0);
    p.setClipRect(GP::Rect{5, 5, 15, 15});
    GP::Rect r{0, 0, 10, 10};
    ASSERT_TRUE(p.clipToClipRect(r));
    expectRect(r, 5, 5, 10, 10);
    GP::Rect reversed{12, 18, 2, 8};
    ASSERT_TRUE(p.clipToClipRect(reversed));
    expectRect(reversed, 12, 15, 5, 8);
    GP::Rect outside{16, 0, 20, 4};
    EXPECT_FALSE(p.clipToClipRect(outside));
    expectRect(outside, 16, 0, 20, 4);
}

TEST(PictureTest, FillFillRectRawAndFlip)
{
    Picture p;
    makePicture(p, 4, 3, kSentinel);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixel(p, x, y), kSentinel);

    p.setOrigin(1, 1);
    p.fillRectRaw(GP::Rect{0, 0, 2, 1}, 7);
    // A raw rectangle reaching outside the picture is cut at its edges.
    p.fillRectRaw(GP::Rect{2, -5, 100, 0}, 8);
    EXPECT_EQ(TEST::touchedMap(p), (std::vector<std::string>{"...#", ".##.", "...."}));
    EXPECT_EQ(pixel(p, 1, 1), 7u);
    EXPECT_EQ(pixel(p, 3, 0), 8u);

    p.flipVertically();
    EXPECT_EQ(TEST::touchedMap(p), (std::vector<std::string>{"....", ".##.", "...#"}));
    EXPECT_EQ(pixel(p, 3, 2), 8u);
}

TEST(PictureTest, HiddenTiles)
{
    // Two frames side by side, each 5 x 5 with margins 1 (top), 1 (bottom), 2 (left), 1 (right).
    Picture p;
    makePicture(p, 10, 5, 0x00FFFFFF);  // fully transparent
    p.setHasAlpha(true);
    p.setFramesSideBySide(true);
    p.setFrameCount(2);
    p.setTopMargin(1);
    p.setBottomMargin(1);
    p.setLeftMargin(2);
    p.setRightMargin(1);
    p.computeHiddenTiles();
    EXPECT_TRUE(p.getHiddenTiles().empty()) << "no margin flags";

    p.setVerticalMarginsEnabled(true);
    p.setHorizontalMarginsEnabled(true);
    auto set = [&](int x, int y) { p.getPixels()[y * 10 + x] = 0x01000000; };
    set(1, 0);  // frame 0: top-left
    set(2, 2);  // frame 0: centre
    set(5 + 4, 4);  // frame 1: bottom-right
    set(5 + 3, 1);  // frame 1: middle column, middle band
    p.computeHiddenTiles();
    ASSERT_EQ(p.getHiddenTiles().size(), 2u);
    EXPECT_EQ(p.getHiddenTiles()[0], 0x1FFu & ~0x1u & ~0x10u);
    EXPECT_EQ(p.getHiddenTiles()[1], 0x1FFu & ~0x100u & ~0x10u);

    p.setHasAlpha(false);
    p.computeHiddenTiles();
    EXPECT_TRUE(p.getHiddenTiles().empty()) << "no alpha";

    // Margins that leave no centre give no masks; negative margins count as 0.
    p.setHasAlpha(true);
    p.setLeftMargin(3);
    p.setRightMargin(2);
    p.computeHiddenTiles();
    EXPECT_TRUE(p.getHiddenTiles().empty());
    p.setLeftMargin(-3);
    p.setRightMargin(-2);
    p.setTopMargin(-100);
    p.computeHiddenTiles();
    ASSERT_EQ(p.getHiddenTiles().size(), 2u);
    // One column and no top band now: both pixels of frame 0 lie in the centre tile.
    EXPECT_EQ(p.getHiddenTiles()[0], 0x1FFu & ~0x10u);
}

TEST(PictureTest, HiddenTilesOfVerticalStrip)
{
    Picture p;
    makePicture(p, 3, 9, 0);
    p.setHasAlpha(true);
    p.setFrameCount(3);
    p.setVerticalMarginsEnabled(true);
    p.setTopMargin(1);
    p.setBottomMargin(1);
    p.getPixels()[7 * 3 + 0] = 0xFF000000;  // frame 2, middle row
    p.computeHiddenTiles();
    ASSERT_EQ(p.getHiddenTiles().size(), 3u);
    EXPECT_EQ(p.getHiddenTiles()[0], 0x1FFu);
    EXPECT_EQ(p.getHiddenTiles()[1], 0x1FFu);
    EXPECT_EQ(p.getHiddenTiles()[2], 0x1FFu & ~0x10u);
}

TEST(PictureTest, ScaledPictureNames)
{
    struct Case {
        const char* name;
        float scale;
        const char* expected;
    };
    const Case cases[] = {
        {"button.png", 1.0f, "button.png"},
        {"button.png", 2.0f, "button@2x.png"},
        {"button.png", 1.5f, "button@2x.png"},
        {"pictures/button.png", 3.0f, "pictures/button@2x.png"},
        {"skin/pictures/a.b.tga", 0.5f, "skin/pictures/a.b@2x.tga"},
        {"noext", 2.0f, "noext@2x"},
        {"bouton-\xC3\xA9t\xC3\xA9.png", 2.0f, "bouton-\xC3\xA9t\xC3\xA9@2x.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(makeScaledPictureName(c.name, c.scale), c.expected) << c.name << " " << c.scale;
}

}  // namespace
}  // namespace HA::UIA
