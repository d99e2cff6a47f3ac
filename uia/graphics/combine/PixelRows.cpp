#include "uia/graphics/combine/PixelRows.h"

#include <atomic>
#include <cstdint>

#include "resample/CpuFeatures.h"
#include "uia/graphics/picture/PixelRules.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// Eight pixels at once where the processor has AVX2, chosen when the program runs.
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define HA_PIXEL_ROWS_AVX2 1
#define HA_AVX2 __attribute__((target("avx2")))
#define HA_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#endif

namespace HA::UIA::DETAIL {

namespace {

eRowKernel widestKernel()
{
#if defined(HA_PIXEL_ROWS_AVX2)
    // The resampler's probe, so both choose from the same facts: the instructions and the
    // register state the operating system enables for them.
    std::uint64_t features = 0;
    const std::uint64_t avx2 = Resample::kCpuAvx2Set | Resample::kCpuAvxState;
    if (Resample::queryCpuFeatures(&features) && (features & avx2) == avx2)
        return eRowKernel::Avx2;
#endif
#if defined(__SSE2__)
    return eRowKernel::Sse2;
#else
    return eRowKernel::Portable;
#endif
}

std::atomic<eRowKernel>& kernel()
{
    static std::atomic<eRowKernel> chosen{widestKernel()};
    return chosen;
}

eRowKernel activeKernel() { return kernel().load(std::memory_order_relaxed); }

// n pixels at once read n sources before writing n results; that is the pixel order's
// answer unless a source lies fewer than n pixels behind its destination.
bool blockAtOnce(const uint32_t* destination, const uint32_t* source, uintptr_t pixels)
{
    const uintptr_t d = reinterpret_cast<uintptr_t>(destination);
    const uintptr_t s = reinterpret_cast<uintptr_t>(source);
    return !(s < d && d - s < 4 * pixels);
}

#if defined(__SSE2__)

// The block helpers are inlined into their loops: called, they cost more than they compute.
#define HA_INLINE __attribute__((always_inline)) inline

// mixKeepingAlpha of four pixels with per-pixel weights (0..255 in 32-bit lanes). Blue and
// red sit in the low bytes of the 16-bit lanes, green and alpha in the high ones, so masks
// and shifts split them without shuffles. In a 16-bit lane c * w + d * (255 - w) stays
// below 65026, and (v + (v >> 8) + 1) >> 8 equals (v + 1) * 257 >> 16 there, one high
// multiply; the results stay below 256 and join again without overlapping.
HA_INLINE __m128i mix4(__m128i d, __m128i c, __m128i w)
{
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i w2 = _mm_or_si128(w, _mm_slli_epi32(w, 16));
    const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(255), w2);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i k257 = _mm_set1_epi16(257);
    auto mixed = [&](__m128i cc, __m128i dd) __attribute__((always_inline)) {
        const __m128i v = _mm_add_epi16(_mm_mullo_epi16(cc, w2), _mm_mullo_epi16(dd, inv));
        return _mm_mulhi_epu16(_mm_add_epi16(v, one), k257);
    };
    const __m128i even = mixed(_mm_and_si128(c, lowBytes), _mm_and_si128(d, lowBytes));
    const __m128i odd = mixed(_mm_srli_epi16(c, 8), _mm_srli_epi16(d, 8));
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    const __m128i colour = _mm_or_si128(even, _mm_slli_epi16(odd, 8));
    return _mm_or_si128(_mm_andnot_si128(alpha, colour), _mm_and_si128(alpha, d));
}

// coverWeight of alphas in the low 16 bits of 32-bit lanes.
HA_INLINE __m128i cover4(__m128i sA, __m128i dA)
{
    const __m128i p = _mm_madd_epi16(sA, dA);
    return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(p, _mm_srli_epi32(p, 8)), _mm_set1_epi32(1)), 8);
}

HA_INLINE __m128i load4(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
HA_INLINE void store4(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// blendOver of four pixels. Integers below 2^24 are exact in floats, and a quotient below
// 65536 of a divisor up to 255 lies at least 1/255 from the next whole number, more than
// half a float step there: truncating the rounded float quotient is the integer division.
HA_INLINE __m128i over4(__m128i d, __m128i s)
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
    auto channel = [&](int shift) __attribute__((always_inline)) {
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

// copyOntoOpaque of four pixels, with the source where its alpha is 255 and the destination
// where it is 0; (c * a + d * (255 - a)) >> 8 stays in 16-bit lanes.
HA_INLINE __m128i ontoOpaque4(__m128i d, __m128i s)
{
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    const __m128i a = _mm_srli_epi32(s, 24);
    const __m128i a2 = _mm_or_si128(a, _mm_slli_epi32(a, 16));
    const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(255), a2);
    const __m128i even = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(s, lowBytes), a2),
                                                      _mm_mullo_epi16(_mm_and_si128(d, lowBytes), inv)), 8);
    const __m128i odd = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(s, 8), a2),
                                                     _mm_mullo_epi16(_mm_srli_epi16(d, 8), inv)), 8);
    const __m128i mixed = _mm_or_si128(_mm_andnot_si128(alpha, _mm_or_si128(even, _mm_slli_epi16(odd, 8))),
                                       _mm_and_si128(alpha, s));
    const __m128i sA = _mm_and_si128(s, alpha);
    const __m128i opaque = _mm_cmpeq_epi32(sA, alpha);
    const __m128i clear = _mm_cmpeq_epi32(sA, _mm_setzero_si128());
    const __m128i picked = _mm_or_si128(_mm_and_si128(opaque, s), _mm_andnot_si128(opaque, mixed));
    return _mm_or_si128(_mm_and_si128(clear, d), _mm_andnot_si128(clear, picked));
}

#endif

#if defined(HA_PIXEL_ROWS_AVX2)

// mix4 and cover4 on eight pixels, with the weight in both 16-bit halves of each pixel's
// lane: blue and red take it, green takes the low half, and alpha a weight of 0, which
// gives the destination's alpha ((255 dA + 1) * 257 >> 16 is dA), so no select is needed.
HA_AVX2_INLINE __m256i mix8(__m256i d, __m256i c, __m256i w2)
{
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i wOdd = _mm256_and_si256(w2, _mm256_set1_epi32(0xFFFF));
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i k257 = _mm256_set1_epi16(257);
    const __m256i vEven = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(c, lowBytes), w2),
                                           _mm256_mullo_epi16(_mm256_and_si256(d, lowBytes), _mm256_sub_epi16(lowBytes, w2)));
    const __m256i vOdd = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(c, 8), wOdd),
                                          _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), _mm256_sub_epi16(lowBytes, wOdd)));
    const __m256i even = _mm256_mulhi_epu16(_mm256_add_epi16(vEven, one), k257);
    const __m256i odd = _mm256_mulhi_epu16(_mm256_add_epi16(vOdd, one), k257);
    return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
}

// The alpha bytes of eight pixels in both 16-bit halves of their lanes.
HA_AVX2_INLINE __m256i alphas8(__m256i p)
{
    const char z = char(0x80);
    return _mm256_shuffle_epi8(p, _mm256_setr_epi8(3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z,
                                                   3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z));
}

// coverWeight in 16-bit lanes: sA * dA stays below 65026 and p + (p >> 8) + 1 below 65536.
HA_AVX2_INLINE __m256i cover8(__m256i sA2, __m256i dA2)
{
    const __m256i p = _mm256_mullo_epi16(sA2, dA2);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(p, _mm256_srli_epi16(p, 8)), _mm256_set1_epi16(1)), 8);
}

HA_AVX2_INLINE __m256i load8(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
HA_AVX2_INLINE void store8(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// One channel's quotient of over8 in 32-bit lanes; the pair (c, cd) sits in the 16-bit
// halves of each pixel's lane.
template <int Byte>
HA_AVX2_INLINE __m256i overChannel8(__m256i d, __m256i s, __m256i byA, __m256i byR, __m256i halfA, __m256 reciprocal)
{
    constexpr char z = char(0x80), b0 = char(Byte), b1 = char(Byte + 4), b2 = char(Byte + 8), b3 = char(Byte + 12);
    const __m256i pickS = _mm256_setr_epi8(b0, z, z, z, b1, z, z, z, b2, z, z, z, b3, z, z, z,
                                           b0, z, z, z, b1, z, z, z, b2, z, z, z, b3, z, z, z);
    const __m256i pickD = _mm256_setr_epi8(z, z, b0, z, z, z, b1, z, z, z, b2, z, z, z, b3, z,
                                           z, z, b0, z, z, z, b1, z, z, z, b2, z, z, z, b3, z);
    const __m256i pair = _mm256_or_si256(_mm256_shuffle_epi8(s, pickS), _mm256_shuffle_epi8(d, pickD));
    const __m256i rest = _mm256_srli_epi16(
        _mm256_mulhi_epu16(_mm256_add_epi32(_mm256_madd_epi16(pair, byR), _mm256_set1_epi32(127)),
                           _mm256_set1_epi32(0x8081)),
        7);
    const __m256i n = _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(pair, byA), halfA), rest);
    return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(n), reciprocal));
}

// blendOver of eight pixels. Per pixel W = (255 - a) * dA = 255 * qw + rw, so a channel's
// (cd * W + 127) / 255 is cd * qw + (cd * rw + 127) / 255, whose terms fit 16 bits: one
// multiply-add of the pair (c, cd) by (a, qw) and one by (0, rw) give the numerator
// n = c * a + outA / 2 + (cd * W + 127) / 255 below 65536. n / outA is truncated from
// n * (1 + 2^-20) / outA in floats: an exact quotient k comes out at least k (the bias exceeds
// the two roundings of 2^-24), and a quotient up to 257 stays below the next whole number
// (it lies at least 1/255 from it); larger quotients saturate to 255 either way.
HA_AVX2_INLINE __m256i over8(__m256i d, __m256i s)
{
    const __m256i a = _mm256_srli_epi32(s, 24);
    const __m256i dA = _mm256_srli_epi32(d, 24);
    const __m256i low8 = _mm256_set1_epi32(0xFF);
    const __m256i k8081 = _mm256_set1_epi32(0x8081);  // (x * 0x8081) >> 23 is x / 255 below 65536
    const __m256i w = _mm256_madd_epi16(_mm256_sub_epi32(low8, a), dA);
    const __m256i outA =
        _mm256_add_epi32(a, _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi32(w, _mm256_set1_epi32(127)), k8081), 7));
    const __m256i qw = _mm256_srli_epi16(_mm256_mulhi_epu16(w, k8081), 7);
    const __m256i rw = _mm256_sub_epi32(w, _mm256_mullo_epi16(qw, low8));
    const __m256i byA = _mm256_or_si256(a, _mm256_slli_epi32(qw, 16));
    const __m256i byR = _mm256_slli_epi32(rw, 16);
    const __m256i halfA = _mm256_srli_epi32(outA, 1);
    const __m256 reciprocal = _mm256_div_ps(_mm256_set1_ps(1.0f + 0x1p-20f), _mm256_cvtepi32_ps(outA));
    // Saturating packs clamp at 255 and, where outA is 0 (both alphas 0: n is 0, the quotient
    // NaN, converted to a negative integer), at 0; a shuffle puts the bytes back in pixels.
    const __m256i bytes =
        _mm256_packus_epi16(_mm256_packus_epi32(overChannel8<0>(d, s, byA, byR, halfA, reciprocal),
                                                overChannel8<1>(d, s, byA, byR, halfA, reciprocal)),
                            _mm256_packus_epi32(overChannel8<2>(d, s, byA, byR, halfA, reciprocal), outA));
    return _mm256_shuffle_epi8(bytes, _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,
                                                       0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
}

// c * a + cd * (255 - a) of eight pixels in 16-bit lanes (at most 65025): blue and red in
// `even`, green and alpha in `odd`. Both rules over opaque destinations start from it.
struct OpaqueSums8 {
    __m256i even, odd;
};

HA_AVX2_INLINE OpaqueSums8 opaqueSums8(__m256i d, __m256i s)
{
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i a = _mm256_srli_epi32(s, 24);
    const __m256i a2 = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
    const __m256i inv = _mm256_sub_epi16(lowBytes, a2);
    return {_mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, lowBytes), a2),
                             _mm256_mullo_epi16(_mm256_and_si256(d, lowBytes), inv)),
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a2),
                             _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), inv))};
}

// blendOver of eight pixels over opaque destinations: outA is 255 and a channel is
// (c * a + cd * (255 - a) + 127) / 255.
HA_AVX2_INLINE __m256i overOpaque8(__m256i d, __m256i s)
{
    const OpaqueSums8 v = opaqueSums8(d, s);
    const __m256i k127 = _mm256_set1_epi16(127), k8081 = _mm256_set1_epi16(int16_t(0x8081));
    const __m256i lo = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(v.even, k127), k8081), 7);
    const __m256i hi = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(v.odd, k127), k8081), 7);
    return _mm256_or_si256(_mm256_or_si256(lo, _mm256_slli_epi16(hi, 8)), _mm256_set1_epi32(int(0xFF000000u)));
}

HA_AVX2_INLINE __m256i ontoOpaque8(__m256i d, __m256i s)
{
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    const OpaqueSums8 v = opaqueSums8(d, s);
    const __m256i even = _mm256_srli_epi16(v.even, 8), odd = _mm256_srli_epi16(v.odd, 8);
    const __m256i mixed = _mm256_or_si256(
        _mm256_andnot_si256(alpha, _mm256_or_si256(even, _mm256_slli_epi16(odd, 8))), _mm256_and_si256(alpha, s));
    const __m256i sA = _mm256_and_si256(s, alpha);
    const __m256i picked = _mm256_blendv_epi8(mixed, s, _mm256_cmpeq_epi32(sA, alpha));
    return _mm256_blendv_epi8(picked, d, _mm256_cmpeq_epi32(sA, _mm256_setzero_si256()));
}

// Each returns the number of pixels done, a multiple of 8.
HA_AVX2 int64_t blendRow8(uint32_t* destination, const uint32_t* source, int64_t count)
{
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = load8(source + i);
        if (_mm256_testz_si256(s, alpha))
            continue;  // every weight 0: the destination stays
        const __m256i d = load8(destination + i);
        store8(destination + i, mix8(d, s, cover8(alphas8(s), alphas8(d))));
    }
    return i;
}

HA_AVX2 int64_t dyeRow8(uint32_t* destination, const uint32_t* source, int64_t count, uint32_t colour)
{
    const __m256i c = _mm256_set1_epi32(int(colour));
    const __m256i cA = _mm256_set1_epi16(short(colour >> 24));
    int64_t i = 0;
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    for (; i + 8 <= count; i += 8) {
        const __m256i s = load8(source + i);
        if (_mm256_testz_si256(s, alpha))
            continue;  // every weight 0: the destination stays
        store8(destination + i, mix8(load8(destination + i), c, cover8(alphas8(s), cA)));
    }
    return i;
}

HA_AVX2 int64_t overRow8(uint32_t* destination, const uint32_t* source, int64_t count)
{
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = load8(source + i);
        const __m256i sA = _mm256_and_si256(s, alpha);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sA, alpha)) == -1) {
            store8(destination + i, s);  // all opaque: the source
            continue;
        }
        const __m256i d = load8(destination + i);
        const __m256i dA = _mm256_and_si256(d, alpha);
        if (_mm256_testz_si256(s, alpha)) {
            // All transparent: the destination, or 0 where it is transparent too.
            store8(destination + i, _mm256_andnot_si256(_mm256_cmpeq_epi32(dA, _mm256_setzero_si256()), d));
            continue;
        }
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(dA, alpha)) == -1)
            store8(destination + i, overOpaque8(d, s));
        else
            store8(destination + i, over8(d, s));
    }
    return i;
}

HA_AVX2 int64_t ontoOpaqueRow8(uint32_t* destination, const uint32_t* source, int64_t count)
{
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = load8(source + i);
        if (_mm256_testz_si256(s, alpha))
            continue;  // all transparent: the destination stays
        store8(destination + i, ontoOpaque8(load8(destination + i), s));
    }
    return i;
}

#endif

}  // namespace

void setRowKernel(eRowKernel k)
{
    kernel().store(k == eRowKernel::Avx2 && widestKernel() != eRowKernel::Avx2 ? widestKernel() : k,
                   std::memory_order_relaxed);
}

eRowKernel rowKernel() { return activeKernel(); }

void blendUsingAlphaRow(uint32_t* destination, const uint32_t* source, int64_t count)
{
    int64_t i = 0;
    const eRowKernel k = activeKernel();
#if defined(HA_PIXEL_ROWS_AVX2)
    if (k == eRowKernel::Avx2 && blockAtOnce(destination, source, 8))
        i = blendRow8(destination, source, count);
#endif
#if defined(__SSE2__)
    if (k != eRowKernel::Portable && blockAtOnce(destination, source, 4))
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
    const eRowKernel k = activeKernel();
    // A weight of 0 mixes to the destination's own value, so whole blocks are written.
#if defined(HA_PIXEL_ROWS_AVX2)
    if (k == eRowKernel::Avx2 && blockAtOnce(destination, source, 8))
        i = dyeRow8(destination, source, count, colour);
#endif
#if defined(__SSE2__)
    if (k != eRowKernel::Portable && blockAtOnce(destination, source, 4)) {
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
    const eRowKernel k = activeKernel();
#if defined(HA_PIXEL_ROWS_AVX2)
    if (k == eRowKernel::Avx2 && blockAtOnce(destination, source, 8))
        i = overRow8(destination, source, count);
#endif
#if defined(__SSE2__)
    if (k != eRowKernel::Portable && blockAtOnce(destination, source, 4))
        for (; i + 4 <= count; i += 4)
            store4(destination + i, over4(load4(destination + i), load4(source + i)));
#endif
    const auto& reciprocal = reciprocals();
    for (; i < count; ++i)
        destination[i] = blendOverFast(destination[i], source[i], reciprocal);
}

void copyOntoOpaqueRow(uint32_t* destination, const uint32_t* source, int64_t count)
{
    int64_t i = 0;
    const eRowKernel k = activeKernel();
#if defined(HA_PIXEL_ROWS_AVX2)
    if (k == eRowKernel::Avx2 && blockAtOnce(destination, source, 8))
        i = ontoOpaqueRow8(destination, source, count);
#endif
#if defined(__SSE2__)
    if (k != eRowKernel::Portable && blockAtOnce(destination, source, 4))
        for (; i + 4 <= count; i += 4)
            store4(destination + i, ontoOpaque4(load4(destination + i), load4(source + i)));
#endif
    for (; i < count; ++i) {
        const uint32_t s = source[i];
        const uint32_t a = s >> 24;
        if (a == 255)
            destination[i] = s;
        else if (a != 0)
            destination[i] = copyOntoOpaque(destination[i], s);
    }
}

}  // namespace HA::UIA::DETAIL
