#include "gp/src/common/storage/Stream.h"

namespace HA::GP {

// Bytes are assembled explicitly, so the result does not depend on the processor's order.
std::uint8_t Stream::readU8()
{
    std::uint8_t b = 0;
    if (mStorage)
        mStorage->read(&b, 1);
    return b;
}

std::uint16_t Stream::readU16()
{
    std::uint8_t b[2] = {};
    if (mStorage)
        mStorage->read(b, 2);
    if (swaps())
        return std::uint16_t(b[1] | (b[0] << 8));
    return std::uint16_t(b[0] | (b[1] << 8));
}

std::uint32_t Stream::readU32()
{
    std::uint8_t b[4] = {};
    if (mStorage)
        mStorage->read(b, 4);
    if (swaps())
        return std::uint32_t(b[3]) | std::uint32_t(b[2]) << 8 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[0]) << 24;
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

void Stream::writeU8(std::uint8_t value)
{
    if (mStorage)
        mStorage->write(&value, 1);
}

void Stream::writeU32(std::uint32_t value)
{
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) {
        int shift = swaps() ? 24 - 8 * i : 8 * i;
        b[i] = std::uint8_t(value >> shift);
    }
    if (mStorage)
        mStorage->write(b, 4);
}

}  // namespace HA::GP
