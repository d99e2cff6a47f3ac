#pragma once
// The process's current directory in the stand-in: the host's.

#include "os/kernel/Types.h"

namespace HA::OS {

// The current directory in UTF-16: the number of units copied without the NUL, or, when
// `size` is too small, the size needed with the NUL (nothing is copied); 0 on failure.
DWORD getCurrentDirectory(DWORD size, WChar* buffer);

}  // namespace HA::OS
