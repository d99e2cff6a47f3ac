// The simulated Vireo Interface's firmware slot: what it holds, what a finished
// manifestation writes into it, and the state file that keeps it between runs.
#include "os/sim/SimulatedVireo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

#include "os/devices/DeviceConfig.h"
#include "os/sim/FirmwareImage.h"

namespace HA::OS::SIM {

namespace {

// Puts `text` in the place of the file at `path` in one step: written beside it first, so
// that a run killed or a machine stopped half-way leaves the old file whole. 0, or errno.
int replaceFile(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    for (std::size_t done = 0; done < text.size() && !error;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n >= 0)
            done += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            error = errno;
    }
    // On the disk before the rename, so that the name never leads to an empty file.
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself is kept with the folder; a folder that cannot be synced loses nothing now.
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return 0;
}

}  // namespace

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
    const int error = replaceFile(mSettings.stateFile, text);
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
