#pragma once
// A framework window on the platform: creation, the message dispatch and the messages the
// window handles itself. Other parts plug in here:
// - input (keys, mouse, cursors, infinite drag): dispatchInputMessage and the cursor and
//   drag operations, in WindowImplWin32Input.cpp;
// - menus and system commands: dispatchMenuMessage, in WindowImplWin32Menus.cpp;
// - drops and the drag image: createDropTarget, releaseDropTarget and showDragImage, in
//   WindowImplWin32Drop.cpp;
// - geometry and placement: WindowImplBaseWin32Geometry.cpp.
// User-interface thread only.

#include <memory>
#include <optional>

#include "uia/platform/window/WindowImplBaseWin32.h"
#include "uia/window/DeviceContext.h"

namespace HA::UIA {

struct WindowDescriptor;

namespace DETAIL {

class DropTargetImplWin32;

class WindowImplWin32 : public WindowImplBaseWin32 {
public:
    explicit WindowImplWin32(WindowBase* owner);
    // Deletes the device context and the background brush. A platform window that still
    // exists is destroyed; its last messages go to default processing.
    ~WindowImplWin32() override;

    // Makes the platform window for the descriptor with the class type (0 to 4), style and
    // extended style. False when another window is being created, the parent is gone or
    // the platform refused.
    bool create(const WindowDescriptor& descriptor, int type, OS::DWORD style, OS::DWORD exStyle);

    void reportNonClientClicks(bool report) override { mReportNonClientClicks = report; }
    void beginInfiniteDrag() override;
    void endInfiniteDrag() override;
    void setCursor(OS::HANDLE cursor) override;
    void resetCursor() override;
    void setSysCharAccelerators(bool on) override { mSysCharAccelerators = on; }
    void attach(OS::HWND hwnd) override;
    OS::LRESULT defaultProc(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam) override;
    void ownerDeleted() override;

    // One platform message as framework events; default processing for the rest.
    OS::LRESULT dispatchMessage(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);

    // The shared window procedure's work (see UIA::windowProc).
    static OS::LRESULT windowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);
    // The implementation whose window is being created, or null.
    static WindowImplWin32* beingCreated() { return sCreating; }

    // The accelerator table's command for a key (a function key, or with Control held):
    // 30301 zooms a normal window, other positive commands go out as kEventCommand
    // (bubbling). True when that event was handled.
    bool runAccelerator(int key);
    // For the key path: only with host kind 1. When the accelerator's event was handled,
    // clears the pending key and answers 0.
    std::optional<OS::LRESULT> acceleratorLookUp(int& pendingKey);
    // A popup menu about to open (kEventMenuPopupShowing, else kEventMenuItemShowing per
    // plain item); nullopt: default processing.
    std::optional<OS::LRESULT> onMenuPopup(OS::HMENU popup);

    DeviceContext* getDeviceContext() const { return mDc.get(); }
    OS::HBRUSH getBackgroundBrush() const { return mBrush; }

protected:
    // The messages of the framework's own rows; nullopt: not one of them.
    std::optional<OS::LRESULT> dispatchWindowMessage(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);
    // Keys, mouse and cursor (WindowImplWin32Input.cpp).
    std::optional<OS::LRESULT> dispatchInputMessage(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);
    // Input parts (WindowImplWin32Input.cpp).
    bool sendKeyDown(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);
    void checkModifiers();
    OS::LRESULT onChar(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);
    OS::LRESULT onMouseMove(OS::LPARAM lParam);
    OS::LRESULT onMouseButton(OS::UINT message, OS::LPARAM lParam, int button, int kind);
    OS::LRESULT onRawInput(OS::WPARAM wParam, OS::LPARAM lParam);
    // Menus and system commands (WindowImplWin32Menus.cpp).
    std::optional<OS::LRESULT> dispatchMenuMessage(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);
    // Drops (WindowImplWin32Drop.cpp).
    void createDropTarget();
    void releaseDropTarget();
    void showDragImage(bool show);

    // Painting (WindowImplWin32Paint.cpp).
    OS::LRESULT onPaint();
    OS::LRESULT onEraseBackground(OS::HDC hdc);

    OS::LRESULT onClose();
    OS::LRESULT onSizeLimits(OS::MINMAXINFO* info);
    // The control messages go to the child control they name.
    OS::LRESULT toChildControl(OS::HWND child, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);
    // The platform's outer size of a window whose client area has that size.
    Size outerSizeFor(int clientWidth, int clientHeight) const;

    std::unique_ptr<DeviceContext> mDc;
    OS::HBRUSH mBrush = nullptr;
    OS::WNDPROC mDefaultProc = nullptr;
    int mFixedWidth = -1;
    int mFixedHeight = -1;
    int mLastX = 0;
    int mLastY = 0;
    bool mMouseInside = false;
    std::unique_ptr<DropTargetImplWin32> mDropTarget;
    int mPendingAccelKey = 0;
    std::uint32_t mLastModifiers = 0;
    int mWrapX = 0;
    int mWrapY = 0;
    bool mReportNonClientClicks = false;
    bool mSysCharAccelerators = false;
    // The first half of a character beyond the basic plane, until its second half comes.
    char16_t mHighSurrogate = 0;

private:
    static inline WindowImplWin32* sCreating = nullptr;
};

}  // namespace DETAIL
}  // namespace HA::UIA
