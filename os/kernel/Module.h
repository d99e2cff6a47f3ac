#pragma once
// Modules of the stand-in. A module handle is the load address of an executable or
// shared object, as on the platform; null names the process's executable.

#include "os/kernel/Types.h"

namespace HA::OS {

using HMODULE = void*;

constexpr DWORD MAX_PATH = 260;

// The process's executable.
HMODULE getExecutableModule();
// The module whose image holds `address`, taking no reference; null with
// ERROR_MOD_NOT_FOUND when no module holds it.
HMODULE getModuleHandleFromAddress(const void* address);
// The module's full file name in UTF-16 (the executable's honours the test override of
// moduleFileName()). Copies at most size - 1 units and a terminating zero and returns the
// number of units copied; a name that does not fit is cut, returns `size` and sets
// ERROR_INSUFFICIENT_BUFFER. Returns 0 for an unknown module.
DWORD getModuleFileName(HMODULE module, WChar* buffer, DWORD size);

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;

}  // namespace HA::OS
