#pragma once

#include "runtime/Forward.h"

#include <cstddef>
#include <type_traits>
#include <utility>

id objc_retain(id object);
void objc_release(id object);

// An owning reference: holds one retain of the object for as long as it lives.
// Ref<T>::adopt takes over a reference the caller already owns (a new object),
// the constructor from a raw pointer takes a new one.
template<class T>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) { } // NOLINT(google-explicit-constructor)
    Ref(T* object) // NOLINT(google-explicit-constructor): retaining a borrowed pointer is the common case
        : ptr_(object)
    {
        retain();
    }
    Ref(const Ref& other)
        : ptr_(other.ptr_)
    {
        retain();
    }
    Ref(Ref&& other) noexcept
        : ptr_(std::exchange(other.ptr_, nullptr))
    {
    }
    template<class U>
        requires std::is_convertible_v<U*, T*>
    Ref(const Ref<U>& other) // NOLINT(google-explicit-constructor)
        : ptr_(other.get())
    {
        retain();
    }
    template<class U>
        requires std::is_convertible_v<U*, T*>
    Ref(Ref<U>&& other) noexcept // NOLINT(google-explicit-constructor)
        : ptr_(other.leak())
    {
    }
    ~Ref() { reset(); }

    Ref& operator=(Ref other) noexcept
    {
        std::swap(ptr_, other.ptr_);
        return *this;
    }

    static Ref adopt(T* object)
    {
        Ref ref;
        ref.ptr_ = object;
        return ref;
    }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    T& operator*() const { return *ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // A Ref passes where a borrowed pointer is wanted, but a temporary one
    // does not: its object may go with it at the end of the statement.
    operator T*() const& { return ptr_; } // NOLINT(google-explicit-constructor)
    operator T*() const&& = delete;

    // Gives up ownership without releasing; the caller now owns the reference.
    T* leak() { return std::exchange(ptr_, nullptr); }

    void reset()
    {
        if (auto* old = std::exchange(ptr_, nullptr))
            objc_release(static_cast<id>(old));
    }

    friend bool operator==(const Ref& a, const Ref& b) { return a.ptr_ == b.ptr_; }
    friend bool operator==(const Ref& a, const T* b) { return a.ptr_ == b; }
    friend bool operator==(const Ref& a, std::nullptr_t) { return a.ptr_ == nullptr; }

private:
    void retain()
    {
        if (ptr_)
            objc_retain(static_cast<id>(ptr_));
    }

    T* ptr_ = nullptr;
};
