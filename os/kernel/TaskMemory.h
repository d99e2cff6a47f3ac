#pragma once
// Task memory: blocks that one party allocates and another frees, such as a dialog's item
// list or a data object's target device. Any thread.

#include <cstddef>

namespace HA::OS {

// A block of `bytes` (at least one); null when refused.
void* coTaskMemAlloc(std::size_t bytes);
// Frees a block of coTaskMemAlloc; null is allowed.
void coTaskMemFree(void* block);
// Task-memory blocks allocated and not yet freed (a test's leak check).
int liveTaskMemBlockCount();

}  // namespace HA::OS
