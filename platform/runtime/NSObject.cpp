#include "runtime/NSObject.h"

#include "runtime/AutoreleasePool.h"
#include "runtime/ClassDefinition.h"
#include "runtime/WeakRef.h"

#include <climits>
#include <cstdio>

#include <sys/single_threaded.h>

namespace {

// The root class's own `dealloc`, as defined, before anything could replace
// it: a last release that finds it runs it without the typed call's detour.
IMP& rootDealloc()
{
    static auto* imp = new IMP; // never destroyed: objects are released at exit
    return *imp;
}

} // namespace

QX_DEFINE_CLASS(NSObject)
{
    b.method("dealloc", [](NSObject* self) { objc_destroyInstance(self); });
    rootDealloc() = class_getMethodImplementation(b.cls(), SEL("dealloc"));
    b.method("isEqual:", [](NSObject* self, id other) { return self->isEqual(other); });
    b.method("respondsToSelector:", [](NSObject* self, SEL sel) { return class_respondsToSelector(self->getClass(), sel); });
    b.method("self", [](NSObject* self) { return self; });
    b.method("init", [](NSObject* self) { return self; });
    // Class messages: `alloc` makes an instance of the receiving class, so a
    // subclass that inherits a factory makes instances of itself.
    b.classMethod("alloc", [](Class cls) -> id {
        id object = objc::allocateInstance(cls);
        if (!object)
            throw objc::BadMethodSignature(std::string("'alloc': class ") + class_getName(cls) + " cannot be made by name");
        // The caller owns the new instance, as with `alloc` on the device.
        return object;
    });
    b.classMethod("class", [](Class cls) -> id { return objc::classObject(cls); });
}

NSObject::~NSObject() = default;

bool NSObject::isKindOfClass(Class cls) const { return class_isSubclassOf(isa_, cls); }

bool NSObject::isMemberOfClass(Class cls) const { return cls && isa_ == cls; }

bool NSObject::respondsToSelector(SEL sel) const
{
    static const SEL respondsToSelector("respondsToSelector:");
    return send<bool>(respondsToSelector, sel);
}

bool NSObject::isEqual(const NSObject* other) const { return other && equals(other); }

std::string NSObject::describe() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return std::string("<") + class_getName(isa_) + ": " + address + ">";
}

// Until a process starts its first thread (the C library keeps the flag,
// and never sets it back), no other thread can see an object, so its count
// is changed by a plain load and store rather than a locked instruction,
// as libstdc++'s shared_ptr does: the command forks for its jobs and never
// starts a thread, and the parse of a photo retains and releases a few
// hundred times.
NSObject* NSObject::retain()
{
    // An object on its way out stays on its way out: a retain/release pair
    // made by its own `dealloc` must not start a second one.
    if (!immortal_ && !deallocating_.load(std::memory_order_relaxed)) {
        if (__libc_single_threaded)
            refs_.store(refs_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        else
            refs_.fetch_add(1, std::memory_order_relaxed);
    }
    return this;
}

namespace {

// The last release's work, apart so that every other release stays a few
// instructions without a stack frame.
[[gnu::noinline]] void sendDealloc(NSObject* object)
{
    // Found as any message's implementation is, so a replacement in the
    // object's class or above still runs; only the original root one is
    // called directly.
    if (objc::deallocatesAtRoot(object->getClass(), rootDealloc())) {
        objc_destroyInstance(object);
        return;
    }
    objc::send<void>(object, "dealloc"_sel);
}

} // namespace

void NSObject::release()
{
    if (immortal_ || deallocating_.load(std::memory_order_relaxed))
        return;
    int before;
    if (__libc_single_threaded) {
        before = refs_.load(std::memory_order_relaxed);
        refs_.store(before - 1, std::memory_order_relaxed);
    } else {
        before = refs_.fetch_sub(1, std::memory_order_acq_rel);
    }
    if (before == 1) [[unlikely]] {
        deallocating_.store(true, std::memory_order_relaxed);
        sendDealloc(this);
    }
}

NSObject* NSObject::autorelease()
{
    AutoreleasePool::add(this);
    return this;
}

void objc_destroyInstance(NSObject* object)
{
    if (!object)
        return;
    if (object->weaklyReferenced_.load(std::memory_order_acquire))
        objc::clearWeakReferences(object);
    delete object;
}

id objc_retain(id object) { return object ? object->retain() : nullptr; }

void objc_release(id object)
{
    if (object)
        object->release();
}

namespace objc {

NSObject* makeClassObject(Class cls)
{
    auto* object = new ClassObject(cls);
    object->isa_ = cls->metaclass;
    object->immortal_ = true;
    object->refs_.store(INT_MAX / 2, std::memory_order_relaxed);
    return object;
}

std::string ClassObject::describe() const { return class_getName(represented_); }

} // namespace objc
