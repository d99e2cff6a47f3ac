#include "uia/window/DeviceContext.h"

#include <gtest/gtest.h>

#include <cstring>

#include "os/kernel/Clock.h"
#include "os/windows/drawing/Drawing.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/platform/window/PictureDC.h"
#include "uia/tests/WindowPixelsSupport.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace {

constexpr int kWidth = 627;
constexpr int kHeight = 335;

// An opaque pixel that names its position (x in bits 10-19, y in bits 0-9).
uint32_t positionCode(int x, int y) { return 0xFF000000u | uint32_t(x) << 10 | uint32_t(y); }

// Each pixel names its position divided by `block`: at scale 2 the window's pixel (x, y)
// comes from one uniform 2 x 2 block, whatever the stretch averages.
void makeCodedPicture(Picture& picture, int width, int height, int block)
{
    ASSERT_TRUE(picture.setSize(width, height, Picture::eBlock::Discard));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.getPixels()[size_t(y) * size_t(width) + size_t(x)] = positionCode(x / block, y / block);
}

class BlitTest : public ::testing::Test {
protected:
    OS::HWND window(int width, int height)
    {
        OS::HWND hwnd = OS::createWindow(0, u"Static", u"blit", OS::WS_POPUP | OS::WS_VISIBLE, 0, 0, width, height,
                                         nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(hwnd);
        mWindows.push_back(hwnd);
        return hwnd;
    }

    void TearDown() override
    {
        for (OS::HWND hwnd : mWindows)
            OS::destroyWindow(hwnd);
        OS::DrawingObjectCounts now = OS::countDrawingObjects();
        EXPECT_EQ(now.contexts, mBefore.contexts);
        EXPECT_EQ(now.bitmaps, mBefore.bitmaps);
    }

    OS::ManualClockScope mClock;
    std::vector<OS::HWND> mWindows;
    OS::DrawingObjectCounts mBefore = OS::countDrawingObjects();
};

TEST_F(BlitTest, PictureRowsLandOnTheSameWindowRowsForEveryPaintRectangle)
{
    struct Case {
        const char* name;
        int windowWidth, windowHeight;
        OS::RECT paint;
        OS::RECT expected;  // where the picture arrives
    };
    const Case cases[] = {
        {"blit-whole", kWidth, kHeight, {0, 0, kWidth, kHeight}, {0, 0, kWidth, kHeight}},
        {"blit-top", kWidth, kHeight, {0, 0, kWidth, 40}, {0, 0, kWidth, 40}},
        {"blit-middle", kWidth, kHeight, {100, 150, 300, 170}, {100, 150, 300, 170}},
        {"blit-bottom", kWidth, kHeight, {0, 300, kWidth, kHeight}, {0, 300, kWidth, kHeight}},
        {"blit-left-edge", kWidth, kHeight, {0, 10, 1, 325}, {0, 10, 1, 325}},
        {"blit-right-edge", kWidth, kHeight, {626, 0, kWidth, kHeight}, {626, 0, kWidth, kHeight}},
        {"blit-bottom-right", kWidth, kHeight, {620, 330, kWidth, kHeight}, {620, 330, kWidth, kHeight}},
        {"blit-right-0", kWidth, kHeight, {0, 0, 0, 0}, {0, 0, kWidth, kHeight}},
        {"blit-bottom-0", kWidth, kHeight, {5, 5, 20, 0}, {5, 5, kWidth, kHeight}},
        {"blit-larger-window", 700, 400, {0, 0, 700, 400}, {0, 0, kWidth, kHeight}},
        {"blit-larger-window-bottom", 700, 400, {0, 300, 700, 400}, {0, 300, kWidth, kHeight}},
    };
    Picture picture;
    makeCodedPicture(picture, kWidth, kHeight, 1);
    for (const Case& c : cases) {
        OS::HWND hwnd = window(c.windowWidth, c.windowHeight);
        OS::HDC hdc = OS::getDC(hwnd);
        OS::PAINTSTRUCT paint{};
        paint.hdc = hdc;
        paint.rcPaint = c.paint;
        DeviceContext dc;
        dc.setHdc(hdc);
        dc.setPaint(&paint);
        dc.blit(picture);
        OS::releaseDC(hwnd, hdc);

        const auto* header = reinterpret_cast<const OS::BITMAPINFOHEADER*>(picture.getHeaderArea());
        EXPECT_EQ(header->biSize, 40u);
        EXPECT_EQ(header->biWidth, kWidth);
        EXPECT_EQ(header->biHeight, -kHeight);
        EXPECT_EQ(header->biBitCount, 32);
        EXPECT_EQ(header->biSizeImage, 4u * kWidth * kHeight);
        EXPECT_EQ(header->biXPelsPerMeter, 1000);

        ExpectedPixels expected(c.windowWidth, c.windowHeight, 0);
        for (int y = c.expected.top; y < c.expected.bottom; ++y)
            for (int x = c.expected.left; x < c.expected.right; ++x)
                expected.at(x, y) = positionCode(x, y);
        EXPECT_TRUE(windowShows(hwnd, expected, c.name));
    }
}

TEST_F(BlitTest, AScaleFactorOfTwoStretchesTheHalvedPicture)
{
    // Logical size 314 x 168 (627 / 2 and 335 / 2 rounded half away from zero), monitor scale 1.
    const int logicalWidth = 314, logicalHeight = 168;
    struct Case {
        const char* name;
        OS::RECT paint;
        OS::RECT expected;
    };
    const Case cases[] = {
        {"stretch-whole", {0, 0, 0, 0}, {0, 0, logicalWidth, logicalHeight}},
        {"stretch-middle", {50, 40, 120, 90}, {50, 40, 120, 90}},
        {"stretch-bottom", {0, 160, logicalWidth, logicalHeight}, {0, 160, logicalWidth, logicalHeight}},
    };
    Picture picture;
    makeCodedPicture(picture, kWidth, kHeight, 2);
    for (const Case& c : cases) {
        OS::HWND hwnd = window(logicalWidth, logicalHeight);
        OS::HDC hdc = OS::getDC(hwnd);
        OS::PAINTSTRUCT paint{};
        paint.rcPaint = c.paint;
        DeviceContext dc;
        dc.setHdc(hdc);
        dc.setPaint(&paint);
        dc.setScaleFactor(2.0f);
        dc.blit(picture);
        OS::releaseDC(hwnd, hdc);
        ExpectedPixels expected(logicalWidth, logicalHeight, 0);
        for (int y = c.expected.top; y < c.expected.bottom; ++y)
            for (int x = c.expected.left; x < c.expected.right; ++x)
                expected.at(x, y) = positionCode(x, y);
        EXPECT_TRUE(windowShows(hwnd, expected, c.name));
    }
}

TEST_F(BlitTest, NothingIsCopiedWithoutPaintInformationOrPixels)
{
    OS::HWND hwnd = window(10, 10);
    OS::HDC hdc = OS::getDC(hwnd);
    OS::PAINTSTRUCT paint{};
    Picture picture;
    makeCodedPicture(picture, 10, 10, 1);
    Picture empty;
    DeviceContext dc;
    dc.setHdc(hdc);
    dc.blit(picture);
    dc.setPaint(&paint);
    dc.blit(empty);
    OS::releaseDC(hwnd, hdc);
    EXPECT_TRUE(windowShows(hwnd, ExpectedPixels(10, 10, 0), "blit-nothing"));
    EXPECT_EQ(*dc.getHdcCell(), hdc);
    dc.setHdc(nullptr);
    EXPECT_EQ(*dc.getHdcCell(), nullptr);
}

TEST_F(BlitTest, APictureContextOwnsItsBitmapUntilItEnds)
{
    {
        PictureDC dc(40, 30);
        ASSERT_TRUE(dc.getHdc());
        ASSERT_TRUE(dc.getBitmap());
        OS::RECT box;
        EXPECT_EQ(OS::getClipBox(dc.getHdc(), box), OS::SIMPLEREGION);
        EXPECT_EQ(box, (OS::RECT{0, 0, 40, 30}));
        EXPECT_FALSE(OS::deleteObject(dc.getBitmap()));  // still selected
    }
    PictureDC none(0, 5);
    EXPECT_EQ(none.getHdc(), nullptr);
    EXPECT_EQ(none.releaseBitmap(), nullptr);

    // A released bitmap outlives the context and is the caller's to delete.
    OS::HBITMAP released = nullptr;
    {
        PictureDC dc(8, 4);
        released = dc.releaseBitmap();
        ASSERT_TRUE(released);
        EXPECT_EQ(dc.getBitmap(), nullptr);
        EXPECT_EQ(dc.releaseBitmap(), nullptr);
    }
    OS::BitmapPixels pixels;
    ASSERT_TRUE(OS::readBitmapPixels(released, pixels));
    EXPECT_FALSE(pixels.section);
    EXPECT_EQ(pixels.width, 8);
    EXPECT_TRUE(OS::deleteObject(released));
}

}  // namespace
