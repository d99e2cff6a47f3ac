#include "os/kernel/TaskMemory.h"

#include <atomic>
#include <cstdlib>

namespace HA::OS {

namespace {
std::atomic<int> gLiveTaskMemBlocks{0};
}  // namespace

void* coTaskMemAlloc(std::size_t bytes)
{
    void* block = std::malloc(bytes ? bytes : 1);
    if (block)
        ++gLiveTaskMemBlocks;
    return block;
}

void coTaskMemFree(void* block)
{
    if (block)
        --gLiveTaskMemBlocks;
    std::free(block);
}

int liveTaskMemBlockCount() { return gLiveTaskMemBlocks; }

}  // namespace HA::OS
