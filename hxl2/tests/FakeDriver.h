#pragma once
// A recording driver for the device-layer tests: each request is journalled and answered by
// a script (at once, after a delay on the clock, never), so replies the simulated device
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

namespace HA::HXL2::Test {

class FakeDriver : public OS::DeviceDriver {
public:
    struct tReply {
        enum eWhen { Now, Later, Never };
        eWhen when = Now;
        OS::DWORD status = OS::ERROR_SUCCESS;
        std::vector<std::uint8_t> data;
        OS::TimeMs delay = 0;  // Later: completion this long after the request
        // A cancel does not end the request at once: it completes this long afterwards,
        // successfully and with `data`, as a request that raced its cancel does.
        bool completesAfterCancel = false;
        OS::TimeMs cancelDelay = 0;
    };
    struct tRecord {
        OS::DWORD code;
        std::vector<std::uint8_t> input;
        OS::DWORD outputSize;
        bool overlapped;
        OS::DWORD threadId;
        std::shared_ptr<OS::IoRequest> request;
    };
    using Script = std::function<tReply(const OS::IoRequest&)>;

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

    OS::DWORD onOpen(OS::DeviceInterfaceId, const OS::WString&) override
    {
        ++mOpens;
        return OS::ERROR_SUCCESS;
    }
    void onClose(OS::DeviceInterfaceId, const OS::WString&) override { ++mCloses; }

    void onRequest(const std::shared_ptr<OS::IoRequest>& request) override
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
            OS::Clock::scheduleAfter(reply.delay, [request, reply] { request->complete(reply.status, reply.data); });
            break;
        case tReply::Never:
            break;
        }
    }

    void onCancel(const std::shared_ptr<OS::IoRequest>& request) override
    {
        tReply reply;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            for (auto& [r, rep] : mReplies)
                if (r == request)
                    reply = rep;
            ++mCancels;
        }
        if (reply.completesAfterCancel)
            OS::Clock::scheduleAfter(reply.cancelDelay,
                                     [request, reply] { request->complete(OS::ERROR_SUCCESS, reply.data); });
        else
            request->complete(OS::ERROR_OPERATION_ABORTED);
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
    std::vector<std::pair<std::shared_ptr<OS::IoRequest>, tReply>> mReplies;
    int mOpens = 0;
    int mCloses = 0;
    int mCancels = 0;
};

// A device path as the enumeration hands it over: in lower case.
inline std::u16string lowerCase(std::u16string path)
{
    for (char16_t& c : path)
        c = OS::charLower(c);
    return path;
}

// A path of the maker's driver with ids in it: 3a17, 0e30, revision 0035.
inline const std::u16string kFakePath =
    u"\\\\?\\usb#vid_3a17&pid_0e30&rev_0035#sn0001#{6b3f0c21-9d4e-4a7b-8e15-2c70d1935a46}";

// Registers one interface with a fake driver for the life of a test.
class FakeDevice {
public:
    explicit FakeDevice(std::u16string path, const OS::GUID& interfaceClass = {})
        : mDriver(std::make_shared<FakeDriver>()), mPath(std::move(path))
    {
        OS::DeviceInterfaceInfo info;
        info.interfaceClass = interfaceClass;
        info.path = mPath;
        info.driver = mDriver;
        mId = OS::addDeviceInterface(std::move(info), OS::eBroadcast::Silent);
    }
    ~FakeDevice() { OS::removeDeviceInterface(mId, OS::eBroadcast::Silent); }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    FakeDriver& driver() { return *mDriver; }
    const std::u16string& path() const { return mPath; }

private:
    std::shared_ptr<FakeDriver> mDriver;
    std::u16string mPath;
    OS::DeviceInterfaceId mId = 0;
};

}  // namespace HA::HXL2::Test
