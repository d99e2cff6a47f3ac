#pragma once
// What the processor offers: the 64-bit feature word from the identification instruction
// and the register states the operating system has enabled, the choice of the code path,
// the effective feature word that a path may test, and the size of the largest cache.
// Every result is computed once per process and cached. The dispatch's one-time set-up and
// the picture combiners' choice of their row kernel ask for the processor's word
// (queryCpuFeatures), perhaps from different threads, which compute the same word; the
// cache size is asked for by resizes on any thread and settled once (a first call that
// meets another waits for it). The rest is the resampler's own.

#include <cstdint>

#include "resample/Resample.h"

namespace Resample {

// Bits of the feature word.
constexpr std::uint64_t kCpuMmx = 1ull << 0;
constexpr std::uint64_t kCpuSse = 1ull << 1;
constexpr std::uint64_t kCpuSse2 = 1ull << 2;
constexpr std::uint64_t kCpuSse3 = 1ull << 3;
constexpr std::uint64_t kCpuSsse3 = 1ull << 4;
constexpr std::uint64_t kCpuMovbe = 1ull << 5;
constexpr std::uint64_t kCpuSse41 = 1ull << 6;
constexpr std::uint64_t kCpuSse42 = 1ull << 7;
constexpr std::uint64_t kCpuAvx = 1ull << 8;
constexpr std::uint64_t kCpuAvxState = 1ull << 9;
constexpr std::uint64_t kCpuAes = 1ull << 10;
constexpr std::uint64_t kCpuPclmulqdq = 1ull << 11;
constexpr std::uint64_t kCpuRdrand = 1ull << 13;
constexpr std::uint64_t kCpuF16c = 1ull << 14;
constexpr std::uint64_t kCpuAvx2Set = 1ull << 15;  // FMA, AVX2, BMI1 and BMI2
constexpr std::uint64_t kCpuAdx = 1ull << 16;
constexpr std::uint64_t kCpuRdseed = 1ull << 17;
constexpr std::uint64_t kCpuPrefetchw = 1ull << 18;
constexpr std::uint64_t kCpuSha = 1ull << 19;
constexpr std::uint64_t kCpuAvx512f = 1ull << 20;
constexpr std::uint64_t kCpuAvx512cd = 1ull << 21;
constexpr std::uint64_t kCpuAvx512er = 1ull << 22;
constexpr std::uint64_t kCpuAvx512pf = 1ull << 23;
constexpr std::uint64_t kCpuAvx512bw = 1ull << 24;
constexpr std::uint64_t kCpuAvx512dq = 1ull << 25;
constexpr std::uint64_t kCpuAvx512vl = 1ull << 26;
constexpr std::uint64_t kCpuAvx512vbmi = 1ull << 27;
constexpr std::uint64_t kCpuMpx = 1ull << 28;
constexpr std::uint64_t kCpuAvx512_4fmaps = 1ull << 29;
constexpr std::uint64_t kCpuAvx512_4vnniw = 1ull << 30;
constexpr std::uint64_t kCpuSignatureB10 = 1ull << 31;  // family 0xB, model 1
constexpr std::uint64_t kCpuAvx512ifma = 1ull << 32;
constexpr std::uint64_t kCpuAvx512State = 1ull << 33;
// A requested word with this bit takes the current effective word as the processor's.
constexpr std::uint64_t kCpuTrustRequest = 1ull << 63;

// Status codes of the processor functions (besides 0 and kNullPointer).
constexpr Status kCpuOtherVendor = 20;
constexpr Status kCpuNoCpuid = 36;       // also: the cache cannot be queried
constexpr Status kCpuNoCache = 37;
constexpr Status kCpuMissing = 49;       // a requested feature or its register state is missing
constexpr Status kCpuUndefinedBits = 50;
constexpr Status kCpuImpliedMissing = 51;

// The processor as the functions below see it. The default reads the real one; tests
// install a table of registers.
class CpuReader {
public:
    virtual ~CpuReader() = default;
    virtual bool hasCpuid() const = 0;
    // Stores EAX, EBX, ECX, EDX of the identification instruction.
    virtual void cpuid(std::uint32_t regs[4], std::uint32_t leaf, std::uint32_t subleaf) const = 0;
    // Extended control register `index`; only called once OSXSAVE has been seen.
    virtual std::uint64_t xgetbv(std::uint32_t index) const = 0;
};

// 0 with the processor's feature word; kCpuNoCpuid; kNullPointer.
Status getCpuFeatures(std::uint64_t* features);
// 1 with the cached or newly computed word; 0, writing nothing, without cpuid.
int queryCpuFeatures(std::uint64_t* features);
// Chooses the code path index (0..4) for the requested word and sets the effective word.
Status selectCpuFeatures(std::uint64_t requested, std::int32_t* index);
void setEffectiveFeatures(std::uint64_t features);
// True when every bit of `mask` is in the effective word.
bool hasCpuFeatures(std::uint64_t mask);

// 0 with the size in bytes of the largest data or unified cache; kCpuNoCpuid, kCpuNoCache
// or kNullPointer.
Status getCacheSize(std::int32_t* size);
// Line size in bytes of that cache, 0 when none was found.
void getCacheLineSize(std::int32_t* lineSize);

bool isGenuineIntel();
bool hasCpuid();
void cpuid(std::uint32_t regs[4], std::uint32_t leaf, std::uint32_t subleaf);
std::uint32_t maxCpuidLeaf();
bool osSupportsAvx();
bool osSupportsAvx512();

struct CacheDescriptor {
    std::uint8_t descriptor;
    std::int32_t size;
};
// Leaf-2 descriptor bytes by falling size, ended by descriptor 0.
extern const CacheDescriptor cacheDescriptorTable[];
// Size of the largest listed cache that leaf 2 reports, or -1.
std::int32_t cacheSizeFromDescriptors(const CacheDescriptor* table);

namespace DETAIL {
// Test hooks. setCpuReader(nullptr) restores the real processor; both forget every
// cached word and record, and the effective word goes back to MMX and SSE.
void setCpuReader(const CpuReader* reader);
void resetCpuState();
// Replaces the cache record as if the query had run.
void setCacheRecord(std::int32_t size, Status status, std::int32_t lineSize);
// The instruction sets each path index needs, for the choice's step-down.
std::uint64_t pathRequirement(std::int32_t index);
} // namespace DETAIL

} // namespace Resample
