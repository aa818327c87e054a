#include "util/NSMutableArray+ZELExt.h"

#include "runtime/Runtime.h"

void addNonNullObject(NSMutableArray* array, id object)
{
    if (array && object)
        array->addObject(object);
}

namespace {

// The category NSMutableArray(ZELExt), attached when the library loads.
[[maybe_unused]] const objc::Attached qx_attached_NSMutableArray_ZELExt = [] {
    NSMutableArray::objcClass(); // registered before the category is attached to it
    return objc::attachCategory("NSMutableArray",
        {
            { "addNonNullObject:", objc::imp(+[](id self, SEL, id object) { addNonNullObject(objc_cast<NSMutableArray>(self), object); }), "v@:@" },
        });
}();

} // namespace
