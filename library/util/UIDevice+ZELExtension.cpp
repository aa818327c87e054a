#include "util/UIDevice+ZELExtension.h"

#include "runtime/Category.h"

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

// The category UIDevice(ZELExtension), attached when the library loads.
QX_CATEGORY(UIDevice, ZELExtension)
{
    c.method("detailModel", +[](UIDevice* self) { return detailModel(self); });
}
