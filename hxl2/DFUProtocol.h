#pragma once
// Records and numbers of USB DFU 1.1 as the maker's driver carries them: the driver's DFU
// information reply, the DFU_GETSTATUS reply, the DFU_DNLOAD input, the DFU states and the
// status codes a download reports.

#include <cstdint>

#include "os/devices/DeviceConfig.h"
#include "os/kernel/LittleEndian.h"

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

// The driver's DFU information reply: the mode (1 runtime, 2 DFU), the DFU functional
// descriptor's bmAttributes and wTransferSize, the seconds a device that is not manifestation
// tolerant may take to come back, and one more byte, which a 6-byte reply leaves out.
struct DFUInformation {
    std::uint8_t mode = 0;
    std::uint8_t bmAttributes = 0;
    std::uint16_t manifestationLimit = 0;
    std::uint16_t wTransferSize = 0;
    std::uint8_t extraInfo = 0;

    static constexpr std::uint32_t kWireSize = OS::kDfuInfoSize;
    static constexpr std::uint32_t kMinWireSize = 6;
    // Reads the `returned` bytes of a reply of at least kMinWireSize; without the last byte
    // extraInfo is a copy of mode.
    static DFUInformation fromWire(const std::uint8_t (&wire)[kWireSize], std::uint32_t returned)
    {
        DFUInformation info;
        info.mode = wire[0];
        info.bmAttributes = wire[1];
        info.manifestationLimit = OS::getLe16(wire + 2);
        info.wTransferSize = OS::getLe16(wire + 4);
        info.extraInfo = returned >= kWireSize ? wire[6] : wire[0];
        return info;
    }
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
        status.bwPollTimeout = OS::getLe24(wire + 1);
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
