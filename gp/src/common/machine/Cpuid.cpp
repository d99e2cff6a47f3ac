#include "gp/src/common/machine/Cpuid.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace HA::GP {

namespace {

class InstructionReader : public CpuidReader {
public:
    void cpuid(std::uint32_t regs[4], std::uint32_t leaf, std::uint32_t subleaf) const override
    {
        regs[0] = regs[1] = regs[2] = regs[3] = 0;
#if defined(__i386__) || defined(__x86_64__)
        // A leaf above the highest basic or extended one would repeat the highest leaf.
        unsigned highest = __get_cpuid_max(leaf & 0x80000000u, nullptr);
        if (highest == 0 || leaf > highest)
            return;
        __cpuid_count(leaf, subleaf, regs[0], regs[1], regs[2], regs[3]);
#else
        (void)leaf;
        (void)subleaf;
#endif
    }
};

const InstructionReader gInstruction;
std::atomic<const CpuidReader*> gReader{nullptr};

}  // namespace

const CpuidReader& cpuidReader()
{
    const CpuidReader* reader = gReader.load();
    return reader ? *reader : gInstruction;
}

namespace DETAIL {

const CpuidReader* setCpuidReader(const CpuidReader* reader) { return gReader.exchange(reader); }

}  // namespace DETAIL

}  // namespace HA::GP
