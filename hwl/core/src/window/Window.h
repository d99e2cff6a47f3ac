#pragma once
// The top-level window of a widget application: a framework window that is at once the pane
// of its widget tree and the owner of the off-screen canvas the tree paints into.
//
// One event timer of one framework tick (priority -10) drives the tree: each tick runs the
// widget timers, the update passes and the collection of the dirty area, paints that area
// into the canvas and either invalidates it in the window (which copies the canvas when it
// paints) or, for a layered window, pushes the canvas to the screen. Creating, resizing and
// showing the window repaint the whole pane at once. User-interface thread only.
//
// Both bases know resetCursor and setCursor: callers on this type name the one they mean
// (UIA::StandaloneWindow:: or WindowingPane::).

#include <memory>

#include "gp/src/common/geometry/Region.h"
#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/window/WindowingPane.h"
#include "uia/events/EventTimerManager.h"
#include "uia/window/Window.h"

namespace HA::HWL {

template <class TWindow>
class Window;

template <>
class Window<UIA::StandaloneWindow> : public UIA::StandaloneWindow, public WindowingPane {
public:
    // The window's platform part comes with create(); until then nothing is shown or timed.
    Window();
    // Stops the timer, drops the canvas, clears the pane value and the dirty region; then
    // the pane and the framework window go, in that order.
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The framework window's events: kEventWindowDestroyed stops the timer before the base
    // hears it; kEventTimerTick ticks the tree; kEventWindowCreated starts the timer and, like
    // kEventSizeState, sizes the pane and the canvas to the client area and repaints
    // everything; kEventWindowShowing repaints everything; kEventPaint copies the canvas (not
    // for a layered window); kEventScaleChanged rescales the canvas; mouse, key and drag
    // events go to the pane.
    bool onEvent(int code, void* data) override;
    // Events given to the pane take the window's road (both bases' entry point).
    bool handleEvent(int code, void* data) override;
    // This window.
    UIA::Window* getWindow() override;

    // Paints the dirty region into the canvas (the whole root when it is empty) and empties
    // it; a layered window then pushes the canvas when it is visible or `force` is set.
    // Nothing while the pane has no area.
    void flushDirtyRegion(bool force);
    // Collects (and invalidates) what changed, then repaints the whole root.
    void repaintNow();

    BackgroundDrawingCanvas& getCanvas() { return *mCanvas; }
    // Null while no timer runs.
    UIA::EventTimerHandle getEventTimer() const { return mEventTimer; }
    const GP::Region& getDirtyRegion() const { return mDirtyRegion; }

    // One framework tick, at priority -10.
    static constexpr int kTimerInterval = 0;
    static constexpr int kTimerPriority = -10;

private:
    void fitToClientArea();
    void runTick();

    UIA::EventTimerHandle mEventTimer = nullptr;
    std::unique_ptr<BackgroundDrawingCanvas> mCanvas;
    GP::Region mDirtyRegion;
};

}  // namespace HA::HWL
