#include "util/NSObject+ZELExtension.h"

#include "foundation/NSDictionary.h"
#include "foundation/NSString.h"
#include "runtime/Category.h"

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

// The category NSObject(ZELExtension), attached when the library loads.
// `variablesOfClass:` is a class method: its argument is a class object
// (`[Foo class]`).
QX_CATEGORY(NSObject, ZELExtension)
{
    c.method("variables", +[](NSObject* self) { return variables(self); });
    c.method("methods", +[](NSObject* self) { return methods(self); });
    c.method("instanceVariableNamed:", +[](NSObject* self, const char* name) { return instanceVariableNamed(self, name); });
    c.classMethod("variablesOfClass:", +[](Class, id target) { return variablesOfClass(objc::classFromObject(target)); });
}
