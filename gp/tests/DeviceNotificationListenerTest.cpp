#include "gp/src/common/devices/DeviceNotificationListener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace HA;
using namespace HA::GP;
using ::testing::ElementsAreArray;

namespace {

enum class eBehaviour { None, RemovesItself, RemovesSuccessor, AddsNewcomer };

class Recorder : public DeviceNotificationListener {
public:
    Recorder(std::string name, std::vector<std::string>& log) : mName(std::move(name)), mLog(log) {}

    void onDeviceChange(bool removed) override
    {
        mLog.push_back(mName + (removed ? ".change-" : ".change+"));
        act();
    }
    void onDeviceNotification(bool removed, const OS::DEV_BROADCAST_HDR* header) override
    {
        mLog.push_back(mName + (removed ? ".interface-" : ".interface+") +
                       (header && header->dbch_devicetype == OS::DBT_DEVTYP_DEVICEINTERFACE ? "" : "?"));
    }
    void onVolumeChange(bool removed, const char* letter) override
    {
        mLog.push_back(mName + (removed ? ".volume-" : ".volume+") + *letter);
        act();
    }

    eBehaviour mBehaviour = eBehaviour::None;
    DeviceNotificationListener* mOther = nullptr;

private:
    void act()
    {
        switch (mBehaviour) {
        case eBehaviour::RemovesItself: removeDeviceNotificationListener(this); break;
        case eBehaviour::RemovesSuccessor: removeDeviceNotificationListener(mOther); break;
        case eBehaviour::AddsNewcomer: addDeviceNotificationListener(mOther); break;
        case eBehaviour::None: break;
        }
        mBehaviour = eBehaviour::None;  // once
    }

    std::string mName;
    std::vector<std::string>& mLog;
};

class WindowPresent {
public:
    WindowPresent() { DETAIL::setDeviceNotificationWindowPresent(true); }
    ~WindowPresent() { DETAIL::setDeviceNotificationWindowPresent(false); }
};

}  // namespace

TEST(DeviceNotificationListeners, WalksSurviveListenersChangingTheList)
{
    const auto volumeDF = OS::DeviceBroadcastRecord::volume((1u << 3) | (1u << 5));
    const OS::GUID guid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    const auto iface = OS::DeviceBroadcastRecord::deviceInterface(guid, u"\\\\?\\usb#vid_1234");
    const auto port = OS::DeviceBroadcastRecord::other(OS::DBT_DEVTYP_PORT);

    struct Case {
        const char* name;
        eBehaviour firstDoes;
        bool firstTwice;
        const OS::DeviceBroadcastRecord* record;
        OS::DWORD event;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"interface, removes itself", eBehaviour::RemovesItself, false, &iface, OS::DBT_DEVICEARRIVAL,
         {"a.change+", "b.change+", "b.interface+"}},
        {"interface, removes successor", eBehaviour::RemovesSuccessor, false, &iface, OS::DBT_DEVICEREMOVECOMPLETE,
         {"a.change-", "a.interface-"}},
        {"interface, added twice", eBehaviour::None, true, &iface, OS::DBT_DEVICEARRIVAL,
         {"a.change+", "a.interface+", "b.change+", "b.interface+", "a.change+", "a.interface+"}},
        {"interface, twice and removes itself once", eBehaviour::RemovesItself, true, &iface, OS::DBT_DEVICEARRIVAL,
         {"a.change+", "b.change+", "b.interface+", "a.change+", "a.interface+"}},
        {"interface, newcomer waits for the next notice", eBehaviour::AddsNewcomer, false, &iface,
         OS::DBT_DEVICEARRIVAL, {"a.change+", "a.interface+"}},
        {"volume D and F in order", eBehaviour::None, false, &volumeDF, OS::DBT_DEVICEARRIVAL,
         {"a.volume+D", "b.volume+D", "a.volume+F", "b.volume+F"}},
        {"volume, removes itself", eBehaviour::RemovesItself, false, &volumeDF, OS::DBT_DEVICEREMOVECOMPLETE,
         {"a.volume-D", "b.volume-D", "b.volume-F"}},
        {"volume, removes successor", eBehaviour::RemovesSuccessor, false, &volumeDF, OS::DBT_DEVICEARRIVAL,
         {"a.volume+D", "a.volume+F"}},
        {"volume, added twice", eBehaviour::None, true, &volumeDF, OS::DBT_DEVICEARRIVAL,
         {"a.volume+D", "b.volume+D", "a.volume+D", "a.volume+F", "b.volume+F", "a.volume+F"}},
        {"other device, removes itself", eBehaviour::RemovesItself, false, &port, OS::DBT_DEVICEARRIVAL,
         {"a.change+", "b.change+"}},
        {"other device, removes successor", eBehaviour::RemovesSuccessor, false, &port, OS::DBT_DEVICEARRIVAL,
         {"a.change+"}},
        {"other device, added twice", eBehaviour::None, true, &port, OS::DBT_DEVICEREMOVECOMPLETE,
         {"a.change-", "b.change-", "a.change-"}},
        {"other events are not notices", eBehaviour::None, false, &port, 0x0007, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowPresent window;
        std::vector<std::string> log;
        Recorder a("a", log), b("b", log);
        a.mBehaviour = c.firstDoes;
        a.mOther = &b;
        addDeviceNotificationListener(&a);
        if (c.firstDoes != eBehaviour::AddsNewcomer)
            addDeviceNotificationListener(&b);
        if (c.firstTwice)
            addDeviceNotificationListener(&a);
        DETAIL::dispatchDeviceChange(c.event, *c.record->header());
        EXPECT_THAT(log, ElementsAreArray(c.expected));
    }
}

TEST(DeviceNotificationListeners, IgnoredWithoutTheWindow)
{
    std::vector<std::string> log;
    Recorder a("a", log);
    addDeviceNotificationListener(&a);
    {
        WindowPresent window;
        DETAIL::dispatchDeviceChange(OS::DBT_DEVICEARRIVAL, *OS::DeviceBroadcastRecord::other(0).header());
        EXPECT_TRUE(log.empty());
        addDeviceNotificationListener(&a);
    }
    // The window went away: its listeners with it.
    WindowPresent window;
    DETAIL::dispatchDeviceChange(OS::DBT_DEVICEARRIVAL, *OS::DeviceBroadcastRecord::other(0).header());
    EXPECT_TRUE(log.empty());
}
