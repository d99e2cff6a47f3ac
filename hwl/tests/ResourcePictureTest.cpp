#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/LazyPicture.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "uia/tests/LoaderTestSupport.h"

namespace HA::HWL {
namespace {

using UIA::Picture;
using UIA::PictureProperties;
using Texts = std::vector<std::string>;

// An 8-bit RGBA PNG of one colour (0xAARRGGBB).
UIA::TEST::Bytes solidPng(uint32_t width, uint32_t height, uint32_t colour)
{
    UIA::TEST::PngImage image;
    image.width = width;
    image.height = height;
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    const uint8_t rgba[4] = {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour), uint8_t(colour >> 24)};
    for (uint32_t y = 0; y < height; ++y) {
        UIA::TEST::Bytes row;
        for (uint32_t x = 0; x < width; ++x)
            row.insert(row.end(), rgba, rgba + 4);
        image.rows.push_back(row);
    }
    return UIA::TEST::encodePng(image);
}

PictureProperties ninePatch(int32_t margin)
{
    PictureProperties description;
    description.setVerticalMarginsEnabled(true);
    description.setHorizontalMarginsEnabled(true);
    description.setTopMargin(margin);
    description.setBottomMargin(margin);
    description.setLeftMargin(margin);
    description.setRightMargin(margin);
    return description;
}

bool allPixels(const Picture& picture, uint32_t colour)
{
    for (int y = 0; y < picture.getHeight(); ++y)
        for (int x = 0; x < picture.getWidth(); ++x)
            if (picture.getPixels()[y * picture.getWidth() + x] != colour)
                return false;
    return true;
}

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kBlue = 0xFF0000FF;

// A skin folder with its pictures; the manager decides on skin mode at its first request.
class SkinPictureTest : public ::testing::Test {
protected:
    void SetUp() override { TEST::fs::create_directories(folders.work() / "skin" / "pictures"); }

    template <class Bytes>
    void addPicture(const std::string& name, const Bytes& bytes)
    {
        TEST::writeFile(folders.work() / "skin" / "pictures" / name, bytes);
    }
    std::string skinPath(const std::string& rest) const { return (folders.work() / "skin").string() + rest; }

    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup{true};
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
};

TEST_F(SkinPictureTest, ScaleTwoPrefersTheDoubleSizedFile)
{
    addPicture("a.png", solidPng(2, 2, kRed));
    addPicture("a@2x.png", solidPng(4, 4, kBlue));
    const LazyPicture lazy = manager.getPicture("a.png", PictureProperties());
    const Picture* twice = lazy.get(2.0f);
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice->getWidth(), 4);
    EXPECT_TRUE(allPixels(*twice, kBlue));
    const Picture* once = lazy.get(1.0f);
    ASSERT_NE(once, nullptr);
    EXPECT_EQ(once->getWidth(), 2);
    EXPECT_TRUE(allPixels(*once, kRed));
    EXPECT_TRUE(errors.texts.empty());
}

TEST_F(SkinPictureTest, ScaleTwoWithoutItsFileScalesTheScaleOnePicture)
{
    addPicture("a.png", solidPng(2, 3, kRed));
    const LazyPicture lazy = manager.getPicture("a.png", PictureProperties());
    const Picture* twice = lazy.get(2.0f);
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice->getWidth(), 4);
    EXPECT_EQ(twice->getHeight(), 6);
    EXPECT_TRUE(allPixels(*twice, kRed));
    EXPECT_TRUE(errors.texts.empty()) << "a missing @2x file is not reported";
    EXPECT_EQ(lazy.get(2.0f), twice);
    // The scale-1 picture came from the manager's cache and stays shared with it.
    EXPECT_EQ(lazy.get(1.0f), manager.loadCachedPicture("a.png", PictureProperties(), 1.0f).get());

    // Asked later, the @2x file is looked for again and the new one is used.
    addPicture("a@2x.png", solidPng(4, 6, kBlue));
    const LazyPicture later = manager.getPicture("a.png", PictureProperties());
    EXPECT_TRUE(allPixels(*later.get(2.0f), kBlue));
}

TEST_F(SkinPictureTest, TheDoubleSizedFileServesScaleOnePointFive)
{
    addPicture("a.png", solidPng(8, 8, kRed));
    addPicture("a@2x.png", solidPng(16, 16, kBlue));
    const LazyPicture lazy = manager.getPicture("a.png", ninePatch(6));
    const Picture* picture = lazy.get(1.5f);
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(allPixels(*picture, kBlue));
    EXPECT_EQ(picture->getWidth(), 16) << "the file as it is, not resized to the scale";
    EXPECT_EQ(picture->getTopMargin(), 9);
    EXPECT_EQ(picture->getLeftMargin(), 9);
}

struct MarginCase {
    std::string name;
    float scale;
    int32_t margin;
    int32_t expected;
};

void PrintTo(const MarginCase& c, std::ostream* os) { *os << c.name; }

class PictureMarginTest : public SkinPictureTest, public ::testing::WithParamInterface<MarginCase> {};

TEST_P(PictureMarginTest, MarginsAreScaledAndRounded)
{
    const MarginCase& c = GetParam();
    addPicture("m.png", solidPng(4, 4, kRed));
    PictureProperties description = ninePatch(c.margin);
    description.setFrameLayout(PictureProperties::kFramesSideBySide);
    description.setFrameCount(2);
    const auto picture = manager.loadPicture("m.png", description, c.scale);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->getTopMargin(), c.expected);
    EXPECT_EQ(picture->getBottomMargin(), c.expected);
    EXPECT_EQ(picture->getLeftMargin(), c.expected);
    EXPECT_EQ(picture->getRightMargin(), c.expected);
    EXPECT_EQ(picture->getMarginFlags(), PictureProperties::kVerticalMargins | PictureProperties::kHorizontalMargins);
    EXPECT_EQ(picture->getFrameLayout(), PictureProperties::kFramesSideBySide);
    EXPECT_EQ(picture->getFrameCount(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureMarginTest,
                         ::testing::Values(MarginCase{"One", 1.0f, 6, 6}, MarginCase{"OnePointFive", 1.5f, 6, 9},
                                           MarginCase{"OnePointTwoFive", 1.25f, 6, 8},
                                           MarginCase{"Two", 2.0f, 6, 12},
                                           MarginCase{"Negative", 1.25f, -6, -8},
                                           MarginCase{"Huge", 2.0f, 2000000000, 2147483647},
                                           MarginCase{"HugeNegative", 2.0f, -2000000000, -2147483647 - 1}),
                         [](const ::testing::TestParamInfo<MarginCase>& info) { return info.param.name; });

TEST_F(SkinPictureTest, RulesWithTheSamePictureShareIt)
{
    addPicture("shared.png", solidPng(4, 4, kRed));
    addPicture("shared@2x.png", solidPng(8, 8, kBlue));
    const LazyPicture first = manager.getPicture("shared.png", ninePatch(1));
    const LazyPicture second = manager.getPicture("shared.png", ninePatch(1));
    const LazyPicture otherMargins = manager.getPicture("shared.png", ninePatch(2));
    ASSERT_NE(first.get(1.0f), nullptr);
    EXPECT_EQ(first.get(1.0f), second.get(1.0f));
    EXPECT_EQ(first.get(2.0f), second.get(2.0f));
    EXPECT_NE(first.get(1.0f), otherMargins.get(1.0f));
    EXPECT_EQ(otherMargins.get(1.0f)->getTopMargin(), 2);
}

TEST_F(SkinPictureTest, DescriptionIsCopiedWhenTheLazyPictureIsMade)
{
    addPicture("a.png", solidPng(4, 4, kRed));
    PictureProperties description = ninePatch(1);
    const LazyPicture lazy = manager.getPicture("a.png", description);
    description.setTopMargin(3);
    ASSERT_NE(lazy.get(1.0f), nullptr);
    EXPECT_EQ(lazy.get(1.0f)->getTopMargin(), 1);
}

TEST_F(SkinPictureTest, MissingPictureIsReportedOnlyAtScaleOne)
{
    const LazyPicture lazy = manager.getPicture("none.png", PictureProperties());
    EXPECT_EQ(lazy.get(2.0f), nullptr);
    EXPECT_EQ(errors.texts, Texts{TEST::kMissingFile + skinPath("\\pictures\\none.png")});
    errors.texts.clear();
    EXPECT_EQ(lazy.get(1.0f), nullptr);
    EXPECT_EQ(errors.texts, Texts{TEST::kMissingFile + skinPath("\\pictures\\none.png")});
}

TEST_F(SkinPictureTest, UnreadablePictureIsNullAndNotCached)
{
    addPicture("broken.png", std::string("this is no picture at all"));
    const LazyPicture lazy = manager.getPicture("broken.png", PictureProperties());
    EXPECT_EQ(lazy.get(1.0f), nullptr);
    EXPECT_TRUE(errors.texts.empty());
    addPicture("broken.png", solidPng(1, 1, kRed));
    EXPECT_NE(lazy.get(1.0f), nullptr) << "nothing was cached for the unreadable file";
}

TEST_F(SkinPictureTest, AlphaIsDetectedAndHiddenTilesComputed)
{
    addPicture("clear.png", solidPng(3, 3, 0x00000000));
    addPicture("solid.png", solidPng(3, 3, kRed));
    const auto clear = manager.loadPicture("clear.png", ninePatch(1), 1.0f);
    ASSERT_TRUE(clear);
    EXPECT_TRUE(clear->hasAlpha());
    EXPECT_EQ(clear->getHiddenTiles(), std::vector<uint32_t>{0x1FF});
    const auto solid = manager.loadPicture("solid.png", ninePatch(1), 1.0f);
    ASSERT_TRUE(solid);
    EXPECT_FALSE(solid->hasAlpha());
    EXPECT_TRUE(solid->getHiddenTiles().empty());
}

TEST(LinkedPictureTest, LoadsTheLinkedResource)
{
    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup(false);
    ManagerContainer manager;
    const LazyPicture lazy = manager.getPicture("linked-picture.tga", PictureProperties());
    const Picture* picture = lazy.get(1.0f);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->getWidth(), 2);
    ASSERT_EQ(picture->getHeight(), 1);
    EXPECT_EQ(picture->getPixels()[0], 0xFF302010u);
    EXPECT_EQ(picture->getPixels()[1], 0xFF605040u);
}

}  // namespace
}  // namespace HA::HWL
