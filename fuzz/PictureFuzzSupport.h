#pragma once
// What every picture loader must leave behind: a loaded picture whose every pixel can be read
// (AddressSanitizer sees a block smaller than its size), a failed one that the caller drops.

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "uia/graphics/picture/Picture.h"

namespace HA::FUZZ {

inline void checkLoaded(const UIA::Picture& picture)
{
    const int64_t count = int64_t(picture.getWidth()) * picture.getHeight();
    if (picture.getWidth() < 0 || picture.getHeight() < 0)
        fail("negative size");
    if (count > 0 && picture.getPixels() == nullptr)
        fail("pixels missing");
    uint32_t sum = 0;
    for (int64_t i = 0; i < count; ++i)
        sum += picture.getPixels()[i];
    // Keeps the reads.
    volatile uint32_t sink = sum;
    static_cast<void>(sink);
}

enum class eLoader { Any, Png, Jpeg, Tga };

// Loads the bytes with one loader; a loaded picture is checked.
inline bool loadAndCheck(const uint8_t* data, size_t size, eLoader loader,
                         GP::Stream::eByteOrder order = GP::Stream::LittleEndian)
{
    GP::MemoryStorage storage;
    storage.attachReadOnly(data, uint32_t(size));
    GP::Stream stream(&storage);
    stream.setByteOrder(order);
    UIA::Picture picture;
    const auto detection = UIA::Picture::eAlphaDetection::On;
    bool loaded = false;
    switch (loader) {
    case eLoader::Any:
        loaded = picture.load(stream, 0, detection);
        break;
    case eLoader::Png:
        loaded = picture.loadPNG(stream, 0, detection);
        break;
    case eLoader::Jpeg:
        loaded = picture.loadJPEG(stream, 0, detection);
        break;
    case eLoader::Tga:
        loaded = picture.loadTGA(stream, 0, detection);
        break;
    }
    if (loaded)
        checkLoaded(picture);
    return loaded;
}

}  // namespace HA::FUZZ
