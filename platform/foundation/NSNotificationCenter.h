#pragma once

#include "foundation/Forward.h"
#include "runtime/ClassDefinition.h"
#include "runtime/WeakRef.h"

#include <string>
#include <string_view>
#include <vector>

class NSNotification : public NSObject {
    QX_OBJECT(NSNotification, NSObject)
public:
    static Ref<NSNotification> notificationWithName(std::string_view name, id object);

    Ref<NSString> name() const;
    id object() const { return object_; }

protected:
    NSNotification(std::string name, id object)
        : name_(std::move(name))
        , object_(object)
    {
    }

private:
    std::string name_;
    Ref<NSObject> object_;
};

// Synchronous delivery of named notifications to observers, through the
// runtime: each observer receives its selector with the notification as the
// one argument. Observers are held weakly: one that has gone (or is going)
// is never messaged, even if it never unregistered.
class NSNotificationCenter : public NSObject {
    QX_OBJECT(NSNotificationCenter, NSObject)
public:
    static NSNotificationCenter* defaultCenter();

    // A nil object observes the name from any sender.
    void addObserver(id observer, SEL selector, std::string_view name, id object);
    // An empty name removes every registration of the observer (for that object, or any when nil).
    void removeObserver(id observer, std::string_view name, id object);
    void removeObserver(id observer) { removeObserver(observer, {}, nullptr); }

    // Delivers before returning, in registration order. An observer removed by
    // an earlier observer of the same post is not called.
    void postNotificationName(std::string_view name, id object);

    // Registrations whose observer is still alive.
    size_t observerCount() const;
    // Registrations of `observer` for `name` that were never removed, whether
    // the observer is alive or not: what an observer that forgot to
    // unregister leaves behind until the centre next tidies up.
    size_t registrationCount(const NSObject* observer, std::string_view name) const;

protected:
    NSNotificationCenter() = default;

private:
    struct Observer {
        objc::WeakRef<NSObject> observer;
        const NSObject* identity; // for removal, compared only
        SEL selector;
        std::string name;
        id object;
        unsigned long long serial;
    };
    std::vector<Observer> observers_;
    unsigned long long nextSerial_ = 0;
};
