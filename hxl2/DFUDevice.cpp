#include "hxl2/DFUDevice.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "hxl2/DeviceIdentity.h"
#include "hxl2/DeviceLog.h"
#include "hxl2/DeviceTable.h"
#include "hxl2/USBDeviceFactory.h"
#include "os/kernel/Clock.h"
#include "os/devices/DeviceConfig.h"

namespace HA::HXL2 {

namespace {

// The device may ask for longer waits between status requests; it is asked again sooner.
constexpr std::uint32_t kMaxPollWaitMs = 1000;
constexpr std::uint32_t kTolerantStepMs = 1000;
constexpr std::uint32_t kNotTolerantStepMs = 10000;

bool fail(DFUStatus& status, eDFUFailure code)
{
    status.bStatus = code;
    return false;
}

// Enumerates the filter's devices once, without notifications, calling `added` for each.
void enumerateOnce(const USBDeviceFilter& filter, USBDeviceFactory::tCallback added)
{
    USBDeviceFactory factory;
    factory.setCallbacks(std::move(added), {});
    factory.enumerate(filter, USBDeviceFactory::eWithoutNotifications);
    factory.clear();
}

}  // namespace

DFUDevice::DFUDevice() = default;

DFUDevice::~DFUDevice() = default;

void DFUDevice::onOpened()
{
    USBDevice::onOpened();
    readDfuInformation();
}

void DFUDevice::readDfuInformation()
{
    // Nothing of a device opened before may stay: without a usable reply the device counts as
    // one that gives no DFU information.
    mMode = 0;
    mBmAttributes = 0;
    mManifestationLimit = 0;
    mTransferSize = 0;
    mExtraInfo = 0;
    std::uint8_t wire[DFUInformation::kWireSize] = {};
    std::uint32_t returned = 0;
    if (deviceIoControl(OS::IOCTL_HA_DFU_GET_INFO, nullptr, 0, wire, sizeof wire, &returned) != 0
        || returned < DFUInformation::kMinWireSize)
        return;
    const DFUInformation reply = DFUInformation::fromWire(wire, returned);
    mMode = reply.mode;
    mBmAttributes = reply.bmAttributes;
    mManifestationLimit = reply.manifestationLimit;
    mTransferSize = reply.wTransferSize;
    mExtraInfo = reply.extraInfo;
}

bool DFUDevice::openAndCheck(const USBDeviceOSHandle& handle)
{
    return open(handle) && mMode != 0;
}

bool DFUDevice::detach()
{
    return deviceIoControl(OS::IOCTL_HA_DFU_DETACH, nullptr, 0, nullptr, 0) == 0;
}

bool DFUDevice::abort()
{
    return deviceIoControl(OS::IOCTL_HA_DFU_ABORT, nullptr, 0, nullptr, 0) == 0;
}

bool DFUDevice::leaveDFUMode()
{
    if (isOpen() && mMode == OS::kDfuModeRuntime)
        return true;
    return deviceIoControl(OS::IOCTL_HA_DFU_LEAVE, nullptr, 0, nullptr, 0) == 0;
}

bool DFUDevice::getState(std::uint8_t& state)
{
    std::uint8_t reply = 0;
    std::uint32_t returned = 0;
    if (deviceIoControl(OS::IOCTL_HA_DFU_GETSTATE, nullptr, 0, &reply, 1, &returned) != 0 || returned < 1)
        return false;
    state = reply;
    return true;
}

bool DFUDevice::getStatus(DFUStatus& status)
{
    std::uint8_t wire[DFUStatus::kWireSize] = {};
    std::uint32_t returned = 0;
    if (deviceIoControl(OS::IOCTL_HA_DFU_GETSTATUS, nullptr, 0, wire, sizeof wire, &returned) != 0
        || returned < sizeof wire) {
        status = DFUStatus{};
        return fail(status, eErrUnknown);
    }
    status = DFUStatus::fromWire(wire);
    return true;
}

bool DFUDevice::downloadBlock(const DFUDownloadBlock& block, DFUStatus& status)
{
    if (deviceIoControl(OS::IOCTL_HA_DFU_DNLOAD, &block, sizeof block, nullptr, 0) != 0)
        return fail(status, eErrUnknown);
    const OS::TimeMs giveUp = OS::Clock::now() + kBusyLimitMs;
    // Under a clock that only moves while we sleep, a device that asks for no wait would never
    // reach the time limit; a status request takes at least one bus frame (1 ms), so the same
    // limit also bounds the rounds.
    for (std::uint32_t round = 0;; ++round) {
        if (!getStatus(status) || status.bStatus != 0)
            return false;
        if (status.bState == eDfuDnloadIdle)
            return true;
        if (status.bState != eDfuDnBusy)
            return fail(status, eErrUnknown);
        if (OS::Clock::now() >= giveUp || round >= kBusyLimitMs)
            return fail(status, eErrUnknown);
        const std::uint32_t wait = std::min(status.bwPollTimeout, kMaxPollWaitMs);
        if (wait != 0)
            OS::Clock::sleep(wait);
    }
}

bool DFUDevice::download(const std::uint8_t* image, std::uint32_t length, DFUStatus& status)
{
    status = DFUStatus{};
    if (image == nullptr || length == 0)
        return fail(status, eErrTarget);
    if (!isOpen() || mMode != OS::kDfuModeDfu)
        return fail(status, eErrWrite);
    const std::uint32_t transfer = mTransferSize;
    if (transfer == 0 || transfer >= DFUDownloadBlock::kMaxData) {
        if (logVerbosity <= 2)
            logPrintf(2, "%s: Unsupported wTransferSize (%d)\n", "DFUDevice", static_cast<int>(transfer));
        return fail(status, eErrUnknown);
    }

    // 8 KB: kept off the worker's stack.
    auto block = std::make_unique<DFUDownloadBlock>();
    std::uint32_t number = 0;
    for (std::uint32_t offset = 0; offset < length; offset += transfer, ++number) {
        const std::uint32_t size = std::min(transfer, length - offset);
        block->wBlockNum = static_cast<std::uint16_t>(number);
        block->wLength = static_cast<std::uint16_t>(size);
        std::memcpy(block->data, image + offset, size);
        if (!downloadBlock(*block, status))
            return false;
    }

    // The closing block carries the count of full blocks: after a shorter last block that is
    // the last block's number again.
    block->wBlockNum = static_cast<std::uint16_t>(length / transfer);
    block->wLength = 0;
    if (deviceIoControl(OS::IOCTL_HA_DFU_DNLOAD, block.get(), sizeof *block, nullptr, 0) != 0)
        return fail(status, eErrUnknown);
    return manifest(status);
}

bool DFUDevice::manifest(DFUStatus& status)
{
    // A failing request leaves dfuERROR, which fails below.
    std::uint8_t state = eDfuError;
    getState(state);

    const bool tolerant = (mBmAttributes & kManifestationTolerant) != 0;
    const std::uint32_t stepMs = tolerant ? kTolerantStepMs : kNotTolerantStepMs;
    // A manifesting device is asked nothing before the poll time-out of its last status reply.
    std::uint32_t pollTimeoutMs = 0;
    // Nor is one that is not tolerant reset before the time its manifestation status announced.
    OS::TimeMs announcedEnd = OS::Clock::now();
    bool askedToLeave = false;
    std::uint32_t elapsedSeconds = 0;
    const OS::TimeMs giveUp = OS::Clock::now() + kTolerantManifestationLimitMs;

    for (;;) {
        switch (state) {
        case eAppIdle:
        case eDfuManifestWaitReset:
            status.bState = state;
            status.bStatus = 0;
            return true;
        case eDfuIdle:
            return getStatus(status) && status.bStatus == 0;
        case eDfuManifestSync: {
            // A device busy manifesting may not answer; only an error it reports ends here.
            DFUStatus reply;
            if (getStatus(reply)) {
                status = reply;
                if (reply.bStatus != 0)
                    return false;
                pollTimeoutMs = reply.bwPollTimeout;
                announcedEnd = OS::Clock::now() + reply.bwPollTimeout;
            }
            state = eDfuManifest;
            break;
        }
        case eDfuManifest:
            if (tolerant) {
                const OS::TimeMs now = OS::Clock::now();
                if (now >= giveUp)
                    return fail(status, eErrUnknown);
                // A longer wait the device asked for still ends at the bound.
                OS::Clock::sleep(pollTimeoutMs > stepMs
                                     ? static_cast<std::uint32_t>(std::min<OS::TimeMs>(pollTimeoutMs, giveUp - now))
                                     : stepMs);
                pollTimeoutMs = 0;
                if (!getState(state))
                    return fail(status, eErrUnknown);
            } else {
                OS::Clock::sleep(stepMs);
                if (elapsedSeconds > mManifestationLimit)
                    return fail(status, eErrUnknown);
                const USBDeviceFilter* record = findDeviceFilter(runtimeProductId(info().productId),
                                                                 USBDeviceFilter::eMakerUsb);
                if (record != nullptr)
                    enumerateOnce(*record, [this, &state](const USBDeviceOSHandle& handle, const USBDeviceFilter&) {
                        reopenAfterManifestation(handle, state);
                    });
                // A device that follows the standard strictly waits in dfuMANIFEST-WAIT-RESET
                // for a reset, and may stall a status request there: it is asked once, on the
                // handle still open, to leave DFU mode, which the driver does by resetting it.
                // Not before its announced manifestation time is over: a reset while it still
                // writes its flash would lose the image. One that has left the bus only fails
                // this request.
                if (state != eDfuManifestWaitReset && !askedToLeave && OS::Clock::now() >= announcedEnd) {
                    askedToLeave = true;
                    leaveDFUMode();
                }
            }
            elapsedSeconds += stepMs / 1000;
            break;
        default:
            return fail(status, eErrUnknown);
        }
    }
}

void DFUDevice::reopenAfterManifestation(const USBDeviceOSHandle& handle, std::uint8_t& state)
{
    USBDeviceInfo found;
    if (!readUSBDeviceInfo(handle.path, found, eStrings::eWithStrings))
        return;
    if (found.productId != runtimeProductId(info().productId) || found.serialNumber != info().serialNumber)
        return;
    close();
    open(handle);
    state = eDfuManifestWaitReset;
}

bool DFUDevice::switchToDFUMode()
{
    if (isOpen() && mMode == OS::kDfuModeDfu)
        return true;
    const std::uint16_t runtimeId = runtimeProductId(info().productId);
    const USBDeviceFilter* record = findDeviceFilter(info().vendorId, runtimeId, USBDeviceFilter::eMakerUsb);
    if (record == nullptr)
        return false;
    const std::string serial = info().serialNumber;
    if (isOpen()) {
        close();
        // The detached device needs this long to leave the bus and come back in DFU mode.
        OS::Clock::sleep(kSwitchWaitMs);
    }
    USBDeviceFilter dfuRecord = *record;
    dfuRecord.productId = dfuModeProductId(runtimeId);
    enumerateOnce(dfuRecord, [this, &serial](const USBDeviceOSHandle& handle, const USBDeviceFilter& filter) {
        openIfSerialMatches(handle, filter, this, serial);
    });
    return isOpen();
}

void DFUDevice::openIfSerialMatches(const USBDeviceOSHandle& handle, const USBDeviceFilter& filter, DFUDevice* device,
                                    const std::string& serial)
{
    if (device == nullptr || device->isOpen())
        return;
    if (!serial.empty()) {
        USBDeviceInfo found;
        if (!filter.readDeviceInfo(handle.path, found, eStrings::eWithStrings) || found.serialNumber != serial)
            return;
    }
    device->open(handle);
}

}  // namespace HA::HXL2
