#include "hxl2/DeviceQuirks.h"

namespace HA::HXL2 {

namespace {

constexpr std::uint16_t kProduct1100 = 0x1100;
constexpr std::uint16_t kProduct1101 = 0x1101;

}  // namespace

tDeviceQuirks deviceQuirks(std::uint16_t /*vendorId*/, std::uint16_t productId)
{
    // The driver's answer to the reserved request is the same for every device it serves.
    tDeviceQuirks quirks = eQuirkReservedRequestFailsDone;
    if (productId == kProduct1101)
        quirks |= eQuirkEnumeratesAs1101;
    return quirks;
}

bool productIdMatches(std::uint16_t wanted, std::uint16_t vendorId, std::uint16_t productId)
{
    if (wanted == 0 || wanted == productId)
        return true;
    return wanted == kProduct1100 && (deviceQuirks(vendorId, productId) & eQuirkEnumeratesAs1101) != 0;
}

}  // namespace HA::HXL2
