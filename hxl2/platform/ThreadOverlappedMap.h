#pragma once
// One overlapped record and event pair per thread that sends requests through a device. An
// entry is made on a thread's first request and kept until the table goes, so its record stays
// where the driver writes it. Look-ups take the lock shared, insertions exclusive.

#include <cstdint>
#include <map>
#include <shared_mutex>

#include "os/devices/DeviceIo.h"
#include "os/kernel/Types.h"

namespace HA::HXL2 {

class ThreadOverlappedMap {
public:
    struct tEntry {
        OS::OVERLAPPED first;
        OS::HANDLE firstEvent;
        OS::OVERLAPPED second;
        OS::HANDLE secondEvent;
    };
    enum eEvents : std::uint32_t { eFirstEvent = 1, eSecondEvent = 2 };

    // eventMask: which pairs get a manual-reset event (bit 0 first, bit 1 second).
    explicit ThreadOverlappedMap(std::uint32_t eventMask);
    ~ThreadOverlappedMap();
    ThreadOverlappedMap(const ThreadOverlappedMap&) = delete;
    ThreadOverlappedMap& operator=(const ThreadOverlappedMap&) = delete;

    // The calling thread's entry, made on first use. Null only when an event cannot be made.
    tEntry* entryForCurrentThread();

private:
    std::uint32_t mEventMask;
    std::map<std::uint32_t, tEntry> mEntries;
    std::shared_mutex mLock;
};

}  // namespace HA::HXL2
