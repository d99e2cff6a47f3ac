#include "uia/platform/ApplicationPlatform.h"

#include "os/windows/Message.h"
#include "uia/Application.h"

namespace HA::UIA {

ApplicationPlatform::ApplicationPlatform(Application* application) : mApplication(application) {}

ApplicationPlatform::~ApplicationPlatform() = default;

bool ApplicationPlatform::postCommandToMainWindow(int id)
{
    if (OS::HWND hwnd = mApplication->getMainWindowHandle())
        OS::postMessage(hwnd, OS::WM_COMMAND, static_cast<OS::WPARAM>(id), 0);
    return true;
}

// FIXME: the hidden window that runs posted functions and one-shot timers.
void ApplicationPlatform::postToMainThread(std::function<void()>) {}

std::uint64_t ApplicationPlatform::startTimer(std::uint64_t, std::function<void()>) { return 0; }

void ApplicationPlatform::stopTimer(std::uint64_t) {}

}  // namespace HA::UIA
