#pragma once
// The DFU 1.1 download state machine of the simulated device in DFU mode: states, status
// codes, block-number and transfer-size checks, busy rounds with their poll time-out and
// manifestation. Requests the state does not allow stall (the device goes to dfuERROR).
// Not thread-safe: its owner serialises the calls.

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/kernel/Types.h"

namespace HA::OS::SIM {

enum class eDfuState : BYTE {
    appIDLE = 0,
    appDETACH = 1,
    dfuIDLE = 2,
    dfuDNLOAD_SYNC = 3,
    dfuDNBUSY = 4,
    dfuDNLOAD_IDLE = 5,
    dfuMANIFEST_SYNC = 6,
    dfuMANIFEST = 7,
    dfuMANIFEST_WAIT_RESET = 8,
    dfuUPLOAD_IDLE = 9,
    dfuERROR = 10,
};

enum class eDfuStatus : BYTE {
    OK = 0x00,
    errTARGET = 0x01,
    errFILE = 0x02,
    errWRITE = 0x03,
    errERASE = 0x04,
    errCHECK_ERASED = 0x05,
    errPROG = 0x06,
    errVERIFY = 0x07,
    errADDRESS = 0x08,
    errNOTDONE = 0x09,
    errFIRMWARE = 0x0A,
    errVENDOR = 0x0B,
    errUSBR = 0x0C,
    errPOR = 0x0D,
    errUNKNOWN = 0x0E,
    errSTALLEDPKT = 0x0F,
};

// bmAttributes of the DFU functional descriptor.
constexpr BYTE kDfuCanDownload = 0x01;
constexpr BYTE kDfuCanUpload = 0x02;
constexpr BYTE kDfuManifestationTolerant = 0x04;
constexpr BYTE kDfuWillDetach = 0x08;

// The DFU_GETSTATUS reply.
struct DfuStatusReply {
    eDfuStatus bStatus = eDfuStatus::OK;
    DWORD bwPollTimeout = 0;  // 24 bits, milliseconds
    eDfuState bState = eDfuState::dfuIDLE;
    BYTE iString = 0;
    std::array<BYTE, 6> bytes() const;
};

class DfuStateMachine {
public:
    struct tSettings {
        BYTE bmAttributes = kDfuCanDownload | kDfuWillDetach;
        WORD transferSize = 1024;
        DWORD pollTimeoutMs = 10;
        // DFU_GETSTATUS answers dfuDNBUSY this many times per block before dfuDNLOAD-IDLE.
        unsigned busyRounds = 1;
        DWORD manifestPollTimeoutMs = 100;
        DWORD flashSize = 262144;
        // Stall a status request while busy before the poll time-out has passed, every request
        // during dfuMANIFEST, and every request in dfuMANIFEST-WAIT-RESET.
        bool strict = false;
    };
    struct tFaults {
        std::optional<WORD> stallBlock;  // DFU_DNLOAD of this block stalls
        std::optional<WORD> errorBlock;  // the status after this block reports errorStatus
        eDfuStatus errorStatus = eDfuStatus::errWRITE;
        std::optional<WORD> busyForeverBlock;  // from this block on the device never stops being busy
    };
    enum class eResult { Ack, Stall };

    DfuStateMachine(tSettings settings, tFaults faults);

    void setFaults(tFaults faults) { mFaults = faults; }
    void setSettings(tSettings settings) { mSettings = settings; }
    // A request the state does not allow.
    eResult stallRequest() { return stall(eDfuStatus::errSTALLEDPKT); }
    // Back to dfuIDLE after a bus reset; the received data is dropped.
    void reset();

    // DFU_DNLOAD. Data blocks must come numbered 0, 1, 2, ... and hold at most
    // wTransferSize bytes; a zero-length block (any number) after data ends the transfer.
    eResult dnload(WORD blockNumber, const BYTE* data, WORD length, TimeMs now);
    eResult getStatus(TimeMs now, DfuStatusReply& reply);
    eResult getState(eDfuState& state);
    eResult abort();
    eResult clearStatus();

    // Set when a download starts over the old firmware; cleared when read.
    bool takeEraseStarted();
    // Set when a DFU_GETSTATUS started manifestation; the owner then runs it and calls
    // finishManifestation. Cleared when read.
    bool takeManifestationStarted();
    // The image was checked: tolerant devices go back to dfuMANIFEST-SYNC, the others to
    // dfuMANIFEST-WAIT-RESET; an invalid image ends in dfuERROR with errVERIFY.
    void finishManifestation(bool imageValid);

    eDfuState state() const { return mState; }
    eDfuStatus status() const { return mStatus; }
    const std::vector<BYTE>& received() const { return mReceived; }
    const tSettings& settings() const { return mSettings; }

private:
    eResult stall(eDfuStatus status);
    // A strict device answers nothing in these states; false when the request may go on.
    bool strictRefuses(eResult& result);
    eResult receive(WORD blockNumber, const BYTE* data, WORD length);

    tSettings mSettings;
    tFaults mFaults;
    eDfuState mState = eDfuState::dfuIDLE;
    eDfuStatus mStatus = eDfuStatus::OK;
    std::vector<BYTE> mReceived;
    WORD mExpectedBlock = 0;
    WORD mLastBlock = 0;
    unsigned mBusyLeft = 0;
    TimeMs mBusyUntil = 0;
    bool mManifestStarted = false;
    bool mManifestDone = false;
    bool mEraseStarted = false;
    bool mManifestStartedFlag = false;
};

}  // namespace HA::OS::SIM
