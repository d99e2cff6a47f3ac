#pragma once
// A device of the maker's driver that speaks USB DFU 1.1: it learns its DFU mode and
// parameters on every open, detaches into DFU mode and finds itself again there, downloads
// an image block by block and waits for the device to manifest it.
//
// One thread at a time drives a download or a mode switch; the upgrade logic runs the
// download on its worker while the user-interface thread leaves the device alone. Every
// request uses the default time-out (500 ms) and no abort event; every sleep goes through
// HA::OS::Clock and is not interruptible.

#include <cstdint>
#include <string>

#include "hxl2/DFUProtocol.h"
#include "hxl2/USBDevice.h"
#include "hxl2/USBDeviceFilter.h"

namespace HA::HXL2 {

class DFUDevice : public USBDevice {
public:
    DFUDevice();
    ~DFUDevice() override;

    // Opens the path; true when the open succeeded and the driver told the DFU mode.
    bool openAndCheck(const USBDeviceOSHandle& handle);

    // DFU_DETACH: the runtime device leaves the bus and comes back in DFU mode.
    bool detach();
    // DFU_ABORT: back to dfuIDLE.
    bool abort();
    // Asks a device in DFU mode to return to its runtime firmware; true at once in runtime mode.
    bool leaveDFUMode();
    // DFU_GETSTATE; false when the request fails or no state byte comes back.
    bool getState(std::uint8_t& state);
    // DFU_GETSTATUS into `status`; false when the request fails or the reply is short, and
    // `status` then holds errUNKNOWN.
    bool getStatus(DFUStatus& status);

    // Sends one DFU_DNLOAD block and polls the status until dfuDNLOAD-IDLE (true), sleeping
    // as long as the device asks, at most 1000 ms at a time. False for a failed request, an
    // error status, any other state, or a device busy for longer than kBusyLimitMs; `status`
    // then holds the device's reply with a non-zero bStatus (errUNKNOWN where it had none).
    bool downloadBlock(const DFUDownloadBlock& block, DFUStatus& status);

    // Downloads an image in wTransferSize blocks, closes the transfer with a zero-length
    // block and waits for manifestation: a tolerant device is asked its state no sooner than
    // the poll time-out of its closing status reply; one that is not manifestation tolerant is
    // reopened in runtime mode when it comes back, and asked once to leave DFU mode when it
    // has not come back after the first step that ends past the poll time-out of its closing
    // status reply. True on success with bStatus 0; false with
    // a non-zero bStatus: errTARGET no image, errWRITE not open in DFU mode, errUNKNOWN an
    // unusable wTransferSize, a failed request, an unexpected state or a manifestation that
    // did not end in time, otherwise the device's own status.
    bool download(const std::uint8_t* image, std::uint32_t length, DFUStatus& status);

    // After the caller's DETACH: closes the device, sleeps 5000 ms and opens the device that
    // came back under the DFU-mode product id with the same serial number. True when open.
    // False without any change when the device's row has no record of the maker's driver;
    // false and closed when no such device is found.
    bool switchToDFUMode();

    // Enumeration callback: opens `device` on the path when it is not open yet and the found
    // device reports `serial` (any device when `serial` is empty).
    static void openIfSerialMatches(const USBDeviceOSHandle& handle, const USBDeviceFilter& filter, DFUDevice* device,
                                    const std::string& serial);

    // 0 when the driver gave no DFU information, 1 runtime mode, 2 DFU mode.
    std::uint8_t mode() const { return mMode; }
    // The DFU functional descriptor's attributes; kManifestationTolerant is bitManifestationTolerant.
    std::uint8_t bmAttributes() const { return mBmAttributes; }
    // Seconds a device that is not manifestation tolerant may take to come back.
    std::uint16_t manifestationLimit() const { return mManifestationLimit; }
    // wTransferSize: data bytes per DNLOAD block.
    std::uint16_t transferSize() const { return mTransferSize; }
    // The information reply's last byte; a copy of mode() when the reply had none.
    std::uint8_t extraInfo() const { return mExtraInfo; }

    static constexpr std::uint8_t kManifestationTolerant = 0x04;
    static constexpr std::uint32_t kSwitchWaitMs = 5000;
    // A block whose device stays dfuDNBUSY this long on the clock fails.
    static constexpr std::uint32_t kBusyLimitMs = 60000;
    // A manifestation-tolerant device that has not finished after this long on the clock fails.
    static constexpr std::uint32_t kTolerantManifestationLimitMs = 120000;

protected:
    // Asks the driver for the DFU information after every successful open.
    void onOpened() override;

private:
    void readDfuInformation();
    bool manifest(DFUStatus& status);
    void reopenAfterManifestation(const USBDeviceOSHandle& handle, std::uint8_t& state);

    std::uint8_t mMode = 0;
    std::uint8_t mBmAttributes = 0;
    std::uint16_t mManifestationLimit = 0;
    std::uint16_t mTransferSize = 0;
    std::uint8_t mExtraInfo = 0;
};

}  // namespace HA::HXL2
