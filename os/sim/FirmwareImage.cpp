#include "os/sim/FirmwareImage.h"

#include <zlib.h>

#include <algorithm>

#include "os/kernel/LittleEndian.h"

namespace HA::OS::SIM {

namespace {

DWORD crcOf(const BYTE* data, size_t size)
{
    return static_cast<DWORD>(crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
}

}  // namespace

bool readFirmwareHeader(const BYTE* data, size_t size, FirmwareHeader& header)
{
    if (data == nullptr || size < kFirmwareHeaderSize)
        return false;
    FirmwareHeader h;
    h.magic = getLe32(data);
    h.formatVersion = getLe16(data + 4);
    h.headerSize = getLe16(data + 6);
    h.vendorId = getLe16(data + 8);
    h.productId = getLe16(data + 10);
    h.revision = getLe16(data + 12);
    h.payloadLength = getLe32(data + 16);
    h.payloadCrc32 = getLe32(data + 20);
    if (h.magic != kFirmwareMagic || h.formatVersion != kFirmwareFormatVersion || h.headerSize != kFirmwareHeaderSize)
        return false;
    if (h.payloadLength > size - kFirmwareHeaderSize)
        return false;
    header = h;
    return true;
}

bool verifyFirmwareImage(const BYTE* data, size_t size, WORD vendorId, WORD productId, FirmwareHeader* header)
{
    FirmwareHeader h;
    if (size != kFirmwareImageSize || !readFirmwareHeader(data, size, h))
        return false;
    if (h.vendorId != vendorId || h.productId != productId)
        return false;
    if (crcOf(data + kFirmwareHeaderSize, h.payloadLength) != h.payloadCrc32)
        return false;
    if (header != nullptr)
        *header = h;
    return true;
}

BYTE firmwarePayloadByte(DWORD position)
{
    // An integer hash of the position: every bit of it reaches every bit of the byte, so
    // positions a block apart differ as often as random bytes do.
    DWORD x = position + 1;
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return static_cast<BYTE>(x);
}

std::vector<BYTE> buildFirmwareImage(WORD vendorId, WORD productId, WORD revision)
{
    std::vector<BYTE> image(kFirmwareImageSize, kFirmwarePadding);
    BYTE* payload = image.data() + kFirmwareHeaderSize;
    for (DWORD i = 0; i < kFirmwarePayloadSize; ++i)
        payload[i] = firmwarePayloadByte(i);
    BYTE* h = image.data();
    std::fill(h, h + kFirmwareHeaderSize, 0);
    putLe32(h, kFirmwareMagic);
    putLe16(h + 4, kFirmwareFormatVersion);
    putLe16(h + 6, kFirmwareHeaderSize);
    putLe16(h + 8, vendorId);
    putLe16(h + 10, productId);
    putLe16(h + 12, revision);
    putLe32(h + 16, kFirmwarePayloadSize);
    putLe32(h + 20, crcOf(payload, kFirmwarePayloadSize));
    return image;
}

}  // namespace HA::OS::SIM
