#include "gp/src/common/storage/IStorage.h"

namespace HA::GP {

std::int64_t remainingBytes(IStorage& storage)
{
    const std::int64_t position = storage.tell();
    if (position < 0)
        return -1;
    storage.seek(0, IStorage::SeekEnd);
    // A storage that failed to reach its end may still tell a position, which is no end.
    const bool reachedEnd = storage.isGoodOrAtEnd();
    const std::int64_t end = storage.tell();
    storage.seek(position, IStorage::SeekBegin);
    return !reachedEnd || end < position || !storage.isGoodOrAtEnd() ? -1 : end - position;
}

}  // namespace HA::GP
