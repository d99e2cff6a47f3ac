#include "os/devices/DeviceNotification.h"

#include <gtest/gtest.h>

#include <thread>

#include "os/windows/timers/MessagePump.h"
#include "os/kernel/Text.h"
#include "os/windows/faults/WindowFaults.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

constexpr GUID kAudio{0x1234, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kDfu{0x5678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 9}};

struct Notice {
    HWND hwnd;
    WPARAM event;
    DWORD type;
    GUID guid;
    WString name;
    DWORD units;
    DWORD thread;
};

class DeviceNotifications : public WindowTest {
protected:
    // A window that records every WM_DEVICECHANGE with its record.
    HWND listening(DWORD style = WS_POPUP, HWND parent = nullptr)
    {
        return create(style, parent, [this](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
            if (m != WM_DEVICECHANGE)
                return std::nullopt;
            const DEV_BROADCAST_HDR* hdr = deviceBroadcastOf(l);
            Notice n{h, w, hdr->dbch_devicetype, {}, {}, 0, currentThreadId()};
            if (hdr->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
                auto* di = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(hdr);
                n.guid = di->dbcc_classguid;
                n.name = di->dbcc_name;
            } else if (hdr->dbch_devicetype == DBT_DEVTYP_VOLUME) {
                n.units = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(hdr)->dbcv_unitmask;
            }
            std::lock_guard<std::mutex> lock(mMutex);
            mNotices.push_back(n);
            return 1;
        });
    }
    static DEV_BROADCAST_DEVICEINTERFACE_W filterFor(const GUID& guid)
    {
        DEV_BROADCAST_DEVICEINTERFACE_W f{};
        f.dbcc_size = sizeof f;
        f.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        f.dbcc_classguid = guid;
        return f;
    }
    static HDEVNOTIFY registerFor(HWND hwnd, const GUID& guid, DWORD flags)
    {
        auto f = filterFor(guid);
        return registerDeviceNotification(hwnd, reinterpret_cast<const DEV_BROADCAST_HDR&>(f), flags);
    }
    std::vector<Notice> notices()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mNotices;
    }
    std::mutex mMutex;
    std::vector<Notice> mNotices;
};

}  // namespace

TEST_F(DeviceNotifications, InterfaceNoticesReachTheRegisteredWindowsWhenTheyPump)
{
    HWND all = listening(0, HWND_MESSAGE);
    HWND audio = listening();
    HWND none = listening(0, HWND_MESSAGE);
    // The record of a 32-bit layout the foundation passes: 32 bytes.
    EXPECT_EQ(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W), 32u);
    HDEVNOTIFY a = registerFor(all, GUID{}, DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
    HDEVNOTIFY b = registerFor(audio, kAudio, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_TRUE(a && b);

    broadcastDeviceChange(DBT_DEVICEARRIVAL, *DeviceBroadcastRecord::deviceInterface(kAudio, u"\\\\?\\USB#A").header());
    broadcastDeviceChange(DBT_DEVICEREMOVECOMPLETE,
                          *DeviceBroadcastRecord::deviceInterface(kDfu, u"\\\\?\\USB#B").header());
    EXPECT_TRUE(notices().empty());  // delivered on the windows' thread, by its queue
    pumpMessages();

    auto got = notices();
    ASSERT_EQ(got.size(), 3u);
    std::vector<std::tuple<HWND, WPARAM, WString>> seen;
    for (auto& n : got) {
        EXPECT_EQ(n.type, DBT_DEVTYP_DEVICEINTERFACE);
        seen.emplace_back(n.hwnd, n.event, n.name);
    }
    std::sort(seen.begin(), seen.end());
    std::vector<std::tuple<HWND, WPARAM, WString>> expected = {
        {all, DBT_DEVICEARRIVAL, u"\\\\?\\USB#A"},
        {all, DBT_DEVICEREMOVECOMPLETE, u"\\\\?\\USB#B"},
        {audio, DBT_DEVICEARRIVAL, u"\\\\?\\USB#A"},
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(std::none_of(got.begin(), got.end(), [&](const Notice& n) { return n.hwnd == none; }));

    EXPECT_TRUE(unregisterDeviceNotification(a));
    EXPECT_TRUE(unregisterDeviceNotification(b));
    EXPECT_FALSE(unregisterDeviceNotification(b));
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
    broadcastDeviceChange(DBT_DEVICEARRIVAL, *DeviceBroadcastRecord::deviceInterface(kAudio, u"x").header());
    pumpMessages();
    EXPECT_EQ(notices().size(), 3u);
}

TEST_F(DeviceNotifications, VolumeNoticesReachEveryTopLevelWindowWithoutRegistration)
{
    HWND top = listening();
    HWND child = listening(WS_CHILD, top);
    HWND messageOnly = listening(0, HWND_MESSAGE);
    ASSERT_TRUE(top && child && messageOnly);
    broadcastDeviceChange(DBT_DEVICEARRIVAL, *DeviceBroadcastRecord::volume((1u << 3) | (1u << 5)).header());
    pumpMessages();
    auto got = notices();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].hwnd, top);
    EXPECT_EQ(got[0].type, DBT_DEVTYP_VOLUME);
    EXPECT_EQ(got[0].units, 0x28u);
}

TEST_F(DeviceNotifications, MalformedRecordsAreSafe)
{
    HWND top = listening();
    ASSERT_TRUE(top);
    // A volume header without its body reaches the window as a zero unit mask; a record
    // that claims more than any device record can need is not delivered.
    DEV_BROADCAST_HDR shortVolume{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_VOLUME, 0};
    DEV_BROADCAST_HDR huge{1u << 20, DBT_DEVTYP_VOLUME, 0};
    broadcastDeviceChange(DBT_DEVICEARRIVAL, shortVolume);
    broadcastDeviceChange(DBT_DEVICEARRIVAL, huge);
    pumpMessages();
    auto got = notices();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].units, 0u);
}

// Tests that start a second thread also run under the thread sanitizer.
using DeviceNotificationsThreaded = DeviceNotifications;

TEST_F(DeviceNotificationsThreaded, NoticesArriveOnTheWindowsOwnThread)
{
    std::atomic<HWND> hwnd{nullptr};
    HANDLE ready = createEvent(eReset::Manual, false);
    std::thread ui([&] {
        HWND mine = listening(0, HWND_MESSAGE);
        registerFor(mine, kDfu, 0);
        hwnd = mine;
        setEvent(ready);
        MSG msg;
        while (getMessage(msg, nullptr, 0, 0) > 0)
            dispatchMessage(msg);
        destroyWindow(mine);
    });
    ASSERT_EQ(waitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);
    broadcastDeviceChange(DBT_DEVICEARRIVAL, *DeviceBroadcastRecord::deviceInterface(kDfu, u"dfu").header());
    // The quit goes behind the notice: sent messages come first.
    postThreadMessage(getWindowThreadId(hwnd), WM_QUIT, 0, 0);
    ui.join();
    closeHandle(ready);
    auto got = notices();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NE(got[0].thread, currentThreadId());
    EXPECT_EQ(got[0].name, u"dfu");
}

TEST_F(DeviceNotifications, ADestroyedWindowGetsNothingAndItsHandleStaysValid)
{
    HWND hwnd = listening();
    HDEVNOTIFY h = registerFor(hwnd, kAudio, 0);
    broadcastDeviceChange(DBT_DEVICEARRIVAL, *DeviceBroadcastRecord::deviceInterface(kAudio, u"a").header());
    destroyWindow(hwnd);  // the queued notice goes with it
    pumpMessages();
    EXPECT_TRUE(notices().empty());
    EXPECT_TRUE(unregisterDeviceNotification(h));
}

TEST_F(DeviceNotifications, RegistrationErrors)
{
    HWND hwnd = listening();
    auto good = filterFor(kAudio);
    auto wrongType = good;
    wrongType.dbcc_devicetype = DBT_DEVTYP_HANDLE;
    auto tooShort = good;
    tooShort.dbcc_size = 8;
    HWND gone = listening();
    destroyWindow(gone);
    struct Case {
        const char* name;
        HWND hwnd;
        const DEV_BROADCAST_DEVICEINTERFACE_W* filter;
        DWORD flags;
        DWORD error;
    };
    const Case cases[] = {
        {"wrong type", hwnd, &wrongType, 0, ERROR_INVALID_DATA},
        {"too short", hwnd, &tooShort, 0, ERROR_INVALID_DATA},
        {"service handle", hwnd, &good, DEVICE_NOTIFY_SERVICE_HANDLE, ERROR_INVALID_PARAMETER},
        {"unknown flag", hwnd, &good, 0x10, ERROR_INVALID_PARAMETER},
        {"no window", gone, &good, 0, ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        setLastError(0);
        EXPECT_EQ(registerDeviceNotification(c.hwnd, reinterpret_cast<const DEV_BROADCAST_HDR&>(*c.filter), c.flags),
                  nullptr)
            << c.name;
        EXPECT_EQ(getLastError(), c.error) << c.name;
    }
    {
        WindowFaultScope fault(WindowFault{eWindowFault::RegisterDeviceNotification, 0, 1, ERROR_GEN_FAILURE, {}});
        EXPECT_EQ(registerFor(hwnd, kAudio, 0), nullptr);
        EXPECT_EQ(getLastError(), ERROR_GEN_FAILURE);
    }
    HDEVNOTIFY h = registerFor(hwnd, kAudio, 0);
    EXPECT_NE(h, nullptr);
    unregisterDeviceNotification(h);
}
