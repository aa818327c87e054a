#pragma once

#include "runtime/Forward.h"
#include "runtime/Ref.h"
#include "runtime/Selector.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace objc {

// Raised when an implementation is called with a signature other than the one
// it was stored with. On the device such a call corrupts memory silently; here
// it fails at the call.
class BadMethodSignature : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Raised when a message reaches an object whose class has no method for it.
class UnrecognizedSelector : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Object arguments and results travel as `id`, whatever their static type, so
// that a method declared with NSString* and a caller holding a Ref<NSString>
// meet on the same signature.
template<class T>
struct Slot {
    using type = T;
};
template<class T>
    requires(std::is_pointer_v<T> && std::is_base_of_v<NSObject, std::remove_cv_t<std::remove_pointer_t<T>>>)
struct Slot<T> {
    using type = id;
};
template<class T>
struct Slot<Ref<T>> {
    using type = id;
};
template<class T>
using slot_t = typename Slot<std::remove_cvref_t<T>>::type;

template<class T>
slot_t<T> toSlot(T&& value)
{
    using D = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<slot_t<T>, id> && !std::is_same_v<D, id>) {
        if constexpr (std::is_pointer_v<D>)
            return const_cast<id>(static_cast<const NSObject*>(value));
        else
            return value.get();
    } else {
        return std::forward<T>(value);
    }
}

// Converts an `id` slot back to the declared parameter type of an
// implementation; an object of the wrong class arrives as nil.
template<class T>
T fromSlot(slot_t<T> value)
{
    if constexpr (std::is_same_v<slot_t<T>, id> && !std::is_same_v<T, id>)
        return dynamic_cast<T>(value);
    else
        return value;
}

std::string typeEncoding(const std::type_info& type);

// The platform's type letter for one C++ type ("v", "@", "B", "q", ...).
template<class T>
std::string encodingOf()
{
    using S = slot_t<T>;
    if constexpr (std::is_void_v<S>)
        return "v";
    else if constexpr (std::is_same_v<S, id>)
        return "@";
    else if constexpr (std::is_same_v<S, SEL>)
        return ":";
    else if constexpr (std::is_same_v<S, bool>)
        return "B";
    else if constexpr (std::is_same_v<S, char> || std::is_same_v<S, signed char>)
        return "c";
    else if constexpr (std::is_same_v<S, unsigned char>)
        return "C";
    else if constexpr (std::is_same_v<S, short>)
        return "s";
    else if constexpr (std::is_same_v<S, unsigned short>)
        return "S";
    else if constexpr (std::is_same_v<S, int>)
        return "i";
    else if constexpr (std::is_same_v<S, unsigned>)
        return "I";
    else if constexpr (std::is_same_v<S, long> || std::is_same_v<S, long long>)
        return "q";
    else if constexpr (std::is_same_v<S, unsigned long> || std::is_same_v<S, unsigned long long>)
        return "Q";
    else if constexpr (std::is_same_v<S, float>)
        return "f";
    else if constexpr (std::is_same_v<S, double>)
        return "d";
    else if constexpr (std::is_same_v<S, const char*>)
        return "*";
    else
        return "?";
}

template<class R, class... A>
std::string methodEncoding()
{
    return encodingOf<R>() + "@:" + (std::string() + ... + encodingOf<A>());
}

} // namespace objc

// An implementation: a callable stored with its exact signature
// R(id self, SEL _cmd, A...). Calling it with any other signature raises
// objc::BadMethodSignature instead of running.
class IMP {
public:
    IMP() = default;

    template<class R, class... A>
    static IMP make(std::type_identity_t<std::function<R(id, SEL, A...)>> function)
    {
        IMP imp;
        imp.signature_ = &typeid(R(id, SEL, A...));
        imp.function_ = std::make_shared<std::function<R(id, SEL, A...)>>(std::move(function));
        return imp;
    }

    template<class R, class... A>
    R call(id self, SEL cmd, A... args) const
    {
        using F = std::function<R(id, SEL, A...)>;
        if (!function_)
            throw objc::BadMethodSignature("call of an empty implementation for '" + cmd.name() + "'");
        if (*signature_ != typeid(R(id, SEL, A...)))
            throw objc::BadMethodSignature("'" + cmd.name() + "' called as " + objc::typeEncoding(typeid(R(id, SEL, A...)))
                + " but implemented as " + objc::typeEncoding(*signature_));
        return (*static_cast<const F*>(function_.get()))(self, cmd, std::forward<A>(args)...);
    }

    explicit operator bool() const { return function_ != nullptr; }
    friend bool operator==(const IMP& a, const IMP& b) { return a.function_ == b.function_; }
    const std::type_info* signature() const { return signature_; }

private:
    const std::type_info* signature_ = nullptr;
    std::shared_ptr<const void> function_;
};
