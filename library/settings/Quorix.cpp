#include "settings/Quorix.h"

#include "foundation/NSNotificationCenter.h"
#include "foundation/NSUserDefaults.h"
#include "runtime/Dispatch.h"

QX_DEFINE_CLASS(Quorix)
{
    b.ivar("_mapViewRetrieveAddressEnabled", "B");
    b.ivar("_mapsAppQueryLocationEnabled", "B");
    b.ivar("_stampEnabled", "B");
    b.ivar("_infoItem", "@", &Quorix::infoItem_);
    b.ivar("_popoverController", "@", &Quorix::popoverController_);
    b.ivar("_stampView", "@", &Quorix::stampView_);

    b.property("infoItem", "T@,&,N,V_infoItem");
    b.property("popoverController", "T@,&,N,V_popoverController");
    b.property("stampView", "T@,&,N,V_stampView");
    b.property("mapViewRetrieveAddressEnabled", "TB,N,V_mapViewRetrieveAddressEnabled");
    b.property("mapsAppQueryLocationEnabled", "TB,N,V_mapsAppQueryLocationEnabled");
    b.property("stampEnabled", "TB,N,V_stampEnabled");

    b.method<&Quorix::infoItem>("infoItem");
    b.method<&Quorix::setInfoItem>("setInfoItem:");
    b.method<&Quorix::popoverController>("popoverController");
    b.method<&Quorix::setPopoverController>("setPopoverController:");
    b.method<&Quorix::stampView>("stampView");
    b.method<&Quorix::setStampView>("setStampView:");
    b.method<&Quorix::mapViewRetrieveAddressEnabled>("mapViewRetrieveAddressEnabled");
    b.method<&Quorix::setMapViewRetrieveAddressEnabled>("setMapViewRetrieveAddressEnabled:");
    b.method<&Quorix::mapsAppQueryLocationEnabled>("mapsAppQueryLocationEnabled");
    b.method<&Quorix::setMapsAppQueryLocationEnabled>("setMapsAppQueryLocationEnabled:");
    b.method<&Quorix::stampEnabled>("stampEnabled");
    b.method<&Quorix::setStampEnabled>("setStampEnabled:");
}

Quorix* Quorix::sharedQuorix()
{
    static dispatch_once_t once;
    static Quorix* shared = nullptr;
    dispatch_once(&once, [] {
        auto store = make_object<Quorix>();
        auto* defaults = NSUserDefaults::standardUserDefaults();
        // All three settings are read back, the address one included: it is
        // saved like the others, so it keeps its value across launches too.
        store->mapViewRetrieveAddressEnabled_ = defaults->boolForKey(kQuorixMapViewRetrieveAddressKey);
        store->mapsAppQueryLocationEnabled_ = defaults->boolForKey(kQuorixMapsAppQueryLocationKey);
        store->stampEnabled_ = defaults->boolForKey(kQuorixStampEnabledKey);
        shared = store.leak(); // lives until the process ends
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
