#include "uia/window/Window.h"

#include <utility>

#include "uia/events/Events.h"
#include "uia/platform/window/StandaloneWindowImpl.h"
#include "uia/window/Menu.h"
#include "uia/window/WindowApplication.h"
#include "uia/window/WindowImpl.h"

namespace HA::UIA {

WindowBase::WindowBase() = default;

WindowBase::~WindowBase()
{
    if (DETAIL::WindowImpl* impl = std::exchange(mImpl, nullptr))
        impl->ownerDeleted();
}

bool WindowBase::onEvent(int, void*)
{
    return false;
}

void WindowBase::setCursor(OS::HANDLE cursor)
{
    if (mImpl)
        mImpl->setCursor(cursor);
}

void WindowBase::resetCursor()
{
    if (mImpl)
        mImpl->resetCursor();
}

bool WindowBase::isKeyboardBlocked() const
{
    return false;
}

void Window::setDeleteOnDestroy(bool value)
{
    mDeleteOnDestroy = value;
    if (getImpl())
        getImpl()->setDeleteOnDestroy(value);
}

void Window::setLayered(bool layered)
{
    mLayered = layered;
    mUsesLayeredUpdates = layered;
}

bool Window::updateLayered(const Picture& picture)
{
    return mLayered && getImpl() && getImpl()->updateLayered(picture);
}

bool Window::isVisible() const
{
    return getImpl() && getImpl()->isVisible();
}

void Window::invalidate()
{
    if (getImpl())
        getImpl()->invalidate();
}

void Window::invalidateRegion(const GP::Region& region)
{
    if (getImpl())
        getImpl()->invalidateRegion(region);
}

void Window::setVisible(bool visible)
{
    DETAIL::WindowImpl* impl = getImpl();
    if (!impl)
        return;
    if (visible && !impl->isVisible()) {
        impl->sendEvent(kEventWindowShowing, noEventData(), false);
        impl = getImpl();  // the event may have destroyed the window
        if (!impl)
            return;
    }
    impl->show(visible);
}

void Window::setIcon(OS::HMODULE module, int resourceId)
{
    if (getImpl())
        getImpl()->setIcon(module, resourceId);
}

void Window::clientToScreen(GP::Point& point)
{
    if (getImpl())
        getImpl()->clientToScreen(&point);
}

float Window::getScaleFactor() const
{
    return getImpl() ? getImpl()->getScaleFactor() : 1.0f;
}

Size Window::getSize(bool client) const
{
    return getImpl() ? getImpl()->getSize(client) : Size{};
}

bool StandaloneWindow::create(const WindowDescriptor& descriptor)
{
    if (getImpl())
        return false;
    auto* impl = new DETAIL::StandaloneWindowImpl(this);
    setImpl(impl);
    const bool frameless = (descriptor.styleFlags & WindowDescriptor::kFrameless) != 0;
    const bool fixed = (descriptor.styleFlags & WindowDescriptor::kFixedSize) != 0;
    const OS::DWORD style = frameless ? OS::WS_POPUP
                            : fixed   ? OS::DWORD(0x02CA0000)  // caption, system menu, minimise box, clip children
                                      : OS::DWORD(0x02CF0000);  // overlapped window, clip children
    if (!impl->create(descriptor, frameless ? DETAIL::kFramelessWindowClass : DETAIL::kNormalWindowClass, style, 0)) {
        // No platform window is left to delete this implementation (creation holds it busy,
        // so a window that died on the way did not).
        if (getImpl() == impl)
            setImpl(nullptr);
        delete impl;
        return false;
    }
    DETAIL::setApplicationMainWindow(this);
    if (const HMenuBar* menuBar = DETAIL::getApplicationMenuBar(); menuBar && menuBar->getHandle() && getImpl())
        getImpl()->setMenuBar(*menuBar);
    return true;
}

bool StandaloneWindow::onEvent(int code, void* data)
{
    if (code == kEventWindowDestroyed) {
        DETAIL::mainWindowDestroyed(this);
        return false;
    }
    if (code == kEventCloseRequest || (code >= 1300 && code <= 1399)) {
        // The application may destroy this window meanwhile; the implementation stays until
        // the outermost window-procedure call ends.
        DETAIL::WindowImpl* impl = getImpl();
        if (impl) {
            DETAIL::WindowImpl::BusyScope busy(*impl);
            bool handled = DETAIL::dispatchToApplication(code == kEventCloseRequest ? kEventQuitRequest : code, data, this);
            return code == kEventCloseRequest || handled;
        }
        bool handled = DETAIL::dispatchToApplication(code == kEventCloseRequest ? kEventQuitRequest : code, data, this);
        return code == kEventCloseRequest || handled;
    }
    return MainWindow::onEvent(code, data);
}

}  // namespace HA::UIA
