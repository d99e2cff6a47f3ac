// The simulated devices of a real run: scenario words and the persisted firmware slot.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <tuple>
#include <vector>

#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"
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

namespace {

// The variables a setup reads, put back when the test ends.
class SetupEnvironment {
public:
    SetupEnvironment()
    {
        for (const char* name : kNames)
            mOld.emplace_back(name, getEnvironmentVariable(name));
    }
    ~SetupEnvironment()
    {
        tearDownSimulatedDevices();
        for (auto& [name, value] : mOld)
            setEnvironmentVariable(name, value);
    }

private:
    static constexpr const char* kNames[] = {"HOME", "XDG_STATE_HOME", kScenarioVariable};
    std::vector<std::pair<std::string, std::optional<std::string>>> mOld;
};

std::filesystem::path emptyFolder(const char* name)
{
    std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// A setup's standard error, and the revision the Vireo Interface starts with.
std::pair<std::string, WORD> setUpAndListen()
{
    ::testing::internal::CaptureStderr();
    setUpSimulatedDevices();
    const std::string said = ::testing::internal::GetCapturedStderr();
    return {said, simulatedDevices().empty() ? WORD(0) : simulatedDevices()[0]->firmwareRevision()};
}

}  // namespace

TEST(SimulatedSetup, TheStateIsKeptUnderAHomeWithNothingInIt)
{
    ManualClockScope clock;
    SetupEnvironment environment;
    const std::filesystem::path home = emptyFolder("vireo-empty-home");
    setEnvironmentVariable("HOME", home.string());
    setEnvironmentVariable("XDG_STATE_HOME", std::nullopt);
    setEnvironmentVariable(kScenarioVariable, std::nullopt);

    auto [said, revision] = setUpAndListen();
    EXPECT_EQ(said, "");
    EXPECT_EQ(revision, 0x0035);
    simulatedDevices()[0]->setFirmwareSlot(true, 0x0036);
    const std::filesystem::path file = home / ".local" / "state" / "vireo-updater" / "simulated-vireo.state";
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    for (const auto& made : {home / ".local", home / ".local" / "state", home / ".local" / "state" / "vireo-updater"}) {
        SCOPED_TRACE(made.string());
        struct stat st {};
        ASSERT_EQ(::stat(made.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }

    tearDownSimulatedDevices();
    std::tie(said, revision) = setUpAndListen();
    EXPECT_EQ(said, "");
    EXPECT_EQ(revision, 0x0036) << "a second setup reads what the first wrote";
    std::filesystem::remove_all(home);
}

TEST(SimulatedSetup, AStateThatCannotBeKeptIsNamedOnceAndTheRunGoesOn)
{
    ManualClockScope clock;
    SetupEnvironment environment;
    const std::filesystem::path base = emptyFolder("vireo-unkeepable");
    // Root may write anywhere: folders that cannot be made or files that cannot be opened
    // are made of the wrong kinds of file instead.
    std::ofstream(base / "a-file") << "x";
    std::filesystem::create_directories(base / "file-is-a-folder" / "vireo-updater" / "simulated-vireo.state");
    struct Case {
        const char* name;
        std::filesystem::path stateHome;
        std::string setupSays;  // what the setup says
        std::string saveSays;   // what the first save says
    };
    const std::string folderBlocked = (base / "a-file").string();
    const std::string fileIsAFolder =
        (base / "file-is-a-folder" / "vireo-updater" / "simulated-vireo.state").string();
    const Case cases[] = {
        {"a file where a folder must be", base / "a-file" / "state",
         "os: the simulated Vireo Interface's state cannot be kept (" + folderBlocked +
             "/state: Not a directory); the next run will not see what this one changes\n",
         ""},
        {"a folder where the file must be", base / "file-is-a-folder",
         "os: the simulated Vireo Interface's state file " + fileIsAFolder +
             " cannot be read (Is a directory); it starts with firmware 0.3.5\n",
         "os: the simulated Vireo Interface's state file " + fileIsAFolder +
             " cannot be written (Is a directory); the next run will not see what this one changes\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setEnvironmentVariable("XDG_STATE_HOME", c.stateHome.string());
        setEnvironmentVariable(kScenarioVariable, std::nullopt);
        auto [said, revision] = setUpAndListen();
        EXPECT_EQ(said, c.setupSays);
        EXPECT_EQ(revision, 0x0035);
        ASSERT_EQ(simulatedDevices().size(), 1u);
        EXPECT_EQ(simulatedDevices()[0]->mode(), eVireoMode::Runtime) << "the device is there all the same";
        ::testing::internal::CaptureStderr();
        simulatedDevices()[0]->setFirmwareSlot(true, 0x0036);
        simulatedDevices()[0]->setFirmwareSlot(true, 0x0037);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.saveSays) << "said once";
        EXPECT_EQ(simulatedDevices()[0]->firmwareRevision(), 0x0037);
    }
    std::filesystem::remove_all(base);
}

TEST(SimulatedSetup, AListThatDoesNotParseFallsBackToFresh)
{
    ManualClockScope clock;
    SetupEnvironment environment;
    const std::filesystem::path home = emptyFolder("vireo-fallback");
    setEnvironmentVariable("XDG_STATE_HOME", home.string());
    struct Case {
        const char* list;
        std::string says;
        bool attached;
        WORD revision;
    };
    const Case cases[] = {
        {"up-to-date", "", true, 0x0036},
        // The kept state is 0.3.6 here: a fallback to it would show the up-to-date device.
        {"fresh,bogus-word",
         "HA_OS_VIREO: unknown or malformed scenario word \"bogus-word\"; using \"fresh\" instead\n", true, 0x0035},
        {"up-to-date", "", true, 0x0036},
        {"none,stall-block=x",
         "HA_OS_VIREO: unknown or malformed scenario word \"stall-block=x\"; using \"fresh\" instead\n", true,
         0x0035},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        setEnvironmentVariable(kScenarioVariable, std::string(c.list));
        auto [said, revision] = setUpAndListen();
        EXPECT_EQ(said, c.says);
        EXPECT_EQ(revision, c.revision);
        EXPECT_EQ(simulatedDevices()[0]->mode() != eVireoMode::Absent, c.attached);
        EXPECT_EQ(simulatedDevices().size(), 1u);
    }
    std::filesystem::remove_all(home);
}
