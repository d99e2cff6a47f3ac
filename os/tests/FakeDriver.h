#pragma once
// A recording driver for the tests of device files and of the device layer above them: each
// request is journalled and answered by a script (at once, after a delay on the clock, never;
// a cancel ends it, is ignored, or races a late completion), so replies the simulated device
// never gives (short, malformed, late after a cancel) can be made on purpose.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/devices/DeviceDriver.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Text.h"

namespace HA::OS::Test {

class FakeDriver : public DeviceDriver {
public:
    struct tReply {
        enum eWhen { Now, Later, Never };
        eWhen when = Now;
        DWORD status = ERROR_SUCCESS;
        std::vector<std::uint8_t> data;
        TimeMs delay = 0;  // Later: completion this long after the request
        // A cancel does not end the request at once: it completes this long afterwards,
        // successfully and with `data`, as a request that raced its cancel does.
        bool completesAfterCancel = false;
        TimeMs cancelDelay = 0;
        // A cancel changes nothing: the request completes as scripted, or never.
        bool ignoresCancel = false;
    };
    struct tRecord {
        DWORD code;
        std::vector<std::uint8_t> input;
        DWORD outputSize;
        bool overlapped;
        DWORD threadId;
        std::shared_ptr<IoRequest> request;
    };
    using Script = std::function<tReply(const IoRequest&)>;

    void setScript(Script script)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mScript = std::move(script);
    }

    std::vector<tRecord> journal() const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mJournal;
    }
    int opens() const { return mOpens; }
    int closes() const { return mCloses; }

    DWORD onOpen(DeviceInterfaceId, const WString&) override
    {
        ++mOpens;
        return ERROR_SUCCESS;
    }
    void onClose(DeviceInterfaceId, const WString&) override { ++mCloses; }

    void onRequest(const std::shared_ptr<IoRequest>& request) override
    {
        tReply reply;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mJournal.push_back({request->code(), request->input(), request->outputSize(), request->isOverlapped(),
                                request->threadId(), request});
            if (mScript)
                reply = mScript(*request);
            mReplies.emplace_back(request, reply);
        }
        switch (reply.when) {
        case tReply::Now:
            request->complete(reply.status, reply.data);
            break;
        case tReply::Later:
            Clock::scheduleAfter(reply.delay, [request, reply] { request->complete(reply.status, reply.data); });
            break;
        case tReply::Never:
            break;
        }
    }

    void onCancel(const std::shared_ptr<IoRequest>& request) override
    {
        tReply reply;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            for (auto& [r, rep] : mReplies)
                if (r == request)
                    reply = rep;
            ++mCancels;
        }
        if (reply.ignoresCancel)
            return;
        if (reply.completesAfterCancel)
            Clock::scheduleAfter(reply.cancelDelay,
                                     [request, reply] { request->complete(ERROR_SUCCESS, reply.data); });
        else
            request->complete(ERROR_OPERATION_ABORTED);
    }
    int cancels() const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mCancels;
    }

private:
    mutable std::mutex mMutex;
    Script mScript;
    std::vector<tRecord> mJournal;
    std::vector<std::pair<std::shared_ptr<IoRequest>, tReply>> mReplies;
    int mOpens = 0;
    int mCloses = 0;
    int mCancels = 0;
};

// A device path as the enumeration hands it over: in lower case.
inline std::u16string lowerCase(std::u16string path)
{
    for (char16_t& c : path)
        c = charLower(c);
    return path;
}

// Registers one interface with a fake driver for the life of a test.
class FakeDevice {
public:
    explicit FakeDevice(std::u16string path, const GUID& interfaceClass = {})
        : mDriver(std::make_shared<FakeDriver>()), mPath(std::move(path))
    {
        DeviceInterfaceInfo info;
        info.interfaceClass = interfaceClass;
        info.path = mPath;
        info.driver = mDriver;
        mId = addDeviceInterface(std::move(info), eBroadcast::Silent);
    }
    ~FakeDevice() { removeDeviceInterface(mId, eBroadcast::Silent); }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    FakeDriver& driver() { return *mDriver; }
    const std::u16string& path() const { return mPath; }

private:
    std::shared_ptr<FakeDriver> mDriver;
    std::u16string mPath;
    DeviceInterfaceId mId = 0;
};

}  // namespace HA::OS::Test
