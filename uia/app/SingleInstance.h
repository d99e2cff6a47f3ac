#pragma once
// The single-instance hand-over: a second start of the program hands its first
// command-line argument (when it names an existing path) to the running instance, which
// brings its main window forward, and stops. The instance marker of the stand-in
// (os/windows/instance/InstanceMarker.h) finds the running instance. User-interface thread only.

#include <string>

#include "os/windows/Window.h"

namespace HA::UIA {

// True when another instance holds `key` (the caller must not start): the path argument
// went to it and it was asked to come forward. An instance that is ending is waited for
// (see endHandOvers); this process then claims the key and the result is false. The first
// call claims the key for this process when nobody holds it. False without an application.
// With flag 1 a start without an argument may run beside the running instance (false).
bool handOverToRunningInstance(const std::string& key, int flag);

// How long this program's shut-down may still run once the application quits (a worker
// finishing); 0 by default. A second start that meets it ending waits that long plus a
// margin.
void setShutDownTime(unsigned ms);
// The application quits and shows no window from now on: a second start is told so (on
// standard error it says that an earlier run is still finishing), waits for this process's
// claim to end and then runs as the first instance. Called as the quit begins.
void endHandOvers();

// The first top-level window whose title (at most 511 units, as UTF-8) begins with
// `prefix`, code point by code point; windows with empty titles are skipped. Null for an
// empty prefix or when none matches.
OS::HWND findWindowByTitlePrefix(const std::string& prefix);

namespace DETAIL {

// Forgets the first-call state and ends this process's claim (tests).
void resetSingleInstanceState();

}  // namespace DETAIL

}  // namespace HA::UIA
