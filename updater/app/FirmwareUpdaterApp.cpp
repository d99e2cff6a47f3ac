#include "updater/app/FirmwareUpdaterApp.h"

#include <memory>

#include "gp/src/common/process/MessageBox.h"
#include "gp/src/common/process/PlatformServices.h"
#include "gp/src/common/storage/ModuleResources.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/window/Window.h"
#include "uia/app/SingleInstance.h"
#include "uia/events/Events.h"
#include "uia/window/WindowDescriptor.h"
#include "updater/app/UpdateWizardMainWidget.h"
#include "updater/app/UpdaterDescription.h"

namespace HA {

FirmwareUpdaterApp::FirmwareUpdaterApp(UpdaterDescription* description)
    : mDescription(description)
{
}

FirmwareUpdaterApp::~FirmwareUpdaterApp() { mAboutCallback.clear(); }

bool FirmwareUpdaterApp::initialize()
{
    setName(mDescription->title.c_str());
    if (!HWL::App::initialize())
        return false;
    // Another instance has been handed our path and brought forward: show nothing.
    if (UIA::handOverToRunningInstance(mDescription->singleInstanceKey, 0))
        return false;

    HWL::getStyleSheets().load(kStyleSheet);

    const UpdaterDescription& d = *mDescription;
    auto wizard = std::make_shared<UpdateWizardMainWidget>(d);
    mAboutCallback = [wizard] { wizard->showAbout(); };
    // Shows the first screen and scans for the device before the window opens.
    wizard->setCallbacks(d.scanForDevice, d.enterUpdateMode, d.findUpdateModeDevice, d.startUpdate, d.getDeviceInfo);

    auto* window = new HWL::Window<UIA::StandaloneWindow>();
    window->setDeleteOnDestroy(true);
    window->setRoot(wizard, kRootId);

    UIA::WindowDescriptor descriptor;
    descriptor.setTitle(d.windowTitle.c_str());
    descriptor.contentFlags |= UIA::WindowDescriptor::kSizeGiven | UIA::WindowDescriptor::kClientSize;
    descriptor.left = 0;
    descriptor.top = 0;
    descriptor.right = kClientWidth;
    descriptor.bottom = kClientHeight;
    descriptor.styleFlags = UIA::WindowDescriptor::kFixedSize;
    window->create(descriptor);
    window->setIcon(GP::getModuleHandle(), kIconResource);
    window->setVisible(true);
    return true;
}

void FirmwareUpdaterApp::deinitialize(bool initOk) { HWL::App::deinitialize(initOk); }

bool FirmwareUpdaterApp::onEvent(int code, void* data)
{
    if (code == UIA::kEventCommand) {
        switch (static_cast<const UIA::CommandEventData*>(data)->id) {
        case kCommandAbout:
            if (mAboutCallback)
                mAboutCallback();
            return true;
        case kCommandKnowledgeBase:
            GP::openWithShell(kKnowledgeBaseAddress);
            return true;
        case kCommandHomePage:
            GP::openWithShell(kHomePageAddress);
            return true;
        default:
            break;
        }
    } else if (code == UIA::kEventQuitRequest) {
        // Waits up to 500 ms for a download that is about to end.
        if (mDescription->isUpdateRunning()) {
            auto* request = static_cast<UIA::VetoEventData*>(data);
            const int answer = GP::showMessageBox(kQuitQuestion, GP::eButtonsYesNo, GP::eResultNo, GP::eIconQuestion);
            if (answer == GP::eResultYes)
                mDescription->stopUpdate();
            else
                request->allowed = false;
            return true;
        }
    }
    return HWL::App::onEvent(code, data);
}

}  // namespace HA
