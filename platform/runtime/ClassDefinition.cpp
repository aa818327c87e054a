#include "runtime/ClassDefinition.h"

#include <cctype>

namespace objc {

std::string propertyAttributes(std::string_view name, const std::string& type, PropertySemantics semantics, bool weak)
{
    std::string attributes = "T" + type;
    switch (semantics) {
    case Retain:
        attributes += ",&";
        break;
    case Copy:
        attributes += ",C";
        break;
    case ReadOnly:
        attributes += ",R";
        break;
    case Assign:
        if (weak)
            attributes += ",W";
        break;
    }
    attributes += ",N,V_";
    attributes += name;
    return attributes;
}

std::string setterName(std::string_view property)
{
    std::string name = "set" + std::string(property) + ":";
    name[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[3])));
    return name;
}

Ref<NSObject> copyForProperty(id value)
{
    static const SEL copy("copy");
    if (value && value->respondsToSelector(copy))
        return Ref<NSObject>::adopt(send<id>(value, copy));
    return value;
}

} // namespace objc
