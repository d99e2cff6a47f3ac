#pragma once
// The simulated devices of a real run. The executable calls setUpSimulatedDevices() once
// at start; HA_OS_VIREO chooses the scenario (see README), and the firmware slot persists
// in <state folder>/vireo-updater/simulated-vireo.state, the state folder being
// $XDG_STATE_HOME or else $HOME/.local/state; the folders are made as needed (mode 0700), and
// a state that cannot be kept is named on standard error once while the run goes on.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/sim/SimulatedVireo.h"

namespace HA::OS::SIM {

constexpr const char* kScenarioVariable = "HA_OS_VIREO";
// What a list that does not parse falls back to: the device at 0.3.5.
constexpr const char* kFallbackScenario = "fresh";

struct VireoScenario {
    bool attached = true;
    bool secondDevice = false;
    // When set, replaces what the state file holds: {valid, revision}.
    std::optional<std::pair<bool, WORD>> slot;
    VireoSettings settings;
    VireoFaults faults;
};

// Parses a comma-separated list of scenario words (an empty text is the default). False
// with a message naming the first word it does not understand; the scenario is then
// unchanged.
bool parseVireoScenario(const std::string& text, VireoScenario& scenario, std::string& error);

// The state file's path, or empty when no state folder can be found.
std::string simulatedDeviceStateFile();

// Attaches the devices the scenario asks for. A scenario that does not parse is reported on
// standard error with the word and kFallbackScenario is used. Calling it again replaces the devices.
void setUpSimulatedDevices();
// The devices set up, first the Vireo Interface, then the second one if any.
std::vector<std::shared_ptr<SimulatedVireo>> simulatedDevices();
// Detaches them silently.
void tearDownSimulatedDevices();

}  // namespace HA::OS::SIM
