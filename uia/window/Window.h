#pragma once
// Framework windows: the platform-independent window objects that receive framework
// events. Each forwards its operations to its implementation (uia/window/WindowImpl.h) and does
// nothing, or answers the stated default, while it has none: before creation and after
// its platform window is gone. User-interface thread only.

#include <cstdint>

#include "gp/src/common/geometry/Geometry.h"
#include "os/kernel/Module.h"
#include "uia/events/EventTarget.h"
#include "uia/window/WindowDescriptor.h"
#include "uia/window/WindowTypes.h"

namespace HA::GP {
class Region;
}

namespace HA::UIA {

class Picture;

namespace DETAIL {
class WindowImpl;
}

class WindowBase : public EventTarget {
public:
    WindowBase();
    // Deletes the implementation if there still is one; a platform window that still
    // exists is destroyed without reaching this object.
    ~WindowBase() override;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    bool onEvent(int code, void* data) override;
    virtual void setCursor(OS::HANDLE cursor);
    virtual void resetCursor();
    // True: key messages skip the key events and go to default processing.
    virtual bool isKeyboardBlocked() const;

    DETAIL::WindowImpl* getImpl() const { return mImpl; }
    // The implementation's side of the pair: it sets itself and clears itself when its
    // platform window is gone.
    void setImpl(DETAIL::WindowImpl* impl) { mImpl = impl; }

private:
    DETAIL::WindowImpl* mImpl = nullptr;
};

class Window : public WindowBase {
public:
    Window() = default;

    // Delete this object when its platform window is gone; copied into the implementation.
    void setDeleteOnDestroy(bool value);
    bool getDeleteOnDestroy() const { return mDeleteOnDestroy; }
    bool isLayered() const { return mLayered; }
    bool usesLayeredUpdates() const { return mUsesLayeredUpdates; }
    // Set by creation from the descriptor's layered style.
    void setLayered(bool layered);
    // Only for layered windows; false otherwise and without an implementation.
    bool updateLayered(const Picture& picture);
    bool isVisible() const;
    void invalidate();
    void invalidateRegion(const GP::Region& region);
    // Showing a hidden window sends kEventWindowShowing first.
    void setVisible(bool visible);
    void setIcon(OS::HMODULE module, int resourceId);
    void clientToScreen(GP::Point& point);
    float getScaleFactor() const;
    // (0, 0) without an implementation.
    Size getSize(bool client) const;

    Window* getParentWindow() const { return mParentWindow; }
    void setParentWindow(Window* parent) { mParentWindow = parent; }
    int getUserValue() const { return mUserValue; }
    void setUserValue(int value) { mUserValue = value; }

private:
    Window* mParentWindow = nullptr;
    bool mDeleteOnDestroy = false;
    bool mLayered = false;
    bool mUsesLayeredUpdates = false;
    int mUserValue = 0;
};

class MainWindow : public Window {};

// The top-level application window.
class StandaloneWindow : public MainWindow {
public:
    StandaloneWindow() = default;

    // Makes the implementation and the platform window (frameless: pop-up; fixed size:
    // caption, system menu and minimise box; else a resizable overlapped window), becomes
    // the application's main window and installs the application's menu bar when it holds
    // a menu. False when no platform window was made.
    bool create(const WindowDescriptor& descriptor);

    // kEventWindowDestroyed: the application learns that its main window is gone (not
    // handled); kEventCloseRequest: asks the application (kEventQuitRequest) and copies its
    // veto back (handled); kEventDragOver to 1399: to the application with this window as
    // the source.
    bool onEvent(int code, void* data) override;
};

}  // namespace HA::UIA
