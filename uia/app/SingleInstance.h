#pragma once
// The single-instance hand-over: a second start of the program hands its first
// command-line argument (when it names an existing path) to the running instance, which
// brings its main window forward, and stops. The instance marker of the stand-in
// (os/windows/InstanceMarker.h) finds the running instance. User-interface thread only.

#include <string>

#include "os/windows/Window.h"

namespace HA::UIA {

// True when another instance holds `key` (the caller must not start): the path argument
// went to it and it was asked to come forward. The first call claims the key for this
// process when nobody holds it. False without an application. With flag 1 a start without
// an argument may run beside the running instance (false).
bool handOverToRunningInstance(const std::string& key, int flag);

// The first top-level window whose title (at most 511 units, as UTF-8) begins with
// `prefix`, code point by code point; windows with empty titles are skipped. Null for an
// empty prefix or when none matches.
OS::HWND findWindowByTitlePrefix(const std::string& prefix);

namespace DETAIL {

// Forgets the first-call state and ends this process's claim (tests).
void resetSingleInstanceState();

}  // namespace DETAIL

}  // namespace HA::UIA
