#include "uia/platform/window/ShcoreFunctions.h"

#include "os/kernel/Libraries.h"

namespace HA::UIA {

ShcoreFunctions::ShcoreFunctions() : library(OS::loadLibrary("Shcore.dll"))
{
    if (!library)
        return;
    getDpiForMonitor = reinterpret_cast<GetDpiForMonitorFn>(OS::getProcAddress(library, "GetDpiForMonitor"));
    setProcessDpiAwareness =
        reinterpret_cast<SetProcessDpiAwarenessFn>(OS::getProcAddress(library, "SetProcessDpiAwareness"));
}

ShcoreFunctions::~ShcoreFunctions()
{
    if (library)
        OS::freeLibrary(library);
}

}  // namespace HA::UIA
