#pragma once
// The processor identification instruction behind a replaceable reader, so that the
// processor facts can be tested against a table of leaves.

#include <cstdint>

namespace HA::GP {

class CpuidReader {
public:
    virtual ~CpuidReader() = default;
    // eax, ebx, ecx and edx of the leaf and sub-leaf. A leaf the processor does not have
    // reads as zeros. Any thread.
    virtual void cpuid(std::uint32_t regs[4], std::uint32_t leaf, std::uint32_t subleaf) const = 0;
};

// The reader in use: the instruction itself unless a test replaced it.
const CpuidReader& cpuidReader();

namespace DETAIL {

// Replaces the reader (null: the instruction) and returns the previous one. The reader
// must outlive its use.
const CpuidReader* setCpuidReader(const CpuidReader* reader);

}  // namespace DETAIL

}  // namespace HA::GP
