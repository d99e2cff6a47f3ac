#include "uia/graphics/picture/Picture.h"

#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/Stream.h"

namespace HA::UIA {

bool Picture::load(GP::Stream& stream, int extra, eAlphaDetection detection)
{
    GP::IStorage* storage = stream.getStorage();
    const int32_t start = storage != nullptr ? storage->tell32() : -1;
    if (loadPNG(stream, extra, detection))
        return true;
    if (storage != nullptr)
        storage->seek32(start, GP::IStorage::SeekBegin);
    if (loadJPEG(stream, extra, detection))
        return true;
    if (storage != nullptr)
        storage->seek32(start, GP::IStorage::SeekBegin);
    return loadTGA(stream, extra, detection);
}

}  // namespace HA::UIA
