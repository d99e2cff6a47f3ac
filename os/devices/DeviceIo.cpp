#include "os/devices/DeviceIo.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "os/kernel/Clock.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Kernel.h"

namespace HA::OS {

namespace {

class DeviceFile : public KernelObject {
public:
    DeviceFile(DeviceInterfaceId id, WString path, std::shared_ptr<DeviceDriver> driver, DWORD flags)
        : mId(id), mPath(std::move(path)), mDriver(std::move(driver)), mFlags(flags)
    {
    }

    DeviceInterfaceId id() const { return mId; }
    const WString& path() const { return mPath; }
    const std::shared_ptr<DeviceDriver>& driver() const { return mDriver; }
    bool isOverlapped() const { return (mFlags & FILE_FLAG_OVERLAPPED) != 0; }

    void track(const std::shared_ptr<IoRequest>& request, OVERLAPPED* overlapped)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        prune();
        mPending.push_back(request);
        if (overlapped != nullptr)
            mByRecord[overlapped] = request;
    }

    std::shared_ptr<IoRequest> lastRequest(const OVERLAPPED* overlapped)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        auto it = mByRecord.find(overlapped);
        return it == mByRecord.end() ? nullptr : it->second;
    }

    // Pending requests of one thread, or of every thread (threadId 0).
    std::vector<std::shared_ptr<IoRequest>> pending(DWORD threadId)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        prune();
        std::vector<std::shared_ptr<IoRequest>> out;
        for (auto& r : mPending)
            if (threadId == 0 || r->threadId() == threadId)
                out.push_back(r);
        return out;
    }

    void onClose() override
    {
        if (mDriver) {
            cancel(pending(0));
            mDriver->onClose(mId, mPath);
        }
    }

    void cancel(const std::vector<std::shared_ptr<IoRequest>>& requests)
    {
        for (auto& r : requests) {
            r->markCancelRequested();
            mDriver->onCancel(r);
        }
    }

private:
    void prune()
    {
        mPending.erase(std::remove_if(mPending.begin(), mPending.end(), [](auto& r) { return r->isDone(); }),
                       mPending.end());
    }

    DeviceInterfaceId mId;
    WString mPath;
    std::shared_ptr<DeviceDriver> mDriver;
    DWORD mFlags;
    std::mutex mMutex;
    std::vector<std::shared_ptr<IoRequest>> mPending;
    std::map<const OVERLAPPED*, std::shared_ptr<IoRequest>> mByRecord;
};

// Waits without a time-out; the driver decides when the request ends.
void waitForCompletion(const IoRequest& request)
{
    std::unique_lock<std::mutex> lock(Clock::kernelMutex());
    Clock::waitUntil(lock, kForever, [&] { return request.isDoneLocked(); });
}

bool finish(const IoRequest& request, DWORD* bytes)
{
    DWORD status, count;
    {
        std::lock_guard<std::mutex> lock(Clock::kernelMutex());
        status = request.statusLocked();
        count = request.bytesLocked();
    }
    if (bytes != nullptr)
        *bytes = count;
    if (status != ERROR_SUCCESS) {
        setLastError(status);
        return false;
    }
    return true;
}

}  // namespace

HANDLE createDeviceFile(const WString& path, DWORD, DWORD, DWORD creationDisposition, DWORD flagsAndAttributes)
{
    if (creationDisposition != OPEN_EXISTING) {
        setLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DeviceInterfaceId id = findDeviceInterface(path);
    std::optional<DeviceInterfaceInfo> info = id ? deviceInterfaceInfo(id) : std::nullopt;
    if (!info) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DWORD refused = info->openError;
    if (refused == ERROR_SUCCESS && info->driver)
        refused = info->driver->onOpen(id, info->path);
    if (refused != ERROR_SUCCESS) {
        setLastError(refused);
        return INVALID_HANDLE_VALUE;
    }
    return registerHandle(std::make_shared<DeviceFile>(id, info->path, info->driver, flagsAndAttributes));
}

bool deviceIoControl(HANDLE device, DWORD ioControlCode, const void* inBuffer, DWORD inBufferSize, void* outBuffer,
                     DWORD outBufferSize, DWORD* bytesReturned, OVERLAPPED* overlapped)
{
    auto file = lookupHandleAs<DeviceFile>(device);
    if (!file) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!isDeviceInterfacePresent(file->id())) {
        setLastError(ERROR_DEVICE_NOT_CONNECTED);
        return false;
    }
    if (!file->driver()) {
        setLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    if ((inBuffer == nullptr && inBufferSize != 0) || (outBuffer == nullptr && outBufferSize != 0)) {
        setLastError(ERROR_NOACCESS);
        return false;
    }
    bool mayPend = file->isOverlapped() && overlapped != nullptr;
    IoRequest::tSetup setup;
    setup.code = ioControlCode;
    if (inBufferSize != 0) {
        const BYTE* in = static_cast<const BYTE*>(inBuffer);
        setup.input.assign(in, in + inBufferSize);
    }
    setup.output = outBuffer;
    setup.outputSize = outBufferSize;
    setup.threadId = currentThreadId();
    setup.interfaceId = file->id();
    setup.path = file->path();
    if (mayPend) {
        overlapped->Internal = ERROR_IO_PENDING;
        overlapped->InternalHigh = 0;
        setup.overlapped = overlapped;
        setup.event = overlapped->hEvent;
        // The platform resets the record's event when the request starts.
        if (overlapped->hEvent != nullptr)
            resetEvent(overlapped->hEvent);
    }
    auto request = std::make_shared<IoRequest>(std::move(setup));
    file->track(request, mayPend ? overlapped : nullptr);
    file->driver()->onRequest(request);
    if (!mayPend) {
        waitForCompletion(*request);
        return finish(*request, bytesReturned);
    }
    if (!request->isDone()) {
        setLastError(ERROR_IO_PENDING);
        return false;
    }
    return finish(*request, bytesReturned);
}

bool getOverlappedResult(HANDLE device, OVERLAPPED& overlapped, DWORD& bytesTransferred, eOverlappedWait wait)
{
    auto file = lookupHandleAs<DeviceFile>(device);
    if (!file) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::shared_ptr<IoRequest> request = file->lastRequest(&overlapped);
    if (!request) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (wait == eOverlappedWait::Wait)
        waitForCompletion(*request);
    else if (!request->isDone()) {
        setLastError(ERROR_IO_INCOMPLETE);
        return false;
    }
    return finish(*request, &bytesTransferred);
}

bool cancelIo(HANDLE device)
{
    auto file = lookupHandleAs<DeviceFile>(device);
    if (!file) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (file->driver())
        file->cancel(file->pending(currentThreadId()));
    return true;
}

DeviceInterfaceId deviceFileInterface(HANDLE device)
{
    auto file = lookupHandleAs<DeviceFile>(device);
    return file ? file->id() : 0;
}

}  // namespace HA::OS
