// The updater's entry point and its one process module. The module is a static object of
// this file so that the linker keeps it; as the first module constructed it is the process
// module that the runner drives.

#include "os/entry/WinMain.h"
#include "uia/app/AppModule.h"
#include "updater/app/VireoUpdaterAppModule.h"

static HA::VireoUpdaterAppModule gVireoUpdaterAppModule;

int WinMain(HA::OS::HINSTANCE, HA::OS::HINSTANCE, char*, int)
{
    HA::UIA::runMain();
    return 0;
}
