#include "uia/platform/app/ApplicationPlatform.h"

#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/timers/WindowTimer.h"
#include "uia/app/Application.h"

namespace HA::UIA {

namespace {

// The hidden window's own messages beside WM_USER (the post queue): other threads ask the
// window's thread to set or kill a timer, which only that thread may do.
constexpr OS::UINT kArmTimer = OS::WM_USER + 1;
constexpr OS::UINT kKillTimer = OS::WM_USER + 2;

OS::UINT_PTR platformTimerId(std::uint64_t id) { return static_cast<OS::UINT_PTR>(id & 0xFFFFFFFFu); }

}  // namespace

const OS::WString& makeInternalWindowName()
{
    static const OS::WString name = [] {
        const std::string uuid = boost::uuids::to_string(boost::uuids::random_generator()());
        OS::WString text = u"UIA_InternalWindow_";
        for (char c : uuid)
            text += static_cast<OS::WChar>(c);
        return text;
    }();
    return name;
}

ApplicationPlatform::ApplicationPlatform(Application* application) : mApplication(application)
{
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &ApplicationPlatform::hiddenWindowProc;
    wc.cbWndExtra = 32;
    wc.hInstance = GP::getModuleHandle();
    wc.lpszClassName = makeInternalWindowName();
    OS::registerClass(wc);
    mHwnd = OS::createWindow(0, makeInternalWindowName(), makeInternalWindowName(), 0, 0, 0, 0, 0, nullptr, nullptr,
                             GP::getModuleHandle(), nullptr);
    if (mHwnd)
        OS::setWindowUserData(mHwnd, reinterpret_cast<OS::LONG_PTR>(this));
}

ApplicationPlatform::~ApplicationPlatform()
{
    {
        std::lock_guard<std::mutex> lock(mTimerMutex);
        if (mHwnd)
            for (const auto& timer : mTimers)
                OS::killTimer(mHwnd, platformTimerId(timer.first));
    }
    if (mHwnd) {
        OS::setWindowUserData(mHwnd, 0);
        OS::destroyWindow(mHwnd);
    }
    OS::unregisterClass(makeInternalWindowName());
    // Dropped without running.
    std::lock_guard<std::mutex> timerLock(mTimerMutex);
    mTimers.clear();
    std::lock_guard<std::mutex> postLock(mPostMutex);
    mPending.clear();
}

bool ApplicationPlatform::postCommandToMainWindow(int id)
{
    if (OS::HWND hwnd = mApplication->getMainWindowHandle())
        OS::postMessage(hwnd, OS::WM_COMMAND, static_cast<OS::WPARAM>(id), 0);
    return true;
}

void ApplicationPlatform::postToMainThread(std::function<void()> f)
{
    {
        std::lock_guard<std::mutex> lock(mPostMutex);
        mPending.push_back(std::move(f));
    }
    if (mHwnd)
        OS::postMessage(mHwnd, OS::WM_USER, 0, 0);
}

std::uint64_t ApplicationPlatform::startTimer(std::uint64_t delayMicroseconds, std::function<void()> f)
{
    const auto periodMs = static_cast<OS::UINT>(std::min<std::uint64_t>(delayMicroseconds / 1000, 0x7FFFFFFF));
    std::uint64_t id;
    {
        std::lock_guard<std::mutex> lock(mTimerMutex);
        id = mNextTimerId++;
        mTimers.emplace(id, std::move(f));
        if (mHwnd && onWindowThread())
            OS::setTimer(mHwnd, platformTimerId(id), periodMs);
    }
    if (mHwnd && !onWindowThread())
        OS::postMessage(mHwnd, kArmTimer, static_cast<OS::WPARAM>(id), static_cast<OS::LPARAM>(periodMs));
    return id;
}

void ApplicationPlatform::stopTimer(std::uint64_t id)
{
    if (mHwnd) {
        if (onWindowThread())
            OS::killTimer(mHwnd, platformTimerId(id));
        else
            OS::postMessage(mHwnd, kKillTimer, static_cast<OS::WPARAM>(id), 0);
    }
    std::lock_guard<std::mutex> lock(mTimerMutex);
    mTimers.erase(id);
}

std::size_t ApplicationPlatform::pendingTimers()
{
    std::lock_guard<std::mutex> lock(mTimerMutex);
    return mTimers.size();
}

bool ApplicationPlatform::onWindowThread() const { return OS::getWindowThreadId(mHwnd) == OS::currentThreadId(); }

void ApplicationPlatform::runPosted()
{
    // The batch moves out first: a nested pump in one of its functions runs only what was
    // posted after it, and a function that throws leaves nothing of its batch to rerun.
    std::vector<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(mPostMutex);
        batch.swap(mPending);
    }
    for (auto& f : batch)
        f();
}

void ApplicationPlatform::armTimer(std::uint64_t id, OS::UINT periodMs)
{
    // Stopped before the request arrived: nothing to arm.
    std::lock_guard<std::mutex> lock(mTimerMutex);
    if (mTimers.count(id))
        OS::setTimer(mHwnd, platformTimerId(id), periodMs);
}

void ApplicationPlatform::fireTimer(std::uint64_t id)
{
    std::function<void()> callback;
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(mTimerMutex);
        auto it = mTimers.find(id);
        if (it != mTimers.end()) {
            callback = std::move(it->second);
            mTimers.erase(it);
            found = true;
        }
    }
    // Outside the lock: the callback may start or stop timers.
    if (found)
        callback();
    // Also for an id no longer known: its platform timer would repeat otherwise.
    OS::killTimer(mHwnd, platformTimerId(id));
}

OS::LRESULT ApplicationPlatform::hiddenWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam,
                                                  OS::LPARAM lParam)
{
    if (message == OS::WM_NCCREATE)
        return 1;
    auto* self = reinterpret_cast<ApplicationPlatform*>(OS::getWindowUserData(hwnd));
    if (!self)
        return OS::defWindowProc(hwnd, message, wParam, lParam);
    switch (message) {
    case OS::WM_TIMER:
        self->fireTimer(static_cast<std::uint64_t>(wParam & 0xFFFFFFFFu));
        return 1;
    case OS::WM_USER:
        self->runPosted();
        return 1;
    case kArmTimer:
        self->armTimer(static_cast<std::uint64_t>(wParam), static_cast<OS::UINT>(lParam));
        return 1;
    case kKillTimer:
        OS::killTimer(hwnd, platformTimerId(static_cast<std::uint64_t>(wParam)));
        return 1;
    default:
        return OS::defWindowProc(hwnd, message, wParam, lParam);
    }
}

}  // namespace HA::UIA
