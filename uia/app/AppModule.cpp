#include "uia/app/AppModule.h"

#include <atomic>
#include <vector>

#include "gp/src/common/library/Init.h"
#include "gp/src/common/process/Settings.h"
#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Module.h"
#include "os/kernel/Text.h"
#include "os/kernel/Version.h"
#include "uia/app/IApplication.h"

namespace HA::UIA {

namespace {

AppModule* gProcessModule = nullptr;

constexpr const char* kUnknownVersion = "?.??.???";

}  // namespace

AppModule::AppModule()
{
    if (!gProcessModule)
        gProcessModule = this;
}

AppModule::~AppModule()
{
    detachApplication();
    // A module that goes must not stay the process module.
    if (gProcessModule == this)
        gProcessModule = nullptr;
}

std::string AppModule::getLocale(bool useSetting)
{
    std::string locale;
    if (useSetting)
        GP::readSetting("Locale", "", locale, 0);
    return locale;
}

AppModule* AppModule::instance() { return gProcessModule; }

bool AppModule::attachApplication(IApplication* app)
{
    if (mApplication || !app)
        return false;
    mApplication = app;
    app->setAppModule(this);
    const bool ok = app->initialize();
    if (!ok)
        app->deinitialize(false);
    return ok;
}

void AppModule::detachApplication()
{
    IApplication* app = mApplication;
    if (!app)
        return;
    app->deinitialize(mInitOk);
    app->setAppModule(nullptr);
    mApplication = nullptr;
    delete app;
}

bool AppModule::getFileVersion(std::string& out)
{
    OS::WChar path[OS::MAX_PATH];
    const OS::DWORD length = OS::getModuleFileName(GP::getModuleHandle(), path, OS::MAX_PATH);
    if (length > 0 && length < OS::MAX_PATH) {
        const OS::WString file(path, length);
        OS::DWORD handle = 0;
        const OS::DWORD size = OS::getFileVersionInfoSize(file, &handle);
        if (size != 0) {
            std::vector<unsigned char> block(size + 1);
            const void* value = nullptr;
            OS::UINT units = 0;
            if (OS::getFileVersionInfo(file, handle, size + 1, block.data()) &&
                OS::verQueryValue(block.data(), u"\\StringFileInfo\\000004b0\\FileVersion", &value, &units) &&
                units > 0) {
                // Up to the NUL, and never past the value's own length.
                std::u16string text;
                const auto* p = static_cast<const unsigned char*>(value);
                for (OS::UINT i = 0; i < units; ++i) {
                    const char16_t c = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
                    if (c == 0)
                        break;
                    text += c;
                }
                if (!text.empty()) {
                    out = OS::utf16ToUtf8(text);
                    return true;
                }
            }
        }
    }
    out = kUnknownVersion;
    return false;
}

bool initModule()
{
    AppModule* module = AppModule::instance();
    if (!module)
        return false;
    const std::string locale = module->getLocale(module->usesLocaleSetting());
    GP::setLanguageCode(locale.c_str());
    GP::setExiting(0);
    module->mInitOk = module->initialize();
    return module->mInitOk;
}

void runModule()
{
    AppModule* module = AppModule::instance();
    if (module && module->getApplication())
        module->getApplication()->run();
}

void exitModule()
{
    if (AppModule* module = AppModule::instance())
        module->deinitialize(module->mInitOk);
}

void runMain()
{
    // The platform's crash filter passes every exception on, so the guard is a plain call.
    if (initModule())
        runModule();
    exitModule();
}

namespace {
std::atomic<int> gHostKind{0};
}  // namespace

int getHostKind() { return gHostKind; }

void DETAIL::setHostKind(int kind) { gHostKind = kind; }

}  // namespace HA::UIA
