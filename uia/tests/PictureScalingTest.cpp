#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "uia/graphics/picture/Picture.h"
#include "uia/tests/PictureTestSupport.h"

namespace HA::UIA {
namespace {

using TEST::codedMap;
using TEST::makeCodedPicture;
using TEST::makePicture;
using TEST::pixel;
using Map = std::vector<std::string>;

TEST(PictureScalingTest, SizesMarginsAndProperties)
{
    Picture p;
    makePicture(p, 7, 3, 0xFF102030);
    p.setHasAlpha(true);
    p.setFrameLayout(2);
    p.setFrameCount(7);
    p.setVerticalMarginsEnabled(true);
    p.setTopMargin(1);
    p.setBottomMargin(2);
    p.setLeftMargin(3);
    p.setRightMargin(1);
    p.setOpaqueDestination(true);
    p.setOrigin(2, 1);
    p.setClipRect(GP::Rect{0, 0, 2, 2});

    const auto twice = p.createScaled(2.0f, Picture::eInterpolation::Nearest);
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->getWidth(), 14);
    EXPECT_EQ(twice->getHeight(), 6);
    EXPECT_EQ(twice->getTopMargin(), 2);
    EXPECT_EQ(twice->getBottomMargin(), 4);
    EXPECT_EQ(twice->getLeftMargin(), 6);
    EXPECT_EQ(twice->getRightMargin(), 2);
    EXPECT_TRUE(twice->hasAlpha());
    EXPECT_EQ(twice->getFrameLayout(), 2);
    EXPECT_EQ(twice->getFrameCount(), 7u);
    EXPECT_EQ(twice->getMarginFlags(), 1);
    EXPECT_FALSE(twice->isOpaque());
    EXPECT_FALSE(twice->isClipActive());
    EXPECT_EQ(twice->getOriginX(), 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 14; ++x)
            ASSERT_EQ(pixel(*twice, x, y), 0xFF102030u);

    // lroundf rounds halves away from zero: 3.5 -> 4, 1.5 -> 2.
    const auto half = p.createScaled(0.5f, Picture::eInterpolation::Nearest);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->getWidth(), 4);
    EXPECT_EQ(half->getHeight(), 2);
    EXPECT_EQ(half->getTopMargin(), 1);
    EXPECT_EQ(half->getLeftMargin(), 2);
}

TEST(PictureScalingTest, NearestRepeatsPixels)
{
    Picture p;
    makeCodedPicture(p, 3, 2);
    const auto twice = p.createScaled(2.0f, Picture::eInterpolation::Nearest);
    ASSERT_TRUE(twice);
    EXPECT_EQ(codedMap(*twice), (Map{
                                    "00 00 10 10 20 20",
                                    "00 00 10 10 20 20",
                                    "01 01 11 11 21 21",
                                    "01 01 11 11 21 21",
                                }));
}

TEST(PictureScalingTest, LinearKeepsAUniformPicture)
{
    Picture p;
    makePicture(p, 5, 4, 0x80402010);
    const auto scaled = p.createScaled(1.7f, Picture::eInterpolation::Linear);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->getWidth(), 9);
    EXPECT_EQ(scaled->getHeight(), 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(pixel(*scaled, x, y), 0x80402010u) << x << "," << y;
}

TEST(PictureScalingTest, RefusalsGiveNoPicture)
{
    Picture p;
    makePicture(p, 100, 100, 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float scale : {0.0f, -1.0f, -0.0f, nan, inf, -inf, 1.0e30f, 500.0f})
        EXPECT_FALSE(p.createScaled(scale, Picture::eInterpolation::Nearest)) << scale;
    // The bilinear resize needs two source pixels in each direction.
    Picture line;
    makePicture(line, 1, 10, 0);
    EXPECT_FALSE(line.createScaled(2.0f, Picture::eInterpolation::Linear));
    EXPECT_TRUE(line.createScaled(2.0f, Picture::eInterpolation::Nearest));
}

TEST(PictureScalingTest, SidesThatRoundToZeroGiveAnEmptyCopy)
{
    Picture p;
    makePicture(p, 7, 3, 0);
    p.setLeftMargin(INT32_MAX);
    const auto tiny = p.createScaled(0.01f, Picture::eInterpolation::Nearest);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->getWidth(), 0);
    EXPECT_EQ(tiny->getHeight(), 0);
    EXPECT_EQ(tiny->getLeftMargin(), 21474836);

    Picture empty;
    const auto none = empty.createScaled(2.0f, Picture::eInterpolation::Nearest);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->getWidth(), 0);

    // Huge margins are limited rather than wrapped.
    const auto big = p.createScaled(4.0f, Picture::eInterpolation::Nearest);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->getLeftMargin(), INT32_MAX);
}

}  // namespace
}  // namespace HA::UIA
