#include "runtime/Runtime.h"

#include "runtime/MethodCache.h"
#include "runtime/NSObject.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

struct PendingCategory {
    std::vector<objc::CategoryMethod> methods;
    std::vector<objc::CategoryMethod> classMethods;
};

struct ClassRegistry {
    std::recursive_mutex lock;
    std::map<std::string, Class, std::less<>> registered;
    std::vector<std::unique_ptr<objc_class>> all;
    std::multimap<std::string, PendingCategory, std::less<>> pendingCategories;
    // Classes known by name but not defined yet, with what defines them.
    std::map<std::string_view, Class (*)(), std::less<>> makers;
};

ClassRegistry& registry()
{
    // Never destroyed: objects released during process exit still dispatch `dealloc`.
    static auto* instance = new ClassRegistry;
    return *instance;
}

// Where a method for `sel` is, or belongs, in the class's sorted list.
std::vector<objc_method*>::iterator methodPlace(Class cls, SEL sel)
{
    return std::lower_bound(cls->methodsByName.begin(), cls->methodsByName.end(), sel.key(),
        [](const objc_method* method, const std::string* key) { return std::less<>()(method->name.key(), key); });
}

objc_method* ownMethod(Class cls, SEL sel)
{
    auto it = methodPlace(cls, sel);
    return it != cls->methodsByName.end() && (*it)->name == sel ? *it : nullptr;
}

// The generation of all method tables: a method added anywhere may change
// what a subclass answers, so it makes every remembered lookup stale.
std::atomic<uint64_t> methodTablesGeneration { 1 };

Method lookUpMethod(Class cls, SEL sel)
{
    for (Class c = cls; c; c = c->superclass) {
        if (auto* method = ownMethod(c, sel))
            return method;
    }
    return nullptr;
}

} // namespace

objc_class::~objc_class() { delete methodCache.load(std::memory_order_relaxed); }

Class objc_getClass(std::string_view name)
{
    auto& r = registry();
    Class (*make)() = nullptr;
    {
        std::lock_guard guard(r.lock);
        if (auto it = r.registered.find(name); it != r.registered.end())
            return it->second;
        auto maker = r.makers.find(name);
        if (maker == r.makers.end())
            return nullptr;
        make = maker->second;
    }
    // Defined outside the lock: the class's own one-time definition guard
    // makes a second caller wait, and its definition takes the lock itself.
    return make();
}

Class NSClassFromString(std::string_view name) { return objc_getClass(name); }

const char* class_getName(Class cls) { return cls ? cls->name.c_str() : "nil"; }

Class class_getSuperclass(Class cls) { return cls ? cls->superclass : nullptr; }

bool class_isSubclassOf(Class cls, Class ancestor)
{
    for (Class c = cls; c; c = c->superclass) {
        if (c == ancestor)
            return true;
    }
    return false;
}

namespace {

// A class pair under a name no registered class has (the caller checked).
Class allocateClassPair(Class superclass, std::string_view name)
{
    auto& r = registry();
    std::lock_guard guard(r.lock);
    auto meta = std::make_unique<objc_class>();
    meta->name = std::string(name);
    meta->isMetaclass = true;
    auto cls = std::make_unique<objc_class>();
    cls->name = std::string(name);
    cls->superclass = superclass;
    cls->metaclass = meta.get();
    cls->allocate = superclass ? superclass->allocate : nullptr;
    // The root metaclass inherits from the root class: class objects answer
    // `respondsToSelector:` and the other root methods too.
    meta->superclass = superclass ? superclass->metaclass : cls.get();
    cls->classObject = objc::makeClassObject(cls.get());
    r.all.push_back(std::move(meta));
    r.all.push_back(std::move(cls));
    return r.all.back().get();
}

Class registeredClass(std::string_view name)
{
    auto& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.registered.find(name);
    return it == r.registered.end() ? nullptr : it->second;
}

} // namespace

Class objc_allocateClassPair(Class superclass, std::string_view name)
{
    // A class still to be defined under this name counts as taken.
    if (name.empty() || objc_getClass(name))
        return nullptr;
    return allocateClassPair(superclass, name);
}

void objc_registerClassPair(Class cls)
{
    if (!cls)
        return;
    auto& r = registry();
    std::lock_guard guard(r.lock);
    r.registered.emplace(cls->name, cls);
    auto [first, last] = r.pendingCategories.equal_range(cls->name);
    std::vector<PendingCategory> waiting;
    for (auto it = first; it != last; ++it)
        waiting.push_back(std::move(it->second));
    r.pendingCategories.erase(first, last);
    for (const auto& category : waiting)
        objc::attachCategory(cls->name, category.methods, category.classMethods);
}

Class objc_getMetaClass(std::string_view name)
{
    Class cls = objc_getClass(name);
    return cls ? cls->metaclass : nullptr;
}

bool class_isMetaClass(Class cls) { return cls && cls->isMetaclass; }

Method class_getClassMethod(Class cls, SEL sel)
{
    if (!cls)
        return nullptr;
    return class_getInstanceMethod(cls->isMetaclass ? cls : cls->metaclass, sel);
}

Method class_getInstanceMethod(Class cls, SEL sel)
{
    if (!cls)
        return nullptr;
    const uint64_t generation = methodTablesGeneration.load(std::memory_order_acquire);
    objc::MethodCache& cache = objc::MethodCache::of(cls->methodCache);
    if (Method method = cache.find(sel, generation))
        return method;
    Method method = lookUpMethod(cls, sel);
    if (method)
        cache.remember(method, generation);
    return method;
}

bool class_respondsToSelector(Class cls, SEL sel) { return class_getInstanceMethod(cls, sel) != nullptr; }

IMP class_getMethodImplementation(Class cls, SEL sel)
{
    Method method = class_getInstanceMethod(cls, sel);
    return method ? method->imp : IMP();
}

bool class_addMethod(Class cls, SEL sel, IMP imp, const char* types)
{
    if (!cls || !sel || !imp || ownMethod(cls, sel))
        return false;
    auto place = methodPlace(cls, sel);
    if (!cls->methods)
        cls->methods.emplace();
    cls->methods->push_back(objc_method { sel, types ? types : "", std::move(imp) });
    cls->methodsByName.insert(place, &cls->methods->back());
    objc::forgetLookups();
    return true;
}

IMP class_replaceMethod(Class cls, SEL sel, IMP imp, const char* types)
{
    if (!cls || !sel)
        return {};
    if (auto* method = ownMethod(cls, sel))
        return method_setImplementation(method, std::move(imp));
    class_addMethod(cls, sel, std::move(imp), types);
    return {};
}

IMP method_getImplementation(Method method) { return method ? method->imp : IMP(); }

IMP method_setImplementation(Method method, IMP imp)
{
    if (!method || !imp)
        return {};
    // A message in progress calls the implementation it found in place,
    // without a copy, so a replaced one must outlive any call still running
    // it. Replacements are made a few times per class, at load: they are kept.
    static auto* retired = new std::vector<IMP>;
    static auto* retiredLock = new std::mutex;
    {
        std::lock_guard guard(*retiredLock);
        retired->push_back(method->imp);
    }
    IMP replaced = std::exchange(method->imp, std::move(imp));
    // What a class answers is remembered by method as a rule, but whether it
    // answers a given implementation is remembered too (deallocatesAtRoot).
    objc::forgetLookups();
    return replaced;
}

SEL method_getName(Method method) { return method ? method->name : SEL(); }

const char* method_getTypeEncoding(Method method) { return method ? method->types.c_str() : nullptr; }

std::vector<Method> class_copyMethodList(Class cls)
{
    std::vector<Method> list;
    if (!cls)
        return list;
    if (cls->methods) {
        for (auto& method : *cls->methods)
            list.push_back(&method);
    }
    return list;
}

bool class_addProperty(Class cls, std::string_view name, std::string_view attributes)
{
    if (!cls || name.empty())
        return false;
    for (auto& property : cls->properties) {
        if (property->name == name)
            return false;
    }
    cls->properties.push_back(std::make_unique<objc_property>(objc_property { std::string(name), std::string(attributes) }));
    return true;
}

objc_property_t class_getProperty(Class cls, const char* name)
{
    if (!name)
        return nullptr;
    for (Class c = cls; c; c = c->superclass) {
        for (auto& property : c->properties) {
            // Names mostly differ in their first letter: test it before the rest.
            if (property->name.front() == name[0] && property->name == name)
                return property.get();
        }
    }
    return nullptr;
}

const char* property_getName(objc_property_t property) { return property ? property->name.c_str() : nullptr; }

const char* property_getAttributes(objc_property_t property) { return property ? property->attributes.c_str() : nullptr; }

std::vector<objc_property_t> class_copyPropertyList(Class cls)
{
    std::vector<objc_property_t> list;
    if (cls) {
        for (auto& property : cls->properties)
            list.push_back(property.get());
    }
    return list;
}

bool class_addIvar(Class cls, std::string_view name, std::string_view type, std::function<id(id)> objectValue)
{
    if (!cls || name.empty())
        return false;
    for (auto& ivar : cls->ivars) {
        if (ivar->name == name)
            return false;
    }
    cls->ivars.push_back(std::make_unique<objc_ivar>(objc_ivar { std::string(name), std::string(type), std::move(objectValue) }));
    return true;
}

std::vector<Ivar> class_copyIvarList(Class cls)
{
    std::vector<Ivar> list;
    if (cls) {
        for (auto& ivar : cls->ivars)
            list.push_back(ivar.get());
    }
    return list;
}

const char* ivar_getName(Ivar ivar) { return ivar ? ivar->name.c_str() : nullptr; }

const char* ivar_getTypeEncoding(Ivar ivar) { return ivar ? ivar->type.c_str() : nullptr; }

Ivar class_getInstanceVariable(Class cls, const char* name)
{
    if (!name)
        return nullptr;
    for (Class c = cls; c; c = c->superclass) {
        for (auto& ivar : c->ivars) {
            if (ivar->name == name)
                return ivar.get();
        }
    }
    return nullptr;
}

Ivar object_getInstanceVariable(id object, const char* name, id* value)
{
    if (value)
        *value = nullptr;
    if (!object)
        return nullptr;
    Ivar ivar = class_getInstanceVariable(object_getClass(object), name);
    if (ivar && value && ivar->objectValue)
        *value = ivar->objectValue(object);
    return ivar;
}

Class object_getClass(const NSObject* object) { return object ? object->getClass() : nullptr; }

namespace objc {

void forgetLookups()
{
    const uint64_t generation = methodTablesGeneration.fetch_add(1, std::memory_order_acq_rel) + 1;
    if (!MethodCache::needsClearing(generation))
        return;
    auto& r = registry();
    std::lock_guard guard(r.lock);
    for (const auto& cls : r.all) {
        if (auto* cache = cls->methodCache.load(std::memory_order_acquire))
            cache->clear();
    }
}

bool deallocatesAtRoot(Class cls, const IMP& rootDealloc)
{
    if (!cls)
        return false;
    // Read before the lookup: a replacement meanwhile leaves the class's
    // mark stale, not wrong.
    const uint64_t generation = methodTablesGeneration.load(std::memory_order_acquire);
    if (cls->rootDeallocGeneration.load(std::memory_order_relaxed) == generation)
        return true;
    Method method = class_getInstanceMethod(cls, "dealloc"_sel);
    if (!method || !(method->imp == rootDealloc))
        return false;
    cls->rootDeallocGeneration.store(generation, std::memory_order_relaxed);
    return true;
}

Attached attachCategory(std::string_view className, const std::vector<CategoryMethod>& methods,
    const std::vector<CategoryMethod>& classMethods)
{
    auto& r = registry();
    std::lock_guard guard(r.lock);
    Class cls = objc_getClass(className);
    if (!cls) {
        r.pendingCategories.emplace(std::string(className), PendingCategory { methods, classMethods });
        return Attached::WhenRegistered;
    }
    for (const auto& method : methods)
        class_replaceMethod(cls, method.name, method.imp, method.types.c_str());
    for (const auto& method : classMethods)
        class_replaceMethod(cls->metaclass, method.name, method.imp, method.types.c_str());
    return Attached::Now;
}

id classObject(Class cls)
{
    if (!cls)
        return nullptr;
    return cls->isMetaclass ? nullptr : cls->classObject;
}

Class classFromObject(const NSObject* object)
{
    auto* classObject = dynamic_cast<const ClassObject*>(object);
    return classObject ? classObject->represented() : nullptr;
}

NSObject* allocateInstance(Class cls)
{
    if (!cls || cls->isMetaclass || !cls->allocate)
        return nullptr;
    return cls->allocate(cls);
}

std::string describeCall(SEL cmd) { return "'" + cmd.name() + "'"; }

void throwUnrecognized(id receiver, SEL sel)
{
    throw UnrecognizedSelector(std::string("unrecognized selector '") + sel.name() + "' sent to an instance of "
        + class_getName(object_getClass(receiver)));
}


bool registerClassMaker(const char* name, Class (*make)())
{
    auto& r = registry();
    std::lock_guard guard(r.lock);
    r.makers.emplace(name, make);
    return true;
}

Class defineClassNamed(const char* name, Class superclass, const std::function<void(Class)>& define)
{
    auto& r = registry();
    std::lock_guard guard(r.lock);
    if (Class existing = registeredClass(name))
        return existing;
    Class cls = allocateClassPair(superclass, name);
    if (!cls)
        return nullptr;
    define(cls);
    objc_registerClassPair(cls);
    return cls;
}

} // namespace objc
