// Part of the body of every code path (PathBody.inl): the bilinear axis tables and the
// two-pass interpolation of the inner rectangle (horizontal pass, vertical blend, halving).

void linearAxis(ResizeAxis* axis, int32_t pairStride)
{
    const int32_t src = axis->srcSize, dst = axis->dstSize;
    const double r = double(uint32_t(axis->srcReduced)) / double(uint32_t(axis->dstReduced));
    int32_t* index = const_cast<int32_t*>(axis->index);
    uint16_t* weights = const_cast<uint16_t*>(axis->weights);
    const double last = double(src - 1);
    int32_t leading = 0, trailing = 0;
    for (int32_t i = 0; i < dst; ++i) {
        const double d = (double(i) + 0.5) * r - 0.5;
        const double e = floorOf(d);
        const uint32_t w = uint32_t(int32_t((d - e) * 16384.0 + 1e-7));
        index[i] = int32_t(e);
        if (pairStride == 2) {
            weights[2 * ptrdiff_t(i)] = uint16_t(16384 - w);
            weights[2 * ptrdiff_t(i) + 1] = uint16_t(w);
        } else {
            weights[i] = uint16_t(w);
        }
        if (d < 0.0)
            ++leading;
        if (d >= last)
            ++trailing;
    }
    axis->leading = leading;
    axis->trailing = trailing;
}

// Horizontal pass of one source row into n pixels of four 16-bit values.
void linearRow(const uint8_t* p, const int32_t* cols, const uint16_t* cw, int32_t n,
               uint16_t* out)
{
    int32_t j = 0;
    if constexpr (kByteShuffles) {
        const __m128i pairs = _mm_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
        const __m128i half = _mm_set1_epi32(128);
        if constexpr (kWideIntegers) {
            const __m256i pairs2 = _mm256_broadcastsi128_si256(pairs);
            const __m256i half2 = _mm256_set1_epi32(128);
            const __m256i evenOdd[4] = {
                _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1), _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3),
                _mm256_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5), _mm256_setr_epi32(6, 6, 6, 6, 7, 7, 7, 7)};
            // Two pixels per 256-bit register: pixel j in the low lane, j + 1 in the high one.
            auto twoPixels = [&](int32_t k, __m256i weights8, int which) {
                const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[k]));
                const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[k + 1]));
                const __m256i taps = _mm256_shuffle_epi8(_mm256_set_m128i(b, a), pairs2);
                const __m256i w = _mm256_permutevar8x32_epi32(weights8, evenOdd[which]);
                return _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(taps, w), half2), 8);
            };
            auto fourPixels = [&](int32_t k, __m256i weights8, int first) {
                const __m256i ab = twoPixels(k, weights8, first);
                const __m256i cd = twoPixels(k + 2, weights8, first + 1);
                return _mm256_permute4x64_epi64(_mm256_packs_epi32(ab, cd), 0xD8);
            };
            for (; j + 16 <= n; j += 16) {
                for (int k = 0; k < 16; k += 8) {
                    const __m256i w8 =
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cw + 2 * ptrdiff_t(j + k)));
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * ptrdiff_t(j + k)),
                                        fourPixels(j + k, w8, 0));
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * ptrdiff_t(j + k + 4)),
                                        fourPixels(j + k + 4, w8, 2));
                }
            }
            for (; j + 8 <= n; j += 8) {
                const __m256i w8 =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cw + 2 * ptrdiff_t(j)));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * ptrdiff_t(j)),
                                    fourPixels(j, w8, 0));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * ptrdiff_t(j + 4)),
                                    fourPixels(j + 4, w8, 2));
            }
        }
        for (; j + 4 <= n; j += 4) {
            const __m128i w4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cw + 2 * ptrdiff_t(j)));
            __m128i s[4];
            s[0] = _mm_madd_epi16(_mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[j])), pairs),
                                  _mm_shuffle_epi32(w4, 0x00));
            s[1] = _mm_madd_epi16(_mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[j + 1])), pairs),
                                  _mm_shuffle_epi32(w4, 0x55));
            s[2] = _mm_madd_epi16(_mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[j + 2])), pairs),
                                  _mm_shuffle_epi32(w4, 0xAA));
            s[3] = _mm_madd_epi16(_mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[j + 3])), pairs),
                                  _mm_shuffle_epi32(w4, 0xFF));
            for (__m128i& v : s)
                v = _mm_srai_epi32(_mm_add_epi32(v, half), 8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * ptrdiff_t(j)), _mm_packs_epi32(s[0], s[1]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * ptrdiff_t(j) + 8), _mm_packs_epi32(s[2], s[3]));
        }
    }
    for (; j < n; ++j) {
        const uint8_t* a = p + cols[j];
        const uint32_t w0 = cw[2 * ptrdiff_t(j)], w1 = cw[2 * ptrdiff_t(j) + 1];
        for (int c = 0; c < 4; ++c)
            out[4 * ptrdiff_t(j) + c] = uint16_t((w0 * a[c] + w1 * a[4 + c] + 128) >> 8);
    }
}

// The horizontal pass with byte multiplies, for columns whose weight pair sums to 16384.
// With w = 256 h + l and the taps moved to signed bytes (a - 128), a w0 + b w1 + 128 is
// 256 H + L + 2^21 + 128, where H = (a-128) h0 + (b-128) h1 lies within +-8192 and
// L = (a-128) l0 + (b-128) l1 within [-32768, 32512] (l0 + l1 is 0 or 256), so neither
// sum saturates and the pass is H + 8192 + ((L + 128) >> 8) in 16-bit lanes.
void linearRowWhole(const uint8_t* p, const int32_t* cols, const uint16_t* cw, int32_t n,
                    uint16_t* out)
{
    int32_t j = 0;
    if constexpr (kByteShuffles) {
        const bool ahead = n >= kPrefetchColumns;
        const __m128i interleave = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
        const __m128i highs = _mm_setr_epi8(1, 3, 1, 3, 1, 3, 1, 3, 5, 7, 5, 7, 5, 7, 5, 7);
        const __m128i lows = _mm_setr_epi8(0, 2, 0, 2, 0, 2, 0, 2, 4, 6, 4, 6, 4, 6, 4, 6);
        const __m128i sign = _mm_set1_epi8(-128), round = _mm_set1_epi16(128), base = _mm_set1_epi16(8192);
        if constexpr (kWideIntegers) {
            const __m256i interleave2 = _mm256_broadcastsi128_si256(interleave);
            const __m256i highs2 = _mm256_add_epi8(_mm256_broadcastsi128_si256(highs),
                                                   _mm256_setr_epi64x(0, 0, 0x0808080808080808, 0x0808080808080808));
            const __m256i lows2 = _mm256_add_epi8(_mm256_broadcastsi128_si256(lows),
                                                  _mm256_setr_epi64x(0, 0, 0x0808080808080808, 0x0808080808080808));
            const __m256i sign2 = _mm256_set1_epi8(-128), round2 = _mm256_set1_epi16(128),
                          base2 = _mm256_set1_epi16(8192);
            for (; j + 4 <= n; j += 4) {
                if (ahead)
                    prefetchAhead(p + cols[j]);
                const __m128i ab = _mm_castpd_si128(_mm_loadh_pd(
                    _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[j]))),
                    reinterpret_cast<const double*>(p + cols[j + 1])));
                const __m128i cd = _mm_castpd_si128(_mm_loadh_pd(
                    _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[j + 2]))),
                    reinterpret_cast<const double*>(p + cols[j + 3])));
                const __m256i taps = _mm256_xor_si256(
                    _mm256_shuffle_epi8(_mm256_set_m128i(cd, ab), interleave2), sign2);
                const __m256i w = _mm256_broadcastsi128_si256(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(cw + 2 * ptrdiff_t(j))));
                const __m256i h = _mm256_maddubs_epi16(_mm256_shuffle_epi8(w, highs2), taps);
                const __m256i l = _mm256_maddubs_epi16(_mm256_shuffle_epi8(w, lows2), taps);
                const __m256i v = _mm256_add_epi16(_mm256_add_epi16(h, base2),
                                                   _mm256_srai_epi16(_mm256_add_epi16(l, round2), 8));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * ptrdiff_t(j)), v);
            }
        }
        for (; j + 2 <= n; j += 2) {
            if (ahead && (j & 3) == 0)
                prefetchAhead(p + cols[j]);
            const __m128i ab = _mm_castpd_si128(_mm_loadh_pd(
                _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + cols[j]))),
                reinterpret_cast<const double*>(p + cols[j + 1])));
            const __m128i taps = _mm_xor_si128(_mm_shuffle_epi8(ab, interleave), sign);
            const __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cw + 2 * ptrdiff_t(j)));
            const __m128i h = _mm_maddubs_epi16(_mm_shuffle_epi8(w, highs), taps);
            const __m128i l = _mm_maddubs_epi16(_mm_shuffle_epi8(w, lows), taps);
            const __m128i v = _mm_add_epi16(_mm_add_epi16(h, base), _mm_srai_epi16(_mm_add_epi16(l, round), 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * ptrdiff_t(j)), v);
        }
    }
    for (; j < n; ++j) {
        const uint8_t* a = p + cols[j];
        const uint32_t w0 = cw[2 * ptrdiff_t(j)], w1 = cw[2 * ptrdiff_t(j) + 1];
        for (int c = 0; c < 4; ++c)
            out[4 * ptrdiff_t(j) + c] = uint16_t((w0 * a[c] + w1 * a[4 + c] + 128) >> 8);
    }
}

// Whether every column's weight pair sums to 16384, as the initialisation makes them.
bool columnsSumWhole(const uint16_t* colWeights, int32_t n)
{
    for (int32_t j = 0; j < n; ++j)
        if (colWeights[2 * ptrdiff_t(j)] + colWeights[2 * ptrdiff_t(j) + 1] != 16384)
            return false;
    return true;
}

uint8_t blendValue(uint32_t upper, uint32_t lower, uint32_t wr)
{
    const int32_t v = int32_t((wr * lower + (16384 - wr) * upper + 0x80000u) >> 20);
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// (16384 - wr) * upper + wr * lower for four values, rounded and shifted, as 32-bit lanes.
__m128i blend4(__m128i upperLower, __m128i weights)
{
    return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(upperLower, weights), _mm_set1_epi32(0x80000)), 20);
}

// The vertical blend in 16-bit lanes, for row buffers whose values are at most 16320 (every
// column's weight pair sums to 16384) and 0 <= wr < 16384. With d = lower - upper the blend
// ((16384 - wr) upper + wr lower + 2^19) >> 20 is (2^14 (upper + 32) + wr d) >> 20; with
// wr d = 2^14 q + r, 0 <= r < 2^14, that is (upper + 32 + q) >> 6, since r cannot carry into
// the sixth bit; and q is the high half of (2d)(2wr), both factors within 16 bits.
// Returns how many values it did; the caller blends the rest.
int32_t linearBlendSmall(const uint16_t* upper, const uint16_t* lower, uint32_t wr, int32_t count,
                         uint8_t* out)
{
    int32_t k = 0;
    const __m128i w = _mm_set1_epi16(short(2 * wr)), bias = _mm_set1_epi16(32);
    auto eight = [&](int32_t at) {
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + at));
        const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + at));
        const __m128i q = _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(l, u), 1), w);
        return _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(u, bias), q), 6);
    };
    if constexpr (kWideIntegers) {
        const __m256i w2 = _mm256_set1_epi16(short(2 * wr)), bias2 = _mm256_set1_epi16(32);
        auto sixteen = [&](int32_t at) {
            const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + at));
            const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + at));
            const __m256i q = _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(l, u), 1), w2);
            return _mm256_srai_epi16(_mm256_add_epi16(_mm256_add_epi16(u, bias2), q), 6);
        };
        for (; k + 32 <= count; k += 32) {
            const __m256i bytes = _mm256_packus_epi16(sixteen(k), sixteen(k + 16));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_permute4x64_epi64(bytes, 0xD8));
        }
    }
    for (; k + 16 <= count; k += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(eight(k), eight(k + 8)));
    for (; k + 8 <= count; k += 8)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(eight(k), _mm_setzero_si128()));
    return k;
}

// linearBlendSmall of two row weights over the same two buffers into two rows: each
// difference is loaded and doubled once. Returns how many values it did. Its own loops: one
// function serving both, with the second row optional, slowed the rows that blend alone.
int32_t linearBlendSmallPair(const uint16_t* upper, const uint16_t* lower, uint32_t wr0, uint32_t wr1,
                             int32_t count, uint8_t* out0, uint8_t* out1)
{
    int32_t k = 0;
    if constexpr (kWideIntegers) {
        const __m256i w0 = _mm256_set1_epi16(short(2 * wr0)), w1 = _mm256_set1_epi16(short(2 * wr1));
        const __m256i bias = _mm256_set1_epi16(32);
        for (; k + 32 <= count; k += 32) {
            const __m256i ua = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + k));
            const __m256i ub = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + k + 16));
            const __m256i da = _mm256_slli_epi16(
                _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + k)), ua), 1);
            const __m256i db = _mm256_slli_epi16(
                _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + k + 16)), ub), 1);
            const __m256i ba = _mm256_add_epi16(ua, bias), bb = _mm256_add_epi16(ub, bias);
            auto row = [&](__m256i w, uint8_t* out) {
                const __m256i a = _mm256_srai_epi16(_mm256_add_epi16(ba, _mm256_mulhi_epi16(da, w)), 6);
                const __m256i b = _mm256_srai_epi16(_mm256_add_epi16(bb, _mm256_mulhi_epi16(db, w)), 6);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                                    _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
            };
            row(w0, out0);
            row(w1, out1);
        }
    }
    const __m128i w0x = _mm_set1_epi16(short(2 * wr0)), w1x = _mm_set1_epi16(short(2 * wr1));
    const __m128i biasx = _mm_set1_epi16(32);
    for (; k + 16 <= count; k += 16) {
        const __m128i ua = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + k));
        const __m128i ub = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + k + 8));
        const __m128i da =
            _mm_slli_epi16(_mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + k)), ua), 1);
        const __m128i db =
            _mm_slli_epi16(_mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + k + 8)), ub), 1);
        const __m128i ba = _mm_add_epi16(ua, biasx), bb = _mm_add_epi16(ub, biasx);
        auto row = [&](__m128i w, uint8_t* out) {
            const __m128i a = _mm_srai_epi16(_mm_add_epi16(ba, _mm_mulhi_epi16(da, w)), 6);
            const __m128i b = _mm_srai_epi16(_mm_add_epi16(bb, _mm_mulhi_epi16(db, w)), 6);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(a, b));
        };
        row(w0x, out0);
        row(w1x, out1);
    }
    return k;
}

// Path 0 blends a row at a time, in vector blocks only where the buffers and the output lie
// apart; the other paths blend in blocks everywhere, and two rows at once where they can.
constexpr bool kBlendApartOnly = kLevel == 0;

// Whether path 0 blends in vector blocks: the output lies apart from both buffers and the
// row is longer than six values.
bool blocksApart(const uint16_t* upper, const uint16_t* lower, int32_t count, const uint8_t* out)
{
    const uintptr_t o0 = reinterpret_cast<uintptr_t>(out), o1 = o0 + uintptr_t(count);
    auto apart = [&](const uint16_t* b) {
        const uintptr_t b0 = reinterpret_cast<uintptr_t>(b), b1 = b0 + 2 * uintptr_t(count);
        return o1 <= b0 || b1 <= o0;
    };
    return apart(upper) && apart(lower) && count > 6;
}

// Vertical blend of `count` values of two row buffers into bytes; `small`: the buffers'
// values are at most 16320.
void linearBlend(const uint16_t* upper, const uint16_t* lower, uint32_t wr, int32_t count,
                 uint8_t* out, bool small)
{
    int32_t k = 0;
    const __m128i weights = _mm_set1_epi32(int(((wr & 0xFFFF) << 16) | ((16384 - wr) & 0xFFFF)));
    if (!kBlendApartOnly || blocksApart(upper, lower, count, out)) {
        if (small && wr < 16384)
            k = linearBlendSmall(upper, lower, wr, count, out);
        if constexpr (kWideIntegers) {
            const __m256i weights2 = _mm256_broadcastsi128_si256(weights);
            const __m256i round2 = _mm256_set1_epi32(0x80000);
            auto sixteen = [&](int32_t at) {
                const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + at));
                const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + at));
                const __m256i lo = _mm256_srai_epi32(
                    _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(u, l), weights2), round2), 20);
                const __m256i hi = _mm256_srai_epi32(
                    _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(u, l), weights2), round2), 20);
                return _mm256_packs_epi32(lo, hi);
            };
            for (; k + 32 <= count; k += 32) {
                const __m256i bytes = _mm256_packus_epi16(sixteen(k), sixteen(k + 16));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                                    _mm256_permute4x64_epi64(bytes, 0xD8));
            }
        }
        if constexpr (kByteShuffles) {
            for (; k + 8 <= count; k += 8) {
                const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + k));
                const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + k));
                const __m128i lo = blend4(_mm_unpacklo_epi16(u, l), weights);
                const __m128i hi = blend4(_mm_unpackhi_epi16(u, l), weights);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k),
                                 _mm_packus_epi16(_mm_packs_epi32(lo, hi), _mm_setzero_si128()));
            }
        }
        for (; k + 4 <= count; k += 4) {
            const __m128i u = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(upper + k));
            const __m128i l = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lower + k));
            const __m128i v = blend4(_mm_unpacklo_epi16(u, l), weights);
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(v, v), _mm_setzero_si128());
            store32(out + k, uint32_t(_mm_cvtsi128_si32(packed)));
        }
    }
    for (; k < count; ++k)
        out[k] = blendValue(upper[k], lower[k], wr);
}

struct LinearRect {
    const uint8_t* src;  // the tile's source origin
    ptrdiff_t srcStep;
    uint8_t* dst;        // the rectangle's first pixel
    ptrdiff_t dstStep;
    int32_t n, m;        // columns, rows
    const int32_t* rows;
    const int32_t* cols;
    const uint16_t* colWeights;  // pairs
    const uint16_t* rowWeights;
};

// Which source rows (relative to the tile's origin) the two row buffers hold.
struct RowBuffers {
    uint16_t* buffer[2];
    int64_t held[2];
    bool wholeSums;  // every column's weight pair sums to 16384
};

// The horizontal pass of source row k in a buffer, computed unless a buffer holds it
// already; the buffer that holds row `keep` is not overwritten.
const uint16_t* passedRow(const LinearRect& r, RowBuffers& b, int64_t k, int64_t keep)
{
    for (int s = 0; s < 2; ++s)
        if (b.held[s] == k)
            return b.buffer[s];
    const int s = b.held[0] == keep ? 1 : 0;
    if (kByteShuffles && b.wholeSums)
        linearRowWhole(r.src + r.srcStep * ptrdiff_t(k), r.cols, r.colWeights, r.n, b.buffer[s]);
    else
        linearRow(r.src + r.srcStep * ptrdiff_t(k), r.cols, r.colWeights, r.n, b.buffer[s]);
    b.held[s] = k;
    return b.buffer[s];
}

// Whether every column of the rectangle takes its left tap whole (weights 16384 and 0):
// the horizontal pass then gives 64 times the tap, which a whole row weight turns back
// into the tap's byte.
bool columnsTakeLeftTap(const uint16_t* colWeights, int32_t n)
{
    for (int32_t j = 0; j < n; ++j)
        if (colWeights[2 * ptrdiff_t(j)] != 16384 || colWeights[2 * ptrdiff_t(j) + 1] != 0)
            return false;
    return true;
}

// Whether every column weighs two neighbouring source pixels alike (8192 each) and each
// column's pair follows the previous one's: a reduction to half the width.
bool columnsHalve(const int32_t* cols, const uint16_t* colWeights, int32_t n)
{
    for (int32_t j = 0; j < n; ++j)
        if (colWeights[2 * ptrdiff_t(j)] != 8192 || colWeights[2 * ptrdiff_t(j) + 1] != 8192 ||
            cols[j] != cols[0] + 8 * j)
            return false;
    return true;
}

// Half weights on both axes: the horizontal pass gives 32 (a + b) exactly and the vertical
// one (S + 2) >> 2 of the four taps' sum S, so an output pixel is the rounded mean of a
// 2 x 2 block of consecutive source pixels.
void linearBoxRow(const uint8_t* p0, const uint8_t* p1, int32_t n, uint8_t* out)
{
    int32_t j = 0;
    [[maybe_unused]] const bool ahead = n >= kPrefetchColumns;
    if constexpr (kWideIntegers) {
        const __m256i zero2 = _mm256_setzero_si256(), two2 = _mm256_set1_epi16(2);
        // Eight pixels a step: a shuffle pairs each channel of neighbouring pixels and a byte
        // multiply-add by ones sums them (at most 510, no saturation).
        const __m256i pairs = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15,
                                               0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
        const __m256i ones = _mm256_set1_epi8(1);
        auto sums = [&](const uint8_t* p) {
            return _mm256_maddubs_epi16(_mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), pairs),
                                        ones);
        };
        for (; j + 8 <= n; j += 8) {
            const ptrdiff_t at = 8 * ptrdiff_t(j);
            if (ahead) {
                prefetchAhead(p0 + at);
                prefetchAhead(p1 + at);
            }
            const __m256i first = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(sums(p0 + at), sums(p1 + at)), two2), 2);
            const __m256i second =
                _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(sums(p0 + at + 32), sums(p1 + at + 32)), two2), 2);
            // The packs interleave the halves' 64-bit quarters; the permutation puts them in order.
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * ptrdiff_t(j)),
                                _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8));
        }
        for (; j + 4 <= n; j += 4) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p0 + 8 * ptrdiff_t(j)));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p1 + 8 * ptrdiff_t(j)));
            const __m256i lo = _mm256_add_epi16(_mm256_unpacklo_epi8(a, zero2), _mm256_unpacklo_epi8(b, zero2));
            const __m256i hi = _mm256_add_epi16(_mm256_unpackhi_epi8(a, zero2), _mm256_unpackhi_epi8(b, zero2));
            const __m256i sumLo = _mm256_add_epi16(lo, _mm256_bsrli_epi128(lo, 8));
            const __m256i sumHi = _mm256_add_epi16(hi, _mm256_bsrli_epi128(hi, 8));
            const __m256i t = _mm256_srli_epi16(_mm256_add_epi16(_mm256_unpacklo_epi64(sumLo, sumHi), two2), 2);
            const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(t, t), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * ptrdiff_t(j)), _mm256_castsi256_si128(bytes));
        }
    }
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    if constexpr (kByteShuffles) {
        // Four pixels a step, by the same pairing shuffle and byte multiply-add.
        const __m128i pairs1 = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
        const __m128i ones1 = _mm_set1_epi8(1);
        auto sums1 = [&](const uint8_t* p) {
            return _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), pairs1), ones1);
        };
        for (; j + 4 <= n; j += 4) {
            const ptrdiff_t at = 8 * ptrdiff_t(j);
            if (ahead) {
                prefetchAhead(p0 + at);
                prefetchAhead(p1 + at);
            }
            const __m128i first = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(sums1(p0 + at), sums1(p1 + at)), two), 2);
            const __m128i second =
                _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(sums1(p0 + at + 16), sums1(p1 + at + 16)), two), 2);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * ptrdiff_t(j)), _mm_packus_epi16(first, second));
        }
    }
    for (; j + 2 <= n; j += 2) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + 8 * ptrdiff_t(j)));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + 8 * ptrdiff_t(j)));
        const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        const __m128i sumLo = _mm_add_epi16(lo, _mm_srli_si128(lo, 8));
        const __m128i sumHi = _mm_add_epi16(hi, _mm_srli_si128(hi, 8));
        const __m128i t = _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(sumLo, sumHi), two), 2);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * ptrdiff_t(j)), _mm_packus_epi16(t, t));
    }
    for (; j < n; ++j)
        for (int c = 0; c < 4; ++c) {
            const ptrdiff_t at = 8 * ptrdiff_t(j) + c;
            out[4 * ptrdiff_t(j) + c] = uint8_t((p0[at] + p0[at + 4] + p1[at] + p1[at + 4] + 2) >> 2);
        }
}

struct RowStreaming {
    bool on = false;
    uint32_t lineSize = 0;
};

// Path 4's streaming stores for row copies of `bytes` in all, when they reach the cache's
// size.
RowStreaming rowStreaming(int64_t bytes)
{
    RowStreaming plan;
    int32_t cacheSize = 0, lineSize = 0;
    const Status status = getCacheSize(&cacheSize);
    getCacheLineSize(&lineSize);
    const bool lineOk = lineSize >= 32 && (lineSize & (lineSize - 1)) == 0;
    plan.on = status == kOk && cacheSize >= 0 && bytes >= int64_t(cacheSize) && lineOk;
    plan.lineSize = uint32_t(lineSize);
    return plan;
}

// Whether each of `m` rows takes one source row whole (weight 0, or 16384 on the row after
// its index), each the one after the previous row's; `first` gets the first row's.
bool rowsTakeWhole(const int32_t* rows, const uint16_t* weights, int32_t m, int64_t* first)
{
    int64_t previous = 0;
    for (int32_t i = 0; i < m; ++i) {
        const uint32_t wr = weights[i];
        if (wr != 0 && wr != 16384)
            return false;
        const int64_t only = wr == 0 ? rows[i] : int64_t(rows[i]) + 1;
        if (i > 0 && only != previous + 1)
            return false;
        if (i == 0)
            *first = only;
        previous = only;
    }
    return true;
}

// A row weight of 0 or 16384 takes one source row whole: its horizontal pass alone is
// needed, and when every column takes one tap whole the row is a copy of source pixels.
void linearInner(const LinearRect& r, uint16_t* bufferA, uint16_t* bufferB)
{
    const int64_t none = int64_t(r.rows[0]) - 2;  // no row of the rectangle
    RowBuffers b{{bufferA, bufferB}, {none, none}, columnsSumWhole(r.colWeights, r.n)};
    const bool leftTaps = columnsTakeLeftTap(r.colWeights, r.n);
    const bool consecutive = leftTaps && columnsConsecutive(r.cols, r.n);
    const eColumns kind = leftTaps ? columnKind(r.cols, r.n) : eColumns::Other;
    const bool halves = columnsHalve(r.cols, r.colWeights, r.n);
    // Row copies of a rectangle larger than the cache go past it, as the nearest rows do.
    const RowStreaming stream =
        kWideIntegers && consecutive ? rowStreaming(4 * int64_t(r.n) * r.m) : RowStreaming{};
    bool streamed = false;
    for (int32_t i = 0; i < r.m; ++i) {
        const int64_t k = r.rows[i];
        const uint32_t wr = r.rowWeights[i];
        uint8_t* out = r.dst + r.dstStep * ptrdiff_t(i);
        if (halves && wr == 8192) {
            const uint8_t* row = r.src + r.srcStep * ptrdiff_t(k) + r.cols[0];
            linearBoxRow(row, row + r.srcStep, r.n, out);
            continue;
        }
        if (wr == 0 || wr == 16384) {
            const int64_t only = wr == 0 ? k : k + 1;
            if (leftTaps) {
                const uint8_t* row = r.src + r.srcStep * ptrdiff_t(only);
                if (consecutive) {
                    if (kWideIntegers && stream.on) {
                        streamRow(row + r.cols[0], out, r.n, stream.lineSize, &streamed);
                        continue;
                    }
                    __builtin_memmove(out, row + r.cols[0], 4 * size_t(r.n));
                } else
                    copyRowPixels(row, out, r.n, r.cols, kind);
                continue;
            }
            const uint16_t* one = passedRow(r, b, only, none);
            linearBlend(one, one, wr, 4 * r.n, out, b.wholeSums);
            continue;
        }
        const uint16_t* upper = passedRow(r, b, k, k + 1);
        const uint16_t* lower = passedRow(r, b, k + 1, k);
        // The next row blending the same two source rows shares the loads and differences.
        if (!kBlendApartOnly && b.wholeSums && i + 1 < r.m && r.rows[i + 1] == k &&
            r.rowWeights[i + 1] != 0 && r.rowWeights[i + 1] < 16384 && wr < 16384) {
            const int32_t count = 4 * r.n;
            uint8_t* next = out + r.dstStep;
            const uint32_t wrNext = r.rowWeights[i + 1];
            const int32_t done = linearBlendSmallPair(upper, lower, wr, wrNext, count, out, next);
            linearBlend(upper + done, lower + done, wr, count - done, out + done, true);
            linearBlend(upper + done, lower + done, wrNext, count - done, next + done, true);
            ++i;
            continue;
        }
        linearBlend(upper, lower, wr, 4 * r.n, out, b.wholeSums);
    }
    if (kWideIntegers && streamed)
        _mm_sfence();
}
