#pragma once
// The implementation of the top-level application window: a child window kept at the
// client width, and the state kept while full screen. User-interface thread only.

#include "gp/src/common/geometry/Geometry.h"
#include "uia/platform/window/WindowClasses.h"
#include "uia/platform/window/WindowImplWin32.h"

namespace HA::UIA::DETAIL {

class MainWindowImplWin32 : public WindowImplWin32 {
public:
    using WindowImplWin32::WindowImplWin32;
};

class StandaloneWindowImpl : public MainWindowImplWin32 {
public:
    using MainWindowImplWin32::MainWindowImplWin32;

    // A resize that is not a minimise first fits the child to the new client width.
    OS::LRESULT defaultProc(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam) override;
    // Only with a visible child: sizes it to (width, its client height) and sends
    // kEventSizeState.
    bool resizeChild(int width) override;
    bool isFullScreen() const override { return mFullScreen; }
    // Over the whole monitor (under the foreground window's centre when there are several)
    // as a pop-up without menu; leaving puts style, menu and client rectangle back. Entering
    // twice, or leaving when not full screen, does nothing.
    void enterFullScreen() override;
    void leaveFullScreen() override;

    void setChild(Window* child) { mChild = child; }

protected:
    Window* mChild = nullptr;
    OS::HMENU mSavedMenu = nullptr;
    OS::DWORD mSavedStyle = 0;
    bool mFullScreen = false;
    GP::Rect mSavedRect;
};

}  // namespace HA::UIA::DETAIL
