#pragma once
// What sets a device of the maker's driver apart from the rule, by its ids: one place that
// knows, applied where the device is matched and spoken to, so that callers never see it.

#include <cstdint>

namespace HA::HXL2 {

enum eDeviceQuirk : std::uint32_t {
    eNoQuirks = 0,
    // The device may enumerate under product id 0x1101 where its record names 0x1100.
    eQuirkEnumeratesAs1101 = 1u << 0,
    // The driver completes request 0x810 with ERROR_GEN_FAILURE; for it that means done.
    eQuirkReservedRequestFailsDone = 1u << 1,
};
using tDeviceQuirks = std::uint32_t;

// The quirks of the device with these ids (0 where they are not known yet).
tDeviceQuirks deviceQuirks(std::uint16_t vendorId, std::uint16_t productId);

// Whether a record for product `wanted` (0: any) matches a device with these ids.
bool productIdMatches(std::uint16_t wanted, std::uint16_t vendorId, std::uint16_t productId);

}  // namespace HA::HXL2
