#pragma once
// Kernel objects of the stand-in: handles, events, waits, thread ids and the
// per-thread last-error value, with the platform's semantics and codes.

#include <memory>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Types.h"

namespace HA::OS {

// Base of every object a handle can name. State that waiters test is guarded by
// Clock::kernelMutex(); change it only with that lock held and call Clock::notifyAll().
class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Called with the kernel lock held.
    virtual bool isSignaled() const { return false; }
    // A successful wait took the object (an auto-reset event resets). Kernel lock held.
    virtual void onWaitSatisfied() {}
    // The last handle to the object was closed. Called without the kernel lock.
    virtual void onClose() {}
};

// Handle table: hands out a new handle value for an object and finds it again.
HANDLE registerHandle(std::shared_ptr<KernelObject> object);
// The object behind a handle, or null for an unknown or closed handle.
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(lookupHandle(handle));
}
// Closes a handle; false with ERROR_INVALID_HANDLE for an unknown one.
bool closeHandle(HANDLE handle);

enum class eReset { Auto, Manual };
enum class eWait { Any, All };

HANDLE createEvent(eReset reset, bool initiallySet);
bool setEvent(HANDLE event);
bool resetEvent(HANDLE event);
// setEvent for a caller that already holds Clock::kernelMutex() and must change other
// waited-on state in the same step (a completing driver request). Does not notify.
bool setEventLocked(HANDLE event);

// WAIT_OBJECT_0 when signalled, WAIT_TIMEOUT, or WAIT_FAILED (last error set).
DWORD waitForSingleObject(HANDLE handle, DWORD milliseconds);
// WAIT_OBJECT_0 + index of the first signalled object (any), WAIT_OBJECT_0 when all are
// signalled (all), WAIT_TIMEOUT, or WAIT_FAILED. At most 64 handles.
DWORD waitForMultipleObjects(const HANDLE* handles, DWORD count, eWait wait, DWORD milliseconds);
inline DWORD waitForMultipleObjects(const std::vector<HANDLE>& handles, eWait wait, DWORD milliseconds)
{
    return waitForMultipleObjects(handles.data(), static_cast<DWORD>(handles.size()), wait, milliseconds);
}

// A small number unique to the calling thread for the life of the process (never 0).
DWORD currentThreadId();

DWORD getLastError();
void setLastError(DWORD code);

constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

}  // namespace HA::OS
