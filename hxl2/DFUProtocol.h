#pragma once
// Records and numbers of USB DFU 1.1 as the maker's driver carries them: the DFU_GETSTATUS
// reply, the DFU_DNLOAD input, the DFU states and the status codes a download reports.

#include <cstdint>

#include "os/devices/DeviceConfig.h"

namespace HA::HXL2 {

// DFU 1.1 bState values that the download meets.
enum eDFUState : std::uint8_t {
    eAppIdle = 0,               // appIDLE
    eDfuIdle = 2,               // dfuIDLE
    eDfuDnBusy = 4,             // dfuDNBUSY
    eDfuDnloadIdle = 5,         // dfuDNLOAD-IDLE
    eDfuManifestSync = 6,       // dfuMANIFEST-SYNC
    eDfuManifest = 7,           // dfuMANIFEST
    eDfuManifestWaitReset = 8,  // dfuMANIFEST-WAIT-RESET
    eDfuError = 10,             // dfuERROR
};

// DFU 1.1 bStatus values that a download puts into its report when it fails on its own.
enum eDFUFailure : std::uint8_t {
    eErrTarget = 0x01,   // errTARGET: no image
    eErrWrite = 0x03,    // errWRITE: the device is not in DFU mode
    eErrUnknown = 0x0E,  // errUNKNOWN: any other failure
};

// The DFU_GETSTATUS reply. In a download's report bStatus also carries the download's own
// failure code; 0 means success.
struct DFUStatus {
    std::uint8_t bStatus = 0;
    std::uint32_t bwPollTimeout = 0;  // 24 bits on the wire, milliseconds
    std::uint8_t bState = 0;
    std::uint8_t iString = 0;

    static constexpr std::uint32_t kWireSize = OS::kDfuStatusSize;
    // Reads the 6-byte wire form (bwPollTimeout little-endian).
    static DFUStatus fromWire(const std::uint8_t (&wire)[kWireSize])
    {
        DFUStatus status;
        status.bStatus = wire[0];
        status.bwPollTimeout = wire[1] | (wire[2] << 8) | (std::uint32_t(wire[3]) << 16);
        status.bState = wire[4];
        status.iString = wire[5];
        return status;
    }
};

// The DFU_DNLOAD input: block number, data length and up to 8192 data bytes, of which only
// the first wLength count. Multi-byte fields are little-endian on the wire, as on this host.
struct DFUDownloadBlock {
    static constexpr std::uint32_t kMaxData = OS::kDfuMaxBlockData;

    std::uint16_t wBlockNum = 0;
    std::uint16_t wLength = 0;
    std::uint8_t data[kMaxData] = {};
};
static_assert(sizeof(DFUDownloadBlock) == OS::kDfuDownloadBlockSize, "DFU_DNLOAD input is a wire format");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "DFUDownloadBlock is sent as it lies in memory");

}  // namespace HA::HXL2
