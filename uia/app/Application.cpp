#include "uia/app/Application.h"

#include "os/windows/Message.h"
#include "uia/app/AppModule.h"
#include "uia/app/SingleInstance.h"
#include "uia/events/Events.h"
#include "uia/platform/app/ApplicationPlatform.h"
#include "uia/transfer/DragDrop.h"
#include "uia/window/Monitor.h"
#include "uia/window/Window.h"
#include "uia/window/WindowApplication.h"
#include "uia/window/WindowImpl.h"

namespace HA::UIA {

namespace {

// Program-defined and application messages: posted floods of these keep the platform's
// timer messages from coming, so the loop runs the event timers' catch-up for them.
bool needsCatchUp(OS::UINT message) { return message >= 0x0400 && message <= 0x7FFF; }

// What windows ask of the process application, answered by the module's application.
class WindowApplication final : public DETAIL::IWindowApplication {
public:
    bool sendToApplication(int code, void* data) override
    {
        Application* app = Application::instance();
        return app && app->handleEvent(code, data);
    }
    bool dispatchToApplication(int code, void* data, Window* source) override
    {
        Application* app = Application::instance();
        return app && app->dispatchEvent(code, data, source);
    }
    void setApplicationMainWindow(StandaloneWindow* window) override
    {
        Application* app = Application::instance();
        if (app && window)
            app->setMainWindow(window, window, window->getImpl() ? window->getImpl()->getHwnd() : nullptr);
    }
    void mainWindowDestroyed(StandaloneWindow* window) override
    {
        if (Application* app = Application::instance())
            app->mainWindowDestroyed(window);
    }
    const HMenuBar* getApplicationMenuBar() override
    {
        Application* app = Application::instance();
        return app ? &app->getMenuBar() : nullptr;
    }
    int findApplicationAccelerator(std::uint32_t key) override
    {
        Application* app = Application::instance();
        return app ? app->getAccelerators().find(key) : 0;
    }
    bool isApplicationDpiAware() override
    {
        Application* app = Application::instance();
        return app && app->isDpiAware();
    }
    void applicationSuspending() override
    {
        if (Application* app = Application::instance())
            app->onSuspend();
    }
    void applicationResuming() override
    {
        if (Application* app = Application::instance())
            app->onResume();
    }
};

}  // namespace

Application::Application() : mPlatform(std::make_unique<ApplicationPlatform>(this))
{
    // Stateless and never destroyed: it finds the module's application at each call.
    static WindowApplication windowApplication;
    DETAIL::setWindowApplication(&windowApplication);
    DragDrop::setDelegate(new WindowingDragDropDelegate);
}

Application::~Application() { mPlatform.reset(); }

Application* Application::instance()
{
    AppModule* module = AppModule::instance();
    return module ? dynamic_cast<Application*>(module->getApplication()) : nullptr;
}

bool Application::handleEvent(int code, void* data) { return dispatchEvent(code, data, mMainWindowAsWindow); }

bool Application::dispatchEvent(int code, void* data, Window*) { return onEvent(code, data); }

bool Application::onEvent(int code, void* data)
{
    if (code != kEventCommand || static_cast<const CommandEventData*>(data)->id != kCommandQuit)
        return EventTarget::onEvent(code, data);
    VetoEventData request;
    onEvent(kEventQuitRequest, &request);
    if (request.allowed) {
        // The flag first: the window's destruction then ends the program without asking again.
        beginQuitting();
        if (OS::HWND hwnd = mMainWindowHandle) {
            mMainWindow = nullptr;
            mMainWindowAsWindow = nullptr;
            mMainWindowHandle = nullptr;
            OS::destroyWindow(hwnd);
        }
    }
    return true;
}

int Application::run()
{
    // A flag set before the loop must not leave it waiting for a first message.
    if (mQuitting)
        OS::postQuitMessage(0);
    OS::MSG msg;
    for (;;) {
        const int result = OS::getMessage(msg);
        if (result == 0)
            break;
        if (result > 0) {
            if (needsCatchUp(msg.message))
                EventTimerManager::catchUp();
            OS::translateMessage(msg);
            OS::dispatchMessage(msg);
        }
        if (mQuitting)
            OS::postQuitMessage(0);
    }
    return 0;
}

bool Application::initialize()
{
    ensureMonitorList();
    return true;
}

void Application::deinitialize(bool) { dropMonitorList(); }

bool Application::quit()
{
    if (!mMainWindowHandle) {
        beginQuitting();
        return true;
    }
    mPlatform->postCommandToMainWindow(kCommandQuit);
    return true;
}

void Application::postToMainThread(std::function<void()> f) { mPlatform->postToMainThread(std::move(f)); }

void Application::setEventTimerTick(int ms) { mEventTimers.setTick(ms); }

int Application::getEventTimerTick() { return mEventTimers.getTick(); }

std::uint64_t Application::startTimer(std::uint64_t delayMicroseconds, std::function<void()> f)
{
    return mPlatform->startTimer(delayMicroseconds, std::move(f));
}

void Application::stopTimer(std::uint64_t id) { mPlatform->stopTimer(id); }

void Application::setMainWindow(StandaloneWindow* window, Window* asWindow, OS::HWND hwnd)
{
    mMainWindow = window;
    mMainWindowAsWindow = asWindow;
    mMainWindowHandle = hwnd;
}

void Application::mainWindowDestroyed(StandaloneWindow* window)
{
    if (!window || window != mMainWindow)
        return;
    mMainWindow = nullptr;
    mMainWindowAsWindow = nullptr;
    mMainWindowHandle = nullptr;
    beginQuitting();
}

void Application::beginQuitting()
{
    // A second start from here on must not hand over to a program that shows nothing.
    if (!mQuitting)
        endHandOvers();
    mQuitting = true;
}

}  // namespace HA::UIA
