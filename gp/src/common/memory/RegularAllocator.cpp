#include "gp/src/common/memory/RegularAllocator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "gp/src/common/process/FatalError.h"

namespace HA::GP::DETAIL {

struct RegularAllocatorBase::tChunk {
    tChunk* next = nullptr;       // chunk list, newest first
    tChunk* prev = nullptr;
    tChunk* nextFree = nullptr;   // chunks with free blocks, oldest first
    tChunk* prevFree = nullptr;
    void* freeBlocks = nullptr;   // payload of the first free block; each links to the next
    std::uint32_t used = 0;
    std::uint32_t capacity = 0;
    std::size_t bytes = 0;
};

namespace {

constexpr std::size_t roundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

constexpr std::size_t kFirstBlockAlign = 32;

void*& nextFreeOf(void* payload) { return *static_cast<void**>(payload); }

}  // namespace

RegularAllocatorBase::~RegularAllocatorBase() = default;

void RegularAllocatorBase::configure(const tConfig& config)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_configured)
        return;
    m_stride = strideFor(config.payloadSize);
    m_nextChunkBlocks = config.firstChunkBlocks;
    m_peakChunkBlocks = config.firstChunkBlocks;
    m_chunkBlockCap = config.chunkBlockCap;
    m_totalBytes = 0;
    m_flags = config.flags;
    grow();
    m_configured = true;
}

void* RegularAllocatorBase::allocate()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    HA_GP_VERIFY(m_configured, "block pool used before it was configured");
    if (!m_freeHead && !grow())
        throw std::bad_alloc();
    tChunk* chunk = m_freeHead;
    void* payload = chunk->freeBlocks;
    chunk->freeBlocks = nextFreeOf(payload);
    *reinterpret_cast<tChunk**>(static_cast<char*>(payload) - kBlockHeaderSize) = chunk;
    ++chunk->used;
    if (!chunk->freeBlocks)
        unlinkFree(chunk);
    return payload;
}

void RegularAllocatorBase::free(void* payload)
{
    if (!payload)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    tChunk* chunk = *reinterpret_cast<tChunk**>(static_cast<char*>(payload) - kBlockHeaderSize);
    HA_GP_VERIFY(chunk->used > 0, "block freed twice");
    const bool wasFull = chunk->freeBlocks == nullptr;
    nextFreeOf(payload) = chunk->freeBlocks;
    chunk->freeBlocks = payload;
    if (wasFull)
        appendFree(chunk);
    if (--chunk->used == 0 && chunk != m_oldest)
        releaseChunk(chunk);
}

void RegularAllocatorBase::releaseAll()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_configured)
        return;
    for (tChunk* c = m_chunks; c; c = c->next)
        HA_GP_VERIFY(c->used == 0, "block pool released while its blocks are still in use");
    while (m_chunks) {
        tChunk* c = m_chunks;
        m_chunks = c->next;
        c->~tChunk();
        freeChunkMemory(c);
    }
    m_oldest = m_freeHead = m_freeTail = nullptr;
    m_chunkCount = 0;
    m_totalBytes = 0;
    m_configured = false;
}

RegularAllocatorBase::tChunk* RegularAllocatorBase::grow()
{
    if ((m_flags & eOneChunkOnly) && m_chunks)
        return nullptr;
    const std::uint32_t n = m_nextChunkBlocks;
    if (n == 0)
        return nullptr;
    const std::size_t headerSize = roundUp(sizeof(tChunk), kBlockAlign);
    std::size_t bytes = headerSize + m_stride * n;
    if (m_flags & eAlignFirstBlock)
        bytes += kFirstBlockAlign - kBlockAlign;

    void* memory = nullptr;
    try {
        memory = allocateChunkMemory(bytes);
    } catch (const std::bad_alloc&) {
        memory = nullptr;
    }
    if (!memory)
        return nullptr;

    tChunk* chunk = new (memory) tChunk();
    chunk->capacity = n;
    chunk->bytes = bytes;
    m_totalBytes += bytes;
    chunk->next = m_chunks;
    if (m_chunks)
        m_chunks->prev = chunk;
    m_chunks = chunk;
    if (!m_oldest)
        m_oldest = chunk;
    ++m_chunkCount;
    appendFree(chunk);

    auto first = reinterpret_cast<std::uintptr_t>(memory) + headerSize;
    if (m_flags & eAlignFirstBlock)
        first = roundUp(first, kFirstBlockAlign);
    // Threaded lowest first, so the block with the highest address is handed out first.
    for (std::uint32_t i = 0; i < n; ++i) {
        char* block = reinterpret_cast<char*>(first + std::uintptr_t(i) * m_stride);
        *reinterpret_cast<tChunk**>(block) = chunk;
        void* payload = block + kBlockHeaderSize;
        nextFreeOf(payload) = chunk->freeBlocks;
        chunk->freeBlocks = payload;
    }

    m_peakChunkBlocks = std::max(m_peakChunkBlocks, n);
    if (m_nextChunkBlocks >= m_peakChunkBlocks)
        m_nextChunkBlocks = std::uint32_t(
            std::min<std::uint64_t>(2 * std::uint64_t(m_nextChunkBlocks), m_chunkBlockCap));
    return chunk;
}

void RegularAllocatorBase::releaseChunk(tChunk* chunk)
{
    m_totalBytes -= chunk->bytes;
    if (chunk->capacity >= m_peakChunkBlocks)
        m_nextChunkBlocks = m_peakChunkBlocks;
    if (chunk->prev)
        chunk->prev->next = chunk->next;
    else
        m_chunks = chunk->next;
    if (chunk->next)
        chunk->next->prev = chunk->prev;
    unlinkFree(chunk);
    --m_chunkCount;
    chunk->~tChunk();
    freeChunkMemory(chunk);
}

void RegularAllocatorBase::unlinkFree(tChunk* chunk)
{
    if (chunk->prevFree)
        chunk->prevFree->nextFree = chunk->nextFree;
    else if (m_freeHead == chunk)
        m_freeHead = chunk->nextFree;
    else
        return;  // not in the list
    if (chunk->nextFree)
        chunk->nextFree->prevFree = chunk->prevFree;
    else
        m_freeTail = chunk->prevFree;
    chunk->nextFree = chunk->prevFree = nullptr;
}

void RegularAllocatorBase::appendFree(tChunk* chunk)
{
    chunk->nextFree = nullptr;
    chunk->prevFree = m_freeTail;
    if (m_freeTail)
        m_freeTail->nextFree = chunk;
    else
        m_freeHead = chunk;
    m_freeTail = chunk;
}

bool RegularAllocatorBase::isConfigured() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_configured;
}

std::size_t RegularAllocatorBase::getStride() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_stride;
}

std::size_t RegularAllocatorBase::getTotalBytes() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_totalBytes;
}

std::uint32_t RegularAllocatorBase::getChunkCount() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_chunkCount;
}

std::uint32_t RegularAllocatorBase::getNextChunkBlocks() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_nextChunkBlocks;
}

std::uint32_t RegularAllocatorBase::getPeakChunkBlocks() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_peakChunkBlocks;
}

std::uint32_t RegularAllocatorBase::getUsedBlocks() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::uint32_t used = 0;
    for (const tChunk* c = m_chunks; c; c = c->next)
        used += c->used;
    return used;
}

}  // namespace HA::GP::DETAIL

namespace HA::GP::DA {

RegularAllocator::~RegularAllocator() { releaseAll(); }

void* RegularAllocator::allocateChunkMemory(std::size_t bytes) { return std::malloc(bytes); }

void RegularAllocator::freeChunkMemory(void* memory) { std::free(memory); }

}  // namespace HA::GP::DA
