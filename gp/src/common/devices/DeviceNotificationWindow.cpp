#include "gp/src/common/devices/DeviceNotificationWindow.h"

#include <cstdio>

#include "gp/src/common/devices/DeviceNotificationListener.h"
#include "gp/src/common/process/ApplicationIdentity.h"
#include "os/devices/DeviceNotification.h"
#include "os/windows/MessageIds.h"

namespace HA::GP {

namespace {

// Its address makes the class name unique to this copy of the library.
const int gClassTag = 0;

bool gCreated = false;
OS::WString gClassName;
OS::ATOM gAtom = 0;
OS::HWND gWindow = nullptr;
OS::HDEVNOTIFY gNotification = nullptr;

// Undoes whichever steps of the creation were done.
void tearDown()
{
    DETAIL::setDeviceNotificationWindowPresent(false);
    if (gNotification != nullptr) {
        OS::unregisterDeviceNotification(gNotification);
        gNotification = nullptr;
    }
    if (gWindow != nullptr) {
        OS::destroyWindow(gWindow);
        gWindow = nullptr;
    }
    if (gAtom != 0) {
        OS::unregisterClass(gClassName);
        gAtom = 0;
    }
    gCreated = false;
}

}  // namespace

bool createDeviceNotificationWindow()
{
    if (gCreated)
        return true;
    gClassName = DETAIL::deviceNotificationClassName();
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &deviceNotificationWndProc;
    wc.lpszClassName = gClassName;
    gAtom = OS::registerClass(wc);
    if (gAtom != 0)
        gWindow = OS::createWindow(0, gClassName, DETAIL::deviceNotificationWindowTitle(applicationFourCC()), 0, 0, 0,
                                   1, 1, nullptr, nullptr, nullptr, nullptr);
    if (gWindow != nullptr) {
        OS::DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof(filter);
        filter.dbcc_devicetype = OS::DBT_DEVTYP_DEVICEINTERFACE;
        gNotification = OS::registerDeviceNotification(
            gWindow, reinterpret_cast<const OS::DEV_BROADCAST_HDR&>(filter),
            OS::DEVICE_NOTIFY_WINDOW_HANDLE | OS::DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
    }
    if (gNotification == nullptr) {
        tearDown();
        return false;
    }
    gCreated = true;
    DETAIL::setDeviceNotificationWindowPresent(true);
    return true;
}

void destroyDeviceNotificationWindow()
{
    if (gCreated)
        tearDown();
}

bool deviceNotificationWindowExists() { return gCreated; }

OS::LRESULT deviceNotificationWndProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_DEVICECHANGE && (wParam == OS::DBT_DEVICEARRIVAL || wParam == OS::DBT_DEVICEREMOVECOMPLETE)) {
        if (const OS::DEV_BROADCAST_HDR* record = OS::deviceBroadcastOf(lParam))
            DETAIL::dispatchDeviceChange(static_cast<OS::DWORD>(wParam), *record);
    }
    return OS::defWindowProc(hwnd, message, wParam, lParam);
}

namespace DETAIL {

OS::WString deviceNotificationClassName()
{
    char address[2 * sizeof(void*) + 1];
    std::snprintf(address, sizeof(address), "%0*llX", int(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&gClassTag)));
    OS::WString name = u"HADeviceNotificationWndClass";
    for (const char* p = address; *p; ++p)
        name += static_cast<OS::WChar>(*p);
    return name;
}

OS::WString deviceNotificationWindowTitle(std::uint32_t fourCC)
{
    OS::WString title = u"HA-";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<std::uint8_t>(fourCC >> shift);
        title += byte < 0x20 ? u'?' : static_cast<OS::WChar>(byte);
    }
    return title + u"-DeviceNotificationWindow";
}

OS::HWND deviceNotificationWindow() { return gWindow; }

}  // namespace DETAIL

}  // namespace HA::GP
