// The simulated Vireo Interface's answers to driver requests: the maker's driver requests,
// USB control transfers and the DFU requests behind them, with the faults that hold or
// delay them.
#include "os/sim/SimulatedVireo.h"

#include <algorithm>

#include "os/devices/DeviceConfig.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/LittleEndian.h"

namespace HA::OS::SIM {

namespace {

constexpr BYTE kDescriptorDevice = 1;
constexpr BYTE kDescriptorString = 3;
constexpr const char16_t* kManufacturer = u"Harnwick Acoustics";
constexpr const char16_t* kProduct = u"Vireo Interface";
// The seventh byte of the DFU information: the DFU interface's number of alternate settings.
constexpr BYTE kDfuInfoExtra = 1;
// DFU 1.1 bRequest values.
constexpr BYTE DFU_DETACH = 0;
constexpr BYTE DFU_DNLOAD = 1;
constexpr BYTE DFU_UPLOAD = 2;
constexpr BYTE DFU_GETSTATUS = 3;
constexpr BYTE DFU_CLRSTATUS = 4;
constexpr BYTE DFU_GETSTATE = 5;
constexpr BYTE DFU_ABORT = 6;
constexpr BYTE USB_GET_STATUS = 0;
constexpr BYTE USB_GET_DESCRIPTOR = 6;

}  // namespace

DWORD SimulatedVireo::onOpen(std::uint64_t generation)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (generation != mGeneration || mMode == eVireoMode::Absent)
        return ERROR_DEVICE_NOT_CONNECTED;
    return mFaults.openError;
}

bool SimulatedVireo::gateHolds(const IoRequest& request)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mFaults.gateBlock && request.code() == IOCTL_HA_DFU_DNLOAD && request.input().size() >= 2 &&
           getLe16(request.input().data()) == *mFaults.gateBlock;
}

void SimulatedVireo::releaseGate()
{
    std::lock_guard<std::mutex> lock(mGateMutex);
    mGateOpen = true;
    mGateChanged.notify_all();
}

void SimulatedVireo::waitForGate()
{
    // Not through the clock: the test thread waits for another thread to get there.
    std::unique_lock<std::mutex> lock(mGateMutex);
    mGateChanged.wait(lock, [this] { return mGateWaiting > 0; });
}

bool SimulatedVireo::isHeldAtGate()
{
    std::lock_guard<std::mutex> lock(mGateMutex);
    return mGateWaiting > 0 && !mGateOpen;
}

void SimulatedVireo::onRequest(std::uint64_t generation, const std::shared_ptr<IoRequest>& request)
{
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        JournalEntry e;
        e.code = request->code();
        e.length = request->outputSize();
        if (request->code() == IOCTL_HA_DFU_DNLOAD && request->input().size() >= 4) {
            e.blockNumber = getLe16(request->input().data());
            e.length = getLe16(request->input().data() + 2);
        }
        e.threadId = request->threadId();
        e.time = Clock::now();
        e.mode = mMode;
        mJournal.push_back(e);
    }
    if (gateHolds(*request)) {
        std::unique_lock<std::mutex> lock(mGateMutex);
        ++mGateWaiting;
        mGateChanged.notify_all();
        mGateChanged.wait(lock, [this] { return mGateOpen; });
        --mGateWaiting;
    }
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (generation != mGeneration || mMode == eVireoMode::Absent) {
        request->complete(ERROR_DEVICE_NOT_CONNECTED);
        return;
    }
    unsigned count = ++mCounts[request->code()];
    for (const VireoFaults::tTimeout& t : mFaults.timeouts) {
        if (t.code != request->code() || t.nth != count || !request->isOverlapped())
            continue;
        if (!t.lateMs) {
            mHeld.push_back(request);
            return;
        }
        mLate.push_back(request);
        std::weak_ptr<SimulatedVireo> self = weak_from_this();
        mTimers.push_back(Clock::scheduleAfter(*t.lateMs, [self, generation, request] {
            if (auto d = self.lock())
                d->answerLate(generation, request);
            else
                request->complete(ERROR_DEVICE_NOT_CONNECTED);
        }));
        return;
    }
    tReply reply = process(*request);
    request->complete(reply.status, reply.data);
}

void SimulatedVireo::answerLate(std::uint64_t generation, const std::shared_ptr<IoRequest>& request)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mLate.erase(std::remove(mLate.begin(), mLate.end(), request), mLate.end());
    if (generation != mGeneration || mMode == eVireoMode::Absent) {
        request->complete(ERROR_DEVICE_NOT_CONNECTED);
        return;
    }
    tReply reply = process(*request);
    request->complete(reply.status, reply.data);
}

void SimulatedVireo::onCancel(const std::shared_ptr<IoRequest>& request)
{
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    // A request already on its way to a late answer ignores the cancel.
    if (std::find(mLate.begin(), mLate.end(), request) != mLate.end())
        return;
    mHeld.erase(std::remove(mHeld.begin(), mHeld.end(), request), mHeld.end());
    request->complete(ERROR_OPERATION_ABORTED);
}

SimulatedVireo::tReply SimulatedVireo::process(const IoRequest& request)
{
    const std::vector<BYTE>& in = request.input();
    DWORD out = request.outputSize();
    auto noInput = [&] { return in.empty(); };
    switch (request.code()) {
    case IOCTL_HA_USB_GET_DESCRIPTOR:
        if (in.size() != kDescriptorRequestSize)
            return {ERROR_INVALID_PARAMETER, {}};
        return descriptor(in[4], in[5], out);
    case IOCTL_HA_USB_CONTROL_TRANSFER:
        return controlTransfer(request);
    case IOCTL_HA_USB_RESERVED_810:
        return {ERROR_GEN_FAILURE, {}};
    case IOCTL_HA_USB_GET_PACKED_VALUE: {
        if (!noInput())
            return {ERROR_INVALID_PARAMETER, {}};
        if (out < kPackedValueSize)
            return {ERROR_INSUFFICIENT_BUFFER, {}};
        WORD pid = reportedProductId();
        std::vector<BYTE> v = {0x01, 0x00, static_cast<BYTE>(pid >> 8), static_cast<BYTE>(pid)};
        appendLe16(v, reportedRevision());
        appendLe16(v, kHarnwickVendorId);
        v.resize(kPackedValueSize, 0);
        return {ERROR_SUCCESS, v};
    }
    case IOCTL_HA_DFU_GET_INFO:
        if (!noInput())
            return {ERROR_INVALID_PARAMETER, {}};
        return dfuInfo(out);
    case IOCTL_HA_DFU_DETACH:
        if (!noInput())
            return {ERROR_INVALID_PARAMETER, {}};
        return detach();
    case IOCTL_HA_DFU_DNLOAD: {
        if (in.size() != kDfuDownloadBlockSize)
            return {ERROR_INVALID_PARAMETER, {}};
        WORD length = getLe16(in.data() + 2);
        if (length > kDfuMaxBlockData)
            return {ERROR_INVALID_PARAMETER, {}};
        return dnload(getLe16(in.data()), in.data() + 4, length);
    }
    case IOCTL_HA_DFU_GETSTATUS:
        if (!noInput())
            return {ERROR_INVALID_PARAMETER, {}};
        return getStatus(out);
    case IOCTL_HA_DFU_GETSTATE:
        if (!noInput())
            return {ERROR_INVALID_PARAMETER, {}};
        return getState(out);
    case IOCTL_HA_DFU_ABORT:
        if (!noInput())
            return {ERROR_INVALID_PARAMETER, {}};
        return dfuRequest(DFU_ABORT, 0, nullptr, 0, 0);
    case IOCTL_HA_DFU_LEAVE:
        if (!noInput())
            return {ERROR_INVALID_PARAMETER, {}};
        if (mMode == eVireoMode::Dfu)
            scheduleReset(eReset::Leave);
        return {ERROR_SUCCESS, {}};
    default:
        return {ERROR_INVALID_FUNCTION, {}};
    }
}

SimulatedVireo::tReply SimulatedVireo::descriptor(BYTE type, BYTE index, DWORD outputSize)
{
    std::vector<BYTE> d;
    if (type == kDescriptorDevice) {
        if (mFaults.deviceDescriptor == eInfoReply::None)
            return {ERROR_GEN_FAILURE, {}};
        bool dfu = mMode == eVireoMode::Dfu;
        d = {static_cast<BYTE>(kDeviceDescriptorSize), kDescriptorDevice, 0x00, 0x02,
             static_cast<BYTE>(dfu ? 0x00 : 0xEF), static_cast<BYTE>(dfu ? 0x00 : 0x02),
             static_cast<BYTE>(dfu ? 0x00 : 0x01), 64};
        appendLe16(d, kHarnwickVendorId);
        appendLe16(d, reportedProductId());
        appendLe16(d, reportedRevision());
        d.insert(d.end(), {1, 2, 3, 1});
        if (mFaults.deviceDescriptor == eInfoReply::Short)
            d.resize(kDeviceDescriptorSize - 1);
    } else if (type == kDescriptorString) {
        if (mFaults.failStrings)
            return {ERROR_GEN_FAILURE, {}};
        WString text;
        switch (index) {
        case 0:
            d = {4, kDescriptorString, 0x09, 0x04};
            break;
        case 1:
            text = kManufacturer;
            break;
        case 2:
            text = kProduct;
            break;
        case 3:
            text = mReportedSerial;
            break;
        default:
            return {ERROR_GEN_FAILURE, {}};
        }
        if (index != 0) {
            d = {static_cast<BYTE>(2 + 2 * text.size()), kDescriptorString};
            for (WChar c : text)
                appendLe16(d, c);
        }
    } else {
        return {ERROR_GEN_FAILURE, {}};
    }
    // Like a USB control read: a shorter buffer gets the start of the descriptor.
    if (d.size() > outputSize)
        d.resize(outputSize);
    return {ERROR_SUCCESS, d};
}

SimulatedVireo::tReply SimulatedVireo::controlTransfer(const IoRequest& request)
{
    const std::vector<BYTE>& in = request.input();
    if (in.size() < kControlHeaderSize)
        return {ERROR_INVALID_PARAMETER, {}};
    bool toHost = in[0] != 0;
    DWORD type = getLe32(in.data() + 1);
    DWORD recipient = getLe32(in.data() + 5);
    BYTE bRequest = in[9];
    WORD wValue = getLe16(in.data() + 10);
    WORD wLength = getLe16(in.data() + 14);
    const BYTE* data = in.data() + kControlHeaderSize;
    DWORD dataSize = static_cast<DWORD>(in.size()) - kControlHeaderSize;
    if (toHost ? dataSize != 0 : dataSize != wLength)
        return {ERROR_INVALID_PARAMETER, {}};
    if (toHost && request.outputSize() < wLength)
        return {ERROR_INSUFFICIENT_BUFFER, {}};
    tReply reply{ERROR_GEN_FAILURE, {}};
    if (type == 0 && recipient == 0 && toHost) {
        if (bRequest == USB_GET_DESCRIPTOR)
            reply = descriptor(static_cast<BYTE>(wValue >> 8), static_cast<BYTE>(wValue), wLength);
        else if (bRequest == USB_GET_STATUS)
            reply = {ERROR_SUCCESS, {0, 0}};
    } else if (type == 1 && recipient == 1) {
        bool in_ = bRequest == DFU_GETSTATUS || bRequest == DFU_GETSTATE || bRequest == DFU_UPLOAD;
        if (in_ == toHost)
            reply = dfuRequest(bRequest, wValue, data, static_cast<WORD>(dataSize), wLength);
    }
    if (reply.data.size() > wLength)
        reply.data.resize(wLength);
    return reply;
}

SimulatedVireo::tReply SimulatedVireo::dfuRequest(BYTE bRequest, WORD wValue, const BYTE* data, WORD length,
                                                  DWORD outputSize)
{
    switch (bRequest) {
    case DFU_DETACH:
        return detach();
    case DFU_DNLOAD:
        return dnload(wValue, data, length);
    case DFU_GETSTATUS:
        return getStatus(outputSize);
    case DFU_GETSTATE:
        return getState(outputSize);
    case DFU_CLRSTATUS:
    case DFU_ABORT: {
        if (mMode != eVireoMode::Dfu)
            return {ERROR_GEN_FAILURE, {}};
        auto r = bRequest == DFU_ABORT ? mDfu.abort() : mDfu.clearStatus();
        return {r == DfuStateMachine::eResult::Ack ? ERROR_SUCCESS : ERROR_GEN_FAILURE, {}};
    }
    default:
        if (mMode == eVireoMode::Dfu)
            mDfu.stallRequest();
        return {ERROR_GEN_FAILURE, {}};
    }
}

SimulatedVireo::tReply SimulatedVireo::detach()
{
    if (mMode == eVireoMode::Dfu) {
        mDfu.stallRequest();
        return {ERROR_GEN_FAILURE, {}};
    }
    if (mAppState != eDfuState::appIDLE)
        return {ERROR_GEN_FAILURE, {}};
    mAppState = eDfuState::appDETACH;
    scheduleReset(eReset::Detach);
    return {ERROR_SUCCESS, {}};
}

SimulatedVireo::tReply SimulatedVireo::dnload(WORD blockNumber, const BYTE* data, WORD length)
{
    if (mMode != eVireoMode::Dfu)
        return {ERROR_GEN_FAILURE, {}};
    if (mFaults.vanishBlock && *mFaults.vanishBlock == blockNumber && length != 0) {
        disappear();
        return {ERROR_DEVICE_NOT_CONNECTED, {}};
    }
    auto r = mDfu.dnload(blockNumber, data, length, Clock::now());
    if (mDfu.takeEraseStarted()) {
        mSettings.flashValid = false;
        persist();
    }
    return {r == DfuStateMachine::eResult::Ack ? ERROR_SUCCESS : ERROR_GEN_FAILURE, {}};
}

SimulatedVireo::tReply SimulatedVireo::getStatus(DWORD outputSize)
{
    if (outputSize < kDfuStatusSize)
        return {ERROR_INSUFFICIENT_BUFFER, {}};
    DfuStatusReply reply;
    if (mMode == eVireoMode::Dfu) {
        finishDueManifestation();
        if (mDfu.getStatus(Clock::now(), reply) == DfuStateMachine::eResult::Stall)
            return {ERROR_GEN_FAILURE, {}};
        if (mDfu.takeManifestationStarted()) {
            std::weak_ptr<SimulatedVireo> self = weak_from_this();
            std::uint64_t generation = mGeneration;
            mManifestationEndsAt = Clock::now() + mSettings.manifestationMs;
            mTimers.push_back(Clock::scheduleAfter(mSettings.manifestationMs, [self, generation] {
                if (auto d = self.lock())
                    d->manifestationDone(generation);
            }));
        }
    } else {
        reply.bState = mAppState;
    }
    auto b = reply.bytes();
    return {ERROR_SUCCESS, std::vector<BYTE>(b.begin(), b.end())};
}

SimulatedVireo::tReply SimulatedVireo::getState(DWORD outputSize)
{
    if (outputSize < 1)
        return {ERROR_INSUFFICIENT_BUFFER, {}};
    eDfuState state = mAppState;
    if (mMode == eVireoMode::Dfu) {
        finishDueManifestation();
        if (mDfu.getState(state) == DfuStateMachine::eResult::Stall)
            return {ERROR_GEN_FAILURE, {}};
    }
    return {ERROR_SUCCESS, {static_cast<BYTE>(state)}};
}

SimulatedVireo::tReply SimulatedVireo::dfuInfo(DWORD outputSize)
{
    if (mFaults.dfuInfo == eInfoReply::None)
        return {ERROR_INVALID_FUNCTION, {}};
    DWORD size = mFaults.dfuInfo == eInfoReply::Short ? kDfuInfoSize - 1 : kDfuInfoSize;
    if (outputSize < size)
        return {ERROR_INSUFFICIENT_BUFFER, {}};
    std::vector<BYTE> v = {mMode == eVireoMode::Dfu ? kDfuModeDfu : kDfuModeRuntime, mSettings.bmAttributes};
    appendLe16(v, mSettings.manifestationLimitSeconds);
    appendLe16(v, mFaults.transferSize.value_or(mSettings.transferSize));
    v.push_back(kDfuInfoExtra);
    v.resize(size);
    return {ERROR_SUCCESS, v};
}

}  // namespace HA::OS::SIM
