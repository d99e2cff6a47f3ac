#pragma once
// Small platform services of the library: opening a file or web address with the shell and
// the performance counter with its conversion to milliseconds.

#include <cstdint>

namespace HA::GP {

// Opens the file or address with the shell's "open" verb, shown normally. False for null
// and when the shell reports a failure. Any thread.
bool openWithShell(const char* fileOrAddress);

// The current performance-counter value. Any thread.
std::int64_t performanceCounter();
// Milliseconds of a count of performance-counter ticks, rounded down; never overflows
// (saturates at the largest value); negative counts give 0. Any thread.
std::uint64_t ticksToMilliseconds(std::int64_t ticks);

namespace DETAIL {

// The conversion for a given frequency (ticks per second); frequency 0 gives 0.
std::uint64_t ticksToMilliseconds(std::int64_t ticks, std::int64_t frequency);

}  // namespace DETAIL

}  // namespace HA::GP
