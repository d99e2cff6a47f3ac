#include "uia/window/WindowImpl.h"

#include "gp/src/common/geometry/Region.h"
#include "uia/events/Events.h"
#include "uia/window/Window.h"
#include "uia/window/WindowApplication.h"

namespace HA::UIA::DETAIL {

WindowImpl::WindowImpl(WindowBase* owner) : mOwner(owner) {}

WindowImpl::~WindowImpl() = default;

void WindowImpl::zoom()
{
    if (!isNormal())
        return;
    ZoomSizeEventData ideal;
    if (sendEvent(kEventZoomSize, &ideal, false))
        setSize(Size{ideal.width, ideal.height}, true);
}

bool WindowImpl::isZoomedToIdeal()
{
    if (!isNormal())
        return false;
    ZoomSizeEventData ideal;
    if (!sendEvent(kEventZoomSize, &ideal, false))
        return false;
    return getSize(true) == Size{ideal.width, ideal.height};
}

void WindowImpl::invalidateRegion(const GP::Region& region)
{
    // A region of one rectangle keeps no nodes: its bounds are that rectangle.
    auto it = region.beginRects(region.getBounds(), GP::Point{});
    GP::Rect rect;
    while (it.next(rect))
        invalidateRect(rect);
}

GP::Point WindowImpl::getPosition(bool client)
{
    GP::Rect rect;
    getRect(&rect, client);
    return GP::Point{rect.left, rect.top};
}

void WindowImpl::clientRectToScreen(GP::Rect* rect)
{
    GP::Point topLeft{rect->left, rect->top}, bottomRight{rect->right, rect->bottom};
    clientToScreen(&topLeft);
    clientToScreen(&bottomRight);
    *rect = GP::Rect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

bool WindowImpl::sendEvent(int code, void* data, bool bubble)
{
    bool handled = mOwner && mOwner->handleEvent(code, data);
    if (!handled && bubble)
        handled = sendToApplication(code, data);
    return handled;
}

}  // namespace HA::UIA::DETAIL
