#include "gp/src/common/memory/RegularAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <vector>

#include "gp/src/common/geometry/PooledList.h"
#include "gp/src/common/memory/SmallPool.h"

namespace HA::GP {
namespace {

// A pool that counts its chunk memory and can be told to fail it.
class CountingPool : public DETAIL::RegularAllocatorBase {
public:
    ~CountingPool() override { releaseAll(); }

    int liveChunks = 0;
    bool failNext = false;

protected:
    void* allocateChunkMemory(std::size_t bytes) override
    {
        if (failNext)
            throw std::bad_alloc();
        ++liveChunks;
        return std::malloc(bytes);
    }
    void freeChunkMemory(void* memory) override
    {
        --liveChunks;
        std::free(memory);
    }
};

DETAIL::RegularAllocatorBase::tConfig smallConfig(std::uint32_t flags = 0)
{
    DETAIL::RegularAllocatorBase::tConfig c;
    c.payloadSize = 24;
    c.firstChunkBlocks = 4;
    c.chunkBlockCap = 16;
    c.flags = flags;
    return c;
}

std::vector<void*> take(CountingPool& pool, int n)
{
    std::vector<void*> blocks;
    for (int i = 0; i < n; ++i) {
        void* p = pool.allocate();
        std::memset(p, 0xA5, 24);  // the whole payload is ours
        blocks.push_back(p);
    }
    return blocks;
}

TEST(RegularAllocator, GrowsChunksByDoublingUpToTheCap)
{
    CountingPool pool;
    pool.configure(smallConfig());
    EXPECT_EQ(pool.getChunkCount(), 1u);  // the first chunk exists before any allocation
    EXPECT_EQ(pool.getNextChunkBlocks(), 8u);

    void* first = pool.allocate();
    void* second = pool.allocate();
    EXPECT_GT(first, second);  // highest address first
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % alignof(void*), 0u);
    pool.free(second);
    pool.free(first);

    // 4 + 8 + 16 + 16 blocks: the fourth chunk stays at the cap.
    const std::vector<void*> blocks = take(pool, 44);
    EXPECT_EQ(pool.getChunkCount(), 4u);
    EXPECT_EQ(pool.getPeakChunkBlocks(), 16u);
    EXPECT_EQ(pool.getNextChunkBlocks(), 16u);
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
    EXPECT_EQ(pool.getUsedBlocks(), 44u);
    for (void* p : blocks)
        pool.free(p);
    EXPECT_EQ(pool.getUsedBlocks(), 0u);
    pool.free(nullptr);
}

TEST(RegularAllocator, ReleasesAChunkThatEmptiesButKeepsTheOldest)
{
    CountingPool pool;
    pool.configure(smallConfig());
    const std::size_t oneChunk = pool.getTotalBytes();
    std::vector<void*> oldest = take(pool, 4);
    std::vector<void*> second = take(pool, 8);
    EXPECT_EQ(pool.liveChunks, 2);
    EXPECT_EQ(pool.getTotalBytes(), oneChunk + 8 * pool.getStride() + (oneChunk - 4 * pool.getStride()));

    for (void* p : second)
        pool.free(p);
    EXPECT_EQ(pool.liveChunks, 1);
    EXPECT_EQ(pool.getTotalBytes(), oneChunk);
    EXPECT_EQ(pool.getNextChunkBlocks(), 8u);  // back to the peak

    for (void* p : oldest)
        pool.free(p);
    EXPECT_EQ(pool.liveChunks, 1);  // the oldest chunk stays
    EXPECT_TRUE(pool.isConfigured());

    // Its blocks are handed out again before anything grows.
    oldest = take(pool, 4);
    EXPECT_EQ(pool.liveChunks, 1);
    for (void* p : oldest)
        pool.free(p);

    pool.releaseAll();
    EXPECT_EQ(pool.liveChunks, 0);
    EXPECT_EQ(pool.getTotalBytes(), 0u);
    EXPECT_FALSE(pool.isConfigured());
}

TEST(RegularAllocator, FailsToGrowWithBadAlloc)
{
    struct tCase {
        const char* name;
        std::uint32_t flags;
        bool failMemory;
    };
    for (const tCase& c : {tCase{"one chunk only", DETAIL::RegularAllocatorBase::eOneChunkOnly, false},
                           tCase{"chunk memory fails", 0, true}}) {
        SCOPED_TRACE(c.name);
        CountingPool pool;
        pool.configure(smallConfig(c.flags));
        std::vector<void*> blocks = take(pool, 4);
        pool.failNext = c.failMemory;
        EXPECT_THROW(pool.allocate(), std::bad_alloc);
        pool.failNext = false;
        for (void* p : blocks)
            pool.free(p);
    }
}

TEST(RegularAllocator, AlignsTheFirstBlockWhenAsked)
{
    CountingPool pool;
    pool.configure(smallConfig(DETAIL::RegularAllocatorBase::eAlignFirstBlock));
    std::vector<void*> blocks = take(pool, 4);
    // The last block handed out is the chunk's first; its header starts on 32 bytes.
    const auto payload = reinterpret_cast<std::uintptr_t>(blocks.back());
    EXPECT_EQ((payload - DETAIL::RegularAllocatorBase::kBlockHeaderSize) % 32, 0u);
    for (void* p : blocks)
        pool.free(p);
}

TEST(RegularAllocatorDeathTest, ReleasingWithBlocksInUseIsFatal)
{
    EXPECT_DEATH(
        {
            CountingPool pool;
            pool.configure(smallConfig());
            pool.allocate();
            pool.releaseAll();
        },
        "still in use");
}

TEST(SmallPool, IsReferenceCountedAndSizedFromItsNodes)
{
    DETAIL::RegularAllocatorBase& pool = DETAIL::smallPool();
    ASSERT_FALSE(pool.isConfigured());
    EXPECT_TRUE(acquireSmallPool());
    EXPECT_TRUE(acquireSmallPool());
    const std::size_t stride = DETAIL::RegularAllocatorBase::strideFor(sizeof(PooledList::tNode));
    EXPECT_EQ(pool.getStride(), stride);
    EXPECT_EQ(pool.getPeakChunkBlocks(), 8192u);
    EXPECT_EQ(pool.getNextChunkBlocks(), 16384u);

    releaseSmallPool();
    EXPECT_TRUE(pool.isConfigured());
    EXPECT_GE(pool.getTotalBytes(), 8192 * stride);
    releaseSmallPool();
    EXPECT_FALSE(pool.isConfigured());
    EXPECT_EQ(pool.getTotalBytes(), 0u);
    releaseSmallPool();  // one release too many does nothing
    EXPECT_FALSE(pool.isConfigured());
}

}  // namespace
}  // namespace HA::GP
