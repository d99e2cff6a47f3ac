#include "uia/graphics/picture/Picture.h"

#include <algorithm>
#include <cstring>

#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/Stream.h"

namespace HA::UIA {

namespace {

constexpr uint8_t kTrueColour = 2;
constexpr uint8_t kRunLengthTrueColour = 10;
constexpr uint8_t kTopRowFirst = 0x20;
constexpr uint8_t kRunPacket = 0x80;
constexpr int64_t kMaxPacketPixels = 128;

struct TgaHeader {
    uint8_t idLength;
    uint8_t colourMapType;
    uint8_t imageType;
    uint16_t colourMapFirst;
    uint16_t colourMapLength;
    uint8_t colourMapEntrySize;
    uint16_t xOrigin;
    uint16_t yOrigin;
    uint16_t width;
    uint16_t height;
    uint8_t pixelDepth;
    uint8_t descriptor;
};

TgaHeader readHeader(GP::Stream& stream)
{
    TgaHeader header;
    header.idLength = stream.readU8();
    header.colourMapType = stream.readU8();
    header.imageType = stream.readU8();
    header.colourMapFirst = stream.readU16();
    header.colourMapLength = stream.readU16();
    header.colourMapEntrySize = stream.readU8();
    header.xOrigin = stream.readU16();
    header.yOrigin = stream.readU16();
    header.width = stream.readU16();
    header.height = stream.readU16();
    header.pixelDepth = stream.readU8();
    header.descriptor = stream.readU8();
    return header;
}

// The fewest bytes of pixel data that can fill the picture.
int64_t minimumDataSize(const TgaHeader& header)
{
    const int64_t count = int64_t(header.width) * header.height;
    if (header.pixelDepth == 32 && header.imageType == kRunLengthTrueColour)
        return (count + kMaxPacketPixels - 1) / kMaxPacketPixels * 5;
    return count * (header.pixelDepth / 8);
}

bool readAll(GP::IStorage& storage, void* destination, int64_t count)
{
    return storage.read(destination, static_cast<std::uint32_t>(count)) == static_cast<std::uint64_t>(count);
}

uint32_t swapBytes(uint32_t v)
{
    return v >> 24 | (v >> 8 & 0xFF00u) | (v << 8 & 0xFF0000u) | v << 24;
}

// Run-length packets up to the last pixel; a packet that reaches beyond it is cut there.
bool readRunLength(GP::IStorage& storage, uint32_t* pixel, int64_t count)
{
    int64_t filled = 0;
    while (filled < count) {
        uint8_t packet = 0;
        if (!readAll(storage, &packet, 1))
            return false;
        if (packet < kRunPacket) {
            const int64_t length = std::min<int64_t>(packet + 1, count - filled);
            if (!readAll(storage, pixel + filled, 4 * length))
                return false;
            filled += length;
        } else {
            const int64_t length = std::min<int64_t>(packet - 127, count - filled);
            uint32_t value = 0;
            if (!readAll(storage, &value, 4))
                return false;
            std::fill(pixel + filled, pixel + filled + length, value);
            filled += length;
        }
    }
    return true;
}

}  // namespace

bool Picture::loadTGA(GP::Stream& stream, int, eAlphaDetection detection)
{
    GP::IStorage* storage = stream.getStorage();
    if (storage == nullptr)
        return false;
    const TgaHeader header = readHeader(stream);
    if (!storage->isGoodOrAtEnd())
        return false;
    int64_t skip = header.idLength;
    if (header.colourMapType == 1)
        skip += int64_t(header.colourMapLength) * ((header.colourMapEntrySize + 7) / 8);
    storage->seek(skip, GP::IStorage::SeekCurrent);
    if (!storage->isGoodOrAtEnd())
        return false;
    if (header.imageType != kTrueColour && header.imageType != kRunLengthTrueColour)
        return false;
    if (header.pixelDepth != 16 && header.pixelDepth != 24 && header.pixelDepth != 32)
        return false;
    // A header may promise far more pixels than the file holds: refuse before allocating.
    const int64_t remaining = GP::remainingBytes(*storage);
    if (remaining >= 0 && remaining < minimumDataSize(header))
        return false;

    if (!setSize(header.width, header.height, eBlock::Discard))
        return false;
    if (detection == eAlphaDetection::On)
        setHasAlpha(false);
    const bool swapped = stream.getByteOrder() != GP::Stream::LittleEndian;
    const int64_t count = int64_t(header.width) * header.height;
    uint32_t* pixel = getPixels();
    auto* bytes = reinterpret_cast<uint8_t*>(pixel);
    bool complete = true;
    bool transparent = false;

    if (header.pixelDepth == 16) {
        // Read into the upper half and widen from the front: pixel i is written only after
        // value i was read.
        uint8_t* values = bytes + 2 * count;
        complete = readAll(*storage, values, 2 * count);
        for (int64_t i = 0; complete && i < count; ++i) {
            uint16_t v;
            std::memcpy(&v, values + 2 * i, 2);
            if (swapped)
                v = uint16_t(v >> 8 | v << 8);
            if (v == 0) {
                pixel[i] = 0;
                transparent = true;
                continue;
            }
            const uint32_t red = ((v >> 10) & 31u) << 3, green = ((v >> 5) & 31u) << 3, blue = (v & 31u) << 3;
            pixel[i] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    } else if (header.pixelDepth == 24) {
        const uint8_t* values = bytes + count;
        complete = readAll(*storage, bytes + count, 3 * count);
        for (int64_t i = 0; complete && i < count; ++i) {
            const uint32_t blue = values[3 * i], green = values[3 * i + 1], red = values[3 * i + 2];
            pixel[i] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    } else {
        complete = header.imageType == kTrueColour ? readAll(*storage, pixel, 4 * count)
                                                   : readRunLength(*storage, pixel, count);
        for (int64_t i = 0; complete && i < count; ++i) {
            if (swapped)
                pixel[i] = swapBytes(pixel[i]);
            transparent = transparent || (pixel[i] >> 24) != 0xFF;
        }
    }
    if (!complete) {
        std::memset(pixel, 0, size_t(4 * count));
        return false;
    }
    if (detection == eAlphaDetection::On)
        setHasAlpha(transparent);
    if ((header.descriptor & kTopRowFirst) == 0)
        flipVertically();
    return true;
}

}  // namespace HA::UIA
