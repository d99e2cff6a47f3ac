#pragma once
// Start-up and shut-down of the widget library. init follows the general-purpose library's
// and the window framework's start-up; shutdown precedes theirs. User-interface thread only.
//
// The process-wide state they set lives with what uses it, and is reached through this
// header too: the resource manager and the skin look-up (resources/ManagerContainer.h), the
// canvases' opaque buffer (canvas/Canvas.h).

#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/resources/ManagerContainer.h"

namespace HA::HWL {

// Takes a reference on the general-purpose small pool and makes the resource manager (with
// its style sheets and their built-in rules). A second call without shutdown in between is a
// fatal error. Returns true.
bool init();
// Drops the manager (its pictures, fonts and style sheets) and the pool reference.
void shutdown();
bool isInitialized();

}  // namespace HA::HWL
