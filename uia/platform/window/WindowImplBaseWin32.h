#pragma once
// The platform window's operations: everything of the implementation table that acts on the
// platform window itself. Geometry and placement are in WindowImplBaseWin32Geometry.cpp.
// User-interface thread only.

#include "uia/window/WindowImpl.h"

namespace HA::UIA::DETAIL {

class WindowImplBaseWin32 : public WindowImpl {
public:
    explicit WindowImplBaseWin32(WindowBase* owner);
    ~WindowImplBaseWin32() override;

    bool updateLayered(const Picture& picture) override;
    bool isVisible() const override;
    void setTitle(const char* title) override;
    void setMenuBar(const HMenuBar& menuBar) override;
    void setIcon(OS::HMODULE module, int resourceId) override;
    void setCursor(OS::HANDLE cursor) override;
    void resetCursor() override;
    void show(bool visible) override;
    void raise() override;
    void destroy() override;
    void maximize() override;
    void minimize() override;
    void restore() override;
    bool isZoomed() const override;
    bool isIconic() const override;
    void invalidate() override;
    void invalidateRect(const GP::Rect& rect) override;
    void update() override;
    void setParent(Window* parent) override;
    // Geometry (WindowImplBaseWin32Geometry.cpp).
    void getRect(GP::Rect* rect, bool client) override;
    void setRect(const GP::Rect& rect, bool client) override;
    void setPosition(GP::Point point, bool client) override;
    Size getSize(bool client) override;
    void setSize(Size size, bool client) override;
    void getNormalRect(GP::Rect* rect, bool client) override;
    void setNormalRect(const GP::Rect& rect, bool client) override;
    void getPlacement(WindowPlacement* placement) override;
    void setPlacement(const WindowPlacement& placement) override;
    // ceil(monitor scale) when the application is dpiAware, else 1.
    float getScaleFactor() const override;
    void clientToScreen(GP::Point* point) override;
    void screenToClient(GP::Point* point) override;
    void setFocus() override;
    bool focusRoot() override;
    void setModified(bool modified) override;

    OS::HMENU getMenu() const { return mMenu; }
    bool isCaptured() const { return mCaptured; }
    bool getDeferErase() const { return mDeferErase; }

protected:
    // The window text for the title and the modified marker.
    void showTitle();

    OS::HANDLE mCursor = nullptr;
    OS::HMENU mMenu = nullptr;
    bool mCaptured = false;
    bool mDeferErase = false;
    bool mRaiseOnRightClick = true;
    // Icons this window loaded; freed when replaced and with the implementation.
    OS::HICON mBigIcon = nullptr;
    OS::HICON mSmallIcon = nullptr;
};

}  // namespace HA::UIA::DETAIL
