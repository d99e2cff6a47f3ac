#include "os/sim/DfuStateMachine.h"

namespace HA::OS::SIM {

std::array<BYTE, 6> DfuStatusReply::bytes() const
{
    return {static_cast<BYTE>(bStatus),
            static_cast<BYTE>(bwPollTimeout),
            static_cast<BYTE>(bwPollTimeout >> 8),
            static_cast<BYTE>(bwPollTimeout >> 16),
            static_cast<BYTE>(bState),
            iString};
}

DfuStateMachine::DfuStateMachine(tSettings settings, tFaults faults) : mSettings(settings), mFaults(faults) {}

void DfuStateMachine::reset()
{
    mState = eDfuState::dfuIDLE;
    mStatus = eDfuStatus::OK;
    mReceived.clear();
    mExpectedBlock = 0;
    mBusyLeft = 0;
    mManifestStarted = mManifestDone = false;
}

DfuStateMachine::eResult DfuStateMachine::stall(eDfuStatus status)
{
    mState = eDfuState::dfuERROR;
    mStatus = status;
    return eResult::Stall;
}

bool DfuStateMachine::strictRefuses(eResult& result)
{
    if (!mSettings.strict)
        return false;
    if (mState == eDfuState::dfuMANIFEST) {
        result = stall(eDfuStatus::errSTALLEDPKT);
        return true;
    }
    // Waiting for a bus reset: the request fails, the state stays.
    if (mState == eDfuState::dfuMANIFEST_WAIT_RESET) {
        result = eResult::Stall;
        return true;
    }
    return false;
}

DfuStateMachine::eResult DfuStateMachine::dnload(WORD blockNumber, const BYTE* data, WORD length, TimeMs)
{
    if (eResult refused; strictRefuses(refused))
        return refused;
    switch (mState) {
    case eDfuState::dfuIDLE:
        if (length == 0 || (mSettings.bmAttributes & kDfuCanDownload) == 0)
            return stall(eDfuStatus::errSTALLEDPKT);
        // A new transfer overwrites the firmware slot from its start.
        mReceived.clear();
        mExpectedBlock = 0;
        mEraseStarted = true;
        return receive(blockNumber, data, length);
    case eDfuState::dfuDNLOAD_IDLE:
        if (length == 0) {
            mState = eDfuState::dfuMANIFEST_SYNC;
            mManifestStarted = mManifestDone = false;
            return eResult::Ack;
        }
        return receive(blockNumber, data, length);
    default:
        return stall(eDfuStatus::errSTALLEDPKT);
    }
}

DfuStateMachine::eResult DfuStateMachine::receive(WORD blockNumber, const BYTE* data, WORD length)
{
    if (length > mSettings.transferSize)
        return stall(eDfuStatus::errSTALLEDPKT);
    if (blockNumber != mExpectedBlock)
        return stall(eDfuStatus::errADDRESS);
    if (mReceived.size() + length > mSettings.flashSize)
        return stall(eDfuStatus::errADDRESS);
    if (mFaults.stallBlock && *mFaults.stallBlock == blockNumber)
        return stall(eDfuStatus::errSTALLEDPKT);
    mReceived.insert(mReceived.end(), data, data + length);
    mLastBlock = blockNumber;
    ++mExpectedBlock;
    mBusyLeft = mSettings.busyRounds;
    mState = eDfuState::dfuDNLOAD_SYNC;
    return eResult::Ack;
}

DfuStateMachine::eResult DfuStateMachine::getStatus(TimeMs now, DfuStatusReply& reply)
{
    reply = DfuStatusReply{};
    if (eResult refused; strictRefuses(refused))
        return refused;
    switch (mState) {
    case eDfuState::dfuDNBUSY:
        // A host that polls before the poll time-out is over is told to wait on, or, by a
        // strict device, stalled.
        if (now < mBusyUntil) {
            if (mSettings.strict)
                return stall(eDfuStatus::errSTALLEDPKT);
            reply.bwPollTimeout = static_cast<DWORD>(mBusyUntil - now);
            break;
        }
        [[fallthrough]];
    case eDfuState::dfuDNLOAD_SYNC: {
        bool forever = mFaults.busyForeverBlock && mLastBlock >= *mFaults.busyForeverBlock;
        if (forever || mBusyLeft > 0) {
            if (mBusyLeft > 0)
                --mBusyLeft;
            mState = eDfuState::dfuDNBUSY;
            mBusyUntil = now + mSettings.pollTimeoutMs;
            reply.bwPollTimeout = mSettings.pollTimeoutMs;
        } else if (mFaults.errorBlock && *mFaults.errorBlock == mLastBlock) {
            mState = eDfuState::dfuERROR;
            mStatus = mFaults.errorStatus;
        } else {
            mState = eDfuState::dfuDNLOAD_IDLE;
        }
        break;
    }
    case eDfuState::dfuMANIFEST_SYNC:
        if (!mManifestStarted) {
            mManifestStarted = true;
            mManifestStartedFlag = true;
            mState = eDfuState::dfuMANIFEST;
            reply.bwPollTimeout = mSettings.manifestPollTimeoutMs;
        } else if (mManifestDone) {
            mState = eDfuState::dfuIDLE;
        }
        break;
    case eDfuState::dfuMANIFEST:
        reply.bwPollTimeout = mSettings.manifestPollTimeoutMs;
        break;
    default:
        break;
    }
    reply.bStatus = mStatus;
    reply.bState = mState;
    return eResult::Ack;
}

DfuStateMachine::eResult DfuStateMachine::getState(eDfuState& state)
{
    if (eResult refused; strictRefuses(refused))
        return refused;
    state = mState;
    return eResult::Ack;
}

DfuStateMachine::eResult DfuStateMachine::abort()
{
    if (eResult refused; strictRefuses(refused))
        return refused;
    switch (mState) {
    case eDfuState::dfuIDLE:
    case eDfuState::dfuDNLOAD_SYNC:
    case eDfuState::dfuDNLOAD_IDLE:
    case eDfuState::dfuMANIFEST_SYNC:
    case eDfuState::dfuUPLOAD_IDLE:
        mState = eDfuState::dfuIDLE;
        mStatus = eDfuStatus::OK;
        mExpectedBlock = 0;
        return eResult::Ack;
    default:
        return stall(mState == eDfuState::dfuERROR ? mStatus : eDfuStatus::errSTALLEDPKT);
    }
}

DfuStateMachine::eResult DfuStateMachine::clearStatus()
{
    if (eResult refused; strictRefuses(refused))
        return refused;
    if (mState != eDfuState::dfuERROR)
        return stall(eDfuStatus::errSTALLEDPKT);
    mState = eDfuState::dfuIDLE;
    mStatus = eDfuStatus::OK;
    mExpectedBlock = 0;
    return eResult::Ack;
}

bool DfuStateMachine::takeEraseStarted()
{
    bool v = mEraseStarted;
    mEraseStarted = false;
    return v;
}

bool DfuStateMachine::takeManifestationStarted()
{
    bool v = mManifestStartedFlag;
    mManifestStartedFlag = false;
    return v;
}

void DfuStateMachine::finishManifestation(bool imageValid)
{
    if (mState != eDfuState::dfuMANIFEST)
        return;
    if (!imageValid) {
        mState = eDfuState::dfuERROR;
        mStatus = eDfuStatus::errVERIFY;
        return;
    }
    if (mSettings.bmAttributes & kDfuManifestationTolerant) {
        mState = eDfuState::dfuMANIFEST_SYNC;
        mManifestDone = true;
    } else {
        mState = eDfuState::dfuMANIFEST_WAIT_RESET;
    }
}

}  // namespace HA::OS::SIM
