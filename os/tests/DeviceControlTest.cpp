// The hand at the simulated Vireo Interface: each control request against a device in this
// process (what it answers, what the device then is, which broadcasts the host saw), the
// faults across a power cycle, the fault words, and the control socket with a peer of
// another user refused.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "os/devices/DeviceBroadcast.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceIo.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/sim/DeviceControl.h"
#include "os/sim/SimulatedSetup.h"
#include "os/tests/RuntimeFolder.h"

using namespace HA::OS;
using namespace HA::OS::SIM;

namespace {

constexpr const char* kUnknown = "; the requests are plug, unplug, power-cycle and show";
// From DETACH until a device is back on the bus in DFU mode, with time to spare.
constexpr TimeMs kReturnMs = 3000;

// DETACH through a device file, as the host's switch sends it.
bool detach(const SimulatedVireo& device)
{
    HANDLE h = createDeviceFile(device.path(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_EXISTING, 0);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    const bool ok = deviceIoControl(h, IOCTL_HA_DFU_DETACH, nullptr, 0, nullptr, 0, &returned, nullptr);
    closeHandle(h);
    return ok;
}

// A device of a scenario (HA_OS_VIREO words), with the broadcasts the host sees.
class DeviceAtHand {
public:
    explicit DeviceAtHand(const std::string& words)
    {
        removeAllDeviceInterfaces();
        VireoScenario scenario;
        std::string error;
        EXPECT_TRUE(parseVireoScenario(words, scenario, error)) << error;
        device = SimulatedVireo::makeShared(scenario.settings, scenario.faults);
        if (scenario.slot)
            device->setFirmwareSlot(scenario.slot->first, scenario.slot->second);
        if (scenario.attached)
            device->plugIn();
        mSubscriber = addDeviceChangeSubscriber([this](DWORD event, const DEV_BROADCAST_HDR& h) {
            if (h.dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
                broadcasts.push_back(event == DBT_DEVICEARRIVAL ? "arrival" : "removal");
        });
    }
    ~DeviceAtHand()
    {
        removeDeviceChangeSubscriber(mSubscriber);
        device.reset();
        removeAllDeviceInterfaces();
    }
    DeviceAtHand(const DeviceAtHand&) = delete;
    DeviceAtHand& operator=(const DeviceAtHand&) = delete;

    std::shared_ptr<SimulatedVireo> device;
    std::vector<std::string> broadcasts;

private:
    int mSubscriber = 0;
};

enum class ePrelude { None, DetachedIntoDfuMode };

struct RequestCase {
    std::string name;
    const char* words;  // HA_OS_VIREO
    ePrelude prelude;
    std::string request;
    bool ok;
    std::string answer;
    eVireoMode modeAfter;
    std::vector<std::string> broadcasts;  // what the host saw of the request
};

void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.name; }

const std::string kBadRequests[] = {"", "PLUG", "plug now", " plug", "plug\r", "unplug\x01", "show\xff"};

std::vector<RequestCase> requestCases()
{
    const auto absent = eVireoMode::Absent, runtime = eVireoMode::Runtime, dfu = eVireoMode::Dfu;
    const std::vector<std::string> none, arrival{"arrival"}, removal{"removal"}, cycle{"removal", "arrival"};
    std::vector<RequestCase> cases = {
        {"PlugAnAbsentOne", "none", ePrelude::None, "plug", true, "plugged in: runtime mode, firmware 0.3.5", runtime,
         arrival},
        {"PlugAnAttachedOne", "", ePrelude::None, "plug", true, "already plugged in: runtime mode, firmware 0.3.5",
         runtime, none},
        {"PlugAnErasedOne", "none,erased", ePrelude::None, "plug", true, "plugged in: DFU mode, no firmware", dfu,
         arrival},
        {"Unplug", "", ePrelude::None, "unplug", true, "unplugged", absent, removal},
        {"UnplugAnAbsentOne", "none", ePrelude::None, "unplug", true, "not plugged in: nothing to unplug", absent,
         none},
        {"PowerCycleInRuntimeMode", "", ePrelude::None, "power-cycle", true,
         "power-cycled: back in runtime mode, firmware 0.3.5", runtime, cycle},
        {"PowerCycleInDfuModeWithFirmware", "", ePrelude::DetachedIntoDfuMode, "power-cycle", true,
         "power-cycled: back in runtime mode, firmware 0.3.5", runtime, cycle},
        {"PowerCycleWithoutFirmware", "erased", ePrelude::None, "power-cycle", true,
         "power-cycled: back in DFU mode, no firmware", dfu, cycle},
        {"PowerCycleAnAbsentOne", "none", ePrelude::None, "power-cycle", true,
         "power-cycled: back in runtime mode, firmware 0.3.5", runtime, arrival},
        {"ShowAttached", "stall-block=7,no-strings", ePrelude::None, "show", true,
         "plugged in: runtime mode, firmware 0.3.5, serial number VI2401A0158, faults stall-block=7,no-strings",
         runtime, none},
        {"ShowInDfuMode", "", ePrelude::DetachedIntoDfuMode, "show", true,
         "plugged in: DFU mode, firmware 0.3.5, serial number VI2401A0158, faults none", dfu, none},
        {"ShowAbsent", "none,up-to-date", ePrelude::None, "show", true,
         "not plugged in: firmware 0.3.6, serial number VI2401A0158, faults none", absent, none},
        {"TooLong", "", ePrelude::None, std::string(300, 'p'), false, "request longer than 255 characters", runtime,
         none},
    };
    const char* const echoes[] = {"\"\"", "\"PLUG\"", "\"plug now\"", "\" plug\"", "\"plug?\"", "\"unplug?\"",
                                  "\"show?\""};
    int i = 0;
    for (const std::string& bad : kBadRequests) {
        cases.push_back({"BadRequest" + std::to_string(i), "", ePrelude::None, bad, false,
                         std::string("unknown request ") + echoes[i] + kUnknown, runtime, none});
        ++i;
    }
    return cases;
}

class DeviceControlRequestTest : public ::testing::TestWithParam<RequestCase> {
protected:
    ManualClockScope clock;
};

}  // namespace

TEST_P(DeviceControlRequestTest, AnswersAndLeavesTheDeviceAsAHandWould)
{
    const RequestCase& c = GetParam();
    DeviceAtHand hand(c.words);
    if (c.prelude == ePrelude::DetachedIntoDfuMode) {
        ASSERT_TRUE(detach(*hand.device));
        Clock::advance(kReturnMs);
        ASSERT_EQ(hand.device->mode(), eVireoMode::Dfu);
    }
    hand.broadcasts.clear();
    const std::vector<BusEvent> before = hand.device->busEvents();
    const tDeviceAnswer answer = answerDeviceRequest(*hand.device, c.request);
    EXPECT_EQ(answer.ok, c.ok);
    EXPECT_EQ(answer.text, c.answer);
    EXPECT_EQ(answer.line(), (c.ok ? "ok: " : "error: ") + c.answer);
    EXPECT_EQ(hand.device->mode(), c.modeAfter);
    EXPECT_EQ(hand.broadcasts, c.broadcasts);
    if (!c.ok) {
        EXPECT_EQ(hand.device->busEvents().size(), before.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Requests, DeviceControlRequestTest, ::testing::ValuesIn(requestCases()),
                         [](const ::testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

// The faults stay across a power cycle, but a no-return fault keeps the device away once only.
TEST(DeviceControlFaultsTest, StayAcrossAPowerCycleButNoReturnAppliesOnce)
{
    ManualClockScope clock;
    DeviceAtHand hand("stall-block=7,late-return=5,no-return=detach");
    ASSERT_TRUE(detach(*hand.device));
    Clock::advance(kReturnMs);
    EXPECT_EQ(hand.device->mode(), eVireoMode::Absent);
    EXPECT_EQ(faultWords(hand.device->faults()), "stall-block=7,late-return=5");

    EXPECT_EQ(answerDeviceRequest(*hand.device, "power-cycle").text,
              "power-cycled: back in runtime mode, firmware 0.3.5");
    ASSERT_TRUE(detach(*hand.device));
    Clock::advance(kReturnMs);
    EXPECT_EQ(hand.device->mode(), eVireoMode::Dfu);
    EXPECT_EQ(faultWords(hand.device->faults()), "stall-block=7,late-return=5");
}

// A pull while the device is on its way back from a reset keeps it away: nothing returns.
TEST(DeviceControlFaultsTest, AnUnplugDuringTheReturnKeepsItAway)
{
    ManualClockScope clock;
    DeviceAtHand hand("");
    ASSERT_TRUE(detach(*hand.device));
    Clock::advance(500);
    ASSERT_EQ(hand.device->mode(), eVireoMode::Absent);
    EXPECT_EQ(answerDeviceRequest(*hand.device, "unplug").text, "not plugged in: nothing to unplug");
    Clock::advance(kReturnMs);
    EXPECT_EQ(hand.device->mode(), eVireoMode::Absent);
}

TEST(DeviceControlFaultsTest, FaultWordsAreTheScenarioWords)
{
    const char* const words[] = {
        "transfer-size=64", "stall-block=7", "error-block=100", "error-block=100:5", "busy-forever=3",
        "timeout=0x220010:2", "timeout=0x220010:1:300", "vanish-block=9", "wrong-serial", "no-return=detach",
        "no-return=manifest", "no-return=leave", "late-return=8000", "wrong-revision=0x35", "dfu-info=short",
        "dfu-info=none", "descriptor=short", "descriptor=none", "no-strings", "open-refused",
        "stall-block=7,wrong-serial,no-return=detach,no-strings"};
    for (const char* text : words) {
        VireoScenario scenario;
        std::string error;
        ASSERT_TRUE(parseVireoScenario(text, scenario, error)) << text << ": " << error;
        EXPECT_EQ(faultWords(scenario.faults), text);
    }
    EXPECT_EQ(faultWords({}), "none");
}

// The control socket: a request and its answer line, a bad one, a peer of another user
// refused without changing anything, one control per user, and nobody after it ends.
TEST(DeviceControlThreaded, AnswersOnTheUsersSocketOnly)
{
    ManualClockScope clock;
    Testing::RuntimeFolder folder;
    DeviceAtHand hand("none");
    std::string why, line;
    EXPECT_EQ(sendDeviceRequest("show", 2000, line), eSent::NobodyListens);

    auto control = DeviceControl::start(hand.device, why);
    ASSERT_TRUE(control) << why;
    const std::string path = deviceControlPath();
    EXPECT_EQ(path.rfind(folder.path() + "/", 0), 0u) << path;
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));

    ASSERT_EQ(sendDeviceRequest("plug", 5000, line), eSent::Answered);
    EXPECT_EQ(line, "ok: plugged in: runtime mode, firmware 0.3.5");
    EXPECT_EQ(hand.device->mode(), eVireoMode::Runtime);
    EXPECT_EQ(hand.broadcasts, (std::vector<std::string>{"arrival"}));

    ASSERT_EQ(sendDeviceRequest("wiggle", 5000, line), eSent::Answered);
    EXPECT_EQ(line, std::string("error: unknown request \"wiggle\"") + kUnknown);

    {
        DETAIL::PeerUidScope stranger(::getuid() + 1);
        EXPECT_EQ(sendDeviceRequest("unplug", 5000, line), eSent::NoAnswer);
    }
    EXPECT_EQ(control->refusedPeers(), 1);
    EXPECT_EQ(hand.device->mode(), eVireoMode::Runtime);
    EXPECT_EQ(hand.broadcasts.size(), 1u);

    EXPECT_FALSE(DeviceControl::start(hand.device, why));
    EXPECT_TRUE(why.empty()) << why;

    ASSERT_EQ(sendDeviceRequest("unplug", 5000, line), eSent::Answered);
    EXPECT_EQ(line, "ok: unplugged");
    control.reset();
    EXPECT_EQ(sendDeviceRequest("show", 2000, line), eSent::NobodyListens);
    EXPECT_NE(::lstat(path.c_str(), &st), 0);
}
