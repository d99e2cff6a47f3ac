#pragma once
// Facts about the machine, recorded once per library start-up: the operating-system
// version and kind, the user-interface and locale languages, the processor and the
// computer name.

#include <cstdint>
#include <string>

namespace HA::GP {

enum class eOSKind : int {
    Unknown = 0,  // the version query failed
    BeforeVista = 1,
    VistaOrLater = 2,
    VistaOrLaterWow64 = 3,  // a 32-bit process under 64-bit Windows
};

// Language codes of the user interface and the locale.
enum eLanguage : int {
    eLanguageEnglish = 0,
    eLanguageFrench = 1,
    eLanguageGerman = 2,
    eLanguageJapanese = 3,
    eLanguageSpanish = 4,
    eLanguageOther = 5,
    eLanguageItalian = 6,
};

enum class eProcessorVendor : int { Unknown = 0, Intel, Amd, Cyrix, Transmeta };

struct SystemInfo {
    eOSKind osKind = eOSKind::Unknown;
    int majorVersion = 0;
    int minorVersion = 0;
    int buildNumber = 0;
    int uiLanguage = eLanguageOther;
    int localeLanguage = eLanguageOther;

    std::uint32_t processorCount = 0;
    std::uint32_t processorPackages = 0;
    std::uint32_t coresPerPackage = 0;
    std::uint32_t threadsPerCore = 0;
    std::string processorVendor;  // "GenuineIntel", ...
    std::string processorBrand;   // without surrounding blanks
    // The processor kind: its vendor and family (extended family included).
    eProcessorVendor processorVendorKind = eProcessorVendor::Unknown;
    int processorFamily = 0;
    int processorModel = 0;
    std::uint32_t processorMhz = 0;  // 0 when unknown

    std::string computerName;  // UTF-8
};

// The real version as the platform's version test finds it (the plain query may report a
// lower one to a program without a compatibility declaration).
struct RealVersion {
    int major = 0;
    int minor = 0;
    int servicePackMajor = 0;
    int wow64 = 0;  // 1 no, 2 yes
};

// Records the facts (from the library start-up, user-interface thread). A failed version
// query leaves every fact unset.
void collectSystemInfo();
// The facts recorded by the last collectSystemInfo.
const SystemInfo& systemInfo();

// Maps a primary language id (low 10 bits of a language id) to its code above.
int languageCodeFor(unsigned primaryLanguage);

namespace DETAIL {

// Finds the real version with the version test; the start-up does it once per process.
RealVersion computeRealVersion();
// Forgets the cached real version and the recorded facts (tests).
void resetSystemInfo();

}  // namespace DETAIL

}  // namespace HA::GP
