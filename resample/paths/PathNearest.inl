// Part of the body of every code path (PathBody.inl): the nearest-neighbour index tables,
// the tile's offsets and the row copies, which the bilinear rows that take one source pixel
// whole use as well.

// index[i] = trunc((i + 0.5) * r - 1e-10); the vector forms do the same operations.
void nearestAxis(int32_t* index, int32_t src, int32_t dst)
{
    const double r = double(src) / double(dst);
    int32_t i = 0;
    if constexpr (kWide) {
        const __m256d rv = _mm256_set1_pd(r), half = _mm256_set1_pd(0.5);
        const __m256d eps = _mm256_set1_pd(1e-10);
        const __m128i step = _mm_setr_epi32(0, 1, 2, 3);
        if constexpr (kWideIntegers) {
            for (; i + 8 <= dst; i += 8) {
                const __m256i iv = _mm256_add_epi32(_mm256_set1_epi32(i),
                                                    _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
                const __m256d lo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(iv));
                const __m256d hi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(iv, 1));
                const __m128i a = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(lo, half), rv), eps));
                const __m128i b = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(hi, half), rv), eps));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(index + i), _mm256_set_m128i(b, a));
            }
        }
        for (; i + 4 <= dst; i += 4) {
            const __m256d iv = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(i), step));
            const __m128i v = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(iv, half), rv), eps));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(index + i), v);
        }
    } else if constexpr (kLevel != 1) {  // path 1 takes one index a step
        const __m128d rv = _mm_set1_pd(r), half = _mm_set1_pd(0.5), eps = _mm_set1_pd(1e-10);
        const __m128i step = _mm_setr_epi32(0, 1, 0, 0);
        for (; i + 8 <= dst; i += 8) {
            for (int k = 0; k < 8; k += 2) {
                const __m128d iv = _mm_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(i + k), step));
                const __m128i v = _mm_cvttpd_epi32(_mm_sub_pd(_mm_mul_pd(_mm_add_pd(iv, half), rv), eps));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(index + i + k), v);
            }
        }
        for (; i + 2 <= dst; i += 2) {
            const __m128d iv = _mm_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(i), step));
            const __m128i v = _mm_cvttpd_epi32(_mm_sub_pd(_mm_mul_pd(_mm_add_pd(iv, half), rv), eps));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(index + i), v);
        }
    }
    for (; i < dst; ++i)
        index[i] = int32_t((double(i) + 0.5) * r - 1e-10);
}

// Column byte offsets and relative rows of a tile, at the work buffer's 64-byte boundary.
void fillOffsets(const Tile& t, int32_t** cols, int32_t** rows)
{
    int32_t* c = alignTo<int32_t>(t.work, 64);
    int32_t* r = c + t.width;
    const int32_t* ci = t.spec->cols.index + t.x;
    const int32_t* ri = t.spec->rows.index + t.y;
    // Four at once, with the same wrapping 32-bit arithmetic.
    int32_t j = 0, i = 0;
    const __m128i x0 = _mm_set1_epi32(t.x0), y0 = _mm_set1_epi32(t.y0);
    for (; j + 4 <= t.width; j += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(c + j),
                         _mm_slli_epi32(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ci + j)), x0), 2));
    for (; i + 4 <= t.height; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r + i),
                         _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ri + i)), y0));
    for (; j < t.width; ++j)
        c[j] = int32_t(4u * (uint32_t(ci[j]) - uint32_t(t.x0)));
    for (; i < t.height; ++i)
        r[i] = int32_t(uint32_t(ri[i]) - uint32_t(t.y0));
    *cols = c;
    *rows = r;
}

// Pixels picked by their column offsets from column j on: four by element inserts where
// the path has them, then pairs, then one.
void copyPixelsPicked(const uint8_t* row, uint8_t* d, int32_t j, int32_t width,
                      const int32_t* cols)
{
    if constexpr (kSse41) {
        for (; j + 4 <= width; j += 4) {
            __m128i v = _mm_cvtsi32_si128(int(load32(row + cols[j])));
            v = _mm_insert_epi32(v, int(load32(row + cols[j + 1])), 1);
            v = _mm_insert_epi32(v, int(load32(row + cols[j + 2])), 2);
            v = _mm_insert_epi32(v, int(load32(row + cols[j + 3])), 3);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j)), v);
        }
    }
    for (; j + 2 <= width; j += 2) {
        const uint32_t a = load32(row + cols[j]), b = load32(row + cols[j + 1]);
        store32(d + 4 * ptrdiff_t(j), a);
        store32(d + 4 * ptrdiff_t(j) + 4, b);
    }
    if (j < width)
        store32(d + 4 * ptrdiff_t(j), load32(row + cols[j]));
}

enum class eStore { Plain, Streaming };

// Path 4's gathers, 32 pixels a step; returns the column after the last step. Called from
// path 4's branch alone, so other paths never emit it.
[[maybe_unused]] int32_t copyGathered32(const uint8_t* row, uint8_t* d, int32_t j, int32_t width,
                       const int32_t* cols, eStore store)
{
    if constexpr (kWideIntegers) {
        for (; j + 32 <= width; j += 32) {
            for (int k = 0; k < 32; k += 8) {
                const __m256i offsets = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + j + k));
                const __m256i v = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), offsets, 1);
                __m256i* out = reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j + k));
                if (store == eStore::Streaming)
                    _mm256_stream_si256(out, v);
                else
                    _mm256_storeu_si256(out, v);
            }
        }
    }
    return j;
}

struct StreamPlan {
    bool gathers = false;
    bool streaming = false;
    uint32_t lineSize = 0;
};

StreamPlan planStores(const uint8_t* dst, int32_t width, int32_t height, const int32_t* cols,
                      const int32_t* rows)
{
    StreamPlan plan;
    plan.gathers = hasCpuFeatures(kCpuAvx2Set | kCpuMpx);
    if (!plan.gathers)
        return plan;
    int32_t cacheSize = 0, lineSize = 0;
    const Status status = getCacheSize(&cacheSize);
    getCacheLineSize(&lineSize);
    const int64_t volume =
        4 * (int64_t(width) * height + (int64_t(cols[width - 1]) - cols[0] + 1) *
                                           (int64_t(rows[height - 1]) - rows[0] + 1));
    // Streaming needs whole cache lines of at least one 32-byte store.
    const bool lineOk = lineSize >= 32 && (lineSize & (lineSize - 1)) == 0;
    plan.streaming = status == kOk && cacheSize >= 0 && volume >= int64_t(cacheSize) &&
                     reinterpret_cast<uintptr_t>(dst) % 4 == 0 && lineOk;
    plan.lineSize = uint32_t(lineSize);
    return plan;
}

// Whether column j holds cols[0] + first[j % 4] + step * (j / 4) for every j, four columns a
// test, in wrapping 32-bit arithmetic as the offsets are made.
bool columnsFollow(const int32_t* cols, int32_t width, const int32_t (&first)[4], int32_t step)
{
    const uint32_t origin = uint32_t(cols[0]);
    __m128i expected = _mm_add_epi32(_mm_set1_epi32(int32_t(origin)), _mm_loadu_si128(reinterpret_cast<const __m128i*>(first)));
    const __m128i next = _mm_set1_epi32(step);
    int32_t j = 0;
    for (; j + 4 <= width; j += 4) {
        const __m128i same = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cols + j)), expected);
        if (_mm_movemask_epi8(same) != 0xFFFF)
            return false;
        expected = _mm_add_epi32(expected, next);
    }
    for (; j < width; ++j)
        if (uint32_t(cols[j]) != origin + uint32_t(first[j % 4]) + uint32_t(step) * uint32_t(j / 4))
            return false;
    return true;
}

// Whether the tile's columns take consecutive source pixels, so a row is one plain copy.
bool columnsConsecutive(const int32_t* cols, int32_t width)
{
    return columnsFollow(cols, width, {0, 4, 8, 12}, 16);
}

// Whether every column steps ahead by at most `bytes` (never back).
bool columnsStepAtMost(const int32_t* cols, int32_t width, int64_t bytes)
{
    for (int32_t j = 1; j < width; ++j) {
        const int64_t step = int64_t(cols[j]) - cols[j - 1];
        if (step < 0 || step > bytes)
            return false;
    }
    return true;
}

// Whether every column steps by none or one source pixel (an enlargement or equal width):
// then any eight neighbouring columns lie in one window of eight source pixels.
bool columnsEnlarge(const int32_t* cols, int32_t width) { return columnsStepAtMost(cols, width, 4); }

// Whether every source pixel of the tile is taken twice, from the first column on: the
// columns of an enlargement to twice the width.
bool columnsDouble(const int32_t* cols, int32_t width)
{
    return columnsFollow(cols, width, {0, 0, 4, 4}, 8);
}

// Doubled columns: each four source pixels loaded once and written twice each, while the
// load ends inside the pixels the tile reads. Returns the column it stopped at.
int32_t copyPixelsDoubled(const uint8_t* row, uint8_t* d, int32_t width, const int32_t* cols)
{
    // Column j reads byte 2 j of the span the tile reads: no table loads in the loop.
    const int32_t span = cols[width - 1] + 4 - cols[0];
    const uint8_t* from = row + cols[0];
    int32_t j = 0;
    if constexpr (kWideIntegers) {
        const __m256i twice = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        for (; j + 8 <= width && 2 * j + 16 <= span; j += 8) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * ptrdiff_t(j)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)),
                                _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(four), twice));
        }
    } else {
        for (; j + 8 <= width && 2 * j + 16 <= span; j += 8) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * ptrdiff_t(j)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j)), _mm_unpacklo_epi32(four, four));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j) + 16), _mm_unpackhi_epi32(four, four));
        }
    }
    return j;
}

// Whether the tile's columns take every other source pixel: a reduction to half the width.
bool columnsSkipOne(const int32_t* cols, int32_t width)
{
    return columnsFollow(cols, width, {0, 8, 16, 24}, 32);
}

// Every other source pixel: two loads of consecutive pixels and a pick of the even ones per
// block, while the loads end inside the pixels the tile reads. Returns the column it stopped at.
int32_t copyPixelsSkipping(const uint8_t* row, uint8_t* d, int32_t width, const int32_t* cols)
{
    // Column j reads byte 8 j of the span the tile reads: no table loads in the loop.
    const int64_t span = int64_t(cols[width - 1]) + 4 - cols[0];
    const uint8_t* from = row + cols[0];
    int32_t j = 0;
    if constexpr (kWideIntegers) {
        for (; j + 8 <= width && 8 * int64_t(j) + 64 <= span; j += 8) {
            const __m256 a = _mm256_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j)));
            const __m256 b = _mm256_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j) + 32));
            const __m256i even = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0x88));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)), _mm256_permute4x64_epi64(even, 0xD8));
        }
    }
    for (; j + 4 <= width && 8 * int64_t(j) + 32 <= span; j += 4) {
        const __m128 a = _mm_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j)));
        const __m128 b = _mm_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j) + 16));
        _mm_storeu_ps(reinterpret_cast<float*>(d + 4 * ptrdiff_t(j)), _mm_shuffle_ps(a, b, 0x88));
    }
    return j;
}

// Enlarging columns: one load of the source window and a shuffle of its pixels per block,
// while the window ends inside the pixels the tile reads. Returns the column it stopped at.
int32_t copyPixelsWindowed(const uint8_t* row, uint8_t* d, int32_t width, const int32_t* cols)
{
    int32_t j = 0;
    if constexpr (kByteShuffles) {
        const int32_t limit = cols[width - 1] + 4;
        if constexpr (kWideIntegers) {
            for (; j + 8 <= width && cols[j] + 32 <= limit; j += 8) {
                const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + j));
                const __m256i index = _mm256_srli_epi32(_mm256_sub_epi32(c, _mm256_set1_epi32(cols[j])), 2);
                const __m256i window = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + cols[j]));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)),
                                    _mm256_permutevar8x32_epi32(window, index));
            }
        }
        const __m128i spread = _mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
        const __m128i bytes = _mm_set1_epi32(0x03020100);
        for (; j + 4 <= width && cols[j] + 16 <= limit; j += 4) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cols + j));
            const __m128i offsets = _mm_sub_epi32(c, _mm_set1_epi32(cols[j]));
            const __m128i control = _mm_add_epi8(_mm_shuffle_epi8(offsets, spread), bytes);
            const __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + cols[j]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j)), _mm_shuffle_epi8(window, control));
        }
    }
    return j;
}

// Whether every column steps by none, one or two source pixels (a reduction to half the
// width at most): then any eight neighbouring columns lie in one window of sixteen pixels.
bool columnsRise(const int32_t* cols, int32_t width) { return columnsStepAtMost(cols, width, 8); }

// Rising columns: two loads of the source window of sixteen pixels, a permutation of each
// and a pick by the index's high bit per block, while the window ends inside the pixels the
// tile reads. Returns the column it stopped at.
int32_t copyPixelsWindowedWide(const uint8_t* row, uint8_t* d, int32_t width, const int32_t* cols)
{
    int32_t j = 0;
    if constexpr (kWideIntegers) {
        const int32_t limit = cols[width - 1] + 4;
        const __m256i seven = _mm256_set1_epi32(7);
        for (; j + 8 <= width && cols[j] + 64 <= limit; j += 8) {
            const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + j));
            const __m256i index = _mm256_srli_epi32(_mm256_sub_epi32(c, _mm256_set1_epi32(cols[j])), 2);
            const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + cols[j]));
            const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + cols[j] + 32));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)),
                                _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, index),
                                                   _mm256_permutevar8x32_epi32(high, index),
                                                   _mm256_cmpgt_epi32(index, seven)));
        }
    }
    return j;
}

// The column patterns that have a faster row copy than one pixel at a time (rising ones
// on path 4 only).
enum class eColumns { Other, Enlarge, Double, SkipOne, Rise };

eColumns columnKind(const int32_t* cols, int32_t width)
{
    if (columnsDouble(cols, width))
        return eColumns::Double;
    if (columnsEnlarge(cols, width))
        return eColumns::Enlarge;
    if (columnsSkipOne(cols, width))
        return eColumns::SkipOne;
    if (kWideIntegers && columnsRise(cols, width))
        return eColumns::Rise;
    return eColumns::Other;
}

// One destination row of nearest pixels with ordinary stores.
void copyRowPixels(const uint8_t* row, uint8_t* d, int32_t width, const int32_t* cols, eColumns kind)
{
    int32_t from = 0;
    if (kind == eColumns::Double)
        from = copyPixelsDoubled(row, d, width, cols);
    else if (kind == eColumns::SkipOne)
        from = copyPixelsSkipping(row, d, width, cols);
    else if (kWideIntegers && kind == eColumns::Rise)
        from = copyPixelsWindowedWide(row, d, width, cols);
    else if (kByteShuffles && kind == eColumns::Enlarge)
        from = copyPixelsWindowed(row, d, width, cols);
    copyPixelsPicked(row, d, from, width, cols);
}

// A row of consecutive pixels with path 4's streaming stores from the first cache line
// boundary on (a plain copy elsewhere).
void streamRow(const uint8_t* from, uint8_t* d, int32_t width, uint32_t lineSize, bool* streamed)
{
    int32_t j = 0;
    if constexpr (kWideIntegers) {
        const uint32_t rest = uint32_t(reinterpret_cast<uintptr_t>(d)) & (lineSize - 1);
        if (rest != 0) {
            j = minOf(width, int32_t((lineSize - rest) / 4));
            __builtin_memmove(d, from, 4 * size_t(j));
        }
        if (reinterpret_cast<uintptr_t>(d + 4 * ptrdiff_t(j)) % 32 == 0) {
            for (; j + 8 <= width; j += 8)
                _mm256_stream_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)),
                                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 4 * ptrdiff_t(j))));
            *streamed = true;
        }
    }
    __builtin_memmove(d + 4 * ptrdiff_t(j), from + 4 * ptrdiff_t(j), 4 * size_t(width - j));
}

// Whether the tile's rows take consecutive source rows.
bool rowsConsecutive(const int32_t* rows, int32_t height)
{
    for (int32_t i = 1; i < height; ++i)
        if (rows[i] != rows[0] + i)
            return false;
    return true;
}

// A copy of one destination row into the next: short rows cost less through vector
// moves than through a library call; rows closer than their length overlap, and memmove
// gives the same bytes there.
void copyRowBytes(uint8_t* to, const uint8_t* from, size_t n)
{
    const uintptr_t t = reinterpret_cast<uintptr_t>(to), f = reinterpret_cast<uintptr_t>(from);
    if ((t > f ? t - f : f - t) < n || n > 4096) {
        __builtin_memmove(to, from, n);
        return;
    }
    size_t k = 0;
    if constexpr (kWide) {
        for (; k + 32 <= n; k += 32)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + k),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k)));
    }
    for (; k + 16 <= n; k += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
    for (; k < n; k += 4)
        store32(to + k, load32(from + k));
}

// A destination row whose source row is the previous one's is a copy of that row; a row
// of consecutive columns is a copy of the source. Either gives the bytes of the pixel copy.
void copyNearestRows(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                     int32_t width, int32_t height, const int32_t* rows, const int32_t* cols)
{
    const bool consecutive = columnsConsecutive(cols, width);
    eColumns kind = columnKind(cols, width);
    const size_t rowBytes = 4 * size_t(width);
    // Both pictures without row padding and rows and columns one to one: one copy of the
    // whole block, which the library copies with its widest stores.
    bool whole = consecutive && srcStep == ptrdiff_t(rowBytes) && dstStep == ptrdiff_t(rowBytes) &&
                 rowsConsecutive(rows, height);
    // Gathers and streaming stores are path 4's; elsewhere the plan is all false.
    const StreamPlan plan = kWideIntegers ? planStores(dst, width, height, cols, rows) : StreamPlan{};
    bool streamed = false;
    whole = whole && !plan.streaming;
    if (kind == eColumns::Rise && plan.gathers)
        kind = eColumns::Other;  // the processor's gathers take them
    if (whole) {
        __builtin_memmove(dst, src + cols[0] + srcStep * ptrdiff_t(rows[0]), rowBytes * size_t(height));
        return;
    }
    const uint8_t* row = src;
    int32_t previous = 0;
    for (int32_t i = 0; i < height; ++i) {
        const bool repeated = i > 0 && rows[i] == previous;
        row += srcStep * ptrdiff_t(rows[i] - previous);
        previous = rows[i];
        uint8_t* d = dst + dstStep * ptrdiff_t(i);
        if (kWideIntegers && plan.streaming && consecutive) {
            streamRow(row + cols[0], d, width, plan.lineSize, &streamed);
            continue;
        }
        // A streamed row is no longer in the cache: gathering it again costs less.
        if (repeated && !plan.streaming) {
            copyRowBytes(d, d - dstStep, rowBytes);
            continue;
        }
        if (consecutive) {
            __builtin_memmove(d, row + cols[0], rowBytes);
            continue;
        }
        if constexpr (kWideIntegers) {
            // Path 4 takes its gathers and streaming stores where the row copies have no shortcut.
            if (kind != eColumns::Other && !plan.streaming) {
                copyRowPixels(row, d, width, cols, kind);
                continue;
            }
            int32_t j = 0;
            if (plan.gathers) {
                eStore store = eStore::Plain;
                if (plan.streaming) {
                    const uint32_t rest = uint32_t(reinterpret_cast<uintptr_t>(d)) & (plan.lineSize - 1);
                    if (rest != 0) {
                        const int32_t prefix = minOf(width, int32_t((plan.lineSize - rest) / 4));
                        for (; j < prefix; ++j)
                            store32(d + 4 * ptrdiff_t(j), load32(row + cols[j]));
                    }
                    if (reinterpret_cast<uintptr_t>(d + 4 * ptrdiff_t(j)) % 32 == 0) {
                        store = eStore::Streaming;
                        streamed = true;
                    }
                }
                j = copyGathered32(row, d, j, width, cols, store);
            }
            copyPixelsPicked(row, d, j, width, cols);
        } else {
            copyRowPixels(row, d, width, cols, kind);
        }
    }
    if (kWideIntegers && streamed)
        _mm_sfence();  // the streamed stores are seen before whatever reads the picture next
}
