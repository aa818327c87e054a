#pragma once

#include "runtime/Forward.h"
#include "runtime/Ref.h"
#include "runtime/Selector.h"
#include "runtime/Value.h"

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace objc {

// Object arguments and results travel as `id`, whatever their static type, so
// that a method declared with NSString* and a caller holding a Ref<NSString>
// meet on the same signature.
template<class T>
struct Slot {
    using type = T;
};
template<ObjectPointer T>
struct Slot<T> {
    using type = id;
};
template<class T>
struct Slot<Ref<T>> {
    using type = id;
};
template<>
struct Slot<std::nullptr_t> {
    using type = id;
};
template<class T>
using slot_t = typename Slot<std::remove_cvref_t<T>>::type;

template<class T>
slot_t<T> toSlot(T&& value)
{
    using D = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<D, std::nullptr_t>)
        return nullptr;
    else if constexpr (std::is_same_v<slot_t<T>, id> && !std::is_same_v<D, id>) {
        if constexpr (std::is_pointer_v<D>)
            return const_cast<id>(static_cast<const NSObject*>(value));
        else
            return value.get();
    } else {
        return std::forward<T>(value);
    }
}

// Converts an `id` slot back to the declared type of a parameter or result;
// an object of the wrong class fails loudly (never turns silently into nil).
template<class T>
T fromSlot(slot_t<T> value)
{
    if constexpr (ObjectPointer<T> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<T>>, NSObject>) {
        return value;
    } else if constexpr (ObjectPointer<T>) {
        // The common result, an object of a class, checked without a Value.
        using Element = std::remove_pointer_t<T>;
        if (!value)
            return nullptr;
        if (auto* typed = typedObject<Element>(value))
            return typed;
        throwWrongClass(value, typeid(Element).name(), "object");
    } else if constexpr (std::is_same_v<slot_t<T>, id> && !std::is_same_v<T, id>) {
        return Value::from(value).template to<T>("object");
    } else {
        return value;
    }
}

// The platform's type letter for one C++ type ("v", "@", "B", "q", ...).
template<class T>
constexpr char encodingLetter()
{
    using S = slot_t<T>;
    if constexpr (std::is_void_v<S>)
        return 'v';
    else if constexpr (std::is_same_v<S, id>)
        return '@';
    else if constexpr (std::is_same_v<S, SEL>)
        return ':';
    else if constexpr (std::is_same_v<S, bool>)
        return 'B';
    else if constexpr (std::is_same_v<S, char> || std::is_same_v<S, signed char>)
        return 'c';
    else if constexpr (std::is_same_v<S, unsigned char>)
        return 'C';
    else if constexpr (std::is_same_v<S, short>)
        return 's';
    else if constexpr (std::is_same_v<S, unsigned short>)
        return 'S';
    else if constexpr (std::is_same_v<S, int>)
        return 'i';
    else if constexpr (std::is_same_v<S, unsigned>)
        return 'I';
    else if constexpr (std::is_same_v<S, long> || std::is_same_v<S, long long> || std::is_enum_v<S>)
        return 'q';
    else if constexpr (std::is_same_v<S, unsigned long> || std::is_same_v<S, unsigned long long>)
        return 'Q';
    else if constexpr (std::is_same_v<S, float>)
        return 'f';
    else if constexpr (std::is_same_v<S, double>)
        return 'd';
    else if constexpr (std::is_same_v<S, const char*>)
        return '*';
    else
        return '?';
}

template<class T>
std::string encodingOf()
{
    return std::string(1, encodingLetter<T>());
}

// The type text of a method: result, self, _cmd, then each argument.
template<class R, class... A>
std::string methodEncoding()
{
    static constexpr char text[] = { encodingLetter<R>(), '@', ':', encodingLetter<A>()..., '\0' };
    return text;
}

std::string describeCall(SEL cmd);

} // namespace objc

// An implementation: a callable stored with its exact signature
// R(id self, SEL _cmd, A...). A call with that signature goes straight
// through; any other call is bridged argument by argument through
// objc::Value, and raises objc::BadMethodSignature where no conversion fits
// (a wrong argument count, an object of the wrong class, a number where an
// object is wanted).
class IMP {
public:
    using Dynamic = std::function<objc::Value(id, SEL, std::span<const objc::Value>)>;

    IMP() = default;

    template<class R, class... A>
    static IMP make(std::type_identity_t<std::function<R(id, SEL, A...)>> function)
    {
        using Typed = std::function<R(id, SEL, A...)>;
        // Both callables live in one block, which the two pointers share.
        struct Both {
            Typed typed;
            Dynamic dynamic;
        };
        auto both = std::make_shared<Both>();
        both->typed = std::move(function);
        const Typed* typed = &both->typed;
        both->dynamic = [typed](id self, SEL cmd, std::span<const objc::Value> args) -> objc::Value {
            if (args.size() != sizeof...(A))
                throw objc::BadMethodSignature(objc::describeCall(cmd) + ": called with " + std::to_string(args.size())
                    + " arguments, takes " + std::to_string(sizeof...(A)));
            return invokeWith<R, A...>(*typed, self, cmd, args, std::index_sequence_for<A...>());
        };
        IMP imp;
        imp.signature_ = &typeid(R(id, SEL, A...));
        imp.dynamic_ = std::shared_ptr<const Dynamic>(both, &both->dynamic);
        imp.function_ = std::shared_ptr<const void>(both, typed);
        return imp;
    }

    template<class R, class... A>
    R call(id self, SEL cmd, A... args) const
    {
        using F = std::function<R(id, SEL, A...)>;
        if (!function_)
            throw objc::BadMethodSignature("call of an empty implementation for " + objc::describeCall(cmd));
        if (*signature_ == typeid(R(id, SEL, A...)))
            return (*static_cast<const F*>(function_.get()))(self, cmd, std::forward<A>(args)...);
        std::array<objc::Value, sizeof...(A)> values { objc::Value::from(std::forward<A>(args))... };
        objc::Value result = (*dynamic_)(self, cmd, std::span<const objc::Value>(values.data(), values.size()));
        if constexpr (!std::is_void_v<R>)
            return result.to<R>(objc::describeCall(cmd) + " result");
    }

    objc::Value callDynamic(id self, SEL cmd, std::span<const objc::Value> args) const
    {
        if (!dynamic_)
            throw objc::BadMethodSignature("call of an empty implementation for " + objc::describeCall(cmd));
        return (*dynamic_)(self, cmd, args);
    }

    explicit operator bool() const { return function_ != nullptr; }
    friend bool operator==(const IMP& a, const IMP& b) { return a.function_ == b.function_; }
    const std::type_info* signature() const { return signature_; }

private:
    template<class R, class... A, size_t... I>
    static objc::Value invokeWith(const std::function<R(id, SEL, A...)>& function, id self, SEL cmd,
        std::span<const objc::Value> args, std::index_sequence<I...>)
    {
        const std::string what = objc::describeCall(cmd);
        if constexpr (std::is_void_v<R>) {
            function(self, cmd, args[I].template to<A>(what + " argument " + std::to_string(I + 1))...);
            return {};
        } else {
            return objc::Value::from(function(self, cmd, args[I].template to<A>(what + " argument " + std::to_string(I + 1))...));
        }
    }

    const std::type_info* signature_ = nullptr;
    std::shared_ptr<const void> function_;
    std::shared_ptr<const Dynamic> dynamic_;
};
