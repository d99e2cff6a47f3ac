#include "resample/CpuFeatures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "resample/paths/Paths.h"

using namespace Resample;

namespace {

struct Regs {
    std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

constexpr std::uint32_t b(int n) { return 1u << n; }

// A processor described by its registers; leaves it does not list read as zeros.
class FakeCpu : public CpuReader {
public:
    std::map<std::pair<std::uint32_t, std::uint32_t>, Regs> leaves;
    std::uint64_t xcr0 = 0;
    mutable int xgetbvCalls = 0;

    bool hasCpuid() const override { return true; }
    void cpuid(std::uint32_t r[4], std::uint32_t leaf, std::uint32_t subleaf) const override
    {
        const auto it = leaves.find({leaf, subleaf});
        const Regs v = it == leaves.end() ? Regs{} : it->second;
        r[0] = v.eax;
        r[1] = v.ebx;
        r[2] = v.ecx;
        r[3] = v.edx;
    }
    std::uint64_t xgetbv(std::uint32_t) const override
    {
        std::uint32_t r[4];
        cpuid(r, 1, 0);
        EXPECT_TRUE(r[2] & b(27)) << "XCR0 read without OSXSAVE";
        ++xgetbvCalls;
        return xcr0;
    }
};

enum class eVendor { Intel, Other };

// Vendor, highest leaf, leaf 1 ECX, leaf 7 EBX, XCR0.
FakeCpu makeCpu(eVendor vendor, std::uint32_t maxLeaf, std::uint32_t ecx1, std::uint32_t ebx7,
                std::uint64_t xcr0)
{
    FakeCpu cpu;
    if (vendor == eVendor::Intel)
        cpu.leaves[{0, 0}] = {maxLeaf, 0x756E6547, 0x6C65746E, 0x49656E69};
    else
        cpu.leaves[{0, 0}] = {maxLeaf, 0x68747541, 0x444D4163, 0x69746E65};
    cpu.leaves[{1, 0}] = {0x306C3, 0, ecx1, b(23) | b(25) | b(26)};
    cpu.leaves[{7, 0}] = {0, ebx7, 0, 0};
    cpu.xcr0 = xcr0;
    return cpu;
}

constexpr std::uint32_t kSse42Ecx = b(0) | b(9) | b(19) | b(20);
constexpr std::uint32_t kAvxEcx = kSse42Ecx | b(27) | b(28);
constexpr std::uint32_t kAvx2Ebx = b(3) | b(5) | b(8);
constexpr std::uint32_t kAvx512Ebx = kAvx2Ebx | b(16) | b(17) | b(28) | b(30) | b(31);

class CpuFixture : public ::testing::Test {
protected:
    void TearDown() override
    {
        DETAIL::setCpuReader(nullptr);
        std::uint64_t word = 0;
        std::int32_t index = 0;
        if (getCpuFeatures(&word) == kOk)
            selectCpuFeatures(word, &index);
    }
};

struct FeatureCase {
    const char* name;
    FakeCpu cpu;
    std::uint64_t word;
    std::int32_t index;
    Status status;
    std::uint64_t effective;
};

TEST_F(CpuFixture, RegistersGiveTheFeatureWordThePathAndTheEffectiveWord)
{
    FakeCpu sse2Only;
    sse2Only.leaves[{0, 0}] = {1, 0x756E6547, 0x6C65746E, 0x49656E69};
    sse2Only.leaves[{1, 0}] = {0, 0, 0, b(23) | b(25) | b(26)};

    FakeCpu signature = makeCpu(eVendor::Intel, 1, 0, 0, 0);
    signature.leaves[{1, 0}].eax = 0xB17;
    signature.leaves[{0x80000000u, 0}] = {0x80000001u, 0, 0, 0};
    signature.leaves[{0x80000001u, 0}] = {0, 0, b(8), 0};

    FakeCpu noOsxsave = makeCpu(eVendor::Intel, 7, kSse42Ecx | b(28), kAvx2Ebx, 0x7);
    FakeCpu noLeaf7 = makeCpu(eVendor::Intel, 6, kAvxEcx | b(12), kAvx2Ebx, 0x7);
    FakeCpu movbeOnly = makeCpu(eVendor::Intel, 1, b(0) | b(9) | b(22), 0, 0);
    // Reports the AVX2 set with its register state but lacks SSE4.2 (a broken description).
    FakeCpu holes = makeCpu(eVendor::Intel, 7, b(0) | b(9) | b(19) | b(27) | b(28) | b(12),
                            kAvx2Ebx, 0x7);

    const FeatureCase cases[] = {
        {"SSE2 only", sse2Only, 0x7, 0, kOk, 0x7},
        {"SSE4.2 only", makeCpu(eVendor::Intel, 7, kSse42Ecx, 0, 0), 0xDF, 2, kOk, 0xDF},
        {"AVX with state", makeCpu(eVendor::Intel, 7, kAvxEcx, 0, 0x7), 0x3DF, 3, kOk, 0x3DF},
        {"AVX2 set with state", makeCpu(eVendor::Intel, 7, kAvxEcx | b(12), kAvx2Ebx, 0x7),
         0x83DF, 4, kOk, 0x83DF},
        {"AVX2 without BMI2", makeCpu(eVendor::Intel, 7, kAvxEcx | b(12), b(3) | b(5), 0x7),
         0x3DF, 3, kOk, 0x3DF},
        {"AVX2 without FMA", makeCpu(eVendor::Intel, 7, kAvxEcx, kAvx2Ebx, 0x7), 0x3DF, 3, kOk,
         0x3DF},
        {"AVX without OS state", makeCpu(eVendor::Intel, 7, kAvxEcx | b(12), kAvx2Ebx, 0x1),
         0x81DF, 2, kCpuMissing, 0xDF},
        {"AVX without OSXSAVE", noOsxsave, 0x1DF, 2, kCpuMissing, 0xDF},
        {"AVX-512 with state", makeCpu(eVendor::Intel, 7, kAvxEcx | b(12), kAvx512Ebx, 0xE7),
         0x2073083DFull, 4, kOk, 0x2073083DFull},
        {"AVX-512 without its state",
         makeCpu(eVendor::Intel, 7, kAvxEcx | b(12), kAvx512Ebx, 0x7), 0x73083DF, 4, kCpuMissing,
         0x83DF},
        {"leaf 7 beyond the highest leaf", noLeaf7, 0x3DF, 3, kOk, 0x3DF},
        {"MOVBE and SSSE3", movbeOnly, 0x3F, 1, kOk, 0x3F},
        {"signature and PREFETCHW", signature, 0x80040007ull, 0, kOk, 0x80040007ull},
        {"another vendor", makeCpu(eVendor::Other, 7, kAvxEcx | b(12), kAvx2Ebx, 0x7), 0x83DF, 4,
         kOk, 0x83DF},
        {"AVX2 set but no SSE4.2 steps down", holes, 0x835F, 1, kOk, 0x835F},
    };
    for (const FeatureCase& c : cases) {
        SCOPED_TRACE(c.name);
        DETAIL::setCpuReader(&c.cpu);
        std::uint64_t word = 0;
        ASSERT_EQ(getCpuFeatures(&word), kOk);
        EXPECT_EQ(word, c.word) << std::hex << word;
        std::int32_t index = -1;
        EXPECT_EQ(selectCpuFeatures(word, &index), c.status);
        EXPECT_EQ(index, c.index);
        for (int bit = 0; bit < 64; ++bit)
            EXPECT_EQ(hasCpuFeatures(1ull << bit), ((c.effective >> bit) & 1) != 0) << bit;
        // Whatever the description, the chosen path only uses what the processor has.
        EXPECT_EQ(word & DETAIL::pathRequirement(index), DETAIL::pathRequirement(index));
    }
    DETAIL::setCpuReader(nullptr);
}

TEST_F(CpuFixture, RequestedWordsAreCheckedAgainstTheProcessor)
{
    const FakeCpu sse42 = makeCpu(eVendor::Intel, 7, kSse42Ecx, 0, 0);
    DETAIL::setCpuReader(&sse42);
    struct Case {
        std::uint64_t requested;
        std::int32_t index;
        Status status;
    };
    const Case cases[] = {
        {0xDF, 2, kOk},
        {0x7, 0, kOk},
        {0x10, 1, kCpuImpliedMissing},          // SSSE3 alone implies SSE3 and below
        {0x83DF, 2, kCpuMissing},               // more than the processor has: never path 4
        {0x1DF | (1ull << 40), 2, kCpuMissing},  // undefined bits, and missing ones
        {0, 0, kCpuNoCpuid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requested);
        std::int32_t index = -1;
        EXPECT_EQ(selectCpuFeatures(c.requested, &index), c.status);
        EXPECT_EQ(index, c.index);
    }
    // Bit 63 takes the effective word as the processor's and skips the checks.
    setEffectiveFeatures(0xDF);
    std::int32_t index = -1;
    EXPECT_EQ(selectCpuFeatures((1ull << 63) | 0xDF, &index), kOk);
    EXPECT_EQ(index, 2);
}

TEST_F(CpuFixture, DispatchSetUpReportsAnotherVendor)
{
    const FakeCpu other = makeCpu(eVendor::Other, 7, kSse42Ecx, 0, 0);
    DETAIL::setCpuReader(&other);
    EXPECT_EQ(initDispatch(), kCpuOtherVendor);
    EXPECT_EQ(DETAIL::dispatchIndex(), 2);
    const FakeCpu intel = makeCpu(eVendor::Intel, 7, kAvxEcx, 0, 0x1);
    DETAIL::setCpuReader(&intel);
    EXPECT_EQ(initDispatch(), kCpuMissing);
    DETAIL::setCpuReader(nullptr);
    initDispatch();  // back to the real processor's path
}

struct CacheCase {
    const char* name;
    FakeCpu cpu;
    Status status;
    std::int32_t size;
    std::int32_t line;
};

Regs leaf4(std::uint32_t type, std::uint32_t ways, std::uint32_t sets, std::uint32_t line)
{
    return {type, ((ways - 1) << 22) | (line - 1), sets - 1, 0};
}

TEST_F(CpuFixture, CacheSizeFromLeafFourOrTheDescriptorTable)
{
    FakeCpu leaf4Cpu = makeCpu(eVendor::Intel, 7, 0, 0, 0);
    leaf4Cpu.leaves[{4, 0}] = leaf4(1, 8, 64, 64);          // 32 KB data
    leaf4Cpu.leaves[{4, 1}] = leaf4(2, 16, 16384, 64);      // 16 MB instruction: skipped
    leaf4Cpu.leaves[{4, 2}] = leaf4(3, 16, 8192, 64);       // 8 MB unified
    leaf4Cpu.leaves[{4, 3}] = leaf4(3, 16, 8192, 128);      // 16 MB, 128-byte lines
    leaf4Cpu.leaves[{4, 4}] = leaf4(3, 16, 16384, 64);      // 16 MB again: the first stays
    FakeCpu noData = makeCpu(eVendor::Intel, 7, 0, 0, 0);
    noData.leaves[{4, 0}] = leaf4(2, 8, 64, 64);
    FakeCpu desc = makeCpu(eVendor::Intel, 2, 0, 0, 0);
    desc.leaves[{2, 0}] = {0x2C000001, 0x00000049, 0, 0};
    FakeCpu hidden = makeCpu(eVendor::Intel, 3, 0, 0, 0);
    hidden.leaves[{2, 0}] = {0x00000001, 0x8000004D, 0x0000002C, 0x00230000};  // 0x4D ignored
    FakeCpu wrongCount = makeCpu(eVendor::Intel, 2, 0, 0, 0);
    wrongCount.leaves[{2, 0}] = {0x00000002, 0x00000049, 0, 0};
    FakeCpu oldLeaf = makeCpu(eVendor::Intel, 1, 0, 0, 0);

    const CacheCase cases[] = {
        {"leaf 4", leaf4Cpu, kOk, 16 << 20, 128},
        {"leaf 4 without data caches", noData, kCpuNoCache, 0, 0},
        {"descriptors", desc, kOk, 4 << 20, 0},
        {"descriptor register with bit 31", hidden, kOk, 1 << 20, 0},
        {"descriptor count not 1", wrongCount, kCpuNoCache, 0, 0},
        {"highest leaf below 2", oldLeaf, kCpuNoCpuid, -1, 0},
        {"another vendor", makeCpu(eVendor::Other, 7, 0, 0, 0), kCpuNoCpuid, -1, 0},
    };
    for (const CacheCase& c : cases) {
        SCOPED_TRACE(c.name);
        DETAIL::setCpuReader(&c.cpu);
        for (int call = 0; call < 2; ++call) {  // the second answer comes from the record
            std::int32_t size = 12345, line = 12345;
            EXPECT_EQ(getCacheSize(&size), c.status);
            EXPECT_EQ(size, c.size);
            getCacheLineSize(&line);
            EXPECT_EQ(line, c.line);
        }
        EXPECT_EQ(getCacheSize(nullptr), kNullPointer);
    }
    FakeCpu l1Only = makeCpu(eVendor::Intel, 7, 0, 0, 0);
    l1Only.leaves[{4, 0}] = leaf4(1, 8, 64, 64);
    l1Only.leaves[{4, 1}] = leaf4(3, 16, 8192, 64);
    DETAIL::setCpuReader(&l1Only);
    std::int32_t line = 0;
    getCacheLineSize(&line);  // runs the query on its own
    EXPECT_EQ(line, 64);
    std::int32_t size = 0;
    EXPECT_EQ(getCacheSize(&size), kOk);
    EXPECT_EQ(size, 8388608);
}

using CpuFixtureThreaded = CpuFixture;

// Resizes on two threads may be the first to ask: both get the one record.
TEST_F(CpuFixtureThreaded, TwoFirstCacheQueriesAtOnce)
{
    FakeCpu cpu = makeCpu(eVendor::Intel, 7, 0, 0, 0);
    cpu.leaves[{4, 0}] = leaf4(1, 8, 64, 64);
    cpu.leaves[{4, 1}] = leaf4(3, 16, 8192, 128);  // 16 MB, 128-byte lines
    struct Answer {
        Status status = -1;
        std::int32_t size = -1;
        std::int32_t line = -1;
    };
    for (int round = 0; round < 20; ++round) {
        DETAIL::setCpuReader(&cpu);
        std::atomic<int> ready{0};
        Answer answers[2];
        std::vector<std::thread> threads;
        for (Answer& answer : answers) {
            threads.emplace_back([&ready, &answer] {
                ready.fetch_add(1);
                while (ready.load() < 2) {
                }
                answer.status = getCacheSize(&answer.size);
                getCacheLineSize(&answer.line);
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        for (const Answer& answer : answers) {
            EXPECT_EQ(answer.status, kOk) << round;
            EXPECT_EQ(answer.size, 16 << 20) << round;
            EXPECT_EQ(answer.line, 128) << round;
        }
    }
}

TEST_F(CpuFixture, DescriptorTableIsOrderedByFallingSize)
{
    int rows = 0;
    for (const CacheDescriptor* r = cacheDescriptorTable; r->descriptor != 0; ++r, ++rows) {
        if (rows > 0) {
            EXPECT_LE(r->size, r[-1].size);
        }
    }
    EXPECT_EQ(rows, 55);
}

TEST_F(CpuFixture, NullOutPointer)
{
    EXPECT_EQ(getCpuFeatures(nullptr), kNullPointer);
}

#if defined(__x86_64__)
TEST_F(CpuFixture, RealProcessorAgreesWithTheCompilersOwnTest)
{
    std::uint64_t w = 0;
    ASSERT_EQ(getCpuFeatures(&w), kOk);
    __builtin_cpu_init();
    const bool avxState = (w & kCpuAvxState) != 0;
    const bool zmmState = (w & kCpuAvx512State) != 0;
    struct Case {
        const char* name;
        bool compiler;
        bool ours;
    };
    const Case cases[] = {
        {"mmx", bool(__builtin_cpu_supports("mmx")), bool(w & kCpuMmx)},
        {"sse", bool(__builtin_cpu_supports("sse")), bool(w & kCpuSse)},
        {"sse2", bool(__builtin_cpu_supports("sse2")), bool(w & kCpuSse2)},
        {"sse3", bool(__builtin_cpu_supports("sse3")), bool(w & kCpuSse3)},
        {"ssse3", bool(__builtin_cpu_supports("ssse3")), bool(w & kCpuSsse3)},
        {"sse4.1", bool(__builtin_cpu_supports("sse4.1")), bool(w & kCpuSse41)},
        {"sse4.2", bool(__builtin_cpu_supports("sse4.2")), bool(w & kCpuSse42)},
        {"aes", bool(__builtin_cpu_supports("aes")), bool(w & kCpuAes)},
        {"pclmul", bool(__builtin_cpu_supports("pclmul")), bool(w & kCpuPclmulqdq)},
        {"avx", bool(__builtin_cpu_supports("avx")), (w & kCpuAvx) && avxState},
        {"avx2 set", __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                         __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2"),
         (w & kCpuAvx2Set) && avxState},
        {"avx512f", bool(__builtin_cpu_supports("avx512f")), (w & kCpuAvx512f) && zmmState},
        {"avx512bw", bool(__builtin_cpu_supports("avx512bw")), (w & kCpuAvx512bw) && zmmState},
        {"avx512vl", bool(__builtin_cpu_supports("avx512vl")), (w & kCpuAvx512vl) && zmmState},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.compiler, c.ours) << c.name;
    std::int32_t index = -1;
    selectCpuFeatures(w, &index);
    EXPECT_EQ(w & DETAIL::pathRequirement(index), DETAIL::pathRequirement(index));
}
#endif

} // namespace
