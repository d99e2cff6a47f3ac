// The stand-in's device side: registry, the setup-API walk, device files, HID identity,
// driver requests at once, later, never or failing, overlapped results and cancellation.

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "os/devices/DeviceBroadcast.h"
#include "os/devices/DeviceIo.h"
#include "os/devices/DeviceRegistry.h"
#include "os/devices/GuidText.h"
#include "os/devices/Hid.h"
#include "os/kernel/Kernel.h"
#include "os/devices/SetupApi.h"
#include "os/tests/FakeDriver.h"

using namespace HA::OS;
using HA::OS::Test::FakeDriver;

namespace {

constexpr GUID kClassA = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr GUID kClassB = {0x11111112, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr DWORD kCode = 0x80892004;

enum class eAnswer { AtOnce, Later, Never, LateIgnoringCancel };

// How the fake driver answers every request of a case.
struct tAnswer {
    eAnswer answer = eAnswer::AtOnce;
    DWORD status = ERROR_SUCCESS;
    TimeMs delay = 100;
};

const std::vector<BYTE> kReplyData = {1, 2, 3, 4};

class DeviceIo : public ::testing::Test {
protected:
    ManualClockScope clock;
    std::shared_ptr<FakeDriver> driver = std::make_shared<FakeDriver>();
    std::vector<std::pair<DWORD, WString>> broadcasts;
    int subscriber = 0;

    // Every request from now on is answered this way.
    void answerWith(const tAnswer& a)
    {
        driver->setScript([a](const IoRequest&) {
            FakeDriver::tReply reply;
            reply.status = a.status;
            reply.data = kReplyData;
            reply.delay = a.delay;
            reply.when = a.answer == eAnswer::AtOnce  ? FakeDriver::tReply::Now
                         : a.answer == eAnswer::Never ? FakeDriver::tReply::Never
                                                      : FakeDriver::tReply::Later;
            reply.ignoresCancel = a.answer == eAnswer::LateIgnoringCancel;
            return reply;
        });
    }

    void SetUp() override
    {
        answerWith({});
        removeAllDeviceInterfaces();
        subscriber = addDeviceChangeSubscriber([this](DWORD event, const DEV_BROADCAST_HDR& h) {
            ASSERT_EQ(h.dbch_devicetype, DBT_DEVTYP_DEVICEINTERFACE);
            auto* rec = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(&h);
            broadcasts.push_back({event, WString(rec->dbcc_name)});
        });
    }
    void TearDown() override
    {
        removeDeviceChangeSubscriber(subscriber);
        removeAllDeviceInterfaces();
    }

    DeviceInterfaceId add(const WString& path, GUID cls = kClassA, eBroadcast b = eBroadcast::Silent)
    {
        DeviceInterfaceInfo info;
        info.interfaceClass = cls;
        info.path = path;
        info.driver = driver;
        return addDeviceInterface(info, b);
    }

    HANDLE open(const WString& path)
    {
        return createDeviceFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED);
    }

    // The setup-API walk as a host writes it.
    std::vector<WString> walk(const GUID& cls)
    {
        std::vector<WString> paths;
        HDEVINFO set = setupDiGetClassDevs(cls, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        EXPECT_NE(set, INVALID_HANDLE_VALUE);
        for (DWORD i = 0;; ++i) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof(data);
            if (!setupDiEnumDeviceInterfaces(set, cls, i, data)) {
                EXPECT_EQ(getLastError(), ERROR_NO_MORE_ITEMS);
                break;
            }
            DWORD size = 0;
            EXPECT_FALSE(setupDiGetDeviceInterfaceDetail(set, data, nullptr, 0, &size));
            EXPECT_EQ(getLastError(), ERROR_INSUFFICIENT_BUFFER);
            std::vector<std::uint64_t> buffer((size + 7) / 8, 0);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            EXPECT_FALSE(setupDiGetDeviceInterfaceDetail(set, data, detail, size - 1, nullptr));
            EXPECT_EQ(getLastError(), ERROR_INSUFFICIENT_BUFFER);
            EXPECT_TRUE(setupDiGetDeviceInterfaceDetail(set, data, detail, size, nullptr));
            paths.emplace_back(detail->DevicePath);
        }
        EXPECT_TRUE(setupDiDestroyDeviceInfoList(set));
        return paths;
    }
};

}  // namespace

TEST_F(DeviceIo, EnumerationListsOneClassInArrivalOrderAsASnapshot)
{
    add(u"\\\\?\\USB#VID_1234&PID_0001#A#{x}");
    add(u"\\\\?\\USB#VID_1234&PID_0002#B#{y}", kClassB);
    DeviceInterfaceId third = add(u"\\\\?\\USB#VID_1234&PID_0003#C#{x}");
    EXPECT_EQ(walk(kClassA), (std::vector<WString>{u"\\\\?\\USB#VID_1234&PID_0001#A#{x}",
                                                   u"\\\\?\\USB#VID_1234&PID_0003#C#{x}"}));

    HDEVINFO set = setupDiGetClassDevs(kClassA, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    removeDeviceInterface(third, eBroadcast::Silent);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    EXPECT_TRUE(setupDiEnumDeviceInterfaces(set, kClassA, 1, data));  // taken before the removal
    setupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(walk(kClassA).size(), 1u);
}

TEST_F(DeviceIo, EnumerationRejectsBadRecordsAndFlags)
{
    add(u"p1");
    EXPECT_EQ(setupDiGetClassDevs(kClassA, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    EXPECT_EQ(getLastError(), ERROR_INVALID_FLAGS);
    HDEVINFO set = setupDiGetClassDevs(kClassA, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 28;  // the 32-bit size is not this record's size here
    EXPECT_FALSE(setupDiEnumDeviceInterfaces(set, kClassA, 0, data));
    EXPECT_EQ(getLastError(), ERROR_INVALID_USER_BUFFER);
    data.cbSize = sizeof(data);
    ASSERT_TRUE(setupDiEnumDeviceInterfaces(set, kClassA, 0, data));
    std::vector<std::uint64_t> buffer(8, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = 8;
    EXPECT_FALSE(setupDiGetDeviceInterfaceDetail(set, data, detail, 64, nullptr));
    EXPECT_EQ(getLastError(), ERROR_INVALID_USER_BUFFER);
    EXPECT_FALSE(setupDiGetDeviceInterfaceDetail(set, data, nullptr, 64, nullptr));
    EXPECT_EQ(getLastError(), ERROR_INVALID_USER_BUFFER);
    setupDiDestroyDeviceInfoList(set);
    EXPECT_FALSE(setupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(setupDiEnumDeviceInterfaces(set, kClassA, 0, data));
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(DeviceIo, RegistryRefusesDuplicatePathsWithoutRegardToCase)
{
    EXPECT_NE(add(u"\\\\?\\USB#Vid_1234"), 0u);
    EXPECT_EQ(add(u"\\\\?\\usb#VID_1234"), 0u);
    EXPECT_EQ(add(u""), 0u);
}

TEST_F(DeviceIo, ArrivalAndRemovalAreBroadcastWithThePath)
{
    DeviceInterfaceId id = add(u"\\\\?\\USB#X", kClassA, eBroadcast::Broadcast);
    removeDeviceInterface(id, eBroadcast::Broadcast);
    add(u"\\\\?\\USB#Y", kClassA, eBroadcast::Silent);
    const std::vector<std::pair<DWORD, WString>> expected = {{DBT_DEVICEARRIVAL, u"\\\\?\\USB#X"},
                                                             {DBT_DEVICEREMOVECOMPLETE, u"\\\\?\\USB#X"}};
    EXPECT_EQ(broadcasts, expected);
}

TEST_F(DeviceIo, OpenAnswersThePlatformErrors)
{
    add(u"\\\\?\\USB#Present");
    DeviceInterfaceInfo refused;
    refused.interfaceClass = kClassA;
    refused.path = u"\\\\?\\USB#Refused";
    refused.openError = ERROR_ACCESS_DENIED;
    addDeviceInterface(refused, eBroadcast::Silent);
    struct Case {
        const char16_t* path;
        DWORD creation;
        DWORD error;  // 0: opens
    };
    const Case cases[] = {
        {u"\\\\?\\usb#present", OPEN_EXISTING, 0},
        {u"\\\\?\\USB#Missing", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {u"\\\\?\\USB#Refused", OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\\\?\\USB#Present", 2 /* CREATE_ALWAYS */, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        HANDLE h = createDeviceFile(c.path, GENERIC_READ, 0, c.creation, 0);
        if (c.error == 0) {
            EXPECT_NE(h, INVALID_HANDLE_VALUE);
            EXPECT_TRUE(closeHandle(h));
        } else {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(getLastError(), c.error);
        }
    }
    EXPECT_EQ(driver->closes(), 1);
}

TEST_F(DeviceIo, HidIdentityAndUnreadableStrings)
{
    DeviceInterfaceInfo info;
    info.interfaceClass = GUID_DEVINTERFACE_HID;
    info.path = u"\\\\?\\HID#VID_1234&PID_0042";
    HidIdentity hid;
    hid.vendorId = 0x1234;
    hid.productId = 0x42;
    hid.versionNumber = 0x0110;
    hid.product = u"Pad";
    hid.serialNumber = u"S1";
    info.hid = hid;
    DeviceInterfaceId id = addDeviceInterface(info, eBroadcast::Silent);
    add(u"plain");

    GUID g{};
    hidGetHidGuid(g);
    EXPECT_EQ(g, GUID_DEVINTERFACE_HID);
    HANDLE h = createDeviceFile(info.path, 0, 0, OPEN_EXISTING, 0);
    HIDD_ATTRIBUTES a{};
    EXPECT_FALSE(hidGetAttributes(h, a));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    a.Size = sizeof(a);
    ASSERT_TRUE(hidGetAttributes(h, a));
    EXPECT_EQ(a.VendorID, 0x1234);
    EXPECT_EQ(a.ProductID, 0x42);
    EXPECT_EQ(a.VersionNumber, 0x0110);
    char16_t text[512] = {};
    EXPECT_FALSE(hidGetManufacturerString(h, text, sizeof(text)));
    EXPECT_EQ(getLastError(), ERROR_GEN_FAILURE);
    EXPECT_TRUE(hidGetProductString(h, text, sizeof(text)));
    EXPECT_EQ(WString(text), u"Pad");
    EXPECT_FALSE(hidGetSerialNumberString(h, text, 4));
    EXPECT_EQ(getLastError(), ERROR_INSUFFICIENT_BUFFER);

    HANDLE plain = createDeviceFile(u"plain", 0, 0, OPEN_EXISTING, 0);
    EXPECT_FALSE(hidGetAttributes(plain, a));
    EXPECT_EQ(getLastError(), ERROR_INVALID_FUNCTION);
    removeDeviceInterface(id, eBroadcast::Silent);
    EXPECT_FALSE(hidGetAttributes(h, a));
    EXPECT_EQ(getLastError(), ERROR_DEVICE_NOT_CONNECTED);
    closeHandle(h);
    closeHandle(plain);
}

TEST_F(DeviceIo, RequestsCompleteAtOnceLaterNeverOrWithAnError)
{
    struct Case {
        eAnswer answer;
        DWORD status;
        bool immediate;
        DWORD error;     // last error of deviceIoControl when not immediate success
        DWORD result;    // 0: success, else the overlapped result's error; WAIT_TIMEOUT: still pending
        TimeMs doneAt;
    };
    const Case cases[] = {
        {eAnswer::AtOnce, ERROR_SUCCESS, true, 0, 0, 0},
        {eAnswer::AtOnce, ERROR_GEN_FAILURE, false, ERROR_GEN_FAILURE, ERROR_GEN_FAILURE, 0},
        {eAnswer::Later, ERROR_SUCCESS, false, ERROR_IO_PENDING, 0, 100},
        {eAnswer::Later, ERROR_INVALID_PARAMETER, false, ERROR_IO_PENDING, ERROR_INVALID_PARAMETER, 100},
        {eAnswer::Never, ERROR_SUCCESS, false, ERROR_IO_PENDING, WAIT_TIMEOUT, 500},
    };
    add(u"dev");
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        Clock::useManual(0);
        answerWith({c.answer, c.status});
        HANDLE h = open(u"dev");
        HANDLE event = createEvent(eReset::Manual, true);  // a stale signal the start must clear
        OVERLAPPED ov{};
        ov.hEvent = event;
        BYTE in[2] = {7, 8};
        BYTE out[8] = {};
        DWORD returned = 99;
        bool ok = deviceIoControl(h, kCode, in, 2, out, sizeof(out), &returned, &ov);
        EXPECT_EQ(ok, c.immediate);
        if (c.immediate)
            EXPECT_EQ(returned, 4u);
        else
            EXPECT_EQ(getLastError(), c.error);
        DWORD wait = waitForSingleObject(event, 500);
        EXPECT_EQ(Clock::now(), c.doneAt);
        DWORD bytes = 0;
        if (c.result == WAIT_TIMEOUT) {
            EXPECT_EQ(wait, WAIT_TIMEOUT);
            EXPECT_FALSE(getOverlappedResult(h, ov, bytes, eOverlappedWait::NoWait));
            EXPECT_EQ(getLastError(), ERROR_IO_INCOMPLETE);
            EXPECT_TRUE(cancelIo(h));
            EXPECT_FALSE(getOverlappedResult(h, ov, bytes, eOverlappedWait::Wait));
            EXPECT_EQ(getLastError(), ERROR_OPERATION_ABORTED);
        } else if (c.result == 0) {
            EXPECT_EQ(wait, WAIT_OBJECT_0);
            EXPECT_TRUE(getOverlappedResult(h, ov, bytes, eOverlappedWait::NoWait));
            EXPECT_EQ(bytes, 4u);
            EXPECT_EQ(out[3], 4);
            EXPECT_EQ(ov.Internal, 0u);
            EXPECT_EQ(ov.InternalHigh, 4u);
        } else {
            EXPECT_FALSE(getOverlappedResult(h, ov, bytes, eOverlappedWait::NoWait));
            EXPECT_EQ(getLastError(), c.result);
        }
        EXPECT_EQ(driver->journal().back().input, (std::vector<BYTE>{7, 8}));
        closeHandle(event);
        closeHandle(h);
    }
}

TEST_F(DeviceIo, RequestsWithoutOverlappedRecordWaitForTheDriver)
{
    add(u"dev");
    answerWith({eAnswer::Later});
    HANDLE h = open(u"dev");
    BYTE out[4] = {};
    DWORD returned = 0;
    EXPECT_TRUE(deviceIoControl(h, kCode, nullptr, 0, out, sizeof(out), &returned, nullptr));
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(Clock::now(), 100);
    closeHandle(h);

    // A handle opened without FILE_FLAG_OVERLAPPED waits even when given a record.
    HANDLE sync = createDeviceFile(u"dev", GENERIC_READ, 0, OPEN_EXISTING, 0);
    OVERLAPPED ov{};
    EXPECT_TRUE(deviceIoControl(sync, kCode, nullptr, 0, out, sizeof(out), &returned, &ov));
    EXPECT_EQ(Clock::now(), 200);
    closeHandle(sync);
}

TEST_F(DeviceIo, ACancelledRequestMayStillCompleteLateIntoTheBuffer)
{
    add(u"dev");
    answerWith({eAnswer::LateIgnoringCancel, ERROR_SUCCESS, 800});
    HANDLE h = open(u"dev");
    HANDLE event = createEvent(eReset::Manual, false);
    auto ov = std::make_unique<OVERLAPPED>();
    ov->hEvent = event;
    std::vector<BYTE> out(4, 0);
    EXPECT_FALSE(deviceIoControl(h, kCode, nullptr, 0, out.data(), 4, nullptr, ov.get()));
    EXPECT_EQ(waitForSingleObject(event, 500), WAIT_TIMEOUT);
    EXPECT_TRUE(cancelIo(h));
    DWORD bytes = 0;
    EXPECT_FALSE(getOverlappedResult(h, *ov, bytes, eOverlappedWait::NoWait));
    EXPECT_EQ(out[0], 0);
    // A caller that waits after the cancel sees the late answer land in its buffer.
    EXPECT_TRUE(getOverlappedResult(h, *ov, bytes, eOverlappedWait::Wait));
    EXPECT_EQ(Clock::now(), 800);
    EXPECT_EQ(out, (std::vector<BYTE>{1, 2, 3, 4}));
    closeHandle(event);
    closeHandle(h);
}

// Tests that start a second thread also run under the thread sanitizer.
using DeviceIoThreaded = DeviceIo;

TEST_F(DeviceIoThreaded, CancelTouchesOnlyTheCallingThreadsRequests)
{
    add(u"dev");
    answerWith({eAnswer::Never});
    HANDLE h = open(u"dev");
    OVERLAPPED mine{}, theirs{};
    EXPECT_FALSE(deviceIoControl(h, kCode, nullptr, 0, nullptr, 0, nullptr, &mine));
    std::thread other([&] { EXPECT_FALSE(deviceIoControl(h, kCode, nullptr, 0, nullptr, 0, nullptr, &theirs)); });
    other.join();
    cancelIo(h);
    DWORD bytes = 0;
    EXPECT_FALSE(getOverlappedResult(h, mine, bytes, eOverlappedWait::NoWait));
    EXPECT_EQ(getLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_FALSE(getOverlappedResult(h, theirs, bytes, eOverlappedWait::NoWait));
    EXPECT_EQ(getLastError(), ERROR_IO_INCOMPLETE);
    closeHandle(h);  // cancels the rest
    EXPECT_EQ(theirs.Internal, ERROR_OPERATION_ABORTED);
}

TEST_F(DeviceIo, HandlesOfARemovedDeviceAnswerNotConnected)
{
    DeviceInterfaceId id = add(u"dev");
    HANDLE h = open(u"dev");
    removeDeviceInterface(id, eBroadcast::Silent);
    add(u"dev");  // back under the same path: the old handle stays disconnected
    OVERLAPPED ov{};
    EXPECT_FALSE(deviceIoControl(h, kCode, nullptr, 0, nullptr, 0, nullptr, &ov));
    EXPECT_EQ(getLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_TRUE(closeHandle(h));
    EXPECT_FALSE(deviceIoControl(h, kCode, nullptr, 0, nullptr, 0, nullptr, &ov));
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
    DWORD bytes;
    EXPECT_FALSE(getOverlappedResult(h, ov, bytes, eOverlappedWait::NoWait));
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(DeviceIo, GuidTextRoundTripsAndRejectsBadForms)
{
    GUID g{};
    ASSERT_TRUE(clsidFromString(u"{a5dcbf10-6530-11D2-901F-00C04FB951ED}", g));
    EXPECT_EQ(g, GUID_DEVINTERFACE_USB_DEVICE);
    EXPECT_EQ(stringFromGuid(g), u"{A5DCBF10-6530-11D2-901F-00C04FB951ED}");
    for (const char16_t* bad : {u"", u"A5DCBF10-6530-11D2-901F-00C04FB951ED", u"{A5DCBF10-6530-11D2-901F-00C04FB951EG}",
                                u"{A5DCBF10+6530-11D2-901F-00C04FB951ED}", u"usb-guid-magic"}) {
        GUID before = g;
        EXPECT_FALSE(clsidFromString(bad, g));
        EXPECT_EQ(g, before);
    }
}
