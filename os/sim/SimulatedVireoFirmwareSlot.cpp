// The simulated Vireo Interface's firmware slot: what it holds, what a finished
// manifestation writes into it, and the state file that keeps it between runs.
#include "os/sim/SimulatedVireo.h"

#include <fstream>

#include "os/devices/DeviceConfig.h"
#include "os/sim/FirmwareImage.h"

namespace HA::OS::SIM {

void SimulatedVireo::setFirmwareSlot(bool valid, WORD revision)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mSettings.flashValid = valid;
    mSettings.firmwareRevision = revision;
    persist();
}

void SimulatedVireo::manifestationDone(std::uint64_t generation)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (generation != mGeneration || mMode != eVireoMode::Dfu)
        return;
    FirmwareHeader header;
    const std::vector<BYTE>& image = mDfu.received();
    bool valid = verifyFirmwareImage(image.data(), image.size(), kHarnwickVendorId, kVireoProductId, &header);
    if (valid) {
        mSettings.firmwareRevision = mFaults.revisionAfterUpdate.value_or(header.revision);
        mSettings.flashValid = true;
        persist();
    }
    mDfu.finishManifestation(valid);
    // A strict device waits for the host to have it reset.
    if (mDfu.state() == eDfuState::dfuMANIFEST_WAIT_RESET && !mSettings.strictDfu)
        scheduleReset(eReset::Manifestation);
}

void SimulatedVireo::finishDueManifestation()
{
    if (mSettings.strictDfu && mDfu.state() == eDfuState::dfuMANIFEST && Clock::now() >= mManifestationEndsAt)
        manifestationDone(mGeneration);
}

void SimulatedVireo::persist()
{
    if (mSettings.stateFile.empty())
        return;
    std::ofstream out(mSettings.stateFile, std::ios::trunc);
    out << "flash-valid=" << (mSettings.flashValid ? 1 : 0) << "\n"
        << "revision=" << mSettings.firmwareRevision << "\n";
}

void SimulatedVireo::load()
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mSettings.stateFile.empty())
        return;
    std::ifstream in(mSettings.stateFile);
    if (!in)
        return;  // none yet: the first run
    std::string line;
    std::optional<bool> valid;
    std::optional<unsigned long> revision;
    bool damaged = false;
    while (!damaged && std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        try {
            if (key == "flash-valid")
                valid = std::stoul(value) != 0;
            else if (key == "revision")
                revision = std::stoul(value);
        } catch (...) {
            damaged = true;
        }
    }
    if (!damaged && valid && revision && *revision <= 0xFFFF) {
        mSettings.flashValid = *valid;
        mSettings.firmwareRevision = static_cast<WORD>(*revision);
        return;
    }
    // A damaged state file counts as absent: the device keeps its defaults.
    mStateDamaged = true;
}

}  // namespace HA::OS::SIM
