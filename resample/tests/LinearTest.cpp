#include <gtest/gtest.h>

#include "resample/ResizeSpec.h"
#include "resample/tests/ResizeHarness.h"

using namespace ResampleTest;
using namespace Resample;

namespace {

std::vector<Shape> linearShapes()
{
    std::vector<Shape> shapes;
    for (const Shape& s : shapeTable())
        if (s.ws >= 2 && s.hs >= 2)
            shapes.push_back(s);
    return shapes;
}

// Pastes a tile's pixels into a whole destination picture.
void paste(Bytes& whole, std::int32_t wd, const TileBox& t, const Bytes& pixels)
{
    for (std::int32_t y = 0; y < t.h; ++y)
        std::memcpy(&whole[(std::size_t(t.y + y) * wd + t.x) * 4],
                    &pixels[std::size_t(y) * t.w * 4], std::size_t(t.w) * 4);
}

TEST(ResampleLinear, EveryPathGivesPathZerosBytes)
{
    const Layout layouts[] = {Layout{}, Layout{12, 20, false}, Layout{0, 8, true}};
    for (const Shape& s : linearShapes()) {
        SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs << " -> " << s.wd << "x" << s.hd);
        const bool small = s.ws <= 40 && s.wd <= 40 && s.hs <= 3;
        for (eFill fill : {eFill::Random, eFill::Zero, eFill::Full}) {
            if (small && fill != eFill::Random)
                continue;
            const Bytes picture = makePicture(s.ws, s.hs, fill);
            for (const Layout& layout : layouts) {
                const Result whole = expectAllPathsAgree(eOp::Linear, s, {}, layout, picture);
                EXPECT_EQ(whole.status, kOk);
                if (fill != eFill::Random) {
                    EXPECT_EQ(whole.pixels, Bytes(whole.pixels.size(), picture[0]));
                }
                const TileBox clipped{s.wd / 3, s.hd / 2, s.wd, s.hd};
                const Result tile = expectAllPathsAgree(eOp::Linear, s, clipped, layout, picture);
                EXPECT_EQ(tile.status, kOk);
                for (std::int32_t y = 0; y < s.hd - clipped.y; ++y)
                    EXPECT_EQ(0, std::memcmp(
                                     &tile.pixels[std::size_t(y) * (s.wd - clipped.x) * 4],
                                     &whole.pixels[(std::size_t(clipped.y + y) * s.wd + clipped.x) * 4],
                                     std::size_t(s.wd - clipped.x) * 4));
            }
        }
    }
}

TEST(ResampleLinear, ConstantPictureStaysConstant)
{
    for (const Shape& s : linearShapes()) {
        Bytes picture(std::size_t(s.ws) * s.hs * 4);
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = std::uint8_t(77 + i % 4 * 50);
        const Result r = resizeOn(0, eOp::Linear, s, {}, Layout{}, picture);
        for (std::size_t i = 0; i < r.pixels.size(); ++i)
            ASSERT_EQ(r.pixels[i], std::uint8_t(77 + i % 4 * 50))
                << s.ws << "x" << s.hs << " -> " << s.wd << "x" << s.hd << " at " << i;
    }
}

TEST(ResampleLinear, BorderModesAndTileGrids)
{
    const std::int32_t modes[] = {0x01, 0x11, 0x21, 0x41, 0x81, 0x31, 0xC1, 0xF0, 0xF1};
    const Shape shapes[] = {{2, 2, 4, 4},    {5, 3, 17, 11}, {17, 11, 5, 3},
                            {30, 21, 20, 14}, {9, 9, 9, 9},  {3, 40, 41, 7}};
    for (const Shape& s : shapes) {
        const Bytes picture = makePicture(s.ws, s.hs, eFill::Random);
        for (std::int32_t mode : modes) {
            SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs << " -> " << s.wd << "x"
                                            << s.hd << " mode " << mode);
            Layout layout;
            layout.border = mode;
            layout.frame = true;
            const Result whole = expectAllPathsAgree(eOp::Linear, s, {}, layout, picture);
            EXPECT_EQ(whole.status, kOk);
            // Tiles of a grid, each with its own source origin, give the whole picture.
            const std::int32_t xs[] = {0, s.wd / 3, s.wd / 3 + 1, s.wd};
            const std::int32_t ys[] = {0, s.hd / 2, s.hd};
            Bytes assembled(whole.pixels.size(), 0);
            for (int ty = 0; ty < 2; ++ty)
                for (int tx = 0; tx < 3; ++tx) {
                    const TileBox t{xs[tx], ys[ty], xs[tx + 1] - xs[tx], ys[ty + 1] - ys[ty]};
                    if (t.w == 0 || t.h == 0)
                        continue;
                    const Result r = expectAllPathsAgree(eOp::Linear, s, t, layout, picture);
                    paste(assembled, s.wd, t, r.pixels);
                }
            EXPECT_EQ(assembled, whole.pixels);
        }
    }
}

const ResizeSpec* recordIn(const Bytes& buffer)
{
    const std::uint8_t* p = buffer.data();
    p += (64 - reinterpret_cast<std::uintptr_t>(p) % 64) % 64;
    return reinterpret_cast<const ResizeSpec*>(p);
}

Bytes linearSpec(const Shape& s)
{
    std::int32_t size = 0, init = 0;
    EXPECT_EQ(getSize(s.ws, s.hs, s.wd, s.hd, kLinear, 0, &size, &init), kOk);
    Bytes spec(static_cast<std::size_t>(size));
    EXPECT_EQ(initLinear(s.ws, s.hs, s.wd, s.hd, spec.data()), kOk);
    return spec;
}

TEST(ResampleLinear, AxisTablesOfTheWorkedExamples)
{
    struct Point {
        std::size_t i;
        std::int32_t index;
        std::uint16_t weight;  // the second weight of a column pair
    };
    struct Case {
        Shape s;
        std::vector<Point> points;
        std::int32_t leading, trailing;
    };
    const Case cases[] = {
        {{2, 2, 4, 4}, {{0, -1, 12288}, {1, 0, 4096}, {2, 0, 12288}, {3, 1, 4096}}, 1, 1},
        {{4, 4, 2, 2}, {{0, 0, 8192}, {1, 2, 8192}}, 0, 0},
        {{5, 5, 5, 5}, {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {3, 3, 0}, {4, 4, 0}}, 0, 1},
        // (i + 0.5) x (1 / 49) - 0.5 comes out just below the whole numbers 0 and 1 at
        // i = 24 and 73: the tables follow the floating-point values, not exact ones.
        {{2, 2, 98, 98}, {{24, -1, 16384}, {25, 0, 334}, {73, 0, 16384}, {74, 1, 334}}, 25, 24},
    };
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        if (!pathRuns(p))
            continue;
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "path " << p << " " << c.s.ws << " -> " << c.s.wd);
            Bytes buffer(4096);
            ASSERT_EQ(DETAIL::pathTable(p).initLinear(c.s.ws, c.s.hs, c.s.wd, c.s.hd,
                                                       buffer.data()),
                      kOk);
            const ResizeSpec& spec = *recordIn(buffer);
            EXPECT_EQ(spec.magic, 0x4B617389);
            EXPECT_EQ(spec.kind, 7);
            EXPECT_EQ(spec.integerWeights, 1);
            for (const ResizeAxis* axis : {&spec.rows, &spec.cols}) {
                const bool cols = axis == &spec.cols;
                EXPECT_EQ(axis->leading, c.leading);
                EXPECT_EQ(axis->trailing, c.trailing);
                for (const Point& pt : c.points) {
                    EXPECT_EQ(axis->index[pt.i], pt.index) << pt.i;
                    const std::uint16_t w = cols ? axis->weights[2 * pt.i + 1] : axis->weights[pt.i];
                    EXPECT_EQ(w, pt.weight) << pt.i;
                    if (cols) {
                        EXPECT_EQ(axis->weights[2 * pt.i] + w, 16384);
                    }
                }
            }
        }
    }
}

TEST(ResampleLinear, KnownAnswers)
{
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        if (!pathRuns(p))
            continue;
        SCOPED_TRACE(testing::Message() << "path " << p);
        // Equal sizes copy the picture.
        const Shape same{17, 13, 17, 13};
        const Bytes picture = makePicture(17, 13, eFill::Random);
        EXPECT_EQ(resizeOn(p, eOp::Linear, same, {}, Layout{}, picture).pixels, picture);
        // 2 x 2 to 4 x 4 keeps the corners.
        const Bytes four = makePicture(2, 2, eFill::Random);
        const Bytes big = resizeOn(p, eOp::Linear, {2, 2, 4, 4}, {}, Layout{}, four).pixels;
        const int corners[4][2] = {{0, 0}, {3, 1}, {12, 2}, {15, 3}};
        for (const auto& c : corners)
            EXPECT_EQ(0, std::memcmp(&big[std::size_t(c[0]) * 4], &four[std::size_t(c[1]) * 4], 4));
        // Width 4 to 2: each output averages two source columns, halves rounding up.
        Bytes row(4 * 2 * 4);
        const std::uint8_t values[4] = {10, 11, 200, 203};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                for (int ch = 0; ch < 4; ++ch)
                    row[std::size_t((y * 4 + x) * 4 + ch)] = values[x];
        const Bytes half = resizeOn(p, eOp::Linear, {4, 2, 2, 2}, {}, Layout{}, row).pixels;
        for (int y = 0; y < 2; ++y) {
            EXPECT_EQ(half[std::size_t(y * 8)], 11);
            EXPECT_EQ(half[std::size_t(y * 8 + 4)], 202);
        }
        // Rows above in memory: an enlargement blends source row -1 into its first rows.
        Layout above;
        above.border = 0x11;
        const Bytes flat(2 * 2 * 4, 100);
        Bytes framed(4 * 4 * 4, 0);  // row -1 (and the frame) all 0
        for (int y = 1; y < 3; ++y)
            for (int x = 1; x < 3; ++x)
                for (int ch = 0; ch < 4; ++ch)
                    framed[std::size_t((y * 4 + x) * 4 + ch)] = 100;
        Bytes out(4 * 4 * 4, 0xEE);
        std::int32_t workSize = 0;
        const Bytes spec = linearSpec({2, 2, 4, 4});
        ASSERT_EQ(getBufferSize(spec.data(), 4, 4, 4, &workSize), kOk);
        Bytes work(static_cast<std::size_t>(workSize));
        ASSERT_EQ(DETAIL::pathTable(p).resizeLinear4x8(&framed[(4 + 1) * 4], 16, out.data(), 16,
                                                        0, 0, 4, 4, 0x11, nullptr, spec.data(),
                                                        work.data()),
                  kOk);
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(out[std::size_t(x)], 75) << x;
        for (std::size_t i = 16; i < out.size(); ++i)
            EXPECT_EQ(out[i], 100) << i;
        (void)flat;
    }
}

TEST(ResampleLinear, EdgeRoundingAgainstTheTwoPasses)
{
    // A 2 x 2 identity: row 0 goes through the two passes, row 1 (trailing) through the
    // edge formula, both with the column weights written here into column 0.
    struct Case {
        std::uint8_t left, right;
        std::uint16_t w0, w1;
        std::uint8_t twoPass, edge;
    };
    const Case cases[] = {
        {10, 11, 8192, 8192, 11, 11},
        {10, 12, 12288, 4096, 11, 11},
        {11, 12, 8193, 8191, 12, 12},
        {0, 255, 0, 16384, 255, 255},
    };
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        if (!pathRuns(p))
            continue;
        for (const Case& c : cases) {
            Bytes spec = linearSpec({2, 2, 2, 2});
            auto* weights = const_cast<std::uint16_t*>(recordIn(spec)->cols.weights);
            weights[0] = c.w0;
            weights[1] = c.w1;
            Bytes src(2 * 2 * 4);
            for (int y = 0; y < 2; ++y)
                for (int ch = 0; ch < 4; ++ch) {
                    src[std::size_t(y * 8 + ch)] = c.left;
                    src[std::size_t(y * 8 + 4 + ch)] = c.right;
                }
            Bytes out(2 * 2 * 4, 0xEE);
            std::int32_t workSize = 0;
            ASSERT_EQ(getBufferSize(spec.data(), 2, 2, 4, &workSize), kOk);
            Bytes work(static_cast<std::size_t>(workSize));
            ASSERT_EQ(DETAIL::pathTable(p).resizeLinear4x8(src.data(), 8, out.data(), 8, 0, 0, 2,
                                                            2, 1, nullptr, spec.data(),
                                                            work.data()),
                      kOk);
            EXPECT_EQ(out[0], c.twoPass) << "path " << p << " taps " << int(c.left) << ","
                                         << int(c.right);
            EXPECT_EQ(out[8], c.edge) << "path " << p << " taps " << int(c.left) << ","
                                      << int(c.right);
        }
    }
}

// The edge formulas hold for any 16-bit weight, on every path: an edge row with column
// weights beyond the signed 16-bit range and an edge column with such a row weight.
TEST(ResampleLinear, EdgesTakeEverySixteenBitWeight)
{
    struct Case {
        std::uint16_t w0, w1, wr;
    };
    const Case cases[] = {{40000, 0, 0}, {0, 65535, 0}, {32768, 32768, 0}, {32767, 1, 32767},
                          {16384, 0, 40000}, {16384, 0, 65535}, {16384, 0, 32768}};
    const std::uint8_t top[2] = {10, 200}, bottom[2] = {90, 30};
    auto edgeRound = [](std::uint32_t v) { return std::uint8_t((v + ((v >> 14) & 1u) + 8192u) >> 14); };
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        if (!pathRuns(p))
            continue;
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "path " << p << " weights " << c.w0 << " " << c.w1 << " row " << c.wr);
            Bytes spec = linearSpec({2, 2, 2, 2});
            auto* cols = const_cast<std::uint16_t*>(recordIn(spec)->cols.weights);
            cols[0] = c.w0;
            cols[1] = c.w1;
            const_cast<std::uint16_t*>(recordIn(spec)->rows.weights)[0] = c.wr;
            Bytes src(2 * 2 * 4);
            for (int x = 0; x < 2; ++x)
                for (int ch = 0; ch < 4; ++ch) {
                    src[std::size_t(x * 4 + ch)] = top[x];
                    src[std::size_t(8 + x * 4 + ch)] = bottom[x];
                }
            Bytes out(2 * 2 * 4, 0xEE);
            std::int32_t workSize = 0;
            ASSERT_EQ(getBufferSize(spec.data(), 2, 2, 4, &workSize), kOk);
            Bytes work(static_cast<std::size_t>(workSize));
            ASSERT_EQ(DETAIL::pathTable(p).resizeLinear4x8(src.data(), 8, out.data(), 8, 0, 0, 2, 2, 1, nullptr,
                                                            spec.data(), work.data()),
                      kOk);
            // The bottom row's first pixel takes both columns of the last source row; the top
            // row's last pixel blends the last column's two source rows.
            EXPECT_EQ(out[8], edgeRound(std::uint32_t(c.w0) * bottom[0] + std::uint32_t(c.w1) * bottom[1]));
            EXPECT_EQ(out[4], edgeRound(std::uint32_t(16384 * top[1] + (bottom[1] - top[1]) * std::int32_t(c.wr))));
        }
    }
}

} // namespace
