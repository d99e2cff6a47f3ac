#pragma once
// Fixed-size block pools. Blocks are carved from chunks; each chunk holds a run of equal
// blocks, and each block starts with a header naming its chunk, so freeing needs no search.
// Chunks grow geometrically up to a cap. A chunk other than the oldest goes back to the
// chunk allocator as soon as its last block is freed; the oldest stays until releaseAll.
//
// Every operation may be called from any thread; the pool serialises them.

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace HA::GP::DETAIL {

class RegularAllocatorBase {
public:
    enum eFlags : std::uint32_t {
        eOneChunkOnly = 0x1,      // growing fails once a chunk exists
        eAlignFirstBlock = 0x4,   // the first block of a chunk starts on a 32-byte boundary
    };

    struct tConfig {
        std::size_t payloadSize = 0;       // usable bytes of a block
        std::uint32_t firstChunkBlocks = 0;
        std::uint32_t chunkBlockCap = 0;   // upper bound of a chunk's block count
        std::uint32_t flags = 0;
    };

    // Blocks are aligned for pointers and 32-bit integers.
    static constexpr std::size_t kBlockAlign = alignof(void*);
    static constexpr std::size_t kBlockHeaderSize = sizeof(void*);

    // Bytes from one block to the next for a payload size.
    static constexpr std::size_t strideFor(std::size_t payloadSize)
    {
        std::size_t p = payloadSize < sizeof(void*) ? sizeof(void*) : payloadSize;
        return (kBlockHeaderSize + p + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
    }

    RegularAllocatorBase() = default;
    RegularAllocatorBase(const RegularAllocatorBase&) = delete;
    RegularAllocatorBase& operator=(const RegularAllocatorBase&) = delete;
    virtual ~RegularAllocatorBase();

    // Unless configured: takes the configuration, makes the first chunk so that its blocks
    // exist before the first allocation, and marks the pool configured. When that chunk
    // cannot be made, the first allocation tries again. A configured pool keeps its
    // configuration.
    void configure(const tConfig& config);

    // A block of at least the payload size. Throws std::bad_alloc when the pool cannot grow.
    // Using a pool that is not configured is a fatal error.
    void* allocate();
    // Gives a block back; null is ignored.
    void free(void* payload);
    // Frees every chunk and clears the configured mark. Blocks still in use are a fatal
    // error: their owners would otherwise write into freed memory.
    void releaseAll();

    bool isConfigured() const;
    std::size_t getStride() const;
    std::size_t getTotalBytes() const;
    std::uint32_t getChunkCount() const;
    std::uint32_t getNextChunkBlocks() const;
    std::uint32_t getPeakChunkBlocks() const;
    std::uint32_t getUsedBlocks() const;

protected:
    // Chunk memory, aligned at least to kBlockAlign. Null (or std::bad_alloc) on failure.
    virtual void* allocateChunkMemory(std::size_t bytes) = 0;
    virtual void freeChunkMemory(void* memory) = 0;

private:
    struct tChunk;

    tChunk* grow();
    void releaseChunk(tChunk* chunk);
    void unlinkFree(tChunk* chunk);
    void appendFree(tChunk* chunk);

    mutable std::recursive_mutex m_mutex;
    std::size_t m_stride = 0;
    std::uint32_t m_nextChunkBlocks = 0;
    std::uint32_t m_peakChunkBlocks = 0;
    std::uint32_t m_chunkBlockCap = 0;
    std::size_t m_totalBytes = 0;
    std::uint32_t m_flags = 0;
    bool m_configured = false;
    std::uint32_t m_chunkCount = 0;
    tChunk* m_chunks = nullptr;        // newest first
    tChunk* m_oldest = nullptr;
    tChunk* m_freeHead = nullptr;      // chunks with free blocks, oldest first
    tChunk* m_freeTail = nullptr;
};

}  // namespace HA::GP::DETAIL

namespace HA::GP::DA {

// A pool whose chunks come from the C heap.
class RegularAllocator : public DETAIL::RegularAllocatorBase {
public:
    RegularAllocator() = default;
    ~RegularAllocator() override;

protected:
    void* allocateChunkMemory(std::size_t bytes) override;
    void freeChunkMemory(void* memory) override;
};

}  // namespace HA::GP::DA
