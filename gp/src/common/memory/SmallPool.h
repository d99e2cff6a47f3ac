#pragma once
// The library's two process-wide block pools.
//
// The small pool serves region nodes and pooled lists. It is reference-counted: the widget
// library's start-up acquires it and its shut-down releases it, and every region operation
// runs in between. Pool B is made by the library start-up and released by its shut-down;
// nothing allocates from it yet.

#include "gp/src/common/memory/RegularAllocator.h"

namespace HA::GP {

// Configures the small pool on the first acquisition (its first chunk of 8192 blocks is
// made at once) and counts further ones. Always true.
bool acquireSmallPool();
// Drops one acquisition; the last one frees every chunk. Regions that still hold nodes at
// that moment are a fatal error.
void releaseSmallPool();

// Configures pool B unless it is configured. Always true.
bool initSmallBlockPool();
void releaseSmallBlockPool();

namespace DETAIL {

// The pools themselves; they live until the process ends.
DA::RegularAllocator& smallPool();
DA::RegularAllocator& blockPoolB();

// Block counts; the caps are 256 MiB and 20 KiB of blocks at each pool's stride.
// The small pool's block is a pooled list's node: two links and a rectangle of four 32-bit
// sides (the list checks that its node is this size).
constexpr std::size_t kSmallPoolPayloadSize = 2 * sizeof(void*) + 4 * sizeof(std::int32_t);
constexpr std::uint32_t kSmallPoolFirstChunkBlocks = 8192;
constexpr std::size_t kSmallPoolCapBytes = std::size_t(1) << 28;
constexpr std::uint32_t kPoolBFirstChunkBlocks = 40;
constexpr std::size_t kPoolBCapBytes = 640 * 32;
constexpr std::size_t kPoolBPayloadSize = 28;

}  // namespace DETAIL

}  // namespace HA::GP
