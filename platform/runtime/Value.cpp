#include "runtime/Value.h"

#include "runtime/NSObject.h"
#include "runtime/Runtime.h"

#include <cxxabi.h>
#include <cstdlib>
#include <memory>

namespace objc {

std::string typeName(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && demangled ? demangled.get() : type.name();
}

std::string Value::kindName() const
{
    switch (data_.index()) {
    case 0:
        return "nothing";
    case 1:
        return "an integer";
    case 2:
        return "a floating-point number";
    case 3: {
        id object = std::get<id>(data_);
        return object ? std::string("an instance of ") + class_getName(object_getClass(object)) : "nil";
    }
    case 4:
        return "a selector";
    case 5:
        return "a C string";
    default:
        return "a value of type " + typeName(std::get<std::any>(data_).type());
    }
}

void throwWrongClass(id object, const char* expected, const std::string& what)
{
    // `expected` is the mangled name of the C++ class; demangle it for people.
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(expected, nullptr, nullptr, &status), &std::free);
    throw BadMethodSignature(what + ": expected an instance of " + (status == 0 && demangled ? demangled.get() : expected)
        + ", got an instance of " + class_getName(object_getClass(object)));
}

} // namespace objc
