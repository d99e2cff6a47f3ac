// The shortcuts of both resizes (repeated rows, consecutive columns, whole weights) give the
// bytes of the plain formulas, on every path and in every store mode; a weight one step
// away from whole takes the general route and still matches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "resample/ResizeSpec.h"
#include "resample/tests/ResizeHarness.h"

using namespace ResampleTest;
using namespace Resample;

namespace {

const ResizeSpec* recordIn(Bytes& buffer)
{
    std::uint8_t* p = buffer.data();
    p += (64 - reinterpret_cast<std::uintptr_t>(p) % 64) % 64;
    return reinterpret_cast<const ResizeSpec*>(p);
}

// A source picture with one pixel of readable memory around it (border mode 0xF0 reads it).
struct FramedSource {
    Bytes memory;
    std::ptrdiff_t step;
    const std::uint8_t* origin;
    FramedSource(std::int32_t ws, std::int32_t hs, unsigned seed)
    {
        const Bytes p = makePicture(ws + 2, hs + 2, eFill::Random, seed);
        memory = p;
        step = 4 * std::ptrdiff_t(ws + 2);
        origin = memory.data() + step + 4;
    }
    std::uint8_t at(std::int64_t row, std::int64_t column, int c) const
    {
        return origin[step * row + 4 * column + c];
    }
};

// The two passes written out plainly from the record's tables: each source row's taps
// weighted and shifted to 16 bits, then the two rows weighted, rounded and limited.
Bytes linearReference(const ResizeSpec& spec, const FramedSource& src)
{
    const std::int32_t wd = spec.cols.dstSize, hd = spec.rows.dstSize;
    Bytes out(std::size_t(wd) * hd * 4);
    for (std::int32_t i = 0; i < hd; ++i) {
        const std::int64_t k = spec.rows.index[i];
        const std::uint32_t wr = spec.rows.weights[i];
        for (std::int32_t j = 0; j < wd; ++j) {
            const std::int64_t col = spec.cols.index[j];
            const std::uint32_t w0 = spec.cols.weights[2 * j], w1 = spec.cols.weights[2 * j + 1];
            for (int c = 0; c < 4; ++c) {
                auto pass = [&](std::int64_t row) {
                    return std::uint16_t((w0 * src.at(row, col, c) + w1 * src.at(row, col + 1, c) + 128) >> 8);
                };
                const std::uint32_t upper = pass(k), lower = pass(k + 1);
                const std::int32_t v = std::int32_t((wr * lower + (16384 - wr) * upper + 0x80000u) >> 20);
                out[(std::size_t(i) * wd + j) * 4 + c] = std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    return out;
}

using Patch = std::function<void(ResizeSpec&)>;

// The whole destination on `path` with all neighbours in memory, after `patch` edits the
// record; `expected` gets the plain passes over the same record. `tight`: from a copy of the
// source without its frame or row padding (the record must keep every tap inside it).
Bytes linearOn(int path, const Shape& s, const FramedSource& src, const Patch& patch, Bytes* expected,
               bool tight = false)
{
    const DETAIL::PathTable& p = DETAIL::pathTable(path);
    std::int32_t specSize = 0, initSize = 0, workSize = 0;
    EXPECT_EQ(p.getSize(s.ws, s.hs, s.wd, s.hd, kLinear, 0, &specSize, &initSize), kOk);
    Bytes spec(static_cast<std::size_t>(specSize));
    EXPECT_EQ(p.initLinear(s.ws, s.hs, s.wd, s.hd, spec.data()), kOk);
    if (patch)
        patch(*const_cast<ResizeSpec*>(recordIn(spec)));
    EXPECT_EQ(p.getBufferSize(spec.data(), s.wd, s.hd, 4, &workSize), kOk);
    Bytes work(std::size_t(workSize), 0x77), dst(std::size_t(s.wd) * s.hd * 4, kCanary);
    Bytes unframed;
    const std::uint8_t* from = src.origin;
    std::ptrdiff_t step = src.step;
    if (tight) {
        step = 4 * std::ptrdiff_t(s.ws);
        unframed.resize(std::size_t(step) * s.hs);
        for (std::int32_t y = 0; y < s.hs; ++y)
            std::memcpy(&unframed[std::size_t(step) * y], src.origin + src.step * y, std::size_t(step));
        from = unframed.data();
    }
    EXPECT_EQ(p.resizeLinear4x8(from, std::int32_t(step), dst.data(), 4 * s.wd, 0, 0, s.wd, s.hd,
                                kBorderInMemory, nullptr, spec.data(), work.data()),
              kOk);
    *expected = linearReference(*recordIn(spec), src);
    return dst;
}

void expectLinearMatchesReference(const Shape& s, const Patch& patch,
                                  const std::function<void(Bytes&)>& paint = nullptr)
{
    SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs << " -> " << s.wd << "x" << s.hd);
    FramedSource src(s.ws, s.hs, 3);
    if (paint)
        paint(src.memory);
    for (int path = 0; path < DETAIL::kPathCount; ++path) {
        if (!pathRuns(path))
            continue;
        Bytes expected;
        const Bytes got = linearOn(path, s, src, patch, &expected);
        ASSERT_EQ(got, expected) << "path " << path;
    }
}

// Equal sizes and odd whole-number reductions have column and row weights of exactly 0:
// every row is a copy (consecutive columns) or a pick of source pixels. Halved sizes weigh
// both taps alike: each pixel is the mean of a block of four.
TEST(ResampleShortcuts, WholeWeightsGiveTheTwoPassesBytes)
{
    const Shape shapes[] = {{17, 13, 17, 13}, {40, 3, 40, 3},   {9, 9, 3, 3},    {27, 15, 9, 5},
                            {17, 13, 17, 26}, {34, 13, 17, 13}, {15, 6, 5, 12},  {2, 2, 98, 98},
                            {3, 2, 1, 2},     {64, 64, 80, 80}, {5, 7, 5, 21},   {34, 14, 17, 7},
                            {64, 64, 32, 32}, {42, 6, 21, 3},   {18, 26, 9, 13}, {17, 26, 17, 13},
                            {60, 6, 30, 3},   {46, 4, 23, 2}};
    for (const Shape& s : shapes)
        expectLinearMatchesReference(s, nullptr);
}

// Row and column weights set to 0, 1, 16383 and 16384 in turn: the whole ones take the
// shortcuts, the ones a step away the blend.
TEST(ResampleShortcuts, WeightsOneStepFromWholeAreBlended)
{
    const std::uint16_t rowCycle[] = {0, 1, 16384, 16383, 0, 0, 16384, 8192};
    const std::uint16_t colCycle[] = {0, 1, 16383, 16384};
    const Shape shapes[] = {{17, 13, 17, 13}, {9, 9, 3, 3}, {16, 9, 32, 18}, {37, 23, 53, 29}};
    for (const Shape& s : shapes) {
        // Rows only, with the columns as made.
        expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
            auto* w = const_cast<std::uint16_t*>(spec.rows.weights);
            for (std::int32_t i = 0; i < spec.rows.dstSize; ++i)
                w[i] = rowCycle[i % 8];
        });
        // Every column whole except one a step away, in each position in turn.
        for (std::uint16_t step : {std::uint16_t(1), std::uint16_t(16383)})
            for (std::int32_t odd : {0, s.wd / 2, s.wd - 1}) {
                SCOPED_TRACE(testing::Message() << "column " << odd << " weight " << step);
                expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
                    auto* w = const_cast<std::uint16_t*>(spec.cols.weights);
                    for (std::int32_t j = 0; j < spec.cols.dstSize; ++j) {
                        const std::uint16_t w1 = j == odd ? step : 0;
                        w[2 * j] = std::uint16_t(16384 - w1);
                        w[2 * j + 1] = w1;
                    }
                    auto* r = const_cast<std::uint16_t*>(spec.rows.weights);
                    for (std::int32_t i = 0; i < spec.rows.dstSize; ++i)
                        r[i] = rowCycle[i % 8];
                });
            }
        // Columns taking the right tap whole are not the left-tap shortcut.
        expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
            auto* w = const_cast<std::uint16_t*>(spec.cols.weights);
            for (std::int32_t j = 0; j < spec.cols.dstSize; ++j) {
                w[2 * j] = colCycle[j % 4];
                w[2 * j + 1] = std::uint16_t(16384 - colCycle[j % 4]);
            }
            auto* r = const_cast<std::uint16_t*>(spec.rows.weights);
            for (std::int32_t i = 0; i < spec.rows.dstSize; ++i)
                r[i] = rowCycle[i % 8];
        });
    }
}

// Equal sizes between pictures without row padding: one copy of the whole block, edges
// included, when every row takes one source row whole (by a weight of 0, or of 16384 on the
// row above), each the next; a row a step from whole is blended, and then the block is not
// one copy.
TEST(ResampleShortcuts, UnpaddedEqualSizesAreOneCopy)
{
    for (const Shape& s : {Shape{17, 13, 17, 13}, Shape{64, 64, 64, 64}, Shape{70, 9, 70, 9}}) {
        SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs);
        FramedSource src(s.ws, s.hs, 5);
        const auto rowsAbove = [](ResizeSpec& spec) {
            auto* index = const_cast<std::int32_t*>(spec.rows.index);
            auto* w = const_cast<std::uint16_t*>(spec.rows.weights);
            for (std::int32_t i = 0; i < spec.rows.dstSize; i += 2) {
                index[i] = i - 1;
                w[i] = 16384;
            }
        };
        for (int path = 0; path < DETAIL::kPathCount; ++path) {
            if (!pathRuns(path))
                continue;
            SCOPED_TRACE(testing::Message() << "path " << path);
            Bytes expected;
            for (const Patch& patch : {Patch{}, Patch{rowsAbove}}) {
                const Bytes got = linearOn(path, s, src, patch, &expected, true);
                ASSERT_EQ(got, expected);
                for (std::int32_t y = 0; y < s.hs; ++y)
                    ASSERT_EQ(0, std::memcmp(&got[std::size_t(y) * s.ws * 4], src.origin + src.step * y,
                                             std::size_t(s.ws) * 4))
                        << "row " << y;
            }
            // Through the harness with edges replicated, whole and as the lower half's tile.
            const Bytes picture = makePicture(s.ws, s.hs, eFill::Random);
            EXPECT_EQ(expectAllPathsAgree(eOp::Linear, s, {}, Layout{}, picture).pixels, picture);
            const TileBox lower{0, s.hd / 2, s.wd, s.hd};
            const Result tile = expectAllPathsAgree(eOp::Linear, s, lower, Layout{}, picture);
            EXPECT_EQ(0, std::memcmp(tile.pixels.data(), &picture[std::size_t(lower.y) * s.ws * 4],
                                     tile.pixels.size()));
            // The row's pair of source rows is its own and the next, or the one above and its own.
            for (std::int32_t odd : {1, s.hs / 2, s.hs - 3})
                for (std::int32_t above : {0, 1})
                    for (std::uint16_t step : {std::uint16_t(1), std::uint16_t(16383)}) {
                        SCOPED_TRACE(testing::Message() << "row " << odd << " above " << above << " weight " << step);
                        const Bytes got = linearOn(path, s, src, [&](ResizeSpec& spec) {
                            const_cast<std::int32_t*>(spec.rows.index)[odd] = odd - above;
                            const_cast<std::uint16_t*>(spec.rows.weights)[odd] = step;
                        }, &expected, true);
                        ASSERT_EQ(got, expected);
                    }
        }
    }
}

// Column pairs summing to 16384 take the horizontal pass with byte multiplies: every
// weight from 0 to 16384 against taps at the ends of the byte range (0 and 0 gives the
// lowest inner sum, 255 and 255 the highest).
TEST(ResampleShortcuts, EveryColumnWeightWithExtremeTaps)
{
    const std::uint8_t values[] = {0, 0, 0, 255, 255, 255, 1, 254, 128, 127, 0};
    auto paint = [&](Bytes& memory) {
        for (std::size_t k = 0; k < memory.size(); ++k)
            memory[k] = values[(k / 3) % sizeof values];
    };
    for (const Shape& s : {Shape{64, 3, 16385, 3}, Shape{61, 2, 16391, 2}})
        expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
            auto* w = const_cast<std::uint16_t*>(spec.cols.weights);
            for (std::int32_t j = 0; j < spec.cols.dstSize; ++j) {
                const std::int32_t w0 = std::min(j, 16384);
                w[2 * j] = std::uint16_t(w0);
                w[2 * j + 1] = std::uint16_t(16384 - w0);
            }
        }, paint);
}

// The vertical blend in 16-bit lanes: every row weight from 0 to 16383 between rows whose
// values lie at the ends of the byte range and in its middle, so that the horizontal pass
// hands it 0 and 16320 against each other as well as values between.
TEST(ResampleShortcuts, EveryRowWeightWithExtremeRows)
{
    const std::uint8_t values[] = {0, 255, 0, 0, 255, 255, 1, 254, 128, 127, 64};
    for (const Shape& s : {Shape{24, 11, 24, 16390}, Shape{19, 4, 37, 16387}}) {
        const std::size_t step = 4 * std::size_t(s.ws + 2);
        auto paint = [&](Bytes& memory) {
            for (std::size_t k = 0; k < memory.size(); ++k)
                memory[k] = values[(k / step + k % 4) % sizeof values];
        };
        expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
            auto* w = const_cast<std::uint16_t*>(spec.rows.weights);
            for (std::int32_t i = 0; i < spec.rows.dstSize; ++i)
                w[i] = std::uint16_t(std::min(i, 16383));
        }, paint);
    }
}

// Column pairs that do not sum to 16384, all of them or one among whole ones, take the
// general horizontal pass.
TEST(ResampleShortcuts, ColumnPairsNotSummingToWholeTakeTheGeneralPass)
{
    const std::uint16_t pairs[][2] = {{8192, 8191}, {16384, 16384}, {0, 0}, {1, 0}, {300, 200}};
    const Shape shapes[] = {{17, 13, 23, 19}, {37, 23, 53, 29}, {16, 9, 32, 18}};
    for (const Shape& s : shapes) {
        expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
            auto* w = const_cast<std::uint16_t*>(spec.cols.weights);
            for (std::int32_t j = 0; j < spec.cols.dstSize; ++j) {
                w[2 * j] = pairs[j % 5][0];
                w[2 * j + 1] = pairs[j % 5][1];
            }
        });
        for (std::int32_t odd : {0, s.wd / 2, s.wd - 1}) {
            SCOPED_TRACE(testing::Message() << "column " << odd);
            expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
                auto* w = const_cast<std::uint16_t*>(spec.cols.weights);
                w[2 * odd + 1] = std::uint16_t(w[2 * odd + 1] + 1);
            });
        }
    }
}

// A halving with one column pair or one row weight a step away from 8192 each: that row,
// or every row, takes the two passes.
TEST(ResampleShortcuts, HalfWeightsOneStepAwayAreBlended)
{
    const Shape shapes[] = {{34, 14, 17, 7}, {64, 10, 32, 5}};
    for (const Shape& s : shapes)
        for (std::int32_t at : {0, s.wd / 2, s.wd - 1}) {
            SCOPED_TRACE(testing::Message() << "at " << at);
            expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
                auto* w = const_cast<std::uint16_t*>(spec.cols.weights);
                w[2 * at] = 8191;
                w[2 * at + 1] = 8193;
            });
            expectLinearMatchesReference(s, [&](ResizeSpec& spec) {
                auto* r = const_cast<std::uint16_t*>(spec.rows.weights);
                r[std::min(at, spec.rows.dstSize - 1)] = 8193;
            });
        }
}

// Nearest: enlargements repeat rows, equal widths take consecutive columns, doubled widths
// take each pixel twice, halved ones every other pixel; all with padded, bottom-up and clipped layouts and in every store
// mode of path 4.
TEST(ResampleShortcuts, NearestRepeatedRowsAndConsecutiveColumns)
{
    const Shape shapes[] = {{17, 13, 17, 13}, {17, 13, 17, 40},  {17, 13, 34, 26}, {40, 9, 40, 3},
                            {32, 8, 64, 16},  {41, 3, 82, 5},    {8, 2, 8, 9},     {64, 64, 64, 128},
                            {33, 5, 33, 5},   {1, 3, 1, 7},      {34, 8, 17, 4},   {80, 6, 40, 9},
                            {66, 3, 33, 3},   {37, 4, 23, 3},    {100, 3, 61, 2},  {45, 3, 30, 2}};
    const Layout layouts[] = {Layout{}, Layout{12, 20, false}, Layout{0, 8, true}};
    for (const Shape& s : shapes) {
        SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs << " -> " << s.wd << "x" << s.hd);
        const Bytes picture = makePicture(s.ws, s.hs, eFill::Random);
        const Bytes expected = nearestReference(s, picture);
        for (const Layout& layout : layouts) {
            EXPECT_EQ(expectAllPathsAgree(eOp::Nearest, s, {}, layout, picture).pixels, expected);
            const TileBox corner{s.wd / 3, s.hd / 2, s.wd, s.hd};
            const Result tile = expectAllPathsAgree(eOp::Nearest, s, corner, layout, picture);
            for (std::int32_t y = 0; y < s.hd - corner.y; ++y)
                EXPECT_EQ(0, std::memcmp(&tile.pixels[std::size_t(y) * (s.wd - corner.x) * 4],
                                         &expected[(std::size_t(corner.y + y) * s.wd + corner.x) * 4],
                                         std::size_t(s.wd - corner.x) * 4));
        }
    }
}

// Column tables edited out of their pattern, so that no window shortcut holds them: in an
// equal width, column 10 takes source pixel 17 or 8 (a jump ahead and back, a step back);
// in a reduction by 5/3 (steps of one and two pixels) the columns from 10 on move two pixels
// on, a step of three or four. Each pixel is the table's.
TEST(ResampleShortcuts, NearestColumnTablesOutOfPattern)
{
    struct Variant {
        Shape shape;
        std::function<void(std::int32_t*, std::int32_t)> patch;
    };
    const Variant variants[] = {
        {{40, 2, 40, 2}, [](std::int32_t* cols, std::int32_t) { cols[10] = 17; }},
        {{40, 2, 40, 2}, [](std::int32_t* cols, std::int32_t) { cols[10] = 8; }},
        {{40, 2, 24, 2}, [](std::int32_t* cols, std::int32_t width) {
             for (std::int32_t j = 10; j < width; ++j)
                 cols[j] = std::min(cols[j] + 2, 39);
         }},
    };
    for (int path = 0; path < DETAIL::kPathCount; ++path) {
        if (!pathRuns(path))
            continue;
        for (std::size_t variant = 0; variant < std::size(variants); ++variant) {
            const Shape& s = variants[variant].shape;
            const Bytes picture = makePicture(s.ws, s.hs, eFill::Random);
            std::int32_t size = 0, init = 0, workSize = 0;
            const DETAIL::PathTable& p = DETAIL::pathTable(path);
            ASSERT_EQ(p.getSize(s.ws, s.hs, s.wd, s.hd, kNearest, 0, &size, &init), kOk);
            Bytes spec(static_cast<std::size_t>(size));
            ASSERT_EQ(p.initNearest(s.ws, s.hs, s.wd, s.hd, spec.data()), kOk);
            auto* cols = const_cast<std::int32_t*>(recordIn(spec)->cols.index);
            variants[variant].patch(cols, s.wd);
            ASSERT_EQ(p.getBufferSize(spec.data(), s.wd, s.hd, 4, &workSize), kOk);
            Bytes work(static_cast<std::size_t>(workSize)), dst(std::size_t(s.wd) * s.hd * 4);
            ASSERT_EQ(p.resizeNearest4x8(picture.data(), 4 * s.ws, dst.data(), 4 * s.wd, 0, 0, s.wd,
                                         s.hd, spec.data(), work.data()),
                      kOk);
            for (std::int32_t i = 0; i < s.hd; ++i)
                for (std::int32_t j = 0; j < s.wd; ++j)
                    ASSERT_EQ(0, std::memcmp(&dst[(std::size_t(i) * s.wd + j) * 4],
                                             &picture[(std::size_t(i) * s.ws + cols[j]) * 4], 4))
                        << "path " << path << " variant " << variant << " at " << j;
        }
    }
}

// Bilinear through the harness (edges replicated, tiles clipped) on the same shortcut shapes,
// every path and store mode against path 0.
TEST(ResampleShortcuts, LinearShortcutsWithEdgesAndTiles)
{
    const Shape shapes[] = {{17, 13, 17, 13}, {9, 9, 3, 3},  {34, 13, 17, 13},
                            {64, 64, 64, 128}, {70, 9, 70, 9}, {34, 14, 17, 7}};
    for (const Shape& s : shapes) {
        SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs << " -> " << s.wd << "x" << s.hd);
        const Bytes picture = makePicture(s.ws, s.hs, eFill::Random);
        const Result whole = expectAllPathsAgree(eOp::Linear, s, {}, Layout{12, 20, false}, picture);
        EXPECT_EQ(whole.status, kOk);
        const TileBox corner{s.wd / 3, s.hd / 2, s.wd, s.hd};
        const Result tile = expectAllPathsAgree(eOp::Linear, s, corner, Layout{0, 8, true}, picture);
        for (std::int32_t y = 0; y < s.hd - corner.y; ++y)
            EXPECT_EQ(0, std::memcmp(&tile.pixels[std::size_t(y) * (s.wd - corner.x) * 4],
                                     &whole.pixels[(std::size_t(corner.y + y) * s.wd + corner.x) * 4],
                                     std::size_t(s.wd - corner.x) * 4));
    }
}

} // namespace
