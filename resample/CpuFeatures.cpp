#include "resample/CpuFeatures.h"

#include <atomic>
#include <mutex>
#include <optional>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace Resample {

namespace {

class HostCpuReader : public CpuReader {
public:
    bool hasCpuid() const override
    {
#if defined(__x86_64__)
        return true;  // every 64-bit processor has it (the ID flag always toggles)
#elif defined(__i386__)
        std::uint32_t before, after;
        asm volatile("pushfl\n\tpushfl\n\tpopl %0\n\tmovl %0, %1\n\txorl $0x200000, %1\n\t"
                     "pushl %1\n\tpopfl\n\tpushfl\n\tpopl %1\n\tpopfl"
                     : "=&r"(before), "=&r"(after));
        return ((before ^ after) & 0x200000) != 0;
#else
        return false;
#endif
    }

    void cpuid(std::uint32_t regs[4], std::uint32_t leaf, std::uint32_t subleaf) const override
    {
#if defined(__x86_64__) || defined(__i386__)
        __cpuid_count(leaf, subleaf, regs[0], regs[1], regs[2], regs[3]);
#else
        regs[0] = regs[1] = regs[2] = regs[3] = 0;
        (void)leaf;
        (void)subleaf;
#endif
    }

    std::uint64_t xgetbv(std::uint32_t index) const override
    {
#if defined(__x86_64__) || defined(__i386__)
        std::uint32_t lo, hi;
        // Spelled out so that this file needs no XSAVE compiler flag.
        asm volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(lo), "=d"(hi) : "c"(index));
        return (std::uint64_t(hi) << 32) | lo;
#else
        (void)index;
        return 0;
#endif
    }
};

const HostCpuReader hostReader;
const CpuReader* reader = &hostReader;

constexpr std::uint64_t kInitialEffective = kCpuMmx | kCpuSse;

// The combiners ask for the processor's word too, perhaps from another thread: whoever
// computes it first stores the same word.
std::atomic<std::uint64_t> processorWord{0};
std::atomic<bool> processorWordComputed{false};
std::uint64_t effectiveWord = kInitialEffective;

constexpr Status kCacheNotComputed = 1;

struct CacheRecord {
    std::int32_t size = -1;
    Status status = kCacheNotComputed;
    std::int32_t lineSize = -1;
};
// The paths ask for the cache from whichever thread resizes first: the record is settled
// once, and a second first call waits for it. The test hooks make the flag anew.
CacheRecord cache;
std::optional<std::once_flag> cacheOnce{std::in_place};

bool bit(std::uint32_t value, int n) { return (value >> n) & 1u; }

std::uint64_t readXcr0() { return reader->xgetbv(0); }

struct SelectionRow {
    std::uint64_t needs;    // the requested word must hold all of these
    std::int32_t index;
    std::uint64_t implied;  // D: what the row's path assumes
    Status tentative;
};

const SelectionRow selectionTable[] = {
    {kCpuAvx512f | kCpuAvx512cd | kCpuAvx512bw | kCpuAvx512dq | kCpuAvx512vl, 4, 0x73081DF, 0},
    {kCpuAvx512f | kCpuAvx512cd | kCpuAvx512er | kCpuAvx512pf, 4, 0xF081DF, 0},
    {kCpuAvx2Set, 4, 0x81DF, 0},
    {kCpuAvx, 3, 0x1DF, 0},
    {kCpuSse42, 2, 0xDF, 0},
    {kCpuSse41, 1, 0x5F, 0},
    {kCpuMovbe, 1, 0x3F, 0},
    {kCpuSsse3, 1, 0x1F, 0},
    {kCpuSse3, 0, 0xF, 0},
    {kCpuSse2, 0, 0x7, 0},
    {kCpuSse, 0, 0x3, 0},
    {0, 0, 0x1, kCpuNoCpuid},
};

// A row is usable when the processor has every instruction set it implies; the AVX
// paths also need the register state the operating system enables.
bool rowSupported(const SelectionRow& row, std::uint64_t processor)
{
    if ((processor & row.implied) != row.implied)
        return false;
    return row.index < 3 || (processor & kCpuAvxState) != 0;
}

std::int64_t leaf4Size(const std::uint32_t r[4])
{
    const std::int64_t ways = (r[1] >> 22) + 1;
    const std::int64_t partitions = ((r[1] >> 12) & 0x3FF) + 1;
    const std::int64_t line = (r[1] & 0xFFF) + 1;
    const std::int64_t sets = std::int64_t(r[2]) + 1;
    return ways * partitions * line * sets;
}

void computeCache()
{
    if (!hasCpuid() || maxCpuidLeaf() < 2 || !isGenuineIntel()) {
        cache.status = kCpuNoCpuid;
        cache.lineSize = 0;
        return;
    }
    if (maxCpuidLeaf() < 4) {
        cache.lineSize = 0;
        const std::int32_t size = cacheSizeFromDescriptors(cacheDescriptorTable);
        if (size >= 0) {
            cache.size = size;
            cache.status = kOk;
        } else {
            cache.size = 0;
            cache.status = kCpuNoCache;
        }
        return;
    }
    std::int64_t best = 0;
    std::int32_t bestLine = 0;
    for (std::uint32_t sub = 0; sub < 32; ++sub) {
        std::uint32_t r[4];
        cpuid(r, 4, sub);
        const std::uint32_t type = r[0] & 0x1F;
        if (type == 0)
            break;
        if (type == 2)
            continue;  // instruction cache
        const std::int64_t size = leaf4Size(r);
        if (size > best) {
            best = size;
            bestLine = std::int32_t((r[1] & 0xFFF) + 1);
        }
    }
    if (best > 0) {
        cache.size = best > INT32_MAX ? INT32_MAX : std::int32_t(best);
        cache.status = kOk;
        cache.lineSize = bestLine;
    } else {
        cache.size = 0;
        cache.status = kCpuNoCache;
        cache.lineSize = 0;
    }
}

// The record, computed on the first call unless a test hook set it.
const CacheRecord& settledCache()
{
    std::call_once(*cacheOnce, [] {
        if (cache.status == kCacheNotComputed)
            computeCache();
        else if (cache.size < 0 && cache.status != kOk)
            cache.lineSize = 0;
    });
    return cache;
}

} // namespace

const CacheDescriptor cacheDescriptorTable[] = {
    {0xEC, 24 << 20},
    {0xEB, 18 << 20},
    {0x4D, 16 << 20},
    {0xEA, 12 << 20}, {0x4C, 12 << 20},
    {0xE4, 8 << 20}, {0xDE, 8 << 20}, {0x4B, 8 << 20}, {0x47, 8 << 20},
    {0x4E, 6 << 20}, {0x4A, 6 << 20},
    {0xE3, 4 << 20}, {0xDD, 4 << 20}, {0xD8, 4 << 20}, {0x49, 4 << 20}, {0x29, 4 << 20},
    {0x46, 4 << 20},
    {0x48, 3 << 20},
    {0xE2, 2 << 20}, {0xDC, 2 << 20}, {0xD7, 2 << 20}, {0xD2, 2 << 20}, {0x25, 2 << 20},
    {0x7D, 2 << 20}, {0x85, 2 << 20}, {0x45, 2 << 20},
    {0xD6, 1 << 20}, {0xD1, 1 << 20}, {0x23, 1 << 20}, {0x87, 1 << 20}, {0x7C, 1 << 20},
    {0x78, 1 << 20}, {0x84, 1 << 20}, {0x44, 1 << 20},
    {0xD0, 512 << 10}, {0x22, 512 << 10}, {0x7B, 512 << 10}, {0x80, 512 << 10},
    {0x86, 512 << 10}, {0x3E, 512 << 10}, {0x7F, 512 << 10}, {0x83, 512 << 10},
    {0x43, 512 << 10},
    {0x3D, 384 << 10},
    {0x21, 256 << 10}, {0x7A, 256 << 10}, {0x82, 256 << 10}, {0x3C, 256 << 10},
    {0x3F, 256 << 10}, {0x42, 256 << 10},
    {0x3A, 192 << 10},
    {0x79, 128 << 10}, {0x39, 128 << 10}, {0x3B, 128 << 10}, {0x41, 128 << 10},
    {0x00, 0},
};

bool hasCpuid() { return reader->hasCpuid(); }

void cpuid(std::uint32_t regs[4], std::uint32_t leaf, std::uint32_t subleaf)
{
    reader->cpuid(regs, leaf, subleaf);
}

std::uint32_t maxCpuidLeaf()
{
    std::uint32_t r[4];
    cpuid(r, 0, 0);
    return r[0];
}

bool isGenuineIntel()
{
    std::uint32_t r[4];
    cpuid(r, 0, 0);
    return r[1] == 0x756E6547 && r[3] == 0x49656E69 && r[2] == 0x6C65746E;
}

bool osSupportsAvx()
{
    std::uint32_t r[4];
    cpuid(r, 1, 0);
    if (!bit(r[2], 27) || !bit(r[2], 28))
        return false;
    return (readXcr0() & 0x6) == 0x6;
}

bool osSupportsAvx512()
{
    std::uint32_t r[4];
    cpuid(r, 1, 0);
    if (!bit(r[2], 27))
        return false;
    return (readXcr0() & 0xE0) == 0xE0;
}

int queryCpuFeatures(std::uint64_t* features)
{
    if (processorWordComputed.load(std::memory_order_acquire)) {
        *features = processorWord.load(std::memory_order_relaxed);
        return 1;
    }
    if (!hasCpuid())
        return 0;
    std::uint32_t l0[4], lx[4], l1[4];
    cpuid(l0, 0, 0);
    cpuid(lx, 0x80000000u, 0);
    cpuid(l1, 1, 0);
    const std::uint32_t edx1 = l1[3], ecx1 = l1[2];
    std::uint64_t w = 0;
    auto set = [&w](bool on, std::uint64_t mask) {
        if (on)
            w |= mask;
    };
    set(bit(edx1, 23), kCpuMmx);
    set(bit(edx1, 25), kCpuSse);
    set(bit(edx1, 26), kCpuSse2);
    set(bit(ecx1, 0), kCpuSse3);
    set(bit(ecx1, 9), kCpuSsse3);
    set(bit(ecx1, 22), kCpuMovbe);
    set(bit(ecx1, 19), kCpuSse41);
    set(bit(ecx1, 20), kCpuSse42);
    set(bit(ecx1, 28), kCpuAvx);
    set(bit(ecx1, 27) && bit(ecx1, 28) && osSupportsAvx(), kCpuAvxState);
    set(bit(ecx1, 25), kCpuAes);
    set(bit(ecx1, 1), kCpuPclmulqdq);
    set(bit(ecx1, 30), kCpuRdrand);
    set(bit(ecx1, 29), kCpuF16c);
    if (l0[0] >= 7) {
        std::uint32_t l7[4];
        cpuid(l7, 7, 0);
        const std::uint32_t ebx7 = l7[1], ecx7 = l7[2], edx7 = l7[3];
        set(bit(ebx7, 19), kCpuAdx);
        set(bit(ebx7, 18), kCpuRdseed);
        set(bit(ebx7, 29), kCpuSha);
        set(bit(ebx7, 16), kCpuAvx512f);
        set(bit(ebx7, 28), kCpuAvx512cd);
        set(bit(ebx7, 27), kCpuAvx512er);
        set(bit(ebx7, 26), kCpuAvx512pf);
        set(bit(ebx7, 30), kCpuAvx512bw);
        set(bit(ebx7, 17), kCpuAvx512dq);
        set(bit(ebx7, 31), kCpuAvx512vl);
        set(bit(ecx7, 1), kCpuAvx512vbmi);
        set(bit(ebx7, 14), kCpuMpx);
        set(bit(edx7, 3), kCpuAvx512_4fmaps);
        set(bit(edx7, 2), kCpuAvx512_4vnniw);
        set(bit(ebx7, 21), kCpuAvx512ifma);
        set(osSupportsAvx512(), kCpuAvx512State);
        set(bit(ecx1, 12) && bit(ebx7, 5) && bit(ebx7, 3) && bit(ebx7, 8), kCpuAvx2Set);
    }
    if (lx[0] >= 0x80000001u) {
        std::uint32_t le[4];
        cpuid(le, 0x80000001u, 0);
        set(bit(le[2], 8), kCpuPrefetchw);
    }
    set((l1[0] & 0xFF0) == 0xB10, kCpuSignatureB10);
    processorWord.store(w, std::memory_order_relaxed);
    processorWordComputed.store(true, std::memory_order_release);
    *features = w;
    return 1;
}

Status getCpuFeatures(std::uint64_t* features)
{
    if (!hasCpuid())
        return kCpuNoCpuid;
    if (!features)
        return kNullPointer;
    queryCpuFeatures(features);
    return kOk;
}

Status selectCpuFeatures(std::uint64_t requested, std::int32_t* index)
{
    std::uint64_t r = requested;
    *index = 0;
    Status check = kOk;
    std::uint64_t p = 0;
    if (r & kCpuTrustRequest) {
        r &= ~kCpuTrustRequest;
        p = effectiveWord;
        processorWord.store(p, std::memory_order_relaxed);
        processorWordComputed.store(true, std::memory_order_release);
    } else {
        check = (r & 0x7FFFFFFC00000000ull) ? kCpuUndefinedBits : kOk;
        if (!queryCpuFeatures(&p))
            p = 0;
        if ((r & (kCpuAvx | kCpuAvx2Set)) && !(p & kCpuAvxState)) {
            r &= ~(kCpuAvx | kCpuAvx2Set);
            check = kCpuMissing;
        }
        const std::uint64_t avx512 = kCpuAvx512f | kCpuAvx512cd | kCpuAvx512er | kCpuAvx512pf |
                                     kCpuAvx512bw | kCpuAvx512dq | kCpuAvx512vl | kCpuAvx512vbmi |
                                     kCpuAvx512_4fmaps | kCpuAvx512_4vnniw;
        if ((r & avx512) && !(p & kCpuAvx512State)) {
            r &= ~avx512;
            check = kCpuMissing;
        }
        if (r & ~p)
            check = kCpuMissing;
    }
    const SelectionRow* row = nullptr;
    for (const SelectionRow& candidate : selectionTable) {
        if ((r & candidate.needs) == candidate.needs &&
            (candidate.needs == 0 || rowSupported(candidate, p))) {
            row = &candidate;
            break;
        }
    }
    Status result = row->tentative;
    if ((r & row->implied) != row->implied && result == kOk)
        result = kCpuImpliedMissing;
    setEffectiveFeatures(r | row->implied);
    *index = row->index;
    return check != kOk ? check : result;
}

void setEffectiveFeatures(std::uint64_t features) { effectiveWord = features; }

bool hasCpuFeatures(std::uint64_t mask) { return (effectiveWord & mask) == mask; }

Status getCacheSize(std::int32_t* size)
{
    if (!size)
        return kNullPointer;
    const CacheRecord& record = settledCache();
    *size = record.size;
    return record.status;
}

void getCacheLineSize(std::int32_t* lineSize)
{
    const CacheRecord& record = settledCache();
    if (lineSize)
        *lineSize = record.lineSize < 0 ? 0 : record.lineSize;
}

std::int32_t cacheSizeFromDescriptors(const CacheDescriptor* table)
{
    std::uint32_t r[4];
    cpuid(r, 2, 0);
    if ((r[0] & 0xFF) != 1)
        return -1;
    std::uint8_t bytes[15];
    int count = 0;
    for (int reg = 0; reg < 4; ++reg) {
        const std::uint32_t v = bit(r[reg], 31) ? 0 : r[reg];
        if (reg > 0 && v == 0)
            continue;
        for (int b = reg == 0 ? 1 : 0; b < 4; ++b)
            bytes[count++] = std::uint8_t(v >> (8 * b));
    }
    for (const CacheDescriptor* row = table; row->descriptor != 0; ++row)
        for (int i = 0; i < count; ++i)
            if (bytes[i] == row->descriptor)
                return row->size;
    return -1;
}

namespace DETAIL {

void resetCpuState()
{
    processorWord.store(0, std::memory_order_relaxed);
    processorWordComputed.store(false, std::memory_order_release);
    effectiveWord = kInitialEffective;
    cache = CacheRecord{};
    cacheOnce.emplace();
}

void setCpuReader(const CpuReader* r)
{
    reader = r ? r : &hostReader;
    resetCpuState();
}

void setCacheRecord(std::int32_t size, Status status, std::int32_t lineSize)
{
    cache.size = size;
    cache.status = status;
    cache.lineSize = lineSize;
    cacheOnce.emplace();
}

std::uint64_t pathRequirement(std::int32_t index)
{
    static const std::uint64_t needs[5] = {0x7, 0x1F, 0xDF, 0x1DF | kCpuAvxState,
                                           0x81DF | kCpuAvxState};
    return index >= 0 && index < 5 ? needs[index] : ~0ull;
}

} // namespace DETAIL

} // namespace Resample
