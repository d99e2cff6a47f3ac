#include "uia/window/WindowApplication.h"

#include <atomic>

namespace HA::UIA::DETAIL {

namespace {

std::atomic<IWindowApplication*> gApplication{nullptr};

}  // namespace

void setWindowApplication(IWindowApplication* application)
{
    gApplication.store(application);
}

bool sendToApplication(int code, void* data)
{
    IWindowApplication* app = gApplication.load();
    return app && app->sendToApplication(code, data);
}

bool dispatchToApplication(int code, void* data, Window* source)
{
    IWindowApplication* app = gApplication.load();
    return app && app->dispatchToApplication(code, data, source);
}

void setApplicationMainWindow(StandaloneWindow* window)
{
    if (IWindowApplication* app = gApplication.load())
        app->setApplicationMainWindow(window);
}

void mainWindowDestroyed(StandaloneWindow* window)
{
    if (IWindowApplication* app = gApplication.load())
        app->mainWindowDestroyed(window);
}

const HMenuBar* getApplicationMenuBar()
{
    IWindowApplication* app = gApplication.load();
    return app ? app->getApplicationMenuBar() : nullptr;
}

int findApplicationAccelerator(std::uint32_t key)
{
    IWindowApplication* app = gApplication.load();
    return app ? app->findApplicationAccelerator(key) : 0;
}

bool isApplicationDpiAware()
{
    IWindowApplication* app = gApplication.load();
    return app && app->isApplicationDpiAware();
}

void applicationSuspending()
{
    if (IWindowApplication* app = gApplication.load())
        app->applicationSuspending();
}

void applicationResuming()
{
    if (IWindowApplication* app = gApplication.load())
        app->applicationResuming();
}

}  // namespace HA::UIA::DETAIL
