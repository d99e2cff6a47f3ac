#include <gtest/gtest.h>

#include "resample/ResizeSpec.h"
#include "resample/tests/ResizeHarness.h"

using namespace ResampleTest;
using namespace Resample;

namespace {

TEST(ResampleNearest, EveryPathGivesPathZerosBytes)
{
    const Layout layouts[] = {Layout{}, Layout{12, 20, false}, Layout{0, 8, true},
                              Layout{4, 0, true}};
    for (const Shape& s : shapeTable()) {
        SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs << " -> " << s.wd << "x" << s.hd);
        const bool small = s.ws <= 40 && s.wd <= 40 && s.hs <= 3;
        for (eFill fill : {eFill::Random, eFill::Zero, eFill::Full}) {
            if (small && fill != eFill::Random)
                continue;  // the width sweep runs on random pictures only
            const Bytes picture = makePicture(s.ws, s.hs, fill);
            const Bytes expected = nearestReference(s, picture);
            for (const Layout& layout : layouts) {
                const Result whole = expectAllPathsAgree(eOp::Nearest, s, {}, layout, picture);
                EXPECT_EQ(whole.status, kOk);
                EXPECT_EQ(whole.pixels, expected);
                // A tile that overhangs the right and bottom edges is clipped.
                const TileBox clipped{s.wd / 3, s.hd / 2, s.wd, s.hd};
                const Result tile = expectAllPathsAgree(eOp::Nearest, s, clipped, layout, picture);
                EXPECT_EQ(tile.status, kOk);
                for (std::int32_t y = 0; y < s.hd - clipped.y; ++y)
                    EXPECT_EQ(0, std::memcmp(&tile.pixels[std::size_t(y) * (s.wd - clipped.x) * 4],
                                             &expected[(std::size_t(clipped.y + y) * s.wd + clipped.x) * 4],
                                             std::size_t(s.wd - clipped.x) * 4));
            }
        }
    }
}

TEST(ResampleNearest, WorkedExamples)
{
    struct Case {
        Shape shape;
        std::vector<int> picks;  // source pixel number per destination pixel
    };
    const Case cases[] = {
        {{4, 4, 2, 2}, {0, 2, 8, 10}},
        {{2, 2, 4, 4}, {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3}},
        {{3, 1, 2, 1}, {0, 2}},
        {{2, 2, 1, 1}, {0}},
        {{1, 1, 3, 2}, {0, 0, 0, 0, 0, 0}},
        {{6, 1, 3, 1}, {0, 2, 4}},
        {{3, 1, 6, 1}, {0, 0, 1, 1, 2, 2}},
    };
    for (const Case& c : cases) {
        const Shape& s = c.shape;
        Bytes picture(std::size_t(s.ws) * s.hs * 4);
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = std::uint8_t(i / 4 * 10 + i % 4);
        for (int p = 0; p < DETAIL::kPathCount; ++p) {
            if (!pathRuns(p))
                continue;
            const Result r = resizeOn(p, eOp::Nearest, s, {}, Layout{}, picture);
            ASSERT_EQ(r.pixels.size(), c.picks.size() * 4);
            for (std::size_t k = 0; k < c.picks.size(); ++k)
                EXPECT_EQ(r.pixels[k * 4 + 1], std::uint8_t(c.picks[k] * 10 + 1))
                    << "path " << p << " pixel " << k << " of " << s.ws << "x" << s.hs;
        }
    }
}

TEST(ResampleNearest, TileOriginAndOffsets)
{
    // A tile at (10, 10) of a 40 x 40 destination from 20 x 20 reads from source (5, 5).
    const Shape s{20, 20, 40, 40};
    const Bytes picture = makePicture(20, 20, eFill::Random);
    const Bytes whole = nearestReference(s, picture);
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        if (!pathRuns(p))
            continue;
        const Result r = resizeOn(p, eOp::Nearest, s, {10, 10, 6, 6}, Layout{}, picture);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(0, std::memcmp(&r.pixels[std::size_t(y * 6 + x) * 4],
                                         &whole[std::size_t((10 + y) * 40 + 10 + x) * 4], 4));
    }
    // 49 x (2 / 98) comes out just below 1 in floating point; the origin must be the exact
    // source pixel 1, or the last tile reads past the two-pixel source.
    const Shape tiny{2, 2, 98, 98};
    const Bytes two = makePicture(2, 2, eFill::Random);
    const Bytes expected = nearestReference(tiny, two);
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        if (!pathRuns(p))
            continue;
        const Result r = resizeOn(p, eOp::Nearest, tiny, {49, 49, 49, 49}, Layout{}, two);
        for (int y = 0; y < 49; ++y)
            EXPECT_EQ(0, std::memcmp(&r.pixels[std::size_t(y) * 49 * 4],
                                     &expected[(std::size_t(49 + y) * 98 + 49) * 4], 49 * 4))
                << "path " << p << " row " << y;
    }
}

TEST(ResampleNearest, GridOfTilesEqualsOneTile)
{
    struct Grid {
        Shape s;
        std::vector<std::int32_t> xs, ys;  // tile edges
    };
    const Grid grids[] = {
        {{37, 23, 53, 29}, {0, 7, 8, 31, 53}, {0, 1, 10, 29}},
        {{53, 29, 37, 23}, {0, 5, 17, 37}, {0, 11, 12, 23}},
        {{10, 10, 49, 31}, {0, 3, 48, 49}, {0, 30, 31}},
    };
    for (const Grid& g : grids) {
        const Bytes picture = makePicture(g.s.ws, g.s.hs, eFill::Random);
        const Bytes whole = nearestReference(g.s, picture);
        for (int p = 0; p < DETAIL::kPathCount; ++p) {
            if (!pathRuns(p))
                continue;
            Bytes assembled(whole.size(), 0);
            for (std::size_t ty = 0; ty + 1 < g.ys.size(); ++ty)
                for (std::size_t tx = 0; tx + 1 < g.xs.size(); ++tx) {
                    const TileBox t{g.xs[tx], g.ys[ty], g.xs[tx + 1] - g.xs[tx],
                                    g.ys[ty + 1] - g.ys[ty]};
                    const Result r = resizeOn(p, eOp::Nearest, g.s, t, Layout{}, picture);
                    for (std::int32_t y = 0; y < t.h; ++y)
                        std::memcpy(&assembled[(std::size_t(t.y + y) * g.s.wd + t.x) * 4],
                                    &r.pixels[std::size_t(y) * t.w * 4], std::size_t(t.w) * 4);
                }
            EXPECT_EQ(assembled, whole) << "path " << p;
        }
    }
}

} // namespace

namespace {

TEST(ResampleNearest, VeryLargeSourcesFollowTheFormula)
{
    // With a ratio of 2.5e8 the centres are whole numbers far above 1e-10's reach, so the
    // formula keeps them instead of stepping down to the pixel before.
    for (int p = 0; p < DETAIL::kPathCount; ++p) {
        if (!pathRuns(p))
            continue;
        std::int32_t size = 0, init = 0;
        ASSERT_EQ(DETAIL::pathTable(p).getSize(2000000000, 3, 8, 3, kNearest, 0, &size, &init),
                  kOk);
        Bytes spec(static_cast<std::size_t>(size));
        ASSERT_EQ(DETAIL::pathTable(p).initNearest(2000000000, 3, 8, 3, spec.data()), kOk);
        const std::uint8_t* at = spec.data();
        at += (64 - reinterpret_cast<std::uintptr_t>(at) % 64) % 64;
        const auto* rec = reinterpret_cast<const ResizeSpec*>(at);
        EXPECT_EQ(rec->magic, 0x4B617389);
        EXPECT_EQ(rec->kind, 13);
        for (std::int32_t i = 0; i < 8; ++i)
            EXPECT_EQ(rec->cols.index[i], 125000000 * (2 * i + 1)) << "path " << p << " " << i;
        for (std::int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(rec->rows.index[i], i);
    }
}

} // namespace
