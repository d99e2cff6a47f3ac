#include "hxl2/USBDevice.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <thread>

#include "hxl2/DeviceLog.h"
#include "hxl2/platform/USBDeviceOSImpl.h"
#include "hxl2/tests/FakeDriver.h"
#include "os/kernel/Debug.h"
#include "os/devices/DeviceConfig.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"

using namespace HA;
using namespace HA::HXL2;
using namespace HA::HXL2::Test;

namespace {

const std::u16string& kPath = kFakePath;

// A device whose driver answers the descriptor with 17 bytes, so opens take the ids from the
// path; every other request is scripted by the test.
class USBDeviceFixture : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    FakeDevice fake{kPath};
    USBDevice device;

    void SetUp() override
    {
        fake.driver().setScript([](const OS::IoRequest&) {
            FakeDriver::tReply r;
            r.data.assign(17, 0);
            return r;
        });
        ASSERT_TRUE(device.open(kPath));
    }
    void script(FakeDriver::Script s) { fake.driver().setScript(std::move(s)); }
};

constexpr std::uint32_t kSomeRequest = OS::IOCTL_HA_DFU_GETSTATUS;

FakeDriver::tReply reply(FakeDriver::tReply::eWhen when, OS::DWORD status = 0, std::vector<std::uint8_t> data = {},
                         OS::TimeMs delay = 0)
{
    FakeDriver::tReply r;
    r.when = when;
    r.status = status;
    r.data = std::move(data);
    r.delay = delay;
    return r;
}

}  // namespace

TEST_F(USBDeviceFixture, RequestOutcomes)
{
    using R = FakeDriver::tReply;
    struct Case {
        const char* name;
        std::uint32_t code;
        R reply;
        std::uint32_t timeoutMs;
        OS::TimeMs abortAfter;  // 0: no abort event
        std::uint32_t expected;
        OS::TimeMs elapsed;
        bool dataArrives;
    };
    const std::vector<std::uint8_t> data = {1, 2, 3, 4, 5, 6};
    const Case cases[] = {
        {"at once", kSomeRequest, reply(R::Now, 0, data), 0, 0, 0, 0, true},
        {"pending in time", kSomeRequest, reply(R::Later, 0, data, 499), 0, 0, 0, 499, true},
        {"pending with own time-out", kSomeRequest, reply(R::Later, 0, data, 1500), 2000, 0, 0, 1500, true},
        {"past the default time-out", kSomeRequest, reply(R::Later, 0, data, 501), 0, 0, OS::WAIT_TIMEOUT, 500, false},
        {"never, own time-out", kSomeRequest, reply(R::Never), 50, 0, OS::WAIT_TIMEOUT, 50, false},
        {"abort event", kSomeRequest, reply(R::Never), 0, 100, OS::ERROR_CANCELLED, 100, false},
        {"done before abort", kSomeRequest, reply(R::Later, 0, data, 20), 0, 100, 0, 20, true},
        {"immediate error", kSomeRequest, reply(R::Now, OS::ERROR_OPERATION_ABORTED), 0, 0, OS::ERROR_OPERATION_ABORTED, 0,
         false},
        {"pending then error", kSomeRequest, reply(R::Later, OS::ERROR_CRC, {}, 10), 0, 0, OS::ERROR_CRC, 10, false},
        {"error 31 of the reserved request", OS::IOCTL_HA_USB_RESERVED_810, reply(R::Now, OS::ERROR_GEN_FAILURE), 0, 0, 0,
         0, false},
        {"error 31 of another request", kSomeRequest, reply(R::Now, OS::ERROR_GEN_FAILURE), 0, 0, OS::ERROR_GEN_FAILURE, 0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        script([&](const OS::IoRequest&) { return c.reply; });
        OS::HANDLE abort = OS::createEvent(OS::eReset::Manual, false);
        if (c.abortAfter != 0)
            OS::Clock::scheduleAfter(c.abortAfter, [abort] { OS::setEvent(abort); });
        std::array<std::uint8_t, 6> out = {};
        std::uint32_t returned = 99;
        const OS::TimeMs start = OS::Clock::now();
        const std::uint32_t result = device.deviceIoControl(c.code, nullptr, 0, out.data(), out.size(), &returned,
                                                            c.timeoutMs, c.abortAfter != 0 ? &abort : nullptr);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(OS::Clock::now() - start, c.elapsed);
        if (c.dataArrives) {
            EXPECT_EQ(returned, 6u);
            EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end()), data);
        }
        EXPECT_TRUE(fake.driver().journal().back().request->isDone());
        EXPECT_TRUE(fake.driver().journal().back().overlapped);
        OS::Clock::advance(2000);  // let late completions of this case run before the next
        OS::closeHandle(abort);
    }
}

// A request that completes after its cancel still writes into the caller's buffer: the call
// must not return before that write, or the caller's next use of the buffer is overwritten.
TEST_F(USBDeviceFixture, NothingIsWrittenAfterAGivenUpRequestReturns)
{
    struct Case {
        const char* name;
        bool abort;
        std::uint32_t expected;
    };
    const Case cases[] = {{"time-out", false, OS::WAIT_TIMEOUT}, {"abort event", true, OS::ERROR_CANCELLED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        script([](const OS::IoRequest&) {
            FakeDriver::tReply r;
            r.when = FakeDriver::tReply::Never;
            r.data = {0xAA, 0xAA, 0xAA, 0xAA};
            r.completesAfterCancel = true;
            r.cancelDelay = 300;
            return r;
        });
        OS::HANDLE abort = OS::createEvent(OS::eReset::Manual, false);
        if (c.abort)
            OS::Clock::scheduleAfter(40, [abort] { OS::setEvent(abort); });
        // Guard bytes around the four the request may write.
        std::array<std::uint8_t, 12> buffer;
        buffer.fill(0x11);
        const std::uint32_t result =
            device.deviceIoControl(kSomeRequest, nullptr, 0, buffer.data() + 4, 4, nullptr, 0, c.abort ? &abort : nullptr);
        EXPECT_EQ(result, c.expected);
        EXPECT_TRUE(fake.driver().journal().back().request->isDone());
        const auto atReturn = buffer;
        OS::Clock::advance(5000);
        EXPECT_EQ(buffer, atReturn) << "written after the call returned";
        const std::array<std::uint8_t, 12> expected = {0x11, 0x11, 0x11, 0x11, 0xAA, 0xAA,
                                                       0xAA, 0xAA, 0x11, 0x11, 0x11, 0x11};
        EXPECT_EQ(buffer, expected);
        OS::closeHandle(abort);
    }
}

TEST_F(USBDeviceFixture, TimeOutIsLoggedOnlyForAnEnabledCategory)
{
    OS::DebugOutputCapture capture;
    OS::setDebuggerPresent(true);
    script([](const OS::IoRequest&) {
        FakeDriver::tReply r;
        r.when = FakeDriver::tReply::Never;
        return r;
    });
    EXPECT_EQ(device.deviceIoControl(kSomeRequest, nullptr, 0, nullptr, 0), OS::WAIT_TIMEOUT);
    EXPECT_EQ(capture.text(), "");  // verbosity 2: level 1 is not written

    logVerbosity = 1;
    EXPECT_EQ(device.deviceIoControl(kSomeRequest, nullptr, 0, nullptr, 0), OS::WAIT_TIMEOUT);
    EXPECT_EQ(capture.text(), "");  // category not enabled
    {
        std::lock_guard<std::mutex> lock(logMutex);
        logCategories.insert("USBDevice");
    }
    EXPECT_EQ(device.deviceIoControl(kSomeRequest, nullptr, 0, nullptr, 0, nullptr, 70), OS::WAIT_TIMEOUT);
    EXPECT_EQ(capture.text(), "USBDevice: deviceIoControl timed out after 70 ms)\n");
    {
        std::lock_guard<std::mutex> lock(logMutex);
        logCategories.clear();
    }
    logVerbosity = 2;
    OS::setDebuggerPresent(false);
}

// Two threads send requests through one device at once; each waits on its own record and
// gets its own reply.
// Tests that start a second thread also run under the thread sanitizer.
using USBDeviceFixtureThreaded = USBDeviceFixture;

TEST_F(USBDeviceFixtureThreaded, TwoThreadsSendRequestsAtOnce)
{
    script([](const OS::IoRequest& request) {
        FakeDriver::tReply r;
        r.when = FakeDriver::tReply::Later;
        r.delay = 1 + request.input()[0] % 7;
        r.data = request.input();
        return r;
    });
    constexpr int kRounds = 40;
    auto run = [&](std::uint8_t tag, int& failures) {
        for (int i = 0; i < kRounds; ++i) {
            const std::uint8_t in[2] = {static_cast<std::uint8_t>(i), tag};
            std::uint8_t out[2] = {};
            std::uint32_t returned = 0;
            // Without a time-out: under the manual clock one thread's wait could otherwise
            // jump to its deadline while the other thread runs its completion.
            if (device.deviceIoControl(kSomeRequest, in, 2, out, 2, &returned, OS::INFINITE) != 0 || returned != 2
                || out[0] != in[0] || out[1] != tag)
                ++failures;
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(run, std::uint8_t(0xA), std::ref(failuresA));
    std::thread b(run, std::uint8_t(0xB), std::ref(failuresB));
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);

    std::map<OS::DWORD, std::set<const void*>> records;
    for (const auto& r : fake.driver().journal())
        if (r.code == kSomeRequest)
            records[r.threadId].insert(r.request.get());
    ASSERT_EQ(records.size(), 2u);
}

TEST_F(USBDeviceFixture, ControlTransferHeaderAndData)
{
    script([](const OS::IoRequest&) {
        FakeDriver::tReply r;
        r.data = {9, 8, 7};
        return r;
    });
    std::uint8_t in[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    USBControlRequest toDevice{0x21, 0x09, 0x0302, 0x0004, 4, in, 77};
    EXPECT_EQ(device.controlTransfer(toDevice), 0u);
    EXPECT_EQ(toDevice.transferred, 0u);
    auto sent = fake.driver().journal().back();
    EXPECT_EQ(sent.code, OS::IOCTL_HA_USB_CONTROL_TRANSFER);
    const std::vector<std::uint8_t> expectedToDevice = {0, 1, 0, 0, 0, 1, 0, 0, 0, 0x09, 0x02, 0x03,
                                                        0x04, 0, 4, 0, 0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(sent.input, expectedToDevice);
    EXPECT_EQ(sent.outputSize, 0u);

    std::uint8_t out[8] = {};
    USBControlRequest fromDevice{0xC0, 0x01, 0, 0, 8, out, 0};
    EXPECT_EQ(device.controlTransfer(fromDevice), 0u);
    EXPECT_EQ(fromDevice.transferred, 3u);
    EXPECT_EQ(out[0], 9);
    sent = fake.driver().journal().back();
    const std::vector<std::uint8_t> expectedFromDevice = {1, 2, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 8, 0};
    EXPECT_EQ(sent.input, expectedFromDevice);
    EXPECT_EQ(sent.outputSize, 8u);

    USBControlRequest noData{0x00, 0x05, 0x0010, 0, 0, nullptr, 5};
    EXPECT_EQ(device.controlTransfer(noData), 0u);
    EXPECT_EQ(noData.transferred, 0u);
    EXPECT_EQ(fake.driver().journal().back().input.size(), 16u);
}

TEST_F(USBDeviceFixture, PackedValueIsReadOnceAndNeedsTwelveBytes)
{
    USBDevice::OSImpl impl(&device);
    ASSERT_TRUE(impl.open(kPath));
    std::uint32_t value = 0;
    script([](const OS::IoRequest&) {
        FakeDriver::tReply r;
        r.data = {0, 0, 0x12, 0x34, 0x56, 0, 0, 0, 0, 0, 0};  // 11 bytes
        return r;
    });
    EXPECT_FALSE(impl.readPackedValue(value));
    script([](const OS::IoRequest&) {
        FakeDriver::tReply r;
        r.data = {0, 0, 0x12, 0x34, 0x56, 0, 0, 0, 0, 0, 0, 0};
        return r;
    });
    EXPECT_TRUE(impl.readPackedValue(value));
    EXPECT_EQ(value, 0x12345600u);
    const std::size_t sent = fake.driver().journal().size();
    EXPECT_TRUE(impl.readPackedValue(value));
    EXPECT_EQ(fake.driver().journal().size(), sent);
    EXPECT_EQ(fake.driver().journal().back().code, OS::IOCTL_HA_USB_GET_PACKED_VALUE);
    EXPECT_FALSE(fake.driver().journal().back().overlapped);
}

TEST_F(USBDeviceFixture, ClosedDeviceRefusesRequests)
{
    device.close();
    EXPECT_FALSE(device.isOpen());
    EXPECT_TRUE(device.path().empty());
    EXPECT_EQ(device.deviceIoControl(kSomeRequest, nullptr, 0, nullptr, 0), OS::ERROR_INVALID_HANDLE);
    device.close();  // closing twice is harmless
}
