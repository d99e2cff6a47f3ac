#include "os/windows/input/MouseTracking.h"

#include <set>

#include "os/kernel/Kernel.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

// Windows that asked for a leave report (kernel lock). Handles are never reused, so the
// entry of a destroyed window only waits to be taken.
std::set<HWND>& trackedLocked()
{
    static auto* tracked = new std::set<HWND>;
    return *tracked;
}

}  // namespace

bool trackMouseEvent(const TRACKMOUSEEVENT& track)
{
    if (track.cbSize != sizeof(TRACKMOUSEEVENT)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    auto lock = kernelLock();
    if (!windowOrFail(track.hwndTrack))
        return false;
    if (track.dwFlags & TME_LEAVE) {
        if (track.dwFlags & TME_CANCEL)
            trackedLocked().erase(track.hwndTrack);
        else
            trackedLocked().insert(track.hwndTrack);
    }
    return true;
}

bool isMouseLeaveTracked(HWND hwnd)
{
    auto lock = kernelLock();
    return trackedLocked().count(hwnd) != 0 && findWindowLocked(hwnd);
}

bool takeMouseLeaveTracking(HWND hwnd)
{
    auto lock = kernelLock();
    bool tracked = trackedLocked().erase(hwnd) != 0;
    return tracked && findWindowLocked(hwnd);
}

}  // namespace HA::OS
