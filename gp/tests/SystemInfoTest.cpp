#include "gp/src/common/machine/SystemInfo.h"
#include "gp/src/common/machine/Cpuid.h"

#include <cstring>
#include <map>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "os/kernel/SystemFacts.h"

using namespace HA;
using namespace HA::GP;

namespace {

// Answers the identification instruction from a table of leaves.
class TableCpuid : public CpuidReader {
public:
    using Leaf = std::pair<std::uint32_t, std::uint32_t>;
    struct Regs {
        std::uint32_t r[4];
    };

    void cpuid(std::uint32_t regs[4], std::uint32_t leaf, std::uint32_t subleaf) const override
    {
        auto it = mLeaves.find({leaf, subleaf});
        for (int i = 0; i < 4; ++i)
            regs[i] = it == mLeaves.end() ? 0 : it->second.r[i];
    }

    void set(std::uint32_t leaf, std::uint32_t subleaf, Regs regs) { mLeaves[{leaf, subleaf}] = regs; }
    void setVendor(const char* vendor, std::uint32_t highest)
    {
        Regs regs{{highest, 0, 0, 0}};
        std::memcpy(&regs.r[1], vendor, 4);
        std::memcpy(&regs.r[3], vendor + 4, 4);
        std::memcpy(&regs.r[2], vendor + 8, 4);
        set(0, 0, regs);
    }
    void setBrand(std::string brand)
    {
        brand.resize(48, '\0');
        set(0x80000000u, 0, Regs{{0x80000008u, 0, 0, 0}});
        for (std::uint32_t i = 0; i < 3; ++i) {
            Regs regs;
            std::memcpy(regs.r, brand.data() + 16 * i, 16);
            set(0x80000002u + i, 0, regs);
        }
    }

private:
    std::map<Leaf, Regs> mLeaves;
};

class CpuidScope {
public:
    explicit CpuidScope(const CpuidReader& reader) : mPrevious(DETAIL::setCpuidReader(&reader)) {}
    ~CpuidScope() { DETAIL::setCpuidReader(mPrevious); }

private:
    const CpuidReader* mPrevious;
};

class SystemInfoTest : public ::testing::Test {
protected:
    void SetUp() override { DETAIL::resetSystemInfo(); }
    void TearDown() override { DETAIL::resetSystemInfo(); }
};

OS::SYSTEM_LOGICAL_PROCESSOR_INFORMATION record(OS::DWORD relation, OS::ULONG_PTR mask)
{
    OS::SYSTEM_LOGICAL_PROCESSOR_INFORMATION r{};
    r.Relationship = relation;
    r.ProcessorMask = mask;
    return r;
}

}  // namespace

TEST_F(SystemInfoTest, VersionAndKindFromTheFacts)
{
    struct Case {
        const char* name;
        bool extendedFails, plainFails;
        OS::DWORD platform, reportedMajor, reportedMinor;
        OS::DWORD realMajor, realMinor;
        OS::WORD realServicePack;
        bool wow64;
        eOSKind kind;
        int major, minor, servicePack;
    };
    const Case cases[] = {
        {"10 without declaration", false, false, OS::VER_PLATFORM_WIN32_NT, 6, 2, 10, 0, 0, true,
         eOSKind::VistaOrLaterWow64, 10, 0, 0},
        {"7 SP1 native", false, false, OS::VER_PLATFORM_WIN32_NT, 6, 1, 6, 1, 1, false, eOSKind::VistaOrLater, 6, 1,
         1},
        {"XP SP3", false, false, OS::VER_PLATFORM_WIN32_NT, 5, 1, 5, 1, 3, false, eOSKind::BeforeVista, 5, 1, 3},
        {"plain record only", true, false, OS::VER_PLATFORM_WIN32_NT, 6, 2, 6, 3, 0, true,
         eOSKind::VistaOrLaterWow64, 6, 3, 0},
        {"large numbers bisected", false, false, OS::VER_PLATFORM_WIN32_NT, 6, 2, 300, 77, 65535, false,
         eOSKind::VistaOrLater, 300, 77, 65535},
        {"both queries fail", true, true, OS::VER_PLATFORM_WIN32_NT, 6, 2, 10, 0, 0, true, eOSKind::Unknown, 0, 0,
         0},
        {"not the NT family", false, false, OS::VER_PLATFORM_WIN32_WINDOWS, 4, 10, 4, 10, 0, false,
         eOSKind::Unknown, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OS::SystemFacts facts;
        facts.versionQueryFails = c.extendedFails;
        facts.plainVersionQueryFails = c.plainFails;
        facts.platformId = c.platform;
        facts.reportedMajor = c.reportedMajor;
        facts.reportedMinor = c.reportedMinor;
        facts.reportedBuild = 1234;
        facts.realMajor = c.realMajor;
        facts.realMinor = c.realMinor;
        facts.realServicePackMajor = c.realServicePack;
        facts.wow64 = c.wow64;
        OS::SystemFactsScope scope(facts);
        DETAIL::resetSystemInfo();
        collectSystemInfo();
        EXPECT_EQ(systemInfo().osKind, c.kind);
        EXPECT_EQ(systemInfo().majorVersion, c.major);
        EXPECT_EQ(systemInfo().minorVersion, c.minor);
        if (c.kind != eOSKind::Unknown) {
            EXPECT_EQ(systemInfo().buildNumber, 1234);
            RealVersion real = DETAIL::computeRealVersion();
            EXPECT_EQ(real.servicePackMajor, c.servicePack);
            EXPECT_EQ(real.wow64, c.wow64 ? 2 : 1);
        }
    }
}

TEST_F(SystemInfoTest, RealVersionIsComputedOncePerProcess)
{
    OS::SystemFacts facts;
    facts.realMajor = 10;
    {
        OS::SystemFactsScope scope(facts);
        collectSystemInfo();
    }
    facts.realMajor = 11;
    OS::SystemFactsScope scope(facts);
    collectSystemInfo();
    EXPECT_EQ(systemInfo().majorVersion, 10);
}

TEST_F(SystemInfoTest, LanguageCodes)
{
    const std::pair<unsigned, int> table[] = {{9, 0}, {12, 1}, {7, 2}, {17, 3}, {10, 4}, {16, 6}, {19, 5}, {0, 5}};
    for (auto [primary, code] : table)
        EXPECT_EQ(languageCodeFor(primary), code) << primary;

    OS::SystemFacts facts;
    facts.userDefaultUILanguage = 0x0407;  // German (Germany)
    facts.userDefaultLCID = 0x0809;        // English (United Kingdom)
    OS::SystemFactsScope scope(facts);
    collectSystemInfo();
    EXPECT_EQ(systemInfo().uiLanguage, 2);
    EXPECT_EQ(systemInfo().localeLanguage, 0);
}

TEST_F(SystemInfoTest, ProcessorFromTheIdentificationLeavesAndTheLogicalProcessors)
{
    TableCpuid cpu;
    cpu.setVendor("GenuineIntel", 4);
    // Family 6, extended model 9, model 14; hyper-threading with 8 logical per package.
    cpu.set(1, 0, {{0x000906EAu, 8u << 16, 0, 1u << 28}});
    cpu.set(4, 0, {{(3u << 26) | 1u, 0, 0, 0}});  // 4 cores
    cpu.setBrand("   Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz       ");
    CpuidScope reader(cpu);

    OS::SystemFacts facts;
    facts.processorCount = 8;
    facts.processorMaxMhz = 3192;
    facts.logicalProcessors = {record(OS::RelationProcessorPackage, 0xFF), record(OS::RelationProcessorCore, 0x03),
                               record(OS::RelationProcessorCore, 0x0C), record(OS::RelationCache, 0xFF),
                               record(OS::RelationProcessorCore, 0x30), record(OS::RelationProcessorCore, 0xC0)};
    facts.computerName = "K\xC3\x9C" "CHE";
    {
        OS::SystemFactsScope scope(facts);
        collectSystemInfo();
    }
    const SystemInfo& info = systemInfo();
    EXPECT_EQ(info.processorVendor, "GenuineIntel");
    EXPECT_EQ(info.processorVendorKind, eProcessorVendor::Intel);
    EXPECT_EQ(info.processorBrand, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    EXPECT_EQ(info.processorFamily, 6);
    EXPECT_EQ(info.processorModel, 0x9E);
    EXPECT_EQ(info.processorCount, 8u);
    EXPECT_EQ(info.processorPackages, 1u);
    EXPECT_EQ(info.coresPerPackage, 4u);
    EXPECT_EQ(info.threadsPerCore, 2u);
    EXPECT_EQ(info.processorMhz, 3192u);
    EXPECT_EQ(info.computerName, "K\xC3\x9C" "CHE");

    // Without the logical-processor query the counts come from the leaves.
    facts.hasLogicalProcessorInformation = false;
    facts.processorCount = 16;
    {
        OS::SystemFactsScope scope(facts);
        collectSystemInfo();
    }
    EXPECT_EQ(systemInfo().processorPackages, 2u);
    EXPECT_EQ(systemInfo().coresPerPackage, 4u);
    EXPECT_EQ(systemInfo().threadsPerCore, 2u);
    EXPECT_EQ(systemInfo().processorMhz, 0u);
}

TEST_F(SystemInfoTest, AmdCoresAndAProcessorWithoutLeaves)
{
    TableCpuid amd;
    amd.setVendor("AuthenticAMD", 1);
    amd.set(1, 0, {{0x00A20F10u, 0, 0, 0}});  // family 0xF + 0xA, no hyper-threading flag
    amd.setBrand("AMD Ryzen 5 5600X 6-Core Processor             ");
    amd.set(0x80000008u, 0, {{0, 0, 5, 0}});  // 6 cores
    OS::SystemFacts facts;
    facts.processorCount = 6;
    facts.hasLogicalProcessorInformation = false;
    OS::SystemFactsScope scope(facts);
    {
        CpuidScope reader(amd);
        collectSystemInfo();
    }
    EXPECT_EQ(systemInfo().processorVendorKind, eProcessorVendor::Amd);
    EXPECT_EQ(systemInfo().processorFamily, 0x19);
    EXPECT_EQ(systemInfo().processorBrand, "AMD Ryzen 5 5600X 6-Core Processor");
    // One logical processor per package by the leaves: every processor its own package.
    EXPECT_EQ(systemInfo().coresPerPackage, 1u);
    EXPECT_EQ(systemInfo().threadsPerCore, 1u);
    EXPECT_EQ(systemInfo().processorPackages, 6u);

    TableCpuid empty;
    CpuidScope reader(empty);
    collectSystemInfo();
    EXPECT_EQ(systemInfo().processorVendorKind, eProcessorVendor::Unknown);
    EXPECT_EQ(systemInfo().processorVendor, "");
    EXPECT_EQ(systemInfo().processorBrand, "");
}

TEST_F(SystemInfoTest, TheRealInstructionGivesAVendor)
{
    std::uint32_t regs[4];
    cpuidReader().cpuid(regs, 0, 0);
    EXPECT_GT(regs[0], 0u);
    regs[0] = 1;
    cpuidReader().cpuid(regs, 0x7FFFFFF0u, 0);  // beyond the highest leaf
    EXPECT_EQ(regs[0], 0u);
}
