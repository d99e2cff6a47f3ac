// The stand-in's process entry: what the platform's start-up code does before it calls the
// program's WinMain, plus the stand-in's own set-up of a real run (the simulated devices and
// the presenter).

#include <cstdio>
#include <memory>
#include <string>

#include "os/display/Presenter.h"
#include "os/entry/WinMain.h"
#include "os/kernel/CommandLine.h"
#include "os/kernel/Text.h"
#include "os/sim/DeviceControl.h"
#include "os/sim/SimulatedSetup.h"
#include "os/windows/instance/InstanceMarker.h"
#include "os/windows/Window.h"

namespace {

// The arguments after the program name as the platform hands them to WinMain: the rest of
// the command line after the program's own (possibly quoted) name and the blanks after it.
std::string argumentsOf(const HA::OS::WString& commandLine)
{
    std::size_t i = 0;
    if (i < commandLine.size() && commandLine[i] == u'"') {
        ++i;
        while (i < commandLine.size() && commandLine[i] != u'"')
            ++i;
        if (i < commandLine.size())
            ++i;
    } else {
        while (i < commandLine.size() && commandLine[i] != u' ' && commandLine[i] != u'\t')
            ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == u' ' || commandLine[i] == u'\t'))
        ++i;
    return HA::OS::utf16ToUtf8(commandLine.substr(i));
}

// The status of a start that ended without its window because an earlier run did not end.
constexpr int kEarlierRunDidNotEnd = 1;

// scripts/device.sh plugs, pulls and power-cycles the simulated interface through it.
std::unique_ptr<HA::OS::SIM::DeviceControl> gControl;
bool gGaveUpOnEarlierRun = false;

// Attaches the simulated devices as the state file has them, and the hand at the first.
void attachSimulatedDevices()
{
    gControl.reset();
    HA::OS::SIM::setUpSimulatedDevices();
    if (auto devices = HA::OS::SIM::simulatedDevices(); !devices.empty()) {
        std::string why;
        gControl = HA::OS::SIM::DeviceControl::start(devices.front(), why);
        if (!gControl && !why.empty())
            std::fprintf(stderr, "os: the simulated Vireo Interface cannot be driven from outside: %s\n", why.c_str());
    }
}

// A start that waited for an earlier run of the program: once that run has ended, its device
// is the one it left (the state file it wrote) and the hand at it is free again.
void onEarlierRunWaited(bool ended)
{
    if (ended)
        attachSimulatedDevices();
    else
        gGaveUpOnEarlierRun = true;
}

}  // namespace

int main(int argc, char** argv)
{
    HA::OS::setCommandLine(argc, argv);
    // A display that was named but does not open would leave a window nobody can see or
    // close: end with one line that names it, its reason and the road without a display.
    std::string failure;
    if (!HA::OS::startPresenter(&failure) && HA::OS::displayWanted()) {
        std::fprintf(stderr,
                     "%s: %s; without a display (DISPLAY and WAYLAND_DISPLAY unset) scripts/run.sh runs the "
                     "screenshot walk instead\n",
                     argc > 0 ? argv[0] : "program", failure.c_str());
        return 1;
    }
    attachSimulatedDevices();
    HA::OS::setInstanceMarkerWaitHook(&onEarlierRunWaited);

    std::string arguments = argumentsOf(HA::OS::getCommandLine());
    const int result = WinMain(HA::OS::getExecutableModule(), nullptr, arguments.data(), HA::OS::SW_SHOWDEFAULT);

    HA::OS::setInstanceMarkerWaitHook(nullptr);
    HA::OS::stopPresenter();
    gControl.reset();
    HA::OS::SIM::tearDownSimulatedDevices();
    return result == 0 && gGaveUpOnEarlierRun ? kEarlierRunDidNotEnd : result;
}
