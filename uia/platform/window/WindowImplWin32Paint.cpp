#include "uia/platform/window/WindowImplWin32.h"

#include "os/windows/drawing/Drawing.h"
#include "os/windows/Message.h"
#include "uia/events/Events.h"
#include "uia/window/Monitor.h"

namespace HA::UIA::DETAIL {

OS::LRESULT WindowImplWin32::onPaint()
{
    showDragImage(false);
    OS::PAINTSTRUCT paint{};
    OS::HDC hdc = OS::beginPaint(mHwnd, paint);
    bool handled = false;
    if (mDc) {
        mDc->setHdc(hdc);
        mDc->setOrigin(0, 0);
        mDc->setPaint(&paint);
        mDc->setScaleFactor(getScaleFactor());
        mDc->setMonitorScale(getDisplayScale(mHwnd));
        PaintEventData data;
        data.dc = mDc.get();
        handled = sendEvent(kEventPaint, &data, false);
    }
    // The window may have gone during the event, and its device context with it.
    if (mDc) {
        mDc->setHdc(nullptr);
        mDc->setPaint(nullptr);
    }
    OS::endPaint(mHwnd, paint);
    if (!handled && mHwnd)
        defaultProc(OS::WM_PAINT, 0, 0);
    showDragImage(true);
    return 0;
}

OS::LRESULT WindowImplWin32::onEraseBackground(OS::HDC hdc)
{
    if (mBrush) {
        OS::RECT box{};
        if (OS::getClipBox(hdc, box) != OS::REGION_ERROR)
            OS::fillRect(hdc, box, mBrush);
    }
    // Answered in every case: the default erase would only flicker.
    return 1;
}

}  // namespace HA::UIA::DETAIL
