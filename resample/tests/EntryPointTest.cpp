#include "resample/Resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "resample/CpuFeatures.h"
#include "resample/paths/Paths.h"

using namespace Resample;

namespace {

constexpr std::int32_t kUntouched = 0x5A5A5A5A;

TEST(ResampleDispatch, FirstCallChoosesOnePathForAllEntryPoints)
{
    std::int32_t spec = kUntouched, init = kUntouched;
    EXPECT_EQ(getSize(100, 100, 200, 150, kNearest, 0, &spec, &init), kOk);
    const std::int32_t index = DETAIL::dispatchIndex();
    ASSERT_GE(index, 0);
    ASSERT_LT(index, DETAIL::kPathCount);
    std::uint64_t word = 0;
    ASSERT_EQ(getCpuFeatures(&word), kOk);
    std::int32_t expected = -1;
    selectCpuFeatures(word, &expected);
    EXPECT_EQ(index, expected);
    EXPECT_EQ(word & DETAIL::pathRequirement(index), DETAIL::pathRequirement(index));
    std::int32_t spec2 = 0, init2 = 0;
    EXPECT_EQ(getSize(100, 100, 200, 150, kNearest, 0, &spec2, &init2), kOk);
    EXPECT_EQ(spec2, spec);
    EXPECT_EQ(DETAIL::dispatchIndex(), index);
}

TEST(ResampleFloor, EveryPathGivesTheExactFloor)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {
        -0.5, -0.0, 0.0, 0.5, 0.9999999999999999, -0.9999999999999999, 1.0, -1.0, 1.5, -1.5,
        2.5, -2.5, 4503599627370495.5, -4503599627370495.5, 4503599627370496.0,
        -4503599627370496.0, 2251799813685248.5, -2251799813685248.5, 2251799813685249.0,
        2251799813685247.75, -2251799813685247.75, 6755399441055744.0, 1e300, -1e300,
        5e-324, -5e-324, 2.2250738585072014e-308, 123456789.00000001, -123456789.00000001,
        std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), inf, -inf,
        1.0 - 1e-16, -1e-300, 3.0000000000000004, -3.0000000000000004};
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        for (double v : values) {
            const double got = DETAIL::pathTable(p).floor(v), want = std::floor(v);
            EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
                << "path " << p << " floor(" << v << ") = " << got;
        }
        const double nan = DETAIL::pathTable(p).floor(std::numeric_limits<double>::quiet_NaN());
        EXPECT_TRUE(std::isnan(nan)) << p;
    }
    EXPECT_EQ(Resample::floor(-0.5), -1.0);
}

struct SizeCase {
    std::int32_t ws, hs, wd, hd, interpolation, antialiasing;
    Status status;
    std::int32_t spec, init;  // kUntouched where nothing may be written
};

TEST(ResampleGetSize, StatusAndSizes)
{
    const SizeCase cases[] = {
        {0, 1, 1, 1, 1, 0, kNothingToDo, kUntouched, kUntouched},
        {-1, 1, 1, 0, 1, 0, kNothingToDo, kUntouched, kUntouched},
        {-1, 1, 1, 1, 1, 0, kBadSize, kUntouched, kUntouched},
        {4, 4, 4, 4, 3, 0, kBadInterpolation, kUntouched, kUntouched},
        {4, 4, 4, 4, 0, 0, kNotSupported, kUntouched, kUntouched},
        {1, 4, 4, 4, 2, 0, kBadSize, kUntouched, kUntouched},
        {4, 3, 4, 4, 6, 0, kBadSize, kUntouched, kUntouched},
        {4, 3, 4, 4, 16, 0, kBadSize, kUntouched, kUntouched},
        {4, 4, 5, 4, 8, 0, kBadSize, kUntouched, kUntouched},
        {100, 100, 200, 150, 1, 0, kOk, 1796, 64},
        {100, 100, 200, 150, 1, 1, kAntialiasIgnored, 1796, 64},
        {100, 100, 200, 150, 2, 0, kOk, 3332, 64},
        {100, 100, 200, 150, 6, 0, kOk, 8196, 1600},
        {100, 100, 200, 150, 16, 0, kOk, 11652, 1600},
        {300, 200, 200, 150, 8, 0, kOk, 556, 64},
        {300, 200, 200, 150, 8, 1, kAntialiasIgnored, 556, 64},
        {100, 100, 200, 150, 2, 1, kOk, 4612, 3136},
        {400, 300, 100, 100, 6, 1, kOk, 23684, 2112},
        {1, 1, 1, 1, 1, 0, kOk, 4 * 64 + 260, 64},
        {1, 1, 536870912, 1, 1, 0, kTooLarge, kUntouched, kUntouched},
        {2, 2, 268435456, 1, 2, 0, kTooLarge, kUntouched, kUntouched},
    };
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        for (const SizeCase& c : cases) {
            SCOPED_TRACE(testing::Message() << "path " << p << " " << c.ws << "x" << c.hs
                                            << " -> " << c.wd << "x" << c.hd << " interp "
                                            << c.interpolation << " aa " << c.antialiasing);
            std::int32_t spec = kUntouched, init = kUntouched;
            EXPECT_EQ(DETAIL::pathTable(p).getSize(c.ws, c.hs, c.wd, c.hd, c.interpolation,
                                                   c.antialiasing, &spec, &init),
                      c.status);
            EXPECT_EQ(spec, c.spec);
            EXPECT_EQ(init, c.init);
        }
        std::int32_t out = kUntouched;
        EXPECT_EQ(DETAIL::pathTable(p).getSize(0, 0, 0, 0, 1, 0, nullptr, &out), kNullPointer);
        EXPECT_EQ(DETAIL::pathTable(p).getSize(0, 0, 0, 0, 1, 0, &out, nullptr), kNullPointer);
        EXPECT_EQ(out, kUntouched);
    }
}

// A record buffer built through the public entry points.
std::vector<std::uint8_t> makeSpec(std::int32_t interpolation, std::int32_t ws, std::int32_t hs,
                                   std::int32_t wd, std::int32_t hd)
{
    std::int32_t size = 0, init = 0;
    EXPECT_EQ(getSize(ws, hs, wd, hd, interpolation, 0, &size, &init), kOk);
    std::vector<std::uint8_t> buffer(size_t(size) + 1);
    // Start one byte in, so the record is not at the buffer's start.
    const Status s = interpolation == kNearest ? initNearest(ws, hs, wd, hd, buffer.data() + 1)
                                               : initLinear(ws, hs, wd, hd, buffer.data() + 1);
    EXPECT_EQ(s, kOk);
    return buffer;
}

// The record inside such a buffer, for tests that damage one header word.
std::int32_t* headerWord(std::vector<std::uint8_t>& buffer, int word)
{
    std::uint8_t* p = buffer.data() + 1;
    p += (64 - reinterpret_cast<std::uintptr_t>(p) % 64) % 64;
    return reinterpret_cast<std::int32_t*>(p) + word;
}

TEST(ResampleGetBufferSize, StatusAndSizes)
{
    std::vector<std::uint8_t> nearest = makeSpec(kNearest, 100, 100, 200, 150);
    std::vector<std::uint8_t> linear = makeSpec(kLinear, 100, 100, 200, 150);
    std::vector<std::uint8_t> blank(nearest.size());
    std::vector<std::uint8_t> noInterpolation = makeSpec(kNearest, 100, 100, 200, 150);
    *headerWord(noInterpolation, 2) = 0;
    struct Case {
        const std::uint8_t* spec;
        std::int32_t w, h, channels;
        Status status;
        std::int32_t size;
    };
    const std::uint8_t* n = nearest.data() + 1;
    const std::uint8_t* l = linear.data() + 1;
    const Case cases[] = {
        {nullptr, 1, 1, 4, kNullPointer, kUntouched},
        {n, 0, 1, 4, kNothingToDo, kUntouched},
        {n, -1, 0, 2, kNothingToDo, kUntouched},
        {blank.data(), 1, 1, 2, kBadSpec, kUntouched},
        {n, 1, 1, 2, kBadChannels, kUntouched},
        {n, -1, 1, 4, kBadSize, kUntouched},
        {noInterpolation.data() + 1, 1, 1, 4, kNotSupported, kUntouched},
        {n, 200, 150, 4, kOk, 1472},
        {n, 200, 150, 1, kOk, 1472},
        {n, 300, 150, 3, kSizeClipped, 1472},
        {n, 200, 151, 4, kSizeClipped, 1472},
        {n, 10, 10, 4, kOk, 64 + 64 + 64},
        {l, 200, 150, 4, kOk, 7872},
        {l, 200, 150, 1, kOk, 7872},  // still room for the four-channel row buffers
        {l, 200, 150, 3, kOk, 7872},
        {l, 201, 150, 4, kSizeClipped, 7872},
    };
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "path " << p << " " << c.w << "x" << c.h << " ch "
                                            << c.channels << " expect " << c.status);
            std::int32_t size = kUntouched;
            EXPECT_EQ(DETAIL::pathTable(p).getBufferSize(c.spec, c.w, c.h, c.channels, &size),
                      c.status);
            EXPECT_EQ(size, c.size);
        }
        EXPECT_EQ(DETAIL::pathTable(p).getBufferSize(n, 1, 1, 4, nullptr), kNullPointer);
    }
}

TEST(ResampleInit, StatusAndUntouchedBuffer)
{
    struct Case {
        std::int32_t interpolation, ws, hs, wd, hd;
        Status status;
    };
    const Case cases[] = {
        {kNearest, 0, 4, 4, 4, kNothingToDo}, {kNearest, 4, -4, 0, 4, kNothingToDo},
        {kNearest, 4, -4, 4, 4, kBadSize},    {kNearest, 1, 1, 4, 4, kOk},
        {kLinear, 0, 4, 4, 4, kNothingToDo},  {kLinear, 4, 4, -1, 4, kBadSize},
        {kLinear, 1, 4, 4, 4, kBadSize},      {kLinear, 4, 1, 4, 4, kBadSize},
        {kLinear, 2, 2, 4, 4, kOk},
    };
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        const DETAIL::PathTable& path = DETAIL::pathTable(p);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "path " << p << " interp " << c.interpolation
                                            << " " << c.ws << "x" << c.hs);
            std::vector<std::uint8_t> buffer(4096, 0xA5);
            auto init = c.interpolation == kNearest ? path.initNearest : path.initLinear;
            EXPECT_EQ(init(c.ws, c.hs, c.wd, c.hd, buffer.data()), c.status);
            const bool untouched = std::vector<std::uint8_t>(4096, 0xA5) == buffer;
            EXPECT_EQ(untouched, c.status != kOk);
            EXPECT_EQ(init(c.ws, c.hs, c.wd, c.hd, nullptr), kNullPointer);
        }
    }
}

TEST(ResampleResize, StatusOrderAndUntouchedDestination)
{
    std::vector<std::uint8_t> nearest = makeSpec(kNearest, 4, 4, 8, 8);
    std::vector<std::uint8_t> linear = makeSpec(kLinear, 4, 4, 8, 8);
    std::vector<std::uint8_t> antialiased = makeSpec(kNearest, 4, 4, 8, 8);
    *headerWord(antialiased, 5) = 1;
    std::vector<std::uint8_t> blank(nearest.size());
    const void* n = nearest.data() + 1;
    const void* l = linear.data() + 1;
    std::vector<std::uint8_t> src(4 * 4 * 4, 7);
    std::vector<std::uint8_t> work(4096);
    enum eOp { Nearest, Linear };
    struct Case {
        const char* name;
        eOp op;
        bool nullSrc;
        const void* spec;
        std::int32_t x, y, w, h, border;
        Status status;
    };
    const Case cases[] = {
        {"border above 255", Linear, true, nullptr, 0, 0, 8, 8, 0x100, kBadBorder},
        {"negative border", Linear, false, l, 0, 0, 8, 8, -1, kBadBorder},
        {"border 0x02", Linear, false, l, 0, 0, 8, 8, 0x02, kBadBorder},
        {"border 0xF2", Linear, false, l, 0, 0, 8, 8, 0xF2, kBadBorder},
        {"null source", Nearest, true, n, 0, 0, 8, 8, 1, kNullPointer},
        {"null source, linear", Linear, true, l, 0, 0, 8, 8, 1, kNullPointer},
        {"null record", Nearest, false, nullptr, 0, 0, 8, 8, 1, kNullPointer},
        {"zero width", Nearest, false, n, 0, 0, 0, 8, 1, kNothingToDo},
        {"zero height before the magic", Nearest, false, blank.data(), 0, 0, 8, 0, 1,
         kNothingToDo},
        {"no magic", Linear, false, blank.data(), 0, 0, -8, 8, 1, kBadSpec},
        {"negative width", Nearest, false, n, 0, 0, -8, 8, 1, kBadSize},
        {"negative x", Nearest, false, n, -1, 0, 8, 8, 1, kBadOffset},
        {"x at the width", Nearest, false, n, 8, 0, 1, 1, 1, kBadOffset},
        {"y at the height", Linear, false, l, 0, 8, 1, 1, 1, kBadOffset},
        {"antialiasing word", Nearest, false, antialiased.data() + 1, 0, 0, 8, 8, 1,
         kNotSupported},
        {"linear spec to nearest", Nearest, false, l, 0, 0, 8, 8, 1, kBadSpec},
        {"nearest spec to linear", Linear, false, n, 0, 0, 8, 8, 1, kBadSpec},
    };
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        const DETAIL::PathTable& path = DETAIL::pathTable(p);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "path " << p << " " << c.name);
            std::vector<std::uint8_t> dst(8 * 8 * 4, 0xEE);
            const void* s = c.nullSrc ? nullptr : src.data();
            const Status got =
                c.op == Nearest
                    ? path.resizeNearest4x8(s, 16, dst.data(), 32, c.x, c.y, c.w, c.h, c.spec,
                                            work.data())
                    : path.resizeLinear4x8(s, 16, dst.data(), 32, c.x, c.y, c.w, c.h, c.border,
                                           nullptr, c.spec, work.data());
            EXPECT_EQ(got, c.status);
            EXPECT_EQ(dst, std::vector<std::uint8_t>(8 * 8 * 4, 0xEE));
        }
        // A tile larger than the destination is clipped to it and reports 48; one that
        // only overhangs the right and bottom edges reports 0.
        for (eOp op : {Nearest, Linear}) {
            struct Tile {
                std::int32_t x, y, w, h;
                Status status;
            };
            for (const Tile& t : {Tile{0, 0, 9, 8, kSizeClipped}, Tile{4, 4, 8, 8, kOk},
                                  Tile{0, 0, 8, 100, kSizeClipped}}) {
                std::vector<std::uint8_t> dst(8 * 9 * 4 + 64, 0xEE);
                std::uint8_t* origin = dst.data() + (t.y * 9 + t.x) * 4;
                const std::int32_t x0 = t.x / 2, y0 = t.y / 2;
                const std::uint8_t* so = src.data() + (y0 * 4 + x0) * 4;
                const Status got =
                    op == Nearest ? path.resizeNearest4x8(so, 16, origin, 36, t.x, t.y, t.w, t.h,
                                                          n, work.data())
                                  : path.resizeLinear4x8(so, 16, origin, 36, t.x, t.y, t.w, t.h,
                                                         1, nullptr, l, work.data());
                EXPECT_EQ(got, t.status);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 9; ++x) {
                        const bool inside = x < 8 && x >= t.x && y >= t.y;
                        EXPECT_EQ(dst[(y * 9 + x) * 4], inside ? 7 : 0xEE) << x << "," << y;
                    }
                EXPECT_EQ(dst[8 * 9 * 4], 0xEE);
            }
        }
    }
}

} // namespace
