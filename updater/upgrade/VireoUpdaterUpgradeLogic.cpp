#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"

#include "gp/src/common/text/FormatString.h"
#include "hxl2/DeviceTable.h"
#include "hxl2/USBDeviceFactory.h"
#include "os/kernel/Clock.h"
#include "os/devices/DeviceConfig.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "resources/firmware/FirmwareImage.h"

namespace HA {

VireoUpdaterUpgradeLogic::VireoUpdaterUpgradeLogic()
    : mWorkerDone(OS::createEvent(OS::eReset::Manual, false))
{
}

VireoUpdaterUpgradeLogic::~VireoUpdaterUpgradeLogic()
{
    // The worker uses this object and its caller's result: it must be gone before either.
    joinWorker();
    OS::closeHandle(mWorkerDone);
}

bool VireoUpdaterUpgradeLogic::isOpenInDfuMode() const
{
    return isOpen() && mode() == OS::kDfuModeDfu;
}

std::string VireoUpdaterUpgradeLogic::revisionText(std::uint16_t bcdDevice)
{
    return GP::formatString("%d.%d.%d", bcdDevice >> 8, (bcdDevice >> 4) & 15, bcdDevice & 15);
}

bool VireoUpdaterUpgradeLogic::scanForDevice()
{
    // A device that is not found again must not stay open on its old path.
    close();
    HXL2::USBDeviceFactory factory;
    factory.setCallbacks(
        [this](const HXL2::USBDeviceOSHandle& handle, const HXL2::USBDeviceFilter& filter) {
            onDeviceAdded(handle, filter);
        },
        {});
    HXL2::USBDeviceFilter filter = HXL2::kVireoInterfaceFilter;
    factory.enumerate(filter);
    if (!isOpen()) {
        filter.productId = HXL2::dfuModeProductId(filter.productId);
        factory.enumerate(filter);
    }
    factory.clear();
    return isOpen();
}

void VireoUpdaterUpgradeLogic::onDeviceAdded(const HXL2::USBDeviceOSHandle& handle, const HXL2::USBDeviceFilter&)
{
    // Only a device whose driver answers the DFU information request is taken.
    HXL2::DFUDevice probe;
    if (probe.openAndCheck(handle))
        openAndCheck(handle);
}

bool VireoUpdaterUpgradeLogic::enterUpdateMode()
{
    if (!isOpen())
        return false;
    if (mode() == OS::kDfuModeDfu)
        return true;
    return detach() && switchToDFUMode() && transferSize() != 0;
}

bool VireoUpdaterUpgradeLogic::findUpdateModeDevice()
{
    if (isOpenInDfuMode())
        return true;
    return switchToDFUMode() && transferSize() != 0;
}

bool VireoUpdaterUpgradeLogic::startUpdate(std::atomic<int>& result)
{
    // A running worker owns the device; a finished one is joined before the next starts. A
    // refusal is a failure like a device not in DFU mode, so that the caller never shows 0.
    if (!waitForWorker(0) || !isOpenInDfuMode()) {
        result.store(eNotInDfuMode, std::memory_order_release);
        return false;
    }
    result.store(eRunning, std::memory_order_release);
    OS::resetEvent(mWorkerDone);
    mWorker = boost::thread([this, &result] {
        // Set however the worker ends, so that the timed waits see it.
        struct Done {
            OS::HANDLE event;
            ~Done() { OS::setEvent(event); }
        } done{mWorkerDone};
        try {
            writeFirmware(result);
        } catch (const boost::thread_interrupted&) {
            // Stopped at the final pause; the result stays 0.
        }
    });
    return true;
}

void VireoUpdaterUpgradeLogic::writeFirmware(std::atomic<int>& result)
{
    if (!isOpenInDfuMode()) {
        result.store(eNotInDfuMode, std::memory_order_release);
        return;
    }
    HXL2::DFUStatus status;
    int outcome = eSucceeded;
    if (!download(Firmware::imageData(), static_cast<std::uint32_t>(Firmware::imageSize()), status)) {
        abort();
        outcome = eDownloadFailed;
    }
    // Either way the device goes back to its runtime firmware.
    leaveDFUMode();
    close();
    OS::Clock::sleep(kSettleMs, OS::Clock::eInterrupt::Interruptible);
    result.store(outcome, std::memory_order_release);
}

void VireoUpdaterUpgradeLogic::getDeviceInfo(HXL2::USBDeviceInfo& info, std::string& installed,
                                             std::string& newest, bool& updateNeeded) const
{
    newest = revisionText(kNewestRevision);
    if (!isOpen()) {
        info.bcdDevice = 0;
        updateNeeded = false;
        return;
    }
    info = this->info();
    installed = revisionText(info.bcdDevice);
    // In DFU mode bcdDevice is the boot loader's, not the firmware's; a device that stays
    // there after a failed download has none that can start.
    updateNeeded = mode() == OS::kDfuModeDfu || isUpdateNeeded(info.bcdDevice);
}

bool VireoUpdaterUpgradeLogic::waitForWorker(OS::DWORD ms)
{
    if (!mWorker.joinable())
        return true;
    if (OS::waitForSingleObject(mWorkerDone, ms) != OS::WAIT_OBJECT_0)
        return false;
    // The worker has nothing left to do but return.
    mWorker.join();
    return true;
}

bool VireoUpdaterUpgradeLogic::isUpdateRunning()
{
    return !waitForWorker(kWorkerWaitMs);
}

void VireoUpdaterUpgradeLogic::onMainWindow(HWL::Window<UIA::StandaloneWindow>*) {}

void VireoUpdaterUpgradeLogic::stopUpdate()
{
    if (!waitForWorker(kWorkerWaitMs))
        mWorker.interrupt();
}

void VireoUpdaterUpgradeLogic::joinWorker()
{
    if (mWorker.joinable())
        mWorker.join();
}

}  // namespace HA
