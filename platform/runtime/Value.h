#pragma once

#include "runtime/Forward.h"
#include "runtime/Ref.h"
#include "runtime/Selector.h"

#include <any>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <variant>

namespace objc {

// Raised when an implementation is called with arguments it cannot take: a
// signature other than the one it was stored with that no conversion below
// bridges, or an object of the wrong class for a typed parameter. On the
// device such a call corrupts memory silently; here it fails at the call.
class BadMethodSignature : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Raised when a message reaches an object whose class has no method for it.
class UnrecognizedSelector : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

std::string typeName(const std::type_info& type);

template<class T>
concept ObjectPointer = std::is_pointer_v<T> && std::is_base_of_v<NSObject, std::remove_cv_t<std::remove_pointer_t<T>>>;

template<class T>
struct IsRef : std::false_type { };
template<class T>
struct IsRef<Ref<T>> : std::true_type {
    using element = T;
};

// One argument or result of a message, with its C++ type erased to the kinds
// the platform's calling convention knows: integers (every integral type,
// booleans and enumerations), floating-point numbers, objects, selectors,
// C strings, and any other value type (a geometry struct) carried as is.
//
// A call whose argument types differ from the implementation's travels
// through Values, so an integer literal reaches a boolean parameter, a nil
// reaches any object parameter, and a hook passes an argument on without
// knowing its C++ type.
class Value {
public:
    Value() = default;

    template<class T>
    static Value from(T&& value)
    {
        using D = std::remove_cvref_t<T>;
        Value v;
        if constexpr (std::is_same_v<D, Value>)
            return value;
        else if constexpr (std::is_same_v<D, std::nullptr_t>)
            v.data_ = static_cast<id>(nullptr);
        else if constexpr (std::is_same_v<D, bool> || std::is_integral_v<D> || std::is_enum_v<D>)
            v.data_ = static_cast<long long>(value);
        else if constexpr (std::is_floating_point_v<D>)
            v.data_ = static_cast<double>(value);
        else if constexpr (ObjectPointer<D>)
            v.data_ = const_cast<id>(static_cast<const NSObject*>(value));
        else if constexpr (IsRef<D>::value)
            v.data_ = static_cast<id>(value.get());
        else if constexpr (std::is_same_v<D, SEL>)
            v.data_ = value;
        else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>)
            v.data_ = static_cast<const char*>(value);
        else
            v.data_ = std::any(D(std::forward<T>(value)));
        return v;
    }

    // Converts to the C++ type T, or raises BadMethodSignature naming `what`.
    template<class T>
    T to(const std::string& what) const
    {
        using D = std::remove_cvref_t<T>;
        if constexpr (std::is_void_v<D>) {
            return;
        } else if constexpr (std::is_same_v<D, Value>) {
            return *this;
        } else if constexpr (std::is_same_v<D, bool> || std::is_integral_v<D> || std::is_enum_v<D>) {
            if (auto* integer = std::get_if<long long>(&data_))
                return static_cast<D>(*integer);
        } else if constexpr (std::is_floating_point_v<D>) {
            if (auto* real = std::get_if<double>(&data_))
                return static_cast<D>(*real);
            if (auto* integer = std::get_if<long long>(&data_))
                return static_cast<D>(*integer);
        } else if constexpr (std::is_same_v<D, id>) {
            if (auto* object = std::get_if<id>(&data_))
                return *object;
        } else if constexpr (ObjectPointer<D>) {
            if (auto* object = std::get_if<id>(&data_))
                return castObject<std::remove_pointer_t<D>>(*object, what);
        } else if constexpr (IsRef<D>::value) {
            // An owning result: the caller keeps its own reference.
            if (auto* object = std::get_if<id>(&data_))
                return D(castObject<typename IsRef<D>::element>(*object, what));
        } else if constexpr (std::is_same_v<D, SEL>) {
            if (auto* sel = std::get_if<SEL>(&data_))
                return *sel;
            if (isNilObject())
                return SEL();
        } else if constexpr (std::is_same_v<D, const char*>) {
            if (auto* text = std::get_if<const char*>(&data_))
                return *text;
            if (isNilObject())
                return nullptr;
        } else {
            if (auto* other = std::get_if<std::any>(&data_)) {
                if (auto* typed = std::any_cast<D>(other))
                    return *typed;
            }
        }
        throw BadMethodSignature(what + ": cannot pass " + kindName() + " as " + typeName(typeid(D)));
    }

    bool isEmpty() const { return std::holds_alternative<std::monostate>(data_); }
    bool isNilObject() const
    {
        auto* object = std::get_if<id>(&data_);
        return object && !*object;
    }
    std::string kindName() const;

private:
    template<class T>
    static T* castObject(id object, const std::string& what);

    std::variant<std::monostate, long long, double, id, SEL, const char*, std::any> data_;
};

// An object typed as T when it is a T; a non-nil object of another class is
// a programming error that fails loudly.
[[noreturn]] void throwWrongClass(id object, const char* expected, const std::string& what);

template<class T>
T* Value::castObject(id object, const std::string& what)
{
    if (!object)
        return nullptr;
    if (auto* typed = typedObject<T>(object))
        return typed;
    throwWrongClass(object, typeid(T).name(), what);
}

} // namespace objc
