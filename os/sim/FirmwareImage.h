#pragma once
// The firmware image format the Vireo Interface's boot loader accepts: a 32-byte header,
// a payload and padding to the size of the firmware slot. The build-time generator writes
// it, the simulated device checks it, and tests read the embedded image's revision.
//
// Header, little-endian: magic "HAFW"; u16 format version; u16 header size; u16 target
// vendor id; u16 target (runtime) product id; u16 revision (bcdDevice); u16 reserved 0;
// u32 payload length; u32 CRC-32 of the payload; 8 reserved bytes 0.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS::SIM {

constexpr DWORD kFirmwareMagic = 0x57464148;  // "HAFW"
constexpr WORD kFirmwareFormatVersion = 1;
constexpr DWORD kFirmwareHeaderSize = 32;
// The device's firmware slot: an image is whole when it fills it exactly.
constexpr DWORD kFirmwareImageSize = 262144;
constexpr DWORD kFirmwarePayloadSize = kFirmwareImageSize - 4096;
constexpr BYTE kFirmwarePadding = 0xFF;

struct FirmwareHeader {
    DWORD magic = 0;
    WORD formatVersion = 0;
    WORD headerSize = 0;
    WORD vendorId = 0;
    WORD productId = 0;
    WORD revision = 0;
    DWORD payloadLength = 0;
    DWORD payloadCrc32 = 0;
};

// Reads the header; false when the data is too short, the magic, format version or header
// size is wrong, or the payload would not fit in the data.
bool readFirmwareHeader(const BYTE* data, size_t size, FirmwareHeader& header);

// True when the image is whole (kFirmwareImageSize bytes), its header reads, it is for this
// vendor and product id and its payload's CRC-32 matches.
bool verifyFirmwareImage(const BYTE* data, size_t size, WORD vendorId, WORD productId, FirmwareHeader* header = nullptr);

// Payload byte at a position: each depends on its position, so misordered or repeated
// blocks change the image.
BYTE firmwarePayloadByte(DWORD position);

// A whole image for the target with this revision.
std::vector<BYTE> buildFirmwareImage(WORD vendorId, WORD productId, WORD revision);

}  // namespace HA::OS::SIM
