#pragma once
// Facts about the machine and the process as the platform reports them: the version
// queries, WOW64, the user's languages, processor counts and power information, the
// computer name and the process token's elevation.
//
// A real run sees a 32-bit process under 64-bit Windows 10 that carries no compatibility
// declaration, so the plain version query reports 6.2 while the version test knows 10.0;
// languages are US English; processor count, speed, computer name and elevation come from
// Linux. Tests replace every fact with a SystemFactsScope.

#include <memory>
#include <string>
#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

using LANGID = WORD;
using LCID = DWORD;
using ULONG = std::uint32_t;
using NTSTATUS = LONG;
using ULONG_PTR = std::uintptr_t;

constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WChar szCSDVersion[128];
};

struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WChar szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    void* lpMinimumApplicationAddress;
    void* lpMaximumApplicationAddress;
    ULONG_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};

constexpr DWORD RelationProcessorCore = 0;
constexpr DWORD RelationNumaNode = 1;
constexpr DWORD RelationCache = 2;
constexpr DWORD RelationProcessorPackage = 3;

// The record without its union of cache and NUMA details, which nothing reads.
struct SYSTEM_LOGICAL_PROCESSOR_INFORMATION {
    ULONG_PTR ProcessorMask;
    DWORD Relationship;
    std::uint64_t Reserved[2];
};

// GetLogicalProcessorInformation: false with ERROR_INSUFFICIENT_BUFFER and the size needed
// in `length` (bytes) when the buffer is too small.
using GetLogicalProcessorInformationFn = BOOL (*)(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length);

struct PROCESSOR_POWER_INFORMATION {
    ULONG Number;
    ULONG MaxMhz;
    ULONG CurrentMhz;
    ULONG MhzLimit;
    ULONG MaxIdleState;
    ULONG CurrentIdleState;
};

constexpr NTSTATUS STATUS_SUCCESS = 0;
constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = static_cast<NTSTATUS>(0xC0000023u);
constexpr NTSTATUS STATUS_UNSUCCESSFUL = static_cast<NTSTATUS>(0xC0000001u);

constexpr DWORD TOKEN_QUERY = 0x0008;
enum TOKEN_INFORMATION_CLASS { TokenElevation = 20 };

constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

// Everything the queries below report.
struct SystemFacts {
    // What the version queries report; the test below may know a higher one.
    bool versionQueryFails = false;    // extended record
    bool plainVersionQueryFails = false;
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD reportedMajor = 6, reportedMinor = 2, reportedBuild = 9200;
    WORD reportedServicePackMajor = 0;
    // What the version test compares against.
    DWORD realMajor = 10, realMinor = 0;
    WORD realServicePackMajor = 0;
    bool wow64 = true;

    LANGID userDefaultUILanguage = 0x0409;
    LANGID userDefaultLangID = 0x0409;
    LCID userDefaultLCID = 0x0409;

    DWORD processorCount = 1;
    // Null: GetLogicalProcessorInformation is not exported.
    bool hasLogicalProcessorInformation = true;
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> logicalProcessors;
    bool powerInformationFails = false;
    ULONG processorMaxMhz = 0;

    std::string computerName = "VIREO";  // UTF-8
    bool computerNameFails = false;

    bool tokenFails = false;
    DWORD tokenElevationBytes = 4;  // what the token query reports it wrote
    bool elevated = false;
};

// The facts of this machine (as described at the top).
SystemFacts hostSystemFacts();

// Replaces the facts for its life; scopes nest. Any thread.
class SystemFactsScope {
public:
    explicit SystemFactsScope(const SystemFacts& facts);
    ~SystemFactsScope();
    SystemFactsScope(const SystemFactsScope&) = delete;
    SystemFactsScope& operator=(const SystemFactsScope&) = delete;

private:
    std::shared_ptr<SystemFacts> mPrevious;
};

// GetVersionExW with either record: dwOSVersionInfoSize must name the record's size, else
// false with ERROR_INVALID_PARAMETER.
bool getVersionEx(OSVERSIONINFOEXW& info);
bool getVersionEx(OSVERSIONINFOW& info);
// The version test: the running version is at least major.minor with at least the given
// service-pack major (VerifyVersionInfo with VER_GREATER_EQUAL on the three fields).
bool isWindowsVersionOrGreater(WORD major, WORD minor, WORD servicePackMajor);
// IsWow64Process for the current process.
bool isWow64Process(bool& wow64);

LANGID getUserDefaultUILanguage();
LANGID getUserDefaultLangID();
LCID getUserDefaultLCID();
constexpr WORD primaryLangId(LANGID language) { return language & 0x3FF; }

void getSystemInfo(SYSTEM_INFO& info);
// GetProcAddress for the exports looked up by name; null for others (ERROR_PROC_NOT_FOUND).
void* getProcAddress(const std::string& module, const std::string& name);
// CallNtPowerInformation(ProcessorInformation): one record per processor.
NTSTATUS callNtPowerInformationProcessors(PROCESSOR_POWER_INFORMATION* buffer, ULONG bytes);

// GetComputerNameW: `size` is the buffer's length in units and comes back as the name's
// length; too small: false, ERROR_BUFFER_OVERFLOW, size needed including the NUL.
bool getComputerName(WChar* buffer, DWORD& size);

// OpenProcessToken for the current process; the token is closed with closeHandle.
bool openProcessToken(DWORD desiredAccess, HANDLE& token);
// GetTokenInformation(TokenElevation): a DWORD, non-zero when elevated.
bool getTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                         DWORD& returnLength);

constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;

}  // namespace HA::OS
