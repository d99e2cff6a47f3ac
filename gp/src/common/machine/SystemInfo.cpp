#include "gp/src/common/machine/SystemInfo.h"

#include <bitset>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "gp/src/common/machine/Cpuid.h"
#include "gp/src/common/text/Utf8.h"
#include "os/kernel/SystemFacts.h"

namespace HA::GP {

namespace {

std::mutex gMutex;
SystemInfo gInfo;
std::optional<RealVersion> gRealVersion;

// Largest v in [0, 0xFFFF] for which holds(v) is true, assuming holds(0): doubling from 1
// until the test fails, then bisecting.
int largestPassing(bool (*holds)(int v, const RealVersion& known), const RealVersion& known)
{
    int good = 0;
    int bad = 1;
    while (holds(bad, known)) {
        good = bad;
        if (bad >= 0x8000) {
            bad = 0x10000;
            break;
        }
        bad *= 2;
    }
    while (bad - good > 1) {
        int mid = good + (bad - good) / 2;
        if (holds(mid, known))
            good = mid;
        else
            bad = mid;
    }
    return good;
}

OS::WORD word(int v) { return static_cast<OS::WORD>(v); }

std::string registersText(const std::uint32_t* regs, int count)
{
    std::string text(reinterpret_cast<const char*>(regs), std::size_t(count) * 4);
    return text.substr(0, text.find('\0'));
}

std::string trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

eProcessorVendor vendorKind(const std::string& vendor)
{
    if (vendor == "GenuineIntel")
        return eProcessorVendor::Intel;
    if (vendor == "AuthenticAMD")
        return eProcessorVendor::Amd;
    if (vendor == "CyrixInstead")
        return eProcessorVendor::Cyrix;
    if (vendor == "GenuineTMx86")
        return eProcessorVendor::Transmeta;
    return eProcessorVendor::Unknown;
}

// Vendor, family, model, brand and the per-package counts of the identification leaves.
// Returns the logical processors per package (0 when the leaves do not tell).
std::uint32_t readProcessorIdentity(SystemInfo& info, std::uint32_t& coresPerPackage)
{
    const CpuidReader& reader = cpuidReader();
    std::uint32_t r[4];
    reader.cpuid(r, 0, 0);
    std::uint32_t highest = r[0];
    std::uint32_t vendor[3] = {r[1], r[3], r[2]};
    info.processorVendor = registersText(vendor, 3);
    info.processorVendorKind = vendorKind(info.processorVendor);

    std::uint32_t logicalPerPackage = 0;
    coresPerPackage = 0;
    if (highest >= 1) {
        reader.cpuid(r, 1, 0);
        int family = int((r[0] >> 8) & 0xF);
        int model = int((r[0] >> 4) & 0xF);
        if (family == 0xF)
            family += int((r[0] >> 20) & 0xFF);
        if (family == 0x6 || family >= 0xF)
            model += int((r[0] >> 16) & 0xF) << 4;
        info.processorFamily = family;
        info.processorModel = model;
        bool hyperThreading = (r[3] >> 28) & 1;
        logicalPerPackage = hyperThreading ? ((r[1] >> 16) & 0xFF) : 1;
    }
    if (info.processorVendorKind == eProcessorVendor::Intel && highest >= 4) {
        reader.cpuid(r, 4, 0);
        if ((r[0] & 0x1F) != 0)
            coresPerPackage = ((r[0] >> 26) & 0x3F) + 1;
    }
    reader.cpuid(r, 0x80000000u, 0);
    std::uint32_t highestExtended = r[0];
    if (info.processorVendorKind == eProcessorVendor::Amd && highestExtended >= 0x80000008u) {
        reader.cpuid(r, 0x80000008u, 0);
        coresPerPackage = (r[2] & 0xFF) + 1;
    }
    if (highestExtended >= 0x80000004u) {
        std::uint32_t brand[12];
        for (std::uint32_t i = 0; i < 3; ++i)
            reader.cpuid(brand + 4 * i, 0x80000002u + i, 0);
        info.processorBrand = trimmed(registersText(brand, 12));
    }
    if (logicalPerPackage != 0 && coresPerPackage == 0)
        coresPerPackage = 1;
    return logicalPerPackage;
}

bool readLogicalProcessors(SystemInfo& info)
{
    auto query = reinterpret_cast<OS::GetLogicalProcessorInformationFn>(
        OS::getProcAddress("kernel32", "GetLogicalProcessorInformation"));
    if (query == nullptr)
        return false;
    OS::DWORD length = 0;
    query(nullptr, &length);
    std::vector<OS::SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(OS::SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    if (records.empty() || !query(records.data(), &length))
        return false;
    records.resize(length / sizeof(OS::SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    std::uint32_t packages = 0, cores = 0, logical = 0;
    for (const auto& record : records) {
        if (record.Relationship == OS::RelationProcessorPackage)
            ++packages;
        else if (record.Relationship == OS::RelationProcessorCore) {
            ++cores;
            logical += std::uint32_t(std::bitset<64>(record.ProcessorMask).count());
        }
    }
    if (packages == 0 || cores == 0)
        return false;
    info.processorPackages = packages;
    info.coresPerPackage = cores / packages;
    info.threadsPerCore = logical / cores;

    std::vector<OS::PROCESSOR_POWER_INFORMATION> power(info.processorCount ? info.processorCount : 1);
    if (OS::callNtPowerInformationProcessors(power.data(), OS::ULONG(power.size() * sizeof(power[0]))) ==
        OS::STATUS_SUCCESS)
        info.processorMhz = power[0].MaxMhz;
    return true;
}

void readProcessors(SystemInfo& info)
{
    OS::SYSTEM_INFO system;
    OS::getSystemInfo(system);
    info.processorCount = system.dwNumberOfProcessors;
    std::uint32_t coresPerPackage = 0;
    std::uint32_t logicalPerPackage = readProcessorIdentity(info, coresPerPackage);
    if (readLogicalProcessors(info))
        return;
    // Derived from the identification counts.
    if (logicalPerPackage == 0)
        logicalPerPackage = 1;
    if (coresPerPackage == 0 || coresPerPackage > logicalPerPackage)
        coresPerPackage = logicalPerPackage;
    info.coresPerPackage = coresPerPackage;
    info.threadsPerCore = logicalPerPackage / coresPerPackage;
    info.processorPackages = info.processorCount >= logicalPerPackage ? info.processorCount / logicalPerPackage : 1;
}

// Fills what it can; stops at a failed version query or a platform outside the NT family.
void gather(SystemInfo& info)
{
    OS::OSVERSIONINFOEXW extended{};
    extended.dwOSVersionInfoSize = sizeof(extended);
    OS::DWORD major = 0, platform = 0, build = 0;
    if (OS::getVersionEx(extended)) {
        major = extended.dwMajorVersion;
        build = extended.dwBuildNumber;
        platform = extended.dwPlatformId;
    } else {
        OS::OSVERSIONINFOW plain{};
        plain.dwOSVersionInfoSize = sizeof(plain);
        if (!OS::getVersionEx(plain))
            return;
        major = plain.dwMajorVersion;
        build = plain.dwBuildNumber;
        platform = plain.dwPlatformId;
    }
    if (platform != OS::VER_PLATFORM_WIN32_NT)
        return;

    bool wow64 = false;
    if (major < 6)
        info.osKind = eOSKind::BeforeVista;
    else
        info.osKind = OS::isWow64Process(wow64) && wow64 ? eOSKind::VistaOrLaterWow64 : eOSKind::VistaOrLater;

    RealVersion real;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (!gRealVersion)
            gRealVersion = DETAIL::computeRealVersion();
        real = *gRealVersion;
    }
    info.majorVersion = real.major;
    info.minorVersion = real.minor;
    info.buildNumber = int(build);

    info.uiLanguage = languageCodeFor(OS::primaryLangId(OS::getUserDefaultUILanguage()));
    info.localeLanguage = languageCodeFor(OS::primaryLangId(OS::LANGID(OS::getUserDefaultLCID() & 0xFFFF)));

    readProcessors(info);

    OS::WChar name[257] = {};
    OS::DWORD size = 256;
    if (OS::getComputerName(name, size))
        info.computerName = toUtf8(name, size);
}

}  // namespace

int languageCodeFor(unsigned primaryLanguage)
{
    switch (primaryLanguage) {
    case 9: return eLanguageEnglish;
    case 12: return eLanguageFrench;
    case 7: return eLanguageGerman;
    case 17: return eLanguageJapanese;
    case 10: return eLanguageSpanish;
    case 16: return eLanguageItalian;
    default: return eLanguageOther;
    }
}

void collectSystemInfo()
{
    SystemInfo info;
    gather(info);
    std::lock_guard<std::mutex> lock(gMutex);
    gInfo = info;
}

const SystemInfo& systemInfo() { return gInfo; }

namespace DETAIL {

RealVersion computeRealVersion()
{
    RealVersion v;
    v.major = largestPassing([](int m, const RealVersion&) { return OS::isWindowsVersionOrGreater(word(m), 0, 0); }, v);
    v.minor = largestPassing(
        [](int m, const RealVersion& k) { return OS::isWindowsVersionOrGreater(word(k.major), word(m), 0); }, v);
    v.servicePackMajor = largestPassing(
        [](int m, const RealVersion& k) { return OS::isWindowsVersionOrGreater(word(k.major), word(k.minor), word(m)); },
        v);
    bool wow64 = false;
    v.wow64 = OS::isWow64Process(wow64) && wow64 ? 2 : 1;
    return v;
}

void resetSystemInfo()
{
    std::lock_guard<std::mutex> lock(gMutex);
    gRealVersion.reset();
    gInfo = SystemInfo();
}

}  // namespace DETAIL

}  // namespace HA::GP
