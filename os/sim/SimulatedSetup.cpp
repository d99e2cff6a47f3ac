#include "os/sim/SimulatedSetup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>
#include <sys/stat.h>

#include "os/devices/DeviceConfig.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Process.h"

namespace HA::OS::SIM {

namespace {

struct Installed {
    std::mutex mutex;
    std::vector<std::shared_ptr<SimulatedVireo>> devices;
};

Installed& installed()
{
    static Installed* i = new Installed;
    return *i;
}

// A number in decimal or, with 0x, hexadecimal; false for anything else or out of range.
bool parseNumber(const std::string& text, unsigned long max, unsigned long& value)
{
    if (text.empty())
        return false;
    size_t used = 0;
    try {
        value = std::stoul(text, &used, 0);
    } catch (...) {
        return false;
    }
    return used == text.size() && value <= max;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

bool applyWord(const std::string& word, VireoScenario& s)
{
    std::string name = word, arg;
    auto eq = word.find('=');
    if (eq != std::string::npos) {
        name = word.substr(0, eq);
        arg = word.substr(eq + 1);
    }
    unsigned long n = 0;
    auto number = [&](unsigned long max) { return parseNumber(arg, max, n); };
    auto flag = [&](bool& field) {
        field = true;
        return arg.empty();
    };
    if (name == "default")
        return arg.empty();
    if (name == "none") {
        s.attached = false;
        return arg.empty();
    }
    if (name == "up-to-date") {
        s.slot = {true, 0x0036};
        return arg.empty();
    }
    if (name == "fresh") {
        s.slot = {true, 0x0035};
        return arg.empty();
    }
    if (name == "erased") {
        s.slot = {false, 0x0035};
        return arg.empty();
    }
    if (name == "tolerant") {
        s.settings.bmAttributes |= kDfuManifestationTolerant;
        return arg.empty();
    }
    if (name == "strict")
        return flag(s.settings.strictDfu);
    if (name == "dfu-revision" && number(0xFFFF)) {
        s.settings.dfuModeRevision = static_cast<WORD>(n);
        return true;
    }
    if (name == "second-device")
        return flag(s.secondDevice);
    if (name == "transfer-size" && number(0xFFFF)) {
        s.faults.transferSize = static_cast<WORD>(n);
        return true;
    }
    if (name == "stall-block" && number(0xFFFF)) {
        s.faults.stallBlock = static_cast<WORD>(n);
        return true;
    }
    if (name == "error-block") {
        auto parts = split(arg, ':');
        unsigned long status = static_cast<unsigned long>(eDfuStatus::errWRITE);
        if (parts.empty() || parts.size() > 2 || !parseNumber(parts[0], 0xFFFF, n) ||
            (parts.size() == 2 && !parseNumber(parts[1], 0x0F, status)) || status == 0)
            return false;
        s.faults.errorBlock = static_cast<WORD>(n);
        s.faults.errorStatus = static_cast<eDfuStatus>(status);
        return true;
    }
    if (name == "busy-forever") {
        if (arg.empty())
            n = 0;
        else if (!number(0xFFFF))
            return false;
        s.faults.busyForeverBlock = static_cast<WORD>(n);
        return true;
    }
    if (name == "timeout") {
        auto parts = split(arg, ':');
        unsigned long code = 0, nth = 0, late = 0;
        if (parts.size() < 2 || parts.size() > 3 || !parseNumber(parts[0], 0xFFFFFFFF, code) ||
            !parseNumber(parts[1], 0xFFFFFFFF, nth) || nth == 0 ||
            (parts.size() == 3 && !parseNumber(parts[2], 0xFFFFFFFF, late)))
            return false;
        VireoFaults::tTimeout t;
        t.code = static_cast<DWORD>(code);
        t.nth = static_cast<unsigned>(nth);
        if (parts.size() == 3)
            t.lateMs = static_cast<DWORD>(late);
        s.faults.timeouts.push_back(t);
        return true;
    }
    if (name == "vanish-block" && number(0xFFFF)) {
        s.faults.vanishBlock = static_cast<WORD>(n);
        return true;
    }
    if (name == "wrong-serial")
        return flag(s.faults.wrongSerialAfterDetach);
    if (name == "no-return") {
        if (arg == "detach")
            s.faults.noReturnAfterDetach = true;
        else if (arg == "manifest")
            s.faults.noReturnAfterManifestation = true;
        else if (arg == "leave")
            s.faults.noReturnAfterLeave = true;
        else
            return false;
        return true;
    }
    if (name == "late-return" && number(0xFFFFFFFF)) {
        s.faults.lateReturnMs = static_cast<DWORD>(n);
        return true;
    }
    if (name == "wrong-revision" && number(0xFFFF)) {
        s.faults.revisionAfterUpdate = static_cast<WORD>(n);
        return true;
    }
    if (name == "dfu-info" || name == "descriptor") {
        eInfoReply reply;
        if (arg == "short")
            reply = eInfoReply::Short;
        else if (arg == "none")
            reply = eInfoReply::None;
        else
            return false;
        (name == "dfu-info" ? s.faults.dfuInfo : s.faults.deviceDescriptor) = reply;
        return true;
    }
    if (name == "no-strings")
        return flag(s.faults.failStrings);
    if (name == "open-refused") {
        s.faults.openError = ERROR_ACCESS_DENIED;
        return arg.empty();
    }
    return false;
}

// Makes the folder and every missing one above it, as mkdir -p does, with mode 0700 for
// those it makes. False with the path that could not be made and why.
bool makeFolders(const std::string& folder, std::string& why)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string path = folder.substr(0, slash);
        if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            why = path + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    const int error = ::stat(folder.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (error)
        why = folder + ": " + std::strerror(error);
    return error == 0;
}

}  // namespace

bool parseVireoScenario(const std::string& text, VireoScenario& scenario, std::string& error)
{
    VireoScenario s = scenario;
    for (const std::string& word : split(text, ',')) {
        if (word.empty())
            continue;
        if (!applyWord(word, s)) {
            error = "unknown or malformed scenario word \"" + word + "\"";
            return false;
        }
    }
    scenario = s;
    return true;
}

std::string simulatedDeviceStateFile()
{
    std::string base;
    if (auto xdg = getEnvironmentVariable("XDG_STATE_HOME"); xdg && !xdg->empty())
        base = *xdg;
    else if (auto home = getEnvironmentVariable("HOME"); home && !home->empty())
        base = *home + "/.local/state";
    else
        return std::string();
    return base + "/vireo-updater/simulated-vireo.state";
}

void setUpSimulatedDevices()
{
    tearDownSimulatedDevices();
    VireoScenario scenario;
    std::string error;
    if (auto text = getEnvironmentVariable(kScenarioVariable)) {
        if (!parseVireoScenario(*text, scenario, error)) {
            // The words that parsed do not say what was meant: start as an unset variable
            // starts run.sh, at 0.3.5.
            std::fprintf(stderr, "%s: %s; using \"%s\" instead\n", kScenarioVariable, error.c_str(),
                         kFallbackScenario);
            scenario = VireoScenario{};
            parseVireoScenario(kFallbackScenario, scenario, error);
        }
    }
    const std::string file = simulatedDeviceStateFile();
    const char* starts = scenario.settings.flashValid ? "firmware 0.3.5" : "no firmware";
    if (!file.empty()) {
        std::string why;
        if (makeFolders(file.substr(0, file.rfind('/')), why))
            scenario.settings.stateFile = file;
        else
            std::fprintf(stderr, "os: the simulated Vireo Interface's state cannot be kept (%s); "
                                 "the next run will not see what this one changes\n",
                         why.c_str());
    }
    std::vector<std::shared_ptr<SimulatedVireo>> devices;
    auto vireo = SimulatedVireo::makeShared(scenario.settings, scenario.faults);
    if (scenario.slot)
        vireo->setFirmwareSlot(scenario.slot->first, scenario.slot->second);
    else if (vireo->stateFileDamaged())
        // The run goes on from the defaults, which the next save writes over the damage.
        std::fprintf(stderr, "os: the simulated Vireo Interface's state file %s is damaged; it starts with %s\n",
                     file.c_str(), starts);
    else if (!vireo->stateFileUnreadable().empty())
        std::fprintf(stderr, "os: the simulated Vireo Interface's state file %s cannot be read (%s); it starts with %s\n",
                     file.c_str(), vireo->stateFileUnreadable().c_str(), starts);
    devices.push_back(vireo);
    if (scenario.secondDevice) {
        VireoSettings other = scenario.settings;
        other.serialNumber = u"VI2401A0999";
        other.stateFile.clear();
        devices.push_back(SimulatedVireo::makeShared(other, scenario.faults));
    }
    if (scenario.attached)
        for (auto& d : devices)
            d->plugIn();
    std::lock_guard<std::mutex> lock(installed().mutex);
    installed().devices = std::move(devices);
}

std::vector<std::shared_ptr<SimulatedVireo>> simulatedDevices()
{
    std::lock_guard<std::mutex> lock(installed().mutex);
    return installed().devices;
}

void tearDownSimulatedDevices()
{
    std::vector<std::shared_ptr<SimulatedVireo>> old;
    {
        std::lock_guard<std::mutex> lock(installed().mutex);
        old.swap(installed().devices);
    }
}

}  // namespace HA::OS::SIM
