#pragma once
// Finds the present devices that match one filter and reports each accepted one, by its
// lower-case device-interface path, to the "added" callback. It opens nothing itself; the
// callbacks do. With notifications it also reports later arrivals and removals of the
// enumerated class, on the thread of the library's device-notification window.
//
// A factory belongs to one operation on one thread: built, given callbacks, enumerated once
// or twice, cleared, destroyed. It has no lock.

#include <functional>
#include <memory>

#include "hxl2/USBDevice.h"
#include "hxl2/USBDeviceFilter.h"

namespace HA::HXL2 {

class USBDeviceFactory {
public:
    class OSImpl;

    // The accepted device's lower-case path and the factory's copy of the filter.
    using tCallback = std::function<void(const USBDeviceOSHandle&, const USBDeviceFilter&)>;

    enum eNotifications { eWithoutNotifications, eWithNotifications };

    USBDeviceFactory();
    virtual ~USBDeviceFactory();
    USBDeviceFactory(const USBDeviceFactory&) = delete;
    USBDeviceFactory& operator=(const USBDeviceFactory&) = delete;

    void setCallbacks(tCallback added, tCallback removed);

    // Walks the present interfaces of the filter's class and calls "added", on this thread
    // and before returning, for every device the filter accepts. False only when the class
    // cannot be enumerated (an unknown GUID text among them); the result is also kept in
    // lastResult(). With eWithNotifications the factory goes on listening until clear().
    bool enumerate(const USBDeviceFilter& filter, eNotifications notifications = eWithoutNotifications);

    // Forgets the devices seen and the last result, and stops listening.
    void clear();

    bool lastResult() const { return mLastResult; }

private:
    friend class OSImpl;

    std::unique_ptr<OSImpl> mImpl;
    bool mLastResult = false;
    tCallback mAdded;
    tCallback mRemoved;
};

}  // namespace HA::HXL2
