#include "util/NSMutableArray+ZELExt.h"

#include "runtime/Category.h"

#include "runtime/Runtime.h"

void addNonNullObject(NSMutableArray* array, id object)
{
    if (array && object)
        array->addObject(object);
}

// The category NSMutableArray(ZELExt), attached when the library loads.
QX_CATEGORY(NSMutableArray, ZELExt)
{
    c.method("addNonNullObject:", +[](NSMutableArray* self, id object) { addNonNullObject(self, object); });
}
