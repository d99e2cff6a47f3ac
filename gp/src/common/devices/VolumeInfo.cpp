#include "gp/src/common/devices/VolumeInfo.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "gp/src/common/devices/DeviceNotificationListener.h"
#include "gp/src/common/process/Trace.h"
#include "gp/src/common/text/FormatString.h"
#include "gp/src/common/text/Utf8.h"
#include "os/files/Drives.h"
#include "os/kernel/Kernel.h"

namespace HA::GP {

namespace {

constexpr const char* kTraceTag = "+GP.VolumeInfo.rescanInternal";

struct ObserverEntry {
    std::uint64_t id;
    std::string nameFilter;
    VolumeObserver* observer;
};

std::atomic<bool> gInitialized{false};
std::recursive_mutex gListMutex;
std::vector<VolumeInfo::tVolume> gVolumes;
std::recursive_mutex gObserverMutex;
std::vector<ObserverEntry> gObservers;
std::uint64_t gNextObserverId = 1;

int kindOf(char letter, OS::UINT driveType)
{
    switch (driveType) {
    case OS::DRIVE_NO_ROOT_DIR:
        trace(kTraceTag, "DriveType DRIVE_NO_ROOT_DIR detected!?!");
        return VolumeInfo::eFixed;
    case OS::DRIVE_REMOVABLE:
        return letter == 'A' || letter == 'B' ? VolumeInfo::eFloppy : VolumeInfo::eRemovable;
    case OS::DRIVE_FIXED:
    case OS::DRIVE_RAMDISK:
        return VolumeInfo::eFixed;
    case OS::DRIVE_REMOTE:
        return VolumeInfo::eNetwork;
    case OS::DRIVE_CDROM:
        return VolumeInfo::eCdRom;
    default:
        trace(kTraceTag, formatString("unknown DriveType: %d", driveType));
        return VolumeInfo::eUnknown;
    }
}

// False when the drive's device opens but reports no medium; a device that cannot be
// opened counts as present.
bool hasMedium(char letter)
{
    OS::WString path = u"\\\\.\\";
    path += static_cast<OS::WChar>(letter);
    path += u':';
    OS::HANDLE device = OS::openDriveDevice(path);
    if (device == OS::INVALID_HANDLE_VALUE)
        return true;
    const bool present = OS::driveIoControl(device, OS::IOCTL_STORAGE_CHECK_VERIFY);
    OS::closeHandle(device);
    return present;
}

}  // namespace

bool VolumeInfo::init()
{
    gInitialized = true;
    {
        std::lock_guard<std::recursive_mutex> lock(gListMutex);
        rescanInternal();
    }
    if (DETAIL::deviceNotificationWindowPresent())
        addDeviceNotificationListener(&DETAIL::deviceNotificationHelper());
    return true;
}

void VolumeInfo::shutdown()
{
    if (!gInitialized)
        return;
    if (DETAIL::deviceNotificationWindowPresent())
        removeDeviceNotificationListener(&DETAIL::deviceNotificationHelper());
    {
        std::lock_guard<std::recursive_mutex> lock(gListMutex);
        gVolumes.clear();
    }
    {
        std::lock_guard<std::recursive_mutex> lock(gObserverMutex);
        gObservers.clear();
    }
    gInitialized = false;
}

bool VolumeInfo::isInitialized() { return gInitialized; }

void VolumeInfo::onVolumeChange(bool removed, const std::string& name)
{
    if (!gInitialized)
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(gListMutex);
        if (!removed)
            rescanInternal();
        auto it = std::find_if(gVolumes.begin(), gVolumes.end(), [&](const tVolume& v) { return v.name == name; });
        if (removed && it != gVolumes.end())
            gVolumes.erase(it);
    }
    // Last registered first; an observer that removes observers makes none of the others
    // miss the notice or get it twice.
    std::lock_guard<std::recursive_mutex> lock(gObserverMutex);
    const std::vector<ObserverEntry> snapshot = gObservers;
    for (auto e = snapshot.rbegin(); e != snapshot.rend(); ++e) {
        const std::uint64_t id = e->id;
        bool registered = std::any_of(gObservers.begin(), gObservers.end(),
                                      [id](const ObserverEntry& o) { return o.id == id; });
        if (registered && (e->nameFilter.empty() || e->nameFilter == name))
            e->observer->onVolumeChange(removed, name);
    }
}

bool VolumeInfo::rescanInternal()
{
    std::lock_guard<std::recursive_mutex> lock(gListMutex);
    gVolumes.clear();
    OS::DWORD size = OS::getLogicalDriveStrings(0, nullptr);
    std::vector<OS::WChar> buffer(std::size_t(size) + 1, 0);
    OS::DWORD written = OS::getLogicalDriveStrings(size + 1, buffer.data());
    if (written == 0 || written > size)
        return false;
    // Roots "X:\" one after the other, each ended by a NUL.
    for (std::size_t pos = 0; pos < written && buffer[pos] != 0;) {
        OS::WString root(buffer.data() + pos);
        pos += root.size() + 1;
        if (root.size() < 2 || root[1] != u':')
            continue;
        root[0] = OS::WChar(upperCodePoint(root[0]));
        const char letter = static_cast<char>(root[0]);
        const int kind = kindOf(letter, OS::getDriveType(root));
        const std::string name = toUtf8(root.substr(0, 2));
        if (kind != eFloppy && (kind & (eFixed | eNetwork)) == 0 && !hasMedium(letter))
            continue;
        gVolumes.push_back(tVolume{name, kind});
    }
    return !gVolumes.empty();
}

std::vector<VolumeInfo::tVolume> VolumeInfo::volumes()
{
    std::lock_guard<std::recursive_mutex> lock(gListMutex);
    return gVolumes;
}

void VolumeInfo::addObserver(VolumeObserver* observer, const std::string& nameFilter)
{
    if (observer == nullptr)
        return;
    std::lock_guard<std::recursive_mutex> lock(gObserverMutex);
    gObservers.push_back(ObserverEntry{gNextObserverId++, nameFilter, observer});
}

void VolumeInfo::removeObserver(VolumeObserver* observer)
{
    std::lock_guard<std::recursive_mutex> lock(gObserverMutex);
    auto it = std::find_if(gObservers.begin(), gObservers.end(),
                           [observer](const ObserverEntry& o) { return o.observer == observer; });
    if (it != gObservers.end())
        gObservers.erase(it);
}

}  // namespace HA::GP
