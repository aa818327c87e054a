#include "foundation/NSDictionary.h"
#include "foundation/NSNull.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/ClassDefinition.h"
#include "util/NSMutableArray+ZELExt.h"
#include "util/NSObject+ZELExtension.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class CHPet : public NSObject {
    QX_OBJECT(CHPet, NSObject)
public:
    static Ref<CHPet> create() { return make_object<CHPet>(); }
    id name() const { return name_.get(); }
    void setName(id name) { name_ = name; }

protected:
    CHPet() = default;

    Ref<NSObject> name_;
};

// Inherits CHPet's instance variables, properties and methods and declares none.
class CHPuppy : public CHPet {
    QX_OBJECT(CHPuppy, CHPet)
public:
    static Ref<CHPuppy> create() { return make_object<CHPuppy>(); }

protected:
    CHPuppy() = default;
};

} // namespace

QX_DEFINE_CLASS(CHPet)
{
    b.ivar("_name", "@\"NSString\"", &CHPet::name_);
    b.ivar("_age", "q");
    b.property("name", "T@\"NSString\",&,N,V_name");
    b.property("age", "Tq,N,V_age");
    b.property("vaccinated", "TB,N");
    b.property("weight", "Tf,N");
    b.property("count", "Ti,R,N");
    b.property("bare", "T@");
    b.property("handler", "T@?,C,N");
    b.property("nameless", "T");
    b.property("empty", "");
    b.property("backwards", "@T,N");
    b.method<&CHPet::name>("name");
    b.method<&CHPet::setName>("setName:");
}

QX_DEFINE_CLASS(CHPuppy) { }

namespace {

std::vector<std::string> texts(const NSArray* list)
{
    std::vector<std::string> result;
    if (!list)
        return result;
    for (const auto& item : *list)
        result.push_back(item ? item->descriptionText() : "(nil)");
    return result;
}

template<class T>
std::vector<std::string> texts(const Ref<T>& list)
{
    return texts(list.get());
}

// Each description as (name, type encoding); a description with other keys
// than the two, or another count of entries, shows as ("?", "?").
std::vector<std::pair<std::string, std::string>> descriptions(const NSArray* list)
{
    std::vector<std::pair<std::string, std::string>> result;
    if (!list)
        return result;
    for (const auto& item : *list) {
        auto* description = objc_cast<NSDictionary>(item.get());
        auto* name = description ? description->objectOfClassForKey<NSString>("kZELVariableName") : nullptr;
        auto* type = description ? description->objectOfClassForKey<NSString>("kZELVariableTypeEncoding") : nullptr;
        if (name && type && description->count() == 2)
            result.emplace_back(name->str(), type->str());
        else
            result.emplace_back("?", "?");
    }
    return result;
}

TEST(AddNonNullObject, AppendsEveryObjectButNil)
{
    AutoreleasePool pool;
    // The free function and the category method behave alike.
    using Append = void (*)(NSMutableArray*, id);
    const std::pair<const char*, Append> ways[] = {
        { "function", &addNonNullObject },
        { "message", [](NSMutableArray* array, id object) { objc::send<void>(array, "addNonNullObject:", object); } },
    };
    for (const auto& [way, append] : ways) {
        SCOPED_TRACE(way);
        auto array = NSMutableArray::array();
        auto first = "first"_ns;
        append(array, nullptr);
        EXPECT_EQ(array->count(), 0U);
        append(array, first);
        append(array, NSNull::null());
        append(array, first); // a duplicate is appended again
        append(array, nullptr);
        ASSERT_EQ(array->count(), 3U);
        EXPECT_EQ(array->objectAtIndex(0), first.get());
        EXPECT_EQ(array->objectAtIndex(1), NSNull::null());
        EXPECT_EQ(array->objectAtIndex(2), first.get());
    }
}

TEST(IsPropertyObjectType, LooksOnlyAtTheFirstTwoBytesOfTheAttributes)
{
    struct Row {
        Class cls;
        const char* name;
        bool expected;
    };
    const Row rows[] = {
        { nullptr, "name", false },
        { CHPet::objcClass(), "", false },
        { CHPet::objcClass(), nullptr, false },
        { CHPet::objcClass(), "undeclared", false },
        { CHPet::objcClass(), "age", false },
        { CHPet::objcClass(), "vaccinated", false },
        { CHPet::objcClass(), "weight", false },
        { CHPet::objcClass(), "count", false },
        { CHPet::objcClass(), "nameless", false },
        { CHPet::objcClass(), "empty", false },
        { CHPet::objcClass(), "backwards", false },
        { CHPet::objcClass(), "name", true },
        { CHPet::objcClass(), "bare", true },
        { CHPet::objcClass(), "handler", true },
        { CHPuppy::objcClass(), "name", true }, // declared by the superclass
        { CHPuppy::objcClass(), "age", false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(class_getName(row.cls)) + "." + (row.name ? row.name : "(null)"));
        EXPECT_EQ(IsPropertyObjectType(row.cls, row.name), row.expected);
    }
}

TEST(ExportedSymbols, AreFoundByTheirPlainNamesInTheBuiltLibrary)
{
    void* library = dlopen(QUORIX_LIBRARY_FILE, RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();

    using PropertyTest = bool (*)(Class, const char*);
    auto test = reinterpret_cast<PropertyTest>(dlsym(library, "IsPropertyObjectType"));
    ASSERT_NE(test, nullptr) << dlerror();
    EXPECT_FALSE(test(nullptr, "name"));
    EXPECT_TRUE(test(CHPet::objcClass(), "name"));

    const auto* constant = static_cast<const char* const*>(dlsym(library, "kZELVariableTypeEncoding"));
    ASSERT_NE(constant, nullptr) << dlerror();
    EXPECT_STREQ(*constant, "kZELVariableTypeEncoding");
    dlclose(library);
}

TEST(VariableDescriptions, AreKeyedByConstantsNamedAfterThemselves)
{
    EXPECT_STREQ(kZELVariableName, "kZELVariableName");
    EXPECT_STREQ(kZELVariableTypeEncoding, "kZELVariableTypeEncoding");
}

TEST(VariableDescriptions, ListTheClassesOwnVariablesInOrder)
{
    AutoreleasePool pool;
    const std::vector<std::pair<std::string, std::string>> expected { { "_name", "@\"NSString\"" }, { "_age", "q" } };
    EXPECT_EQ(descriptions(variablesOfClass(CHPet::objcClass()).get()), expected);
    // The same through the object's method.
    EXPECT_EQ(descriptions(objc::send<NSMutableArray*>(CHPet::create(), "variables")), expected);
}

TEST(VariableDescriptions, LeaveOutInheritedVariables)
{
    AutoreleasePool pool;
    auto puppy = CHPuppy::create();
    EXPECT_EQ(variables(puppy)->count(), 0U);
    auto* viaMessage = objc::send<NSMutableArray*>(puppy, "variables");
    ASSERT_NE(viaMessage, nullptr);
    EXPECT_EQ(viaMessage->count(), 0U);
    EXPECT_EQ(variablesOfClass(nullptr)->count(), 0U);
}

TEST(MethodNames, AreTheClassesOwnMethodsWithCategoryMethods)
{
    AutoreleasePool pool;
    EXPECT_EQ(texts(methods(CHPet::create().get())), (std::vector<std::string> { "name", "setName:" }));
    EXPECT_TRUE(methods(CHPuppy::create().get())->count() == 0);
    EXPECT_EQ(texts(objc::send<NSMutableArray*>(CHPet::create(), "methods")), (std::vector<std::string> { "name", "setName:" }));
    EXPECT_EQ(objc::send<NSMutableArray*>(CHPuppy::create(), "methods")->count(), 0U);

    // Methods attached by the library's categories count as the class's own.
    auto arrayMethods = texts(methods(NSMutableArray::array().get()));
    EXPECT_NE(std::find(arrayMethods.begin(), arrayMethods.end(), "addNonNullObject:"), arrayMethods.end());
    EXPECT_NE(std::find(arrayMethods.begin(), arrayMethods.end(), "addObject:"), arrayMethods.end());
    EXPECT_EQ(std::find(arrayMethods.begin(), arrayMethods.end(), "count"), arrayMethods.end()); // NSArray's
}

TEST(InstanceVariableNamed, ReturnsTheHeldObjectAliveForThePool)
{
    AutoreleasePool pool;
    auto pet = CHPet::create();
    pet->setName("Rex"_ns.get());
    id name = instanceVariableNamed(pet, "_name");
    ASSERT_NE(name, nullptr);
    pet->setName(nullptr); // the pet lets go; the pool still holds the value
    EXPECT_EQ(name->descriptionText(), "Rex");

    pet->setName("Fido"_ns.get());
    id viaMessage = objc::send<id>(pet, "instanceVariableNamed:", static_cast<const char*>("_name"));
    ASSERT_NE(viaMessage, nullptr);
    EXPECT_EQ(viaMessage->descriptionText(), "Fido");
}

TEST(InstanceVariableNamed, GivesNilForEmptyScalarAndUnknownVariables)
{
    AutoreleasePool pool;
    auto pet = CHPet::create();
    EXPECT_EQ(instanceVariableNamed(pet, "_name"), nullptr);
    pet->setName("Rex"_ns.get());
    EXPECT_EQ(instanceVariableNamed(pet, "_age"), nullptr);
    EXPECT_EQ(instanceVariableNamed(pet, "_tail"), nullptr);
    EXPECT_EQ(instanceVariableNamed(pet, nullptr), nullptr);
    EXPECT_EQ(instanceVariableNamed(nullptr, "_name"), nullptr);
    EXPECT_EQ(instanceVariableNamed(CHPuppy::create().get(), "_tail"), nullptr);
}

} // namespace
