#pragma once
// Faults the simulated Vireo Interface can be told to show.

#include <optional>
#include <string>
#include <vector>

#include "os/kernel/Types.h"
#include "os/sim/DfuStateMachine.h"

namespace HA::OS::SIM {

enum class eInfoReply { Full, Short, None };

struct VireoFaults {
    // DFU_DNLOAD of this block stalls (the request fails with ERROR_GEN_FAILURE).
    std::optional<WORD> stallBlock;
    // The DFU_GETSTATUS after this block reports errorStatus in dfuERROR.
    std::optional<WORD> errorBlock;
    eDfuStatus errorStatus = eDfuStatus::errWRITE;
    // From this block on DFU_GETSTATUS answers dfuDNBUSY for ever.
    std::optional<WORD> busyForeverBlock;

    // The nth request (counted from 1) with this code stays pending: with lateMs it is
    // answered that long after it was made, whether or not it was cancelled (writing into
    // the caller's buffer); without, it is answered only by a cancel (ERROR_OPERATION_ABORTED).
    // Requests sent without an OVERLAPPED record are never held.
    struct tTimeout {
        DWORD code = 0;
        unsigned nth = 1;
        std::optional<DWORD> lateMs;
    };
    std::vector<tTimeout> timeouts;

    // The device drops off the bus when DFU_DNLOAD of this block arrives.
    std::optional<WORD> vanishBlock;
    // After a DETACH the DFU-mode device reports another serial number.
    bool wrongSerialAfterDetach = false;
    // The device stays off the bus after DETACH, the end of manifestation or the request to
    // leave DFU mode. Each applies once: when it has kept the device away it is cleared, so
    // that a power cycle brings the device back for good.
    bool noReturnAfterDetach = false;
    bool noReturnAfterManifestation = false;
    bool noReturnAfterLeave = false;
    // Added to every return to the bus.
    DWORD lateReturnMs = 0;
    // After a valid image the device reports this revision instead of the image's.
    std::optional<WORD> revisionAfterUpdate;
    eInfoReply dfuInfo = eInfoReply::Full;
    // wTransferSize reported and accepted in place of the setting.
    std::optional<WORD> transferSize;
    // Device descriptor 17 bytes long (Short) or failing (None); strings failing.
    eInfoReply deviceDescriptor = eInfoReply::Full;
    bool failStrings = false;
    // Every open fails with this error (ERROR_ACCESS_DENIED); 0 for none.
    DWORD openError = 0;
    // DFU_DNLOAD of this block blocks its caller until releaseGate().
    std::optional<WORD> gateBlock;
};

// The faults in the words of HA_OS_VIREO (see README), comma-separated in the README's order,
// "none" when there are none; what only tests can set (the gate) has no word and is left out.
std::string faultWords(const VireoFaults& faults);

}  // namespace HA::OS::SIM
