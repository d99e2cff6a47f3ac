#include "uia/platform/transfer/DropTargetImplWin32.h"
#include "uia/platform/window/WindowImplWin32.h"

namespace HA::UIA::DETAIL {

void WindowImplWin32::createDropTarget()
{
    if (mDropTarget || !getHwnd())
        return;
    auto target = std::make_unique<DropTargetImplWin32>(this);
    // A window the platform will not register stays a window without drops.
    if (target->registerWindow())
        mDropTarget = std::move(target);
}

void WindowImplWin32::releaseDropTarget()
{
    mDropTarget.reset();
}

void WindowImplWin32::showDragImage(bool show)
{
    if (mDropTarget)
        mDropTarget->showDragImage(show);
}

}  // namespace HA::UIA::DETAIL
