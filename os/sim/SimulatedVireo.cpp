// The simulated Vireo Interface as a device: its making and ending, its comings and goings
// on the bus, and what tests read of it. Its requests and its firmware slot have files of
// their own.
#include "os/sim/SimulatedVireo.h"

#include <algorithm>

#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceRegistry.h"
#include "os/devices/GuidText.h"
#include "os/kernel/Kernel.h"
#include "os/sim/FirmwareImage.h"

namespace HA::OS::SIM {

namespace {

WString hex4(WORD v)
{
    static const char16_t* digits = u"0123456789ABCDEF";
    WString s;
    for (int i = 3; i >= 0; --i)
        s.push_back(digits[(v >> (4 * i)) & 0xF]);
    return s;
}

WString lowerAscii(WString s)
{
    for (WChar& c : s)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<WChar>(c - u'A' + u'a');
    return s;
}

}  // namespace

class SimulatedVireo::Driver : public DeviceDriver {
public:
    Driver(std::weak_ptr<SimulatedVireo> device, std::uint64_t generation)
        : mDevice(std::move(device)), mGeneration(generation)
    {
    }
    DWORD onOpen(DeviceInterfaceId, const WString&) override
    {
        auto d = mDevice.lock();
        return d ? d->onOpen(mGeneration) : ERROR_DEVICE_NOT_CONNECTED;
    }
    void onRequest(const std::shared_ptr<IoRequest>& request) override
    {
        if (auto d = mDevice.lock())
            d->onRequest(mGeneration, request);
        else
            request->complete(ERROR_DEVICE_NOT_CONNECTED);
    }
    void onCancel(const std::shared_ptr<IoRequest>& request) override
    {
        if (auto d = mDevice.lock())
            d->onCancel(request);
        else
            request->complete(ERROR_OPERATION_ABORTED);
    }

private:
    std::weak_ptr<SimulatedVireo> mDevice;
    std::uint64_t mGeneration;
};

std::shared_ptr<SimulatedVireo> SimulatedVireo::makeShared(VireoSettings settings, VireoFaults faults)
{
    std::shared_ptr<SimulatedVireo> d(new SimulatedVireo(std::move(settings), std::move(faults)));
    d->load();
    return d;
}

SimulatedVireo::SimulatedVireo(VireoSettings settings, VireoFaults faults)
    : mSettings(std::move(settings)), mFaults(std::move(faults)), mDfu({}, {})
{
    mDfu.setSettings(dfuSettings());
    mDfu.setFaults(dfuFaults());
}

SimulatedVireo::~SimulatedVireo()
{
    for (Clock::TimerId id : mTimers)
        Clock::cancel(id);
    if (mMode != eVireoMode::Absent)
        removeDeviceInterface(mInterfaceId, eBroadcast::Silent);
    for (auto& r : mHeld)
        r->complete(ERROR_DEVICE_NOT_CONNECTED);
    std::lock_guard<std::mutex> lock(mGateMutex);
    mGateOpen = true;
    mGateChanged.notify_all();
}

DfuStateMachine::tSettings SimulatedVireo::dfuSettings() const
{
    DfuStateMachine::tSettings s;
    s.bmAttributes = mSettings.bmAttributes;
    s.transferSize = mFaults.transferSize.value_or(mSettings.transferSize);
    s.pollTimeoutMs = mSettings.pollTimeoutMs;
    s.busyRounds = mSettings.busyRounds;
    // A strict device asks the host to wait out the whole manifestation.
    s.manifestPollTimeoutMs = mSettings.strictDfu ? std::max(mSettings.manifestPollTimeoutMs, mSettings.manifestationMs)
                                                  : mSettings.manifestPollTimeoutMs;
    s.flashSize = kFirmwareImageSize;
    s.strict = mSettings.strictDfu;
    return s;
}

DfuStateMachine::tFaults SimulatedVireo::dfuFaults() const
{
    DfuStateMachine::tFaults f;
    f.stallBlock = mFaults.stallBlock;
    f.errorBlock = mFaults.errorBlock;
    f.errorStatus = mFaults.errorStatus;
    f.busyForeverBlock = mFaults.busyForeverBlock;
    return f;
}

bool SimulatedVireo::plugIn()
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mMode != eVireoMode::Absent)
        return false;
    appear(mSettings.flashValid ? eVireoMode::Runtime : eVireoMode::Dfu, eSerial::Own);
    return true;
}

bool SimulatedVireo::unplug()
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    const bool present = mMode != eVireoMode::Absent;
    disappear();
    // A device on its way back (after a reset) is not there to return.
    ++mGeneration;
    return present;
}

void SimulatedVireo::powerCycle()
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    unplug();
    plugIn();
}

void SimulatedVireo::setFaults(const VireoFaults& faults)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mFaults = faults;
    mDfu.setSettings(dfuSettings());
    mDfu.setFaults(dfuFaults());
}

VireoFaults SimulatedVireo::faults() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mFaults;
}

eVireoMode SimulatedVireo::mode() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mMode;
}

WString SimulatedVireo::path() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mPath;
}

eDfuState SimulatedVireo::dfuState() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mMode == eVireoMode::Dfu ? mDfu.state() : mAppState;
}

WORD SimulatedVireo::firmwareRevision() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mSettings.firmwareRevision;
}

bool SimulatedVireo::isFlashValid() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mSettings.flashValid;
}

WORD SimulatedVireo::productId() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return reportedProductId();
}

WString SimulatedVireo::serialNumber() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mSettings.serialNumber;
}

std::vector<JournalEntry> SimulatedVireo::journal() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mJournal;
}

std::vector<BusEvent> SimulatedVireo::busEvents() const
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mBusEvents;
}

void SimulatedVireo::clearJournal()
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mJournal.clear();
    mBusEvents.clear();
}

WString SimulatedVireo::pathFor(WORD productId, WORD revision, const WString& serial)
{
    // The platform's paths mix an upper-case instance part with a lower-case class part.
    return u"\\\\?\\USB#VID_" + hex4(kHarnwickVendorId) + u"&PID_" + hex4(productId) + u"&REV_" + hex4(revision) +
           u"#" + serial + u"#" + lowerAscii(stringFromGuid(kHadfuInterfaceClass));
}

WORD SimulatedVireo::reportedProductId() const
{
    return mMode == eVireoMode::Dfu ? kVireoDfuProductId : kVireoProductId;
}

WORD SimulatedVireo::reportedRevision() const
{
    // The boot loader reports its own number when it has one, else the revision of the
    // firmware in the slot, 0 when it is erased.
    if (mMode == eVireoMode::Dfu && mSettings.dfuModeRevision)
        return *mSettings.dfuModeRevision;
    if (mMode == eVireoMode::Dfu && !mSettings.flashValid)
        return 0;
    return mSettings.firmwareRevision;
}

// ---- presence on the bus

void SimulatedVireo::appear(eVireoMode mode, eSerial serial)
{
    mMode = mode;
    ++mGeneration;
    mAppState = eDfuState::appIDLE;
    if (mode == eVireoMode::Dfu) {
        mDfu.setSettings(dfuSettings());
        mDfu.setFaults(dfuFaults());
        mDfu.reset();
    }
    mReportedSerial = serial == eSerial::Wrong ? mSettings.serialNumber + u"X" : mSettings.serialNumber;
    mPath = pathFor(reportedProductId(), reportedRevision(), mReportedSerial);
    DeviceInterfaceInfo info;
    info.interfaceClass = kHadfuInterfaceClass;
    info.path = mPath;
    info.driver = std::make_shared<Driver>(weak_from_this(), mGeneration);
    mBusEvents.push_back({BusEvent::eKind::Arrived, mode, mPath, Clock::now()});
    mInterfaceId = addDeviceInterface(std::move(info), eBroadcast::Broadcast);
}

void SimulatedVireo::disappear()
{
    if (mMode == eVireoMode::Absent)
        return;
    mBusEvents.push_back({BusEvent::eKind::Removed, mMode, mPath, Clock::now()});
    mMode = eVireoMode::Absent;
    ++mGeneration;
    std::vector<std::shared_ptr<IoRequest>> held;
    held.swap(mHeld);
    for (auto& r : held)
        r->complete(ERROR_DEVICE_NOT_CONNECTED);
    removeDeviceInterface(mInterfaceId, eBroadcast::Broadcast);
    mInterfaceId = 0;
    mPath.clear();
}

void SimulatedVireo::scheduleReset(eReset reason)
{
    std::weak_ptr<SimulatedVireo> self = weak_from_this();
    std::uint64_t generation = mGeneration;
    mTimers.push_back(Clock::scheduleAfter(mSettings.resetDelayMs, [self, generation, reason] {
        if (auto d = self.lock())
            d->resetNow(generation, reason);
    }));
}

void SimulatedVireo::resetNow(std::uint64_t generation, eReset reason)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (generation != mGeneration || mMode == eVireoMode::Absent)
        return;
    eVireoMode target = reason == eReset::Detach || !mSettings.flashValid ? eVireoMode::Dfu : eVireoMode::Runtime;
    eSerial serial = reason == eReset::Detach && mFaults.wrongSerialAfterDetach ? eSerial::Wrong : eSerial::Own;
    bool& noReturn = reason == eReset::Detach          ? mFaults.noReturnAfterDetach
                     : reason == eReset::Manifestation ? mFaults.noReturnAfterManifestation
                                                       : mFaults.noReturnAfterLeave;
    disappear();
    if (noReturn) {
        noReturn = false;
        return;
    }
    std::weak_ptr<SimulatedVireo> self = weak_from_this();
    std::uint64_t away = mGeneration;
    mTimers.push_back(
        Clock::scheduleAfter(mSettings.returnDelayMs + mFaults.lateReturnMs, [self, away, target, serial] {
            auto d = self.lock();
            if (!d)
                return;
            std::lock_guard<std::recursive_mutex> lock(d->mMutex);
            if (d->mGeneration == away && d->mMode == eVireoMode::Absent)
                d->appear(target, serial);
        }));
}

}  // namespace HA::OS::SIM
