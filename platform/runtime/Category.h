#pragma once

// A category: methods a library adds to a class it knows by name only.
//
//   QX_CATEGORY(PLPhotoTileViewController, ZELExt)
//   {
//       c.method("_zel_stampSettingsChanged:", &stampSettingsChanged); // void(NSObject* self, id note)
//       c.classMethod("variablesOfClass:", &variablesOf);               // id(Class cls, Class target)
//   }
//
// Type encodings come from the C++ signatures. The methods are attached when
// the library loads, or, when the class is not registered yet, the moment it
// registers, whatever the order in which libraries load.

#include "runtime/ClassDefinition.h"

#include <string>
#include <vector>

namespace objc {

class CategoryBuilder {
public:
    // A function R(T* self, A...); T = NSObject takes any receiver.
    template<class T, class R, class... A>
    CategoryBuilder& method(SEL sel, R (*function)(T*, A...))
    {
        methods_.push_back({ sel, functionImp(function), methodEncoding<R, A...>() });
        return *this;
    }

    template<class R, class... A>
    CategoryBuilder& classMethod(SEL sel, R (*function)(Class, A...))
    {
        classMethods_.push_back({ sel, classFunctionImp(function), methodEncoding<R, A...>() });
        return *this;
    }

    Attached attach(std::string_view className) const { return attachCategory(className, methods_, classMethods_); }

private:
    std::vector<CategoryMethod> methods_;
    std::vector<CategoryMethod> classMethods_;
};

inline Attached registerCategory(std::string_view className, void (*define)(CategoryBuilder&))
{
    CategoryBuilder builder;
    define(builder);
    return builder.attach(className);
}

} // namespace objc

#define QX_CATEGORY(ClassName, CategoryName)                                                                   \
    static void qx_category_##ClassName##_##CategoryName(objc::CategoryBuilder& c);                            \
    namespace {                                                                                                \
    [[maybe_unused]] const objc::Attached qx_attached_##ClassName##_##CategoryName                             \
        = objc::registerCategory(#ClassName, &qx_category_##ClassName##_##CategoryName);                       \
    }                                                                                                          \
    static void qx_category_##ClassName##_##CategoryName([[maybe_unused]] objc::CategoryBuilder& c)
