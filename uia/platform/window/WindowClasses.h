#pragma once
// The window procedure that the framework's five window classes (uia/window/WindowClasses.h)
// share, and the classes' names.

#include "os/windows/Window.h"
#include "uia/window/WindowClasses.h"

namespace HA::UIA {

// The window procedure of every framework window: binds the window being created to its
// implementation at its first message, turns messages into events, and deletes the
// implementation (and, with delete-on-destroy, the window object) when the outermost
// call returns after the final message.
OS::LRESULT windowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);

namespace DETAIL {

enum eWindowClass : int {
    kNormalWindowClass = 0,
    kFramelessWindowClass = 1,
    kChildWindowClass = 2,
    kOwnDcChildWindowClass = 3,
    kOverlayWindowClass = 4,
};

// The registered name of a class type (other values: the normal class).
OS::WString windowClassName(int type);

}  // namespace DETAIL
}  // namespace HA::UIA
