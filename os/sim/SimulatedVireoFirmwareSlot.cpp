// The simulated Vireo Interface's firmware slot: what it holds, what a finished
// manifestation writes into it, and the state file that keeps it between runs.
#include "os/sim/SimulatedVireo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

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
    const std::string text = "flash-valid=" + std::to_string(mSettings.flashValid ? 1 : 0) + "\n" +
                             "revision=" + std::to_string(mSettings.firmwareRevision) + "\n";
    std::FILE* out = std::fopen(mSettings.stateFile.c_str(), "w");
    int error = out ? 0 : errno;
    if (out && std::fwrite(text.data(), 1, text.size(), out) != text.size())
        error = errno ? errno : EIO;
    if (out && std::fclose(out) != 0 && !error)
        error = errno;
    // Said once a run: the device goes on, what it changes is only not kept.
    if (error && !mStateWriteReported) {
        mStateWriteReported = true;
        std::fprintf(stderr, "os: the simulated Vireo Interface's state file %s cannot be written (%s); "
                             "the next run will not see what this one changes\n",
                     mSettings.stateFile.c_str(), std::strerror(error));
    }
}

void SimulatedVireo::load()
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mSettings.stateFile.empty())
        return;
    std::FILE* file = std::fopen(mSettings.stateFile.c_str(), "r");
    if (!file) {
        if (errno != ENOENT)
            mStateUnreadable = std::strerror(errno);
        return;  // none yet: the first run
    }
    std::string content;
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        content.append(buffer, n);
    const int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (readError) {
        mStateUnreadable = std::strerror(readError);
        return;
    }
    std::istringstream in(content);
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
