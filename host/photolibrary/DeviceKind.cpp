#include "photolibrary/DeviceKind.h"

#include "uikit/UIDevice.h"

namespace photolibrary {

bool deviceIsTablet()
{
    UIDevice* device = UIDevice::currentDevice();
    return device->respondsToSelector("userInterfaceIdiom")
        && objc::send<NSInteger>(device, "userInterfaceIdiom") == UIUserInterfaceIdiomPad;
}

} // namespace photolibrary
