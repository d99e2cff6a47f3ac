#include "os/files/Drives.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"

namespace HA::OS {

namespace {

struct DriveState {
    std::mutex mutex;
    std::vector<DriveEntry> drives{{'C', DRIVE_FIXED}};
    std::atomic<int> openDevices{0};
};

DriveState& state()
{
    static auto* s = new DriveState;
    return *s;
}

char upper(WChar c) { return static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c); }

bool findDrive(WChar letter, DriveEntry& entry)
{
    DriveState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const DriveEntry& d : s.drives) {
        if (upper(static_cast<WChar>(d.letter)) == upper(letter)) {
            entry = d;
            return true;
        }
    }
    return false;
}

class DriveDevice : public KernelObject {
public:
    explicit DriveDevice(char letter) : mLetter(letter) { ++state().openDevices; }
    void onClose() override { --state().openDevices; }
    char letter() const { return mLetter; }

private:
    char mLetter;
};

}  // namespace

DWORD getLogicalDriveStrings(DWORD length, WChar* buffer)
{
    std::vector<DriveEntry> drives;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        drives = state().drives;
    }
    std::sort(drives.begin(), drives.end(),
              [](const DriveEntry& a, const DriveEntry& b) { return upper(WChar(a.letter)) < upper(WChar(b.letter)); });
    WString text;
    for (const DriveEntry& d : drives) {
        text += static_cast<WChar>(d.letter);
        text += u":\\";
        text += WChar(0);
    }
    if (buffer == nullptr || length < text.size() + 1)
        return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

UINT getDriveType(const WString& root)
{
    DriveEntry entry{};
    if (root.size() < 2 || root[1] != u':' || !findDrive(root[0], entry))
        return DRIVE_NO_ROOT_DIR;
    return entry.type;
}

HANDLE openDriveDevice(const WString& path)
{
    DriveEntry entry{};
    if (path.size() != 6 || path.compare(0, 4, u"\\\\.\\") != 0 || path[5] != u':' || !findDrive(path[4], entry)) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!entry.deviceOpens) {
        setLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return registerHandle(std::make_shared<DriveDevice>(entry.letter));
}

bool driveIoControl(HANDLE device, DWORD ioControlCode)
{
    auto object = lookupHandleAs<DriveDevice>(device);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (ioControlCode != IOCTL_STORAGE_CHECK_VERIFY) {
        setLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    DriveEntry entry{};
    if (!findDrive(static_cast<WChar>(object->letter()), entry)) {
        setLastError(ERROR_DEVICE_NOT_CONNECTED);
        return false;
    }
    if (!entry.hasMedium) {
        setLastError(ERROR_NOT_READY);
        return false;
    }
    return true;
}

int openDriveDeviceCount() { return state().openDevices; }

DriveTableScope::DriveTableScope(std::vector<DriveEntry> drives)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    mPrevious = std::move(state().drives);
    state().drives = std::move(drives);
}

DriveTableScope::~DriveTableScope()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().drives = std::move(mPrevious);
}

void DriveTableScope::set(std::vector<DriveEntry> drives)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().drives = std::move(drives);
}

}  // namespace HA::OS
