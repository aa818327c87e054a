#pragma once

// The object runtime: classes registered by name, method tables that can be
// read, replaced and extended at run time, properties and instance variables
// that can be listed, and message sending through those tables.

#include "runtime/Forward.h"
#include "runtime/Imp.h"
#include "runtime/Selector.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace objc {
class MethodCache;
}

struct objc_method {
    SEL name;
    std::string types;
    IMP imp;
};

struct objc_property {
    std::string name;
    std::string attributes;
};

struct objc_ivar {
    std::string name;
    std::string type;
    // Reads the variable of an object when it holds an object; empty for scalars.
    std::function<id(id)> objectValue;
};

struct objc_class {
    objc_class() = default;
    objc_class(const objc_class&) = delete;
    objc_class& operator=(const objc_class&) = delete;
    ~objc_class();

    std::string name;
    Class superclass = nullptr;
    // The metaclass holds the class methods; its superclass is the
    // superclass's metaclass, and the root's is the root class itself, so
    // a class object also answers the root's instance methods.
    Class metaclass = nullptr;
    bool isMetaclass = false;
    // The object that stands for the class in messages (`self` of a class
    // method); its class is the metaclass. Nil for a metaclass.
    NSObject* classObject = nullptr;
    // Makes an uninitialised instance whose class is the argument; set for
    // classes with a C++ type that can be made without arguments, inherited
    // by classes made at run time.
    NSObject* (*allocate)(Class) = nullptr;
    // Own methods, in the order they were added; a deque keeps their
    // addresses and makes room for several at a time. It is made with the
    // first method: an empty deque already holds memory, and most
    // metaclasses have no methods of their own.
    std::optional<std::deque<objc_method>> methods;
    std::vector<objc_method*> methodsByName; // the same, sorted by selector
    // Methods this class answers (its own or inherited) as found by
    // class_getInstanceMethod (runtime/MethodCache.h); made on first use.
    std::atomic<objc::MethodCache*> methodCache { nullptr };
    // The generation of the method tables in which this class was last found
    // to answer `dealloc` with the root class's own implementation (0: never).
    std::atomic<uint64_t> rootDeallocGeneration { 0 };
    std::vector<std::unique_ptr<objc_property>> properties;
    std::vector<std::unique_ptr<objc_ivar>> ivars;
};

// Classes.
Class objc_getClass(std::string_view name);
Class NSClassFromString(std::string_view name);
const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
bool class_isSubclassOf(Class cls, Class ancestor);

// Defines a class (and its metaclass); nothing when the name is taken.
// Registration makes it visible to objc_getClass and attaches the categories
// that were waiting for it.
Class objc_allocateClassPair(Class superclass, std::string_view name);
void objc_registerClassPair(Class cls);

// Methods. class_getInstanceMethod also finds inherited methods;
// class_addMethod fails when the class itself already has the selector.
Method class_getInstanceMethod(Class cls, SEL sel);
bool class_respondsToSelector(Class cls, SEL sel);
IMP class_getMethodImplementation(Class cls, SEL sel);
bool class_addMethod(Class cls, SEL sel, IMP imp, const char* types);
IMP class_replaceMethod(Class cls, SEL sel, IMP imp, const char* types);
IMP method_getImplementation(Method method);
IMP method_setImplementation(Method method, IMP imp);
SEL method_getName(Method method);
const char* method_getTypeEncoding(Method method);
std::vector<Method> class_copyMethodList(Class cls);

// Properties and instance variables.
bool class_addProperty(Class cls, std::string_view name, std::string_view attributes);
objc_property_t class_getProperty(Class cls, const char* name);
const char* property_getName(objc_property_t property);
const char* property_getAttributes(objc_property_t property);
std::vector<objc_property_t> class_copyPropertyList(Class cls);
bool class_addIvar(Class cls, std::string_view name, std::string_view type, std::function<id(id)> objectValue = {});
std::vector<Ivar> class_copyIvarList(Class cls);
const char* ivar_getName(Ivar ivar);
const char* ivar_getTypeEncoding(Ivar ivar);
Ivar class_getInstanceVariable(Class cls, const char* name);
// Stores the object held by the named variable in *value (nil for a scalar
// variable or an unknown name) and returns the variable.
Ivar object_getInstanceVariable(id object, const char* name, id* value);

Class object_getClass(const NSObject* object);
Class objc_getMetaClass(std::string_view name);
bool class_isMetaClass(Class cls);
// Class methods live in the metaclass.
Method class_getClassMethod(Class cls, SEL sel);

namespace objc {

// Category methods attached to an existing class: they take the place of any
// method of the same name the class itself has, as a category does.
struct CategoryMethod {
    SEL name;
    IMP imp;
    std::string types;
};
// Attaches instance and class methods to the named class now, or, when no
// such class is registered yet, as soon as it registers: the result says
// which. Whatever order libraries load in, a category reaches its class.
enum class Attached {
    Now,
    WhenRegistered,
};
Attached attachCategory(std::string_view className, const std::vector<CategoryMethod>& methods,
    const std::vector<CategoryMethod>& classMethods = {});

// The object that receives class messages for `cls`, and back.
id classObject(Class cls);
Class classFromObject(const NSObject* object);

// A new instance of `cls` with one reference owned by the caller, made by
// the nearest allocator up the class chain, or nil for a class without one.
// This is what `alloc` does.
NSObject* allocateInstance(Class cls);

[[noreturn]] void throwUnrecognized(id receiver, SEL sel);

// Makes every class look its methods up afresh; adding a method or
// replacing an implementation calls it.
void forgetLookups();

// Whether an instance of `cls` answers `dealloc` with `rootDealloc`, the root
// class's own implementation; remembered per class until a method table changes.
bool deallocatesAtRoot(Class cls, const IMP& rootDealloc);

// Wraps a free function or lambda R(id self, SEL, A...) as an implementation.
template<class R, class... A>
IMP imp(R (*function)(id, SEL, A...))
{
    return IMP::make<R, A...>(std::function<R(id, SEL, A...)>(function));
}

// Sends a message: looks the selector up in the receiver's class and its
// ancestors and calls the implementation. A class object as receiver finds
// class methods. A message to nil does nothing and
// returns a zero value, as on the device.
template<class R = void, class... A>
R send(const NSObject* receiver, SEL sel, A&&... args);

// A message to an object held by a Ref, a temporary one included: it lives
// until the message returns.
template<class R = void, class T, class... A>
R send(const Ref<T>& receiver, SEL sel, A&&... args)
{
    return send<R>(static_cast<const NSObject*>(receiver.get()), sel, std::forward<A>(args)...);
}

template<class R, class... A>
R send(const NSObject* receiver, SEL sel, A&&... args)
{
    if (!receiver) {
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R {};
    }
    auto* self = const_cast<NSObject*>(receiver);
    Method method = class_getInstanceMethod(object_getClass(self), sel);
    if (!method)
        throwUnrecognized(self, sel);
    // Not a copy: a replaced implementation is kept (method_setImplementation),
    // so a replacement during the call is safe.
    const IMP& implementation = method->imp;
    if constexpr (std::is_void_v<R>)
        implementation.template call<void, slot_t<A>...>(self, sel, toSlot(std::forward<A>(args))...);
    else
        return fromSlot<R>(implementation.template call<slot_t<R>, slot_t<A>...>(self, sel, toSlot(std::forward<A>(args))...));
}

// `[super sel]` from a method of class `Self`: the implementation that
// Self's superclass answers, found through the runtime so that a
// replacement installed there is seen.
template<class R = void, class Self, class... A>
R sendSuper(const Self* receiver, SEL sel, A&&... args)
{
    if (!receiver)
        return R();
    auto* self = const_cast<NSObject*>(static_cast<const NSObject*>(receiver));
    Method method = class_getInstanceMethod(class_getSuperclass(Self::objcClass()), sel);
    if (!method)
        throwUnrecognized(self, sel);
    const IMP& implementation = method->imp;
    if constexpr (std::is_void_v<R>)
        implementation.template call<void, slot_t<A>...>(self, sel, toSlot(std::forward<A>(args))...);
    else
        return fromSlot<R>(implementation.template call<slot_t<R>, slot_t<A>...>(self, sel, toSlot(std::forward<A>(args))...));
}

// Sends a class message: `[cls sel]`.
template<class R = void, class... A>
R sendClass(Class cls, SEL sel, A&&... args)
{
    return send<R>(classObject(cls), sel, std::forward<A>(args)...);
}

// Calls a saved implementation, as a replacement does to reach the one it replaced.
template<class R = void, class... A>
R callImp(const IMP& implementation, id self, SEL sel, A&&... args)
{
    if constexpr (std::is_void_v<R>)
        implementation.template call<void, slot_t<A>...>(self, sel, toSlot(std::forward<A>(args))...);
    else
        return fromSlot<R>(implementation.template call<slot_t<R>, slot_t<A>...>(self, sel, toSlot(std::forward<A>(args))...));
}

} // namespace objc
