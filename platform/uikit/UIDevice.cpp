#include "uikit/UIDevice.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(UIDevice)
{
    b.classMethod("currentDevice", [](Class) -> id { return UIDevice::currentDevice(); });
    b.method<&UIDevice::systemVersion>("systemVersion");
    b.method<&UIDevice::userInterfaceIdiom>("userInterfaceIdiom");
    b.method("model", [](UIDevice* self) {
        return NSString::stringWithUTF8String(self->userInterfaceIdiom() == UIUserInterfaceIdiomPad ? "iPad" : "iPhone");
    });
    // An older device has no `userInterfaceIdiom`; asking whether it answers
    // is how callers tell, so the probe must say no when it is switched off.
    b.method("respondsToSelector:", [](UIDevice* self, SEL sel) {
        if (sel == SEL("userInterfaceIdiom") && !self->answersUserInterfaceIdiom())
            return false;
        return class_respondsToSelector(self->getClass(), sel);
    });
}

UIDevice* UIDevice::currentDevice()
{
    static UIDevice* device = make_object<UIDevice>().leak();
    return device;
}

Ref<NSString> UIDevice::systemVersion() const { return NSString::stringWithUTF8String(systemVersion_); }
