#include "hxl2/USBDeviceFactory.h"

#include <utility>

#include "hxl2/platform/USBDeviceFactoryOSImpl.h"

namespace HA::HXL2 {

USBDeviceFactory::USBDeviceFactory() : mImpl(std::make_unique<OSImpl>(this)) {}

USBDeviceFactory::~USBDeviceFactory()
{
    // The back end stops listening before the callbacks it calls go away.
    mImpl->clear();
    mImpl.reset();
}

void USBDeviceFactory::setCallbacks(tCallback added, tCallback removed)
{
    mAdded = std::move(added);
    mRemoved = std::move(removed);
}

bool USBDeviceFactory::enumerate(const USBDeviceFilter& filter, eNotifications notifications)
{
    mLastResult = mImpl->enumerate(filter, notifications);
    return mLastResult;
}

void USBDeviceFactory::clear()
{
    mLastResult = false;
    mImpl->clear();
}

}  // namespace HA::HXL2
