#pragma once

// How a C++ class becomes a runtime class.
//
//   class QXRow : public NSObject {
//       QX_OBJECT(QXRow, NSObject)
//   private:
//       Ref<NSString> label_;
//   };
//
//   QX_DEFINE_CLASS(QXRow)
//   {
//       b.property<&QXRow::label_>("label", objc::Copy);   // ivar, attributes, getter, setter
//       b.method<&QXRow::describeRow>("describeRow");
//       b.classMethod("row", [](Class cls) -> id { ... });
//   }
//
// The class is registered when its library loads (and on first use before
// that), under the C++ name. Methods registered here are what the runtime
// dispatches; C++ callers that must see replacements send messages.

#include "runtime/AutoreleasePool.h"
#include "runtime/NSObject.h"
#include "runtime/Runtime.h"
#include "runtime/WeakRef.h"

#include <string>
#include <type_traits>

#define QX_OBJECT(Name, Super)                                     \
public:                                                            \
    using Base = Super;                                            \
    using QxSelf = Name;                                           \
    static Class objcClass();                                      \
    static constexpr const char* objcClassName() { return #Name; } \
                                                                   \
private:                                                           \
    static void defineClass(objc::ClassBuilder<Name>& b);          \
    template<class QxT, class... QxA>                              \
    friend Ref<QxT>(::make_object)(QxA && ... args);               \
    friend class objc::ClassBuilder<Name>;

#define QX_DEFINE_CLASS(Name)                                                      \
    Class Name::objcClass()                                                        \
    {                                                                              \
        static Class cls = objc::defineClass<Name>(#Name, &Name::defineClass);    \
        return cls;                                                                \
    }                                                                              \
    namespace {                                                                    \
    [[maybe_unused]] const bool qx_registered_##Name                               \
        = objc::registerClassMaker(#Name, &Name::objcClass);                      \
    }                                                                              \
    void Name::defineClass([[maybe_unused]] objc::ClassBuilder<Name>& b)

namespace objc {

// The receiver of a registered method, checked: an implementation reached
// with an object of an unrelated class fails loudly instead of misreading it.
template<class T>
T* checkedSelf(id self, SEL sel)
{
    if (!self)
        return nullptr;
    auto* typed = typedObject<T>(self);
    if (!typed)
        throw BadMethodSignature(describeCall(sel) + " of " + T::objcClassName() + " sent to an instance of "
            + class_getName(object_getClass(self)));
    return typed;
}

// Object results leave an implementation autoreleased, so the caller may use
// them until its pool drains, and enter a Ref retained.
template<class R>
slot_t<R> resultToSlot(R&& value)
{
    using D = std::remove_cvref_t<R>;
    if constexpr (IsRef<D>::value) {
        id object = value.get();
        if (object)
            object->retain()->autorelease();
        return object;
    } else {
        return toSlot(std::forward<R>(value));
    }
}

template<auto Fn, class F = decltype(Fn)>
struct MemberImp;

template<auto Fn, class C, class R, class... A>
struct MemberImp<Fn, R (C::*)(A...)> {
    static IMP make()
    {
        return IMP::make<slot_t<R>, slot_t<A>...>([](id self, SEL sel, slot_t<A>... args) -> slot_t<R> {
            auto* object = checkedSelf<C>(self, sel);
            if constexpr (std::is_void_v<R>)
                (object->*Fn)(fromSlot<A>(args)...);
            else
                return resultToSlot((object->*Fn)(fromSlot<A>(args)...));
        });
    }
    static std::string types() { return methodEncoding<R, A...>(); }
};

template<auto Fn, class C, class R, class... A>
struct MemberImp<Fn, R (C::*)(A...) const> {
    static IMP make()
    {
        return IMP::make<slot_t<R>, slot_t<A>...>([](id self, SEL sel, slot_t<A>... args) -> slot_t<R> {
            const auto* object = checkedSelf<C>(self, sel);
            if constexpr (std::is_void_v<R>)
                (object->*Fn)(fromSlot<A>(args)...);
            else
                return resultToSlot((object->*Fn)(fromSlot<A>(args)...));
        });
    }
    static std::string types() { return methodEncoding<R, A...>(); }
};

// A function R(T* self, A...) as an implementation; T = NSObject takes any receiver.
template<class T, class R, class... A>
IMP functionImp(R (*function)(T*, A...))
{
    return IMP::make<slot_t<R>, slot_t<A>...>(std::function<slot_t<R>(id, SEL, slot_t<A>...)>(
        [function](id self, SEL sel, slot_t<A>... args) -> slot_t<R> {
            T* object = nullptr;
            if constexpr (std::is_same_v<std::remove_cv_t<T>, NSObject>)
                object = self;
            else
                object = checkedSelf<T>(self, sel);
            if constexpr (std::is_void_v<R>)
                function(object, fromSlot<A>(args)...);
            else
                return resultToSlot(function(object, fromSlot<A>(args)...));
        }));
}

// A function R(Class cls, A...) as a class method: `cls` is the class that
// received the message, a subclass included.
template<class R, class... A>
IMP classFunctionImp(R (*function)(Class, A...))
{
    return IMP::make<slot_t<R>, slot_t<A>...>(std::function<slot_t<R>(id, SEL, slot_t<A>...)>(
        [function](id self, SEL sel, slot_t<A>... args) -> slot_t<R> {
            Class cls = classFromObject(self);
            if (!cls)
                throw BadMethodSignature(describeCall(sel) + " is a class method, sent to an instance");
            if constexpr (std::is_void_v<R>)
                function(cls, fromSlot<A>(args)...);
            else
                return resultToSlot(function(cls, fromSlot<A>(args)...));
        }));
}

template<class T, class R, class... A>
std::string functionEncoding(R (*)(T*, A...))
{
    return methodEncoding<R, A...>();
}

template<class R, class... A>
std::string classFunctionEncoding(R (*)(Class, A...))
{
    return methodEncoding<R, A...>();
}

// How a property setter keeps its object.
enum PropertySemantics {
    Retain, // holds one reference ("&")
    Copy, // holds a copy; immutable values are shared ("C")
    Assign, // a scalar, or a weak link that reads nil once its object goes ("W")
    ReadOnly, // no setter ("R")
};

// The runtime's type text of a property's C++ member type.
template<class M>
struct PropertyType {
    static std::string encoding() { return encodingOf<M>(); }
};
template<class U>
struct PropertyType<Ref<U>> {
    static std::string encoding()
    {
        if constexpr (std::is_same_v<U, NSObject>)
            return "@";
        else
            return std::string("@\"") + U::objcClassName() + "\"";
    }
};
template<class U>
struct PropertyType<WeakRef<U>> : PropertyType<Ref<U>> { };

std::string propertyAttributes(std::string_view name, const std::string& type, PropertySemantics semantics, bool weak);
std::string setterName(std::string_view property);

// Makes the copy a "copy" property keeps: the object's own `copy` when it
// has one (a new reference the property adopts), else the object itself.
Ref<NSObject> copyForProperty(id value);

template<class T>
class ClassBuilder {
public:
    explicit ClassBuilder(Class cls)
        : cls_(cls)
    {
    }

    Class cls() const { return cls_; }

    // A member function of T as the method `sel`.
    template<auto Fn>
    void method(SEL sel)
    {
        using M = MemberImp<Fn>;
        class_addMethod(cls_, sel, M::make(), M::types().c_str());
    }

    // A captureless lambda taking T* first, as the method `sel`.
    template<class F>
    void method(SEL sel, F function)
    {
        auto* pointer = +function;
        class_addMethod(cls_, sel, functionImp(pointer), functionEncoding(pointer).c_str());
    }

    // A captureless lambda taking the receiving Class first, as a class method.
    template<class F>
    void classMethod(SEL sel, F function)
    {
        auto* pointer = +function;
        class_addMethod(cls_->metaclass, sel, classFunctionImp(pointer), classFunctionEncoding(pointer).c_str());
    }

    // One declaration per property: the `_name` instance variable, the
    // attribute string, the getter `name` and (unless read-only) the setter
    // `setName:`, all from the member. Object members are Ref<U> (retained
    // or copied) or WeakRef<U> (a weak link); scalars are assigned.
    template<auto Member>
    void property(std::string_view name, PropertySemantics semantics = defaultSemantics<Member>())
    {
        using M = std::remove_cvref_t<decltype(std::declval<T&>().*Member)>;
        addPropertyRecord<Member, M>(name, semantics);
        class_addMethod(cls_, SEL(name), getterImp<Member, M>(), (PropertyType<M>::encoding().substr(0, 1) + "@:").c_str());
        if (semantics != ReadOnly)
            class_addMethod(cls_, SEL(setterName(name)), setterImp<Member, M>(semantics),
                ("v@:" + PropertyType<M>::encoding().substr(0, 1)).c_str());
    }

    // A property whose setter does more than store the value: the member
    // function `Setter` is the setter.
    template<auto Member, auto Setter>
    void property(std::string_view name)
    {
        using M = std::remove_cvref_t<decltype(std::declval<T&>().*Member)>;
        addPropertyRecord<Member, M>(name, defaultSemantics<Member>());
        class_addMethod(cls_, SEL(name), getterImp<Member, M>(), (PropertyType<M>::encoding().substr(0, 1) + "@:").c_str());
        method<Setter>(SEL(setterName(name)));
    }

    // A bare property record, for a property whose accessors are methods
    // written by hand (or answered by another class).
    void property(std::string_view name, std::string_view attributes) { class_addProperty(cls_, name, attributes); }

    void ivar(std::string_view name, std::string_view type) { class_addIvar(cls_, name, type); }

    // An instance variable holding an object, readable by name.
    template<class V>
    void ivar(std::string_view name, std::string_view type, Ref<V> T::*member)
    {
        class_addIvar(cls_, name, type, [member](id object) -> id {
            auto* typed = dynamic_cast<T*>(object);
            return typed ? static_cast<id>((typed->*member).get()) : nullptr;
        });
    }

    // Whether instances can be made by name (`alloc`): T has a constructor
    // without arguments that this builder may call.
    static constexpr bool allocatable = requires { new T(); } && !std::is_abstract_v<T>;

    static NSObject* allocate(Class cls)
    {
        if constexpr (allocatable) {
            auto* object = new T();
            object->isa_ = cls;
            return object;
        } else {
            return nullptr;
        }
    }

private:
    template<auto Member>
    static constexpr PropertySemantics defaultSemantics()
    {
        using M = std::remove_cvref_t<decltype(std::declval<T&>().*Member)>;
        return IsRef<M>::value ? Retain : Assign;
    }

    template<auto Member, class M>
    void addPropertyRecord(std::string_view name, PropertySemantics semantics)
    {
        std::string ivarName = "_" + std::string(name);
        if constexpr (IsRef<M>::value || std::is_base_of_v<WeakRefBase, M>) {
            class_addIvar(cls_, ivarName, PropertyType<M>::encoding(), [](id object) -> id {
                auto* typed = dynamic_cast<T*>(object);
                return typed ? static_cast<id>((typed->*Member).get()) : nullptr;
            });
        } else {
            class_addIvar(cls_, ivarName, PropertyType<M>::encoding());
        }
        class_addProperty(cls_, name,
            propertyAttributes(name, PropertyType<M>::encoding(), semantics, std::is_base_of_v<WeakRefBase, M>));
    }

    template<auto Member, class M>
    static IMP getterImp()
    {
        if constexpr (IsRef<M>::value || std::is_base_of_v<WeakRefBase, M>) {
            return IMP::make<id>([](id self, SEL sel) -> id {
                auto* object = checkedSelf<T>(self, sel);
                return object ? static_cast<id>((object->*Member).get()) : nullptr;
            });
        } else {
            return IMP::make<M>([](id self, SEL sel) -> M {
                auto* object = checkedSelf<T>(self, sel);
                return object ? object->*Member : M {};
            });
        }
    }

    template<auto Member, class M>
    static IMP setterImp(PropertySemantics semantics)
    {
        if constexpr (IsRef<M>::value) {
            using U = std::remove_pointer_t<decltype(std::declval<M>().get())>;
            return IMP::make<void, id>([semantics](id self, SEL sel, id value) {
                auto* object = checkedSelf<T>(self, sel);
                if (!object)
                    return;
                U* typed = fromSlot<U*>(value);
                if (semantics == Copy)
                    object->*Member = Ref<U>(fromSlot<U*>(copyForProperty(typed).get()));
                else
                    object->*Member = Ref<U>(typed);
            });
        } else if constexpr (std::is_base_of_v<WeakRefBase, M>) {
            using U = std::remove_pointer_t<decltype(std::declval<M>().get())>;
            return IMP::make<void, id>([](id self, SEL sel, id value) {
                if (auto* object = checkedSelf<T>(self, sel))
                    object->*Member = fromSlot<U*>(value);
            });
        } else {
            return IMP::make<void, M>([](id self, SEL sel, M value) {
                if (auto* object = checkedSelf<T>(self, sel))
                    object->*Member = value;
            });
        }
    }

    Class cls_;
};

Class defineClassNamed(const char* name, Class superclass, const std::function<void(Class)>& define);

// Makes the class known by name when its library loads; it is defined (its
// methods and properties registered) the first time it is looked up by name
// or used, so a program pays only for the classes it touches.
bool registerClassMaker(const char* name, Class (*make)());

template<class T>
Class defineClass(const char* name, void (*define)(ClassBuilder<T>&))
{
    Class superclass = nullptr;
    if constexpr (!std::is_same_v<T, NSObject>) {
        // The class tree follows the C++ one, which casts rely on.
        static_assert(std::is_base_of_v<typename T::Base, T>, "a class's runtime superclass is its C++ base");
        superclass = T::Base::objcClass();
    }
    return defineClassNamed(name, superclass, [define](Class cls) {
        // A class whose type cannot be made without arguments makes no
        // instances by name, not instances of an ancestor under its name:
        // an instance of a class is always of that class's C++ type.
        if constexpr (ClassBuilder<T>::allocatable)
            cls->allocate = &ClassBuilder<T>::allocate;
        else
            cls->allocate = nullptr;
        ClassBuilder<T> builder(cls);
        define(builder);
    });
}

// A new, initialised instance of a class known by name, owned by the result:
// `[[cls alloc] <init>]`. Nil for a nil class.
template<class... A>
Ref<NSObject> create(Class cls, SEL init, A&&... args)
{
    if (!cls)
        return nullptr;
    auto object = Ref<NSObject>::adopt(sendClass<id>(cls, "alloc"));
    send<id>(object.get(), init, std::forward<A>(args)...);
    return object;
}

template<class T, class... A>
Ref<T> create(SEL init, A&&... args)
{
    auto object = create(T::objcClass(), init, std::forward<A>(args)...);
    return Ref<T>(fromSlot<T*>(object.get()));
}

} // namespace objc
