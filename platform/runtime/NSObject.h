#pragma once

#include "runtime/Forward.h"
#include "runtime/ObjectMemory.h"
#include "runtime/Ref.h"
#include "runtime/Runtime.h"

#include <atomic>
#include <string>
#include <type_traits>
#include <typeinfo>

template<class T, class... A>
Ref<T> make_object(A&&... args);

namespace objc {
NSObject* makeClassObject(Class cls);
void clearWeakReferences(NSObject* object);
}

// The root class. Every object carries its runtime class (`isa`) and a
// reference count; the last release sends `dealloc` through the runtime, so a
// replaced `dealloc` runs before the root implementation frees the object.
class NSObject {
public:
    static Class objcClass();

    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;

    Class getClass() const { return isa_; }
    bool isKindOfClass(Class cls) const;
    bool isMemberOfClass(Class cls) const;
    // Answers through the runtime, so a class may override `respondsToSelector:`.
    bool respondsToSelector(SEL sel) const;

    // The text that "%@" writes for this object.
    std::string descriptionText() const { return describe(); }
    bool isEqual(const NSObject* other) const;

    NSObject* retain();
    void release();
    NSObject* autorelease();
    int retainCount() const { return refs_.load(std::memory_order_relaxed); }
    bool isDeallocating() const { return deallocating_.load(std::memory_order_relaxed); }

    template<class R = void, class... A>
    R send(SEL sel, A&&... args) const
    {
        return objc::send<R>(this, sel, std::forward<A>(args)...);
    }

    // Every object's memory comes from the runtime's object memory.
    static void* operator new(size_t size) { return objc::allocateObject(size); }
    static void operator delete(void* block, size_t size) { objc::freeObject(block, size); }

protected:
    NSObject() = default;
    virtual ~NSObject();

    // What `description` and `isEqual:` answer for this class; the runtime
    // methods of the same names call these.
    virtual std::string describe() const;
    virtual bool equals(const NSObject* other) const { return other == this; }

private:
    static void defineClass(objc::ClassBuilder<NSObject>& b);
    template<class T, class... A>
    friend Ref<T> make_object(A&&... args);
    friend void objc_destroyInstance(NSObject* object);
    friend NSObject* objc::makeClassObject(Class cls);
    template<class T>
    friend class objc::ClassBuilder;
    friend class objc::WeakRefBase;
    friend void objc::clearWeakReferences(NSObject* object);

    std::atomic<int> refs_ { 1 };
    std::atomic<bool> deallocating_ { false };
    // Set once a weak reference has pointed here, so only such objects pay
    // for clearing them when they go.
    std::atomic<bool> weaklyReferenced_ { false };
    // Class objects live as long as their class: retain and release pass them by.
    bool immortal_ = false;
    Class isa_ = nullptr;
};

// Creates an object of class T with one reference, owned by the result.
template<class T, class... A>
Ref<T> make_object(A&&... args)
{
    auto* object = new T(std::forward<A>(args)...);
    object->isa_ = T::objcClass();
    return Ref<T>::adopt(object);
}

// The root `dealloc`: destroys and frees the object. Only ever reached through
// the runtime's `dealloc` dispatch.
void objc_destroyInstance(NSObject* object);

namespace objc {
// `object` as a T when it is one (or of a subclass), else nil: a dynamic_cast
// that first tries the common case, an object whose class is exactly T's,
// which costs one comparison instead of a walk up the type hierarchy.
//
// The runtime's class tree follows the C++ one (a class's runtime superclass
// is its C++ base; an instance of a class is made as that class's C++ type,
// or, for a class made at run time, as its nearest C++ ancestor's), so an
// object is a T exactly when its class is T's or descends from it: a walk
// up a few classes answers, without a dynamic_cast.
template<class T>
T* typedObject(const NSObject* object)
{
    if (!object)
        return nullptr;
    using Plain = std::remove_cv_t<T>;
    Class cls = object->getClass();
    Class wanted = Plain::objcClass();
    // Only a type that declares a runtime class of its own is named by it: a
    // C++ subclass that inherits its base's class shares that class's
    // instances, and only the C++ type can tell them apart.
    // (An object still being constructed has no class yet: the C++ type answers.)
    if constexpr (requires { requires std::is_same_v<typename Plain::QxSelf, Plain>; }) {
        if (cls)
            return cls == wanted || class_isSubclassOf(cls, wanted) ? const_cast<T*>(static_cast<const T*>(object)) : nullptr;
    } else if (typeid(*object) == typeid(T)) {
        return const_cast<T*>(static_cast<const T*>(object));
    }
    if (cls && !class_isSubclassOf(cls, wanted))
        return nullptr;
    return const_cast<T*>(dynamic_cast<const T*>(object));
}
} // namespace objc

// A borrowed pointer typed as T when the object is a T (or a subclass), else nil.
template<class T>
T* objc_cast(const NSObject* object)
{
    return objc::typedObject<T>(object);
}

namespace objc {

// The object that stands for a class in messages.
class ClassObject final : public NSObject {
public:
    explicit ClassObject(Class cls)
        : represented_(cls)
    {
    }
    Class represented() const { return represented_; }

protected:
    std::string describe() const override;

private:
    Class represented_;
};

} // namespace objc
