#pragma once

// printf-style formatting with the platform's "%@" for objects. Never reads
// the process locale (the decimal separator is always the full stop), and
// never misreads an argument: a conversion whose argument is missing or of
// another kind is written out as it stands in the format.

#include "foundation/NumberText.h"
#include "runtime/Forward.h"
#include "runtime/Ref.h"
#include "runtime/Value.h"

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace foundation {

struct FormatArg {
    enum class Kind { Object, Signed, Unsigned, Double, CString };
    Kind kind = Kind::Signed;
    const NSObject* object = nullptr;
    long long integer = 0;
    unsigned long long uinteger = 0;
    double real = 0;
    const char* text = nullptr;
};

template<class T>
FormatArg formatArg(const T& value)
{
    FormatArg arg;
    using D = std::remove_cvref_t<T>;
    if constexpr (std::is_pointer_v<D> && std::is_base_of_v<NSObject, std::remove_cv_t<std::remove_pointer_t<D>>>) {
        arg.kind = FormatArg::Kind::Object;
        arg.object = value;
    } else if constexpr (objc::IsRef<D>::value) {
        arg.kind = FormatArg::Kind::Object;
        arg.object = value.get();
    } else if constexpr (std::is_same_v<D, std::nullptr_t>) {
        arg.kind = FormatArg::Kind::Object;
    } else if constexpr (std::is_same_v<D, bool>) {
        arg.integer = value ? 1 : 0;
    } else if constexpr (std::is_floating_point_v<D>) {
        arg.kind = FormatArg::Kind::Double;
        arg.real = static_cast<double>(value);
    } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
        arg.integer = value;
    } else if constexpr (std::is_integral_v<D>) {
        arg.kind = FormatArg::Kind::Unsigned;
        arg.uinteger = value;
    } else if constexpr (std::is_convertible_v<D, const char*>) {
        arg.kind = FormatArg::Kind::CString;
        arg.text = value;
    } else if constexpr (std::is_same_v<D, std::string>) {
        arg.kind = FormatArg::Kind::CString;
        arg.text = value.c_str();
    } else {
        static_assert(sizeof(T) == 0, "no format conversion for this type");
    }
    return arg;
}

std::string formatString(std::string_view format, std::span<const FormatArg> args);

template<class... A>
std::string format(std::string_view fmt, const A&... args)
{
    if constexpr (sizeof...(A) == 0) {
        return formatString(fmt, {});
    } else {
        const FormatArg list[] = { formatArg(args)... };
        return formatString(fmt, list);
    }
}

// What "%@" writes for `object`: its description, "(null)" for nil.
std::string objectText(const NSObject* object);

} // namespace foundation
