#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resample/CpuFeatures.h"
#include "uia/graphics/combine/PixelRows.h"
#include "uia/graphics/picture/PixelRules.h"

namespace HA::UIA::DETAIL {
namespace {

// The row forms against the per-pixel rules over every weight, alpha and channel pair they
// combine; rows of 256 pixels cover the four-pixel blocks, and a short row the tail.

constexpr int kRow = 256;

// Runs a check with each row kernel in turn (on a processor without one, the widest it has).
class KernelScope {
public:
    explicit KernelScope(eRowKernel k) : saved_(rowKernel()) { setRowKernel(k); }
    ~KernelScope() { setRowKernel(saved_); }

private:
    eRowKernel saved_;
};

constexpr eRowKernel kKernels[] = {eRowKernel::Portable, eRowKernel::Sse2, eRowKernel::Avx2};

uint32_t blendReference(uint32_t d, uint32_t s) { return mixKeepingAlpha(d, s, coverWeight(s >> 24, d >> 24)); }

uint32_t ontoOpaqueReference(uint32_t d, uint32_t s)
{
    const uint32_t a = s >> 24;
    return a == 255 ? s : a == 0 ? d : copyOntoOpaque(d, s);
}

uint32_t dyeReference(uint32_t d, uint32_t s, uint32_t colour)
{
    const uint32_t w = coverWeight(s >> 24, colour >> 24);
    return w == 0 ? d : mixKeepingAlpha(d, colour, w);
}

// Every source alpha and destination alpha with every source value, and, with an opaque
// destination (the weight is then the source alpha), every weight, source and destination value.
TEST(PixelRowsTest, BlendUsingAlphaRowMatchesTheRuleEverywhere)
{
    for (eRowKernel k : kKernels) {
        KernelScope scope(k);
        SCOPED_TRACE(testing::Message() << "kernel " << int(k));
        std::vector<uint32_t> dst(kRow), src(kRow), expected(kRow);
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t dA = 0; dA < 256; ++dA) {
                for (uint32_t c = 0; c < 256; ++c) {
                    const uint32_t d = (c * 37 + a + dA * 11) & 0xFF;
                    src[c] = makePixel(a, c, 255 - c, c ^ 0x5A);
                    dst[c] = makePixel(dA, d, d ^ 0xC3, 255 - d);
                    expected[c] = blendReference(dst[c], src[c]);
                }
                blendUsingAlphaRow(dst.data(), src.data(), kRow);
                ASSERT_EQ(dst, expected) << "alphas " << a << " " << dA;
            }
        for (uint32_t w = 0; w < 256; ++w)
            for (uint32_t c = 0; c < 256; ++c) {
                for (uint32_t d = 0; d < 256; ++d) {
                    src[d] = makePixel(w, c, 255 - c, c ^ 0xA5);
                    dst[d] = makePixel(255, d ^ 0x3C, d, 255 - d);
                    expected[d] = blendReference(dst[d], src[d]);
                }
                blendUsingAlphaRow(dst.data(), src.data(), kRow);
                ASSERT_EQ(dst, expected) << "weight " << w << " source " << c;
            }
    }
}

TEST(PixelRowsTest, DyeRowMatchesTheRuleEverywhere)
{
    for (eRowKernel k : kKernels) {
        KernelScope scope(k);
        SCOPED_TRACE(testing::Message() << "kernel " << int(k));
        std::vector<uint32_t> dst(kRow), src(kRow), expected(kRow);
        // Every dye alpha and mask alpha.
        for (uint32_t dyeA = 0; dyeA < 256; ++dyeA) {
            const uint32_t colour = makePixel(dyeA, dyeA ^ 0x77, 255 - dyeA, dyeA);
            for (uint32_t a = 0; a < 256; ++a) {
                for (uint32_t k = 0; k < 256; ++k) {
                    src[k] = makePixel(a, k, k, k);
                    dst[k] = makePixel(k ^ 0x0F, k, 255 - k, (k * 7 + a) & 0xFF);
                    expected[k] = dyeReference(dst[k], src[k], colour);
                }
                dyeUsingAlphaMaskRow(dst.data(), src.data(), kRow, colour);
                ASSERT_EQ(dst, expected) << "dye alpha " << dyeA << " mask alpha " << a;
            }
        }
        // An opaque dye: the weight is the mask alpha; every weight, dye value and destination value.
        for (uint32_t c = 0; c < 256; ++c) {
            const uint32_t colour = makePixel(255, c, 255 - c, c ^ 0x5A);
            for (uint32_t w = 0; w < 256; ++w) {
                for (uint32_t d = 0; d < 256; ++d) {
                    src[d] = makePixel(w, 0, 0, 0);
                    dst[d] = makePixel(d ^ 0x81, d, d ^ 0x3C, 255 - d);
                    expected[d] = dyeReference(dst[d], src[d], colour);
                }
                dyeUsingAlphaMaskRow(dst.data(), src.data(), kRow, colour);
                ASSERT_EQ(dst, expected) << "dye " << c << " weight " << w;
            }
        }
    }
}

// Every source alpha, destination alpha and source value; then, for destination alphas at
// both ends of the range, every source alpha, source value and destination value. Opaque
// destinations have a shorter form; rows with one pixel of each eight at 254 must not take it.
TEST(PixelRowsTest, CopyOverRowMatchesTheRuleEverywhere)
{
    for (eRowKernel k : kKernels) {
        KernelScope scope(k);
        SCOPED_TRACE(testing::Message() << "kernel " << int(k));
        std::vector<uint32_t> dst(kRow), src(kRow), expected(kRow);
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t dA = 0; dA < 256; ++dA) {
                for (uint32_t c = 0; c < 256; ++c) {
                    const uint32_t d = (c * 37 + a + dA * 11) & 0xFF;
                    src[c] = makePixel(a, c, 255 - c, c ^ 0x5A);
                    dst[c] = makePixel(dA, d, d ^ 0xC3, 255 - d);
                    expected[c] = blendOver(dst[c], src[c]);
                }
                copyOverRow(dst.data(), src.data(), kRow);
                ASSERT_EQ(dst, expected) << "alphas " << a << " " << dA;
            }
        constexpr uint32_t kOpaqueButOne = 256;
        for (uint32_t dA : {1u, 254u, 255u, kOpaqueButOne})
            for (uint32_t a = 0; a < 256; ++a)
                for (uint32_t c = 0; c < 256; ++c) {
                    for (uint32_t d = 0; d < 256; ++d) {
                        const uint32_t alpha = dA != kOpaqueButOne ? dA : d % 8 == c % 8 ? 254 : 255;
                        src[d] = makePixel(a, c, 255 - c, c ^ 0x5A);
                        dst[d] = makePixel(alpha, d, 255 - d, d ^ 0xC3);
                        expected[d] = blendOver(dst[d], src[d]);
                    }
                    copyOverRow(dst.data(), src.data(), kRow);
                    ASSERT_EQ(dst, expected) << "alphas " << a << " " << dA << " source " << c;
                }
    }
}

// Every source alpha, source value and destination value.
TEST(PixelRowsTest, CopyOntoOpaqueRowMatchesTheRuleEverywhere)
{
    for (eRowKernel k : kKernels) {
        KernelScope scope(k);
        SCOPED_TRACE(testing::Message() << "kernel " << int(k));
        std::vector<uint32_t> dst(kRow), src(kRow), expected(kRow);
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t c = 0; c < 256; ++c) {
                for (uint32_t d = 0; d < 256; ++d) {
                    src[d] = makePixel(a, c, 255 - c, c ^ 0x5A);
                    dst[d] = makePixel((d * 13 + a) & 0xFF, d, d ^ 0xC3, 255 - d);
                    expected[d] = ontoOpaqueReference(dst[d], src[d]);
                }
                copyOntoOpaqueRow(dst.data(), src.data(), kRow);
                ASSERT_EQ(dst, expected) << "alpha " << a << " source " << c;
            }
    }
}

// A picture drawn into itself: with the source up to 9 pixels behind or ahead of the
// destination, later pixels read earlier results exactly as the pixel-by-pixel rule does.
TEST(PixelRowsTest, OverlappingRowsFollowThePixelOrder)
{
    for (eRowKernel k : kKernels) {
        KernelScope scope(k);
        SCOPED_TRACE(testing::Message() << "kernel " << int(k));
        std::vector<uint32_t> base(64);
        for (uint32_t i = 0; i < base.size(); ++i)
            base[i] = makePixel((i * 53 + 7) & 0xFF, i * 3, 255 - i, (i * 29) & 0xFF);
        const uint32_t colour = 0xC0805020;
        for (int shift : {-9, -8, -7, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 8})
            for (int64_t count : {1, 3, 4, 5, 8, 13, 17, 40}) {
                SCOPED_TRACE(testing::Message() << "source " << shift << " count " << count);
                const int64_t at = 16;
                std::vector<uint32_t> a = base, b = base;
                blendUsingAlphaRow(a.data() + at, a.data() + at + shift, count);
                for (int64_t i = 0; i < count; ++i)
                    b[at + i] = blendReference(b[at + i], b[at + shift + i]);
                EXPECT_EQ(a, b) << "blend";
                a = base;
                b = base;
                copyOverRow(a.data() + at, a.data() + at + shift, count);
                for (int64_t i = 0; i < count; ++i)
                    b[at + i] = blendOver(b[at + i], b[at + shift + i]);
                EXPECT_EQ(a, b) << "copy over";
                a = base;
                b = base;
                dyeUsingAlphaMaskRow(a.data() + at, a.data() + at + shift, count, colour);
                for (int64_t i = 0; i < count; ++i)
                    b[at + i] = dyeReference(b[at + i], b[at + shift + i], colour);
                EXPECT_EQ(a, b) << "dye";
                a = base;
                b = base;
                copyOntoOpaqueRow(a.data() + at, a.data() + at + shift, count);
                for (int64_t i = 0; i < count; ++i)
                    b[at + i] = ontoOpaqueReference(b[at + i], b[at + shift + i]);
                EXPECT_EQ(a, b) << "onto opaque";
            }
    }
}

// A processor told by its identification leaves and XCR0, as the resampler's probe reads it.
class ProbedCpu : public Resample::CpuReader {
public:
    ProbedCpu(uint32_t ecx1, uint32_t ebx7, uint64_t xcr0) : ecx1_(ecx1), ebx7_(ebx7), xcr0_(xcr0) {}
    bool hasCpuid() const override { return true; }
    void cpuid(uint32_t r[4], uint32_t leaf, uint32_t) const override
    {
        r[0] = r[1] = r[2] = r[3] = 0;
        if (leaf == 0) {
            r[0] = 7;
        } else if (leaf == 1) {
            r[2] = ecx1_;
            r[3] = 1u << 23 | 1u << 25 | 1u << 26;  // MMX, SSE, SSE2
        } else if (leaf == 7) {
            r[1] = ebx7_;
        }
    }
    uint64_t xgetbv(uint32_t) const override { return xcr0_; }

private:
    uint32_t ecx1_, ebx7_;
    uint64_t xcr0_;
};

// Installs the processor for the resampler's probe; afterwards the real one again, with
// the resampler's choice made anew from it.
class ProbeScope {
public:
    explicit ProbeScope(const Resample::CpuReader& cpu) { Resample::DETAIL::setCpuReader(&cpu); }
    ~ProbeScope()
    {
        Resample::DETAIL::setCpuReader(nullptr);
        uint64_t word = 0;
        int32_t index = 0;
        if (Resample::getCpuFeatures(&word) == Resample::kOk)
            Resample::selectCpuFeatures(word, &index);
    }
};

// The widest kernel is the one the resampler's probe allows: AVX2 with its companions and
// the register state the operating system enables (asked through the clamp of setRowKernel).
TEST(PixelRowsTest, TheWidestKernelFollowsTheResamplersProbe)
{
    constexpr uint32_t kAvxEcx = 1u << 12 | 1u << 27 | 1u << 28;  // FMA, OSXSAVE, AVX
    constexpr uint32_t kAvx2Ebx = 1u << 3 | 1u << 5 | 1u << 8;    // BMI1, AVX2, BMI2
    const struct {
        const char* name;
        uint32_t ecx1, ebx7;
        uint64_t xcr0;
        eRowKernel widest;
    } cases[] = {
        {"AVX2 with its register state", kAvxEcx, kAvx2Ebx, 0x7, eRowKernel::Avx2},
        {"AVX2 without the register state", kAvxEcx, kAvx2Ebx, 0x1, eRowKernel::Sse2},
        {"AVX2 without OSXSAVE", kAvxEcx & ~(1u << 27), kAvx2Ebx, 0x7, eRowKernel::Sse2},
        {"AVX only", kAvxEcx, 0, 0x7, eRowKernel::Sse2},
        {"AVX2 without BMI2", kAvxEcx, kAvx2Ebx & ~(1u << 8), 0x7, eRowKernel::Sse2},
    };
    const eRowKernel saved = rowKernel();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        eRowKernel chosen;
        {
            const ProbedCpu cpu(c.ecx1, c.ebx7, c.xcr0);
            ProbeScope probe(cpu);
            setRowKernel(eRowKernel::Avx2);
            chosen = rowKernel();
        }
        setRowKernel(saved);
        EXPECT_EQ(int(chosen), int(c.widest));
    }
}

}  // namespace
}  // namespace HA::UIA::DETAIL
