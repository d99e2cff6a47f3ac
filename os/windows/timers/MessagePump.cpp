#include "os/windows/timers/MessagePump.h"

#include "os/windows/Message.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

namespace {

// A procedure that keeps posting to itself would never let a pump return.
constexpr int kMaxMessages = 1'000'000;

bool pumpOne(PumpResult& result)
{
    MSG msg;
    if (!peekMessage(msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        result.quit = true;
        result.exitCode = static_cast<int>(msg.wParam);
        return false;
    }
    translateMessage(msg);
    dispatchMessage(msg);
    ++result.dispatched;
    return result.dispatched < kMaxMessages;
}

}  // namespace

PumpResult pumpMessages()
{
    PumpResult result;
    while (pumpOne(result)) {
    }
    return result;
}

PumpResult pumpMessagesFor(TimeMs duration)
{
    PumpResult result;
    TimeMs end = Clock::now() + duration;
    for (;;) {
        while (pumpOne(result)) {
        }
        if (result.quit || result.dispatched >= kMaxMessages)
            return result;
        if (!DETAIL::waitForMessageUntil(end, nullptr, 0, 0))
            return result;
    }
}

}  // namespace HA::OS
