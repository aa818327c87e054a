#include "util/NSObject+ZELExtension.h"

#include "foundation/NSDictionary.h"
#include "foundation/NSString.h"

const char* const kZELVariableName = "kZELVariableName";
const char* const kZELVariableTypeEncoding = "kZELVariableTypeEncoding";

bool IsPropertyObjectType(Class cls, const char* name)
{
    if (!cls || !name || name[0] == '\0')
        return false;
    objc_property_t property = class_getProperty(cls, name);
    if (!property)
        return false;
    const char* attributes = property_getAttributes(property);
    // Only the first two bytes count: "T" and the "@" that opens an object type.
    return attributes && attributes[0] == 'T' && attributes[1] == '@';
}

Ref<NSMutableArray> variablesOfClass(Class cls)
{
    auto list = NSMutableArray::array();
    for (Ivar ivar : class_copyIvarList(cls)) {
        auto description = NSMutableDictionary::dictionary();
        description->setObjectForKey(NSString::stringWithFormat("%s", ivar_getName(ivar)), kZELVariableName);
        description->setObjectForKey(NSString::stringWithFormat("%s", ivar_getTypeEncoding(ivar)), kZELVariableTypeEncoding);
        list->addObject(description);
    }
    return list;
}

Ref<NSMutableArray> variables(const NSObject* object)
{
    return variablesOfClass(object_getClass(object));
}

Ref<NSMutableArray> methods(const NSObject* object)
{
    auto list = NSMutableArray::array();
    for (Method method : class_copyMethodList(object_getClass(object)))
        list->addObject(NSStringFromSelector(method_getName(method)));
    return list;
}

id instanceVariableNamed(const NSObject* object, const char* name)
{
    id value = nullptr;
    object_getInstanceVariable(const_cast<id>(object), name, &value);
    // Retained and autoreleased, so the value outlives a change of the
    // variable within the caller's pool.
    return value ? value->retain()->autorelease() : nullptr;
}

namespace {

id autoreleased(Ref<NSMutableArray> list) { return list.leak()->autorelease(); }

// The category NSObject(ZELExtension), attached when the library loads. The
// runtime has instance methods only, so `variablesOfClass:` stays the free
// function above.
[[maybe_unused]] const objc::Attached qx_attached_NSObject_ZELExtension = [] {
    NSObject::objcClass();
    return objc::attachCategory("NSObject",
        {
            { "variables", objc::imp(+[](id self, SEL) -> id { return autoreleased(variables(self)); }), "@@:" },
            { "methods", objc::imp(+[](id self, SEL) -> id { return autoreleased(methods(self)); }), "@@:" },
            { "instanceVariableNamed:", objc::imp(+[](id self, SEL, const char* name) -> id { return instanceVariableNamed(self, name); }), "@@:*" },
        });
}();

} // namespace
