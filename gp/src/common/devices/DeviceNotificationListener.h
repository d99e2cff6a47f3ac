#pragma once
// Receivers of the device-notification window's notices (device interfaces, other devices
// and drive volumes arriving or being removed), and the list they register in. Notices
// are delivered on the thread that started the library (the user-interface thread).

#include "os/devices/DeviceBroadcast.h"

namespace HA::GP {

// Every operation has an empty default; a listener overrides what it wants. The list does
// not own listeners: a listener removes itself before it goes away.
class DeviceNotificationListener {
public:
    // A device that is not a volume arrived or was removed.
    virtual void onDeviceChange(bool removed);
    // A device interface arrived or was removed; the record is a
    // DEV_BROADCAST_DEVICEINTERFACE_W that lives for the call.
    virtual void onDeviceNotification(bool removed, const OS::DEV_BROADCAST_HDR* header);
    // A volume arrived or was removed, once per drive letter ('A' to 'Z' and beyond).
    virtual void onVolumeChange(bool removed, const char* letter);

protected:
    ~DeviceNotificationListener() = default;
};

// The library's own listener: hands volume notices to the volume list.
class DeviceNotificationHelper : public DeviceNotificationListener {
public:
    void onVolumeChange(bool removed, const char* letter) override;
};

// Appends the listener (twice when added twice) while the device-notification window
// exists; otherwise does nothing. Any thread; waits while a notice is being delivered on
// another thread. A listener may call it from inside its own call.
void addDeviceNotificationListener(DeviceNotificationListener* listener);
// Removes the first entry equal to the listener while the window exists.
void removeDeviceNotificationListener(DeviceNotificationListener* listener);

namespace DETAIL {

// Set by the window's creation and destruction.
void setDeviceNotificationWindowPresent(bool present);
bool deviceNotificationWindowPresent();
// Delivers one arrival or removal broadcast to the listeners. A listener that adds or
// removes listeners (itself or others) during its call makes no other listener miss the
// notice or get it twice; added ones count from the next notice.
void dispatchDeviceChange(OS::DWORD event, const OS::DEV_BROADCAST_HDR& record);
// The library's own listener.
DeviceNotificationHelper& deviceNotificationHelper();

}  // namespace DETAIL

}  // namespace HA::GP
