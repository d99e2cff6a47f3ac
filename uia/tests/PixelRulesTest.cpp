#include <gtest/gtest.h>

#include <cstdint>

#include "uia/graphics/picture/PixelRules.h"

namespace HA::UIA::DETAIL {
namespace {

// The fast forms replace divisions; these checks go over every numerator and divisor they
// can meet, so the combiners' bytes cannot move.

TEST(PixelRulesTest, ReciprocalDivisionIsExactForEveryPair)
{
    const auto& table = reciprocals();
    for (uint32_t d = 1; d < 256; ++d)
        for (uint32_t n = 0; n < 65536; ++n)
            ASSERT_EQ(divideSmall(n, table[d]), n / d) << n << " / " << d;
}

// Every weight, source value and destination value, one value per channel at a time in
// each lane, with the other lanes holding other values so a carry between lanes shows.
TEST(PixelRulesTest, MixKeepingAlphaFastMatchesTheRuleEverywhere)
{
    for (uint32_t w = 0; w < 256; ++w)
        for (uint32_t c = 0; c < 256; ++c)
            for (uint32_t d = 0; d < 256; ++d) {
                const uint32_t cp = makePixel(0x5A, c, 255 - c, c ^ 0xA5);
                const uint32_t dp = makePixel(0xC3, d ^ 0x3C, d, 255 - d);
                ASSERT_EQ(mixKeepingAlphaFast(dp, cp, w), mixKeepingAlpha(dp, cp, w))
                    << std::hex << cp << " " << dp << " w " << w;
            }
}

// Every source alpha, destination alpha and source value; the destination's channels vary with
// them. The ends (alpha 0 and 255, transparent destination) and the one-step alphas are inside.
TEST(PixelRulesTest, BlendOverFastMatchesTheRuleEverywhere)
{
    const auto& table = reciprocals();
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t dA = 0; dA < 256; ++dA)
            for (uint32_t c = 0; c < 256; ++c) {
                const uint32_t d = (c * 37 + a + dA * 11) & 0xFF;
                const uint32_t cp = makePixel(a, c, 255 - c, c ^ 0x5A);
                const uint32_t dp = makePixel(dA, d, d ^ 0xC3, 255 - d);
                ASSERT_EQ(blendOverFast(dp, cp, table), blendOver(dp, cp))
                    << std::hex << cp << " over " << dp;
            }
}

// The division by 255 of the eight-pixel copy-over, for every numerator it can meet
// (255 x 65025 + 127 is below 2^24).
TEST(PixelRulesTest, ShiftedDivisionBy255IsExactBelow2To24)
{
    for (uint32_t x = 0; x < (1u << 24); ++x) {
        uint32_t t = x + 1;
        t += t >> 8;
        ASSERT_EQ((t + (t >> 16)) >> 8, x / 255) << x;
    }
}

TEST(PixelRulesTest, BlendOverFastAtTheExtremeChannels)
{
    const auto& table = reciprocals();
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t dA = 0; dA < 256; ++dA)
            for (uint32_t cp : {0x00FFFFFFu, 0x00000000u, 0x00FF00FFu})
                for (uint32_t dp : {0x00FFFFFFu, 0x00000000u, 0x0000FF00u}) {
                    const uint32_t s = (a << 24) | cp, t = (dA << 24) | dp;
                    ASSERT_EQ(blendOverFast(t, s, table), blendOver(t, s)) << std::hex << s << " over " << t;
                }
}

}  // namespace
}  // namespace HA::UIA::DETAIL
