#include "gp/src/common/text/CityHash.h"

#include <cstring>
#include <utility>

namespace HA::GP {

namespace {

constexpr std::uint32_t kC1 = 0xcc9e2d51u;
constexpr std::uint32_t kC2 = 0x1b873593u;

// Little-endian load, whatever the alignment.
std::uint32_t fetch32(const char* p)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}

std::uint32_t rotate32(std::uint32_t value, int shift)
{
    return shift == 0 ? value : ((value >> shift) | (value << (32 - shift)));
}

std::uint32_t byteSwap32(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

std::uint32_t finalMix(std::uint32_t h)
{
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

std::uint32_t mur(std::uint32_t a, std::uint32_t h)
{
    a *= kC1;
    a = rotate32(a, 17);
    a *= kC2;
    h ^= a;
    h = rotate32(h, 19);
    return h * 5 + 0xe6546b64u;
}

std::uint32_t hashLength0to4(const char* s, std::size_t length)
{
    std::uint32_t b = 0;
    std::uint32_t c = 9;
    for (std::size_t i = 0; i < length; ++i) {
        // The published function takes these bytes as signed values.
        const signed char v = static_cast<signed char>(s[i]);
        b = b * kC1 + static_cast<std::uint32_t>(v);
        c ^= b;
    }
    return finalMix(mur(b, mur(static_cast<std::uint32_t>(length), c)));
}

std::uint32_t hashLength5to12(const char* s, std::size_t length)
{
    const std::uint32_t len = static_cast<std::uint32_t>(length);
    std::uint32_t a = len, b = len * 5, c = 9, d = b;
    a += fetch32(s);
    b += fetch32(s + length - 4);
    c += fetch32(s + ((length >> 1) & 4));
    return finalMix(mur(c, mur(b, mur(a, d))));
}

std::uint32_t hashLength13to24(const char* s, std::size_t length)
{
    const std::uint32_t a = fetch32(s - 4 + (length >> 1));
    const std::uint32_t b = fetch32(s + 4);
    const std::uint32_t c = fetch32(s + length - 8);
    const std::uint32_t d = fetch32(s + (length >> 1));
    const std::uint32_t e = fetch32(s);
    const std::uint32_t f = fetch32(s + length - 4);
    const std::uint32_t h = static_cast<std::uint32_t>(length);
    return finalMix(mur(f, mur(e, mur(d, mur(c, mur(b, mur(a, h)))))));
}

std::uint32_t scramble(const char* p)
{
    return rotate32(fetch32(p) * kC1, 17) * kC2;
}

std::uint32_t step(std::uint32_t h, std::uint32_t x)
{
    h ^= x;
    h = rotate32(h, 19);
    return h * 5 + 0xe6546b64u;
}

}  // namespace

std::uint32_t cityHash32(const char* s, std::size_t length)
{
    if (length <= 4)
        return hashLength0to4(s, length);
    if (length <= 12)
        return hashLength5to12(s, length);
    if (length <= 24)
        return hashLength13to24(s, length);

    // The published function works on the length truncated to 32 bits.
    const std::uint32_t len = static_cast<std::uint32_t>(length);
    std::uint32_t h = len, g = kC1 * len, f = g;
    const std::uint32_t a0 = scramble(s + length - 4);
    const std::uint32_t a1 = scramble(s + length - 8);
    const std::uint32_t a2 = scramble(s + length - 16);
    const std::uint32_t a3 = scramble(s + length - 12);
    const std::uint32_t a4 = scramble(s + length - 20);
    h = step(h, a0);
    h = step(h, a2);
    g = step(g, a1);
    g = step(g, a3);
    f += a4;
    f = rotate32(f, 19);
    f = f * 5 + 0xe6546b64u;
    std::size_t iterations = (length - 1) / 20;
    do {
        const std::uint32_t b0 = scramble(s);
        const std::uint32_t b1 = fetch32(s + 4);
        const std::uint32_t b2 = scramble(s + 8);
        const std::uint32_t b3 = scramble(s + 12);
        const std::uint32_t b4 = fetch32(s + 16);
        h ^= b0;
        h = rotate32(h, 18);
        h = h * 5 + 0xe6546b64u;
        f += b1;
        f = rotate32(f, 19);
        f = f * kC1;
        g += b2;
        g = rotate32(g, 18);
        g = g * 5 + 0xe6546b64u;
        h ^= b3 + b1;
        h = rotate32(h, 19);
        h = h * 5 + 0xe6546b64u;
        g ^= b4;
        g = byteSwap32(g) * 5;
        h += b4 * 5;
        h = byteSwap32(h);
        f += b0;
        // f, h, g = g, f, h
        std::swap(f, h);
        std::swap(f, g);
        s += 20;
    } while (--iterations != 0);
    g = rotate32(g, 11) * kC1;
    g = rotate32(g, 17) * kC1;
    f = rotate32(f, 11) * kC1;
    f = rotate32(f, 17) * kC1;
    h = rotate32(h + g, 19);
    h = h * 5 + 0xe6546b64u;
    h = rotate32(h, 17) * kC1;
    h = rotate32(h + f, 19);
    h = h * 5 + 0xe6546b64u;
    h = rotate32(h, 17) * kC1;
    return h;
}

}  // namespace HA::GP
