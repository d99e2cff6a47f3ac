#include "uia/graphics/PixelRows.h"

#include "uia/graphics/PixelRules.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace HA::UIA::DETAIL {

namespace {

// Four pixels at once read four sources before writing four results; that is the pixel
// order's answer unless a source lies one to three pixels behind its destination.
bool fourAtOnce(const uint32_t* destination, const uint32_t* source)
{
    const uintptr_t d = reinterpret_cast<uintptr_t>(destination);
    const uintptr_t s = reinterpret_cast<uintptr_t>(source);
    return !(s < d && d - s < 16);
}

#if defined(__SSE2__)

// mixKeepingAlpha of four pixels with per-pixel weights (0..255 in 32-bit lanes). In 16-bit
// lanes c * w + d * (255 - w) stays below 65026, and (v + (v >> 8) + 1) >> 8 equals
// (v + 1) * 257 >> 16 there, one high multiply.
__m128i mix4(__m128i d, __m128i c, __m128i w)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i w2 = _mm_or_si128(w, _mm_slli_epi32(w, 16));
    const __m128i wLow = _mm_unpacklo_epi32(w2, w2);
    const __m128i wHigh = _mm_unpackhi_epi32(w2, w2);
    const __m128i all = _mm_set1_epi16(255);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i k257 = _mm_set1_epi16(257);
    auto half = [&](__m128i cc, __m128i dd, __m128i ww) {
        const __m128i v = _mm_add_epi16(_mm_mullo_epi16(cc, ww), _mm_mullo_epi16(dd, _mm_sub_epi16(all, ww)));
        return _mm_mulhi_epu16(_mm_add_epi16(v, one), k257);
    };
    const __m128i low = half(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero), wLow);
    const __m128i high = half(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero), wHigh);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    return _mm_or_si128(_mm_andnot_si128(alpha, _mm_packus_epi16(low, high)), _mm_and_si128(alpha, d));
}

// coverWeight of alphas in the low 16 bits of 32-bit lanes.
__m128i cover4(__m128i sA, __m128i dA)
{
    const __m128i p = _mm_madd_epi16(sA, dA);
    return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(p, _mm_srli_epi32(p, 8)), _mm_set1_epi32(1)), 8);
}

__m128i load4(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void store4(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// blendOver of four pixels. Integers below 2^24 are exact in floats, and a quotient below
// 65536 of a divisor up to 255 lies at least 1/255 from the next whole number, more than
// half a float step there: truncating the rounded float quotient is the integer division.
__m128i over4(__m128i d, __m128i s)
{
    const __m128i a = _mm_srli_epi32(s, 24);
    const __m128i dA = _mm_srli_epi32(d, 24);
    const __m128i low8 = _mm_set1_epi32(0xFF);
    const __m128i destWeight = _mm_madd_epi16(_mm_sub_epi32(low8, a), dA);
    // (x * 0x8081) >> 23 is x / 255 for every x below 65536.
    const __m128i outA = _mm_add_epi32(
        a, _mm_srli_epi16(_mm_mulhi_epu16(_mm_add_epi32(destWeight, _mm_set1_epi32(127)), _mm_set1_epi32(0x8081)), 7));
    const __m128i halfA = _mm_srli_epi32(outA, 1);
    const __m128 outAf = _mm_cvtepi32_ps(outA);
    const __m128 weightF = _mm_cvtepi32_ps(destWeight);
    auto channel = [&](int shift) {
        const __m128i c = _mm_and_si128(_mm_srli_epi32(s, shift), low8);
        const __m128i cd = _mm_and_si128(_mm_srli_epi32(d, shift), low8);
        const __m128 y = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(cd), weightF), _mm_set1_ps(127.0f));
        const __m128i part = _mm_cvttps_epi32(_mm_div_ps(y, _mm_set1_ps(255.0f)));
        const __m128i n = _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(c, a), halfA), part);
        const __m128i v = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(n), outAf));
        const __m128i over = _mm_cmpgt_epi32(v, low8);
        return _mm_slli_epi32(_mm_or_si128(_mm_andnot_si128(over, v), _mm_and_si128(over, low8)), shift);
    };
    const __m128i pixel = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(outA, 24), channel(16)),
                                       _mm_or_si128(channel(8), channel(0)));
    // Both alphas 0: the result is 0 (the division above had no divisor).
    return _mm_andnot_si128(_mm_cmpeq_epi32(outA, _mm_setzero_si128()), pixel);
}

#endif

}  // namespace

void blendUsingAlphaRow(uint32_t* destination, const uint32_t* source, int64_t count)
{
    int64_t i = 0;
#if defined(__SSE2__)
    if (fourAtOnce(destination, source))
        for (; i + 4 <= count; i += 4) {
            const __m128i d = load4(destination + i), s = load4(source + i);
            store4(destination + i, mix4(d, s, cover4(_mm_srli_epi32(s, 24), _mm_srli_epi32(d, 24))));
        }
#endif
    for (; i < count; ++i) {
        const uint32_t d = destination[i];
        const uint32_t s = source[i];
        destination[i] = mixKeepingAlphaFast(d, s, coverWeight(s >> 24, d >> 24));
    }
}

void dyeUsingAlphaMaskRow(uint32_t* destination, const uint32_t* source, int64_t count, uint32_t colour)
{
    const uint32_t dyeAlpha = colour >> 24;
    int64_t i = 0;
#if defined(__SSE2__)
    // A weight of 0 mixes to the destination's own value, so all four are written.
    if (fourAtOnce(destination, source)) {
        const __m128i c = _mm_set1_epi32(int(colour));
        const __m128i cA = _mm_set1_epi32(int(dyeAlpha));
        for (; i + 4 <= count; i += 4) {
            const __m128i s = load4(source + i);
            store4(destination + i, mix4(load4(destination + i), c, cover4(_mm_srli_epi32(s, 24), cA)));
        }
    }
#endif
    for (; i < count; ++i) {
        const uint32_t w = coverWeight(source[i] >> 24, dyeAlpha);
        if (w != 0)
            destination[i] = mixKeepingAlphaFast(destination[i], colour, w);
    }
}

void copyOverRow(uint32_t* destination, const uint32_t* source, int64_t count)
{
    int64_t i = 0;
#if defined(__SSE2__)
    if (fourAtOnce(destination, source))
        for (; i + 4 <= count; i += 4)
            store4(destination + i, over4(load4(destination + i), load4(source + i)));
#endif
    const auto& reciprocal = reciprocals();
    for (; i < count; ++i)
        destination[i] = blendOverFast(destination[i], source[i], reciprocal);
}

}  // namespace HA::UIA::DETAIL
