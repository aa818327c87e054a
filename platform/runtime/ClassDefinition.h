#pragma once

// How a C++ class becomes a runtime class.
//
//   class QXRow : public NSObject {
//       QX_OBJECT(QXRow, NSObject)
//   public:
//       Ref<NSString> label() const;
//   };
//
//   QX_DEFINE_CLASS(QXRow)
//   {
//       b.property("label", "T@\"NSString\",C,N,V_label");
//       b.method<&QXRow::label>("label");
//   }
//
// The class is registered when its library loads (and on first use before
// that), under the C++ name. Methods registered here are what the runtime
// dispatches; C++ callers that must see replacements send messages.

#include "runtime/AutoreleasePool.h"
#include "runtime/NSObject.h"
#include "runtime/Runtime.h"

#include <string>
#include <tuple>
#include <type_traits>

#define QX_OBJECT(Name, Super)                      \
public:                                             \
    using Base = Super;                             \
    static Class objcClass();                       \
                                                    \
private:                                            \
    static void defineClass(objc::ClassBuilder<Name>& b); \
    template<class QxT, class... QxA>               \
    friend Ref<QxT>(::make_object)(QxA && ... args); \
    friend class objc::ClassBuilder<Name>;

#define QX_DEFINE_CLASS(Name)                                                      \
    Class Name::objcClass()                                                        \
    {                                                                              \
        static Class cls = objc::defineClass<Name>(#Name, &Name::defineClass);    \
        return cls;                                                                \
    }                                                                              \
    namespace {                                                                    \
    [[maybe_unused]] const Class qx_registered_##Name = Name::objcClass();        \
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
    auto* typed = dynamic_cast<T*>(self);
    if (!typed)
        throw BadMethodSignature("'" + sel.name() + "' of " + T::objcClass()->name + " sent to an object of another class");
    return typed;
}

// Object results leave an implementation autoreleased, so the caller may use
// them until its pool drains, and enter a Ref retained.
template<class R>
slot_t<R> resultToSlot(R&& value)
{
    using D = std::remove_cvref_t<R>;
    if constexpr (std::is_same_v<slot_t<D>, id> && !std::is_pointer_v<D>) {
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
    using Self = C;
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
    using Self = C;
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

template<class T, class R, class... A>
IMP functionImp(R (*function)(T*, A...))
{
    // The function pointer travels in the closure; captureless lambdas decay to it.
    return IMP::make<slot_t<R>, slot_t<A>...>(std::function<slot_t<R>(id, SEL, slot_t<A>...)>(
        [function](id self, SEL sel, slot_t<A>... args) -> slot_t<R> {
            auto* object = checkedSelf<T>(self, sel);
            if constexpr (std::is_void_v<R>)
                function(object, fromSlot<A>(args)...);
            else
                return resultToSlot(function(object, fromSlot<A>(args)...));
        }));
}

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
        addFunction(sel, +function);
    }

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

private:
    template<class R, class... A>
    void addFunction(SEL sel, R (*function)(T*, A...))
    {
        class_addMethod(cls_, sel, functionImp<T, R, A...>(function), methodEncoding<R, A...>().c_str());
    }

    Class cls_;
};

Class defineClassNamed(const char* name, Class superclass, const std::function<void(Class)>& define);

template<class T>
Class defineClass(const char* name, void (*define)(ClassBuilder<T>&))
{
    Class superclass = nullptr;
    if constexpr (!std::is_same_v<T, NSObject>)
        superclass = T::Base::objcClass();
    return defineClassNamed(name, superclass, [define](Class cls) {
        ClassBuilder<T> builder(cls);
        define(builder);
    });
}

} // namespace objc
