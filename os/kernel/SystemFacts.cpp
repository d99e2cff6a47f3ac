#include "os/kernel/SystemFacts.h"

#include <cstring>
#include <fstream>
#include <mutex>
#include <unistd.h>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

std::mutex& factsMutex()
{
    static std::mutex* m = new std::mutex;
    return *m;
}

std::shared_ptr<SystemFacts>& currentFacts()
{
    static auto* facts = new std::shared_ptr<SystemFacts>;
    return *facts;
}

std::shared_ptr<const SystemFacts> facts()
{
    std::lock_guard<std::mutex> lock(factsMutex());
    if (!currentFacts())
        currentFacts() = std::make_shared<SystemFacts>(hostSystemFacts());
    return currentFacts();
}

ULONG hostProcessorMhz()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("cpu MHz", 0) == 0) {
            std::size_t colon = line.find(':');
            if (colon != std::string::npos)
                return static_cast<ULONG>(std::strtod(line.c_str() + colon + 1, nullptr) + 0.5);
        }
    }
    return 0;
}

class TokenObject : public KernelObject {};

BOOL logicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length)
{
    std::shared_ptr<const SystemFacts> f = facts();
    if (length == nullptr) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD needed = static_cast<DWORD>(f->logicalProcessors.size() * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    if (buffer == nullptr || *length < needed) {
        *length = needed;
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, f->logicalProcessors.data(), needed);
    *length = needed;
    return 1;
}

template <class Record>
void fillVersion(const SystemFacts& f, Record& info)
{
    info.dwMajorVersion = f.reportedMajor;
    info.dwMinorVersion = f.reportedMinor;
    info.dwBuildNumber = f.reportedBuild;
    info.dwPlatformId = f.platformId;
    std::memset(info.szCSDVersion, 0, sizeof(info.szCSDVersion));
}

}  // namespace

SystemFacts hostSystemFacts()
{
    SystemFacts f;
    long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    f.processorCount = n > 0 ? static_cast<DWORD>(n) : 1;
    // One package of single-threaded cores: all a Linux host tells without parsing topology.
    SYSTEM_LOGICAL_PROCESSOR_INFORMATION package{};
    package.Relationship = RelationProcessorPackage;
    for (DWORD i = 0; i < f.processorCount && i < 8 * sizeof(ULONG_PTR); ++i) {
        SYSTEM_LOGICAL_PROCESSOR_INFORMATION core{};
        core.ProcessorMask = ULONG_PTR(1) << i;
        core.Relationship = RelationProcessorCore;
        package.ProcessorMask |= core.ProcessorMask;
        f.logicalProcessors.push_back(core);
    }
    f.logicalProcessors.push_back(package);
    f.processorMaxMhz = hostProcessorMhz();
    char host[256] = {};
    if (::gethostname(host, sizeof(host) - 1) == 0 && host[0] != '\0')
        f.computerName = host;
    f.elevated = ::geteuid() == 0;
    return f;
}

SystemFactsScope::SystemFactsScope(const SystemFacts& replacement)
{
    std::lock_guard<std::mutex> lock(factsMutex());
    mPrevious = currentFacts();
    currentFacts() = std::make_shared<SystemFacts>(replacement);
}

SystemFactsScope::~SystemFactsScope()
{
    std::lock_guard<std::mutex> lock(factsMutex());
    currentFacts() = mPrevious;
}

bool getVersionEx(OSVERSIONINFOEXW& info)
{
    std::shared_ptr<const SystemFacts> f = facts();
    if (info.dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW) || f->versionQueryFails) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    fillVersion(*f, info);
    info.wServicePackMajor = f->reportedServicePackMajor;
    info.wServicePackMinor = 0;
    info.wSuiteMask = 0x100;  // VER_SUITE_SINGLEUSERTS
    info.wProductType = 1;    // VER_NT_WORKSTATION
    info.wReserved = 0;
    return true;
}

bool getVersionEx(OSVERSIONINFOW& info)
{
    std::shared_ptr<const SystemFacts> f = facts();
    if (info.dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) || f->plainVersionQueryFails) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    fillVersion(*f, info);
    return true;
}

bool isWindowsVersionOrGreater(WORD major, WORD minor, WORD servicePackMajor)
{
    std::shared_ptr<const SystemFacts> f = facts();
    if (f->realMajor != major)
        return f->realMajor > major;
    if (f->realMinor != minor)
        return f->realMinor > minor;
    return f->realServicePackMajor >= servicePackMajor;
}

bool isWow64Process(bool& wow64)
{
    wow64 = facts()->wow64;
    return true;
}

LANGID getUserDefaultUILanguage() { return facts()->userDefaultUILanguage; }
LANGID getUserDefaultLangID() { return facts()->userDefaultLangID; }
LCID getUserDefaultLCID() { return facts()->userDefaultLCID; }

void getSystemInfo(SYSTEM_INFO& info)
{
    std::shared_ptr<const SystemFacts> f = facts();
    std::memset(&info, 0, sizeof(info));
    info.wProcessorArchitecture = 0;  // PROCESSOR_ARCHITECTURE_INTEL: a 32-bit process
    info.dwPageSize = 4096;
    info.dwNumberOfProcessors = f->processorCount;
    info.dwActiveProcessorMask =
        f->processorCount >= 8 * sizeof(ULONG_PTR) ? ~ULONG_PTR(0) : (ULONG_PTR(1) << f->processorCount) - 1;
    info.dwProcessorType = 586;  // PROCESSOR_INTEL_PENTIUM
    info.dwAllocationGranularity = 65536;
}

void* getProcAddress(const std::string& module, const std::string& name)
{
    std::string lower;
    for (char c : module)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if ((lower == "kernel32" || lower == "kernel32.dll") && name == "GetLogicalProcessorInformation" &&
        facts()->hasLogicalProcessorInformation)
        return reinterpret_cast<void*>(&logicalProcessorInformation);
    setLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

NTSTATUS callNtPowerInformationProcessors(PROCESSOR_POWER_INFORMATION* buffer, ULONG bytes)
{
    std::shared_ptr<const SystemFacts> f = facts();
    if (f->powerInformationFails)
        return STATUS_UNSUCCESSFUL;
    if (buffer == nullptr || bytes < f->processorCount * sizeof(PROCESSOR_POWER_INFORMATION))
        return STATUS_BUFFER_TOO_SMALL;
    for (ULONG i = 0; i < f->processorCount; ++i)
        buffer[i] = PROCESSOR_POWER_INFORMATION{i, f->processorMaxMhz, f->processorMaxMhz, f->processorMaxMhz, 0, 0};
    return STATUS_SUCCESS;
}

bool getComputerName(WChar* buffer, DWORD& size)
{
    std::shared_ptr<const SystemFacts> f = facts();
    if (f->computerNameFails) {
        setLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    WString name = utf8ToUtf16(f->computerName);
    if (buffer == nullptr || size < name.size() + 1) {
        size = static_cast<DWORD>(name.size() + 1);
        setLastError(ERROR_BUFFER_OVERFLOW);
        return false;
    }
    std::memcpy(buffer, name.data(), name.size() * sizeof(WChar));
    buffer[name.size()] = 0;
    size = static_cast<DWORD>(name.size());
    return true;
}

bool openProcessToken(DWORD desiredAccess, HANDLE& token)
{
    if (facts()->tokenFails || (desiredAccess & TOKEN_QUERY) == 0) {
        setLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    token = registerHandle(std::make_shared<TokenObject>());
    return true;
}

bool getTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                         DWORD& returnLength)
{
    if (!lookupHandleAs<TokenObject>(token)) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (infoClass != TokenElevation) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::shared_ptr<const SystemFacts> f = facts();
    returnLength = sizeof(DWORD);
    if (info == nullptr || length < sizeof(DWORD)) {
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    DWORD value = f->elevated ? 1 : 0;
    std::memcpy(info, &value, sizeof(value));
    returnLength = f->tokenElevationBytes;
    return true;
}

}  // namespace HA::OS
