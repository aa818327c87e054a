#include "runtime/NSObject.h"

#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/ClassDefinition.h"

#include <cstdio>

QX_DEFINE_CLASS(NSObject)
{
    b.method("dealloc", [](NSObject* self) { objc_destroyInstance(self); });
    b.method("description", [](NSObject* self) { return self->description(); });
    b.method("isEqual:", [](NSObject* self, id other) { return self->isEqual(other); });
    b.method("respondsToSelector:", [](NSObject* self, SEL sel) { return class_respondsToSelector(self->getClass(), sel); });
    b.method("self", [](NSObject* self) { return self; });
}

NSObject::~NSObject() = default;

bool NSObject::isKindOfClass(Class cls) const { return class_isSubclassOf(isa_, cls); }

bool NSObject::isMemberOfClass(Class cls) const { return cls && isa_ == cls; }

bool NSObject::respondsToSelector(SEL sel) const
{
    static const SEL respondsToSelector("respondsToSelector:");
    return send<bool>(respondsToSelector, sel);
}

Ref<NSString> NSObject::description() const { return describe(); }

bool NSObject::isEqual(const NSObject* other) const { return other && equals(other); }

Ref<NSString> NSObject::describe() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return NSString::stringWithUTF8String(std::string("<") + class_getName(isa_) + ": " + address + ">");
}

NSObject* NSObject::retain()
{
    // An object on its way out stays on its way out: a retain/release pair
    // made by its own `dealloc` must not start a second one.
    if (!deallocating_.load(std::memory_order_relaxed))
        refs_.fetch_add(1, std::memory_order_relaxed);
    return this;
}

void NSObject::release()
{
    if (deallocating_.load(std::memory_order_relaxed))
        return;
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        deallocating_.store(true, std::memory_order_relaxed);
        static const SEL dealloc("dealloc");
        objc::send<void>(this, dealloc);
    }
}

NSObject* NSObject::autorelease()
{
    AutoreleasePool::add(this);
    return this;
}

void objc_destroyInstance(NSObject* object) { delete object; }

id objc_retain(id object) { return object ? object->retain() : nullptr; }

void objc_release(id object)
{
    if (object)
        object->release();
}
