#include "gp/src/common/memory/SmallPool.h"

#include <mutex>

namespace HA::GP {

namespace {

std::mutex g_countMutex;
int g_smallPoolCount = 0;

DETAIL::RegularAllocatorBase::tConfig configFor(std::size_t payload, std::uint32_t firstBlocks,
                                                std::size_t capBytes)
{
    DETAIL::RegularAllocatorBase::tConfig config;
    config.payloadSize = payload;
    config.firstChunkBlocks = firstBlocks;
    config.chunkBlockCap =
        std::uint32_t(capBytes / DETAIL::RegularAllocatorBase::strideFor(payload));
    return config;
}

}  // namespace

namespace DETAIL {

// Never destroyed, so that a region destroyed late in the process exit still finds its pool.
DA::RegularAllocator& smallPool()
{
    static auto* pool = new DA::RegularAllocator();
    return *pool;
}

DA::RegularAllocator& blockPoolB()
{
    static auto* pool = new DA::RegularAllocator();
    return *pool;
}

}  // namespace DETAIL

bool acquireSmallPool()
{
    std::lock_guard<std::mutex> lock(g_countMutex);
    if (g_smallPoolCount > 0) {
        ++g_smallPoolCount;
        return true;
    }
    g_smallPoolCount = 1;
    DETAIL::smallPool().configure(configFor(DETAIL::kSmallPoolPayloadSize,
                                            DETAIL::kSmallPoolFirstChunkBlocks,
                                            DETAIL::kSmallPoolCapBytes));
    return true;
}

void releaseSmallPool()
{
    std::lock_guard<std::mutex> lock(g_countMutex);
    if (g_smallPoolCount <= 0)
        return;
    if (--g_smallPoolCount == 0)
        DETAIL::smallPool().releaseAll();
}

bool initSmallBlockPool()
{
    DETAIL::blockPoolB().configure(configFor(DETAIL::kPoolBPayloadSize,
                                             DETAIL::kPoolBFirstChunkBlocks,
                                             DETAIL::kPoolBCapBytes));
    return true;
}

void releaseSmallBlockPool() { DETAIL::blockPoolB().releaseAll(); }

}  // namespace HA::GP
