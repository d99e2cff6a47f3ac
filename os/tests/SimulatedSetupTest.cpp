// The simulated devices of a real run: scenario words and the persisted firmware slot.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Process.h"
#include "os/sim/SimulatedSetup.h"

using namespace HA::OS;
using namespace HA::OS::SIM;

TEST(SimulatedSetup, ScenarioWords)
{
    struct Case {
        const char* text;
        bool ok;
        bool (*check)(const VireoScenario&);
    };
    const Case cases[] = {
        {"", true, [](const VireoScenario& s) { return s.attached && !s.slot; }},
        {"none", true, [](const VireoScenario& s) { return !s.attached; }},
        {"up-to-date", true, [](const VireoScenario& s) { return s.slot == std::make_pair(true, WORD(0x36)); }},
        {"erased,tolerant", true,
         [](const VireoScenario& s) { return !s.slot->first && (s.settings.bmAttributes & kDfuManifestationTolerant); }},
        {"stall-block=5", true, [](const VireoScenario& s) { return s.faults.stallBlock == WORD(5); }},
        {"error-block=3:7", true,
         [](const VireoScenario& s) { return s.faults.errorBlock == WORD(3) && s.faults.errorStatus == eDfuStatus::errVERIFY; }},
        {"busy-forever", true, [](const VireoScenario& s) { return s.faults.busyForeverBlock == WORD(0); }},
        {"timeout=0x80862410:2:800", true,
         [](const VireoScenario& s) {
             return s.faults.timeouts.size() == 1 && s.faults.timeouts[0].code == IOCTL_HA_DFU_GETSTATUS &&
                    s.faults.timeouts[0].nth == 2 && s.faults.timeouts[0].lateMs == DWORD(800);
         }},
        {"timeout=0x80862410:1", true, [](const VireoScenario& s) { return !s.faults.timeouts[0].lateMs; }},
        {"vanish-block=10,wrong-serial", true,
         [](const VireoScenario& s) { return s.faults.vanishBlock == WORD(10) && s.faults.wrongSerialAfterDetach; }},
        {"no-return=manifest,late-return=8000", true,
         [](const VireoScenario& s) { return s.faults.noReturnAfterManifestation && s.faults.lateReturnMs == 8000; }},
        {"wrong-revision=0x35,dfu-info=short,descriptor=none,no-strings,open-refused,second-device", true,
         [](const VireoScenario& s) {
             return s.faults.revisionAfterUpdate == WORD(0x35) && s.faults.dfuInfo == eInfoReply::Short &&
                    s.faults.deviceDescriptor == eInfoReply::None && s.faults.failStrings &&
                    s.faults.openError == ERROR_ACCESS_DENIED && s.secondDevice;
         }},
        {"strict,dfu-revision=0x0100", true,
         [](const VireoScenario& s) { return s.settings.strictDfu && s.settings.dfuModeRevision == WORD(0x0100); }},
        {"transfer-size=8192", true, [](const VireoScenario& s) { return s.faults.transferSize == WORD(8192); }},
        {"stall-block", false, nullptr},
        {"stall-block=70000", false, nullptr},
        {"timeout=0x80862410:0", false, nullptr},
        {"no-return=later", false, nullptr},
        {"none=1", false, nullptr},
        {"strict=1", false, nullptr},
        {"dfu-revision", false, nullptr},
        {"dfu-revision=0x10000", false, nullptr},
        {"unplugged", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        VireoScenario s;
        std::string error;
        EXPECT_EQ(parseVireoScenario(c.text, s, error), c.ok);
        if (c.ok) {
            EXPECT_TRUE(c.check(s));
        } else {
            EXPECT_NE(error.find('"'), std::string::npos);
        }
    }
}

TEST(SimulatedSetup, ASecondRunSeesTheRevisionTheFirstWrote)
{
    removeAllDeviceInterfaces();
    std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "vireo-setup-test";
    std::filesystem::remove_all(folder);
    auto oldState = getEnvironmentVariable("XDG_STATE_HOME");
    auto oldScenario = getEnvironmentVariable(kScenarioVariable);
    setEnvironmentVariable("XDG_STATE_HOME", folder.string());
    setEnvironmentVariable(kScenarioVariable, std::nullopt);

    setUpSimulatedDevices();
    ASSERT_EQ(simulatedDevices().size(), 1u);
    EXPECT_EQ(simulatedDevices()[0]->mode(), eVireoMode::Runtime);
    EXPECT_EQ(simulatedDevices()[0]->firmwareRevision(), 0x0035);
    EXPECT_EQ(presentDeviceInterfaces(kHadfuInterfaceClass).size(), 1u);
    simulatedDevices()[0]->setFirmwareSlot(true, 0x0036);  // what a finished download leaves
    tearDownSimulatedDevices();
    EXPECT_TRUE(presentDeviceInterfaces(kHadfuInterfaceClass).empty());

    setUpSimulatedDevices();
    EXPECT_EQ(simulatedDevices()[0]->firmwareRevision(), 0x0036);
    EXPECT_TRUE(std::filesystem::exists(folder / "vireo-updater" / "simulated-vireo.state"));

    setEnvironmentVariable(kScenarioVariable, std::string("none,second-device"));
    setUpSimulatedDevices();
    EXPECT_EQ(simulatedDevices().size(), 2u);
    EXPECT_TRUE(presentDeviceInterfaces(kHadfuInterfaceClass).empty());

    setEnvironmentVariable(kScenarioVariable, std::string("fresh"));
    setUpSimulatedDevices();
    EXPECT_EQ(simulatedDevices()[0]->firmwareRevision(), 0x0035);

    // A damaged file: reported when the run would have read it, not when a scenario word
    // sets the firmware anyway.
    const std::filesystem::path file = folder / "vireo-updater" / "simulated-vireo.state";
    for (const char* words : {"", "up-to-date"}) {
        tearDownSimulatedDevices();
        std::ofstream(file, std::ios::trunc) << "revision=banana\n";
        setEnvironmentVariable(kScenarioVariable, std::string(words));
        ::testing::internal::CaptureStderr();
        setUpSimulatedDevices();
        const std::string said = ::testing::internal::GetCapturedStderr();
        if (*words)
            EXPECT_EQ(said, "") << words;
        else
            EXPECT_EQ(said, "os: the simulated Vireo Interface's state file " + file.string() +
                                " is damaged; it starts with firmware 0.3.5\n");
        EXPECT_EQ(simulatedDevices()[0]->firmwareRevision(), *words ? 0x0036 : 0x0035) << words;
    }

    tearDownSimulatedDevices();
    setEnvironmentVariable("XDG_STATE_HOME", oldState);
    setEnvironmentVariable(kScenarioVariable, oldScenario);
    std::filesystem::remove_all(folder);
}
