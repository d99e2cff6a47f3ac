#pragma once
// The platform back end of a USBDeviceFactory: the device-installation walk of one
// interface class, the acceptance test of each path, and the device-notification listener.

#include <map>
#include <string>

#include "gp/src/common/devices/DeviceNotificationListener.h"
#include "hxl2/USBDeviceFactory.h"
#include "os/kernel/Types.h"

namespace HA::HXL2 {

class USBDeviceFactory::OSImpl : public GP::DeviceNotificationListener {
public:
    explicit OSImpl(USBDeviceFactory* owner);
    virtual ~OSImpl();
    OSImpl(const OSImpl&) = delete;
    OSImpl& operator=(const OSImpl&) = delete;

    bool enumerate(const USBDeviceFilter& filter, eNotifications notifications);
    // Empties the seen-path memory and stops listening.
    void clear();

    // An interface of the enumerated class arrived or left (by the walk or a notice); null
    // paths are ignored.
    void onDeviceArrived(const OS::WChar* path);
    void onDeviceRemoved(const OS::WChar* path);

    void onDeviceNotification(bool removed, const OS::DEV_BROADCAST_HDR* header) override;

private:
    bool accepts(const std::u16string& path) const;
    void unregister();

    USBDeviceFactory* mOwner;
    USBDeviceFilter mFilter;
    OS::GUID mInterfaceClass{};
    // Identities are read and compared with the filter's ids; otherwise an open test decides.
    bool mFilterByIds = false;
    bool mRegistered = false;
    // Lower-case path -> accepted.
    std::map<std::u16string, bool> mSeen;
};

}  // namespace HA::HXL2
