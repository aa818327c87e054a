#pragma once

// The runtime's names that headers only point to. The object model follows
// the platform's: every object is an NSObject, `id` is a plain non-owning
// pointer to one, and owning references are Ref<T>. Each framework above
// has a Forward.h of its own names (foundation/Forward.h, uikit/Forward.h).
class NSObject;

struct objc_class;
struct objc_method;
struct objc_property;
struct objc_ivar;

using id = NSObject*;
using Class = objc_class*;
using Method = objc_method*;
using objc_property_t = const objc_property*;
using Ivar = const objc_ivar*;

using NSInteger = long;
using NSUInteger = unsigned long;
using BOOL = bool;

template<class T>
class Ref;

namespace objc {
// `object` as a T when it is one, else nil (runtime/NSObject.h).
template<class T>
T* typedObject(const NSObject* object);
template<class T>
class ClassBuilder;
template<class T>
class WeakRef;
class WeakRefBase;
class ClassObject;
}
