#include "hwl/core/src/window/Window.h"

#include <utility>

#include "uia/events/Events.h"
#include "uia/window/DeviceContext.h"
#include "uia/window/WindowImpl.h"

namespace HA::HWL {

Window<UIA::StandaloneWindow>::Window() : mCanvas(std::make_unique<BackgroundDrawingCanvas>()) {}

Window<UIA::StandaloneWindow>::~Window()
{
    if (mEventTimer)
        UIA::EventTimerManager::removeTimerOf(this, std::exchange(mEventTimer, nullptr));
    mCanvas.reset();
    clearWindowValue();
    mDirtyRegion.clear();
}

bool Window<UIA::StandaloneWindow>::handleEvent(int code, void* data) { return onEvent(code, data); }

UIA::Window* Window<UIA::StandaloneWindow>::getWindow() { return this; }

bool Window<UIA::StandaloneWindow>::onEvent(int code, void* data)
{
    // The timer stops before the base asks the application to quit.
    if (code == UIA::kEventWindowDestroyed && mEventTimer)
        UIA::EventTimerManager::removeTimerOf(this, std::exchange(mEventTimer, nullptr));

    const bool result = UIA::StandaloneWindow::onEvent(code, data);

    switch (code) {
    case UIA::kEventTimerTick: {
        // Ticks come from the timer, not from the window procedure, which keeps a window
        // that deletes itself on destruction alive until its outermost call ends. A widget
        // may destroy the window during the tick: such a window is deleted here, once the
        // tick is over.
        UIA::DETAIL::WindowImpl* impl = getImpl();
        const bool deferDelete = impl && impl->getDeleteOnDestroy();
        if (deferDelete)
            impl->setDeleteOnDestroy(false);
        runTick();
        if (deferDelete) {
            if (UIA::DETAIL::WindowImpl* still = getImpl()) {
                still->setDeleteOnDestroy(true);
            } else {
                delete this;
            }
        }
        return true;
    }
    case UIA::kEventWindowCreated:
        mCanvas->setScale(getScaleFactor());
        invalidate();
        if (!mEventTimer)
            mEventTimer = UIA::EventTimerManager::addTimer(this, kTimerInterval, kTimerPriority);
        fitToClientArea();
        return true;
    case UIA::kEventSizeState:
        fitToClientArea();
        return true;
    case UIA::kEventWindowShowing:
        repaintNow();
        return true;
    case UIA::kEventPaint:
        // A layered window shows what flushDirtyRegion pushed.
        if (!isLayered() && data) {
            if (UIA::DeviceContext* dc = static_cast<UIA::PaintEventData*>(data)->dc)
                dc->blit(mCanvas->getBuffer());
        }
        return true;
    case UIA::kEventSizeLimits:
    case UIA::kEventZoomSize:
        return result;
    case UIA::kEventScaleChanged:
        if (data)
            mCanvas->setScale(static_cast<UIA::ScaleEventData*>(data)->scale);
        return result;
    default: {
        const bool handled = WindowingPane::handleEvent(code, data);
        return result || handled;
    }
    }
}

void Window<UIA::StandaloneWindow>::runTick()
{
    tickTimers();
    collectDirtyRegion(mDirtyRegion);
    // A tick without changes paints nothing and leaves the window alone.
    if (!mDirtyRegion.isEmpty()) {
        invalidateRegion(mDirtyRegion);
        flushDirtyRegion(false);
    }
}

void Window<UIA::StandaloneWindow>::fitToClientArea()
{
    const UIA::Size client = getSize(true);
    setSize(client.width, client.height);
    mCanvas->resize(getWidth(), getHeight());
    repaintNow();
}

void Window<UIA::StandaloneWindow>::flushDirtyRegion(bool force)
{
    if (getWidth() <= 0 || getHeight() <= 0)
        return;
    paint(*mCanvas, mDirtyRegion, kPaintAll);
    mDirtyRegion.clear();
    if (isLayered() && (isVisible() || force))
        updateLayered(mCanvas->getBuffer());
}

void Window<UIA::StandaloneWindow>::repaintNow()
{
    collectDirtyRegion(mDirtyRegion);
    if (!mDirtyRegion.isEmpty())
        invalidateRegion(mDirtyRegion);
    mDirtyRegion.clear();
    flushDirtyRegion(true);
}

}  // namespace HA::HWL
