#include "foundation/NSNull.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(NSNull) { }

NSNull* NSNull::null()
{
    static NSNull* shared = make_object<NSNull>().leak(); // lives for the whole process
    return shared;
}

std::string NSNull::describe() const { return "<null>"; }
