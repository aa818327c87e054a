#include "foundation/NSNotificationCenter.h"

#include "foundation/NSString.h"

#include <algorithm>

QX_DEFINE_CLASS(NSNotification)
{
    b.method<&NSNotification::name>("name");
    b.method<&NSNotification::object>("object");
}

QX_DEFINE_CLASS(NSNotificationCenter)
{
    b.classMethod("defaultCenter", [](Class) -> id { return NSNotificationCenter::defaultCenter(); });
    b.method("addObserver:selector:name:object:", [](NSNotificationCenter* self, id observer, SEL selector, NSString* name, id object) {
        self->addObserver(observer, selector, name ? std::string_view(name->str()) : std::string_view(), object);
    });
    b.method("removeObserver:name:object:", [](NSNotificationCenter* self, id observer, NSString* name, id object) {
        self->removeObserver(observer, name ? std::string_view(name->str()) : std::string_view(), object);
    });
    b.method("removeObserver:", [](NSNotificationCenter* self, id observer) { self->removeObserver(observer); });
    b.method("postNotificationName:object:", [](NSNotificationCenter* self, NSString* name, id object) {
        self->postNotificationName(name ? std::string_view(name->str()) : std::string_view(), object);
    });
}

Ref<NSNotification> NSNotification::notificationWithName(std::string_view name, id object)
{
    return make_object<NSNotification>(std::string(name), object);
}

Ref<NSString> NSNotification::name() const { return NSString::stringWithUTF8String(name_); }

NSNotificationCenter* NSNotificationCenter::defaultCenter()
{
    // Never destroyed: observers may still unregister from static destructors.
    static NSNotificationCenter* center = make_object<NSNotificationCenter>().leak();
    return center;
}

void NSNotificationCenter::addObserver(id observer, SEL selector, std::string_view name, id object)
{
    if (!observer || !selector)
        return;
    std::erase_if(observers_, [](const Observer& entry) { return !entry.observer; });
    observers_.push_back({ observer, observer, selector, std::string(name), object, nextSerial_++ });
}

void NSNotificationCenter::removeObserver(id observer, std::string_view name, id object)
{
    std::erase_if(observers_, [&](const Observer& entry) {
        return entry.identity == observer && (name.empty() || entry.name == name) && (!object || entry.object == object);
    });
}

void NSNotificationCenter::postNotificationName(std::string_view name, id object)
{
    Ref<NSNotification> notification = NSNotification::notificationWithName(name, object);

    // Observers may add or remove registrations while they are called, so the
    // post walks a copy of the list and skips any entry that has gone since.
    // Serials grow with registration order, so the live list stays sorted by them.
    const std::vector<Observer> snapshot = observers_;
    for (const Observer& entry : snapshot) {
        if (!entry.name.empty() && entry.name != name)
            continue;
        if (entry.object && entry.object != object)
            continue;
        auto live = std::lower_bound(observers_.begin(), observers_.end(), entry.serial,
            [](const Observer& candidate, unsigned long long serial) { return candidate.serial < serial; });
        if (live == observers_.end() || live->serial != entry.serial)
            continue;
        if (id observer = live->observer.get())
            objc::send<void>(observer, entry.selector, notification.get());
    }
}

size_t NSNotificationCenter::observerCount() const
{
    return static_cast<size_t>(std::count_if(observers_.begin(), observers_.end(), [](const Observer& entry) { return static_cast<bool>(entry.observer); }));
}

size_t NSNotificationCenter::registrationCount(const NSObject* observer, std::string_view name) const
{
    return static_cast<size_t>(std::count_if(observers_.begin(), observers_.end(),
        [&](const Observer& entry) { return entry.identity == observer && entry.name == name; }));
}
