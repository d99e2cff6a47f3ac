#pragma once
// The platform side of the single-instance hand-over (uia/app/SingleInstance.h): the marker
// window that receives a second start's path. User-interface thread only.

#include "os/windows/Window.h"
#include "uia/app/SingleInstance.h"

namespace HA::UIA {

// The marker window's procedure in the running instance: WM_COPYDATA with tag
// DETAIL::kOpenPathTag and a NUL-ended UTF-16 path that exists gives the application
// kEventOpenPath (1 when handled); the raise request brings the main window forward. Other
// messages: default.
OS::LRESULT instanceWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);

namespace DETAIL {

constexpr int kOpenPathTag = 10003;
// How long a second start waits for the running instance's answer (real time).
constexpr unsigned kHandOverTimeoutMs = 5000;

// This process's own marker window, null when it holds no claim.
OS::HWND ownInstanceMarker();

}  // namespace DETAIL

}  // namespace HA::UIA
