#include "util/DeviceIdiom.h"

#include <optional>

namespace {

// The idiom, or nothing for a device without the question.
std::optional<NSInteger> idiom()
{
    UIDevice* device = QXCurrentDevice();
    if (!device || !device->respondsToSelector("userInterfaceIdiom"))
        return std::nullopt;
    return objc::send<NSInteger>(device, "userInterfaceIdiom");
}

} // namespace

UIDevice* QXCurrentDevice() { return objc::sendClass<UIDevice*>(UIDevice::objcClass(), "currentDevice"); }

bool QXDeviceIsPhone()
{
    auto answer = idiom();
    return !answer || *answer == UIUserInterfaceIdiomPhone;
}

bool QXDeviceIsPad()
{
    auto answer = idiom();
    return answer && *answer == UIUserInterfaceIdiomPad;
}
