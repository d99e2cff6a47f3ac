#pragma once
// The per-monitor DPI functions of the display-scale library, bound at run time: null
// entries when the library or an entry is missing. The library is freed with the binding.

#include "os/files/KnownFolders.h"
#include "os/kernel/Module.h"
#include "os/windows/Monitors.h"

namespace HA::UIA {

struct ShcoreFunctions {
    using GetDpiForMonitorFn = OS::HRESULT (*)(OS::HMONITOR, int, OS::UINT*, OS::UINT*);
    // Looked up, never called.
    using SetProcessDpiAwarenessFn = OS::HRESULT (*)(int);

    ShcoreFunctions();
    ~ShcoreFunctions();
    ShcoreFunctions(const ShcoreFunctions&) = delete;
    ShcoreFunctions& operator=(const ShcoreFunctions&) = delete;

    OS::HMODULE library = nullptr;
    GetDpiForMonitorFn getDpiForMonitor = nullptr;
    SetProcessDpiAwarenessFn setProcessDpiAwareness = nullptr;
};

}  // namespace HA::UIA
