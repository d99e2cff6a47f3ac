#include "uia/platform/window/StandaloneWindowImpl.h"

#include "os/windows/menus/Menu.h"
#include "os/windows/Message.h"
#include "uia/window/Monitor.h"
#include "uia/events/Events.h"
#include "uia/window/Window.h"
#include "uia/window/WindowImpl.h"

namespace HA::UIA::DETAIL {

OS::LRESULT StandaloneWindowImpl::defaultProc(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_SIZE && wParam != OS::SIZE_MINIMIZED && resizeChild(OS::loWord(static_cast<OS::WPARAM>(lParam))))
        return 0;
    return MainWindowImplWin32::defaultProc(message, wParam, lParam);
}

bool StandaloneWindowImpl::resizeChild(int width)
{
    WindowImpl* child = mChild ? mChild->getImpl() : nullptr;
    if (!child || !child->isVisible())
        return false;
    OS::RECT client{};
    OS::getClientRect(child->getHwnd(), client);
    OS::setWindowPos(child->getHwnd(), nullptr, 0, 0, width, client.bottom,
                     OS::SWP_NOMOVE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE);
    SizeStateEventData state;
    state.state = kSizeStateNormal;
    sendEvent(kEventSizeState, &state, false);
    return true;
}

namespace {

constexpr OS::DWORD kFullScreenStyle = OS::WS_POPUP | OS::WS_VISIBLE | OS::WS_CLIPCHILDREN;

GP::Rect fullScreenMonitor()
{
    if (monitorList().empty())
        buildMonitorList();
    const std::vector<MonitorInfo>& monitors = monitorList();
    if (monitors.empty())
        return GP::Rect{0, 0, OS::getScreenSize().cx, OS::getScreenSize().cy};
    OS::RECT r{};
    const OS::HWND foreground = OS::getForegroundWindow();
    if (monitors.size() < 2 || !foreground || !OS::getWindowRect(foreground, r))
        return monitors.front().monitor;
    const MonitorInfo under = monitorAt(GP::Point{r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2});
    return under.valid ? under.monitor : monitors.front().monitor;
}

}  // namespace

void StandaloneWindowImpl::enterFullScreen()
{
    // A second call would save the full-screen style over the window's own.
    if (mFullScreen || !mHwnd)
        return;
    getRect(&mSavedRect, true);
    mSavedStyle = OS::getWindowStyle(mHwnd);
    mSavedMenu = OS::getMenu(mHwnd);
    const GP::Rect monitor = fullScreenMonitor();
    // Restored first: restoring a maximised window afterwards would leave the monitor.
    if (!isNormal())
        OS::showWindow(mHwnd, OS::SW_RESTORE);
    OS::setWindowStyle(mHwnd, kFullScreenStyle);
    OS::setMenu(mHwnd, nullptr);
    OS::setWindowPos(mHwnd, OS::HWND_TOP, monitor.left, monitor.top, monitor.width(), monitor.height(),
                     OS::SWP_FRAMECHANGED | OS::SWP_SHOWWINDOW | (mDeferErase ? OS::SWP_DEFERERASE : 0));
    OS::showWindow(mHwnd, OS::SW_RESTORE);
    OS::setWindowPos(mHwnd, OS::HWND_TOP, 0, 0, 0, 0, OS::SWP_NOMOVE | OS::SWP_NOSIZE);
    mFullScreen = true;
}

void StandaloneWindowImpl::leaveFullScreen()
{
    if (!mFullScreen || !mHwnd)
        return;
    OS::showWindow(mHwnd, OS::SW_SHOWMINNOACTIVE);
    OS::setWindowStyle(mHwnd, mSavedStyle);
    OS::setMenu(mHwnd, mSavedMenu);
    OS::setWindowPos(mHwnd, nullptr, 0, 0, 0, 0,
                     OS::SWP_NOMOVE | OS::SWP_NOSIZE | OS::SWP_NOZORDER | OS::SWP_FRAMECHANGED);
    OS::showWindow(mHwnd, OS::SW_RESTORE);
    setRect(mSavedRect, true);
    mFullScreen = false;
}

}  // namespace HA::UIA::DETAIL
