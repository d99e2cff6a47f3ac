#include "uia/window/WindowApplication.h"

#include "uia/app/Application.h"
#include "uia/window/Window.h"
#include "uia/window/WindowImpl.h"

namespace HA::UIA::DETAIL {

bool sendToApplication(int code, void* data)
{
    Application* app = Application::instance();
    return app && app->handleEvent(code, data);
}

bool dispatchToApplication(int code, void* data, Window* source)
{
    Application* app = Application::instance();
    return app && app->dispatchEvent(code, data, source);
}

void setApplicationMainWindow(StandaloneWindow* window)
{
    Application* app = Application::instance();
    if (app && window)
        app->setMainWindow(window, window, window->getImpl() ? window->getImpl()->getHwnd() : nullptr);
}

void mainWindowDestroyed(StandaloneWindow* window)
{
    if (Application* app = Application::instance())
        app->mainWindowDestroyed(window);
}

const HMenuBar* getApplicationMenuBar()
{
    Application* app = Application::instance();
    return app ? &app->getMenuBar() : nullptr;
}

int findApplicationAccelerator(std::uint32_t key)
{
    Application* app = Application::instance();
    return app ? app->getAccelerators().find(key) : 0;
}

bool isApplicationDpiAware()
{
    Application* app = Application::instance();
    return app && app->isDpiAware();
}

void applicationSuspending()
{
    if (Application* app = Application::instance())
        app->onSuspend();
}

void applicationResuming()
{
    if (Application* app = Application::instance())
        app->onResume();
}

}  // namespace HA::UIA::DETAIL
