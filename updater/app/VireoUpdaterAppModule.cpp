#include "updater/app/VireoUpdaterAppModule.h"

#include "gp/src/common/library/Init.h"
#include "hwl/core/src/library/Init.h"
#include "uia/app/Framework.h"
#include "uia/app/SingleInstance.h"
#include "updater/app/FirmwareUpdaterApp.h"
#include "updater/app/UpdaterDescription.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"

namespace HA {

namespace {

constexpr const char* kTitle = "VIREO INTERFACE UPDATER";

}  // namespace

VireoUpdaterAppModule::VireoUpdaterAppModule() = default;

VireoUpdaterAppModule::~VireoUpdaterAppModule()
{
    if (mUpgradeLogic)
        mUpgradeLogic->joinWorker();
    detachApplication();
    mDescription.reset();
    mUpgradeLogic.reset();
}

bool VireoUpdaterAppModule::initialize()
{
    GP::init(kFourCC, kTitle);
    UIA::initialize();
    HWL::init();
    HWL::setSkinLookup(true);

    mUpgradeLogic = std::make_unique<VireoUpdaterUpgradeLogic>();
    // The shut-down waits for the worker: a second start meanwhile waits for it to end.
    UIA::setShutDownTime(VireoUpdaterUpgradeLogic::kWorkerBoundMs);
    mDescription = makeVireoUpdaterDescription(*mUpgradeLogic);
    auto* app = new FirmwareUpdaterApp(mDescription.get());
    const bool ok = attachApplication(app);
    // Refused because another application is attached: this one was never taken.
    if (getApplication() != app)
        delete app;
    return ok;
}

void VireoUpdaterAppModule::deinitialize(bool /*initOk*/)
{
    // The user may have quit during a download; it ends at its final pause.
    if (mUpgradeLogic)
        mUpgradeLogic->joinWorker();
    detachApplication();
    mDescription.reset();
    mUpgradeLogic.reset();
    HWL::shutdown();
    UIA::shutDown();
    GP::shutdown();
}

}  // namespace HA
