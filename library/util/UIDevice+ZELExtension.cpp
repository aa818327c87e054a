#include "util/UIDevice+ZELExtension.h"

#include "runtime/Runtime.h"

#include <sys/utsname.h>

Ref<NSString> detailModel(const UIDevice*)
{
    // Linux has no "hw.machine" value; the machine field of uname names the
    // hardware the same way ("x86_64", "aarch64", ...).
    struct utsname name {};
    if (uname(&name) != 0)
        return nullptr;
    return NSString::stringWithUTF8String(name.machine);
}

namespace {

// The category UIDevice(ZELExtension), attached when the library loads.
[[maybe_unused]] const objc::Attached qx_attached_UIDevice_ZELExtension = [] {
    UIDevice::objcClass();
    return objc::attachCategory("UIDevice",
        {
            { "detailModel", objc::imp(+[](id self, SEL) -> id {
                 auto model = detailModel(objc_cast<UIDevice>(self));
                 return model ? model.leak()->autorelease() : nullptr;
             }),
                "@@:" },
        });
}();

} // namespace
