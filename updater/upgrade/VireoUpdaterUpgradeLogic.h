#pragma once
// The updater's upgrade engine: the Vireo Interface's DFU device and the owner of the one
// worker thread that downloads the embedded firmware image into it. The user interface
// reaches it only through the callbacks of the description record, all on the
// user-interface thread; the worker runs only writeFirmware.
//
// While the worker runs, the user-interface thread touches only the worker (isUpdateRunning,
// stopUpdate, joinWorker) and the result it was handed, never the device. The worker writes
// that result once, with a release store, as its last action; the caller reads it with an
// acquire load.

#include <atomic>
#include <cstdint>
#include <string>

#include <boost/thread/thread.hpp>

#include "hxl2/DFUDevice.h"
#include "hxl2/USBDeviceInfo.h"
#include "os/kernel/Types.h"

namespace HA::UIA {
class StandaloneWindow;
}
namespace HA::HWL {
template <class T>
class Window;
}

namespace HA {

class VireoUpdaterUpgradeLogic : public HXL2::DFUDevice {
public:
    // The embedded image's revision as bcdDevice, and its text.
    static constexpr std::uint16_t kNewestRevision = 0x0036;
    // What the worker leaves in the result: 0 while it runs (and after an interruption).
    enum eResult : int { eRunning = 0, eSucceeded = 1, eNotInDfuMode = -1, eDownloadFailed = -2 };
    // How long isUpdateRunning and stopUpdate wait for the worker, on the process clock.
    static constexpr OS::DWORD kWorkerWaitMs = 500;
    // The worker's pause after the device was asked to return to its runtime firmware.
    static constexpr OS::DWORD kSettleMs = 5000;
    // How long a worker is taken to run on at most once the program quits (what a second
    // start is told): the download is not cut and goes on to its end, then the device is
    // sent back to its runtime firmware; the settle pause after that is cut short by the
    // interruption.
    static constexpr OS::DWORD kWorkerBoundMs = 30000;

    VireoUpdaterUpgradeLogic();
    // Waits for a running worker to end before anything it uses goes.
    ~VireoUpdaterUpgradeLogic() override;

    // Looks for the device under its runtime product id, then under its DFU-mode id, and
    // opens the last one that answers the DFU information request. An open device is closed
    // first, so false always means closed.
    bool scanForDevice();
    // True when open in DFU mode; a runtime device is detached, found again in DFU mode and
    // must report a transfer size. False when closed or any step fails.
    bool enterUpdateMode();
    // Like enterUpdateMode without the DETACH: for a device that was power-cycled into DFU
    // mode.
    bool findUpdateModeDevice();
    // Starts the worker that downloads the image into the device open in DFU mode. Not open
    // in DFU mode: result -1 and false. A worker that still runs keeps the device: result -1
    // and false as well. Otherwise result 0, then 1, -1 or -2 when the worker is done.
    // `result` must outlive the worker (see joinWorker). Throws boost::thread_resource_error
    // when no thread can be started.
    bool startUpdate(std::atomic<int>& result);
    // The newest revision text always; when open, the device's identity, its installed
    // revision and whether it is older than the image, or in DFU mode at all. Closed: info.bcdDevice 0, no update
    // needed, the other outputs unchanged.
    void getDeviceInfo(HXL2::USBDeviceInfo& info, std::string& installed, std::string& newest,
                       bool& updateNeeded) const;
    // False without a worker; otherwise waits up to 500 ms for it: ended (and joined) gives
    // false, still running true.
    bool isUpdateRunning();
    // Nothing uses the main window.
    void onMainWindow(HWL::Window<UIA::StandaloneWindow>* window);
    // Waits up to 500 ms for the worker; then asks a worker that still runs to stop. It stops
    // only at its final pause, never between blocks, and leaves the result 0.
    void stopUpdate();
    // Blocks until the worker, if any, has ended, and joins it. Whoever owns a result handed
    // to startUpdate calls it before that result goes.
    void joinWorker();

    // "major.minor.patch" of a bcdDevice: b >> 8, (b >> 4) & 15, b & 15.
    static std::string revisionText(std::uint16_t bcdDevice);
    static bool isUpdateNeeded(std::uint16_t bcdDevice) { return bcdDevice < kNewestRevision; }

private:
    void onDeviceAdded(const HXL2::USBDeviceOSHandle& handle, const HXL2::USBDeviceFilter& filter);
    // The worker's body.
    void writeFirmware(std::atomic<int>& result);
    // True when there is no worker or it ended within `ms` (it is then joined).
    bool waitForWorker(OS::DWORD ms);
    bool isOpenInDfuMode() const;

    boost::thread mWorker;
    // Set by the worker when it is done, reset when a new one starts; the timed waits go
    // through the process clock.
    OS::HANDLE mWorkerDone = nullptr;
};

}  // namespace HA
