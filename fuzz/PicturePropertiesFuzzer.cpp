// The 33-byte stream form of a picture's properties, read in both byte orders, then used as
// drawing uses it: the hidden-tile masks and nine-patch drawing of a small picture.
// Input: the 33 bytes, then picture width and height, frame index, the nine-patch rectangle
// (four 16-bit values) and the pixels' alpha bytes.
#include <optional>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "uia/graphics/combine/PictureCombiner.h"
#include "uia/graphics/picture/Picture.h"

using namespace HA;

namespace {

void drawWith(const uint8_t* data, size_t size, GP::Stream::eByteOrder order)
{
    GP::MemoryStorage storage;
    storage.attachReadOnly(data, uint32_t(size));
    GP::Stream stream(&storage);
    stream.setByteOrder(order);
    UIA::Picture source;
    if (!source.read(stream))
        return;

    // What was read writes back as the same bytes (the version word aside; the alpha flag is
    // one byte that is 0 or 1).
    uint8_t written[64] = {};
    GP::MemoryStorage out;
    out.attach(written, sizeof written, GP::IStorage::ModeReadWrite);
    GP::Stream outStream(&out);
    outStream.setByteOrder(order);
    if (!source.write(outStream))
        FUZZ::fail("properties not written");
    if (written[4] != (data[4] != 0 ? 1 : 0))
        FUZZ::fail("alpha flag does not write back as read");
    for (int i = 5; i < UIA::PictureProperties::kStreamSize; ++i)
        if (written[i] != data[i])
            FUZZ::fail("properties do not write back as read");

    FUZZ::FuzzInput input(data + UIA::PictureProperties::kStreamSize, size - UIA::PictureProperties::kStreamSize);
    const int width = input.u8() % 48;
    const int height = input.u8() % 48;
    const uint32_t frame = input.u8();
    const GP::Rect rect{int16_t(input.u16()), int16_t(input.u16()), int16_t(input.u16()), int16_t(input.u16())};
    if (!source.setSize(width, height, UIA::Picture::eBlock::Discard))
        return;
    for (int i = 0; i < width * height; ++i)
        source.getPixels()[i] = uint32_t(input.u8()) << 24 | 0x336699u;
    source.computeHiddenTiles();

    UIA::Picture destination;
    destination.setSize(64, 64, UIA::Picture::eBlock::Discard);
    destination.fill(0xFF000000u);
    UIA::PictureCombiner<UIA::PictureCombinerFunctors::BlendUsingAlpha> combiner(destination);
    combiner.drawNinePatch(rect, source, frame);
    combiner.drawNinePatch(rect, source, frame, GP::Rect{8, 8, 40, 40});
    combiner.blit(rect.left, rect.top, source, frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < size_t(UIA::PictureProperties::kStreamSize))
        return 0;
    drawWith(data, size, GP::Stream::LittleEndian);
    drawWith(data, size, GP::Stream::BigEndian);
    return 0;
}
