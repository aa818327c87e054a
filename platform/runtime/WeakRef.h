#pragma once

#include "runtime/NSObject.h"

namespace objc {

// A non-owning reference that reads nil once its object has begun to go
// away: delegates, targets, data sources and observers hold one, so nothing
// ever messages an object after its `dealloc` has started.
class WeakRefBase {
public:
    WeakRefBase() = default;
    explicit WeakRefBase(NSObject* object) { assign(object); }
    WeakRefBase(const WeakRefBase& other) { assign(other.load()); }
    WeakRefBase& operator=(const WeakRefBase& other)
    {
        if (this != &other)
            assign(other.load());
        return *this;
    }
    ~WeakRefBase() { assign(nullptr); }

protected:
    // The object, or nil once it is deallocating or gone.
    NSObject* load() const;
    void assign(NSObject* object);

private:
    friend void clearWeakReferences(NSObject* object);
    NSObject* object_ = nullptr;
};

template<class T>
class WeakRef : public WeakRefBase {
public:
    WeakRef() = default;
    WeakRef(T* object) // NOLINT(google-explicit-constructor): a weak link is set like a pointer
        : WeakRefBase(const_cast<NSObject*>(static_cast<const NSObject*>(object)))
    {
    }
    WeakRef& operator=(T* object)
    {
        assign(const_cast<NSObject*>(static_cast<const NSObject*>(object)));
        return *this;
    }

    T* get() const { return static_cast<T*>(load()); }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
};

} // namespace objc
