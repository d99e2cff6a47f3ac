// Part of the body of every code path (PathBody.inl): the bilinear edge rows and columns,
// in one pass with 14-bit weights straight into the destination, and the edges' counts.

// The edge sums' rounding: the constant 8192 plus the lowest bit of the integer part.
[[maybe_unused]] uint8_t edgeRound(uint32_t v) { return uint8_t((v + ((v >> 14) & 1u) + 8192u) >> 14); }

// The four-channel forms of SSE4.1 are templates, so the paths without it never make them.

// edgeRound of four 32-bit values, each cut to its low byte as the scalar form does; the
// bytes of one pixel.
template <int = kLevel> uint32_t edgeRound4(__m128i v)
{
    const __m128i odd = _mm_and_si128(_mm_srli_epi32(v, 14), _mm_set1_epi32(1));
    const __m128i r = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(v, odd), _mm_set1_epi32(8192)), 14);
    const __m128i lowBytes = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    return uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi8(r, lowBytes)));
}

template <int = kLevel> __m128i widen4(const uint8_t* p)
{
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(load32(p))));
}

struct EdgeCounts {
    int32_t top, bottom, left, right;
};

// One edge row from one source row: the column taps, replicated at the picture's sides.
void linearEdgeRow(const Tile& t, const uint8_t* p, uint8_t* d, const int32_t* cols,
                   const EdgeCounts& e)
{
    const ResizeAxis& ax = t.spec->cols;
    const uint16_t* cw = ax.weights + 2 * ptrdiff_t(t.x);
    // Offsets are whole pixels: left of the picture below `first`, past its last pair above
    // `last` - 4. Kept in locals, as the stores through d could be the tile's own fields.
    const ptrdiff_t first = -4 * ptrdiff_t(t.x0);
    const ptrdiff_t last = 4 * (ptrdiff_t(ax.srcSize) - 1 - t.x0);
    const int32_t width = t.width;
    const bool replicateLeft = e.left > 0, replicateRight = e.right > 0;
    struct Taps {
        ptrdiff_t left, right;
    };
    auto tapsOf = [&](int32_t j) {
        const ptrdiff_t tap = cols[j];
        if (tap < first && replicateLeft)
            return Taps{first, first};
        if (tap > last - 4 && replicateRight)
            return Taps{last, last};
        return Taps{tap, tap + 4};
    };
    int32_t j = 0;
    if constexpr (kWideIntegers) {
        // Two pixels a step, their interleaved taps and weight pairs in one multiply-add, while
        // every weight fits its signed 16-bit operands; the pixel loop takes the rest.
        const __m128i interleave2 = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
        const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
        const __m256i lowBytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                  0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
        for (; j + 2 <= width; j += 2) {
            uint64_t weights;
            __builtin_memcpy(&weights, cw + 2 * ptrdiff_t(j), 8);
            if (weights & 0x8000800080008000ull)
                break;
            const Taps a = tapsOf(j), b = tapsOf(j + 1);
            const __m128i taps = _mm_shuffle_epi8(_mm_setr_epi32(int(load32(p + a.left)), int(load32(p + a.right)),
                                                                 int(load32(p + b.left)), int(load32(p + b.right))),
                                                  interleave2);
            const __m256i v = _mm256_madd_epi16(
                _mm256_cvtepu8_epi16(taps),
                _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(_mm_cvtsi64_si128(int64_t(weights))), spread));
            const __m256i odd = _mm256_and_si256(_mm256_srli_epi32(v, 14), _mm256_set1_epi32(1));
            const __m256i r = _mm256_shuffle_epi8(
                _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(v, odd), _mm256_set1_epi32(8192)), 14), lowBytes);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j)),
                             _mm_unpacklo_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1)));
        }
    }
    const __m128i interleave = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, -1, -1, -1, -1, -1, -1, -1, -1);
    for (; j < width; ++j) {
        const Taps at = tapsOf(j);
        const ptrdiff_t tap0 = at.left, tap1 = at.right;
        const uint32_t w0 = cw[2 * ptrdiff_t(j)], w1 = cw[2 * ptrdiff_t(j) + 1];
        if constexpr (kSse41) {
            // The same 32-bit products and sum, four channels at once: by one multiply-add of
            // the interleaved taps where both weights fit its signed 16-bit operands.
            __m128i v;
            if ((w0 | w1) < 32768) {
                const __m128i pair = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(load32(p + tap0))),
                                                        _mm_cvtsi32_si128(int(load32(p + tap1))));
                v = _mm_madd_epi16(_mm_cvtepu8_epi16(_mm_shuffle_epi8(pair, interleave)),
                                   _mm_set1_epi32(int(w0 | (w1 << 16))));
            } else
                v = _mm_add_epi32(_mm_mullo_epi32(widen4(p + tap0), _mm_set1_epi32(int(w0))),
                                  _mm_mullo_epi32(widen4(p + tap1), _mm_set1_epi32(int(w1))));
            store32(d + 4 * ptrdiff_t(j), edgeRound4(v));
        } else {
            for (int c = 0; c < 4; ++c)
                d[4 * ptrdiff_t(j) + c] = edgeRound(w0 * p[tap0 + c] + w1 * p[tap1 + c]);
        }
    }
}

// The pixel of an edge column: one source column's two rows, by the row weight.
uint32_t linearEdgePixel(const uint8_t* p0, const uint8_t* p1, uint32_t wr)
{
    if constexpr (kSse41) {
        // The same 32-bit sums, four channels at once: 16384 a + (b - a) wr is
        // a (16384 - wr) + b wr, one multiply-add where wr fits its signed 16-bit operands.
        __m128i v;
        if (wr < 32768) {
            const __m128i taps = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(load32(p0))), _mm_cvtsi32_si128(int(load32(p1))));
            v = _mm_madd_epi16(_mm_cvtepu8_epi16(taps), _mm_set1_epi32(int((16384 - wr) & 0xFFFF) | int(wr << 16)));
        } else {
            const __m128i a = widen4(p0);
            v = _mm_add_epi32(_mm_slli_epi32(a, 14),
                              _mm_mullo_epi32(_mm_sub_epi32(widen4(p1), a), _mm_set1_epi32(int32_t(wr))));
        }
        return edgeRound4(v);
    } else {
        uint8_t px[4];
        for (int c = 0; c < 4; ++c)
            px[c] = edgeRound(uint32_t(16384 * int32_t(p0[c]) + (int32_t(p1[c]) - int32_t(p0[c])) * int32_t(wr)));
        uint32_t v;
        __builtin_memcpy(&v, px, 4);
        return v;
    }
}

void linearEdges(const Tile& t, const int32_t* cols, const int32_t* rows, const EdgeCounts& e)
{
    const int32_t hs = t.spec->rows.srcSize, ws = t.spec->cols.srcSize;
    for (int32_t i = 0; i < e.top; ++i)
        linearEdgeRow(t, t.src, t.dst + t.dstStep * ptrdiff_t(i), cols, e);
    // Locals, as the stores through the destination could be the tile's own fields.
    const uint16_t* rowWeights = t.spec->rows.weights + t.y;
    const uint8_t* src = t.src;
    uint8_t* dst = t.dst;
    const ptrdiff_t srcStep = t.srcStep, dstStep = t.dstStep;
    const ptrdiff_t leftColumn = -4 * ptrdiff_t(t.x0), rightColumn = 4 * (ptrdiff_t(ws) - 1 - t.x0);
    const int32_t left = e.left, right = e.right, width = t.width, end = t.height - e.bottom;
    for (int32_t i = e.top; i < end; ++i) {
        const uint8_t* p0 = src + srcStep * ptrdiff_t(rows[i]);
        uint8_t* d = dst + dstStep * ptrdiff_t(i);
        if (left > 0) {
            const uint32_t px = linearEdgePixel(p0 + leftColumn, p0 + leftColumn + srcStep, rowWeights[i]);
            for (int32_t j = 0; j < left; ++j)
                store32(d + 4 * ptrdiff_t(j), px);
        }
        if (right > 0) {
            const uint32_t px = linearEdgePixel(p0 + rightColumn, p0 + rightColumn + srcStep, rowWeights[i]);
            for (int32_t j = width - right; j < width; ++j)
                store32(d + 4 * ptrdiff_t(j), px);
        }
    }
    const uint8_t* bottomRow = t.src + t.srcStep * (ptrdiff_t(hs) - 1 - t.y0);
    for (int32_t i = t.height - e.bottom; i < t.height; ++i)
        linearEdgeRow(t, bottomRow, t.dst + t.dstStep * ptrdiff_t(i), cols, e);
}

int32_t edgeCount(bool inMemory, int32_t before, int32_t count, int32_t limit)
{
    const int32_t n = inMemory || before >= count ? 0 : count - before;
    return minOf(n, limit);
}
