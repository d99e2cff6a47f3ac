#pragma once
// The simulated Vireo Interface: the maker's driver and the device behind the device
// paths it registers. It answers every driver request of the maker's driver in runtime
// and DFU mode, detaches and re-enumerates, downloads and manifests firmware through its
// DFU state machine, and can be told to misbehave. All its delays are callbacks on
// HA::OS::Clock; it has no thread of its own.
//
// Tests build one with makeShared(settings, faults) (or change faults later with
// setFaults), call plugIn(), and drive it with raw requests or through the device layer;
// journal() lists every request it saw and busEvents() its comings and goings. Only
// tests and the stand-in's set-up (SimulatedSetup.h) make devices.

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "os/devices/DeviceDriver.h"
#include "os/sim/DfuStateMachine.h"
#include "os/sim/VireoFaults.h"

namespace HA::OS::SIM {

struct VireoSettings {
    WString serialNumber = u"VI2401A0158";
    // The installed firmware; with flashValid false the slot is erased and the device
    // starts in DFU mode.
    WORD firmwareRevision = 0x0035;
    bool flashValid = true;
    BYTE bmAttributes = kDfuCanDownload | kDfuWillDetach;
    WORD manifestationLimitSeconds = 25;
    WORD transferSize = 1024;
    DWORD pollTimeoutMs = 10;
    unsigned busyRounds = 1;
    DWORD manifestPollTimeoutMs = 100;
    DWORD manifestationMs = 1500;
    // From DETACH, leave or the end of manifestation until the device leaves the bus.
    DWORD resetDelayMs = 100;
    // From leaving the bus until it is back.
    DWORD returnDelayMs = 1500;
    // Follows DFU 1.1 to the letter: a status request while busy before bwPollTimeout has
    // passed stalls (dfuERROR), any request during dfuMANIFEST stalls, the status reply that
    // starts manifestation asks for its whole length, and after manifestation a device that
    // is not manifestation tolerant waits in dfuMANIFEST-WAIT-RESET, stalling every request,
    // until the driver resets it (the request to leave DFU mode).
    bool strictDfu = false;
    // bcdDevice in DFU mode, the boot loader's own number; unset: the slot's revision, 0 when
    // the slot is erased.
    std::optional<WORD> dfuModeRevision;
    // Where the firmware slot's state persists; empty: nowhere.
    std::string stateFile;
};

enum class eVireoMode { Absent, Runtime, Dfu };

struct JournalEntry {
    DWORD code = 0;
    std::optional<WORD> blockNumber;  // DFU_DNLOAD only
    DWORD length = 0;                 // DFU_DNLOAD: data length; otherwise the output size
    DWORD threadId = 0;
    TimeMs time = 0;
    eVireoMode mode = eVireoMode::Absent;
};

// Appearances and departures on the bus.
struct BusEvent {
    enum class eKind { Arrived, Removed };
    eKind kind;
    eVireoMode mode;  // the mode it arrived in or left from
    WString path;
    TimeMs time;
};

class SimulatedVireo : public std::enable_shared_from_this<SimulatedVireo> {
public:
    static std::shared_ptr<SimulatedVireo> makeShared(VireoSettings settings = {}, VireoFaults faults = {});
    ~SimulatedVireo();
    SimulatedVireo(const SimulatedVireo&) = delete;
    SimulatedVireo& operator=(const SimulatedVireo&) = delete;

    // Connects the device: runtime mode with valid firmware, else DFU mode. Announces the
    // arrival. False, doing nothing, when it is already present.
    bool plugIn();
    // Disconnects it at once; its handles answer ERROR_DEVICE_NOT_CONNECTED. False when it
    // was not present. A return to the bus it was on its way to is called off.
    bool unplug();
    // Off and on again: gone from the bus if present, then plugged in as plugIn() does, with
    // every fault still in force (the no-return faults apply once: see VireoFaults).
    void powerCycle();

    // Replaces what the firmware slot holds (and persists it); takes effect at the next
    // appearance on the bus.
    void setFirmwareSlot(bool valid, WORD revision);

    void setFaults(const VireoFaults& faults);
    VireoFaults faults() const;

    // Lets a DFU_DNLOAD held by VireoFaults::gateBlock go on. Any thread.
    void releaseGate();
    // Blocks the calling thread until a request is held at the gate (another thread sent it).
    void waitForGate();
    // True while a request waits at the gate and the gate is still closed. Any thread.
    bool isHeldAtGate();
    // The state file was there but did not parse: the device kept its defaults.
    bool stateFileDamaged() const { return mStateDamaged; }
    // The state file was there but could not be read: the reason; empty otherwise.
    const std::string& stateFileUnreadable() const { return mStateUnreadable; }

    eVireoMode mode() const;
    // The path it is present under now; empty when absent.
    WString path() const;
    eDfuState dfuState() const;
    WORD firmwareRevision() const;
    bool isFlashValid() const;
    WORD productId() const;
    // Its own serial number (what it reports unless a fault says otherwise).
    WString serialNumber() const;
    std::vector<JournalEntry> journal() const;
    std::vector<BusEvent> busEvents() const;
    void clearJournal();

    // The device-interface path of a mode (mixed case, "#VID_xxxx&PID_xxxx&REV_xxxx#").
    static WString pathFor(WORD productId, WORD revision, const WString& serial);

private:
    class Driver;
    struct tReply {
        DWORD status = ERROR_SUCCESS;
        std::vector<BYTE> data;
    };
    enum class eReset { Detach, Leave, Manifestation };

    SimulatedVireo(VireoSettings settings, VireoFaults faults);

    DWORD onOpen(std::uint64_t generation);
    void onRequest(std::uint64_t generation, const std::shared_ptr<IoRequest>& request);
    void onCancel(const std::shared_ptr<IoRequest>& request);

    tReply process(const IoRequest& request);
    tReply descriptor(BYTE type, BYTE index, DWORD outputSize);
    tReply controlTransfer(const IoRequest& request);
    tReply dfuRequest(BYTE bRequest, WORD wValue, const BYTE* data, WORD length, DWORD outputSize);
    tReply detach();
    tReply dnload(WORD blockNumber, const BYTE* data, WORD length);
    tReply getStatus(DWORD outputSize);
    tReply getState(DWORD outputSize);
    tReply dfuInfo(DWORD outputSize);

    enum class eSerial { Own, Wrong };
    void appear(eVireoMode mode, eSerial serial);
    void disappear();
    void scheduleReset(eReset reason);
    void resetNow(std::uint64_t generation, eReset reason);
    void answerLate(std::uint64_t generation, const std::shared_ptr<IoRequest>& request);
    DfuStateMachine::tSettings dfuSettings() const;
    DfuStateMachine::tFaults dfuFaults() const;
    WORD reportedProductId() const;
    WORD reportedRevision() const;
    void manifestationDone(std::uint64_t generation);
    // A strict device whose manifestation time is over has finished it, whether or not its
    // timer has run yet.
    void finishDueManifestation();
    void persist();
    void load();
    bool gateHolds(const IoRequest& request);

    mutable std::recursive_mutex mMutex;
    VireoSettings mSettings;
    VireoFaults mFaults;
    DfuStateMachine mDfu;
    eVireoMode mMode = eVireoMode::Absent;
    eDfuState mAppState = eDfuState::appIDLE;
    std::uint64_t mGeneration = 0;
    DeviceInterfaceId mInterfaceId = 0;
    WString mPath;
    WString mReportedSerial;
    bool mDetached = false;
    std::map<DWORD, unsigned> mCounts;                // requests seen per code
    std::vector<std::shared_ptr<IoRequest>> mHeld;    // pending until cancelled
    std::vector<std::shared_ptr<IoRequest>> mLate;    // answered late whatever happens
    std::vector<JournalEntry> mJournal;
    std::vector<BusEvent> mBusEvents;
    std::vector<Clock::TimerId> mTimers;
    TimeMs mManifestationEndsAt = 0;

    std::mutex mGateMutex;
    std::condition_variable mGateChanged;
    bool mGateOpen = false;
    int mGateWaiting = 0;
    bool mStateDamaged = false;
    std::string mStateUnreadable;
    bool mStateWriteReported = false;
};

}  // namespace HA::OS::SIM
