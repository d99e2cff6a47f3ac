#pragma once
// Message pumps for tests: they run the calling thread's queue the way a message loop
// does (translate, then dispatch) without a loop of the test's own.

#include "os/kernel/Clock.h"

namespace HA::OS {

struct PumpResult {
    int dispatched = 0;  // messages taken and dispatched
    bool quit = false;   // WM_QUIT was taken (the pump stopped there)
    int exitCode = 0;    // its exit code
};

// Dispatches what the queue holds now, including paint and timers that are due, until
// nothing is left; time does not move.
PumpResult pumpMessages();
// Runs the queue for `duration` ms of clock time: when idle it waits for the next timer
// or the end (under the manual clock time moves there at once). Stops early at WM_QUIT.
PumpResult pumpMessagesFor(TimeMs duration);

}  // namespace HA::OS
