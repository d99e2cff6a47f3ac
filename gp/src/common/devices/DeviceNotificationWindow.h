#pragma once
// The library's hidden window that receives the platform's device-change broadcasts and
// hands them to the device-notification listeners. The library start-up creates it on
// the thread that starts the library, so notices arrive on that thread's message loop;
// create and destroy it on that thread.

#include <cstdint>

#include "os/windows/Window.h"

namespace HA::GP {

// Registers the window class, creates the window titled after the application FourCC and
// registers it for the notices of every device-interface class. A step that fails undoes
// the ones before it; false then.
bool createDeviceNotificationWindow();
// Unregisters the notices, destroys the window and unregisters its class; does nothing
// when the window does not exist.
void destroyDeviceNotificationWindow();
bool deviceNotificationWindowExists();

// Hands device arrivals and removals (WM_DEVICECHANGE) to the listeners; every message
// then goes to the default procedure, whose result it returns.
OS::LRESULT deviceNotificationWndProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);

namespace DETAIL {

// "HADeviceNotificationWndClass" and the address of a library-wide variable.
OS::WString deviceNotificationClassName();
// "HA-XXXX-DeviceNotificationWindow", XXXX the FourCC's characters from the most
// significant byte down, each below 0x20 shown as '?'.
OS::WString deviceNotificationWindowTitle(std::uint32_t fourCC);
// The window while it exists, else null.
OS::HWND deviceNotificationWindow();

}  // namespace DETAIL

}  // namespace HA::GP
