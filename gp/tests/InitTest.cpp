#include "gp/src/common/library/Init.h"
#include "gp/src/common/devices/DeviceNotificationListener.h"
#include "gp/src/common/devices/DeviceNotificationWindow.h"
#include "gp/src/common/files/FileType.h"
#include "gp/src/common/memory/SmallPool.h"
#include "gp/src/common/machine/SystemInfo.h"
#include "gp/src/common/devices/VolumeInfo.h"

#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "os/shell/Com.h"
#include "os/devices/DeviceNotification.h"
#include "os/files/Drives.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/MessageIds.h"
#include "os/windows/timers/MessagePump.h"
#include "os/kernel/SystemFacts.h"
#include "os/windows/faults/WindowFaults.h"

using namespace HA;
using namespace HA::GP;
using ::testing::ElementsAre;

namespace {

constexpr std::uint32_t kViro = fourCC("VIRO");

// Runs each test on a machine with known facts and drives, and shuts the library down after.
class InitTest : public ::testing::Test {
protected:
    void TearDown() override { shutdown(); }

    static bool libraryIsDown()
    {
        return !isInitialized() && !deviceNotificationWindowExists() && DETAIL::deviceNotificationWindow() == nullptr &&
               fileTypeAt(0) == nullptr && !VolumeInfo::isInitialized() && !DETAIL::blockPoolB().isConfigured() &&
               DETAIL::comThread() == 0 && OS::comInitCount(OS::currentThreadId()) == 0 && exiting() == 1;
    }

    OS::SystemFactsScope mFacts{OS::SystemFacts()};
    OS::DriveTableScope mDrives{{{'C', OS::DRIVE_FIXED}, {'D', OS::DRIVE_CDROM}, {'F', OS::DRIVE_REMOVABLE}}};
};

class Recorder : public DeviceNotificationListener {
public:
    explicit Recorder(std::vector<std::string>& log) : mLog(log) {}
    void onDeviceChange(bool removed) override { mLog.push_back(removed ? "change-" : "change+"); }
    void onDeviceNotification(bool removed, const OS::DEV_BROADCAST_HDR*) override
    {
        mLog.push_back(removed ? "interface-" : "interface+");
    }
    void onVolumeChange(bool removed, const char* letter) override
    {
        mLog.push_back(std::string(removed ? "volume-" : "volume+") + *letter);
    }

private:
    std::vector<std::string>& mLog;
};

std::vector<std::string> volumeNames()
{
    std::vector<std::string> names;
    for (const auto& v : VolumeInfo::volumes())
        names.push_back(v.name);
    return names;
}

}  // namespace

TEST_F(InitTest, StartsAndShutsDownInOrder)
{
    ASSERT_TRUE(libraryIsDown());
    ASSERT_TRUE(init(kViro, "VIREO INTERFACE UPDATER"));
    EXPECT_TRUE(isInitialized());
    EXPECT_EQ(applicationFourCC(), kViro);
    EXPECT_STREQ(applicationTitle(), "VIREO INTERFACE UPDATER");
    EXPECT_EQ(exiting(), 0);
    EXPECT_EQ(systemInfo().majorVersion, 10);
    EXPECT_TRUE(DETAIL::blockPoolB().isConfigured());
    EXPECT_NE(fileTypeAt(0), nullptr);
    EXPECT_THAT(volumeNames(), ElementsAre("C:", "D:", "F:"));
    const OS::DWORD me = OS::currentThreadId();
    EXPECT_EQ(DETAIL::comThread(), me);
    EXPECT_EQ(OS::comInitCount(me), 2);  // OLE and COM
    EXPECT_EQ(OS::oleInitCount(me), 1);
    EXPECT_FALSE(initCom()) << "COM is initialised once through the library";

    OS::HWND window = OS::findWindow(DETAIL::deviceNotificationClassName(), u"HA-VIRO-DeviceNotificationWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window, DETAIL::deviceNotificationWindow());
    EXPECT_FALSE(OS::isWindowVisible(window));

    shutdown();
    EXPECT_TRUE(libraryIsDown());
    EXPECT_EQ(OS::oleInitCount(me), 0);
    EXPECT_EQ(OS::findWindow(DETAIL::deviceNotificationClassName(), OS::WString()), nullptr);
}

TEST_F(InitTest, AFailedStepUndoesTheOthersAndALaterStartSucceeds)
{
    struct Case {
        const char* name;
        std::optional<OS::eWindowFault> windowFault;
        std::optional<DETAIL::eInitStep> step;
    };
    const Case cases[] = {
        {"class registration", OS::eWindowFault::RegisterClass, std::nullopt},
        {"window creation", OS::eWindowFault::CreateWindow, std::nullopt},
        {"notification registration", OS::eWindowFault::RegisterDeviceNotification, std::nullopt},
        {"system information throws", std::nullopt, DETAIL::eInitStep::SystemInfo},
        {"pool B throws", std::nullopt, DETAIL::eInitStep::SmallBlockPool},
        {"file types throw", std::nullopt, DETAIL::eInitStep::FileTypes},
        {"window step throws", std::nullopt, DETAIL::eInitStep::DeviceNotificationWindow},
        {"volume list throws", std::nullopt, DETAIL::eInitStep::VolumeList},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::optional<OS::WindowFaultScope> windowFault;
            if (c.windowFault) {
                OS::WindowFault fault;
                fault.kind = *c.windowFault;
                windowFault.emplace(fault);
            }
            std::optional<DETAIL::InitFaultScope> stepFault;
            if (c.step)
                stepFault.emplace(*c.step);
            EXPECT_FALSE(init(kViro, "T"));
            EXPECT_TRUE(libraryIsDown());
            EXPECT_EQ(OS::findWindow(DETAIL::deviceNotificationClassName(), OS::WString()), nullptr);
        }
        // Nothing of the failed start is left in the way.
        ASSERT_TRUE(init(kViro, "T"));
        EXPECT_TRUE(deviceNotificationWindowExists());
        shutdown();
        EXPECT_TRUE(libraryIsDown());
    }
}

TEST_F(InitTest, ShutDownWithoutStartUpAndComFailure)
{
    const OS::DWORD me = OS::currentThreadId();
    OS::oleInitialize();  // someone else's
    shutdown();
    EXPECT_EQ(OS::oleInitCount(me), 1) << "OLE is uninitialised only after a successful start-up";
    OS::oleUninitialize();

    {
        OS::ComFaultScope fault;
        EXPECT_TRUE(init(kViro, nullptr)) << "COM refusing does not stop the start-up";
        EXPECT_EQ(DETAIL::comThread(), 0u);
    }
    shutdown();
    EXPECT_EQ(OS::comInitCount(me), 0);
}

TEST_F(InitTest, TitleIsCutAndKept)
{
    const std::string longTitle(300, 'T');
    ASSERT_TRUE(init(kViro, longTitle.c_str()));
    EXPECT_EQ(std::string(applicationTitle()), std::string(255, 'T'));
    shutdown();
    ASSERT_TRUE(init(kViro, nullptr));
    EXPECT_EQ(std::string(applicationTitle()), std::string(255, 'T'));
}

TEST_F(InitTest, ElevationFromTheToken)
{
    struct Case {
        const char* name;
        OS::DWORD realMajor;
        bool tokenFails;
        OS::DWORD bytes;
        bool elevated;
        bool expected;
    };
    const Case cases[] = {
        {"elevated token", 10, false, 4, true, true},
        {"plain token", 10, false, 4, false, false},
        {"short answer", 10, false, 2, true, false},
        {"no token", 10, true, 4, true, false},
        {"before version 6", 5, false, 4, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OS::SystemFacts facts;
        facts.reportedMajor = c.realMajor;
        facts.realMajor = c.realMajor;
        facts.tokenFails = c.tokenFails;
        facts.tokenElevationBytes = c.bytes;
        facts.elevated = c.elevated;
        OS::SystemFactsScope scope(facts);
        DETAIL::resetSystemInfo();
        ASSERT_TRUE(init(kViro, nullptr));
        EXPECT_EQ(isElevated(), c.expected);
        shutdown();
    }
    DETAIL::resetSystemInfo();
}

TEST_F(InitTest, LanguageCode)
{
    struct Case {
        const char* code;
        OS::LANGID language;
        const char* expected;
    };
    const Case cases[] = {
        {"", 0x0407, "DEU"},     {nullptr, 0x0C0A, "SPA"}, {"", 0x040C, "FRA"}, {"", 0x0410, "ITA"},
        {"", 0x0411, "JPN"},     {"", 0x0409, "ENG"},      {"", 0x0413, "ENG"},
        {"ESP", 0x0407, "ESP"},  {"ABCDEFGHIJKLMNOPQRST", 0x0409, "ABCDEFGHIJKLMNO"},
    };
    for (const Case& c : cases) {
        OS::SystemFacts facts;
        facts.userDefaultLangID = c.language;
        OS::SystemFactsScope scope(facts);
        setLanguageCode(c.code);
        EXPECT_STREQ(languageCode(), c.expected) << (c.code ? c.code : "null") << " " << c.language;
    }
}

TEST_F(InitTest, DeviceNoticesReachListenersAndTheVolumeList)
{
    std::vector<std::string> log;
    Recorder recorder(log);
    addDeviceNotificationListener(&recorder);  // before start-up: no effect
    ASSERT_TRUE(init(kViro, nullptr));
    OS::pumpMessages();
    addDeviceNotificationListener(&recorder);

    // A card arrives in G: and a disc in E:.
    mDrives.set({{'C', OS::DRIVE_FIXED}, {'D', OS::DRIVE_CDROM}, {'E', OS::DRIVE_CDROM}, {'F', OS::DRIVE_REMOVABLE},
                 {'G', OS::DRIVE_REMOVABLE}});
    OS::broadcastDeviceChange(OS::DBT_DEVICEARRIVAL, *OS::DeviceBroadcastRecord::volume((1u << 4) | (1u << 6)).header());
    OS::pumpMessages();
    EXPECT_THAT(log, ElementsAre("volume+E", "volume+G"));
    EXPECT_THAT(volumeNames(), ElementsAre("C:", "D:", "E:", "F:", "G:"));

    log.clear();
    OS::broadcastDeviceChange(OS::DBT_DEVICEREMOVECOMPLETE, *OS::DeviceBroadcastRecord::volume(1u << 3).header());
    const OS::GUID guid{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    OS::broadcastDeviceChange(OS::DBT_DEVICEARRIVAL,
                              *OS::DeviceBroadcastRecord::deviceInterface(guid, u"\\\\?\\usb#x").header());
    OS::broadcastDeviceChange(OS::DBT_DEVICEARRIVAL, *OS::DeviceBroadcastRecord::other(OS::DBT_DEVTYP_PORT).header());
    OS::pumpMessages();
    EXPECT_THAT(log, ElementsAre("volume-D", "change+", "interface+", "change+"));
    EXPECT_THAT(volumeNames(), ElementsAre("C:", "E:", "F:", "G:"));

    // Other messages go straight to the default procedure.
    log.clear();
    OS::HWND window = DETAIL::deviceNotificationWindow();
    EXPECT_EQ(OS::sendMessage(window, OS::WM_DEVICECHANGE, 0x0007, 0),
              OS::defWindowProc(window, OS::WM_DEVICECHANGE, 0x0007, 0));
    EXPECT_EQ(OS::sendMessage(window, OS::WM_USER, OS::DBT_DEVICEARRIVAL, 0),
              OS::defWindowProc(window, OS::WM_USER, OS::DBT_DEVICEARRIVAL, 0));
    EXPECT_TRUE(log.empty());

    removeDeviceNotificationListener(&recorder);
    shutdown();
    addDeviceNotificationListener(&recorder);  // after shut-down: no effect
    ASSERT_TRUE(init(kViro, nullptr));
    OS::broadcastDeviceChange(OS::DBT_DEVICEARRIVAL, *OS::DeviceBroadcastRecord::other(0).header());
    OS::pumpMessages();
    EXPECT_TRUE(log.empty());
}

TEST(DeviceNotificationWindowTitle, FromTheFourCC)
{
    EXPECT_EQ(DETAIL::deviceNotificationWindowTitle(fourCC("VIRO")), u"HA-VIRO-DeviceNotificationWindow");
    EXPECT_EQ(DETAIL::deviceNotificationWindowTitle(0x01414243u), u"HA-?ABC-DeviceNotificationWindow");
    EXPECT_EQ(DETAIL::deviceNotificationWindowTitle(fourCC("????")), u"HA-?\?\?\?-DeviceNotificationWindow");
    EXPECT_EQ(DETAIL::deviceNotificationClassName().rfind(u"HADeviceNotificationWndClass", 0), 0u);
    EXPECT_GT(DETAIL::deviceNotificationClassName().size(), 28u);
}
