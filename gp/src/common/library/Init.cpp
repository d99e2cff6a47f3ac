#include "gp/src/common/library/Init.h"

#include <atomic>
#include <cstring>

#include "gp/src/common/devices/DeviceNotificationWindow.h"
#include "gp/src/common/process/FatalError.h"
#include "gp/src/common/files/FileType.h"
#include "gp/src/common/library/StartUpSteps.h"
#include "gp/src/common/process/Settings.h"
#include "gp/src/common/memory/SmallPool.h"
#include "gp/src/common/machine/SystemInfo.h"
#include "gp/src/common/process/Trace.h"
#include "gp/src/common/devices/VolumeInfo.h"
#include "os/shell/Com.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/SystemFacts.h"

namespace HA::GP {

namespace {

// The start-up's own source name and the line its double start-up check has always had.
constexpr const char* kInitSource = "gp/src/common/init_gp";
constexpr int kInitTwiceLine = 58;

char gLanguage[16] = "";
bool gInitialized = false;
std::atomic<std::uint8_t> gExiting{1};
std::atomic<std::uint32_t> gComThread{0};
bool gElevated = false;
// Create the device-notification window during start-up; nothing changes it.
const bool gDeviceNotificationOption = true;

StartUpFault<DETAIL::eInitStep> gFault;

void step(DETAIL::eInitStep which)
{
    gFault.check(which);
}

void copyText(char* buffer, std::size_t size, const char* text)
{
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
}

bool startSteps()
{
    using DETAIL::eInitStep;
    gExiting = 0;
    step(eInitStep::SystemInfo);
    collectSystemInfo();
    step(eInitStep::SmallBlockPool);
    if (!initSmallBlockPool())
        return false;
    step(eInitStep::FileTypes);
    buildFileTypeRegistry();
    step(eInitStep::DeviceNotificationWindow);
    if (gDeviceNotificationOption && !deviceNotificationWindowExists() && !createDeviceNotificationWindow())
        return false;
    step(eInitStep::VolumeList);
    VolumeInfo::init();
    return true;
}

}  // namespace

bool init(std::uint32_t fourCC, const char* title)
{
    if (gInitialized)
        fatalError(kInitSource, kInitTwiceLine, nullptr);
    DETAIL::setApplicationIdentity(fourCC, title);
    if (!runStartUpSteps(startSteps, shutdown))
        return false;
    OS::oleInitialize();
    initCom();
    gInitialized = true;
    return true;
}

void shutdown()
{
    releaseComObjects();
    closeSettings();
    deleteFileTypeRegistry();
    VolumeInfo::shutdown();
    destroyDeviceNotificationWindow();
    uninitCom();
    releaseSmallBlockPool();
    gExiting = 1;
    if (gInitialized)
        OS::oleUninitialize();
    DETAIL::clearTraceChannels();
    gInitialized = false;
}

bool isInitialized() { return gInitialized; }

void setLanguageCode(const char* code)
{
    if (code != nullptr && code[0] != '\0') {
        copyText(gLanguage, sizeof(gLanguage), code);
        return;
    }
    const char* derived;
    switch (OS::primaryLangId(OS::getUserDefaultLangID())) {
    case 7: derived = "DEU"; break;
    case 10: derived = "SPA"; break;
    case 12: derived = "FRA"; break;
    case 16: derived = "ITA"; break;
    case 17: derived = "JPN"; break;
    default: derived = "ENG"; break;
    }
    copyText(gLanguage, sizeof(gLanguage), derived);
}

const char* languageCode() { return gLanguage; }

void setExiting(std::uint8_t exiting) { gExiting = exiting; }
std::uint8_t exiting() { return gExiting; }

bool initCom()
{
    if (systemInfo().majorVersion >= 6) {
        gElevated = false;
        OS::HANDLE token = nullptr;
        if (OS::openProcessToken(OS::TOKEN_QUERY, token)) {
            OS::DWORD elevation = 0, returned = 0;
            gElevated = OS::getTokenInformation(token, OS::TokenElevation, &elevation, sizeof(elevation), returned) &&
                        returned == sizeof(elevation) && elevation != 0;
            OS::closeHandle(token);
        }
    } else {
        gElevated = true;
    }
    if (gComThread != 0)
        return false;
    const OS::HRESULT result = OS::coInitialize();
    if (result != OS::S_OK && result != OS::S_FALSE)
        return false;
    gComThread = OS::currentThreadId();
    return true;
}

void uninitCom()
{
    if (gComThread == 0)
        return;
    // Nothing registers an interface in the global interface table, so no cookie is revoked.
    OS::coUninitialize();
    gComThread = 0;
}

bool isElevated() { return gElevated; }

bool releaseComObjects()
{
    // Nothing creates the library's COM objects yet, so there is nothing to stop or release.
    return true;
}

namespace DETAIL {

InitFaultScope::InitFaultScope(eInitStep which) { gFault.set(which); }
InitFaultScope::~InitFaultScope() { gFault.clear(); }

std::uint32_t comThread() { return gComThread; }

}  // namespace DETAIL

}  // namespace HA::GP
