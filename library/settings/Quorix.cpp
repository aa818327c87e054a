#include "settings/Quorix.h"

#include "foundation/NSNotificationCenter.h"
#include "foundation/NSUserDefaults.h"
#include "runtime/Dispatch.h"

QX_DEFINE_CLASS(Quorix)
{
    b.property<&Quorix::mapViewRetrieveAddressEnabled_, &Quorix::setMapViewRetrieveAddressEnabled>("mapViewRetrieveAddressEnabled");
    b.property<&Quorix::mapsAppQueryLocationEnabled_, &Quorix::setMapsAppQueryLocationEnabled>("mapsAppQueryLocationEnabled");
    b.property<&Quorix::stampEnabled_, &Quorix::setStampEnabled>("stampEnabled");
    b.property<&Quorix::infoItem_>("infoItem");
    b.property<&Quorix::popoverController_>("popoverController");
    b.property<&Quorix::stampView_>("stampView");
    // Sent to a subclass, the first call makes the store an instance of it.
    b.classMethod("sharedQuorix", [](Class cls) -> id { return Quorix::sharedQuorixOfClass(cls); });
    b.method<&Quorix::lastSaveSucceeded>("lastSaveSucceeded");
    b.method("lastSaveError", [](Quorix* self) -> NSInteger { return self->lastSaveError(); });
}

Quorix* Quorix::sharedQuorix() { return objc::sendClass<Quorix*>(objcClass(), "sharedQuorix"); }

Quorix* Quorix::sharedQuorixOfClass(Class cls)
{
    static dispatch_once_t once;
    static Quorix* shared = nullptr;
    dispatch_once(&once, [cls] {
        auto created = objc::create(cls, "init");
        auto* store = objc_cast<Quorix>(created.get());
        if (!store)
            return;
        auto* defaults = NSUserDefaults::standardUserDefaults();
        // All three settings are read back, the address one included: it is
        // saved like the others, so it keeps its value across launches too.
        store->mapViewRetrieveAddressEnabled_ = defaults->boolForKey(kQuorixMapViewRetrieveAddressKey);
        store->mapsAppQueryLocationEnabled_ = defaults->boolForKey(kQuorixMapsAppQueryLocationKey);
        store->stampEnabled_ = defaults->boolForKey(kQuorixStampEnabledKey);
        shared = objc_cast<Quorix>(created.leak()); // lives until the process ends
    });
    return shared;
}

void Quorix::save(bool enabled, std::string_view key)
{
    // The defaults are looked up at each save rather than kept, so a host that
    // resets its defaults (a new identity, a test) is written to afresh.
    auto* defaults = NSUserDefaults::standardUserDefaults();
    defaults->setBoolForKey(enabled, key);
    lastSaveSucceeded_ = defaults->synchronize();
    lastSaveError_ = lastSaveSucceeded_ ? 0 : defaults->lastSaveError();
}

void Quorix::setMapViewRetrieveAddressEnabled(bool enabled)
{
    mapViewRetrieveAddressEnabled_ = enabled;
    save(enabled, kQuorixMapViewRetrieveAddressKey);
}

void Quorix::setMapsAppQueryLocationEnabled(bool enabled)
{
    mapsAppQueryLocationEnabled_ = enabled;
    save(enabled, kQuorixMapsAppQueryLocationKey);
}

void Quorix::setStampEnabled(bool enabled)
{
    stampEnabled_ = enabled;
    save(enabled, kQuorixStampEnabledKey);
    NSNotificationCenter::defaultCenter()->postNotificationName(kStampSettingsChangedNotification, nullptr);
}
