#include "os/windows/icons/Icon.h"

#include <gtest/gtest.h>
#include <png.h>

#include "os/kernel/Resources.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

using Bytes = std::vector<BYTE>;

Bytes encodePng(int size, std::uint32_t colour)
{
    std::vector<std::uint32_t> pixels(size_t(size) * size_t(size), colour);
    pixels[0] = 0x00000000u;  // a transparent corner shows that alpha is kept
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t length = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &length, 0, pixels.data(), 0, nullptr));
    Bytes out(length);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &length, 0, pixels.data(), 0, nullptr));
    out.resize(length);
    return out;
}

void put16(Bytes& b, WORD v)
{
    b.push_back(BYTE(v & 0xFF));
    b.push_back(BYTE(v >> 8));
}

Bytes group(const std::vector<std::pair<int, WORD>>& images)
{
    Bytes b;
    put16(b, 0);
    put16(b, 1);
    put16(b, WORD(images.size()));
    for (auto [size, id] : images) {
        b.push_back(BYTE(size));
        b.push_back(BYTE(size));
        b.push_back(0);
        b.push_back(0);
        put16(b, 1);
        put16(b, 32);
        for (int i = 0; i < 4; ++i)
            b.push_back(0);
        put16(b, id);
    }
    return b;
}

// Groups 401 (32 and 16), 402 (only 32; its 16 entry names a missing image) and 403 (broken).
struct TestIcons {
    Bytes group401 = group({{32, 4011}, {16, 4012}});
    Bytes group402 = group({{32, 4021}, {16, 4029}});
    Bytes group403 = Bytes{0, 0, 1, 0};
    Bytes big = encodePng(32, 0xFF0000FFu);
    Bytes small = encodePng(16, 0xFF00FF00u);
    Bytes big2 = encodePng(32, 0xFFFF0000u);
    TestIcons()
    {
        auto entry = [](WORD type, WORD id, const Bytes& b) {
            return ResourceEntry{nullptr, nullptr, b.data(), DWORD(b.size()), type, id};
        };
        table[0] = entry(RT_GROUP_ICON, 401, group401);
        table[1] = entry(RT_GROUP_ICON, 402, group402);
        table[2] = entry(RT_GROUP_ICON, 403, group403);
        table[3] = entry(RT_ICON, 4011, big);
        table[4] = entry(RT_ICON, 4012, small);
        table[5] = entry(RT_ICON, 4021, big2);
        registerModuleResources(table, 6);
    }
    // The table lies in the test's image: that names the module its resources belong to.
    static inline ResourceEntry table[6];
};

void registerTestIcons()
{
    static TestIcons icons;
    (void)icons;
}

class Icons : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        registerTestIcons();
    }
};

TEST_F(Icons, TheBestFittingImageIsLoadedAtTheAskedSize)
{
    struct Case {
        WORD group;
        int size;
        UINT flags;
        std::uint32_t colour;  // 0: no icon
        DWORD error;
    };
    const Case cases[] = {
        {401, 0, LR_DEFAULTSIZE, 0xFF0000FFu, 0},
        {401, 16, 0, 0xFF00FF00u, 0},
        {401, 24, 0, 0xFF0000FFu, 0},  // the smallest larger image, scaled down
        {402, 32, 0, 0xFFFF0000u, 0},
        {402, 16, 0, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
        {403, 32, 0, 0, ERROR_INVALID_DATA},
        {404, 32, 0, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    for (const Case& c : cases) {
        setLastError(0);
        HICON icon = loadIconImage(nullptr, c.group, c.size, c.size, c.flags);
        if (!c.colour) {
            EXPECT_EQ(icon, nullptr) << c.group << "@" << c.size;
            EXPECT_EQ(getLastError(), c.error) << c.group << "@" << c.size;
            continue;
        }
        ASSERT_TRUE(icon) << c.group << "@" << c.size;
        IconPixels px;
        ASSERT_TRUE(readIconPixels(icon, px));
        int expected = c.size ? c.size : kIconSize;
        EXPECT_EQ(px.width, expected);
        EXPECT_EQ(px.height, expected);
        EXPECT_EQ(px.pixels[0], 0u);
        EXPECT_EQ(px.pixels.back(), c.colour);
        EXPECT_TRUE(destroyIcon(icon));
        EXPECT_FALSE(readIconPixels(icon, px));
    }
}

TEST_F(Icons, AWindowKeepsItsBigAndSmallIcons)
{
    HWND hwnd = create(WS_OVERLAPPEDWINDOW);
    HICON big = loadIconImage(nullptr, 401, 0, 0, LR_DEFAULTSIZE);
    HICON small = loadIconImage(nullptr, 401, kSmallIconSize, kSmallIconSize, 0);
    EXPECT_EQ(sendMessage(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)), 0);
    EXPECT_EQ(sendMessage(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small)), 0);
    EXPECT_EQ(getWindowIcon(hwnd, ICON_BIG), big);
    EXPECT_EQ(getWindowIcon(hwnd, ICON_SMALL), small);
    EXPECT_EQ(sendMessage(hwnd, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(small));
    EXPECT_EQ(sendMessage(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(big)),
              reinterpret_cast<LRESULT>(small));
    destroyWindow(hwnd);
    destroyIcon(big);
    destroyIcon(small);
    EXPECT_FALSE(destroyIcon(loadIcon(nullptr, IDI_APPLICATION)));
    EXPECT_TRUE(loadCursor(nullptr, IDC_ARROW));
}

}  // namespace
