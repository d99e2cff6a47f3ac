// Part of the body of every code path (PathBody.inl): what the paths differ in, the integer
// names, the small helpers, the prefetch and the floor that the initialisations and resizes
// share.

// ---- what the paths differ in --------------------------------------------------------
// The algorithms ask for the instructions a step takes by these names. A step that a path
// lacks is discarded when it compiles (if constexpr), so every path compiles every
// algorithm and keeps no instruction above its own; the helpers made of a wider set alone
// are templates, made only on the paths that call them.
constexpr int kLevel = HA_RESAMPLE_LEVEL;
// SSSE3: byte shuffles and byte multiply-adds.
constexpr bool kByteShuffles = kLevel >= 1;
// SSE4.1: element inserts, zero extension, 32-bit products, rounding.
constexpr bool kSse41 = kLevel >= 2;
// AVX: 256-bit moves and double arithmetic.
constexpr bool kWide = kLevel >= 3;
// AVX2: 256-bit integer arithmetic, permutes across lanes, gathers.
constexpr bool kWideIntegers = kLevel >= 4;

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
    if constexpr (kSse41) {
        const __m128d v = _mm_set_sd(x);
        return _mm_cvtsd_f64(_mm_round_sd(v, v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
    } else {
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
    }
}
