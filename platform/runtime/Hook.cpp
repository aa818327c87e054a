#include "runtime/Hook.h"

namespace objc {

int replaceMethods(Class cls, std::initializer_list<MethodReplacement> table)
{
    int installed = 0;
    for (const MethodReplacement& entry : table) {
        Method method = class_getInstanceMethod(cls, entry.selector);
        if (!method)
            continue;
        // The slot is written before the replacement goes in, so the
        // replacement never finds it empty.
        entry.saved = method_getImplementation(method);
        method_setImplementation(method, entry.implementation);
        ++installed;
    }
    return installed;
}

bool addMethod(Class cls, SEL sel, IMP implementation, const char* types)
{
    return class_addMethod(cls, sel, std::move(implementation), types);
}

} // namespace objc
