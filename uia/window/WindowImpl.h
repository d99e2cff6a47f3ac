#pragma once
// The platform half of a framework window: it owns the platform window, turns its messages
// into framework events and carries out the window's operations. The operations below are
// the whole table, in its order; this class gives the defaults, the platform classes in
// uia/platform/ the rest. User-interface thread only.

#include <cstdint>
#include <string>

#include "gp/src/common/geometry/Geometry.h"
#include "os/windows/Window.h"
#include "uia/window/WindowTypes.h"

namespace HA::GP {
class Region;
}

namespace HA::UIA {

class HMenuBar;
class Picture;
class Window;
class WindowBase;

namespace DETAIL {

class WindowImpl {
public:
    explicit WindowImpl(WindowBase* owner);
    virtual ~WindowImpl();
    WindowImpl(const WindowImpl&) = delete;
    WindowImpl& operator=(const WindowImpl&) = delete;

    // The layered window's picture; true on success (a picture without pixels included).
    virtual bool updateLayered(const Picture& picture) = 0;
    virtual bool isVisible() const = 0;
    // UTF-8; null is empty. The window shows it with "*" appended while modified.
    virtual void setTitle(const char* title) = 0;
    virtual void setMenuBar(const HMenuBar& menuBar) = 0;
    // The icon `resourceId` of the program's module at the default and at the small size (the
    // large one where the small one is missing); `module` is not consulted. Nothing when the
    // icon is missing.
    virtual void setIcon(OS::HMODULE module, int resourceId) = 0;
    virtual void setCursor(OS::HANDLE cursor) = 0;
    virtual void resetCursor() = 0;
    // Shows without activating, or hides.
    virtual void show(bool visible) = 0;
    virtual void raise() = 0;
    virtual void destroy() = 0;
    virtual void maximize() {}
    virtual void minimize() {}
    virtual void restore() {}
    // In the normal state: asks kEventZoomSize for the ideal client size and takes it.
    virtual void zoom();
    virtual bool isZoomed() const { return false; }
    virtual bool isIconic() const { return false; }
    virtual bool isNormal() const { return !isZoomed() && !isIconic(); }
    // True only in the normal state when kEventZoomSize is answered with the current client
    // size.
    virtual bool isZoomedToIdeal();
    // Invalidation never asks for erasing.
    virtual void invalidate() = 0;
    // Logical pixels; each edge scaled by the display scale and rounded.
    virtual void invalidateRect(const GP::Rect& rect) = 0;
    virtual void invalidateRegion(const GP::Region& region);
    // Paints what is invalid now.
    virtual void update() = 0;
    virtual void setParent(Window*) {}
    virtual void getRect(GP::Rect* rect, bool client) = 0;
    virtual void setRect(const GP::Rect& rect, bool client) = 0;
    virtual GP::Point getPosition(bool client);
    virtual void setPosition(GP::Point point, bool client) = 0;
    virtual Size getSize(bool client) = 0;
    virtual void setSize(Size size, bool client) = 0;
    virtual float getScaleFactor() const { return 1.0f; }
    virtual void getNormalRect(GP::Rect* rect, bool client) { getRect(rect, client); }
    virtual void setNormalRect(const GP::Rect& rect, bool client) { setRect(rect, client); }
    virtual void getPlacement(WindowPlacement* placement) = 0;
    virtual void setPlacement(const WindowPlacement& placement) = 0;
    virtual void enterFullScreen() {}
    virtual bool isFullScreen() const { return false; }
    virtual void leaveFullScreen() {}
    virtual void clientRectToScreen(GP::Rect* rect);
    virtual void clientToScreen(GP::Point* point) = 0;
    virtual void screenToClient(GP::Point* point) = 0;
    virtual void setFocus() = 0;
    virtual bool focusRoot() = 0;
    virtual void reportNonClientClicks(bool) {}
    virtual void beginInfiniteDrag() {}
    virtual void endInfiniteDrag() {}
    virtual void setSysCharAccelerators(bool) {}
    virtual void emptyHook(int) {}
    // Adds or removes the "*" after the title; nothing when unchanged.
    virtual void setModified(bool modified) = 0;
    // To the window object, then (bubble) to the application when the window did not
    // handle it; true when handled.
    virtual bool sendEvent(int code, void* data, bool bubble);
    virtual void attach(OS::HWND hwnd) { mHwnd = hwnd; }
    virtual OS::LRESULT defaultProc(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam) = 0;
    // Standalone windows: fits a visible child window to the new client width.
    virtual bool resizeChild(int) { return false; }

    WindowBase* getOwner() const { return mOwner; }
    OS::HWND getHwnd() const { return mHwnd; }
    bool getDeleteOnDestroy() const { return mDeleteOnDestroy; }
    void setDeleteOnDestroy(bool value) { mDeleteOnDestroy = value; }
    const std::string& getTitle() const { return mTitle; }
    bool isModified() const { return mModified; }
    int getBusy() const { return mBusy; }

    // Keeps the implementation alive while a call into the application may destroy the
    // window: the outermost window-procedure call deletes it.
    class BusyScope {
    public:
        explicit BusyScope(WindowImpl& impl) : mImpl(impl) { ++mImpl.mBusy; }
        ~BusyScope() { --mImpl.mBusy; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        WindowImpl& mImpl;
    };

    // The window object is being deleted and no longer hears anything. The default deletes
    // this implementation; the platform one also takes care of a window that still exists.
    virtual void ownerDeleted() { delete this; }

protected:
    WindowBase* mOwner;
    bool mDeleteOnDestroy = false;
    int mBusy = 0;
    OS::HWND mHwnd = nullptr;
    bool mDestroyed = false;
    bool mModified = false;
    std::string mTitle;
};

}  // namespace DETAIL
}  // namespace HA::UIA
