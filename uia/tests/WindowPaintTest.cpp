#include <gtest/gtest.h>

#include <cstdlib>

#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Module.h"
#include "os/kernel/Resources.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/icons/Icon.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/platform/window/WindowImplWin32.h"
#include "uia/tests/WindowPixelsSupport.h"
#include "uia/tests/WindowTestSupport.h"
#include "uia/window/DeviceContext.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace {

class WindowPaint : public FrameworkWindowTest {};

uint32_t positionCode(int x, int y) { return 0xFF000000u | uint32_t(x) << 10 | uint32_t(y); }

WindowDescriptor smallDescriptor(int width, int height)
{
    WindowDescriptor d = mainDescriptor();
    d.styleFlags = WindowDescriptor::kFrameless;
    d.right = width;
    d.bottom = height;
    return d;
}

TEST_F(WindowPaint, APaintEventCopiesThePictureOrTheDefaultPaintingRuns)
{
    Picture picture;
    ASSERT_TRUE(picture.setSize(627, 335, Picture::eBlock::Discard));
    for (int y = 0; y < 335; ++y)
        for (int x = 0; x < 627; ++x)
            picture.getPixels()[y * 627 + x] = positionCode(x, y);
    for (bool handled : {true, false}) {
        RecordingWindow window;
        OS::RECT painted{};
        float scale = 0;
        window.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
            if (code != kEventPaint)
                return std::nullopt;
            DeviceContext* dc = static_cast<PaintEventData*>(data)->dc;
            EXPECT_TRUE(dc->getHdc());
            EXPECT_EQ(dc->getOriginX(), 0);
            painted = dc->getPaint()->rcPaint;
            scale = dc->getScaleFactor();
            if (handled)
                dc->blit(picture);
            return handled;
        };
        ASSERT_TRUE(window.create(mainDescriptor()));
        window.setVisible(true);
        OS::pumpMessages();
        EXPECT_EQ(window.count(kEventPaint), 1);
        EXPECT_EQ(painted, (OS::RECT{0, 0, 627, 335}));
        EXPECT_EQ(scale, 1.0f);
        auto* impl = static_cast<DETAIL::WindowImplWin32*>(window.getImpl());
        EXPECT_EQ(impl->getDeviceContext()->getHdc(), nullptr);
        EXPECT_EQ(impl->getDeviceContext()->getPaint(), nullptr);
        OS::RECT left;
        EXPECT_FALSE(OS::getUpdateRect(window.hwnd(), left));
        ExpectedPixels expected(627, 335, 0);
        if (handled)
            for (int y = 0; y < 335; ++y)
                for (int x = 0; x < 627; ++x)
                    expected.at(x, y) = positionCode(x, y);
        EXPECT_TRUE(windowShows(window.hwnd(), expected, handled ? "paint-handled" : "paint-not-handled"));
    }
}

TEST_F(WindowPaint, EraseFillsWithTheBackgroundBrushAndAlwaysAnswersOne)
{
    for (bool brush : {true, false}) {
        WindowDescriptor d = smallDescriptor(6, 4);
        if (brush) {
            d.contentFlags |= WindowDescriptor::kBackgroundGiven;
            d.background = 0x00302010;  // 0x00BBGGRR
        }
        RecordingWindow window;
        ASSERT_TRUE(window.create(d));
        OS::HDC hdc = OS::getDC(window.hwnd());
        EXPECT_EQ(OS::sendMessage(window.hwnd(), OS::WM_ERASEBKGND, reinterpret_cast<OS::WPARAM>(hdc), 0), 1);
        OS::releaseDC(window.hwnd(), hdc);
        EXPECT_TRUE(windowShows(window.hwnd(), ExpectedPixels(6, 4, brush ? 0xFF102030u : 0u),
                                brush ? "erase-brush" : "erase-no-brush"));
    }
    // A zero colour means the system window colour.
    WindowDescriptor d = smallDescriptor(2, 2);
    d.contentFlags |= WindowDescriptor::kBackgroundGiven;
    RecordingWindow window;
    ASSERT_TRUE(window.create(d));
    OS::HDC hdc = OS::getDC(window.hwnd());
    OS::sendMessage(window.hwnd(), OS::WM_ERASEBKGND, reinterpret_cast<OS::WPARAM>(hdc), 0);
    OS::releaseDC(window.hwnd(), hdc);
    EXPECT_TRUE(windowShows(window.hwnd(), ExpectedPixels(2, 2, 0xFFFFFFFFu), "erase-system-colour"));
}

TEST_F(WindowPaint, LayeredUpdatesPremultiplyAndReplaceWhatTheWindowShows)
{
    struct Case {
        const char* name;
        uint32_t colour;    // straight 0xAARRGGBB
        uint32_t expected;  // premultiplied
    };
    const Case cases[] = {
        {"layered-half", 0x80C86432u, 0x80643219u},  // (200, 100, 50, 128) -> (100, 50, 25, 128)
        {"layered-clear", 0x00FFFFFFu, 0x00000000u},
        {"layered-opaque", 0xFF123456u, 0xFF123456u},
    };
    RecordingWindow window;
    WindowDescriptor d = smallDescriptor(10, 10);
    d.styleFlags |= WindowDescriptor::kLayered;
    ASSERT_TRUE(window.create(d));
    for (const Case& c : cases) {
        Picture picture;
        ASSERT_TRUE(picture.setSize(3, 2, Picture::eBlock::Discard));
        picture.fill(c.colour);
        picture.getPixels()[0] = 0xFF0000FFu;  // the top-left pixel stays on top
        ASSERT_TRUE(window.updateLayered(picture));
        ExpectedPixels expected(3, 2, c.expected);
        expected.at(0, 0) = 0xFF0000FFu;
        EXPECT_TRUE(windowShows(window.hwnd(), expected, c.name));
        OS::WindowPixels shown;
        OS::readWindowPixels(window.hwnd(), shown);
        EXPECT_TRUE(shown.layered);
    }
    Picture empty;
    EXPECT_TRUE(window.updateLayered(empty));
    OS::WindowPixels shown;
    OS::readWindowPixels(window.hwnd(), shown);
    EXPECT_EQ(shown.width, 3);

    RecordingWindow plain;
    ASSERT_TRUE(plain.create(smallDescriptor(4, 4)));
    Picture picture;
    ASSERT_TRUE(picture.setSize(2, 2, Picture::eBlock::Discard));
    picture.fill(0xFFFFFFFFu);
    EXPECT_FALSE(plain.updateLayered(picture));
    OS::readWindowPixels(plain.hwnd(), shown);
    EXPECT_FALSE(shown.layered);
}

// Groups 601 (32 and 16 pixels), 602 (a 16-pixel entry without its image), 604 (32 only)
// and no group 603, in this test's image.
struct TestIcons {
    Bytes big = png(32, 0x11, 0x22, 0x33);
    Bytes small = png(16, 0x44, 0x55, 0x66);
    Bytes group601 = group({{32, 6011}, {16, 6012}});
    Bytes group602 = group({{32, 6011}, {16, 6019}});  // its small image is missing
    Bytes group604 = group({{32, 6011}});
    static inline OS::ResourceEntry table[5];

    static Bytes png(int size, uint8_t r, uint8_t g, uint8_t b)
    {
        PngImage image;
        image.width = image.height = uint32_t(size);
        image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        for (int y = 0; y < size; ++y) {
            Bytes row;
            for (int x = 0; x < size; ++x)
                row.insert(row.end(), {r, g, b, 0xFF});
            image.rows.push_back(row);
        }
        return encodePng(image);
    }
    static Bytes group(const std::vector<std::pair<int, uint16_t>>& images)
    {
        Bytes b = {0, 0, 1, 0, uint8_t(images.size()), 0};
        for (auto [size, id] : images)
            b.insert(b.end(), {uint8_t(size), uint8_t(size), 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, uint8_t(id & 0xFF),
                               uint8_t(id >> 8)});
        return b;
    }
    TestIcons()
    {
        auto entry = [](OS::WORD type, OS::WORD id, const Bytes& bytes) {
            return OS::ResourceEntry{nullptr, nullptr, bytes.data(), OS::DWORD(bytes.size()), type, id};
        };
        table[0] = entry(OS::RT_GROUP_ICON, 601, group601);
        table[1] = entry(OS::RT_GROUP_ICON, 602, group602);
        table[2] = entry(OS::RT_ICON, 6011, big);
        table[3] = entry(OS::RT_ICON, 6012, small);
        table[4] = entry(OS::RT_GROUP_ICON, 604, group604);
        OS::registerModuleResources(table, 5);
    }
};

uint32_t iconColour(OS::HICON icon, int& size)
{
    OS::IconPixels px;
    if (!OS::readIconPixels(icon, px))
        return 0;
    size = px.width;
    return px.pixels.back();
}

TEST_F(WindowPaint, IconsComeFromTheModulesIconResource)
{
    static TestIcons icons;
    (void)icons;
    // A module of the C library: it holds no icons.
    const OS::HMODULE library = OS::getModuleHandleFromAddress(reinterpret_cast<const void*>(&std::abort));
    ASSERT_NE(library, nullptr);
    ASSERT_NE(library, GP::getModuleHandle());
    struct Case {
        const char* name;
        OS::HMODULE module;
        int id;
        uint32_t big;  // 0: no icon
        uint32_t small;
        int smallSize;
    };
    const Case cases[] = {
        {"both sizes", nullptr, 601, 0xFF112233u, 0xFF445566u, 16},
        {"small image missing", nullptr, 602, 0xFF112233u, 0xFF112233u, 32},
        {"large only", nullptr, 604, 0xFF112233u, 0xFF112233u, 16},
        {"missing", nullptr, 603, 0, 0, 0},
        {"another module named", library, 601, 0xFF112233u, 0xFF445566u, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow window;
        ASSERT_TRUE(window.create(mainDescriptor()));
        window.setIcon(c.module, c.id);
        OS::HICON big = OS::getWindowIcon(window.hwnd(), OS::ICON_BIG);
        OS::HICON small = OS::getWindowIcon(window.hwnd(), OS::ICON_SMALL);
        if (!c.big) {
            EXPECT_EQ(big, nullptr);
            EXPECT_EQ(small, nullptr);
            continue;
        }
        int bigSize = 0, smallSize = 0;
        EXPECT_EQ(iconColour(big, bigSize), c.big);
        EXPECT_EQ(bigSize, 32);
        EXPECT_EQ(iconColour(small, smallSize), c.small);
        EXPECT_EQ(smallSize, c.smallSize);
        EXPECT_EQ(small == big, c.smallSize == 32);
    }
}

}  // namespace
