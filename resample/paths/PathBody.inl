// The body of every code path. Path<N>.cpp includes it inside its own namespace with
// HA_RESAMPLE_LEVEL set to N: 0 SSE2, 1 SSSE3, 2 SSE4.1, 3 AVX, 4 AVX2.
//
// It calls no inline function of a shared header (no std:: templates, no helpers of
// ResizeSpec.h): such a function would be compiled once per path and the linker could
// keep the widest copy for all of them. Everything it needs is defined here, per path.

#define LEVEL HA_RESAMPLE_LEVEL

namespace {

using std::int32_t;
using std::int64_t;
using std::ptrdiff_t;
using std::size_t;
using std::uint16_t;
using std::uint32_t;
using std::uint64_t;
using std::uint8_t;
using std::uintptr_t;

int32_t minOf(int32_t a, int32_t b) { return a < b ? a : b; }
int64_t round32(int64_t n) { return (n + 31) & ~int64_t(31); }

template <class T> T* alignTo(void* p, uintptr_t to)
{
    const uintptr_t a = reinterpret_cast<uintptr_t>(p);
    return reinterpret_cast<T*>(static_cast<uint8_t*>(p) + (to - a % to) % to);
}

uint32_t load32(const uint8_t* p)
{
    uint32_t v;
    __builtin_memcpy(&v, p, 4);
    return v;
}

void store32(uint8_t* p, uint32_t v) { __builtin_memcpy(p, &v, 4); }

// Asks for the source bytes 2 KB on (the row's later taps, then the next row's first ones):
// with the output row's stores in between, the processor's own prefetching fell behind and
// the passes waited on memory. A prefetch never faults, past the picture included.
[[maybe_unused]] void prefetchAhead(const uint8_t* p)
{
    _mm_prefetch(reinterpret_cast<const char*>(p) + 2048, _MM_HINT_T0);
}

// Rows of fewer pixels stay in the cache between their rows' passes: no prefetching.
constexpr int32_t kPrefetchColumns = 512;

// ---- floor ----------------------------------------------------------------------------

double floorOf(double x)
{
#if LEVEL >= 2
    const __m128d v = _mm_set_sd(x);
    return _mm_cvtsd_f64(_mm_round_sd(v, v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
#else
    uint64_t bits;
    __builtin_memcpy(&bits, &x, 8);
    const uint64_t magnitudeBits = bits & 0x7FFFFFFFFFFFFFFFull;
    double magnitude;
    __builtin_memcpy(&magnitude, &magnitudeBits, 8);
    if (!(magnitude < 4503599627370496.0))  // 2^52 and more are whole; infinities, NaN
        return x;
    if (magnitude < 1.0)
        return x < 0.0 ? -1.0 : x == 0.0 ? x : 0.0;
    if (magnitude >= 2251799813685248.0)  // from 2^51 the only fraction is one half
        return (bits & 1) ? x - 0.5 : x;
    // Below 2^51 the sum has a unit last place, so it rounds x to a whole number.
    const double magic = 6755399441055744.0;
    const double rounded = (x + magic) - magic;
    return rounded > x ? rounded - 1.0 : rounded;
#endif
}

// ---- nearest neighbour ----------------------------------------------------------------

// index[i] = trunc((i + 0.5) * r - 1e-10); the vector forms do the same operations.
void nearestAxis(int32_t* index, int32_t src, int32_t dst)
{
    const double r = double(src) / double(dst);
    int32_t i = 0;
#if LEVEL >= 3
    const __m256d rv = _mm256_set1_pd(r), half = _mm256_set1_pd(0.5);
    const __m256d eps = _mm256_set1_pd(1e-10);
    const __m128i step = _mm_setr_epi32(0, 1, 2, 3);
#if LEVEL >= 4
    for (; i + 8 <= dst; i += 8) {
        const __m256i iv = _mm256_add_epi32(_mm256_set1_epi32(i),
                                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        const __m256d lo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(iv));
        const __m256d hi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(iv, 1));
        const __m128i a = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(lo, half), rv), eps));
        const __m128i b = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(hi, half), rv), eps));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(index + i), _mm256_set_m128i(b, a));
    }
#endif
    for (; i + 4 <= dst; i += 4) {
        const __m256d iv = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(i), step));
        const __m128i v = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(iv, half), rv), eps));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index + i), v);
    }
#elif LEVEL == 0 || LEVEL == 2
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
#endif
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

#if LEVEL >= 2
// Four pixels by element inserts, then pairs, then one; from column j on.
void copyPixelsInserted(const uint8_t* row, uint8_t* d, int32_t j, int32_t width,
                        const int32_t* cols)
{
    for (; j + 4 <= width; j += 4) {
        __m128i v = _mm_cvtsi32_si128(int(load32(row + cols[j])));
        v = _mm_insert_epi32(v, int(load32(row + cols[j + 1])), 1);
        v = _mm_insert_epi32(v, int(load32(row + cols[j + 2])), 2);
        v = _mm_insert_epi32(v, int(load32(row + cols[j + 3])), 3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j)), v);
    }
    for (; j + 2 <= width; j += 2) {
        const uint32_t a = load32(row + cols[j]), b = load32(row + cols[j + 1]);
        store32(d + 4 * ptrdiff_t(j), a);
        store32(d + 4 * ptrdiff_t(j) + 4, b);
    }
    if (j < width)
        store32(d + 4 * ptrdiff_t(j), load32(row + cols[j]));
}
#endif

#if LEVEL >= 4
__m256i gather8(const uint8_t* row, const int32_t* cols)
{
    const __m256i offsets = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), offsets, 1);
}

enum class eStore { Plain, Streaming };

// Returns the column after the last 32-pixel step.
int32_t copyGathered32(const uint8_t* row, uint8_t* d, int32_t j, int32_t width,
                       const int32_t* cols, eStore store)
{
    for (; j + 32 <= width; j += 32) {
        for (int k = 0; k < 32; k += 8) {
            const __m256i v = gather8(row, cols + j + k);
            __m256i* out = reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j + k));
            if (store == eStore::Streaming)
                _mm256_stream_si256(out, v);
            else
                _mm256_storeu_si256(out, v);
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
#endif

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
#if LEVEL >= 4
    const __m256i twice = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    for (; j + 8 <= width && 2 * j + 16 <= span; j += 8) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * ptrdiff_t(j)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)),
                            _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(four), twice));
    }
#else
    for (; j + 8 <= width && 2 * j + 16 <= span; j += 8) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * ptrdiff_t(j)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j)), _mm_unpacklo_epi32(four, four));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j) + 16), _mm_unpackhi_epi32(four, four));
    }
#endif
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
#if LEVEL >= 4
    for (; j + 8 <= width && 8 * int64_t(j) + 64 <= span; j += 8) {
        const __m256 a = _mm256_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j)));
        const __m256 b = _mm256_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j) + 32));
        const __m256i even = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0x88));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)), _mm256_permute4x64_epi64(even, 0xD8));
    }
#endif
    for (; j + 4 <= width && 8 * int64_t(j) + 32 <= span; j += 4) {
        const __m128 a = _mm_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j)));
        const __m128 b = _mm_loadu_ps(reinterpret_cast<const float*>(from + 8 * ptrdiff_t(j) + 16));
        _mm_storeu_ps(reinterpret_cast<float*>(d + 4 * ptrdiff_t(j)), _mm_shuffle_ps(a, b, 0x88));
    }
    return j;
}

#if LEVEL >= 1
// Enlarging columns: one load of the source window and a shuffle of its pixels per block,
// while the window ends inside the pixels the tile reads. Returns the column it stopped at.
int32_t copyPixelsWindowed(const uint8_t* row, uint8_t* d, int32_t width, const int32_t* cols)
{
    const int32_t limit = cols[width - 1] + 4;
    int32_t j = 0;
#if LEVEL >= 4
    for (; j + 8 <= width && cols[j] + 32 <= limit; j += 8) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + j));
        const __m256i index = _mm256_srli_epi32(_mm256_sub_epi32(c, _mm256_set1_epi32(cols[j])), 2);
        const __m256i window = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + cols[j]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * ptrdiff_t(j)),
                            _mm256_permutevar8x32_epi32(window, index));
    }
#endif
    const __m128i spread = _mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    const __m128i bytes = _mm_set1_epi32(0x03020100);
    for (; j + 4 <= width && cols[j] + 16 <= limit; j += 4) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cols + j));
        const __m128i offsets = _mm_sub_epi32(c, _mm_set1_epi32(cols[j]));
        const __m128i control = _mm_add_epi8(_mm_shuffle_epi8(offsets, spread), bytes);
        const __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + cols[j]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * ptrdiff_t(j)), _mm_shuffle_epi8(window, control));
    }
    return j;
}
#endif

#if LEVEL >= 4
// Whether every column steps by none, one or two source pixels (a reduction to half the
// width at most): then any eight neighbouring columns lie in one window of sixteen pixels.
bool columnsRise(const int32_t* cols, int32_t width) { return columnsStepAtMost(cols, width, 8); }

// Rising columns: two loads of the source window of sixteen pixels, a permutation of each
// and a pick by the index's high bit per block, while the window ends inside the pixels the
// tile reads. Returns the column it stopped at.
int32_t copyPixelsWindowedWide(const uint8_t* row, uint8_t* d, int32_t width, const int32_t* cols)
{
    int32_t j = 0;
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
    return j;
}
#endif

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
#if LEVEL >= 4
    if (columnsRise(cols, width))
        return eColumns::Rise;
#endif
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
#if LEVEL >= 4
    else if (kind == eColumns::Rise)
        from = copyPixelsWindowedWide(row, d, width, cols);
#endif
#if LEVEL >= 1
    else if (kind == eColumns::Enlarge)
        from = copyPixelsWindowed(row, d, width, cols);
#endif
#if LEVEL >= 2
    copyPixelsInserted(row, d, from, width, cols);
#else
    int32_t j = from;
    for (; j + 2 <= width; j += 2) {
        const uint32_t a = load32(row + cols[j]), b = load32(row + cols[j + 1]);
        store32(d + 4 * ptrdiff_t(j), a);
        store32(d + 4 * ptrdiff_t(j) + 4, b);
    }
    if (j < width)
        store32(d + 4 * ptrdiff_t(j), load32(row + cols[j]));
#endif
}

#if LEVEL >= 4
// A row of consecutive pixels with streaming stores from the first cache line boundary on.
void streamRow(const uint8_t* from, uint8_t* d, int32_t width, uint32_t lineSize, bool* streamed)
{
    int32_t j = 0;
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
    __builtin_memmove(d + 4 * ptrdiff_t(j), from + 4 * ptrdiff_t(j), 4 * size_t(width - j));
}
#endif

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
#if LEVEL >= 3
    for (; k + 32 <= n; k += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + k),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k)));
#endif
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
#if LEVEL >= 4
    const StreamPlan plan = planStores(dst, width, height, cols, rows);
    bool streamed = false;
    whole = whole && !plan.streaming;
    if (kind == eColumns::Rise && plan.gathers)
        kind = eColumns::Other;  // the processor's gathers take them
#endif
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
#if LEVEL >= 4
        if (plan.streaming && consecutive) {
            streamRow(row + cols[0], d, width, plan.lineSize, &streamed);
            continue;
        }
        // A streamed row is no longer in the cache: gathering it again costs less.
        if (repeated && !plan.streaming) {
#else
        if (repeated) {
#endif
            copyRowBytes(d, d - dstStep, rowBytes);
            continue;
        }
        if (consecutive) {
            __builtin_memmove(d, row + cols[0], rowBytes);
            continue;
        }
#if LEVEL >= 4
        int32_t j = 0;
        if (kind != eColumns::Other && !plan.streaming) {
            copyRowPixels(row, d, width, cols, kind);
            continue;
        }
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
        copyPixelsInserted(row, d, j, width, cols);
#else
        copyRowPixels(row, d, width, cols, kind);
#endif
    }
#if LEVEL >= 4
    if (streamed)
        _mm_sfence();  // the streamed stores are seen before whatever reads the picture next
#endif
}

// ---- bilinear --------------------------------------------------------------------------

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
#if LEVEL >= 1
    const __m128i pairs = _mm_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m128i half = _mm_set1_epi32(128);
#if LEVEL >= 4
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
#endif
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
#endif
    for (; j < n; ++j) {
        const uint8_t* a = p + cols[j];
        const uint32_t w0 = cw[2 * ptrdiff_t(j)], w1 = cw[2 * ptrdiff_t(j) + 1];
        for (int c = 0; c < 4; ++c)
            out[4 * ptrdiff_t(j) + c] = uint16_t((w0 * a[c] + w1 * a[4 + c] + 128) >> 8);
    }
}

#if LEVEL >= 1
// The horizontal pass with byte multiplies, for columns whose weight pair sums to 16384.
// With w = 256 h + l and the taps moved to signed bytes (a - 128), a w0 + b w1 + 128 is
// 256 H + L + 2^21 + 128, where H = (a-128) h0 + (b-128) h1 lies within +-8192 and
// L = (a-128) l0 + (b-128) l1 within [-32768, 32512] (l0 + l1 is 0 or 256), so neither
// sum saturates and the pass is H + 8192 + ((L + 128) >> 8) in 16-bit lanes.
void linearRowWhole(const uint8_t* p, const int32_t* cols, const uint16_t* cw, int32_t n,
                    uint16_t* out)
{
    int32_t j = 0;
    const bool ahead = n >= kPrefetchColumns;
    const __m128i interleave = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    const __m128i highs = _mm_setr_epi8(1, 3, 1, 3, 1, 3, 1, 3, 5, 7, 5, 7, 5, 7, 5, 7);
    const __m128i lows = _mm_setr_epi8(0, 2, 0, 2, 0, 2, 0, 2, 4, 6, 4, 6, 4, 6, 4, 6);
    const __m128i sign = _mm_set1_epi8(-128), round = _mm_set1_epi16(128), base = _mm_set1_epi16(8192);
#if LEVEL >= 4
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
#endif
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
    for (; j < n; ++j) {
        const uint8_t* a = p + cols[j];
        const uint32_t w0 = cw[2 * ptrdiff_t(j)], w1 = cw[2 * ptrdiff_t(j) + 1];
        for (int c = 0; c < 4; ++c)
            out[4 * ptrdiff_t(j) + c] = uint16_t((w0 * a[c] + w1 * a[4 + c] + 128) >> 8);
    }
}
#endif

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
#if LEVEL >= 4
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
#endif
    for (; k + 16 <= count; k += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(eight(k), eight(k + 8)));
    for (; k + 8 <= count; k += 8)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(eight(k), _mm_setzero_si128()));
    return k;
}

#if LEVEL >= 1
// linearBlendSmall of two row weights over the same two buffers into two rows: each
// difference is loaded and doubled once. Returns how many values it did. Its own loops: one
// function serving both, with the second row optional, slowed the rows that blend alone.
int32_t linearBlendSmallPair(const uint16_t* upper, const uint16_t* lower, uint32_t wr0, uint32_t wr1,
                             int32_t count, uint8_t* out0, uint8_t* out1)
{
    int32_t k = 0;
#if LEVEL >= 4
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
#endif
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
#endif

// Vertical blend of `count` values of two row buffers into bytes; `small`: the buffers'
// values are at most 16320.
void linearBlend(const uint16_t* upper, const uint16_t* lower, uint32_t wr, int32_t count,
                 uint8_t* out, bool small)
{
    int32_t k = 0;
    const __m128i weights = _mm_set1_epi32(int(((wr & 0xFFFF) << 16) | ((16384 - wr) & 0xFFFF)));
#if LEVEL == 0
    const uintptr_t o0 = reinterpret_cast<uintptr_t>(out), o1 = o0 + uintptr_t(count);
    auto apart = [&](const uint16_t* b) {
        const uintptr_t b0 = reinterpret_cast<uintptr_t>(b), b1 = b0 + 2 * uintptr_t(count);
        return o1 <= b0 || b1 <= o0;
    };
    if (apart(upper) && apart(lower) && count > 6) {
#else
    {
#endif
        if (small && wr < 16384)
            k = linearBlendSmall(upper, lower, wr, count, out);
#if LEVEL >= 4
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
#endif
#if LEVEL >= 1
        for (; k + 8 <= count; k += 8) {
            const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + k));
            const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + k));
            const __m128i lo = blend4(_mm_unpacklo_epi16(u, l), weights);
            const __m128i hi = blend4(_mm_unpackhi_epi16(u, l), weights);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k),
                             _mm_packus_epi16(_mm_packs_epi32(lo, hi), _mm_setzero_si128()));
        }
#endif
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
#if LEVEL >= 1
    if (b.wholeSums)
        linearRowWhole(r.src + r.srcStep * ptrdiff_t(k), r.cols, r.colWeights, r.n, b.buffer[s]);
    else
#endif
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
#if LEVEL >= 4
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
#endif
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
#if LEVEL >= 1
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
#endif
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

#if LEVEL >= 4
struct RowStreaming {
    bool on = false;
    uint32_t lineSize = 0;
};

// Streaming stores for row copies of `bytes` in all, when they reach the cache's size.
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
#endif

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
#if LEVEL >= 4
    // Row copies of a rectangle larger than the cache go past it, as the nearest rows do.
    const RowStreaming stream = consecutive ? rowStreaming(4 * int64_t(r.n) * r.m) : RowStreaming{};
    bool streamed = false;
#endif
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
#if LEVEL >= 4
                    if (stream.on) {
                        streamRow(row + r.cols[0], out, r.n, stream.lineSize, &streamed);
                        continue;
                    }
#endif
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
#if LEVEL >= 1
        // The next row blending the same two source rows shares the loads and differences
        // (path 0 takes vector blocks only where buffers and output lie apart, a row at a time).
        if (b.wholeSums && i + 1 < r.m && r.rows[i + 1] == k && r.rowWeights[i + 1] != 0 &&
            r.rowWeights[i + 1] < 16384 && wr < 16384) {
            const int32_t count = 4 * r.n;
            uint8_t* next = out + r.dstStep;
            const uint32_t wrNext = r.rowWeights[i + 1];
            const int32_t done = linearBlendSmallPair(upper, lower, wr, wrNext, count, out, next);
            linearBlend(upper + done, lower + done, wr, count - done, out + done, true);
            linearBlend(upper + done, lower + done, wrNext, count - done, next + done, true);
            ++i;
            continue;
        }
#endif
        linearBlend(upper, lower, wr, 4 * r.n, out, b.wholeSums);
    }
#if LEVEL >= 4
    if (streamed)
        _mm_sfence();
#endif
}

#if LEVEL < 2
uint8_t edgeRound(uint32_t v) { return uint8_t((v + ((v >> 14) & 1u) + 8192u) >> 14); }
#endif

#if LEVEL >= 2
// edgeRound of four 32-bit values, each cut to its low byte as the scalar form does; the
// bytes of one pixel.
uint32_t edgeRound4(__m128i v)
{
    const __m128i odd = _mm_and_si128(_mm_srli_epi32(v, 14), _mm_set1_epi32(1));
    const __m128i r = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(v, odd), _mm_set1_epi32(8192)), 14);
    const __m128i lowBytes = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    return uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi8(r, lowBytes)));
}

__m128i widen4(const uint8_t* p) { return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(load32(p)))); }
#endif

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
#if LEVEL >= 4
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
#endif
#if LEVEL >= 2
    const __m128i interleave = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, -1, -1, -1, -1, -1, -1, -1, -1);
#endif
    for (; j < width; ++j) {
        const Taps at = tapsOf(j);
        const ptrdiff_t tap0 = at.left, tap1 = at.right;
        const uint32_t w0 = cw[2 * ptrdiff_t(j)], w1 = cw[2 * ptrdiff_t(j) + 1];
#if LEVEL >= 2
        // The same 32-bit products and sum, four channels at once: by one multiply-add of the
        // interleaved taps where both weights fit its signed 16-bit operands.
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
#else
        for (int c = 0; c < 4; ++c)
            d[4 * ptrdiff_t(j) + c] = edgeRound(w0 * p[tap0 + c] + w1 * p[tap1 + c]);
#endif
    }
}

// The pixel of an edge column: one source column's two rows, by the row weight.
uint32_t linearEdgePixel(const uint8_t* p0, const uint8_t* p1, uint32_t wr)
{
#if LEVEL >= 2
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
#else
    uint8_t px[4];
    for (int c = 0; c < 4; ++c)
        px[c] = edgeRound(uint32_t(16384 * int32_t(p0[c]) + (int32_t(p1[c]) - int32_t(p0[c])) * int32_t(wr)));
    uint32_t v;
    __builtin_memcpy(&v, px, 4);
    return v;
#endif
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

// Rows and columns one to one inside the picture, between pictures without row padding:
// the tile is one copy of the source block, edges included (a whole tap replicated is the
// tap itself), which the library copies with its widest stores.
bool copyWholeTile(const Tile& t, const int32_t* cols, const int32_t* rows)
{
    const ResizeSpec& s = *t.spec;
    const size_t rowBytes = 4 * size_t(t.width);
    int64_t first = 0;
    if (t.srcStep != ptrdiff_t(rowBytes) || t.dstStep != ptrdiff_t(rowBytes) ||
        !columnsTakeLeftTap(s.cols.weights + 2 * ptrdiff_t(t.x), t.width) || !columnsConsecutive(cols, t.width) ||
        !rowsTakeWhole(rows, s.rows.weights + t.y, t.height, &first))
        return false;
    const int64_t column = int64_t(cols[0] / 4) + t.x0;
    if (column < 0 || column + t.width > s.cols.srcSize || first + t.y0 < 0 || first + t.y0 + t.height > s.rows.srcSize)
        return false;
#if LEVEL >= 4
    if (rowStreaming(4 * int64_t(t.width) * t.height).on)
        return false;  // the rows stream past the cache
#endif
    __builtin_memmove(t.dst, t.src + t.srcStep * ptrdiff_t(first) + cols[0], rowBytes * size_t(t.height));
    return true;
}

void resizeLinearTile(const Tile& t)
{
    int32_t* cols;
    int32_t* rows;
    fillOffsets(t, &cols, &rows);
    const ResizeSpec& s = *t.spec;
    const int32_t hd = s.rows.dstSize, wd = s.cols.dstSize;
    if (copyWholeTile(t, cols, rows))
        return;
    EdgeCounts e{0, 0, 0, 0};
    if ((t.border & 0xF0) != 0xF0) {
        e.top = edgeCount(t.border & 0x10, t.y, s.rows.leading, t.height);
        e.bottom = edgeCount(t.border & 0x20, hd - t.height - t.y, s.rows.trailing, t.height);
        e.left = edgeCount(t.border & 0x40, t.x, s.cols.leading, t.width);
        e.right = edgeCount(t.border & 0x80, wd - t.width - t.x, s.cols.trailing, t.width);
        linearEdges(t, cols, rows, e);
    }
    LinearRect r;
    r.n = t.width - e.left - e.right;
    r.m = t.height - e.top - e.bottom;
    if (r.n <= 0 || r.m <= 0)
        return;
    r.src = t.src;
    r.srcStep = t.srcStep;
    r.dst = t.dst + t.dstStep * ptrdiff_t(e.top) + 4 * ptrdiff_t(e.left);
    r.dstStep = t.dstStep;
    r.rows = rows + e.top;
    r.cols = cols + e.left;
    r.colWeights = s.cols.weights + 2 * (ptrdiff_t(t.x) + e.left);
    r.rowWeights = s.rows.weights + ptrdiff_t(t.y) + e.top;
    uint16_t* a = alignTo<uint16_t>(rows + t.height, 32);
    uint16_t* b = a + round32(8 * int64_t(r.n)) / 2;
    linearInner(r, a, b);
}

} // namespace

double floor(double x) { return floorOf(x); }

Status getSize(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
               int32_t interpolation, int32_t antialiasing, int32_t* specSize, int32_t* initSize)
{
    return getSizeChecked(srcWidth, srcHeight, dstWidth, dstHeight, interpolation, antialiasing,
                          specSize, initSize);
}

Status getBufferSize(const void* specBuffer, int32_t width, int32_t height, int32_t channels,
                     int32_t* bufferSize)
{
    return getBufferSizeChecked(specBuffer, width, height, channels, bufferSize);
}

Status initNearest(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
                   void* specBuffer)
{
    Status status;
    ResizeSpec* spec =
        prepareSpec(kNearest, srcWidth, srcHeight, dstWidth, dstHeight, specBuffer, &status);
    if (!spec)
        return status;
    nearestAxis(const_cast<int32_t*>(spec->rows.index), srcHeight, dstHeight);
    nearestAxis(const_cast<int32_t*>(spec->cols.index), srcWidth, dstWidth);
    return kOk;
}

Status initLinear(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
                  void* specBuffer)
{
    Status status;
    ResizeSpec* spec =
        prepareSpec(kLinear, srcWidth, srcHeight, dstWidth, dstHeight, specBuffer, &status);
    if (!spec)
        return status;
    linearAxis(&spec->rows, 1);
    linearAxis(&spec->cols, 2);
    return kOk;
}

Status resizeNearest4x8(const void* src, int32_t srcStep, void* dst, int32_t dstStep, int32_t x,
                        int32_t y, int32_t width, int32_t height, const void* specBuffer,
                        void* work)
{
    Tile t;
    const Status status = prepareResize(kNearest, src, srcStep, dst, dstStep, x, y, width, height,
                                        0, specBuffer, work, &t);
    if (status != kOk && status != kSizeClipped)
        return status;
    int32_t* cols;
    int32_t* rows;
    fillOffsets(t, &cols, &rows);
    copyNearestRows(t.src, t.srcStep, t.dst, t.dstStep, t.width, t.height, rows, cols);
    return status;
}

Status resizeLinear4x8(const void* src, int32_t srcStep, void* dst, int32_t dstStep, int32_t x,
                       int32_t y, int32_t width, int32_t height, int32_t borderMode,
                       const void* borderValues, const void* specBuffer, void* work)
{
    (void)borderValues;  // never read: replication or the caller's own neighbours
    Tile t;
    const Status status = prepareResize(kLinear, src, srcStep, dst, dstStep, x, y, width, height,
                                        borderMode, specBuffer, work, &t);
    if (status != kOk && status != kSizeClipped)
        return status;
    resizeLinearTile(t);
    return status;
}

#undef LEVEL
