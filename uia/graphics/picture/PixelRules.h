#pragma once
// The integer colour rules shared by pixel writes and the picture combiners. Pixels and
// colours are 0xAARRGGBB words with straight alpha.

#include <algorithm>
#include <array>
#include <cstdint>

namespace HA::UIA::DETAIL {

inline uint32_t byteAt(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

inline uint32_t makePixel(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Straight-alpha "over" of colour c onto pixel d.
inline uint32_t blendOver(uint32_t d, uint32_t c)
{
    const uint32_t a = c >> 24;
    const uint32_t dA = d >> 24;
    // The formula's exact results where one side is opaque or transparent, without dividing.
    if (a == 0)
        return dA == 0 ? 0 : d;
    if (a == 255 || dA == 0)
        return c;
    const uint32_t destWeight = (255 - a) * dA;
    uint32_t outA = a + (destWeight + 127) / 255;
    if (outA == 0)
        return 0;
    auto channel = [&](int shift) {
        const uint32_t v =
            (byteAt(c, shift) * a + outA / 2 + (byteAt(d, shift) * destWeight + 127) / 255) / outA;
        return std::min(v, 255u);
    };
    const uint32_t r = channel(16);
    const uint32_t g = channel(8);
    const uint32_t b = channel(0);
    outA = std::min(outA, 255u);
    return makePixel(outA, r, g, b);
}

// The pixel write rule onto an opaque destination for 0 < a < 255: the alpha byte becomes 0.
inline uint32_t blendOntoOpaque(uint32_t d, uint32_t c)
{
    const uint32_t a = c >> 24;
    auto channel = [&](int shift) { return (byteAt(c, shift) * a + byteAt(d, shift) * (256 - a)) >> 8; };
    return makePixel(0, channel(16), channel(8), channel(0));
}

// The pixel write rule of single pixels, lines, spans and fills.
inline void writePixel(uint32_t& d, uint32_t c, bool opaqueDestination)
{
    const uint32_t a = c >> 24;
    if (a == 255)
        d = c;
    else if (opaqueDestination) {
        if (a != 0)
            d = blendOntoOpaque(d, c);
    } else
        d = blendOver(d, c);
}

// Weight of a colour of alpha sA where the destination has alpha dA (about sA * dA / 255).
inline uint32_t coverWeight(uint32_t sA, uint32_t dA)
{
    const uint32_t p = sA * dA;
    return (p + (p >> 8) + 1) >> 8;
}

// Mix of colour c over pixel d with weight w (0..255); the destination keeps its alpha.
// Red rounds through another shift form than green and blue; both forms are part of the rule.
inline uint32_t mixKeepingAlpha(uint32_t d, uint32_t c, uint32_t w)
{
    const uint32_t inv = 255 - w;
    auto greenBlue = [&](int shift) {
        const uint32_t v = byteAt(c, shift) * w + byteAt(d, shift) * inv;
        return (v + (v >> 8) + 1) >> 8;
    };
    const uint32_t vr = byteAt(c, 16) * w + byteAt(d, 16) * inv;
    const uint32_t r = (vr * 257 + 256) >> 16;
    return (d & 0xFF000000u) | (r << 16) | (greenBlue(8) << 8) | greenBlue(0);
}

// CopySource onto an opaque destination for 0 < a < 255: alpha becomes the source's.
inline uint32_t copyOntoOpaque(uint32_t d, uint32_t s)
{
    const uint32_t a = s >> 24;
    auto channel = [&](int shift) { return (byteAt(s, shift) * a + byteAt(d, shift) * (255 - a)) >> 8; };
    return makePixel(a, channel(16), channel(8), channel(0));
}

// Division by a variable alpha without a divide instruction; the rule's numerators stay
// below 65536 (at most 255 * 255 + 127), and the tests check every pair.

// One more than 2^32 / d for every divisor 1..255: n * table[d] >> 32 is n / d for n < 65536.
inline const std::array<uint64_t, 256>& reciprocals()
{
    static const std::array<uint64_t, 256> table = [] {
        std::array<uint64_t, 256> t{};
        for (uint64_t d = 1; d < 256; ++d)
            t[d] = (uint64_t(1) << 32) / d + 1;
        return t;
    }();
    return table;
}

inline uint32_t divideSmall(uint32_t n, uint64_t reciprocal) { return uint32_t((n * reciprocal) >> 32); }

// blendOver with the same results, dividing through multiplications.
inline uint32_t blendOverFast(uint32_t d, uint32_t c, const std::array<uint64_t, 256>& reciprocal)
{
    const uint32_t a = c >> 24;
    const uint32_t dA = d >> 24;
    if (a == 0)
        return dA == 0 ? 0 : d;
    if (a == 255 || dA == 0)
        return c;
    const uint32_t destWeight = (255 - a) * dA;
    // a + (255 - a) * dA / 255 lies in 1..255, so neither the zero case nor the limit arises.
    const uint32_t outA = a + (destWeight + 127) / 255;
    const uint64_t r = reciprocal[outA];
    auto channel = [&](int shift) {
        const uint32_t v = divideSmall(byteAt(c, shift) * a + outA / 2 + (byteAt(d, shift) * destWeight + 127) / 255, r);
        return std::min(v, 255u);
    };
    return makePixel(outA, channel(16), channel(8), channel(0));
}

// mixKeepingAlpha on all three channels at once, one 16-bit lane each: a lane's sum stays
// below 65536, so no carry crosses lanes. Red's form (v * 257 + 256) >> 16 equals green's and
// blue's (v + (v >> 8) + 1) >> 8 for every v below 65536, so one form serves all three.
inline uint32_t mixKeepingAlphaFast(uint32_t d, uint32_t c, uint32_t w)
{
    auto spread = [](uint32_t p) { return uint64_t(p & 0x00FF00FFu) | (uint64_t((p >> 8) & 0xFFu) << 32); };
    constexpr uint64_t kLow = 0x000000FF00FF00FFull;
    const uint64_t v = spread(c) * w + spread(d) * (255 - w);
    const uint64_t q = ((v + ((v >> 8) & kLow) + 0x0000000100010001ull) >> 8) & kLow;
    return (d & 0xFF000000u) | uint32_t(q & 0x00FF00FFu) | (uint32_t(q >> 32) << 8);
}

}  // namespace HA::UIA::DETAIL
