#include "os/shell/Ole.h"

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace HA::OS {

namespace {

// The blocks handed out, by handle.
struct GlobalMemory {
    std::mutex mutex;
    std::map<HGLOBAL, std::vector<BYTE>> blocks;
    std::uintptr_t nextBlock = 0x10000;
    int memoryFaults = 0;
};

GlobalMemory& state()
{
    static auto* s = new GlobalMemory;
    return *s;
}

}  // namespace

HGLOBAL globalAlloc(UINT flags, std::size_t bytes)
{
    GlobalMemory& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.memoryFaults > 0)
        return nullptr;
    HGLOBAL handle = reinterpret_cast<HGLOBAL>(s.nextBlock);
    s.nextBlock += 16;
    // Always zeroed: the stand-in hands out no stale bytes even without GMEM_ZEROINIT.
    (void)flags;
    s.blocks[handle].assign(bytes, 0);
    return handle;
}

void* globalLock(HGLOBAL block)
{
    GlobalMemory& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.blocks.find(block);
    if (it == s.blocks.end())
        return nullptr;
    // A lock of an empty block still gives a pointer, as on the platform.
    static BYTE none = 0;
    return it->second.empty() ? &none : it->second.data();
}

bool globalUnlock(HGLOBAL block)
{
    GlobalMemory& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.blocks.count(block) != 0;
}

std::size_t globalSize(HGLOBAL block)
{
    GlobalMemory& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.blocks.find(block);
    return it == s.blocks.end() ? 0 : it->second.size();
}

HGLOBAL globalFree(HGLOBAL block)
{
    GlobalMemory& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.blocks.erase(block) ? nullptr : block;
}

std::size_t globalBlockCount()
{
    GlobalMemory& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.blocks.size();
}

GlobalMemoryFaultScope::GlobalMemoryFaultScope() { ++state().memoryFaults; }
GlobalMemoryFaultScope::~GlobalMemoryFaultScope() { --state().memoryFaults; }

}  // namespace HA::OS
